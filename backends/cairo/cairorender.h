// A recorded sketch replayed over an image (or a blank canvas) into a picture: what
// dispc-render does, as one call.
//
// The picture is drawn through a root tablet over ccCairoLayers: the image on the image layer
// at (0, 0), then the sketch replayed with its operations on their own layers, both zoomed by
// the options' zoom; the picture is the canvas size times the zoom, rounded up.
#pragma once

#include <backends/cairo/cairolayers.h>
#include <backends/cairo/imagefiles.h>
#include <dispc/tablet.h>
#include <dispc/uisketch.h>

#include <memory>
#include <string>

struct ccCairoRenderOptions {
  long width = 640, height = 480;  // the blank canvas, used when no image is given
  unsigned char background = 0;    // grey level of the blank canvas
  ccVector<2> offset;              // added to the sketch's coordinates (image coordinates)
  ccUITablet::Layers layer = ccUITablet::eBothLayers;  // the operations replayed
  ccPair<double> zoom = ccPair<double>(1, 1);          // across, down
  bool antialias = true;
  ccCairoScope::SurfaceKind kind = ccCairoScope::eRaster;  // eVector keeps SVG and PDF vectors
};

struct ccCairoRendering {
  std::unique_ptr<ccCairoLayers> layers;  // the picture, ready to be written
  ccUIRect sketchRect;  // the picture's pixels the sketch may touch; null when none
};

// The largest picture side in pixels (Cairo's limit).
constexpr long kCairoMaxPictureSide = 32767;

// Renders sketch over image (an image with neither buffer bound means the blank canvas).
// ccUIError::BadParams when the picture would be empty or larger than kCairoMaxPictureSide a
// side; errors of the sketch's replay (ccUIError::InvalidUISketch and others) pass through.
ccCairoRendering cfCairoRenderSketch(const ccImageFile& image, const ccUISketch& sketch,
                                     const ccCairoRenderOptions& options = {});

// The same, written as a PNG file; returns the rendering's sketchRect. ccUIError::InitFailed
// naming the file when it cannot be written.
ccUIRect cfCairoRenderSketchToPng(const ccImageFile& image, const ccUISketch& sketch,
                                  const std::string& path,
                                  const ccCairoRenderOptions& options = {});
