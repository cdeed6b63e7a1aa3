// The drawing slots of the Cairo scope: every scene of scenes.h against its golden image
// (antialiasing off, so the comparison is exact: tolerance 0, no differing pixel), and pixel
// checks where the conventions fix the pixels.
#include "../scenes.h"
#include "golden.h"

#include <gtest/gtest.h>

namespace {

using scenes::pen;
using scenes::V;

const ccPackedRGB32Pel kWhite = opaque(ccColor::whiteColor());
const ccPackedRGB32Pel kRed = opaque(ccColor::redColor());
const ccPackedRGB32Pel kBlue = opaque(ccColor::blueColor());

// A white 160 x 120 raster scope without antialiasing.
struct CairoShapes : ::testing::Test {
  CairoShapes() : s(160, 120) {
    s.antialias(false);
    s.setAll(ccColor::whiteColor());
    s.noChange();
  }
  ccCairoImageScope s;
};

struct CairoScene : CairoShapes, ::testing::WithParamInterface<scenes::Scene> {};

}  // namespace

TEST_P(CairoScene, MatchesItsGoldenImage) {
  GetParam().draw(s);
  EXPECT_TRUE(matchesGolden(s, GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Scenes, CairoScene, ::testing::ValuesIn(scenes::scenes()),
                         [](const auto& info) { return info.param.name; });

// Whole coordinates name the pixels they light; flat caps cover half of each end pixel, which
// lights the first, not the last; a width of 5 lights 2 rows either side.
TEST_F(CairoShapes, LineSegmentsLightThePixelsTheirWholeCoordinatesName) {
  s.drawLineSeg(ccLineSeg(V(10, 10), V(60, 10)), pen(ccColor::redColor(), 1));
  EXPECT_EQ(s.changeRect(), ccUIRect(10, 10, 50, 1));
  scenes::scene("segments").draw(s);
  EXPECT_EQ(s.pel(30, 10), kRed);
  EXPECT_EQ(s.pel(30, 9), kWhite);
  EXPECT_EQ(s.pel(30, 11), kWhite);
  EXPECT_EQ(s.pel(10, 10), kRed);
  EXPECT_EQ(s.pel(60, 10), kWhite);
  for (long y = 28; y <= 32; ++y) EXPECT_EQ(s.pel(30, y), kBlue) << y;
  EXPECT_EQ(s.pel(30, 27), kWhite);
  EXPECT_EQ(s.pel(30, 33), kWhite);
}

// A star's centre is inside by the winding rule, outside by even-odd; a null pen fills only.
TEST_F(CairoShapes, FillRulesRoundingsAndArcs) {
  scenes::scene("polygons").draw(s);
  EXPECT_EQ(s.pel(30, 40), kWhite);
  EXPECT_EQ(s.pel(80, 40), kWhite);
  EXPECT_EQ(s.pel(130, 40), kBlue);
  EXPECT_EQ(s.pel(45, 90), kRed);
  s.setAll(ccColor::whiteColor());
  scenes::scene("roundedrects").draw(s);
  EXPECT_EQ(s.pel(115, 40), kBlue);
  EXPECT_EQ(s.pel(15, 95), opaque(ccColor::dkGreenColor()));  // a sharp side at x = 15
  EXPECT_EQ(s.pel(10, 15), kWhite);                           // the rounded corner is cut
  s.setAll(ccColor::whiteColor());
  scenes::scene("ellipses").draw(s);
  EXPECT_EQ(s.pel(50, 30), kRed);
  EXPECT_EQ(s.pel(30, 30), kWhite);
  EXPECT_EQ(s.pel(80, 30), kBlue);
  // An arc from 0 to 90 degrees: y grows downwards, so it runs from the right to the bottom.
  EXPECT_EQ(s.pel(135, 48), opaque(ccColor::dkGreenColor()));
  EXPECT_EQ(s.pel(135, 12), kWhite);
  // A degenerate ellipse draws as a segment.
  s.setAll(ccColor::whiteColor());
  s.drawEllipse(ccEllipse(V(80, 60), V(20, 0)), pen(ccColor::redColor(), 1));
  EXPECT_EQ(s.pel(70, 60), kRed);
  EXPECT_EQ(s.pel(80, 59), kWhite);
  EXPECT_EQ(s.pel(80, 61), kWhite);
}

// Dashes light part of a line and a null pen nothing; a point of width w is a w x w square
// about its pixel, reaching one pel further right and down for an even w; width 0 draws like
// width 1.
TEST_F(CairoShapes, PenStylesWidthsAndPoints) {
  scenes::scene("penstyles").draw(s);
  for (long x = 10; x < 150; ++x) EXPECT_EQ(s.pel(x, 70), kWhite) << "eNull drew at " << x;
  long dashes = 0;
  for (long x = 10; x < 150; ++x) dashes += s.pel(x, 22) == opaque(ccColor::blackColor());
  EXPECT_GT(dashes, 60);
  EXPECT_LT(dashes, 130);
  EXPECT_EQ(s.pel(20, 100), kRed);
  EXPECT_EQ(s.pel(21, 100), kWhite);
  EXPECT_EQ(s.pel(38, 98), kRed);
  EXPECT_EQ(s.pel(42, 102), kRed);
  EXPECT_EQ(s.pel(43, 100), kWhite);
  s.setAll(ccColor::whiteColor());
  s.plotPoint(ccPoint(40, 100), pen(ccColor::redColor(), 4));
  EXPECT_EQ(s.pel(39, 99), kRed);
  EXPECT_EQ(s.pel(42, 102), kRed);
  EXPECT_EQ(s.pel(38, 100), kWhite);
  EXPECT_EQ(s.pel(43, 100), kWhite);
  s.drawLineSeg(ccLineSeg(V(10, 20), V(60, 20)), pen(ccColor::blueColor(), 0));
  s.drawLineSeg(ccLineSeg(V(10, 30), V(60, 30)), pen(ccColor::blueColor(), 2));
  EXPECT_EQ(s.pel(30, 20), kBlue);
  EXPECT_EQ(s.pel(30, 19), kWhite);
  EXPECT_EQ(s.pel(30, 21), kWhite);
  EXPECT_EQ(s.pel(30, 29), kBlue);
  EXPECT_EQ(s.pel(30, 30), kBlue);
  EXPECT_EQ(s.pel(30, 31), kWhite);
  // Strokes move the pen.
  s.drawStart(ccPoint(10, 10));
  s.drawTo(ccPoint(50, 10), pen(ccColor::redColor(), 1));
  s.drawToRel(0, 30, pen(ccColor::blueColor(), 1));
  EXPECT_EQ(s.drawX(), 50);
  EXPECT_EQ(s.drawY(), 40);
  EXPECT_EQ(s.pel(50, 25), kBlue);
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
