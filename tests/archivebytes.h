// Hand-built archive records for tests: little-endian integers and doubles, and strings as a
// 32-bit length followed by the characters, as ccArchive writes them.
#pragma once

#include <cstdint>
#include <cstring>
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
