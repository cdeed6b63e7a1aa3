// ccSMDDimension: the checks of set, scaling, tolerance tests, archive.
#include <dispc/smd/dimension.h>

#include <core/assert.h>
#include <core/math.h>

#include <cmath>
#include <string>

namespace {

constexpr const char* kDimensionSource = "dispc/smd/dimension";

ccSMDDimension::ScaleType scaleTypeOf(ccDimTol::TolType t) {
  switch (t) {
    case ccDimTol::eLimits:
      return ccSMDDimension::eFixed;
    case ccDimTol::eOffsets:
      return ccSMDDimension::eScaleNominal;
    case ccDimTol::ePercentages:
      return ccSMDDimension::eScaleAll;
  }
  cstd_assert_(__LINE__, kDimensionSource);
  return ccSMDDimension::eScaleNominal;
}

}  // namespace

ccSMDDimension::ccSMDDimension(const ccDimTol& t) {
  set(t.nomDim(), t.minDim(), t.maxDim(), scaleTypeOf(t.tolType()));
}

void ccSMDDimension::set(double nomDim, double minDim, double maxDim, ScaleType type) {
  if (nomDim <= 0 && nomDim != -1) throw badDimensionValue("Nominal dimension must be > 0 or -1");
  if (minDim <= 0 && minDim != -1) throw badDimensionValue("Minimum dimension must be > 0 or -1");
  if (maxDim <= 0 && maxDim != -1) throw badDimensionValue("Maximum dimension must be > 0 or -1");
  if (minDim > 0) {
    if (nomDim < 0) throw badDimensionValue("Nominal must be set if minimum is > 0");
    if (nomDim < minDim) throw badDimensionValue("Nominal must be >= minimum");
  }
  if (maxDim > 0) {
    if (nomDim < 0) throw badDimensionValue("Nominal must be set if maximum is >= 0");
    if (maxDim < nomDim) throw badDimensionValue("Nominal must be <= maximum");
  }
  nomDim_ = nomDim;
  minDim_ = minDim;
  maxDim_ = maxDim;
  type_ = type;
}

bool ccSMDDimension::withinTolerance(double v, double s) const {
  const ccSMDDimension d = s * *this;
  return (d.minDim_ == -1 || d.minDim_ < v) && (d.maxDim_ == -1 || v < d.maxDim_);
}

bool ccSMDDimension::operator==(const ccSMDDimension& d) const {
  return cfRealEq(nomDim_, d.nomDim_) && cfRealEq(minDim_, d.minDim_) &&
         cfRealEq(maxDim_, d.maxDim_) && type_ == d.type_;
}

ccSMDDimension operator*(double s, const ccSMDDimension& d) {
  ccSMDDimension r;
  const double nom = d.nomDim(), min = d.minDim(), max = d.maxDim();
  switch (d.scaleType()) {
    case ccSMDDimension::eFixed:
      r.set(nom, min, max, d.scaleType());
      break;
    case ccSMDDimension::eScaleNominal: {
      const double n = s * nom;
      r.set(n, min != -1 ? n - std::fabs(nom - min) : -1, max != -1 ? std::fabs(nom - max) + n : -1,
            d.scaleType());
      break;
    }
    case ccSMDDimension::eScaleAll:
      r.set(s * nom, min != -1 ? s * min : -1, max != -1 ? s * max : -1, d.scaleType());
      break;
    default:
      cstd_assert_(__LINE__, kDimensionSource);
      break;
  }
  return r;
}

ccArchive& operator||(ccArchive& ar, ccSMDDimension& d) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(std::string(), 0);
  double nomDim = d.nomDim_, minDim = d.minDim_, maxDim = d.maxDim_;
  unsigned char type = static_cast<unsigned char>(d.type_);
  ar || nomDim || minDim || maxDim || type;
  if (ar.isLoading()) {
    d.nomDim_ = nomDim;
    d.minDim_ = minDim;
    d.maxDim_ = maxDim;
    d.type_ = static_cast<ccSMDDimension::ScaleType>(type);
  }
  return ar;
}
