// Tablets over trace scopes. Drawing: which scope slot receives which mapped geometry and props,
// and which operations are recorded (with or without a props prefix), for every shape form and
// the drawing states; the calls and opcodes of each case are frozen in
// tests/data/tablet-drawing.trace, their payload bytes by the sketch format files and checked by
// replay against direct drawing (test_sketch_playback). Icon patterns and their hit tests. The
// tablet tree: scopes and ownership, zoom, visibility counting, redraw hooks, change reports,
// updates of overlapping tablets with time stamps, stacking, erasing, and kids that outlive their
// parent.
#include <core/mappedshape.h>
#include <core/shapetree.h>
#include <dispc/nullscope.h>

#include "assertcounter.h"
#include "drawingsamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using V = ccVector<2>;
using P = ccPair<long>;

struct Case {
  const char* name;
  std::function<void(ccUITablet&, Board&)> draw;
  ccXform<2> map = ccXform<2>();  // the tablet's base map, set before the log starts
};

const ccLineSeg kSeg(V(0, 0), V(5, 5));
const ccEllipseAnnulusSection kSection(ccEllipseAnnulus(ccEllipse(V(100, 100), V(40, 20)), 0.5),
                                       ccRadian(0), ccRadian(1.0));
const ccShapePtrh kSegA(new ccLineSeg(V(0, 0), V(10, 0)));
const ccShapePtrh kSegB(new ccLineSeg(V(20, 0), V(20, 10)));

const Case kCases[] = {
    {"every operation", [](ccUITablet& t, Board&) { drawEveryOperation(t); },
     ccXform<2>(ccMatrix<2>(2, 0, 0, 1.5), V(7, -3))},
    // The colour forms decide on the prefix without building props: a prefix exactly where the
    // props change, the fill of a circle included, as with equal props given in full.
    {"prefixes where the props change",
     [](ccUITablet& t, Board&) {
       const ccCircle c(V(5, 5), 2);
       t.draw(kSeg, ccGraphicProps(kRed, 3), kImage);
       t.draw(kSeg, kRed, kImage);
       t.draw(kSeg, kRed, kImage);
       t.draw(kSeg, ccGraphicProps(kRed, 1), kImage);
       t.draw(c, kRed, kImage, true);
       t.draw(c, kRed, kImage, true);
       t.draw(c, kRed, kImage);
       t.draw(ccPoint(V(1, 2)), kGreen, kImage);
       t.draw(ccPolygon(std::vector<V>{{0, 0}, {4, 0}, {0, 4}}), kGreen, kImage);
       t.draw(kSeg, ccGraphicProps(), kImage);
       t.draw(kSeg, ccGraphicProps(), kImage);
     }},
    // Hidden or drawing off: recorded only; overlay off: the overlay layer draws nothing;
    // recording off: drawn only; an off-screen scope draws while changes are collected.
    {"drawing states",
     [](ccUITablet& t, Board& b) {
       t.visible(false);
       t.draw(kSeg, kRed, kImage);
       t.visible(true);
       t.drawOn() = false;
       t.draw(kSeg, kRed, kImage);
       t.draw(ccCircle(V(3, 3), 2), kRed, kOverlay);
       t.drawOn() = true;
       t.drawOnOverlay() = false;
       t.draw(kSeg, kRed, kOverlay);
       t.draw(kSeg, kGreen, kImage);
       t.drawOnOverlay() = true;
       t.recordOn() = false;
       t.draw(kSeg, kRed, kImage);
       t.recordOn() = true;
       b.image.offScreen(true);
       t.draw(kSeg, kRed, kImage);
       t.recordChanges(true);
       t.draw(kSeg, kGreen, kImage);
     }},
    // A rectangle is four strokes, or a polygon filled; so is a filled square general rectangle.
    {"rectangles",
     [](ccUITablet& t, Board&) {
       t.draw(ccRect(V(10, 20), V(30, 40)), kRed, kImage);
       t.draw(ccRect(V(10, 20), V(30, 40)), kRed, kImage, true);
       t.draw(ccGenRect(V(10, 10), V(3, 2), ccRadian(0.4), V(0, 0)), kRed, kImage, true);
     },
     ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(0.5, 0.5))},
    // Annuli as their circles, or as general annuli; the primitive forms; general rectangles as
    // quads, ellipses or rounded, general annuli inner first; an empty polygon; point sets as
    // circles and segments, or thin solid points; segment sets; infinite lines clipped to the
    // scope (vertical, horizontal, oblique out through the bottom, and the oblique run
    // leftwards); arrowhead arms running back from the tip (dir + side = (1, 0.5) normalised
    // times -10: arms of (-8, -4) and (-8, 4)), the pen ending at the tip; degenerate axes
    // without arrowheads; curves beside the 640-pel scope draw nothing (and record), within a
    // wide pen's reach of it they draw; annulus sections with a backward arrowhead, and a full
    // turn; 3D outlines as rings of four strokes, light on the top and left (the third ring has
    // no size left), and plain outlines.
    {"shape forms",
     [](ccUITablet& t, Board&) {
       const ccAnnulus a(V(50, 50), 10, 20);
       t.draw(a, ccGraphicProps(kRed, 1), kImage);
       t.draw(a, kRed, kImage);
       const V c(10, 20), half(20, 10);
       t.drawEllipseArc(c, V(4, 2), ccRadian(ccPi / 2), ccRadian(ccPi / 2), ccRadian(ccPi / 2),
                        kRed, kImage);
       t.drawCircle(c, 3, kRed, kImage, true);
       t.drawRect(c, V(4, 5), kRed, kImage, true);
       t.drawLineSeg(c, V(1, 2), kRed, kImage);
       t.drawGenRect(c, V(3, 1), ccRadian(ccPi / 2), V(0, 0), kRed, kImage);
       t.draw(ccGenRect(c, half, ccRadian(0), V(0, 0)), kRed, kImage);
       t.draw(ccGenRect(c, half, ccRadian(0), V(1, 1)), kRed, kImage);
       t.draw(ccGenRect(c, half, ccRadian(0.3), V(0.5, 0.2)), kRed, kImage, true);
       t.draw(ccGenAnnulus(ccGenRect(c, half, ccRadian(0), V(0.5, 0.5)),
                           ccGenRect(c, half * 2.0, ccRadian(0), V(0.5, 0.5))),
              kRed, kImage);
       t.draw(ccPolygon(), kRed, kImage);
       t.draw(ccPointSet({{10, 10}, {13, 14}, {20, 20}}),
              ccGraphicProps(kRed, 5, ccGraphicProps::eDash, true), kOverlay);
       t.draw(ccPointSet({{1, 1}}), kRed, kOverlay);
       t.draw(ccLineSegSet({ccLineSeg(V(0, 0), V(1, 1)), ccLineSeg(V(2, 2), V(3, 3))}), kRed,
              kImage);
       t.draw(ccLine(V(0, 1), V(100, 50)), kRed, kImage);
       t.draw(ccLine(V(1, 0), V(7, 30)), kRed, kImage);
       t.draw(ccLine(V(1, 1), V(0, 0)), kRed, kImage);
       t.draw(ccLine(V(-1, -1), V(0, 0)), kRed, kImage);
       t.arrowHead(ccPoint(V(100, 100)), V(1, 0), 10.0f, ccGraphicProps(kRed, 2), kImage);
       t.drawToRelPels(1, 0, kRed, kImage);
       t.draw(ccCoordAxes(V(1, 1), V(1, 1), V(1, 5)), kRed, kImage);
       t.draw(ccBezierCurve(V(650, 10), V(660, 40), V(680, 40), V(690, 10)), kRed, kImage);
       t.draw(ccBezierCurve(V(645, 10), V(660, 40), V(680, 40), V(690, 10)),
              ccGraphicProps(kRed, 10), kImage);
       t.draw(kSection, kRed, kImage, false, true);
       t.draw(ccEllipseAnnulusSection(kSection.annulus(), ccRadian(0), ccRadian(2 * ccPi)), kRed,
              kImage, false, false);
       t.outline3D(ccUIRect(10, 20, 4, 4), kRed, kGreen, 3, kImage);
       t.outline(ccRect(V(1, 1), V(5, 5)), kRed, 1, kImage);
     }},
    // A closed contour joins its gaps and closes; an open one does not close. A linearly
    // mapped shape draws mapped; a circle under a skew as the ellipse it becomes, an ellipse
    // under a map not at all; other classes draw nothing, whatever overloads exist.
    {"general shapes",
     [](ccUITablet& t, Board&) {
       t.draw(static_cast<const ccShape&>(ccContourTree({kSegA, kSegB}, true)), kRed, kImage);
       t.draw(static_cast<const ccShape&>(ccContourTree({kSegA, kSegB}, false)), kRed, kImage);
       const ccPtrHandle<cc2XformBase> shift(
           new cc2XformLinear(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(5, 5))));
       t.draw(static_cast<const ccShape&>(ccMappedShape(kSegA, shift)), kRed, kImage);
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
       for (const ccShapePtrh& shape : shapes) t.draw(*shape, kRed, kImage);
       for (int i : {0, 1})
         t.draw(static_cast<const ccShape&>(ccMappedShape(shapes[i], skew)), kRed, kImage);
     }},
    {"pen moves and a point at the pen",
     [](ccUITablet& t, Board&) {
       t.drawStart(ccPoint(V(5, 6)), kImage);
       EXPECT_EQ(t.drawingPoint(kImage).vector(), V(5, 6));
       t.drawTo(ccPoint(V(7, 6)), kRed, kImage);
       t.drawToRelPels(3, 4, kRed, kImage);
       t.moveToRelPels(-1, -1, kImage);
       t.drawToRelPels(V(0, 1), 5.9f, kRed, kImage);
       t.draw(ccUITablet::drawPointArg(), kRed, kImage);
     },
     ccXform<2>(ccMatrix<2>(2, 0, 0, 2), V())},
    // Setting a whole layer discards the recording; the overlay keeps its clip rectangle.
    {"set all on the overlay keeps its clip rectangle",
     [](ccUITablet& t, Board&) {
       t.drawClipRect(ccRect(V(1.5, 2.5), V(10, 10)), kOverlay);
       t.draw(ccLineSeg(V(0, 0), V(1, 1)), kRed, kImage);
       t.set(kGreen, kOverlay);
     }},
    {"set all on the image layer keeps nothing",
     [](ccUITablet& t, Board&) {
       t.drawClipRect(ccRect(V(1.5, 2.5), V(10, 10)), kOverlay);
       t.set(kGreen, kImage);
     }},
    // Measuring text records nothing; a zoom applies after the base map.
    {"measuring text, zoom after the base map",
     [](ccUITablet& t, Board& b) {
       ccUIRect r;
       t.textRect("abc", ccPoint(V(0, 0)), ccUIFormat(-1, ccUIFormat::eTopLeft), r, kOverlay);
       EXPECT_EQ(r, ccUIRect(1, 1, 24, 16));
       t.scaleExact(ccPair<double>(2.0, 3.0));
       b.log->clear();
       t.draw(ccLineSeg(V(0, 0), V(10, 10)), kRed, kImage);
     },
     ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(1, 1))},
    // Images: at 1:1, enlarged (with the interpolation), reduced by a scale or by whole divisors;
    // every pel type (only 8-bit and run-length images are recorded); the point icon centred on
    // its point.
    {"images in each scale mode, every pel type",
     [](ccUITablet& t, Board&) {
       ccPelBuffer<unsigned char> img(4, 3);
       for (long y = 0; y < 3; ++y)
         for (long x = 0; x < 4; ++x) img.set(x, y, static_cast<unsigned char>(10 * y + x));
       const ccPoint at(V(2, 3));
       t.draw(img, at, true, 7, false, kImage);
       t.draw(ccPelBuffer<unsigned short>(2, 2), at, false, 0, kImage);
       t.draw(ccPelBuffer<ccPackedRGB16Pel>(2, 2), at, false, 0, kImage);
       t.draw(ccPelBuffer<ccPackedRGB32Pel>(2, 2), at, true, 5, kOverlay);
       t.scaleExact(ccPair<double>(2.0, 3.0));
       t.interpolation(ccUITablet::eBilinearInterpolation);
       t.draw(img, at, true, 7, true, kImage);
       t.draw(ccPelBuffer<ccPackedRGB32Pel>(2, 2), at, true, 5, kOverlay);
       t.scaleExact(ccPair<double>(0.5, 0.25));
       t.draw(img, at, false, 0, false, kImage);
       t.scale(P(2, 4));
       t.draw(img, at, false, 0, false, kImage);
     }},
    // Layers other than the two draw nothing but record (set() starts the sketch afresh); only
    // the queries of a layer's pen or scope throw. Replayed on both layers, they draw nothing.
    {"other layers record only",
     [](ccUITablet& t, Board&) {
       for (int other : {-1, 2, 7}) {
         const Layer l = static_cast<Layer>(other);
         t.set(kRed, l);
         t.draw(kSeg, kRed, l);
         t.drawStart(ccPoint(V(1, 1)), l);
         t.draw(ccBezierCurve(V(0, 0), V(1, 2), V(3, 2), V(4, 0)), kRed, l);
         t.draw(ccPelBuffer<unsigned char>(2, 2), ccPoint(0, 0), false, 0, false, l);
         EXPECT_THROW(t.drawingPoint(l), ccUIError::BadLayer);
         ccUIRect r;
         EXPECT_THROW(t.textRect("x", ccPoint(0, 0), ccUIFormat(), r, l), ccUIError::BadLayer);
       }
       EXPECT_THROW(t.drawClipRect(ccRect(V(), V(1, 1)), static_cast<Layer>(3)),
                    ccUIError::BadLayer);
       t.draw(ccUISketch(t.sketch()), ccPoint(0, 0), kBoth);
     }},
};

TEST(TabletDrawing, EveryFormDrawsAndRecordsAsFrozen) {
  std::string text;
  for (const Case& c : kCases) {
    Board b;
    b.tablet.baseMap(c.map);
    b.log->clear();
    c.draw(b.tablet, b);
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
  std::vector<double> seen[2];
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
    std::vector<double>& v = seen[root == &nulls];
    for (Layer l : {kImage, kOverlay})
      v.insert(v.end(), {kid.drawingPoint(l).x(), kid.drawingPoint(l).y(),
                         double(kid.activeScope(l).width()), double(kid.activeScope(l).height())});
    v.push_back(double(kid.sketch().length()));
  }
  EXPECT_EQ(seen[1], seen[0]);
}

// A curve far bigger than the scope is sampled only where it can show: pieces off the scope are
// their chords, and every drawn segment on the scope stays within a pel of the curve.
TEST(TabletDrawing, HugeCurvesAreSampledOnlyWhereTheyShow) {
  Board b;
  const ccBezierCurve huge(V(-4e8, 3e8), V(3e8, -5e8), V(-2e8, -1e8),
                           V(100002560, 1500001920));  // through (320, 240) at t = 0.5
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
    EXPECT_LE(clipped.distanceToPoint(p), 1.0) << k;
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
    const P corner(coord(rng), coord(rng));
    ccUITablet kid(b.tablet, ccUIRect(corner, P(50 + size(rng) % 40, 40)));
    kid.visible(true);
    b.log->clear();
    const ccUIRect r(coord(rng), coord(rng), size(rng), size(rng));
    const long width = trial == 0 ? 2000000000L : rings(rng);
    kid.outline3D(r, kRed, kGreen, width, kImage);
    const P cut(std::max(0L, -corner.first), std::max(0L, -corner.second));
    const P area = kid.activeScope(kImage).sz();
    std::vector<std::vector<long>> want, got;
    auto note = [&](std::vector<std::vector<long>>& v, long x, long y, long dx, long dy) {
      if (std::min(x, x + dx) < area.first && std::max(x, x + dx) >= 0 &&
          std::min(y, y + dy) < area.second && std::max(y, y + dy) >= 0)
        v.push_back({x, y, dx, dy});
    };
    long x = r.left() - cut.first, y = r.top() - cut.second, w = r.width() - 1, h = r.height() - 1,
         drawn = 0;
    for (; drawn < width && w >= 1 && h >= 1; ++drawn, ++x, ++y, w -= 2, h -= 2) {
      note(want, x, y, w, 0);
      note(want, x + w, y, 0, h);
      note(want, x + w, y + h, -w, 0);
      note(want, x, y + h, 0, -h);
    }
    for (const ccTraceCall& c : b.drawing())
      note(got, c.pixel("from").first, c.pixel("from").second, c.pixel("d").first,
           c.pixel("d").second);
    ASSERT_EQ(got, want) << trial;
    ASSERT_LE(b.drawing().size(), 4u * (area.first + area.second + 4)) << trial;
    if (r.width() > 0) {
      ASSERT_EQ(kid.drawingPoint(kImage).vector(), V(r.left() + drawn, r.top() + drawn)) << trial;
    }
  }
}

TEST(IconPatterns, PatternsDecodeAndHitTestsSkipTransparentPels) {
  ccPelBuffer<unsigned char> plain, mapped;
  ccUITablet::makeIcon("/12/34/", {}).decode(plain);
  EXPECT_EQ(plain.height(), 2);
  EXPECT_EQ(plain.get(1, 0) * 10 + plain.get(0, 1), 23);
  ccUITablet::makeIcon("|10|.+", {9, 8}).decode(mapped);
  const long pass = ccColor::passIndex();
  EXPECT_EQ(
      std::vector<long>({mapped.get(0, 0), mapped.get(1, 0), mapped.get(0, 1), mapped.get(1, 1)}),
      std::vector<long>({8, 9, pass, pass}));
  for (const char* bad : {"/12/3/", "/1x/", "", "//", "/12/345"})
    EXPECT_THROW(ccUITablet::makeIcon(bad, {}), ccUIError::BadIconPattern) << bad;
  EXPECT_THROW(ccUITablet::makeIcon(nullptr, {}), ccUIError::BadIconPattern);

  // The point icon is a '+' 13 pels wide; in "/1 /+./" '.' is transparent, '/' a separator.
  EXPECT_EQ(ccUITablet::pointIcon().width(), 13);
  std::string hits;
  for (const P& p : {P(0, 0), P(-6, -6), P(7, 0), P(-6, 0), P(0, -5), P(0, 7)})
    hits += ccUITablet::pointIconTouched(p) ? '1' : '0';
  for (const P& p : {P(0, 1), P(1, 0), P(1, 1), P(2, 0), P(-1, 0), P(0, -1)})
    hits += ccUITablet::iconTouched("/1 /+./", p) ? '1' : '0';
  EXPECT_EQ(hits,
            "100110"
            "100000");
  EXPECT_FALSE(ccUITablet::iconTouched(nullptr, P(0, 0)));
}

// ---- The tablet tree

// A tablet that counts its hooks and draws one segment across itself on redraw.
class CountingTablet : public ccUITablet {
 public:
  using ccUITablet::ccUITablet;
  using ccUITablet::scopeOf;
  int redraws = 0, moves = 0, resizes = 0;
  ccUIScope* lastRedrawScope = nullptr;
  Layer redrawLayers = kBoth;

 protected:
  void redraw_() override {
    ++redraws;
    lastRedrawScope = scopeOf(kImage);
    redrawLayers = updateLayers();
    draw(ccLineSeg(V(0, 0), V(5, 5)), kRed, kImage);
  }
  void move_() override { ++moves; }
  void resize_() override { ++resizes; }
};

struct Tree {
  std::shared_ptr<ccTraceLog> log = std::make_shared<ccTraceLog>();
  ccTraceScope image{ccUIRect(0, 0, 400, 300), log}, overlay{ccUIRect(0, 0, 400, 300), log};
  CountingTablet root{&image, &overlay};
  Tree() { root.visible(true); }
};

// A kid outlives its parent: without scopes it draws nothing but records, and re-parenting
// brings the scopes back. setScope acts on the root, deletes the scope the root owned and
// rebuilds the chain of sub-scopes.
TEST(TabletTree, KidSurvivesItsParentAndSetScopeRebuildsTheChain) {
  auto log = std::make_shared<ccTraceLog>();
  ccTraceScope image(ccUIRect(0, 0, 100, 100), log);
  auto parent = std::make_unique<ccUITablet>(&image, nullptr);
  ccUITablet kid(*parent, ccUIRect(0, 0, 10, 10)), grandKid(kid, ccUIRect(0, 0, 5, 5));
  for (ccUITablet* t : {parent.get(), &kid, &grandKid}) t->visible(true);
  parent.reset();
  EXPECT_TRUE(kid.parent() == nullptr && grandKid.parent() == &kid);
  EXPECT_TRUE(kid.activeScope(kImage).isNull() && grandKid.activeScope(kImage).isNull());
  log->clear();
  kid.recordOn() = true;
  kid.draw(kSeg, kRed, kImage);
  grandKid.draw(kSeg, kRed, kImage);
  EXPECT_TRUE(log->empty());
  EXPECT_EQ(kid.sketch().length(), 22 + 8 + 32);
  ccUITablet newRoot(&image, nullptr);
  kid.setParent(newRoot, ccUIRect(1, 1, 10, 10));
  EXPECT_EQ(kid.activeScope(kImage), ccUIRect(0, 0, 10, 10));
  EXPECT_EQ(grandKid.activeScope(kImage), ccUIRect(0, 0, 5, 5));
  EXPECT_EQ(grandKid.scopeOrg(), P(1, 1));

  ccUITablet root(nullptr, nullptr);
  root.visible(true);
  ccUITablet other(root, ccUIRect(5, 5, 20, 20));
  EXPECT_TRUE(other.activeScope(kImage).isNull());
  other.setScope(kImage, new ccTraceScope(ccUIRect(0, 0, 100, 100), log), true);
  EXPECT_EQ(root.activeScope(kImage), ccUIRect(0, 0, 100, 100));
  EXPECT_EQ(other.activeScope(kImage), ccUIRect(0, 0, 20, 20));
  EXPECT_EQ(root.scopeRect(), ccUIRect(0, 0, 100, 100));
  log->clear();
  root.setScope(kImage, new ccTraceScope(ccUIRect(0, 0, 100, 100), log), true);
  // The kid's sub-scope (6) and the scope the root owned (5) go; the new scope (7) gets the kid's.
  EXPECT_EQ(log->str(),
            "#6 destroy\n#5 destroy\n#7 newSubScope rect=(5,5 20x20) temporary=false id=8\n"
            "#8 attach parent=7 rect=(5,5 20x20)\n");
  EXPECT_EQ(other.activeScope(kImage), ccUIRect(0, 0, 20, 20));
  EXPECT_THROW(root.setScope(kBoth, nullptr, false), ccUIError::BadLayer);
  root.setScope(kImage, nullptr, false);
  EXPECT_TRUE(other.activeScope(kImage).isNull());
}

TEST(TabletTree, SetParentRefusesCycles) {
  Tree t;
  ccUITablet a(t.root, ccUIRect(0, 0, 50, 50));
  ccUITablet b(a, ccUIRect(0, 0, 10, 10));
  AssertCounter asserts;
  a.setParent(b, ccUIRect(0, 0, 5, 5));
  a.setParent(a, ccUIRect(0, 0, 5, 5));
  EXPECT_EQ(asserts.reports(), 2);
  EXPECT_EQ(a.parent(), &t.root);
  b.setParent(t.root, ccUIRect(60, 60, 10, 10));
  EXPECT_TRUE(b.parent() == &t.root && a.numKids() == 0 && t.root.lastKid() == &b);
  EXPECT_FALSE(b.visible());  // still hidden as before: re-parenting keeps the hide count
}

// Only the show that ends the last hide redraws; showing a visible tablet keeps it visible.
TEST(TabletTree, VisibilityCountsHideRequests) {
  Tree t;
  CountingTablet kid(t.root, ccUIRect(0, 0, 10, 10));
  std::string answers;
  for (bool show : {true, false, false, true, true, true, false}) {
    answers += std::to_string(kid.visible(show));
    answers += std::to_string(kid.redraws);
  }
  EXPECT_EQ(answers, "11110101120212");
  EXPECT_FALSE(kid.visible());
}

TEST(TabletTree, RedrawRunsTheHookWithoutRecording) {
  Tree t;
  t.root.recordOn() = true;
  t.root.redraw(kOverlay);
  EXPECT_EQ(t.root.redraws, 2);
  EXPECT_TRUE(t.root.sketch().isNull());     // draws of redraw_ are not recorded
  EXPECT_EQ(t.root.redrawLayers, kOverlay);  // the hook sees the layer it serves
  EXPECT_EQ(t.root.updateLayers(), kBoth);   // and the field is restored
  t.root.visible(false);
  t.root.redraw(kBoth);  // hidden: no hook
  t.root.visible(true);
  t.root.drawOn() = false;
  t.root.redraw(kBoth);  // shown again (the hook runs); drawing off: no hook
  EXPECT_EQ(t.root.redraws, 3);
}

TEST(TabletTree, ChangesAreReportedToClients) {
  ccUITablet none;
  ccUIRect rects[2] = {ccUIRect(1, 1, 1, 1), ccUIRect(1, 1, 1, 1)};
  none.getChanges(rects, false);
  EXPECT_TRUE(rects[0].isNull() && rects[1].isNull());

  Tree t;
  t.root.recordChanges(true);
  EXPECT_TRUE(t.root.recordChanges());
  t.root.draw(ccLineSeg(V(10, 10), V(20, 30)), kRed, kOverlay);
  t.root.getChanges(rects, true);
  EXPECT_TRUE(rects[0].isNull());
  EXPECT_EQ(rects[1], ccUIRect(10, 10, 11, 21));
  t.root.getChanges(rects, false);
  EXPECT_FALSE(t.root.recordChanges());

  // A child's changes are in root pixels, whatever the parent cuts off at its top left.
  for (const P& corner : {P(50, 60), P(-5, -7)}) {
    ccUITablet kid(t.root, ccUIRect(corner, P(100, 100)));
    kid.visible(true);
    kid.recordChanges(true);
    kid.draw(ccLineSeg(V(12, 13), V(22, 23)), kRed, kImage);
    kid.getChanges(rects, false);
    EXPECT_EQ(rects[0], ccUIRect(corner.first + 12, corner.second + 13, 11, 11));
    EXPECT_TRUE(rects[1].isNull());
  }
}

// An update draws the tablets above a change again where they overlap it, into a temporary
// sub-scope, unless they were redrawn after the change. Brought to the front, a tablet draws
// again where it overlaps another, on each layer. Sent back, it draws nothing at once, but its
// scopes (made first) are wholly changed.
TEST(TabletTree, UpdatesAndRestackingRedrawTheOverlaps) {
  Tree t;
  CountingTablet below(t.root, ccUIRect(0, 0, 100, 100)), above(t.root, ccUIRect(50, 50, 100, 100)),
      c(t.root, ccUIRect(300, 200, 10, 10));
  for (CountingTablet* k : {&below, &above, &c}) k->visible(true);
  t.log->clear();
  below.draw(ccLineSeg(V(40, 40), V(90, 90)), kRed, kImage);
  t.root.update(kImage);
  EXPECT_EQ(above.redraws, 2);
  EXPECT_NE(above.lastRedrawScope, nullptr);
  EXPECT_EQ(t.log->calls().at(4).str(), "#4 newSubScope rect=(-50,-50 91x91) temporary=true id=8");
  below.draw(ccLineSeg(V(40, 40), V(90, 90)), kRed, kImage);
  above.redraw(kImage);
  t.root.update(kImage);
  EXPECT_EQ(above.redraws, 3);
  EXPECT_THROW(t.root.update(static_cast<Layer>(3)), ccUIError::BadLayer);

  c.front();  // already on top
  EXPECT_EQ(t.root.lastKid(), &c);
  below.front();
  EXPECT_EQ(t.root.lastKid(), &below);
  EXPECT_EQ(below.prevSib(), &c);
  EXPECT_EQ(below.redraws, 3);
  for (ccTraceScope* root : {&t.image, &t.overlay})
    for (ccUIScope* s : root->children()) s->noChange();
  const int cBefore = c.redraws;
  c.back();
  EXPECT_EQ(t.root.firstKid(), &c);
  EXPECT_EQ(c.redraws, cBefore);
  for (ccTraceScope* root : {&t.image, &t.overlay})
    EXPECT_TRUE(root->children().back()->allChanged() && !root->children().front()->allChanged());
}

TEST(TabletTree, EraseHandsTheAreaToTheOpaqueAncestorAndEmptiesTheRecording) {
  Tree t;
  t.root.opaque(kImage, true);
  CountingTablet kid(t.root, ccUIRect(10, 10, 50, 50));
  kid.visible(true);
  kid.modified(kImage, true);
  EXPECT_TRUE(t.root.modified(kImage));  // through the kid
  kid.erase(kImage);
  EXPECT_EQ(t.root.redraws, 2);
  EXPECT_TRUE(!kid.modified(kImage) && kid.visible());  // the hide during the erase is undone
  // A part only: the mark stays.
  kid.modified(kImage, true);
  kid.erase(ccUIRect(0, 0, 5, 5), kImage);
  EXPECT_TRUE(kid.modified(kImage));
  // While recording, erasing empties the sketch.
  t.root.recordOn() = true;
  t.root.draw(kSeg, kRed, kImage);
  EXPECT_FALSE(t.root.sketch().isNull());
  t.root.erase(kBoth);
  EXPECT_TRUE(t.root.sketch().isNull());
}

// The scale mode follows the factors. A copy takes the settings, map, flags and sketch but no
// scopes and no place in the tree (an assignment keeps both); the geometry setters go through the
// rectangle; tabletCoords inverts the map; the layer's scope controls reach its active scope unless
// it is off screen.
TEST(TabletTree, ScaleModesCopiesGeometryAndScopeControls) {
  Tree t;
  t.root.scaleExact(ccPair<double>(1.0, 2.0));
  EXPECT_EQ(t.root.scaleMode(), ccUITablet::eNoScale);  // the mode follows x alone
  t.root.scaleExact(ccPair<double>(0.5, 0.5));
  EXPECT_EQ(t.root.scaleMode(), ccUITablet::eReduce);
  t.root.scale(P(4, 2));
  EXPECT_EQ(t.root.scaledMap().matrix(), ccMatrix<2>(0.25, 0, 0, 0.5));
  t.root.scaleExact(ccPair<double>(0.25, 4.0));
  EXPECT_EQ(t.root.scale(), P(4, 4));
  t.root.recordOn() = true;
  t.root.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 4), V(3, 5)));
  t.root.scaleExact(ccPair<double>(3, 3));
  EXPECT_EQ(t.root.scaleMode(), ccUITablet::eMagnify);
  t.root.dragDel(P(7, -1));
  EXPECT_EQ(t.root.scaledMap(), ccXform<2>(ccMatrix<2>(6, 0, 0, 12), V(16, 14)));
  t.root.scaleMode(ccUITablet::eNoScale);
  EXPECT_EQ(t.root.scaledMap(), t.root.baseMap());
  EXPECT_EQ(t.root.dragDel(), P(0, 0));
  t.root.dragDel(P(7, -1));
  EXPECT_EQ(t.root.tabletCoords(P(41, 23)), ccPoint(15.5, 4.75));
  t.root.draw(kSeg, kRed, kImage);
  const ccUITablet copy(t.root);
  const auto takes = [&t](const ccUITablet& x) {
    return x.scaledMap() == t.root.scaledMap() && x.dragDel() == t.root.dragDel() &&
           x.sketch().length() == t.root.sketch().length() && x.recordOn();
  };
  EXPECT_TRUE(takes(copy) && copy.activeScope(kImage).isNull() && !copy.nextSib());
  CountingTablet kid(t.root, ccUIRect(10, 10, 50, 50)), next(t.root, ccUIRect(0, 0, 5, 5));
  ccUITablet& base = kid;
  base = base;
  base = copy;
  EXPECT_TRUE(takes(kid));
  EXPECT_EQ(kid.activeScope(kImage), ccUIRect(0, 0, 50, 50));
  EXPECT_TRUE(kid.parent() == &t.root && kid.nextSib() == &next && !next.nextSib());
  kid.moveRel(P(5, 6));
  EXPECT_EQ(kid.scopeRect(), ccUIRect(15, 16, 50, 50));
  kid.moveAbs(P(1, 2)).size(P(20, 30));
  EXPECT_EQ(kid.scopeRect(), ccUIRect(1, 2, 20, 30));
  EXPECT_EQ(std::make_pair(kid.moves, kid.resizes), std::make_pair(2, 1));

  t.root.opaque(kImage, true);
  EXPECT_TRUE(t.root.opaque(kImage) && !t.root.opaque(kOverlay) && t.root.anyChanged(kImage));
  t.root.clearAnyChanged(kImage);
  EXPECT_FALSE(t.root.anyChanged(kImage) || copy.opaque(kImage) || copy.anyChanged(kImage));
  t.root.lockScreenUpdatesPush(true, kOverlay);
  EXPECT_TRUE(t.root.screenUpdatesLocked(kOverlay) && !t.root.screenUpdatesLocked(kImage));
  t.root.lockScreenUpdatesPop(kOverlay);
  const int redraws = t.root.redraws;
  t.root.update(ccUIRect(0, 0, 10, 10), kBoth, true);
  EXPECT_EQ(t.root.redraws, redraws + 2);
  for (bool off : {false, true}) {
    t.overlay.offScreen(off);
    t.log->clear();
    t.root.dragStart(kOverlay);
    t.root.dragAnimate(true, kOverlay);
    t.root.dragErase(kOverlay);
    t.root.dragStop(kOverlay);
    EXPECT_EQ(t.log->str(),
              off ? "" : "#1 dragStart\n#1 dragAnimate on=true\n#1 dragErase\n#1 dragStop\n");
  }
}

}  // namespace
