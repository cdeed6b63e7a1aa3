#include <backends/cairo/cairorender.h>

#include <dispc/errors.h>

#include <cmath>

namespace {

// The zoomed side, rounded up (a side that is a whole number after zooming stays whole).
double zoomedSide(long side, double zoom) {
  return std::ceil(static_cast<double>(side) * zoom - 1e-9);
}

}  // namespace

ccCairoRendering cfCairoRenderSketch(const ccImageFile& image, const ccUISketch& sketch,
                                     const ccCairoRenderOptions& o) {
  const bool blank = !image.grey.isBound() && !image.rgb.isBound();
  const long width = blank ? o.width : image.width(), height = blank ? o.height : image.height();
  const double w = zoomedSide(width, o.zoom.first), h = zoomedSide(height, o.zoom.second);
  if (!(o.zoom.first > 0) || !(o.zoom.second > 0) || !(w >= 1) || !(h >= 1) ||
      w > kCairoMaxPictureSide || h > kCairoMaxPictureSide)
    throw ccUIError::BadParams("a " + std::to_string(width) + "x" + std::to_string(height) +
                               " canvas zoomed by " + std::to_string(o.zoom.first) + "," +
                               std::to_string(o.zoom.second) + " is outside 1 to " +
                               std::to_string(kCairoMaxPictureSide) + " pixels a side");

  ccCairoRendering r;
  r.layers = std::make_unique<ccCairoLayers>(static_cast<long>(w), static_cast<long>(h), o.kind);
  r.layers->antialias(o.antialias);
  ccUITablet tablet(&r.layers->image(), &r.layers->overlay());
  tablet.visible(true);
  tablet.scaleExact(o.zoom);
  const ccPoint origin(0, 0);
  if (blank)
    tablet.set(ccColor(o.background, o.background, o.background), ccUITablet::eImageLayer);
  else if (image.isColor())
    tablet.draw(image.rgb, origin, false, 0ul, ccUITablet::eImageLayer);
  else
    tablet.draw(image.grey, origin, false, 0, false, ccUITablet::eImageLayer);
  tablet.draw(sketch, ccPoint(o.offset), o.layer);
  // Measured layer by layer: both layers together have no scope to measure in.
  for (int l = 0; l < 2; ++l)
    if (o.layer == l || o.layer == ccUITablet::eBothLayers)
      r.sketchRect |=
          tablet.encloseRect(sketch, ccPoint(o.offset), static_cast<ccUITablet::Layers>(l));
  r.sketchRect &= ccUIRect(0, 0, r.layers->width(), r.layers->height());
  return r;
}

ccUIRect cfCairoRenderSketchToPng(const ccImageFile& image, const ccUISketch& sketch,
                                  const std::string& path, const ccCairoRenderOptions& options) {
  ccCairoRenderOptions raster = options;
  raster.kind = ccCairoScope::eRaster;
  const ccCairoRendering r = cfCairoRenderSketch(image, sketch, raster);
  r.layers->writePng(path);
  return r.sketchRect;
}
