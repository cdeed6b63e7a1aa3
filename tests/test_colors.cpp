// Colours: RGB packings and brightness order, index/RGB/stock colours and their equality,
// the stock table, graphics-list colour codes, and the 4- and 7-byte archive forms.
#include <core/archive.h>
#include <core/assert.h>
#include <dispc/color.h>
#include <dispc/errors.h>

#include "assertcounter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct Stock {
  const char* name;
  const ccColor& (*get)();
  unsigned char index, r, g, b;
  cgr_color code;
};

// The stock colours in graphics-list code order.
const Stock kStock[] = {
    {"black", &ccColor::blackColor, 0, 0, 0, 0, 0},
    {"dkGrey", &ccColor::dkGreyColor, 248, 128, 128, 128, 1},
    {"grey", &ccColor::greyColor, 247, 160, 160, 164, 2},
    {"ltGrey", &ccColor::ltGreyColor, 7, 192, 192, 192, 3},
    {"white", &ccColor::whiteColor, 255, 255, 255, 255, 4},
    {"red", &ccColor::redColor, 249, 255, 0, 0, 5},
    {"dkRed", &ccColor::dkRedColor, 1, 128, 0, 0, 6},
    {"orange", &ccColor::orangeColor, 245, 250, 125, 50, 7},
    {"yellow", &ccColor::yellowColor, 251, 255, 255, 0, 8},
    {"green", &ccColor::greenColor, 250, 0, 255, 0, 9},
    {"dkGreen", &ccColor::dkGreenColor, 2, 0, 128, 0, 10},
    {"cyan", &ccColor::cyanColor, 254, 0, 255, 255, 11},
    {"blue", &ccColor::blueColor, 252, 0, 0, 255, 12},
    {"purple", &ccColor::purpleColor, 244, 160, 20, 200, 13},
    {"magenta", &ccColor::magentaColor, 253, 255, 0, 255, 14},
    {"pass", &ccColor::passColor, 243, 243, 243, 243, 15},
};

template <class T>
Bytes store(T v) {
  ccArchive ar;
  ar || v;
  return ar.data();
}

void expectSameColor(const ccColor& a, const ccColor& b) {
  EXPECT_EQ(a.kind(), b.kind());
  EXPECT_EQ(a.isStockColor(), b.isStockColor());
  EXPECT_EQ(a.isRGBColor(), b.isRGBColor());
  EXPECT_EQ(a.isIndexColor(), b.isIndexColor());
  EXPECT_EQ(a.rgbStruct(), b.rgbStruct());
  if (a.isIndexColor() && b.isIndexColor()) {
    EXPECT_EQ(a.index(), b.index());
  }
}

// ---------------------------------------------------------------------------------------
// ccRGB

TEST(RGB, RgbPacksRedHighBlueLow) {
  EXPECT_EQ(ccRGB(1, 2, 3).rgb(), 0x010203u);
  EXPECT_EQ(ccRGB().rgb(), 0u);
  EXPECT_EQ(ccRGB(9).rgb(), 0x090000u);  // green and blue default to 0
  EXPECT_EQ(ccRGB(255, 255, 255).rgb(), 0xFFFFFFu);
  EXPECT_EQ(ccRGB(0xFA, 0x7D, 0x32).rgb(), 0xFA7D32u);
  EXPECT_EQ(ccRGB(0x80, 0, 0).rgb(), 0x800000u);
}

TEST(RGB, BgrPacksBlueHighRedLow) {
  EXPECT_EQ(ccRGB(1, 2, 3).bgr(), 0x030201u);
  EXPECT_EQ(ccRGB(0xFF, 0, 0).bgr(), 0x0000FFu);
  EXPECT_EQ(ccRGB(0, 0, 0x80).bgr(), 0x800000u);
}

TEST(RGB, Rgb15Packs555) {
  EXPECT_EQ(ccRGB(255, 255, 255).rgb15(), 0x7FFF);
  EXPECT_EQ(ccRGB(255, 0, 0).rgb15(), 0x7C00);
  EXPECT_EQ(ccRGB(0, 255, 0).rgb15(), 0x03E0);
  EXPECT_EQ(ccRGB(0, 0, 255).rgb15(), 0x001F);
  EXPECT_EQ(ccRGB(7, 7, 7).rgb15(), 0x0000);  // the low three bits are dropped
  EXPECT_EQ(ccRGB(0x08, 0x10, 0x18).rgb15(), 0x0443);
}

TEST(RGB, Rgb16Packs565) {
  EXPECT_EQ(ccRGB(255, 0, 0).rgb16(), 0xF800);
  EXPECT_EQ(ccRGB(0, 255, 0).rgb16(), 0x07E0);
  EXPECT_EQ(ccRGB(0, 0, 255).rgb16(), 0x001F);
  EXPECT_EQ(ccRGB(255, 255, 255).rgb16(), 0xFFFF);
  EXPECT_EQ(ccRGB(7, 3, 7).rgb16(), 0x0000);
  EXPECT_EQ(ccRGB(0x08, 0x04, 0x18).rgb16(), 0x0823);
}

TEST(RGB, EqualityComparesAllChannels) {
  EXPECT_TRUE(ccRGB(1, 2, 3) == ccRGB(1, 2, 3));
  EXPECT_FALSE(ccRGB(1, 2, 3) == ccRGB(0, 2, 3));
  EXPECT_FALSE(ccRGB(1, 2, 3) == ccRGB(1, 0, 3));
  EXPECT_FALSE(ccRGB(1, 2, 3) == ccRGB(1, 2, 0));
}

TEST(RGB, OrderIsByTruncatedMeanBrightness) {
  // (10, 20, 30) and (20, 20, 21) both have mean 20.
  EXPECT_FALSE(ccRGB(10, 20, 30) < ccRGB(20, 20, 21));
  EXPECT_FALSE(ccRGB(10, 20, 30) > ccRGB(20, 20, 21));
  // Truncation: means 0 and 0.
  EXPECT_FALSE(ccRGB(0, 0, 2) > ccRGB(0, 0, 0));
  EXPECT_TRUE(ccRGB(0, 0, 3) > ccRGB(0, 0, 2));
  EXPECT_TRUE(ccRGB(0, 0, 2) < ccRGB(0, 0, 3));
  // Channels are summed without 8-bit overflow.
  EXPECT_TRUE(ccRGB(255, 255, 255) > ccRGB(1, 1, 1));
  EXPECT_TRUE(ccRGB(254, 255, 255) < ccRGB(255, 255, 255));
  EXPECT_TRUE(ccRGB(0, 0, 255) > ccRGB(84, 84, 84));
  EXPECT_FALSE(ccRGB(0, 0, 255) > ccRGB(85, 85, 85));
  EXPECT_FALSE(ccRGB(0, 0, 255) < ccRGB(85, 85, 85));
}

// ---------------------------------------------------------------------------------------
// ccColor kinds and accessors

TEST(Color, DefaultIsIndexColorZero) {
  const ccColor c;
  EXPECT_TRUE(c.isIndexColor());
  EXPECT_FALSE(c.isRGBColor());
  EXPECT_FALSE(c.isStockColor());
  EXPECT_EQ(c.kind(), 4);
  EXPECT_EQ(c.index(), 0);
  EXPECT_EQ(c.rgbStruct(), ccRGB(0, 0, 0));
  EXPECT_THROW(c.rgb(), ccUIError::NotRGBColor);
  EXPECT_THROW(c.bgr(), ccUIError::NotRGBColor);
  EXPECT_THROW(c.rgb15(), ccUIError::NotRGBColor);
  EXPECT_THROW(c.rgb16(), ccUIError::NotRGBColor);
}

TEST(Color, IndexConstructorMakesIndexColor) {
  const ccColor c(200);
  EXPECT_EQ(c.kind(), 4);
  EXPECT_EQ(c.index(), 200);
  EXPECT_EQ(c.rgbStruct(), ccRGB());
  try {
    (void)c.rgb();
    ADD_FAILURE() << "rgb() of an index colour";
  } catch (const ccUIError::NotRGBColor& e) {
    EXPECT_EQ(e.errorNumber(), 0x10002B14u);
  }
}

TEST(Color, RgbConstructorsMakeRgbColor) {
  const ccColor a(ccRGB(1, 2, 3));
  const ccColor b(1, 2, 3);
  for (const ccColor& c : {a, b}) {
    EXPECT_EQ(c.kind(), 2);
    EXPECT_TRUE(c.isRGBColor());
    EXPECT_FALSE(c.isIndexColor());
    EXPECT_FALSE(c.isStockColor());
    EXPECT_EQ(c.rgbStruct(), ccRGB(1, 2, 3));
    EXPECT_EQ(c.rgb(), 0x010203u);
    EXPECT_EQ(c.bgr(), 0x030201u);
    EXPECT_EQ(c.rgb15(), ccRGB(1, 2, 3).rgb15());
    EXPECT_EQ(c.rgb16(), ccRGB(1, 2, 3).rgb16());
    try {
      (void)c.index();
      ADD_FAILURE() << "index() of an RGB colour";
    } catch (const ccUIError::NotIndexColor& e) {
      EXPECT_EQ(e.errorNumber(), 0x10002B15u);
    }
  }
}

TEST(Color, PackingsOfAStockColour) {
  EXPECT_EQ(ccColor::orangeColor().bgr(), 0x327DFAu);
  EXPECT_EQ(ccColor::redColor().rgb16(), 0xF800);
  EXPECT_EQ(ccColor::whiteColor().rgb15(), 0x7FFF);
}

// ---------------------------------------------------------------------------------------
// Stock colours

TEST(StockColor, EveryStockColourHasItsIndexAndTriple) {
  for (const Stock& s : kStock) {
    SCOPED_TRACE(s.name);
    const ccColor& c = s.get();
    EXPECT_EQ(c.kind(), 7);
    EXPECT_TRUE(c.isStockColor());
    EXPECT_TRUE(c.isRGBColor());
    EXPECT_TRUE(c.isIndexColor());
    EXPECT_EQ(c.index(), s.index);
    EXPECT_EQ(c.rgbStruct(), ccRGB(s.r, s.g, s.b));
    EXPECT_EQ(c.rgb(), (std::uint32_t(s.r) << 16) | (std::uint32_t(s.g) << 8) | s.b);
    EXPECT_EQ(&s.get(), &s.get());  // one object
  }
  EXPECT_EQ(ccColor::passIndex(), 243);
}

TEST(StockColor, StockColoursAreDistinct) {
  for (const Stock& a : kStock)
    for (const Stock& b : kStock)
      if (&a != &b) {
        EXPECT_FALSE(a.get() == b.get()) << a.name << " vs " << b.name;
      }
}

// ---------------------------------------------------------------------------------------
// Equality

TEST(ColorEquality, IndexColoursCompareByIndex) {
  EXPECT_TRUE(ccColor(7) == ccColor(7));
  EXPECT_TRUE(ccColor(7) != ccColor(8));
  EXPECT_TRUE(ccColor() == ccColor(0));
}

TEST(ColorEquality, RgbColoursCompareByTriple) {
  EXPECT_TRUE(ccColor(1, 2, 3) == ccColor(ccRGB(1, 2, 3)));
  EXPECT_FALSE(ccColor(1, 2, 3) == ccColor(1, 2, 4));
  EXPECT_FALSE(ccColor(1, 2, 3) == ccColor(3, 2, 1));
}

TEST(ColorEquality, StockEqualsItsIndexAndItsTriple) {
  for (const Stock& s : kStock) {
    SCOPED_TRACE(s.name);
    EXPECT_TRUE(s.get() == ccColor(s.index));
    EXPECT_TRUE(ccColor(s.index) == s.get());
    EXPECT_TRUE(s.get() == ccColor(s.r, s.g, s.b));
    EXPECT_TRUE(ccColor(s.r, s.g, s.b) == s.get());
    EXPECT_TRUE(s.get() == s.get());
  }
}

TEST(ColorEquality, IndexNeverEqualsRgb) {
  EXPECT_FALSE(ccColor(247) == ccColor(ccRGB(160, 160, 164)));
  EXPECT_FALSE(ccColor(0) == ccColor(0, 0, 0));  // index 0 is not RGB black
  EXPECT_FALSE(ccColor(0, 0, 0) == ccColor(0));
}

TEST(ColorEquality, StockDiffersFromOtherIndexAndOtherTriple) {
  EXPECT_FALSE(ccColor::redColor() == ccColor(248));
  EXPECT_FALSE(ccColor::redColor() == ccColor(254, 0, 0));
  // Black equals both index 0 and RGB (0, 0, 0), which differ from each other.
  EXPECT_TRUE(ccColor::blackColor() == ccColor(0));
  EXPECT_TRUE(ccColor::blackColor() == ccColor(0, 0, 0));
}

// ---------------------------------------------------------------------------------------
// Graphics-list colour codes

TEST(ColorCode, StockCodesRoundTrip) {
  AssertCounter asserts;
  for (const Stock& s : kStock) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(cfColor(s.get()), s.code);
    const ccColor fromCode = cfColor(s.code);
    EXPECT_TRUE(fromCode.isStockColor());
    expectSameColor(fromCode, s.get());
    EXPECT_TRUE(cfColor(cfColor(s.get())) == s.get());
    EXPECT_EQ(cfColor(cfColor(s.code)), s.code);
  }
  EXPECT_EQ(asserts.reports(), 0);
}

TEST(ColorCode, RgbColourCodeIsChannelsThen128) {
  AssertCounter asserts;
  EXPECT_EQ(cfColor(ccColor(1, 2, 3)), 0x01020380u);
  EXPECT_EQ(cfColor(ccColor(0, 0, 0)), 0x00000080u);
  EXPECT_EQ(cfColor(ccColor(255, 255, 255)), 0xFFFFFF80u);
  // An RGB colour with a stock triple is still an RGB code.
  EXPECT_EQ(cfColor(ccColor(255, 0, 0)), 0xFF000080u);
  EXPECT_EQ(asserts.reports(), 0);
}

TEST(ColorCode, RgbCodesRoundTrip) {
  AssertCounter asserts;
  const ccRGB triples[] = {{1, 2, 3}, {0, 0, 0}, {255, 255, 255}, {128, 64, 32}, {0, 255, 1}};
  for (const ccRGB& t : triples) {
    const cgr_color code = cfColor(ccColor(t));
    const ccColor back = cfColor(code);
    EXPECT_EQ(back.kind(), 2);
    EXPECT_EQ(back.rgbStruct(), t);
    EXPECT_EQ(cfColor(back), code);
  }
  EXPECT_EQ(asserts.reports(), 0);
}

TEST(ColorCode, RgbCodeIgnoresLowBitsBesides128) {
  AssertCounter asserts;
  const ccColor c = cfColor(cgr_color(0x0102037Fu | 0x80u));
  EXPECT_EQ(c.kind(), 2);
  EXPECT_EQ(c.rgbStruct(), ccRGB(1, 2, 3));
  const ccColor black = cfColor(cgr_color(0x80u));
  EXPECT_EQ(black.kind(), 2);
  EXPECT_EQ(black.rgbStruct(), ccRGB(0, 0, 0));
  EXPECT_EQ(asserts.reports(), 0);
}

TEST(ColorCode, BadCodeReportsOnceAndGivesBlack) {
  for (cgr_color code : {16u, 17u, 127u, 0x100u, 0x01020300u, 0xFFFFFF7Fu}) {
    AssertCounter asserts;
    const ccColor c = cfColor(code);
    EXPECT_EQ(asserts.reports(), 1) << code;
    expectSameColor(c, ccColor::blackColor());
  }
}

TEST(ColorCode, IndexOnlyColourReportsOnceAndCodesItsBlackTriple) {
  for (unsigned char index : {5, 0, 249}) {
    AssertCounter asserts;
    EXPECT_EQ(cfColor(ccColor(index)), 0x80u);
    EXPECT_EQ(asserts.reports(), 1) << int(index);
  }
}

// Stock colours read from an archive can carry any index and triple: the code comes from the
// first stock colour (black first) that compares equal.
TEST(ColorCode, LoadedStockColourTakesFirstEqualStockCode) {
  auto loadStock = [](unsigned char index, unsigned char r, unsigned char g, unsigned char b) {
    ccArchive in(Bytes{0x00, 0x07, index, 0x00, r, g, b});
    ccColor c;
    in || c;
    EXPECT_TRUE(c.isStockColor());
    return c;
  };
  AssertCounter asserts;
  // Index of red (249), triple of white: white comes first.
  EXPECT_EQ(cfColor(loadStock(249, 255, 255, 255)), 4u);
  // Index of black, triple of red: black.
  EXPECT_EQ(cfColor(loadStock(0, 255, 0, 0)), 0u);
  // Index of pass, triple of cyan: cyan.
  EXPECT_EQ(cfColor(loadStock(243, 0, 255, 255)), 11u);
  EXPECT_EQ(asserts.reports(), 0);

  // Matches no stock colour: one report, code 0.
  EXPECT_EQ(cfColor(loadStock(5, 1, 1, 1)), 0u);
  EXPECT_EQ(asserts.reports(), 1);
}

// ---------------------------------------------------------------------------------------
// Archive forms

TEST(ColorArchive, RgbIsFourBytes) {
  EXPECT_EQ(store(ccRGB(250, 125, 50)), (Bytes{0x00, 0xFA, 0x7D, 0x32}));
}

TEST(ColorArchive, StockColourIsSevenBytes) {
  EXPECT_EQ(store(ccColor::orangeColor()), (Bytes{0x00, 0x07, 0xF5, 0x00, 0xFA, 0x7D, 0x32}));
}

TEST(ColorArchive, IndexAndRgbColoursAreSevenBytes) {
  EXPECT_EQ(store(ccColor(9)), (Bytes{0x00, 0x04, 0x09, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(store(ccColor(1, 2, 3)), (Bytes{0x00, 0x02, 0x00, 0x00, 0x01, 0x02, 0x03}));
}

TEST(ColorArchive, ShiftOperatorStoresLikeOr) {
  ccArchive out;
  ccColor c = ccColor::cyanColor();
  ccRGB rgb(4, 5, 6);
  out >> c >> rgb;
  EXPECT_EQ(out.data(), (Bytes{0x00, 0x07, 0xFE, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x04, 0x05, 0x06}));
  ccArchive in(out.data());
  ccColor c2;
  ccRGB rgb2;
  in >> c2 >> rgb2;
  expectSameColor(c2, ccColor::cyanColor());
  EXPECT_EQ(rgb2, ccRGB(4, 5, 6));
  EXPECT_TRUE(in.atEnd());
}

TEST(ColorArchive, RoundTripsKeepKindIndexAndTriple) {
  std::vector<ccColor> colors = {ccColor(), ccColor(77), ccColor(10, 20, 30)};
  for (const Stock& s : kStock) colors.push_back(s.get());
  for (const ccColor& original : colors) {
    ccArchive out;
    ccColor c = original;
    out || c;
    EXPECT_EQ(out.data().size(), 7u);
    ccArchive in(out.data());
    ccColor back(123);
    in || back;
    EXPECT_TRUE(in.atEnd());
    expectSameColor(back, original);
    EXPECT_TRUE(back == original);
  }
}

TEST(ColorArchive, UnknownColourVersionNamesDispcColor) {
  for (unsigned char version : {0x01, 0x7F, 0xFF}) {
    ccArchive in(Bytes{version, 0x02, 0x00, 0x00, 0x01, 0x02, 0x03});
    ccColor c = ccColor::redColor();
    try {
      in || c;
      ADD_FAILURE() << "loaded version " << int(version);
    } catch (const ccArchive::UnknownVersion& e) {
      EXPECT_EQ(e.source(), "dispc/color");
      EXPECT_GT(e.line(), 0);
    }
    EXPECT_EQ(in.position(), 1u) << "nothing after the version byte is read";
    expectSameColor(c, ccColor::redColor());
  }
}

TEST(ColorArchive, UnknownRgbVersionNamesDispcColor) {
  {
    ccArchive in(Bytes{0x01, 0x01, 0x02, 0x03});
    ccRGB rgb(9, 9, 9);
    try {
      in || rgb;
      ADD_FAILURE() << "loaded version 1";
    } catch (const ccArchive::UnknownVersion& e) {
      EXPECT_EQ(e.source(), "dispc/color");
      EXPECT_GT(e.line(), 0);
    }
    EXPECT_EQ(in.position(), 1u);
    EXPECT_EQ(rgb, ccRGB(9, 9, 9));
  }
  {
    // The nested triple's own version byte.
    ccArchive in(Bytes{0x00, 0x02, 0x00, 0x01, 0x01, 0x02, 0x03});
    ccColor c(42);
    EXPECT_THROW(in || c, ccArchive::UnknownVersion);
    expectSameColor(c, ccColor(42));
  }
}

TEST(ColorArchive, TruncatedColourIsEndOfDataAndLeavesTheColour) {
  const Bytes full = store(ccColor(1, 2, 3));
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    ccArchive in(Bytes(full.begin(), full.begin() + cut));
    ccColor c = ccColor::magentaColor();
    EXPECT_THROW(in || c, ccArchive::EndOfData) << "cut " << cut;
    expectSameColor(c, ccColor::magentaColor());
  }
}

TEST(ColorArchive, TruncatedRgbIsEndOfData) {
  const Bytes full = store(ccRGB(1, 2, 3));
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    ccArchive in(Bytes(full.begin(), full.begin() + cut));
    ccRGB rgb;
    EXPECT_THROW(in || rgb, ccArchive::EndOfData) << "cut " << cut;
  }
}

}  // namespace
