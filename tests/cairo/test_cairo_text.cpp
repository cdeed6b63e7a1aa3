// Text: textRect and drawText agree for every alignment, the font table, and a golden image
// compared loosely (glyph shapes vary between font versions): a pixel differs when a channel
// is off by more than 64, and up to 3% of the pixels may differ.
#include "golden.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(CairoText, DrawnInkLiesInTheTextRectForEveryAlignment) {
  for (int a = 0; a <= 8; ++a) {
    ccCairoImageScope s(200, 100);
    s.antialias(false);
    const ccUIFormat format(-1, static_cast<ccUIFormat::Alignment>(a));
    const ccPoint at(100, 50);
    const ccUIRect r = s.textRect("Hgjy 42", at, format);
    s.drawText("Hgjy 42", at, ccColor::blackColor(), ccColor::whiteColor(), format);
    const ccUIRect ink = inkBox(s, ccPackedRGB32Pel(0));
    ASSERT_FALSE(ink.isNull()) << a;
    EXPECT_TRUE(r.within(ink)) << "alignment " << a;
    EXPECT_EQ(s.changeRect(), r) << a;
    // The rectangle is the top-left one moved by the alignment.
    const ccUIRect topLeft = s.textRect("Hgjy 42", at, ccUIFormat(-1, ccUIFormat::eTopLeft));
    EXPECT_EQ(r, format.alignRect(topLeft)) << a;
  }
}

TEST(CairoText, FontTableAndLines) {
  ccCairoImageScope s(10, 10);
  auto rect = [&s](const std::string& text, long font = -1) {
    return s.textRect(text, ccPoint(0, 0), ccUIFormat(font, ccUIFormat::eTopLeft));
  };
  const ccUIRect small = rect("abc");
  EXPECT_TRUE(small.width() > 15 && small.height() > 10);
  EXPECT_EQ(rect("abc", 7), small);  // unknown ids use the default face
  s.font(7, ccCairoFont{"DejaVu Sans", 26, true, false});
  EXPECT_GT(rect("abc", 7).height(), small.height() * 3 / 2);
  s.eraseFont(7);
  EXPECT_EQ(rect("abc", 7), small);
  // Monospace: width grows with the characters; two lines are twice as high.
  EXPECT_EQ(rect("abcabc").height(), small.height());
  EXPECT_EQ(rect("abc\nabc").height(), 2 * small.height());
}

TEST(CairoText, GoldenTextWithBackground) {
  ccCairoImageScope s(220, 90);
  s.antialias(false);
  s.setAll(ccColor::whiteColor());
  s.textBackground(true);
  s.drawText("dispc 0.1", ccPoint(10, 10), ccColor::blueColor(), ccColor::yellowColor(),
             ccUIFormat(-1, ccUIFormat::eTopLeft));
  s.font(1, ccCairoFont{"DejaVu Sans", 20, true, false});
  s.drawText("Overlay", ccPoint(210, 80), ccColor::redColor(), ccColor::passColor(),
             ccUIFormat(1, ccUIFormat::eBottomRight));
  EXPECT_TRUE(matchesGolden(s, "text", 64, 220 * 90 * 3 / 100));
}

TEST(CairoText, TextCairoWouldRefuseDrawsOrLeavesTheScopeDrawing) {
  // Cairo refuses ill-formed UTF-8 and then refuses everything after it on that context.
  ccCairoImageScope s(120, 40);
  s.antialias(false);
  const ccUIFormat format(-1, ccUIFormat::eTopLeft);
  const std::string bad = "ab\xFB", replaced = "ab\xEF\xBF\xBD";
  EXPECT_EQ(s.textRect(bad + "c", ccPoint(0, 0), format),
            s.textRect(replaced + "c", ccPoint(0, 0), format));
  s.drawText(bad + "c", ccPoint(2, 2), ccColor::blackColor(), ccColor::whiteColor(), format);
  EXPECT_FALSE(inkBox(s, ccPackedRGB32Pel(0)).isNull());
  // A font of size NaN has no matrix: cairo fails the context, the scope makes it again.
  s.font(3, ccCairoFont{"DejaVu Sans", std::nan(""), false, false});
  s.drawText("x", ccPoint(2, 2), ccColor::blackColor(), ccColor::whiteColor(),
             ccUIFormat(3, ccUIFormat::eTopLeft));
  s.clear();
  s.drawStart(ccPoint(0, 35));
  s.drawTo(ccPoint(100, 35), ccGraphicProps(ccColor::greenColor(), 1));
  EXPECT_EQ(s.pel(50, 35), ccPackedRGB32Pel(0, 255, 0, 255));
}
