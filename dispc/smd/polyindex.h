// The pieces of an SMD polygon's rounded outline, the crossing rule between two of them, and
// a grid that finds the pieces near a given one. Internal to the polygon code.
//
// Piece ids: 2k is the rounded part of segment k, 2k + 1 the rounding arc of vertex k. A piece
// is absent when its segment does not exist, its vertex is not rounded, or the roundings at
// both ends leave nothing of the segment.
#pragma once

#include <dispc/wrfm/arc.h>
#include <dispc/wrfm/lineseg.h>

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

class ccSMDGDPoly;

// An axis-aligned box, widened by ccSMDPieceMargin; empty for an absent piece.
struct cc_SMDGDPolyBox {
  double x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  bool empty() const { return !(x0 <= x1 && y0 <= y1); }
  bool meets(const cc_SMDGDPolyBox& o) const {
    return x0 <= o.x1 && o.x0 <= x1 && y0 <= o.y1 && o.y0 <= y1;
  }
};

struct cc_SMDGDPolyPiece {
  enum Kind { eAbsent, eLine, eArc };

  // The piece with the given id, built from the polygon's rounding caches.
  static cc_SMDGDPolyPiece make(const ccSMDGDPoly& poly, long id);

  long id = -1;
  Kind kind = eAbsent;
  cc2SegmentLine line;
  cc2SegmentArc arc;

  long index() const { return id / 2; }
  bool isRounding() const { return id % 2 == 1; }
  bool present() const { return kind != eAbsent; }
  cc_SMDGDPolyBox box() const;
  // Where this piece meets o, under the polygon's adjacency rules (neighbouring pieces may
  // share their ends); empty when they do not meet or the rules exclude the pair.
  std::vector<ccVector<2>> meetings(const ccSMDGDPoly& poly, const cc_SMDGDPolyPiece& o) const;
  bool meets(const ccSMDGDPoly& poly, const cc_SMDGDPolyPiece& o) const {
    return !meetings(poly, o).empty();
  }
};

// A uniform hash grid over the piece boxes. Pieces too large for a few cells, or with
// non-finite boxes, are kept apart and offered to every query.
class cc_SMDGDPolyIndex {
 public:
  explicit cc_SMDGDPolyIndex(const ccSMDGDPoly& poly);

  // Number of vertices the grid was sized for; past twice that it is rebuilt.
  long builtFor() const { return builtFor_; }
  // Refreshes both pieces of vertex v (grows the grid for appended vertices).
  void update(const ccSMDGDPoly& poly, long v);
  // Calls f(id) once for every present piece whose box meets b.
  template <class F>
  void near(const cc_SMDGDPolyBox& b, F&& f) const;

 private:
  using Key = std::uint64_t;
  struct CellRange {
    std::int64_t ix0, iy0, ix1, iy1;
  };
  bool cells(const cc_SMDGDPolyBox& b, CellRange& r) const;
  static Key key(std::int64_t ix, std::int64_t iy);
  void insert(std::uint32_t id);
  void remove(std::uint32_t id);

  long builtFor_ = 0;
  double cell_ = 1;
  std::vector<cc_SMDGDPolyBox> boxes_;
  std::unordered_map<Key, std::vector<std::uint32_t>> grid_;
  std::vector<std::uint32_t> big_;
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t query_ = 0;
};

template <class F>
void cc_SMDGDPolyIndex::near(const cc_SMDGDPolyBox& b, F&& f) const {
  if (b.empty()) return;
  if (++query_ == 0) {
    std::fill(seen_.begin(), seen_.end(), 0);
    query_ = 1;
  }
  auto visit = [&](std::uint32_t id) {
    if (seen_[id] == query_) return;
    seen_[id] = query_;
    if (boxes_[id].meets(b)) f(static_cast<long>(id));
  };
  for (std::uint32_t id : big_) visit(id);
  CellRange r;
  if (!cells(b, r)) {  // the query itself is too large: look at every piece
    for (std::uint32_t id = 0; id < boxes_.size(); ++id)
      if (!boxes_[id].empty()) visit(id);
    return;
  }
  for (std::int64_t ix = r.ix0; ix <= r.ix1; ++ix)
    for (std::int64_t iy = r.iy0; iy <= r.iy1; ++iy) {
      auto it = grid_.find(key(ix, iy));
      if (it == grid_.end()) continue;
      for (std::uint32_t id : it->second) visit(id);
    }
}
