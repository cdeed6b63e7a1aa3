#include <core/affinerect.h>
#include <core/polyline_p.h>

#include <cmath>

namespace {
constexpr const char* kSource = "core/affinerect";

void checkFinite3(const ccVector<2>& a, const ccVector<2>& b, const ccVector<2>& c) {
  cc_detail::checkFinite(a);
  cc_detail::checkFinite(b);
  cc_detail::checkFinite(c);
}
}  // namespace

// ---- ccAffineRectangle

ccAffineRectangle::ccAffineRectangle(const ccVector<2>& po, const ccVector<2>& px,
                                     const ccVector<2>& py)
    : po_(po), px_(px), py_(py) {
  checkFinite3(po, px, py);
}

ccAffineRectangle::ccAffineRectangle(const ccXform<2>& x)
    : ccAffineRectangle(x * ccVector<2>(0, 0), x * ccVector<2>(1, 0), x * ccVector<2>(0, 1)) {}

ccAffineRectangle ccAffineRectangle::fromCenter(const ccVector<2>& center, double xLength,
                                                double yLength, const ccRadian& xRot,
                                                const ccRadian& yRot) {
  if (!std::isfinite(xLength) || !std::isfinite(yLength) || !std::isfinite(xRot.toDouble()) ||
      !std::isfinite(yRot.toDouble()))
    throw ccShapesError::BadGeom("non-finite affine rectangle parameter");
  if (xLength < 0 || yLength < 0) throw ccShapesError::BadParams("negative side length");
  const ccXform<2> m(ccVector<2>(), xRot, yRot, xLength, yLength);
  const ccVector<2> a = m.mapVector(ccVector<2>(1, 0)), b = m.mapVector(ccVector<2>(0, 1));
  const ccVector<2> po = center - (a + b) * 0.5;
  return ccAffineRectangle(po, po + a, po + b);
}

void ccAffineRectangle::corners(const ccVector<2>& po, const ccVector<2>& px,
                                const ccVector<2>& py) {
  checkFinite3(po, px, py);
  mutating();
  po_ = po;
  px_ = px;
  py_ = py;
}

ccXform<2> ccAffineRectangle::xform() const {
  const ccVector<2> a = sideX(), b = sideY();
  return ccXform<2>(ccMatrix<2>(a.x(), b.x(), a.y(), b.y()), po_);
}

ccPolyline ccAffineRectangle::boundary() const {
  const auto c = corners();
  return ccPolyline({c[0], c[1], c[2], c[3]}, true);
}

ccShapePtrh ccAffineRectangle::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccAffineRectangle(map(x)));
}

ccRect ccAffineRectangle::boundingBox() const {
  const auto c = corners();
  return cc_detail::boundingBox({c[0], c[1], c[2], c[3]});
}

ccVector<2> ccAffineRectangle::nearestPoint(const ccVector<2>& p) const {
  const auto c = corners();
  return cc_detail::nearestPoint({c[0], c[1], c[2], c[3]}, true, p);
}

ccRadian ccAffineRectangle::windingAngle(const ccVector<2>& p) const {
  const auto c = corners();
  return cc_detail::windingAngle({c[0], c[1], c[2], c[3]}, true, p);
}

bool ccAffineRectangle::within(const ccVector<2>& p) const {
  const auto c = corners();
  return cc_detail::within({c[0], c[1], c[2], c[3]}, p);
}

ccShapePtrh ccAffineRectangle::decompose() const { return ccShapePtrh(new ccPolyline(boundary())); }

ccShapePtrh ccAffineRectangle::reverse() const {
  return ccShapePtrh(new ccAffineRectangle(po_, py_, px_));
}

void ccAffineRectangle::sample(const ccSampleParams& params, ccSampleResult& result) const {
  const auto c = corners();
  cc_detail::sample({c[0], c[1], c[2], c[3]}, true, params, result);
}

double ccAffineRectangle::nearestPerimPos(const ccVector<2>& p) const {
  const auto c = corners();
  double pos = 0;
  cc_detail::nearestPoint({c[0], c[1], c[2], c[3]}, true, p, &pos);
  return pos;
}

ccShapePtrh ccAffineRectangle::subShape(double startPos, double endPos) const {
  const auto c = corners();
  return ccShapePtrh(
      new ccPolyline(cc_detail::subShape({c[0], c[1], c[2], c[3]}, true, startPos, endPos)));
}

bool ccAffineRectangle::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccAffineRectangle*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccAffineRectangle::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccAffineRectangle::serialize_(ar, version);
  setVisited(ar);
}

void ccAffineRectangle::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccVector<2> po = po_, px = px_, py = py_;
  ar || po || px || py;
  if (ar.isLoading()) corners(po, px, py);
}

ccArchive& operator||(ccArchive& ar, ccAffineRectangle& r) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccVector<2> po = r.cornerPo(), px = r.cornerPx(), py = r.cornerPy();
  ar || po || px || py;
  if (ar.isLoading()) r = ccAffineRectangle(po, px, py);
  return ar;
}

// ---- ccCoordAxes

ccCoordAxes::ccCoordAxes(const ccVector<2>& origin, const ccVector<2>& xEnd,
                         const ccVector<2>& yEnd)
    : origin_(origin), xEnd_(xEnd), yEnd_(yEnd) {
  checkFinite3(origin, xEnd, yEnd);
}

void ccCoordAxes::origin(const ccVector<2>& p) {
  cc_detail::checkFinite(p);
  mutating();
  origin_ = p;
}

void ccCoordAxes::xEnd(const ccVector<2>& p) {
  cc_detail::checkFinite(p);
  mutating();
  xEnd_ = p;
}

void ccCoordAxes::yEnd(const ccVector<2>& p) {
  cc_detail::checkFinite(p);
  mutating();
  yEnd_ = p;
}

bool ccCoordAxes::degen() const {
  const ccVector<2> x = xEnd_ - origin_, y = yEnd_ - origin_;
  const double lx = x.length(), ly = y.length();
  if (lx == 0 || ly == 0) return true;
  return std::fabs(x.cross(y)) <= ccParallelAxesTolerance * lx * ly;
}

ccShapePtrh ccCoordAxes::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccCoordAxes(map(x)));
}

ccRect ccCoordAxes::boundingBox() const { return cc_detail::boundingBox({origin_, xEnd_, yEnd_}); }

ccVector<2> ccCoordAxes::nearestPoint(const ccVector<2>& p) const {
  const ccVector<2> a = xAxis().nearestPoint(p), b = yAxis().nearestPoint(p);
  return (a - p).lengthSq() <= (b - p).lengthSq() ? a : b;
}

ccShapePtrh ccCoordAxes::decompose() const {
  return cc_detail::group(
      {ccShapePtrh(new ccLineSeg(xAxis())), ccShapePtrh(new ccLineSeg(yAxis()))});
}

void ccCoordAxes::sample(const ccSampleParams& params, ccSampleResult& result) const {
  ccSampleResult y;
  xAxis().sample(params, result);
  yAxis().sample(params, y);
  result.positions().insert(result.positions().end(), y.positions().begin(), y.positions().end());
}

bool ccCoordAxes::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccCoordAxes*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccCoordAxes::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccCoordAxes::serialize_(ar, version);
  setVisited(ar);
}

void ccCoordAxes::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccVector<2> o = origin_, x = xEnd_, y = yEnd_;
  ar || o || x || y;
  if (ar.isLoading()) {
    checkFinite3(o, x, y);
    mutating();
    origin_ = o;
    xEnd_ = x;
    yEnd_ = y;
  }
}

ccArchive& operator||(ccArchive& ar, ccCoordAxes& a) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccVector<2> o = a.origin(), x = a.xEnd(), y = a.yEnd();
  ar || o || x || y;
  if (ar.isLoading()) a = ccCoordAxes(o, x, y);
  return ar;
}
