// Sketch operation objects: the object form of the operations of a sketch stream.
//
// Every operation of a stream (see sketchformat.h) is one cc_UISketchOpHeader, for its props
// prefix and opcode record, and one object of a cc_UISketchOpData subclass, for its payload.
// The objects serve three uses:
//   - replay (ccUITablet::draw(const ccUISketch&, ...)) parses each operation into them and
//     lets them call the tablet;
//   - archiving a sketch stores them as persistent objects;
//   - loading an archived sketch turns them back into stream bytes (populateSketch).
//
// Parsing is bounds-checked: parseByteStream(p, available) reads at most `available` bytes
// from p and returns the bytes it consumed. Truncated or malformed payloads (a count that runs
// past the end, a missing terminator, a value that the shape's constructor rejects, such as a
// non-finite coordinate) throw ccUIError::InvalidUISketch and leave the object as it was.
//
// Payloads whose bulk is text, pels or opaque data (strings, 8-bit images, generic shapes)
// are borrowed where they lie in the parsed stream rather than copied; a borrowed payload is
// valid only while that stream is unchanged, which holds for one replay or one archive walk.
// Copies, loading from archives and version-0 parsing own their bytes. Shape payloads are
// decoded into shape values.
//
// Every class archives as a version byte (0) and its fields; another version throws
// ccArchive::UnknownVersion with "dispc/sketchop". (Archives of format 1 carried a second version
// byte, of the operation base, and opcode 28's polygon in its persistent form; both still load.)
#pragma once

#include <core/affinerect.h>
#include <core/archive.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/genshape.h>
#include <core/handle.h>
#include <core/lines.h>
#include <core/pelbuffer.h>
#include <core/persistent.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/rlebuffer.h>
#include <core/splines.h>
#include <dispc/color.h>
#include <dispc/dispprop.h>
#include <dispc/errors.h>
#include <dispc/sketchformat.h>
#include <dispc/tablet.h>
#include <dispc/uirect.h>
#include <dispc/uisketch.h>
#include <dispc/uistring.h>
#include <dispc/wrfm/genpoly.h>
#include <dispc/wrfm/wirefrm.h>

#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

// ---------------------------------------------------------------------------------------------
// The header: props prefix and opcode record.

class cc_UISketchOpHeader : public virtual ccPersistent, public virtual ccRepBase {
 public:
  friend struct cc_SketchArchive;  // the bulk codec of the header's archive form
  // No props read, layer 2, cyan pen, default props, opcode -1.
  cc_UISketchOpHeader();
  cc_UISketchOpHeader(const cc_UISketchOpHeader&) = default;
  cc_UISketchOpHeader& operator=(const cc_UISketchOpHeader&) = default;
  ~cc_UISketchOpHeader() override = default;

  // Reads an optional props prefix and the opcode record from p (at most `available` bytes)
  // and returns the bytes consumed: 8, or 30 with a prefix. The props of a prefix replace the
  // header's props; without one the props stay as they were, so that a header reused along a
  // stream keeps the props in force. The record's colour becomes the props' pen colour. Throws
  // ccUIError::InvalidUISketch, leaving the header unchanged, for a props version other than 0,
  // two prefixes in a row, an opcode that is not an operation, a layer outside 0 to 2, and a
  // record that runs past the available bytes.
  virtual long parseByteStream(const unsigned char* p, std::size_t available);
  // The same from an operation the walker split (its record already checked). Throws
  // ccUIError::InvalidUISketch, leaving the header unchanged, for a props record with a negative
  // pen width.
  void take(const ccSketchOperation& op);
  // Appends the props prefix (when one was read and the props differ from the sketch's current
  // ones) and the opcode record.
  virtual void populateSketch(ccUISketch& s) const;

  bool hasProps() const { return hasProps_; }
  signed char propsVersion() const { return propsVersion_; }
  ccUITablet::Layers layer() const { return layer_; }
  void layer(ccUITablet::Layers l) {
    mutating();
    layer_ = l;
  }
  long opcode() const { return opcode_; }
  const ccColor& penColor() const { return penColor_; }
  // The props of the operation (pen colour included). Replayed operations may change them
  // for the operations that follow (the arrowhead flags of opcode 39).
  const ccGraphicProps& props() const { return props_; }
  ccGraphicProps& props() { return props_; }

  // Version byte (0), hasProps; when set, the props version and the props (persistent); then
  // the layer (long), the pen colour and the opcode (long). Loading checks the opcode and the
  // layer (ccArchive::BadData).
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new cc_UISketchOpHeader; }

 protected:
  virtual void serialize_(ccArchive& ar, unsigned char version);

 private:
  bool hasProps_ = false;
  signed char propsVersion_ = 0;
  ccGraphicProps props_;
  ccUITablet::Layers layer_ = ccUITablet::eBothLayers;
  ccColor penColor_;
  long opcode_ = -1;
};

// ---------------------------------------------------------------------------------------------
// The payload base.

class cc_UISketchOpData : public virtual ccPersistent, public virtual ccRepBase {
 public:
  ~cc_UISketchOpData() override = default;

  // Reads the current payload form at p (at most `available` bytes); returns the bytes
  // consumed. Throws ccUIError::InvalidUISketch, leaving the object unchanged, for a payload
  // that is truncated or malformed.
  virtual long parseByteStream(const unsigned char* p, std::size_t available) = 0;
  // The same for the payload forms of version-0 archives; where both forms agree this is
  // parseByteStream.
  virtual long parseVersion0ByteStream(const unsigned char* p, std::size_t available) {
    return parseByteStream(p, available);
  }
  // Appends the current payload form.
  virtual void populateSketch(ccUISketch& s) const = 0;
  // Replays the operation on t with h's layer and props (or their pen colour).
  virtual void draw(ccUITablet& t, cc_UISketchOpHeader& h) const = 0;
  // Some version-0 payloads lack a colour that the current form repeats from the opcode
  // record (the generic shape's colour, the 3-D outline's first colour); the converter hands
  // the record's colour over after parsing. Other classes ignore it.
  virtual void opcodeColor(const ccColor&) {}

  // Version byte, then serialize_ of the class.
  void dispatchSerialize(ccArchive& ar) override;

 protected:
  friend struct cc_SketchArchive;  // archives the fields of reused objects
  cc_UISketchOpData() = default;
  cc_UISketchOpData(const cc_UISketchOpData&) = default;
  cc_UISketchOpData& operator=(const cc_UISketchOpData&) = default;

  // Each class checks its version, calls this (the base part: nothing beside the version),
  // then archives its fields.
  virtual void serialize_(ccArchive& ar, unsigned char version);
  // Throws ccArchive::UnknownVersion ("dispc/sketchop", line) unless version is 0.
  static void checkVersion(unsigned char version, long line);
};

// The declarations every operation class has.
#define DISPC_SKETCH_OP_CLASS(Class)                                    \
 public:                                                                \
  long parseByteStream(const unsigned char* p, std::size_t n) override; \
  void populateSketch(ccUISketch& s) const override;                    \
  void draw(ccUITablet& t, cc_UISketchOpHeader& h) const override;      \
  static ccPersistent* make() { return new Class; }                     \
                                                                        \
 protected:                                                             \
  void serialize_(ccArchive& ar, unsigned char version) override;       \
                                                                        \
 public:

// A payload of borrowed or owned bytes: text, 16-bit text units or generic shape data.
// Borrowing points into a parsed stream; copies and loads own a copy.
class cc_SketchOpBytes {
 public:
  cc_SketchOpBytes() = default;
  cc_SketchOpBytes(const cc_SketchOpBytes& o) { *this = o; }
  cc_SketchOpBytes& operator=(const cc_SketchOpBytes& o);

  void borrow(const unsigned char* p, std::size_t n) {
    owned_.clear();
    data_ = p;
    size_ = n;
    isOwned_ = false;
  }
  // Makes an owned copy of n bytes (p may be null when n is 0).
  void own(const unsigned char* p, std::size_t n);
  // Owned, n zero bytes, for the caller to fill.
  unsigned char* ownZeroed(std::size_t n);

  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool isOwned() const { return isOwned_; }

 private:
  std::vector<unsigned char> owned_;
  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  bool isOwned_ = false;
};

// ---------------------------------------------------------------------------------------------
// Operation classes, by opcode.

// The operations whose payload is one point (0, 1, 20, 21).
class cc_UISketchOpPointBase : public cc_UISketchOpData {
 public:
  long parseByteStream(const unsigned char* p, std::size_t n) override;
  void populateSketch(ccUISketch& s) const override;
  const ccPoint& point() const { return point_; }

 protected:
  void serialize_(ccArchive& ar, unsigned char version) override;
  ccPoint point_;
};

// 0: draw(ccPoint, props).
class cc_UISketchOpPoint : public cc_UISketchOpPointBase {
 public:
  void draw(ccUITablet& t, cc_UISketchOpHeader& h) const override;
  static ccPersistent* make() { return new cc_UISketchOpPoint; }
};

// 1: drawPointIcon(ccPoint, props).
class cc_UISketchOpPointIcon : public cc_UISketchOpPointBase {
 public:
  void draw(ccUITablet& t, cc_UISketchOpHeader& h) const override;
  static ccPersistent* make() { return new cc_UISketchOpPointIcon; }
};

// 2
class cc_UISketchOpLineSeg : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpLineSeg)
  const ccLineSeg& lineSeg() const { return seg_; }

 private:
  ccLineSeg seg_;
};

// 3
class cc_UISketchOpLine : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpLine)
  const ccLine& line() const { return line_; }

 private:
  ccLine line_;
};

// 4 and 29 (filled).
class cc_UISketchOpCircle : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpCircle)
  const ccCircle& circle() const { return circle_; }

 private:
  ccCircle circle_;
};

// 5 and 30 (filled).
class cc_UISketchOpEllipse : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpEllipse)
  const ccEllipse& ellipse() const { return ellipse_; }

 private:
  ccEllipse ellipse_;
};

// 6. The 128 bytes of derived data after the geometry record are not read in either form;
// the arc is rebuilt from the geometry and its two angles.
class cc_UISketchOpEllipseArc : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpEllipseArc)
  const ccEllipseArc& arc() const { return arc_; }

 private:
  ccEllipseArc arc_;
};

// 7: drawn with the header's props.
class cc_UISketchOpEllipseAnnSect : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpEllipseAnnSect)
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
  const ccEllipseAnnulusSection& section() const { return section_; }

 protected:
  ccEllipseAnnulusSection section_;
};

// 8 and 31 (filled).
class cc_UISketchOpGenRect : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpGenRect)
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
  const ccGenRect& genRect() const { return rect_; }

 private:
  ccGenRect rect_;
};

// 9
class cc_UISketchOpGenAnn : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpGenAnn)
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
  const ccGenAnnulus& genAnnulus() const { return annulus_; }

 private:
  ccGenAnnulus annulus_;
};

// 10
class cc_UISketchOpCoordAxes : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpCoordAxes)
  const ccCoordAxes& axes() const { return axes_; }

 private:
  ccCoordAxes axes_;
};

// 11: drawn with the header's colour as the first text colour. The text is borrowed.
class cc_UISketchOpString : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpString)
  const ccPoint& position() const { return position_; }
  const ccColor& color2() const { return color2_; }
  const ccUIFormat& format() const { return format_; }
  // The characters (without the terminating 0).
  std::string text() const;
  // Characters and their terminating 0.
  long length() const { return static_cast<long>(text_.size()); }
  bool owned() const { return text_.isOwned(); }

 private:
  ccPoint position_;
  ccColor color2_;
  ccUIFormat format_;
  cc_SketchOpBytes text_;  // characters and terminator
};

// 12: an 8-bit image whose pels are borrowed from the stream.
class cc_UISketchOpPelBuf8 : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpPelBuf8)
  const ccPoint& position() const { return position_; }
  const ccPelBuffer<unsigned char>& image() const { return image_; }

 private:
  ccPoint position_;
  bool passThrough_ = false;
  unsigned char passValue_ = 0;
  ccXform<2> xform_;
  ccPair<long> offset_;
  long width_ = 0;
  long height_ = 0;
  bool flag_ = false;
  ccPelBuffer<unsigned char> image_;
};

// 14: a run-length image (its rows are copied).
class cc_UISketchOpRleBuf : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpRleBuf)
  const ccPoint& position() const { return position_; }
  const ccRLEBuffer& image() const { return image_; }
  const std::vector<unsigned char>& colorMap() const { return colorMap_; }

 private:
  ccPoint position_;
  bool passThrough_ = false;
  unsigned char passValue_ = 0;
  bool flag_ = false;
  long colorMapLength_ = 0;
  std::vector<unsigned char> colorMap_;
  long width_ = 0;
  long rowCount_ = 0;
  ccRLEBuffer image_;
};

// 15: a nested sketch (a copy of its stream), replayed with its offset. Not archivable: storing or
// loading it throws ccUIError::NotImplemented after its base part.
class cc_UISketchOpSketch : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpSketch)
  // The nested stream is in version-0 forms too: it is converted.
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
  const ccPoint& offset() const { return offset_; }
  long length() const { return length_; }
  const ccUISketch& sketch() const { return sketch_; }

 private:
  ccPoint offset_;
  long length_ = 0;
  ccUISketch sketch_;
};

// The rectangle of 16, 18 and 25: a kind byte, then a screen rectangle (kind non-zero) or a
// client rectangle (kind 0).
class cc_UISketchOpRectKind : public cc_UISketchOpData {
 public:
  signed char kind() const { return kind_; }
  const ccUIRect& uiRect() const { return uiRect_; }
  const ccRect& rect() const { return rect_; }

 protected:
  struct Parsed {
    signed char kind = 0;
    ccUIRect uiRect;
    ccRect rect;
  };
  // Reads the kind byte and the rectangle (version 0: a client rectangle is two vectors).
  static void parseRect(ccSketchReader& r, bool version0, Parsed& out);
  void take(const Parsed& in);
  // The whole payload of 16 and 18.
  long parseRectOnly(const unsigned char* p, std::size_t n, bool version0);
  void putRect(ccUISketch& s) const;
  void serializeRect(ccArchive& ar);

  signed char kind_ = 0;
  ccUIRect uiRect_;
  ccRect rect_;
};

// 16: set(rect, pen colour).
class cc_UISketchOpSet : public cc_UISketchOpRectKind {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpSet)
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
};

// 17: set(pen colour).
class cc_UISketchOpSetAll : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpSetAll)
};

// 18: setComplement(rect, pen colour).
class cc_UISketchOpSetComp : public cc_UISketchOpRectKind {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpSetComp)
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
};

// 19: fill(position, pen colour, second colour, type).
class cc_UISketchOpFill : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpFill)
  signed char kind() const { return kind_; }
  const ccPair<long>& pixel() const { return pixel_; }
  const ccPoint& point() const { return point_; }
  const ccColor& color2() const { return color2_; }
  long fillType() const { return fillType_; }

 private:
  signed char kind_ = 0;
  ccPair<long> pixel_;
  ccPoint point_;
  ccColor color2_;
  long fillType_ = 0;
};

// 20: drawStart(point).
class cc_UISketchOpDrawStart : public cc_UISketchOpPointBase {
 public:
  void draw(ccUITablet& t, cc_UISketchOpHeader& h) const override;
  static ccPersistent* make() { return new cc_UISketchOpDrawStart; }
};

// 21: drawTo(point, props).
class cc_UISketchOpDrawTo : public cc_UISketchOpPointBase {
 public:
  void draw(ccUITablet& t, cc_UISketchOpHeader& h) const override;
  static ccPersistent* make() { return new cc_UISketchOpDrawTo; }
};

// Relative pixel moves (22, 23).
class cc_UISketchOpRelPelsBase : public cc_UISketchOpData {
 public:
  long parseByteStream(const unsigned char* p, std::size_t n) override;
  void populateSketch(ccUISketch& s) const override;
  long dx() const { return dx_; }
  long dy() const { return dy_; }

 protected:
  void serialize_(ccArchive& ar, unsigned char version) override;
  long dx_ = 0;
  long dy_ = 0;
};

// 22: drawToRelPels(dx, dy, props).
class cc_UISketchOpDrawToRelPels : public cc_UISketchOpRelPelsBase {
 public:
  void draw(ccUITablet& t, cc_UISketchOpHeader& h) const override;
  static ccPersistent* make() { return new cc_UISketchOpDrawToRelPels; }
};

// 23: moveToRelPels(dx, dy).
class cc_UISketchOpMoveToRelPels : public cc_UISketchOpRelPelsBase {
 public:
  void draw(ccUITablet& t, cc_UISketchOpHeader& h) const override;
  static ccPersistent* make() { return new cc_UISketchOpMoveToRelPels; }
};

// 25: outline3D(rect, pen colour, second colour, width).
class cc_UISketchOpOutline3d : public cc_UISketchOpRectKind {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpOutline3d)
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
  // Version-0 payloads hold only the second colour: the first is the record's.
  void opcodeColor(const ccColor& c) override;
  const ccColor& color1() const { return color1_; }
  const ccColor& color2() const { return color2_; }
  long width() const { return width_; }

 private:
  ccColor color1_;
  ccColor color2_;
  long width_ = 0;
};

// 26
class cc_UISketchOpArrow : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpArrow)
  const ccPoint& tip() const { return tip_; }
  const ccVector<2>& direction() const { return direction_; }
  float size() const { return size_; }

 private:
  ccPoint tip_;
  ccVector<2> direction_;
  float size_ = 0;
};

// 27
class cc_UISketchOpAffineRect : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpAffineRect)
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
  const ccAffineRectangle& affineRect() const { return rect_; }

 private:
  ccAffineRectangle rect_;
};

// 28
class cc_UISketchOpPolygon : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpPolygon)
  const ccPolygon& polygon() const { return polygon_; }

 private:
  long fillMode_ = 0;
  long vertexCount_ = 0;
  ccPolygon polygon_;
};

// The client rectangles of 32 and 47 (ul, size); version 0 had one leading byte more.
class cc_UISketchOpRectBase : public cc_UISketchOpData {
 public:
  long parseByteStream(const unsigned char* p, std::size_t n) override;
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
  void populateSketch(ccUISketch& s) const override;
  const ccRect& rect() const { return rect_; }

 protected:
  void serialize_(ccArchive& ar, unsigned char version) override;
  ccRect rect_;
};

// 32: draw(ccRect, props).
class cc_UISketchOpRect : public cc_UISketchOpRectBase {
 public:
  void draw(ccUITablet& t, cc_UISketchOpHeader& h) const override;
  static ccPersistent* make() { return new cc_UISketchOpRect; }
};

// 33: a generic shape, made again from its tag and data when drawn. The data is borrowed.
class cc_UISketchOpGenShape : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpGenShape)
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
  // Version-0 payloads have no colour field: it is the record's.
  void opcodeColor(const ccColor& c) override;
  const ccColor& color() const { return color_; }
  const ccGenShape::tagShapeID& tag() const { return tag_; }
  long dataSize() const { return static_cast<long>(data_.size()); }
  const unsigned char* data() const { return data_.data(); }

 private:
  ccColor color_;
  ccGenShape::tagShapeID tag_;
  cc_SketchOpBytes data_;
};

// 35: UTF-16 text, drawn converted to a narrow string. The units are borrowed.
class cc_UISketchOpUnicodeString : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpUnicodeString)
  const ccPoint& position() const { return position_; }
  const ccColor& color2() const { return color2_; }
  const ccUIFormat& format() const { return format_; }
  // The units (without the terminating 0 unit).
  std::u16string text() const;
  // Units and their terminating 0 unit.
  long length() const { return static_cast<long>(units_.size() / 2); }

 private:
  ccPoint position_;
  ccColor color2_;
  ccUIFormat format_;
  cc_SketchOpBytes units_;  // little-endian units and the terminator
};

// 37
class cc_UISketchOpCross : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpCross)
  const ccCross& cross() const { return cross_; }

 private:
  ccCross cross_;
};

// 39: sets the two arrowhead flags in the header's props (they stay in force for the
// operations that follow), then draws as opcode 7.
class cc_UISketchOpEllipseAnnSectArrowheadFlag : public cc_UISketchOpEllipseAnnSect {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpEllipseAnnSectArrowheadFlag)
  long parseVersion0ByteStream(const unsigned char* p, std::size_t n) override;
  bool arrowHead() const { return arrowHead_; }
  bool arrowHeadForward() const { return arrowHeadForward_; }

 private:
  // The payload: a section image of imageSize bytes, which load decodes, then the two flags.
  // The current and the version-0 form differ only in the image.
  long parseFlaggedImage(const unsigned char* p, std::size_t n, std::size_t imageSize,
                         ccEllipseAnnulusSection (*load)(const unsigned char*));

  bool arrowHead_ = true;
  bool arrowHeadForward_ = true;
};

// 42
class cc_UISketchOpBezierCurve : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpBezierCurve)
  const ccBezierCurve& curve() const { return curve_; }

 private:
  ccBezierCurve curve_;
};

// 43
class cc_UISketchOpCubicSpline : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpCubicSpline)
  const std::vector<ccBezierCurve>& curves() const { return curves_; }

 private:
  long segmentCount_ = 0;
  std::vector<ccBezierCurve> curves_;
};

// 44
class cc_UISketchOpPolyline : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpPolyline)
  const ccPolyline& polyline() const { return polyline_; }
  bool closed() const { return closed_; }

 private:
  long vertexCount_ = 0;
  ccPolyline polyline_;
  bool closed_ = false;
};

// 45: radii, rotation and centre (the phase and the reflection are not recorded).
class cc_UISketchOpEllipse2 : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpEllipse2)
  const ccEllipse2& ellipse() const { return ellipse_; }

 private:
  ccEllipse2 ellipse_;
};

// 46
class cc_UISketchOpEllipseArc2 : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpEllipseArc2)
  const ccEllipseArc2& arc() const { return arc_; }

 private:
  ccEllipseArc2 arc_;
};

// 47: drawClipRect(rect) on the header's layer.
class cc_UISketchOpClipRect : public cc_UISketchOpRectBase {
 public:
  void draw(ccUITablet& t, cc_UISketchOpHeader& h) const override;
  static ccPersistent* make() { return new cc_UISketchOpClipRect; }
};

// 34 and 38 (the same payload; 38 records a polygon drawn with its vertices shown).
class cc_UISketchOpGenPoly : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpGenPoly)
  const ccGenPoly& genPoly() const { return poly_; }

 private:
  ccGenPoly poly_;
};

// 41
class cc_UISketchOpWireframe : public cc_UISketchOpData {
  DISPC_SKETCH_OP_CLASS(cc_UISketchOpWireframe)
  const cc2Wireframe& wireframe() const { return wireframe_; }

 private:
  cc2Wireframe wireframe_;
};

// ---------------------------------------------------------------------------------------------
// Factory.

// A new default object of the class for the opcode (29, 30, 31 and 38 share the classes of 4,
// 5, 8 and 34); the caller owns it. Opcodes that are not operations (13, 24, 36, 40, below 0,
// above 47) throw ccUIError::InvalidUISketch.
cc_UISketchOpData* cfCreateUISketchOpData(long opcode);
// True when d is an object of the class for the opcode.
bool cfUISketchOpDataFits(long opcode, const cc_UISketchOpData& d);
// The class for the opcode; nullptr for opcodes that are not operations.
const std::type_info* cfUISketchOpDataType(long opcode);

// Converts a stream whose payloads are in the forms of version-0 archives into the current
// form, appended to out operation by operation (header and payload objects populate it, so a
// props prefix is written where the props change from out's current ones). The streams of
// nested sketches are converted too, to at most kSketchMaxNesting levels. Throws
// ccUIError::InvalidUISketch for a malformed stream or deeper nesting; out may then hold part of
// the conversion.
constexpr int kSketchMaxNesting = 32;
void cfSketchConvertVersion0(const unsigned char* p, std::size_t n, ccUISketch& out);

// ---------------------------------------------------------------------------------------------
// The walk over a stream's operations as objects.

// The operation objects of one walk: one per opcode, made on first use and reused.
class ccSketchOpTable {
 public:
  // Throws ccUIError::InvalidUISketch for an opcode that is not an operation.
  cc_UISketchOpData& at(long opcode);

 private:
  std::unique_ptr<cc_UISketchOpData> ops_[kSketchOpcodeCount];
};

// Throws ccUIError::InvalidUISketch naming the operation (cfSketchOpContext) and what e says.
[[noreturn]] void cfSketchOpFailed(const ccSketchOperation& op, const ccException& e);

// Calls v(header, op, operation) for each operation of a stream, in order: the header holds the
// operation's record, with the props of the last props prefix still in force (one header serves
// the whole walk, as in a replay), and op is the operation object of its opcode with the payload
// parsed, in the current form or in that of version-0 archives. `operation` is the walker's split
// (offset, payload bytes). A malformed record stops the walk with ccUIError::InvalidUISketch
// naming the operation and its offset. An operation whose object cannot be made or refuses its
// record is passed to refused(operation, error) instead of v; the walk goes on when refused
// returns. Exceptions of the visitor and of refused pass unchanged.
template <class Visitor, class Refused>
void cfForEachSketchOp(const unsigned char* data, std::size_t size, Visitor&& v, ccSketchForm form,
                       Refused&& refused) {
  ccSketchWalker walker(data, size, form);
  ccSketchOperation operation;
  cc_UISketchOpHeader header;
  ccSketchOpTable ops;
  while (walker.next(operation)) {
    cc_UISketchOpData* op = nullptr;
    try {
      op = &ops.at(operation.opcode);
      header.take(operation);
      if (form == ccSketchForm::eCurrent)
        op->parseByteStream(operation.payload, operation.payloadSize);
      else
        op->parseVersion0ByteStream(operation.payload, operation.payloadSize);
    } catch (const std::exception& e) {
      refused(operation, e);
      continue;
    }
    v(header, *op, operation);
  }
}

// As above, stopping at the first bad byte: a record the operation object refuses throws
// ccUIError::InvalidUISketch naming the operation and its offset (cfSketchOpFailed); other
// errors pass unchanged.
// Operations before it have been visited.
template <class Visitor>
void cfForEachSketchOp(const unsigned char* data, std::size_t size, Visitor&& v,
                       ccSketchForm form = ccSketchForm::eCurrent) {
  cfForEachSketchOp(data, size, std::forward<Visitor>(v), form,
                    [](const ccSketchOperation& operation, const std::exception& e) {
                      if (auto* bad = dynamic_cast<const ccUIError::InvalidUISketch*>(&e))
                        cfSketchOpFailed(operation, *bad);
                      throw;
                    });
}
