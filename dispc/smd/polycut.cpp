// Parts of SMD polygons: runs between two places on the outline, corners, the parts that carry
// a sub-model label, and the parts inside a cropping region.
#include <dispc/smd/model.h>
#include <dispc/smd/polyindex_p.h>

#include <algorithm>
#include <cmath>

double cfFractionAlong(const cc2SegmentLine& piece, const ccVector<2>& q) {
  const ccVector<2> v = piece.p2() - piece.p1();
  const double len2 = v.dot(v);
  return len2 > 0 ? std::clamp((q - piece.p1()).dot(v) / len2, 0.0, 1.0) : 0.0;
}

double cfFractionAlong(const cc2SegmentArc& piece, const ccVector<2>& q) {
  const double span = piece.angleSpan().toDouble();
  double turned = (ccDegree((q - piece.center()).angle()) - piece.startAngle()).norm().toDouble();
  if (span < 0) turned = std::fmod(360.0 - turned, 360.0);
  return std::clamp(turned / std::fabs(span), 0.0, 1.0);
}

namespace {

// A new sharp, unlabelled vertex ending a piece of a segment with the given span; it carries
// no tolerance, since the piece's length is not the segment's.
ccSMDGDPolyVertex cutVertex(const ccVector<2>& p, const ccDegree& span) {
  return ccSMDGDPolyVertex(p, 0, span, 0.5, 0.5, -1, ccDimTol());
}

// A copy of a vertex whose segment keeps only part of its way: the span shrinks with it and
// the tolerance goes.
ccSMDGDPolyVertex shortened(const ccSMDGDPolyVertex& v, double part) {
  ccSMDGDPolyVertex out(v);
  out.segmentAngleSpan(v.segmentAngleSpan() * part);
  out.segmentLengthTol(ccDimTol());
  return out;
}

// Fractions closer than this count as the same place on a segment.
constexpr double kSamePlace = ccSMDVertexTolerance;

}  // namespace

ccSMDGDPoly ccSMDGDPolyPrivate::subPoly(const ccSMDGDPoly& poly, long s0, double t0, long s1,
                                        double t1) {
  s0 = poly.segmentIndex_(s0, false);
  s1 = poly.segmentIndex_(s1, false);
  const long n = poly.numVertices();
  t0 = std::clamp(t0, 0.0, 1.0);
  t1 = std::clamp(t1, 0.0, 1.0);
  // The number of segments the run touches, walking forward from s0.
  const long steps = s1 >= s0 ? s1 - s0 : s1 + n - s0;
  const bool wraps = steps == 0 && t1 <= t0;
  if (poly.isOpen() && (s1 < s0 || wraps)) throw invalidIndex();
  const long count = wraps ? n + 1 : steps + 1;

  auto at = [&poly](long s, double t) {
    return poly.isLineSegment_(s) ? lineSegment_(poly, s).segPoint(t)
                                  : arcSegment_(poly, s).segPoint(t);
  };
  auto stored = [&poly](long v) { return poly.vertices_[poly.idx(v)]; };
  std::vector<ccSMDGDPolyVertex> v;
  v.push_back(t0 <= 0 ? stored(poly.previousVertexIndex_(s0)) : cutVertex(at(s0, t0), ccDegree(0)));
  for (long i = 0, s = s0; i < count; ++i, s = s + 1 == n ? 0 : s + 1) {
    const double from = i == 0 ? t0 : 0.0;
    const double to = i == count - 1 ? t1 : 1.0;
    const ccDegree span = stored(s).segmentAngleSpan();
    if (to >= 1.0)
      v.push_back(from <= 0 ? stored(s) : shortened(stored(s), 1.0 - from));
    else
      v.push_back(cutVertex(at(s, to), span * (to - from)));
  }

  // The part keeps the polygon's colours, weight and direction flag.
  ccSMDGDPoly out;
  out.colors_ = poly.colors_;
  out.positiveArrowColor_ = poly.positiveArrowColor_;
  out.negativeArrowColor_ = poly.negativeArrowColor_;
  out.weight_ = poly.weight_;
  out.directionReversed_ = poly.directionReversed_;
  // A rounding next to a cut may no longer fit the shortened segment: such vertices, then if
  // need be every vertex, become sharp.
  for (int attempt = 0;; ++attempt) {
    try {
      out.vertices(v);
      break;
    } catch (const ccSMDGDPoly::invalidRounding&) {
      if (attempt == 2) throw;
      for (std::size_t k = 0; k < v.size(); ++k)
        if (attempt == 1 || k == 1 || k + 2 == v.size()) v[k].vertexRadius(0);
    }
  }
  return out;
}

ccSMDGDPoly ccSMDGDPolyPrivate::corner(const ccSMDGDPoly& poly, long v) {
  v = poly.vertexIndex_(v, false);
  const long prev = poly.previousSegmentIndex_(v), next = poly.nextSegmentIndex_(v);
  if (prev < 0 || next < 0) throw invalidIndex();
  const ccSMDGDPolyVertex& vertex = poly.vertices_[poly.idx(v)];
  return subPoly(poly, prev, 1.0 - vertex.percentPrevSegment(), next, vertex.percentNextSegment());
}

void ccSMDGDPolyPrivate::subModel(const ccSMDGDPoly& poly, long label, ccSMDGDModel& out) {
  const long n = poly.numVertices();
  auto carries = [&](long v) { return poly.vertices_[poly.idx(v)].subModelLabel() == label; };
  // Segment s joins the corners of its two vertices when both carry the label and their shares
  // of it add up to the whole segment.
  auto joins = [&](long s) {
    if (!poly.segmentExists_(s)) return false;
    const long a = poly.previousVertexIndex_(s);
    if (!carries(a) || !carries(s)) return false;
    const double shares = poly.vertices_[poly.idx(a)].percentNextSegment() +
                          poly.vertices_[poly.idx(s)].percentPrevSegment();
    return shares >= 1.0 - ccSMDVertexTolerance;
  };
  // A run of joined corners starts at a labelled vertex whose segment before does not join.
  bool anyStart = false;
  for (long v = 0; v < n; ++v) anyStart = anyStart || (carries(v) && !joins(v));
  if (!anyStart) {
    // Every vertex carries the label and every corner meets the next (or none carries it).
    if (n > 0 && carries(0)) out << poly;
    return;
  }
  std::vector<ccSMDGDPoly> parts;
  for (long v = 0; v < n; ++v) {
    if (!carries(v) || joins(v)) continue;
    long last = v;
    while (poly.nextSegmentIndex_(last) >= 0 && joins(poly.nextSegmentIndex_(last)))
      last = poly.nextSegmentIndex_(last);
    const ccSMDGDPolyVertex& a = poly.vertices_[poly.idx(v)];
    const ccSMDGDPolyVertex& b = poly.vertices_[poly.idx(last)];
    const long before = poly.previousSegmentIndex_(v), after = poly.nextSegmentIndex_(last);
    // A free end of an open polygon starts or ends the part at the vertex itself.
    const long s0 = before >= 0 ? before : poly.nextSegmentIndex_(v);
    const double t0 = before >= 0 ? 1.0 - a.percentPrevSegment() : 0.0;
    const long s1 = after >= 0 ? after : poly.previousSegmentIndex_(last);
    const double t1 = after >= 0 ? b.percentNextSegment() : 1.0;
    if (s0 < 0 || s1 < 0) continue;  // a lone vertex has no segment to share
    parts.push_back(subPoly(poly, s0, t0, s1, t1));
  }
  for (const ccSMDGDPoly& p : parts) out << p;
}

void ccSMDGDPolyPrivate::crop(const ccSMDGDPoly& poly, const std::vector<ccSMDGDPoly>& region,
                              std::vector<ccSMDGDPoly>& pieces) {
  for (const ccSMDGDPoly& r : region)
    if (r.isOpen()) throw notClosed();
  auto inside = [&region](const ccVector<2>& p) {
    return std::any_of(region.begin(), region.end(),
                       [&p](const ccSMDGDPoly& r) { return ccSMDGDPolyPrivate::inside(r, p); });
  };
  std::vector<ccSMDGDPoly> result;
  const long n = poly.numVertices();
  if (n == 1 && inside(poly.vertices_[0].point())) result.push_back(poly);

  // The stretches between border crossings, segment by segment in walk order, each marked
  // inside or outside by its middle.
  struct Stretch {
    long s;
    double from, to;
    bool in;
  };
  std::vector<Stretch> stretches;
  for (long k = 1; k <= n && n >= 2; ++k) {
    const long s = k == n ? 0 : k;
    if (!poly.segmentExists_(s)) continue;
    const long a = poly.previousVertexIndex_(s);
    if (poly.vertices_[poly.idx(a)].point() == poly.vertices_[poly.idx(s)].point()) continue;
    // The whole segment as a polygon of its own, so the outline crossings apply to it.
    ccSMDGDPoly segment;
    segment << cutVertex(poly.vertices_[poly.idx(a)].point(), ccDegree(0))
            << cutVertex(poly.vertices_[poly.idx(s)].point(),
                         poly.vertices_[poly.idx(s)].segmentAngleSpan());
    const bool line = poly.isLineSegment_(s);
    const cc2SegmentLine l = line ? lineSegment_(poly, s) : cc2SegmentLine();
    const cc2SegmentArc c = line ? cc2SegmentArc() : arcSegment_(poly, s);
    std::vector<double> cuts{0.0, 1.0};
    for (const ccSMDGDPoly& r : region)
      for (const ccVector<2>& q : intersection_(segment, r))
        cuts.push_back(line ? cfFractionAlong(l, q) : cfFractionAlong(c, q));
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end(),
                           [](double x, double y) { return y - x <= kSamePlace; }),
               cuts.end());
    cuts.back() = 1.0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
      const double mid = (cuts[i] + cuts[i + 1]) / 2;
      stretches.push_back(
          {s, cuts[i], cuts[i + 1], inside(line ? l.segPoint(mid) : c.segPoint(mid))});
    }
  }
  const bool allIn = !stretches.empty() && std::all_of(stretches.begin(), stretches.end(),
                                                       [](const Stretch& x) { return x.in; });
  if (allIn) {
    result.push_back(poly);
  } else if (!stretches.empty()) {
    // Runs of inside stretches; a closed polygon's last run goes on into its first.
    std::size_t begin = 0;
    if (poly.isClosed())
      while (stretches[begin].in) ++begin;
    const std::size_t m = stretches.size();
    for (std::size_t i = 0; i < m;) {
      const Stretch& first = stretches[(begin + i) % m];
      if (!first.in) {
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j + 1 < m && stretches[(begin + j + 1) % m].in) ++j;
      const Stretch& last = stretches[(begin + j) % m];
      result.push_back(subPoly(poly, first.s, first.from, last.s, last.to));
      i = j + 1;
    }
  }
  pieces.swap(result);
}
