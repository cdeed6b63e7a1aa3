// Synthetic drawing of SMD polygons into a 2048 x 2048 image, beside cv::fillPoly of the same
// straight outline (when OpenCV is installed), memset of the outline's bounding box and the
// literal per-row scan line for scale.
//
// Outlines: "star1000", 1,000 vertices at sorted random angles and random radii between 400
// and 1,000 pels around the image centre (many narrow spikes, about 40 crossings a row);
// "rounded50", 50 vertices at nearly even angles, radii alternating near 600 and near 1,000,
// each rounded with radius 20. Vertices
// lie on a 1/256 pel grid so that OpenCV draws the same outline with 8 fractional bits;
// fillPoly of the rounded outline fills the polygon of its 50 vertices before rounding.
// Ours: drawSynthetic as a caller uses it (fill and outline), and the fill alone.
#include <dispc/smd/poly.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "smdliteralfill.h"

#if DISPC_BENCH_WITH_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace {

using V2 = ccVector<2>;
constexpr long kSide = 2048;

// Sorted random angles, or for `even` evenly spaced ones with radii alternating between the
// lower and the upper tenth of [rMin, 1000].
std::vector<V2> starPoints(int n, double rMin, bool even) {
  std::mt19937 rng(static_cast<unsigned>(n));
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<double> angles(static_cast<std::size_t>(n));
  for (std::size_t i = 0; i < angles.size(); ++i)
    angles[i] = even ? (i + 0.3 * unit(rng)) * 2 * ccPi / n : unit(rng) * 2 * ccPi;
  std::sort(angles.begin(), angles.end());
  std::vector<V2> pts;
  for (std::size_t i = 0; i < angles.size(); ++i) {
    const double band = even ? 0.1 * unit(rng) + (i % 2 ? 0.9 : 0) : unit(rng);
    const V2 p = V2(1024, 1024) + V2::polar(rMin + (1000 - rMin) * band, ccRadian(angles[i]));
    pts.emplace_back(std::round(p.x() * 256) / 256, std::round(p.y() * 256) / 256);
  }
  return pts;
}

ccSMDGDPoly polygon(const std::vector<V2>& pts, double radius) {
  std::vector<ccSMDGDPolyVertex> v;
  for (const V2& p : pts) v.emplace_back(p, radius, ccDegree(0), 0.5, 0.5, -1, ccDimTol());
  ccSMDGDPoly poly;
  poly.vertices(v);
  poly.close();
  return poly;
}

struct Case {
  Case(int n, double rMin, bool even, double radius)
      : points(starPoints(n, rMin, even)), poly(polygon(points, radius)) {}
  std::vector<V2> points;
  ccSMDGDPoly poly;
};

// 0: star1000, 1: rounded50.
const Case& pick(int which) {
  static const Case star(1000, 400, false, 0), rounded(50, 600, true, 20);
  return which == 0 ? star : rounded;
}
const char* name(int which) { return which == 0 ? "star1000" : "rounded50"; }

void BM_DrawSynthetic(benchmark::State& state) {
  const Case& c = pick(static_cast<int>(state.range(0)));
  state.SetLabel(name(static_cast<int>(state.range(0))));
  ccPelBuffer<unsigned char> image(kSide, kSide);
  for (auto _ : state) {
    c.poly.drawSynthetic(ccXform<2>(), image);
    benchmark::DoNotOptimize(image.pointToRow(0));
  }
}
BENCHMARK(BM_DrawSynthetic)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_FillOnly(benchmark::State& state) {
  const Case& c = pick(static_cast<int>(state.range(0)));
  state.SetLabel(name(static_cast<int>(state.range(0))));
  ccPelBuffer<unsigned char> image(kSide, kSide);
  for (auto _ : state) {
    ccSMDGDPolyPrivate::drawSynthetic(c.poly, ccXform<2>(), image, 200, false, true);
    benchmark::DoNotOptimize(image.pointToRow(0));
  }
}
BENCHMARK(BM_FillOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One memset per row of the outline's bounding box: the bytes a fill of that box writes.
void BM_MemsetBoundingBox(benchmark::State& state) {
  const Case& c = pick(static_cast<int>(state.range(0)));
  state.SetLabel(name(static_cast<int>(state.range(0))));
  const ccRect box = c.poly.boundingBox();
  const long x0 = static_cast<long>(box.ul().x()), x1 = static_cast<long>(box.lr().x());
  const long y0 = static_cast<long>(box.ul().y()), y1 = static_cast<long>(box.lr().y());
  ccPelBuffer<unsigned char> image(kSide, kSide);
  for (auto _ : state) {
    for (long y = y0; y < y1; ++y)
      std::memset(image.pointToPel(x0, y), 200, static_cast<std::size_t>(x1 - x0));
    benchmark::DoNotOptimize(image.pointToRow(0));
  }
}
BENCHMARK(BM_MemsetBoundingBox)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_LiteralScanLine(benchmark::State& state) {
  const Case& c = pick(static_cast<int>(state.range(0)));
  state.SetLabel(name(static_cast<int>(state.range(0))));
  ccPelBuffer<unsigned char> image(kSide, kSide);
  for (auto _ : state) {
    literalSMDFill(c.poly, ccXform<2>(), image, 200);
    benchmark::DoNotOptimize(image.pointToRow(0));
  }
}
BENCHMARK(BM_LiteralScanLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

#if DISPC_BENCH_WITH_OPENCV
// The same outline: OpenCV puts pel centres on whole coordinates, ours half a pel further.
void BM_OpenCVFillPoly(benchmark::State& state) {
  const Case& c = pick(static_cast<int>(state.range(0)));
  state.SetLabel(name(static_cast<int>(state.range(0))));
  constexpr int kShift = 8;
  std::vector<cv::Point> pts;
  for (const V2& p : c.points)
    pts.emplace_back(static_cast<int>(std::lround((p.x() - 0.5) * (1 << kShift))),
                     static_cast<int>(std::lround((p.y() - 0.5) * (1 << kShift))));
  const cv::Point* rings[] = {pts.data()};
  const int counts[] = {static_cast<int>(pts.size())};
  cv::Mat image(static_cast<int>(kSide), static_cast<int>(kSide), CV_8UC1, cv::Scalar(0));
  for (auto _ : state) {
    cv::fillPoly(image, rings, counts, 1, cv::Scalar(200), cv::LINE_8, kShift);
    benchmark::DoNotOptimize(image.data);
  }
}
BENCHMARK(BM_OpenCVFillPoly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
