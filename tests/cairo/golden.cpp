#include "golden.h"

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

bool updating() {
  const char* v = std::getenv("DISPC_UPDATE_GOLDEN");
  return v && std::string(v) == "1";
}

std::uint32_t pixel(cairo_surface_t* s, long x, long y) {
  const unsigned char* row =
      cairo_image_surface_get_data(s) + std::ptrdiff_t(y) * cairo_image_surface_get_stride(s);
  return reinterpret_cast<const std::uint32_t*>(row)[x];
}

int channelDiff(std::uint32_t a, std::uint32_t b) {
  int d = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    d = std::max(d, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
  }
  return d;
}

}  // namespace

std::string outputPath(const std::string& file) {
  std::filesystem::create_directories(DISPC_CAIRO_TEST_OUT);
  return std::string(DISPC_CAIRO_TEST_OUT) + "/" + file;
}

::testing::AssertionResult matchesGolden(const ccCairoImageScope& scope, const std::string& name,
                                         int tolerance, long maxBad) {
  const std::string golden = std::string(DISPC_GOLDEN_DIR) + "/" + name + ".png";
  if (updating()) {
    scope.writePng(golden);
    return ::testing::AssertionSuccess() << "wrote " << golden;
  }
  cairo_surface_t* actual = scope.surface();
  cairo_surface_flush(actual);
  cairo_surface_t* expected = cairo_image_surface_create_from_png(golden.c_str());
  if (cairo_surface_status(expected) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(expected);
    return ::testing::AssertionFailure()
           << "cannot read " << golden << " (generate it with DISPC_UPDATE_GOLDEN=1)";
  }
  const long w = cairo_image_surface_get_width(actual), h = cairo_image_surface_get_height(actual);
  if (cairo_image_surface_get_width(expected) != w ||
      cairo_image_surface_get_height(expected) != h) {
    cairo_surface_destroy(expected);
    return ::testing::AssertionFailure() << name << ": size differs from " << golden;
  }
  cairo_surface_t* diff = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(w), int(h));
  unsigned char* diffData = cairo_image_surface_get_data(diff);
  const int diffStride = cairo_image_surface_get_stride(diff);
  long bad = 0;
  int worst = 0;
  for (long y = 0; y < h; ++y) {
    auto* out = reinterpret_cast<std::uint32_t*>(diffData + std::ptrdiff_t(y) * diffStride);
    for (long x = 0; x < w; ++x) {
      const std::uint32_t a = pixel(actual, x, y), e = pixel(expected, x, y);
      const int d = channelDiff(a, e);
      worst = std::max(worst, d);
      if (d > tolerance) {
        ++bad;
        out[x] = 0xFFFF0000u;
      } else {
        const std::uint32_t g = (((a >> 16) & 0xFF) + ((a >> 8) & 0xFF) + (a & 0xFF)) / 12 + 32;
        out[x] = 0xFF000000u | g * 0x010101u;
      }
    }
  }
  cairo_surface_mark_dirty(diff);
  cairo_surface_destroy(expected);
  if (bad <= maxBad) {
    cairo_surface_destroy(diff);
    return ::testing::AssertionSuccess();
  }
  const std::string actualPath = outputPath(name + ".actual.png");
  const std::string diffPath = outputPath(name + ".diff.png");
  scope.writePng(actualPath);
  cairo_surface_write_to_png(diff, diffPath.c_str());
  cairo_surface_destroy(diff);
  return ::testing::AssertionFailure()
         << name << ": " << bad << " pixels differ by more than " << tolerance << " (allowed "
         << maxBad << ", largest difference " << worst << ")\n  expected " << golden
         << "\n  actual   " << actualPath << "\n  diff     " << diffPath;
}

ccUIRect inkBox(const ccCairoImageScope& scope, ccPackedRGB32Pel background) {
  const ccPelBuffer<ccPackedRGB32Pel> pels = scope.pels();
  ccUIRect box;
  for (long y = 0; y < pels.height(); ++y) {
    for (long x = 0; x < pels.width(); ++x) {
      if (pels.get(x, y) != background) box |= ccUIRect(x, y, 1, 1);
    }
  }
  return box;
}
