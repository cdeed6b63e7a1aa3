// Sketches: the container (growth, failed allocation, marks, cuts, joins, inserts, the props
// prefix rule, the opcode record, the mark's archive form); the byte format (payload size rules,
// field codecs, the bounds-checked reader and the operation walker); the operation objects and
// the sketch archive form (rejected values, every class, files of earlier formats, failures).
// Truncated streams are read from buffers of exactly their size, so a sanitizer build catches
// any read past the end. The payload sizes of what a tablet records are frozen by
// tests/data/every-operation.dca and .list; here the walker is checked against itself
// (operations back to back, each cut rejected), the operation objects against it, and the rules
// on the values a recording does not hold.
#include <core/archive.h>
#include <core/assert.h>
#include <dispc/sketchop.h>
#include <dispc/uisketch.h>

#include "archivebytes.h"
#include "assertcounter.h"
#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <set>
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

// The prefix bytes of unusualProps(), from the layout of the 21-byte record: the prefix opcode,
// the record version, fill, the pen width (32 bits), pen style (3: dash-dot), join (2: bevel) and
// end cap (2: square), then arrowHead, arrowHeadForward and showVertex.
const Bytes kUnusualPrefix = {40, 0, 1, 0x04, 0x03, 0x02, 0x01, 3, 0, 0, 0,
                              2,  0, 0, 0,    2,    0,    0,    0, 0, 1, 1};

}  // namespace

// The first allocation is exact; then the capacity doubles, or grows to the request when
// that is more; appended space is at the end.
TEST(SketchContainer, GrowthAppendAndMarks) {
  ccUISketch s;
  EXPECT_TRUE(s.isNull());
  EXPECT_EQ(s.mark(), ccUISketchMark());
  const long appends[] = {10, 1, 9, 1, 100, 0}, capacities[] = {10, 20, 20, 40, 121, 121};
  for (int i = 0; i < 6; ++i) {
    const long length = s.length();
    const unsigned char* p = s.append(appends[i]);
    EXPECT_EQ(p, s.data() + length);
    EXPECT_EQ(s.capacity(), capacities[i]) << i;
    EXPECT_EQ(s.mark().position(), length + appends[i]);
  }
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
    EXPECT_TRUE(!(changed[i] == p) && changed[i] != p) << "field " << i;
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

// The opcode record: opcode, layer, colour (the colour's bytes are checked with the fields);
// payload space follows it; a negative payload size is reported and ignored.
TEST(SketchContainer, OpcodeRecordAndPayloadSpace) {
  ccUISketch s;
  s.opcode(-3, -1, ccColor(5));
  EXPECT_EQ(bytesOf(s), (Bytes{0xFD, 0xFF, 4, 5, 0, 0, 0, 0}));
  unsigned char* p = s.opcode(2, 1, ccColor(255, 0, 128), 4L);
  EXPECT_EQ(p, s.data() + 16);
  AssertCounter asserts;
  s.opcode(17, 0, ccColor(3), -1L);
  EXPECT_EQ(asserts.reports(), 1);
  EXPECT_EQ(s.length(), 28);
  EXPECT_THROW(s.opcode(2, 1, ccColor(), 1L << 40), std::bad_alloc);
  EXPECT_EQ(s.length(), 28);
}

// Version byte (ignored), then the position as the archive's long (zig-zag, 7 bits a byte);
// negative, too large (2^31) and cut positions are refused.
TEST(SketchContainer, MarkArchiveForm) {
  ccUISketchMark m = markAt(772);
  ccArchive out;
  out || m;
  EXPECT_EQ(out.data(), (Bytes{0, 0x88, 0x0C}));
  const struct {
    Bytes bytes;
    long position;  // or the error number
  } kRows[] = {{{0, 0x88, 0x0C}, 772},
               {{5, 14}, 7},
               {{0, 0x01}, 0x10001A02},
               {{0, 0x80, 0x80, 0x80, 0x80, 0x10}, 0x10001A02},
               {{0, 0x80}, 0x10001A01}};
  for (const auto& r : kRows) {
    ccArchive in(r.bytes);
    ccUISketchMark loaded;
    try {
      in || loaded;
      EXPECT_EQ(loaded.position(), r.position);
    } catch (const ccException& e) {
      EXPECT_EQ(e.errorNumber(), r.position);
      EXPECT_EQ(loaded.position(), 0);
    }
  }
}

namespace {

// Little-endian 32-bit value written byte by byte (independent of the code under test).
void le32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A heap copy of exactly n bytes, so that reading past it is caught by the sanitizer.
std::unique_ptr<unsigned char[]> exactCopy(const Bytes& b, std::size_t n) {
  std::unique_ptr<unsigned char[]> p(new unsigned char[n ? n : 1]);
  if (n) std::memcpy(p.get(), b.data(), n);
  return p;
}

// A nested-sketch operation (15) at (0, 0) holding `inner`.
Bytes nestedOp(const Bytes& inner) {
  Bytes b = {15, 1, 4, 0, 0, 0, 0, 0};
  b.resize(8 + 16 + 4, 0);
  le32(b, 24, static_cast<std::uint32_t>(inner.size()));
  b.insert(b.end(), inner.begin(), inner.end());
  return b;
}

// A recording of every operation a tablet records, then the UTF-16 text (35) that none records.
Bytes everyOperation() {
  ccUITablet t;
  drawEveryOperation(t);
  return withUnicodeText(bytesOf(t.sketch()));
}

}  // namespace

// The walker splits the stream into operations back to back, each a header, an optional props
// prefix and the payload its rule sizes; the opcodes it meets are exactly the valid ones. Every
// shorter payload, and every cut of the stream inside an operation, is rejected at that
// operation's start. The operation objects parse and rebuild each operation.
TEST(SketchFormat, WalkerSplitsEveryOperationAndRejectsEveryCut) {
  const Bytes stream = everyOperation();
  auto copy = exactCopy(stream, stream.size());
  const std::vector<ccSketchOperation> ops = operations(copy.get(), stream.size());
  std::map<std::size_t, std::size_t> boundaries{{0, 0}};  // end offset -> operations before it
  std::set<int> seen;
  std::size_t at = 0;
  for (const ccSketchOperation& op : ops) {
    SCOPED_TRACE(op.opcode);
    const unsigned char* start = copy.get() + op.offset;
    EXPECT_EQ(op.offset, at);
    EXPECT_EQ(op.props, op.hasProps() ? start + 1 : nullptr);
    const unsigned char* header = start + (op.hasProps() ? kSketchPropsPrefixSize : 0);
    EXPECT_EQ(op.opcode, static_cast<signed char>(header[0]));
    EXPECT_EQ(op.layer, static_cast<signed char>(header[1]));
    EXPECT_EQ(op.payload, header + kSketchOpRecordSize);
    EXPECT_EQ(op.size, (op.hasProps() ? 22u : 0u) + 8u + op.payloadSize);
    const std::size_t fixed = cfSketchFixedPayloadSize(op.opcode);
    if (fixed) {
      EXPECT_EQ(op.payloadSize, fixed);
    }
    EXPECT_EQ(cfSketchOpInfo(op.opcode)->number, op.opcode);
    const Bytes payload(op.payload, op.payload + op.payloadSize);
    EXPECT_EQ(cfSketchPayloadSize(op.opcode, payload.data(), payload.size()), op.payloadSize);
    // The operation objects parse the header and payload, refuse every shorter payload (the header
    // reads its record as the walker does, whose cuts are checked below), and rebuild the bytes.
    cc_UISketchOpHeader h;
    EXPECT_EQ(h.parseByteStream(start, stream.size() - op.offset), op.payload - start);
    EXPECT_TRUE(h.opcode() == op.opcode && h.layer() == op.layer && h.hasProps() == op.hasProps());
    EXPECT_EQ(h.props().penColor(), op.penColor());
    std::unique_ptr<cc_UISketchOpData> d(cfCreateUISketchOpData(op.opcode));
    EXPECT_EQ(d->parseByteStream(payload.data(), payload.size()), long(op.payloadSize));
    for (std::size_t n = 0; n < op.payloadSize; ++n)
      EXPECT_THROW(d->parseByteStream(exactCopy(payload, n).get(), n), ccUIError::InvalidUISketch)
          << n;
    ccUISketch rebuilt;
    d->populateSketch(rebuilt);
    EXPECT_EQ(bytesOf(rebuilt), payload);
    at += op.size;
    boundaries[at] = boundaries.size();
    seen.insert(op.opcode);
  }
  EXPECT_EQ(at, stream.size());
  EXPECT_NO_THROW(cfSketchValidate(copy.get(), stream.size()));
  EXPECT_EQ(seen.size(), 44u);
  const Bytes big(600, 0);
  for (long op = -130; op < 300; ++op) {
    EXPECT_EQ(cfSketchOpIsValid(op), seen.count(static_cast<int>(op)) == 1) << op;
    EXPECT_EQ(cfSketchOpInfo(op) == nullptr, op < 0 || op >= kSketchOpcodeCount) << op;
    if (seen.count(static_cast<int>(op))) continue;
    EXPECT_STREQ(cfSketchOpName(op), "");
    EXPECT_THROW(cfSketchPayloadSize(op, big.data(), big.size()), ccUIError::InvalidUISketch) << op;
    EXPECT_THROW(cfSketchPayloadSizeV0(op, big.data(), big.size()), ccUIError::InvalidUISketch);
  }

  for (std::size_t size = 0; size < stream.size(); ++size) {
    auto cut = exactCopy(stream, size);
    auto found = boundaries.find(size);
    if (found != boundaries.end()) {
      EXPECT_EQ(cfSketchCountOperations(cut.get(), size), found->second) << size;
      continue;
    }
    ccSketchWalker w(cut.get(), size);
    ccSketchOperation op;
    std::size_t walked = 0;
    try {
      while (w.next(op)) ++walked;
      ADD_FAILURE() << "truncation at " << size << " was not detected";
    } catch (const ccUIError::InvalidUISketch&) {
      EXPECT_EQ(w.position(), ops[walked].offset) << size;
      EXPECT_LT(size, ops[walked].offset + ops[walked].size);
    }
  }
}

// The computed rules on other values: any non-zero rectangle kind is the 16-byte screen
// rectangle; empty polygons, strings, nested sketches, images and run-length images. Rejected:
// every count negative, or fitting the count but not the buffer; an 8-bit image whose
// width * height overflows 32 bits; run-length rows without a terminating entry.
TEST(SketchFormat, ComputedRulesSizeOrRejectPayloads) {
  // n bytes of `fill`, with 32-bit values at the given offsets (in order).
  auto sized = [](std::size_t n, std::initializer_list<std::pair<std::size_t, std::uint32_t>> set,
                  unsigned char fill = 0) {
    Bytes b(n, fill);
    for (const auto& [at, v] : set) le32(b, at, v);
    return b;
  };
  const auto rejected = [](int op, const Bytes& b) {
    EXPECT_THROW(cfSketchPayloadSize(op, b.data(), b.size()), ccUIError::InvalidUISketch) << op;
  };
  const struct {
    int op;
    Bytes bytes;
    std::size_t size;
  } kRows[] = {
      {16, sized(100, {{0, 2}}), 17},  {18, sized(100, {{0, 2}}), 17}, {16, sized(100, {}), 61},
      {19, sized(100, {}), 27},        {25, sized(100, {}), 77},       {28, sized(8, {}), 8},
      {11, sized(31, {{0, 'A'}}), 31}, {15, sized(20, {}), 20},        {34, sized(68, {}), 68},
      {12, sized(91, {{86, 5}}), 91},  {14, sized(31, {}), 31},
  };
  for (const auto& r : kRows)
    EXPECT_EQ(cfSketchPayloadSize(r.op, r.bytes.data(), r.bytes.size()), r.size) << r.op;
  const std::pair<int, std::size_t> kCounts[] = {{12, 82}, {12, 86}, {14, 19}, {15, 16},
                                                 {28, 4},  {33, 22}, {34, 60}, {38, 60},
                                                 {41, 60}, {43, 0},  {44, 0}};
  // An image is 1 x 1 (bytes 82 and 86), so that either dimension alone decides.
  for (const auto& [op, at] : kCounts)
    for (std::uint32_t count : {0xFFFFFFFFu, 0x7FFFFFFFu})
      rejected(op, sized(300, {{82, op == 12}, {86, op == 12}, {at, count}}));
  rejected(12, sized(300, {{82, 0x10000}, {86, 0x10000}}));
  rejected(14, sized(41, {{19, 0}, {27, 1}}, 0x01));
}

// ---------------------------------------------------------------------------------------------
// Codecs.

TEST(SketchFormat, LongsOutsideTheRecordRangeAreRejected) {
  Bytes v = {9};
  ccUISketch s;
  EXPECT_THROW(cfSketchPutLong(v, 2147483648L), ccUIError::InvalidUISketch);
  EXPECT_THROW(cfSketchPutLong(v, -2147483649L), ccUIError::InvalidUISketch);
  EXPECT_THROW(cfSketchPutLong(s, 2147483648L), ccUIError::InvalidUISketch);
  EXPECT_THROW(cfSketchPutULong(v, 4294967296UL), ccUIError::InvalidUISketch);
  EXPECT_THROW(cfSketchPutUIRect(v, ccUIRect(0, 0, 1L << 32, 1)), ccUIError::InvalidUISketch);
  EXPECT_THROW(cfSketchPutFormat(v, ccUIFormat(1L << 32, ccUIFormat::eCenter)),
               ccUIError::InvalidUISketch);
  EXPECT_EQ(v, Bytes{9});
  EXPECT_TRUE(s.isNull());
  cfSketchPutLong(v, -2147483648L);
  cfSketchPutLong(v, 2147483647L);
  EXPECT_EQ(v, (Bytes{9, 0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0x7F}));
}

// Every field written and read back (the bytes are frozen by the recordings of every operation);
// every truncation throws, with the reader no further than the cut.
TEST(SketchFormat, FieldsReadBackAndEveryTruncationThrows) {
  ccGraphicProps props = unusualProps();
  props.penJoin(ccGraphicProps::eRoundJoin);  // unlike the end cap
  Bytes v;
  cfSketchPutLong(v, 5);
  cfSketchPutDouble(v, 2.0);
  cfSketchPutColor(v, ccColor(1, 2, 3));
  cfSketchPutColor(v, ccColor::redColor());
  cfSketchPutColor(v, ccColor(17));
  cfSketchPutPoint(v, ccVector<2>(1.0, -2.5));
  cfSketchPutUIRect(v, ccUIRect::inf);
  cfSketchPutFormat(v, ccUIFormat(7, ccUIFormat::eBottomRight));
  cfSketchPutProps(v, props);
  cfSketchPutFloat(v, 1.5f);
  cfSketchPutString(v, std::string("ab\0y", 4));  // ends at the first 0 character
  v.insert(v.end(), {'x', 0, 'y', 0, 0, 0});      // two UTF-16 units and the 0 unit
  cfSketchPutBool(v, true);
  cfSketchPutULong(v, 6);
  ASSERT_EQ(v.size(), 109u);
  for (std::size_t size = 0; size <= v.size(); ++size) {
    auto copy = exactCopy(v, size);
    ccSketchReader r(copy.get(), size);
    try {
      ccGraphicProps q;
      std::size_t n = 0;
      EXPECT_EQ(r.readLong(), 5);
      EXPECT_EQ(r.readDouble(), 2.0);
      EXPECT_EQ(r.readColor().rgbStruct(), ccRGB(1, 2, 3));
      EXPECT_TRUE(r.readColor().isStockColor());
      EXPECT_EQ(r.readColor().index(), 17);
      EXPECT_EQ(r.readPoint(), ccVector<2>(1.0, -2.5));
      EXPECT_EQ(r.readUIRect(), ccUIRect::inf);
      EXPECT_EQ(r.readFormat(), ccUIFormat(7, ccUIFormat::eBottomRight));
      r.readProps(q);
      EXPECT_EQ(q.penColor(), ccColor::cyanColor());  // the record does not hold the colour
      q.penColor(ccColor::redColor());
      EXPECT_EQ(q, props);
      EXPECT_EQ(r.readFloat(), 1.5f);
      EXPECT_EQ(std::string(r.readCString(n)), "ab");
      EXPECT_EQ(n, 2u);
      EXPECT_TRUE(r.readU16String(n) && n == 2);
      EXPECT_TRUE(r.readBool());
      EXPECT_EQ(r.readULong(), 6u);
      EXPECT_TRUE(size == v.size() && r.atEnd()) << size;
    } catch (const ccUIError::InvalidUISketch&) {
      EXPECT_LT(size, v.size());
      EXPECT_LE(r.position(), size);
    }
  }
}

TEST(SketchFormat, ReaderRejectsMalformedFields) {
  // Alignment 9.
  Bytes f = {0, 0, 0, 0, 9, 0, 0, 0};
  ccSketchReader rf(f.data(), f.size());
  EXPECT_THROW(rf.readFormat(), ccUIError::InvalidUISketch);
  EXPECT_EQ(rf.position(), 0u);
  // Props record with version 1; with a negative width.
  Bytes p1(21, 0);
  p1[0] = 1;
  ccGraphicProps props;
  props.penWidth(9);
  ccSketchReader rp(p1.data(), p1.size());
  EXPECT_THROW(rp.readProps(props), ccUIError::InvalidUISketch);
  EXPECT_EQ(rp.position(), 0u);
  Bytes neg(21, 0);
  le32(neg, 2, 0xFFFFFFFF);
  ccSketchReader rn(neg.data(), neg.size());
  EXPECT_THROW(rn.readProps(props), ccGraphicProps::BadParams);
  EXPECT_EQ(rn.position(), 0u);
  EXPECT_EQ(props.penWidth(), 9);
  // Strings without a terminator.
  Bytes s = {'a', 'b'};
  ccSketchReader rs(s.data(), s.size());
  std::size_t n = 0;
  EXPECT_THROW(rs.readCString(n), ccUIError::InvalidUISketch);
  Bytes u = {'a', 0, 0};  // odd: the 0 unit would need one more byte
  ccSketchReader ru(u.data(), u.size());
  EXPECT_THROW(ru.readU16String(n), ccUIError::InvalidUISketch);
  EXPECT_EQ(ru.position(), 0u);
  // An empty reader over no buffer at all.
  ccSketchReader empty(nullptr, 0);
  EXPECT_THROW(empty.readCString(n), ccUIError::InvalidUISketch);
  EXPECT_THROW(empty.peekByte(), ccUIError::InvalidUISketch);
  EXPECT_THROW(empty.skip(1), ccUIError::InvalidUISketch);
  EXPECT_NO_THROW(empty.skip(0));
}

TEST(SketchFormat, ValidateWalksNestedSketches) {
  // Opcode 13 two levels down.
  const Bytes bad2 = nestedOp(nestedOp({13, 1, 4, 3, 0, 0, 0, 0}));
  auto c2 = exactCopy(bad2, bad2.size());
  EXPECT_EQ(cfSketchCountOperations(c2.get(), bad2.size()), 1u);  // top level only
  EXPECT_THROW(cfSketchValidate(c2.get(), bad2.size()), ccUIError::InvalidUISketch);

  // A nested stream that is cut inside (its length covers only part of an operation).
  Bytes point = {0, 1, 4, 3, 0, 0, 0, 0};
  point.resize(24, 0);
  Bytes cut = nestedOp(Bytes(point.begin(), point.begin() + 10));
  auto c3 = exactCopy(cut, cut.size());
  EXPECT_THROW(cfSketchValidate(c3.get(), cut.size()), ccUIError::InvalidUISketch);

  // Deep nesting does not recurse.
  Bytes deep = point;
  for (int i = 0; i < 2000; ++i) deep = nestedOp(deep);
  auto c4 = exactCopy(deep, deep.size());
  EXPECT_NO_THROW(cfSketchValidate(c4.get(), deep.size()));
}

namespace {

// A bad byte is reported once, the same way, by the walker, a replay, an archive store and the
// version-0 converter: the operation, its offset and what is wrong.
TEST(SketchWalker, BadBytesAreNamedWithTheirOperationAndOffset) {
  Bytes good = {0, 1, 4, 0, 0, 0, 0, 0};  // a point at byte 0, 24 bytes
  cfSketchPutPoint(good, ccVector<2>(1, 2));
  Bytes props{40};
  cfSketchPutProps(props, ccGraphicProps());
  Bytes nan = good;
  cfSketchStoreDouble(nan.data() + 8, std::numeric_limits<double>::quiet_NaN());
  auto then = [&](Bytes tail) {
    Bytes b = good;
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  };
  Bytes badVersion = props;
  badVersion[1] = 1;
  Bytes twice = props;
  twice.insert(twice.end(), props.begin(), props.end());
  const struct {
    Bytes stream;
    const char* message;
  } kCases[] = {
      {then({13, 0, 4, 0, 0, 0, 0, 0}), "operation at byte 24: opcode 13 is not an operation"},
      {then({24}), "operation at byte 24: opcode 24 is not an operation"},
      {then({36}), "operation at byte 24: opcode 36 is not an operation"},
      {then({48}), "operation at byte 24: opcode 48 is not an operation"},
      {then({0x80}), "operation at byte 24: opcode -128 is not an operation"},
      {then({0xFF}), "operation at byte 24: opcode -1 is not an operation"},
      {then(props),
       "operation at byte 24: the operation runs past the end of the stream (22 "
       "bytes left)"},
      {then(badVersion), "operation at byte 24: props version 1, not 0"},
      {then(twice), "operation at byte 24: two props prefixes in a row"},
      {then({0, 1, 4}),
       "operation at byte 24: the operation runs past the end of the stream (3 bytes left)"},
      {then({0, 1, 4, 0, 0, 0, 0, 0, 1}),
       "opcode 0 (Point) at byte 24: the payload runs past the end"},
      {then(nan), "opcode 0 (Point) at byte 24: non-finite vertex"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.message);
    auto expectMessage = [&](const std::function<void()>& f) {
      EXPECT_EQ(thrownBy<ccUIError::InvalidUISketch>(f), std::string("10002b17: ") + c.message);
    };
    const auto copy = exactCopy(c.stream, c.stream.size());
    ccUISketch s;
    s.append(copy.get(), static_cast<long>(c.stream.size()));
    ccUITablet t;  // detached: it walks what it replays without drawing
    t.drawOn().push(true);
    expectMessage([&] { t.draw(s, ccPoint(0, 0), ccUITablet::eBothLayers); });
    ccArchive out;
    expectMessage([&] { out || s; });
    ccUISketch converted;
    expectMessage([&] { cfSketchConvertVersion0(copy.get(), c.stream.size(), converted); });
    if (std::string(c.message).find("non-finite") != std::string::npos) continue;
    expectMessage([&] { cfSketchCountOperations(copy.get(), c.stream.size()); });
  }
}

Bytes archived(ccUISketch& s) {
  ccArchive out;
  out || s;
  return out.data();
}

ccUISketch loaded(const Bytes& archive) {
  ccArchive in(archive);
  ccUISketch s;
  in || s;
  EXPECT_TRUE(in.atEnd());
  return s;
}

// What a detached tablet records of every archivable operation.
ccUISketch everything() {
  ccUITablet t;
  drawEveryOperation(t, false);
  return t.sketch();
}

TEST(SketchOps, RejectedValuesBecomeInvalidSketches) {
  const auto put = [](std::initializer_list<double> ds, Bytes b = {}) {
    for (double d : ds) cfSketchPutDouble(b, d);
    return b;
  };
  // n zero bytes, then `tail` (colours are index colour 0: 4 and five 0 bytes).
  const auto zeros = [](std::size_t n, std::initializer_list<unsigned char> tail) {
    Bytes b(n, 0);
    b.insert(b.end(), tail);
    return b;
  };
  const std::pair<int, Bytes> kBad[] = {
      {0, put({std::nan(""), 1})},
      {2, put({std::nan(""), 1, 1, 1})},
      {3, put({0, 0, 1, 1})},
      {28, {7, 0, 0, 0, 0, 0, 0, 0}},                                   // polygon fill mode 7
      {19, {1, 1, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 0, 0, 2, 0, 0, 0}},  // fill type 2
      {11, zeros(16, {4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0})},   // alignment 9
      // A row whose runs (one of 3) do not add up to the width (4).
      {14, zeros(19, {0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 5, 3, 0, 0})},
  };
  for (const auto& [op, payload] : kBad) {
    std::unique_ptr<cc_UISketchOpData> d(cfCreateUISketchOpData(op));
    EXPECT_THROW(d->parseByteStream(payload.data(), payload.size()), ccUIError::InvalidUISketch)
        << op;
  }
  Bytes negativeWidth;  // props prefix with a negative pen width
  cfSketchPutByte(negativeWidth, 40);
  cfSketchPutProps(negativeWidth, ccGraphicProps());
  cfSketchStoreI32(negativeWidth.data() + 3, -1);  // the pen width
  for (unsigned char b : {0, 1, 4, 0, 0, 0, 0, 0}) cfSketchPutByte(negativeWidth, b);
  cc_UISketchOpHeader h;
  EXPECT_THROW(h.parseByteStream(negativeWidth.data(), negativeWidth.size()),
               ccUIError::InvalidUISketch);
  EXPECT_EQ(h.props().penWidth(), 1);
}

// An object of a later version names its source.
TEST(SketchOps, LaterVersionNamesItsSource) {
  ccPtrHandle<cc_UISketchOpData> d(new cc_UISketchOpLineSeg);
  ccArchive out;
  out || d;
  Bytes bad = out.data();
  bad[1 + 4 + std::string("cc_UISketchOpLineSeg").size()] = 1;  // the class's version
  ccArchive in(bad);
  long line = 0;
  EXPECT_EQ(unknownVersionSource([&] { in || d; }, &line), "dispc/sketchop");
  EXPECT_GT(line, 0);
}

// ---- Archive form of the sketch

// An unknown version and malformed version-0 streams fail as a whole and keep the sketch (as
// every cut or scrambled file of the sketch-archive fuzz corpus does).
TEST(SketchArchive, FailedLoadKeepsThePreviousContents) {
  ccUITablet t;
  t.draw(ccPoint(1, 1), props(kRed, 2), kOverlay);
  ccUISketch& target = t.sketch();
  const Bytes before = bytesOf(target);
  for (signed char version : {2, -1}) {
    Bytes bad{static_cast<unsigned char>(version), 0, 0, 0, 0, 0, 0, 0, 0};
    ccArchive in(bad);
    EXPECT_EQ(unknownVersionSource([&] { in || target; }), "dispc/uisketch") << int(version);
    EXPECT_EQ(bytesOf(target), before);
  }
  // Version-0 streams nested deeper than a replay can go, cut short, or holding an empty
  // wireframe whose map is all zero.
  Bytes deep;
  for (int level = 0; level <= kSketchMaxNesting; ++level) deep = nestedOp(deep);
  Bytes truncated(8 + 95, 0), poly(8 + 68, 0);  // a payload one byte short of the 96
  truncated[0] = 8;
  poly[0] = 41;
  truncated[2] = poly[2] = 4;  // index colour 0
  for (const Bytes* bad : {&deep, &truncated, &poly}) {
    ccArchive out;  // version 0, the byte count (a long), the bytes
    signed char version = 0;
    long n = static_cast<long>(bad->size());
    out || version || n;
    out.writeBytes(bad->data(), bad->size());
    ccArchive in(out.data());
    EXPECT_THROW(in || target, ccUIError::InvalidUISketch);
    EXPECT_EQ(bytesOf(target), before);
  }
  // The current props were not touched either: the same props record no prefix.
  t.draw(ccPoint(2, 2), props(kRed, 2), kOverlay);
  EXPECT_EQ(t.sketch().length(), static_cast<long>(before.size()) + 8 + 16);
}

// Sketches without an archive form (a recorded replay) and malformed ones throw before anything
// is written.
TEST(SketchArchive, SketchesThatCannotBeStoredThrowBeforeWriting) {
  ccUITablet t;
  t.draw(ccPoint(1, 1), ccGraphicProps(), kOverlay);
  ccUITablet other;
  other.draw(t.sketch(), ccPoint(0, 0), kOverlay);  // a recorded replay (15)
  ccUISketch bad = sketchOf({13, 0, 4, 0, 0, 0, 0, 0});
  ccArchive out;
  EXPECT_THROW(out || other.sketch(), ccUIError::NotImplemented);
  EXPECT_THROW(out || bad, ccUIError::InvalidUISketch);
  EXPECT_EQ(out.position(), 0u);
}

// The operation objects archived one by one give the bytes of the sketch archived whole, and
// load back to its stream, for every opcode that has an archive form.
TEST(SketchArchive, ObjectsOneByOneMatchTheWholeSketchForEveryOpcode) {
  ccUISketch s = everything();
  ccUISketch empty;
  EXPECT_EQ(archived(empty), (Bytes{1, 0}));
  EXPECT_TRUE(loaded(Bytes{1, 0}).isNull());
  const Bytes stream = withUnicodeText(bytesOf(s));
  s = sketchOf(stream);
  const std::vector<ccSketchOperation> ops = operations(stream);

  ccArchive byObjects;
  signed char version = 1;
  long n = static_cast<long>(ops.size());
  byObjects || version || n;
  // All kept alive: the archive tells objects apart by their addresses.
  std::vector<ccPtrHandle<cc_UISketchOpHeader>> headers;
  std::vector<ccPtrHandle<cc_UISketchOpData>> payloads;
  std::set<int> opcodes;
  for (const ccSketchOperation& op : ops) {
    headers.emplace_back(new cc_UISketchOpHeader);
    headers.back()->parseByteStream(stream.data() + op.offset, op.size);
    payloads.emplace_back(cfCreateUISketchOpData(op.opcode));
    payloads.back()->parseByteStream(op.payload, op.payloadSize);
    byObjects || headers.back() || payloads.back();
    opcodes.insert(op.opcode);
  }
  EXPECT_EQ(opcodes.size(), 43u);  // with 35
  EXPECT_EQ(archived(s), byObjects.data());

  ccArchive in(byObjects.data());
  in || version || n;
  ccUISketch rebuilt;
  for (long i = 0; i < n; ++i) {
    ccPtrHandle<cc_UISketchOpHeader> h;
    ccPtrHandle<cc_UISketchOpData> d;
    in || h || d;
    h->populateSketch(rebuilt);
    d->populateSketch(rebuilt);
  }
  EXPECT_EQ(bytesOf(rebuilt), stream);
  EXPECT_EQ(bytesOf(loaded(byObjects.data())), stream);
}

// The current format is frozen too. Files of format 1 (every object named, longs of 8 bytes, a
// second version byte in each payload object, opcode 28's polygon in its persistent form) and
// version-0 sketches (every payload form that changed since, the forms that did not, a nested
// version-0 stream) load as the streams beside them.
TEST(SketchArchive, FilesOfEarlierFormatsLoad) {
  const std::string dir = DISPC_TEST_DATA_DIR;
  for (const char* name : {"sketch-format1", "sketch-version0"}) {
    SCOPED_TRACE(name);
    ccFileArchive in(dir + "/" + name + ".dca", ccArchive::eLoading);
    ccUISketch s;
    in || s;
    EXPECT_TRUE(in.atEnd());
    std::ifstream file(dir + "/" + name + ".stream", std::ios::binary);
    const Bytes stream((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(bytesOf(s), stream);
  }
  // An empty version-0 sketch.
  EXPECT_TRUE(loaded(Bytes{0, 0}).isNull());
  // The current format, frozen as the file the tool tests list.
  ccUISketch s = everything();
  Bytes file = {'D', 'I', 'S', 'P', 'C', 'A', 'R', 'C', 2, 0, 0, 0};
  const Bytes archive = archived(s);
  file.insert(file.end(), archive.begin(), archive.end());
  EXPECT_TRUE(matchesGoldenText(std::string(file.begin(), file.end()), "every-operation.dca"));
}

TEST(SketchArchive, BadValueNamesTheOperationAndItsOffset) {
  ccArchive out;
  signed char version = 1;
  long n = 2;
  out || version || n;
  ccUITablet t;
  t.drawToRelPels(1, 2, props(kRed), kOverlay);
  t.drawToRelPels(1, 2, props(kRed), kOverlay);
  const Bytes stream = bytesOf(t.sketch());
  const std::vector<ccSketchOperation> ops = operations(stream);
  ccPtrHandle<cc_UISketchOpHeader> h[2];  // both alive: the archive tells them apart by address
  for (int i = 0; i < 2; ++i) {
    h[i] = ccPtrHandle<cc_UISketchOpHeader>(new cc_UISketchOpHeader);
    h[i]->parseByteStream(stream.data() + ops[i].offset, ops[i].size);
    out || h[i];
    out.beginObject(typeid(cc_UISketchOpDrawToRelPels));
    unsigned char objectVersion = 0;
    long dx = i == 0 ? 1 : 1L << 40, dy = 2;
    out || objectVersion || dx || dy;
  }
  ccArchive in(out.data());
  ccUISketch s;
  // Version and count, then operation 0: its header (tag and class name, 24 bytes; version,
  // hasProps, props version; props of 25 bytes; layer, colour, opcode: 9) and payload (tag and
  // class name, 31 bytes; version, dx, dy).
  EXPECT_EQ(thrownBy<ccArchive::BadData>([&] { in || s; }),
            "10001a02: sketch operation 1 (DrawToRelPels) at byte 97: value 1099511627776 does "
            "not fit a 32-bit field");
  EXPECT_TRUE(s.isNull());
}

}  // namespace
