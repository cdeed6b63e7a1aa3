// Golden images and picture comparisons for the Qt tests.
//
// matchesGolden compares an image (premultiplied ARGB, all four channels) with
// golden/<name>.png. A pixel differs when a channel differs by more than `tolerance`; the
// comparison passes when at most `maxBad` pixels differ. With DISPC_UPDATE_GOLDEN=1 in the
// environment the golden image is (re)written instead. On a failure <name>.actual.png and
// <name>.diff.png (differing pixels red, the rest a faint copy) are written to the
// golden-failures directory of the build tree, and the message says where.
//
// agreesWithin compares two pictures of one scene drawn by different rasterisers: every pixel
// of each must find a pixel within `reach` pixels in the other whose channels differ by at
// most `tolerance` (a shape edge may fall one pixel over), and at most `maxBad` pixels may
// fail that.
#pragma once

#include <backends/qt/qtimage.h>

#include <QImage>

#include <gtest/gtest.h>

#include <string>

::testing::AssertionResult matchesGolden(const QImage& image, const std::string& name,
                                         int tolerance = 0, long maxBad = 0);
::testing::AssertionResult agreesWithin(const QImage& a, const QImage& b, const std::string& name,
                                        int reach, int tolerance, long maxBad);

// A scratch file path in the build tree (the directory is made when missing).
std::string outputPath(const std::string& file);

// Packed pel with alpha in the top byte, as ccQtImageScope::pel returns.
inline ccPackedRGB32Pel opaque(const ccColor& c) {
  const ccRGB& t = c.rgbStruct();
  return ccPackedRGB32Pel(t.r(), t.g(), t.b(), 255);
}
