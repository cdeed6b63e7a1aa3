// cc2Wireframe: tolerances on insert and close, polarity, error remapping and the archive form.
#include <dispc/wrfm/wirefrm.h>

#include <core/errors.h>

namespace {

constexpr const char* kSource = "dispc/wrfm/wirefrm";

}  // namespace

cc2Wireframe::cc2Wireframe(const cc2Wireframe& o) : ccPersistent(o), ccRepBase(o), ccGenPoly(o) {}

cc2Wireframe::cc2Wireframe(const ccGenPoly& poly)
    : ccPersistent(poly), ccRepBase(poly), ccGenPoly(poly) {}

// The SMD polygon is edited directly, so a polygon that is not mutable takes the tolerances
// too and keeps its flag.
cc2Wireframe::cc2Wireframe(const ccGenPoly& poly, const ccDimTol& tol) : cc2Wireframe(poly) {
  remapErrors_([&] {
    editCopy_([&](ccSMDGDPoly& p) {
      for (long s = 0; s < numSegments(); ++s) setTol_(p, s, tol);
    });
  });
}

cc2Wireframe& cc2Wireframe::operator=(const cc2Wireframe& o) {
  ccGenPoly::operator=(o);
  return *this;
}

void cc2Wireframe::setTol_(ccSMDGDPoly& poly, long s, const ccDimTol& tol) const {
  const long k = smdSegment_(s);
  ccSMDGDPolyVertex v = poly.vertex(k);
  v.segmentLengthTol(tol);
  poly.replaceVertex(k, v);
}

void cc2Wireframe::insertVertex(long i, const ccVector<2>& p, double roundingSize,
                                const ccRadian& segmentAngleSpan, const ccDimTol& tol) {
  checkMutable_();
  checkInsertion_(i);
  mutating();
  const bool splits = i != -1 && nextSegmentIndex(i) != -1;
  editCopy_([&](ccSMDGDPoly& poly) {
    if (splits) setTol_(poly, i, ccDimTol());
    // After vertex i the new vertex ends segment i, so it carries that segment's tolerance.
    poly.insertVertex(i, newVertex_(p, roundingSize, segmentAngleSpan, i != -1 ? tol : ccDimTol()));
  });
}

void cc2Wireframe::insertVertex(const ccVector<2>& p, double roundingSize,
                                const ccRadian& segmentAngleSpan, const ccDimTol& tol) {
  insertVertex(numVertices() - 1, p, roundingSize, segmentAngleSpan, tol);
}

void cc2Wireframe::close(const ccRadian& segmentAngleSpan, const ccDimTol& tol) {
  if (isOpen()) close_(segmentAngleSpan, &tol);
}

void cc2Wireframe::segmentLengthTol(long s, const ccDimTol& tol) {
  checkMutable_();
  smdSegment_(s);
  mutating();
  setTol_(editablePoly_(), s, tol);
}

ccDimTol cc2Wireframe::segmentLengthTol(long s) const {
  return ccSMDGDPolyPrivate::dimTol(smdPoly_().segmentDimension(smdSegment_(s)));
}

void cc2Wireframe::polarity(bool reversed) {
  if (reversed == isPolarityReversed()) return;
  mutating();
  editablePoly_().toggleDirection();
  polarity_(reversed);
}

void cc2Wireframe::polarity_(bool) {}

// A negative determinant reflects, whichever way the map's rotations are read.
bool cc2Wireframe::isInsidePositive() const {
  if (isOpen()) throw ccShapesError::BadGeom("an open wireframe has no inside");
  return smdPoly_().isDirectionPositive() != (polyMap_().matrix().determinant() < 0);
}

void cc2Wireframe::insidePolarity(bool positive) {
  if (positive == isInsidePositive()) return;
  mutating();
  editablePoly_().toggleDirection();
}

void cc2Wireframe::remapAndThrowError_(ccException& e) const {
  if (e.errorNumber() == ccSMDGDPolyVertex::invalidSegmentLength::kErrorNumber)
    throw ccShapesError::BadGeom(e.message());
  ccGenPoly::remapAndThrowError_(e);
}

void cc2Wireframe::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  version0_(ar, kSource, __LINE__);
  ccGenPoly::dispatchSerialize(ar);
  setVisited(ar);
}

void cc2Wireframe::loadSimple(ccArchive& ar) {
  if (startSimpleLoad_(ar, kSource, __LINE__)) ccGenPoly::loadSimple(ar);
}
