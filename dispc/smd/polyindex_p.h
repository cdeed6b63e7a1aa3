// The pieces of an SMD polygon's rounded outline, the crossing rule between two of them, and
// a grid that finds the pieces near a given one. Internal to the polygon code.
//
// Piece ids: 2k is the rounded part of segment k, 2k + 1 the rounding arc of vertex k. A piece
// is absent when its segment does not exist, its vertex is not rounded, or the roundings at
// both ends leave nothing of the segment.
#pragma once

#include <core/rect.h>
#include <dispc/wrfm/arc.h>
#include <dispc/wrfm/lineseg.h>

#include <algorithm>
#include <cstdint>
#include <vector>

class ccSMDGDPoly;

// An axis-aligned box, widened by ccSMDPieceMargin; empty for an absent piece.
struct cc_SMDGDPolyBox {
  double x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  bool empty() const { return !(x0 <= x1 && y0 <= y1); }
  bool meets(const cc_SMDGDPolyBox& o) const {
    return x0 <= o.x1 && o.x0 <= x1 && y0 <= o.y1 && o.y0 <= y1;
  }
  // Grows the box to hold p, or o (an empty o adds nothing).
  void add(const ccVector<2>& p) { add(cc_SMDGDPolyBox{p.x(), p.y(), p.x(), p.y()}); }
  void add(const cc_SMDGDPolyBox& o) {
    if (o.empty()) return;
    if (empty()) {
      *this = o;
      return;
    }
    x0 = std::min(x0, o.x0);
    y0 = std::min(y0, o.y0);
    x1 = std::max(x1, o.x1);
    y1 = std::max(y1, o.y1);
  }
  void add(const ccRect& r) {
    add(cc_SMDGDPolyBox{r.ul().x(), r.ul().y(), r.lr().x(), r.lr().y()});
  }
  // The box as a rectangle; a null rectangle when empty.
  ccRect rect() const {
    return empty() ? ccRect() : ccRect(ccVector<2>(x0, y0), ccVector<2>(x1 - x0, y1 - y0));
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

// The fraction of the way along a piece (of its length for a line, of its span for an arc) at
// which a point on it lies, clamped to [0, 1].
double cfFractionAlong(const cc2SegmentLine& piece, const ccVector<2>& q);
double cfFractionAlong(const cc2SegmentArc& piece, const ccVector<2>& q);

// A uniform grid over the piece boxes, laid over the polygon's extent when it was built:
// cells about the size of a typical piece, but not many more cells than pieces. Boxes beyond
// the extent fall into its border cells (so every query still finds them); pieces too large
// for a few cells, or with non-finite boxes, are kept apart and offered to every query. Each
// cell is a chain of entries in one shared pool.
class cc_SMDGDPolyIndex {
 public:
  explicit cc_SMDGDPolyIndex(const ccSMDGDPoly& poly);
  // Over boxes already made, two per vertex (piece ids index them).
  explicit cc_SMDGDPolyIndex(std::vector<cc_SMDGDPolyBox> boxes);

  // Number of vertices the grid was sized for; past twice that it is rebuilt.
  long builtFor() const { return builtFor_; }
  // Refreshes both pieces of vertex v (grows the grid for appended vertices).
  void update(const ccSMDGDPoly& poly, long v);
  // The box the grid holds for a piece.
  const cc_SMDGDPolyBox& box(long id) const { return boxes_[static_cast<std::size_t>(id)]; }
  // Calls f(id) once for every present piece whose box meets b.
  template <class F>
  void near(const cc_SMDGDPolyBox& b, F&& f) const;

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  struct CellRange {
    long ix0, iy0, ix1, iy1;
  };
  struct Entry {
    std::uint32_t id, next;
  };
  bool cells(const cc_SMDGDPolyBox& b, CellRange& r) const;
  std::uint32_t& head(long ix, long iy) { return heads_[static_cast<std::size_t>(iy * nx_ + ix)]; }
  std::uint32_t head(long ix, long iy) const {
    return heads_[static_cast<std::size_t>(iy * nx_ + ix)];
  }
  void insert(std::uint32_t id);
  void remove(std::uint32_t id);

  long builtFor_ = 0;
  double x0_ = 0, y0_ = 0, cell_ = 1;
  long nx_ = 1, ny_ = 1;
  std::vector<cc_SMDGDPolyBox> boxes_;
  std::vector<std::uint32_t> heads_;
  std::vector<Entry> entries_;
  std::uint32_t free_ = kNone;
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
  for (long iy = r.iy0; iy <= r.iy1; ++iy)
    for (long ix = r.ix0; ix <= r.ix1; ++ix)
      for (std::uint32_t e = head(ix, iy); e != kNone; e = entries_[e].next) visit(entries_[e].id);
}
