// ccGenPoly drawn: strokes on a scope (segments, direction marks, rounding arcs) and the
// synthetic fill into an 8-bit image.
#include <dispc/wrfm/genpoly.h>

#include <core/errors.h>
#include <dispc/dispprop.h>
#include <dispc/scope.h>
#include <dispc/smd/poly.h>

#include <algorithm>
#include <cmath>

namespace {

// The arc stroker's largest angle step (degrees) and the largest distance of a chord from its
// arc (scope units).
constexpr double kArcStepDegrees = 5.0;
constexpr double kChordDeviation = 0.05;
// At most this many chords per arc (0.1 degree steps over a full turn): an arc blown up by a
// huge map costs bounded work, its chords departing from it by more than kChordDeviation only
// beyond a radius of about 1.3e5.
constexpr double kMaxArcChords = 3600;
// Direction marks: the arrow's size and the shortest chord that gets a mark, as fractions of
// the longest chord; the half-length of a sign's strokes as a fraction of the arrow's size.
constexpr double kMarkSize = 0.08;
constexpr double kMarkShortestChord = 0.2;
constexpr double kSignHalfLength = 0.3;

void stroke(ccUIScope& scope, const ccVector<2>& a, const ccVector<2>& b,
            const ccGraphicProps& props) {
  scope.drawLineSeg(ccLineSeg(a, b), props);
}

// The arc, carried by m, as chords: the step keeps every chord within kChordDeviation of the
// mapped arc (measured at its radius in direction 0) and never exceeds kArcStepDegrees.
void strokeArc(const cc2SegmentArc& arc, const ccXform<2>& m, const ccGraphicProps& props,
               ccUIScope& scope) {
  double step = kArcStepDegrees;
  const double r = (m * arc).radius(ccDegree(0));
  if (r > kChordDeviation)
    step = std::min(step, ccDegree(ccRadian(2 * std::acos(1 - kChordDeviation / r))).toDouble());
  const double span = arc.angleSpan().toDouble();
  const double chords = std::trunc(std::fabs(span / step)) + 1;
  if (!std::isfinite(chords)) return;
  const long k = static_cast<long>(std::min(chords, kMaxArcChords));
  const double start = arc.startAngle().toDouble(), delta = span / static_cast<double>(k);
  ccVector<2> from = m * arc.arcPoint(ccDegree(start));
  for (long j = 1; j <= k; ++j) {
    const ccVector<2> to = m * arc.arcPoint(ccDegree(start + static_cast<double>(j) * delta));
    stroke(scope, from, to, props);
    from = to;
  }
}

// A direction mark at anchor p heading theta (both before the map m), of size a in scope
// units: in the frame whose origin is m(p) and whose x axis is the mapped heading, an
// arrowhead opening backwards, a plus sign on the left (0, a) and a minus sign on the right
// (0, -a). A reflecting map swaps the sides, so the signs stay on the same side of the outline.
// The signs are axis-aligned on the scope.
void directionMark(const ccVector<2>& p, const ccDegree& theta, double a, const ccXform<2>& m,
                   const ccGraphicProps& props, ccUIScope& scope) {
  const double t = ccRadian(theta).toDouble();
  const ccVector<2> heading = m.mapVector(ccVector<2>(std::cos(t), std::sin(t)));
  const double len = heading.length();
  if (!(len > 0) || !std::isfinite(len)) return;
  const ccVector<2> x = heading / len, y(-x.y(), x.x());
  const ccVector<2> origin = m * p;
  // The sign of the determinant tells a reflecting map, whatever angles it is read by.
  const double s = m.matrix().determinant() < 0 ? -a : a;
  auto frame = [&](double u, double v) { return origin + x * u + y * v; };
  stroke(scope, origin, frame(-a, s), props);
  stroke(scope, origin, frame(-a, -s), props);
  const double h = kSignHalfLength * a;
  const ccVector<2> plus = frame(0, s), minus = frame(0, -s);
  stroke(scope, plus - ccVector<2>(h, 0), plus + ccVector<2>(h, 0), props);
  stroke(scope, plus - ccVector<2>(0, h), plus + ccVector<2>(0, h), props);
  stroke(scope, minus - ccVector<2>(h, 0), minus + ccVector<2>(h, 0), props);
}

}  // namespace

void ccGenPoly::drawToScope(const ccGraphicProps& props, ccUIScope& scope) const {
  const ccSMDGDPoly& poly = *poly_;
  const long n = numVertices();
  const bool showVertex = props.showVertex();
  for (long s = 0; s < numSegments(); ++s) {
    const long k = (s + 1) % n;  // the SMD polygon's number of segment s
    if (poly.isLineSegment_(k)) {
      scope.drawLineSeg(lineSegment(s, showVertex), props);
    } else if (showVertex) {
      strokeArc(ccSMDGDPolyPrivate::arcSegment_(poly, k), map_, props, scope);
    } else {
      cc2SegmentArc arc;
      if (ccSMDGDPolyPrivate::roundedArcSegment_(poly, k, arc)) strokeArc(arc, map_, props, scope);
    }
  }

  if (props.arrowHead()) {
    // The chords are measured after the map, like the marks, so that marks keep their size
    // relative to the drawn outline under any map (a unit circle carried onto a large ellipse
    // gets marks to match the ellipse).
    auto chord = [&](long v) {
      return (vertexPoint(v) - vertexPoint(poly.previousVertexIndex_(v))).length();
    };
    double longest = 0;
    for (long v = 0; v < n; ++v)
      if (poly.previousSegmentIndex_(v) >= 0) longest = std::max(longest, chord(v));
    const double size = kMarkSize * longest;
    const ccDegree turn(poly.isDirectionReversed() ? 180.0 : 0.0);
    for (long v = 0; longest > 0 && v < n; ++v) {
      if (poly.previousSegmentIndex_(v) < 0 || chord(v) < kMarkShortestChord * longest) continue;
      const long from = poly.previousVertexIndex_(v);
      if (poly.isLineSegment_(v)) {
        const ccVector<2> d = poly.vertex(v).point() - poly.vertex(from).point();
        const ccVector<2> mid = (poly.roundEnd_(from) + poly.roundStart_(v)) / 2;
        directionMark(mid, ccDegree(ccRadian(d.angle())) + turn, size, map_, props, scope);
      } else {
        cc2SegmentArc arc;
        if (ccSMDGDPolyPrivate::roundedArcSegment_(poly, v, arc))
          directionMark(arc.midPoint(), arc.midDirection() + turn, size, map_, props, scope);
      }
    }
  }

  for (long v = 0; v < n; ++v)
    if (poly.vertexIsRounded_(v))
      strokeArc(ccSMDGDPolyPrivate::roundedArcVertex_(poly, v), map_, props, scope);
}

void cfDrawSynthetic(const ccGenPoly& g, const ccPtrHandle_const<cc2XformBase>& xform,
                     ccPelBuffer<unsigned char>& image, unsigned char value) {
  if (g.isOpen()) throw ccShapesError::BadGeom("an open general polygon has no inside to fill");
  const ccPtrHandle<cc2XformBase> map(new cc2XformLinear(ccSMDGDPolyPrivate::wireframeXform(g)));
  const ccPtrHandle<cc2XformBase> composed = xform ? xform->compose(map) : map;
  ccSMDGDPolyPrivate::drawSynthetic(ccSMDGDPolyPrivate::poly(g), composed, image, value);
}

void cfDrawSynthetic(const ccGenPoly& g, const ccXform<2>& xform, ccPelBuffer<unsigned char>& image,
                     unsigned char value) {
  cfDrawSynthetic(g, ccPtrHandle_const<cc2XformBase>(new cc2XformLinear(xform)), image, value);
}
