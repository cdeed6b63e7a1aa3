// The edge rasterisers of synthetic drawing (see synthetic.h).
#include <dispc/smd/synthetic.h>

#include <core/lines.h>
#include <core/math.h>
#include <dispc/tolfloor.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// Arcs are drawn as chords at most this far (in pels) from the arc.
constexpr double kArcChordTolerance = 0.125;
// More chords than this would draw nothing a pel buffer could show.
constexpr long kMaxArcChords = 1L << 20;

long floorTol(double v) { return cfTolerantFloor(v); }
long ceilTol(double v) { return -cfTolerantFloor(-v); }

bool finite(const ccVector<2>& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// Writes pels of one buffer's working window.
class Plotter {
 public:
  Plotter(ccPelBuffer<unsigned char>& pb, signed char grey, signed char fill)
      : grey_(static_cast<unsigned char>(grey)), fill_(fill != 0) {
    if (!pb.isBound()) cc_detail::throwUnbound();
    last_ = {pb.width() - 3, pb.height() - 3};
    if (!empty()) {
      origin_ = pb.pointToPel(0, 0);
      rowUpdate_ = pb.rowUpdate();
    }
    offset_ = ccVector<2>(static_cast<double>(pb.offset().first),
                          static_cast<double>(pb.offset().second));
  }

  bool empty() const { return last_.first < kInset || last_.second < kInset; }
  // A point mapped into the window's own pel-centre coordinates.
  ccVector<2> map(const ccXform<2>& x, const ccVector<2>& p) const { return x * p - offset_; }
  // The box pieces are clipped to: the working window and one pel around it, whose pels may
  // take a share of a piece passing just outside.
  double lo() const { return kInset - 1.0; }
  double hiX() const { return static_cast<double>(last_.first) + 1; }
  double hiY() const { return static_cast<double>(last_.second) + 1; }

  void segment(const ccVector<2>& a, const ccVector<2>& b) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    if (!finite(a) || !finite(b) || !std::isfinite(dx) || !std::isfinite(dy)) return;
    double t0, t1;
    if (!clipSegmentToBox(a, b, ccVector<2>(lo(), lo()), ccVector<2>(hiX(), hiY()), t0, t1)) return;
    const ccVector<2> p(a.x() + t0 * dx, a.y() + t0 * dy);
    const ccVector<2> q(a.x() + t1 * dx, a.y() + t1 * dy);
    if (std::fabs(dx) >= std::fabs(dy))
      step(p.x(), p.y(), q.x(), q.y(), last_.first, false);
    else
      step(p.y(), p.x(), q.y(), q.x(), last_.second, true);
  }

 private:
  static constexpr long kInset = 2;

  // From (u0, v0) to (u1, v1) along the major coordinate u, one pel position at a time. A
  // solid line also takes the pels holding its two ends, so that the chords of an arc join up;
  // a blended edge keeps to the positions the piece spans, where its pels straddle it.
  void step(double u0, double v0, double u1, double v1, long lastU, bool yMajor) {
    if (u0 > u1) {
      std::swap(u0, u1);
      std::swap(v0, v1);
    }
    const double slope = u1 > u0 ? (v1 - v0) / (u1 - u0) : 0;
    const double reach = fill_ ? 0 : 0.5;
    const long from = std::max(ceilTol(u0 - reach), kInset);
    const long to = std::min(floorTol(u1 + reach), lastU);
    for (long u = from; u <= to; ++u) {
      const double v = v0 + (std::clamp(static_cast<double>(u), u0, u1) - u0) * slope;
      if (fill_) {
        const double f = std::floor(v);
        const long j = static_cast<long>(f);
        plot(u, j, 1 - (v - f), yMajor);
        plot(u, j + 1, v - f, yMajor);
      } else {
        plot(u, static_cast<long>(std::floor(v + 0.5)), 1, yMajor);
      }
    }
  }

  // Moves pel (u, v) (or (v, u) when y is the major axis) towards grey by weight.
  void plot(long u, long v, double weight, bool yMajor) {
    const long x = yMajor ? v : u, y = yMajor ? u : v;
    if (!(weight > 0) || x < kInset || y < kInset || x > last_.first || y > last_.second) return;
    unsigned char* p = origin_ + static_cast<std::ptrdiff_t>(y) * rowUpdate_ + x;
    const double value = *p + (grey_ - *p) * std::min(weight, 1.0);
    *p = static_cast<unsigned char>(value + 0.5);  // value lies in [0, 255]
  }

  unsigned char* origin_ = nullptr;  // pel (0, 0) of the window
  std::ptrdiff_t rowUpdate_ = 0;
  unsigned char grey_;
  bool fill_;
  std::pair<long, long> last_;  // last pel column and row of the working window
  ccVector<2> offset_;
};

}  // namespace

void drawLinePelBuf(ccPelBuffer<unsigned char>& pb, const cc2SegmentLine& line,
                    const ccXform<2>& xform, signed char grey, signed char fill) {
  Plotter plotter(pb, grey, fill);
  if (plotter.empty()) return;
  plotter.segment(plotter.map(xform, line.p1()), plotter.map(xform, line.p2()));
}

void drawArcPelBuf(ccPelBuffer<unsigned char>& pb, const cc2SegmentArc& arc,
                   const ccXform<2>& xform, signed char grey, signed char fill, double* x1,
                   double* y1, double* x2, double* y2) {
  Plotter plotter(pb, grey, fill);
  const ccVector<2> p1 = xform * arc.p1(), p2 = xform * arc.p2();
  if (x1) *x1 = p1.x();
  if (y1) *y1 = p1.y();
  if (x2) *x2 = p2.x();
  if (y2) *y2 = p2.y();
  if (plotter.empty()) return;

  // The mapped arc: c + u cos(a0 + sign t) + v sin(a0 + sign t) for t in [0, span].
  const double r = arc.radius(ccDegree(0));
  const ccMatrix<2>& m = xform.matrix();
  const ccVector<2> c = plotter.map(xform, arc.center());
  const ccVector<2> u(r * m.element(0, 0), r * m.element(1, 0));
  const ccVector<2> v(r * m.element(0, 1), r * m.element(1, 1));
  const double a0 = ccRadian(arc.startAngle()).toDouble();
  const double signedSpan = ccRadian(arc.angleSpan()).toDouble();
  const double sign = signedSpan < 0 ? -1 : 1;
  const double span = std::min(std::fabs(signedSpan), 2 * ccPi);
  if (!finite(c) || !finite(u) || !finite(v) || !std::isfinite(a0) || !(span > 0)) return;
  auto at = [&](double t) {
    const double a = a0 + sign * t;
    return c + u * std::cos(a) + v * std::sin(a);
  };

  // Cut the arc where it crosses a side of the clip box, and draw the stretches inside.
  std::vector<double> cuts{0, span};
  auto cross = [&](double a, double b, double rhs) {  // a cos + b sin == rhs
    const double len = std::hypot(a, b);
    if (!(len > 0) || std::fabs(rhs) > len) return;
    const double phi = std::atan2(b, a), d = std::acos(rhs / len);
    for (double angle : {phi + d, phi - d}) {
      const double t = std::fmod(std::fmod((angle - a0) * sign, 2 * ccPi) + 2 * ccPi, 2 * ccPi);
      if (t > 0 && t < span) cuts.push_back(t);
    }
  };
  cross(u.x(), v.x(), plotter.lo() - c.x());
  cross(u.x(), v.x(), plotter.hiX() - c.x());
  cross(u.y(), v.y(), plotter.lo() - c.y());
  cross(u.y(), v.y(), plotter.hiY() - c.y());
  std::sort(cuts.begin(), cuts.end());

  // Chords whose sagitta on the largest radius stays within the tolerance.
  const double rMax = std::hypot(u.length(), v.length());
  const double chordAngle =
      rMax > kArcChordTolerance ? 2 * std::acos(1 - kArcChordTolerance / rMax) : ccPi / 2;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const double ta = cuts[i], tb = cuts[i + 1];
    if (!(tb > ta)) continue;
    const ccVector<2> mid = at((ta + tb) / 2);
    if (mid.x() < plotter.lo() || mid.x() > plotter.hiX() || mid.y() < plotter.lo() ||
        mid.y() > plotter.hiY())
      continue;
    const long n = static_cast<long>(
        std::clamp(std::ceil((tb - ta) / chordAngle), 1.0, static_cast<double>(kMaxArcChords)));
    ccVector<2> prev = at(ta);
    for (long k = 1; k <= n; ++k) {
      const ccVector<2> next = at(ta + (tb - ta) * static_cast<double>(k) / static_cast<double>(n));
      plotter.segment(prev, next);
      prev = next;
    }
  }
}
