// General polygons and wireframes drawn on tablets, seen through the trace scope: the arc
// stroker's chords, direction marks, hostile payloads, and synthetic fills.
#include <dispc/sketchop.h>
#include <dispc/smd/poly.h>

#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using V = ccVector<2>;

std::vector<ccLineSeg> strokes(const Board& b) {
  std::vector<ccLineSeg> v;
  for (const ccTraceCall& c : b.log->calls())
    if (c.name == "drawLineSeg") v.push_back(c.shapeAs<ccLineSeg>());
  return v;
}

ccGenPoly polyline(const std::vector<V>& points) {
  ccGenPoly g;
  for (const V& p : points) g.insertVertex(p, 0, ccRadian(0));
  return g;
}

TEST(GenPolyStroker, ChordsStepAtMostFiveDegreesAndStayWithinAPixelTwentiethOfTheArc) {
  const struct {
    double radius;
    size_t chordsPerHalf;
    double step;
  } kCases[] = {{0.04, 37, 180.0 / 37}, {1000, 158, 180.0 / 158}};  // about 1.15 degrees
  for (const auto& c : kCases) {
    Board b;
    b.tablet.draw(ccGenPoly(ccCircle(V(0, 0), c.radius)), ccColor::redColor(), kOverlay);
    const std::vector<ccLineSeg> chords = strokes(b);
    ASSERT_EQ(chords.size(), 2 * c.chordsPerHalf) << c.radius;
    for (const ccLineSeg& s : chords) {
      EXPECT_NEAR(s.p1().length(), c.radius, 1e-9 * c.radius);
      const double step = 2 * std::asin(s.length() / 2 / c.radius) * 180 / ccPi;
      EXPECT_NEAR(step, c.step, 1e-6) << c.radius;
      EXPECT_LE(c.radius * (1 - std::cos(step * ccPi / 360)), 0.05);
    }
  }
}

// One segment from (0, 0) to (100, 0): mark size 8 at its middle, the plus sign on its left.
TEST(GenPolyMarks, ArrowheadOpensBackwardsWithThePlusSignOnTheLeftEvenWhenMirrored) {
  const struct {
    const char* name;
    ccXform<2> map;
    bool reversed;
    double plusY, backX;
  } kCases[] = {{"plain", ccXform<2>(), false, 8, 42},
                {"reversed", ccXform<2>(), true, -8, 58},
                {"mirrored", ccXform<2>(ccMatrix<2>(1, 0, 0, -1), V(0, 0)), false, -8, 42}};
  for (const auto& c : kCases) {
    Board b;
    cc2Wireframe w(polyline({V(0, 0), V(100, 0)}).map(c.map));
    w.polarity(c.reversed);
    b.tablet.draw(w, ccGraphicProps(), kOverlay);
    const std::vector<ccLineSeg> s = strokes(b);
    ASSERT_EQ(s.size(), 6u) << c.name;  // the segment, two arrow strokes, plus, minus
    const ccLineSeg want[] = {ccLineSeg(V(50, 0), V(c.backX, c.plusY)),
                              ccLineSeg(V(50, 0), V(c.backX, -c.plusY)),
                              ccLineSeg(V(47.6, c.plusY), V(52.4, c.plusY)),
                              ccLineSeg(V(50, c.plusY - 2.4), V(50, c.plusY + 2.4)),
                              ccLineSeg(V(47.6, -c.plusY), V(52.4, -c.plusY))};
    for (int i = 0; i < 5; ++i)
      EXPECT_LT(s[i + 1].p1().distance(want[i].p1()) + s[i + 1].p2().distance(want[i].p2()), 1e-12)
          << c.name << i;
  }
}

TEST(GenPolyMarks, SegmentsShorterThanAFifthOfTheLongestGetNone) {
  // Chords 100, 19.9, 20 and 5: marks on the first and the third.
  const cc2Wireframe w(polyline({V(0, 0), V(100, 0), V(100, 19.9), V(100, 39.9), V(95, 39.9)}));
  Board b;
  b.tablet.draw(w, ccGraphicProps(), kOverlay);
  EXPECT_EQ(strokes(b).size(), 4u + 2 * 5);
  Board none;
  none.tablet.draw(ccGenPoly(w), ccGraphicProps(), kOverlay);  // general polygons: never
  EXPECT_EQ(strokes(none).size(), 4u);
}

// Payloads of opcode 34: a 56-byte block (the map), mutable, count, vertices, caches, closed.
std::vector<unsigned char> payload(double e11, long count, std::size_t rest) {
  std::vector<unsigned char> p(56 + 8 + rest, 0);
  cfSketchStoreXformImage(p.data(), ccXform<2>(ccMatrix<2>(e11, 0, 0, 1), V(0, 0)));
  cfSketchStoreI32(p.data() + 60, static_cast<std::int32_t>(count));
  return p;
}

TEST(GenPolyReplay, HostilePayloadsAreInvalidSketches) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<unsigned char> bowTie = payload(1, 4, 4 * 104 + 4);
  const V corners[] = {V(0, 0), V(10, 10), V(10, 0), V(0, 10)};
  for (int i = 0; i < 4; ++i) cfSketchStorePoint(bowTie.data() + 64 + 64 * i, corners[i]);
  const std::vector<std::vector<unsigned char>> kPayloads = {
      payload(1, 1000000, 40), payload(nan, 0, 4), payload(0, 0, 4), payload(1, -1, 4), bowTie};
  for (const auto& p : kPayloads) {
    std::unique_ptr<cc_UISketchOpData> op(cfCreateUISketchOpData(34));
    EXPECT_THROW(op->parseByteStream(p.data(), p.size()), ccUIError::InvalidUISketch);
    EXPECT_EQ(static_cast<cc_UISketchOpGenPoly&>(*op).genPoly(), ccGenPoly());
    ccUISketch s;
    s.opcode(34, kOverlay, ccColor::redColor());
    s.append(p.data(), static_cast<long>(p.size()));
    Board b;
    EXPECT_THROW(b.tablet.draw(s, ccPoint(0, 0), kOverlay), ccUIError::InvalidUISketch);
    EXPECT_EQ(b.overlay.lockDepth(), 0);
  }
}

TEST(GenPolySynthetic, FillsAsItsPolygonUnderTheComposedMapAndRefusesOpenOnes) {
  const ccGenPoly g(ccEllipse(V(20, 15), V(12, 6), ccRadian(0.3)));
  const ccXform<2> x(ccMatrix<2>(1.2, 0.1, 0, 0.9), V(3, -2));
  ccPelBuffer<unsigned char> got(48, 40), want(48, 40), open(48, 40);
  cfDrawSynthetic(g, x, got, 200);
  ccSMDGDPolyPrivate::drawSynthetic(ccSMDGDPolyPrivate::poly(g),
                                    x * ccSMDGDPolyPrivate::wireframeXform(g), want, 200, true,
                                    true);
  EXPECT_THROW(cfDrawSynthetic(polyline({V(1, 1), V(30, 30)}), x, open, 200),
               ccShapesError::BadGeom);
  long filled = 0;
  for (long y = 0; y < 40; ++y)
    for (long i = 0; i < 48; ++i) {
      ASSERT_TRUE(got.get(i, y) == want.get(i, y) && !open.get(i, y)) << i << "," << y;
      filled += got.get(i, y) != 0;
    }
  EXPECT_GT(filled, 100);
}

}  // namespace
