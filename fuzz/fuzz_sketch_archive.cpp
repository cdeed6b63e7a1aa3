// Fuzz target: arbitrary bytes loaded as a sketch file (the file archive's header included, so
// files of both formats are reached). Loading must either succeed or throw a ccException; a
// failed load leaves the sketch as it was. What loads is a well-formed stream, and the operation
// objects loaded one by one give the same stream. Storing it gives the bytes of its objects
// stored one by one, and loading that gives the same stream again.
#include <dispc/errors.h>
#include <dispc/sketchformat.h>
#include <dispc/sketchop.h>
#include <dispc/uisketch.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

std::vector<unsigned char> bytesOf(const ccUISketch& s) {
  return std::vector<unsigned char>(s.data(), s.data() + s.length());
}

// The sketch's archive as its operation objects archived one by one.
std::vector<unsigned char> byObjects(const std::vector<unsigned char>& stream) {
  std::vector<ccPtrHandle<cc_UISketchOpHeader>> headers;  // kept: the archive tells objects
  std::vector<ccPtrHandle<cc_UISketchOpData>> payloads;   // apart by their addresses
  ccSketchWalker walker(stream.data(), stream.size());
  ccSketchOperation op;
  while (walker.next(op)) {
    headers.emplace_back(new cc_UISketchOpHeader);
    headers.back()->parseByteStream(stream.data() + op.offset, op.size);
    payloads.emplace_back(cfCreateUISketchOpData(op.opcode));
    payloads.back()->parseByteStream(op.payload, op.payloadSize);
  }
  ccArchive out;
  signed char version = 1;
  long n = static_cast<long>(headers.size());
  out || version || n;
  for (std::size_t i = 0; i < headers.size(); ++i) out || headers[i] || payloads[i];
  return out.data();
}

// The stream of an archived sketch with its operation objects loaded one by one.
std::vector<unsigned char> loadedByObjects(ccArchive& in) {
  signed char version = 0;
  long n = 0;
  in || version || n;
  ccUISketch s;
  for (long i = 0; i < n; ++i) {
    ccPtrHandle<cc_UISketchOpHeader> h;
    ccPtrHandle<cc_UISketchOpData> d;
    in || h || d;
    h->populateSketch(s);
    d->populateSketch(s);
  }
  return bytesOf(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A sketch that already holds an operation: loading appends to it, or changes nothing.
  ccUISketch sketch;
  const unsigned char point[24] = {0, 1, 4, 3};  // a point at (0, 0) on the overlay
  sketch.append(point, sizeof point);
  const std::vector<unsigned char> before = bytesOf(sketch);
  try {
    ccFileArchive in(std::vector<unsigned char>(data, data + size), "fuzz");
    in || sketch;
  } catch (const ccException&) {
    if (bytesOf(sketch) != before) std::abort();
    return 0;
  }
  const std::vector<unsigned char> all = bytesOf(sketch);
  cfSketchValidate(all.data(), all.size());  // throws (and so fails) if malformed
  const std::vector<unsigned char> first(all.begin() + static_cast<long>(before.size()), all.end());
  if (data[12] == 1) {  // version 1: its objects loaded one by one give the same stream
    ccFileArchive in(std::vector<unsigned char>(data, data + size), "fuzz");
    if (loadedByObjects(in) != first) std::abort();
  }

  ccUISketch alone;
  alone.append(first.data(), static_cast<long>(first.size()));
  ccArchive out;
  try {
    out || alone;
  } catch (const ccUIError::NotImplemented&) {
    return 0;  // a nested sketch, loaded from a version-0 stream, has no archive form
  }
  if (out.data() != byObjects(first)) std::abort();
  ccArchive again(out.data());
  ccUISketch reloaded;
  again || reloaded;
  if (!again.atEnd() || bytesOf(reloaded) != first) std::abort();
  return 0;
}
