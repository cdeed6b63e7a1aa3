#include <dispc/scope.h>

#include <core/assert.h>
#include <dispc/tolerance.h>
#include <dispc/tolfloor.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

constexpr const char* kFile = "dispc/scope";

// Integer zoom factors must be at least 1 in both directions.
bool checkFactor(const ccPair<long>& f, int line) {
  if (f.first >= 1 && f.second >= 1) return true;
  cstd_assert_(line, kFile);
  return false;
}

ccPair<double> reduction(const ccPair<long>& f) {
  return ccPair<double>(1.0 / static_cast<double>(f.first), 1.0 / static_cast<double>(f.second));
}

ccPair<double> enlargement(const ccPair<long>& f) {
  return ccPair<double>(static_cast<double>(f.first), static_cast<double>(f.second));
}

// Scale factors of the run-length forms must be positive (NaN is not).
bool checkScale(const ccPair<double>& s, int line) {
  if (s.first > 0 && s.second > 0) return true;
  cstd_assert_(line, kFile);
  return false;
}

// The whole number n >= 1 within ccZoomFactorTolerance of v, looked for from trunc(v) upwards; 0
// when there is none.
long wholeFactor(double v) {
  if (!(v > 0.5) || !(v < 2147483647.0)) return 0;
  const long t = static_cast<long>(v);
  for (long n = std::max(t, 1L); n <= t + 1; ++n) {
    if (std::fabs(v - static_cast<double>(n)) <= ccZoomFactorTolerance) return n;
  }
  return 0;
}

// A run-length image decoded into 8-bit pels for the 8-bit slots, which have no colour map:
// each value goes through the map (a value without an entry stands for itself), except the
// pass value when pass is set, which stays as it is so that the same pels are transparent.
// The slots take the whole image (their zoom is anchored at its first pel, and cutting it would
// move every later pel by the rounding of the cut's zoomed position), so it is decoded whole
// even when little of it shows: at most 255 pels for each 2-byte run of the image, which
// bounds the memory by the size of the file it came from.
ccPelBuffer<unsigned char> decodeMapped(const ccRLEBuffer& image,
                                        const std::vector<unsigned char>& colorMap, bool pass,
                                        unsigned char passValue) {
  unsigned char lut[256];
  for (int v = 0; v < 256; ++v) {
    const auto u = static_cast<std::size_t>(v);
    lut[v] = (pass && v == passValue) || u >= colorMap.size() ? static_cast<unsigned char>(v)
                                                              : colorMap[u];
  }
  ccPelBuffer<unsigned char> out(image.width(), image.height());
  out.offset(image.offset());
  for (long y = 0; y < image.height(); ++y) {
    unsigned char* row = out.pointToRow(y);
    for (const unsigned char* run = image.pointToRow(y); run[1] != 0; run += 2) {
      std::memset(row, lut[run[0]], run[1]);
      row += run[1];
    }
  }
  return out;
}

// Builds the rows of a run-length image run by run: neighbouring runs of one value merge,
// runs longer than 255 are split.
class RunRows {
 public:
  void run(unsigned char value, long length) {
    if (length <= 0) return;
    if (pending_ > 0 && value != value_) flush();
    value_ = value;
    pending_ += length;
  }
  // Lengthens the row's latest run by length (a new run of value when the row has none).
  void lengthen(unsigned char value, long length) {
    if (pending_ == 0) value_ = value;
    pending_ += length;
  }
  void endRow() {
    flush();
    bytes_.push_back(0);
    bytes_.push_back(0);
    starts_.push_back(bytes_.size());
  }
  long rowCount() const { return static_cast<long>(starts_.size()) - 1; }
  const unsigned char* row(long i) const { return bytes_.data() + starts_[std::size_t(i)]; }

 private:
  void flush() {
    while (pending_ > 0) {
      const long n = std::min(pending_, 255L);
      bytes_.push_back(value_);
      bytes_.push_back(static_cast<unsigned char>(n));
      pending_ -= n;
    }
  }

  std::vector<unsigned char> bytes_;
  std::vector<std::size_t> starts_{0};
  unsigned char value_ = 0;
  long pending_ = 0;
};

}  // namespace

ccUIScope::ccUIScope(const ccPair<long>& clipOffset) : clipOffset_(clipOffset), root_(this) {
  noChange();
}

ccUIScope::~ccUIScope() {
  if (parent_) parent_->children_.remove(this);
  for (ccUIScope* kid : children_) {
    kid->parent_ = nullptr;
    kid->rootDeleted();
  }
}

// ---- Zoom forms with integer factors

void ccUIScope::sample(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned long passValue) {
  if (checkFactor(factor, __LINE__)) sampleImage(image, at, reduction(factor), pass, passValue);
}

void ccUIScope::sample(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned short passValue) {
  if (checkFactor(factor, __LINE__)) sampleImage(image, at, reduction(factor), pass, passValue);
}

void ccUIScope::sample(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned short passValue) {
  if (checkFactor(factor, __LINE__)) sampleImage(image, at, reduction(factor), pass, passValue);
}

void ccUIScope::sample(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned char passValue, bool flag) {
  if (checkFactor(factor, __LINE__)) {
    sampleImage(image, at, reduction(factor), pass, passValue, flag);
  }
}

void ccUIScope::expand(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned long passValue,
                       InterpolationModes mode) {
  if (checkFactor(factor, __LINE__)) {
    expandImage(image, at, enlargement(factor), pass, passValue, mode);
  }
}

void ccUIScope::expand(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned short passValue) {
  if (checkFactor(factor, __LINE__)) expandImage(image, at, enlargement(factor), pass, passValue);
}

void ccUIScope::expand(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned short passValue) {
  if (checkFactor(factor, __LINE__)) expandImage(image, at, enlargement(factor), pass, passValue);
}

void ccUIScope::expand(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned char passValue, bool flag,
                       InterpolationModes mode) {
  if (checkFactor(factor, __LINE__)) {
    expandImage(image, at, enlargement(factor), pass, passValue, flag, mode);
  }
}

// ---- Run-length zoom

void ccUIScope::sample(const ccRLEBuffer& image, const ccPoint& at,
                       const std::vector<unsigned char>& colorMap, const ccPair<double>& scale,
                       bool pass, unsigned char passValue) {
  if (!checkScale(scale, __LINE__) || image.degenerate()) return;
  // The x factor alone decides between the run path and the 8-bit path; the rows kept are
  // every m-th, m the y factor (the whole number within ccZoomFactorTolerance, else truncated).
  const long n = wholeFactor(1.0 / scale.first);
  if (n == 0) {
    sampleImage(decodeMapped(image, colorMap, pass, passValue), at, scale, pass, passValue, false);
    return;
  }
  const double sy = 1.0 / scale.second;
  long m = wholeFactor(sy);
  if (m == 0) m = sy < 2147483647.0 ? static_cast<long>(sy) : 0;
  if (m <= 0) return;
  const long width = image.width() / n, height = image.height() / m;
  if (width == 0 || height == 0) return;

  // Rows 0, m, 2m ...; each run keeps 1 / n of its length and runs that reach 0 are dropped.
  RunRows rows;
  for (long k = 0; k < height; ++k) {
    long sum = 0;
    unsigned char last = 0;
    for (const unsigned char* run = image.pointToRow(k * m); run[1] != 0; run += 2) {
      const long length = run[1] / n;
      if (length == 0) continue;
      rows.run(run[0], length);
      sum += length;
      last = run[0];
    }
    // Every row of a run-length image covers its width, and the divisions lose up to a pel
    // per run: the row's last run is lengthened to the width (the first run's value when
    // every run was dropped).
    if (sum < width) rows.lengthen(sum == 0 ? image.pointToRow(k * m)[0] : last, width - sum);
    rows.endRow();
  }
  std::vector<const unsigned char*> rowList(static_cast<std::size_t>(height));
  for (long k = 0; k < height; ++k) rowList[std::size_t(k)] = rows.row(k);
  ccRLEBuffer reduced;
  reduced.becomeOwner(width, rowList);
  drawRLEImage(reduced, at, colorMap, pass, passValue, false);
}

void ccUIScope::sample(const ccRLEBuffer& image, const ccPoint& at,
                       const std::vector<unsigned char>& colorMap, const ccPair<long>& factor,
                       bool pass, unsigned char passValue) {
  if (checkFactor(factor, __LINE__)) {
    sample(image, at, colorMap, reduction(factor), pass, passValue);
  }
}

void ccUIScope::expand(const ccRLEBuffer& image, const ccPoint& at,
                       const std::vector<unsigned char>& colorMap, const ccPair<double>& scale,
                       bool pass, unsigned char passValue) {
  if (!checkScale(scale, __LINE__) || image.degenerate()) return;
  const long fx = wholeFactor(scale.first), fy = wholeFactor(scale.second);
  if (fx == 0 || fy == 0) {
    expandImage(decodeMapped(image, colorMap, pass, passValue), at, scale, pass, passValue, false,
                eNoInterpolation);
    return;
  }

  // The visible part, in scope pixels: the enlarged image spans [px, px + width fx) across,
  // the scope [0, size.x). Pixels left of the scope are skipped: whole source columns (c0)
  // and rx pixels of the next one (its block is shortened by them); rows alike.
  const ccPair<long> size = scopeBounds().sz();
  const long px = xCoord(at), py = yCoord(at);
  const long lx = std::max(0L, -px), ly = std::max(0L, -py);
  const long c0 = lx / fx, rx = lx % fx, r0 = ly / fy, ry = ly % fy;
  const long vx = std::max(px, 0L), vy = std::max(py, 0L);
  const auto end = [](long p, long count, long f, long limit) {
    long e;
    if (__builtin_mul_overflow(count, f, &e) || __builtin_add_overflow(e, p, &e)) return limit;
    return std::min(e, limit);
  };
  const long vw = end(px, image.width(), fx, size.first) - vx;
  const long vh = end(py, image.height(), fy, size.second) - vy;
  if (vw <= 0 || vh <= 0) return;
  // Source pels with a visible pixel, the last partly visible one included.
  const long sw = (rx + vw + fx - 1) / fx, sh = (ry + vh + fy - 1) / fy;

  const ccRLEBuffer* src = &image;
  ccRLEBuffer part;
  if (c0 > 0 || r0 > 0 || sw < image.width() || sh < image.height()) {
    part = image.subWindow(image.offset().first + c0, image.offset().second + r0, sw, sh);
    src = &part;
  }

  // Each source row is enlarged once; the image lists it fy times (the first rows fewer by
  // ry, the last ones cut at the scope's bottom).
  RunRows rows;
  for (long i = 0; i < sh; ++i) {
    long pos = 0, cut = rx;
    for (const unsigned char* run = src->pointToRow(i); run[1] != 0 && pos < vw; run += 2) {
      const long length = std::min(run[1] * fx - cut, vw - pos);
      rows.run(run[0], length);
      pos += length;
      cut = 0;
    }
    rows.endRow();
  }
  std::vector<const unsigned char*> rowList;
  rowList.reserve(static_cast<std::size_t>(vh));
  for (long i = 0; i < sh; ++i) {
    const long repeat = std::min(i == 0 ? fy - ry : fy, vh - static_cast<long>(rowList.size()));
    rowList.insert(rowList.end(), static_cast<std::size_t>(repeat), rows.row(i));
  }
  ccRLEBuffer enlarged;
  enlarged.becomeOwner(vw, rowList);
  // Drawn from the first visible scope pixel, given in the tablet's pixels.
  const ccPoint corner(static_cast<double>(vx + clipOffset_.first),
                       static_cast<double>(vy + clipOffset_.second));
  drawRLEImage(enlarged, corner, colorMap, pass, passValue, false);
}

void ccUIScope::expand(const ccRLEBuffer& image, const ccPoint& at,
                       const std::vector<unsigned char>& colorMap, const ccPair<long>& factor,
                       bool pass, unsigned char passValue) {
  if (checkFactor(factor, __LINE__)) {
    expand(image, at, colorMap, enlargement(factor), pass, passValue);
  }
}

// ---- Tree

void ccUIScope::move(const ccUIScope& parent, const ccUIRect& rect) {
  for (const ccUIScope* s = &parent; s; s = s->parent_) {
    if (s == this) {
      cstd_assert_(__LINE__, kFile);
      return;
    }
  }
  const ccPair<long> d(rect.left() - parent.clipOffset_.first,
                       rect.top() - parent.clipOffset_.second);
  clipOffset_ = ccPair<long>(std::max(-d.first, 0L), std::max(-d.second, 0L));
  if (parent_) parent_->children_.remove(this);
  // The parent is linked to, not changed as a value: its list of sub-scopes grows.
  ccUIScope& p = const_cast<ccUIScope&>(parent);
  parent_ = &p;
  p.children_.push_back(this);
  setRoot(p.root_);
  attach(parent, ccUIRect(d, rect.sz()));
  noChange();
}

void ccUIScope::subset(const ccUIScope& parent, const ccUIRect& rect) {
  move(parent, rect);
  if (parent_ != &parent) return;  // refused
  clipOffset_ = ccPair<long>(std::max(rect.left(), parent.clipOffset_.first),
                             std::max(rect.top(), parent.clipOffset_.second));
}

void ccUIScope::setRoot(ccUIScope* root) {
  root_ = root;
  for (ccUIScope* kid : children_) kid->setRoot(root);
}

void ccUIScope::rootDeleted() { setRoot(nullptr); }

// ---- Pen

void ccUIScope::drawStart(const ccPoint& p) {
  // Pixels first: p may be the pen position itself.
  const long x = xCoord(p), y = yCoord(p);
  if (&p != &drawPoint_) drawPoint_ = p;
  drawX_ = x;
  drawY_ = y;
}

void ccUIScope::moveToRel(long dx, long dy) {
  drawPoint_ += ccVector<2>(static_cast<double>(dx), static_cast<double>(dy));
  drawX_ += dx;
  drawY_ += dy;
}

long ccUIScope::xCoord(const ccPoint& p) const {
  if (&p == &drawPoint_) return drawX_;
  return cfTolerantFloor(p.x()) - clipOffset_.first;
}

long ccUIScope::yCoord(const ccPoint& p) const {
  if (&p == &drawPoint_) return drawY_;
  return cfTolerantFloor(p.y()) - clipOffset_.second;
}

// ---- Change tracking

void ccUIScope::noChange() {
  setFlag(eAllChanged, false);
  changed_ = ccUIRect::null;
}

void ccUIScope::allChange() {
  setFlag(eAllChanged, true);
  changed_ = offScreen() ? ccUIRect::null : ccUIRect(ccPair<long>(), scopeBounds().sz());
  clientChanged_ = ccUIRect::inf;
  if (root_) root_->anyChanged_ = true;
}

void ccUIScope::change(ccUIRect r, bool checkOpaque) {
  if (clientChangeEnable()) clientChanged_ |= r;
  const ccPair<long> size = scopeBounds().sz();
  r &= ccUIRect(ccPair<long>(), size);
  if (r.isNull()) return;
  if (checkOpaque && r.sz() == size) setFlag(eOpaque, true);
  changed_ |= r;
  setFlag(eAllChanged, changed_.sz() == size);
  if (root_) root_->anyChanged_ = true;
}

ccUIRect ccUIScope::shifted(const ccUIRect& r) const {
  return r.isNull() ? ccUIRect::null : r + clipOffset_;
}

ccUIRect ccUIScope::changeRect() const { return shifted(changed_); }

void ccUIScope::clientChangeEnable(bool on) {
  if (!on) {
    setFlag(eClientChangeEnable, false);
    return;
  }
  if (clientChangeEnable()) cstd_assert_(__LINE__, kFile);
  setFlag(eClientChangeEnable, true);
  clientChanged_ = ccUIRect::null;
}

ccUIRect ccUIScope::clientChangedRect(bool keep) {
  if (!clientChangeEnable()) cstd_assert_(__LINE__, kFile);
  const ccUIRect r = shifted(clientChanged_);
  if (!keep) setFlag(eClientChangeEnable, false);
  return r;
}

bool ccUIScope::anyChanged() const { return root_ && root_->anyChanged_; }

void ccUIScope::clearAnyChanged() {
  if (root_) root_->anyChanged_ = false;
}

bool ccUIScope::trackChanges() const { return !allChanged() || clientChangeEnable(); }

// ---- Display clip

void ccUIScope::setDisplayClipRect(const ccUIRect& r) {
  displayClipRect_ = r;
  displayClipChanged(displayClipRect_);
}

// ---- Colours

ccColor ccUIScope::nearestColor(const ccColor& c, const std::vector<ccRGB>& map) {
  const ccRGB& t = c.rgbStruct();
  double best = HUGE_VAL;
  std::size_t bestIndex = 0;
  for (std::size_t i = 0; i < map.size(); ++i) {
    const double dr = double(map[i].r()) - t.r();
    const double dg = double(map[i].g()) - t.g();
    const double db = double(map[i].b()) - t.b();
    const double d = std::sqrt(dr * dr + dg * dg + db * db);
    if (d < best) {
      best = d;
      bestIndex = i;
      if (d == 0) break;
    }
  }
  return ccColor(static_cast<unsigned char>(bestIndex));
}
