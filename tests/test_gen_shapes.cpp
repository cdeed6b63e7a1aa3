// Generic shapes: tags, the type registry, data bytes and the rounded polygon.
#include <core/genshape.h>
#include <core/lines.h>
#include <core/shapetree.h>
#include <core/splines.h>

#include "shapetesting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

using V = ccVector<2>;
using Tag = ccGenShape::tagShapeID;
using Bytes = std::vector<unsigned char>;

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
  ccShape::ccSampleResult r;
  s.sample(ccShape::ccSampleParams(0, 1e-7), r);
  const auto& v = r.positions();
  double a2 = 0;
  for (std::size_t i = 0; i < v.size(); ++i) a2 += v[i].cross(v[(i + 1) % v.size()]);
  return 0.5 * a2;
}

}  // namespace

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
  ccArchive in(out.data());
  Tag back;
  in || back;
  EXPECT_EQ(back, t);

  ccArchive wide;  // data1 beyond 32 bits
  wide.putUnsignedLong(1ULL << 32);
  Bytes big = wide.data();
  big.insert(big.end(), out.data().begin() + 5, out.data().end());
  ccArchive bad(big);
  EXPECT_THROW(bad || back, ccArchive::BadData);
}

TEST(GenShapeRegistry, MakesRegisteredTypes) {
  Tag unknown = TestGenBar::shapeTag();
  unknown.data4[7] = 99;
  EXPECT_FALSE(ccGenShape::newGenShape(unknown));

  // The first registration of a tag stays.
  EXPECT_FALSE(ccGenShape::registerType(
      TestGenBar::shapeTag(), []() -> ccGenShape* { return new ccGenShapeRoundedPolygon; }));
  EXPECT_EQ(typeid(*ccGenShape::newGenShape(TestGenBar::shapeTag())), typeid(TestGenBar));
}

TEST(GenShapeRegistry, ReplayFromTagAndData) {
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
  EXPECT_NEAR(s.perimeter(), 4 + ccPi, 1e-12);
  EXPECT_FALSE(s.within(V(0.05, 0.05)));  // cut off by the rounding
  EXPECT_TRUE(s.within(V(0.2, 0.2)));
  EXPECT_TRUE(
      cfRealEq(s.nearestPoint(V(0, 0)), V(0.5, 0.5) - V(1, 1) * (0.5 / std::sqrt(2.0)), 1e-12));

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

TEST(GenShapeRoundedPolygon, MappingComposesThePlacement) {
  const ccGenShapeRoundedPolygon s(kSquare, 0.5, ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(1, 1)));
  const ccXform<2> x(ccMatrix<2>(3, 1, 0, 2), V(-2, 4));
  const ccPtrHandle<ccGenShape> m = s.map(x);
  const auto& mp = dynamic_cast<const ccGenShapeRoundedPolygon&>(*m);
  EXPECT_EQ(mp.placement(), x * s.placement());
  EXPECT_NEAR(mp.area(), s.area() * 6, 1e-13);
  EXPECT_NEAR(sampledArea(mp), mp.area(), 1e-5);
  EXPECT_EQ(dynamic_cast<const ccGenShapeRoundedPolygon&>(*s.reverse()).vertices().front(),
            V(0, 0));
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
  // Too short, one byte too many, a bad version, a negative radius, a huge vertex count.
  EXPECT_THROW(t.loadData(data.data(), data.size() - 1), ccArchive::EndOfData);
  Bytes longer = data;
  longer.push_back(0);
  EXPECT_THROW(t.loadData(longer.data(), longer.size()), ccShapesError::BadParams);
  Bytes v1 = data;
  v1[0] = 1;
  EXPECT_THROW(t.loadData(v1.data(), v1.size()), ccArchive::UnknownVersion);
  Bytes neg = data;
  const double minus = -0.5;
  std::memcpy(&neg[49], &minus, 8);
  EXPECT_THROW(t.loadData(neg.data(), neg.size()), ccShapesError::BadRadius);
  Bytes huge = data;
  huge[60] = 0x7f;  // a vertex count far beyond the bytes
  EXPECT_THROW(t.loadData(huge.data(), huge.size()), ccArchive::BadData);
  EXPECT_EQ(t, before);

  t.loadData(data.data(), data.size());
  EXPECT_EQ(t, s);
}

TEST(GenShapeRoundedPolygon, Archive) {
  ccShapePtrh h(
      new ccGenShapeRoundedPolygon(kL, 0.3, ccXform<2>(ccMatrix<2>(0, 1, -1, 0), V(2, 3))));
  ccArchive out;
  out || h;
  // A tag that is not the class's own.

  Bytes bytes = out.data();
  const unsigned char tagStart[5] = {0xa7, 0xb4, 0xf0, 0xe9, 0x05};  // 0x5d3c1a27
  std::size_t at = 0;
  for (std::size_t i = 0; i + 5 <= bytes.size(); ++i)
    if (std::memcmp(&bytes[i], tagStart, 5) == 0) at = i;
  ASSERT_NE(at, 0u);
  bytes[at] = 0xa8;  // 0x5d3c1a28
  ccArchive bad(bytes);
  ccShapePtrh c;
  EXPECT_THROW(bad || c, ccArchive::BadData);
}
