// Circles, ellipses, elliptical arcs, annuli and general rectangles: construction forms and
// refusals, the class a map gives, and exact values beyond the reach of the shape contract's
// sampled oracles.
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/rect.h>

#include <gtest/gtest.h>

#include "shapetesting.h"

#include <cmath>
#include <limits>
#include <random>
#include <typeinfo>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

using V = ccVector<2>;
using M = ccMatrix<2>;

ccRadian rad(double v) { return ccRadian(v); }

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

const ccXform<2> kShear(M(1, 0.5, 0, 1), V(2, -1));
const ccXform<2> kMirror(M(1, 0, 0, -1), V(0.5, 0));
const ccXform<2> kGeneral(M(2, -0.7, 0.4, -1.3), V(-4, 7));
const ccXform<2> kSimilarity(V(1, 2), rad(0.6), rad(0.6), 2.5, 2.5);

}  // namespace

TEST(CurvedShapes, ConstructorsAndSettersRefuseBadValuesAndKeepTheShape) {
  EXPECT_THROW(ccCircle(V(kNaN, 0), 1), ccShapesError::BadGeom);
  EXPECT_THROW(ccCircle(V(0, 0), kInf), ccShapesError::BadGeom);
  EXPECT_THROW(ccCircle(V(0, 0), -1), ccShapesError::BadRadius);
  ccCircle c(V(1, 2), 3);
  EXPECT_THROW(c.radius(-0.5), ccShapesError::BadRadius);
  EXPECT_THROW(c.center(V(0, kInf)), ccShapesError::BadGeom);
  EXPECT_EQ(c, ccCircle(V(1, 2), 3));
  EXPECT_THROW(ccAnnulus(V(0, 0), 2, 1), ccShapesError::BadRadius);
  ccAnnulus a(V(1, 1), 1, 3);
  EXPECT_THROW(a.radii(4, 3), ccShapesError::BadRadius);
  EXPECT_EQ(a, ccAnnulus(V(1, 1), 1, 3));
  EXPECT_THROW(ccEllipseArc(ccEllipse(), rad(kNaN), rad(0)), ccShapesError::BadGeom);
  EXPECT_THROW(ccEllipse2(V(1, -1), rad(0), V(0, 0)), ccShapesError::BadRadius);
  EXPECT_THROW(ccEllipse2(V(1, 1), rad(0), V(kNaN, 0)), ccShapesError::BadGeom);
  EXPECT_THROW(ccEllipse2(ccXform<2>(M(kInf, 0, 0, 1), V())), ccShapesError::BadGeom);
  EXPECT_THROW(ccGenRect(V(kNaN, 0), M()), ccShapesError::BadGeom);
  EXPECT_THROW(ccGenRect(V(0, 0), M(), V(1.5, 0)), ccShapesError::BadParams);
  EXPECT_THROW(ccGenRect(V(0, 0), M(), V(0, -0.1)), ccShapesError::BadParams);
  EXPECT_THROW(ccGenRect(V(0, 0), V(-1, 1), rad(0), V(0, 0)), ccShapesError::BadParams);
  ccGenRect g(V(1, 1), M(2, 0, 0, 1));
  EXPECT_THROW(g.uround(V(2, 2)), ccShapesError::BadParams);
  EXPECT_THROW(g.U(M(kNaN, 0, 0, 1)), ccShapesError::BadGeom);
  EXPECT_EQ(g, ccGenRect(V(1, 1), M(2, 0, 0, 1)));
}

// A similarity keeps a circle or a circular annulus, an axis-aligned scale or a quarter turn a
// ccRect; otherwise the general form holds the image, whose boundary runs through the images
// of the shape's boundary points.
TEST(CurvedShapes, AMapGivesTheClassThatHoldsTheMappedShape) {
  const ccRect r(V(1, 2), V(4, 2));
  const ccEllipseAnnulusSection section(
      ccEllipseAnnulus(ccEllipse(V(1, 1), V(2, 1), rad(0.3)), 0.4), rad(-0.5), rad(2), true, true);
  const struct {
    ccShapePtrh shape;
    ccXform<2> x;
    const std::type_info& type;
  } kRows[] = {
      {ccCircle(V(1, 2), 3).clone(), kSimilarity, typeid(ccCircle)},
      {ccCircle(V(1, 2), 3).clone(), ccXform<2>(M(2, 0, 0, 0.5), V()), typeid(ccEllipse2)},
      {ccAnnulus(V(1, 1), 1, 3).clone(), kSimilarity, typeid(ccAnnulus)},
      {ccAnnulus(V(1, 1), 1, 3).clone(), kShear, typeid(ccGenAnnulus)},
      {section.clone(), kMirror, typeid(ccEllipseAnnulusSection)},
      {ccGenRect(V(1, 1), M(2, 0.5, 0, 1), V(0.3, 0.6)).clone(), kShear, typeid(ccGenRect)},
      {r.clone(), ccXform<2>(M(2, 0, 0, 3), V(1, 1)), typeid(ccRect)},
      {r.clone(), ccXform<2>(V(0, 0), rad(ccPi / 2), rad(ccPi / 2), 1, 1), typeid(ccRect)},
      {r.clone(), ccXform<2>(V(0, 0), rad(0.5), rad(0.5), 1, 1), typeid(ccGenRect)},
  };
  for (const auto& row : kRows) {
    const ccShapePtrh m = row.shape->mapShape(row.x);
    SCOPED_TRACE(typeid(*row.shape).name());
    EXPECT_EQ(typeid(*m), row.type);
    for (const V& p : samplePositions(*row.shape, ccShape::ccSampleParams(0, 0.1)))
      EXPECT_NEAR(m->distanceToPoint(row.x * p), 0, 1e-12);
  }
  const ccShapePtrh sheared = section.mapShape(kShear);
  const auto& ms = dynamic_cast<const ccEllipseAnnulusSection&>(*sheared);
  EXPECT_TRUE(ms.reversed() && ms.inward());
  const ccGenRect mapped = r.map(kShear);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(cfRealEq(mapped.corner(i), kShear * r.corner(i), 1e-14));
  EXPECT_EQ(r.map(ccXform<2>()), ccGenRect(r));
}

TEST(Ellipse, PerimetersSpansAndDegenerateCases) {
  for (double b : {0.9, 0.3, 1e-3, 1e-8}) {
    const double p = ccEllipse(V(0, 0), V(1, b), rad(0.3)).perimeter();
    EXPECT_NEAR(p, agmPerimeter(1, b), 1e-12 * p) << b;
  }
  EXPECT_NEAR(ccEllipseArc(ccEllipse(V(0, 0), V(2, 1)), rad(0), rad(ccPi / 2)).perimeter(),
              agmPerimeter(2, 1) / 4, 1e-14);
  EXPECT_DOUBLE_EQ(ccEllipse(V(0, 0), V(2, 0)).perimeter(), 8);
  EXPECT_TRUE(ccEllipse(V(0, 0), V(2, 0)).within(V(1, 0)));
  EXPECT_FALSE(ccEllipse(V(0, 0), V(2, 0)).within(V(1, 0.1)));
  EXPECT_DOUBLE_EQ(ccEllipse().perimeter(), 0);
  EXPECT_DOUBLE_EQ(ccEllipse().distanceToPoint(V(3, 4)), 5);
  EXPECT_THROW(ccEllipseArc(ccEllipse(), rad(0), rad(1)).startAngle(), ccShapesError::NoTangent);
  // Tolerance 0.01 on radius 2: the number of points is what the sagitta bound asks.
  EXPECT_EQ(samplePositions(ccCircle(V(0, 0), 2), ccShape::ccSampleParams(0, 0.01)).size(),
            static_cast<std::size_t>(std::ceil(ccPi / std::acos(1 - 0.01 / 2))));
  const ccEllipse unit(V(0, 0), V(1, 1));
  EXPECT_DOUBLE_EQ(ccEllipseArc(unit, rad(ccPi), rad(ccPi / 2)).angleSpan().toDouble(), 1.5 * ccPi);
  EXPECT_TRUE(ccEllipseArc(unit, rad(0), rad(2 * ccPi)).isFull());
  const ccEllipse2 unit2(V(1, 1), rad(0), V(0, 0));
  const ccEllipseArc2 full(unit2, rad(1), rad(-9));
  EXPECT_TRUE(full.isFull());
  EXPECT_NEAR(full.perimeter(), 2 * ccPi, 1e-14);
  const ccEllipseArc2 point(unit2, rad(1), rad(0));
  EXPECT_EQ(point.perimeter(), 0);
  EXPECT_EQ(samplePositions(point, ccShape::ccSampleParams(0, 0.1)).size(), 2u);
}

TEST(Ellipse, UnitMapsReflectionMapWithShiftAndAnyUnitMapOfAnEllipse2) {
  const double t = ccPi / 6;
  const ccEllipse e(V(1, 2), V(4, 2), rad(t)), f(V(1, 2), V(4, 2), rad(t), true);
  EXPECT_TRUE(cfRealEq(e.unit() * V(0, 1), V(1 - 2 * std::sin(t), 2 + 2 * std::cos(t)), 1e-14));
  EXPECT_TRUE(cfRealEq(f.unit() * V(0, 1), V(1 + 2 * std::sin(t), 2 - 2 * std::cos(t)), 1e-14));
  // A similarity keeps the form exactly; after any map the point at phi + shift is the image
  // of the point at phi.
  const ccEllipse s = e.map(kSimilarity);
  EXPECT_NEAR(s.rotation().toDouble(), t + 0.6, 1e-15);
  EXPECT_TRUE(cfRealEq(s.radii(), V(10, 5), 1e-14));
  for (const ccXform<2>& x : {kShear, kMirror, kGeneral, kSimilarity}) {
    double shift;
    const ccEllipse y = e.mapWithShift(x, &shift);
    for (double phi : {0.0, 0.7, 2.0, 4.4})
      EXPECT_TRUE(cfRealEq(y.point(rad(phi + shift)), x * e.point(rad(phi)), 1e-13)) << x;
    EXPECT_EQ(y.isRightHanded(), x.matrix().determinant() > 0);
  }
  // An ellipse2 keeps its unit map, rebuilt from any matrix (reflecting, singular, zero).
  const ccEllipse2 e2(V(3, 1), rad(0.5), V(1, 2), true, rad(0.25));
  const M m = e2.ellFromUnitCirc().matrix();
  EXPECT_TRUE(cfRealEq(m * V(std::cos(-0.25), std::sin(-0.25)),
                       V(3 * std::cos(0.5), 3 * std::sin(0.5)), 1e-14));
  EXPECT_LT(m.determinant(), 0);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-5, 5);
  std::vector<M> ms = {M(1, 2, 2, 4), M(0, 0, 0, 0), M(0, -2, 2, 0), M(2, 0, 0, -2)};
  for (int k = 0; k < 30; ++k) ms.push_back(M(u(rng), u(rng), u(rng), u(rng)));
  for (const M& mm : ms) {
    const ccEllipse2 g(ccXform<2>(mm, V(1, -1)));
    EXPECT_TRUE(cfRealEq(g.ellFromUnitCirc().matrix(), mm, 1e-14)) << mm;
    EXPECT_GE(g.radii().x(), g.radii().y());
    EXPECT_EQ(g.reflected(), mm.determinant() < 0);
  }
}

TEST(EllipseAnnulus, FromTwoEllipsesOrWorldDirections) {
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
  // World directions become parametric angles: 45 degrees on radii (2, 1) is atan2(1, 0.5).
  const ccEllipseAnnulusSection d(ccEllipseAnnulus(ccEllipse(V(0, 0), V(2, 1)), 0.5), ccDegree(45),
                                  ccDegree(90), false, false, false);
  EXPECT_NEAR(d.phi1().toDouble(), std::atan2(1, 0.5), 1e-15);
  EXPECT_NEAR(d.phi2().toDouble(), ccPi / 2, 1e-15);
  EXPECT_THROW(ccEllipseAnnulusSection(ccEllipseAnnulus(ccEllipse(V(0, 0), V(2, 0)), 0.5), rad(0),
                                       rad(1), false, false, false),
               ccShapesError::DegenerateShape);
  // Positions run outer arc, segment in, inner arc back, segment out.
  const ccEllipseAnnulusSection q(ccEllipseAnnulus(ccEllipse(V(0, 0), V(2, 2)), 0.5), rad(0),
                                  rad(ccPi / 2));
  EXPECT_NEAR(q.nearestPerimPos(V(-0.1, 1.5)), ccPi + 0.5, 1e-14);
  EXPECT_NEAR(q.nearestPerimPos(V(1.5, -0.1)), ccPi + 1 + ccPi / 2 + 0.5, 1e-14);
}

TEST(GenRect, FormsFullRoundingAndDegenerateCases) {
  const ccGenRect h(V(1, 2), V(3, 1), rad(ccPi / 2), V(0.5, 0.5));
  EXPECT_TRUE(cfRealEq(h.U(), M(0, -1, 3, 0), 1e-15));
  EXPECT_TRUE(cfRealEq(h.corner(1), V(1, 2) + V(1, 3), 1e-15));
  const ccGenRect r(ccRect(V(2, 4), V(6, 2)));
  EXPECT_EQ(r.corners(), (std::vector<V>{V(2, 4), V(8, 4), V(8, 6), V(2, 6)}));
  EXPECT_EQ(r.corner(4), r.corner(0));
  // Without rounding and limits the samples are the corners.
  EXPECT_EQ(samplePositions(r, ccShape::ccSampleParams()), r.corners());
  // Fully rounded: the circle; with one zero rounding component the corners stay sharp.
  const ccGenRect round(V(), M(), V(1, 1));
  EXPECT_TRUE(cfRealEq(round.nearestPoint(V(3, 4)), V(0.6, 0.8), 1e-15));
  EXPECT_NEAR(round.boundingBox().width(), 2, 1e-15);
  EXPECT_NEAR(ccGenRect(V(), M(), V(0, 0.7)).perimeter(), 8, 1e-15);
  EXPECT_NEAR(ccGenRect(V(), M(2, 0, 0, 1), V(1, 1)).perimeter(), agmPerimeter(2, 1), 1e-14);
  // A degenerate one (a segment), and the default one, the point at the origin.
  const ccGenRect seg(V(0, 0), M(1, 0, 0, 0));
  EXPECT_TRUE(seg.isDegenerate());
  EXPECT_TRUE(seg.within(V(0.5, 0)));
  EXPECT_FALSE(seg.within(V(0.5, 0.1)));
  EXPECT_DOUBLE_EQ(ccGenRect().distanceToPoint(V(3, 4)), 5);
}
