// A pair of two values of one type; for coordinates, first is x and second is y.
#pragma once

#include <core/archive.h>

#include <string>

template <class T>
struct ccPair {
  constexpr ccPair() = default;
  constexpr ccPair(const T& a, const T& b) : first(a), second(b) {}

  T first{};
  T second{};

  constexpr const T& x() const { return first; }
  constexpr const T& y() const { return second; }
  constexpr void x(const T& v) { first = v; }
  constexpr void y(const T& v) { second = v; }

  friend constexpr bool operator==(const ccPair& a, const ccPair& b) {
    return a.first == b.first && a.second == b.second;
  }
  friend constexpr bool operator!=(const ccPair& a, const ccPair& b) { return !(a == b); }
  // Component-wise sum and difference (pixel offsets).
  friend constexpr ccPair operator+(const ccPair& a, const ccPair& b) {
    return ccPair(a.first + b.first, a.second + b.second);
  }
  friend constexpr ccPair operator-(const ccPair& a, const ccPair& b) {
    return ccPair(a.first - b.first, a.second - b.second);
  }
};

// Archive form: a version byte (0), first, then second, each in its own archive form. Another
// version throws ccArchive::UnknownVersion without a source path. Needs the element's operator||
// where it is used.
template <class T>
ccArchive& operator||(ccArchive& ar, ccPair<T>& p) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(std::string(), 0);
  T a = p.first, b = p.second;
  ar || a || b;
  p.first = a;
  p.second = b;
  return ar;
}
