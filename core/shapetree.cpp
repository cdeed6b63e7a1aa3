#include <core/lines.h>
#include <core/mappedshape.h>
#include <core/polyline.h>
#include <core/shapetree.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

namespace {

constexpr const char* kSource = "core/shapetree";

// ---------------------------------------------------------------------------------------
// Helpers shared by the tree classes.

// Grows box (unset when first is true) to hold r; unlike ccRect::enclose it keeps boxes of
// size 0 (a point's box).
void unite(ccRect& box, bool& first, const ccRect& r) {
  if (first) {
    box = r;
    first = false;
    return;
  }
  const ccVector<2> lo(std::min(box.ul().x(), r.ul().x()), std::min(box.ul().y(), r.ul().y()));
  const ccVector<2> hi(std::max(box.lr().x(), r.lr().x()), std::max(box.lr().y(), r.lr().y()));
  box = ccRect::fromCorners(lo, hi);
}

void checkSampleParams(const ccShape::ccSampleParams& params) {
  if (!(params.spacing >= 0) || !(params.tolerance >= 0) || !std::isfinite(params.spacing) ||
      std::isnan(params.tolerance))
    throw ccShapesError::BadParams("sampling needs finite, non-negative spacing and tolerance");
  if (params.maxPoints < 2) throw ccShapesError::BadParams("too few sample points allowed");
  if (params.uniform && params.spacing == 0)
    throw ccShapesError::BadParams("uniform sampling needs a spacing");
}

// Exactly n points at equal arc lengths along the polyline pts (closed: around the loop,
// starting at pts[0] and stopping before coming back to it).
std::vector<ccVector<2>> resample(const std::vector<ccVector<2>>& pts, bool closed, long n) {
  std::vector<ccVector<2>> v = pts;
  if (closed && !v.empty()) v.push_back(v.front());
  std::vector<double> cum{0};
  for (std::size_t i = 1; i < v.size(); ++i) cum.push_back(cum.back() + (v[i] - v[i - 1]).length());
  const double total = cum.back();
  std::vector<ccVector<2>> out;
  const long steps = closed ? n : n - 1;
  std::size_t seg = 1;
  for (long k = 0; k < n; ++k) {
    const double s = steps > 0 ? total * static_cast<double>(k) / static_cast<double>(steps) : 0;
    while (seg + 1 < v.size() && cum[seg] < s) ++seg;
    if (v.size() < 2) {
      out.push_back(v.empty() ? ccVector<2>() : v[0]);
      continue;
    }
    const double len = cum[seg] - cum[seg - 1];
    const double t = len > 0 ? std::clamp((s - cum[seg - 1]) / len, 0.0, 1.0) : 0;
    out.push_back(v[seg - 1] + (v[seg] - v[seg - 1]) * t);
  }
  if (!closed && n >= 2 && !v.empty()) out.back() = v.back();
  return out;
}

// Points of the segment a-b after a, dividing it into the fewest equal parts no longer than
// spacing (spacing 0: b only).
void appendSegment(const ccVector<2>& a, const ccVector<2>& b, double spacing,
                   std::vector<ccVector<2>>& out) {
  const double len = (b - a).length();
  const double parts = spacing > 0 ? std::max(1.0, std::ceil(len / spacing)) : 1.0;
  const long n = static_cast<long>(std::min(parts, 1e7));
  for (long k = 1; k < n; ++k) out.push_back(a + (b - a) * (static_cast<double>(k) / n));
  out.push_back(b);
}

ccVector<2> nearestOnSegment(const ccVector<2>& a, const ccVector<2>& b, const ccVector<2>& p,
                             double* t = nullptr) {
  const ccVector<2> d = b - a;
  const double l2 = d.lengthSq();
  double u = l2 > 0 ? std::clamp((p - a).dot(d) / l2, 0.0, 1.0) : 0;
  if (t) *t = u;
  return u == 0 ? a : (u == 1 ? b : a + d * u);
}

double segmentAngle(const ccVector<2>& a, const ccVector<2>& b, const ccVector<2>& p) {
  const ccVector<2> u = a - p, v = b - p;
  return std::atan2(u.cross(v), u.dot(v));
}

// True when `from` is `target` or holds it (through trees, boundaries, mapped shapes).
bool reaches(const ccShape* from, const ccShape* target, std::unordered_set<const ccShape*>& seen) {
  if (!from) return false;
  if (from == target) return true;
  if (!seen.insert(from).second) return false;
  if (const auto* t = dynamic_cast<const ccShapeTree*>(from)) {
    for (const auto& c : t->children())
      if (reaches(c.get(), target, seen)) return true;
    if (const auto* r = dynamic_cast<const ccRegionTree*>(from))
      if (reaches(&r->boundary(), target, seen)) return true;
  }
  if (const auto* m = dynamic_cast<const ccMappedShape*>(from))
    return reaches(m->underlyingShape().get(), target, seen);
  return false;
}

bool deepEqual(const std::vector<ccShapePtrh>& a, const std::vector<ccShapePtrh>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && !(*a[i] == *b[i])) return false;
  return true;
}

// The pieces of a contour tree: its non-empty children and the joins between them.
struct Piece {
  const ccShape* shape = nullptr;  // null for a join
  ccVector<2> a, b;                // start and end points
  double len = 0;
};

std::vector<Piece> contourPieces(const std::vector<ccShapePtrh>& children, bool closed,
                                 bool withLengths) {
  std::vector<Piece> out;
  for (const auto& c : children) {
    if (c->isEmpty()) continue;
    Piece p;
    p.shape = c.get();
    p.a = c->startPoint();
    p.b = c->endPoint();
    if (!out.empty() && out.back().b != p.a) {
      Piece j;
      j.a = out.back().b;
      j.b = p.a;
      j.len = (j.b - j.a).length();
      out.push_back(j);
    }
    if (withLengths) p.len = c->perimeter();
    out.push_back(p);
  }
  if (closed && !out.empty() && out.back().b != out.front().a) {
    Piece j;
    j.a = out.back().b;
    j.b = out.front().a;
    j.len = (j.b - j.a).length();
    out.push_back(j);
  }
  return out;
}

// Flattens a decomposition into pieces of a contour: trees (other than regions) give their
// children in order.
void splice(const ccShapePtrh& d, std::vector<ccShapePtrh>& out) {
  const auto* t = dynamic_cast<const ccShapeTree*>(d.get());
  if (t && !dynamic_cast<const ccRegionTree*>(t)) {
    for (const auto& c : t->children()) splice(c, out);
  } else {
    out.push_back(d);
  }
}

// Clips each part on its own (see ccShapeTree::clip_).
ccShapePtrh clipParts(const std::vector<const ccShape*>& parts, const ccPolyline& clipper,
                      ccClipInfo& info, const ccShapePtrh& whole) {
  std::vector<ccShapePtrh> kept;
  long pieces = 0;
  bool allInside = true;
  for (const ccShape* part : parts) {
    ccClipInfo ci;
    const ccShapePtrh r = part->clip(clipper, ci);
    if (ci.result == ccClipInfo::eInside) {
      kept.push_back(part->clone());
      ++pieces;
      continue;
    }
    allInside = false;
    if (ci.result != ccClipInfo::ePartial) continue;
    if (r && typeid(*r) == typeid(ccShapeTree) && ci.pieces > 1) {
      const auto& t = static_cast<const ccShapeTree&>(*r);
      kept.insert(kept.end(), t.children().begin(), t.children().end());
    } else {
      kept.push_back(r);
    }
    pieces += ci.pieces;
  }
  if (allInside) {
    info.result = ccClipInfo::eInside;
    info.pieces = 1;
    return whole;
  }
  info.pieces = pieces;
  if (kept.empty()) {
    info.result = ccClipInfo::eOutside;
    return ccShapePtrh(new ccPolyline());
  }
  info.result = ccClipInfo::ePartial;
  return kept.size() == 1 ? kept.front() : ccShapePtrh(new ccShapeTree(kept));
}

}  // namespace

// =========================================================================================
// ccShapeTree

ccShapePtrh ccShapeTree::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  std::vector<const ccShape*> parts;
  for (const auto& c : children_)
    if (!c->isEmpty()) parts.push_back(c.get());
  if (parts.empty()) return ccShape::clip_(clipper, info);  // checks the clipper
  return clipParts(parts, clipper, info, clone());
}

ccShapeTree::ccShapeTree(const std::vector<ccShapePtrh>& children) { this->children(children); }

const ccShapePtrh& ccShapeTree::child(long i) const {
  if (i < 0 || i >= numChildren()) throw ccShapesError::BadParams("child index out of range");
  return children_[static_cast<std::size_t>(i)];
}

void ccShapeTree::checkChild_(const ccShapePtrh& child) const {
  if (!child) throw ccShapesError::BadParams("null child shape");
  if (static_cast<const ccShape*>(this) == child.get() || holdsIn(child.get(), this))
    throw ccShapesError::BadParams("a shape tree cannot contain itself");
}

bool ccShapeTree::holdsIn(const ccShape* from, const ccShape* target) {
  std::unordered_set<const ccShape*> seen;
  return reaches(from, target, seen);
}

void ccShapeTree::children(const std::vector<ccShapePtrh>& children) {
  for (const auto& c : children) checkChild_(c);
  mutating();
  children_ = children;
}

void ccShapeTree::add(const ccShapePtrh& child) { insert(numChildren(), child); }

void ccShapeTree::insert(long i, const ccShapePtrh& child) {
  if (i < 0 || i > numChildren()) throw ccShapesError::BadParams("insert position out of range");
  checkChild_(child);
  mutating();
  children_.insert(children_.begin() + i, child);
}

void ccShapeTree::remove(long i) {
  if (i < 0 || i >= numChildren()) throw ccShapesError::BadParams("child index out of range");
  mutating();
  children_.erase(children_.begin() + i);
}

void ccShapeTree::clear() {
  mutating();
  children_.clear();
}

bool ccShapeTree::holds(const ccShape* s) const { return holdsIn(this, s); }

ccShapePtrh ccShapeTree::mapLeaves(const std::function<ccShapePtrh(const ccShape&)>& f) const {
  ccShapePtrh copy = clone();
  auto* t = static_cast<ccShapeTree*>(copy.get());
  std::vector<ccShapePtrh> kids;
  kids.reserve(children_.size());
  for (const auto& c : children_) {
    if (const auto* ct = dynamic_cast<const ccShapeTree*>(c.get()))
      kids.push_back(ct->mapLeaves(f));
    else
      kids.push_back(f(*c));
  }
  t->children(kids);
  t->mapOwnLeaves_(f);
  return copy;
}

void ccShapeTree::mapOwnLeaves_(const std::function<ccShapePtrh(const ccShape&)>&) {}

ccShapePtrh ccShapeTree::mapShape(const ccXform<2>& x) const {
  return mapLeaves([&x](const ccShape& s) { return s.mapShape(x); });
}

bool ccShapeTree::isEmpty() const {
  for (const auto& c : children_)
    if (!c->isEmpty()) return false;
  return true;
}

bool ccShapeTree::isFinite() const {
  for (const auto& c : children_)
    if (!c->isFinite()) return false;
  return true;
}

bool ccShapeTree::hasTangent() const {
  for (const auto& c : children_)
    if (c->hasTangent()) return true;
  return false;
}

bool ccShapeTree::isDecomposed() const {
  for (const auto& c : children_)
    if (dynamic_cast<const ccShapeTree*>(c.get()) || !c->isDecomposed()) return false;
  return true;
}

ccRect ccShapeTree::boundingBox() const {
  ccRect box;
  bool first = true;
  for (const auto& c : children_)
    if (!c->isEmpty()) unite(box, first, c->boundingBox());
  if (first) throw ccShapesError::EmptyShape("empty shape tree");
  return box;
}

ccVector<2> ccShapeTree::nearestPoint(const ccVector<2>& p) const {
  ccVector<2> best;
  double bestD = std::numeric_limits<double>::infinity();
  bool any = false;
  for (const auto& c : children_) {
    if (c->isEmpty()) continue;
    const ccVector<2> q = c->nearestPoint(p);
    const double d = (q - p).lengthSq();
    if (!any || d < bestD) {
      best = q;
      bestD = d;
      any = true;
    }
  }
  if (!any) throw ccShapesError::EmptyShape("empty shape tree");
  return best;
}

ccRadian ccShapeTree::windingAngle(const ccVector<2>& p) const {
  double sum = 0;
  for (const auto& c : children_)
    if (!c->isEmpty()) sum += c->windingAngle(p).toDouble();
  return ccRadian(sum);
}

ccShapePtrh ccShapeTree::decompose() const {
  ccShapePtrh copy = clone();
  std::vector<ccShapePtrh> kids;
  for (const auto& c : children_) kids.push_back(c->decompose());
  static_cast<ccShapeTree*>(copy.get())->children(kids);
  return copy;
}

void ccShapeTree::sample(const ccSampleParams& params, ccSampleResult& result) const {
  checkSampleParams(params);
  std::vector<ccVector<2>> out;
  for (const auto& c : children_) {
    if (c->isEmpty()) continue;
    ccSampleResult r;
    c->sample(params, r);
    out.insert(out.end(), r.positions().begin(), r.positions().end());
  }
  if (out.size() > static_cast<std::size_t>(params.maxPoints))
    out = resample(out, false, params.maxPoints);
  result.positions().swap(out);
}

double ccShapeTree::perimeter() const {
  double s = 0;
  for (const auto& c : children_)
    if (!c->isEmpty()) s += c->perimeter();
  return s;
}

bool ccShapeTree::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccShapeTree*>(&other);
  return o && typeid(*o) == typeid(*this) && deepEqual(children_, o->children_);
}

void ccShapeTree::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccShapeTree::serialize_(ar, version);
  setVisited(ar);
}

std::vector<ccShapePtrh> ccShapeTree::serializeChildren_(ccArchive& ar) {
  ccShape::dispatchSerialize(ar);
  std::vector<ccShapePtrh> kids = children_;
  ar || kids;
  if (ar.isLoading())
    for (const auto& c : kids) checkChild_(c);
  return kids;
}

void ccShapeTree::setChildren_(std::vector<ccShapePtrh> children) {
  mutating();
  children_.swap(children);
}

void ccShapeTree::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  std::vector<ccShapePtrh> kids = serializeChildren_(ar);
  if (ar.isLoading()) setChildren_(std::move(kids));
}

// =========================================================================================
// ccContourTree

ccContourTree::ccContourTree(const std::vector<ccShapePtrh>& children, bool closed)
    : closed_(closed) {
  this->children(children);
}

ccShapePtrh ccContourTree::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  return ccShape::clip_(clipper, info);
}

void ccContourTree::checkChild_(const ccShapePtrh& child) const {
  ccShapeTree::checkChild_(child);
  if (!child->isOpenContour() && !child->isEmpty())
    throw ccShapesError::BadParams("the pieces of a contour must be open contours");
}

bool ccContourTree::hasTangent() const {
  for (const auto& p : contourPieces(children(), closed_, false))
    if (!p.shape || p.shape->hasTangent()) return true;
  return false;
}

bool ccContourTree::isReversible() const {
  bool any = false;
  for (const auto& c : children()) {
    if (c->isEmpty()) continue;
    if (!c->isReversible()) return false;
    any = true;
  }
  return any;
}

bool ccContourTree::isDecomposed() const { return ccShapeTree::isDecomposed(); }

ccVector<2> ccContourTree::nearestPoint(const ccVector<2>& p) const {
  const auto pieces = contourPieces(children(), closed_, false);
  if (pieces.empty()) throw ccShapesError::EmptyShape("empty contour tree");
  ccVector<2> best;
  double bestD = std::numeric_limits<double>::infinity();
  for (const auto& pc : pieces) {
    const ccVector<2> q = pc.shape ? pc.shape->nearestPoint(p) : nearestOnSegment(pc.a, pc.b, p);
    const double d = (q - p).lengthSq();
    if (d < bestD) {
      bestD = d;
      best = q;
    }
  }
  return best;
}

ccVector<2> ccContourTree::startPoint() const {
  if (closed_) throw ccShapesError::NotOpenContour("closed contour tree");
  const auto pieces = contourPieces(children(), false, false);
  if (pieces.empty()) throw ccShapesError::EmptyShape("empty contour tree");
  return pieces.front().a;
}

ccVector<2> ccContourTree::endPoint() const {
  if (closed_) throw ccShapesError::NotOpenContour("closed contour tree");
  const auto pieces = contourPieces(children(), false, false);
  if (pieces.empty()) throw ccShapesError::EmptyShape("empty contour tree");
  return pieces.back().b;
}

ccRadian ccContourTree::startAngle() const {
  if (closed_) throw ccShapesError::NotOpenContour("closed contour tree");
  const auto pieces = contourPieces(children(), false, false);
  if (pieces.empty()) throw ccShapesError::EmptyShape("empty contour tree");
  for (const auto& pc : pieces) {
    if (!pc.shape) return (pc.b - pc.a).angle();
    if (pc.shape->hasTangent()) return pc.shape->startAngle();
  }
  throw ccShapesError::NoTangent("contour tree of one point");
}

ccRadian ccContourTree::endAngle() const {
  if (closed_) throw ccShapesError::NotOpenContour("closed contour tree");
  const auto pieces = contourPieces(children(), false, false);
  if (pieces.empty()) throw ccShapesError::EmptyShape("empty contour tree");
  for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
    if (!it->shape) return (it->b - it->a).angle();
    if (it->shape->hasTangent()) return it->shape->endAngle();
  }
  throw ccShapesError::NoTangent("contour tree of one point");
}

ccRadian ccContourTree::windingAngle(const ccVector<2>& p) const {
  double sum = 0;
  for (const auto& pc : contourPieces(children(), closed_, false))
    sum += pc.shape ? pc.shape->windingAngle(p).toDouble() : segmentAngle(pc.a, pc.b, p);
  return ccRadian(sum);
}

bool ccContourTree::within(const ccVector<2>& p) const {
  if (!isRegion()) throw ccShapesError::NotRegion("open or empty contour tree");
  return std::fabs(windingAngle(p).toDouble()) > ccPi;
}

bool ccContourTree::isRightHanded() const {
  if (!isRegion()) throw ccShapesError::NotRegion("open or empty contour tree");
  const ccRect box = boundingBox();
  const double diag = std::hypot(box.width(), box.height());
  ccSampleResult r;
  sample(ccSampleParams(0, ccOrientationSamplingTolerance * diag, 1000000), r);
  const auto& v = r.positions();
  double area2 = 0;
  for (std::size_t i = 0; i < v.size(); ++i) area2 += v[i].cross(v[(i + 1) % v.size()]);
  return area2 > 0;
}

ccShapePtrh ccContourTree::reverse() const {
  if (isEmpty()) throw ccShapesError::NotOpenContour("empty contour tree");
  std::vector<ccShapePtrh> kids;
  for (auto it = children().rbegin(); it != children().rend(); ++it)
    if (!(*it)->isEmpty()) kids.push_back((*it)->reverse());
  return ccShapePtrh(new ccContourTree(kids, closed_));
}

ccShapePtrh ccContourTree::decompose() const {
  std::vector<ccShapePtrh> kids;
  for (const auto& c : children())
    if (!c->isEmpty()) splice(c->decompose(), kids);
  return ccShapePtrh(new ccContourTree(kids, closed_));
}

void ccContourTree::sample(const ccSampleParams& params, ccSampleResult& result) const {
  checkSampleParams(params);
  const auto pieces = contourPieces(children(), closed_, params.uniform);
  std::vector<ccVector<2>> out;
  for (const auto& pc : pieces) {
    std::vector<ccVector<2>> pts;
    if (pc.shape) {
      ccSampleResult r;
      pc.shape->sample(params, r);
      pts.swap(r.positions());
    } else {
      pts.push_back(pc.a);
      appendSegment(pc.a, pc.b, params.spacing, pts);
    }
    if (pts.empty()) continue;
    const bool skipFirst = !out.empty() && out.back() == pts.front() && !params.duplicateCorners;
    out.insert(out.end(), pts.begin() + (skipFirst ? 1 : 0), pts.end());
  }
  if (closed_ && out.size() > 1 && out.back() == out.front() && !params.duplicateCorners)
    out.pop_back();
  if (out.size() > static_cast<std::size_t>(params.maxPoints))
    out = resample(out, closed_, params.maxPoints);
  result.positions().swap(out);
}

double ccContourTree::perimeter() const {
  double s = 0;
  for (const auto& pc : contourPieces(children(), closed_, true)) s += pc.len;
  return s;
}

double ccContourTree::nearestPerimPos(const ccVector<2>& p) const {
  const auto pieces = contourPieces(children(), closed_, true);
  if (pieces.empty()) throw ccShapesError::EmptyShape("empty contour tree");
  double before = 0, best = 0, bestD = std::numeric_limits<double>::infinity();
  for (const auto& pc : pieces) {
    double t = 0;
    const ccVector<2> q =
        pc.shape ? pc.shape->nearestPoint(p) : nearestOnSegment(pc.a, pc.b, p, &t);
    const double d = (q - p).lengthSq();
    if (d < bestD) {
      bestD = d;
      best = before + (pc.shape ? pc.shape->nearestPerimPos(p) : t * pc.len);
    }
    before += pc.len;
  }
  return best;
}

ccShapePtrh ccContourTree::subShape(double startPos, double endPos) const {
  if (!std::isfinite(startPos) || !std::isfinite(endPos))
    throw ccShapesError::BadParams("sub-shape positions must be finite");
  const auto pieces = contourPieces(children(), closed_, true);
  if (pieces.empty()) throw ccShapesError::EmptyShape("empty contour tree");
  double total = 0;
  for (const auto& pc : pieces) total += pc.len;

  std::vector<ccShapePtrh> out;
  // The pieces over [a, b] (0 <= a <= b <= total); a zero-length range gives the point there.
  auto collect = [&](double a, double b) {
    double before = 0;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      const auto& pc = pieces[k];
      const double lo = std::clamp(a - before, 0.0, pc.len);
      const double hi = std::clamp(b - before, 0.0, pc.len);
      const bool last = k + 1 == pieces.size();
      const bool take = a < b ? lo < hi : (a - before <= pc.len || last);
      if (take) {
        if (pc.shape) {
          out.push_back(pc.shape->subShape(lo, hi));
        } else {
          const ccVector<2> d = pc.b - pc.a;
          const double l = pc.len > 0 ? pc.len : 1;
          out.push_back(ccShapePtrh(new ccLineSeg(lo == 0 ? pc.a : pc.a + d * (lo / l),
                                                  hi == pc.len ? pc.b : pc.a + d * (hi / l))));
        }
        if (a == b) return;
      }
      before += pc.len;
    }
  };

  if (!closed_) {
    startPos = std::clamp(startPos, 0.0, total);
    endPos = std::clamp(endPos, 0.0, total);
    if (startPos > endPos) throw ccShapesError::BadParams("sub-shape start after its end");
    collect(startPos, endPos);
  } else if (total == 0) {
    collect(0, 0);
  } else {
    double run = endPos - startPos;
    if (run < 0) run += total * std::ceil(-run / total);
    run = std::min(run, total);
    double s = std::fmod(startPos, total);
    if (s < 0) s += total;
    if (s >= total) s = 0;
    if (s + run <= total) {
      collect(s, s + run);
    } else {
      collect(s, total);
      collect(0, s + run - total);
    }
  }
  return ccShapePtrh(new ccContourTree(out, false));
}

bool ccContourTree::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccContourTree*>(&other);
  return o && typeid(*o) == typeid(*this) && o->closed_ == closed_ &&
         deepEqual(children(), o->children());
}

void ccContourTree::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccContourTree::serialize_(ar, version);
  setVisited(ar);
}

void ccContourTree::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  std::vector<ccShapePtrh> kids = serializeChildren_(ar);
  bool closed = closed_;
  ar || closed;
  if (ar.isLoading()) {
    setChildren_(std::move(kids));
    closed_ = closed;
  }
}

// =========================================================================================
// ccRegionTree

ccRegionTree::ccRegionTree() : boundary_(new ccContourTree(std::vector<ccShapePtrh>(), true)) {}

void ccRegionTree::checkBoundary(const ccContourTree& b) {
  if (!b.isClosed() || b.isEmpty())
    throw ccShapesError::BadParams("a region's boundary must be a closed, non-empty contour");
}

ccRegionTree::ccRegionTree(const ccContourTree& boundary, bool isHole) : hole_(isHole) {
  checkBoundary(boundary);
  boundary_ = ccPtrHandle<ccContourTree>(new ccContourTree(boundary));
}

void ccRegionTree::boundary(const ccContourTree& b) {
  checkBoundary(b);
  ccPtrHandle<ccContourTree> copy(new ccContourTree(b));
  if (holdsIn(copy.get(), this)) throw ccShapesError::BadParams("a region cannot bound itself");
  mutating();
  boundary_ = copy;
}

void ccRegionTree::isHole(bool hole) {
  if (hole && isRoot()) throw ccShapesError::BadParams("a root region cannot be a hole");
  mutating();
  hole_ = hole;
}

void ccRegionTree::checkChild_(const ccShapePtrh& child) const {
  ccShapeTree::checkChild_(child);
  const auto* r = dynamic_cast<const ccRegionTree*>(child.get());
  if (!r || r->isRoot())
    throw ccShapesError::BadParams("the children of a region tree are bounded region trees");
}

void ccRegionTree::mapOwnLeaves_(const std::function<ccShapePtrh(const ccShape&)>& f) {
  if (isRoot()) return;
  const ccShapePtrh b = boundary_->mapLeaves(f);
  boundary_ = ccPtrHandle<ccContourTree>(static_cast<ccContourTree*>(b.get()));
}

bool ccRegionTree::isEmpty() const { return isRoot() && children().empty(); }

bool ccRegionTree::isReversible() const {
  if (isEmpty()) return false;
  if (!isRoot() && !boundary_->isReversible()) return false;
  for (const auto& c : children())
    if (!c->isReversible()) return false;
  return true;
}

bool ccRegionTree::isDecomposed() const {
  if (!isRoot() && !boundary_->isDecomposed()) return false;
  for (const auto& c : children())
    if (!c->isDecomposed()) return false;
  return true;
}

ccRect ccRegionTree::boundingBox() const {
  if (isEmpty()) throw ccShapesError::EmptyShape("empty region tree");
  ccRect box;
  bool first = true;
  if (!isRoot()) unite(box, first, boundary_->boundingBox());
  for (const auto& c : children()) unite(box, first, c->boundingBox());
  return box;
}

ccVector<2> ccRegionTree::nearestPoint(const ccVector<2>& p) const {
  if (isEmpty()) throw ccShapesError::EmptyShape("empty region tree");
  ccVector<2> best;
  double bestD = std::numeric_limits<double>::infinity();
  auto consider = [&](const ccVector<2>& q) {
    const double d = (q - p).lengthSq();
    if (d < bestD) {
      bestD = d;
      best = q;
    }
  };
  if (!isRoot()) consider(boundary_->nearestPoint(p));
  for (const auto& c : children()) consider(c->nearestPoint(p));
  return best;
}

ccRadian ccRegionTree::windingAngle(const ccVector<2>& p) const {
  if (!isRoot()) return boundary_->windingAngle(p);
  return ccShapeTree::windingAngle(p);
}

bool ccRegionTree::fillAt(const ccVector<2>& p) const {
  for (const auto& c : children()) {
    const auto& r = static_cast<const ccRegionTree&>(*c);
    if (r.boundary_->within(p)) return r.fillAt(p);
  }
  return !isRoot() && !hole_;
}

bool ccRegionTree::within(const ccVector<2>& p) const {
  if (isEmpty()) throw ccShapesError::NotRegion("empty region tree");
  if (!isRoot() && !boundary_->within(p)) return false;
  return fillAt(p);
}

bool ccRegionTree::isRightHanded() const {
  if (isEmpty()) throw ccShapesError::EmptyShape("empty region tree");
  if (!isRoot()) return boundary_->isRightHanded();
  return children().front()->isRightHanded();
}

ccShapePtrh ccRegionTree::reverse() const {
  if (isEmpty()) throw ccShapesError::NotOpenContour("empty region tree");
  ccShapePtrh copy = clone();
  auto* r = static_cast<ccRegionTree*>(copy.get());
  if (!isRoot()) {
    const ccShapePtrh b = boundary_->reverse();
    r->boundary_ = ccPtrHandle<ccContourTree>(static_cast<ccContourTree*>(b.get()));
  }
  std::vector<ccShapePtrh> kids;
  for (const auto& c : children()) kids.push_back(c->reverse());
  r->children(kids);
  return copy;
}

ccShapePtrh ccRegionTree::decompose() const {
  ccShapePtrh copy = clone();
  auto* r = static_cast<ccRegionTree*>(copy.get());
  if (!isRoot()) {
    const ccShapePtrh b = boundary_->decompose();
    r->boundary_ = ccPtrHandle<ccContourTree>(static_cast<ccContourTree*>(b.get()));
  }
  std::vector<ccShapePtrh> kids;
  for (const auto& c : children()) kids.push_back(c->decompose());
  r->children(kids);
  return copy;
}

void ccRegionTree::sample(const ccSampleParams& params, ccSampleResult& result) const {
  checkSampleParams(params);
  std::vector<ccVector<2>> out;
  if (!isRoot()) {
    ccSampleResult r;
    boundary_->sample(params, r);
    out.swap(r.positions());
  }
  for (const auto& c : children()) {
    ccSampleResult r;
    c->sample(params, r);
    out.insert(out.end(), r.positions().begin(), r.positions().end());
  }
  if (out.size() > static_cast<std::size_t>(params.maxPoints))
    out = resample(out, false, params.maxPoints);
  result.positions().swap(out);
}

double ccRegionTree::perimeter() const {
  double s = isRoot() ? 0 : boundary_->perimeter();
  for (const auto& c : children()) s += c->perimeter();
  return s;
}

ccShapePtrh ccRegionTree::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  std::vector<const ccShape*> parts;
  if (!isRoot()) parts.push_back(boundary_.get());
  for (const auto& c : children()) parts.push_back(c.get());
  if (parts.empty()) return ccShape::clip_(clipper, info);
  return clipParts(parts, clipper, info, clone());
}

bool ccRegionTree::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccRegionTree*>(&other);
  return o && typeid(*o) == typeid(*this) && o->hole_ == hole_ &&
         (o->boundary_ == boundary_ || *o->boundary_ == *boundary_) &&
         deepEqual(children(), o->children());
}

void ccRegionTree::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccRegionTree::serialize_(ar, version);
  setVisited(ar);
}

void ccRegionTree::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  std::vector<ccShapePtrh> kids = serializeChildren_(ar);
  ccPtrHandle<ccContourTree> b = boundary_;
  bool hole = hole_;
  ar || b || hole;
  if (ar.isLoading()) {
    if (!b) throw ccShapesError::BadParams("region tree without a boundary");
    if (!b->isClosed()) throw ccShapesError::BadParams("a region's boundary must be closed");
    if (b->isEmpty() && hole) throw ccShapesError::BadParams("a root region cannot be a hole");
    if (holdsIn(b.get(), this)) throw ccShapesError::BadParams("a region cannot bound itself");
    setChildren_(std::move(kids));
    boundary_ = b;
    hole_ = hole;
  }
}
