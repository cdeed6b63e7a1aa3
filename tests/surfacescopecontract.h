// What every back end's image scope does through the surface-scope layer they share: sub-scopes
// and display clips translate and clip, screen-update locks nest and run the output hook when
// the last one pops, a drag's erase restores the pixels of its start, the palette, stock
// colours and the pass colour, and nothing drawn off screen or outside. A back end's tests
// instantiate it with its image scope (pel(x, y) gives alpha in the top byte):
//   INSTANTIATE_TYPED_TEST_SUITE_P(Cairo, SurfaceScopeContract, ccCairoImageScope);
#pragma once

#include "imagecompare.h"

#include <dispc/errors.h>
#include <dispc/surfacescope.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

template <class T>
std::unique_ptr<T> owned(T* p) {
  return std::unique_ptr<T>(p);
}

// Whether a back end's change rectangles are exactly the pixels drawn (a back end whose are
// sets this true before instantiating the contract).
template <class Scope>
constexpr bool kExactChanges = false;

template <class Scope>
struct SurfaceScopeContract : ::testing::Test {
  // A white 100 x 80 scope without antialiasing.
  SurfaceScopeContract() : s(100, 80) {
    s.antialias(false);
    s.setAll(ccColor::whiteColor());
    s.noChange();
  }
  // Row y of s is red from pel first to pel last and white just outside.
  void expectRedRun(long y, long first, long last) const {
    EXPECT_EQ(s.pel(first - 1, y), white) << "row " << y;
    EXPECT_EQ(s.pel(first, y), red) << "row " << y;
    EXPECT_EQ(s.pel(last, y), red) << "row " << y;
    EXPECT_EQ(s.pel(last + 1, y), white) << "row " << y;
  }
  std::vector<ccPackedRGB32Pel> allPels() const {
    std::vector<ccPackedRGB32Pel> out;
    for (long y = 0; y < 80; ++y)
      for (long x = 0; x < 100; ++x) out.push_back(s.pel(x, y));
    return out;
  }
  Scope s;
  const ccPackedRGB32Pel white = opaque(ccColor::whiteColor()), red = opaque(ccColor::redColor());
  const ccGraphicProps redPen{ccColor::redColor(), 1};
};

TYPED_TEST_SUITE_P(SurfaceScopeContract);

TYPED_TEST_P(SurfaceScopeContract, SubScopesTranslateAndClip) {
  using V = ccVector<2>;
  auto& s = this->s;
  const auto sub = owned(s.newSubScope(ccUIRect(20, 10, 30, 20), false));
  EXPECT_EQ(sub->scopeBounds(), ccUIRect(20, 10, 30, 20));
  EXPECT_EQ(sub->surfaceOrigin(), ccPair<long>(20, 10));
  // Tablet pixel (5, 5) of the sub-tablet is surface pixel (25, 15); a line across everything
  // stays inside the sub-scope.
  sub->plotPoint(ccPoint(5, 5), this->redPen);
  EXPECT_EQ(s.pel(25, 15), this->red);
  sub->drawLineSeg(ccLineSeg(V(-50, 8), V(200, 8)), this->redPen);
  this->expectRedRun(18, 20, 49);
  EXPECT_TRUE(!kExactChanges<TypeParam> || sub->changeRect() == ccUIRect(0, 5, 30, 4));
  // A sub-scope hanging off the top-left: its visible area starts at the surface corner.
  const auto off = owned(s.newSubScope(ccUIRect(-10, -5, 30, 20), false));
  EXPECT_EQ(off->clipOffset(), ccPair<long>(10, 5));
  EXPECT_EQ(off->scopeBounds(), ccUIRect(0, 0, 20, 15));
  off->plotPoint(ccPoint(12, 7), this->redPen);  // tablet pixel (12, 7) -> surface (2, 2)
  EXPECT_EQ(s.pel(2, 2), this->red);
  off->setAll(ccColor::blueColor());
  EXPECT_EQ(s.pel(19, 14), opaque(ccColor::blueColor()));
  EXPECT_EQ(s.pel(20, 14), this->white);
  EXPECT_TRUE(off->opaque());
}

TYPED_TEST_P(SurfaceScopeContract, DisplayClipsLimitDrawing) {
  using V = ccVector<2>;
  auto& s = this->s;
  s.setDisplayClipRect(ccUIRect(10, 10, 20, 10));
  s.drawLineSeg(ccLineSeg(V(0, 15), V(99, 15)), this->redPen);
  this->expectRedRun(15, 10, 29);
  EXPECT_TRUE(!kExactChanges<TypeParam> || s.changeRect() == ccUIRect(10, 15, 20, 1));
  s.setDisplayClipRect(ccUIRect::null);
  s.drawLineSeg(ccLineSeg(V(0, 16), V(99, 16)), this->redPen);
  EXPECT_EQ(s.pel(0, 16), this->red);
  // A sub-scope's display clip is in its own pixels, and scopes inside it draw only within it
  // and within the sub-scope.
  const auto sub = owned(s.newSubScope(ccUIRect(20, 30, 30, 20), false));
  sub->setDisplayClipRect(ccUIRect(5, 5, 10, 10));
  sub->drawLineSeg(ccLineSeg(V(0, 8), V(29, 8)), this->redPen);
  this->expectRedRun(38, 25, 34);
  const auto whole = owned(sub->newSubScope(ccUIRect(0, 0, 30, 20), false));
  whole->drawLineSeg(ccLineSeg(V(0, 12), V(29, 12)), this->redPen);
  this->expectRedRun(42, 25, 34);
  sub->setDisplayClipRect(ccUIRect::null);
  const auto inner = owned(sub->newSubScope(ccUIRect(20, 0, 30, 10), false));
  inner->drawLineSeg(ccLineSeg(V(0, 2), V(29, 2)), this->redPen);
  EXPECT_EQ(s.pel(49, 32), this->red);
  EXPECT_EQ(s.pel(50, 32), this->white);
}

TYPED_TEST_P(SurfaceScopeContract, TheOutputHookRunsWhenTheLastLockPops) {
  auto& s = this->s;
  int outputs = 0;
  s.outputHook([&](auto&) { ++outputs; });
  s.updateScreen();
  EXPECT_EQ(outputs, 1);
  s.lockScreenUpdatesPush(true);
  s.lockScreenUpdatesPush(false);
  s.lockScreenUpdatesPush(true);
  EXPECT_TRUE(s.screenUpdatesLocked());
  s.updateScreen();
  EXPECT_TRUE(s.lockScreenUpdatesPop());
  EXPECT_TRUE(s.lockScreenUpdatesPop());
  EXPECT_EQ(outputs, 1);
  EXPECT_FALSE(s.lockScreenUpdatesPop());
  EXPECT_EQ(outputs, 2);
  // Sub-scopes share the screen and its locks.
  const auto sub = owned(s.newSubScope(ccUIRect(0, 0, 5, 5), false));
  sub->lockScreenUpdatesPush(true);
  EXPECT_TRUE(s.screenUpdatesLocked());
  sub->lockScreenUpdatesPop();
  EXPECT_EQ(outputs, 3);
}

// Shapes drawn and erased again and again during a drag; the last erase leaves every pixel as
// it was at the drag's start.
TYPED_TEST_P(SurfaceScopeContract, DragEraseRestoresThePixelsOfDragStart) {
  using V = ccVector<2>;
  auto& s = this->s;
  s.drawLineSeg(ccLineSeg(V(0, 40), V(99, 40)), ccGraphicProps(ccColor::blueColor(), 1));
  const std::vector<ccPackedRGB32Pel> before = this->allPels();
  s.dragStart();
  EXPECT_TRUE(s.dragging());
  for (int i = 0; i < 3; ++i) {
    s.dragErase();
    s.drawPolygon({V(10 + i, 10), V(60 + i, 10), V(60 + i, 60), V(10 + i, 60)}, ccPolygon::eNoFill,
                  this->redPen);
  }
  EXPECT_EQ(s.pel(12, 30), this->red);
  s.dragErase();
  EXPECT_TRUE(this->allPels() == before);
  s.dragStop();
  EXPECT_FALSE(s.dragging());
}

// Index colours 0 to 9 are the stock colours until a colour map replaces them, others the grey
// of their index; the pass colour draws grey 243 until passErases is on, then it clears.
TYPED_TEST_P(SurfaceScopeContract, PaletteStockColoursAndThePassColour) {
  auto& s = this->s;
  EXPECT_EQ(s.rgbOf(ccColor(250)), ccColor::greenColor().rgbStruct());
  EXPECT_EQ(s.rgbOf(ccColor(100)), ccRGB(100, 100, 100));
  s.plotPoint(ccPoint(5, 6), ccGraphicProps(ccColor::orangeColor(), 1));
  EXPECT_EQ(s.pel(5, 6), opaque(ccColor::orangeColor()));
  s.colorMap({ccRGB(1, 2, 3), ccRGB(4, 5, 6)});
  EXPECT_EQ(s.rgbOf(ccColor(1)), ccRGB(4, 5, 6));
  s.plotPoint(ccPoint(5, 7), ccGraphicProps(ccColor(0), 1));
  EXPECT_EQ(s.pel(5, 7), ccPackedRGB32Pel(1, 2, 3, 255));
  s.resetPalette();
  EXPECT_EQ(s.rgbOf(ccColor(1)), ccColor::dkRedColor().rgbStruct());
  EXPECT_EQ(s.palette(17), ccRGB(17, 17, 17));
  s.setRect(ccUIRect(5, 5, 2, 2), ccColor(7));
  EXPECT_EQ(s.pel(6, 6), opaque(ccColor::ltGreyColor()));
  s.plotPoint(ccPoint(10, 10), ccGraphicProps(ccColor::passColor(), 1));
  EXPECT_EQ(s.pel(10, 10), ccPackedRGB32Pel(243, 243, 243, 255));
  s.passErases(true);
  s.plotPoint(ccPoint(10, 10), ccGraphicProps(ccColor::passColor(), 1));
  s.setRect(ccUIRect(0, 0, 4, 4), ccColor::passColor());
  s.plotPoint(ccPoint(20, 20), ccGraphicProps(ccColor::passColor(), 3));
  for (const ccPair<long>& p : {ccPair<long>(10, 10), {3, 3}, {21, 21}})
    EXPECT_EQ(s.pel(p.first, p.second), ccPackedRGB32Pel(0)) << p.first << "," << p.second;
  EXPECT_THROW(s.grey16Shift(16), ccUIError::BadParams);
}

TYPED_TEST_P(SurfaceScopeContract, NothingIsDrawnOffScreenOrOutside) {
  using V = ccVector<2>;
  auto& s = this->s;
  s.offScreen(true);
  EXPECT_TRUE(s.offScreen());
  s.setAll(ccColor::redColor());
  s.drawLineSeg(ccLineSeg(V(0, 5), V(99, 5)), this->redPen);
  s.drawText("x", ccPoint(5, 5), ccColor::redColor(), ccColor::whiteColor(), ccUIFormat());
  EXPECT_EQ(s.pel(5, 5), this->white);
  EXPECT_FALSE(s.someChanged());
  s.offScreen(false);
  s.drawLineSeg(ccLineSeg(V(130, 5), V(140, 5)), this->redPen);
  EXPECT_FALSE(s.someChanged());
}

REGISTER_TYPED_TEST_SUITE_P(SurfaceScopeContract, SubScopesTranslateAndClip,
                            DisplayClipsLimitDrawing, TheOutputHookRunsWhenTheLastLockPops,
                            DragEraseRestoresThePixelsOfDragStart,
                            PaletteStockColoursAndThePassColour, NothingIsDrawnOffScreenOrOutside);
