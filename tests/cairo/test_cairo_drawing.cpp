// The drawing slots of the Cairo scope: every scene of scenes.h against its golden image
// (antialiasing off, so the comparison is exact: tolerance 0, no differing pixel), and the
// pixels pens of width 0 and of even widths light, which no scene draws.
#include "../scenes.h"
#include "golden.h"

#include <gtest/gtest.h>

namespace {

using scenes::pen;
using scenes::V;

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

// Whole coordinates name the pixels they light: width 0 draws like width 1, width 2 lights the
// row above too; a point of even width w is a w x w square about its pixel, reaching one pel
// further right and down.
TEST_F(CairoShapes, ZeroAndEvenWidthsLightThePixelsTheirCoordinatesName) {
  s.drawLineSeg(ccLineSeg(V(10, 20), V(60, 20)), pen(ccColor::blueColor(), 0));
  EXPECT_EQ(s.changeRect(), ccUIRect(10, 20, 50, 1));
  s.drawLineSeg(ccLineSeg(V(10, 30), V(60, 30)), pen(ccColor::blueColor(), 2));
  s.plotPoint(ccPoint(40, 100), pen(ccColor::redColor(), 4));
  const ccColor white = ccColor::whiteColor(), blue = ccColor::blueColor(),
                red = ccColor::redColor();
  const struct {
    long x, y;
    ccColor color;
  } pixels[] = {{30, 19, white}, {30, 20, blue},   {30, 21, white},  {30, 28, white},
                {30, 29, blue},  {30, 30, blue},   {30, 31, white},  {39, 99, red},
                {42, 102, red},  {38, 100, white}, {43, 100, white}, {40, 98, white}};
  for (const auto& p : pixels) EXPECT_EQ(s.pel(p.x, p.y), opaque(p.color)) << p.x << "," << p.y;
}
