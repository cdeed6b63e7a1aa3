// Dashed strokes of paths far longer than the scope's reach are drawn as their runs near the
// scope, each with the dash offset it has along the whole path: the pixels are those of cairo
// stroking the whole path, which a scope large enough to take the path whole still does. A
// pixel differs when its colour differs at all; at most 40 of the 3,072 may.
#include "golden.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

TEST(CairoDashes, ALongDashedPathShowsAsWhenStrokedWhole) {
  std::mt19937 random(5);
  // Whole coordinates, so that moving the path by whole pixels moves its pixels exactly.
  std::uniform_int_distribution<int> spread(-1500, 1500);
  const ccVector<2> shift(468, 476);  // the small scope's pixel (0, 0) on the large one
  for (int round = 0; round < 8; ++round) {
    // A zigzag some 20,000 pixels long that crosses the small scope again and again.
    std::vector<ccVector<2>> v;
    for (int i = 0; i < 12; ++i) {
      v.emplace_back(spread(random), spread(random));
      v.emplace_back(32 + spread(random) / 40, 24 + spread(random) / 40);
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
