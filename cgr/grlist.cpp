#include <cgr/grlist.h>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kHeaderBytes = 8;  // type and colour
constexpr std::size_t kTextFixedBytes = 48;
// The area never grows past this, so that sizes and doubled capacities cannot overflow.
constexpr std::size_t kMaxAreaBytes = std::numeric_limits<std::size_t>::max() / 4;

// Writes little-endian fields one after the other.
class RecordWriter {
 public:
  explicit RecordWriter(unsigned char* at) : at_(at) {}
  RecordWriter& u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) *at_++ = static_cast<unsigned char>(v >> (8 * i));
    return *this;
  }
  RecordWriter& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
  RecordWriter& real(double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    for (int i = 0; i < 8; ++i) *at_++ = static_cast<unsigned char>(u >> (8 * i));
    return *this;
  }
  RecordWriter& vect(const cmath_vect& v) { return real(v.x).real(v.y); }
  RecordWriter& bytes(const void* from, std::size_t n) {
    if (n) std::memcpy(at_, from, n);
    at_ += n;
    return *this;
  }

 private:
  unsigned char* at_;
};

// Room for `bytes` more bytes at the end of the list's area: the status, and where they go.
cgr_status reserve(cgr_list* list, std::size_t bytes, unsigned char** at) {
  if (list->capacity == 0 && list->records) return cgr_eBadArgument;  // not the list's memory
  if (list->count == std::numeric_limits<std::int32_t>::max() || bytes > kMaxAreaBytes - list->size)
    return cgr_eNoMemory;
  const std::size_t needed = list->size + bytes;
  if (needed > list->capacity) {
    std::size_t capacity = list->capacity < 256 ? 256 : 2 * list->capacity;
    if (capacity < needed) capacity = needed;
    void* grown = std::realloc(list->records, capacity);
    if (!grown) return cgr_eNoMemory;
    list->records = static_cast<unsigned char*>(grown);
    list->capacity = capacity;
  }
  *at = list->records + list->size;
  return cgr_eOk;
}

// Appends one record: header, then the payload that fill writes (exactly payloadBytes).
template <class Fill>
cgr_status append(cgr_list* list, cgr_recordType type, cgr_color color, std::size_t payloadBytes,
                  Fill fill) {
  if (!list) return cgr_eBadArgument;
  unsigned char* at = nullptr;
  if (const cgr_status s = reserve(list, kHeaderBytes + payloadBytes, &at); s != cgr_eOk) return s;
  RecordWriter w(at);
  w.i32(type).u32(color);
  fill(w);
  list->size += kHeaderBytes + payloadBytes;
  ++list->count;
  return cgr_eOk;
}

// Payload bytes of n items of itemBytes after fixedBytes, or 0 when n is out of range.
std::size_t countedBytes(std::int32_t n, std::size_t itemBytes, std::size_t fixedBytes) {
  if (n < 0 || static_cast<std::size_t>(n) > (kMaxAreaBytes - fixedBytes) / itemBytes) return 0;
  return fixedBytes + itemBytes * static_cast<std::size_t>(n);
}

}  // namespace

void cgr_list_init(cgr_list* list) {
  if (list) *list = cgr_list{0, 0, 0, nullptr};
}

void cgr_list_free(cgr_list* list) {
  if (!list) return;
  if (list->capacity) std::free(list->records);
  cgr_list_init(list);
}

cgr_status cgr_list_appendPoint(cgr_list* list, cgr_color color, double x, double y) {
  return append(list, cgr_ePoint, color, 16, [&](RecordWriter& w) { w.real(x).real(y); });
}

cgr_status cgr_list_appendLineSeg(cgr_list* list, cgr_color color, double x1, double y1, double x2,
                                  double y2) {
  return append(list, cgr_eLineSeg, color, 32,
                [&](RecordWriter& w) { w.real(x1).real(y1).real(x2).real(y2); });
}

cgr_status cgr_list_appendLineDirPoint(cgr_list* list, cgr_color color, cmath_vect direction,
                                       cmath_vect position) {
  return append(list, cgr_eLine, color, 32,
                [&](RecordWriter& w) { w.vect(direction).vect(position); });
}

cgr_status cgr_list_appendRect(cgr_list* list, cgr_color color, double x, double y,
                               cmath_vect size) {
  return append(list, cgr_eRect, color, 32, [&](RecordWriter& w) { w.real(x).real(y).vect(size); });
}

cgr_status cgr_list_appendGenRect(cgr_list* list, cgr_color color, cmath_vect center,
                                  cmath_vect halfSize, double rotation, cmath_vect rounding) {
  return append(list, cgr_eGenRect, color, 56, [&](RecordWriter& w) {
    w.vect(center).vect(halfSize).real(rotation).vect(rounding);
  });
}

cgr_status cgr_list_appendShapeAffineRect(cgr_list* list, cgr_color color,
                                          const cmath_shapeAffineRect* rect) {
  if (!rect) return cgr_eBadArgument;
  return append(list, cgr_eAffineRect, color, 48,
                [&](RecordWriter& w) { w.vect(rect->po).vect(rect->px).vect(rect->py); });
}

cgr_status cgr_list_appendPolyline(cgr_list* list, cgr_color color, std::int32_t n,
                                   const cmath_vect* vertices, bool closed) {
  const std::size_t bytes = countedBytes(n, 16, 8);
  if (bytes == 0 || (n > 0 && !vertices)) return cgr_eBadArgument;
  return append(list, cgr_ePolyline, color, bytes, [&](RecordWriter& w) {
    w.i32(n).i32(closed ? 1 : 0);
    for (std::int32_t i = 0; i < n; ++i) w.vect(vertices[i]);
  });
}

cgr_status cgr_list_appendLineSegSet(cgr_list* list, cgr_color color, std::int32_t n,
                                     const cmath_vect* endPoints) {
  const std::size_t bytes = countedBytes(n, 32, 4);
  if (bytes == 0 || (n > 0 && !endPoints)) return cgr_eBadArgument;
  return append(list, cgr_eLineSegSet, color, bytes, [&](RecordWriter& w) {
    w.i32(n);
    for (std::int32_t i = 0; i < 2 * n; ++i) w.vect(endPoints[i]);
  });
}

cgr_status cgr_list_appendTextEx(cgr_list* list, cgr_color color, cmath_vect location,
                                 const char* text, cgr_color background, std::int32_t alignment,
                                 cmath_vect offset) {
  if (!text || alignment < 0 || alignment > 8) return cgr_eBadArgument;
  const std::size_t length = std::strlen(text);
  if (length > kMaxAreaBytes - kTextFixedBytes - 1) return cgr_eNoMemory;
  static const unsigned char kReserved[8] = {};
  return append(list, cgr_eText, color, kTextFixedBytes + length + 1, [&](RecordWriter& w) {
    w.vect(location).u32(background).i32(alignment).vect(offset).bytes(kReserved, 8);
    w.bytes(text, length + 1);
  });
}
