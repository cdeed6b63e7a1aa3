// Paths reaching far beyond the scope. Cairo holds path coordinates in 24.8 fixed point, good
// to 2^23 pixels, and antialiases edges reaching 2^18 pixels up or left wrongly: such paths are
// cut near the scope first, dashed ones keeping the dash offset each run has along the whole
// path, and a generic shape's curves are sampled only where they show (core/visiblesample.h).
#include "golden.h"

#include <core/genshape.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

// A wedge from a point on the scope out to two far vertices shows the same pixels, filled and
// stroked, whether its far side lies 10^4 or 10^160 pixels away.
TEST(CairoPathRange, FarVerticesShowAsNearOnes) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int round = 0; round < 12; ++round) {
    const ccVector<2> apex(8 + 48 * unit(random), 8 + 32 * unit(random));
    const double a1 = 6.3 * unit(random), a2 = a1 + 0.3 + 2.5 * unit(random);
    const ccVector<2> d1(std::cos(a1), std::sin(a1)), d2(std::cos(a2), std::sin(a2));
    const ccGraphicProps props(ccColor::redColor(), 1 + 2 * (round % 3), ccGraphicProps::eSolid,
                               round % 2 == 0);
    auto draw = [&](ccCairoImageScope& s, double far) {
      s.antialias(round % 4 < 2);
      s.drawPolygon({apex, apex + d1 * far, apex + d2 * far}, ccPolygon::eNoFill, props);
      // An open path through the apex: both far ends beyond the range.
      s.drawPolyline(ccPolyline({apex + d1 * -far, apex, apex + d2 * -far}, false),
                     ccGraphicProps(ccColor::greenColor(), 1 + round % 2));
    };
    ccCairoImageScope near(64, 48);
    draw(near, 1e4);
    ASSERT_FALSE(inkBox(near, ccPackedRGB32Pel(0)).isNull());
    for (const double far : {3e5, 1e7, 1e40, 1e160}) {
      ccCairoImageScope s(64, 48);
      draw(s, far);
      // The far ends, rounded to Cairo's 1/256 pixel, tilt an edge by a trace: a channel of
      // one antialiased pixel moves by a unit.
      EXPECT_LE(largestChannelDifference(s, near), 1)
          << "round " << round << ", far side at " << far;
    }
  }
}

// A dashed zigzag some 20,000 pixels long shows on a small scope as on a scope large enough to
// take it whole. A pixel differs when its colour differs at all; at most 40 of the 3,072 may.
TEST(CairoDashes, ALongDashedPathShowsAsWhenStrokedWhole) {
  std::mt19937 random(5);
  // Whole coordinates, so that moving the path by whole pixels moves its pixels exactly.
  std::uniform_int_distribution<int> spread(-1500, 1500);
  const ccVector<2> shift(468, 476);  // the small scope's pixel (0, 0) on the large one
  for (int round = 0; round < 8; ++round) {
    std::vector<ccVector<2>> v;
    // Far and near points by turns; y is drawn before x on every compiler (the dash count
    // below depends on the path).
    for (int i = 0; i < 24; ++i) {
      const int y = spread(random), x = spread(random);
      v.emplace_back(i % 2 ? 32 + x / 40 : x, i % 2 ? 24 + y / 40 : y);
    }
    const auto style = static_cast<ccGraphicProps::cePenStyle>(1 + round % 4);
    const ccGraphicProps props(ccColor::redColor(), round < 4 ? 1 : 4, style);
    ccCairoImageScope small(64, 48), large(1000, 1000);
    small.antialias(false);
    large.antialias(false);
    small.drawPolyline(ccPolyline(v, round % 2 == 0), props);
    for (ccVector<2>& p : v) p = p + shift;
    large.drawPolyline(ccPolyline(v, round % 2 == 0), props);
    long differ = 0;
    for (long y = 0; y < 48; ++y)
      for (long x = 0; x < 64; ++x)
        differ += small.pel(x, y) != large.pel(x + long(shift.x()), y + long(shift.y()));
    // Cairo's dashes move by a pixel here and there under a whole-pixel shift (up to 8 pixels
    // differ when both are stroked whole); a run with a wrong dash offset changes hundreds.
    EXPECT_LE(differ, 40) << "round " << round;
    EXPECT_FALSE(inkBox(small, ccPackedRGB32Pel(0)).isNull()) << round;
  }
}

TEST(CairoVisibleSampling, AHugeRoundedCornerIsDrawnWhereItPasses) {
  ccCairoImageScope s(320, 240);
  s.antialias(false);
  // Corner arc of radius 4e8 through the scope's centre at 45 degrees.
  const double h = 5e8, r = 4e8, diagonal = std::sqrt(0.5);
  const ccVector<2> centre = ccVector<2>(160, 120) - ccVector<2>(r * diagonal, r * diagonal);
  const ccVector<2> shift = centre - ccVector<2>(h - r, h - r);
  s.draw(ccGenShapeRoundedPolygon(
             {ccVector<2>(-h, -h), ccVector<2>(h, -h), ccVector<2>(h, h), ccVector<2>(-h, h)}, r,
             ccXform<2>(ccMatrix<2>(1, 0, 0, 1), shift)),
         ccColor::redColor());
  // Near the scope the arc is the line x + y = 280 to within a pel.
  const ccPackedRGB32Pel red = opaque(ccColor::redColor());
  for (long x = 60; x <= 260; x += 20)
    EXPECT_TRUE(s.pel(x, 279 - x) == red || s.pel(x, 280 - x) == red || s.pel(x, 281 - x) == red)
        << "column " << x;
}
