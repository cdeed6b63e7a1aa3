// Recording line segments into a ccUISketch against a plain doubling-buffer append of the same
// bytes.
//
// One operation is what the tablet records for draw(ccLineSeg, props) with unchanged props: the
// props prefix check (equal props: nothing written), the 8-byte opcode record and the 32-byte
// payload of four doubles. The baselines append the same 40 bytes per operation to a
// std::vector<unsigned char> and to a hand-rolled malloc/realloc doubling buffer.
//
// "Fresh" cases start each iteration from an empty buffer (growth included); "Reused" cases
// empty it and keep its capacity (steady state). "InPlace" encodes straight into the buffer.
#include <dispc/uisketch.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int kOps = 100000;
constexpr std::size_t kOpBytes = 8 + 32;

// Non-default props, as a tablet would have them while recording.
ccGraphicProps benchProps() {
  ccGraphicProps p(ccColor::redColor(), 2);
  p.arrowHead(false);
  return p;
}

// The 40 bytes of one operation, encoded byte-wise little-endian for the baselines.
inline void encodeOp(unsigned char* out, const ccColor& c, double x0, double y0, double x1,
                     double y1) {
  out[0] = 2;
  out[1] = 1;
  cfSketchStoreColor(out + 2, c);
  cfSketchStoreDouble(out + 8, x0);
  cfSketchStoreDouble(out + 16, y0);
  cfSketchStoreDouble(out + 24, x1);
  cfSketchStoreDouble(out + 32, y1);
}

inline void recordOps(ccUISketch& s, const ccGraphicProps& props) {
  for (int i = 0; i < kOps; ++i) {
    const double d = i;
    s.opcode(40, props);
    s.opcode(2, 1, props.penColor());
    unsigned char* p = s.append(32L);
    cfSketchStoreDouble(p, d);
    cfSketchStoreDouble(p + 8, d + 1);
    cfSketchStoreDouble(p + 16, d + 2);
    cfSketchStoreDouble(p + 24, d + 3);
  }
}

// The same bytes, with the record and the payload reserved at once.
inline void recordOpsAtOnce(ccUISketch& s, const ccGraphicProps& props) {
  for (int i = 0; i < kOps; ++i) {
    const double d = i;
    s.opcode(40, props);
    unsigned char* p = s.opcode(2, 1, props.penColor(), 32L);
    cfSketchStoreDouble(p, d);
    cfSketchStoreDouble(p + 8, d + 1);
    cfSketchStoreDouble(p + 16, d + 2);
    cfSketchStoreDouble(p + 24, d + 3);
  }
}

inline void appendOps(std::vector<unsigned char>& v, const ccColor& c) {
  for (int i = 0; i < kOps; ++i) {
    const double d = i;
    unsigned char op[kOpBytes];
    encodeOp(op, c, d, d + 1, d + 2, d + 3);
    v.insert(v.end(), op, op + kOpBytes);
  }
}

// A minimal doubling byte buffer.
struct PlainBuffer {
  unsigned char* data = nullptr;
  std::size_t size = 0, capacity = 0;
  ~PlainBuffer() { std::free(data); }
  unsigned char* reserve(std::size_t n) {
    if (capacity - size < n) grow(n);
    unsigned char* p = data + size;
    size += n;
    return p;
  }
  void grow(std::size_t n) {
    const std::size_t want = std::max(size + n, 2 * capacity);
    void* p = std::realloc(data, want);
    if (!p) throw std::bad_alloc();
    data = static_cast<unsigned char*>(p);
    capacity = want;
  }
  void append(const unsigned char* src, std::size_t n) { std::memcpy(reserve(n), src, n); }
};

// Encodes each operation straight into the buffer (no staging copy).
inline void appendOpsInPlace(PlainBuffer& b, const ccColor& c) {
  for (int i = 0; i < kOps; ++i) {
    const double d = i;
    encodeOp(b.reserve(kOpBytes), c, d, d + 1, d + 2, d + 3);
  }
}

inline void appendOps(PlainBuffer& b, const ccColor& c) {
  for (int i = 0; i < kOps; ++i) {
    const double d = i;
    unsigned char op[kOpBytes];
    encodeOp(op, c, d, d + 1, d + 2, d + 3);
    b.append(op, kOpBytes);
  }
}

void setCounters(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kOps * kOpBytes);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kOps);
}

void BM_SketchFresh(benchmark::State& state) {
  const ccGraphicProps props = benchProps();
  for (auto _ : state) {
    ccUISketch s;
    recordOps(s, props);
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  setCounters(state);
}
BENCHMARK(BM_SketchFresh);

void BM_VectorFresh(benchmark::State& state) {
  const ccColor c = benchProps().penColor();
  for (auto _ : state) {
    std::vector<unsigned char> v;
    appendOps(v, c);
    benchmark::DoNotOptimize(v.data());
    benchmark::ClobberMemory();
  }
  setCounters(state);
}
BENCHMARK(BM_VectorFresh);

void BM_PlainBufferFresh(benchmark::State& state) {
  const ccColor c = benchProps().penColor();
  for (auto _ : state) {
    PlainBuffer b;
    appendOps(b, c);
    benchmark::DoNotOptimize(b.data);
    benchmark::ClobberMemory();
  }
  setCounters(state);
}
BENCHMARK(BM_PlainBufferFresh);

void BM_PlainBufferInPlaceFresh(benchmark::State& state) {
  const ccColor c = benchProps().penColor();
  for (auto _ : state) {
    PlainBuffer b;
    appendOpsInPlace(b, c);
    benchmark::DoNotOptimize(b.data);
    benchmark::ClobberMemory();
  }
  setCounters(state);
}
BENCHMARK(BM_PlainBufferInPlaceFresh);

void BM_SketchReused(benchmark::State& state) {
  const ccGraphicProps props = benchProps();
  ccUISketch s;
  s.opcode(40, props);
  for (auto _ : state) {
    s.remove(ccUISketchMark(), s.mark());  // empty, keeping the buffer and the current props
    recordOps(s, props);
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  setCounters(state);
}
BENCHMARK(BM_SketchReused);

void BM_SketchAtOnceReused(benchmark::State& state) {
  const ccGraphicProps props = benchProps();
  ccUISketch s;
  s.opcode(40, props);
  for (auto _ : state) {
    s.remove(ccUISketchMark(), s.mark());
    recordOpsAtOnce(s, props);
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  setCounters(state);
}
BENCHMARK(BM_SketchAtOnceReused);

void BM_VectorReused(benchmark::State& state) {
  const ccColor c = benchProps().penColor();
  std::vector<unsigned char> v;
  for (auto _ : state) {
    v.clear();
    appendOps(v, c);
    benchmark::DoNotOptimize(v.data());
    benchmark::ClobberMemory();
  }
  setCounters(state);
}
BENCHMARK(BM_VectorReused);

void BM_PlainBufferReused(benchmark::State& state) {
  const ccColor c = benchProps().penColor();
  PlainBuffer b;
  for (auto _ : state) {
    b.size = 0;
    appendOps(b, c);
    benchmark::DoNotOptimize(b.data);
    benchmark::ClobberMemory();
  }
  setCounters(state);
}
BENCHMARK(BM_PlainBufferReused);

void BM_PlainBufferInPlaceReused(benchmark::State& state) {
  const ccColor c = benchProps().penColor();
  PlainBuffer b;
  for (auto _ : state) {
    b.size = 0;
    appendOpsInPlace(b, c);
    benchmark::DoNotOptimize(b.data);
    benchmark::ClobberMemory();
  }
  setCounters(state);
}
BENCHMARK(BM_PlainBufferInPlaceReused);

}  // namespace
