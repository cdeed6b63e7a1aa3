// The trace back end: what each slot records, how the log prints, sub-scopes sharing one log,
// locks, drags, queries and the changes it notes like a real back end.
#include <backends/trace/tracescope.h>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <variant>
#include <vector>

namespace {

ccUIRect rect(long x, long y, long w, long h) { return ccUIRect(x, y, w, h); }

const ccGraphicProps kRed(ccColor(255, 0, 0), 1);

// A 2 x 2 image with the pels 1 1 / 2 3.
ccPelBuffer<unsigned char> smallImage() {
  ccPelBuffer<unsigned char> img(2, 2);
  img.set(0, 0, 1);
  img.set(1, 0, 1);
  img.set(0, 1, 2);
  img.set(1, 1, 3);
  return img;
}

}  // namespace

TEST(TraceScope, RecordsALineSegmentWithExactArguments) {
  ccTraceScope t;
  const ccLineSeg seg(ccVector<2>(1, 2), ccVector<2>(3, 4));
  t.drawLineSeg(seg, kRed);
  ASSERT_EQ(t.calls().size(), 1u);
  const ccTraceCall& c = t.calls()[0];
  EXPECT_EQ(c.name, "drawLineSeg");
  EXPECT_EQ(c.scope, 0);
  EXPECT_EQ(c.point("p1"), ccVector<2>(1, 2));
  EXPECT_EQ(c.point("p2"), ccVector<2>(3, 4));
  EXPECT_EQ(c.props(), kRed);
  EXPECT_EQ(c.shapeAs<ccLineSeg>(), seg);
  EXPECT_EQ(c.str(), "drawLineSeg p1=(1,2) p2=(3,4) color=rgb(255,0,0) width=1");
}

TEST(TraceScope, PropsPrintTheirNonDefaultFields) {
  ccTraceScope t;
  ccGraphicProps p(ccColor(7), 3, ccGraphicProps::eDash, true);
  p.penJoin(ccGraphicProps::eRoundJoin);
  p.penEndCap(ccGraphicProps::eSquareCap);
  p.arrowHead(false);
  p.arrowHeadForward(false);
  p.showVertex(true);
  t.plotPoint(ccPoint(0.5, -2.25), p);
  EXPECT_EQ(t.last().str(),
            "plotPoint p=(0.5,-2.25) color=idx(7) width=3 style=1 fill=true join=1 cap=2 "
            "arrowHead=false arrowHeadForward=false showVertex=true");
  t.plotPoint(ccPoint(0.1, 1e-300), ccGraphicProps());
  EXPECT_EQ(t.last().str(), "plotPoint p=(0.1,1e-300) color=stock(254,0,255,255) width=1");
}

TEST(TraceScope, PolygonsPolylinesAndRoundedRectangles) {
  ccTraceScope t;
  t.drawPolygon({ccVector<2>(0, 0), ccVector<2>(4, 0), ccVector<2>(4, 3)},
                ccPolygon::eFillAlternate, kRed);
  EXPECT_EQ(t.last().str(),
            "drawPolygon vertices=[(0,0),(4,0),(4,3)] fillMode=1 color=rgb(255,0,0) width=1");
  EXPECT_EQ(t.last().integer("fillMode"), 1);
  EXPECT_EQ(t.last().get<std::vector<ccVector<2>>>("vertices").size(), 3u);

  const ccPolyline pl({ccVector<2>(1, 1), ccVector<2>(2, 2)}, true);
  t.drawPolyline(pl, kRed);
  EXPECT_EQ(t.last().str(),
            "drawPolyline vertices=[(1,1),(2,2)] closed=true color=rgb(255,0,0) "
            "width=1");
  EXPECT_EQ(t.last().shapeAs<ccPolyline>(), pl);

  const ccGenRect gr(ccVector<2>(5, 5), ccVector<2>(2, 1), ccRadian(0), ccVector<2>(0.5, 0.5));
  t.drawRoundedRect(gr, kRed);
  EXPECT_EQ(t.last().str(),
            "drawRoundedRect center=(5,5) U=[2,0,0,1] uround=(0.5,0.5) color=rgb(255,0,0) "
            "width=1");
  EXPECT_EQ(t.last().shapeAs<ccGenRect>(), gr);
}

TEST(TraceScope, EllipsesAndArcsOfBothForms) {
  ccTraceScope t;
  const ccEllipse e(ccVector<2>(10, 20), ccVector<2>(5, 3), ccRadian(0.5));
  t.drawEllipse(e, kRed);
  EXPECT_EQ(t.last().str(),
            "drawEllipse center=(10,20) radii=(5,3) rotation=0.5 reflected=false "
            "color=rgb(255,0,0) width=1");
  EXPECT_EQ(t.last().shapeAs<ccEllipse>(), e);
  t.drawEllipseArc(ccEllipseArc(e, ccRadian(0), ccRadian(1.5)), kRed);
  EXPECT_EQ(t.last().number("phi2"), 1.5);
  EXPECT_EQ(t.last().str(),
            "drawEllipseArc center=(10,20) radii=(5,3) rotation=0.5 reflected=false phi1=0 "
            "phi2=1.5 color=rgb(255,0,0) width=1");

  const ccEllipse2 e2(ccVector<2>(5, 3), ccRadian(0.25), ccVector<2>(1, 2));
  t.drawEllipse2(e2, kRed);
  EXPECT_EQ(t.last().shapeAs<ccEllipse2>(), e2);
  EXPECT_EQ(t.last().point("center"), ccVector<2>(1, 2));
  t.drawEllipseArc2(ccEllipseArc2(e2, ccRadian(0.5), ccRadian(1)), kRed);
  EXPECT_EQ(t.last().number("phiStart"), 0.5);
  EXPECT_EQ(t.last().number("phiSpan"), 1.0);
  EXPECT_EQ(t.names(), (std::vector<std::string>{"drawEllipse", "drawEllipseArc", "drawEllipse2",
                                                 "drawEllipseArc2"}));
  // A shape of another class is refused.
  EXPECT_THROW(t.last().shapeAs<ccEllipse>(), std::bad_cast);
}

TEST(TraceScope, GenericShapesRecordTheirTag) {
  ccTraceScope t;
  const ccGenShapeRoundedPolygon shape({ccVector<2>(0, 0), ccVector<2>(10, 0), ccVector<2>(10, 10)},
                                       1.0);
  t.draw(shape, ccColor(1, 2, 3));
  EXPECT_EQ(t.last().str(), "draw tag=\"{5d3c1a27-8e41-4b6f-9a13-2c7740e51b08}\" color=rgb(1,2,3)");
  EXPECT_EQ(t.last().shapeAs<ccGenShapeRoundedPolygon>().vertices(), shape.vertices());
}

TEST(TraceScope, TextAndTextRectangles) {
  ccTraceScope t;
  t.drawText("a\"b\n", ccPoint(1, 2), ccColor::redColor(), ccColor::blueColor(),
             ccUIFormat(3, ccUIFormat::eCenter));
  EXPECT_EQ(t.last().str(),
            "drawText text=\"a\\\"b\\n\" at=(1,2) color=stock(249,255,0,0) "
            "color2=stock(252,0,0,255) font=3 align=4");
  EXPECT_EQ(t.last().text("text"), "a\"b\n");
  EXPECT_EQ(t.last().get<ccUIFormat>("format"), ccUIFormat(3, ccUIFormat::eCenter));

  // Two 8 x 16 cells at (10, 20), centred: shifted by (-8, -8).
  const ccUIRect r = t.textRect("ab", ccPoint(10.5, 20), ccUIFormat(-1, ccUIFormat::eCenter));
  EXPECT_EQ(r, rect(2, 12, 16, 16));
  EXPECT_EQ(t.last().str(),
            "textRect text=\"ab\" at=(10.5,20) font=-1 align=4 result=(2,12 16x16)");
  t.charSize(ccPair<long>(5, 7));
  EXPECT_EQ(t.textRect("abc", ccPoint(0, 0), ccUIFormat(-1, ccUIFormat::eBottomRight)),
            rect(-15, -7, 15, 7));
  EXPECT_EQ(t.textRect("", ccPoint(0, 0), ccUIFormat()), ccUIRect::null);
}

TEST(TraceScope, IconsAndRunLengthImagesRecordTheirRuns) {
  ccTraceScope t;
  const ccRLEBuffer rle(smallImage());
  t.drawIcon(rle, ccPoint(4, 5), {ccColor::redColor()}, true, 243);
  EXPECT_EQ(t.last().str(),
            "drawIcon size=(2,2) offset=(0,0) runs=[1,2,0,0,2,1,3,1,0,0] corner=(4,5) "
            "colors=[stock(249,255,0,0)] pass=true passValue=243");
  EXPECT_EQ(t.last().get<std::vector<ccColor>>("colors"),
            std::vector<ccColor>{ccColor::redColor()});
  t.drawRLEImage(rle, ccPoint(0, 0), {9, 8}, false, 0, true);
  EXPECT_EQ(t.last().str(),
            "drawRLEImage size=(2,2) offset=(0,0) runs=[1,2,0,0,2,1,3,1,0,0] at=(0,0) "
            "colorMap=[9,8] pass=false passValue=0 flag=true");
}

TEST(TraceScope, ImagesOfEveryPelType) {
  ccTraceScope t;
  t.drawImage(smallImage(), ccPoint(1.5, 2), true, 7, false);
  EXPECT_EQ(t.last().str(),
            "drawImage pel=grey8 size=(2,2) offset=(0,0) pels=[1,1,2,3] at=(1.5,2) pass=true "
            "passValue=7 flag=false");
  EXPECT_EQ(t.last().get<std::vector<long>>("pels"), (std::vector<long>{1, 1, 2, 3}));

  ccPelBuffer<ccPackedRGB32Pel> rgb32(1, 1);
  rgb32.set(0, 0, ccPackedRGB32Pel(1, 2, 3));
  t.drawImage(rgb32, ccPoint(0, 0), false, 0x010203UL);
  EXPECT_EQ(t.last().text("pel"), "rgb32");
  EXPECT_EQ(t.last().get<std::vector<long>>("pels"), std::vector<long>{0x010203});
  EXPECT_EQ(t.last().integer("passValue"), 0x010203);

  ccPelBuffer<ccPackedRGB16Pel> rgb16(1, 1);
  rgb16.set(0, 0, ccPackedRGB16Pel(255, 255, 255));
  t.drawImage(rgb16, ccPoint(0, 0), false, static_cast<unsigned short>(1));
  EXPECT_EQ(t.last().text("pel"), "rgb16");
  EXPECT_EQ(t.last().get<std::vector<long>>("pels"), std::vector<long>{0xFFFF});

  ccPelBuffer<unsigned short> grey16(1, 2);
  grey16.set(0, 1, 1000);
  t.drawImage(grey16, ccPoint(0, 0), true, static_cast<unsigned short>(1000));
  EXPECT_EQ(t.last().str(),
            "drawImage pel=grey16 size=(1,2) offset=(0,0) pels=[0,1000] at=(0,0) pass=true "
            "passValue=1000");

  // A window records its own size, offset and pels.
  ccPelBuffer<unsigned char> win = smallImage();
  win.window(0, 1, 2, 1);
  t.drawImage(win, ccPoint(0, 0), false, 0, false);
  EXPECT_EQ(t.last().pixel("size"), ccPair<long>(2, 1));
  EXPECT_EQ(t.last().pixel("offset"), ccPair<long>(0, 1));
  EXPECT_EQ(t.last().get<std::vector<long>>("pels"), (std::vector<long>{2, 3}));
}

TEST(TraceScope, SampledAndExpandedImagesRecordTheScale) {
  ccTraceScope t;
  t.sampleImage(smallImage(), ccPoint(0, 0), ccPair<double>(0.5, 0.25), true, 4, true);
  EXPECT_EQ(t.last().str(),
            "sampleImage pel=grey8 size=(2,2) offset=(0,0) pels=[1,1,2,3] at=(0,0) "
            "scale=(0.5,0.25) pass=true passValue=4 flag=true");
  t.expandImage(smallImage(), ccPoint(0, 0), ccPair<double>(2, 3), false, 0, false,
                ccUIScope::eBicubicInterpolation);
  EXPECT_EQ(t.last().get<ccPair<double>>("scale"), ccPair<double>(2, 3));
  EXPECT_EQ(t.last().integer("mode"), 2);
}

TEST(TraceScope, LongListsPrintTruncated) {
  ccTraceScope t;
  t.drawImage(ccPelBuffer<unsigned char>(70, 1), ccPoint(0, 0), false, 0, false);
  const std::string zeros64 = [] {
    std::string s;
    for (int i = 0; i < 64; ++i) s += i ? ",0" : "0";
    return s;
  }();
  EXPECT_NE(t.last().str().find("pels=[" + zeros64 + ",...(+6)]"), std::string::npos);
  EXPECT_EQ(t.last().get<std::vector<long>>("pels").size(), 70u);
}

TEST(TraceScope, FillsAndSets) {
  ccTraceScope t;
  t.setRect(rect(1, 2, 3, 4), ccColor(5));
  EXPECT_EQ(t.last().str(), "setRect rect=(1,2 3x4) color=idx(5)");
  t.setAll(ccColor(0, 0, 0));
  EXPECT_EQ(t.last().str(), "setAll color=rgb(0,0,0)");
  t.floodFill(ccPair<long>(3, 4), ccColor(1), ccColor(2), true);
  EXPECT_EQ(t.last().str(), "floodFill pixel=(3,4) color=idx(1) color2=idx(2) bounded=true");
  EXPECT_EQ(t.last().pixel("pixel"), ccPair<long>(3, 4));
  EXPECT_EQ(t.last().color("color2"), ccColor(2));
}

TEST(TraceScope, StrokesStartAtThePenAndMoveIt) {
  ccTraceScope t;
  t.drawStart(ccPoint(1.5, 2.5));
  EXPECT_TRUE(t.calls().empty());  // the pen is base-class state, not a slot
  t.drawTo(ccPoint(10, 20), kRed);
  EXPECT_EQ(t.last().str(), "drawTo from=(1,2) p=(10,20) color=rgb(255,0,0) width=1");
  EXPECT_EQ(t.drawX(), 10);
  EXPECT_EQ(t.drawY(), 20);
  t.drawToRel(-3, 4, kRed);
  EXPECT_EQ(t.last().str(), "drawToRel from=(10,20) d=(-3,4) color=rgb(255,0,0) width=1");
  EXPECT_EQ(t.drawX(), 7);
  EXPECT_EQ(t.drawY(), 24);
  EXPECT_EQ(t.drawPoint(), ccPoint(7, 24));
}

TEST(TraceScope, NotificationsAndUnusedSlots) {
  ccTraceScope t;
  t.invalidateScreen(rect(0, 0, 5, 5));
  t.updateScreen();
  t.optimizeDrawing(true);
  t.colorMap({ccRGB(1, 2, 3), ccRGB(4, 5, 6)});
  t.reserved25(7);
  t.reserved61(-1);
  t.setDisplayClipRect(rect(1, 1, 2, 2));
  EXPECT_EQ(t.str(),
            "invalidateScreen rect=(0,0 5x5)\n"
            "updateScreen\n"
            "optimizeDrawing on=true\n"
            "colorMap map=[rgb(1,2,3),rgb(4,5,6)]\n"
            "reserved25 value=7\n"
            "reserved61 value=-1\n"
            "displayClipChanged rect=(1,1 2x2)\n");
}

TEST(TraceScope, DragsAreLoggedAndTracked) {
  ccTraceScope t;
  t.dragStart();
  EXPECT_TRUE(t.dragging());
  t.dragAnimate(true);
  EXPECT_TRUE(t.animating());
  t.dragErase();
  t.dragAnimate(false);
  t.dragStop();
  EXPECT_FALSE(t.dragging());
  EXPECT_FALSE(t.animating());
  EXPECT_EQ(t.names(), (std::vector<std::string>{"dragStart", "dragAnimate", "dragErase",
                                                 "dragAnimate", "dragStop"}));
  EXPECT_TRUE(t.calls()[1].flag("on"));
  EXPECT_FALSE(t.calls()[3].flag("on"));
}

TEST(TraceScope, ScreenLocksNest) {
  ccTraceScope t;
  EXPECT_FALSE(t.screenUpdatesLocked());
  t.lockScreenUpdatesPush(true);
  t.lockScreenUpdatesPush(false);
  t.lockScreenUpdatesPush(true);
  EXPECT_EQ(t.lockDepth(), 3);
  EXPECT_EQ(t.lockCount(), 2);
  EXPECT_TRUE(t.screenUpdatesLocked());
  EXPECT_TRUE(t.lockScreenUpdatesPop());  // the outer lock holds
  EXPECT_TRUE(t.lockScreenUpdatesPop());
  EXPECT_TRUE(t.screenUpdatesLocked());
  EXPECT_FALSE(t.lockScreenUpdatesPop());
  EXPECT_FALSE(t.screenUpdatesLocked());
  EXPECT_EQ(t.lockDepth(), 0);
  // An unmatched pop is logged and harmless.
  EXPECT_FALSE(t.lockScreenUpdatesPop());
  EXPECT_EQ(t.lockCount(), 0);
  EXPECT_EQ(t.count("lockScreenUpdatesPush"), 3);
  EXPECT_EQ(t.count("lockScreenUpdatesPop"), 4);
  EXPECT_EQ(t.calls()[0].str(), "lockScreenUpdatesPush lock=true");
  EXPECT_EQ(t.count("screenUpdatesLocked"), 0);  // queries are not logged by default
}

TEST(TraceScope, QueriesAreLoggedOnRequest) {
  ccTraceScope t(rect(0, 0, 30, 20));
  EXPECT_EQ(t.scopeBounds(), rect(0, 0, 30, 20));
  EXPECT_FALSE(t.offScreen());
  EXPECT_TRUE(t.calls().empty());
  t.logQueries(true);
  t.scopeBounds();
  t.offScreen();
  t.screenUpdatesLocked();
  EXPECT_EQ(t.names(),
            (std::vector<std::string>{"scopeBounds", "offScreen", "screenUpdatesLocked"}));
}

TEST(TraceScope, SubScopesShareTheLogUnderTheirOwnIds) {
  ccTraceScope root(rect(0, 0, 100, 80));
  ccTraceScope* sub = root.newSubScope(rect(90, 20, 30, 40), false);
  EXPECT_EQ(sub->id(), 1);
  EXPECT_EQ(sub->log(), root.log());
  EXPECT_EQ(sub->parent(), &root);
  // Clipped by the root's right edge.
  EXPECT_EQ(sub->scopeBounds(), rect(90, 20, 10, 40));
  sub->plotPoint(ccPoint(1, 1), kRed);
  root.plotPoint(ccPoint(2, 2), kRed);
  ccTraceScope* temp = sub->newSubScope(rect(-5, -6, 10, 10), true);
  EXPECT_EQ(temp->id(), 2);
  EXPECT_EQ(temp->clipOffset(), ccPair<long>(5, 6));
  EXPECT_EQ(temp->scopeBounds(), rect(0, 0, 5, 4));
  delete temp;
  delete sub;
  EXPECT_EQ(root.str(),
            "newSubScope rect=(90,20 30x40) temporary=false id=1\n"
            "#1 attach parent=0 rect=(90,20 30x40)\n"
            "#1 plotPoint p=(1,1) color=rgb(255,0,0) width=1\n"
            "plotPoint p=(2,2) color=rgb(255,0,0) width=1\n"
            "#1 newSubScope rect=(-5,-6 10x10) temporary=true id=2\n"
            "#2 attach parent=1 rect=(-5,-6 10x10)\n"
            "#2 destroy\n"
            "#1 destroy\n");
  std::ostringstream os;
  root.print(os);
  EXPECT_EQ(os.str(), root.str());
  EXPECT_TRUE(root.children().empty());
}

TEST(TraceScope, SubScopesTakeTheSettingsAndTheOffScreenStateOfTheirParent) {
  ccTraceScope root(rect(0, 0, 100, 80));
  root.noteChanges(false);
  root.charSize(ccPair<long>(3, 3));
  std::unique_ptr<ccTraceScope> sub(root.newSubScope(rect(0, 0, 10, 10), false));
  EXPECT_FALSE(sub->noteChanges());
  EXPECT_EQ(sub->charSize(), ccPair<long>(3, 3));
  EXPECT_FALSE(sub->offScreen());
  root.offScreen(true);
  EXPECT_TRUE(sub->offScreen());
  root.offScreen(false);
  sub->offScreen(true);
  EXPECT_TRUE(sub->offScreen());
  EXPECT_FALSE(root.offScreen());
}

TEST(TraceScope, DrawingNotesChangesLikeABackEnd) {
  ccTraceScope t(rect(0, 0, 100, 50));
  t.drawLineSeg(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(3, 4)), kRed);
  EXPECT_EQ(t.changeRect(), rect(1, 2, 3, 3));
  EXPECT_TRUE(t.anyChanged());
  t.noChange();
  // Pen width 3 grows the box by one pixel on each side.
  t.drawLineSeg(ccLineSeg(ccVector<2>(10, 10), ccVector<2>(5, 12)), ccGraphicProps(ccColor(1), 3));
  EXPECT_EQ(t.changeRect(), rect(4, 9, 8, 5));
  t.noChange();
  t.drawStart(ccPoint(20, 20));
  t.drawToRel(-5, 2, kRed);
  EXPECT_EQ(t.changeRect(), rect(15, 20, 6, 3));
  t.noChange();
  t.drawImage(smallImage(), ccPoint(98, 49), false, 0, false);
  EXPECT_EQ(t.changeRect(), rect(98, 49, 2, 1));
  t.noChange();
  EXPECT_FALSE(t.opaque());
  t.setAll(ccColor(0));
  EXPECT_TRUE(t.opaque());
  EXPECT_TRUE(t.allChanged());
  t.noChange();
  t.opaque(false);
  t.setRect(rect(0, 0, 100, 50), ccColor(0));
  EXPECT_TRUE(t.opaque());
}

TEST(TraceScope, NoteChangesCanBeSwitchedOff) {
  ccTraceScope t(rect(0, 0, 100, 50));
  t.noteChanges(false);
  t.drawLineSeg(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(3, 4)), kRed);
  t.setAll(ccColor(0));
  t.drawText("x", ccPoint(1, 1), ccColor(1), ccColor(2), ccUIFormat());
  EXPECT_FALSE(t.someChanged());
  EXPECT_FALSE(t.opaque());
  EXPECT_FALSE(t.anyChanged());
}

TEST(TraceScope, LogHelpers) {
  ccTraceScope t;
  EXPECT_THROW(t.last(), std::out_of_range);
  t.updateScreen();
  t.plotPoint(ccPoint(1, 2), kRed);
  t.updateScreen();
  EXPECT_EQ(t.count("updateScreen"), 2);
  EXPECT_EQ(t.count("plotPoint"), 1);
  EXPECT_EQ(t.count("drawTo"), 0);
  EXPECT_EQ(t.log()->size(), 3);
  EXPECT_EQ(t.last().name, "updateScreen");
  {
    const ccTraceCall& p = t.calls()[1];
    EXPECT_TRUE(p.has("p"));
    EXPECT_FALSE(p.has("q"));
    EXPECT_THROW(p.arg("q"), std::out_of_range);
    EXPECT_THROW(p.integer("p"), std::bad_variant_access);
    EXPECT_THROW(p.number("p"), std::bad_variant_access);
  }
  // number() reads whole and real values alike.
  t.reserved25(7);
  EXPECT_EQ(t.last().number("value"), 7.0);
  t.drawEllipse(ccEllipse(ccVector<2>(0, 0), ccVector<2>(1, 1), ccRadian(0.5)), kRed);
  EXPECT_EQ(t.last().number("rotation"), 0.5);

  t.clear();
  EXPECT_TRUE(t.calls().empty());
  EXPECT_TRUE(t.names().empty());
  EXPECT_THROW(t.last(), std::out_of_range);
  // Scope ids keep counting after a clear.
  std::unique_ptr<ccTraceScope> sub(t.newSubScope(rect(0, 0, 1, 1), false));
  EXPECT_EQ(sub->id(), 1);
  sub.reset();
  EXPECT_EQ(t.names(), (std::vector<std::string>{"newSubScope", "attach", "destroy"}));
}
