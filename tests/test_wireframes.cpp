// Wireframes: tolerance bookkeeping on construction, insertion and closing, polarity under
// mirror maps, conversions with SMD polygons, and the archive forms.
#include <core/archive.h>
#include <core/errors.h>
#include <dispc/wrfm/wirefrm.h>

#include <gtest/gtest.h>

#include "archivebytes.h"
#include "shapetesting.h"

namespace {

using V2 = ccVector<2>;
using Private = ccSMDGDPolyPrivate;

const ccDimTol kNone;
const ccDimTol kTol(-1, 0.5, 0.5, ccDimTol::eOffsets);

// The tolerances of the segments as stored (the end vertex of each).
std::vector<ccDimTol> tolerances(const cc2Wireframe& w) {
  std::vector<ccDimTol> out;
  for (long s = 0; s < w.numSegments(); ++s)
    out.push_back(Private::poly(w).vertex(w.nextVertexIndex(s)).segmentLengthTol());
  return out;
}

class CountingWireframe : public cc2Wireframe {
 public:
  int calls = 0;

 protected:
  void polarity_(bool) override { ++calls; }
};

}  // namespace

TEST(WireframeTolerances, FollowConstructionInsertionAndClosing) {
  // Every segment, the closing one too, also of a polygon that is not mutable.
  const ccGenPoly ellipse(ccEllipse(V2(0, 0), V2(3, 2)));
  const cc2Wireframe all(ellipse, kTol);
  EXPECT_FALSE(all.isMutable());
  EXPECT_EQ(tolerances(all), std::vector<ccDimTol>(2, kTol));
  EXPECT_EQ(cc2Wireframe(ccGenPoly(), kTol).numVertices(), 0);

  cc2Wireframe w;
  for (const auto& [p, tol] : std::vector<std::pair<V2, ccDimTol>>{
           {V2(0, 0), kTol}, {V2(10, 0), kTol}, {V2(10, 10), kNone}})
    w.insertVertex(p, 0, ccRadian(0), tol);
  EXPECT_EQ(tolerances(w), (std::vector<ccDimTol>{kTol, kNone}));
  w.insertVertex(0, V2(5, -1), 0, ccRadian(0), kTol);  // splits segment 0
  EXPECT_EQ(tolerances(w), (std::vector<ccDimTol>{kTol, kNone, kNone}));
  w.insertVertex(-1, V2(-5, 0), 0, ccRadian(0), kTol);  // at the front: no tolerance set
  EXPECT_EQ(tolerances(w), (std::vector<ccDimTol>{kNone, kTol, kNone, kNone}));
  w.close(ccRadian(0), kTol);
  w.close(ccRadian(0), kNone);  // already closed: unchanged
  EXPECT_EQ(tolerances(w).back(), kTol);

  // The getter reads the tolerance against the segment's current length.
  EXPECT_EQ(w.segmentLengthTol(1), ccDimTol(std::hypot(5, 1), 0.5, 0.5, ccDimTol::eOffsets));

  const Bytes before = bytesOf(w);
  const ccDimTol tooTight(-1, 20, 30, ccDimTol::eLimits);  // the nominal length lies below
  EXPECT_EQ(errorOf([&] { w.segmentLengthTol(1, tooTight); }),
            ccSMDGDPolyVertex::invalidSegmentLength::kErrorNumber);
  EXPECT_EQ(errorOf([&] { w.segmentLengthTol(5, kTol); }), ccShapesError::BadCoef::kErrorNumber);
  EXPECT_EQ(bytesOf(w), before);
  EXPECT_EQ(errorOf([&] { cc2Wireframe(w, tooTight); }), ccShapesError::BadGeom::kErrorNumber);
  cc2Wireframe frozen(ellipse);
  EXPECT_EQ(errorOf([&] { frozen.segmentLengthTol(0, kTol); }),
            ccShapesError::BadGeom::kErrorNumber);
}

TEST(WireframePolarity, ToggledOnceAndReversedByMirrors) {
  CountingWireframe w;
  for (const V2& p : {V2(0, 0), V2(4, 0), V2(4, 3)}) w.insertVertex(p, 0, ccRadian(0), kNone);
  EXPECT_EQ(errorOf([&] { w.isInsidePositive(); }), ccShapesError::BadGeom::kErrorNumber);
  w.close(ccRadian(0), kNone);
  EXPECT_TRUE(w.isInsidePositive());
  w.polarity(true);
  w.polarity(true);
  EXPECT_TRUE(w.calls == 1 && !w.isInsidePositive());
  w.insidePolarity(true);
  EXPECT_TRUE(w.isInsidePositive());

  // Any reflecting map reverses the inside, any orientation-keeping one keeps it.
  const struct {
    ccMatrix<2> m;
    bool reflects;
  } kMaps[] = {{ccMatrix<2>(1, 0, 0, -1), true},
               {ccMatrix<2>(0, -2, 1, 0), false},
               {ccMatrix<2>(2, 1, 1, -0.2), true}};
  for (const auto& m : kMaps) {
    const cc2Wireframe mapped = w.map(ccXform<2>(m.m, V2(1, 2)));
    EXPECT_TRUE(mapped.isInsidePositive() == !m.reflects && mapped.isRightHanded() == !m.reflects);
  }
}

TEST(WireframeConversions, SMDPolygonsAndWireframesHoldTheSamePolygon) {
  ccSMDGDPoly square = ccSMDGDPoly::rectangle(4, 2, V2(1, 1));
  square.toggleDirection();
  const cc2Wireframe w = Private::wireframe(square);
  EXPECT_EQ(Private::poly(w), square);
  EXPECT_TRUE(w.isPolarityReversed());
  const cc2Wireframe mapped = w.map(ccXform<2>(ccMatrix<2>(2, 0, 0, 1), V2(3, 0)));
  const ccSMDGDPoly back(mapped, "other");
  EXPECT_TRUE(back == square && back.name() == "poly");  // the map stays with the wireframe
  EXPECT_EQ(Private::wireframeXform(mapped), ccXform<2>(ccMatrix<2>(2, 0, 0, 1), V2(3, 0)));

  // A polygon that was loaded with a segment of length 0 is refused as a whole.
  cc2Wireframe rectangle = Private::wireframe(ccSMDGDPoly::rectangle(4, 2, V2(0, 0)));
  ccArchive in(storedWith(rectangle, -2, 2));  // vertex 1 moves onto vertex 0
  cc2Wireframe loaded;
  loaded.dispatchSerialize(in);
  EXPECT_EQ(errorOf([&] { ccSMDGDPoly p(loaded); }), ccShapesError::BadGeom::kErrorNumber);
}

TEST(WireframeArchive, RoundTripsAndRefusesVersionOne) {
  cc2Wireframe w(ccGenPoly(ccCircle(V2(1, 1), 2)), kTol);
  w.polarity(true);
  const ccShapePtrh back = roundTrip(w);
  EXPECT_TRUE(back->equal(w));
  EXPECT_FALSE(ccGenPoly(w).equal(*back));  // a wireframe is not a general polygon

  Bytes bytes = bytesOf(w);
  cc2Wireframe target;
  const Bytes before = bytesOf(target);
  bytes[0] = 1;
  ccArchive version1(bytes);
  EXPECT_EQ(unknownVersionSource([&] { target.dispatchSerialize(version1); }),
            "dispc/wrfm/wirefrm");
  EXPECT_EQ(bytesOf(target), before);

  // The simple load: version, then the general polygon's simple form.
  Bytes simple{0, 0};
  simple.insert(simple.end(), bytes.begin() + 3, bytes.end());
  ccArchive simpleIn(simple);
  target.loadSimple(simpleIn);
  EXPECT_EQ(target, w);
}
