// A camera-like image stream in a ccQtView: a new synthetic 8-bit frame every 40 ms, with
// overlays that follow what moves. Wheel zooms, dragging pans, F fits; --frames N stops after
// N frames. Copy it: a frame arrives, setImage shows it, clearOverlays and tablet() redraw
// the results in image coordinates.
#include <backends/qt/qtview.h>

#include <QApplication>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const long frames = argc > 2 && std::strcmp(argv[1], "--frames") == 0 ? std::atol(argv[2]) : -1;
  const long w = 640, h = 480;
  ccPelBuffer<unsigned char> image(w, h);
  ccQtView view;
  view.setWindowTitle("dispc qt-viewer");
  view.resize(int(w), int(h) + ccQtView::statusHeight());
  long frame = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    // The "camera": a drifting ramp and a bright blob moving on a circle.
    const double t = 0.05 * double(frame), bx = 320 + 200 * std::cos(t),
                 by = 240 + 150 * std::sin(t);
    for (long y = 0; y < h; ++y) {
      unsigned char* row = image.pointToRow(y);
      for (long x = 0; x < w; ++x) {
        const double d2 = (x - bx) * (x - bx) + (y - by) * (y - by);
        row[x] = static_cast<unsigned char>(d2 < 900 ? 230 : (x + y + frame * 3) % 160);
      }
    }
    view.setImage(image);
    // The "inspection": what was found, drawn in image coordinates on the overlay layer.
    view.clearOverlays();
    ccUITablet& t2 = view.tablet();
    const auto overlay = ccUITablet::eOverlayLayer;
    t2.draw(ccCircle(ccVector<2>(bx, by), 34), ccColor::greenColor(), overlay);
    t2.draw(ccCross(ccVector<2>(bx, by), ccRadian(t), 12), ccColor::redColor(), overlay);
    t2.draw(ccLineSeg(ccVector<2>(w / 2.0, h / 2.0), ccVector<2>(bx, by)), ccColor::cyanColor(),
            overlay);
    t2.draw("frame " + std::to_string(frame), ccPoint(10, 10), ccColor::yellowColor(),
            ccColor::blackColor(), ccUIFormat(-1, ccUIFormat::eTopLeft), overlay);
    if (++frame == frames) app.quit();
  });
  timer.start(40);
  view.show();
  return app.exec();
}
