// Affine resampling. Two paths give the same interpolation:
//  - separable, for rectangles whose sides are parallel to the source axes: per-column source
//    positions and weights are computed once; each source row is interpolated horizontally
//    once, and destination rows blend two (bilinear) or four (bicubic) such rows;
//  - general, for any affine rectangle: per destination row the source position steps in
//    32.32 fixed point; the span of the row whose footprint lies inside the source is found
//    analytically (exact integer division on the fixed-point sequence), its interior is
//    sampled without bounds checks and only the pels at its very ends go through the
//    clamped path.
#include <core/affinesample.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

using i64 = std::int64_t;

// Fixed point: 32 fraction bits for positions, kQ bits of them for interpolation weights.
constexpr int kFrac = 32;
constexpr i64 kOne = i64{1} << kFrac;
constexpr int kQ = 7;
constexpr int kQOne = 1 << kQ;
constexpr int kQShift = kFrac - kQ;
constexpr i64 kQHalf = i64{1} << (kQShift - 1);  // rounds positions to the nearest 1/128
// Bicubic weights: 11 fraction bits.
constexpr int kCubicBits = 11;
constexpr long kMaxSourceSide = 1L << 28;

struct Source {
  const unsigned char* base;  // pel (0, 0) of the window
  std::ptrdiff_t stride;
  long w, h;
};

// Domain of a biased fixed-point coordinate along a source side of n pels: computed pels have
// lo <= X <= hi; pels with X <= fastHi have their whole footprint inside without clamping.
struct Domain {
  i64 lo, hi, fastHi;
  bool empty() const { return hi < lo; }
};

Domain domainFor(ccAffineSamplingParams::Interpolation m, long n) {
  const i64 nn = n;
  switch (m) {
    case ccAffineSamplingParams::eNearest:
      return {0, nn * kOne - 1, nn * kOne - 1};
    case ccAffineSamplingParams::eBilinear:
      return {0, (nn - 1) * kOne + (i64{1} << kQShift) - 1, (nn - 1) * kOne - 1};
    case ccAffineSamplingParams::eBicubic:
    default:
      return {kOne, (nn - 2) * kOne + (i64{1} << kQShift) - 1, (nn - 2) * kOne - 1};
  }
}

// Added to a position so that its integer part is the (first) pel index and its top kQ
// fraction bits the rounded weight position.
i64 biasFor(ccAffineSamplingParams::Interpolation m) {
  return m == ccAffineSamplingParams::eNearest ? kOne / 2 : kQHalf;
}

i64 toFixed(double u) { return std::llround(u * static_cast<double>(kOne)); }

i64 floorDiv(i64 a, i64 b) {
  i64 q = a / b;
  if (a % b != 0 && ((a < 0) != (b < 0))) --q;
  return q;
}
i64 ceilDiv(i64 a, i64 b) {
  i64 q = a / b;
  if (a % b != 0 && ((a < 0) == (b < 0))) ++q;
  return q;
}

// Narrows [k0, k1] to the k with lo <= s + k d <= hi.
void narrow(i64 s, i64 d, i64 lo, i64 hi, long& k0, long& k1) {
  if (d == 0) {
    if (s < lo || s > hi) k1 = k0 - 1;
    return;
  }
  i64 a, b;
  if (d > 0) {
    a = ceilDiv(lo - s, d);
    b = floorDiv(hi - s, d);
  } else {
    a = ceilDiv(hi - s, d);
    b = floorDiv(lo - s, d);
  }
  if (a > k0) k0 = static_cast<long>(std::min<i64>(a, k1 + 1));
  if (b < k1) k1 = static_cast<long>(std::max<i64>(b, k0 - 1));
}

// A superset of the i in [0, n) with lo <= a + i d <= hi, in doubles.
bool candidateSpan(double a, double d, double lo, double hi, long n, long& s, long& e) {
  if (d == 0) {
    if (!(a >= lo && a <= hi)) return false;
    s = 0;
    e = n - 1;
    return true;
  }
  double t0 = (lo - a) / d, t1 = (hi - a) / d;
  if (t0 > t1) std::swap(t0, t1);
  if (!(t1 >= 0) || !(t0 <= static_cast<double>(n - 1))) return false;
  s = t0 <= 0 ? 0 : static_cast<long>(std::floor(t0));
  e = t1 >= static_cast<double>(n - 1) ? n - 1 : static_cast<long>(std::ceil(t1));
  return s <= e;
}

// Catmull-Rom weights for the 128 rounded fractions, each set summing to 2^kCubicBits.
struct CubicTable {
  int w[kQOne][4];
  CubicTable() {
    for (int t = 0; t < kQOne; ++t) {
      const double f = static_cast<double>(t) / kQOne, f2 = f * f, f3 = f2 * f;
      const double d[4] = {(-f3 + 2 * f2 - f) / 2, (3 * f3 - 5 * f2 + 2) / 2,
                           (-3 * f3 + 4 * f2 + f) / 2, (f3 - f2) / 2};
      int sum = 0;
      for (int k = 0; k < 4; ++k)
        sum += w[t][k] = static_cast<int>(std::lround(d[k] * (1 << kCubicBits)));
      w[t][f < 0.5 ? 1 : 2] += (1 << kCubicBits) - sum;
    }
  }
};
const CubicTable& cubicTable() {
  static const CubicTable table;
  return table;
}

inline unsigned char clampByte(int v) {
  return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
}
inline int fracOf(i64 X) { return static_cast<int>(X >> kQShift) & (kQOne - 1); }
inline long clampIndex(i64 i, long n) {
  return static_cast<long>(i < 0 ? 0 : (i >= n ? n - 1 : i));
}

// Per-pel samplers. fast: the footprint lies inside the source (no clamping); slow: taps are
// clamped to the source (they only differ from fast where a tap has weight 0).
struct Nearest {
  static unsigned char fast(const Source& s, i64 X, i64 Y) {
    return s.base[(Y >> kFrac) * s.stride + (X >> kFrac)];
  }
  static unsigned char slow(const Source& s, i64 X, i64 Y) {
    return s.base[clampIndex(Y >> kFrac, s.h) * s.stride + clampIndex(X >> kFrac, s.w)];
  }
};

struct Bilinear {
  static unsigned char fast(const Source& s, i64 X, i64 Y) {
    const unsigned char* p = s.base + (Y >> kFrac) * s.stride + (X >> kFrac);
    const int tx = fracOf(X), ty = fracOf(Y);
    const int top = p[0] * (kQOne - tx) + p[1] * tx;
    const int bot = p[s.stride] * (kQOne - tx) + p[s.stride + 1] * tx;
    return static_cast<unsigned char>((top * (kQOne - ty) + bot * ty + (1 << (2 * kQ - 1))) >>
                                      (2 * kQ));
  }
  static unsigned char slow(const Source& s, i64 X, i64 Y) {
    const long x0 = clampIndex(X >> kFrac, s.w), x1 = clampIndex((X >> kFrac) + 1, s.w);
    const long y0 = clampIndex(Y >> kFrac, s.h), y1 = clampIndex((Y >> kFrac) + 1, s.h);
    const unsigned char* r0 = s.base + y0 * s.stride;
    const unsigned char* r1 = s.base + y1 * s.stride;
    const int tx = fracOf(X), ty = fracOf(Y);
    const int top = r0[x0] * (kQOne - tx) + r0[x1] * tx;
    const int bot = r1[x0] * (kQOne - tx) + r1[x1] * tx;
    return static_cast<unsigned char>((top * (kQOne - ty) + bot * ty + (1 << (2 * kQ - 1))) >>
                                      (2 * kQ));
  }
};

struct Bicubic {
  static constexpr int kRound = 1 << (2 * kCubicBits - 1);
  static unsigned char fast(const Source& s, i64 X, i64 Y) {
    const int* wx = cubicTable().w[fracOf(X)];
    const int* wy = cubicTable().w[fracOf(Y)];
    const unsigned char* p = s.base + ((Y >> kFrac) - 1) * s.stride + (X >> kFrac) - 1;
    int v = 0;
    for (int r = 0; r < 4; ++r, p += s.stride)
      v += (p[0] * wx[0] + p[1] * wx[1] + p[2] * wx[2] + p[3] * wx[3]) * wy[r];
    return clampByte((v + kRound) >> (2 * kCubicBits));
  }
  static unsigned char slow(const Source& s, i64 X, i64 Y) {
    const int* wx = cubicTable().w[fracOf(X)];
    const int* wy = cubicTable().w[fracOf(Y)];
    long xs[4];
    for (int k = 0; k < 4; ++k) xs[k] = clampIndex((X >> kFrac) - 1 + k, s.w);
    int v = 0;
    for (int r = 0; r < 4; ++r) {
      const unsigned char* p = s.base + clampIndex((Y >> kFrac) - 1 + r, s.h) * s.stride;
      v += (p[xs[0]] * wx[0] + p[xs[1]] * wx[1] + p[xs[2]] * wx[2] + p[xs[3]] * wx[3]) * wy[r];
    }
    return clampByte((v + kRound) >> (2 * kCubicBits));
  }
};

// The sampling geometry in source pel coordinates (pel centres at integers): destination
// pel (i, j) samples b + i ux + j uy.
struct Geometry {
  double bx, by;    // b
  double uxx, uxy;  // ux: one destination column
  double uyx, uyy;  // uy: one destination row
};

class Bounds {
 public:
  void add(long x0, long x1, long y) {
    minX_ = std::min(minX_, x0);
    maxX_ = std::max(maxX_, x1);
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
  }
  ccAffineSampledRect rect() const {
    if (maxY_ < minY_) return {};
    return {minX_, minY_, maxX_ - minX_ + 1, maxY_ - minY_ + 1};
  }

 private:
  long minX_ = LONG_MAX, maxX_ = LONG_MIN, minY_ = LONG_MAX, maxY_ = LONG_MIN;
};

void fillSpan(unsigned char* row, long from, long to, unsigned char fill) {
  if (to > from) std::memset(row + from, fill, static_cast<std::size_t>(to - from));
}

// General path: any affine rectangle.
template <class K>
ccAffineSampledRect sampleGeneral(const Source& src, const Geometry& g,
                                  ccAffineSamplingParams::Interpolation mode,
                                  const ccPelBuffer<unsigned char>& dst, unsigned char fill) {
  const long w = dst.width(), h = dst.height();
  const Domain dx = domainFor(mode, src.w), dy = domainFor(mode, src.h);
  const i64 bias = biasFor(mode);
  // Candidate ranges in doubles, two pels wider than the domains.
  const double loX = static_cast<double>(dx.lo / kOne) - 2, hiX = static_cast<double>(src.w) + 2;
  const double loY = static_cast<double>(dy.lo / kOne) - 2, hiY = static_cast<double>(src.h) + 2;
  // Steps of 2^24 pels or more leave at most a few candidates per row: those are converted
  // pel by pel instead of stepped, which keeps every fixed-point value far from overflow.
  const bool hugeStep = std::fabs(g.uxx) >= 1 << 24 || std::fabs(g.uxy) >= 1 << 24;
  const i64 DX = hugeStep ? 0 : toFixed(g.uxx), DY = hugeStep ? 0 : toFixed(g.uxy);
  Bounds bounds;

  for (long j = 0; j < h; ++j) {
    unsigned char* out = dst.pointToRow(j);
    const double ax = g.bx + static_cast<double>(j) * g.uyx;
    const double ay = g.by + static_cast<double>(j) * g.uyy;
    long s0, e0, s1, e1;
    if (dx.empty() || dy.empty() || !candidateSpan(ax, g.uxx, loX, hiX, w, s0, e0) ||
        !candidateSpan(ay, g.uxy, loY, hiY, w, s1, e1) || std::max(s0, s1) > std::min(e0, e1)) {
      fillSpan(out, 0, w, fill);
      continue;
    }
    const long is = std::max(s0, s1), ie = std::min(e0, e1);
    const i64 Xs = toFixed(ax + static_cast<double>(is) * g.uxx) + bias;
    const i64 Ys = toFixed(ay + static_cast<double>(is) * g.uxy) + bias;

    if (hugeStep) {
      long first = LONG_MAX, last = LONG_MIN;
      for (long i = is; i <= ie; ++i) {
        const i64 X = toFixed(ax + static_cast<double>(i) * g.uxx) + bias;
        const i64 Y = toFixed(ay + static_cast<double>(i) * g.uxy) + bias;
        if (X >= dx.lo && X <= dx.hi && Y >= dy.lo && Y <= dy.hi) {
          out[i] = K::slow(src, X, Y);
          first = std::min(first, i);
          last = i;
        } else {
          out[i] = fill;
        }
      }
      fillSpan(out, 0, is, fill);
      fillSpan(out, ie + 1, w, fill);
      if (first <= last) bounds.add(first, last, j);
      continue;
    }

    // Exact spans on the fixed-point sequence X(k) = Xs + k DX, k = i - is.
    long k0 = 0, k1 = ie - is;
    narrow(Xs, DX, dx.lo, dx.hi, k0, k1);
    narrow(Ys, DY, dy.lo, dy.hi, k0, k1);
    if (k0 > k1) {
      fillSpan(out, 0, w, fill);
      continue;
    }
    long f0 = k0, f1 = k1;
    narrow(Xs, DX, dx.lo, dx.fastHi, f0, f1);
    narrow(Ys, DY, dy.lo, dy.fastHi, f0, f1);
    if (f0 > f1) f0 = k1 + 1, f1 = k1;  // no fast part: everything slow

    fillSpan(out, 0, is + k0, fill);
    fillSpan(out, is + k1 + 1, w, fill);
    for (long k = k0; k < f0; ++k) out[is + k] = K::slow(src, Xs + k * DX, Ys + k * DY);
    {
      i64 X = Xs + f0 * DX, Y = Ys + f0 * DY;
      unsigned char* o = out + is;
      for (long k = f0; k <= f1; ++k, X += DX, Y += DY) o[k] = K::fast(src, X, Y);
    }
    for (long k = std::max(f1 + 1, f0); k <= k1; ++k)
      out[is + k] = K::slow(src, Xs + k * DX, Ys + k * DY);
    bounds.add(is + k0, is + k1, j);
  }
  return bounds.rect();
}

// Positions of the n destination columns (or rows) of an axis-parallel rectangle: a + i d in
// source pels. Returns the covered range [c0, c1] (c0 > c1 when none) and, for the covered
// ones, first tap index, second tap index (clamped) and weight fraction.
struct Axis {
  std::vector<long> i0, i1;
  std::vector<short> t;
  long c0 = 0, c1 = -1;
};

Axis axisTable(double a, double d, long n, long side, const Domain& dom, i64 bias) {
  Axis ax;
  const double lo = static_cast<double>(dom.lo / kOne) - 2, hi = static_cast<double>(side) + 2;
  long s, e;
  if (dom.empty() || !candidateSpan(a, d, lo, hi, n, s, e)) return ax;
  ax.c0 = LONG_MAX;
  for (long i = s; i <= e; ++i) {
    const i64 X = toFixed(a + static_cast<double>(i) * d) + bias;
    if (X < dom.lo || X > dom.hi) continue;
    ax.c0 = std::min(ax.c0, i);
    ax.c1 = i;
  }
  if (ax.c1 < ax.c0) {
    ax.c0 = 0;
    ax.c1 = -1;
    return ax;
  }
  const auto m = static_cast<std::size_t>(ax.c1 - ax.c0 + 1);
  ax.i0.resize(m);
  ax.i1.resize(m);
  ax.t.resize(m);
  for (long i = ax.c0; i <= ax.c1; ++i) {
    const i64 X = toFixed(a + static_cast<double>(i) * d) + bias;
    const auto k = static_cast<std::size_t>(i - ax.c0);
    ax.i0[k] = clampIndex(X >> kFrac, side);
    ax.i1[k] = clampIndex((X >> kFrac) + 1, side);
    ax.t[k] = static_cast<short>(fracOf(X));
  }
  return ax;
}

// Fills everything of dst outside the rectangle [c0, c1] x [r0, r1].
void fillOutside(const ccPelBuffer<unsigned char>& dst, long c0, long c1, long r0, long r1,
                 unsigned char fill) {
  for (long j = 0; j < dst.height(); ++j) {
    unsigned char* out = dst.pointToRow(j);
    if (j < r0 || j > r1 || c0 > c1) {
      fillSpan(out, 0, dst.width(), fill);
    } else {
      fillSpan(out, 0, c0, fill);
      fillSpan(out, c1 + 1, dst.width(), fill);
    }
  }
}

// Separable nearest sampling of an axis-parallel rectangle.
ccAffineSampledRect sampleSeparableNearest(const Source& src, const Geometry& g,
                                           const ccPelBuffer<unsigned char>& dst,
                                           unsigned char fill) {
  const auto mode = ccAffineSamplingParams::eNearest;
  const i64 bias = biasFor(mode);
  const Axis cols = axisTable(g.bx, g.uxx, dst.width(), src.w, domainFor(mode, src.w), bias);
  const Axis rows = axisTable(g.by, g.uyy, dst.height(), src.h, domainFor(mode, src.h), bias);
  fillOutside(dst, cols.c0, cols.c1, rows.c0, rows.c1, fill);
  if (cols.c0 > cols.c1 || rows.c0 > rows.c1) return {};
  const long n = cols.c1 - cols.c0 + 1;
  const long* xs = cols.i0.data();
  long prev = -1;
  for (long j = rows.c0; j <= rows.c1; ++j) {
    unsigned char* out = dst.pointToRow(j) + cols.c0;
    const long yi = rows.i0[static_cast<std::size_t>(j - rows.c0)];
    if (yi == prev) {
      std::memcpy(out, dst.pointToRow(j - 1) + cols.c0, static_cast<std::size_t>(n));
      continue;
    }
    const unsigned char* in = src.base + yi * src.stride;
    for (long k = 0; k < n; ++k) out[k] = in[xs[k]];
    prev = yi;
  }
  return {cols.c0, rows.c0, n, rows.c1 - rows.c0 + 1};
}

// Kernels of the separable bilinear path. Horizontal values are pels times 2^kQ (at most
// 255 * 128, so they fit int16); the vertical blend rounds once at the end, so both passes
// together equal the per-pel bilinear formula exactly.

// Column taps: first source index x and the weight pair ((128 - t) low, t high). With pairs
// set the second tap is x + 1 (also at the right edge, where the weight moves to it).
struct ColumnTaps {
  std::vector<std::int32_t> x;
  std::vector<std::int32_t> w;
  bool pairs = true;
};

ColumnTaps columnTaps(const Axis& cols, long side) {
  ColumnTaps taps;
  const std::size_t n = cols.i0.size();
  taps.x.resize(n);
  taps.w.resize(n);
  taps.pairs = side >= 2;
  for (std::size_t k = 0; k < n; ++k) {
    long x = cols.i0[k];
    int t = cols.t[k];
    if (taps.pairs && x == side - 1) x = side - 2, t = kQOne;  // t was 0: same value
    taps.x[k] = static_cast<std::int32_t>(x);
    taps.w[k] = static_cast<std::int32_t>((kQOne - t) | (t << 16));
  }
  return taps;
}

#ifdef __SSE2__
inline int load2(const unsigned char* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
#endif

void horizontalRow(const unsigned char* in, const ColumnTaps& taps, std::int16_t* out) {
  const long n = static_cast<long>(taps.x.size());
  const std::int32_t* x = taps.x.data();
  const std::int32_t* w = taps.w.data();
  long k = 0;
#ifdef __SSE2__
  if (taps.pairs) {
    // Eight pel pairs gathered as 16-bit words, widened, multiplied by their weight pairs.
    const __m128i zero = _mm_setzero_si128();
    for (; k + 8 <= n; k += 8) {
      __m128i v = _mm_cvtsi32_si128(load2(in + x[k]));
      v = _mm_insert_epi16(v, load2(in + x[k + 1]), 1);
      v = _mm_insert_epi16(v, load2(in + x[k + 2]), 2);
      v = _mm_insert_epi16(v, load2(in + x[k + 3]), 3);
      v = _mm_insert_epi16(v, load2(in + x[k + 4]), 4);
      v = _mm_insert_epi16(v, load2(in + x[k + 5]), 5);
      v = _mm_insert_epi16(v, load2(in + x[k + 6]), 6);
      v = _mm_insert_epi16(v, load2(in + x[k + 7]), 7);
      const __m128i wl = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + k));
      const __m128i wh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + k + 4));
      const __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), wl);
      const __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), wh);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packs_epi32(lo, hi));
    }
  }
#endif
  for (; k < n; ++k) {
    const unsigned char* p = in + x[k];
    const int second = taps.pairs ? p[1] : p[0];
    out[k] = static_cast<std::int16_t>(p[0] * (w[k] & 0xFFFF) + second * (w[k] >> 16));
  }
}

// out = (h0 a + h1 b + 2^13) >> 14, a + b = 128.
void verticalBlend(const std::int16_t* h0, const std::int16_t* h1, int a, int b, unsigned char* out,
                   long n) {
  long k = 0;
#ifdef __SSE2__
  const __m128i wv = _mm_set1_epi32(a | (b << 16));
  const __m128i rnd = _mm_set1_epi32(1 << (2 * kQ - 1));
  auto blend8 = [&](long o) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h0 + o));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h1 + o));
    __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi16(p, q), wv);
    __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi16(p, q), wv);
    lo = _mm_srai_epi32(_mm_add_epi32(lo, rnd), 2 * kQ);
    hi = _mm_srai_epi32(_mm_add_epi32(hi, rnd), 2 * kQ);
    return _mm_packs_epi32(lo, hi);
  };
  for (; k + 16 <= n; k += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                     _mm_packus_epi16(blend8(k), blend8(k + 8)));
#endif
  for (; k < n; ++k)
    out[k] = static_cast<unsigned char>((h0[k] * a + h1[k] * b + (1 << (2 * kQ - 1))) >> (2 * kQ));
}

// out = (h0 + 64) >> 7: a row that needs no vertical blend.
void roundRow(const std::int16_t* h0, unsigned char* out, long n) {
  long k = 0;
#ifdef __SSE2__
  const __m128i half = _mm_set1_epi16(1 << (kQ - 1));
  auto round8 = [&](long o) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h0 + o));
    return _mm_srli_epi16(_mm_add_epi16(p, half), kQ);
  };
  for (; k + 16 <= n; k += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                     _mm_packus_epi16(round8(k), round8(k + 8)));
#endif
  for (; k < n; ++k) out[k] = static_cast<unsigned char>((h0[k] + (1 << (kQ - 1))) >> kQ);
}

// Separable bilinear sampling of an axis-parallel rectangle.
ccAffineSampledRect sampleSeparableBilinear(const Source& src, const Geometry& g,
                                            const ccPelBuffer<unsigned char>& dst,
                                            unsigned char fill) {
  const auto mode = ccAffineSamplingParams::eBilinear;
  const i64 bias = biasFor(mode);
  const Axis cols = axisTable(g.bx, g.uxx, dst.width(), src.w, domainFor(mode, src.w), bias);
  const Axis rows = axisTable(g.by, g.uyy, dst.height(), src.h, domainFor(mode, src.h), bias);
  fillOutside(dst, cols.c0, cols.c1, rows.c0, rows.c1, fill);
  if (cols.c0 > cols.c1 || rows.c0 > rows.c1) return {};
  const long n = cols.c1 - cols.c0 + 1;
  const ColumnTaps taps = columnTaps(cols, src.w);

  // Two horizontally interpolated source rows, tagged by source row index.
  std::vector<std::int16_t> bufA(static_cast<std::size_t>(n)), bufB(static_cast<std::size_t>(n));
  std::int16_t* h0 = bufA.data();
  std::int16_t* h1 = bufB.data();
  long row0 = -1, row1 = -1;
  for (long j = rows.c0; j <= rows.c1; ++j) {
    const auto r = static_cast<std::size_t>(j - rows.c0);
    const long y0 = rows.i0[r], y1 = rows.i1[r];
    const int ty = rows.t[r];
    if (row0 != y0) {
      if (row1 == y0) {
        std::swap(h0, h1);
        std::swap(row0, row1);
      } else {
        horizontalRow(src.base + y0 * src.stride, taps, h0);
        row0 = y0;
      }
    }
    unsigned char* out = dst.pointToRow(j) + cols.c0;
    if (ty == 0) {
      roundRow(h0, out, n);
      continue;
    }
    if (row1 != y1) {
      horizontalRow(src.base + y1 * src.stride, taps, h1);
      row1 = y1;
    }
    verticalBlend(h0, h1, kQOne - ty, ty, out, n);
  }
  return {cols.c0, rows.c0, n, rows.c1 - rows.c0 + 1};
}

// Separable bicubic sampling of an axis-parallel rectangle: the same integer arithmetic as
// Bicubic::slow (unrounded horizontal sums, one rounding at the end), done as a horizontal
// pass per source row and a 4-row vertical pass.
ccAffineSampledRect sampleSeparableBicubic(const Source& src, const Geometry& g,
                                           const ccPelBuffer<unsigned char>& dst,
                                           unsigned char fill) {
  const auto mode = ccAffineSamplingParams::eBicubic;
  const i64 bias = biasFor(mode);
  const Axis cols = axisTable(g.bx, g.uxx, dst.width(), src.w, domainFor(mode, src.w), bias);
  const Axis rows = axisTable(g.by, g.uyy, dst.height(), src.h, domainFor(mode, src.h), bias);
  fillOutside(dst, cols.c0, cols.c1, rows.c0, rows.c1, fill);
  if (cols.c0 > cols.c1 || rows.c0 > rows.c1) return {};
  const long n = cols.c1 - cols.c0 + 1;
  const auto un = static_cast<std::size_t>(n);
  const CubicTable& table = cubicTable();

  // Column taps: four clamped indices and four weights per destination column.
  std::vector<std::int32_t> xs(4 * un), wx(4 * un);
  for (std::size_t k = 0; k < un; ++k)
    for (int t = 0; t < 4; ++t) {
      xs[4 * k + t] = static_cast<std::int32_t>(clampIndex(cols.i0[k] - 1 + t, src.w));
      wx[4 * k + t] = table.w[cols.t[k]][t];
    }
  // Four horizontally filtered source rows, tagged by source row index.
  std::vector<std::int32_t> store(4 * un);
  long tag[4] = {-1, -1, -1, -1};
  auto horizontal = [&](long y, std::int32_t* out) {
    const unsigned char* in = src.base + y * src.stride;
    const std::int32_t* x = xs.data();
    const std::int32_t* w = wx.data();
    for (std::size_t k = 0; k < un; ++k, x += 4, w += 4)
      out[k] = in[x[0]] * w[0] + in[x[1]] * w[1] + in[x[2]] * w[2] + in[x[3]] * w[3];
  };

  for (long j = rows.c0; j <= rows.c1; ++j) {
    const auto r = static_cast<std::size_t>(j - rows.c0);
    long need[4];
    for (int t = 0; t < 4; ++t) need[t] = clampIndex(rows.i0[r] - 1 + t, src.h);
    const std::int32_t* h[4];
    for (int t = 0; t < 4; ++t) {
      int slot = -1;
      for (int q = 0; q < 4 && slot < 0; ++q)
        if (tag[q] == need[t]) slot = q;
      if (slot < 0) {
        // Reuse a slot that holds none of the rows this destination row needs.
        for (int q = 0; q < 4 && slot < 0; ++q)
          if (std::find(need, need + 4, tag[q]) == need + 4) slot = q;
        horizontal(need[t], store.data() + static_cast<std::size_t>(slot) * un);
        tag[slot] = need[t];
      }
      h[t] = store.data() + static_cast<std::size_t>(slot) * un;
    }
    const int* wy = table.w[rows.t[r]];
    unsigned char* out = dst.pointToRow(j) + cols.c0;
    for (std::size_t k = 0; k < un; ++k)
      out[k] = clampByte((h[0][k] * wy[0] + h[1][k] * wy[1] + h[2][k] * wy[2] + h[3][k] * wy[3] +
                          Bicubic::kRound) >>
                         (2 * kCubicBits));
  }
  return {cols.c0, rows.c0, n, rows.c1 - rows.c0 + 1};
}

void checkCorner(const ccVector<2>& v) {
  if (!std::isfinite(v.x()) || !std::isfinite(v.y()))
    cc_detail::throwBadParams("affine rectangle corner is not finite");
}

}  // namespace

ccAffineSamplingParams::ccAffineSamplingParams(const ccVector<2>& origin,
                                               const ccVector<2>& xCorner,
                                               const ccVector<2>& yCorner, long width, long height,
                                               Interpolation interp) {
  corners(origin, xCorner, yCorner);
  size(width, height);
  interpolation(interp);
}

void ccAffineSamplingParams::corners(const ccVector<2>& origin, const ccVector<2>& xCorner,
                                     const ccVector<2>& yCorner) {
  checkCorner(origin);
  checkCorner(xCorner);
  checkCorner(yCorner);
  origin_ = origin;
  xCorner_ = xCorner;
  yCorner_ = yCorner;
}

void ccAffineSamplingParams::size(long width, long height) {
  if (width < 0 || height < 0) cc_detail::throwBadParams("negative sampling size");
  width_ = width;
  height_ = height;
}

void ccAffineSamplingParams::interpolation(Interpolation interp) {
  if (interp != eNearest && interp != eBilinear && interp != eBicubic)
    cc_detail::throwBadParams("unknown interpolation");
  interpolation_ = interp;
}

ccAffineSampledRect cfAffineTransformImage(const ccPelBuffer_const<unsigned char>& src,
                                           const ccAffineSamplingParams& params,
                                           ccPelBuffer<unsigned char>& dst, unsigned char fill) {
  if (!src.isBound()) cc_detail::throwUnbound();
  const long w = params.width(), h = params.height();
  if (src.width() >= kMaxSourceSide || src.height() >= kMaxSourceSide)
    cc_detail::throwBadParams("source too large for affine sampling");
  if (!dst.isBound()) {
    dst = ccPelBuffer<unsigned char>(w, h);
  } else if (dst.width() != w || dst.height() != h) {
    cc_detail::throwBadParams("destination window differs from the sampling size");
  }
  if (w == 0 || h == 0) return {};

  // Source pel coordinates: a source point p is at p - offset - 0.5.
  const ccVector<2> po = params.origin();
  const ccVector<2> ex = params.xCorner() - po, ey = params.yCorner() - po;
  const ccVector<2> ux = ex / static_cast<double>(w), uy = ey / static_cast<double>(h);
  const ccPair<long> off = src.offset();
  const ccVector<2> b =
      po + 0.5 * ux + 0.5 * uy -
      ccVector<2>(static_cast<double>(off.first) + 0.5, static_cast<double>(off.second) + 0.5);
  const Geometry g{b.x(), b.y(), ux.x(), ux.y(), uy.x(), uy.y()};
  for (double v : {g.bx, g.by, g.uxx, g.uxy, g.uyx, g.uyy})
    if (!std::isfinite(v)) cc_detail::throwBadParams("affine rectangle too large");

  const Source s{src.width() > 0 && src.height() > 0 ? src.pointToRow(0) : nullptr,
                 src.width() > 0 && src.height() > 0 ? src.rowUpdate() : 0, src.width(),
                 src.height()};
  if (s.w == 0 || s.h == 0) {
    cfPelSet(dst, fill);
    return {};
  }
  const bool axisParallel = g.uxy == 0 && g.uyx == 0;
  switch (params.interpolation()) {
    case ccAffineSamplingParams::eNearest:
      if (axisParallel) return sampleSeparableNearest(s, g, dst, fill);
      return sampleGeneral<Nearest>(s, g, params.interpolation(), dst, fill);
    case ccAffineSamplingParams::eBilinear:
      if (axisParallel) return sampleSeparableBilinear(s, g, dst, fill);
      return sampleGeneral<Bilinear>(s, g, params.interpolation(), dst, fill);
    case ccAffineSamplingParams::eBicubic:
    default:
      if (axisParallel) return sampleSeparableBicubic(s, g, dst, fill);
      return sampleGeneral<Bicubic>(s, g, params.interpolation(), dst, fill);
  }
}
