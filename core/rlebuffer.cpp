#include <core/rlebuffer.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kSource = "core/rlebuffer";

// Bytes of a well-formed row of the given width (runs summing to width, then a zero-length
// run), or 0 when the row is malformed. Reads at most width + 1 runs.
std::size_t validRowBytes(const unsigned char* row, long width) {
  if (!row) return 0;
  long sum = 0;
  for (std::size_t i = 0;; i += 2) {
    const unsigned char len = row[i + 1];
    if (len == 0) return sum == width ? i + 2 : 0;
    sum += len;
    if (sum > width) return 0;
  }
}

void appendRun(std::vector<unsigned char>& runs, unsigned char value, long length) {
  while (length > 0) {
    const long n = std::min(length, 255L);
    runs.push_back(value);
    runs.push_back(static_cast<unsigned char>(n));
    length -= n;
  }
}

void endRow(std::vector<unsigned char>& runs) {
  runs.push_back(0);
  runs.push_back(0);
}

}  // namespace

void ccRLEBuffer::checkRow(long y) const {
  if (y < 0 || y >= height_) cc_detail::throwBadParams("run-length row outside the image");
}

const unsigned char* ccRLEBuffer::pointToRow(long y) const {
  checkRow(y);
  return runs_.data() + rowStart_[static_cast<std::size_t>(y)];
}

std::size_t ccRLEBuffer::rowBytes(long y) const {
  checkRow(y);
  const auto i = static_cast<std::size_t>(y);
  return rowStart_[i + 1] - rowStart_[i];
}

void ccRLEBuffer::encode(const ccPelBuffer_const<unsigned char>& src) {
  if (!src.isBound()) cc_detail::throwUnbound();
  const long w = src.width(), h = src.height();
  std::vector<unsigned char> runs;
  std::vector<std::size_t> starts;
  starts.reserve(static_cast<std::size_t>(h) + 1);
  for (long y = 0; y < h; ++y) {
    starts.push_back(runs.size());
    const unsigned char* row = src.pointToRow(y);
    long x = 0;
    while (x < w) {
      const unsigned char v = row[x];
      long n = 1;
      while (x + n < w && row[x + n] == v) ++n;
      appendRun(runs, v, n);
      x += n;
    }
    endRow(runs);
  }
  if (h > 0) starts.push_back(runs.size());
  mutating();
  width_ = w;
  height_ = h;
  offset_ = src.offset();
  runs_.swap(runs);
  rowStart_.swap(starts);
}

void ccRLEBuffer::decode(ccPelBuffer<unsigned char>& dst) const {
  if (!dst.isBound()) {
    ccPelBuffer<unsigned char> fresh(width_, height_);
    fresh.offset(offset_);
    dst = fresh;
  }
  const long dw = dst.width(), dh = dst.height();
  // This image's pel (0, 0) in dst's window coordinates.
  const long dx = offset_.first - dst.offset().first;
  const long dy = offset_.second - dst.offset().second;
  for (long y = 0; y < height_; ++y) {
    const long ty = dy + y;
    if (ty < 0 || ty >= dh) continue;
    unsigned char* out = dst.pointToRow(ty);
    const unsigned char* run = pointToRow(y);
    for (long x = dx; run[1] != 0 && x < dw; run += 2) {
      const long s = std::max(x, 0L), e = std::min(x + run[1], dw);
      if (e > s) std::memset(out + s, run[0], static_cast<std::size_t>(e - s));
      x += run[1];
    }
  }
}

ccRLEBuffer ccRLEBuffer::subWindow(long x, long y, long w, long h) const {
  if (w < 0 || h < 0) cc_detail::throwBadParams("negative window size");
  const long l = cc_detail::satAdd(x, -offset_.first), t = cc_detail::satAdd(y, -offset_.second);
  const long r = cc_detail::satAdd(l, w), b = cc_detail::satAdd(t, h);
  const long cl = std::clamp(l, 0L, width_), ct = std::clamp(t, 0L, height_);
  const long cr = std::clamp(r, cl, width_), cb = std::clamp(b, ct, height_);

  ccRLEBuffer out;
  out.width_ = cr - cl;
  out.height_ = cb - ct;
  out.offset_ = ccPair<long>(offset_.first + cl, offset_.second + ct);
  for (long row = ct; row < cb; ++row) {
    out.rowStart_.push_back(out.runs_.size());
    // Cut runs are merged with equal neighbours, so the result is the canonical encoding.
    long pos = 0, pending = 0;
    unsigned char value = 0;
    for (const unsigned char* run = pointToRow(row); run[1] != 0 && pos < cr; run += 2) {
      const long s = std::max(pos, cl), e = std::min(pos + run[1], cr);
      pos += run[1];
      if (e <= s) continue;
      if (pending > 0 && run[0] != value) {
        appendRun(out.runs_, value, pending);
        pending = 0;
      }
      value = run[0];
      pending += e - s;
    }
    appendRun(out.runs_, value, pending);
    endRow(out.runs_);
  }
  if (out.height_ > 0) out.rowStart_.push_back(out.runs_.size());
  return out;
}

void ccRLEBuffer::becomeOwner(long width, const unsigned char* const* rows, long rowCount,
                              const ccPair<long>& offset) {
  if (width < 0 || rowCount < 0) cc_detail::throwBadParams("negative run-length image size");
  if (!rows && rowCount > 0) cc_detail::throwBadParams("no rows");
  // Check every row before anything changes.
  std::vector<std::size_t> starts;
  starts.reserve(static_cast<std::size_t>(rowCount) + 1);
  std::size_t total = 0;
  for (long y = 0; y < rowCount; ++y) {
    const std::size_t n = validRowBytes(rows[y], width);
    if (n == 0)
      cc_detail::throwBadParams(rows[y] ? "run lengths do not sum to the width" : "null row");
    starts.push_back(total);
    total += n;
  }
  if (rowCount > 0) starts.push_back(total);
  std::vector<unsigned char> runs(total);
  for (long y = 0; y < rowCount; ++y) {
    const auto i = static_cast<std::size_t>(y);
    std::memcpy(runs.data() + starts[i], rows[y], starts[i + 1] - starts[i]);
  }
  mutating();
  width_ = width;
  height_ = rowCount;
  offset_ = offset;
  runs_.swap(runs);
  rowStart_.swap(starts);
}

void ccRLEBuffer::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  long w = width_, h = height_, ox = offset_.first, oy = offset_.second;
  ar || w || h || ox || oy;
  if (ar.isStoring()) {
    ar.writeBytes(runs_.data(), runs_.size());
    return;
  }
  if (w < 0 || h < 0) throw ccArchive::BadData("negative run-length image size");
  ar.checkCount(static_cast<std::uint64_t>(h), 2);
  std::vector<unsigned char> runs;
  std::vector<std::size_t> starts;
  for (long y = 0; y < h; ++y) {
    starts.push_back(runs.size());
    long sum = 0;
    for (;;) {
      unsigned char v = 0, len = 0;
      ar || v || len;
      runs.push_back(v);
      runs.push_back(len);
      if (len == 0) break;
      sum += len;
      if (sum > w) throw ccArchive::BadData("run lengths exceed the width");
    }
    if (sum != w) throw ccArchive::BadData("run lengths do not sum to the width");
  }
  if (h > 0) starts.push_back(runs.size());
  mutating();
  width_ = w;
  height_ = h;
  offset_ = ccPair<long>(ox, oy);
  runs_.swap(runs);
  rowStart_.swap(starts);
}
