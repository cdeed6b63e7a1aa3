// Images at 1:1 with pass-through, icons, run-length images, area slots (setRect, setAll,
// floodFill). Golden comparisons are exact (tolerance 0).
#include "../scenes.h"
#include "golden.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

const ccPackedRGB32Pel kWhite = opaque(ccColor::whiteColor());

ccPackedRGB32Pel grey(unsigned char g) { return ccPackedRGB32Pel(g, g, g, 255); }

using scenes::ramp;

struct CairoImages : ::testing::Test {
  CairoImages() : s(120, 80) {
    s.antialias(false);
    s.setAll(ccColor::whiteColor());
    s.noChange();
  }
  ccCairoImageScope s;
};

}  // namespace

TEST_F(CairoImages, AllFourPelTypesAt1To1WithPassThrough) {
  // Pel value 0 is the pass value of every image: those pels leave the white background.
  const auto g8 = ramp<unsigned char>(
      20, 20, [](long x, long y) { return static_cast<unsigned char>(x == y ? 0 : 10 * x + 40); });
  s.drawImage(g8, ccPoint(5, 5), true, 0, false);
  EXPECT_EQ(s.pel(5 + 3, 5 + 3), kWhite);
  EXPECT_EQ(s.pel(5 + 3, 5 + 4), grey(70));
  EXPECT_EQ(s.changeRect(), ccUIRect(5, 5, 20, 20));

  const auto g16 = ramp<unsigned short>(
      20, 20, [](long x, long y) { return static_cast<unsigned short>(y == 10 ? 0 : 3000 * x); });
  s.drawImage(g16, ccPoint(30, 5), true, 0);
  EXPECT_EQ(s.pel(30 + 4, 5 + 10), kWhite);
  EXPECT_EQ(s.pel(30 + 4, 5 + 2), grey(static_cast<unsigned char>(12000 >> 8)));

  const auto rgb16 = ramp<ccPackedRGB16Pel>(20, 20, [](long x, long y) {
    return x < 5 ? ccPackedRGB16Pel(0) : ccPackedRGB16Pel(255, (unsigned char)(12 * y), 0);
  });
  s.drawImage(rgb16, ccPoint(55, 5), true, 0);
  EXPECT_EQ(s.pel(55 + 2, 5 + 2), kWhite);
  EXPECT_EQ(s.pel(55 + 10, 5), ccPackedRGB32Pel(255, 0, 0, 255));

  const auto rgb32 = ramp<ccPackedRGB32Pel>(20, 20, [](long x, long y) {
    return (x + y) % 7 == 0 ? ccPackedRGB32Pel(1, 2, 3, 99)
                            : ccPackedRGB32Pel((unsigned char)(12 * x), 0, (unsigned char)(12 * y));
  });
  // The pass value matches colours whatever the unused top byte.
  s.drawImage(rgb32, ccPoint(80, 5), true, 0x010203);
  EXPECT_EQ(s.pel(80, 5), kWhite);
  EXPECT_EQ(s.pel(80 + 1, 5), ccPackedRGB32Pel(12, 0, 0, 255));

  // Without pass-through every pel draws; an image reaching outside is cut.
  s.drawImage(g8, ccPoint(110, 60), false, 0, false);
  EXPECT_EQ(s.pel(110, 60), grey(0));
}

TEST_F(CairoImages, IconsAndRunLengthImages) {
  // A 7 x 7 cross icon: 1 on the arms, 2 in the centre, 0 (passed) elsewhere.
  const auto cross = ramp<unsigned char>(7, 7, [](long x, long y) {
    return static_cast<unsigned char>(x == 3 && y == 3 ? 2 : (x == 3 || y == 3 ? 1 : 0));
  });
  const ccRLEBuffer icon(cross);
  const std::vector<ccColor> colors = {ccColor::blackColor(), ccColor::redColor(),
                                       ccColor::blueColor()};
  s.drawIcon(icon, ccPoint(10, 10), colors, true, 0);
  EXPECT_EQ(s.pel(13, 10), opaque(ccColor::redColor()));
  EXPECT_EQ(s.pel(13, 13), opaque(ccColor::blueColor()));
  EXPECT_EQ(s.pel(10, 10), kWhite);
  s.drawIcon(icon, ccPoint(30, 10), colors, false, 0);
  EXPECT_EQ(s.pel(30, 10), opaque(ccColor::blackColor()));

  // Run-length grey image; the colour map inverts the levels; 255 is passed.
  const auto bands = ramp<unsigned char>(30, 20, [](long x, long) {
    return static_cast<unsigned char>(x < 10 ? 0 : x < 20 ? 100 : 255);
  });
  std::vector<unsigned char> invert(256);
  for (int i = 0; i < 256; ++i) invert[i] = static_cast<unsigned char>(255 - i);
  s.drawRLEImage(ccRLEBuffer(bands), ccPoint(50, 10), invert, true, 255, false);
  EXPECT_EQ(s.pel(50, 10), grey(255));
  EXPECT_EQ(s.pel(65, 10), grey(155));
  s.setRect(ccUIRect(50, 40, 30, 20), ccColor::greenColor());
  s.drawRLEImage(ccRLEBuffer(bands), ccPoint(50, 40), {}, true, 255, false);
  EXPECT_EQ(s.pel(75, 45), opaque(ccColor::greenColor()));
  EXPECT_EQ(s.pel(65, 45), grey(100));
  EXPECT_TRUE(matchesGolden(s, "icons"));
}

TEST_F(CairoImages, RunLengthImagesCutByTheSurfaceShowTheirOwnPels) {
  // A window of a larger image (its pels keep their image coordinates) across two corners.
  const auto whole = ramp<unsigned char>(
      50, 40, [](long x, long y) { return static_cast<unsigned char>((7 * x + 3 * y) % 251); });
  const ccRLEBuffer image = ccRLEBuffer(whole).subWindow(10, 5, 30, 25);
  const ccPair<long> corners[] = {{-7, -5}, {100, 62}};
  for (const auto& c : corners)
    s.drawRLEImage(image, ccPoint(c.first, c.second), {}, false, 0, false);
  for (long y = 0; y < 80; ++y) {
    for (long x = 0; x < 120; ++x) {
      ccPackedRGB32Pel expected = kWhite;
      for (const auto& c : corners)
        if (x >= c.first && x < c.first + 30 && y >= c.second && y < c.second + 25)
          expected = grey(whole.get(10 + x - c.first, 5 + y - c.second));
      ASSERT_EQ(s.pel(x, y), expected) << x << ", " << y;
    }
  }
}

TEST_F(CairoImages, SetRectSetAllAndFloodFill) {
  s.setAll(ccColor::ltGreyColor());
  EXPECT_TRUE(s.opaque());
  EXPECT_TRUE(s.allChanged());
  s.setRect(ccUIRect(10, 10, 40, 30), ccColor::yellowColor());
  EXPECT_EQ(s.pel(10, 10), opaque(ccColor::yellowColor()));
  EXPECT_EQ(s.pel(50, 10), opaque(ccColor::ltGreyColor()));

  // A closed outline, filled from inside up to its border colour.
  s.drawPolygon(
      {ccVector<2>(60, 10), ccVector<2>(110, 15), ccVector<2>(100, 70), ccVector<2>(65, 60)},
      ccPolygon::eNoFill, ccGraphicProps(ccColor::blueColor(), 1));
  s.noChange();
  s.floodFill(ccPair<long>(80, 40), ccColor::redColor(), ccColor::blueColor(), true);
  EXPECT_EQ(s.pel(80, 40), opaque(ccColor::redColor()));
  EXPECT_EQ(s.pel(80, 8), opaque(ccColor::ltGreyColor()));
  EXPECT_TRUE(ccUIRect(60, 10, 51, 61).within(s.changeRect()));

  // Surface fill: the yellow region (value of the seed) becomes green, nothing else.
  s.floodFill(ccPair<long>(20, 20), ccColor::greenColor(), ccColor(), false);
  EXPECT_EQ(s.pel(49, 39), opaque(ccColor::greenColor()));
  EXPECT_EQ(s.pel(50, 39), opaque(ccColor::ltGreyColor()));
}

TEST_F(CairoImages, ReducedAndEnlargedImages) {
  // 8 x 8 checker of 2 x 2 cells with values 40 and 200; pel (7, 7) is the pass value 0.
  const auto checker = ramp<unsigned char>(8, 8, [](long x, long y) {
    return static_cast<unsigned char>(x == 7 && y == 7 ? 0 : ((x / 2 + y / 2) % 2 ? 200 : 40));
  });
  s.expand(checker, ccPoint(2, 2), ccPair<long>(3, 3), true, 0, false, ccUIScope::eNoInterpolation);
  EXPECT_EQ(s.pel(2, 2), grey(40));
  EXPECT_EQ(s.pel(2 + 5, 2), grey(40));
  EXPECT_EQ(s.pel(2 + 6, 2), grey(200));
  EXPECT_EQ(s.pel(2 + 23, 2 + 23), kWhite);  // the passed pel, enlarged
  EXPECT_EQ(s.changeRect(), ccUIRect(2, 2, 24, 24));

  // Smoothing gives in-between values; a reduction takes every other pel.
  s.expandImage(checker, ccPoint(30, 2), ccPair<double>(3, 3), false, 0, false,
                ccUIScope::eBilinearInterpolation);
  long between = 0;
  for (long x = 30; x < 54; ++x) between += s.pel(x, 12).r() > 40 && s.pel(x, 12).r() < 200;
  EXPECT_GT(between, 3);
  s.sample(checker, ccPoint(60, 2), ccPair<long>(2, 2), false, 0, false);
  EXPECT_EQ(s.pel(60, 2), grey(40));
  EXPECT_EQ(s.pel(61, 2), grey(200));
  EXPECT_EQ(s.pel(64, 2), kWhite);

  // Different scales per direction, other pel types, and an image cut by the scope's edge.
  const auto rgb = ramp<ccPackedRGB32Pel>(4, 4, [](long x, long y) {
    return ccPackedRGB32Pel((unsigned char)(60 * x), (unsigned char)(60 * y), 128);
  });
  s.expandImage(rgb, ccPoint(70, 2), ccPair<double>(2, 4), false, 0, ccUIScope::eNoInterpolation);
  EXPECT_EQ(s.pel(70 + 3, 2 + 15), ccPackedRGB32Pel(60, 180, 128, 255));
  EXPECT_EQ(s.pel(70 + 8, 2), kWhite);
  const auto g16 = ramp<unsigned short>(
      10, 10, [](long x, long y) { return static_cast<unsigned short>(2000 * (x + y)); });
  s.expand(g16, ccPoint(100, 60), ccPair<long>(4, 4), false, 0);
  EXPECT_EQ(s.pel(119, 79), grey(static_cast<unsigned char>((2000 * 8) >> 8)));  // pel (4, 4)
  const auto rgb16 = ramp<ccPackedRGB16Pel>(
      6, 6, [](long x, long) { return ccPackedRGB16Pel(x % 2 ? 255 : 0, 0, 255); });
  s.sampleImage(rgb16, ccPoint(10, 40), ccPair<double>(0.5, 0.5), false, 0);
  EXPECT_EQ(s.pel(10, 40), ccPackedRGB32Pel(0, 0, 255, 255));
}
