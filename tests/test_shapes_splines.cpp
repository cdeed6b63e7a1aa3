// Bézier curves, splines and the generic shapes built from them: construction forms and
// checks, conversion, exact circular arcs, the generic shape tags, type registry and data
// bytes, and the rounded polygon.
#include <core/archive.h>
#include <core/genshape.h>
#include <core/lines.h>
#include <core/shapetree.h>
#include <core/splines.h>

#include <gtest/gtest.h>

#include "shapetesting.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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

using Tag = ccGenShape::tagShapeID;

// A generic shape type defined outside the library: a segment from (0, 0) to (len, 0).
class TestGenBar : public ccGenShape {
  CC_SHAPE_CLASS(TestGenBar)

 public:
  static const Tag& shapeTag() {
    static const Tag t = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
    return t;
  }
  double len = 1;
  Tag tag() const override { return shapeTag(); }
  ccPtrHandle<ccGenShape> map(const ccXform<2>&) const override {
    return ccPtrHandle<ccGenShape>(new TestGenBar(*this));
  }
  bool isOpenContour() const override { return true; }
  bool isRegion() const override { return false; }
  ccShapePtrh decompose() const override { return ccShapePtrh(new ccLineSeg(V(0, 0), V(len, 0))); }

 protected:
  bool equal_(const ccShape& o) const override {
    const auto* b = dynamic_cast<const TestGenBar*>(&o);
    return b && b->len == len;
  }
  void saveData_(ccArchive& out) const override {
    double l = len;
    out || l;
  }
  void loadData_(ccArchive& in) override {
    double l = 0;
    in || l;
    requireEnd(in);
    mutating();
    len = l;
  }
};

const ccGenShape::Registrar<TestGenBar> testGenBarRegistrar;

const std::vector<V> kSquare{V(0, 0), V(2, 0), V(2, 2), V(0, 2)};
const std::vector<V> kL{V(0, 0), V(2, 0), V(2, 1), V(1, 1), V(1, 2), V(0, 2)};

double sampledArea(const ccShape& s) {
  const std::vector<V> v = samplePositions(s, ccShape::ccSampleParams(0, 1e-7));
  double a2 = 0;
  for (std::size_t i = 0; i < v.size(); ++i) a2 += v[i].cross(v[(i + 1) % v.size()]);
  return 0.5 * a2;
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
  EXPECT_THROW(ccBezierCurve(V(NAN, 0), V(), V(), V()), ccShapesError::BadGeom);
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

// ---------------------------------------------------------------------------------------
// ccCubicSpline

TEST(CubicSpline, ChainOfCurvesWithAGap) {
  const ccBezierCurve a(V(0, 0), V(1, 1), V(2, 1), V(3, 0));
  const ccBezierCurve b(V(3, 0), V(4, -1), V(5, -1), V(6, 0));
  const ccBezierCurve c(V(10, 0), V(10, 1), V(11, 1), V(11, 0));  // after a gap
  const ccCubicSpline s({a, b, c});
  EXPECT_THROW(s.curve(3), ccShapesError::BadParams);
  // Nothing joins the gap: the nearest point to (8, 0) is an end of it.
  EXPECT_NEAR(s.distanceToPoint(V(8, 0)), 2, 1e-12);

  // The joint is sampled once, or twice with duplicated corners; the ends of the gap twice in
  // all.
  const auto count = [&s](bool corners, const V& p) {
    const Pts r = samplePositions(s, ccShape::ccSampleParams(0, 1e-3, 10000, corners));
    return std::count(r.begin(), r.end(), p);
  };
  EXPECT_EQ(count(false, V(3, 0)), 1);
  EXPECT_EQ(count(false, V(6, 0)) + count(false, V(10, 0)), 2);
  EXPECT_EQ(count(true, V(3, 0)), 2);
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
  const V expected[] = {V(5, 1), V(6, 2), V(6, 4), V(5, 5)};
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(cfRealEq(uniform.curve(0).controlPoints()[i], expected[i], 1e-14));
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

TEST(InterpSpline, ClampedEndsHaveTheirTangentsAndBadInputIsRefused) {
  const Pts p{V(0, 0), V(2, 1), V(4, 0)};
  const ccInterpSpline s(p, V(0, 1), V(1, -1));
  EXPECT_EQ(s.endCondition(), ccInterpSpline::eClamped);
  const double h0 = s.params()[1], h1 = s.params()[2] - s.params()[1];
  EXPECT_TRUE(cfRealEq(s.curve(0).derivative(0) / h0, V(0, 1), 1e-14));
  EXPECT_TRUE(cfRealEq(s.curve(1).derivative(1) / h1, V(1, -1), 1e-14));
  EXPECT_THROW(ccInterpSpline({V(0, 0)}), ccShapesError::BadParams);
  EXPECT_THROW(ccInterpSpline({V(0, 0), V(0, 0), V(1, 1)}), ccShapesError::BadGeom);
  EXPECT_THROW(ccInterpSpline({V(0, 0), V(1, 1)}, {0, 0}, ccInterpSpline::eNatural),
               ccShapesError::BadCoef);
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

// ---------------------------------------------------------------------------------------
// Generic shapes

TEST(GenShapeTag, BytesTextAndArchive) {
  const Tag t = ccGenShapeRoundedPolygon::shapeTag();
  EXPECT_EQ(t.toString(), "{5d3c1a27-8e41-4b6f-9a13-2c7740e51b08}");
  unsigned char b[16];
  t.toBytes(b);
  const unsigned char expected[16] = {0x27, 0x1a, 0x3c, 0x5d, 0x41, 0x8e, 0x6f, 0x4b,
                                      0x9a, 0x13, 0x2c, 0x77, 0x40, 0xe5, 0x1b, 0x08};
  EXPECT_EQ(std::memcmp(b, expected, 16), 0);
  EXPECT_EQ(Tag::fromBytes(b), t);
  EXPECT_TRUE(TestGenBar::shapeTag() < t);

  ccArchive out;
  Tag copy = t;
  out || copy;
  EXPECT_EQ(out.data().size(), 5u + 2 + 2 + 8);  // data1 is an unsigned long: 5 bytes here
  // Read back, the tag must be the class's own: the archived shapes of the contract check that.

  ccArchive wide;  // data1 beyond 32 bits
  wide.putUnsignedLong(1ULL << 32);
  Bytes big = wide.data();
  big.insert(big.end(), out.data().begin() + 5, out.data().end());
  ccArchive bad(big);
  Tag back;
  EXPECT_THROW(bad || back, ccArchive::BadData);
}

TEST(GenShapeRegistry, MakesRegisteredTypesAgainFromTagAndData) {
  Tag unknown = TestGenBar::shapeTag();
  unknown.data4[7] = 99;
  EXPECT_FALSE(ccGenShape::newGenShape(unknown));

  // The first registration of a tag stays.
  EXPECT_FALSE(ccGenShape::registerType(
      TestGenBar::shapeTag(), []() -> ccGenShape* { return new ccGenShapeRoundedPolygon; }));
  EXPECT_EQ(typeid(*ccGenShape::newGenShape(TestGenBar::shapeTag())), typeid(TestGenBar));
  // What a sketch does: keep the tag and the data, make the shape again later.
  const ccGenShapeRoundedPolygon p(kL, 0.25, ccXform<2>(ccMatrix<2>(2, 0, 0, 1), V(5, 5)));
  Bytes data;
  p.saveData(data);
  const ccShapePtrh s = ccGenShape::newGenShape(p.tag());
  static_cast<ccGenShape&>(*s).loadData(data.data(), data.size());
  EXPECT_EQ(*s, p);

  TestGenBar bar;
  bar.len = 3;
  bar.saveData(data);
  const ccShapePtrh t = ccGenShape::newGenShape(TestGenBar::shapeTag());
  static_cast<ccGenShape&>(*t).loadData(data.data(), data.size());
  EXPECT_EQ(t->endPoint(), V(3, 0));
}

TEST(GenShapeRoundedPolygon, RoundedSquare) {
  const ccGenShapeRoundedPolygon s(kSquare, 0.5);
  EXPECT_THROW(s.cornerRadius(4), ccShapesError::BadParams);
  EXPECT_NEAR(s.area(), 3 + ccPi / 4, 1e-14);
  EXPECT_NEAR(sampledArea(s), 3 + ccPi / 4, 1e-6);

  // Decomposition: arc of vertex 0, edge 0, arc of vertex 1, ...; arcs exactly circular.
  const ccShapePtrh d = s.decompose();
  const auto& t = dynamic_cast<const ccContourTree&>(*d);
  ASSERT_EQ(t.numChildren(), 8);
  const V centres[] = {V(0.5, 0.5), V(1.5, 0.5), V(1.5, 1.5), V(0.5, 1.5)};
  for (int i = 0; i < 4; ++i) {
    const auto& arc = dynamic_cast<const ccBezierCurve&>(*t.child(2 * i));
    for (int k = 0; k <= 16; ++k)
      EXPECT_NEAR((arc.point(k / 16.0) - centres[i]).length(), 0.5, 1e-15);
    EXPECT_NO_THROW(dynamic_cast<const ccLineSeg&>(*t.child(2 * i + 1)));
  }
  EXPECT_TRUE(cfRealEq(t.child(0)->startPoint(), V(0, 0.5), 1e-15));
  EXPECT_EQ(*t.child(1), ccLineSeg(V(0.5, 0), V(1.5, 0)));
}

TEST(GenShapeRoundedPolygon, RadiusShrinksToFitTheEdges) {
  const ccGenShapeRoundedPolygon c(kSquare, 5);  // becomes the circle of radius 1
  EXPECT_EQ(c.cornerRadius(3), 1);
  EXPECT_NEAR(c.area(), ccPi, 1e-14);
  const ccShapePtrh d = c.decompose();
  EXPECT_EQ(static_cast<const ccShapeTree&>(*d).numChildren(), 4);  // no edges left
  EXPECT_NEAR(c.distanceToPoint(V(1, 1)), 1, 1e-12);

  // A straight corner stays sharp.
  const ccGenShapeRoundedPolygon straight({V(0, 0), V(1, 0), V(2, 0), V(2, 2)}, 0.5);
  EXPECT_EQ(straight.cornerRadius(1), 0);
}

TEST(GenShapeRoundedPolygon, ReflexCornersAddArea) {
  const double r = 0.25;
  const ccGenShapeRoundedPolygon s(kL, r);
  // Five convex corners cut r^2 (1 - pi/4) each, the reflex corner at (1, 1) adds as much.
  const double cut = r * r * (1 - ccPi / 4);
  EXPECT_NEAR(s.area(), 3 - 4 * cut, 1e-14);
  EXPECT_NEAR(sampledArea(s), 3 - 4 * cut, 1e-6);
  EXPECT_TRUE(s.within(V(1.02, 1.02)));  // inside the filled reflex corner
  EXPECT_FALSE(s.within(V(1.2, 1.2)));
  // Clockwise vertices: the same area, the other orientation.
  const ccGenShapeRoundedPolygon cw({kL.rbegin(), kL.rend()}, r);
  EXPECT_NEAR(sampledArea(cw), -s.area(), 1e-6);
}

TEST(GenShapeRoundedPolygon, ConstructionChecks) {
  EXPECT_THROW(ccGenShapeRoundedPolygon({V(0, 0), V(1, 0)}, 0.1), ccShapesError::BadParams);
  EXPECT_THROW(ccGenShapeRoundedPolygon({V(0, 0), V(1, 0), V(1, 0), V(0, 1)}, 0.1),
               ccShapesError::BadGeom);
  EXPECT_THROW(ccGenShapeRoundedPolygon({V(0, 0), V(1, NAN), V(0, 1)}, 0.1),
               ccShapesError::BadGeom);
  EXPECT_THROW(ccGenShapeRoundedPolygon(kSquare, -0.1), ccShapesError::BadRadius);
  EXPECT_THROW(ccGenShapeRoundedPolygon(kSquare, 0.1, ccXform<2>(ccMatrix<2>(), V(INFINITY, 0))),
               ccShapesError::BadGeom);

  ccGenShapeRoundedPolygon s(kSquare, 0.5);
  const ccGenShapeRoundedPolygon before = s;
  EXPECT_THROW(s.radius(-1), ccShapesError::BadRadius);
  EXPECT_THROW(s.vertices({V(0, 0)}), ccShapesError::BadParams);
  EXPECT_EQ(s, before);
}

TEST(GenShapeRoundedPolygon, DataBytesAreChecked) {
  const ccGenShapeRoundedPolygon s(kSquare, 0.5, ccXform<2>(ccMatrix<2>(2, 0, 0, 2), V(1, 1)));
  Bytes data;
  s.saveData(data);
  ASSERT_EQ(data.size(), 1u + 48 + 8 + 4 + 16 * 4);

  ccGenShapeRoundedPolygon t(kL, 0.1);
  const ccGenShapeRoundedPolygon before = t;
  const auto load = [&t](const Bytes& b) { t.loadData(b.data(), b.size()); };
  // Too short, one byte too many, a bad version, a negative radius, a huge vertex count.
  Bytes shorter(data.begin(), data.end() - 1), longer = data, v1 = data, neg = data, huge = data;
  longer.push_back(0);
  v1[0] = 1;
  const double minus = -0.5;
  std::memcpy(&neg[49], &minus, 8);
  huge[60] = 0x7f;  // a vertex count far beyond the bytes
  EXPECT_THROW(load(shorter), ccArchive::EndOfData);
  EXPECT_THROW(load(longer), ccShapesError::BadParams);
  EXPECT_THROW(load(v1), ccArchive::UnknownVersion);
  EXPECT_THROW(load(neg), ccShapesError::BadRadius);
  EXPECT_THROW(load(huge), ccArchive::BadData);
  EXPECT_EQ(t, before);
  load(data);
  EXPECT_EQ(t, s);
}

TEST(GenShapeRoundedPolygon, AStoredTagOfAnotherClassIsRefused) {
  ccGenShapeRoundedPolygon s(kL, 0.3, ccXform<2>(ccMatrix<2>(0, 1, -1, 0), V(2, 3)));
  const unsigned char own[5] = {0xa7, 0xb4, 0xf0, 0xe9, 0x05};    // 0x5d3c1a27
  const unsigned char other[5] = {0xa8, 0xb4, 0xf0, 0xe9, 0x05};  // 0x5d3c1a28
  ccArchive bad(replaced(bytesOf(s), own, other, 5));
  EXPECT_THROW(s.dispatchSerialize(bad), ccArchive::BadData);
}
