// Bounds for filters: ccRange, a closed interval of numbers, and ccAngleRange, a closed arc
// of directions. Plain values.
#pragma once

#include <core/angle.h>

#include <cmath>

// The numbers from start to end, both included; nothing when end < start. A NaN bound or
// value is never within.
class ccRange {
 public:
  constexpr ccRange(double start, double end) : start_(start), end_(end) {}

  constexpr double start() const { return start_; }
  constexpr double end() const { return end_; }
  constexpr bool isWithin(double v) const { return start_ <= v && v <= end_; }

 private:
  double start_;
  double end_;
};

// The directions met turning from start by span (counter-clockwise for a positive span,
// clockwise for a negative one), both ends included; a span of a full turn or more holds
// every direction. Directions are compared modulo a full turn, so 370 degrees lies in the
// range from 0 by 20 degrees. Non-finite directions are never within.
class ccAngleRange {
 public:
  ccAngleRange(const ccRadian& start, const ccRadian& span) : start_(start), span_(span) {}

  const ccRadian& start() const { return start_; }
  const ccRadian& span() const { return span_; }

  bool isWithin(const ccRadian& a) const {
    const double width = std::fabs(span_.toDouble());
    const ccRadian low = span_.toDouble() < 0 ? start_ + span_ : start_;
    return (a - low).norm().toDouble() <= width;  // the norm is NaN for non-finite a
  }

 private:
  ccRadian start_;
  ccRadian span_;
};
