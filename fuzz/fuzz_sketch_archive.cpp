// Fuzz target: arbitrary bytes loaded as a sketch archive. Loading must either succeed or throw
// a ccException; a failed load leaves the sketch as it was. What loads is a well-formed stream
// that stores again, and storing and loading that gives the same bytes.
#include <dispc/errors.h>
#include <dispc/sketchformat.h>
#include <dispc/uisketch.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
std::vector<unsigned char> bytesOf(const ccUISketch& s) {
  return std::vector<unsigned char>(s.data(), s.data() + s.length());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A sketch that already holds an operation: loading appends to it, or changes nothing.
  ccUISketch sketch;
  const unsigned char point[24] = {0, 1, 4, 3};  // a point at (0, 0) on the overlay
  sketch.append(point, sizeof point);
  const std::vector<unsigned char> before = bytesOf(sketch);
  try {
    ccArchive in(data, size);
    in || sketch;
  } catch (const ccException&) {
    if (bytesOf(sketch) != before) std::abort();
    return 0;
  }
  const std::vector<unsigned char> first = bytesOf(sketch);
  cfSketchValidate(first.data(), first.size());  // throws (and so fails) if malformed

  ccArchive out;
  try {
    out || sketch;
  } catch (const ccUIError::NotImplemented&) {
    return 0;  // a nested sketch, loaded from a version-0 stream, has no archive form
  }
  ccArchive again(out.data());
  ccUISketch reloaded;
  again || reloaded;
  if (!again.atEnd() || bytesOf(reloaded) != first) std::abort();
  return 0;
}
