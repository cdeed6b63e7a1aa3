// cfAffineTransformImage against OpenCV's warpAffine (one thread) and against the memory
// limit (memset and memcpy of the destination bytes).
//
// Case: a 512 x 512 8-bit source scaled by 2.5 into a 1280 x 1280 destination, and the same
// scale turned by 30 degrees (which takes the general, non-separable path). When OpenCV is
// built in, each OpenCV case also reports the largest difference between the two results
// over the pels we compute ("maxdiff", grey levels).
#include <core/affinesample.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#ifdef DISPC_BENCH_WITH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr long kSrc = 512;
constexpr long kDst = 1280;
constexpr double kScale = static_cast<double>(kDst) / kSrc;  // 2.5

using Params = ccAffineSamplingParams;

// A textured source: smooth shading plus noise, so that no value pattern is special.
const ccPelBuffer<unsigned char>& source() {
  static const ccPelBuffer<unsigned char> src = [] {
    ccPelBuffer<unsigned char> b(kSrc, kSrc, 64);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> noise(-20, 20);
    for (long y = 0; y < kSrc; ++y)
      for (long x = 0; x < kSrc; ++x) {
        const int v = 128 + static_cast<int>(90 * std::sin(x * 0.05) * std::cos(y * 0.03));
        b.set(x, y, static_cast<unsigned char>(std::clamp(v + noise(rng), 0, 255)));
      }
    return b;
  }();
  return src;
}

// The sampling: destination pel (i, j) samples source pel coordinates b + i ux + j uy.
struct Geometry {
  double angle;  // radians
  Params params(Params::Interpolation m) const {
    const double c = std::cos(angle), s = std::sin(angle);
    // The destination's axes in source coordinates, turned about the source centre.
    const ccVector<2> centre(kSrc / 2.0, kSrc / 2.0);
    const ccVector<2> ax(c * kSrc, s * kSrc), ay(-s * kSrc, c * kSrc);
    const ccVector<2> o = centre - 0.5 * ax - 0.5 * ay;
    return Params(o, o + ax, o + ay, kDst, kDst, m);
  }
  // The same map for warpAffine with WARP_INVERSE_MAP: destination pel centre (i, j) to
  // source pel coordinates (centres at integers).
  void inverseMatrix(double m[6]) const {
    const Params p = params(Params::eBilinear);
    const ccVector<2> ux = (p.xCorner() - p.origin()) / static_cast<double>(kDst);
    const ccVector<2> uy = (p.yCorner() - p.origin()) / static_cast<double>(kDst);
    const ccVector<2> b = p.origin() + 0.5 * ux + 0.5 * uy - ccVector<2>(0.5, 0.5);
    m[0] = ux.x(), m[1] = uy.x(), m[2] = b.x();
    m[3] = ux.y(), m[4] = uy.y(), m[5] = b.y();
  }
};

const Geometry kScaled{0.0};
const Geometry kTurned{30.0 * 3.14159265358979323846 / 180.0};

void runOurs(benchmark::State& state, const Geometry& g, Params::Interpolation m) {
  const Params p = g.params(m);
  ccPelBuffer<unsigned char> dst(kDst, kDst, 64);
  for (auto _ : state) {
    ccAffineSampledRect r = cfAffineTransformImage(source(), p, dst);
    benchmark::DoNotOptimize(r);
    benchmark::DoNotOptimize(dst.pointToRow(0));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kDst * kDst);
}

void BM_Ours_Bilinear_Scale(benchmark::State& s) { runOurs(s, kScaled, Params::eBilinear); }
void BM_Ours_Bilinear_Turned(benchmark::State& s) { runOurs(s, kTurned, Params::eBilinear); }
void BM_Ours_Nearest_Scale(benchmark::State& s) { runOurs(s, kScaled, Params::eNearest); }
void BM_Ours_Bicubic_Scale(benchmark::State& s) { runOurs(s, kScaled, Params::eBicubic); }
BENCHMARK(BM_Ours_Bilinear_Scale)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ours_Bilinear_Turned)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ours_Nearest_Scale)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ours_Bicubic_Scale)->Unit(benchmark::kMicrosecond);

// The memory limit: writing (memset) and copying (memcpy) the destination's bytes.
void BM_Memset_Destination(benchmark::State& state) {
  std::vector<unsigned char> dst(kDst * kDst);
  for (auto _ : state) {
    std::memset(dst.data(), static_cast<int>(state.iterations() & 0xFF), dst.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kDst * kDst);
}
void BM_Memcpy_Destination(benchmark::State& state) {
  std::vector<unsigned char> src(kDst * kDst, 1), dst(kDst * kDst);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), dst.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kDst * kDst);
}
BENCHMARK(BM_Memset_Destination)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy_Destination)->Unit(benchmark::kMicrosecond);

#ifdef DISPC_BENCH_WITH_OPENCV
// Largest difference between our result and OpenCV's over the pels we compute.
int maxDifference(const cv::Mat& theirs, const Geometry& g, Params::Interpolation m) {
  ccPelBuffer<unsigned char> ours;
  const ccAffineSampledRect r = cfAffineTransformImage(source(), g.params(m), ours);
  int worst = 0;
  for (long j = r.y; j < r.y + r.height; ++j)
    for (long i = r.x; i < r.x + r.width; ++i) {
      // For turned rectangles the rectangle bounds the computed pels: skip fill pels.
      if (g.angle != 0 && ours.get(i, j) == 0) continue;
      worst =
          std::max(worst, std::abs(ours.get(i, j) - theirs.at<unsigned char>(static_cast<int>(j),
                                                                             static_cast<int>(i))));
    }
  return worst;
}

void runOpenCV(benchmark::State& state, const Geometry& g, int flags, Params::Interpolation m) {
  cv::setNumThreads(1);
  const ccPelBuffer<unsigned char>& s = source();
  const cv::Mat src(static_cast<int>(kSrc), static_cast<int>(kSrc), CV_8UC1,
                    const_cast<unsigned char*>(s.pointToRow(0)),
                    static_cast<std::size_t>(s.rowUpdate()));
  double m6[6];
  g.inverseMatrix(m6);
  const cv::Mat M(2, 3, CV_64F, m6);
  cv::Mat dst(static_cast<int>(kDst), static_cast<int>(kDst), CV_8UC1);
  for (auto _ : state) {
    cv::warpAffine(src, dst, M, dst.size(), flags | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT,
                   cv::Scalar(0));
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kDst * kDst);
  state.counters["maxdiff"] = maxDifference(dst, g, m);
}

void BM_OpenCV_Bilinear_Scale(benchmark::State& s) {
  runOpenCV(s, kScaled, cv::INTER_LINEAR, Params::eBilinear);
}
void BM_OpenCV_Bilinear_Turned(benchmark::State& s) {
  runOpenCV(s, kTurned, cv::INTER_LINEAR, Params::eBilinear);
}
void BM_OpenCV_Nearest_Scale(benchmark::State& s) {
  runOpenCV(s, kScaled, cv::INTER_NEAREST, Params::eNearest);
}
void BM_OpenCV_Bicubic_Scale(benchmark::State& s) {
  runOpenCV(s, kScaled, cv::INTER_CUBIC, Params::eBicubic);
}
BENCHMARK(BM_OpenCV_Bilinear_Scale)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenCV_Bilinear_Turned)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenCV_Nearest_Scale)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenCV_Bicubic_Scale)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
