// Mapping of axis-aligned rectangles (declared in core/rect.h).
#include <core/genrect.h>
#include <core/rect.h>

#include <algorithm>
#include <cmath>

ccGenRect ccRect::map(const ccXform<2>& x) const {
  return ccGenRect(x * center(), x.matrix() * ccMatrix<2>(sz_.x() / 2, 0, 0, sz_.y() / 2));
}

ccShapePtrh ccRect::mapShape(const ccXform<2>& x) const {
  const ccMatrix<2>& m = x.matrix();
  const double a = std::fabs(m.element(0, 0)), b = std::fabs(m.element(0, 1)),
               c = std::fabs(m.element(1, 0)), d = std::fabs(m.element(1, 1));
  const double tol = ccMatrixFormTolerance * std::max({a, b, c, d});
  // A diagonal or anti-diagonal matrix keeps the sides axis-aligned: the mapped opposite
  // corners span the image.
  if ((b <= tol && c <= tol) || (a <= tol && d <= tol))
    return ccShapePtrh(new ccRect(ccRect::fromCorners(x * ul_, x * lr())));
  return ccShapePtrh(new ccGenRect(map(x)));
}
