// SMD polygons: index rules, factories, roundings against hand-computed tangent points, the
// errors of refused edits (leaving the archive bytes unchanged), random edits against the
// whole-polygon check, orientation, tolerances, measures and archive versions.
#include <core/archive.h>
#include <core/errors.h>
#include <dispc/smd/poly.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "archivebytes.h"

namespace {

using Poly = ccSMDGDPoly;
using Private = ccSMDGDPolyPrivate;
using Vertex = ccSMDGDPolyVertex;
using V2 = ccVector<2>;

Vertex vtx(double x, double y, double radius = 0, double span = 0, long label = -1,
           double prev = 0.5, double next = 0.5) {
  return Vertex(V2(x, y), radius, ccDegree(span), prev, next, label, ccDimTol());
}

Poly closedPoly(const std::vector<Vertex>& v) {
  Poly p;
  p.vertices(v);
  p.close();
  return p;
}

TEST(SMDPolyIndices, FollowTheOpenAndClosedRules) {
  Poly p;
  p << vtx(0, 0) << vtx(4, 0);
  EXPECT_TRUE(p.numSegments() == 1 && p.firstSegmentIndex_() == 1 && p.lastSegmentIndex_() == 1);
  EXPECT_TRUE(p.previousSegmentIndex_(0) == -1 && p.nextSegmentIndex_(1) == -1);
  EXPECT_EQ(errorOf([&] { p.segmentIndex_(0, false); }), Poly::invalidIndex::kErrorNumber);
  EXPECT_EQ(errorOf([&] { p.segmentDimension(0); }), Vertex::invalidSegmentLength::kErrorNumber);
  EXPECT_EQ(p.segmentDimension(1).nomDim(), 4);
  p << vtx(4, 3);
  p.close();
  EXPECT_TRUE(p.numSegments() == 3 && p.segmentIndex_(0, false) == 0 && p.lastSegmentIndex_() == 0);
  EXPECT_EQ(p.previousVertexIndex_(0), 2);  // segment 0 runs from the last vertex to vertex 0
  EXPECT_EQ(p.nextSegmentIndex_(2), 0);
  EXPECT_DOUBLE_EQ(p.segmentDimension(0).nomDim(), 5);
  for (const auto& [i, wrapped] :
       std::vector<std::pair<long, long>>{{-1, 2}, {-3, 0}, {-4, 2}, {3, 0}, {7, 1}})
    EXPECT_EQ(p.vertexIndex_(i, true), wrapped) << i;
  EXPECT_EQ(errorOf([&] { p.vertex(3); }), Poly::invalidIndex::kErrorNumber);
  EXPECT_EQ(errorOf([] { Poly().vertexIndex_(0, true); }), Poly::invalidIndex::kErrorNumber);
}

TEST(SMDPolyFactories, BuildTheirLayouts) {
  const Poly c = Poly::circle(2, V2(1, 1));
  ASSERT_EQ(c.numVertices(), 2);
  EXPECT_TRUE(c.isClosed() && c.isArcSegment_(0) && c.isArcSegment_(1) && Poly::isCircle(c));
  EXPECT_TRUE(c.vertex(0).point() == V2(-1, 1) && c.vertex(1).point() == V2(3, 1));
  EXPECT_EQ(c.subModelLabels(), std::vector<std::int32_t>{0});
  EXPECT_NEAR(Private::signedArea2_(c) / 2, ccPi * 4, 1e-12);
  EXPECT_TRUE(Private::inside(c, V2(1, 2.9)) && !Private::inside(c, V2(2.5, 2.5)));
  const Poly r = Poly::rectangle(4, 2, V2(0, 0));
  const V2 corners[] = {{2, 1}, {-2, 1}, {-2, -1}, {2, -1}};
  for (long i = 0; i < 4; ++i)
    EXPECT_TRUE(r.vertex(i).point() == corners[i] && r.vertex(i).subModelLabel() == i) << i;
  EXPECT_TRUE(!Poly::isCircle(r) && r.isDirectionPositive());
  const Poly t = Poly::triangle(6, 3, V2(0, 0));
  EXPECT_TRUE(t.vertex(0).point() == V2(0, 2) && t.vertex(2).point() == V2(3, -1));
  EXPECT_EQ(Poly().name(), "poly");
}

// A square of side 10 rounded by 2 at (10, 0): tangent points 2 back along each side, a
// quarter turn counter-clockwise (clockwise when run the other way). End vertices of an open
// polygon stay sharp until it is closed.
TEST(SMDPolyRoundings, SquareCornerTouchesBothSidesAndOpenEndsStaySharp) {
  Poly p = closedPoly({vtx(0, 0), vtx(10, 0, 2), vtx(10, 10), vtx(0, 10)});
  EXPECT_TRUE(p.roundStart_(1) == V2(8, 0) && p.roundEnd_(1) == V2(10, 2));
  EXPECT_DOUBLE_EQ(p.roundSpan_(1).toDouble(), 90);
  EXPECT_DOUBLE_EQ(Private::vertexAngle(p, 1).toDouble(), 90);
  EXPECT_EQ(Private::roundedLineSegment_(p, 1).p2(), V2(8, 0));
  EXPECT_EQ(p.roundStart_(2), V2(10, 10));
  Poly q;
  Private::reversePoly(p, q);
  EXPECT_DOUBLE_EQ(Private::vertexAngle(q, 2).toDouble(), -90);
  EXPECT_DOUBLE_EQ(q.roundSpan_(2).toDouble(), -90);
  EXPECT_EQ(q.roundStart_(2), V2(10, 2));
  Poly straight = closedPoly({vtx(0, 0), vtx(5, 0), vtx(10, 0), vtx(5, 5)});
  EXPECT_DOUBLE_EQ(Private::vertexAngle(straight, 1).toDouble(), 180);
  EXPECT_EQ(errorOf([&] { straight.replaceVertex(1, vtx(5, 0, 1)); }),
            Poly::invalidRounding::kErrorNumber);

  Poly open;
  open << vtx(0, 0, 1) << vtx(10, 0, 1) << vtx(10, 10, 1);
  EXPECT_TRUE(!open.vertexIsRounded_(0) && !open.vertexIsRounded_(2));
  EXPECT_TRUE(open.roundStart_(0) == V2(0, 0) && open.roundSpan_(2).toDouble() == 0);
  EXPECT_EQ(open.roundStart_(1), V2(9, 0));
  open.close();
  EXPECT_TRUE(open.vertexIsRounded_(0) && open.roundStart_(0) != V2(0, 0));
  open.open();
  EXPECT_EQ(open.roundEnd_(2), V2(10, 10));
}

// A half disc: the upper half circle of radius 10 from (10, 0) to (-10, 0), closed by the
// diameter. Rounding the corner at (10, 0) by 2: the centre lies 2 above the line and 8 from
// the origin, so at (sqrt 60, 2); it touches the line below it and the arc 10 from the origin
// along its direction.
TEST(SMDPolyRoundings, ArcMeetingLineTouchesBoth) {
  Poly p = closedPoly({vtx(10, 0, 2), vtx(-10, 0, 0, 180)});
  const double cx = std::sqrt(60.0);
  EXPECT_TRUE(cfRealEq(p.roundStart_(0), V2(cx, 0), 1e-12));
  EXPECT_TRUE(cfRealEq(p.roundEnd_(0), V2(cx * 1.25, 2.5), 1e-12));
  EXPECT_NEAR(p.roundSpan_(0).toDouble(), 90 + std::atan2(0.5, cx / 4) * 180 / ccPi, 1e-10);
  const cc2SegmentArc arc = Private::roundedArcSegment_(p, 1);
  EXPECT_NEAR(arc.p1().x(), cx * 1.25, 1e-12);
  EXPECT_TRUE(cfRealEq(arc.p2(), V2(-10, 0), 1e-12));
  EXPECT_NEAR(Private::roundedArcVertex_(p, 0).center().y(), 2, 1e-12);
  EXPECT_TRUE(p.isDirectionPositive());
  // Inside: near the rounding, on the cut-off corner, under the arc, near a sharp vertex.
  for (const V2& q : {V2(cx, 0.1), V2(0, 9.99), V2(-9.99, 0.01), V2(cx + 1.9, 2)})
    EXPECT_TRUE(Private::inside(p, q)) << q;
  for (const V2& q : {V2(9.9, 0.05), V2(0, 10.01), V2(-9.99, -0.01), V2(cx + 2.1, 2)})
    EXPECT_FALSE(Private::inside(p, q)) << q;
  // A spike between the chord from -40 to 0 degrees of the circle of radius 10 and the arc it
  // cuts off: a rounding of 0.2 fits at two places, and the one nearer the vertex is taken.
  const double deg = ccPi / 180, near = 20 - std::acos((10 * std::cos(20 * deg) + 0.2) / 9.8) / deg;
  Poly spike;
  spike << vtx(10 * std::cos(40 * deg), -10 * std::sin(40 * deg)) << vtx(10, 0, 0.2)
        << vtx(10 * std::cos(36 * deg), -10 * std::sin(36 * deg), 0, -36);
  EXPECT_NEAR(spike.roundEnd_(1).angle().toDouble(), -near * deg, 1e-9);
}

// The error of each refused edit (of the square below, open or closed), which leaves the
// archive bytes as they were; the accepted edits at the limits give 0.
TEST(SMDPolyEdits, RefusedEditsThrowTheirErrorAndChangeNothing) {
  const std::vector<Vertex> square{vtx(0, 0), vtx(10, 0), vtx(10, 10, 1), vtx(0, 10)};
  const std::uint32_t crossing = Poly::crossingSegments::kErrorNumber,
                      rounding = Poly::invalidRounding::kErrorNumber,
                      vertices = Poly::invalidVertices::kErrorNumber,
                      index = Poly::invalidIndex::kErrorNumber,
                      length = Vertex::invalidSegmentLength::kErrorNumber;
  using Edit = std::function<void(Poly&)>;
  auto set = [](std::vector<Vertex> v, bool close = false) -> Edit {
    return [=](Poly& p) {
      p.vertices(v);
      if (close) p.close();
    };
  };
  auto replace = [](long i, Vertex v) -> Edit { return [=](Poly& p) { p.replaceVertex(i, v); }; };
  const Edit close = [](Poly&p) { p.close(); }, deleteFirst = [](Poly&p) { p.deleteVertex(0); };
  const double r3 = std::sqrt(3.0);
  // Tenths as a random search found them (-0.0 included): refused after the roundings two
  // vertices on were redone in other bits, which are put back too.
  const double tenths[] = {-1, 45,   0,  -1089, -14, -64, 15, 454, 68, 56,  6,  0,
                           83, -0.0, 21, 0,     91,  -84, 0,  0,   55, 20,  12, 0,
                           11, -55,  0,  0,     -95, -27, 0,  0,   96, -95, 0,  0};
  std::vector<Vertex> journal;  // x, y, radius and span of each vertex
  for (std::size_t i = 0; i < 36; i += 4)
    journal.push_back(
        vtx(tenths[i] * 0.1, tenths[i + 1] * 0.1, tenths[i + 2] * 0.1, tenths[i + 3] * 0.1));
  const struct {
    const char* what;
    bool closed;
    Edit prepare, edit;  // prepare succeeds; edit fails with error, or succeeds when it is 0
    std::uint32_t error;
  } kCases[] = {
      {"rounding beyond half a side", true, nullptr, replace(1, vtx(10, 0, 6)), rounding},
      {"rounding within half a side", true, nullptr, replace(1, vtx(10, 0, 4.9)), 0},
      // Corners of 90 and 120 degrees rounded by 5 and 5 sqrt 3: each rounding takes half of
      // the side between them, and the two meet at its middle, as neighbours may.
      {"roundings meeting in the middle of their side", false, nullptr,
       set({vtx(0, 12), vtx(0, 0, 5), vtx(10, 0, 5 * r3), vtx(16, 6 * r3)}, true), 0},
      {"delete down to one", true, set({vtx(0, 0), vtx(1, 0)}), deleteFirst, vertices},
      {"empty a closed polygon", true, nullptr, [](Poly& p) { p.deleteAllVertices(); }, vertices},
      {"close one vertex", false, set({vtx(1, 1)}), close, vertices},
      {"labels share more than the side", true, replace(0, vtx(0, 0, 0, 0, 4, 0.5, 0.6)),
       replace(1, vtx(10, 0, 0, 0, 4, 0.5, 0.5)), crossing},
      {"labels share exactly the side", true, replace(0, vtx(0, 0, 0, 0, 4, 0.5, 0.4)),
       replace(1, vtx(10, 0, 0, 0, 4, 0.6, 0.5)), 0},
      {"index past the end", true, nullptr, [](Poly& p) { p.insertVertex(4, vtx(1, 1)); }, index},
      {"index before the front", false, nullptr, [](Poly& p) { p.insertVertex(-2, vtx(1, 1)); },
       index},
      {"not a number", false, nullptr, [](Poly& p) { p << vtx(NAN, 1); }, vertices},
      {"infinite radius", true, nullptr, replace(2, vtx(10, 10, INFINITY)), rounding},
      {"segment of length 0", false, nullptr, [](Poly& p) { p << vtx(0, 10); }, length},
      {"length outside its limits", true, nullptr,
       replace(1, Vertex(V2(10, 0), 0, ccDegree(0), 0.5, 0.5, -1,
                         ccDimTol(-1, 1, 2, ccDimTol::eLimits))),
       length},
      {"arc bulging through the polygon", true, nullptr, replace(2, vtx(10, 10, 0, -200)),
       crossing},
      {"rounding meets a spike into its corner", true,
       set({vtx(0, 0), vtx(10, 0), vtx(10, 10), vtx(5, 10), vtx(9.5, 0.5), vtx(4, 10), vtx(0, 10)}),
       replace(1, vtx(10, 0, 3)), crossing},
      {"its own vertices again", true, nullptr, [](Poly& p) { p.vertices(p.vertices()); }, 0},
      {"whole check: the last segment crosses the first", false, nullptr,
       set({vtx(0, 0), vtx(10, 0), vtx(10, 5), vtx(5, -5)}), crossing},
      {"first vertex of an open polygon deleted", false, set(journal), deleteFirst, crossing},
      {"closing crosses", false, set({vtx(0, 0), vtx(10, 0), vtx(10, 10), vtx(12, 5)}), close,
       crossing},
  };
  for (const auto& c : kCases) {
    Poly p;
    p.vertices(square);
    if (c.closed) p.close();
    if (c.prepare) c.prepare(p);
    const Bytes before = bytesOf(p);
    EXPECT_EQ(errorOf([&] { c.edit(p); }), c.error) << c.what;
    EXPECT_TRUE(!c.error || bytesOf(p) == before) << c.what;
  }
}

// Random edits, each checked against the whole-polygon check: a refused edit leaves the bytes
// as they were; after an accepted one, vertices(...) takes the same vertices and rebuilds the
// same roundings, so the piece grid and the journal neither miss a crossing nor leave stale
// caches. Small random polygons that open and close, and a spiral large enough for the piece
// grid, edited near its vertices.
TEST(SMDPolyEdits, RandomEditsAgreeWithWholeValidation) {
  std::mt19937 rng(0x5eed);
  std::uniform_real_distribution<double> coord(-50, 50), radius(0, 3), span(-120, 120);
  std::normal_distribution<double> jitter(0, 1.5);
  std::uniform_int_distribution<int> kind(0, 9);
  auto spiral = [](double i) { return V2::polar(10 + 0.6 * i, ccRadian(i * 0.2)); };
  int failures = 0, successes = 0;
  for (int round = 0; round < 7; ++round) {
    const bool large = round == 6;
    Poly p;
    for (int i = 0; large && i < 200; ++i)
      p << vtx(spiral(i).x(), spiral(i).y(), i % 5 == 2 ? 0.3 : 0);
    for (int step = 0; step < (large ? 600 : 400); ++step) {
      const long n = p.numVertices();
      const Bytes before = bytesOf(p);
      const long at = n ? static_cast<long>(rng() % static_cast<unsigned>(n)) : 0;
      const double scale = large ? 0.1 : 1;  // on the spiral: small moves, roundings and arcs
      const V2 q =
          large ? p.vertex(at).point() + V2(jitter(rng), jitter(rng)) : V2(coord(rng), coord(rng));
      const Vertex v = vtx(q.x(), q.y(), kind(rng) < 3 ? radius(rng) * scale : 0,
                           kind(rng) < 2 ? span(rng) * scale : 0);
      const V2 e = spiral(static_cast<double>(n) + jitter(rng) * 0.1);
      const int k = kind(rng);
      try {
        if (k < 5 || n < 3)
          p << (large ? vtx(e.x(), e.y(), v.vertexRadius()) : v);
        else if (k < 7)
          p.replaceVertex(at, v);
        else if (k < 8)
          p.insertVertex(at - 1, v);
        else if (k < 9 && n > (large ? 60 : 0))
          p.deleteVertex(at);
        else if (p.isOpen())
          p.close();
        else
          p.open();
        ++successes;
      } catch (const ccException&) {
        ++failures;
        ASSERT_EQ(bytesOf(p), before) << round << ":" << step;
        continue;
      }
      Poly whole(p);  // same closedness
      ASSERT_NO_THROW(whole.vertices(p.vertices())) << round << ":" << step;
      ASSERT_EQ(bytesOf(whole), bytesOf(p)) << round << ":" << step;
    }
  }
  EXPECT_GT(failures, 200);
  EXPECT_GT(successes, 600);
}

// Far crossings found through the piece grid: a vertex of a long spiral moved across a far
// turn, closing across every turn, a swung last segment met where it now is, and a side
// appended across the stretch a rounding gave back after its turn was halved.
TEST(SMDPolyValidation, LargePolygonsFindFarCrossings) {
  std::vector<Vertex> spiral;
  for (int i = 0; i < 600; ++i) {
    const V2 q = V2::polar(10 + 0.2 * i, ccRadian(i * 0.1));
    spiral.push_back(vtx(q.x(), q.y(), i % 7 == 3 ? 0.05 : 0));
  }
  Poly p;
  ASSERT_NO_THROW(p.vertices(spiral));
  Poly q(p);
  Vertex far = spiral[300];
  far.point(spiral[300].point() * 1.3);
  EXPECT_EQ(errorOf([&] { q.replaceVertex(300, far); }), Poly::crossingSegments::kErrorNumber);
  spiral[300] = far;
  EXPECT_EQ(errorOf([&] { q.vertices(spiral); }), Poly::crossingSegments::kErrorNumber);
  EXPECT_EQ(errorOf([&] { q.close(); }), Poly::crossingSegments::kErrorNumber);
  EXPECT_EQ(bytesOf(q), bytesOf(p));

  std::vector<Vertex> zigzag;
  for (int i = 0; i < 100; ++i) zigzag.push_back(vtx(i, i % 2));
  Poly z;
  z.vertices(zigzag);
  ASSERT_NO_THROW(z.replaceVertex(99, vtx(40, 60)));
  EXPECT_EQ(errorOf([&] { z.replaceVertex(0, vtx(70, 70)); }),
            Poly::crossingSegments::kErrorNumber);

  // Moving vertex 3 halves the turn at vertex 4, whose rounding then gives the next side back
  // from x = 4 to x = 1.66.
  std::vector<Vertex> hook{vtx(0, 40), vtx(0, 30),   vtx(0, 20),
                           vtx(0, 10), vtx(0, 0, 4), vtx(20, 0)};
  for (double x = 20; x >= 3; x -= 0.25) hook.push_back(vtx(x, -10));
  Poly h;
  h.vertices(hook);
  ASSERT_NO_THROW(h.replaceVertex(3, vtx(-10, 10)));
  EXPECT_EQ(errorOf([&] { h << vtx(3, 0.5); }), Poly::crossingSegments::kErrorNumber);
}

TEST(SMDPolyGeometry, OrientationToleranceAndTransforms) {
  Poly r = Poly::rectangle(4, 2, V2(1, 1));
  r.toggleDirection();
  EXPECT_TRUE(r.isDirectionNegative());
  // Run the other way, vertex 0 comes last and exchanges its shares of its two sides.
  Poly reversed;
  Private::reversePoly(closedPoly({vtx(0, 0, 0, 0, -1, 0.3, 0.7), vtx(4, 0), vtx(4, 4)}), reversed);
  EXPECT_FALSE(reversed.isDirectionPositive());
  EXPECT_EQ(reversed.vertex(2).percentPrevSegment(), 0.7);
  EXPECT_EQ(reversed.vertex(2).percentNextSegment(), 0.3);
  Poly open;
  open << vtx(0, 0) << vtx(1, 0);
  EXPECT_EQ(errorOf([&] { open.isDirectionPositive(); }), Poly::notClosed::kErrorNumber);
  EXPECT_EQ(errorOf([&] { Private::inside(open, V2()); }), Poly::notClosed::kErrorNumber);

  // Side 1 (4 long) is allowed 3.9 to 4.1: a 2% stretch stays within, 5% does not.
  Poly t = Poly::rectangle(4, 2, V2(0, 0));
  t.replaceVertex(
      1, Vertex(V2(-2, 1), 0, ccDegree(0), 0.5, 0.5, 1, ccDimTol(4, 0.1, 0.1, ccDimTol::eOffsets)));
  auto stretch = [](double s) { return ccXform<2>(ccMatrix<2>(s, 0, 0, 1), V2()); };
  EXPECT_TRUE(t.segmentsOutOfTolerance(stretch(1.02), ccXform<2>()).empty());
  EXPECT_EQ(t.segmentsOutOfTolerance(stretch(1.05), ccXform<2>()), std::vector<long>{1});
  EXPECT_DOUBLE_EQ(t.segmentDimension(1).minDim(), 3.9);

  EXPECT_EQ((2.0 * Poly::rectangle(4, 2, V2(1, 1))).vertex(0).point(), V2(6, 4));
  const Poly moved = cc2Rigid(ccDegree(90), V2(1, 0)) * Poly::rectangle(4, 2, V2(0, 0));
  EXPECT_TRUE(cfRealEq(moved.vertex(0).point(), V2(0, 2), 1e-12));
  EXPECT_NE(moved, Poly::rectangle(4, 2, V2()));

  // A rounded apex lies inside its vertex: the arc's top is 1 below the centre, sqrt 5 below
  // the apex.
  EXPECT_NEAR(closedPoly({vtx(0, 0), vtx(4, 0), vtx(2, 4, 1)}).boundingBox().lr().y(),
              5 - std::sqrt(5.0), 1e-12);
  const ccRect box = Poly::circle(2, V2(1, 1)).boundingBox();
  EXPECT_TRUE(cfRealEq(box.ul(), V2(-1, -1), 1e-12) && cfRealEq(box.lr(), V2(3, 3), 1e-12));
  const Poly rounded = closedPoly({vtx(0, 0, 1), vtx(4, 0, 1), vtx(4, 4, 1), vtx(0, 4, 1)});
  EXPECT_NEAR(Private::perimeter(rounded), 8 + 2 * ccPi, 1e-12);
  EXPECT_NEAR(Private::signedArea2_(rounded) / 2, 16 - 4 + ccPi, 1e-12);
  // A horizontal scan line meets the rounded square twice.
  EXPECT_EQ(Private::intersection_(rounded, Poly() << vtx(-1, 0.5) << vtx(5, 0.5)).size(), 2u);
  EXPECT_NEAR(Private::distToPoint(rounded, V2(2, 2)), 2, 1e-12);
  EXPECT_NEAR(Private::distToPoint(rounded, V2(5, 5)), std::sqrt(8.0) - 1, 1e-12);  // corner arc
  EXPECT_EQ(Private::position(rounded), cc2Rigid(ccDegree(0), V2(2, 2)));
}

TEST(SMDPolyArchive, VersionsAndHostileRecords) {
  Poly p = closedPoly({vtx(0, 0), vtx(10, 0, 2, 0, 3), vtx(10, 10, 0, 30), vtx(0, 10)});
  p.weight(0.25);
  p.toggleDirection();
  const Bytes stored = bytesOf(p);
  EXPECT_EQ(stored[0], 1);
  // By name, through a persistent pointer, for both classes.
  for (bool asPrivate : {false, true}) {
    const ccPtrHandle<ccSMDGeometricDescription> g =
        reloadedHandle<ccSMDGeometricDescription>(asPrivate ? new Private(p) : new Poly(p));
    ASSERT_TRUE(g);
    EXPECT_EQ(dynamic_cast<Private*>(g.rep()) != nullptr, asPrivate);
    EXPECT_EQ(*dynamic_cast<Poly*>(g.rep()), p);
    EXPECT_EQ(bytesOf(*dynamic_cast<Poly*>(g.rep())), stored);
  }
  // Version 0 has no weight and loads weight 1.
  Bytes v0(stored.begin(), stored.end() - 8);
  v0[0] = 0;
  ccArchive in0(v0);
  Poly loaded;
  loaded.dispatchSerialize(in0);
  EXPECT_TRUE(loaded.weight() == 1.0 && in0.atEnd());
  Bytes v2 = stored;
  v2[0] = 2;
  ccArchive in2(v2);
  Poly other;
  EXPECT_EQ(unknownVersionSource([&] { other.dispatchSerialize(in2); }), "");

  // Every truncation, a vertex count the bytes left cannot hold, and caches of a three-vertex
  // polygon after four vertices fail with an archive error and leave the polygon as it was.
  const Bytes reference = bytesOf(other);
  auto refused = [&](const Bytes& b) {
    ccArchive in(b);
    EXPECT_THROW(other.dispatchSerialize(in), ccArchive::Errors) << b.size();
    EXPECT_EQ(bytesOf(other), reference) << b.size();
  };
  for (std::size_t cut = 1; cut < stored.size(); cut += 7)
    refused(Bytes(stored.begin(), stored.begin() + static_cast<long>(cut)));
  Bytes huge(stored.begin(), stored.begin() + 10);
  putU32(huge, 3);
  huge.resize(huge.size() + 3 * Vertex::kArchiveMinBytes - 1);
  refused(huge);
  // Where the caches start: after the version, the name "poly", the vertices and the labels.
  auto cachesAt = [](Poly q) {
    auto v = q.vertices();
    auto labels = q.subModelLabels();
    ccArchive ar;
    ar || v || labels;
    return static_cast<long>(10 + ar.data().size());
  };
  Poly four = closedPoly({vtx(0, 0), vtx(10, 0), vtx(10, 10), vtx(0, 10)}),
       three = closedPoly({vtx(0, 0), vtx(10, 0), vtx(0, 10)});
  const Bytes head = bytesOf(four), tail = bytesOf(three);
  Bytes spliced(head.begin(), head.begin() + cachesAt(four));
  spliced.insert(spliced.end(), tail.begin() + cachesAt(three), tail.end());
  refused(spliced);
}

}  // namespace
