#include <backends/cairo/cairovector.h>

#include <backends/cairo/cairoimage.h>
#include <dispc/errors.h>

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <cerrno>
#include <string>

namespace {

cairo_surface_t* newRecording(long width, long height) {
  if (width < 0 || height < 0)
    throw ccUIError::BadParams("negative drawing size " + std::to_string(width) + "x" +
                               std::to_string(height));
  const cairo_rectangle_t extents = {0, 0, double(width), double(height)};
  return cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
}

using CreateSurface = cairo_surface_t* (*)(const char*, double, double);

void writeVectorFile(const char* format, CreateSurface create, const std::string& path,
                     double width, double height, const std::function<void(cairo_t*)>& paint) {
  const std::string what = path + ": cannot write the " + format + " file";
  errno = 0;
  cairo_surface_t* target = create(path.c_str(), width, height);
  if (const cairo_status_t status = cairo_surface_status(target); status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(target);
    cfCairoFail(what, status);
  }
  cairo_t* cr = cairo_create(target);
  paint(cr);
  cairo_destroy(cr);
  errno = 0;
  cairo_surface_finish(target);
  const cairo_status_t status = cairo_surface_status(target);
  cairo_surface_destroy(target);
  if (status != CAIRO_STATUS_SUCCESS) cfCairoFail(what, status);
}

}  // namespace

ccCairoVectorScope::ccCairoVectorScope(long width, long height)
    : ccCairoScope(makeCanvas(newRecording(width, height), eVector, width, height)) {}

void ccCairoVectorScope::replay(cairo_t* target, double x, double y) const {
  cairo_surface_flush(surface());
  cairo_save(target);
  cairo_set_source_surface(target, surface(), x, y);
  cairo_rectangle(target, x, y, double(surfaceWidth()), double(surfaceHeight()));
  cairo_fill(target);
  cairo_restore(target);
}

void ccCairoVectorScope::writeSvg(const std::string& path) const {
  cfCairoWriteSvg(path, double(surfaceWidth()), double(surfaceHeight()),
                  [this](cairo_t* cr) { replay(cr); });
}

void ccCairoVectorScope::writePdf(const std::string& path) const {
  cfCairoWritePdf(path, double(surfaceWidth()), double(surfaceHeight()),
                  [this](cairo_t* cr) { replay(cr); });
}

void ccCairoVectorScope::writePng(const std::string& path) const {
  ccCairoImageScope out(surfaceWidth(), surfaceHeight());
  replay(out.context());
  out.writePng(path);
}

void cfCairoWriteSvg(const std::string& path, double width, double height,
                     const std::function<void(cairo_t*)>& paint) {
  writeVectorFile("SVG", &cairo_svg_surface_create, path, width, height, paint);
}

void cfCairoWritePdf(const std::string& path, double width, double height,
                     const std::function<void(cairo_t*)>& paint) {
  writeVectorFile("PDF", &cairo_pdf_surface_create, path, width, height, paint);
}
