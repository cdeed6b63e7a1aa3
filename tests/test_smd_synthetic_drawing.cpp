// Synthetic drawing of SMD polygons: the fast fill against a literal per-row transcription of
// the scan conversion on thousands of random polygons (straight, with arcs, with roundings, on
// the pel lattice, spiky with many vertices; rotated, scaled, mirrored), the pels of a rectangle
// and a disc, outline-only drawing, the sampled path against the affine one, and the refusals.
#include <core/errors.h>
#include <core/matherror.h>
#include <dispc/smd/poly.h>
#include <dispc/smd/synthetic.h>
#include <dispc/tolerance.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "archivebytes.h"
#include "smdliteralfill.h"

namespace {

using Poly = ccSMDGDPoly;
using Private = ccSMDGDPolyPrivate;
using V2 = ccVector<2>;
using Pels = ccPelBuffer<unsigned char>;

ccSMDGDPolyVertex vtx(const V2& p, double radius = 0, double span = 0) {
  return ccSMDGDPolyVertex(p, radius, ccDegree(span), 0.5, 0.5, -1, ccDimTol());
}

std::vector<unsigned char> pelsOf(const Pels& pb) {
  std::vector<unsigned char> out;
  for (long y = 0; y < pb.height(); ++y)
    for (long x = 0; x < pb.width(); ++x) out.push_back(pb.get(x, y));
  return out;
}

// Random star-shaped polygons around the origin. Kinds: 0 straight, 1 arcs, 2 roundings,
// 3 both, 4 straight on the lattice of whole and half units (vertices on pel centres and
// edges, horizontal and vertical sides on rows), 5 straight with 20 to 80 vertices (spikes
// thinner than a pel, many crossings a row, edges ending while others carry on).
Poly randomPoly(std::mt19937& rng, int kind) {
  std::uniform_real_distribution<double> unit(0, 1);
  for (;;) {
    const int n = kind == 5 ? 20 + static_cast<int>(rng() % 61) : 3 + static_cast<int>(rng() % 9);
    std::vector<double> angles;
    for (int i = 0; i < n; ++i) angles.push_back(unit(rng) * 2 * ccPi);
    std::sort(angles.begin(), angles.end());
    std::vector<ccSMDGDPolyVertex> v;
    for (double a : angles) {
      V2 p = V2::polar(3 + 15 * unit(rng), ccRadian(a));
      if (kind == 4) p = V2(std::round(2 * p.x()) / 2, std::round(p.y()));
      const bool arc = (kind == 1 || kind == 3) && unit(rng) < 0.4;
      const bool round = (kind == 2 || kind == 3) && unit(rng) < 0.5;
      v.push_back(vtx(p, round ? 3 * unit(rng) : 0, arc ? 120 * unit(rng) - 60 : 0));
    }
    try {
      Poly p;
      p.vertices(v);
      p.close();
      return p;
    } catch (const ccException&) {  // crossing segments or roundings: another try
    }
  }
}

// Rotations, scalings and mirrors around the middle of a 40 x 40 buffer; lattice polygons
// keep to quarter turns and whole or half-unit shifts.
ccXform<2> randomXform(std::mt19937& rng, bool lattice) {
  std::uniform_real_distribution<double> unit(0, 1);
  const double turn = lattice ? (rng() % 4) * ccPi / 2 : unit(rng) * 2 * ccPi;
  const double scale = lattice ? 1 : 0.4 + 2.6 * unit(rng);
  const double mirror = rng() % 2 ? -1 : 1;
  const V2 shift = lattice ? V2(20 + 0.5 * (rng() % 2), 20 + 0.5 * (rng() % 2))
                           : V2(10 + 20 * unit(rng), 10 + 20 * unit(rng));
  return ccXform<2>(shift, ccRadian(turn), ccRadian(turn), scale, mirror * scale);
}

// 40 x 40 pels, sometimes a window with an offset and an image-from-client transform of its
// own, filled with a pattern so that writes of the background value are seen.
Pels randomTarget(std::mt19937& rng, std::vector<unsigned char>& memory) {
  memory.assign(60 * 60, 0);
  for (std::size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<unsigned char>(i * 7);
  Pels pb(memory.data(), 60, 60, 60);
  pb.window(0, 0, 40, 40);
  if (rng() % 3 == 0) {
    pb.window(7, 5, 40, 40);
    pb.offset(-3, 11);
    pb.imageFromClientXform(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V2(-10, 6)));
  }
  return pb;
}

TEST(SMDSyntheticFill, FastFillSetsTheLiteralScanLinesPels) {
  std::mt19937 rng(0x5c4a);
  for (int round = 0; round < 3000; ++round) {
    const int kind = round % 6;
    const Poly poly = randomPoly(rng, kind);
    const ccXform<2> xf = randomXform(rng, kind == 4);
    std::vector<unsigned char> fastMemory, literalMemory;
    std::mt19937 twin = rng;
    Pels fast = randomTarget(rng, fastMemory);
    Pels literal = randomTarget(twin, literalMemory);
    Private::drawSynthetic(poly, xf, fast, 200, false, true);
    literalSMDFill(poly, xf, literal, 200);
    ASSERT_EQ(fastMemory, literalMemory) << "round " << round << " kind " << kind;
  }
}

// A 10 x 6 rectangle with its corners on pel centres. Along a row the sides' crossings round
// to themselves: the pels from the left side up to, not including, the right one. The rows on
// the top and bottom sides hold midpoints on the outline, which the inside test counts in.
// The outline alone is the one-pel line nearest the sides.
TEST(SMDSyntheticFill, RectangleOnPelCentresAndItsOutline) {
  const Poly rect = Poly::rectangle(10, 6, V2(20.5, 15.5));
  for (bool fill : {true, false}) {
    Pels pb(40, 30);
    Private::drawSynthetic(rect, ccXform<2>(), pb, 9, !fill, fill);
    for (long y = 0; y < 30; ++y)
      for (long x = 0; x < 40; ++x) {
        const bool rows = y >= 12 && y <= 18;
        const bool want =
            fill ? rows && x >= 15 && x < 25
                 : ((x == 15 || x == 25) && rows) || ((y == 12 || y == 18) && x >= 15 && x <= 25);
        ASSERT_EQ(pb.get(x, y), want ? 9 : 0) << fill << " " << x << "," << y;
      }
  }
}

// A circle's outline drawn alone: its two arcs reach every part of the circle and nothing
// farther than a pel from it.
TEST(SMDSyntheticFill, CircleOutlineDrawsBothArcs) {
  const V2 c(30.3, 25.7);
  const double r = 12.4;
  Pels outline(64, 64);
  Private::drawSynthetic(Poly::circle(r, c), ccXform<2>(), outline, 200, true, false);
  for (long y = 0; y < 64; ++y)
    for (long x = 0; x < 64; ++x)
      ASSERT_TRUE(!outline.get(x, y) || std::fabs((V2(x + 0.5, y + 0.5) - c).length() - r) <= 1);
  for (int degree = 0; degree < 360; ++degree) {
    const V2 p = c + V2::polar(r, ccDegree(degree)) - V2(0.5, 0.5);
    bool near = false;
    for (long y = static_cast<long>(p.y()) - 1; y <= static_cast<long>(p.y()) + 2; ++y)
      for (long x = static_cast<long>(p.x()) - 1; x <= static_cast<long>(p.x()) + 2; ++x)
        near = near || (outline.get(x, y) && (V2(x, y) - p).length() <= 1);
    ASSERT_TRUE(near) << degree;
  }
}

// What lies outside the buffer, partly or wholly, however far, is not written: the buffer is
// a window on a larger memory block whose other bytes must survive.
TEST(SMDSyntheticFill, WritesOnlyInsideTheBuffer) {
  const struct {
    const char* what;
    std::vector<V2> corners;
    long expected;  // pels of the window written, -1 when not counted
  } kCases[] = {
      {"wholly outside", {V2(100, 100), V2(120, 100), V2(110, 120)}, 0},
      {"huge triangle", {V2(-1e12, -1e12), V2(1e12, -1e12), V2(0, 1e12)}, 40 * 40},
      {"huge square", {V2(-1e15, -1e15), V2(1e15, -1e15), V2(1e15, 1e15), V2(-1e15, 1e15)}, 1600},
      {"far sliver", {V2(-1e9, 35), V2(1e9, 36), V2(1e9, 37)}, -1},
  };
  for (const auto& k : kCases) {
    Poly poly;
    for (const V2& p : k.corners) poly << vtx(p);
    poly.close();
    std::vector<unsigned char> memory(80 * 80, 7);
    Pels pb(memory.data(), 80, 80, 80);
    pb.window(20, 20, 40, 40);
    poly.drawSynthetic(ccXform<2>(), pb);
    long inside = 0;
    for (long i = 0; i < 80 * 80; ++i) {
      const bool inWindow = i % 80 >= 20 && i % 80 < 60 && i / 80 >= 20 && i / 80 < 60;
      ASSERT_TRUE(inWindow || memory[std::size_t(i)] == 7) << k.what;
      inside += inWindow && memory[std::size_t(i)] != 7;
    }
    EXPECT_TRUE(k.expected < 0 || inside == k.expected) << k.what << ": " << inside;
  }
}

// An affine transform that does not say so: the handle form then takes the sampled path.
class HiddenAffine : public cc2XformBase {
 public:
  explicit HiddenAffine(const ccXform<2>& x) : x_(x) {}
  bool isLinear() const override { return false; }
  ccVector<2> mapPoint(const ccVector<2>& p) const override {
    ++mapped;
    return x_ * p;
  }
  cc2XformLinear linearApprox(const ccVector<2>&) const override { return x_; }
  ccPtrHandle<cc2XformBase> clone() const override {
    return ccPtrHandle<cc2XformBase>(new HiddenAffine(x_));
  }
  ccPtrHandle<cc2XformBase> inverse() const override {
    return ccPtrHandle<cc2XformBase>(new HiddenAffine(x_.inverse()));
  }
  mutable long mapped = 0;

 private:
  ccXform<2> x_;
};

// Straight outlines sampled through a transform fill the pels the affine fill sets; sampling
// takes both ends of a short line and five points of a short arc.
TEST(SMDSyntheticFill, SampledPathMatchesTheAffinePath) {
  std::mt19937 rng(0x5a3b);
  for (int round = 0; round < 400; ++round) {
    const Poly poly = randomPoly(rng, 0);
    const ccXform<2> xf = randomXform(rng, false);
    Pels affine(40, 40), sampled(40, 40);
    Private::drawSynthetic(poly, xf, affine, 99, false, true);
    Private::drawSynthetic(poly, ccPtrHandle_const<cc2XformBase>(new HiddenAffine(xf)), sampled,
                           99);
    ASSERT_EQ(pelsOf(sampled), pelsOf(affine)) << round;
  }
  Poly tiny;
  tiny.vertices({vtx(V2(0, 0)), vtx(V2(1, 0), 0, 8), vtx(V2(1, 1))});
  tiny.close();
  auto* counting = new HiddenAffine(ccXform<2>());
  const ccPtrHandle_const<cc2XformBase> handle(counting);
  Pels pb(8, 8);
  tiny.drawSynthetic(handle, pb);
  EXPECT_EQ(counting->mapped, 1 + 2 + 5 + 2);  // one more for the scale at (0, 0)
}

// Refusals come before any pel is written; an open polygon with fill draws nothing.
TEST(SMDSyntheticFill, BadInputIsRefusedBeforeAnyPelIsWritten) {
  const Poly rect = Poly::rectangle(10, 6, V2(20, 15));
  Poly open;
  open.vertices({vtx(V2(1, 1)), vtx(V2(30, 20.5)), vtx(V2(1, 20.5))});
  using Handle = ccPtrHandle_const<cc2XformBase>;
  const Handle hidden(new HiddenAffine(ccXform<2>()));
  const Handle lens(new cc2XformRadialDistortion(ccXform<2>(), V2(20, 15), NAN));
  auto xf = [](double a, double d, double tx) {
    return ccXform<2>(ccMatrix<2>(a, 0, 0, d), V2(tx, 0));
  };
  const std::uint32_t geom = ccShapesError::BadGeom::kErrorNumber,
                      unbound = ccPel::UnboundWindow::kErrorNumber;
  const struct {
    const char* what;
    const Poly& poly;
    ccXform<2> client, image;
    Handle handle;  // when set, drawn through it
    bool bound;
    std::uint32_t error;
  } kCases[] = {
      {"unbound", rect, {}, {}, {}, false, unbound},
      {"unbound sampled", rect, {}, {}, hidden, false, unbound},
      {"nan", rect, xf(1, NAN, 0), {}, {}, true, geom},
      {"inf", rect, xf(1, 1, INFINITY), {}, {}, true, geom},
      {"nan image transform", rect, {}, xf(NAN, 1, 0), {}, true, geom},
      {"nan lens", rect, {}, {}, lens, true, geom},
      {"overflowing outline", rect, xf(1e307, 1e307, 0), {}, {}, true, geom},
      {"singular", rect, xf(0, 1, 0), {}, {}, true, ccMathError::Singular::kErrorNumber},
      {"open with fill", open, {}, {}, {}, true, 0},
      {"open with fill, unbound", open, {}, {}, {}, false, 0},
      {"open sampled", open, {}, {}, hidden, true, 0},
  };
  for (const auto& k : kCases) {
    Pels pb = k.bound ? Pels(40, 30) : Pels();
    if (k.bound) cfPelSet(pb, 5);
    pb.imageFromClientXform(k.image);
    EXPECT_EQ(errorOf([&] {
                k.handle ? k.poly.drawSynthetic(k.handle, pb) : k.poly.drawSynthetic(k.client, pb);
              }),
              k.error)
        << k.what;
    EXPECT_EQ(pelsOf(pb), std::vector<unsigned char>(k.bound ? 40 * 30 : 0, 5)) << k.what;
  }
  Pels none;
  EXPECT_THROW(drawLinePelBuf(none, cc2SegmentLine(V2(0, 0), V2(1, 1)), {}, 1, 0),
               ccPel::UnboundWindow);
  EXPECT_THROW(drawArcPelBuf(none, cc2SegmentArc(), {}, 1, 0), ccPel::UnboundWindow);
  // Without fill an open polygon draws its outline.
  Pels pb(40, 30);
  Private::drawSynthetic(open, ccXform<2>(), pb, 50, true, false);
  EXPECT_EQ(pb.get(15, 20), 50);
}

}  // namespace
