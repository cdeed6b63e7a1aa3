// The scope's zoom workers against OpenCV (one thread) and against the memory limit (memset of
// the destination bytes).
//
// Cases, all 8-bit:
//   replication  pelExpand of a 1024 x 1024 image by 2 and by 3, against cv::resize
//                INTER_NEAREST to the same size;
//   reduction    pelScale of a 2048 x 2048 image by 0.5 (the nearest-sample path), against
//                cv::resize INTER_NEAREST;
//   smoothing    pelScale of a 512 x 512 image by 2.5 with bilinear interpolation into
//                1280 x 1280, against cv::warpAffine INTER_LINEAR of the same output size.
// Like OpenCV's, our destination is made once: the workers write into dst's own pels when dst
// alone holds a buffer of the result's shape, as a back end keeping its zoom buffer does. The
// replication is also measured with a new buffer on every call (".../fresh:1"), which adds
// allocating and clearing it.
#include <backends/trace/tracescope.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#ifdef DISPC_BENCH_WITH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

// A scope whose zoom workers can be called from here.
class BenchScope : public ccTraceScope {
 public:
  using ccUIScope::pelExpand;
  using ccUIScope::pelScale;
};

// A textured source: noise, so that no value pattern is special.
ccPelBuffer<unsigned char> makeSource(long size) {
  ccPelBuffer<unsigned char> b(size, size, 64);
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> v(0, 255);
  for (long y = 0; y < size; ++y) {
    unsigned char* row = b.pointToRow(y);
    for (long x = 0; x < size; ++x) row[x] = static_cast<unsigned char>(v(rng));
  }
  return b;
}

const ccPelBuffer<unsigned char>& source(long size) {
  static const ccPelBuffer<unsigned char> s512 = makeSource(512), s1024 = makeSource(1024),
                                          s2048 = makeSource(2048);
  return size == 512 ? s512 : size == 1024 ? s1024 : s2048;
}

constexpr long kExpandSource = 1024;
constexpr long kReduceSource = 2048;
constexpr long kSmoothSource = 512;
constexpr long kSmoothDestination = 1280;  // 512 x 2.5

// ---- Ours

void BM_PelExpand(benchmark::State& state) {
  const long f = state.range(0), n = kExpandSource * f;
  const bool fresh = state.range(1) != 0;
  BenchScope scope;
  ccPelBuffer<unsigned char> dst;
  for (auto _ : state) {
    if (fresh) dst = ccPelBuffer<unsigned char>();
    ccUIRect r(0, 0, n, n);
    scope.pelExpand(source(kExpandSource), dst, f, f, r, ccPair<long>(0, 0));
    benchmark::DoNotOptimize(dst.pointToRow(0));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_PelExpand)
    ->ArgNames({"factor", "fresh"})
    ->Args({2, 0})
    ->Args({3, 0})
    ->Args({2, 1})
    ->Args({3, 1})
    ->Unit(benchmark::kMicrosecond);

void BM_PelScale_Reduce(benchmark::State& state) {
  BenchScope scope;
  ccPelBuffer<unsigned char> dst;
  const long n = kReduceSource / 2;
  for (auto _ : state) {
    ccUIRect r(0, 0, n, n);
    scope.pelScale(source(kReduceSource), dst, 0.5, r, ccPair<long>(0, 0),
                   ccUIScope::eNoInterpolation);
    benchmark::DoNotOptimize(dst.pointToRow(0));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_PelScale_Reduce)->Unit(benchmark::kMicrosecond);

void BM_PelScale_Smooth(benchmark::State& state) {
  BenchScope scope;
  ccPelBuffer<unsigned char> dst;
  const long n = kSmoothDestination;
  for (auto _ : state) {
    ccUIRect r(0, 0, n, n);
    scope.pelScale(source(kSmoothSource), dst, 2.5, r, ccPair<long>(0, 0),
                   ccUIScope::eBilinearInterpolation);
    benchmark::DoNotOptimize(dst.pointToRow(0));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_PelScale_Smooth)->Unit(benchmark::kMicrosecond);

// ---- The memory limit: writing the destination's bytes once.

void BM_Memset(benchmark::State& state) {
  const long n = state.range(0);
  std::vector<unsigned char> dst(static_cast<std::size_t>(n * n));
  for (auto _ : state) {
    std::memset(dst.data(), static_cast<int>(state.iterations() & 0xFF), dst.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * n * n);
}
// The destinations of the cases above: by 2, by 3, the reduction, the smoothing.
BENCHMARK(BM_Memset)
    ->Arg(kExpandSource * 2)
    ->Arg(kExpandSource * 3)
    ->Arg(kReduceSource / 2)
    ->Arg(kSmoothDestination)
    ->Unit(benchmark::kMicrosecond);

#ifdef DISPC_BENCH_WITH_OPENCV
cv::Mat matOf(const ccPelBuffer<unsigned char>& b) {
  return cv::Mat(static_cast<int>(b.height()), static_cast<int>(b.width()), CV_8UC1,
                 const_cast<unsigned char*>(b.pointToRow(0)),
                 static_cast<std::size_t>(b.rowUpdate()));
}

void resizeNearest(benchmark::State& state, long srcSize, long dstSize) {
  cv::setNumThreads(1);
  const cv::Mat src = matOf(source(srcSize));
  const int n = static_cast<int>(dstSize);
  cv::Mat dst(n, n, CV_8UC1);
  for (auto _ : state) {
    cv::resize(src, dst, cv::Size(n, n), 0, 0, cv::INTER_NEAREST);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * dstSize * dstSize);
}

void BM_OpenCV_Resize_Enlarge(benchmark::State& state) {
  resizeNearest(state, kExpandSource, kExpandSource * state.range(0));
}
BENCHMARK(BM_OpenCV_Resize_Enlarge)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_OpenCV_Resize_Reduce(benchmark::State& state) {
  resizeNearest(state, kReduceSource, kReduceSource / 2);
}
BENCHMARK(BM_OpenCV_Resize_Reduce)->Unit(benchmark::kMicrosecond);

void BM_OpenCV_WarpAffine_Smooth(benchmark::State& state) {
  cv::setNumThreads(1);
  const cv::Mat src = matOf(source(kSmoothSource));
  const int n = static_cast<int>(kSmoothDestination);
  // Destination pel centre (i, j) samples source pel coordinates ((i + 0.5) / 2.5 - 0.5, ...),
  // as our sampler does.
  const double inv = 1.0 / 2.5, shift = 0.5 * inv - 0.5;
  const double m[6] = {inv, 0, shift, 0, inv, shift};
  const cv::Mat M(2, 3, CV_64F, const_cast<double*>(m));
  cv::Mat dst(n, n, CV_8UC1);
  for (auto _ : state) {
    cv::warpAffine(src, dst, M, dst.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                   cv::BORDER_CONSTANT, cv::Scalar(128));
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * n * n);
}
BENCHMARK(BM_OpenCV_WarpAffine_Smooth)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
