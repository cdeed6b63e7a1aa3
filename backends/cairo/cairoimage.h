// ccCairoImageScope: a Cairo scope over an image surface in memory, written out as PNG; and
// PNG files read into and written from pel buffers.
//
// The surface's pixels can be read back, so this is the scope with flood fill and drags
// (see ccCairoScope). Pixels are read as ccPackedRGB32Pel with the colour un-premultiplied
// and the alpha in the top byte (255 opaque, 0 transparent).
//
// Failures (a surface that cannot be made, a file that cannot be read or written) throw
// ccUIError::InitFailed, a negative size ccUIError::BadParams; the message says what failed
// (the file and Cairo's reason, or the size asked for).
#pragma once

#include <backends/cairo/cairoscope.h>

#include <string>

class ccCairoImageScope : public ccCairoScope {
 public:
  // A new ARGB32 surface of width x height pixels, all transparent.
  ccCairoImageScope(long width, long height);
  // Draws on an existing ARGB32 or RGB24 image surface (the scope takes its own reference).
  explicit ccCairoImageScope(cairo_surface_t* imageSurface);

  // Writes the surface as a PNG file (with its alpha).
  void writePng(const std::string& path) const;

  // Pixel (x, y) of the surface (surface pixels, not scope pixels); BadParams outside.
  ccPackedRGB32Pel pel(long x, long y) const;
  // A copy of all pixels.
  ccPelBuffer<ccPackedRGB32Pel> pels() const;
  // Makes every pixel transparent (noting the whole scope as changed).
  void clear();
};

// An 8-bit grey or colour PNG file as 8-bit grey pels (colour pels by their luminance,
// (299 r + 587 g + 114 b) / 1000 rounded; transparent pixels count as black).
ccPelBuffer<unsigned char> cfCairoReadPngGrey8(const std::string& path);
// A PNG file as packed RGB pels (grey files give equal components), alpha dropped.
ccPelBuffer<ccPackedRGB32Pel> cfCairoReadPngRGB32(const std::string& path);
// Pel buffers written as opaque PNG files.
void cfCairoWritePng(const ccPelBuffer_const<unsigned char>& image, const std::string& path);
void cfCairoWritePng(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const std::string& path);
