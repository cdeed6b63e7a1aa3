// Straight shapes: points, crosses, lines, polylines, polygons and rectangles. The shape
// contract checks their common geometry; here are their construction forms, refusals, exact
// positions, wrapping sub-shapes, fill modes and edge cases.
#include <core/affinerect.h>
#include <core/archive.h>
#include <core/lines.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/rect.h>

#include <gtest/gtest.h>

#include "archivebytes.h"
#include "shapetesting.h"

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
using V = ccVector<2>;
using Points = std::vector<ccVector<2>>;

// Overloads as a tablet has them: a vector argument must pick the ccPoint one.
int which(const ccPoint&) { return 1; }
int which(const cc2Point&) { return 2; }

// ---- Construction forms and refusals the shape contract does not reach

TEST(Point, ComparesByCoordinatesEqualsByClassAndMapsIntoItsClass) {
  const ccPoint p(1, 2);
  const cc2Point p2(1, 2);
  EXPECT_TRUE(V(1, 2) == p);
  EXPECT_TRUE(p == p2);
  EXPECT_TRUE(p != ccPoint(1, 3));
  EXPECT_FALSE(p.equal(p2));  // different classes
  // A cc2Point converts to the ccPoint of the same coordinates.
  EXPECT_TRUE(ccPoint(p2).equal(p));
  // A vector converts implicitly; where both point overloads exist ccPoint is chosen.
  EXPECT_EQ(which(V(1, 1)), 1);
  EXPECT_EQ(which(cc2Point(1, 1)), 2);
  const ccXform<2> x(ccMatrix<2>(0, -2, 2, 0), V(1, 1));  // rotate 90 degrees, scale 2
  EXPECT_TRUE(*ccPoint(3, 4).mapShape(x) == ccPoint(-7, 7));
  EXPECT_TRUE(dynamic_cast<cc2Point*>(cc2Point(3, 4).mapShape(x).get()));
  EXPECT_THROW(ccPoint(kNaN, 0), ccShapesError::BadGeom);
  EXPECT_THROW(ccPointSet({V(1, 5)}).point(1), ccShapesError::BadParams);
  EXPECT_THROW(ccPointSet().boundingBox(), ccShapesError::EmptyShape);
  EXPECT_THROW(ccPointSet({V(0, kNaN)}), ccShapesError::BadGeom);
}

TEST(Cross, ArmsKeepTheirPixelLengthAndTheFirstArmMapsItsDirection) {
  // Rotation by 90 degrees and scale 3: the arms stay 7 pixels.
  const ccCross m =
      ccCross(V(1, 2), ccRadian(0), 7).map(ccXform<2>(ccMatrix<2>(0, -3, 3, 0), V(10, 0)));
  EXPECT_EQ(m.origin(), V(4, 3));
  EXPECT_NEAR(m.angle().toDouble(), ccPi / 2, 1e-15);
  EXPECT_EQ(m.armlength(), 7);
  // A shear changes the direction of the first arm.
  const ccXform<2> shear(ccMatrix<2>(1, 1, 0, 1), V());
  EXPECT_NEAR(ccCross(V(), ccRadian(ccPi / 2), 3).map(shear).angle().toDouble(), ccPi / 4, 1e-15);
  EXPECT_THROW(ccCross(V(0, 0), ccRadian(0), -1), ccShapesError::BadParams);
}

TEST(LineSeg, SubShapesClampToTheSegmentAndSpacingSplitsItEvenly) {
  const ccLineSeg s(V(0, 0), V(10, 0));
  EXPECT_TRUE(*s.subShape(2, 7) == ccLineSeg(V(2, 0), V(7, 0)));
  EXPECT_TRUE(*s.subShape(-5, 50) == s);
  EXPECT_THROW(s.subShape(7, 2), ccShapesError::BadParams);
  EXPECT_EQ(samplePositions(s, ccShape::ccSampleParams(3, 0)),  // 4 parts of 2.5
            (std::vector<V>{V(0, 0), V(2.5, 0), V(5, 0), V(7.5, 0), V(10, 0)}));
  EXPECT_THROW(ccLineSeg(V(1, 1), V(1, 1)).startAngle(), ccShapesError::NoTangent);
  EXPECT_THROW(ccLineSegSet({s}).segment(1), ccShapesError::BadParams);
}

TEST(Line, DirectionIsKeptAsGivenAndMustNotVanish) {
  const ccLine l(V(3, 4), V(0, 1));
  EXPECT_EQ(l.dir(), V(3, 4));  // kept as given
  EXPECT_THROW(ccLine(V(0, 0), V(1, 1)), ccShapesError::DegenerateShape);
  EXPECT_THROW(ccLine(V(1, 0), V(kNaN, 1)), ccShapesError::BadGeom);
  const ccLine a(ccRadian(ccPi / 2), V(3, 0));
  EXPECT_NEAR(a.dir().x(), 0, 1e-16);
  EXPECT_EQ(a.dir().y(), 1);
  EXPECT_EQ(l.map(ccXform<2>(ccMatrix<2>(2, 0, 0, 1), V(1, 0))), ccLine(V(6, 4), V(1, 1)));
  const ccXform<2> flat(ccMatrix<2>(4, -3, 0, 0), V());  // sends (3, 4) to (0, 0)
  EXPECT_THROW(l.map(flat), ccShapesError::DegenerateShape);
  EXPECT_TRUE(*l.reverse() == ccLine(V(-3, -4), V(0, 1)));
}

// ---- ccFLine

TEST(FLine, ImplicitFormFromPointsAngleOrCoefficients) {
  const ccFLine f(V(0, 1), V(4, 4));  // direction (0.8, 0.6)
  EXPECT_NEAR(f.cosAngle(), 0.8, 1e-15);
  // Left of the direction is positive: (0, 1) + 5 (-0.6, 0.8).
  EXPECT_NEAR(f.signedDistance(V(-3, 5)), 5, 1e-14);
  EXPECT_TRUE(cfRealEq(f.closestPoint(V(-3, 5)), V(0, 1), 1e-14));
  EXPECT_THROW(ccFLine(V(1, 1), V(1, 1)), ccShapesError::DegenerateShape);
  EXPECT_THROW(ccFLine(0.0, 0.0, 1.0), ccShapesError::BadGeom);
  EXPECT_THROW(ccFLine(1.0, kNaN, 1.0), ccShapesError::BadGeom);
  // The coefficient form is normalised: 3x + 4y - 10 = 0.
  const ccFLine g(3.0, 4.0, -10.0);
  EXPECT_DOUBLE_EQ(g.b(), 0.8);
  EXPECT_DOUBLE_EQ(g.c(), -2);
  EXPECT_TRUE(cfRealEq(g.point(), V(1.2, 1.6), 1e-15));
  const ccFLine h(V(2, 3), ccRadian(ccPi));
  EXPECT_NEAR(h.cosAngle(), -1, 1e-15);
  EXPECT_NEAR(h.signedDistance(V(0, 2)), 1, 1e-15);  // below a leftward line is its left
  const ccFLine up(V(1, 0), V(1, 1));                // x = 1, upwards
  EXPECT_NEAR(dynamic_cast<const ccFLine&>(*up.reverse()).sinAngle(), -1, 1e-15);
  EXPECT_THROW(up.map(ccXform<2>(ccMatrix<2>(1, 0, 0, 0), V())), ccShapesError::DegenerateShape);
}

TEST(FLine, Intersections) {
  const ccFLine diag(V(0, 0), V(1, 1));
  const ccFLine horiz(V(0, 3), V(1, 3));
  ccVector<2> p(-1, -1);
  EXPECT_EQ(diag.intersect(horiz, p), ccFLine::ePoint);
  EXPECT_TRUE(cfRealEq(p, V(3, 3), 1e-14));
  EXPECT_EQ(horiz.intersection(diag).size(), 1u);
  // Parallel and apart.
  const ccFLine other(V(0, 5), V(-2, 5));
  p = V(-1, -1);
  EXPECT_EQ(horiz.intersect(other, p), ccFLine::eNone);
  EXPECT_EQ(p, V(-1, -1));
  EXPECT_TRUE(horiz.intersection(other).empty());
  // Coincident, also when running the other way.
  const ccFLine same(V(7, 3), V(-1, 3));
  EXPECT_EQ(horiz.intersect(same, p), ccFLine::eCoincident);
  EXPECT_TRUE(cfRealEq(p, V(0, 3), 1e-15));
  EXPECT_TRUE(horiz.intersection(same).empty());
}

// Normalising is idempotent over the whole range of doubles (subnormal coefficients included),
// so a line built from any coefficients stores and loads to the same bytes; an offset that the
// normalisation would carry past the largest double is refused.
TEST(FLine, NormalFormIsStableFromTinyToHugeCoefficients) {
  std::mt19937_64 rng(0xf11e);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  std::uniform_int_distribution<int> exponent(-1074, 1023);
  for (int i = 0; i < 20000; ++i) {
    const double a = std::ldexp(mantissa(rng), exponent(rng));
    const double b = std::ldexp(mantissa(rng), exponent(rng));
    if (a == 0 && b == 0) continue;
    // An offset up to the normal's size, down to 2^-60 of it: the line's distance stays finite.
    const double c = std::max(std::fabs(a), std::fabs(b)) *
                     std::ldexp(mantissa(rng), -std::abs(exponent(rng) % 60));
    const ccFLine once(a, b, c);
    const ccFLine twice(once.a(), once.b(), once.c());
    ASSERT_TRUE(twice == once) << std::hexfloat << a << " " << b;  // a, b and c exactly
    ASSERT_NEAR(std::hypot(once.a(), once.b()), 1, 1e-15);
  }
  EXPECT_THROW(ccFLine(4.9e-324, 0, 1e300), ccShapesError::BadGeom);
  EXPECT_THROW(ccFLine(0x1p-950, 0, 1e300), ccShapesError::BadGeom);
}

// Every setter: a refused value throws, keeps the shape and counts no change; an accepted one
// counts one change.
TEST(PointAndLineSetters, RefuseWhatTheConstructorRefusesAndCountChanges) {
  const V bad(kNaN, 0);
  ccLineSeg seg(V(0, 0), V(1, 1));
  ccLine line(V(1, 0), V(0, 0));
  ccPointSet set({V(1, 1)});
  ccCross cross(V(0, 0), ccRadian(0), 3);
  const auto check = [](ccShape& shape, const std::function<void()>& good,
                        const std::function<void()>& refused, const char* what) {
    const ccShapePtrh before = shape.clone();
    const unsigned long count = shape.changeCount();
    EXPECT_ANY_THROW(refused()) << what;
    EXPECT_TRUE(shape == *before) << what;
    EXPECT_EQ(shape.changeCount(), count) << what;
    good();
    EXPECT_EQ(shape.changeCount(), count + 1) << what;
    EXPECT_FALSE(shape == *before) << what;
  };
#define CHECK_SETTER(shape, good, refused) \
  check(                                   \
      shape, [&] { good; }, [&] { refused; }, #good)
  CHECK_SETTER(seg, seg.p1(V(2, 0)), seg.p1(bad));
  CHECK_SETTER(seg, seg.p2(V(0, 2)), seg.p2(bad));
  CHECK_SETTER(line, line.pos(V(3, 3)), line.pos(bad));
  CHECK_SETTER(line, line.dir(V(0, 1)), line.dir(V()));
  CHECK_SETTER(set, set.add(V(2, 2)), set.add(bad));
  CHECK_SETTER(set, set.points({V(5, 5)}), (set.points({V(), bad})));
  CHECK_SETTER(cross, cross.origin(V(1, 1)), cross.origin(bad));
  CHECK_SETTER(cross, cross.angle(ccRadian(1)), cross.angle(ccRadian(kInf)));
  CHECK_SETTER(cross, cross.armlength(0), cross.armlength(-1));
  ccCoordAxes axes(V(0, 0), V(1, 0), V(0, 1));
  CHECK_SETTER(axes, axes.origin(V(1, 1)), axes.origin(bad));
  CHECK_SETTER(axes, axes.xEnd(V(2, 0)), axes.xEnd(bad));
  CHECK_SETTER(axes, axes.yEnd(V(0, 2)), axes.yEnd(bad));
#undef CHECK_SETTER
}

// The value forms (a shape stored in place, without its class name) hold the fields of the
// shape's record, load back equal and refuse a version byte 1 naming their source.
template <class T>
void expectValueForm(T value, const std::string& source) {
  ccArchive out, record;
  out || value;
  value.dispatchSerialize(record);
  Bytes fields = record.data();
  fields.erase(fields.begin() + 1);  // the shape base's version byte
  EXPECT_EQ(out.data(), fields) << source;

  ccArchive in(out.data());
  T back;
  in || back;
  EXPECT_TRUE(back == value) << source;
  EXPECT_TRUE(in.atEnd());
  Bytes v1 = out.data();
  v1[0] = 1;
  ccArchive future(v1);
  EXPECT_EQ(unknownVersionSource([&] { future || back; }), source);
}

TEST(PointAndLineShapes, ValueFormsRoundTrip) {
  expectValueForm(cc2Point(1, -2), "core/points");
  expectValueForm(ccPointSet({V(1, 2), V(-3, 4)}), "core/points");
  expectValueForm(ccLine(V(1, 2), V(3, 4)), "core/lines");
  expectValueForm(ccFLine(3.0, 4.0, -10.0), "core/lines");
  expectValueForm(ccLineSegSet({ccLineSeg(V(0, 0), V(1, 2))}), "core/lines");
  expectValueForm(ccAffineRectangle(V(1, 2), V(4, 3), V(0, 5)), "core/affinerect");
}

// ---- Polylines, polygons and rectangles

const ccPolyline& asPolyline(const ccShapePtrh& h) { return dynamic_cast<const ccPolyline&>(*h); }

// A five-pointed star drawn in one stroke: its centre is wound twice.
Points pentagram() {
  Points v;
  for (int k = 0; k < 5; ++k) {
    const double a = ccPi / 2 + k * 4 * ccPi / 5;
    v.push_back(V(10 * std::cos(a), 10 * std::sin(a)));
  }
  return v;
}

TEST(Polyline, ZeroLengthEdgesIndicesAndClampedSubShapes) {
  const ccPolyline p({V(0, 0), V(4, 0), V(4, 3)});
  EXPECT_THROW(p.vertex(3), ccShapesError::BadParams);
  EXPECT_THROW(ccPolyline({V(0, kNaN)}), ccShapesError::BadGeom);
  EXPECT_THROW(ccPolyline().boundingBox(), ccShapesError::EmptyShape);
  // A zero-length edge is skipped for the directions.
  const ccPolyline q({V(0, 0), V(0, 0), V(0, 2), V(0, 2)});
  EXPECT_DOUBLE_EQ(q.startAngle().toDouble(), ccPi / 2);
  EXPECT_DOUBLE_EQ(q.endAngle().toDouble(), ccPi / 2);
  EXPECT_THROW(ccPolyline({V(1, 1), V(1, 1)}).startAngle(), ccShapesError::NoTangent);
  EXPECT_EQ(asPolyline(p.subShape(1, 6)), ccPolyline({V(1, 0), V(4, 0), V(4, 2)}));
  EXPECT_EQ(asPolyline(p.subShape(-1, 99)), p);
  EXPECT_THROW(p.subShape(3, 2), ccShapesError::BadParams);
  // Spacing 1.5: the edges of 4 and 3 get 3 and 2 equal parts.
  const Points s = samplePositions(p, ccShape::ccSampleParams(1.5, 0));
  const Points expected{V(0, 0), V(4.0 / 3, 0), V(8.0 / 3, 0), V(4, 0), V(4, 1.5), V(4, 3)};
  ASSERT_EQ(s.size(), expected.size());
  for (std::size_t i = 0; i < s.size(); ++i) EXPECT_TRUE(cfRealEq(s[i], expected[i], 1e-15));
}

TEST(Polyline, AClosedOneWrapsThroughItsFirstVertex) {
  // Counter-clockwise square of side 2 in a y-up frame.
  const ccPolyline sq({V(0, 0), V(2, 0), V(2, 2), V(0, 2)}, true);
  EXPECT_TRUE(sq.within(V(2, 1)));  // the edges are inside
  EXPECT_EQ(sq.nearestPerimPos(V(-1, 0.5)), 7.5);
  EXPECT_EQ(asPolyline(sq.subShape(7, 1)), ccPolyline({V(0, 1), V(0, 0), V(1, 0)}));
  EXPECT_EQ(asPolyline(sq.subShape(1, 1 + 8)),
            ccPolyline({V(1, 0), V(2, 0), V(2, 2), V(0, 2), V(0, 0), V(1, 0)}));
  EXPECT_EQ(asPolyline(sq.reverse()), ccPolyline({V(0, 0), V(0, 2), V(2, 2), V(2, 0)}, true));
  // Duplicated corners: the inner vertex twice, and the return to the start.
  const ccPolyline tri({V(0, 0), V(4, 0), V(4, 3)}, true);
  EXPECT_EQ(samplePositions(tri, ccShape::ccSampleParams(0, 0, 100, true)),
            (Points{V(0, 0), V(4, 0), V(4, 0), V(4, 3), V(4, 3), V(0, 0)}));
}

TEST(Polygon, FillModesDecideTheInsideOfASelfCrossingOutline) {
  const ccPolygon alt(pentagram(), ccPolygon::eFillAlternate);
  const ccPolygon wind(pentagram(), ccPolygon::eFillWinding);
  EXPECT_FALSE(alt.within(V(0, 0)));
  EXPECT_TRUE(wind.within(V(0, 0)));
  EXPECT_FALSE(ccPolygon(pentagram()).within(V(0, 0)));
  EXPECT_FALSE(ccPolyline(pentagram(), true).within(V(0, 0)));
  for (const ccPolygon* p : {&alt, &wind}) {
    EXPECT_TRUE(p->within(V(0, 8)));  // in the top point
    EXPECT_FALSE(p->within(V(0, 11)));
  }
  EXPECT_THROW(ccPolygon(pentagram(), static_cast<ccPolygon::PolyFillMode>(3)),
               ccShapesError::BadParams);
  ccPolygon m = alt;
  EXPECT_THROW(m.fillMode(static_cast<ccPolygon::PolyFillMode>(-1)), ccShapesError::BadParams);
  EXPECT_EQ(m, alt);
  // A repeated first vertex closes the outline once.
  EXPECT_EQ(ccPolygon({V(0, 0), V(2, 0), V(2, 2), V(0, 2), V(0, 0)}).perimeter(), 8);
  EXPECT_EQ(alt.map(ccXform<2>(ccMatrix<2>(-1, 0, 0, 1), V())).fillMode(),
            ccPolygon::eFillAlternate);

  // A stored fill mode out of range is refused.
  ccArchive out;
  ccPolygon v = wind;
  out || v;
  std::vector<unsigned char> bytes = out.data();
  bytes[1] = 9;  // the fill mode's low byte follows the version byte
  ccArchive in(bytes);
  ccPolygon w;
  EXPECT_THROW(in || w, ccShapesError::BadParams);
  EXPECT_EQ(w, ccPolygon());
}

// The size is kept exactly, even beside a corner so large that the far corner rounds back
// onto it; a negative size flips onto the other side. The contour starts at ul.
TEST(RectContour, SizeIsKeptExactlyAndFlipsWhenNegative) {
  const double tiny = std::numeric_limits<double>::denorm_min();
  const ccRect far(V(-1e300, 3), V(tiny, 0.1));
  EXPECT_EQ(far.ul(), V(-1e300, 3));
  EXPECT_EQ(far.sz(), V(tiny, 0.1));
  const ccRect flipped(V(1, 2), V(-4, -3));
  EXPECT_EQ(flipped.ul(), V(-3, -1));
  EXPECT_EQ(flipped.sz(), V(4, 3));
  EXPECT_THROW(ccRect(V(1e308, 0), V(1e308, 1)), ccShapesError::BadGeom);
  const ccRect r(V(1, 2), V(4, 3));
  EXPECT_EQ(samplePositions(r, ccShape::ccSampleParams(2, 0)),
            (Points{V(1, 2), V(3, 2), V(5, 2), V(5, 3.5), V(5, 5), V(3, 5), V(1, 5), V(1, 3.5)}));
  EXPECT_EQ(asPolyline(r.subShape(12, 16)), ccPolyline({V(1, 4), V(1, 2), V(3, 2)}));
}

// The rectangle is closed: its edges are within. From inside, the nearest point is on the
// nearest side; every setter counts a change; a null rectangle encloses nothing.
TEST(Rect, EdgesNearestSidesAndChangeCounts) {
  const ccRect r(V(1, 2), V(4, 3));  // x 1 to 5, y 2 to 5
  for (const V& p : {V(1, 2), V(5, 2), V(5, 5), V(1, 5), V(3, 2), V(5, 3.5)})
    EXPECT_TRUE(r.within(p)) << p;
  for (const V& p : {V(5.001, 3), V(0.999, 3), V(3, 1.999), V(3, 5.001)})
    EXPECT_FALSE(r.within(p)) << p;
  const V from[] = {V(1.5, 3.5), V(4.5, 3.5), V(3, 2.25), V(3, 4.75), V(7, 9)};
  const V nearest[] = {V(1, 3.5), V(5, 3.5), V(3, 2), V(3, 5), V(5, 5)};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(r.nearestPoint(from[i]), nearest[i]) << from[i];
  EXPECT_EQ(r.distanceToPoint(V(3, 4.75)), 0.25);
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

TEST(AffineRectangle, FormsAndDegenerateCorners) {
  // A square of side 2, turned by 45 degrees about Po = (0, 0).
  const double h = std::sqrt(2.0);
  const ccAffineRectangle r(V(0, 0), V(h, h), V(-h, h));
  EXPECT_TRUE(cfRealEq(r.cornerOpposite(), V(0, 2 * h), 1e-15));
  EXPECT_NEAR(r.area(), 4, 1e-14);
  EXPECT_THROW(ccAffineRectangle(V(0, 0), V(kNaN, 1), V(0, 1)), ccShapesError::BadGeom);
  EXPECT_FALSE(ccAffineRectangle(V(0, 0), V(1, 0), V(2, 0)).isRightHanded());  // collinear
  const ccAffineRectangle c =
      ccAffineRectangle::fromCenter(V(10, 10), 4, 2, ccRadian(ccPi / 2), ccRadian(ccPi / 2));
  EXPECT_TRUE(cfRealEq(c.cornerPo(), V(11, 8), 1e-14));
  EXPECT_TRUE(cfRealEq(c.cornerPx(), V(11, 12), 1e-14));
  EXPECT_TRUE(cfRealEq(c.cornerPy(), V(9, 8), 1e-14));
  EXPECT_THROW(ccAffineRectangle::fromCenter(V(), -1, 1, ccRadian(0), ccRadian(0)),
               ccShapesError::BadParams);
  const ccXform<2> x(ccMatrix<2>(2, 1, 0, 3), V(5, 6));
  EXPECT_EQ(ccAffineRectangle(x).xform(), x);
  EXPECT_EQ(asPolyline(ccAffineRectangle(x).decompose()),
            ccPolyline({V(5, 6), V(7, 6), V(8, 9), V(6, 9)}, true));
}

TEST(CoordAxes, DegenerateWhenTheAxesAreParallel) {
  EXPECT_FALSE(ccCoordAxes(V(1, 1), V(4, 1), V(1, 3)).degen());
  EXPECT_TRUE(ccCoordAxes(V(1, 1), V(3, 3), V(-1, -1)).degen());  // parallel, opposite
  EXPECT_TRUE(ccCoordAxes(V(0, 0), V(1e-3, 2e-3), V(3e8, 6e8)).degen());
  EXPECT_FALSE(ccCoordAxes(V(0, 0), V(1, 0), V(1, 1e-9)).degen());
  EXPECT_THROW(ccCoordAxes(V(0, 0), V(0, 0), V(0, kNaN)), ccShapesError::BadGeom);
}

}  // namespace
