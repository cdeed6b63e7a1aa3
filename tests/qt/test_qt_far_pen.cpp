// Pen positions beyond Qt's int coordinates (a sketch's relative moves can take the pen
// anywhere) must not wrap: a stroke out to 2^33 pixels and back shows the pixels of the same
// stroke ending 10^3 steps away.
#include <backends/qt/qtimage.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

TEST(QtFarPen, StrokesBeyondIntRangeShowAsNearOnes) {
  std::mt19937 random(11);
  for (int round = 0; round < 16; ++round) {
    const ccPoint apex(double(8 + random() % 48), double(8 + random() % 32));
    const long dx = long(random() % 7) - 3, dy = long(random() % 7) - 3 + (dx == 0);
    const ccGraphicProps pen(ccColor::redColor(), 1 + round % 3);
    auto draw = [&](ccQtImageScope& s, long steps) {
      s.antialias(round % 2 == 0);
      s.drawStart(apex);
      s.drawToRel(dx * steps, dy * steps, pen);
      s.drawTo(apex, pen);  // and back, from the far end
    };
    ccQtImageScope near(64, 48), far(64, 48);
    draw(near, 1000);
    draw(far, 1L << 33);
    int worst = 0;  // the largest difference of a channel
    for (long y = 0; y < 48; ++y)
      for (long x = 0; x < 64; ++x) {
        const ccPackedRGB32Pel a = far.pel(x, y), b = near.pel(x, y);
        worst = std::max({worst, std::abs(a.r() - b.r()), std::abs(a.g() - b.g()),
                          std::abs(a.b() - b.b()), std::abs(a.x() - b.x())});
      }
    // Antialiased edges tilt by a trace with the distance of the far end: up to 4 units of a
    // channel, as between two uncut strokes. Aliased strokes light the same pixels.
    EXPECT_LE(worst, round % 2 == 0 ? 4 : 0) << "round " << round;
  }
}
