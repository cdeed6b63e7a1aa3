// Wireframe overlays of SMD polygons: the negative wireframe (extension pieces), the arc overlay
// and the direction arrows. All drawing goes through the tablet's public calls.
#include <core/angle.h>
#include <core/math.h>
#include <dispc/glist.h>
#include <dispc/graphic.h>
#include <dispc/smd/model.h>
#include <dispc/smd/poly.h>
#include <dispc/smd/polyindex_p.h>
#include <dispc/tablet.h>
#include <dispc/wrfm/wirefrm.h>

#include <array>
#include <cmath>

namespace {

// Chords of the arc overlay stray at most this far from the arc (tablet image units), and
// never turn by more than kLongestChordStep.
constexpr double kChordDeviation = 0.05;
const ccDegree kLongestChordStep(5);

// A sink for the arrow glyph's strokes: the tablet draws them, the graphic list keeps them.
template <class Stroke>
void drawArrow(const ccXform<2>& xf, const cc2Rigid& pose, double size, const ccColor& positive,
               const ccColor& negative, Stroke&& stroke) {
  const ccXform<2> t = xf * pose;
  // The glyph keeps its shape: a rigid frame with the map's x direction, flipped in y where the
  // map mirrors, so that each colour stays on its side of the mapped outline.
  const cc2Rigid frame(t.xRot(), t.trans());
  const bool mirrors = std::abs(ccRadian(t.xRot() - t.yRot()).signedNorm().toDouble()) >= ccPi / 2;
  const double s = size, side = mirrors ? -1 : 1;
  // Behind the glyph's front on the left (p1) and right (p2) of travel; its front (p3, p4).
  const ccVector<2> p1(-s, side * s), p2(-s, -side * s), p3(0, side * s), p4(0, -side * s);
  // Each stroke is drawn twice, one unit apart, to stand out over an image: the sides inwards,
  // the front backwards. The front ("]" facing the travel) shows the direction.
  const ccVector<2> inwardLeft(0, -side), inwardRight(0, side), back(-1, 0);
  auto twice = [&](const ccVector<2>& a, const ccVector<2>& b, const ccVector<2>& offset,
                   const ccColor& c) {
    stroke(frame * a, frame * b, c);
    stroke(frame * (a + offset), frame * (b + offset), c);
  };
  twice(p1, p3, inwardLeft, positive);
  twice(p2, p4, inwardRight, negative);
  twice(p3, p4, back, positive);
}

// The pose of the arrow of segment s: the middle of its rounded part, facing the travel.
bool arrowPose(const ccSMDGDPoly& poly, long s, cc2Rigid& pose) {
  const ccDegree turn(poly.isDirectionReversed() ? 180 : 0);
  if (poly.isLineSegment_(s)) {
    // The whole segment's direction: its rounded part runs the same way, or is a point.
    const ccDegree along = ccSMDGDPolyPrivate::lineSegment_(poly, s).angle() + turn;
    pose = cc2Rigid(ccRadian(along), ccSMDGDPolyPrivate::roundedLineSegment_(poly, s).midPoint());
    return true;
  }
  cc2SegmentArc arc;
  if (!ccSMDGDPolyPrivate::roundedArcSegment_(poly, s, arc)) return false;
  pose = cc2Rigid(ccRadian(arc.midDirection() + turn), arc.midPoint());
  return true;
}

// The span the arc overlay draws: the arc's own, at most one turn (an extension may claim many
// turns, which cover no other pixels and would cost chords without bound); none when it is
// not finite.
ccDegree drawnSpan(const cc2SegmentArc& a) {
  const double span = a.angleSpan().toDouble();
  if (!std::isfinite(span)) return ccDegree(0);
  return ccDegree(std::copysign(std::min(std::abs(span), 360.0), span));
}

template <class Stroke>
void drawArrows(const ccSMDGDPoly& poly, const ccXform<2>& xf, double size, Stroke&& stroke) {
  for (long k = 0; k < poly.numVertices(); ++k) {
    cc2Rigid pose;
    if (!poly.segmentExists_(k) || !arrowPose(poly, k, pose)) continue;
    drawArrow(xf, pose, size, poly.positiveArrowColor(), poly.negativeArrowColor(), stroke);
  }
}

// Calls line(piece) or arc(piece) for each extension piece of the negative wireframe, in
// vertex order: forward then backward, each only when its fraction is above 0.
template <class Line, class Arc>
void forEachExtension(const ccSMDGDPoly& poly, Line&& line, Arc&& arc) {
  using P = ccSMDGDPolyPrivate;
  for (long k = 0; k < poly.numVertices(); ++k) {
    if (!poly.segmentExists_(k)) continue;
    const bool straight = poly.isLineSegment_(k);
    if (poly.forwardPercExtension_(k) > 0) {
      if (straight)
        line(P::forwardLineSegmentExtension_(poly, k));
      else
        arc(P::forwardArcSegmentExtension_(poly, k));
    }
    if (poly.backwardPercExtension_(k) > 0) {
      if (straight)
        line(P::backwardLineSegmentExtension_(poly, k));
      else
        arc(P::backwardArcSegmentExtension_(poly, k));
    }
  }
}

}  // namespace

void ccSMDGDPoly::drawWireframe(const ccXform<2>& xform, ccUITablet& tablet) const {
  ccSMDGDPolyPrivate::drawWireframe(*this, xform, tablet, colors().wireframeDefaultColor(),
                                    ccUITablet::eImageLayer);
}

void ccSMDGDPolyPrivate::drawWireframe(const ccSMDGDPoly& poly, const ccXform<2>& xf, ccUITablet& t,
                                       const ccColor& c, ccUITablet::Layers layer) {
  t.draw(wireframe(poly).map(xf), c, layer, false);
}

void ccSMDGDPoly::drawDirectionArrows(const ccXform<2>& xform, ccUITablet& tablet,
                                      double size) const {
  drawArrows(*this, xform, size, [&](const ccVector<2>& a, const ccVector<2>& b, const ccColor& c) {
    tablet.drawLineSeg(a, b, c, ccUITablet::eImageLayer);
  });
}

void ccSMDGDPoly::drawDirectionArrows(const ccXform<2>& xform, ccGraphicList& list,
                                      double size) const {
  drawArrows(*this, xform, size, [&](const ccVector<2>& a, const ccVector<2>& b, const ccColor& c) {
    list.append(ccPtrHandle<ccGraphic>(new ccGraphicSimple<ccLineSeg>(ccLineSeg(a, b), c)), false);
  });
}

void ccSMDGDPolyPrivate::overlayLineSegment_(ccUITablet& t, const cc2SegmentLine& s,
                                             const ccXform<2>& xf, const ccColor& c,
                                             ccUITablet::Layers layer) {
  t.drawLineSeg(xf * s.p1(), xf * s.p2(), c, layer);
}

long ccSMDGDPolyPrivate::overlayArcChords_(const cc2SegmentArc& a, const ccXform<2>& xf) {
  const double span = drawnSpan(a).toDouble();
  if (span == 0) return 0;
  ccDegree step = kLongestChordStep;
  const double r = (xf * a).radius(ccDegree(0));
  if (r > kChordDeviation)
    step = std::min(step, ccDegree(ccRadian(2 * std::acos(1 - kChordDeviation / r))));
  return static_cast<long>(std::trunc(std::abs(span / step.toDouble()))) + 1;
}

void ccSMDGDPolyPrivate::overlayArc_(ccUITablet& t, const cc2SegmentArc& a, const ccXform<2>& xf,
                                     const ccColor& c, ccUITablet::Layers layer) {
  const long n = overlayArcChords_(a, xf);
  if (n == 0) return;
  const ccDegree step = drawnSpan(a) / static_cast<double>(n);
  ccDegree theta = a.startAngle();
  ccVector<2> previous;
  // n chords join the n + 1 points from the start angle to the end angle.
  for (long i = n + 1; i >= 1; --i) {
    const ccVector<2> p = xf * a.arcPoint(theta);
    theta += step;
    if (i <= n) t.drawLineSeg(p, previous, c, layer);
    previous = p;
  }
}

cc2SegmentLine ccSMDGDPolyPrivate::forwardLineSegmentExtension_(const ccSMDGDPoly& poly, long s) {
  const cc2SegmentLine seg = lineSegment_(poly, s);
  return cc2SegmentLine(seg.p2(), seg.p2() + (seg.p2() - seg.p1()) * poly.forwardPercExtension_(s));
}

cc2SegmentLine ccSMDGDPolyPrivate::backwardLineSegmentExtension_(const ccSMDGDPoly& poly, long s) {
  const cc2SegmentLine seg = lineSegment_(poly, s);
  return cc2SegmentLine(seg.p1(),
                        seg.p1() + (seg.p1() - seg.p2()) * poly.backwardPercExtension_(s));
}

cc2SegmentArc ccSMDGDPolyPrivate::forwardArcSegmentExtension_(const ccSMDGDPoly& poly, long s) {
  const cc2SegmentArc arc = arcSegment_(poly, s);
  return cc2SegmentArc(arc.center(), arc.radius(ccDegree(0)), arc.endAngle(),
                       arc.angleSpan() * poly.forwardPercExtension_(s));
}

cc2SegmentArc ccSMDGDPolyPrivate::backwardArcSegmentExtension_(const ccSMDGDPoly& poly, long s) {
  const cc2SegmentArc arc = arcSegment_(poly, s);
  const ccDegree span = arc.angleSpan() * poly.backwardPercExtension_(s);
  return cc2SegmentArc(arc.center(), arc.radius(ccDegree(0)), arc.startAngle() - span, span);
}

void ccSMDGDPolyPrivate::drawNegWireframe(const ccSMDGDPoly& poly, const ccXform<2>& xf,
                                          ccUITablet& t, const ccColor& c,
                                          ccUITablet::Layers layer) {
  forEachExtension(
      poly, [&](const cc2SegmentLine& l) { overlayLineSegment_(t, l, xf, c, layer); },
      [&](const cc2SegmentArc& a) { overlayArc_(t, a, xf, c, layer); });
}

// ---- Models: every polygon in index order.

void ccSMDGDModel::drawWireframe(const ccXform<2>& xform, ccUITablet& tablet) const {
  for (const ccSMDGDPoly& p : polys()) p.drawWireframe(xform, tablet);
}

void ccSMDGDModelPrivate::drawNegWireframe(const ccSMDGDModel& model, const ccXform<2>& xf,
                                           ccUITablet& t) {
  for (const ccSMDGDPoly& p : model.polys())
    ccSMDGDPolyPrivate::drawNegWireframe(p, xf, t, ccColor::redColor(), ccUITablet::eImageLayer);
}

void ccSMDGDModel::drawDirectionArrows(const ccXform<2>& xform, ccUITablet& tablet) const {
  for (const ccSMDGDPoly& p : polys()) p.drawDirectionArrows(xform, tablet, 2.0);
}

ccRect ccSMDGDModelPrivate::boundingBoxPositive(const ccSMDGDModel& model, const ccXform<2>& xf) {
  return model.boundingBox(xf);
}

ccRect ccSMDGDModelPrivate::boundingBoxNeg(const ccSMDGDModel& model, const ccXform<2>& xf) {
  cc_SMDGDPolyBox box;
  for (const ccSMDGDPoly& p : model.polys())
    forEachExtension(
        p,
        [&](const cc2SegmentLine& l) {
          box.add(xf * l.p1());
          box.add(xf * l.p2());
        },
        [&](const cc2SegmentArc& a) {
          // The part the overlay draws: at most one turn, nothing for a span that is not finite.
          const ccDegree span = drawnSpan(a);
          if (span.toDouble() != 0)
            box.add((xf * cc2SegmentArc(a.center(), a.radius(ccDegree(0)), a.startAngle(), span))
                        .boundingBox());
        });
  return box.rect();
}
