// SMD polygon validation and inside tests against Boost.Geometry on the same outlines.
//
// Two outlines of n straight edges, both valid: "ring" is a circle of radius 100 whose
// vertices are jittered by about one edge length (each edge near only its neighbours, as in a
// part's outline), "star" has sorted random angles and random radii between 50 and 100 (edges
// about 17 long packed ever more densely into the same annulus as n grows, so the pairs of
// edges whose boxes overlap grow with n squared for any sweep or grid). Building:
// appending the vertices one at a time (each append revalidates locally) and closing, and
// replacing all vertices of a closed polygon at once (whole validation), beside
// boost::geometry::is_valid. Inside: 10,000 random points of the bounding square, beside
// boost::geometry::within.
#include <dispc/smd/poly.h>

#include <benchmark/benchmark.h>
#include <boost/geometry.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include <algorithm>
#include <random>
#include <vector>

namespace {

namespace bg = boost::geometry;
using BPoint = bg::model::d2::point_xy<double>;
using BPolygon = bg::model::polygon<BPoint>;
using V2 = ccVector<2>;

constexpr int kPoints = 10000;

std::vector<V2> outline(int n, bool star) {
  std::mt19937 rng(static_cast<unsigned>(n));
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<double> angles(static_cast<std::size_t>(n));
  if (star) {
    for (double& a : angles) a = unit(rng) * 2 * ccPi;
    std::sort(angles.begin(), angles.end());
  } else {
    for (std::size_t i = 0; i < angles.size(); ++i)
      angles[i] = (i + 0.5 * unit(rng)) * 2 * ccPi / n;
  }
  const double edge = 2 * ccPi * 100 / n;
  std::vector<V2> pts;
  for (double a : angles)
    pts.push_back(V2::polar(star ? 50 + 50 * unit(rng) : 100 + edge * unit(rng), ccRadian(a)));
  return pts;
}

std::vector<ccSMDGDPolyVertex> vertices(const std::vector<V2>& pts) {
  std::vector<ccSMDGDPolyVertex> v;
  for (const V2& p : pts) v.emplace_back(p, 0, ccDegree(0), 0.5, 0.5, -1, ccDimTol());
  return v;
}

BPolygon boostPolygon(const std::vector<V2>& pts) {
  BPolygon b;
  for (const V2& p : pts) bg::append(b.outer(), BPoint(p.x(), p.y()));
  bg::append(b.outer(), BPoint(pts[0].x(), pts[0].y()));
  bg::correct(b);
  return b;
}

std::vector<V2> probes() {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> coord(-100, 100);
  std::vector<V2> q(kPoints);
  for (V2& p : q) p = V2(coord(rng), coord(rng));
  return q;
}

void BM_SMDPolyAppendEach(benchmark::State& state) {
  const auto v = vertices(outline(static_cast<int>(state.range(0)), state.range(1) != 0));
  for (auto _ : state) {
    ccSMDGDPoly p;
    for (const auto& x : v) p << x;
    p.close();
    benchmark::DoNotOptimize(p.numVertices());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SMDPolyWholeValidation(benchmark::State& state) {
  const auto v = vertices(outline(static_cast<int>(state.range(0)), state.range(1) != 0));
  ccSMDGDPoly p = ccSMDGDPoly::triangle(1, 1, V2());  // closed: vertices(...) checks it closed
  for (auto _ : state) {
    p.vertices(v);
    benchmark::DoNotOptimize(p.numVertices());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BoostIsValid(benchmark::State& state) {
  const BPolygon b = boostPolygon(outline(static_cast<int>(state.range(0)), state.range(1) != 0));
  for (auto _ : state) benchmark::DoNotOptimize(bg::is_valid(b));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SMDPolyInside(benchmark::State& state) {
  ccSMDGDPoly p = ccSMDGDPoly::triangle(1, 1, V2());
  p.vertices(vertices(outline(static_cast<int>(state.range(0)), state.range(1) != 0)));
  const std::vector<V2> q = probes();
  for (auto _ : state) {
    int in = 0;
    for (const V2& x : q) in += ccSMDGDPolyPrivate::inside(p, x);
    benchmark::DoNotOptimize(in);
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_BoostWithin(benchmark::State& state) {
  const BPolygon b = boostPolygon(outline(static_cast<int>(state.range(0)), state.range(1) != 0));
  const std::vector<V2> q = probes();
  for (auto _ : state) {
    int in = 0;
    for (const V2& x : q) in += bg::within(BPoint(x.x(), x.y()), b);
    benchmark::DoNotOptimize(in);
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}

}  // namespace

// Arguments: vertex count, outline (0 ring, 1 star).
void sizes(benchmark::internal::Benchmark* b) {
  for (int shape : {0, 1})
    for (int n : {100, 1000, 10000}) b->Args({n, shape});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_SMDPolyAppendEach)->Apply(sizes);
BENCHMARK(BM_SMDPolyWholeValidation)->Apply(sizes);
BENCHMARK(BM_BoostIsValid)->Apply(sizes);
BENCHMARK(BM_SMDPolyInside)->Apply(sizes);
BENCHMARK(BM_BoostWithin)->Apply(sizes);
