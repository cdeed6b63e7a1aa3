// Golden-image comparison for the Cairo back end's tests.
//
// matchesGolden compares the pixels of a raster scope (premultiplied ARGB, all four
// channels) with golden/<name>.png. A pixel differs when a channel differs by more than
// `tolerance`; the comparison passes when at most `maxBad` pixels differ. With
// DISPC_UPDATE_GOLDEN=1 in the environment the golden image is (re)written instead. On a
// failure <name>.actual.png and <name>.diff.png (differing pixels red, the rest a faint copy)
// are written to the golden-failures directory of the build tree, and the message says where.
#pragma once

#include <backends/cairo/cairoimage.h>

#include <gtest/gtest.h>

#include <string>

::testing::AssertionResult matchesGolden(const ccCairoImageScope& scope, const std::string& name,
                                         int tolerance = 0, long maxBad = 0);

// A scratch file path in the build tree (the directory is made when missing).
std::string outputPath(const std::string& file);

// Bounding box (surface pixels) of the pixels that differ from `background`; null when none.
ccUIRect inkBox(const ccCairoImageScope& scope, ccPackedRGB32Pel background);

// Packed pel with alpha in the top byte, as ccCairoImageScope::pel returns.
inline ccPackedRGB32Pel opaque(const ccColor& c) {
  const ccRGB& t = c.rgbStruct();
  return ccPackedRGB32Pel(t.r(), t.g(), t.b(), 255);
}
