// Golden-image comparison for the Cairo back end's tests (see ../imagecompare.h): the pixels of
// a raster scope (premultiplied ARGB, all four channels) against golden/<name>.png; failures
// are written to the golden-failures directory of the build tree.
#pragma once

#include "../imagecompare.h"

#include <backends/cairo/cairoimage.h>

::testing::AssertionResult matchesGolden(const ccCairoImageScope& scope, const std::string& name,
                                         int tolerance = 0, long maxBad = 0);

// A scratch file path in the build tree (the directory is made when missing).
std::string outputPath(const std::string& file);

// Bounding box (surface pixels) of the pixels that differ from `background`; null when none.
ccUIRect inkBox(const ccCairoImageScope& scope, ccPackedRGB32Pel background);
