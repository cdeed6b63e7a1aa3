// Clipping of shapes by a closed polyline.
//
// The clipper is any simple closed polygon (convex or not, either orientation); its inside
// includes its edges. Clipping keeps the parts of a shape's contour that lie inside it:
//   - wholly inside: result eInside, 1 piece, the result is a clone of the shape;
//   - partly inside: result ePartial, the pieces, each as an open figure (ccLineSeg pieces of
//     segments and lines, open ccPolyline pieces of polylines, polygons, rectangles and
//     sampled curves); one piece is returned as it is, several in a shape tree (cc_detail::group);
//   - wholly outside: result eOutside, 0 pieces, an empty open ccPolyline.
// Sets of segments and of points keep their class in every case: a ccLineSegSet of the
// pieces, a ccPointSet of the points inside (an empty set when none is).
// Pieces of zero length (a contour only touching the clipper) are dropped.
#include <core/affinerect.h>
#include <core/lines.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/polyline_p.h>
#include <core/shapetree.h>

#include <algorithm>
#include <cmath>

namespace {

using cc_detail::Points;

// A segment and a clipper edge whose directions' sine is at most this are split as parallel.
constexpr double kParallelSine = 1e-12;
// Crossings this far (in edge parameter) past a clipper edge's ends still split the segment:
// an extra split costs a test, a missed one would be wrong.
constexpr double kNearMiss = 1e-9;
// Split parameters of the segment closer than this are one split.
constexpr double kSameSplit = 1e-12;

void checkClipper(const ccPolyline& clipper) {
  if (!clipper.isClosed()) throw ccShapesError::BadParams("the clipper must be a closed polyline");
  if (clipper.numVertices() < 3)
    throw ccShapesError::DegenerateShape("the clipper needs at least three vertices");
}

// The parameter intervals [t0, t1] of the segment ab that lie inside the clipper, in order.
// The segment is split wherever it meets the clipper's boundary; each part is inside when its
// middle is (so parts running along an edge are inside).
std::vector<std::pair<double, double>> insideIntervals(const Points& c, const ccVector<2>& a,
                                                       const ccVector<2>& b) {
  std::vector<std::pair<double, double>> out;
  const ccVector<2> r = b - a;
  const double rr = r.lengthSq();
  if (rr == 0) {
    if (cc_detail::within(c, a)) out.push_back({0.0, 1.0});
    return out;
  }
  // Split parameters. Extra splits cost nothing but a test; a missed one would be wrong, so
  // near misses are included.
  std::vector<double> ts{0.0, 1.0};
  const double rl = std::sqrt(rr);
  for (std::size_t i = 0; i < c.size(); ++i) {
    const ccVector<2>&p = c[i], &q = cc_detail::edgeEnd(c, i);
    const ccVector<2> s = q - p, ap = p - a;
    const double denom = r.cross(s);
    if (std::fabs(denom) > kParallelSine * rl * s.length()) {
      const double t = ap.cross(s) / denom, u = ap.cross(r) / denom;
      if (u >= -kNearMiss && u <= 1 + kNearMiss && t > 0 && t < 1) ts.push_back(t);
    } else {
      // Parallel (or nearly): split at the projections of the clipper edge's ends.
      for (const ccVector<2>* e : {&p, &q}) {
        const double t = (*e - a).dot(r) / rr;
        if (t > 0 && t < 1) ts.push_back(t);
      }
    }
  }
  std::sort(ts.begin(), ts.end());
  std::vector<double> cuts;
  for (double t : ts)
    if (cuts.empty() || t - cuts.back() > kSameSplit) cuts.push_back(t);
  cuts.back() = 1.0;
  for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
    const double t0 = cuts[k], t1 = cuts[k + 1];
    if (!cc_detail::within(c, a + r * ((t0 + t1) / 2))) continue;
    if (!out.empty() && out.back().second == t0)
      out.back().second = t1;
    else
      out.push_back({t0, t1});
  }
  return out;
}

bool allSame(const Points& p) {
  for (const auto& q : p)
    if (q != p[0]) return false;
  return true;
}

ccShapePtrh emptyResult() { return ccShapePtrh(new ccPolyline()); }

// The pieces as shapes: two-point pieces as ccLineSegs when segments is set, else open
// ccPolylines; one piece alone, several grouped.
ccShapePtrh piecesShape(const std::vector<Points>& pieces, bool segments) {
  std::vector<ccShapePtrh> parts;
  for (const auto& p : pieces) {
    if (segments)
      parts.push_back(ccShapePtrh(new ccLineSeg(p.front(), p.back())));
    else
      parts.push_back(ccShapePtrh(new ccPolyline(p)));
  }
  if (parts.size() == 1) return parts[0];
  return cc_detail::group(parts);
}

// Clips a chain and builds the result of a shape whose clone is whole().
template <class Whole>
ccShapePtrh clipChain(const Points& v, bool closed, const ccPolyline& clipper, ccClipInfo& info,
                      bool segments, Whole whole) {
  std::vector<Points> pieces;
  info.result = cc_detail::clip(v, closed, clipper, pieces);
  info.pieces = info.result == ccClipInfo::eInside ? 1 : static_cast<long>(pieces.size());
  if (info.result == ccClipInfo::eInside) return whole();
  if (info.result == ccClipInfo::eOutside) return emptyResult();
  return piecesShape(pieces, segments);
}

// A segment of the infinite line through pos with direction dir that covers all of the line
// inside the clipper's bounding box.
ccLineSeg coveringSegment(const ccVector<2>& pos, const ccVector<2>& dir, const ccRect& box) {
  const ccVector<2> center = box.center(), u = dir.unit();
  const double reach = 1.01 * std::hypot(box.width(), box.height()) / 2 + 1;
  const ccVector<2> foot = pos + u * (center - pos).dot(u);
  return ccLineSeg(foot - u * reach, foot + u * reach);
}

ccShapePtrh clipLine(const ccVector<2>& pos, const ccVector<2>& dir, const ccPolyline& clipper,
                     ccClipInfo& info) {
  checkClipper(clipper);
  const ccLineSeg seg = coveringSegment(pos, dir, clipper.boundingBox());
  std::vector<Points> pieces;
  const long code = cc_detail::clip({seg.p1(), seg.p2()}, false, clipper, pieces);
  if (code == ccClipInfo::eInside) pieces = {{seg.p1(), seg.p2()}};  // only to rounding
  info.result = pieces.empty() ? ccClipInfo::eOutside : ccClipInfo::ePartial;
  info.pieces = static_cast<long>(pieces.size());
  return pieces.empty() ? emptyResult() : piecesShape(pieces, true);
}

}  // namespace

long cc_detail::clip(const Points& v, bool closed, const ccPolyline& clipper,
                     std::vector<Points>& pieces) {
  checkClipper(clipper);
  pieces.clear();
  const Points& c = clipper.vertices();
  if (v.empty()) return ccClipInfo::eOutside;
  const std::size_t n = edgeCount(v, closed);
  if (n == 0) return within(c, v[0]) ? ccClipInfo::eInside : ccClipInfo::eOutside;

  bool allInside = true, continuing = false, firstAtStart = false;
  Points current;
  for (std::size_t i = 0; i < n; ++i) {
    const ccVector<2>&a = v[i], &b = edgeEnd(v, i);
    const auto intervals = insideIntervals(c, a, b);
    if (intervals.size() != 1 || intervals[0].first != 0 || intervals[0].second != 1)
      allInside = false;
    for (const auto& [t0, t1] : intervals) {
      const ccVector<2> p0 = t0 == 0 ? a : a + (b - a) * t0;
      const ccVector<2> p1 = t1 == 1 ? b : a + (b - a) * t1;
      if (i == 0 && t0 == 0) firstAtStart = true;
      if (t0 == 0 && continuing) {
        current.push_back(p1);
      } else {
        if (!current.empty()) pieces.push_back(current);
        current = {p0, p1};
      }
      continuing = t1 == 1;
    }
    if (intervals.empty() || intervals.back().second != 1) continuing = false;
  }
  if (allInside) {
    pieces.clear();
    return ccClipInfo::eInside;
  }
  if (!current.empty()) pieces.push_back(current);
  // A closed chain's piece that runs through v[0] was cut there: join its two halves.
  if (closed && continuing && firstAtStart && pieces.size() > 1) {
    Points& last = pieces.back();
    last.insert(last.end(), pieces.front().begin() + 1, pieces.front().end());
    pieces.front().swap(last);
    pieces.pop_back();
  }
  pieces.erase(std::remove_if(pieces.begin(), pieces.end(), allSame), pieces.end());
  return pieces.empty() ? ccClipInfo::eOutside : ccClipInfo::ePartial;
}

ccShapePtrh cc_detail::group(const std::vector<ccShapePtrh>& parts) {
  return ccShapePtrh(new ccShapeTree(parts));
}

// ---- ccShape's default: the sampled contour

ccShapePtrh ccShape::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  checkClipper(clipper);
  if (isEmpty()) {
    info.result = ccClipInfo::eOutside;
    info.pieces = 0;
    return emptyResult();
  }
  const ccRect box = boundingBox();
  ccSampleResult samples;
  sample(ccSampleParams(0, 1e-3 * std::hypot(box.width(), box.height())), samples);
  return clipChain(samples.positions(), isRegion(), clipper, info, false,
                   [this] { return clone(); });
}

// ---- Exact clipping of the straight shapes

ccShapePtrh ccLineSeg::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  return clipChain({p1_, p2_}, false, clipper, info, true, [this] { return clone(); });
}

ccShapePtrh ccPolyline::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  return clipChain(vertices_, closed_, clipper, info, false, [this] { return clone(); });
}

ccShapePtrh ccPolygon::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  return clipChain(vertices_, true, clipper, info, false, [this] { return clone(); });
}

ccShapePtrh ccLine::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  return clipLine(pos_, dir_, clipper, info);
}

ccShapePtrh ccFLine::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  return clipLine(point(), dir(), clipper, info);
}

ccShapePtrh ccLineSegSet::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  checkClipper(clipper);
  std::vector<ccLineSeg> kept;
  bool allInside = true;
  for (const auto& s : segments_) {
    std::vector<Points> pieces;
    const long code = cc_detail::clip({s.p1(), s.p2()}, false, clipper, pieces);
    if (code == ccClipInfo::eInside) {
      kept.push_back(s);
      continue;
    }
    allInside = false;
    for (const auto& p : pieces) kept.push_back(ccLineSeg(p.front(), p.back()));
  }
  info.result = allInside && !segments_.empty() ? ccClipInfo::eInside
                : kept.empty()                  ? ccClipInfo::eOutside
                                                : ccClipInfo::ePartial;
  info.pieces = static_cast<long>(kept.size());
  return ccShapePtrh(new ccLineSegSet(kept));
}

ccShapePtrh ccPointSet::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  checkClipper(clipper);
  std::vector<ccVector<2>> kept;
  for (const auto& p : points_)
    if (cc_detail::within(clipper.vertices(), p)) kept.push_back(p);
  info.result = !points_.empty() && kept.size() == points_.size() ? ccClipInfo::eInside
                : kept.empty()                                    ? ccClipInfo::eOutside
                                                                  : ccClipInfo::ePartial;
  info.pieces = static_cast<long>(kept.size());
  return ccShapePtrh(new ccPointSet(kept));
}

ccShapePtrh ccCoordAxes::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  std::vector<Points> pieces, axis;
  long codes[2];
  for (int k = 0; k < 2; ++k) {
    const ccLineSeg s = k == 0 ? xAxis() : yAxis();
    codes[k] = cc_detail::clip({s.p1(), s.p2()}, false, clipper, axis);
    if (codes[k] == ccClipInfo::eInside) axis = {{s.p1(), s.p2()}};
    pieces.insert(pieces.end(), axis.begin(), axis.end());
  }
  if (codes[0] == ccClipInfo::eInside && codes[1] == ccClipInfo::eInside) {
    info.result = ccClipInfo::eInside;
    info.pieces = 1;
    return clone();
  }
  info.result = pieces.empty() ? ccClipInfo::eOutside : ccClipInfo::ePartial;
  info.pieces = static_cast<long>(pieces.size());
  return pieces.empty() ? emptyResult() : piecesShape(pieces, true);
}
