#include <core/angle.h>

#include <core/archive.h>

#include <ostream>

std::ostream& operator<<(std::ostream& os, const ccRadian& a) {
  return os << a.toDouble() << " rad";
}

std::ostream& operator<<(std::ostream& os, const ccDegree& a) {
  return os << a.toDouble() << " deg";
}

ccArchive& operator||(ccArchive& ar, ccRadian& a) {
  double v = a.toDouble();
  ar || v;
  if (ar.isLoading()) a = ccRadian(v);
  return ar;
}

ccArchive& operator||(ccArchive& ar, ccDegree& a) {
  double v = a.toDouble();
  ar || v;
  if (ar.isLoading()) a = ccDegree(v);
  return ar;
}
