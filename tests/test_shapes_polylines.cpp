// Polygonal shapes: ccPolyline, ccPolygon, ccAffineRectangle, ccCoordAxes, and the contour
// operations of ccRect.
#include <core/affinerect.h>
#include <core/archive.h>
#include <core/lines.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/shapetree.h>

#include "shapetesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
using V = ccVector<2>;
using Points = std::vector<ccVector<2>>;

Points samplePositions(const ccShape& s, const ccShape::ccSampleParams& p) {
  ccShape::ccSampleResult r;
  s.sample(p, r);
  return r.positions();
}

const ccPolyline& asPolyline(const ccShapePtrh& h) {
  const auto* p = dynamic_cast<const ccPolyline*>(h.get());
  EXPECT_TRUE(p);
  return *p;
}

// A five-pointed star drawn in one stroke: its centre is wound twice.
Points pentagram() {
  Points v;
  for (int k = 0; k < 5; ++k) {
    const double a = ccPi / 2 + k * 4 * ccPi / 5;
    v.push_back(V(10 * std::cos(a), 10 * std::sin(a)));
  }
  return v;
}

// ---- ccPolyline

TEST(Polyline, OpenContourQueries) {
  // An L: right 4, then up 3.
  const ccPolyline p({V(0, 0), V(4, 0), V(4, 3)});
  EXPECT_DOUBLE_EQ(p.tangentRotation().toDouble(), ccPi / 2);
  EXPECT_EQ(p.nearestPerimPos(V(6, 1)), 5);
  EXPECT_THROW(p.vertex(3), ccShapesError::BadParams);
  EXPECT_THROW(ccPolyline({V(0, kNaN)}), ccShapesError::BadGeom);
  // A zero-length edge is skipped for the directions.
  const ccPolyline q({V(0, 0), V(0, 0), V(0, 2), V(0, 2)});
  EXPECT_DOUBLE_EQ(q.startAngle().toDouble(), ccPi / 2);
  EXPECT_DOUBLE_EQ(q.endAngle().toDouble(), ccPi / 2);
  EXPECT_THROW(ccPolyline({V(1, 1), V(1, 1)}).startAngle(), ccShapesError::NoTangent);
  EXPECT_THROW(ccPolyline().boundingBox(), ccShapesError::EmptyShape);
}

TEST(Polyline, SubShapeReverseMap) {
  const ccPolyline p({V(0, 0), V(4, 0), V(4, 3)});
  EXPECT_EQ(asPolyline(p.subShape(1, 6)), ccPolyline({V(1, 0), V(4, 0), V(4, 2)}));
  EXPECT_EQ(asPolyline(p.subShape(-1, 99)), p);
  EXPECT_THROW(p.subShape(3, 2), ccShapesError::BadParams);
  EXPECT_EQ(asPolyline(p.reverse()), ccPolyline({V(4, 3), V(4, 0), V(0, 0)}));
  EXPECT_EQ(p.map(ccXform<2>(ccMatrix<2>(0, -1, 1, 0), V(1, 1))),
            ccPolyline({V(1, 1), V(1, 5), V(-2, 5)}));
  // A closed one keeps its first vertex and its flag.
  const ccPolyline c({V(0, 0), V(1, 0), V(1, 1)}, true);
  EXPECT_EQ(asPolyline(c.reverse()), ccPolyline({V(0, 0), V(1, 1), V(1, 0)}, true));
}

TEST(Polyline, ClosedRegion) {
  // Counter-clockwise square of side 2 in a y-up frame.
  const ccPolyline sq({V(0, 0), V(2, 0), V(2, 2), V(0, 2)}, true);
  EXPECT_EQ(sq.perimeter(), 8);
  EXPECT_TRUE(sq.within(V(2, 1)));  // the edges are inside
  EXPECT_FALSE(sq.within(V(2.001, 1)));
  // The closing edge counts for nearest points and positions.
  EXPECT_EQ(sq.nearestPoint(V(-1, 0.5)), V(0, 0.5));
  EXPECT_EQ(sq.nearestPerimPos(V(-1, 0.5)), 7.5);
  // Sub-shapes wrap through the first vertex.
  EXPECT_EQ(asPolyline(sq.subShape(7, 1)), ccPolyline({V(0, 1), V(0, 0), V(1, 0)}));
  EXPECT_EQ(asPolyline(sq.subShape(1, 1 + 8)),
            ccPolyline({V(1, 0), V(2, 0), V(2, 2), V(0, 2), V(0, 0), V(1, 0)}));
  // Self-crossing: the even-odd rule leaves the twice-wound centre outside.
  const ccPolyline star(pentagram(), true);
  EXPECT_FALSE(star.within(V(0, 0)));
  EXPECT_TRUE(star.within(V(0, 8)));  // in the top point
}

TEST(Polyline, SamplingKeepsVerticesAndSpacing) {
  const ccPolyline p({V(0, 0), V(4, 0), V(4, 3)});
  EXPECT_EQ(samplePositions(p, ccShape::ccSampleParams()), p.vertices());
  // Spacing 1.5: the edges of 4 and 3 get 3 and 2 equal parts.
  const Points s = samplePositions(p, ccShape::ccSampleParams(1.5, 0));
  const Points expected{V(0, 0), V(4.0 / 3, 0), V(8.0 / 3, 0), V(4, 0), V(4, 1.5), V(4, 3)};
  ASSERT_EQ(s.size(), expected.size());
  for (std::size_t i = 0; i < s.size(); ++i) EXPECT_TRUE(cfRealEq(s[i], expected[i], 1e-15));
  // Duplicated corners: the inner vertex twice.
  // Closed: no return to the start, unless corners are duplicated.
  const ccPolyline tri({V(0, 0), V(4, 0), V(4, 3)}, true);
  EXPECT_EQ(samplePositions(tri, ccShape::ccSampleParams(0, 0, 100, true)),
            (Points{V(0, 0), V(4, 0), V(4, 0), V(4, 3), V(4, 3), V(0, 0)}));
  // Uniform: 12 / 5 parts of 2.4 along the closed outline (perimeter 12).
  const Points u = samplePositions(tri, ccShape::ccSampleParams(2.5, 0, 100, false, true));
  ASSERT_EQ(u.size(), 5u);
  EXPECT_TRUE(cfRealEq(u[2], V(4, 0.8), 1e-15));
  EXPECT_TRUE(cfRealEq(u[4], V(1.92, 1.44), 1e-14));  // 2.6 along the hypotenuse
  // Too many points asked: exactly maxPoints, evenly along the contour.
  const Points capped = samplePositions(p, ccShape::ccSampleParams(0.01, 0, 8));
  ASSERT_EQ(capped.size(), 8u);
  EXPECT_EQ(capped.back(), V(4, 3));
  EXPECT_TRUE(cfRealEq(capped[4], V(4, 0), 1e-14));
}

TEST(Polyline, DecomposesIntoSegments) {
  const ccPolyline tri({V(0, 0), V(4, 0), V(4, 3)}, true);
  const ccShapePtrh d = tri.decompose();
  const auto* t = dynamic_cast<const ccContourTree*>(d.get());
  ASSERT_TRUE(t);
  EXPECT_TRUE(t->isClosed());
  ASSERT_EQ(t->numChildren(), 3);
  EXPECT_TRUE(*t->child(2) == ccLineSeg(V(4, 3), V(0, 0)));
  const ccShapePtrh o = ccPolyline({V(0, 0), V(4, 0), V(4, 3)}).decompose();
  EXPECT_EQ(dynamic_cast<const ccContourTree&>(*o).numChildren(), 2);
  const ccShapePtrh ad = ccCoordAxes(V(1, 1), V(4, 1), V(1, 3)).decompose();
  const auto& at = dynamic_cast<const ccShapeTree&>(*ad);
  ASSERT_EQ(at.numChildren(), 2);
  EXPECT_TRUE(*at.child(1) == ccLineSeg(V(1, 1), V(1, 3)));
}

// ---- ccPolygon

TEST(Polygon, FillModesDecideTheInside) {
  const ccPolygon alt(pentagram(), ccPolygon::eFillAlternate);
  const ccPolygon wind(pentagram(), ccPolygon::eFillWinding);
  const ccPolygon outline(pentagram());
  EXPECT_FALSE(alt.within(V(0, 0)));
  EXPECT_TRUE(wind.within(V(0, 0)));
  EXPECT_FALSE(outline.within(V(0, 0)));
  for (const ccPolygon* p : {&alt, &wind, &outline}) {
    EXPECT_TRUE(p->within(V(0, 8)));
    EXPECT_FALSE(p->within(V(0, 11)));
  }
  EXPECT_THROW(ccPolygon(pentagram(), static_cast<ccPolygon::PolyFillMode>(3)),
               ccShapesError::BadParams);
  ccPolygon m = alt;
  EXPECT_THROW(m.fillMode(static_cast<ccPolygon::PolyFillMode>(-1)), ccShapesError::BadParams);
  EXPECT_EQ(m, alt);
}

TEST(Polygon, ClosesItselfAndMaps) {
  const ccPolygon sq({V(0, 0), V(2, 0), V(2, 2), V(0, 2)}, ccPolygon::eFillAlternate);
  const ccPolygon again({V(0, 0), V(2, 0), V(2, 2), V(0, 2), V(0, 0)});
  EXPECT_EQ(sq.perimeter(), 8);
  EXPECT_EQ(again.perimeter(), 8);
  EXPECT_EQ(sq.boundary(), ccPolyline(sq.vertices(), true));
  EXPECT_EQ(sq.map(ccXform<2>(ccMatrix<2>(-1, 0, 0, 1), V())).fillMode(),
            ccPolygon::eFillAlternate);
  EXPECT_EQ(dynamic_cast<const ccPolygon&>(*sq.reverse()).vertices(),
            (Points{V(0, 0), V(0, 2), V(2, 2), V(2, 0)}));
  EXPECT_EQ(asPolyline(sq.subShape(7, 9)), ccPolyline({V(0, 1), V(0, 0), V(1, 0)}));
}

// A stored fill mode out of range is refused.
TEST(Polygon, ArchivedFillModeIsChecked) {
  const ccPolygon p({V(1, 2), V(3, 4), V(5, 7)}, ccPolygon::eFillWinding);
  ccArchive out;
  ccPolygon v = p;
  out || v;
  std::vector<unsigned char> bytes = out.data();
  bytes[1] = 9;  // the fill mode's low byte follows the version byte
  ccArchive in(bytes);
  ccPolygon w;
  EXPECT_THROW(in || w, ccShapesError::BadParams);
  EXPECT_EQ(w, ccPolygon());
}

// ---- ccRect's contour operations

TEST(RectContour, DecomposeReverseSampleSubShape) {
  const ccRect r(V(1, 2), V(4, 3));
  const ccShapePtrh d = r.decompose();
  EXPECT_EQ(asPolyline(d), ccPolyline({V(1, 2), V(5, 2), V(5, 5), V(1, 5)}, true));
  const ccShapePtrh rev = r.reverse();
  const auto* a = dynamic_cast<const ccAffineRectangle*>(rev.get());
  ASSERT_TRUE(a);
  EXPECT_EQ(a->cornerPx(), V(1, 5));
  EXPECT_EQ(a->cornerPy(), V(5, 2));
  EXPECT_EQ(samplePositions(r, ccShape::ccSampleParams(2, 0)),
            (Points{V(1, 2), V(3, 2), V(5, 2), V(5, 3.5), V(5, 5), V(3, 5), V(1, 5), V(1, 3.5)}));
  EXPECT_EQ(r.nearestPerimPos(V(0, 3)), 13);
  EXPECT_EQ(asPolyline(r.subShape(12, 16)), ccPolyline({V(1, 4), V(1, 2), V(3, 2)}));
}

// The size is kept exactly, even beside a corner so large that the far corner rounds back
// onto it; a negative size flips onto the other side.
TEST(RectContour, SizeIsKeptExactlyAndFlipsWhenNegative) {
  const double tiny = std::numeric_limits<double>::denorm_min();
  const ccRect far(V(-1e300, 3), V(tiny, 0.1));
  EXPECT_EQ(far.ul(), V(-1e300, 3));
  EXPECT_EQ(far.sz(), V(tiny, 0.1));
  const ccRect flipped(V(1, 2), V(-4, -3));
  EXPECT_EQ(flipped.ul(), V(-3, -1));
  EXPECT_EQ(flipped.sz(), V(4, 3));
  EXPECT_THROW(ccRect(V(1e308, 0), V(1e308, 1)), ccShapesError::BadGeom);
}

// The rectangle is closed: its edges are within. From inside, the nearest point is on the
// nearest side; every setter counts a change; a null rectangle encloses nothing.
TEST(Rect, EdgesNearestSidesAndChangeCounts) {
  const ccRect r(V(1, 2), V(4, 3));  // x 1 to 5, y 2 to 5
  for (const V& p : {V(1, 2), V(5, 2), V(5, 5), V(1, 5), V(3, 2), V(5, 3.5)})
    EXPECT_TRUE(r.within(p)) << p;
  for (const V& p : {V(5.001, 3), V(0.999, 3), V(3, 1.999), V(3, 5.001)})
    EXPECT_FALSE(r.within(p)) << p;
  EXPECT_EQ(r.nearestPoint(V(1.5, 3.5)), V(1, 3.5));
  EXPECT_EQ(r.nearestPoint(V(4.5, 3.5)), V(5, 3.5));
  EXPECT_EQ(r.nearestPoint(V(3, 2.25)), V(3, 2));
  EXPECT_EQ(r.nearestPoint(V(3, 4.75)), V(3, 5));
  EXPECT_EQ(r.distanceToPoint(V(3, 4.75)), 0.25);
  EXPECT_EQ(r.nearestPoint(V(7, 9)), V(5, 5));
  ccRect m = r;
  const unsigned long before = m.changeCount();
  m.ul(V(0, 0));
  m.sz(V(-2, 3));  // flips onto the left of ul
  EXPECT_EQ(m, ccRect(V(-2, 0), V(2, 3)));
  m.enclose(ccRect(V(5, 5), V(1, 1)));
  EXPECT_EQ(m, ccRect(V(-2, 0), V(8, 6)));
  EXPECT_EQ(m.changeCount(), before + 3);
  m.enclose(ccRect());
  EXPECT_EQ(m.changeCount(), before + 3);
  EXPECT_EQ(ccRect().enclose(r), r);
}

// ---- ccAffineRectangle

TEST(AffineRectangle, CornersBoundsAndInside) {
  // A square of side 2, turned by 45 degrees about Po = (0, 0).
  const double h = std::sqrt(2.0);
  const ccAffineRectangle r(V(0, 0), V(h, h), V(-h, h));
  EXPECT_TRUE(cfRealEq(r.cornerOpposite(), V(0, 2 * h), 1e-15));
  EXPECT_NEAR(r.area(), 4, 1e-14);
  EXPECT_NEAR(r.perimeter(), 8, 1e-14);
  EXPECT_TRUE(r.within(V(0, 0)));
  EXPECT_FALSE(r.within(V(h, 0.1)));
  EXPECT_THROW(ccAffineRectangle(V(0, 0), V(kNaN, 1), V(0, 1)), ccShapesError::BadGeom);
  // Degenerate (collinear corners) is allowed.
  EXPECT_FALSE(ccAffineRectangle(V(0, 0), V(1, 0), V(2, 0)).isRightHanded());
}

TEST(AffineRectangle, ParameterFormsMapReverse) {
  const ccAffineRectangle c =
      ccAffineRectangle::fromCenter(V(10, 10), 4, 2, ccRadian(ccPi / 2), ccRadian(ccPi / 2));
  EXPECT_TRUE(cfRealEq(c.cornerPo(), V(11, 8), 1e-14));
  EXPECT_TRUE(cfRealEq(c.cornerPx(), V(11, 12), 1e-14));
  EXPECT_TRUE(cfRealEq(c.cornerPy(), V(9, 8), 1e-14));
  EXPECT_THROW(ccAffineRectangle::fromCenter(V(), -1, 1, ccRadian(0), ccRadian(0)),
               ccShapesError::BadParams);
  const ccXform<2> x(ccMatrix<2>(2, 1, 0, 3), V(5, 6));
  const ccAffineRectangle u(x);
  EXPECT_EQ(u.xform(), x);
  EXPECT_EQ(ccAffineRectangle().map(x), u);
  const ccShapePtrh rh = u.reverse();
  EXPECT_EQ(dynamic_cast<const ccAffineRectangle&>(*rh).cornerPx(), u.cornerPy());
  EXPECT_EQ(asPolyline(u.decompose()), ccPolyline({V(5, 6), V(7, 6), V(8, 9), V(6, 9)}, true));
  EXPECT_EQ(asPolyline(ccAffineRectangle().subShape(0.5, 1.5)),
            ccPolyline({V(0.5, 0), V(1, 0), V(1, 0.5)}));
}

// ---- ccCoordAxes

TEST(CoordAxes, DegenerateBoundsMap) {
  const ccCoordAxes a(V(1, 1), V(4, 1), V(1, 3));
  EXPECT_FALSE(a.degen());
  EXPECT_TRUE(ccCoordAxes(V(1, 1), V(3, 3), V(-1, -1)).degen());  // parallel, opposite
  EXPECT_TRUE(ccCoordAxes(V(0, 0), V(1e-3, 2e-3), V(3e8, 6e8)).degen());
  EXPECT_FALSE(ccCoordAxes(V(0, 0), V(1, 0), V(1, 1e-9)).degen());
  EXPECT_EQ(a.perimeter(), 5);
  EXPECT_EQ(a.map(ccXform<2>(ccMatrix<2>(0, 1, 1, 0), V(0, 0))),  // swap x and y
            ccCoordAxes(V(1, 1), V(1, 4), V(3, 1)));
  EXPECT_THROW(ccCoordAxes(V(0, 0), V(0, 0), V(0, kNaN)), ccShapesError::BadGeom);
}

}  // namespace
