#include <core/lines.h>
#include <core/polyline.h>
#include <core/polyline_p.h>
#include <core/shapetree.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr const char* kSource = "core/polyline";

bool finite(const ccVector<2>& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// The point of segment ab nearest to p, and its fraction along ab.
ccVector<2> nearestOnSegment(const ccVector<2>& a, const ccVector<2>& b, const ccVector<2>& p,
                             double& t) {
  const ccVector<2> d = b - a;
  const double len2 = d.lengthSq();
  t = len2 > 0 ? std::clamp((p - a).dot(d) / len2, 0.0, 1.0) : 0.0;
  if (t == 0) return a;
  if (t == 1) return b;
  return a + d * t;
}

void checkSampleParams(const ccShape::ccSampleParams& params) {
  if (!(params.spacing >= 0) || !(params.tolerance >= 0) || params.maxPoints < 1 ||
      (params.uniform && !(params.spacing > 0)))
    throw ccShapesError::BadParams("bad sampling parameters");
}

}  // namespace

// ---- Polygonal kernels (polyline_p.h)

namespace cc_detail {

void checkFinite(const ccVector<2>& p) {
  if (!finite(p)) throw ccShapesError::BadGeom("non-finite vertex");
}

void checkFinite(const Points& v) {
  for (const auto& p : v) checkFinite(p);
}

std::size_t edgeCount(const Points& v, bool closed) {
  if (v.size() < 2) return 0;
  return closed ? v.size() : v.size() - 1;
}

ccRect boundingBox(const Points& v) {
  if (v.empty()) throw ccShapesError::EmptyShape();
  double x0 = v[0].x(), x1 = x0, y0 = v[0].y(), y1 = y0;
  for (const auto& p : v) {
    x0 = std::min(x0, p.x());
    x1 = std::max(x1, p.x());
    y0 = std::min(y0, p.y());
    y1 = std::max(y1, p.y());
  }
  return ccRect::fromCorners(ccVector<2>(x0, y0), ccVector<2>(x1, y1));
}

double perimeter(const Points& v, bool closed) {
  double sum = 0;
  for (std::size_t i = 0, n = edgeCount(v, closed); i < n; ++i) sum += v[i].distance(edgeEnd(v, i));
  return sum;
}

ccVector<2> nearestPoint(const Points& v, bool closed, const ccVector<2>& p, double* perimPos) {
  if (v.empty()) throw ccShapesError::EmptyShape();
  ccVector<2> best = v[0];
  double bestD2 = (p - best).lengthSq(), bestPos = 0, cum = 0;
  for (std::size_t i = 0, n = edgeCount(v, closed); i < n; ++i) {
    const ccVector<2>&a = v[i], &b = edgeEnd(v, i);
    const double len = a.distance(b);
    double t;
    const ccVector<2> q = nearestOnSegment(a, b, p, t);
    const double d2 = (p - q).lengthSq();
    if (d2 < bestD2) {
      bestD2 = d2;
      best = q;
      bestPos = cum + t * len;
    }
    cum += len;
  }
  if (perimPos) *perimPos = bestPos;
  return best;
}

double distance(const Points& v, bool closed, const ccVector<2>& p) {
  if (v.empty()) return std::numeric_limits<double>::infinity();
  return p.distance(nearestPoint(v, closed, p));
}

ccVector<2> pointAt(const Points& v, bool closed, double pos) {
  if (v.empty()) throw ccShapesError::EmptyShape();
  const std::size_t n = edgeCount(v, closed);
  double cum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const ccVector<2>&a = v[i], &b = edgeEnd(v, i);
    const double len = a.distance(b);
    if (pos <= cum) return a;
    if (pos < cum + len) return a + (b - a) * ((pos - cum) / len);
    cum += len;
  }
  return n == 0 ? v[0] : edgeEnd(v, n - 1);
}

double signedArea2(const Points& v) {
  double sum = 0;
  for (std::size_t i = 1; i + 1 < v.size(); ++i) sum += (v[i] - v[0]).cross(v[i + 1] - v[0]);
  return sum;
}

bool within(const Points& v, const ccVector<2>& p, bool nonZero) {
  if (v.empty()) return false;
  // Boundary first: a point on an edge (to rounding) is inside.
  double scale = 0;
  for (const auto& q : v) scale = std::max({scale, std::fabs(q.x()), std::fabs(q.y())});
  scale = std::max({scale, std::fabs(p.x()), std::fabs(p.y())});
  if (distance(v, true, p) <= ccRoundingTolerance * scale) return true;
  bool odd = false;
  long winding = 0;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const ccVector<2>&a = v[i], &b = edgeEnd(v, i);
    if ((a.y() > p.y()) != (b.y() > p.y())) {
      // The edge crosses the horizontal through p; count crossings right of p.
      const double side = (b - a).cross(p - a);  // > 0: p left of the upward edge
      const bool upward = b.y() > a.y();
      if (upward ? side > 0 : side < 0) {
        odd = !odd;
        winding += upward ? 1 : -1;
      }
    }
  }
  return nonZero ? winding != 0 : odd;
}

ccRadian windingAngle(const Points& v, bool closed, const ccVector<2>& p) {
  double sweep = 0;
  for (std::size_t i = 0, n = edgeCount(v, closed); i < n; ++i) {
    const ccVector<2> a = v[i] - p, b = edgeEnd(v, i) - p;
    sweep += std::atan2(a.cross(b), a.dot(b));
  }
  return ccRadian(sweep);
}

namespace {
// Directions of the edges of non-zero length, in order.
std::vector<ccVector<2>> edgeDirections(const Points& v, bool closed) {
  std::vector<ccVector<2>> d;
  for (std::size_t i = 0, n = edgeCount(v, closed); i < n; ++i) {
    const ccVector<2> e = edgeEnd(v, i) - v[i];
    if (e.lengthSq() > 0) d.push_back(e);
  }
  return d;
}
}  // namespace

bool hasTangent(const Points& v) {
  for (const auto& p : v)
    if (p != v[0]) return true;
  return false;
}

ccRadian startAngle(const Points& v, bool closed) {
  const auto d = edgeDirections(v, closed);
  if (d.empty()) throw ccShapesError::NoTangent();
  return d.front().angle();
}

ccRadian endAngle(const Points& v, bool closed) {
  const auto d = edgeDirections(v, closed);
  if (d.empty()) throw ccShapesError::NoTangent();
  return d.back().angle();
}

ccRadian tangentRotation(const Points& v, bool closed) {
  const auto d = edgeDirections(v, closed);
  double turn = 0;
  for (std::size_t i = 1; i < d.size(); ++i)
    turn += std::atan2(d[i - 1].cross(d[i]), d[i - 1].dot(d[i]));
  if (closed && d.size() > 1)
    turn += std::atan2(d.back().cross(d.front()), d.back().dot(d.front()));
  return ccRadian(turn);
}

namespace {
// m equal arc-length parts: m + 1 points for open chains, m for closed ones.
void sampleUniform(const Points& v, bool closed, long m, Points& out) {
  const double len = perimeter(v, closed);
  if (m < 1 || len == 0) {
    out.push_back(v[0]);
    return;
  }
  const long count = closed ? m : m + 1;
  // Walk the edges once, placing the positions k * len / m in order.
  std::size_t edge = 0;
  const std::size_t n = edgeCount(v, closed);
  double cum = 0;
  for (long k = 0; k < count; ++k) {
    const double pos = len * (static_cast<double>(k) / m);
    if (!closed && k == m) {
      out.push_back(v.back());
      break;
    }
    while (edge + 1 < n && pos >= cum + v[edge].distance(edgeEnd(v, edge))) {
      cum += v[edge].distance(edgeEnd(v, edge));
      ++edge;
    }
    const ccVector<2>&a = v[edge], &b = edgeEnd(v, edge);
    const double el = a.distance(b);
    out.push_back(el > 0 && pos > cum ? a + (b - a) * (std::min(pos - cum, el) / el) : a);
  }
}
}  // namespace

void sample(const Points& v, bool closed, const ccShape::ccSampleParams& params,
            ccShape::ccSampleResult& result) {
  checkSampleParams(params);
  Points& out = result.positions();
  out.clear();
  if (v.empty()) return;
  const std::size_t n = edgeCount(v, closed);
  const long maxPts = params.maxPoints;
  const long uniformParts = closed ? maxPts : maxPts - 1;
  if (params.uniform) {
    const double len = perimeter(v, closed);
    const double parts = std::ceil(len / params.spacing);
    sampleUniform(v, closed, parts >= uniformParts ? uniformParts : static_cast<long>(parts), out);
    return;
  }
  // Parts per edge and the total count.
  std::vector<long> parts(n, 1);
  double total = closed ? 0 : 1;
  for (std::size_t i = 0; i < n; ++i) {
    if (params.spacing > 0) {
      const double k = std::ceil(v[i].distance(edgeEnd(v, i)) / params.spacing);
      parts[i] = k > 1 ? (k > maxPts ? maxPts + 1 : static_cast<long>(k)) : 1;
    }
    total += parts[i];
  }
  if (n == 0) total = 1;
  if (params.duplicateCorners && n > 0) total += closed ? n : n - 1;
  if (total > maxPts) {
    sampleUniform(v, closed, uniformParts, out);
    return;
  }
  out.reserve(static_cast<std::size_t>(total));
  out.push_back(v[0]);
  for (std::size_t i = 0; i < n; ++i) {
    const ccVector<2>&a = v[i], &b = edgeEnd(v, i);
    const bool last = i + 1 == n;
    for (long j = 1; j < parts[i]; ++j)
      out.push_back(a + (b - a) * (static_cast<double>(j) / parts[i]));
    if (last && closed && !params.duplicateCorners) break;  // do not come back to v[0]
    out.push_back(b);
    if (params.duplicateCorners && !last) out.push_back(b);
  }
}

ccPolyline subShape(const Points& v, bool closed, double s, double e) {
  if (v.empty()) throw ccShapesError::EmptyShape();
  if (!std::isfinite(s) || !std::isfinite(e))
    throw ccShapesError::BadParams("non-finite perimeter position");
  const double len = perimeter(v, closed);
  double start, run;
  if (!closed) {
    if (s > e) throw ccShapesError::BadParams("start position after end position");
    start = std::clamp(s, 0.0, len);
    run = std::clamp(e, 0.0, len) - start;
  } else {
    if (len == 0) return ccPolyline(Points{v[0]});
    run = e - s;
    if (run < 0) run += len * std::ceil(-run / len);
    run = std::min(run, len);
    start = std::fmod(s, len);
    if (start < 0) start += len;
  }
  // Collect: the start point, every vertex strictly inside the run, the end point. Closed
  // chains are walked twice around so that a run may wrap through v[0].
  Points out{pointAt(v, closed, start)};
  const std::size_t n = edgeCount(v, closed);
  const double end = start + run;
  double cum = 0;
  for (int lap = 0; lap < (closed ? 2 : 1) && cum < end; ++lap) {
    for (std::size_t i = 0; i < n && cum < end; ++i) {
      const ccVector<2>&a = v[i], &b = edgeEnd(v, i);
      const double el = a.distance(b);
      const double next = cum + el;
      if (next > start && next < end) out.push_back(b);
      if (next >= end && end > cum && el > 0) {
        out.push_back(end == next ? b : a + (b - a) * ((end - cum) / el));
      }
      cum = next;
    }
  }
  if (out.size() == 1) out.push_back(out[0]);  // a zero-length piece: a point, twice
  return ccPolyline(out);
}

Points reversed(const Points& v, bool closed) {
  Points r(v.rbegin(), v.rend());
  if (closed && !r.empty()) std::rotate(r.begin(), r.end() - 1, r.end());
  return r;
}

}  // namespace cc_detail

// ---- ccPolyline

ccPolyline::ccPolyline(const std::vector<ccVector<2>>& vertices, bool closed)
    : vertices_(vertices), closed_(closed) {
  cc_detail::checkFinite(vertices_);
}

void ccPolyline::vertices(const std::vector<ccVector<2>>& v) {
  cc_detail::checkFinite(v);
  mutating();
  vertices_ = v;
}

const ccVector<2>& ccPolyline::vertex(long i) const {
  if (i < 0 || i >= numVertices()) throw ccShapesError::BadParams("vertex index out of range");
  return vertices_[static_cast<std::size_t>(i)];
}

void ccPolyline::addVertex(const ccVector<2>& p) {
  cc_detail::checkFinite(p);
  mutating();
  vertices_.push_back(p);
}

ccPolyline ccPolyline::map(const ccXform<2>& x) const {
  std::vector<ccVector<2>> v;
  v.reserve(vertices_.size());
  for (const auto& p : vertices_) v.push_back(x * p);
  return ccPolyline(v, closed_);
}

ccShapePtrh ccPolyline::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccPolyline(map(x)));
}

bool ccPolyline::hasTangent() const { return cc_detail::hasTangent(vertices_); }

ccRect ccPolyline::boundingBox() const { return cc_detail::boundingBox(vertices_); }

ccVector<2> ccPolyline::nearestPoint(const ccVector<2>& p) const {
  return cc_detail::nearestPoint(vertices_, closed_, p);
}

ccVector<2> ccPolyline::startPoint() const {
  if (!isOpenContour()) throw ccShapesError::NotOpenContour();
  return vertices_.front();
}

ccVector<2> ccPolyline::endPoint() const {
  if (!isOpenContour()) throw ccShapesError::NotOpenContour();
  return vertices_.back();
}

ccRadian ccPolyline::startAngle() const {
  if (!isOpenContour()) throw ccShapesError::NotOpenContour();
  return cc_detail::startAngle(vertices_, false);
}

ccRadian ccPolyline::endAngle() const {
  if (!isOpenContour()) throw ccShapesError::NotOpenContour();
  return cc_detail::endAngle(vertices_, false);
}

ccRadian ccPolyline::tangentRotation() const {
  if (!isOpenContour()) throw ccShapesError::NotOpenContour();
  return cc_detail::tangentRotation(vertices_, false);
}

ccRadian ccPolyline::windingAngle(const ccVector<2>& p) const {
  return cc_detail::windingAngle(vertices_, closed_, p);
}

bool ccPolyline::isRightHanded() const {
  if (!isRegion()) throw ccShapesError::NotRegion();
  return cc_detail::signedArea2(vertices_) > 0;
}

bool ccPolyline::within(const ccVector<2>& p) const {
  if (!isRegion()) throw ccShapesError::NotRegion();
  return cc_detail::within(vertices_, p);
}

ccShapePtrh ccPolyline::reverse() const {
  if (vertices_.empty()) throw ccShapesError::EmptyShape();
  return ccShapePtrh(new ccPolyline(cc_detail::reversed(vertices_, closed_), closed_));
}

ccShapePtrh ccPolyline::decompose() const {
  std::vector<ccShapePtrh> parts;
  for (std::size_t i = 0, n = cc_detail::edgeCount(vertices_, closed_); i < n; ++i)
    parts.push_back(ccShapePtrh(new ccLineSeg(vertices_[i], cc_detail::edgeEnd(vertices_, i))));
  if (vertices_.size() == 1)
    parts.push_back(ccShapePtrh(new ccLineSeg(vertices_[0], vertices_[0])));
  return ccShapePtrh(new ccContourTree(parts, closed_));
}

void ccPolyline::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(vertices_, closed_, params, result);
}

double ccPolyline::perimeter() const { return cc_detail::perimeter(vertices_, closed_); }

double ccPolyline::nearestPerimPos(const ccVector<2>& p) const {
  double pos = 0;
  cc_detail::nearestPoint(vertices_, closed_, p, &pos);
  return pos;
}

ccShapePtrh ccPolyline::subShape(double startPos, double endPos) const {
  return ccShapePtrh(new ccPolyline(cc_detail::subShape(vertices_, closed_, startPos, endPos)));
}

bool ccPolyline::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccPolyline*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccPolyline::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccPolyline::serialize_(ar, version);
  setVisited(ar);
}

void ccPolyline::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  bool closed = closed_;
  std::vector<ccVector<2>> v = vertices_;
  ar || closed || v;
  if (ar.isLoading()) {
    cc_detail::checkFinite(v);
    mutating();
    vertices_.swap(v);
    closed_ = closed;
  }
}

ccArchive& operator||(ccArchive& ar, ccPolyline& p) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  bool closed = p.isClosed();
  std::vector<ccVector<2>> v = p.vertices();
  ar || closed || v;
  if (ar.isLoading()) p = ccPolyline(v, closed);
  return ar;
}

// ---- ccPolygon

namespace {
ccPolygon::PolyFillMode checkedMode(long mode) {
  if (mode < ccPolygon::eNoFill || mode > ccPolygon::eFillWinding)
    throw ccShapesError::BadParams("bad polygon fill mode");
  return static_cast<ccPolygon::PolyFillMode>(mode);
}
}  // namespace

ccPolygon::ccPolygon(const std::vector<ccVector<2>>& vertices, PolyFillMode mode)
    : vertices_(vertices), fillMode_(checkedMode(mode)) {
  cc_detail::checkFinite(vertices_);
}

void ccPolygon::vertices(const std::vector<ccVector<2>>& v) {
  cc_detail::checkFinite(v);
  mutating();
  vertices_ = v;
}

const ccVector<2>& ccPolygon::vertex(long i) const {
  if (i < 0 || i >= numVertices()) throw ccShapesError::BadParams("vertex index out of range");
  return vertices_[static_cast<std::size_t>(i)];
}

void ccPolygon::addVertex(const ccVector<2>& p) {
  cc_detail::checkFinite(p);
  mutating();
  vertices_.push_back(p);
}

void ccPolygon::fillMode(PolyFillMode mode) {
  const PolyFillMode m = checkedMode(mode);
  mutating();
  fillMode_ = m;
}

ccPolygon ccPolygon::map(const ccXform<2>& x) const {
  std::vector<ccVector<2>> v;
  v.reserve(vertices_.size());
  for (const auto& p : vertices_) v.push_back(x * p);
  return ccPolygon(v, fillMode_);
}

ccShapePtrh ccPolygon::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccPolygon(map(x)));
}

bool ccPolygon::hasTangent() const { return cc_detail::hasTangent(vertices_); }

ccRect ccPolygon::boundingBox() const { return cc_detail::boundingBox(vertices_); }

ccVector<2> ccPolygon::nearestPoint(const ccVector<2>& p) const {
  return cc_detail::nearestPoint(vertices_, true, p);
}

ccRadian ccPolygon::windingAngle(const ccVector<2>& p) const {
  return cc_detail::windingAngle(vertices_, true, p);
}

bool ccPolygon::isRightHanded() const {
  if (!isRegion()) throw ccShapesError::NotRegion();
  return cc_detail::signedArea2(vertices_) > 0;
}

bool ccPolygon::within(const ccVector<2>& p) const {
  if (!isRegion()) throw ccShapesError::NotRegion();
  return cc_detail::within(vertices_, p, fillMode_ == eFillWinding);
}

ccShapePtrh ccPolygon::reverse() const {
  if (vertices_.empty()) throw ccShapesError::EmptyShape();
  return ccShapePtrh(new ccPolygon(cc_detail::reversed(vertices_, true), fillMode_));
}

ccShapePtrh ccPolygon::decompose() const { return boundary().decompose(); }

void ccPolygon::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(vertices_, true, params, result);
}

double ccPolygon::perimeter() const { return cc_detail::perimeter(vertices_, true); }

double ccPolygon::nearestPerimPos(const ccVector<2>& p) const {
  double pos = 0;
  cc_detail::nearestPoint(vertices_, true, p, &pos);
  return pos;
}

ccShapePtrh ccPolygon::subShape(double startPos, double endPos) const {
  return ccShapePtrh(new ccPolyline(cc_detail::subShape(vertices_, true, startPos, endPos)));
}

bool ccPolygon::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccPolygon*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccPolygon::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccPolygon::serialize_(ar, version);
  setVisited(ar);
}

void ccPolygon::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  long mode = fillMode_;
  std::vector<ccVector<2>> v = vertices_;
  ar || mode || v;
  if (ar.isLoading()) {
    const PolyFillMode m = checkedMode(mode);
    cc_detail::checkFinite(v);
    mutating();
    vertices_.swap(v);
    fillMode_ = m;
  }
}

ccArchive& operator||(ccArchive& ar, ccPolygon& p) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  long mode = p.fillMode();
  std::vector<ccVector<2>> v = p.vertices();
  ar || mode || v;
  if (ar.isLoading()) p = ccPolygon(v, checkedMode(mode));
  return ar;
}
