// Sketch streams of version-0 archives: the payloads whose version-0 form differs from the
// current one, and the conversion of a whole version-0 stream into the current form.
//
// Version 0 stored general rectangles and annuli, annulus sections and affine rectangles in
// older images, world rectangles as corner and size, client rectangles after one unused byte,
// 3-D outlines without their first colour and generic shapes without a colour; a nested
// sketch is itself a version-0 stream. Parsing follows the rules of the current form
// (sketchop.cpp): payloads decode into locals, and an object changes only when its whole
// payload was accepted.
#include <dispc/sketchop.h>

#include <dispc/sketchop_p.h>
#include <dispc/sketchshapes.h>

#include <cstddef>
#include <utility>

namespace {

using cc_detail::consumed;
using cc_detail::decoded;
using cc_detail::readCount;

// Version-0 general rectangle (96 bytes): doubles 0-1 the centre, 2-5 the matrix, 7-8 the
// corner rounding.
ccGenRect loadGenRectV0(const unsigned char* p) {
  auto d = [p](int i) { return cfSketchLoadDouble(p + 8 * i); };
  return ccGenRect(ccVector<2>(d(0), d(1)), ccMatrix<2>(d(2), d(3), d(4), d(5)),
                   ccVector<2>(d(7), d(8)));
}
constexpr std::size_t kGenRectV0Size = 96;

// Version-0 annulus section (440 bytes): geometry records at 0 and 176, the angles at 352 and
// 360, the two flags at 368 and 369.
constexpr std::size_t kAnnSectV0Size = 440;
ccEllipseAnnulusSection loadAnnSectV0(const unsigned char* p) {
  const ccEllipseAnnulus annulus(cfSketchLoadEllipseGeom(p), cfSketchLoadEllipseGeom(p + 176));
  return ccEllipseAnnulusSection(annulus, ccRadian(cfSketchLoadDouble(p + 352)),
                                 ccRadian(cfSketchLoadDouble(p + 360)), p[368] != 0, p[369] != 0,
                                 true);
}

// Nesting depth of the conversion running on this thread.
thread_local int gVersion0Depth = 0;

class Version0Level {
 public:
  Version0Level() {
    if (gVersion0Depth >= kSketchMaxNesting) cc_detail::invalid();
    ++gVersion0Depth;
  }
  ~Version0Level() { --gVersion0Depth; }
  Version0Level(const Version0Level&) = delete;
  Version0Level& operator=(const Version0Level&) = delete;
};

}  // namespace

// ---- Payloads

long cc_UISketchOpEllipseAnnSect::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(kAnnSectV0Size);
  const ccEllipseAnnulusSection s = decoded([&] { return loadAnnSectV0(image); });
  mutating();
  section_ = s;
  return consumed(r);
}

long cc_UISketchOpGenRect::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(kGenRectV0Size);
  const ccGenRect g = decoded([&] { return loadGenRectV0(image); });
  mutating();
  rect_ = g;
  return consumed(r);
}

long cc_UISketchOpGenAnn::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(2 * kGenRectV0Size);
  const ccGenAnnulus a = decoded(
      [&] { return ccGenAnnulus(loadGenRectV0(image), loadGenRectV0(image + kGenRectV0Size)); });
  mutating();
  annulus_ = a;
  return consumed(r);
}

long cc_UISketchOpSketch::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccPoint offset = cc_detail::readPointShape(r);
  const std::size_t length = readCount(r);
  const unsigned char* bytes = r.bytes(length);
  ccUISketch converted;
  cfSketchConvertVersion0(bytes, length, converted);
  mutating();
  offset_ = offset;
  length_ = converted.length();
  sketch_ = std::move(converted);
  return consumed(r);
}

long cc_UISketchOpSet::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  return parseRectOnly(p, n, true);
}

long cc_UISketchOpSetComp::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  return parseRectOnly(p, n, true);
}

long cc_UISketchOpOutline3d::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  Parsed parsed;
  parseRect(r, true, parsed);
  const ccColor c2 = r.readColor();
  const long width = r.readLong();
  take(parsed);
  color1_ = ccColor();
  color2_ = c2;
  width_ = width;
  return consumed(r);
}

long cc_UISketchOpAffineRect::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  // 176 bytes: doubles 7 to 12 are the three corners; the others are unused.
  ccSketchReader r(p, n);
  const unsigned char* image = r.bytes(176);
  const ccAffineRectangle a = decoded([&] {
    return ccAffineRectangle(cfSketchLoadPoint(image + 56), cfSketchLoadPoint(image + 72),
                             cfSketchLoadPoint(image + 88));
  });
  mutating();
  rect_ = a;
  return consumed(r);
}

long cc_UISketchOpRectBase::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  r.skip(1);
  const ccVector<2> ul = r.readPoint(), size = r.readPoint();
  const ccRect rect = cc_detail::decodedRect(ul, size);
  mutating();
  rect_ = rect;
  return consumed(r);
}

long cc_UISketchOpGenShape::parseVersion0ByteStream(const unsigned char* p, std::size_t n) {
  ccSketchReader r(p, n);
  const ccGenShape::tagShapeID tag =
      ccGenShape::tagShapeID::fromBytes(r.bytes(kSketchGenShapeTagSize));
  const std::size_t size = readCount(r);
  const unsigned char* data = r.bytes(size);
  mutating();
  color_ = ccColor();
  tag_ = tag;
  data_.own(data, size);
  return consumed(r);
}

long cc_UISketchOpEllipseAnnSectArrowheadFlag::parseVersion0ByteStream(const unsigned char* p,
                                                                       std::size_t n) {
  return parseFlaggedImage(p, n, kAnnSectV0Size, loadAnnSectV0);
}

// ---- Conversion

void cfSketchConvertVersion0(const unsigned char* p, std::size_t n, ccUISketch& out) {
  const Version0Level level;
  cfForEachSketchOp(
      p, n,
      [&out](cc_UISketchOpHeader& header, cc_UISketchOpData& op, const ccSketchOperation&) {
        op.opcodeColor(header.penColor());
        header.populateSketch(out);
        op.populateSketch(out);
      },
      ccSketchForm::eVersion0);
}
