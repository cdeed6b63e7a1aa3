// Geometry values: numeric helpers, angles, vectors, pairs, 2x2 matrices and their archive
// forms.
#include <core/angle.h>
#include <core/archive.h>
#include <core/assert.h>
#include <core/math.h>
#include <core/matherror.h>
#include <core/matrix.h>
#include <core/pair.h>
#include <core/vector.h>

#include <gtest/gtest.h>

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

// Reads the stored bytes back as n doubles, checking that exactly n * 8 bytes were stored.
std::vector<double> storedDoubles(const ccArchive& ar, std::size_t n) {
  EXPECT_EQ(ar.data().size(), n * 8);
  ccArchive in(ar.data());
  std::vector<double> values(n);
  for (double& v : values) in || v;
  EXPECT_TRUE(in.atEnd());
  return values;
}

int assertReports = 0;
void countingHandler(int, const char*) { ++assertReports; }

// Installs the counting assertion handler for the lifetime of the object.
class CountAsserts {
 public:
  CountAsserts() : previous_(cstd_setAssertHandler(&countingHandler)) { assertReports = 0; }
  ~CountAsserts() { cstd_setAssertHandler(previous_); }

 private:
  cstd_AssertHandler previous_;
};

// ---- numeric helpers

TEST(RealEq, AbsoluteToleranceWithDefault) {
  EXPECT_TRUE(cfRealEq(1.0, 1.0));
  EXPECT_TRUE(cfRealEq(1.0, 1.0 + 4e-16));  // two ulps at 1
  EXPECT_FALSE(cfRealEq(1.0, 1.0 + 1e-14));
  EXPECT_TRUE(cfRealEq(1.0, 1.0 + 1e-14, 1e-13));
  EXPECT_TRUE(cfRealEq(0.5, 0.25, 0.25));  // the bound itself is included
  EXPECT_FALSE(cfRealEq(0.5, 0.25, 0.2));
  // Absolute, not relative: large neighbours differ by more than 1e-15.
  EXPECT_FALSE(cfRealEq(1e10, std::nextafter(1e10, 2e10)));
}

TEST(RealEq, NonFiniteValues) {
  EXPECT_TRUE(cfRealEq(kInf, kInf));
  EXPECT_FALSE(cfRealEq(kInf, -kInf));
  EXPECT_FALSE(cfRealEq(kNaN, kNaN));
  EXPECT_FALSE(cfRealEq(kNaN, 0.0, 1e300));
}

TEST(IntegerRounding, OrdinaryValues) {
  EXPECT_EQ(cfIFloor(2.5), 2);
  EXPECT_EQ(cfICeil(2.5), 3);
  EXPECT_EQ(cfIFloor(-2.5), -3);
  EXPECT_EQ(cfICeil(-2.5), -2);
  EXPECT_EQ(cfIFloor(7.0), 7);
  EXPECT_EQ(cfICeil(7.0), 7);
  EXPECT_EQ(cfIFloor(-0.0), 0);
  EXPECT_EQ(cfICeil(-0.25), 0);
  EXPECT_EQ(cfIFloor(-1e-300), -1);
  EXPECT_EQ(cfICeil(1e-300), 1);
}

TEST(IntegerRounding, ClampsAndNaN) {
  EXPECT_EQ(cfIFloor(kNaN), 0);
  EXPECT_EQ(cfICeil(kNaN), 0);
  EXPECT_EQ(cfIFloor(kInf), LONG_MAX);
  EXPECT_EQ(cfICeil(-kInf), LONG_MIN);
  EXPECT_EQ(cfIFloor(1e300), LONG_MAX);
  EXPECT_EQ(cfICeil(-1e300), LONG_MIN);
  // LONG_MAX itself is not a double; the nearest one above it clamps.
  const double top = -static_cast<double>(LONG_MIN);
  EXPECT_EQ(cfIFloor(top), LONG_MAX);
  EXPECT_EQ(cfIFloor(std::nextafter(top, 0.0)), static_cast<long>(std::nextafter(top, 0.0)));
  // LONG_MIN is a double and stays.
  EXPECT_EQ(cfIFloor(static_cast<double>(LONG_MIN)), LONG_MIN);
  EXPECT_EQ(cfIFloor(std::nextafter(static_cast<double>(LONG_MIN), -kInf)), LONG_MIN);
}

// ---- angles

TEST(Angle, ConversionsAreExactAtQuarterTurns) {
  static_assert(ccRadian(ccDegree(180)).toDouble() == ccPi, "constexpr conversion");
  EXPECT_EQ(ccRadian(ccDegree(90)).toDouble(), ccPi / 2);
  EXPECT_EQ(ccRadian(ccDegree(360)).toDouble(), kTwoPi);
  EXPECT_EQ(ccRadian(ccDegree(-45)).toDouble(), -ccPi / 4);
  EXPECT_EQ(ccDegree(ccRadian(ccPi)).toDouble(), 180.0);
  EXPECT_EQ(ccDegree(ccRadian(ccPi / 2)).toDouble(), 90.0);
  EXPECT_EQ(ccDegree(ccRadian(-kTwoPi)).toDouble(), -360.0);
  EXPECT_NEAR(ccDegree(ccRadian(1.0)).toDouble(), 57.29577951308232, 1e-13);
  EXPECT_NEAR(ccRadian(ccDegree(30)).toDouble(), 0.5235987755982988, 1e-16);
}

TEST(Angle, Arithmetic) {
  const ccRadian a(1.5);
  const ccRadian b(0.5);
  EXPECT_EQ((a + b).toDouble(), 2.0);
  EXPECT_EQ((a - b).toDouble(), 1.0);
  EXPECT_EQ((-a).toDouble(), -1.5);
  EXPECT_EQ((a * 2.0).toDouble(), 3.0);
  EXPECT_EQ((2.0 * a).toDouble(), 3.0);
  EXPECT_EQ((a / 3.0).toDouble(), 0.5);
  EXPECT_EQ(a / b, 3.0);
  ccRadian c(1.0);
  c += b;
  c -= ccRadian(1.0);
  c *= 4.0;
  c /= 8.0;
  EXPECT_EQ(c.toDouble(), 0.25);

  const ccDegree d(90);
  EXPECT_EQ((d + ccDegree(45)).toDouble(), 135.0);
  EXPECT_EQ((d - ccDegree(100)).toDouble(), -10.0);
  EXPECT_EQ((-d).toDouble(), -90.0);
  EXPECT_EQ((0.5 * d).toDouble(), 45.0);
  EXPECT_EQ((d / 4.0).toDouble(), 22.5);
  EXPECT_EQ(d / ccDegree(30), 3.0);
  ccDegree e(10);
  e += ccDegree(5);
  e -= ccDegree(1);
  e *= 3.0;
  e /= 2.0;
  EXPECT_EQ(e.toDouble(), 21.0);
  EXPECT_EQ(ccDegree().toDouble(), 0.0);
  EXPECT_EQ(ccRadian().toDouble(), 0.0);
}

TEST(Angle, MixedUnitsConvertTheRightOperand) {
  // ccRadian + ccDegree is a ccRadian: pi/2 + 90 deg == pi.
  const ccRadian sum = ccRadian(ccPi / 2) + ccDegree(90);
  EXPECT_EQ(sum.toDouble(), ccPi);
  const ccDegree dsum = ccDegree(90) + ccRadian(ccPi / 2);
  EXPECT_EQ(dsum.toDouble(), 180.0);
  EXPECT_EQ(ccRadian(ccPi) / ccDegree(90), 2.0);
  EXPECT_TRUE(ccRadian(ccPi) == ccDegree(180));
  EXPECT_TRUE(ccDegree(180) == ccRadian(ccPi));
}

TEST(Angle, Comparisons) {
  const ccRadian small(1.0);
  const ccRadian big(2.0);
  EXPECT_TRUE(small < big);
  EXPECT_FALSE(big < small);
  EXPECT_TRUE(small <= ccRadian(1.0));
  EXPECT_FALSE(big <= small);
  EXPECT_TRUE(big > small);
  EXPECT_TRUE(big >= ccRadian(2.0));
  EXPECT_TRUE(small != big);
  EXPECT_FALSE(small == big);
  EXPECT_TRUE(ccDegree(10) < ccDegree(20));
  EXPECT_TRUE(ccDegree(20) > ccDegree(10));
  EXPECT_TRUE(ccDegree(20) >= ccDegree(20));
  EXPECT_TRUE(ccDegree(20) <= ccDegree(20));
  EXPECT_TRUE(ccDegree(20) != ccDegree(21));
  // 1 rad is about 57.3 degrees.
  EXPECT_TRUE(ccRadian(1.0) < ccDegree(58));
  EXPECT_TRUE(ccRadian(1.0) > ccDegree(57));
}

TEST(Angle, RadianNormAtExactMultiples) {
  EXPECT_EQ(ccRadian(0.0).norm().toDouble(), 0.0);
  EXPECT_EQ(ccRadian(kTwoPi).norm().toDouble(), 0.0);
  EXPECT_EQ(ccRadian(-kTwoPi).norm().toDouble(), 0.0);
  EXPECT_EQ(ccRadian(4 * kTwoPi).norm().toDouble(), 0.0);
  EXPECT_EQ(ccRadian(-ccPi).norm().toDouble(), ccPi);
  EXPECT_EQ(ccRadian(ccPi).norm().toDouble(), ccPi);
  EXPECT_EQ(ccRadian(-ccPi / 2).norm().toDouble(), 1.5 * ccPi);
  EXPECT_FALSE(std::signbit(ccRadian(-0.0).norm().toDouble()));
}

TEST(Angle, RadianSignedNormAtExactMultiples) {
  EXPECT_EQ(ccRadian(ccPi).signedNorm().toDouble(), -ccPi);
  EXPECT_EQ(ccRadian(-ccPi).signedNorm().toDouble(), -ccPi);
  EXPECT_EQ(ccRadian(kTwoPi).signedNorm().toDouble(), 0.0);
  EXPECT_EQ(ccRadian(-kTwoPi).signedNorm().toDouble(), 0.0);
  EXPECT_EQ(ccRadian(1.5 * ccPi).signedNorm().toDouble(), -ccPi / 2);
  EXPECT_EQ(ccRadian(-1.5 * ccPi).signedNorm().toDouble(), ccPi / 2);
  EXPECT_EQ(ccRadian(0.25).signedNorm().toDouble(), 0.25);
  EXPECT_EQ(ccRadian(-0.25).signedNorm().toDouble(), -0.25);
}

TEST(Angle, NormEdgeCasesStayInHalfOpenRanges) {
  // A tiny negative angle plus 2pi rounds to 2pi, which must fold to 0.
  EXPECT_EQ(ccRadian(-1e-20).norm().toDouble(), 0.0);
  EXPECT_EQ(ccDegree(-1e-300).norm().toDouble(), 0.0);
  // signedNorm leaves values already in range untouched.
  EXPECT_EQ(ccRadian(-1e-20).signedNorm().toDouble(), -1e-20);
  const double belowTwoPi = std::nextafter(kTwoPi, 0.0);
  EXPECT_EQ(ccRadian(belowTwoPi).norm().toDouble(), belowTwoPi);
  const double belowPi = std::nextafter(ccPi, 0.0);
  EXPECT_EQ(ccRadian(belowPi).signedNorm().toDouble(), belowPi);
  EXPECT_EQ(ccRadian(-belowPi).signedNorm().toDouble(), -belowPi);

  const double samples[] = {0.0,       1e-300,     -1e-300,     1.0,     -1.0,    3.0,     -3.0,
                            3.14159,   -7.5,       7.5,         100.0,   -100.0,  1e6,     -1e6,
                            1e15,      -1e15,      ccPi,        -ccPi,   kTwoPi,  -kTwoPi, 3 * ccPi,
                            -3 * ccPi, belowTwoPi, -belowTwoPi, belowPi, -belowPi};
  for (double v : samples) {
    const double n = ccRadian(v).norm().toDouble();
    const double s = ccRadian(v).signedNorm().toDouble();
    EXPECT_GE(n, 0.0) << v;
    EXPECT_LT(n, kTwoPi) << v;
    EXPECT_GE(s, -ccPi) << v;
    EXPECT_LT(s, ccPi) << v;
    // Same direction as v (reduction is by the double 2pi, which drifts for huge angles).
    if (std::fabs(v) <= 1e6) {
      EXPECT_NEAR(std::cos(n), std::cos(v), 1e-9) << v;
      EXPECT_NEAR(std::sin(s), std::sin(v), 1e-9) << v;
    }
    const double nd = ccDegree(v).norm().toDouble();
    const double sd = ccDegree(v).signedNorm().toDouble();
    EXPECT_GE(nd, 0.0) << v;
    EXPECT_LT(nd, 360.0) << v;
    EXPECT_GE(sd, -180.0) << v;
    EXPECT_LT(sd, 180.0) << v;
  }
}

TEST(Angle, DegreeNorms) {
  EXPECT_EQ(ccDegree(360).norm().toDouble(), 0.0);
  EXPECT_EQ(ccDegree(-360).norm().toDouble(), 0.0);
  EXPECT_EQ(ccDegree(-180).norm().toDouble(), 180.0);
  EXPECT_EQ(ccDegree(725).norm().toDouble(), 5.0);
  EXPECT_EQ(ccDegree(-725).norm().toDouble(), 355.0);
  EXPECT_EQ(ccDegree(-90).norm().toDouble(), 270.0);
  EXPECT_EQ(ccDegree(180).signedNorm().toDouble(), -180.0);
  EXPECT_EQ(ccDegree(-180).signedNorm().toDouble(), -180.0);
  EXPECT_EQ(ccDegree(540).signedNorm().toDouble(), -180.0);
  EXPECT_EQ(ccDegree(-540).signedNorm().toDouble(), -180.0);
  EXPECT_EQ(ccDegree(-725).signedNorm().toDouble(), -5.0);
  EXPECT_EQ(ccDegree(190).signedNorm().toDouble(), -170.0);
  EXPECT_EQ(ccDegree(-190).signedNorm().toDouble(), 170.0);
  EXPECT_EQ(ccDegree(179.5).signedNorm().toDouble(), 179.5);
}

TEST(Angle, NonFiniteNormIsNaN) {
  EXPECT_TRUE(std::isnan(ccRadian(kInf).norm().toDouble()));
  EXPECT_TRUE(std::isnan(ccDegree(kNaN).signedNorm().toDouble()));
}

TEST(Angle, Trigonometry) {
  EXPECT_NEAR(sin(ccDegree(30)), 0.5, 1e-16);
  EXPECT_NEAR(cos(ccDegree(60)), 0.5, 1e-15);
  EXPECT_EQ(cos(ccRadian(0)), 1.0);
  EXPECT_NEAR(tan(ccDegree(45)), 1.0, 1e-15);
  EXPECT_NEAR(sin(ccRadian(-ccPi / 2)), -1.0, 1e-16);
  EXPECT_EQ(cfAtan2(1, 1).toDouble(), ccPi / 4);
  EXPECT_EQ(cfAtan2(0, -1).toDouble(), ccPi);
  EXPECT_EQ(cfAtan2(-0.0, -1).toDouble(), ccPi);  // (-pi, pi]: never -pi
  EXPECT_EQ(cfAtan2(-1, 0).toDouble(), -ccPi / 2);
  EXPECT_EQ(cfAtan2(0, 0).toDouble(), 0.0);
}

TEST(Angle, RealEq) {
  EXPECT_TRUE(cfRealEq(ccRadian(1.0), ccRadian(1.0 + 1e-16)));
  EXPECT_FALSE(cfRealEq(ccRadian(0.0), ccRadian(kTwoPi)));
  EXPECT_TRUE(cfRealEq(ccDegree(10), ccDegree(10.5), 0.5));
  EXPECT_FALSE(cfRealEq(ccDegree(10), ccDegree(10.5), 0.4));
}

TEST(Angle, StreamOutput) {
  std::ostringstream os;
  os << ccRadian(1.5) << "; " << ccDegree(-90);
  EXPECT_EQ(os.str(), "1.5 rad; -90 deg");
}

TEST(Angle, ArchiveRoundTrip) {
  ccRadian r(-1.25);
  ccDegree d(725.5);
  ccArchive ar;
  ar || r;
  EXPECT_EQ(ar.data().size(), 8u);
  ar || d;
  const std::vector<double> raw = storedDoubles(ar, 2);
  EXPECT_EQ(raw[0], -1.25);
  EXPECT_EQ(raw[1], 725.5);

  ccArchive in(ar.data());
  ccRadian r2;
  ccDegree d2;
  in || r2;
  in || d2;
  EXPECT_EQ(r2, r);
  EXPECT_EQ(d2, d);
  EXPECT_TRUE(in.atEnd());
}

TEST(Angle, ArchiveTruncatedThrows) {
  ccRadian r(1.0);
  ccArchive ar;
  ar || r;
  std::vector<unsigned char> bytes = ar.data();
  bytes.pop_back();
  ccArchive in(bytes);
  ccRadian loaded;
  EXPECT_THROW(in || loaded, ccArchive::EndOfData);
}

// ---- vectors

TEST(Vector, ConstructionAndAccess) {
  constexpr ccVector<2> zero;
  static_assert(zero.x() == 0 && zero.y() == 0, "default is (0, 0)");
  ccVector<2> v(1.5, -2);
  EXPECT_EQ(v.x(), 1.5);
  EXPECT_EQ(v.y(), -2.0);
  EXPECT_EQ(v[1], -2.0);
  v[0] = 7;
  v[1] += 1;
  EXPECT_EQ(v, ccVector<2>(7, -1));
}

TEST(Vector, BadIndexIsReported) {
  CountAsserts counting;
  ccVector<2> v(1, 2);
  EXPECT_EQ(v[2], 2.0);
  EXPECT_EQ(v[-1], 2.0);
  EXPECT_EQ(assertReports, 2);
  EXPECT_EQ(v[0] + v[1], 3.0);
  EXPECT_EQ(assertReports, 2);
}

TEST(Vector, Arithmetic) {
  const ccVector<2> a(1, 2);
  const ccVector<2> b(3, -5);
  EXPECT_EQ(a + b, ccVector<2>(4, -3));
  EXPECT_EQ(a - b, ccVector<2>(-2, 7));
  EXPECT_EQ(-a, ccVector<2>(-1, -2));
  EXPECT_EQ(a * 3.0, ccVector<2>(3, 6));
  EXPECT_EQ(3.0 * a, ccVector<2>(3, 6));
  EXPECT_EQ(b / 2.0, ccVector<2>(1.5, -2.5));
  ccVector<2> c = a;
  c += b;
  EXPECT_EQ(c, ccVector<2>(4, -3));
  c -= a;
  EXPECT_EQ(c, b);
  c *= -2.0;
  EXPECT_EQ(c, ccVector<2>(-6, 10));
  c /= 4.0;
  EXPECT_EQ(c, ccVector<2>(-1.5, 2.5));
  EXPECT_FALSE(a == ccVector<2>(1, std::nextafter(2.0, 3.0)));
}

TEST(Vector, Products) {
  const ccVector<2> a(1, 2);
  const ccVector<2> b(3, 4);
  EXPECT_EQ(a.dot(b), 11.0);
  EXPECT_EQ(a.cross(b), -2.0);  // 1*4 - 2*3
  EXPECT_EQ(b.cross(a), 2.0);
  EXPECT_EQ(ccVector<2>(1, 0).cross(ccVector<2>(0, 1)), 1.0);  // counter-clockwise is +
}

TEST(Vector, LengthsAndDistance) {
  const ccVector<2> v(3, -4);
  EXPECT_EQ(v.length(), 5.0);
  EXPECT_EQ(v.lengthSq(), 25.0);
  EXPECT_EQ(ccVector<2>(1, 1).distance(ccVector<2>(4, 5)), 5.0);
  // No overflow or underflow in the middle.
  EXPECT_DOUBLE_EQ(ccVector<2>(3e200, 4e200).length(), 5e200);
  EXPECT_DOUBLE_EQ(ccVector<2>(3e-200, 4e-200).length(), 5e-200);
}

TEST(Vector, Unit) {
  EXPECT_EQ(ccVector<2>(3, 4).unit(), ccVector<2>(0.6, 0.8));
  EXPECT_EQ(ccVector<2>(0, -2).unit(), ccVector<2>(0, -1));
  EXPECT_EQ(ccVector<2>(1e-310, 0).unit(), ccVector<2>(1, 0));
  EXPECT_THROW(ccVector<2>().unit(), ccMathError::Singular);
  EXPECT_THROW(ccVector<2>(kNaN, 1).unit(), ccMathError::Singular);
  EXPECT_THROW(ccVector<2>(kInf, 0).unit(), ccMathError::Singular);
  try {
    ccVector<2>().unit();
    FAIL() << "no throw";
  } catch (const ccMathError::Errors& e) {
    EXPECT_EQ(e.errorNumber(), 0x10003200u);
  }
}

TEST(Vector, AngleAndPolar) {
  EXPECT_EQ(ccVector<2>(1, 0).angle().toDouble(), 0.0);
  EXPECT_EQ(ccVector<2>(0, 2).angle().toDouble(), ccPi / 2);
  EXPECT_EQ(ccVector<2>(-1, 0).angle().toDouble(), ccPi);
  EXPECT_EQ(ccVector<2>(-1, -0.0).angle().toDouble(), ccPi);
  EXPECT_EQ(ccVector<2>(-1, -1).angle().toDouble(), -0.75 * ccPi);
  EXPECT_EQ(ccVector<2>().angle().toDouble(), 0.0);

  const ccVector<2> p(2, ccDegree(90));
  EXPECT_NEAR(p.x(), 0.0, 1e-15);
  EXPECT_EQ(p.y(), 2.0);
  const ccVector<2> q = ccVector<2>::polar(2, ccRadian(ccPi / 3));
  EXPECT_NEAR(q.x(), 1.0, 1e-15);
  EXPECT_NEAR(q.y(), std::sqrt(3.0), 1e-15);
  const ccVector<2> r(-1, ccDegree(0));  // a negative radius points the other way
  EXPECT_EQ(r, ccVector<2>(-1, 0));
}

TEST(Vector, RealEq) {
  EXPECT_TRUE(cfRealEq(ccVector<2>(1, 2), ccVector<2>(1 + 1e-16, 2 - 1e-16)));
  EXPECT_FALSE(cfRealEq(ccVector<2>(1, 2), ccVector<2>(1, 2.001), 1e-4));
  EXPECT_TRUE(cfRealEq(ccVector<2>(1, 2), ccVector<2>(1.001, 2.001), 1e-2));
  EXPECT_FALSE(cfRealEq(ccVector<2>(1, 2), ccVector<2>(1.1, 2), 1e-2));  // x alone fails
}

TEST(Vector, StreamOutput) {
  std::ostringstream os;
  os << ccVector<2>(1.5, -2);
  EXPECT_EQ(os.str(), "(1.5, -2)");
}

TEST(Vector, ArchiveRoundTrip) {
  ccVector<2> v(-3.25, 1e-300);
  ccArchive ar;
  ar || v;
  const std::vector<double> raw = storedDoubles(ar, 2);
  EXPECT_EQ(raw[0], -3.25);  // x first
  EXPECT_EQ(raw[1], 1e-300);
  ccArchive in(ar.data());
  ccVector<2> loaded(9, 9);
  in || loaded;
  EXPECT_EQ(loaded, v);
}

// ---- pairs

TEST(Pair, ValueAndArchive) {
  EXPECT_FALSE((ccPair<int>(2, 1) == ccPair<int>(1, 2)));

  // A version byte, then the two elements.
  ccPair<double> pd(0.5, -8);
  ccArchive ar;
  ar || pd;
  ASSERT_EQ(ar.data().size(), 17u);
  EXPECT_EQ(ar.data()[0], 0);
  ccArchive in1(ar.data());
  ccPair<double> back;
  in1 || back;
  EXPECT_TRUE(back == pd);

  ccPair<ccVector<2>> pv(ccVector<2>(1, 2), ccVector<2>(3, 4));
  ccArchive ar2;
  ar2 || pv;
  EXPECT_EQ(ar2.data().size(), 33u);
  ccArchive in(ar2.data());
  ccPair<ccVector<2>> loaded;
  in || loaded;
  EXPECT_TRUE(loaded == pv);

  // Unknown version: the pair keeps its value.
  std::vector<unsigned char> bad = ar.data();
  bad[0] = 1;
  ccArchive in2(bad);
  ccPair<double> kept(7, 9);
  EXPECT_THROW(in2 || kept, ccArchive::UnknownVersion);
  EXPECT_TRUE((kept == ccPair<double>(7, 9)));
}

// ---- matrices

TEST(Matrix, ConstructionAndElements) {
  const ccMatrix<2> id;
  EXPECT_EQ(id, ccMatrix<2>(1, 0, 0, 1));
  ccMatrix<2> m(1, 2, 3, 4);  // row by row
  EXPECT_EQ(m.element(0, 0), 1.0);
  EXPECT_EQ(m.element(0, 1), 2.0);
  EXPECT_EQ(m.element(1, 0), 3.0);
  EXPECT_EQ(m.element(1, 1), 4.0);
  m.element(1, 0, -7);
  EXPECT_EQ(m, ccMatrix<2>(1, 2, -7, 4));
  EXPECT_NE(m, ccMatrix<2>(1, 2, 3, 4));

  CountAsserts counting;
  EXPECT_EQ(m.element(2, 1), 4.0);
  EXPECT_EQ(assertReports, 1);
}

TEST(Matrix, Products) {
  const ccMatrix<2> a(1, 2, 3, 4);
  const ccMatrix<2> b(5, 6, 7, 8);
  EXPECT_EQ(a * b, ccMatrix<2>(19, 22, 43, 50));
  EXPECT_EQ(b * a, ccMatrix<2>(23, 34, 31, 46));
  EXPECT_EQ(a * ccVector<2>(5, 6), ccVector<2>(17, 39));
  EXPECT_EQ(a * 2.0, ccMatrix<2>(2, 4, 6, 8));
  EXPECT_EQ(0.5 * a, ccMatrix<2>(0.5, 1, 1.5, 2));
  EXPECT_EQ(a + b, ccMatrix<2>(6, 8, 10, 12));
  EXPECT_EQ(b - a, ccMatrix<2>(4, 4, 4, 4));
  ccMatrix<2> c = a;
  c *= b;
  EXPECT_EQ(c, ccMatrix<2>(19, 22, 43, 50));
  c *= 0.5;
  EXPECT_EQ(c, ccMatrix<2>(9.5, 11, 21.5, 25));
}

TEST(Matrix, TransposeAndDeterminant) {
  const ccMatrix<2> a(1, 2, 3, 4);
  EXPECT_EQ(a.transpose(), ccMatrix<2>(1, 3, 2, 4));
  EXPECT_EQ(a.determinant(), -2.0);
  EXPECT_EQ(ccMatrix<2>().determinant(), 1.0);
  EXPECT_EQ(ccMatrix<2>(2, 0, 0, 3).determinant(), 6.0);
  EXPECT_EQ(ccMatrix<2>(0, 1, 1, 0).determinant(), -1.0);
}

TEST(Matrix, Inverse) {
  EXPECT_EQ(ccMatrix<2>(1, 2, 3, 4).inverse(), ccMatrix<2>(-2, 1, 1.5, -0.5));
  EXPECT_EQ(ccMatrix<2>(2, 0, 0, 4).inverse(), ccMatrix<2>(0.5, 0, 0, 0.25));
  EXPECT_EQ(ccMatrix<2>(0, -1, 1, 0).inverse(), ccMatrix<2>(0, 1, -1, 0));
  // Magnitudes whose determinant alone would overflow or underflow.
  EXPECT_EQ(ccMatrix<2>(0x1p600, 0, 0, 0x1p600).inverse(), ccMatrix<2>(0x1p-600, 0, 0, 0x1p-600));
  EXPECT_EQ(ccMatrix<2>(0x1p-600, 0, 0, 0x1p-600).inverse(), ccMatrix<2>(0x1p600, 0, 0, 0x1p600));

  const ccMatrix<2> m(0.3, -1.7, 2.9, 0.45);
  const ccMatrix<2> mi = m.inverse();
  EXPECT_TRUE(cfRealEq(m * mi, ccMatrix<2>(), 1e-15)) << m * mi;
  EXPECT_TRUE(cfRealEq(mi * m, ccMatrix<2>(), 1e-15)) << mi * m;
  // An ill-conditioned but invertible matrix.
  // An ill-conditioned but invertible matrix: its determinant is exactly delta.
  const double delta = (1 + 1e-12) - 1;
  const ccMatrix<2> ill(1, 1, 1, 1 + delta);
  EXPECT_EQ(ill.determinant(), delta);
  EXPECT_FALSE(ill.isSingular());
  EXPECT_TRUE(cfRealEq(ill.inverse(),
                       ccMatrix<2>((1 + delta) / delta, -1 / delta, -1 / delta, 1 / delta), 1e-3))
      << ill.inverse();
}

TEST(Matrix, SingularInverseThrows) {
  const ccMatrix<2> cases[] = {
      ccMatrix<2>(1, 2, 2, 4),          // rank 1
      ccMatrix<2>(0, 0, 0, 0),          // zero
      ccMatrix<2>(3, 0, 0, 0),          // zero row
      ccMatrix<2>(1, 1, 1, 1 + 1e-15),  // determinant lost in rounding
      ccMatrix<2>(1e200, 2e200, 1e200, 2e200),
      ccMatrix<2>(kNaN, 0, 0, 1),  // not finite
      ccMatrix<2>(kInf, 0, 0, 1),
      ccMatrix<2>(1, 0, 0, 1e-310),  // inverse element overflows
  };
  for (const ccMatrix<2>& m : cases) {
    EXPECT_THROW(m.inverse(), ccMathError::Singular) << m;
  }
  for (int i = 0; i < 7; ++i) EXPECT_TRUE(cases[i].isSingular()) << cases[i];
  EXPECT_FALSE(ccMatrix<2>(1, 0, 0, 1e-300).isSingular());
  EXPECT_DOUBLE_EQ(ccMatrix<2>(1, 0, 0, 1e-300).inverse().element(1, 1), 1e300);
  EXPECT_FALSE(ccMatrix<2>().isSingular());
}

TEST(Matrix, RealEqAndStream) {
  EXPECT_TRUE(cfRealEq(ccMatrix<2>(1, 2, 3, 4), ccMatrix<2>(1, 2, 3, 4 + 1e-16)));
  EXPECT_FALSE(cfRealEq(ccMatrix<2>(1, 2, 3, 4), ccMatrix<2>(1, 2, 3.01, 4), 1e-3));
  EXPECT_TRUE(cfRealEq(ccMatrix<2>(1, 2, 3, 4), ccMatrix<2>(1, 2, 3.01, 4), 1e-1));
  std::ostringstream os;
  os << ccMatrix<2>(1, 2, 3, 4.5);
  EXPECT_EQ(os.str(), "[[1, 2], [3, 4.5]]");
}

TEST(Matrix, ArchiveRoundTrip) {
  ccMatrix<2> m(1, -2, 3.5, 1e-3);
  ccArchive ar;
  ar || m;
  const std::vector<double> raw = storedDoubles(ar, 4);
  EXPECT_EQ(raw, (std::vector<double>{1, -2, 3.5, 1e-3}));  // row by row
  ccArchive in(ar.data());
  ccMatrix<2> loaded;
  in || loaded;
  EXPECT_EQ(loaded, m);
}

}  // namespace
