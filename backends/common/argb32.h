// What the raster back ends share about 32-bit premultiplied ARGB pixels (Cairo's ARGB32 and
// Qt's ARGB32_Premultiplied have the same layout): the default palette, pel converters (also
// of the image slots' calls) and a scanline flood fill. Header-only and private to the back ends'
// sources; not installed.
#pragma once

#include <core/pelbuffer.h>
#include <core/rlebuffer.h>
#include <dispc/color.h>
#include <dispc/pelscope.h>
#include <dispc/uirect.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace cc_detail {

// Opaque pixel of a triple.
inline std::uint32_t argb(unsigned char r, unsigned char g, unsigned char b) {
  return 0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
}
inline std::uint32_t argb(const ccRGB& c) { return argb(c.r(), c.g(), c.b()); }

// The palette for index colours: the stock colours' triples at their indices, the grey ramp
// (i, i, i) elsewhere.
inline const std::array<ccRGB, 256>& defaultPalette() {
  static const std::array<ccRGB, 256> palette = [] {
    std::array<ccRGB, 256> p;
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<unsigned char>(i);
      p[static_cast<std::size_t>(i)] = ccRGB(v, v, v);
    }
    const ccColor* stock[] = {
        &ccColor::blackColor(),  &ccColor::dkGreyColor(),  &ccColor::greyColor(),
        &ccColor::ltGreyColor(), &ccColor::whiteColor(),   &ccColor::redColor(),
        &ccColor::dkRedColor(),  &ccColor::orangeColor(),  &ccColor::yellowColor(),
        &ccColor::greenColor(),  &ccColor::dkGreenColor(), &ccColor::cyanColor(),
        &ccColor::blueColor(),   &ccColor::purpleColor(),  &ccColor::magentaColor(),
        &ccColor::passColor()};
    for (const ccColor* c : stock) p[c->index()] = c->rgbStruct();
    return p;
  }();
  return palette;
}

// Pixel converters of the four pel types; transparent pels give 0.
struct Grey8 {
  bool pass;
  unsigned char passValue;
  std::uint32_t operator()(unsigned char v) const {
    return pass && v == passValue ? 0 : argb(v, v, v);
  }
};

// 16-bit grey pels show their bits above shift, clamped to 255.
struct Grey16 {
  bool pass;
  unsigned short passValue;
  int shift;
  std::uint32_t operator()(unsigned short v) const {
    if (pass && v == passValue) return 0;
    const auto g = static_cast<unsigned char>(std::min(v >> shift, 255));
    return argb(g, g, g);
  }
};

struct RGB16 {
  bool pass;
  unsigned short passValue;
  std::uint32_t operator()(ccPackedRGB16Pel v) const {
    return pass && v.packed() == passValue ? 0 : argb(v.r(), v.g(), v.b());
  }
};

// The unused top byte is ignored, also when comparing with the pass value.
struct RGB32 {
  bool pass;
  unsigned long passValue;
  std::uint32_t operator()(ccPackedRGB32Pel v) const {
    return pass && (v.packed() & 0xFFFFFFu) == (passValue & 0xFFFFFFu) ? 0
                                                                       : argb(v.r(), v.g(), v.b());
  }
};

// The converter of an image slot's pels; 16-bit grey pels show their bits above grey16Shift.
inline Grey8 converterOf(const ccImageSlotCall<unsigned char>& c, int /*grey16Shift*/) {
  return Grey8{c.pass, c.passValue};
}
inline Grey16 converterOf(const ccImageSlotCall<unsigned short>& c, int grey16Shift) {
  return Grey16{c.pass, c.passValue, grey16Shift};
}
inline RGB16 converterOf(const ccImageSlotCall<ccPackedRGB16Pel>& c, int /*grey16Shift*/) {
  return RGB16{c.pass, c.passValue};
}
inline RGB32 converterOf(const ccImageSlotCall<ccPackedRGB32Pel>& c, int /*grey16Shift*/) {
  return RGB32{c.pass, c.passValue};
}

// Scanline flood fill of 32-bit pixels (row y at data + y * stride bytes) from seed within
// clip (which holds the seed). bounded: every pixel that is not border (under mask) is filled;
// otherwise the pixels of the seed's value. Returns the rectangle filled (null when nothing).
inline ccUIRect floodFill(unsigned char* data, std::ptrdiff_t stride, const ccUIRect& clip, long sx,
                          long sy, std::uint32_t fill, std::uint32_t border, std::uint32_t mask,
                          bool bounded) {
  auto at = [&](long x, long y) -> std::uint32_t& {
    return reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x];
  };
  border &= mask;
  const std::uint32_t seed = at(sx, sy) & mask;
  if (!bounded && seed == (fill & mask)) return ccUIRect::null;

  const long l = clip.left(), t = clip.top(), w = clip.width(), h = clip.height();
  std::vector<bool> done(static_cast<std::size_t>(w * h), false);
  auto inside = [&](long x, long y) {
    if (done[static_cast<std::size_t>((y - t) * w + (x - l))]) return false;
    const std::uint32_t v = at(x, y) & mask;
    return bounded ? v != border : v == seed;
  };
  long minX = sx, maxX = sx, minY = sy, maxY = sy;
  bool any = false;
  std::vector<std::pair<long, long>> stack{{sx, sy}};
  while (!stack.empty()) {
    const auto [x, y] = stack.back();
    stack.pop_back();
    if (!inside(x, y)) continue;
    any = true;
    long x0 = x, x1 = x;
    while (x0 > l && inside(x0 - 1, y)) --x0;
    while (x1 + 1 < l + w && inside(x1 + 1, y)) ++x1;
    for (long i = x0; i <= x1; ++i) {
      at(i, y) = fill;
      done[static_cast<std::size_t>((y - t) * w + (i - l))] = true;
    }
    minX = std::min(minX, x0);
    maxX = std::max(maxX, x1);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
    // Seeds in the rows above and below: one per run of fillable pixels.
    for (long ny : {y - 1, y + 1}) {
      if (ny < t || ny >= t + h) continue;
      bool inRun = false;
      for (long i = x0; i <= x1; ++i) {
        const bool in = inside(i, ny);
        if (in && !inRun) stack.emplace_back(i, ny);
        inRun = in;
      }
    }
  }
  return any ? ccUIRect(minX, minY, maxX - minX + 1, maxY - minY + 1) : ccUIRect::null;
}

// The part of a run-length image with its upper-left pel at (x, y) that lies in clip (the same
// pixels), decoded into pels; returns where that part lands, null when nothing shows. A huge
// image costs only the pels that show.
inline ccUIRect decodeVisible(const ccRLEBuffer& image, long x, long y, const ccUIRect& clip,
                              ccPelBuffer<unsigned char>& pels) {
  const ccUIRect visible = ccUIRect(x, y, image.width(), image.height()) & clip;
  if (visible.isNull()) return visible;
  image
      .subWindow(image.offset().first + (visible.left() - x),
                 image.offset().second + (visible.top() - y), visible.width(), visible.height())
      .decode(pels);
  return visible;
}

// The pixel of each value of a run-length image: its grey in colorMap (the value itself beyond
// the map's end), and transparent for passValue when pass is set.
inline std::array<std::uint32_t, 256> rleGreys(const std::vector<unsigned char>& colorMap,
                                               bool pass, unsigned char passValue) {
  std::array<std::uint32_t, 256> lut;
  for (std::size_t i = 0; i < 256; ++i) {
    const auto g = i < colorMap.size() ? colorMap[i] : static_cast<unsigned char>(i);
    lut[i] = argb(g, g, g);
  }
  if (pass) lut[passValue] = 0;
  return lut;
}

}  // namespace cc_detail
