// Fuzz target: arbitrary bytes loaded as archives of colours and persistent objects (errors
// and every other registered class, shapes among them). Loading must either succeed or throw a
// ccException; whatever loads must store again and load back to the same bytes.
#include <core/shapes.h>
#include <dispc/color.h>
#include <dispc/errors.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Loads with the archive, then checks that storing what loaded and loading that again is
// stable.
template <class Load>
void roundTrip(const std::uint8_t* data, std::size_t size, Load load) {
  std::vector<unsigned char> first;
  try {
    ccArchive in(data, size);
    ccArchive out;
    load(in, out);
    first = out.data();
  } catch (const ccException&) {
    return;  // malformed input is expected to throw a documented error
  }
  ccArchive again(first);
  ccArchive out2;
  load(again, out2);
  if (out2.data() != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  ++data;
  --size;
  switch (selector % 4) {
    case 0:
      roundTrip(data, size, [](ccArchive& in, ccArchive& out) {
        ccColor c;
        in || c;
        out || c;
      });
      break;
    case 1:
      roundTrip(data, size, [](ccArchive& in, ccArchive& out) {
        ccRGB c;
        in || c;
        out || c;
      });
      break;
    case 3:
      roundTrip(data, size, [](ccArchive& in, ccArchive& out) {
        ccPtrHandle<ccShape> s;
        in || s;
        out || s;
      });
      break;
    default:
      roundTrip(data, size, [](ccArchive& in, ccArchive& out) {
        ccPtrHandle<ccException> e;
        in || e;
        out || e;
      });
      break;
  }
  return 0;
}
