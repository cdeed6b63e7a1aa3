// SMD descriptions: the description base, colours (grey levels), polygon vertices (range
// checks, comparison, archive forms) and dimensions with tolerances (ccDimTol, ccSMDDimension).
#include <core/archive.h>
#include <core/errors.h>
#include <core/xform.h>
#include <dispc/smd/dimension.h>
#include <dispc/smd/polyvertex.h>
#include <dispc/wrfm/colors.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <typeinfo>
#include <vector>

#include "archivebytes.h"
#include "assertcounter.h"

namespace {

using Dim = ccSMDDimension;
using Tol = ccDimTol;

// The fields as one value, to compare whole.
std::vector<double> fields(const Tol& t) {
  return {t.nomDim(), t.minTol(), t.maxTol(), double(t.tolType())};
}
std::vector<double> fields(const Dim& d) {
  return {d.nomDim(), d.minDim(), d.maxDim(), double(d.scaleType())};
}

// The record of the tolerance (10, 0.5, 0.25, offsets), or of the dimension (10, 9, 12, scale
// all), with the given version byte.
Bytes dimTolBytes(unsigned char version, bool dimension = false) {
  Bytes b{version};
  for (double v : dimension ? std::vector<double>{10, 9, 12} : std::vector<double>{10, 0.5, 0.25})
    putDouble(b, v);
  dimension ? b.push_back(0x02) : putU32(b, 1);
  return b;
}

}  // namespace

// Which tolerances construct: no tolerance of any type; no zero or negative values; without a
// nominal the range is tested against a provisional one: the midpoint of the limits (which
// must lie within them), the minimum + 1 (the maximum - 1 is no dimension), the minimum
// offset + 1 (no provisional nominal from a maximum offset), or 1 for percentages (whose
// minimum must stay above 0).
TEST(DimTol, ValidityAndTheProvisionalNominal) {
  const auto unknown = static_cast<Tol::TolType>(7);
  const struct {
    double nom, min, max;
    Tol::TolType type;
    bool valid;
  } kCases[] = {
      {-1, -1, -1, unknown, true},
      {0, -1, -1, Tol::eLimits, false},
      {-2, -1, -1, Tol::eLimits, false},
      {10, -0.5, 1, Tol::eOffsets, false},
      {10, 0, 0, Tol::eOffsets, true},
      {-1, 9, 11, Tol::eLimits, true},
      {-1, 11, 9, Tol::eLimits, false},
      {-1, 5, -1, Tol::eLimits, true},
      {-1, -1, 0.5, Tol::eLimits, false},
      {-1, 0.5, -1, Tol::eOffsets, true},
      {-1, -1, 0.5, Tol::eOffsets, false},
      {-1, 0.5, 0.5, Tol::ePercentages, true},
      {-1, 1.5, 0.1, Tol::ePercentages, false},
      {-1, 1.0, 0, Tol::ePercentages, false},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(errorOf([&] { Tol(c.nom, c.min, c.max, c.type); }) == 0, c.valid)
        << c.nom << " " << c.min << " " << c.max;
  EXPECT_EQ(fields(Tol()), (std::vector<double>{-1, -1, -1, Tol::eLimits}));
}

// Readings in the other representations; unset stays unset, a zero nominal gives zero
// percent, and no nominal throws where a conversion needs one. Unknown types are reported:
// as a source the limits collapse onto the nominal, as a target they read 0.
TEST(DimTol, ReadingsInOtherRepresentations) {
  const Tol off(10, 0.5, 0.5, Tol::eOffsets), lim(10, 9, 12, Tol::eLimits);
  const Tol perc(20, 0.25, 0.5, Tol::ePercentages), upper(10, -1, 2, Tol::eOffsets);
  EXPECT_EQ((std::vector<double>{off.maxDim(), off.minPerc(), lim.minOffset(), lim.maxPerc(),
                                 perc.minDim(), perc.maxOffset(), upper.minDim(), upper.minPerc()}),
            (std::vector<double>{10.5, 0.05, 1, 0.2, 15, 10, -1, -1}));
  EXPECT_EQ((0 * Tol(10, 1, 2, Tol::eOffsets)).maxPerc(), 0);
  const Tol noNominal(-1, 0.5, -1, Tol::eOffsets);
  EXPECT_THROW(noNominal.minDim(), ccShapesError::BadGeom);
  EXPECT_EQ(noNominal.minOffset(), 0.5);  // no conversion needed

  AssertCounter asserts;
  const Tol t(10, 1, 2, static_cast<Tol::TolType>(7));
  const int afterConstruction = asserts.reports();
  EXPECT_GT(afterConstruction, 0);
  EXPECT_EQ(t.minDim(), 10);
  Tol u(10, 0.5, 0.5, Tol::eOffsets);
  u.tolType(static_cast<Tol::TolType>(9));
  EXPECT_EQ(asserts.reports(), afterConstruction + 3);
  EXPECT_TRUE(u.minTol() == 0 && u.maxTol() == 0);
}

// Setters store their values and type; a failed one leaves the object; converting the type
// converts the stored tolerances (and needs a nominal only when there is one to convert).
// Scaling multiplies only a set nominal, even when limits no longer hold it.
TEST(DimTol, SettersTypeConversionsAndScaling) {
  Tol t;
  t.offsets(10, 0.5, 1);
  EXPECT_EQ(fields(t), (std::vector<double>{10, 0.5, 1, Tol::eOffsets}));
  t.percentages(0.1, 0.2);
  t.nomDim(30);
  EXPECT_EQ(fields(t), (std::vector<double>{30, 0.1, 0.2, Tol::ePercentages}));
  Tol f(10, 9, 12, Tol::eLimits);
  EXPECT_THROW(f.nomDim(13), ccShapesError::BadGeom);          // above the maximum
  EXPECT_THROW(f.limits(11, 12), ccShapesError::BadGeom);      // minimum above nominal
  EXPECT_THROW(f.offsets(10, 12, 1), ccShapesError::BadGeom);  // minimum -2
  EXPECT_THROW(f.percentages(10, 1.5, 0.1), ccShapesError::BadGeom);
  EXPECT_EQ(fields(f), fields(Tol(10, 9, 12, Tol::eLimits)));
  Tol c(10, 0.5, 0.5, Tol::eOffsets);
  c.tolType(Tol::eLimits);
  EXPECT_EQ(fields(c), fields(Tol(10, 9.5, 10.5, Tol::eLimits)));
  Tol noNominal(-1, 0.5, -1, Tol::eOffsets);
  EXPECT_THROW(noNominal.tolType(Tol::eLimits), ccShapesError::BadGeom);
  EXPECT_EQ(fields(noNominal), (std::vector<double>{-1, 0.5, -1, Tol::eOffsets}));
  EXPECT_EQ(fields(2 * Tol(10, 0.5, 0.5, Tol::eOffsets)), fields(Tol(20, 0.5, 0.5, Tol::eOffsets)));
  EXPECT_EQ(fields(2 * Tol(10, 9, 12, Tol::eLimits)),
            (std::vector<double>{20, 9, 12, Tol::eLimits}));
}

// isWithin includes the limits and skips unset ones; withinTolerance of a dimension excludes
// them, after scaling by its scale type.
TEST(DimTol, IsWithinIncludesTheLimitsWhereWithinToleranceExcludesThem) {
  const Tol t(10, 9, 12, Tol::eLimits), upperOnly(10, -1, 1, Tol::eOffsets);
  for (const auto& [v, within] :
       std::vector<std::pair<double, bool>>{{9, true}, {12, true}, {8.999, false}, {12.001, false}})
    EXPECT_EQ(t.isWithin(v), within) << v;
  EXPECT_TRUE(upperOnly.isWithin(-100) && !upperOnly.isWithin(11.5));
  const Dim d(t), all(10, 9, 12, Dim::eScaleAll);  // all scaled by 2: 18 to 24
  EXPECT_TRUE(!d.withinTolerance(9, 1) && !d.withinTolerance(12, 1) && d.withinTolerance(9.5, 1));
  EXPECT_TRUE(Dim(10).withinTolerance(1e9, 1));
  EXPECT_TRUE(!all.withinTolerance(18, 2) && all.withinTolerance(23.5, 2) &&
              !all.withinTolerance(24, 2));
  EXPECT_FALSE(Dim(10, 9, 12, Dim::eScaleNominal).withinTolerance(19, 2));  // 19 to 22
}

TEST(DimensionEquality, ToleratesOneFemtoAndComparesTheType) {
  const Tol a(1, 0.5, 0.5, Tol::eOffsets);
  EXPECT_TRUE(a == Tol(std::nextafter(1.0, 2.0), 0.5, 0.5, Tol::eOffsets));
  EXPECT_TRUE(a != Tol(1 + 4e-15, 0.5, 0.5, Tol::eOffsets));
  EXPECT_TRUE(a != Tol(1, 0.5, 0.5, Tol::ePercentages));
  EXPECT_TRUE(Dim(1, 0.5, 2, Dim::eFixed) != Dim(1, 0.5, 2, Dim::eScaleAll));
}

TEST(SMDDimension, SetReportsTheFirstFailingRule) {
  EXPECT_EQ(fields(Dim()), (std::vector<double>{-1, -1, -1, Dim::eFixed}));
  const struct {
    double nom, min, max;
    const char* message;
  } kCases[] = {
      {0, -1, -1, "11000b00: Nominal dimension must be > 0 or -1"},
      {std::nextafter(-1.0, 0.0), -1, -1, "11000b00: Nominal dimension must be > 0 or -1"},
      {10, 0, -5, "11000b00: Minimum dimension must be > 0 or -1"},
      {10, 5, -5, "11000b00: Maximum dimension must be > 0 or -1"},
      {-1, 5, 3, "11000b00: Nominal must be set if minimum is > 0"},
      {10, 11, 9, "11000b00: Nominal must be >= minimum"},
      {-1, -1, 5, "11000b00: Nominal must be set if maximum is >= 0"},
      {10, 9, 9.5, "11000b00: Nominal must be <= maximum"},
      {10, 10, 10, "nothing thrown"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(
        thrownBy<Dim::badDimensionValue>([&] { Dim().set(c.nom, c.min, c.max, Dim::eFixed); }),
        c.message);
}

// A failed set stores nothing. A tolerance converts as limits, its type giving the scale type
// (an unknown one is reported and scales the nominal); scaling follows the scale type (an
// unknown one is reported and gives the default).
TEST(SMDDimension, FailedSetConversionAndScaling) {
  Dim d(10, 9, 12, Dim::eScaleAll);
  EXPECT_THROW(d.set(10, 11, 12, Dim::eFixed), Dim::badDimensionValue);
  EXPECT_EQ(fields(d), fields(Dim(10, 9, 12, Dim::eScaleAll)));
  EXPECT_EQ(fields(Dim(Tol(10, 0.5, 0.5, Tol::eOffsets))),
            fields(Dim(10, 9.5, 10.5, Dim::eScaleNominal)));
  EXPECT_EQ(fields(Dim(Tol(20, 0.25, 0.5, Tol::ePercentages))),
            fields(Dim(20, 15, 30, Dim::eScaleAll)));
  EXPECT_EQ(fields(2 * Dim(10, 9, 12, Dim::eFixed)), fields(Dim(10, 9, 12, Dim::eFixed)));
  EXPECT_EQ(fields(2 * Dim(10, 9, 12, Dim::eScaleNominal)),
            fields(Dim(20, 19, 22, Dim::eScaleNominal)));
  EXPECT_EQ(fields(2 * Dim(10, 9, 12, Dim::eScaleAll)), fields(Dim(20, 18, 24, Dim::eScaleAll)));
  EXPECT_EQ(fields(2 * Dim(10, 9, -1, Dim::eScaleAll)), fields(Dim(20, 18, -1, Dim::eScaleAll)));
  AssertCounter asserts;
  EXPECT_EQ(fields(Dim(Tol(-1, -1, -1, static_cast<Tol::TolType>(7)))),
            (std::vector<double>{-1, -1, -1, Dim::eScaleNominal}));
  EXPECT_EQ(asserts.reports(), 1);
  EXPECT_EQ(fields(2 * Dim(10, 9, 12, static_cast<Dim::ScaleType>(5))), fields(Dim()));
  EXPECT_EQ(asserts.reports(), 2);
}

// The exact record both ways (the tolerance's own record is held inside the vertex's, below);
// an unknown version or a truncation leaves the value as it was.
TEST(DimensionArchive, ExactFormsAndVersions) {
  Dim d(10, 9, 12, Dim::eScaleAll);
  ccArchive out;
  out || d;
  EXPECT_EQ(out.data(), dimTolBytes(0, true));
  ccArchive in(out.data());
  Dim back;
  in || back;
  EXPECT_TRUE(in.atEnd() && fields(back) == fields(d));

  long line = -1;
  Tol t(-1, 9, 11, Tol::eLimits);
  const Bytes tol = dimTolBytes(0);
  ccArchive v1(dimTolBytes(1)), cut(Bytes(tol.begin(), tol.end() - 1)), dimV1(dimTolBytes(1, true));
  EXPECT_EQ(unknownVersionSource([&] { v1 || t; }, &line), "dispc/dimtol");
  EXPECT_GT(line, 0);
  EXPECT_THROW(cut || t, ccArchive::EndOfData);
  EXPECT_EQ(unknownVersionSource([&] { dimV1 || back; }, &line), "");
  EXPECT_EQ(line, 0);
  EXPECT_TRUE(fields(t) == fields(Tol(-1, 9, 11, Tol::eLimits)) && fields(back) == fields(d));
}

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
  ccArchive in(Bytes{0, 0, 0, 0, 9, 9, 9});
  ccColor none;
  in || none;
  AssertCounter asserts;
  EXPECT_EQ(ccSMDColors::colorToGrayScale(none), 0);
  EXPECT_EQ(asserts.reports(), 1);
}

TEST(SMDColors, VersionZeroReadsNoColoursAndLaterVersionsThrow) {
  ccSMDColors c(ccColor::blueColor(), ccColor::blueColor(), ccColor::blueColor());
  ccArchive in(Bytes{0x00, 0x07});  // the byte after the version is not the colours'
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
