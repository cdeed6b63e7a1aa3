// The tolerant pixel floor: how a mapped coordinate becomes a whole pixel.
//
// A value a hair below a whole number (by a relative ccPixelFloorTolerance) counts as that number,
// so that coordinates such as 2.9999999999999 that come out of a map land on pixel 3.
#pragma once

#include <dispc/tolerance.h>

#include <cmath>

// floor(v · (1 + e)) with e = ccPixelFloorTolerance carrying the sign of v (0 for v = 0), truncated
// to a 32-bit value: results beyond the 32-bit range saturate, NaN gives 0.
inline long cfTolerantFloor(double v) {
  const double e = v > 0 ? ccPixelFloorTolerance : (v < 0 ? -ccPixelFloorTolerance : 0.0);
  const double f = std::floor(v * (1.0 + e));
  if (std::isnan(f)) return 0;
  if (f >= 2147483647.0) return 2147483647L;
  if (f <= -2147483648.0) return -2147483647L - 1;
  return static_cast<long>(f);
}
