// Sketch archives against the raw stream: storing a recorded sketch of line segments and
// circles into a file archive and loading it back, beside fwrite and fread of the same stream
// bytes, at 13,300, 133,000 and 1,333,000 operations. The counters give the stream and archive
// sizes; the ratios are read off the timings of the same size.
//
// With an argument, the program instead measures the peak memory of loading:
//   dispc_bench_sketch_archive --peak-memory N DIR
// records N operations, stores DIR/sketch.dca, and loads it in a child process that reports
// its peak resident memory beyond its own start-up, beside the file and stream sizes.
#include <core/archive.h>
#include <dispc/tablet.h>
#include <dispc/uisketch.h>

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// Segments and circles in turn on the overlay; the pen colour changes every two operations and
// the width every 64 (each change is a props prefix).
ccUISketch recorded(long operations) {
  ccUITablet recorder;  // detached: records only
  const ccColor colors[3] = {ccColor::redColor(), ccColor::greenColor(), ccColor::blueColor()};
  for (long i = 0; i < operations; ++i) {
    const double x = static_cast<double>(i % 997), y = static_cast<double>(i % 613);
    const ccGraphicProps props(colors[(i / 2) % 3], 1 + (i / 64) % 2);
    if (i % 2 == 0)
      recorder.draw(ccLineSeg(ccVector<2>(x, y), ccVector<2>(x + 20.5, y + 5.25)), props,
                    ccUITablet::eOverlayLayer);
    else
      recorder.draw(ccCircle(ccVector<2>(x, y), 7.5), props, ccUITablet::eOverlayLayer);
  }
  return recorder.sketch();
}

const ccUISketch& sketchOf(long operations) {
  static std::map<long, ccUISketch> sketches;
  auto it = sketches.find(operations);
  if (it == sketches.end()) it = sketches.emplace(operations, recorded(operations)).first;
  return it->second;
}

std::string path(const char* name, long operations) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir ? dir : "/tmp") + "/dispc_bench_" + std::to_string(::getpid()) + "_" +
         name + std::to_string(operations);
}

long fileSize(const std::string& p) {
  std::FILE* f = std::fopen(p.c_str(), "rb");
  if (!f) return -1;
  std::fseek(f, 0, SEEK_END);
  const long n = std::ftell(f);
  std::fclose(f);
  return n;
}

void storeArchive(const ccUISketch& s, const std::string& p) {
  ccFileArchive ar(p, ccArchive::eStoring);
  ar || const_cast<ccUISketch&>(s);
  ar.close();
}

void writeStream(const ccUISketch& s, const std::string& p) {
  std::FILE* f = std::fopen(p.c_str(), "wb");
  std::fwrite(s.data(), 1, static_cast<std::size_t>(s.length()), f);
  std::fclose(f);
}

void BM_StoreArchive(benchmark::State& state) {
  const ccUISketch& s = sketchOf(state.range(0));
  const std::string p = path("store", state.range(0));
  for (auto _ : state) storeArchive(s, p);
  state.counters["stream_bytes"] = static_cast<double>(s.length());
  state.counters["archive_bytes"] = static_cast<double>(fileSize(p));
  state.counters["archive_per_stream"] = static_cast<double>(fileSize(p)) / s.length();
  state.SetBytesProcessed(state.iterations() * s.length());
  std::remove(p.c_str());
}

void BM_FwriteStream(benchmark::State& state) {
  const ccUISketch& s = sketchOf(state.range(0));
  const std::string p = path("fwrite", state.range(0));
  for (auto _ : state) writeStream(s, p);
  state.SetBytesProcessed(state.iterations() * s.length());
  std::remove(p.c_str());
}

void BM_LoadArchive(benchmark::State& state) {
  const ccUISketch& s = sketchOf(state.range(0));
  const std::string p = path("load", state.range(0));
  storeArchive(s, p);
  for (auto _ : state) {
    ccFileArchive ar(p, ccArchive::eLoading);
    ccUISketch loaded;
    ar || loaded;
    if (loaded.length() != s.length()) state.SkipWithError("loaded another stream");
    benchmark::DoNotOptimize(loaded.data());
  }
  state.SetBytesProcessed(state.iterations() * s.length());
  std::remove(p.c_str());
}

void BM_FreadStream(benchmark::State& state) {
  const ccUISketch& s = sketchOf(state.range(0));
  const std::string p = path("fread", state.range(0));
  writeStream(s, p);
  for (auto _ : state) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(s.length()));
    std::FILE* f = std::fopen(p.c_str(), "rb");
    const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    if (n != bytes.size()) state.SkipWithError("short read");
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(state.iterations() * s.length());
  std::remove(p.c_str());
}

#define DISPC_SIZES Arg(13300)->Arg(133000)->Arg(1333000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_StoreArchive)->DISPC_SIZES;
BENCHMARK(BM_FwriteStream)->DISPC_SIZES;
BENCHMARK(BM_LoadArchive)->DISPC_SIZES;
BENCHMARK(BM_FreadStream)->DISPC_SIZES;

long peakKilobytes() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// The peak memory of loading, measured in a fresh process.
int peakMemory(long operations, const std::string& dir) {
  const std::string p = dir + "/sketch.dca";
  long stream = 0;
  {
    const ccUISketch s = recorded(operations);
    stream = s.length();
    storeArchive(s, p);
  }
  const pid_t child = fork();
  if (child == 0) {
    const long before = peakKilobytes();
    ccFileArchive ar(p, ccArchive::eLoading);
    ccUISketch loaded;
    ar || loaded;
    const long after = peakKilobytes();
    std::printf(
        "operations %ld\nstream %.2f MB\nfile %.2f MB\npeak while loading %.2f MB "
        "(beyond the %.2f MB at start)\nbound file + stream + 16 MB = %.2f MB\n",
        operations, stream / 1e6, fileSize(p) / 1e6, (after - before) * 1024 / 1e6,
        before * 1024 / 1e6, (fileSize(p) + stream) / 1e6 + 16.777216);
    std::fflush(stdout);
    std::_Exit(loaded.length() == stream ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::remove(p.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--peak-memory") == 0)
    return peakMemory(std::atol(argv[2]), argv[3]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
