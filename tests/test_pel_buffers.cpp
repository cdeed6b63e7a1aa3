// Pel buffers: packed pel types, owned and borrowed roots, windows and offsets, sharing,
// unbound buffers, image-from-client transforms, cfPelSet and the archive form; run-length
// buffers: encoding and decoding, long runs, sub-windows, taking over rows and the archive form.
#include <core/archive.h>
#include <core/errors.h>
#include <core/pelbuffer.h>
#include <core/rlebuffer.h>
#include <core/xform.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

bool samePels(const ccPelBuffer_const<unsigned char>& a,
              const ccPelBuffer_const<unsigned char>& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (long y = 0; y < a.height(); ++y)
    for (long x = 0; x < a.width(); ++x)
      if (a.get(x, y) != b.get(x, y)) return false;
  return true;
}

// The bytes of row y of r: its runs and the terminator.
std::vector<unsigned char> rowOf(const ccRLEBuffer& r, long y) {
  return std::vector<unsigned char>(r.pointToRow(y), r.pointToRow(y) + r.rowBytes(y));
}

TEST(PelTypes, PackedLayouts) {
  const ccPackedRGB16Pel p(255, 0, 255);
  EXPECT_EQ(p.packed(), 0xF81F);
  EXPECT_EQ(ccPackedRGB16Pel(0x07E0).g(), 255);  // pure green
  EXPECT_EQ(ccPackedRGB16Pel(128, 128, 128).packed(), (16 << 11) | (32 << 5) | 16);
  EXPECT_EQ(ccPackedRGB32Pel(1, 2, 3, 4).packed(), 0x04010203u);
  // One pel archives as its packed value, little-endian.
  ccPackedRGB16Pel a(0x1234), a2;
  ccPackedRGB32Pel b(0x11223344u), b2;
  ccArchive out;
  out || a || b;
  EXPECT_EQ(out.data(), (std::vector<unsigned char>{0x34, 0x12, 0x44, 0x33, 0x22, 0x11}));
  ccArchive in(out.data());
  in || a2 || b2;
  EXPECT_EQ(a2.packed(), 0x1234);
  EXPECT_EQ(b2.packed(), 0x11223344u);
}

TEST(PelBufferAlloc, ZeroedAlignedRowsAndBadSizes) {
  ccPelBuffer<unsigned char> b(10, 3);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 10; ++x) EXPECT_EQ(b.get(x, y), 0);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.pointToPel(0, 0)) % 64, 0u);
  ccPelBuffer<unsigned char> padded(10, 4, 32);
  EXPECT_EQ(padded.pointToPel(3, 2), padded.pointToRow(0) + 2 * 32 + 3);
  EXPECT_EQ(ccPelBuffer<unsigned short>(33, 2, 32).rowUpdate(), 64);
  using B = ccPelBuffer<unsigned char>;
  EXPECT_THROW(B(2, -1), ccShapesError::BadParams);
  EXPECT_THROW(B(2, 2, 0), ccShapesError::BadParams);
  std::vector<unsigned char> mem(20);
  EXPECT_THROW(B(mem.data(), 5, 2, 4), ccShapesError::BadParams);  // row step < width
  ccPelBuffer<ccPackedRGB32Pel> rgb(3, 2);
  cfPelSet(rgb, ccPackedRGB32Pel(128, 128, 128, 0));
  EXPECT_EQ(rgb.get(2, 1).packed(), 0x00808080u);
}

// Randomised against a plain vector of pels: handles on one root (copies share it and see each
// other's writes), each with its own window in image coordinates (clipped to the root, saying
// so) and its own relabelled offset; bounds-checked get and set (inside the root but outside the
// window too); cfPelSet of the window and of a sub-rectangle clipped to it.
TEST(PelBufferWindows, MatchAPlainVectorUnderRandomEdits) {
  std::mt19937 rng(3);
  const auto in = [&rng](long lo, long hi) {
    return lo + static_cast<long>(rng() % (hi - lo + 1));
  };
  for (int round = 0; round < 60; ++round) {
    const long W = in(1, 12), H = in(1, 9);
    const ccPelBuffer<unsigned char> root(W, H);
    std::vector<unsigned char> pels(static_cast<std::size_t>(W * H), 0);
    struct View {
      ccPelBuffer<unsigned char> b;
      long rootX, rootY, x, y, w, h;  // image coordinates of the root's (0, 0); the window
    };
    std::vector<View> views(3, View{root, 0, 0, 0, 0, W, H});
    for (int step = 0; step < 30; ++step) {
      View& v = views[rng() % 3];
      const long x = in(-3, W + 2), y = in(-3, H + 2), w = in(0, W + 3), h = in(0, H + 3);
      const unsigned char value = static_cast<unsigned char>(rng());
      const auto at = [&](long px, long py) -> unsigned char& {
        return pels[static_cast<std::size_t>((v.y + py) * W + v.x + px)];
      };
      switch (rng() % 4) {
        case 0: {
          const long l = x - v.rootX, t = y - v.rootY;
          EXPECT_EQ(v.b.window(x, y, w, h), l < 0 || t < 0 || l + w > W || t + h > H);
          v.x = std::clamp(l, 0L, W);
          v.y = std::clamp(t, 0L, H);
          v.w = std::clamp(l + w, v.x, W) - v.x;
          v.h = std::clamp(t + h, v.y, H) - v.y;
          break;
        }
        case 1:
          v.b.offset(x * 10, y * 10);
          v.rootX = x * 10 - v.x;
          v.rootY = y * 10 - v.y;
          break;
        case 2:
          if (x >= 0 && y >= 0 && x < v.w && y < v.h) {
            v.b.set(x, y, value);
            at(x, y) = value;
          } else {
            EXPECT_THROW(v.b.set(x, y, value), ccShapesError::BadParams);
            EXPECT_THROW(v.b.get(x, y), ccShapesError::BadParams);
          }
          break;
        default:
          if (x < 0) {  // the whole window
            cfPelSet(v.b, value);
            for (long py = 0; py < v.h; ++py)
              for (long px = 0; px < v.w; ++px) at(px, py) = value;
            break;
          }
          cfPelSet(v.b, x - 2, y - 2, w - 1, h - 1, value);  // window-relative, clipped
          for (long py = std::max(y - 2, 0L); py < std::min(y + h - 3, v.h); ++py)
            for (long px = std::max(x - 2, 0L); px < std::min(x + w - 3, v.w); ++px)
              at(px, py) = value;
      }
      for (const View& u : views) {
        ASSERT_EQ(u.b.width(), u.w);
        ASSERT_EQ(u.b.height(), u.h);
        EXPECT_EQ(u.b.offset(), ccPair<long>(u.rootX + u.x, u.rootY + u.y));
        for (long py = 0; py < u.h; ++py)
          for (long px = 0; px < u.w; ++px)
            ASSERT_EQ(u.b.get(px, py), pels[static_cast<std::size_t>((u.y + py) * W + u.x + px)]);
      }
    }
    EXPECT_EQ(root.root()->refCount(), 4);
  }
}

TEST(PelBufferBorrow, PaddedCallerMemory) {
  const long w = 5, h = 3, step = 8;
  std::vector<unsigned char> mem(step * h, 0xEE);
  ccPelBuffer<unsigned char> b(mem.data(), w, h, step);
  EXPECT_FALSE(b.root()->isOwner());
  cfPelSet(b, 1);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < step; ++x) EXPECT_EQ(mem[y * step + x], x < w ? 1 : 0xEE) << x << "," << y;
  mem[step + 2] = 17;
  EXPECT_EQ(b.get(2, 1), 17);
  // A const buffer over const memory reads it in place.
  const std::vector<unsigned short> cm = {1, 2, 3, 4, 5, 6};
  ccPelBuffer_const<unsigned short> c(cm.data(), 2, 2, 3);
  EXPECT_EQ(c.get(1, 1), 5);
}

TEST(PelBufferUnbound, EveryPelAccessThrowsUnboundWindow) {
  ccPelBuffer<unsigned char> u;
  EXPECT_FALSE(u.isBound());
  EXPECT_THROW(u.pointToRow(0), ccPel::UnboundWindow);
  EXPECT_THROW(u.get(0, 0), ccPel::UnboundWindow);
  EXPECT_THROW(u.window(0, 0, 1, 1), ccPel::UnboundWindow);
  EXPECT_THROW(cfPelSet(u, 3), ccPel::UnboundWindow);
}

TEST(PelBufferXform, CopiesCarryItNonLinearOnesGiveTheirLinearApproximation) {
  ccPelBuffer<unsigned char> b(4, 4);
  const ccXform<2> x(ccMatrix<2>(2, 0, 0, 3), ccVector<2>(1, -1));
  b.imageFromClientXform(x);
  ccPelBuffer_const<unsigned char> c = b;  // copies carry the transform
  EXPECT_EQ(c.imageFromClientXform(), x);
  c.imageFromClientXform(ccXform<2>());  // and set their own
  EXPECT_EQ(b.imageFromClientXform(), x);

  const ccXform<2> a(ccMatrix<2>(1, 0, 0, 1), ccVector<2>(5, 6));
  ccPtrHandle_const<cc2XformBase> nl(new cc2XformRadialDistortion(a, ccVector<2>(1, 1), 0.01));
  b.imageFromClientXformBase(nl);
  EXPECT_EQ(b.imageFromClientXform(), nl->linearApprox(ccVector<2>()).xform());
  b.imageFromClientXformBase(ccPtrHandle_const<cc2XformBase>());
  EXPECT_TRUE(b.imageFromClientXform().isIdentity());
}

// Unknown versions and short data are refused.
TEST(PelBufferArchive, RoundTripKeepsPelsOffsetAndTransform) {
  ccPelBuffer<unsigned char> b(7, 5, 32);
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 7; ++x) b.set(x, y, static_cast<unsigned char>(10 * y + x));
  b.window(1, 1, 5, 3);
  b.offset(-2, 9);
  const ccXform<2> x(ccMatrix<2>(0, -1, 1, 0), ccVector<2>(4, 2));
  b.imageFromClientXform(x);
  ccArchive out;
  out || b;
  ccArchive in(out.data());
  ccPelBuffer<unsigned char> c;
  in || c;
  EXPECT_TRUE(in.atEnd());
  EXPECT_EQ(c.height(), 3);
  EXPECT_EQ(c.offset(), ccPair<long>(-2, 9));
  EXPECT_EQ(c.imageFromClientXform(), x);
  EXPECT_TRUE(samePels(c, b));
  std::vector<unsigned char> bytes = out.data();
  bytes[0] = 1;
  ccArchive bad(bytes);
  EXPECT_THROW(bad || c, ccArchive::UnknownVersion);
  ccArchive shortData(std::vector<unsigned char>(out.data().begin(), out.data().end() - 1));
  EXPECT_THROW(shortData || c, ccArchive::Errors);
  // Unbound stays unbound.
  ccPelBuffer<ccPackedRGB16Pel> u, u2(1, 1);
  ccArchive out2;
  out2 || u;
  ccArchive in2(out2.data());
  in2 || u2;
  EXPECT_FALSE(u2.isBound());
}

// A buffer without columns holds no pels however many rows it claims; loading and storing it
// must not walk those rows.
TEST(PelBufferArchive, ZeroWidthWithHugeHeightLoadsAndStoresAtOnce) {
  ccPelBuffer<unsigned char> b(0, 3);
  ccArchive out;
  out || b;
  // version, bound, then w and h as longs (one byte each here): h at byte 3.
  const std::int64_t huge = 1000000000000000ll;
  ccArchive h;
  h.putLong(huge);
  std::vector<unsigned char> bytes(out.data().begin(), out.data().begin() + 3);
  bytes.insert(bytes.end(), h.data().begin(), h.data().end());
  bytes.insert(bytes.end(), out.data().begin() + 4, out.data().end());
  ccArchive in(bytes);
  ccPelBuffer<unsigned char> c;
  in || c;
  EXPECT_EQ(c.width(), 0);
  EXPECT_EQ(c.height(), static_cast<long>(huge));
  ccArchive again;
  again || c;
  EXPECT_EQ(again.data(), bytes);
}

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

// Randomised: the encoding of a relabelled window of a random image (few levels give long runs)
// is well formed and decodes to the same pels at the same offset, into an unbound buffer or into
// the pels of a bound one that have the same image coordinates; a sub-window is the encoding of
// the decoded image's window.
TEST(RleCodec, RandomImagesEncodeDecodeAndCutAsTheirPels) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<long> pos(-8, 40), len(0, 45), shift(-5, 5);
  for (int round = 0; round < 200; ++round) {
    const long w = 1 + static_cast<long>(rng() % (round % 10 ? 40 : 1000)), h = 1 + len(rng) / 2;
    ccPelBuffer<unsigned char> img = randomImage(rng, w + 3, h + 3, round % 3 ? 3 : 256);
    img.window(len(rng) % 4, len(rng) % 4, w, h);
    img.offset(shift(rng), shift(rng));
    const ccRLEBuffer rle(img);
    expectWellFormed(rle);
    ccPelBuffer<unsigned char> out;
    rle.decode(out);
    EXPECT_EQ(out.offset(), img.offset());
    EXPECT_TRUE(samePels(img, out)) << round;

    ccPelBuffer<unsigned char> dst = randomImage(rng, 12, 12, 256);
    dst.offset(shift(rng), shift(rng));
    std::vector<int> want;
    for (long y = 0; y < 12; ++y)
      for (long x = 0; x < 12; ++x) {
        const long ix = x + dst.offset().first - img.offset().first,
                   iy = y + dst.offset().second - img.offset().second;
        want.push_back(ix >= 0 && iy >= 0 && ix < img.width() && iy < img.height() ? img.get(ix, iy)
                                                                                   : dst.get(x, y));
      }
    rle.decode(dst);
    for (long y = 0; y < 12; ++y)
      for (long x = 0; x < 12; ++x) ASSERT_EQ(dst.get(x, y), want[y * 12 + x]) << round;

    const long x = pos(rng), y = pos(rng), sw = len(rng), sh = len(rng);
    const ccRLEBuffer sub = rle.subWindow(x, y, sw, sh);
    expectWellFormed(sub);
    out.window(x, y, sw, sh);
    EXPECT_EQ(sub.height(), out.height());
    if (!sub.degenerate()) {
      EXPECT_EQ(sub, ccRLEBuffer(out)) << x << "," << y << " " << sw << "x" << sh;
    }
  }
}

TEST(RleCodec, LongRunsSplitAt255AndSubWindowsCutThemAtTheEdges) {
  ccPelBuffer<unsigned char> img(600, 2);
  cfPelSet(img, 7);
  img.set(599, 1, 8);
  const ccRLEBuffer rle(img);
  EXPECT_EQ(rowOf(rle, 0), std::vector<unsigned char>({7, 255, 7, 255, 7, 90, 0, 0}));
  EXPECT_EQ(rowOf(rle, 1), std::vector<unsigned char>({7, 255, 7, 255, 7, 89, 8, 1, 0, 0}));
  // Exactly 255 and 256.
  ccPelBuffer<unsigned char> e = img;
  e.window(0, 0, 255, 1);
  EXPECT_EQ(ccRLEBuffer(e).rowBytes(0), 4u);
  e.window(0, 0, 256, 1);
  EXPECT_EQ(ccRLEBuffer(e).rowBytes(0), 6u);
  // Row 0's runs 255, 255, 90; the window [100, 400) cuts 155 and 145 of the first two, which
  // merge into 255 + 45.
  const ccRLEBuffer sub = rle.subWindow(100, 0, 300, 1);
  EXPECT_EQ(rowOf(sub, 0), std::vector<unsigned char>({7, 255, 7, 45, 0, 0}));
  EXPECT_THROW(sub.subWindow(0, 0, -1, 1), ccShapesError::BadParams);
}

// Malformed rows (runs not summing to the width, no row) throw and change nothing; valid rows
// are copied (a terminator may have a non-zero value byte); no rows, or width 0, is degenerate.
TEST(RleBecomeOwner, CopiesValidRowsAndRefusesMalformedOnes) {
  ccPelBuffer<unsigned char> img(4, 2);
  cfPelSet(img, 6);
  ccRLEBuffer rle(img);
  rle.offset(3, 3);
  const ccRLEBuffer before = rle;
  const unsigned char good[] = {1, 4, 0, 0}, tooShort[] = {1, 3, 0, 0},
                      tooLong[] = {1, 3, 2, 2, 0, 0}, empty[] = {0, 0};
  const std::vector<std::vector<const unsigned char*>> bad = {
      {good, tooShort}, {tooLong, good}, {good, nullptr}, {empty}};
  for (const auto& rows : bad) {
    EXPECT_THROW(rle.becomeOwner(4, rows), ccShapesError::BadParams);
    EXPECT_EQ(rle, before);
  }
  EXPECT_THROW(rle.becomeOwner(-1, std::vector<const unsigned char*>{}), ccShapesError::BadParams);
  EXPECT_THROW(rle.becomeOwner(4, nullptr, 2), ccShapesError::BadParams);
  EXPECT_EQ(rle, before);

  std::vector<unsigned char> r0 = {1, 3, 2, 2, 0, 0}, r1 = {9, 5, 7, 0};
  rle.becomeOwner(5, std::vector<const unsigned char*>{r0.data(), r1.data()}, ccPair<long>(1, 2));
  r0[0] = 77;  // the buffer owns copies
  EXPECT_EQ(rle.offset(), ccPair<long>(1, 2));
  EXPECT_EQ(rle.rowBytes(1), 4u);
  ccPelBuffer<unsigned char> out;
  rle.decode(out);
  const unsigned char expect[2][5] = {{1, 1, 1, 2, 2}, {9, 9, 9, 9, 9}};
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < 5; ++x) EXPECT_EQ(out.get(x, y), expect[y][x]);
  rle.becomeOwner(5, nullptr, 0);
  EXPECT_TRUE(rle.degenerate());
  rle.becomeOwner(0, std::vector<const unsigned char*>{empty});
  EXPECT_TRUE(rle.degenerate());
  EXPECT_EQ(rle.height(), 1);
}

TEST(RleBuffer, DegenerateAndRowAccess) {
  ccPelBuffer<unsigned char> u;
  EXPECT_THROW(ccRLEBuffer{u}, ccPel::UnboundWindow);
  ccRLEBuffer d;
  EXPECT_THROW(d.pointToRow(0), ccShapesError::BadParams);
  ccPelBuffer<unsigned char> out;
  d.decode(out);
  EXPECT_TRUE(out.isBound());
  EXPECT_EQ(out.width(), 0);
  const ccRLEBuffer r(ccPelBuffer<unsigned char>(3, 2));
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

  // Version, width 300 (a long of 2 bytes), height 6, offset x -5 and y 8 (a byte each), then
  // row 0's first run: its length is one more.
  const std::size_t run = 6;
  std::vector<unsigned char> bytes = out.data();
  bytes[run + 1] = static_cast<unsigned char>(bytes[run + 1] + 1);
  ccArchive badRow(bytes);
  ccRLEBuffer other;
  EXPECT_THROW(other.dispatchSerialize(badRow), ccArchive::BadData);
  EXPECT_TRUE(other.degenerate());
}

}  // namespace
