// Angles in radians and degrees.
//
// ccRadian and ccDegree are plain doubles with a unit. Each converts implicitly from the
// other, so an operation whose right operand is of the other unit converts it to the unit of
// the left one. Neither converts from or to double implicitly: use the explicit constructor
// and toDouble().
//
// Radian norms reduce by the double 2 * ccPi, so exact multiples of it reduce to 0; for huge
// angles the result drifts from the exact reduction by about |angle| times the relative
// rounding of that double (under 2^-54).
#pragma once

#include <core/math.h>

#include <cmath>
#include <iosfwd>

class ccArchive;
class ccDegree;

namespace cc_detail {
// v reduced into [0, period). fmod is exact; adding the period to a tiny negative remainder
// can round up to the period itself, which is folded to 0. NaN and infinities give NaN.
inline double norm(double v, double period) {
  double r = std::fmod(v, period);
  if (r < 0) r += period;
  if (r >= period || r == 0) r = 0;  // also turns -0 into +0
  return r;
}
// v reduced into [-period/2, period/2), exactly: the remainder lies in (-period, period)
// and moving it by one period from beyond a half period is exact (Sterbenz).
inline double signedNorm(double v, double period) {
  double r = std::fmod(v, period);
  if (r >= period / 2)
    r -= period;
  else if (r < -period / 2)
    r += period;
  return r == 0 ? 0 : r;  // -0 becomes +0
}
}  // namespace cc_detail

class ccRadian {
 public:
  constexpr ccRadian() = default;
  constexpr explicit ccRadian(double v) : v_(v) {}
  constexpr ccRadian(const ccDegree& d);  // defined after ccDegree

  constexpr double toDouble() const { return v_; }

  // The same direction in [0, 2pi).
  ccRadian norm() const { return ccRadian(cc_detail::norm(v_, 2 * ccPi)); }
  // The same direction in [-pi, pi).
  ccRadian signedNorm() const { return ccRadian(cc_detail::signedNorm(v_, 2 * ccPi)); }

  constexpr ccRadian operator+(const ccRadian& o) const { return ccRadian(v_ + o.v_); }
  constexpr ccRadian operator-(const ccRadian& o) const { return ccRadian(v_ - o.v_); }
  constexpr ccRadian operator-() const { return ccRadian(-v_); }
  constexpr ccRadian operator*(double s) const { return ccRadian(v_ * s); }
  constexpr ccRadian operator/(double s) const { return ccRadian(v_ / s); }
  // The ratio of two angles.
  constexpr double operator/(const ccRadian& o) const { return v_ / o.v_; }

  constexpr ccRadian& operator+=(const ccRadian& o) {
    v_ += o.v_;
    return *this;
  }
  constexpr ccRadian& operator-=(const ccRadian& o) {
    v_ -= o.v_;
    return *this;
  }
  constexpr ccRadian& operator*=(double s) {
    v_ *= s;
    return *this;
  }
  constexpr ccRadian& operator/=(double s) {
    v_ /= s;
    return *this;
  }

  constexpr bool operator==(const ccRadian& o) const { return v_ == o.v_; }
  constexpr bool operator!=(const ccRadian& o) const { return v_ != o.v_; }
  constexpr bool operator<(const ccRadian& o) const { return v_ < o.v_; }
  constexpr bool operator<=(const ccRadian& o) const { return v_ <= o.v_; }
  constexpr bool operator>(const ccRadian& o) const { return v_ > o.v_; }
  constexpr bool operator>=(const ccRadian& o) const { return v_ >= o.v_; }

 private:
  double v_ = 0;
};

class ccDegree {
 public:
  constexpr ccDegree() = default;
  constexpr explicit ccDegree(double v) : v_(v) {}
  // Divides before multiplying so that multiples of pi/2 give exact degrees.
  constexpr ccDegree(const ccRadian& r) : v_(r.toDouble() / ccPi * 180.0) {}

  constexpr double toDouble() const { return v_; }

  // The same direction in [0, 360).
  ccDegree norm() const { return ccDegree(cc_detail::norm(v_, 360.0)); }
  // The same direction in [-180, 180).
  ccDegree signedNorm() const { return ccDegree(cc_detail::signedNorm(v_, 360.0)); }

  constexpr ccDegree operator+(const ccDegree& o) const { return ccDegree(v_ + o.v_); }
  constexpr ccDegree operator-(const ccDegree& o) const { return ccDegree(v_ - o.v_); }
  constexpr ccDegree operator-() const { return ccDegree(-v_); }
  constexpr ccDegree operator*(double s) const { return ccDegree(v_ * s); }
  constexpr ccDegree operator/(double s) const { return ccDegree(v_ / s); }
  // The ratio of two angles.
  constexpr double operator/(const ccDegree& o) const { return v_ / o.v_; }

  constexpr ccDegree& operator+=(const ccDegree& o) {
    v_ += o.v_;
    return *this;
  }
  constexpr ccDegree& operator-=(const ccDegree& o) {
    v_ -= o.v_;
    return *this;
  }
  constexpr ccDegree& operator*=(double s) {
    v_ *= s;
    return *this;
  }
  constexpr ccDegree& operator/=(double s) {
    v_ /= s;
    return *this;
  }

  constexpr bool operator==(const ccDegree& o) const { return v_ == o.v_; }
  constexpr bool operator!=(const ccDegree& o) const { return v_ != o.v_; }
  constexpr bool operator<(const ccDegree& o) const { return v_ < o.v_; }
  constexpr bool operator<=(const ccDegree& o) const { return v_ <= o.v_; }
  constexpr bool operator>(const ccDegree& o) const { return v_ > o.v_; }
  constexpr bool operator>=(const ccDegree& o) const { return v_ >= o.v_; }

 private:
  double v_ = 0;
};

// Divides before multiplying so that 90, 180 and 360 degrees give pi/2, pi and 2pi exactly.
constexpr ccRadian::ccRadian(const ccDegree& d) : v_(d.toDouble() / 180.0 * ccPi) {}

constexpr ccRadian operator*(double s, const ccRadian& a) { return a * s; }
constexpr ccDegree operator*(double s, const ccDegree& a) { return a * s; }

inline double sin(const ccRadian& a) { return std::sin(a.toDouble()); }
inline double cos(const ccRadian& a) { return std::cos(a.toDouble()); }
inline double tan(const ccRadian& a) { return std::tan(a.toDouble()); }
// The direction of (x, y), in (-pi, pi]: y = -0 counts as +0, so (-1, -0) gives pi.
// (Named cf... because ::atan2(double, double) already exists with a double result.)
inline ccRadian cfAtan2(double y, double x) { return ccRadian(std::atan2(y + 0.0, x)); }

// The angle values differ by at most eps (no wrapping: 0 and 2pi differ).
inline bool cfRealEq(const ccRadian& a, const ccRadian& b, double eps = ccRealEqEpsilon) {
  return cfRealEq(a.toDouble(), b.toDouble(), eps);
}
inline bool cfRealEq(const ccDegree& a, const ccDegree& b, double eps = ccRealEqEpsilon) {
  return cfRealEq(a.toDouble(), b.toDouble(), eps);
}

// "<value> rad", "<value> deg".
std::ostream& operator<<(std::ostream& os, const ccRadian& a);
std::ostream& operator<<(std::ostream& os, const ccDegree& a);

// Archive form: the value as one double (8 bytes).
ccArchive& operator||(ccArchive& ar, ccRadian& a);
ccArchive& operator||(ccArchive& ar, ccDegree& a);
