// The sketch container: growth, failed allocation, marks, cuts, joins, inserts, the props prefix
// rule, the opcode record and the mark's archive form.
#include <dispc/uisketch.h>

#include <core/archive.h>
#include <core/assert.h>
#include "assertcounter.h"
#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

// Makes every sketch allocation fail while alive, and counts the attempts.
class FailingAllocator {
 public:
  FailingAllocator() : previous_(cfUISketchSetReallocForTesting(&fail)) { attempts_ = 0; }
  ~FailingAllocator() { cfUISketchSetReallocForTesting(previous_); }
  int attempts() const { return attempts_; }

 private:
  static void* fail(void*, std::size_t) {
    ++attempts_;
    return nullptr;
  }
  static int attempts_;
  ccUISketchRealloc previous_;
};
int FailingAllocator::attempts_ = 0;

// Props that differ from the defaults in every field the sketch form holds.
ccGraphicProps unusualProps() {
  ccGraphicProps p(ccColor::redColor(), 0x01020304, ccGraphicProps::eDashDot, true);
  p.penJoin(ccGraphicProps::eBevelJoin);
  p.penEndCap(ccGraphicProps::eSquareCap);
  p.arrowHead(false);
  p.arrowHeadForward(true);
  p.showVertex(true);
  return p;
}

// The prefix bytes of unusualProps(), from the layout of the 21-byte record.
const Bytes kUnusualPrefix = {
    40,                      // prefix opcode
    0,                       // record version
    1,                       // fill
    0x04, 0x03, 0x02, 0x01,  // pen width
    3,    0,    0,    0,     // pen style: dash-dot
    2,    0,    0,    0,     // join: bevel
    2,    0,    0,    0,     // end cap: square
    0,                       // arrowHead
    1,                       // arrowHeadForward
    1,                       // showVertex
};

}  // namespace

// The first allocation is exact; then the capacity doubles, or grows to the request when
// that is more; appended space is at the end.
TEST(SketchContainer, GrowthAppendAndMarks) {
  ccUISketch s;
  EXPECT_TRUE(s.isNull());
  EXPECT_EQ(s.mark(), ccUISketchMark());
  unsigned char* p = s.append(10L);
  EXPECT_EQ(p, s.data());
  EXPECT_EQ(s.capacity(), 10);
  const ccUISketchMark m10 = s.mark();
  EXPECT_EQ(m10.position(), 10);
  EXPECT_TRUE(m10 != ccUISketchMark());
  p = s.append(1L);
  EXPECT_EQ(p, s.data() + 10);
  EXPECT_EQ(s.capacity(), 20);
  s.append(9L);  // fits exactly
  EXPECT_EQ(s.capacity(), 20);
  s.append(1L);
  EXPECT_EQ(s.capacity(), 40);
  s.append(100L);  // more than double: exactly the request
  s.append(0L);
  EXPECT_EQ(s.length(), 121);
  EXPECT_EQ(s.capacity(), 121);
  // Appending from the sketch's own buffer while it grows.
  ccUISketch own = sketchOf({1, 2, 3, 4});
  own.append(own.data() + 1, 2);
  EXPECT_EQ(bytesOf(own), (Bytes{1, 2, 3, 4, 2, 3}));
}

TEST(SketchContainer, FailedGrowthLeavesTheSketchUnchanged) {
  ccUISketch s = sketchOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  ASSERT_EQ(s.capacity(), 10);
  const unsigned char* data = s.data();
  const ccUISketch one = sketchOf({99});
  ccUISketch small = sketchOf({1});
  {
    FailingAllocator fail;
    EXPECT_THROW(s.append(1L), std::bad_alloc);
    const unsigned char more[4] = {11, 12, 13, 14};
    EXPECT_THROW(s.append(more, 4), std::bad_alloc);
    EXPECT_THROW(s.opcode(40, unusualProps()), std::bad_alloc);
    EXPECT_THROW(s += s, std::bad_alloc);
    EXPECT_THROW(s.insert(one, ccUISketchMark()), std::bad_alloc);
    EXPECT_THROW(ccUISketch copy(s), std::bad_alloc);
    EXPECT_THROW(small = s, std::bad_alloc);
    EXPECT_EQ(bytesOf(small), Bytes{1});
    EXPECT_EQ(fail.attempts(), 7);
    EXPECT_THROW(s.append(2147483646L), std::bad_alloc);  // refused before allocating
    EXPECT_EQ(fail.attempts(), 7);
  }
  EXPECT_EQ(s.capacity(), 10);
  EXPECT_EQ(s.data(), data);
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  // The failed props prefix did not make the props current: it is written now.
  s.opcode(40, unusualProps());
  EXPECT_EQ(s.length(), 32);
}

TEST(SketchContainer, BadCountsAndMarksAreReportedAndIgnored) {
  AssertCounter asserts;
  ccUISketch s = sketchOf({1, 2, 3});
  const unsigned char x = 7;
  s.append(&x, -1);
  s.append(-5L);
  EXPECT_EQ(asserts.reports(), 2);
  const ccUISketchMark far = sketchOf({1, 2, 3, 4}).mark();
  s.insert(sketchOf({5}), far);
  EXPECT_EQ(asserts.reports(), 3);
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3}));
  EXPECT_EQ(s.capacity(), 3);
}

// A mark at position n.
ccUISketchMark markAt(long n) {
  ccUISketch s;
  s.append(n);
  return s.mark();
}

// Randomised against a byte vector: appends (from the sketch's own buffer too), joins, inserts at
// a mark, removals and sub-sketches between marks, the sketch itself as the source too (its
// buffer moves while it is read). In place the capacity never shrinks; a new sketch's first
// allocation is exact.
TEST(SketchContainer, EditsMatchAByteVector) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    ccUISketch s;
    Bytes want;
    for (int step = 0; step < 8; ++step) {
      SCOPED_TRACE(std::to_string(round) + "/" + std::to_string(step));
      Bytes more(rng() % 4);
      for (auto& b : more) b = static_cast<unsigned char>(rng());
      const bool self = rng() % 3 == 0;
      const ccUISketch other = sketchOf(more);
      const Bytes src = self ? want : more;
      const long n = s.length(), capacity = s.capacity();
      long i = static_cast<long>(rng() % (n + 1)), j = static_cast<long>(rng() % (n + 1));
      const int what = static_cast<int>(rng() % 6);
      switch (what) {
        case 0:
          s += self ? s : other;
          want.insert(want.end(), src.begin(), src.end());
          break;
        case 1:
          s = s + (self ? s : other);
          want.insert(want.end(), src.begin(), src.end());
          break;
        case 2:
          EXPECT_EQ(&s.insert(self ? s : other, markAt(i)), &s);
          want.insert(want.begin() + i, src.begin(), src.end());
          break;
        case 3:
          EXPECT_EQ(&s.remove(markAt(i), markAt(j)), &s);
          if (i < j) want.erase(want.begin() + i, want.begin() + j);
          break;
        case 4:
          s = s.subSketch(markAt(i), markAt(j));
          want = i < j ? Bytes(want.begin() + i, want.begin() + j) : Bytes();
          break;
        default:
          if (i > j) std::swap(i, j);
          s.append(s.data() + i, j - i);
          want.insert(want.end(), want.begin() + i, want.begin() + j);
      }
      ASSERT_EQ(bytesOf(s), want);
      if (what == 1 || what == 4) {
        ASSERT_EQ(s.capacity(), s.length());
      } else {
        ASSERT_GE(s.capacity(), capacity);
      }
    }
  }
}

// The props prefix is written only when the props differ (compare unequal) from the current
// ones: in any field (the pen colour too, though the record does not hold it; equal colours of
// other kinds are no change). A copy, an erased and a fresh sketch start from the default props; an
// assigned one keeps its own.
TEST(SketchContainer, PropsPrefixIsWrittenOnlyWhenThePropsChange) {
  const ccGraphicProps p = unusualProps();
  ccUISketch s;
  s.opcode(40, p);
  EXPECT_EQ(bytesOf(s), kUnusualPrefix);
  s.opcode(40, p);
  EXPECT_EQ(s.length(), 22);
  std::vector<ccGraphicProps> changed(9, p);
  changed[0].penColor(ccColor::blueColor());
  changed[1].penWidth(8);
  changed[2].penStyle(ccGraphicProps::eDot);
  changed[3].fill(false);
  changed[4].penJoin(ccGraphicProps::eRoundJoin);
  changed[5].penEndCap(ccGraphicProps::eRoundCap);
  changed[6].arrowHead(true);
  changed[7].arrowHeadForward(false);
  changed[8].showVertex(false);
  for (std::size_t i = 0; i < changed.size(); ++i) {
    ccUISketch t;
    t.opcode(40, p);
    t.opcode(40, changed[i]);
    t.opcode(40, changed[i]);
    EXPECT_EQ(t.length(), 44) << "field " << i;
    EXPECT_FALSE(changed[i] == p) << "field " << i;
    EXPECT_TRUE(changed[i] != p) << "field " << i;
  }
  // Stock red equals the RGB colour (255, 0, 0) and the index colour 249, which differ from
  // each other.
  ccGraphicProps rgb = p, index = p;
  rgb.penColor(ccColor(255, 0, 0));
  index.penColor(ccColor(249));
  EXPECT_TRUE(rgb == p && index == p);
  s.opcode(40, rgb);
  s.opcode(40, index);
  EXPECT_EQ(s.length(), 22);
  ccUISketch u;
  u.opcode(40, rgb);
  u.opcode(40, index);
  EXPECT_EQ(u.length(), 44);

  ccUISketch copy(s);
  copy.opcode(40, p);  // written again
  EXPECT_EQ(copy.length(), 44);
  ccUISketch assigned;
  assigned.opcode(40, p);
  const ccUISketch three = sketchOf({1, 2, 3});
  assigned = three;
  assigned.opcode(40, p);  // still current
  EXPECT_EQ(assigned.length(), 3);
  s.erase();
  s.opcode(40, p);
  EXPECT_EQ(bytesOf(s), kUnusualPrefix);
  s.eraseAndDelete();
  s.opcode(40, ccGraphicProps());  // the default props, as in a fresh sketch
  EXPECT_TRUE(s.isNull());
}

TEST(SketchContainer, OpcodeRecordBytesAndPayloadSpace) {
  ccUISketch s;
  s.opcode(2, 1, ccColor(255, 0, 128));   // RGB colour: kind 2, index 0
  s.opcode(12, 0, ccColor(5));            // index colour: kind 4
  s.opcode(15, 2, ccColor::cyanColor());  // stock: kind 7, index 254, (0, 255, 255)
  s.opcode(-3, -1, ccColor());
  const Bytes expected = {
      2,    1,    2, 0,   255, 0,   128, 0,  //
      12,   0,    4, 5,   0,   0,   0,   0,  //
      15,   2,    7, 254, 0,   255, 255, 0,  //
      0xFD, 0xFF, 4, 0,   0,   0,   0,   0,
  };
  EXPECT_EQ(bytesOf(s), expected);

  // With payload space after the record; a negative payload size is reported and ignored.
  unsigned char* p = s.opcode(2, 1, ccColor(255, 0, 128), 4L);
  EXPECT_EQ(p, s.data() + 40);
  AssertCounter asserts;
  s.opcode(17, 0, ccColor(3), -1L);
  EXPECT_EQ(asserts.reports(), 1);
  EXPECT_EQ(s.length(), 52);
  EXPECT_THROW(s.opcode(2, 1, ccColor(), 1L << 40), std::bad_alloc);
  EXPECT_EQ(s.length(), 52);
}

TEST(SketchContainer, MarkArchiveForm) {
  ccUISketch s;
  s.append(772L);  // 0x0304
  ccUISketchMark m = s.mark();
  ccArchive out;
  out || m;
  // Version byte 0, then the position as the archive's long (zig-zag 1544, 7 bits a byte).
  EXPECT_EQ(out.data(), (Bytes{0, 0x88, 0x0C}));
  ccArchive in(out.data());
  ccUISketchMark loaded;
  in || loaded;
  EXPECT_EQ(loaded.position(), 772);
  EXPECT_TRUE(in.atEnd());

  // The version is ignored; negative, too large and cut positions are refused.
  ccArchive v5(Bytes{5, 14});
  v5 || loaded;
  EXPECT_EQ(loaded.position(), 7);
  ccArchive negative(Bytes{0, 0x01});
  ccUISketchMark n;
  EXPECT_THROW(negative || n, ccArchive::BadData);
  EXPECT_EQ(n.position(), 0);
  ccArchive huge(Bytes{0, 0x80, 0x80, 0x80, 0x80, 0x10});  // 2^31
  EXPECT_THROW(huge || n, ccArchive::BadData);
  ccArchive truncated(Bytes{0, 0x80});
  EXPECT_THROW(truncated || n, ccArchive::EndOfData);
}
