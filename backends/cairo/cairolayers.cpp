#include <backends/cairo/cairolayers.h>

#include <backends/cairo/cairoimage.h>
#include <backends/cairo/cairovector.h>
#include <dispc/errors.h>

#include <string>

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
  throw ccUIError::BadLayer("layer " + std::to_string(layer) + " (expected 0 or 1)");
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
  cfCairoWriteSvg(path, double(width_), double(height_), [this](cairo_t* cr) { compose(cr); });
}

void ccCairoLayers::writePdf(const std::string& path) const {
  cfCairoWritePdf(path, double(width_), double(height_), [this](cairo_t* cr) { compose(cr); });
}
