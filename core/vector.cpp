#include <core/vector.h>

#include <core/archive.h>

#include <ostream>

ccVector<2> ccVector<2>::unit() const {
  const double len = length();
  // !(len > 0) also catches NaN.
  if (!(len > 0) || !std::isfinite(len))
    throw ccMathError::Singular("unit vector of a vector of zero or non-finite length");
  return ccVector(x_ / len, y_ / len);
}

std::ostream& operator<<(std::ostream& os, const ccVector<2>& v) {
  return os << '(' << v.x() << ", " << v.y() << ')';
}

ccArchive& operator||(ccArchive& ar, ccVector<2>& v) {
  double x = v.x();
  double y = v.y();
  ar || x;
  ar || y;
  if (ar.isLoading()) v = ccVector<2>(x, y);
  return ar;
}
