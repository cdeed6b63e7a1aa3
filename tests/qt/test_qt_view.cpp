// The image view: zoom about the cursor, pan by dragging, fit, the status line, overlays
// replayed at the new map, and repaints limited to what changed.
#include "../scenes.h"

#include <backends/qt/qtview.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

using V = ccVector<2>;

ccPelBuffer<unsigned char> board(long w, long h) {
  return scenes::ramp<unsigned char>(
      w, h, [](long x, long y) { return static_cast<unsigned char>((x * 7 + y * 3) % 256); });
}

// Where the tablet puts an image point, in widget pixels.
ccVector<2> shown(ccQtView& v, const V& p) { return v.tablet().scaledMap() * p; }

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

struct QtView : ::testing::Test {
  QtView() {
    view.resize(200, 150 + ccQtView::statusHeight());
    view.setImage(board(100, 60));
  }
  ccQtView view;
};

}  // namespace

TEST_F(QtView, TheWheelZoomsAboutTheCursorAndDraggingPans) {
  const QPointF at(50, 40);
  const V under = V(50, 40);  // zoom 1, offset 0: the image point under the cursor
  QWheelEvent wheel(at, at, QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(&view, &wheel);
  EXPECT_DOUBLE_EQ(view.zoom(), 1.25);
  EXPECT_EQ(view.tablet().scaleExact(), ccPair<double>(1.25, 1.25));
  const V p = shown(view, under);
  EXPECT_NEAR(p.x(), 50, 1);
  EXPECT_NEAR(p.y(), 40, 1);

  const QPoint offset = view.offset();
  auto mouse = [this](QEvent::Type type, QPointF at, Qt::MouseButton button,
                      Qt::MouseButtons held) {
    QMouseEvent e(type, at, at, button, held, Qt::NoModifier);
    QApplication::sendEvent(&view, &e);
  };
  mouse(QEvent::MouseButtonPress, QPointF(60, 60), Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseMove, QPointF(80, 70), Qt::NoButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, QPointF(80, 70), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(view.offset(), offset + QPoint(20, 10));
  const V q = shown(view, under);
  EXPECT_NEAR(q.x(), p.x() + 20, 1e-9);
  EXPECT_NEAR(q.y(), p.y() + 10, 1e-9);

  // F fits the 100 x 60 image into 200 x 150: zoom 2, centred vertically.
  QKeyEvent key(QEvent::KeyPress, Qt::Key_F, Qt::NoModifier, "f");
  QApplication::sendEvent(&view, &key);
  EXPECT_DOUBLE_EQ(view.zoom(), 2);
  EXPECT_EQ(view.offset(), QPoint(0, 15));
  EXPECT_EQ(shown(view, V(100, 60)), V(200, 135));
}

TEST_F(QtView, TheStatusLineShowsThePelUnderTheCursor) {
  view.setView(4, QPoint(10, 10));
  // Widget pixel (10 + 4 * 7 + 3, 10 + 4 * 5) shows pel (7, 5) = 7 * 7 + 5 * 3.
  EXPECT_EQ(view.statusFor(QPoint(41, 30)), "x 7  y 5  value 64  zoom 4");
  EXPECT_EQ(view.statusFor(QPoint(5, 5)), "zoom 4");
  // The layers show the same pel there.
  EXPECT_EQ(view.layers().image().pel(41, 30), ccPackedRGB32Pel(64, 64, 64, 255));

  ccPelBuffer<ccPackedRGB32Pel> rgb(3, 3);
  rgb.set(1, 2, ccPackedRGB32Pel(10, 200, 3));
  view.setImage(rgb);
  EXPECT_EQ(view.statusFor(QPoint(10 + 4 + 1, 10 + 8 + 3)), "x 1  y 2  rgb 10 200 3  zoom 4");
  ccPelBuffer<unsigned short> deep(2, 2);
  deep.set(1, 1, 40000);
  view.setImage(deep);
  EXPECT_EQ(view.statusFor(QPoint(15, 15)), "x 1  y 1  value 40000  zoom 4");
}

TEST_F(QtView, OverlaysAreReplayedAtTheNewMap) {
  view.tablet().draw(ccLineSeg(V(10, 20), V(30, 20)), ccColor::redColor(),
                     ccUITablet::eOverlayLayer);
  const ccPackedRGB32Pel red(255, 0, 0, 255);
  EXPECT_EQ(view.layers().overlay().pel(15, 20), red);
  view.setView(2, QPoint(0, 0));
  EXPECT_EQ(view.layers().overlay().pel(30, 40), red);
  EXPECT_EQ(view.layers().overlay().pel(15, 20).x(), 0);  // transparent there now
  // A new image keeps the overlays; clearing forgets them.
  view.setImage(board(50, 50));
  EXPECT_EQ(view.layers().overlay().pel(30, 40), red);
  view.clearOverlays();
  EXPECT_EQ(view.layers().overlay().pel(30, 40).x(), 0);
}

TEST_F(QtView, OnlyChangedRectanglesAreRepainted) {
  view.show();
  settle();
  EXPECT_TRUE(view.takePaintedRegion().contains(QRect(0, 0, 200, 150)));
  view.tablet().draw(ccLineSeg(V(10, 20), V(30, 20)), ccColor::redColor(),
                     ccUITablet::eOverlayLayer);
  settle();
  const QRect painted = view.takePaintedRegion().boundingRect();
  EXPECT_TRUE(painted.contains(QRect(10, 20, 20, 1)));
  EXPECT_LE(painted.width() * painted.height(), 30 * 8);
  // Panning draws everything again.
  view.pan(QPoint(5, 0));
  settle();
  EXPECT_TRUE(view.takePaintedRegion().contains(QRect(0, 0, 200, 150)));
}
