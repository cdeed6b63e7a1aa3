// The sketch byte stream: the opcode table, field codecs, a bounds-checked reader and an
// operation walker.
//
// A sketch stream is a flat sequence of operations with no header, length prefix or end marker.
// Each operation is an optional props prefix (the byte 40, then the 21-byte props record), an
// 8-byte opcode record (opcode, layer, 6-byte colour field) and a payload whose size follows
// from the opcode and, for some opcodes, from fields of the payload.
//
// Fields are little-endian, unaligned and unpadded: long fields are 32-bit, double binary64,
// float binary32, bool one byte. Writers append through the codecs below; readers go through
// ccSketchReader or ccSketchWalker, which check every read against the end of the buffer and
// throw ccUIError::InvalidUISketch instead of reading past it.
//
// The opcode table DISPC_SKETCH_OPCODES is the one list of opcodes: the enum, the names, the
// payload sizes, the operation objects and the replay dispatch are all generated from it, so an
// opcode cannot be added in one place and forgotten in another.
#pragma once

#include <core/vector.h>
#include <dispc/color.h>
#include <dispc/dispprop.h>
#include <dispc/errors.h>
#include <dispc/uirect.h>
#include <dispc/uistring.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

class ccUISketch;

// ---------------------------------------------------------------------------------------------
// Field sizes.

constexpr std::size_t kSketchColorFieldSize = 6;    // kind, index, r, g, b, reserved
constexpr std::size_t kSketchPointFieldSize = 16;   // x, y (doubles)
constexpr std::size_t kSketchUIRectFieldSize = 16;  // ul.x, ul.y, sz.x, sz.y (longs)
constexpr std::size_t kSketchFormatFieldSize = 8;   // font id, alignment (longs)
constexpr std::size_t kSketchPropsRecordSize = 21;  // a 0 version byte, then 20 bytes of props
constexpr std::size_t kSketchPropsPrefixSize = 1 + kSketchPropsRecordSize;
constexpr std::size_t kSketchOpRecordSize = 8;  // opcode, layer, colour field
// Fixed-size value encodings of core values used inside payloads.
constexpr std::size_t kSketchEllipseGeomSize = 48;   // the ellipse geometry record
constexpr std::size_t kSketchRectImageSize = 60;     // a ccRect (opcodes 16, 18, 25)
constexpr std::size_t kSketchXformImageSize = 56;    // a ccXform<2> (opcode 12)
constexpr std::size_t kSketchGenPolyBlockSize = 56;  // leading block of a general polygon
constexpr std::size_t kSketchGenShapeTagSize = 16;   // a ccGenShape::tagShapeID
constexpr std::size_t kSketchBezierSize = 96;        // four points and four weights

// The byte that introduces a props prefix; never an operation of its own.
constexpr signed char kSketchPropsOpcode = 40;
// Opcodes run from 0 to kSketchOpcodeCount - 1.
constexpr int kSketchOpcodeCount = 48;

// ---------------------------------------------------------------------------------------------
// Payload size rules.

// Computes the size of a payload from its fields. Reads only the first `available` bytes;
// throws ccUIError::InvalidUISketch when a field it needs lies beyond them or holds an
// impossible value (a negative count, a missing terminator).
using ccSketchSizeFn = std::uint64_t (*)(const unsigned char* payload, std::size_t available);

struct ccSketchSizeRule {
  enum Kind : unsigned char {
    eFixed,     // always `bytes` bytes
    eComputed,  // computed by fn from the payload's fields
    eSame,      // (version-0 column only) as the current form
    eInvalid,   // not an opcode
    ePrefix,    // the props prefix: `bytes` record bytes, never an operation
  };
  Kind kind;
  std::size_t bytes;
  ccSketchSizeFn fn;

  static constexpr ccSketchSizeRule fixed(std::size_t n) { return {eFixed, n, nullptr}; }
  static constexpr ccSketchSizeRule computed(ccSketchSizeFn f) { return {eComputed, 0, f}; }
  static constexpr ccSketchSizeRule same() { return {eSame, 0, nullptr}; }
  static constexpr ccSketchSizeRule invalid() { return {eInvalid, 0, nullptr}; }
  static constexpr ccSketchSizeRule prefix(std::size_t n) { return {ePrefix, n, nullptr}; }
};

// The computed rules (defined in sketchformat.cpp).
namespace ccSketchSize {
std::uint64_t string(const unsigned char*, std::size_t);         // 30 + length + 1
std::uint64_t unicodeString(const unsigned char*, std::size_t);  // 30 + 2 (length + 1)
std::uint64_t pelBuf8(const unsigned char*, std::size_t);        // 91 + width * height
std::uint64_t rleBuf(const unsigned char*, std::size_t);         // fixed fields, then rows
std::uint64_t sketch(const unsigned char*, std::size_t);         // 20 + n
std::uint64_t setRect(const unsigned char*, std::size_t);        // 17 or 61
std::uint64_t fill(const unsigned char*, std::size_t);           // 19 or 27
std::uint64_t outline3d(const unsigned char*, std::size_t);      // 33 or 77
std::uint64_t polygon(const unsigned char*, std::size_t);        // 8 + 16n
std::uint64_t genShape(const unsigned char*, std::size_t);       // 26 + n
std::uint64_t genPoly(const unsigned char*, std::size_t);        // 68 + 104n (also wireframe)
std::uint64_t cubicSpline(const unsigned char*, std::size_t);    // 4 + 96n
std::uint64_t polyline(const unsigned char*, std::size_t);       // 5 + 16n
std::uint64_t setRectV0(const unsigned char*, std::size_t);      // 17 or 33
std::uint64_t outline3dV0(const unsigned char*, std::size_t);    // 27 or 43
std::uint64_t genShapeV0(const unsigned char*, std::size_t);     // 20 + n
}  // namespace ccSketchSize

// ---------------------------------------------------------------------------------------------
// The opcode table.
//
// DISPC_SKETCH_OPCODES(OP, NOOP) lists opcodes 0 to 47 in order:
//   OP(number, Name, OperationClass, currentRule, version0Rule)  an operation
//   NOOP(number, Name, rule)                                    invalid opcodes and the prefix
// OperationClass is the class that parses, rebuilds and replays the payload; opcodes 29, 30,
// 31 and 38 share the classes of 4, 5, 8 and 34. The version-0 rule is the payload size in
// archives of version 0 (same() where it equals the current form).
#define DISPC_SKETCH_R ccSketchSizeRule
#define DISPC_SKETCH_OPCODES(OP, NOOP)                                                             \
  OP(0, Point, cc_UISketchOpPoint, DISPC_SKETCH_R::fixed(16), DISPC_SKETCH_R::same())              \
  OP(1, PointIcon, cc_UISketchOpPointIcon, DISPC_SKETCH_R::fixed(16), DISPC_SKETCH_R::same())      \
  OP(2, LineSeg, cc_UISketchOpLineSeg, DISPC_SKETCH_R::fixed(32), DISPC_SKETCH_R::same())          \
  OP(3, Line, cc_UISketchOpLine, DISPC_SKETCH_R::fixed(32), DISPC_SKETCH_R::same())                \
  OP(4, Circle, cc_UISketchOpCircle, DISPC_SKETCH_R::fixed(24), DISPC_SKETCH_R::same())            \
  OP(5, Ellipse, cc_UISketchOpEllipse, DISPC_SKETCH_R::fixed(48), DISPC_SKETCH_R::same())          \
  OP(6, EllipseArc, cc_UISketchOpEllipseArc, DISPC_SKETCH_R::fixed(192), DISPC_SKETCH_R::same())   \
  OP(7, EllipseAnnSect, cc_UISketchOpEllipseAnnSect, DISPC_SKETCH_R::fixed(500),                   \
     DISPC_SKETCH_R::fixed(440))                                                                   \
  OP(8, GenRect, cc_UISketchOpGenRect, DISPC_SKETCH_R::fixed(124), DISPC_SKETCH_R::fixed(96))      \
  OP(9, GenAnn, cc_UISketchOpGenAnn, DISPC_SKETCH_R::fixed(284), DISPC_SKETCH_R::fixed(192))       \
  OP(10, CoordAxes, cc_UISketchOpCoordAxes, DISPC_SKETCH_R::fixed(48), DISPC_SKETCH_R::same())     \
  OP(11, String, cc_UISketchOpString, DISPC_SKETCH_R::computed(&ccSketchSize::string),             \
     DISPC_SKETCH_R::same())                                                                       \
  OP(12, PelBuf8, cc_UISketchOpPelBuf8, DISPC_SKETCH_R::computed(&ccSketchSize::pelBuf8),          \
     DISPC_SKETCH_R::same())                                                                       \
  NOOP(13, Invalid13, DISPC_SKETCH_R::invalid())                                                   \
  OP(14, RleBuf, cc_UISketchOpRleBuf, DISPC_SKETCH_R::computed(&ccSketchSize::rleBuf),             \
     DISPC_SKETCH_R::same())                                                                       \
  OP(15, Sketch, cc_UISketchOpSketch, DISPC_SKETCH_R::computed(&ccSketchSize::sketch),             \
     DISPC_SKETCH_R::same())                                                                       \
  OP(16, Set, cc_UISketchOpSet, DISPC_SKETCH_R::computed(&ccSketchSize::setRect),                  \
     DISPC_SKETCH_R::computed(&ccSketchSize::setRectV0))                                           \
  OP(17, SetAll, cc_UISketchOpSetAll, DISPC_SKETCH_R::fixed(0), DISPC_SKETCH_R::same())            \
  OP(18, SetComp, cc_UISketchOpSetComp, DISPC_SKETCH_R::computed(&ccSketchSize::setRect),          \
     DISPC_SKETCH_R::computed(&ccSketchSize::setRectV0))                                           \
  OP(19, Fill, cc_UISketchOpFill, DISPC_SKETCH_R::computed(&ccSketchSize::fill),                   \
     DISPC_SKETCH_R::same())                                                                       \
  OP(20, DrawStart, cc_UISketchOpDrawStart, DISPC_SKETCH_R::fixed(16), DISPC_SKETCH_R::same())     \
  OP(21, DrawTo, cc_UISketchOpDrawTo, DISPC_SKETCH_R::fixed(16), DISPC_SKETCH_R::same())           \
  OP(22, DrawToRelPels, cc_UISketchOpDrawToRelPels, DISPC_SKETCH_R::fixed(8),                      \
     DISPC_SKETCH_R::same())                                                                       \
  OP(23, MoveToRelPels, cc_UISketchOpMoveToRelPels, DISPC_SKETCH_R::fixed(8),                      \
     DISPC_SKETCH_R::same())                                                                       \
  NOOP(24, Invalid24, DISPC_SKETCH_R::invalid())                                                   \
  OP(25, Outline3d, cc_UISketchOpOutline3d, DISPC_SKETCH_R::computed(&ccSketchSize::outline3d),    \
     DISPC_SKETCH_R::computed(&ccSketchSize::outline3dV0))                                         \
  OP(26, Arrow, cc_UISketchOpArrow, DISPC_SKETCH_R::fixed(36), DISPC_SKETCH_R::same())             \
  OP(27, AffineRect, cc_UISketchOpAffineRect, DISPC_SKETCH_R::fixed(204),                          \
     DISPC_SKETCH_R::fixed(176))                                                                   \
  OP(28, Polygon, cc_UISketchOpPolygon, DISPC_SKETCH_R::computed(&ccSketchSize::polygon),          \
     DISPC_SKETCH_R::same())                                                                       \
  OP(29, CircleFilled, cc_UISketchOpCircle, DISPC_SKETCH_R::fixed(24), DISPC_SKETCH_R::same())     \
  OP(30, EllipseFilled, cc_UISketchOpEllipse, DISPC_SKETCH_R::fixed(48), DISPC_SKETCH_R::same())   \
  OP(31, GenRectFilled, cc_UISketchOpGenRect, DISPC_SKETCH_R::fixed(124),                          \
     DISPC_SKETCH_R::fixed(96))                                                                    \
  OP(32, Rect, cc_UISketchOpRect, DISPC_SKETCH_R::fixed(32), DISPC_SKETCH_R::fixed(33))            \
  OP(33, GenShape, cc_UISketchOpGenShape, DISPC_SKETCH_R::computed(&ccSketchSize::genShape),       \
     DISPC_SKETCH_R::computed(&ccSketchSize::genShapeV0))                                          \
  OP(34, GenPoly, cc_UISketchOpGenPoly, DISPC_SKETCH_R::computed(&ccSketchSize::genPoly),          \
     DISPC_SKETCH_R::same())                                                                       \
  OP(35, UnicodeString, cc_UISketchOpUnicodeString,                                                \
     DISPC_SKETCH_R::computed(&ccSketchSize::unicodeString), DISPC_SKETCH_R::same())               \
  NOOP(36, Invalid36, DISPC_SKETCH_R::invalid())                                                   \
  OP(37, Cross, cc_UISketchOpCross, DISPC_SKETCH_R::fixed(32), DISPC_SKETCH_R::same())             \
  OP(38, GenPolyVertices, cc_UISketchOpGenPoly, DISPC_SKETCH_R::computed(&ccSketchSize::genPoly),  \
     DISPC_SKETCH_R::same())                                                                       \
  OP(39, EllipseAnnSectArrowheadFlag, cc_UISketchOpEllipseAnnSectArrowheadFlag,                    \
     DISPC_SKETCH_R::fixed(502), DISPC_SKETCH_R::fixed(442))                                       \
  NOOP(40, PropsPrefix, DISPC_SKETCH_R::prefix(kSketchPropsRecordSize))                            \
  OP(41, Wireframe, cc_UISketchOpWireframe, DISPC_SKETCH_R::computed(&ccSketchSize::genPoly),      \
     DISPC_SKETCH_R::same())                                                                       \
  OP(42, BezierCurve, cc_UISketchOpBezierCurve, DISPC_SKETCH_R::fixed(96), DISPC_SKETCH_R::same()) \
  OP(43, CubicSpline, cc_UISketchOpCubicSpline,                                                    \
     DISPC_SKETCH_R::computed(&ccSketchSize::cubicSpline), DISPC_SKETCH_R::same())                 \
  OP(44, Polyline, cc_UISketchOpPolyline, DISPC_SKETCH_R::computed(&ccSketchSize::polyline),       \
     DISPC_SKETCH_R::same())                                                                       \
  OP(45, Ellipse2, cc_UISketchOpEllipse2, DISPC_SKETCH_R::fixed(40), DISPC_SKETCH_R::same())       \
  OP(46, EllipseArc2, cc_UISketchOpEllipseArc2, DISPC_SKETCH_R::fixed(65), DISPC_SKETCH_R::same()) \
  OP(47, ClipRect, cc_UISketchOpClipRect, DISPC_SKETCH_R::fixed(32), DISPC_SKETCH_R::fixed(33))

// The opcodes by name: ccSketchOp::eLineSeg is 2, ccSketchOp::ePropsPrefix 40.
enum class ccSketchOp : signed char {
#define DISPC_SKETCH_ENUM_OP(n, Name, Class, rule, rule0) e##Name = n,
#define DISPC_SKETCH_ENUM_NOOP(n, Name, rule) e##Name = n,
  DISPC_SKETCH_OPCODES(DISPC_SKETCH_ENUM_OP, DISPC_SKETCH_ENUM_NOOP)
#undef DISPC_SKETCH_ENUM_OP
#undef DISPC_SKETCH_ENUM_NOOP
};

// One row of the table.
struct ccSketchOpInfo {
  int number;
  const char* name;       // "LineSeg"
  const char* className;  // "cc_UISketchOpLineSeg"; "" for invalid opcodes and the prefix
  ccSketchSizeRule rule;
  ccSketchSizeRule rule0;  // version-0 payload (invalid for invalid opcodes and the prefix)
};

inline constexpr ccSketchOpInfo kSketchOpTable[kSketchOpcodeCount] = {
#define DISPC_SKETCH_ROW_OP(n, Name, Class, rule, rule0) {n, #Name, #Class, rule, rule0},
#define DISPC_SKETCH_ROW_NOOP(n, Name, rule) {n, #Name, "", rule, DISPC_SKETCH_R::invalid()},
    DISPC_SKETCH_OPCODES(DISPC_SKETCH_ROW_OP, DISPC_SKETCH_ROW_NOOP)
#undef DISPC_SKETCH_ROW_OP
#undef DISPC_SKETCH_ROW_NOOP
};

namespace cc_detail {
constexpr bool tableInOrder() {
  for (int i = 0; i < kSketchOpcodeCount; ++i)
    if (kSketchOpTable[i].number != i) return false;
  return true;
}
}  // namespace cc_detail
static_assert(cc_detail::tableInOrder(), "the opcode table lists 0 to 47 in order");

// The table row of an opcode, or nullptr outside 0 to 47.
constexpr const ccSketchOpInfo* cfSketchOpInfo(long op) {
  return op >= 0 && op < kSketchOpcodeCount ? &kSketchOpTable[op] : nullptr;
}
// True for the opcodes of operations: 0 to 47 except 13, 24, 36 and the prefix 40.
constexpr bool cfSketchOpIsValid(long op) {
  // Indexes the table directly: comparing an element's address with null is not a constant
  // expression in sanitizer builds.
  return op >= 0 && op < kSketchOpcodeCount &&
         kSketchOpTable[op].rule.kind != ccSketchSizeRule::eInvalid &&
         kSketchOpTable[op].rule.kind != ccSketchSizeRule::ePrefix;
}
// The operation class name of an opcode ("cc_UISketchOpLineSeg"); "" when not an operation.
constexpr const char* cfSketchOpName(long op) {
  return cfSketchOpIsValid(op) ? kSketchOpTable[op].className : "";
}
// The fixed payload size of an opcode; 0 when its size is computed or it is not an operation.
constexpr std::size_t cfSketchFixedPayloadSize(long op) {
  return cfSketchOpIsValid(op) && kSketchOpTable[op].rule.kind == ccSketchSizeRule::eFixed
             ? kSketchOpTable[op].rule.bytes
             : 0;
}

// The payload size of an operation whose payload starts at `payload`, with `available` bytes
// from there to the end of the buffer. Throws ccUIError::InvalidUISketch for an opcode that is
// not an operation, for fields the size depends on that lie beyond the available bytes or hold
// impossible values, and when the whole payload does not fit in the available bytes.
std::size_t cfSketchPayloadSize(long op, const unsigned char* payload, std::size_t available);
// The same for the payload forms of version-0 archives.
std::size_t cfSketchPayloadSizeV0(long op, const unsigned char* payload, std::size_t available);

// ---------------------------------------------------------------------------------------------
// Field codecs.
//
// The store and load functions work on raw pointers that the caller has sized (they check
// nothing); the put functions append to a sink (a ccUISketch or a std::vector<unsigned char>)
// and check the value range first, so that a rejected value leaves the sink unchanged.
//
// long fields are 32-bit in the stream. A long outside the int32 range (or an unsigned long
// above the uint32 range) cannot be recorded: the put functions throw
// ccUIError::InvalidUISketch (the stream could not hold the operation) rather than record a
// different value. ccUIError::BadParams is left to back ends: the library never throws it.

namespace cc_detail {
constexpr bool kLittleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

template <class U>
inline void storeLE(unsigned char* p, U v) {
  static_assert(std::is_unsigned<U>::value, "unsigned only");
  if constexpr (kLittleEndianHost) {
    std::memcpy(p, &v, sizeof v);
  } else {
    for (std::size_t i = 0; i < sizeof(U); ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
  }
}
template <class U>
inline U loadLE(const unsigned char* p) {
  static_assert(std::is_unsigned<U>::value, "unsigned only");
  U v = 0;
  if constexpr (kLittleEndianHost) {
    std::memcpy(&v, p, sizeof v);
  } else {
    for (std::size_t i = 0; i < sizeof(U); ++i) v |= static_cast<U>(p[i]) << (8 * i);
  }
  return v;
}

// The colour field is the in-memory form of ccColor (kind, index, r, g, b) plus a reserved
// byte; ccColor is five plain bytes, copied as they lie.
static_assert(sizeof(ccColor) == 5 && std::is_trivially_copyable<ccColor>::value &&
                  std::is_standard_layout<ccColor>::value,
              "ccColor is the five bytes kind, index, r, g, b");
}  // namespace cc_detail

// Raw stores (little-endian, unaligned).
inline void cfSketchStoreI32(unsigned char* p, std::int32_t v) {
  cc_detail::storeLE(p, static_cast<std::uint32_t>(v));
}
inline void cfSketchStoreU32(unsigned char* p, std::uint32_t v) { cc_detail::storeLE(p, v); }
inline void cfSketchStoreDouble(unsigned char* p, double v) {
  std::uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  cc_detail::storeLE(p, u);
}
inline void cfSketchStoreFloat(unsigned char* p, float v) {
  std::uint32_t u;
  std::memcpy(&u, &v, sizeof u);
  cc_detail::storeLE(p, u);
}
// Six bytes; the reserved sixth byte is written 0.
inline void cfSketchStoreColor(unsigned char* p, const ccColor& c) {
  std::memcpy(p, &c, 5);
  p[5] = 0;
}
inline void cfSketchStorePoint(unsigned char* p, const ccVector<2>& v) {
  cfSketchStoreDouble(p, v.x());
  cfSketchStoreDouble(p + 8, v.y());
}

// n points one after the other (x, y, x, y ...). A little-endian host copies them at once:
// ccVector<2> is exactly its two doubles.
inline void cfSketchStorePoints(unsigned char* p, const ccVector<2>* v, std::size_t n) {
  if constexpr (cc_detail::kLittleEndianHost && sizeof(ccVector<2>) == 16 &&
                std::is_trivially_copyable<ccVector<2>>::value) {
    if (n) std::memcpy(p, v, 16 * n);
  } else {
    for (std::size_t i = 0; i < n; ++i) cfSketchStorePoint(p + 16 * i, v[i]);
  }
}

// Raw loads.
inline std::int32_t cfSketchLoadI32(const unsigned char* p) {
  const std::uint32_t u = cc_detail::loadLE<std::uint32_t>(p);
  std::int32_t v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}
inline std::uint32_t cfSketchLoadU32(const unsigned char* p) {
  return cc_detail::loadLE<std::uint32_t>(p);
}
inline double cfSketchLoadDouble(const unsigned char* p) {
  const std::uint64_t u = cc_detail::loadLE<std::uint64_t>(p);
  double v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}
inline float cfSketchLoadFloat(const unsigned char* p) {
  const std::uint32_t u = cc_detail::loadLE<std::uint32_t>(p);
  float v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}
// The sixth (reserved) byte is ignored.
inline ccColor cfSketchLoadColor(const unsigned char* p) {
  ccColor c;
  std::memcpy(static_cast<void*>(&c), p, 5);
  return c;
}
inline ccVector<2> cfSketchLoadPoint(const unsigned char* p) {
  return ccVector<2>(cfSketchLoadDouble(p), cfSketchLoadDouble(p + 8));
}

// Range checks of long fields: throw ccUIError::InvalidUISketch outside the 32-bit range.
inline std::int32_t cfSketchCheckedI32(long v) {
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    throw ccUIError::InvalidUISketch("value " + std::to_string(v) + " does not fit a 32-bit field");
  return static_cast<std::int32_t>(v);
}
inline std::uint32_t cfSketchCheckedU32(unsigned long v) {
  if (v > std::numeric_limits<std::uint32_t>::max())
    throw ccUIError::InvalidUISketch("value " + std::to_string(v) + " does not fit a 32-bit field");
  return static_cast<std::uint32_t>(v);
}

// Sinks: reserve n bytes at the end and return a pointer to them.
inline unsigned char* cfSketchReserve(std::vector<unsigned char>& v, std::size_t n) {
  const std::size_t old = v.size();
  v.resize(old + n);
  return v.data() + old;
}
// Defined in uisketch.h.
unsigned char* cfSketchReserve(ccUISketch& s, std::size_t n);

// Appending codecs. Sink is ccUISketch or std::vector<unsigned char>.
template <class Sink>
void cfSketchPutByte(Sink& s, unsigned char v) {
  *cfSketchReserve(s, 1) = v;
}
template <class Sink>
void cfSketchPutSignedByte(Sink& s, signed char v) {
  *cfSketchReserve(s, 1) = static_cast<unsigned char>(v);
}
template <class Sink>
void cfSketchPutBool(Sink& s, bool v) {
  *cfSketchReserve(s, 1) = v ? 1 : 0;
}
template <class Sink>
void cfSketchPutLong(Sink& s, long v) {
  const std::int32_t w = cfSketchCheckedI32(v);
  cfSketchStoreI32(cfSketchReserve(s, 4), w);
}
template <class Sink>
void cfSketchPutULong(Sink& s, unsigned long v) {
  const std::uint32_t w = cfSketchCheckedU32(v);
  cfSketchStoreU32(cfSketchReserve(s, 4), w);
}
template <class Sink>
void cfSketchPutFloat(Sink& s, float v) {
  cfSketchStoreFloat(cfSketchReserve(s, 4), v);
}
template <class Sink>
void cfSketchPutDouble(Sink& s, double v) {
  cfSketchStoreDouble(cfSketchReserve(s, 8), v);
}
template <class Sink>
void cfSketchPutColor(Sink& s, const ccColor& c) {
  cfSketchStoreColor(cfSketchReserve(s, kSketchColorFieldSize), c);
}
template <class Sink>
void cfSketchPutPoint(Sink& s, const ccVector<2>& v) {
  cfSketchStorePoint(cfSketchReserve(s, kSketchPointFieldSize), v);
}
// ul.x, ul.y, width, height.
template <class Sink>
void cfSketchPutUIRect(Sink& s, const ccUIRect& r) {
  const std::int32_t v[4] = {cfSketchCheckedI32(r.left()), cfSketchCheckedI32(r.top()),
                             cfSketchCheckedI32(r.width()), cfSketchCheckedI32(r.height())};
  unsigned char* p = cfSketchReserve(s, kSketchUIRectFieldSize);
  for (int i = 0; i < 4; ++i) cfSketchStoreI32(p + 4 * i, v[i]);
}
// Font id, then alignment.
template <class Sink>
void cfSketchPutFormat(Sink& s, const ccUIFormat& f) {
  const std::int32_t font = cfSketchCheckedI32(f.fontId());
  unsigned char* p = cfSketchReserve(s, kSketchFormatFieldSize);
  cfSketchStoreI32(p, font);
  cfSketchStoreI32(p + 4, static_cast<std::int32_t>(f.alignment()));
}
// The 21-byte props record (without the prefix byte 40).
template <class Sink>
void cfSketchPutProps(Sink& s, const ccGraphicProps& p) {
  p.writeSketchForm(cfSketchReserve(s, kSketchPropsRecordSize));
}
// The characters up to the first 0 character (as a C string would end), then a 0 byte.
template <class Sink>
void cfSketchPutString(Sink& s, const std::string& text) {
  const std::size_t n = std::strlen(text.c_str());
  unsigned char* p = cfSketchReserve(s, n + 1);
  std::memcpy(p, text.c_str(), n + 1);
}
template <class Sink>
void cfSketchPutBytes(Sink& s, const void* bytes, std::size_t n) {
  if (n) std::memcpy(cfSketchReserve(s, n), bytes, n);
}

// ---------------------------------------------------------------------------------------------
// Reading.

// A bounds-checked cursor over (data, size). Every read that would run past the end throws
// ccUIError::InvalidUISketch and leaves the position where it was, so a truncated or malformed
// stream never makes it read outside the buffer.
class ccSketchReader {
 public:
  ccSketchReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  bool atEnd() const { return pos_ == size_; }
  // Pointer to the current position.
  const unsigned char* current() const { return data_ + pos_; }

  // Throws InvalidUISketch unless n bytes remain.
  void require(std::size_t n) const {
    if (n > size_ - pos_) throw ccUIError::InvalidUISketch("the payload runs past the end");
  }
  void skip(std::size_t n) {
    require(n);
    pos_ += n;
  }
  // The next n bytes in place; the position moves past them.
  const unsigned char* bytes(std::size_t n) {
    require(n);
    const unsigned char* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  // The next byte without moving.
  unsigned char peekByte() const {
    require(1);
    return data_[pos_];
  }

  unsigned char readByte() { return *bytes(1); }
  signed char readSignedByte() { return static_cast<signed char>(*bytes(1)); }
  // Any non-zero byte is true.
  bool readBool() { return *bytes(1) != 0; }
  long readLong() { return cfSketchLoadI32(bytes(4)); }
  unsigned long readULong() { return cfSketchLoadU32(bytes(4)); }
  float readFloat() { return cfSketchLoadFloat(bytes(4)); }
  double readDouble() { return cfSketchLoadDouble(bytes(8)); }
  ccColor readColor() { return cfSketchLoadColor(bytes(kSketchColorFieldSize)); }
  ccVector<2> readPoint() { return cfSketchLoadPoint(bytes(kSketchPointFieldSize)); }
  // Built with ccUIRect's normalising constructor.
  ccUIRect readUIRect();
  // An alignment outside 0 to 8 throws InvalidUISketch.
  ccUIFormat readFormat();
  // The 21-byte props record into p (the pen colour is untouched). A version byte other than 0
  // throws InvalidUISketch, a negative width ccGraphicProps::BadParams; either leaves p and the
  // position unchanged.
  void readProps(ccGraphicProps& p);
  // A 0-terminated string: returns the characters in place and their count (without the
  // terminator); the position moves past the terminator. No terminator before the end throws.
  const char* readCString(std::size_t& length);
  std::string readString() {
    std::size_t n = 0;
    const char* p = readCString(n);
    return std::string(p, n);
  }
  // A string of 16-bit units ended by a 0 unit: returns the first unit's bytes in place and the
  // unit count (without the terminator).
  const unsigned char* readU16String(std::size_t& units);

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// One operation of a stream, as the walker splits it. Pointers point into the walked buffer.
struct ccSketchOperation {
  std::size_t offset = 0;                // of the operation's first byte (prefix included)
  std::size_t size = 0;                  // all its bytes: prefix, record and payload
  const unsigned char* props = nullptr;  // the 21-byte props record, nullptr without prefix
  signed char opcode = -1;
  signed char layer = 0;
  const unsigned char* color = nullptr;    // the 6-byte colour field
  const unsigned char* payload = nullptr;  // the payload (may be empty)
  std::size_t payloadSize = 0;

  bool hasProps() const { return props != nullptr; }
  ccColor penColor() const { return cfSketchLoadColor(color); }
};

// Payload forms: the current one, or the one of version-0 archives.
enum class ccSketchForm { eCurrent, eVersion0 };

// Reads the props prefix (if any) and the opcode record of the operation at `offset` of a stream
// of `size` bytes into op (everything but the payload size). Returns the bytes read: 8, or 30
// with a prefix. Throws ccUIError::InvalidUISketch, naming the offset, for a props prefix whose
// version byte is not 0, two prefixes in a row, an invalid opcode and a record that runs past the
// end. Every layer byte is read: draws on layers other than 0, 1 and 2 are recorded too.
std::size_t cfSketchReadRecord(const unsigned char* data, std::size_t size, std::size_t offset,
                               ccSketchOperation& op);
// "opcode 2 (LineSeg) at byte 40": names an operation in messages.
std::string cfSketchOpContext(const ccSketchOperation& op);

// Splits a stream into operations with full bounds checks. next() throws
// ccUIError::InvalidUISketch (leaving the position at the start of the bad operation) for what
// cfSketchReadRecord rejects and a payload that runs past the end or holds an impossible size;
// the message names the operation and its offset.
class ccSketchWalker {
 public:
  ccSketchWalker(const unsigned char* data, std::size_t size,
                 ccSketchForm form = ccSketchForm::eCurrent)
      : data_(data), size_(size), form_(form) {}

  // The next operation into op; false (op untouched) at the end of the stream.
  bool next(ccSketchOperation& op);
  std::size_t position() const { return pos_; }
  bool atEnd() const { return pos_ == size_; }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  ccSketchForm form_;
};

// Number of operations of a stream (the top level only). Throws as ccSketchWalker::next.
std::size_t cfSketchCountOperations(const unsigned char* data, std::size_t size,
                                    ccSketchForm form = ccSketchForm::eCurrent);
// Walks a stream and every nested stream of its nested-sketch operations (iteratively, so deep
// nesting cannot exhaust the call stack). Throws as ccSketchWalker::next.
void cfSketchValidate(const unsigned char* data, std::size_t size);
