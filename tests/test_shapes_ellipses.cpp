// Circles, ellipses, elliptical arcs and annuli: construction, exact geometry, mapping,
// sampling and archives.
#include <core/archive.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/lines.h>
#include <core/shapetree.h>

#include "shapetesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kTwoPi = 2 * ccPi;

using V = ccVector<2>;

ccRadian rad(double v) { return ccRadian(v); }

double distToSegment(const V& p, const V& a, const V& b) {
  const V ab = b - a;
  const double l2 = ab.lengthSq();
  const double t = l2 > 0 ? std::clamp((p - a).dot(ab) / l2, 0.0, 1.0) : 0;
  return (p - (a + ab * t)).length();
}

double distToPolyline(const V& p, const std::vector<V>& pts, bool closed) {
  double d = kInf;
  for (std::size_t i = 0; i + 1 < pts.size(); ++i)
    d = std::min(d, distToSegment(p, pts[i], pts[i + 1]));
  if (closed && pts.size() > 1) d = std::min(d, distToSegment(p, pts.back(), pts.front()));
  if (pts.size() == 1) d = (p - pts[0]).length();
  return d;
}

std::vector<V> samples(const ccShape& s, const ccShape::ccSampleParams& sp) {
  ccShape::ccSampleResult r;
  s.sample(sp, r);
  return r.positions();
}

// Points of the parametric arc point(t), t from t0 over span.
template <class F>
std::vector<V> dense(F point, double t0, double span, int n = 4000) {
  std::vector<V> out;
  for (int i = 0; i <= n; ++i) out.push_back(point(t0 + span * i / n));
  return out;
}

ccXform<2> shear() { return ccXform<2>(ccMatrix<2>(1, 1, 0, 1), V(3, -2)); }
ccXform<2> mirror() { return ccXform<2>(ccMatrix<2>(1, 0, 0, -1), V(0.5, 0)); }
ccXform<2> general() { return ccXform<2>(ccMatrix<2>(2, -0.7, 0.4, -1.3), V(-4, 7)); }
ccXform<2> similarity() { return ccXform<2>(V(1, 2), ccRadian(0.6), ccRadian(0.6), 2.5, 2.5); }

// Composite Simpson arc length of c + m (cos t, sin t) for t in [a, b].
double numericArcLength(const ccMatrix<2>& m, double a, double b, int n = 20000) {
  auto speed = [&](double t) { return (m * V(-std::sin(t), std::cos(t))).length(); };
  const double h = (b - a) / n;
  double sum = speed(a) + speed(b);
  for (int i = 1; i < n; ++i) sum += speed(a + i * h) * (i % 2 ? 4 : 2);
  return sum * h / 3;
}

// Ellipse perimeter by the arithmetic-geometric mean (Gauss-Kummer), independent of the
// library's elliptic integrals.
double agmPerimeter(double a, double b) {
  double an = a, bn = b, cn2 = a * a - b * b, sum = 0.5 * cn2, pow2 = 0.5;
  for (int i = 0; i < 40 && cn2 > 0; ++i) {
    const double cn = (an - bn) / 2;
    const double a1 = (an + bn) / 2, b1 = std::sqrt(an * bn);
    an = a1;
    bn = b1;
    pow2 *= 2;
    cn2 = cn * cn;
    sum += pow2 * cn2;
  }
  return 2 * ccPi / an * (a * a - sum);
}

}  // namespace

// ---- ccCircle

TEST(ShapesCircle, ConstructionValidates) {
  EXPECT_THROW(ccCircle(V(kNaN, 0), 1), ccShapesError::BadGeom);
  EXPECT_THROW(ccCircle(V(0, 0), kInf), ccShapesError::BadGeom);
  EXPECT_THROW(ccCircle(V(0, 0), -1), ccShapesError::BadRadius);
  ccCircle c(V(1, 2), 3);
  EXPECT_THROW(c.radius(-0.5), ccShapesError::BadRadius);
  EXPECT_THROW(c.center(V(0, kInf)), ccShapesError::BadGeom);
  EXPECT_EQ(c, ccCircle(V(1, 2), 3));
}

TEST(ShapesCircle, MappingTable) {
  const ccCircle c(V(1, 2), 3);
  // A similarity keeps a circle.
  ccShapePtrh s = c.mapShape(similarity());
  ASSERT_EQ(typeid(*s), typeid(ccCircle));
  const auto& sc = dynamic_cast<const ccCircle&>(*s);
  EXPECT_TRUE(cfRealEq(sc.center(), similarity() * V(1, 2), 1e-14));
  EXPECT_NEAR(sc.radius(), 7.5, 1e-14);
  // A non-uniform scale gives a ccEllipse2 with the scaled radii.
  ccShapePtrh e = c.mapShape(ccXform<2>(ccMatrix<2>(2, 0, 0, 0.5), V(0, 0)));
  ASSERT_EQ(typeid(*e), typeid(ccEllipse2));
  EXPECT_TRUE(cfRealEq(dynamic_cast<const ccEllipse2&>(*e).radii(), V(6, 1.5), 1e-14));
}

TEST(ShapesCircle, ReverseSubShapeAndSampling) {
  const ccCircle c(V(0, 0), 2);
  ccShapePtrh r = c.reverse();
  ASSERT_EQ(typeid(*r), typeid(ccEllipse));

  const auto pts = samples(*r, ccShape::ccSampleParams(0, 0.01));
  EXPECT_TRUE(cfRealEq(pts[0], V(2, 0), 1e-15));
  EXPECT_LT(pts[1].y(), 0);  // clockwise

  ccShapePtrh half = c.subShape(0, 2 * ccPi);
  ASSERT_EQ(typeid(*half), typeid(ccEllipseArc));
  EXPECT_TRUE(cfRealEq(half->endPoint(), V(-2, 0), 1e-14));

  // Tolerance 0.01 on radius 2: the number of points is what the sagitta bound asks.
  const double step = 2 * std::acos(1 - 0.01 / 2);
  EXPECT_EQ(samples(c, ccShape::ccSampleParams(0, 0.01)).size(),
            static_cast<std::size_t>(std::ceil(kTwoPi / step)));
}

// ---- ccAnnulus

TEST(ShapesAnnulus, ConstructionAndRegion) {
  EXPECT_THROW(ccAnnulus(V(0, 0), 2, 1), ccShapesError::BadRadius);
  ccAnnulus a(V(1, 1), 1, 3);
  EXPECT_THROW(a.radii(4, 3), ccShapesError::BadRadius);
  EXPECT_EQ(a, ccAnnulus(V(1, 1), 1, 3));

  EXPECT_DOUBLE_EQ(a.perimeter(), 8 * ccPi);
  EXPECT_EQ(typeid(*a.decompose()), typeid(ccRegionTree));
}

TEST(ShapesAnnulus, MappingTable) {
  const ccAnnulus a(V(1, 1), 1, 3);
  ccShapePtrh s = a.mapShape(similarity());
  ASSERT_EQ(typeid(*s), typeid(ccAnnulus));
  EXPECT_NEAR(dynamic_cast<const ccAnnulus&>(*s).innerRadius(), 2.5, 1e-14);
  EXPECT_EQ(typeid(*a.mapShape(shear())), typeid(ccGenAnnulus));
}

// ---- ccEllipse

TEST(ShapesEllipse, UnitMapAndReflection) {
  const double r = ccPi / 6;
  const ccEllipse e(V(1, 2), V(4, 2), rad(r));
  EXPECT_TRUE(cfRealEq(e.unit() * V(0, 1), V(1 - 2 * std::sin(r), 2 + 2 * std::cos(r)), 1e-14));
  const ccEllipse f(V(1, 2), V(4, 2), rad(r), true);
  EXPECT_TRUE(cfRealEq(f.unit() * V(0, 1), V(1 + 2 * std::sin(r), 2 - 2 * std::cos(r)), 1e-14));
  EXPECT_FALSE(f.isRightHanded());
  // The reflected copy's arc from -a to -b is the clockwise arc from a to b.
  const double a = 1.0, b = -0.5;
  const ccEllipseArc cw(f, rad(-a), rad(-b));
  EXPECT_TRUE(cfRealEq(cw.startPoint(), e.point(rad(a)), 1e-14));
  EXPECT_NEAR(cw.angleSpan().toDouble(), a - b, 1e-15);
  EXPECT_TRUE(cfRealEq(cw.ellipse().point(rad(-(a + b) / 2)), e.point(rad((a + b) / 2)), 1e-14));
}

TEST(ShapesEllipse, Perimeter) {
  EXPECT_NEAR(ccEllipse(V(3, 3), V(1.5, 1.5)).perimeter(), 3 * ccPi, 1e-14);
  EXPECT_DOUBLE_EQ(ccEllipse(V(0, 0), V(2, 0)).perimeter(), 8);
  EXPECT_DOUBLE_EQ(ccEllipse().perimeter(), 0);
  EXPECT_DOUBLE_EQ(ccEllipse().distanceToPoint(V(3, 4)), 5);
  for (double b : {0.9, 0.3, 1e-3, 1e-8}) {
    const double p = ccEllipse(V(0, 0), V(1, b), rad(0.3)).perimeter();
    EXPECT_NEAR(p, agmPerimeter(1, b), 1e-12 * p) << b;
  }
}

TEST(ShapesEllipse, MappingTable) {
  const ccEllipse e(V(1, 2), V(2, 1), ccDegree(30));
  // A similarity keeps the form exactly; a mirror toggles the reflection and turns the
  // rotation the other way.
  const ccEllipse s = e.map(similarity());
  EXPECT_NEAR(s.rotation().toDouble(), ccPi / 6 + 0.6, 1e-15);
  EXPECT_TRUE(cfRealEq(s.radii(), V(5, 2.5), 1e-14));
  // Any map: the mapped point at phi + shift is the image of the point at phi.
  for (const ccXform<2>& x : {shear(), mirror(), general(), similarity()}) {
    double shift;
    const ccEllipse y = e.mapWithShift(x, &shift);
    for (double t : {0.0, 0.7, 2.0, 4.4})
      EXPECT_TRUE(cfRealEq(y.point(rad(t + shift)), x * e.point(rad(t)), 1e-13)) << x;
    EXPECT_EQ(y.isRightHanded(), (x.matrix().determinant() > 0) == e.isRightHanded());
  }
}

TEST(ShapesEllipse, WithinReverseAndSubShape) {
  const ccEllipse e(V(0, 0), V(2, 1), rad(ccPi / 2));
  EXPECT_TRUE(e.within(V(0, 2)));
  EXPECT_TRUE(ccEllipse(V(0, 0), V(2, 0)).within(V(1, 0)));
  EXPECT_FALSE(ccEllipse(V(0, 0), V(2, 0)).within(V(1, 0.1)));

  // A quarter of the perimeter from the start reaches the next axis end.
  const double p = e.perimeter();
  ccShapePtrh q = e.subShape(0, p / 4);
  ASSERT_EQ(typeid(*q), typeid(ccEllipseArc));
  EXPECT_TRUE(cfRealEq(q->endPoint(), V(-1, 0), 1e-13));
  EXPECT_NEAR(q->perimeter(), p / 4, 1e-13);
  EXPECT_NEAR(e.nearestPerimPos(V(-3, 0)), p / 4, 1e-13);
}

// ---- ccEllipseArc

TEST(ShapesEllipseArc, SpanAndEnds) {
  const ccEllipse unit(V(0, 0), V(1, 1));
  EXPECT_DOUBLE_EQ(ccEllipseArc(unit, rad(ccPi), rad(ccPi / 2)).angleSpan().toDouble(), 1.5 * ccPi);
  EXPECT_TRUE(ccEllipseArc(unit, rad(0), rad(kTwoPi)).isFull());
  EXPECT_THROW(ccEllipseArc(unit, rad(kNaN), rad(0)), ccShapesError::BadGeom);

  const ccEllipseArc a(ccEllipse(V(1, 1), V(2, 1)), rad(0), rad(ccPi / 2));
  EXPECT_TRUE(cfRealEq(a.endPoint(), V(1, 2), 1e-15));
  EXPECT_NEAR(a.endAngle().toDouble(), ccPi, 1e-15);
  const ccEllipseArc b(ccEllipse(V(0, 0), V(3, 1), rad(0), true), rad(-1), rad(-1 + ccPi));
  EXPECT_NEAR(b.tangentRotation().toDouble(), -ccPi, 1e-14);  // half a turn, clockwise
  EXPECT_THROW(ccEllipseArc(ccEllipse(), rad(0), rad(1)).startAngle(), ccShapesError::NoTangent);
}

TEST(ShapesEllipseArc, ReversePerimeterAndSubShape) {
  const ccEllipseArc a(ccEllipse(V(0, 0), V(2, 1)), rad(0), rad(ccPi / 2));
  EXPECT_NEAR(a.perimeter(), 9.688448220547676 / 4, 1e-14);
  const double t0 = 0.4, t1 = 1.3;
  const ccEllipseArc b(ccEllipse(V(0, 0), V(2, 1), rad(0.7)), rad(t0), rad(t1));
  EXPECT_NEAR(b.perimeter(), numericArcLength(b.ellipse().unit().matrix(), t0, t1), 1e-13);

  ccShapePtrh r = a.reverse();
  EXPECT_NEAR(r->startAngle().toDouble(), 0, 1e-15);  // clockwise over the top
  EXPECT_TRUE(*r->reverse() == a);
  EXPECT_NEAR(a.nearestPerimPos(a.subShape(0.5, 1.5)->startPoint()), 0.5, 1e-12);
}

TEST(ShapesEllipseArc, SamplingLimits) {
  const ccEllipseArc a(ccEllipse(V(1, 1), V(5, 0.5), rad(0.3)), rad(-0.5), rad(2.5));
  auto point = [&](double t) { return a.ellipse().point(rad(t)); };
  const auto arcPts = dense(point, -0.5, 3.0, 6000);
  // Uniform: equal arc lengths no longer than the spacing, and the tolerance still held.
  const auto un = samples(a, ccShape::ccSampleParams(0.3, 0.01, 10000, false, true));
  const double step = a.perimeter() / (un.size() - 1);
  EXPECT_LE(step, 0.3);
  for (std::size_t i = 0; i < un.size(); ++i) EXPECT_NEAR(a.nearestPerimPos(un[i]), step * i, 1e-9);
  for (const V& p : arcPts) EXPECT_LE(distToPolyline(p, un, false), 0.01 * (1 + 1e-9));
  // maxPoints: exactly that many, ends kept.
  const auto few = samples(a, ccShape::ccSampleParams(0, 1e-6, 7));
  ASSERT_EQ(few.size(), 7u);
  EXPECT_TRUE(cfRealEq(few.back(), a.endPoint(), 1e-15));
  EXPECT_THROW(samples(a, ccShape::ccSampleParams(0, 0.1, 1)), ccShapesError::BadParams);
  EXPECT_THROW(samples(a, ccShape::ccSampleParams(-1, 0.1)), ccShapesError::BadParams);
  EXPECT_THROW(samples(a, ccShape::ccSampleParams(0, 0.1, 100, false, true)),
               ccShapesError::BadParams);
}

// ---- ccEllipse2 and ccEllipseArc2

TEST(ShapesEllipse2, FormsAndUnitMap) {
  EXPECT_THROW(ccEllipse2(V(1, -1), rad(0), V(0, 0)), ccShapesError::BadRadius);
  EXPECT_THROW(ccEllipse2(V(1, 1), rad(0), V(kNaN, 0)), ccShapesError::BadGeom);
  EXPECT_THROW(ccEllipse2(ccXform<2>(ccMatrix<2>(kInf, 0, 0, 1), V())), ccShapesError::BadGeom);
  const ccEllipse2 e(V(3, 1), rad(0.5), V(1, 2), true, rad(0.25));
  const ccMatrix<2> m = e.ellFromUnitCirc().matrix();
  EXPECT_TRUE(cfRealEq(m * V(std::cos(-0.25), std::sin(-0.25)),
                       V(3 * std::cos(0.5), 3 * std::sin(0.5)), 1e-14));
  EXPECT_FALSE(e.isRightHanded());
  EXPECT_LT(m.determinant(), 0);
  // The unit map is rebuilt from any matrix (reflecting, singular, zero).
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-5, 5);
  std::vector<ccMatrix<2>> ms = {ccMatrix<2>(1, 2, 2, 4), ccMatrix<2>(0, 0, 0, 0),
                                 ccMatrix<2>(0, -2, 2, 0), ccMatrix<2>(2, 0, 0, -2)};
  for (int k = 0; k < 30; ++k) ms.push_back(ccMatrix<2>(u(rng), u(rng), u(rng), u(rng)));
  for (const ccMatrix<2>& mm : ms) {
    const ccEllipse2 f(ccXform<2>(mm, V(1, -1)));
    EXPECT_TRUE(cfRealEq(f.ellFromUnitCirc().matrix(), mm, 1e-14)) << mm;
    EXPECT_GE(f.radii().x(), f.radii().y());
    EXPECT_EQ(f.reflected(), mm.determinant() < 0);
  }
}

TEST(ShapesEllipse2, MappingComposesTheUnitMap) {
  const ccEllipse2 e(V(3, 1), rad(0.5), V(1, 2), false, rad(0.25));
  for (const ccXform<2>& x : {shear(), mirror(), general(), similarity()}) {
    ccShapePtrh m = e.mapShape(x);
    ASSERT_EQ(typeid(*m), typeid(ccEllipse2));
    EXPECT_TRUE(cfRealEq(dynamic_cast<const ccEllipse2&>(*m).ellFromUnitCirc(),
                         x * e.ellFromUnitCirc(), 1e-13))
        << x;
  }
}

TEST(ShapesEllipseArc2, SignedSpans) {
  const ccEllipse2 unit(V(1, 1), rad(0), V(0, 0));
  const ccEllipseArc2 ccw(unit, rad(0), rad(ccPi / 2)), cw(unit, rad(0), rad(-ccPi / 2));
  EXPECT_TRUE(cfRealEq(cw.endPoint(), V(0, -1), 1e-15));
  EXPECT_NEAR(cw.startAngle().toDouble(), -ccPi / 2, 1e-15);
  EXPECT_NEAR(std::remainder(cw.endAngle().toDouble() - ccPi, kTwoPi), 0, 1e-15);
  EXPECT_NEAR(ccw.tangentRotation().toDouble(), ccPi / 2, 1e-15);
  EXPECT_NEAR(cw.tangentRotation().toDouble(), -ccPi / 2, 1e-15);
  const ccEllipseArc2 full(unit, rad(1), rad(-9));
  EXPECT_TRUE(full.isFull());
  EXPECT_NEAR(full.perimeter(), kTwoPi, 1e-14);
  EXPECT_TRUE(cfRealEq(full.endPoint(), full.startPoint(), 0));
  const ccEllipseArc2 point(unit, rad(1), rad(0));
  EXPECT_EQ(point.perimeter(), 0);
  EXPECT_EQ(samples(point, ccShape::ccSampleParams(0, 0.1)).size(), 2u);

  EXPECT_TRUE(cfRealEq(cw.reverse()->startPoint(), cw.endPoint(), 1e-15));
}

TEST(ShapesEllipseArc2, MappingKeepsAnglesAndPoints) {
  const ccEllipseArc2 a(ccEllipse2(V(2, 1), rad(0.2), V(1, 1), false, rad(0.3)), rad(2), rad(-4));
  for (const ccXform<2>& x : {shear(), mirror()}) {
    const ccEllipseArc2 m = a.map(x);
    EXPECT_EQ(m.phiSpan(), a.phiSpan());
    EXPECT_TRUE(cfRealEq(m.endPoint(), x * a.endPoint(), 1e-13));
  }
  EXPECT_NEAR(a.perimeter(), numericArcLength(a.ellipse().ellFromUnitCirc().matrix(), -2, 2),
              1e-12);
}

// ---- ccEllipseAnnulus and ccEllipseAnnulusSection

TEST(ShapesEllipseAnnulus, FromTwoEllipses) {
  const ccEllipse small(V(1, 1), V(2, 1), ccDegree(30)), big(V(1, 1), V(4, 2), ccDegree(30));
  for (const ccEllipseAnnulus& a : {ccEllipseAnnulus(small, big), ccEllipseAnnulus(big, small)}) {
    EXPECT_EQ(a.outer(), big);
    EXPECT_NEAR(a.scale(), 0.5, 1e-15);
  }
  EXPECT_THROW(ccEllipseAnnulus(small, ccEllipse(V(1.1, 1), V(4, 2), ccDegree(30))),
               ccShapesError::BadGeom);
  EXPECT_THROW(ccEllipseAnnulus(small, ccEllipse(V(1, 1), V(4, 2), ccDegree(31))),
               ccShapesError::BadGeom);
  EXPECT_THROW(ccEllipseAnnulus(big, 1.5), ccShapesError::BadParams);
  EXPECT_THROW(ccEllipseAnnulus(big, kNaN), ccShapesError::BadParams);
}

TEST(ShapesEllipseAnnulus, RegionAndMapping) {
  const ccEllipseAnnulus a(ccEllipse(V(0, 0), V(4, 2)), 0.5);
  EXPECT_DOUBLE_EQ(a.distanceToPoint(V(1.5, 0)), 0.5);
  EXPECT_TRUE(cfRealEq(a.nearestPoint(V(0, 1.2)), V(0, 1), 1e-15));
  EXPECT_NEAR(a.perimeter(), 1.5 * 2 * 9.688448220547676, 1e-13);
  EXPECT_EQ(typeid(*a.mapShape(general())), typeid(ccEllipseAnnulus));
}

TEST(ShapesEllipseAnnulusSection, QuarterRing) {
  const ccEllipseAnnulus ring(ccEllipse(V(0, 0), V(2, 2)), 0.5);
  const ccEllipseAnnulusSection s(ring, rad(0), rad(ccPi / 2));
  const ccRect box = s.boundingBox();
  EXPECT_TRUE(cfRealEq(box.ul(), V(0, 0), 1e-15));
  EXPECT_TRUE(cfRealEq(box.lr(), V(2, 2), 1e-15));
  EXPECT_TRUE(s.within(V(1.2, 1.2)));
  EXPECT_FALSE(s.within(V(-1.5, 0.1)));
  EXPECT_FALSE(s.within(V(0.5, 0.5)));
  EXPECT_NEAR(s.perimeter(), ccPi + ccPi / 2 + 2, 1e-14);
  // Positions run outer arc, segment in, inner arc back, segment out.
  EXPECT_NEAR(s.nearestPerimPos(V(-0.1, 1.5)), ccPi + 0.5, 1e-14);
  EXPECT_NEAR(s.nearestPerimPos(V(1.5, -0.1)), ccPi + 1 + ccPi / 2 + 0.5, 1e-14);

  EXPECT_EQ(typeid(*s.decompose()), typeid(ccContourTree));
}

TEST(ShapesEllipseAnnulusSection, DirectionsAndMapping) {
  const ccEllipseAnnulus ring(ccEllipse(V(1, 1), V(2, 1), rad(0.3)), 0.4);
  // World directions become parametric angles: 45 degrees on radii (2, 1) unrotated is
  // atan2(1, 0.5).
  const ccEllipseAnnulusSection d(ccEllipseAnnulus(ccEllipse(V(0, 0), V(2, 1)), 0.5), ccDegree(45),
                                  ccDegree(90), false, false, false);
  EXPECT_NEAR(d.phi1().toDouble(), std::atan2(1, 0.5), 1e-15);
  EXPECT_NEAR(d.phi2().toDouble(), ccPi / 2, 1e-15);
  EXPECT_THROW(ccEllipseAnnulusSection(ccEllipseAnnulus(ccEllipse(V(0, 0), V(2, 0)), 0.5), rad(0),
                                       rad(1), false, false, false),
               ccShapesError::DegenerateShape);

  // A map keeps the direction flags (the contract check compares the mapped inside).
  const ccEllipseAnnulusSection s(ring, rad(-0.5), rad(2), true, true);
  for (const ccXform<2>& x : {shear(), mirror(), general(), similarity()}) {
    ccShapePtrh m = s.mapShape(x);
    ASSERT_EQ(typeid(*m), typeid(ccEllipseAnnulusSection));
    const auto& ms = dynamic_cast<const ccEllipseAnnulusSection&>(*m);
    EXPECT_TRUE(ms.reversed());
    EXPECT_TRUE(ms.inward());
  }
}
