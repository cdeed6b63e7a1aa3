// ccQtScope: a display back end that draws with QPainter.
//
// One implementation of every drawing slot works over a QPainter on a paint device; what
// differs is the device and who holds the painter:
//   ccQtScope(QPaintDevice*)        any paint device; the scope begins a painter on it at the
//                                   first drawing and ends it in flush(). A widget can only be
//                                   painted inside its paintEvent.
//   ccQtImageScope (qtimage.h)      a QImage it owns (ARGB32 premultiplied); pixel access,
//                                   PNG output, flood fill and drags
//   ccQtLayers     (qtimage.h)      an image-layer and an overlay scope of one size, composed
//                                   into one picture (what ccQtView shows)
// Sub-scopes (newSubScope) share the device, the painter and every setting of the scope that
// made them; they draw translated to their own origin and clipped to their area.
//
// The conventions are the Cairo back end's, so that the same tablet drawing looks the same
// on both (tests/qt check it within a stated tolerance):
//
// Coordinates. A whole coordinate names the centre of that pixel: geometry is drawn half a
// pixel to the right and down of the plain device position. Points (plotPoint), text anchors,
// images, icons, pen strokes (drawTo, drawToRel) and rectangles work on whole scope pixels
// (xCoord(), yCoord()).
//
// Pens. Width 0 draws like width 1. Styles: solid, dash, dot, dash-dot, dash-dot-dot (dash
// lengths in multiples of the width) and eNull, which draws no outline. Joins miter (limit 10,
// as Cairo's), round, bevel; caps flat, round, square. Closed shapes (ellipses, rounded
// rectangles) are filled with the pen colour when the props say fill, then outlined; polygons
// are filled by their fill mode (eFillAlternate odd-even, eFillWinding winding; eNoFill with
// props fill: odd-even), then outlined. Arcs, polylines and segments are never filled.
//
// Colours. RGB colours draw as their triple; index colours (stock colours included) through
// the palette, whose stock entries hold the stock colours' triples and whose other entries
// start as the grey ramp. colorMap() replaces the palette's first entries. With passErases()
// on (the overlay of ccQtLayers), the pass colour's index clears to transparent.
//
// Text. Font ids select an entry of a per-scope-tree table (face, pixel size, bold, italic);
// id -1 and any id not in the table use the default entry, DejaVu Sans Mono at 13 pixels. The
// text rectangle is the advance width (rounded up) by the line height (ascent + descent,
// rounded up) per line, placed by the format's alignment at the anchor pixel; textRect() and
// drawText agree. The second colour fills the rectangle only when textBackground() is on and
// it is not the pass colour.
//
// Images. 8-bit pels are grey levels (run-length images through their colour map), 16-bit grey
// pels show their bits above grey16Shift() (default 8), packed RGB pels their colour. With pass
// set, pels equal to the pass value are transparent. Icon pels index their colour vector
// (values beyond it index the palette). Every image slot, icon and run-length image ends in
// drawConverted, which keeps just the visible part: reduced and enlarged images with one scale
// for both directions (within ccZoomFactorTolerance) go through the base class's pelScale, whose
// result is drawn at 1:1; different scales per direction are scaled by Qt with its nearest-pel
// filter. 8-bit images without pass are handed to Qt as Grayscale8 images over their own pels
// (no conversion pass).
//
// Change tracking. Every drawing slot notes what it may have touched with change() (setRect
// and setAll with checkOpaque), clipped to what the scope may draw on, and hands the same
// device rectangle to the damage hook, which a widget turns into update regions so that only
// changed rectangles repaint.
//
// Clipping. A scope draws only inside its area (a sub-scope's rectangle cut by its parent's
// area) and, when a display clip rectangle is set, inside that too; a sub-scope is also held
// to its parents' display clips. While offScreen() is set nothing is drawn.
//
// Screen-update locks nest. The output hook runs from updateScreen() while nothing is locked,
// and when the last lock that locked is popped.
#pragma once

#include <dispc/surfacescope.h>

#include <QRect>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QImage;
class QPaintDevice;
class QPainter;
class cc_QtCanvas;

// An entry of the font table.
struct ccQtFont {
  std::string face = "DejaVu Sans Mono";
  double size = 13;  // pixels (the em size)
  bool bold = false;
  bool italic = false;

  bool operator==(const ccQtFont& o) const {
    return face == o.face && size == o.size && bold == o.bold && italic == o.italic;
  }
  bool operator!=(const ccQtFont& o) const { return !(*this == o); }
};

class ccQtScope : public ccSurfaceScope<ccQtScope, ccQtFont> {
 public:
  // A root scope over device (not owned; it must outlive the scope tree), of the device's
  // size. ccUIError::BadParams for a null device.
  explicit ccQtScope(QPaintDevice* device);
  ~ccQtScope() override;

  // ---- Settings, shared by the whole scope tree

  QPaintDevice* device() const;
  // The painter, begun on the device when none is active (sub-scopes share it).
  QPainter& painter() const;
  // Ends the painter on a device the scope does not own (an owned image needs no ending) and
  // runs the output hook.
  void flush();
  long deviceWidth() const;
  long deviceHeight() const;

  // The palette, font table, eraser rule and the other settings the tree shares: see
  // ccSurfaceScope (its surface is the device). The palette for index colours starts as (and
  // resetPalette restores) defaultPalette().
  static const std::array<ccRGB, 256>& defaultPalette();

  // Told every device rectangle a drawing operation may have touched; none by default.
  using DamageHook = std::function<void(const QRect&)>;
  void damageHook(DamageHook hook);

  // The base class's protected pen and coordinate readers, for tools and tests.
  using ccUIScope::drawPoint;
  using ccUIScope::drawX;
  using ccUIScope::drawY;
  using ccUIScope::xCoord;
  using ccUIScope::yCoord;

  // ---- Slots

  // A sub-scope over the same device, placed with move(*this, rect).
  ccQtScope* newSubScope(const ccUIRect& rect, bool temporary) override;
  // Image devices save their pixels at dragStart and put them back at dragErase (within this
  // scope's clip), so a rubber band drawn between them erases itself; other devices only
  // keep the drag state.
  void dragStart() override;
  void dragStop() override;
  void dragErase() override;
  // Draws the pending strokes first.
  bool lockScreenUpdatesPop() override;
  void invalidateScreen(const ccUIRect& rect) override;
  // Draws the shape's outline as sampled by the shape (one-pixel pen).
  void draw(const ccGenShape& shape, const ccColor& color) override;
  void drawEllipseArc(const ccEllipseArc& arc, const ccGraphicProps& props) override;
  void drawEllipse(const ccEllipse& ellipse, const ccGraphicProps& props) override;
  void drawPolygon(const std::vector<ccVector<2>>& vertices, ccPolygon::PolyFillMode fillMode,
                   const ccGraphicProps& props) override;
  void drawIcon(const ccRLEBuffer& icon, const ccPoint& corner, const std::vector<ccColor>& colors,
                bool passThrough, unsigned char passValue) override;
  void drawRLEImage(const ccRLEBuffer& image, const ccPoint& at,
                    const std::vector<unsigned char>& colorMap, bool pass, unsigned char passValue,
                    bool flag) override;
  // drawImage, sampleImage and expandImage (ccPelScope) draw through drawPels.
  void drawText(const std::string& text, const ccPoint& at, const ccColor& color,
                const ccColor& color2, const ccUIFormat& format) override;
  void drawPolyline(const ccPolyline& polyline, const ccGraphicProps& props) override;
  void drawRoundedRect(const ccGenRect& rect, const ccGraphicProps& props) override;
  void drawEllipseArc2(const ccEllipseArc2& arc, const ccGraphicProps& props) override;
  void drawEllipse2(const ccEllipse2& ellipse, const ccGraphicProps& props) override;
  void drawLineSeg(const ccLineSeg& seg, const ccGraphicProps& props) override;
  // A square of the pen width (at least one pixel) centred on the point's pixel.
  void plotPoint(const ccPoint& p, const ccGraphicProps& props) override;
  ccUIRect textRect(const std::string& text, const ccPoint& at, const ccUIFormat& format) override;
  // Replaces the pixels (alpha included): the pass colour with passErases() clears them.
  void setRect(const ccUIRect& rect, const ccColor& color) override;
  void setAll(const ccColor& color) override;
  // Image devices: a scanline fill from pixel with color within this scope's clip; bounded
  // spreads over every pixel that is not color2, otherwise over the seed pixel's value.
  // Other devices cannot be read back: the call is ignored there.
  void floodFill(const ccPair<long>& pixel, const ccColor& color, const ccColor& color2,
                 bool bounded) override;
  void drawTo(const ccPoint& p, const ccGraphicProps& props) override;
  void drawToRel(long dx, long dy, const ccGraphicProps& props) override;

 protected:
  // A root scope over a canvas (made by the derived classes).
  explicit ccQtScope(std::shared_ptr<cc_QtCanvas> canvas,
                     const ccPair<long>& clipOffset = ccPair<long>());
  // The image the canvas owns; null for other devices.
  QImage* canvasImage() const;
  // Ends the painter when one is active (before the pixels are read or written directly).
  void endPainter() const;
  // A canvas over a new image: premultiplied ARGB32, transparent; or, opaque, RGB32, black.
  static std::shared_ptr<cc_QtCanvas> makeImageCanvas(long width, long height, bool opaque);

 private:
  class Draw;  // one drawing operation: prepares the painter and notes the change
  friend class Draw;

  friend class ccSurfaceScope<ccQtScope, ccQtFont>;
  // The painter's pen no longer matches the palette or eraser rule.
  void paletteChanged();
  // Notes a rectangle of device pixels (already clipped) as changed, and tells the damage hook.
  void noteDevice(const ccUIRect& r, bool checkOpaque);
  void strokePixels(long x0, long y0, long x1, long y1, const ccGraphicProps& props);
  // The hook of the twelve image slots (ccPelScope).
  friend class ccPelScope<ccQtScope>;
  template <class T>
  void drawPels(const ccImageSlotCall<T>& image);
  // What every image slot, icon and run-length image ends in: the visible pels of image zoomed
  // by scale (1:1 for scale null) with its upper-left pel at scope pixel corner; convert gives
  // a pel's premultiplied pixel (0 for a transparent one).
  template <class T, class Convert>
  void drawConverted(const ccPelBuffer_const<T>& image, const ccPair<long>& corner,
                     const ccPair<double>* scale, InterpolationModes mode, Convert convert);
  ccPair<long> textSize(const std::string& text, long fontId, double* ascent) const;

  std::shared_ptr<cc_QtCanvas> canvas_;
  std::unique_ptr<QImage> dragSaved_;
};
