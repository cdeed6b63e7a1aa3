// Sketch replay: a recorded stream of one million mixed operations (segments, circles,
// polygons, rectangles, text, points, ellipses, polylines, crosses, with props changing now
// and then) replayed onto a tablet whose scope draws nothing, so that the figure is what the
// library costs per operation: parsing, rebuilding the shape, mapping and the scope call.
// Also the same stream replayed on the other layer, where every operation is parsed and none
// drawn.
#include <dispc/nullscope.h>
#include <dispc/tablet.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr long kOperations = 1000000;

// Ten kinds of operation in turn, on the overlay; the props change every 64 operations.
const ccUISketch& mixedSketch() {
  static const ccUISketch sketch = [] {
    ccUITablet recorder;  // detached: records only
    const ccColor colors[3] = {ccColor::redColor(), ccColor::greenColor(), ccColor::blueColor()};
    const ccUITablet::Layers l = ccUITablet::eOverlayLayer;
    for (long i = 0; i < kOperations; ++i) {
      const double x = static_cast<double>(i % 997), y = static_cast<double>(i % 613);
      const ccGraphicProps props(colors[(i / 64) % 3], 1 + (i / 64) % 2);
      switch (i % 10) {
        case 0:
          recorder.draw(ccLineSeg(ccVector<2>(x, y), ccVector<2>(x + 20, y + 5)), props, l);
          break;
        case 1:
          recorder.draw(ccCircle(ccVector<2>(x, y), 7.5), props, l);
          break;
        case 2:
          recorder.draw(ccPolygon({ccVector<2>(x, y), ccVector<2>(x + 9, y),
                                   ccVector<2>(x + 9, y + 9), ccVector<2>(x, y + 9)}),
                        props, l);
          break;
        case 3:
          recorder.draw(ccRect(ccVector<2>(x, y), ccVector<2>(12, 8)), props, l);
          break;
        case 4:
          recorder.draw(std::string("label"), ccPoint(x, y), props.penColor(), ccColor(),
                        ccUIFormat(), l);
          break;
        case 5:
          recorder.draw(ccPoint(x, y), props, l);
          break;
        case 6:
          recorder.draw(ccEllipse(ccVector<2>(x, y), ccVector<2>(9, 4), ccRadian(0.3)), props, l);
          break;
        case 7:
          recorder.draw(
              ccPolyline({ccVector<2>(x, y), ccVector<2>(x + 3, y + 9), ccVector<2>(x + 6, y)}),
              props, l);
          break;
        case 8:
          recorder.draw(ccCross(ccVector<2>(x, y), ccRadian(0.5), 5), props, l);
          break;
        default:
          recorder.drawTo(ccPoint(x + 1, y + 1), props, l);
          break;
      }
    }
    return recorder.sketch();
  }();
  return sketch;
}

void replay(benchmark::State& state, ccUITablet::Layers layer) {
  const ccUISketch& sketch = mixedSketch();
  ccNullScope image(ccUIRect(0, 0, 1024, 1024)), overlay(ccUIRect(0, 0, 1024, 1024));
  ccUITablet tablet(&image, &overlay);
  tablet.visible(true);
  tablet.baseMap(ccXform<2>(ccMatrix<2>(1.5, 0, 0, 1.5), ccVector<2>(3, 4)));
  for (auto _ : state) tablet.draw(sketch, ccPoint(0.5, 0.25), layer);
  state.counters["ops_per_second"] =
      benchmark::Counter(static_cast<double>(kOperations) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
  state.counters["stream_MB"] = static_cast<double>(sketch.length()) / 1e6;
}

// Every operation parsed and drawn.
void BM_SketchReplayMixed(benchmark::State& state) { replay(state, ccUITablet::eOverlayLayer); }
BENCHMARK(BM_SketchReplayMixed)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Every operation parsed, none drawn (they were recorded on the other layer).
void BM_SketchReplayParseOnly(benchmark::State& state) { replay(state, ccUITablet::eImageLayer); }
BENCHMARK(BM_SketchReplayParseOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
