// Cairo holds path coordinates in 24.8 fixed point, good to 2^23 pixels, and antialiases edges
// reaching 2^18 pixels up or left wrongly; paths reaching farther are cut near the scope first. A
// wedge from a point on the scope out to two far vertices shows the same pixels, filled and
// stroked, whether its far side lies 10^4 or 10^160 pixels away.
#include "golden.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

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
      int worst = 0;  // the largest difference of a channel
      for (long y = 0; y < 48; ++y)
        for (long x = 0; x < 64; ++x) {
          const ccPackedRGB32Pel a = s.pel(x, y), b = near.pel(x, y);
          worst = std::max({worst, std::abs(a.r() - b.r()), std::abs(a.g() - b.g()),
                            std::abs(a.b() - b.b()), std::abs(a.x() - b.x())});
        }
      // The far ends, rounded to Cairo's 1/256 pixel, tilt an edge by a trace: a channel of
      // one antialiased pixel moves by a unit.
      EXPECT_LE(worst, 1) << "round " << round << ", far side at " << far;
    }
  }
}
