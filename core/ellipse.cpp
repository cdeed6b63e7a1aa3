#include <core/contour_p.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/lines.h>
#include <core/shapetree.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace {

constexpr const char* kSource = "core/ellipse";
constexpr double kTwoPi = 2 * ccPi;
// An ellipse whose minor semi-axis is below this fraction of its major one is nearest-pointed
// as the segment along its major axis (the root search would underflow).
constexpr double kFlatRatio = 1e-150;

bool finite(const ccVector<2>& v) { return std::isfinite(v.x()) && std::isfinite(v.y()); }
bool finite(const ccMatrix<2>& m) {
  return std::isfinite(m.element(0, 0)) && std::isfinite(m.element(0, 1)) &&
         std::isfinite(m.element(1, 0)) && std::isfinite(m.element(1, 1));
}

void requireFinite(const ccVector<2>& v) {
  if (!finite(v)) throw ccShapesError::BadGeom("non-finite coordinate");
}
void requireFinite(double v) {
  if (!std::isfinite(v)) throw ccShapesError::BadGeom("non-finite value");
}
void requireRadius(double r) {
  requireFinite(r);
  if (r < 0) throw ccShapesError::BadRadius("negative radius");
}

ccMatrix<2> rotationMatrix(double a) {
  const double c = std::cos(a), s = std::sin(a);
  return ccMatrix<2>(c, -s, s, c);
}

// Direction of v; NoTangent for the zero vector.
ccRadian direction(const ccVector<2>& v) {
  if (v.x() == 0 && v.y() == 0) throw ccShapesError::NoTangent("zero speed");
  return v.angle();
}

// ---- Carlson's symmetric elliptic integrals (duplication; to about the rounding of doubles).

double carlsonRF(double x, double y, double z) {
  constexpr double kErrTol = 0.0025;
  double ave, dx, dy, dz;
  for (int i = 0; i < 200; ++i) {
    const double sx = std::sqrt(x), sy = std::sqrt(y), sz = std::sqrt(z);
    const double lambda = sx * (sy + sz) + sy * sz;
    x = 0.25 * (x + lambda);
    y = 0.25 * (y + lambda);
    z = 0.25 * (z + lambda);
    ave = (x + y + z) / 3;
    dx = (ave - x) / ave;
    dy = (ave - y) / ave;
    dz = (ave - z) / ave;
    if (std::max({std::fabs(dx), std::fabs(dy), std::fabs(dz)}) <= kErrTol) break;
  }
  const double e2 = dx * dy - dz * dz, e3 = dx * dy * dz;
  return (1 + (e2 / 24 - 0.1 - 3 * e3 / 44) * e2 + e3 / 14) / std::sqrt(ave);
}

double carlsonRD(double x, double y, double z) {
  constexpr double kErrTol = 0.0015;
  constexpr double c1 = 3.0 / 14, c2 = 1.0 / 6, c3 = 9.0 / 22, c4 = 3.0 / 26;
  constexpr double c5 = 0.25 * c3, c6 = 1.5 * c4;
  double sum = 0, fac = 1, ave, dx, dy, dz;
  for (int i = 0; i < 200; ++i) {
    const double sx = std::sqrt(x), sy = std::sqrt(y), sz = std::sqrt(z);
    const double lambda = sx * (sy + sz) + sy * sz;
    sum += fac / (sz * (z + lambda));
    fac *= 0.25;
    x = 0.25 * (x + lambda);
    y = 0.25 * (y + lambda);
    z = 0.25 * (z + lambda);
    ave = 0.2 * (x + y + 3 * z);
    dx = (ave - x) / ave;
    dy = (ave - y) / ave;
    dz = (ave - z) / ave;
    if (std::max({std::fabs(dx), std::fabs(dy), std::fabs(dz)}) <= kErrTol) break;
  }
  const double ea = dx * dy, eb = dz * dz, ec = ea - eb, ed = ea - 6 * eb, ee = ed + ec + ec;
  return 3 * sum + fac *
                       (1 + ed * (-c1 + c5 * ed - c6 * dz * ee) +
                        dz * (c2 * ee + dz * (-c3 * ec + dz * c4 * ea))) /
                       (ave * std::sqrt(ave));
}

// Arc length along (r1 cos t, r2 sin t), r1 >= r2 >= 0: G(theta) = integral from 0 to theta
// of the speed, through Legendre's E(phi | m), m = 1 - q, q = (r2 / r1)^2.
class ArcLength {
 public:
  ArcLength(double r1, double r2) : r1_(r1) {
    q_ = r1 > 0 ? (r2 / r1) * (r2 / r1) : 1;
    m_ = 1 - q_;
    complete_ = q_ == 0 ? 1 : carlsonRF(0, q_, 1) - m_ / 3 * carlsonRD(0, q_, 1);
  }
  // Signed, odd in theta.
  double operator()(double theta) const {
    if (r1_ == 0) return 0;
    return r1_ * (complete_ - legendreE(ccPi / 2 - theta));
  }
  double quarter() const { return r1_ * complete_; }

 private:
  double legendreE(double phi) const {
    const double n = std::nearbyint(phi / ccPi);
    const double r = phi - n * ccPi;
    const double s = std::sin(r), c = std::cos(r);
    double e = 0;
    if (s != 0) {
      if (q_ == 0) {
        e = s;
      } else {
        const double c2 = c * c, y = c2 + q_ * s * s;
        e = s * carlsonRF(c2, y, 1) - m_ / 3 * s * s * s * carlsonRD(c2, y, 1);
      }
    }
    return 2 * n * complete_ + e;
  }

  double r1_;
  double q_;
  double m_;
  double complete_;
};

// ---- Nearest point on an axis-aligned ellipse (Eberly, "Distance from a point to an
// ellipse"): query (y0, y1) >= 0, semi-axes e0 >= e1 > 0. Bisection on the root of the
// normal equation, to the last bit.

double eberlyRoot(double r0, double z0, double z1, double g) {
  const double n0 = r0 * z0;
  double s0 = z1 - 1, s1 = g < 0 ? 0 : std::hypot(n0, z1) - 1, s = 0;
  for (int i = 0; i < 2200; ++i) {
    s = (s0 + s1) / 2;
    if (s == s0 || s == s1) break;
    const double ratio0 = n0 / (s + r0), ratio1 = z1 / (s + 1);
    g = ratio0 * ratio0 + ratio1 * ratio1 - 1;
    if (g > 0)
      s0 = s;
    else if (g < 0)
      s1 = s;
    else
      break;
  }
  return s;
}

ccVector<2> eberlyQuadrant(double e0, double e1, double y0, double y1) {
  if (y1 > 0) {
    if (y0 > 0) {
      const double z0 = y0 / e0, z1 = y1 / e1, g = z0 * z0 + z1 * z1 - 1;
      if (g == 0) return ccVector<2>(y0, y1);
      const double r0 = (e0 / e1) * (e0 / e1);
      const double sbar = eberlyRoot(r0, z0, z1, g);
      return ccVector<2>(r0 * y0 / (sbar + r0), y1 / (sbar + 1));
    }
    return ccVector<2>(0, e1);
  }
  const double numer0 = e0 * y0, denom0 = e0 * e0 - e1 * e1;
  if (numer0 < denom0) {
    const double xde0 = numer0 / denom0;
    return ccVector<2>(e0 * xde0, e1 * std::sqrt(std::max(0.0, 1 - xde0 * xde0)));
  }
  return ccVector<2>(e0, 0);
}

// Parameters theta (point (r1 cos theta, r2 sin theta)) of the points of the axis-aligned
// ellipse nearest to y: one, or two where the nearest point is not unique by symmetry or
// the ellipse is a segment.
std::vector<double> nearestAxisParams(double r1, double r2, const ccVector<2>& y) {
  std::vector<double> out;
  if (r1 == 0) {
    out.push_back(0);
    return out;
  }
  const double ax = std::fabs(y.x()), ay = std::fabs(y.y());
  const double sx = y.x() < 0 ? -1 : 1, sy = y.y() < 0 ? -1 : 1;
  if (r2 == 0 || r2 < r1 * kFlatRatio) {
    // A segment along the major axis: the same point at theta and -theta.
    const double theta = std::acos(std::clamp(sx * std::min(ax, r1) / r1, -1.0, 1.0));
    out.push_back(theta);
    out.push_back(-theta);
    return out;
  }
  const ccVector<2> x = eberlyQuadrant(r1, r2, ax, ay);
  out.push_back(std::atan2(sy * x.y() * r1, sx * x.x() * r2));
  // On the major axis inside the ellipse the nearest points come in a mirrored pair.
  if (ay == 0 && x.y() != 0) out.push_back(std::atan2(-x.y() * r1, sx * x.x() * r2));
  return out;
}

}  // namespace

// ---- Contour kernels (contour_p.h)

namespace cc_detail {

Svd svd(const ccMatrix<2>& m) {
  const double a = m.element(0, 0), b = m.element(0, 1), c = m.element(1, 0), d = m.element(1, 1);
  const double e = (a + d) / 2, f = (a - d) / 2, g = (c + b) / 2, h = (c - b) / 2;
  const double q = std::hypot(e, h), r = std::hypot(f, g);
  double a1 = std::atan2(g, f), a2 = std::atan2(h, e);
  // A similarity leaves one angle undefined: put the whole turn into the rotation.
  if (r == 0) a1 = a2;
  if (q == 0) a2 = a1;
  Svd out;
  out.r1 = q + r;
  // The determinant without cancellation (Kahan), divided by the larger singular value.
  const double w = b * c;
  const double det = std::fma(a, d, -w) + std::fma(-b, c, w);
  const double sy = out.r1 > 0 ? det / out.r1 : 0;
  out.r2 = std::fabs(sy);
  out.reflected = sy < 0;
  out.rotation = (a2 + a1) / 2;
  out.phase = (a2 - a1) / 2;
  return out;
}

ccMatrix<2> ellipseMatrix(double rot, double rx, double ry, bool reflected, double phase) {
  const ccMatrix<2> r = rotationMatrix(rot);
  const double sy = reflected ? -ry : ry;
  ccMatrix<2> m(r.element(0, 0) * rx, r.element(0, 1) * sy, r.element(1, 0) * rx,
                r.element(1, 1) * sy);
  if (phase != 0) m = m * rotationMatrix(phase);
  return m;
}

bool isSimilarity(const ccMatrix<2>& m, double* s, double* angle, bool* reflects) {
  const double a = m.element(0, 0), b = m.element(0, 1), c = m.element(1, 0), d = m.element(1, 1);
  const double tol =
      ccMatrixFormTolerance * std::max({std::fabs(a), std::fabs(b), std::fabs(c), std::fabs(d)});
  bool refl;
  if (std::fabs(a - d) <= tol && std::fabs(b + c) <= tol)
    refl = false;
  else if (std::fabs(a + d) <= tol && std::fabs(b - c) <= tol)
    refl = true;
  else
    return false;
  *s = std::hypot(a, c);
  *angle = std::atan2(c, a);
  *reflects = refl;
  return true;
}

Piece Piece::segment(const ccVector<2>& a, const ccVector<2>& b) {
  Piece p;
  p.a = a;
  p.b = b;
  return p;
}

Piece Piece::arc(const ccVector<2>& c, const ccMatrix<2>& m, double t0, double span) {
  Piece p;
  p.isArc = true;
  p.c = c;
  p.m = m;
  p.t0 = t0;
  p.span = span;
  return p;
}

double Piece::turn() const {
  return std::fabs(span) >= kTwoPi ? std::copysign(kTwoPi, span) : span;
}

ccVector<2> arcPoint(const Piece& p, double t) {
  return p.c + p.m * ccVector<2>(std::cos(t), std::sin(t));
}

ccVector<2> Piece::start() const { return isArc ? arcPoint(*this, t0) : a; }

ccVector<2> Piece::end() const {
  if (!isArc) return b;
  if (std::fabs(span) >= kTwoPi) return start();
  return arcPoint(*this, t0 + span);
}

namespace {

// The arc-length function of an arc piece: position(t) from its start.
struct ArcFrame {
  explicit ArcFrame(const Piece& p) : piece(p), sv(svd(p.m)), g(sv.r1, sv.r2) {
    sign = p.span < 0 ? -1 : 1;
    turn = std::fabs(p.turn());
    g0 = g(p.t0 + sv.phase);
  }
  double speed(double t) const {
    const double th = t + sv.phase;
    return std::hypot(sv.r1 * std::sin(th), sv.r2 * std::cos(th));
  }
  // Arc length from the start to parameter t0 + sign * tau.
  double at(double tau) const {
    if (tau >= kTwoPi) return 4 * g.quarter();
    return sign * (g(piece.t0 + sign * tau + sv.phase) - g0);
  }
  double length() const { return at(turn); }

  const Piece& piece;
  Svd sv;
  ArcLength g;
  double sign;
  double turn;
  double g0;
};

}  // namespace

double Piece::length() const {
  if (!isArc) return (b - a).length();
  return ArcFrame(*this).length();
}

double paramAt(const Piece& p, double s) {
  if (!p.isArc) {
    const double len = p.length();
    return len > 0 ? std::clamp(s / len, 0.0, 1.0) : 0;
  }
  const ArcFrame f(p);
  const double total = f.length();
  if (total <= 0 || s <= 0) return p.t0;
  if (s >= total) return p.t0 + f.sign * f.turn;
  // Safeguarded Newton on position(tau) = s over the bracket [lo, hi].
  double lo = 0, hi = f.turn, tau = f.turn * (s / total);
  for (int i = 0; i < 200; ++i) {
    const double err = f.at(tau) - s;
    if (err == 0) break;
    if (err < 0)
      lo = tau;
    else
      hi = tau;
    const double v = f.speed(p.t0 + f.sign * tau);
    double next = v > 0 ? tau - err / v : lo + (hi - lo) / 2;
    if (!(next > lo && next < hi)) next = lo + (hi - lo) / 2;
    if (std::fabs(next - tau) <= 4 * DBL_EPSILON * std::max(1.0, std::fabs(tau))) {
      tau = next;
      break;
    }
    tau = next;
  }
  return p.t0 + f.sign * tau;
}

bool onArc(const Piece& p, double t, double* tau) {
  const double turn = std::fabs(p.turn());
  const double d = cc_detail::norm(p.span < 0 ? p.t0 - t : t - p.t0, kTwoPi);
  *tau = d;
  return turn >= kTwoPi || d <= turn;
}

namespace {

struct ArcNearest {
  ccVector<2> point;
  double distSq;
  double tau;
};

ArcNearest nearestOnArc(const Piece& p, const ccVector<2>& q) {
  const double turn = std::fabs(p.turn());
  const double sign = p.span < 0 ? -1 : 1;
  const Svd sv = svd(p.m);
  ArcNearest best{p.start(), (p.start() - q).lengthSq(), 0};
  auto consider = [&](double tau) {
    const ccVector<2> pt = tau >= kTwoPi ? p.start() : arcPoint(p, p.t0 + sign * tau);
    const double d = (pt - q).lengthSq();
    if (d < best.distSq) best = ArcNearest{pt, d, tau};
  };
  if (sv.r1 == 0) return best;
  // The global nearest points of the whole ellipse, in the axis frame of the SVD.
  const ccVector<2> y = rotationMatrix(-sv.rotation) * (q - p.c);
  const double refl = sv.reflected ? -1 : 1;
  for (double theta : nearestAxisParams(sv.r1, sv.r2, y)) {
    double tau;
    if (onArc(p, refl * theta - sv.phase, &tau)) consider(std::min(tau, turn));
  }
  if (turn >= kTwoPi) return best;
  consider(turn);
  // Other local minima inside the arc: sign changes of the derivative of the squared
  // distance along the arc, refined by bisection.
  auto slope = [&](double tau) {
    const double t = p.t0 + sign * tau;
    const ccVector<2> d = arcPoint(p, t) - q;
    return sign * d.dot(p.m * ccVector<2>(-std::sin(t), std::cos(t)));
  };
  const int n = std::max(16, static_cast<int>(std::ceil(turn / kTwoPi * 64)));
  double prevTau = 0, prev = slope(0);
  for (int i = 1; i <= n; ++i) {
    const double tau = turn * i / n;
    const double cur = slope(tau);
    if (prev < 0 && cur >= 0) {
      double lo = prevTau, hi = tau;
      for (int k = 0; k < 200; ++k) {
        const double mid = lo + (hi - lo) / 2;
        if (mid <= lo || mid >= hi) break;
        if (slope(mid) < 0)
          lo = mid;
        else
          hi = mid;
      }
      consider(lo);
      consider(hi);
    }
    prevTau = tau;
    prev = cur;
  }
  return best;
}

}  // namespace

ccRect boundingBox(const std::vector<Piece>& pieces) {
  if (pieces.empty()) throw ccShapesError::EmptyShape();
  double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
  auto add = [&](const ccVector<2>& v) {
    x0 = std::min(x0, v.x());
    x1 = std::max(x1, v.x());
    y0 = std::min(y0, v.y());
    y1 = std::max(y1, v.y());
  };
  for (const Piece& p : pieces) {
    add(p.start());
    add(p.end());
    if (!p.isArc) continue;
    // The extremes of x = c.x + m11 cos t + m12 sin t (and of y) the arc passes.
    const double a = p.m.element(0, 0), b = p.m.element(0, 1), c = p.m.element(1, 0),
                 d = p.m.element(1, 1);
    const double hx = std::hypot(a, b), hy = std::hypot(c, d);
    const double tx = std::atan2(b, a), ty = std::atan2(d, c);
    double tau;
    if (onArc(p, tx, &tau)) x1 = std::max(x1, p.c.x() + hx);
    if (onArc(p, tx + ccPi, &tau)) x0 = std::min(x0, p.c.x() - hx);
    if (onArc(p, ty, &tau)) y1 = std::max(y1, p.c.y() + hy);
    if (onArc(p, ty + ccPi, &tau)) y0 = std::min(y0, p.c.y() - hy);
  }
  return ccRect::fromCorners(ccVector<2>(x0, y0), ccVector<2>(x1, y1));
}

double length(const std::vector<Piece>& pieces) {
  double sum = 0;
  for (const Piece& p : pieces) sum += p.length();
  return sum;
}

Nearest nearest(const std::vector<Piece>& pieces, const ccVector<2>& q) {
  if (pieces.empty()) throw ccShapesError::EmptyShape();
  Nearest best;
  best.distSq = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const Piece& p = pieces[i];
    Nearest n;
    n.piece = i;
    if (p.isArc) {
      const ArcNearest a = nearestOnArc(p, q);
      n.point = a.point;
      n.distSq = a.distSq;
      n.pos = ArcFrame(p).at(a.tau);
    } else {
      const ccVector<2> ab = p.b - p.a;
      const double len2 = ab.lengthSq();
      const double t = len2 > 0 ? std::clamp((q - p.a).dot(ab) / len2, 0.0, 1.0) : 0;
      n.point = t == 1 ? p.b : p.a + ab * t;
      n.distSq = (n.point - q).lengthSq();
      n.pos = t * std::sqrt(len2);
    }
    if (n.distSq < best.distSq) best = n;
  }
  return best;
}

double position(const std::vector<Piece>& pieces, const Nearest& n) {
  double sum = 0;
  for (std::size_t i = 0; i < n.piece && i < pieces.size(); ++i) sum += pieces[i].length();
  return sum + n.pos;
}

namespace {

// The point at arc-length position s along the whole contour.
ccVector<2> pointAt(const std::vector<Piece>& pieces, const std::vector<double>& lengths,
                    double s) {
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (s <= lengths[i] || i + 1 == pieces.size()) {
      const Piece& p = pieces[i];
      const double t = paramAt(p, std::min(s, lengths[i]));
      return p.isArc ? arcPoint(p, t) : p.a + (p.b - p.a) * t;
    }
    s -= lengths[i];
  }
  return pieces.front().start();
}

// Number of steps a piece is cut into.
long stepsFor(const Piece& p, double len, const ccShape::ccSampleParams& sp, double tol) {
  constexpr double kMaxSteps = 1e15;
  double n = 1;
  if (!p.isArc) {
    if (sp.spacing > 0) n = std::ceil(len / sp.spacing);
  } else {
    const Svd sv = svd(p.m);
    const double turn = std::fabs(p.turn());
    if (sv.r1 == 0 || turn == 0) return 1;
    n = std::ceil(turn / (ccPi / 2));
    if (sp.uniform) {
      // Equal arc lengths ell: the chord of a curve of curvature <= k = r1 / r2^2 over ell
      // strays at most k ell^2 / 8 from it; a segment folds back at its tips.
      double ell = sp.spacing;
      if (tol > 0) ell = std::min(ell, sv.r2 > 0 ? sv.r2 * std::sqrt(8 * tol / sv.r1) : 2 * tol);
      if (ell > 0) n = std::max(n, std::ceil(len / ell));
    } else {
      // Equal parameter steps d: the image of a unit-circle chord strays at most
      // r1 (1 - cos(d / 2)) from the arc, and a step is at most r1 d long.
      if (tol > 0) {
        const double d = 2 * std::acos(std::max(0.0, 1 - tol / sv.r1));
        if (d > 0) n = std::max(n, std::ceil(turn / d));
      }
      if (sp.spacing > 0) n = std::max(n, std::ceil(turn * sv.r1 / sp.spacing));
    }
  }
  return static_cast<long>(std::clamp(n, 1.0, kMaxSteps));
}

}  // namespace

void sample(const std::vector<Piece>& pieces, bool closed, const ccShape::ccSampleParams& sp,
            ccShape::ccSampleResult& result) {
  if (!std::isfinite(sp.spacing) || !std::isfinite(sp.tolerance) || sp.spacing < 0 ||
      sp.tolerance < 0)
    throw ccShapesError::BadParams("sampling limits must be finite and not negative");
  if (sp.uniform && sp.spacing <= 0)
    throw ccShapesError::BadParams("uniform sampling needs a spacing");
  if (sp.maxPoints < 2) throw ccShapesError::BadParams("maxPoints must be at least 2");
  result.clear();
  if (pieces.empty()) return;

  double tol = sp.tolerance;
  if (tol == 0 && sp.spacing == 0) {
    const ccRect box = boundingBox(pieces);
    tol = 1e-3 * std::hypot(box.width(), box.height());
  }
  std::vector<double> lengths;
  std::vector<long> steps;
  double total = 0, needed = closed ? 0 : 1;
  for (const Piece& p : pieces) {
    lengths.push_back(p.length());
    total += lengths.back();
    steps.push_back(stepsFor(p, lengths.back(), sp, tol));
    needed += static_cast<double>(steps.back());
  }
  const bool dup = sp.duplicateCorners && pieces.size() > 1;
  if (dup) needed += closed ? static_cast<double>(pieces.size()) : pieces.size() - 1.0;

  auto& out = result.positions();
  if (needed > static_cast<double>(sp.maxPoints)) {
    // Too many: exactly maxPoints points equally spaced along the whole contour.
    const long n = sp.maxPoints;
    out.reserve(n);
    for (long i = 0; i < n; ++i) {
      const double s = closed ? total * i / n : total * i / (n - 1);
      out.push_back(i == 0 ? pieces.front().start() : pointAt(pieces, lengths, s));
    }
    if (!closed) out.back() = pieces.back().end();
    return;
  }
  out.reserve(static_cast<std::size_t>(needed));
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    const Piece& p = pieces[k];
    const long n = steps[k];
    const bool last = k + 1 == pieces.size();
    // Each piece gives its start and inner points; its end where it is a corner to repeat or
    // the end of an open contour.
    const bool withEnd = dup || (last && !closed);
    for (long i = 0; i <= n; ++i) {
      if (i == n && !withEnd) break;
      if (i == 0) {
        out.push_back(p.start());
      } else if (i == n) {
        out.push_back(p.end());
      } else if (sp.uniform) {
        const double t = paramAt(p, lengths[k] * i / n);
        out.push_back(p.isArc ? arcPoint(p, t) : p.a + (p.b - p.a) * t);
      } else if (p.isArc) {
        out.push_back(arcPoint(p, p.t0 + p.turn() * i / n));
      } else {
        out.push_back(p.a + (p.b - p.a) * (static_cast<double>(i) / n));
      }
    }
  }
}

}  // namespace cc_detail

using cc_detail::Piece;

namespace {

// The contour of a full ellipse with unit map (c, m), starting at parameter 0.
std::vector<Piece> fullEllipse(const ccVector<2>& c, const ccMatrix<2>& m) {
  return {Piece::arc(c, m, 0, kTwoPi)};
}

// Validates and converts contour positions for subShape.
void checkPositions(double startPos, double endPos, double total, bool allowEqual) {
  const double slack = ccRoundingTolerance * std::max(1.0, total);
  if (!std::isfinite(startPos) || !std::isfinite(endPos) || startPos < -slack ||
      endPos > total + slack || endPos < startPos || (!allowEqual && endPos == startPos))
    throw ccShapesError::BadParams("sub-shape positions outside the contour");
}

// Turn of the tangent along an arc of a non-degenerate mapped circle: the direction of
// m u'(t) turns monotonically, by the sign of det m, and by exactly pi over half a turn.
ccRadian arcTangentTurn(const ccMatrix<2>& m, double t0, double span) {
  const double det = m.determinant();
  const double s = std::fabs(span);
  const double sign = span < 0 ? -1 : 1;
  const double dirSign = det < 0 ? -sign : sign;
  if (s >= kTwoPi) return ccRadian(dirSign * kTwoPi);
  const ccVector<2> d0 = m * ccVector<2>(-std::sin(t0), std::cos(t0));
  const ccVector<2> d1 = m * ccVector<2>(-std::sin(t0 + span), std::cos(t0 + span));
  const double a = std::atan2(d1.y(), d1.x()) - std::atan2(d0.y(), d0.x());
  double turn = cc_detail::norm(dirSign * a, kTwoPi);
  // Rounding can wrap a turn near 0 or 2pi to the other end.
  if (s > ccPi && turn < ccPi) turn += kTwoPi;
  if (s < ccPi && turn > ccPi) turn -= kTwoPi;
  return ccRadian(dirSign * turn);
}

// A region bounded by the full ellipse `outer` with a hole bounded by `inner`.
ccShapePtrh ringTree(const ccEllipse& outer, const ccEllipse& inner) {
  auto contour = [](const ccEllipse& e) {
    return ccContourTree({ccShapePtrh(new ccEllipseArc(e, ccRadian(0), ccRadian(0)))}, true);
  };
  ccPtrHandle<ccRegionTree> tree(new ccRegionTree(contour(outer)));
  tree->add(ccShapePtrh(new ccRegionTree(contour(inner), true)));
  return tree;
}

void serializeGeom(ccArchive& ar, ccEllipse::ccEllipseGeom& g) {
  ar || g.center || g.radii || g.rotation || g.reflected;
}

}  // namespace

// ---- ccCircle

ccCircle::ccCircle(const ccVector<2>& center, double radius) {
  requireFinite(center);
  requireRadius(radius);
  center_ = center;
  radius_ = radius;
}

void ccCircle::center(const ccVector<2>& c) {
  requireFinite(c);
  mutating();
  center_ = c;
}

void ccCircle::radius(double r) {
  requireRadius(r);
  mutating();
  radius_ = r;
}

ccEllipse ccCircle::ellipse() const { return ccEllipse(center_, ccVector<2>(radius_, radius_)); }

ccEllipse2 ccCircle::map(const ccXform<2>& x) const {
  return ccEllipse2(ccVector<2>(radius_, radius_), ccRadian(0), center_).map(x);
}

ccShapePtrh ccCircle::mapShape(const ccXform<2>& x) const {
  double s, angle;
  bool refl;
  if (cc_detail::isSimilarity(x.matrix(), &s, &angle, &refl))
    return ccShapePtrh(new ccCircle(x * center_, radius_ * s));
  return ccShapePtrh(new ccEllipse2(map(x)));
}

ccRect ccCircle::boundingBox() const {
  const ccVector<2> r(radius_, radius_);
  return ccRect::fromCorners(center_ - r, center_ + r);
}

ccVector<2> ccCircle::nearestPoint(const ccVector<2>& p) const {
  const ccVector<2> d = p - center_;
  const double len = d.length();
  if (len == 0) return center_ + ccVector<2>(radius_, 0);
  return center_ + d * (radius_ / len);
}

double ccCircle::distanceToPoint(const ccVector<2>& p) const {
  return std::fabs((p - center_).length() - radius_);
}

bool ccCircle::within(const ccVector<2>& p) const { return (p - center_).length() <= radius_; }

ccShapePtrh ccCircle::reverse() const {
  return ccShapePtrh(new ccEllipse(center_, ccVector<2>(radius_, radius_), ccRadian(0), true));
}

void ccCircle::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(fullEllipse(center_, ccMatrix<2>(radius_, 0, 0, radius_)), true, params,
                    result);
}

double ccCircle::perimeter() const { return kTwoPi * radius_; }

double ccCircle::nearestPerimPos(const ccVector<2>& p) const {
  const ccVector<2> d = p - center_;
  if (d.lengthSq() == 0) return 0;
  return radius_ * cc_detail::norm(std::atan2(d.y(), d.x()), kTwoPi);
}

ccShapePtrh ccCircle::subShape(double startPos, double endPos) const {
  return ellipse().subShape(startPos, endPos);
}

bool ccCircle::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccCircle*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccCircle::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccCircle::serialize_(ar, version);
  setVisited(ar);
}

void ccCircle::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccVector<2> c = center_;
  double r = radius_;
  ar || c || r;
  if (ar.isLoading()) {
    const ccCircle checked(c, r);
    mutating();
    center_ = checked.center_;
    radius_ = checked.radius_;
  }
}

// ---- ccAnnulus

ccAnnulus::ccAnnulus(const ccVector<2>& center, double innerRadius, double outerRadius) {
  requireFinite(center);
  requireRadius(innerRadius);
  requireRadius(outerRadius);
  if (innerRadius > outerRadius)
    throw ccShapesError::BadRadius("inner radius larger than outer radius");
  center_ = center;
  inner_ = innerRadius;
  outer_ = outerRadius;
}

void ccAnnulus::center(const ccVector<2>& c) {
  requireFinite(c);
  mutating();
  center_ = c;
}

void ccAnnulus::radii(double innerRadius, double outerRadius) {
  const ccAnnulus checked(center_, innerRadius, outerRadius);
  mutating();
  inner_ = checked.inner_;
  outer_ = checked.outer_;
}

ccGenAnnulus ccAnnulus::map(const ccXform<2>& x) const {
  const ccVector<2> c = x * center_;
  const ccVector<2> full(1, 1);
  return ccGenAnnulus(ccGenRect(c, x.matrix() * inner_, full),
                      ccGenRect(c, x.matrix() * outer_, full));
}

ccShapePtrh ccAnnulus::mapShape(const ccXform<2>& x) const {
  double s, angle;
  bool refl;
  if (cc_detail::isSimilarity(x.matrix(), &s, &angle, &refl))
    return ccShapePtrh(new ccAnnulus(x * center_, inner_ * s, outer_ * s));
  return ccShapePtrh(new ccGenAnnulus(map(x)));
}

ccRect ccAnnulus::boundingBox() const { return outerCircle().boundingBox(); }

ccVector<2> ccAnnulus::nearestPoint(const ccVector<2>& p) const {
  const ccVector<2> o = outerCircle().nearestPoint(p), i = innerCircle().nearestPoint(p);
  return (i - p).lengthSq() < (o - p).lengthSq() ? i : o;
}

double ccAnnulus::distanceToPoint(const ccVector<2>& p) const {
  const double d = (p - center_).length();
  return std::min(std::fabs(d - outer_), std::fabs(d - inner_));
}

bool ccAnnulus::within(const ccVector<2>& p) const {
  const double d = (p - center_).length();
  return d >= inner_ && d <= outer_;
}

void ccAnnulus::sample(const ccSampleParams& params, ccSampleResult& result) const {
  ccSampleResult in;
  outerCircle().sample(params, result);
  innerCircle().sample(params, in);
  result.positions().insert(result.positions().end(), in.positions().begin(), in.positions().end());
}

ccShapePtrh ccAnnulus::decompose() const {
  return ringTree(outerCircle().ellipse(), innerCircle().ellipse());
}

double ccAnnulus::perimeter() const { return kTwoPi * (inner_ + outer_); }

bool ccAnnulus::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccAnnulus*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccAnnulus::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccAnnulus::serialize_(ar, version);
  setVisited(ar);
}

void ccAnnulus::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccVector<2> c = center_;
  double ri = inner_, ro = outer_;
  ar || c || ri || ro;
  if (ar.isLoading()) {
    const ccAnnulus checked(c, ri, ro);
    mutating();
    center_ = checked.center_;
    inner_ = checked.inner_;
    outer_ = checked.outer_;
  }
}

// ---- ccEllipse

ccEllipse::ccEllipseGeom ccEllipse::validated(const ccEllipseGeom& g) {
  requireFinite(g.center);
  requireRadius(g.radii.x());
  requireRadius(g.radii.y());
  requireFinite(g.rotation.toDouble());
  ccEllipseGeom out = g;
  out.circle = g.radii.x() == g.radii.y();
  return out;
}

ccEllipse::ccEllipse(const ccEllipseGeom& geom) : geom_(validated(geom)) {}

ccEllipse::ccEllipse(const ccVector<2>& center, const ccVector<2>& radii, const ccRadian& rotation,
                     bool reflected) {
  ccEllipseGeom g;
  g.center = center;
  g.radii = radii;
  g.rotation = rotation;
  g.reflected = reflected;
  geom_ = validated(g);
}

void ccEllipse::geom(const ccEllipseGeom& g) {
  const ccEllipseGeom checked = validated(g);
  mutating();
  geom_ = checked;
}

void ccEllipse::center(const ccVector<2>& c) {
  ccEllipseGeom g = geom_;
  g.center = c;
  geom(g);
}

void ccEllipse::radii(const ccVector<2>& r) {
  ccEllipseGeom g = geom_;
  g.radii = r;
  geom(g);
}

void ccEllipse::rotation(const ccRadian& r) {
  ccEllipseGeom g = geom_;
  g.rotation = r;
  geom(g);
}

void ccEllipse::reflected(bool r) {
  ccEllipseGeom g = geom_;
  g.reflected = r;
  geom(g);
}

ccXform<2> ccEllipse::unit() const {
  return ccXform<2>(cc_detail::ellipseMatrix(geom_.rotation.toDouble(), geom_.radii.x(),
                                             geom_.radii.y(), geom_.reflected, 0),
                    geom_.center);
}

ccVector<2> ccEllipse::point(const ccRadian& phi) const {
  return unit() * ccVector<2>(cos(phi), sin(phi));
}

bool ccEllipse::hasTangent() const { return geom_.radii.x() > 0 || geom_.radii.y() > 0; }

ccEllipse ccEllipse::mapWithShift(const ccXform<2>& x, double* shift) const {
  const ccVector<2> c = x * geom_.center;
  double s, angle;
  bool refl;
  *shift = 0;
  if (cc_detail::isSimilarity(x.matrix(), &s, &angle, &refl)) {
    // s R(a) F R(rot) = s R(a - rot) F: the rotation turns the other way.
    const double rot = refl ? angle - geom_.rotation.toDouble() : angle + geom_.rotation.toDouble();
    return ccEllipse(c, geom_.radii * s, ccRadian(rot), geom_.reflected != refl);
  }
  const cc_detail::Svd sv = cc_detail::svd(x.matrix() * unit().matrix());
  *shift = sv.phase;
  return ccEllipse(c, ccVector<2>(sv.r1, sv.r2), ccRadian(sv.rotation), sv.reflected);
}

ccEllipse ccEllipse::map(const ccXform<2>& x) const {
  double shift;
  return mapWithShift(x, &shift);
}

ccShapePtrh ccEllipse::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccEllipse(map(x)));
}

ccRect ccEllipse::boundingBox() const {
  return cc_detail::boundingBox(fullEllipse(center(), unit().matrix()));
}

ccVector<2> ccEllipse::nearestPoint(const ccVector<2>& p) const {
  return cc_detail::nearest(fullEllipse(center(), unit().matrix()), p).point;
}

double ccEllipse::distanceToPoint(const ccVector<2>& p) const {
  return std::sqrt(cc_detail::nearest(fullEllipse(center(), unit().matrix()), p).distSq);
}

bool ccEllipse::within(const ccVector<2>& p) const {
  // In the axis frame: (x / rx)^2 + (y / ry)^2 <= 1, multiplied out (exact for zero radii).
  const ccVector<2> q = rotationMatrix(-geom_.rotation.toDouble()) * (p - geom_.center);
  const double rx = geom_.radii.x(), ry = geom_.radii.y();
  const double a = q.x() * ry, b = q.y() * rx, r = rx * ry;
  return a * a + b * b <= r * r;
}

ccShapePtrh ccEllipse::reverse() const {
  return ccShapePtrh(new ccEllipse(geom_.center, geom_.radii, geom_.rotation, !geom_.reflected));
}

void ccEllipse::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(fullEllipse(center(), unit().matrix()), true, params, result);
}

double ccEllipse::perimeter() const { return fullEllipse(center(), unit().matrix())[0].length(); }

double ccEllipse::nearestPerimPos(const ccVector<2>& p) const {
  const auto pieces = fullEllipse(center(), unit().matrix());
  return cc_detail::position(pieces, cc_detail::nearest(pieces, p));
}

ccShapePtrh ccEllipse::subShape(double startPos, double endPos) const {
  const auto pieces = fullEllipse(center(), unit().matrix());
  checkPositions(startPos, endPos, pieces[0].length(), false);
  return ccShapePtrh(new ccEllipseArc(*this, ccRadian(cc_detail::paramAt(pieces[0], startPos)),
                                      ccRadian(cc_detail::paramAt(pieces[0], endPos))));
}

bool ccEllipse::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccEllipse*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccEllipse::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccEllipse::serialize_(ar, version);
  setVisited(ar);
}

void ccEllipse::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccEllipseGeom g = geom_;
  serializeGeom(ar, g);
  if (ar.isLoading()) geom(g);
}

// ---- ccEllipseArc

ccEllipseArc::ccEllipseArc(const ccEllipse& ellipse, const ccRadian& phi1, const ccRadian& phi2)
    : ellipse_(ellipse) {
  requireFinite(phi1.toDouble());
  requireFinite(phi2.toDouble());
  phi1_ = phi1;
  phi2_ = phi2;
}

ccRadian ccEllipseArc::angleSpan() const {
  const double s = cc_detail::norm((phi2_ - phi1_).toDouble(), kTwoPi);
  return ccRadian(s == 0 ? kTwoPi : s);
}

bool ccEllipseArc::isFull() const {
  return cc_detail::norm((phi2_ - phi1_).toDouble(), kTwoPi) == 0;
}

void ccEllipseArc::ellipse(const ccEllipse& e) {
  mutating();
  ellipse_ = e;
}

void ccEllipseArc::angles(const ccRadian& phi1, const ccRadian& phi2) {
  const ccEllipseArc checked(ellipse_, phi1, phi2);
  mutating();
  phi1_ = phi1;
  phi2_ = phi2;
}

namespace {
std::vector<Piece> arcPieces(const ccEllipseArc& a) {
  return {Piece::arc(a.ellipse().center(), a.ellipse().unit().matrix(), a.phi1().toDouble(),
                     a.angleSpan().toDouble())};
}
}  // namespace

ccEllipseArc ccEllipseArc::map(const ccXform<2>& x) const {
  double shift;
  const ccEllipse e = ellipse_.mapWithShift(x, &shift);
  return ccEllipseArc(e, phi1_ + ccRadian(shift), phi2_ + ccRadian(shift));
}

ccShapePtrh ccEllipseArc::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccEllipseArc(map(x)));
}

ccRect ccEllipseArc::boundingBox() const { return cc_detail::boundingBox(arcPieces(*this)); }

ccVector<2> ccEllipseArc::nearestPoint(const ccVector<2>& p) const {
  return cc_detail::nearest(arcPieces(*this), p).point;
}

double ccEllipseArc::distanceToPoint(const ccVector<2>& p) const {
  return std::sqrt(cc_detail::nearest(arcPieces(*this), p).distSq);
}

ccVector<2> ccEllipseArc::startPoint() const { return ellipse_.point(phi1_); }
ccVector<2> ccEllipseArc::endPoint() const { return ellipse_.point(phi2_); }

ccRadian ccEllipseArc::startAngle() const {
  return direction(ellipse_.unit().mapVector(ccVector<2>(-sin(phi1_), cos(phi1_))));
}

ccRadian ccEllipseArc::endAngle() const {
  return direction(ellipse_.unit().mapVector(ccVector<2>(-sin(phi2_), cos(phi2_))));
}

ccRadian ccEllipseArc::tangentRotation() const {
  const ccMatrix<2> m = ellipse_.unit().matrix();
  if (ellipse_.isDegenerate()) return ccShape::tangentRotation();
  return arcTangentTurn(m, phi1_.toDouble(), angleSpan().toDouble());
}

ccShapePtrh ccEllipseArc::reverse() const {
  const ccEllipse& e = ellipse_;
  return ccShapePtrh(new ccEllipseArc(
      ccEllipse(e.center(), e.radii(), e.rotation(), !e.reflected()), -phi2_, -phi1_));
}

void ccEllipseArc::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(arcPieces(*this), false, params, result);
}

double ccEllipseArc::perimeter() const { return arcPieces(*this)[0].length(); }

double ccEllipseArc::nearestPerimPos(const ccVector<2>& p) const {
  const auto pieces = arcPieces(*this);
  return cc_detail::position(pieces, cc_detail::nearest(pieces, p));
}

ccShapePtrh ccEllipseArc::subShape(double startPos, double endPos) const {
  const auto pieces = arcPieces(*this);
  checkPositions(startPos, endPos, pieces[0].length(), false);
  return ccShapePtrh(new ccEllipseArc(ellipse_, ccRadian(cc_detail::paramAt(pieces[0], startPos)),
                                      ccRadian(cc_detail::paramAt(pieces[0], endPos))));
}

bool ccEllipseArc::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccEllipseArc*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccEllipseArc::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccEllipseArc::serialize_(ar, version);
  setVisited(ar);
}

void ccEllipseArc::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  ccEllipse::ccEllipseGeom g = ellipse_.geom();
  ccRadian p1 = phi1_, p2 = phi2_;
  serializeGeom(ar, g);
  ar || p1 || p2;
  if (ar.isLoading()) {
    const ccEllipseArc checked(ccEllipse(g), p1, p2);
    mutating();
    ellipse_ = checked.ellipse_;
    phi1_ = p1;
    phi2_ = p2;
  }
}

// ---- ccEllipse2

ccEllipse2::ccEllipse2(const ccVector<2>& radii, const ccRadian& rotation,
                       const ccVector<2>& center, bool reflected, const ccRadian& phase) {
  requireFinite(center);
  requireRadius(radii.x());
  requireRadius(radii.y());
  requireFinite(rotation.toDouble());
  requireFinite(phase.toDouble());
  radii_ = radii;
  rotation_ = rotation;
  center_ = center;
  reflected_ = reflected;
  phase_ = phase;
}

ccEllipse2::ccEllipse2(const ccVector<2>& radii, const ccRadian& rotation, const ccRadian& skew,
                       const ccVector<2>& center)
    : ccEllipse2(radii, rotation, center) {
  requireFinite(skew.toDouble());
  if (skew.toDouble() == 0) return;
  *this = ccEllipse2(ccXform<2>(center, rotation, rotation + skew, radii.x(), radii.y()));
}

ccEllipse2::ccEllipse2(const ccXform<2>& x) {
  if (!finite(x.matrix()) || !finite(x.trans()))
    throw ccShapesError::BadGeom("non-finite transform");
  const cc_detail::Svd sv = cc_detail::svd(x.matrix());
  radii_ = ccVector<2>(sv.r1, sv.r2);
  rotation_ = ccRadian(sv.rotation);
  center_ = x.trans();
  reflected_ = sv.reflected;
  phase_ = ccRadian(sv.phase);
}

ccXform<2> ccEllipse2::ellFromUnitCirc() const {
  return ccXform<2>(cc_detail::ellipseMatrix(rotation_.toDouble(), radii_.x(), radii_.y(),
                                             reflected_, phase_.toDouble()),
                    center_);
}

ccVector<2> ccEllipse2::point(const ccRadian& phi) const {
  return ellFromUnitCirc() * ccVector<2>(cos(phi), sin(phi));
}

ccEllipse ccEllipse2::ellipse() const { return ccEllipse(center_, radii_, rotation_); }

void ccEllipse2::center(const ccVector<2>& c) {
  requireFinite(c);
  mutating();
  center_ = c;
}

bool ccEllipse2::hasTangent() const { return radii_.x() > 0 || radii_.y() > 0; }

ccEllipse2 ccEllipse2::map(const ccXform<2>& x) const {
  const ccVector<2> c = x * center_;
  double s, angle;
  bool refl;
  if (cc_detail::isSimilarity(x.matrix(), &s, &angle, &refl)) {
    const double rot = refl ? angle - rotation_.toDouble() : angle + rotation_.toDouble();
    return ccEllipse2(radii_ * s, ccRadian(rot), c, reflected_ != refl, phase_);
  }
  return ccEllipse2(ccXform<2>(x.matrix() * ellFromUnitCirc().matrix(), c));
}

ccShapePtrh ccEllipse2::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccEllipse2(map(x)));
}

namespace {
std::vector<Piece> pieces2(const ccEllipse2& e) {
  return fullEllipse(e.center(), e.ellFromUnitCirc().matrix());
}
}  // namespace

ccRect ccEllipse2::boundingBox() const { return cc_detail::boundingBox(pieces2(*this)); }

ccVector<2> ccEllipse2::nearestPoint(const ccVector<2>& p) const {
  return cc_detail::nearest(pieces2(*this), p).point;
}

double ccEllipse2::distanceToPoint(const ccVector<2>& p) const {
  return std::sqrt(cc_detail::nearest(pieces2(*this), p).distSq);
}

bool ccEllipse2::within(const ccVector<2>& p) const { return ellipse().within(p); }

ccShapePtrh ccEllipse2::reverse() const {
  return ccShapePtrh(new ccEllipse2(radii_, rotation_, center_, !reflected_, -phase_));
}

void ccEllipse2::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(pieces2(*this), true, params, result);
}

double ccEllipse2::perimeter() const { return pieces2(*this)[0].length(); }

double ccEllipse2::nearestPerimPos(const ccVector<2>& p) const {
  const auto pieces = pieces2(*this);
  return cc_detail::position(pieces, cc_detail::nearest(pieces, p));
}

ccShapePtrh ccEllipse2::subShape(double startPos, double endPos) const {
  const auto pieces = pieces2(*this);
  checkPositions(startPos, endPos, pieces[0].length(), true);
  const double t0 = cc_detail::paramAt(pieces[0], startPos);
  const double t1 = cc_detail::paramAt(pieces[0], endPos);
  return ccShapePtrh(new ccEllipseArc2(*this, ccRadian(t0), ccRadian(t1 - t0)));
}

bool ccEllipse2::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccEllipse2*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccEllipse2::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccEllipse2::serialize_(ar, version);
  setVisited(ar);
}

namespace {
// The fields of a ccEllipse2: centre, radii, rotation, reflected, phase.
ccEllipse2 serializeEllipse2(ccArchive& ar, const ccEllipse2& e) {
  ccVector<2> c = e.center(), r = e.radii();
  ccRadian rot = e.rotation(), ph = e.phase();
  bool refl = e.reflected();
  ar || c || r || rot || refl || ph;
  return ar.isLoading() ? ccEllipse2(r, rot, c, refl, ph) : e;
}
}  // namespace

void ccEllipse2::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  const ccEllipse2 loaded = serializeEllipse2(ar, *this);
  if (ar.isLoading()) {
    mutating();
    radii_ = loaded.radii_;
    rotation_ = loaded.rotation_;
    center_ = loaded.center_;
    reflected_ = loaded.reflected_;
    phase_ = loaded.phase_;
  }
}

// ---- ccEllipseArc2

ccEllipseArc2::ccEllipseArc2(const ccEllipse2& ellipse, const ccRadian& phiStart,
                             const ccRadian& phiSpan)
    : ellipse_(ellipse) {
  requireFinite(phiStart.toDouble());
  requireFinite(phiSpan.toDouble());
  phiStart_ = phiStart;
  phiSpan_ = phiSpan;
}

bool ccEllipseArc2::isFull() const { return std::fabs(phiSpan_.toDouble()) >= kTwoPi; }

void ccEllipseArc2::ellipse(const ccEllipse2& e) {
  mutating();
  ellipse_ = e;
}

void ccEllipseArc2::angles(const ccRadian& phiStart, const ccRadian& phiSpan) {
  const ccEllipseArc2 checked(ellipse_, phiStart, phiSpan);
  mutating();
  phiStart_ = phiStart;
  phiSpan_ = phiSpan;
}

namespace {
std::vector<Piece> arc2Pieces(const ccEllipseArc2& a) {
  return {Piece::arc(a.ellipse().center(), a.ellipse().ellFromUnitCirc().matrix(),
                     a.phiStart().toDouble(), a.phiSpan().toDouble())};
}
}  // namespace

ccEllipseArc2 ccEllipseArc2::map(const ccXform<2>& x) const {
  return ccEllipseArc2(ellipse_.map(x), phiStart_, phiSpan_);
}

ccShapePtrh ccEllipseArc2::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccEllipseArc2(map(x)));
}

ccRect ccEllipseArc2::boundingBox() const { return cc_detail::boundingBox(arc2Pieces(*this)); }

ccVector<2> ccEllipseArc2::nearestPoint(const ccVector<2>& p) const {
  return cc_detail::nearest(arc2Pieces(*this), p).point;
}

double ccEllipseArc2::distanceToPoint(const ccVector<2>& p) const {
  return std::sqrt(cc_detail::nearest(arc2Pieces(*this), p).distSq);
}

ccVector<2> ccEllipseArc2::startPoint() const { return arc2Pieces(*this)[0].start(); }
ccVector<2> ccEllipseArc2::endPoint() const { return arc2Pieces(*this)[0].end(); }

ccRadian ccEllipseArc2::startAngle() const {
  const double sign = phiSpan_.toDouble() < 0 ? -1 : 1;
  return direction(
      ellipse_.ellFromUnitCirc().mapVector(ccVector<2>(-sin(phiStart_), cos(phiStart_)) * sign));
}

ccRadian ccEllipseArc2::endAngle() const {
  const double sign = phiSpan_.toDouble() < 0 ? -1 : 1;
  const double t = phiStart_.toDouble() + arc2Pieces(*this)[0].turn();
  return direction(
      ellipse_.ellFromUnitCirc().mapVector(ccVector<2>(-std::sin(t), std::cos(t)) * sign));
}

ccRadian ccEllipseArc2::tangentRotation() const {
  if (ellipse_.isDegenerate()) return ccShape::tangentRotation();
  return arcTangentTurn(ellipse_.ellFromUnitCirc().matrix(), phiStart_.toDouble(),
                        arc2Pieces(*this)[0].turn());
}

ccShapePtrh ccEllipseArc2::reverse() const {
  return ccShapePtrh(new ccEllipseArc2(ellipse_, phiEnd(), -phiSpan_));
}

void ccEllipseArc2::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(arc2Pieces(*this), false, params, result);
}

double ccEllipseArc2::perimeter() const { return arc2Pieces(*this)[0].length(); }

double ccEllipseArc2::nearestPerimPos(const ccVector<2>& p) const {
  const auto pieces = arc2Pieces(*this);
  return cc_detail::position(pieces, cc_detail::nearest(pieces, p));
}

ccShapePtrh ccEllipseArc2::subShape(double startPos, double endPos) const {
  const auto pieces = arc2Pieces(*this);
  checkPositions(startPos, endPos, pieces[0].length(), true);
  const double t0 = cc_detail::paramAt(pieces[0], startPos);
  const double t1 = cc_detail::paramAt(pieces[0], endPos);
  return ccShapePtrh(new ccEllipseArc2(ellipse_, ccRadian(t0), ccRadian(t1 - t0)));
}

bool ccEllipseArc2::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccEllipseArc2*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccEllipseArc2::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccEllipseArc2::serialize_(ar, version);
  setVisited(ar);
}

void ccEllipseArc2::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  const ccEllipse2 e = serializeEllipse2(ar, ellipse_);
  ccRadian start = phiStart_, span = phiSpan_;
  ar || start || span;
  if (ar.isLoading()) {
    const ccEllipseArc2 checked(e, start, span);
    mutating();
    ellipse_ = e;
    phiStart_ = start;
    phiSpan_ = span;
  }
}

// ---- ccEllipseAnnulus

ccEllipseAnnulus::ccEllipseAnnulus(const ccEllipse& a, const ccEllipse& b) {
  // Shape matrices P = U U^T: the ellipse is {c + v : v^T P^-1 v <= 1}, and scaling about the
  // centre by k multiplies P by k^2.
  const ccMatrix<2> ua = a.unit().matrix(), ub = b.unit().matrix();
  const ccMatrix<2> pa = ua * ua.transpose(), pb = ub * ub.transpose();
  const double ta = pa.element(0, 0) + pa.element(1, 1), tb = pb.element(0, 0) + pb.element(1, 1);
  const bool aOuter = ta >= tb;
  const ccEllipse& outer = aOuter ? a : b;
  const ccMatrix<2>& po = aOuter ? pa : pb;
  const ccMatrix<2>& pi = aOuter ? pb : pa;
  const double to = aOuter ? ta : tb, ti = aOuter ? tb : ta;
  const double k2 = to > 0 ? ti / to : 1;
  const double size = std::sqrt(to);
  const ccMatrix<2> diff = pi - po * k2;
  double worst = 0;
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) worst = std::max(worst, std::fabs(diff.element(r, c)));
  if (worst > ccRoundingTolerance * to ||
      (a.center() - b.center()).length() > ccRoundingTolerance * size)
    throw ccShapesError::BadGeom("the ellipses are not concentric scaled copies");
  outer_ = outer;
  scale_ = std::min(1.0, std::sqrt(k2));
}

ccEllipseAnnulus::ccEllipseAnnulus(const ccEllipse& outer, double scale) {
  if (!(scale >= 0 && scale <= 1)) throw ccShapesError::BadParams("scale outside [0, 1]");
  outer_ = outer;
  scale_ = scale;
}

ccEllipse ccEllipseAnnulus::inner() const {
  return ccEllipse(outer_.center(), outer_.radii() * scale_, outer_.rotation(), outer_.reflected());
}

ccEllipseAnnulus ccEllipseAnnulus::mapWithShift(const ccXform<2>& x, double* shift) const {
  return ccEllipseAnnulus(outer_.mapWithShift(x, shift), scale_);
}

ccEllipseAnnulus ccEllipseAnnulus::map(const ccXform<2>& x) const {
  double shift;
  return mapWithShift(x, &shift);
}

ccShapePtrh ccEllipseAnnulus::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccEllipseAnnulus(map(x)));
}

ccVector<2> ccEllipseAnnulus::nearestPoint(const ccVector<2>& p) const {
  const ccVector<2> o = outer_.nearestPoint(p), i = inner().nearestPoint(p);
  return (i - p).lengthSq() < (o - p).lengthSq() ? i : o;
}

double ccEllipseAnnulus::distanceToPoint(const ccVector<2>& p) const {
  return (nearestPoint(p) - p).length();
}

namespace {
// The square of the normalised radius of p for the ellipse e ((x / rx)^2 + (y / ry)^2 in its
// axis frame), or -1 when e is degenerate.
double normalisedRadiusSq(const ccEllipse& e, const ccVector<2>& p) {
  if (e.isDegenerate()) return -1;
  const ccVector<2> q = rotationMatrix(-e.rotation().toDouble()) * (p - e.center());
  const double a = q.x() / e.radii().x(), b = q.y() / e.radii().y();
  return a * a + b * b;
}
}  // namespace

bool ccEllipseAnnulus::within(const ccVector<2>& p) const {
  const double r2 = normalisedRadiusSq(outer_, p);
  if (r2 < 0) return distanceToPoint(p) == 0;
  return r2 <= 1 && r2 >= scale_ * scale_;
}

void ccEllipseAnnulus::sample(const ccSampleParams& params, ccSampleResult& result) const {
  ccSampleResult in;
  outer_.sample(params, result);
  inner().sample(params, in);
  result.positions().insert(result.positions().end(), in.positions().begin(), in.positions().end());
}

ccShapePtrh ccEllipseAnnulus::decompose() const { return ringTree(outer_, inner()); }

double ccEllipseAnnulus::perimeter() const { return outer_.perimeter() * (1 + scale_); }

bool ccEllipseAnnulus::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccEllipseAnnulus*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccEllipseAnnulus::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccEllipseAnnulus::serialize_(ar, version);
  setVisited(ar);
}

namespace {
// The fields of an elliptical annulus: the outer geometry record, then the scale.
ccEllipseAnnulus serializeAnnulus(ccArchive& ar, const ccEllipseAnnulus& a) {
  ccEllipse::ccEllipseGeom g = a.outer().geom();
  double scale = a.scale();
  serializeGeom(ar, g);
  ar || scale;
  return ar.isLoading() ? ccEllipseAnnulus(ccEllipse(g), scale) : a;
}
}  // namespace

void ccEllipseAnnulus::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  const ccEllipseAnnulus loaded = serializeAnnulus(ar, *this);
  if (ar.isLoading()) {
    mutating();
    outer_ = loaded.outer_;
    scale_ = loaded.scale_;
  }
}

// ---- ccEllipseAnnulusSection

ccEllipseAnnulusSection::ccEllipseAnnulusSection(const ccEllipseAnnulus& annulus,
                                                 const ccRadian& phi1, const ccRadian& phi2,
                                                 bool reversed, bool inward, bool parametric)
    : annulus_(annulus), reversed_(reversed), inward_(inward) {
  requireFinite(phi1.toDouble());
  requireFinite(phi2.toDouble());
  phi1_ = phi1;
  phi2_ = phi2;
  if (!parametric) {
    if (annulus.outer().isDegenerate())
      throw ccShapesError::DegenerateShape("directions on a degenerate ellipse");
    const ccMatrix<2> inv = annulus.outer().unit().matrix().inverse();
    phi1_ = (inv * ccVector<2>(cos(phi1), sin(phi1))).angle();
    phi2_ = (inv * ccVector<2>(cos(phi2), sin(phi2))).angle();
  }
}

ccRadian ccEllipseAnnulusSection::angleSpan() const {
  const double s = cc_detail::norm((phi2_ - phi1_).toDouble(), kTwoPi);
  return ccRadian(s == 0 ? kTwoPi : s);
}

ccEllipseArc ccEllipseAnnulusSection::innerArc() const {
  return ccEllipseArc(annulus_.inner(), phi1_, phi2_);
}

ccEllipseArc ccEllipseAnnulusSection::outerArc() const {
  return ccEllipseArc(annulus_.outer(), phi1_, phi2_);
}

void ccEllipseAnnulusSection::directions(bool reversed, bool inward) {
  mutating();
  reversed_ = reversed;
  inward_ = inward;
}

namespace {
// Outer arc, radial segment in, inner arc back, radial segment out.
std::vector<Piece> sectionPieces(const ccEllipseAnnulusSection& s) {
  const ccEllipse& outer = s.outer();
  const ccMatrix<2> mo = outer.unit().matrix();
  const ccMatrix<2> mi = mo * s.annulus().scale();
  const double t0 = s.phi1().toDouble(), span = s.angleSpan().toDouble();
  const Piece out = Piece::arc(outer.center(), mo, t0, span);
  const Piece in = Piece::arc(outer.center(), mi, t0 + span, -span);
  return {out, Piece::segment(out.end(), in.start()), in, Piece::segment(in.end(), out.start())};
}
}  // namespace

ccEllipseAnnulusSection ccEllipseAnnulusSection::map(const ccXform<2>& x) const {
  double shift;
  const ccEllipseAnnulus a = annulus_.mapWithShift(x, &shift);
  return ccEllipseAnnulusSection(a, phi1_ + ccRadian(shift), phi2_ + ccRadian(shift), reversed_,
                                 inward_);
}

ccShapePtrh ccEllipseAnnulusSection::mapShape(const ccXform<2>& x) const {
  return ccShapePtrh(new ccEllipseAnnulusSection(map(x)));
}

ccRect ccEllipseAnnulusSection::boundingBox() const {
  return cc_detail::boundingBox(sectionPieces(*this));
}

ccVector<2> ccEllipseAnnulusSection::nearestPoint(const ccVector<2>& p) const {
  return cc_detail::nearest(sectionPieces(*this), p).point;
}

double ccEllipseAnnulusSection::distanceToPoint(const ccVector<2>& p) const {
  return std::sqrt(cc_detail::nearest(sectionPieces(*this), p).distSq);
}

bool ccEllipseAnnulusSection::within(const ccVector<2>& p) const {
  const ccEllipse& outer = annulus_.outer();
  const double r2 = normalisedRadiusSq(outer, p);
  if (r2 < 0) return distanceToPoint(p) == 0;
  const double k = annulus_.scale();
  if (r2 > 1 || r2 < k * k) return false;
  const ccVector<2> u = outer.unit().inverse() * p;
  if (u.x() == 0 && u.y() == 0) return true;  // the apex of a pie slice
  double tau;
  const Piece arc =
      Piece::arc(outer.center(), outer.unit().matrix(), phi1_.toDouble(), angleSpan().toDouble());
  return cc_detail::onArc(arc, std::atan2(u.y(), u.x()), &tau);
}

void ccEllipseAnnulusSection::sample(const ccSampleParams& params, ccSampleResult& result) const {
  cc_detail::sample(sectionPieces(*this), true, params, result);
}

ccShapePtrh ccEllipseAnnulusSection::decompose() const {
  const ccEllipseArc out = outerArc();
  const ccShapePtrh in = innerArc().reverse();
  return ccShapePtrh(
      new ccContourTree({ccShapePtrh(new ccEllipseArc(out)),
                         ccShapePtrh(new ccLineSeg(out.endPoint(), in->startPoint())), in,
                         ccShapePtrh(new ccLineSeg(in->endPoint(), out.startPoint()))},
                        true));
}

double ccEllipseAnnulusSection::perimeter() const {
  return cc_detail::length(sectionPieces(*this));
}

double ccEllipseAnnulusSection::nearestPerimPos(const ccVector<2>& p) const {
  const auto pieces = sectionPieces(*this);
  return cc_detail::position(pieces, cc_detail::nearest(pieces, p));
}

bool ccEllipseAnnulusSection::equal_(const ccShape& other) const {
  const auto* o = dynamic_cast<const ccEllipseAnnulusSection*>(&other);
  return o && typeid(*o) == typeid(*this) && *o == *this;
}

void ccEllipseAnnulusSection::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccEllipseAnnulusSection::serialize_(ar, version);
  setVisited(ar);
}

void ccEllipseAnnulusSection::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccShape::dispatchSerialize(ar);
  const ccEllipseAnnulus a = serializeAnnulus(ar, annulus_);
  ccRadian p1 = phi1_, p2 = phi2_;
  bool rev = reversed_, in = inward_;
  ar || p1 || p2 || rev || in;
  if (ar.isLoading()) {
    const ccEllipseAnnulusSection checked(a, p1, p2, rev, in);
    mutating();
    annulus_ = checked.annulus_;
    phi1_ = p1;
    phi2_ = p2;
    reversed_ = rev;
    inward_ = in;
  }
}
