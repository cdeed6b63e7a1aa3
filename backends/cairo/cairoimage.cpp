#include <backends/cairo/cairoimage.h>

#include <dispc/errors.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string sizeText(long width, long height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

cairo_surface_t* newImageSurface(long width, long height) {
  if (width < 0 || height < 0)
    throw ccUIError::BadParams("negative image size " + sizeText(width, height));
  return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width),
                                    static_cast<int>(height));
}

cairo_surface_t* referenced(cairo_surface_t* s) {
  if (!s || cairo_surface_get_type(s) != CAIRO_SURFACE_TYPE_IMAGE)
    throw ccUIError::BadParams("an image scope needs a Cairo image surface");
  const cairo_format_t f = cairo_image_surface_get_format(s);
  if (f != CAIRO_FORMAT_ARGB32 && f != CAIRO_FORMAT_RGB24)
    throw ccUIError::BadParams("an image scope needs an ARGB32 or RGB24 surface");
  return cairo_surface_reference(s);
}

// Un-premultiplied pel of a surface pixel, the alpha in the top byte.
ccPackedRGB32Pel pelOf(std::uint32_t v, bool opaque) {
  const unsigned a = opaque ? 255u : v >> 24;
  if (a == 0) return ccPackedRGB32Pel(0);
  auto un = [a](unsigned c) { return static_cast<unsigned char>((c * 255 + a / 2) / a); };
  return ccPackedRGB32Pel(un((v >> 16) & 0xFF), un((v >> 8) & 0xFF), un(v & 0xFF),
                          static_cast<unsigned char>(a));
}

// The pels of an image surface.
ccPelBuffer<ccPackedRGB32Pel> surfacePels(cairo_surface_t* s) {
  cairo_surface_flush(s);
  const long w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  const bool opaque = cairo_image_surface_get_format(s) == CAIRO_FORMAT_RGB24;
  const unsigned char* data = cairo_image_surface_get_data(s);
  ccPelBuffer<ccPackedRGB32Pel> out(w, h);
  for (long y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
    ccPackedRGB32Pel* dst = out.pointToRow(y);
    for (long x = 0; x < w; ++x) dst[x] = pelOf(row[x], opaque);
  }
  return out;
}

// True when the file starts with the PNG signature (Cairo reports other files as "out of
// memory").
bool hasPngSignature(const std::string& path) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  unsigned char head[8] = {};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return true;  // Cairo says why it cannot be opened
  const std::size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return n == sizeof head && std::memcmp(head, kSignature, sizeof head) == 0;
}

cairo_surface_t* readPng(const std::string& path) {
  if (!hasPngSignature(path))
    throw ccUIError::InitFailed(path + ": cannot read the PNG file: not a PNG file");
  errno = 0;
  cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
  if (const cairo_status_t status = cairo_surface_status(s); status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    cfCairoFail(path + ": cannot read the PNG file", status);
  }
  return s;
}

void writeSurfacePng(cairo_surface_t* s, const std::string& path) {
  errno = 0;
  if (const cairo_status_t status = cairo_surface_write_to_png(s, path.c_str());
      status != CAIRO_STATUS_SUCCESS)
    cfCairoFail(path + ": cannot write the PNG file", status);
}

template <class T, class Convert>
void writePels(const ccPelBuffer_const<T>& image, const std::string& path, Convert convert) {
  if (!image.isBound()) throw ccUIError::BadParams(path + ": no image to write");
  cairo_surface_t* s = cairo_image_surface_create(
      CAIRO_FORMAT_RGB24, static_cast<int>(image.width()), static_cast<int>(image.height()));
  if (const cairo_status_t status = cairo_surface_status(s); status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    cfCairoFail("cannot make a " + sizeText(image.width(), image.height()) + " image surface",
                status);
  }
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (long y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
    const T* src = image.pointToRow(y);
    for (long x = 0; x < image.width(); ++x) row[x] = 0xFF000000u | convert(src[x]);
  }
  cairo_surface_mark_dirty(s);
  try {
    writeSurfacePng(s, path);
  } catch (...) {
    cairo_surface_destroy(s);
    throw;
  }
  cairo_surface_destroy(s);
}

}  // namespace

ccCairoImageScope::ccCairoImageScope(long width, long height)
    : ccCairoScope(makeCanvas(newImageSurface(width, height), eRaster, width, height)) {}

ccCairoImageScope::ccCairoImageScope(cairo_surface_t* imageSurface)
    : ccCairoScope(makeCanvas(referenced(imageSurface), eRaster,
                              cairo_image_surface_get_width(imageSurface),
                              cairo_image_surface_get_height(imageSurface))) {}

void ccCairoImageScope::writePng(const std::string& path) const {
  cairo_surface_flush(surface());
  writeSurfacePng(surface(), path);
}

ccPackedRGB32Pel ccCairoImageScope::pel(long x, long y) const {
  if (x < 0 || y < 0 || x >= surfaceWidth() || y >= surfaceHeight()) {
    throw ccUIError::BadParams("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                               ") is outside the " + sizeText(surfaceWidth(), surfaceHeight()) +
                               " surface");
  }
  cairo_surface_t* s = surface();
  cairo_surface_flush(s);
  const unsigned char* row =
      cairo_image_surface_get_data(s) + std::ptrdiff_t(y) * cairo_image_surface_get_stride(s);
  return pelOf(reinterpret_cast<const std::uint32_t*>(row)[x],
               cairo_image_surface_get_format(s) == CAIRO_FORMAT_RGB24);
}

ccPelBuffer<ccPackedRGB32Pel> ccCairoImageScope::pels() const { return surfacePels(surface()); }

void ccCairoImageScope::clear() {
  cairo_t* cr = context();
  cairo_save(cr);
  cairo_reset_clip(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_restore(cr);
  change(ccUIRect(ccPair<long>(), scopeBounds().sz()), false);
}

// ---- PNG files and pel buffers

ccPelBuffer<unsigned char> cfCairoReadPngGrey8(const std::string& path) {
  cairo_surface_t* s = readPng(path);
  const ccPelBuffer<ccPackedRGB32Pel> rgb = surfacePels(s);
  cairo_surface_destroy(s);
  ccPelBuffer<unsigned char> out(rgb.width(), rgb.height());
  for (long y = 0; y < rgb.height(); ++y) {
    const ccPackedRGB32Pel* src = rgb.pointToRow(y);
    unsigned char* dst = out.pointToRow(y);
    for (long x = 0; x < rgb.width(); ++x) {
      const unsigned v = 299u * src[x].r() + 587u * src[x].g() + 114u * src[x].b();
      dst[x] = static_cast<unsigned char>((v + 500) / 1000);
    }
  }
  return out;
}

ccPelBuffer<ccPackedRGB32Pel> cfCairoReadPngRGB32(const std::string& path) {
  cairo_surface_t* s = readPng(path);
  ccPelBuffer<ccPackedRGB32Pel> out = surfacePels(s);
  cairo_surface_destroy(s);
  for (long y = 0; y < out.height(); ++y) {
    ccPackedRGB32Pel* row = out.pointToRow(y);
    for (long x = 0; x < out.width(); ++x) row[x] = ccPackedRGB32Pel(row[x].packed() & 0xFFFFFFu);
  }
  return out;
}

void cfCairoWritePng(const ccPelBuffer_const<unsigned char>& image, const std::string& path) {
  writePels(image, path, [](unsigned char v) { return std::uint32_t(v) * 0x010101u; });
}

void cfCairoWritePng(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const std::string& path) {
  writePels(image, path, [](ccPackedRGB32Pel v) { return v.packed() & 0xFFFFFFu; });
}
