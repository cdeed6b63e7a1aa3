// Pictures drawn through a tablet onto the Cairo raster scope, one per shape family, also on a
// zoomed tablet and through a child tablet, compared with golden images (antialiasing off:
// tolerance 0, no differing pixel; text with its own looser tolerance).
#include "golden.h"

#include <backends/cairo/cairolayers.h>
#include <dispc/tablet.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using V = ccVector<2>;
constexpr ccUITablet::Layers kImage = ccUITablet::eImageLayer;
constexpr ccUITablet::Layers kOverlay = ccUITablet::eOverlayLayer;

// A visible root tablet over a white 200 x 150 raster scope (image layer only).
struct Canvas {
  ccCairoImageScope scope{200, 150};
  ccUITablet tablet{&scope, nullptr};
  Canvas() {
    scope.antialias(false);
    scope.setAll(ccColor::whiteColor());
    tablet.visible(true);
  }
};

ccGraphicProps pen(const ccColor& c, long width = 1, bool fill = false) {
  return ccGraphicProps(c, width, ccGraphicProps::eSolid, fill);
}

TEST(CairoTablet, LinesCrossesArrowsAndAxes) {
  Canvas c;
  ccUITablet& t = c.tablet;
  t.draw(ccLineSeg(V(10, 10), V(90, 40)), pen(ccColor::redColor(), 2), kImage);
  t.draw(ccLine(V(1, 0), V(0, 60)), ccColor::blueColor(), kImage);
  t.draw(ccCross(V(150, 30), ccRadian(ccPi / 4), 12), ccColor::dkGreenColor(), kImage);
  t.arrowHead(ccPoint(V(180, 100)), V(1, 0), 10.0f, pen(ccColor::magentaColor()), kImage);
  t.draw(ccCoordAxes(V(20, 140), V(80, 140), V(20, 80)), ccColor::blackColor(), kImage);
  ccGraphicProps dashed = pen(ccColor::orangeColor(), 1);
  dashed.penStyle(ccGraphicProps::eDash);
  t.draw(ccLineSeg(V(100, 80), V(190, 140)), dashed, kImage);
  EXPECT_TRUE(matchesGolden(c.scope, "tablet_lines"));
}

TEST(CairoTablet, ClosedShapes) {
  Canvas c;
  ccUITablet& t = c.tablet;
  t.draw(ccRect(V(10, 10), V(50, 30)), ccColor::redColor(), kImage);
  t.draw(ccRect(V(70, 10), V(50, 30)), ccColor::blueColor(), kImage, true);
  t.draw(ccCircle(V(160, 30), 20), ccColor::dkGreenColor(), kImage);
  t.draw(ccEllipse(V(40, 80), V(30, 15), ccRadian(0.3)), pen(ccColor::magentaColor(), 1, true),
         kImage);
  t.draw(ccGenRect(V(110, 80), V(25, 15), ccRadian(0.2), V(0.4, 0.4)), ccColor::blackColor(),
         kImage);
  t.draw(ccAffineRectangle(V(150, 60), V(190, 70), V(145, 100)), ccColor::orangeColor(), kImage);
  t.draw(ccAnnulus(V(40, 125), 8, 18), ccColor::blueColor(), kImage);
  t.draw(ccPolygon({{90, 110}, {130, 145}, {70, 145}}, ccPolygon::eFillAlternate),
         ccColor::redColor(), kImage);
  t.draw(ccEllipseAnnulusSection(ccEllipseAnnulus(ccEllipse(V(165, 125), V(30, 20)), 0.5),
                                 ccRadian(0.2), ccRadian(2.5)),
         ccColor::dkGreenColor(), kImage);
  EXPECT_TRUE(matchesGolden(c.scope, "tablet_closed"));
}

TEST(CairoTablet, CurvesPolylinesAndPoints) {
  Canvas c;
  ccUITablet& t = c.tablet;
  t.draw(ccPolyline({{10, 10}, {40, 40}, {70, 15}, {100, 45}}, false), ccColor::redColor(), kImage);
  t.draw(ccBezierCurve(V(10, 140), V(40, 60), V(90, 60), V(120, 140)), pen(ccColor::blueColor(), 2),
         kImage);
  t.draw(ccEllipseArc(ccEllipse(V(160, 40), V(30, 20)), ccRadian(0), ccRadian(3)),
         ccColor::magentaColor(), kImage);
  t.draw(ccPointSet({{150, 100}, {160, 110}, {170, 95}}), ccColor::blackColor(), kImage);
  for (int i = 0; i < 5; ++i)
    t.drawPixel(ccPair<double>(130 + 3 * i, 140), ccColor::redColor(), kImage);
  EXPECT_TRUE(matchesGolden(c.scope, "tablet_curves"));
}

TEST(CairoTablet, ZoomedTabletScalesShapesAndImages) {
  Canvas c;
  ccUITablet& t = c.tablet;
  t.baseMap(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(5, 5)));
  t.scaleExact(ccPair<double>(4.0, 4.0));
  ccPelBuffer<unsigned char> img(6, 4);
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 6; ++x) img.set(x, y, static_cast<unsigned char>(40 * x + 20 * y));
  t.draw(img, ccPoint(V(0, 0)), false, 0, false, kImage);
  t.draw(ccCircle(V(30, 20), 8), ccColor::redColor(), kImage);
  t.draw(ccLineSeg(V(0, 30), V(40, 30)), ccColor::blueColor(), kImage);
  EXPECT_TRUE(matchesGolden(c.scope, "tablet_zoomed"));
}

TEST(CairoTablet, ChildTabletDrawsInsideItsRectangle) {
  Canvas c;
  ccUITablet child(c.tablet, ccUIRect(100, 50, 80, 60));
  child.visible(true);
  child.scaleExact(ccPair<double>(2.0, 2.0));
  c.tablet.draw(ccRect(V(100, 50), V(79, 59)), ccColor::blackColor(), kImage);
  // The circle runs past the child's rectangle and is clipped there.
  child.draw(ccCircle(V(20, 15), 18), ccColor::redColor(), kImage);
  child.draw(ccLineSeg(V(0, 0), V(100, 100)), ccColor::blueColor(), kImage);
  EXPECT_TRUE(matchesGolden(c.scope, "tablet_child"));
  EXPECT_EQ(c.scope.pel(10, 10), opaque(ccColor::whiteColor()));  // nothing outside the child
}

TEST(CairoTablet, TextAndPointIcons) {
  Canvas c;
  ccUITablet& t = c.tablet;
  t.draw(std::string("dispc 42"), ccPoint(V(10, 10)), ccColor::blackColor(), ccColor::whiteColor(),
         ccUIFormat(-1, ccUIFormat::eTopLeft), kImage);
  t.draw(std::string("centre"), ccPoint(V(100, 75)), ccColor::blueColor(), ccColor::whiteColor(),
         ccUIFormat(-1, ccUIFormat::eCenter), kImage);
  t.drawPointIcon(ccPoint(V(40, 120)), ccColor::redColor(), kImage);
  t.drawPointIcon(ccPoint(V(160, 120)), ccColor::dkGreenColor(), kImage);
  EXPECT_TRUE(matchesGolden(c.scope, "tablet_text", 64, 600));
  ccUIRect r;
  t.textRect("centre", ccPoint(V(100, 75)), ccUIFormat(-1, ccUIFormat::eCenter), r, kImage);
  EXPECT_TRUE(inkBox(c.scope, opaque(ccColor::whiteColor())).width() > r.width());
}

TEST(CairoTablet, OverlayIsComposedOverTheImage) {
  ccCairoLayers layers(40, 30);
  layers.antialias(false);
  ccUITablet t(&layers.image(), &layers.overlay());
  t.visible(true);
  t.set(ccColor::blueColor(), kImage);
  t.draw(ccRect(V(5, 5), V(10, 10)), ccColor::redColor(), kOverlay, true);
  const ccPelBuffer<ccPackedRGB32Pel> pels = layers.composed();
  EXPECT_EQ(pels.get(10, 10), opaque(ccColor::redColor()));
  EXPECT_EQ(pels.get(30, 20), opaque(ccColor::blueColor()));
}

}  // namespace
