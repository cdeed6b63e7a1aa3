// Hand-built archive records for tests: little-endian integers and doubles, and strings as a
// 32-bit length followed by the characters, as ccArchive writes them; the record an object
// writes, an object reloaded through a handle, and the error a call throws.
#pragma once

#include <core/archive.h>
#include <core/exception.h>
#include <core/handle.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline void putU32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

inline void putDouble(Bytes& b, double d) {
  std::uint64_t v;
  std::memcpy(&v, &d, sizeof v);
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

inline void putString(Bytes& b, const std::string& s) {
  putU32(b, static_cast<std::uint32_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}

// The record x's dispatchSerialize writes (to compare an object before and after a failure).
template <class T>
Bytes bytesOf(T& x) {
  ccArchive out;
  x.dispatchSerialize(out);
  return out.data();
}

// A handle to a new object p, stored and loaded back by the class name the archive records.
template <class Base>
ccPtrHandle<Base> reloadedHandle(Base* p) {
  ccPtrHandle<Base> h(p);
  ccArchive out;
  out || h;
  ccArchive back(out.data());
  ccPtrHandle<Base> loaded;
  back || loaded;
  return loaded;
}

// The number of the ccException f throws, or 0.
inline std::uint32_t errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ccException& e) {
    return e.errorNumber();
  }
  return 0;
}

// What the E that f throws says, "<error number in hex>: <message>", or "nothing thrown".
template <class E = ccException>
std::string thrownBy(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    char number[16];
    std::snprintf(number, sizeof number, "%08x: ", static_cast<unsigned>(e.errorNumber()));
    return number + e.message();
  }
  return "nothing thrown";
}

// The source an UnknownVersion thrown by `load` names (its line in *line), or "loaded" when
// `load` throws nothing.
inline std::string unknownVersionSource(const std::function<void()>& load, long* line = nullptr) {
  try {
    load();
  } catch (const ccArchive::UnknownVersion& e) {
    if (line) *line = e.line();
    return e.source();
  }
  return "loaded";
}
