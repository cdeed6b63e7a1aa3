#include <core/assert.h>
#include <core/mappedshape.h>
#include <core/shapetree.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr const char* kSource = "core/mappedshape";
constexpr long kMaxDensePoints = 200000;
constexpr int kMaxXformDepth = 64;

using XformH = ccPtrHandle_const<cc2XformBase>;

// The largest singular value of a 2x2 matrix.
double norm2(const ccMatrix<2>& m) {
  const double a = m.element(0, 0), b = m.element(0, 1), c = m.element(1, 0), d = m.element(1, 1);
  const double s1 = a * a + b * b + c * c + d * d;
  const double det = a * d - b * c;
  const double disc = std::sqrt(std::max(0.0, s1 * s1 - 4 * det * det));
  return std::sqrt(0.5 * (s1 + disc));
}

bool finiteV(const ccVector<2>& v) { return std::isfinite(v.x()) && std::isfinite(v.y()); }

bool finiteX(const ccXform<2>& x) {
  const ccMatrix<2>& m = x.matrix();
  return std::isfinite(m.element(0, 0)) && std::isfinite(m.element(0, 1)) &&
         std::isfinite(m.element(1, 0)) && std::isfinite(m.element(1, 1)) && finiteV(x.trans());
}

// Nearest point of the polyline v (closed: with the edge back to v[0]) and its arc position.
ccVector<2> nearestOnPolyline(const std::vector<ccVector<2>>& v, bool closed, const ccVector<2>& p,
                              double* pos) {
  ccVector<2> best = v.front();
  double bestD = (best - p).lengthSq(), bestPos = 0, before = 0;
  const std::size_t edges = closed ? v.size() : v.size() - 1;
  for (std::size_t i = 0; i < edges && v.size() > 1; ++i) {
    const ccVector<2>& a = v[i];
    const ccVector<2>& b = v[(i + 1) % v.size()];
    const ccVector<2> d = b - a;
    const double l2 = d.lengthSq();
    const double t = l2 > 0 ? std::clamp((p - a).dot(d) / l2, 0.0, 1.0) : 0;
    const ccVector<2> q = a + d * t;
    const double dist = (q - p).lengthSq();
    const double len = std::sqrt(l2);
    if (dist < bestD) {
      bestD = dist;
      best = q;
      bestPos = before + t * len;
    }
    before += len;
  }
  if (pos) *pos = bestPos;
  return best;
}

void storeXform(ccArchive& ar, const cc2XformBase* x, int depth) {
  if (depth > kMaxXformDepth) throw ccShapesError::BadParams("transform nested too deeply");
  unsigned char kind;
  if (const auto* l = dynamic_cast<const cc2XformLinear*>(x)) {
    kind = 0;
    ccXform<2> a = l->xform();
    ar || kind || a;
  } else if (const auto* r = dynamic_cast<const cc2XformRadialDistortion*>(x)) {
    kind = 1;
    ccXform<2> a = r->affine();
    ccVector<2> c = r->center();
    double k1 = r->k1(), k2 = r->k2();
    ar || kind || a || c || k1 || k2;
  } else if (const auto* i = dynamic_cast<const cc2XformRadialDistortionInverse*>(x)) {
    kind = 2;
    const cc2XformRadialDistortion& f = i->forward();
    ccXform<2> a = f.affine();
    ccVector<2> c = f.center();
    double k1 = f.k1(), k2 = f.k2();
    ar || kind || a || c || k1 || k2;
  } else if (const auto* m = dynamic_cast<const cc2XformComposed*>(x)) {
    kind = 3;
    ar || kind;
    storeXform(ar, m->outer().get(), depth + 1);
    storeXform(ar, m->inner().get(), depth + 1);
  } else {
    throw ccShapesError::BadParams("this transform class cannot be archived");
  }
}

XformH loadXform(ccArchive& ar, int depth) {
  if (depth > kMaxXformDepth) throw ccArchive::BadData("transform nested too deeply");
  unsigned char kind = 0;
  ar || kind;
  switch (kind) {
    case 0: {
      ccXform<2> a;
      ar || a;
      if (!finiteX(a)) throw ccArchive::BadData("non-finite transform");
      return XformH(new cc2XformLinear(a));
    }
    case 1:
    case 2: {
      ccXform<2> a;
      ccVector<2> c;
      double k1 = 0, k2 = 0;
      ar || a || c || k1 || k2;
      if (!finiteX(a) || !finiteV(c) || !std::isfinite(k1) || !std::isfinite(k2))
        throw ccArchive::BadData("non-finite distortion");
      const cc2XformRadialDistortion f(a, c, k1, k2);
      if (kind == 1) return XformH(new cc2XformRadialDistortion(f));
      return XformH(new cc2XformRadialDistortionInverse(f));
    }
    case 3: {
      const XformH outer = loadXform(ar, depth + 1);
      const XformH inner = loadXform(ar, depth + 1);
      return XformH(new cc2XformComposed(outer, inner));
    }
    default:
      throw ccArchive::BadData("unknown transform kind");
  }
}

}  // namespace

// The general map of every shape (declared in core/shape.h).
ccShapePtrh ccShape::map(const ccPtrHandle_const<cc2XformBase>& x) const {
  if (!x) {
    cstd_assert_(__LINE__, kSource);
    return clone();
  }
  if (x->isLinear()) return mapShape(x->linearApprox(ccVector<2>()).xform());
  return ccShapePtrh(new ccMappedShape(clone(), x));
}

bool cfXformEqual(const XformH& a, const XformH& b) {
  if (a == b) return true;
  if (!a || !b) return false;
  if (const auto* la = dynamic_cast<const cc2XformLinear*>(a.get())) {
    const auto* lb = dynamic_cast<const cc2XformLinear*>(b.get());
    return lb && *la == *lb;
  }
  auto sameDistortion = [](const cc2XformRadialDistortion& p, const cc2XformRadialDistortion& q) {
    return p.affine() == q.affine() && p.center() == q.center() && p.k1() == q.k1() &&
           p.k2() == q.k2();
  };
  if (const auto* ra = dynamic_cast<const cc2XformRadialDistortion*>(a.get())) {
    const auto* rb = dynamic_cast<const cc2XformRadialDistortion*>(b.get());
    return rb && sameDistortion(*ra, *rb);
  }
  if (const auto* ia = dynamic_cast<const cc2XformRadialDistortionInverse*>(a.get())) {
    const auto* ib = dynamic_cast<const cc2XformRadialDistortionInverse*>(b.get());
    return ib && sameDistortion(ia->forward(), ib->forward());
  }
  if (const auto* ca = dynamic_cast<const cc2XformComposed*>(a.get())) {
    const auto* cb = dynamic_cast<const cc2XformComposed*>(b.get());
    return cb && cfXformEqual(ca->outer(), cb->outer()) && cfXformEqual(ca->inner(), cb->inner());
  }
  return false;
}

ccMappedShape::ccMappedShape()
    : shape_(ccShapePtrh(new ccShapeTree)), xform_(XformH(new cc2XformLinear)) {}

ccMappedShape::ccMappedShape(const ccShapePtrh_const& shape, const XformH& x) {
  if (!shape || !x) throw ccShapesError::BadParams("a mapped shape needs a shape and a transform");
  if (const auto* m = dynamic_cast<const ccMappedShape*>(shape.get())) {
    shape_ = m->shape_;
    xform_ = x->compose(m->xform_);
  } else {
    shape_ = shape;
    xform_ = x;
  }
}

ccShapePtrh ccMappedShape::map(const XformH& x) const {
  if (!x) {
    cstd_assert_(__LINE__, kSource);
    return clone();
  }
  const XformH composed = x->compose(xform_);
  if (composed->isLinear()) return shape_->mapShape(composed->linearApprox(ccVector<2>()).xform());
  return ccShapePtrh(new ccMappedShape(shape_, composed));
}

ccShapePtrh ccMappedShape::mapShape(const ccXform<2>& x) const {
  return map(XformH(new cc2XformLinear(x)));
}

double ccMappedShape::maxStretch() const {
  const ccRect box = shape_->boundingBox();
  const ccVector<2> probes[] = {box.ul(),
                                box.ur(),
                                box.lr(),
                                box.ll(),
                                box.center(),
                                (box.ul() + box.ur()) * 0.5,
                                (box.ur() + box.lr()) * 0.5,
                                (box.lr() + box.ll()) * 0.5,
                                (box.ll() + box.ul()) * 0.5};
  double s = 0;
  for (const auto& q : probes) {
    try {
      s = std::max(s, norm2(xform_->linearApprox(q).xform().matrix()));
    } catch (const ccMathError::Errors&) {
      // No approximation there (outside an inverse's domain): that probe does not count.
    }
  }
  return s > 0 && std::isfinite(s) ? s : 1;
}

void ccMappedShape::mappedSamples(const ccSampleParams& sourceParams, double tolerance,
                                  std::vector<ccVector<2>>& out) const {
  ccSampleResult r;
  shape_->sample(sourceParams, r);
  const std::vector<ccVector<2>>& src = r.positions();
  out.clear();
  if (xform_->isLinear() || sourceParams.uniform || !(tolerance > 0) || src.size() < 2) {
    for (const auto& p : src) out.push_back(xform_->mapPoint(p));
    return;
  }
  // Points the splits may add, beyond the source's own. The mapped ends are passed by value:
  // they may be elements of out, which the splits grow.
  long budget = std::max(0L, sourceParams.maxPoints - static_cast<long>(src.size()));
  const auto split = [&](auto&& self, const ccVector<2>& a, const ccVector<2>& b, ccVector<2> ma,
                         ccVector<2> mb, int depth) -> void {
    const ccVector<2> mid = (a + b) * 0.5, mm = xform_->mapPoint(mid);
    const ccVector<2> chord = mb - ma;
    const double len = chord.length();
    const double off = len > 0 ? std::fabs(chord.cross(mm - ma)) / len : (mm - ma).length();
    if (!(off > tolerance) || depth == 24 || budget == 0) return;
    --budget;
    self(self, a, mid, ma, mm, depth + 1);
    out.push_back(mm);
    self(self, mid, b, mm, mb, depth + 1);
  };
  out.push_back(xform_->mapPoint(src[0]));
  for (std::size_t i = 1; i < src.size(); ++i) {
    const ccVector<2> mb = xform_->mapPoint(src[i]);
    split(split, src[i - 1], src[i], out.back(), mb, 0);
    out.push_back(mb);
  }
  if (shape_->isRegion()) split(split, src.back(), src.front(), out.back(), out.front(), 0);
}

std::vector<ccVector<2>> ccMappedShape::denseSamples() const {
  const ccRect box = shape_->boundingBox();
  const double diag = std::hypot(box.width(), box.height());
  std::vector<ccVector<2>> pts;
  if (diag == 0) {
    pts.push_back(xform_->mapPoint(box.ul()));
  } else {
    mappedSamples(
        ccSampleParams(0, ccDenseSamplingTolerance * diag / maxStretch(), kMaxDensePoints),
        ccDenseSamplingTolerance * diag, pts);
  }
  return pts;
}

ccRect ccMappedShape::boundingBox() const {
  const auto pts = denseSamples();
  if (pts.empty()) throw ccShapesError::EmptyShape("empty mapped shape");
  double x0 = pts[0].x(), x1 = x0, y0 = pts[0].y(), y1 = y0;
  for (const auto& p : pts) {
    x0 = std::min(x0, p.x());
    x1 = std::max(x1, p.x());
    y0 = std::min(y0, p.y());
    y1 = std::max(y1, p.y());
  }
  return ccRect::fromCorners(ccVector<2>(x0, y0), ccVector<2>(x1, y1));
}

ccVector<2> ccMappedShape::nearestPoint(const ccVector<2>& p) const {
  const auto pts = denseSamples();
  if (pts.empty()) throw ccShapesError::EmptyShape("empty mapped shape");
  return nearestOnPolyline(pts, shape_->isRegion(), p, nullptr);
}

ccVector<2> ccMappedShape::startPoint() const { return xform_->mapPoint(shape_->startPoint()); }
ccVector<2> ccMappedShape::endPoint() const { return xform_->mapPoint(shape_->endPoint()); }

ccRadian ccMappedShape::startAngle() const {
  const ccRadian a = shape_->startAngle();
  const ccXform<2> j = xform_->linearApprox(shape_->startPoint()).xform();
  return j.mapVector(ccVector<2>(cos(a), sin(a))).angle();
}

ccRadian ccMappedShape::endAngle() const {
  const ccRadian a = shape_->endAngle();
  const ccXform<2> j = xform_->linearApprox(shape_->endPoint()).xform();
  return j.mapVector(ccVector<2>(cos(a), sin(a))).angle();
}

ccRadian ccMappedShape::windingAngle(const ccVector<2>& q) const {
  auto pts = denseSamples();
  if (shape_->isRegion() && !pts.empty()) pts.push_back(pts.front());
  double sweep = 0;
  for (std::size_t i = 1; i < pts.size(); ++i) {
    const ccVector<2> a = pts[i - 1] - q, b = pts[i] - q;
    sweep += std::atan2(a.cross(b), a.dot(b));
  }
  return ccRadian(sweep);
}

bool ccMappedShape::isRightHanded() const {
  const bool underlying = shape_->isRightHanded();
  const ccRect box = shape_->boundingBox();
  const double det = xform_->linearApprox(box.center()).xform().matrix().determinant();
  return det < 0 ? !underlying : underlying;
}

bool ccMappedShape::within(const ccVector<2>& p) const {
  if (!shape_->isRegion()) throw ccShapesError::NotRegion("mapped shape is not a region");
  try {
    return shape_->within(xform_->inverse()->mapPoint(p));
  } catch (const ccMathError::Errors&) {
    // No inverse at p: even-odd test of the mapped sampling.
    const auto v = denseSamples();
    if (v.size() < 3) return false;
    bool inside = false;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
      if ((v[i].y() > p.y()) != (v[j].y() > p.y()) &&
          p.x() < (v[j].x() - v[i].x()) * (p.y() - v[i].y()) / (v[j].y() - v[i].y()) + v[i].x())
        inside = !inside;
    }
    return inside;
  }
}

ccShapePtrh ccMappedShape::reverse() const {
  return ccShapePtrh(new ccMappedShape(shape_->reverse(), xform_));
}

ccShapePtrh ccMappedShape::decompose() const {
  const ccShapePtrh d = shape_->decompose();
  const XformH x = xform_;
  auto wrap = [&x](const ccShape& s) { return ccShapePtrh(new ccMappedShape(s.clone(), x)); };
  if (const auto* t = dynamic_cast<const ccShapeTree*>(d.get())) return t->mapLeaves(wrap);
  return wrap(*d);
}

void ccMappedShape::sample(const ccSampleParams& params, ccSampleResult& result) const {
  ccSampleParams p = params;
  if (!shape_->isEmpty()) {
    const double s = maxStretch();
    p.tolerance /= s;
    p.spacing /= s;
  }
  mappedSamples(p, params.tolerance, result.positions());
}

double ccMappedShape::perimeter() const {
  const auto pts = denseSamples();
  double s = 0;
  for (std::size_t i = 1; i < pts.size(); ++i) s += (pts[i] - pts[i - 1]).length();
  if (shape_->isRegion() && pts.size() > 1) s += (pts.front() - pts.back()).length();
  return s;
}

double ccMappedShape::nearestPerimPos(const ccVector<2>& p) const {
  const auto pts = denseSamples();
  if (pts.empty()) throw ccShapesError::EmptyShape("empty mapped shape");
  double pos = 0;
  nearestOnPolyline(pts, shape_->isRegion(), p, &pos);
  return pos;
}

bool ccMappedShape::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccMappedShape*>(&other);
  return o && typeid(*o) == typeid(*this) && (o->shape_ == shape_ || *o->shape_ == *shape_) &&
         cfXformEqual(o->xform_, xform_);
}

void ccMappedShape::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccMappedShape::serialize_(ar, version);
  setVisited(ar);
}

void ccMappedShape::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccShapePtrh_const s = shape_;
  ar || s;
  if (ar.isStoring()) {
    storeXform(ar, xform_.get(), 0);
    return;
  }
  const XformH x = loadXform(ar, 0);
  if (!s) throw ccShapesError::BadParams("a mapped shape needs a shape");
  if (ccShapeTree::holdsIn(s.get(), this))
    throw ccShapesError::BadParams("a mapped shape cannot hold itself");
  ccMappedShape loaded(s, x);
  mutating();
  shape_ = loaded.shape_;
  xform_ = loaded.xform_;
}
