// The sketch byte format: payload size rules, field codecs, the bounds-checked reader and the
// operation walker. Truncated streams are read from buffers of exactly their size, so a sanitizer
// build catches any read past the end. The payload sizes of what a tablet records are frozen by
// tests/data/every-operation.dca and .list; here the walker is checked against itself (operations
// back to back, each cut rejected) and the rules on the values a recording does not hold.
#include <dispc/sketchop.h>
#include <dispc/uisketch.h>

#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

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

// A props record with version byte `version`.
Bytes propsRecord(unsigned char version = 0) {
  Bytes r(21, 0);
  r[0] = version;
  r[2] = 3;  // width 3
  r[18] = 1;
  r[19] = 1;
  return r;
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
// operation's start.
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
    for (std::size_t n = 0; n < op.payloadSize; ++n) {
      auto cut = exactCopy(payload, n);
      EXPECT_THROW(cfSketchPayloadSize(op.opcode, cut.get(), n), ccUIError::InvalidUISketch) << n;
    }
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
  EXPECT_EQ(cfSketchOpInfo(40)->rule.kind, ccSketchSizeRule::ePrefix);
  EXPECT_EQ(cfSketchOpInfo(40)->rule.bytes, 21u);

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

// Every field written, its bytes where the format fixes them, read back, and every truncation:
// the reads that fit succeed, the failed one leaves the position after them.
TEST(SketchFormat, FieldsWriteTheirBytesReadBackAndEveryTruncationThrows) {
  ccGraphicProps props(ccColor::redColor(), 0x0A0B0C0D, ccGraphicProps::eDot, true);
  props.penJoin(ccGraphicProps::eRoundJoin);
  props.penEndCap(ccGraphicProps::eSquareCap);
  props.arrowHead(false);
  props.showVertex(true);
  Bytes v;
  cfSketchPutLong(v, 5);
  cfSketchPutDouble(v, 2.0);
  cfSketchPutColor(v, ccColor(1, 2, 3));
  cfSketchPutColor(v, ccColor::redColor());
  cfSketchPutColor(v, ccColor(17));
  cfSketchPutPoint(v, ccVector<2>(1.0, -2.5));
  cfSketchPutUIRect(v, ccUIRect(1, -2, 3, 4));
  cfSketchPutUIRect(v, ccUIRect::inf);
  cfSketchPutFormat(v, ccUIFormat(7, ccUIFormat::eBottomRight));
  cfSketchPutProps(v, props);
  cfSketchPutFloat(v, 1.5f);
  cfSketchPutString(v, std::string("ab\0y", 4));  // ends at the first 0 character
  v.insert(v.end(), {'x', 0, 'y', 0, 0, 0});      // two UTF-16 units and the 0 unit
  cfSketchPutBool(v, true);
  cfSketchPutULong(v, 6);
  const Bytes compound = {
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
  };
  ASSERT_EQ(v.size(), 125u);
  EXPECT_EQ(Bytes(v.begin() + 12, v.begin() + 86), compound);
  EXPECT_EQ(Bytes(v.begin() + 111, v.begin() + 114), (Bytes{'a', 'b', 0}));

  // The reads in order, each with the position it ends at in the full stream.
  const std::vector<std::size_t> ends = {4,  12,  18,  24,  30,  46,  62, 78,
                                         86, 107, 111, 114, 120, 121, 125};
  const auto readAll = [&](ccSketchReader& r, std::size_t& done) {
    ccGraphicProps q;
    std::size_t n = 0;
    const auto step = [&done](bool ok) {
      EXPECT_TRUE(ok) << "read " << done;
      ++done;
    };
    step(r.readLong() == 5);
    step(r.readDouble() == 2.0);
    step(r.readColor().isRGBColor());
    step(r.readColor().isStockColor());
    step(r.readColor().index() == 17);
    step(r.readPoint() == ccVector<2>(1.0, -2.5));
    step(r.readUIRect() == ccUIRect(1, -2, 3, 4));
    step(r.readUIRect() == ccUIRect::inf);
    step(r.readFormat() == ccUIFormat(7, ccUIFormat::eBottomRight));
    r.readProps(q);
    step(q.penColor() == ccColor::cyanColor());  // the record does not hold the colour
    q.penColor(ccColor::redColor());
    EXPECT_EQ(q, props);
    step(r.readFloat() == 1.5f);
    step(std::string(r.readCString(n)) == "ab" && n == 2);
    step(r.readU16String(n) && n == 2);
    step(r.readBool());
    step(r.readULong() == 6);
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
