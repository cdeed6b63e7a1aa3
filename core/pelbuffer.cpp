#include <core/pelbuffer.h>

#include <cstring>
#include <new>

namespace {
// Alignment of the first pel of an owned root: a cache line, enough for any vector load.
constexpr std::size_t kRootAlignment = 64;
}  // namespace

namespace cc_detail {
void throwUnbound() { throw ccPel::UnboundWindow("pel buffer is not bound to pels"); }
void throwBadParams(const char* what) { throw ccShapesError::BadParams(what); }
}  // namespace cc_detail

ccArchive& operator||(ccArchive& ar, ccPackedRGB16Pel& p) {
  unsigned short v = p.packed();
  ar || v;
  if (ar.isLoading()) p = ccPackedRGB16Pel(v);
  return ar;
}

ccArchive& operator||(ccArchive& ar, ccPackedRGB32Pel& p) {
  unsigned int v = p.packed();
  ar || v;
  if (ar.isLoading()) p = ccPackedRGB32Pel(static_cast<std::uint32_t>(v));
  return ar;
}

template <class T>
ccPelRoot<T>::ccPelRoot(long width, long height, long alignment) {
  if (width < 0 || height < 0) cc_detail::throwBadParams("negative pel buffer size");
  if (alignment < 1) cc_detail::throwBadParams("row alignment below 1");
  long row;
  if (__builtin_add_overflow(width, alignment - 1, &row)) cc_detail::throwBadParams("too wide");
  row = row / alignment * alignment;
  std::size_t count, bytes;
  if (__builtin_mul_overflow(static_cast<std::size_t>(row), static_cast<std::size_t>(height),
                             &count) ||
      __builtin_mul_overflow(count, sizeof(T), &bytes) ||
      bytes > static_cast<std::size_t>(PTRDIFF_MAX))
    cc_detail::throwBadParams("pel buffer too large");
  void* p = ::operator new(bytes == 0 ? 1 : bytes, std::align_val_t(kRootAlignment));
  std::memset(p, 0, bytes);
  pels_ = static_cast<T*>(p);
  width_ = width;
  height_ = height;
  rowUpdate_ = row;
  owner_ = true;
}

template <class T>
ccPelRoot<T>::ccPelRoot(T* pels, long width, long height, long rowUpdate) {
  if (width < 0 || height < 0) cc_detail::throwBadParams("negative pel buffer size");
  if (rowUpdate < width) cc_detail::throwBadParams("row step shorter than the width");
  if (!pels && width > 0 && height > 0) cc_detail::throwBadParams("null pels");
  pels_ = pels;
  width_ = width;
  height_ = height;
  rowUpdate_ = rowUpdate;
  owner_ = false;
}

template <class T>
ccPelRoot<T>::~ccPelRoot() {
  if (owner_) ::operator delete(static_cast<void*>(pels_), std::align_val_t(kRootAlignment));
}

template class ccPelRoot<unsigned char>;
template class ccPelRoot<unsigned short>;
template class ccPelRoot<ccPackedRGB16Pel>;
template class ccPelRoot<ccPackedRGB32Pel>;
template class ccPelBuffer_const<unsigned char>;
template class ccPelBuffer_const<unsigned short>;
template class ccPelBuffer_const<ccPackedRGB16Pel>;
template class ccPelBuffer_const<ccPackedRGB32Pel>;
template class ccPelBuffer<unsigned char>;
template class ccPelBuffer<unsigned short>;
template class ccPelBuffer<ccPackedRGB16Pel>;
template class ccPelBuffer<ccPackedRGB32Pel>;
