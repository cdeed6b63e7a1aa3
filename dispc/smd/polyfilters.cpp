// Filters of lists of SMD polygons: whole polygons dropped by perimeter or closedness,
// polygons cut apart at unwanted segments, and crossing polygons resolved for the longer.
#include <dispc/smd/poly.h>
#include <dispc/smd/polyindex_p.h>

#include <algorithm>
#include <cmath>

namespace {

using PolyList = std::list<ccSMDGDPoly>;

// Perimeters are the unscaled outline lengths: perimeter's second argument is a scale, and a
// scale of 0 would make every perimeter 0, every range test alike and every crossing a tie.
double outlineLength(const ccSMDGDPoly& poly) { return ccSMDGDPolyPrivate::perimeter(poly); }

// The union of the boxes intersection_ compares piece by piece, so two polygons whose boxes
// do not meet have no intersection points. Empty when no piece has a usable box.
cc_SMDGDPolyBox outlineBox(const ccSMDGDPoly& poly) {
  cc_SMDGDPolyBox all;
  for (long id = 0; id < 2 * poly.numVertices(); ++id)
    all.add(cc_SMDGDPolyPiece::make(poly, id).box());
  return all;
}

// Replaces every polygon of the list by the pieces deleteSegments leaves of it once the
// segments collect(poly, segments) lists are removed. A polygon that loses nothing stays as
// it is, an empty one too (deleteSegments would leave no piece of it): a filter of segments
// does not drop polygons that have none.
template <class Collect>
void cutEach(PolyList& polys, Collect collect) {
  std::vector<long> segments;
  std::vector<ccSMDGDPoly> pieces;
  for (auto it = polys.begin(); it != polys.end();) {
    segments.clear();
    collect(*it, segments);
    if (segments.empty()) {
      ++it;
      continue;
    }
    ccSMDGDPolyPrivate::deleteSegments(*it, segments, pieces);
    for (ccSMDGDPoly& piece : pieces) polys.emplace(it)->swap(piece);
    it = polys.erase(it);
  }
}

// The segments of poly: 1 to n-1 when open, 0 to n-1 when closed.
template <class F>
void forEachSegment(const ccSMDGDPoly& poly, F&& f) {
  for (long s = poly.isOpen() ? 1 : 0; s < poly.numVertices(); ++s) f(s);
}

}  // namespace

void ccSMDGDPolyPrivate::perimeterFilter(std::list<ccSMDGDPoly>& polys, const ccRange& r) {
  polys.remove_if([&r](const ccSMDGDPoly& p) { return !r.isWithin(outlineLength(p)); });
}

void ccSMDGDPolyPrivate::closureFilter(std::list<ccSMDGDPoly>& polys, bool keepOpen,
                                       bool keepClosed) {
  if (keepOpen == keepClosed) return;
  polys.remove_if([keepOpen](const ccSMDGDPoly& p) { return p.isOpen() != keepOpen; });
}

void ccSMDGDPolyPrivate::segmentLengthFilter(std::list<ccSMDGDPoly>& polys, const ccRange& r) {
  cutEach(polys, [&r](const ccSMDGDPoly& p, std::vector<long>& out) {
    forEachSegment(p, [&](long s) {
      if (!r.isWithin(p.segmentLength_(s))) out.push_back(s);
    });
  });
}

void ccSMDGDPolyPrivate::segmentAngleSpanFilter(std::list<ccSMDGDPoly>& polys,
                                                const ccDegree& limit) {
  const double most = std::fabs(limit.toDouble());
  cutEach(polys, [most](const ccSMDGDPoly& p, std::vector<long>& out) {
    forEachSegment(p, [&](long s) {
      if (std::fabs(p.vertices_[p.idx(s)].segmentAngleSpan().toDouble()) > most) out.push_back(s);
    });
  });
}

void ccSMDGDPolyPrivate::vertexAngleFilter(std::list<ccSMDGDPoly>& polys, const ccAngleRange& r) {
  cutEach(polys, [&r](const ccSMDGDPoly& p, std::vector<long>& out) {
    for (long v = 0; v < p.numVertices(); ++v) {
      if (p.isEndVertex(v)) continue;
      const ccDegree turn(std::fabs(vertexAngle(p, v).toDouble()));
      if (r.isWithin(turn)) continue;
      out.push_back(p.previousSegmentIndex_(v));
      out.push_back(p.nextSegmentIndex_(v));
    }
  });
}

void ccSMDGDPolyPrivate::crossingPolysResolve(std::list<ccSMDGDPoly>& out,
                                              const std::list<ccSMDGDPoly>& in) {
  if (&out == &in) {
    const PolyList copy(in);
    crossingPolysResolve(out, copy);
    return;
  }
  out.clear();
  // Beside each kept polygon, what comparing with it needs: its box and perimeter.
  struct Kept {
    cc_SMDGDPolyBox box;
    double perimeter;
  };
  std::list<Kept> kept;
  std::vector<std::pair<PolyList::iterator, std::list<Kept>::iterator>> crossed;
  for (const ccSMDGDPoly& a : in) {
    const double length = outlineLength(a);
    const cc_SMDGDPolyBox box = outlineBox(a);
    bool keep = true;
    crossed.clear();
    auto k = kept.begin();
    for (auto b = out.begin(); keep && b != out.end(); ++b, ++k) {
      if (box.empty() || k->box.empty() || !box.meets(k->box)) continue;
      if (intersection_(a, *b).empty()) continue;
      crossed.emplace_back(b, k);
      if (length <= k->perimeter) keep = false;
    }
    if (!keep) continue;
    for (const auto& c : crossed) {
      out.erase(c.first);
      kept.erase(c.second);
    }
    out.push_back(a);
    kept.push_back({box, length});
  }
}

void ccSMDGDPolyPrivate::deleteSegments(const ccSMDGDPoly& poly, const std::vector<long>& segments,
                                        std::vector<ccSMDGDPoly>& pieces) {
  pieces.clear();
  const long n = poly.numVertices();
  if (n == 0) return;
  if (segments.empty()) {
    pieces.push_back(poly);
    return;
  }
  // removed[s] marks segment s as cut; an open polygon has no segment 0.
  std::vector<char> removed(poly.idx(n), 0);
  removed[0] = poly.isOpen();
  const long first = poly.isOpen() ? 1 : 0;
  for (long s : segments) {
    if (s < first || s >= n) throw invalidIndex();
    removed[poly.idx(s)] = 1;
  }
  auto next = [n](long k) { return k + 1 == n ? 0 : k + 1; };
  auto cut = [&](long s) { return removed[poly.idx(s)] != 0; };
  // Start at the first cut segment followed by a kept one; none means everything is cut.
  long start = 0;
  while (start < n && !(cut(start) && !cut(next(start)))) ++start;
  if (start == n) return;
  ccSMDGDPoly piece;
  for (long visited = 0, k = start; visited < n; ++visited, k = next(k)) {
    const long j = next(k);
    // A vertex between two cut segments belongs to no piece.
    if (piece.numVertices() == 0 && cut(j)) continue;
    piece << poly.vertices_[poly.idx(k)];
    if (cut(j)) pieces.emplace_back().swap(piece);  // piece is a fresh "poly" again
  }
}
