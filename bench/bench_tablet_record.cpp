// Recording on the tablet against Cairo's recording surface, and the cost of drawing through a
// tablet onto a scope that does nothing.
//
// Recording: a detached tablet (no scope, recordOn) records N shapes per iteration through the
// colour form; the sketch is emptied between iterations and keeps its buffer, as a tablet that
// records frame after frame does. Cairo records the same shapes into a recording surface
// (move-to / line-to / stroke), a new surface per iteration.
//
// Drawing: a visible root tablet over ccNullScope with recording off maps each segment and calls
// the scope's line-segment slot.
#include <dispc/nullscope.h>
#include <dispc/tablet.h>

#include <benchmark/benchmark.h>

#ifdef DISPC_BENCH_WITH_CAIRO
#include <cairo.h>
#endif

#include <cmath>
#include <vector>

namespace {

constexpr int kShapes = 10000;

std::vector<ccLineSeg> segments() {
  std::vector<ccLineSeg> v;
  v.reserve(kShapes);
  for (int i = 0; i < kShapes; ++i) {
    const double t = i * 0.01;
    v.emplace_back(ccVector<2>(100 + 50 * std::cos(t), 100 + 50 * std::sin(t)),
                   ccVector<2>(300 + 40 * std::sin(t), 200 + 40 * std::cos(t)));
  }
  return v;
}

std::vector<ccVector<2>> ring(int n) {
  std::vector<ccVector<2>> v;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * ccPi * i / n;
    v.emplace_back(200 + 100 * std::cos(a), 200 + 80 * std::sin(a));
  }
  return v;
}

void finish(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kShapes);
  state.counters["ns_per_shape"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kShapes,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// ---- Recording on a detached tablet

void BM_TabletRecordLineSeg(benchmark::State& state) {
  const std::vector<ccLineSeg> segs = segments();
  ccUITablet tablet;
  const ccColor red = ccColor::redColor();
  for (auto _ : state) {
    tablet.sketch().erase();
    for (const ccLineSeg& s : segs) tablet.draw(s, red, ccUITablet::eOverlayLayer);
    benchmark::DoNotOptimize(tablet.sketch().data());
  }
  finish(state);
}
BENCHMARK(BM_TabletRecordLineSeg);

void BM_TabletRecordCircle(benchmark::State& state) {
  std::vector<ccCircle> circles;
  for (int i = 0; i < kShapes; ++i) circles.emplace_back(ccVector<2>(i % 640, i % 480), 5 + i % 7);
  ccUITablet tablet;
  const ccColor red = ccColor::redColor();
  for (auto _ : state) {
    tablet.sketch().erase();
    for (const ccCircle& c : circles) tablet.draw(c, red, ccUITablet::eOverlayLayer);
    benchmark::DoNotOptimize(tablet.sketch().data());
  }
  finish(state);
}
BENCHMARK(BM_TabletRecordCircle);

void BM_TabletRecordPolygon100(benchmark::State& state) {
  const ccPolygon polygon(ring(100));
  ccUITablet tablet;
  const ccColor red = ccColor::redColor();
  for (auto _ : state) {
    tablet.sketch().erase();
    for (int i = 0; i < kShapes; ++i) tablet.draw(polygon, red, ccUITablet::eOverlayLayer);
    benchmark::DoNotOptimize(tablet.sketch().data());
  }
  finish(state);
}
BENCHMARK(BM_TabletRecordPolygon100);

// ---- Drawing through a tablet onto a scope that does nothing

void BM_TabletDrawLineSegNullScope(benchmark::State& state) {
  const std::vector<ccLineSeg> segs = segments();
  ccNullScope image, overlay;
  ccUITablet tablet(&image, &overlay);
  tablet.baseMap(ccXform<2>(ccMatrix<2>(1.5, 0.1, -0.1, 1.5), ccVector<2>(3, 4)));
  tablet.visible(true);
  const ccColor red = ccColor::redColor();
  for (auto _ : state) {
    for (const ccLineSeg& s : segs) tablet.draw(s, red, ccUITablet::eOverlayLayer);
  }
  finish(state);
}
BENCHMARK(BM_TabletDrawLineSegNullScope);

// Drawing and recording at once: what an application that keeps its overlay pays.
void BM_TabletDrawAndRecordLineSegNullScope(benchmark::State& state) {
  const std::vector<ccLineSeg> segs = segments();
  ccNullScope image, overlay;
  ccUITablet tablet(&image, &overlay);
  tablet.visible(true);
  tablet.recordOn() = true;
  const ccColor red = ccColor::redColor();
  for (auto _ : state) {
    tablet.sketch().erase();
    for (const ccLineSeg& s : segs) tablet.draw(s, red, ccUITablet::eOverlayLayer);
  }
  finish(state);
}
BENCHMARK(BM_TabletDrawAndRecordLineSegNullScope);

#ifdef DISPC_BENCH_WITH_CAIRO
// ---- Cairo's recording surface, the same shapes

template <class Record>
void cairoRecord(benchmark::State& state, Record&& record) {
  for (auto _ : state) {
    cairo_surface_t* surface = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_set_line_width(cr, 1);
    record(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  finish(state);
}

void BM_CairoRecordLineSeg(benchmark::State& state) {
  const std::vector<ccLineSeg> segs = segments();
  cairoRecord(state, [&](cairo_t* cr) {
    for (const ccLineSeg& s : segs) {
      cairo_move_to(cr, s.p1().x(), s.p1().y());
      cairo_line_to(cr, s.p2().x(), s.p2().y());
      cairo_stroke(cr);
    }
  });
}
BENCHMARK(BM_CairoRecordLineSeg);

void BM_CairoRecordCircle(benchmark::State& state) {
  cairoRecord(state, [&](cairo_t* cr) {
    for (int i = 0; i < kShapes; ++i) {
      cairo_new_sub_path(cr);
      cairo_arc(cr, i % 640, i % 480, 5 + i % 7, 0, 2 * ccPi);
      cairo_stroke(cr);
    }
  });
}
BENCHMARK(BM_CairoRecordCircle);

void BM_CairoRecordPolygon100(benchmark::State& state) {
  const std::vector<ccVector<2>> v = ring(100);
  cairoRecord(state, [&](cairo_t* cr) {
    for (int i = 0; i < kShapes; ++i) {
      cairo_move_to(cr, v[0].x(), v[0].y());
      for (std::size_t k = 1; k < v.size(); ++k) cairo_line_to(cr, v[k].x(), v[k].y());
      cairo_close_path(cr);
      cairo_stroke(cr);
    }
  });
}
BENCHMARK(BM_CairoRecordPolygon100);
#endif

}  // namespace
