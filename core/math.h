// Small numeric helpers of the core library: tolerant comparison, safe integer floor and
// ceiling, and pi.
#pragma once

#include <core/tolerance.h>

#include <climits>
#include <cmath>

// Pi to double precision.
constexpr double ccPi = 3.14159265358979323846;

// True when a and b differ by at most eps (absolute). Equal values (also equal infinities)
// compare equal; NaN compares equal to nothing.
inline bool cfRealEq(double a, double b, double eps = ccRealEqEpsilon) {
  return a == b || std::fabs(a - b) <= eps;
}

namespace cc_detail {
// 2^(bits of long - 1): the first double above LONG_MAX, and -LONG_MIN, both exact.
constexpr double kLongLimit = -static_cast<double>(LONG_MIN);

// An integral double clamped to the range of long; NaN becomes 0.
inline long clampToLong(double integral) {
  if (std::isnan(integral)) return 0;
  if (integral >= kLongLimit) return LONG_MAX;
  if (integral < -kLongLimit) return LONG_MIN;
  return static_cast<long>(integral);
}
}  // namespace cc_detail

// The largest integer not above v, clamped to the range of long; NaN gives 0.
inline long cfIFloor(double v) { return cc_detail::clampToLong(std::floor(v)); }

// The smallest integer not below v, clamped to the range of long; NaN gives 0.
inline long cfICeil(double v) { return cc_detail::clampToLong(std::ceil(v)); }
