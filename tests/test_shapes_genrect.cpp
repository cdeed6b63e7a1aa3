// General rectangles and their annuli, and the mapping of axis-aligned rectangles.
#include <core/archive.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/rect.h>
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

using V = ccVector<2>;
using M = ccMatrix<2>;

std::vector<V> samples(const ccShape& s, const ccShape::ccSampleParams& sp) {
  ccShape::ccSampleResult r;
  s.sample(sp, r);
  return r.positions();
}

// The square [-1, 1]^2 with corner rounding r, mapped by (c, u).
ccGenRect square(const V& r, const M& u = M(), const V& c = V()) { return ccGenRect(c, u, r); }

const ccXform<2> kShear(M(1, 0.5, 0, 1), V(2, -1));

}  // namespace

TEST(ShapesGenRect, ConstructionValidates) {
  EXPECT_THROW(ccGenRect(V(kNaN, 0), M()), ccShapesError::BadGeom);
  EXPECT_THROW(ccGenRect(V(0, 0), M(), V(1.5, 0)), ccShapesError::BadParams);
  EXPECT_THROW(ccGenRect(V(0, 0), M(), V(0, -0.1)), ccShapesError::BadParams);
  EXPECT_THROW(ccGenRect(V(0, 0), V(-1, 1), ccRadian(0), V(0, 0)), ccShapesError::BadParams);
  ccGenRect g(V(1, 1), M(2, 0, 0, 1));
  EXPECT_THROW(g.uround(V(2, 2)), ccShapesError::BadParams);
  EXPECT_THROW(g.U(M(kNaN, 0, 0, 1)), ccShapesError::BadGeom);
  EXPECT_EQ(g, ccGenRect(V(1, 1), M(2, 0, 0, 1)));

  // Half-extents and rotation.
  const ccGenRect h(V(1, 2), V(3, 1), ccRadian(ccPi / 2), V(0.5, 0.5));
  EXPECT_TRUE(cfRealEq(h.U(), M(0, -1, 3, 0), 1e-15));
  EXPECT_TRUE(cfRealEq(h.corner(1), V(1, 2) + V(1, 3), 1e-15));
  // From a ccRect.
  const ccGenRect r(ccRect(V(2, 4), V(6, 2)));
  EXPECT_EQ(r.corners(), (std::vector<V>{V(2, 4), V(8, 4), V(8, 6), V(2, 6)}));
  EXPECT_EQ(r.corner(4), r.corner(0));
}

TEST(ShapesGenRect, ExactBoundingBox) {
  const double c = std::cos(ccPi / 4), s = std::sin(ccPi / 4);
  const M rot(c, -s, s, c);
  // A square turned by 45 degrees reaches sqrt 2; fully rounded it is the unit circle;
  // half rounded 0.5 sqrt 2 + 0.5.
  EXPECT_NEAR(square(V(0, 0), rot).boundingBox().width(), 2 * std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(square(V(1, 1), rot).boundingBox().width(), 2, 1e-15);
  const ccRect half = square(V(0.5, 0.5), rot, V(3, 4)).boundingBox();
  EXPECT_NEAR(half.ul().x(), 3 - (0.5 * std::sqrt(2.0) + 0.5), 1e-15);
  EXPECT_NEAR(half.ul().y(), 4 - (0.5 * std::sqrt(2.0) + 0.5), 1e-15);
  // One zero rounding component leaves the corners sharp.
  EXPECT_NEAR(square(V(0, 0.7), rot).boundingBox().width(), 2 * std::sqrt(2.0), 1e-15);
}

TEST(ShapesGenRect, RegionDistanceAndPerimeter) {
  const ccGenRect r = square(V(0.5, 0.5));
  EXPECT_FALSE(r.within(V(0.9, 0.9)));  // cut off by the rounding
  EXPECT_TRUE(r.within(V(0.8, 0.8)));
  EXPECT_FALSE(r.within(V(1.05, 0)));
  // Corner arcs are circles of radius 0.5 centred at (+-0.5, +-0.5).
  EXPECT_NEAR(r.distanceToPoint(V(1.5, 1.5)), std::sqrt(2.0) - 0.5, 1e-15);
  EXPECT_TRUE(cfRealEq(r.nearestPoint(V(3, 0.2)), V(1, 0.2), 1e-15));
  EXPECT_TRUE(cfRealEq(square(V(1, 1)).nearestPoint(V(3, 4)), V(0.6, 0.8), 1e-15));
  EXPECT_NEAR(r.perimeter(), 4 + ccPi, 1e-14);
  EXPECT_NEAR(square(V(1, 1), M(2, 0, 0, 1)).perimeter(), 9.688448220547676, 1e-14);
  EXPECT_FALSE(square(V(0, 0), M(1, 0, 0, -1)).isRightHanded());
  // Positions start on the side y = -1 and go counter-clockwise.
  EXPECT_NEAR(r.nearestPerimPos(V(0, -1.2)), 0.5, 1e-15);
  EXPECT_NEAR(r.nearestPerimPos(V(1.2, 0)), 1 + ccPi / 4 + 0.5, 1e-14);

  // A degenerate one (a segment).
  const ccGenRect seg(V(0, 0), M(1, 0, 0, 0));
  EXPECT_TRUE(seg.isDegenerate());
  EXPECT_TRUE(seg.within(V(0.5, 0)));
  EXPECT_FALSE(seg.within(V(0.5, 0.1)));
  // The default one is the point at the origin.
  EXPECT_DOUBLE_EQ(ccGenRect().distanceToPoint(V(3, 4)), 5);
}

TEST(ShapesGenRect, SamplingAndOutline) {
  // Without rounding and without limits: the corners in contour order.
  const ccGenRect r(ccRect(V(0, 0), V(4, 2)));
  EXPECT_EQ(samples(r, ccShape::ccSampleParams()),
            (std::vector<V>{V(0, 0), V(4, 0), V(4, 2), V(0, 2)}));
  const auto dup = samples(r, ccShape::ccSampleParams(0, 0, 100, true));
  EXPECT_EQ(dup.size(), 8u);
  EXPECT_EQ(dup.back(), dup.front());
}

TEST(ShapesGenRect, MappingReverseAndDecompose) {
  const ccGenRect g(V(1, 1), M(2, 0.5, 0, 1), V(0.3, 0.6));
  ccShapePtrh m = g.mapShape(kShear);
  ASSERT_EQ(typeid(*m), typeid(ccGenRect));
  const auto& mg = dynamic_cast<const ccGenRect&>(*m);
  EXPECT_EQ(mg.U(), kShear.matrix() * g.U());
  ccShapePtrh r = g.reverse();
  EXPECT_TRUE(*r->reverse() == g);
  const ccGenRect plain(ccRect(V(0, 0), V(4, 2)));
  EXPECT_EQ(samples(*plain.reverse(), ccShape::ccSampleParams()),
            (std::vector<V>{V(0, 0), V(0, 2), V(4, 2), V(4, 0)}));

  ccShapePtrh tree = g.decompose();
  ASSERT_EQ(typeid(*tree), typeid(ccContourTree));
  EXPECT_NEAR(tree->perimeter(), g.perimeter(), 1e-12);
}

TEST(ShapesGenAnnulus, RegionAndMapping) {
  const ccGenAnnulus a(square(V(0, 0)), square(V(0.5, 0.5), M(3, 0, 0, 2)));
  EXPECT_TRUE(a.within(V(1, 0)));  // on the inner boundary
  EXPECT_NEAR(a.distanceToPoint(V(0.5, 0)), 0.5, 1e-15);
  EXPECT_NEAR(a.perimeter(), 8 + square(V(0.5, 0.5), M(3, 0, 0, 2)).perimeter(), 1e-14);
  EXPECT_EQ(typeid(*a.mapShape(kShear)), typeid(ccGenAnnulus));
  EXPECT_EQ(typeid(*a.decompose()), typeid(ccRegionTree));
}

TEST(ShapesRectMap, MappingTable) {
  const ccRect r(V(1, 2), V(4, 2));
  // Scale and translation keep a ccRect.
  ccShapePtrh s = r.mapShape(ccXform<2>(M(2, 0, 0, 3), V(1, 1)));
  ASSERT_EQ(typeid(*s), typeid(ccRect));
  EXPECT_EQ(dynamic_cast<const ccRect&>(*s), ccRect(V(3, 7), V(8, 6)));
  // A quarter turn (computed with sin and cos) too.
  ccShapePtrh q = r.mapShape(ccXform<2>(V(0, 0), ccRadian(ccPi / 2), ccRadian(ccPi / 2), 1, 1));
  ASSERT_EQ(typeid(*q), typeid(ccRect));
  const auto& qr = dynamic_cast<const ccRect&>(*q);
  EXPECT_TRUE(cfRealEq(qr.ul(), V(-4, 1), 1e-14));
  EXPECT_TRUE(cfRealEq(qr.sz(), V(2, 4), 1e-14));
  // Anything else gives the general rectangle, which map() always gives.
  ccShapePtrh g = r.mapShape(ccXform<2>(V(0, 0), ccRadian(0.5), ccRadian(0.5), 1, 1));
  ASSERT_EQ(typeid(*g), typeid(ccGenRect));
  const ccGenRect m = r.map(kShear);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(cfRealEq(m.corner(i), kShear * r.corner(i), 1e-14));
  EXPECT_EQ(r.map(ccXform<2>()), ccGenRect(r));
}
