// Polygons drawn on tablets as overlays, seen through the trace scope: SMD polygons' arc
// chords, negative wireframes and direction arrows; general polygons' and wireframes' arc
// stroker, direction marks, hostile payloads, and synthetic fills.
#include <dispc/glist.h>
#include <dispc/sketchop.h>
#include <dispc/smd/model.h>
#include <dispc/smd/poly.h>

#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using V = ccVector<2>;

struct Stroke {
  V p1, p2;
  ccColor color;
  bool imageLayer;
};

// The line segments the tablet's scopes were asked to draw.
std::vector<Stroke> strokes(const Board& t) {
  std::vector<Stroke> out;
  for (const ccTraceCall& c : t.log->calls()) {
    if (c.name != "drawLineSeg") continue;
    const ccLineSeg& s = c.shapeAs<ccLineSeg>();
    out.push_back({s.p1(), s.p2(), c.props().penColor(), c.scope == t.image.id()});
  }
  return out;
}

ccGenPoly polyline(const std::vector<V>& points) {
  ccGenPoly g;
  for (const V& p : points) g.insertVertex(p, 0, ccRadian(0));
  return g;
}

TEST(GenPolyStroker, ChordsStepAtMostFiveDegreesAndStayWithinAPixelTwentiethOfTheArc) {
  const struct {
    double radius;
    size_t chordsPerHalf;  // of 180 / chordsPerHalf degrees: 4.86 and about 1.15
  } kCases[] = {{0.04, 37}, {1000, 158}};
  for (const auto& c : kCases) {
    Board b;
    b.tablet.draw(ccGenPoly(ccCircle(V(0, 0), c.radius)), kRed, kOverlay);
    const std::vector<Stroke> chords = strokes(b);
    ASSERT_EQ(chords.size(), 2 * c.chordsPerHalf) << c.radius;
    for (const Stroke& s : chords) {
      EXPECT_NEAR(s.p1.length(), c.radius, 1e-9 * c.radius);
      const double step = 2 * std::asin(s.p1.distance(s.p2) / 2 / c.radius) * 180 / ccPi;
      EXPECT_NEAR(step, 180.0 / c.chordsPerHalf, 1e-6) << c.radius;
      EXPECT_LE(c.radius * (1 - std::cos(step * ccPi / 360)), 0.05);
    }
  }
}

// One segment from (0, 0) to (100, 0): mark size 8 at its middle, the plus sign on its left.
TEST(GenPolyMarks, ArrowheadOpensBackwardsWithThePlusSignOnTheLeftEvenWhenMirrored) {
  const struct {
    const char* name;
    ccXform<2> map;
    bool reversed;
    double plusY, backX;
  } kCases[] = {{"plain", ccXform<2>(), false, 8, 42},
                {"reversed", ccXform<2>(), true, -8, 58},
                {"mirrored", ccXform<2>(ccMatrix<2>(1, 0, 0, -1), V(0, 0)), false, -8, 42}};
  for (const auto& c : kCases) {
    Board b;
    cc2Wireframe w(polyline({V(0, 0), V(100, 0)}).map(c.map));
    w.polarity(c.reversed);
    b.tablet.draw(w, ccGraphicProps(), kOverlay);
    const std::vector<Stroke> s = strokes(b);
    ASSERT_EQ(s.size(), 6u) << c.name;  // the segment, two arrow strokes, plus, minus
    const ccLineSeg want[] = {ccLineSeg(V(50, 0), V(c.backX, c.plusY)),
                              ccLineSeg(V(50, 0), V(c.backX, -c.plusY)),
                              ccLineSeg(V(47.6, c.plusY), V(52.4, c.plusY)),
                              ccLineSeg(V(50, c.plusY - 2.4), V(50, c.plusY + 2.4)),
                              ccLineSeg(V(47.6, -c.plusY), V(52.4, -c.plusY))};
    for (int i = 0; i < 5; ++i)
      EXPECT_LT(s[i + 1].p1.distance(want[i].p1()) + s[i + 1].p2.distance(want[i].p2()), 1e-12)
          << c.name << i;
  }
}

TEST(GenPolyMarks, SegmentsShorterThanAFifthOfTheLongestGetNone) {
  // Chords 100, 19.9, 20 and 5: marks on the first and the third.
  const cc2Wireframe w(polyline({V(0, 0), V(100, 0), V(100, 19.9), V(100, 39.9), V(95, 39.9)}));
  Board b;
  b.tablet.draw(w, ccGraphicProps(), kOverlay);
  EXPECT_EQ(strokes(b).size(), 4u + 2 * 5);
  Board none;
  none.tablet.draw(ccGenPoly(w), ccGraphicProps(), kOverlay);  // general polygons: never
  EXPECT_EQ(strokes(none).size(), 4u);
}

// Payloads of opcode 34: a 56-byte block (the map), mutable, count, vertices, caches, closed.
std::vector<unsigned char> payload(double e11, long count, std::size_t rest) {
  std::vector<unsigned char> p(56 + 8 + rest, 0);
  cfSketchStoreXformImage(p.data(), ccXform<2>(ccMatrix<2>(e11, 0, 0, 1), V(0, 0)));
  cfSketchStoreI32(p.data() + 60, static_cast<std::int32_t>(count));
  return p;
}

TEST(GenPolyReplay, HostilePayloadsAreInvalidSketches) {
  std::vector<unsigned char> bowTie = payload(1, 4, 4 * 104 + 4);
  const V corners[] = {V(0, 0), V(10, 10), V(10, 0), V(0, 10)};
  for (int i = 0; i < 4; ++i) cfSketchStorePoint(bowTie.data() + 64 + 64 * i, corners[i]);
  const std::vector<std::vector<unsigned char>> kPayloads = {
      payload(1, 1000000, 40), payload(NAN, 0, 4), payload(0, 0, 4), payload(1, -1, 4), bowTie};
  for (const auto& p : kPayloads) {
    std::unique_ptr<cc_UISketchOpData> op(cfCreateUISketchOpData(34));
    EXPECT_THROW(op->parseByteStream(p.data(), p.size()), ccUIError::InvalidUISketch);
    EXPECT_EQ(static_cast<cc_UISketchOpGenPoly&>(*op).genPoly(), ccGenPoly());
    ccUISketch s;
    s.opcode(34, kOverlay, kRed);
    s.append(p.data(), static_cast<long>(p.size()));
    Board b;
    EXPECT_THROW(b.tablet.draw(s, ccPoint(0, 0), kOverlay), ccUIError::InvalidUISketch);
    EXPECT_EQ(b.overlay.lockDepth(), 0);
  }
}

TEST(GenPolySynthetic, FillsAsItsPolygonUnderTheComposedMapAndRefusesOpenOnes) {
  const ccGenPoly g(ccEllipse(V(20, 15), V(12, 6), ccRadian(0.3)));
  const ccXform<2> x(ccMatrix<2>(1.2, 0.1, 0, 0.9), V(3, -2));
  ccPelBuffer<unsigned char> got(48, 40), want(48, 40), open(48, 40);
  cfDrawSynthetic(g, x, got, 200);
  ccSMDGDPolyPrivate::drawSynthetic(ccSMDGDPolyPrivate::poly(g),
                                    x * ccSMDGDPolyPrivate::wireframeXform(g), want, 200, true,
                                    true);
  EXPECT_THROW(cfDrawSynthetic(polyline({V(1, 1), V(30, 30)}), x, open, 200),
               ccShapesError::BadGeom);
  long filled = 0;
  for (long y = 0; y < 40; ++y)
    for (long i = 0; i < 48; ++i) {
      ASSERT_TRUE(got.get(i, y) == want.get(i, y) && !open.get(i, y)) << i << "," << y;
      filled += got.get(i, y) != 0;
    }
  EXPECT_GT(filled, 100);
}

using Poly = ccSMDGDPoly;
using Private = ccSMDGDPolyPrivate;

ccSMDGDPolyVertex vtx(double x, double y, double radius = 0, double span = 0) {
  return ccSMDGDPolyVertex(V(x, y), radius, ccDegree(span), 0.5, 0.5, -1,
                           ccDimTol(-1, -1, -1, ccDimTol::eLimits));
}

// A counter-clockwise board outline: three sharp corners, one rounded, and a bulging arc on its
// top side (segment 3, from (80, 60) to (20, 60)).
Poly board() {
  Poly p;
  p.vertices({vtx(20, 20), vtx(80, 20, 8), vtx(80, 60), vtx(20, 60, 0, 90)});
  p.close();
  return p;
}

const ccXform<2> kMirror(ccMatrix<2>(1, 0, 0, -1), V(0, 200));

TEST(SMDOverlays, ArcChordsFollowTheStepRule) {
  const ccXform<2> id;
  // Radius 0.04 (at most 0.05): 5 degree steps, 36 of them over 180 degrees and one more.
  EXPECT_EQ(Private::overlayArcChords_(cc2SegmentArc(V(), 0.04, ccDegree(0), ccDegree(180)), id),
            37);
  // Radius 100: steps of 2 acos(1 - 0.0005) = 3.62 degrees, so 50 chords of 3.6 degrees.
  const cc2SegmentArc half(V(), 100, ccDegree(0), ccDegree(-180));
  EXPECT_EQ(Private::overlayArcChords_(half, id), 50);
  // Claimed turns beyond one are drawn as one; a span that is not a number draws nothing.
  EXPECT_EQ(Private::overlayArcChords_(cc2SegmentArc(V(), 100, ccDegree(0), ccDegree(1e300)), id),
            Private::overlayArcChords_(cc2SegmentArc(V(), 100, ccDegree(0), ccDegree(360)), id));
  EXPECT_EQ(Private::overlayArcChords_(cc2SegmentArc(V(), 1, ccDegree(0), ccDegree(NAN)), id), 0);

  // The chords join points of the mapped arc from its start to its end and stray at most 0.05.
  Board t;
  Private::overlayArc_(t.tablet, half, ccXform<2>(ccMatrix<2>(), V(150, 120)), kRed, kOverlay);
  const std::vector<Stroke> s = strokes(t);
  ASSERT_EQ(s.size(), 50u);
  EXPECT_NEAR((s.front().p2 - V(250, 120)).length(), 0, 1e-9);
  EXPECT_NEAR((s.back().p1 - V(50, 120)).length(), 0, 1e-9);
  for (std::size_t i = 0; i < s.size(); ++i) {
    EXPECT_TRUE(!s[i].imageLayer && s[i].color == kRed && (!i || s[i].p2 == s[i - 1].p1)) << i;
    EXPECT_NEAR((s[i].p1 - V(150, 120)).length(), 100, 1e-9);
    EXPECT_LE(100 - ((s[i].p1 + s[i].p2) / 2 - V(150, 120)).length(), 0.05);
  }
}

TEST(SMDOverlays, NegativeWireframeDrawsTheExtensionPieces) {
  Poly p = board();
  Board none;
  Private::drawNegWireframe(p, ccXform<2>(), none.tablet, kRed, kImage);
  EXPECT_TRUE(strokes(none).empty());  // no fractions, nothing drawn

  p.forwardPercExtension_(1, 0.25);  // the bottom side, (20, 20) to (80, 20)
  p.backwardPercExtension_(1, 0.5);  // held by vertex 0, the side's start
  p.forwardPercExtension_(3, 0.5);   // the top arc, a quarter turn on its circle
  EXPECT_EQ(Private::forwardLineSegmentExtension_(p, 1).p2(), V(95, 20));
  EXPECT_EQ(Private::backwardLineSegmentExtension_(p, 1).p2(), V(-10, 20));
  const cc2SegmentArc arc = Private::arcSegment_(p, 3),
                      ext = Private::forwardArcSegmentExtension_(p, 3);
  EXPECT_TRUE(cfRealEq(ext.center(), arc.center(), 1e-12));
  EXPECT_NEAR(ext.startAngle().toDouble(), arc.endAngle().toDouble(), 1e-12);
  EXPECT_NEAR(ext.angleSpan().toDouble(), 45, 1e-12);

  // Drawn: each piece in the given colour on the given layer, mirrored with the map.
  for (const ccXform<2>& xf : {ccXform<2>(), kMirror}) {
    Board t;
    Private::drawNegWireframe(p, xf, t.tablet, kBlue, kOverlay);
    const std::vector<Stroke> s = strokes(t);
    // Segment 1 forward and backward, segment 3 forward (as chords).
    ASSERT_EQ(static_cast<long>(s.size()), 2 + Private::overlayArcChords_(ext, xf));
    for (const Stroke& k : s) EXPECT_TRUE(k.color == kBlue && !k.imageLayer);
  }
}

// The arrows' strokes, on a tablet and in a graphic list drawn on one, are the same calls; each
// arrow's positive stroke lies on the left of travel: inside this counter-clockwise outline,
// outside once its direction is reversed, whatever the map.
TEST(SMDOverlays, DirectionArrowsShowTravelAndSidesAlsoMirrored) {
  for (const bool reversed : {false, true}) {
    for (const ccXform<2>& xf : {ccXform<2>(ccMatrix<2>(2, 0, 0, 2), V(10, 5)), kMirror}) {
      SCOPED_TRACE(std::string(reversed ? "reversed " : "") +
                   (xf == kMirror ? "mirror" : "scaled"));
      Poly p = board();
      p.positiveArrowColor(kGreen);
      p.negativeArrowColor(kRed);
      if (reversed) p.toggleDirection();
      Board direct, listed;
      p.drawDirectionArrows(xf, direct.tablet, 4);
      ccGraphicList list;
      p.drawDirectionArrows(xf, list, 4);
      list.draw(listed.tablet, kImage);
      EXPECT_EQ(listed.log->str(), direct.log->str());

      const std::vector<Stroke> s = strokes(direct);
      ASSERT_EQ(s.size(), 4u * 6u);  // six strokes per segment
      const Poly mapped = board();
      for (long segment = 0; segment < 4; ++segment) {  // segment k ends at vertex k
        const Stroke& left = s[6 * segment];
        const Stroke& right = s[6 * segment + 2];
        const Stroke& front = s[6 * segment + 4];
        EXPECT_TRUE(left.imageLayer && left.color == kGreen && right.color == kRed);
        // Back in polygon coordinates.
        const ccXform<2> back = xf.inverse();
        EXPECT_EQ(Private::inside(mapped, back * ((left.p1 + left.p2) / 2)), !reversed) << segment;
        EXPECT_EQ(Private::inside(mapped, back * ((right.p1 + right.p2) / 2)), reversed) << segment;
        // The front crosses the outline at the segment's rounded middle, and the sides trail
        // behind it: travel runs from the sides' first points to their second.
        const V frontMid = back * ((front.p1 + front.p2) / 2);
        EXPECT_LT(Private::distToPoint(mapped, frontMid), 1e-9) << segment;
        const V travel = back * left.p2 - back * left.p1;
        const cc2SegmentLine line = Private::lineSegment_(mapped, segment < 3 ? segment : 1);
        // The top arc at its middle runs leftwards.
        const V tangent = segment < 3 ? line.p2() - line.p1() : V(-1, 0);
        EXPECT_GT((reversed ? -1 : 1) * travel.dot(tangent), 0) << segment;
      }
    }
  }
}

// A model overlays its polygons in index order: each wireframe in its own colour, every
// negative wireframe in red on layer 0, and arrows of size 2.
TEST(SMDOverlays, ModelsOverlayTheirPolygonsInOrder) {
  Poly a = board(), b = Poly::rectangle(20, 10, V(150, 40));
  a.colors(ccSMDColors(kBlue));
  a.forwardPercExtension_(1, 0.25);
  b.backwardPercExtension_(2, 0.5);
  ccSMDGDModel model;
  model.polys({a, b});

  Board whole, each;
  model.drawWireframe(kMirror, whole.tablet);
  model.drawDirectionArrows(kMirror, whole.tablet);
  for (const Poly& p : {a, b}) p.drawWireframe(kMirror, each.tablet);
  for (const Poly& p : {a, b}) p.drawDirectionArrows(kMirror, each.tablet, 2);
  EXPECT_EQ(whole.log->str(), each.log->str());

  Board negative;
  ccSMDGDModelPrivate::drawNegWireframe(model, kMirror, negative.tablet);
  ASSERT_EQ(strokes(negative).size(), 2u);  // one line piece of each polygon
  for (const Stroke& k : strokes(negative)) EXPECT_TRUE(k.color == kRed && k.imageLayer);
}

}  // namespace
