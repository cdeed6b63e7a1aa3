// Fuzz target: arbitrary bytes loaded as archives of colours, dimensions, wireframe segments
// and persistent objects (errors and every other registered class, shapes among them). Loading
// must either succeed or throw a ccException; whatever loads must store again and load back to
// the same bytes. The first byte chooses what is loaded.
#include <core/shapes.h>
#include <dispc/color.h>
#include <dispc/dimtol.h>
#include <dispc/errors.h>
#include <dispc/smd/dimension.h>
#include <dispc/wrfm/arc.h>
#include <dispc/wrfm/lineseg.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Loads a T, stores it, and checks that loading and storing that again gives the same bytes.
template <class T>
void roundTripValue(const std::uint8_t* data, std::size_t size) {
  std::vector<unsigned char> first;
  try {
    ccArchive in(data, size);
    T value;
    in || value;
    ccArchive out;
    out || value;
    first = out.data();
  } catch (const ccException&) {
    return;  // malformed input is expected to throw a documented error
  }
  ccArchive again(first);
  T value;
  again || value;
  ccArchive out2;
  out2 || value;
  if (out2.data() != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  ++data;
  --size;
  switch (selector % 8) {
    case 0:
      roundTripValue<ccColor>(data, size);
      break;
    case 1:
      roundTripValue<ccRGB>(data, size);
      break;
    case 2:
      roundTripValue<ccPtrHandle<ccException>>(data, size);
      break;
    case 3:
      roundTripValue<ccPtrHandle<ccShape>>(data, size);
      break;
    case 4:
      roundTripValue<ccDimTol>(data, size);
      break;
    case 5:
      roundTripValue<ccSMDDimension>(data, size);
      break;
    case 6:
      roundTripValue<cc2SegmentLine>(data, size);
      break;
    default:
      roundTripValue<cc2SegmentArc>(data, size);
      break;
  }
  return 0;
}
