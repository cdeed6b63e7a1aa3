// Sketch replay onto tablets, observed through the trace scope: every opcode replays as the
// same scope calls as the drawing that recorded it; offsets, layers and nested sketches; the
// tablet's state after malformed streams; recording of replays; the bounds of a replay.
#include <dispc/sketchop.h>

#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using L = Layer;

// The base map the replay tests draw under.
const ccXform<2> kBaseMap(ccMatrix<2>(2, 0, 0, 1.5), ccVector<2>(7, -3));

// The opcode record of a hand-built stream.
void putRecord(Bytes& v, int op, int layer, const ccColor& c) {
  cfSketchPutSignedByte(v, static_cast<signed char>(op));
  cfSketchPutSignedByte(v, static_cast<signed char>(layer));
  cfSketchPutColor(v, c);
}

ccUISketch recordedPoint(const ccVector<2>& p, L layer) {
  ccUITablet recorder;  // detached: records only
  recorder.draw(ccPoint(p), ccGraphicProps(), layer);
  return recorder.sketch();
}

// Drawing directly and replaying the recording gives the same scope calls: onto one layer the
// calls of the operations recorded on it, between the replay's brackets; onto both layers all of
// them in order (the brackets of both scopes left out). The recording holds every opcode but 35
// (the sketch walker's test checks that).
TEST(SketchPlayback, EveryOpcodeReplaysAsTheDrawingThatRecordedIt) {
  Board direct;
  direct.tablet.baseMap(kBaseMap);
  direct.log->clear();
  drawEveryOperation(direct.tablet);
  const ccUISketch recorded = direct.tablet.sketch();
  const auto unbracketed = [](const std::vector<std::string>& lines) {
    std::vector<std::string> v;
    for (const std::string& line : lines)
      if (line.find("lockScreenUpdates") == std::string::npos &&
          line.find("optimizeDrawing") == std::string::npos)
        v.push_back(line);
    return v;
  };
  for (L layer : {kImage, kOverlay, kBoth}) {
    Board replay(false);
    replay.tablet.baseMap(kBaseMap);
    replay.log->clear();
    replay.tablet.draw(recorded, ccPoint(0, 0), layer);
    if (layer == kBoth) {
      EXPECT_EQ(unbracketed(replay.lines()), unbracketed(direct.lines()));
      continue;
    }
    std::vector<std::string> expected;
    for (const std::string& line : direct.lines())
      if ((line.rfind("#1 ", 0) == 0) == (layer == kOverlay)) expected.push_back(line);
    EXPECT_EQ(withoutBrackets(replay.lines(), layer), expected);
  }
}

// Each operation of a sketch as a sketch of its own, with the props in force for it.
std::vector<ccUISketch> eachOperation(const ccUISketch& s) {
  std::vector<ccUISketch> out;
  const std::vector<ccSketchOperation> ops = operations(s);
  const unsigned char* props = nullptr;
  for (std::size_t i = 0; i < ops.size(); ++i) {
    if (ops[i].hasProps()) props = ops[i].props;
    const std::size_t from = ops[i].offset + (ops[i].hasProps() ? kSketchPropsPrefixSize : 0);
    const std::size_t to = i + 1 < ops.size() ? ops[i + 1].offset : s.length();
    Bytes b;
    if (props) {
      b.push_back(static_cast<unsigned char>(kSketchPropsOpcode));
      b.insert(b.end(), props, props + kSketchPropsRecordSize);
    }
    b.insert(b.end(), s.data() + from, s.data() + to);
    out.push_back(sketchOf(b));
  }
  return out;
}

// Differential, one operation at a time, replayed at an offset: the measuring replay against the
// changes a drawing scope notes. Measuring draws and records nothing (text is measured); both
// layers together have no scope to measure in, and a detached tablet none at all.
TEST(SketchPlayback, EncloseRectIsWhatDrawingEveryOperationChanges) {
  const ccPoint at(3, -2);
  ccUITablet recorder;
  drawEveryOperation(recorder);
  for (const ccUISketch& op : eachOperation(recorder.sketch()))
    for (double zoom : {1.0, 3.0, 0.5}) {
      SCOPED_TRACE("opcode " + std::to_string(opcodes(op).front()) + " zoom " +
                   std::to_string(zoom));
      Board direct(false), measured;
      for (Board* b : {&direct, &measured}) {
        b->tablet.baseMap(kBaseMap);
        b->tablet.scaleExact(ccPair<double>(zoom, zoom));
        b->log->clear();
      }
      direct.tablet.recordChanges(true);
      direct.tablet.draw(op, at, kBoth);
      ccUIRect changed[2];
      direct.tablet.getChanges(changed, false);
      for (L layer : {kImage, kOverlay})
        EXPECT_EQ(measured.tablet.encloseRect(op, at, layer), changed[layer]) << layer;
      EXPECT_TRUE(measured.tablet.encloseRect(op, at, kBoth).isNull());
      EXPECT_TRUE(ccUITablet().encloseRect(op, at, kOverlay).isNull());
      for (const ccTraceCall& c : measured.drawing()) EXPECT_EQ(c.name, "textRect");  // asked only
      EXPECT_TRUE(measured.tablet.sketch().isNull());
    }
}

// The UTF-16 text replays as its UTF-8 form drawn.
TEST(SketchPlayback, UnicodeTextReplaysAsItsNarrowForm) {
  Board direct, replay(false);
  direct.tablet.draw(std::string("h\xC3\xA9\xE2\x82\xAC!"), ccPoint(1, 2), kRed, kBlue,
                     ccUIFormat(), kOverlay);
  replay.tablet.draw(sketchOf(withUnicodeText(Bytes())), ccPoint(0, 0), kOverlay);
  EXPECT_EQ(withoutBrackets(replay.lines(), kOverlay), direct.lines());
}

// ---- Offsets, layers, nesting

TEST(SketchPlayback, OperationsRecordedForBothLayersTakeTheReplayLayer) {
  // A nested replay recorded with layer 2 holds an operation of layer 2.
  ccUITablet recorder;
  recorder.draw(recordedPoint(ccVector<2>(1, 1), kOverlay), ccPoint(0, 0), kBoth);
  ASSERT_EQ(recorder.sketch().data()[1], 2);
  for (L layer : {kImage, kOverlay}) {
    Board b(false);
    b.tablet.draw(recorder.sketch(), ccPoint(0, 0), layer);
    // The nested sketch is replayed on the replay layer, which keeps only its overlay point.
    EXPECT_EQ(b.log->count("plotPoint"), layer == kOverlay ? 1 : 0);
  }
  // Drawn directly with layer 2, a point records layer 2; replayed on both layers it keeps
  // that layer, which draws nothing.
  ccUITablet both;
  both.draw(ccPoint(1, 1), props(kRed), kBoth);
  Board b(false);
  b.tablet.draw(both.sketch(), ccPoint(0, 0), kBoth);
  EXPECT_EQ(b.log->count("plotPoint"), 0);
}

TEST(SketchPlayback, ArrowheadFlagsStayInForceAlongTheReplay) {
  const ccEllipseAnnulusSection sect(
      ccEllipseAnnulus(ccEllipse(ccVector<2>(50, 50), ccVector<2>(20, 10)), 0.5), ccRadian(0),
      ccRadian(1));
  // Opcode 39 clearing both flags, then opcode 7 without a props prefix: the second section is
  // drawn with the flags the first one set.
  Bytes v;
  putRecord(v, 39, 1, kRed);
  cfSketchStoreAnnSectImage(cfSketchReserve(v, kSketchAnnSectImageSize), sect);
  v.insert(v.end(), {0, 0});  // both flags cleared
  putRecord(v, 7, 1, kRed);
  cfSketchStoreAnnSectImage(cfSketchReserve(v, kSketchAnnSectImageSize), sect);

  Board direct;
  for (int i = 0; i < 2; ++i) direct.tablet.draw(sect, kRed, kOverlay, false, false);
  Board replay(false);
  replay.tablet.draw(sketchOf(v), ccPoint(0, 0), kOverlay);
  EXPECT_EQ(withoutBrackets(replay.lines(), kOverlay), direct.lines());
}

// ---- Malformed streams leave the tablet as it was (its map and recording flags too: the replay
// fuzz target's corpus checks those on every stream it throws on)

TEST(SketchPlayback, MalformedStreamsThrowAndRestoreTheTablet) {
  const std::pair<const char*, std::function<void(Bytes&)>> kBad[] = {
      {"invalid opcode 13", [](Bytes& v) { putRecord(v, 13, 1, kRed); }},
      {"negative radius",
       [](Bytes& v) {
         putRecord(v, 4, 1, kRed);
         cfSketchPutPoint(v, ccVector<2>(1, 1));
         cfSketchPutDouble(v, -2);
       }},
  };
  for (const auto& [what, bad] : kBad) {
    SCOPED_TRACE(what);
    Board b;  // recording, so that a finished replay would be recorded
    b.tablet.draw(ccPoint(9, 9), props(kGreen), kOverlay);
    b.log->clear();
    const Bytes sketch = bytesOf(b.tablet.sketch());
    // One good operation first (drawn before the bad one is met), then the bad bytes.
    Bytes v;
    putRecord(v, 0, 1, kRed);
    cfSketchPutPoint(v, ccVector<2>(4, 4));
    bad(v);
    EXPECT_THROW(b.tablet.draw(sketchOf(v), ccPoint(3, 4), kOverlay), ccUIError::InvalidUISketch);
    EXPECT_EQ(bytesOf(b.tablet.sketch()), sketch);
    EXPECT_EQ(b.log->count("plotPoint"), 1);  // the good operation
    EXPECT_EQ(b.overlay.lockDepth(), 0);
    EXPECT_EQ(b.log->last().str(), "#1 lockScreenUpdatesPop");
  }
}

// ---- Empty sketches, recording of replays, drawing switched off

// A recorded replay is one nested operation holding the stream, also of the tablet's own sketch;
// with drawing off the stream is recorded without being parsed. Replayed, the offsets of nested
// replays add up and every level's brackets close again.
TEST(SketchPlayback, RecordingAReplayAppendsOneNestedOperation) {
  const ccUISketch inner = recordedPoint(ccVector<2>(1, 1), kOverlay);
  const long n = inner.length();
  Board b;
  b.tablet.draw(inner, ccPoint(10, 5), kOverlay);
  const ccUISketch& s = b.tablet.sketch();
  ASSERT_EQ(s.length(), 8 + 16 + 4 + n);
  EXPECT_EQ(cfSketchLoadPoint(s.data() + 8), ccVector<2>(10, 5));
  // The stream follows (as the replay fuzz target checks for every stream it replays).
  ccUITablet outer;
  outer.draw(s, ccPoint(100, 50), kOverlay);
  EXPECT_EQ(opcodes(outer.sketch()), std::vector<int>{15});
  Board replay(false);
  replay.tablet.draw(outer.sketch(), ccPoint(1000, 500), kOverlay);
  std::vector<ccVector<2>> plotted;
  for (const ccTraceCall& c : replay.log->calls())
    if (c.name == "plotPoint") plotted.push_back(c.point("p"));
  EXPECT_EQ(plotted, std::vector<ccVector<2>>{ccVector<2>(1111, 556)});
  EXPECT_EQ(replay.log->count("lockScreenUpdatesPush"), 3);
  EXPECT_EQ(replay.overlay.lockDepth(), 0);

  // After props other than the default ones, a default prefix comes first.
  Board c;
  c.tablet.draw(ccPoint(0, 0), props(kRed, 2), kOverlay);
  const Bytes first = bytesOf(c.tablet.sketch());
  c.tablet.draw(inner, ccPoint(10, 5), kOverlay);
  EXPECT_EQ(c.tablet.sketch().length(), static_cast<long>(first.size()) + 22 + 8 + 16 + 4 + n);
  // The tablet's own sketch: a copy of it is nested.
  c.tablet.sketch().erase();
  c.tablet.draw(ccPoint(1, 1), ccGraphicProps(), kOverlay);
  const Bytes own = bytesOf(c.tablet.sketch());
  c.log->clear();
  c.tablet.draw(c.tablet.sketch(), ccPoint(2, 2), kOverlay);
  ASSERT_EQ(c.tablet.sketch().length(), static_cast<long>(2 * own.size() + 28));
  EXPECT_EQ(0, std::memcmp(c.tablet.sketch().data() + own.size() + 28, own.data(), own.size()));
  EXPECT_EQ(c.log->count("plotPoint"), 1);

  Board off;
  off.tablet.drawOn() = false;
  off.tablet.draw(sketchOf({13, 1, 4, 0, 0, 0, 0, 0}), ccPoint(0, 0), kOverlay);  // never parsed
  EXPECT_TRUE(off.log->empty());
  EXPECT_EQ(off.tablet.sketch().length(), 28 + 8);
}

}  // namespace
