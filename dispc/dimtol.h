// Dimensions with tolerances as users give them.
//
// ccDimTol is a nominal dimension and two tolerance values read as absolute limits, offsets
// from the nominal or multiples of the nominal, with conversions between the readings. SMD
// descriptions store and check the absolute form, ccSMDDimension (dispc/smd/dimension.h).
// Throughout, -1 marks a value that is not set; a tolerance of (-1, -1, -1) means no
// tolerance.
#pragma once

#include <core/archive.h>

#include <cstdint>

class ccDimTol {
 public:
  // How minTol and maxTol are read. The values are archived.
  enum TolType : std::uint32_t {
    eLimits = 0,       // absolute minimum and maximum dimensions
    eOffsets = 1,      // distances below and above the nominal (magnitudes)
    ePercentages = 2,  // distances as multiples of the nominal
  };

  // Throws ccShapesError::BadGeom unless the values form a valid tolerance; (-1, -1, -1) is
  // always accepted.
  ccDimTol(double nomDim = -1, double minTol = -1, double maxTol = -1, TolType type = eLimits);

  double nomDim() const { return nomDim_; }
  double minTol() const { return minTol_; }
  double maxTol() const { return maxTol_; }
  TolType tolType() const { return type_; }

  // The tolerances read as limits, offsets or percentages. -1 stays -1; any other conversion
  // needs a nominal and throws ccShapesError::BadGeom without one.
  double minDim() const { return newTol_(minTol_, eLimits, -1); }
  double maxDim() const { return newTol_(maxTol_, eLimits, +1); }
  double minOffset() const { return newTol_(minTol_, eOffsets, -1); }
  double maxOffset() const { return newTol_(maxTol_, eOffsets, +1); }
  double minPerc() const { return newTol_(minTol_, ePercentages, -1); }
  double maxPerc() const { return newTol_(maxTol_, ePercentages, +1); }

  // The setters validate the whole new state; on failure they throw ccShapesError::BadGeom
  // and leave the object unchanged. The two-argument forms keep the nominal.
  void nomDim(double nomDim);
  void limits(double nomDim, double minDim, double maxDim);
  void offsets(double nomDim, double minOffset, double maxOffset);
  void percentages(double nomDim, double minPerc, double maxPerc);
  void limits(double minDim, double maxDim) { limits(nomDim_, minDim, maxDim); }
  void offsets(double minOffset, double maxOffset) { offsets(nomDim_, minOffset, maxOffset); }
  void percentages(double minPerc, double maxPerc) { percentages(nomDim_, minPerc, maxPerc); }

  // Converts the stored tolerances to type t; the nominal stays. Throws ccShapesError::BadGeom
  // when a conversion is needed and the nominal is not set.
  void tolType(TolType t);

  // False when v lies below a set minimum or above a set maximum; the limits themselves are
  // within.
  bool isWithin(double v) const;

  // Nominal, tolerances and type each equal within ccRealEqEpsilon.
  bool operator==(const ccDimTol& t) const;
  bool operator!=(const ccDimTol& t) const { return !(*this == t); }

  // True when the values would form a valid tolerance of the given type.
  static bool isValid_(double nomDim, double minTol, double maxTol, TolType type);

 private:
  // One tolerance value converted from the current type to target; sign is -1 for the lower
  // and +1 for the upper tolerance.
  double newTol_(double value, TolType target, double sign) const;
  // Validates, then stores all four fields.
  void assign_(double nomDim, double minTol, double maxTol, TolType type);

  friend ccDimTol operator*(double s, const ccDimTol& t);
  friend ccArchive& operator||(ccArchive& ar, ccDimTol& t);

  double nomDim_ = -1;
  double minTol_ = -1;
  double maxTol_ = -1;
  TolType type_ = eLimits;
};

// A copy with the nominal scaled by s (an unset nominal stays unset); tolerances unchanged.
ccDimTol operator*(double s, const ccDimTol& t);

// Version byte 0; nominal, minTol, maxTol as doubles; the type as an unsigned 32-bit integer.
ccArchive& operator||(ccArchive& ar, ccDimTol& t);
