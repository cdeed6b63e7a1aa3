// Transforms: affine ccXform<2>, rigid cc2Rigid, and the general cc2XformBase family with the
// radial distortion, its inverse and compositions.
#include <core/angle.h>
#include <core/assert.h>
#include <core/handle.h>
#include <core/matherror.h>
#include <core/matrix.h>
#include <core/vector.h>
#include <core/xform.h>

#include <gtest/gtest.h>

#include "assertcounter.h"

#include <cmath>
#include <random>
#include <vector>

namespace {

using Vec = ccVector<2>;
using Mat = ccMatrix<2>;
using Xf = ccXform<2>;
using XformHandle = ccPtrHandle<cc2XformBase>;
using XformHandleConst = ccPtrHandle_const<cc2XformBase>;

// The Jacobian of t at p by central differences.
Mat finiteJacobian(const cc2XformBase& t, const Vec& p, double h = 1e-6) {
  const Vec dx(h, 0), dy(0, h);
  const Vec cx = (t.mapPoint(p + dx) - t.mapPoint(p - dx)) / (2 * h);
  const Vec cy = (t.mapPoint(p + dy) - t.mapPoint(p - dy)) / (2 * h);
  return Mat(cx.x(), cy.x(), cx.y(), cy.y());
}

// True when a and b agree to within tol relative to the larger element magnitude (at least 1).
bool nearRelative(const Mat& a, const Mat& b, double tol) {
  double scale = 1;
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c)
      scale = std::max(scale, std::max(std::fabs(a.element(r, c)), std::fabs(b.element(r, c))));
  return cfRealEq(a, b, tol * scale);
}

// ---- ccXform<2>

// Random affine and rigid maps against their matrices: composing maps as applying in turn,
// the inverse undoes the map, a vector maps without the translation, an angle maps to the
// direction of the mapped unit vector and back, and a rigid map is its rotation and shift.
TEST(Xform, RandomMapsComposeInvertAndMapAnglesAsTheirMatrices) {
  constexpr Xf id;
  static_assert(id.isIdentity(), "constexpr identity");
  EXPECT_FALSE(Xf(Mat(), Vec(0, 1e-300)).isIdentity());
  EXPECT_FALSE(Xf(Mat(1, 1e-300, 0, 1), Vec()).isIdentity());
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(-3, 3);
  const auto gap = [](const ccRadian& a, const ccRadian& b) {
    return std::fabs(ccRadian(a - b).signedNorm().toDouble());
  };
  for (int i = 0; i < 300; ++i) {
    const Xf p(Mat(u(rng), u(rng), u(rng), u(rng)), Vec(u(rng), u(rng)));
    const Xf q(Mat(u(rng), u(rng), u(rng), u(rng)), Vec(u(rng), u(rng)));
    const Vec v(u(rng), u(rng));
    const ccRadian a(u(rng));
    EXPECT_TRUE(cfRealEq((p * q) * v, p * (q * v), 1e-12)) << p << q;
    EXPECT_EQ(Xf(p) *= q, p * q);
    EXPECT_TRUE(cfRealEq(p.mapVector(v), p.matrix() * v, 1e-15));
    const cc2Rigid r(a, v), s(ccRadian(u(rng)), Vec(u(rng), u(rng)));
    EXPECT_TRUE(cfRealEq(r * v, r.xform() * v, 1e-12));
    EXPECT_TRUE(cfRealEq((r * s).xform(), r.xform() * s.xform(), 1e-12));
    EXPECT_TRUE(cfRealEq(s.inverse().xform(), s.xform().inverse(), 1e-12));
    EXPECT_TRUE(cfRealEq((r * p) * v, r * (p * v), 1e-12));
    if (std::fabs(p.matrix().determinant()) < 0.1) continue;
    EXPECT_TRUE(cfRealEq(p.inverse() * (p * v), v, 1e-10)) << p;
    EXPECT_TRUE(cfRealEq(p * (p.inverse() * v), v, 1e-10)) << p;
    EXPECT_LT(gap(p.mapAngle(a), (p.matrix() * Vec(cos(a), sin(a))).angle()), 1e-12) << p;
    EXPECT_LT(gap(p.invMapAngle(p.mapAngle(a)), a), 1e-10) << p;
  }
  EXPECT_EQ(Xf(Mat(1, 2, 3, 4), Vec(5, 6)) * Xf(Mat(0, 1, -1, 2), Vec(1, -1)),
            Xf(Mat(-2, 5, -4, 11), Vec(4, 5)));
  EXPECT_TRUE(
      cfRealEq(cc2Rigid(ccDegree(90), Vec(1, 0)).xform(), Xf(Mat(0, -1, 1, 0), Vec(1, 0)), 1e-15));
  // Angles come back normalised: a mirror in y negates them, scaling by -1 turns by pi.
  EXPECT_NEAR(Xf(Mat(1, 0, 0, -1), Vec()).mapAngle(ccDegree(30)).toDouble(),
              ccRadian(ccDegree(-30)).toDouble(), 1e-15);
  EXPECT_NEAR(Xf(Mat(-1, 0, 0, -1), Vec()).mapAngle(ccDegree(90)).toDouble(), -ccPi / 2, 1e-15);
  EXPECT_THROW(Xf(Mat(1, 2, 2, 4), Vec(1, 1)).inverse(), ccMathError::Singular);
  EXPECT_THROW(Xf(Vec(), ccRadian(0.3), ccRadian(0.3 + ccPi / 2), 1, 1).inverse(),
               ccMathError::Singular);  // both axes on one line
  EXPECT_THROW(Xf(Mat(1, 1, 1, 1), Vec()).invMapAngle(ccRadian(0)), ccMathError::Singular);
  const Xf a(Mat(1, 2, 3, 4), Vec(5, 6));
  EXPECT_FALSE(cfRealEq(a, Xf(Mat(1, 2, 3, 4), Vec(5, 6.1)), 0.01));   // translation counts
  EXPECT_EQ(testing::PrintToString(a), "{[[1, 2], [3, 4]], (5, 6)}");  // its operator<<
}

// Rotations, scales and skew: x axis to xScale (cos xRot, sin xRot), y axis to
// yScale (-sin yRot, cos yRot).
TEST(Xform, FiveParametersBuildAndAreRecovered) {
  const double r2 = std::sqrt(2.0);
  EXPECT_TRUE(
      cfRealEq(Xf(Vec(), ccRadian(0), ccDegree(45), 1, 2).matrix(), Mat(1, -r2, 0, r2), 1e-15));
  // Every map, rotated anywhere and skewed by less than a quarter turn, with or without a
  // mirror: the parameters rebuild the matrix, the rotations differ by less than a quarter
  // turn exactly when the determinant is positive, and never by more than half a turn.
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> angle(-ccPi, ccPi), skew(-1.5, 1.5), len(0.01, 100);
  for (int i = 0; i < 2000; ++i) {
    const double x = angle(rng);
    Xf m(Vec(), ccRadian(x), ccRadian(x + skew(rng)), len(rng), len(rng));
    if (i % 2) m = m * Xf(Mat(1, 0, 0, -1), Vec());
    const Xf rebuilt(Vec(), m.xRot(), m.yRot(), m.xScale(), m.yScale());
    ASSERT_TRUE(cfRealEq(rebuilt, m, 1e-12 * (m.xScale() + m.yScale()))) << m << " vs " << rebuilt;
    const double d = (m.yRot() - m.xRot()).toDouble();
    ASSERT_GT(d, -ccPi) << m;
    ASSERT_LE(d, ccPi) << m;
    ASSERT_EQ(std::fabs(d) > ccPi / 2, m.matrix().determinant() < 0) << m;
  }
  // A plain mirror: a half turn apart. The scale is the root of the determinant's size.
  const Xf m(Mat(-2, 0, 0, 3), Vec());
  EXPECT_EQ(m.xRot().toDouble(), ccPi);
  EXPECT_EQ(m.yRot().toDouble(), 2 * ccPi);
  EXPECT_EQ(Xf(Mat(-2, 0, 0, 8), Vec()).scale(), 4.0);
}

// ---- cc2XformLinear

TEST(XformLinear, WrapsAnAffineMapComposesIntoOneAndTakesANullPartAsTheIdentity) {
  const Xf x(Mat(2, 0, 0, 8), Vec(1, -1));
  const cc2XformLinear lin(x);  // on the stack: never shared
  EXPECT_EQ(lin.scale(), 4.0);
  EXPECT_EQ(lin.linearApprox(Vec(100, -3)).xform(), x);
  EXPECT_EQ(lin.inverse()->mapPoint(Vec(3, 7)), Vec(1, 1));
  EXPECT_THROW(cc2XformLinear(Xf(Mat(1, 2, 2, 4), Vec())).inverse(), ccMathError::Singular);
  EXPECT_EQ(lin.clone()->refCount(), 1);
  const XformHandle composed = lin.compose(XformHandleConst(new cc2XformLinear(Xf())));
  EXPECT_EQ(lin.refCount(), 0);
  EXPECT_NE(dynamic_cast<const cc2XformLinear*>(composed.get()), nullptr);
  const XformHandleConst b(new cc2XformLinear(Xf(Vec(1, 2), ccRadian(0.4), ccRadian(0.5), 2, 1)));
  const Vec p(0.7, -0.2);
  // A composed object of two linear parts is linear.
  EXPECT_TRUE(cc2XformComposed(b, XformHandleConst(new cc2XformLinear(Xf(Mat(2, 0, 0, 2), Vec()))))
                  .isLinear());

  // A null part is misuse: reported, then taken as the identity.
  AssertCounter counting;
  EXPECT_EQ(cc2XformComposed(XformHandleConst(), b).mapPoint(p), b->mapPoint(p));
  EXPECT_EQ(static_cast<const cc2XformLinear&>(*b).compose(XformHandleConst())->mapPoint(p),
            b->mapPoint(p));
  EXPECT_EQ(counting.reports(), 2);
}

// ---- radial distortion

// f = 1 + k1 r^2 + k2 r^4 about the centre, then the affine map.
TEST(RadialDistortion, HandValues) {
  const cc2XformRadialDistortion d(Xf(), Vec(), 0.1, 0.01);
  EXPECT_FALSE(d.isLinear());
  EXPECT_TRUE(cfRealEq(d.mapPoint(Vec(1, 1)), Vec(1.24, 1.24), 1e-15));  // 1 + 0.2 + 0.04
  const cc2XformRadialDistortion e(Xf(Mat(2, 0, 0, 2), Vec(5, 5)), Vec(1, 1), 0.1, 0.01);
  EXPECT_TRUE(cfRealEq(e.mapPoint(Vec(2, 1)), Vec(9.22, 7), 1e-14));
  EXPECT_TRUE(cc2XformRadialDistortion(Xf(), Vec(1, 1), 0).isLinear());
}

// g(r) = r f(r) = r + k1 r^3 + k2 r^5 and g'(r) = 1 + 3 k1 r^2 + 5 k2 r^4, by hand.
double g(double r, double k1, double k2) { return r + k1 * r * r * r + k2 * std::pow(r, 5); }
double dg(double r, double k1, double k2) { return 1 + 3 * k1 * r * r + 5 * k2 * std::pow(r, 4); }

TEST(RadialDistortion, InverseDomain) {
  // k1 < 0: g'(r) = 1 - 0.3 r^2 vanishes at r = sqrt(10/3), where g = (2/3) sqrt(10/3).
  const cc2XformRadialDistortion barrel(Xf(), Vec(), -0.1);
  const cc2XformRadialDistortionInverse inv(barrel);
  EXPECT_NEAR(inv.maxRadius(), std::sqrt(10.0 / 3), 1e-15);
  const double gMax = 2.0 / 3 * std::sqrt(10.0 / 3);
  EXPECT_THROW(inv.mapPoint(Vec(gMax * 1.001, 0)), ccMathError::OutOfDomain);
  // At the edge the Jacobian is singular.
  EXPECT_NEAR(inv.mapPoint(Vec(gMax, 0)).x(), std::sqrt(10.0 / 3), 1e-7);

  // k1 < 0 and k2 > 0 with two stationary radii: the smaller one ends the branch.
  const double k1 = -0.5, k2 = 0.01;
  const cc2XformRadialDistortionInverse inv3(cc2XformRadialDistortion(Xf(), Vec(), k1, k2));
  const double rMax = inv3.maxRadius();
  EXPECT_NEAR(dg(rMax, k1, k2), 0.0, 1e-14);
  EXPECT_LT(rMax, 1.0);  // the second root lies near r = 5.4
  // Close to the edge of the branch the preimage stays on it and maps back.
  const double gEdge = g(rMax, k1, k2);
  for (double frac : {0.5, 0.999999, 1 - 1e-12}) {
    const Vec back = inv3.mapPoint(Vec(0, -gEdge * frac));
    EXPECT_LE(back.length(), rMax) << frac;
    EXPECT_NEAR(g(back.length(), k1, k2), gEdge * frac, 1e-14) << frac;
    EXPECT_LT(back.y(), 0.0) << frac;
  }
  EXPECT_THROW(inv3.mapPoint(Vec(gEdge * (1 + 1e-9), 0)), ccMathError::OutOfDomain);

  // g' > 0 everywhere (9 k1^2 < 20 k2): unbounded.
  EXPECT_TRUE(std::isinf(
      cc2XformRadialDistortionInverse(cc2XformRadialDistortion(Xf(), Vec(1, -1), -0.1, 0.01))
          .maxRadius()));
}

// ---- compositions with non-linear transforms

// Every kind of transform (linear, distortion, its inverse, compositions in either order and
// of three stages) against its own point map: the linear approximation is the finite-difference
// Jacobian and agrees at the point, the inverse undoes the map both ways, and composing maps
// as applying in turn.
TEST(XformFamily, EveryKindLinearisesInvertsAndComposesAsItsPointMap) {
  const XformHandleConst lin(new cc2XformLinear(Xf(Mat(0, -1, 1, 0), Vec(10, 0))));
  const XformHandleConst dist(new cc2XformRadialDistortion(
      Xf(Vec(3, -2), ccRadian(0.2), ccRadian(0.25), 1.5, 0.8), Vec(0.5, 0.7), -0.05, 0.002));
  const XformHandleConst pin(new cc2XformRadialDistortion(Xf(), Vec(), 0.1));
  const XformHandleConst kinds[] = {lin,
                                    dist,
                                    dist->inverse(),
                                    lin->compose(pin),
                                    pin->compose(lin),
                                    dist->compose(lin)->compose(dist->inverse())};
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-2.5, 2.5);
  for (const XformHandleConst& t : kinds) {
    const XformHandle inv = t->inverse();
    for (int i = 0; i < 20; ++i) {
      const Vec p(u(rng), u(rng));
      const Xf l = t->linearApprox(p).xform();
      EXPECT_TRUE(nearRelative(l.matrix(), finiteJacobian(*t, p), 1e-7))
          << p << ": " << l.matrix() << " vs " << finiteJacobian(*t, p);
      EXPECT_TRUE(cfRealEq(l * p, t->mapPoint(p), 1e-12)) << p;
      EXPECT_TRUE(cfRealEq(inv->mapPoint(t->mapPoint(p)), p, 1e-11)) << p;
      EXPECT_TRUE(cfRealEq(t->mapPoint(inv->mapPoint(p)), p, 1e-11)) << p;
      EXPECT_TRUE(cfRealEq(t->compose(pin)->mapPoint(p), t->mapPoint(pin->mapPoint(p)), 1e-12));
    }
  }
  // (1, 0) -> (1.1, 0) -> (10, 1.1); and (1, 0) -> (10, 1) -> r^2 = 101, f = 11.1.
  EXPECT_TRUE(cfRealEq(kinds[3]->mapPoint(Vec(1, 0)), Vec(10, 1.1), 1e-15));
  EXPECT_TRUE(cfRealEq(kinds[4]->mapPoint(Vec(1, 0)), Vec(111, 11.1), 1e-12));
  // The inverse of the inverse maps like the distortion; a singular affine part has none.
  EXPECT_TRUE(
      cfRealEq(kinds[2]->inverse()->mapPoint(Vec(2, -1)), dist->mapPoint(Vec(2, -1)), 1e-15));
  EXPECT_THROW(cc2XformRadialDistortion(Xf(Mat(1, 2, 2, 4), Vec()), Vec(), 0.1).inverse(),
               ccMathError::Singular);
  // Composing from an object on the stack leaves it unshared.
  const cc2XformRadialDistortion onStack(Xf(), Vec(), 0.1);
  EXPECT_EQ(onStack.compose(lin)->refCount(), 1);
  EXPECT_EQ(onStack.refCount(), 0);
}

}  // namespace
