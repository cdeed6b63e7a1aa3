// Sketch replay onto tablets, observed through the trace scope: every opcode replays as the
// same scope calls as the drawing that recorded it; offsets, layers and nested sketches; the
// tablet's state after malformed streams; recording of replays; the bounds of a replay.
#include "genpolysample.h"

#include <backends/trace/tracescope.h>
#include <core/genshape.h>
#include <dispc/sketchop.h>
#include <dispc/sketchshapes.h>
#include <dispc/tablet.h>
#include <dispc/wrfm/wirefrm.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using L = ccUITablet::Layers;
constexpr L kImage = ccUITablet::eImageLayer;
constexpr L kOverlay = ccUITablet::eOverlayLayer;
constexpr L kBoth = ccUITablet::eBothLayers;

const ccColor kRed = ccColor::redColor();
const ccColor kGreen = ccColor::greenColor();
const ccColor kBlue = ccColor::blueColor();

// A visible root tablet over two trace scopes (640 x 480) sharing one log.
struct Board {
  std::shared_ptr<ccTraceLog> log = std::make_shared<ccTraceLog>();
  ccTraceScope image{ccUIRect(0, 0, 640, 480), log};
  ccTraceScope overlay{ccUIRect(0, 0, 640, 480), log};
  ccUITablet tablet{&image, &overlay};

  explicit Board(bool record = true) {
    tablet.visible(true);
    tablet.recordOn() = record;
    log->clear();
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> v;
    for (const ccTraceCall& c : log->calls()) v.push_back(c.str());
    return v;
  }
};

std::vector<int> opcodes(const ccUISketch& s) {
  std::vector<int> v;
  ccSketchWalker w(s.data(), static_cast<std::size_t>(s.length()));
  ccSketchOperation op;
  while (w.next(op)) v.push_back(op.opcode);
  return v;
}

ccUISketch bytesSketch(const std::vector<unsigned char>& bytes) {
  ccUISketch s;
  s.append(bytes.data(), static_cast<long>(bytes.size()));
  return s;
}

// The opcode record of a hand-built stream.
void putRecord(std::vector<unsigned char>& v, int op, int layer, const ccColor& c) {
  cfSketchPutSignedByte(v, static_cast<signed char>(op));
  cfSketchPutSignedByte(v, static_cast<signed char>(layer));
  cfSketchPutColor(v, c);
}

ccGraphicProps props(const ccColor& c, long width = 1, bool fill = false) {
  ccGraphicProps p(c, width);
  p.fill(fill);
  return p;
}

ccPelBuffer<unsigned char> smallImage() {
  ccPelBuffer<unsigned char> img(3, 2);
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < 3; ++x) img.set(x, y, static_cast<unsigned char>(10 * y + x + 1));
  img.offset(4, 7);
  img.imageFromClientXform(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), ccVector<2>(2, 3)));
  return img;
}

// Where the points were plotted.
std::vector<ccVector<2>> plotted(const ccTraceLog& log) {
  std::vector<ccVector<2>> v;
  for (const ccTraceCall& c : log.calls())
    if (c.name == "plotPoint") v.push_back(c.point("p"));
  return v;
}

ccUISketch recordedPoint(const ccVector<2>& p, L layer) {
  ccUITablet recorder;  // detached: records only
  recorder.draw(ccPoint(p), ccGraphicProps(), layer);
  return recorder.sketch();
}

// ---- Drawing directly and replaying the recording give the same scope calls.

struct Case {
  const char* name;
  std::function<void(ccUITablet&)> draw;
};

std::vector<Case> everyOpcode() {
  const ccEllipse ell(ccVector<2>(100, 80), ccVector<2>(40, 20), ccRadian(0.5));
  const ccEllipseAnnulusSection sect(ccEllipseAnnulus(ell, 0.5), ccRadian(0.25), ccRadian(2.0));
  const ccGenRect inner(ccVector<2>(50, 60), ccVector<2>(10, 5), ccRadian(0.25), ccVector<2>(0, 0));
  const ccGenRect outer(ccVector<2>(50, 60), ccVector<2>(20, 10), ccRadian(0.25),
                        ccVector<2>(0.5, 0.5));
  const ccBezierCurve bez(ccVector<2>(0, 0), ccVector<2>(10, 40), ccVector<2>(50, 40),
                          ccVector<2>(60, 0));
  return {
      {"point", [](ccUITablet& t) { t.draw(ccPoint(3.5, 4.25), props(kRed, 3), kOverlay); }},
      {"pointIcon", [](ccUITablet& t) { t.drawPointIcon(ccPoint(20, 30), props(kRed), kImage); }},
      {"lineSeg",
       [](ccUITablet& t) {
         t.draw(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(30.5, 40)), props(kGreen, 2), kImage);
       }},
      {"line",
       [](ccUITablet& t) {
         t.draw(ccLine(ccVector<2>(1, 2), ccVector<2>(5, 5)), props(kBlue), kOverlay);
       }},
      {"circle",
       [](ccUITablet& t) { t.draw(ccCircle(ccVector<2>(40, 50), 12.5), props(kRed), kOverlay); }},
      {"circleFilled",
       [](ccUITablet& t) {
         t.draw(ccCircle(ccVector<2>(40, 50), 12.5), props(kRed, 1, true), kOverlay);
       }},
      {"ellipse", [ell](ccUITablet& t) { t.draw(ell, props(kGreen), kOverlay); }},
      {"ellipseFilled", [ell](ccUITablet& t) { t.draw(ell, props(kGreen, 1, true), kImage); }},
      {"ellipseArc",
       [ell](ccUITablet& t) {
         t.draw(ccEllipseArc(ell, ccRadian(0.5), ccRadian(2.5)), props(kBlue), kOverlay);
       }},
      {"annulusSection", [sect](ccUITablet& t) { t.draw(sect, props(kRed), kOverlay); }},
      {"annulusSectionFlags",
       [sect](ccUITablet& t) {
         // Opcode 39; the flags it sets stay in force for the segment after it.
         t.draw(sect, kRed, kOverlay, true, false);
         t.draw(ccLineSeg(ccVector<2>(0, 0), ccVector<2>(9, 9)), props(kRed), kOverlay);
       }},
      {"genRect", [inner](ccUITablet& t) { t.draw(inner, props(kGreen), kOverlay); }},
      {"genRectRounded", [outer](ccUITablet& t) { t.draw(outer, props(kGreen, 3), kOverlay); }},
      {"genRectFilled", [inner](ccUITablet& t) { t.draw(inner, props(kGreen, 1, true), kImage); }},
      {"genAnnulus",
       [inner, outer](ccUITablet& t) {
         t.draw(ccGenAnnulus(inner, outer), props(kBlue), kOverlay);
       }},
      {"coordAxes",
       [](ccUITablet& t) {
         t.draw(ccCoordAxes(ccVector<2>(10, 10), ccVector<2>(60, 10), ccVector<2>(10, 70)),
                props(kRed, 2), kOverlay);
       }},
      {"string",
       [](ccUITablet& t) {
         t.draw(std::string("Hello"), ccPoint(12, 34), kRed, kBlue,
                ccUIFormat(7, ccUIFormat::eCenter), kOverlay);
       }},
      {"pelBuf8",
       [](ccUITablet& t) { t.draw(smallImage(), ccPoint(5, 6), true, 3, true, kImage); }},
      {"rleBuf",
       [](ccUITablet& t) {
         // The stream holds the rows, not the image's offset: the replay draws at offset 0.
         ccRLEBuffer rle(smallImage());
         rle.offset(0, 0);
         t.draw(rle, ccPoint(5, 6), std::vector<unsigned char>{9, 8, 7}, true, 2, true, kOverlay);
       }},
      {"nestedSketch",
       [](ccUITablet& t) {
         ccUITablet recorder;
         recorder.draw(ccLineSeg(ccVector<2>(1, 1), ccVector<2>(5, 9)), props(kRed), kOverlay);
         recorder.draw(ccPoint(2, 2), props(kGreen), kImage);
         t.draw(recorder.sketch(), ccPoint(10, 20), kBoth);
       }},
      {"setPixels", [](ccUITablet& t) { t.set(ccUIRect(5, 6, 70, 80), kRed, kImage); }},
      {"setClient",
       [](ccUITablet& t) { t.set(ccRect(ccVector<2>(5, 6), ccVector<2>(70, 80)), kRed, kImage); }},
      {"setAll", [](ccUITablet& t) { t.set(kGreen, kOverlay); }},
      {"setComplementPixels",
       [](ccUITablet& t) { t.setComplement(ccUIRect(5, 6, 70, 80), kRed, kOverlay); }},
      {"setComplementClient",
       [](ccUITablet& t) {
         t.setComplement(ccRect(ccVector<2>(5, 6), ccVector<2>(70, 80)), kRed, kOverlay);
       }},
      {"fillPixel",
       [](ccUITablet& t) {
         t.fill(ccPair<long>(7, 8), kRed, kBlue, ccUITablet::eFillSurface, kImage);
       }},
      {"fillPoint",
       [](ccUITablet& t) {
         t.fill(ccPoint(7.5, 8.5), kRed, kBlue, ccUITablet::eFillToBorder, kImage);
       }},
      {"penMoves",
       [](ccUITablet& t) {
         t.drawStart(ccPoint(10, 10), kOverlay);
         t.drawTo(ccPoint(20, 25), props(kRed, 2), kOverlay);
         t.drawToRelPels(5, -3, props(kBlue), kOverlay);
         t.moveToRelPels(-7, 4, kOverlay);
         t.drawToRelPels(1, 1, props(kBlue), kOverlay);
       }},
      {"outlinePixels",
       [](ccUITablet& t) { t.outline3D(ccUIRect(10, 10, 20, 12), kRed, kBlue, 2, kOverlay); }},
      {"outlineClient",
       [](ccUITablet& t) {
         t.outline3D(ccRect(ccVector<2>(10, 10), ccVector<2>(20, 12)), kRed, kBlue, 3, kOverlay);
       }},
      {"arrowHead",
       [](ccUITablet& t) {
         t.arrowHead(ccPoint(50, 50), ccVector<2>(1, 0.5), 7.5f, props(kGreen), kOverlay);
       }},
      {"affineRect",
       [](ccUITablet& t) {
         t.draw(ccAffineRectangle(ccVector<2>(10, 10), ccVector<2>(40, 20), ccVector<2>(0, 40)),
                props(kRed, 1, true), kOverlay);
       }},
      {"polygon",
       [](ccUITablet& t) {
         t.draw(ccPolygon({ccVector<2>(1, 1), ccVector<2>(30, 2), ccVector<2>(15, 25)},
                          ccPolygon::eFillWinding),
                props(kBlue), kOverlay);
       }},
      {"rect",
       [](ccUITablet& t) {
         t.draw(ccRect(ccVector<2>(10, 20), ccVector<2>(30, 40)), props(kRed), kOverlay);
       }},
      {"genShape",
       [](ccUITablet& t) {
         const ccGenShapeRoundedPolygon shape(
             {ccVector<2>(0, 0), ccVector<2>(40, 0), ccVector<2>(40, 30), ccVector<2>(0, 30)}, 5);
         t.draw(shape, kGreen, kOverlay);
       }},
      {"cross",
       [](ccUITablet& t) {
         t.draw(ccCross(ccVector<2>(50, 60), ccRadian(0.3), 9), props(kRed), kOverlay);
       }},
      {"bezier", [bez](ccUITablet& t) { t.draw(bez, props(kBlue), kOverlay); }},
      {"cubicSpline",
       [bez](ccUITablet& t) {
         t.draw(
             ccCubicSpline({bez, bez.map(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), ccVector<2>(60, 0)))}),
             props(kBlue), kOverlay);
       }},
      {"polyline",
       [](ccUITablet& t) {
         t.draw(ccPolyline({ccVector<2>(1, 1), ccVector<2>(30, 2), ccVector<2>(15, 25)}, true),
                props(kGreen), kOverlay);
       }},
      {"ellipse2",
       [](ccUITablet& t) {
         t.draw(ccEllipse2(ccVector<2>(30, 10), ccRadian(0.4), ccVector<2>(100, 100)), props(kRed),
                kOverlay);
       }},
      {"ellipseArc2",
       [](ccUITablet& t) {
         const ccEllipse2 e(ccVector<2>(30, 10), ccRadian(0.4), ccVector<2>(100, 100), true,
                            ccRadian(0.1));
         t.draw(ccEllipseArc2(e, ccRadian(0.5), ccRadian(-2)), props(kRed), kOverlay);
       }},
      {"genPoly",
       [](ccUITablet& t) {
         t.draw(roundedGenPoly(), props(kRed), kOverlay);
         t.draw(roundedGenPoly().map(ccXform<2>(ccMatrix<2>(1, 0.5, 0, -2), ccVector<2>(3, 4))),
                kBlue, kImage);
       }},
      {"genPolyVertices", [](ccUITablet& t) { t.draw(roundedGenPoly(), kGreen, kOverlay, true); }},
      {"wireframe",
       [](ccUITablet& t) {
         cc2Wireframe w(roundedGenPoly());
         w.polarity(true);
         t.draw(w, props(kRed, 2), kOverlay);
       }},
      {"clipRect",
       [](ccUITablet& t) {
         t.drawClipRect(ccRect(ccVector<2>(10, 20), ccVector<2>(300, 200)), kOverlay);
       }},
  };
}

// Replay log lines without the replay's own brackets on the layer's scope: the lock push and
// optimisation switch before, and after them the switch back and the pop.
std::vector<std::string> withoutBrackets(const std::vector<std::string>& lines, L layer) {
  const std::string id = layer == kOverlay ? "#1 " : "";
  EXPECT_GE(lines.size(), 4u);
  if (lines.size() < 4) return lines;
  EXPECT_EQ(lines[0], id + "lockScreenUpdatesPush lock=true");
  EXPECT_EQ(lines[1], id + "optimizeDrawing on=true");
  EXPECT_EQ(lines[lines.size() - 2], id + "optimizeDrawing on=false");
  EXPECT_EQ(lines[lines.size() - 1], id + "lockScreenUpdatesPop");
  return std::vector<std::string>(lines.begin() + 2, lines.end() - 2);
}

TEST(SketchPlayback, EveryOpcodeReplaysAsTheDrawingThatRecordedIt) {
  std::set<int> covered;
  for (const Case& c : everyOpcode()) {
    SCOPED_TRACE(c.name);
    Board direct;
    direct.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 1.5), ccVector<2>(7, -3)));
    direct.log->clear();
    c.draw(direct.tablet);
    const ccUISketch recorded = direct.tablet.sketch();
    for (int op : opcodes(recorded)) covered.insert(op);

    for (L layer : {kImage, kOverlay}) {
      Board replay(false);
      replay.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 1.5), ccVector<2>(7, -3)));
      replay.log->clear();
      replay.tablet.draw(recorded, ccPoint(0, 0), layer);
      // Only the calls of the operations recorded on that layer.
      std::vector<std::string> expected;
      for (const std::string& line : direct.lines()) {
        const bool overlayCall = line.rfind("#1 ", 0) == 0;
        if (overlayCall == (layer == kOverlay)) expected.push_back(line);
      }
      const std::vector<std::string> got = withoutBrackets(replay.lines(), layer);
      EXPECT_EQ(got, expected);
    }
  }
  // Every operation but the UTF-16 text, which nothing records (35, below).
  std::set<int> wanted;
  for (int op = 0; op < kSketchOpcodeCount; ++op)
    if (cfSketchOpIsValid(op) && op != 35) wanted.insert(op);
  EXPECT_EQ(covered, wanted);
}

TEST(SketchPlayback, EncloseRectIsWhatDrawingEveryOperationChanges) {
  // Differential: the measuring replay against the changes a drawing scope notes.
  const ccXform<2> map(ccMatrix<2>(2, 0, 0, 1.5), ccVector<2>(7, -3));
  for (const Case& c : everyOpcode())
    for (double zoom : {1.0, 3.0, 0.5}) {
      SCOPED_TRACE(std::string(c.name) + " zoom " + std::to_string(zoom));
      Board direct;
      direct.tablet.baseMap(map);
      direct.tablet.scaleExact(ccPair<double>(zoom, zoom));
      direct.tablet.sketch().erase();
      direct.tablet.recordChanges(true);
      c.draw(direct.tablet);
      ccUIRect changed[2];
      direct.tablet.getChanges(changed, false);
      Board measured(false);
      measured.tablet.baseMap(map);
      measured.tablet.scaleExact(ccPair<double>(zoom, zoom));
      for (L layer : {kImage, kOverlay})
        EXPECT_EQ(measured.tablet.encloseRect(direct.tablet.sketch(), ccPoint(0, 0), layer),
                  changed[layer])
            << layer;
    }
}

TEST(SketchPlayback, UnicodeTextReplaysAsItsNarrowForm) {
  Board direct;
  direct.tablet.draw(std::string("h\xC3\xA9!"), ccPoint(3, 4), kRed, kBlue,
                     ccUIFormat(2, ccUIFormat::eTopRight), kOverlay);
  std::vector<unsigned char> v;
  putRecord(v, 35, 1, kRed);
  cfSketchPutPoint(v, ccVector<2>(3, 4));
  cfSketchPutColor(v, kBlue);
  cfSketchPutFormat(v, ccUIFormat(2, ccUIFormat::eTopRight));
  for (unsigned u : {0x68u, 0xE9u, 0x21u, 0u}) {
    cfSketchPutByte(v, static_cast<unsigned char>(u & 0xFF));
    cfSketchPutByte(v, static_cast<unsigned char>(u >> 8));
  }
  Board replay(false);
  replay.tablet.draw(bytesSketch(v), ccPoint(0, 0), kOverlay);
  EXPECT_EQ(withoutBrackets(replay.lines(), kOverlay), direct.lines());
}

// ---- Offsets, layers, nesting

TEST(SketchPlayback, OffsetShiftsRecordedCoordinates) {
  Board b(false);
  b.tablet.draw(recordedPoint(ccVector<2>(1, 1), kOverlay), ccPoint(10, 5), kOverlay);
  EXPECT_EQ(plotted(*b.log), std::vector<ccVector<2>>{ccVector<2>(11, 6)});
  // The tablet's own map applies after the offset.
  b.log->clear();
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 3), ccVector<2>(1, 1)));
  b.log->clear();
  b.tablet.draw(recordedPoint(ccVector<2>(1, 1), kOverlay), ccPoint(10, 5), kOverlay);
  EXPECT_EQ(plotted(*b.log), std::vector<ccVector<2>>{ccVector<2>(23, 19)});
  EXPECT_EQ(b.tablet.scaledMap(), ccXform<2>(ccMatrix<2>(2, 0, 0, 3), ccVector<2>(1, 1)));
}

TEST(SketchPlayback, LayersFilterTheOperations) {
  ccUITablet recorder;
  recorder.draw(ccPoint(1, 1), props(kRed), kImage);
  recorder.draw(ccPoint(2, 2), props(kGreen), kOverlay);
  recorder.draw(ccPoint(3, 3), props(kBlue), kImage);
  const ccUISketch s = recorder.sketch();

  auto points = [&](L layer) {
    Board b(false);
    b.tablet.draw(s, ccPoint(0, 0), layer);
    std::vector<std::string> v;
    for (const ccTraceCall& c : b.log->calls())
      if (c.name == "plotPoint")
        v.push_back(std::to_string(c.scope) + ":" + std::to_string(c.point("p").x()));
    return v;
  };
  EXPECT_EQ(points(kImage), (std::vector<std::string>{"0:1.000000", "0:3.000000"}));
  EXPECT_EQ(points(kOverlay), (std::vector<std::string>{"1:2.000000"}));
  EXPECT_EQ(points(kBoth), (std::vector<std::string>{"0:1.000000", "1:2.000000", "0:3.000000"}));
}

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

TEST(SketchPlayback, NestedOffsetsAddUp) {
  ccUITablet middle;
  middle.draw(recordedPoint(ccVector<2>(1, 1), kOverlay), ccPoint(10, 5), kOverlay);
  ccUITablet outer;
  outer.draw(middle.sketch(), ccPoint(100, 50), kOverlay);
  EXPECT_EQ(opcodes(outer.sketch()), std::vector<int>{15});

  Board b(false);
  b.tablet.draw(outer.sketch(), ccPoint(1000, 500), kOverlay);
  EXPECT_EQ(plotted(*b.log), std::vector<ccVector<2>>{ccVector<2>(1111, 556)});
  // Three levels of brackets, all closed again.
  EXPECT_EQ(b.log->count("lockScreenUpdatesPush"), 3);
  EXPECT_EQ(b.overlay.lockDepth(), 0);
}

TEST(SketchPlayback, ArrowheadFlagsStayInForceAlongTheReplay) {
  const ccEllipseAnnulusSection sect(
      ccEllipseAnnulus(ccEllipse(ccVector<2>(50, 50), ccVector<2>(20, 10)), 0.5), ccRadian(0),
      ccRadian(1));
  // Opcode 39 clearing both flags, then opcode 7 without a props prefix: the second section is
  // drawn with the flags the first one set.
  std::vector<unsigned char> v;
  putRecord(v, 39, 1, kRed);
  cfSketchStoreAnnSectImage(cfSketchReserve(v, kSketchAnnSectImageSize), sect);
  cfSketchPutBool(v, false);
  cfSketchPutBool(v, false);
  putRecord(v, 7, 1, kRed);
  cfSketchStoreAnnSectImage(cfSketchReserve(v, kSketchAnnSectImageSize), sect);

  Board direct;
  direct.tablet.draw(sect, kRed, kOverlay, false, false);
  direct.tablet.draw(sect, kRed, kOverlay, false, false);
  Board replay(false);
  replay.tablet.draw(bytesSketch(v), ccPoint(0, 0), kOverlay);
  EXPECT_EQ(withoutBrackets(replay.lines(), kOverlay), direct.lines());
  // With the flags set, the section has arrowheads: the calls differ.
  Board arrows;
  arrows.tablet.draw(sect, kRed, kOverlay, true, true);
  arrows.tablet.draw(sect, kRed, kOverlay, true, true);
  EXPECT_NE(arrows.lines(), direct.lines());
}

// ---- Malformed streams leave the tablet as it was

struct TabletState {
  ccXform<2> map;
  long recordDepth;
  bool recording;
  std::vector<unsigned char> sketch;

  explicit TabletState(const ccUITablet& t)
      : map(t.scaledMap()),
        recordDepth(t.recordOn().depth()),
        recording(t.recordOn()),
        sketch(t.sketch().data(), t.sketch().data() + t.sketch().length()) {}
  bool operator==(const TabletState& o) const {
    return map == o.map && recordDepth == o.recordDepth && recording == o.recording &&
           sketch == o.sketch;
  }
};

std::vector<unsigned char> goodPrefix() {
  // One good operation first: it is drawn before the bad one is met.
  std::vector<unsigned char> v;
  putRecord(v, 0, 1, kRed);
  cfSketchPutPoint(v, ccVector<2>(4, 4));
  return v;
}

TEST(SketchPlayback, OperationsOfLayersBeyondBothAreSkipped) {
  // Draws on such layers record and draw nothing; a clip rectangle or nested sketch moved there
  // by hand is skipped too rather than refused.
  Board rec;
  const ccRect clip(ccVector<2>(5, 6), ccVector<2>(70, 80));
  rec.tablet.drawClipRect(clip, kOverlay);
  ccUISketch inner;
  inner.opcode(17, 1, kRed);
  rec.tablet.draw(inner, ccPoint(0, 0), kOverlay);
  std::vector<unsigned char> bytes(rec.tablet.sketch().data(),
                                   rec.tablet.sketch().data() + rec.tablet.sketch().length());
  ccSketchWalker w(bytes.data(), bytes.size());
  for (ccSketchOperation op; w.next(op);)
    bytes[op.offset + (op.hasProps() ? kSketchPropsPrefixSize : 0) + 1] = 5;
  Board b(false);
  b.tablet.draw(bytesSketch(bytes), ccPoint(0, 0), ccUITablet::eBothLayers);
  EXPECT_EQ(b.tablet.clipRect(kOverlay), ccRect());
}

TEST(SketchPlayback, MalformedStreamsThrowAndRestoreTheTablet) {
  std::vector<std::pair<const char*, std::vector<unsigned char>>> bad;
  {
    auto v = goodPrefix();
    putRecord(v, 13, 1, kRed);
    bad.emplace_back("invalid opcode 13", v);
  }
  {
    auto v = goodPrefix();
    putRecord(v, 48, 1, kRed);
    bad.emplace_back("opcode 48", v);
  }
  {
    auto v = goodPrefix();
    for (int i = 0; i < 2; ++i) {
      cfSketchPutByte(v, 40);
      cfSketchPutProps(v, props(kRed, 2));
    }
    putRecord(v, 0, 1, kRed);
    cfSketchPutPoint(v, ccVector<2>(1, 1));
    bad.emplace_back("two props prefixes", v);
  }
  {
    auto v = goodPrefix();
    cfSketchPutByte(v, 40);
    cfSketchPutProps(v, props(kRed, 2));
    v[v.size() - kSketchPropsRecordSize] = 1;  // props version 1
    putRecord(v, 0, 1, kRed);
    cfSketchPutPoint(v, ccVector<2>(1, 1));
    bad.emplace_back("props version 1", v);
  }
  {
    auto v = goodPrefix();
    putRecord(v, 2, 1, kRed);
    cfSketchPutPoint(v, ccVector<2>(1, 1));
    cfSketchPutDouble(v, 3);  // 24 of 32 payload bytes
    bad.emplace_back("truncated payload", v);
  }
  {
    auto v = goodPrefix();
    putRecord(v, 28, 1, kRed);
    cfSketchPutLong(v, 0);
    cfSketchPutLong(v, 1000000);  // vertex count far beyond the end
    bad.emplace_back("count beyond the end", v);
  }
  {
    auto v = goodPrefix();
    putRecord(v, 4, 1, kRed);
    cfSketchPutPoint(v, ccVector<2>(1, 1));
    cfSketchPutDouble(v, -2);  // negative radius
    bad.emplace_back("rejected value", v);
  }
  for (const auto& [what, bytes] : bad) {
    SCOPED_TRACE(what);
    Board b;  // recording, so that a finished replay would be recorded
    b.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 2), ccVector<2>(1, 2)));
    b.tablet.draw(ccPoint(9, 9), props(kGreen), kOverlay);
    b.tablet.recordOn().push(true);
    b.log->clear();
    const TabletState before(b.tablet);
    EXPECT_THROW(b.tablet.draw(bytesSketch(bytes), ccPoint(3, 4), kOverlay),
                 ccUIError::InvalidUISketch);
    EXPECT_TRUE(TabletState(b.tablet) == before);
    EXPECT_EQ(b.log->count("plotPoint"), 1);  // the good operation
    EXPECT_EQ(b.overlay.lockDepth(), 0);
    EXPECT_EQ(b.log->last().str(), "#1 lockScreenUpdatesPop");
  }
}

TEST(SketchPlayback, FactoryMakesTheClassOfEachOpcode) {
  std::unique_ptr<cc_UISketchOpData> circle(cfCreateUISketchOpData(29));
  EXPECT_EQ(typeid(*circle), typeid(cc_UISketchOpCircle));
  std::unique_ptr<cc_UISketchOpData> genRect(cfCreateUISketchOpData(31));
  EXPECT_EQ(typeid(*genRect), typeid(cc_UISketchOpGenRect));
  for (long op : {-1L, 13L, 24L, 36L, 40L, 48L})
    EXPECT_THROW(delete cfCreateUISketchOpData(op), ccUIError::InvalidUISketch) << op;
  for (int op = 0; op < kSketchOpcodeCount; ++op) {
    if (!cfSketchOpIsValid(op)) continue;
    std::unique_ptr<cc_UISketchOpData> d(cfCreateUISketchOpData(op));
    EXPECT_TRUE(cfUISketchOpDataFits(op, *d)) << op;
    EXPECT_EQ(cfClassName(typeid(*d)), cfSketchOpName(op)) << op;
  }
}

// ---- Empty sketches, recording of replays, drawing switched off

TEST(SketchPlayback, EmptySketchReplaysAndRecordsNothing) {
  Board b;
  b.tablet.draw(ccUISketch(), ccPoint(1, 2), kOverlay);
  EXPECT_TRUE(b.log->empty());
  EXPECT_TRUE(b.tablet.sketch().isNull());
}

TEST(SketchPlayback, RecordingAReplayAppendsOneNestedOperation) {
  const ccUISketch inner = recordedPoint(ccVector<2>(1, 1), kOverlay);
  const long n = inner.length();
  Board b;
  b.tablet.draw(inner, ccPoint(10, 5), kOverlay);
  const ccUISketch& s = b.tablet.sketch();
  ASSERT_EQ(s.length(), 8 + 16 + 4 + n);
  EXPECT_EQ(s.data()[0], 15);
  EXPECT_EQ(s.data()[1], 1);
  EXPECT_EQ(cfSketchLoadColor(s.data() + 2), ccColor(0));
  EXPECT_EQ(cfSketchLoadPoint(s.data() + 8), ccVector<2>(10, 5));
  EXPECT_EQ(cfSketchLoadI32(s.data() + 24), n);
  EXPECT_EQ(0, std::memcmp(s.data() + 28, inner.data(), static_cast<std::size_t>(n)));

  // After props other than the default ones, a default prefix comes first.
  Board c;
  c.tablet.draw(ccPoint(0, 0), props(kRed, 2), kOverlay);
  const long before = c.tablet.sketch().length();
  c.tablet.draw(inner, ccPoint(10, 5), kOverlay);
  EXPECT_EQ(c.tablet.sketch().length() - before, 22 + 8 + 16 + 4 + n);

  // Replaying the recording draws the same picture.
  Board again(false);
  again.tablet.draw(b.tablet.sketch(), ccPoint(0, 0), kOverlay);
  Board once(false);
  once.tablet.draw(inner, ccPoint(10, 5), kOverlay);
  const auto nested = withoutBrackets(again.lines(), kOverlay);
  EXPECT_EQ(nested, once.lines());
}

TEST(SketchPlayback, ReplayingATabletsOwnSketchRecordsACopyOfIt) {
  Board b;
  b.tablet.draw(ccPoint(1, 1), ccGraphicProps(), kOverlay);
  const std::vector<unsigned char> first(b.tablet.sketch().data(),
                                         b.tablet.sketch().data() + b.tablet.sketch().length());
  b.tablet.draw(b.tablet.sketch(), ccPoint(2, 2), kOverlay);
  const ccUISketch& s = b.tablet.sketch();
  ASSERT_EQ(s.length(), static_cast<long>(2 * first.size() + 28));
  EXPECT_EQ(0, std::memcmp(s.data() + first.size() + 28, first.data(), first.size()));
  EXPECT_EQ(b.log->count("plotPoint"), 2);
}

TEST(SketchPlayback, DrawingOffRecordsWithoutParsing) {
  Board b;
  b.tablet.drawOn() = false;
  std::vector<unsigned char> v;
  putRecord(v, 13, 1, kRed);  // never parsed
  b.tablet.draw(bytesSketch(v), ccPoint(0, 0), kOverlay);
  EXPECT_TRUE(b.log->empty());
  EXPECT_EQ(b.tablet.sketch().length(), 28 + 8);
}

// ---- Bounds

TEST(SketchPlayback, EncloseRectIsNullWithoutScope) {
  ccUITablet detached;
  EXPECT_TRUE(
      detached.encloseRect(recordedPoint(ccVector<2>(1, 1), kOverlay), ccPoint(0, 0), kOverlay)
          .isNull());
  ccTraceScope image;
  ccUITablet imageOnly(&image, nullptr);
  imageOnly.visible(true);
  EXPECT_TRUE(
      imageOnly.encloseRect(recordedPoint(ccVector<2>(1, 1), kOverlay), ccPoint(0, 0), kOverlay)
          .isNull());
}

TEST(SketchPlayback, EncloseRectCoversWhatTheReplayChanges) {
  ccUITablet recorder;
  recorder.draw(ccLineSeg(ccVector<2>(10, 20), ccVector<2>(30, 40)), ccGraphicProps(), kOverlay);
  recorder.draw(ccPoint(50, 5), ccGraphicProps(), kOverlay);
  recorder.draw(ccPoint(500, 400), ccGraphicProps(), kImage);  // another layer
  const ccUISketch s = recorder.sketch();

  Board b;
  EXPECT_EQ(b.tablet.encloseRect(s, ccPoint(0, 0), kOverlay), ccUIRect(10, 5, 41, 36));
  EXPECT_EQ(b.tablet.encloseRect(s, ccPoint(1, 2), kOverlay), ccUIRect(11, 7, 41, 36));
  EXPECT_EQ(b.tablet.encloseRect(s, ccPoint(0, 0), kImage), ccUIRect(500, 400, 1, 1));
  // Both layers together have no scope to measure in.
  EXPECT_TRUE(b.tablet.encloseRect(s, ccPoint(0, 0), kBoth).isNull());
  // Through the tablet's map, beyond the scope's area too.
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 2), ccVector<2>(0, 0)));
  EXPECT_EQ(b.tablet.encloseRect(s, ccPoint(0, 0), kOverlay), ccUIRect(20, 10, 81, 71));
  EXPECT_EQ(b.tablet.encloseRect(s, ccPoint(0, 0), kImage), ccUIRect(1000, 800, 1, 1));
  // Nothing is drawn on the tablet's scopes and nothing recorded.
  b.log->clear();
  b.tablet.encloseRect(s, ccPoint(0, 0), kOverlay);
  b.tablet.encloseRect(s, ccPoint(0, 0), kImage);
  EXPECT_EQ(b.log->count("drawLineSeg") + b.log->count("plotPoint"), 0);
  EXPECT_TRUE(b.tablet.sketch().isNull());
  // An empty sketch changes nothing.
  EXPECT_TRUE(b.tablet.encloseRect(ccUISketch(), ccPoint(0, 0), kOverlay).isNull());
}

}  // namespace
