#include <core/xform.h>

#include <core/archive.h>
#include <core/assert.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <ostream>

// ---- ccXform<2>

ccXform<2>::ccXform(const ccVector<2>& trans, const ccRadian& xRot, const ccRadian& yRot,
                    double xScale, double yScale)
    : c_(xScale * cos(xRot), -yScale * sin(yRot), xScale * sin(xRot), yScale * cos(yRot)),
      t_(trans) {}

ccRadian ccXform<2>::xRot() const { return cfAtan2(c_.element(1, 0), c_.element(0, 0)); }

double ccXform<2>::xScale() const { return std::hypot(c_.element(0, 0), c_.element(1, 0)); }

ccRadian ccXform<2>::yRot() const {
  const double ax = c_.element(0, 0), ay = c_.element(1, 0);
  // The mapped y axis turned back a quarter turn.
  const double bx = c_.element(1, 1), by = -c_.element(0, 1);
  if (ax == 0 && ay == 0) return cfAtan2(by, bx);
  // The angle from the mapped x axis to it, in (-pi, pi], taken from the cross and dot
  // products so that a small skew keeps its precision.
  return xRot() + cfAtan2(ax * by - ay * bx, ax * bx + ay * by);
}

double ccXform<2>::yScale() const { return std::hypot(c_.element(0, 1), c_.element(1, 1)); }

double ccXform<2>::scale() const { return std::sqrt(std::fabs(c_.determinant())); }

ccRadian ccXform<2>::mapAngle(const ccRadian& a) const {
  return (c_ * ccVector<2>(cos(a), sin(a))).angle();
}

ccRadian ccXform<2>::invMapAngle(const ccRadian& a) const {
  return (c_.inverse() * ccVector<2>(cos(a), sin(a))).angle();
}

ccXform<2> ccXform<2>::inverse() const {
  const ccMatrix<2> ci = c_.inverse();
  return ccXform(ci, -(ci * t_));
}

bool cfRealEq(const ccXform<2>& a, const ccXform<2>& b, double eps) {
  return cfRealEq(a.matrix(), b.matrix(), eps) && cfRealEq(a.trans(), b.trans(), eps);
}

std::ostream& operator<<(std::ostream& os, const ccXform<2>& x) {
  return os << '{' << x.matrix() << ", " << x.trans() << '}';
}

ccArchive& operator||(ccArchive& ar, ccXform<2>& x) {
  ccMatrix<2> c = x.matrix();
  ccVector<2> t = x.trans();
  ar || c;
  ar || t;
  if (ar.isLoading()) x = ccXform<2>(c, t);
  return ar;
}

// ---- cc2Rigid

ccXform<2> cc2Rigid::xform() const {
  const double c = cos(angle_);
  const double s = sin(angle_);
  return ccXform<2>(ccMatrix<2>(c, -s, s, c), trans_);
}

ccVector<2> operator*(const cc2Rigid& r, const ccVector<2>& p) {
  const double c = cos(r.angle_);
  const double s = sin(r.angle_);
  return ccVector<2>(c * p.x() - s * p.y(), s * p.x() + c * p.y()) + r.trans_;
}

cc2Rigid operator*(const cc2Rigid& a, const cc2Rigid& b) {
  return cc2Rigid(a.angle_ + b.angle_, a * b.trans_);
}

cc2Rigid cc2Rigid::inverse() const {
  const cc2Rigid back(-angle_, ccVector<2>());
  return cc2Rigid(-angle_, -(back * trans_));
}

bool cfRealEq(const cc2Rigid& a, const cc2Rigid& b, double eps) {
  return cfRealEq(a.angle(), b.angle(), eps) && cfRealEq(a.trans(), b.trans(), eps);
}

std::ostream& operator<<(std::ostream& os, const cc2Rigid& r) {
  return os << '{' << r.angle() << ", " << r.trans() << '}';
}

ccArchive& operator||(ccArchive& ar, cc2Rigid& r) {
  ccRadian a = r.angle();
  ccVector<2> t = r.trans();
  ar || a;
  ar || t;
  if (ar.isLoading()) r = cc2Rigid(a, t);
  return ar;
}

// ---- cc2XformBase and cc2XformLinear

ccPtrHandle<cc2XformBase> cc2XformBase::compose(const ccPtrHandle_const<cc2XformBase>& rhs) const {
  if (!rhs) {
    cstd_assert_(__LINE__, "core/xform");
    return clone();
  }
  if (isLinear() && rhs->isLinear()) {
    const ccVector<2> origin;
    return ccPtrHandle<cc2XformBase>(
        new cc2XformLinear(linearApprox(origin).xform() * rhs->linearApprox(origin).xform()));
  }
  // Share a copy of this, never this itself: it may not be held by handles.
  return ccPtrHandle<cc2XformBase>(new cc2XformComposed(clone(), rhs));
}

ccPtrHandle<cc2XformBase> cc2XformLinear::clone() const {
  return ccPtrHandle<cc2XformBase>(new cc2XformLinear(*this));
}

ccPtrHandle<cc2XformBase> cc2XformLinear::inverse() const {
  return ccPtrHandle<cc2XformBase>(new cc2XformLinear(xform_.inverse()));
}

// ---- cc2XformRadialDistortion

ccVector<2> cc2XformRadialDistortion::mapPoint(const ccVector<2>& p) const {
  const ccVector<2> d = p - center_;
  const double r2 = d.lengthSq();
  const double f = 1 + r2 * (k1_ + k2_ * r2);
  return affine_ * (center_ + d * f);
}

cc2XformLinear cc2XformRadialDistortion::linearApprox(const ccVector<2>& at) const {
  const ccVector<2> d = at - center_;
  const double r2 = d.lengthSq();
  const double f = 1 + r2 * (k1_ + k2_ * r2);
  const double h = 2 * k1_ + 4 * k2_ * r2;  // (df/dr) / r
  const ccMatrix<2> jd(f + h * d.x() * d.x(), h * d.x() * d.y(), h * d.x() * d.y(),
                       f + h * d.y() * d.y());
  const ccMatrix<2> j = affine_.matrix() * jd;
  const ccVector<2> image = affine_ * (center_ + d * f);
  return cc2XformLinear(ccXform<2>(j, image - j * at));
}

ccPtrHandle<cc2XformBase> cc2XformRadialDistortion::clone() const {
  return ccPtrHandle<cc2XformBase>(new cc2XformRadialDistortion(*this));
}

ccPtrHandle<cc2XformBase> cc2XformRadialDistortion::inverse() const {
  return ccPtrHandle<cc2XformBase>(new cc2XformRadialDistortionInverse(*this));
}

// ---- cc2XformRadialDistortionInverse

namespace {

// g(r) = r f(r) = r + k1 r^3 + k2 r^5 and its derivative.
double radialG(double r, double k1, double k2) {
  const double r2 = r * r;
  return r * (1 + r2 * (k1 + k2 * r2));
}
double radialDG(double r, double k1, double k2) {
  const double r2 = r * r;
  return 1 + r2 * (3 * k1 + 5 * k2 * r2);
}

// The first radius > 0 where g'(r) = 1 + 3 k1 s + 5 k2 s^2 (s = r^2) vanishes, or infinity
// when g' stays positive. A double root only touches 0, so g stays increasing there.
double firstStationaryRadius(double k1, double k2) {
  const double inf = std::numeric_limits<double>::infinity();
  double s = inf;
  if (k2 == 0) {
    if (k1 < 0) s = -1 / (3 * k1);
  } else {
    const double disc = 9 * k1 * k1 - 20 * k2;
    if (disc > 0) {
      // Roots without cancellation: q / (5 k2) and 1 / q; q != 0 since k2 != 0.
      const double q = -0.5 * (3 * k1 + std::copysign(std::sqrt(disc), k1));
      for (double root : {q / (5 * k2), 1 / q})
        if (root > 0) s = std::min(s, root);
    }
  }
  return std::sqrt(s);
}

}  // namespace

cc2XformRadialDistortionInverse::cc2XformRadialDistortionInverse(
    const cc2XformRadialDistortion& forward)
    : forward_(forward),
      affineInverse_(forward.affine().inverse()),
      rMax_(firstStationaryRadius(forward.k1(), forward.k2())),
      gMax_(std::isinf(rMax_) ? rMax_ : radialG(rMax_, forward.k1(), forward.k2())) {}

double cc2XformRadialDistortionInverse::solveRadius(double rho) const {
  const double k1 = forward_.k1();
  const double k2 = forward_.k2();
  if (rho == 0) return 0;
  if (!std::isfinite(rho) || rho > gMax_)
    throw ccMathError::OutOfDomain("point outside the domain of the inverse radial distortion");
  if (rho == gMax_) return rMax_;

  // Bracket [lo, hi] with g(lo) < rho <= g(hi), g increasing on it.
  double lo = 0;
  double hi = rMax_;
  if (std::isinf(hi)) {
    hi = std::max(rho, 1.0);
    while (radialG(hi, k1, k2) < rho) {
      hi *= 2;
      if (std::isinf(hi))
        throw ccMathError::OutOfDomain("radius of the inverse radial distortion overflows");
    }
  }
  // Newton from the undistorted radius; a step leaving the bracket is replaced by bisection,
  // which bounds the iteration (each bisection halves the bracket).
  double r = std::min(std::max(rho, lo), hi);
  for (int i = 0; i < 2200; ++i) {
    const double err = radialG(r, k1, k2) - rho;
    if (err == 0) return r;
    if (err < 0)
      lo = r;
    else
      hi = r;
    const double dg = radialDG(r, k1, k2);
    double next = dg > 0 ? r - err / dg : lo;
    if (!(next > lo && next < hi)) next = lo + (hi - lo) / 2;
    if (std::fabs(next - r) <= 2 * DBL_EPSILON * next || next == lo || next == hi) return next;
    r = next;
  }
  return r;
}

ccVector<2> cc2XformRadialDistortionInverse::mapPoint(const ccVector<2>& p) const {
  const ccVector<2> u = affineInverse_ * p - forward_.center();
  const double rho = u.length();
  const double r = solveRadius(rho);
  return rho == 0 ? forward_.center() : forward_.center() + u * (r / rho);
}

cc2XformLinear cc2XformRadialDistortionInverse::linearApprox(const ccVector<2>& at) const {
  const ccVector<2> pre = mapPoint(at);
  const ccXform<2> fwd = forward_.linearApprox(pre).xform();
  // Inverse of the forward approximation, moved to agree exactly at `at`.
  const ccMatrix<2> j = fwd.matrix().inverse();
  return cc2XformLinear(ccXform<2>(j, pre - j * at));
}

ccPtrHandle<cc2XformBase> cc2XformRadialDistortionInverse::clone() const {
  return ccPtrHandle<cc2XformBase>(new cc2XformRadialDistortionInverse(*this));
}

ccPtrHandle<cc2XformBase> cc2XformRadialDistortionInverse::inverse() const {
  return forward_.clone();
}

// ---- cc2XformComposed

namespace {
ccPtrHandle_const<cc2XformBase> orIdentity(const ccPtrHandle_const<cc2XformBase>& h) {
  if (h) return h;
  cstd_assert_(__LINE__, "core/xform");
  return ccPtrHandle_const<cc2XformBase>(new cc2XformLinear);
}
}  // namespace

cc2XformComposed::cc2XformComposed(const ccPtrHandle_const<cc2XformBase>& outer,
                                   const ccPtrHandle_const<cc2XformBase>& inner)
    : outer_(orIdentity(outer)), inner_(orIdentity(inner)) {}

ccVector<2> cc2XformComposed::mapPoint(const ccVector<2>& p) const {
  return outer_->mapPoint(inner_->mapPoint(p));
}

cc2XformLinear cc2XformComposed::linearApprox(const ccVector<2>& at) const {
  return cc2XformLinear(outer_->linearApprox(inner_->mapPoint(at)).xform() *
                        inner_->linearApprox(at).xform());
}

ccPtrHandle<cc2XformBase> cc2XformComposed::clone() const {
  return ccPtrHandle<cc2XformBase>(new cc2XformComposed(*this));
}

ccPtrHandle<cc2XformBase> cc2XformComposed::inverse() const {
  return inner_->inverse()->compose(outer_->inverse());
}

bool cfIsFinite(const ccXform<2>& x) {
  const ccMatrix<2>& m = x.matrix();
  return std::isfinite(m.element(0, 0)) && std::isfinite(m.element(0, 1)) &&
         std::isfinite(m.element(1, 0)) && std::isfinite(m.element(1, 1)) &&
         std::isfinite(x.trans().x()) && std::isfinite(x.trans().y());
}
