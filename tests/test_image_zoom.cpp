// Image zoom in scopes: the protected workers (replication with phases and limits, nearest
// sample by truncation, the whole-number path, smoothing with grey margins) and the run-length
// forms (reduction on runs, enlargement of the visible part, the 8-bit path), observed
// through the trace back end.
#include <backends/trace/tracescope.h>
#include <core/assert.h>
#include <core/rlebuffer.h>
#include <dispc/scope.h>

#include "assertcounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// The trace back end with the zoom workers in reach.
class ZoomScope : public ccTraceScope {
 public:
  using ccTraceScope::ccTraceScope;
  using ccUIScope::pelExpand;
  using ccUIScope::pelScale;
};

using Pels = std::vector<long>;
const ccUIRect kEverywhere(0, 0, 1L << 20, 1L << 20);
const ccPair<long> kNoPhase(0, 0), kAtZero(0, 0);
constexpr auto kNone = ccUIScope::eNoInterpolation;
constexpr auto kBilinear = ccUIScope::eBilinearInterpolation;

long value(unsigned char v) { return v; }
long value(unsigned short v) { return v; }
long value(ccPackedRGB16Pel v) { return v.packed(); }
long value(ccPackedRGB32Pel v) { return long(v.packed()); }

// A w x h image of the given values (row by row); all rows repeat `pels` when it is short.
template <class T>
ccPelBuffer<T> image(long w, long h, const Pels& pels) {
  ccPelBuffer<T> b(w, h);
  for (long i = 0; i < w * h; ++i) b.set(i % w, i / w, T(pels[std::size_t(i) % pels.size()]));
  return b;
}

template <class T>
Pels pelsOf(const ccPelBuffer_const<T>& b) {
  Pels out;
  for (long y = 0; y < b.height(); ++y)
    for (long x = 0; x < b.width(); ++x) out.push_back(value(b.get(x, y)));
  return out;
}

ccPelBuffer<unsigned char> randomImage(std::mt19937& rng, long w, long h, int levels = 256) {
  ccPelBuffer<unsigned char> b(w, h);
  std::uniform_int_distribution<int> v(0, levels - 1);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) b.set(x, y, static_cast<unsigned char>(v(rng)));
  return b;
}

// A run-length image from run bytes, rows one after the other (each closed by 0, 0).
ccRLEBuffer rle(long width, const Pels& runs) {
  std::vector<unsigned char> bytes(runs.begin(), runs.end());
  std::vector<const unsigned char*> rows;
  for (std::size_t i = 0; i < bytes.size(); i += 2)
    if (i == 0 || bytes[i - 1] == 0) rows.push_back(&bytes[i]);
  ccRLEBuffer b;
  b.becomeOwner(width, rows);
  return b;
}

}  // namespace

// ---- Replication

template <class T>
class PelExpandTyped : public ::testing::Test {};
using ExpandedPels = ::testing::Types<unsigned char, ccPackedRGB16Pel, ccPackedRGB32Pel>;
TYPED_TEST_SUITE(PelExpandTyped, ExpandedPels);

TYPED_TEST(PelExpandTyped, BlocksPhasesAndLimits) {
  ZoomScope s;
  const auto src = image<TypeParam>(2, 2, {1, 2, 3, 4});
  ccPelBuffer<TypeParam> dst;
  ccUIRect r(10, 20, 100, 100);
  s.pelExpand(src, dst, 2, 3, r, kNoPhase);
  EXPECT_EQ(r, ccUIRect(10, 20, 4, 6));
  EXPECT_EQ(dst.offset(), ccPair<long>(10, 20));
  EXPECT_EQ(pelsOf<TypeParam>(dst), (Pels{1, 1, 2, 2, 1, 1, 2, 2, 1, 1, 2, 2,  //
                                          3, 3, 4, 4, 3, 3, 4, 4, 3, 3, 4, 4}));
  // Negative phases shorten the first blocks, positive ones do not.
  r = kEverywhere;
  s.pelExpand(src, dst, 2, 3, r, ccPair<long>(-1, -2));
  EXPECT_EQ(r, ccUIRect(0, 0, 4, 6));  // the whole enlargement; what the cut frees is 0
  EXPECT_EQ(pelsOf<TypeParam>(dst), (Pels{1, 2, 2, 0, 3, 4, 4, 0, 3, 4, 4, 0,  //
                                          3, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // The requested size cuts the last blocks.
  r = ccUIRect(-4, 2, 3, 4);
  s.pelExpand(src, dst, 2, 3, r, kNoPhase);
  EXPECT_EQ(r, ccUIRect(-4, 2, 3, 4));
  EXPECT_EQ(pelsOf<TypeParam>(dst), (Pels{1, 1, 2, 1, 1, 2, 1, 1, 2, 3, 3, 4}));
}

TEST(PelExpand, ReusesTheDestinationsPelsOnlyWhenNoOneElseSeesThem) {
  ZoomScope s;
  ccPelBuffer<unsigned char> dst;
  ccUIRect r = kEverywhere;
  s.pelExpand(image<unsigned char>(2, 1, {1, 2}), dst, 2, 2, r, kNoPhase);
  const auto* first = dst.root().rep();
  r = kEverywhere;
  s.pelExpand(image<unsigned char>(2, 1, {5, 6}), dst, 2, 2, r, kNoPhase);
  EXPECT_EQ(dst.root().rep(), first);
  const ccPelBuffer<unsigned char> kept = dst;
  r = kEverywhere;
  s.pelExpand(image<unsigned char>(2, 1, {3, 4}), dst, 2, 2, r, kNoPhase);
  EXPECT_NE(dst.root().rep(), first);
  EXPECT_EQ(pelsOf<unsigned char>(kept), (Pels{5, 5, 6, 6, 5, 5, 6, 6}));
  EXPECT_EQ(pelsOf<unsigned char>(dst), (Pels{3, 3, 4, 4, 3, 3, 4, 4}));
}

// ---- Scaling without smoothing

TEST(PelScale, NearAWholeNumberTheScaleIsThatNumber) {
  ZoomScope s;
  // At 2.0000001 proper, 7 pels 0, 0, 0, 1 ...
  const auto three = image<unsigned short>(3, 1, {4, 5, 6});
  ccPelBuffer<unsigned short> dst;
  ccUIRect r = kEverywhere;
  s.pelScale(three, dst, 2.0000001, r, kAtZero, kNone);
  EXPECT_EQ(r, ccUIRect(0, 0, 6, 2));
  EXPECT_EQ(pelsOf<unsigned short>(dst), (Pels{4, 4, 5, 5, 6, 6, 4, 4, 5, 5, 6, 6}));
}

TEST(PelScale, EveryPathAgreesWithTheNearestSampleForManyCases) {
  ZoomScope s;
  std::mt19937 rng(7);
  const double scales[] = {2, 3, 4, 7, 1, 0.5, 0.25, 1.0 / 3, 2.5, 1.75, 0.3, 0.7};
  std::uniform_int_distribution<long> size(1, 70), place(-30, 30), extent(0, 120);
  for (int trial = 0; trial < 300; ++trial) {
    ccPelBuffer<unsigned char> src = randomImage(rng, size(rng), size(rng));
    src.offset(place(rng), place(rng));  // plays no part
    const double k = scales[trial % 12];
    const ccPair<long> o(place(rng), place(rng));
    const ccUIRect clip(place(rng), place(rng), extent(rng), extent(rng));
    ccPelBuffer<unsigned char> dst;
    ccUIRect r = clip;
    // Reductions never smooth, whatever the mode.
    s.pelScale(src, dst, k, r, o, k <= 1 ? ccUIScope::eBicubicInterpolation : kNone);
    long w = 0, h = 0;
    while (long(w / k) < src.width()) ++w;
    while (long(h / k) < src.height()) ++h;
    ASSERT_EQ(r, ccUIRect(o, ccPair<long>(w, h)) & clip) << "trial " << trial;
    if (r.isNull()) continue;
    ASSERT_EQ(dst.offset(), r.ul());
    ASSERT_EQ(dst.width(), r.width());
    ASSERT_EQ(dst.height(), r.height());
    for (long y = 0; y < r.height(); ++y)
      for (long x = 0; x < r.width(); ++x) {
        const long sx = long((r.left() + x - o.first) / k), sy = long((r.top() + y - o.second) / k);
        ASSERT_EQ(dst.get(x, y), src.get(sx, sy)) << "trial " << trial;
      }
  }
}

// ---- Smoothing

TEST(PelScale, SmoothingNeedsAModeAnEnlargementAndEightByEightPels) {
  ZoomScope s;
  const auto row5 = [&](long w, double scale, ccUIScope::InterpolationModes mode) {
    ccPelBuffer<unsigned char> dst;
    ccUIRect r = kEverywhere;
    s.pelScale(image<unsigned char>(w, 16, {50}), dst, scale, r, kAtZero, mode);
    dst.window(0, 5, dst.width(), 1);
    return pelsOf<unsigned char>(dst);
  };
  // Bilinear: destination pel d samples source pel coordinate (d + 0.5) / 2.5 - 0.5, inside
  // [0, 7] from d = 1 to d = 18 of the 20; the others are grey.
  Pels expected(20, 50);
  expected.front() = expected.back() = 128;
  EXPECT_EQ(row5(8, 2.5, kBilinear), expected);
  EXPECT_EQ(row5(8, 2.5, kNone), Pels(20, 50));
  EXPECT_EQ(row5(7, 2.5, kBilinear), Pels(18, 50));
  EXPECT_EQ(row5(16, 0.5, kBilinear), Pels(8, 50));
  // 16-bit grey never smooths.
  ccPelBuffer<unsigned short> dst16;
  ccUIRect r = kEverywhere;
  s.pelScale(image<unsigned short>(8, 8, {50}), dst16, 2.5, r, kAtZero, kBilinear);
  EXPECT_EQ(dst16.get(0, 0), 50);
}

TEST(PelScale, RgbSmoothsEachChannelLikeAnEightBitImage) {
  ZoomScope s;
  std::mt19937 rng(3);
  const long w = 40, h = 30;
  const ccPelBuffer<unsigned char> ch[3] = {randomImage(rng, w, h), randomImage(rng, w, h),
                                            randomImage(rng, w, h)};
  ccPelBuffer<ccPackedRGB32Pel> rgb(w, h);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      rgb.set(x, y, ccPackedRGB32Pel(ch[0].get(x, y), ch[1].get(x, y), ch[2].get(x, y), 99));
  for (auto mode : {kBilinear, ccUIScope::eBicubicInterpolation}) {
    const ccUIRect clip(-5, 30, 60, 200);  // cuts the 130 x 98 image at (-50, 3)
    const ccPair<long> origin(-50, 3);
    ccPelBuffer<ccPackedRGB32Pel> out;
    ccUIRect r = clip;
    s.pelScale(rgb, out, 3.25, r, origin, mode);
    ASSERT_EQ(r, ccUIRect(-5, 30, 60, 71));
    ccPelBuffer<unsigned char> zoomed[3];
    for (int c = 0; c < 3; ++c) {
      ccUIRect rc = clip;
      s.pelScale(ch[c], zoomed[c], 3.25, rc, origin, mode);
    }
    long grey = 0;
    for (long y = 0; y < r.height(); ++y)
      for (long x = 0; x < r.width(); ++x) {
        const ccPackedRGB32Pel p = out.get(x, y);
        ASSERT_EQ(p,
                  ccPackedRGB32Pel(zoomed[0].get(x, y), zoomed[1].get(x, y), zoomed[2].get(x, y)));
        grey += p == ccPackedRGB32Pel(128, 128, 128, 0);
      }
    EXPECT_GE(grey, 60);  // the bottom margin at least
  }
}

// ---- Run-length images

TEST(RleZoom, ReductionKeepsEveryNthRowAndDividesTheRuns) {
  ZoomScope s;
  Pels runs;
  for (long y = 0; y < 11; ++y) runs.insert(runs.end(), {y, 4, 200, 3, y, 8, 0, 0});
  s.sample(rle(15, runs), ccPoint(3, 4), {9, 8}, ccPair<long>(4, 4), true, 200);
  ASSERT_EQ(s.calls().size(), 1u);
  const ccTraceCall& c = s.last();
  EXPECT_EQ(c.name, "drawRLEImage");
  EXPECT_EQ(c.pixel("size"), ccPair<long>(3, 2));  // 11 / 4 rows: 0 and 4
  EXPECT_EQ(c.get<Pels>("runs"), (Pels{0, 3, 0, 0, 4, 3, 0, 0}));
  EXPECT_TRUE(c.flag("pass") && c.integer("passValue") == 200);
  // Runs of 3 halved lose a pel each; the row's last run makes up the width.
  s.sample(rle(9, {7, 3, 8, 3, 9, 3, 0, 0}), ccPoint(0, 0), {}, ccPair<double>(0.5, 1), false, 0);
  EXPECT_EQ(s.last().get<Pels>("runs"), (Pels{7, 1, 8, 1, 9, 2, 0, 0}));
  // The x factor alone chooses the run path; rows follow the truncated y factor (2.5 -> 2).
  // A row whose runs all vanish takes its first value.
  s.sample(rle(4, {7, 1, 8, 1, 9, 1, 6, 1, 0, 0, 5, 4, 0, 0, 3, 4, 0, 0, 2, 4, 0, 0, 1, 4, 0, 0}),
           ccPoint(0, 0), {}, ccPair<double>(0.5, 0.4), false, 0);
  EXPECT_EQ(s.last().get<Pels>("runs"), (Pels{7, 2, 0, 0, 3, 2, 0, 0}));
}

TEST(RleZoom, OtherFactorsGoThroughTheEightBitSlotsWithTheColourMap) {
  ZoomScope s;
  const ccRLEBuffer img = rle(4, {0, 1, 1, 1, 2, 1, 3, 1, 0, 0});
  s.sample(img, ccPoint(1, 2), {10, 20, 30}, ccPair<double>(0.4, 0.5), true, 1);
  const ccTraceCall& c = s.last();
  EXPECT_EQ(c.name, "sampleImage");
  EXPECT_EQ(c.text("pel"), "grey8");
  EXPECT_EQ(c.get<Pels>("pels"), (Pels{10, 1, 30, 3}));  // the pass value is not mapped
  s.expand(img, ccPoint(1, 2), {10, 20, 30}, ccPair<double>(1.5, 2), false, 1);
  EXPECT_EQ(s.last().name, "expandImage");
  EXPECT_EQ(s.last().get<Pels>("pels"), (Pels{10, 20, 30, 3}));
}

TEST(RleZoom, EnlargementDrawsTheVisiblePartAsDecodingAndReplicatingWould) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<long> size(1, 30), factor(1, 5), place(-60, 50);
  ZoomScope s(ccUIRect(0, 0, 37, 29), nullptr, ccPair<long>(2, 1));
  s.noteChanges(false);
  for (int trial = 0; trial < 300; ++trial) {
    const ccPelBuffer<unsigned char> pels = randomImage(rng, size(rng), size(rng), 3);
    const long fx = factor(rng), fy = factor(rng);
    // Tablet pixel (ax, ay) is scope pixel (ax - 2, ay - 1).
    const ccPoint at(place(rng) + 0.25, place(rng) + 0.75);
    const long px = long(std::floor(at.x())) - 2, py = long(std::floor(at.y())) - 1;
    s.clear();
    s.expand(ccRLEBuffer(pels), at, {}, ccPair<long>(fx, fy), false, 0);
    const ccUIRect visible =
        ccUIRect(px, py, pels.width() * fx, pels.height() * fy) & ccUIRect(0, 0, 37, 29);
    if (visible.isNull()) {
      EXPECT_TRUE(s.calls().empty());
      continue;
    }
    ASSERT_EQ(s.calls().size(), 1u);
    const ccTraceCall& c = s.last();
    ASSERT_EQ(c.name, "drawRLEImage");
    EXPECT_EQ(c.point("at"), ccVector<2>(visible.left() + 2, visible.top() + 1));
    ASSERT_EQ(c.pixel("size"), visible.sz());
    ccPelBuffer<unsigned char> got;
    rle(visible.width(), c.get<Pels>("runs")).decode(got);
    for (long y = 0; y < visible.height(); ++y)
      for (long x = 0; x < visible.width(); ++x) {
        const long sx = (visible.left() + x - px) / fx, sy = (visible.top() + y - py) / fy;
        ASSERT_EQ(got.get(x, y), pels.get(sx, sy)) << "trial " << trial;
      }
  }
}

// ---- Failures

TEST(ImageZoom, BadFactorsAreReportedAndDrawNothing) {
  AssertCounter asserts;
  ZoomScope s;
  const ccRLEBuffer img = rle(2, {5, 2, 0, 0});
  s.sample(img, ccPoint(0, 0), {}, ccPair<long>(0, 1), false, 0);
  s.expand(img, ccPoint(0, 0), {}, ccPair<long>(2, -1), false, 0);
  s.sample(img, ccPoint(0, 0), {}, ccPair<double>(0.5, 0), false, 0);
  s.expand(img, ccPoint(0, 0), {}, ccPair<double>(-2, 2), false, 0);
  ccPelBuffer<unsigned char> dst;
  ccUIRect r = kEverywhere;
  s.pelExpand(ccPelBuffer<unsigned char>(2, 2), dst, 0, 1, r, kNoPhase);
  EXPECT_TRUE(r.isNull());
  r = kEverywhere;
  s.pelScale(ccPelBuffer<unsigned char>(2, 2), dst, 0.0, r, kAtZero, kNone);
  EXPECT_TRUE(r.isNull());
  // Nothing to do is no failure: a degenerate image, a phase that cuts a whole block.
  s.expand(ccRLEBuffer(), ccPoint(0, 0), {}, ccPair<long>(2, 2), false, 0);
  r = kEverywhere;
  s.pelExpand(ccPelBuffer<unsigned char>(2, 2), dst, 2, 2, r, ccPair<long>(-2, 0));
  EXPECT_TRUE(r.isNull());
  EXPECT_FALSE(dst.isBound());
  EXPECT_TRUE(s.calls().empty());
  EXPECT_EQ(asserts.reports(), 6);
}
