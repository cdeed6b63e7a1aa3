// What the tablet, sketch and archive tests share: a board of two trace scopes to watch a
// tablet draw, one drawing of every operation a tablet records, sketch helpers, and golden
// text files (tests/data/<name>; DISPC_UPDATE_GOLDEN=1 rewrites them instead of comparing).
#pragma once

#include "genpolysample.h"

#include <backends/trace/tracescope.h>
#include <core/genshape.h>
#include <dispc/sketchformat.h>
#include <dispc/sketchshapes.h>
#include <dispc/tablet.h>
#include <dispc/wrfm/wirefrm.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;
using Layer = ccUITablet::Layers;
constexpr Layer kImage = ccUITablet::eImageLayer;
constexpr Layer kOverlay = ccUITablet::eOverlayLayer;
constexpr Layer kBoth = ccUITablet::eBothLayers;
const ccColor kRed = ccColor::redColor();
const ccColor kGreen = ccColor::greenColor();
const ccColor kBlue = ccColor::blueColor();

inline Bytes bytesOf(const ccUISketch& s) {
  return s.length() ? Bytes(s.data(), s.data() + s.length()) : Bytes();
}
// For a sketch that is not const too (archivebytes.h's bytesOf would take it otherwise).
inline Bytes bytesOf(ccUISketch& s) { return bytesOf(static_cast<const ccUISketch&>(s)); }

inline ccUISketch sketchOf(const Bytes& b) {
  ccUISketch s;
  s.append(b.data(), static_cast<long>(b.size()));
  return s;
}

// The operations of a stream, pointing into it.
inline std::vector<ccSketchOperation> operations(const unsigned char* data, std::size_t size) {
  std::vector<ccSketchOperation> ops;
  ccSketchWalker w(data, size);
  ccSketchOperation op;
  while (w.next(op)) ops.push_back(op);
  return ops;
}
inline std::vector<ccSketchOperation> operations(const ccUISketch& s) {
  return operations(s.data(), static_cast<std::size_t>(s.length()));
}
inline std::vector<ccSketchOperation> operations(const Bytes& b) {
  return operations(b.data(), b.size());
}

inline std::vector<int> opcodes(const ccUISketch& s) {
  std::vector<int> v;
  for (const ccSketchOperation& op : operations(s)) v.push_back(op.opcode);
  return v;
}

inline ccGraphicProps props(const ccColor& c, long width = 1, bool fill = false) {
  ccGraphicProps p(c, width);
  p.fill(fill);
  return p;
}

// A visible root tablet over two trace scopes (640 x 480 unless given) sharing one log; the
// overlay's calls print with "#1 ".
struct Board {
  std::shared_ptr<ccTraceLog> log = std::make_shared<ccTraceLog>();
  ccTraceScope image, overlay;
  ccUITablet tablet{&image, &overlay};

  explicit Board(bool record = true, const ccUIRect& area = ccUIRect(0, 0, 640, 480))
      : image(area, log), overlay(area, log) {
    tablet.visible(true);
    tablet.recordOn() = record;
    log->clear();
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> v;
    for (const ccTraceCall& c : log->calls()) v.push_back(c.str());
    return v;
  }
  // The calls other than the lock brackets.
  std::vector<ccTraceCall> drawing() const {
    std::vector<ccTraceCall> v;
    for (const ccTraceCall& c : log->calls())
      if (c.name != "lockScreenUpdatesPush" && c.name != "lockScreenUpdatesPop") v.push_back(c);
    return v;
  }
};

// Replay log lines without the replay's own brackets on the layer's scope: the lock push and
// optimisation switch before, and after them the switch back and the pop.
inline std::vector<std::string> withoutBrackets(const std::vector<std::string>& lines,
                                                Layer layer) {
  const std::string id = layer == kOverlay ? "#1 " : "";
  EXPECT_GE(lines.size(), 4u);
  if (lines.size() < 4) return lines;
  EXPECT_EQ(lines[0], id + "lockScreenUpdatesPush lock=true");
  EXPECT_EQ(lines[1], id + "optimizeDrawing on=true");
  EXPECT_EQ(lines[lines.size() - 2], id + "optimizeDrawing on=false");
  EXPECT_EQ(lines[lines.size() - 1], id + "lockScreenUpdatesPop");
  return std::vector<std::string>(lines.begin() + 2, lines.end() - 2);
}

// Draws one operation of every opcode a tablet records, each opcode's forms, with props
// changing along the way: all but the UTF-16 text (35), which nothing records; the nested
// sketch (15, which has no archive form) only when `nested`.
inline void drawEveryOperation(ccUITablet& t, bool nested = true) {
  using V = ccVector<2>;
  const ccEllipse ell(V(100, 80), V(40, 20), ccRadian(0.5));
  const ccEllipseAnnulusSection sect(
      ccEllipseAnnulus(ell, ccEllipse(V(100, 80), V(20, 10), ccRadian(0.5))), ccRadian(0.25),
      ccRadian(2.0), true, false, true);
  auto genRect = [](double half) {
    return ccGenRect(V(50, 60), ccMatrix<2>(half, 1, -1, half / 2), V(0.5, 0));
  };
  const ccBezierCurve bez(V(0, 0), V(10, 40), V(50, 40), V(60, 0));
  ccPelBuffer<unsigned char> img(3, 2);
  for (long y = 0; y < 2; ++y)
    for (long x = 0; x < 3; ++x) img.set(x, y, static_cast<unsigned char>(10 * y + x + 1));
  img.offset(4, 7);
  img.imageFromClientXform(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(2, 3)));
  ccRLEBuffer rle(img);
  rle.offset(0, 0);  // the stream holds the rows, not the offset: a replay draws at 0
  const ccRect box(V(5, 6), V(70, 80));

  // First the areas: setting a whole layer (17) discards what the layer recorded; the pass
  // colour leaves the overlay clear. Everything after draws over them.
  const ccColor clear = ccColor::passColor();
  t.set(clear, kOverlay);                                                          // 17
  t.set(ccUIRect(5, 6, 70, 80), kRed, kImage);                                     // 16
  t.set(ccRect(V(8, 9), V(64, 74)), ccColor::ltGreyColor(), kImage);               // 16
  t.setComplement(ccUIRect(5, 6, 70, 80), clear, kOverlay);                        // 18
  t.setComplement(box, clear, kOverlay);                                           // 18
  t.fill(ccPoint(40.5, 40.5), kBlue, kRed, ccUITablet::eFillToBorder, kImage);     // 19
  t.fill(ccPair<long>(6, 7), kGreen, kBlue, ccUITablet::eFillSurface, kImage);     // 19
  t.draw(ccPoint(3.5, 4.25), props(kRed, 3), kOverlay);                            // 0
  t.drawPointIcon(ccPoint(20, 30), props(kRed, 3), kImage);                        // 1
  t.draw(ccLineSeg(V(1, 2), V(30.5, 40)), props(kGreen, 2), kImage);               // 2
  t.draw(ccLine(V(1, 2), V(5, 5)), props(kBlue), kOverlay);                        // 3
  t.draw(ccCircle(V(40, 50), 12.5), props(kRed), kOverlay);                        // 4
  t.draw(ccCircle(V(4, 5), 2), props(kBlue, 1, true), kOverlay);                   // 29
  t.draw(ell, props(kRed), kOverlay);                                              // 5
  t.draw(ell, props(kBlue, 1, true), kImage);                                      // 30
  t.draw(ccEllipseArc(ell, ccRadian(0.5), ccRadian(2.5)), props(kRed), kOverlay);  // 6
  t.draw(sect, props(kRed), kOverlay);                                             // 7
  t.draw(sect, kRed, kOverlay, true, false);                                       // 39
  t.draw(ccLineSeg(V(0, 0), V(9, 9)), props(kRed), kOverlay);            // with the flags 39 set
  t.draw(genRect(10), props(kRed), kOverlay);                            // 8
  t.draw(genRect(3), props(kBlue, 1, true), kOverlay);                   // 31
  t.draw(ccGenAnnulus(genRect(5), genRect(10)), props(kRed), kOverlay);  // 9
  t.draw(ccCoordAxes(V(10, 10), V(60, 10), V(10, 70)), props(kRed, 2), kOverlay);  // 10
  t.draw(std::string("text"), ccPoint(1, 2), kRed, kBlue, ccUIFormat(3, ccUIFormat::eCenter),
         kOverlay);                                                // 11
  t.draw(img, ccPoint(5, 6), true, 3, true, kImage);               // 12
  t.draw(rle, ccPoint(5, 6), {9, 8, 7}, true, 2, true, kOverlay);  // 14
  if (nested) {
    ccUITablet recorder;
    recorder.draw(ccLineSeg(V(1, 1), V(5, 9)), props(kRed), kOverlay);
    recorder.draw(ccPoint(2, 2), props(kGreen), kImage);
    t.draw(recorder.sketch(), ccPoint(10, 20), kBoth);  // 15
  }
  t.drawStart(ccPoint(10, 10), kOverlay);                                                     // 20
  t.drawTo(ccPoint(20, 25), props(kRed, 2), kOverlay);                                        // 21
  t.drawToRelPels(5, -3, props(kBlue), kOverlay);                                             // 22
  t.moveToRelPels(-7, 4, kOverlay);                                                           // 23
  t.drawToRelPels(1, 1, props(kBlue), kOverlay);                                              // 22
  t.outline3D(ccUIRect(10, 10, 20, 12), kRed, kBlue, 2, kOverlay);                            // 25
  t.outline3D(ccRect(V(10, 10), V(20, 12)), kRed, kBlue, 3, kOverlay);                        // 25
  t.arrowHead(ccPoint(50, 50), V(1, 0.5), 7.5f, props(kGreen), kOverlay);                     // 26
  t.draw(ccAffineRectangle(V(10, 10), V(40, 20), V(0, 40)), props(kRed, 1, true), kOverlay);  // 27
  t.draw(ccPolygon({V(1, 1), V(30, 2), V(15, 25)}, ccPolygon::eFillWinding), props(kBlue),
         kOverlay);                                                                      // 28
  t.draw(ccRect(V(10, 20), V(30, 40)), props(kRed), kOverlay);                           // 32
  t.draw(ccGenShapeRoundedPolygon({V(0, 0), V(40, 0), V(40, 30)}, 5), kBlue, kOverlay);  // 33
  t.draw(roundedGenPoly(), props(kRed), kOverlay);                                       // 34
  t.draw(roundedGenPoly().map(ccXform<2>(ccMatrix<2>(1, 0.5, 0, -2), V(3, 4))), kBlue, kImage,
         true);                         // 38
  cc2Wireframe wire(roundedGenPoly());  // reversed, a tolerance on its first side (length 50)
  wire.segmentLengthTol(0, ccDimTol(50, 45, 55));
  wire.polarity(true);
  t.draw(wire, props(kBlue, 2), kOverlay);                              // 41
  t.draw(ccCross(V(50, 60), ccRadian(0.3), 9), props(kRed), kOverlay);  // 37
  t.draw(bez, props(kBlue), kOverlay);                                  // 42
  t.draw(ccCubicSpline({bez, bez.map(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(60, 0)))}), props(kBlue),
         kOverlay);  // 43
  t.draw(ccPolyline({V(1, 1), V(30, 2), V(15, 25)}, true),
         ccGraphicProps(ccColor(10, 200, 30), 1, ccGraphicProps::eDash), kOverlay);  // 44
  const ccEllipse2 e2(V(30, 10), ccRadian(0.4), V(100, 100), true, ccRadian(0.1));
  t.draw(ccEllipse2(V(30, 10), ccRadian(0.4), V(100, 100)), props(kRed), kOverlay);  // 45
  t.draw(ccEllipseArc2(e2, ccRadian(0.5), ccRadian(-2)), props(kRed), kOverlay);     // 46
  t.drawClipRect(ccRect(V(10, 20), V(300, 200)), kOverlay);                          // 47
  t.set(ccUIRect(1, 1, 2, 2), kBlue, kImage);  // last: a colour that needs a prefix again
}

// The stream followed by a UTF-16 text operation (35), which no tablet records.
inline Bytes withUnicodeText(Bytes s) {
  cfSketchPutSignedByte(s, 35);
  cfSketchPutSignedByte(s, 1);
  cfSketchPutColor(s, kRed);
  cfSketchPutPoint(s, ccVector<2>(1, 2));
  cfSketchPutColor(s, kBlue);
  cfSketchPutFormat(s, ccUIFormat());
  for (int b : {0x68, 0, 0xE9, 0, 0xAC, 0x20, 0x21, 0, 0, 0})  // "h", U+00E9, U+20AC, "!"
    cfSketchPutByte(s, static_cast<unsigned char>(b));
  return s;
}

// Stores or loads x as a member of a record would.
template <class T>
void archiveIo(ccArchive& ar, T& x) {
  ar || x;
}
inline void archiveIo(ccArchive& ar, ccGraphicProps& p) { p.dispatchSerialize(ar); }

// The archive form of v is exactly `form`; loaded into `target` it stores `form` again. With the
// version byte raised, loading throws UnknownVersion naming `source` and a line, and every
// truncation throws EndOfData, each leaving the target storing what it stored before.
template <class T>
void expectArchiveForm(T v, const Bytes& form, const std::string& source, T target = T()) {
  const auto stored = [](T x) {
    ccArchive out;
    archiveIo(out, x);
    return out.data();
  };
  EXPECT_EQ(stored(v), form);
  const Bytes before = stored(target);
  T back = target;
  ccArchive in(form);
  archiveIo(in, back);
  EXPECT_TRUE(in.atEnd());
  EXPECT_EQ(stored(back), form);
  Bytes bad = form;
  ++bad[0];
  try {
    ccArchive badIn(bad);
    archiveIo(badIn, target);
    ADD_FAILURE() << "loaded version " << int(bad[0]);
  } catch (const ccArchive::UnknownVersion& e) {
    EXPECT_EQ(e.source(), source);
    EXPECT_GT(e.line(), 0);
  }
  EXPECT_EQ(stored(target), before);
  for (std::size_t n = 0; n < form.size(); ++n) {
    ccArchive cut(Bytes(form.begin(), form.begin() + static_cast<long>(n)));
    EXPECT_THROW(archiveIo(cut, target), ccArchive::EndOfData) << n;
    EXPECT_EQ(stored(target), before) << n;
  }
}

// Passes when `text` is the content of tests/data/<name>; names the first line that differs.
inline ::testing::AssertionResult matchesGoldenText(const std::string& text,
                                                    const std::string& name) {
  const std::string path = std::string(DISPC_TEST_DATA_DIR) + "/" + name;
  const char* update = std::getenv("DISPC_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") std::ofstream(path, std::ios::binary) << text;
  std::ifstream in(path, std::ios::binary);
  const std::string want((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (want == text) return ::testing::AssertionSuccess();
  std::istringstream a(text), b(want);
  std::string got, expected;
  for (int line = 1;; ++line) {
    const bool more = static_cast<bool>(std::getline(a, got));
    if (!std::getline(b, expected) || !more || got != expected)
      return ::testing::AssertionFailure()
             << path << ":" << line << ": got\n  " << got << "\nwanted\n  " << expected;
  }
}
