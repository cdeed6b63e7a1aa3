// 10,000 line segments drawn through a tablet onto the Cairo raster scope, against the same
// segments drawn by direct Cairo calls (move-to, line-to, stroke, same pen and antialiasing) on
// the same kind of surface. The difference is what the tablet, the scope's mapping and its change
// tracking cost on top of Cairo's own rasterising.
#include <backends/cairo/cairoimage.h>
#include <dispc/tablet.h>

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kSegments = 10000;

std::vector<ccLineSeg> segments() {
  std::vector<ccLineSeg> v;
  v.reserve(kSegments);
  for (int i = 0; i < kSegments; ++i) {
    const double t = i * 0.013;
    v.emplace_back(ccVector<2>(320 + 200 * std::cos(t), 240 + 200 * std::sin(t)),
                   ccVector<2>(320 + 30 * std::sin(3 * t), 240 + 30 * std::cos(2 * t)));
  }
  return v;
}

void finish(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * kSegments); }

void BM_TabletOnCairoRaster(benchmark::State& state) {
  const std::vector<ccLineSeg> segs = segments();
  ccCairoImageScope scope(640, 480);
  scope.antialias(state.range(0) != 0);
  ccUITablet tablet(&scope, nullptr);
  tablet.visible(true);
  const ccColor red = ccColor::redColor();
  for (auto _ : state) {
    for (const ccLineSeg& s : segs) tablet.draw(s, red, ccUITablet::eImageLayer);
    cairo_surface_flush(scope.surface());
  }
  finish(state);
}
BENCHMARK(BM_TabletOnCairoRaster)->Arg(0)->Arg(1);

void BM_DirectCairoRaster(benchmark::State& state) {
  const std::vector<ccLineSeg> segs = segments();
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480);
  cairo_t* cr = cairo_create(surface);
  cairo_set_antialias(cr, state.range(0) != 0 ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(cr, 1);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  for (auto _ : state) {
    for (const ccLineSeg& s : segs) {
      cairo_set_source_rgb(cr, 1, 0, 0);
      cairo_move_to(cr, s.p1().x() + 0.5, s.p1().y() + 0.5);
      cairo_line_to(cr, s.p2().x() + 0.5, s.p2().y() + 0.5);
      cairo_stroke(cr);
    }
    cairo_surface_flush(surface);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  finish(state);
}
BENCHMARK(BM_DirectCairoRaster)->Arg(0)->Arg(1);

}  // namespace
