// ccSMDGDPolyPrivate: segments, slides, rounding centres, inside tests, ranges of directions,
// outline intersections, areas and conversions of SMD polygons.
#include <dispc/smd/poly.h>

#include <core/assert.h>
#include <core/errors.h>
#include <dispc/smd/polyindex_p.h>
#include <dispc/wrfm/wirefrm.h>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace {

constexpr const char* kSource = "dispc/smd/polygeometry";

// A stored span as the arc constructor takes it: within a full turn, sign kept (spans equal
// modulo 360 describe the same segment).
ccDegree arcSpan(const ccDegree& span) {
  const double s = span.toDouble();
  return std::fabs(s) <= 360 ? span : ccDegree(std::fmod(s, 360.0));
}

ccDegree direction(const ccVector<2>& v) { return ccDegree(v.angle()); }

// The intersection points of two pieces that are each a line or an arc, ends included.
template <class A, class B>
std::vector<ccVector<2>> crossings(const A& a, const B& b) {
  if constexpr (std::is_same_v<A, cc2SegmentLine> && std::is_same_v<B, cc2SegmentArc>)
    return b.intersection(a, false);
  else
    return a.intersection(b, false);
}

}  // namespace

// ---- segments -----------------------------------------------------------------------------

cc2SegmentLine ccSMDGDPolyPrivate::lineSegment_(const ccSMDGDPoly& poly, long s) {
  const long k = poly.segmentIndex_(s, false);
  return cc2SegmentLine(poly.vertices_[poly.idx(poly.previousVertexIndex_(k))].point(),
                        poly.vertices_[poly.idx(k)].point());
}

cc2SegmentArc ccSMDGDPolyPrivate::arcSegment_(const ccSMDGDPoly& poly, long s) {
  const long k = poly.segmentIndex_(s, false);
  const ccSMDGDPolyVertex& end = poly.vertices_[poly.idx(k)];
  return cc2SegmentArc(poly.vertices_[poly.idx(poly.previousVertexIndex_(k))].point(), end.point(),
                       arcSpan(end.segmentAngleSpan()));
}

cc2SegmentLine ccSMDGDPolyPrivate::roundedLineSegment_(const ccSMDGDPoly& poly, long s) {
  const long k = poly.segmentIndex_(s, false);
  return cc2SegmentLine(poly.roundEnd_(poly.previousVertexIndex_(k)), poly.roundStart_(k));
}

cc2SegmentArc ccSMDGDPolyPrivate::roundedArcSegment_(const ccSMDGDPoly& poly, long s) {
  cc2SegmentArc arc;
  if (!roundedArcSegment_(poly, s, arc))
    throw ccShapesError::DegenerateShape("nothing of the arc is left between its roundings");
  return arc;
}

bool ccSMDGDPolyPrivate::roundedArcSegment_(const ccSMDGDPoly& poly, long s, cc2SegmentArc& out) {
  const long k = poly.segmentIndex_(s, false), start = poly.previousVertexIndex_(k);
  const ccVector<2>& p1 = poly.vertices_[poly.idx(start)].point();
  const ccVector<2>& p2 = poly.vertices_[poly.idx(k)].point();
  const ccDegree span = arcSpan(poly.vertices_[poly.idx(k)].segmentAngleSpan());
  if (p1 == p2 || cfRealEq(span.toDouble(), 0, ccRealEqEpsilon)) return false;
  const cc2SegmentArc full(p1, p2, span);
  const ccVector<2>& from = poly.roundEnd_(start);
  const ccVector<2>& to = poly.roundStart_(k);
  if (from == p1 && to == p2) {
    out = full;
    return true;
  }
  // The same circle, trimmed at each end by the angle the rounding there takes.
  const ccVector<2> c = full.center();
  const double sign = full.angleSpan().toDouble() < 0 ? -1 : 1;
  auto trim = [sign](const ccDegree& a) {
    const double t = ccDegree(a * sign).norm().toDouble();
    return t > 180 ? 0.0 : t;  // a hair behind the end is no trim
  };
  const double trimStart = trim(direction(from - c) - full.startAngle());
  const double trimEnd = trim(full.endAngle() - direction(to - c));
  const ccDegree rest = full.angleSpan() - ccDegree(sign * (trimStart + trimEnd));
  const double radius = full.radius(ccDegree(0));
  if (!(rest.toDouble() * sign > 0) || !(radius > 0)) return false;
  out = cc2SegmentArc(c, radius, full.startAngle() + ccDegree(sign * trimStart), rest);
  return true;
}

cc2SegmentArc ccSMDGDPolyPrivate::roundedArcVertex_(const ccSMDGDPoly& poly, long v) {
  const long k = poly.vertexIndex_(v, false);
  return cc2SegmentArc(poly.roundStart_(k), poly.roundEnd_(k), poly.roundSpan_(k));
}

cc2SegmentLine ccSMDGDPolyPrivate::slideLineSegment_(const ccSMDGDPoly& poly, long s, double d) {
  const cc2SegmentLine line = lineSegment_(poly, s);
  const ccVector<2> offset = ccVector<2>::polar(d, line.angle() - ccDegree(90));
  return cc2Rigid(ccRadian(0), offset) * line;
}

cc2SegmentLine ccSMDGDPolyPrivate::firstHalfSlideLineSegment_(const ccSMDGDPoly& poly, long s,
                                                              double d) {
  const cc2SegmentLine line = slideLineSegment_(poly, s, d);
  return cc2SegmentLine(line.p1(), line.midPoint());
}

cc2SegmentLine ccSMDGDPolyPrivate::secondHalfSlideLineSegment_(const ccSMDGDPoly& poly, long s,
                                                               double d) {
  const cc2SegmentLine line = slideLineSegment_(poly, s, d);
  return cc2SegmentLine(line.midPoint(), line.p2());
}

cc2SegmentArc ccSMDGDPolyPrivate::slideArc_(const ccSMDGDPoly& poly, long s, double d) {
  const cc2SegmentArc arc = arcSegment_(poly, s);
  const ccDegree span = arc.angleSpan();
  const double radius = arc.radius(ccDegree(0)) + (span.toDouble() >= 0 ? d : -d);
  if (!(radius > 0)) throw invalidRounding();
  return cc2SegmentArc(arc.center(), radius, arc.startAngle(), span);
}

cc2SegmentArc ccSMDGDPolyPrivate::firstHalfSlideArc_(const ccSMDGDPoly& poly, long s, double d) {
  const cc2SegmentArc arc = slideArc_(poly, s, d);
  return cc2SegmentArc(arc.center(), arc.radius(ccDegree(0)), arc.startAngle(),
                       arc.angleSpan() / 2);
}

cc2SegmentArc ccSMDGDPolyPrivate::secondHalfSlideArc_(const ccSMDGDPoly& poly, long s, double d) {
  const cc2SegmentArc arc = slideArc_(poly, s, d);
  return cc2SegmentArc(arc.center(), arc.radius(ccDegree(0)), arc.midAngle(), arc.angleSpan() / 2);
}

ccVector<2> ccSMDGDPolyPrivate::closestSegmentPoint_(const ccSMDGDPoly& poly, long s,
                                                     const ccVector<2>& p) {
  return poly.isLineSegment_(s) ? lineSegment_(poly, s).closestPoint(p)
                                : arcSegment_(poly, s).closestPoint(p);
}

ccDegree ccSMDGDPolyPrivate::vertexAngle(const ccSMDGDPoly& poly, long v) {
  const long k = poly.vertexIndex_(v, true);
  long prev, next;
  poly.getSegmentIndices_(prev, next, k);
  if (prev == -1 || next == -1) throw invalidIndex();
  const ccDegree in = poly.isLineSegment_(prev) ? lineSegment_(poly, prev).endDirection()
                                                : arcSegment_(poly, prev).endDirection();
  const ccDegree out = poly.isLineSegment_(next) ? lineSegment_(poly, next).angle()
                                                 : arcSegment_(poly, next).startDirection();
  // signedNorm gives [-180, 180); a straight pass counts as 180 (no turn), not -180.
  const ccDegree turn = (ccDegree(180) - (out - in)).signedNorm();
  return turn.toDouble() == -180 ? ccDegree(180) : turn;
}

// ---- roundings ----------------------------------------------------------------------------

namespace {

// Segment s of poly slid by d, whole or the half next to the vertex: a line or an arc.
struct SlidPiece {
  bool isLine;
  cc2SegmentLine line;
  cc2SegmentArc arc;
};

}  // namespace

ccVector<2> ccSMDGDPoly::roundPoint_(long v) const {
  long prev, next;
  getSegmentIndices_(prev, next, v);
  const double radius = vertexRadius_(v);
  if (prev == -1 || next == -1 || radius == 0) {
    cstd_assert_(__LINE__, kSource);
    throw invalidRounding();
  }
  // The centre lies on the inner side of the turn.
  const double d = ccSMDGDPolyPrivate::vertexAngle(*this, v).toDouble() < 0 ? radius : -radius;
  const long n = numVertices();
  auto isEndSegment = [&](long s) { return open_ && (s == 1 || s == n - 1); };
  // Only the half of an inner segment next to the vertex may carry the centre, so that the
  // roundings at the two ends of a segment cannot overlap.
  auto slid = [&](long s, bool second) {
    SlidPiece p{isLineSegment_(s), {}, {}};
    const bool whole = isEndSegment(s);
    if (p.isLine)
      p.line = whole    ? ccSMDGDPolyPrivate::slideLineSegment_(*this, s, d)
               : second ? ccSMDGDPolyPrivate::secondHalfSlideLineSegment_(*this, s, d)
                        : ccSMDGDPolyPrivate::firstHalfSlideLineSegment_(*this, s, d);
    else
      p.arc = whole    ? ccSMDGDPolyPrivate::slideArc_(*this, s, d)
              : second ? ccSMDGDPolyPrivate::secondHalfSlideArc_(*this, s, d)
                       : ccSMDGDPolyPrivate::firstHalfSlideArc_(*this, s, d);
    return p;
  };
  const SlidPiece a = slid(prev, true), b = slid(next, false);
  std::vector<ccVector<2>> points;
  if (a.isLine && b.isLine)
    points = crossings(a.line, b.line);
  else if (a.isLine)
    points = crossings(a.line, b.arc);
  else if (b.isLine)
    points = crossings(a.arc, b.line);
  else
    points = crossings(a.arc, b.arc);
  if (points.size() == 1) return points[0];
  if (points.size() == 2) {
    const ccVector<2>& p = vertices_[idx(v)].point();
    return p.distance(points[0]) < p.distance(points[1]) ? points[0] : points[1];
  }
  throw invalidRounding();
}

// ---- inside test --------------------------------------------------------------------------

namespace {}  // namespace

// Pieces wholly above or below the ray are passed over before anything is built: first
// against a margin that bounds every piece's own (from the largest coordinate), then exactly.
bool ccSMDGDPoly::rayCrossings_(const ccVector<2>& p, long& count) const {
  count = 0;
  const long n = numVertices();
  const double pScale = std::fabs(p.x()) + std::fabs(p.y());
  double largest = 0;
  for (std::size_t i = 0; i < vertices_.size(); ++i)
    largest = std::max({largest, std::fabs(roundStarts_[i].x()), std::fabs(roundStarts_[i].y()),
                        std::fabs(roundEnds_[i].x()), std::fabs(roundEnds_[i].y())});
  const double anyTol = (pScale + 4 * largest) * ccSMDPieceMargin;
  auto margin = [&](const ccVector<2>& a, const ccVector<2>& b) {
    return (pScale + std::fabs(a.x()) + std::fabs(a.y()) + std::fabs(b.x()) + std::fabs(b.y())) *
           ccSMDPieceMargin;
  };
  auto endAtRay = [&](const ccVector<2>& q, double tol) {
    return std::fabs(q.y() - p.y()) <= tol && q.x() >= p.x() - tol;
  };
  auto arcCrossings = [&](const cc2SegmentArc& arc) {
    const ccVector<2> a = arc.p1(), b = arc.p2(), c = arc.center();
    const double r = arc.radius(ccDegree(0));
    const double tol = margin(a, b) + (std::fabs(c.x()) + std::fabs(c.y()) + r) * ccSMDPieceMargin;
    const double dy = p.y() - c.y();
    if (std::fabs(dy) > r + tol) return true;
    if (endAtRay(a, tol) || endAtRay(b, tol)) return false;
    const double disc = r * r - dy * dy;
    if (disc < -tol * r) return true;
    if (disc <= tol * r) return false;  // grazing
    const double w = std::sqrt(disc);
    for (double x : {c.x() - w, c.x() + w}) {
      if (!arc.validAngle(direction(ccVector<2>(x, p.y()) - c), true)) continue;
      if (std::fabs(x - p.x()) <= tol) return false;
      if (x > p.x()) ++count;
    }
    return true;
  };
  for (long k = 0; k < n; ++k) {
    const std::size_t i = idx(k);
    const ccSMDGDPolyVertex& end = vertices_[i];
    if (end.vertexRadius() != 0 && vertexIsRounded_(k)) {
      const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(*this, 2 * k + 1);
      if (piece.present() && !arcCrossings(piece.arc)) return false;
    }
    if (k == 0 && (open_ || n < 2)) continue;  // no segment 0
    if (end.segmentAngleSpan().toDouble() != 0 && !isLineSegment_(k)) {
      const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(*this, 2 * k);
      if (piece.present() && !arcCrossings(piece.arc)) return false;
      continue;
    }
    const ccVector<2>& a = roundEnds_[k == 0 ? idx(n - 1) : i - 1];
    const ccVector<2>& b = roundStarts_[i];
    const double ya = a.y() - p.y(), yb = b.y() - p.y();
    if ((ya > anyTol && yb > anyTol) || (ya < -anyTol && yb < -anyTol)) continue;
    const double tol = margin(a, b);
    if ((ya > tol && yb > tol) || (ya < -tol && yb < -tol) || a == b) continue;
    if (endAtRay(a, tol) || endAtRay(b, tol)) return false;
    if ((ya > 0) == (yb > 0)) continue;
    const double x = a.x() + (p.y() - a.y()) * (b.x() - a.x()) / (b.y() - a.y());
    if (std::fabs(x - p.x()) <= tol) return false;
    if (x > p.x()) ++count;
  }
  return true;
}

bool ccSMDGDPoly::inside_(const ccVector<2>& p) const {
  if (open_) throw notClosed();
  // The parity of the crossings is the same for every ray clear of the pieces' ends; a ray
  // along +x usually is, else the clearest direction among the ranges is taken.
  long count = 0;
  if (rayCrossings_(p, count)) return count % 2 == 1;
  const std::vector<cc2SegmentArc> ranges = ccSMDGDPolyPrivate::ranges_(*this, p);
  const ccDegree safest = ccSMDGDPolyPrivate::safestDirection_(ranges);
  count = std::count_if(ranges.begin(), ranges.end(),
                        [&](const cc2SegmentArc& r) { return r.validAngle(safest, true); });
  return count % 2 == 1;
}

bool ccSMDGDPolyPrivate::inside(const ccSMDGDPoly& poly, const ccVector<2>& p) {
  return poly.inside_(p);
}

namespace {

// The range of directions from p over which p sees the stretch from a to b, turning the way
// given by sign.
cc2SegmentArc directions(const ccVector<2>& p, const ccVector<2>& a, const ccVector<2>& b,
                         double sign) {
  const ccDegree from = direction(a - p), to = direction(b - p);
  const ccDegree span = sign >= 0 ? (to - from).norm() : -(from - to).norm();
  return cc2SegmentArc(p, 1, from, span);
}

}  // namespace

std::vector<cc2SegmentArc> ccSMDGDPolyPrivate::ranges_(const ccSMDGDPoly& poly,
                                                       const ccVector<2>& p, long last) {
  const long n = poly.numVertices();
  if (last < 0 || last >= n) last = n - 1;
  std::vector<cc2SegmentArc> out;
  for (long id = 0; id <= 2 * last + 1; ++id) {
    const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(poly, id);
    if (piece.kind == cc_SMDGDPolyPiece::eLine) {
      const ccVector<2> a = piece.line.p1(), b = piece.line.p2();
      out.push_back(directions(p, a, b, (a - p).cross(b - a)));
    } else if (piece.kind == cc_SMDGDPolyPiece::eArc) {
      for (const cc2SegmentArc& r : arcRanges_(piece.arc, p)) out.push_back(r);
    }
  }
  return out;
}

std::vector<cc2SegmentArc> ccSMDGDPolyPrivate::arcRanges_(const cc2SegmentArc& arc,
                                                          const ccVector<2>& p) {
  // Split where the ray from p touches the circle (the direction from p turns back there) and
  // every quarter turn (so that no stretch sweeps half a turn or more as seen from p).
  const ccVector<2> c = arc.center();
  const double r = arc.radius(ccDegree(0));
  const double span = arc.angleSpan().toDouble();
  const double absSpan = std::min(std::fabs(span), 360.0);  // a full turn at most
  const double sign = span < 0 ? -1 : 1;
  std::vector<double> cuts{0, 1};
  for (double t = 90; t < absSpan; t += 90) cuts.push_back(t / absSpan);
  const double d = p.distance(c);
  if (d > r) {
    const ccDegree toP = direction(p - c), half(ccRadian(std::acos(r / d)));
    for (const ccDegree& touch : {toP + half, toP - half}) {
      const double t = ccDegree((touch - arc.startAngle()) * sign).norm().toDouble() / absSpan;
      if (t > 0 && t < 1) cuts.push_back(t);
    }
  }
  std::sort(cuts.begin(), cuts.end());
  std::vector<cc2SegmentArc> out;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    if (cuts[i + 1] <= cuts[i]) continue;
    const ccVector<2> a = arc.segPoint(cuts[i]), b = arc.segPoint(cuts[i + 1]);
    const ccVector<2> mid = arc.segPoint((cuts[i] + cuts[i + 1]) / 2);
    const ccVector<2> travel = ccVector<2>::polar(1, arc.direction((cuts[i] + cuts[i + 1]) / 2));
    out.push_back(directions(p, a, b, (mid - p).cross(travel)));
  }
  return out;
}

ccDegree ccSMDGDPolyPrivate::safestDirection_(const std::vector<cc2SegmentArc>& ranges,
                                              const ccDegree& from, const ccDegree& span) {
  const double window = std::min(std::fabs(span.toDouble()), 360.0);
  std::vector<double> ends;
  for (const cc2SegmentArc& r : ranges)
    for (const ccDegree& e : {r.startAngle(), r.endAngle()}) {
      const double t = ccDegree(e - from).norm().toDouble();
      if (t < window) ends.push_back(t);
    }
  const bool full = window >= 360;
  if (!full) {
    ends.push_back(0);
    ends.push_back(window);
  }
  if (ends.empty()) return from + ccDegree(window / 2);
  std::sort(ends.begin(), ends.end());
  // The widest gap between neighbouring ends (across the wrap for a full turn).
  double best = full ? ends.front() + 360 - ends.back() : -1;
  double at = full ? ends.back() + best / 2 : 0;
  for (std::size_t i = 0; i + 1 < ends.size(); ++i)
    if (ends[i + 1] - ends[i] > best) {
      best = ends[i + 1] - ends[i];
      at = ends[i] + best / 2;
    }
  return (from + ccDegree(at)).norm();
}

// ---- outlines -----------------------------------------------------------------------------

std::vector<ccVector<2>> ccSMDGDPolyPrivate::intersection_(const ccSMDGDPoly& a,
                                                           const ccSMDGDPoly& b) {
  std::vector<cc_SMDGDPolyPiece> other;
  std::vector<cc_SMDGDPolyBox> boxes;
  for (long id = 0; id < 2 * b.numVertices(); ++id) {
    cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(b, id);
    if (!piece.present()) continue;
    boxes.push_back(piece.box());
    other.push_back(std::move(piece));
  }
  std::vector<ccVector<2>> out;
  for (long id = 0; id < 2 * a.numVertices() && !other.empty(); ++id) {
    const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(a, id);
    if (!piece.present()) continue;
    const cc_SMDGDPolyBox box = piece.box();
    for (std::size_t j = 0; j < other.size(); ++j) {
      if (!box.meets(boxes[j])) continue;
      const cc_SMDGDPolyPiece& o = other[j];
      std::vector<ccVector<2>> points;
      if (piece.kind == cc_SMDGDPolyPiece::eLine)
        points = o.kind == cc_SMDGDPolyPiece::eLine ? crossings(piece.line, o.line)
                                                    : crossings(piece.line, o.arc);
      else
        points = o.kind == cc_SMDGDPolyPiece::eLine ? crossings(piece.arc, o.line)
                                                    : crossings(piece.arc, o.arc);
      out.insert(out.end(), points.begin(), points.end());
    }
  }
  return out;
}

double ccSMDGDPolyPrivate::signedArea2_(const ccSMDGDPoly& poly) {
  if (poly.isOpen()) return 0;
  double sum = 0;
  for (long id = 0; id < 2 * poly.numVertices(); ++id) {
    const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(poly, id);
    if (piece.kind == cc_SMDGDPolyPiece::eLine) {
      sum += piece.line.p1().cross(piece.line.p2());
    } else if (piece.kind == cc_SMDGDPolyPiece::eArc) {
      // The chord, plus the circular segment between chord and arc (on the chord's right for
      // a counter-clockwise arc, so it adds).
      const double r = piece.arc.radius(ccDegree(0));
      const double theta = ccRadian(piece.arc.angleSpan()).toDouble();
      sum += piece.arc.p1().cross(piece.arc.p2()) + r * r * (theta - std::sin(theta));
    }
  }
  return sum;
}

double ccSMDGDPolyPrivate::perimeter(const ccSMDGDPoly& poly, double scale) {
  double sum = 0;
  for (long id = 0; id < 2 * poly.numVertices(); ++id) {
    const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(poly, id);
    if (piece.kind == cc_SMDGDPolyPiece::eLine) sum += piece.line.length();
    if (piece.kind == cc_SMDGDPolyPiece::eArc) sum += piece.arc.length();
  }
  return sum * scale;
}

double ccSMDGDPolyPrivate::distToPoint(const ccSMDGDPoly& poly, const ccVector<2>& p) {
  const long n = poly.numVertices();
  if (n == 0) throw invalidVertices();
  double best = p.distance(poly.vertices_[0].point());
  for (long id = 0; id < 2 * n; ++id) {
    const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(poly, id);
    if (piece.kind == cc_SMDGDPolyPiece::eLine) best = std::min(best, piece.line.distToPoint(p));
    if (piece.kind == cc_SMDGDPolyPiece::eArc) best = std::min(best, piece.arc.distToPoint(p));
  }
  return best;
}

cc2Rigid ccSMDGDPolyPrivate::position(const ccSMDGDPoly& poly) {
  const long n = poly.numVertices();
  ccVector<2> sum;
  for (const ccSMDGDPolyVertex& v : poly.vertices_) sum += v.point();
  const ccVector<2> centre = n ? sum / static_cast<double>(n) : sum;
  const ccRadian angle =
      n >= 2 ? (poly.vertices_[1].point() - poly.vertices_[0].point()).angle() : ccRadian(0);
  return cc2Rigid(angle, centre);
}

ccRect ccSMDGDPoly::boundingBox(const ccXform<2>& x) const {
  const long n = numVertices();
  if (n == 0) return ccRect();
  cc_SMDGDPolyBox box;
  for (long v = 0; v < n; ++v)
    if (!vertexIsRounded_(v)) box.add(x * vertices_[idx(v)].point());
  for (long id = 0; id < 2 * n; ++id) {
    const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(*this, id);
    if (piece.kind == cc_SMDGDPolyPiece::eLine) {
      box.add(x * piece.line.p1());
      box.add(x * piece.line.p2());
    } else if (piece.kind == cc_SMDGDPolyPiece::eArc) {
      box.add((x * piece.arc).boundingBox());
    }
  }
  return box.rect();
}

// ---- conversions --------------------------------------------------------------------------

ccSMDGDPoly ccSMDGDPolyPrivate::convert(const ccPolygon& polygon) {
  std::vector<ccSMDGDPolyVertex> v;
  for (const ccVector<2>& p : polygon.vertices())
    v.emplace_back(p, 0, ccDegree(0), 0.5, 0.5, -1, ccDimTol(-1, -1, -1, ccDimTol::eLimits));
  ccSMDGDPoly out;
  out.vertices(v);
  out.close();
  return out;
}

// Closed before the vertices go in, so that the roundings of vertex 0 and the last vertex are
// validated as the closed polygon's.
ccSMDGDPoly ccSMDGDPolyPrivate::rebuilt(const std::vector<ccSMDGDPolyVertex>& v, bool closed,
                                        bool directionReversed) {
  ccSMDGDPoly out;
  out.open_ = !closed;
  out.vertices(v);
  out.directionReversed_ = directionReversed;
  return out;
}

cc2Wireframe ccSMDGDPolyPrivate::wireframe(const ccSMDGDPoly& poly) {
  cc2Wireframe w;
  *w.poly_ = poly;
  return w;
}

const ccSMDGDPoly& ccSMDGDPolyPrivate::poly(const ccGenPoly& g) { return *g.poly_; }

ccXform<2> ccSMDGDPolyPrivate::wireframeXform(const ccGenPoly& g) { return g.map_; }

ccDimTol ccSMDGDPolyPrivate::dimTol(const ccSMDDimension& d) {
  ccDimTol t(d.nomDim(), d.minDim(), d.maxDim(), ccDimTol::eLimits);
  if (d.scaleType() <= ccSMDDimension::eScaleAll)
    t.tolType(static_cast<ccDimTol::TolType>(d.scaleType()));
  return t;
}

void ccSMDGDPolyPrivate::reversePoly(const ccSMDGDPoly& in, ccSMDGDPoly& out) {
  const long n = in.numVertices();
  std::vector<ccSMDGDPolyVertex> v;
  v.reserve(in.vertices_.size());
  for (long k = n - 1; k >= 0; --k) {
    const ccSMDGDPolyVertex& src = in.vertices_[in.idx(k)];
    const ccSMDGDPolyVertex& after = in.vertices_[in.idx(in.cyclic_(k + 1))];
    ccSMDGDPolyVertex r(src);
    r.segmentAngleSpan(-after.segmentAngleSpan());
    r.segmentLengthTol(after.segmentLengthTol());
    r.percentPrevSegment(src.percentNextSegment());
    r.percentNextSegment(src.percentPrevSegment());
    r.extensionForward(src.extensionBackward());
    r.extensionBackward(src.extensionForward());
    v.push_back(r);
  }
  ccSMDGDPoly result;
  result.vertices(v);
  if (in.isClosed()) result.close();
  if (in.isDirectionReversed()) result.toggleDirection();
  out = result;
}
