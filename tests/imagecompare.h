// Picture comparison for the golden-image tests of the raster back ends.
//
// A Picture holds premultiplied ARGB pels (alpha in the top byte), row by row. A pixel differs
// when a channel differs by more than `tolerance`; with a `reach`, it differs only when neither
// picture has a pixel within `reach` pixels of it that is close enough (a shape edge drawn by
// another rasteriser may fall a pixel over). The comparison passes when at most `maxBad` pixels
// differ; on a failure <name>.actual.png and <name>.diff.png (differing pixels red, the rest a
// faint copy) are written to `outDir` and the message says where.
//
// matchesGoldenFile compares with <goldenDir>/<name>.png; with DISPC_UPDATE_GOLDEN=1 in the
// environment it (re)writes the golden image instead. `Png` reads and writes PNG files:
// Png::read(path) gives an empty picture when the file cannot be read.
#pragma once

#include <core/pelbuffer.h>
#include <dispc/color.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

struct Picture {
  long width = 0, height = 0;
  std::vector<std::uint32_t> pels;
  std::uint32_t at(long x, long y) const { return pels[std::size_t(y * width + x)]; }
};

// Packed pel with alpha in the top byte, as the raster scopes' pel(x, y) returns.
inline ccPackedRGB32Pel opaque(const ccColor& c) {
  const ccRGB& t = c.rgbStruct();
  return ccPackedRGB32Pel(t.r(), t.g(), t.b(), 255);
}

// A scratch file path in `dir` (made when missing).
inline std::string outputPathIn(const std::string& dir, const std::string& file) {
  std::filesystem::create_directories(dir);
  return dir + "/" + file;
}

// The largest difference of a channel between the pels of two scopes of one size.
template <class Scope>
int largestChannelDifference(const Scope& a, const Scope& b) {
  int worst = 0;
  for (long y = 0; y < a.scopeBounds().height(); ++y)
    for (long x = 0; x < a.scopeBounds().width(); ++x) {
      const ccPackedRGB32Pel p = a.pel(x, y), q = b.pel(x, y);
      worst = std::max({worst, std::abs(p.r() - q.r()), std::abs(p.g() - q.g()),
                        std::abs(p.b() - q.b()), std::abs(p.x() - q.x())});
    }
  return worst;
}

template <class Png>
::testing::AssertionResult comparePictures(const Picture& actual, const Picture& expected,
                                           const std::string& name, const std::string& outDir,
                                           int tolerance, long maxBad, int reach = 0) {
  if (actual.width != expected.width || actual.height != expected.height)
    return ::testing::AssertionFailure() << name << ": sizes differ";
  auto close = [tolerance](std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 32; shift += 8)
      if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    return true;
  };
  // Whether pixel (x, y) of `from` has a close one within `reach` of it in `in`.
  auto matched = [&](const Picture& from, const Picture& in, long x, long y) {
    for (long v = std::max(0L, y - reach); v <= std::min(in.height - 1, y + reach); ++v)
      for (long u = std::max(0L, x - reach); u <= std::min(in.width - 1, x + reach); ++u)
        if (close(from.at(x, y), in.at(u, v))) return true;
    return false;
  };
  Picture diff = actual;
  long bad = 0;
  for (long y = 0; y < actual.height; ++y)
    for (long x = 0; x < actual.width; ++x) {
      const std::uint32_t a = actual.at(x, y);
      const bool differs =
          !close(a, expected.at(x, y)) &&
          (reach == 0 || !matched(actual, expected, x, y) || !matched(expected, actual, x, y));
      bad += differs;
      const std::uint32_t g = (((a >> 16) & 0xFF) + ((a >> 8) & 0xFF) + (a & 0xFF)) / 12 + 32;
      diff.pels[std::size_t(y * actual.width + x)] =
          differs ? 0xFFFF0000u : 0xFF000000u | g * 0x010101u;
    }
  if (bad <= maxBad) return ::testing::AssertionSuccess();
  const std::string actualPath = outputPathIn(outDir, name + ".actual.png");
  const std::string diffPath = outputPathIn(outDir, name + ".diff.png");
  Png::write(actual, actualPath);
  Png::write(diff, diffPath);
  return ::testing::AssertionFailure()
         << name << ": " << bad << " pixels differ by more than " << tolerance << " within "
         << reach << " pixel(s) (allowed " << maxBad << ")\n  actual   " << actualPath
         << "\n  diff     " << diffPath;
}

template <class Png>
::testing::AssertionResult matchesGoldenFile(const Picture& actual, const std::string& goldenDir,
                                             const std::string& name, const std::string& outDir,
                                             int tolerance, long maxBad) {
  const std::string golden = goldenDir + "/" + name + ".png";
  const char* update = std::getenv("DISPC_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    Png::write(actual, golden);
    return ::testing::AssertionSuccess() << "wrote " << golden;
  }
  const Picture expected = Png::read(golden);
  if (expected.pels.empty())
    return ::testing::AssertionFailure()
           << "cannot read " << golden << " (generate it with DISPC_UPDATE_GOLDEN=1)";
  return comparePictures<Png>(actual, expected, name, outDir, tolerance, maxBad)
         << "\n  expected " << golden;
}
