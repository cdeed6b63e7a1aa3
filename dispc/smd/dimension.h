// Dimensions as SMD descriptions store and check them.
//
// ccSMDDimension holds nominal, minimum and maximum as absolute dimensions, and how the range
// follows a scaling of the model. It is built from values or from a ccDimTol (the form users
// give). -1 marks a value that is not set.
#pragma once

#include <core/archive.h>
#include <core/exception.h>
#include <dispc/dimtol.h>
#include <dispc/errors.h>

#include <cstdint>
#include <string>

// The family base of the SMD dimension errors.
class ccSMDDimensionErrors : public ccException {
 public:
  std::uint32_t errorNumber() const override = 0;
  [[noreturn]] void suicideAndRethrow() override = 0;

 protected:
  ccSMDDimensionErrors() = default;
  explicit ccSMDDimensionErrors(const std::string& message) : ccException(message) {}
};

class ccSMDDimension {
 public:
  // How the dimension follows a scaling of the model. The values are archived.
  enum ScaleType : std::uint32_t {
    eFixed = 0,         // nothing changes
    eScaleNominal = 1,  // the nominal scales, the distances to minimum and maximum stay
    eScaleAll = 2,      // nominal, minimum and maximum scale
  };

  class Errors : public ccSMDDimensionErrors {
   public:
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;

   protected:
    Errors() = default;
    explicit Errors(const std::string& message) : ccSMDDimensionErrors(message) {}
  };

  // A value or combination of values that does not describe a dimension; the message says
  // which rule failed. Archived as a version byte (0), then the ccException record.
  class badDimensionValue : public ccErrorClass<badDimensionValue, Errors, 0x11000B00> {
   public:
    badDimensionValue() = default;
    explicit badDimensionValue(const std::string& message) : ccErrorClass(message) {}
  };

  // Calls set: throws badDimensionValue for invalid values.
  ccSMDDimension(double nomDim = -1, double minDim = -1, double maxDim = -1,
                 ScaleType type = eFixed) {
    set(nomDim, minDim, maxDim, type);
  }
  // Converts implicitly: the tolerance read as limits; tolerance type 0, 1, 2 becomes scale
  // type 0, 1, 2.
  ccSMDDimension(const ccDimTol& t);

  // Checks the values and stores all four, or throws badDimensionValue and stores nothing.
  void set(double nomDim, double minDim, double maxDim, ScaleType type);

  double nomDim() const { return nomDim_; }
  double minDim() const { return minDim_; }
  double maxDim() const { return maxDim_; }
  ScaleType scaleType() const { return type_; }

  // True when v lies strictly between the set limits of s * this.
  bool withinTolerance(double v, double s) const;

  // Nominal, minimum and maximum each within ccRealEqEpsilon, and the same scale type.
  bool operator==(const ccSMDDimension& d) const;
  bool operator!=(const ccSMDDimension& d) const { return !(*this == d); }

 private:
  friend ccArchive& operator||(ccArchive& ar, ccSMDDimension& d);

  double nomDim_ = -1;
  double minDim_ = -1;
  double maxDim_ = -1;
  ScaleType type_ = eFixed;
};

// The dimension scaled by s as its scale type says.
ccSMDDimension operator*(double s, const ccSMDDimension& d);

// Version byte 0; nominal, minimum, maximum as doubles; the scale type as one unsigned byte.
ccArchive& operator||(ccArchive& ar, ccSMDDimension& d);
