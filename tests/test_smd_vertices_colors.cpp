// SMD colours, the description base and polygon vertices: grey levels, range checks,
// comparison, synthetic drawing through general transforms and archive forms.
#include <core/archive.h>
#include <core/errors.h>
#include <core/xform.h>
#include <dispc/smd/polyvertex.h>
#include <dispc/wrfm/colors.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

#include "archivebytes.h"
#include "assertcounter.h"

namespace {

using Vertex = ccSMDGDPolyVertex;

// A vertex record up to the label: point (3, 4), radius 1.5, span 90, percentages 0.25 and
// 0.75, label 7.
Bytes vertexHead(unsigned char version, unsigned char descriptionVersion = 0) {
  Bytes b{version, descriptionVersion};
  putU32(b, 0);  // empty name
  for (double v : {3.0, 4.0, 1.5, 90.0, 0.25, 0.75}) putDouble(b, v);
  putU32(b, 7);
  return b;
}

Vertex unusualVertex() {
  Vertex v(ccVector<2>(3, 4), 1.5, ccDegree(90), 0.25, 0.75, 7,
           ccDimTol(10, 0.5, 0.25, ccDimTol::eOffsets));
  v.extensionForward(0.125);
  v.extensionBackward(0.375);
  return v;
}

// RGB: the rounded mean; index colours: the stock table by index alone; no kind: reported.
TEST(SMDColors, GreyLevels) {
  EXPECT_EQ(ccSMDColors::colorToGrayScale(ccColor(10, 10, 11)), 10);
  EXPECT_EQ(ccSMDColors::colorToGrayScale(ccColor(0, 1, 1)), 1);  // 0.67 rounds up
  EXPECT_EQ(ccSMDColors::colorToGrayScale(ccColor(0, 0, 1)), 0);
  const struct {
    const ccColor& color;
    int grey;
  } table[] = {
      {ccColor::blackColor(), 5},    {ccColor::dkGreyColor(), 50},  {ccColor::greyColor(), 100},
      {ccColor::ltGreyColor(), 150}, {ccColor::whiteColor(), 250},  {ccColor::redColor(), 120},
      {ccColor::dkRedColor(), 90},   {ccColor::orangeColor(), 180}, {ccColor::yellowColor(), 210},
      {ccColor::greenColor(), 130},  {ccColor::dkGreenColor(), 80}, {ccColor::cyanColor(), 200},
      {ccColor::blueColor(), 160},   {ccColor::purpleColor(), 90},  {ccColor::magentaColor(), 170},
      {ccColor::passColor(), 0},
  };
  for (const auto& e : table) {
    EXPECT_EQ(ccSMDColors::colorToGrayScale(e.color), e.grey) << int(e.color.index());
    // The index alone decides, not the RGB triple of the stock colour.
    EXPECT_EQ(ccSMDColors::colorToGrayScale(ccColor(e.color.index())), e.grey);
  }
  EXPECT_EQ(ccSMDColors::colorToGrayScale(ccColor(100)), 0);
  const Bytes noKind{0, 0, 0, 0, 9, 9, 9};
  ccArchive in(noKind);
  ccColor none;
  in || none;
  AssertCounter asserts;
  EXPECT_EQ(ccSMDColors::colorToGrayScale(none), 0);
  EXPECT_EQ(asserts.reports(), 1);
}

TEST(SMDColors, VersionZeroReadsNoColoursAndLaterVersionsThrow) {
  ccSMDColors c(ccColor::blueColor(), ccColor::blueColor(), ccColor::blueColor());
  const Bytes v0{0x00, 0x07};  // the byte after the version is not the colours'
  ccArchive in(v0);
  c.dispatchSerialize(in);
  EXPECT_EQ(in.remaining(), 1u);
  EXPECT_EQ(c, ccSMDColors(ccColor::blueColor(), ccColor::blueColor(), ccColor::blueColor()));

  ccArchive v2(Bytes{0x02});
  EXPECT_EQ(unknownVersionSource([&] { c.dispatchSerialize(v2); }), "dispc/wrfm/colors");
}

// Records the transform the affine synthetic drawing receives.
class RecordingDescription : public ccSMDGeometricDescription {
 public:
  using ccSMDGeometricDescription::ccSMDGeometricDescription;
  using ccSMDGeometricDescription::drawSynthetic;
  void drawWireframe(const ccXform<2>&, ccUITablet&) const override {}
  void drawSynthetic(const ccXform<2>& x, ccPelBuffer<unsigned char>&) const override {
    received = x;
    ++calls;
  }
  mutable ccXform<2> received{ccMatrix<2>(7, 7, 7, 7), ccVector<2>(7, 7)};
  mutable int calls = 0;
};

TEST(SMDGeometricDescription, SyntheticDrawingLinearisesAtTheOrigin) {
  // Distortion about (5, 0), k1 = 0.01: at the origin r = 5, f = 1.25, the Jacobian is
  // diag(f + 2 k1 r^2, f) and the origin maps to (-1.25, 0).
  const ccPtrHandle_const<cc2XformBase> distortion(
      new cc2XformRadialDistortion(ccXform<2>(), ccVector<2>(5, 0), 0.01));
  ccPelBuffer<unsigned char> image(4, 4);
  const RecordingDescription d("pad");
  d.drawSynthetic(distortion, image);
  EXPECT_EQ(d.calls, 1);
  EXPECT_TRUE(cfRealEq(d.received.matrix(), ccMatrix<2>(1.75, 0, 0, 1.25), 1e-12));
  EXPECT_TRUE(cfRealEq(d.received.trans(), ccVector<2>(-1.25, 0), 1e-12));

  d.drawSynthetic(ccPtrHandle_const<cc2XformBase>(), image);
  EXPECT_EQ(d.calls, 2);
  EXPECT_EQ(d.received, ccXform<2>());
}

TEST(SMDGeometricDescription, ArchiveHoldsVersionAndName) {
  RecordingDescription d("pad");
  ccArchive out;
  d.dispatchSerialize(out);
  EXPECT_EQ(out.data(), (Bytes{0, 3, 0, 0, 0, 'p', 'a', 'd'}));
  ccArchive in(out.data());
  RecordingDescription back;
  back.dispatchSerialize(in);
  EXPECT_EQ(back.name(), "pad");
}

TEST(SMDVertex, PercentagesOutsideTheRangeAreRejected) {
  Vertex v;
  v.percentPrevSegment(0.01);
  v.percentNextSegment(1.0);
  const unsigned long changes = v.changeCount();
  EXPECT_THROW(v.percentPrevSegment(0.0099), Vertex::invalidSegmentLength);
  EXPECT_THROW(v.percentNextSegment(1.0001), Vertex::invalidSegmentLength);
  EXPECT_TRUE(v.percentPrevSegment() == 0.01 && v.percentNextSegment() == 1.0);
  EXPECT_EQ(v.changeCount(), changes);
  EXPECT_THROW(Vertex(ccVector<2>(), 0.5, 0, 1), Vertex::invalidSegmentLength);
  EXPECT_THROW(Vertex(ccVector<2>(), 0, ccDegree(0), 2, 0.5, 1, ccDimTol()),
               Vertex::invalidSegmentLength);
}

TEST(SMDVertex, EqualityToleratesRoundingAndFullTurns) {
  const Vertex v = unusualVertex();
  Vertex w = v;
  w.segmentAngleSpan(ccDegree(450));
  w.point(ccVector<2>(3 + 1e-12, 4));
  EXPECT_TRUE(w == v);
  w.point(ccVector<2>(3 + 1e-10, 4));
  EXPECT_TRUE(w != v);
  w = v;
  w.extensionBackward(0.5);
  EXPECT_TRUE(w != v);
  EXPECT_FALSE(Vertex(ccVector<2>(), 0.5, 0.5, 1) == Vertex(ccVector<2>(), 0.5, 0.5, 2));
}

// Version 2 (stored, byte-exact, without the extensions) round-trips through a handle;
// version 1 sets offsets keeping the nominal (refusing a bad tolerance, the vertex kept);
// version 0 clears the tolerance; unknown versions of the vertex or of the description throw
// without a source.
TEST(SMDVertex, ArchiveVersions) {
  Vertex expected = unusualVertex();
  const ccPtrHandle<ccSMDGeometricDescription> back =
      reloadedHandle<ccSMDGeometricDescription>(new Vertex(expected));
  ASSERT_TRUE(back);
  ASSERT_EQ(typeid(*back), typeid(Vertex));
  expected.extensionForward(0);  // extensions are not archived
  expected.extensionBackward(0);
  EXPECT_TRUE(static_cast<const Vertex&>(*back) == expected);
  Bytes record = vertexHead(2);
  record.push_back(0);
  for (double d : {10.0, 0.5, 0.25}) putDouble(record, d);
  putU32(record, ccDimTol::eOffsets);
  EXPECT_EQ(bytesOf(expected), record);

  auto loaded = [](const Bytes& bytes) {
    Vertex v;
    v.segmentLengthTol(ccDimTol(10, 8, 13));
    ccArchive in(bytes);
    v.dispatchSerialize(in);
    EXPECT_TRUE(in.atEnd());
    EXPECT_TRUE(v.point() == ccVector<2>(3, 4) && v.subModelLabel() == 7 &&
                v.percentNextSegment() == 0.75);
    return v.segmentLengthTol();
  };
  Bytes v1 = vertexHead(1), bad = vertexHead(1);
  for (double d : {0.5, 0.25}) putDouble(v1, d);
  putU32(v1, 99);  // the stored type is not used
  EXPECT_EQ(loaded(v1), ccDimTol(10, 0.5, 0.25, ccDimTol::eOffsets));
  EXPECT_EQ(loaded(vertexHead(0)), ccDimTol(-1, -1, -1, ccDimTol::eLimits));
  for (double d : {-2.0, 0.25}) putDouble(bad, d);
  putU32(bad, 1);
  Vertex kept;
  ccArchive badIn(bad);
  EXPECT_THROW(kept.dispatchSerialize(badIn), ccShapesError::BadGeom);
  EXPECT_TRUE(kept == Vertex());
  for (const Bytes& b : {vertexHead(3), vertexHead(2, 1)}) {  // the vertex's, the description's
    ccArchive in(b);
    long line = -1;
    EXPECT_EQ(unknownVersionSource([&] { kept.dispatchSerialize(in); }, &line), "");
    EXPECT_EQ(line, 0);
  }
}

}  // namespace
