// A generic shape far larger than the scope is drawn true where it shows (its curves sampled
// only there, see core/visiblesample.h).
#include "golden.h"

#include <core/genshape.h>

#include <gtest/gtest.h>

#include <cmath>

TEST(CairoVisibleSampling, AHugeRoundedCornerIsDrawnWhereItPasses) {
  ccCairoImageScope s(320, 240);
  s.antialias(false);
  // Corner arc of radius 4e8 through the scope's centre at 45 degrees.
  const double h = 5e8, r = 4e8, diagonal = std::sqrt(0.5);
  const ccVector<2> centre = ccVector<2>(160, 120) - ccVector<2>(r * diagonal, r * diagonal);
  const ccVector<2> shift = centre - ccVector<2>(h - r, h - r);
  const ccGenShapeRoundedPolygon shape(
      {ccVector<2>(-h, -h), ccVector<2>(h, -h), ccVector<2>(h, h), ccVector<2>(-h, h)}, r,
      ccXform<2>(ccMatrix<2>(1, 0, 0, 1), shift));
  s.draw(shape, ccColor::redColor());
  const ccPackedRGB32Pel red = opaque(ccColor::redColor());
  for (long x = 60; x <= 260; x += 20) {
    // Here the arc is a line to within a pel: y = 240 - x.
    const double dx = double(x) - centre.x();
    const long y = std::lround(centre.y() + std::sqrt(r * r - dx * dx));
    bool inked = false;
    for (long k = y - 1; k <= y + 1; ++k) inked = inked || s.pel(x, k) == red;
    EXPECT_TRUE(inked) << "column " << x << " row " << y;
  }
}
