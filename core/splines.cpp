#include <core/shapetree.h>
#include <core/splines.h>
#include <core/tolerance.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr const char* kSource = "core/splines";

// ---------------------------------------------------------------------------------------
// Polynomials in the power basis, coefficients from the constant term up.
using Poly = std::vector<double>;

double evalPoly(const Poly& p, double t) {
  double v = 0;
  for (std::size_t i = p.size(); i-- > 0;) v = v * t + p[i];
  return v;
}

Poly derivPoly(const Poly& p) {
  Poly d;
  for (std::size_t i = 1; i < p.size(); ++i) d.push_back(p[i] * static_cast<double>(i));
  return d;
}

Poly mulPoly(const Poly& a, const Poly& b) {
  if (a.empty() || b.empty()) return {};
  Poly r(a.size() + b.size() - 1, 0.0);
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < b.size(); ++j) r[i + j] += a[i] * b[j];
  return r;
}

Poly addPoly(const Poly& a, const Poly& b, double sb = 1) {
  Poly r(std::max(a.size(), b.size()), 0.0);
  for (std::size_t i = 0; i < a.size(); ++i) r[i] += a[i];
  for (std::size_t i = 0; i < b.size(); ++i) r[i] += sb * b[i];
  return r;
}

void trimPoly(Poly& p) {
  while (!p.empty() && p.back() == 0) p.pop_back();
}

// The cubic Bernstein coefficients c0..c3 in the power basis.
Poly bernsteinToPower(double c0, double c1, double c2, double c3) {
  return {c0, 3 * (c1 - c0), 3 * (c2 - 2 * c1 + c0), c3 - 3 * c2 + 3 * c1 - c0};
}

int signOf(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// The roots of p in [a, b] where p changes sign (or is exactly 0), found by splitting
// [a, b] at the roots of p' (recursively) into monotone pieces and bisecting each one.
std::vector<double> rootsIn(Poly p, double a, double b) {
  trimPoly(p);
  std::vector<double> roots;
  if (p.size() < 2) return roots;
  if (p.size() == 2) {
    const double r = -p[0] / p[1];
    if (r >= a && r <= b) roots.push_back(r);
    return roots;
  }
  std::vector<double> knots{a};
  for (double c : rootsIn(derivPoly(p), a, b))
    if (c > knots.back()) knots.push_back(c);
  if (b > knots.back()) knots.push_back(b);
  for (std::size_t k = 0; k + 1 < knots.size(); ++k) {
    double lo = knots[k], hi = knots[k + 1];
    const int slo = signOf(evalPoly(p, lo)), shi = signOf(evalPoly(p, hi));
    if (slo == 0) {
      roots.push_back(lo);
      continue;
    }
    if (shi == 0 || slo == shi) continue;
    for (int it = 0; it < 200; ++it) {
      const double m = 0.5 * (lo + hi);
      if (m <= lo || m >= hi) break;
      const int sm = signOf(evalPoly(p, m));
      if (sm == 0) {
        lo = hi = m;
        break;
      }
      (sm == slo ? lo : hi) = m;
    }
    roots.push_back(0.5 * (lo + hi));
  }
  if (signOf(evalPoly(p, b)) == 0) roots.push_back(b);
  return roots;
}

// ---------------------------------------------------------------------------------------
// Homogeneous control points (w x, w y, w).
struct H {
  double x, y, w;
};

H lerp(const H& a, const H& b, double t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.w + (b.w - a.w) * t};
}

bool finite(const ccVector<2>& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// Gauss-Legendre nodes and weights on [-1, 1], 8 points.
constexpr double kGLx[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267,
                            0.9602898564975363};
constexpr double kGLw[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745,
                            0.1012285362903763};

template <class F>
double gauss8(const F& f, double a, double b) {
  const double c = 0.5 * (a + b), h = 0.5 * (b - a);
  double s = 0;
  for (int i = 0; i < 4; ++i) s += kGLw[i] * (f(c - h * kGLx[i]) + f(c + h * kGLx[i]));
  return s * h;
}

// Adaptive Gauss-Legendre integration of f over [a, b], whose 8-point estimate is whole.
// Halves an interval while its two halves disagree with it by more than eps (halved with each
// level). budget bounds the halvings over the whole call: where rounding noise in f keeps the
// halves from agreeing (extreme coordinates), the estimate stops improving, and refining to
// the full depth would cost 2^depth evaluations.
template <class F>
double adaptiveIntegral(const F& f, double a, double b, double whole, double eps, int depth,
                        long& budget) {
  const double m = 0.5 * (a + b);
  const double left = gauss8(f, a, m), right = gauss8(f, m, b);
  if (depth <= 0 || budget <= 0 || std::fabs(left + right - whole) <= eps) return left + right;
  --budget;
  const double l = adaptiveIntegral(f, a, m, left, eps / 2, depth - 1, budget);
  return l + adaptiveIntegral(f, m, b, right, eps / 2, depth - 1, budget);
}

// Halvings allowed per length integral: far more than a smooth curve needs.
constexpr long kIntegralBudget = 4096;
// Halvings allowed for all the integrals of one equal-length sampling.
constexpr long kSamplingBudget = 1L << 16;
// The length an integration tolerance is taken of at the least, so that it stays positive on a
// curve of length 0 (a lower bound, not a tolerance).
constexpr double kLengthFloor = 1e-300;

void checkSampleParams(const ccShape::ccSampleParams& params, long minPoints) {
  if (!(params.spacing >= 0) || !(params.tolerance >= 0) || !std::isfinite(params.spacing) ||
      std::isnan(params.tolerance))
    throw ccShapesError::BadParams("sampling needs finite, non-negative spacing and tolerance");
  if (params.maxPoints < minPoints) throw ccShapesError::BadParams("too few sample points allowed");
  if (params.uniform && params.spacing == 0)
    throw ccShapesError::BadParams("uniform sampling needs a spacing");
}

double distToSegment(const ccVector<2>& p, const ccVector<2>& a, const ccVector<2>& b) {
  const ccVector<2> d = b - a;
  const double l2 = d.lengthSq();
  double t = l2 > 0 ? (p - a).dot(d) / l2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return (p - (a + d * t)).length();
}

void checkPoints(const std::vector<ccVector<2>>& p) {
  for (const auto& v : p)
    if (!finite(v)) throw ccShapesError::BadGeom("non-finite spline point");
}

}  // namespace

// =========================================================================================
// ccBezierCurve

ccBezierCurve::ccBezierCurve() : p_{}, w_{1, 1, 1, 1} {}

ccBezierCurve::ccBezierCurve(const ccVector<2>& p0, const ccVector<2>& p1, const ccVector<2>& p2,
                             const ccVector<2>& p3)
    : ccBezierCurve(Points{p0, p1, p2, p3}) {}

ccBezierCurve::ccBezierCurve(const Points& points, const Weights& weights) {
  check(points, weights);
  p_ = points;
  w_ = weights;
}

ccBezierCurve ccBezierCurve::quadraticArc(const ccVector<2>& p0, const ccVector<2>& p1,
                                          const ccVector<2>& p2, double w) {
  if (!std::isfinite(w) || !(w > 0)) throw ccShapesError::BadCoef("arc weight must be positive");
  // Degree elevation of the homogeneous points (p0, 1), (w p1, w), (p2, 1).
  const double w1 = (1 + 2 * w) / 3;
  const ccVector<2> q1 = (p0 + 2 * w * p1) / (1 + 2 * w);
  const ccVector<2> q2 = (2 * w * p1 + p2) / (1 + 2 * w);
  return ccBezierCurve(Points{p0, q1, q2, p2}, Weights{1, w1, w1, 1});
}

void ccBezierCurve::check(const Points& points, const Weights& weights) {
  for (const auto& p : points)
    if (!finite(p)) throw ccShapesError::BadGeom("non-finite Bezier control point");
  for (double w : weights)
    if (!std::isfinite(w) || !(w > 0)) throw ccShapesError::BadCoef("Bezier weight must be > 0");
}

const ccVector<2>& ccBezierCurve::controlPoint(int i) const {
  if (i < 0 || i > 3) throw ccShapesError::BadParams("control point index out of range");
  return p_[i];
}

double ccBezierCurve::weight(int i) const {
  if (i < 0 || i > 3) throw ccShapesError::BadParams("weight index out of range");
  return w_[i];
}

void ccBezierCurve::controlPoint(int i, const ccVector<2>& p) {
  Points q = p_;
  if (i < 0 || i > 3) throw ccShapesError::BadParams("control point index out of range");
  q[i] = p;
  controlPoints(q);
}

void ccBezierCurve::weight(int i, double w) {
  Weights v = w_;
  if (i < 0 || i > 3) throw ccShapesError::BadParams("weight index out of range");
  v[i] = w;
  weights(v);
}

void ccBezierCurve::controlPoints(const Points& points) {
  check(points, w_);
  mutating();
  p_ = points;
}

void ccBezierCurve::weights(const Weights& weights) {
  check(p_, weights);
  mutating();
  w_ = weights;
}

bool ccBezierCurve::isRational() const {
  return w_[1] != w_[0] || w_[2] != w_[0] || w_[3] != w_[0];
}

namespace {

// De Casteljau in homogeneous coordinates at t: the point and the derivative.
void evalHomogeneous(const ccBezierCurve::Points& p, const ccBezierCurve::Weights& w, double t,
                     H& point, H& deriv) {
  H b[4];
  for (int i = 0; i < 4; ++i) b[i] = {w[i] * p[i].x(), w[i] * p[i].y(), w[i]};
  H c[3] = {lerp(b[0], b[1], t), lerp(b[1], b[2], t), lerp(b[2], b[3], t)};
  H d[2] = {lerp(c[0], c[1], t), lerp(c[1], c[2], t)};
  point = lerp(d[0], d[1], t);
  deriv = {3 * (d[1].x - d[0].x), 3 * (d[1].y - d[0].y), 3 * (d[1].w - d[0].w)};
}

}  // namespace

ccVector<2> ccBezierCurve::point(double t) const {
  if (t == 0) return p_[0];
  if (t == 1) return p_[3];
  H h, d;
  evalHomogeneous(p_, w_, t, h, d);
  return ccVector<2>(h.x / h.w, h.y / h.w);
}

ccVector<2> ccBezierCurve::derivative(double t) const {
  H h, d;
  evalHomogeneous(p_, w_, t, h, d);
  return ccVector<2>((d.x * h.w - h.x * d.w) / (h.w * h.w), (d.y * h.w - h.y * d.w) / (h.w * h.w));
}

void ccBezierCurve::split(double t, ccBezierCurve& first, ccBezierCurve& second) const {
  if (!(t >= 0 && t <= 1)) throw ccShapesError::BadParams("split parameter outside [0, 1]");
  H b[4];
  for (int i = 0; i < 4; ++i) b[i] = {w_[i] * p_[i].x(), w_[i] * p_[i].y(), w_[i]};
  const H c0 = lerp(b[0], b[1], t), c1 = lerp(b[1], b[2], t), c2 = lerp(b[2], b[3], t);
  const H d0 = lerp(c0, c1, t), d1 = lerp(c1, c2, t);
  const H e = lerp(d0, d1, t);
  auto make = [](const H(&h)[4], ccBezierCurve& out) {
    Points p;
    Weights w;
    for (int i = 0; i < 4; ++i) {
      w[i] = h[i].w;
      p[i] = ccVector<2>(h[i].x / h[i].w, h[i].y / h[i].w);
    }
    out = ccBezierCurve(p, w);
  };
  const H left[4] = {b[0], c0, d0, e};
  const H right[4] = {e, d1, c2, b[3]};
  ccBezierCurve a, bb;
  make(left, a);
  make(right, bb);
  // The end points are the original ones exactly.
  a.p_[0] = p_[0];
  bb.p_[3] = p_[3];
  if (t == 0) a.p_ = {p_[0], p_[0], p_[0], p_[0]};
  if (t == 1) bb.p_ = {p_[3], p_[3], p_[3], p_[3]};
  first = a;
  second = bb;
}

ccBezierCurve ccBezierCurve::piece(double t0, double t1) const {
  if (!(t0 >= 0 && t0 <= t1 && t1 <= 1))
    throw ccShapesError::BadParams("piece parameters outside 0 <= t0 <= t1 <= 1");
  if (t1 == 0) return ccBezierCurve(Points{p_[0], p_[0], p_[0], p_[0]}, w_);
  ccBezierCurve left, right, a, b;
  split(t1, left, right);
  left.split(t0 / t1, a, b);
  return b;
}

double ccBezierCurve::nearestParam(const ccVector<2>& p) const {
  // Coordinates relative to p: N = sum B_i w_i (P_i - p), D = sum B_i w_i; the squared
  // distance is |N|^2 / D^2, whose derivative has the sign of sum_c N_c (N_c' D - N_c D').
  const Poly d = bernsteinToPower(w_[0], w_[1], w_[2], w_[3]);
  const Poly dd = derivPoly(d);
  Poly g;
  for (int c = 0; c < 2; ++c) {
    double q[4];
    for (int i = 0; i < 4; ++i) q[i] = w_[i] * ((c == 0 ? p_[i].x() - p.x() : p_[i].y() - p.y()));
    const Poly n = bernsteinToPower(q[0], q[1], q[2], q[3]);
    const Poly num = addPoly(mulPoly(derivPoly(n), d), mulPoly(n, dd), -1);
    g = addPoly(g, mulPoly(n, num));
  }
  double best = 0, bestD = (p_[0] - p).lengthSq();
  auto consider = [&](double t) {
    const double dist = (point(t) - p).lengthSq();
    if (dist < bestD) {
      bestD = dist;
      best = t;
    }
  };
  for (double t : rootsIn(g, 0, 1)) consider(t);
  consider(1);
  return best;
}

ccVector<2> ccBezierCurve::nearestPoint(const ccVector<2>& p) const {
  return point(nearestParam(p));
}

double ccBezierCurve::lengthTo(double t) const {
  t = std::clamp(t, 0.0, 1.0);
  if (t == 0) return 0;
  auto speed = [this](double u) { return derivative(u).length(); };
  // A fixed start grid of 8 intervals, then adaptive refinement of each.
  double total = 0;
  const int n = 8;
  double guess = 0;
  std::vector<double> parts(n);
  for (int i = 0; i < n; ++i) {
    parts[i] = gauss8(speed, t * i / n, t * (i + 1) / n);
    guess += parts[i];
  }
  const double eps = std::max(ccArcLengthTolerance * guess, std::numeric_limits<double>::min());
  long budget = kIntegralBudget;
  for (int i = 0; i < n; ++i)
    total += adaptiveIntegral(speed, t * i / n, t * (i + 1) / n, parts[i], eps / n, 30, budget);
  return total;
}

double ccBezierCurve::paramAtLength(double s) const {
  const double total = lengthTo(1);
  if (!(s > 0)) return 0;
  if (s >= total) return 1;
  // Safeguarded Newton iteration on lengthTo(t) = s.
  double lo = 0, hi = 1, t = s / total;
  for (int it = 0; it < 100; ++it) {
    const double f = lengthTo(t) - s;
    if (std::fabs(f) <= ccArcPositionTolerance * total) break;
    (f < 0 ? lo : hi) = t;
    const double v = derivative(t).length();
    double next = v > 0 ? t - f / v : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    if (next == t) break;
    t = next;
  }
  return t;
}

ccBezierCurve ccBezierCurve::map(const ccXform<2>& x) const {
  Points q;
  for (int i = 0; i < 4; ++i) q[i] = x.mapPoint(p_[i]);
  return ccBezierCurve(q, w_);
}

ccShapePtrh ccBezierCurve::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccBezierCurve(map(x)));
}

bool ccBezierCurve::hasTangent() const {
  return p_[1] != p_[0] || p_[2] != p_[0] || p_[3] != p_[0];
}

ccRect ccBezierCurve::boundingBox() const {
  const Poly d = bernsteinToPower(w_[0], w_[1], w_[2], w_[3]);
  const Poly dd = derivPoly(d);
  double lo[2] = {std::min(p_[0].x(), p_[3].x()), std::min(p_[0].y(), p_[3].y())};
  double hi[2] = {std::max(p_[0].x(), p_[3].x()), std::max(p_[0].y(), p_[3].y())};
  for (int c = 0; c < 2; ++c) {
    // Relative to P0, so that large offsets do not swamp the extrema.
    double q[4];
    for (int i = 0; i < 4; ++i) q[i] = w_[i] * (p_[i][c] - p_[0][c]);
    const Poly n = bernsteinToPower(q[0], q[1], q[2], q[3]);
    const Poly f = addPoly(mulPoly(derivPoly(n), d), mulPoly(n, dd), -1);
    for (double t : rootsIn(f, 0, 1)) {
      const double v = point(t)[c];
      lo[c] = std::min(lo[c], v);
      hi[c] = std::max(hi[c], v);
    }
  }
  return ccRect::fromCorners(ccVector<2>(lo[0], lo[1]), ccVector<2>(hi[0], hi[1]));
}

ccRadian ccBezierCurve::startAngle() const {
  for (int i = 1; i < 4; ++i)
    if (p_[i] != p_[0]) return (p_[i] - p_[0]).angle();
  throw ccShapesError::NoTangent("Bezier curve of one point");
}

ccRadian ccBezierCurve::endAngle() const {
  for (int i = 2; i >= 0; --i)
    if (p_[i] != p_[3]) return (p_[3] - p_[i]).angle();
  throw ccShapesError::NoTangent("Bezier curve of one point");
}

namespace {

double windingOf(const ccBezierCurve& c, const ccVector<2>& p, int depth) {
  const auto& q = c.controlPoints();
  double x0 = q[0].x(), x1 = x0, y0 = q[0].y(), y1 = y0;
  for (int i = 1; i < 4; ++i) {
    x0 = std::min(x0, q[i].x());
    x1 = std::max(x1, q[i].x());
    y0 = std::min(y0, q[i].y());
    y1 = std::max(y1, q[i].y());
  }
  const bool outside = p.x() < x0 || p.x() > x1 || p.y() < y0 || p.y() > y1;
  if (outside || depth <= 0) {
    const ccVector<2> a = q[0] - p, b = q[3] - p;
    return std::atan2(a.cross(b), a.dot(b));
  }
  ccBezierCurve l, r;
  c.split(0.5, l, r);
  return windingOf(l, p, depth - 1) + windingOf(r, p, depth - 1);
}

}  // namespace

ccRadian ccBezierCurve::windingAngle(const ccVector<2>& p) const {
  return ccRadian(windingOf(*this, p, 48));
}

ccShapePtrh ccBezierCurve::reverse() const {
  return ccShapePtrh(
      new ccBezierCurve(Points{p_[3], p_[2], p_[1], p_[0]}, Weights{w_[3], w_[2], w_[1], w_[0]}));
}

namespace {

// Length of a piece by one 8-point Gauss-Legendre rule (pieces are small when it is used).
double roughLength(const ccBezierCurve& c) {
  return gauss8([&c](double u) { return c.derivative(u).length(); }, 0, 1);
}

// Appends the points after the first of an adaptive sampling of c; false when more than
// `budget` points would be needed. Pieces that skip accepts are taken as their chord.
bool adaptive(const ccBezierCurve& c, double tol, double spacing, int depth,
              const std::function<bool(const ccBezierCurve&)>& skip, std::vector<ccVector<2>>& out,
              std::size_t budget) {
  const auto& q = c.controlPoints();
  bool ok = depth <= 0 || (skip && skip(c));
  if (!ok) {
    const bool tolOk = tol == 0 || std::max(distToSegment(q[1], q[0], q[3]),
                                            distToSegment(q[2], q[0], q[3])) <= tol;
    ok = tolOk && (spacing == 0 || roughLength(c) <= spacing);
  }
  if (ok) {
    if (out.size() >= budget) return false;
    out.push_back(q[3]);
    return true;
  }
  ccBezierCurve l, r;
  c.split(0.5, l, r);
  return adaptive(l, tol, spacing, depth - 1, skip, out, budget) &&
         adaptive(r, tol, spacing, depth - 1, skip, out, budget);
}

// n >= 2 points at equal arc lengths from P0 to P3.
void equalArcPoints(const ccBezierCurve& c, long n, std::vector<ccVector<2>>& out) {
  const double total = c.perimeter();
  out.push_back(c.startPoint());
  // Walk forward: each target is solved from the previous parameter with a local integral.
  double t = 0, s = 0;
  auto speed = [&c](double u) { return c.derivative(u).length(); };
  // One budget of halvings for all the points: a smooth curve spends a few per point, and
  // one whose integrals never settle (extreme coordinates) stops refining instead of paying
  // the full budget at each of thousands of Newton steps.
  long budget = kSamplingBudget;
  auto lengthBetween = [&](double a, double b) {
    if (b <= a) return 0.0;
    const double whole = gauss8(speed, a, b);
    return adaptiveIntegral(speed, a, b, whole,
                            ccArcLengthTolerance * std::max(total, kLengthFloor), 30, budget);
  };
  for (long k = 1; k + 1 < n; ++k) {
    const double target = total * static_cast<double>(k) / static_cast<double>(n - 1);
    double lo = t, hi = 1, u = t;
    double su = s;
    // Once the budget is spent the lengths no longer improve: the point stays where it is.
    for (int it = 0; it < 100 && budget > 0; ++it) {
      const double f = su - target;
      if (std::fabs(f) <= ccArcPositionTolerance * total) break;
      (f < 0 ? lo : hi) = u;
      const double v = speed(u);
      double next = v > 0 ? u - f / v : 0.5 * (lo + hi);
      if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
      if (next == u) break;
      su = next > u ? su + lengthBetween(u, next) : su - lengthBetween(next, u);
      u = next;
    }
    t = u;
    s = su;
    out.push_back(c.point(t));
  }
  out.push_back(c.endPoint());
}

}  // namespace

void ccBezierCurve::sample(const ccSampleParams& params, ccSampleResult& result) const {
  checkSampleParams(params, 2);
  std::vector<ccVector<2>> pts;
  const std::size_t budget = static_cast<std::size_t>(params.maxPoints);
  if (params.uniform) {
    const double len = perimeter();
    double parts = std::ceil(len / params.spacing);
    parts = std::max(1.0, std::min(parts, static_cast<double>(params.maxPoints - 1)));
    equalArcPoints(*this, static_cast<long>(parts) + 1, pts);
  } else {
    pts.push_back(p_[0]);
    if (!adaptive(*this, params.tolerance, params.spacing, 60, nullptr, pts, budget)) {
      pts.clear();
      equalArcPoints(*this, params.maxPoints, pts);
    }
  }
  result.positions().swap(pts);
}

bool ccBezierCurve::sampleAdaptive(const ccSampleParams& params,
                                   const std::function<bool(const ccBezierCurve&)>& skip,
                                   ccSampleResult& result) const {
  checkSampleParams(params, 2);
  std::vector<ccVector<2>>& pts = result.positions();
  pts.clear();
  pts.push_back(p_[0]);
  if (adaptive(*this, params.tolerance, params.spacing, 60, skip, pts,
               static_cast<std::size_t>(params.maxPoints)))
    return true;
  pts.clear();
  return false;
}

double ccBezierCurve::nearestPerimPos(const ccVector<2>& p) const {
  return lengthTo(nearestParam(p));
}

ccShapePtrh ccBezierCurve::subShape(double startPos, double endPos) const {
  if (!std::isfinite(startPos) || !std::isfinite(endPos) || startPos > endPos)
    throw ccShapesError::BadParams("sub-shape positions must be finite and ordered");
  const double t0 = paramAtLength(startPos), t1 = paramAtLength(endPos);
  return ccShapePtrh(new ccBezierCurve(piece(t0, std::max(t0, t1))));
}

bool ccBezierCurve::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccBezierCurve*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccBezierCurve::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccBezierCurve::serialize_(ar, version);
  setVisited(ar);
}

void ccBezierCurve::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  Points p = p_;
  Weights w = w_;
  for (auto& v : p) ar || v;
  for (auto& v : w) ar || v;
  if (ar.isLoading()) {
    check(p, w);
    mutating();
    p_ = p;
    w_ = w;
  }
}

ccArchive& operator||(ccArchive& ar, ccBezierCurve& c) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccBezierCurve::Points p = c.controlPoints();
  ccBezierCurve::Weights w = c.weights();
  for (auto& v : p) ar || v;
  for (auto& v : w) ar || v;
  if (ar.isLoading()) c = ccBezierCurve(p, w);
  return ar;
}

// =========================================================================================
// ccCubicSpline

ccCubicSpline::ccCubicSpline(const std::vector<ccBezierCurve>& curves) : curves_(curves) {}

const ccBezierCurve& ccCubicSpline::curve(long i) const {
  if (i < 0 || i >= numSegments()) throw ccShapesError::BadParams("curve index out of range");
  return curves_[static_cast<std::size_t>(i)];
}

ccCubicSpline ccCubicSpline::map(const ccXform<2>& x) const {
  std::vector<ccBezierCurve> c;
  c.reserve(curves_.size());
  for (const auto& b : curves_) c.push_back(b.map(x));
  return ccCubicSpline(c);
}

ccShapePtrh ccCubicSpline::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccCubicSpline(map(x)));
}

bool ccCubicSpline::hasTangent() const {
  for (const auto& c : curves_)
    if (c.hasTangent()) return true;
  return false;
}

namespace {
void requireCurves(const std::vector<ccBezierCurve>& c) {
  if (c.empty()) throw ccShapesError::EmptyShape("spline without curves");
}
}  // namespace

ccRect ccCubicSpline::boundingBox() const {
  requireCurves(curves_);
  ccRect r = curves_[0].boundingBox();
  for (std::size_t i = 1; i < curves_.size(); ++i) {
    const ccRect b = curves_[i].boundingBox();
    // enclose() ignores null rectangles, so combine the corners explicitly.
    const ccVector<2> lo(std::min(r.ul().x(), b.ul().x()), std::min(r.ul().y(), b.ul().y()));
    const ccVector<2> hi(std::max(r.lr().x(), b.lr().x()), std::max(r.lr().y(), b.lr().y()));
    r = ccRect::fromCorners(lo, hi);
  }
  return r;
}

ccVector<2> ccCubicSpline::nearestPoint(const ccVector<2>& p) const {
  requireCurves(curves_);
  ccVector<2> best = curves_[0].nearestPoint(p);
  double bestD = (best - p).lengthSq();
  for (std::size_t i = 1; i < curves_.size(); ++i) {
    const ccVector<2> q = curves_[i].nearestPoint(p);
    const double d = (q - p).lengthSq();
    if (d < bestD) {
      bestD = d;
      best = q;
    }
  }
  return best;
}

ccVector<2> ccCubicSpline::startPoint() const {
  requireCurves(curves_);
  return curves_.front().startPoint();
}

ccVector<2> ccCubicSpline::endPoint() const {
  requireCurves(curves_);
  return curves_.back().endPoint();
}

ccRadian ccCubicSpline::startAngle() const {
  requireCurves(curves_);
  for (const auto& c : curves_)
    if (c.hasTangent()) return c.startAngle();
  throw ccShapesError::NoTangent("spline of one point");
}

ccRadian ccCubicSpline::endAngle() const {
  requireCurves(curves_);
  for (auto it = curves_.rbegin(); it != curves_.rend(); ++it)
    if (it->hasTangent()) return it->endAngle();
  throw ccShapesError::NoTangent("spline of one point");
}

ccRadian ccCubicSpline::windingAngle(const ccVector<2>& p) const {
  double sum = 0;
  for (const auto& c : curves_) sum += c.windingAngle(p).toDouble();
  return ccRadian(sum);
}

ccShapePtrh ccCubicSpline::reverse() const {
  std::vector<ccBezierCurve> r;
  for (auto it = curves_.rbegin(); it != curves_.rend(); ++it) {
    const ccShapePtrh h = it->reverse();
    r.push_back(static_cast<const ccBezierCurve&>(*h));
  }
  return ccShapePtrh(new ccCubicSpline(r));
}

ccShapePtrh ccCubicSpline::decompose() const {
  std::vector<ccShapePtrh> pieces;
  for (const auto& c : curves_) pieces.push_back(ccShapePtrh(new ccBezierCurve(c)));
  return ccShapePtrh(new ccContourTree(pieces, false));
}

void ccCubicSpline::sample(const ccSampleParams& params, ccSampleResult& result) const {
  checkSampleParams(params, 2);
  std::vector<ccVector<2>> out;
  const std::size_t k = curves_.size();
  // Joints where a curve ends on the next one's start show their point once, unless
  // corners are duplicated.
  std::vector<bool> merge(k, false);
  std::size_t merged = 0;
  for (std::size_t i = 1; i < k; ++i) {
    merge[i] = !params.duplicateCorners && curves_[i].startPoint() == curves_[i - 1].endPoint();
    merged += merge[i];
  }
  auto append = [&](std::size_t i, const std::vector<ccVector<2>>& pts) {
    out.insert(out.end(), pts.begin() + (merge[i] ? 1 : 0), pts.end());
  };
  bool fits = true;
  for (std::size_t i = 0; i < k && fits; ++i) {
    ccSampleResult r;
    curves_[i].sample(params, r);
    append(i, r.positions());
    fits = out.size() <= static_cast<std::size_t>(params.maxPoints);
  }
  if (!fits) {
    // Exactly maxPoints points, spread over the curves in proportion to their lengths.
    const double m = static_cast<double>(params.maxPoints) + static_cast<double>(merged);
    if (m < 2.0 * static_cast<double>(k))
      throw ccShapesError::BadParams("too few sample points for the spline's curves");
    std::vector<double> len(k);
    double total = 0;
    for (std::size_t i = 0; i < k; ++i) total += len[i] = curves_[i].perimeter();
    const double spare = m - 2.0 * static_cast<double>(k);
    std::vector<long> n(k);
    std::vector<std::pair<double, std::size_t>> rest;
    long used = 0;
    for (std::size_t i = 0; i < k; ++i) {
      const double share = total > 0 ? spare * len[i] / total : spare / static_cast<double>(k);
      n[i] = 2 + static_cast<long>(std::floor(share));
      used += n[i];
      rest.push_back({share - std::floor(share), i});
    }
    std::sort(rest.begin(), rest.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (std::size_t j = 0; used < static_cast<long>(m); ++j, ++used) ++n[rest[j % k].second];
    out.clear();
    for (std::size_t i = 0; i < k; ++i) {
      std::vector<ccVector<2>> pts;
      equalArcPoints(curves_[i], n[i], pts);
      append(i, pts);
    }
  }
  result.positions().swap(out);
}

double ccCubicSpline::perimeter() const {
  double s = 0;
  for (const auto& c : curves_) s += c.perimeter();
  return s;
}

double ccCubicSpline::nearestPerimPos(const ccVector<2>& p) const {
  requireCurves(curves_);
  double best = 0, bestD = std::numeric_limits<double>::infinity(), before = 0;
  for (const auto& c : curves_) {
    const double t = c.nearestParam(p);
    const double d = (c.point(t) - p).lengthSq();
    if (d < bestD) {
      bestD = d;
      best = before + c.lengthTo(t);
    }
    before += c.perimeter();
  }
  return best;
}

ccShapePtrh ccCubicSpline::subShape(double startPos, double endPos) const {
  if (!std::isfinite(startPos) || !std::isfinite(endPos) || startPos > endPos)
    throw ccShapesError::BadParams("sub-shape positions must be finite and ordered");
  requireCurves(curves_);
  std::vector<ccBezierCurve> out;
  double before = 0;
  const double total = perimeter();
  startPos = std::clamp(startPos, 0.0, total);
  endPos = std::clamp(endPos, 0.0, total);
  for (std::size_t i = 0; i < curves_.size(); ++i) {
    const double len = curves_[i].perimeter();
    const double a = std::clamp(startPos - before, 0.0, len);
    const double b = std::clamp(endPos - before, 0.0, len);
    const bool last = i + 1 == curves_.size();
    if (startPos < endPos) {
      if (a < b) {
        const ccShapePtrh s = curves_[i].subShape(a, b);
        out.push_back(static_cast<const ccBezierCurve&>(*s));
      }
    } else if (startPos - before <= len || last) {
      // A zero-length range: the point where it lies, as a curve of length 0.
      const ccShapePtrh s = curves_[i].subShape(a, a);
      out.push_back(static_cast<const ccBezierCurve&>(*s));
      break;
    }
    before += len;
  }
  return ccShapePtrh(new ccCubicSpline(out));
}

bool ccCubicSpline::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccCubicSpline*>(&other);
  return o && typeid(*o) == typeid(*this) && o->curves_ == curves_;
}

void ccCubicSpline::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccCubicSpline::serialize_(ar, version);
  setVisited(ar);
}

void ccCubicSpline::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  std::vector<ccBezierCurve> c = curves_;
  ar || c;  // count, then each curve's value form
  if (ar.isLoading()) {
    mutating();
    curves_.swap(c);
  }
}

// =========================================================================================
// ccDeBoorSpline

std::vector<double> ccDeBoorSpline::makeKnots(std::size_t n, KnotType type) {
  std::vector<double> u;
  if (type == eUniform) {
    for (std::size_t i = 0; i < n + 4; ++i) u.push_back(static_cast<double>(i));
  } else if (type == eClamped) {
    const double last = static_cast<double>(n) - 3;
    for (int i = 0; i < 4; ++i) u.push_back(0);
    for (std::size_t i = 1; i + 4 <= n; ++i) u.push_back(static_cast<double>(i));
    for (int i = 0; i < 4; ++i) u.push_back(last);
  } else {
    throw ccShapesError::BadParams("unknown knot type");
  }
  return u;
}

void ccDeBoorSpline::check(const std::vector<ccVector<2>>& d, const std::vector<double>& u) {
  if (d.size() < 4) throw ccShapesError::BadParams("a cubic B-spline needs 4 control points");
  checkPoints(d);
  if (u.size() != d.size() + 4) throw ccShapesError::BadCoef("need control point count + 4 knots");
  for (std::size_t i = 0; i < u.size(); ++i) {
    if (!std::isfinite(u[i])) throw ccShapesError::BadCoef("non-finite knot");
    if (i > 0 && u[i] < u[i - 1]) throw ccShapesError::BadCoef("knots must not decrease");
  }
  if (!(u[3] < u[d.size()])) throw ccShapesError::BadCoef("empty parameter domain");
}

ccDeBoorSpline::ccDeBoorSpline(const std::vector<ccVector<2>>& controlPoints, KnotType knots) {
  set(controlPoints, knots);
}

ccDeBoorSpline::ccDeBoorSpline(const std::vector<ccVector<2>>& controlPoints,
                               const std::vector<double>& knots) {
  set(controlPoints, knots);
}

void ccDeBoorSpline::set(const std::vector<ccVector<2>>& controlPoints,
                         const std::vector<double>& knots) {
  check(controlPoints, knots);
  mutating();
  d_ = controlPoints;
  u_ = knots;
  rebuild();
}

void ccDeBoorSpline::set(const std::vector<ccVector<2>>& controlPoints, KnotType knots) {
  if (controlPoints.size() < 4)
    throw ccShapesError::BadParams("a cubic B-spline needs 4 control points");
  set(controlPoints, makeKnots(controlPoints.size(), knots));
}

double ccDeBoorSpline::domainStart() const {
  if (d_.empty()) throw ccShapesError::EmptyShape("empty B-spline");
  return u_[3];
}

double ccDeBoorSpline::domainEnd() const {
  if (d_.empty()) throw ccShapesError::EmptyShape("empty B-spline");
  return u_[d_.size()];
}

namespace {

// The blossom of span i (u[i] <= u < u[i+1]) at the arguments a[0..2], by de Boor's
// algorithm with argument a[r-1] at level r.
ccVector<2> blossom(const std::vector<ccVector<2>>& d, const std::vector<double>& u, std::size_t i,
                    const double (&a)[3]) {
  ccVector<2> q[4] = {d[i - 3], d[i - 2], d[i - 1], d[i]};
  for (std::size_t r = 1; r <= 3; ++r) {
    for (std::size_t j = i; j >= i - 3 + r; --j) {
      const std::size_t k = j - (i - 3);
      const double alpha = (a[r - 1] - u[j]) / (u[j + 4 - r] - u[j]);
      q[k] = q[k - 1] * (1 - alpha) + q[k] * alpha;
    }
  }
  return q[3];
}

}  // namespace

ccVector<2> ccDeBoorSpline::point(double u) const {
  if (d_.empty()) throw ccShapesError::EmptyShape("empty B-spline");
  const std::size_t n = d_.size();
  u = std::clamp(u, u_[3], u_[n]);
  // The span holding u; the last non-empty span for the domain's end.
  std::size_t i = 3;
  for (std::size_t j = 3; j < n; ++j)
    if (u_[j] < u_[j + 1] && u >= u_[j]) i = j;
  const double a[3] = {u, u, u};
  return blossom(d_, u_, i, a);
}

void ccDeBoorSpline::rebuild() {
  std::vector<ccBezierCurve> curves;
  const std::size_t n = d_.size();
  for (std::size_t i = 3; i < n; ++i) {
    if (!(u_[i] < u_[i + 1])) continue;
    const double l = u_[i], r = u_[i + 1];
    const double a0[3] = {l, l, l}, a1[3] = {l, l, r}, a2[3] = {l, r, r}, a3[3] = {r, r, r};
    curves.push_back(ccBezierCurve(blossom(d_, u_, i, a0), blossom(d_, u_, i, a1),
                                   blossom(d_, u_, i, a2), blossom(d_, u_, i, a3)));
  }
  setCurves_(std::move(curves));
}

ccDeBoorSpline ccDeBoorSpline::map(const ccXform<2>& x) const {
  ccDeBoorSpline s;
  if (d_.empty()) return s;
  std::vector<ccVector<2>> d;
  for (const auto& p : d_) d.push_back(x.mapPoint(p));
  s.set(d, u_);
  return s;
}

ccShapePtrh ccDeBoorSpline::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccDeBoorSpline(map(x)));
}

ccShapePtrh ccDeBoorSpline::reverse() const {
  if (d_.empty()) throw ccShapesError::NotOpenContour("empty B-spline");
  std::vector<ccVector<2>> d(d_.rbegin(), d_.rend());
  std::vector<double> u;
  const double sum = u_.front() + u_.back();
  for (auto it = u_.rbegin(); it != u_.rend(); ++it) u.push_back(sum - *it);
  return ccShapePtrh(new ccDeBoorSpline(d, u));
}

bool ccDeBoorSpline::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccDeBoorSpline*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccDeBoorSpline::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccDeBoorSpline::serialize_(ar, version);
  setVisited(ar);
}

void ccDeBoorSpline::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  std::vector<ccVector<2>> d = d_;
  std::vector<double> u = u_;
  ar || d || u;
  if (ar.isLoading()) {
    if (d.empty() && u.empty()) {
      mutating();
      d_.clear();
      u_.clear();
      setCurves_({});
    } else {
      set(d, u);
    }
  }
}

// =========================================================================================
// ccInterpSpline

std::vector<double> ccInterpSpline::chordLengthParams(const std::vector<ccVector<2>>& points) {
  checkPoints(points);
  std::vector<double> s;
  double acc = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0) {
      const double h = (points[i] - points[i - 1]).length();
      if (!(h > 0)) throw ccShapesError::BadGeom("consecutive interpolation points coincide");
      acc += h;
    }
    s.push_back(acc);
  }
  return s;
}

void ccInterpSpline::check(const std::vector<ccVector<2>>& p, const std::vector<double>& s,
                           const ccVector<2>& t0, const ccVector<2>& t1) {
  if (p.size() < 2) throw ccShapesError::BadParams("interpolation needs 2 points");
  checkPoints(p);
  if (!finite(t0) || !finite(t1)) throw ccShapesError::BadGeom("non-finite end tangent");
  if (s.size() != p.size()) throw ccShapesError::BadCoef("need one parameter per point");
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!std::isfinite(s[i])) throw ccShapesError::BadCoef("non-finite parameter");
    if (i > 0 && !(s[i] > s[i - 1]))
      throw ccShapesError::BadCoef("parameters must increase strictly");
  }
}

ccInterpSpline::ccInterpSpline(const std::vector<ccVector<2>>& points)
    : ccInterpSpline(points, points.size() < 2 ? std::vector<double>() : chordLengthParams(points),
                     eNatural) {}

ccInterpSpline::ccInterpSpline(const std::vector<ccVector<2>>& points,
                               const ccVector<2>& startTangent, const ccVector<2>& endTangent)
    : ccInterpSpline(points, points.size() < 2 ? std::vector<double>() : chordLengthParams(points),
                     eClamped, startTangent, endTangent) {}

ccInterpSpline::ccInterpSpline(const std::vector<ccVector<2>>& points,
                               const std::vector<double>& params, EndCondition ends,
                               const ccVector<2>& startTangent, const ccVector<2>& endTangent) {
  if (ends != eNatural && ends != eClamped) throw ccShapesError::BadParams("unknown end condition");
  const ccVector<2> t0 = ends == eClamped ? startTangent : ccVector<2>();
  const ccVector<2> t1 = ends == eClamped ? endTangent : ccVector<2>();
  check(points, params, t0, t1);
  p_ = points;
  s_ = params;
  ends_ = ends;
  t0_ = t0;
  t1_ = t1;
  rebuild();
}

void ccInterpSpline::rebuild() {
  const std::size_t n = p_.size();
  std::vector<ccBezierCurve> curves;
  if (n < 2) {
    setCurves_(std::move(curves));
    return;
  }
  std::vector<double> h(n - 1);
  for (std::size_t i = 0; i + 1 < n; ++i) h[i] = s_[i + 1] - s_[i];
  // Tridiagonal system for the derivatives m_i: a_i m_{i-1} + b_i m_i + c_i m_{i+1} = r_i.
  std::vector<double> a(n, 0), b(n, 0), c(n, 0);
  std::vector<ccVector<2>> r(n);
  if (ends_ == eClamped) {
    b[0] = 1;
    r[0] = t0_;
    b[n - 1] = 1;
    r[n - 1] = t1_;
  } else {
    b[0] = 2;
    c[0] = 1;
    r[0] = 3 * (p_[1] - p_[0]) / h[0];
    a[n - 1] = 1;
    b[n - 1] = 2;
    r[n - 1] = 3 * (p_[n - 1] - p_[n - 2]) / h[n - 2];
  }
  for (std::size_t i = 1; i + 1 < n; ++i) {
    a[i] = h[i];
    b[i] = 2 * (h[i - 1] + h[i]);
    c[i] = h[i - 1];
    r[i] = 3 * (h[i - 1] * (p_[i + 1] - p_[i]) / h[i] + h[i] * (p_[i] - p_[i - 1]) / h[i - 1]);
  }
  // Thomas algorithm (the system is diagonally dominant).
  for (std::size_t i = 1; i < n; ++i) {
    const double f = a[i] / b[i - 1];
    b[i] -= f * c[i - 1];
    r[i] -= f * r[i - 1];
  }
  std::vector<ccVector<2>> m(n);
  m[n - 1] = r[n - 1] / b[n - 1];
  for (std::size_t i = n - 1; i-- > 0;) m[i] = (r[i] - c[i] * m[i + 1]) / b[i];
  if (ends_ == eClamped) {
    m[0] = t0_;
    m[n - 1] = t1_;
  }
  for (std::size_t i = 0; i + 1 < n; ++i)
    curves.push_back(ccBezierCurve(p_[i], p_[i] + m[i] * (h[i] / 3),
                                   p_[i + 1] - m[i + 1] * (h[i] / 3), p_[i + 1]));
  setCurves_(std::move(curves));
}

ccInterpSpline ccInterpSpline::map(const ccXform<2>& x) const {
  if (p_.empty()) return ccInterpSpline();
  std::vector<ccVector<2>> p;
  for (const auto& v : p_) p.push_back(x.mapPoint(v));
  return ccInterpSpline(p, s_, ends_, x.mapVector(t0_), x.mapVector(t1_));
}

ccShapePtrh ccInterpSpline::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccInterpSpline(map(x)));
}

ccShapePtrh ccInterpSpline::reverse() const {
  if (p_.empty()) throw ccShapesError::NotOpenContour("empty interpolating spline");
  std::vector<ccVector<2>> p(p_.rbegin(), p_.rend());
  std::vector<double> s;
  const double sum = s_.front() + s_.back();
  for (auto it = s_.rbegin(); it != s_.rend(); ++it) s.push_back(sum - *it);
  return ccShapePtrh(new ccInterpSpline(p, s, ends_, -t1_, -t0_));
}

bool ccInterpSpline::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccInterpSpline*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccInterpSpline::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccInterpSpline::serialize_(ar, version);
  setVisited(ar);
}

void ccInterpSpline::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  std::vector<ccVector<2>> p = p_;
  std::vector<double> s = s_;
  long ends = ends_;
  ccVector<2> t0 = t0_, t1 = t1_;
  ar || p || s || ends || t0 || t1;
  if (ar.isLoading()) {
    if (p.empty() && s.empty()) {
      mutating();
      p_.clear();
      s_.clear();
      ends_ = eNatural;
      t0_ = t1_ = ccVector<2>();
      setCurves_({});
      return;
    }
    if (ends != eNatural && ends != eClamped)
      throw ccShapesError::BadParams("unknown end condition");
    if (ends == eNatural && (t0 != ccVector<2>() || t1 != ccVector<2>()))
      throw ccShapesError::BadParams("natural ends carry no tangents");
    ccInterpSpline loaded(p, s, static_cast<EndCondition>(ends), t0, t1);
    mutating();
    p_.swap(loaded.p_);
    s_.swap(loaded.s_);
    ends_ = loaded.ends_;
    t0_ = loaded.t0_;
    t1_ = loaded.t1_;
    setCurves_(loaded.curves());
  }
}

// =========================================================================================
// ccHermiteSpline

void ccHermiteSpline::check(const std::vector<ccVector<2>>& p, const std::vector<ccVector<2>>& t) {
  if (p.size() < 2) throw ccShapesError::BadParams("a Hermite spline needs 2 points");
  if (t.size() != p.size()) throw ccShapesError::BadParams("need one tangent per point");
  checkPoints(p);
  checkPoints(t);
}

ccHermiteSpline::ccHermiteSpline(const std::vector<ccVector<2>>& points,
                                 const std::vector<ccVector<2>>& tangents) {
  set(points, tangents);
}

void ccHermiteSpline::set(const std::vector<ccVector<2>>& points,
                          const std::vector<ccVector<2>>& tangents) {
  check(points, tangents);
  mutating();
  p_ = points;
  t_ = tangents;
  rebuild();
}

void ccHermiteSpline::rebuild() {
  std::vector<ccBezierCurve> curves;
  for (std::size_t i = 0; i + 1 < p_.size(); ++i)
    curves.push_back(ccBezierCurve(p_[i], p_[i] + t_[i] / 3, p_[i + 1] - t_[i + 1] / 3, p_[i + 1]));
  setCurves_(std::move(curves));
}

ccHermiteSpline ccHermiteSpline::map(const ccXform<2>& x) const {
  ccHermiteSpline s;
  if (p_.empty()) return s;
  std::vector<ccVector<2>> p, t;
  for (const auto& v : p_) p.push_back(x.mapPoint(v));
  for (const auto& v : t_) t.push_back(x.mapVector(v));
  s.set(p, t);
  return s;
}

ccShapePtrh ccHermiteSpline::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccHermiteSpline(map(x)));
}

ccShapePtrh ccHermiteSpline::reverse() const {
  if (p_.empty()) throw ccShapesError::NotOpenContour("empty Hermite spline");
  std::vector<ccVector<2>> p(p_.rbegin(), p_.rend()), t;
  for (auto it = t_.rbegin(); it != t_.rend(); ++it) t.push_back(-*it);
  return ccShapePtrh(new ccHermiteSpline(p, t));
}

bool ccHermiteSpline::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccHermiteSpline*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccHermiteSpline::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccHermiteSpline::serialize_(ar, version);
  setVisited(ar);
}

void ccHermiteSpline::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  std::vector<ccVector<2>> p = p_, t = t_;
  ar || p || t;
  if (ar.isLoading()) {
    if (p.empty() && t.empty()) {
      mutating();
      p_.clear();
      t_.clear();
      setCurves_({});
    } else {
      set(p, t);
    }
  }
}
