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
  Points v(c.vertices().rbegin(), c.vertices().rend());
  return ccPolyline(v, true);
}

template <class T>
const T& as(const ccShapePtrh& h) {
  const T* p = dynamic_cast<const T*>(h.get());
  EXPECT_TRUE(p) << "unexpected class " << (h ? typeid(*h).name() : "null");
  static const T empty;
  return p ? *p : empty;
}

TEST(Clip, SegmentPartlyInside) {
  ccClipInfo info;
  for (const ccPolyline& c : {kSquare, reversedClipper(kSquare)}) {
    const ccShapePtrh r = ccLineSeg(V(-5, 5), V(5, 5)).clip(c, info);
    EXPECT_EQ(info.result, ccClipInfo::ePartial);
    EXPECT_EQ(info.pieces, 1);
    EXPECT_EQ(as<ccLineSeg>(r), ccLineSeg(V(0, 5), V(5, 5)));
  }
  // Through both sides, diagonally: the piece runs in the segment's direction.
  const ccShapePtrh r = ccLineSeg(V(12, 8), V(-8, -12)).clip(kSquare, info);
  EXPECT_TRUE(cfRealEq(as<ccLineSeg>(r).p1(), V(10, 6), 1e-14));
  EXPECT_TRUE(cfRealEq(as<ccLineSeg>(r).p2(), V(4, 0), 1e-14));
}

TEST(Clip, WhollyInsideOrOutside) {
  ccClipInfo info;
  const ccLineSeg in(V(1, 1), V(9, 2));
  ccShapePtrh r = in.clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::eInside);
  EXPECT_TRUE(*r == in);
  // Along an edge of the clipper counts as inside.
  r = ccLineSeg(V(2, 0), V(5, 0)).clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::eInside);
  r = ccLineSeg(V(11, 1), V(20, 5)).clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::eOutside);
  EXPECT_EQ(info.pieces, 0);
  EXPECT_TRUE(r->isEmpty());
  // Only touching a corner leaves nothing of positive length.
  r = ccLineSeg(V(-1, 1), V(1, -1)).clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::eOutside);
}

TEST(Clip, NonConvexClipperGivesSeveralPieces) {
  for (const ccPolyline& c : {kU, reversedClipper(kU)}) {
    ccClipInfo info;
    const ccShapePtrh r = ccLineSeg(V(-1, 6), V(10, 6)).clip(c, info);
    EXPECT_EQ(info.result, ccClipInfo::ePartial);
    EXPECT_EQ(info.pieces, 2);
    const auto& tree = as<ccShapeTree>(r);
    ASSERT_EQ(tree.numChildren(), 2);
    EXPECT_TRUE(*tree.child(0) == ccLineSeg(V(0, 6), V(3, 6)));
    EXPECT_TRUE(*tree.child(1) == ccLineSeg(V(6, 6), V(9, 6)));
  }
  // Entering the notch along its floor y = 3 stays inside all the way.
  ccClipInfo info;
  ccLineSeg(V(1, 3), V(8, 3)).clip(kU, info);
  EXPECT_EQ(info.result, ccClipInfo::eInside);
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

TEST(Clip, OpenPolylineLeavingAndComingBack) {
  // Up and out through the top, back in, and out through the right side.
  const ccPolyline p({V(2, 2), V(2, 12), V(5, 12), V(5, 5), V(15, 5)});
  ccClipInfo info;
  const ccShapePtrh r = p.clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::ePartial);
  EXPECT_EQ(info.pieces, 2);
  EXPECT_NEAR(r->distanceToPoint(V(3.5, 12)), 2.5, 1e-14);  // to (2, 10)
  std::vector<Points> pieces;
  EXPECT_EQ(cc_detail::clip(p.vertices(), false, kSquare, pieces), ccClipInfo::ePartial);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], (Points{V(2, 2), V(2, 10)}));
  EXPECT_EQ(pieces[1], (Points{V(5, 10), V(5, 5), V(10, 5)}));
}

TEST(Clip, InfiniteLines) {
  ccClipInfo info;
  ccShapePtrh r = ccLine(V(2, 0), V(-50, 5)).clip(kSquare, info);
  EXPECT_EQ(info.result, ccClipInfo::ePartial);
  EXPECT_EQ(info.pieces, 1);
  EXPECT_TRUE(cfRealEq(as<ccLineSeg>(r).p1(), V(0, 5), 1e-12));
  EXPECT_TRUE(cfRealEq(as<ccLineSeg>(r).p2(), V(10, 5), 1e-12));
  r = ccFLine(V(3, 0), V(3, -1)).clip(kU, info);  // x = 3, downwards: the arm's inner edge
  EXPECT_EQ(info.result, ccClipInfo::ePartial);
  EXPECT_TRUE(cfRealEq(as<ccLineSeg>(r).p1(), V(3, 9), 1e-12));
  EXPECT_TRUE(cfRealEq(as<ccLineSeg>(r).p2(), V(3, 0), 1e-12));
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

// Random segments against a star-shaped, non-convex clipper: every piece lies inside, and the
// pieces' total length agrees with a fine point-by-point count.
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
    const V a(coord(gen), coord(gen)), b(coord(gen), coord(gen));
    std::vector<Points> pieces;
    const long code = cc_detail::clip({a, b}, false, clipper, pieces);
    if (code == ccClipInfo::eInside) pieces = {{a, b}};
    double clipped = 0;
    for (const auto& p : pieces) {
      ASSERT_EQ(p.size(), 2u);
      clipped += p[0].distance(p[1]);
      for (int k = 1; k < 10; ++k) EXPECT_TRUE(clipper.within(p[0] + (p[1] - p[0]) * (k / 10.0)));
    }
    const int n = 5000;
    int inside = 0;
    for (int k = 0; k < n; ++k)
      if (clipper.within(a + (b - a) * ((k + 0.5) / n))) ++inside;
    const double counted = a.distance(b) * inside / n;
    EXPECT_NEAR(clipped, counted, a.distance(b) * 16.0 / n) << "trial " << trial;
  }
}

}  // namespace
