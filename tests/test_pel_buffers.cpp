// Pel buffers: packed pel types, owned and borrowed roots, windows and offsets, sharing,
// unbound buffers, image-from-client transforms, cfPelSet and the archive form.
#include <core/archive.h>
#include <core/errors.h>
#include <core/pelbuffer.h>
#include <core/xform.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// Fills the window with value 10 * y + x.
void fillPattern(const ccPelBuffer<unsigned char>& b) {
  for (long y = 0; y < b.height(); ++y)
    for (long x = 0; x < b.width(); ++x) b.set(x, y, static_cast<unsigned char>(10 * y + x));
}

TEST(PelTypes, PackedLayouts) {
  const ccPackedRGB16Pel p(255, 0, 255);
  EXPECT_EQ(p.packed(), 0xF81F);
  EXPECT_EQ(ccPackedRGB16Pel(0x07E0).g(), 255);  // pure green
  EXPECT_EQ(ccPackedRGB16Pel(128, 128, 128).packed(), (16 << 11) | (32 << 5) | 16);
  EXPECT_EQ(ccPackedRGB32Pel(1, 2, 3, 4).packed(), 0x04010203u);
  // One pel archives as its packed value, little-endian.
  ccPackedRGB16Pel a(0x1234);
  ccPackedRGB32Pel b(0x11223344u);
  ccArchive out;
  out || a || b;
  EXPECT_EQ(out.data(), (std::vector<unsigned char>{0x34, 0x12, 0x44, 0x33, 0x22, 0x11}));
  ccPackedRGB16Pel a2;
  ccPackedRGB32Pel b2;
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
}

// Windows are in image coordinates (the offset); they clip to the root and say so.
TEST(PelBufferWindow, ClipsToTheRootInImageCoordinates) {
  ccPelBuffer<unsigned char> b(10, 8);
  fillPattern(b);
  ccPelBuffer<unsigned char> w = b;
  EXPECT_FALSE(w.window(2, 3, 4, 5));
  EXPECT_EQ(w.offset(), ccPair<long>(2, 3));
  EXPECT_EQ(w.get(3, 4), 75);
  EXPECT_EQ(b.width(), 10);  // the original handle keeps its own window
  EXPECT_TRUE(w.window(-3, 6, 5, 10));
  EXPECT_EQ(w.width(), 2);
  EXPECT_EQ(w.get(1, 1), 71);
  EXPECT_FALSE(w.window(0, 0, 10, 8));  // exactly the whole root
  EXPECT_TRUE(w.window(20, 2, 3, 3));   // wholly outside: empty
  EXPECT_EQ(w.width(), 0);

  b.offset(100, 200);  // relabel: the root's pel (0, 0) is now at (100, 200)
  EXPECT_FALSE(b.window(102, 203, 2, 2));
  EXPECT_EQ(b.get(0, 0), 32);
  EXPECT_TRUE(b.window(95, 195, 7, 7));
  EXPECT_EQ(b.width(), 2);
  // Relabelling a window gives its corner the new coordinates.
  ccPelBuffer<unsigned char> c(10, 8);
  fillPattern(c);
  c.window(4, 4, 2, 2);
  c.offset(0, 0);
  EXPECT_EQ(c.get(0, 0), 44);
}

TEST(PelBufferShare, CopiesSeeEachOthersWrites) {
  ccPelBuffer<unsigned char> a(4, 4);
  ccPelBuffer<unsigned char> b = a;
  ccPelBuffer_const<unsigned char> c = a;  // converts, still shared
  b.set(1, 2, 99);
  EXPECT_EQ(a.get(1, 2), 99);
  EXPECT_EQ(c.get(1, 2), 99);
  EXPECT_EQ(a.root()->refCount(), 3);
  {
    ccPelBuffer<unsigned char> d = a;
    d.window(1, 1, 2, 2);
    d.set(0, 0, 5);
    EXPECT_EQ(a.root()->refCount(), 4);
  }
  EXPECT_EQ(a.get(1, 1), 5);
  EXPECT_EQ(a.root()->refCount(), 3);
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

TEST(PelBufferAccess, GetAndSetAreBoundsChecked) {
  ccPelBuffer<unsigned short> b(3, 2);
  b.set(2, 1, 65535);
  EXPECT_EQ(b.get(2, 1), 65535);
  EXPECT_THROW(b.get(3, 0), ccShapesError::BadParams);
  EXPECT_THROW(b.set(-1, 0, 1), ccShapesError::BadParams);
  b.window(1, 1, 2, 1);
  EXPECT_THROW(b.get(0, 1), ccShapesError::BadParams);  // inside the root, outside the window
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

TEST(PelSet, WholeWindowAndClippedSubRectangle) {
  ccPelBuffer<unsigned char> root(6, 5);
  ccPelBuffer<unsigned char> w = root;
  w.window(1, 1, 4, 3);
  cfPelSet(w, 128);
  for (long y = 0; y < 5; ++y)
    for (long x = 0; x < 6; ++x)
      EXPECT_EQ(root.get(x, y), (x >= 1 && x < 5 && y >= 1 && y < 4) ? 128 : 0) << x << "," << y;
  cfPelSet(w, 2, -1, 10, 2, 9);  // window-relative, clipped to the window
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 4; ++x) EXPECT_EQ(w.get(x, y), (x >= 2 && y == 0) ? 9 : 128);
  EXPECT_EQ(root.get(5, 1), 0);
  cfPelSet(w, 0, 0, -3, 2, 1);  // negative size: nothing
  EXPECT_EQ(w.get(0, 0), 128);
  ccPelBuffer<ccPackedRGB32Pel> rgb(3, 2);
  cfPelSet(rgb, ccPackedRGB32Pel(128, 128, 128, 0));
  EXPECT_EQ(rgb.get(2, 1).packed(), 0x00808080u);
}

TEST(PelBufferArchive, RoundTripKeepsPelsOffsetAndTransform) {
  ccPelBuffer<unsigned char> b(7, 5, 32);
  fillPattern(b);
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
  ASSERT_EQ(c.height(), 3);
  EXPECT_EQ(c.offset(), ccPair<long>(-2, 9));
  EXPECT_EQ(c.imageFromClientXform(), x);
  for (long y = 0; y < 3; ++y)
    for (long x2 = 0; x2 < 5; ++x2) EXPECT_EQ(c.get(x2, y), b.get(x2, y));
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

TEST(PelBufferArchive, UnknownVersionAndShortDataThrow) {
  ccPelBuffer<unsigned char> b(2, 2);
  ccArchive out;
  out || b;
  std::vector<unsigned char> bytes = out.data();
  bytes[0] = 1;
  ccArchive bad(bytes);
  EXPECT_THROW(bad || b, ccArchive::UnknownVersion);
  std::vector<unsigned char> cut = out.data();
  cut.pop_back();
  ccArchive shortData(cut);
  EXPECT_THROW(shortData || b, ccArchive::Errors);
}

}  // namespace
