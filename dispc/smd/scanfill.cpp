// The edge-table scan converter of synthetic drawing (see scanfill.h).
#include <dispc/smd/scanfill.h>

#include <core/math.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

// ---- edges --------------------------------------------------------------------------------

double cc_ScanEdge::xAt(double y, double& slope) const {
  if (!arc) {
    slope = yb > ya ? std::fabs(dxdy) : std::numeric_limits<double>::infinity();
    if (y <= ya) return xLo;
    if (y >= yb) return xHi;
    return xLo + (y - ya) * dxdy;
  }
  if (y <= ya || y >= yb) {
    slope = std::numeric_limits<double>::infinity();
    return y <= ya ? xLo : xHi;
  }
  const double t = base + sign * std::acos(std::clamp((y - cy) / ry, -1.0, 1.0));
  const double c = std::cos(t), s = std::sin(t);
  const double dx = -ux * s + vx * c, dy = -uy * s + vy * c;
  slope = dy != 0 ? std::fabs(dx / dy) : std::numeric_limits<double>::infinity();
  return cx + ux * c + vx * s;
}

void cc_ScanOutline::addLine(const ccVector<2>& a, const ccVector<2>& b, long piece) {
  const bool up = a.y() <= b.y();
  const ccVector<2>& lo = up ? a : b;
  const ccVector<2>& hi = up ? b : a;
  cc_ScanEdge e;
  e.piece = piece;
  e.ya = lo.y();
  e.yb = hi.y();
  e.xLo = lo.x();
  e.xHi = hi.x();
  e.dxdy = e.yb > e.ya ? (e.xHi - e.xLo) / (e.yb - e.ya) : 0;
  edges_.push_back(e);
}

void cc_ScanOutline::addArc(const ccVector<2>& c, const ccVector<2>& u, const ccVector<2>& v,
                            double t0, double t1, const ccVector<2>& start, const ccVector<2>& end,
                            long piece) {
  const double ry = std::hypot(u.y(), v.y());
  if (!(ry > 0) || !(t1 > t0)) {
    addLine(start, end, piece);
    return;
  }
  // y = cy + ry cos(t - phi) turns at phi + k pi. Between two turns the edge is monotone;
  // the turning points get their exact height, the ends the points the neighbours share.
  const double phi = std::atan2(v.y(), u.y());
  double cuts[6];
  ccVector<2> points[6];
  int n = 0;
  cuts[n] = t0;
  points[n++] = start;
  for (double k = std::floor((t0 - phi) / ccPi) + 1; n < 5; ++k) {
    const double t = phi + k * ccPi;
    if (!(t < t1)) break;
    if (!(t > t0)) continue;
    const double odd = std::fmod(std::fabs(k), 2.0);
    cuts[n] = t;
    points[n++] = ccVector<2>(c.x() + u.x() * std::cos(t) + v.x() * std::sin(t),
                              odd == 0 ? c.y() + ry : c.y() - ry);
  }
  cuts[n] = t1;
  points[n++] = end;
  for (int i = 0; i + 1 < n; ++i) {
    const ccVector<2>& a = points[i];
    const ccVector<2>& b = points[i + 1];
    cc_ScanEdge e;
    e.arc = true;
    e.piece = piece;
    const bool up = a.y() <= b.y();
    e.ya = up ? a.y() : b.y();
    e.yb = up ? b.y() : a.y();
    e.xLo = up ? a.x() : b.x();
    e.xHi = up ? b.x() : a.x();
    e.cx = c.x();
    e.cy = c.y();
    e.ux = u.x();
    e.uy = u.y();
    e.vx = v.x();
    e.vy = v.y();
    e.ry = ry;
    // On this part t - phi stays within one half turn; acos gives its distance from the
    // turn at base, on the side given by sign.
    const double mid = (cuts[i] + cuts[i + 1]) / 2;
    const double delta = std::remainder(mid - phi, 2 * ccPi);
    e.sign = delta < 0 ? -1 : 1;
    e.base = mid - delta;
    edges_.push_back(e);
  }
}

// ---- filling ------------------------------------------------------------------------------

namespace {

// Doubles of at least this size are whole numbers.
constexpr double kExactWhole = 4503599627370496.0;  // 2^52

struct Crossing {
  double x;      // pel-centre coordinate
  double xs;     // its pel boundary: x rounded, halves away from zero
  long piece;    // the piece it lies on
  double reach;  // how far the literal crossing may lie from x
  long client;   // index of its literal client point, -1 when not known
};

class Filler {
 public:
  Filler(const cc_ScanOutline& outline, const cc_ScanTarget& target, cc_ScanReference* reference,
         double margin)
      : edges_(outline.edges()), t_(target), ref_(reference), m_(margin) {}

  void run() {
    if (edges_.empty() || t_.left >= t_.right || t_.top >= t_.bottom) return;
    hot_.reserve(edges_.size());
    for (const cc_ScanEdge& e : edges_)
      hot_.push_back(
          {e.ya, e.yb + m_, e.xLo, e.dxdy, m_ * (2 + std::fabs(e.dxdy)), e.piece, e.arc});
    std::vector<std::size_t> order(edges_.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return edges_[a].ya < edges_[b].ya; });
    double yMax = -std::numeric_limits<double>::infinity();
    for (const cc_ScanEdge& e : edges_) yMax = std::max(yMax, e.yb);
    // Rows from the first one an edge comes within the margin of.
    const double first = std::max(static_cast<double>(t_.top), std::ceil(edges_[order[0]].ya - m_));
    const double last = std::min(static_cast<double>(t_.bottom) - 1, std::floor(yMax + m_));
    if (!(first <= last)) return;
    // The rows within the margin of an edge's end: no plain rows.
    const auto rows = static_cast<std::size_t>(last - first) + 1;
    nearEnd_.assign(rows, 0);
    for (const cc_ScanEdge& e : edges_)
      for (double end : {e.ya, e.yb}) {
        const double from = std::max(std::ceil(end - m_), first) - first;
        const double to = std::min(std::floor(end + m_), last) - first;
        for (double r = from; r <= to; ++r) nearEnd_[static_cast<std::size_t>(r)] = 1;
      }
    std::size_t next = 0;
    for (long y = static_cast<long>(first); y <= static_cast<long>(last); ++y) {
      const double yd = static_cast<double>(y);
      for (; next < order.size() && hot_[order[next]].ya - m_ <= yd; ++next) enter(order[next], yd);
      if (active_.empty()) continue;
      y_ = y;
      row_ = nullptr;
      // A plain row drops the edges that have left on its way.
      if (ref_ && !nearEnd_[static_cast<std::size_t>(yd - first)] && plainRow(yd)) continue;
      dropLeft(yd);
      if (active_.empty()) continue;
      if (ref_)
        literalRow(yd);
      else
        rankedRow(yd);
    }
  }

 private:
  // Sets the pels of the current row from boundary a up to, not including, boundary b.
  void span(double a, double b) {
    const double lo = std::max(a, static_cast<double>(t_.left));
    const double hi = std::min(b, static_cast<double>(t_.right));
    if (!(lo < hi)) return;
    if (!row_) row_ = t_.pels.pointToRow(y_ - t_.top);
    const long from = static_cast<long>(lo) - t_.left;
    std::memset(row_ + from, t_.grey,
                static_cast<std::size_t>(static_cast<long>(hi) - t_.left - from));
  }

  // Crossings of the edges the row meets (ya <= y < yb), in x order.
  void parityCrossings(double yd) {
    parity_.clear();
    double slope;
    for (std::size_t i : active_) {
      const cc_ScanEdge& e = edges_[i];
      if (e.ya <= yd && yd < e.yb) parity_.push_back(e.xAt(yd, slope));
    }
    std::sort(parity_.begin(), parity_.end());
  }

  // Without a reference: the row's crossings ranked as the literal scan line ranks them, and
  // each span between neighbours filled when its midpoint is inside by the row's parity.
  void rankedRow(double yd) {
    parityCrossings(yd);
    cross_.clear();
    double slope;
    for (std::size_t i : active_) {
      const cc_ScanEdge& e = edges_[i];
      if (!(e.ya <= yd && yd < e.yb)) continue;
      const double x = e.xAt(yd, slope);
      cross_.push_back({x, std::round(x), e.piece, 0, -1});
    }
    rank();
    for (std::size_t k = 0; k + 1 < cross_.size(); ++k) {
      const Crossing& a = cross_[k];
      const Crossing& b = cross_[k + 1];
      if (spans(a, b) && parityInside((a.x + b.x) / 2)) span(a.xs, b.xs);
    }
  }

  // The literal ranking: by boundary, and among equal boundaries the crossing found later
  // first (pieces are searched in order, the crossings of one piece by x).
  void rank() { std::sort(cross_.begin(), cross_.end(), ranked); }
  static bool ranked(const Crossing& a, const Crossing& b) {
    if (a.xs != b.xs) return a.xs < b.xs;
    if (a.piece != b.piece) return a.piece > b.piece;
    return a.x > b.x;
  }

  // Neighbours in the ranking that bound pels of the target's columns.
  bool spans(const Crossing& a, const Crossing& b) const {
    return a.xs < b.xs && a.xs < static_cast<double>(t_.right) &&
           b.xs > static_cast<double>(t_.left);
  }

  bool parityInside(double x) const {
    return (std::lower_bound(parity_.begin(), parity_.end(), x) - parity_.begin()) % 2 == 1;
  }

  // Puts an edge into the active list near its place in x order at row yd.
  void enter(std::size_t i, double yd) {
    double slope;
    const double x = edges_[i].xAt(yd, slope);
    // The list is only nearly sorted; any place is right, a near one spares the sort's moves.
    std::size_t lo = 0, hi = active_.size();
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (xs_[mid] > x)
        hi = mid;
      else
        lo = mid + 1;
    }
    active_.insert(active_.begin() + static_cast<std::ptrdiff_t>(lo), i);
    xs_.insert(xs_.begin() + static_cast<std::ptrdiff_t>(lo), x);
  }

  // Drops the edges that have left the rows before yd.
  void dropLeft(double yd) {
    std::size_t kept = 0;
    for (std::size_t k = 0; k < active_.size(); ++k) {
      if (hot_[active_[k]].leaves < yd) continue;
      active_[kept] = active_[k];
      xs_[kept++] = xs_[k];
    }
    active_.resize(kept);
    xs_.resize(kept);
  }

  // The common row: every edge crosses it clear of its ends (rows near an end never come
  // here) and every crossing lies clear of a pel boundary, so each piece's literal crossing
  // rounds as ours does. When the crossings also fall into different pels, inside and outside
  // alternate; otherwise the ranking decides which crossings pair up, and each midpoint clear
  // of every crossing takes the row's parity. False, with nothing written, when a row is not of
  // that kind. Drops the edges that have left on its way.
  bool plainRow(double yd) {
    std::size_t n = active_.size(), kept = 0;
    if (bs_.size() < n) bs_.resize(n);
    double reach = 0;
    // The least gap between neighbours in x. Every pair that ends up neighbours is a pair of
    // neighbours when the later of the two takes its place, and a pair split later is no
    // closer than the pairs it splits into: checking the pairs as they form checks the row.
    double gap = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < n; ++k) {
      const std::size_t edge = active_[k];
      const Hot& h = hot_[edge];
      if (h.leaves < yd) continue;
      double x, r;
      if (!h.arc) {
        x = h.xLo + (yd - h.ya) * h.dxdy;
        r = h.reach;
      } else {
        double slope;
        x = edges_[edge].xAt(yd, slope);
        r = m_ * (2 + slope);
      }
      // Clear of a pel boundary, x rounds as floor(x + 0.5) whatever its sign. The floor
      // through an integer conversion (std::floor costs several times as much without SSE4.1);
      // beyond 2^52, and for NaN, where the clamp changes it, d falls outside (0, 1).
      const double v = x + 0.5;
      const double whole = v < kExactWhole ? std::max(v, -kExactWhole) : kExactWhole;
      double b = static_cast<double>(static_cast<long long>(whole));
      if (b > v) b -= 1;
      const double d = v - b;
      if (!(d > r && 1 - d > r)) {
        // The entries before k were kept further up or dropped.
        active_.erase(active_.begin() + static_cast<std::ptrdiff_t>(kept),
                      active_.begin() + static_cast<std::ptrdiff_t>(k));
        xs_.erase(xs_.begin() + static_cast<std::ptrdiff_t>(kept),
                  xs_.begin() + static_cast<std::ptrdiff_t>(k));
        return false;
      }
      reach = std::max(reach, r);
      // Insertion sort: from one row to the next the order changes little.
      std::size_t j = kept++;
      for (; j > 0 && xs_[j - 1] > x; --j) {
        active_[j] = active_[j - 1];
        xs_[j] = xs_[j - 1];
        bs_[j] = bs_[j - 1];
      }
      active_[j] = edge;
      xs_[j] = x;
      bs_[j] = b;
      if (j > 0) gap = std::min(gap, x - xs_[j - 1]);
      if (j + 1 < kept) gap = std::min(gap, xs_[j + 1] - x);
    }
    active_.resize(kept);
    xs_.resize(kept);
    n = kept;
    if (!(gap > 2 * reach)) return false;
    // Crossings sharing a boundary form a run. Between two neighbouring runs the span is
    // inside when an odd number of crossings lies left of the midpoint of the two crossings
    // that meet there. Between two single crossings k - 1 and k the gaps checked above keep the
    // midpoint clear of both, and k crossings lie left of it: inside when k is odd. The gaps
    // next to longer runs are decided first, as they may send the row to the literal scan line.
    runs_.clear();
    for (std::size_t k = 1; k < n; ++k) {
      if (bs_[k] != bs_[k - 1]) continue;
      if (!runs_.empty() && runs_.back().second == k)
        ++runs_.back().second;
      else
        runs_.push_back({k - 1, k + 1});
    }
    meetings_.clear();
    std::size_t next = 1;  // the first gap not yet decided
    for (const auto& run : runs_) {
      for (std::size_t k : {run.first, run.second}) {
        if (k < next || k == 0 || k == n) continue;
        std::size_t leftOfMid;
        if (!crossingsLeftOfGap(k, reach, leftOfMid)) return false;
        if (leftOfMid % 2 == 1) meetings_.push_back(k);
      }
      next = run.second + 1;
    }
    next = 1;
    for (const auto& run : runs_) {
      fillOddGaps(next, run.first);
      next = run.second + 1;
    }
    fillOddGaps(next, n);
    for (std::size_t k : meetings_) span(bs_[k - 1], bs_[k]);
    return true;
  }

  // Fills the spans of the gaps k - 1 to k for odd k in [from, to), all between single
  // crossings.
  void fillOddGaps(std::size_t from, std::size_t to) {
    for (std::size_t k = from | 1; k < to; k += 2) span(bs_[k - 1], bs_[k]);
  }

  // The gap of a plain row between crossings k - 1 and k on different boundaries: the number of
  // crossings left of the midpoint where their runs meet (the first run's last crossing in the
  // ranking and the second's first; later piece first, then larger x). That midpoint lies
  // between the runs, so only their crossings can lie near it, and every crossing before them
  // lies left of it. False when one of them lies within reach of it.
  bool crossingsLeftOfGap(std::size_t k, double reach, std::size_t& count) const {
    const std::size_t n = active_.size();
    std::size_t from = k - 1;
    while (from > 0 && bs_[from - 1] == bs_[k - 1]) --from;
    std::size_t last = from;
    for (std::size_t j = from + 1; j < k; ++j)
      if (rankedBefore(last, j)) last = j;
    std::size_t first = k, end = k + 1;
    for (; end < n && bs_[end] == bs_[k]; ++end)
      if (rankedBefore(end, first)) first = end;
    if (!(bs_[from] < static_cast<double>(t_.right) && bs_[k] > static_cast<double>(t_.left))) {
      count = 0;  // outside the target's columns
      return true;
    }
    const double mid = (xs_[last] + xs_[first]) / 2;
    count = from;
    for (std::size_t j = from; j < end; ++j) {
      if (!(std::fabs(xs_[j] - mid) > reach)) return false;
      count += xs_[j] < mid;
    }
    return true;
  }

  // Of two crossings on one boundary (indices into the sorted row), whether i ranks first.
  bool rankedBefore(std::size_t i, std::size_t j) const {
    const long pi = hot_[active_[i]].piece, pj = hot_[active_[j]].piece;
    return pi != pj ? pi > pj : xs_[i] > xs_[j];
  }

  // Any other row, ranked and tested as the literal scan line does it. Pieces whose crossings
  // are not certain (an end near the row, a crossing near a pel boundary) take their
  // crossings from the reference; a midpoint near the outline takes the reference's inside
  // test, any other the parity of the row.
  void literalRow(double yd) {
    parityCrossings(yd);
    cross_.clear();
    bands_.clear();
    fragile_.clear();
    points_.clear();
    for (std::size_t i : active_) {
      const cc_ScanEdge& e = edges_[i];
      const bool nearEnd = yd - e.ya <= m_ || e.yb - yd <= m_;
      double slope;
      double lo, hi;
      if (e.yb <= e.ya) {
        lo = std::min(e.xLo, e.xHi);
        hi = std::max(e.xLo, e.xHi);
      } else {
        const double a = e.xAt(std::max(e.ya, yd - m_), slope);
        const double b = e.xAt(std::min(e.yb, yd + m_), slope);
        lo = std::min(a, b);
        hi = std::max(a, b);
      }
      bands_.push_back({lo - 2 * m_, hi + 2 * m_});
      if (nearEnd) {
        fragile_.push_back(e.piece);
        continue;
      }
      const double x = e.xAt(yd, slope);
      const double r = m_ * (2 + slope);
      if (!(std::fabs(x - std::floor(x) - 0.5) > r)) fragile_.push_back(e.piece);
      cross_.push_back({x, std::round(x), e.piece, r, -1});
    }
    std::sort(fragile_.begin(), fragile_.end());
    fragile_.erase(std::unique(fragile_.begin(), fragile_.end()), fragile_.end());
    auto isFragile = [&](long piece) {
      return std::binary_search(fragile_.begin(), fragile_.end(), piece);
    };
    cross_.erase(std::remove_if(cross_.begin(), cross_.end(),
                                [&](const Crossing& c) { return isFragile(c.piece); }),
                 cross_.end());
    for (long piece : fragile_) {
      ref_->crossings(piece, y_, refClient_, refX_);
      for (std::size_t j = 0; j < refX_.size(); ++j) {
        cross_.push_back(
            {refX_[j], std::round(refX_[j]), piece, 0, static_cast<long>(points_.size())});
        points_.push_back(refClient_[j]);
      }
    }
    rank();
    mergeBands();
    for (std::size_t k = 0; k + 1 < cross_.size(); ++k) {
      const Crossing& a = cross_[k];
      const Crossing& b = cross_[k + 1];
      if (!spans(a, b)) continue;
      const double mid = (a.x + b.x) / 2;
      const bool in = nearOutline(mid) ? ref_->inside((clientPoint(a) + clientPoint(b)) / 2.0)
                                       : parityInside(mid);
      if (in) span(a.xs, b.xs);
    }
  }

  void mergeBands() {
    std::sort(bands_.begin(), bands_.end());
    std::size_t out = 0;
    for (const auto& b : bands_) {
      if (out > 0 && b.first <= bands_[out - 1].second)
        bands_[out - 1].second = std::max(bands_[out - 1].second, b.second);
      else
        bands_[out++] = b;
    }
    bands_.resize(out);
  }

  bool nearOutline(double x) const {
    auto it =
        std::upper_bound(bands_.begin(), bands_.end(), x,
                         [](double v, const std::pair<double, double>& b) { return v < b.first; });
    return it != bands_.begin() && x <= std::prev(it)->second;
  }

  // The literal client point of a crossing (asked for when only its x is known).
  ccVector<2> clientPoint(const Crossing& c) {
    if (c.client >= 0) return points_[static_cast<std::size_t>(c.client)];
    ref_->crossings(c.piece, y_, refClient_, refX_);
    std::size_t best = 0;
    for (std::size_t j = 1; j < refX_.size(); ++j)
      if (std::fabs(refX_[j] - c.x) < std::fabs(refX_[best] - c.x)) best = j;
    return refX_.empty() ? ccVector<2>() : refClient_[best];
  }

  const std::vector<cc_ScanEdge>& edges_;
  const cc_ScanTarget& t_;
  cc_ScanReference* ref_;
  const double m_;
  long y_ = 0;
  unsigned char* row_ = nullptr;
  // What a plain row reads of each edge: leaves is yb + m, after which the edge is dropped;
  // reach is m (2 + |dx/dy|) for lines.
  struct Hot {
    double ya, leaves, xLo, dxdy, reach;
    long piece;
    bool arc;
  };
  std::vector<Hot> hot_;
  std::vector<std::size_t> active_;  // edges, nearly sorted by x
  std::vector<double> xs_;           // their crossings on the last row that computed them
  std::vector<double> bs_;           // the pel boundaries of xs_ on a plain row
  std::vector<Crossing> cross_;
  std::vector<double> parity_;
  std::vector<char> nearEnd_;  // by row from the first
  std::vector<std::pair<double, double>> bands_;
  std::vector<std::pair<std::size_t, std::size_t>> runs_;  // of a plain row: [first, end)
  std::vector<std::size_t> meetings_;                      // gaps next to runs that are inside
  std::vector<long> fragile_;
  std::vector<ccVector<2>> points_;
  std::vector<ccVector<2>> refClient_;
  std::vector<double> refX_;
};

}  // namespace

void cfScanFill(const cc_ScanOutline& outline, const cc_ScanTarget& target,
                cc_ScanReference* reference, double margin) {
  Filler(outline, target, reference, margin).run();
}
