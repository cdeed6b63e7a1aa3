// ccSMDGDPolyVertex: one vertex of an SMD polygon, with the description of the segment that
// ends at it.
//
// The segment is a line (span 0) or an arc of the signed span; the vertex itself may be
// rounded. A vertex has no name and draws nothing on its own: its polygon draws it.
#pragma once

#include <core/angle.h>
#include <core/archive.h>
#include <core/exception.h>
#include <core/vector.h>
#include <core/xform.h>
#include <dispc/dimtol.h>
#include <dispc/errors.h>
#include <dispc/smd/description.h>

#include <cstdint>
#include <string>

class ccSMDGDPolyVertex : public ccSMDGeometricDescription {
 public:
  class Errors : public ccException {
   public:
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;

   protected:
    Errors() = default;
    explicit Errors(const std::string& message) : ccException(message) {}
  };

  // A segment percentage outside [0.01, 1]. Archived as a version byte (0), then the
  // ccException record.
  class invalidSegmentLength : public ccErrorClass<invalidSegmentLength, Errors, 0x11000350> {
   public:
    invalidSegmentLength() : ccErrorClass("Invalid poly segment length specified at vertex.") {}
  };

  // Every constructor starts from radius 0, span 0, percentages 0.5, no sub-model (-1), no
  // tolerance and no extensions. Percentages go through their setters, so an out-of-range
  // one throws invalidSegmentLength.
  ccSMDGDPolyVertex() = default;
  // These two set the tolerance through offsets(-1, -1, -1): no tolerance, read as offsets.
  ccSMDGDPolyVertex(const ccVector<2>& p, double percentPrev, double percentNext, long label);
  ccSMDGDPolyVertex(const ccVector<2>& p, double radius, double percentPrev, double percentNext,
                    long label);
  ccSMDGDPolyVertex(const ccVector<2>& p, double radius, const ccDegree& segmentAngleSpan,
                    double percentPrev, double percentNext, long label, const ccDimTol& tol);
  ccSMDGDPolyVertex(const ccSMDGDPolyVertex&) = default;
  ccSMDGDPolyVertex& operator=(const ccSMDGDPolyVertex&) = default;
  ~ccSMDGDPolyVertex() override = default;

  const ccVector<2>& point() const { return point_; }
  void point(const ccVector<2>& p) {
    mutating();
    point_ = p;
  }
  // Rounding radius of the corner; 0 is sharp, a negative value a rounding of radius |value|
  // whose size is uncertain.
  double vertexRadius() const { return vertexRadius_; }
  void vertexRadius(double r) {
    mutating();
    vertexRadius_ = r;
  }
  // Signed span of the segment ending here; 0 makes it a line.
  const ccDegree& segmentAngleSpan() const { return segmentAngleSpan_; }
  void segmentAngleSpan(const ccDegree& span) {
    mutating();
    segmentAngleSpan_ = span;
  }
  // Fractions of the neighbouring segments, each in [0.01, 1]; outside, the setters throw
  // invalidSegmentLength and keep the value.
  double percentPrevSegment() const { return percentPrevSegment_; }
  void percentPrevSegment(double p);
  double percentNextSegment() const { return percentNextSegment_; }
  void percentNextSegment(double p);
  // -1 when the vertex belongs to no sub-model.
  long subModelLabel() const { return subModelLabel_; }
  void subModelLabel(long label) {
    mutating();
    subModelLabel_ = static_cast<std::int32_t>(label);
  }
  // Length tolerance of the segment ending here.
  const ccDimTol& segmentLengthTol() const { return segmentLengthTol_; }
  void segmentLengthTol(const ccDimTol& tol) {
    mutating();
    segmentLengthTol_ = tol;
  }
  // Extensions of the segments at this vertex, as fractions of their lengths; kept for the
  // polygon and not archived.
  double extensionForward() const { return extensionForward_; }
  void extensionForward(double e) {
    mutating();
    extensionForward_ = e;
  }
  double extensionBackward() const { return extensionBackward_; }
  void extensionBackward(double e) {
    mutating();
    extensionBackward_ = e;
  }

  // Nothing: the polygon draws its vertices.
  void drawWireframe(const ccXform<2>& xform, ccUITablet& tablet) const override;
  using ccSMDGeometricDescription::drawSynthetic;
  void drawSynthetic(const ccXform<2>& xform, ccPelBuffer<unsigned char>& image) const override;

  // Within ccSMDVertexTolerance: point, radius, sine and cosine of the span (spans equal modulo
  // 360), percentages and extensions; exactly: the label; and equal tolerances. The name is not
  // compared.
  int operator==(const ccSMDGDPolyVertex& v) const;
  int operator!=(const ccSMDGDPolyVertex& v) const { return !(*this == v); }

  // Archive: version byte (2), the description record, point, radius, span (degrees),
  // percentages (doubles), label (32-bit), then the tolerance. Version 1 holds the tolerance
  // as lower and upper offsets and an unused type; version 0 holds none. Only version 2 is
  // stored; a later version throws ccArchive::UnknownVersion with no source and line 0.
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccSMDGDPolyVertex; }
  // The shortest record (version 0, empty name): loading checks vertex counts against it.
  static constexpr std::size_t kArchiveMinBytes = 1 + 5 + 16 + 4 * 8 + 4;

 protected:
  // Storing an old version is reported as an assertion, and its form is written.
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> point_;
  double vertexRadius_ = 0;
  ccDegree segmentAngleSpan_;
  double percentPrevSegment_ = 0.5;
  double percentNextSegment_ = 0.5;
  std::int32_t subModelLabel_ = -1;
  ccDimTol segmentLengthTol_{-1, -1, -1, ccDimTol::eLimits};
  double extensionForward_ = 0;
  double extensionBackward_ = 0;
};

// Point, radius and tolerance scaled by s; everything else as in v.
ccSMDGDPolyVertex operator*(double s, const ccSMDGDPolyVertex& v);
// v with its point mapped by r.
ccSMDGDPolyVertex operator*(const cc2Rigid& r, const ccSMDGDPolyVertex& v);
