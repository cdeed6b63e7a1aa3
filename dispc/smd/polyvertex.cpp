// ccSMDGDPolyVertex: construction, range checks, comparison, scaling and archive forms.
#include <dispc/smd/polyvertex.h>

#include <core/assert.h>
#include <core/math.h>
#include <dispc/tolerance.h>

namespace {

constexpr const char* kVertexSource = "dispc/smd/polyvertex";

constexpr double kMinPercent = 0.01;
constexpr double kMaxPercent = 1.0;

}  // namespace

ccSMDGDPolyVertex::ccSMDGDPolyVertex(const ccVector<2>& p, double percentPrev, double percentNext,
                                     long label)
    : ccSMDGDPolyVertex(p, 0, percentPrev, percentNext, label) {}

ccSMDGDPolyVertex::ccSMDGDPolyVertex(const ccVector<2>& p, double radius, double percentPrev,
                                     double percentNext, long label)
    : point_(p), vertexRadius_(radius), subModelLabel_(static_cast<std::int32_t>(label)) {
  percentPrevSegment(percentPrev);
  percentNextSegment(percentNext);
  segmentLengthTol_.offsets(-1, -1, -1);
}

ccSMDGDPolyVertex::ccSMDGDPolyVertex(const ccVector<2>& p, double radius,
                                     const ccDegree& segmentAngleSpan, double percentPrev,
                                     double percentNext, long label, const ccDimTol& tol)
    : point_(p),
      vertexRadius_(radius),
      segmentAngleSpan_(segmentAngleSpan),
      subModelLabel_(static_cast<std::int32_t>(label)),
      segmentLengthTol_(tol) {
  percentPrevSegment(percentPrev);
  percentNextSegment(percentNext);
}

void ccSMDGDPolyVertex::percentPrevSegment(double p) {
  if (p < kMinPercent || p > kMaxPercent) throw invalidSegmentLength();
  mutating();
  percentPrevSegment_ = p;
}

void ccSMDGDPolyVertex::percentNextSegment(double p) {
  if (p < kMinPercent || p > kMaxPercent) throw invalidSegmentLength();
  mutating();
  percentNextSegment_ = p;
}

void ccSMDGDPolyVertex::drawWireframe(const ccXform<2>&, ccUITablet&) const {}

void ccSMDGDPolyVertex::drawSynthetic(const ccXform<2>&, ccPelBuffer<unsigned char>&) const {}

int ccSMDGDPolyVertex::operator==(const ccSMDGDPolyVertex& v) const {
  const ccRadian span(segmentAngleSpan_), vSpan(v.segmentAngleSpan_);
  return cfRealEq(point_, v.point_, ccSMDVertexTolerance) &&
         cfRealEq(vertexRadius_, v.vertexRadius_, ccSMDVertexTolerance) &&
         cfRealEq(sin(span), sin(vSpan), ccSMDVertexTolerance) &&
         cfRealEq(cos(span), cos(vSpan), ccSMDVertexTolerance) &&
         cfRealEq(percentPrevSegment_, v.percentPrevSegment_, ccSMDVertexTolerance) &&
         cfRealEq(percentNextSegment_, v.percentNextSegment_, ccSMDVertexTolerance) &&
         cfRealEq(extensionForward_, v.extensionForward_, ccSMDVertexTolerance) &&
         cfRealEq(extensionBackward_, v.extensionBackward_, ccSMDVertexTolerance) &&
         subModelLabel_ == v.subModelLabel_ && segmentLengthTol_ == v.segmentLengthTol_;
}

ccSMDGDPolyVertex operator*(double s, const ccSMDGDPolyVertex& v) {
  ccSMDGDPolyVertex r(v);
  r.point(s * v.point());
  r.vertexRadius(s * v.vertexRadius());
  r.segmentLengthTol(s * v.segmentLengthTol());
  return r;
}

ccSMDGDPolyVertex operator*(const cc2Rigid& r, const ccSMDGDPolyVertex& v) {
  ccSMDGDPolyVertex m(v);
  m.point(r * v.point());
  return m;
}

void ccSMDGDPolyVertex::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 2;
  ar || version;
  ccSMDGDPolyVertex::serialize_(ar, version);
  setVisited(ar);
}

void ccSMDGDPolyVertex::serialize_(ccArchive& ar, unsigned char version) {
  if (version > 2) throw ccArchive::UnknownVersion(std::string(), 0);
  // Only the current form is written; the older ones are for reading old archives.
  if (ar.isStoring() && version < 2) cstd_assert_(__LINE__, kVertexSource);

  ccSMDGeometricDescription::dispatchSerialize(ar);
  // Load into copies, so that a failure part way leaves the vertex's own fields as they were
  // (the name, read above, may already have changed).
  ccVector<2> point = point_;
  double radius = vertexRadius_;
  double span = segmentAngleSpan_.toDouble();
  double percentPrev = percentPrevSegment_, percentNext = percentNextSegment_;
  std::int32_t label = subModelLabel_;
  ar || point || radius || span || percentPrev || percentNext || label;

  ccDimTol tol = segmentLengthTol_;
  switch (version) {
    case 2:
      ar || tol;
      break;
    case 1: {
      // Offsets from the nominal the vertex already has; the stored type is not used.
      double lower = tol.minTol(), upper = tol.maxTol();
      std::uint32_t type = tol.tolType();
      ar || lower || upper || type;
      if (ar.isLoading()) tol.offsets(lower, upper);
      break;
    }
    default:
      tol = ccDimTol(-1, -1, -1, ccDimTol::eLimits);
      break;
  }

  if (ar.isLoading()) {
    mutating();
    point_ = point;
    vertexRadius_ = radius;
    segmentAngleSpan_ = ccDegree(span);
    percentPrevSegment_ = percentPrev;
    percentNextSegment_ = percentNext;
    subModelLabel_ = label;
    segmentLengthTol_ = tol;
  }
}
