// The scope base class, exercised through the trace back end: the tolerant floor and the pen,
// change tracking with its assertion reports, the scope tree, the display clip notification,
// colour matching and the integer-factor zoom forms.
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

// ---- Tolerant floor

TEST(TolerantFloor, AHairBelowAWholeNumberIsThatNumber) {
  EXPECT_EQ(cfTolerantFloor(2.9999999999999), 3);
  EXPECT_EQ(cfTolerantFloor(-0.99999999999999), -1);
  EXPECT_EQ(cfTolerantFloor(-2.9999999999999), -3);
  EXPECT_EQ(cfTolerantFloor(-1.00000000000001), -1);
  EXPECT_EQ(cfTolerantFloor(1234567.9999999999), 1234568);
}

TEST(TolerantFloor, OtherwiseAnOrdinaryFloor) {
  EXPECT_EQ(cfTolerantFloor(2.5), 2);
  EXPECT_EQ(cfTolerantFloor(-0.5), -1);
  EXPECT_EQ(cfTolerantFloor(-2.5), -3);
  EXPECT_EQ(cfTolerantFloor(3.0), 3);
  EXPECT_EQ(cfTolerantFloor(-3.0), -3);
  EXPECT_EQ(cfTolerantFloor(0.0), 0);
  EXPECT_EQ(cfTolerantFloor(-0.0), 0);
  // 1e-9 below is far more than a relative 1e-11.
  EXPECT_EQ(cfTolerantFloor(2.999999999), 2);
  EXPECT_EQ(cfTolerantFloor(-1.000000001), -2);
}

TEST(TolerantFloor, SaturatesAtThe32BitRange) {
  EXPECT_EQ(cfTolerantFloor(1e20), 2147483647L);
  EXPECT_EQ(cfTolerantFloor(-1e20), -2147483647L - 1);
  EXPECT_EQ(cfTolerantFloor(2147483646.5), 2147483646L);
  EXPECT_EQ(cfTolerantFloor(std::numeric_limits<double>::quiet_NaN()), 0);
}

// ---- Pen

TEST(ScopePen, DrawStartStoresThePointAndItsPixels) {
  ccTraceScope s(rect(0, 0, 100, 100));
  s.drawStart(ccPoint(10.7, 3.2));
  EXPECT_EQ(s.drawPoint(), ccPoint(10.7, 3.2));
  EXPECT_EQ(s.drawX(), 10);
  EXPECT_EQ(s.drawY(), 3);
  s.drawStart(ccPoint(2.9999999999999, -0.99999999999999));
  EXPECT_EQ(s.drawX(), 3);
  EXPECT_EQ(s.drawY(), -1);
}

TEST(ScopePen, MoveToRelMovesPointAndPixelsByWholePixels) {
  ccTraceScope s(rect(0, 0, 100, 100));
  s.drawStart(ccPoint(10.7, 3.2));
  s.moveToRel(5, -2);
  EXPECT_DOUBLE_EQ(s.drawPoint().x(), 15.7);
  EXPECT_DOUBLE_EQ(s.drawPoint().y(), 1.2);
  EXPECT_EQ(s.drawX(), 15);
  EXPECT_EQ(s.drawY(), 1);
}

TEST(ScopePen, CoordinatesAreFlooredTolerantlyAndShiftedByTheClipOffset) {
  ccTraceScope s(rect(0, 0, 100, 100), nullptr, ccPair<long>(4, 6));
  EXPECT_EQ(s.xCoord(ccPoint(2.5, 0)), 2 - 4);
  EXPECT_EQ(s.xCoord(ccPoint(2.9999999999999, 0)), 3 - 4);
  EXPECT_EQ(s.xCoord(ccPoint(-0.99999999999999, 0)), -1 - 4);
  EXPECT_EQ(s.yCoord(ccPoint(0, 7.9999999999999)), 8 - 6);
  EXPECT_EQ(s.yCoord(ccPoint(0, -0.5)), -1 - 6);
  s.drawStart(ccPoint(10.7, 3.2));
  EXPECT_EQ(s.drawX(), 6);
  EXPECT_EQ(s.drawY(), -3);
}

TEST(ScopePen, ThePenPositionItselfGivesDrawXAndDrawYExactly) {
  ccTraceScope parent(rect(0, 0, 100, 100));
  ccTraceScope s(rect(0, 0, 100, 100), parent.log(), ccPair<long>(4, 6));
  s.drawStart(ccPoint(20.5, 30.5));
  EXPECT_EQ(s.drawX(), 16);
  EXPECT_EQ(s.drawY(), 24);
  // Placing the scope changes its clip offset to (0, 0); the pen pixels stay as they were.
  s.move(parent, rect(10, 10, 50, 50));
  EXPECT_EQ(s.clipOffset(), ccPair<long>(0, 0));
  EXPECT_EQ(s.xCoord(s.drawPoint()), 16);
  EXPECT_EQ(s.yCoord(s.drawPoint()), 24);
  // An equal point that is not the pen position is converted.
  const ccPoint copy = s.drawPoint();
  EXPECT_EQ(s.xCoord(copy), 20);
  EXPECT_EQ(s.yCoord(copy), 30);
  // Starting at the pen position itself keeps the pixels.
  s.drawStart(s.drawPoint());
  EXPECT_EQ(s.drawX(), 16);
  EXPECT_EQ(s.drawY(), 24);
  s.drawStart(copy);
  EXPECT_EQ(s.drawX(), 20);
  EXPECT_EQ(s.drawY(), 30);
}

// ---- Change tracking

TEST(ScopeChanges, AFreshScopeHasNoChangesAndNoFlags) {
  ccTraceScope s(rect(0, 0, 100, 50));
  EXPECT_EQ(s.flags(), 0u);
  EXPECT_FALSE(s.someChanged());
  EXPECT_FALSE(s.allChanged());
  EXPECT_FALSE(s.anyChanged());
  EXPECT_EQ(s.changeRect(), ccUIRect::null);
  EXPECT_EQ(s.root(), &s);
  EXPECT_EQ(s.parent(), nullptr);
  EXPECT_TRUE(s.trackChanges());
}

TEST(ScopeChanges, FlagBitsAndTheirAccessors) {
  ccTraceScope s(rect(0, 0, 100, 50));
  s.allChanged(true);
  EXPECT_EQ(s.flags(), 1u);
  s.modified(true);
  EXPECT_EQ(s.flags(), 3u);
  s.opaque(true);
  EXPECT_EQ(s.flags(), 7u);
  s.clientChangeEnable(true);
  EXPECT_EQ(s.flags(), 15u);
  s.allChanged(false);
  s.opaque(false);
  EXPECT_EQ(s.flags(), 10u);
  EXPECT_TRUE(s.modified());
  EXPECT_FALSE(s.opaque());
  EXPECT_TRUE(s.clientChangeEnable());
}

TEST(ScopeChanges, AChangeOutsideTheScopeChangesNothing) {
  ccTraceScope s(rect(0, 0, 100, 50));
  s.change(rect(200, 10, 5, 5), true);
  s.change(rect(-20, -20, 20, 20), true);  // touches (0, 0) but does not cover it
  EXPECT_FALSE(s.someChanged());
  EXPECT_FALSE(s.anyChanged());
  EXPECT_EQ(s.flags(), 0u);
  s.change(ccUIRect::null, true);
  EXPECT_FALSE(s.someChanged());
}

TEST(ScopeChanges, AChangeOutsideStillGrowsTheClientRectangle) {
  ccTraceScope s(rect(0, 0, 100, 50));
  s.clientChangeEnable(true);
  s.change(rect(200, 10, 5, 5), false);
  EXPECT_FALSE(s.someChanged());
  EXPECT_FALSE(s.anyChanged());
  EXPECT_EQ(s.clientChangedRect(true), rect(200, 10, 5, 5));
  s.change(rect(190, 30, 5, 5), false);
  EXPECT_EQ(s.clientChangedRect(true), rect(190, 10, 15, 25));
}

TEST(ScopeChanges, ChangesAreClippedAndAccumulated) {
  ccTraceScope s(rect(0, 0, 100, 50));
  s.change(rect(90, 40, 20, 20), false);
  EXPECT_TRUE(s.someChanged());
  EXPECT_EQ(s.changeRect(), rect(90, 40, 10, 10));
  EXPECT_FALSE(s.allChanged());
  EXPECT_TRUE(s.anyChanged());
  s.change(rect(-5, -5, 10, 10), false);
  // The union of the two corners spans the whole scope: all changed, but not opaque.
  EXPECT_EQ(s.changeRect(), rect(0, 0, 100, 50));
  EXPECT_TRUE(s.allChanged());
  EXPECT_FALSE(s.opaque());
}

TEST(ScopeChanges, AWholeScopeChangeWithCheckOpaqueSetsOpaqueAndAllChanged) {
  ccTraceScope s(rect(0, 0, 100, 50));
  s.change(rect(0, 0, 99, 50), true);  // one column short
  EXPECT_FALSE(s.opaque());
  EXPECT_FALSE(s.allChanged());
  s.change(rect(-10, -10, 200, 200), true);
  EXPECT_TRUE(s.opaque());
  EXPECT_TRUE(s.allChanged());
  EXPECT_EQ(s.changeRect(), rect(0, 0, 100, 50));
}

TEST(ScopeChanges, NoChangeClearsTheChangesOnly) {
  ccTraceScope s(rect(0, 0, 100, 50));
  s.modified(true);
  s.change(rect(0, 0, 100, 50), true);
  s.noChange();
  EXPECT_FALSE(s.someChanged());
  EXPECT_FALSE(s.allChanged());
  EXPECT_EQ(s.changeRect(), ccUIRect::null);
  EXPECT_TRUE(s.opaque());
  EXPECT_TRUE(s.modified());
  EXPECT_TRUE(s.anyChanged());
}

TEST(ScopeChanges, AllChangeOnScreen) {
  ccTraceScope s(rect(0, 0, 100, 50));
  s.clientChangeEnable(true);
  s.allChange();
  EXPECT_TRUE(s.allChanged());
  EXPECT_TRUE(s.someChanged());
  EXPECT_EQ(s.changeRect(), rect(0, 0, 100, 50));
  EXPECT_EQ(s.clientChangedRect(true), ccUIRect::inf);
  EXPECT_TRUE(s.anyChanged());
  EXPECT_TRUE(s.trackChanges());  // client tracking is on
  s.clientChangeEnable(false);
  EXPECT_FALSE(s.trackChanges());
}

TEST(ScopeChanges, AllChangeOffScreenLeavesTheChangedRectangleNull) {
  ccTraceScope s(rect(0, 0, 100, 50));
  s.offScreen(true);
  s.clientChangeEnable(true);
  s.allChange();
  EXPECT_TRUE(s.allChanged());
  EXPECT_FALSE(s.someChanged());
  EXPECT_EQ(s.changeRect(), ccUIRect::null);
  EXPECT_EQ(s.clientChangedRect(true), ccUIRect::inf);
  EXPECT_TRUE(s.anyChanged());
}

TEST(ScopeChanges, TrackChangesIsFalseOnlyWhenAllChangedWithoutClientTracking) {
  ccTraceScope s(rect(0, 0, 100, 50));
  EXPECT_TRUE(s.trackChanges());
  s.allChanged(true);
  EXPECT_FALSE(s.trackChanges());
  s.clientChangeEnable(true);
  EXPECT_TRUE(s.trackChanges());
  s.allChanged(false);
  EXPECT_TRUE(s.trackChanges());
}

TEST(ScopeChanges, ChangeRectanglesAreShiftedByTheClipOffset) {
  ccTraceScope s(rect(0, 0, 100, 50), nullptr, ccPair<long>(4, 6));
  s.change(rect(1, 2, 3, 4), false);
  EXPECT_EQ(s.changeRect(), rect(5, 8, 3, 4));
  s.clientChangeEnable(true);
  s.change(rect(-3, 0, 2, 2), false);  // outside the scope
  EXPECT_EQ(s.changeRect(), rect(5, 8, 3, 4));
  EXPECT_EQ(s.clientChangedRect(false), rect(1, 6, 2, 2));
  // Reading without keep switched client tracking off.
  EXPECT_FALSE(s.clientChangeEnable());
  s.change(rect(50, 0, 2, 2), false);
  s.clientChangeEnable(true);
  EXPECT_EQ(s.clientChangedRect(true), ccUIRect::null);
  EXPECT_TRUE(s.clientChangeEnable());
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
}

TEST(ScopeChanges, ReadingTheClientRectangleWithoutTrackingIsReported) {
  AssertCounter asserts;
  ccTraceScope s(rect(0, 0, 100, 50));
  s.change(rect(1, 1, 1, 1), false);
  EXPECT_EQ(s.clientChangedRect(true), ccUIRect::null);
  EXPECT_EQ(asserts.reports(), 1);
  EXPECT_EQ(s.clientChangedRect(false), ccUIRect::null);
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_EQ(asserts.files()[1], "dispc/scope");
}

TEST(ScopeChanges, AnyChangedLivesOnTheRoot) {
  ccTraceScope root(rect(0, 0, 100, 100));
  std::unique_ptr<ccTraceScope> sub(root.newSubScope(rect(10, 10, 20, 20), false));
  std::unique_ptr<ccTraceScope> leaf(sub->newSubScope(rect(0, 0, 5, 5), false));
  EXPECT_EQ(leaf->root(), &root);
  EXPECT_FALSE(root.anyChanged());
  leaf->change(rect(0, 0, 1, 1), false);
  EXPECT_TRUE(root.anyChanged());
  EXPECT_TRUE(sub->anyChanged());
  EXPECT_FALSE(root.someChanged());  // only the leaf changed
  sub->clearAnyChanged();
  EXPECT_FALSE(root.anyChanged());
  EXPECT_FALSE(leaf->anyChanged());
  sub->allChange();
  EXPECT_TRUE(root.anyChanged());
  root.clearAnyChanged();
  EXPECT_FALSE(root.anyChanged());
}

// ---- Tree

TEST(ScopeTree, MoveUnderAParentClippedAtTheTopLeft) {
  ccTraceScope parent(rect(0, 0, 100, 100), nullptr, ccPair<long>(5, 3));
  ccTraceScope child(ccUIRect::null, parent.log());
  child.move(parent, rect(2, 10, 20, 20));
  // d = (2 - 5, 10 - 3) = (-3, 7): the child loses 3 columns on the left.
  EXPECT_EQ(child.clipOffset(), ccPair<long>(3, 0));
  EXPECT_EQ(child.parent(), &parent);
  EXPECT_EQ(child.root(), &parent);
  ASSERT_EQ(parent.children().size(), 1u);
  EXPECT_EQ(parent.children().back(), &child);
  const ccTraceCall& attach = parent.last();
  EXPECT_EQ(attach.name, "attach");
  EXPECT_EQ(attach.scope, child.id());
  EXPECT_EQ(attach.integer("parent"), parent.id());
  EXPECT_EQ(attach.rect("rect"), rect(-3, 7, 20, 20));
  // The trace back end shows the visible part.
  EXPECT_EQ(child.scopeBounds(), rect(0, 7, 17, 20));
}

TEST(ScopeTree, MoveWithinTheVisibleAreaHasNoClipOffset) {
  ccTraceScope parent(rect(0, 0, 100, 100), nullptr, ccPair<long>(5, 3));
  ccTraceScope child(ccUIRect::null, parent.log(), ccPair<long>(9, 9));
  child.move(parent, rect(20, 30, 10, 10));
  EXPECT_EQ(child.clipOffset(), ccPair<long>(0, 0));
  EXPECT_EQ(parent.last().rect("rect"), rect(15, 27, 10, 10));
  child.move(parent, rect(0, 0, 10, 10));
  EXPECT_EQ(child.clipOffset(), ccPair<long>(5, 3));
  EXPECT_EQ(parent.last().rect("rect"), rect(-5, -3, 10, 10));
  EXPECT_EQ(parent.children().size(), 1u);  // moved twice, linked once
}

TEST(ScopeTree, SubsetTakesTheLargerOfRectangleAndParentOffset) {
  ccTraceScope parent(rect(0, 0, 100, 100), nullptr, ccPair<long>(5, 3));
  ccTraceScope child(ccUIRect::null, parent.log());
  child.subset(parent, rect(2, 10, 20, 20));
  EXPECT_EQ(child.clipOffset(), ccPair<long>(5, 10));
  EXPECT_EQ(parent.last().rect("rect"), rect(-3, 7, 20, 20));
  child.subset(parent, rect(40, 1, 20, 20));
  EXPECT_EQ(child.clipOffset(), ccPair<long>(40, 3));
}

TEST(ScopeTree, MoveClearsTheChanges) {
  ccTraceScope parent(rect(0, 0, 100, 100));
  ccTraceScope child(rect(0, 0, 30, 30), parent.log());
  child.change(rect(0, 0, 30, 30), true);
  child.move(parent, rect(0, 0, 30, 30));
  EXPECT_FALSE(child.someChanged());
  EXPECT_FALSE(child.allChanged());
  EXPECT_TRUE(child.opaque());
}

TEST(ScopeTree, ReparentingMovesTheLinkAndTheRootOfTheWholeSubtree) {
  ccTraceScope a(rect(0, 0, 100, 100));
  ccTraceScope b(rect(0, 0, 100, 100), a.log());
  std::unique_ptr<ccTraceScope> child(a.newSubScope(rect(0, 0, 50, 50), false));
  std::unique_ptr<ccTraceScope> grand(child->newSubScope(rect(0, 0, 10, 10), false));
  ccTraceScope other(ccUIRect::null, a.log());
  other.move(a, rect(60, 60, 10, 10));
  EXPECT_EQ(grand->root(), &a);
  ASSERT_EQ(a.children().size(), 2u);
  EXPECT_EQ(a.children().front(), child.get());

  child->move(b, rect(5, 5, 50, 50));
  EXPECT_EQ(a.children().size(), 1u);
  EXPECT_EQ(a.children().front(), &other);
  ASSERT_EQ(b.children().size(), 1u);
  EXPECT_EQ(b.children().front(), child.get());
  EXPECT_EQ(child->parent(), &b);
  EXPECT_EQ(child->root(), &b);
  EXPECT_EQ(grand->root(), &b);
  EXPECT_EQ(grand->parent(), child.get());

  grand->change(rect(0, 0, 1, 1), false);
  EXPECT_TRUE(b.anyChanged());
  EXPECT_FALSE(a.anyChanged());
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

TEST(ScopeTree, DestructionUnlinksFromTheParent) {
  ccTraceScope root(rect(0, 0, 100, 100));
  ccTraceScope* first = root.newSubScope(rect(0, 0, 10, 10), false);
  ccTraceScope* second = root.newSubScope(rect(10, 0, 10, 10), false);
  ccTraceScope* third = root.newSubScope(rect(20, 0, 10, 10), false);
  ASSERT_EQ(root.children().size(), 3u);
  delete second;
  ASSERT_EQ(root.children().size(), 2u);
  EXPECT_EQ(root.children().front(), first);
  EXPECT_EQ(root.children().back(), third);
  delete first;
  delete third;
  EXPECT_TRUE(root.children().empty());
}

TEST(ScopeTree, ADestroyedRootIsForgottenByItsSubScopes) {
  auto root = std::make_unique<ccTraceScope>(rect(0, 0, 100, 100));
  std::unique_ptr<ccTraceScope> sub(root->newSubScope(rect(10, 10, 50, 50), false));
  std::unique_ptr<ccTraceScope> grand(sub->newSubScope(rect(0, 0, 20, 20), false));
  root.reset();
  EXPECT_EQ(sub->parent(), nullptr);
  EXPECT_EQ(sub->root(), nullptr);
  EXPECT_EQ(grand->root(), nullptr);
  EXPECT_EQ(grand->parent(), sub.get());
  // Root-level state is no longer reached, and nothing touches the freed root.
  grand->change(rect(0, 0, 5, 5), false);
  EXPECT_TRUE(grand->someChanged());
  EXPECT_FALSE(grand->anyChanged());
  sub->allChange();
  EXPECT_FALSE(sub->anyChanged());
  sub->clearAnyChanged();
  grand.reset();
  EXPECT_TRUE(sub->children().empty());
}

TEST(ScopeTree, DestroyingAMiddleScopeOrphansItsSubScopes) {
  ccTraceScope root(rect(0, 0, 100, 100));
  ccTraceScope* sub = root.newSubScope(rect(10, 10, 50, 50), false);
  std::unique_ptr<ccTraceScope> grand(sub->newSubScope(rect(0, 0, 20, 20), false));
  delete sub;
  EXPECT_TRUE(root.children().empty());
  EXPECT_EQ(grand->parent(), nullptr);
  EXPECT_EQ(grand->root(), nullptr);
  grand->change(rect(0, 0, 5, 5), false);
  EXPECT_FALSE(root.anyChanged());
  // An orphan can be placed again and joins the new tree.
  grand->move(root, rect(0, 0, 20, 20));
  EXPECT_EQ(grand->root(), &root);
  grand->change(rect(0, 0, 5, 5), false);
  EXPECT_TRUE(root.anyChanged());
}

// ---- Display clip

TEST(ScopeDisplayClip, TheStoredRectangleIsPassedToTheNotification) {
  ccTraceScope s(rect(0, 0, 100, 100));
  EXPECT_EQ(s.displayClipRect(), ccUIRect::null);
  s.setDisplayClipRect(rect(1, 2, 30, 40));
  EXPECT_EQ(s.displayClipRect(), rect(1, 2, 30, 40));
  ASSERT_EQ(s.calls().size(), 1u);
  EXPECT_EQ(s.last().name, "displayClipChanged");
  EXPECT_EQ(s.last().rect("rect"), rect(1, 2, 30, 40));
  s.setDisplayClipRect(ccUIRect::null);
  EXPECT_EQ(s.count("displayClipChanged"), 2);
  EXPECT_EQ(s.last().rect("rect"), ccUIRect::null);
}

// ---- Colours

TEST(ScopeNearestColor, TheNearestEntryWins) {
  const std::vector<ccRGB> map = {ccRGB(10, 10, 10), ccRGB(200, 0, 0), ccRGB(0, 200, 0)};
  const ccColor c = ccUIScope::nearestColor(ccColor(190, 10, 0), map);
  EXPECT_TRUE(c.isIndexColor());
  EXPECT_FALSE(c.isRGBColor());
  EXPECT_EQ(c.index(), 1);
  EXPECT_EQ(ccUIScope::nearestColor(ccColor(0, 150, 60), map).index(), 2);
  EXPECT_EQ(ccUIScope::nearestColor(ccColor(60, 60, 60), map).index(), 0);
}

TEST(ScopeNearestColor, EquallyNearEntriesGiveTheLowerIndex) {
  // (0, 0, 0) is 10 away from entries 1 and 2.
  const std::vector<ccRGB> map = {ccRGB(100, 100, 100), ccRGB(0, 0, 10), ccRGB(0, 10, 0)};
  EXPECT_EQ(ccUIScope::nearestColor(ccColor(0, 0, 0), map).index(), 1);
  const std::vector<ccRGB> exact = {ccRGB(5, 5, 5), ccRGB(1, 2, 3), ccRGB(1, 2, 3)};
  EXPECT_EQ(ccUIScope::nearestColor(ccColor(1, 2, 3), exact).index(), 1);
}

TEST(ScopeNearestColor, AnEmptyMapGivesIndexZero) {
  const ccColor c = ccUIScope::nearestColor(ccColor(1, 2, 3), {});
  EXPECT_TRUE(c.isIndexColor());
  EXPECT_EQ(c.index(), 0);
}

TEST(ScopeNearestColor, StoredTriplesCountWhateverTheKind) {
  const std::vector<ccRGB> map = {ccRGB(50, 50, 50), ccRGB(1, 1, 1), ccRGB(250, 0, 0)};
  // An index colour has the triple (0, 0, 0), whatever palette entry it names.
  EXPECT_EQ(ccUIScope::nearestColor(ccColor(static_cast<unsigned char>(200)), map).index(), 1);
  EXPECT_EQ(ccUIScope::nearestColor(ccColor::redColor(), map).index(), 2);
  // White (255, 255, 255) is 355.07 from entry 0 and 360.66 from entry 2.
  EXPECT_EQ(ccUIScope::nearestColor(ccColor::whiteColor(), map).index(), 0);
}

// ---- Zoom forms with integer factors

TEST(ScopeZoomForms, SampleTurnsFactorsIntoAReductionScale) {
  ccTraceScope s(rect(0, 0, 100, 100));
  s.noteChanges(false);
  ccPelBuffer<unsigned char> img(3, 2);
  s.sample(img, ccPoint(4, 5), ccPair<long>(2, 4), true, 7, true);
  ASSERT_EQ(s.calls().size(), 1u);
  const ccTraceCall& c = s.last();
  EXPECT_EQ(c.name, "sampleImage");
  EXPECT_EQ(c.text("pel"), "grey8");
  EXPECT_EQ(c.get<ccPair<double>>("scale"), ccPair<double>(0.5, 0.25));
  EXPECT_EQ(c.point("at"), ccVector<2>(4, 5));
  EXPECT_TRUE(c.flag("pass"));
  EXPECT_EQ(c.integer("passValue"), 7);
  EXPECT_TRUE(c.flag("flag"));

  s.sample(ccPelBuffer<ccPackedRGB32Pel>(1, 1), ccPoint(0, 0), ccPair<long>(3, 1), false,
           0x123456UL);
  EXPECT_EQ(s.last().text("pel"), "rgb32");
  EXPECT_EQ(s.last().get<ccPair<double>>("scale"), ccPair<double>(1.0 / 3, 1.0));
  EXPECT_EQ(s.last().integer("passValue"), 0x123456);
  s.sample(ccPelBuffer<ccPackedRGB16Pel>(1, 1), ccPoint(0, 0), ccPair<long>(1, 2), false,
           static_cast<unsigned short>(9));
  EXPECT_EQ(s.last().text("pel"), "rgb16");
  s.sample(ccPelBuffer<unsigned short>(1, 1), ccPoint(0, 0), ccPair<long>(1, 2), false,
           static_cast<unsigned short>(9));
  EXPECT_EQ(s.last().text("pel"), "grey16");
  EXPECT_EQ(s.count("sampleImage"), 4);
}

TEST(ScopeZoomForms, ExpandPassesTheFactorsAsTheScale) {
  ccTraceScope s(rect(0, 0, 100, 100));
  s.noteChanges(false);
  s.expand(ccPelBuffer<ccPackedRGB32Pel>(2, 2), ccPoint(1, 1), ccPair<long>(3, 2), false,
           0xABCDEFUL, ccUIScope::eBilinearInterpolation);
  const ccTraceCall& c = s.last();
  EXPECT_EQ(c.name, "expandImage");
  EXPECT_EQ(c.text("pel"), "rgb32");
  EXPECT_EQ(c.get<ccPair<double>>("scale"), ccPair<double>(3, 2));
  EXPECT_EQ(c.integer("mode"), 1);
  s.expand(ccPelBuffer<unsigned char>(2, 2), ccPoint(1, 1), ccPair<long>(4, 4), true, 3, false,
           ccUIScope::eNoInterpolation);
  EXPECT_EQ(s.last().text("pel"), "grey8");
  EXPECT_EQ(s.last().integer("mode"), 0);
  EXPECT_FALSE(s.last().flag("flag"));
  EXPECT_EQ(s.last().get<ccPair<double>>("scale"), ccPair<double>(4, 4));
  s.expand(ccPelBuffer<ccPackedRGB16Pel>(1, 1), ccPoint(0, 0), ccPair<long>(2, 2), false,
           static_cast<unsigned short>(1));
  EXPECT_FALSE(s.last().has("mode"));
  s.expand(ccPelBuffer<unsigned short>(1, 1), ccPoint(0, 0), ccPair<long>(2, 2), false,
           static_cast<unsigned short>(1));
  EXPECT_EQ(s.count("expandImage"), 4);
}

TEST(ScopeZoomForms, AFactorBelowOneIsReportedAndDrawsNothing) {
  AssertCounter asserts;
  ccTraceScope s(rect(0, 0, 100, 100));
  ccPelBuffer<unsigned char> img(2, 2);
  s.sample(img, ccPoint(0, 0), ccPair<long>(0, 1), false, 0, false);
  s.expand(img, ccPoint(0, 0), ccPair<long>(2, -1), false, 0, false, ccUIScope::eNoInterpolation);
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_TRUE(s.calls().empty());
}
