// The graphics-list library (our stand-in): a flat list of overlay-graphic records that callers
// build with the cgr_list_append* functions, and that the display library's bridge
// (dispc/bridge.h) draws, turns into graphics and writes.
//
// A record is a type (int32), a colour (cgr_color), then the payload of its type. Records lie
// back to back without gaps; every field is little-endian, coordinates are IEEE doubles and
// counts int32:
//   type               payload                                                        bytes
//   0  point           x, y                                                               16
//   1  line segment    p1.x, p1.y, p2.x, p2.y                                             32
//   2  line            direction, position (cmath_vect each)                              32
//   3  rectangle       upper-left corner, size (cmath_vect each)                          32
//   4  general rect    centre, half-size (cmath_vect), rotation, rounding (cmath_vect)   56
//   5  circle          centre x, y, radius                                                24
//   6  ellipse         a cmath_shapeEllipse                                              104
//   7  polyline        count n, closed flag (int32, non-zero = closed), n points x, y   8 + 16n
//   8  affine rect     a cmath_shapeAffineRect                                            48
//   9  text            position (16), background cgr_color (4), alignment 0-8 (4),
//                      offset in pixels (16), 8 reserved bytes (0), NUL-terminated text
//                                                                                48 + length + 1
//   10 segment set     count n, then n segments p1.x, p1.y, p2.x, p2.y                4 + 32n
// Circles and ellipses have no append function here: their records come from elsewhere.
//
// Every append function checks its arguments first and leaves the list unchanged when it fails
// (cgr_eBadArgument, cgr_eNoMemory). A list belongs to the thread that uses it.
#pragma once

#include <cgr/shapemath.h>

#include <cstddef>
#include <cstdint>

// A graphics-list colour code: 0 to 15 name stock colours; a code with bit value 128 set
// carries red, green and blue in bits 24-31, 16-23 and 8-15.
typedef std::uint32_t cgr_color;

typedef std::int32_t cgr_status;
enum : cgr_status {
  cgr_eOk = 0,
  // A null list or pointer, a negative count, an alignment outside 0-8.
  cgr_eBadArgument = 0x10007E01,
  // The record area cannot grow (allocation failed, or the list would pass 2^31 - 1 records
  // or its size limit).
  cgr_eNoMemory = 0x10007E02,
};

enum cgr_recordType : std::int32_t {
  cgr_ePoint = 0,
  cgr_eLineSeg = 1,
  cgr_eLine = 2,
  cgr_eRect = 3,
  cgr_eGenRect = 4,
  cgr_eCircle = 5,
  cgr_eEllipse = 6,
  cgr_ePolyline = 7,
  cgr_eAffineRect = 8,
  cgr_eText = 9,
  cgr_eLineSegSet = 10,
};

// Word-sized members: the record count in the first word, the record area's address in the
// fourth. `size` is how many bytes of the area the records fill; readers take no byte past it.
// A list built by hand over memory of its own (capacity 0) may be read, not appended to or
// freed.
struct cgr_list {
  std::int32_t count;
  std::size_t size;
  std::size_t capacity;
  unsigned char* records;
};
static_assert(offsetof(cgr_list, records) == 3 * sizeof(void*),
              "the record area's address is the fourth word");

// An empty list. The list owns its record area until cgr_list_free.
void cgr_list_init(cgr_list* list);
// Releases the record area; the list is empty again.
void cgr_list_free(cgr_list* list);

cgr_status cgr_list_appendPoint(cgr_list* list, cgr_color color, double x, double y);
cgr_status cgr_list_appendLineSeg(cgr_list* list, cgr_color color, double x1, double y1, double x2,
                                  double y2);
cgr_status cgr_list_appendLineDirPoint(cgr_list* list, cgr_color color, cmath_vect direction,
                                       cmath_vect position);
cgr_status cgr_list_appendRect(cgr_list* list, cgr_color color, double x, double y,
                               cmath_vect size);
cgr_status cgr_list_appendGenRect(cgr_list* list, cgr_color color, cmath_vect center,
                                  cmath_vect halfSize, double rotation, cmath_vect rounding);
cgr_status cgr_list_appendShapeAffineRect(cgr_list* list, cgr_color color,
                                          const cmath_shapeAffineRect* rect);
// n vertices (none needed when n is 0).
cgr_status cgr_list_appendPolyline(cgr_list* list, cgr_color color, std::int32_t n,
                                   const cmath_vect* vertices, bool closed);
// n segments given by 2n end points p1, p2, p1, p2 ...
cgr_status cgr_list_appendLineSegSet(cgr_list* list, cgr_color color, std::int32_t n,
                                     const cmath_vect* endPoints);
// text is NUL-terminated; alignment 0-8 (top-left to bottom-right, row by row).
cgr_status cgr_list_appendTextEx(cgr_list* list, cgr_color color, cmath_vect location,
                                 const char* text, cgr_color background, std::int32_t alignment,
                                 cmath_vect offset);
