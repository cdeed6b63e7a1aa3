// ccCairoLayers: the usual pair of scopes for a root tablet — an image layer and an overlay
// layer of one size — and their composition into one picture.
//
// The image layer starts opaque black, the overlay transparent, with passErases() on so that
// drawing or setting the pass colour there clears back to transparent. Composing paints the
// image layer, then the overlay over it. The layers are raster scopes (ccCairoImageScope),
// or, built with ccCairoScope::eVector, recording scopes (ccCairoVectorScope) whose SVG and
// PDF output keeps both layers as vectors. Both scopes belong to the layers object; a root
// tablet is put over them with scope(0) and scope(1) (not owned by the tablet).
#pragma once

#include <backends/cairo/cairoscope.h>

#include <memory>
#include <string>

class ccCairoLayers {
 public:
  ccCairoLayers(long width, long height, ccCairoScope::SurfaceKind kind = ccCairoScope::eRaster);
  ~ccCairoLayers();
  ccCairoLayers(const ccCairoLayers&) = delete;
  ccCairoLayers& operator=(const ccCairoLayers&) = delete;

  long width() const { return width_; }
  long height() const { return height_; }
  ccCairoScope::SurfaceKind kind() const { return kind_; }

  ccCairoScope& image() const { return *image_; }
  ccCairoScope& overlay() const { return *overlay_; }
  // Layer 0 (image) or 1 (overlay); ccUIError::BadLayer otherwise.
  ccCairoScope& scope(int layer) const;

  // Antialiasing of both layers.
  void antialias(bool on);

  // Paints the image layer and the overlay over it into target, the upper-left corner at
  // (x, y) of its user space.
  void compose(cairo_t* target, double x = 0, double y = 0) const;
  // The composed picture's pixels (alpha in the top byte, as ccCairoImageScope::pels).
  ccPelBuffer<ccPackedRGB32Pel> composed() const;
  // The composed picture as a file; ccUIError::InitFailed naming the file and the
  // reason when it cannot be written.
  void writePng(const std::string& path) const;
  void writeSvg(const std::string& path) const;
  void writePdf(const std::string& path) const;

 private:
  // Paints one layer's surface.
  void paintLayer(cairo_t* target, const ccCairoScope& layer, double x, double y) const;

  long width_, height_;
  ccCairoScope::SurfaceKind kind_;
  std::unique_ptr<ccCairoScope> image_;
  std::unique_ptr<ccCairoScope> overlay_;
};
