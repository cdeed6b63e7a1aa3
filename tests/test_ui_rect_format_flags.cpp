// Screen rectangles, text formats and flag stacks.
#include <dispc/flagstack.h>
#include <dispc/uirect.h>
#include <dispc/uistring.h>

#include <gtest/gtest.h>

#include "drawingsamples.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <thread>
#include <vector>

namespace {

ccUIRect rect(long x, long y, long w, long h) { return ccUIRect(x, y, w, h); }

void expectRect(const ccUIRect& r, long x, long y, long w, long h) {
  EXPECT_EQ(r.left(), x);
  EXPECT_EQ(r.top(), y);
  EXPECT_EQ(r.width(), w);
  EXPECT_EQ(r.height(), h);
}

}  // namespace

// Non-positive sizes normalise to null (the constructor and the size setter), offsets do not
// (a null rectangle moves: still null, no longer equal to null); the corner setter keeps the
// size and leaves null alone; the right and bottom edges and corners are exclusive.
TEST(UIRect, NormalisingOffsetsCornersAndExclusiveEdges) {
  expectRect(rect(5, 5, 0, 10), 0, 0, 0, 0);
  expectRect(rect(5, 5, 10, -1), 0, 0, 0, 0);
  ccUIRect r = rect(1, 2, 3, 4);
  r.sz(ccPair<long>(7, 0));
  EXPECT_EQ(r, ccUIRect::null);
  expectRect(ccUIRect::inf, -1073741823, -1073741823, 2147483647, 2147483647);
  r = rect(1, 2, 3, 4) + ccPair<long>(10, -20);
  expectRect(r, 11, -18, 3, 4);
  r -= ccPair<long>(11, -18);
  expectRect(r, 0, 0, 3, 4);
  const ccUIRect moved = ccUIRect::null + ccPair<long>(1, 1);
  EXPECT_TRUE(moved.isNull());
  EXPECT_NE(moved, ccUIRect::null);
  r.ul(ccPair<long>(-7, 8));
  expectRect(r, -7, 8, 3, 4);
  ccUIRect n;
  n.ul(ccPair<long>(3, 3));
  EXPECT_EQ(n, ccUIRect::null);

  const ccUIRect box = rect(2, 3, 10, 20);
  EXPECT_EQ(box.lr(), ccPair<long>(12, 23));
  EXPECT_EQ(box.ur(), ccPair<long>(12, 3));
  EXPECT_FALSE(box.within(ccPair<long>(12, 5)));
  EXPECT_TRUE(box.within(ccPair<long>(11, 22)));
  EXPECT_TRUE(box.within(rect(4, 5, 8, 18)));
  EXPECT_FALSE(box.within(rect(4, 5, 9, 18)));
}

// Pixel edges clamped to the ends of the long range (huge mapped coordinates) must not
// overflow: the size saturates and the far edge still fits.
TEST(UIRect, EdgesAtTheEndsOfTheLongRangeSaturateTheSize) {
  constexpr long kMin = std::numeric_limits<long>::min(), kMax = std::numeric_limits<long>::max();
  const ccUIRect wide = ccUIRect::fromEdges(kMin, -6, 4, kMax);
  EXPECT_EQ(wide.width(), kMax);
  EXPECT_EQ(wide.right(), -1);
  EXPECT_EQ(wide.height(), kMax);
  EXPECT_EQ(ccUIRect::fromEdges(0, 0, kMax, 1).width(), kMax);
  EXPECT_EQ(ccUIRect::fromEdges(kMax, 0, kMin, 1), ccUIRect());
}

TEST(UIRect, IntersectionAndUnion) {
  const ccUIRect a = rect(0, 0, 10, 10);
  EXPECT_TRUE((a & rect(10, 0, 5, 5)).isNull());
  EXPECT_TRUE(a.nullIntersection(rect(10, 0, 5, 5)));
  EXPECT_TRUE(a.nullIntersection(rect(-5, 0, 5, 5)));  // touching on either side
  EXPECT_FALSE(a.nullIntersection(rect(9, 9, 5, 5)));
  expectRect(a & rect(9, 9, 5, 5), 9, 9, 1, 1);
  expectRect(a & rect(-5, 2, 8, 3), 0, 2, 3, 3);
  EXPECT_TRUE(a.nullIntersection(ccUIRect::null));

  EXPECT_EQ(a | ccUIRect::null, a);
  EXPECT_EQ(ccUIRect::null | a, a);
  expectRect(a | rect(20, -5, 1, 1), 0, -5, 21, 15);
  ccUIRect c = ccUIRect::null;
  c &= a;
  EXPECT_TRUE(c.isNull());
}

TEST(UIRect, ArchiveFormAndVersions) {
  // version, then two pairs of (version, long x, long y); these longs take a byte each.
  expectArchiveForm(rect(-3, 4, 5, 6), {0, 0, 0x05, 0x08, 0, 0x0A, 0x0C}, "dispc/uirect",
                    rect(1, 1, 1, 1));
  // Loading does not normalise: width 0.
  ccArchive in(Bytes{0, 0, 0x05, 0x08, 0, 0, 0x0C});
  ccUIRect denorm;
  in || denorm;
  EXPECT_EQ(denorm.left(), -3);
  EXPECT_EQ(denorm.width(), 0);
}

TEST(UIFormat, AlignRectShiftsByTruncatedHalves) {
  // Anchor (100, 50), size 11 x 7: the centre column moves by 5, the right by 11; the middle
  // row by 3, the bottom by 7.
  const ccUIRect text(100, 50, 11, 7);
  const long x[3] = {100, 95, 89}, y[3] = {50, 47, 43};
  for (int a = 0; a < 9; ++a)
    expectRect(ccUIFormat(0, static_cast<ccUIFormat::Alignment>(a)).alignRect(text), x[a % 3],
               y[a / 3], 11, 7);
  expectRect(ccUIFormat(0, ccUIFormat::eBottomRight).alignRect(ccUIRect(0, 0, 1, 1)), -1, -1, 1, 1);
}

TEST(UIFormat, DefaultFontIdIsProcessWide) {
  EXPECT_EQ(ccUIFormat(ccUIFormat::eCenter).fontId(), -1);
  ccUIFormat::defaultFontId(7);
  EXPECT_EQ(ccUIFormat(ccUIFormat::eCenter).fontId(), 7);
  EXPECT_EQ(ccUIFormat(3, ccUIFormat::eCenter).fontId(), 3);
  ccUIFormat::defaultFontId(-1);
}

TEST(UIFormat, FirstUseFromManyThreadsSeesOneValue) {
  // In a fresh process, where the default font id is not built yet: eight threads released
  // together make the first use. A second object built in a race would be lost (a leak that
  // the sanitizer build reports as a failed exit).
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_EXIT(
      {
        std::atomic<bool> go{false};
        std::vector<long> seen(8, 0);
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
          threads.emplace_back([&, i] {
            while (!go.load()) {
            }
            seen[i] = ccUIFormat::defaultFontId();
          });
        go = true;
        for (auto& t : threads) t.join();
        for (long v : seen)
          if (v != -1) std::_Exit(1);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(UIFormat, ArchiveFormAndVersions) {
  // version, font id -5 (a long, zig-zag 9) and alignment 6 (an unsigned long)
  const ccUIFormat f(-5, ccUIFormat::eBottomLeft);
  expectArchiveForm(f, {0, 9, 6}, "dispc/uistring");
  ccArchive bad(Bytes{0, 9, 9});  // no such alignment
  ccUIFormat back = f;
  EXPECT_THROW(bad || back, ccArchive::BadData);
  EXPECT_EQ(back, f);
}

TEST(FlagStack, PushPopIndexingAndLimits) {
  ccFlagStack s(false);
  s.push(true);
  s.push(false);
  EXPECT_TRUE(s[1]);
  EXPECT_FALSE(s[2]);
  EXPECT_THROW(s[s.depth()], ccUIError::FlagStackOutOfRange);
  s = true;  // replaces the top
  EXPECT_EQ(s.depth(), 3);
  EXPECT_TRUE(s[0]);
  EXPECT_TRUE(s.pop());
  for (int i = 0; i < 30; ++i) s.push(false);
  EXPECT_FALSE(s);
  EXPECT_TRUE(s[30]);
  EXPECT_FALSE(s[31]);
  EXPECT_THROW(s.push(true), ccUIError::FlagStackOverflow);
  EXPECT_EQ(s.depth(), 32);
  while (s.depth() > 2) EXPECT_FALSE(s.pop());
  EXPECT_TRUE(s.pop());
  EXPECT_FALSE(s);
  EXPECT_THROW(s.pop(), ccUIError::FlagStackUnderflow);
  EXPECT_EQ(s.depth(), 1);
}
