// Filters of SMD polygon lists: ranges, cutting polygons at segments (against an independent
// formulation by runs of kept segments), the perimeter, closure, length, span and vertex
// angle filters, and crossing polygons resolved for the longer.
#include <core/range.h>
#include <dispc/smd/poly.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <list>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

namespace {

using Poly = ccSMDGDPoly;
using Private = ccSMDGDPolyPrivate;
using Polys = std::list<Poly>;
using V2 = ccVector<2>;

ccSMDGDPolyVertex vtx(V2 p, double radius = 0, double span = 0) {
  return ccSMDGDPolyVertex(p, radius, ccDegree(span), 0.5, 0.5, -1, ccDimTol());
}
Poly poly(const std::vector<V2>& points, bool closed, std::vector<double> spans = {}) {
  Poly p;
  spans.resize(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) p << vtx(points[i], 0, spans[i]);
  if (closed) p.close();
  return p;
}
// Each polygon as "o" (open) or "c" and its vertex points: "o 0,0 1,0|c ...".
std::string describe(const Polys& polys) {
  std::ostringstream s;
  for (const Poly& p : polys) {
    s << (&p == &polys.front() ? "" : "|") << (p.isOpen() ? "o" : "c");
    for (const auto& v : p.vertices()) s << " " << v.point().x() << "," << v.point().y();
  }
  return s.str();
}

TEST(FilterRanges, ClosedIntervalsAndArcsOfDirections) {
  EXPECT_TRUE(ccRange(1, 2).isWithin(1) && ccRange(1, 2).isWithin(2));
  EXPECT_FALSE(ccRange(1, 2).isWithin(std::nextafter(2.0, 3)) || ccRange(2, 1).isWithin(1.5) ||
               ccRange(1, 2).isWithin(NAN));
  const std::tuple<double, double, double, bool> kArcs[] = {
      // start, span, direction, within
      {350, 20, 10, true}, {350, 20, 11, false}, {10, -20, -10, true}, {10, -20, 11, false},
      {0, 90, 450, true},  {0, 90, -90, false},  {45, -400, 0, true},  {0, 360, NAN, false}};
  for (const auto& [start, span, a, within] : kArcs)
    EXPECT_EQ(ccAngleRange(ccDegree(start), ccDegree(span)).isWithin(ccDegree(a)), within) << a;
}

// The pieces are the runs of kept segments, in the order of their first segment with a run
// starting at segment 0 last, holding the vertices as stored (rounded polygons with arcs).
// Indices of no segment are refused; a polygon without vertices gives no pieces and checks no
// index.
TEST(DeleteSegments, MatchesMaximalRunsOfKeptSegmentsAndRefusesNonSegments) {
  std::mt19937 rng(21);
  for (int trial = 0; trial < 400; ++trial) {
    const long n = 1 + long(rng() % 9);
    Poly p("src");
    for (long k = 0; k < n; ++k)
      p << vtx(V2::polar(10, ccDegree(360.0 * k / n)), rng() % 2 * 0.2, (int(rng() % 3) - 1) * 15);
    if (n > 2 && rng() % 2) p.close();
    std::vector<long> cut;
    std::vector<bool> removed(n, false);
    removed[0] = p.isOpen();  // an open polygon has no segment 0
    for (long s = p.isOpen(); s < n; ++s)
      if (rng() % 3 == 0) cut.push_back(s), removed[s] = true;
    std::vector<Poly> pieces;
    Private::deleteSegments(p, cut, pieces);
    if (cut.empty()) {
      ASSERT_TRUE(pieces.size() == 1 && pieces[0] == p && pieces[0].name() == "src") << trial;
      continue;
    }
    std::vector<std::vector<long>> runs;  // the vertices of each run
    for (long t = 1; t <= n; ++t)
      if (!removed[t % n] && removed[t - 1]) {
        runs.push_back({t - 1});
        for (long s = t % n; !removed[s]; s = (s + 1) % n) runs.back().push_back(s);
      }
    ASSERT_EQ(pieces.size(), runs.size()) << trial;
    for (std::size_t i = 0; i < runs.size(); ++i) {
      ASSERT_TRUE(pieces[i].isOpen() && pieces[i].name() == "poly") << trial;
      ASSERT_EQ(pieces[i].numVertices(), long(runs[i].size())) << trial;
      for (std::size_t j = 0; j < runs[i].size(); ++j)
        ASSERT_TRUE(pieces[i].vertex(long(j)) == p.vertex(runs[i][j])) << trial;
    }
  }
  Poly open = poly({{0, 0}, {1, 1}, {2, 4}, {3, 9}, {4, 16}}, true), closed = open;
  open.open();
  std::vector<Poly> pieces(1);
  for (const auto& [p, bad] : std::vector<std::pair<const Poly*, long>>{
           {&open, 0}, {&open, 5}, {&closed, -1}, {&closed, 5}})
    EXPECT_THROW(Private::deleteSegments(*p, {1, bad}, pieces), Poly::invalidIndex) << bad;
  Private::deleteSegments(Poly(), {7}, pieces);
  EXPECT_TRUE(pieces.empty());
}

TEST(PolyFilters, DropOrCutPolygonsInPlace) {
  const Poly zigzag = poly({{0, 0}, {1, 0}, {1, 3}, {4, 3}}, false);  // lengths 1, 3, 3
  const Poly arcs = poly({{0, 0}, {2, 0}, {4, 0}, {6, 0}}, false, {100, 30, -90, 45});
  const Poly rect = Poly::rectangle(4, 2, V2(0, 0));  // segments 0 to 3: 2, 4, 2, 4
  const Poly circle = Poly::circle(1, V2(0, 0)), empty;
  const Polys mixed{zigzag, rect, empty, Poly::rectangle(6, 4, V2(9, 9))};  // perimeters 7 12 0 20
  const std::tuple<std::function<void(Polys&)>, Polys, const char*> kCases[] = {
      {[](Polys& l) { Private::perimeterFilter(l, ccRange(0, 12)); }, mixed,
       "o 0,0 1,0 1,3 4,3|c 2,1 -2,1 -2,-1 2,-1|o"},
      {[](Polys& l) { Private::closureFilter(l, true, false); }, mixed, "o 0,0 1,0 1,3 4,3|o"},
      {[](Polys& l) { Private::closureFilter(l, false, true); }, mixed,
       "c 2,1 -2,1 -2,-1 2,-1|c 12,11 6,11 6,7 12,7"},
      {[](Polys& l) { Private::closureFilter(l, true, true); }, mixed, nullptr},
      {[](Polys& l) { Private::closureFilter(l, false, false); }, mixed, nullptr},
      {[](Polys& l) { Private::segmentLengthFilter(l, ccRange(2, 4)); }, mixed,
       "o 1,0 1,3 4,3|c 2,1 -2,1 -2,-1 2,-1|o|o 6,11 6,7|o 12,7 12,11"},
      {[](Polys& l) { Private::segmentLengthFilter(l, ccRange(5, 9)); }, {zigzag, rect}, ""},
      {[](Polys& l) { Private::segmentAngleSpanFilter(l, ccDegree(-45)); },
       {arcs, rect},
       "o 0,0 2,0|o 4,0 6,0|c 2,1 -2,1 -2,-1 2,-1"},
      {[](Polys& l) { Private::segmentAngleSpanFilter(l, ccDegree(180)); }, {circle}, "c -1,0 1,0"},
      {[](Polys& l) { Private::segmentAngleSpanFilter(l, ccDegree(179)); },
       {circle, arcs},
       "o 0,0 2,0 4,0 6,0"},
      // Turns of 90 degrees are cut; end vertices (no angle) are never looked at.
      {[](Polys& l) { Private::vertexAngleFilter(l, ccAngleRange(ccDegree(135), ccDegree(45))); },
       {poly({{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {3, 2}}, false),
        poly({{0, 0}, {1, 0}, {2, 0}}, false), rect},
       "o 0,0 1,0|o 0,0 1,0 2,0"},
      {[](Polys& l) { Private::vertexAngleFilter(l, ccAngleRange(ccDegree(-10), ccDegree(110))); },
       {poly({{0, 0}, {4, 0}, {4, 3}, {2, 5}, {0, 3}}, true), poly({{0, 0}, {1, 0}, {1, 1}}, false),
        empty},
       "o 0,0 4,0|o 0,0 1,0 1,1|o"}};
  for (const auto& [filter, in, want] : kCases) {
    Polys l = in;
    filter(l);
    EXPECT_EQ(describe(l), want ? want : describe(in)) << describe(in);
  }
}

TEST(CrossingPolysResolve, KeepsTheLongerAndOnTiesTheFirst) {
  const Poly p10 = Poly::rectangle(2, 3, V2(0, 0)), p12 = Poly::rectangle(3, 3, V2(1, 1));
  const Poly tie = Poly::rectangle(3, 2, V2(-1, 0)), far = Poly::rectangle(1, 1, V2(9, 9));
  const Poly inner = Poly::rectangle(1, 1, V2(0, 0)), big = Poly::rectangle(8, 1, V2(0, 1.2));
  const Poly small = Poly::rectangle(2, 1, V2(2.5, -0.5));  // crosses p12 only
  const Poly circle = Poly::circle(1, V2(0, 0)), post = Poly::rectangle(0.4, 1.5, V2(0, 1.25));
  const std::pair<Polys, Polys> kCases[] = {
      {{p10, p12}, {p12}},
      {{p12, p10}, {p12}},
      {{p10, tie}, {p10}},
      {{tie, p10}, {tie}},
      {{inner, p10, far}, {inner, p10, far}},       // nested without touching
      {{p10, far, inner, big}, {far, inner, big}},  // big erases p10 and comes last
      {{small, big, p12}, {small, big}},            // p12 meets the longer big after small
      {{circle, post}, {circle}}};                  // post meets only the arc above the vertices
  for (const auto& [in, want] : kCases) {
    Polys out{far};
    Private::crossingPolysResolve(out, in);
    EXPECT_EQ(describe(out), describe(want)) << describe(in);
    Private::crossingPolysResolve(out, out);  // resolved lists stay as they are
    EXPECT_EQ(describe(out), describe(want));
  }
}

}  // namespace
