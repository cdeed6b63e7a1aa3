// ccGraphicProps: how a shape is drawn — pen colour, width, style, join, end cap, fill,
// arrowheads and vertex display.
#pragma once

#include <core/archive.h>
#include <core/persistent.h>
#include <dispc/color.h>
#include <dispc/errors.h>

#include <cstddef>
#include <cstdint>

class ccUISketch;

class ccGraphicProps : public virtual ccPersistent {
 public:
  // Line style. The library passes it through; the back ends draw it.
  enum cePenStyle : std::int32_t {
    eSolid = 0,
    eDash = 1,
    eDot = 2,
    eDashDot = 3,
    eDashDotDot = 4,
    eNull = 5,  // draws nothing (fills only)
  };
  // Join of consecutive segments of polylines and polygons.
  enum cePenJoin : std::int32_t { eMiterJoin = 0, eRoundJoin = 1, eBevelJoin = 2 };
  // Shape of the open ends of lines.
  enum cePenEndCap : std::int32_t { eFlatCap = 0, eRoundCap = 1, eSquareCap = 2 };

  // A pen width that is negative or beyond the signed 32-bit range.
  class BadParams : public ccErrorClass<BadParams, ccException, 0x10004513> {
   public:
    BadParams() = default;
  };

  // Bytes of the sketch form: a 0 byte, then the 20 bytes the reader takes.
  static constexpr std::size_t kSketchFormSize = 21;
  static constexpr std::size_t kSketchReadSize = 20;

  // Cyan pen of width 1, solid, no fill, miter joins, flat caps, arrowheads at the end, no
  // vertex marks.
  ccGraphicProps();
  // Throws BadParams for a width that is negative or beyond the 32-bit range.
  // Inline: the tablet builds one of these for every draw with a colour.
  ccGraphicProps(const ccColor& penColor, long penWidth, cePenStyle penStyle = eSolid,
                 bool fill = false)
      : penColor_(penColor), penWidth_(checkedWidth(penWidth)), penStyle_(penStyle), fill_(fill) {}
  ccGraphicProps(const ccGraphicProps&) = default;
  ccGraphicProps& operator=(const ccGraphicProps&) = default;
  ~ccGraphicProps() override = default;

  const ccColor& penColor() const { return penColor_; }
  void penColor(const ccColor& c) {
    mutating();
    penColor_ = c;
  }
  long penWidth() const { return penWidth_; }
  // Throws BadParams for a width that is negative or beyond the 32-bit range, leaving the
  // width as it was.
  void penWidth(long w);
  cePenStyle penStyle() const { return penStyle_; }
  void penStyle(cePenStyle s) {
    mutating();
    penStyle_ = s;
  }
  bool fill() const { return fill_; }
  void fill(bool f) {
    mutating();
    fill_ = f;
  }
  cePenJoin penJoin() const { return penJoin_; }
  void penJoin(cePenJoin j) {
    mutating();
    penJoin_ = j;
  }
  cePenEndCap penEndCap() const { return penEndCap_; }
  void penEndCap(cePenEndCap c) {
    mutating();
    penEndCap_ = c;
  }
  bool arrowHead() const { return arrowHead_; }
  void arrowHead(bool a) {
    mutating();
    arrowHead_ = a;
  }
  bool arrowHeadForward() const { return arrowHeadForward_; }
  void arrowHeadForward(bool a) {
    mutating();
    arrowHeadForward_ = a;
  }
  bool showVertex() const { return showVertex_; }
  void showVertex(bool s) {
    mutating();
    showVertex_ = s;
  }

  bool operator==(const ccGraphicProps& o) const;
  bool operator!=(const ccGraphicProps& o) const { return !(*this == o); }

  // The 21-byte sketch form (a 0 byte, fill, width, style, join, end cap, arrowHead,
  // arrowHeadForward, showVertex; little-endian, unaligned). The pen colour is not in it.
  void writeSketchForm(unsigned char out[kSketchFormSize]) const;
  // Reads the 20 bytes after the leading 0 through the setters; the pen colour is untouched.
  // A negative width throws BadParams and leaves the object unchanged.
  void readSketchForm(const unsigned char in[kSketchReadSize]);

  // Archive: version byte (0), the persistent base, pen colour, width (long), style (int),
  // fill (bool), join (int), end cap (int), arrowHead, arrowHeadForward, showVertex (bools).
  // Another version throws ccArchive::UnknownVersion with "dispc/dispprop".
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccGraphicProps; }

 private:
  friend class ccUISketch;
  // Appends the sketch form to sketch and returns 21; 0 and nothing written when sketch is null.
  std::size_t opcode(ccUISketch* sketch, const ccGraphicProps& p) const;
  // Reads the 20 bytes into target and returns 20; 0 when either pointer is null.
  std::size_t opcode(ccGraphicProps* target, const unsigned char* bytes) const;

  void serialize_(ccArchive& ar, unsigned char version);
  // The width as stored: a signed 32-bit value that is never negative.
  static std::int32_t checkedWidth(long w) {
    if (w < 0 || w > 2147483647L) throw BadParams();
    return static_cast<std::int32_t>(w);
  }

  ccColor penColor_;
  std::int32_t penWidth_ = 1;
  cePenStyle penStyle_ = eSolid;
  bool fill_ = false;
  cePenJoin penJoin_ = eMiterJoin;
  cePenEndCap penEndCap_ = eFlatCap;
  bool arrowHead_ = true;
  bool arrowHeadForward_ = true;
  bool showVertex_ = false;
};
