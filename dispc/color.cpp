#include <dispc/color.h>

#include <core/assert.h>

namespace {
constexpr const char* kSource = "dispc/color";
}

// The stock colours in graphics-list code order, built on first use.
struct ccStockColorTable {
  static const ccColor& entry(int code) {
    static const ccColor table[16] = {
        ccColor(0, 0, 0, 0),          // black
        ccColor(248, 128, 128, 128),  // dark grey
        ccColor(247, 160, 160, 164),  // grey (not neutral)
        ccColor(7, 192, 192, 192),    // light grey
        ccColor(255, 255, 255, 255),  // white
        ccColor(249, 255, 0, 0),      // red
        ccColor(1, 128, 0, 0),        // dark red
        ccColor(245, 250, 125, 50),   // orange
        ccColor(251, 255, 255, 0),    // yellow
        ccColor(250, 0, 255, 0),      // green
        ccColor(2, 0, 128, 0),        // dark green
        ccColor(254, 0, 255, 255),    // cyan
        ccColor(252, 0, 0, 255),      // blue
        ccColor(244, 160, 20, 200),   // purple
        ccColor(253, 255, 0, 255),    // magenta
        ccColor(243, 243, 243, 243),  // pass
    };
    return table[code];
  }
};

const ccColor& ccColor::blackColor() { return ccStockColorTable::entry(0); }
const ccColor& ccColor::dkGreyColor() { return ccStockColorTable::entry(1); }
const ccColor& ccColor::greyColor() { return ccStockColorTable::entry(2); }
const ccColor& ccColor::ltGreyColor() { return ccStockColorTable::entry(3); }
const ccColor& ccColor::whiteColor() { return ccStockColorTable::entry(4); }
const ccColor& ccColor::redColor() { return ccStockColorTable::entry(5); }
const ccColor& ccColor::dkRedColor() { return ccStockColorTable::entry(6); }
const ccColor& ccColor::orangeColor() { return ccStockColorTable::entry(7); }
const ccColor& ccColor::yellowColor() { return ccStockColorTable::entry(8); }
const ccColor& ccColor::greenColor() { return ccStockColorTable::entry(9); }
const ccColor& ccColor::dkGreenColor() { return ccStockColorTable::entry(10); }
const ccColor& ccColor::cyanColor() { return ccStockColorTable::entry(11); }
const ccColor& ccColor::blueColor() { return ccStockColorTable::entry(12); }
const ccColor& ccColor::purpleColor() { return ccStockColorTable::entry(13); }
const ccColor& ccColor::magentaColor() { return ccStockColorTable::entry(14); }
const ccColor& ccColor::passColor() { return ccStockColorTable::entry(15); }

namespace {
// Start-up copies of twelve stock colours; icon drawing reads the pass colour's index here.
const ccColor kStartupStockCopies[] = {
    ccColor::whiteColor(),  ccColor::redColor(),    ccColor::dkRedColor(),   ccColor::orangeColor(),
    ccColor::yellowColor(), ccColor::greenColor(),  ccColor::dkGreenColor(), ccColor::cyanColor(),
    ccColor::blueColor(),   ccColor::purpleColor(), ccColor::magentaColor(), ccColor::passColor(),
};
constexpr int kPassCopy = 11;
}  // namespace

unsigned char ccColor::passIndex() { return kStartupStockCopies[kPassCopy].index_; }

unsigned char ccColor::index() const {
  if (!isIndexColor()) throw ccUIError::NotIndexColor();
  return index_;
}

std::uint32_t ccColor::rgb() const {
  if (!isRGBColor()) throw ccUIError::NotRGBColor();
  return rgb_.rgb();
}

std::uint32_t ccColor::bgr() const {
  if (!isRGBColor()) throw ccUIError::NotRGBColor();
  return rgb_.bgr();
}

std::uint16_t ccColor::rgb15() const {
  if (!isRGBColor()) throw ccUIError::NotRGBColor();
  return rgb_.rgb15();
}

std::uint16_t ccColor::rgb16() const {
  if (!isRGBColor()) throw ccUIError::NotRGBColor();
  return rgb_.rgb16();
}

bool ccColor::operator==(const ccColor& o) const {
  if (isIndexColor() && o.isIndexColor() && index_ == o.index_) return true;
  if (isRGBColor() && o.isRGBColor() && rgb_.rgb() == o.rgb_.rgb()) return true;
  return false;
}

ccColor cfColor(cgr_color code) {
  if (code & 128u)
    return ccColor(static_cast<unsigned char>(code >> 24), static_cast<unsigned char>(code >> 16),
                   static_cast<unsigned char>(code >> 8));
  if (code < 16) return ccStockColorTable::entry(static_cast<int>(code));
  cstd_assert_(__LINE__, kSource);
  return ccColor::blackColor();
}

cgr_color cfColor(const ccColor& color) {
  if (color.isStockColor()) {
    for (int code = 0; code < 16; ++code)
      if (color == ccStockColorTable::entry(code)) return static_cast<cgr_color>(code);
    cstd_assert_(__LINE__, kSource);
    return 0;
  }
  // An index-only colour is reported and then coded like an RGB colour of its stored triple
  // (black), as the code has no form for a palette index.
  if (!color.isRGBColor()) cstd_assert_(__LINE__, kSource);
  const ccRGB& c = color.rgbStruct();
  return (cgr_color(c.r()) << 24) | (cgr_color(c.g()) << 16) | (cgr_color(c.b()) << 8) | 128u;
}

ccArchive& operator||(ccArchive& ar, ccRGB& rgb) {
  signed char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  unsigned char r = rgb.r(), g = rgb.g(), b = rgb.b();
  ar || r || g || b;
  if (ar.isLoading()) rgb.rgb(r, g, b);
  return ar;
}

ccArchive& operator||(ccArchive& ar, ccColor& color) {
  signed char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  // Read into temporaries so that a failure part way leaves the colour as it was.
  unsigned char kind = color.kind_, index = color.index_;
  ccRGB rgb = color.rgb_;
  ar || kind || index || rgb;
  if (ar.isLoading()) {
    color.kind_ = kind;
    color.index_ = index;
    color.rgb_ = rgb;
  }
  return ar;
}
