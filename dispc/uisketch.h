// ccUISketch: one recorded drawing, a growable byte buffer in the sketch stream format (see
// sketchformat.h) plus the props that the last recorded props prefix made current.
// ccUISketchMark: a byte position inside a sketch.
#pragma once

#include <core/archive.h>
#include <core/assert.h>
#include <dispc/color.h>
#include <dispc/dispprop.h>
#include <dispc/errors.h>
#include <dispc/sketchformat.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

class ccUISketch;

class ccUISketchMark {
 public:
  // Position 0.
  ccUISketchMark() = default;

  long position() const { return position_; }

  bool operator==(const ccUISketchMark& o) const { return position_ == o.position_; }
  bool operator!=(const ccUISketchMark& o) const { return position_ != o.position_; }

  // Archive form: a signed version byte (written 0, not checked on loading), then the position
  // (long). A loaded position outside 0 to 2^31 - 1 throws ccArchive::BadData.
  friend ccArchive& operator||(ccArchive& ar, ccUISketchMark& m);

 private:
  friend class ccUISketch;
  // A negative position is reported through cstd_assert_ and gives position 0.
  explicit ccUISketchMark(long position);

  std::int32_t position_ = 0;
};

// The allocator of sketch buffers: realloc by default (malloc when p is null). A test installs
// one that fails, to check that a failed growth leaves the sketch unchanged; nullptr restores
// the default. Memory it returns is released with free(). Returns the previous one. Not for
// concurrent use with sketches being grown.
using ccUISketchRealloc = void* (*)(void* p, std::size_t n);
ccUISketchRealloc cfUISketchSetReallocForTesting(ccUISketchRealloc fn);

class ccUISketch {
 public:
  // Empty: no buffer, default current props.
  ccUISketch() = default;
  // Allocates exactly the source's capacity and copies its bytes; the current props are
  // default, not copied. Throws std::bad_alloc when the allocation fails.
  ccUISketch(const ccUISketch& s);
  // Takes the source's buffer, leaving it empty; the current props are default, as for a copy.
  ccUISketch(ccUISketch&& s) noexcept;
  ~ccUISketch();

  // Copies the bytes, growing the buffer by the growth rule when the source is longer than
  // this capacity. The current props stay as they are. Nothing on self-assignment.
  ccUISketch& operator=(const ccUISketch& s);
  // Takes the source's buffer (freeing this one); the current props stay as they are.
  ccUISketch& operator=(ccUISketch&& s) noexcept;

  // Appends the other sketch's bytes (the sketch itself is allowed).
  ccUISketch& operator+=(const ccUISketch& s) {
    append(s.data_, s.length_);
    return *this;
  }
  // A new sketch (default props) holding this sketch's bytes, then the other's.
  ccUISketch operator+(const ccUISketch& s) const;

  // A new sketch holding bytes a to b - 1 when a < b; an empty sketch otherwise. Here and in
  // remove, a mark beyond the length is reported through cstd_assert_ and taken as the length.
  ccUISketch subSketch(ccUISketchMark a, ccUISketchMark b) const;
  // Removes bytes a to b - 1 when a < b; nothing otherwise.
  ccUISketch& remove(ccUISketchMark a, ccUISketchMark b);
  // Inserts s's bytes at m (s may be this sketch). m beyond the length is reported through
  // cstd_assert_ and nothing is inserted.
  ccUISketch& insert(const ccUISketch& s, ccUISketchMark m);

  // Appends n bytes from src (which may point into this sketch's own buffer). A negative n is
  // reported through cstd_assert_ and nothing is appended.
  void append(const void* src, long n);
  // Reserves n bytes at the end and returns a pointer to them for the caller to fill; the
  // length grows by n. Growth: the new capacity is the larger of length + n and twice the old
  // capacity, so the first allocation is exactly the first request. Throws std::bad_alloc,
  // leaving the sketch unchanged, when the allocation fails or the length would pass 2^31 - 1.
  // A negative n is reported through cstd_assert_ and nothing is reserved.
  unsigned char* append(long n) {
    if (n >= 0 && n <= capacity_ - length_) {
      unsigned char* p = data_ + length_;
      length_ += static_cast<std::int32_t>(n);
      return p;
    }
    return appendSlow(n);
  }

  // The 8-byte opcode record: op, layer, then the colour field.
  void opcode(signed char op, signed char layer, const ccColor& c) {
    unsigned char* p = append(static_cast<long>(kSketchOpRecordSize));
    p[0] = static_cast<unsigned char>(op);
    p[1] = static_cast<unsigned char>(layer);
    cfSketchStoreColor(p + 2, c);
  }
  // The opcode record followed by n payload bytes, reserved at once; returns the payload space
  // for the caller to fill. Same bytes as opcode(op, layer, c) then append(n); a negative n is
  // reported through cstd_assert_ and taken as 0.
  unsigned char* opcode(signed char op, signed char layer, const ccColor& c, long n) {
    if (static_cast<unsigned long>(n) > kMaxCount) n = checkedCount(n);
    unsigned char* p = append(static_cast<long>(kSketchOpRecordSize) + n);
    p[0] = static_cast<unsigned char>(op);
    p[1] = static_cast<unsigned char>(layer);
    cfSketchStoreColor(p + 2, c);
    return p + kSketchOpRecordSize;
  }
  // The props prefix: only when p differs from the current props (ccGraphicProps::operator!=),
  // appends the byte op (40 in use) and p's 21-byte props record, and makes p current.
  // std::bad_alloc leaves the sketch unchanged.
  void opcode(signed char op, const ccGraphicProps& p) {
    if (!certainlyCurrent(p) && p != props_) writePropsPrefix(op, p);
  }

  // A mark at the current length.
  ccUISketchMark mark() const { return ccUISketchMark(length_); }
  bool isNull() const { return length_ == 0; }
  // Length 0 and default current props; the buffer is kept.
  void erase();
  // Frees the buffer: no buffer, length and capacity 0, default current props.
  void eraseAndDelete();

  // The stream bytes (nullptr while nothing was ever allocated) and their count.
  const unsigned char* data() const { return data_; }
  long length() const { return length_; }
  long capacity() const { return capacity_; }

  // Archive form. Storing writes version 1: a signed version byte, the number of operations
  // (long), then per operation its header object and its payload object, each as a persistent
  // pointer (see sketchop.h). Loading appends the operations to what the sketch holds, as
  // stream bytes of the current form; it reads version 1 and version 0 (the byte count, long,
  // then the raw stream bytes, whose older payload forms are converted). On any failure the
  // sketch keeps its previous contents. Errors: an unknown version throws
  // ccArchive::UnknownVersion ("dispc/uisketch"); a malformed stream (stored or loaded)
  // ccUIError::InvalidUISketch; a nested sketch (a recorded replay) or a general polygon or
  // wireframe operation ccUIError::NotImplemented, before anything is written.
  friend ccArchive& operator||(ccArchive& ar, ccUISketch& s);

 private:
  friend class ccUITablet;
  friend struct cc_SketchArchive;
  friend class cc_UISketchOpHeader;
  friend class cc_UISketchOpSketch;

  // A sketch holding a copy of n bytes (n < 0 is reported through cstd_assert_: empty).
  ccUISketch(const unsigned char* bytes, long n);

  const ccGraphicProps& props() const { return props_; }
  void props(const ccGraphicProps& p) { props_ = p; }

  // A cheap inline test for the common case of unchanged props: true only when every field of
  // p equals the current one and the pen colours are the same bytes with an index or RGB value,
  // which ccGraphicProps::operator== also calls equal. When false, operator!= decides. Lists
  // every field that operator== compares (uisketch.cpp guards the class's size).
  bool certainlyCurrent(const ccGraphicProps& p) const {
    return currentIs(p.penColor(), p.penWidth(), p.penStyle(), p.fill(), p.penJoin(), p.penEndCap(),
                     p.arrowHead(), p.arrowHeadForward(), p.showVertex());
  }
  // certainlyCurrent for the props a tablet's colour forms use (ccGraphicProps(c, 1, eSolid,
  // fill)), without building them.
  bool certainlyCurrentColorForm(const ccColor& c, bool fill) const {
    return currentIs(c, 1, ccGraphicProps::eSolid, fill, ccGraphicProps::eMiterJoin,
                     ccGraphicProps::eFlatCap, true, true, false);
  }
  bool currentIs(const ccColor& color, long width, ccGraphicProps::cePenStyle style, bool fill,
                 ccGraphicProps::cePenJoin join, ccGraphicProps::cePenEndCap cap, bool arrowHead,
                 bool arrowHeadForward, bool showVertex) const {
    const ccGraphicProps& q = props_;
    if (width != q.penWidth() || style != q.penStyle() || fill != q.fill() || join != q.penJoin() ||
        cap != q.penEndCap() || arrowHead != q.arrowHead() ||
        arrowHeadForward != q.arrowHeadForward() || showVertex != q.showVertex())
      return false;
    return std::memcmp(&color, &q.penColor(), sizeof(ccColor)) == 0 &&
           (color.kind() & (ccColor::eRGB | ccColor::eIndex)) != 0;
  }
  static constexpr unsigned long kMaxCount = std::numeric_limits<std::int32_t>::max();
  // For a count outside 0 to kMaxCount: reports a negative one and gives 0; throws
  // std::bad_alloc for a larger one.
  static long checkedCount(long n);

  // Makes room for n more bytes by the growth rule (length unchanged).
  void reserveMore(long n) { growTo(static_cast<std::int64_t>(length_) + n); }
  // Makes the capacity at least `needed` by the growth rule.
  void growTo(std::int64_t needed);
  // Gives back the capacity beyond the length.
  void shrinkToFit();
  unsigned char* appendSlow(long n);
  void writePropsPrefix(signed char op, const ccGraphicProps& p);

  unsigned char* data_ = nullptr;
  std::int32_t length_ = 0;
  std::int32_t capacity_ = 0;
  ccGraphicProps props_;
};

// The sketch as a sink of the field codecs of sketchformat.h.
inline unsigned char* cfSketchReserve(ccUISketch& s, std::size_t n) {
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw std::bad_alloc();
  return s.append(static_cast<long>(n));
}
