// Resolving crossing SMD polygons: crossingPolysResolve against the plain walk that asks
// intersection_ of every kept polygon, and against copying the list (the floor: every kept
// polygon is copied once). The inputs are n closed polygons, rectangles and triangles with
// rounded corners of sizes 2 to 12, scattered over a square sized so that about one in five
// crosses another; the walk is quadratic in n either way, what differs is the cost of a pair
// that cannot meet.
#include <dispc/smd/poly.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <list>
#include <random>
#include <vector>

namespace {

using Poly = ccSMDGDPoly;
using Private = ccSMDGDPolyPrivate;

std::list<Poly> scattered(int n) {
  std::mt19937 rng(static_cast<unsigned>(n));
  std::uniform_real_distribution<double> place(0, 14.0 * std::sqrt(n)), size(2, 12);
  std::list<Poly> polys;
  for (int i = 0; i < n; ++i) {
    const ccVector<2> c(place(rng), place(rng));
    const double w = size(rng), h = size(rng);
    Poly p = i % 2 ? Poly::rectangle(w, h, c) : Poly::triangle(w, h, c);
    for (long v = 0; v < p.numVertices(); ++v) {
      ccSMDGDPolyVertex rounded = p.vertex(v);
      rounded.vertexRadius(0.3);
      p.replaceVertex(v, rounded);
    }
    polys.push_back(p);
  }
  return polys;
}

// The walk as it reads, without the boxes and cached perimeters.
void plainResolve(std::list<Poly>& out, const std::list<Poly>& in) {
  out.clear();
  for (const Poly& a : in) {
    const double pa = Private::perimeter(a);
    bool keep = true;
    std::vector<std::list<Poly>::iterator> crossed;
    for (auto b = out.begin(); keep && b != out.end(); ++b) {
      if (Private::intersection_(a, *b).empty()) continue;
      crossed.push_back(b);
      if (pa <= Private::perimeter(*b)) keep = false;
    }
    if (!keep) continue;
    for (auto b : crossed) out.erase(b);
    out.push_back(a);
  }
}

template <class Resolve>
void run(benchmark::State& state, Resolve resolve) {
  const std::list<Poly> in = scattered(static_cast<int>(state.range(0)));
  std::list<Poly> out;
  for (auto _ : state) {
    resolve(out, in);
    benchmark::DoNotOptimize(out);
  }
  state.counters["kept"] = static_cast<double>(out.size());
}

void BM_CrossingPolysResolve(benchmark::State& state) {
  run(state, [](std::list<Poly>& out, const std::list<Poly>& in) {
    Private::crossingPolysResolve(out, in);
  });
}
void BM_PlainResolve(benchmark::State& state) { run(state, plainResolve); }
void BM_CopyList(benchmark::State& state) {
  run(state, [](std::list<Poly>& out, const std::list<Poly>& in) { out = in; });
}

BENCHMARK(BM_CrossingPolysResolve)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainResolve)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyList)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
