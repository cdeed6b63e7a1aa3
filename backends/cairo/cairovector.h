// ccCairoVectorScope: a Cairo scope whose drawing stays vector graphics.
//
// The scope draws into a bounded recording surface of the given size; writeSvg and writePdf
// replay it into an SVG or PDF file of that size (one pixel = one point), so lines, shapes
// and text stay vectors there and images are embedded. writePng rasterises the same drawing.
// A recording cannot be read back: flood fills are ignored and drags only keep their state.
//
// Failures (a surface that cannot be made, a file that cannot be written) throw
// ccUIError::InitFailed, a negative size ccUIError::BadParams; the message says what failed.
#pragma once

#include <backends/cairo/cairoscope.h>

#include <functional>
#include <string>

class ccCairoVectorScope : public ccCairoScope {
 public:
  // An empty (transparent) drawing of width x height pixels.
  ccCairoVectorScope(long width, long height);

  void writeSvg(const std::string& path) const;
  void writePdf(const std::string& path) const;
  void writePng(const std::string& path) const;
  // Replays the drawing into another context, its upper-left corner at (x, y) of the
  // context's user space.
  void replay(cairo_t* target, double x = 0, double y = 0) const;
};

// Writes an SVG or PDF file of width x height points (one pixel = one point); paint draws into
// its context. ccUIError::InitFailed naming the file when it cannot be written.
void cfCairoWriteSvg(const std::string& path, double width, double height,
                     const std::function<void(cairo_t*)>& paint);
void cfCairoWritePdf(const std::string& path, double width, double height,
                     const std::function<void(cairo_t*)>& paint);
