// The scope base class, exercised through the trace back end: the tolerant floor and the pen,
// change tracking with its assertion reports, the scope tree, colour matching and the refusal
// of zoom factors below one.
#include <backends/trace/tracescope.h>
#include <core/assert.h>
#include <dispc/scope.h>
#include <dispc/tolfloor.h>

#include "assertcounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

ccUIRect rect(long x, long y, long w, long h) { return ccUIRect(x, y, w, h); }

}  // namespace

// ---- Tolerant floor and the pen

TEST(TolerantFloor, AHairBelowAWholeNumberIsThatNumberOtherwiseFloorSaturated) {
  const struct {
    double v;
    long floor;
  } cases[] = {{2.9999999999999, 3},
               {-0.99999999999999, -1},
               {-1.00000000000001, -1},
               {2.5, 2},
               {-0.5, -1},
               {2.999999999, 2},
               {-1.000000001, -2},
               {1e20, 2147483647L},
               {-1e20, -2147483647L - 1},
               {2147483646.5, 2147483646L},
               {std::numeric_limits<double>::quiet_NaN(), 0}};
  for (const auto& c : cases) EXPECT_EQ(cfTolerantFloor(c.v), c.floor) << c.v;
}

TEST(ScopePen, PixelsAreFlooredTolerantlyShiftedByTheClipOffsetAndMovedWhole) {
  ccTraceScope s(rect(0, 0, 100, 100), nullptr, ccPair<long>(4, 6));
  EXPECT_EQ(s.xCoord(ccPoint(2.9999999999999, 0)), 3 - 4);
  EXPECT_EQ(s.yCoord(ccPoint(0, -0.5)), -1 - 6);
  s.drawStart(ccPoint(10.7, 3.2));
  EXPECT_EQ(s.drawPoint(), ccPoint(10.7, 3.2));
  EXPECT_EQ(s.drawX(), 6);
  EXPECT_EQ(s.drawY(), -3);
  s.moveToRel(5, -2);
  EXPECT_DOUBLE_EQ(s.drawPoint().x(), 15.7);
  EXPECT_DOUBLE_EQ(s.drawPoint().y(), 1.2);
  EXPECT_EQ(s.drawX(), 11);
  EXPECT_EQ(s.drawY(), -5);
}

// ---- Change tracking

// Changes are clipped to the scope and accumulate; a change of the whole scope with
// checkOpaque makes it opaque; the client rectangle grows unclipped; noChange clears only
// the changes. Rectangles read back are shifted by the clip offset.
TEST(ScopeChanges, ClippedAccumulatedAndReadInClipOffsetPixels) {
  ccTraceScope s(rect(0, 0, 100, 50));
  s.change(rect(200, 10, 5, 5), true);
  s.change(rect(-20, -20, 20, 20), true);  // touches (0, 0) but does not cover it
  s.change(ccUIRect::null, true);
  EXPECT_EQ(s.flags(), 0u);
  EXPECT_FALSE(s.anyChanged());
  s.change(rect(90, 40, 20, 20), false);
  EXPECT_EQ(s.changeRect(), rect(90, 40, 10, 10));
  EXPECT_FALSE(s.allChanged());
  EXPECT_TRUE(s.anyChanged());
  s.change(rect(-5, -5, 10, 10), false);
  EXPECT_EQ(s.changeRect(), rect(0, 0, 100, 50));  // the two corners span the scope
  EXPECT_TRUE(s.allChanged());
  EXPECT_FALSE(s.opaque());
  s.change(rect(0, 0, 99, 50), true);  // one column short
  EXPECT_FALSE(s.opaque());
  s.change(rect(-10, -10, 200, 200), true);
  EXPECT_TRUE(s.opaque());
  s.modified(true);
  s.noChange();
  EXPECT_FALSE(s.someChanged() || s.allChanged());
  EXPECT_TRUE(s.opaque() && s.modified() && s.anyChanged());

  ccTraceScope c(rect(0, 0, 100, 50), nullptr, ccPair<long>(4, 6));
  c.change(rect(1, 2, 3, 4), false);
  EXPECT_EQ(c.changeRect(), rect(5, 8, 3, 4));
  c.clientChangeEnable(true);
  c.change(rect(200, 10, 5, 5), false);  // outside the scope
  c.change(rect(190, 30, 5, 5), false);
  EXPECT_EQ(c.changeRect(), rect(5, 8, 3, 4));
  EXPECT_EQ(c.clientChangedRect(true), rect(194, 16, 15, 25));
  EXPECT_EQ(c.clientChangedRect(false), rect(194, 16, 15, 25));
  EXPECT_FALSE(c.clientChangeEnable());  // reading without keep switched it off
  c.change(rect(50, 0, 2, 2), false);
  c.clientChangeEnable(true);
  EXPECT_EQ(c.clientChangedRect(true), ccUIRect::null);
}

// allChange: the whole scope on screen (nothing off screen), the client rectangle infinite.
TEST(ScopeChanges, AllChangeOnAndOffScreen) {
  for (bool off : {false, true}) {
    ccTraceScope s(rect(0, 0, 100, 50));
    s.offScreen(off);
    s.clientChangeEnable(true);
    s.allChange();
    EXPECT_TRUE(s.allChanged());
    EXPECT_EQ(s.someChanged(), !off);
    EXPECT_EQ(s.changeRect(), off ? ccUIRect::null : rect(0, 0, 100, 50));
    EXPECT_EQ(s.clientChangedRect(true), ccUIRect::inf);
    EXPECT_TRUE(s.anyChanged());
    EXPECT_TRUE(s.trackChanges());  // client tracking is on
    s.clientChangeEnable(false);
    EXPECT_FALSE(s.trackChanges());
  }
}

TEST(ScopeChanges, EnablingClientTrackingTwiceIsReported) {
  AssertCounter asserts;
  ccTraceScope s(rect(0, 0, 100, 50));
  s.clientChangeEnable(true);
  EXPECT_EQ(asserts.reports(), 0);
  s.change(rect(1, 1, 1, 1), false);
  s.clientChangeEnable(true);
  EXPECT_EQ(asserts.reports(), 1);
  ASSERT_EQ(asserts.files().size(), 1u);
  EXPECT_EQ(asserts.files()[0], "dispc/scope");
  // It is still enabled, and the client rectangle was cleared again.
  EXPECT_TRUE(s.clientChangeEnable());
  EXPECT_EQ(s.clientChangedRect(true), ccUIRect::null);
  EXPECT_EQ(asserts.reports(), 1);
  s.clientChangeEnable(false);
  s.clientChangeEnable(false);  // switching off twice is fine
  EXPECT_EQ(asserts.reports(), 1);
  // Reading the client rectangle without tracking is reported too.
  EXPECT_EQ(s.clientChangedRect(true), ccUIRect::null);
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_EQ(asserts.files()[1], "dispc/scope");
}

// ---- Tree

// Placing under a parent whose clip offset is (5, 3): the attach rectangle is relative to the
// parent's visible corner; what hangs off it on the top left becomes the clip offset (move),
// or the larger of rectangle and parent offset (subset). Placing clears the changes.
TEST(ScopeTree, MoveAndSubsetSetTheClipOffset) {
  ccTraceScope parent(rect(0, 0, 100, 100), nullptr, ccPair<long>(5, 3));
  const struct {
    bool subset;
    ccUIRect place, attached;
    ccPair<long> clipOffset;
  } rows[] = {{false, rect(2, 10, 20, 20), rect(-3, 7, 20, 20), {3, 0}},
              {false, rect(20, 30, 10, 10), rect(15, 27, 10, 10), {0, 0}},
              {false, rect(0, 0, 10, 10), rect(-5, -3, 10, 10), {5, 3}},
              {true, rect(2, 10, 20, 20), rect(-3, 7, 20, 20), {5, 10}},
              {true, rect(40, 1, 20, 20), rect(35, -2, 20, 20), {40, 3}}};
  ccTraceScope child(rect(0, 0, 30, 30), parent.log(), ccPair<long>(9, 9));
  for (const auto& r : rows) {
    child.change(rect(0, 0, 30, 30), true);
    if (r.subset)
      child.subset(parent, r.place);
    else
      child.move(parent, r.place);
    EXPECT_EQ(child.clipOffset(), r.clipOffset) << &r - rows;
    const ccTraceCall& attach = parent.last();
    EXPECT_EQ(attach.name, "attach");
    EXPECT_EQ(attach.scope, child.id());
    EXPECT_EQ(attach.integer("parent"), parent.id());
    EXPECT_EQ(attach.rect("rect"), r.attached) << &r - rows;
    EXPECT_FALSE(child.someChanged() || child.allChanged());
  }
  EXPECT_EQ(child.root(), &parent);
  EXPECT_EQ(parent.children().size(), 1u);  // moved five times, linked once
  child.move(parent, rect(2, 10, 20, 20));
  EXPECT_EQ(child.scopeBounds(), rect(0, 7, 17, 20));  // the trace shows the visible part
}

TEST(ScopeTree, MovingUnderItselfOrASubScopeIsRefused) {
  AssertCounter asserts;
  ccTraceScope root(rect(0, 0, 100, 100));
  std::unique_ptr<ccTraceScope> sub(root.newSubScope(rect(10, 10, 50, 50), false));
  const long before = root.log()->size();
  root.move(*sub, rect(0, 0, 10, 10));
  EXPECT_EQ(asserts.reports(), 1);
  sub->move(*sub, rect(0, 0, 10, 10));
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_EQ(root.log()->size(), before);  // no attach
  EXPECT_EQ(root.parent(), nullptr);
  EXPECT_EQ(sub->parent(), &root);
  EXPECT_EQ(sub->children().size(), 0u);
}

// A change anywhere marks the root as changed. A destroyed scope leaves its parent's list; its
// sub-scopes are orphans that reach no root and touch nothing freed, and can be placed again.
TEST(ScopeTree, AnyChangedLivesOnTheRootDestructionOrphans) {
  ccTraceScope root(rect(0, 0, 100, 100));
  ccTraceScope* first = root.newSubScope(rect(0, 0, 10, 10), false);
  ccTraceScope* second = root.newSubScope(rect(10, 0, 10, 10), false);
  std::unique_ptr<ccTraceScope> grand(second->newSubScope(rect(0, 0, 5, 5), false));
  EXPECT_EQ(grand->root(), &root);
  grand->change(rect(0, 0, 1, 1), false);
  EXPECT_TRUE(root.anyChanged() && second->anyChanged());
  EXPECT_FALSE(root.someChanged());  // only the leaf changed
  second->clearAnyChanged();
  EXPECT_FALSE(root.anyChanged() || grand->anyChanged());
  grand->noChange();
  delete second;
  ASSERT_EQ(root.children().size(), 1u);
  EXPECT_EQ(root.children().front(), first);
  EXPECT_EQ(grand->parent(), nullptr);
  EXPECT_EQ(grand->root(), nullptr);
  grand->change(rect(0, 0, 5, 5), false);
  EXPECT_TRUE(grand->someChanged());
  EXPECT_FALSE(grand->anyChanged() || root.anyChanged());
  grand->move(root, rect(0, 0, 20, 20));
  EXPECT_EQ(grand->root(), &root);
  grand->change(rect(0, 0, 5, 5), false);
  EXPECT_TRUE(root.anyChanged());
  delete first;
}

// ---- Colours

// Nearest by distance of the stored triples (an index colour's is (0, 0, 0)); on a tie the
// lower index; an empty map gives index 0.
TEST(ScopeNearestColor, Table) {
  const std::vector<ccRGB> map = {ccRGB(10, 10, 10), ccRGB(200, 0, 0), ccRGB(0, 200, 0)};
  const std::vector<ccRGB> ties = {ccRGB(100, 100, 100), ccRGB(0, 0, 10), ccRGB(0, 10, 0)};
  const std::vector<ccRGB> kinds = {ccRGB(50, 50, 50), ccRGB(1, 1, 1), ccRGB(250, 0, 0)};
  const struct {
    ccColor color;
    const std::vector<ccRGB>* map;
    int index;
  } cases[] = {{ccColor(190, 10, 0), &map, 1},
               {ccColor(0, 150, 60), &map, 2},
               {ccColor(60, 60, 60), &map, 0},
               {ccColor(0, 0, 0), &ties, 1},
               {ccColor(static_cast<unsigned char>(200)), &kinds, 1},
               {ccColor::redColor(), &kinds, 2},
               {ccColor::whiteColor(), &kinds, 0}};  // 355.07 from entry 0, 360.66 from 2
  for (const auto& c : cases) {
    const ccColor n = ccUIScope::nearestColor(c.color, *c.map);
    EXPECT_TRUE(n.isIndexColor() && !n.isRGBColor());
    EXPECT_EQ(n.index(), c.index) << &c - cases;
  }
  EXPECT_EQ(ccUIScope::nearestColor(ccColor(1, 2, 3), {}).index(), 0);
}

// ---- Zoom forms with integer factors

TEST(ScopeZoomForms, AFactorBelowOneIsReportedAndDrawsNothing) {
  AssertCounter asserts;
  ccTraceScope s(rect(0, 0, 100, 100));
  ccPelBuffer<unsigned char> img(2, 2);
  s.sample(img, ccPoint(0, 0), ccPair<long>(0, 1), false, 0, false);
  s.expand(img, ccPoint(0, 0), ccPair<long>(2, -1), false, 0, false, ccUIScope::eNoInterpolation);
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_TRUE(s.calls().empty());
}
