// Bézier curves and splines: geometry, sampling, conversion, mapping and archives.
#include <core/shapetree.h>
#include <core/splines.h>

#include "shapetesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using V = ccVector<2>;
using Pts = std::vector<V>;

const double kSqrt3 = std::sqrt(3.0);

// The circular arc of 120 degrees from -60 to 60 degrees on the unit circle: tangents meet at
// (2, 0), weight cos(60 degrees).
ccBezierCurve arc120() {
  return ccBezierCurve::quadraticArc(V(0.5, -kSqrt3 / 2), V(2, 0), V(0.5, kSqrt3 / 2), 0.5);
}

// An S-shaped polynomial curve.
ccBezierCurve sCurve() { return ccBezierCurve(V(0, 0), V(1, 3), V(2, -3), V(3, 0)); }

// Cox-de Boor recursion: the cubic B-spline basis function i at u (right-open intervals,
// the domain's end taken from the left).
double basis(const std::vector<double>& u, int i, int p, double x, double end) {
  if (p == 0) {
    if (x == end) return u[i] < end && u[i + 1] == end ? 1 : 0;
    return u[i] <= x && x < u[i + 1] ? 1 : 0;
  }
  double a = 0, b = 0;
  if (u[i + p] > u[i]) a = (x - u[i]) / (u[i + p] - u[i]) * basis(u, i, p - 1, x, end);
  if (u[i + p + 1] > u[i + 1])
    b = (u[i + p + 1] - x) / (u[i + p + 1] - u[i + 1]) * basis(u, i + 1, p - 1, x, end);
  return a + b;
}

V deBoorReference(const Pts& d, const std::vector<double>& u, double x) {
  V s;
  const double end = u[d.size()];
  for (std::size_t i = 0; i < d.size(); ++i) s += d[i] * basis(u, static_cast<int>(i), 3, x, end);
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// ccBezierCurve

TEST(BezierCurve, RationalQuadraticArcIsExactlyCircular) {
  const ccBezierCurve c = arc120();
  EXPECT_TRUE(c.isRational());
  for (int i = 0; i <= 100; ++i) EXPECT_NEAR(c.point(i / 100.0).length(), 1.0, 1e-15);
  EXPECT_TRUE(cfRealEq(c.point(0.5), V(1, 0), 1e-15));
  // Tangent at the start is perpendicular to the radius.
  EXPECT_NEAR(c.derivative(0).dot(c.startPoint()), 0, 1e-14);
  EXPECT_NEAR(c.perimeter(), 2 * ccPi / 3, 1e-13);
}

TEST(BezierCurve, ConstructionChecksItsValues) {
  const double nan = std::nan("");
  EXPECT_THROW(ccBezierCurve(V(nan, 0), V(), V(), V()), ccShapesError::BadGeom);
  for (double w : {0.0, -1.0, double(INFINITY)})
    EXPECT_THROW(ccBezierCurve(ccBezierCurve::Points{}, {1, w, 1, 1}), ccShapesError::BadCoef);
  EXPECT_THROW(ccBezierCurve::quadraticArc(V(), V(1, 1), V(2, 0), 0), ccShapesError::BadCoef);

  ccBezierCurve c = sCurve();
  const ccBezierCurve before = c;
  EXPECT_THROW(c.weight(2, 0), ccShapesError::BadCoef);
  EXPECT_THROW(c.controlPoint(1, V(INFINITY, 0)), ccShapesError::BadGeom);
  EXPECT_THROW(c.controlPoint(4, V()), ccShapesError::BadParams);
  EXPECT_EQ(c, before);
}

// The 120-degree arc reaches x = 1 inside, where no control point lies.
TEST(BezierCurve, BoundingBoxIsExactForARationalArc) {
  const ccRect b = arc120().boundingBox();
  EXPECT_TRUE(cfRealEq(b.ul(), V(0.5, -kSqrt3 / 2), 1e-15));
  EXPECT_TRUE(cfRealEq(b.lr(), V(1, kSqrt3 / 2), 1e-15));
}

TEST(BezierCurve, TabletSamplingHasNoDuplicatePoints) {
  const ccBezierCurve c = sCurve().map(ccXform<2>(ccMatrix<2>(40, 0, 0, 40), V()));
  ccShape::ccSampleResult r(500);
  c.sample(ccShape::ccSampleParams(0, 1.0 / 2.5, 5000, false), r);
  const Pts& v = r.positions();
  for (std::size_t i = 1; i < v.size(); ++i) EXPECT_NE(v[i], v[i - 1]);
  EXPECT_LT(v.size(), 200u);
}

TEST(BezierCurve, SamplingHonoursSpacingAndMaxPoints) {
  const ccBezierCurve c = sCurve();
  ccShape::ccSampleResult r;
  // Too fine for 7 points: exactly 7, at equal arc lengths.
  c.sample(ccShape::ccSampleParams(0, 1e-9, 7), r);
  ASSERT_EQ(r.size(), 7u);
  for (std::size_t i = 0; i < 7; ++i)
    EXPECT_NEAR(c.nearestPerimPos(r.positions()[i]), c.perimeter() * i / 6, 1e-9);

  // Uniform: the fewest equal parts no longer than the spacing.
  const ccBezierCurve arc = arc120();  // length 2 pi / 3 = 2.094...
  arc.sample(ccShape::ccSampleParams(0.5, 0, 10000, false, true), r);
  ASSERT_EQ(r.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    const double angle = -ccPi / 3 + 2 * ccPi / 3 * i / 5;
    EXPECT_TRUE(cfRealEq(r.positions()[i], V(std::cos(angle), std::sin(angle)), 1e-12));
  }
}

TEST(BezierCurve, ArcLengthPositionsAndSubShapes) {
  const ccBezierCurve arc = arc120();
  EXPECT_NEAR(arc.nearestPerimPos(V(2, 0)), ccPi / 3, 1e-12);
  const ccShapePtrh sub = arc.subShape(ccPi / 6, ccPi / 2);
  const auto& piece = dynamic_cast<const ccBezierCurve&>(*sub);
  EXPECT_TRUE(cfRealEq(piece.startPoint(), V(std::cos(-ccPi / 6), std::sin(-ccPi / 6)), 1e-12));
  for (int i = 0; i <= 20; ++i) EXPECT_NEAR(piece.point(i / 20.0).length(), 1, 1e-14);
}

TEST(BezierCurve, AffineMapIsExact) {
  const ccBezierCurve arc = arc120();
  const ccXform<2> x(ccMatrix<2>(2, 1, -0.5, 3), V(5, -7));
  const ccBezierCurve m = arc.map(x);
  for (int i = 0; i <= 4; ++i)
    EXPECT_TRUE(cfRealEq(m.point(i / 4.0), x * arc.point(i / 4.0), 1e-13));
}

// ---------------------------------------------------------------------------------------
// ccCubicSpline

TEST(CubicSpline, ChainOfCurvesWithAGap) {
  const ccBezierCurve a(V(0, 0), V(1, 1), V(2, 1), V(3, 0));
  const ccBezierCurve b(V(3, 0), V(4, -1), V(5, -1), V(6, 0));
  const ccBezierCurve c(V(10, 0), V(10, 1), V(11, 1), V(11, 0));  // after a gap
  const ccCubicSpline s({a, b, c});
  EXPECT_THROW(s.curve(3), ccShapesError::BadParams);
  const ccRect box = s.boundingBox();
  EXPECT_TRUE(cfRealEq(box.ul(), V(0, -0.75), 1e-15));
  EXPECT_TRUE(cfRealEq(box.lr(), V(11, 0.75), 1e-15));
  // Nothing joins the gap: the nearest point to (8, 0) is an end of it.
  EXPECT_NEAR(s.distanceToPoint(V(8, 0)), 2, 1e-12);

  ccShape::ccSampleResult r;
  s.sample(ccShape::ccSampleParams(0, 1e-3), r);
  std::size_t joint = 0, gapEnds = 0;
  for (const V& p : r.positions()) {
    joint += p == V(3, 0);
    gapEnds += p == V(6, 0) || p == V(10, 0);
  }
  EXPECT_EQ(joint, 1u);
  EXPECT_EQ(gapEnds, 2u);
  s.sample(ccShape::ccSampleParams(0, 1e-3, 10000, true), r);
  joint = 0;
  for (const V& p : r.positions()) joint += p == V(3, 0);
  EXPECT_EQ(joint, 2u);

  const ccShapePtrh sub = s.subShape(a.perimeter() / 2, a.perimeter() + b.perimeter() / 2);
  const auto& piece = dynamic_cast<const ccCubicSpline&>(*sub);
  ASSERT_EQ(piece.numSegments(), 2);
  EXPECT_TRUE(cfRealEq(piece.startPoint(), V(1.5, 0.75), 1e-12));
  EXPECT_TRUE(cfRealEq(piece.endPoint(), V(4.5, -0.75), 1e-12));
}

// ---------------------------------------------------------------------------------------
// ccDeBoorSpline

TEST(DeBoorSpline, ConversionAgreesWithDirectEvaluation) {
  const Pts d{V(0, 0), V(1, 3), V(3, 4), V(5, 1), V(6, -2), V(8, 0), V(9, 3)};
  const std::vector<double> knots{0, 0, 0, 0, 0.5, 2, 2, 3.5, 3.5, 3.5, 3.5};
  const ccDeBoorSpline s(d, knots);
  // Non-empty spans of the domain [0, 3.5]: [0, 0.5], [0.5, 2], [2, 3.5].
  ASSERT_EQ(s.numSegments(), 3);
  const double spans[][2] = {{0, 0.5}, {0.5, 2}, {2, 3.5}};
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i <= 10; ++i) {
      const double t = i / 10.0, u = spans[k][0] + t * (spans[k][1] - spans[k][0]);
      const V ref = deBoorReference(d, knots, u);
      EXPECT_TRUE(cfRealEq(s.curve(k).point(t), ref, 1e-13)) << k << " " << t;
      EXPECT_TRUE(cfRealEq(s.point(u), ref, 1e-13));
    }
  }
}

TEST(DeBoorSpline, StandardKnotVectors) {
  const Pts d{V(0, 0), V(6, 0), V(6, 6), V(0, 6), V(0, 12)};
  const ccDeBoorSpline clamped(d, ccDeBoorSpline::eClamped);
  EXPECT_EQ(clamped.knots(), (std::vector<double>{0, 0, 0, 0, 1, 2, 2, 2, 2}));
  EXPECT_TRUE(cfRealEq(clamped.endPoint(), d.back(), 1e-15));

  // Uniform: each segment is (d0 + 4 d1 + d2) / 6, (2 d1 + d2) / 3, (d1 + 2 d2) / 3,
  // (d1 + 4 d2 + d3) / 6.
  const ccDeBoorSpline uniform(d, ccDeBoorSpline::eUniform);
  EXPECT_EQ(uniform.domainStart(), 3);
  ASSERT_EQ(uniform.numSegments(), 2);
  const auto& q = uniform.curve(0).controlPoints();
  EXPECT_TRUE(cfRealEq(q[0], V(5, 1), 1e-14));
  EXPECT_TRUE(cfRealEq(q[1], V(6, 2), 1e-14));
  EXPECT_TRUE(cfRealEq(q[2], V(6, 4), 1e-14));
  EXPECT_TRUE(cfRealEq(q[3], V(5, 5), 1e-14));
  EXPECT_EQ(uniform.curve(1).startPoint(), uniform.curve(0).endPoint());
}

TEST(DeBoorSpline, ChecksItsInput) {
  const Pts d{V(0, 0), V(1, 0), V(2, 1), V(3, 0)};
  EXPECT_THROW(ccDeBoorSpline(Pts(d.begin(), d.end() - 1), ccDeBoorSpline::eClamped),
               ccShapesError::BadParams);
  EXPECT_THROW(ccDeBoorSpline(d, std::vector<double>{0, 0, 0, 0, 1, 1, 1}), ccShapesError::BadCoef);
  EXPECT_THROW(ccDeBoorSpline(d, std::vector<double>{0, 0, 0, 1, 0.5, 1, 1, 1}),
               ccShapesError::BadCoef);
  EXPECT_THROW(ccDeBoorSpline(d, std::vector<double>{0, 0, 0, 1, 1, 2, 2, 2}),
               ccShapesError::BadCoef);  // u_3 == u_n: empty domain
  EXPECT_THROW(ccDeBoorSpline({V(0, 0), V(1, 0), V(NAN, 1), V(3, 0)}, ccDeBoorSpline::eUniform),
               ccShapesError::BadGeom);
  ccDeBoorSpline s(d, ccDeBoorSpline::eClamped);
  const ccDeBoorSpline before = s;
  EXPECT_THROW(s.set(d, std::vector<double>{0, 1}), ccShapesError::BadCoef);
  EXPECT_EQ(s.curves(), before.curves());
}

TEST(DeBoorSpline, MapAndReverse) {
  const Pts d{V(0, 0), V(1, 3), V(3, 4), V(5, 1), V(6, -2)};
  const ccDeBoorSpline s(d, ccDeBoorSpline::eUniform);
  const ccXform<2> x(ccMatrix<2>(1, 2, 0, 3), V(1, 1));
  const ccDeBoorSpline m = s.map(x);
  EXPECT_TRUE(cfRealEq(m.point(3.75), x * s.point(3.75), 1e-13));

  const ccShapePtrh rh = s.reverse();
  const auto& r = dynamic_cast<const ccDeBoorSpline&>(*rh);
  const double sum = s.knots().front() + s.knots().back();
  for (double u = 3; u <= 5; u += 0.25) EXPECT_TRUE(cfRealEq(r.point(sum - u), s.point(u), 1e-13));
}

// ---------------------------------------------------------------------------------------
// ccInterpSpline

TEST(InterpSpline, NaturalSplinePassesThroughItsPoints) {
  const Pts p{V(0, 0), V(1, 2), V(3, 3), V(4, 1), V(7, 2)};
  const ccInterpSpline s(p);
  ASSERT_EQ(s.numSegments(), 4);
  EXPECT_EQ(s.params(), ccInterpSpline::chordLengthParams(p));
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(s.curve(i).startPoint(), p[i]);
    EXPECT_EQ(s.curve(i).endPoint(), p[i + 1]);
  }
  // Derivatives with respect to the chord-length parameter: C1 and C2 at the joints, second
  // derivative 0 at the ends.
  auto h = [&](std::size_t i) { return s.params()[i + 1] - s.params()[i]; };
  auto second = [&](std::size_t i, bool atEnd) {
    const auto& q = s.curve(i).controlPoints();
    const V d2 = atEnd ? (q[3] - 2 * q[2] + q[1]) * 6 : (q[2] - 2 * q[1] + q[0]) * 6;
    return d2 / (h(i) * h(i));
  };
  for (std::size_t i = 0; i + 1 < 4; ++i) {
    EXPECT_TRUE(
        cfRealEq(s.curve(i).derivative(1) / h(i), s.curve(i + 1).derivative(0) / h(i + 1), 1e-13));
    EXPECT_TRUE(cfRealEq(second(i, true), second(i + 1, false), 1e-12));
  }
  EXPECT_TRUE(cfRealEq(second(0, false), V(0, 0), 1e-13));
  EXPECT_TRUE(cfRealEq(second(3, true), V(0, 0), 1e-13));
}

TEST(InterpSpline, ClampedEndsHaveTheirTangents) {
  const Pts p{V(0, 0), V(2, 1), V(4, 0)};
  const ccInterpSpline s(p, V(0, 1), V(1, -1));
  EXPECT_EQ(s.endCondition(), ccInterpSpline::eClamped);
  const double h0 = s.params()[1], h1 = s.params()[2] - s.params()[1];
  EXPECT_TRUE(cfRealEq(s.curve(0).derivative(0) / h0, V(0, 1), 1e-14));
  EXPECT_TRUE(cfRealEq(s.curve(1).derivative(1) / h1, V(1, -1), 1e-14));
}

TEST(InterpSpline, ChecksItsInputAndMapsExactly) {
  EXPECT_THROW(ccInterpSpline({V(0, 0)}), ccShapesError::BadParams);
  EXPECT_THROW(ccInterpSpline({V(0, 0), V(0, 0), V(1, 1)}), ccShapesError::BadGeom);
  EXPECT_THROW(ccInterpSpline({V(0, 0), V(1, 1)}, {0, 0}, ccInterpSpline::eNatural),
               ccShapesError::BadCoef);

  // A non-uniform scale keeps the parameters, so the map is the mapped curve exactly.
  const ccInterpSpline s({V(0, 0), V(1, 2), V(3, 3), V(4, 1)}, V(1, 0), V(0, -1));
  const ccXform<2> x(ccMatrix<2>(5, 0, 0, 0.5), V(2, 0));
  const ccInterpSpline m = s.map(x);
  EXPECT_EQ(m.params(), s.params());
  for (long i = 0; i < s.numSegments(); ++i)
    for (int k = 0; k <= 8; ++k)
      EXPECT_TRUE(cfRealEq(m.curve(i).point(k / 8.0), x * s.curve(i).point(k / 8.0), 1e-13));

  const ccShapePtrh r = s.reverse();
  for (int k = 0; k <= 8; ++k)
    EXPECT_TRUE(cfRealEq(dynamic_cast<const ccInterpSpline&>(*r).curve(2).point(k / 8.0),
                         s.curve(0).point(1 - k / 8.0), 1e-13));
}

// ---------------------------------------------------------------------------------------
// ccHermiteSpline

TEST(HermiteSpline, TangentsHoldAtTheJoints) {
  const Pts p{V(0, 0), V(2, 2), V(5, 0), V(6, 4)};
  const Pts t{V(3, 0), V(1, 1), V(0, -4), V(2, 2)};
  const ccHermiteSpline s(p, t);
  ASSERT_EQ(s.numSegments(), 3);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(s.curve(i).startPoint(), p[i]);
    EXPECT_EQ(s.curve(i).endPoint(), p[i + 1]);
    EXPECT_TRUE(cfRealEq(s.curve(i).derivative(0), t[i], 1e-14));
    EXPECT_TRUE(cfRealEq(s.curve(i).derivative(1), t[i + 1], 1e-14));
  }
  EXPECT_THROW(ccHermiteSpline(p, Pts(t.begin(), t.end() - 1)), ccShapesError::BadParams);

  // The defining class and its plain chain are different shapes.
  EXPECT_FALSE(s.equal(s.cubicSpline()));
}
