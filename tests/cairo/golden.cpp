#include "golden.h"

#include <cairo.h>

#include <cstring>

namespace {

Picture picture(cairo_surface_t* s) {
  cairo_surface_flush(s);
  Picture p{cairo_image_surface_get_width(s), cairo_image_surface_get_height(s), {}};
  p.pels.resize(std::size_t(p.width * p.height));
  for (long y = 0; y < p.height; ++y)
    std::memcpy(&p.pels[std::size_t(y * p.width)],
                cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s),
                std::size_t(p.width) * 4);
  return p;
}

struct CairoPng {
  static Picture read(const std::string& path) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    const Picture p = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS ? picture(s) : Picture();
    cairo_surface_destroy(s);
    return p;
  }
  static void write(const Picture& p, const std::string& path) {
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(p.pels.data())),
        CAIRO_FORMAT_ARGB32, int(p.width), int(p.height), int(p.width * 4));
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
  }
};

}  // namespace

std::string outputPath(const std::string& file) { return outputPathIn(DISPC_CAIRO_TEST_OUT, file); }

::testing::AssertionResult matchesGolden(const ccCairoImageScope& scope, const std::string& name,
                                         int tolerance, long maxBad) {
  return matchesGoldenFile<CairoPng>(picture(scope.surface()), DISPC_GOLDEN_DIR, name,
                                     DISPC_CAIRO_TEST_OUT, tolerance, maxBad);
}

ccUIRect inkBox(const ccCairoImageScope& scope, ccPackedRGB32Pel background) {
  const ccPelBuffer<ccPackedRGB32Pel> pels = scope.pels();
  ccUIRect box;
  for (long y = 0; y < pels.height(); ++y)
    for (long x = 0; x < pels.width(); ++x)
      if (pels.get(x, y) != background) box |= ccUIRect(x, y, 1, 1);
  return box;
}
