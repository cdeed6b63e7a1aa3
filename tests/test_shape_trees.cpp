// Shape trees (plain, contour, region) and mapped shapes.
#include <core/lines.h>
#include <core/mappedshape.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/shapetree.h>
#include <core/splines.h>

#include "assertcounter.h"
#include "shapetesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using V = ccVector<2>;
using Kids = std::vector<ccShapePtrh>;
using XformH = ccPtrHandle_const<cc2XformBase>;

ccShapePtrh seg(double x1, double y1, double x2, double y2) {
  return ccShapePtrh(new ccLineSeg(V(x1, y1), V(x2, y2)));
}

// The closed square (x0, y0)-(x0 + s, y0 + s), counter-clockwise in a y-up frame, as four
// segments.
ccContourTree square(double x0, double y0, double s) {
  return ccContourTree({seg(x0, y0, x0 + s, y0), seg(x0 + s, y0, x0 + s, y0 + s),
                        seg(x0 + s, y0 + s, x0, y0 + s), seg(x0, y0 + s, x0, y0)},
                       true);
}

XformH distortion(double k1 = 0.01) {
  return XformH(new cc2XformRadialDistortion(ccXform<2>(), V(0, 0), k1));
}

// A transform class the archive does not know.
class Shift : public cc2XformBase {
 public:
  bool isLinear() const override { return false; }
  V mapPoint(const V& p) const override { return p + V(p.y() * p.y(), 0); }
  cc2XformLinear linearApprox(const V& at) const override {
    const ccMatrix<2> j(1, 2 * at.y(), 0, 1);
    return cc2XformLinear(ccXform<2>(j, mapPoint(at) - j * at));
  }
  ccPtrHandle<cc2XformBase> clone() const override {
    return ccPtrHandle<cc2XformBase>(new Shift(*this));
  }
  ccPtrHandle<cc2XformBase> inverse() const override { throw ccMathError::Singular(); }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// ccShapeTree

// Each kind of tree is edited by index and refuses children it cannot hold, keeping its value.
TEST(ShapeTree, ChildrenAreEditedByIndexAndCheckedByKind) {
  ccShapeTree t;
  EXPECT_THROW(t.boundingBox(), ccShapesError::EmptyShape);
  t.add(seg(0, 0, 1, 1));
  t.insert(0, seg(5, 5, 6, 5));
  ASSERT_EQ(t.numChildren(), 2);
  EXPECT_EQ(*t.child(0), ccLineSeg(V(5, 5), V(6, 5)));
  EXPECT_THROW(t.child(2), ccShapesError::BadParams);
  EXPECT_THROW(t.add(ccShapePtrh()), ccShapesError::BadParams);
  EXPECT_THROW(t.insert(5, seg(0, 0, 1, 0)), ccShapesError::BadParams);
  EXPECT_THROW(t.remove(3), ccShapesError::BadParams);

  ccContourTree c;
  EXPECT_THROW(c.add(ccRect(V(0, 0), V(1, 1))), ccShapesError::BadParams);
  EXPECT_THROW(c.add(square(0, 0, 1)), ccShapesError::BadParams);
  EXPECT_THROW(c.add(ccPoint(1, 1)), ccShapesError::BadParams);
  EXPECT_THROW(ccContourTree({seg(0, 0, 1, 0), ccShapePtrh()}), ccShapesError::BadParams);
  c.add(ccContourTree());  // empty pieces are allowed and skipped
  c.add(seg(0, 0, 1, 0));
  EXPECT_EQ(c.startPoint(), V(0, 0));

  EXPECT_THROW(ccRegionTree(ccContourTree({seg(0, 0, 1, 0), seg(1, 0, 1, 1)}, false)),
               ccShapesError::BadParams);
  EXPECT_THROW(ccRegionTree(ccContourTree({}, true)), ccShapesError::BadParams);
  ccRegionTree r(square(0, 0, 10));
  EXPECT_THROW(r.add(ccRegionTree()), ccShapesError::BadParams);
  EXPECT_THROW(r.add(seg(0, 0, 1, 1)), ccShapesError::BadParams);
  EXPECT_THROW(r.add(square(1, 1, 1)), ccShapesError::BadParams);
  EXPECT_THROW(ccRegionTree().isHole(true), ccShapesError::BadParams);
  const ccRegionTree before = r;
  EXPECT_THROW(r.boundary(ccContourTree({seg(0, 0, 1, 0)})), ccShapesError::BadParams);
  EXPECT_EQ(r, before);
}

TEST(ShapeTree, ATreeCannotHoldItself) {
  ccShapePtrh a(new ccShapeTree), b(new ccShapeTree);
  auto& ta = static_cast<ccShapeTree&>(*a);
  auto& tb = static_cast<ccShapeTree&>(*b);
  EXPECT_THROW(ta.add(a), ccShapesError::BadParams);
  ta.add(b);
  EXPECT_THROW(tb.add(a), ccShapesError::BadParams);
  EXPECT_EQ(tb.numChildren(), 0);

  // Through a mapped shape.
  ccShapePtrh m(new ccMappedShape(a, distortion()));
  EXPECT_THROW(tb.add(m), ccShapesError::BadParams);
  EXPECT_THROW(tb.children({seg(0, 0, 1, 1), m}), ccShapesError::BadParams);
  EXPECT_EQ(tb.numChildren(), 0);
  ta.clear();  // break the cycle of handles a -> b
}

TEST(ShapeTree, LoadingACyclicArchiveFails) {
  // Store a -> b -> x, then turn b's reference to x into a reference back to a.
  ccShapePtrh a(new ccShapeTree({ccShapePtrh(new ccShapeTree({seg(0, 0, 1, 0)}))}));
  ccArchive out;
  out || a;
  std::vector<unsigned char> bytes = out.data();
  // x's record starts with tag 1 and the class name; find the last such record.
  const std::string name = *cc_Instantiator::nameOf(typeid(ccLineSeg));
  std::size_t at = std::string::npos;
  for (std::size_t i = 0; i + 5 + name.size() <= bytes.size(); ++i)
    if (bytes[i] == 1 && std::memcmp(&bytes[i + 5], name.data(), name.size()) == 0) at = i;
  ASSERT_NE(at, std::string::npos);
  bytes.resize(at);
  bytes.insert(bytes.end(), {2, 0, 0, 0, 0});  // a reference to object 0: a
  ccArchive in(bytes);
  ccShapePtrh loaded;
  EXPECT_THROW(in || loaded, ccShapesError::BadParams);
}

TEST(ShapeTree, ClipsEachChildOnItsOwn) {
  const ccPolyline clipper({V(0, 0), V(10, 0), V(10, 10), V(0, 10)}, true);
  ccClipInfo info;
  // One child inside, one crossing, one outside: the inside one and the crossing one's part.
  const ccShapeTree mixed({seg(1, 1, 2, 2), seg(5, 5, 15, 5), seg(20, 20, 30, 20)});
  const ccShapePtrh b = mixed.clip(clipper, info);
  EXPECT_EQ(info.result, ccClipInfo::ePartial);
  EXPECT_EQ(info.pieces, 2);
  const auto& tb = dynamic_cast<const ccShapeTree&>(*b);
  ASSERT_EQ(tb.numChildren(), 2);
  EXPECT_EQ(*tb.child(0), ccLineSeg(V(1, 1), V(2, 2)));
  EXPECT_TRUE(cfRealEq(tb.child(1)->endPoint(), V(10, 5), 1e-12));

  // A region tree clips its boundaries, not the jumps between them.
  ccRegionTree r(square(1, 1, 4));
  r.add(ccRegionTree(square(2, 2, 1), true));
  r.clip(clipper, info);
  EXPECT_EQ(info.result, ccClipInfo::eInside);
  const ccShapePtrh moved = r.mapShape(ccXform<2>(ccMatrix<2>(), V(7, 0)));  // x from 8 to 12
  moved->clip(clipper, info);
  EXPECT_EQ(info.result, ccClipInfo::ePartial);
  // The hole (x from 9 to 10) is inside; the outer boundary leaves one piece, joined across
  // its start point.
  EXPECT_EQ(info.pieces, 2);
}

// ---------------------------------------------------------------------------------------
// ccContourTree

// The shape contract runs open and closed trees with joins between their pieces; here the
// samples of a closing join and a sub-shape wrapping through the start.
TEST(ContourTree, ClosedContourIsARegion) {
  // Three sides of a square; the closing join is the fourth.
  const ccContourTree c({seg(0, 0, 2, 0), seg(2, 0, 2, 2), seg(2, 2, 0, 2)}, true);
  EXPECT_NEAR(c.perimeter(), 8, 1e-15);

  std::vector<V> r = samplePositions(c, ccShape::ccSampleParams(0.5, 0));
  EXPECT_EQ(r.size(), 16u);
  EXPECT_EQ(r.front(), V(0, 0));
  EXPECT_EQ(r.back(), V(0, 0.5));
  r = samplePositions(c, ccShape::ccSampleParams(0.5, 0, 10000, true));
  EXPECT_EQ(r.size(), 20u);
  EXPECT_EQ(std::count(r.begin(), r.end(), V(2, 2)), 2);
  EXPECT_EQ(r.back(), V(0, 0));

  // A piece through the start point of a closed contour wraps.
  const ccShapePtrh sub = c.subShape(7, 1);
  const auto& s = dynamic_cast<const ccContourTree&>(*sub);
  ASSERT_EQ(s.numChildren(), 2);
  EXPECT_EQ(*s.child(0), ccLineSeg(V(0, 1), V(0, 0)));
  EXPECT_EQ(*s.child(1), ccLineSeg(V(0, 0), V(1, 0)));
}

TEST(ContourTree, DecomposeFlattensPieces) {
  const ccCubicSpline spline({ccBezierCurve(V(0, 0), V(1, 1), V(2, 1), V(3, 0)),
                              ccBezierCurve(V(3, 0), V(4, -1), V(5, -1), V(6, 0))});
  const ccPolyline poly({V(6, 0), V(7, 0), V(7, 1)});
  const ccContourTree c({spline.clone(), poly.clone(), seg(7, 1, 8, 1)});
  const ccShapePtrh d = c.decompose();
  const auto& t = dynamic_cast<const ccContourTree&>(*d);
  ASSERT_EQ(t.numChildren(), 5);
  EXPECT_EQ(*t.child(1), spline.curve(1));
  EXPECT_EQ(*t.child(3), ccLineSeg(V(7, 0), V(7, 1)));
}

// ---------------------------------------------------------------------------------------
// ccRegionTree

TEST(RegionTree, HolesAndIslands) {
  ccRegionTree island(square(4, 4, 2));
  ccRegionTree hole(square(2, 2, 6), true);
  hole.add(island);
  ccRegionTree outer(square(0, 0, 10));
  outer.add(hole);
  ccRegionTree root;
  root.add(outer);
  root.add(ccRegionTree(square(20, 20, 2)));

  EXPECT_TRUE(root.within(V(1, 1)));
  EXPECT_FALSE(root.within(V(3, 3)));  // in the hole
  EXPECT_TRUE(root.within(V(5, 5)));   // on the island
  EXPECT_TRUE(root.within(V(21, 21)));
  EXPECT_FALSE(root.within(V(15, 15)));

  EXPECT_NEAR(root.perimeter(), 40 + 24 + 8 + 8, 1e-13);
  EXPECT_EQ(root.nearestPoint(V(3, 5)), V(2, 5));

  EXPECT_TRUE(dynamic_cast<const ccRegionTree&>(*outer.reverse()).child(0)->within(V(5, 5)));
}

// ---------------------------------------------------------------------------------------
// ccMappedShape and ccShape::map

TEST(MappedShape, ComposesAndUnwraps) {
  const ccShapePtrh c = seg(1, 2, 3, 1);
  const XformH x = distortion();
  const ccShapePtrh h = c->map(x);
  const ccShape* under = dynamic_cast<const ccMappedShape&>(*h).underlyingShape().get();
  EXPECT_EQ(*under, *c);
  const ccXform<2> a(ccMatrix<2>(2, 0, 0, 2), V(1, 1));
  const ccShapePtrh h2 = h->mapShape(a);
  const auto& m2 = dynamic_cast<const ccMappedShape&>(*h2);
  EXPECT_EQ(m2.underlyingShape().get(), under);
  EXPECT_TRUE(cfRealEq(m2.startPoint(), a * x->mapPoint(V(1, 2)), 1e-13));

  EXPECT_THROW(ccMappedShape(ccShapePtrh(), x), ccShapesError::BadParams);
  EXPECT_THROW(ccMappedShape(c, XformH()), ccShapesError::BadParams);

  // A null transform is misuse: reported, then taken as the identity.
  AssertCounter asserts;
  const ccShapePtrh same = c->map(XformH());
  EXPECT_EQ(asserts.reports(), 1);
  EXPECT_EQ(*same, *c);
}

TEST(MappedShape, Archive) {
  const ccShapePtrh c(new ccBezierCurve(V(1, 1), V(3, 5), V(6, -2), V(9, 3)));
  const ccShapePtrh h =
      c->map(distortion())->mapShape(ccXform<2>(ccMatrix<2>(1, 1, 0, 1), V(2, 0)));
  const ccShapePtrh inv = c->map(distortion()->inverse());
  for (const ccShapePtrh& s : {h, inv}) {
    const ccShapePtrh back = roundTrip(s);
    EXPECT_EQ(typeid(*back), typeid(ccMappedShape));
    EXPECT_EQ(*back, *s);
  }
  EXPECT_THROW(roundTrip(c->map(XformH(new Shift))), ccShapesError::BadParams);  // on storing
}
