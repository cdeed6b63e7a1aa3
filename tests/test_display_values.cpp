// Display values: colours (RGB packings and brightness order, index/RGB/stock colours and their
// equality, the stock table, graphics-list colour codes, the 4- and 7-byte archive forms), screen
// rectangles, text formats and flag stacks.
#include <core/archive.h>
#include <core/assert.h>
#include <dispc/color.h>
#include <dispc/errors.h>
#include <dispc/flagstack.h>
#include <dispc/uirect.h>
#include <dispc/uistring.h>

#include "assertcounter.h"
#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <thread>
#include <vector>

namespace {

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

// The archive form: kind, index and triple.
Bytes formOf(ccColor c) {
  ccArchive out;
  out || c;
  return out.data();
}

// ---------------------------------------------------------------------------------------
// ccRGB: packings and the order by truncated mean brightness

TEST(RGB, Packings) {
  const struct {
    ccRGB c;
    std::uint32_t rgb, bgr;
    std::uint16_t rgb15, rgb16;
  } rows[] = {
      {ccRGB(1, 2, 3), 0x010203u, 0x030201u, 0x0000, 0x0000},
      {ccRGB(9), 0x090000u, 0x000009u, 0x0400, 0x0800},  // green and blue default to 0
      {ccRGB(255, 0, 0), 0xFF0000u, 0x0000FFu, 0x7C00, 0xF800},
      {ccRGB(0, 255, 0), 0x00FF00u, 0x00FF00u, 0x03E0, 0x07E0},
      {ccRGB(7, 3, 7), 0x070307u, 0x070307u, 0x0000, 0x0000},  // low bits dropped
      {ccRGB(0x08, 0x10, 0x18), 0x081018u, 0x181008u, 0x0443, 0x0883},
      {ccRGB(0x08, 0x04, 0x18), 0x080418u, 0x180408u, 0x0403, 0x0823},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.c.rgb(), r.rgb) << &r - rows;
    EXPECT_EQ(r.c.bgr(), r.bgr) << &r - rows;
    EXPECT_EQ(r.c.rgb15(), r.rgb15) << &r - rows;
    EXPECT_EQ(r.c.rgb16(), r.rgb16) << &r - rows;
  }
}

TEST(RGB, OrderIsByTruncatedMeanBrightness) {
  // (10, 20, 30) and (20, 20, 21) both have mean 20.
  EXPECT_FALSE(ccRGB(10, 20, 30) < ccRGB(20, 20, 21));
  EXPECT_FALSE(ccRGB(10, 20, 30) > ccRGB(20, 20, 21));
  EXPECT_TRUE(ccRGB(0, 0, 3) > ccRGB(0, 0, 2));
  // Channels are summed without 8-bit overflow.
  EXPECT_TRUE(ccRGB(254, 255, 255) < ccRGB(255, 255, 255));
  EXPECT_TRUE(ccRGB(0, 0, 255) > ccRGB(84, 84, 84));
  EXPECT_FALSE(ccRGB(0, 0, 255) < ccRGB(85, 85, 85));
}

// ---------------------------------------------------------------------------------------
// ccColor kinds: index (4), RGB (2), stock (7); the packings of a colour without RGB value
// throw NotRGBColor, the index of one without index NotIndexColor.

TEST(Color, KindsEqualityAndTheErrorsOfMissingValues) {
  for (const ccColor& c : {ccColor(), ccColor(200)}) {
    EXPECT_EQ(c.kind(), 4);
    EXPECT_EQ(c.rgbStruct(), ccRGB());
    EXPECT_THROW(c.rgb(), ccUIError::NotRGBColor);
    EXPECT_THROW(c.bgr(), ccUIError::NotRGBColor);
    EXPECT_THROW(c.rgb15(), ccUIError::NotRGBColor);
    EXPECT_THROW(c.rgb16(), ccUIError::NotRGBColor);
  }
  const ccColor c(1, 2, 3);
  EXPECT_EQ(c.kind(), 2);
  EXPECT_EQ(c.bgr(), 0x030201u);
  EXPECT_THROW(c.index(), ccUIError::NotIndexColor);
  EXPECT_EQ(ccColor::redColor().rgb16(), 0xF800);
  // Equal: index by index, RGB by triple, never an index with an RGB colour.
  EXPECT_TRUE(ccColor(7) != ccColor(8));
  EXPECT_FALSE(ccColor(1, 2, 3) == ccColor(3, 2, 1));
  EXPECT_FALSE(ccColor(0) == ccColor(0, 0, 0));  // index 0 is not RGB black
  EXPECT_FALSE(ccColor(0, 0, 0) == ccColor(0));
}

// ---------------------------------------------------------------------------------------
// Stock colours: each has its index, triple and graphics-list code, is one object, equals its
// index and its triple and no other stock colour.

TEST(StockColor, EveryStockColour) {
  AssertCounter asserts;
  for (const Stock& s : kStock) {
    SCOPED_TRACE(s.name);
    const ccColor& c = s.get();
    EXPECT_EQ(c.kind(), 7);
    EXPECT_EQ(c.index(), s.index);
    EXPECT_EQ(c.rgbStruct(), ccRGB(s.r, s.g, s.b));
    EXPECT_EQ(&s.get(), &s.get());
    EXPECT_TRUE(c == ccColor(s.index) && ccColor(s.index) == c);
    EXPECT_TRUE(c == ccColor(s.r, s.g, s.b) && ccColor(s.r, s.g, s.b) == c);
    for (const Stock& other : kStock) {
      if (&other != &s) {
        EXPECT_FALSE(c == other.get()) << other.name;
      }
    }
    EXPECT_EQ(cfColor(c), s.code);
    EXPECT_EQ(formOf(cfColor(s.code)), formOf(c));
  }
  EXPECT_EQ(ccColor::passIndex(), 243);
  EXPECT_EQ(asserts.reports(), 0);
}

// ---------------------------------------------------------------------------------------
// Graphics-list colour codes: an RGB colour is its channels then 128 (the low bits beside 128
// ignored on reading).

// A bad code gives black, an index-only colour the code of its black triple; each reports once.
// Stock colours read from an archive can carry any index and triple: the code comes from the
// first stock colour (black first) that compares equal, or is 0 with a report.
TEST(ColorCode, RgbCodesRoundTripAndOtherCodesReportOnce) {
  const struct {
    ccRGB t;
    cgr_color code;
  } rows[] = {{{1, 2, 3}, 0x01020380u}, {{0, 0, 0}, 0x80u}, {{255, 0, 0}, 0xFF000080u}};
  for (const auto& r : rows) {
    AssertCounter asserts;
    EXPECT_EQ(cfColor(ccColor(r.t)), r.code);
    const ccColor back = cfColor(r.code | 0x7Fu);
    EXPECT_EQ(back.kind(), 2);
    EXPECT_EQ(back.rgbStruct(), r.t);
    EXPECT_EQ(asserts.reports(), 0);
  }
  for (cgr_color code : {16u, 127u, 0x100u, 0xFFFFFF7Fu}) {
    AssertCounter asserts;
    EXPECT_EQ(formOf(cfColor(code)), formOf(ccColor::blackColor()));
    EXPECT_EQ(asserts.reports(), 1) << code;
  }
  for (unsigned char index : {5, 249}) {
    AssertCounter asserts;
    EXPECT_EQ(cfColor(ccColor(index)), 0x80u);
    EXPECT_EQ(asserts.reports(), 1) << int(index);
  }
  const struct {
    unsigned char index, r, g, b;
    cgr_color code;
    int reports;
  } kLoaded[] = {{249, 255, 255, 255, 4, 0},  // index of red, triple of white: white first
                 {243, 0, 255, 255, 11, 0},   // index of pass, triple of cyan: cyan
                 {5, 1, 1, 1, 0, 1}};         // no stock colour
  for (const auto& l : kLoaded) {
    ccArchive in(Bytes{0x00, 0x07, l.index, 0x00, l.r, l.g, l.b});
    ccColor c;
    in || c;
    EXPECT_TRUE(c.isStockColor());
    AssertCounter asserts;
    EXPECT_EQ(cfColor(c), l.code);
    EXPECT_EQ(asserts.reports(), l.reports);
  }
}

// ---------------------------------------------------------------------------------------
// Archive forms: ccRGB is a version byte and the triple; ccColor a version byte, the kind,
// the index, a pad byte and the triple's channels.

TEST(ColorArchive, ExactFormsRoundTripsAndBadRecords) {
  expectArchiveForm(ccRGB(250, 125, 50), {0x00, 0xFA, 0x7D, 0x32}, "dispc/color");
  expectArchiveForm(ccColor::orangeColor(), {0x00, 0x07, 0xF5, 0x00, 0xFA, 0x7D, 0x32},
                    "dispc/color", ccColor::redColor());
  expectArchiveForm(ccColor(9), {0x00, 0x04, 0x09, 0x00, 0x00, 0x00, 0x00}, "dispc/color");
  expectArchiveForm(ccColor(1, 2, 3), {0x00, 0x02, 0x00, 0x00, 0x01, 0x02, 0x03}, "dispc/color",
                    ccColor::magentaColor());
  // Nothing after an unknown version byte is read; a bad version of the nested triple also
  // leaves the colour.
  ccArchive in(Bytes{0xFF, 0x02, 0x00, 0x00, 0x01, 0x02, 0x03});
  ccColor c(42);
  EXPECT_THROW(in || c, ccArchive::UnknownVersion);
  EXPECT_EQ(in.position(), 1u);
  ccArchive nested(Bytes{0x00, 0x02, 0x00, 0x01, 0x01, 0x02, 0x03});
  EXPECT_THROW(nested || c, ccArchive::UnknownVersion);
  EXPECT_EQ(formOf(c), formOf(ccColor(42)));
}

// ---------------------------------------------------------------------------------------
// Screen rectangles

ccUIRect rect(long x, long y, long w, long h) { return ccUIRect(x, y, w, h); }

// Non-positive sizes normalise to null (the constructor and the size setter), offsets do not
// (a null rectangle moves: still null, no longer equal to null); the corner setter keeps the
// size and leaves null alone; the right and bottom edges and corners are exclusive.
TEST(UIRect, NormalisingOffsetsCornersAndExclusiveEdges) {
  EXPECT_EQ(rect(5, 5, 0, 10), ccUIRect::null);
  EXPECT_EQ(rect(5, 5, 10, -1), ccUIRect::null);
  ccUIRect r = rect(1, 2, 3, 4);
  r.sz(ccPair<long>(7, 0));
  EXPECT_EQ(r, ccUIRect::null);
  EXPECT_EQ(ccUIRect::inf, rect(-1073741823, -1073741823, 2147483647, 2147483647));
  r = rect(1, 2, 3, 4) + ccPair<long>(10, -20);
  EXPECT_EQ(r, rect(11, -18, 3, 4));
  r -= ccPair<long>(11, -18);
  EXPECT_EQ(r, rect(0, 0, 3, 4));
  const ccUIRect moved = ccUIRect::null + ccPair<long>(1, 1);
  EXPECT_TRUE(moved.isNull());
  EXPECT_NE(moved, ccUIRect::null);
  r.ul(ccPair<long>(-7, 8));
  EXPECT_EQ(r, rect(-7, 8, 3, 4));
  ccUIRect n;
  n.ul(ccPair<long>(3, 3));
  EXPECT_EQ(n, ccUIRect::null);

  const ccUIRect box = rect(2, 3, 10, 20);
  EXPECT_EQ(box.lr(), ccPair<long>(12, 23));
  EXPECT_EQ(box.ur(), ccPair<long>(12, 3));
  EXPECT_FALSE(box.within(ccPair<long>(12, 5)));
  EXPECT_TRUE(box.within(ccPair<long>(11, 22)));
  EXPECT_TRUE(box.within(rect(4, 5, 8, 18)));
  EXPECT_FALSE(box.within(rect(4, 5, 9, 18)));
}

// Pixel edges clamped to the ends of the long range (huge mapped coordinates) must not
// overflow: the size saturates and the far edge still fits.
TEST(UIRect, EdgesAtTheEndsOfTheLongRangeSaturateTheSize) {
  constexpr long kMin = std::numeric_limits<long>::min(), kMax = std::numeric_limits<long>::max();
  const ccUIRect wide = ccUIRect::fromEdges(kMin, -6, 4, kMax);
  EXPECT_EQ(wide.width(), kMax);
  EXPECT_EQ(wide.right(), -1);
  EXPECT_EQ(wide.height(), kMax);
  EXPECT_EQ(ccUIRect::fromEdges(0, 0, kMax, 1).width(), kMax);
  EXPECT_EQ(ccUIRect::fromEdges(kMax, 0, kMin, 1), ccUIRect());
}

TEST(UIRect, IntersectionAndUnion) {
  const ccUIRect a = rect(0, 0, 10, 10);
  EXPECT_TRUE((a & rect(10, 0, 5, 5)).isNull());
  EXPECT_TRUE(a.nullIntersection(rect(10, 0, 5, 5)));
  EXPECT_TRUE(a.nullIntersection(rect(-5, 0, 5, 5)));  // touching on either side
  EXPECT_FALSE(a.nullIntersection(rect(9, 9, 5, 5)));
  EXPECT_EQ(a & rect(9, 9, 5, 5), rect(9, 9, 1, 1));
  EXPECT_EQ(a & rect(-5, 2, 8, 3), rect(0, 2, 3, 3));
  EXPECT_TRUE(a.nullIntersection(ccUIRect::null));

  EXPECT_EQ(a | ccUIRect::null, a);
  EXPECT_EQ(ccUIRect::null | a, a);
  EXPECT_EQ(a | rect(20, -5, 1, 1), rect(0, -5, 21, 15));
  ccUIRect c = ccUIRect::null;
  c &= a;
  EXPECT_TRUE(c.isNull());
}

TEST(UIRect, ArchiveFormAndVersions) {
  // version, then two pairs of (version, long x, long y); these longs take a byte each.
  expectArchiveForm(rect(-3, 4, 5, 6), {0, 0, 0x05, 0x08, 0, 0x0A, 0x0C}, "dispc/uirect",
                    rect(1, 1, 1, 1));
  // Loading does not normalise: width 0.
  ccArchive in(Bytes{0, 0, 0x05, 0x08, 0, 0, 0x0C});
  ccUIRect denorm;
  in || denorm;
  EXPECT_EQ(denorm.left(), -3);
  EXPECT_EQ(denorm.width(), 0);
}

TEST(UIFormat, AlignRectShiftsByTruncatedHalves) {
  // Anchor (100, 50), size 11 x 7: the centre column moves by 5, the right by 11; the middle
  // row by 3, the bottom by 7.
  const ccUIRect text(100, 50, 11, 7);
  const long x[3] = {100, 95, 89}, y[3] = {50, 47, 43};
  for (int a = 0; a < 9; ++a)
    EXPECT_EQ(ccUIFormat(0, static_cast<ccUIFormat::Alignment>(a)).alignRect(text),
              rect(x[a % 3], y[a / 3], 11, 7));
  EXPECT_EQ(ccUIFormat(0, ccUIFormat::eBottomRight).alignRect(rect(0, 0, 1, 1)),
            rect(-1, -1, 1, 1));
}

TEST(UIFormat, DefaultFontIdIsProcessWide) {
  EXPECT_EQ(ccUIFormat(ccUIFormat::eCenter).fontId(), -1);
  ccUIFormat::defaultFontId(7);
  EXPECT_EQ(ccUIFormat(ccUIFormat::eCenter).fontId(), 7);
  EXPECT_EQ(ccUIFormat(3, ccUIFormat::eCenter).fontId(), 3);
  ccUIFormat::defaultFontId(-1);
}

TEST(UIFormat, FirstUseFromManyThreadsSeesOneValue) {
  // In a fresh process, where the default font id is not built yet: eight threads released
  // together make the first use. A second object built in a race would be lost (a leak that
  // the sanitizer build reports as a failed exit).
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_EXIT(
      {
        std::atomic<bool> go{false};
        std::vector<long> seen(8, 0);
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
          threads.emplace_back([&, i] {
            while (!go.load()) {
            }
            seen[i] = ccUIFormat::defaultFontId();
          });
        go = true;
        for (auto& t : threads) t.join();
        for (long v : seen)
          if (v != -1) std::_Exit(1);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(UIFormat, ArchiveFormAndVersions) {
  // version, font id -5 (a long, zig-zag 9) and alignment 6 (an unsigned long)
  const ccUIFormat f(-5, ccUIFormat::eBottomLeft);
  expectArchiveForm(f, {0, 9, 6}, "dispc/uistring");
  ccArchive bad(Bytes{0, 9, 9});  // no such alignment
  ccUIFormat back = f;
  EXPECT_THROW(bad || back, ccArchive::BadData);
  EXPECT_EQ(back, f);
}

TEST(FlagStack, PushPopIndexingAndLimits) {
  ccFlagStack s(false);
  s.push(true);
  s.push(false);
  EXPECT_TRUE(s[1]);
  EXPECT_FALSE(s[2]);
  EXPECT_THROW(s[s.depth()], ccUIError::FlagStackOutOfRange);
  s = true;  // replaces the top
  EXPECT_EQ(s.depth(), 3);
  EXPECT_TRUE(s[0]);
  EXPECT_TRUE(s.pop());
  for (int i = 0; i < 30; ++i) s.push(false);
  EXPECT_FALSE(s);
  EXPECT_TRUE(s[30]);
  EXPECT_FALSE(s[31]);
  EXPECT_THROW(s.push(true), ccUIError::FlagStackOverflow);
  EXPECT_EQ(s.depth(), 32);
  while (s.depth() > 2) EXPECT_FALSE(s.pop());
  EXPECT_TRUE(s.pop());
  EXPECT_FALSE(s);
  EXPECT_THROW(s.pop(), ccUIError::FlagStackUnderflow);
  EXPECT_EQ(s.depth(), 1);
}

}  // namespace
