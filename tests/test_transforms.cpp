// Transforms: affine ccXform<2>, rigid cc2Rigid, and the general cc2XformBase family with the
// radial distortion, its inverse and compositions.
#include <core/angle.h>
#include <core/archive.h>
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
#include <sstream>
#include <vector>

namespace {

using Vec = ccVector<2>;
using Mat = ccMatrix<2>;
using Xf = ccXform<2>;
using XformHandle = ccPtrHandle<cc2XformBase>;
using XformHandleConst = ccPtrHandle_const<cc2XformBase>;

// Reads the stored bytes back as n doubles, checking that exactly n * 8 bytes were stored.
std::vector<double> storedDoubles(const ccArchive& ar, std::size_t n) {
  EXPECT_EQ(ar.data().size(), n * 8);
  ccArchive in(ar.data());
  std::vector<double> values(n);
  for (double& v : values) in || v;
  return values;
}

// The Jacobian of t at p by central differences.
Mat finiteJacobian(const cc2XformBase& t, const Vec& p, double h = 1e-6) {
  const Vec dx(h, 0);
  const Vec dy(0, h);
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

struct FiveParams {
  double xRot, yRot, xScale, yScale;
};

// ---- ccXform<2>

TEST(Xform, IdentityMapsAndComposes) {
  constexpr Xf id;
  static_assert(id.isIdentity(), "constexpr identity");
  EXPECT_FALSE(Xf(Mat(), Vec(0, 1e-300)).isIdentity());
  EXPECT_FALSE(Xf(Mat(1, 1e-300, 0, 1), Vec()).isIdentity());
  EXPECT_EQ(Xf(Mat(2, 0, 0, 2), Vec(-1, 0)).mapVector(Vec(1, 1)), Vec(2, 2));  // no translation
  const Xf a(Mat(1, 2, 3, 4), Vec(5, 6)), b(Mat(0, 1, -1, 2), Vec(1, -1));
  Xf c = a;
  c *= b;
  EXPECT_EQ(c, Xf(Mat(-2, 5, -4, 11), Vec(4, 5)));
  // Any two maps: composing maps as applying twice, and associates.
  const Xf p(Vec(0.5, -1.5), ccRadian(0.7), ccRadian(0.9), 1.3, -0.6);
  const Xf q(Vec(-2, 3), ccRadian(-2.1), ccRadian(-1.8), 0.4, 2.5);
  for (const Vec& v : {Vec(0, 0), Vec(-3.5, 2.25), Vec(100, -50)}) {
    EXPECT_TRUE(cfRealEq((p * q) * v, p * (q * v), 1e-12)) << v;
    EXPECT_TRUE(cfRealEq((q * p) * v, q * (p * v), 1e-12)) << v;
  }
}

// Rotations, scales and skew: x axis to xScale (cos xRot, sin xRot), y axis to
// yScale (-sin yRot, cos yRot).
TEST(Xform, FiveParametersBuildAndAreRecovered) {
  const double r2 = std::sqrt(2.0);
  EXPECT_TRUE(
      cfRealEq(Xf(Vec(), ccRadian(0), ccDegree(45), 1, 2).matrix(), Mat(1, -r2, 0, r2), 1e-15));
  // Scales >= 0, xRot in (-pi, pi], yRot - xRot in (-pi, pi]: recovered as given. A skew
  // beyond a quarter turn is a reflection and is kept as such.
  const FiveParams canonical[] = {{-2.5, -3.0, 1.5, 4},
                                  {ccPi / 2, ccPi / 2 + 1.2, 0.1, 7},
                                  {3.0, 3.3, 1, 1},
                                  {0, ccPi, 1, 1},
                                  {3.0, 3.0 - 2.5, 2, 3}};
  for (const FiveParams& c : canonical) {
    const Xf x(Vec(7, -8), ccRadian(c.xRot), ccRadian(c.yRot), c.xScale, c.yScale);
    EXPECT_NEAR(x.xRot().toDouble(), c.xRot, 1e-12) << x;
    EXPECT_NEAR(x.yRot().toDouble(), c.yRot, 1e-12) << x;
    EXPECT_NEAR(x.xScale(), c.xScale, 1e-12 * std::fabs(c.xScale)) << x;
    EXPECT_NEAR(x.yScale(), c.yScale, 1e-12 * std::fabs(c.yScale)) << x;
  }
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

TEST(Xform, InverseUndoesTheMapAndSingularMapsThrow) {
  const Xf a(Vec(3, -7), ccRadian(1.1), ccRadian(0.6), -2.5, 0.75);
  EXPECT_TRUE(cfRealEq(a * a.inverse(), Xf(), 1e-14));
  EXPECT_TRUE(cfRealEq(a.inverse() * a, Xf(), 1e-14));
  EXPECT_THROW(Xf(Mat(1, 2, 2, 4), Vec(1, 1)).inverse(), ccMathError::Singular);
  EXPECT_THROW(Xf(Vec(), ccRadian(0.3), ccRadian(0.3 + ccPi / 2), 1, 1).inverse(),
               ccMathError::Singular);  // both axes on one line
}

TEST(Xform, MapAngle) {
  // Stretching y by 2 turns 45 degrees to atan(2).
  const Xf stretch(Mat(1, 0, 0, 2), Vec(5, 5));
  EXPECT_NEAR(stretch.mapAngle(ccDegree(45)).toDouble(), std::atan(2.0), 1e-15);
  EXPECT_NEAR(stretch.invMapAngle(ccRadian(std::atan(2.0))).toDouble(), ccPi / 4, 1e-15);
  // A mirror in y negates angles; scaling by -1 turns by pi.
  const Xf mirror(Mat(1, 0, 0, -1), Vec());
  EXPECT_NEAR(mirror.mapAngle(ccDegree(30)).toDouble(), ccRadian(ccDegree(-30)).toDouble(), 1e-15);
  const Xf flip(Mat(-1, 0, 0, -1), Vec());
  EXPECT_NEAR(flip.mapAngle(ccDegree(90)).toDouble(), -ccPi / 2, 1e-15);
  EXPECT_THROW(Xf(Mat(1, 1, 1, 1), Vec()).invMapAngle(ccRadian(0)), ccMathError::Singular);
}

TEST(Xform, RealEqAndStream) {
  const Xf a(Mat(1, 2, 3, 4), Vec(5, 6));
  EXPECT_FALSE(cfRealEq(a, Xf(Mat(1, 2, 3, 4), Vec(5, 6.1)), 0.01));  // translation counts
  std::ostringstream os;
  os << a;
  EXPECT_EQ(os.str(), "{[[1, 2], [3, 4]], (5, 6)}");
}

TEST(Xform, ArchiveRoundTrip) {
  Xf a(Mat(1, -2, 3.5, 4), Vec(-5.25, 6e10));
  ccArchive ar;
  ar || a;
  EXPECT_EQ(storedDoubles(ar, 6), (std::vector<double>{1, -2, 3.5, 4, -5.25, 6e10}));
  ccArchive in(ar.data());
  Xf loaded;
  in || loaded;
  EXPECT_EQ(loaded, a);
  EXPECT_TRUE(in.atEnd());
}

// ---- cc2Rigid

TEST(Rigid, MapsComposesAndInverts) {
  const cc2Rigid r(ccDegree(90), Vec(1, 0));
  EXPECT_TRUE(cfRealEq(r * Vec(0, 2), Vec(-1, 0), 1e-15));
  EXPECT_TRUE(cfRealEq(r.xform(), Xf(Mat(0, -1, 1, 0), Vec(1, 0)), 1e-15));
  const cc2Rigid s(ccRadian(-0.4), Vec(2.5, -1));
  EXPECT_TRUE(cfRealEq((r * s).xform(), r.xform() * s.xform(), 1e-14));
  EXPECT_TRUE(cfRealEq(s.inverse().xform(), s.xform().inverse(), 1e-14));
  // With an affine map on either side.
  const Xf scale2(Mat(2, 0, 0, 2), Vec());
  EXPECT_TRUE(cfRealEq((r * scale2) * Vec(1, 0), Vec(1, 2), 1e-15));
}

TEST(Rigid, EqualityAndArchive) {
  cc2Rigid r(ccRadian(0.25), Vec(-1.5, 2));
  ccArchive ar;
  ar || r;
  EXPECT_EQ(storedDoubles(ar, 3), (std::vector<double>{0.25, -1.5, 2}));
  ccArchive in(ar.data());
  cc2Rigid loaded;
  in || loaded;
  EXPECT_EQ(loaded, r);
}

// ---- cc2XformLinear

TEST(XformLinear, WrapsAnAffineMap) {
  const Xf x(Mat(2, 0, 0, 8), Vec(1, -1));
  const cc2XformLinear lin(x);
  EXPECT_EQ(lin.scale(), 4.0);
  EXPECT_EQ(lin.linearApprox(Vec(100, -3)).xform(), x);
  EXPECT_EQ(lin.inverse()->mapPoint(Vec(3, 7)), Vec(1, 1));
  EXPECT_THROW(cc2XformLinear(Xf(Mat(1, 2, 2, 4), Vec())).inverse(), ccMathError::Singular);
  EXPECT_EQ(lin.clone()->refCount(), 1);
}

TEST(XformLinear, ComposeOfLinearsIsLinear) {
  const cc2XformLinear a(Xf(Mat(1, 2, 3, 4), Vec(5, 6)));  // on the stack: never shared
  const XformHandleConst b(new cc2XformLinear(Xf(Mat(0, 1, -1, 2), Vec(1, -1))));
  const XformHandle ab = a.compose(b);
  EXPECT_EQ(a.refCount(), 0);
  ASSERT_NE(dynamic_cast<const cc2XformLinear*>(ab.get()), nullptr);
  EXPECT_EQ(ab->linearApprox(Vec()).xform(), Xf(Mat(-2, 5, -4, 11), Vec(4, 5)));
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
  // r + 0.1 r^3 has radial derivative 1.3 at r = 1, tangentially the factor 1.1, and the
  // approximation agrees at the point.
  const Xf l = cc2XformRadialDistortion(Xf(), Vec(), 0.1).linearApprox(Vec(1, 0)).xform();
  EXPECT_TRUE(cfRealEq(l, Xf(Mat(1.3, 0, 0, 1.1), Vec(-0.2, 0)), 1e-15)) << l;
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
  const double k1 = -0.5;
  const double k2 = 0.01;
  const cc2XformRadialDistortionInverse inv3(cc2XformRadialDistortion(Xf(), Vec(), k1, k2));
  const double rMax = inv3.maxRadius();
  EXPECT_NEAR(dg(rMax, k1, k2), 0.0, 1e-14);
  EXPECT_LT(rMax, 1.0);  // the second root lies near r = 5.4
  // Close to the edge of the branch the preimage stays on it and maps back.
  const double gEdge = g(rMax, k1, k2);
  for (double frac : {0.5, 0.999999, 1 - 1e-12}) {
    const Vec q(0, -gEdge * frac);
    const Vec back = inv3.mapPoint(q);
    EXPECT_LE(back.length(), rMax) << frac;
    EXPECT_NEAR(g(back.length(), k1, k2), gEdge * frac, 1e-14) << frac;
    EXPECT_LT(back.y(), 0.0) << frac;
  }
  EXPECT_THROW(inv3.mapPoint(Vec(gEdge * (1 + 1e-9), 0)), ccMathError::OutOfDomain);

  // g' > 0 everywhere: unbounded.
  const double k1u = -0.1;
  const double k2u = 0.01;  // 9 k1^2 < 20 k2
  const cc2XformRadialDistortion unbounded(Xf(), Vec(1, -1), k1u, k2u);
  const cc2XformRadialDistortionInverse inv4(unbounded);
  EXPECT_TRUE(std::isinf(inv4.maxRadius()));
  for (double r : {0.5, 3.0, 10.0, 1e3}) {
    const Vec p = Vec(1, -1) + Vec(r, ccRadian(0.3));
    EXPECT_TRUE(cfRealEq(inv4.mapPoint(unbounded.mapPoint(p)), p, 1e-12 * r)) << r;
  }
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

TEST(Composition, ThreeStagesAndLinearParts) {
  const XformHandleConst a(new cc2XformRadialDistortion(Xf(), Vec(0.5, 0), -0.02, 0.001));
  const XformHandleConst b(new cc2XformLinear(Xf(Vec(1, 2), ccRadian(0.4), ccRadian(0.5), 2, 1)));
  const XformHandleConst c(new cc2XformRadialDistortion(Xf(), Vec(), 0.05));
  const XformHandle abc = a->compose(b)->compose(c);
  const Vec p(0.7, -0.2);
  EXPECT_TRUE(cfRealEq(abc->mapPoint(p), a->mapPoint(b->mapPoint(c->mapPoint(p))), 1e-14));
  // A composed object of two linear parts is linear.
  EXPECT_TRUE(cc2XformComposed(b, XformHandleConst(new cc2XformLinear(Xf(Mat(2, 0, 0, 2), Vec()))))
                  .isLinear());

  // A null part is misuse: reported, then taken as the identity.
  AssertCounter counting;
  const cc2XformComposed withNull(XformHandleConst(), b);
  EXPECT_EQ(withNull.mapPoint(p), b->mapPoint(p));
  EXPECT_EQ(static_cast<const cc2XformLinear&>(*b).compose(XformHandleConst())->mapPoint(p),
            b->mapPoint(p));
  EXPECT_EQ(counting.reports(), 2);
}

}  // namespace
