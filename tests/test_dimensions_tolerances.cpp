// Dimensions with tolerances: ccDimTol, ccSMDDimension and their error class.
#include <core/archive.h>
#include <core/errors.h>
#include <dispc/smd/dimension.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

#include "archivebytes.h"
#include "assertcounter.h"

namespace {

using Dim = ccSMDDimension;

void expectTol(const ccDimTol& t, double nom, double min, double max, ccDimTol::TolType type) {
  EXPECT_EQ(t.nomDim(), nom);
  EXPECT_EQ(t.minTol(), min);
  EXPECT_EQ(t.maxTol(), max);
  EXPECT_EQ(t.tolType(), type);
}

void expectDim(const Dim& d, double nom, double min, double max, Dim::ScaleType type) {
  EXPECT_EQ(d.nomDim(), nom);
  EXPECT_EQ(d.minDim(), min);
  EXPECT_EQ(d.maxDim(), max);
  EXPECT_EQ(d.scaleType(), type);
}

// The message of the badDimensionValue that set throws, or "" when it succeeds.
std::string setMessage(double nom, double min, double max) {
  try {
    Dim d;
    d.set(nom, min, max, Dim::eFixed);
  } catch (const Dim::badDimensionValue& e) {
    return e.message();
  }
  return "";
}

bool valid(double nom, double min, double max, ccDimTol::TolType type) {
  try {
    ccDimTol t(nom, min, max, type);
  } catch (const ccShapesError::BadGeom&) {
    return false;
  }
  return true;
}

// (10, 0.5, 0.25, offsets) and (10, 9, 12, scale all) with the given version byte.
Bytes dimTolBytes(unsigned char version) {
  Bytes b{version};
  for (double v : {10.0, 0.5, 0.25}) putDouble(b, v);
  putU32(b, 1);
  return b;
}
Bytes dimensionBytes(unsigned char version) {
  Bytes b{version};
  for (double v : {10.0, 9.0, 12.0}) putDouble(b, v);
  b.push_back(0x02);
  return b;
}

// Loads bytes into v expecting UnknownVersion from source; returns its line.
template <class T>
long unknownVersionLine(const Bytes& bytes, T& v, const std::string& source) {
  ccArchive in(bytes);
  long line = -1;
  EXPECT_EQ(unknownVersionSource([&] { in || v; }, &line), source);
  return line;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// ccDimTol: construction and validation

TEST(DimTol, NoToleranceIsAcceptedForAnyTypeButZeroOrNegativeValuesAreNot) {
  expectTol(ccDimTol(), -1, -1, -1, ccDimTol::eLimits);
  EXPECT_TRUE(valid(-1, -1, -1, static_cast<ccDimTol::TolType>(7)));
  EXPECT_FALSE(valid(0, -1, -1, ccDimTol::eLimits));
  EXPECT_FALSE(valid(-2, -1, -1, ccDimTol::eLimits));
  EXPECT_FALSE(valid(10, -0.5, 1, ccDimTol::eOffsets));
  EXPECT_TRUE(valid(10, 0, 0, ccDimTol::eOffsets));
}

TEST(DimTol, WithoutNominalTheRangeIsTestedAgainstAProvisionalOne) {
  EXPECT_TRUE(valid(-1, 9, 11, ccDimTol::eLimits));           // midpoint 10
  EXPECT_FALSE(valid(-1, 11, 9, ccDimTol::eLimits));          // midpoint 10 above the maximum
  EXPECT_TRUE(valid(-1, 5, -1, ccDimTol::eLimits));           // minimum + 1
  EXPECT_FALSE(valid(-1, -1, 0.5, ccDimTol::eLimits));        // maximum - 1 is not a dimension
  EXPECT_TRUE(valid(-1, 0.5, -1, ccDimTol::eOffsets));        // minimum + 1
  EXPECT_FALSE(valid(-1, -1, 0.5, ccDimTol::eOffsets));       // no provisional nominal
  EXPECT_TRUE(valid(-1, 0.5, 0.5, ccDimTol::ePercentages));   // nominal 1: 0.5 to 1.5
  EXPECT_FALSE(valid(-1, 1.5, 0.1, ccDimTol::ePercentages));  // minimum -0.5
  EXPECT_FALSE(valid(-1, 1.0, 0, ccDimTol::ePercentages));    // minimum 0
}

// ---------------------------------------------------------------------------------------
// ccDimTol: readings in other representations

TEST(DimTol, OffsetsReadAsLimitsAndPercentages) {
  const ccDimTol t(10, 0.5, 0.5, ccDimTol::eOffsets);
  EXPECT_EQ(t.maxDim(), 10.5);
  EXPECT_EQ(t.minPerc(), 0.05);
  const ccDimTol lim(10, 9, 12, ccDimTol::eLimits);
  EXPECT_EQ(lim.minOffset(), 1);
  EXPECT_EQ(lim.maxPerc(), 0.2);
  const ccDimTol perc(20, 0.25, 0.5, ccDimTol::ePercentages);
  EXPECT_EQ(perc.minDim(), 15);
  EXPECT_EQ(perc.maxOffset(), 10);
}

TEST(DimTol, UnsetStaysUnsetZeroNominalGivesZeroPercentAndNoNominalThrows) {
  const ccDimTol t(10, -1, 2, ccDimTol::eOffsets);
  EXPECT_EQ(t.minDim(), -1);
  EXPECT_EQ(t.minPerc(), -1);
  EXPECT_EQ((0 * ccDimTol(10, 1, 2, ccDimTol::eOffsets)).maxPerc(), 0);
  const ccDimTol noNominal(-1, 0.5, -1, ccDimTol::eOffsets);
  EXPECT_THROW(noNominal.minDim(), ccShapesError::BadGeom);
  EXPECT_EQ(noNominal.minOffset(), 0.5);  // no conversion needed
}

TEST(DimTol, UnknownTypesAssertAndFallBack) {
  AssertCounter asserts;
  // Source magnitude 0: the limits collapse onto the nominal.
  const ccDimTol t(10, 1, 2, static_cast<ccDimTol::TolType>(7));
  const int afterConstruction = asserts.reports();
  EXPECT_GT(afterConstruction, 0);
  EXPECT_EQ(t.minDim(), 10);
  EXPECT_EQ(asserts.reports(), afterConstruction + 1);
  // Unknown target: 0.
  ccDimTol u(10, 0.5, 0.5, ccDimTol::eOffsets);
  u.tolType(static_cast<ccDimTol::TolType>(9));
  EXPECT_EQ(asserts.reports(), afterConstruction + 3);
  EXPECT_EQ(u.minTol(), 0);
  EXPECT_EQ(u.maxTol(), 0);
}

// ---------------------------------------------------------------------------------------
// ccDimTol: setters

// Setters store their values and type; a failed one leaves the object; converting the type
// converts the stored tolerances (and needs a nominal only when there is one to convert).
TEST(DimTol, SettersAndTypeConversions) {
  ccDimTol t;
  t.offsets(10, 0.5, 1);
  expectTol(t, 10, 0.5, 1, ccDimTol::eOffsets);
  t.percentages(0.1, 0.2);
  t.nomDim(30);
  expectTol(t, 30, 0.1, 0.2, ccDimTol::ePercentages);

  ccDimTol f(10, 9, 12, ccDimTol::eLimits);
  EXPECT_THROW(f.nomDim(13), ccShapesError::BadGeom);          // above the maximum
  EXPECT_THROW(f.limits(11, 12), ccShapesError::BadGeom);      // minimum above nominal
  EXPECT_THROW(f.offsets(10, 12, 1), ccShapesError::BadGeom);  // minimum -2
  EXPECT_THROW(f.percentages(10, 1.5, 0.1), ccShapesError::BadGeom);
  expectTol(f, 10, 9, 12, ccDimTol::eLimits);

  ccDimTol c(10, 0.5, 0.5, ccDimTol::eOffsets);
  c.tolType(ccDimTol::eLimits);
  expectTol(c, 10, 9.5, 10.5, ccDimTol::eLimits);
  ccDimTol noNominal(-1, 0.5, -1, ccDimTol::eOffsets);
  EXPECT_THROW(noNominal.tolType(ccDimTol::eLimits), ccShapesError::BadGeom);
  expectTol(noNominal, -1, 0.5, -1, ccDimTol::eOffsets);
}

// ---------------------------------------------------------------------------------------
// ccDimTol: isWithin, scaling, equality

TEST(DimTol, IsWithinIncludesTheLimitsAndSkipsUnsetOnes) {
  const ccDimTol t(10, 9, 12, ccDimTol::eLimits);
  EXPECT_TRUE(t.isWithin(9));
  EXPECT_TRUE(t.isWithin(12));
  EXPECT_FALSE(t.isWithin(8.999));
  EXPECT_FALSE(t.isWithin(12.001));
  const ccDimTol upperOnly(10, -1, 1, ccDimTol::eOffsets);
  EXPECT_TRUE(upperOnly.isWithin(-100));
  EXPECT_FALSE(upperOnly.isWithin(11.5));
}

TEST(DimTol, ScalingMultipliesOnlyASetNominal) {
  expectTol(2 * ccDimTol(10, 0.5, 0.5, ccDimTol::eOffsets), 20, 0.5, 0.5, ccDimTol::eOffsets);
  // Limits stay as they are, even when they no longer hold the nominal.
  expectTol(2 * ccDimTol(10, 9, 12, ccDimTol::eLimits), 20, 9, 12, ccDimTol::eLimits);
}

TEST(DimensionEquality, ToleratesOneFemtoAndComparesTheType) {
  const ccDimTol a(1, 0.5, 0.5, ccDimTol::eOffsets);
  EXPECT_TRUE(a == ccDimTol(std::nextafter(1.0, 2.0), 0.5, 0.5, ccDimTol::eOffsets));
  EXPECT_TRUE(a != ccDimTol(1 + 4e-15, 0.5, 0.5, ccDimTol::eOffsets));
  EXPECT_TRUE(a != ccDimTol(1, 0.5, 0.5, ccDimTol::ePercentages));
  EXPECT_TRUE(Dim(1, 0.5, 2, Dim::eFixed) != Dim(1, 0.5, 2, Dim::eScaleAll));
}

// ---------------------------------------------------------------------------------------
// ccSMDDimension: set

TEST(SMDDimension, SetReportsTheFirstFailingRule) {
  expectDim(Dim(), -1, -1, -1, Dim::eFixed);
  EXPECT_EQ(setMessage(0, -1, -1), "Nominal dimension must be > 0 or -1");
  EXPECT_EQ(setMessage(std::nextafter(-1.0, 0.0), -1, -1), "Nominal dimension must be > 0 or -1");
  EXPECT_EQ(setMessage(10, 0, -5), "Minimum dimension must be > 0 or -1");
  EXPECT_EQ(setMessage(10, 5, -5), "Maximum dimension must be > 0 or -1");
  EXPECT_EQ(setMessage(-1, 5, 3), "Nominal must be set if minimum is > 0");
  EXPECT_EQ(setMessage(10, 11, 9), "Nominal must be >= minimum");
  EXPECT_EQ(setMessage(-1, -1, 5), "Nominal must be set if maximum is >= 0");
  EXPECT_EQ(setMessage(10, 9, 9.5), "Nominal must be <= maximum");
  EXPECT_EQ(setMessage(10, 10, 10), "");
}

// A failed set stores nothing. A tolerance converts as limits, its type giving the scale type
// (an unknown one is reported and scales the nominal); scaling follows the scale type (an
// unknown one is reported and gives the default).
TEST(SMDDimension, FailedSetConversionAndScaling) {
  Dim d(10, 9, 12, Dim::eScaleAll);
  EXPECT_THROW(d.set(10, 11, 12, Dim::eFixed), Dim::badDimensionValue);
  expectDim(d, 10, 9, 12, Dim::eScaleAll);
  expectDim(ccDimTol(10, 0.5, 0.5, ccDimTol::eOffsets), 10, 9.5, 10.5, Dim::eScaleNominal);
  expectDim(ccDimTol(20, 0.25, 0.5, ccDimTol::ePercentages), 20, 15, 30, Dim::eScaleAll);

  expectDim(2 * Dim(10, 9, 12, Dim::eFixed), 10, 9, 12, Dim::eFixed);
  expectDim(2 * Dim(10, 9, 12, Dim::eScaleNominal), 20, 19, 22, Dim::eScaleNominal);
  expectDim(2 * Dim(10, 9, 12, Dim::eScaleAll), 20, 18, 24, Dim::eScaleAll);
  expectDim(2 * Dim(10, 9, -1, Dim::eScaleAll), 20, 18, -1, Dim::eScaleAll);

  AssertCounter asserts;
  expectDim(Dim(ccDimTol(-1, -1, -1, static_cast<ccDimTol::TolType>(7))), -1, -1, -1,
            Dim::eScaleNominal);
  EXPECT_EQ(asserts.reports(), 1);
  expectDim(2 * Dim(10, 9, 12, static_cast<Dim::ScaleType>(5)), -1, -1, -1, Dim::eFixed);
  EXPECT_EQ(asserts.reports(), 2);
}

TEST(SMDDimension, WithinToleranceExcludesTheLimitsWhereIsWithinIncludesThem) {
  const ccDimTol t(10, 9, 12, ccDimTol::eLimits);
  const Dim d(t);
  for (double v : {9.0, 12.0}) {
    EXPECT_TRUE(t.isWithin(v));
    EXPECT_FALSE(d.withinTolerance(v, 1));
  }
  EXPECT_TRUE(d.withinTolerance(9.5, 1));
  EXPECT_TRUE(Dim(10).withinTolerance(1e9, 1));
  const Dim all(10, 9, 12, Dim::eScaleAll);  // scaled by 2 first: 18 to 24
  EXPECT_FALSE(all.withinTolerance(18, 2));
  EXPECT_TRUE(all.withinTolerance(23.5, 2));
  EXPECT_FALSE(all.withinTolerance(24, 2));
  EXPECT_FALSE(Dim(10, 9, 12, Dim::eScaleNominal).withinTolerance(19, 2));  // 19 to 22
}

// ---------------------------------------------------------------------------------------
// Archive forms

TEST(DimensionArchive, ExactFormsRoundTrip) {
  ccDimTol t(10, 0.5, 0.25, ccDimTol::eOffsets);
  Dim d(10, 9, 12, Dim::eScaleAll);
  ccArchive out;
  out || t || d;
  Bytes expected = dimTolBytes(0);
  const Bytes dim = dimensionBytes(0);
  expected.insert(expected.end(), dim.begin(), dim.end());
  EXPECT_EQ(out.data(), expected);

  ccArchive in(out.data());
  ccDimTol tBack(-1, 9, 11, ccDimTol::eLimits);
  Dim dBack;
  in || tBack || dBack;
  EXPECT_TRUE(in.atEnd());
  expectTol(tBack, 10, 0.5, 0.25, ccDimTol::eOffsets);
  expectDim(dBack, 10, 9, 12, Dim::eScaleAll);
}

TEST(DimensionArchive, UnknownVersionOrTruncationLeavesTheValue) {
  ccDimTol t(10, 9, 12, ccDimTol::eLimits);
  EXPECT_GT(unknownVersionLine(dimTolBytes(1), t, "dispc/dimtol"), 0);
  const Bytes full = dimTolBytes(0);
  ccArchive cut(Bytes(full.begin(), full.end() - 1));
  EXPECT_THROW(cut || t, ccArchive::EndOfData);
  expectTol(t, 10, 9, 12, ccDimTol::eLimits);

  Dim d(5, 4, 6, Dim::eScaleNominal);
  EXPECT_EQ(unknownVersionLine(dimensionBytes(1), d, ""), 0);
  expectDim(d, 5, 4, 6, Dim::eScaleNominal);
}

// ---------------------------------------------------------------------------------------
// The error class

// The message travels with an archived error.
TEST(SMDDimensionError, MessageTravelsInTheArchiveForm) {
  ccPtrHandle<ccException> h(new Dim::badDimensionValue("Minimum dimension must be > 0 or -1"));
  ccArchive out;
  out || h;
  Bytes expected{0x01};  // a new object
  putString(expected, "ccSMDDimension::badDimensionValue");
  expected.insert(expected.end(), {0x00, 0x00});  // the class's and ccException's versions
  putString(expected, "Minimum dimension must be > 0 or -1");
  EXPECT_EQ(out.data(), expected);
  ccArchive in(out.data());
  ccPtrHandle<ccException> back;
  in || back;
  ASSERT_TRUE(back);
  EXPECT_EQ(back->message(), "Minimum dimension must be > 0 or -1");
}
