#include <dispc/uisketch.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr const char* kSource = "dispc/uisketch";
constexpr std::int64_t kMaxLength = std::numeric_limits<std::int32_t>::max();

void* defaultRealloc(void* p, std::size_t n) { return std::realloc(p, n); }

ccUISketchRealloc gRealloc = &defaultRealloc;

// True when p points into [begin, begin + n).
bool pointsInto(const void* p, const unsigned char* begin, std::size_t n) {
  const auto a = reinterpret_cast<std::uintptr_t>(p);
  const auto b = reinterpret_cast<std::uintptr_t>(begin);
  return begin && a >= b && a - b < n;
}

}  // namespace

// ccUISketch::certainlyCurrent lists the fields of ccGraphicProps. A change of the class's size
// (a field added) trips this check, so that the list is reviewed with it.
#if defined(__x86_64__) || defined(__aarch64__)
static_assert(sizeof(ccGraphicProps) == 56, "review ccUISketch::certainlyCurrent");
#endif

ccUISketchRealloc cfUISketchSetReallocForTesting(ccUISketchRealloc fn) {
  const ccUISketchRealloc previous = gRealloc;
  gRealloc = fn ? fn : &defaultRealloc;
  return previous;
}

// ccUISketchMark ----------------------------------------------------------------------------

ccUISketchMark::ccUISketchMark(long position) {
  if (position < 0 || position > kMaxLength) {
    cstd_assert_(__LINE__, kSource);
    position = 0;
  }
  position_ = static_cast<std::int32_t>(position);
}

ccArchive& operator||(ccArchive& ar, ccUISketchMark& m) {
  signed char version = 0;
  ar || version;  // not checked: every version has the same form
  long position = m.position_;
  ar || position;
  if (ar.isLoading()) {
    if (position < 0 || position > kMaxLength)
      throw ccArchive::BadData("sketch mark position out of range");
    m.position_ = static_cast<std::int32_t>(position);
  }
  return ar;
}

// ccUISketch --------------------------------------------------------------------------------

ccUISketch::ccUISketch(const ccUISketch& s) {
  if (s.capacity_ > 0) {
    void* p = gRealloc(nullptr, static_cast<std::size_t>(s.capacity_));
    if (!p) throw std::bad_alloc();
    data_ = static_cast<unsigned char*>(p);
    capacity_ = s.capacity_;
    length_ = s.length_;
    if (length_) std::memcpy(data_, s.data_, static_cast<std::size_t>(length_));
  }
}

ccUISketch::ccUISketch(ccUISketch&& s) noexcept
    : data_(s.data_), length_(s.length_), capacity_(s.capacity_) {
  s.data_ = nullptr;
  s.length_ = s.capacity_ = 0;
}

ccUISketch::ccUISketch(const unsigned char* bytes, long n) {
  if (n < 0) {
    cstd_assert_(__LINE__, kSource);
    return;
  }
  append(bytes, n);
}

ccUISketch::~ccUISketch() { std::free(data_); }

ccUISketch& ccUISketch::operator=(const ccUISketch& s) {
  if (this == &s) return *this;
  if (s.length_ > capacity_) growTo(s.length_);
  if (s.length_) std::memcpy(data_, s.data_, static_cast<std::size_t>(s.length_));
  length_ = s.length_;
  return *this;
}

ccUISketch& ccUISketch::operator=(ccUISketch&& s) noexcept {
  if (this == &s) return *this;
  std::free(data_);
  data_ = s.data_;
  length_ = s.length_;
  capacity_ = s.capacity_;
  s.data_ = nullptr;
  s.length_ = s.capacity_ = 0;
  return *this;
}

ccUISketch ccUISketch::operator+(const ccUISketch& s) const {
  ccUISketch r;
  r.growTo(static_cast<std::int64_t>(length_) + s.length_);  // one exact allocation
  r.append(data_, length_);
  r.append(s.data_, s.length_);
  return r;
}

ccUISketch ccUISketch::subSketch(ccUISketchMark a, ccUISketchMark b) const {
  if (b.position_ > length_) {
    cstd_assert_(__LINE__, kSource);
    b.position_ = length_;
  }
  if (a.position_ >= b.position_) return ccUISketch();
  return ccUISketch(data_ + a.position_, b.position_ - a.position_);
}

ccUISketch& ccUISketch::remove(ccUISketchMark a, ccUISketchMark b) {
  if (b.position_ > length_) {
    cstd_assert_(__LINE__, kSource);
    b.position_ = length_;
  }
  if (a.position_ >= b.position_) return *this;
  if (b.position_ < length_)
    std::memmove(data_ + a.position_, data_ + b.position_,
                 static_cast<std::size_t>(length_ - b.position_));
  length_ -= b.position_ - a.position_;
  return *this;
}

ccUISketch& ccUISketch::insert(const ccUISketch& s, ccUISketchMark mark) {
  const std::int32_t m = mark.position_;
  if (m > length_) {
    cstd_assert_(__LINE__, kSource);
    return *this;
  }
  const std::int32_t n = s.length_;
  if (n == 0) return *this;
  reserveMore(n);
  const std::int32_t tail = length_ - m;
  if (tail) std::memmove(data_ + m + n, data_ + m, static_cast<std::size_t>(tail));
  if (&s == this) {
    // The source bytes are now [0, m) and, moved up, [m + n, 2n): copy both pieces.
    std::memcpy(data_ + m, data_, static_cast<std::size_t>(m));
    std::memcpy(data_ + 2 * m, data_ + m + n, static_cast<std::size_t>(tail));
  } else {
    std::memcpy(data_ + m, s.data_, static_cast<std::size_t>(n));
  }
  length_ += n;
  return *this;
}

void ccUISketch::append(const void* src, long n) {
  if (n < 0) {
    cstd_assert_(__LINE__, kSource);
    return;
  }
  if (n == 0) return;
  // The source may lie in this buffer, which growing may move: keep its offset.
  if (pointsInto(src, data_, static_cast<std::size_t>(capacity_))) {
    const std::size_t offset = static_cast<const unsigned char*>(src) - data_;
    reserveMore(n);
    src = data_ + offset;
  }
  unsigned char* dst = append(n);
  std::memmove(dst, src, static_cast<std::size_t>(n));
}

unsigned char* ccUISketch::appendSlow(long n) {
  if (n < 0) {
    cstd_assert_(__LINE__, kSource);
    return data_ + length_;
  }
  reserveMore(n);
  unsigned char* p = data_ + length_;
  length_ += static_cast<std::int32_t>(n);
  return p;
}

long ccUISketch::checkedCount(long n) {
  if (n > kMaxLength) throw std::bad_alloc();
  cstd_assert_(__LINE__, kSource);
  return 0;
}

void ccUISketch::growTo(std::int64_t needed) {
  if (needed <= capacity_) return;
  if (needed > kMaxLength) throw std::bad_alloc();
  const std::int64_t grown =
      std::min<std::int64_t>(2 * static_cast<std::int64_t>(capacity_), kMaxLength);
  const std::int64_t capacity = std::max(needed, grown);
  void* p = gRealloc(data_, static_cast<std::size_t>(capacity));
  if (!p) throw std::bad_alloc();  // realloc failed: the old buffer is still ours
  data_ = static_cast<unsigned char*>(p);
  capacity_ = static_cast<std::int32_t>(capacity);
}

void ccUISketch::shrinkToFit() {
  if (capacity_ == length_ || length_ == 0) return;
  void* p = gRealloc(data_, static_cast<std::size_t>(length_));
  if (!p) return;  // keeping the larger buffer is as good
  data_ = static_cast<unsigned char*>(p);
  capacity_ = length_;
}

void ccUISketch::writePropsPrefix(signed char op, const ccGraphicProps& p) {
  reserveMore(static_cast<long>(kSketchPropsPrefixSize));  // nothing below can fail
  props_ = p;
  *append(1) = static_cast<unsigned char>(op);
  p.opcode(this, p);
}

void ccUISketch::erase() {
  length_ = 0;
  props_ = ccGraphicProps();
}

void ccUISketch::eraseAndDelete() {
  std::free(data_);
  data_ = nullptr;
  length_ = capacity_ = 0;
  props_ = ccGraphicProps();
}

// Defined here: it writes into the sketch.
std::size_t ccGraphicProps::opcode(ccUISketch* sketch, const ccGraphicProps& p) const {
  if (!sketch) return 0;
  p.writeSketchForm(sketch->append(static_cast<long>(kSketchFormSize)));
  return kSketchFormSize;
}
