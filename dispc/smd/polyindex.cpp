// Pieces of the rounded outline, their crossing rule, and the grid that pairs nearby pieces.
#include <dispc/smd/polyindex.h>

#include <core/errors.h>
#include <dispc/smd/poly.h>
#include <dispc/tolerance.h>

#include <algorithm>
#include <cmath>

namespace {

// A piece covering more cells than this is kept in the list every query looks at.
constexpr std::int64_t kMaxCellsPerPiece = 64;
// Cell coordinates are clamped here, far inside the 64-bit range, so far-off boxes share
// edge cells instead of overflowing.
constexpr double kCellLimit = 1e12;

void include(cc_SMDGDPolyBox& b, const ccVector<2>& p) {
  b.x0 = std::min(b.x0, p.x());
  b.y0 = std::min(b.y0, p.y());
  b.x1 = std::max(b.x1, p.x());
  b.y1 = std::max(b.y1, p.y());
}

cc_SMDGDPolyBox around(const ccVector<2>& p) { return {p.x(), p.y(), p.x(), p.y()}; }

}  // namespace

cc_SMDGDPolyPiece cc_SMDGDPolyPiece::make(const ccSMDGDPoly& poly, long id) {
  cc_SMDGDPolyPiece piece;
  piece.id = id;
  const long k = id / 2;
  try {
    if (id % 2 == 1) {
      if (!poly.vertexIsRounded_(k)) return piece;
      piece.arc = ccSMDGDPolyPrivate::roundedArcVertex_(poly, k);
      piece.kind = eArc;
    } else {
      if (!poly.segmentExists_(k)) return piece;
      if (poly.isLineSegment_(k)) {
        piece.line = ccSMDGDPolyPrivate::roundedLineSegment_(poly, k);
        piece.kind = eLine;
      } else {
        piece.arc = ccSMDGDPolyPrivate::roundedArcSegment_(poly, k);
        piece.kind = eArc;
      }
    }
  } catch (const ccShapesError::DegenerateShape&) {
    piece.kind = eAbsent;  // nothing left of it: it cannot meet anything
  }
  return piece;
}

cc_SMDGDPolyBox cc_SMDGDPolyPiece::box() const {
  cc_SMDGDPolyBox b;
  if (kind == eLine) {
    b = around(line.p1());
    include(b, line.p2());
  } else if (kind == eArc) {
    b = around(arc.p1());
    include(b, arc.p2());
    for (double a : {0.0, 90.0, 180.0, 270.0})
      if (arc.validAngle(ccDegree(a), true)) include(b, arc.arcPoint(ccDegree(a)));
  } else {
    return b;
  }
  const double size = std::max(b.x1 - b.x0, b.y1 - b.y0);
  const double place =
      std::max({std::fabs(b.x0), std::fabs(b.x1), std::fabs(b.y0), std::fabs(b.y1)});
  const double margin = (size + place) * ccSMDPieceMargin;
  b.x0 -= margin;
  b.y0 -= margin;
  b.x1 += margin;
  b.y1 += margin;
  return b;
}

std::vector<ccVector<2>> cc_SMDGDPolyPiece::meetings(const ccSMDGDPoly& poly,
                                                     const cc_SMDGDPolyPiece& o) const {
  if (!present() || !o.present() || id == o.id) return {};
  const long a = index(), b = o.index();
  bool adjacent = false;
  if (isRounding() && o.isRounding()) {
    // Roundings of the two ends of one segment may touch where their arcs end.
    adjacent = (poly.segmentExists_(b) && poly.previousVertexIndex_(b) == a) ||
               (poly.segmentExists_(a) && poly.previousVertexIndex_(a) == b);
  } else if (isRounding() || o.isRounding()) {
    // A rounding never meets its own segments: they touch at its ends by construction.
    const long v = isRounding() ? a : b, s = isRounding() ? b : a;
    if (poly.previousSegmentIndex_(v) == s || poly.nextSegmentIndex_(v) == s) return {};
  } else {
    // Segments in sequence share a vertex; two such lines never cross.
    adjacent = poly.nextVertexIndex_(a) == poly.previousVertexIndex_(b) ||
               poly.previousVertexIndex_(a) == poly.nextVertexIndex_(b);
    if (adjacent && kind == eLine && o.kind == eLine) return {};
  }
  if (kind == eLine && o.kind == eLine) return line.intersection(o.line, false);
  if (kind == eArc && o.kind == eLine) return arc.intersection(o.line, adjacent);
  if (kind == eLine) return o.arc.intersection(line, adjacent);
  return arc.intersection(o.arc, adjacent);
}

cc_SMDGDPolyIndex::cc_SMDGDPolyIndex(const ccSMDGDPoly& poly) : builtFor_(poly.numVertices()) {
  const std::size_t count = 2 * static_cast<std::size_t>(poly.numVertices());
  boxes_.resize(count);
  seen_.assign(count, 0);
  double sum = 0;
  long present = 0;
  for (std::size_t id = 0; id < count; ++id) {
    boxes_[id] = cc_SMDGDPolyPiece::make(poly, static_cast<long>(id)).box();
    const cc_SMDGDPolyBox& b = boxes_[id];
    const double size = std::max(b.x1 - b.x0, b.y1 - b.y0);
    if (!b.empty() && std::isfinite(size)) {
      sum += size;
      ++present;
    }
  }
  // Cells about the size of a typical piece: each piece lands in a few cells, and a query
  // sees the pieces of a few cells.
  const double mean = present ? sum / present : 0;
  cell_ = mean > 0 && std::isfinite(mean) ? mean : 1;
  for (std::size_t id = 0; id < count; ++id) insert(static_cast<std::uint32_t>(id));
}

void cc_SMDGDPolyIndex::update(const ccSMDGDPoly& poly, long v) {
  const std::size_t count = 2 * static_cast<std::size_t>(poly.numVertices());
  if (boxes_.size() < count) {
    boxes_.resize(count);
    seen_.resize(count, 0);
  }
  for (long id : {2 * v, 2 * v + 1}) {
    const auto u = static_cast<std::uint32_t>(id);
    remove(u);
    boxes_[u] = cc_SMDGDPolyPiece::make(poly, id).box();
    insert(u);
  }
}

bool cc_SMDGDPolyIndex::cells(const cc_SMDGDPolyBox& b, CellRange& r) const {
  const double c[4] = {b.x0 / cell_, b.y0 / cell_, b.x1 / cell_, b.y1 / cell_};
  std::int64_t i[4];
  for (int k = 0; k < 4; ++k) {
    if (!std::isfinite(c[k])) return false;
    i[k] = static_cast<std::int64_t>(std::floor(std::clamp(c[k], -kCellLimit, kCellLimit)));
  }
  r = {i[0], i[1], i[2], i[3]};
  const std::int64_t w = r.ix1 - r.ix0 + 1, h = r.iy1 - r.iy0 + 1;
  return w <= kMaxCellsPerPiece && h <= kMaxCellsPerPiece && w * h <= kMaxCellsPerPiece;
}

cc_SMDGDPolyIndex::Key cc_SMDGDPolyIndex::key(std::int64_t ix, std::int64_t iy) {
  return (static_cast<Key>(static_cast<std::uint32_t>(ix)) << 32) ^
         static_cast<Key>(static_cast<std::uint32_t>(iy)) ^
         (static_cast<Key>(static_cast<std::uint64_t>(ix) >> 32) * 0x9E3779B97F4A7C15ull);
}

void cc_SMDGDPolyIndex::insert(std::uint32_t id) {
  const cc_SMDGDPolyBox& b = boxes_[id];
  if (b.empty()) return;
  CellRange r;
  if (!cells(b, r)) {
    big_.push_back(id);
    return;
  }
  for (std::int64_t ix = r.ix0; ix <= r.ix1; ++ix)
    for (std::int64_t iy = r.iy0; iy <= r.iy1; ++iy) grid_[key(ix, iy)].push_back(id);
}

void cc_SMDGDPolyIndex::remove(std::uint32_t id) {
  const cc_SMDGDPolyBox& b = boxes_[id];
  if (b.empty()) return;
  auto drop = [id](std::vector<std::uint32_t>& ids) {
    auto it = std::find(ids.begin(), ids.end(), id);
    if (it == ids.end()) return;
    *it = ids.back();
    ids.pop_back();
  };
  CellRange r;
  if (!cells(b, r)) {
    drop(big_);
    return;
  }
  for (std::int64_t ix = r.ix0; ix <= r.ix1; ++ix)
    for (std::int64_t iy = r.iy0; iy <= r.iy1; ++iy) {
      auto it = grid_.find(key(ix, iy));
      if (it != grid_.end()) drop(it->second);
    }
}
