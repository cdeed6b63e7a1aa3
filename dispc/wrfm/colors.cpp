// ccSMDColors: grey levels of colours and the archive form.
#include <dispc/wrfm/colors.h>

#include <core/assert.h>

namespace {

constexpr const char* kColorsSource = "dispc/wrfm/colors";

struct StockGrey {
  const ccColor& (*color)();
  unsigned char grey;
};

// Searched in this order; the first stock colour of the same index gives the grey level.
const StockGrey kStockGreys[] = {
    {&ccColor::blackColor, 5},    {&ccColor::dkGreyColor, 50},  {&ccColor::greyColor, 100},
    {&ccColor::ltGreyColor, 150}, {&ccColor::whiteColor, 250},  {&ccColor::redColor, 120},
    {&ccColor::dkRedColor, 90},   {&ccColor::orangeColor, 180}, {&ccColor::yellowColor, 210},
    {&ccColor::greenColor, 130},  {&ccColor::dkGreenColor, 80}, {&ccColor::cyanColor, 200},
    {&ccColor::blueColor, 160},   {&ccColor::purpleColor, 90},  {&ccColor::magentaColor, 170},
    {&ccColor::passColor, 0},
};

}  // namespace

ccSMDColors::ccSMDColors(const ccColor& wireframeDefault, const ccColor& syntheticDefault,
                         const ccColor& syntheticBackground)
    : wireframeDefault_(wireframeDefault),
      syntheticDefault_(syntheticDefault),
      syntheticBackground_(syntheticBackground) {}

bool ccSMDColors::operator==(const ccSMDColors& o) const {
  return wireframeDefault_ == o.wireframeDefault_ && syntheticDefault_ == o.syntheticDefault_ &&
         syntheticBackground_ == o.syntheticBackground_;
}

unsigned char ccSMDColors::colorToGrayScale(const ccColor& c) {
  if (c.isIndexColor()) {
    const unsigned char index = c.index();
    for (const StockGrey& s : kStockGreys)
      if (s.color().index() == index) return s.grey;
    return 0;
  }
  if (c.isRGBColor()) {
    const ccRGB& rgb = c.rgbStruct();
    const double mean = (double(rgb.r()) + rgb.g() + rgb.b()) / 3;
    return static_cast<unsigned char>(mean + 0.5);
  }
  cstd_assert_(__LINE__, kColorsSource);
  return 0;
}

void ccSMDColors::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 1;
  ar || version;
  ccSMDColors::serialize_(ar, version);
  setVisited(ar);
}

void ccSMDColors::serialize_(ccArchive& ar, unsigned char version) {
  if (version > 1) throw ccArchive::UnknownVersion(kColorsSource, __LINE__);
  if (version == 0) return;  // the oldest records carry no colours
  ccPersistent::dispatchSerialize(ar);
  // Load into copies, so that a failure part way leaves the colours as they were.
  ccColor wireframe = wireframeDefault_, synthetic = syntheticDefault_,
          background = syntheticBackground_;
  ar || wireframe || synthetic || background;
  if (ar.isLoading()) {
    mutating();
    wireframeDefault_ = wireframe;
    syntheticDefault_ = synthetic;
    syntheticBackground_ = background;
  }
}
