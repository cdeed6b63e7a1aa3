// Run-length buffers: encoding and decoding, long runs, sub-windows, taking over rows
// (becomeOwner) and the archive form.
#include <core/archive.h>
#include <core/errors.h>
#include <core/rlebuffer.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// A w x h image of values drawn from `levels` distinct values; few levels give long runs.
ccPelBuffer<unsigned char> randomImage(std::mt19937& rng, long w, long h, int levels) {
  ccPelBuffer<unsigned char> b(w, h, 16);
  std::uniform_int_distribution<int> value(0, levels - 1);
  std::uniform_int_distribution<int> stay(0, 9);
  for (long y = 0; y < h; ++y) {
    unsigned char* row = b.pointToRow(y);
    int v = value(rng) * 255 / std::max(levels - 1, 1);
    for (long x = 0; x < w; ++x) {
      if (stay(rng) == 0) v = value(rng) * 255 / std::max(levels - 1, 1);
      row[x] = static_cast<unsigned char>(v);
    }
  }
  return b;
}

bool samePels(const ccPelBuffer_const<unsigned char>& a,
              const ccPelBuffer_const<unsigned char>& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (long y = 0; y < a.height(); ++y)
    for (long x = 0; x < a.width(); ++x)
      if (a.get(x, y) != b.get(x, y)) return false;
  return true;
}

// Checks the run structure of every row: lengths 1..255 summing to the width, then (0, 0).
void expectWellFormed(const ccRLEBuffer& r) {
  for (long y = 0; y < r.height(); ++y) {
    const unsigned char* run = r.pointToRow(y);
    long sum = 0;
    std::size_t bytes = 0;
    for (; run[1] != 0; run += 2, bytes += 2) sum += run[1];
    EXPECT_EQ(run[0], 0);
    EXPECT_EQ(sum, r.width()) << "row " << y;
    EXPECT_EQ(bytes + 2, r.rowBytes(y));
  }
}

TEST(RleCodec, RandomRoundTrips) {
  std::mt19937 rng(12345);
  const long sizes[][2] = {{1, 1}, {1, 17}, {17, 1}, {64, 48}, {300, 7}, {1000, 3}, {5, 5}};
  for (const auto& s : sizes) {
    for (int levels : {2, 3, 256}) {
      const ccPelBuffer<unsigned char> img = randomImage(rng, s[0], s[1], levels);
      const ccRLEBuffer rle(img);
      expectWellFormed(rle);
      ccPelBuffer<unsigned char> out;
      rle.decode(out);
      EXPECT_TRUE(samePels(img, out)) << s[0] << "x" << s[1] << " levels " << levels;
    }
  }
}

TEST(RleCodec, LongRunsSplitAt255) {
  ccPelBuffer<unsigned char> img(600, 2);
  cfPelSet(img, 7);
  img.set(599, 1, 8);
  const ccRLEBuffer rle(img);
  const unsigned char row0[] = {7, 255, 7, 255, 7, 90, 0, 0};
  const unsigned char row1[] = {7, 255, 7, 255, 7, 89, 8, 1, 0, 0};
  ASSERT_EQ(rle.rowBytes(0), sizeof row0);
  ASSERT_EQ(rle.rowBytes(1), sizeof row1);
  EXPECT_TRUE(std::equal(row0, row0 + sizeof row0, rle.pointToRow(0)));
  EXPECT_TRUE(std::equal(row1, row1 + sizeof row1, rle.pointToRow(1)));
  // Exactly 255 and 256.
  ccPelBuffer<unsigned char> e(256, 1);
  cfPelSet(e, 3);
  ccPelBuffer<unsigned char> e255 = e;
  e255.window(0, 0, 255, 1);
  EXPECT_EQ(ccRLEBuffer(e255).rowBytes(0), 4u);
  EXPECT_EQ(ccRLEBuffer(e).rowBytes(0), 6u);
}

TEST(RleCodec, WindowAndOffsetAreEncoded) {
  std::mt19937 rng(7);
  ccPelBuffer<unsigned char> img = randomImage(rng, 20, 10, 4);
  ccPelBuffer<unsigned char> win = img;
  win.window(3, 2, 9, 5);
  const ccRLEBuffer rle(win);
  ccPelBuffer<unsigned char> out;
  rle.decode(out);
  EXPECT_EQ(out.offset(), ccPair<long>(3, 2));
  EXPECT_TRUE(samePels(win, out));
}

TEST(RleCodec, DecodeIntoBoundBufferUsesImageCoordinates) {
  ccPelBuffer<unsigned char> src(4, 3);
  cfPelSet(src, 9);
  ccRLEBuffer rle(src);
  rle.offset(2, 1);
  ccPelBuffer<unsigned char> dst(5, 5);
  rle.decode(dst);  // the image covers [2, 6) x [1, 4): clipped to [2, 5) x [1, 4)
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 5; ++x)
      EXPECT_EQ(dst.get(x, y), (x >= 2 && y >= 1 && y < 4) ? 9 : 0) << x << "," << y;
  ccPelBuffer<unsigned char> u;
  EXPECT_THROW(ccRLEBuffer{u}, ccPel::UnboundWindow);
}

TEST(RleSubWindow, MatchesDecodeThenWindow) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<long> pos(-8, 40), len(0, 45);
  for (int round = 0; round < 200; ++round) {
    const ccPelBuffer<unsigned char> img = randomImage(rng, 37, 29, round % 2 ? 3 : 256);
    ccRLEBuffer rle(img);
    rle.offset(round % 3, -(round % 4));
    const long x = pos(rng), y = pos(rng), w = len(rng), h = len(rng);
    const ccRLEBuffer sub = rle.subWindow(x, y, w, h);
    expectWellFormed(sub);
    ccPelBuffer<unsigned char> full;
    rle.decode(full);
    full.window(x, y, w, h);
    EXPECT_EQ(sub.height(), full.height());
    if (sub.degenerate()) continue;
    // The same runs and offset as encoding the window.
    EXPECT_EQ(sub, ccRLEBuffer(full)) << x << "," << y << " " << w << "x" << h;
  }
}

TEST(RleSubWindow, CutsLongRunsAtTheEdges) {
  ccPelBuffer<unsigned char> img(600, 1);
  cfPelSet(img, 5);
  // Source runs 255, 255, 90; the window [100, 400) cuts 155 and 145 of the first two, which
  // merge into 255 + 45.
  const ccRLEBuffer sub = ccRLEBuffer(img).subWindow(100, 0, 300, 1);
  const unsigned char row[] = {5, 255, 5, 45, 0, 0};
  ASSERT_EQ(sub.rowBytes(0), sizeof row);
  EXPECT_TRUE(std::equal(row, row + sizeof row, sub.pointToRow(0)));
  EXPECT_THROW(sub.subWindow(0, 0, -1, 1), ccShapesError::BadParams);
}

TEST(RleBecomeOwner, CopiesValidRows) {
  std::vector<unsigned char> r0 = {1, 3, 2, 2, 0, 0};
  std::vector<unsigned char> r1 = {9, 5, 7, 0};  // terminator with a non-zero value byte
  ccRLEBuffer rle;
  rle.becomeOwner(5, std::vector<const unsigned char*>{r0.data(), r1.data()}, ccPair<long>(1, 2));
  r0[0] = 77;  // the buffer owns copies
  EXPECT_EQ(rle.offset(), ccPair<long>(1, 2));
  EXPECT_EQ(rle.rowBytes(1), 4u);
  ccPelBuffer<unsigned char> out;
  rle.decode(out);
  const unsigned char expect[2][5] = {{1, 1, 1, 2, 2}, {9, 9, 9, 9, 9}};
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < 5; ++x) EXPECT_EQ(out.get(x, y), expect[y][x]);
  // No rows: degenerate.
  rle.becomeOwner(5, nullptr, 0);
  EXPECT_TRUE(rle.degenerate());
}

TEST(RleBecomeOwner, MalformedRowsThrowAndChangeNothing) {
  ccPelBuffer<unsigned char> img(4, 2);
  cfPelSet(img, 6);
  ccRLEBuffer rle(img);
  rle.offset(3, 3);
  const ccRLEBuffer before = rle;
  const unsigned char good[] = {1, 4, 0, 0};
  const unsigned char tooShort[] = {1, 3, 0, 0};
  const unsigned char tooLong[] = {1, 3, 2, 2, 0, 0};
  const unsigned char empty[] = {0, 0};
  const std::vector<std::vector<const unsigned char*>> bad = {
      {good, tooShort}, {tooLong, good}, {good, nullptr}, {empty}};
  for (const auto& rows : bad) {
    EXPECT_THROW(rle.becomeOwner(4, rows), ccShapesError::BadParams);
    EXPECT_EQ(rle, before);
  }
  EXPECT_THROW(rle.becomeOwner(-1, std::vector<const unsigned char*>{}), ccShapesError::BadParams);
  EXPECT_THROW(rle.becomeOwner(4, nullptr, 2), ccShapesError::BadParams);
  EXPECT_EQ(rle, before);
  // Width 0: a row of only the terminator is well formed.
  rle.becomeOwner(0, std::vector<const unsigned char*>{empty});
  EXPECT_TRUE(rle.degenerate());
  EXPECT_EQ(rle.height(), 1);
}

TEST(RleBuffer, DegenerateAndRowAccess) {
  ccRLEBuffer d;
  EXPECT_THROW(d.pointToRow(0), ccShapesError::BadParams);
  ccPelBuffer<unsigned char> out;
  d.decode(out);
  EXPECT_TRUE(out.isBound());
  EXPECT_EQ(out.width(), 0);
  ccPelBuffer<unsigned char> img(3, 2);
  const ccRLEBuffer r(img);
  EXPECT_THROW(r.pointToRow(2), ccShapesError::BadParams);
  EXPECT_TRUE(r.subWindow(10, 10, 2, 2).degenerate());
}

TEST(RleArchive, RoundTripAndMalformedData) {
  std::mt19937 rng(3);
  ccRLEBuffer rle(randomImage(rng, 300, 6, 2));
  rle.offset(-5, 8);
  ccArchive out;
  rle.dispatchSerialize(out);
  ccArchive in(out.data());
  ccRLEBuffer back;
  back.dispatchSerialize(in);
  EXPECT_TRUE(in.atEnd());
  EXPECT_EQ(back, rle);

  // Version, width, height, offset x, offset y (longs), then row 0's first run.
  ccArchive head;
  unsigned char version = 0;
  long w = rle.width(), h = rle.height(), ox = rle.offset().first, oy = rle.offset().second;
  head || version || w || h || ox || oy;
  const std::size_t run = head.data().size();
  std::vector<unsigned char> bytes = out.data();
  bytes[run + 1] = static_cast<unsigned char>(bytes[run + 1] + 1);
  ccArchive badRow(bytes);
  ccRLEBuffer other;
  EXPECT_THROW(other.dispatchSerialize(badRow), ccArchive::BadData);
  EXPECT_TRUE(other.degenerate());
}

}  // namespace
