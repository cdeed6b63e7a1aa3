// Pieces of the rounded outline, their crossing rule, and the grid that pairs nearby pieces.
#include <dispc/smd/polyindex_p.h>

#include <dispc/smd/poly.h>
#include <dispc/tolerance.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// A piece covering more cells than this is kept in the list every query looks at.
constexpr long kMaxCellsPerPiece = 64;
// The grid has at most about this many cells per piece.
constexpr double kCellsPerPiece = 16;

void include(cc_SMDGDPolyBox& b, const ccVector<2>& p) {
  b.x0 = std::min(b.x0, p.x());
  b.y0 = std::min(b.y0, p.y());
  b.x1 = std::max(b.x1, p.x());
  b.y1 = std::max(b.y1, p.y());
}

cc_SMDGDPolyBox around(const ccVector<2>& p) { return {p.x(), p.y(), p.x(), p.y()}; }

// Both ends of m lie clearly on one side of l's line: farther than any rounding of the
// crossing test could carry them, so the two cannot meet.
bool apart(const cc2SegmentLine& l, const cc2SegmentLine& m) {
  const ccVector<2> d = l.p2() - l.p1();
  const double s1 = d.cross(m.p1() - l.p1()), s2 = d.cross(m.p2() - l.p1());
  const double scale = std::fabs(d.x()) + std::fabs(d.y());
  const double reach = std::fabs(m.p1().x() - l.p1().x()) + std::fabs(m.p1().y() - l.p1().y()) +
                       std::fabs(m.p2().x() - l.p1().x()) + std::fabs(m.p2().y() - l.p1().y());
  const double tol = scale * reach * ccSMDPieceMargin;
  return (s1 > tol && s2 > tol) || (s1 < -tol && s2 < -tol);
}

}  // namespace

cc_SMDGDPolyPiece cc_SMDGDPolyPiece::make(const ccSMDGDPoly& poly, long id) {
  // Degenerate pieces are found before anything is built, so that walking the outline of a
  // loaded polygon with broken caches costs no exceptions.
  cc_SMDGDPolyPiece piece;
  piece.id = id;
  const long k = id / 2;
  if (id % 2 == 1) {
    if (!poly.vertexIsRounded_(k)) return piece;
    const double span = poly.roundSpan_(k).toDouble();
    if (poly.roundStart_(k) == poly.roundEnd_(k) || cfRealEq(span, 0, ccRealEqEpsilon) ||
        !(std::fabs(span) <= 360))
      return piece;
    piece.arc = ccSMDGDPolyPrivate::roundedArcVertex_(poly, k);
    piece.kind = eArc;
  } else if (poly.segmentExists_(k)) {
    if (poly.isLineSegment_(k)) {
      const ccVector<2>& a = poly.roundEnd_(poly.previousVertexIndex_(k));
      const ccVector<2>& b = poly.roundStart_(k);
      if (a == b) return piece;
      piece.line = cc2SegmentLine(a, b);
      piece.kind = eLine;
    } else if (ccSMDGDPolyPrivate::roundedArcSegment_(poly, k, piece.arc)) {
      piece.kind = eArc;
    }
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
  if (kind == eLine && o.kind == eLine)
    return apart(line, o.line) || apart(o.line, line) ? std::vector<ccVector<2>>()
                                                      : line.intersection(o.line, false);
  if (kind == eArc && o.kind == eLine) return arc.intersection(o.line, adjacent);
  if (kind == eLine) return o.arc.intersection(line, adjacent);
  return arc.intersection(o.arc, adjacent);
}

namespace {

std::vector<cc_SMDGDPolyBox> pieceBoxes(const ccSMDGDPoly& poly) {
  std::vector<cc_SMDGDPolyBox> boxes(2 * static_cast<std::size_t>(poly.numVertices()));
  for (std::size_t id = 0; id < boxes.size(); ++id)
    boxes[id] = cc_SMDGDPolyPiece::make(poly, static_cast<long>(id)).box();
  return boxes;
}

}  // namespace

cc_SMDGDPolyIndex::cc_SMDGDPolyIndex(const ccSMDGDPoly& poly)
    : cc_SMDGDPolyIndex(pieceBoxes(poly)) {}

cc_SMDGDPolyIndex::cc_SMDGDPolyIndex(std::vector<cc_SMDGDPolyBox> boxes)
    : builtFor_(static_cast<long>(boxes.size() / 2)), boxes_(std::move(boxes)) {
  const std::size_t count = boxes_.size();
  seen_.assign(count, 0);
  double sum = 0;
  long present = 0;
  cc_SMDGDPolyBox extent;
  for (const cc_SMDGDPolyBox& b : boxes_) {
    const double size = std::max(b.x1 - b.x0, b.y1 - b.y0);
    if (b.empty() || !std::isfinite(size) || !std::isfinite(b.x0) || !std::isfinite(b.y0)) continue;
    sum += size;
    ++present;
    extent = extent.empty() ? b
                            : cc_SMDGDPolyBox{std::min(extent.x0, b.x0), std::min(extent.y0, b.y0),
                                              std::max(extent.x1, b.x1), std::max(extent.y1, b.y1)};
  }
  // Cells about the size of a typical piece, so that each piece lands in a few cells, widened
  // until there are at most kCellsPerPiece cells per piece (an outline fills few cells of its
  // extent, and empty cells cost only their chain head).
  const double w = extent.empty() ? 0 : extent.x1 - extent.x0;
  const double h = extent.empty() ? 0 : extent.y1 - extent.y0;
  const double mean = present ? sum / present : 0;
  cell_ = mean > 0 && std::isfinite(mean) ? mean : std::max({w, h, 1.0});
  const double most = kCellsPerPiece * static_cast<double>(count) + 64;
  while ((w / cell_ + 1) * (h / cell_ + 1) > most) cell_ *= 1.5;
  x0_ = extent.empty() ? 0 : extent.x0;
  y0_ = extent.empty() ? 0 : extent.y0;
  nx_ = static_cast<long>(w / cell_) + 1;
  ny_ = static_cast<long>(h / cell_) + 1;
  heads_.assign(static_cast<std::size_t>(nx_ * ny_), kNone);
  entries_.reserve(2 * count);
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
  const double c[4] = {(b.x0 - x0_) / cell_, (b.y0 - y0_) / cell_, (b.x1 - x0_) / cell_,
                       (b.y1 - y0_) / cell_};
  if (!(std::isfinite(c[0]) && std::isfinite(c[1]) && std::isfinite(c[2]) && std::isfinite(c[3])))
    return false;
  // Clamping keeps the order of coordinates, so boxes that meet still share a cell; after it
  // truncation is the floor.
  auto column = [](double v, long n) {
    return static_cast<long>(std::min(std::max(v, 0.0), static_cast<double>(n - 1)));
  };
  r = {column(c[0], nx_), column(c[1], ny_), column(c[2], nx_), column(c[3], ny_)};
  return (r.ix1 - r.ix0 + 1) * (r.iy1 - r.iy0 + 1) <= kMaxCellsPerPiece;
}

void cc_SMDGDPolyIndex::insert(std::uint32_t id) {
  const cc_SMDGDPolyBox& b = boxes_[id];
  if (b.empty()) return;
  CellRange r;
  if (!cells(b, r)) {
    big_.push_back(id);
    return;
  }
  for (long iy = r.iy0; iy <= r.iy1; ++iy)
    for (long ix = r.ix0; ix <= r.ix1; ++ix) {
      std::uint32_t& chain = head(ix, iy);
      std::uint32_t e;
      if (free_ != kNone) {
        e = free_;
        free_ = entries_[e].next;
        entries_[e] = {id, chain};
      } else {
        e = static_cast<std::uint32_t>(entries_.size());
        entries_.push_back({id, chain});
      }
      chain = e;
    }
}

void cc_SMDGDPolyIndex::remove(std::uint32_t id) {
  const cc_SMDGDPolyBox& b = boxes_[id];
  if (b.empty()) return;
  CellRange r;
  if (!cells(b, r)) {
    auto it = std::find(big_.begin(), big_.end(), id);
    if (it != big_.end()) {
      *it = big_.back();
      big_.pop_back();
    }
    return;
  }
  for (long iy = r.iy0; iy <= r.iy1; ++iy)
    for (long ix = r.ix0; ix <= r.ix1; ++ix)
      for (std::uint32_t* link = &head(ix, iy); *link != kNone; link = &entries_[*link].next)
        if (entries_[*link].id == id) {
          const std::uint32_t e = *link;
          *link = entries_[e].next;
          entries_[e].next = free_;
          free_ = e;
          break;
        }
}
