#include <backends/cairo/cairolayers.h>

#include <backends/cairo/cairoimage.h>
#include <backends/cairo/cairovector.h>
#include <dispc/errors.h>

#include <cairo-pdf.h>
#include <cairo-svg.h>

namespace {

std::unique_ptr<ccCairoScope> newLayer(long width, long height, ccCairoScope::SurfaceKind kind) {
  if (kind == ccCairoScope::eVector) return std::make_unique<ccCairoVectorScope>(width, height);
  return std::make_unique<ccCairoImageScope>(width, height);
}

}  // namespace

ccCairoLayers::ccCairoLayers(long width, long height, ccCairoScope::SurfaceKind kind)
    : width_(width),
      height_(height),
      kind_(kind),
      image_(newLayer(width, height, kind)),
      overlay_(newLayer(width, height, kind)) {
  image_->setAll(ccColor::blackColor());
  image_->noChange();
  overlay_->passErases(true);
}

ccCairoLayers::~ccCairoLayers() = default;

ccCairoScope& ccCairoLayers::scope(int layer) const {
  if (layer == 0) return *image_;
  if (layer == 1) return *overlay_;
  throw ccUIError::BadLayer();
}

void ccCairoLayers::antialias(bool on) {
  image_->antialias(on);
  overlay_->antialias(on);
}

void ccCairoLayers::paintLayer(cairo_t* target, const ccCairoScope& layer, double x,
                               double y) const {
  cairo_surface_flush(layer.surface());
  cairo_set_source_surface(target, layer.surface(), x, y);
  cairo_rectangle(target, x, y, double(width_), double(height_));
  cairo_fill(target);
}

void ccCairoLayers::compose(cairo_t* target, double x, double y) const {
  cairo_save(target);
  cairo_set_operator(target, CAIRO_OPERATOR_OVER);
  paintLayer(target, *image_, x, y);
  paintLayer(target, *overlay_, x, y);
  cairo_restore(target);
}

ccPelBuffer<ccPackedRGB32Pel> ccCairoLayers::composed() const {
  ccCairoImageScope out(width_, height_);
  compose(out.context());
  return out.pels();
}

void ccCairoLayers::writePng(const std::string& path) const {
  ccCairoImageScope out(width_, height_);
  compose(out.context());
  out.writePng(path);
}

void ccCairoLayers::writeSvg(const std::string& path) const {
  writeFile(cairo_svg_surface_create(path.c_str(), double(width_), double(height_)));
}

void ccCairoLayers::writePdf(const std::string& path) const {
  writeFile(cairo_pdf_surface_create(path.c_str(), double(width_), double(height_)));
}

void ccCairoLayers::writeFile(cairo_surface_t* target) const {
  if (cairo_surface_status(target) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(target);
    throw ccUIError::InitFailed();
  }
  cairo_t* cr = cairo_create(target);
  compose(cr);
  cairo_destroy(cr);
  cairo_surface_finish(target);
  const cairo_status_t status = cairo_surface_status(target);
  cairo_surface_destroy(target);
  if (status != CAIRO_STATUS_SUCCESS) throw ccUIError::InitFailed();
}
