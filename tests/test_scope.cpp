// The scope base class, exercised through the trace back end: the tolerant floor and the pen,
// change tracking with its assertion reports (and the changes the trace back end notes as a real
// back end does), the scope tree, colour matching, and image zoom: the protected workers
// (replication with phases and limits, nearest sample by truncation, the whole-number path,
// smoothing with grey margins) against oracles, and the run-length forms (reduction on runs,
// enlargement of the visible part, the 8-bit path).
#include <backends/trace/tracescope.h>
#include <core/assert.h>
#include <core/rlebuffer.h>
#include <dispc/scope.h>
#include <dispc/tolerance.h>
#include <dispc/tolfloor.h>

#include "assertcounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <list>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

ccUIRect rect(long x, long y, long w, long h) { return ccUIRect(x, y, w, h); }
const ccGraphicProps kPen(ccColor(255, 0, 0), 1);

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

// Pels below `levels`, or of any value.
template <class T = unsigned char>
ccPelBuffer<T> randomImage(std::mt19937& rng, long w, long h, unsigned levels = 0) {
  ccPelBuffer<T> b(w, h);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) b.set(x, y, T(levels ? rng() % levels : rng()));
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

// ---- Tolerant floor and the pen

TEST(TolerantFloor, AHairBelowAWholeNumberIsThatNumberOtherwiseFloorSaturated) {
  // clang-format off
  const double v[] = {2.9999999999999, -0.99999999999999, -1.00000000000001, 2.5, -0.5,
                      2.999999999, -1.000000001, 1e20, -1e20, 2147483646.5, NAN};
  // clang-format on
  const long floor[] = {3, -1, -1, 2, -1, 2, -2, 2147483647L, -2147483647L - 1, 2147483646L, 0};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(cfTolerantFloor(v[i]), floor[i]) << v[i];
}

TEST(ScopePen, PixelsAreFlooredTolerantlyShiftedByTheClipOffsetAndMovedWhole) {
  ccTraceScope s(rect(0, 0, 100, 100), nullptr, ccPair<long>(4, 6));
  EXPECT_EQ(s.xCoord(ccPoint(2.9999999999999, 0)), 3 - 4);
  EXPECT_EQ(s.yCoord(ccPoint(0, -0.5)), -1 - 6);
  s.drawStart(ccPoint(10.7, 3.2));
  EXPECT_EQ(s.drawPoint(), ccPoint(10.7, 3.2));
  EXPECT_EQ(ccPair<long>(s.drawX(), s.drawY()), ccPair<long>(6, -3));
  s.moveToRel(5, -2);
  EXPECT_EQ(s.drawPoint(), ccPoint(10.7 + 5, 3.2 - 2));
  EXPECT_EQ(ccPair<long>(s.drawX(), s.drawY()), ccPair<long>(11, -5));
}

// ---- Change tracking

// Changes are clipped to the scope and accumulate; a change of the whole scope with
// checkOpaque makes it opaque; the client rectangle grows unclipped; noChange clears only
// the changes. Rectangles read back are shifted by the clip offset.
TEST(ScopeChanges, ClippedAccumulatedAndReadInClipOffsetPixels) {
  ccTraceScope s(rect(0, 0, 100, 50));
  // The second touches (0, 0) but does not cover it.
  for (const ccUIRect& r : {rect(200, 10, 5, 5), rect(-20, -20, 20, 20), ccUIRect::null})
    s.change(r, true);
  EXPECT_TRUE(s.flags() == 0u && !s.anyChanged());
  s.change(rect(90, 40, 20, 20), false);
  EXPECT_EQ(s.changeRect(), rect(90, 40, 10, 10));
  EXPECT_TRUE(!s.allChanged() && s.anyChanged());
  s.change(rect(-5, -5, 10, 10), false);
  EXPECT_EQ(s.changeRect(), rect(0, 0, 100, 50));  // the two corners span the scope
  s.change(rect(0, 0, 99, 50), true);              // one column short
  EXPECT_TRUE(s.allChanged() && !s.opaque());
  s.change(rect(-10, -10, 200, 200), true);
  EXPECT_TRUE(s.opaque());
  s.modified(true);
  s.noChange();
  EXPECT_FALSE(s.someChanged() || s.allChanged());
  EXPECT_TRUE(s.opaque() && s.modified() && s.anyChanged());

  ccTraceScope c(rect(0, 0, 100, 50), nullptr, ccPair<long>(4, 6));
  c.change(rect(1, 2, 3, 4), false);
  EXPECT_EQ(c.changeRect(), rect(5, 8, 3, 4));
  c.clientChangeEnable(true);
  // Both outside the scope.
  for (const ccUIRect& r : {rect(200, 10, 5, 5), rect(190, 30, 5, 5)}) c.change(r, false);
  EXPECT_EQ(c.changeRect(), rect(5, 8, 3, 4));
  EXPECT_EQ(c.clientChangedRect(true), rect(194, 16, 15, 25));
  EXPECT_EQ(c.clientChangedRect(false), rect(194, 16, 15, 25));
  EXPECT_FALSE(c.clientChangeEnable());  // reading without keep switched it off
  c.change(rect(50, 0, 2, 2), false);
  c.clientChangeEnable(true);
  EXPECT_EQ(c.clientChangedRect(true), ccUIRect::null);
}

// allChange: the whole scope on screen (nothing off screen), the client rectangle infinite.
TEST(ScopeChanges, AllChangeOnAndOffScreen) {
  for (bool off : {false, true}) {
    ccTraceScope s(rect(0, 0, 100, 50));
    s.offScreen(off);
    s.clientChangeEnable(true);
    s.allChange();
    EXPECT_EQ(s.someChanged() + 2 * s.allChanged(), 2 + !off);
    EXPECT_EQ(s.changeRect(), off ? ccUIRect::null : rect(0, 0, 100, 50));
    EXPECT_EQ(s.clientChangedRect(true), ccUIRect::inf);
    EXPECT_TRUE(s.anyChanged() && s.trackChanges());  // client tracking is on
    s.clientChangeEnable(false);
    EXPECT_FALSE(s.trackChanges());
  }
}

TEST(ScopeChanges, EnablingClientTrackingTwiceOrReadingItWhenOffIsReported) {
  AssertCounter asserts;
  ccTraceScope s(rect(0, 0, 100, 50));
  s.clientChangeEnable(true);
  s.change(rect(1, 1, 1, 1), false);
  s.clientChangeEnable(true);  // reported; still enabled, the client rectangle cleared again
  EXPECT_TRUE(s.clientChangeEnable());
  EXPECT_EQ(s.clientChangedRect(true), ccUIRect::null);
  EXPECT_EQ(asserts.reports(), 1);
  s.clientChangeEnable(false);
  s.clientChangeEnable(false);                           // switching off twice is fine
  EXPECT_EQ(s.clientChangedRect(true), ccUIRect::null);  // reported
  EXPECT_EQ(asserts.files(), std::vector<std::string>(2, "dispc/scope"));
}

TEST(TraceScope, DrawingNotesChangesLikeABackEndUnlessSwitchedOff) {
  ccTraceScope t(rect(0, 0, 100, 50));
  t.drawLineSeg(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(3, 4)), kPen);
  EXPECT_EQ(t.changeRect(), rect(1, 2, 3, 3));
  t.noChange();
  // Pen width 3 grows the box by one pixel on each side.
  t.drawLineSeg(ccLineSeg(ccVector<2>(10, 10), ccVector<2>(5, 12)), ccGraphicProps(ccColor(1), 3));
  EXPECT_EQ(t.changeRect(), rect(4, 9, 8, 5));
  t.noChange();
  t.drawStart(ccPoint(20, 20));
  t.drawToRel(-5, 2, kPen);
  EXPECT_EQ(t.changeRect(), rect(15, 20, 6, 3));
  t.noChange();
  t.drawImage(ccPelBuffer<unsigned char>(2, 2), ccPoint(98, 49), false, 0, false);
  EXPECT_EQ(t.changeRect(), rect(98, 49, 2, 1));
  t.noChange();
  EXPECT_FALSE(t.opaque());
  t.setAll(ccColor(0));
  EXPECT_TRUE(t.opaque() && t.allChanged());
  t.noChange();
  t.opaque(false);
  t.setRect(rect(0, 0, 100, 50), ccColor(0));
  EXPECT_TRUE(t.opaque());

  ccTraceScope quiet(rect(0, 0, 100, 50));
  quiet.noteChanges(false);
  quiet.drawLineSeg(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(3, 4)), kPen);
  quiet.setAll(ccColor(0));
  EXPECT_FALSE(quiet.someChanged() || quiet.opaque() || quiet.anyChanged());
}

// ---- Tree

// Placing under a parent whose clip offset is (5, 3): the attach rectangle is relative to the
// parent's visible corner; what hangs off it on the top left becomes the clip offset (move),
// or the larger of rectangle and parent offset (subset). Placing clears the changes.
TEST(ScopeTree, MoveAndSubsetSetTheClipOffset) {
  ccTraceScope parent(rect(0, 0, 100, 100), nullptr, ccPair<long>(5, 3));
  const struct {
    bool subset;
    ccUIRect place;
    const char* attached;
    ccPair<long> clipOffset;
  } rows[] = {{false, rect(2, 10, 20, 20), "(-3,7 20x20)", {3, 0}},
              {false, rect(20, 30, 10, 10), "(15,27 10x10)", {0, 0}},
              {false, rect(0, 0, 10, 10), "(-5,-3 10x10)", {5, 3}},
              {true, rect(2, 10, 20, 20), "(-3,7 20x20)", {5, 10}},
              {true, rect(40, 1, 20, 20), "(35,-2 20x20)", {40, 3}}};
  ccTraceScope child(rect(0, 0, 30, 30), parent.log(), ccPair<long>(9, 9));
  for (const auto& r : rows) {
    child.change(rect(0, 0, 30, 30), true);
    if (r.subset)
      child.subset(parent, r.place);
    else
      child.move(parent, r.place);
    EXPECT_EQ(child.clipOffset(), r.clipOffset) << r.attached;
    EXPECT_EQ(parent.last().str(), std::string("#1 attach parent=0 rect=") + r.attached);
    EXPECT_FALSE(child.someChanged() || child.allChanged());
  }
  EXPECT_EQ(child.root(), &parent);
  EXPECT_EQ(parent.children().size(), 1u);  // moved five times, linked once
  child.move(parent, rect(2, 10, 20, 20));
  EXPECT_EQ(child.scopeBounds(), rect(0, 7, 17, 20));  // the trace shows the visible part
}

TEST(ScopeTree, MovingUnderItselfOrASubScopeIsRefused) {
  AssertCounter asserts;
  ccTraceScope root(rect(0, 0, 100, 100));
  std::unique_ptr<ccTraceScope> sub(root.newSubScope(rect(10, 10, 50, 50), false));
  const long before = root.log()->size();
  root.move(*sub, rect(0, 0, 10, 10));
  sub->move(*sub, rect(0, 0, 10, 10));
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_EQ(root.log()->size(), before);  // no attach
  EXPECT_TRUE(!root.parent() && sub->parent() == &root && sub->children().empty());
}

// A change anywhere marks the root as changed. A destroyed scope leaves its parent's list; its
// sub-scopes are orphans that reach no root and touch nothing freed, and can be placed again.
TEST(ScopeTree, AnyChangedLivesOnTheRootDestructionOrphans) {
  ccTraceScope root(rect(0, 0, 100, 100));
  ccTraceScope* first = root.newSubScope(rect(0, 0, 10, 10), false);
  ccTraceScope* second = root.newSubScope(rect(10, 0, 10, 10), false);
  std::unique_ptr<ccTraceScope> grand(second->newSubScope(rect(0, 0, 5, 5), false));
  EXPECT_EQ(grand->root(), &root);
  grand->change(rect(0, 0, 1, 1), false);
  // Only the leaf changed.
  EXPECT_TRUE(root.anyChanged() && second->anyChanged() && !root.someChanged());
  second->clearAnyChanged();
  EXPECT_FALSE(root.anyChanged() || grand->anyChanged());
  grand->noChange();
  delete second;
  EXPECT_EQ(root.children(), std::list<ccUIScope*>{first});
  EXPECT_TRUE(!grand->parent() && !grand->root());
  grand->change(rect(0, 0, 5, 5), false);
  EXPECT_TRUE(grand->someChanged() && !grand->anyChanged() && !root.anyChanged());
  grand->move(root, rect(0, 0, 20, 20));
  EXPECT_EQ(grand->root(), &root);
  grand->change(rect(0, 0, 5, 5), false);
  EXPECT_TRUE(root.anyChanged());
  delete first;
}

// ---- Colours

// Nearest by distance of the stored triples (an index colour's is (0, 0, 0)); on a tie the
// lower index; an empty map gives index 0.
TEST(ScopeNearestColor, Table) {
  const std::vector<ccRGB> map = {ccRGB(10, 10, 10), ccRGB(200, 0, 0), ccRGB(0, 200, 0)};
  const std::vector<ccRGB> ties = {ccRGB(100, 100, 100), ccRGB(0, 0, 10), ccRGB(0, 10, 0)};
  const std::vector<ccRGB> kinds = {ccRGB(50, 50, 50), ccRGB(1, 1, 1), ccRGB(250, 0, 0)};
  // White is 355.07 from kinds' entry 0, 360.66 from its entry 2.
  const ccColor colours[] = {ccColor(190, 10, 0),  ccColor(0, 150, 60), ccColor(60, 60, 60),
                             ccColor(0, 0, 0),     ccColor(200),        ccColor::redColor(),
                             ccColor::whiteColor()};
  const std::vector<ccRGB>* maps[] = {&map, &map, &map, &ties, &kinds, &kinds, &kinds};
  std::string nearest;
  for (int i = 0; i < 7; ++i) {
    const ccColor n = ccUIScope::nearestColor(colours[i], *maps[i]);
    EXPECT_TRUE(n.isIndexColor() && !n.isRGBColor());
    nearest += std::to_string(n.index());
  }
  EXPECT_EQ(nearest, "1201120");
  EXPECT_EQ(ccUIScope::nearestColor(ccColor(1, 2, 3), {}).index(), 0);
}

// ---- Replication and nearest sample

template <class T>
class PelExpandTyped : public ::testing::Test {};
using ExpandedPels = ::testing::Types<unsigned char, ccPackedRGB16Pel, ccPackedRGB32Pel>;
TYPED_TEST_SUITE(PelExpandTyped, ExpandedPels);

// Destination pel (x, y) is source pel ((x + cut.x) / fx, (y + cut.y) / fy), or 0 past the
// source; the size is the whole enlargement within the requested size.
TYPED_TEST(PelExpandTyped, EveryPelIsItsSourcePelShiftedByTheCut) {
  ZoomScope s;
  std::mt19937 rng(5);
  std::uniform_int_distribution<long> size(1, 40), factor(1, 9), place(-10, 10), extent(0, 200);
  for (int trial = 0; trial < 300; ++trial) {
    const auto src = randomImage<TypeParam>(rng, size(rng), size(rng));
    const long fx = factor(rng), fy = factor(rng), sw = src.width() * fx, sh = src.height() * fy;
    const ccPair<long> phase(place(rng) % (fx + 1), place(rng) % (fy + 1));
    const long cutX = std::max(0L, -phase.first), cutY = std::max(0L, -phase.second);
    const ccUIRect wanted(place(rng), place(rng), extent(rng), extent(rng));
    ccPelBuffer<TypeParam> dst;
    ccUIRect r = wanted;
    s.pelExpand(src, dst, fx, fy, r, phase);
    const long w = std::min(wanted.width(), sw), h = std::min(wanted.height(), sh);
    if (cutX == fx || cutY == fy || w == 0 || h == 0) {
      ASSERT_TRUE(r.isNull()) << trial;
      continue;
    }
    ASSERT_EQ(r, ccUIRect(wanted.ul(), ccPair<long>(w, h))) << trial;
    ASSERT_EQ(dst.offset(), r.ul());
    ASSERT_EQ(ccPair<long>(dst.width(), dst.height()), r.sz());
    for (long y = 0; y < h; ++y)
      for (long x = 0; x < w; ++x) {
        const long sx = x + cutX, sy = y + cutY;
        ASSERT_EQ(value(dst.get(x, y)), sx < sw && sy < sh ? value(src.get(sx / fx, sy / fy)) : 0)
            << trial << " at " << x << "," << y;
      }
  }
}

TEST(PelExpand, ReusesTheDestinationsPelsOnlyWhenNoOneElseSeesThem) {
  ZoomScope s;
  ccPelBuffer<unsigned char> dst;
  ccUIRect r = kEverywhere;
  s.pelExpand(image<unsigned char>(2, 1, {1, 2}), dst, 2, 2, r, kNoPhase);
  const auto* first = dst.root().rep();
  s.pelExpand(image<unsigned char>(2, 1, {5, 6}), dst, 2, 2, r, kNoPhase);
  EXPECT_EQ(dst.root().rep(), first);
  const ccPelBuffer<unsigned char> kept = dst;
  s.pelExpand(image<unsigned char>(2, 1, {3, 4}), dst, 2, 2, r, kNoPhase);
  EXPECT_NE(dst.root().rep(), first);
  EXPECT_EQ(pelsOf<unsigned char>(kept), (Pels{5, 5, 6, 6, 5, 5, 6, 6}));
  EXPECT_EQ(pelsOf<unsigned char>(dst), (Pels{3, 3, 4, 4, 3, 3, 4, 4}));
}

// Within the tolerance of a whole number the scale is that number.
TEST(PelScale, EveryPathAgreesWithTheNearestSampleForManyCases) {
  ZoomScope s;
  std::mt19937 rng(7);
  const double scales[] = {2, 3, 4, 7, 1, 0.5, 0.25, 1.0 / 3, 2.5, 1.75, 0.3, 0.7, 2.0000001};
  std::uniform_int_distribution<long> size(1, 70), place(-30, 30), extent(0, 120);
  for (int trial = 0; trial < 325; ++trial) {
    ccPelBuffer<unsigned char> src = randomImage<unsigned char>(rng, size(rng), size(rng));
    src.offset(place(rng), place(rng));  // plays no part
    const double k = scales[trial % 13],
                 whole = std::fabs(k - std::round(k)) <= ccZoomFactorTolerance ? std::round(k) : k;
    const ccPair<long> o(place(rng), place(rng));
    const ccUIRect clip(place(rng), place(rng), extent(rng), extent(rng));
    ccPelBuffer<unsigned char> dst;
    ccUIRect r = clip;
    // Reductions never smooth, whatever the mode.
    s.pelScale(src, dst, k, r, o, k <= 1 ? ccUIScope::eBicubicInterpolation : kNone);
    long w = 0, h = 0;
    while (long(w / whole) < src.width()) ++w;
    while (long(h / whole) < src.height()) ++h;
    ASSERT_EQ(r, ccUIRect(o, ccPair<long>(w, h)) & clip) << "trial " << trial;
    if (r.isNull()) continue;
    ASSERT_EQ(dst.offset(), r.ul());
    ASSERT_EQ(ccPair<long>(dst.width(), dst.height()), r.sz());
    for (long y = 0; y < r.height(); ++y)
      for (long x = 0; x < r.width(); ++x) {
        const long sx = long((r.left() + x - o.first) / whole),
                   sy = long((r.top() + y - o.second) / whole);
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
  // Without a mode nothing smooths: the nearest-sample test above checks that on every path.
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
  // One call; 11 / 4 rows: 0 and 4.
  EXPECT_EQ(s.str(),
            "drawRLEImage size=(3,2) offset=(0,0) runs=[0,3,0,0,4,3,0,0] at=(3,4) colorMap=[9,8] "
            "pass=true passValue=200 flag=false\n");
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
  // The pass value is not mapped.
  EXPECT_EQ(s.last().str(),
            "sampleImage pel=grey8 size=(4,1) offset=(0,0) pels=[10,1,30,3] at=(1,2) "
            "scale=(0.4,0.5) pass=true passValue=1 flag=false");
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
    EXPECT_TRUE(!c.flag("pass") && c.integer("passValue") == 0);
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
  const ccPelBuffer<unsigned char> pels(2, 2);
  s.sample(img, ccPoint(0, 0), {}, ccPair<long>(0, 1), false, 0);
  s.expand(img, ccPoint(0, 0), {}, ccPair<long>(2, -1), false, 0);
  s.sample(img, ccPoint(0, 0), {}, ccPair<double>(0.5, 0), false, 0);
  s.expand(img, ccPoint(0, 0), {}, ccPair<double>(-2, 2), false, 0);
  s.sample(pels, ccPoint(0, 0), ccPair<long>(0, 1), false, 0, false);
  s.expand(pels, ccPoint(0, 0), ccPair<long>(2, -1), false, 0, false, kNone);
  ccPelBuffer<unsigned char> dst;
  ccUIRect r = kEverywhere, r2 = kEverywhere;
  s.pelExpand(pels, dst, 0, 1, r, kNoPhase);
  s.pelScale(pels, dst, 0.0, r2, kAtZero, kNone);
  EXPECT_TRUE(r.isNull() && r2.isNull() && !dst.isBound());
  s.expand(ccRLEBuffer(), ccPoint(0, 0), {}, ccPair<long>(2, 2), false, 0);  // no failure
  EXPECT_TRUE(s.calls().empty());
  EXPECT_EQ(asserts.reports(), 8);
}
