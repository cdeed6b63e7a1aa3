// Two-dimensional transforms.
//
// ccXform<2>   an affine map p -> C p + t (a 2x2 matrix C plus a translation t).
// cc2Rigid     a rotation by an angle followed by a translation.
// cc2XformBase a general (possibly non-linear) map held by handle, with its linear
//              approximation at a point; cc2XformLinear wraps a ccXform<2>,
//              cc2XformRadialDistortion is a lens-style radial distortion, its inverse is
//              cc2XformRadialDistortionInverse, and cc2XformComposed chains two of them.
//              These objects are immutable once made, so composed transforms share their parts.
#pragma once

#include <core/angle.h>
#include <core/handle.h>
#include <core/math.h>
#include <core/matherror.h>
#include <core/matrix.h>
#include <core/vector.h>

#include <iosfwd>

class ccArchive;

template <int N>
class ccXform;

template <>
class ccXform<2> {
 public:
  // The identity.
  constexpr ccXform() = default;
  constexpr ccXform(const ccMatrix<2>& c, const ccVector<2>& t) : c_(c), t_(t) {}
  // The map whose matrix sends the x axis to xScale (cos xRot, sin xRot) and the y axis to
  // yScale (-sin yRot, cos yRot), followed by the translation trans. With xRot == yRot this
  // is rotation times scaling; yRot - xRot is the skew.
  ccXform(const ccVector<2>& trans, const ccRadian& xRot, const ccRadian& yRot, double xScale,
          double yScale);

  constexpr const ccMatrix<2>& matrix() const { return c_; }
  constexpr const ccVector<2>& trans() const { return t_; }
  constexpr void matrix(const ccMatrix<2>& c) { c_ = c; }
  constexpr void trans(const ccVector<2>& t) { t_ = t; }

  // The five parameters of the constructor above, recovered from the matrix in a canonical
  // form: xScale >= 0 is the length of the mapped x axis and xRot its direction, in (-pi, pi];
  // yScale >= 0 is the length of the mapped y axis and yRot its direction less a quarter turn,
  // taken within half a turn of xRot: yRot - xRot lies in (-pi, pi]. So yRot - xRot is the
  // skew of an orientation-keeping map, and a reflecting one shows as a difference of more
  // than a quarter turn (diag(1, -1) has xRot 0 and yRot pi). A transform built from
  // parameters already in this form gives them back (to rounding); any other gives
  // parameters that build the same matrix.
  ccRadian xRot() const;
  ccRadian yRot() const;
  double xScale() const;
  double yScale() const;
  // A single representative scale: sqrt(|det C|).
  double scale() const;

  // Maps a point: C p + t.
  constexpr ccVector<2> mapPoint(const ccVector<2>& p) const { return c_ * p + t_; }
  // Maps a displacement: C v (no translation).
  constexpr ccVector<2> mapVector(const ccVector<2>& v) const { return c_ * v; }
  // The direction of the mapped unit vector at angle a (0 when it maps to the zero vector).
  ccRadian mapAngle(const ccRadian& a) const;
  // The direction that maps to direction a. Throws ccMathError::Singular like inverse().
  ccRadian invMapAngle(const ccRadian& a) const;

  // Throws ccMathError::Singular when the matrix is (see ccMatrix<2>::inverse).
  ccXform inverse() const;

  // Exact test.
  constexpr bool isIdentity() const { return c_ == ccMatrix<2>() && t_ == ccVector<2>(); }

  friend constexpr ccVector<2> operator*(const ccXform& x, const ccVector<2>& p) {
    return x.mapPoint(p);
  }
  // Composition: (a * b) * p == a * (b * p).
  friend constexpr ccXform operator*(const ccXform& a, const ccXform& b) {
    return ccXform(a.c_ * b.c_, a.c_ * b.t_ + a.t_);
  }
  constexpr ccXform& operator*=(const ccXform& b) { return *this = *this * b; }

  // Exact comparison.
  friend constexpr bool operator==(const ccXform& a, const ccXform& b) {
    return a.c_ == b.c_ && a.t_ == b.t_;
  }
  friend constexpr bool operator!=(const ccXform& a, const ccXform& b) { return !(a == b); }

 private:
  ccMatrix<2> c_;
  ccVector<2> t_;
};

// All six numbers differ by at most eps.
bool cfRealEq(const ccXform<2>& a, const ccXform<2>& b, double eps = ccRealEqEpsilon);
// Every element of the matrix and the translation is finite.
bool cfIsFinite(const ccXform<2>& x);

// "{[[e11, e12], [e21, e22]], (tx, ty)}".
std::ostream& operator<<(std::ostream& os, const ccXform<2>& x);

// Archive form: e11, e12, e21, e22, tx, ty as doubles (48 bytes).
ccArchive& operator||(ccArchive& ar, ccXform<2>& x);

// A rigid map: rotation by angle about the origin, then translation by trans.
class cc2Rigid {
 public:
  // The identity.
  constexpr cc2Rigid() = default;
  constexpr cc2Rigid(const ccRadian& angle, const ccVector<2>& trans)
      : angle_(angle), trans_(trans) {}

  constexpr const ccRadian& angle() const { return angle_; }
  constexpr const ccVector<2>& trans() const { return trans_; }
  constexpr void angle(const ccRadian& a) { angle_ = a; }
  constexpr void trans(const ccVector<2>& t) { trans_ = t; }

  // The same map as an affine transform.
  ccXform<2> xform() const;
  // Angle -angle; exact inverse up to rounding of the translation.
  cc2Rigid inverse() const;

  // Angles add (not reduced).
  friend cc2Rigid operator*(const cc2Rigid& a, const cc2Rigid& b);
  friend ccVector<2> operator*(const cc2Rigid& r, const ccVector<2>& p);
  friend ccXform<2> operator*(const cc2Rigid& r, const ccXform<2>& x) { return r.xform() * x; }
  friend ccXform<2> operator*(const ccXform<2>& x, const cc2Rigid& r) { return x * r.xform(); }

  // Exact comparison of angle and translation.
  friend constexpr bool operator==(const cc2Rigid& a, const cc2Rigid& b) {
    return a.angle_ == b.angle_ && a.trans_ == b.trans_;
  }
  friend constexpr bool operator!=(const cc2Rigid& a, const cc2Rigid& b) { return !(a == b); }

 private:
  ccRadian angle_;
  ccVector<2> trans_;
};

// Angles (not reduced) and translations differ by at most eps.
bool cfRealEq(const cc2Rigid& a, const cc2Rigid& b, double eps = ccRealEqEpsilon);

// "{<angle> rad, (tx, ty)}".
std::ostream& operator<<(std::ostream& os, const cc2Rigid& r);

// Archive form: the angle (double), then the translation (two doubles): 24 bytes.
ccArchive& operator||(ccArchive& ar, cc2Rigid& r);

class cc2XformLinear;

// A general two-dimensional transform, held by ccPtrHandle.
class cc2XformBase : public ccRepBase {
 public:
  ~cc2XformBase() override = default;

  // True when the transform is affine (its linear approximation is exact everywhere).
  virtual bool isLinear() const = 0;
  virtual ccVector<2> mapPoint(const ccVector<2>& p) const = 0;
  // The affine map that best approximates this transform near `at`: its matrix is the
  // Jacobian at `at`, its translation makes it agree with the transform at `at`.
  virtual cc2XformLinear linearApprox(const ccVector<2>& at) const = 0;
  // This transform after rhs: p -> this(rhs(p)). Two linear transforms give a
  // cc2XformLinear, anything else a cc2XformComposed. A null rhs is reported through
  // cstd_assert_ and taken as the identity.
  virtual ccPtrHandle<cc2XformBase> compose(const ccPtrHandle_const<cc2XformBase>& rhs) const;
  // A new copy of this transform.
  virtual ccPtrHandle<cc2XformBase> clone() const = 0;
  // The inverse transform. Throws ccMathError::Singular when there is none.
  virtual ccPtrHandle<cc2XformBase> inverse() const = 0;

 protected:
  cc2XformBase() = default;
  cc2XformBase(const cc2XformBase&) = default;
  cc2XformBase& operator=(const cc2XformBase&) = default;
};

// An affine transform as a cc2XformBase.
class cc2XformLinear : public cc2XformBase {
 public:
  cc2XformLinear() = default;
  cc2XformLinear(const ccXform<2>& x) : xform_(x) {}

  const ccXform<2>& xform() const { return xform_; }
  double scale() const { return xform_.scale(); }

  bool isLinear() const override { return true; }
  ccVector<2> mapPoint(const ccVector<2>& p) const override { return xform_ * p; }
  cc2XformLinear linearApprox(const ccVector<2>&) const override { return *this; }
  ccPtrHandle<cc2XformBase> clone() const override;
  ccPtrHandle<cc2XformBase> inverse() const override;

  friend bool operator==(const cc2XformLinear& a, const cc2XformLinear& b) {
    return a.xform_ == b.xform_;
  }
  friend bool operator!=(const cc2XformLinear& a, const cc2XformLinear& b) { return !(a == b); }

 private:
  ccXform<2> xform_;
};

// Radial (lens) distortion about a centre c, followed by an affine map A:
//   p -> A(c + (p - c) f(r)),  r = |p - c|,  f(r) = 1 + k1 r^2 + k2 r^4.
// Linear only when k1 and k2 are both 0.
class cc2XformRadialDistortion : public cc2XformBase {
 public:
  cc2XformRadialDistortion(const ccXform<2>& affine, const ccVector<2>& center, double k1,
                           double k2 = 0)
      : affine_(affine), center_(center), k1_(k1), k2_(k2) {}

  const ccXform<2>& affine() const { return affine_; }
  const ccVector<2>& center() const { return center_; }
  double k1() const { return k1_; }
  double k2() const { return k2_; }

  bool isLinear() const override { return k1_ == 0 && k2_ == 0; }
  ccVector<2> mapPoint(const ccVector<2>& p) const override;
  // Analytic: A's matrix times f I + (2 k1 + 4 k2 r^2) d d^T, with d = at - c.
  cc2XformLinear linearApprox(const ccVector<2>& at) const override;
  ccPtrHandle<cc2XformBase> clone() const override;
  // A cc2XformRadialDistortionInverse. Throws ccMathError::Singular when A is singular.
  ccPtrHandle<cc2XformBase> inverse() const override;

 private:
  ccXform<2> affine_;
  ccVector<2> center_;
  double k1_;
  double k2_;
};

// The inverse of a cc2XformRadialDistortion. It exists on the branch of radii through 0
// where the distortion is increasing, r f(r) growing with r: everywhere when k1, k2 >= 0,
// else up to the first radius where d(r f(r))/dr = 0. Points mapped from beyond that radius
// have no preimage on the branch; mapPoint throws ccMathError::OutOfDomain for them.
class cc2XformRadialDistortionInverse : public cc2XformBase {
 public:
  // Throws ccMathError::Singular when the distortion's affine map is singular.
  explicit cc2XformRadialDistortionInverse(const cc2XformRadialDistortion& forward);

  const cc2XformRadialDistortion& forward() const { return forward_; }
  // The largest undistorted radius of the branch (infinity when unbounded).
  double maxRadius() const { return rMax_; }

  bool isLinear() const override { return forward_.isLinear(); }
  // Solves for the radius by safeguarded Newton iteration, to a few units in the last place.
  ccVector<2> mapPoint(const ccVector<2>& p) const override;
  // The inverse of the forward's approximation at the preimage of `at` (Singular at the
  // edge of the branch, where the Jacobian is singular).
  cc2XformLinear linearApprox(const ccVector<2>& at) const override;
  ccPtrHandle<cc2XformBase> clone() const override;
  // A copy of the forward distortion.
  ccPtrHandle<cc2XformBase> inverse() const override;

 private:
  // The radius r on the branch with r f(r) == rho.
  double solveRadius(double rho) const;

  cc2XformRadialDistortion forward_;
  ccXform<2> affineInverse_;
  double rMax_;  // end of the increasing branch, or infinity
  double gMax_;  // rMax_ f(rMax_), or infinity
};

// Two transforms applied one after the other: p -> outer(inner(p)).
class cc2XformComposed : public cc2XformBase {
 public:
  // A null part is reported through cstd_assert_ and taken as the identity.
  cc2XformComposed(const ccPtrHandle_const<cc2XformBase>& outer,
                   const ccPtrHandle_const<cc2XformBase>& inner);

  const ccPtrHandle_const<cc2XformBase>& outer() const { return outer_; }
  const ccPtrHandle_const<cc2XformBase>& inner() const { return inner_; }

  bool isLinear() const override { return outer_->isLinear() && inner_->isLinear(); }
  ccVector<2> mapPoint(const ccVector<2>& p) const override;
  // Chain rule: outer's approximation at inner(at) after inner's at `at`.
  cc2XformLinear linearApprox(const ccVector<2>& at) const override;
  ccPtrHandle<cc2XformBase> clone() const override;
  // inner^-1 after outer^-1.
  ccPtrHandle<cc2XformBase> inverse() const override;

 private:
  ccPtrHandle_const<cc2XformBase> outer_;
  ccPtrHandle_const<cc2XformBase> inner_;
};
