// Wireframes and their segments: line and arc segments (construction, range and nearest-point
// queries, intersections, mapped (elliptical) arcs, text and archive forms, fraction reports),
// and wireframes (tolerance bookkeeping on construction, insertion and closing, polarity under
// mirror maps, conversions with SMD polygons, and the archive forms).
#include <core/archive.h>
#include <core/errors.h>
#include <core/xform.h>
#include <dispc/wrfm/arc.h>
#include <dispc/wrfm/lineseg.h>
#include <dispc/wrfm/wirefrm.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "archivebytes.h"
#include "assertcounter.h"
#include "shapetesting.h"

namespace {

using V = ccVector<2>;
using Degenerate = ccShapesError::DegenerateShape;
constexpr double kTol = 1e-14;

::testing::AssertionResult Near(const V& a, const V& b, double tol = kTol) {
  if (std::fabs(a.x() - b.x()) <= tol && std::fabs(a.y() - b.y()) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << a << " is not within " << tol << " of " << b;
}
// As many points as expected, each near its own.
::testing::AssertionResult Near(const std::vector<V>& a, const std::vector<V>& b) {
  if (a.size() != b.size()) return ::testing::AssertionFailure() << a.size() << " points";
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!Near(a[i], b[i])) return Near(a[i], b[i]) << " (point " << i << ")";
  return ::testing::AssertionSuccess();
}

template <class T>
Bytes stored(T value) {
  ccArchive out;
  out || value;
  return out.data();
}

// The source named by the UnknownVersion that loading the bytes throws (having read nothing
// after the version byte).
template <class T>
std::string unknownVersionOnLoad(const Bytes& bytes) {
  ccArchive in(bytes);
  T value;
  const std::string source = unknownVersionSource([&] { in >> value; });
  EXPECT_EQ(in.position(), 1u);
  return source;
}

cc2SegmentArc arc(const V& c, double r, double start, double span) {
  return cc2SegmentArc(c, r, ccDegree(start), ccDegree(span));
}
cc2SegmentArc circle(const V& c, double r) { return arc(c, r, 0, 360); }

using Private = ccSMDGDPolyPrivate;

const ccDimTol kNone;
const ccDimTol kOffsets(-1, 0.5, 0.5, ccDimTol::eOffsets);

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

TEST(SegmentLine, InRangeCountsEndsWithinToleranceOnlyWhenInclusive) {
  const cc2SegmentLine s(V(0, 0), V(10, 0));  // tolerance 1e-13
  for (double x : {5e-14, -5e-14, 10 - 5e-14, 10 + 5e-14})
    EXPECT_TRUE(s.inRange(V(x, 0), true) && !s.inRange(V(x, 0), false)) << x;
  EXPECT_TRUE(s.inRange(V(1e-12, 7), false)) << "the distance from the line is ignored";
  EXPECT_FALSE(s.inRange(V(-1e-12, 0), true));
}

TEST(SegmentLine, ClosestPointIsFootOrNearerEndWithTiesToP1) {
  const cc2SegmentLine s(V(0, 0), V(4, 0));
  EXPECT_EQ(s.closestPoint(V(1, 3)), V(1, 0));
  EXPECT_DOUBLE_EQ(s.distToPoint(V(7, 4)), 5);
  EXPECT_FALSE(s.validPoint(V(2, 1e-12), true));
  // Both end distances round to 1e8: p1 wins although p2 is nearer.
  EXPECT_EQ(cc2SegmentLine(V(1e-10, 0), V(0, 0)).closestPoint(V(-1e8, 0)), V(1e-10, 0));
  EXPECT_TRUE(s == cc2SegmentLine(V(8e-16, 0), V(4, 0)));
  EXPECT_TRUE(s != cc2SegmentLine(V(4e-15, 0), V(4, 0)));
}

TEST(SegmentLine, IntersectionsLieWithinBothSegments) {
  const cc2SegmentLine h(V(0, 0), V(4, 0)), t(V(2, 0), V(2, 3));
  EXPECT_TRUE(Near(h.intersection(cc2SegmentLine(V(1, -1), V(1, 1)), true), {V(1, 0)}));
  EXPECT_TRUE(h.intersection(cc2SegmentLine(V(1, 0.5), V(1, 2)), false).empty());
  EXPECT_EQ(h.intersection(t, false).size(), 1u);
  EXPECT_TRUE(h.intersection(t, true).empty()) << "at an end of the other segment";
  // At this segment's own end point, exactly and to rounding.
  for (double x : {4.0, 4 - 1e-15}) {
    const cc2SegmentLine across(V(x, -1), V(x, 1));
    EXPECT_TRUE(h.intersection(across, true).empty() && h.intersection(across, false).size() == 1)
        << x;
  }
  EXPECT_TRUE(h.intersection(ccFLine(V(4, -1), V(4, 1)), true).empty());
  EXPECT_TRUE(h.intersection(cc2SegmentLine(V(1, 0), V(6, 0)), false).empty()) << "collinear";
}

// Equal points are degenerate; fractions outside 0 to 1 beyond rounding are reported and used.
TEST(SegmentLine, DegenerateFractionsTextAndArchiveForms) {
  EXPECT_THROW(cc2SegmentLine(V(1, 2), V(1, 2)), Degenerate);
  EXPECT_THROW(ccXform<2>(ccMatrix<2>(0, 0, 0, 0), V(5, 5)) * cc2SegmentLine(V(0, 0), V(1, 1)),
               Degenerate);
  const cc2SegmentLine s(V(0, 0), V(2, 4));
  AssertCounter counter;
  s.segPoint(1 + 5e-16);
  s.direction(-5e-16);
  EXPECT_EQ(counter.reports(), 0);
  EXPECT_EQ(s.segPoint(1.5), V(3, 6));
  EXPECT_EQ(counter.files(), std::vector<std::string>(1, "dispc/wrfm/lineseg"));
  EXPECT_EQ(::testing::PrintToString(cc2SegmentLine(V(1, -2), V(3.5, 4))), "p1_=1-2\np2_=3.54\n\n");
  Bytes v1 = stored(cc2SegmentLine(V(0.1, -7), V(1e300, 3)));
  EXPECT_EQ(v1.size(), 33u);
  v1[0] = 1;
  EXPECT_EQ(unknownVersionOnLoad<cc2SegmentLine>(v1), "dispc/wrfm/lineseg");
}

TEST(SegmentArc, TwoPointArcsPutTheCentreOnTheSideOfTheSpan) {
  struct Case {
    double span, cx, cy, radius, start;
  } cases[] = {{90, 0, 0, 1, 0},
               {270, 1, 1, 1, -90},
               {180, .5, .5, std::sqrt(.5), -45},
               {-90, 1, 1, 1, -90}};
  for (const Case& c : cases) {
    const cc2SegmentArc a(V(1, 0), V(0, 1), ccDegree(c.span));
    EXPECT_TRUE(Near(a.center(), V(c.cx, c.cy), 1e-15)) << c.span;
    EXPECT_NEAR(a.radius(ccDegree(0)), c.radius, 1e-15) << c.span;
    EXPECT_NEAR(a.startAngle().toDouble(), c.start, 1e-13) << c.span;
  }
  EXPECT_THROW(arc(V(0, 0), 0, 0, 90), Degenerate);
  for (double span : {0.0, 5e-16, -5e-16, 360.5, -361.0})
    EXPECT_THROW(cc2SegmentArc(V(0, 0), V(1, 0), ccDegree(span)), Degenerate) << span;
  EXPECT_THROW(cc2SegmentArc(V(1, 1), V(1, 1), ccDegree(90)), Degenerate);
  EXPECT_NO_THROW(cc2SegmentArc(V(0, 0), V(1, 0), ccDegree(-360)));
  // A full circle accepts every angle.
  const cc2SegmentArc c = arc(V(1, 2), 3, 60, -360);
  for (double a : {-180.0, 0.0, 59.0, 60.0, 123.4}) EXPECT_TRUE(c.validAngle(ccDegree(a), false));
  EXPECT_EQ(c.boundingBox(), ccRect(V(-2, -1), V(6, 6)));
  EXPECT_TRUE(Near(c.closestPoint(V(1, 2)), V(4, 2))) << "the centre gives the point at 0";
}

TEST(SegmentArc, ValidAngleEndsWithinToleranceOnlyWhenInclusive) {
  const cc2SegmentArc a = arc(V(0, 0), 1, 0, 90);  // tolerance 9e-12 degrees
  for (double x : {90 + 5e-12, 5e-12, -5e-12})
    EXPECT_TRUE(a.validAngle(ccDegree(x), true) && !a.validAngle(ccDegree(x), false)) << x;
  EXPECT_FALSE(a.validAngle(ccDegree(90.001), true));
  EXPECT_FALSE(a.inRange(V(0, 0), true)) << "never the centre";
  EXPECT_TRUE(arc(V(0, 0), 1, 90, -90).inRange(V(5, 5), false));
  EXPECT_FALSE(arc(V(0, 0), 1, 90, -90).inRange(V(-5, 5), true));
}

TEST(SegmentArc, ClosestPointOffTheArcIsTheNearerEndWithTiesToStart) {
  const cc2SegmentArc right = arc(V(0, 0), 1, -90, 180);
  EXPECT_TRUE(Near(right.closestPoint(V(3, 4)), V(0.6, 0.8)));
  EXPECT_TRUE(Near(right.closestPoint(V(-1, 0)), V(0, -1)));
  EXPECT_TRUE(Near(right.closestPoint(V(-1, 0.1)), V(0, 1)));
}

TEST(SegmentArc, WorldMeasures) {
  const cc2SegmentArc top = arc(V(0, 0), 2, 0, 180);
  EXPECT_NEAR((ccXform<2>(ccMatrix<2>(3, 0, 0, 3), V(1, 1)) * top).length(), 6 * ccPi, kTol);
  EXPECT_TRUE(Near(top.centerOfMass(), V(0, 4 / ccPi)));
  EXPECT_NEAR(arc(V(0, 0), 2, 0, -180).startDirection().toDouble(), -90, 1e-12);
  for (double start : {0, 90}) {  // a quarter either way: the same box
    const ccRect box = arc(V(0, 0), 1, start, 90 - 2 * start).boundingBox();
    EXPECT_TRUE(Near(box.ul(), V(0, 0)) && Near(box.sz(), V(1, 1))) << start;
  }
}

TEST(SegmentArc, LineIntersections) {
  const cc2SegmentArc top = arc(V(0, 0), 1, 0, 180);
  const double x = std::sqrt(0.75);
  EXPECT_TRUE(
      Near(top.intersection(ccFLine(V(-2, 0.5), V(2, 0.5)), false), {V(x, 0.5), V(-x, 0.5)}));
  EXPECT_TRUE(top.intersection(ccFLine(V(-2, -0.5), V(2, -0.5)), false).empty());
  EXPECT_TRUE(top.intersection(ccFLine(V(-2, 2), V(2, 2)), false).empty());
  EXPECT_TRUE(Near(top.intersection(ccFLine(V(-2, 1), V(2, 1)), false), {V(0, 1)})) << "tangent";
  EXPECT_EQ(top.intersection(ccFLine(V(-2, 0), V(2, 0)), false).size(), 2u) << "both ends";
  EXPECT_TRUE(top.intersection(ccFLine(V(-2, 0), V(2, 0)), true).empty());
  EXPECT_TRUE(Near(top.intersection(cc2SegmentLine(V(0, 0.5), V(2, 0.5)), false), {V(x, 0.5)}));
}

TEST(SegmentArc, ArcIntersections) {
  const double y = std::sqrt(0.75);
  EXPECT_TRUE(
      Near(circle(V(0, 0), 1).intersection(circle(V(1, 0), 1), false), {V(0.5, -y), V(0.5, y)}));
  EXPECT_TRUE(Near(arc(V(0, 0), 1, 0, 180).intersection(circle(V(1, 0), 1), true), {V(0.5, y)}))
      << "the lower crossing is off this arc";
  EXPECT_TRUE(circle(V(0, 0), 1).intersection(circle(V(0, 0), 2), false).empty());
  EXPECT_TRUE(circle(V(0, 0), 1).intersection(circle(V(3, 0), 1), false).empty());
  EXPECT_EQ(circle(V(0, 0), 1).intersection(circle(V(2, 0), 1), true).size(), 1u);
  // Tangent with the cosine just above 1 by rounding: one point only when ends count.
  const cc2SegmentArc small = circle(V(0, 0), 0.1), big = circle(V(0.8, 0), 0.7000000000000001);
  EXPECT_TRUE(Near(small.intersection(big, false), {V(0.1, 0)}));
  EXPECT_TRUE(small.intersection(big, true).empty());
}

// Arcs of ellipses give world points on the ellipse; maps compose, equality is in the world,
// and the world span follows the map's orientation.
TEST(SegmentArc, MappedAndEllipseArcs) {
  const ccEllipse e(V(1, 2), V(3, 1), ccRadian(0.5));
  const ccEllipseArc ea(e, ccRadian(0.2), ccRadian(1.5));
  const cc2SegmentArc fromEllipse(ea);
  EXPECT_TRUE(Near(fromEllipse.p1(), ea.startPoint()) && Near(fromEllipse.p2(), ea.endPoint()));
  EXPECT_NEAR(e.distanceToPoint(fromEllipse.segPoint(0.3)), 0, kTol);
  const ccEllipse2 e2(V(2, 1), ccRadian(-0.3), ccRadian(0.4), V(0, 1));
  const cc2SegmentArc b(ccEllipseArc2(e2, ccRadian(1), ccRadian(-2)));
  EXPECT_TRUE(Near(b.segPoint(0.25), e2.point(ccRadian(0.5))));
  EXPECT_LT(b.angleSpan().toDouble(), 0) << "clockwise in the world too";
  const cc2SegmentArc a = arc(V(1, 1), 2, 10, 100);
  const ccXform<2> x(V(3, -1), ccRadian(0.3), ccRadian(0.5), 2, 0.5);
  const ccXform<2> y(V(-2, 4), ccRadian(1), ccRadian(1), 1.5, 1.5);
  EXPECT_TRUE(x * (y * a) == (x * y) * a);
  EXPECT_TRUE(Near((x * (y * a)).segPoint(0.7), x * (y * a.segPoint(0.7)), 1e-13));
  EXPECT_TRUE(Near((cc2Rigid(ccRadian(ccPi / 2), V(0, 0)) * a).center(), V(-1, 1)));
  EXPECT_TRUE(ccXform<2>(ccMatrix<2>(), V(2, 0)) * circle(V(0, 0), 1) == circle(V(2, 0), 1));
  EXPECT_TRUE(circle(V(0, 0), 1) != circle(V(0, 0), 1 + 4e-15));
  EXPECT_TRUE(Near((ccXform<2>(ccMatrix<2>(1, 0, 0, -1), V(0, 0)) * arc(V(0, 0), 1, 0, 90)).p2(),
                   V(0, -1)));
  // Mirrors and rotations near a half turn, where the two axes' angles wrap differently.
  const ccXform<2> turn(ccMatrix<2>(std::cos(3.0), -std::sin(3.0), std::sin(3.0), std::cos(3.0)),
                        V(0, 0));
  const struct {
    ccXform<2> map;
    double span;
  } kMaps[] = {{turn, 90},
               {turn * ccXform<2>(ccMatrix<2>(1, 0, 0, -1), V(0, 0)), -90},
               {ccXform<2>(ccMatrix<2>(-1, 0, 0, 1), V(0, 0)), -90},
               {ccXform<2>(ccMatrix<2>(-2, 0.5, 0.1, -3), V(0, 0)), 90},
               {ccXform<2>(ccMatrix<2>(-2, 0.5, 0.1, 3), V(0, 0)), -90}};
  for (const auto& c : kMaps) {
    const double span = (c.map * arc(V(0, 0), 1, 0, 90)).angleSpan().toDouble();
    if (std::fabs(std::fabs(c.map.matrix().determinant()) - 1) < 1e-12)
      EXPECT_NEAR(span, c.span, 1e-9) << c.map;
    else
      EXPECT_GT(span * c.span, 0) << c.map;  // a skew changes the size, not the sense
  }
}

TEST(SegmentArc, FractionsTextAndArchiveForms) {
  const cc2SegmentArc quarter = arc(V(0, 0), 1, 0, 90);
  AssertCounter counter;
  quarter.segPoint(-1e-16);
  quarter.angle(1 + 8e-16);
  EXPECT_EQ(counter.reports(), 0);
  EXPECT_TRUE(Near(quarter.segPoint(2), V(-1, 0)));
  EXPECT_NEAR(quarter.direction(1.5).toDouble(), -135, 1e-12);
  EXPECT_EQ(counter.files(), std::vector<std::string>(2, "dispc/wrfm/arc"));
  EXPECT_EQ(::testing::PrintToString(arc(V(1, -2), 3, 0, -90)),
            "center=1 -2\nradius=3\nstartAngle=0\nangleSpan=-90\n\n");

  const cc2SegmentArc a =
      ccXform<2>(V(3, -1), ccRadian(0.3), ccRadian(0.5), 2, 0.5) * arc(V(0.1, 2), 0.7, -33, 250);
  const Bytes bytes = stored(a);
  EXPECT_EQ(bytes.size(), 1u + 16 + 24 + 48);
  ccArchive in(bytes);
  cc2SegmentArc back;
  in >> back;
  EXPECT_EQ(stored(back), bytes);

  Bytes v0{0};  // no map
  for (double f : {1.0, 2.0, 3.0, 45.0, -90.0}) putDouble(v0, f);
  ccArchive old(v0);
  cc2SegmentArc loaded = a;
  old >> loaded;
  EXPECT_TRUE(old.atEnd());
  EXPECT_EQ(stored(loaded), stored(arc(V(1, 2), 3, 45, -90)));

  Bytes v2 = bytes;
  v2[0] = 2;
  EXPECT_EQ(unknownVersionOnLoad<cc2SegmentArc>(v2), "dispc/wrfm/arc");
}

TEST(WireframeTolerances, FollowConstructionInsertionAndClosing) {
  // Every segment, the closing one too, also of a polygon that is not mutable.
  const ccGenPoly ellipse(ccEllipse(V(0, 0), V(3, 2)));
  const cc2Wireframe all(ellipse, kOffsets);
  EXPECT_FALSE(all.isMutable());
  EXPECT_EQ(tolerances(all), std::vector<ccDimTol>(2, kOffsets));
  EXPECT_EQ(cc2Wireframe(ccGenPoly(), kOffsets).numVertices(), 0);

  cc2Wireframe w;
  for (const auto& [p, tol] : std::vector<std::pair<V, ccDimTol>>{
           {V(0, 0), kOffsets}, {V(10, 0), kOffsets}, {V(10, 10), kNone}})
    w.insertVertex(p, 0, ccRadian(0), tol);
  EXPECT_EQ(tolerances(w), (std::vector<ccDimTol>{kOffsets, kNone}));
  w.insertVertex(0, V(5, -1), 0, ccRadian(0), kOffsets);  // splits segment 0
  EXPECT_EQ(tolerances(w), (std::vector<ccDimTol>{kOffsets, kNone, kNone}));
  w.insertVertex(-1, V(-5, 0), 0, ccRadian(0), kOffsets);  // at the front: no tolerance set
  EXPECT_EQ(tolerances(w), (std::vector<ccDimTol>{kNone, kOffsets, kNone, kNone}));
  w.close(ccRadian(0), kOffsets);
  w.close(ccRadian(0), kNone);  // already closed: unchanged
  EXPECT_EQ(tolerances(w).back(), kOffsets);

  // The getter reads the tolerance against the segment's current length.
  EXPECT_EQ(w.segmentLengthTol(1), ccDimTol(std::hypot(5, 1), 0.5, 0.5, ccDimTol::eOffsets));

  const Bytes before = bytesOf(w);
  const ccDimTol tooTight(-1, 20, 30, ccDimTol::eLimits);  // the nominal length lies below
  EXPECT_EQ(errorOf([&] { w.segmentLengthTol(1, tooTight); }),
            ccSMDGDPolyVertex::invalidSegmentLength::kErrorNumber);
  EXPECT_EQ(errorOf([&] { w.segmentLengthTol(5, kOffsets); }),
            ccShapesError::BadCoef::kErrorNumber);
  EXPECT_EQ(bytesOf(w), before);
  EXPECT_EQ(errorOf([&] { cc2Wireframe(w, tooTight); }), ccShapesError::BadGeom::kErrorNumber);
  cc2Wireframe frozen(ellipse);
  EXPECT_EQ(errorOf([&] { frozen.segmentLengthTol(0, kOffsets); }),
            ccShapesError::BadGeom::kErrorNumber);
}

TEST(WireframePolarity, ToggledOnceAndReversedByMirrors) {
  CountingWireframe w;
  for (const V& p : {V(0, 0), V(4, 0), V(4, 3)}) w.insertVertex(p, 0, ccRadian(0), kNone);
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
    const cc2Wireframe mapped = w.map(ccXform<2>(m.m, V(1, 2)));
    EXPECT_TRUE(mapped.isInsidePositive() == !m.reflects && mapped.isRightHanded() == !m.reflects);
  }
}

TEST(WireframeConversions, SMDPolygonsAndWireframesHoldTheSamePolygon) {
  ccSMDGDPoly square = ccSMDGDPoly::rectangle(4, 2, V(1, 1));
  square.toggleDirection();
  const cc2Wireframe w = Private::wireframe(square);
  EXPECT_EQ(Private::poly(w), square);
  EXPECT_TRUE(w.isPolarityReversed());
  const cc2Wireframe mapped = w.map(ccXform<2>(ccMatrix<2>(2, 0, 0, 1), V(3, 0)));
  const ccSMDGDPoly back(mapped, "other");
  EXPECT_TRUE(back == square && back.name() == "poly");  // the map stays with the wireframe
  EXPECT_EQ(Private::wireframeXform(mapped), ccXform<2>(ccMatrix<2>(2, 0, 0, 1), V(3, 0)));

  // A polygon that was loaded with a segment of length 0 is refused as a whole.
  cc2Wireframe rectangle = Private::wireframe(ccSMDGDPoly::rectangle(4, 2, V(0, 0)));
  ccArchive in(storedWith(rectangle, -2, 2));  // vertex 1 moves onto vertex 0
  cc2Wireframe loaded;
  loaded.dispatchSerialize(in);
  EXPECT_EQ(errorOf([&] { ccSMDGDPoly p(loaded); }), ccShapesError::BadGeom::kErrorNumber);
}

TEST(WireframeArchive, RoundTripsAndRefusesVersionOne) {
  cc2Wireframe w(ccGenPoly(ccCircle(V(1, 1), 2)), kOffsets);
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
