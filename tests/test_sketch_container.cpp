// The sketch container: growth, failed allocation, marks, cuts, joins, inserts, erasing,
// copies, the props prefix rule, the opcode record and the mark's archive form.
#include <dispc/uisketch.h>

#include <core/archive.h>
#include <core/assert.h>
#include "assertcounter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytesOf(const ccUISketch& s) {
  return s.length() ? Bytes(s.data(), s.data() + s.length()) : Bytes();
}

// A sketch holding the given bytes, appended in one piece.
ccUISketch sketchOf(const Bytes& b) {
  ccUISketch s;
  s.append(b.data(), static_cast<long>(b.size()));
  return s;
}

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

// Writes one line-segment operation as the tablet records it.
void recordLineSeg(ccUISketch& s, const ccGraphicProps& p, double a, double b, double c, double d) {
  s.opcode(40, p);
  s.opcode(2, 1, p.penColor());
  unsigned char* out = s.append(32L);
  cfSketchStoreDouble(out, a);
  cfSketchStoreDouble(out + 8, b);
  cfSketchStoreDouble(out + 16, c);
  cfSketchStoreDouble(out + 24, d);
}

}  // namespace

TEST(SketchContainer, NewSketchIsNull) {
  ccUISketch s;
  EXPECT_TRUE(s.isNull());
  EXPECT_EQ(s.length(), 0);
  EXPECT_EQ(s.capacity(), 0);
  EXPECT_EQ(s.data(), nullptr);
  EXPECT_EQ(s.mark(), ccUISketchMark());
}

TEST(SketchContainer, FirstAllocationIsExactThenCapacityDoubles) {
  ccUISketch s;
  unsigned char* p = s.append(10L);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p, s.data());
  EXPECT_EQ(s.length(), 10);
  EXPECT_EQ(s.capacity(), 10);
  s.append(1L);
  EXPECT_EQ(s.length(), 11);
  EXPECT_EQ(s.capacity(), 20);
  s.append(9L);  // fits exactly
  EXPECT_EQ(s.capacity(), 20);
  s.append(1L);
  EXPECT_EQ(s.capacity(), 40);
  s.append(100L);  // more than double: exactly the request
  EXPECT_EQ(s.length(), 121);
  EXPECT_EQ(s.capacity(), 121);
  s.append(0L);
  EXPECT_EQ(s.length(), 121);
  EXPECT_EQ(s.capacity(), 121);
}

TEST(SketchContainer, AppendReturnsSpaceAtTheEndAndKeepsBytes) {
  ccUISketch s;
  const unsigned char a[3] = {1, 2, 3};
  s.append(a, 3);
  unsigned char* p = s.append(2L);
  EXPECT_EQ(p, s.data() + 3);
  p[0] = 4;
  p[1] = 5;
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 4, 5}));
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
  }
  EXPECT_EQ(s.length(), 10);
  EXPECT_EQ(s.capacity(), 10);
  EXPECT_EQ(s.data(), data);
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  // The failed props prefix did not make the props current: it is written now.
  s.opcode(40, unusualProps());
  EXPECT_EQ(s.length(), 32);
}

TEST(SketchContainer, LengthBeyondThe32BitRangeIsBadAlloc) {
  ccUISketch s = sketchOf({1, 2});
  FailingAllocator fail;  // the request is refused before any allocation
  EXPECT_THROW(s.append(2147483646L), std::bad_alloc);
  EXPECT_EQ(fail.attempts(), 0);
  EXPECT_EQ(s.length(), 2);
  EXPECT_EQ(s.capacity(), 2);
}

TEST(SketchContainer, NegativeCountsAreReportedAndIgnored) {
  AssertCounter asserts;
  ccUISketch s = sketchOf({1, 2, 3});
  const unsigned char x = 7;
  s.append(&x, -1);
  EXPECT_EQ(asserts.reports(), 1);
  s.append(-5L);
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3}));
  EXPECT_EQ(s.capacity(), 3);
}

TEST(SketchContainer, MarksArePositions) {
  ccUISketch s;
  const ccUISketchMark m0 = s.mark();
  s.append(5L);
  const ccUISketchMark m5 = s.mark();
  EXPECT_EQ(m0.position(), 0);
  EXPECT_EQ(m5.position(), 5);
  EXPECT_TRUE(m0 == ccUISketchMark());
  EXPECT_TRUE(m0 != m5);
  EXPECT_FALSE(m0 == m5);
}

TEST(SketchContainer, SubSketchCopiesTheRangeBetweenMarks) {
  ccUISketch s;
  s.append(Bytes{1, 2}.data(), 2);
  const ccUISketchMark a = s.mark();
  s.append(Bytes{3, 4, 5}.data(), 3);
  const ccUISketchMark b = s.mark();
  s.append(Bytes{6}.data(), 1);

  const ccUISketch sub = s.subSketch(a, b);
  EXPECT_EQ(bytesOf(sub), (Bytes{3, 4, 5}));
  EXPECT_EQ(sub.capacity(), 3);
  EXPECT_TRUE(s.subSketch(a, a).isNull());
  EXPECT_TRUE(s.subSketch(b, a).isNull());
  EXPECT_EQ(bytesOf(s.subSketch(ccUISketchMark(), s.mark())), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(SketchContainer, RemoveCutsTheRangeBetweenMarks) {
  ccUISketch s = sketchOf({1, 2});
  const ccUISketchMark a = s.mark();
  s.append(Bytes{3, 4, 5}.data(), 3);
  const ccUISketchMark b = s.mark();
  s.append(Bytes{6, 7}.data(), 2);
  const ccUISketchMark end = s.mark();

  s.remove(a, a);
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 4, 5, 6, 7}));
  s.remove(b, a);
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(&s.remove(a, b), &s);
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 6, 7}));
  EXPECT_EQ(s.capacity(), 10);  // 2, then 5 (more than double), then 10; never shrinks

  ccUISketch t = sketchOf({1, 2, 3, 4, 5, 6, 7});
  t.remove(b, end);  // a tail: nothing to move down
  EXPECT_EQ(bytesOf(t), (Bytes{1, 2, 3, 4, 5}));
}

TEST(SketchContainer, JoinsAppendTheOtherSketch) {
  ccUISketch a = sketchOf({1, 2, 3});
  const ccUISketch b = sketchOf({4, 5});
  const ccUISketch c = a + b;
  EXPECT_EQ(bytesOf(c), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(c.capacity(), 5);
  EXPECT_EQ(bytesOf(a), (Bytes{1, 2, 3}));
  a += b;
  EXPECT_EQ(bytesOf(a), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(a.capacity(), 6);
  EXPECT_TRUE((ccUISketch() + ccUISketch()).isNull());
}

TEST(SketchContainer, JoiningASketchWithItself) {
  ccUISketch s = sketchOf({1, 2, 3});
  EXPECT_EQ(bytesOf(s + s), (Bytes{1, 2, 3, 1, 2, 3}));
  s += s;  // grows (moves the buffer) while copying from it
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(s.capacity(), 6);
  s += s;
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3}));
  ccUISketch e;
  e += e;
  EXPECT_TRUE(e.isNull());
}

TEST(SketchContainer, AppendFromOwnBuffer) {
  ccUISketch s = sketchOf({1, 2, 3, 4});
  s.append(s.data() + 1, 2);  // grows while copying from the old buffer
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 4, 2, 3}));
}

TEST(SketchContainer, InsertAtAMark) {
  ccUISketch s = sketchOf({1, 2});
  const ccUISketchMark m = s.mark();
  s.append(Bytes{3, 4}.data(), 2);
  const ccUISketch t = sketchOf({9, 8, 7});
  EXPECT_EQ(&s.insert(t, m), &s);
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 9, 8, 7, 3, 4}));
  s.insert(t, ccUISketchMark());
  EXPECT_EQ(bytesOf(s), (Bytes{9, 8, 7, 1, 2, 9, 8, 7, 3, 4}));
  s.insert(ccUISketch(), m);
  EXPECT_EQ(s.length(), 10);
}

TEST(SketchContainer, InsertAtTheEndEqualsAppend) {
  ccUISketch s = sketchOf({1, 2, 3});
  ccUISketch u = s;
  const ccUISketch t = sketchOf({4, 5, 6, 7});
  s.insert(t, s.mark());
  u += t;
  EXPECT_EQ(bytesOf(s), bytesOf(u));
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 4, 5, 6, 7}));
}

TEST(SketchContainer, InsertASketchIntoItself) {
  ccUISketch s = sketchOf({1, 2, 3, 4, 5});
  s.insert(s, s.mark());
  EXPECT_EQ(bytesOf(s), (Bytes{1, 2, 3, 4, 5, 1, 2, 3, 4, 5}));

  // In the middle: the marks come from the sketch itself.
  ccUISketch m = sketchOf({1, 2});
  const ccUISketchMark at = m.mark();
  m.append(Bytes{3, 4, 5}.data(), 3);
  m.insert(m, at);
  EXPECT_EQ(bytesOf(m), (Bytes{1, 2, 1, 2, 3, 4, 5, 3, 4, 5}));

  ccUISketch z = sketchOf({1, 2, 3});
  z.insert(z, ccUISketchMark());
  EXPECT_EQ(bytesOf(z), (Bytes{1, 2, 3, 1, 2, 3}));
}

TEST(SketchContainer, InsertBeyondTheLengthIsReportedAndIgnored) {
  AssertCounter asserts;
  ccUISketch big = sketchOf({1, 2, 3, 4});
  const ccUISketchMark far = big.mark();
  ccUISketch s = sketchOf({1});
  s.insert(sketchOf({5}), far);
  EXPECT_EQ(asserts.reports(), 1);
  EXPECT_EQ(bytesOf(s), Bytes{1});
}

TEST(SketchContainer, EraseKeepsTheBufferEraseAndDeleteFreesIt) {
  ccUISketch s = sketchOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  s.append(1L);
  ASSERT_EQ(s.capacity(), 20);
  s.erase();
  EXPECT_TRUE(s.isNull());
  EXPECT_EQ(s.length(), 0);
  EXPECT_EQ(s.capacity(), 20);
  EXPECT_NE(s.data(), nullptr);
  s.eraseAndDelete();
  EXPECT_TRUE(s.isNull());
  EXPECT_EQ(s.capacity(), 0);
  EXPECT_EQ(s.data(), nullptr);
  // Growth starts afresh with an exact allocation.
  s.append(3L);
  EXPECT_EQ(s.capacity(), 3);
}

TEST(SketchContainer, EraseMakesTheDefaultPropsCurrent) {
  ccUISketch s;
  s.opcode(40, unusualProps());
  s.opcode(40, unusualProps());
  EXPECT_EQ(s.length(), 22);
  s.erase();
  s.opcode(40, unusualProps());  // written again
  EXPECT_EQ(bytesOf(s), kUnusualPrefix);
  s.eraseAndDelete();
  s.opcode(40, ccGraphicProps());  // default props are current after erasing: nothing
  EXPECT_TRUE(s.isNull());
  s.opcode(40, unusualProps());
  s.erase();
  s.opcode(40, ccGraphicProps());
  EXPECT_TRUE(s.isNull());
}

TEST(SketchContainer, CopyAllocatesTheSourceCapacityAndHasDefaultProps) {
  ccUISketch s;
  s.opcode(40, unusualProps());  // current props are now unusual
  s.append(3L);                  // capacity 22 -> 44
  ASSERT_EQ(s.capacity(), 44);
  ccUISketch c(s);
  EXPECT_EQ(c.capacity(), 44);
  EXPECT_EQ(bytesOf(c), bytesOf(s));
  EXPECT_NE(c.data(), s.data());
  // The copy's current props are the defaults: the unusual props are written again ...
  c.opcode(40, unusualProps());
  EXPECT_EQ(c.length(), 25 + 22);
  // ... while the original's are still the unusual ones.
  s.opcode(40, unusualProps());
  EXPECT_EQ(s.length(), 25);
  ccUISketch d(s);
  d.opcode(40, ccGraphicProps());
  EXPECT_EQ(d.length(), 25);

  const ccUISketch empty;
  const ccUISketch e(empty);
  EXPECT_EQ(e.capacity(), 0);
  EXPECT_EQ(e.data(), nullptr);
}

TEST(SketchContainer, MoveTakesTheBuffer) {
  ccUISketch s = sketchOf({1, 2, 3});
  const unsigned char* data = s.data();
  ccUISketch m(std::move(s));
  EXPECT_EQ(m.data(), data);
  EXPECT_EQ(bytesOf(m), (Bytes{1, 2, 3}));
  EXPECT_TRUE(s.isNull());  // NOLINT(bugprone-use-after-move): moved-from is empty
  EXPECT_EQ(s.capacity(), 0);
  ccUISketch t = sketchOf({9});
  t = std::move(m);
  EXPECT_EQ(t.data(), data);
  EXPECT_EQ(m.data(), nullptr);  // NOLINT(bugprone-use-after-move)
}

TEST(SketchContainer, AssignmentCopiesBytesAndKeepsCurrentProps) {
  ccUISketch target;
  target.opcode(40, unusualProps());  // capacity 22
  const ccUISketch small = sketchOf({1, 2, 3});
  target = small;  // fits: capacity kept
  EXPECT_EQ(bytesOf(target), (Bytes{1, 2, 3}));
  EXPECT_EQ(target.capacity(), 22);
  target.opcode(40, unusualProps());  // still current: nothing written
  EXPECT_EQ(target.length(), 3);

  const ccUISketch big = sketchOf(Bytes(30, 7));
  target = big;  // grows by the rule: max(30, 2 * 22)
  EXPECT_EQ(target.capacity(), 44);
  EXPECT_EQ(bytesOf(target), Bytes(30, 7));
  ccUISketch& self = target;
  target = self;
  EXPECT_EQ(bytesOf(target), Bytes(30, 7));
}

TEST(SketchContainer, PropsPrefixIsWrittenOnlyWhenThePropsChange) {
  ccUISketch s;
  const ccGraphicProps p = unusualProps();
  s.opcode(40, p);
  EXPECT_EQ(bytesOf(s), kUnusualPrefix);
  s.opcode(40, p);
  EXPECT_EQ(s.length(), 22);
  // Only the pen colour differs: the props differ, although the record does not hold it.
  ccGraphicProps blue = p;
  blue.penColor(ccColor::blueColor());
  s.opcode(40, blue);
  EXPECT_EQ(s.length(), 44);
  // Changing only arrowHeadForward writes another prefix.
  ccGraphicProps back = blue;
  back.arrowHeadForward(false);
  s.opcode(40, back);
  ASSERT_EQ(s.length(), 66);
  Bytes second(kUnusualPrefix);
  second[20] = 0;  // arrowHeadForward
  EXPECT_EQ(Bytes(s.data() + 44, s.data() + 66), second);
  // Default props on a fresh sketch: nothing.
  ccUISketch d;
  d.opcode(40, ccGraphicProps());
  EXPECT_TRUE(d.isNull());
}

TEST(SketchContainer, EveryPropsFieldCountsAsAChange) {
  const ccGraphicProps base = unusualProps();
  std::vector<ccGraphicProps> changed(9, base);
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
    ccUISketch s;
    s.opcode(40, base);
    s.opcode(40, changed[i]);
    EXPECT_EQ(s.length(), 44) << "field " << i;
    s.opcode(40, changed[i]);
    EXPECT_EQ(s.length(), 44) << "field " << i;
  }
}

TEST(SketchContainer, EqualColoursOfOtherKindsAreNoChange) {
  // Stock red equals the RGB colour (255, 0, 0) and the index colour 249, whose bytes differ.
  ccGraphicProps stock = unusualProps();
  ccGraphicProps rgb = stock;
  rgb.penColor(ccColor(255, 0, 0));
  ccGraphicProps index = stock;
  index.penColor(ccColor(249));
  ccUISketch s;
  s.opcode(40, stock);
  s.opcode(40, rgb);
  s.opcode(40, index);
  EXPECT_EQ(s.length(), 22);
  // The RGB and index colours differ from each other: current props stay the stock ones.
  ccUISketch t;
  t.opcode(40, rgb);
  t.opcode(40, index);
  EXPECT_EQ(t.length(), 44);
}

TEST(SketchContainer, TwoDrawsWithEqualPropsRecordOnePrefix) {
  const ccGraphicProps p = unusualProps();
  ccUISketch s;
  recordLineSeg(s, p, 1, 2, 3, 4);
  recordLineSeg(s, p, 5, 6, 7, 8);
  EXPECT_EQ(s.length(), 22 + 8 + 32 + 8 + 32);
  ccUISketch d;
  recordLineSeg(d, ccGraphicProps(), 1, 2, 3, 4);
  recordLineSeg(d, ccGraphicProps(), 5, 6, 7, 8);
  EXPECT_EQ(d.length(), 80);
  ccGraphicProps q = p;
  q.arrowHeadForward(false);
  recordLineSeg(s, q, 1, 2, 3, 4);
  EXPECT_EQ(s.length(), 102 + 22 + 40);
}

TEST(SketchContainer, OpcodeRecordBytes) {
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
}

TEST(SketchContainer, RecordWithPayloadSpace) {
  ccUISketch s;
  unsigned char* p = s.opcode(2, 1, ccColor(255, 0, 128), 4L);
  EXPECT_EQ(p, s.data() + 8);
  p[0] = 10;
  p[1] = 11;
  p[2] = 12;
  p[3] = 13;
  EXPECT_EQ(bytesOf(s), (Bytes{2, 1, 2, 0, 255, 0, 128, 0, 10, 11, 12, 13}));
  EXPECT_EQ(s.capacity(), 12);

  AssertCounter asserts;
  s.opcode(17, 0, ccColor(3), -1L);  // reported, no payload
  EXPECT_EQ(asserts.reports(), 1);
  EXPECT_EQ(s.length(), 20);
  EXPECT_THROW(s.opcode(2, 1, ccColor(), 1L << 40), std::bad_alloc);
  EXPECT_EQ(s.length(), 20);
}

TEST(SketchContainer, OneRecordedPointTakes24Or46Bytes) {
  ccUISketch s;
  s.opcode(40, ccGraphicProps());
  s.opcode(0, 1, ccColor::cyanColor());
  cfSketchPutPoint(s, ccVector<2>(1, 1));
  EXPECT_EQ(s.length(), 24);
  ccUISketch t;
  const ccGraphicProps p(ccColor::redColor(), 3);
  t.opcode(40, p);
  t.opcode(0, 1, p.penColor());
  cfSketchPutPoint(t, ccVector<2>(1, 1));
  EXPECT_EQ(t.length(), 46);
}

TEST(SketchContainer, MarkArchiveRoundTrip) {
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
  EXPECT_EQ(loaded, m);
  EXPECT_EQ(loaded.position(), 772);
  EXPECT_TRUE(in.atEnd());
}

TEST(SketchContainer, MarkArchiveIgnoresTheVersionAndRejectsBadPositions) {
  ccArchive v5(Bytes{5, 14});
  ccUISketchMark m;
  v5 || m;
  EXPECT_EQ(m.position(), 7);

  ccArchive negative(Bytes{0, 0x01});
  ccUISketchMark n;
  EXPECT_THROW(negative || n, ccArchive::BadData);
  EXPECT_EQ(n.position(), 0);
  ccArchive huge(Bytes{0, 0x80, 0x80, 0x80, 0x80, 0x10});  // 2^31
  EXPECT_THROW(huge || n, ccArchive::BadData);
  ccArchive truncated(Bytes{0, 0x80});
  EXPECT_THROW(truncated || n, ccArchive::EndOfData);
}
