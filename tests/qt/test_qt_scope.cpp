// The Qt scope: every scene of scenes.h against its golden image (antialiasing off, exact) and
// against the Cairo scope within a stated tolerance, text, the surface-scope contract, damage
// reports, drawing on any paint device, the layer pair, and strokes beyond int coordinates.
#include "../imagecompare.h"
#include "../scenes.h"
#include "../surfacescopecontract.h"

#include <backends/qt/qtimage.h>
#ifdef DISPC_QT_TESTS_WITH_CAIRO
#include <backends/cairo/cairoimage.h>
#endif

#include <QPixmap>

#include <gtest/gtest.h>

#include <random>

namespace {

using scenes::V;

Picture picture(const QImage& image) {
  const QImage p = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  Picture out{p.width(), p.height(), {}};
  for (int y = 0; y < p.height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(p.constScanLine(y));
    out.pels.insert(out.pels.end(), row, row + p.width());
  }
  return out;
}

struct QtPng {
  static Picture read(const std::string& path) {
    const QImage image(QString::fromStdString(path));
    return image.isNull() ? Picture() : picture(image);
  }
  static void write(const Picture& p, const std::string& path) {
    QImage(reinterpret_cast<const uchar*>(p.pels.data()), int(p.width), int(p.height),
           int(p.width * 4), QImage::Format_ARGB32_Premultiplied)
        .save(QString::fromStdString(path));
  }
};

::testing::AssertionResult matchesGolden(const QImage& image, const std::string& name) {
  return matchesGoldenFile<QtPng>(picture(image), DISPC_QT_GOLDEN_DIR, name, DISPC_QT_TEST_OUT, 0,
                                  0);
}

std::string outputPath(const std::string& file) { return outputPathIn(DISPC_QT_TEST_OUT, file); }

// A white scope without antialiasing.
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
  const ccPelBuffer<ccPackedRGB32Pel> pels = c.pels();  // opaque: premultiplied as they are
  Picture cairo{160, 120, {}};
  for (long y = 0; y < 120; ++y)
    for (long x = 0; x < 160; ++x) cairo.pels.push_back(pels.get(x, y).packed());
  // At the inner corners of sharp joins the rasterisers fill a few pixels differently.
  const std::string& name = GetParam().name;
  const bool exact = name == "images" || name == "zoom" || name == "areas" || name == "strokes";
  EXPECT_TRUE(comparePictures<QtPng>(picture(q.image()), cairo, name + ".cairo", DISPC_QT_TEST_OUT,
                                     8, exact ? 0 : 16, exact ? 0 : 1));
}
#endif

INSTANTIATE_TEST_SUITE_P(Scenes, QtScene, ::testing::ValuesIn(scenes::scenes()),
                         [](const auto& info) { return info.param.name; });

TEST(QtDrawing, TextRectanglesAndDrawnTextAgree) {
  ccQtImageScope s(160, 120);
  whiteCanvas(s);
  s.textBackground(true);
  const ccUIFormat topLeft(-1, ccUIFormat::eTopLeft);
  const ccUIRect r = s.textRect("Pad 7: 0.25 mm", ccPoint(10, 10), topLeft);
  // DejaVu Sans Mono at 13 pixels: 7.83 pixels a character (rounded up over the line), 16 a
  // line.
  EXPECT_EQ(r, ccUIRect(10, 10, 110, 16));
  s.font(3, ccQtFont{"DejaVu Sans Mono", 20, true, false});
#ifdef DISPC_QT_TESTS_WITH_CAIRO
  // The same rectangles as the Cairo scope's, for every alignment and both fonts.
  ccCairoImageScope c(160, 120);
  c.font(3, ccCairoFont{"DejaVu Sans Mono", 20, true, false});
  for (int a = 0; a < 9; ++a)
    for (long font : {-1L, 3L}) {
      const ccUIFormat f(font, static_cast<ccUIFormat::Alignment>(a));
      EXPECT_EQ(s.textRect("Hgjy 42\nmm", ccPoint(60, 50), f),
                c.textRect("Hgjy 42\nmm", ccPoint(60, 50), f))
          << "alignment " << a << " font " << font;
    }
#endif
  s.drawText("Pad 7: 0.25 mm", ccPoint(10, 10), ccColor::blackColor(), ccColor::yellowColor(),
             topLeft);
  EXPECT_EQ(s.changeRect(), r);
  EXPECT_EQ(s.pel(r.left(), r.top()), opaque(ccColor::yellowColor()));
  EXPECT_EQ(s.pel(r.right(), r.top()), opaque(ccColor::whiteColor()));
  s.drawText("two\nlines", ccPoint(80, 80), ccColor::blueColor(), ccColor::passColor(),
             ccUIFormat(3, ccUIFormat::eCenter));
  s.drawText("+", ccPoint(150, 110), ccColor::redColor(), ccColor::whiteColor(),
             ccUIFormat(-1, ccUIFormat::eCenter));
  EXPECT_TRUE(matchesGolden(s.image(), "text"));
}

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, SurfaceScopeContract, ccQtImageScope);

TEST(QtScope, EachDrawingReportsTheRectangleItTouched) {
  ccQtImageScope s(100, 80);
  whiteCanvas(s);
  std::vector<QRect> damage;
  s.damageHook([&](const QRect& r) { damage.push_back(r); });
  // A 1-pixel segment: its pixels grown by the pen's reach and a pixel for the rasteriser.
  s.drawLineSeg(ccLineSeg(V(10, 10), V(40, 10)), ccGraphicProps(ccColor::redColor(), 1));
  const ccUIRect seg = s.changeRect();
  EXPECT_TRUE(seg.within(ccUIRect(9, 9, 1, 1)) && seg.within(ccUIRect(39, 10, 1, 1)));
  EXPECT_TRUE(seg.width() <= 34 && seg.height() <= 4);
  ASSERT_EQ(damage.size(), 1u);
  EXPECT_EQ(damage[0], QRect(int(seg.left()), int(seg.top()), int(seg.width()), int(seg.height())));
  // setRect is exact.
  s.noChange();
  s.setRect(ccUIRect(50, 50, 10, 5), ccColor::blueColor());
  EXPECT_EQ(s.changeRect(), ccUIRect(50, 50, 10, 5));
  EXPECT_EQ(damage.back(), QRect(50, 50, 10, 5));
  // Nothing drawn outside the scope: nothing reported.
  damage.clear();
  s.setRect(ccUIRect(200, 200, 5, 5), ccColor::redColor());
  EXPECT_TRUE(damage.empty());
}

TEST(QtDeviceScope, DrawsOnAnyPaintDeviceUntilFlushed) {
  QPixmap pixmap(40, 30);
  pixmap.fill(Qt::white);
  {
    ccQtScope s(&pixmap);
    EXPECT_EQ(s.scopeBounds(), ccUIRect(0, 0, 40, 30));
    s.setRect(ccUIRect(10, 10, 5, 5), ccColor::redColor());
    s.flush();
  }
  const QImage image = pixmap.toImage();
  EXPECT_EQ(image.pixel(12, 12), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(2, 2), qRgb(255, 255, 255));
  EXPECT_THROW(ccQtScope(nullptr), ccUIError::BadParams);
}

// The overlay over the image: the pass colour clears the overlay, clearing it shows the image
// again, and both a layer and the composed picture write PNG files of their pels.
TEST(QtLayers, TheOverlayComposesOverTheImage) {
  ccQtLayers layers(64, 48);
  layers.antialias(false);
  EXPECT_EQ(&layers.scope(0), &layers.image());
  EXPECT_EQ(&layers.scope(1), &layers.overlay());
  EXPECT_THROW(layers.scope(2), ccUIError::BadLayer);
  layers.image().setAll(ccColor(90, 90, 90));
  layers.overlay().drawLineSeg(ccLineSeg(V(0, 10), V(63, 10)),
                               ccGraphicProps(ccColor::redColor(), 1));
  layers.overlay().setRect(ccUIRect(0, 30, 64, 10), ccColor::greenColor());
  layers.overlay().setRect(ccUIRect(0, 30, 10, 10), ccColor::passColor());
  const QRgb grey = qRgb(90, 90, 90);
  const QImage out = layers.composed();
  EXPECT_EQ(out.pixel(5, 5), grey);
  EXPECT_EQ(out.pixel(5, 10), qRgb(255, 0, 0));
  EXPECT_EQ(out.pixel(20, 35), qRgb(0, 255, 0));
  EXPECT_EQ(out.pixel(5, 35), grey);
  layers.writePng(outputPath("layers.png"));
  EXPECT_EQ(QImage(QString::fromStdString(outputPath("layers.png"))).pixel(5, 10), qRgb(255, 0, 0));
  layers.overlay().clear();
  EXPECT_EQ(layers.overlay().changeRect(), ccUIRect(0, 0, 64, 48));
  EXPECT_EQ(layers.composed().pixel(5, 10), grey);
  layers.image().clear();  // opaque: black
  layers.image().writePng(outputPath("image.png"));
  EXPECT_EQ(QImage(QString::fromStdString(outputPath("image.png"))).pixel(5, 5), qRgb(0, 0, 0));
  EXPECT_THROW(layers.writePng("/nonexistent-dir/x.png"), ccUIError::InitFailed);
  EXPECT_THROW(layers.image().writePng("/nonexistent-dir/x.png"), ccUIError::InitFailed);
}

// Pen positions beyond Qt's int coordinates (a sketch's relative moves can take the pen
// anywhere) must not wrap: a stroke out to 2^33 pixels and back shows the pixels of the same
// stroke ending 10^3 steps away.
TEST(QtFarPen, StrokesBeyondIntRangeShowAsNearOnes) {
  std::mt19937 random(11);
  for (int round = 0; round < 16; ++round) {
    const ccPoint apex(double(8 + random() % 48), double(8 + random() % 32));
    const long dx = long(random() % 7) - 3, dy = long(random() % 7) - 3 + (dx == 0);
    const ccGraphicProps pen(ccColor::redColor(), 1 + round % 3);
    auto draw = [&](ccQtImageScope& s, long steps) {
      s.antialias(round % 2 == 0);
      s.drawStart(apex);
      s.drawToRel(dx * steps, dy * steps, pen);
      s.drawTo(apex, pen);  // and back, from the far end
    };
    ccQtImageScope near(64, 48), far(64, 48);
    draw(near, 1000);
    draw(far, 1L << 33);
    // Antialiased edges tilt by a trace with the distance of the far end: up to 4 units of a
    // channel, as between two uncut strokes. Aliased strokes light the same pixels.
    EXPECT_LE(largestChannelDifference(far, near), round % 2 == 0 ? 4 : 0) << "round " << round;
  }
}
