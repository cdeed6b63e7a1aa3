// Images at the tablet's zoom, icon patterns and the point icon, observed through the trace
// scope, with the image payloads that the tablet records.
#include <backends/trace/tracescope.h>
#include <dispc/sketchformat.h>
#include <dispc/sketchshapes.h>
#include <dispc/tablet.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using L = ccUITablet::Layers;
constexpr L kImage = ccUITablet::eImageLayer;
constexpr L kOverlay = ccUITablet::eOverlayLayer;

struct Board {
  std::shared_ptr<ccTraceLog> log = std::make_shared<ccTraceLog>();
  ccTraceScope image{ccUIRect(0, 0, 200, 200), log};
  ccTraceScope overlay{ccUIRect(0, 0, 200, 200), log};
  ccUITablet tablet{&image, &overlay};
  Board() {
    tablet.visible(true);
    tablet.recordOn() = true;
    log->clear();
  }
};

ccPelBuffer<unsigned char> ramp(long w, long h) {
  ccPelBuffer<unsigned char> img(w, h);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) img.set(x, y, static_cast<unsigned char>(10 * y + x));
  return img;
}

std::vector<ccSketchOperation> operations(const ccUISketch& s) {
  std::vector<ccSketchOperation> ops;
  ccSketchWalker w(s.data(), static_cast<std::size_t>(s.length()));
  ccSketchOperation op;
  while (w.next(op)) ops.push_back(op);
  return ops;
}

TEST(TabletImages, ScaleModeChoosesTheScopeSlot) {
  Board b;
  const ccPelBuffer<unsigned char> img = ramp(4, 3);
  const ccPoint at(ccVector<2>(2, 3));
  b.tablet.draw(img, at, true, 7, false, kImage);
  ASSERT_EQ(b.log->size(), 1);
  EXPECT_EQ(b.log->last().name, "drawImage");
  EXPECT_EQ(b.log->last().point("at"), ccVector<2>(2, 3));

  b.tablet.scaleExact(ccPair<double>(2.0, 3.0));
  b.tablet.interpolation(ccUITablet::eBilinearInterpolation);
  b.log->clear();
  b.tablet.draw(img, at, true, 7, true, kImage);
  ASSERT_EQ(b.log->size(), 1);
  EXPECT_EQ(b.log->last().name, "expandImage");
  EXPECT_EQ(b.log->last().point("at"), ccVector<2>(4, 9));
  EXPECT_EQ(b.log->last().get<ccPair<double>>("scale"), ccPair<double>(2.0, 3.0));
  EXPECT_EQ(b.log->last().integer("mode"), ccUITablet::eBilinearInterpolation);

  // Reduction given as a scale, and as whole divisors.
  b.tablet.scaleExact(ccPair<double>(0.5, 0.25));
  b.log->clear();
  b.tablet.draw(img, at, false, 0, false, kImage);
  EXPECT_EQ(b.log->last().name, "sampleImage");
  EXPECT_EQ(b.log->last().get<ccPair<double>>("scale"), ccPair<double>(0.5, 0.25));
  b.tablet.scale(ccPair<long>(2, 4));
  b.log->clear();
  b.tablet.draw(img, at, false, 0, false, kImage);
  EXPECT_EQ(b.log->last().get<ccPair<double>>("scale"), ccPair<double>(0.5, 0.25));
}

TEST(TabletImages, EveryPelTypeReachesItsSlot) {
  Board b;
  const ccPoint at(ccVector<2>(0, 0));
  b.tablet.draw(ccPelBuffer<unsigned short>(2, 2), at, false, 0, kImage);
  b.tablet.draw(ccPelBuffer<ccPackedRGB16Pel>(2, 2), at, false, 0, kImage);
  b.tablet.draw(ccPelBuffer<ccPackedRGB32Pel>(2, 2), at, true, 5, kOverlay);
  EXPECT_EQ(b.log->count("drawImage"), 3);
  EXPECT_TRUE(b.tablet.sketch().isNull());  // only 8-bit and run-length images are recorded
  b.tablet.scaleExact(ccPair<double>(3.0, 3.0));
  b.log->clear();
  b.tablet.draw(ccPelBuffer<ccPackedRGB32Pel>(2, 2), at, true, 5, kOverlay);
  EXPECT_EQ(b.log->last().name, "expandImage");
}

TEST(TabletImages, EightBitImagesRecordTheirPels) {
  Board b;
  ccPelBuffer<unsigned char> img = ramp(5, 4);
  img.offset(ccPair<long>(7, 9));
  img.imageFromClientXform(ccXform<2>(ccMatrix<2>(2, 0, 0, 2), ccVector<2>(1, 1)));
  const ccPelBuffer<unsigned char> window = img;
  b.tablet.draw(window, ccPoint(ccVector<2>(1.5, 2.5)), true, 99, true, kOverlay);
  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 1u);
  const ccSketchOperation& op = ops[0];
  EXPECT_EQ(op.opcode, 12);
  EXPECT_EQ(op.layer, 1);
  EXPECT_EQ(op.penColor(), ccColor());
  EXPECT_FALSE(op.hasProps());
  ASSERT_EQ(op.payloadSize, 91u + 20);
  EXPECT_EQ(cfSketchLoadPoint(op.payload), ccVector<2>(1.5, 2.5));
  EXPECT_EQ(op.payload[16], 1);
  EXPECT_EQ(op.payload[17], 99);
  EXPECT_EQ(cfSketchLoadXformImage(op.payload + 18), img.imageFromClientXform());
  EXPECT_EQ(cfSketchLoadI32(op.payload + 74), 7);
  EXPECT_EQ(cfSketchLoadI32(op.payload + 78), 9);
  EXPECT_EQ(cfSketchLoadI32(op.payload + 82), 5);
  EXPECT_EQ(cfSketchLoadI32(op.payload + 86), 4);
  EXPECT_EQ(op.payload[90], 1);
  EXPECT_EQ(op.payload[91 + 5 * 2 + 3], 23);  // pel (3, 2)
}

TEST(TabletImages, RunLengthImagesRecordTheirRows) {
  Board b;
  const ccRLEBuffer rle(ramp(3, 2));
  const std::vector<unsigned char> map = {1, 2, 3};
  b.tablet.draw(rle, ccPoint(ccVector<2>(4, 4)), {}, true, 2, false, kImage);
  ASSERT_EQ(b.log->count("drawRLEImage"), 1);
  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].opcode, 14);
  // Two rows of three single-pel runs and the closing run: 8 bytes each.
  EXPECT_EQ(ops[0].payloadSize, 16u + 3 + 4 + 0 + 8 + 16);
  b.tablet.sketch().erase();
  b.tablet.draw(rle, ccPoint(ccVector<2>(4, 4)), map, false, 0, true, kImage);
  const auto mapped = operations(b.tablet.sketch());
  ASSERT_EQ(mapped.size(), 1u);
  EXPECT_EQ(mapped[0].payloadSize, 16u + 3 + 4 + 3 + 8 + 16);
  EXPECT_EQ(mapped[0].payload[18], 1);  // the flag
  EXPECT_EQ(cfSketchLoadI32(mapped[0].payload + 19), 3);
  EXPECT_EQ(mapped[0].payload[25], 3);
  EXPECT_EQ(cfSketchLoadI32(mapped[0].payload + 26), 3);  // width
  EXPECT_EQ(cfSketchLoadI32(mapped[0].payload + 30), 2);  // rows
}

TEST(TabletImages, IconPatterns) {
  const ccRLEBuffer plain = ccUITablet::makeIcon("/12/34/", {});
  ccPelBuffer<unsigned char> pels;
  plain.decode(pels);
  ASSERT_EQ(pels.width(), 2);
  ASSERT_EQ(pels.height(), 2);
  EXPECT_EQ(pels.get(0, 0), 1);
  EXPECT_EQ(pels.get(1, 0), 2);
  EXPECT_EQ(pels.get(0, 1), 3);
  EXPECT_EQ(pels.get(1, 1), 4);

  ccPelBuffer<unsigned char> mapped;
  ccUITablet::makeIcon("|10|.+", {9, 8}).decode(mapped);
  EXPECT_EQ(mapped.get(0, 0), 8);
  EXPECT_EQ(mapped.get(1, 0), 9);
  EXPECT_EQ(mapped.get(0, 1), ccColor::passIndex());
  EXPECT_EQ(mapped.get(1, 1), ccColor::passIndex());

  for (const char* bad : {"/12/3/", "/1x/", "", "//", "/12/345"})
    EXPECT_THROW(ccUITablet::makeIcon(bad, {}), ccUIError::BadIconPattern) << bad;
  EXPECT_THROW(ccUITablet::makeIcon(nullptr, {}), ccUIError::BadIconPattern);
}

TEST(TabletImages, IconHitTests) {
  EXPECT_TRUE(ccUITablet::pointIconTouched(ccPair<long>(0, 0)));
  EXPECT_FALSE(ccUITablet::pointIconTouched(ccPair<long>(-6, -6)));
  EXPECT_FALSE(ccUITablet::pointIconTouched(ccPair<long>(7, 0)));
  EXPECT_TRUE(ccUITablet::pointIconTouched(ccPair<long>(-6, 0)));
  EXPECT_TRUE(ccUITablet::pointIconTouched(ccPair<long>(0, -5)));  // a '+': inside
  EXPECT_FALSE(ccUITablet::pointIconTouched(ccPair<long>(0, 7)));  // below the last row
  EXPECT_FALSE(ccUITablet::iconTouched(nullptr, ccPair<long>(0, 0)));
  EXPECT_TRUE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(0, 1)));
  EXPECT_FALSE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(1, 0)));
  EXPECT_FALSE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(-1, 0)));
  EXPECT_FALSE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(0, -1)));

  const ccRLEBuffer& icon = ccUITablet::pointIcon();
  EXPECT_EQ(icon.width(), 13);
  EXPECT_EQ(icon.height(), 13);
  EXPECT_EQ(&icon, &ccUITablet::pointIcon());
}

TEST(TabletImages, PointIconIsCentredOnThePoint) {
  Board b;
  b.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 2), ccVector<2>()));
  b.tablet.sketch().erase();
  b.log->clear();
  b.tablet.drawPointIcon(ccPoint(ccVector<2>(10, 20)), ccColor::redColor(), kOverlay);
  ASSERT_EQ(b.log->count("drawIcon"), 1);
  const ccTraceCall& c = b.log->last();
  EXPECT_EQ(c.point("corner"), ccVector<2>(14, 34));
  EXPECT_EQ(c.get<std::vector<ccColor>>("colors"), std::vector<ccColor>{ccColor::redColor()});
  EXPECT_TRUE(c.flag("pass"));
  EXPECT_EQ(c.integer("passValue"), ccColor::passIndex());
  const auto ops = operations(b.tablet.sketch());
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].opcode, 1);
  EXPECT_EQ(cfSketchLoadPoint(ops[0].payload), ccVector<2>(10, 20));
}

TEST(TabletImages, BitmapsBundleAnIcon) {
  const ccUIBitmap empty;
  EXPECT_FALSE(empty.isInit());
  EXPECT_TRUE(empty.passThrough());
  EXPECT_EQ(empty.passColor(), ccColor::passIndex());
  ccUIBitmap icon(ccUITablet::pointIcon(), {3}, false, 7);
  EXPECT_TRUE(icon.isInit());
  EXPECT_EQ(icon.colorMap(), std::vector<unsigned char>{3});
  icon.passColor(9);
  EXPECT_EQ(icon.passColor(), 9);
}

}  // namespace
