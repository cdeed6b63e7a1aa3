// Fuzz target: arbitrary bytes read as a graphics-list record area. The first byte picks the
// tablet layer (bit 0) and whether the reading tablet has a map (bit 1); the next four are the
// record count; the rest, copied to a buffer of exactly its size, is the area. Drawing and
// reading into a graphic list must either finish or throw a ccException; a refusal leaves the
// tablet's scopes and the graphic list untouched. What was read is written back as records and
// reads again as as many graphics (or is refused: a general rectangle near the largest double
// may have axis lengths that round to infinity).
#include <backends/trace/tracescope.h>
#include <core/assert.h>
#include <dispc/bridge.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {
void quietAssert(int, const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  cstd_setAssertHandler(&quietAssert);
  const std::uint8_t selector = data[0];
  std::int32_t count;
  std::memcpy(&count, data + 1, 4);
  const std::vector<unsigned char> area(data + 5, data + size);
  const cgr_list list{count, area.size(), 0,
                      area.empty() ? nullptr : const_cast<unsigned char*>(area.data())};

  auto log = std::make_shared<ccTraceLog>();
  ccTraceScope image(ccUIRect(0, 0, 320, 240), log);
  ccTraceScope overlay(ccUIRect(0, 0, 320, 240), log);
  ccUITablet tablet(&image, &overlay);
  tablet.visible(true);
  if (selector & 2) tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0.5, 0, 3), ccVector<2>(-7, 11)));
  log->clear();
  try {
    cfUITabletDraw(tablet, &list, static_cast<ccUITablet::Layers>(selector & 1));
  } catch (const ccException&) {
    if (!log->empty()) std::abort();
  }

  ccGraphicList graphics;
  try {
    cfGraphicListAppend(graphics, &list);
  } catch (const ccException&) {
    if (!graphics.empty()) std::abort();
    return 0;
  }
  cgr_list written;
  cgr_list_init(&written);
  cfGraphicListAppend(&written, graphics);
  ccGraphicList again;
  try {
    cfGraphicListAppend(again, &written);
    if (again.size() != static_cast<std::size_t>(written.count)) std::abort();
  } catch (const ccException&) {
  }
  cgr_list_free(&written);
  return 0;
}
