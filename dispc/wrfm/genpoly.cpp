// ccGenPoly: construction from the core shapes, editing, queries, mapping, comparison and the
// archive form. The ccShape interface and the decomposition are in genpolyshape.cpp.
#include <dispc/wrfm/genpoly.h>

#include <core/assert.h>
#include <core/errors.h>
#include <core/math.h>
#include <core/matherror.h>

#include <cmath>
#include <string>
#include <utility>

namespace {

constexpr const char* kSource = "dispc/wrfm/genpoly";

ccVector<2> unitPoint(const ccRadian& phi, double radius = 1) {
  return ccVector<2>::polar(radius, phi);
}

std::string range(long i, long first, long last) {
  return std::to_string(i) + " outside " + std::to_string(first) + " to " + std::to_string(last);
}

}  // namespace

// ---- construction -------------------------------------------------------------------------

ccSMDGDPolyVertex ccGenPoly::newVertex_(const ccVector<2>& p, double roundingSize,
                                        const ccRadian& segmentAngleSpan, const ccDimTol& tol) {
  return ccSMDGDPolyVertex(p, roundingSize, ccDegree(segmentAngleSpan), 0.5, 0.5, -1, tol);
}

ccGenPoly::ccGenPoly() : poly_(std::make_unique<ccSMDGDPoly>("poly")) {}

ccGenPoly::ccGenPoly(const ccLineSeg& seg) : ccGenPoly() {
  build_([&] {
    poly_->vertices({newVertex_(seg.p1(), 0, ccRadian(0)), newVertex_(seg.p2(), 0, ccRadian(0))});
  });
}

ccGenPoly::ccGenPoly(const ccPolygon& polygon) : ccGenPoly() {
  const std::vector<ccVector<2>>& points = polygon.vertices();
  if (points.empty()) return;
  std::vector<ccSMDGDPolyVertex> v;
  for (std::size_t i = 0; i + 1 < points.size(); ++i)
    v.push_back(newVertex_(points[i], 0, ccRadian(0)));
  const bool closes = points.size() > 3 && points.back() == points.front();
  if (!closes) v.push_back(newVertex_(points.back(), 0, ccRadian(0)));
  build_([&] {
    poly_->vertices(v);
    if (closes) poly_->close();
  });
}

ccGenPoly::ccGenPoly(const ccRect& rect) : ccGenPoly() {
  build_([&] {
    poly_->vertices({newVertex_(rect.ur(), 0, ccRadian(0)), newVertex_(rect.lr(), 0, ccRadian(0)),
                     newVertex_(rect.ll(), 0, ccRadian(0)), newVertex_(rect.ul(), 0, ccRadian(0))});
    poly_->close();
  });
}

ccGenPoly::ccGenPoly(const ccCircle& circle) : ccGenPoly() {
  build_([&] { *poly_ = ccSMDGDPoly::circle(circle.radius(), circle.center()); });
}

void ccGenPoly::fromUnitCircle_(const ccXform<2>& unit) {
  build_([&] { *poly_ = ccSMDGDPoly::circle(1, ccVector<2>(0, 0)); });
  map_ = unit;
  mutable_ = false;
}

ccGenPoly::ccGenPoly(const ccEllipse& ellipse) : ccGenPoly() {
  if (!ellipse.isDegenerate()) fromUnitCircle_(ellipse.unit());
}

ccGenPoly::ccGenPoly(const ccEllipse2& ellipse) : ccGenPoly() {
  if (!ellipse.isDegenerate()) fromUnitCircle_(ellipse.ellFromUnitCirc());
}

ccGenPoly::ccGenPoly(const ccEllipseArc& arc) : ccGenPoly() {
  const ccEllipse& e = arc.ellipse();
  if (e.isDegenerate()) return;
  if (arc.isFull()) {
    fromUnitCircle_(e.unit());
    return;
  }
  const ccRadian span = ccRadian(arc.phi2() - arc.phi1()).norm();
  build_([&] {
    poly_->vertices({newVertex_(unitPoint(arc.phi1()), 0, ccRadian(0)),
                     newVertex_(unitPoint(arc.phi2()), 0, span)});
  });
  map_ = e.unit();
  mutable_ = false;
}

ccGenPoly::ccGenPoly(const ccEllipseArc2& arc) : ccGenPoly() {
  const ccEllipse2& e = arc.ellipse();
  if (e.isDegenerate()) return;
  if (arc.isFull()) {
    fromUnitCircle_(e.ellFromUnitCirc());
    return;
  }
  build_([&] {
    poly_->vertices({newVertex_(unitPoint(arc.phiStart()), 0, ccRadian(0)),
                     newVertex_(unitPoint(arc.phiEnd()), 0, arc.phiSpan())});
  });
  map_ = e.ellFromUnitCirc();
  mutable_ = false;
}

ccGenPoly::ccGenPoly(const ccGenRect& rect) : ccGenPoly() {
  if (rect.isDegenerate()) return;
  const double ux = rect.uround().x(), uy = rect.uround().y();
  // A zero component leaves the corners of a general rectangle sharp, so only roundings with
  // two non-zero components become circles.
  const bool sharp = cfRealEq(ux, 0.0, ccRealEqEpsilon) || cfRealEq(uy, 0.0, ccRealEqEpsilon);
  build_([&] {
    if (sharp) {
      *poly_ = ccSMDGDPoly::rectangle(2, 2, ccVector<2>(0, 0));
      return;
    }
    std::vector<ccSMDGDPolyVertex> v =
        ccSMDGDPoly::rectangle(2 / ux, 2 / uy, ccVector<2>(0, 0)).vertices();
    for (ccSMDGDPolyVertex& x : v) x.vertexRadius(1);
    poly_->vertices(v);
    poly_->close();
  });
  map_ = ccXform<2>(sharp ? rect.U() : rect.U() * ccMatrix<2>(ux, 0, 0, uy), rect.center());
  mutable_ = false;
}

ccGenPoly::ccGenPoly(const ccEllipseAnnulusSection& section) : ccGenPoly() {
  if (section.isDegenerate()) return;
  const ccRadian span = section.angleSpan();
  if (span.toDouble() >= 2 * ccPi)
    throw ccShapesError::BadGeom("a full-turn annulus section is a ring, not one contour");
  const double s = section.annulus().scale();
  const ccRadian phi1 = section.phi1(), phi2 = section.phi2();
  std::vector<ccSMDGDPolyVertex> v{newVertex_(unitPoint(phi1), 0, ccRadian(0)),
                                   newVertex_(unitPoint(phi2), 0, span),
                                   newVertex_(unitPoint(phi2, s), 0, ccRadian(0))};
  if (s > 0) v.push_back(newVertex_(unitPoint(phi1, s), 0, -span));
  build_([&] {
    poly_->vertices(v);
    poly_->close();
  });
  map_ = section.outer().unit();
  mutable_ = false;
}

ccGenPoly::ccGenPoly(const ccGenPoly& o)
    : ccPersistent(o),
      ccRepBase(o),
      ccShape(o),
      poly_(std::make_unique<ccSMDGDPoly>(*o.poly_)),
      mutable_(o.mutable_),
      map_(o.map_) {}

ccGenPoly& ccGenPoly::operator=(const ccGenPoly& o) {
  if (this != &o) {
    ccGenPoly copy(o);
    mutating();
    swap(copy);
  }
  return *this;
}

ccGenPoly::~ccGenPoly() = default;

void ccGenPoly::swap(ccGenPoly& o) noexcept {
  poly_.swap(o.poly_);
  std::swap(mutable_, o.mutable_);
  std::swap(map_, o.map_);
}

void ccGenPoly::reInit() {
  ccGenPoly fresh;
  mutating();
  swap(fresh);
}

std::vector<ccGenPoly> ccGenPoly::convert(const ccAnnulus& a) {
  return {ccGenPoly(a.innerCircle()), ccGenPoly(a.outerCircle())};
}

std::vector<ccGenPoly> ccGenPoly::convert(const ccEllipseAnnulus& a) {
  return {ccGenPoly(a.inner()), ccGenPoly(a.outer())};
}

std::vector<ccGenPoly> ccGenPoly::convert(const ccGenAnnulus& a) {
  return {ccGenPoly(a.inner()), ccGenPoly(a.outer())};
}

void ccGenPoly::remapAndThrowError_(ccException& e) const {
  const std::uint32_t n = e.errorNumber();
  if (n == ccSMDGDPoly::invalidVertices::kErrorNumber ||
      n == ccSMDGDPoly::crossingSegments::kErrorNumber ||
      n == ccSMDGDPoly::notClosed::kErrorNumber ||
      n == ccSMDGDPolyVertex::invalidSegmentLength::kErrorNumber ||
      n == ccShapesError::DegenerateShape::kErrorNumber)
    throw ccShapesError::BadGeom(e.message());
  if (n == ccSMDGDPoly::invalidRounding::kErrorNumber) throw ccShapesError::BadRadius(e.message());
  if (n == ccSMDGDPoly::invalidIndex::kErrorNumber) throw ccShapesError::BadCoef(e.message());
}

// ---- indices ------------------------------------------------------------------------------

long ccGenPoly::nextVertexIndex(long s) const {
  const long n = numVertices();
  return n == 0 ? 0 : (s + 1) % n;
}

long ccGenPoly::previousSegmentIndex(long v) const {
  if (v == 0) return isOpen() ? -1 : numVertices() - 1;
  return v - 1;
}

long ccGenPoly::nextSegmentIndex(long v) const {
  return isOpen() && v == numVertices() - 1 ? -1 : v;
}

void ccGenPoly::checkVertex_(long i) const {
  if (i < 0 || i >= numVertices())
    throw ccShapesError::BadCoef("general polygon vertex index " + range(i, 0, numVertices() - 1));
}

long ccGenPoly::smdSegment_(long s) const {
  if (s < 0 || s >= numSegments())
    throw ccShapesError::BadCoef("general polygon segment index " + range(s, 0, numSegments() - 1));
  return (s + 1) % numVertices();
}

void ccGenPoly::checkInsertion_(long i) const {
  if (i < -1 || i > numVertices() - 1)
    throw ccShapesError::BadCoef("general polygon insertion index " +
                                 range(i, -1, numVertices() - 1));
}

void ccGenPoly::checkMutable_() const {
  if (!mutable_)
    throw ccShapesError::BadGeom("the general polygon is not mutable: it carries an affine map");
}

// ---- editing ------------------------------------------------------------------------------

void ccGenPoly::insertVertex(long i, const ccVector<2>& p, double roundingSize,
                             const ccRadian& segmentAngleSpan) {
  checkMutable_();
  checkInsertion_(i);
  mutating();
  poly_->insertVertex(i, newVertex_(p, roundingSize, segmentAngleSpan));
}

void ccGenPoly::insertVertex(const ccVector<2>& p, double roundingSize,
                             const ccRadian& segmentAngleSpan) {
  insertVertex(numVertices() - 1, p, roundingSize, segmentAngleSpan);
}

namespace {

void checkEndRounding(const ccSMDGDPoly& poly, long i, double roundingSize) {
  if (poly.isEndVertex(i) && !cfRealEq(roundingSize, 0.0, ccRealEqEpsilon))
    throw ccShapesError::BadGeom("vertex " + std::to_string(i) +
                                 " ends the open polygon and cannot be rounded");
}

}  // namespace

void ccGenPoly::replaceVertex(long i, const ccVector<2>& p, double roundingSize,
                              const ccRadian& segmentAngleSpan) {
  checkMutable_();
  checkVertex_(i);
  checkEndRounding(*poly_, i, roundingSize);
  mutating();
  poly_->replaceVertex(i, newVertex_(p, roundingSize, segmentAngleSpan));
}

void ccGenPoly::replaceVertex(long i, const ccVector<2>& p, double roundingSize) {
  checkMutable_();
  checkVertex_(i);
  checkEndRounding(*poly_, i, roundingSize);
  mutating();
  ccSMDGDPolyVertex v = poly_->vertex(i);
  v.point(p);
  v.vertexRadius(roundingSize);
  poly_->replaceVertex(i, v);
}

void ccGenPoly::deleteVertex(long i) {
  checkMutable_();
  checkVertex_(i);
  mutating();
  poly_->deleteVertex(i);
}

// The stored values stand for vertexRoundingSize(i) and vertexPoint(i): a mutable polygon's
// map is the identity, and the stored radius is exact where the rounding arc's radius would
// carry rounding errors into the vertex.
void ccGenPoly::vertexPoint(long i, const ccVector<2>& p) {
  checkMutable_();
  checkVertex_(i);
  replaceVertex(i, p, poly_->vertexIsRounded_(i) ? poly_->vertex(i).vertexRadius() : 0.0);
}

void ccGenPoly::vertexRoundingSize(long i, double roundingSize) {
  checkMutable_();
  checkVertex_(i);
  replaceVertex(i, poly_->vertex(i).point(), roundingSize);
}

// Rounding the ends of an open polygon would fail, so they are passed over; the whole
// polygon is validated once, in its final state.
void ccGenPoly::vertexRoundingSizes(double roundingSize) {
  checkMutable_();
  mutating();
  std::vector<ccSMDGDPolyVertex> v = poly_->vertices();
  for (long i = 0; i < numVertices(); ++i)
    if (!poly_->isEndVertex(i)) v[static_cast<std::size_t>(i)].vertexRadius(roundingSize);
  poly_->vertices(v);
}

void ccGenPoly::segmentAngleSpan(long s, const ccRadian& span) {
  checkMutable_();
  const long k = smdSegment_(s);
  mutating();
  ccSMDGDPolyVertex v = poly_->vertex(k);
  v.segmentAngleSpan(ccDegree(span));
  poly_->replaceVertex(k, v);
}

void ccGenPoly::open() {
  checkMutable_();
  mutating();
  poly_->open();
}

void ccGenPoly::close(const ccRadian& closingSpan) { close_(closingSpan, nullptr); }

void ccGenPoly::close_(const ccRadian& closingSpan, const ccDimTol* tol) {
  checkMutable_();
  mutating();
  editCopy_([&](ccSMDGDPoly& p) {
    if (p.numVertices() > 0) {
      ccSMDGDPolyVertex v = p.vertex(0);
      v.segmentAngleSpan(ccDegree(closingSpan));
      if (tol) v.segmentLengthTol(*tol);
      p.replaceVertex(0, v);
    }
    p.close();
  });
}

// ---- queries ------------------------------------------------------------------------------

ccVector<2> ccGenPoly::vertexPoint(long i) const {
  checkVertex_(i);
  return map_ * poly_->vertex(i).point();
}

double ccGenPoly::vertexRoundingSize(long i) const {
  checkVertex_(i);
  if (!poly_->vertexIsRounded_(i)) return 0;
  const double r = roundedVertex(i).ellipse().radii().x();
  return poly_->roundingIsUncertain_(i) ? -r : r;
}

ccEllipseArc ccGenPoly::roundedVertex(long i) const {
  checkVertex_(i);
  return (map_ * ccSMDGDPolyPrivate::roundedArcVertex_(*poly_, i)).ellipseArc();
}

ccEllipseArc2 ccGenPoly::roundedVertexArc(long i) const {
  checkVertex_(i);
  return (map_ * ccSMDGDPolyPrivate::roundedArcVertex_(*poly_, i)).ellipseArc2();
}

ccRadian ccGenPoly::segmentAngleSpan(long s) const {
  return ccRadian(poly_->vertex(smdSegment_(s)).segmentAngleSpan());
}

bool ccGenPoly::isLineSegment(long s) const { return poly_->isLineSegment_(smdSegment_(s)); }

ccLineSeg ccGenPoly::lineSegment(long s, bool full) const {
  const long k = smdSegment_(s);
  if (!poly_->isLineSegment_(k))
    throw ccShapesError::BadGeom("general polygon segment " + std::to_string(s) +
                                 " is an arc, not a line");
  const long start = poly_->previousVertexIndex_(k);
  const ccVector<2> a = full ? poly_->vertex(start).point() : poly_->roundEnd_(start);
  const ccVector<2> b = full ? poly_->vertex(k).point() : poly_->roundStart_(k);
  return ccLineSeg(map_ * a, map_ * b);
}

ccEllipseArc ccGenPoly::arcSegment(long s, bool full) const {
  const long k = smdSegment_(s);
  return (map_ * (full ? ccSMDGDPolyPrivate::arcSegment_(*poly_, k)
                       : ccSMDGDPolyPrivate::roundedArcSegment_(*poly_, k)))
      .ellipseArc();
}

ccEllipseArc2 ccGenPoly::ellipseSegment(long s, bool full) const {
  const long k = smdSegment_(s);
  return (map_ * (full ? ccSMDGDPolyPrivate::arcSegment_(*poly_, k)
                       : ccSMDGDPolyPrivate::roundedArcSegment_(*poly_, k)))
      .ellipseArc2();
}

ccVector<2> ccGenPoly::pos() const { return degen() ? ccVector<2>(0, 0) : vertexPoint(0); }

ccVector<2> ccGenPoly::center() const {
  return degen() ? ccVector<2>(0, 0) : map_ * ccSMDGDPolyPrivate::position(*poly_).trans();
}

ccRect ccGenPoly::encloseRect(const ccXform<2>& x) const {
  return degen() ? ccRect() : poly_->boundingBox(x * map_);
}

double ccGenPoly::distToPoint(const ccVector<2>& p) const {
  if (degen()) throw ccSMDGDPoly::invalidVertices();
  // Distances survive only rigid maps; any other goes through the mapped outline.
  if (map_.isIdentity()) return ccSMDGDPolyPrivate::distToPoint(*poly_, p);
  return p.distance(nearestPoint(p));
}

// ---- mapping and comparison ---------------------------------------------------------------

ccGenPoly ccGenPoly::map(const ccXform<2>& x) const {
  if (x.isIdentity()) return *this;
  const ccXform<2> composed = x * map_;
  if (x.matrix().isSingular() || composed.matrix().isSingular())
    throw ccMathError::Singular("general polygon mapped by a singular transform");
  ccGenPoly out(*this);
  out.map_ = composed;
  out.mutable_ = false;
  return out;
}

ccGenPoly ccGenPoly::map(const cc2Rigid& r, double scale) const {
  if (cfRealEq(scale, 0.0, ccRealEqEpsilon))
    throw ccMathError::Singular("general polygon scaled by 0");
  if (!mutable_) return map(ccXform<2>(r.trans(), r.angle(), r.angle(), scale, scale));
  // A negative scale is a half turn after the scaling by its magnitude.
  const cc2Rigid turn = scale < 0 ? cc2Rigid(r.angle() + ccRadian(ccPi), r.trans()) : r;
  ccGenPoly out(*this);
  remapErrors_([&] { *out.poly_ = turn * (std::fabs(scale) * *poly_); });
  return out;
}

bool ccGenPoly::operator==(const ccGenPoly& o) const {
  return *poly_ == *o.poly_ && map_ == o.map_ && mutable_ == o.mutable_;
}

bool cfRealEq(const ccGenPoly& a, const ccGenPoly& b, double tol) {
  return cfRealEq(*a.poly_, *b.poly_, tol) && cfRealEq(a.map_, b.map_, tol) &&
         a.mutable_ == b.mutable_;
}

// ---- archive ------------------------------------------------------------------------------

void ccGenPoly::version0_(ccArchive& ar, const char* source, long line) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(source, line);
}

bool ccGenPoly::startSimpleLoad_(ccArchive& ar, const char* source, long line) {
  if (ar.isStoring()) {
    cstd_assert_(static_cast<int>(line), source);
    return false;
  }
  version0_(ar, source, line);
  return true;
}

void ccGenPoly::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  version0_(ar, kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  if (ar.isStoring())
    storeCommon_(ar);
  else
    loadCommon_(ar);
  setVisited(ar);
}

void ccGenPoly::loadSimple(ccArchive& ar) {
  if (!startSimpleLoad_(ar, kSource, __LINE__)) return;
  ccGenPoly fresh;
  fresh.loadCommon_(ar);
  mutating();
  swap(fresh);
}

// The polygon is owned and never shared, so its record is written in place; its visit is
// forgotten afterwards, so that a later polygon at the same address is written or read again.
void ccGenPoly::storeCommon_(ccArchive& ar) {
  {
    const ccArchive::VisitScope scope(ar);
    poly_->dispatchSerialize(ar);
  }
  ar || map_ || mutable_;
}

void ccGenPoly::loadCommon_(ccArchive& ar) {
  auto poly = std::make_unique<ccSMDGDPoly>("poly");
  {
    const ccArchive::VisitScope scope(ar);
    poly->dispatchSerialize(ar);
  }
  ccXform<2> map;
  bool isMutable = true;
  ar || map || isMutable;
  if (!cfIsFinite(map) || map.matrix().isSingular())
    throw ccArchive::BadData("general polygon map is singular or not finite at offset " +
                             std::to_string(ar.position()));
  mutating();
  poly_.swap(poly);
  map_ = map;
  mutable_ = isMutable;
}
