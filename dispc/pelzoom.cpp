// The pel-buffer zoom workers of ccUIScope: pixel replication by whole factors (pelExpand) and
// zooming by any scale (pelScale: nearest sample, replication for whole-number scales, or
// smoothing through the affine sampler). One template body serves every pel type; the member
// overloads only forward to it. Pels are moved as unsigned integers of their size, which is
// what the packed RGB pel classes hold.
#include <dispc/scope.h>

#include <core/affinesample.h>
#include <core/assert.h>
#include <dispc/tolerance.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Byte shuffles (SSSE3) are used when the processor has them, found out at run time.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <tmmintrin.h>
#define DISPC_ZOOM_SSSE3 1
#endif

namespace {

constexpr const char* kFile = "dispc/pelzoom";
// Rows of the buffers made here are padded to this many pels.
constexpr long kRowAlignment = 32;
// The affine sampler's destination is kept within this many pels each way.
constexpr long kSamplerLimit = 32767;
// Zoomed extents beyond this are not represented (ccUIRect::inf's size).
constexpr long kExtentLimit = 2147483647L;

template <std::size_t N>
struct RawBySize;
template <>
struct RawBySize<1> {
  using type = std::uint8_t;
};
template <>
struct RawBySize<2> {
  using type = std::uint16_t;
};
template <>
struct RawBySize<4> {
  using type = std::uint32_t;
};
template <class T>
using Raw = typename RawBySize<sizeof(T)>::type;

template <class T>
Raw<T>* raw(T* p) {
  static_assert(std::is_trivially_copyable<T>::value, "pels are copied as bytes");
  return reinterpret_cast<Raw<T>*>(p);
}
template <class T>
const Raw<T>* raw(const T* p) {
  return reinterpret_cast<const Raw<T>*>(p);
}

template <class V>
inline void store(void* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

long saturatedMul(long a, long b) {
  long r;
  return __builtin_mul_overflow(a, b, &r) ? LONG_MAX : r;
}

// A buffer for a w x h result. dst's own pels serve again when dst alone holds an owned
// buffer of that shape which is not the source: no one else can see them, and every pel is
// written. Otherwise a new buffer (allocating and clearing a large one costs about as much as
// zooming into it).
template <class T>
ccPelBuffer<T> destination(const ccPelBuffer_const<T>& src, const ccPelBuffer<T>& dst, long w,
                           long h) {
  const auto& root = dst.root();
  if (root && root != src.root() && root->isOwner() && root->refCount() == 1 &&
      root->width() == w && root->height() == h &&
      root->rowUpdate() == (w + kRowAlignment - 1) / kRowAlignment * kRowAlignment) {
    return ccPelBuffer<T>(root);
  }
  return ccPelBuffer<T>(w, h, kRowAlignment);
}

// ---- Replication

#ifdef DISPC_ZOOM_SSSE3
bool haveSsse3() {
  static const bool yes = __builtin_cpu_supports("ssse3");
  return yes;
}

// Bytes tripled, 16 source bytes at a time; returns how many were done.
__attribute__((target("ssse3"))) long tripleBytes(const std::uint8_t* s, std::uint8_t* d, long n) {
  const __m128i m0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i m1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i m2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  long i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    __m128i* o = reinterpret_cast<__m128i*>(d + 3 * i);
    _mm_storeu_si128(o, _mm_shuffle_epi8(v, m0));
    _mm_storeu_si128(o + 1, _mm_shuffle_epi8(v, m1));
    _mm_storeu_si128(o + 2, _mm_shuffle_epi8(v, m2));
  }
  return i;
}
#endif

// Writes n blocks of f pels, block i of value s[i], from d on; nothing past d + n f.
template <class U>
void spread(const U* s, U* d, long n, long f) {
  if (n <= 0) return;
  if (f == 1) {
    std::memcpy(d, s, static_cast<std::size_t>(n) * sizeof(U));
    return;
  }
  long i = 0;
  if constexpr (sizeof(U) == 1) {
    if (f == 2) {
#if defined(__SSE2__)
      for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i), _mm_unpacklo_epi8(v, v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i + 16), _mm_unpackhi_epi8(v, v));
      }
#endif
      for (; i < n; ++i) store(d + 2 * i, static_cast<std::uint16_t>(s[i] * 0x0101u));
      return;
    }
    if (f == 4) {
#if defined(__SSE2__)
      for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i lo = _mm_unpacklo_epi8(v, v), hi = _mm_unpackhi_epi8(v, v);
        __m128i* o = reinterpret_cast<__m128i*>(d + 4 * i);
        _mm_storeu_si128(o, _mm_unpacklo_epi16(lo, lo));
        _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(lo, lo));
        _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(hi, hi));
        _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(hi, hi));
      }
#endif
      for (; i < n; ++i) store(d + 4 * i, static_cast<std::uint32_t>(s[i] * 0x01010101u));
      return;
    }
#ifdef DISPC_ZOOM_SSSE3
    if (f == 3 && haveSsse3()) i = tripleBytes(s, d, n);
#endif
    if (f <= 8) {
      // One 8-byte store per block, reaching into the next block, which is written after it.
      // The last blocks (those whose store would pass the end) are written exactly.
      const long fast = n - (8 + f - 1) / f;
      for (; i < fast; ++i) store(d + f * i, std::uint64_t{s[i]} * 0x0101010101010101ull);
    }
    for (; i < n; ++i) std::memset(d + f * i, s[i], static_cast<std::size_t>(f));
  } else {
    if (f == 2) {
      // Both pels of a block in one store of twice the width.
      using Pair = std::conditional_t<sizeof(U) == 2, std::uint32_t, std::uint64_t>;
      for (; i < n; ++i) {
        const Pair v = s[i];
        store(d + 2 * i, static_cast<Pair>(v | (v << (8 * sizeof(U)))));
      }
      return;
    }
    for (; i < n; ++i, d += f) std::fill_n(d, f, s[i]);
  }
}

// One destination row of width pels: the first block (first <= f pels wide) from s[0], then
// blocks of f from s[1] on, the last one cut at width. The caller guarantees enough source
// pels (width <= first + (count - 1) f).
template <class U>
void replicateRow(const U* s, U* d, long first, long f, long width) {
  const long w0 = std::min(first, width);
  std::fill_n(d, w0, s[0]);
  const long full = (width - w0) / f;
  spread(s + 1, d + w0, full, f);
  const long done = w0 + full * f;
  if (done < width) std::fill_n(d + done, width - done, s[1 + full]);
}

template <class T>
void replicate(const ccPelBuffer_const<T>& src, ccPelBuffer<T>& dst, long fx, long fy,
               ccUIRect& changed, const ccPair<long>& phase) {
  if (fx < 1 || fy < 1) {
    cstd_assert_(__LINE__, kFile);
    changed = ccUIRect::null;
    return;
  }
  const long sw = src.width(), sh = src.height();
  const long cutX = std::max(0L, -phase.first), cutY = std::max(0L, -phase.second);
  const long firstW = fx - cutX, firstH = fy - cutY;
  // The destination is the whole enlargement (within the requested size) even when the
  // phase cuts the first blocks: the blocks end cutX pels early, and the pels after them
  // (and the rows below them) stay 0.
  const long w = std::min(changed.width(), saturatedMul(sw, fx));
  const long h = std::min(changed.height(), saturatedMul(sh, fy));
  if (sw == 0 || sh == 0 || firstW <= 0 || firstH <= 0 || w <= 0 || h <= 0) {
    changed = ccUIRect::null;
    return;
  }
  const long filledW = std::min(w, saturatedMul(sw, fx) - cutX);
  const long filledH = std::min(h, saturatedMul(sh, fy) - cutY);

  ccPelBuffer<T> out = destination(src, dst, w, h);
  out.offset(changed.ul());
  using U = Raw<T>;
  U* const base = raw(out.pointToRow(0));
  const long step = out.rowUpdate();
  const std::size_t rowBytes = static_cast<std::size_t>(w) * sizeof(U);
  long y = 0;
  for (long sy = 0; y < filledH; ++sy) {
    // Each source row is replicated once; its other rows are copies of that row.
    const long rows = std::min(sy == 0 ? firstH : fy, filledH - y);
    U* const row = base + y * step;
    replicateRow(raw(src.pointToRow(sy)), row, firstW, fx, filledW);
    std::fill(row + filledW, row + w, U());
    for (long r = 1; r < rows; ++r) std::memcpy(row + r * step, row, rowBytes);
    y += rows;
  }
  for (; y < h; ++y) std::fill_n(base + y * step, w, U());
  dst = out;
  changed = ccUIRect(changed.ul(), ccPair<long>(w, h));
}

// ---- Nearest sample

// The source pel shown by destination pel d (counted from the zoomed image's corner). Divides
// rather than multiplying by 1 / scale, so that whole-number scales sample exactly.
inline long sourceIndex(long d, double scale) {
  const double q = static_cast<double>(d) / scale;
  return q < static_cast<double>(kExtentLimit) ? static_cast<long>(q) : kExtentLimit;
}

// Pels of the zoomed image along an axis of count source pels: the d with
// sourceIndex(d) < count.
long zoomedExtent(long count, double scale) {
  const double e = std::ceil(static_cast<double>(count) * scale);
  if (!(e < static_cast<double>(kExtentLimit))) return kExtentLimit;
  long z = static_cast<long>(e);
  while (z > 0 && sourceIndex(z - 1, scale) >= count) --z;
  while (sourceIndex(z, scale) < count) ++z;
  return z;
}

// Destination row d[0, n) from source row s through the column table.
template <class U>
void gatherRow(const U* s, U* d, const std::uint32_t* columns, long n) {
  for (long k = 0; k < n; ++k) d[k] = s[columns[k]];
}

// The same when the table steps evenly: column k is k * stride (s starts at the first column).
template <class U>
void strideRow(const U* s, U* d, long stride, long n) {
  if (stride == 1) {
    std::memcpy(d, s, static_cast<std::size_t>(n) * sizeof(U));
    return;
  }
  long k = 0;
#if defined(__SSE2__)
  if constexpr (sizeof(U) == 1) {
    if (stride == 2) {
      // Even bytes of 32 source bytes, packed into 16. Reads stay within the pels used:
      // the last pair read ends at source pel 2 (k + 15) + 1, which the row has when the
      // next table entry 2 (k + 16) does, i.e. while k + 16 < n.
      const __m128i low = _mm_set1_epi16(0x00FF);
      for (; k + 17 <= n; k += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * k + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k),
                         _mm_packus_epi16(_mm_and_si128(a, low), _mm_and_si128(b, low)));
      }
    }
  }
#endif
  for (; k < n; ++k) d[k] = s[k * stride];
}

template <class T>
void sampleNearest(const ccPelBuffer_const<T>& src, ccPelBuffer<T>& dst, double scale,
                   const ccUIRect& d, const ccPair<long>& origin) {
  const long x0 = d.left() - origin.first, y0 = d.top() - origin.second;
  const long w = d.width(), h = d.height();
  // The source column of every destination column, once per call.
  std::vector<std::uint32_t> columns(static_cast<std::size_t>(w));
  for (long k = 0; k < w; ++k) columns[k] = static_cast<std::uint32_t>(sourceIndex(x0 + k, scale));
  // Reductions by whole factors (and 1:1) step evenly through the source row.
  long stride = w > 1 ? static_cast<long>(columns[1]) - columns[0] : 1;
  for (long k = 2; k < w && stride > 0; ++k) {
    if (static_cast<long>(columns[k]) - columns[k - 1] != stride) stride = 0;
  }

  ccPelBuffer<T> out = destination(src, dst, w, h);
  out.offset(d.ul());
  using U = Raw<T>;
  U* const base = raw(out.pointToRow(0));
  const long step = out.rowUpdate();
  const std::size_t rowBytes = static_cast<std::size_t>(w) * sizeof(U);
  long previous = -1;
  for (long j = 0; j < h; ++j) {
    const long sy = sourceIndex(y0 + j, scale);
    U* const row = base + j * step;
    if (sy == previous) {
      std::memcpy(row, row - step, rowBytes);
      continue;
    }
    const U* const s = raw(src.pointToRow(sy));
    if (stride > 0) {
      strideRow(s + columns[0], row, stride, w);
    } else {
      gatherRow(s, row, columns.data(), w);
    }
    previous = sy;
  }
  dst = out;
}

// ---- Smoothing

ccAffineSamplingParams::Interpolation samplerInterpolation(ccUIScope::InterpolationModes mode) {
  return mode == ccUIScope::eBilinearInterpolation ? ccAffineSamplingParams::eBilinear
                                                   : ccAffineSamplingParams::eBicubic;
}

// The sampler's parameters for destination rectangle d of src zoomed by scale at origin: the
// destination's pels are unit squares, which are scale times smaller in the source.
ccAffineSamplingParams samplingParams(const ccPair<long>& srcOffset, double scale,
                                      const ccUIRect& d, const ccPair<long>& origin,
                                      ccUIScope::InterpolationModes mode) {
  const ccVector<2> po(
      static_cast<double>(srcOffset.first) + static_cast<double>(d.left() - origin.first) / scale,
      static_cast<double>(srcOffset.second) + static_cast<double>(d.top() - origin.second) / scale);
  const ccVector<2> px = po + ccVector<2>(static_cast<double>(d.width()) / scale, 0.0);
  const ccVector<2> py = po + ccVector<2>(0.0, static_cast<double>(d.height()) / scale);
  return ccAffineSamplingParams(po, px, py, d.width(), d.height(), samplerInterpolation(mode));
}

constexpr unsigned char kGrey = 128;

void smooth(const ccPelBuffer_const<unsigned char>& src, ccPelBuffer<unsigned char>& dst,
            double scale, const ccUIRect& d, const ccPair<long>& origin,
            ccUIScope::InterpolationModes mode) {
  ccPelBuffer<unsigned char> out = destination(src, dst, d.width(), d.height());
  // The sampler's fill value makes the uncovered margins grey.
  cfAffineTransformImage(src, samplingParams(src.offset(), scale, d, origin, mode), out, kGrey);
  out.offset(d.ul());
  dst = out;
}

void smooth(const ccPelBuffer_const<ccPackedRGB32Pel>& src, ccPelBuffer<ccPackedRGB32Pel>& dst,
            double scale, const ccUIRect& d, const ccPair<long>& origin,
            ccUIScope::InterpolationModes mode) {
  // Only the source pels that the destination reaches are split into channels: those under
  // it, and three more each way for the interpolation (bicubic reaches two).
  const long sw = src.width(), sh = src.height();
  const auto reach = [scale](long from, long to, long count, long& a, long& b) {
    a = std::clamp(static_cast<long>(std::floor(static_cast<double>(from) / scale)) - 3, 0L, count);
    b = std::clamp(static_cast<long>(std::ceil(static_cast<double>(to) / scale)) + 3, a, count);
  };
  long x0, x1, y0, y1;
  reach(d.left() - origin.first, d.right() - origin.first, sw, x0, x1);
  reach(d.top() - origin.second, d.bottom() - origin.second, sh, y0, y1);
  ccPelBuffer_const<ccPackedRGB32Pel> part = src;
  part.window(src.offset().first + x0, src.offset().second + y0, x1 - x0, y1 - y0);
  const long pw = part.width(), ph = part.height();

  ccPelBuffer<unsigned char> channel[3] = {
      {pw, ph, kRowAlignment}, {pw, ph, kRowAlignment}, {pw, ph, kRowAlignment}};
  for (long y = 0; y < ph; ++y) {
    const std::uint32_t* s = raw(part.pointToRow(y));
    unsigned char* r = channel[0].pointToRow(y);
    unsigned char* g = channel[1].pointToRow(y);
    unsigned char* b = channel[2].pointToRow(y);
    for (long x = 0; x < pw; ++x) {
      r[x] = static_cast<unsigned char>(s[x] >> 16);
      g[x] = static_cast<unsigned char>(s[x] >> 8);
      b[x] = static_cast<unsigned char>(s[x]);
    }
  }
  // The part keeps the source's image coordinates, so the rectangle is the same as for src.
  const ccAffineSamplingParams params = samplingParams(src.offset(), scale, d, origin, mode);
  ccPelBuffer<unsigned char> zoomed[3];
  for (int c = 0; c < 3; ++c) {
    channel[c].offset(part.offset());
    zoomed[c] = ccPelBuffer<unsigned char>(d.width(), d.height(), kRowAlignment);
    cfAffineTransformImage(channel[c], params, zoomed[c], kGrey);
  }

  ccPelBuffer<ccPackedRGB32Pel> out = destination(src, dst, d.width(), d.height());
  for (long y = 0; y < d.height(); ++y) {
    std::uint32_t* o = raw(out.pointToRow(y));
    const unsigned char* r = zoomed[0].pointToRow(y);
    const unsigned char* g = zoomed[1].pointToRow(y);
    const unsigned char* b = zoomed[2].pointToRow(y);
    for (long x = 0; x < d.width(); ++x) {
      o[x] = (std::uint32_t{r[x]} << 16) | (std::uint32_t{g[x]} << 8) | b[x];
    }
  }
  out.offset(d.ul());
  dst = out;
}

template <class T>
constexpr bool kSmoothable =
    std::is_same<T, unsigned char>::value || std::is_same<T, ccPackedRGB32Pel>::value;

// ---- Scaling

template <class T>
void zoom(const ccPelBuffer_const<T>& src, ccPelBuffer<T>& dst, double scale, ccUIRect& clip,
          const ccPair<long>& origin, ccUIScope::InterpolationModes mode) {
  if (!(scale > 0) || !std::isfinite(scale)) {
    cstd_assert_(__LINE__, kFile);
    clip = ccUIRect::null;
    return;
  }
  const long sw = src.width(), sh = src.height();
  if (sw == 0 || sh == 0) {
    clip = ccUIRect::null;
    return;
  }
  const bool smoothing =
      kSmoothable<T> && mode != ccUIScope::eNoInterpolation && scale > 1 && sw >= 8 && sh >= 8;
  const long n = std::lround(scale);
  const bool whole = !smoothing && scale > 1 && std::fabs(scale - n) <= ccZoomFactorTolerance;
  const double s = whole ? static_cast<double>(n) : scale;

  ccUIRect d = ccUIRect(origin, ccPair<long>(zoomedExtent(sw, s), zoomedExtent(sh, s))) & clip;
  if (d.isNull()) {
    clip = ccUIRect::null;
    return;
  }

  if constexpr (kSmoothable<T>) {
    if (smoothing) {
      d.sz(ccPair<long>(std::min(d.width(), kSamplerLimit), std::min(d.height(), kSamplerLimit)));
      smooth(src, dst, scale, d, origin, mode);
      clip = d;
      return;
    }
  }

  if (whole) {
    // Replication from the first source pel the rectangle shows, its block cut by the part of
    // it that lies before the rectangle: pel origin + (dx, dy) shows (dx / n, dy / n).
    const long dx = d.left() - origin.first, dy = d.top() - origin.second;
    ccPelBuffer_const<T> part = src;
    part.window(src.offset().first + dx / n, src.offset().second + dy / n, sw - dx / n,
                sh - dy / n);
    clip = d;
    replicate(part, dst, n, n, clip, ccPair<long>(-(dx % n), -(dy % n)));
    return;
  }

  sampleNearest(src, dst, s, d, origin);
  clip = d;
}

}  // namespace

void ccUIScope::pelExpand(const ccPelBuffer_const<unsigned char>& src,
                          ccPelBuffer<unsigned char>& dst, long fx, long fy, ccUIRect& changed,
                          const ccPair<long>& phase) {
  replicate(src, dst, fx, fy, changed, phase);
}

void ccUIScope::pelExpand(const ccPelBuffer_const<ccPackedRGB16Pel>& src,
                          ccPelBuffer<ccPackedRGB16Pel>& dst, long fx, long fy, ccUIRect& changed,
                          const ccPair<long>& phase) {
  replicate(src, dst, fx, fy, changed, phase);
}

void ccUIScope::pelExpand(const ccPelBuffer_const<ccPackedRGB32Pel>& src,
                          ccPelBuffer<ccPackedRGB32Pel>& dst, long fx, long fy, ccUIRect& changed,
                          const ccPair<long>& phase) {
  replicate(src, dst, fx, fy, changed, phase);
}

void ccUIScope::pelScale(const ccPelBuffer_const<unsigned char>& src,
                         ccPelBuffer<unsigned char>& dst, double s, ccUIRect& clip,
                         const ccPair<long>& origin, InterpolationModes mode) {
  zoom(src, dst, s, clip, origin, mode);
}

void ccUIScope::pelScale(const ccPelBuffer_const<unsigned short>& src,
                         ccPelBuffer<unsigned short>& dst, double s, ccUIRect& clip,
                         const ccPair<long>& origin, InterpolationModes mode) {
  zoom(src, dst, s, clip, origin, mode);
}

void ccUIScope::pelScale(const ccPelBuffer_const<ccPackedRGB16Pel>& src,
                         ccPelBuffer<ccPackedRGB16Pel>& dst, double s, ccUIRect& clip,
                         const ccPair<long>& origin, InterpolationModes mode) {
  zoom(src, dst, s, clip, origin, mode);
}

void ccUIScope::pelScale(const ccPelBuffer_const<ccPackedRGB32Pel>& src,
                         ccPelBuffer<ccPackedRGB32Pel>& dst, double s, ccUIRect& clip,
                         const ccPair<long>& origin, InterpolationModes mode) {
  zoom(src, dst, s, clip, origin, mode);
}
