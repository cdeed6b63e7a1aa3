// The trace back end: what each slot records, how the log prints, sub-scopes sharing one log,
// locks, drags, queries and the changes it notes like a real back end.
#include <backends/trace/tracescope.h>

#include <gtest/gtest.h>

#include <functional>
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

// Each slot's printed line: one row per slot (the format the other tests read back).
TEST(TraceScope, EverySlotPrintsItsArguments) {
  ccGraphicProps all(ccColor(7), 3, ccGraphicProps::eDash, true);
  all.penJoin(ccGraphicProps::eRoundJoin);
  all.penEndCap(ccGraphicProps::eSquareCap);
  all.arrowHead(false);
  all.arrowHeadForward(false);
  all.showVertex(true);
  const ccEllipse e(ccVector<2>(10, 20), ccVector<2>(5, 3), ccRadian(0.5));
  const ccRLEBuffer rle(smallImage());
  ccPelBuffer<unsigned short> grey16(1, 2);
  grey16.set(0, 1, 1000);
  const struct {
    std::function<void(ccTraceScope&)> call;
    const char* line;
  } rows[] = {
      {[](ccTraceScope& t) {
         t.drawLineSeg(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(3, 4)), kRed);
       },
       "drawLineSeg p1=(1,2) p2=(3,4) color=rgb(255,0,0) width=1"},
      {[&](ccTraceScope& t) { t.plotPoint(ccPoint(0.5, -2.25), all); },
       "plotPoint p=(0.5,-2.25) color=idx(7) width=3 style=1 fill=true join=1 cap=2 "
       "arrowHead=false arrowHeadForward=false showVertex=true"},
      {[](ccTraceScope& t) { t.plotPoint(ccPoint(0.1, 1e-300), ccGraphicProps()); },
       "plotPoint p=(0.1,1e-300) color=stock(254,0,255,255) width=1"},
      {[](ccTraceScope& t) {
         t.drawPolygon({ccVector<2>(0, 0), ccVector<2>(4, 0), ccVector<2>(4, 3)},
                       ccPolygon::eFillAlternate, kRed);
       },
       "drawPolygon vertices=[(0,0),(4,0),(4,3)] fillMode=1 color=rgb(255,0,0) width=1"},
      {[](ccTraceScope& t) {
         t.drawPolyline(ccPolyline({ccVector<2>(1, 1), ccVector<2>(2, 2)}, true), kRed);
       },
       "drawPolyline vertices=[(1,1),(2,2)] closed=true color=rgb(255,0,0) width=1"},
      {[](ccTraceScope& t) {
         t.drawRoundedRect(
             ccGenRect(ccVector<2>(5, 5), ccVector<2>(2, 1), ccRadian(0), ccVector<2>(0.5, 0.5)),
             kRed);
       },
       "drawRoundedRect center=(5,5) U=[2,0,0,1] uround=(0.5,0.5) color=rgb(255,0,0) width=1"},
      {[&](ccTraceScope& t) {
         t.drawEllipseArc(ccEllipseArc(e, ccRadian(0), ccRadian(1.5)), kRed);
       },
       "drawEllipseArc center=(10,20) radii=(5,3) rotation=0.5 reflected=false phi1=0 phi2=1.5 "
       "color=rgb(255,0,0) width=1"},
      {[](ccTraceScope& t) {
         t.draw(ccGenShapeRoundedPolygon(
                    {ccVector<2>(0, 0), ccVector<2>(10, 0), ccVector<2>(10, 10)}, 1.0),
                ccColor(1, 2, 3));
       },
       "draw tag=\"{5d3c1a27-8e41-4b6f-9a13-2c7740e51b08}\" color=rgb(1,2,3)"},
      {[](ccTraceScope& t) {
         t.drawText("a\"b\n", ccPoint(1, 2), ccColor::redColor(), ccColor::blueColor(),
                    ccUIFormat(3, ccUIFormat::eCenter));
       },
       "drawText text=\"a\\\"b\\n\" at=(1,2) color=stock(249,255,0,0) color2=stock(252,0,0,255) "
       "font=3 align=4"},
      {[](ccTraceScope& t) {
         t.textRect("ab", ccPoint(10.5, 20), ccUIFormat(-1, ccUIFormat::eCenter));
       },
       "textRect text=\"ab\" at=(10.5,20) font=-1 align=4 result=(2,12 16x16)"},
      {[&](ccTraceScope& t) { t.drawIcon(rle, ccPoint(4, 5), {ccColor::redColor()}, true, 243); },
       "drawIcon size=(2,2) offset=(0,0) runs=[1,2,0,0,2,1,3,1,0,0] corner=(4,5) "
       "colors=[stock(249,255,0,0)] pass=true passValue=243"},
      {[&](ccTraceScope& t) {
         t.drawRLEImage(rle, ccPoint(0, 0), {9, 8}, false, 0, true);
       },
       "drawRLEImage size=(2,2) offset=(0,0) runs=[1,2,0,0,2,1,3,1,0,0] at=(0,0) colorMap=[9,8] "
       "pass=false passValue=0 flag=true"},
      {[&](ccTraceScope& t) {
         t.drawImage(grey16, ccPoint(0, 0), true, static_cast<unsigned short>(1000));
       },
       "drawImage pel=grey16 size=(1,2) offset=(0,0) pels=[0,1000] at=(0,0) pass=true "
       "passValue=1000"},
      {[](ccTraceScope& t) {
         t.sampleImage(smallImage(), ccPoint(0, 0), ccPair<double>(0.5, 0.25), true, 4, true);
       },
       "sampleImage pel=grey8 size=(2,2) offset=(0,0) pels=[1,1,2,3] at=(0,0) scale=(0.5,0.25) "
       "pass=true passValue=4 flag=true"},
      {[](ccTraceScope& t) { t.setRect(rect(1, 2, 3, 4), ccColor(5)); },
       "setRect rect=(1,2 3x4) color=idx(5)"},
      {[](ccTraceScope& t) { t.floodFill(ccPair<long>(3, 4), ccColor(1), ccColor(2), true); },
       "floodFill pixel=(3,4) color=idx(1) color2=idx(2) bounded=true"},
      {[](ccTraceScope& t) {
         t.drawStart(ccPoint(1.5, 2.5));
         t.drawTo(ccPoint(10, 20), kRed);
       },
       "drawTo from=(1,2) p=(10,20) color=rgb(255,0,0) width=1"},
      {[](ccTraceScope& t) {
         t.drawStart(ccPoint(10, 20));
         t.drawToRel(-3, 4, kRed);
       },
       "drawToRel from=(10,20) d=(-3,4) color=rgb(255,0,0) width=1"},
      {[](ccTraceScope& t) {
         t.colorMap({ccRGB(1, 2, 3), ccRGB(4, 5, 6)});
       },
       "colorMap map=[rgb(1,2,3),rgb(4,5,6)]"},
      {[](ccTraceScope& t) { t.setDisplayClipRect(rect(1, 1, 2, 2)); },
       "displayClipChanged rect=(1,1 2x2)"},
  };
  for (const auto& row : rows) {
    ccTraceScope t;
    row.call(t);
    ASSERT_EQ(t.calls().size(), 1u) << row.line;
    EXPECT_EQ(t.last().str(), row.line);
  }
}

TEST(TraceScope, ArgumentsReadBackAsValuesAndLongListsPrintTruncated) {
  ccTraceScope t;
  const ccLineSeg seg(ccVector<2>(1, 2), ccVector<2>(3, 4));
  t.drawLineSeg(seg, kRed);
  EXPECT_EQ(t.last().props(), kRed);
  EXPECT_EQ(t.last().shapeAs<ccLineSeg>(), seg);
  EXPECT_THROW(t.last().shapeAs<ccEllipse>(), std::bad_cast);
  EXPECT_THROW(t.last().integer("p1"), std::bad_variant_access);
  EXPECT_THROW(t.last().arg("q"), std::out_of_range);
  const ccEllipse2 e2(ccVector<2>(5, 3), ccRadian(0.25), ccVector<2>(1, 2));
  t.drawEllipse2(e2, kRed);
  EXPECT_EQ(t.last().shapeAs<ccEllipse2>(), e2);
  // A window records its own size, offset and pels.
  ccPelBuffer<unsigned char> win = smallImage();
  win.window(0, 1, 2, 1);
  t.drawImage(win, ccPoint(0, 0), false, 0, false);
  EXPECT_EQ(t.last().pixel("offset"), ccPair<long>(0, 1));
  EXPECT_EQ(t.last().get<std::vector<long>>("pels"), (std::vector<long>{2, 3}));
  ccPelBuffer<ccPackedRGB32Pel> rgb32(1, 1);
  rgb32.set(0, 0, ccPackedRGB32Pel(1, 2, 3));
  t.drawImage(rgb32, ccPoint(0, 0), false, 0x010203UL);
  EXPECT_EQ(t.last().get<std::vector<long>>("pels"), std::vector<long>{0x010203});
  t.drawImage(ccPelBuffer<unsigned char>(70, 1), ccPoint(0, 0), false, 0, false);
  std::string zeros64 = "0";
  for (int i = 1; i < 64; ++i) zeros64 += ",0";
  EXPECT_NE(t.last().str().find("pels=[" + zeros64 + ",...(+6)]"), std::string::npos);
  EXPECT_EQ(t.last().get<std::vector<long>>("pels").size(), 70u);
  t.charSize(ccPair<long>(5, 7));
  EXPECT_EQ(t.textRect("abc", ccPoint(0, 0), ccUIFormat(-1, ccUIFormat::eBottomRight)),
            rect(-15, -7, 15, 7));
  EXPECT_EQ(t.textRect("", ccPoint(0, 0), ccUIFormat()), ccUIRect::null);
  t.clear();
  EXPECT_THROW(t.last(), std::out_of_range);
}

TEST(TraceScope, DragsAndScreenLocksNestAndAreLogged) {
  ccTraceScope t;
  t.dragStart();
  t.dragAnimate(true);
  EXPECT_TRUE(t.dragging() && t.animating());
  t.dragStop();
  EXPECT_FALSE(t.dragging());
  t.lockScreenUpdatesPush(true);
  t.lockScreenUpdatesPush(false);
  t.lockScreenUpdatesPush(true);
  EXPECT_EQ(t.lockDepth(), 3);
  EXPECT_EQ(t.lockCount(), 2);
  EXPECT_TRUE(t.lockScreenUpdatesPop());  // the outer lock holds
  EXPECT_TRUE(t.lockScreenUpdatesPop());
  EXPECT_FALSE(t.lockScreenUpdatesPop());
  EXPECT_FALSE(t.screenUpdatesLocked());
  EXPECT_FALSE(t.lockScreenUpdatesPop());  // an unmatched pop is logged and harmless
  EXPECT_EQ(t.lockCount(), 0);
  EXPECT_EQ(t.count("lockScreenUpdatesPop"), 4);
  EXPECT_EQ(t.count("screenUpdatesLocked"), 0);  // queries are logged only on request
  t.logQueries(true);
  t.screenUpdatesLocked();
  EXPECT_EQ(t.count("screenUpdatesLocked"), 1);
}

TEST(TraceScope, SubScopesShareTheLogUnderTheirOwnIdsAndTakeTheParentsSettings) {
  ccTraceScope root(rect(0, 0, 100, 80));
  root.charSize(ccPair<long>(3, 3));
  ccTraceScope* sub = root.newSubScope(rect(90, 20, 30, 40), false);
  EXPECT_EQ(sub->scopeBounds(), rect(90, 20, 10, 40));  // clipped by the root's right edge
  EXPECT_EQ(sub->charSize(), ccPair<long>(3, 3));
  root.offScreen(true);
  EXPECT_TRUE(sub->offScreen());
  root.offScreen(false);
  sub->plotPoint(ccPoint(1, 1), kRed);
  root.plotPoint(ccPoint(2, 2), kRed);
  ccTraceScope* temp = sub->newSubScope(rect(-5, -6, 10, 10), true);
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
  EXPECT_TRUE(root.children().empty());
  // Scope ids keep counting after a clear.
  root.clear();
  std::unique_ptr<ccTraceScope> next(root.newSubScope(rect(0, 0, 1, 1), false));
  EXPECT_EQ(next->id(), 3);
}

TEST(TraceScope, DrawingNotesChangesLikeABackEndUnlessSwitchedOff) {
  ccTraceScope t(rect(0, 0, 100, 50));
  t.drawLineSeg(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(3, 4)), kRed);
  EXPECT_EQ(t.changeRect(), rect(1, 2, 3, 3));
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
  EXPECT_TRUE(t.opaque() && t.allChanged());
  t.noChange();
  t.opaque(false);
  t.setRect(rect(0, 0, 100, 50), ccColor(0));
  EXPECT_TRUE(t.opaque());

  ccTraceScope quiet(rect(0, 0, 100, 50));
  quiet.noteChanges(false);
  quiet.drawLineSeg(ccLineSeg(ccVector<2>(1, 2), ccVector<2>(3, 4)), kRed);
  quiet.setAll(ccColor(0));
  EXPECT_FALSE(quiet.someChanged() || quiet.opaque() || quiet.anyChanged());
}
