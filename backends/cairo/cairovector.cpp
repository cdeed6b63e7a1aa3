#include <backends/cairo/cairovector.h>

#include <dispc/errors.h>

#include <cairo-pdf.h>
#include <cairo-svg.h>

namespace {

cairo_surface_t* newRecording(long width, long height) {
  if (width < 0 || height < 0) throw ccUIError::BadParams();
  const cairo_rectangle_t extents = {0, 0, double(width), double(height)};
  return cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
}

// Replays into a new file surface and finishes it.
void writeTo(const ccCairoVectorScope& scope, cairo_surface_t* target) {
  if (cairo_surface_status(target) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(target);
    throw ccUIError::InitFailed();
  }
  cairo_t* cr = cairo_create(target);
  scope.replay(cr);
  cairo_destroy(cr);
  cairo_surface_finish(target);
  const cairo_status_t status = cairo_surface_status(target);
  cairo_surface_destroy(target);
  if (status != CAIRO_STATUS_SUCCESS) throw ccUIError::InitFailed();
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
  writeTo(*this,
          cairo_svg_surface_create(path.c_str(), double(surfaceWidth()), double(surfaceHeight())));
}

void ccCairoVectorScope::writePdf(const std::string& path) const {
  writeTo(*this,
          cairo_pdf_surface_create(path.c_str(), double(surfaceWidth()), double(surfaceHeight())));
}

void ccCairoVectorScope::writePng(const std::string& path) const {
  cairo_surface_t* s = cairo_image_surface_create(
      CAIRO_FORMAT_ARGB32, static_cast<int>(surfaceWidth()), static_cast<int>(surfaceHeight()));
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    throw ccUIError::InitFailed();
  }
  cairo_t* cr = cairo_create(s);
  replay(cr);
  cairo_destroy(cr);
  const cairo_status_t status = cairo_surface_write_to_png(s, path.c_str());
  cairo_surface_destroy(s);
  if (status != CAIRO_STATUS_SUCCESS) throw ccUIError::InitFailed();
}
