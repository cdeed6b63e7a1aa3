// Two-dimensional vectors (points and displacements).
#pragma once

#include <core/angle.h>
#include <core/assert.h>
#include <core/math.h>
#include <core/matherror.h>

#include <cmath>
#include <iosfwd>

class ccArchive;

template <int N>
class ccVector;

template <>
class ccVector<2> {
 public:
  constexpr ccVector() = default;
  constexpr ccVector(double x, double y) : x_(x), y_(y) {}
  // Polar form: length radius in the direction angle.
  ccVector(double radius, const ccRadian& angle)
      : x_(radius * cos(angle)), y_(radius * sin(angle)) {}
  static ccVector polar(double radius, const ccRadian& angle) { return ccVector(radius, angle); }

  constexpr double x() const { return x_; }
  constexpr double y() const { return y_; }
  constexpr void x(double v) { x_ = v; }
  constexpr void y(double v) { y_ = v; }

  // Element 0 is x, 1 is y. Another index is reported through cstd_assert_ and means y.
  double operator[](int i) const {
    checkIndex(i);
    return i == 0 ? x_ : y_;
  }
  double& operator[](int i) {
    checkIndex(i);
    return i == 0 ? x_ : y_;
  }

  constexpr double dot(const ccVector& o) const { return x_ * o.x_ + y_ * o.y_; }
  // The z component of the cross product: positive when o lies counter-clockwise of this.
  constexpr double cross(const ccVector& o) const { return x_ * o.y_ - y_ * o.x_; }
  constexpr double lengthSq() const { return x_ * x_ + y_ * y_; }
  // Computed without intermediate overflow or underflow.
  double length() const { return std::hypot(x_, y_); }
  double distance(const ccVector& o) const { return std::hypot(o.x_ - x_, o.y_ - y_); }
  // The direction, in (-pi, pi]; 0 for the zero vector.
  ccRadian angle() const { return cfAtan2(y_, x_); }
  // This vector divided by its length. Throws ccMathError::Singular when the length is 0 or
  // not finite.
  ccVector unit() const;

  constexpr ccVector& operator+=(const ccVector& o) {
    x_ += o.x_;
    y_ += o.y_;
    return *this;
  }
  constexpr ccVector& operator-=(const ccVector& o) {
    x_ -= o.x_;
    y_ -= o.y_;
    return *this;
  }
  constexpr ccVector& operator*=(double s) {
    x_ *= s;
    y_ *= s;
    return *this;
  }
  constexpr ccVector& operator/=(double s) {
    x_ /= s;
    y_ /= s;
    return *this;
  }

  friend constexpr ccVector operator+(const ccVector& a, const ccVector& b) {
    return ccVector(a.x_ + b.x_, a.y_ + b.y_);
  }
  friend constexpr ccVector operator-(const ccVector& a, const ccVector& b) {
    return ccVector(a.x_ - b.x_, a.y_ - b.y_);
  }
  friend constexpr ccVector operator-(const ccVector& a) { return ccVector(-a.x_, -a.y_); }
  friend constexpr ccVector operator*(const ccVector& a, double s) {
    return ccVector(a.x_ * s, a.y_ * s);
  }
  friend constexpr ccVector operator*(double s, const ccVector& a) {
    return ccVector(s * a.x_, s * a.y_);
  }
  friend constexpr ccVector operator/(const ccVector& a, double s) {
    return ccVector(a.x_ / s, a.y_ / s);
  }

  // Exact comparison.
  friend constexpr bool operator==(const ccVector& a, const ccVector& b) {
    return a.x_ == b.x_ && a.y_ == b.y_;
  }
  friend constexpr bool operator!=(const ccVector& a, const ccVector& b) { return !(a == b); }

 private:
  static void checkIndex(int i) {
    if (i != 0 && i != 1) cstd_assert_(__LINE__, "core/vector.h");
  }

  double x_ = 0;
  double y_ = 0;
};

// Both components differ by at most eps.
inline bool cfRealEq(const ccVector<2>& a, const ccVector<2>& b, double eps = ccRealEqEpsilon) {
  return cfRealEq(a.x(), b.x(), eps) && cfRealEq(a.y(), b.y(), eps);
}

// "(x, y)".
std::ostream& operator<<(std::ostream& os, const ccVector<2>& v);

// Archive form: x, then y, as doubles (16 bytes).
ccArchive& operator||(ccArchive& ar, ccVector<2>& v);
