#include <core/rect.h>

#include <core/affinerect.h>
#include <core/polyline.h>
#include <core/polyline_p.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr const char* kSource = "core/rect";
}

ccRect::ccRect(const ccVector<2>& ul, const ccVector<2>& size) {
  const ccVector<2> far = ul + size;
  if (!std::isfinite(ul.x()) || !std::isfinite(ul.y()) || !std::isfinite(far.x()) ||
      !std::isfinite(far.y()))
    throw ccShapesError::BadGeom("rectangle corner is not finite");
  // A size that is not negative is kept exactly: going through the far corner could change it
  // in its last bits, or lose it altogether beside a large corner.
  ul_ = ccVector<2>(size.x() >= 0 ? ul.x() : far.x(), size.y() >= 0 ? ul.y() : far.y());
  sz_ = ccVector<2>(std::fabs(size.x()), std::fabs(size.y()));
}

ccRect ccRect::fromCorners(const ccVector<2>& a, const ccVector<2>& b) {
  if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) ||
      !std::isfinite(b.y()))
    throw ccShapesError::BadGeom("rectangle corner is not finite");
  ccRect r;
  r.ul_ = ccVector<2>(std::min(a.x(), b.x()), std::min(a.y(), b.y()));
  r.sz_ = ccVector<2>(std::fabs(b.x() - a.x()), std::fabs(b.y() - a.y()));
  return r;
}

void ccRect::sz(const ccVector<2>& v) {
  mutating();
  const ccRect r(ul_, v);
  ul_ = r.ul_;
  sz_ = r.sz_;
}

ccVector<2> ccRect::corner(int i) const {
  switch (i & 3) {
    case 0:
      return ul();
    case 1:
      return ur();
    case 2:
      return lr();
    default:
      return ll();
  }
}

ccRect& ccRect::enclose(const ccRect& r) {
  if (r.isNull()) return *this;
  mutating();
  if (isNull()) {
    ul_ = r.ul_;
    sz_ = r.sz_;
    return *this;
  }
  const ccVector<2> lo(std::min(ul_.x(), r.ul_.x()), std::min(ul_.y(), r.ul_.y()));
  const ccVector<2> hi(std::max(lr().x(), r.lr().x()), std::max(lr().y(), r.lr().y()));
  ul_ = lo;
  sz_ = hi - lo;
  return *this;
}

ccVector<2> ccRect::nearestPoint(const ccVector<2>& p) const {
  const double x0 = ul_.x(), y0 = ul_.y(), x1 = x0 + sz_.x(), y1 = y0 + sz_.y();
  const double cx = std::clamp(p.x(), x0, x1), cy = std::clamp(p.y(), y0, y1);
  if (cx != p.x() || cy != p.y()) return ccVector<2>(cx, cy);  // outside: the clamp is on the edge
  // Inside: the nearest of the four sides.
  const double dl = p.x() - x0, dr = x1 - p.x(), dt = p.y() - y0, db = y1 - p.y();
  const double m = std::min({dl, dr, dt, db});
  if (m == dl) return ccVector<2>(x0, p.y());
  if (m == dr) return ccVector<2>(x1, p.y());
  if (m == dt) return ccVector<2>(p.x(), y0);
  return ccVector<2>(p.x(), y1);
}

double ccRect::distanceToPoint(const ccVector<2>& p) const {
  return (p - nearestPoint(p)).length();
}

bool ccRect::within(const ccVector<2>& p) const {
  return p.x() >= ul_.x() && p.x() <= ul_.x() + sz_.x() && p.y() >= ul_.y() &&
         p.y() <= ul_.y() + sz_.y();
}

ccRadian ccRect::windingAngle(const ccVector<2>& p) const {
  double sweep = 0;
  for (int i = 0; i < 4; ++i) {
    const ccVector<2> a = corner(i) - p, b = corner(i + 1) - p;
    sweep += std::atan2(a.cross(b), a.dot(b));
  }
  return ccRadian(sweep);
}

bool ccRect::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccRect*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccRect::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccRect::serialize_(ar, version);
  setVisited(ar);
}

void ccRect::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccVector<2> ul = ul_, sz = sz_;
  ar || ul || sz;
  if (ar.isLoading()) *this = ccRect(ul, sz);
}

ccArchive& operator||(ccArchive& ar, ccRect& r) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccVector<2> ul = r.ul(), sz = r.sz();
  ar || ul || sz;
  if (ar.isLoading()) r = ccRect(ul, sz);
  return ar;
}

// ---- Contour operations: the boundary is the closed chain ul, ur, lr, ll.

namespace {
cc_detail::Points rectCorners(const ccRect& r) { return {r.ul(), r.ur(), r.lr(), r.ll()}; }
}  // namespace

ccShapePtrh ccRect::decompose() const {
  return ccShapePtrh(new ccPolyline(rectCorners(*this), true));
}

// The same boundary run the other way, from ul: the affine rectangle ul, ll, ur.
ccShapePtrh ccRect::reverse() const { return ccShapePtrh(new ccAffineRectangle(ul(), ll(), ur())); }

void ccRect::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(rectCorners(*this), true, params, result);
}

double ccRect::nearestPerimPos(const ccVector<2>& p) const {
  double pos = 0;
  cc_detail::nearestPoint(rectCorners(*this), true, p, &pos);
  return pos;
}

ccShapePtrh ccRect::subShape(double startPos, double endPos) const {
  return ccShapePtrh(
      new ccPolyline(cc_detail::subShape(rectCorners(*this), true, startPos, endPos)));
}
