// The trace back end notes the changes of its drawing as a real back end does (the frozen
// traces of the tablet tests check what it records and prints).
#include <backends/trace/tracescope.h>

#include <gtest/gtest.h>

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
