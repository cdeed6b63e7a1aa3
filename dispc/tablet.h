// ccUITablet: a drawing surface in a tree of tablets.
//
// A tablet has a rectangle in its parent's pixels, one scope per layer (layer 0 the image,
// layer 1 the overlay) that a display back end supplies, a base map from the caller's
// coordinates (usually image coordinates) to tablet pixels, a zoom, flag stacks that switch
// drawing and recording on and off, and a sketch into which its draw operations are recorded.
//
// Every draw operation does two independent things:
//   - drawing: when okToDraw(layer) allows it, the shape is mapped through scaledMap() into
//     tablet pixels and handed to the layer's active scope;
//   - recording: when recordOn() is set, the operation is appended to sketch() in the caller's
//     coordinates (a props prefix only when the props changed, then the opcode record and the
//     payload of the sketch stream format, see dispc/sketchformat.h).
// Composite operations switch recording off around their parts, so a sketch holds one
// operation per caller-level call.
//
// Tree. Children are listed bottom to top. Parents do not own their kids; a kid that outlives
// its parent loses its scopes and draws nothing until it is re-parented. Scopes made for a
// tablet (sub-scopes of its parent's) and scopes handed over with own = true are owned and
// deleted by the tablet.
//
// Every tablet starts hidden (a hide count of 1): call visible(true) to show it.
//
// Layer arguments: draw operations draw on 0 or 1; on any other layer they draw nothing and
// still record. Operations that map a point or read a pen position without drawing
// (drawingPoint, textRect), the scope queries and the update-style operations throw
// ccUIError::BadLayer outside 0 and 1 (update-style ones and drawClipRect take 2 for both).
//
// A tablet tree with its scopes belongs to one thread.
#pragma once

#include <core/affinerect.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/genshape.h>
#include <core/lines.h>
#include <core/pair.h>
#include <core/pelbuffer.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/rlebuffer.h>
#include <core/shape.h>
#include <core/splines.h>
#include <core/xform.h>
#include <dispc/color.h>
#include <dispc/dispprop.h>
#include <dispc/flagstack.h>
#include <dispc/scope.h>
#include <dispc/uirect.h>
#include <dispc/uisketch.h>
#include <dispc/uistring.h>

#include <cstdint>
#include <list>
#include <string>
#include <vector>

class ccGraphic;
class ccGenPoly;
class cc2Wireframe;

class ccUITablet : public ccUIInterpolation {
 public:
  enum Layers : int { eImageLayer = 0, eOverlayLayer = 1, eBothLayers = 2 };
  enum ScaleModes : int { eNoScale = 0, eMagnify = 1, eReduce = 2 };
  // fill(): eFillToBorder fills up to pixels of the second colour (the scope is told
  // "bounded"); eFillSurface fills the connected pixels that have the second colour.
  enum FillType : int { eFillToBorder = 0, eFillSurface = 1 };

  // ---- Construction and tree

  // A detached recording tablet: no scopes, drawOn false, recordOn true.
  ccUITablet();
  // A child of parent at rect (parent's pixels), on top of its siblings, with sub-scopes of the
  // parent's scopes. drawOn true, recordOn false. Hidden until visible(true).
  ccUITablet(ccUITablet& parent, const ccUIRect& rect);
  // A root over caller-owned scopes (either may be null); the rectangle is at (0, 0) with the
  // larger of the two scopes' widths and heights. drawOn true, recordOn false.
  ccUITablet(ccUIScope* image, ccUIScope* overlay);
  // A copy of the tablet's settings, map, flags and sketch that owns no scopes and is not
  // linked into any tree (no parent, no kids): it records like the original but draws nothing
  // until given scopes or a parent.
  ccUITablet(const ccUITablet& t);
  // The same for an existing tablet: it takes t's settings, map, flags and sketch, and keeps its
  // own scopes and its place in its tree.
  ccUITablet& operator=(const ccUITablet& t);
  // Hides the tablet, unlinks it from its parent, tells the kids that their parent is gone and
  // deletes the scopes it owns.
  virtual ~ccUITablet();

  // Always act on the root of the tree. For each layer set: the descendants drop their scopes
  // for it, an owned old scope is deleted, the new one is taken (owned when own is true); then
  // the root rectangle is recomputed and the scope chain rebuilt.
  void setScope(ccUIScope* image, ccUIScope* overlay, bool own);
  void setScope(Layers l, ccUIScope* scope, bool own);
  // Moves the tablet (with its kids) under newParent at rect. A newParent that is this tablet
  // or one of its descendants is reported through cstd_assert_ and nothing happens.
  void setParent(ccUITablet& newParent, const ccUIRect& rect);

  ccUITablet* parent() const { return parent_; }
  ccUITablet* firstKid() const { return kids_.empty() ? nullptr : kids_.front(); }
  ccUITablet* lastKid() const { return kids_.empty() ? nullptr : kids_.back(); }
  long numKids() const { return static_cast<long>(kids_.size()); }
  ccUITablet* nextSib() const;
  ccUITablet* prevSib() const;

  // ---- Mapping and geometry

  const ccXform<2>& baseMap() const { return baseMap_; }
  ccUITablet& baseMap(const ccXform<2>& m);
  ScaleModes scaleMode() const { return scaleMode_; }
  ccUITablet& scaleMode(ScaleModes m);
  const ccPair<double>& scaleExact() const { return scaleExact_; }
  // Stores s and selects the mode from s.x alone: eNoScale within ccZoomFactorTolerance of 1,
  // eReduce at or below 1, else eMagnify.
  ccUITablet& scaleExact(const ccPair<double>& s);
  // Whole factors (reducing divisors in eReduce mode); the mode is kept.
  ccUITablet& scale(const ccPair<long>& s);
  // Per axis: the factor truncated when >= 1, else its inverse truncated.
  ccPair<long> scale() const;
  // baseMap with the zoom applied (baseMap first) and the drag delta added.
  const ccXform<2>& scaledMap() const { return scaledMap_; }

  const ccUIRect& scopeRect() const { return scopeRect_; }
  ccUITablet& scopeRect(const ccUIRect& r);
  ccUITablet& moveRel(const ccPair<long>& d);
  ccUITablet& moveAbs(const ccPair<long>& p);
  ccUITablet& size(const ccPair<long>& s);
  // Upper-left corner in root pixels.
  const ccPair<long>& scopeOrg() const { return scopeOrg_; }
  ccUIRect absRect() const { return ccUIRect(scopeOrg_, scopeRect_.sz()); }
  // The size of the active (own) scope's bounds placed at (0, 0); null without scope.
  ccUIRect activeScope(Layers l) const;
  ccUIRect currentScope(Layers l) const;

  // p mapped by scaledMap() into whole pixels by the tolerant floor.
  ccPair<long> scopeCoords(const ccPoint& p) const;
  ccPair<long> screenCoords(const ccPoint& p) const { return scopeOrg_ + scopeCoords(p); }
  // The pixel mapped back by the inverse of scaledMap() (ccMathError::Singular when it has
  // none).
  ccPoint tabletCoords(const ccPair<long>& pixel) const;

  const ccPair<long>& dragDel() const { return dragDel_; }
  // The map recomputed, then d added to its translation.
  ccUITablet& dragDel(const ccPair<long>& d);

  InterpolationModes interpolation() const { return interpolation_; }
  // A different mode is stored and the tablet drawn again (fullDraw(2)).
  void interpolation(InterpolationModes m);

  ccUISketch& sketch() { return sketch_; }
  const ccUISketch& sketch() const { return sketch_; }
  ccFlagStack& drawOn() { return drawOn_; }
  ccFlagStack& recordOn() { return recordOn_; }
  ccFlagStack& drawOnOverlay() { return drawOnOverlay_; }
  const ccFlagStack& drawOn() const { return drawOn_; }
  const ccFlagStack& recordOn() const { return recordOn_; }
  const ccFlagStack& drawOnOverlay() const { return drawOnOverlay_; }
  bool updating() const { return updating_; }
  static const ccPoint& drawPointArg() { return drawPointArg_; }
  static bool overlaySupported() { return true; }

  bool visible() const { return hideCount_ == 0; }
  // Hide requests count: each visible(false) needs a visible(true). Returns true when the call
  // changed visibility; showing then draws the tablet (fullDraw(2)), hiding erases it
  // (erase(2)).
  bool visible(bool show);

  bool opaque(Layers l) const;
  void opaque(Layers l, bool on);
  bool anyChanged(Layers l) const;
  void clearAnyChanged(Layers l);

  static bool shouldUpdate(Layers a, Layers b) { return a == b || b == eBothLayers; }
  static bool shouldUpdateImage(Layers l) { return l == eImageLayer || l == eBothLayers; }
  static bool shouldUpdateOverlay(Layers l) { return l == eOverlayLayer || l == eBothLayers; }
  Layers updateLayers() const { return updateLayers_; }
  // Returns the previous value.
  Layers updateLayers(Layers l);

  // Drawing is allowed on l: visible, drawOn (and drawOnOverlay for layer 1), a scope, and for
  // a scope that is off screen, client change collection on. Advances the time stamp.
  bool okToDraw(Layers l) {
    if (hideCount_ != 0 || !drawOn_) return false;  // the common case of a recording-only tablet
    return okToDrawScope(l);
  }
  // p mapped by scaledMap() into out; for drawPointArg() (by value) the scope's pen position
  // instead, when the layer has a scope. Returns the mapped point.
  const ccPoint& mapPoint(const ccPoint& p, Layers l, ccPoint& out) const;

  // A recording-only tablet shared by the process (no scopes, drawOn false).
  static ccUITablet scratchPad;

  // ---- Update control

  void lockScreenUpdatesPush(bool lock, Layers l);
  void lockScreenUpdatesPop(Layers l);
  bool screenUpdatesLocked(Layers l) const;
  void optimizeDrawing(bool on, Layers l);
  void dragStart(Layers l);
  void dragStop(Layers l);
  void dragErase(Layers l);
  void dragAnimate(bool on, Layers l);
  // Client change tracking of both active scopes.
  void recordChanges(bool on);
  bool recordChanges() const;
  // rects[0] and rects[1] receive the changed rectangles (root pixels) of the layers; null
  // without scope or tracking. Unless keep, tracking ends for each scope read.
  void getChanges(ccUIRect* rects, bool keep);
  bool modified(Layers l) const;
  void modified(Layers l, bool on);
  // Runs redraw_() (recording off, updates locked) when visible and drawOn.
  void redraw(Layers l);
  // redraw(l), then every kid's fullDraw(l), bottom first.
  void fullDraw(Layers l);
  // Draws what changed on l again, in this tablet, the tablets above it and the kids.
  void update(Layers l);
  // Draws r (root pixels) of l again: this tablet alone (self) or with its kids.
  void update(const ccUIRect& r, Layers l, bool self);
  // erase(whole tablet, l); then the sketch is emptied when recordOn.
  void erase(Layers l);
  // Uncovers r (this tablet's pixels): the nearest opaque ancestor draws it again.
  void erase(const ccUIRect& r, Layers l);
  // On top of / below the siblings.
  void front();
  void back();

  // ---- Drawing shapes with props

  void draw(const ccPoint& p, const ccGraphicProps& props, Layers l);
  void draw(const cc2Point& p, const ccGraphicProps& props, Layers l);
  void draw(const ccLineSeg& s, const ccGraphicProps& props, Layers l);
  // Clipped to the scope's area.
  void draw(const ccLine& line, const ccGraphicProps& props, Layers l);
  void draw(const ccCross& c, const ccGraphicProps& props, Layers l);
  void draw(const ccRect& r, const ccGraphicProps& props, Layers l);
  void draw(const ccCircle& c, const ccGraphicProps& props, Layers l);
  // Outer then inner circle, each recorded as a circle.
  void draw(const ccAnnulus& a, const ccGraphicProps& props, Layers l);
  void draw(const ccEllipse& e, const ccGraphicProps& props, Layers l);
  void draw(const ccEllipseArc& a, const ccGraphicProps& props, Layers l);
  void draw(const ccEllipse2& e, const ccGraphicProps& props, Layers l);
  void draw(const ccEllipseArc2& a, const ccGraphicProps& props, Layers l);
  void draw(const ccGenRect& r, const ccGraphicProps& props, Layers l);
  void draw(const ccGenAnnulus& a, const ccGraphicProps& props, Layers l);
  void draw(const ccCoordAxes& a, const ccGraphicProps& props, Layers l);
  // With two or more points, first the circle about point 0 through point 1 and the segment
  // between them; then every point (width 1, solid, no fill), each recorded as a point.
  void draw(const ccPointSet& s, const ccGraphicProps& props, Layers l);
  void draw(const ccAffineRectangle& r, const ccGraphicProps& props, Layers l);
  void draw(const ccPolyline& p, const ccGraphicProps& props, Layers l);
  void draw(const ccPolygon& p, const ccGraphicProps& props, Layers l);
  // Every segment, each recorded as a segment.
  void draw(const ccLineSegSet& s, const ccGraphicProps& props, Layers l);
  void draw(const ccBezierCurve& b, const ccGraphicProps& props, Layers l);
  void draw(const ccCubicSpline& s, const ccGraphicProps& props, Layers l);
  // Inner and outer ellipse, each recorded as an ellipse.
  void draw(const ccEllipseAnnulus& a, const ccGraphicProps& props, Layers l);
  // The inner and outer arcs with the radial sides that close them (two full ellipses for a
  // full turn); with props.arrowHead, an arrowhead on each arc at its end (arrowHeadForward)
  // or its start, pointing along the arcs' direction of travel.
  void draw(const ccEllipseAnnulusSection& s, const ccGraphicProps& props, Layers l);
  // A general polygon: with props whose arrowHead is cleared, mapped and stroked
  // (ccGenPoly::drawToScope) under the scope's screen-update lock; recorded with those props as
  // opcode 38 when props.showVertex(), else 34.
  void draw(const ccGenPoly& g, const ccGraphicProps& props, Layers l);
  // A wireframe: mapped and stroked as a general polygon, with direction marks when
  // props.arrowHead(); recorded as opcode 41.
  void draw(const cc2Wireframe& w, const ccGraphicProps& props, Layers l);
  // Dispatched on the shape's class: mapped shapes, shape, contour and region trees, 2-D
  // points, segments, lines, rectangles, circles, annuli, the second-form ellipses and arcs,
  // general rectangles and annuli, polylines, general polygons and wireframes, affine
  // rectangles, curves, splines, ellipse annuli and segment sets. A shape of another class (a
  // point, ellipse, ellipse arc, polygon, cross, axes, point set or annulus section) draws nothing
  // here.
  void draw(const ccShape& s, const ccGraphicProps& props, Layers l);

  // ---- Drawing shapes with a colour (default props with that pen colour)

  void draw(const ccPoint& p, const ccColor& c, Layers l);
  void draw(const cc2Point& p, const ccColor& c, Layers l);
  void draw(const ccLineSeg& s, const ccColor& c, Layers l);
  void draw(const ccLine& line, const ccColor& c, Layers l);
  void draw(const ccCross& x, const ccColor& c, Layers l);
  void draw(const ccRect& r, const ccColor& c, Layers l, bool fill = false);
  void draw(const ccCircle& x, const ccColor& c, Layers l, bool fill = false);
  // As the ccGenAnnulus of its two circles.
  void draw(const ccAnnulus& a, const ccColor& c, Layers l);
  void draw(const ccEllipse& e, const ccColor& c, Layers l, bool fill = false);
  void draw(const ccEllipseArc& a, const ccColor& c, Layers l);
  void draw(const ccEllipse2& e, const ccColor& c, Layers l, bool fill = false);
  void draw(const ccEllipseArc2& a, const ccColor& c, Layers l);
  void draw(const ccGenRect& r, const ccColor& c, Layers l, bool fill = false);
  void draw(const ccGenAnnulus& a, const ccColor& c, Layers l);
  void draw(const ccCoordAxes& a, const ccColor& c, Layers l);
  void draw(const ccPointSet& s, const ccColor& c, Layers l);
  void draw(const ccAffineRectangle& r, const ccColor& c, Layers l, bool fill = false);
  void draw(const ccPolyline& p, const ccColor& c, Layers l);
  void draw(const ccPolygon& p, const ccColor& c, Layers l);
  void draw(const ccLineSegSet& s, const ccColor& c, Layers l);
  void draw(const ccBezierCurve& b, const ccColor& c, Layers l);
  void draw(const ccCubicSpline& s, const ccColor& c, Layers l);
  void draw(const ccEllipseAnnulus& a, const ccColor& c, Layers l);
  void draw(const ccEllipseAnnulusSection& s, const ccColor& c, Layers l, bool arrowHead = true,
            bool arrowHeadForward = true);
  void draw(const ccShape& s, const ccColor& c, Layers l, bool fill = false);
  // Default props with the pen colour and showVertex set and arrowHead cleared.
  void draw(const ccGenPoly& g, const ccColor& c, Layers l, bool showVertex = false);
  void draw(const cc2Wireframe& w, const ccColor& c, Layers l, bool showVertex = false);
  // A generic shape: mapped by its own map and drawn by the scope with the colour.
  void draw(const ccGenShape& s, const ccColor& c, Layers l);
  // A retained graphic: its own draw with this tablet and l, which draws (and records) its shape
  // with its props. ccUIError::NotImplemented for a graphic that is not built in.
  void draw(const ccGraphic& g, Layers l);

  // ---- Primitive forms

  void drawPixel(const ccPair<double>& p, const ccColor& c, Layers l);
  void drawLineSeg(const ccVector<2>& p1, const ccVector<2>& p2, const ccColor& c, Layers l);
  void drawLine(const ccVector<2>& p, const ccRadian& angle, const ccColor& c, Layers l);
  void drawCross(const ccVector<2>& p, const ccRadian& angle, const ccColor& c, Layers l,
                 int armLength = 5);
  void drawRect(const ccVector<2>& ul, const ccVector<2>& size, const ccColor& c, Layers l,
                bool fill = false);
  void drawCircle(const ccVector<2>& center, double radius, const ccColor& c, Layers l,
                  bool fill = false);
  void drawEllipse(const ccVector<2>& center, const ccVector<2>& radii, const ccRadian& rotation,
                   const ccColor& c, Layers l, bool fill = false);
  // The arc from start over span (radians, counter-clockwise for a positive span).
  void drawEllipseArc(const ccVector<2>& center, const ccVector<2>& radii, const ccRadian& rotation,
                      const ccRadian& start, const ccRadian& span, const ccColor& c, Layers l);
  void drawPolygon(const std::vector<ccVector<2>>& vertices, ccPolygon::PolyFillMode mode,
                   const ccColor& c, Layers l);
  void drawGenRect(const ccVector<2>& center, const ccVector<2>& halfSize, const ccRadian& rotation,
                   const ccVector<2>& uround, const ccColor& c, Layers l, bool fill = false);
  void drawAffineRect(const ccVector<2>& po, const ccVector<2>& px, const ccVector<2>& py,
                      const ccColor& c, Layers l, bool fill = false);

  // ---- Pen moves

  void drawStart(const ccPoint& p, Layers l);
  void drawTo(const ccPoint& p, const ccGraphicProps& props, Layers l);
  void drawTo(const ccPoint& p, const ccColor& c, Layers l);
  // A stroke of (dx, dy) whole scope pixels from the pen.
  void drawToRelPels(long dx, long dy, const ccGraphicProps& props, Layers l);
  void drawToRelPels(long dx, long dy, const ccColor& c, Layers l);
  // v mapped by the linear part of scaledMap(), made length pixels long, each component
  // truncated toward zero; then drawToRelPels(dx, dy, ...).
  void drawToRelPels(const ccVector<2>& v, float length, const ccGraphicProps& props, Layers l);
  void drawToRelPels(const ccVector<2>& v, float length, const ccColor& c, Layers l);
  void moveToRelPels(const ccVector<2>& v, float length, Layers l);
  void moveToRelPels(long dx, long dy, Layers l);
  // The pen position in caller coordinates; (0, 0) without scope.
  ccPoint drawingPoint(Layers l) const;
  // Two arms of armLength pixels running back from tip at +-atan(1/2) about -dir.
  void arrowHead(const ccPoint& tip, const ccVector<2>& dir, float armLength,
                 const ccGraphicProps& props, Layers l);
  // penWidth * 1.5 + 6 (times scaleExact().x in eReduce mode).
  float arrowArmLength(const ccGraphicProps& props) const;

  // ---- Fills and rectangles in pixels

  // The whole layer set to c. Recording starts the sketch afresh (keeping the clip rectangle).
  void set(const ccColor& c, Layers l);
  void set(const ccUIRect& r, const ccColor& c, Layers l);
  void set(const ccRect& r, const ccColor& c, Layers l);
  // Everything of the tablet outside r set to c.
  void setComplement(const ccUIRect& r, const ccColor& c, Layers l);
  void setComplement(const ccRect& r, const ccColor& c, Layers l);
  void fill(const ccPair<long>& pixel, const ccColor& c1, const ccColor& c2, FillType t, Layers l);
  void fill(const ccPoint& p, const ccColor& c1, const ccColor& c2, FillType t, Layers l);
  // width rings of 3-D frame inside r: top and left light, bottom and right dark.
  void outline3D(const ccUIRect& r, const ccColor& light, const ccColor& dark, long width,
                 Layers l);
  void outline3D(const ccRect& r, const ccColor& light, const ccColor& dark, long width, Layers l);
  void outline(const ccUIRect& r, const ccColor& c, long width, Layers l);
  void outline(const ccRect& r, const ccColor& c, long width, Layers l);
  // Clips later drawing of the layer (of both for 2) to r mapped into whole pixels.
  void drawClipRect(const ccRect& r, Layers l);
  const ccRect& clipRect(Layers l) const;

  // ---- Images and icons
  //
  // The image's upper-left pel goes to mapPoint(at). eMagnify enlarges it through the scope's
  // expand slots by scaleExact() (the 8-bit and packed 32-bit forms with interpolation()),
  // eReduce reduces it through the sample slots (whole divisors d stored by scale() reduce by
  // 1/d), eNoScale draws it 1:1. The trailing flag of the 8-bit and run-length forms is passed
  // to the scope and recorded unchanged. Only the 8-bit and run-length forms are recorded
  // (opcodes 12 and 14).

  void draw(const ccPelBuffer_const<unsigned char>& img, const ccPoint& at, bool passThrough,
            unsigned char passValue, bool flag, Layers l);
  void draw(const ccPelBuffer_const<unsigned short>& img, const ccPoint& at, bool passThrough,
            unsigned short passValue, Layers l);
  void draw(const ccPelBuffer_const<ccPackedRGB16Pel>& img, const ccPoint& at, bool passThrough,
            unsigned short passValue, Layers l);
  void draw(const ccPelBuffer_const<ccPackedRGB32Pel>& img, const ccPoint& at, bool passThrough,
            unsigned long passValue, Layers l);
  void draw(const ccRLEBuffer& img, const ccPoint& at, const std::vector<unsigned char>& colorMap,
            bool passThrough, unsigned char passValue, bool flag, Layers l);

  // The run-length icon of a text pattern: the first character separates rows of equal length;
  // '0' to '9' are map[d] (d itself without such an entry), ' ', '.' and '+' the pass colour's
  // index. ccUIError::BadIconPattern for a malformed pattern.
  static ccRLEBuffer makeIcon(const char* pattern, const std::vector<unsigned char>& colorMap);
  // Whether pixel p is inside the icon (' ' and '.' are outside). stride -1: the row length plus
  // the separator.
  static bool iconTouched(const char* pattern, const ccPair<long>& p, long stride = -1);
  // The 13 x 13 point marker, built on first use.
  static const ccRLEBuffer& pointIcon();
  // p relative to the point icon's centre.
  static bool pointIconTouched(const ccPair<long>& p);
  static const char* pointIconData() { return pointIconData_; }
  // The point icon centred at p in the props' pen colour (opcode 1).
  void drawPointIcon(const ccPoint& p, const ccGraphicProps& props, Layers l);
  void drawPointIcon(const ccPoint& p, const ccColor& c, Layers l);

  // ---- Sketches

  // Replays the sketch shifted by offset (caller coordinates). Layer 0 or 1 replays only the
  // operations recorded on that layer, 2 every operation on its own layer. While recording,
  // the replay is recorded as one nested-sketch operation. The map, recordOn, the screen lock
  // and drawing optimisation are restored on every path; a malformed stream throws
  // ccUIError::InvalidUISketch (operations before the bad one have been drawn).
  void draw(const ccUISketch& sketch, const ccPoint& offset, Layers l);
  // The pixel rectangle a replay on this tablet would change; null without a scope for l
  // (always for 2).
  ccUIRect encloseRect(const ccUISketch& sketch, const ccPoint& offset, Layers l);

  // ---- Text

  void draw(const std::string& s, const ccPoint& p, const ccColor& c1, const ccColor& c2,
            const ccUIFormat& f, Layers l);
  // The rectangle (scope pixels) that s would cover at p; null without scope.
  void textRect(const std::string& s, const ccPoint& p, const ccUIFormat& f, ccUIRect& r, Layers l);

 protected:
  // Hooks for derived tablets; the base versions do nothing.
  virtual void redraw_() {}
  virtual void resize_() {}
  virtual void move_() {}
  virtual void clipped_() {}
  virtual void newParentTablet(ccUITablet* /*oldParent*/) {}
  virtual void parentMapChanged() {}

  // The active scope of a layer (0 or 1), null when there is none.
  ccUIScope* scopeOf(Layers l) const { return activeScope_[l]; }

 private:
  // Pushes a value on a flag stack and pops it again on every path.
  class FlagPush {
   public:
    FlagPush(ccFlagStack& s, bool v) : s_(s) { s_.push(v); }
    ~FlagPush() { s_.pop(); }
    FlagPush(const FlagPush&) = delete;
    FlagPush& operator=(const FlagPush&) = delete;

   private:
    ccFlagStack& s_;
  };
  // Locks a scope's screen updates and unlocks them again on every path.
  class ScopeLock {
   public:
    explicit ScopeLock(ccUIScope* s) : s_(s) { s_->lockScreenUpdatesPush(true); }
    ~ScopeLock() { s_->lockScreenUpdatesPop(); }
    ScopeLock(const ScopeLock&) = delete;
    ScopeLock& operator=(const ScopeLock&) = delete;

   private:
    ccUIScope* s_;
  };

  static void checkLayer(Layers l) {  // 0 or 1
    if (l != eImageLayer && l != eOverlayLayer) throwBadLayer();
  }
  static void checkAnyLayer(Layers l) {  // 0, 1 or 2
    if (l != eImageLayer && l != eOverlayLayer && l != eBothLayers) throwBadLayer();
  }
  [[noreturn]] static void throwBadLayer();
  bool okToDrawScope(Layers l);
  static const ccGraphicProps& defaultProps();
  // The default props with pen colour c (and fill).
  static ccGraphicProps colorProps(const ccColor& c, bool fill = false) {
    return ccGraphicProps(c, 1, ccGraphicProps::eSolid, fill);
  }

  // The pen of the colour forms: colorProps(color, fill), built only when needed. The hottest
  // shapes have one body for both pens (see drawWith), so that recording with a colour that
  // is already current never builds props.
  struct ColorPen {
    const ccColor& color;
    bool fill;
  };
  static const ccGraphicProps& propsOf(const ccGraphicProps& props) { return props; }
  static ccGraphicProps propsOf(const ColorPen& pen) { return colorProps(pen.color, pen.fill); }
  static bool fillOf(const ccGraphicProps& props) { return props.fill(); }
  static bool fillOf(const ColorPen& pen) { return pen.fill; }

  // The props prefix and the opcode record; returns room for n payload bytes.
  unsigned char* record(signed char op, Layers l, const ccGraphicProps& props, std::size_t n) {
    sketch_.opcode(kSketchPropsOpcode, props);
    return sketch_.opcode(op, static_cast<signed char>(l), props.penColor(), static_cast<long>(n));
  }
  unsigned char* record(signed char op, Layers l, const ColorPen& pen, std::size_t n) {
    if (!sketch_.certainlyCurrentColorForm(pen.color, pen.fill))
      sketch_.opcode(kSketchPropsOpcode, propsOf(pen));
    return sketch_.opcode(op, static_cast<signed char>(l), pen.color, static_cast<long>(n));
  }

  // Tree and scopes.
  void setScopeLayer(int l, ccUIScope* scope, bool own);
  ccUIRect rectFromScopes() const;
  void newScope(bool self);
  void newMap();
  void setMap();
  void parentDeleted();
  void parentScopesDeleted(int l);
  void dropScope(int l);
  void unlinkFromParent();
  bool isSelfOrDescendant(const ccUITablet* t) const;
  void stampDraw();
  void updateLayer(int l);
  void updateRectLayer(const ccUIRect& r, int l, bool self);
  void updateKidsAbove(const ccUITablet* tablet, const ccUIRect& area, int l,
                       std::uint32_t& stamp) const;

  // Drawing helpers. The drawWith bodies take a ccGraphicProps or a ColorPen.
  template <class Pen>
  void drawWith(const ccPoint& p, const Pen& pen, Layers l);
  template <class Pen>
  void drawWith(const ccLineSeg& s, const Pen& pen, Layers l);
  template <class Pen>
  void drawWith(const ccCircle& c, const Pen& pen, Layers l);
  template <class Pen>
  void drawWith(const ccPolygon& pg, const Pen& pen, Layers l);
  template <class T, class P>
  void drawPels(const ccPelBuffer_const<T>& img, const ccPoint& at, bool passThrough, P passValue,
                Layers l);
  void dispatch(const ccShape& s, const ccGraphicProps& props, Layers l,
                const cc2XformBase* carried);
  static bool drawsThroughDispatch(const ccShape& s);
  // Draws g (mapped, locked, stroked) and records it as op with props.
  void drawGenPoly(const ccGenPoly& g, const ccGraphicProps& props, Layers l, signed char op);
  bool hullReachesScope(const ccBezierCurve& b, const ccGraphicProps& props,
                        const ccUIScope* scope) const;
  void drawOwnOverload(const ccShape& s, const ccGraphicProps& props, Layers l);
  void strokeQuad(ccUIScope* scope, const ccVector<2> (&corners)[4], bool fill,
                  const ccGraphicProps& props);
  ccUIRect pixelRect(const ccRect& r) const;
  void recordRectKind(signed char op, Layers l, const ccGraphicProps& props, const ccUIRect* pix,
                      const ccRect* client, std::size_t extra, unsigned char** tail);
  void recordClipRect(const ccRect& r, Layers l);
  void annulusSectionArrow(const ccEllipseArc& arc, const ccGraphicProps& props, Layers l);

  ccUIScope* activeScope_[2] = {nullptr, nullptr};
  ccUIScope* ownScope_[2] = {nullptr, nullptr};
  bool ownsScope_[2] = {false, false};
  ccXform<2> baseMap_;
  ScaleModes scaleMode_ = eNoScale;
  ccXform<2> scaledMap_;
  ccPair<double> scaleExact_{1.0, 1.0};
  ccUIRect scopeRect_;
  ccPair<long> scopeOrg_{0, 0};
  ccPair<long> dragDel_{0, 0};
  ccFlagStack drawOn_{false};
  ccFlagStack recordOn_{true};
  ccFlagStack drawOnOverlay_{false};
  Layers updateLayers_ = eBothLayers;
  InterpolationModes interpolation_ = eNoInterpolation;
  ccUISketch sketch_;
  std::uint32_t hideCount_ = 1;
  bool updating_ = false;
  std::uint32_t drawStamp_ = 0;
  std::uint32_t redrawStamp_ = 0;
  ccUITablet* parent_ = nullptr;
  std::list<ccUITablet*> kids_;
  std::list<ccUITablet*>::iterator placeInParent_;
  ccRect clipRects_[2];

  static const ccPoint drawPointArg_;
  static std::uint32_t timeStamp_;
  static const char pointIconData_[];
};

// What drawing an icon needs: the encoded pixels, the colour map passed with them and the
// transparent value. A default bitmap is empty, with pass-through on for the pass colour's
// palette index.
class ccUIBitmap {
 public:
  ccUIBitmap() : passColor_(ccColor::passIndex()) {}
  ccUIBitmap(const ccRLEBuffer& rleBuf, const std::vector<unsigned char>& colorMap,
             bool passThrough, unsigned char passColor)
      : rleBuf_(rleBuf), colorMap_(colorMap), passThrough_(passThrough), passColor_(passColor) {}

  const ccRLEBuffer& rleBuf() const { return rleBuf_; }
  void rleBuf(const ccRLEBuffer& b) { rleBuf_ = b; }
  const std::vector<unsigned char>& colorMap() const { return colorMap_; }
  void colorMap(const std::vector<unsigned char>& m) { colorMap_ = m; }
  bool passThrough() const { return passThrough_; }
  void passThrough(bool on) { passThrough_ = on; }
  unsigned char passColor() const { return passColor_; }
  void passColor(unsigned char c) { passColor_ = c; }
  // The run-length buffer holds pixels.
  bool isInit() const { return !rleBuf_.degenerate(); }

 private:
  ccRLEBuffer rleBuf_;
  std::vector<unsigned char> colorMap_;
  bool passThrough_ = true;
  unsigned char passColor_;
};
