// A pair of two values of one type.
#pragma once

class ccArchive;

template <class T>
struct ccPair {
  constexpr ccPair() = default;
  constexpr ccPair(const T& a, const T& b) : first(a), second(b) {}

  T first{};
  T second{};

  friend constexpr bool operator==(const ccPair& a, const ccPair& b) {
    return a.first == b.first && a.second == b.second;
  }
  friend constexpr bool operator!=(const ccPair& a, const ccPair& b) { return !(a == b); }
};

// Archive form: first, then second, each in its own archive form. Needs core/archive.h
// (and the element's operator||) where it is used.
template <class T>
ccArchive& operator||(ccArchive& ar, ccPair<T>& p) {
  ar || p.first;
  ar || p.second;
  return ar;
}
