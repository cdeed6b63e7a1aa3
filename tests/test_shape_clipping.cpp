// Clipping shapes by a closed polyline: exact clipping of straight shapes, the sampled
// default, result codes and piece counts.
#include <core/affinerect.h>
#include <core/lines.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/polyline_p.h>
#include <core/rect.h>
#include <core/shapetree.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <typeinfo>
#include <vector>

namespace {

using V = ccVector<2>;
using Points = std::vector<ccVector<2>>;

const ccPolyline kSquare({V(0, 0), V(10, 0), V(10, 10), V(0, 10)}, true);
// A U: two arms x in [0, 3] and [6, 9] above y = 3, joined below it.
const ccPolyline kU({V(0, 0), V(9, 0), V(9, 9), V(6, 9), V(6, 3), V(3, 3), V(3, 9), V(0, 9)}, true);

ccPolyline reversedClipper(const ccPolyline& c) {
  return ccPolyline(Points(c.vertices().rbegin(), c.vertices().rend()), true);
}

template <class T>
const T& as(const ccShapePtrh& h) {
  const T* p = dynamic_cast<const T*>(h.get());
  EXPECT_TRUE(p) << "unexpected class " << (h ? typeid(*h).name() : "null");
  static const T empty;
  return p ? *p : empty;
}

// Segments and infinite lines: the pieces inside, in the shape's direction, for either
// orientation of the clipper; along an edge counts as inside, touching a corner as outside.
TEST(Clip, StraightShapesKeepTheirPiecesInsideInTheirDirection) {
  const ccPolyline squareCw = reversedClipper(kSquare), uCw = reversedClipper(kU);
  const auto seg = [](double x1, double y1, double x2, double y2) {
    return ccShapePtrh(new ccLineSeg(V(x1, y1), V(x2, y2)));
  };
  const long in = ccClipInfo::eInside, out = ccClipInfo::eOutside, part = ccClipInfo::ePartial;
  const struct {
    ccShapePtrh shape;
    const ccPolyline& clipper;
    long result;
    Points ends;  // of each piece
  } kCases[] = {
      {seg(-5, 5, 5, 5), kSquare, part, {V(0, 5), V(5, 5)}},
      {seg(-5, 5, 5, 5), squareCw, part, {V(0, 5), V(5, 5)}},
      {seg(12, 8, -8, -12), kSquare, part, {V(10, 6), V(4, 0)}},
      {seg(1, 1, 9, 2), kSquare, in, {}},
      {seg(2, 0, 5, 0), kSquare, in, {}},
      {seg(11, 1, 20, 5), kSquare, out, {}},
      {seg(-1, 1, 1, -1), kSquare, out, {}},
      {seg(-1, 6, 10, 6), kU, part, {V(0, 6), V(3, 6), V(6, 6), V(9, 6)}},
      {seg(-1, 6, 10, 6), uCw, part, {V(0, 6), V(3, 6), V(6, 6), V(9, 6)}},
      {seg(1, 3, 8, 3), kU, in, {}},  // into the notch along its floor
      {ccShapePtrh(new ccLine(V(2, 0), V(-50, 5))), kSquare, part, {V(0, 5), V(10, 5)}},
      // x = 3 downwards: the arm's inner edge.
      {ccShapePtrh(new ccFLine(V(3, 0), V(3, -1))), kU, part, {V(3, 9), V(3, 0)}},
  };
  for (const auto& c : kCases) {
    ccClipInfo info;
    const ccShapePtrh r = c.shape->clip(c.clipper, info);
    SCOPED_TRACE(testing::Message() << "case " << (&c - kCases));
    EXPECT_EQ(info.result, c.result);
    if (c.result == in) {
      EXPECT_TRUE(*r == *c.shape);
      continue;
    }
    EXPECT_EQ(info.pieces, static_cast<long>(c.ends.size() / 2));
    EXPECT_EQ(r->isEmpty(), c.result == out);
    std::vector<ccShapePtrh> pieces{r};
    if (c.ends.size() > 2) pieces = as<ccShapeTree>(r).children();
    for (std::size_t k = 0; k < pieces.size() && 2 * k < c.ends.size(); ++k) {
      EXPECT_TRUE(cfRealEq(as<ccLineSeg>(pieces[k]).p1(), c.ends[2 * k], 1e-12));
      EXPECT_TRUE(cfRealEq(as<ccLineSeg>(pieces[k]).p2(), c.ends[2 * k + 1], 1e-12));
    }
  }
}

TEST(Clip, ClosedPolylineJoinsItsPieceAcrossTheFirstVertex) {
  const ccPolyline subject({V(0, 0), V(4, 0), V(4, 4), V(0, 4)}, true);
  const ccPolyline left({V(-1, -1), V(2, -1), V(2, 5), V(-1, 5)}, true);
  ccClipInfo info;
  ccShapePtrh r = subject.clip(left, info);
  EXPECT_EQ(info.result, ccClipInfo::ePartial);
  EXPECT_EQ(info.pieces, 1);
  EXPECT_EQ(as<ccPolyline>(r), ccPolyline({V(2, 4), V(0, 4), V(0, 0), V(2, 0)}));
  // The polygon of the same vertices clips the same way; its piece is an open polyline.
  r = ccPolygon(subject.vertices(), ccPolygon::eFillAlternate).clip(left, info);
  EXPECT_EQ(info.pieces, 1);
  EXPECT_EQ(as<ccPolyline>(r), ccPolyline({V(2, 4), V(0, 4), V(0, 0), V(2, 0)}));
  // Wholly inside: the polygon itself.
  const ccPolygon small({V(1, 1), V(2, 1), V(2, 2)});
  r = small.clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::eInside);
  EXPECT_EQ(as<ccPolygon>(r), small);
}

TEST(Clip, SetsKeepTheirClass) {
  ccClipInfo info;
  const ccLineSegSet set(
      {ccLineSeg(V(1, 1), V(2, 2)), ccLineSeg(V(5, 5), V(15, 5)), ccLineSeg(V(20, 20), V(30, 30))});
  ccShapePtrh r = set.clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::ePartial);
  EXPECT_EQ(info.pieces, 2);
  EXPECT_EQ(as<ccLineSegSet>(r),
            ccLineSegSet({ccLineSeg(V(1, 1), V(2, 2)), ccLineSeg(V(5, 5), V(10, 5))}));
  const ccPointSet pts({V(1, 1), V(11, 1), V(10, 10), V(4.5, 6)});
  r = pts.clip(kU, info);
  EXPECT_EQ(info.pieces, 1);
  EXPECT_EQ(as<ccPointSet>(r), ccPointSet({V(1, 1)}));

  const ccCoordAxes axes(V(1, 1), V(20, 1), V(1, 5));
  r = axes.clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::ePartial);
  EXPECT_EQ(info.pieces, 2);
  EXPECT_NEAR(r->distanceToPoint(V(12, 1)), 2, 1e-14);
}

TEST(Clip, SampledDefaultForOtherShapes) {
  ccClipInfo info;
  // ccRect has no clipping of its own: its sampled outline (the corners) is clipped.
  ccShapePtrh r = ccRect(V(-5, 2), V(10, 4)).clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::ePartial);
  EXPECT_EQ(info.pieces, 1);
  EXPECT_EQ(as<ccPolyline>(r), ccPolyline({V(0, 2), V(5, 2), V(5, 6), V(0, 6)}));
  r = ccRect(V(1, 1), V(2, 2)).clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::eInside);
  EXPECT_TRUE(*r == ccRect(V(1, 1), V(2, 2)));
  r = ccCross(V(-3, 3), ccRadian(0), 5).clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::eOutside);
  EXPECT_TRUE(r->isEmpty());
}

TEST(Clip, RejectsBadClippers) {
  ccClipInfo info;
  const ccLineSeg s(V(0, 0), V(1, 1));
  EXPECT_THROW(s.clip(ccPolyline(kSquare.vertices(), false), info), ccShapesError::BadParams);
  EXPECT_THROW(s.clip(ccPolyline({V(0, 0), V(1, 0)}, true), info), ccShapesError::DegenerateShape);
  EXPECT_THROW(ccRect(V(0, 0), V(1, 1)).clip(ccPolyline(), info), ccShapesError::BadParams);
}

// Random segments and open polylines against a star-shaped, non-convex clipper: every piece
// lies inside, and the pieces' total length agrees with a fine point-by-point count.
TEST(Clip, PiecesMatchAPointwiseCount) {
  Points star;
  for (int k = 0; k < 14; ++k) {
    const double a = 2 * ccPi * k / 14, rad = k % 2 ? 3.0 : 8.0;
    star.push_back(V(rad * std::cos(a), rad * std::sin(a)));
  }
  const ccPolyline clipper(star, true);
  std::mt19937 gen(12345);
  std::uniform_real_distribution<double> coord(-10, 10);
  for (int trial = 0; trial < 100; ++trial) {
    Points v;  // a segment or an open polyline of two edges
    for (int i = 0; i < 2 + trial % 2; ++i) v.push_back(V(coord(gen), coord(gen)));
    std::vector<Points> pieces;
    if (cc_detail::clip(v, false, clipper, pieces) == ccClipInfo::eInside) pieces = {v};
    double clipped = 0, counted = 0, total = 0;
    for (const auto& p : pieces) {
      for (std::size_t i = 1; i < p.size(); ++i) {
        clipped += p[i - 1].distance(p[i]);
        for (int k = 1; k < 10; ++k)
          EXPECT_TRUE(clipper.within(p[i - 1] + (p[i] - p[i - 1]) * (k / 10.0)));
      }
    }
    const int n = 5000;
    for (std::size_t i = 1; i < v.size(); ++i) {
      int inside = 0;
      for (int k = 0; k < n; ++k)
        inside += clipper.within(v[i - 1] + (v[i] - v[i - 1]) * ((k + 0.5) / n));
      counted += v[i - 1].distance(v[i]) * inside / n;
      total += v[i - 1].distance(v[i]);
    }
    EXPECT_NEAR(clipped, counted, total * 16.0 / n) << "trial " << trial;
  }
}

}  // namespace
