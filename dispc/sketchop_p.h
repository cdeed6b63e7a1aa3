// The payload readers that the operation objects of the current form (sketchop.cpp) and of
// version-0 archives (sketchversion0.cpp) share. Private to the display library: not
// installed.
#pragma once

#include <dispc/errors.h>
#include <dispc/sketchformat.h>

#include <core/points.h>
#include <core/rect.h>

#include <cstddef>
#include <string>

namespace cc_detail {

[[noreturn]] inline void invalid(const char* what = "malformed payload") {
  throw ccUIError::InvalidUISketch(what);
}

// Runs a decoding step that builds values, turning the errors of their checks (shape geometry,
// props, image rows) into InvalidUISketch: in a payload they mean malformed data.
template <class F>
auto decoded(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const ccUIError::InvalidUISketch&) {
    throw;
  } catch (const ccException& e) {
    throw ccUIError::InvalidUISketch(e.message().empty() ? std::string(e.what()) : e.message());
  }
}

// The bytes read so far: what parseByteStream returns.
inline long consumed(const ccSketchReader& r) { return static_cast<long>(r.position()); }

// A stream count (32-bit, not negative).
inline std::size_t readCount(ccSketchReader& r) {
  const long n = r.readLong();
  if (n < 0) invalid();
  return static_cast<std::size_t>(n);
}

// A point of the stream as a ccPoint (non-finite coordinates are rejected).
inline ccPoint readPointShape(ccSketchReader& r) {
  const ccVector<2> v = r.readPoint();
  return decoded([&] { return ccPoint(v); });
}

inline ccRect decodedRect(const ccVector<2>& ul, const ccVector<2>& size) {
  return decoded([&] { return ccRect(ul, size); });
}

}  // namespace cc_detail
