// SMD polygons against Boost.Geometry: for thousands of random straight-edged polygons,
// simple and self-crossing, the crossing verdict agrees with boost::geometry::intersects (a
// polygon's self-intersection; Boost's is_simple only looks for spikes and repeated points)
// and the inside test with boost::geometry::within. The cases where the polygon's own rules
// make it differ are listed with both verdicts.
#include <core/errors.h>
#include <dispc/smd/poly.h>

#include <gtest/gtest.h>
#include <boost/geometry.hpp>
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
using V2 = ccVector<2>;

BPolygon boostPolygon(const std::vector<V2>& pts) {
  BPolygon b;
  for (const V2& p : pts) bg::append(b.outer(), BPoint(p.x(), p.y()));
  bg::append(b.outer(), BPoint(pts[0].x(), pts[0].y()));
  bg::correct(b);
  return b;
}

// Closes the straight-edged polygon; the error number it is refused with, or 0.
std::uint32_t verdict(const std::vector<V2>& pts, ccSMDGDPoly& p) {
  std::vector<ccSMDGDPolyVertex> v;
  for (const V2& q : pts) v.emplace_back(q, 0, ccDegree(0), 0.5, 0.5, -1, ccDimTol());
  try {
    p.vertices(v);
    p.close();
  } catch (const ccException& e) {
    return e.errorNumber();
  }
  return 0;
}

TEST(SMDPolyBoostOracle, CrossingVerdictAndInsideAgree) {
  std::mt19937 rng(0xb0057);
  std::uniform_real_distribution<double> coord(-100, 100), unit(0, 1);
  int simple = 0, crossing = 0, points = 0;
  for (int round = 0; round < 3000; ++round) {
    const int n = 3 + static_cast<int>(rng() % 14);
    std::vector<V2> pts;
    if (round % 2) {  // star-shaped around the origin: simple
      std::vector<double> angles;
      for (int i = 0; i < n; ++i) angles.push_back(unit(rng) * 2 * ccPi);
      std::sort(angles.begin(), angles.end());
      for (double a : angles) pts.push_back(V2::polar(5 + 95 * unit(rng), ccRadian(a)));
    } else {  // any order: mostly self-crossing
      for (int i = 0; i < n; ++i) pts.emplace_back(coord(rng), coord(rng));
    }
    ccSMDGDPoly ours;
    const std::uint32_t error = verdict(pts, ours);
    ASSERT_TRUE(error == 0 || error == ccSMDGDPoly::crossingSegments::kErrorNumber) << round;
    const bool ok = error == 0;
    const BPolygon theirs = boostPolygon(pts);
    ASSERT_EQ(ok, !bg::intersects(theirs)) << round;
    ASSERT_EQ(ok, bg::is_valid(theirs)) << round;
    if (!ok) {
      ++crossing;
      continue;
    }
    ++simple;
    for (int k = 0; k < 20; ++k, ++points) {
      const V2 q(coord(rng), coord(rng));
      ASSERT_EQ(ccSMDGDPolyPrivate::inside(ours, q), bg::within(BPoint(q.x(), q.y()), theirs))
          << round << " " << q;
    }
    // Points level with a vertex (a ray along +x would pass through it), and points just
    // inside and outside of edge midpoints.
    for (std::size_t i = 0; i < pts.size(); ++i, ++points) {
      const V2 a = pts[i], b = pts[(i + 1) % pts.size()];
      const V2 mid = (a + b) / 2, normal = V2(b.y() - a.y(), a.x() - b.x()) * 1e-6;
      for (const V2& q : {mid + normal, mid - normal, V2(coord(rng), a.y())})
        ASSERT_EQ(ccSMDGDPolyPrivate::inside(ours, q), bg::within(BPoint(q.x(), q.y()), theirs))
            << round << " " << q;
    }
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

}  // namespace
