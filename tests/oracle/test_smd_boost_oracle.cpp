// SMD polygons against Boost.Geometry, an independent reading of "crossing" and "inside": for
// thousands of random straight-edged polygons, simple and self-crossing, the crossing verdict
// agrees with boost::geometry::intersects (a polygon's self-intersection; Boost's is_simple
// only looks for spikes and repeated points) and the inside test with boost::geometry::within;
// the cases where the polygon's own rules make it differ are listed with both verdicts. The
// synthetic fill of such polygons, rotated, scaled and mirrored, sets every pel whose centre
// lies inside deeper than one pel, no pel farther than one pel outside (outline pass
// included), and, sharper, a pel exactly when the middle of its right edge is inside (the side
// on which rounded crossings sample a row), wherever that point is clear of the outline.
#include "../archivebytes.h"

#include <core/errors.h>
#include <dispc/smd/poly.h>

#include <gtest/gtest.h>
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

namespace bg = boost::geometry;
using BPoint = bg::model::d2::point_xy<double>;
using BPolygon = bg::model::polygon<BPoint>;
using BLine = bg::model::linestring<BPoint>;
using V2 = ccVector<2>;

// The closed outline as a Boost line string and polygon.
BLine boostLine(const std::vector<V2>& pts) {
  BLine l;
  for (const V2& p : pts) bg::append(l, BPoint(p.x(), p.y()));
  bg::append(l, l.front());
  return l;
}
BPolygon boostPolygon(const std::vector<V2>& pts) {
  BPolygon b;
  const BLine l = boostLine(pts);
  b.outer().assign(l.begin(), l.end());
  bg::correct(b);
  return b;
}

// n points in angle order around the origin, at radii from r0 to r0 + dr: a simple polygon.
std::vector<V2> starPoints(std::mt19937& rng, int n, double r0, double dr) {
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<double> angles;
  for (int i = 0; i < n; ++i) angles.push_back(unit(rng) * 2 * ccPi);
  std::sort(angles.begin(), angles.end());
  std::vector<V2> pts;
  for (double a : angles) pts.push_back(V2::polar(r0 + dr * unit(rng), ccRadian(a)));
  return pts;
}

// Closes the straight-edged polygon; the error number it is refused with, or 0.
std::uint32_t verdict(const std::vector<V2>& pts, ccSMDGDPoly& p) {
  std::vector<ccSMDGDPolyVertex> v;
  for (const V2& q : pts) v.emplace_back(q, 0, ccDegree(0), 0.5, 0.5, -1, ccDimTol());
  return errorOf([&] {
    p.vertices(v);
    p.close();
  });
}

bool boostWithin(const V2& q, const BPolygon& b) { return bg::within(BPoint(q.x(), q.y()), b); }

TEST(SMDPolyBoostOracle, CrossingVerdictAndInsideAgree) {
  std::mt19937 rng(0xb0057);
  std::uniform_real_distribution<double> coord(-100, 100);
  int simple = 0, crossing = 0, points = 0;
  for (int round = 0; round < 3000; ++round) {
    const int n = 3 + static_cast<int>(rng() % 14);
    std::vector<V2> pts = starPoints(rng, n, 5, 95);
    if (round % 2 == 0)  // any order: mostly self-crossing
      for (V2& p : pts) p = V2(coord(rng), coord(rng));
    ccSMDGDPoly ours;
    const std::uint32_t error = verdict(pts, ours);
    ASSERT_TRUE(error == 0 || error == ccSMDGDPoly::crossingSegments::kErrorNumber) << round;
    const BPolygon theirs = boostPolygon(pts);
    ASSERT_EQ(error == 0, !bg::intersects(theirs)) << round;
    ASSERT_EQ(error == 0, bg::is_valid(theirs)) << round;
    if (error) {
      ++crossing;
      continue;
    }
    ++simple;
    std::vector<V2> probes;
    for (int k = 0; k < 20; ++k) probes.emplace_back(coord(rng), coord(rng));
    // Points level with a vertex (a ray along +x would pass through it), and points just
    // inside and outside of edge midpoints.
    for (std::size_t i = 0; i < pts.size(); ++i) {
      const V2 a = pts[i], b = pts[(i + 1) % pts.size()];
      const V2 mid = (a + b) / 2, normal = V2(b.y() - a.y(), a.x() - b.x()) * 1e-6;
      probes.insert(probes.end(), {mid + normal, mid - normal, V2(coord(rng), a.y())});
    }
    for (const V2& q : probes)
      ASSERT_EQ(ccSMDGDPolyPrivate::inside(ours, q), boostWithin(q, theirs)) << round << " " << q;
    points += static_cast<int>(probes.size());
  }
  EXPECT_GT(simple, 1000);
  EXPECT_GT(crossing, 1000);
  EXPECT_GT(points, 20000);
}

// Where the polygon's rules differ from Boost's (so the random check above steers clear):
// segments that share a vertex never cross, collinear segments have no crossing point, a
// segment must have a length, and an end within 1e-14 of a segment's length of another
// segment touches it. Boost's is_valid calls the first two invalid, allows repeated points,
// and snaps coordinates to a grid (about 1e-8 of the polygon's size), so it finds vertices up
// to 1e-9 above a far side touching it.
TEST(SMDPolyBoostOracle, ThePolygonsOwnRulesWhereBoostDiffers) {
  const std::pair<std::vector<V2>, std::uint32_t> kCases[] = {
      {{{2, 0}, {3, 0}, {1, 0}}, 0},              // a triangle flat on a line
      {{{2, 1}, {0, 0}, {2, 1}, {0, 0}}, 0},      // back and forth over one line
      {{{0, 1}, {1, 0}, {3, 0}, {2, 1}, {2, 1}},  // a repeated consecutive point
       ccSMDGDPolyVertex::invalidSegmentLength::kErrorNumber},
      {{{0, 0}, {10, 0}, {10, 10}, {5, 1e-13}, {0, 10}},
       ccSMDGDPoly::crossingSegments::kErrorNumber},
      {{{0, 0}, {10, 0}, {10, 10}, {5, 1e-9}, {0, 10}}, 0},
      {{{0, 0}, {10, 0}, {10, 10}, {5, 0}, {0, 10}}, ccSMDGDPoly::crossingSegments::kErrorNumber},
  };
  for (const auto& [pts, ours] : kCases) {
    ccSMDGDPoly p;
    EXPECT_EQ(verdict(pts, p), ours) << pts[pts.size() - 2];
  }
}

TEST(SMDSyntheticBoostOracle, FilledPelsAgreeWithWithinAndDistance) {
  std::mt19937 rng(0xf111);
  std::uniform_real_distribution<double> unit(0, 1);
  long deep = 0, near = 0, edges = 0;
  for (int round = 0; round < 300; ++round) {
    const std::vector<V2> pts = starPoints(rng, 3 + static_cast<int>(rng() % 38), 4, 16);
    ccSMDGDPoly poly;
    if (verdict(pts, poly)) continue;  // vertices too close for the polygon's own rules
    const BPolygon ring = boostPolygon(pts);
    const BLine outline = boostLine(pts);
    const double turn = unit(rng) * 2 * ccPi, scale = 0.5 + 1.5 * unit(rng);
    const double mirror = rng() % 2 ? -1 : 1;
    const ccXform<2> xf(V2(32 + 4 * unit(rng), 32 + 4 * unit(rng)), ccRadian(turn), ccRadian(turn),
                        scale, mirror * scale);
    const ccXform<2> inv = xf.inverse();
    // How often the outline crosses the row through image point (x, y) within one pel of it.
    auto crossings = [&](double x, double y) {
      const V2 a = inv * V2(x - 1, y), b = inv * V2(x + 1, y);
      std::vector<BPoint> points;
      bg::intersection(BLine{BPoint(a.x(), a.y()), BPoint(b.x(), b.y())}, outline, points);
      return points.size();
    };
    ccPelBuffer<unsigned char> fill(64, 64), whole(64, 64);
    ccSMDGDPolyPrivate::drawSynthetic(poly, xf, fill, 255, false, true);
    ccSMDGDPolyPrivate::drawSynthetic(poly, xf, whole, 255, true, true);
    for (long y = 0; y < 64; ++y)
      for (long x = 0; x < 64; ++x) {
        const V2 c = inv * V2(x + 0.5, y + 0.5);
        const bool inside = boostWithin(c, ring), set = fill.get(x, y) == 255;
        const double depth = bg::distance(BPoint(c.x(), c.y()), outline) * scale;
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
        const double clearance = bg::distance(BPoint(e.x(), e.y()), outline) * scale;
        if (clearance > 1e-6 && (clearance >= 1 || crossings(x + 1.0, y + 0.5) < 2)) {
          ASSERT_EQ(set, boostWithin(e, ring)) << round << ": " << x << "," << y;
          ++edges;
        }
      }
  }
  EXPECT_GT(deep, 100000);
  EXPECT_GT(near, 100000);
  EXPECT_GT(edges, 1000000);
}

}  // namespace
