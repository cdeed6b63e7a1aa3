// The drawing slots of the Qt scope: every scene of scenes.h against its golden image
// (antialiasing off, exact: tolerance 0), the same scenes through the Cairo scope within a
// stated tolerance, pixel checks where the conventions fix the pixels, and text.
#include "../scenes.h"
#include "qtgolden.h"

#include <backends/qt/qtimage.h>
#ifdef DISPC_QT_TESTS_WITH_CAIRO
#include <backends/cairo/cairoimage.h>
#endif

#include <gtest/gtest.h>

namespace {

using scenes::V;

// A white 160 x 120 scope without antialiasing.
template <class Scope>
void whiteCanvas(Scope& s) {
  s.antialias(false);
  s.setAll(ccColor::whiteColor());
  s.noChange();
}

struct QtScene : ::testing::TestWithParam<scenes::Scene> {};

}  // namespace

TEST_P(QtScene, MatchesItsGoldenImage) {
  ccQtImageScope s(160, 120);
  whiteCanvas(s);
  GetParam().draw(s);
  EXPECT_TRUE(matchesGolden(s.image(), GetParam().name));
}

#ifdef DISPC_QT_TESTS_WITH_CAIRO
// Both rasterisers draw the scene's pixels alike: every pixel finds one of the same colour
// (each channel within 8) at most one pixel away in the other picture, so shape edges may
// fall one pixel over, and at most 16 pixels (0.08 %) may fail that. Images (1:1 and zoomed),
// areas, fills and pen strokes agree exactly: same place, no pixel failing.
TEST_P(QtScene, AgreesWithTheCairoBackEnd) {
  ccQtImageScope q(160, 120);
  ccCairoImageScope c(160, 120);
  whiteCanvas(q);
  whiteCanvas(c);
  GetParam().draw(q);
  GetParam().draw(c);
  const ccPelBuffer<ccPackedRGB32Pel> pels = c.pels();
  QImage cairo(160, 120, QImage::Format_ARGB32);
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 160; ++x) cairo.setPixel(x, y, pels.get(x, y).packed());
  }
  // At the inner corners of sharp joins the rasterisers fill a few pixels differently.
  const bool exact = GetParam().name == "images" || GetParam().name == "zoom" ||
                     GetParam().name == "areas" || GetParam().name == "strokes";
  EXPECT_TRUE(
      agreesWithin(q.image(), cairo, GetParam().name + ".cairo", exact ? 0 : 1, 8, exact ? 0 : 16));
}
#endif

INSTANTIATE_TEST_SUITE_P(Scenes, QtScene, ::testing::ValuesIn(scenes::scenes()),
                         [](const auto& info) { return info.param.name; });

TEST(QtDrawing, WholeCoordinatesNameThePixelsTheyLight) {
  ccQtImageScope s(160, 120);
  whiteCanvas(s);
  const ccPackedRGB32Pel white = opaque(ccColor::whiteColor()), red = opaque(ccColor::redColor());
  s.drawLineSeg(ccLineSeg(V(10, 10), V(60, 10)), scenes::pen(ccColor::redColor(), 1));
  // Flat caps light the first pixel and not the last, as Cairo does.
  EXPECT_EQ(s.pel(10, 10), red);
  EXPECT_EQ(s.pel(59, 10), red);
  EXPECT_EQ(s.pel(60, 10), white);
  EXPECT_EQ(s.pel(30, 9), white);
  EXPECT_EQ(s.pel(30, 11), white);
  s.plotPoint(ccPoint(40, 100), scenes::pen(ccColor::redColor(), 5));
  EXPECT_EQ(s.pel(38, 98), red);
  EXPECT_EQ(s.pel(42, 102), red);
  EXPECT_EQ(s.pel(43, 100), white);
  // 8-bit pels are grey levels; pass pels leave the background.
  s.drawImage(scenes::grey8(4, 4), ccPoint(100, 100), true, 0, false);
  EXPECT_EQ(s.pel(100, 100), white);
  EXPECT_EQ(s.pel(101, 100), ccPackedRGB32Pel(23, 23, 23, 255));
}

TEST(QtDrawing, TextRectanglesAndDrawnTextAgree) {
  ccQtImageScope s(160, 120);
  whiteCanvas(s);
  s.textBackground(true);
  const ccUIFormat topLeft(-1, ccUIFormat::eTopLeft), centred(-1, ccUIFormat::eCenter);
  const ccUIRect r = s.textRect("Pad 7: 0.25 mm", ccPoint(10, 10), topLeft);
  // DejaVu Sans Mono at 13 pixels: 7.83 pixels a character (rounded up over the line), 16 a
  // line.
  EXPECT_EQ(r, ccUIRect(10, 10, 110, 16));
#ifdef DISPC_QT_TESTS_WITH_CAIRO
  // The same rectangles as the Cairo scope's, for every alignment and both fonts.
  ccCairoImageScope c(160, 120);
  c.font(3, ccCairoFont{"DejaVu Sans Mono", 20, true, false});
  s.font(3, ccQtFont{"DejaVu Sans Mono", 20, true, false});
  for (int a = 0; a < 9; ++a) {
    for (long font : {-1L, 3L}) {
      const ccUIFormat f(font, static_cast<ccUIFormat::Alignment>(a));
      EXPECT_EQ(s.textRect("Hgjy 42\nmm", ccPoint(60, 50), f),
                c.textRect("Hgjy 42\nmm", ccPoint(60, 50), f))
          << "alignment " << a << " font " << font;
    }
  }
#endif
  s.drawText("Pad 7: 0.25 mm", ccPoint(10, 10), ccColor::blackColor(), ccColor::yellowColor(),
             topLeft);
  EXPECT_EQ(s.changeRect(), r);
  EXPECT_EQ(s.pel(r.left(), r.top()), opaque(ccColor::yellowColor()));
  EXPECT_EQ(s.pel(r.right(), r.top()), opaque(ccColor::whiteColor()));
  s.font(3, ccQtFont{"DejaVu Sans Mono", 20, true, false});
  const ccUIRect two =
      s.textRect("two\nlines", ccPoint(80, 80), ccUIFormat(3, ccUIFormat::eCenter));
  EXPECT_EQ(two.height() % 2, 0);
  EXPECT_GT(two.height(), 2 * 20);
  s.drawText("two\nlines", ccPoint(80, 80), ccColor::blueColor(), ccColor::passColor(),
             ccUIFormat(3, ccUIFormat::eCenter));
  s.drawText("+", ccPoint(150, 110), ccColor::redColor(), ccColor::whiteColor(), centred);
  EXPECT_TRUE(matchesGolden(s.image(), "text"));
}
