// ccSMDGDPoly: the data model, index rules, transactional edits, validation, comparison and
// archive form. The geometry lives in polygeometry.cpp, the piece grid in polyindex.cpp.
#include <dispc/smd/poly.h>

#include <core/assert.h>
#include <core/errors.h>
#include <dispc/smd/polyindex_p.h>
#include <dispc/wrfm/wirefrm.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Below this many vertices, comparing every pair of pieces is cheaper than a grid.
constexpr long kIndexMinVertices = 48;

// Reserves room for n elements, growing geometrically so that appends stay amortised O(1).
template <class T>
void makeRoom(std::vector<T>& v, std::size_t n) {
  if (v.capacity() < n) v.reserve(std::max(n, 2 * v.capacity()));
}

bool finite(const ccVector<2>& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// NaN and infinities are refused where they enter: nothing downstream could order them.
void checkFinite(const ccSMDGDPolyVertex& v) {
  const ccDimTol& t = v.segmentLengthTol();
  if (!finite(v.point()) || !std::isfinite(v.segmentAngleSpan().toDouble()) ||
      !std::isfinite(v.percentPrevSegment()) || !std::isfinite(v.percentNextSegment()) ||
      !std::isfinite(t.nomDim()) || !std::isfinite(t.minTol()) || !std::isfinite(t.maxTol()))
    throw ccSMDGDPoly::invalidVertices();
  if (!std::isfinite(v.vertexRadius())) throw ccSMDGDPoly::invalidRounding();
}

ccSMDGDPolyVertex sharpVertex(const ccVector<2>& p, long label,
                              const ccDegree& span = ccDegree(0)) {
  return ccSMDGDPolyVertex(p, 0, span, 0.5, 0.5, label, ccDimTol(-1, -1, -1, ccDimTol::eLimits));
}

}  // namespace

// What an edit may change, saved before it so that a failed edit can be undone in place: the
// structural change (one vertex inserted, replaced or deleted), the rounding caches near it,
// the labels and the open flag. Large edits save everything.
class ccSMDGDPoly::Journal {
 public:
  // Saves the caches of the vertices within reach of vertex at (before the edit) and of the
  // ends, which covers every rounding a local revalidation recomputes.
  Journal(const ccSMDGDPoly& p, long at) : open_(p.open_), labels_(p.subModelLabels_) {
    const long n = p.numVertices(), reach = 4;
    if (n <= 4 * reach) {
      for (long i = 0; i < n; ++i) save(p, i);
      return;
    }
    for (long centre : {at, 0L, n - 1})
      for (long d = -reach; d <= reach; ++d) save(p, ((centre + d) % n + n) % n);
  }
  // Takes every vertex and cache out of p (for edits that replace them all); p is left
  // without vertices.
  explicit Journal(ccSMDGDPoly& p) : open_(p.open_), labels_(p.subModelLabels_), whole_(true) {
    vertices_.swap(p.vertices_);
    starts_.swap(p.roundStarts_);
    ends_.swap(p.roundEnds_);
    spans_.swap(p.roundSpans_);
  }

  void inserted(long at) {
    op_ = eInserted;
    at_ = at;
  }
  void replaced(long at, const ccSMDGDPolyVertex& old) {
    op_ = eReplaced;
    at_ = at;
    old_ = old;
  }
  void deleted(long at, const ccSMDGDPolyVertex& old) {
    replaced(at, old);
    op_ = eDeleted;
  }

  // Puts the polygon back as it was when the journal was made.
  void rollback(ccSMDGDPoly& p) {
    p.index_.reset();
    p.open_ = open_;
    p.subModelLabels_.swap(labels_);
    if (whole_) {
      p.vertices_.swap(vertices_);
      p.roundStarts_.swap(starts_);
      p.roundEnds_.swap(ends_);
      p.roundSpans_.swap(spans_);
      return;
    }
    const auto at = static_cast<std::ptrdiff_t>(at_);
    switch (op_) {
      case eInserted:
        p.vertices_.erase(p.vertices_.begin() + at);
        p.roundStarts_.erase(p.roundStarts_.begin() + at);
        p.roundEnds_.erase(p.roundEnds_.begin() + at);
        p.roundSpans_.erase(p.roundSpans_.begin() + at);
        break;
      case eReplaced:
        p.vertices_[p.idx(at_)] = old_;
        break;
      case eDeleted:
        p.vertices_.insert(p.vertices_.begin() + at, old_);
        p.roundStarts_.insert(p.roundStarts_.begin() + at, ccVector<2>());
        p.roundEnds_.insert(p.roundEnds_.begin() + at, ccVector<2>());
        p.roundSpans_.insert(p.roundSpans_.begin() + at, ccDegree());
        break;
      case eNone:
        break;
    }
    for (const Saved& s : saved_) {
      p.roundStarts_[p.idx(s.index)] = s.start;
      p.roundEnds_[p.idx(s.index)] = s.end;
      p.roundSpans_[p.idx(s.index)] = s.span;
    }
  }

 private:
  enum Op { eNone, eInserted, eReplaced, eDeleted };
  struct Saved {
    long index;
    ccVector<2> start, end;
    ccDegree span;
  };
  void save(const ccSMDGDPoly& p, long i) {
    for (const Saved& s : saved_)
      if (s.index == i) return;
    saved_.push_back(
        {i, p.roundStarts_[p.idx(i)], p.roundEnds_[p.idx(i)], p.roundSpans_[p.idx(i)]});
  }

  bool open_;
  std::vector<std::int32_t> labels_;
  bool whole_ = false;
  std::vector<ccSMDGDPolyVertex> vertices_;
  std::vector<ccVector<2>> starts_, ends_;
  std::vector<ccDegree> spans_;
  std::vector<Saved> saved_;
  Op op_ = eNone;
  long at_ = 0;
  ccSMDGDPolyVertex old_;
};

namespace {

// Runs a change; on any exception puts the polygon back and rethrows the exception unchanged.
template <class Journal, class Poly, class Change>
void transact(Journal& journal, Poly& poly, Change&& change) {
  try {
    change();
  } catch (...) {
    journal.rollback(poly);
    throw;
  }
}

}  // namespace

ccSMDGDPoly::ccSMDGDPoly(const std::string& name) : ccSMDGeometricDescription(name) {}

ccSMDGDPoly::ccSMDGDPoly(const cc2Wireframe& wireframe, const std::string& name)
    : ccSMDGeometricDescription(name) {
  ccSMDGDPoly copy(ccSMDGDPolyPrivate::poly(wireframe));
  try {
    copy.vertices(copy.vertices());  // the whole polygon validated, its caches recomputed
  } catch (const ccException& e) {
    throw ccShapesError::BadGeom("the wireframe's polygon is not valid: " + e.message());
  }
  swap(copy);
}

ccSMDGDPoly::ccSMDGDPoly(const ccSMDGDPoly& o)
    : ccPersistent(o),
      ccRepBase(o),
      ccSMDGeometricDescription(o),
      vertices_(o.vertices_),
      subModelLabels_(o.subModelLabels_),
      roundStarts_(o.roundStarts_),
      roundEnds_(o.roundEnds_),
      roundSpans_(o.roundSpans_),
      open_(o.open_),
      directionReversed_(o.directionReversed_),
      colors_(o.colors_),
      positiveArrowColor_(o.positiveArrowColor_),
      negativeArrowColor_(o.negativeArrowColor_),
      weight_(o.weight_) {}

ccSMDGDPoly& ccSMDGDPoly::operator=(const ccSMDGDPoly& o) {
  if (this != &o) {
    ccSMDGDPoly copy(o);
    mutating();
    swap(copy);
  }
  return *this;
}

ccSMDGDPoly::~ccSMDGDPoly() = default;

void ccSMDGDPoly::swap(ccSMDGDPoly& o) noexcept {
  swapName(o);
  vertices_.swap(o.vertices_);
  subModelLabels_.swap(o.subModelLabels_);
  roundStarts_.swap(o.roundStarts_);
  roundEnds_.swap(o.roundEnds_);
  roundSpans_.swap(o.roundSpans_);
  std::swap(open_, o.open_);
  std::swap(directionReversed_, o.directionReversed_);
  std::swap(colors_, o.colors_);
  std::swap(positiveArrowColor_, o.positiveArrowColor_);
  std::swap(negativeArrowColor_, o.negativeArrowColor_);
  std::swap(weight_, o.weight_);
  index_.swap(o.index_);
}

void ccSMDGDPoly::reset() { *this = ccSMDGDPoly(); }

ccSMDGDPoly ccSMDGDPoly::circle(double r, const ccVector<2>& c) {
  ccSMDGDPoly p;
  p.vertices({sharpVertex(c + ccVector<2>(-r, 0), 0, ccDegree(180)),
              sharpVertex(c + ccVector<2>(r, 0), 0, ccDegree(180))});
  p.close();
  return p;
}

ccSMDGDPoly ccSMDGDPoly::rectangle(double w, double h, const ccVector<2>& c) {
  ccSMDGDPoly p;
  p.vertices({sharpVertex(c + ccVector<2>(w / 2, h / 2), 0),
              sharpVertex(c + ccVector<2>(-w / 2, h / 2), 1),
              sharpVertex(c + ccVector<2>(-w / 2, -h / 2), 2),
              sharpVertex(c + ccVector<2>(w / 2, -h / 2), 3)});
  p.close();
  return p;
}

ccSMDGDPoly ccSMDGDPoly::triangle(double w, double h, const ccVector<2>& c) {
  ccSMDGDPoly p;
  p.vertices({sharpVertex(c + ccVector<2>(0, 2 * h / 3), 0),
              sharpVertex(c + ccVector<2>(-w / 2, -h / 3), 1),
              sharpVertex(c + ccVector<2>(w / 2, -h / 3), 2)});
  p.close();
  return p;
}

bool ccSMDGDPoly::isCircle(const ccSMDGDPoly& p) {
  if (!p.isClosed() || p.numVertices() != 2) return false;
  const double a = p.vertices_[0].segmentAngleSpan().toDouble();
  const double b = p.vertices_[1].segmentAngleSpan().toDouble();
  return !p.vertexIsRounded_(0) && !p.vertexIsRounded_(1) &&
         cfRealEq(std::fabs(a), 180, ccSMDVertexTolerance) && cfRealEq(a, b, ccSMDVertexTolerance);
}

ccSMDGDPoly& ccSMDGDPoly::operator<<(const ccSMDGDPolyVertex& v) {
  insertVertex(numVertices() - 1, v);
  return *this;
}

void ccSMDGDPoly::insertVertex(long i, const ccSMDGDPolyVertex& v) {
  const long n = numVertices();
  if (i < -1 || i > n - 1) throw invalidIndex();
  checkFinite(v);
  mutating();
  // With room reserved, the inserts below cannot fail half way.
  const std::size_t room = vertices_.size() + 1;
  makeRoom(vertices_, room);
  makeRoom(roundStarts_, room);
  makeRoom(roundEnds_, room);
  makeRoom(roundSpans_, room);
  Journal journal(*this, std::max(i, 0L));
  const auto at = static_cast<std::ptrdiff_t>(i + 1);
  transact(journal, *this, [&] {
    vertices_.insert(vertices_.begin() + at, v);
    journal.inserted(i + 1);
    roundStarts_.insert(roundStarts_.begin() + at, v.point());
    roundEnds_.insert(roundEnds_.begin() + at, v.point());
    roundSpans_.insert(roundSpans_.begin() + at, ccDegree());
    // Appending keeps every piece's number; anything else renumbers the grid's pieces.
    if (i + 1 != n) index_.reset();
    addVertexLabel_(v.subModelLabel());
    validateInsertion_(i);
  });
}

void ccSMDGDPoly::replaceVertex(long i, const ccSMDGDPolyVertex& v) {
  if (i < 0 || i >= numVertices()) throw invalidIndex();
  checkFinite(v);
  mutating();
  Journal journal(*this, i);
  journal.replaced(i, vertices_[idx(i)]);
  transact(journal, *this, [&] {
    vertices_[idx(i)] = v;
    rebuildLabels_();
    validateReplacement_(i);
  });
}

void ccSMDGDPoly::deleteVertex(long i) {
  if (i < 0 || i >= numVertices()) throw invalidIndex();
  mutating();
  Journal journal(*this, i);
  journal.deleted(i, vertices_[idx(i)]);
  const auto at = static_cast<std::ptrdiff_t>(i);
  transact(journal, *this, [&] {
    index_.reset();
    vertices_.erase(vertices_.begin() + at);
    roundStarts_.erase(roundStarts_.begin() + at);
    roundEnds_.erase(roundEnds_.begin() + at);
    roundSpans_.erase(roundSpans_.begin() + at);
    rebuildLabels_();
    validateDeletion_(i);
  });
}

void ccSMDGDPoly::deleteAllVertices() { vertices({}); }

void ccSMDGDPoly::vertices(const std::vector<ccSMDGDPolyVertex>& v) {
  for (const ccSMDGDPolyVertex& vertex : v) checkFinite(vertex);
  // v may be this polygon's own vertices, which the journal takes away.
  std::vector<ccSMDGDPolyVertex> fresh(v);
  mutating();
  Journal journal(*this);
  transact(journal, *this, [&] {
    index_.reset();
    vertices_.swap(fresh);
    roundStarts_.resize(v.size());
    std::transform(v.begin(), v.end(), roundStarts_.begin(),
                   [](const auto& x) { return x.point(); });
    roundEnds_ = roundStarts_;
    roundSpans_.assign(v.size(), ccDegree());
    rebuildLabels_();
    validate_();
  });
}

void ccSMDGDPoly::close() {
  mutating();
  Journal journal(*this, 0);
  transact(journal, *this, [&] {
    open_ = false;
    validateClose_();
  });
}

void ccSMDGDPoly::open() {
  mutating();
  Journal journal(*this, 0);
  transact(journal, *this, [&] {
    open_ = true;
    validateReplacement_(0);
  });
}

long ccSMDGDPoly::numSegments() const {
  const long n = numVertices();
  if (n < 2) return 0;
  return open_ ? n - 1 : n;
}

bool ccSMDGDPoly::isEndVertex(long v) const { return open_ && (v == 0 || v == numVertices() - 1); }

void ccSMDGDPoly::weight(double w) {
  mutating();
  weight_ = w;
}

void ccSMDGDPoly::colors(const ccSMDColors& c) {
  mutating();
  colors_ = c;
}

void ccSMDGDPoly::positiveArrowColor(const ccColor& c) {
  mutating();
  positiveArrowColor_ = c;
}

void ccSMDGDPoly::negativeArrowColor(const ccColor& c) {
  mutating();
  negativeArrowColor_ = c;
}

void ccSMDGDPoly::toggleDirection() {
  mutating();
  directionReversed_ = !directionReversed_;
}

bool ccSMDGDPoly::isDirectionPositive() const {
  if (open_) throw notClosed();
  return (ccSMDGDPolyPrivate::signedArea2_(*this) > 0) != directionReversed_;
}

long ccSMDGDPoly::lastSegmentIndex_() const {
  const long last = numVertices() - 1;
  return open_ ? previousSegmentIndex_(last) : nextSegmentIndex_(last);
}

// With fewer than two vertices there are no segments at all, also in a closed polygon (one
// loaded from an archive may hold a single vertex).
long ccSMDGDPoly::previousSegmentIndex_(long v) const {
  if (numVertices() < 2 || (open_ && v == 0)) return -1;
  return v;
}

long ccSMDGDPoly::nextSegmentIndex_(long v) const {
  const long n = numVertices();
  if (n < 2 || (open_ && v == n - 1)) return -1;
  return (v + 1) % n;
}

void ccSMDGDPoly::getSegmentIndices_(long& prev, long& next, long v) const {
  prev = previousSegmentIndex_(v);
  next = nextSegmentIndex_(v);
}

void ccSMDGDPoly::getVertexIndices_(long& prev, long& next, long s) const {
  prev = previousVertexIndex_(s);
  next = nextVertexIndex_(s);
}

long ccSMDGDPoly::cyclic_(long i) const {
  const long n = numVertices();
  if (i >= 0 && i < n) return i;  // the usual cases first: no division
  if (n == 0) return 0;
  if (i == -1 || i == n) return i == -1 ? n - 1 : 0;
  return ((i % n) + n) % n;
}

long ccSMDGDPoly::vertexIndex_(long i, bool wrap) const {
  const long n = numVertices();
  if (n == 0) throw invalidIndex();
  if (wrap) return cyclic_(i);
  if (i < 0 || i >= n) throw invalidIndex();
  return i;
}

long ccSMDGDPoly::segmentIndex_(long i, bool wrap) const {
  const long s = vertexIndex_(i, wrap);
  if (!segmentExists_(s)) throw invalidIndex();
  return s;
}

bool ccSMDGDPoly::vertexIsRounded_(long v) const {
  if (cfRealEq(vertices_[idx(v)].vertexRadius(), 0.0, ccRealEqEpsilon)) return false;
  // End vertices of an open polygon (and any vertex without two segments) stay sharp.
  return previousSegmentIndex_(v) != -1 && nextSegmentIndex_(v) != -1;
}

double ccSMDGDPoly::vertexRadius_(long v) const {
  return std::fabs(vertices_[idx(v)].vertexRadius());
}

bool ccSMDGDPoly::isLineSegment_(long s) const {
  const ccDegree& span = vertices_[idx(s)].segmentAngleSpan();
  return span.toDouble() == 0 || cfRealEq(span.signedNorm().toDouble(), 0.0, ccRealEqEpsilon);
}

double ccSMDGDPoly::segmentLength_(long s) const {
  return isLineSegment_(s) ? ccSMDGDPolyPrivate::lineSegment_(*this, s).length()
                           : ccSMDGDPolyPrivate::arcSegment_(*this, s).length();
}

double ccSMDGDPoly::forwardPercExtension_(long s) const {
  return vertices_[idx(nextVertexIndex_(segmentIndex_(s, false)))].extensionForward();
}

void ccSMDGDPoly::forwardPercExtension_(long s, double e) {
  mutating();
  vertices_[idx(nextVertexIndex_(segmentIndex_(s, false)))].extensionForward(e);
}

double ccSMDGDPoly::backwardPercExtension_(long s) const {
  return vertices_[idx(previousVertexIndex_(segmentIndex_(s, false)))].extensionBackward();
}

void ccSMDGDPoly::backwardPercExtension_(long s, double e) {
  mutating();
  vertices_[idx(previousVertexIndex_(segmentIndex_(s, false)))].extensionBackward(e);
}

ccSMDDimension ccSMDGDPoly::segmentDimension(long s) const {
  try {
    const long k = segmentIndex_(s, false);
    ccDimTol tol = vertices_[idx(k)].segmentLengthTol();
    tol.nomDim(segmentLength_(k));
    return ccSMDDimension(tol);
  } catch (const ccException&) {
    throw ccSMDGDPolyVertex::invalidSegmentLength();
  }
}

std::vector<long> ccSMDGDPoly::segmentsOutOfTolerance(const ccXform<2>& x1,
                                                      const ccXform<2>& x2) const {
  std::vector<long> out;
  for (long k = 0; k < numVertices(); ++k) {
    if (!segmentExists_(k)) continue;
    const ccSMDDimension dim = segmentDimension(k);
    if (dim.minDim() < 0 && dim.maxDim() < 0) continue;  // no tolerance
    double l1, l2;
    if (isLineSegment_(k)) {
      const cc2SegmentLine line = ccSMDGDPolyPrivate::lineSegment_(*this, k);
      l1 = (x1 * line.p2() - x1 * line.p1()).length();
      l2 = (x2 * line.p2() - x2 * line.p1()).length();
    } else {
      const cc2SegmentArc arc = ccSMDGDPolyPrivate::arcSegment_(*this, k);
      l1 = (x1 * arc).length();
      l2 = (x2 * arc).length();
    }
    if (!dim.withinTolerance(l1, l2 / dim.nomDim())) out.push_back(k);
  }
  return out;
}

bool ccSMDGDPoly::operator==(const ccSMDGDPoly& o) const {
  if (numVertices() != o.numVertices() || open_ != o.open_) return false;
  for (std::size_t i = 0; i < vertices_.size(); ++i)
    if (vertices_[i] != o.vertices_[i]) return false;
  return directionReversed_ == o.directionReversed_ && colors_ == o.colors_ &&
         positiveArrowColor_ == o.positiveArrowColor_ &&
         negativeArrowColor_ == o.negativeArrowColor_ &&
         cfRealEq(weight_, o.weight_, ccRealEqEpsilon);
}

bool cfRealEq(const ccSMDGDPolyVertex& a, const ccSMDGDPolyVertex& b, double tol) {
  const ccRadian sa(a.segmentAngleSpan()), sb(b.segmentAngleSpan());
  return cfRealEq(a.point(), b.point(), tol) && cfRealEq(a.vertexRadius(), b.vertexRadius(), tol) &&
         cfRealEq(sin(sa), sin(sb), tol) && cfRealEq(cos(sa), cos(sb), tol) &&
         cfRealEq(a.percentPrevSegment(), b.percentPrevSegment(), tol) &&
         cfRealEq(a.percentNextSegment(), b.percentNextSegment(), tol) &&
         cfRealEq(a.extensionForward(), b.extensionForward(), tol) &&
         cfRealEq(a.extensionBackward(), b.extensionBackward(), tol) &&
         a.subModelLabel() == b.subModelLabel() && a.segmentLengthTol() == b.segmentLengthTol();
}

bool cfRealEq(const ccSMDGDPoly& a, const ccSMDGDPoly& b, double tol) {
  if (a.numVertices() != b.numVertices() || a.isOpen() != b.isOpen()) return false;
  for (long i = 0; i < a.numVertices(); ++i)
    if (!cfRealEq(a.vertex(i), b.vertex(i), tol)) return false;
  return a.isDirectionReversed() == b.isDirectionReversed() && a.colors() == b.colors() &&
         a.positiveArrowColor() == b.positiveArrowColor() &&
         a.negativeArrowColor() == b.negativeArrowColor() && cfRealEq(a.weight(), b.weight(), tol);
}

namespace {

template <class Map>
ccSMDGDPoly mapped(const ccSMDGDPoly& poly, Map&& map) {
  ccSMDGDPoly out(poly);
  std::vector<ccSMDGDPolyVertex> v;
  v.reserve(poly.vertices().size());
  for (const ccSMDGDPolyVertex& x : poly.vertices()) v.push_back(map(x));
  out.vertices(v);
  return out;
}

}  // namespace

ccSMDGDPoly operator*(double s, const ccSMDGDPoly& poly) {
  return mapped(poly, [s](const ccSMDGDPolyVertex& v) { return s * v; });
}

ccSMDGDPoly operator*(const cc2Rigid& r, const ccSMDGDPoly& poly) {
  return mapped(poly, [&r](const ccSMDGDPolyVertex& v) { return r * v; });
}

// ---- labels -------------------------------------------------------------------------------

void ccSMDGDPoly::addVertexLabel_(std::int32_t label) {
  if (label == -1) return;
  if (std::find(subModelLabels_.begin(), subModelLabels_.end(), label) == subModelLabels_.end())
    subModelLabels_.push_back(label);
}

void ccSMDGDPoly::rebuildLabels_() {
  subModelLabels_.clear();
  for (const ccSMDGDPolyVertex& v : vertices_)
    addVertexLabel_(static_cast<std::int32_t>(v.subModelLabel()));
}

// ---- roundings ----------------------------------------------------------------------------

void ccSMDGDPoly::computeVertexRounding_(long v) {
  const std::size_t i = idx(v);
  const ccVector<2>& p = vertices_[i].point();
  if (!vertexIsRounded_(v)) {
    roundStarts_[i] = roundEnds_[i] = p;
    roundSpans_[i] = ccDegree();
    return;
  }
  try {
    const ccVector<2> c = roundPoint_(v);
    const ccVector<2> start = ccSMDGDPolyPrivate::closestSegmentPoint_(*this, v, c);
    const ccVector<2> end =
        ccSMDGDPolyPrivate::closestSegmentPoint_(*this, nextSegmentIndex_(v), c);
    roundSpans_[i] =
        ccDegree(ccDegree((end - c).angle()) - ccDegree((start - c).angle())).signedNorm();
    roundStarts_[i] = start;
    roundEnds_[i] = end;
  } catch (const ccShapesError::DegenerateShape&) {
    throw invalidRounding();  // a segment of length 0 leaves no room for a rounding
  }
}

std::vector<long> ccSMDGDPoly::computeVertexRoundings_(long v) {
  const long n = numVertices();
  std::vector<long> touched{v};
  auto touch = [&](long k) {
    if (std::find(touched.begin(), touched.end(), k) == touched.end()) touched.push_back(k);
  };
  if (n != 1) touch(cyclic_(v - 1));
  if (n != 2) touch(cyclic_(v + 1));
  if (n != 3 && v == 0 && !open_) touch(cyclic_(v - 2));
  // In an open polygon the roundings next to its end segments may use the whole segment;
  // which segments are end segments changes with appends, inserts at the front, deletions
  // and opening, so the roundings next to the end segments and next to the segments that
  // were end segments before the edit are redone as well.
  if (open_ && n >= 3)
    for (long k : {1L, 2L, n - 3, n - 2})
      if (k > 0 && k < n - 1) touch(k);
  for (long k : touched) computeVertexRounding_(k);
  for (long k : touched) piecesChanged_(k - 1, k + 1);
  return touched;
}

// ---- validation ---------------------------------------------------------------------------

cc_SMDGDPolyIndex* ccSMDGDPoly::pieceIndex_() const {
  const long n = numVertices();
  if (n < kIndexMinVertices) return nullptr;
  if (!index_ || n > 2 * index_->builtFor()) index_ = std::make_unique<cc_SMDGDPolyIndex>(*this);
  return index_.get();
}

void ccSMDGDPoly::piecesChanged_(long first, long last) const {
  if (!index_) return;
  const long n = numVertices();
  if (n > 2 * index_->builtFor() || last - first + 1 >= n) {
    index_.reset();
    return;
  }
  for (long v = first; v <= last; ++v) index_->update(*this, cyclic_(v));
}

void ccSMDGDPoly::checkSegmentRules_(long s) const {
  const ccSMDGDPolyVertex& end = vertices_[idx(s)];
  const ccSMDGDPolyVertex& start = vertices_[idx(previousVertexIndex_(s))];
  // Two parts of one sub-model share the segment between them by these fractions.
  if (end.subModelLabel() != -1 && end.subModelLabel() == start.subModelLabel() &&
      end.percentPrevSegment() + start.percentNextSegment() > 1.0)
    throw crossingSegments();
  // Without a tolerance the dimension fails only for a length of 0; a straight segment's
  // length is then read directly (this runs once per segment in every validation).
  const ccDimTol& tol = end.segmentLengthTol();
  if (tol.nomDim() == -1 && tol.minTol() == -1 && tol.maxTol() == -1 && isLineSegment_(s)) {
    if (start.point() == end.point()) throw ccSMDGDPolyVertex::invalidSegmentLength();
    return;
  }
  segmentDimension(s);
}

void ccSMDGDPoly::validate_() {
  const long n = numVertices();
  if (!open_ && n < 2) throw invalidVertices();
  if (n == 0) return;
  for (long v = 0; v < n; ++v) computeVertexRounding_(v);
  if (n == 1) return;

  // The first k at which the vertex-by-vertex walk (rounding k, then segment k, each against
  // everything numbered up to k; then segment k's rules) would meet a crossing: a pair of
  // pieces is met at the larger of their numbers. The grid offers only pairs whose boxes meet.
  std::vector<cc_SMDGDPolyPiece> pieces(2 * static_cast<std::size_t>(n));
  std::vector<cc_SMDGDPolyBox> boxes(pieces.size());
  for (long id = 0; id < 2 * n; ++id) {
    pieces[idx(id)] = cc_SMDGDPolyPiece::make(*this, id);
    boxes[idx(id)] = pieces[idx(id)].box();
  }
  long firstCrossing = n;
  auto test = [&](long a, long b) {
    const long k = std::max(a, b) / 2;
    if (k < firstCrossing && pieces[idx(a)].meets(*this, pieces[idx(b)])) firstCrossing = k;
  };
  if (n >= kIndexMinVertices) {
    index_ = std::make_unique<cc_SMDGDPolyIndex>(std::move(boxes));
    const cc_SMDGDPolyIndex& index = *index_;
    for (long a = 0; a < 2 * n; ++a) {
      const cc_SMDGDPolyBox& box = index.box(a);
      if (box.empty()) continue;
      index.near(box, [&](long b) {
        if (b > a) test(a, b);
      });
    }
  } else {
    for (long a = 0; a < 2 * n; ++a)
      for (long b = a + 1; b < 2 * n; ++b)
        if (boxes[idx(a)].meets(boxes[idx(b)])) test(a, b);
  }
  for (long k = 0; k < n; ++k) {
    if (k >= firstCrossing) throw crossingSegments();
    if (segmentExists_(k)) checkSegmentRules_(k);
  }
}

void ccSMDGDPoly::validateReplacement_(long v) {
  const long n = numVertices();
  if (n == 0) return;
  const std::vector<long> touched = computeVertexRoundings_(v);
  if (vertexIntersectsPoly_(v)) throw crossingSegments();
  long prev, next;
  getSegmentIndices_(prev, next, v);
  if (prev != -1) {
    if (segmentIntersectsPoly_(prev) || vertexIntersectsPoly_(cyclic_(v - 1)))
      throw crossingSegments();
    checkSegmentRules_(prev);
  }
  if (next != -1) {
    if (segmentIntersectsPoly_(next) || vertexIntersectsPoly_(cyclic_(v + 1)))
      throw crossingSegments();
    checkSegmentRules_(next);
  }
  // Every other piece the edit moved: roundings recomputed further away, and the segments
  // that end at a recomputed rounding (they grow when it shrinks). Without these checks an
  // edit could keep a polygon that the whole-polygon check refuses.
  for (long k : touched) {
    if (k != v && k != cyclic_(v - 1) && k != cyclic_(v + 1) && vertexIntersectsPoly_(k))
      throw crossingSegments();
    for (long s : {previousSegmentIndex_(k), nextSegmentIndex_(k)})
      if (s != -1 && s != prev && s != next && segmentIntersectsPoly_(s)) throw crossingSegments();
  }
}

// A closed polygon needs two vertices (one with none is refused here too, as the whole-polygon
// check and deletion refuse it).
void ccSMDGDPoly::validateClose_() {
  if (numVertices() < 2) throw invalidVertices();
  validateReplacement_(0);
}

void ccSMDGDPoly::validateDeletion_(long i) {
  const long n = numVertices();
  if (!open_ && n < 2) throw invalidVertices();
  if (n == 0) return;
  validateReplacement_(cyclic_(i - 1));
  validateReplacement_(cyclic_(i));
}

// ---- crossing tests -----------------------------------------------------------------------

namespace {

// True when the piece meets any piece numbered up to lastId, found through the grid when
// there is one and every piece is asked about.
bool pieceMeetsPoly(const ccSMDGDPoly& poly, const cc_SMDGDPolyIndex* index, long id, long lastId) {
  const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(poly, id);
  if (!piece.present()) return false;
  const cc_SMDGDPolyBox box = piece.box();
  bool found = false;
  auto test = [&](long other) {
    if (found || other > lastId || other == id) return;
    found = piece.meets(poly, cc_SMDGDPolyPiece::make(poly, other));
  };
  if (index) {
    index->near(box, test);
  } else {
    for (long other = 0; other <= lastId && !found; ++other) {
      if (other == id) continue;
      const cc_SMDGDPolyPiece o = cc_SMDGDPolyPiece::make(poly, other);
      found = o.present() && o.box().meets(box) && piece.meets(poly, o);
    }
  }
  return found;
}

}  // namespace

bool ccSMDGDPoly::vertexIntersectsVertex_(long a, long b) const {
  return cc_SMDGDPolyPiece::make(*this, 2 * a + 1)
      .meets(*this, cc_SMDGDPolyPiece::make(*this, 2 * b + 1));
}

bool ccSMDGDPoly::segmentIntersectsVertex_(long s, long v) const {
  return cc_SMDGDPolyPiece::make(*this, 2 * s)
      .meets(*this, cc_SMDGDPolyPiece::make(*this, 2 * v + 1));
}

std::vector<ccVector<2>> ccSMDGDPoly::segmentIntersection_(long s1, long s2) const {
  return cc_SMDGDPolyPiece::make(*this, 2 * s1)
      .meetings(*this, cc_SMDGDPolyPiece::make(*this, 2 * s2));
}

bool ccSMDGDPoly::segmentIntersectsPoly_(long s, long last) const {
  const long n = numVertices();
  if (last < 0 || last >= n) last = n - 1;
  return pieceMeetsPoly(*this, last == n - 1 ? pieceIndex_() : nullptr, 2 * s, 2 * last + 1);
}

bool ccSMDGDPoly::vertexIntersectsPoly_(long v, long last) const {
  if (!vertexIsRounded_(v)) return false;
  const long n = numVertices();
  if (last < 0 || last >= n) last = n - 1;
  return pieceMeetsPoly(*this, last == n - 1 ? pieceIndex_() : nullptr, 2 * v + 1, 2 * last + 1);
}

// ---- archive ------------------------------------------------------------------------------

void ccSMDGDPoly::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 1;
  ar || version;
  ccSMDGDPoly::serialize_(ar, version);
  setVisited(ar);
}

void ccSMDGDPoly::serialize_(ccArchive& ar, unsigned char version) {
  if (version > 1) throw ccArchive::UnknownVersion(std::string(), 0);
  ccSMDGeometricDescription::dispatchSerialize(ar);
  if (ar.isStoring()) {
    ar || vertices_ || subModelLabels_ || roundStarts_ || roundEnds_ || roundSpans_ || open_ ||
        directionReversed_;
    colors_.dispatchSerialize(ar);
    ar || positiveArrowColor_ || negativeArrowColor_ || weight_;
    return;
  }
  // Load into locals and commit at the end. The colours load in place (the archive marks
  // the object it loaded), so they are put back by hand on a failure.
  std::vector<ccSMDGDPolyVertex> vertices;
  std::vector<std::int32_t> labels;
  std::vector<ccVector<2>> starts, ends;
  std::vector<ccDegree> spans;
  bool open = open_, reversed = directionReversed_;
  ccColor positive = positiveArrowColor_, negative = negativeArrowColor_;
  double weight = 1.0;
  ar || vertices || labels || starts || ends || spans || open || reversed;
  const std::size_t n = vertices.size();
  if (starts.size() != n || ends.size() != n || spans.size() != n)
    throw ccArchive::BadData("SMD polygon rounding caches do not match its " + std::to_string(n) +
                             " vertices");
  const ccSMDColors colors(colors_);
  try {
    colors_.dispatchSerialize(ar);
    ar || positive || negative;
    if (version >= 1) ar || weight;
  } catch (...) {
    colors_ = colors;
    throw;
  }
  mutating();
  index_.reset();
  vertices_.swap(vertices);
  subModelLabels_.swap(labels);
  roundStarts_.swap(starts);
  roundEnds_.swap(ends);
  roundSpans_.swap(spans);
  open_ = open;
  directionReversed_ = reversed;
  positiveArrowColor_ = positive;
  negativeArrowColor_ = negative;
  weight_ = weight;
}
