// Tablet drawing with recording, observed through the trace scope: which scope slot receives
// which mapped geometry and props, and which bytes are recorded (opcode, layer, colour, payload)
// in caller coordinates.
#include <backends/trace/tracescope.h>
#include <core/archive.h>
#include <core/mappedshape.h>
#include <core/shapetree.h>
#include <dispc/sketchformat.h>
#include <dispc/sketchshapes.h>
#include <dispc/tablet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using L = ccUITablet::Layers;
constexpr L kImage = ccUITablet::eImageLayer;
constexpr L kOverlay = ccUITablet::eOverlayLayer;

std::vector<ccSketchOperation> operations(const ccUISketch& s) {
  std::vector<ccSketchOperation> ops;
  ccSketchWalker w(s.data(), static_cast<std::size_t>(s.length()));
  ccSketchOperation op;
  while (w.next(op)) ops.push_back(op);
  return ops;
}

std::vector<int> opcodes(const ccUISketch& s) {
  std::vector<int> v;
  for (const ccSketchOperation& op : operations(s)) v.push_back(op.opcode);
  return v;
}

ccVector<2> pointAt(const ccSketchOperation& op, std::size_t at) {
  return cfSketchLoadPoint(op.payload + at);
}

// A visible root tablet over two trace scopes (640 x 480) sharing one log, recording on.
struct Board {
  std::shared_ptr<ccTraceLog> log = std::make_shared<ccTraceLog>();
  ccTraceScope image{ccUIRect(0, 0, 640, 480), log};
  ccTraceScope overlay{ccUIRect(0, 0, 640, 480), log};
  ccUITablet tablet{&image, &overlay};

  Board() {
    tablet.visible(true);
    tablet.recordOn() = true;
    log->clear();
  }
  // Calls other than the lock brackets.
  std::vector<ccTraceCall> drawing() const {
    std::vector<ccTraceCall> v;
    for (const ccTraceCall& c : log->calls())
      if (c.name != "lockScreenUpdatesPush" && c.name != "lockScreenUpdatesPop") v.push_back(c);
    return v;
  }
};

const ccColor kRed = ccColor::redColor();
const ccColor kGreen = ccColor::greenColor();

TEST(TabletDrawing, LineSegmentDrawsMappedAndRecordsCallerCoordinates) {
  Board b;
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 3), ccVector<2>(10, 20)));
  b.tablet.sketch().erase();
  b.log->clear();
  b.tablet.draw(ccLineSeg(ccVector<2>(1, 1), ccVector<2>(4, 5)), kRed, kOverlay);

  ASSERT_EQ(b.log->size(), 1);
  const ccTraceCall& c = b.log->last();
  EXPECT_EQ(c.name, "drawLineSeg");
  EXPECT_EQ(c.scope, b.overlay.id());
  EXPECT_EQ(c.point("p1"), ccVector<2>(12, 23));
  EXPECT_EQ(c.point("p2"), ccVector<2>(18, 35));
  EXPECT_EQ(c.props().penColor(), kRed);
  EXPECT_EQ(c.props().penWidth(), 1);

  // A props prefix (red differs from the default cyan), then opcode 2 with 32 bytes.
  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_TRUE(ops[0].hasProps());
  EXPECT_EQ(ops[0].opcode, 2);
  EXPECT_EQ(ops[0].layer, 1);
  EXPECT_EQ(ops[0].penColor(), kRed);
  EXPECT_EQ(ops[0].payloadSize, 32u);
  EXPECT_EQ(pointAt(ops[0], 0), ccVector<2>(1, 1));
  EXPECT_EQ(pointAt(ops[0], 16), ccVector<2>(4, 5));
  EXPECT_EQ(b.tablet.sketch().length(), 22 + 8 + 32);
}

TEST(TabletDrawing, RepeatedPropsRecordOnePrefix) {
  Board b;
  ccGraphicProps p(kGreen, 3);
  const ccLineSeg s(ccVector<2>(0, 0), ccVector<2>(1, 1));
  b.tablet.draw(s, p, kImage);
  b.tablet.draw(s, p, kImage);
  EXPECT_EQ(b.tablet.sketch().length(), 22 + 8 + 32 + 8 + 32);
  // With default props no prefix at all.
  ccUITablet detached;
  detached.draw(s, ccGraphicProps(), kImage);
  detached.draw(s, ccGraphicProps(), kImage);
  EXPECT_EQ(detached.sketch().length(), 80);
}

// The colour forms decide on the prefix without building props: it must still follow every
// field, the fill of a circle included, and agree with equal props given in full.
TEST(TabletDrawing, ColourFormsWriteThePrefixExactlyWhenPropsChange) {
  ccUITablet t;
  const ccLineSeg s(ccVector<2>(0, 0), ccVector<2>(1, 1));
  const ccCircle c(ccVector<2>(5, 5), 2);
  const auto prefixes = [&] {
    std::vector<bool> v;
    for (const ccSketchOperation& op : operations(t.sketch())) v.push_back(op.hasProps());
    return v;
  };
  t.draw(s, ccGraphicProps(kRed, 3), kImage);          // width 3
  t.draw(s, kRed, kImage);                             // width 1: a prefix
  t.draw(s, kRed, kImage);                             // same: none
  t.draw(s, ccGraphicProps(kRed, 1), kImage);          // the same props in full: none
  t.draw(c, kRed, kImage, true);                       // filled: a prefix
  t.draw(c, kRed, kImage, true);                       // none
  t.draw(c, kRed, kImage);                             // unfilled: a prefix
  t.draw(ccPoint(ccVector<2>(1, 2)), kGreen, kImage);  // another colour: a prefix
  t.draw(ccPolygon(std::vector<ccVector<2>>{{0, 0}, {4, 0}, {0, 4}}), kGreen, kImage);  // none
  EXPECT_EQ(prefixes(),
            (std::vector<bool>{true, true, false, false, true, false, true, true, false}));
  EXPECT_EQ(opcodes(t.sketch()), (std::vector<int>{2, 2, 2, 2, 29, 29, 4, 0, 28}));
}
TEST(TabletDrawing, NothingDrawnButEverythingRecordedWhenDrawingIsOff) {
  const ccLineSeg s(ccVector<2>(0, 0), ccVector<2>(5, 5));
  {
    Board b;  // drawOn false
    b.tablet.drawOn() = false;
    b.tablet.draw(s, kRed, kImage);
    b.tablet.draw(ccCircle(ccVector<2>(3, 3), 2), kRed, kOverlay);
    EXPECT_TRUE(b.log->empty());
    EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{2, 4}));
  }
  {
    Board b;  // hidden
    b.tablet.visible(false);
    b.log->clear();
    b.tablet.recordOn() = true;
    b.tablet.draw(s, kRed, kImage);
    EXPECT_EQ(b.log->count("drawLineSeg"), 0);
    EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{2}));
  }
  {
    Board b;  // overlay switched off
    b.tablet.drawOnOverlay() = false;
    b.tablet.draw(s, kRed, kOverlay);
    b.tablet.draw(s, kRed, kImage);
    EXPECT_EQ(b.log->count("drawLineSeg"), 1);
    EXPECT_EQ(b.log->last().scope, b.image.id());
    EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{2, 2}));
  }
  {
    ccUITablet detached;  // no scope at all
    detached.draw(s, kRed, kImage);
    EXPECT_EQ(opcodes(detached.sketch()), (std::vector<int>{2}));
  }
  {
    Board b;  // recording off: drawn, not recorded
    b.tablet.recordOn() = false;
    b.tablet.draw(s, kRed, kImage);
    EXPECT_EQ(b.log->count("drawLineSeg"), 1);
    EXPECT_TRUE(b.tablet.sketch().isNull());
  }
}

TEST(TabletDrawing, OffScreenScopeDrawsOnlyForChangeCollection) {
  Board b;
  b.image.offScreen(true);
  const ccLineSeg s(ccVector<2>(0, 0), ccVector<2>(5, 5));
  EXPECT_FALSE(b.tablet.okToDraw(kImage));
  b.tablet.recordChanges(true);
  EXPECT_TRUE(b.tablet.okToDraw(kImage));
  b.tablet.draw(s, kRed, kImage);
  EXPECT_EQ(b.log->count("drawLineSeg"), 1);
}

TEST(TabletDrawing, OtherLayersDrawNothingButRecordAndOnlyPointQueriesThrow) {
  Board b;
  const ccLineSeg s(ccVector<2>(0, 0), ccVector<2>(5, 5));
  for (int other : {-1, 2, 7}) {
    const L l = static_cast<L>(other);
    b.tablet.sketch().erase();
    b.tablet.draw(s, kRed, l);
    b.tablet.drawStart(ccPoint(ccVector<2>(1, 1)), l);
    b.tablet.set(kRed, l);
    b.tablet.draw(ccPelBuffer<unsigned char>(2, 2), ccPoint(0, 0), false, 0, false, l);
    const std::vector<ccSketchOperation> ops = operations(b.tablet.sketch());
    ASSERT_EQ(ops.size(), 2u);  // set() starts the sketch afresh
    EXPECT_EQ(ops[0].layer, other);
    EXPECT_EQ(ops[1].opcode, static_cast<int>(ccSketchOp::ePelBuf8));
    EXPECT_THROW(b.tablet.drawingPoint(l), ccUIError::BadLayer);
    ccUIRect r;
    EXPECT_THROW(b.tablet.textRect("x", ccPoint(0, 0), ccUIFormat(), r, l), ccUIError::BadLayer);
    // What is recorded reads back: archived, loaded and replayed on both layers, drawing nothing.
    ccArchive out;
    ccUISketch recorded = b.tablet.sketch();
    out || recorded;
    ccArchive in(out.data());
    ccUISketch loaded;
    in || loaded;
    ASSERT_EQ(loaded.length(), recorded.length());
    EXPECT_TRUE(std::equal(loaded.data(), loaded.data() + loaded.length(), recorded.data()));
    EXPECT_TRUE(b.log->empty());
    b.tablet.draw(loaded, ccPoint(0, 0), ccUITablet::eBothLayers);
    for (const ccTraceCall& c : b.drawing())
      if (c.name != "optimizeDrawing") ADD_FAILURE() << c.str();
    b.log->clear();
  }
  EXPECT_THROW(b.tablet.drawClipRect(ccRect(ccVector<2>(), ccVector<2>(1, 1)), static_cast<L>(3)),
               ccUIError::BadLayer);
}

TEST(TabletDrawing, CircleRecordsCircleOpcodesButDrawsAnEllipse) {
  Board b;
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 2), ccVector<2>(1, 1)));
  b.tablet.sketch().erase();
  b.log->clear();
  b.tablet.draw(ccCircle(ccVector<2>(10, 20), 5), kRed, kImage);
  b.tablet.draw(ccCircle(ccVector<2>(10, 20), 5), kRed, kImage, true);
  ASSERT_EQ(b.log->count("drawEllipse"), 2);
  const ccEllipse& e = b.log->calls()[0].shapeAs<ccEllipse>();
  EXPECT_EQ(e.center(), ccVector<2>(21, 41));
  EXPECT_EQ(e.radii(), ccVector<2>(10, 10));
  EXPECT_TRUE(b.log->calls()[1].props().fill());

  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].opcode, 4);
  EXPECT_EQ(ops[1].opcode, 29);
  for (const auto& op : ops) {
    EXPECT_EQ(op.payloadSize, 24u);
    EXPECT_EQ(pointAt(op, 0), ccVector<2>(10, 20));
    EXPECT_EQ(cfSketchLoadDouble(op.payload + 16), 5.0);
  }
}

TEST(TabletDrawing, AnnulusFormsRecordTheirParts) {
  Board b;
  const ccAnnulus a(ccVector<2>(50, 50), 10, 20);
  b.tablet.draw(a, ccGraphicProps(kRed, 1), kImage);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{4, 4}));
  ASSERT_EQ(b.log->count("drawEllipse"), 2);
  EXPECT_EQ(b.log->calls()[0].shapeAs<ccEllipse>().radii(), ccVector<2>(20, 20));  // outer first
  EXPECT_EQ(b.log->calls()[1].shapeAs<ccEllipse>().radii(), ccVector<2>(10, 10));

  // The colour form goes through the general annulus: opcode 9, two ellipses drawn.
  b.tablet.sketch().erase();
  b.log->clear();
  b.tablet.draw(a, kRed, kImage);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{9}));
  EXPECT_EQ(b.log->count("drawEllipse"), 2);
  const ccGenAnnulus back = cfSketchLoadGenAnnImage(operations(b.tablet.sketch())[0].payload);
  EXPECT_EQ(back.outer().U(), ccMatrix<2>(20, 0, 0, 20));
  EXPECT_EQ(back.inner().uround(), ccVector<2>(1, 1));
}

TEST(TabletDrawing, EllipsesArcsAndSecondFormsGoToTheirSlots) {
  Board b;
  const ccXform<2> map(ccMatrix<2>(2, 0, 0, 2), ccVector<2>(5, 0));
  b.tablet.baseMap(map);
  b.tablet.sketch().erase();
  b.log->clear();
  const ccEllipse e(ccVector<2>(10, 10), ccVector<2>(4, 2), ccRadian(0.5));
  const ccEllipseArc arc(e, ccRadian(0.1), ccRadian(1.2));
  const ccEllipse2 e2(ccVector<2>(3, 1), ccRadian(0.2), ccVector<2>(7, 8));
  const ccEllipseArc2 arc2(e2, ccRadian(0.3), ccRadian(2.0));
  b.tablet.draw(e, kRed, kImage, true);
  b.tablet.draw(arc, kRed, kImage);
  b.tablet.draw(e2, kRed, kImage);
  b.tablet.draw(arc2, kRed, kImage);
  EXPECT_EQ(b.log->names(), (std::vector<std::string>{"drawEllipse", "drawEllipseArc",
                                                      "drawEllipse2", "drawEllipseArc2"}));
  EXPECT_EQ(b.log->calls()[0].shapeAs<ccEllipse>(), e.map(map));
  EXPECT_EQ(b.log->calls()[1].shapeAs<ccEllipseArc>(), arc.map(map));
  EXPECT_EQ(b.log->calls()[2].shapeAs<ccEllipse2>(), e2.map(map));
  EXPECT_EQ(b.log->calls()[3].shapeAs<ccEllipseArc2>(), arc2.map(map));

  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[0].opcode, 30);
  EXPECT_EQ(ops[0].payloadSize, 48u);
  EXPECT_EQ(cfSketchLoadEllipseGeom(ops[0].payload), e);
  EXPECT_EQ(ops[1].opcode, 6);
  EXPECT_EQ(ops[1].payloadSize, 192u);
  EXPECT_EQ(cfSketchLoadEllipseArc(ops[1].payload), arc);
  EXPECT_EQ(ops[2].opcode, 45);
  EXPECT_EQ(ops[2].payloadSize, 40u);
  EXPECT_EQ(pointAt(ops[2], 0), ccVector<2>(3, 1));
  EXPECT_EQ(cfSketchLoadDouble(ops[2].payload + 16), 0.2);
  EXPECT_EQ(pointAt(ops[2], 24), ccVector<2>(7, 8));
  EXPECT_EQ(ops[3].opcode, 46);
  EXPECT_EQ(ops[3].payloadSize, 65u);
  EXPECT_EQ(cfSketchLoadDouble(ops[3].payload + 49), 0.3);
  EXPECT_EQ(cfSketchLoadDouble(ops[3].payload + 57), 2.0);
}

TEST(TabletDrawing, RectangleStrokesOrFillsItsMappedCorners) {
  Board b;
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), ccVector<2>(0.5, 0.5)));
  b.tablet.sketch().erase();
  b.log->clear();
  const ccRect r(ccVector<2>(10, 20), ccVector<2>(30, 40));
  b.tablet.draw(r, kRed, kImage);
  const std::vector<std::string> expected = {
      "lockScreenUpdatesPush", "drawTo", "drawTo", "drawTo", "drawTo", "lockScreenUpdatesPop"};
  EXPECT_EQ(b.log->names(), expected);
  EXPECT_EQ(b.log->calls()[1].pixel("from"), ccPair<long>(10, 20));
  EXPECT_EQ(b.log->calls()[1].point("p"), ccVector<2>(40.5, 20.5));
  EXPECT_EQ(b.log->calls()[2].point("p"), ccVector<2>(40.5, 60.5));
  EXPECT_EQ(b.log->calls()[3].point("p"), ccVector<2>(10.5, 60.5));
  EXPECT_EQ(b.log->calls()[4].point("p"), ccVector<2>(10.5, 20.5));

  b.log->clear();
  b.tablet.draw(r, kRed, kImage, true);
  ASSERT_EQ(b.log->names(), std::vector<std::string>{"drawPolygon"});
  EXPECT_EQ(b.log->last().integer("fillMode"), ccPolygon::eFillAlternate);
  EXPECT_EQ(b.log->last().get<std::vector<ccVector<2>>>("vertices").size(), 4u);

  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].opcode, 32);
  EXPECT_EQ(ops[1].opcode, 32);
  EXPECT_EQ(pointAt(ops[1], 0), ccVector<2>(10, 20));
  EXPECT_EQ(pointAt(ops[1], 16), ccVector<2>(30, 40));
}

TEST(TabletDrawing, PrimitiveFormsBuildTheirShapes) {
  // Each form against the figure it names: points and corners read back from the recording.
  Board b;
  const ccVector<2> c(10, 20);
  b.tablet.drawEllipseArc(c, ccVector<2>(4, 2), ccRadian(ccPi / 2), ccRadian(ccPi / 2),
                          ccRadian(ccPi / 2), kRed, kImage);
  b.tablet.drawCircle(c, 3, kRed, kImage, true);
  b.tablet.drawRect(c, ccVector<2>(4, 5), kRed, kImage, true);
  b.tablet.drawLineSeg(c, ccVector<2>(1, 2), kRed, kImage);
  b.tablet.drawGenRect(c, ccVector<2>(3, 1), ccRadian(ccPi / 2), ccVector<2>(0, 0), kRed, kImage);
  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{6, 29, 32, 2, 8}));
  // Rotated a quarter turn, the arc starts a quarter turn on, at the end of the y radius
  // turned (-2, 0) from the centre, and runs a quarter turn to (0, -4).
  const ccEllipseArc arc = cfSketchLoadEllipseArc(ops[0].payload);
  EXPECT_TRUE(cfRealEq(arc.startPoint(), c + ccVector<2>(-2, 0), 1e-12)) << arc.startPoint();
  EXPECT_TRUE(cfRealEq(arc.endPoint(), c + ccVector<2>(0, -4), 1e-12)) << arc.endPoint();
  EXPECT_EQ(pointAt(ops[1], 0), c);
  EXPECT_EQ(cfSketchLoadDouble(ops[1].payload + 16), 3);
  EXPECT_EQ(pointAt(ops[2], 16), ccVector<2>(4, 5));
  EXPECT_EQ(pointAt(ops[3], 16), ccVector<2>(1, 2));
  const ccGenRect g = cfSketchLoadGenRectImage(ops[4].payload);
  EXPECT_TRUE(cfRealEq(g.corner(0), c + ccVector<2>(1, -3), 1e-12)) << g.corner(0);
}

TEST(TabletDrawing, FilledSquareGeneralRectangleIsOnePolygon) {
  Board b;
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 2), ccVector<2>(1, 0)));
  b.log->clear();
  const ccGenRect g(ccVector<2>(10, 10), ccVector<2>(3, 2), ccRadian(0.4), ccVector<2>(0, 0));
  b.tablet.draw(g, kRed, kImage, true);
  const auto calls = b.drawing();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].name, "drawPolygon");
  EXPECT_EQ(calls[0].integer("fillMode"), ccPolygon::eFillAlternate);
  const auto& v = calls[0].get<std::vector<ccVector<2>>>("vertices");
  const ccGenRect m = g.map(b.tablet.scaledMap());
  ASSERT_EQ(v.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(cfRealEq(v[i], m.corner(i), 1e-12)) << i;
  EXPECT_EQ(b.log->calls().front().name, "lockScreenUpdatesPush");
}

TEST(TabletDrawing, GeneralRectanglesChooseQuadEllipseOrRoundedSlot) {
  Board b;
  const ccVector<2> c(100, 100), half(20, 10);
  b.tablet.draw(ccGenRect(c, half, ccRadian(0), ccVector<2>(0, 0)), kRed, kImage);
  EXPECT_EQ(b.log->count("drawTo"), 4);
  b.log->clear();
  b.tablet.draw(ccGenRect(c, half, ccRadian(0), ccVector<2>(1, 1)), kRed, kImage);
  ASSERT_EQ(b.log->count("drawEllipse"), 1);
  const std::vector<ccTraceCall> calls = b.drawing();
  const ccEllipse& e = calls[0].shapeAs<ccEllipse>();
  EXPECT_NEAR(e.radii().x(), 20, 1e-12);
  EXPECT_NEAR(e.radii().y(), 10, 1e-12);
  EXPECT_EQ(e.center(), c);
  b.log->clear();
  const ccGenRect rounded(c, half, ccRadian(0.3), ccVector<2>(0.5, 0.2));
  b.tablet.draw(rounded, kRed, kImage, true);
  EXPECT_EQ(b.drawing().size(), 1u);
  EXPECT_EQ(b.drawing()[0].name, "drawRoundedRect");
  EXPECT_EQ(b.drawing()[0].shapeAs<ccGenRect>(), rounded);
  EXPECT_EQ(b.log->calls().front().name, "lockScreenUpdatesPush");

  const auto ops = operations(b.tablet.sketch());
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{8, 8, 31}));
  EXPECT_EQ(ops[2].payloadSize, 124u);
  EXPECT_EQ(cfSketchLoadGenRectImage(ops[2].payload), rounded);

  // A general annulus: inner then outer, recorded once.
  b.tablet.sketch().erase();
  b.log->clear();
  const ccGenAnnulus ga(ccGenRect(c, half, ccRadian(0), ccVector<2>(0.5, 0.5)),
                        ccGenRect(c, half * 2.0, ccRadian(0), ccVector<2>(0.5, 0.5)));
  b.tablet.draw(ga, kRed, kImage);
  ASSERT_EQ(b.log->count("drawRoundedRect"), 2);
  EXPECT_EQ(b.drawing()[0].shapeAs<ccGenRect>(), ga.inner());
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{9}));
  EXPECT_EQ(operations(b.tablet.sketch())[0].payloadSize, 284u);
}

TEST(TabletDrawing, PolylinesPolygonsAndAffineRectangles) {
  Board b;
  const std::vector<ccVector<2>> v = {{1, 2}, {3, 4}, {5, 7}};
  b.tablet.draw(ccPolyline(v, true), kRed, kImage);
  b.tablet.draw(ccPolygon(v, ccPolygon::eFillWinding), kRed, kImage);
  b.tablet.draw(ccPolygon(), kRed, kImage);
  const ccAffineRectangle ar(ccVector<2>(0, 0), ccVector<2>(10, 0), ccVector<2>(2, 5));
  b.tablet.draw(ar, kRed, kImage, true);
  EXPECT_EQ(b.log->names(), (std::vector<std::string>{"drawPolyline", "drawPolygon", "drawPolygon",
                                                      "drawPolygon"}));
  EXPECT_EQ(b.log->calls()[1].integer("fillMode"), ccPolygon::eFillWinding);
  const auto& corners = b.log->calls()[3].get<std::vector<ccVector<2>>>("vertices");
  EXPECT_EQ(corners, (std::vector<ccVector<2>>{{0, 0}, {10, 0}, {12, 5}, {2, 5}, {0, 0}}));
  EXPECT_EQ(b.log->calls()[3].integer("fillMode"), ccPolygon::eFillAlternate);

  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[0].opcode, 44);
  EXPECT_EQ(ops[0].payloadSize, 5u + 16 * 3);
  EXPECT_EQ(cfSketchLoadI32(ops[0].payload), 3);
  EXPECT_EQ(ops[0].payload[4 + 48], 1);  // closed
  EXPECT_EQ(ops[1].opcode, 28);
  EXPECT_EQ(cfSketchLoadI32(ops[1].payload), ccPolygon::eFillWinding);
  EXPECT_EQ(pointAt(ops[1], 8 + 32), ccVector<2>(5, 7));
  EXPECT_EQ(ops[2].payloadSize, 8u);  // an empty polygon
  EXPECT_EQ(ops[3].opcode, 27);
  EXPECT_EQ(ops[3].payloadSize, 204u);
  EXPECT_EQ(cfSketchLoadAffineRectImage(ops[3].payload), ar);
}

TEST(TabletDrawing, PointSetsDrawCircleAndSegmentBeforeThePoints) {
  Board b;
  ccGraphicProps wide(kRed, 5, ccGraphicProps::eDash, true);
  const ccPointSet set({{10, 10}, {13, 14}, {20, 20}});
  b.tablet.draw(set, wide, kOverlay);
  const std::vector<ccTraceCall> calls = b.drawing();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(b.drawing()[0].name, "drawEllipse");
  EXPECT_EQ(b.drawing()[0].shapeAs<ccEllipse>().radii(), ccVector<2>(5, 5));
  EXPECT_EQ(b.drawing()[1].name, "drawLineSeg");
  for (int i = 2; i < 5; ++i) {
    const ccTraceCall& c = calls[i];
    EXPECT_EQ(c.name, "plotPoint");
    EXPECT_EQ(c.props().penColor(), kRed);
    EXPECT_EQ(c.props().penWidth(), 1);
    EXPECT_EQ(c.props().penStyle(), ccGraphicProps::eSolid);
    EXPECT_FALSE(c.props().fill());
  }
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{29, 2, 0, 0, 0}));

  // A single point draws only itself.
  b.tablet.sketch().erase();
  b.tablet.draw(ccPointSet({{1, 1}}), kRed, kOverlay);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{0}));
}

TEST(TabletDrawing, LineSegmentSetsRecordEverySegment) {
  Board b;
  ccLineSegSet set;
  set.segments({ccLineSeg(ccVector<2>(0, 0), ccVector<2>(1, 1)),
                ccLineSeg(ccVector<2>(2, 2), ccVector<2>(3, 3))});
  b.tablet.draw(set, kRed, kImage);
  EXPECT_EQ(b.log->count("drawLineSeg"), 2);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{2, 2}));
}

TEST(TabletDrawing, LinesAreClippedToTheScope) {
  Board b;
  // Vertical: direction (0, 1) spans the height.
  b.tablet.draw(ccLine(ccVector<2>(0, 1), ccVector<2>(100, 50)), kRed, kImage);
  // Horizontal.
  b.tablet.draw(ccLine(ccVector<2>(1, 0), ccVector<2>(7, 30)), kRed, kImage);
  // Oblique through (0, 0) at 45 degrees: leaves through the bottom edge.
  b.tablet.draw(ccLine(ccVector<2>(1, 1), ccVector<2>(0, 0)), kRed, kImage);
  const auto calls = b.drawing();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].pixel("from"), ccPair<long>(100, 0));
  EXPECT_EQ(calls[0].point("p"), ccVector<2>(100, 480.5));
  EXPECT_EQ(calls[1].pixel("from"), ccPair<long>(0, 30));
  EXPECT_EQ(calls[1].point("p"), ccVector<2>(640.5, 30));
  EXPECT_EQ(calls[2].pixel("from"), ccPair<long>(0, 0));
  EXPECT_NEAR(calls[2].point("p").x(), 480.5, 1e-9);
  EXPECT_NEAR(calls[2].point("p").y(), 480.5, 1e-9);

  const auto ops = operations(b.tablet.sketch());
  EXPECT_EQ(ops[0].opcode, 3);
  EXPECT_EQ(pointAt(ops[0], 0), ccVector<2>(0, 1));      // direction first
  EXPECT_EQ(pointAt(ops[0], 16), ccVector<2>(100, 50));  // then position
}

TEST(TabletDrawing, CrossStrokesToThePixel) {
  Board b;
  b.tablet.draw(ccCross(ccVector<2>(50, 60), ccRadian(ccPi / 6), 10), kRed, kImage);
  const auto calls = b.drawing();
  ASSERT_EQ(calls.size(), 2u);
  // a = trunc(10 cos 30) = 8, b = trunc(10 sin 30) = 5 (4.999... truncates to 4 or 5 exactly).
  const long a = static_cast<long>(10 * std::cos(ccPi / 6));
  const long bb = static_cast<long>(10 * std::sin(ccPi / 6));
  EXPECT_EQ(a, 8);
  EXPECT_EQ(calls[0].name, "drawToRel");
  EXPECT_EQ(calls[0].pixel("from"), ccPair<long>(50 + a, 60 + bb));
  EXPECT_EQ(calls[0].pixel("d"), ccPair<long>(-2 * a, -2 * bb));
  EXPECT_EQ(calls[1].pixel("from"), ccPair<long>(50 - bb, 60 + a));
  EXPECT_EQ(calls[1].pixel("d"), ccPair<long>(2 * bb, -2 * a));

  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].opcode, 37);
  EXPECT_EQ(ops[0].payloadSize, 32u);
  EXPECT_EQ(cfSketchLoadCross(ops[0].payload),
            ccCross(ccVector<2>(50, 60), ccRadian(ccPi / 6), 10));
}

TEST(TabletDrawing, ArrowheadArmsRunBackFromTheTip) {
  Board b;
  const ccGraphicProps props(kRed, 2);
  EXPECT_FLOAT_EQ(b.tablet.arrowArmLength(props), 9.0f);  // 2 * 1.5 + 6
  b.tablet.arrowHead(ccPoint(ccVector<2>(100, 100)), ccVector<2>(1, 0), 10.0f, props, kImage);
  const auto calls = b.drawing();
  ASSERT_EQ(calls.size(), 2u);
  // dir + side = (1, 0.5) normalised times -10: (-8.94, -4.47) -> (-8, -4).
  EXPECT_EQ(calls[0].pixel("from"), ccPair<long>(100, 100));
  EXPECT_EQ(calls[0].pixel("d"), ccPair<long>(-8, -4));
  EXPECT_EQ(calls[1].pixel("from"), ccPair<long>(100, 100));
  EXPECT_EQ(calls[1].pixel("d"), ccPair<long>(-8, 4));
  EXPECT_EQ(b.image.drawX(), 100);  // the pen is back at the tip
  EXPECT_EQ(b.log->calls().front().name, "lockScreenUpdatesPush");

  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].opcode, 26);
  EXPECT_EQ(ops[0].payloadSize, 36u);
  EXPECT_EQ(cfSketchLoadFloat(ops[0].payload + 32), 10.0f);

  // In reducing mode the arm grows with the scale factor.
  b.tablet.scaleExact(ccPair<double>(0.5, 0.5));
  EXPECT_FLOAT_EQ(b.tablet.arrowArmLength(props), 6.0f);
}

TEST(TabletDrawing, CoordinateAxesDrawTwoSegmentsAndTwoArrowheads) {
  Board b;
  const ccCoordAxes axes(ccVector<2>(10, 10), ccVector<2>(50, 10), ccVector<2>(10, 50));
  b.tablet.draw(axes, kRed, kImage);
  EXPECT_EQ(b.log->count("drawLineSeg"), 2);
  EXPECT_EQ(b.log->count("drawToRel"), 4);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{10}));
  b.log->clear();
  b.tablet.draw(ccCoordAxes(ccVector<2>(1, 1), ccVector<2>(1, 1), ccVector<2>(1, 5)), kRed, kImage);
  EXPECT_EQ(b.log->count("drawToRel"), 0);  // degenerate: no arrowheads
}

TEST(TabletDrawing, CurvesAreSampledIntoPolylines) {
  Board b;
  const ccBezierCurve curve(ccVector<2>(0, 0), ccVector<2>(10, 30), ccVector<2>(30, 30),
                            ccVector<2>(40, 0));
  b.tablet.draw(curve, kRed, kImage);
  ASSERT_EQ(b.log->count("drawPolyline"), 1);
  const ccPolyline& pl = b.log->last().shapeAs<ccPolyline>();
  EXPECT_GT(pl.numVertices(), 5);
  EXPECT_EQ(pl.vertex(0), ccVector<2>(0, 0));
  EXPECT_FALSE(pl.isClosed());

  ccCubicSpline spline({curve, ccBezierCurve(ccVector<2>(40, 0), ccVector<2>(50, -30),
                                             ccVector<2>(60, -30), ccVector<2>(70, 0))});
  b.tablet.draw(spline, kRed, kImage);
  EXPECT_EQ(b.log->count("drawPolyline"), 3);
  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].opcode, 42);
  EXPECT_EQ(cfSketchLoadBezier(ops[0].payload), curve);
  EXPECT_EQ(ops[1].opcode, 43);
  EXPECT_EQ(ops[1].payloadSize, 4u + 2 * 96);

  // A curve lies in its control points' hull: beside the 640-pixel scope it draws nothing
  // (and still records); within a wide pen's reach of it, it draws.
  b.log->clear();
  b.tablet.draw(ccBezierCurve(ccVector<2>(650, 10), ccVector<2>(660, 40), ccVector<2>(680, 40),
                              ccVector<2>(690, 10)),
                kRed, kImage);
  EXPECT_EQ(b.log->count("drawPolyline"), 0);
  b.tablet.draw(ccBezierCurve(ccVector<2>(645, 10), ccVector<2>(660, 40), ccVector<2>(680, 40),
                              ccVector<2>(690, 10)),
                ccGraphicProps(kRed, 10), kImage);
  EXPECT_EQ(b.log->count("drawPolyline"), 1);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{42, 43, 42, 42}));

  // A curve far bigger than the scope is sampled only where it can show: pieces off the scope
  // are their chords, and every drawn segment on the scope stays within a pel of the curve.
  b.log->clear();
  const ccBezierCurve huge(ccVector<2>(-4e8, 3e8), ccVector<2>(3e8, -5e8), ccVector<2>(-2e8, -1e8),
                           ccVector<2>(100002560, 1500001920));  // through (320, 240) at t = 0.5
  ccShape::ccSampleResult everywhere;
  huge.sample(ccShape::ccSampleParams(0, 1, 5000), everywhere);
  EXPECT_EQ(everywhere.size(), 5000u);  // unclipped, it needs more than the tablet allows
  b.tablet.draw(huge, kRed, kImage);
  ASSERT_EQ(b.log->count("drawPolyline"), 1);
  const ccPolyline& clipped = b.log->last().shapeAs<ccPolyline>();
  EXPECT_LT(clipped.numVertices(), 1000);
  // It crosses the scope near t = 0.5 at some 1.2e9 pels per unit of t.
  long onScope = 0;
  for (int k = -1000; k <= 1000; ++k) {
    const ccVector<2> p = huge.point(0.5 + k * 1e-9);
    if (p.x() < 0 || p.y() < 0 || p.x() > 640 || p.y() > 480) continue;
    ++onScope;
    double gap = 1e300;
    for (long i = 0; i + 1 < clipped.numVertices(); ++i)
      gap = std::min(gap, ccLineSeg(clipped.vertex(i), clipped.vertex(i + 1)).distanceToPoint(p));
    EXPECT_LE(gap, 1.0) << k;
  }
  EXPECT_GT(onScope, 100);
}

TEST(TabletDrawing, AnnulusSectionsRecordSevenOrThirtyNine) {
  Board b;
  const ccEllipseAnnulusSection s(
      ccEllipseAnnulus(ccEllipse(ccVector<2>(100, 100), ccVector<2>(40, 20)), 0.5), ccRadian(0),
      ccRadian(1.0));
  b.tablet.draw(s, kRed, kImage);
  EXPECT_EQ(b.log->count("drawEllipseArc"), 2);
  EXPECT_EQ(b.log->count("drawLineSeg"), 2);
  EXPECT_EQ(b.log->count("drawToRel"), 4);  // an arrowhead on each arc
  b.log->clear();
  b.tablet.draw(s, kRed, kImage, false, true);
  EXPECT_EQ(b.log->count("drawToRel"), 0);
  b.tablet.draw(s, kRed, kImage, true, false);

  // A full turn draws two closed ellipses and no sides.
  b.log->clear();
  const ccEllipseAnnulusSection full(s.annulus(), ccRadian(0), ccRadian(2 * ccPi));
  b.tablet.draw(full, kRed, kImage, false, false);
  EXPECT_EQ(b.log->count("drawEllipse"), 2);
  EXPECT_EQ(b.log->count("drawLineSeg"), 0);

  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[0].opcode, 7);
  EXPECT_EQ(ops[0].payloadSize, 500u);
  EXPECT_EQ(cfSketchLoadAnnSectImage(ops[0].payload), s);
  EXPECT_EQ(ops[1].opcode, 39);
  EXPECT_EQ(ops[1].payloadSize, 502u);
  EXPECT_EQ(ops[1].payload[500], 0);
  EXPECT_EQ(ops[1].payload[501], 1);
  EXPECT_EQ(ops[2].opcode, 39);
  EXPECT_EQ(ops[2].payload[500], 1);
  EXPECT_EQ(ops[2].payload[501], 0);
}

TEST(TabletDrawing, GeneralShapeDispatch) {
  Board b;
  const ccShapePtrh seg(new ccLineSeg(ccVector<2>(0, 0), ccVector<2>(10, 0)));
  const ccShapePtrh up(new ccLineSeg(ccVector<2>(20, 0), ccVector<2>(20, 10)));
  // A closed contour: segment, a gap joined, the second segment, the join back to the start.
  const ccContourTree contour({seg, up}, true);
  b.tablet.draw(static_cast<const ccShape&>(contour), kRed, kImage);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{2, 2, 2, 2}));
  const auto ops = operations(b.tablet.sketch());
  EXPECT_EQ(pointAt(ops[1], 0), ccVector<2>(10, 0));
  EXPECT_EQ(pointAt(ops[1], 16), ccVector<2>(20, 0));
  EXPECT_EQ(pointAt(ops[3], 0), ccVector<2>(20, 10));
  EXPECT_EQ(pointAt(ops[3], 16), ccVector<2>(0, 0));
  // An open contour has no closing join.
  b.tablet.sketch().erase();
  b.tablet.draw(static_cast<const ccShape&>(ccContourTree({seg, up}, false)), kRed, kImage);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{2, 2, 2}));

  // A mapped shape under a linear transform draws the mapped shape.
  b.tablet.sketch().erase();
  b.log->clear();
  const ccPtrHandle<cc2XformBase> shift(
      new cc2XformLinear(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), ccVector<2>(5, 5))));
  const ccMappedShape mapped(seg, shift);
  b.tablet.draw(static_cast<const ccShape&>(mapped), kRed, kImage);
  ASSERT_EQ(b.log->count("drawLineSeg"), 1);
  EXPECT_EQ(b.log->last().point("p1"), ccVector<2>(5, 5));

  // Only the dispatched classes draw, whatever overloads exist; a circle under a skew is
  // drawn as the ellipse it becomes, an ellipse under a map not at all.
  b.log->clear();
  b.tablet.sketch().erase();
  const ccPtrHandle<cc2XformBase> skew(
      new cc2XformLinear(ccXform<2>(ccMatrix<2>(1, 1, 0, 1), ccVector<2>())));
  const ccEllipse e(ccVector<2>(1, 1), ccVector<2>(2, 1), ccRadian(0));
  const ccShapePtrh circle(new ccCircle(ccVector<2>(1, 1), 1));
  const ccShapePtrh ellipse(new ccEllipse(e));
  const ccMappedShape skewedCircle(circle, skew), skewedEllipse(ellipse, skew);
  for (const ccShape* shape :
       {static_cast<const ccShape*>(circle.rep()), static_cast<const ccShape*>(&skewedCircle),
        static_cast<const ccShape*>(ellipse.rep()), static_cast<const ccShape*>(&skewedEllipse)})
    b.tablet.draw(*shape, kRed, kImage);
  const ccShapePtrh others[] = {
      ccShapePtrh(new ccPoint(1, 1)),
      ccShapePtrh(new ccEllipseArc(e, ccRadian(0), ccRadian(1))),
      ccShapePtrh(new ccPolygon({{0, 0}, {1, 0}, {1, 1}})),
      ccShapePtrh(new ccCross(ccVector<2>(1, 1), ccRadian(0), 3)),
      ccShapePtrh(new ccCoordAxes(ccVector<2>(0, 0), ccVector<2>(1, 0), ccVector<2>(0, 1))),
      ccShapePtrh(new ccPointSet({{0, 0}, {1, 1}})),
      ccShapePtrh(new ccEllipseAnnulusSection()),
      ccShapePtrh(new ccFLine())};
  for (const ccShapePtrh& other : others) b.tablet.draw(*other, kRed, kImage);
  EXPECT_EQ(b.log->names(), (std::vector<std::string>{"drawEllipse", "drawEllipse2"}));
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{4, 45}));
}

TEST(TabletDrawing, Outline3DDrawsTheVisibleRingsOfEveryRingAndLeavesThePenAsAllWould) {
  // Differential: every ring stroked, as the rings are defined, against what reaches a child's
  // scope (cut off at the top left by its parent); the strokes that touch the scope's area and
  // the pen position agree, however many rings are asked for.
  std::mt19937 rng(3);
  std::uniform_int_distribution<long> coord(-90, 90), size(0, 160), rings(0, 90);
  for (int trial = 0; trial < 400; ++trial) {
    Board b;
    const ccPair<long> corner(coord(rng), coord(rng));
    ccUITablet kid(b.tablet, ccUIRect(corner, ccPair<long>(50 + size(rng) % 40, 40)));
    kid.visible(true);
    b.log->clear();
    const ccUIRect r(coord(rng), coord(rng), size(rng), size(rng));
    const long width = trial == 0 ? 2000000000L : rings(rng);
    kid.outline3D(r, kRed, kGreen, width, kImage);
    const ccPair<long> cut(std::max(0L, -corner.first), std::max(0L, -corner.second));
    const ccPair<long> area = kid.activeScope(kImage).sz();
    auto shows = [&](long x, long y, long dx, long dy) {
      return std::min(x, x + dx) < area.first && std::max(x, x + dx) >= 0 &&
             std::min(y, y + dy) < area.second && std::max(y, y + dy) >= 0;
    };
    std::vector<std::string> want, got;
    long x = r.left() - cut.first, y = r.top() - cut.second, w = r.width() - 1, h = r.height() - 1,
         drawn = 0;
    for (; drawn < width && w >= 1 && h >= 1; ++drawn, ++x, ++y, w -= 2, h -= 2) {
      const long steps[4][2] = {{w, 0}, {0, h}, {-w, 0}, {0, -h}};
      long px = x, py = y;
      for (const auto& d : steps) {
        if (shows(px, py, d[0], d[1]))
          want.push_back(std::to_string(px) + "," + std::to_string(py) + "+" +
                         std::to_string(d[0]) + "," + std::to_string(d[1]));
        px += d[0];
        py += d[1];
      }
    }
    for (const ccTraceCall& c : b.drawing()) {
      const ccPair<long> from = c.pixel("from"), d = c.pixel("d");
      if (shows(from.first, from.second, d.first, d.second))
        got.push_back(std::to_string(from.first) + "," + std::to_string(from.second) + "+" +
                      std::to_string(d.first) + "," + std::to_string(d.second));
    }
    ASSERT_EQ(got, want) << trial;
    ASSERT_LE(b.drawing().size(), 4u * (area.first + area.second + 4)) << trial;
    if (r.width() > 0) {
      ASSERT_EQ(kid.drawingPoint(kImage).vector(),
                ccVector<2>(double(r.left() + drawn), double(r.top() + drawn)))
          << trial;
    }
  }
}

TEST(TabletDrawing, PenMovesAndDrawPointArg) {
  Board b;
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 2), ccVector<2>()));
  b.tablet.sketch().erase();
  b.log->clear();
  b.tablet.drawStart(ccPoint(ccVector<2>(5, 6)), kImage);
  EXPECT_EQ(b.image.drawX(), 10);
  EXPECT_EQ(b.image.drawY(), 12);
  EXPECT_EQ(b.tablet.drawingPoint(kImage).vector(), ccVector<2>(5, 6));
  b.tablet.drawTo(ccPoint(ccVector<2>(7, 6)), kRed, kImage);
  b.tablet.drawToRelPels(3, 4, kRed, kImage);
  b.tablet.moveToRelPels(-1, -1, kImage);
  b.tablet.drawToRelPels(ccVector<2>(0, 1), 5.9f, kRed, kImage);
  // drawPointArg() means the pen position: a point plotted there.
  b.tablet.draw(ccUITablet::drawPointArg(), kRed, kImage);
  const auto calls = b.drawing();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].pixel("from"), ccPair<long>(10, 12));
  EXPECT_EQ(calls[0].point("p"), ccVector<2>(14, 12));
  EXPECT_EQ(calls[1].pixel("d"), ccPair<long>(3, 4));
  EXPECT_EQ(calls[2].pixel("from"), ccPair<long>(16, 15));
  EXPECT_EQ(calls[2].pixel("d"), ccPair<long>(0, 5));
  EXPECT_EQ(calls[3].point("p"), ccVector<2>(16, 20));

  const auto ops = operations(b.tablet.sketch());
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{20, 21, 22, 23, 22, 0}));
  EXPECT_EQ(ops[0].penColor(), ccColor());  // index colour 0
  EXPECT_EQ(pointAt(ops[5], 0), ccUITablet::drawPointArg().vector());
  EXPECT_EQ(cfSketchLoadI32(ops[3].payload), -1);
  EXPECT_EQ(cfSketchLoadI32(ops[4].payload + 4), 5);
}

TEST(TabletDrawing, Outline3DDrawsRings) {
  Board b;
  b.tablet.outline3D(ccUIRect(10, 20, 4, 4), kRed, kGreen, 3, kImage);
  const auto calls = b.drawing();
  ASSERT_EQ(calls.size(), 8u);  // two rings of four strokes; the third stops (w = h = -1)
  EXPECT_EQ(calls[0].pixel("from"), ccPair<long>(10, 20));
  EXPECT_EQ(calls[0].pixel("d"), ccPair<long>(3, 0));
  EXPECT_EQ(calls[0].props().penColor(), kRed);
  EXPECT_EQ(calls[1].pixel("d"), ccPair<long>(0, 3));
  EXPECT_EQ(calls[1].props().penColor(), kGreen);
  EXPECT_EQ(calls[2].props().penColor(), kGreen);
  EXPECT_EQ(calls[3].props().penColor(), kRed);
  EXPECT_EQ(calls[4].pixel("from"), ccPair<long>(11, 21));
  EXPECT_EQ(calls[4].pixel("d"), ccPair<long>(1, 0));

  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].opcode, 25);
  EXPECT_EQ(ops[0].payloadSize, 33u);
  EXPECT_EQ(ops[0].payload[0], 1);
  EXPECT_EQ(cfSketchLoadColor(ops[0].payload + 23), kGreen);
  EXPECT_EQ(cfSketchLoadI32(ops[0].payload + 29), 3);

  b.tablet.outline(ccRect(ccVector<2>(1, 1), ccVector<2>(5, 5)), kRed, 1, kImage);
  EXPECT_EQ(operations(b.tablet.sketch())[1].payloadSize, 77u);
}

TEST(TabletDrawing, SetAllDiscardsTheSketchButKeepsTheClipRectangle) {
  Board b;
  const ccRect clip(ccVector<2>(1.5, 2.5), ccVector<2>(10, 10));
  b.tablet.drawClipRect(clip, kOverlay);
  EXPECT_EQ(b.overlay.displayClipRect(), ccUIRect(1, 2, 11, 11));
  b.tablet.draw(ccLineSeg(ccVector<2>(0, 0), ccVector<2>(1, 1)), kRed, kOverlay);
  b.tablet.set(kGreen, kOverlay);
  EXPECT_EQ(b.log->count("setAll"), 1);
  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].opcode, 47);
  EXPECT_EQ(pointAt(ops[0], 0), ccVector<2>(1.5, 2.5));
  EXPECT_EQ(ops[1].opcode, 17);
  EXPECT_EQ(ops[1].payloadSize, 0u);
  EXPECT_EQ(ops[1].penColor(), kGreen);
  // The image layer has no clip rectangle: only the set remains.
  b.tablet.set(kGreen, kImage);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{17}));
}

TEST(TabletDrawing, RectangleFillsInPixels) {
  Board b;
  b.tablet.set(ccUIRect(1, 2, 3, 4), kRed, kImage);
  b.tablet.set(ccRect(ccVector<2>(1.2, 2.7), ccVector<2>(3, 4)), kRed, kImage);
  b.tablet.setComplement(ccUIRect(100, 100, 200, 100), kGreen, kImage);
  b.tablet.fill(ccPair<long>(5, 6), kRed, kGreen, ccUITablet::eFillToBorder, kImage);
  b.tablet.fill(ccPoint(ccVector<2>(5.5, 6.5)), kRed, kGreen, ccUITablet::eFillSurface, kImage);
  const auto calls = b.drawing();
  ASSERT_EQ(calls.size(), 8u);
  EXPECT_EQ(calls[0].rect("rect"), ccUIRect(1, 2, 3, 4));
  EXPECT_EQ(calls[1].rect("rect"), ccUIRect(1, 2, 3, 4));
  EXPECT_EQ(calls[2].rect("rect"), ccUIRect(0, 0, 640, 100));
  EXPECT_EQ(calls[3].rect("rect"), ccUIRect(0, 200, 640, 280));
  EXPECT_EQ(calls[4].rect("rect"), ccUIRect(0, 100, 100, 100));
  EXPECT_EQ(calls[5].rect("rect"), ccUIRect(300, 100, 340, 100));
  EXPECT_TRUE(calls[6].flag("bounded"));
  EXPECT_EQ(calls[7].pixel("pixel"), ccPair<long>(5, 6));
  EXPECT_FALSE(calls[7].flag("bounded"));

  const auto ops = operations(b.tablet.sketch());
  std::vector<std::size_t> sizes;
  for (const auto& op : ops) sizes.push_back(op.payloadSize);
  EXPECT_EQ(opcodes(b.tablet.sketch()), (std::vector<int>{16, 16, 18, 19, 19}));
  EXPECT_EQ(sizes, (std::vector<std::size_t>{17, 61, 17, 19, 27}));
  EXPECT_EQ(cfSketchLoadRectImage(ops[1].payload + 1),
            ccRect(ccVector<2>(1.2, 2.7), ccVector<2>(3, 4)));
}

TEST(TabletDrawing, TextIsDrawnAtTheMappedPointAndRecordedWithItsTerminator) {
  Board b;
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), ccVector<2>(3, 4)));
  b.tablet.sketch().erase();
  b.log->clear();
  const ccUIFormat f(-1, ccUIFormat::eCenter);
  b.tablet.draw(std::string("ab"), ccPoint(ccVector<2>(10, 10)), kRed, kGreen, f, kOverlay);
  ASSERT_EQ(b.log->count("drawText"), 1);
  EXPECT_EQ(b.log->last().point("at"), ccVector<2>(13, 14));
  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].opcode, 11);
  EXPECT_EQ(ops[0].payloadSize, 33u);
  EXPECT_EQ(ops[0].penColor(), kRed);
  EXPECT_EQ(cfSketchLoadColor(ops[0].payload + 16), kGreen);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ops[0].payload + 30)), "ab");

  ccUIRect r;
  b.tablet.textRect("abc", ccPoint(ccVector<2>(0, 0)), ccUIFormat(-1, ccUIFormat::eTopLeft), r,
                    kOverlay);
  EXPECT_EQ(r, ccUIRect(3, 4, 24, 16));
  EXPECT_EQ(operations(b.tablet.sketch()).size(), 1u);  // nothing recorded
}

TEST(TabletDrawing, ZoomedTabletScalesTheMap) {
  Board b;
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), ccVector<2>(1, 1)));
  b.tablet.scaleExact(ccPair<double>(2.0, 3.0));
  b.tablet.sketch().erase();
  b.log->clear();
  b.tablet.draw(ccLineSeg(ccVector<2>(0, 0), ccVector<2>(10, 10)), kRed, kImage);
  EXPECT_EQ(b.log->last().point("p1"), ccVector<2>(2, 3));  // base map first, then zoom
  EXPECT_EQ(b.log->last().point("p2"), ccVector<2>(22, 33));
  EXPECT_EQ(pointAt(operations(b.tablet.sketch())[0], 16), ccVector<2>(10, 10));
}

TEST(TabletDrawing, GenericShapesRecordTagAndData) {
  Board b;
  const ccGenShapeRoundedPolygon shape;
  b.tablet.draw(static_cast<const ccGenShape&>(shape), kRed, kOverlay);
  EXPECT_EQ(b.log->count("draw"), 1);
  std::vector<unsigned char> data;
  shape.saveData(data);
  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].opcode, 33);
  EXPECT_EQ(ops[0].payloadSize, 26u + data.size());
  EXPECT_EQ(cfSketchLoadColor(ops[0].payload), kRed);
  EXPECT_EQ(ccGenShape::tagShapeID::fromBytes(ops[0].payload + 6), shape.tag());
}

}  // namespace
