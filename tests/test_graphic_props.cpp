// Drawing properties: defaults, validation and the archive form (equality and the sketch form
// are checked with the sketch container's props prefix).
#include <dispc/dispprop.h>

#include <gtest/gtest.h>

#include "drawingsamples.h"

#include <vector>

namespace {

ccGraphicProps unusual() {
  ccGraphicProps p(ccColor::redColor(), 7, ccGraphicProps::eDashDot, true);
  p.penJoin(ccGraphicProps::eBevelJoin);
  p.penEndCap(ccGraphicProps::eSquareCap);
  p.arrowHead(false);
  p.arrowHeadForward(false);
  p.showVertex(true);
  return p;
}

}  // namespace

TEST(GraphicProps, DefaultsDrawCyanWithArrowheads) {
  const ccGraphicProps p;
  EXPECT_EQ(p.penColor(), ccColor::cyanColor());
  EXPECT_EQ(p.penWidth(), 1);
  EXPECT_EQ(p.penStyle(), ccGraphicProps::eSolid);
  EXPECT_FALSE(p.fill());
  EXPECT_EQ(p.penJoin(), 0);
  EXPECT_EQ(p.penEndCap(), 0);
  EXPECT_TRUE(p.arrowHead());
  EXPECT_TRUE(p.arrowHeadForward());
  EXPECT_FALSE(p.showVertex());
  ccGraphicProps q;
  const unsigned long count = q.changeCount();
  q.penWidth(5);
  EXPECT_EQ(q.changeCount(), count + 1);  // a setter counts a change
}

TEST(GraphicProps, NegativeWidthIsRejectedAndStateKept) {
  ccGraphicProps p;
  p.penWidth(4);
  const unsigned long before = p.changeCount();
  for (long bad : {-2L, -(1L << 40), 2147483648L}) {
    EXPECT_THROW(p.penWidth(bad), ccGraphicProps::BadParams) << bad;
    EXPECT_THROW(ccGraphicProps(ccColor::redColor(), bad), ccGraphicProps::BadParams) << bad;
  }
  EXPECT_EQ(p.penWidth(), 4);
  EXPECT_EQ(p.changeCount(), before);
  p.penWidth(0);  // zero is a valid (hairline) width
  EXPECT_EQ(p.penWidth(), 0);
}

TEST(GraphicProps, ArchiveForm) {
  // Version, colour (red stock), width (long: 7 zigzagged to one byte), style (int), fill, join
  // (int), end cap (int), arrowHead, arrowHeadForward, showVertex.
  expectArchiveForm(
      unusual(), {0, 0, 7, 249, 0, 255, 0, 0, 14, 3, 0, 0, 0, 1, 2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1},
      "dispc/dispprop");
}
