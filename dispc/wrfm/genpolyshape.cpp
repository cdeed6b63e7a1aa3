// ccGenPoly as a ccShape: the decomposition into mapped lines and elliptical arcs, and the
// shape queries answered through it or through the SMD polygon.
#include <core/errors.h>
#include <core/shapetree.h>
#include <dispc/wrfm/genpoly.h>

#include <typeinfo>

namespace {

bool reflects(const ccXform<2>& x) { return x.matrix().determinant() < 0; }

}  // namespace

ccShapePtrh ccGenPoly::decompose() const {
  const long n = numVertices();
  if (n == 1) {
    const ccVector<2> p = vertexPoint(0);
    return ccShapePtrh(new ccLineSeg(p, p));
  }
  std::vector<ccShapePtrh> pieces;
  for (long i = 0; i < n; ++i) {
    if (poly_->vertexIsRounded_(i)) {
      const ccEllipseArc2 arc = roundedVertexArc(i);
      pieces.push_back(poly_->roundingIsUncertain_(i) ? negCornerArc_(arc) : arc.clone());
    }
    if (isOpen() && i == n - 1) break;
    // Segment i: the part of SMD segment i + 1 left between the roundings.
    const long k = (i + 1) % n;
    if (poly_->isLineSegment_(k)) {
      const ccVector<2> a = map_ * poly_->roundEnd_(i), b = map_ * poly_->roundStart_(k);
      if (a != b) pieces.push_back(ccShapePtrh(new ccLineSeg(a, b)));
    } else {
      cc2SegmentArc arc;
      if (ccSMDGDPolyPrivate::roundedArcSegment_(*poly_, k, arc))
        pieces.push_back((map_ * arc).ellipseArc2().clone());
    }
  }
  return ccShapePtrh(new ccContourTree(pieces, !isOpen()));
}

ccShapePtrh ccGenPoly::negCornerArc_(const ccEllipseArc2& arc) const { return arc.clone(); }

bool ccGenPoly::hasTangent() const {
  for (long i = 1; i < numVertices(); ++i)
    if (poly_->vertex(i).point() != poly_->vertex(0).point()) return true;
  return false;
}

ccRect ccGenPoly::boundingBox() const {
  if (degen()) throw ccShapesError::EmptyShape("the general polygon has no vertices");
  return decompose()->boundingBox();
}

ccVector<2> ccGenPoly::nearestPoint(const ccVector<2>& p) const {
  if (degen()) throw ccShapesError::EmptyShape("the general polygon has no vertices");
  return decompose()->nearestPoint(p);
}

namespace {

void requireOpenContour(const ccGenPoly& g) {
  if (!g.isOpenContour())
    throw ccShapesError::NotOpenContour("the general polygon is closed or empty");
}

void requireRegion(const ccGenPoly& g) {
  if (!g.isRegion()) throw ccShapesError::NotRegion("the general polygon is open or empty");
}

}  // namespace

ccVector<2> ccGenPoly::startPoint() const {
  requireOpenContour(*this);
  return vertexPoint(0);
}

ccVector<2> ccGenPoly::endPoint() const {
  requireOpenContour(*this);
  return vertexPoint(numVertices() - 1);
}

// The ends of an open polygon are never rounded, so its first and last segments reach them.
ccRadian ccGenPoly::segmentDirection_(long s, bool atEnd) const {
  const long k = smdSegment_(s);
  if (poly_->isLineSegment_(k)) {
    const ccVector<2> d =
        poly_->vertex(k).point() - poly_->vertex(poly_->previousVertexIndex_(k)).point();
    if (d.lengthSq() == 0) throw ccShapesError::NoTangent("segment of length 0");
    return map_.mapVector(d).angle();
  }
  const cc2SegmentArc arc = map_ * ccSMDGDPolyPrivate::arcSegment_(*poly_, k);
  return ccRadian(atEnd ? arc.endDirection() : arc.startDirection());
}

ccRadian ccGenPoly::startAngle() const {
  requireOpenContour(*this);
  if (numVertices() < 2) throw ccShapesError::NoTangent("a single vertex has no direction");
  return segmentDirection_(0, false);
}

ccRadian ccGenPoly::endAngle() const {
  requireOpenContour(*this);
  if (numVertices() < 2) throw ccShapesError::NoTangent("a single vertex has no direction");
  return segmentDirection_(numVertices() - 2, true);
}

ccRadian ccGenPoly::tangentRotation() const {
  requireOpenContour(*this);
  return decompose()->tangentRotation();
}

ccRadian ccGenPoly::windingAngle(const ccVector<2>& p) const {
  requireOpenContour(*this);
  return decompose()->windingAngle(p);
}

// The determinant's sign tells a reflecting map whatever convention reads its rotations.
bool ccGenPoly::isRightHanded() const {
  requireRegion(*this);
  return (ccSMDGDPolyPrivate::signedArea2_(*poly_) > 0) != reflects(map_);
}

bool ccGenPoly::within(const ccVector<2>& p) const {
  requireRegion(*this);
  return poly_->inside_(map_.inverse() * p);
}

ccShapePtrh ccGenPoly::mapShape(const ccXform<2>& x) const { return decompose()->mapShape(x); }

ccShapePtrh ccGenPoly::reverse() const {
  ccShapePtrh out = clone();
  ccGenPoly& reversed = dynamic_cast<ccGenPoly&>(*out);
  remapErrors_([&] { ccSMDGDPolyPrivate::reversePoly(*poly_, *reversed.poly_); });
  return out;
}

void ccGenPoly::sample(const ccSampleParams& params, ccSampleResult& result) const {
  if (params.uniform)
    throw ccShapesError::BadParams("a general polygon is not sampled at equal arc lengths");
  decompose()->sample(params, result);
}

// The shape's lengths and positions are those of its decomposition.
double ccGenPoly::perimeter() const { return decompose()->perimeter(); }

double ccGenPoly::nearestPerimPos(const ccVector<2>& p) const {
  return decompose()->nearestPerimPos(p);
}

ccShapePtrh ccGenPoly::subShape(double startPos, double endPos) const {
  return decompose()->subShape(startPos, endPos);
}

// The same class on both sides, so a wireframe never equals a general polygon either way.
bool ccGenPoly::equal_(const ccShape& other) const {
  return typeid(other) == typeid(*this) && *this == static_cast<const ccGenPoly&>(other);
}

ccShapePtrh ccGenPoly::clip_(const ccPolyline& clipper, ccClipInfo& info) const {
  ccShapePtrh clipped = decompose()->clip(clipper, info);
  return info.result == ccClipInfo::eInside ? clone() : clipped;
}
