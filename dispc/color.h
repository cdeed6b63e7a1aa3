// Colours: true-colour triples (ccRGB) and drawing colours (ccColor).
//
// A ccColor is an index colour (a palette entry), an RGB colour, or one of sixteen stock
// colours that carry both, so that any display can draw them. A default ccColor is the index
// colour 0, not RGB black.
#pragma once

#include <cgr/grlist.h>
#include <core/archive.h>
#include <dispc/errors.h>

#include <cstdint>

class ccRGB {
 public:
  constexpr ccRGB(unsigned char r = 0, unsigned char g = 0, unsigned char b = 0)
      : r_(r), g_(g), b_(b) {}

  constexpr unsigned char r() const { return r_; }
  constexpr unsigned char g() const { return g_; }
  constexpr unsigned char b() const { return b_; }
  void r(unsigned char v) { r_ = v; }
  void g(unsigned char v) { g_ = v; }
  void b(unsigned char v) { b_ = v; }
  void rgb(unsigned char r, unsigned char g, unsigned char b) {
    r_ = r;
    g_ = g;
    b_ = b;
  }

  // 0x00RRGGBB.
  constexpr std::uint32_t rgb() const { return (std::uint32_t(r_) << 16) | (g_ << 8) | b_; }
  // 0x00BBGGRR.
  constexpr std::uint32_t bgr() const { return (std::uint32_t(b_) << 16) | (g_ << 8) | r_; }
  // 5-5-5: red in bits 10-14, green 5-9, blue 0-4; bit 15 clear.
  constexpr std::uint16_t rgb15() const {
    return std::uint16_t(((r_ & 0xF8) << 7) | ((g_ & 0xF8) << 2) | (b_ >> 3));
  }
  // 5-6-5: red in bits 11-15, green 5-10, blue 0-4.
  constexpr std::uint16_t rgb16() const {
    return std::uint16_t(((r_ & 0xF8) << 8) | ((g_ & 0xFC) << 3) | (b_ >> 3));
  }

  constexpr bool operator==(const ccRGB& o) const { return r_ == o.r_ && g_ == o.g_ && b_ == o.b_; }
  constexpr bool operator!=(const ccRGB& o) const { return !(*this == o); }
  // Brightness order: the truncated mean (r + g + b) / 3. Different colours of equal mean
  // are neither less nor greater.
  constexpr bool operator<(const ccRGB& o) const { return brightness() < o.brightness(); }
  constexpr bool operator>(const ccRGB& o) const { return brightness() > o.brightness(); }

 private:
  constexpr unsigned brightness() const { return (unsigned(r_) + g_ + b_) / 3; }
  unsigned char r_, g_, b_;
};

class ccColor {
 public:
  // Kind bits.
  enum : unsigned char { eStock = 1, eRGB = 2, eIndex = 4 };

  // An index colour (also the default: index 0).
  constexpr ccColor(unsigned char index = 0) : kind_(eIndex), index_(index), rgb_() {}
  // RGB colours.
  constexpr ccColor(const ccRGB& rgb) : kind_(eRGB), index_(0), rgb_(rgb) {}
  constexpr ccColor(unsigned char r, unsigned char g, unsigned char b)
      : kind_(eRGB), index_(0), rgb_(r, g, b) {}

  bool isStockColor() const { return (kind_ & eStock) != 0; }
  bool isRGBColor() const { return (kind_ & eRGB) != 0; }
  bool isIndexColor() const { return (kind_ & eIndex) != 0; }
  unsigned char kind() const { return kind_; }

  // Palette index; ccUIError::NotIndexColor unless an index colour.
  unsigned char index() const;
  // Packings of the triple; ccUIError::NotRGBColor unless an RGB colour.
  std::uint32_t rgb() const;
  std::uint32_t bgr() const;
  std::uint16_t rgb15() const;
  std::uint16_t rgb16() const;
  // The stored triple, untested (0, 0, 0 for an index colour).
  const ccRGB& rgbStruct() const { return rgb_; }

  // Equal when both are index colours of one index, or both RGB colours of one triple. A
  // stock colour thus equals its index colour and its RGB colour, which differ from each other.
  bool operator==(const ccColor& o) const;
  bool operator!=(const ccColor& o) const { return !(*this == o); }

  static const ccColor& blackColor();
  static const ccColor& dkGreyColor();
  static const ccColor& greyColor();
  static const ccColor& ltGreyColor();
  static const ccColor& whiteColor();
  static const ccColor& redColor();
  static const ccColor& dkRedColor();
  static const ccColor& orangeColor();
  static const ccColor& yellowColor();
  static const ccColor& greenColor();
  static const ccColor& dkGreenColor();
  static const ccColor& cyanColor();
  static const ccColor& blueColor();
  static const ccColor& purpleColor();
  static const ccColor& magentaColor();
  // Marks transparent pels of images and icons (palette index 243).
  static const ccColor& passColor();

  // The palette index of the pass colour, read from the copy made at start-up.
  static unsigned char passIndex();

  friend ccArchive& operator||(ccArchive& ar, ccColor& c);

 private:
  // Stock colours only.
  constexpr ccColor(unsigned char index, unsigned char r, unsigned char g, unsigned char b)
      : kind_(eStock | eRGB | eIndex), index_(index), rgb_(r, g, b) {}
  friend struct ccStockColorTable;

  unsigned char kind_;
  unsigned char index_;
  ccRGB rgb_;
};

// Graphics-list colour code to colour: RGB codes (bit value 128) and stock codes 0-15; any
// other code reports an assertion and gives black.
ccColor cfColor(cgr_color code);
// Colour to graphics-list code: stock colours by table order (black first), RGB colours as
// r<<24 | g<<16 | b<<8 | 128. An index-only colour or an unmatched stock colour reports an
// assertion and gives 0.
cgr_color cfColor(const ccColor& color);

// Archive forms: ccRGB 4 bytes (version 0, r, g, b); ccColor 7 bytes (version 0, kind, index,
// then the ccRGB form). Only version 0 loads; another throws ccArchive::UnknownVersion with
// "dispc/color".
ccArchive& operator||(ccArchive& ar, ccRGB& rgb);
ccArchive& operator||(ccArchive& ar, ccColor& color);
inline ccArchive& operator>>(ccArchive& ar, ccRGB& rgb) { return ar || rgb; }
inline ccArchive& operator>>(ccArchive& ar, ccColor& color) { return ar || color; }
