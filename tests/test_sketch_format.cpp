// The sketch byte format: the opcode table, payload size rules, field codecs, the bounds-checked
// reader and the operation walker. Truncated streams are read from buffers of exactly their
// size, so a sanitizer build catches any read past the end.
#include <dispc/sketchformat.h>
#include <dispc/sketchop.h>
#include <dispc/tablet.h>
#include <dispc/uisketch.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

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

// The payload sizes of the fixed-size opcodes, from the opcode table of the format.
const std::map<int, std::size_t> kFixedSizes = {
    {0, 16},  {1, 16},  {2, 32},   {3, 32},   {4, 24},  {5, 48},  {6, 192},
    {7, 500}, {8, 124}, {9, 284},  {10, 48},  {17, 0},  {20, 16}, {21, 16},
    {22, 8},  {23, 8},  {26, 36},  {27, 204}, {29, 24}, {30, 48}, {31, 124},
    {32, 32}, {37, 32}, {39, 502}, {42, 96},  {45, 40}, {46, 65}, {47, 32},
};
const std::vector<int> kComputed = {11, 12, 14, 15, 16, 18, 19, 25, 28, 33, 34, 35, 38, 41, 43, 44};
const std::vector<int> kInvalid = {13, 24, 36, 40};

// A hand-built payload for each operation, filled with 0xAB where the fields do not matter,
// and its size worked out from the rules of the format.
struct Payload {
  Bytes bytes;
  std::size_t expected;
};

Payload payloadFor(int op) {
  const auto filled = [](std::size_t n) { return Bytes(n, 0xAB); };
  auto fixed = kFixedSizes.find(op);
  if (fixed != kFixedSizes.end()) return {filled(fixed->second), fixed->second};
  Bytes b;
  switch (op) {
    case 11: {  // point, colour, format, "ab", 0: 30 + 3
      b = filled(30);
      b.insert(b.end(), {'a', 'b', 0});
      return {b, 33};
    }
    case 35: {  // UTF-16 units 0x6100, 0x0061, then the 0 unit: 30 + 2 * 3
      b = filled(30);
      b.insert(b.end(), {0x00, 0x61, 0x61, 0x00, 0x00, 0x00});
      return {b, 36};
    }
    case 12: {  // 91 + 3 * 2
      b = filled(97);
      le32(b, 82, 3);
      le32(b, 86, 2);
      return {b, 97};
    }
    case 14: {  // 19 fixed, map length 2, map, width, 2 rows of 2 and 1 entries
      b = filled(19);
      b.insert(b.end(), {2, 0, 0, 0, 9, 9, 40, 0, 0, 0, 2, 0, 0, 0});
      b.insert(b.end(), {5, 3, 7, 0, 9, 0});
      return {b, 39};
    }
    case 15: {  // offset, n = 24, a nested stream of one point operation
      b = filled(16);
      b.insert(b.end(), {24, 0, 0, 0});
      b.insert(b.end(), {0, 1, 4, 3, 0, 0, 0, 0});
      b.insert(b.end(), 16, 0x11);
      return {b, 44};
    }
    case 16:
    case 18: {  // client rectangle: 1 + 60
      b = filled(61);
      b[0] = 0;
      return {b, 61};
    }
    case 19: {  // pixel position: 1 + 8 + 6 + 4
      b = filled(19);
      b[0] = 1;
      return {b, 19};
    }
    case 25: {  // screen rectangle: 1 + 16 + 6 + 6 + 4
      b = filled(33);
      b[0] = 1;
      return {b, 33};
    }
    case 28: {  // 8 + 16 * 2
      b = filled(40);
      le32(b, 4, 2);
      return {b, 40};
    }
    case 33: {  // colour, tag, n = 3, data: 26 + 3
      b = filled(29);
      le32(b, 22, 3);
      return {b, 29};
    }
    case 34:
    case 38:
    case 41: {  // 68 + 104 * 1
      b = filled(172);
      le32(b, 60, 1);
      return {b, 172};
    }
    case 43: {  // 4 + 96 * 1
      b = filled(100);
      le32(b, 0, 1);
      return {b, 100};
    }
    case 44: {  // 5 + 16 * 2
      b = filled(37);
      le32(b, 0, 2);
      return {b, 37};
    }
  }
  ADD_FAILURE() << "no payload for opcode " << op;
  return {};
}

// A props record with version byte `version`.
Bytes propsRecord(unsigned char version = 0) {
  Bytes r(21, 0);
  r[0] = version;
  r[2] = 3;  // width 3
  r[18] = 1;
  r[19] = 1;
  return r;
}

struct Expected {
  int op;
  bool props;
  std::size_t offset;
  std::size_t size;
  std::size_t payload;
};

// One operation of every valid opcode, some with a props prefix. Also lists where each starts.
Bytes everyOperation(std::vector<Expected>* expected) {
  Bytes s;
  for (int op = 0; op < 48; ++op) {
    if (op == 13 || op == 24 || op == 36 || op == 40) continue;
    const std::size_t start = s.size();
    const bool props = op % 5 == 0;
    if (props) {
      s.push_back(40);
      const Bytes r = propsRecord();
      s.insert(s.end(), r.begin(), r.end());
    }
    s.push_back(static_cast<unsigned char>(op));
    s.push_back(static_cast<unsigned char>(op % 3));
    s.insert(s.end(), {2, 0, static_cast<unsigned char>(op), 2, 3, 0});
    const Payload p = payloadFor(op);
    EXPECT_EQ(p.bytes.size(), p.expected) << op;
    s.insert(s.end(), p.bytes.begin(), p.bytes.end());
    if (expected) expected->push_back({op, props, start, s.size() - start, p.expected});
  }
  return s;
}

void expectInvalid(const Bytes& stream) {
  auto copy = exactCopy(stream, stream.size());
  EXPECT_THROW(cfSketchCountOperations(copy.get(), stream.size()), ccUIError::InvalidUISketch);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The table.

static_assert(static_cast<int>(ccSketchOp::ePoint) == 0, "enum from the table");
static_assert(static_cast<int>(ccSketchOp::eLineSeg) == 2, "enum from the table");
static_assert(static_cast<int>(ccSketchOp::ePropsPrefix) == 40, "enum from the table");
static_assert(static_cast<int>(ccSketchOp::eGenPolyVertices) == 38, "enum from the table");
static_assert(static_cast<int>(ccSketchOp::eClipRect) == 47, "enum from the table");
static_assert(cfSketchFixedPayloadSize(7) == 500, "usable at compile time");

TEST(SketchFormat, EveryOpcodeIsClassified) {
  int valid = 0;
  for (int op = 0; op < 48; ++op) {
    const bool fixed = kFixedSizes.count(op) != 0;
    const bool computed = std::count(kComputed.begin(), kComputed.end(), op) != 0;
    const bool invalid = std::count(kInvalid.begin(), kInvalid.end(), op) != 0;
    EXPECT_EQ(fixed + computed + invalid, 1) << "opcode " << op << " in exactly one class";
    EXPECT_EQ(cfSketchOpIsValid(op), !invalid) << op;
    EXPECT_EQ(*cfSketchOpName(op) == 0, invalid) << op;
    ASSERT_NE(cfSketchOpInfo(op), nullptr);
    EXPECT_EQ(cfSketchOpInfo(op)->number, op);
    valid += cfSketchOpIsValid(op);
  }
  EXPECT_EQ(valid, 44);
  EXPECT_EQ(cfSketchOpInfo(2)->name, std::string("LineSeg"));
  EXPECT_EQ(cfSketchOpInfo(40)->rule.kind, ccSketchSizeRule::ePrefix);
  EXPECT_EQ(cfSketchOpInfo(40)->rule.bytes, 21u);
  const Bytes big(600, 0);
  for (long op : {-128L, -1L, 13L, 40L, 48L, 100L, 127L, 1L << 40}) {
    EXPECT_EQ(cfSketchOpInfo(op) == nullptr, op < 0 || op >= 48);
    EXPECT_STREQ(cfSketchOpName(op), "");
    EXPECT_THROW(cfSketchPayloadSize(op, big.data(), big.size()), ccUIError::InvalidUISketch) << op;
    EXPECT_THROW(cfSketchPayloadSizeV0(op, big.data(), big.size()), ccUIError::InvalidUISketch);
  }
}

TEST(SketchFormat, FixedPayloadSizes) {
  const Bytes big(600, 0);
  for (const auto& [op, size] : kFixedSizes) {
    EXPECT_EQ(cfSketchFixedPayloadSize(op), size) << op;
    EXPECT_EQ(cfSketchPayloadSize(op, big.data(), big.size()), size) << op;
    EXPECT_EQ(cfSketchPayloadSize(op, big.data(), size), size) << op;  // exactly available
    if (size) {
      EXPECT_THROW(cfSketchPayloadSize(op, big.data(), size - 1), ccUIError::InvalidUISketch) << op;
    }
  }
  for (int op : kComputed) EXPECT_EQ(cfSketchFixedPayloadSize(op), 0u) << op;
}

TEST(SketchFormat, ComputedPayloadSizes) {
  for (int op : kComputed) {
    const Payload p = payloadFor(op);
    Bytes padded = p.bytes;
    padded.insert(padded.end(), 50, 0xCD);  // more bytes after the payload
    EXPECT_EQ(cfSketchPayloadSize(op, padded.data(), padded.size()), p.expected) << op;
    EXPECT_EQ(cfSketchPayloadSize(op, p.bytes.data(), p.bytes.size()), p.expected) << op;
    // Every shorter buffer is rejected, read from an exact-size copy.
    for (std::size_t n = 0; n < p.expected; ++n) {
      auto copy = exactCopy(p.bytes, n);
      EXPECT_THROW(cfSketchPayloadSize(op, copy.get(), n), ccUIError::InvalidUISketch)
          << op << " with " << n << " bytes";
    }
  }
}

// The computed rules on other values: any non-zero rectangle kind is the 16-byte screen
// rectangle; empty polygons, strings, nested sketches, images and run-length images.
TEST(SketchFormat, ComputedRulesOnOtherValues) {
  auto sized = [](std::size_t n, std::initializer_list<std::pair<std::size_t, unsigned char>> set) {
    Bytes b(n, 0);
    for (const auto& [at, v] : set) b[at] = v;
    return b;
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
}

TEST(SketchFormat, NegativeAndHugeCountsAreRejected) {
  Bytes b(300, 0);
  const std::uint32_t minusOne = 0xFFFFFFFF;
  struct Case {
    int op;
    std::size_t at;
  };
  for (const Case& c :
       {Case{12, 82}, Case{12, 86}, Case{14, 19}, Case{15, 16}, Case{28, 4}, Case{33, 22},
        Case{34, 60}, Case{38, 60}, Case{41, 60}, Case{43, 0}, Case{44, 0}}) {
    Bytes p = b;
    if (c.op == 12) {  // a 1 x 1 image, so that either dimension alone decides
      le32(p, 82, 1);
      le32(p, 86, 1);
    }
    le32(p, c.at, minusOne);
    EXPECT_THROW(cfSketchPayloadSize(c.op, p.data(), p.size()), ccUIError::InvalidUISketch) << c.op;
    le32(p, c.at, 0x7FFFFFFF);  // fits the count, not the buffer
    EXPECT_THROW(cfSketchPayloadSize(c.op, p.data(), p.size()), ccUIError::InvalidUISketch) << c.op;
  }
  // 8-bit image whose width * height overflows 32 bits.
  Bytes pel(300, 0);
  le32(pel, 82, 0x10000);
  le32(pel, 86, 0x10000);
  EXPECT_THROW(cfSketchPayloadSize(12, pel.data(), pel.size()), ccUIError::InvalidUISketch);
  // Run-length rows without a terminating entry.
  Bytes rle(41, 0x01);
  le32(rle, 19, 0);
  le32(rle, 27, 1);
  EXPECT_THROW(cfSketchPayloadSize(14, rle.data(), rle.size()), ccUIError::InvalidUISketch);
}

// ---------------------------------------------------------------------------------------------
// Codecs.

TEST(SketchFormat, CompoundFieldCodecs) {
  Bytes v;
  cfSketchPutColor(v, ccColor(1, 2, 3));
  cfSketchPutColor(v, ccColor::redColor());
  cfSketchPutColor(v, ccColor(17));
  cfSketchPutPoint(v, ccVector<2>(1.0, -2.5));
  cfSketchPutUIRect(v, ccUIRect(1, -2, 3, 4));
  cfSketchPutUIRect(v, ccUIRect::inf);
  cfSketchPutFormat(v, ccUIFormat(7, ccUIFormat::eBottomRight));
  cfSketchPutString(v, "ab");
  cfSketchPutString(v, std::string("x\0y", 3));  // ends at the first 0 character
  const Bytes expected = {
      2,    0,    1,    2,    3,    0,                 // RGB (1, 2, 3)
      7,    249,  255,  0,    0,    0,                 // stock red
      4,    17,   0,    0,    0,    0,                 // index 17
      0,    0,    0,    0,    0,    0,    0xF0, 0x3F,  // x = 1
      0,    0,    0,    0,    0,    0,    0x04, 0xC0,  // y = -2.5
      1,    0,    0,    0,    0xFE, 0xFF, 0xFF, 0xFF,  // ul (1, -2)
      3,    0,    0,    0,    4,    0,    0,    0,     // size (3, 4)
      0x01, 0x00, 0x00, 0xC0, 0x01, 0x00, 0x00, 0xC0,  // inf: ul
      0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F,  // inf: size
      7,    0,    0,    0,    8,    0,    0,    0,     // font 7, bottom right
      'a',  'b',  0,    'x',  0,
  };
  EXPECT_EQ(v, expected);
}

TEST(SketchFormat, PropsRecordCodec) {
  ccGraphicProps p(ccColor::redColor(), 0x0A0B0C0D, ccGraphicProps::eDot, true);
  p.penJoin(ccGraphicProps::eRoundJoin);
  p.penEndCap(ccGraphicProps::eSquareCap);
  p.arrowHead(false);
  p.showVertex(true);
  Bytes v;
  cfSketchPutProps(v, p);
  ASSERT_EQ(v.size(), kSketchPropsRecordSize);

  ccGraphicProps q;
  ccSketchReader r(v.data(), v.size());
  r.readProps(q);
  EXPECT_TRUE(r.atEnd());
  EXPECT_EQ(q.penColor(), ccColor::cyanColor());  // untouched
  q.penColor(ccColor::redColor());
  EXPECT_EQ(q, p);
}

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

TEST(SketchFormat, EveryReadOnEveryTruncationThrows) {
  Bytes v;
  cfSketchPutLong(v, 5);
  cfSketchPutDouble(v, 2.0);
  cfSketchPutColor(v, ccColor(3));
  cfSketchPutPoint(v, ccVector<2>(1, 2));
  cfSketchPutUIRect(v, ccUIRect(1, 2, 3, 4));
  cfSketchPutFormat(v, ccUIFormat(0, ccUIFormat::eCenter));
  cfSketchPutProps(v, ccGraphicProps());
  cfSketchPutFloat(v, 1.5f);
  cfSketchPutString(v, "abc");
  v.insert(v.end(), {'x', 0, 'y', 0, 0, 0});  // two UTF-16 units and the 0 unit
  cfSketchPutBool(v, true);
  cfSketchPutULong(v, 6);

  // The reads in order, each with the position it ends at in the full stream.
  const std::vector<std::size_t> ends = {4, 12, 18, 34, 50, 58, 79, 83, 87, 93, 94, 98};
  ASSERT_EQ(v.size(), 98u);
  const auto readAll = [](ccSketchReader& r, std::size_t& done) {
    ccGraphicProps props;
    std::size_t n = 0;
    // Counts each read that returned.
    const auto step = [&done](auto&&...) { ++done; };
    step(r.readLong());
    step(r.readDouble());
    step(r.readColor());
    step(r.readPoint());
    step(r.readUIRect());
    step(r.readFormat());
    r.readProps(props);
    step();
    step(r.readFloat());
    step(r.readCString(n));
    step(r.readU16String(n));
    step(r.readBool());
    step(r.readULong());
  };
  for (std::size_t size = 0; size <= v.size(); ++size) {
    auto copy = exactCopy(v, size);
    ccSketchReader r(copy.get(), size);
    std::size_t done = 0;
    if (size == v.size()) {
      readAll(r, done);
      EXPECT_TRUE(r.atEnd());
      continue;
    }
    EXPECT_THROW(readAll(r, done), ccUIError::InvalidUISketch) << size;
    // The reads that fit succeeded, and the failed read left the position after them.
    std::size_t fit = 0;
    while (ends[fit] <= size) ++fit;
    EXPECT_EQ(done, fit) << size;
    EXPECT_EQ(r.position(), fit ? ends[fit - 1] : 0) << size;
  }
}

TEST(SketchFormat, ReaderRejectsMalformedFields) {
  // Alignment 9.
  Bytes f = {0, 0, 0, 0, 9, 0, 0, 0};
  ccSketchReader rf(f.data(), f.size());
  EXPECT_THROW(rf.readFormat(), ccUIError::InvalidUISketch);
  EXPECT_EQ(rf.position(), 0u);
  // Props record with version 1; with a negative width.
  Bytes p1 = propsRecord(1);
  ccGraphicProps props;
  props.penWidth(9);
  ccSketchReader rp(p1.data(), p1.size());
  EXPECT_THROW(rp.readProps(props), ccUIError::InvalidUISketch);
  EXPECT_EQ(rp.position(), 0u);
  Bytes neg = propsRecord(0);
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

// ---------------------------------------------------------------------------------------------
// The walker.

TEST(SketchFormat, WalkerSplitsEveryOperation) {
  std::vector<Expected> expected;
  const Bytes stream = everyOperation(&expected);
  ASSERT_EQ(expected.size(), 44u);
  auto copy = exactCopy(stream, stream.size());
  ccSketchWalker w(copy.get(), stream.size());
  ccSketchOperation op;
  for (const Expected& e : expected) {
    ASSERT_TRUE(w.next(op)) << e.op;
    EXPECT_EQ(op.opcode, e.op);
    EXPECT_EQ(op.layer, e.op % 3);
    EXPECT_EQ(op.hasProps(), e.props) << e.op;
    EXPECT_EQ(op.offset, e.offset) << e.op;
    EXPECT_EQ(op.size, e.size) << e.op;
    EXPECT_EQ(op.payloadSize, e.payload) << e.op;
    EXPECT_EQ(op.size, (e.props ? 22u : 0u) + 8u + e.payload) << e.op;
    EXPECT_EQ(op.payload, copy.get() + e.offset + op.size - op.payloadSize);
    EXPECT_EQ(op.penColor().rgb(), (static_cast<std::uint32_t>(e.op) << 16) | 0x0203u);
    EXPECT_EQ(op.props, e.props ? copy.get() + e.offset + 1 : nullptr);
  }
  EXPECT_FALSE(w.next(op));
  EXPECT_TRUE(w.atEnd());
  EXPECT_EQ(cfSketchCountOperations(copy.get(), stream.size()), 44u);
  EXPECT_NO_THROW(cfSketchValidate(copy.get(), stream.size()));
}

TEST(SketchFormat, WalkerOnEveryTruncation) {
  std::vector<Expected> expected;
  const Bytes stream = everyOperation(&expected);
  std::map<std::size_t, std::size_t> boundaries;  // end offset -> operations before it
  boundaries[0] = 0;
  for (std::size_t i = 0; i < expected.size(); ++i)
    boundaries[expected[i].offset + expected[i].size] = i + 1;
  for (std::size_t size = 0; size < stream.size(); ++size) {
    auto copy = exactCopy(stream, size);
    auto found = boundaries.find(size);
    if (found != boundaries.end()) {
      EXPECT_EQ(cfSketchCountOperations(copy.get(), size), found->second) << size;
      continue;
    }
    ccSketchWalker w(copy.get(), size);
    ccSketchOperation op;
    std::size_t walked = 0;
    try {
      while (w.next(op)) ++walked;
      ADD_FAILURE() << "truncation at " << size << " was not detected";
    } catch (const ccUIError::InvalidUISketch&) {
      // The walker stopped at the start of the cut operation.
      const Expected& cut = expected[walked];
      EXPECT_EQ(w.position(), cut.offset) << size;
      EXPECT_GT(size, cut.offset);
      EXPECT_LT(size, cut.offset + cut.size);
    }
  }
}

TEST(SketchFormat, WalkerRejectsBadPrefixesAndOpcodes) {
  const Bytes point = [] {
    Bytes b = {0, 1, 4, 3, 0, 0, 0, 0};
    b.insert(b.end(), 16, 0);
    return b;
  }();
  const Bytes good = propsRecord(0);
  // A prefix at the end of the stream.
  Bytes dangling = point;
  dangling.push_back(40);
  dangling.insert(dangling.end(), good.begin(), good.end());
  expectInvalid(dangling);
  // Invalid opcodes, also after a valid operation (which is walked first).
  for (unsigned char op : {13, 24, 36, 48, 100, 0x80, 0xFF}) {
    Bytes b = point;
    b.insert(b.end(), {op, 0, 4, 0, 0, 0, 0, 0});
    b.insert(b.end(), 600, 0);
    auto c = exactCopy(b, b.size());
    ccSketchWalker w(c.get(), b.size());
    ccSketchOperation o;
    EXPECT_TRUE(w.next(o));
    EXPECT_THROW(w.next(o), ccUIError::InvalidUISketch) << int(op);
    EXPECT_EQ(w.position(), 24u);
    EXPECT_THROW(w.next(o), ccUIError::InvalidUISketch) << "stays at the bad operation";
  }
}

TEST(SketchFormat, ValidateWalksNestedSketches) {
  // A nested-sketch operation holding a point, and one holding opcode 13.
  const auto nestedOp = [](const Bytes& inner) {
    Bytes b = {15, 1, 4, 0, 0, 0, 0, 0};
    b.insert(b.end(), 16, 0);
    Bytes n(4, 0);
    le32(n, 0, static_cast<std::uint32_t>(inner.size()));
    b.insert(b.end(), n.begin(), n.end());
    b.insert(b.end(), inner.begin(), inner.end());
    return b;
  };
  Bytes point = {0, 1, 4, 3, 0, 0, 0, 0};
  point.insert(point.end(), 16, 0);
  Bytes bad = {13, 1, 4, 3, 0, 0, 0, 0};
  const Bytes bad2 = nestedOp(nestedOp(bad));
  auto c2 = exactCopy(bad2, bad2.size());
  EXPECT_EQ(cfSketchCountOperations(c2.get(), bad2.size()), 1u);  // top level only
  EXPECT_THROW(cfSketchValidate(c2.get(), bad2.size()), ccUIError::InvalidUISketch);

  // A nested stream that is cut inside (its length covers only part of an operation).
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
  Bytes good;  // a point at byte 0, 24 bytes
  cfSketchPutSignedByte(good, 0);
  cfSketchPutSignedByte(good, 1);
  cfSketchPutColor(good, ccColor::redColor());
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
      try {
        f();
        ADD_FAILURE() << "accepted";
      } catch (const ccUIError::InvalidUISketch& e) {
        EXPECT_EQ(e.message(), c.message);
      }
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

}  // namespace
