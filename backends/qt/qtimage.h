// ccQtImageScope: a Qt scope over a QImage it owns (premultiplied ARGB32), with pixel access,
// PNG output, flood fill and drags; ccQtLayers: the usual pair of such scopes for a root
// tablet — an image layer and an overlay layer of one size — and their composition.
//
// Pixels read back as ccPackedRGB32Pel with the colour un-premultiplied and the alpha in the
// top byte (255 opaque, 0 transparent), as the Cairo image scope's.
//
// The image layer of ccQtLayers is an opaque image (black at first), the overlay transparent with
// passErases() on, so that drawing or setting the pass colour there clears back to transparent.
// Composing paints the image layer, then the overlay over it. Both scopes belong to the layers
// object; a root tablet is put over them with image() and overlay() (not owned by the tablet).
//
// Failures (a file that cannot be written) throw ccUIError::InitFailed; a negative size or
// one above 32767 throws ccUIError::BadParams.
#pragma once

#include <backends/qt/qtscope.h>

#include <QImage>

#include <memory>
#include <string>

class ccQtImageScope : public ccQtScope {
 public:
  // A new image of width x height pixels, all transparent; or, opaque, an RGB32 image that
  // starts black and has no transparency (the pass colour with passErases clears to black).
  // Opaque images are copied onto a widget without blending.
  ccQtImageScope(long width, long height, bool opaque = false);

  // The image (the painter is ended first, so the pixels are all there).
  const QImage& image() const;
  // Writes the image as a PNG file (with its alpha).
  void writePng(const std::string& path) const;
  // Pixel (x, y) of the image (device pixels, not scope pixels); BadParams outside.
  ccPackedRGB32Pel pel(long x, long y) const;
  // Makes every pixel transparent (black in an opaque image), noting the whole scope as changed.
  void clear();
};

class ccQtLayers {
 public:
  ccQtLayers(long width, long height);
  ccQtLayers(const ccQtLayers&) = delete;
  ccQtLayers& operator=(const ccQtLayers&) = delete;

  long width() const { return width_; }
  long height() const { return height_; }
  ccQtImageScope& image() const { return *image_; }
  ccQtImageScope& overlay() const { return *overlay_; }
  // Layer 0 (image) or 1 (overlay); ccUIError::BadLayer otherwise.
  ccQtImageScope& scope(int layer) const;

  // Antialiasing of both layers.
  void antialias(bool on);
  // Paints the image layer and the overlay over it: the layers' rectangle source into target
  // at targetCorner.
  void compose(QPainter& target, const QRect& source, const QPoint& targetCorner) const;
  // The composed picture (opaque where the image layer is).
  QImage composed() const;
  void writePng(const std::string& path) const;

 private:
  long width_, height_;
  std::unique_ptr<ccQtImageScope> image_;
  std::unique_ptr<ccQtImageScope> overlay_;
};
