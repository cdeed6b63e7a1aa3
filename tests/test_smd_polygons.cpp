// SMD polygons: index rules, factories, roundings against hand-computed tangent points, edits
// that must fail leaving the archive bytes unchanged, inside tests, orientation, tolerances,
// archive versions, and randomised checks of local against whole-polygon validation.
#include <core/archive.h>
#include <core/errors.h>
#include <dispc/smd/poly.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
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
  return Vertex(V2(x, y), radius, ccDegree(span), prev, next, label,
                ccDimTol(-1, -1, -1, ccDimTol::eLimits));
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
  EXPECT_EQ(p.numSegments(), 1);
  EXPECT_EQ(p.firstSegmentIndex_(), 1);
  EXPECT_EQ(p.lastSegmentIndex_(), 1);
  EXPECT_EQ(p.previousSegmentIndex_(0), -1);
  EXPECT_EQ(p.nextSegmentIndex_(1), -1);
  EXPECT_EQ(errorOf([&] { p.segmentIndex_(0, false); }), Poly::invalidIndex::kErrorNumber);
  EXPECT_EQ(errorOf([&] { p.segmentDimension(0); }), Vertex::invalidSegmentLength::kErrorNumber);
  EXPECT_EQ(p.segmentDimension(1).nomDim(), 4);

  p << vtx(4, 3);
  p.close();
  EXPECT_EQ(p.numSegments(), 3);
  EXPECT_EQ(p.segmentIndex_(0, false), 0);
  EXPECT_EQ(p.previousVertexIndex_(0), 2);  // segment 0 runs from the last vertex to vertex 0
  EXPECT_EQ(p.nextSegmentIndex_(2), 0);
  EXPECT_EQ(p.lastSegmentIndex_(), 0);
  EXPECT_DOUBLE_EQ(p.segmentDimension(0).nomDim(), 5);
  const struct {
    long i;
    long wrapped;
  } kWraps[] = {{-1, 2}, {-3, 0}, {-4, 2}, {3, 0}, {7, 1}};
  for (const auto& w : kWraps) EXPECT_EQ(p.vertexIndex_(w.i, true), w.wrapped) << w.i;
  EXPECT_EQ(errorOf([&] { p.vertex(3); }), Poly::invalidIndex::kErrorNumber);
  EXPECT_EQ(errorOf([] { Poly().vertexIndex_(0, true); }), Poly::invalidIndex::kErrorNumber);
}

TEST(SMDPolyFactories, BuildTheirLayouts) {
  const Poly c = Poly::circle(2, V2(1, 1));
  ASSERT_EQ(c.numVertices(), 2);
  EXPECT_TRUE(c.isClosed());
  EXPECT_EQ(c.vertex(0).point(), V2(-1, 1));
  EXPECT_EQ(c.vertex(1).point(), V2(3, 1));
  EXPECT_TRUE(c.isArcSegment_(0) && c.isArcSegment_(1));
  EXPECT_EQ(c.subModelLabels(), std::vector<std::int32_t>{0});
  EXPECT_TRUE(Poly::isCircle(c));
  EXPECT_NEAR(Private::signedArea2_(c) / 2, ccPi * 4, 1e-12);
  EXPECT_TRUE(Private::inside(c, V2(1, 2.9)));
  EXPECT_FALSE(Private::inside(c, V2(2.5, 2.5)));

  const Poly r = Poly::rectangle(4, 2, V2(0, 0));
  const V2 corners[] = {{2, 1}, {-2, 1}, {-2, -1}, {2, -1}};
  for (long i = 0; i < 4; ++i) {
    EXPECT_EQ(r.vertex(i).point(), corners[i]);
    EXPECT_EQ(r.vertex(i).subModelLabel(), i);
  }
  EXPECT_FALSE(Poly::isCircle(r));
  EXPECT_TRUE(r.isDirectionPositive());

  const Poly t = Poly::triangle(6, 3, V2(0, 0));
  EXPECT_EQ(t.vertex(0).point(), V2(0, 2));
  EXPECT_EQ(t.vertex(2).point(), V2(3, -1));
  EXPECT_EQ(Poly().name(), "poly");
}

// A square of side 10 rounded by 2 at (10, 0): tangent points 2 back along each side, a
// quarter turn counter-clockwise.
TEST(SMDPolyRoundings, SquareCornerTouchesBothSides) {
  Poly p = closedPoly({vtx(0, 0), vtx(10, 0, 2), vtx(10, 10), vtx(0, 10)});
  EXPECT_EQ(p.roundStart_(1), V2(8, 0));
  EXPECT_EQ(p.roundEnd_(1), V2(10, 2));
  EXPECT_DOUBLE_EQ(p.roundSpan_(1).toDouble(), 90);
  EXPECT_DOUBLE_EQ(Private::vertexAngle(p, 1).toDouble(), 90);
  EXPECT_EQ(Private::roundedLineSegment_(p, 1).p2(), V2(8, 0));
  // The same corner run clockwise turns right: the rounding spans -90 degrees.
  Poly q;
  Private::reversePoly(p, q);
  EXPECT_DOUBLE_EQ(Private::vertexAngle(q, 2).toDouble(), -90);
  EXPECT_DOUBLE_EQ(q.roundSpan_(2).toDouble(), -90);
  EXPECT_EQ(q.roundStart_(2), V2(10, 2));
  // An unrounded vertex keeps its point; a straight pass counts as 180 degrees.
  EXPECT_EQ(p.roundStart_(2), V2(10, 10));
  Poly straight = closedPoly({vtx(0, 0), vtx(5, 0), vtx(10, 0), vtx(5, 5)});
  EXPECT_DOUBLE_EQ(Private::vertexAngle(straight, 1).toDouble(), 180);
  EXPECT_EQ(errorOf([&] { straight.replaceVertex(1, vtx(5, 0, 1)); }),
            Poly::invalidRounding::kErrorNumber);
}

// A half disc: the upper half circle of radius 10 from (10, 0) to (-10, 0), closed by the
// diameter. Rounding the corner at (10, 0) by 2: the centre lies 2 above the line and 8 from
// the origin, so at (sqrt 60, 2); it touches the line below it and the arc 10 from the origin
// along its direction.
TEST(SMDPolyRoundings, ArcMeetingLineTouchesBoth) {
  Poly p = closedPoly({vtx(10, 0, 2), vtx(-10, 0, 0, 180)});
  const double cx = std::sqrt(60.0);
  EXPECT_NEAR(p.roundStart_(0).x(), cx, 1e-12);
  EXPECT_NEAR(p.roundStart_(0).y(), 0, 1e-12);
  EXPECT_NEAR(p.roundEnd_(0).x(), cx * 1.25, 1e-12);
  EXPECT_NEAR(p.roundEnd_(0).y(), 2.5, 1e-12);
  EXPECT_NEAR(p.roundSpan_(0).toDouble(), 90 + std::atan2(0.5, cx / 4) * 180 / ccPi, 1e-10);
  const cc2SegmentArc arc = Private::roundedArcSegment_(p, 1);
  EXPECT_NEAR(arc.p1().x(), cx * 1.25, 1e-12);
  EXPECT_TRUE(cfRealEq(arc.p2(), V2(-10, 0), 1e-12));
  EXPECT_NEAR(Private::roundedArcVertex_(p, 0).center().y(), 2, 1e-12);
  EXPECT_TRUE(p.isDirectionPositive());
  // Inside: near the rounding, on the cut-off corner, under the arc, near a sharp vertex.
  const struct {
    V2 p;
    bool in;
  } kPoints[] = {{{cx, 0.1}, true},     {{9.9, 0.05}, false},  {{0, 9.99}, true},
                 {{0, 10.01}, false},   {{-9.99, 0.01}, true}, {{-9.99, -0.01}, false},
                 {{cx + 1.9, 2}, true}, {{cx + 2.1, 2}, false}};
  for (const auto& k : kPoints) EXPECT_EQ(Private::inside(p, k.p), k.in) << k.p;
  // A spike between the chord from -40 to 0 degrees of the circle of radius 10 and the arc it
  // cuts off: a rounding of 0.2 fits at two places, and the one nearer the vertex is taken.
  const double deg = ccPi / 180, near = 20 - std::acos((10 * std::cos(20 * deg) + 0.2) / 9.8) / deg;
  Poly spike;
  spike << vtx(10 * std::cos(40 * deg), -10 * std::sin(40 * deg)) << vtx(10, 0, 0.2)
        << vtx(10 * std::cos(36 * deg), -10 * std::sin(36 * deg), 0, -36);
  EXPECT_NEAR(spike.roundEnd_(1).angle().toDouble(), -near * deg, 1e-9);
}

TEST(SMDPolyRoundings, EndVerticesOfOpenPolygonsStaySharp) {
  Poly p;
  p << vtx(0, 0, 1) << vtx(10, 0, 1) << vtx(10, 10, 1);
  EXPECT_FALSE(p.vertexIsRounded_(0));
  EXPECT_FALSE(p.vertexIsRounded_(2));
  EXPECT_EQ(p.roundStart_(0), V2(0, 0));
  EXPECT_EQ(p.roundSpan_(2).toDouble(), 0);
  EXPECT_EQ(p.roundStart_(1), V2(9, 0));
  p.close();  // both ends become inner vertices and are rounded
  EXPECT_TRUE(p.vertexIsRounded_(0));
  EXPECT_NE(p.roundStart_(0), V2(0, 0));
  p.open();
  EXPECT_EQ(p.roundEnd_(2), V2(10, 10));
}

// Every edit that must fail throws its error and leaves the archive bytes as they were.
TEST(SMDPolyEdits, FailedEditsChangeNothing) {
  const std::vector<Vertex> square{vtx(0, 0), vtx(10, 0), vtx(10, 10, 1), vtx(0, 10)};
  const double nan = std::nan("");
  const struct {
    const char* what;
    bool closed;
    std::function<void(Poly&)> prepare;  // succeeds
    std::function<void(Poly&)> edit;     // fails with error, or succeeds when error is 0
    std::uint32_t error;
  } kCases[] = {
      {"bow tie", false, nullptr, [](Poly& p) { p << vtx(10, -5); },
       Poly::crossingSegments::kErrorNumber},
      {"bow tie closing", true, nullptr, [](Poly& p) { p.replaceVertex(3, vtx(20, 5)); },
       Poly::crossingSegments::kErrorNumber},
      {"rounding beyond half a side", true, nullptr,
       [](Poly& p) { p.replaceVertex(1, vtx(10, 0, 6)); }, Poly::invalidRounding::kErrorNumber},
      {"rounding within half a side", true, nullptr,
       [](Poly& p) { p.replaceVertex(1, vtx(10, 0, 4.9)); }, 0},
      // Corners of 90 and 120 degrees rounded by 5 and 5 sqrt 3: each rounding takes half of
      // the side between them, and the two meet at its middle, as neighbours may.
      {"roundings meeting in the middle of their side", false, nullptr,
       [](Poly& p) {
         const double r3 = std::sqrt(3.0);
         p.vertices({vtx(0, 12), vtx(0, 0, 5), vtx(10, 0, 5 * r3), vtx(16, 6 * r3)});
         p.close();
       },
       0},
      {"delete down to one", true,
       [](Poly& p) {
         p.replaceVertex(2, vtx(10, 10));
         p.deleteVertex(0);
         p.deleteVertex(0);
       },
       [](Poly& p) { p.deleteVertex(0); }, Poly::invalidVertices::kErrorNumber},
      {"empty a closed polygon", true, nullptr, [](Poly& p) { p.deleteAllVertices(); },
       Poly::invalidVertices::kErrorNumber},
      {"close one vertex", false, [](Poly& p) { p.vertices({vtx(1, 1)}); },
       [](Poly& p) { p.close(); }, Poly::invalidVertices::kErrorNumber},
      {"labels share more than the side", true,
       [](Poly& p) { p.replaceVertex(0, vtx(0, 0, 0, 0, 4, 0.5, 0.6)); },
       [](Poly& p) { p.replaceVertex(1, vtx(10, 0, 0, 0, 4, 0.5, 0.5)); },
       Poly::crossingSegments::kErrorNumber},
      {"labels share exactly the side", true,
       [](Poly& p) { p.replaceVertex(0, vtx(0, 0, 0, 0, 4, 0.5, 0.4)); },
       [](Poly& p) { p.replaceVertex(1, vtx(10, 0, 0, 0, 4, 0.6, 0.5)); }, 0},
      {"index past the end", true, nullptr, [](Poly& p) { p.insertVertex(4, vtx(1, 1)); },
       Poly::invalidIndex::kErrorNumber},
      {"index before the front", false, nullptr, [](Poly& p) { p.insertVertex(-2, vtx(1, 1)); },
       Poly::invalidIndex::kErrorNumber},
      {"not a number", false, nullptr, [=](Poly& p) { p << vtx(nan, 1); },
       Poly::invalidVertices::kErrorNumber},
      {"infinite radius", true, nullptr, [](Poly& p) { p.replaceVertex(2, vtx(10, 10, INFINITY)); },
       Poly::invalidRounding::kErrorNumber},
      {"segment of length 0", false, nullptr, [](Poly& p) { p << vtx(0, 10); },
       Vertex::invalidSegmentLength::kErrorNumber},
      {"length outside its limits", true, nullptr,
       [](Poly& p) {
         p.replaceVertex(1, Vertex(V2(10, 0), 0, ccDegree(0), 0.5, 0.5, -1,
                                   ccDimTol(-1, 1, 2, ccDimTol::eLimits)));
       },
       Vertex::invalidSegmentLength::kErrorNumber},
      {"arc bulging through the polygon", true, nullptr,
       [](Poly& p) { p.replaceVertex(2, vtx(10, 10, 0, -200)); },
       Poly::crossingSegments::kErrorNumber},
      {"rounding meets a spike into its corner", true,
       [](Poly& p) {
         p.vertices({vtx(0, 0), vtx(10, 0), vtx(10, 10), vtx(5, 10), vtx(9.5, 0.5), vtx(4, 10),
                     vtx(0, 10)});
         p.close();
       },
       [](Poly& p) { p.replaceVertex(1, vtx(10, 0, 3)); }, Poly::crossingSegments::kErrorNumber},
      {"its own vertices again", true, nullptr, [](Poly& p) { p.vertices(p.vertices()); }, 0},
      {"whole check: the last segment crosses the first", false, nullptr,
       [](Poly& p) {
         p.vertices({vtx(0, 0), vtx(10, 0), vtx(10, 5), vtx(5, -5)});
       },
       Poly::crossingSegments::kErrorNumber},
      // Refused after roundings two vertices on were redone: they are put back too.
      {"first vertex of an open polygon deleted", false,
       [](Poly& p) {
         // Tenths as a random search found them (-0.0 included): the redone roundings come out
         // in other bits.
         auto t = [](double k) { return k * 0.1; };
         p.vertices({vtx(t(-1), t(45), 0, t(-1089)), vtx(t(-14), t(-64), t(15), t(454)),
                     vtx(t(68), t(56), t(6)), vtx(t(83), t(-0.0), t(21)), vtx(t(91), t(-84)),
                     vtx(t(55), t(20), t(12)), vtx(t(11), t(-55)), vtx(t(-95), t(-27)),
                     vtx(t(96), t(-95))});
       },
       [](Poly& p) { p.deleteVertex(0); }, Poly::crossingSegments::kErrorNumber},
      {"closing crosses", false,
       [](Poly& p) {
         p.replaceVertex(2, vtx(10, 10));
         p.replaceVertex(3, vtx(12, 5));
       },
       [](Poly& p) { p.close(); }, Poly::crossingSegments::kErrorNumber},
  };
  for (const auto& c : kCases) {
    Poly p;
    p.vertices(square);
    if (c.closed) p.close();
    if (c.prepare) {
      ASSERT_NO_THROW(c.prepare(p)) << c.what;
    }
    const Bytes before = bytesOf(p);
    EXPECT_EQ(errorOf([&] { c.edit(p); }), c.error) << c.what;
    if (c.error) {
      EXPECT_EQ(bytesOf(p), before) << c.what;
    }
  }
}

// Random edits on random polygons: a failed edit leaves the same bytes; after every edit the
// whole-polygon check (vertices(...)) agrees with the local one, so the grid and the journal
// neither miss a crossing nor leave stale caches.
TEST(SMDPolyEdits, RandomEditsAgreeWithWholeValidation) {
  std::mt19937 rng(0x5eed);
  std::uniform_real_distribution<double> coord(-50, 50), radius(0, 3), span(-120, 120);
  std::uniform_int_distribution<int> kind(0, 9);
  int failures = 0, successes = 0;
  for (int round = 0; round < 6; ++round) {
    Poly p;
    for (int step = 0; step < 400; ++step) {
      const long n = p.numVertices();
      const Vertex v = vtx(coord(rng), coord(rng), kind(rng) < 3 ? radius(rng) : 0,
                           kind(rng) < 2 ? span(rng) : 0);
      const Bytes before = bytesOf(p);
      const int k = kind(rng);
      const long at = n ? static_cast<long>(rng() % static_cast<unsigned>(n)) : 0;
      try {
        if (k < 5 || n < 3)
          p << v;
        else if (k < 7)
          p.replaceVertex(at, v);
        else if (k < 8)
          p.insertVertex(at - 1, v);
        else if (k < 9)
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
      ASSERT_NO_THROW(whole.vertices(p.vertices()))
          << round << ":" << step << " k=" << k << " open=" << p.isOpen();
      for (long i = 0; i < p.numVertices(); ++i)
        ASSERT_TRUE(cfRealEq(whole.roundStart_(i), p.roundStart_(i), 1e-9)) << step << ":" << i;
    }
  }
  EXPECT_GT(failures, 100);
  EXPECT_GT(successes, 300);
}

// The same on a spiral large enough for the piece grid: jittered replacements, inserts,
// deletions and appends, each checked against the whole-polygon check and, when refused,
// against the bytes before.
TEST(SMDPolyEdits, RandomEditsOnLargePolygonsAgreeWithWholeValidation) {
  std::mt19937 rng(0x9e1d);
  std::normal_distribution<double> jitter(0, 1.5);
  std::uniform_int_distribution<int> kind(0, 9);
  auto spiralPoint = [](double i) {
    const double a = i * 0.2, r = 10 + 3 * a;
    return V2(r * std::cos(a), r * std::sin(a));
  };
  std::vector<Vertex> start;
  for (int i = 0; i < 200; ++i) {
    const V2 q = spiralPoint(i);
    start.push_back(vtx(q.x(), q.y(), i % 5 == 2 ? 0.3 : 0));
  }
  Poly p;
  p.vertices(start);
  int failures = 0;
  for (int step = 0; step < 600; ++step) {
    const long n = p.numVertices();
    const long at = 1 + static_cast<long>(rng() % static_cast<unsigned>(n - 2));
    const V2 q = p.vertex(at).point() + V2(jitter(rng), jitter(rng));
    const Vertex v = vtx(q.x(), q.y(), kind(rng) < 3 ? 0.2 : 0, kind(rng) < 1 ? 20 : 0);
    const Bytes before = bytesOf(p);
    const int k = kind(rng);
    try {
      if (k < 5)
        p.replaceVertex(at, v);
      else if (k < 7)
        p.insertVertex(at, v);
      else if (k < 8 && n > 60)
        p.deleteVertex(at);
      else {
        const V2 e = spiralPoint(static_cast<double>(n) + jitter(rng) * 0.1);
        p << vtx(e.x(), e.y(), kind(rng) < 3 ? 0.3 : 0);
      }
    } catch (const ccException&) {
      ++failures;
      ASSERT_EQ(bytesOf(p), before) << step;
      continue;
    }
    Poly whole(p);
    ASSERT_NO_THROW(whole.vertices(p.vertices())) << step;
    ASSERT_EQ(bytesOf(whole), bytesOf(p)) << step;
  }
  EXPECT_GT(failures, 100);
}

// A grid-sized polygon (a spiral of many vertices) that whole validation accepts, and the
// same polygon with one vertex moved across a far side, which both checks refuse.
TEST(SMDPolyValidation, LargePolygonsFindFarCrossings) {
  std::vector<Vertex> spiral;
  for (int i = 0; i < 600; ++i) {
    const double a = i * 0.1, r = 10 + 2 * a;
    spiral.push_back(vtx(r * std::cos(a), r * std::sin(a), i % 7 == 3 ? 0.05 : 0));
  }
  Poly p;
  ASSERT_NO_THROW(p.vertices(spiral));
  Poly q(p);
  Vertex far = spiral[300];
  far.point(spiral[300].point() * 1.3);
  EXPECT_EQ(errorOf([&] { q.replaceVertex(300, far); }), Poly::crossingSegments::kErrorNumber);
  spiral[300] = far;
  EXPECT_EQ(errorOf([&] { q.vertices(spiral); }), Poly::crossingSegments::kErrorNumber);
  EXPECT_EQ(bytesOf(q), bytesOf(p));
  // Closing joins the outermost turn to the centre across every other turn.
  EXPECT_EQ(errorOf([&] { q.close(); }), Poly::crossingSegments::kErrorNumber);

  // A zigzag whose last segment is swung far up and back over it: a later edit of the first
  // segment must meet it where it now is, not where it was.
  std::vector<Vertex> zigzag;
  for (int i = 0; i < 100; ++i) zigzag.push_back(vtx(i, i % 2));
  Poly z;
  z.vertices(zigzag);
  ASSERT_NO_THROW(z.replaceVertex(99, vtx(40, 60)));
  EXPECT_EQ(errorOf([&] { z.replaceVertex(0, vtx(70, 70)); }),
            Poly::crossingSegments::kErrorNumber);

  // Moving vertex 3 halves the turn at vertex 4, whose rounding then gives the next side back
  // from x = 4 to x = 1.66: a side appended later across that stretch must meet it there.
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
  EXPECT_TRUE(r.isDirectionPositive());
  r.toggleDirection();
  EXPECT_TRUE(r.isDirectionNegative());
  Poly reversed;
  Private::reversePoly(Poly::rectangle(4, 2, V2(1, 1)), reversed);
  EXPECT_FALSE(reversed.isDirectionPositive());
  // Run the other way, vertex 0 comes last and exchanges its shares of its two sides.
  Private::reversePoly(closedPoly({vtx(0, 0, 0, 0, -1, 0.3, 0.7), vtx(4, 0), vtx(4, 4)}), reversed);
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
  const ccXform<2> id;
  EXPECT_TRUE(t.segmentsOutOfTolerance(id, id).empty());
  EXPECT_TRUE(t.segmentsOutOfTolerance(ccXform<2>(ccMatrix<2>(1.02, 0, 0, 1), V2()), id).empty());
  EXPECT_EQ(t.segmentsOutOfTolerance(ccXform<2>(ccMatrix<2>(1.05, 0, 0, 1), V2()), id),
            std::vector<long>{1});
  const ccSMDDimension d = t.segmentDimension(1);
  EXPECT_DOUBLE_EQ(d.minDim(), 3.9);

  const Poly scaled = 2.0 * Poly::rectangle(4, 2, V2(1, 1));
  EXPECT_EQ(scaled.vertex(0).point(), V2(6, 4));
  const Poly moved = cc2Rigid(ccDegree(90), V2(1, 0)) * Poly::rectangle(4, 2, V2(0, 0));
  EXPECT_TRUE(cfRealEq(moved.vertex(0).point(), V2(0, 2), 1e-12));
  EXPECT_TRUE(cfRealEq(moved, cc2Rigid(ccDegree(90), V2(1, 0)) * Poly::rectangle(4, 2, V2()), 0));
  EXPECT_NE(moved, Poly::rectangle(4, 2, V2()));

  // A rounded apex lies inside its vertex: the arc's top is 1 below the centre, sqrt 5 below
  // the apex.
  EXPECT_NEAR(closedPoly({vtx(0, 0), vtx(4, 0), vtx(2, 4, 1)}).boundingBox().lr().y(),
              5 - std::sqrt(5.0), 1e-12);
  const ccRect box = Poly::circle(2, V2(1, 1)).boundingBox();
  EXPECT_TRUE(cfRealEq(box.ul(), V2(-1, -1), 1e-12));
  EXPECT_TRUE(cfRealEq(box.lr(), V2(3, 3), 1e-12));
  const Poly rounded = closedPoly({vtx(0, 0, 1), vtx(4, 0, 1), vtx(4, 4, 1), vtx(0, 4, 1)});
  EXPECT_NEAR(Private::perimeter(rounded), 8 + 2 * ccPi, 1e-12);
  EXPECT_NEAR(Private::signedArea2_(rounded) / 2, 16 - 4 + ccPi, 1e-12);
  // A horizontal scan line meets the rounded square twice.
  Poly scan;
  scan << vtx(-1, 0.5) << vtx(5, 0.5);
  EXPECT_EQ(Private::intersection_(rounded, scan).size(), 2u);
  EXPECT_NEAR(Private::distToPoint(rounded, V2(2, 2)), 2, 1e-12);
  EXPECT_NEAR(Private::distToPoint(rounded, V2(5, 5)), std::sqrt(8.0) - 1, 1e-12);  // corner arc
  const cc2Rigid pose = Private::position(rounded);
  EXPECT_EQ(pose.trans(), V2(2, 2));
  EXPECT_EQ(pose.angle().toDouble(), 0);
}

TEST(SMDPolyArchive, VersionsAndHostileRecords) {
  Poly p = closedPoly({vtx(0, 0), vtx(10, 0, 2, 0, 3), vtx(10, 10, 0, 30), vtx(0, 10)});
  p.weight(0.25);
  p.toggleDirection();
  const Bytes stored = bytesOf(p);
  EXPECT_EQ(stored[0], 1);
  Poly loaded;
  ccArchive in(stored);
  loaded.dispatchSerialize(in);
  EXPECT_TRUE(in.atEnd());
  EXPECT_EQ(loaded, p);
  EXPECT_EQ(bytesOf(loaded), stored);

  // By name, through a persistent pointer, for both classes.
  for (bool asPrivate : {false, true}) {
    const ccPtrHandle<ccSMDGeometricDescription> g =
        reloadedHandle<ccSMDGeometricDescription>(asPrivate ? new Private(p) : new Poly(p));
    ASSERT_TRUE(g);
    EXPECT_EQ(dynamic_cast<Private*>(g.rep()) != nullptr, asPrivate);
    EXPECT_EQ(*dynamic_cast<Poly*>(g.rep()), p);
  }

  // Version 0 has no weight and loads weight 1.
  Bytes v0(stored.begin(), stored.end() - 8);
  v0[0] = 0;
  ccArchive in0(v0);
  loaded.dispatchSerialize(in0);
  EXPECT_EQ(loaded.weight(), 1.0);
  EXPECT_TRUE(in0.atEnd());

  Bytes v2 = stored;
  v2[0] = 2;
  ccArchive in2(v2);
  Poly other;
  EXPECT_EQ(unknownVersionSource([&] { other.dispatchSerialize(in2); }), "");

  // Every truncation fails with an archive error and leaves the polygon as it was; so does a
  // cache list shorter than the vertex list.
  const Bytes reference = bytesOf(other);
  for (std::size_t cut = 1; cut < stored.size(); cut += 7) {
    ccArchive part(Bytes(stored.begin(), stored.begin() + static_cast<long>(cut)));
    EXPECT_THROW(other.dispatchSerialize(part), ccArchive::Errors) << cut;
    EXPECT_EQ(bytesOf(other), reference) << cut;
  }
  // Four vertices with the caches of a three-vertex polygon: refused as malformed.
  Poly three = closedPoly({vtx(0, 0), vtx(10, 0), vtx(0, 10)});
  auto sizeOf = [](auto v) {
    ccArchive ar;
    ar || v;
    return ar.data().size();
  };
  auto caches = [](const Poly& q) {
    std::vector<V2> starts, ends;
    std::vector<ccDegree> spans;
    for (long i = 0; i < q.numVertices(); ++i) {
      starts.push_back(q.roundStart_(i));
      ends.push_back(q.roundEnd_(i));
      spans.push_back(q.roundSpan_(i));
    }
    ccArchive ar;
    ar || starts || ends || spans;
    return ar.data();
  };
  const std::size_t prefix =
      1 + 9 + sizeOf(p.vertices()) + sizeOf(p.subModelLabels());  // version, name "poly"
  const Bytes ours = caches(p), theirs = caches(three);
  Bytes spliced(stored.begin(), stored.begin() + static_cast<long>(prefix));
  spliced.insert(spliced.end(), theirs.begin(), theirs.end());
  spliced.insert(spliced.end(), stored.begin() + static_cast<long>(prefix + ours.size()),
                 stored.end());
  ccArchive bad(spliced);
  // A vertex count the bytes left cannot hold is refused before anything is allocated.
  Bytes huge(stored.begin(), stored.begin() + 10);
  putU32(huge, 3);
  huge.resize(huge.size() + 3 * Vertex::kArchiveMinBytes - 1);
  ccArchive tooMany(huge);
  EXPECT_THROW(other.dispatchSerialize(tooMany), ccArchive::BadData);
  EXPECT_THROW(other.dispatchSerialize(bad), ccArchive::BadData);
  EXPECT_EQ(bytesOf(other), reference);
}

}  // namespace
