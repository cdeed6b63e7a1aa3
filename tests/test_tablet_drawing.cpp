// Tablet drawing observed through the trace scope: which scope slot receives which mapped
// geometry and props, and which operations are recorded (with or without a props prefix), for
// every shape form and the drawing states. The calls and opcodes of each case are frozen in
// tests/data/tablet-drawing.trace; their payload bytes are frozen by the sketch format files
// and checked by replay against direct drawing (test_sketch_playback).
#include <core/mappedshape.h>
#include <core/shapetree.h>
#include <dispc/nullscope.h>

#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using V = ccVector<2>;

struct Case {
  const char* name;
  std::function<void(Board&)> draw;
  ccXform<2> map = ccXform<2>();  // the tablet's base map, set before the log starts
};

const ccLineSeg kSeg(V(0, 0), V(5, 5));
const ccEllipseAnnulusSection kSection(ccEllipseAnnulus(ccEllipse(V(100, 100), V(40, 20)), 0.5),
                                       ccRadian(0), ccRadian(1.0));
const ccBezierCurve kCurve(V(0, 0), V(10, 30), V(30, 30), V(40, 0));
const ccShapePtrh kSegA(new ccLineSeg(V(0, 0), V(10, 0)));
const ccShapePtrh kSegB(new ccLineSeg(V(20, 0), V(20, 10)));

const Case kCases[] = {
    {"every operation", [](Board& b) { drawEveryOperation(b.tablet); },
     ccXform<2>(ccMatrix<2>(2, 0, 0, 1.5), V(7, -3))},
    // The colour forms decide on the prefix without building props: a prefix exactly where the
    // props change, the fill of a circle included, as with equal props given in full.
    {"prefixes where the props change",
     [](Board& b) {
       const ccCircle c(V(5, 5), 2);
       b.tablet.draw(kSeg, ccGraphicProps(kRed, 3), kImage);
       b.tablet.draw(kSeg, kRed, kImage);
       b.tablet.draw(kSeg, kRed, kImage);
       b.tablet.draw(kSeg, ccGraphicProps(kRed, 1), kImage);
       b.tablet.draw(c, kRed, kImage, true);
       b.tablet.draw(c, kRed, kImage, true);
       b.tablet.draw(c, kRed, kImage);
       b.tablet.draw(ccPoint(V(1, 2)), kGreen, kImage);
       b.tablet.draw(ccPolygon(std::vector<V>{{0, 0}, {4, 0}, {0, 4}}), kGreen, kImage);
       b.tablet.draw(kSeg, ccGraphicProps(), kImage);
       b.tablet.draw(kSeg, ccGraphicProps(), kImage);
     }},
    {"drawing off records only",
     [](Board& b) {
       b.tablet.drawOn() = false;
       b.tablet.draw(kSeg, kRed, kImage);
       b.tablet.draw(ccCircle(V(3, 3), 2), kRed, kOverlay);
     }},
    {"hidden records only",
     [](Board& b) {
       b.tablet.visible(false);
       b.tablet.draw(kSeg, kRed, kImage);
     }},
    {"overlay off draws the image layer",
     [](Board& b) {
       b.tablet.drawOnOverlay() = false;
       b.tablet.draw(kSeg, kRed, kOverlay);
       b.tablet.draw(kSeg, kRed, kImage);
     }},
    {"recording off draws only",
     [](Board& b) {
       b.tablet.recordOn() = false;
       b.tablet.draw(kSeg, kRed, kImage);
     }},
    {"off-screen scope draws while changes are collected",
     [](Board& b) {
       b.image.offScreen(true);
       b.tablet.draw(kSeg, kRed, kImage);
       b.tablet.recordChanges(true);
       b.tablet.draw(kSeg, kGreen, kImage);
     }},
    {"annulus: its circles, or as a general annulus",
     [](Board& b) {
       const ccAnnulus a(V(50, 50), 10, 20);
       b.tablet.draw(a, ccGraphicProps(kRed, 1), kImage);
       b.tablet.draw(a, kRed, kImage);
     }},
    {"rectangle: four strokes, or a polygon filled",
     [](Board& b) {
       b.tablet.draw(ccRect(V(10, 20), V(30, 40)), kRed, kImage);
       b.tablet.draw(ccRect(V(10, 20), V(30, 40)), kRed, kImage, true);
     },
     ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(0.5, 0.5))},
    {"primitive forms build their shapes",
     [](Board& b) {
       const V c(10, 20);
       b.tablet.drawEllipseArc(c, V(4, 2), ccRadian(ccPi / 2), ccRadian(ccPi / 2),
                               ccRadian(ccPi / 2), kRed, kImage);
       b.tablet.drawCircle(c, 3, kRed, kImage, true);
       b.tablet.drawRect(c, V(4, 5), kRed, kImage, true);
       b.tablet.drawLineSeg(c, V(1, 2), kRed, kImage);
       b.tablet.drawGenRect(c, V(3, 1), ccRadian(ccPi / 2), V(0, 0), kRed, kImage);
     }},
    {"a filled square general rectangle is one polygon",
     [](Board& b) {
       b.tablet.draw(ccGenRect(V(10, 10), V(3, 2), ccRadian(0.4), V(0, 0)), kRed, kImage, true);
     },
     ccXform<2>(ccMatrix<2>(2, 0, 0, 2), V(1, 0))},
    {"general rectangles: quad, ellipse, rounded; general annulus inner first",
     [](Board& b) {
       const V c(100, 100), half(20, 10);
       b.tablet.draw(ccGenRect(c, half, ccRadian(0), V(0, 0)), kRed, kImage);
       b.tablet.draw(ccGenRect(c, half, ccRadian(0), V(1, 1)), kRed, kImage);
       b.tablet.draw(ccGenRect(c, half, ccRadian(0.3), V(0.5, 0.2)), kRed, kImage, true);
       b.tablet.draw(ccGenAnnulus(ccGenRect(c, half, ccRadian(0), V(0.5, 0.5)),
                                  ccGenRect(c, half * 2.0, ccRadian(0), V(0.5, 0.5))),
                     kRed, kImage);
     }},
    {"polylines, polygons and affine rectangles",
     [](Board& b) {
       const std::vector<V> v = {{1, 2}, {3, 4}, {5, 7}};
       b.tablet.draw(ccPolyline(v, true), kRed, kImage);
       b.tablet.draw(ccPolygon(v, ccPolygon::eFillWinding), kRed, kImage);
       b.tablet.draw(ccPolygon(), kRed, kImage);
       b.tablet.draw(ccAffineRectangle(V(0, 0), V(10, 0), V(2, 5)), kRed, kImage, true);
     }},
    {"point sets: circle and segment, then thin solid points",
     [](Board& b) {
       b.tablet.draw(ccPointSet({{10, 10}, {13, 14}, {20, 20}}),
                     ccGraphicProps(kRed, 5, ccGraphicProps::eDash, true), kOverlay);
       b.tablet.draw(ccPointSet({{1, 1}}), kRed, kOverlay);
     }},
    {"segment sets",
     [](Board& b) {
       ccLineSegSet set;
       set.segments({ccLineSeg(V(0, 0), V(1, 1)), ccLineSeg(V(2, 2), V(3, 3))});
       b.tablet.draw(set, kRed, kImage);
     }},
    // Vertical, horizontal, oblique out through the bottom, and the oblique run leftwards.
    {"infinite lines clipped to the scope",
     [](Board& b) {
       b.tablet.draw(ccLine(V(0, 1), V(100, 50)), kRed, kImage);
       b.tablet.draw(ccLine(V(1, 0), V(7, 30)), kRed, kImage);
       b.tablet.draw(ccLine(V(1, 1), V(0, 0)), kRed, kImage);
       b.tablet.draw(ccLine(V(-1, -1), V(0, 0)), kRed, kImage);
     }},
    // Arms of trunc(10 cos 30) = 8 and trunc(10 sin 30) pels.
    {"cross to the pel",
     [](Board& b) { b.tablet.draw(ccCross(V(50, 60), ccRadian(ccPi / 6), 10), kRed, kImage); }},
    // dir + side = (1, 0.5) normalised times -10: arms of (-8, -4) and (-8, 4); the pen ends at
    // the tip.
    {"arrowhead arms run back from the tip",
     [](Board& b) {
       b.tablet.arrowHead(ccPoint(V(100, 100)), V(1, 0), 10.0f, ccGraphicProps(kRed, 2), kImage);
       b.tablet.drawToRelPels(1, 0, kRed, kImage);
     }},
    {"coordinate axes, and degenerate ones without arrowheads",
     [](Board& b) {
       b.tablet.draw(ccCoordAxes(V(10, 10), V(50, 10), V(10, 50)), kRed, kImage);
       b.tablet.draw(ccCoordAxes(V(1, 1), V(1, 1), V(1, 5)), kRed, kImage);
     }},
    {"curves sampled into polylines",
     [](Board& b) {
       b.tablet.draw(kCurve, kRed, kImage);
       b.tablet.draw(
           ccCubicSpline({kCurve, ccBezierCurve(V(40, 0), V(50, -30), V(60, -30), V(70, 0))}), kRed,
           kImage);
       // Beside the 640-pel scope a curve draws nothing (and records); within a wide pen's
       // reach of it, it draws.
       b.tablet.draw(ccBezierCurve(V(650, 10), V(660, 40), V(680, 40), V(690, 10)), kRed, kImage);
       b.tablet.draw(ccBezierCurve(V(645, 10), V(660, 40), V(680, 40), V(690, 10)),
                     ccGraphicProps(kRed, 10), kImage);
     }},
    {"annulus sections with and without arrowheads, and a full turn",
     [](Board& b) {
       b.tablet.draw(kSection, kRed, kImage);
       b.tablet.draw(kSection, kRed, kImage, false, true);
       b.tablet.draw(kSection, kRed, kImage, true, false);
       b.tablet.draw(ccEllipseAnnulusSection(kSection.annulus(), ccRadian(0), ccRadian(2 * ccPi)),
                     kRed, kImage, false, false);
     }},
    // A closed contour joins its gaps and closes; an open one does not close. A linearly
    // mapped shape draws mapped; a circle under a skew as the ellipse it becomes, an ellipse
    // under a map not at all; other classes draw nothing, whatever overloads exist.
    {"general shapes",
     [](Board& b) {
       b.tablet.draw(static_cast<const ccShape&>(ccContourTree({kSegA, kSegB}, true)), kRed,
                     kImage);
       b.tablet.draw(static_cast<const ccShape&>(ccContourTree({kSegA, kSegB}, false)), kRed,
                     kImage);
       const ccPtrHandle<cc2XformBase> shift(
           new cc2XformLinear(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(5, 5))));
       b.tablet.draw(static_cast<const ccShape&>(ccMappedShape(kSegA, shift)), kRed, kImage);
       const ccPtrHandle<cc2XformBase> skew(
           new cc2XformLinear(ccXform<2>(ccMatrix<2>(1, 1, 0, 1), V())));
       const ccEllipse e(V(1, 1), V(2, 1), ccRadian(0));
       const ccShapePtrh shapes[] = {ccShapePtrh(new ccCircle(V(1, 1), 1)),
                                     ccShapePtrh(new ccEllipse(e)),
                                     ccShapePtrh(new ccPoint(1, 1)),
                                     ccShapePtrh(new ccEllipseArc(e, ccRadian(0), ccRadian(1))),
                                     ccShapePtrh(new ccPolygon({{0, 0}, {1, 0}, {1, 1}})),
                                     ccShapePtrh(new ccCross(V(1, 1), ccRadian(0), 3)),
                                     ccShapePtrh(new ccCoordAxes(V(0, 0), V(1, 0), V(0, 1))),
                                     ccShapePtrh(new ccPointSet({{0, 0}, {1, 1}})),
                                     ccShapePtrh(new ccEllipseAnnulusSection()),
                                     ccShapePtrh(new ccFLine())};
       for (const ccShapePtrh& shape : shapes) b.tablet.draw(*shape, kRed, kImage);
       for (int i : {0, 1})
         b.tablet.draw(static_cast<const ccShape&>(ccMappedShape(shapes[i], skew)), kRed, kImage);
     }},
    {"pen moves and a point at the pen",
     [](Board& b) {
       b.tablet.drawStart(ccPoint(V(5, 6)), kImage);
       EXPECT_EQ(b.tablet.drawingPoint(kImage).vector(), V(5, 6));
       b.tablet.drawTo(ccPoint(V(7, 6)), kRed, kImage);
       b.tablet.drawToRelPels(3, 4, kRed, kImage);
       b.tablet.moveToRelPels(-1, -1, kImage);
       b.tablet.drawToRelPels(V(0, 1), 5.9f, kRed, kImage);
       b.tablet.draw(ccUITablet::drawPointArg(), kRed, kImage);
     },
     ccXform<2>(ccMatrix<2>(2, 0, 0, 2), V())},
    // Rings of four strokes, light on the top and left; the third ring has no size left.
    {"3D outlines",
     [](Board& b) {
       b.tablet.outline3D(ccUIRect(10, 20, 4, 4), kRed, kGreen, 3, kImage);
       b.tablet.outline(ccRect(V(1, 1), V(5, 5)), kRed, 1, kImage);
     }},
    // Setting a whole layer discards the recording; the overlay keeps its clip rectangle.
    {"set all on the overlay keeps its clip rectangle",
     [](Board& b) {
       b.tablet.drawClipRect(ccRect(V(1.5, 2.5), V(10, 10)), kOverlay);
       b.tablet.draw(ccLineSeg(V(0, 0), V(1, 1)), kRed, kImage);
       b.tablet.set(kGreen, kOverlay);
     }},
    {"set all on the image layer keeps nothing",
     [](Board& b) {
       b.tablet.drawClipRect(ccRect(V(1.5, 2.5), V(10, 10)), kOverlay);
       b.tablet.set(kGreen, kImage);
     }},
    {"rectangles set and filled in pels",
     [](Board& b) {
       b.tablet.set(ccUIRect(1, 2, 3, 4), kRed, kImage);
       b.tablet.set(ccRect(V(1.2, 2.7), V(3, 4)), kRed, kImage);
       b.tablet.setComplement(ccUIRect(100, 100, 200, 100), kGreen, kImage);
       b.tablet.fill(ccPair<long>(5, 6), kRed, kGreen, ccUITablet::eFillToBorder, kImage);
       b.tablet.fill(ccPoint(V(5.5, 6.5)), kRed, kGreen, ccUITablet::eFillSurface, kImage);
     }},
    {"text at the mapped point; measuring records nothing",
     [](Board& b) {
       b.tablet.draw(std::string("ab"), ccPoint(V(10, 10)), kRed, kGreen,
                     ccUIFormat(-1, ccUIFormat::eCenter), kOverlay);
       ccUIRect r;
       b.tablet.textRect("abc", ccPoint(V(0, 0)), ccUIFormat(-1, ccUIFormat::eTopLeft), r,
                         kOverlay);
       EXPECT_EQ(r, ccUIRect(3, 4, 24, 16));
     },
     ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(3, 4))},
    {"zoom after the base map",
     [](Board& b) {
       b.tablet.scaleExact(ccPair<double>(2.0, 3.0));
       b.log->clear();
       b.tablet.draw(ccLineSeg(V(0, 0), V(10, 10)), kRed, kImage);
     },
     ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(1, 1))},
    // Images: at 1:1, enlarged (with the interpolation), reduced by a scale or by whole divisors;
    // every pel type (only 8-bit and run-length images are recorded); the point icon centred on
    // its point.
    {"images in each scale mode",
     [](Board& b) {
       ccPelBuffer<unsigned char> img(4, 3);
       for (long y = 0; y < 3; ++y)
         for (long x = 0; x < 4; ++x) img.set(x, y, static_cast<unsigned char>(10 * y + x));
       const ccPoint at(V(2, 3));
       b.tablet.draw(img, at, true, 7, false, kImage);
       b.tablet.scaleExact(ccPair<double>(2.0, 3.0));
       b.tablet.interpolation(ccUITablet::eBilinearInterpolation);
       b.tablet.draw(img, at, true, 7, true, kImage);
       b.tablet.scaleExact(ccPair<double>(0.5, 0.25));
       b.tablet.draw(img, at, false, 0, false, kImage);
       b.tablet.scale(ccPair<long>(2, 4));
       b.tablet.draw(img, at, false, 0, false, kImage);
     }},
    {"every pel type",
     [](Board& b) {
       const ccPoint at(V(0, 0));
       b.tablet.draw(ccPelBuffer<unsigned short>(2, 2), at, false, 0, kImage);
       b.tablet.draw(ccPelBuffer<ccPackedRGB16Pel>(2, 2), at, false, 0, kImage);
       b.tablet.draw(ccPelBuffer<ccPackedRGB32Pel>(2, 2), at, true, 5, kOverlay);
       b.tablet.scaleExact(ccPair<double>(3.0, 3.0));
       b.tablet.draw(ccPelBuffer<ccPackedRGB32Pel>(2, 2), at, true, 5, kOverlay);
     }},
    {"generic shapes",
     [](Board& b) {
       b.tablet.draw(static_cast<const ccGenShape&>(ccGenShapeRoundedPolygon()), kRed, kOverlay);
     }},
    // Layers other than the two draw nothing but record (set() starts the sketch afresh); only
    // the queries of a layer's pen or scope throw. Replayed on both layers, they draw nothing.
    {"other layers record only",
     [](Board& b) {
       for (int other : {-1, 2, 7}) {
         const Layer l = static_cast<Layer>(other);
         b.tablet.set(kRed, l);
         b.tablet.draw(kSeg, kRed, l);
         b.tablet.drawStart(ccPoint(V(1, 1)), l);
         b.tablet.draw(ccBezierCurve(V(0, 0), V(1, 2), V(3, 2), V(4, 0)), kRed, l);
         b.tablet.draw(ccPelBuffer<unsigned char>(2, 2), ccPoint(0, 0), false, 0, false, l);
         EXPECT_THROW(b.tablet.drawingPoint(l), ccUIError::BadLayer);
         ccUIRect r;
         EXPECT_THROW(b.tablet.textRect("x", ccPoint(0, 0), ccUIFormat(), r, l),
                      ccUIError::BadLayer);
       }
       EXPECT_THROW(b.tablet.drawClipRect(ccRect(V(), V(1, 1)), static_cast<Layer>(3)),
                    ccUIError::BadLayer);
       b.tablet.draw(ccUISketch(b.tablet.sketch()), ccPoint(0, 0), kBoth);
     }},
};

TEST(TabletDrawing, EveryFormDrawsAndRecordsAsFrozen) {
  std::string text;
  for (const Case& c : kCases) {
    Board b;
    b.tablet.baseMap(c.map);
    b.tablet.sketch().erase();
    b.log->clear();
    c.draw(b);
    text += std::string("== ") + c.name + "\n";
    for (const std::string& line : b.lines()) text += line + "\n";
    text += "recorded:";
    for (const ccSketchOperation& op : operations(b.tablet.sketch()))
      text +=
          (op.hasProps() ? " +" : " ") + std::to_string(op.opcode) + "/" + std::to_string(op.layer);
    text += "\n";
  }
  EXPECT_TRUE(matchesGoldenText(text, "tablet-drawing.trace"));
}

// A child tablet over null scopes draws nothing, but its pens move and it records as over trace
// scopes, also replaying its own recording; its null sub-scopes are placed as the trace ones.
TEST(TabletDrawing, NullScopesMoveThePensAndRecordAsTraceScopes) {
  Board traced;
  ccNullScope image(ccUIRect(0, 0, 640, 480)), overlay(ccUIRect(0, 0, 640, 480));
  ccUITablet nulls(&image, &overlay);
  nulls.visible(true);
  std::vector<std::string> seen[2];
  for (ccUITablet* root : {&traced.tablet, &nulls}) {
    ccUITablet kid(*root, ccUIRect(5, 7, 100, 90));
    kid.visible(true);
    kid.recordOn() = true;
    drawEveryOperation(kid);
    kid.draw(ccUISketch(kid.sketch()), ccPoint(3, 4), kBoth);
    kid.draw(static_cast<const ccGenShape&>(ccGenShapeRoundedPolygon()), kRed, kOverlay);
    kid.dragStart(kOverlay);  // drags draw nothing and leave the pens
    kid.dragAnimate(true, kOverlay);
    kid.dragErase(kOverlay);
    kid.dragStop(kOverlay);
    auto& v = seen[root == &nulls];
    for (Layer l : {kImage, kOverlay}) {
      const ccPoint pen = kid.drawingPoint(l);
      v.push_back(std::to_string(pen.x()) + "," + std::to_string(pen.y()) + " " +
                  std::to_string(kid.activeScope(l).width()) + "x" +
                  std::to_string(kid.activeScope(l).height()));
    }
    v.push_back(std::to_string(bytesOf(kid.sketch()).size()));
  }
  EXPECT_EQ(seen[1], seen[0]);
}

// A curve far bigger than the scope is sampled only where it can show: pieces off the scope are
// their chords, and every drawn segment on the scope stays within a pel of the curve.
TEST(TabletDrawing, HugeCurvesAreSampledOnlyWhereTheyShow) {
  Board b;
  const ccBezierCurve huge(V(-4e8, 3e8), V(3e8, -5e8), V(-2e8, -1e8),
                           V(100002560, 1500001920));  // through (320, 240) at t = 0.5
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
    const V p = huge.point(0.5 + k * 1e-9);
    if (p.x() < 0 || p.y() < 0 || p.x() > 640 || p.y() > 480) continue;
    ++onScope;
    double gap = 1e300;
    for (long i = 0; i + 1 < clipped.numVertices(); ++i)
      gap = std::min(gap, ccLineSeg(clipped.vertex(i), clipped.vertex(i + 1)).distanceToPoint(p));
    EXPECT_LE(gap, 1.0) << k;
  }
  EXPECT_GT(onScope, 100);
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
                V(double(r.left() + drawn), double(r.top() + drawn)))
          << trial;
    }
  }
}

}  // namespace
