// Graphic lists: the sketch of a list against the recording of its graphics drawn one by one and
// against drawing the list (randomised lists of every graphic class), and the archive form
// (shared graphics, loading into a non-empty list, bad input).
#include <dispc/glist.h>
#include <dispc/sketchformat.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archivebytes.h"
#include "drawingsamples.h"
#include "graphictesting.h"

namespace {

using namespace graphic_testing;

std::vector<ccPtrHandle<ccGraphic>> everyGraphic() {
  std::vector<ccPtrHandle<ccGraphic>> v = everySpecialGraphic();
  for (const GraphicCase& c : everyShapeGraphic()) v.push_back(c.graphic);
  return v;
}

std::vector<unsigned char> streamBytes(const ccUISketch& s) {
  return std::vector<unsigned char>(s.data(), s.data() + s.length());
}

std::vector<unsigned char> stored(ccGraphicList& list) {
  ccArchive out;
  out || list;
  return out.data();
}

TEST(GraphicLists, SketchIsTheRecordingAndReplaysAsTheDrawing) {
  const std::vector<ccPtrHandle<ccGraphic>> pool = everyGraphic();
  std::mt19937 rng(0x6c157);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    ccGraphicList list;
    const L layer = rng() % 2 ? ccUITablet::eOverlayLayer : ccUITablet::eImageLayer;
    ccUITablet oneByOne;  // detached recording tablet
    for (int n = static_cast<int>(rng() % 6); n > 0; --n) {
      const ccPtrHandle<ccGraphic>& g = pool[rng() % pool.size()];
      list.append(g, rng() % 2 == 0);
      oneByOne.draw(*g, layer);
    }
    const ccUISketch sketch = list.sketch(layer);
    EXPECT_EQ(streamBytes(sketch), streamBytes(oneByOne.sketch()));
    EXPECT_EQ(sketch.isNull(), list.empty());

    Board drawn(false), replayed(false);
    list.draw(drawn.tablet, layer);
    replayed.tablet.recordOn() = false;
    replayed.tablet.draw(sketch, ccPoint(0, 0), layer);
    if (!list.empty()) {
      EXPECT_EQ(withoutBrackets(replayed.lines(), layer), drawn.lines());
    }

    // Archived and loaded, the list stores the same bytes and draws the same.
    std::vector<unsigned char> bytes = stored(list);
    ccGraphicList back;
    ccArchive in(bytes);
    in || back;
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(stored(back), bytes);
    EXPECT_EQ(streamBytes(back.sketch(layer)), streamBytes(sketch));
  }
}

TEST(GraphicLists, LoadingReplacesTheItemsAndKeepsSharedGraphicsShared) {
  const ccPtrHandle<ccGraphic> shared(
      new ccGraphicCross(ccCross(V(1, 2), ccRadian(0), 4), ccColor::redColor()));
  ccGraphicList three;
  three.append(shared, false);
  three.append(ccGraphic::makeShapeGraphic(sample<ccCircle>().clone(), sampleProps()), false);
  three.append(shared, false);
  const std::vector<unsigned char> bytes = stored(three);

  ccGraphicList target;
  for (const auto& g : everySpecialGraphic()) target.append(g, false);
  {
    ccArchive in(bytes);
    in || target;
  }
  ASSERT_EQ(target.size(), 3u);
  auto it = target.begin();
  const ccGraphic* first = it->get();
  EXPECT_EQ(cfClassName(typeid(**++it)), "ccGraphicWithFill<ccCircle, ccEllipse2>");
  EXPECT_EQ((++it)->get(), first);  // one object again
  EXPECT_EQ(first->refCount(), 2);

  // Assigned, a list holds clones shared as in the source; appended without copying, it hands
  // its items over; appended with copying, it keeps them.
  ccGraphicList assigned, moved;
  assigned = target;
  assigned = assigned;
  EXPECT_EQ(stored(assigned), bytes);
  EXPECT_NE(assigned.begin()->get(), first);
  moved.append(assigned, false);
  moved.append(moved, false);
  EXPECT_TRUE(assigned.empty());
  EXPECT_EQ(stored(moved), bytes);
  moved.append(target, true);
  EXPECT_EQ(moved.size(), 6u);
  EXPECT_EQ(target.size(), 3u);

  // Bad input leaves the list as it was: another version, a graphic of an unknown class, a
  // group that holds itself.
  std::vector<unsigned char> badVersion = bytes;
  badVersion[0] = 1;
  Bytes unknownClass{0, 1, 0, 0, 0, 1};  // version, one item: a new object of a new class
  putString(unknownClass, "ccGraphicNobodyMade");
  ccGraphicGroup group;  // a group whose only item is a reference back to itself
  ccArchive groupOut;
  group.dispatchSerialize(groupOut);
  Bytes selfHolding{0, 1, 0, 0, 0, 1};
  putString(selfHolding, "ccGraphicGroup");
  std::vector<unsigned char> record = groupOut.data();
  ASSERT_EQ(record[record.size() - 2], 0);  // the item count, then null
  record[record.size() - 2] = 1;
  record.insert(record.end() - 1, {2, 0, 0, 0, 0});  // the item: object 0, the group itself
  selfHolding.insert(selfHolding.end(), record.begin(), record.end());
  const struct {
    const char* what;
    std::vector<unsigned char> bytes;
  } kBad[] = {{"version", badVersion},
              {"class", unknownClass},
              {"self", selfHolding},
              {"negative count", {0, 0xFF, 0xFF, 0xFF, 0xFF}}};
  for (const auto& bad : kBad) {
    SCOPED_TRACE(bad.what);
    ccArchive badIn(bad.bytes);
    EXPECT_THROW(badIn || target, ccArchive::Errors);
    EXPECT_EQ(stored(target), bytes);
  }
}

// Groups sharing one group twice, 40 levels deep, stand for 2^40 paths: loading, storing,
// copying, cloning, mapping, measuring and recolouring handle each distinct graphic once (done
// per path, this test would not finish), and copies keep the sharing, so they store the same
// bytes.
TEST(GraphicLists, DeeplySharedGroupsCostTheirDistinctGraphicsOnly) {
  ccPtrHandle<ccGraphic> g(new ccGraphicPointIcon(ccPoint(V(3, 4)), ccColor::redColor()));
  const ccGraphic* leaf = g.get();
  for (int level = 0; level < 40; ++level) {
    ccPtrHandle<ccGraphicGroup> up(new ccGraphicGroup);
    up->items({g, g}, false);
    g = up;
  }
  ccGraphicList list;
  list.append(g, false);
  list.append(g, false);
  const std::vector<unsigned char> bytes = stored(list);
  ccGraphicList back;
  {
    ccArchive in(bytes);
    in || back;
  }
  EXPECT_EQ(stored(back), bytes);
  ccGraphicList copy(back);
  EXPECT_EQ(stored(copy), bytes);
  EXPECT_NE(copy.begin()->get(), back.begin()->get());
  auto shared = [](const ccGraphic& top) {
    const auto& group = dynamic_cast<const ccGraphicGroup&>(top);
    return group.item(0).get() == group.item(1).get();
  };
  const ccPtrHandle<ccGraphic> clone = g->clone(),
                               moved = g->map(cc2Rigid(ccRadian(0), V(1, 1)).xform());
  EXPECT_TRUE(shared(*clone) && shared(*moved));
  EXPECT_EQ(moved->encloseRect().ul(), V(4, 5));
  EXPECT_EQ(g->distToPoint(V(3, 0)), 4);
  g->color(ccColor::blueColor());
  EXPECT_EQ(leaf->color(), ccColor::blueColor());

  // A group that holds, through the group it holds, the group itself: list [a], a holds b,
  // b refers back to a (object 0) while a is still loading.
  ccPtrHandle<ccGraphicGroup> a(new ccGraphicGroup), b(new ccGraphicGroup);
  a->items({ccPtrHandle<ccGraphic>(b)}, false);
  ccGraphicList cycle;
  cycle.append(a, false);
  std::vector<unsigned char> cyclic = stored(cycle);
  ASSERT_EQ(cyclic[cyclic.size() - 3], 0);  // b's item count, b's null flag, a's null flag
  cyclic[cyclic.size() - 3] = 1;
  cyclic.insert(cyclic.end() - 2, {2, 0, 0, 0, 0});
  ccArchive cyclicIn(cyclic);
  EXPECT_THROW(cyclicIn || back, ccArchive::BadData);
  EXPECT_EQ(stored(back), bytes);
}

TEST(GraphicLists, GroupsNestedDeeperThanTheArchiveAllowsAreRefused) {
  // A chain of `objects` graphics, each group holding the next; the last is an icon.
  const auto chain = [](int objects) {
    ccPtrHandle<ccGraphic> g(new ccGraphicPointIcon(ccPoint(V(1, 2)), ccColor::redColor()));
    for (int i = 1; i < objects; ++i) {
      ccPtrHandle<ccGraphicGroup> up(new ccGraphicGroup);
      up->items({g}, false);
      g = up;
    }
    ccGraphicList list;
    list.append(g, false);
    return stored(list);
  };
  const std::vector<unsigned char> deepest = chain(ccArchive::kMaxObjectNesting);
  ccGraphicList back;
  ccArchive in(deepest);
  in || back;
  EXPECT_EQ(stored(back), deepest);
  ccArchive tooDeep(chain(ccArchive::kMaxObjectNesting + 1));
  try {
    tooDeep || back;
    ADD_FAILURE() << "loaded";
  } catch (const ccArchive::BadData& e) {
    EXPECT_NE(std::string(e.what()).find("objects nested deeper than 1000 at byte "),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(stored(back), deepest);
}

}  // namespace
