// Fuzz target: arbitrary bytes replayed as a sketch onto a visible, recording tablet over trace
// scopes, or, built with DISPC_FUZZ_REPLAY_CAIRO (fuzz_sketch_replay_cairo), over Cairo image
// scopes that draw real pixels. The first byte picks the replay layer (0, 1 or 2) and whether the
// tablet has a map; the rest is the stream. A replay must either finish or throw a ccException, and
// either way leave the tablet's map, recording flags and screen locks as they were; a finished
// replay is recorded as one nested-sketch operation holding the stream.
#ifdef DISPC_FUZZ_REPLAY_CAIRO
#include <backends/cairo/cairoimage.h>
#else
#include <backends/trace/tracescope.h>
#endif
#include <dispc/tablet.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  ++data;
  --size;
  const auto layer = static_cast<ccUITablet::Layers>(selector % 3);

#ifdef DISPC_FUZZ_REPLAY_CAIRO
  ccCairoImageScope image(320, 240);
  ccCairoImageScope overlay(320, 240);
#else
  auto log = std::make_shared<ccTraceLog>();
  ccTraceScope image(ccUIRect(0, 0, 320, 240), log);
  ccTraceScope overlay(ccUIRect(0, 0, 320, 240), log);
#endif
  ccUITablet tablet(&image, &overlay);
  tablet.visible(true);
  tablet.recordOn() = true;
  if (selector & 4) tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0.5, 0, 3), ccVector<2>(-7, 11)));
  const ccXform<2> map = tablet.scaledMap();
  const long depth = tablet.recordOn().depth();

  ccUISketch sketch;
  sketch.append(data, static_cast<long>(size));
  bool finished = false;
  try {
    tablet.draw(sketch, ccPoint(1.5, -2.5), layer);
    finished = true;
  } catch (const ccException&) {
    // A malformed stream or an operation the tablet refuses: a documented error.
  }
  if (!(tablet.scaledMap() == map) || tablet.recordOn().depth() != depth || !tablet.recordOn() ||
      image.lockDepth() != 0 || overlay.lockDepth() != 0)
    std::abort();
  const ccUISketch& recorded = tablet.sketch();
  if (finished && size > 0) {
    if (recorded.length() < 28 + static_cast<long>(size) ||
        std::memcmp(recorded.data() + recorded.length() - size, data, size) != 0)
      std::abort();
  } else if (!finished && !recorded.isNull()) {
    std::abort();
  }
  return 0;
}
