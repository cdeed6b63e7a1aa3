// The Qt scope: the surface-scope contract, change tracking and damage reports, child tablets,
// drawing on any paint device, and the layer pair.
#include "../surfacescopecontract.h"
#include "qtgolden.h"

#include <backends/qt/qtimage.h>
#include <dispc/errors.h>
#include <dispc/tablet.h>

#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using V = ccVector<2>;

const ccPackedRGB32Pel kWhite = opaque(ccColor::whiteColor());
const ccPackedRGB32Pel kRed = opaque(ccColor::redColor());

struct QtScope : ::testing::Test {
  QtScope() : s(100, 80) {
    s.antialias(false);
    s.setAll(ccColor::whiteColor());
    s.noChange();
    s.damageHook([this](const QRect& r) { damage.push_back(r); });
  }
  ccQtImageScope s;
  std::vector<QRect> damage;
};

}  // namespace

TEST_F(QtScope, EachDrawingReportsTheRectangleItTouched) {
  // A 1-pixel segment: its pixels grown by the pen's reach and a pixel for the rasteriser.
  s.drawLineSeg(ccLineSeg(V(10, 10), V(40, 10)), ccGraphicProps(ccColor::redColor(), 1));
  const ccUIRect seg = s.changeRect();
  EXPECT_TRUE(seg.within(ccUIRect(9, 9, 1, 1)) && seg.within(ccUIRect(39, 10, 1, 1)));
  EXPECT_LE(seg.width(), 34);
  EXPECT_LE(seg.height(), 4);
  ASSERT_EQ(damage.size(), 1u);
  EXPECT_EQ(damage[0], QRect(int(seg.left()), int(seg.top()), int(seg.width()), int(seg.height())));
  // setRect is exact, and the whole scope marks it opaque and all changed.
  s.noChange();
  s.opaque(false);
  s.setRect(ccUIRect(50, 50, 10, 5), ccColor::blueColor());
  EXPECT_EQ(s.changeRect(), ccUIRect(50, 50, 10, 5));
  EXPECT_EQ(damage.back(), QRect(50, 50, 10, 5));
  EXPECT_FALSE(s.opaque());
  s.setAll(ccColor::blackColor());
  EXPECT_TRUE(s.opaque());
  EXPECT_TRUE(s.allChanged());
  // Nothing drawn outside the scope or off screen: nothing noted.
  s.noChange();
  damage.clear();
  s.setRect(ccUIRect(200, 200, 5, 5), ccColor::redColor());
  s.offScreen(true);
  s.setAll(ccColor::redColor());
  EXPECT_FALSE(s.someChanged());
  EXPECT_TRUE(damage.empty());
}

TEST_F(QtScope, SubScopesDrawTranslatedAndClippedToTheirArea) {
  // A child tablet at (20, 20) of size 30 x 20 over the scope: its drawing lands there, cut.
  ccUITablet root(&s, nullptr);
  root.visible(true);
  ccUITablet child(root, ccUIRect(20, 20, 30, 20));
  child.visible(true);
  child.draw(ccLineSeg(V(0, 5), V(100, 5)), ccColor::redColor(), ccUITablet::eImageLayer);
  EXPECT_EQ(s.pel(20, 25), kRed);
  EXPECT_EQ(s.pel(49, 25), kRed);
  EXPECT_EQ(s.pel(50, 25), kWhite);
  EXPECT_EQ(s.pel(19, 25), kWhite);
  // A rectangle's sides (pen strokes under a screen lock) are cut there too.
  child.draw(ccRect(V(2, 2), V(60, 10)), ccColor::greenColor(), ccUITablet::eImageLayer);
  EXPECT_EQ(s.pel(30, 22), opaque(ccColor::greenColor()));
  EXPECT_EQ(s.pel(55, 22), kWhite);
  // A display clip cuts the child's drawing further.
  child.drawClipRect(ccRect(V(0, 0), V(10, 20)), ccUITablet::eImageLayer);
  child.set(ccUIRect(0, 0, 30, 20), ccColor::blueColor(), ccUITablet::eImageLayer);
  EXPECT_EQ(s.pel(25, 30), opaque(ccColor::blueColor()));
  EXPECT_EQ(s.pel(35, 30), kWhite);
  EXPECT_EQ(damage.back(), QRect(20, 20, 10, 20));
}

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, SurfaceScopeContract, ccQtImageScope);

TEST(QtDeviceScope, DrawsOnAnyPaintDeviceUntilFlushed) {
  QPixmap pixmap(40, 30);
  pixmap.fill(Qt::white);
  {
    ccQtScope s(&pixmap);
    s.antialias(false);
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
  QImage out = layers.composed();
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
