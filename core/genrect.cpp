#include <core/contour_p.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/lines.h>
#include <core/shapetree.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kSource = "core/genrect";

using cc_detail::Piece;

bool finite(const ccVector<2>& v) { return std::isfinite(v.x()) && std::isfinite(v.y()); }

void check(const ccVector<2>& center, const ccMatrix<2>& u, const ccVector<2>& uround) {
  if (!finite(center) || !finite(uround) || !std::isfinite(u.element(0, 0)) ||
      !std::isfinite(u.element(0, 1)) || !std::isfinite(u.element(1, 0)) ||
      !std::isfinite(u.element(1, 1)))
    throw ccShapesError::BadGeom("non-finite value");
  if (uround.x() < 0 || uround.x() > 1 || uround.y() < 0 || uround.y() > 1)
    throw ccShapesError::BadParams("corner rounding outside [0, 1]");
}

// Sharp corners when either rounding component is 0.
ccVector<2> effectiveRounding(const ccVector<2>& r) {
  return r.x() == 0 || r.y() == 0 ? ccVector<2>(0, 0) : r;
}

// The contour pieces (see the class comment), zero-length sides left out; at least one.
std::vector<Piece> pieces(const ccGenRect& g) {
  const ccVector<2> r = effectiveRounding(g.uround());
  const double ux = r.x(), uy = r.y(), ax = 1 - ux, ay = 1 - uy;
  const ccMatrix<2>& u = g.U();
  const ccVector<2> c = g.center();
  auto at = [&](double x, double y) { return c + u * ccVector<2>(x, y); };
  const ccMatrix<2> corner = u * ccMatrix<2>(ux, 0, 0, uy);
  const bool rounded = ux > 0;
  std::vector<Piece> out;
  auto side = [&](const ccVector<2>& a, const ccVector<2>& b, bool nonEmpty) {
    if (nonEmpty && a != b) out.push_back(Piece::segment(a, b));
  };
  auto arc = [&](double cx, double cy, double t0) {
    if (rounded) out.push_back(Piece::arc(at(cx, cy), corner, t0, ccPi / 2));
  };
  side(at(-ax, -1), at(ax, -1), ax > 0);
  arc(ax, -ay, -ccPi / 2);
  side(at(1, -ay), at(1, ay), ay > 0);
  arc(ax, ay, 0);
  side(at(ax, 1), at(-ax, 1), ax > 0);
  arc(-ax, ay, ccPi / 2);
  side(at(-1, ay), at(-1, -ay), ay > 0);
  arc(-ax, -ay, ccPi);
  if (out.empty()) out.push_back(Piece::segment(c, c));  // U = 0: a point
  return out;
}

// The pieces as shapes in a closed contour tree.
ccContourTree contourTree(const ccGenRect& g) {
  std::vector<ccShapePtrh> children;
  for (const Piece& p : pieces(g)) {
    if (p.isArc)
      children.push_back(ccShapePtrh(
          new ccEllipseArc2(ccEllipse2(ccXform<2>(p.m, p.c)), ccRadian(p.t0), ccRadian(p.span))));
    else
      children.push_back(ccShapePtrh(new ccLineSeg(p.a, p.b)));
  }
  return ccContourTree(children, true);
}

void serializeGenRect(ccArchive& ar, ccGenRect& g) {
  ccVector<2> c = g.center(), r = g.uround();
  ccMatrix<2> u = g.U();
  ar || c || u || r;
  if (ar.isLoading()) g = ccGenRect(c, u, r);
}

}  // namespace

// ---- ccGenRect

ccGenRect::ccGenRect(const ccVector<2>& center, const ccMatrix<2>& U, const ccVector<2>& uround) {
  check(center, U, uround);
  center_ = center;
  u_ = U;
  uround_ = uround;
}

ccGenRect::ccGenRect(const ccVector<2>& center, const ccVector<2>& halfSize,
                     const ccRadian& rotation, const ccVector<2>& uround) {
  if (!finite(halfSize) || !std::isfinite(rotation.toDouble()))
    throw ccShapesError::BadGeom("non-finite value");
  if (halfSize.x() < 0 || halfSize.y() < 0) throw ccShapesError::BadParams("negative half-extent");
  const double c = cos(rotation), s = sin(rotation);
  *this = ccGenRect(
      center, ccMatrix<2>(c * halfSize.x(), -s * halfSize.y(), s * halfSize.x(), c * halfSize.y()),
      uround);
}

ccGenRect::ccGenRect(const ccRect& r)
    : ccGenRect(r.center(), ccMatrix<2>(r.width() / 2, 0, 0, r.height() / 2)) {}

ccVector<2> ccGenRect::corner(int i) const {
  static const double xs[4] = {-1, 1, 1, -1}, ys[4] = {-1, -1, 1, 1};
  const int k = i & 3;
  return center_ + u_ * ccVector<2>(xs[k], ys[k]);
}

std::vector<ccVector<2>> ccGenRect::corners() const {
  return {corner(0), corner(1), corner(2), corner(3)};
}

void ccGenRect::center(const ccVector<2>& c) {
  check(c, u_, uround_);
  mutating();
  center_ = c;
}

void ccGenRect::U(const ccMatrix<2>& u) {
  check(center_, u, uround_);
  mutating();
  u_ = u;
}

void ccGenRect::uround(const ccVector<2>& r) {
  check(center_, u_, r);
  mutating();
  uround_ = r;
}

ccGenRect ccGenRect::map(const ccXform<2>& x) const {
  return ccGenRect(x * center_, x.matrix() * u_, uround_);
}

ccShapePtrh ccGenRect::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccGenRect(map(x)));
}

bool ccGenRect::hasTangent() const { return u_ != ccMatrix<2>(0, 0, 0, 0); }

ccRect ccGenRect::boundingBox() const {
  // Support of (rectangle of half-extents (1 - ux, 1 - uy)) + (ellipse (ux, uy)) in the
  // directions U^T e_x and U^T e_y.
  const ccVector<2> r = effectiveRounding(uround_);
  auto half = [&](double a, double b) {
    return (1 - r.x()) * std::fabs(a) + (1 - r.y()) * std::fabs(b) +
           std::hypot(r.x() * a, r.y() * b);
  };
  const ccVector<2> h(half(u_.element(0, 0), u_.element(0, 1)),
                      half(u_.element(1, 0), u_.element(1, 1)));
  return ccRect::fromCorners(center_ - h, center_ + h);
}

ccVector<2> ccGenRect::nearestPoint(const ccVector<2>& p) const {
  return cc_detail::nearest(pieces(*this), p).point;
}

double ccGenRect::distanceToPoint(const ccVector<2>& p) const {
  return std::sqrt(cc_detail::nearest(pieces(*this), p).distSq);
}

bool ccGenRect::within(const ccVector<2>& p) const {
  if (isDegenerate()) return distanceToPoint(p) == 0;
  const ccVector<2> q = u_.inverse() * (p - center_);
  const double qx = std::fabs(q.x()), qy = std::fabs(q.y());
  if (qx > 1 || qy > 1) return false;
  const ccVector<2> r = effectiveRounding(uround_);
  const double dx = qx - (1 - r.x()), dy = qy - (1 - r.y());
  if (dx <= 0 || dy <= 0) return true;
  const double a = dx / r.x(), b = dy / r.y();
  return a * a + b * b <= 1;
}

bool ccGenRect::isRightHanded() const { return u_.determinant() >= 0; }

ccShapePtrh ccGenRect::reverse() const {
  return ccShapePtrh(
      new ccGenRect(center_, u_ * ccMatrix<2>(0, 1, 1, 0), ccVector<2>(uround_.y(), uround_.x())));
}

void ccGenRect::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(pieces(*this), true, params, result);
}

ccShapePtrh ccGenRect::decompose() const {
  return ccShapePtrh(new ccContourTree(contourTree(*this)));
}

double ccGenRect::perimeter() const { return cc_detail::length(pieces(*this)); }

double ccGenRect::nearestPerimPos(const ccVector<2>& p) const {
  const auto ps = pieces(*this);
  return cc_detail::position(ps, cc_detail::nearest(ps, p));
}

bool ccGenRect::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccGenRect*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccGenRect::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccGenRect::serialize_(ar, version);
  setVisited(ar);
}

void ccGenRect::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccGenRect g = *this;
  serializeGenRect(ar, g);
  if (ar.isLoading()) {
    mutating();
    center_ = g.center_;
    u_ = g.u_;
    uround_ = g.uround_;
  }
}

// ---- ccGenAnnulus

ccGenAnnulus::ccGenAnnulus(const ccGenRect& inner, const ccGenRect& outer)
    : inner_(inner), outer_(outer) {}

void ccGenAnnulus::inner(const ccGenRect& r) {
  mutating();
  inner_ = r;
}

void ccGenAnnulus::outer(const ccGenRect& r) {
  mutating();
  outer_ = r;
}

ccGenAnnulus ccGenAnnulus::map(const ccXform<2>& x) const {
  return ccGenAnnulus(inner_.map(x), outer_.map(x));
}

ccShapePtrh ccGenAnnulus::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccGenAnnulus(map(x)));
}

ccRect ccGenAnnulus::boundingBox() const {
  const ccRect a = outer_.boundingBox(), b = inner_.boundingBox();
  return ccRect::fromCorners(
      ccVector<2>(std::min(a.ul().x(), b.ul().x()), std::min(a.ul().y(), b.ul().y())),
      ccVector<2>(std::max(a.lr().x(), b.lr().x()), std::max(a.lr().y(), b.lr().y())));
}

ccVector<2> ccGenAnnulus::nearestPoint(const ccVector<2>& p) const {
  const ccVector<2> o = outer_.nearestPoint(p), i = inner_.nearestPoint(p);
  return (i - p).lengthSq() < (o - p).lengthSq() ? i : o;
}

double ccGenAnnulus::distanceToPoint(const ccVector<2>& p) const {
  return std::min(outer_.distanceToPoint(p), inner_.distanceToPoint(p));
}

bool ccGenAnnulus::within(const ccVector<2>& p) const {
  if (!outer_.within(p)) return false;
  return !inner_.within(p) || inner_.distanceToPoint(p) == 0;
}

void ccGenAnnulus::sample(const ccSampleParams& params, ccSampleResult& result) const {
  ccSampleResult in;
  outer_.sample(params, result);
  inner_.sample(params, in);
  result.positions().insert(result.positions().end(), in.positions().begin(), in.positions().end());
}

ccShapePtrh ccGenAnnulus::decompose() const {
  ccPtrHandle<ccRegionTree> tree(new ccRegionTree(contourTree(outer_)));
  tree->add(ccShapePtrh(new ccRegionTree(contourTree(inner_), true)));
  return tree;
}

double ccGenAnnulus::perimeter() const { return outer_.perimeter() + inner_.perimeter(); }

bool ccGenAnnulus::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccGenAnnulus*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccGenAnnulus::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccGenAnnulus::serialize_(ar, version);
  setVisited(ar);
}

void ccGenAnnulus::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccGenRect in = inner_, out = outer_;
  serializeGenRect(ar, in);
  serializeGenRect(ar, out);
  if (ar.isLoading()) {
    mutating();
    inner_ = in;
    outer_ = out;
  }
}
