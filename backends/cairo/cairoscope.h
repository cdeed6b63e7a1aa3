// ccCairoScope: a display back end that draws with Cairo.
//
// One implementation of every drawing slot works over a cairo_t; the classes differ only in
// the surface they draw on and in how it is written out:
//   ccCairoImageScope  (cairoimage.h)   an ARGB32 image surface; PNG output, pixel access,
//                                       flood fill, drags
//   ccCairoVectorScope (cairovector.h)  a bounded recording surface replayed into SVG, PDF
//                                       (or PNG) files, so shapes stay vectors
//   ccCairoLayers      (cairolayers.h)  an image-layer scope and an overlay scope of one size,
//                                       composed into one picture
// Sub-scopes (newSubScope) share the surface, the cairo_t and every setting of the scope
// that made them; they draw translated to their own origin and clipped to their area.
//
// Coordinates. The drawing slots receive tablet pixels as doubles. A whole coordinate names
// the centre of that pixel: the geometry is drawn half a pixel to the right and down of the
// plain device position, so that a one-pixel line between whole coordinates runs along the
// pixels xCoord() and yCoord() name, and, with antialiasing off, shapes on whole coordinates
// are pixel-exact (with flat caps a segment covers half of each end pixel, which Cairo
// lights at the start and not at the end). Points (plotPoint), text anchors, images, icons,
// pen strokes (drawTo, drawToRel) and rectangles work on whole scope pixels (xCoord(),
// yCoord()).
//
// Pens. Width 0 draws like width 1. Styles: solid, dash, dot, dash-dot, dash-dot-dot (dash
// lengths in multiples of the width), and eNull, which draws no outline (fills only). Joins
// miter/round/bevel, caps flat/round/square. Closed shapes (ellipses, rounded rectangles)
// are filled with the pen colour when the props say fill, then outlined; polygons are filled
// by their fill mode (eFillAlternate even-odd, eFillWinding non-zero; eNoFill with props
// fill: even-odd), then outlined. Arcs, polylines and segments are never filled.
//
// Colours. RGB colours draw as their triple; index colours (stock colours included) through
// the palette, whose stock entries hold the stock colours' triples and whose other entries
// start as the grey ramp (i, i, i). colorMap() replaces the palette's first entries. With
// passErases() on (the overlay of ccCairoLayers), the pass colour's index clears to
// transparent instead of drawing.
//
// Text. Font ids select an entry of a small per-scope-tree table (face, pixel size, bold,
// italic); id -1 and any id not in the table use the default entry, DejaVu Sans Mono at
// 13 pixels. The text rectangle is the advance width (rounded up) by the font's line height
// (ascent + descent, rounded up) per line; drawText places exactly that rectangle by the
// format's alignment (ccUIFormat::alignRect) at the anchor pixel, so textRect() and drawText
// agree. The second colour fills the rectangle only when textBackground() is on (off by
// default) and it is not the pass colour.
//
// Images. The 1:1 image slots copy pels: 8-bit pels are grey levels (the run-length form
// maps them through its colour map when one is given), 16-bit grey pels show their bits
// above grey16Shift() (default 8), packed RGB pels their colour (the unused top byte of
// 32-bit pels is ignored, also when comparing with the pass value). With pass set, pels equal
// to the pass value are transparent. Icon pels index their colour vector (values beyond it
// index the palette). The trailing flag of the 8-bit and run-length forms is not used.
// Reduced and enlarged images (sampleImage, expandImage, and the sample and expand forms of
// the base class that lead to them): with one scale for both directions (within
// ccZoomFactorTolerance), the base class's pelScale makes just the visible part of the zoomed
// image (nearest sample, replication for whole scales, smoothing of 8-bit and packed 32-bit RGB
// pels when the mode asks for it), which is drawn at 1:1; pass-through applies to the zoomed
// pels. With different scales per direction Cairo scales the whole image with its nearest-pel
// filter, and the interpolation mode is not used.
//
// Change tracking. Every drawing slot notes the pixels it may have touched with change():
// strokes and fills by Cairo's extents, images and text by their rectangles, setRect and
// setAll with checkOpaque; all clipped to what the scope may draw on.
//
// Clipping. A scope draws only inside its area (a sub-scope's rectangle cut by its parent's
// area) and, when a display clip rectangle is set (setDisplayClipRect, scope pixels), inside
// that too; a sub-scope is also held to its parents' display clips. While offScreen() is set
// nothing is drawn.
//
// Screen-update locks nest. The output hook (outputHook()) runs from updateScreen() while
// nothing is locked, and when the last lock that locked is popped.
#pragma once

#include <dispc/surfacescope.h>

#include <cairo.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class cc_CairoCanvas;

// An entry of the font table.
struct ccCairoFont {
  std::string face = "DejaVu Sans Mono";
  double size = 13;  // pixels (the em size)
  bool bold = false;
  bool italic = false;

  bool operator==(const ccCairoFont& o) const {
    return face == o.face && size == o.size && bold == o.bold && italic == o.italic;
  }
  bool operator!=(const ccCairoFont& o) const { return !(*this == o); }
};

// Throws ccUIError::InitFailed with the message "<what>: <Cairo's status text>"; when a file
// could not be opened, read or written, the system's reason follows in parentheses (set errno
// to 0 before the failing call). `what` names the file or the size asked for.
[[noreturn]] void cfCairoFail(const std::string& what, cairo_status_t status);

class ccCairoScope : public ccSurfaceScope<ccCairoScope, ccCairoFont> {
 public:
  // What the scope draws on.
  enum SurfaceKind { eRaster, eVector };

  ~ccCairoScope() override;

  // ---- Settings, shared by the whole scope tree

  SurfaceKind surfaceKind() const;
  cairo_surface_t* surface() const;
  // The drawing context (sub-scopes share it; every slot saves and restores its state).
  cairo_t* context() const;
  // Size of the surface in pixels.
  long surfaceWidth() const;
  long surfaceHeight() const;

  // The palette, font table, eraser rule and the other settings the tree shares: see
  // ccSurfaceScope. The palette for index colours starts as (and resetPalette restores)
  // defaultPalette().
  static const std::array<ccRGB, 256>& defaultPalette();

  // Flushes the surface and runs the output hook.
  void flush();

  // The base class's protected pen and coordinate readers, for tools and tests.
  using ccUIScope::drawPoint;
  using ccUIScope::drawX;
  using ccUIScope::drawY;
  using ccUIScope::xCoord;
  using ccUIScope::yCoord;

  // ---- Slots

  // A sub-scope over the same surface, placed with move(*this, rect).
  ccCairoScope* newSubScope(const ccUIRect& rect, bool temporary) override;
  // Raster surfaces save their pixels at dragStart and put them back at dragErase (within
  // this scope's clip); vector surfaces only keep the drag state.
  void dragStart() override;
  void dragStop() override;
  void dragErase() override;
  // Notes rect as changed.
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
  // Raster surfaces: a scanline fill from pixel with color, within this scope's clip. When
  // bounded, the fill spreads over every pixel that is not of color2 (the border colour);
  // otherwise over the pixels of the seed pixel's value. Vector surfaces cannot read their
  // pixels back: the call is ignored there.
  void floodFill(const ccPair<long>& pixel, const ccColor& color, const ccColor& color2,
                 bool bounded) override;
  void drawTo(const ccPoint& p, const ccGraphicProps& props) override;
  void drawToRel(long dx, long dy, const ccGraphicProps& props) override;

 protected:
  // A root scope over a canvas (made by the derived classes).
  explicit ccCairoScope(std::shared_ptr<cc_CairoCanvas> canvas,
                        const ccPair<long>& clipOffset = ccPair<long>());
  // A canvas over surface, whose reference it takes over (also when it throws
  // ccUIError::InitFailed for a surface in an error state).
  static std::shared_ptr<cc_CairoCanvas> makeCanvas(cairo_surface_t* surface, SurfaceKind kind,
                                                    long width, long height);
  const std::shared_ptr<cc_CairoCanvas>& canvas() const { return canvas_; }

 private:
  class Draw;  // one drawing operation: saves the context, clips, and notes the change
  friend class Draw;

  friend class ccSurfaceScope<ccCairoScope, ccCairoFont>;
  void paletteChanged() {}
  // Surface position of the tablet's pixel (0, 0).
  ccPair<double> tabletOrigin() const;
  // The pen stroke from pixel (x0, y0) to (x1, y1).
  void strokePixels(long x0, long y0, long x1, long y1, const ccGraphicProps& props);
  // Paints an ARGB32 surface (premultiplied) with its upper-left pel at scope pixel (x, y),
  // scaled by (sx, sy) with the filter given, and notes the change.
  void paintPels(cairo_surface_t* pels, long x, long y, double sx, double sy,
                 cairo_filter_t filter);
  // The hook of the twelve image slots (ccPelScope).
  friend class ccPelScope<ccCairoScope>;
  template <class T>
  void drawPels(const ccImageSlotCall<T>& image);
  // The visible pels of an image at 1:1 with its upper-left pel at scope pixel (x, y); convert
  // gives a pel's premultiplied pixel.
  template <class T, class Convert>
  void drawConverted(const ccPelBuffer_const<T>& image, long x, long y, Convert convert);
  // An image zoomed (see the file comment).
  template <class T, class Convert>
  void drawScaled(const ccPelBuffer_const<T>& image, const ccPoint& at, const ccPair<double>& scale,
                  InterpolationModes mode, Convert convert);
  // The size of the text's rectangle in pixels, and the ascent of its first line.
  ccPair<long> textSize(const std::string& text, long fontId, double* ascent) const;

  std::shared_ptr<cc_CairoCanvas> canvas_;
  cairo_surface_t* dragSaved_ = nullptr;  // the surface's pixels at dragStart (raster only)
};
