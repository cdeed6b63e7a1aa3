// Retained graphics. Drawing properties: defaults, validation, the archive form (equality and
// the sketch form are checked with the sketch container's props prefix). Every shape-graphic
// instantiation against its shape (drawing, measures, cloning), makeShapeGraphic's choices,
// mapping, archive versions, groups, text placement and the tablet's refusal of graphics that
// are not built in. Graphic lists: the sketch of a list against the recording of its graphics
// drawn one by one and against drawing the list (randomised lists, each graphic class in some),
// and the archive form (each graphic class, shared graphics, loading into a non-empty list, bad
// input). Graphics-list records drawn on tablets, turned into graphic lists and written back:
// every record type draws as its tablet calls; list -> graphic list -> list keeps the records;
// unknown and malformed record areas.
#include <core/archive.h>
#include <core/shapetree.h>
#include <dispc/bridge.h>
#include <dispc/glist.h>
#include <dispc/graphic.h>
#include <dispc/graphicgroup.h>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "archivebytes.h"
#include "assertcounter.h"
#include "graphictesting.h"

namespace {

using namespace graphic_testing;

// Version, colour (a stock colour), width (long, zigzagged to one byte), style (int), fill, join
// (int), end cap (int), arrowHead, arrowHeadForward, showVertex.
TEST(GraphicProps, DefaultsDrawCyanWithArrowheadsAndTheArchiveFormHoldsEveryField) {
  expectArchiveForm(ccGraphicProps(), {0, 0, 7, 254, 0, 0, 255, 255, 2, 0, 0, 0, 0,
                                       0, 0, 0, 0,   0, 0, 0,   0,   0, 1, 1, 0},
                    "dispc/dispprop");
  ccGraphicProps p(kRed, 7, ccGraphicProps::eDashDot, true);
  p.penJoin(ccGraphicProps::eBevelJoin);
  p.penEndCap(ccGraphicProps::eSquareCap);
  p.arrowHead(false);
  p.arrowHeadForward(false);
  p.showVertex(true);
  expectArchiveForm(
      p, {0, 0, 7, 249, 0, 255, 0, 0, 14, 3, 0, 0, 0, 1, 2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1},
      "dispc/dispprop");
}

TEST(GraphicProps, SettersCountAChangeAndANegativeWidthIsRejectedWithTheStateKept) {
  ccGraphicProps p;
  p.penWidth(4);
  const unsigned long before = p.changeCount();
  for (long bad : {-2L, -(1L << 40), 2147483648L}) {
    EXPECT_THROW(p.penWidth(bad), ccGraphicProps::BadParams) << bad;
    EXPECT_THROW(ccGraphicProps(kRed, bad), ccGraphicProps::BadParams) << bad;
  }
  EXPECT_EQ(p.penWidth(), 4);
  EXPECT_EQ(p.changeCount(), before);
  p.penWidth(0);  // zero is a valid (hairline) width
  EXPECT_EQ(p.penWidth(), 0);
  EXPECT_EQ(p.changeCount(), before + 1);
}

template <class Handle>
std::string className(const Handle& g) {
  return cfClassName(typeid(*g));
}

// The rectangle f gives, as text, or the class of the error it throws.
template <class F>
std::string rectOrError(F f) {
  try {
    const ccRect r = f();
    return std::to_string(r.ul().x()) + "," + std::to_string(r.ul().y()) + " " +
           std::to_string(r.width()) + "x" + std::to_string(r.height());
  } catch (const ccException& e) {
    return cfClassName(typeid(e));
  }
}

// The class of the graphic makeShapeGraphic makes, "" where it has none for the shape.
std::string madeFor(const ccShapePtrh& shape, const ccGraphicProps& p) {
  try {
    const ccGraphicPtrh g = ccGraphic::makeShapeGraphic(shape, p);
    EXPECT_EQ(g->props(), p);
    return className(g);
  } catch (const ccGraphic::NoGraphicForShape& e) {
    EXPECT_EQ(e.errorNumber(), 0x10009601u);
    EXPECT_EQ(e.message(), "");
  }
  return "";
}

// makeShapeGraphic makes the first instantiation for the shape's class, in the library's lists;
// the classes in `none` have none.
TEST(ShapeGraphics, EveryInstantiationDrawsMeasuresAndIsMadeLikeItsShape) {
  const std::vector<GraphicCase> cases = everyShapeGraphic();
  EXPECT_EQ(cases.size(), 29u);
  const std::set<std::string> none = {"ccPoint",     "ccPointSet",   "ccPolygon",
                                      "ccCoordAxes", "ccEllipseArc", "ccEllipse"};
  std::map<std::string, std::string> made;
  for (const GraphicCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(className(c.graphic), c.name);
    EXPECT_FALSE(c.graphic->isNull());
    const std::string shape = cfClassName(typeid(*c.shape));
    EXPECT_EQ(madeFor(c.shape, sampleProps()),
              made.emplace(shape, none.count(shape) ? "" : c.name).first->second);

    // Drawn through the tablet: the same scope calls and sketch bytes as the shape drawn directly.
    TracedTablet direct, viaGraphic;
    c.direct(direct.tablet, sampleProps(), kOverlay);
    viaGraphic.tablet.draw(*c.graphic, kOverlay);
    EXPECT_FALSE(direct.log->empty());
    EXPECT_EQ(viaGraphic.calls(), direct.calls());
    EXPECT_EQ(viaGraphic.sketchBytes(), direct.sketchBytes());

    // The enclosing rectangle is the bounding box, empty where the shape is degenerate.
    EXPECT_EQ(rectOrError([&] { return c.graphic->encloseRect(); }), rectOrError([&] {
                try {
                  return c.shape->boundingBox();
                } catch (const ccShapesError::DegenerateShape&) {
                  return ccRect();
                }
              }));
    EXPECT_EQ(c.graphic->distToPoint(V(17, -3)), c.shape->distanceToPoint(V(17, -3)));
    EXPECT_EQ(stored(c.graphic->clone()), stored(ccGraphicPtrh(c.graphic)));
  }
  EXPECT_EQ(made.size(), 27u);
}

// An annulus section makes its special graphic; no shape makes none; a shape tree becomes a
// group of its children's graphics, in order, and an unsupported child fails.
TEST(ShapeGraphics, MakeShapeGraphicOfSectionsNothingAndTrees) {
  const ccGraphicProps p = sampleProps();
  EXPECT_EQ(madeFor(sample<ccEllipseAnnulusSection>().clone(), p),
            "ccGraphicEllipseAnnulusSection");
  EXPECT_TRUE(ccGraphic::makeShapeGraphic(static_cast<const ccShape*>(nullptr), p).isNull());
  ccShapeTree tree({sample<ccCircle>().clone(), sample<ccLineSeg>().clone()});
  const ccGraphicPtrh g = ccGraphic::makeShapeGraphic(&tree, p);
  const auto& group = dynamic_cast<const ccGraphicGroup&>(*g);
  ASSERT_EQ(group.numItems(), 2);
  EXPECT_EQ(className(group.item(0)), "ccGraphicWithFill<ccCircle, ccEllipse2>");
  EXPECT_EQ(className(group.item(1)), "ccGraphicSimple<ccLineSeg>");
  EXPECT_EQ(group.props(), p);
  tree.add(sample<ccPoint>().clone());
  EXPECT_THROW(ccGraphic::makeShapeGraphic(&tree, p), ccGraphic::NoGraphicForShape);
}

TEST(ShapeGraphics, MappingChoosesTheClassThatHoldsTheMappedShape) {
  const ccXform<2> shift(ccMatrix<2>(1, 0, 0, 1), V(5, -3));
  const ccXform<2> stretch(ccMatrix<2>(2, 0, 0, 1), V(0, 0));
  const ccXform<2> turn = cc2Rigid(ccRadian(0.3), V(1, 1)).xform();
  const ccGraphicProps p = sampleProps();
  const auto of = [&p](const ccShape& s) { return ccGraphic::makeShapeGraphic(s.clone(), p); };
  const ccGraphicPtrh circle = of(sample<ccCircle>()),
                      toEllipse(new ccGraphicWithFill<ccCircle, ccEllipse>(sample<ccCircle>(), p));
  const auto mapped = [&p](const ccGraphicPtrh& g, const ccXform<2>& x) {
    const ccGraphicPtrh m = g->map(x);
    EXPECT_EQ(m->props(), p);
    return className(m);
  };
  EXPECT_EQ(mapped(circle, shift), "ccGraphicWithFill<ccCircle, ccEllipse2>");
  EXPECT_EQ(mapped(circle, stretch), "ccGraphicWithFill<ccEllipse2, ccEllipse2>");
  EXPECT_EQ(mapped(toEllipse, shift), "ccGraphicWithFill<ccCircle, ccEllipse>");
  EXPECT_EQ(mapped(toEllipse, stretch), "ccGraphicWithFill<ccEllipse, ccEllipse>");
  EXPECT_EQ(mapped(of(sample<ccRect>()), turn), "ccGraphicWithFill<ccGenRect, ccGenRect>");
  EXPECT_EQ(mapped(of(sample<ccAnnulus>()), stretch),
            "ccGraphicWithFill<ccGenAnnulus, ccGenAnnulus>");
  using EllipseGraphic = ccGraphicWithFill<ccEllipse, ccEllipse>;
  EXPECT_EQ(dynamic_cast<const EllipseGraphic&>(*toEllipse->map(stretch)).shape(),
            sample<ccCircle>().ellipse().map(stretch));
}

// The stored record of a graphic (no persistent-pointer tag), loaded into g.
template <class G>
void loadRecord(G& g, const std::vector<unsigned char>& bytes) {
  ccArchive in(bytes);
  g.dispatchSerialize(in);
  EXPECT_TRUE(in.atEnd());
}

TEST(ShapeGraphics, OlderArchiveVersionsLoad) {
  using Circle = ccGraphicWithFill<ccCircle, ccEllipse2>;
  Circle circle(sample<ccCircle>(), kGreen, false);
  const std::vector<unsigned char> v1 = bytesOf(circle);
  // ccGraphicWithFill's version, then ccGraphicBuiltin's and ccGraphic's.
  ASSERT_EQ(Bytes(v1.begin(), v1.begin() + 3), Bytes({1, 0, 1}));

  // Version 0 of ccGraphicWithFill: the fill flag follows.
  std::vector<unsigned char> v0 = v1;
  v0[0] = 0;
  v0.push_back(1);
  Circle loaded;
  loadRecord(loaded, v0);
  EXPECT_TRUE(loaded.fill());
  EXPECT_EQ(loaded.shape(), sample<ccCircle>());

  // Version 0 of ccGraphic: a colour instead of the props.
  ccGraphicProps props = circle.props();
  ccColor colour = ccColor::orangeColor();
  std::vector<unsigned char> g0 = stored(colour);
  g0.insert(g0.begin(), {1, 0, 0});
  g0.insert(g0.end(), v1.begin() + 3 + static_cast<long>(bytesOf(props).size()), v1.end());
  loadRecord(loaded, g0);
  EXPECT_EQ(loaded.props(), ccGraphicProps(colour, 1, ccGraphicProps::eSolid, false));

  // Version 0 of the annulus section: the two arrowhead flags follow.
  ccGraphicEllipseAnnulusSection section(sample<ccEllipseAnnulusSection>(), kRed, false, true);
  std::vector<unsigned char> s0 = bytesOf(section);
  ASSERT_EQ(s0[0], 1);
  s0[0] = 0;
  s0.insert(s0.end(), {1, 0});
  ccGraphicEllipseAnnulusSection sectionLoaded;
  loadRecord(sectionLoaded, s0);
  EXPECT_TRUE(sectionLoaded.drawArrowHead() && !sectionLoaded.drawArrowHeadForward());
}

TEST(ShapeGraphics, UnknownVersionsNameTheirSourceAndLeaveTheGraphicAsItWas) {
  ccGraphicWithFill<ccCircle, ccEllipse2> circle(sample<ccCircle>(), kGreen, true);
  ccGraphicGroup group;
  group.items({ccGraphicPtrh(new ccGraphicPointIcon(ccPoint(1, 2), kRed))}, false);
  ccGraphicProps groupProps = group.props();
  const std::size_t itemsVector = 2 + bytesOf(groupProps).size();  // after the group's start
  const std::string circleName = "ccGraphicWithFill<ccCircle, ccEllipse2>";
  const struct {
    ccGraphic* g;
    std::size_t at;
    std::string source;  // line 0 expected where the source is a class name or empty
  } kRows[] = {{&circle, 0, circleName},   {&circle, 1, circleName},   {&circle, 2, "dispc/glist"},
               {&group, 0, "dispc/glist"}, {&group, 1, "dispc/glist"}, {&group, itemsVector, ""}};
  for (const auto& row : kRows) {
    const std::vector<unsigned char> before = bytesOf(*row.g);
    std::vector<unsigned char> bad = before;
    bad[row.at] = 2;
    long line = -1;
    EXPECT_EQ(unknownVersionSource([&] { loadRecord(*row.g, bad); }, &line), row.source);
    EXPECT_EQ(line == 0, row.source != "dispc/glist") << row.source;
    EXPECT_EQ(bytesOf(*row.g), before) << row.source << " at " << row.at;
  }
}

TEST(GraphicGroups, ItemsKeepTheNullAndPropsInvariant) {
  const ccGraphicPtrh emptyText(new ccGraphicText);
  emptyText->color(kBlue);
  const ccGraphicPtrh icon(new ccGraphicPointIcon(ccPoint(3, 4), kRed));

  ccGraphicGroup g;
  EXPECT_TRUE(g.isNull());
  g.items({ccGraphicPtrh(), emptyText, icon}, false);
  EXPECT_TRUE(!g.isNull() && g.props() == icon->props());
  EXPECT_EQ(g.item(2).get(), icon.get());  // shared, not copied
  EXPECT_EQ(g.distToPoint(V(6, 8)), 5);
  EXPECT_EQ(g.encloseRect(), ccRect(V(3, 4), V(1, 1)));
  g.items({ccGraphicPtrh(), emptyText, ccGraphicPtrh(new ccGraphicText)}, true);
  EXPECT_TRUE(g.isNull());
  EXPECT_NE(g.item(1).get(), emptyText.get());  // a clone
  EXPECT_EQ(thrownBy<ccGraphic::BadParams>([&] { g.item(g.numItems()); }),
            "10009600: Item index out of range");

  // The group's colour recolours every item; the group takes part in its items' graphics.
  ccPtrHandle<ccGraphicGroup> outer(new ccGraphicGroup), inner(new ccGraphicGroup);
  inner->items({icon}, false);
  outer->items({inner, emptyText}, false);
  outer->color(ccColor::yellowColor());
  EXPECT_TRUE(icon->color() == ccColor::yellowColor() && emptyText->color() == icon->color());

  // A group cannot hold itself, directly or through another group.
  EXPECT_THROW(inner->items({icon, outer}, false), ccGraphic::BadParams);
  EXPECT_EQ(inner->numItems(), 1);
  EXPECT_THROW(outer->items({outer}, false), ccGraphic::BadParams);
}

TEST(SpecialGraphics, TextIsPlacedAtTheTruncatedPixelOffset) {
  ccGraphicText text("pad 3", ccPoint(10.25, 20.5), kGreen, kBlue, ccUIFormat(ccUIFormat::eCenter),
                     V(2.7, -1.5));
  TracedTablet t;
  t.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 2), V(5, 5)));
  t.tablet.draw(text, kOverlay);
  ASSERT_EQ(t.log->count("drawText"), 1);
  const ccTraceCall& call = t.log->last();
  EXPECT_EQ(call.point("at"), V(25.5 + 2, 46 - 1));
  EXPECT_EQ(call.text("text"), "pad 3");
  EXPECT_EQ(call.color("color2"), kBlue);
  const ccGraphicPtrh m = text.map(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(1, 1)));
  const auto& mt = dynamic_cast<const ccGraphicText&>(*m);
  EXPECT_EQ(mt.location(), ccPoint(11.25, 21.5));
  EXPECT_EQ(mt.offset(), V(2.7, -1.5));
}

// A graphic class of the user's own, drawn by other means than a tablet.
class ForeignGraphic : public ccGraphic {
 public:
  ForeignGraphic() : ccGraphic(ccGraphicProps(kRed, 3, ccGraphicProps::eDash, true)) {
    builtin(false);
  }
  ccGraphicPtrh map(const ccXform<2>&) const override { return clone(); }
  ccGraphicPtrh clone() const override { return ccGraphicPtrh(new ForeignGraphic(*this)); }
  ccRect encloseRect() const override { return ccRect(); }
  double distToPoint(const ccVector<2>&) const override { return 0; }
  void drawOnContext() const { ccGraphic::draw(static_cast<void*>(nullptr)); }

 private:
  void draw(ccUITablet&, ccUITablet::Layers) const override { ADD_FAILURE() << "drawn"; }
};

// The tablet refuses it and the untyped draw reports an assertion; the base archives its props.
TEST(SpecialGraphics, AForeignGraphicDrawsNowhereButArchivesItsProps) {
  TracedTablet t;
  ForeignGraphic g;
  EXPECT_EQ(errorOf([&] { t.tablet.draw(g, kOverlay); }), 0x10002B12u);
  EXPECT_TRUE(t.log->empty());
  EXPECT_EQ(t.tablet.sketch().length(), 0);
  ForeignGraphic back;
  back.props(ccGraphicProps());
  loadRecord(back, bytesOf(g));
  EXPECT_TRUE(back.props() == g.props());
  AssertCounter asserts;
  g.drawOnContext();
  EXPECT_EQ(asserts.reports(), 1);
}

// The list loaded from bytes into `into`.
void load(ccGraphicList& into, const std::vector<unsigned char>& bytes) {
  ccArchive in(bytes);
  in || into;
  EXPECT_TRUE(in.atEnd());
}

TEST(GraphicLists, SketchIsTheRecordingAndReplaysAsTheDrawing) {
  std::vector<ccGraphicPtrh> pool = everySpecialGraphic();
  for (const GraphicCase& c : everyShapeGraphic()) pool.push_back(c.graphic);
  std::mt19937 rng(0x6c157);
  for (std::size_t round = 0; round <= pool.size(); ++round) {  // the last list empty
    SCOPED_TRACE(round);
    ccGraphicList list;
    const L layer = rng() % 2 ? kOverlay : kImage;
    ccUITablet oneByOne;  // detached recording tablet
    for (std::size_t n = round < pool.size() ? rng() % 5 + 1 : 0; n > 0; --n) {
      const ccGraphicPtrh& g = n == 1 ? pool[round] : pool[rng() % pool.size()];
      list.append(g, rng() % 2 == 0);
      oneByOne.draw(*g, layer);
    }
    const ccUISketch sketch = list.sketch(layer);
    EXPECT_EQ(bytesOf(sketch), bytesOf(std::as_const(oneByOne).sketch()));
    EXPECT_EQ(sketch.isNull(), list.empty());

    Board drawn(false), replayed(false);
    list.draw(drawn.tablet, layer);
    replayed.tablet.draw(sketch, ccPoint(0, 0), layer);
    if (!list.empty()) {
      EXPECT_EQ(withoutBrackets(replayed.lines(), layer), drawn.lines());
    }

    // Archived (each graphic with its class name) and loaded through the class registry, the
    // list stores the same bytes and draws the same.
    const std::vector<unsigned char> bytes = stored(list);
    ccGraphicList back;
    load(back, bytes);
    EXPECT_EQ(stored(back), bytes);
    EXPECT_EQ(bytesOf(back.sketch(layer)), bytesOf(sketch));
  }
}

TEST(GraphicLists, LoadingReplacesTheItemsAndKeepsSharedGraphicsShared) {
  const ccGraphicPtrh shared(new ccGraphicCross(ccCross(V(1, 2), ccRadian(0), 4), kRed));
  ccGraphicList three;
  three.append(shared, false);
  three.append(ccGraphic::makeShapeGraphic(sample<ccCircle>().clone(), sampleProps()), false);
  three.append(shared, false);
  const std::vector<unsigned char> bytes = stored(three);

  ccGraphicList target;
  for (const auto& g : everySpecialGraphic()) target.append(g, false);
  load(target, bytes);
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
  // group that holds, through the group it holds, the group itself (list [a], a holds b, b
  // refers back to a, object 0, while a is still loading), a negative count.
  std::vector<unsigned char> badVersion = bytes;
  badVersion[0] = 1;
  Bytes unknownClass{0, 1, 0, 0, 0, 1};  // version, one item: a new object of a new class
  putString(unknownClass, "ccGraphicNobodyMade");
  ccPtrHandle<ccGraphicGroup> a(new ccGraphicGroup), b(new ccGraphicGroup);
  a->items({ccGraphicPtrh(b)}, false);
  ccGraphicList cycle;
  cycle.append(a, false);
  std::vector<unsigned char> cyclic = stored(cycle);
  ASSERT_EQ(cyclic[cyclic.size() - 3], 0);  // b's item count, b's null flag, a's null flag
  cyclic[cyclic.size() - 3] = 1;
  cyclic.insert(cyclic.end() - 2, {2, 0, 0, 0, 0});
  const struct {
    const char* what;
    std::vector<unsigned char> bytes;
  } kBad[] = {{"version", badVersion},
              {"class", unknownClass},
              {"cycle", cyclic},
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
  ccGraphicPtrh g(new ccGraphicPointIcon(ccPoint(V(3, 4)), kRed));
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
  load(back, bytes);
  EXPECT_EQ(stored(back), bytes);
  ccGraphicList copy(back);
  EXPECT_EQ(stored(copy), bytes);
  EXPECT_NE(copy.begin()->get(), back.begin()->get());
  auto shared = [](const ccGraphic& top) {
    const auto& group = dynamic_cast<const ccGraphicGroup&>(top);
    return group.item(0).get() == group.item(1).get();
  };
  const ccGraphicPtrh clone = g->clone(), moved = g->map(cc2Rigid(ccRadian(0), V(1, 1)).xform());
  EXPECT_TRUE(shared(*clone) && shared(*moved));
  EXPECT_EQ(moved->encloseRect().ul(), V(4, 5));
  EXPECT_EQ(g->distToPoint(V(3, 0)), 4);
  g->color(kBlue);
  EXPECT_EQ(leaf->color(), kBlue);
}

TEST(GraphicLists, GroupsNestedDeeperThanTheArchiveAllowsAreRefused) {
  // A chain of `objects` graphics, each group holding the next; the last is an icon.
  const auto chain = [](int objects) {
    ccGraphicPtrh g(new ccGraphicPointIcon(ccPoint(V(1, 2)), kRed));
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
  load(back, deepest);
  EXPECT_EQ(stored(back), deepest);
  ccArchive tooDeep(chain(ccArchive::kMaxObjectNesting + 1));
  const std::string error = thrownBy<ccArchive::BadData>([&] { tooDeep || back; });
  EXPECT_NE(error.find("objects nested deeper than 1000 at byte "), std::string::npos) << error;
  EXPECT_EQ(stored(back), deepest);
}

// ---- Graphics-list records

constexpr std::uint32_t kGraphicBadParams = 0x10009600;

// A record area built byte by byte, read through a cgr_list that points at an exact-size copy
// (so that the address sanitizer sees any read past it).
struct RawList {
  std::vector<unsigned char> bytes;
  std::int32_t count = 0;
  mutable std::vector<unsigned char> area;

  RawList& raw(const void* p, std::size_t n) {
    bytes.insert(bytes.end(), static_cast<const unsigned char*>(p),
                 static_cast<const unsigned char*>(p) + n);
    return *this;
  }
  RawList& i32(std::int32_t v) { return raw(&v, 4); }
  RawList& real(double v) { return raw(&v, 8); }
  RawList& record(std::int32_t type, cgr_color colour) {
    ++count;
    return i32(type).i32(static_cast<std::int32_t>(colour));
  }
  // The first `size` bytes of the area under the whole count.
  cgr_list list(std::size_t size) const {
    area.assign(bytes.begin(), bytes.begin() + static_cast<long>(size));
    return cgr_list{count, size, 0, area.empty() ? nullptr : area.data()};
  }
  cgr_list list() const { return list(bytes.size()); }
};

// A list of every record type, each in its own colour: the writable ones through the append
// functions, the circle and the ellipse (which have none) as raw records.
struct EveryRecord {
  cgr_list written;
  RawList all;
  cmath_shapeEllipse ellipse;
  EveryRecord() {
    cgr_list_init(&written);
    const cmath_vect poly[] = {{0, 0}, {10, 5}, {20, 0}},
                     ends[] = {{1, 2}, {3, 4}, {5, 6}, {70, 8}};
    cmath_shapeAffineRect affine;
    EXPECT_EQ(cmath_shapeAffineRect_initPoints(&affine, {10, 10}, {40, 15}, {5, 30}), 0);
    EXPECT_EQ(cmath_shapeEllipse_init(&ellipse, {70, 50}, {25, 9}, -0.4), 0);
    EXPECT_EQ(cgr_list_appendPoint(&written, 1, 7, -2), 0);
    EXPECT_EQ(cgr_list_appendLineSeg(&written, 2, 1, 2, 30, 40), 0);
    EXPECT_EQ(cgr_list_appendLineDirPoint(&written, 3, {1, 2}, {10, 20}), 0);
    EXPECT_EQ(cgr_list_appendRect(&written, 4, 10, 20, {30, 15}), 0);
    EXPECT_EQ(cgr_list_appendGenRect(&written, 5, {50, 60}, {15, 7.5}, 0, {0.25, 0.5}), 0);
    const std::size_t split = written.size;  // the circle and the ellipse go here in `all`
    EXPECT_EQ(cgr_list_appendPolyline(&written, 7, 3, poly, true), 0);
    EXPECT_EQ(cgr_list_appendShapeAffineRect(&written, 8, &affine), 0);
    EXPECT_EQ(cgr_list_appendTextEx(&written, 9, {30, 40}, "label", 10, 4, {2.7, -1.5}), 0);
    EXPECT_EQ(cgr_list_appendLineSegSet(&written, 11, 2, ends), 0);
    all.raw(written.records, split).count = 5;
    all.record(cgr_eCircle, 6).real(40).real(30).real(12);
    all.record(cgr_eEllipse, 0x10203080).raw(&ellipse, sizeof ellipse);
    all.raw(written.records + split, written.size - split).count += 4;
  }
  ~EveryRecord() { cgr_list_free(&written); }

  // What drawing `all` stands for, as tablet calls.
  void drawDirect(ccUITablet& t) const {
    t.drawPointIcon(ccPoint(7, -2), cfColor(1), kOverlay);
    t.draw(ccLineSeg(V(1, 2), V(30, 40)), cfColor(2), kOverlay);
    t.draw(ccLine(V(1, 2), V(10, 20)), cfColor(3), kOverlay);
    t.draw(ccRect(V(10, 20), V(30, 15)), cfColor(4), kOverlay, false);
    t.draw(ccGenRect(V(50, 60), V(15, 7.5), ccRadian(0), V(0.25, 0.5)), cfColor(5), kOverlay,
           false);
    t.draw(ccEllipse2(V(12, 12), ccRadian(0), V(40, 30)), ccGraphicProps(cfColor(6), 1), kOverlay);
    const cmath_xform& m = ellipse.unitCircleMap;
    t.draw(ccEllipse2(ccXform<2>(ccMatrix<2>(m.m[0][0], m.m[0][1], m.m[1][0], m.m[1][1]),
                                 V(m.t.x, m.t.y))),
           ccGraphicProps(cfColor(0x10203080), 1), kOverlay);
    t.draw(ccPolyline({V(0, 0), V(10, 5), V(20, 0)}, true), ccGraphicProps(cfColor(7), 1),
           kOverlay);
    t.draw(ccAffineRectangle(V(10, 10), V(40, 15), V(5, 30)), cfColor(8), kOverlay);
    t.drawStart(ccPoint(30, 40), kOverlay);
    t.moveToRelPels(3, -2, kOverlay);
    t.draw("label", ccUITablet::drawPointArg(), cfColor(9), cfColor(10),
           ccUIFormat(ccUIFormat::eCenter), kOverlay);
    t.draw(ccLineSegSet({ccLineSeg(V(1, 2), V(3, 4)), ccLineSeg(V(5, 6), V(70, 8))}),
           ccGraphicProps(cfColor(11), 1), kOverlay);
  }
};

}  // namespace

// Every record type draws as its tablet calls; list -> graphic list -> list keeps every record
// that has a writer (the circle and the ellipse have no append function).
TEST(GraphicsListBridge, EveryRecordTypeDrawsAsItsTabletCallsAndIsWrittenBack) {
  const EveryRecord every;
  TracedTablet bridged, direct;
  for (TracedTablet* b : {&bridged, &direct})
    b->tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0.5, 0, 1.5), V(7, -3)));
  const cgr_list list = every.all.list();
  cfUITabletDraw(bridged.tablet, &list, kOverlay);
  every.drawDirect(direct.tablet);
  EXPECT_EQ(bridged.calls(), direct.calls());
  EXPECT_EQ(bridged.sketchBytes(), direct.sketchBytes());

  ccGraphicList graphics;
  cfGraphicListAppend(graphics, &list);
  ASSERT_EQ(graphics.size(), 11u);
  cgr_list back;
  cgr_list_init(&back);
  AssertCounter asserts;
  cfGraphicListAppend(&back, graphics);
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_EQ(back.count, 9);
  EXPECT_EQ(Bytes(back.records, back.records + back.size),
            Bytes(every.written.records, every.written.records + every.written.size));
  cgr_list_free(&back);
}

// An empty text takes 49 bytes after its type and colour, and a record of an unknown type is read
// as a point after an assertion: the records after them are read where they start.
TEST(GraphicsListBridge, EmptyTextTakes49BytesAndAnUnknownTypeIsReadAsAPoint) {
  cgr_list text;
  cgr_list_init(&text);
  ASSERT_EQ(cgr_list_appendTextEx(&text, 2, {1, 2}, "", 3, 8, {0, 0}), 0);
  EXPECT_EQ(text.size, 8u + 49u);
  for (std::int32_t type : {11, -1, 0x7fffffff}) {
    RawList raw;
    raw.raw(text.records, text.size).count = 1;
    raw.record(type, 3).real(4).real(5).record(cgr_ePoint, 6).real(7).real(8);
    const cgr_list list = raw.list();
    TracedTablet bridged, direct;
    AssertCounter asserts;
    cfUITabletDraw(bridged.tablet, &list, kOverlay);
    EXPECT_EQ(asserts.reports(), 1) << type;
    direct.tablet.drawStart(ccPoint(1, 2), kOverlay);
    direct.tablet.moveToRelPels(0, 0, kOverlay);
    direct.tablet.draw("", ccUITablet::drawPointArg(), cfColor(2), cfColor(3),
                       ccUIFormat(ccUIFormat::eBottomRight), kOverlay);
    direct.tablet.drawPointIcon(ccPoint(4, 5), cfColor(3), kOverlay);
    direct.tablet.drawPointIcon(ccPoint(7, 8), cfColor(6), kOverlay);
    EXPECT_EQ(bridged.calls(), direct.calls()) << type;
    EXPECT_EQ(bridged.sketchBytes(), direct.sketchBytes()) << type;
  }
  cgr_list_free(&text);
}

TEST(GraphicsListBridge, MalformedRecordAreaIsRefusedAndChangesNothing) {
  const EveryRecord every;
  cmath_shapeEllipse broken = every.ellipse;
  broken.unitCircleMap.t.x = std::nan("");
  RawList negativeCount, hugeCount, brokenEllipse, noNul;
  negativeCount.record(cgr_ePolyline, 1).i32(-1).i32(0);
  hugeCount.record(cgr_eLineSegSet, 1).i32(0x7fffffff).real(1).real(2).real(3).real(4);
  brokenEllipse.record(cgr_eEllipse, 1).raw(&broken, sizeof broken);
  noNul.record(cgr_eText, 1).raw(std::string(48, '\0').data(), 48).raw("abc", 3);
  struct Case {
    std::string name;
    cgr_list list;
    std::uint32_t error;
  };
  std::vector<Case> cases = {
      {"negative point count", negativeCount.list(), kGraphicBadParams},
      {"segments past the end", hugeCount.list(), kGraphicBadParams},
      {"no NUL", noNul.list(), kGraphicBadParams},
      {"shape-math status", brokenEllipse.list(), cmath_eBadShape},
      {"negative record count", cgr_list{-1, 0, 0, nullptr}, kGraphicBadParams},
      {"no record area", cgr_list{1, 24, 0, nullptr}, kGraphicBadParams}};
  // Every area shorter than the count claims, one byte at a time.
  std::vector<RawList> shorter(every.all.bytes.size(), every.all);
  for (std::size_t size = 0; size < shorter.size(); ++size)
    cases.push_back({"area of " + std::to_string(size) + " bytes", shorter[size].list(size),
                     kGraphicBadParams});
  for (const Case& c : cases) {
    TracedTablet board;
    ccGraphicList graphics;
    graphics.append(ccGraphicPtrh(new ccGraphicPointIcon(ccPoint(1, 1), kRed)), false);
    EXPECT_EQ(errorOf([&] { cfUITabletDraw(board.tablet, &c.list, kOverlay); }), c.error) << c.name;
    EXPECT_EQ(errorOf([&] { cfGraphicListAppend(graphics, &c.list); }), c.error) << c.name;
    EXPECT_TRUE(board.log->empty()) << c.name;
    EXPECT_EQ(graphics.size(), 1u) << c.name;
  }
  // The message names the record that runs short.
  const cgr_list cut = every.all.list(8 + 16 + 8 + 31);
  EXPECT_EQ(thrownBy<ccGraphic::BadParams>(
                [&] { cfUITabletDraw(*std::make_unique<ccUITablet>(), &cut, kOverlay); }),
            "10009600: cgr_list record 1 (type 1) at byte 24: the payload runs past the end (the "
            "record area holds 63 bytes)");
}

// A failing call is taken back (graphics without a record form are skipped, as the every-record
// test shows).
TEST(GraphicsListBridge, WritingTakesBackAFailedCall) {
  ccGraphicList graphics;
  for (int i = 0; i < 2; ++i)
    graphics.append(ccGraphicPtrh(new ccGraphicPointIcon(ccPoint(i, 2), kRed)), false);
  // One record short of the largest count: the first point fits, the second does not.
  cgr_list list;
  cgr_list_init(&list);
  ASSERT_EQ(cgr_list_appendPoint(&list, 1, 0, 0), 0);
  list.count = 0x7ffffffe;
  EXPECT_EQ(errorOf([&] { cfGraphicListAppend(&list, graphics); }), std::uint32_t(cgr_eNoMemory));
  EXPECT_EQ(list.count, 0x7ffffffe);
  EXPECT_EQ(list.size, 24u);
  cgr_list_free(&list);
}
