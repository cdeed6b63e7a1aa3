// ccUIRect: an integer pixel rectangle (upper-left corner and size) with a null state.
//
// right() and bottom() are exclusive: the first column and row outside. A rectangle is null
// when its width is 0. Normalisation turns a rectangle whose width or height is not positive
// into the null rectangle (0, 0, 0, 0); the constructors from coordinates, the size setter and
// the intersections normalise, the corner setter and the offsets do not.
#pragma once

#include <core/archive.h>
#include <core/pair.h>
#include <dispc/errors.h>

#include <limits>

class ccUIRect {
 public:
  static const ccUIRect null;
  // Covers everything: upper-left (-1073741823, -1073741823), size (2147483647, 2147483647).
  static const ccUIRect inf;

  ccUIRect() = default;
  ccUIRect(long x, long y, long width, long height) : ul_(x, y), sz_(width, height) { normalize(); }
  ccUIRect(const ccPair<long>& ul, const ccPair<long>& sz) : ul_(ul), sz_(sz) { normalize(); }

  const ccPair<long>& ul() const { return ul_; }
  const ccPair<long>& sz() const { return sz_; }
  ccPair<long> ur() const { return ccPair<long>(right(), top()); }
  ccPair<long> ll() const { return ccPair<long>(left(), bottom()); }
  ccPair<long> lr() const { return ccPair<long>(right(), bottom()); }
  long width() const { return sz_.first; }
  long height() const { return sz_.second; }
  long left() const { return ul_.first; }
  long top() const { return ul_.second; }
  long right() const { return ul_.first + sz_.first; }
  long bottom() const { return ul_.second + sz_.second; }
  bool isNull() const { return sz_.first == 0; }

  // Moves the rectangle, keeping its size; a null rectangle stays as it is.
  void ul(const ccPair<long>& p) {
    if (!isNull()) ul_ = p;
  }
  // Sets the size, then normalises.
  void sz(const ccPair<long>& s) {
    sz_ = s;
    normalize();
  }

  // Both pairs equal (null rectangles at different corners differ).
  bool operator==(const ccUIRect& r) const { return ul_ == r.ul_ && sz_ == r.sz_; }
  bool operator!=(const ccUIRect& r) const { return !(*this == r); }

  // left <= p.x < right and top <= p.y < bottom.
  bool within(const ccPair<long>& p) const {
    return left() <= p.first && p.first < right() && top() <= p.second && p.second < bottom();
  }
  // r's upper-left pixel and its last pixel both lie within this rectangle.
  bool within(const ccUIRect& r) const {
    return within(r.ul_) && within(ccPair<long>(r.right() - 1, r.bottom() - 1));
  }
  // True when either is null or they do not overlap.
  bool nullIntersection(const ccUIRect& r) const;

  ccUIRect operator&(const ccUIRect& r) const;
  ccUIRect& operator&=(const ccUIRect& r) { return *this = *this & r; }
  ccUIRect operator|(const ccUIRect& r) const;
  ccUIRect& operator|=(const ccUIRect& r) { return *this = *this | r; }

  // Shifted copies; no normalisation.
  ccUIRect operator+(const ccPair<long>& d) const {
    ccUIRect r(*this);
    return r += d;
  }
  ccUIRect operator-(const ccPair<long>& d) const {
    ccUIRect r(*this);
    return r -= d;
  }
  ccUIRect& operator+=(const ccPair<long>& d) {
    ul_.first += d.first;
    ul_.second += d.second;
    return *this;
  }
  ccUIRect& operator-=(const ccPair<long>& d) {
    ul_.first -= d.first;
    ul_.second -= d.second;
    return *this;
  }

  // Archive form: a signed version byte (0), then ul and sz, each a ccPair<long> (version byte,
  // x, y). Loading stores the pairs as read, without normalising; another version throws
  // ccArchive::UnknownVersion with "dispc/uirect".
  friend ccArchive& operator||(ccArchive& ar, ccUIRect& r);

  // The rectangle from (x0, y0) to (x1, y1), exclusive, normalised. Edges at the ends of the
  // long range (clamped pixel coordinates) give a size saturated at the largest long.
  static ccUIRect fromEdges(long x0, long y0, long x1, long y1) {
    return ccUIRect(x0, y0, extent(x0, x1), extent(y0, y1));
  }

 private:
  // b - a when b > a, else 0; a difference beyond the long range saturates (a is then
  // negative, so a + the result still fits).
  static long extent(long a, long b) {
    if (b <= a) return 0;
    const unsigned long d = static_cast<unsigned long>(b) - static_cast<unsigned long>(a);
    return d > static_cast<unsigned long>(std::numeric_limits<long>::max())
               ? std::numeric_limits<long>::max()
               : static_cast<long>(d);
  }
  void normalize() {
    if (sz_.first <= 0 || sz_.second <= 0) {
      ul_ = ccPair<long>();
      sz_ = ccPair<long>();
    }
  }

  ccPair<long> ul_;
  ccPair<long> sz_;
};
