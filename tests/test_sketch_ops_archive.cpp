// Sketch operation objects and the sketch archive form: parsing what the tablet records
// (sizes, truncation, rejected values), rebuilding the same bytes, archiving every class,
// version-0 streams converted to the current payload forms, and the failures of the archive.
#include "genpolysample.h"

#include <core/genshape.h>
#include <dispc/sketchop.h>
#include <dispc/sketchshapes.h>
#include <dispc/tablet.h>
#include <dispc/wrfm/wirefrm.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using L = ccUITablet::Layers;
constexpr L kImage = ccUITablet::eImageLayer;
constexpr L kOverlay = ccUITablet::eOverlayLayer;

const ccColor kRed = ccColor::redColor();
const ccColor kBlue = ccColor::blueColor();

Bytes bytesOf(const ccUISketch& s) { return Bytes(s.data(), s.data() + s.length()); }

ccUISketch sketchOf(const Bytes& b) {
  ccUISketch s;
  s.append(b.data(), static_cast<long>(b.size()));
  return s;
}

std::vector<ccSketchOperation> operations(const Bytes& b) {
  std::vector<ccSketchOperation> ops;
  ccSketchWalker w(b.data(), b.size());
  ccSketchOperation op;
  while (w.next(op)) ops.push_back(op);
  return ops;
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

ccGraphicProps props(const ccColor& c, long width = 1, bool fill = false) {
  ccGraphicProps p(c, width);
  p.fill(fill);
  return p;
}

const ccEllipse kEllipse(ccVector<2>(100, 80), ccVector<2>(40, 20), ccRadian(0.5));
const ccEllipse kInnerEllipse(ccVector<2>(100, 80), ccVector<2>(20, 10), ccRadian(0.5));

ccEllipseAnnulusSection section() {
  return ccEllipseAnnulusSection(ccEllipseAnnulus(kEllipse, kInnerEllipse), ccRadian(0.25),
                                 ccRadian(2.0), true, false, true);
}
ccGenRect genRect(double half) {
  return ccGenRect(ccVector<2>(50, 60), ccMatrix<2>(half, 1, -1, half / 2), ccVector<2>(0.5, 0));
}
const ccGenShapeRoundedPolygon kRounded({ccVector<2>(0, 0), ccVector<2>(40, 0),
                                         ccVector<2>(40, 30)},
                                        5);
const ccGenPoly kGenPoly = roundedGenPoly();
// The polygon as a wireframe, reversed, with a tolerance on its first segment (length 50).
cc2Wireframe wireframe() {
  cc2Wireframe w(kGenPoly);
  w.segmentLengthTol(0, ccDimTol(50, 45, 55));
  w.polarity(true);
  return w;
}

// Records one operation of every archivable opcode (all but the nested sketch 15, the UTF-16
// text 35 that nothing records), with props changing along the way.
ccUISketch everything() {
  ccUITablet t;
  const ccBezierCurve bez(ccVector<2>(0, 0), ccVector<2>(10, 40), ccVector<2>(50, 40),
                          ccVector<2>(60, 0));
  ccPelBuffer<unsigned char> img(3, 2);
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < 3; ++x) img.set(x, y, static_cast<unsigned char>(7 * y + x));
  img.offset(-2, 5);
  t.set(kBlue, kOverlay);                                                               // 17
  t.draw(ccPoint(3.5, 4.25), props(kRed, 3), kOverlay);                                 // 0
  t.drawPointIcon(ccPoint(20, 30), props(kRed, 3), kImage);                             // 1
  t.draw(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(30.5, 40)), props(kBlue), kImage);    // 2
  t.draw(ccLine(ccVector<2>(1, 2), ccVector<2>(5, 5)), props(kBlue), kOverlay);         // 3
  t.draw(ccCircle(ccVector<2>(40, 50), 12.5), props(kRed), kOverlay);                   // 4
  t.draw(kEllipse, props(kRed), kOverlay);                                              // 5
  t.draw(ccEllipseArc(kEllipse, ccRadian(0.5), ccRadian(2.5)), props(kRed), kOverlay);  // 6
  t.draw(section(), props(kRed), kOverlay);                                             // 7
  t.draw(genRect(10), props(kRed), kOverlay);                                           // 8
  t.draw(ccGenAnnulus(genRect(5), genRect(10)), props(kRed), kOverlay);                 // 9
  t.draw(ccCoordAxes(ccVector<2>(10, 10), ccVector<2>(60, 10), ccVector<2>(10, 70)), props(kRed),
         kOverlay);  // 10
  t.draw(std::string("text"), ccPoint(1, 2), kRed, kBlue, ccUIFormat(3, ccUIFormat::eCenter),
         kOverlay);                                                                         // 11
  t.draw(img, ccPoint(5, 6), true, 3, true, kImage);                                        // 12
  t.draw(ccRLEBuffer(img), ccPoint(5, 6), {1, 2, 3}, false, 2, true, kImage);               // 14
  t.set(ccUIRect(5, 6, 70, 80), kRed, kImage);                                              // 16
  t.set(ccRect(ccVector<2>(5, 6), ccVector<2>(70, 80)), kBlue, kImage);                     // 16
  t.setComplement(ccUIRect(5, 6, 70, 80), kRed, kOverlay);                                  // 18
  t.setComplement(ccRect(ccVector<2>(5, 6), ccVector<2>(70, 80)), kRed, kOverlay);          // 18
  t.fill(ccPair<long>(7, 8), kRed, kBlue, ccUITablet::eFillSurface, kImage);                // 19
  t.fill(ccPoint(7.5, 8.5), kRed, kBlue, ccUITablet::eFillToBorder, kImage);                // 19
  t.drawStart(ccPoint(10, 10), kOverlay);                                                   // 20
  t.drawTo(ccPoint(20, 25), props(kRed, 2), kOverlay);                                      // 21
  t.drawToRelPels(5, -3, props(kBlue), kOverlay);                                           // 22
  t.moveToRelPels(-7, 4, kOverlay);                                                         // 23
  t.outline3D(ccUIRect(10, 10, 20, 12), kRed, kBlue, 2, kOverlay);                          // 25
  t.outline3D(ccRect(ccVector<2>(10, 10), ccVector<2>(20, 12)), kRed, kBlue, 3, kOverlay);  // 25
  t.arrowHead(ccPoint(50, 50), ccVector<2>(1, 0.5), 7.5f, props(kBlue), kOverlay);          // 26
  t.draw(ccAffineRectangle(ccVector<2>(10, 10), ccVector<2>(40, 20), ccVector<2>(0, 40)),
         props(kRed, 1, true), kOverlay);  // 27
  t.draw(ccPolygon({ccVector<2>(1, 1), ccVector<2>(30, 2), ccVector<2>(15, 25)},
                   ccPolygon::eFillWinding),
         props(kBlue), kOverlay);                                                   // 28
  t.draw(ccCircle(ccVector<2>(4, 5), 2), props(kBlue, 1, true), kOverlay);          // 29
  t.draw(kEllipse, props(kBlue, 1, true), kOverlay);                                // 30
  t.draw(genRect(3), props(kBlue, 1, true), kOverlay);                              // 31
  t.draw(ccRect(ccVector<2>(10, 20), ccVector<2>(30, 40)), props(kRed), kOverlay);  // 32
  t.draw(kRounded, kBlue, kOverlay);                                                // 33
  t.draw(kGenPoly, props(kRed), kOverlay);                                          // 34
  t.draw(ccCross(ccVector<2>(50, 60), ccRadian(0.3), 9), props(kRed), kOverlay);    // 37
  t.draw(kGenPoly.map(ccXform<2>(ccMatrix<2>(1, 0.5, 0, -2), ccVector<2>(3, 4))), kBlue, kImage,
         true);                                                                              // 38
  t.draw(section(), kRed, kOverlay, true, false);                                            // 39
  t.draw(wireframe(), props(kBlue, 2), kOverlay);                                            // 41
  t.draw(bez, props(kBlue), kOverlay);                                                       // 42
  t.draw(ccCubicSpline({bez, bez}), props(kBlue), kOverlay);                                 // 43
  t.draw(ccPolyline({ccVector<2>(1, 1), ccVector<2>(30, 2)}, true), props(kRed), kOverlay);  // 44
  t.draw(ccEllipse2(ccVector<2>(30, 10), ccRadian(0.4), ccVector<2>(100, 100)), props(kRed),
         kOverlay);  // 45
  t.draw(ccEllipseArc2(ccEllipse2(ccVector<2>(30, 10), ccRadian(0.4), ccVector<2>(100, 100), true,
                                  ccRadian(0.1)),
                       ccRadian(0.5), ccRadian(-2)),
         props(kRed), kOverlay);                                                 // 46
  t.drawClipRect(ccRect(ccVector<2>(10, 20), ccVector<2>(300, 200)), kOverlay);  // 47
  t.set(ccUIRect(1, 1, 2, 2), kBlue, kImage);  // back to a colour that needs a prefix
  return t.sketch();
}

TEST(SketchOps, EveryRecordedPayloadParsesToItsSizeAndRebuildsTheSameBytes) {
  const Bytes stream = bytesOf(everything());
  int count = 0;
  for (const ccSketchOperation& op : operations(stream)) {
    SCOPED_TRACE(op.opcode);
    cc_UISketchOpHeader h;
    EXPECT_EQ(h.parseByteStream(stream.data() + op.offset, stream.size() - op.offset),
              op.hasProps() ? 30 : 8);
    EXPECT_EQ(h.opcode(), op.opcode);
    EXPECT_EQ(h.layer(), op.layer);
    EXPECT_EQ(h.hasProps(), op.hasProps());
    EXPECT_EQ(h.props().penColor(), op.penColor());
    std::unique_ptr<cc_UISketchOpData> d(cfCreateUISketchOpData(op.opcode));
    EXPECT_EQ(d->parseByteStream(op.payload, stream.data() + stream.size() - op.payload),
              static_cast<long>(op.payloadSize));
    ccUISketch rebuilt;
    d->populateSketch(rebuilt);
    EXPECT_EQ(bytesOf(rebuilt), Bytes(op.payload, op.payload + op.payloadSize));
    ++count;
  }
  EXPECT_EQ(count, 47);
}

TEST(SketchOps, TruncatedPayloadsThrowAndLeaveTheObjectAsItWas) {
  const Bytes stream = bytesOf(everything());
  for (const ccSketchOperation& op : operations(stream)) {
    SCOPED_TRACE(op.opcode);
    std::unique_ptr<cc_UISketchOpData> d(cfCreateUISketchOpData(op.opcode));
    d->parseByteStream(op.payload, op.payloadSize);
    ccUISketch before;
    d->populateSketch(before);
    for (std::size_t n = 0; n < op.payloadSize; ++n) {
      // A copy of the first n bytes, so that nothing beyond them can be read unnoticed.
      const Bytes cut(op.payload, op.payload + n);
      EXPECT_THROW(d->parseByteStream(cut.data(), n), ccUIError::InvalidUISketch) << n;
    }
    ccUISketch after;
    d->populateSketch(after);
    EXPECT_EQ(bytesOf(after), bytesOf(before));
    // The header likewise.
    cc_UISketchOpHeader h;
    const std::size_t head = static_cast<std::size_t>(op.payload - (stream.data() + op.offset));
    for (std::size_t n = 0; n < head; ++n)
      EXPECT_THROW(h.parseByteStream(stream.data() + op.offset, n), ccUIError::InvalidUISketch);
    EXPECT_EQ(h.opcode(), -1);
  }
}

TEST(SketchOps, RejectedValuesBecomeInvalidSketches) {
  auto parse = [](int op, const Bytes& payload) {
    std::unique_ptr<cc_UISketchOpData> d(cfCreateUISketchOpData(op));
    d->parseByteStream(payload.data(), payload.size());
  };
  Bytes nan;
  cfSketchPutDouble(nan, std::nan(""));
  cfSketchPutDouble(nan, 1);
  EXPECT_THROW(parse(0, nan), ccUIError::InvalidUISketch);
  Bytes seg = nan;
  cfSketchPutPoint(seg, ccVector<2>(1, 1));
  EXPECT_THROW(parse(2, seg), ccUIError::InvalidUISketch);
  Bytes zeroDir;
  cfSketchPutPoint(zeroDir, ccVector<2>(0, 0));
  cfSketchPutPoint(zeroDir, ccVector<2>(1, 1));
  EXPECT_THROW(parse(3, zeroDir), ccUIError::InvalidUISketch);
  Bytes badFill;
  cfSketchPutLong(badFill, 7);  // polygon fill mode
  cfSketchPutLong(badFill, 0);
  EXPECT_THROW(parse(28, badFill), ccUIError::InvalidUISketch);
  Bytes badType;
  cfSketchPutByte(badType, 1);
  cfSketchPutLong(badType, 1);
  cfSketchPutLong(badType, 1);
  cfSketchPutColor(badType, kRed);
  cfSketchPutLong(badType, 2);  // fill type
  EXPECT_THROW(parse(19, badType), ccUIError::InvalidUISketch);
  Bytes badAlign;
  cfSketchPutPoint(badAlign, ccVector<2>(1, 1));
  cfSketchPutColor(badAlign, kRed);
  cfSketchPutLong(badAlign, 0);
  cfSketchPutLong(badAlign, 9);  // alignment
  cfSketchPutByte(badAlign, 0);
  EXPECT_THROW(parse(11, badAlign), ccUIError::InvalidUISketch);
  Bytes badRuns;  // a run-length row whose runs do not add up to the width
  cfSketchPutPoint(badRuns, ccVector<2>(0, 0));
  for (int i = 0; i < 3; ++i) cfSketchPutByte(badRuns, 0);
  cfSketchPutLong(badRuns, 0);
  cfSketchPutLong(badRuns, 4);
  cfSketchPutLong(badRuns, 1);
  for (unsigned char b : {5, 3, 0, 0}) cfSketchPutByte(badRuns, b);
  EXPECT_THROW(parse(14, badRuns), ccUIError::InvalidUISketch);
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

TEST(SketchOps, HeaderWithoutPrefixWritesOnlyTheRecord) {
  Bytes v;
  cfSketchPutSignedByte(v, 2);
  cfSketchPutSignedByte(v, 1);
  cfSketchPutColor(v, kRed);
  cc_UISketchOpHeader h;
  EXPECT_EQ(h.layer(), ccUITablet::eBothLayers);
  EXPECT_EQ(h.penColor(), ccColor::cyanColor());
  EXPECT_EQ(h.parseByteStream(v.data(), v.size()), 8);
  EXPECT_FALSE(h.hasProps());
  EXPECT_EQ(h.props().penColor(), kRed);
  ccUISketch s;
  h.populateSketch(s);
  EXPECT_EQ(bytesOf(s), v);
}

TEST(SketchOps, StringReportsItsLengthWithTheTerminator) {
  Bytes v;
  cfSketchPutPoint(v, ccVector<2>(1, 2));
  cfSketchPutColor(v, kRed);
  cfSketchPutFormat(v, ccUIFormat(0, ccUIFormat::eTopLeft));
  cfSketchPutString(v, "abc");
  v.push_back(0xEE);  // the next operation
  cc_UISketchOpString s;
  EXPECT_EQ(s.parseByteStream(v.data(), v.size()), 34);
  EXPECT_EQ(s.length(), 4);
  EXPECT_EQ(s.text(), "abc");
  EXPECT_FALSE(s.owned());
  const cc_UISketchOpString copy(s);
  EXPECT_TRUE(copy.owned());
  EXPECT_EQ(copy.text(), "abc");
}

TEST(SketchOps, GenericShapeTakesALargerDataBlock) {
  auto payload = [](std::size_t n) {
    Bytes v;
    cfSketchPutColor(v, kRed);
    kRounded.tag().toBytes(cfSketchReserve(v, kSketchGenShapeTagSize));
    cfSketchPutLong(v, static_cast<long>(n));
    for (std::size_t i = 0; i < n; ++i) v.push_back(static_cast<unsigned char>(i));
    return v;
  };
  cc_UISketchOpGenShape g;
  const Bytes small = payload(3), large = payload(300);
  EXPECT_EQ(g.parseByteStream(small.data(), small.size()), 26 + 3);
  EXPECT_EQ(g.parseByteStream(large.data(), large.size()), 26 + 300);
  EXPECT_EQ(g.dataSize(), 300);
  ccUISketch s;
  g.populateSketch(s);
  EXPECT_EQ(bytesOf(s), large);
}

// ---- Archive form of the operation objects

TEST(SketchOps, EveryClassArchivesAndLoadsBackToTheSameBytes) {
  const Bytes stream = bytesOf(everything());
  for (const ccSketchOperation& op : operations(stream)) {
    SCOPED_TRACE(op.opcode);
    ccPtrHandle<cc_UISketchOpHeader> h(new cc_UISketchOpHeader);
    h->parseByteStream(stream.data() + op.offset, op.size);
    ccPtrHandle<cc_UISketchOpData> d(cfCreateUISketchOpData(op.opcode));
    d->parseByteStream(op.payload, op.payloadSize);
    ccArchive out;
    out || h || d;
    ccArchive in(out.data());
    ccPtrHandle<cc_UISketchOpHeader> h2;
    ccPtrHandle<cc_UISketchOpData> d2;
    in || h2 || d2;
    EXPECT_TRUE(in.atEnd());
    ASSERT_TRUE(h2 && d2);
    EXPECT_EQ(typeid(*d2), typeid(*d));
    ccUISketch a, b;
    h->populateSketch(a);
    d->populateSketch(a);
    h2->populateSketch(b);
    d2->populateSketch(b);
    EXPECT_EQ(bytesOf(b), bytesOf(a));
  }
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

TEST(SketchOps, UnknownObjectVersionsNameTheirSource) {
  ccPtrHandle<cc_UISketchOpData> d(new cc_UISketchOpLineSeg);
  ccArchive out;
  out || d;
  // tag 1, name (4-byte count and the characters), the class's version.
  Bytes bytes = out.data();
  const std::size_t classVersion = 1 + 4 + std::string("cc_UISketchOpLineSeg").size();
  {
    Bytes bad = bytes;
    bad[classVersion] = 1;
    ccArchive in(bad);
    ccPtrHandle<cc_UISketchOpData> back;
    try {
      in || back;
      ADD_FAILURE() << "loaded version 1";
    } catch (const ccArchive::UnknownVersion& e) {
      EXPECT_EQ(e.source(), "dispc/sketchop");
      EXPECT_GT(e.line(), 0);
    }
  }
}

TEST(SketchOps, NestedSketchObjectCannotBeArchived) {
  ccPtrHandle<cc_UISketchOpData> d(new cc_UISketchOpSketch);
  ccArchive out;
  EXPECT_THROW(out || d, ccUIError::NotImplemented);
}

// ---- Archive form of the sketch

TEST(SketchArchive, Version1RoundTripGivesTheSameBytes) {
  ccUISketch s = everything();
  const Bytes archive = archived(s);
  EXPECT_EQ(archive[0], 1);
  EXPECT_EQ(bytesOf(loaded(archive)), bytesOf(s));
  // An empty sketch: version and a count of 0.
  ccUISketch empty;
  const Bytes none = archived(empty);
  EXPECT_EQ(none, (Bytes{1, 0}));
  EXPECT_TRUE(loaded(none).isNull());
}

// A screen rectangle archives as stored, but the stream holds it normalised: an archived
// rectangle of width 0 loads as the null rectangle, and storing that again is stable.
TEST(SketchArchive, LoadedScreenRectanglesAreNormalisedAsParsedOnes) {
  ccUITablet t;
  t.set(ccUIRect(1, 2, 3, 4), kRed, kOverlay);
  Bytes archive = archived(t.sketch());
  ccArchive alone;
  ccUIRect rect(1, 2, 3, 4);
  alone || rect;
  const auto at =
      std::search(archive.begin(), archive.end(), alone.data().begin(), alone.data().end());
  ASSERT_NE(at, archive.end());
  at[5] = 0;  // version, ul pair (version, x, y), sz pair version, then the width: 3 -> 0
  ccUISketch s = loaded(archive);
  const Bytes stream = bytesOf(s);  // the operations point into it
  const std::vector<ccSketchOperation> ops = operations(stream);
  ASSERT_EQ(ops.size(), 1u);
  Bytes nullRect(17, 0);
  nullRect[0] = 1;  // the kind byte: a screen rectangle follows
  EXPECT_EQ(Bytes(ops[0].payload, ops[0].payload + ops[0].payloadSize), nullRect);
  EXPECT_EQ(bytesOf(loaded(archived(s))), bytesOf(s));
}

TEST(SketchArchive, LoadingAppendsAndWritesPrefixesWhereThePropsChange) {
  ccUITablet t;
  t.draw(ccPoint(1, 1), props(kRed, 2), kOverlay);
  ccUISketch one = t.sketch();
  const Bytes archive = archived(one);
  // Loading into the sketch that already ends with those props: no second prefix.
  ccUISketch target = t.sketch();
  {
    ccArchive in(archive);
    ccUISketch& ref = t.sketch();
    in || ref;
  }
  EXPECT_EQ(t.sketch().length(), one.length() + 8 + 16);
  // Into a copy (default current props): the prefix again.
  ccArchive in(archive);
  in || target;
  EXPECT_EQ(target.length(), 2 * one.length());
}

TEST(SketchArchive, UnknownVersionThrowsAndKeepsTheSketch) {
  ccUISketch s = everything();
  const Bytes before = bytesOf(s);
  for (signed char version : {2, -1}) {
    Bytes bad{static_cast<unsigned char>(version), 0, 0, 0, 0, 0, 0, 0, 0};
    ccArchive in(bad);
    try {
      in || s;
      ADD_FAILURE() << "loaded version " << int(version);
    } catch (const ccArchive::UnknownVersion& e) {
      EXPECT_EQ(e.source(), "dispc/uisketch");
    }
    EXPECT_EQ(bytesOf(s), before);
  }
}

TEST(SketchArchive, FailedLoadKeepsThePreviousContents) {
  ccUISketch source = everything();
  const Bytes archive = archived(source);
  ccUITablet t;
  t.draw(ccPoint(1, 1), props(kRed, 2), kOverlay);
  ccUISketch& target = t.sketch();
  const Bytes before = bytesOf(target);
  // Every truncation of the archive fails as a whole.
  for (std::size_t n = 1; n < archive.size(); n += 7) {
    ccArchive in(Bytes(archive.begin(), archive.begin() + static_cast<long>(n)));
    EXPECT_THROW(in || target, ccArchive::Errors) << n;
    EXPECT_EQ(bytesOf(target), before);
  }
  // The current props were not touched either: the same props record no prefix.
  t.draw(ccPoint(2, 2), props(kRed, 2), kOverlay);
  EXPECT_EQ(t.sketch().length(), static_cast<long>(before.size()) + 8 + 16);
}

TEST(SketchArchive, PayloadObjectMustFitItsOpcode) {
  ccPtrHandle<cc_UISketchOpHeader> h(new cc_UISketchOpHeader);
  Bytes rec;
  cfSketchPutSignedByte(rec, 2);
  cfSketchPutSignedByte(rec, 0);
  cfSketchPutColor(rec, kRed);
  h->parseByteStream(rec.data(), rec.size());
  ccPtrHandle<cc_UISketchOpData> d(new cc_UISketchOpCircle);
  ccArchive out;
  signed char version = 1;
  long n = 1;
  out || version || n || h || d;
  ccArchive in(out.data());
  ccUISketch s;
  EXPECT_THROW(in || s, ccArchive::BadData);
  EXPECT_TRUE(s.isNull());
}

TEST(SketchArchive, SketchesWithoutArchiveFormThrowBeforeWriting) {
  ccUITablet t;
  t.draw(ccPoint(1, 1), ccGraphicProps(), kOverlay);
  ccUITablet other;
  other.draw(t.sketch(), ccPoint(0, 0), kOverlay);  // a recorded replay (15)
  ccArchive out;
  EXPECT_THROW(out || other.sketch(), ccUIError::NotImplemented);
  EXPECT_EQ(out.position(), 0u);
}

TEST(SketchArchive, MalformedStreamThrowsWhenStored) {
  Bytes v;
  cfSketchPutSignedByte(v, 13);
  cfSketchPutSignedByte(v, 0);
  cfSketchPutColor(v, kRed);
  ccUISketch s = sketchOf(v);
  ccArchive out;
  EXPECT_THROW(out || s, ccUIError::InvalidUISketch);
  EXPECT_EQ(out.position(), 0u);
}

// ---- Version 0

// The archive of a version-0 stream: version 0, the byte count (long), the bytes.
Bytes version0Archive(const Bytes& stream) {
  ccArchive out;
  signed char version = 0;
  long n = static_cast<long>(stream.size());
  out || version || n;
  out.writeBytes(stream.data(), stream.size());
  return out.data();
}

// The recorded stream of one operation with its payload replaced by a version-0 payload.
Bytes withPayload(const ccUISketch& recorded, const Bytes& payload) {
  const Bytes b = bytesOf(recorded);
  const std::vector<ccSketchOperation> ops = operations(b);
  EXPECT_EQ(ops.size(), 1u);
  Bytes v(b.begin(), b.begin() + (ops[0].payload - b.data()));
  v.insert(v.end(), payload.begin(), payload.end());
  return v;
}

void putDoubles(Bytes& v, std::initializer_list<double> ds) {
  for (double d : ds) cfSketchPutDouble(v, d);
}

Bytes genRectV0(const ccGenRect& g) {
  Bytes v;
  const ccMatrix<2>& u = g.U();
  putDoubles(v, {g.center().x(), g.center().y(), u.element(0, 0), u.element(0, 1), u.element(1, 0),
                 u.element(1, 1), -99, g.uround().x(), g.uround().y(), -1, -2, -3});
  return v;
}

Bytes annSectV0(const ccEllipse& a, const ccEllipse& b, double phi1, double phi2, bool f1,
                bool f2) {
  Bytes v(440, 0xCD);
  cfSketchStoreEllipseGeom(v.data(), a);
  cfSketchStoreEllipseGeom(v.data() + 176, b);
  cfSketchStoreDouble(v.data() + 352, phi1);
  cfSketchStoreDouble(v.data() + 360, phi2);
  v[368] = f1 ? 1 : 0;
  v[369] = f2 ? 1 : 0;
  return v;
}

struct Version0Case {
  int opcode;
  ccUISketch current;  // what the tablet records
  Bytes payload0;      // the version-0 payload of the same value
};

std::vector<Version0Case> version0Cases() {
  std::vector<Version0Case> cases;
  auto add = [&](int op, const std::function<void(ccUITablet&)>& draw, const Bytes& payload0) {
    ccUITablet t;
    draw(t);
    cases.push_back({op, t.sketch(), payload0});
  };
  {
    const ccEllipseArc arc(kEllipse, ccRadian(0.5), ccRadian(2.5));
    Bytes v(192, 0xAB);  // bytes 48 to 175 are not read
    cfSketchStoreEllipseGeom(v.data(), kEllipse);
    cfSketchStoreDouble(v.data() + 176, 0.5);
    cfSketchStoreDouble(v.data() + 184, 2.5);
    add(
        6, [arc](ccUITablet& t) { t.draw(arc, props(kRed), kOverlay); }, v);
  }
  add(
      7, [](ccUITablet& t) { t.draw(section(), props(kRed), kOverlay); },
      annSectV0(kEllipse, kInnerEllipse, 0.25, 2.0, true, false));
  {
    Bytes v = annSectV0(kEllipse, kInnerEllipse, 0.25, 2.0, true, false);
    v.push_back(1);
    v.push_back(0);
    add(
        39, [](ccUITablet& t) { t.draw(section(), kRed, kOverlay, true, false); }, v);
  }
  add(
      8, [](ccUITablet& t) { t.draw(genRect(10), props(kRed), kOverlay); }, genRectV0(genRect(10)));
  add(
      31, [](ccUITablet& t) { t.draw(genRect(10), props(kRed, 1, true), kOverlay); },
      genRectV0(genRect(10)));
  {
    Bytes v = genRectV0(genRect(5));
    const Bytes outer = genRectV0(genRect(10));
    v.insert(v.end(), outer.begin(), outer.end());
    add(
        9,
        [](ccUITablet& t) { t.draw(ccGenAnnulus(genRect(5), genRect(10)), props(kRed), kOverlay); },
        v);
  }
  {
    Bytes v;
    putDoubles(v, {-1, -2, -3, -4, -5, -6, -7, 10, 10, 40, 20, 0, 40});
    v.resize(176, 0);
    add(
        27,
        [](ccUITablet& t) {
          t.draw(ccAffineRectangle(ccVector<2>(10, 10), ccVector<2>(40, 20), ccVector<2>(0, 40)),
                 props(kRed), kOverlay);
        },
        v);
  }
  for (int op : {16, 18}) {
    Bytes client{0};
    putDoubles(client, {5, 6, 70, 80});
    const ccRect r(ccVector<2>(5, 6), ccVector<2>(70, 80));
    add(
        op,
        [op, r](ccUITablet& t) {
          if (op == 16)
            t.set(r, kRed, kImage);
          else
            t.setComplement(r, kRed, kImage);
        },
        client);
    Bytes pixels{1};
    cfSketchPutUIRect(pixels, ccUIRect(5, 6, 70, 80));
    add(
        op,
        [op](ccUITablet& t) {
          if (op == 16)
            t.set(ccUIRect(5, 6, 70, 80), kRed, kImage);
          else
            t.setComplement(ccUIRect(5, 6, 70, 80), kRed, kImage);
        },
        pixels);
  }
  {
    Bytes v{0};
    putDoubles(v, {10, 10, 20, 12});
    cfSketchPutColor(v, kBlue);
    cfSketchPutLong(v, 3);
    add(
        25,
        [](ccUITablet& t) {
          t.outline3D(ccRect(ccVector<2>(10, 10), ccVector<2>(20, 12)), kRed, kBlue, 3, kOverlay);
        },
        v);
    Bytes p{1};
    cfSketchPutUIRect(p, ccUIRect(10, 10, 20, 12));
    cfSketchPutColor(p, kBlue);
    cfSketchPutLong(p, 2);
    add(
        25, [](ccUITablet& t) { t.outline3D(ccUIRect(10, 10, 20, 12), kRed, kBlue, 2, kOverlay); },
        p);
  }
  for (int op : {32, 47}) {
    Bytes v{0x77};  // one ignored byte
    putDoubles(v, {10, 20, 30, 40});
    const ccRect r(ccVector<2>(10, 20), ccVector<2>(30, 40));
    add(
        op,
        [op, r](ccUITablet& t) {
          if (op == 32)
            t.draw(r, props(kRed), kOverlay);
          else
            t.drawClipRect(r, kOverlay);
        },
        v);
  }
  {
    std::vector<unsigned char> data;
    kRounded.saveData(data);
    Bytes v(kSketchGenShapeTagSize);
    kRounded.tag().toBytes(v.data());
    cfSketchPutLong(v, static_cast<long>(data.size()));
    v.insert(v.end(), data.begin(), data.end());
    add(
        33, [](ccUITablet& t) { t.draw(kRounded, kBlue, kImage); }, v);
  }
  return cases;
}

TEST(SketchArchive, Version0PayloadsLoadIntoTheCurrentForm) {
  std::set<int> covered;
  for (const Version0Case& c : version0Cases()) {
    SCOPED_TRACE(c.opcode);
    ASSERT_EQ(operations(bytesOf(c.current))[0].opcode, c.opcode);
    const Bytes v0 = withPayload(c.current, c.payload0);
    EXPECT_EQ(bytesOf(loaded(version0Archive(v0))), bytesOf(c.current));
    covered.insert(c.opcode);
  }
  EXPECT_EQ(covered, (std::set<int>{6, 7, 8, 9, 16, 18, 25, 27, 31, 32, 33, 39, 47}));
}

TEST(SketchArchive, Version0StreamOfSeveralOperations) {
  // Operations whose forms agree in both versions, with props prefixes, load unchanged.
  ccUITablet t;
  t.draw(ccPoint(3.5, 4.25), props(kRed, 3), kOverlay);
  t.draw(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(30.5, 40)), props(kBlue), kImage);
  t.drawStart(ccPoint(10, 10), kOverlay);
  t.drawTo(ccPoint(20, 25), props(kRed, 2), kOverlay);
  t.draw(std::string("text"), ccPoint(1, 2), kRed, kBlue, ccUIFormat(), kOverlay);
  t.set(ccUIRect(5, 6, 70, 80), kRed, kImage);
  t.draw(ccCircle(ccVector<2>(4, 5), 2), props(kBlue, 1, true), kOverlay);
  t.draw(ccPolygon({ccVector<2>(1, 1), ccVector<2>(30, 2)}), props(kBlue, 1, true), kOverlay);
  const Bytes stream = bytesOf(t.sketch());
  EXPECT_EQ(bytesOf(loaded(version0Archive(stream))), stream);
  // An empty version-0 sketch.
  EXPECT_TRUE(loaded(Bytes{0, 0}).isNull());
}

TEST(SketchArchive, Version0NestedStreamsAreConvertedToo) {
  const ccRect r(ccVector<2>(10, 20), ccVector<2>(30, 40));
  ccUITablet inner;
  inner.draw(r, props(kRed), kOverlay);
  ccUITablet outer;
  outer.draw(inner.sketch(), ccPoint(5, 6), kOverlay);
  // The same with the rectangle in its version-0 form (a leading byte more).
  Bytes rect0 = withPayload(inner.sketch(), [] {
    Bytes v{0x77};
    putDoubles(v, {10, 20, 30, 40});
    return v;
  }());
  Bytes v0;
  cfSketchPutSignedByte(v0, 15);
  cfSketchPutSignedByte(v0, 1);
  cfSketchPutColor(v0, ccColor(0));
  cfSketchPutPoint(v0, ccVector<2>(5, 6));
  cfSketchPutLong(v0, static_cast<long>(rect0.size()));
  v0.insert(v0.end(), rect0.begin(), rect0.end());
  EXPECT_EQ(bytesOf(loaded(version0Archive(v0))), bytesOf(outer.sketch()));

  // Nesting deeper than a replay can go is refused.
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
  ccArchive in(version0Archive(deep));
  ccUISketch s;
  EXPECT_THROW(in || s, ccUIError::InvalidUISketch);
  EXPECT_TRUE(s.isNull());
}

TEST(SketchArchive, Version0MalformedStreamsFailWithoutChangingTheSketch) {
  ccUISketch target = everything();
  const Bytes before = bytesOf(target);
  Bytes truncated;
  cfSketchPutSignedByte(truncated, 8);
  cfSketchPutSignedByte(truncated, 0);
  cfSketchPutColor(truncated, kRed);
  truncated.resize(truncated.size() + 95, 0);  // one byte short of the 96
  Bytes poly;
  cfSketchPutSignedByte(poly, 41);
  cfSketchPutSignedByte(poly, 0);
  cfSketchPutColor(poly, kRed);
  poly.resize(poly.size() + 68, 0);
  {
    ccArchive in(version0Archive(truncated));
    EXPECT_THROW(in || target, ccUIError::InvalidUISketch);
  }
  {
    ccArchive in(version0Archive(poly));  // an empty wireframe whose map is all zero
    EXPECT_THROW(in || target, ccUIError::InvalidUISketch);
  }
  EXPECT_EQ(bytesOf(target), before);
}

}  // namespace

namespace {

// ---- Format 2: reference bytes, the objects one by one, format 1 files, failures

void putLongField(Bytes& b, long v) {
  ccArchive a;
  a || v;
  b.insert(b.end(), a.data().begin(), a.data().end());
}
void putArchived(Bytes& b, ccColor c) {
  ccArchive a;
  a || c;
  b.insert(b.end(), a.data().begin(), a.data().end());
}
void putCount(Bytes& b, std::uint32_t n) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(n >> (8 * i)));
}
void putName(Bytes& b, const std::string& name) {
  b.push_back(1);  // a new object of a class not met before: its name
  putCount(b, static_cast<std::uint32_t>(name.size()));
  b.insert(b.end(), name.begin(), name.end());
}

// The archive layout of a sketch: a change of it fails here.
TEST(SketchArchive, ReferenceBytesOfASketch) {
  ccUITablet t;
  const ccGraphicProps p = props(kRed, 2);
  t.draw(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(3, 4)), p, kOverlay);  // props prefix, 2
  t.draw(ccCircle(ccVector<2>(5, 6), 7), p, kOverlay);                   // 4
  Bytes want{1};                                                         // version
  putLongField(want, 2);                                                 // operations
  putName(want, "cc_UISketchOpHeader");
  want.insert(want.end(), {0, 1, 0});  // version, hasProps, props version
  want.push_back(0);  // props: version, colour, width, style, fill, join, cap, flags
  putArchived(want, kRed);
  putLongField(want, 2);
  putCount(want, static_cast<std::uint32_t>(p.penStyle()));
  want.push_back(0);
  putCount(want, static_cast<std::uint32_t>(p.penJoin()));
  putCount(want, static_cast<std::uint32_t>(p.penEndCap()));
  want.insert(want.end(), {1, 1, 0});
  putLongField(want, kOverlay);
  putArchived(want, kRed);
  putLongField(want, 2);
  putName(want, "cc_UISketchOpLineSeg");
  want.insert(want.end(), {0, 0, 0});  // versions: the class, the segment, its shape base
  for (double d : {1.0, 2.0, 3.0, 4.0}) cfSketchPutDouble(want, d);
  want.insert(want.end(), {4, 0, 0});  // the header class (tag 0), version, no props
  putLongField(want, kOverlay);
  putArchived(want, kRed);
  putLongField(want, 4);
  putName(want, "cc_UISketchOpCircle");
  want.insert(want.end(), {0, 0, 0});
  for (double d : {5.0, 6.0, 7.0}) cfSketchPutDouble(want, d);
  EXPECT_EQ(archived(t.sketch()), want);
  EXPECT_EQ(bytesOf(loaded(want)), bytesOf(t.sketch()));
}

// The operation objects archived one by one give the bytes of the sketch archived whole, and
// load back to its stream, for every opcode that has an archive form.
TEST(SketchArchive, ObjectsOneByOneMatchTheWholeSketchForEveryOpcode) {
  ccUISketch s = everything();
  Bytes unicode;  // 35, which nothing here records
  cfSketchPutSignedByte(unicode, 35);
  cfSketchPutSignedByte(unicode, 1);
  cfSketchPutColor(unicode, kRed);
  cfSketchPutPoint(unicode, ccVector<2>(1, 2));
  cfSketchPutColor(unicode, kBlue);
  cfSketchPutFormat(unicode, ccUIFormat());
  for (int b : {0x68, 0, 0xAC, 0x20, 0, 0}) cfSketchPutByte(unicode, static_cast<unsigned char>(b));
  s.append(unicode.data(), static_cast<long>(unicode.size()));
  const Bytes stream = bytesOf(s);
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
  EXPECT_EQ(opcodes.size(), 43u);
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

Bytes readFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  Bytes b;
  if (!f) return b;
  int c;
  while ((c = std::fgetc(f)) != EOF) b.push_back(static_cast<unsigned char>(c));
  std::fclose(f);
  return b;
}

// A file of format 1 (every object named, longs of 8 bytes, a second version byte in each
// payload object, opcode 28's polygon in its persistent form) holding one operation of every
// archivable opcode.
TEST(SketchArchive, Format1FileLoads) {
  const std::string dir = DISPC_TEST_DATA_DIR;
  ccFileArchive in(dir + "/sketch-format1.dca", ccArchive::eLoading);
  EXPECT_EQ(in.format(), ccArchive::eFormat1);
  ccUISketch s;
  in || s;
  EXPECT_TRUE(in.atEnd());
  const Bytes stream = readFile(dir + "/sketch-format1.stream");
  ASSERT_EQ(stream.size(), 4458u);
  EXPECT_EQ(bytesOf(s), stream);
  EXPECT_EQ(bytesOf(loaded(archived(s))), stream);
}

std::string tempPath(const char* name) {
  return ::testing::TempDir() + "dispc_sketch_archive_" + name;
}

bool exists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

// A failed save leaves no file, whether the error leaves the archive's scope or is caught in it.
TEST(SketchArchive, FailedSaveLeavesNoFile) {
  ccUITablet t;
  t.draw(ccPoint(1, 1), ccGraphicProps(), kOverlay);
  ccUITablet other;
  other.draw(t.sketch(), ccPoint(0, 0), kOverlay);  // a recorded replay has no archive form
  const std::string path = tempPath("failed.dca");
  std::remove(path.c_str());
  EXPECT_THROW(
      {
        ccFileArchive f(path, ccArchive::eStoring);
        f || other.sketch();
      },
      ccUIError::NotImplemented);
  EXPECT_FALSE(exists(path));
  {
    ccFileArchive f(path, ccArchive::eStoring);
    EXPECT_THROW(f || other.sketch(), ccUIError::NotImplemented);
  }
  EXPECT_FALSE(exists(path));
  EXPECT_FALSE(exists(path + ".partial"));
}

// A loaded operation with a bad value names the operation, its offset in the file and the value.
TEST(SketchArchive, BadValueNamesTheOperationAndItsOffset) {
  const std::string path = tempPath("badvalue.dca");
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
