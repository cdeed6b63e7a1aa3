// Sampling for drawing: curve pieces outside the view become chords, so a shape far larger than
// the view costs the points of its visible part, while what shows is sampled as before.
#include <core/genshape.h>
#include <core/visiblesample.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

using V = ccVector<2>;

double distanceToPolyline(const V& p, const std::vector<V>& v) {
  double best = HUGE_VAL;
  for (std::size_t i = 0; i + 1 < v.size(); ++i) {
    const V d = v[i + 1] - v[i];
    const double len2 = d.x() * d.x() + d.y() * d.y();
    double t = len2 > 0 ? ((p - v[i]).x() * d.x() + (p - v[i]).y() * d.y()) / len2 : 0;
    t = std::max(0.0, std::min(1.0, t));
    best = std::min(best, (v[i] + d * t - p).length());
  }
  return best;
}

}  // namespace

TEST(VisibleSampling, AShapeInTheViewIsSampledExactlyAsSampleDoes) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> unit(0, 1);
  const ccRect view(V(-1000, -1000), V(2000, 2000));
  for (int round = 0; round < 40; ++round) {
    std::vector<V> vertices;
    const int n = 3 + round % 5;
    for (int i = 0; i < n; ++i) {
      const double a = 6.283185307179586 * (i + 0.8 * unit(random)) / n;
      const double r = 20 + 180 * unit(random);
      vertices.emplace_back(r * std::cos(a), r * std::sin(a));
    }
    const ccGenShapeRoundedPolygon shape(vertices, 30 * unit(random),
                                         ccXform<2>(ccMatrix<2>(1.5, 0.3, -0.2, 0.9), V(7, -3)));
    const ccShape::ccSampleParams params(0, 0.25);
    ccShape::ccSampleResult all, visible;
    shape.sample(params, all);
    cfSampleVisible(shape, params, view, visible);
    EXPECT_EQ(all.positions(), visible.positions()) << "round " << round;
  }
}

TEST(VisibleSampling, AShapeFarLargerThanTheViewCostsItsVisiblePart) {
  // A rounded square 1e9 across; the 320 x 240 view sits on the middle of a corner arc.
  const double h = 5e8, r = 4e8;
  const ccGenShapeRoundedPolygon shape({V(-h, -h), V(h, -h), V(h, h), V(-h, h)}, r);
  const V centre(h - r, h - r);
  const double diagonal = std::sqrt(0.5);
  const V onArc = centre + V(r * diagonal, r * diagonal);
  const ccRect view(onArc - V(160, 120), V(320, 240));
  ccShape::ccSampleResult result;
  cfSampleVisible(shape, ccShape::ccSampleParams(0, 0.25), view, result);
  const std::vector<V>& pts = result.positions();
  EXPECT_LT(pts.size(), 1000u);  // sample() needs its 10,000 maximum
  // Every point of the arc in the view lies within the tolerance of the polyline.
  int checked = 0;
  for (int i = -1000; i <= 1000; ++i) {
    const double a = 0.7853981633974483 + i * 1e-9;  // 0.4 pel apart
    const V p = centre + V(r * std::cos(a), r * std::sin(a));
    if (p.x() < view.ul().x() || p.x() > view.lr().x() || p.y() < view.ul().y() ||
        p.y() > view.lr().y())
      continue;
    ++checked;
    ASSERT_LE(distanceToPolyline(p, pts), 0.25 + 1e-3) << i;
  }
  EXPECT_GT(checked, 800);
}
