// The scope side of the Cairo back end: sub-scopes, display clips, drags, off-screen scopes and
// the layer pair.
#include "golden.h"

#include <backends/cairo/cairolayers.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using V = ccVector<2>;

const ccPackedRGB32Pel kWhite = opaque(ccColor::whiteColor());
const ccPackedRGB32Pel kRed = opaque(ccColor::redColor());
const ccGraphicProps kRedPen(ccColor::redColor(), 1);

ccCairoImageScope* whiteScope(long w, long h) {
  auto* s = new ccCairoImageScope(w, h);
  s->antialias(false);
  s->setAll(ccColor::whiteColor());
  s->noChange();
  return s;
}

}  // namespace

TEST(CairoScopes, SubScopesTranslateAndClip) {
  std::unique_ptr<ccCairoImageScope> root(whiteScope(100, 80));
  std::unique_ptr<ccCairoScope> sub(root->newSubScope(ccUIRect(20, 10, 30, 20), false));
  EXPECT_EQ(sub->scopeBounds(), ccUIRect(20, 10, 30, 20));
  EXPECT_EQ(sub->surfaceOrigin(), ccPair<long>(20, 10));
  // Tablet pixel (5, 5) of the sub-tablet is surface pixel (25, 15).
  sub->plotPoint(ccPoint(5, 5), kRedPen);
  EXPECT_EQ(root->pel(25, 15), kRed);
  // A line across everything stays inside the sub-scope.
  sub->drawLineSeg(ccLineSeg(V(-50, 8), V(200, 8)), kRedPen);
  EXPECT_EQ(root->pel(20, 18), kRed);
  EXPECT_EQ(root->pel(49, 18), kRed);
  EXPECT_EQ(root->pel(19, 18), kWhite);
  EXPECT_EQ(root->pel(50, 18), kWhite);
  EXPECT_EQ(sub->changeRect(), ccUIRect(0, 5, 30, 4));

  // A sub-scope hanging off the top-left: its visible area starts at the surface corner.
  std::unique_ptr<ccCairoScope> off(root->newSubScope(ccUIRect(-10, -5, 30, 20), false));
  EXPECT_EQ(off->clipOffset(), ccPair<long>(10, 5));
  EXPECT_EQ(off->scopeBounds(), ccUIRect(0, 0, 20, 15));
  off->plotPoint(ccPoint(12, 7), kRedPen);  // tablet pixel (12, 7) -> surface (2, 2)
  EXPECT_EQ(root->pel(2, 2), kRed);
  off->setAll(ccColor::blueColor());
  EXPECT_EQ(root->pel(19, 14), opaque(ccColor::blueColor()));
  EXPECT_EQ(root->pel(20, 14), kWhite);
  EXPECT_TRUE(off->opaque());
}

TEST(CairoScopes, DisplayClipLimitsDrawing) {
  std::unique_ptr<ccCairoImageScope> s(whiteScope(60, 40));
  s->setDisplayClipRect(ccUIRect(10, 10, 20, 10));
  s->drawLineSeg(ccLineSeg(V(0, 15), V(59, 15)), kRedPen);
  EXPECT_EQ(s->pel(9, 15), kWhite);
  EXPECT_EQ(s->pel(10, 15), kRed);
  EXPECT_EQ(s->pel(29, 15), kRed);
  EXPECT_EQ(s->pel(30, 15), kWhite);
  EXPECT_EQ(s->changeRect(), ccUIRect(10, 15, 20, 1));
  s->setDisplayClipRect(ccUIRect::null);
  s->drawLineSeg(ccLineSeg(V(0, 16), V(59, 16)), kRedPen);
  EXPECT_EQ(s->pel(0, 16), kRed);

  // A sub-scope's display clip is in its own pixels, and scopes inside it draw only within it
  // and within the sub-scope.
  std::unique_ptr<ccCairoImageScope> root(whiteScope(60, 40));
  std::unique_ptr<ccCairoScope> sub(root->newSubScope(ccUIRect(20, 10, 30, 20), false));
  sub->setDisplayClipRect(ccUIRect(5, 5, 10, 10));
  sub->drawLineSeg(ccLineSeg(V(0, 8), V(29, 8)), kRedPen);
  EXPECT_EQ(root->pel(24, 18), kWhite);
  EXPECT_EQ(root->pel(25, 18), kRed);
  EXPECT_EQ(root->pel(34, 18), kRed);
  EXPECT_EQ(root->pel(35, 18), kWhite);
  std::unique_ptr<ccCairoScope> whole(sub->newSubScope(ccUIRect(0, 0, 30, 20), false));
  whole->drawLineSeg(ccLineSeg(V(0, 12), V(29, 12)), kRedPen);
  EXPECT_EQ(root->pel(24, 22), kWhite);
  EXPECT_EQ(root->pel(25, 22), kRed);
  EXPECT_EQ(root->pel(34, 22), kRed);
  EXPECT_EQ(root->pel(35, 22), kWhite);
  sub->setDisplayClipRect(ccUIRect::null);
  std::unique_ptr<ccCairoScope> inner(sub->newSubScope(ccUIRect(20, 0, 30, 10), false));
  inner->drawLineSeg(ccLineSeg(V(0, 2), V(29, 2)), kRedPen);
  EXPECT_EQ(root->pel(49, 12), kRed);
  EXPECT_EQ(root->pel(50, 12), kWhite);
}

TEST(CairoScopes, DragEraseRestoresThePixelsOfDragStart) {
  std::unique_ptr<ccCairoImageScope> s(whiteScope(40, 40));
  s->drawLineSeg(ccLineSeg(V(0, 5), V(39, 5)), kRedPen);
  s->dragStart();
  EXPECT_TRUE(s->dragging());
  s->drawLineSeg(ccLineSeg(V(0, 20), V(39, 20)), kRedPen);
  EXPECT_EQ(s->pel(10, 20), kRed);
  s->dragErase();
  EXPECT_EQ(s->pel(10, 20), kWhite);
  EXPECT_EQ(s->pel(10, 5), kRed);
  s->dragStop();
  EXPECT_FALSE(s->dragging());
}

TEST(CairoScopes, NothingIsDrawnOffScreenOrOutside) {
  std::unique_ptr<ccCairoImageScope> s(whiteScope(20, 20));
  s->offScreen(true);
  EXPECT_TRUE(s->offScreen());
  s->drawLineSeg(ccLineSeg(V(0, 5), V(19, 5)), kRedPen);
  EXPECT_EQ(s->pel(5, 5), kWhite);
  EXPECT_FALSE(s->someChanged());
  s->offScreen(false);
  s->drawLineSeg(ccLineSeg(V(30, 5), V(40, 5)), kRedPen);
  EXPECT_FALSE(s->someChanged());
}

TEST(CairoLayers, OverlayComposesOverTheImage) {
  ccCairoLayers layers(64, 48);
  layers.antialias(false);
  EXPECT_EQ(&layers.scope(0), &layers.image());
  EXPECT_THROW(layers.scope(2), ccUIError::BadLayer);
  ccPelBuffer<unsigned char> img(64, 48);
  cfPelSet(img, 90);
  layers.image().drawImage(img, ccPoint(0, 0), false, 0, false);
  layers.overlay().drawLineSeg(ccLineSeg(V(0, 10), V(63, 10)), kRedPen);
  layers.overlay().setRect(ccUIRect(0, 30, 64, 10), ccColor::greenColor());
  layers.overlay().setRect(ccUIRect(0, 30, 10, 10), ccColor::passColor());  // clears
  const ccPelBuffer<ccPackedRGB32Pel> out = layers.composed();
  EXPECT_EQ(out.get(5, 5), ccPackedRGB32Pel(90, 90, 90, 255));
  EXPECT_EQ(out.get(5, 10), kRed);
  EXPECT_EQ(out.get(20, 35), opaque(ccColor::greenColor()));
  EXPECT_EQ(out.get(5, 35), ccPackedRGB32Pel(90, 90, 90, 255));
  const std::string png = outputPath("layers.png");
  layers.writePng(png);
  EXPECT_EQ(cfCairoReadPngRGB32(png).get(5, 10), ccPackedRGB32Pel(255, 0, 0));
}
