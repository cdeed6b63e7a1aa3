#include <core/matrix.h>

#include <core/archive.h>

#include <algorithm>
#include <cmath>
#include <ostream>

namespace {

// The matrix scaled by 2^-exponent so that its largest element has magnitude in [1, 2).
// Exact, as only exponents change, unless an element is more than about 1e300 times smaller
// than the largest (it then underflows; such a matrix is singular for every practical use).
struct Scaled {
  double a, b, c, d;
  int exponent;
};

// False when the matrix is zero or has a non-finite element.
bool scale(double a, double b, double c, double d, Scaled& s) {
  if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(d))
    return false;
  const double m =
      std::max(std::max(std::fabs(a), std::fabs(b)), std::max(std::fabs(c), std::fabs(d)));
  if (m == 0) return false;
  s.exponent = std::ilogb(m);
  s.a = std::scalbn(a, -s.exponent);
  s.b = std::scalbn(b, -s.exponent);
  s.c = std::scalbn(c, -s.exponent);
  s.d = std::scalbn(d, -s.exponent);
  return true;
}

bool singularScaled(const Scaled& s, double& det) {
  const double ad = s.a * s.d;
  const double bc = s.b * s.c;
  det = ad - bc;
  return !(std::fabs(det) > ccMatrix<2>::kSingularTolerance * (std::fabs(ad) + std::fabs(bc)));
}

}  // namespace

bool ccMatrix<2>::isSingular() const {
  Scaled s;
  double det;
  return !scale(e_[0][0], e_[0][1], e_[1][0], e_[1][1], s) || singularScaled(s, det);
}

ccMatrix<2> ccMatrix<2>::inverse() const {
  Scaled s;
  double det;
  if (!scale(e_[0][0], e_[0][1], e_[1][0], e_[1][1], s) || singularScaled(s, det))
    throw ccMathError::Singular("inverse of a singular 2x2 matrix");
  // inverse(M) = inverse(M / 2^k) / 2^k.
  const ccMatrix inv(std::scalbn(s.d / det, -s.exponent), std::scalbn(-s.b / det, -s.exponent),
                     std::scalbn(-s.c / det, -s.exponent), std::scalbn(s.a / det, -s.exponent));
  if (!std::isfinite(inv.e_[0][0]) || !std::isfinite(inv.e_[0][1]) ||
      !std::isfinite(inv.e_[1][0]) || !std::isfinite(inv.e_[1][1]))
    throw ccMathError::Singular("inverse of a 2x2 matrix is not representable");
  return inv;
}

bool cfRealEq(const ccMatrix<2>& a, const ccMatrix<2>& b, double eps) {
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c)
      if (!cfRealEq(a.element(r, c), b.element(r, c), eps)) return false;
  return true;
}

std::ostream& operator<<(std::ostream& os, const ccMatrix<2>& m) {
  return os << "[[" << m.element(0, 0) << ", " << m.element(0, 1) << "], [" << m.element(1, 0)
            << ", " << m.element(1, 1) << "]]";
}

ccArchive& operator||(ccArchive& ar, ccMatrix<2>& m) {
  double e[4] = {m.element(0, 0), m.element(0, 1), m.element(1, 0), m.element(1, 1)};
  for (double& v : e) ar || v;
  if (ar.isLoading()) m = ccMatrix<2>(e[0], e[1], e[2], e[3]);
  return ar;
}
