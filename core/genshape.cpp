#include <core/genshape.h>
#include <core/lines.h>
#include <core/shapetree.h>
#include <core/splines.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>

namespace {

constexpr const char* kSource = "core/genshape";

// The registry of generic shape types. Built on first use (thread-safe); the core library's
// own types are entered when it is built, so that they are known even to callers running
// before this file's static objects.
struct Registry {
  std::mutex mutex;
  std::map<ccGenShape::tagShapeID, ccGenShape::Factory> types;

  static Registry& instance() {
    static Registry* r = [] {
      auto* reg = new Registry;  // never destroyed: usable from any static destructor
      reg->types[ccGenShapeRoundedPolygon::shapeTag()] = []() -> ccGenShape* {
        return new ccGenShapeRoundedPolygon;
      };
      return reg;
    }();
    return *r;
  }
};

// Also registers at start-up (a no-op after the built-in entry, kept as the pattern for
// generic shape types outside the core library).
const ccGenShape::Registrar<ccGenShapeRoundedPolygon> roundedPolygonRegistrar;

}  // namespace

// =========================================================================================
// tagShapeID

void ccGenShape::tagShapeID::toBytes(unsigned char* out) const {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(data1 >> (8 * i));
  for (int i = 0; i < 2; ++i) out[4 + i] = static_cast<unsigned char>(data2 >> (8 * i));
  for (int i = 0; i < 2; ++i) out[6 + i] = static_cast<unsigned char>(data3 >> (8 * i));
  for (int i = 0; i < 8; ++i) out[8 + i] = data4[i];
}

ccGenShape::tagShapeID ccGenShape::tagShapeID::fromBytes(const unsigned char* in) {
  tagShapeID t;
  for (int i = 0; i < 4; ++i) t.data1 |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  t.data2 = static_cast<std::uint16_t>(in[4] | (in[5] << 8));
  t.data3 = static_cast<std::uint16_t>(in[6] | (in[7] << 8));
  for (int i = 0; i < 8; ++i) t.data4[i] = in[8 + i];
  return t;
}

std::string ccGenShape::tagShapeID::toString() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                static_cast<unsigned>(data1), static_cast<unsigned>(data2),
                static_cast<unsigned>(data3), data4[0], data4[1], data4[2], data4[3], data4[4],
                data4[5], data4[6], data4[7]);
  return buf;
}

bool operator==(const ccGenShape::tagShapeID& a, const ccGenShape::tagShapeID& b) {
  unsigned char x[16], y[16];
  a.toBytes(x);
  b.toBytes(y);
  for (int i = 0; i < 16; ++i)
    if (x[i] != y[i]) return false;
  return true;
}

bool operator<(const ccGenShape::tagShapeID& a, const ccGenShape::tagShapeID& b) {
  unsigned char x[16], y[16];
  a.toBytes(x);
  b.toBytes(y);
  for (int i = 0; i < 16; ++i)
    if (x[i] != y[i]) return x[i] < y[i];
  return false;
}

ccArchive& operator||(ccArchive& ar, ccGenShape::tagShapeID& tag) {
  unsigned long d1 = tag.data1;
  unsigned short d2 = tag.data2, d3 = tag.data3;
  unsigned char d4[8];
  for (int i = 0; i < 8; ++i) d4[i] = tag.data4[i];
  ar || d1 || d2 || d3;
  for (auto& b : d4) ar || b;
  if (ar.isLoading()) {
    if (d1 > 0xFFFFFFFFul) throw ccArchive::BadData("shape tag field out of range");
    tag.data1 = static_cast<std::uint32_t>(d1);
    tag.data2 = d2;
    tag.data3 = d3;
    for (int i = 0; i < 8; ++i) tag.data4[i] = d4[i];
  }
  return ar;
}

// =========================================================================================
// ccGenShape

ccShapePtrh ccGenShape::newGenShape(const tagShapeID& tag) {
  Registry& r = Registry::instance();
  Factory f = nullptr;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.types.find(tag);
    if (it != r.types.end()) f = it->second;
  }
  return f ? ccShapePtrh(f()) : ccShapePtrh();
}

bool ccGenShape::isRegistered(const tagShapeID& tag) {
  Registry& r = Registry::instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.types.count(tag) != 0;
}

bool ccGenShape::registerType(const tagShapeID& tag, Factory make) {
  if (!make) throw ccShapesError::BadParams("null generic shape factory");
  Registry& r = Registry::instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.types.emplace(tag, make).second;
}

void ccGenShape::loadData(const unsigned char* data, std::size_t size) {
  if (!data && size != 0) throw ccShapesError::BadParams("null data");
  ccArchive in(data, size);
  loadData_(in);
}

void ccGenShape::saveData(std::vector<unsigned char>& data) const {
  ccArchive out;
  saveData_(out);
  data = out.data();
}

void ccGenShape::requireEnd(const ccArchive& in) {
  if (!in.atEnd()) throw ccShapesError::BadParams("generic shape data has bytes left over");
}

ccShapePtrh ccGenShape::mapShape(const ccXform<2>& x) const { return map(x); }

bool ccGenShape::isEmpty() const { return decompose()->isEmpty(); }
bool ccGenShape::hasTangent() const { return decompose()->hasTangent(); }
ccRect ccGenShape::boundingBox() const { return decompose()->boundingBox(); }
ccVector<2> ccGenShape::nearestPoint(const ccVector<2>& p) const {
  return decompose()->nearestPoint(p);
}
ccVector<2> ccGenShape::startPoint() const { return decompose()->startPoint(); }
ccVector<2> ccGenShape::endPoint() const { return decompose()->endPoint(); }
ccRadian ccGenShape::startAngle() const { return decompose()->startAngle(); }
ccRadian ccGenShape::endAngle() const { return decompose()->endAngle(); }
ccRadian ccGenShape::windingAngle(const ccVector<2>& p) const {
  return decompose()->windingAngle(p);
}
bool ccGenShape::isRightHanded() const { return decompose()->isRightHanded(); }
bool ccGenShape::within(const ccVector<2>& p) const { return decompose()->within(p); }
ccShapePtrh ccGenShape::reverse() const { return decompose()->reverse(); }
void ccGenShape::sample(const ccSampleParams& params, ccSampleResult& result) const {
  decompose()->sample(params, result);
}
double ccGenShape::perimeter() const { return decompose()->perimeter(); }
double ccGenShape::nearestPerimPos(const ccVector<2>& p) const {
  return decompose()->nearestPerimPos(p);
}
ccShapePtrh ccGenShape::subShape(double startPos, double endPos) const {
  return decompose()->subShape(startPos, endPos);
}

void ccGenShape::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccGenShape::serialize_(ar, version);
  setVisited(ar);
}

void ccGenShape::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  tagShapeID t = tag();
  std::vector<unsigned char> data;
  if (ar.isStoring()) saveData(data);
  ar || t || data;
  if (ar.isLoading()) {
    if (t != tag()) throw ccArchive::BadData("generic shape tag does not match its class");
    loadData(data.data(), data.size());
  }
}

// =========================================================================================
// ccGenShapeRoundedPolygon

namespace {

bool finiteV(const ccVector<2>& v) { return std::isfinite(v.x()) && std::isfinite(v.y()); }

// The rounding of one corner in the own frame.
struct Corner {
  double r = 0;      // radius used (0: sharp)
  double turn = 0;   // signed turn angle at the vertex, in (-pi, pi]
  ccVector<2> tIn;   // where the arc leaves the incoming edge
  ccVector<2> tOut;  // where it joins the outgoing edge
  double w = 1;      // weight of the arc's middle control point
};

Corner corner(const std::vector<ccVector<2>>& v, std::size_t i, double radius) {
  const std::size_t n = v.size();
  const ccVector<2>& p = v[i];
  const ccVector<2> ein = p - v[(i + n - 1) % n], eout = v[(i + 1) % n] - p;
  const double lin = ein.length(), lout = eout.length();
  const ccVector<2> u = ein / lin, w = eout / lout;
  const double c = u.dot(w), s = u.cross(w);
  Corner k;
  k.turn = std::atan2(s, c);
  k.tIn = k.tOut = p;
  if (s == 0 || radius == 0 || !(1 + c > 0)) return k;
  const double tanHalf = std::fabs(s) / (1 + c);
  k.r = std::min(radius, 0.5 * std::min(lin, lout) / tanHalf);
  const double d = k.r * tanHalf;
  k.tIn = p - u * d;
  k.tOut = p + w * d;
  k.w = std::sqrt(0.5 * (1 + c));
  return k;
}

}  // namespace

const ccGenShape::tagShapeID& ccGenShapeRoundedPolygon::shapeTag() {
  static const tagShapeID t = {
      0x5d3c1a27, 0x8e41, 0x4b6f, {0x9a, 0x13, 0x2c, 0x77, 0x40, 0xe5, 0x1b, 0x08}};
  return t;
}

void ccGenShapeRoundedPolygon::check(const std::vector<ccVector<2>>& v, double r,
                                     const ccXform<2>& x) {
  if (v.size() < 3) throw ccShapesError::BadParams("a polygon needs 3 vertices");
  for (const auto& p : v)
    if (!finiteV(p)) throw ccShapesError::BadGeom("non-finite polygon vertex");
  for (std::size_t i = 0; i < v.size(); ++i)
    if (v[i] == v[(i + 1) % v.size()])
      throw ccShapesError::BadGeom("consecutive vertices coincide");
  if (!std::isfinite(r) || r < 0) throw ccShapesError::BadRadius("corner radius must be >= 0");
  const ccMatrix<2>& m = x.matrix();
  if (!std::isfinite(m.element(0, 0)) || !std::isfinite(m.element(0, 1)) ||
      !std::isfinite(m.element(1, 0)) || !std::isfinite(m.element(1, 1)) || !finiteV(x.trans()))
    throw ccShapesError::BadGeom("non-finite placement");
}

ccGenShapeRoundedPolygon::ccGenShapeRoundedPolygon(const std::vector<ccVector<2>>& vertices,
                                                   double radius, const ccXform<2>& placement) {
  check(vertices, radius, placement);
  v_ = vertices;
  r_ = radius;
  x_ = placement;
}

void ccGenShapeRoundedPolygon::vertices(const std::vector<ccVector<2>>& v) {
  check(v, r_, x_);
  mutating();
  v_ = v;
}

void ccGenShapeRoundedPolygon::radius(double r) {
  if (!std::isfinite(r) || r < 0) throw ccShapesError::BadRadius("corner radius must be >= 0");
  mutating();
  r_ = r;
}

void ccGenShapeRoundedPolygon::placement(const ccXform<2>& x) {
  check(v_.empty() ? std::vector<ccVector<2>>{{0, 0}, {1, 0}, {0, 1}} : v_, r_, x);
  mutating();
  x_ = x;
}

double ccGenShapeRoundedPolygon::cornerRadius(long i) const {
  if (i < 0 || i >= static_cast<long>(v_.size()))
    throw ccShapesError::BadParams("vertex index out of range");
  return corner(v_, static_cast<std::size_t>(i), r_).r;
}

double ccGenShapeRoundedPolygon::ownSignedArea() const {
  const std::size_t n = v_.size();
  double a2 = 0;
  for (std::size_t i = 0; i < n; ++i) a2 += v_[i].cross(v_[(i + 1) % n]);
  double area = 0.5 * a2;
  // Each rounded corner cuts off (convex) or fills in (reflex) the area between its two
  // tangent segments and the arc: r^2 (tan(t/2) - t/2) for a turn of t.
  for (std::size_t i = 0; i < n; ++i) {
    const Corner k = corner(v_, i, r_);
    if (k.r == 0) continue;
    const double t = std::fabs(k.turn);
    const double cut = k.r * k.r * (std::tan(t / 2) - t / 2);
    area -= k.turn > 0 ? cut : -cut;
  }
  return area;
}

double ccGenShapeRoundedPolygon::area() const {
  if (v_.empty()) return 0;
  return std::fabs(ownSignedArea() * x_.matrix().determinant());
}

ccPtrHandle<ccGenShape> ccGenShapeRoundedPolygon::map(const ccXform<2>& x) const {
  auto* s = new ccGenShapeRoundedPolygon(*this);
  ccPtrHandle<ccGenShape> h(s);
  s->placement(x * x_);
  return h;
}

bool ccGenShapeRoundedPolygon::isRightHanded() const {
  if (v_.empty()) throw ccShapesError::NotRegion("empty polygon");
  return ownSignedArea() * x_.matrix().determinant() > 0;
}

ccShapePtrh ccGenShapeRoundedPolygon::reverse() const {
  if (v_.empty()) throw ccShapesError::NotOpenContour("empty polygon");
  std::vector<ccVector<2>> v{v_.front()};
  v.insert(v.end(), v_.rbegin(), v_.rend() - 1);
  return ccShapePtrh(new ccGenShapeRoundedPolygon(v, r_, x_));
}

ccShapePtrh ccGenShapeRoundedPolygon::decompose() const {
  std::vector<ccShapePtrh> pieces;
  const std::size_t n = v_.size();
  std::vector<Corner> k;
  for (std::size_t i = 0; i < n; ++i) k.push_back(corner(v_, i, r_));
  for (std::size_t i = 0; i < n; ++i) {
    if (k[i].r > 0)
      pieces.push_back(ccShapePtrh(new ccBezierCurve(
          ccBezierCurve::quadraticArc(k[i].tIn, v_[i], k[i].tOut, k[i].w).map(x_))));
    const ccVector<2>& a = k[i].tOut;
    const ccVector<2>& b = k[(i + 1) % n].tIn;
    if (a != b) pieces.push_back(ccShapePtrh(new ccLineSeg(x_ * a, x_ * b)));
  }
  return ccShapePtrh(new ccContourTree(pieces, true));
}

bool ccGenShapeRoundedPolygon::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccGenShapeRoundedPolygon*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccGenShapeRoundedPolygon::saveData_(ccArchive& out) const {
  unsigned char version = 0;
  ccXform<2> x = x_;
  double r = r_;
  std::vector<ccVector<2>> v = v_;
  out || version || x || r || v;
}

void ccGenShapeRoundedPolygon::loadData_(ccArchive& in) {
  unsigned char version = 0;
  in || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccXform<2> x;
  double r = 0;
  std::vector<ccVector<2>> v;
  in || x || r || v;
  requireEnd(in);
  if (v.empty()) {
    // An empty shape: only the radius and placement are kept.
    if (!std::isfinite(r) || r < 0) throw ccShapesError::BadRadius("corner radius must be >= 0");
    check({{0, 0}, {1, 0}, {0, 1}}, r, x);
  } else {
    check(v, r, x);
  }
  mutating();
  v_.swap(v);
  r_ = r;
  x_ = x;
}
