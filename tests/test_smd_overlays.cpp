// Wireframe overlays of SMD polygons: arc chords, negative wireframes and direction arrows,
// checked through the calls the trace scope sees.
#include <dispc/glist.h>
#include <dispc/smd/model.h>
#include <dispc/smd/poly.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "graphictesting.h"

namespace {

using graphic_testing::TracedTablet;
using Poly = ccSMDGDPoly;
using Private = ccSMDGDPolyPrivate;
using Vertex = ccSMDGDPolyVertex;
using V2 = ccVector<2>;

Vertex vtx(double x, double y, double radius = 0, double span = 0) {
  return Vertex(V2(x, y), radius, ccDegree(span), 0.5, 0.5, -1,
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

struct Stroke {
  V2 p1, p2;
  ccColor color;
  bool imageLayer;
};

// The line segments the tablet's scopes were asked to draw.
std::vector<Stroke> strokes(const TracedTablet& t) {
  std::vector<Stroke> out;
  for (const ccTraceCall& c : t.log->calls()) {
    if (c.name != "drawLineSeg") continue;
    const ccLineSeg& s = c.shapeAs<ccLineSeg>();
    out.push_back({s.p1(), s.p2(), c.props().penColor(), c.scope == t.image.id()});
  }
  return out;
}

const ccXform<2> kMirror(ccMatrix<2>(1, 0, 0, -1), V2(0, 200));

TEST(SMDOverlays, ArcChordsFollowTheStepRule) {
  const ccXform<2> id;
  // Radius 0.04 (at most 0.05): 5 degree steps, 36 of them over 180 degrees and one more.
  EXPECT_EQ(Private::overlayArcChords_(cc2SegmentArc(V2(), 0.04, ccDegree(0), ccDegree(180)), id),
            37);
  // Radius 100: steps of 2 acos(1 - 0.0005) = 3.62 degrees, so 50 chords of 3.6 degrees.
  const cc2SegmentArc half(V2(), 100, ccDegree(0), ccDegree(-180));
  EXPECT_EQ(Private::overlayArcChords_(half, id), 50);
  // Claimed turns beyond one are drawn as one; a span that is not a number draws nothing.
  EXPECT_EQ(Private::overlayArcChords_(cc2SegmentArc(V2(), 100, ccDegree(0), ccDegree(1e300)), id),
            Private::overlayArcChords_(cc2SegmentArc(V2(), 100, ccDegree(0), ccDegree(360)), id));
  EXPECT_EQ(Private::overlayArcChords_(cc2SegmentArc(V2(), 1, ccDegree(0), ccDegree(NAN)), id), 0);

  // The chords join points of the mapped arc from its start to its end and stray at most 0.05.
  TracedTablet t;
  const ccXform<2> shift(ccMatrix<2>(), V2(150, 120));
  Private::overlayArc_(t.tablet, half, shift, ccColor::redColor(), ccUITablet::eOverlayLayer);
  const std::vector<Stroke> s = strokes(t);
  ASSERT_EQ(s.size(), 50u);
  EXPECT_NEAR((s.front().p2 - V2(250, 120)).length(), 0, 1e-9);
  EXPECT_NEAR((s.back().p1 - V2(50, 120)).length(), 0, 1e-9);
  for (std::size_t i = 0; i < s.size(); ++i) {
    EXPECT_TRUE(!s[i].imageLayer && s[i].color == ccColor::redColor() &&
                (!i || s[i].p2 == s[i - 1].p1))
        << i;
    EXPECT_NEAR((s[i].p1 - V2(150, 120)).length(), 100, 1e-9);
    EXPECT_LE(100 - ((s[i].p1 + s[i].p2) / 2 - V2(150, 120)).length(), 0.05);
  }
}

TEST(SMDOverlays, NegativeWireframeDrawsTheExtensionPieces) {
  Poly p = board();
  TracedTablet none;
  Private::drawNegWireframe(p, ccXform<2>(), none.tablet, ccColor::redColor(),
                            ccUITablet::eImageLayer);
  EXPECT_TRUE(strokes(none).empty());  // no fractions, nothing drawn

  p.forwardPercExtension_(1, 0.25);  // the bottom side, (20, 20) to (80, 20)
  p.backwardPercExtension_(1, 0.5);  // held by vertex 0, the side's start
  p.forwardPercExtension_(3, 0.5);   // the top arc, a quarter turn on its circle
  EXPECT_EQ(Private::forwardLineSegmentExtension_(p, 1).p2(), V2(95, 20));
  EXPECT_EQ(Private::backwardLineSegmentExtension_(p, 1).p2(), V2(-10, 20));
  const cc2SegmentArc arc = Private::arcSegment_(p, 3),
                      ext = Private::forwardArcSegmentExtension_(p, 3);
  EXPECT_TRUE(cfRealEq(ext.center(), arc.center(), 1e-12));
  EXPECT_NEAR(ext.startAngle().toDouble(), arc.endAngle().toDouble(), 1e-12);
  EXPECT_NEAR(ext.angleSpan().toDouble(), 45, 1e-12);

  // Drawn: each piece in the given colour on the given layer, mirrored with the map.
  for (const ccXform<2>& xf : {ccXform<2>(), kMirror}) {
    TracedTablet t;
    Private::drawNegWireframe(p, xf, t.tablet, ccColor::blueColor(), ccUITablet::eOverlayLayer);
    const std::vector<Stroke> s = strokes(t);
    const long arcChords = Private::overlayArcChords_(ext, xf);
    // Segment 1 forward and backward, segment 3 forward (as chords).
    ASSERT_EQ(static_cast<long>(s.size()), 2 + arcChords);
    for (const Stroke& k : s) EXPECT_TRUE(k.color == ccColor::blueColor() && !k.imageLayer);
  }
}

// The arrows' strokes, on a tablet and in a graphic list drawn on one, are the same calls; each
// arrow's positive stroke lies on the left of travel: inside this counter-clockwise outline,
// outside once its direction is reversed, whatever the map.
TEST(SMDOverlays, DirectionArrowsShowTravelAndSidesAlsoMirrored) {
  for (const bool reversed : {false, true}) {
    for (const ccXform<2>& xf : {ccXform<2>(ccMatrix<2>(2, 0, 0, 2), V2(10, 5)), kMirror}) {
      SCOPED_TRACE(std::string(reversed ? "reversed " : "") +
                   (xf == kMirror ? "mirror" : "scaled"));
      Poly p = board();
      p.positiveArrowColor(ccColor::greenColor());
      p.negativeArrowColor(ccColor::redColor());
      if (reversed) p.toggleDirection();
      TracedTablet direct, listed;
      p.drawDirectionArrows(xf, direct.tablet, 4);
      ccGraphicList list;
      p.drawDirectionArrows(xf, list, 4);
      list.draw(listed.tablet, ccUITablet::eImageLayer);
      EXPECT_EQ(listed.calls(), direct.calls());

      const std::vector<Stroke> s = strokes(direct);
      ASSERT_EQ(s.size(), 4u * 6u);  // six strokes per segment
      const Poly mapped = board();
      for (std::size_t a = 0; a < 4; ++a) {
        const long segment = static_cast<long>(a);  // segment k ends at vertex k
        const Stroke& left = s[6 * a];
        const Stroke& right = s[6 * a + 2];
        const Stroke& front = s[6 * a + 4];
        EXPECT_TRUE(left.imageLayer && left.color == ccColor::greenColor() &&
                    right.color == ccColor::redColor());
        // Back in polygon coordinates.
        const ccXform<2> back = xf.inverse();
        EXPECT_EQ(Private::inside(mapped, back * ((left.p1 + left.p2) / 2)), !reversed) << a;
        EXPECT_EQ(Private::inside(mapped, back * ((right.p1 + right.p2) / 2)), reversed) << a;
        // The front crosses the outline at the segment's rounded middle, and the sides trail
        // behind it: travel runs from the sides' first points to their second.
        const V2 frontMid = back * ((front.p1 + front.p2) / 2);
        EXPECT_LT(Private::distToPoint(mapped, frontMid), 1e-9) << a;
        const V2 travel = back * left.p2 - back * left.p1;
        const cc2SegmentLine line = Private::lineSegment_(mapped, segment < 3 ? segment : 1);
        // The top arc at its middle runs leftwards.
        const V2 tangent = segment < 3 ? line.p2() - line.p1() : V2(-1, 0);
        EXPECT_GT((reversed ? -1 : 1) * (travel.x() * tangent.x() + travel.y() * tangent.y()), 0)
            << a;
      }
    }
  }
}

// A model overlays its polygons in index order: each wireframe in its own colour, every
// negative wireframe in red on layer 0, and arrows of size 2.
TEST(SMDOverlays, ModelsOverlayTheirPolygonsInOrder) {
  Poly a = board(), b = Poly::rectangle(20, 10, V2(150, 40));
  a.colors(ccSMDColors(ccColor::blueColor()));
  a.forwardPercExtension_(1, 0.25);
  b.backwardPercExtension_(2, 0.5);
  ccSMDGDModel model;
  model.polys({a, b});
  const ccXform<2> xf(ccMatrix<2>(1, 0, 0, -1), V2(0, 200));

  TracedTablet whole, each;
  model.drawWireframe(xf, whole.tablet);
  model.drawDirectionArrows(xf, whole.tablet);
  for (const Poly& p : {a, b}) p.drawWireframe(xf, each.tablet);
  for (const Poly& p : {a, b}) p.drawDirectionArrows(xf, each.tablet, 2);
  EXPECT_EQ(whole.calls(), each.calls());

  TracedTablet negative;
  ccSMDGDModelPrivate::drawNegWireframe(model, xf, negative.tablet);
  ASSERT_EQ(strokes(negative).size(), 2u);  // one line piece of each polygon
  for (const Stroke& k : strokes(negative))
    EXPECT_TRUE(k.color == ccColor::redColor() && k.imageLayer);
}

}  // namespace
