// The Qt back end against direct QPainter calls (offscreen platform).
//
// Segments: 10,000 line segments drawn through a tablet onto ccQtImageScope against the same
// segments drawn with QPainter::drawLine on the same kind of image with the same pen and
// antialiasing. The difference is what the tablet, the scope's mapping and its change tracking
// cost on top of Qt's rasterising.
//
// View frame: one frame of ccQtView (1024 x 768 image area) over a 2048 x 2048 8-bit image at
// zoom 0.5, 1 and 3 with 1,000 overlay shapes (segments, rectangles, ellipses) recorded on its
// tablet: the view is moved by one pixel (a full redraw through the tablet: the image zoomed
// into the image layer, the overlays replayed into the overlay layer) and rendered into an
// image as its paint event does. Against it: QPainter::drawImage of the image already scaled to
// the zoom (the part that shows) plus the same 1,000 shapes drawn directly.
//
// Qt converts images on a pool of threads, and the machine the benchmarks run on may be
// shared: instruction counts (valgrind --tool=callgrind --toggle-collect='*BM_ViewFrame*')
// compare the two more steadily than times.
#include <backends/qt/qtview.h>

#include <QApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using V = ccVector<2>;

constexpr int kSegments = 10000;

std::vector<ccLineSeg> segments() {
  std::vector<ccLineSeg> v;
  v.reserve(kSegments);
  for (int i = 0; i < kSegments; ++i) {
    const double t = i * 0.013;
    v.emplace_back(V(320 + 200 * std::cos(t), 240 + 200 * std::sin(t)),
                   V(320 + 30 * std::sin(3 * t), 240 + 30 * std::cos(2 * t)));
  }
  return v;
}

void BM_TabletOnQtImage(benchmark::State& state) {
  const std::vector<ccLineSeg> segs = segments();
  ccQtImageScope scope(640, 480);
  scope.antialias(state.range(0) != 0);
  ccUITablet tablet(&scope, nullptr);
  tablet.visible(true);
  const ccColor red = ccColor::redColor();
  for (auto _ : state) {
    for (const ccLineSeg& s : segs) tablet.draw(s, red, ccUITablet::eImageLayer);
    benchmark::DoNotOptimize(scope.image().constBits());
  }
  state.SetItemsProcessed(state.iterations() * kSegments);
}
BENCHMARK(BM_TabletOnQtImage)->Arg(0)->Arg(1)->ArgName("antialias");

void BM_QPainterDirect(benchmark::State& state) {
  const std::vector<ccLineSeg> segs = segments();
  QImage image(640, 480, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  for (auto _ : state) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, state.range(0) != 0);
    p.setPen(QPen(QColor(255, 0, 0), 1));
    p.translate(0.49, 0.49);
    for (const ccLineSeg& s : segs)
      p.drawLine(QPointF(s.p1().x(), s.p1().y()), QPointF(s.p2().x(), s.p2().y()));
    p.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kSegments);
}
BENCHMARK(BM_QPainterDirect)->Arg(0)->Arg(1)->ArgName("antialias");

// ---- One frame of the view

constexpr int kViewW = 1024, kViewH = 768, kImage = 2048, kShapes = 1000;

const ccPelBuffer<unsigned char>& bigImage() {
  static const ccPelBuffer<unsigned char> image = [] {
    ccPelBuffer<unsigned char> b(kImage, kImage);
    for (long y = 0; y < kImage; ++y) {
      unsigned char* row = b.pointToRow(y);
      for (long x = 0; x < kImage; ++x) row[x] = static_cast<unsigned char>((x ^ y) + x / 7);
    }
    return b;
  }();
  return image;
}

// Shape i, in image coordinates around the centre of the image.
struct Shape {
  int kind;  // 0 segment, 1 rectangle, 2 ellipse
  V a, b;
};

std::vector<Shape> shapes() {
  std::vector<Shape> v;
  for (int i = 0; i < kShapes; ++i) {
    const double t = i * 0.37;
    const V c(1024 + 400 * std::cos(t) * std::sin(0.1 * i), 1024 + 300 * std::sin(t));
    v.push_back({i % 3, c, V(8 + i % 20, 6 + i % 15)});
  }
  return v;
}

double zoomOf(const benchmark::State& state) { return double(state.range(0)) / 10; }

// The view's offset that puts image point (1024, 1024) at the centre of the area.
QPoint centred(double z) {
  return QPoint(int(std::lround(kViewW / 2 - 1024 * z)), int(std::lround(kViewH / 2 - 1024 * z)));
}

void BM_ViewFrame(benchmark::State& state) {
  const double z = zoomOf(state);
  ccQtView view;
  view.resize(kViewW, kViewH + ccQtView::statusHeight());
  view.setImage(bigImage());
  ccUITablet& t = view.tablet();
  const ccGraphicProps props(ccColor::greenColor(), 1);
  for (const Shape& s : shapes()) {
    if (s.kind == 0) t.draw(ccLineSeg(s.a, s.a + s.b), props, ccUITablet::eOverlayLayer);
    if (s.kind == 1) t.draw(ccRect(s.a, s.b), props, ccUITablet::eOverlayLayer);
    if (s.kind == 2) t.draw(ccEllipse(s.a, s.b), props, ccUITablet::eOverlayLayer);
  }
  QImage target(kViewW, kViewH, QImage::Format_RGB32);
  const QPoint offset = centred(z);
  int frame = 0;
  for (auto _ : state) {
    view.setView(z, offset + QPoint(frame++ & 1, 0));
    view.render(&target, QPoint(), QRegion(0, 0, kViewW, kViewH));
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_ViewFrame)
    ->Arg(5)
    ->Arg(10)
    ->Arg(30)
    ->ArgName("zoom_x10")
    ->Unit(benchmark::kMillisecond);

void BM_QPainterFrame(benchmark::State& state) {
  const double z = zoomOf(state);
  const QPoint offset = centred(z);
  // The image scaled to the zoom beforehand, only the part that shows.
  const QImage source(bigImage().pointToRow(0), kImage, kImage, int(bigImage().rowUpdate()),
                      QImage::Format_Grayscale8);
  const QRect visible = QRect(-offset, QSize(kViewW, kViewH));
  const QImage scaled = source.scaled(int(kImage * z), int(kImage * z))
                            .copy(visible & QRect(0, 0, int(kImage * z), int(kImage * z)));
  const std::vector<Shape> all = shapes();
  QImage target(kViewW, kViewH, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&target);
    p.fillRect(target.rect(), QColor(48, 48, 48));
    p.drawImage(QPoint(std::max(0, offset.x()), std::max(0, offset.y())), scaled);
    p.setPen(QPen(QColor(0, 255, 0), 1));
    p.translate(offset.x() + 0.49, offset.y() + 0.49);
    for (const Shape& s : all) {
      const QPointF a(s.a.x() * z, s.a.y() * z);
      const QPointF b(s.b.x() * z, s.b.y() * z);
      if (s.kind == 0) p.drawLine(a, a + b);
      if (s.kind == 1) p.drawRect(QRectF(a, QSizeF(b.x(), b.y())));
      if (s.kind == 2) p.drawEllipse(a, b.x(), b.y());
    }
    p.end();
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_QPainterFrame)
    ->Arg(5)
    ->Arg(10)
    ->Arg(30)
    ->ArgName("zoom_x10")
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
