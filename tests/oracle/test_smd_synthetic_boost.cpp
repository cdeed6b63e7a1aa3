// Synthetic fills against Boost.Geometry, an independent reading of "inside": for random
// straight-edged polygons under rotation, scaling and mirroring, every pel whose centre lies
// inside deeper than one pel is set, every set pel's centre lies inside or within one pel of
// the outline (outline pass included), and, sharper, a pel is set exactly when the middle of
// its right edge is inside (the side on which rounded crossings sample a row), wherever that
// point is clear of the outline.
#include <dispc/smd/poly.h>

#include <gtest/gtest.h>
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include <algorithm>
#include <random>
#include <vector>

namespace {

namespace bg = boost::geometry;
using BPoint = bg::model::d2::point_xy<double>;
using BPolygon = bg::model::polygon<BPoint>;
using BLine = bg::model::linestring<BPoint>;
using V2 = ccVector<2>;

// How often the outline crosses the row through (x, y) within one pel of it (image
// coordinates).
std::size_t crossings(const ccXform<2>& inv, double x, double y, const BLine& outline) {
  const V2 a = inv * V2(x - 1, y), b = inv * V2(x + 1, y);
  BLine row;
  bg::append(row, BPoint(a.x(), a.y()));
  bg::append(row, BPoint(b.x(), b.y()));
  std::vector<BPoint> points;
  bg::intersection(row, outline, points);
  return points.size();
}

TEST(SMDSyntheticBoostOracle, FilledPelsAgreeWithWithinAndDistance) {
  std::mt19937 rng(0xf111);
  std::uniform_real_distribution<double> unit(0, 1);
  long deep = 0, near = 0, edges = 0;
  for (int round = 0; round < 300; ++round) {
    // A star-shaped (so simple) polygon of 3 to 40 vertices.
    const int n = 3 + static_cast<int>(rng() % 38);
    std::vector<double> angles;
    for (int i = 0; i < n; ++i) angles.push_back(unit(rng) * 2 * ccPi);
    std::sort(angles.begin(), angles.end());
    std::vector<ccSMDGDPolyVertex> v;
    BPolygon ring;
    BLine outline;
    for (double a : angles) {
      const V2 p = V2::polar(4 + 16 * unit(rng), ccRadian(a));
      v.emplace_back(p, 0, ccDegree(0), 0.5, 0.5, -1, ccDimTol());
      bg::append(ring.outer(), BPoint(p.x(), p.y()));
      bg::append(outline, BPoint(p.x(), p.y()));
    }
    bg::append(ring.outer(), ring.outer().front());
    bg::append(outline, outline.front());
    bg::correct(ring);
    ccSMDGDPoly poly;
    try {
      poly.vertices(v);
      poly.close();
    } catch (const ccException&) {
      continue;  // vertices too close to each other for the polygon's own rules
    }
    const double turn = unit(rng) * 2 * ccPi, scale = 0.5 + 1.5 * unit(rng);
    const double mirror = rng() % 2 ? -1 : 1;
    const ccXform<2> xf(V2(32 + 4 * unit(rng), 32 + 4 * unit(rng)), ccRadian(turn), ccRadian(turn),
                        scale, mirror * scale);
    const ccXform<2> inv = xf.inverse();
    ccPelBuffer<unsigned char> fill(64, 64), whole(64, 64);
    ccSMDGDPolyPrivate::drawSynthetic(poly, xf, fill, 255, false, true);
    ccSMDGDPolyPrivate::drawSynthetic(poly, xf, whole, 255, true, true);
    for (long y = 0; y < 64; ++y)
      for (long x = 0; x < 64; ++x) {
        const V2 c = inv * V2(x + 0.5, y + 0.5);
        const BPoint centre(c.x(), c.y());
        const bool inside = bg::within(centre, ring);
        const double depth = bg::distance(centre, outline) * scale;
        const bool set = fill.get(x, y) == 255;
        if (inside && depth > 1) {
          ASSERT_TRUE(set) << round << ": " << x << "," << y;
          ++deep;
        }
        if (set || whole.get(x, y) != 0) {
          ASSERT_TRUE(inside || depth <= 1) << round << ": " << x << "," << y;
          ++near;
        }
        // Where two crossings fall into one pel (a spike thinner than a pel) the ranking of
        // equal boundaries and the midpoint test decide instead: rows crossing the outline
        // twice within a pel of the point are left out.
        const V2 e = inv * V2(x + 1.0, y + 0.5);
        const BPoint edge(e.x(), e.y());
        const double clearance = bg::distance(edge, outline) * scale;
        if (clearance > 1e-6 && (clearance >= 1 || crossings(inv, x + 1.0, y + 0.5, outline) < 2)) {
          ASSERT_EQ(set, bg::within(edge, ring)) << round << ": " << x << "," << y;
          ++edges;
        }
      }
  }
  EXPECT_GT(deep, 100000);
  EXPECT_GT(near, 100000);
  EXPECT_GT(edges, 1000000);
}

}  // namespace
