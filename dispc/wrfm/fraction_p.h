// The check of the fraction arguments of the wireframe classes: positions along a segment or
// an arc, 0 at its start and 1 at its end. Private to the display library: not installed.
#pragma once

#include <core/math.h>

namespace cc_detail {

// t lies in [0, 1] or within ccRealEqEpsilon of either end.
inline bool isFraction(double t) {
  return (t >= 0 && t <= 1) || cfRealEq(t, 0, ccRealEqEpsilon) || cfRealEq(t, 1, ccRealEqEpsilon);
}

}  // namespace cc_detail
