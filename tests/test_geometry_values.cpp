// Geometry values: numeric helpers, angles, vectors, pairs, 2x2 matrices and their archive
// forms, with those of affine and rigid maps.
#include <core/angle.h>
#include <core/archive.h>
#include <core/math.h>
#include <core/matherror.h>
#include <core/matrix.h>
#include <core/pair.h>
#include <core/vector.h>
#include <core/xform.h>

#include <gtest/gtest.h>

#include "archivebytes.h"
#include "assertcounter.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kTwoPi = 2 * ccPi;

// ---- numeric helpers

TEST(RealEq, AbsoluteToleranceBoundIncludedNonFiniteValues) {
  EXPECT_TRUE(cfRealEq(1.0, 1.0 + 4e-16));                   // default 1e-15
  EXPECT_TRUE(cfRealEq(0.5, 0.25, 0.25));                    // the bound itself is included
  EXPECT_FALSE(cfRealEq(1e10, std::nextafter(1e10, 2e10)));  // absolute, not relative
  EXPECT_TRUE(cfRealEq(kInf, kInf));
  EXPECT_FALSE(cfRealEq(kNaN, 0.0, 1e300));
  EXPECT_FALSE(cfRealEq(ccVector<2>(1, 2), ccVector<2>(1.1, 2), 1e-2));  // x alone fails
  EXPECT_FALSE(cfRealEq(ccMatrix<2>(1, 2, 3, 4), ccMatrix<2>(1, 2, 3.01, 4), 1e-3));
  EXPECT_FALSE(cfRealEq(ccDegree(10), ccDegree(10.5), 0.4));
}

TEST(IntegerRounding, FloorCeilClampsAndNaN) {
  const double top = -static_cast<double>(LONG_MIN);  // the double just above LONG_MAX
  const struct {
    double v;
    long floor, ceil;
  } cases[] = {{2.5, 2, 3},
               {-2.5, -3, -2},
               {-1e-300, -1, 0},
               {1e-300, 0, 1},
               {kNaN, 0, 0},
               {kInf, LONG_MAX, LONG_MAX},
               {-kInf, LONG_MIN, LONG_MIN},
               {top, LONG_MAX, LONG_MAX},
               {static_cast<double>(LONG_MIN), LONG_MIN, LONG_MIN}};
  for (const auto& c : cases) {
    EXPECT_EQ(cfIFloor(c.v), c.floor) << c.v;
    EXPECT_EQ(cfICeil(c.v), c.ceil) << c.v;
  }
  EXPECT_EQ(cfIFloor(std::nextafter(top, 0.0)), static_cast<long>(std::nextafter(top, 0.0)));
}

// ---- angles

TEST(Angle, ConversionsExactAtQuarterTurnsAndMixedUnits) {
  static_assert(ccRadian(ccDegree(180)).toDouble() == ccPi, "constexpr conversion");
  EXPECT_EQ(ccDegree(ccRadian(-kTwoPi)).toDouble(), -360.0);
  EXPECT_EQ((ccRadian(ccPi / 2) + ccDegree(90)).toDouble(), ccPi);  // the right operand converts
  EXPECT_TRUE(ccRadian(1.0) < ccDegree(58) && ccRadian(1.0) > ccDegree(57));
  EXPECT_EQ(cfAtan2(-0.0, -1).toDouble(), ccPi);  // (-pi, pi]: never -pi
  EXPECT_EQ(cfAtan2(0, 0).toDouble(), 0.0);
  std::ostringstream os;
  os << ccRadian(1.5) << "; " << ccDegree(-90) << "; " << ccVector<2>(1.5, -2) << "; "
     << ccMatrix<2>(1, 2, 3, 4.5);
  EXPECT_EQ(os.str(), "1.5 rad; -90 deg; (1.5, -2); [[1, 2], [3, 4.5]]");
}

TEST(Angle, NormsAtExactMultiplesAndEdges) {
  const double belowTwoPi = std::nextafter(kTwoPi, 0.0), belowPi = std::nextafter(ccPi, 0.0);
  const struct {
    double v, norm, signedNorm;
  } radians[] = {{kTwoPi, 0, 0},
                 {-kTwoPi, 0, 0},
                 {ccPi, ccPi, -ccPi},
                 {-ccPi / 2, 1.5 * ccPi, -ccPi / 2},
                 {-1e-20, 0, -1e-20},
                 {belowTwoPi, belowTwoPi, belowTwoPi - kTwoPi},
                 {belowPi, belowPi, belowPi}};
  for (const auto& c : radians) {
    EXPECT_EQ(ccRadian(c.v).norm().toDouble(), c.norm) << c.v;
    EXPECT_EQ(ccRadian(c.v).signedNorm().toDouble(), c.signedNorm) << c.v;
  }
  EXPECT_FALSE(std::signbit(ccRadian(-0.0).norm().toDouble()));
  const struct {
    double v, norm, signedNorm;
  } degrees[] = {
      {360, 0, 0}, {-180, 180, -180}, {-725, 355, -5}, {-190, 170, 170}, {-1e-300, 0, -1e-300}};
  for (const auto& c : degrees) {
    EXPECT_EQ(ccDegree(c.v).norm().toDouble(), c.norm) << c.v;
    EXPECT_EQ(ccDegree(c.v).signedNorm().toDouble(), c.signedNorm) << c.v;
  }
  EXPECT_TRUE(std::isnan(ccRadian(kInf).norm().toDouble()));
  EXPECT_TRUE(std::isnan(ccDegree(kNaN).signedNorm().toDouble()));
}

// ---- vectors and matrices

TEST(Vector, LengthsWithoutOverflowUnitAndAngle) {
  EXPECT_DOUBLE_EQ(ccVector<2>(3e200, 4e200).length(), 5e200);
  EXPECT_EQ(ccVector<2>(1, 2).cross(ccVector<2>(3, 4)), -2.0);  // counter-clockwise is +
  EXPECT_EQ(ccVector<2>(1e-310, 0).unit(), ccVector<2>(1, 0));
  for (const ccVector<2>& v : {ccVector<2>(), ccVector<2>(kNaN, 1), ccVector<2>(kInf, 0)})
    EXPECT_THROW(v.unit(), ccMathError::Singular) << v;
  EXPECT_EQ(ccVector<2>(-1, -0.0).angle().toDouble(), ccPi);
  EXPECT_EQ(ccVector<2>().angle().toDouble(), 0.0);
  EXPECT_EQ(ccVector<2>(-1, ccDegree(0)), ccVector<2>(-1, 0));  // a negative radius turns back
}

TEST(IndexOutOfRange, IsReportedAndReadsTheLastElement) {
  AssertCounter asserts;
  ccVector<2> v(1, 2);
  EXPECT_EQ(v[2], 2.0);
  EXPECT_EQ(v[-1], 2.0);
  EXPECT_EQ(ccMatrix<2>(1, 2, 3, 4).element(2, 1), 4.0);
  EXPECT_EQ(asserts.reports(), 3);
}

TEST(Matrix, ProductsInverseAndSingular) {
  const ccMatrix<2> a(1, 2, 3, 4);  // row by row
  EXPECT_EQ(a * ccMatrix<2>(5, 6, 7, 8), ccMatrix<2>(19, 22, 43, 50));
  EXPECT_EQ(a * ccVector<2>(5, 6), ccVector<2>(17, 39));
  EXPECT_EQ(a.inverse(), ccMatrix<2>(-2, 1, 1.5, -0.5));
  // Magnitudes whose determinant alone would overflow or underflow.
  EXPECT_EQ(ccMatrix<2>(0x1p600, 0, 0, 0x1p600).inverse(), ccMatrix<2>(0x1p-600, 0, 0, 0x1p-600));
  EXPECT_EQ(ccMatrix<2>(0x1p-600, 0, 0, 0x1p-600).inverse(), ccMatrix<2>(0x1p600, 0, 0, 0x1p600));
  // Ill-conditioned but invertible: its determinant is exactly delta.
  const double delta = (1 + 1e-12) - 1;
  const ccMatrix<2> ill(1, 1, 1, 1 + delta);
  EXPECT_FALSE(ill.isSingular());
  EXPECT_TRUE(cfRealEq(ill.inverse(),
                       ccMatrix<2>((1 + delta) / delta, -1 / delta, -1 / delta, 1 / delta), 1e-3));
  const ccMatrix<2> singular[] = {
      ccMatrix<2>(1, 2, 2, 4),         ccMatrix<2>(3, 0, 0, 0),
      ccMatrix<2>(1, 1, 1, 1 + 1e-15), ccMatrix<2>(1e200, 2e200, 1e200, 2e200),
      ccMatrix<2>(kNaN, 0, 0, 1),      ccMatrix<2>(kInf, 0, 0, 1),
  };
  for (const ccMatrix<2>& s : singular) {
    EXPECT_TRUE(s.isSingular()) << s;
    EXPECT_THROW(s.inverse(), ccMathError::Singular) << s;
  }
  EXPECT_THROW(ccMatrix<2>(1, 0, 0, 1e-310).inverse(), ccMathError::Singular);  // overflows
  EXPECT_DOUBLE_EQ(ccMatrix<2>(1, 0, 0, 1e-300).inverse().element(1, 1), 1e300);
}

// ---- archive forms: angles, vectors, matrices and maps as bare doubles, pairs with a version
// byte

TEST(GeometryArchive, ExactFormsRoundTripsAndUnknownVersion) {
  ccRadian r(-1.25);
  ccDegree d(725.5);
  ccVector<2> v(-3.25, 1e-300);
  ccMatrix<2> m(1, -2, 3.5, 1e-3);
  ccXform<2> x(ccMatrix<2>(1, -2, 3.5, 4), ccVector<2>(-5.25, 6e10));
  cc2Rigid rigid(ccRadian(0.25), ccVector<2>(-1.5, 2));
  ccArchive ar;
  ar || r || d || v || m || x || rigid;
  Bytes form;
  for (double f : {-1.25, 725.5, -3.25, 1e-300, 1.0, -2.0, 3.5, 1e-3, 1.0, -2.0, 3.5, 4.0, -5.25,
                   6e10, 0.25, -1.5, 2.0})
    putDouble(form, f);
  EXPECT_EQ(ar.data(), form);
  ccArchive in(form);
  ccRadian r2;
  ccDegree d2;
  ccVector<2> v2;
  ccMatrix<2> m2(0, 0, 0, 0);
  ccXform<2> x2;
  cc2Rigid rigid2;
  in || r2 || d2 || v2 || m2 || x2 || rigid2;
  EXPECT_TRUE(r2 == r && d2 == d && v2 == v && m2 == m && x2 == x && rigid2 == rigid);
  EXPECT_TRUE(in.atEnd());
  ccPair<double> pd(0.5, -8);
  ccArchive pa;
  pa || pd;
  ASSERT_EQ(pa.data().size(), 17u);
  Bytes bad = pa.data();
  bad[0] = 1;
  ccArchive in2(bad);
  ccPair<double> kept(7, 9);
  EXPECT_THROW(in2 || kept, ccArchive::UnknownVersion);
  EXPECT_TRUE((kept == ccPair<double>(7, 9)));
}

}  // namespace
