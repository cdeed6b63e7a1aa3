#include <core/lines.h>
#include <core/polyline.h>
#include <core/polyline_p.h>

#include <algorithm>
#include <cmath>
#include <limits>

bool clipSegmentToBox(const ccVector<2>& p, const ccVector<2>& q, const ccVector<2>& lo,
                      const ccVector<2>& hi, double& t0, double& t1) {
  t0 = 0;
  t1 = 1;
  for (int k = 0; k < 2; ++k) {
    const double d = q[k] - p[k], below = lo[k] - p[k], above = hi[k] - p[k];
    if (d == 0) {
      if (below > 0 || above < 0) return false;
      continue;
    }
    double a = below / d, b = above / d;
    if (a > b) std::swap(a, b);
    t0 = std::max(t0, a);
    t1 = std::min(t1, b);
  }
  return t0 <= t1;
}

namespace {
constexpr const char* kSource = "core/lines";

void checkFinite(const ccVector<2>& p) {
  if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
    throw ccShapesError::BadGeom("non-finite coordinate");
}

void checkDirection(const ccVector<2>& d) {
  checkFinite(d);
  if (d.x() == 0 && d.y() == 0) throw ccShapesError::DegenerateShape("zero line direction");
}
}  // namespace

// ---- ccLineSeg

ccLineSeg::ccLineSeg(const ccVector<2>& p1, const ccVector<2>& p2) : p1_(p1), p2_(p2) {
  checkFinite(p1);
  checkFinite(p2);
}

void ccLineSeg::p1(const ccVector<2>& p) {
  checkFinite(p);
  mutating();
  p1_ = p;
}

void ccLineSeg::p2(const ccVector<2>& p) {
  checkFinite(p);
  mutating();
  p2_ = p;
}

ccShapePtrh ccLineSeg::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccLineSeg(map(x)));
}

ccVector<2> ccLineSeg::nearestPoint(const ccVector<2>& p) const {
  return cc_detail::nearestPoint({p1_, p2_}, false, p);
}

ccRadian ccLineSeg::startAngle() const {
  if (p1_ == p2_) throw ccShapesError::NoTangent();
  return (p2_ - p1_).angle();
}

ccRadian ccLineSeg::windingAngle(const ccVector<2>& p) const {
  const ccVector<2> a = p1_ - p, b = p2_ - p;
  return ccRadian(std::atan2(a.cross(b), a.dot(b)));
}

ccShapePtrh ccLineSeg::reverse() const { return ccShapePtrh(new ccLineSeg(p2_, p1_)); }

void ccLineSeg::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample({p1_, p2_}, false, params, result);
}

double ccLineSeg::nearestPerimPos(const ccVector<2>& p) const {
  double pos = 0;
  cc_detail::nearestPoint({p1_, p2_}, false, p, &pos);
  return pos;
}

ccShapePtrh ccLineSeg::subShape(double startPos, double endPos) const {
  if (!std::isfinite(startPos) || !std::isfinite(endPos))
    throw ccShapesError::BadParams("non-finite perimeter position");
  if (startPos > endPos) throw ccShapesError::BadParams("start position after end position");
  const double len = length();
  const auto at = [&](double pos) {
    if (pos <= 0) return p1_;
    if (pos >= len) return p2_;
    return point(pos / len);
  };
  return ccShapePtrh(new ccLineSeg(at(startPos), at(endPos)));
}

bool ccLineSeg::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccLineSeg*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccLineSeg::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccLineSeg::serialize_(ar, version);
  setVisited(ar);
}

void ccLineSeg::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccVector<2> p1 = p1_, p2 = p2_;
  ar || p1 || p2;
  if (ar.isLoading()) {
    checkFinite(p1);
    checkFinite(p2);
    mutating();
    p1_ = p1;
    p2_ = p2;
  }
}

ccArchive& operator||(ccArchive& ar, ccLineSeg& s) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccVector<2> p1 = s.p1(), p2 = s.p2();
  ar || p1 || p2;
  if (ar.isLoading()) s = ccLineSeg(p1, p2);
  return ar;
}

// ---- ccLineSegSet

const ccLineSeg& ccLineSegSet::segment(long i) const {
  if (i < 0 || i >= size()) throw ccShapesError::BadParams("segment index out of range");
  return segments_[static_cast<std::size_t>(i)];
}

ccLineSegSet ccLineSegSet::map(const ccXform<2>& x) const {
  std::vector<ccLineSeg> s;
  s.reserve(segments_.size());
  for (const auto& seg : segments_) s.push_back(seg.map(x));
  return ccLineSegSet(s);
}

ccShapePtrh ccLineSegSet::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccLineSegSet(map(x)));
}

ccRect ccLineSegSet::boundingBox() const {
  std::vector<ccVector<2>> ends;
  for (const auto& s : segments_) {
    ends.push_back(s.p1());
    ends.push_back(s.p2());
  }
  return cc_detail::boundingBox(ends);
}

ccVector<2> ccLineSegSet::nearestPoint(const ccVector<2>& p) const {
  if (segments_.empty()) throw ccShapesError::EmptyShape();
  ccVector<2> best = segments_[0].nearestPoint(p);
  for (const auto& s : segments_) {
    const ccVector<2> q = s.nearestPoint(p);
    if ((q - p).lengthSq() < (best - p).lengthSq()) best = q;
  }
  return best;
}

ccShapePtrh ccLineSegSet::decompose() const {
  std::vector<ccShapePtrh> parts;
  for (const auto& s : segments_) parts.push_back(s.clone());
  return cc_detail::group(parts);
}

void ccLineSegSet::sample(const ccSampleParams& params, ccSampleResult& result) const {
  ccSampleResult one;
  result.clear();
  for (const auto& s : segments_) {
    s.sample(params, one);
    result.positions().insert(result.positions().end(), one.positions().begin(),
                              one.positions().end());
  }
}

double ccLineSegSet::perimeter() const {
  double sum = 0;
  for (const auto& s : segments_) sum += s.length();
  return sum;
}

bool ccLineSegSet::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccLineSegSet*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccLineSegSet::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccLineSegSet::serialize_(ar, version);
  setVisited(ar);
}

void ccLineSegSet::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  std::vector<ccLineSeg> s = segments_;
  ar || s;
  if (ar.isLoading()) {
    mutating();
    segments_.swap(s);
  }
}

ccArchive& operator||(ccArchive& ar, ccLineSegSet& s) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  std::vector<ccLineSeg> segs = s.segments();
  ar || segs;
  if (ar.isLoading()) s = ccLineSegSet(segs);
  return ar;
}

// ---- ccLine

ccLine::ccLine(const ccVector<2>& dir, const ccVector<2>& pos) : dir_(dir), pos_(pos) {
  checkFinite(pos);
  checkDirection(dir);
}

ccLine::ccLine(const ccRadian& angle, const ccVector<2>& pos)
    : ccLine(ccVector<2>(cos(angle), sin(angle)), pos) {
  if (!std::isfinite(angle.toDouble())) throw ccShapesError::BadGeom("non-finite angle");
}

void ccLine::dir(const ccVector<2>& d) {
  checkDirection(d);
  mutating();
  dir_ = d;
}

void ccLine::pos(const ccVector<2>& p) {
  checkFinite(p);
  mutating();
  pos_ = p;
}

ccLine ccLine::map(const ccXform<2>& x) const { return ccLine(x.mapVector(dir_), x * pos_); }

ccShapePtrh ccLine::mapShape(const ccXform<2>& x) const { return ccShapePtrh(new ccLine(map(x))); }

ccRect ccLine::boundingBox() const {
  throw ccShapesError::BadGeom("an infinite line has no bounds");
}

ccVector<2> ccLine::nearestPoint(const ccVector<2>& p) const {
  return pos_ + dir_ * ((p - pos_).dot(dir_) / dir_.lengthSq());
}

double ccLine::distanceToPoint(const ccVector<2>& p) const {
  return std::fabs(dir_.cross(p - pos_)) / dir_.length();
}

ccShapePtrh ccLine::reverse() const { return ccShapePtrh(new ccLine(-dir_, pos_)); }

bool ccLine::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccLine*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccLine::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccLine::serialize_(ar, version);
  setVisited(ar);
}

void ccLine::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccVector<2> d = dir_, p = pos_;
  ar || d || p;
  if (ar.isLoading()) {
    const ccLine checked(d, p);
    mutating();
    dir_ = d;
    pos_ = p;
  }
}

ccArchive& operator||(ccArchive& ar, ccLine& l) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccVector<2> d = l.dir(), p = l.pos();
  ar || d || p;
  if (ar.isLoading()) l = ccLine(d, p);
  return ar;
}

// ---- ccFLine

void ccFLine::set(double a, double b, double c) {
  if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c))
    throw ccShapesError::BadGeom("non-finite line coefficient");
  if (a == 0 && b == 0) throw ccShapesError::BadGeom("line coefficients a and b both 0");
  // Tiny coefficients (near or below the smallest normal double) carry too few bits for the
  // division below to give a normal of unit length, and such a line, stored and loaded, would
  // not store the same bytes again: they are first scaled by a power of two (exact) so that the
  // larger lies in [0.5, 1). Others are left as they are, so normalising stays idempotent.
  constexpr double kTinyCoefficient = 0x1p-960;  // far above the subnormals, far below 1
  if (const double m = std::max(std::fabs(a), std::fabs(b)); m < kTinyCoefficient) {
    int e = 0;
    std::frexp(m, &e);
    a = std::ldexp(a, -e);
    b = std::ldexp(b, -e);
    c = std::ldexp(c, -e);
  }
  const double n = std::hypot(a, b);
  const double offset = c / n;
  if (!std::isfinite(offset)) throw ccShapesError::BadGeom("line lies beyond the range of doubles");
  // Coefficients that are already of unit length to rounding are kept: dividing again would
  // move their last bits, so a line stored and loaded would not store the same bytes again.
  if (std::fabs(n - 1) <= 4 * std::numeric_limits<double>::epsilon()) {
    a_ = a;
    b_ = b;
    c_ = c;
    return;
  }
  a_ = a / n;
  b_ = b / n;
  c_ = offset;
}

ccFLine::ccFLine(double a, double b, double c) { set(a, b, c); }

ccFLine::ccFLine(const ccVector<2>& p1, const ccVector<2>& p2) {
  checkFinite(p1);
  checkFinite(p2);
  if (p1 == p2) throw ccShapesError::DegenerateShape("line through two equal points");
  const ccVector<2> d = (p2 - p1).unit();
  // Normal (a, b) = (-d.y, d.x); c from the point nearer the origin for less cancellation.
  const ccVector<2>& q = p1.lengthSq() <= p2.lengthSq() ? p1 : p2;
  set(-d.y(), d.x(), d.y() * q.x() - d.x() * q.y());
}

ccFLine::ccFLine(const ccVector<2>& p, const ccRadian& angle) {
  checkFinite(p);
  if (!std::isfinite(angle.toDouble())) throw ccShapesError::BadGeom("non-finite angle");
  const double cs = cos(angle), sn = sin(angle);
  set(-sn, cs, sn * p.x() - cs * p.y());
}

ccVector<2> ccFLine::closestPoint(const ccVector<2>& p) const {
  const double d = signedDistance(p);
  return ccVector<2>(p.x() - d * a_, p.y() - d * b_);
}

ccFLine::Intersect ccFLine::intersect(const ccFLine& o, ccVector<2>& pt) const {
  const double det = a_ * o.b_ - o.a_ * b_;  // sine of the angle between the lines
  if (std::fabs(det) <= ccParallelLinesTolerance) {
    const ccVector<2> q = o.point();
    if (std::fabs(signedDistance(q)) <= ccRoundingTolerance * std::max(1.0, q.length())) {
      pt = point();
      return eCoincident;
    }
    return eNone;
  }
  // Cramer's rule on a x + b y = -c.
  pt = ccVector<2>((b_ * o.c_ - o.b_ * c_) / det, (o.a_ * c_ - a_ * o.c_) / det);
  return ePoint;
}

std::vector<ccVector<2>> ccFLine::intersection(const ccFLine& other) const {
  ccVector<2> p;
  if (intersect(other, p) == ePoint) return {p};
  return {};
}

ccFLine ccFLine::map(const ccXform<2>& x) const {
  const ccVector<2> d = x.mapVector(dir());
  if (d.x() == 0 && d.y() == 0)
    throw ccShapesError::DegenerateShape("the map collapses the line to a point");
  return ccFLine(x * point(), d.angle());
}

ccShapePtrh ccFLine::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccFLine(map(x)));
}

ccRect ccFLine::boundingBox() const {
  throw ccShapesError::BadGeom("an infinite line has no bounds");
}

double ccFLine::distanceToPoint(const ccVector<2>& p) const { return std::fabs(signedDistance(p)); }

ccShapePtrh ccFLine::reverse() const { return ccShapePtrh(new ccFLine(-a_, -b_, -c_)); }

bool ccFLine::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccFLine*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccFLine::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccFLine::serialize_(ar, version);
  setVisited(ar);
}

void ccFLine::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  double a = a_, b = b_, c = c_;
  ar || a || b || c;
  if (ar.isLoading()) {
    const ccFLine checked(a, b, c);
    mutating();
    a_ = checked.a_;
    b_ = checked.b_;
    c_ = checked.c_;
  }
}

ccArchive& operator||(ccArchive& ar, ccFLine& l) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  double a = l.a(), b = l.b(), c = l.c();
  ar || a || b || c;
  if (ar.isLoading()) l = ccFLine(a, b, c);
  return ar;
}
