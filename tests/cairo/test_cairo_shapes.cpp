// The shape slots of the Cairo scope: pixel checks and golden images (antialiasing off, so
// the golden comparisons are exact: tolerance 0, no differing pixel allowed).
#include "golden.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using V = ccVector<2>;

const ccPackedRGB32Pel kWhite = opaque(ccColor::whiteColor());
const ccPackedRGB32Pel kRed = opaque(ccColor::redColor());
const ccPackedRGB32Pel kBlue = opaque(ccColor::blueColor());

ccGraphicProps pen(const ccColor& c, long width,
                   ccGraphicProps::cePenStyle style = ccGraphicProps::eSolid, bool fill = false) {
  return ccGraphicProps(c, width, style, fill);
}

// A white 160 x 120 raster scope without antialiasing.
struct CairoShapes : ::testing::Test {
  CairoShapes() : s(160, 120) {
    s.antialias(false);
    s.setAll(ccColor::whiteColor());
    s.noChange();
  }
  ccCairoImageScope s;
};

}  // namespace

TEST_F(CairoShapes, LineSegmentsLightThePixelsTheirWholeCoordinatesName) {
  s.drawLineSeg(ccLineSeg(V(10, 10), V(60, 10)), pen(ccColor::redColor(), 1));
  EXPECT_EQ(s.pel(30, 10), kRed);
  EXPECT_EQ(s.pel(30, 9), kWhite);
  EXPECT_EQ(s.pel(30, 11), kWhite);
  // Flat caps: the stroke covers half of each end pixel, which lights the first, not the last.
  EXPECT_EQ(s.pel(10, 10), kRed);
  EXPECT_EQ(s.pel(60, 10), kWhite);
  EXPECT_EQ(s.changeRect(), ccUIRect(10, 10, 50, 1));

  s.drawLineSeg(ccLineSeg(V(10, 30), V(60, 30)), pen(ccColor::blueColor(), 5));
  for (long y = 28; y <= 32; ++y) EXPECT_EQ(s.pel(30, y), kBlue) << y;
  EXPECT_EQ(s.pel(30, 27), kWhite);
  EXPECT_EQ(s.pel(30, 33), kWhite);

  ccGraphicProps capped = pen(ccColor::dkGreenColor(), 7);
  capped.penEndCap(ccGraphicProps::eRoundCap);
  s.drawLineSeg(ccLineSeg(V(20, 60), V(140, 100)), capped);
  capped.penEndCap(ccGraphicProps::eSquareCap);
  capped.penColor(ccColor::orangeColor());
  s.drawLineSeg(ccLineSeg(V(20, 100), V(140, 60)), capped);
  s.drawLineSeg(ccLineSeg(V(100, 5), V(150, 45)), pen(ccColor(128, 0, 255), 2));
  EXPECT_TRUE(matchesGolden(s, "segments"));
}

TEST_F(CairoShapes, PolylinesWithJoins) {
  const std::vector<V> zigzag = {V(10, 100), V(30, 20), V(50, 100), V(70, 20)};
  ccGraphicProps p = pen(ccColor::blueColor(), 6);
  s.drawPolyline(ccPolyline(zigzag), p);
  p.penJoin(ccGraphicProps::eRoundJoin);
  p.penColor(ccColor::redColor());
  std::vector<V> shifted;
  for (const V& v : zigzag) shifted.push_back(v + V(80, 0));
  s.drawPolyline(ccPolyline(shifted, true), p);
  EXPECT_EQ(s.pel(10, 100), kBlue);
  EXPECT_TRUE(matchesGolden(s, "polylines"));
}

TEST_F(CairoShapes, PolygonFillModes) {
  // A five-pointed star: its centre is inside by the winding rule, outside by even-odd.
  auto star = [](double cx, double cy) {
    std::vector<V> v;
    for (int i = 0; i < 5; ++i) {
      const double a = -3.14159265358979 / 2 + i * 4 * 3.14159265358979 / 5;
      v.push_back(V(cx + 24 * std::cos(a), cy + 24 * std::sin(a)));
    }
    return v;
  };
  const ccGraphicProps p = pen(ccColor::blueColor(), 1);
  s.drawPolygon(star(30, 40), ccPolygon::eNoFill, p);
  s.drawPolygon(star(80, 40), ccPolygon::eFillAlternate, p);
  s.drawPolygon(star(130, 40), ccPolygon::eFillWinding, p);
  EXPECT_EQ(s.pel(30, 40), kWhite);
  EXPECT_EQ(s.pel(80, 40), kWhite);
  EXPECT_EQ(s.pel(130, 40), kBlue);
  // Outline only with eNull: the fill and nothing else.
  s.drawPolygon({V(20, 80), V(70, 80), V(45, 110)}, ccPolygon::eFillWinding,
                pen(ccColor::redColor(), 3, ccGraphicProps::eNull));
  EXPECT_EQ(s.pel(45, 90), kRed);
  EXPECT_TRUE(matchesGolden(s, "polygons"));
}

TEST_F(CairoShapes, EllipsesAndArcsOfBothForms) {
  s.drawEllipse(ccEllipse(V(30, 30), V(20, 20)), pen(ccColor::redColor(), 1));
  EXPECT_EQ(s.pel(50, 30), kRed);
  EXPECT_EQ(s.pel(30, 30), kWhite);
  s.drawEllipse(ccEllipse(V(80, 30), V(25, 12), ccRadian(0.5)),
                pen(ccColor::blueColor(), 2, ccGraphicProps::eSolid, true));
  EXPECT_EQ(s.pel(80, 30), kBlue);
  // Arc from 0 to 90 degrees: y grows downwards, so it runs from the right to the bottom.
  s.drawEllipseArc(ccEllipseArc(ccEllipse(V(135, 30), V(18, 18)), ccRadian(0), ccRadian(1.5708)),
                   pen(ccColor::dkGreenColor(), 3));
  EXPECT_EQ(s.pel(135, 48), opaque(ccColor::dkGreenColor()));
  EXPECT_EQ(s.pel(135, 12), kWhite);
  s.drawEllipse2(ccEllipse2(V(30, 12), ccRadian(-0.3), V(40, 90), false, ccRadian(1)),
                 pen(ccColor::purpleColor(), 1));
  s.drawEllipseArc2(
      ccEllipseArc2(ccEllipse2(V(25, 20), ccRadian(0), V(115, 90)), ccRadian(0), ccRadian(-4)),
      pen(ccColor::orangeColor(), 4));
  EXPECT_TRUE(matchesGolden(s, "ellipses"));
}

TEST_F(CairoShapes, RoundedGeneralRectangles) {
  s.drawRoundedRect(ccGenRect(V(40, 40), V(30, 25), ccRadian(0), V(0.3, 0.4)),
                    pen(ccColor::redColor(), 2));
  s.drawRoundedRect(ccGenRect(V(115, 40), V(30, 20), ccRadian(0.4), V(0.5, 0.5)),
                    pen(ccColor::blueColor(), 1, ccGraphicProps::eSolid, true));
  s.drawRoundedRect(ccGenRect(V(40, 95), V(25, 15), ccRadian(0), V(0, 0)),
                    pen(ccColor::dkGreenColor(), 1));
  EXPECT_EQ(s.pel(115, 40), kBlue);
  EXPECT_EQ(s.pel(15, 95), opaque(ccColor::dkGreenColor()));  // a sharp side at x = 15
  EXPECT_EQ(s.pel(10, 15), kWhite);                           // the rounded corner is cut
  EXPECT_TRUE(matchesGolden(s, "roundedrects"));
}

TEST_F(CairoShapes, PenStylesWidthsAndPoints) {
  const ccGraphicProps::cePenStyle styles[] = {
      ccGraphicProps::eSolid,   ccGraphicProps::eDash,       ccGraphicProps::eDot,
      ccGraphicProps::eDashDot, ccGraphicProps::eDashDotDot, ccGraphicProps::eNull};
  for (int i = 0; i < 6; ++i) {
    s.drawLineSeg(ccLineSeg(V(10, 10 + 12 * i), V(150, 10 + 12 * i)),
                  pen(ccColor::blackColor(), 1 + i % 3, styles[i]));
  }
  for (long x = 10; x < 150; ++x) EXPECT_EQ(s.pel(x, 70), kWhite) << "eNull drew at " << x;
  long dashes = 0;
  for (long x = 10; x < 150; ++x) dashes += s.pel(x, 22) == opaque(ccColor::blackColor());
  EXPECT_GT(dashes, 60);
  EXPECT_LT(dashes, 130);
  s.plotPoint(ccPoint(20.7, 100.2), pen(ccColor::redColor(), 1));
  s.plotPoint(ccPoint(40, 100), pen(ccColor::redColor(), 5));
  EXPECT_EQ(s.pel(20, 100), kRed);
  EXPECT_EQ(s.pel(21, 100), kWhite);
  EXPECT_EQ(s.pel(38, 98), kRed);
  EXPECT_EQ(s.pel(42, 102), kRed);
  EXPECT_EQ(s.pel(43, 100), kWhite);
  EXPECT_TRUE(matchesGolden(s, "penstyles"));
}

TEST_F(CairoShapes, PenStrokesMoveThePen) {
  s.drawStart(ccPoint(10, 10));
  s.drawTo(ccPoint(50, 10), pen(ccColor::redColor(), 1));
  EXPECT_EQ(s.drawX(), 50);
  s.drawToRel(0, 30, pen(ccColor::blueColor(), 1));
  EXPECT_EQ(s.drawX(), 50);
  EXPECT_EQ(s.drawY(), 40);
  EXPECT_EQ(s.pel(30, 10), kRed);
  EXPECT_EQ(s.pel(50, 25), kBlue);
}

TEST_F(CairoShapes, DegenerateEllipsesDrawAsSegments) {
  s.drawEllipse(ccEllipse(V(80, 60), V(20, 0)), pen(ccColor::redColor(), 1));
  EXPECT_EQ(s.pel(70, 60), kRed);
  EXPECT_EQ(s.pel(80, 59), kWhite);
  EXPECT_EQ(s.pel(80, 61), kWhite);
}

TEST(CairoAntialias, SmoothEdgesHaveIntermediateShades) {
  ccCairoImageScope s(40, 40);
  s.setAll(ccColor::whiteColor());
  s.drawEllipse(ccEllipse(V(20, 20), V(12, 12)), pen(ccColor::blackColor(), 1));
  long partial = 0;
  for (long y = 0; y < 40; ++y) {
    for (long x = 0; x < 40; ++x) {
      const unsigned char r = s.pel(x, y).r();
      partial += r > 0 && r < 255;
    }
  }
  EXPECT_GT(partial, 20);
}
