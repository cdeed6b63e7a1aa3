// ccSMDGDModel: polygons, labels and position, editing by rebuilding, comparison, tolerance
// reports, sub-models, mirroring and transforms, extensions, drawing and the archive form.
#include <dispc/smd/model.h>
#include <dispc/smd/polyindex_p.h>
#include <dispc/tolerance.h>
#include <dispc/wrfm/wirefrm.h>

#include <algorithm>
#include <cmath>

ccSMDGDModel::ccSMDGDModel(const std::string& name) : ccSMDGeometricDescription(name) {}

void ccSMDGDModel::swap(ccSMDGDModel& other) noexcept {
  swapName(other);
  polys_.swap(other.polys_);
  subModelLabels_.swap(other.subModelLabels_);
  std::swap(position_, other.position_);
}

void ccSMDGDModel::reset() {
  ccSMDGDModel fresh;
  mutating();
  swap(fresh);
}

void ccSMDGDModel::addLabels_(const ccSMDGDPoly& poly) {
  for (std::int32_t label : poly.subModelLabels())
    if (std::find(subModelLabels_.begin(), subModelLabels_.end(), label) == subModelLabels_.end())
      subModelLabels_.push_back(label);
}

ccSMDGDModel& ccSMDGDModel::operator<<(const ccSMDGDPoly& poly) {
  mutating();
  polys_.push_back(poly);
  addLabels_(poly);
  return *this;
}

ccSMDGDModel& ccSMDGDModel::operator<<(const ccSMDGDModel& model) {
  if (&model == this) return *this << ccSMDGDModel(model);
  for (const ccSMDGDPoly& p : model.polys_) *this << p;
  return *this;
}

ccSMDGDModel& ccSMDGDModel::operator<<(const std::vector<cc2Wireframe>& wireframes) {
  std::vector<ccSMDGDPoly> built;
  built.reserve(wireframes.size());
  for (const cc2Wireframe& w : wireframes) built.emplace_back(w);
  for (const ccSMDGDPoly& p : built) *this << p;
  return *this;
}

void ccSMDGDModel::rebuild_(const std::vector<ccSMDGDPoly>& polys, const std::string& name) {
  ccSMDGDModel fresh(name);
  for (const ccSMDGDPoly& p : polys) fresh << p;
  fresh.position_ = position_;
  mutating();
  swap(fresh);
}

void ccSMDGDModel::polys(const std::vector<ccSMDGDPoly>& polys) { rebuild_(polys, name()); }

void ccSMDGDModel::replacePoly(long i, const ccSMDGDPoly& poly) {
  if (i < 0 || i >= numPolys()) return;
  std::vector<ccSMDGDPoly> polys(polys_);
  polys[static_cast<std::size_t>(i)] = poly;
  rebuild_(polys);
}

void ccSMDGDModel::deletePoly(long i) {
  if (i < 0 || i >= numPolys()) return;
  std::vector<ccSMDGDPoly> polys(polys_);
  polys.erase(polys.begin() + i);
  rebuild_(polys);
}

void ccSMDGDModel::deleteAllPolys() { rebuild_({}); }

const ccSMDGDPoly& ccSMDGDModel::poly(long i) const {
  if (i < 0 || i >= numPolys()) throw invalidIndex();
  return polys_[static_cast<std::size_t>(i)];
}

long ccSMDGDModel::numVertices() const {
  long n = 0;
  for (const ccSMDGDPoly& p : polys_) n += p.numVertices();
  return n;
}

void ccSMDGDModel::position(const cc2Rigid& p) {
  mutating();
  position_ = p;
}

bool ccSMDGDModel::isOpen() const {
  return std::any_of(polys_.begin(), polys_.end(), [](const ccSMDGDPoly& p) { return p.isOpen(); });
}

void ccSMDGDModel::colors(const ccSMDColors& c) {
  mutating();
  for (ccSMDGDPoly& p : polys_) p.colors(c);
}

void ccSMDGDModel::positiveArrowColor(const ccColor& c) {
  mutating();
  for (ccSMDGDPoly& p : polys_) p.positiveArrowColor(c);
}

void ccSMDGDModel::negativeArrowColor(const ccColor& c) {
  mutating();
  for (ccSMDGDPoly& p : polys_) p.negativeArrowColor(c);
}

bool ccSMDGDModel::operator==(const ccSMDGDModel& o) const {
  if (numPolys() != o.numPolys()) return false;
  for (std::size_t k = 0; k < polys_.size(); ++k)
    if (!ccSMDGDModelPrivate::equivalent(polys_[k], o.polys_[k])) return false;
  return cfRealEq(position_, o.position_, ccRealEqEpsilon);
}

ccRect ccSMDGDModel::boundingBox(const ccXform<2>& x) const {
  cc_SMDGDPolyBox box;
  for (const ccSMDGDPoly& p : polys_)
    if (p.numVertices() > 0) box.add(p.boundingBox(x));
  return box.rect();
}

std::vector<long> ccSMDGDModel::polysOutOfTolerance(const ccXform<2>& x1,
                                                    const ccXform<2>& x2) const {
  std::vector<long> out;
  for (long i = 0; i < numPolys(); ++i)
    if (!polys_[static_cast<std::size_t>(i)].segmentsOutOfTolerance(x1, x2).empty())
      out.push_back(i);
  return out;
}

namespace {

// True when the polygons span an area: an arc or a rounding, or vertex points not all on one
// line (within ccSMDPieceMargin of the points' extent).
bool spansTwoDimensions(const ccSMDGDModel& model) {
  std::vector<ccVector<2>> points;
  for (const ccSMDGDPoly& p : model.polys())
    for (long v = 0; v < p.numVertices(); ++v) {
      if (p.vertexIsRounded_(v) || (p.segmentExists_(v) && p.isArcSegment_(v))) return true;
      points.push_back(p.vertex(v).point());
    }
  if (points.empty()) return false;
  const ccVector<2> a = points.front();
  ccVector<2> far = a;
  for (const ccVector<2>& q : points)
    if ((q - a).length() > (far - a).length()) far = q;
  const double extent = (far - a).length();
  if (!(extent > 0)) return false;
  const ccVector<2> along = (far - a) / extent;
  return std::any_of(points.begin(), points.end(), [&](const ccVector<2>& q) {
    return std::abs(along.cross(q - a)) > ccSMDPieceMargin * extent;
  });
}

}  // namespace

void ccSMDGDModel::subModel(long label, ccSMDGDModel& out) const {
  // out is the result, not an accumulator: it is built afresh.
  ccSMDGDModel parts;
  for (const ccSMDGDPoly& p : polys_) ccSMDGDPolyPrivate::subModel(p, label, parts);
  // Parts that all lie along one line (or at one point) place nothing across that line.
  if (parts.numPolys() > 0 && !spansTwoDimensions(parts)) throw ccSMDGDPoly::badSubModel();
  const cc2Rigid at = ccSMDGDModelPrivate::normalizedPosition(parts);
  ccSMDGDModel result = at.inverse() * parts;
  result.position_ = at;
  out.mutating();
  out.swap(result);
}

ccSMDGDModel ccSMDGDModel::flip() const {
  ccSMDGDModel out;
  for (const ccSMDGDPoly& p : polys_) out << ccSMDGDPolyPrivate::flip(p);
  // The pose of a flipped model turns the other way and has its translation negated. That is
  // not the pose mirrored in the x axis (which would keep x); it is the flipped model's own
  // convention, and flipping twice gives the pose back.
  out.position_ = cc2Rigid(-position_.angle(), -position_.trans());
  return out;
}

ccSMDGDModel operator*(const cc2Rigid& r, const ccSMDGDModel& model) {
  ccSMDGDModel out;
  for (const ccSMDGDPoly& p : model.polys()) out << r * p;
  return out;
}

ccSMDGDModel operator*(double s, const ccSMDGDModel& model) {
  ccSMDGDModel out;
  for (const ccSMDGDPoly& p : model.polys()) out << s * p;
  out.position(cc2Rigid(model.position().angle(), s * model.position().trans()));
  return out;
}

void ccSMDGDModel::drawSynthetic(const ccXform<2>& xform, ccPelBuffer<unsigned char>& image) const {
  const ccPtrHandle_const<cc2XformBase> handle(new cc2XformLinear(xform));
  drawSynthetic(handle, image);
}

void ccSMDGDModel::drawSynthetic(const ccPtrHandle_const<cc2XformBase>& xform,
                                 ccPelBuffer<unsigned char>& image) const {
  for (const ccSMDGDPoly& p : polys_) p.drawSynthetic(xform, image);
}

void ccSMDGDModel::setExtensions_(double checkDist, const ccDegree& angleTol, double d, double e) {
  std::vector<ccSMDGDPoly> polys(polys_);
  for (ccSMDGDPoly& p : polys) {
    if (e >= 0)
      p.setExtensions_(e);
    else
      p.setDefaultExtensions_();
  }
  for (std::size_t i = 0; i < polys.size(); ++i)
    for (std::size_t j = 0; j < polys.size(); ++j)
      polys[i].checkExtensions_(polys[j], checkDist, angleTol, d, i == j);
  mutating();
  polys_.swap(polys);
}

void ccSMDGDModel::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccSMDGDModel::serialize_(ar, version);
  setVisited(ar);
}

void ccSMDGDModel::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(std::string(), 0);
  ccSMDGeometricDescription::dispatchSerialize(ar);
  if (ar.isStoring()) {
    ar || polys_ || subModelLabels_ || position_;
    return;
  }
  std::vector<ccSMDGDPoly> polys;
  std::vector<std::int32_t> labels;
  cc2Rigid position;
  ar || polys || labels || position;
  mutating();
  polys_.swap(polys);
  subModelLabels_.swap(labels);
  position_ = position;
}

// ---- ccSMDGDModelPrivate: positions and editing -------------------------------------------

void ccSMDGDModelPrivate::replacePoly(ccSMDGDModel& model, long i, const ccSMDGDPoly& poly) {
  model.ccSMDGDModel::replacePoly(i, poly);
}
void ccSMDGDModelPrivate::deletePoly(ccSMDGDModel& model, long i) {
  model.ccSMDGDModel::deletePoly(i);
}
void ccSMDGDModelPrivate::deleteAllPolys(ccSMDGDModel& model) {
  model.ccSMDGDModel::deleteAllPolys();
}

ccVector<2> ccSMDGDModelPrivate::centerOfMass(const ccSMDGDModel& model) {
  ccVector<2> sum;
  long count = 0;
  for (const ccSMDGDPoly& p : model.polys()) {
    sum += static_cast<double>(p.numVertices()) * ccSMDGDPolyPrivate::position(p).trans();
    count += p.numVertices();
  }
  return count ? sum / static_cast<double>(count) : ccVector<2>();
}

ccRadian ccSMDGDModelPrivate::orientation(const ccSMDGDModel& model) {
  return model.numPolys() ? ccSMDGDPolyPrivate::position(model.polys()[0]).angle() : ccRadian(0);
}

cc2Rigid ccSMDGDModelPrivate::normalizedPosition(const ccSMDGDModel& model) {
  if (model.numPolys() == 1 && model.polys()[0].numVertices() == 3)
    return cc2Rigid(orientation(model), model.polys()[0].vertex(1).point());
  return cc2Rigid(orientation(model), centerOfMass(model));
}

void ccSMDGDModelPrivate::setExtensions(ccSMDGDModel& model, double d, double e) {
  model.setExtensions_(8.0 * d, ccDegree(10), d, e);
}
