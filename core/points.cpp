#include <core/points.h>
#include <core/polyline.h>
#include <core/polyline_p.h>

#include <cmath>

namespace {
constexpr const char* kSource = "core/points";
}

// ---- cc_PointShape, ccPoint, cc2Point

cc_PointShape::cc_PointShape(const ccVector<2>& p) : ccVector<2>(p) { cc_detail::checkFinite(p); }

void cc_PointShape::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample({vector()}, false, params, result);
}

void cc_PointShape::serializePoint(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccVector<2> p = vector();
  ar || p;
  if (ar.isLoading()) {
    cc_detail::checkFinite(p);
    mutating();
    static_cast<ccVector<2>&>(*this) = p;
  }
}

ccShapePtrh ccPoint::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccPoint(map(x)));
}

bool ccPoint::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccPoint*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccPoint::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  serializePoint(ar, version);
  setVisited(ar);
}

ccShapePtrh cc2Point::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new cc2Point(map(x)));
}

bool cc2Point::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const cc2Point*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void cc2Point::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  serializePoint(ar, version);
  setVisited(ar);
}

namespace {
template <class P>
ccArchive& serializePointValue(ccArchive& ar, P& p) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccVector<2> v = p.vector();
  ar || v;
  if (ar.isLoading()) p = P(v);
  return ar;
}
}  // namespace

ccArchive& operator||(ccArchive& ar, ccPoint& p) { return serializePointValue(ar, p); }
ccArchive& operator||(ccArchive& ar, cc2Point& p) { return serializePointValue(ar, p); }

// ---- ccPointSet

ccPointSet::ccPointSet(const std::vector<ccVector<2>>& points) : points_(points) {
  cc_detail::checkFinite(points_);
}

void ccPointSet::points(const std::vector<ccVector<2>>& p) {
  cc_detail::checkFinite(p);
  mutating();
  points_ = p;
}

void ccPointSet::add(const ccVector<2>& p) {
  cc_detail::checkFinite(p);
  mutating();
  points_.push_back(p);
}

const ccVector<2>& ccPointSet::point(long i) const {
  if (i < 0 || i >= size()) throw ccShapesError::BadParams("point index out of range");
  return points_[static_cast<std::size_t>(i)];
}

ccPointSet ccPointSet::map(const ccXform<2>& x) const {
  std::vector<ccVector<2>> p;
  p.reserve(points_.size());
  for (const auto& q : points_) p.push_back(x * q);
  return ccPointSet(p);
}

ccShapePtrh ccPointSet::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccPointSet(map(x)));
}

ccRect ccPointSet::boundingBox() const { return cc_detail::boundingBox(points_); }

ccVector<2> ccPointSet::nearestPoint(const ccVector<2>& p) const {
  if (points_.empty()) throw ccShapesError::EmptyShape();
  const ccVector<2>* best = &points_[0];
  for (const auto& q : points_)
    if ((q - p).lengthSq() < (*best - p).lengthSq()) best = &q;
  return *best;
}

void ccPointSet::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(cc_detail::Points(), false, params, result);  // checks the parameters
  result.positions() = points_;
}

bool ccPointSet::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccPointSet*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccPointSet::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccPointSet::serialize_(ar, version);
  setVisited(ar);
}

void ccPointSet::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  std::vector<ccVector<2>> p = points_;
  ar || p;
  if (ar.isLoading()) {
    cc_detail::checkFinite(p);
    mutating();
    points_.swap(p);
  }
}

ccArchive& operator||(ccArchive& ar, ccPointSet& s) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  std::vector<ccVector<2>> p = s.points();
  ar || p;
  if (ar.isLoading()) s = ccPointSet(p);
  return ar;
}

// ---- ccCross

namespace {
void checkCross(const ccVector<2>& origin, const ccRadian& angle, int armlength) {
  cc_detail::checkFinite(origin);
  if (!std::isfinite(angle.toDouble())) throw ccShapesError::BadGeom("non-finite cross angle");
  if (armlength < 0) throw ccShapesError::BadParams("negative cross arm length");
}
}  // namespace

ccCross::ccCross(const ccVector<2>& origin, const ccRadian& angle, int armlength)
    : origin_(origin), angle_(angle), armlength_(armlength) {
  checkCross(origin, angle, armlength);
}

void ccCross::origin(const ccVector<2>& p) {
  checkCross(p, angle_, armlength_);
  mutating();
  origin_ = p;
}

void ccCross::angle(const ccRadian& a) {
  checkCross(origin_, a, armlength_);
  mutating();
  angle_ = a;
}

void ccCross::armlength(int pixels) {
  checkCross(origin_, angle_, pixels);
  mutating();
  armlength_ = pixels;
}

ccCross ccCross::map(const ccXform<2>& x) const {
  return ccCross(x * origin_, x.mapAngle(angle_), armlength_);
}

ccShapePtrh ccCross::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccCross(map(x)));
}

void ccCross::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample({origin_}, false, params, result);
}

bool ccCross::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccCross*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccCross::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccCross::serialize_(ar, version);
  setVisited(ar);
}

void ccCross::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccVector<2> o = origin_;
  ccRadian a = angle_;
  int arm = armlength_;
  ar || o || a || arm;
  if (ar.isLoading()) {
    checkCross(o, a, arm);
    mutating();
    origin_ = o;
    angle_ = a;
    armlength_ = arm;
  }
}

ccArchive& operator||(ccArchive& ar, ccCross& c) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccVector<2> o = c.origin();
  ccRadian a = c.angle();
  int arm = c.armlength();
  ar || o || a || arm;
  if (ar.isLoading()) c = ccCross(o, a, arm);
  return ar;
}
