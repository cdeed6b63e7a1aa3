// Point and line shapes: ccPoint, cc2Point, ccPointSet, ccCross, ccLineSeg, ccLineSegSet,
// ccLine, ccFLine.
#include <core/affinerect.h>
#include <core/archive.h>
#include <core/lines.h>
#include <core/points.h>
#include <core/polyline.h>

#include "shapetesting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <type_traits>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
using V = ccVector<2>;

// Overloads as a tablet has them: a vector argument must pick the ccPoint one.
int which(const ccPoint&) { return 1; }
int which(const cc2Point&) { return 2; }

// ---- ccPoint and cc2Point

TEST(Point, ComparesByCoordinatesAndEqualByClass) {
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
}

TEST(Point, RejectsNonFiniteAndNotesChanges) {
  EXPECT_THROW(ccPoint(kNaN, 0), ccShapesError::BadGeom);
  EXPECT_THROW(cc2Point(0, kInf), ccShapesError::BadGeom);
  ccPoint p(1, 2);
  const unsigned long before = p.changeCount();
  p.x(5);
  p += V(1, 1);
  EXPECT_EQ(p, V(6, 3));
  EXPECT_EQ(p.changeCount(), before + 2);
}

TEST(Point, MappingKeepsTheClass) {
  const ccPoint p(3, 4);
  const ccXform<2> x(ccMatrix<2>(0, -2, 2, 0), V(1, 1));  // rotate 90 degrees, scale 2
  EXPECT_TRUE(*p.mapShape(x) == ccPoint(-7, 7));
  EXPECT_TRUE(dynamic_cast<cc2Point*>(cc2Point(3, 4).mapShape(x).get()));
}

// ---- ccPointSet

TEST(PointSet, QueriesMapAndArchive) {
  const ccPointSet s({V(1, 5), V(-2, 3), V(4, -1)});
  EXPECT_THROW(s.point(3), ccShapesError::BadParams);
  EXPECT_THROW(ccPointSet().boundingBox(), ccShapesError::EmptyShape);
  EXPECT_THROW(ccPointSet({V(0, kNaN)}), ccShapesError::BadGeom);
  const ccXform<2> x(ccMatrix<2>(2, 0, 0, 3), V(1, 0));
  EXPECT_EQ(s.map(x), ccPointSet({V(3, 15), V(-3, 9), V(9, -3)}));
}

// ---- ccCross

TEST(Cross, MapKeepsArmLengthAndMapsAngle) {
  const ccCross c(V(1, 2), ccRadian(0), 7);
  // Rotation by 90 degrees and scale 3: the arms stay 7 pixels.
  const ccXform<2> x(ccMatrix<2>(0, -3, 3, 0), V(10, 0));
  const ccCross m = c.map(x);
  EXPECT_EQ(m.origin(), V(4, 3));
  EXPECT_NEAR(m.angle().toDouble(), ccPi / 2, 1e-15);
  EXPECT_EQ(m.armlength(), 7);
  // A shear changes the direction of the first arm.
  const ccXform<2> shear(ccMatrix<2>(1, 1, 0, 1), V());
  EXPECT_NEAR(ccCross(V(), ccRadian(ccPi / 2), 3).map(shear).angle().toDouble(), ccPi / 4, 1e-15);
}

TEST(Cross, Validates) {
  EXPECT_THROW(ccCross(V(0, 0), ccRadian(0), -1), ccShapesError::BadParams);
  EXPECT_NO_THROW(ccCross(V(0, 0), ccRadian(0), 0));
  EXPECT_THROW(ccCross(V(0, 0), ccRadian(kInf), 1), ccShapesError::BadGeom);
}

// ---- ccLineSeg

TEST(LineSeg, Geometry) {
  const ccLineSeg s(V(1, 1), V(4, 5));
  EXPECT_TRUE(cfRealEq(s.nearestPoint(V(5, 1)), V(2.44, 2.92), 1e-15));
  EXPECT_NEAR(s.nearestPerimPos(V(5, 1)), 2.4, 1e-15);
  EXPECT_DOUBLE_EQ(s.startAngle().toDouble(), std::atan2(4.0, 3.0));
  EXPECT_THROW(ccLineSeg(V(1, 1), V(1, 1)).startAngle(), ccShapesError::NoTangent);
}

TEST(LineSeg, ReverseSubShapeSampleMap) {
  const ccLineSeg s(V(0, 0), V(10, 0));
  EXPECT_TRUE(*s.reverse() == ccLineSeg(V(10, 0), V(0, 0)));
  EXPECT_TRUE(*s.subShape(2, 7) == ccLineSeg(V(2, 0), V(7, 0)));
  EXPECT_TRUE(*s.subShape(-5, 50) == s);
  EXPECT_THROW(s.subShape(7, 2), ccShapesError::BadParams);
  ccShape::ccSampleResult res;
  s.sample(ccShape::ccSampleParams(3, 0), res);  // 4 parts of 2.5
  ASSERT_EQ(res.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(res.positions()[i], V(2.5 * i, 0));
  EXPECT_EQ(s.map(ccXform<2>(ccMatrix<2>(1, 2, 0, 1), V(0, 1))), ccLineSeg(V(0, 1), V(10, 1)));
}

// ---- ccLineSegSet

TEST(LineSegSet, Queries) {
  const ccLineSegSet set({ccLineSeg(V(0, 0), V(2, 0)), ccLineSeg(V(5, 5), V(5, 9))});
  EXPECT_EQ(set.perimeter(), 6);
  EXPECT_THROW(set.segment(2), ccShapesError::BadParams);
  const ccXform<2> x(ccMatrix<2>(-1, 0, 0, 1), V());
  EXPECT_EQ(set.map(x),
            ccLineSegSet({ccLineSeg(V(0, 0), V(-2, 0)), ccLineSeg(V(-5, 5), V(-5, 9))}));
}

// ---- ccLine

TEST(Line, ConstructionAndInfiniteness) {
  const ccLine l(V(0, 2), V(1, 1));
  EXPECT_EQ(l.dir(), V(0, 2));  // kept as given
  EXPECT_THROW(l.boundingBox(), ccShapesError::BadGeom);
  EXPECT_THROW(ccLine(V(0, 0), V(1, 1)), ccShapesError::DegenerateShape);
  EXPECT_THROW(ccLine(V(1, 0), V(kNaN, 1)), ccShapesError::BadGeom);
  const ccLine a(ccRadian(ccPi / 2), V(3, 0));
  EXPECT_NEAR(a.dir().x(), 0, 1e-16);
  EXPECT_EQ(a.dir().y(), 1);
  ccLine m = l;
  EXPECT_THROW(m.dir(V(0, 0)), ccShapesError::DegenerateShape);
  EXPECT_EQ(m, l);
}

TEST(Line, NearestDistanceMapReverse) {
  const ccLine l(V(3, 4), V(0, 1));
  // The foot of (5, -5) on the line through (0, 1) along (3, 4).
  EXPECT_TRUE(cfRealEq(l.nearestPoint(V(4, -2)), V(0, 1), 1e-15));
  EXPECT_NEAR(l.distanceToPoint(V(4, -2)), 5, 1e-15);
  EXPECT_EQ(l.map(ccXform<2>(ccMatrix<2>(2, 0, 0, 1), V(1, 0))), ccLine(V(6, 4), V(1, 1)));
  const ccXform<2> flat(ccMatrix<2>(4, -3, 0, 0), V());  // sends (3, 4) to (0, 0)
  EXPECT_THROW(l.map(flat), ccShapesError::DegenerateShape);
  EXPECT_TRUE(*l.reverse() == ccLine(V(-3, -4), V(0, 1)));
}

// ---- ccFLine

TEST(FLine, ImplicitFormFromPoints) {
  const ccFLine f(V(0, 1), V(4, 4));  // direction (0.8, 0.6)
  EXPECT_NEAR(f.cosAngle(), 0.8, 1e-15);
  EXPECT_NEAR(f.signedDistance(V(4, 4)), 0, 1e-15);
  // Left of the direction is positive: (0, 1) + 5 (-0.6, 0.8).
  EXPECT_NEAR(f.signedDistance(V(-3, 5)), 5, 1e-14);
  EXPECT_NEAR(f.distanceToPoint(V(3, -3)), 5, 1e-14);
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

TEST(FLine, MapReverseArchive) {
  const ccFLine f(V(1, 0), V(1, 1));                     // x = 1, upwards
  const ccXform<2> x(ccMatrix<2>(2, 0, 0, 1), V(3, 0));  // x -> 2x + 3
  const ccFLine m = f.map(x);
  EXPECT_NEAR(m.signedDistance(V(5, 17)), 0, 1e-14);
  EXPECT_NEAR(m.sinAngle(), 1, 1e-15);
  const ccFLine r = dynamic_cast<const ccFLine&>(*f.reverse());
  EXPECT_NEAR(r.sinAngle(), -1, 1e-15);
  EXPECT_NEAR(r.signedDistance(V(1, 9)), 0, 1e-15);
  const ccXform<2> flat(ccMatrix<2>(1, 0, 0, 0), V());
  EXPECT_THROW(f.map(flat), ccShapesError::DegenerateShape);
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
    ASSERT_EQ(twice.a(), once.a()) << std::hexfloat << a << " " << b;
    ASSERT_EQ(twice.b(), once.b()) << std::hexfloat << a << " " << b;
    ASSERT_EQ(twice.c(), once.c()) << std::hexfloat << a << " " << b;
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
  check(
      seg, [&] { seg.p1(V(2, 0)); }, [&] { seg.p1(bad); }, "p1");
  check(
      seg, [&] { seg.p2(V(0, 2)); }, [&] { seg.p2(bad); }, "p2");
  check(
      line, [&] { line.pos(V(3, 3)); }, [&] { line.pos(bad); }, "pos");
  check(
      line, [&] { line.dir(V(0, 1)); }, [&] { line.dir(V()); }, "dir");
  check(
      set, [&] { set.add(V(2, 2)); }, [&] { set.add(bad); }, "add");
  check(
      set, [&] { set.points({V(5, 5)}); },
      [&] {
        set.points({V(), bad});
      },
      "points");
  check(
      cross, [&] { cross.origin(V(1, 1)); }, [&] { cross.origin(bad); }, "origin");
  check(
      cross, [&] { cross.angle(ccRadian(1)); }, [&] { cross.angle(ccRadian(kInf)); }, "angle");
  check(
      cross, [&] { cross.armlength(0); }, [&] { cross.armlength(-1); }, "armlength");
  ccCoordAxes axes(V(0, 0), V(1, 0), V(0, 1));
  check(
      axes, [&] { axes.origin(V(1, 1)); }, [&] { axes.origin(bad); }, "axes origin");
  check(
      axes, [&] { axes.xEnd(V(2, 0)); }, [&] { axes.xEnd(bad); }, "xEnd");
  check(
      axes, [&] { axes.yEnd(V(0, 2)); }, [&] { axes.yEnd(bad); }, "yEnd");
}

// The value forms (a shape stored in place, without its class name) hold the fields of the
// shape's record, load back equal and refuse a version byte 1 naming their source.
template <class T>
void expectValueForm(T value, const std::string& source) {
  ccArchive out, record;
  out || value;
  value.dispatchSerialize(record);
  std::vector<unsigned char> fields = record.data();
  fields.erase(fields.begin() + 1);  // the shape base's version byte
  EXPECT_EQ(out.data(), fields) << source;

  ccArchive in(out.data());
  T back;
  in || back;
  EXPECT_TRUE(back == value) << source;
  EXPECT_TRUE(in.atEnd());
  std::vector<unsigned char> v1 = out.data();
  v1[0] = 1;
  ccArchive future(v1);
  try {
    future || back;
    ADD_FAILURE() << "loaded version 1 of " << source;
  } catch (const ccArchive::UnknownVersion& e) {
    EXPECT_EQ(e.source(), source);
  }
}

TEST(PointAndLineShapes, ValueFormsRoundTrip) {
  expectValueForm(cc2Point(1, -2), "core/points");
  expectValueForm(ccPointSet({V(1, 2), V(-3, 4)}), "core/points");
  expectValueForm(ccLine(V(1, 2), V(3, 4)), "core/lines");
  expectValueForm(ccFLine(3.0, 4.0, -10.0), "core/lines");
  expectValueForm(ccLineSegSet({ccLineSeg(V(0, 0), V(1, 2))}), "core/lines");
  expectValueForm(ccAffineRectangle(V(1, 2), V(4, 3), V(0, 5)), "core/affinerect");
}

}  // namespace
