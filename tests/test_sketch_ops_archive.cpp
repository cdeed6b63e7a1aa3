// Sketch operation objects and the sketch archive form: parsing what the tablet records
// (sizes, truncation, rejected values), rebuilding the same bytes, archiving every class,
// files of earlier formats (format 1, version-0 streams) loading into the current payload
// forms, and the failures of the archive.
#include <dispc/sketchop.h>

#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

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

// The archive of a version-0 stream: version 0, the byte count (long), the bytes.
Bytes version0Archive(const Bytes& stream) {
  ccArchive out;
  signed char version = 0;
  long n = static_cast<long>(stream.size());
  out || version || n;
  out.writeBytes(stream.data(), stream.size());
  return out.data();
}

Bytes readFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  Bytes b;
  if (!f) return b;
  int c;
  while ((c = std::fgetc(f)) != EOF) b.push_back(static_cast<unsigned char>(c));
  std::fclose(f);
  return b;
}

// Every recorded operation parses to its size and rebuilds its payload's bytes; every shorter
// payload or header throws and leaves the object as it was.
TEST(SketchOps, EveryRecordedPayloadParsesToItsSizeAndRebuildsTheSameBytes) {
  const Bytes stream = bytesOf(everything());
  std::set<int> seen;
  for (const ccSketchOperation& op : operations(stream)) {
    SCOPED_TRACE(op.opcode);
    cc_UISketchOpHeader h;
    const std::size_t head = static_cast<std::size_t>(op.payload - (stream.data() + op.offset));
    for (std::size_t n = 0; n < head; ++n)
      EXPECT_THROW(h.parseByteStream(stream.data() + op.offset, n), ccUIError::InvalidUISketch);
    EXPECT_EQ(h.opcode(), -1);
    EXPECT_EQ(h.parseByteStream(stream.data() + op.offset, stream.size() - op.offset), long(head));
    EXPECT_EQ(h.opcode(), op.opcode);
    EXPECT_EQ(h.layer(), op.layer);
    EXPECT_EQ(h.hasProps(), op.hasProps());
    EXPECT_EQ(h.props().penColor(), op.penColor());
    std::unique_ptr<cc_UISketchOpData> d(cfCreateUISketchOpData(op.opcode));
    EXPECT_EQ(d->parseByteStream(op.payload, stream.data() + stream.size() - op.payload),
              static_cast<long>(op.payloadSize));
    for (std::size_t n = 0; n < op.payloadSize; ++n) {
      // A copy of the first n bytes, so that nothing beyond them can be read unnoticed.
      const Bytes cut(op.payload, op.payload + n);
      EXPECT_THROW(d->parseByteStream(cut.data(), n), ccUIError::InvalidUISketch) << n;
    }
    ccUISketch rebuilt;
    d->populateSketch(rebuilt);
    EXPECT_EQ(bytesOf(rebuilt), Bytes(op.payload, op.payload + op.payloadSize));
    seen.insert(op.opcode);
  }
  EXPECT_EQ(seen.size(), 42u);
}

TEST(SketchOps, RejectedValuesBecomeInvalidSketches) {
  const auto put = [](std::initializer_list<double> ds, Bytes b = {}) {
    for (double d : ds) cfSketchPutDouble(b, d);
    return b;
  };
  Bytes badFill, badType, badAlign, badRuns;
  cfSketchPutLong(badFill, 7);  // polygon fill mode
  cfSketchPutLong(badFill, 0);
  cfSketchPutByte(badType, 1);
  cfSketchPutLong(badType, 1);
  cfSketchPutLong(badType, 1);
  cfSketchPutColor(badType, kRed);
  cfSketchPutLong(badType, 2);  // fill type
  cfSketchPutPoint(badAlign, ccVector<2>(1, 1));
  cfSketchPutColor(badAlign, kRed);
  cfSketchPutLong(badAlign, 0);
  cfSketchPutLong(badAlign, 9);  // alignment
  cfSketchPutByte(badAlign, 0);
  cfSketchPutPoint(badRuns, ccVector<2>(0, 0));  // a row whose runs do not add up to the width
  for (int i = 0; i < 3; ++i) cfSketchPutByte(badRuns, 0);
  for (long v : {0, 4, 1}) cfSketchPutLong(badRuns, v);
  for (unsigned char b : {5, 3, 0, 0}) cfSketchPutByte(badRuns, b);
  const std::pair<int, Bytes> kBad[] = {
      {0, put({std::nan(""), 1})},
      {2, put({std::nan(""), 1, 1, 1})},
      {3, put({0, 0, 1, 1})},
      {28, badFill},
      {19, badType},
      {11, badAlign},
      {14, badRuns},
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

TEST(SketchOps, DefaultObjectsArchiveAndLoadBack) {
  for (int op = 0; op < kSketchOpcodeCount; ++op) {
    if (!cfSketchOpIsValid(op) || op == 15) continue;
    SCOPED_TRACE(op);
    ccPtrHandle<cc_UISketchOpData> d(cfCreateUISketchOpData(op));
    ccArchive out;
    out || d;
    ccArchive in(out.data());
    ccPtrHandle<cc_UISketchOpData> back;
    in || back;
    ASSERT_TRUE(back);
    ccUISketch a, b;
    d->populateSketch(a);
    back->populateSketch(b);
    EXPECT_EQ(bytesOf(b), bytesOf(a));
    // What a default object writes is a payload its class parses again.
    std::unique_ptr<cc_UISketchOpData> again(cfCreateUISketchOpData(op));
    EXPECT_EQ(again->parseByteStream(a.data(), static_cast<std::size_t>(a.length())), a.length());
  }
}

// An object of a later version names its source; a nested sketch has no archive form.
TEST(SketchOps, ArchiveFormRefusals) {
  ccPtrHandle<cc_UISketchOpData> d(new cc_UISketchOpLineSeg);
  ccArchive out;
  out || d;
  Bytes bad = out.data();
  bad[1 + 4 + std::string("cc_UISketchOpLineSeg").size()] = 1;  // the class's version
  ccArchive in(bad);
  ccPtrHandle<cc_UISketchOpData> back;
  try {
    in || back;
    ADD_FAILURE() << "loaded version 1";
  } catch (const ccArchive::UnknownVersion& e) {
    EXPECT_EQ(e.source(), "dispc/sketchop");
    EXPECT_GT(e.line(), 0);
  }
  ccPtrHandle<cc_UISketchOpData> nested(new cc_UISketchOpSketch);
  ccArchive out2;
  EXPECT_THROW(out2 || nested, ccUIError::NotImplemented);
}

// ---- Archive form of the sketch

// An unknown version and every truncation of an archive fail as a whole and keep the sketch.
TEST(SketchArchive, FailedLoadKeepsThePreviousContents) {
  ccUISketch source = everything();
  const Bytes archive = archived(source);
  ccUITablet t;
  t.draw(ccPoint(1, 1), props(kRed, 2), kOverlay);
  ccUISketch& target = t.sketch();
  const Bytes before = bytesOf(target);
  for (signed char version : {2, -1}) {
    Bytes bad{static_cast<unsigned char>(version), 0, 0, 0, 0, 0, 0, 0, 0};
    ccArchive in(bad);
    try {
      in || target;
      ADD_FAILURE() << "loaded version " << int(version);
    } catch (const ccArchive::UnknownVersion& e) {
      EXPECT_EQ(e.source(), "dispc/uisketch");
    }
    EXPECT_EQ(bytesOf(target), before);
  }
  for (std::size_t n = 1; n < archive.size(); n += 7) {
    ccArchive in(Bytes(archive.begin(), archive.begin() + static_cast<long>(n)));
    EXPECT_THROW(in || target, ccArchive::Errors) << n;
    EXPECT_EQ(bytesOf(target), before);
  }
  // The current props were not touched either: the same props record no prefix.
  t.draw(ccPoint(2, 2), props(kRed, 2), kOverlay);
  EXPECT_EQ(t.sketch().length(), static_cast<long>(before.size()) + 8 + 16);
}

// Sketches without an archive form (a recorded replay) and malformed ones
// throw before anything is written; a file archive leaves no file.
TEST(SketchArchive, SketchesThatCannotBeStoredThrowBeforeWriting) {
  ccUITablet t;
  t.draw(ccPoint(1, 1), ccGraphicProps(), kOverlay);
  ccUITablet other;
  other.draw(t.sketch(), ccPoint(0, 0), kOverlay);  // a recorded replay (15)
  Bytes malformed;
  cfSketchPutSignedByte(malformed, 13);
  cfSketchPutSignedByte(malformed, 0);
  cfSketchPutColor(malformed, kRed);
  ccUISketch bad = sketchOf(malformed);
  ccArchive out;
  EXPECT_THROW(out || other.sketch(), ccUIError::NotImplemented);
  EXPECT_THROW(out || bad, ccUIError::InvalidUISketch);
  EXPECT_EQ(out.position(), 0u);

  const std::string path = ::testing::TempDir() + "dispc_sketch_archive_failed.dca";
  std::remove(path.c_str());
  {
    ccFileArchive f(path, ccArchive::eStoring);
    EXPECT_THROW(f || other.sketch(), ccUIError::NotImplemented);
  }
  EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
  EXPECT_EQ(std::fopen((path + ".partial").c_str(), "rb"), nullptr);
}

// The operation objects archived one by one give the bytes of the sketch archived whole, and
// load back to its stream, for every opcode that has an archive form.
TEST(SketchArchive, ObjectsOneByOneMatchTheWholeSketchForEveryOpcode) {
  ccUISketch s = everything();
  EXPECT_EQ(archived(s)[0], 1);  // version
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
    const Bytes stream = readFile(dir + "/" + name + ".stream");
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

// Version-0 streams nested deeper than a replay can go, cut short, or holding an empty
// wireframe whose map is all zero fail without changing the sketch.
TEST(SketchArchive, Version0MalformedStreamsFailWithoutChangingTheSketch) {
  Bytes deep;
  for (int level = 0; level <= kSketchMaxNesting; ++level) {
    Bytes wrapped;
    cfSketchPutSignedByte(wrapped, 15);
    cfSketchPutSignedByte(wrapped, 1);
    cfSketchPutColor(wrapped, ccColor(0));
    cfSketchPutPoint(wrapped, ccVector<2>(0, 0));
    cfSketchPutLong(wrapped, static_cast<long>(deep.size()));
    wrapped.insert(wrapped.end(), deep.begin(), deep.end());
    deep.swap(wrapped);
  }
  Bytes truncated, poly;
  for (Bytes* b : {&truncated, &poly}) {
    cfSketchPutSignedByte(*b, b == &poly ? 41 : 8);
    cfSketchPutSignedByte(*b, 0);
    cfSketchPutColor(*b, kRed);
  }
  truncated.resize(truncated.size() + 95, 0);  // one byte short of the 96
  poly.resize(poly.size() + 68, 0);
  ccUISketch target = everything();
  const Bytes before = bytesOf(target);
  for (const Bytes* bad : {&deep, &truncated, &poly}) {
    ccArchive in(version0Archive(*bad));
    EXPECT_THROW(in || target, ccUIError::InvalidUISketch);
    EXPECT_EQ(bytesOf(target), before);
  }
}

TEST(SketchArchive, BadValueNamesTheOperationAndItsOffset) {
  const std::string path = ::testing::TempDir() + "dispc_sketch_archive_badvalue.dca";
  {
    ccFileArchive f(path, ccArchive::eStoring);
    signed char version = 1;
    long n = 2;
    f || version || n;
    ccUITablet t;
    t.drawToRelPels(1, 2, props(kRed), kOverlay);
    t.drawToRelPels(1, 2, props(kRed), kOverlay);
    const Bytes stream = bytesOf(t.sketch());
    const std::vector<ccSketchOperation> ops = operations(stream);
    ccPtrHandle<cc_UISketchOpHeader> h[2];  // both alive: the archive tells them apart by address
    for (int i = 0; i < 2; ++i) {
      h[i] = ccPtrHandle<cc_UISketchOpHeader>(new cc_UISketchOpHeader);
      h[i]->parseByteStream(stream.data() + ops[i].offset, ops[i].size);
      f || h[i];
      f.beginObject(typeid(cc_UISketchOpDrawToRelPels));
      unsigned char objectVersion = 0;
      long dx = i == 0 ? 1 : 1L << 40, dy = 2;
      f || objectVersion || dx || dy;
    }
  }
  ccFileArchive in(path, ccArchive::eLoading);
  ccUISketch s;
  try {
    in || s;
    ADD_FAILURE() << "loaded a value beyond the stream's field";
  } catch (const ccArchive::BadData& e) {
    // 12 header bytes, version and count, then operation 0: its header (tag and class name,
    // 24 bytes; version, hasProps, props version; props of 25 bytes; layer, colour, opcode: 9)
    // and payload (tag and class name, 31 bytes; version, dx, dy).
    EXPECT_EQ(e.message(),
              "sketch operation 1 (DrawToRelPels) at byte 109: value 1099511627776 does not fit "
              "a 32-bit field");
  }
  EXPECT_TRUE(s.isNull());
  std::remove(path.c_str());
}

}  // namespace
