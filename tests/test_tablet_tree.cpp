// The tablet tree over trace scopes: scopes and ownership, zoom, visibility counting, redraw
// hooks, change reports, updates of overlapping tablets with time stamps, stacking, erasing, and
// kids that outlive their parent.
#include <backends/trace/tracescope.h>
#include <core/assert.h>
#include <dispc/tablet.h>

#include "assertcounter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using L = ccUITablet::Layers;
constexpr L kImage = ccUITablet::eImageLayer;
constexpr L kOverlay = ccUITablet::eOverlayLayer;
constexpr L kBoth = ccUITablet::eBothLayers;

// A tablet that counts its hooks and draws one segment across itself on redraw.
class CountingTablet : public ccUITablet {
 public:
  using ccUITablet::ccUITablet;
  using ccUITablet::scopeOf;
  int redraws = 0, moves = 0, resizes = 0, clips = 0, newParents = 0, mapChanges = 0;
  ccUIScope* lastRedrawScope = nullptr;
  L redrawLayers = kBoth;

 protected:
  void redraw_() override {
    ++redraws;
    lastRedrawScope = scopeOf(kImage);
    redrawLayers = updateLayers();
    draw(ccLineSeg(ccVector<2>(0, 0), ccVector<2>(5, 5)), ccColor::redColor(), kImage);
  }
  void move_() override { ++moves; }
  void resize_() override { ++resizes; }
  void clipped_() override { ++clips; }
  void newParentTablet(ccUITablet*) override { ++newParents; }
  void parentMapChanged() override { ++mapChanges; }
};

struct Tree {
  std::shared_ptr<ccTraceLog> log = std::make_shared<ccTraceLog>();
  ccTraceScope image{ccUIRect(0, 0, 400, 300), log};
  ccTraceScope overlay{ccUIRect(0, 0, 400, 300), log};
  CountingTablet root{&image, &overlay};
  Tree() { root.visible(true); }
};

TEST(TabletTree, KidSurvivesItsParent) {
  auto log = std::make_shared<ccTraceLog>();
  ccTraceScope image(ccUIRect(0, 0, 100, 100), log);
  auto parent = std::make_unique<ccUITablet>(&image, nullptr);
  parent->visible(true);
  ccUITablet kid(*parent, ccUIRect(0, 0, 10, 10));
  ccUITablet grandKid(kid, ccUIRect(0, 0, 5, 5));
  kid.visible(true);
  grandKid.visible(true);
  parent.reset();
  EXPECT_EQ(kid.parent(), nullptr);
  EXPECT_EQ(grandKid.parent(), &kid);
  EXPECT_TRUE(kid.activeScope(kImage).isNull());
  EXPECT_TRUE(grandKid.activeScope(kImage).isNull());
  log->clear();
  kid.recordOn() = true;
  kid.draw(ccLineSeg(ccVector<2>(0, 0), ccVector<2>(1, 1)), ccColor::redColor(), kImage);
  grandKid.draw(ccLineSeg(ccVector<2>(0, 0), ccVector<2>(1, 1)), ccColor::redColor(), kImage);
  EXPECT_EQ(log->count("drawLineSeg"), 0);
  EXPECT_EQ(kid.sketch().length(), 22 + 8 + 32);
  // Re-parenting brings the scopes back.
  ccUITablet newRoot(&image, nullptr);
  kid.setParent(newRoot, ccUIRect(1, 1, 10, 10));
  EXPECT_EQ(kid.activeScope(kImage), ccUIRect(0, 0, 10, 10));
  EXPECT_EQ(grandKid.activeScope(kImage), ccUIRect(0, 0, 5, 5));
  EXPECT_EQ(grandKid.scopeOrg(), ccPair<long>(1, 1));
}

TEST(TabletTree, SetScopeDeletesOwnedScopesAndRebuildsTheChain) {
  auto log = std::make_shared<ccTraceLog>();
  ccUITablet root(nullptr, nullptr);
  root.visible(true);
  ccUITablet kid(root, ccUIRect(5, 5, 20, 20));
  EXPECT_TRUE(kid.activeScope(kImage).isNull());
  auto* first = new ccTraceScope(ccUIRect(0, 0, 100, 100), log);
  kid.setScope(kImage, first, true);  // acts on the root
  EXPECT_EQ(root.activeScope(kImage), ccUIRect(0, 0, 100, 100));
  EXPECT_EQ(kid.activeScope(kImage), ccUIRect(0, 0, 20, 20));
  EXPECT_EQ(root.scopeRect(), ccUIRect(0, 0, 100, 100));
  const long firstId = first->id();
  log->clear();
  root.setScope(kImage, new ccTraceScope(ccUIRect(0, 0, 100, 100), log), true);
  long destroyedFirst = 0;
  for (const ccTraceCall& c : log->calls())
    if (c.name == "destroy" && c.scope == firstId) ++destroyedFirst;
  EXPECT_EQ(destroyedFirst, 1);
  EXPECT_EQ(kid.activeScope(kImage), ccUIRect(0, 0, 20, 20));
  EXPECT_THROW(root.setScope(kBoth, nullptr, false), ccUIError::BadLayer);
  root.setScope(kImage, nullptr, false);
  EXPECT_TRUE(kid.activeScope(kImage).isNull());
}

TEST(TabletTree, SetParentRefusesCycles) {
  Tree t;
  ccUITablet a(t.root, ccUIRect(0, 0, 50, 50));
  ccUITablet b(a, ccUIRect(0, 0, 10, 10));
  AssertCounter asserts;
  a.setParent(b, ccUIRect(0, 0, 5, 5));
  a.setParent(a, ccUIRect(0, 0, 5, 5));
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_EQ(a.parent(), &t.root);
  b.setParent(t.root, ccUIRect(60, 60, 10, 10));
  EXPECT_EQ(b.parent(), &t.root);
  EXPECT_EQ(a.numKids(), 0);
  EXPECT_EQ(t.root.lastKid(), &b);
  EXPECT_FALSE(b.visible());  // still hidden as before: re-parenting keeps the hide count
}

TEST(TabletTree, ScaleModesFollowTheFactors) {
  ccUITablet t;
  t.scaleExact(ccPair<double>(1.0, 2.0));
  EXPECT_EQ(t.scaleMode(), ccUITablet::eNoScale);  // the mode follows x alone
  EXPECT_EQ(t.scaledMap(), ccXform<2>());
  t.scaleExact(ccPair<double>(0.5, 0.5));
  EXPECT_EQ(t.scaleMode(), ccUITablet::eReduce);
  EXPECT_EQ(t.scaledMap().matrix(), ccMatrix<2>(0.5, 0, 0, 0.5));
  t.scale(ccPair<long>(2, 2));
  EXPECT_EQ(t.scaleMode(), ccUITablet::eReduce);
  EXPECT_EQ(t.scaledMap().matrix(), ccMatrix<2>(0.5, 0, 0, 0.5));
  t.scale(ccPair<long>(4, 2));
  EXPECT_EQ(t.scaledMap().matrix(), ccMatrix<2>(0.25, 0, 0, 0.5));
  t.scaleExact(ccPair<double>(0.25, 4.0));
  EXPECT_EQ(t.scale(), ccPair<long>(4, 4));
  t.scaleExact(ccPair<double>(3.0, 2.0));
  EXPECT_EQ(t.scaleMode(), ccUITablet::eMagnify);
  t.baseMap(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), ccVector<2>(1, 2)));
  EXPECT_EQ(t.scaledMap(), ccXform<2>(ccMatrix<2>(3, 0, 0, 2), ccVector<2>(3, 4)));
}

TEST(TabletTree, VisibilityCountsHideRequests) {
  Tree t;
  CountingTablet kid(t.root, ccUIRect(0, 0, 10, 10));
  EXPECT_TRUE(kid.visible(true));
  EXPECT_EQ(kid.redraws, 1);
  EXPECT_TRUE(kid.visible(false));
  EXPECT_FALSE(kid.visible(false));
  EXPECT_FALSE(kid.visible(true));
  EXPECT_FALSE(kid.visible());
  EXPECT_EQ(kid.redraws, 1);
  EXPECT_TRUE(kid.visible(true));
  EXPECT_EQ(kid.redraws, 2);  // only the last show redraws
  EXPECT_FALSE(kid.visible(true));
  EXPECT_TRUE(kid.visible());  // showing a visible tablet keeps it visible
  EXPECT_TRUE(kid.visible(false));
}

TEST(TabletTree, RedrawRunsTheHookWithoutRecording) {
  Tree t;
  t.root.recordOn() = true;
  t.root.sketch().erase();
  const int before = t.root.redraws;
  t.root.redraw(kOverlay);
  EXPECT_EQ(t.root.redraws, before + 1);
  EXPECT_TRUE(t.root.sketch().isNull());     // draws of redraw_ are not recorded
  EXPECT_EQ(t.root.redrawLayers, kOverlay);  // the hook sees the layer it serves
  EXPECT_EQ(t.root.updateLayers(), kBoth);   // and the field is restored
  t.root.visible(false);
  t.root.redraw(kBoth);
  EXPECT_EQ(t.root.redraws, before + 1);  // hidden: no hook
  t.root.visible(true);
  t.root.drawOn() = false;
  t.root.redraw(kBoth);
  EXPECT_EQ(t.root.redraws, before + 2);  // shown again; drawing off: no hook
}

TEST(TabletTree, ChangesAreReportedToClients) {
  ccUITablet none;
  ccUIRect rects[2] = {ccUIRect(1, 1, 1, 1), ccUIRect(1, 1, 1, 1)};
  none.getChanges(rects, false);
  EXPECT_TRUE(rects[0].isNull());
  EXPECT_TRUE(rects[1].isNull());

  Tree t;
  EXPECT_FALSE(t.root.recordChanges());
  t.root.recordChanges(true);
  EXPECT_TRUE(t.root.recordChanges());
  t.root.draw(ccLineSeg(ccVector<2>(10, 10), ccVector<2>(20, 30)), ccColor::redColor(), kOverlay);
  t.root.getChanges(rects, true);
  EXPECT_TRUE(rects[0].isNull());
  EXPECT_EQ(rects[1], ccUIRect(10, 10, 11, 21));
  t.root.getChanges(rects, false);
  EXPECT_FALSE(t.root.recordChanges());

  // A child's changes are in root pixels, whatever the parent cuts off at its top left.
  for (const ccPair<long>& corner : {ccPair<long>(50, 60), ccPair<long>(-5, -7)}) {
    ccUITablet kid(t.root, ccUIRect(corner, ccPair<long>(100, 100)));
    kid.visible(true);
    kid.recordChanges(true);
    kid.draw(ccLineSeg(ccVector<2>(12, 13), ccVector<2>(22, 23)), ccColor::redColor(), kImage);
    kid.getChanges(rects, false);
    EXPECT_EQ(rects[0], ccUIRect(corner.first + 12, corner.second + 13, 11, 11));
    EXPECT_TRUE(rects[1].isNull());
  }
}

TEST(TabletTree, UpdateRedrawsTabletsAboveThatWereDrawnBeforeTheChange) {
  Tree t;
  CountingTablet below(t.root, ccUIRect(0, 0, 100, 100));
  CountingTablet above(t.root, ccUIRect(50, 50, 100, 100));
  below.visible(true);
  above.visible(true);
  t.log->clear();
  const int aboveBefore = above.redraws;
  below.draw(ccLineSeg(ccVector<2>(40, 40), ccVector<2>(90, 90)), ccColor::redColor(), kImage);
  t.root.update(kImage);
  EXPECT_EQ(above.redraws, aboveBefore + 1);  // the overlap is drawn again on top
  // It was drawn into a temporary sub-scope of its own scope.
  EXPECT_NE(above.lastRedrawScope, nullptr);
  bool temporary = false;
  for (const ccTraceCall& c : t.log->calls())
    if (c.name == "newSubScope" && c.flag("temporary")) temporary = true;
  EXPECT_TRUE(temporary);

  // A tablet redrawn after the change is not drawn again.
  below.draw(ccLineSeg(ccVector<2>(40, 40), ccVector<2>(90, 90)), ccColor::redColor(), kImage);
  above.redraw(kImage);
  const int afterRedraw = above.redraws;
  t.root.update(kImage);
  EXPECT_EQ(above.redraws, afterRedraw);
  EXPECT_THROW(t.root.update(static_cast<L>(3)), ccUIError::BadLayer);
}

TEST(TabletTree, FrontAndBackRestack) {
  Tree t;
  CountingTablet a(t.root, ccUIRect(0, 0, 100, 100));
  CountingTablet b(t.root, ccUIRect(50, 50, 100, 100));
  CountingTablet c(t.root, ccUIRect(300, 200, 10, 10));
  a.visible(true);
  b.visible(true);
  c.visible(true);
  c.front();  // already on top
  EXPECT_EQ(t.root.lastKid(), &c);
  const int before = a.redraws;
  a.front();
  EXPECT_EQ(t.root.lastKid(), &a);
  EXPECT_EQ(a.prevSib(), &c);
  // The overlap with b is drawn again on each layer; c does not overlap.
  EXPECT_EQ(a.redraws, before + 2);
  // Sent back, a tablet draws nothing at once, but its scopes (made third) are wholly changed.
  for (ccTraceScope* root : {&t.image, &t.overlay})
    for (ccUIScope* s : root->children()) s->noChange();
  const int cBefore = c.redraws;
  c.back();
  EXPECT_EQ(t.root.firstKid(), &c);
  EXPECT_EQ(c.redraws, cBefore);
  for (ccTraceScope* root : {&t.image, &t.overlay}) {
    EXPECT_TRUE(root->children().back()->allChanged());
    EXPECT_FALSE(root->children().front()->allChanged());
  }
}

TEST(TabletTree, EraseHandsTheAreaToTheOpaqueAncestorAndEmptiesTheRecording) {
  Tree t;
  t.root.opaque(kImage, true);
  CountingTablet kid(t.root, ccUIRect(10, 10, 50, 50));
  kid.visible(true);
  kid.modified(kImage, true);
  EXPECT_TRUE(t.root.modified(kImage));  // through the kid
  const int rootBefore = t.root.redraws;
  kid.erase(kImage);
  EXPECT_EQ(t.root.redraws, rootBefore + 1);
  EXPECT_FALSE(kid.modified(kImage));
  EXPECT_TRUE(kid.visible());  // the hide during the erase is undone
  // A part only: the mark stays.
  kid.modified(kImage, true);
  kid.erase(ccUIRect(0, 0, 5, 5), kImage);
  EXPECT_TRUE(kid.modified(kImage));
  // While recording, erasing empties the sketch.
  t.root.recordOn() = true;
  t.root.draw(ccLineSeg(ccVector<2>(0, 0), ccVector<2>(1, 1)), ccColor::redColor(), kImage);
  EXPECT_FALSE(t.root.sketch().isNull());
  t.root.erase(kBoth);
  EXPECT_TRUE(t.root.sketch().isNull());
}

// A copy takes the settings, map, flags and sketch but no scopes and no place in the tree (an
// assignment keeps both); the geometry setters go through the rectangle; tabletCoords inverts
// the map; the layer's scope controls reach its active scope unless it is off screen.
TEST(TabletTree, CopiesGeometryAndScopeControls) {
  Tree t;
  t.root.recordOn() = true;
  t.root.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 4), ccVector<2>(3, 5)));
  t.root.scaleExact(ccPair<double>(3, 3));
  t.root.dragDel(ccPair<long>(7, -1));
  EXPECT_EQ(t.root.scaledMap(), ccXform<2>(ccMatrix<2>(6, 0, 0, 12), ccVector<2>(16, 14)));
  t.root.scaleMode(ccUITablet::eNoScale);
  EXPECT_EQ(t.root.scaledMap(), t.root.baseMap());
  EXPECT_EQ(t.root.dragDel(), ccPair<long>(0, 0));
  t.root.dragDel(ccPair<long>(7, -1));
  const ccPair<long> pixel(41, 23);
  EXPECT_EQ(t.root.tabletCoords(pixel), ccPoint(15.5, 4.75));
  t.root.draw(ccLineSeg(ccVector<2>(0, 0), ccVector<2>(5, 5)), ccColor::redColor(), kImage);
  const ccUITablet copy(t.root);
  EXPECT_EQ(copy.scaledMap(), t.root.scaledMap());
  EXPECT_EQ(copy.dragDel(), t.root.dragDel());
  EXPECT_EQ(copy.sketch().length(), t.root.sketch().length());
  EXPECT_TRUE(copy.recordOn());
  EXPECT_TRUE(copy.activeScope(kImage).isNull());
  CountingTablet kid(t.root, ccUIRect(10, 10, 50, 50)), next(t.root, ccUIRect(0, 0, 5, 5));
  ccUITablet& base = kid;
  base = base;
  base = copy;
  EXPECT_EQ(kid.scaledMap(), t.root.scaledMap());
  EXPECT_EQ(kid.sketch().length(), t.root.sketch().length());
  EXPECT_EQ(kid.parent(), &t.root);
  EXPECT_EQ(kid.activeScope(kImage), ccUIRect(0, 0, 50, 50));
  EXPECT_EQ(kid.nextSib(), &next);
  EXPECT_EQ(next.nextSib(), nullptr);
  EXPECT_EQ(copy.nextSib(), nullptr);
  kid.moveRel(ccPair<long>(5, 6));
  EXPECT_EQ(kid.scopeRect(), ccUIRect(15, 16, 50, 50));
  EXPECT_EQ(kid.moves, 1);
  kid.moveAbs(ccPair<long>(1, 2)).size(ccPair<long>(20, 30));
  EXPECT_EQ(kid.scopeRect(), ccUIRect(1, 2, 20, 30));
  EXPECT_EQ(kid.resizes, 1);

  EXPECT_FALSE(t.root.opaque(kImage));
  t.root.opaque(kImage, true);
  EXPECT_TRUE(t.root.opaque(kImage) && !t.root.opaque(kOverlay));
  EXPECT_TRUE(t.root.anyChanged(kImage));
  t.root.clearAnyChanged(kImage);
  EXPECT_FALSE(t.root.anyChanged(kImage));
  EXPECT_FALSE(copy.opaque(kImage) || copy.anyChanged(kImage));
  t.root.lockScreenUpdatesPush(true, kOverlay);
  EXPECT_TRUE(t.root.screenUpdatesLocked(kOverlay) && !t.root.screenUpdatesLocked(kImage));
  t.root.lockScreenUpdatesPop(kOverlay);
  const int redraws = t.root.redraws;
  t.root.update(ccUIRect(0, 0, 10, 10), kBoth, true);
  EXPECT_EQ(t.root.redraws, redraws + 2);
  for (bool off : {false, true}) {
    t.overlay.offScreen(off);
    t.log->clear();
    t.root.dragStart(kOverlay);
    t.root.dragAnimate(true, kOverlay);
    t.root.dragErase(kOverlay);
    t.root.dragStop(kOverlay);
    EXPECT_EQ(t.log->str(),
              off ? "" : "#1 dragStart\n#1 dragAnimate on=true\n#1 dragErase\n#1 dragStop\n");
  }
}

}  // namespace
