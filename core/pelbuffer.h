// Pel buffers: rectangular images of 8-bit, 16-bit and packed RGB pels.
//
// A pel root holds the pels of one image: it owns them (allocated, zero-filled, rows padded
// to a chosen alignment) or borrows them from caller memory (pointer and row step). A pel
// buffer is a handle to a root plus a window, a rectangle of the root's pels. Copies share
// the root, so a write through one copy is seen by every other; the last handle frees an
// owned root.
//
// Coordinates. Each buffer carries an image coordinate system in which the upper-left pel
// of its window lies at offset(). A newly made buffer has its window on the whole root and
// offset (0, 0), so image coordinates are root coordinates. offset(x, y) relabels: the same
// pels get new image coordinates. window(x, y, w, h) selects the pels whose image coordinates
// lie in [x, x + w) x [y, y + h), clipped to the root; the offset of the new window is its
// upper-left corner in the same (unchanged) image coordinate system. Pel pointers
// (pointToPel, pointToRow) and get/set take coordinates relative to the window's upper-left
// pel. imageFromClientXform() maps client coordinates to image coordinates.
//
// An unbound buffer (default constructed) has no root: it is 0 x 0, and every operation that
// needs pels (pointToPel, pointToRow, rowUpdate, get, set, window) throws ccPel::UnboundWindow.
// Bad arguments (negative sizes, a row step shorter than the width, a pel outside the window
// in get/set) throw ccShapesError::BadParams.
#pragma once

#include <core/archive.h>
#include <core/errors.h>
#include <core/handle.h>
#include <core/pair.h>
#include <core/xform.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

// A 16-bit packed RGB pel: red in bits 15-11, green in 10-5, blue in 4-0.
class ccPackedRGB16Pel {
 public:
  constexpr ccPackedRGB16Pel() = default;
  constexpr explicit ccPackedRGB16Pel(unsigned short packed) : v_(packed) {}
  // From 8-bit components, keeping their top 5, 6 and 5 bits.
  constexpr ccPackedRGB16Pel(unsigned char r, unsigned char g, unsigned char b)
      : v_(static_cast<unsigned short>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))) {}

  constexpr unsigned short packed() const { return v_; }
  // Components widened to 8 bits by repeating their top bits (31 -> 255, 63 -> 255).
  constexpr unsigned char r() const {
    unsigned c = (v_ >> 11) & 0x1F;
    return static_cast<unsigned char>((c << 3) | (c >> 2));
  }
  constexpr unsigned char g() const {
    unsigned c = (v_ >> 5) & 0x3F;
    return static_cast<unsigned char>((c << 2) | (c >> 4));
  }
  constexpr unsigned char b() const {
    unsigned c = v_ & 0x1F;
    return static_cast<unsigned char>((c << 3) | (c >> 2));
  }

  friend constexpr bool operator==(ccPackedRGB16Pel a, ccPackedRGB16Pel b) { return a.v_ == b.v_; }
  friend constexpr bool operator!=(ccPackedRGB16Pel a, ccPackedRGB16Pel b) { return a.v_ != b.v_; }

 private:
  unsigned short v_ = 0;
};

// A 32-bit packed RGB pel 0xXXRRGGBB: blue in the low byte, then green and red; the top byte
// (X) is unused by colour and is 0 unless set.
class ccPackedRGB32Pel {
 public:
  constexpr ccPackedRGB32Pel() = default;
  constexpr explicit ccPackedRGB32Pel(std::uint32_t packed) : v_(packed) {}
  constexpr ccPackedRGB32Pel(unsigned char r, unsigned char g, unsigned char b, unsigned char x = 0)
      : v_((std::uint32_t{x} << 24) | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b) {}

  constexpr std::uint32_t packed() const { return v_; }
  constexpr unsigned char r() const { return static_cast<unsigned char>(v_ >> 16); }
  constexpr unsigned char g() const { return static_cast<unsigned char>(v_ >> 8); }
  constexpr unsigned char b() const { return static_cast<unsigned char>(v_); }
  constexpr unsigned char x() const { return static_cast<unsigned char>(v_ >> 24); }

  friend constexpr bool operator==(ccPackedRGB32Pel a, ccPackedRGB32Pel b) { return a.v_ == b.v_; }
  friend constexpr bool operator!=(ccPackedRGB32Pel a, ccPackedRGB32Pel b) { return a.v_ != b.v_; }

 private:
  std::uint32_t v_ = 0;
};

static_assert(sizeof(ccPackedRGB16Pel) == 2, "packed 16-bit pels are two bytes");
static_assert(sizeof(ccPackedRGB32Pel) == 4, "packed 32-bit pels are four bytes");

// Archive forms: the packed value (2 and 4 bytes).
ccArchive& operator||(ccArchive& ar, ccPackedRGB16Pel& p);
ccArchive& operator||(ccArchive& ar, ccPackedRGB32Pel& p);

namespace cc_detail {
// Throw the errors of pel buffers (out of line, off the fast paths).
[[noreturn]] void throwUnbound();
[[noreturn]] void throwBadParams(const char* what);
// a + b saturated to the range of long.
inline long satAdd(long a, long b) {
  long r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? LONG_MAX : LONG_MIN;
  return r;
}
// Makes a function parameter a non-deduced context (cfPelSet(buf, 128) for 8-bit buffers).
template <class T>
struct NonDeduced {
  using type = T;
};
}  // namespace cc_detail

// The pels of one image, owned or borrowed. Shared by pel buffers through ccPtrHandle.
template <class T>
class ccPelRoot : public ccRepBase {
 public:
  // Owned, zero-filled pels; each row is padded to a multiple of alignment elements (>= 1)
  // and the first pel is aligned to 64 bytes.
  ccPelRoot(long width, long height, long alignment = 1);
  // Borrowed pels: row y starts at pels + y * rowUpdate (rowUpdate >= width). The caller
  // keeps the memory alive for as long as any buffer refers to it.
  ccPelRoot(T* pels, long width, long height, long rowUpdate);
  ~ccPelRoot() override;

  ccPelRoot(const ccPelRoot&) = delete;
  ccPelRoot& operator=(const ccPelRoot&) = delete;

  T* pels() const { return pels_; }
  long width() const { return width_; }
  long height() const { return height_; }
  long rowUpdate() const { return rowUpdate_; }
  bool isOwner() const { return owner_; }

 private:
  T* pels_ = nullptr;
  long width_ = 0;
  long height_ = 0;
  long rowUpdate_ = 0;
  bool owner_ = false;
};

// Read-only access to a window of pels. See the file comment for coordinates.
template <class T>
class ccPelBuffer_const {
 public:
  using value_type = T;
  using Root = ccPelRoot<T>;

  // Unbound: no pels.
  ccPelBuffer_const() = default;
  // A new owned root of width x height pels (zero), rows padded to alignment elements.
  ccPelBuffer_const(long width, long height, long alignment = 1)
      : ccPelBuffer_const(ccPtrHandle<Root>(new Root(width, height, alignment))) {}
  // Borrowed pels (see ccPelRoot); they are not written through this class.
  ccPelBuffer_const(const T* pels, long width, long height, long rowUpdate)
      : ccPelBuffer_const(
            ccPtrHandle<Root>(new Root(const_cast<T*>(pels), width, height, rowUpdate))) {}
  // The whole of an existing root (a null root gives an unbound buffer).
  explicit ccPelBuffer_const(const ccPtrHandle<Root>& root) : root_(root) {
    if (root_) {
      w_ = root_->width();
      h_ = root_->height();
    }
  }

  bool isBound() const { return !root_.isNull(); }
  const ccPtrHandle<Root>& root() const { return root_; }

  // Size of the window (0 when unbound).
  long width() const { return w_; }
  long height() const { return h_; }
  // Image coordinates of the window's upper-left pel.
  ccPair<long> offset() const { return ccPair<long>(ox_, oy_); }
  void offset(long x, long y) {
    ox_ = x;
    oy_ = y;
  }
  void offset(const ccPair<long>& o) { offset(o.first, o.second); }

  // Selects the pels with image coordinates in [x, x + w) x [y, y + h), clipped to the root.
  // Returns true when it had to clip (the window may then be empty: width or height 0).
  // Throws BadParams for a negative w or h.
  bool window(long x, long y, long w, long h);

  // Elements from one row to the next.
  long rowUpdate() const {
    requireBound();
    return root_->rowUpdate();
  }
  // Pel (x, y) of the window, unchecked beyond boundness.
  const T* pointToPel(long x, long y) const {
    requireBound();
    return root_->pels() + (static_cast<std::ptrdiff_t>(y0_) + y) * root_->rowUpdate() + x0_ + x;
  }
  const T* pointToRow(long y) const { return pointToPel(0, y); }
  // Checked read of pel (x, y) of the window.
  T get(long x, long y) const {
    checkPel(x, y);
    return *pointToPel(x, y);
  }

  // Client coordinates to image coordinates; the identity unless set. For a non-linear
  // transform set through imageFromClientXformBase, this is its linear approximation at the
  // client origin.
  const ccXform<2>& imageFromClientXform() const { return xform_; }
  void imageFromClientXform(const ccXform<2>& x);
  // The same relation as a transform handle (never null: the identity unless set). Setting
  // a null handle sets the identity.
  ccPtrHandle_const<cc2XformBase> imageFromClientXformBase() const;
  void imageFromClientXformBase(const ccPtrHandle_const<cc2XformBase>& x);

 protected:
  void requireBound() const {
    if (root_.isNull()) cc_detail::throwUnbound();
  }
  void checkPel(long x, long y) const {
    requireBound();
    if (x < 0 || y < 0 || x >= w_ || y >= h_) cc_detail::throwBadParams("pel outside the window");
  }

 private:
  ccPtrHandle<Root> root_;
  long x0_ = 0, y0_ = 0;  // window's upper-left pel in the root
  long w_ = 0, h_ = 0;
  long ox_ = 0, oy_ = 0;  // image coordinates of the window's upper-left pel
  ccXform<2> xform_;
  ccPtrHandle_const<cc2XformBase> xformBase_;  // null: identity
};

// Read and write access to a window of pels. Pels are written through copies too: the
// buffer is a handle, so writing does not need a non-const buffer.
template <class T>
class ccPelBuffer : public ccPelBuffer_const<T> {
 public:
  using Root = ccPelRoot<T>;

  ccPelBuffer() = default;
  ccPelBuffer(long width, long height, long alignment = 1)
      : ccPelBuffer_const<T>(width, height, alignment) {}
  ccPelBuffer(T* pels, long width, long height, long rowUpdate)
      : ccPelBuffer_const<T>(pels, width, height, rowUpdate) {}
  explicit ccPelBuffer(const ccPtrHandle<Root>& root) : ccPelBuffer_const<T>(root) {}

  T* pointToPel(long x, long y) const {
    return const_cast<T*>(ccPelBuffer_const<T>::pointToPel(x, y));
  }
  T* pointToRow(long y) const { return pointToPel(0, y); }
  // Checked write of pel (x, y) of the window.
  void set(long x, long y, const T& v) const {
    this->checkPel(x, y);
    *pointToPel(x, y) = v;
  }
};

// Sets every pel of the window to value.
template <class T>
void cfPelSet(ccPelBuffer<T>& buf, const typename cc_detail::NonDeduced<T>::type& value);
// Sets the pels of [x, x + w) x [y, y + h) (window-relative, clipped to the window).
template <class T>
void cfPelSet(ccPelBuffer<T>& buf, long x, long y, long w, long h,
              const typename cc_detail::NonDeduced<T>::type& value);

// Archive form of a buffer (loading makes a new owned root): version byte 0; bound (bool);
// when bound: width, height, offset x, offset y (long), imageFromClientXform (its ccXform<2>
// archive form), then width x height pels row by row from the top, without padding. A
// non-linear image-from-client transform is stored as its affine form.
template <class T>
ccArchive& operator||(ccArchive& ar, ccPelBuffer<T>& buf);

// ---------------------------------------------------------------------------------------------
// Implementation.

template <class T>
bool ccPelBuffer_const<T>::window(long x, long y, long w, long h) {
  requireBound();
  if (w < 0 || h < 0) cc_detail::throwBadParams("negative window size");
  // Image coordinates of the root's pel (0, 0), then the request in root coordinates.
  const long rootX = ox_ - x0_, rootY = oy_ - y0_;
  const long l = cc_detail::satAdd(x, -rootX), t = cc_detail::satAdd(y, -rootY);
  const long r = cc_detail::satAdd(l, w), b = cc_detail::satAdd(t, h);
  const long rw = root_->width(), rh = root_->height();
  const bool clipped = l < 0 || t < 0 || r > rw || b > rh;
  const long cl = std::clamp(l, 0L, rw), ct = std::clamp(t, 0L, rh);
  const long cr = std::clamp(r, cl, rw), cb = std::clamp(b, ct, rh);
  x0_ = cl;
  y0_ = ct;
  w_ = cr - cl;
  h_ = cb - ct;
  ox_ = rootX + cl;
  oy_ = rootY + ct;
  return clipped;
}

template <class T>
void ccPelBuffer_const<T>::imageFromClientXform(const ccXform<2>& x) {
  xform_ = x;
  xformBase_ = x.isIdentity() ? ccPtrHandle_const<cc2XformBase>()
                              : ccPtrHandle_const<cc2XformBase>(new cc2XformLinear(x));
}

template <class T>
ccPtrHandle_const<cc2XformBase> ccPelBuffer_const<T>::imageFromClientXformBase() const {
  if (xformBase_) return xformBase_;
  // One shared identity for every buffer that has not set its own.
  static const ccPtrHandle_const<cc2XformBase> identity(new cc2XformLinear());
  return identity;
}

template <class T>
void ccPelBuffer_const<T>::imageFromClientXformBase(const ccPtrHandle_const<cc2XformBase>& x) {
  if (!x) {
    imageFromClientXform(ccXform<2>());
    return;
  }
  xform_ = x->linearApprox(ccVector<2>()).xform();
  xformBase_ = x;
}

template <class T>
void cfPelSet(ccPelBuffer<T>& buf, long x, long y, long w, long h,
              const typename cc_detail::NonDeduced<T>::type& value) {
  if (!buf.isBound()) cc_detail::throwUnbound();
  const long x0 = std::clamp(x, 0L, buf.width()), y0 = std::clamp(y, 0L, buf.height());
  const long x1 = std::clamp(cc_detail::satAdd(x, std::max(w, 0L)), x0, buf.width());
  const long y1 = std::clamp(cc_detail::satAdd(y, std::max(h, 0L)), y0, buf.height());
  for (long j = y0; j < y1; ++j) std::fill_n(buf.pointToPel(x0, j), x1 - x0, value);
}

template <class T>
void cfPelSet(ccPelBuffer<T>& buf, const typename cc_detail::NonDeduced<T>::type& value) {
  if (!buf.isBound()) cc_detail::throwUnbound();
  cfPelSet(buf, 0, 0, buf.width(), buf.height(), value);
}

template <class T>
ccArchive& operator||(ccArchive& ar, ccPelBuffer<T>& buf) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion("core/pelbuffer", __LINE__);
  bool bound = buf.isBound();
  ar || bound;
  if (!bound) {
    if (ar.isLoading()) buf = ccPelBuffer<T>();
    return ar;
  }
  long w = buf.width(), h = buf.height(), ox = buf.offset().first, oy = buf.offset().second;
  ccXform<2> xf = buf.imageFromClientXform();
  ar || w || h || ox || oy || xf;
  // A window without columns has no pels, however many rows it claims: no row walk.
  // Rows of bytes are copied whole; wider pels go one by one (their integers have a variable
  // length).
  constexpr bool bytes = std::is_same<T, unsigned char>::value;
  if (ar.isStoring()) {
    for (long y = 0; w > 0 && y < h; ++y) {
      T* row = buf.pointToRow(y);
      if constexpr (bytes)
        ar.writeBytes(row, static_cast<std::size_t>(w));
      else
        for (long x = 0; x < w; ++x) ar || row[x];
    }
    return ar;
  }
  if (w < 0 || h < 0) throw ccArchive::BadData("negative pel buffer size");
  if (w > 0 && h > 0) {
    if (h > static_cast<long>(INT32_MAX / w)) throw ccArchive::BadData("pel buffer too large");
    ar.checkCount(static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h), 1);
  }
  ccPelBuffer<T> loaded(w, h);
  for (long y = 0; w > 0 && y < h; ++y) {
    T* row = loaded.pointToRow(y);
    if constexpr (bytes)
      ar.readBytes(row, static_cast<std::size_t>(w));
    else
      for (long x = 0; x < w; ++x) ar || row[x];
  }
  loaded.offset(ox, oy);
  loaded.imageFromClientXform(xf);
  buf = loaded;
  return ar;
}

extern template class ccPelRoot<unsigned char>;
extern template class ccPelRoot<unsigned short>;
extern template class ccPelRoot<ccPackedRGB16Pel>;
extern template class ccPelRoot<ccPackedRGB32Pel>;
extern template class ccPelBuffer_const<unsigned char>;
extern template class ccPelBuffer_const<unsigned short>;
extern template class ccPelBuffer_const<ccPackedRGB16Pel>;
extern template class ccPelBuffer_const<ccPackedRGB32Pel>;
extern template class ccPelBuffer<unsigned char>;
extern template class ccPelBuffer<unsigned short>;
extern template class ccPelBuffer<ccPackedRGB16Pel>;
extern template class ccPelBuffer<ccPackedRGB32Pel>;
