// ccDimTol: conversions between the readings, validation through ccSMDDimension, archive.
#include <dispc/dimtol.h>

#include <core/assert.h>
#include <core/errors.h>
#include <core/math.h>
#include <dispc/smd/dimension.h>

#include <cmath>

namespace {

constexpr const char* kDimTolSource = "dispc/dimtol";

// Within ccRealEqEpsilon of -1: not set.
bool isUnset(double v) { return cfRealEq(v, -1); }

}  // namespace

ccDimTol::ccDimTol(double nomDim, double minTol, double maxTol, TolType type)
    : nomDim_(nomDim), minTol_(minTol), maxTol_(maxTol), type_(type) {
  if (nomDim == -1 && minTol == -1 && maxTol == -1) return;  // no tolerance
  if (!isValid_(nomDim, minTol, maxTol, type))
    throw ccShapesError::BadGeom("invalid dimension tolerance");
}

double ccDimTol::newTol_(double value, TolType target, double sign) const {
  if (type_ == target || isUnset(value)) return value;
  if (isUnset(nomDim_))
    throw ccShapesError::BadGeom("tolerance conversion without a nominal dimension");

  double magnitude = 0;
  switch (type_) {
    case eLimits:
      magnitude = std::fabs(nomDim_ - value);
      break;
    case eOffsets:
      magnitude = value;
      break;
    case ePercentages:
      magnitude = value * nomDim_;
      break;
    default:
      cstd_assert_(__LINE__, kDimTolSource);
      break;
  }
  switch (target) {
    case eLimits:
      // sign is +-1, so the product is exact and a fused multiply-add could not differ.
      return sign * magnitude + nomDim_;
    case eOffsets:
      return magnitude;
    case ePercentages:
      return nomDim_ == 0 ? 0 : magnitude / nomDim_;
  }
  cstd_assert_(__LINE__, kDimTolSource);
  return 0;
}

bool ccDimTol::isValid_(double nomDim, double minTol, double maxTol, TolType type) {
  for (double v : {nomDim, minTol, maxTol})
    if (v < 0 && !isUnset(v)) return false;

  ccDimTol t;  // no validation: the copy is what is being tested
  t.nomDim_ = nomDim;
  t.minTol_ = minTol;
  t.maxTol_ = maxTol;
  t.type_ = type;
  // Without a nominal the range can only be tested against a provisional one.
  const bool minSet = !isUnset(minTol), maxSet = !isUnset(maxTol);
  if (isUnset(nomDim) && (minSet || maxSet)) {
    switch (type) {
      case eLimits:
        t.nomDim_ = minSet && maxSet ? (minTol + maxTol) / 2 : minSet ? minTol + 1 : maxTol - 1;
        break;
      case eOffsets:
        if (minSet) t.nomDim_ = minTol + 1;
        break;
      case ePercentages:
        t.nomDim_ = 1.0;
        break;
      default:
        break;
    }
  }

  try {
    const ccSMDDimension d(t);
    return true;
  } catch (const ccSMDDimension::Errors&) {
    return false;
  } catch (const ccShapesError::BadGeom&) {
    return false;
  }
}

void ccDimTol::assign_(double nomDim, double minTol, double maxTol, TolType type) {
  if (!isValid_(nomDim, minTol, maxTol, type))
    throw ccShapesError::BadGeom("invalid dimension tolerance");
  nomDim_ = nomDim;
  minTol_ = minTol;
  maxTol_ = maxTol;
  type_ = type;
}

void ccDimTol::nomDim(double nomDim) { assign_(nomDim, minTol_, maxTol_, type_); }

void ccDimTol::limits(double nomDim, double minDim, double maxDim) {
  assign_(nomDim, minDim, maxDim, eLimits);
}

void ccDimTol::offsets(double nomDim, double minOffset, double maxOffset) {
  assign_(nomDim, minOffset, maxOffset, eOffsets);
}

void ccDimTol::percentages(double nomDim, double minPerc, double maxPerc) {
  assign_(nomDim, minPerc, maxPerc, ePercentages);
}

void ccDimTol::tolType(TolType t) {
  if (t == type_) return;
  const double minTol = newTol_(minTol_, t, -1);
  const double maxTol = newTol_(maxTol_, t, +1);
  minTol_ = minTol;
  maxTol_ = maxTol;
  type_ = t;
}

bool ccDimTol::isWithin(double v) const {
  if (minTol_ >= 0 && v < minDim()) return false;
  if (maxTol_ >= 0 && v > maxDim()) return false;
  return true;
}

bool ccDimTol::operator==(const ccDimTol& t) const {
  return cfRealEq(nomDim_, t.nomDim_) && cfRealEq(minTol_, t.minTol_) &&
         cfRealEq(maxTol_, t.maxTol_) &&
         cfRealEq(static_cast<double>(type_), static_cast<double>(t.type_));
}

ccDimTol operator*(double s, const ccDimTol& t) {
  if (isUnset(t.nomDim())) return t;
  // The tolerances stay as they are, so the result is not validated.
  ccDimTol r = t;
  r.nomDim_ = s * t.nomDim_;
  return r;
}

ccArchive& operator||(ccArchive& ar, ccDimTol& t) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kDimTolSource, __LINE__);
  // Read into temporaries so that a failure part way leaves the tolerance as it was.
  double nomDim = t.nomDim_, minTol = t.minTol_, maxTol = t.maxTol_;
  std::uint32_t type = t.type_;
  ar || nomDim || minTol || maxTol || type;
  if (ar.isLoading()) {
    t.nomDim_ = nomDim;
    t.minTol_ = minTol;
    t.maxTol_ = maxTol;
    t.type_ = static_cast<ccDimTol::TolType>(type);
  }
  return ar;
}
