// SMD models and lists of polygons: labels, sub-models and positions, corner extensions and
// their shortening, building from wireframes, joins, dominant angles, cropping (checked by
// sampling every result segment), archives, the errors of bad edits with the model left as it
// was; the filters of polygon lists (ranges, cutting at segments against an independent
// formulation by runs of kept segments, the perimeter, closure, length, span and vertex angle
// filters) and crossing polygons resolved for the longer.
#include <core/range.h>
#include <dispc/smd/model.h>
#include <dispc/wrfm/wirefrm.h>

#include "archivebytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <list>
#include <random>
#include <sstream>
#include <tuple>

namespace {

using Poly = ccSMDGDPoly;
using Private = ccSMDGDPolyPrivate;
using Model = ccSMDGDModel;
using ModelPrivate = ccSMDGDModelPrivate;
using V2 = ccVector<2>;
using Polys = std::list<Poly>;

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
void expectNear(const V2& a, const V2& b) { EXPECT_TRUE(cfRealEq(a, b, 1e-9)) << a << " " << b; }

// Each polygon as "o" (open) or "c" and its vertex points: "o 0,0 1,0|c ...".
std::string describe(const Polys& polys) {
  std::ostringstream s;
  for (const Poly& p : polys) {
    s << (&p == &polys.front() ? "" : "|") << (p.isOpen() ? "o" : "c");
    for (const auto& v : p.vertices()) s << " " << v.point().x() << "," << v.point().y();
  }
  return s.str();
}

TEST(SMDModel, LabelsSubModelsAndPositions) {
  const Poly rect = Poly::rectangle(4, 2, V2(10, 5));  // (12,6) (8,6) (8,4) (12,4), labels 0-3
  Model m("part");
  m << rect << Poly::circle(1, V2(0, 0)) << rect;
  EXPECT_EQ(ModelPrivate::centerOfMass(m), V2(8, 4));  // (10,5) x4, (0,0) x2, (10,5) x4

  // Label 0: the rectangles' corner at (12,6) twice, and the whole circle.
  Model sub;
  m.subModel(0, sub);
  ASSERT_EQ(sub.numPolys(), 3);
  EXPECT_TRUE(sub.poly(1).isClosed() && sub.name().empty());
  EXPECT_EQ(sub.subModelLabels(), std::vector<std::int32_t>{0});

  // One polygon of three vertices (a corner) is placed on its corner vertex, turned by its
  // first edge; the stored corner is relative to that position.
  (Model() << rect).subModel(1, sub);  // corner at (8,6): from (10,6) through (8,6) to (8,5)
  ASSERT_EQ(sub.numPolys(), 1);
  EXPECT_NEAR(ccDegree(sub.position().angle()).toDouble(), 180, 1e-12);
  expectNear(sub.position().trans(), V2(8, 6));
  for (long i = 0; i < 3; ++i)
    expectNear(sub.poly(0).vertex(i).point(), std::vector<V2>{{-2, 0}, {0, 0}, {0, 1}}[i]);

  // Transforms: rigid motion resets the position, scaling scales its translation, flip mirrors.
  m.position(cc2Rigid(ccDegree(30), V2(1, 2)));
  EXPECT_EQ((cc2Rigid(ccDegree(5), V2(3, 3)) * m).position(), cc2Rigid());
  EXPECT_EQ((2.0 * m).position(), cc2Rigid(ccDegree(30), V2(2, 4)));
  const Model f = m.flip();
  EXPECT_EQ(f.position(), cc2Rigid(-ccRadian(ccDegree(30)), V2(-1, -2)));
  EXPECT_EQ(f.poly(0).vertex(0).point(), V2(12, -6));
  EXPECT_EQ(f.poly(0).isDirectionPositive(), rect.isDirectionPositive());
  EXPECT_EQ(f.flip(), m);
}

// Random edits against a plain list of the polygons: after each, the same polygons in order,
// the labels in order of first appearance, the vertex count, openness, the polygons out of
// tolerance, and the position kept. Replacing, deleting and emptying rebuild the model under
// the empty name; indices outside the list change nothing; reInit resets everything.
TEST(SMDModel, EditsAgreeWithAListOfItsPolygons) {
  Poly tight = Poly::rectangle(4, 2, V2(0, 0));  // side 1 allowed 3.9 to 4.1
  tight.replaceVertex(1, ccSMDGDPolyVertex(V2(-2, 1), 0, ccDegree(0), 0.5, 0.5, 1,
                                           ccDimTol(4, 0.1, 0.1, ccDimTol::eOffsets)));
  const std::vector<Poly> pool{tight, Poly::circle(1, V2(-3, 0)),
                               poly({V2(0, 0), V2(3, 0), V2(3, 2)}, false),
                               Poly::triangle(6, 3, V2(5, 5))};
  const ccXform<2> stretch(ccMatrix<2>(1.05, 0, 0, 1), V2()), id;
  const cc2Rigid at(ccDegree(12), V2(7, -2));
  std::mt19937 rng(0x30d);
  Model m("chip");
  m.position(at);
  std::vector<Poly> list;
  std::string name = "chip";
  for (int step = 0; step < 400; ++step) {
    const Poly& p = pool[rng() % pool.size()];
    const long i = static_cast<long>(rng() % (list.size() + 2)) - 1;  // -1 to size
    const bool valid = i >= 0 && i < static_cast<long>(list.size());
    switch (rng() % 7) {
      case 0:
        m << p;
        list.push_back(p);
        break;
      case 1:
        ModelPrivate::replacePoly(m, i, p);
        if (valid) {
          list[static_cast<std::size_t>(i)] = p;
          name.clear();
        }
        break;
      case 2:
        ModelPrivate::deletePoly(m, i);
        if (valid) {
          list.erase(list.begin() + i);
          name.clear();
        }
        break;
      case 3:
        if (list.size() > 6) break;
        m << m;
        list.insert(list.end(), list.begin(), list.end());
        break;
      case 4:
        m << std::vector<cc2Wireframe>{Private::wireframe(p), Private::wireframe(pool[0])};
        list.push_back(Poly(Private::wireframe(p)));
        list.push_back(Poly(Private::wireframe(pool[0])));
        break;
      case 5:
        if (rng() % 3) continue;
        ModelPrivate::deleteAllPolys(m);
        list.clear();
        name.clear();
        break;
      default:
        m << (Model() << p << pool[1]);
        list.push_back(p);
        list.push_back(pool[1]);
    }
    ASSERT_EQ(m.numPolys(), static_cast<long>(list.size())) << step;
    std::vector<std::int32_t> labels;
    std::vector<long> loose;
    long vertices = 0;
    bool open = false;
    for (std::size_t k = 0; k < list.size(); ++k) {
      ASSERT_TRUE(m.poly(static_cast<long>(k)) == list[k]) << step << ": " << k;
      for (std::int32_t label : list[k].subModelLabels())
        if (std::find(labels.begin(), labels.end(), label) == labels.end()) labels.push_back(label);
      if (list[k] == tight) loose.push_back(static_cast<long>(k));
      vertices += list[k].numVertices();
      open = open || list[k].isOpen();
    }
    ASSERT_EQ(m.subModelLabels(), labels) << step;
    ASSERT_EQ(m.numVertices(), vertices) << step;
    ASSERT_EQ(m.isOpen(), open) << step;
    ASSERT_EQ(m.polysOutOfTolerance(stretch, id), loose) << step;
    ASSERT_TRUE(m.position() == at && m.name() == name) << step;
  }
  m.colors(ccSMDColors(ccColor::blueColor()));
  m.positiveArrowColor(ccColor::greenColor());
  m.negativeArrowColor(ccColor::cyanColor());
  for (const Poly& p : m.polys())
    EXPECT_TRUE(p.colors() == ccSMDColors(ccColor::blueColor()) &&
                p.positiveArrowColor() == ccColor::greenColor() &&
                p.negativeArrowColor() == ccColor::cyanColor());
  m.reInit();
  EXPECT_TRUE(m.numPolys() == 0 && m.subModelLabels().empty() && m.name().empty());
  EXPECT_EQ(m.position(), cc2Rigid());
}

// A sub-model whose parts all lie along one line is not 2D; a corner or an arc is. Refusing
// leaves out as it was.
TEST(SMDModel, SubModelsAlongOneLineAreNot2D) {
  auto labelled = [](V2 p, std::int32_t label, double span = 0, double prevShare = 0.5) {
    return ccSMDGDPolyVertex(p, 0, ccDegree(span), prevShare, 0.5, label, ccDimTol());
  };
  // Labels: 5 on a straight pass, 6 and 7 on corners, 8 on the end of a line, 9 on the end
  // of an arc whose whole length it claims; 10 on nothing.
  Poly p;
  p << labelled(V2(0, 0), -1) << labelled(V2(5, 0), 5) << labelled(V2(10, 0), 6)
    << labelled(V2(10, 10), 7) << labelled(V2(0, 10), -1, 40);
  p.close();
  Model m;
  m << p << Private::rebuilt({labelled(V2(20, 0), 8), vtx(V2(24, 0))}, false, false)
    << Private::rebuilt({vtx(V2(30, 0)), labelled(V2(34, 0), 9, 60, 1.0)}, false, false);
  for (const auto& [label, flat] : std::vector<std::pair<long, bool>>{
           {5, true}, {6, false}, {7, false}, {8, true}, {9, false}, {10, false}}) {
    Model out;
    out << Poly::circle(1, V2(3, 3));
    const Model before = out;
    // (a structured binding is captured by copy: C++17 lambdas cannot name one)
    const std::uint32_t error = errorOf([&, label = label] { m.subModel(label, out); });
    EXPECT_EQ(error, flat ? Poly::badSubModel::kErrorNumber : 0u) << label;
    EXPECT_TRUE(!flat || out == before) << label;
  }
}

TEST(SMDModelExtensions, OnlyAtCornersOfFortyFiveDegreesOrMore) {
  for (const auto& [turn, extended] : std::vector<std::pair<double, bool>>{
           {30, false}, {44.99, false}, {45.01, true}, {135, true}}) {
    const double a = ccRadian(ccDegree(turn)).toDouble();
    // Straight through (10,0), a turn of `turn` at (20,0); both ends free.
    Poly p =
        poly({V2(0, 0), V2(10, 0), V2(20, 0), V2(20 + 10 * std::cos(a), 10 * std::sin(a))}, false);
    p.setExtensions_(0.3);
    // Backward and forward of segments 1 to 3: free end, straight pass, the corner, free end.
    const double e = extended ? 0.3 : 0.0;
    EXPECT_EQ((std::vector<double>{p.backwardPercExtension_(1), p.forwardPercExtension_(1),
                                   p.backwardPercExtension_(2), p.forwardPercExtension_(2),
                                   p.backwardPercExtension_(3), p.forwardPercExtension_(3)}),
              (std::vector<double>{0, 0, 0, e, e, 0}))
        << turn;
  }
  // A negative fraction gives the default 0.5 at every corner of a lone square.
  Model m;
  m << Poly::rectangle(10, 10, V2(0, 0));
  ModelPrivate::setExtensions(m, 0.1, -1);
  for (long s = 0; s < 4; ++s)
    EXPECT_TRUE(m.poly(0).forwardPercExtension_(s) == 0.5 &&
                m.poly(0).backwardPercExtension_(s) == 0.5);
}

TEST(SMDModelExtensions, ShortenedWhereTheyWouldRunIntoAnotherSegment) {
  // Square (10,10) (0,10) (0,0) (10,0); segment 1 runs left along y = 10 and its forward
  // extension of 0.5 would reach (-5,10). A bar at x = -3 stands in its way.
  const Poly square = Poly::rectangle(10, 10, V2(5, 5));
  const Poly bar = poly({V2(-3, 8), V2(-3, 20)}, false);
  Model m;
  m << square << bar;
  m.setExtensions_(0, ccDegree(10), 0, 0.5);
  const Poly& s = m.poly(0);
  EXPECT_NEAR(s.forwardPercExtension_(1), 0.3, 1e-9);  // ends on the bar, at (-3,10)
  EXPECT_EQ(s.backwardPercExtension_(3), 0.5);         // towards (-5,0): clear of the bar
  EXPECT_EQ(s.backwardPercExtension_(2), 0.5);         // up x = 0, 3 beside the bar
  EXPECT_EQ(m.poly(1).forwardPercExtension_(1), 0);    // the bar has no corners

  // A clearance of 0.5 stops it 0.5 short; running alongside the bar within checkDist (4)
  // leaves nothing of the extension up x = 0.
  m.setExtensions_(4, ccDegree(10), 0.5, 0.5);
  EXPECT_NEAR(m.poly(0).forwardPercExtension_(1), 0.25, 1e-9);
  EXPECT_EQ(m.poly(0).backwardPercExtension_(2), 0);
  EXPECT_EQ(m.poly(0).backwardPercExtension_(3), 0.5);
}

TEST(SMDModelBuilding, WeightedWireframesJoinsAndDominantAngles) {
  const Poly tri = Poly::triangle(6, 3, V2(0, 0));
  const ccXform<2> moved = cc2Rigid(ccDegree(0), V2(5, 5)).xform();
  const std::vector<cc2Wireframe> wfs{Private::wireframe(tri), Private::wireframe(tri).map(moved),
                                      Private::wireframe(Poly::circle(2, V2(1, 1)))};
  const Model m = ModelPrivate::weightedWireframesToModel(wfs, {0.5, 0, -1.0});
  ASSERT_EQ(m.numPolys(), 2);
  EXPECT_TRUE(m.poly(0).weight() == 0.5 && m.poly(1).weight() == -1.0);
  EXPECT_TRUE(m.poly(0).isDirectionReversed() && m.poly(1).isDirectionReversed());
  const auto xforms = ModelPrivate::wireframeXforms(wfs, {0.5, 0, 0.25});
  ASSERT_EQ(xforms.size(), 2u);
  EXPECT_EQ(xforms[0], ccXform<2>());
  // Rows: weights, and how many of the wireframes go with them.
  for (const auto& row : std::vector<std::pair<std::vector<double>, long>>{
           {{0.5, 1.5, 0}, 3}, {{0.5}, 3}, {{}, 0}, {{-1.01, 0, 0}, 3}}) {
    const std::vector<cc2Wireframe> some(wfs.begin(), wfs.begin() + row.second);
    EXPECT_EQ(errorOf([&] { ModelPrivate::weightedWireframesToModel(some, row.first); }),
              Model::invalidIndex::kErrorNumber);
  }

  // Joins: a's end to b's end, b reversed; closed polygons are refused, out kept.
  Poly joined = tri;
  Private::connectPolys(poly({V2(0, 0), V2(1, 0)}, false), true, poly({V2(5, 5), V2(3, 0)}, false),
                        true, joined);
  ASSERT_EQ(joined.numVertices(), 4);
  EXPECT_TRUE(joined.vertex(2).point() == V2(3, 0) && joined.vertex(3).point() == V2(5, 5));
  EXPECT_EQ(errorOf([&] { Private::connectPolys(tri, true, joined, true, joined); }),
            Poly::invalidVertices::kErrorNumber);
  EXPECT_EQ(joined.numVertices(), 4);
  // A join that crosses a throws and leaves out as it was.
  const Poly hook = poly({V2(0, 0), V2(4, 0), V2(4, 2)}, false),
             bar = poly({V2(2, -2), V2(2, 9)}, false);
  EXPECT_EQ(errorOf([&] { Private::connectPolys(hook, true, bar, false, joined); }),
            Poly::crossingSegments::kErrorNumber);
  EXPECT_EQ(joined.numVertices(), 4);

  // Dominant angles: a square at 10 or 100 degrees has 10; directions 10 and 100 of equal
  // weight average to 55, folded to -35.
  auto square = [](double deg) {
    return cc2Rigid(ccDegree(deg), V2(3, 4)) * Poly::rectangle(2, 2, V2(0, 0));
  };
  for (const auto& [turn, dominant] :
       std::vector<std::pair<double, double>>{{10, 10}, {100, 10}, {50, -40}})
    EXPECT_NEAR(Private::dominantAngle(square(turn)).toDouble(), dominant, 1e-9) << turn;
  EXPECT_NEAR(ModelPrivate::dominantAngle(Model() << square(10) << square(100)).toDouble(), 10,
              1e-9);
  EXPECT_NEAR(ModelPrivate::dominantAngle({{ccDegree(10), 8}, {ccDegree(100), 8}}).toDouble(), -35,
              1e-9);
}

TEST(SMDModelCrop, ResultsLieInsideWithCutsOnTheBorder) {
  std::mt19937 rng(0x5d3);
  std::uniform_real_distribution<double> u(-6, 6);
  for (int round = 0; round < 40; ++round) {
    Model m;
    Poly rounded = Poly::rectangle(6, 4, V2(u(rng), u(rng)));
    ccSMDGDPolyVertex corner = rounded.vertex(1);
    corner.vertexRadius(1);
    rounded.replaceVertex(1, corner);
    m << rounded << Poly::circle(2 + u(rng) / 6, V2(u(rng), u(rng)))
      << Poly::triangle(5, 4, V2(u(rng), u(rng)));
    const Poly region = cc2Rigid(ccDegree(u(rng) * 15), V2(u(rng), u(rng))) *
                        (round % 2 ? Poly::circle(5, V2(0, 0)) : Poly::rectangle(9, 7, V2(0, 0)));
    Model out;
    ModelPrivate::crop(m, region, out);
    for (const Poly& p : out.polys()) {
      for (long s = p.isOpen() ? 1 : 0; s < p.numVertices(); ++s)
        for (int i = 0; i <= 10; ++i) {
          const V2 q = p.isLineSegment_(s) ? Private::lineSegment_(p, s).segPoint(i / 10.0)
                                           : Private::arcSegment_(p, s).segPoint(i / 10.0);
          EXPECT_TRUE(Private::inside(region, q) || Private::distToPoint(region, q) < 1e-9)
              << round << " " << q;
        }
      for (long v : {0L, p.numVertices() - 1})
        EXPECT_TRUE(p.isClosed() || Private::distToPoint(region, p.vertex(v).point()) < 1e-9)
            << round;
    }
  }
  // A region holding everything keeps the model. The square lies all around a small region and
  // is dropped; the line is cut on its border.
  Model m, out;
  m << Poly::rectangle(2, 2, V2(0, 0)) << poly({V2(0, 0), V2(1, 1)}, false);
  ModelPrivate::crop(m, ccPolygon({V2(-5, -5), V2(5, -5), V2(5, 5), V2(-5, 5)}), out);
  EXPECT_EQ(out, m);
  ModelPrivate::crop(m, Poly::rectangle(1, 1, V2(0, 0)), out);
  ASSERT_EQ(out.numPolys(), 1);
  EXPECT_EQ(out.poly(0).vertex(0).point(), V2(0, 0));
  expectNear(out.poly(0).vertex(1).point(), V2(0.5, 0.5));
  // Nested or open regions are refused, leaving the result as it was; side by side is not
  // nested.
  const Bytes before = bytesOf(out);
  Model nested, apart;
  nested << Poly::rectangle(10, 10, V2(0, 0)) << Poly::rectangle(2, 2, V2(1, 1));
  EXPECT_EQ(errorOf([&] { ModelPrivate::crop(m, nested, out); }), Model::nestedPolys::kErrorNumber);
  const Poly line = poly({V2(0, 0), V2(3, 3)}, false);
  EXPECT_EQ(errorOf([&] { ModelPrivate::crop(m, line, out); }), Poly::notClosed::kErrorNumber);
  EXPECT_EQ(errorOf([&] { m.poly(2); }), Model::invalidIndex::kErrorNumber);
  EXPECT_EQ(bytesOf(out), before);
  apart << Poly::rectangle(1, 1, V2(-1, 0)) << Poly::rectangle(1, 1, V2(1, 0));
  EXPECT_NO_THROW(ModelPrivate::crop(m, apart, out));
}

TEST(SMDModelArchive, RoundTripsByValueAndByName) {
  Model m("chip");
  m << Poly::rectangle(4, 2, V2(1, 1)) << Poly::circle(1, V2(-3, 0));
  m.position(cc2Rigid(ccDegree(12), V2(7, -2)));  // (extensions are not archived)
  const Bytes stored = bytesOf(m);
  EXPECT_EQ(stored[0], 0);
  for (bool asPrivate : {false, true}) {
    const ccPtrHandle<ccSMDGeometricDescription> g =
        reloadedHandle<ccSMDGeometricDescription>(asPrivate ? new ModelPrivate(m) : new Model(m));
    ASSERT_TRUE(g);
    EXPECT_EQ(dynamic_cast<ModelPrivate*>(g.rep()) != nullptr, asPrivate);
    EXPECT_EQ(*dynamic_cast<Model*>(g.rep()), m);
    EXPECT_EQ(bytesOf(*dynamic_cast<Model*>(g.rep())), stored);
  }
  Bytes v1 = stored;
  v1[0] = 1;
  ccArchive in1(v1);
  Model other("chip");  // the name loads first, so a failed load may leave it changed
  const Bytes reference = bytesOf(other);
  EXPECT_THROW(other.dispatchSerialize(in1), ccArchive::UnknownVersion);
  for (std::size_t cut = 1; cut < stored.size(); cut += 11) {
    ccArchive part(Bytes(stored.begin(), stored.begin() + static_cast<long>(cut)));
    EXPECT_THROW(other.dispatchSerialize(part), ccArchive::Errors) << cut;
    EXPECT_EQ(bytesOf(other), reference) << cut;
  }
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
      {[](Polys& l) { Private::segmentAngleSpanFilter(l, ccDegree(-45)); }, Polys{arcs, rect},
       "o 0,0 2,0|o 4,0 6,0|c 2,1 -2,1 -2,-1 2,-1"},
      {[](Polys& l) { Private::segmentAngleSpanFilter(l, ccDegree(180)); }, {circle}, "c -1,0 1,0"},
      {[](Polys& l) { Private::segmentAngleSpanFilter(l, ccDegree(179)); }, Polys{circle, arcs},
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
