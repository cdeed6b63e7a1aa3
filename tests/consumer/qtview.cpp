// Uses the installed Qt back end and OpenCV adapter: a cv::Mat shown by ccQtView with an
// overlay, rendered offscreen into a PNG file.
//
//   dispc-consumer-qt OUTPUT.png
#include <backends/opencv/cvpels.h>
#include <backends/qt/qtview.h>

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dispc-consumer-qt OUTPUT.png\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  cv::Mat frame(60, 80, CV_8UC1, cv::Scalar(90));
  ccQtView view;
  view.resize(80, 60 + ccQtView::statusHeight());
  view.setImage(cfPelsFromMat8(frame));
  view.tablet().draw(ccCircle(ccVector<2>(40, 30), 20), ccColor::greenColor(),
                     ccUITablet::eOverlayLayer);
  if (!view.grab().save(argv[1], "PNG")) return 1;
  std::printf("dispc-consumer-qt: wrote %s\n", argv[1]);
  return 0;
}
