// ccUIScope: the rendering target of a tablet layer, and the boundary towards display back ends.
//
// The library never draws pixels. A tablet maps and clips what it draws into scope pixels and
// calls the scope's virtual operations (the slots, numbered below in their fixed order); a
// display back end derives from ccUIScope and provides every pure virtual slot. The base class
// holds what all back ends share: the scope tree (a root scope per display and sub-scopes for
// child tablets), the pen position, change tracking, the display clip rectangle and colour-map
// matching.
//
// Coordinates. The points and shapes that the drawing slots receive are in the tablet's pixels
// (double); xCoord() and yCoord() turn them into whole scope pixels, which count from the
// scope's visible area: the tablet pixel minus clipOffset(). Rectangles (setRect, change) are
// in scope pixels.
//
// Pen. drawTo and drawToRel stroke from the pen position (drawX(), drawY()); a back end moves
// the pen to the end of the stroke with drawStart() or moveToRel().
//
// Tree. Sub-scopes are not owned by their parent. Destroying a scope unlinks it from its parent;
// its sub-scopes (and theirs) lose their parent and forget the root, so that root-level state
// (anyChanged) is no longer reached from them.
#pragma once

#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/genshape.h>
#include <core/lines.h>
#include <core/pair.h>
#include <core/pelbuffer.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/rlebuffer.h>
#include <dispc/color.h>
#include <dispc/dispprop.h>
#include <dispc/uirect.h>
#include <dispc/uistring.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

class ccUITablet;

// Interpolation of enlarged images. The scope derives from this holder, and so can the tablet,
// so that both name one type (ccUIScope::InterpolationModes).
struct ccUIInterpolation {
  enum InterpolationModes : int {
    eNoInterpolation = 0,  // pixel replication or nearest sample
    eBilinearInterpolation = 1,
    eBicubicInterpolation = 2,  // any other non-zero value smooths like this one
  };
};

class ccUIScope : public ccUIInterpolation {
 public:
  // Bits of flags().
  enum : std::uint32_t {
    eAllChanged = 1,
    eModified = 2,
    eOpaque = 4,
    eClientChangeEnable = 8,
  };

  // A root scope (its own root, no parent) whose visible area starts clipOffset from the
  // upper-left corner of its tablet's rectangle. Nothing changed, no flags.
  explicit ccUIScope(const ccPair<long>& clipOffset);
  ccUIScope(const ccUIScope&) = delete;
  ccUIScope& operator=(const ccUIScope&) = delete;

  // ---- Slots, in their fixed order.

  // 1: unlinks the scope from its parent; its sub-scopes lose their parent and the root.
  virtual ~ccUIScope();
  // 2: told by move() after the scope was placed under parent; rect is the scope's tablet
  // rectangle in the parent's scope pixels (it may reach outside the parent).
  virtual void attach(const ccUIScope& parent, const ccUIRect& rect) = 0;
  // 3: a new sub-scope for rect (in this scope's tablet pixels), owned by the caller and placed
  // with move(*this, rect). temporary is true for the short-lived scopes of tablet updates.
  virtual ccUIScope* newSubScope(const ccUIRect& rect, bool temporary) = 0;
  // 4 to 7: drags (the displacement itself lives in the tablet's map).
  virtual void dragStart() = 0;
  virtual void dragStop() = 0;
  virtual void dragErase() = 0;
  virtual void dragAnimate(bool on) = 0;
  // 8: brackets multi-part drawing so that the screen can be updated once; nested.
  virtual void lockScreenUpdatesPush(bool /*lock*/) {}
  // 9: ends the innermost bracket.
  virtual bool lockScreenUpdatesPop() { return false; }
  // 10
  virtual bool screenUpdatesLocked() const { return false; }
  // 11: rect (scope pixels) needs to be shown again.
  virtual void invalidateScreen(const ccUIRect& /*rect*/) {}
  // 12: show what was drawn.
  virtual void updateScreen() {}
  // 13
  virtual void optimizeDrawing(bool /*on*/) {}
  // 14: a generic shape, already mapped.
  virtual void draw(const ccGenShape& /*shape*/, const ccColor& /*color*/) {}
  // 15
  virtual void drawEllipseArc(const ccEllipseArc& arc, const ccGraphicProps& props) = 0;
  // 16
  virtual void drawEllipse(const ccEllipse& ellipse, const ccGraphicProps& props) = 0;
  // 17: a closed polygon through the vertices (the last joins the first), drawn as an outline
  // for ccPolygon::eNoFill, else filled by the mode's rule.
  virtual void drawPolygon(const std::vector<ccVector<2>>& vertices,
                           ccPolygon::PolyFillMode fillMode, const ccGraphicProps& props) = 0;
  // 18: an icon with its upper-left pel at corner; pel values index colors; when passThrough,
  // pels equal to passValue are not drawn.
  virtual void drawIcon(const ccRLEBuffer& icon, const ccPoint& corner,
                        const std::vector<ccColor>& colors, bool passThrough,
                        unsigned char passValue) = 0;
  // 19 to 23: images at 1:1 with their upper-left pel at `at`. When pass is set, pels equal to
  // passValue are transparent. The trailing flag of the run-length and 8-bit forms is the
  // caller's, passed through unchanged.
  virtual void drawRLEImage(const ccRLEBuffer& image, const ccPoint& at,
                            const std::vector<unsigned char>& colorMap, bool pass,
                            unsigned char passValue, bool flag) = 0;
  virtual void drawImage(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                         bool pass, unsigned long passValue) = 0;
  virtual void drawImage(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                         bool pass, unsigned short passValue) = 0;
  virtual void drawImage(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                         bool pass, unsigned short passValue) = 0;
  virtual void drawImage(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                         bool pass, unsigned char passValue, bool flag) = 0;
  // 24: text anchored at `at` as the format says; color2 is the second (background) colour.
  virtual void drawText(const std::string& text, const ccPoint& at, const ccColor& color,
                        const ccColor& color2, const ccUIFormat& format) = 0;
  // 25: unused by the library.
  virtual void reserved25(long /*value*/) {}
  // 26
  virtual void drawPolyline(const ccPolyline& polyline, const ccGraphicProps& props) = 0;
  // 27: a general rectangle with rounded corners.
  virtual void drawRoundedRect(const ccGenRect& rect, const ccGraphicProps& props) = 0;
  // 28, 29
  virtual void drawEllipseArc2(const ccEllipseArc2& arc, const ccGraphicProps& props) = 0;
  virtual void drawEllipse2(const ccEllipse2& ellipse, const ccGraphicProps& props) = 0;
  // 30
  virtual void drawLineSeg(const ccLineSeg& seg, const ccGraphicProps& props) = 0;
  // 31: one point.
  virtual void plotPoint(const ccPoint& p, const ccGraphicProps& props) = 0;
  // 32: the rectangle (scope pixels) that text drawn at `at` with format would cover.
  virtual ccUIRect textRect(const std::string& text, const ccPoint& at,
                            const ccUIFormat& format) = 0;

  // 33, 34: reduced run-length images. The values of the image index colorMap (a value with no
  // entry stands for itself); when pass is set, pels of value passValue are transparent.
  //
  // With scale factors (each <= 1): when 1 / scale.x and 1 / scale.y are whole numbers n and m
  // (within ccZoomFactorTolerance), the image is reduced on its runs, without decoding it: rows 0,
  // m, 2m ... are kept (height / m of them), every run length is divided by n and runs that become
  // 0 are dropped; a row left short of width / n by the divisions is made up by lengthening its
  // last run. The result is drawn at `at` through drawRLEImage at 1:1. Other factors decode the
  // image into 8-bit pels, each value taken through colorMap except passValue when pass is
  // set (so transparency is decided on the values, as in the run-length slot), and hand it to
  // the 8-bit sampleImage slot. A factor that is not positive is an assertion failure; a
  // degenerate image or an empty reduction draws nothing.
  //
  // The run-length forms carry no flag of their own: the slots they call receive false.
  virtual void sample(const ccRLEBuffer& image, const ccPoint& at,
                      const std::vector<unsigned char>& colorMap, const ccPair<double>& scale,
                      bool pass, unsigned char passValue);
  // With integer reduction factors (each >= 1): the form above with scale (1 / f.x, 1 / f.y).
  virtual void sample(const ccRLEBuffer& image, const ccPoint& at,
                      const std::vector<unsigned char>& colorMap, const ccPair<long>& factor,
                      bool pass, unsigned char passValue);

  // 35 to 42: reduced images. The sampleImage slots draw the image scaled by `scale` (each
  // factor <= 1); the sample forms turn integer reduction factors f (each >= 1) into the scale
  // (1 / f.x, 1 / f.y) and call the sampleImage slot of the same pel type. A factor below 1 is
  // reported as an assertion failure and draws nothing.
  virtual void sampleImage(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                           const ccPair<double>& scale, bool pass, unsigned long passValue) = 0;
  virtual void sample(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                      const ccPair<long>& factor, bool pass, unsigned long passValue);
  virtual void sampleImage(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                           const ccPair<double>& scale, bool pass, unsigned short passValue) = 0;
  virtual void sample(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                      const ccPair<long>& factor, bool pass, unsigned short passValue);
  virtual void sampleImage(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                           const ccPair<double>& scale, bool pass, unsigned short passValue) = 0;
  virtual void sample(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                      const ccPair<long>& factor, bool pass, unsigned short passValue);
  virtual void sampleImage(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                           const ccPair<double>& scale, bool pass, unsigned char passValue,
                           bool flag) = 0;
  virtual void sample(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                      const ccPair<long>& factor, bool pass, unsigned char passValue, bool flag);

  // 43, 44: enlarged run-length images; values, colour map and pass value as for sample.
  //
  // With scale factors (each >= 1) that are whole numbers (within ccZoomFactorTolerance), the image
  // is enlarged on its runs, and only the part that falls inside the scope is made: the corner `at`
  // (the upper-left pel, scope pixel (xCoord(at), yCoord(at))) and the size of scopeBounds() give
  // the visible source pels, the image is cut to them with subWindow, each of their rows is
  // repeated scale.y times and each run lengthened scale.x times, with the blocks at the
  // scope's edges cut to the edges. The result is drawn through drawRLEImage at 1:1 with its
  // upper-left pel at the first visible scope pixel. Other factors decode the image into 8-bit
  // pels (as sample does) and hand it to the 8-bit expandImage slot without interpolation (the
  // values are colour indices, which do not blend). A factor that is not positive is an
  // assertion failure; a degenerate image or one wholly outside the scope draws nothing.
  virtual void expand(const ccRLEBuffer& image, const ccPoint& at,
                      const std::vector<unsigned char>& colorMap, const ccPair<double>& scale,
                      bool pass, unsigned char passValue);
  // With integer factors (each >= 1): the form above with scale (f.x, f.y).
  virtual void expand(const ccRLEBuffer& image, const ccPoint& at,
                      const std::vector<unsigned char>& colorMap, const ccPair<long>& factor,
                      bool pass, unsigned char passValue);

  // 45 to 52: enlarged images, as above with scale factors >= 1; the expand forms pass their
  // integer factors as the scale. Only the 8-bit and packed 32-bit RGB forms interpolate.
  virtual void expandImage(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                           const ccPair<double>& scale, bool pass, unsigned long passValue,
                           InterpolationModes mode) = 0;
  virtual void expand(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                      const ccPair<long>& factor, bool pass, unsigned long passValue,
                      InterpolationModes mode);
  virtual void expandImage(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                           const ccPair<double>& scale, bool pass, unsigned short passValue) = 0;
  virtual void expand(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                      const ccPair<long>& factor, bool pass, unsigned short passValue);
  virtual void expandImage(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                           const ccPair<double>& scale, bool pass, unsigned short passValue) = 0;
  virtual void expand(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                      const ccPair<long>& factor, bool pass, unsigned short passValue);
  virtual void expandImage(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                           const ccPair<double>& scale, bool pass, unsigned char passValue,
                           bool flag, InterpolationModes mode) = 0;
  virtual void expand(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                      const ccPair<long>& factor, bool pass, unsigned char passValue, bool flag,
                      InterpolationModes mode);

  // 53: rect (scope pixels) set to color.
  virtual void setRect(const ccUIRect& rect, const ccColor& color) = 0;
  // 54: the whole scope set to color.
  virtual void setAll(const ccColor& color) = 0;
  // 55: flood fill from pixel (scope pixels) with color; color2 is the tablet's second colour
  // and bounded is true for the tablet's fill type 0 (the back end decides their meaning).
  virtual void floodFill(const ccPair<long>& pixel, const ccColor& color, const ccColor& color2,
                         bool bounded) = 0;
  // 56: a stroke from the pen position to p; the back end moves the pen to p.
  virtual void drawTo(const ccPoint& p, const ccGraphicProps& props) = 0;
  // 57: a stroke from the pen position by (dx, dy) whole pixels; the pen moves along.
  virtual void drawToRel(long dx, long dy, const ccGraphicProps& props) = 0;
  // 58: true while the scope's output is not being shown.
  virtual bool offScreen() const = 0;
  // 59: the visible area; its size is the scope's size.
  virtual ccUIRect scopeBounds() const = 0;
  // 60: the display's colour map changed.
  virtual void colorMap(const std::vector<ccRGB>& /*map*/) {}
  // 61: unused by the library.
  virtual void reserved61(long /*value*/) {}
  // 62: setDisplayClipRect stored rect.
  virtual void displayClipChanged(const ccUIRect& /*rect*/) {}

  // ---- Tree

  ccUIScope* parent() const { return parent_; }
  // The root of the tree (this scope for a root); null once the root was destroyed.
  ccUIScope* root() const { return root_; }
  const ccPair<long>& clipOffset() const { return clipOffset_; }
  // Places the scope under parent at rect (parent's tablet pixels): with d = rect's upper-left
  // corner - parent's clipOffset, clipOffset becomes (max(-d.x, 0), max(-d.y, 0)); the scope
  // becomes parent's last sub-scope and takes parent's root (its sub-scopes too); then
  // attach(parent, rectangle at d of rect's size) and noChange(). A parent that is this scope
  // or one of its sub-scopes is reported as an assertion failure and nothing moves.
  void move(const ccUIScope& parent, const ccUIRect& rect);
  // move(), then clipOffset = (max(rect.left, parent's clipOffset.x), max(rect.top, ...y)).
  void subset(const ccUIScope& parent, const ccUIRect& rect);

  // ---- Pen

  // Stores p as the pen position and its pixels xCoord(p), yCoord(p) as drawX, drawY.
  void drawStart(const ccPoint& p);
  // Moves the pen by whole pixels (position and pixels alike).
  void moveToRel(long dx, long dy);

  // ---- Change tracking

  std::uint32_t flags() const { return flags_; }
  bool modified() const { return (flags_ & eModified) != 0; }
  void modified(bool on) { setFlag(eModified, on); }
  bool opaque() const { return (flags_ & eOpaque) != 0; }
  void opaque(bool on) { setFlag(eOpaque, on); }
  bool allChanged() const { return (flags_ & eAllChanged) != 0; }
  void allChanged(bool on) { setFlag(eAllChanged, on); }
  // Something changed since noChange().
  bool someChanged() const { return !changed_.isNull(); }
  // Clears allChanged and the changed rectangle.
  void noChange();
  // Everything changed: allChanged set, the changed rectangle the whole scope (null while
  // offScreen()), the client rectangle infinite, the root's anyChanged set.
  void allChange();
  // Notes that r (scope pixels) changed. With client tracking on, r (unclipped) grows the
  // client rectangle. r is clipped to the scope; when nothing is left nothing else happens.
  // With checkOpaque, r covering the whole scope sets opaque. Then the changed rectangle grows,
  // allChanged tells whether it is the whole scope, and the root's anyChanged is set.
  void change(ccUIRect r, bool checkOpaque);
  // The changed rectangle in the tablet's pixels (shifted by clipOffset; null stays null).
  ccUIRect changeRect() const;
  bool clientChangeEnable() const { return (flags_ & eClientChangeEnable) != 0; }
  // Switching on clears the client rectangle; switching on twice is an assertion failure.
  void clientChangeEnable(bool on);
  // The client rectangle in the tablet's pixels; unless keep, client tracking is switched off.
  // An assertion failure when client tracking is off.
  ccUIRect clientChangedRect(bool keep);
  // The root's flag; false (and clearing does nothing) without a root.
  bool anyChanged() const;
  void clearAnyChanged();

  // ---- Display clip

  // Stores r and passes it to displayClipChanged.
  void setDisplayClipRect(const ccUIRect& r);
  const ccUIRect& displayClipRect() const { return displayClipRect_; }

  // ---- Colours

  // The index colour of the map entry nearest to c (Euclidean distance of the channels, c's
  // stored triple whatever its kind); the first of equally near entries; index 0 for an empty
  // map. Indices wrap at 256.
  static ccColor nearestColor(const ccColor& c, const std::vector<ccRGB>& map);

 protected:
  const std::list<ccUIScope*>& children() const { return children_; }

  // The pen position as given and as whole scope pixels.
  const ccPoint& drawPoint() const { return drawPoint_; }
  long drawX() const { return drawX_; }
  long drawY() const { return drawY_; }

  // Scope pixel of a coordinate: drawX or drawY when p is the pen position object itself
  // (drawPoint()), else cfTolerantFloor of the coordinate minus clipOffset.
  long xCoord(const ccPoint& p) const;
  long yCoord(const ccPoint& p) const;

  // False only when allChanged is set and client tracking is off: changes need not be noted.
  bool trackChanges() const;

  // The root is gone: this scope and its sub-scopes forget it.
  void rootDeleted();

  // ---- Zoom workers
  //
  // For back ends that zoom images themselves (in sampleImage and expandImage) and then draw
  // the result at 1:1. Both make a buffer holding just the part of the zoomed image that
  // falls inside a destination rectangle, and report that rectangle. Destination coordinates
  // are the caller's (usually scope pixels); dst's offset is set to them, so dst's image
  // coordinates are destination coordinates. The result is a new buffer (rows padded to 32
  // pels), except that dst's own pels are written again when dst alone holds an owned buffer
  // of the result's shape that is not the source's: no one else can see them, and a back end
  // that keeps its zoom buffer saves allocating and clearing one per call. When nothing is
  // written, dst is left as it was and the rectangle becomes null.

  // Pixel replication by whole factors fx, fy >= 1 (else an assertion failure): every source
  // pel of src's window becomes a block of fx x fy pels. phase cuts the first blocks short: a
  // negative phase.x takes -phase.x pels off every block of the first column, a negative
  // phase.y -phase.y rows off every block of the first row; positive components cut nothing,
  // and a cut that leaves no pel writes nothing.
  // On entry changed's upper-left corner is where the zoomed image's first pel goes and its
  // size the largest size wanted: blocks past its right or bottom edge are cut there. On
  // return dst holds the (cut) zoomed image, of width min(changed's width, source width x fx
  // - the column cut) and likewise height, with its offset at changed's corner; changed is
  // the rectangle written (same corner, dst's size).
  void pelExpand(const ccPelBuffer_const<unsigned char>& src, ccPelBuffer<unsigned char>& dst,
                 long fx, long fy, ccUIRect& changed, const ccPair<long>& phase);
  void pelExpand(const ccPelBuffer_const<ccPackedRGB16Pel>& src, ccPelBuffer<ccPackedRGB16Pel>& dst,
                 long fx, long fy, ccUIRect& changed, const ccPair<long>& phase);
  void pelExpand(const ccPelBuffer_const<ccPackedRGB32Pel>& src, ccPelBuffer<ccPackedRGB32Pel>& dst,
                 long fx, long fy, ccUIRect& changed, const ccPair<long>& phase);

  // Zooming by scale > 0 (else an assertion failure) in both directions; > 1 enlarges. The
  // zoomed image has the upper-left corner of src's window at origin, and its pel
  // origin + (dx, dy) shows the window's pel (trunc(dx / scale), trunc(dy / scale)): nearest
  // sample by truncation. It extends as far as there are source pels to show.
  // On entry clip is the destination area wanted; on return dst holds the zoomed image's
  // pels inside clip, with its offset at their upper-left corner, and clip is the rectangle
  // written (null when no pel falls inside clip or the source window is empty).
  // How the pels are made:
  // - Smoothing, for 8-bit and packed 32-bit RGB images only, when mode is not
  //   eNoInterpolation, scale > 1 and the window is at least 8 x 8 pels: each destination pel
  //   takes the source value at its centre, by cfAffineTransformImage (bilinear for
  //   eBilinearInterpolation, bicubic for other modes; RGB channel by channel, top byte 0).
  //   Pels whose interpolation would reach outside the window are grey: 128, or the RGB pel
  //   (128, 128, 128, 0). The written rectangle is at most 32767 pels wide and high.
  // - A scale > 1 within ccZoomFactorTolerance of a whole number n zooms by exactly n, by
  //   replication: the same pels as the nearest sample at scale n.
  // - Otherwise the nearest sample above (every reduction takes this path).
  void pelScale(const ccPelBuffer_const<unsigned char>& src, ccPelBuffer<unsigned char>& dst,
                double scale, ccUIRect& clip, const ccPair<long>& origin, InterpolationModes mode);
  void pelScale(const ccPelBuffer_const<unsigned short>& src, ccPelBuffer<unsigned short>& dst,
                double scale, ccUIRect& clip, const ccPair<long>& origin, InterpolationModes mode);
  void pelScale(const ccPelBuffer_const<ccPackedRGB16Pel>& src, ccPelBuffer<ccPackedRGB16Pel>& dst,
                double scale, ccUIRect& clip, const ccPair<long>& origin, InterpolationModes mode);
  void pelScale(const ccPelBuffer_const<ccPackedRGB32Pel>& src, ccPelBuffer<ccPackedRGB32Pel>& dst,
                double scale, ccUIRect& clip, const ccPair<long>& origin, InterpolationModes mode);

 private:
  friend class ccUITablet;

  void setFlag(std::uint32_t bit, bool on) { flags_ = on ? (flags_ | bit) : (flags_ & ~bit); }
  void setRoot(ccUIScope* root);
  ccUIRect shifted(const ccUIRect& r) const;

  ccPair<long> clipOffset_;
  std::uint32_t flags_ = 0;
  ccUIRect changed_;
  ccUIRect clientChanged_;
  ccPoint drawPoint_;
  long drawX_ = 0;
  long drawY_ = 0;
  ccUIScope* root_;
  ccUIScope* parent_ = nullptr;
  std::list<ccUIScope*> children_;
  bool anyChanged_ = false;
  ccUIRect displayClipRect_;
};
