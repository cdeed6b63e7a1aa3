// Retained graphics: a shape of the core library together with the props to draw it with.
//
// ccGraphic is the abstract base. Graphics are persistent and shared through reference-counted
// handles (ccPtrHandle<ccGraphic>); they map by a transform, clone, measure themselves
// (enclosing rectangle, distance to a point), draw on a tablet (ccUITablet::draw(const
// ccGraphic&, Layers)) and archive. One graphic class per shape type comes from two templates:
// ccGraphicSimple<T>, and ccGraphicWithFill<T, U> for the closed shapes that can be filled (U is
// the shape class that mapping may turn a T into). ccGraphic::makeShapeGraphic builds the right
// graphic for any supported shape. Groups and the special graphics (text, point icon, cross,
// annulus section) are in dispc/graphicgroup.h, the list of graphics in dispc/glist.h.
//
// Drawing a graphic calls the tablet's draw for its shape with its props, so it records the same
// sketch operations as drawing the shape directly.
//
// Archive forms (each level writes its own version byte, outermost first):
//   ccGraphic               version 1 (0 and 1 load): the persistent base, then the props. A
//                           version-0 record holds one ccColor instead, which becomes the props
//                           ccGraphicProps(colour, 1, solid, no fill).
//   ccGraphicBuiltin<T>     version 0: the ccGraphic record, then the shape (its persistent form).
//   ccGraphicSimple<T>      version 0: the ccGraphicBuiltin<T> record.
//   ccGraphicWithFill<T, U> version 1 (0 and 1 load): the ccGraphicBuiltin<T> record; version 0
//                           adds a bool, the fill flag of the props.
// An unknown version of ccGraphic throws ccArchive::UnknownVersion("dispc/glist", line); of the
// templates, UnknownVersion(the object's class name, 0). Loading leaves the graphic unchanged
// when it throws.
//
// A graphic belongs to the thread that uses it.
#pragma once

#include <core/affinerect.h>
#include <core/archive.h>
#include <core/ellipse.h>
#include <core/errors.h>
#include <core/exception.h>
#include <core/genrect.h>
#include <core/handle.h>
#include <core/lines.h>
#include <core/persistent.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/splines.h>
#include <core/xform.h>
#include <dispc/color.h>
#include <dispc/dispprop.h>
#include <dispc/errors.h>
#include <dispc/tablet.h>
#include <dispc/wrfm/genpoly.h>
#include <dispc/wrfm/wirefrm.h>

#include <string>

class ccGraphicList;

class ccGraphic : public virtual ccPersistent, public virtual ccRepBase {
 public:
  // Errors of graphics: each carries a message.
  class Errors : public ccExceptionWithString {
   public:
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;
    // Version 0: the ccExceptionWithString part (which holds the message).
    void dispatchSerialize(ccArchive& ar) override;

   protected:
    Errors() = default;
    explicit Errors(const std::string& message) : ccExceptionWithString(message) {}
  };
  // Bad arguments to a graphic (for example "Item index out of range").
  class BadParams : public ccErrorClass<BadParams, Errors, 0x10009600> {
   public:
    BadParams() = default;
    explicit BadParams(const std::string& message) : ccErrorClass(message) {}
  };
  // makeShapeGraphic found no graphic class for the shape (empty message).
  class NoGraphicForShape : public ccErrorClass<NoGraphicForShape, Errors, 0x10009601> {
   public:
    NoGraphicForShape() = default;
    explicit NoGraphicForShape(const std::string& message) : ccErrorClass(message) {}
  };

  ~ccGraphic() override = default;

  // The graphic mapped by x, as a new graphic (possibly of another class).
  virtual ccPtrHandle<ccGraphic> map(const ccXform<2>& x) const = 0;
  virtual ccPtrHandle<ccGraphic> clone() const = 0;
  virtual ccRect encloseRect() const = 0;
  virtual double distToPoint(const ccVector<2>& p) const = 0;
  // True when the graphic draws nothing (an empty group or text).
  virtual bool isNull() const { return false; }

  const ccGraphicProps& props() const { return props_; }
  // Marks the graphic changed; the caller may change the props in place (setProps_ is not run).
  ccGraphicProps& props() {
    mutating();
    return props_;
  }
  // Marks changed, assigns, then setProps_(props()).
  void props(const ccGraphicProps& p);
  const ccColor& color() const { return props_.penColor(); }
  // Marks changed, sets the pen colour, then setProps_(props()).
  void color(const ccColor& c);

  // The graphic for a shape, with the given props: null for a null shape; a ccGraphicGroup of
  // the children's graphics for a ccShapeTree; else the graphic of the first class in
  // makeShapeGraphic's order that the shape is (see graphicshapes.cpp). Throws
  // NoGraphicForShape for any other shape.
  static ccPtrHandle<ccGraphic> makeShapeGraphic(const ccShape* shape, const ccGraphicProps& props);
  static ccPtrHandle<ccGraphic> makeShapeGraphic(const ccPtrHandle_const<ccShape>& shape,
                                                 const ccGraphicProps& props) {
    return makeShapeGraphic(shape.get(), props);
  }

  // Version 1 written; see the archive forms above.
  void dispatchSerialize(ccArchive& ar) override;

 protected:
  // Default props.
  ccGraphic() = default;
  // Props ccGraphicProps(c, 1, solid, no fill).
  explicit ccGraphic(const ccColor& c) : props_(c, 1, ccGraphicProps::eSolid, false) {}
  explicit ccGraphic(const ccGraphicProps& p) : props_(p) {}
  ccGraphic(const ccGraphic&) = default;
  ccGraphic& operator=(const ccGraphic&) = default;

  // Only graphics that are built in draw through ccUITablet::draw(const ccGraphic&, Layers);
  // every constructor sets the flag. A graphic drawn by other means may clear it.
  bool builtin() const { return builtin_; }
  void builtin(bool b) { builtin_ = b; }

  // No graphic of this library draws without a tablet: reported through cstd_assert_.
  virtual void draw(void* context) const;
  // Draws the graphic on the tablet's layer (through the tablet's own draw operations).
  virtual void draw(ccUITablet& tablet, ccUITablet::Layers layer) const = 0;
  // Called after every change of the props through props(p) or color(c). Does nothing here.
  virtual void setProps_(const ccGraphicProps& p);

  // Draws another graphic (derived classes cannot call its protected draw directly).
  static void drawGraphic(const ccGraphic& g, ccUITablet& tablet, ccUITablet::Layers layer) {
    g.draw(tablet, layer);
  }

  // The ccGraphic record (version byte, persistent base, props). Storing writes this graphic's
  // props; loading reads them into `loaded` and leaves this graphic as it is, so that a derived
  // class can take everything over at once when its own fields have loaded too.
  void archiveGraphicRecord(ccArchive& ar, ccGraphicProps& loaded);
  // The shape's bounding box; a default ccRect when the shape is degenerate (other errors of the
  // shape pass).
  static ccRect shapeRect(const ccShape& s);
  // Takes loaded props over: marks changed, no setProps_.
  void takeProps(const ccGraphicProps& p) {
    mutating();
    props_ = p;
  }

 private:
  friend class ccUITablet;
  friend class ccGraphicList;

  ccGraphicProps props_;
  bool builtin_ = true;
};

using ccGraphicPtrh = ccPtrHandle<ccGraphic>;
using ccGraphicPtrh_const = ccPtrHandle_const<ccGraphic>;

// The base of the shape graphics: the shape, held by value. Measures through the shape and
// archives; mapping, cloning and drawing are the concrete classes'.
template <class T>
class ccGraphicBuiltin : public ccGraphic {
 public:
  using Shape = T;

  const T& shape() const { return shape_; }
  void shape(const T& s) {
    mutating();
    shape_ = s;
  }

  // The shape's bounding box; a default ccRect when the shape is degenerate (other errors of
  // the shape pass).
  ccRect encloseRect() const override;
  // The shape's distanceToPoint.
  double distToPoint(const ccVector<2>& p) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  ccGraphicBuiltin() = default;
  ccGraphicBuiltin(const T& s, const ccGraphicProps& p) : ccGraphic(p), shape_(s) {}
  ccGraphicBuiltin(const T& s, const ccColor& c) : ccGraphic(c), shape_(s) {}
  ccGraphicBuiltin(const ccGraphicBuiltin&) = default;
  ccGraphicBuiltin& operator=(const ccGraphicBuiltin&) = default;

  // The ccGraphicBuiltin<T> record, loaded into props and shape without changing this graphic.
  void archiveBuiltinRecord(ccArchive& ar, ccGraphicProps& props, T& shape);
  void take(const ccGraphicProps& p, const T& s) {
    takeProps(p);
    shape_ = s;
  }

 private:
  T shape_;
};

template <class T>
ccRect ccGraphicBuiltin<T>::encloseRect() const {
  return shapeRect(shape_);
}

template <class T>
double ccGraphicBuiltin<T>::distToPoint(const ccVector<2>& p) const {
  return shape_.distanceToPoint(p);
}

template <class T>
void ccGraphicBuiltin<T>::archiveBuiltinRecord(ccArchive& ar, ccGraphicProps& props, T& shape) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(cfClassName(typeid(*this)), 0);
  archiveGraphicRecord(ar, props);
  if (ar.isStoring()) {
    shape_.dispatchSerialize(ar);
  } else {
    const ccArchive::VisitScope scope(ar);  // shape is a local of the caller
    shape.dispatchSerialize(ar);
  }
}

template <class T>
void ccGraphicBuiltin<T>::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  ccGraphicProps p;
  T s;
  archiveBuiltinRecord(ar, p, s);
  if (ar.isLoading()) take(p, s);
  setVisited(ar);
}

// The graphic of a shape that has no fill: maps through the shape class's own map (which gives
// a T again).
template <class T>
class ccGraphicSimple : public ccGraphicBuiltin<T> {
 public:
  ccGraphicSimple() = default;
  ccGraphicSimple(const T& s, const ccGraphicProps& p) : ccGraphicBuiltin<T>(s, p) {}
  ccGraphicSimple(const T& s, const ccColor& c) : ccGraphicBuiltin<T>(s, c) {}
  ccGraphicSimple(const ccGraphicSimple&) = default;
  ccGraphicSimple& operator=(const ccGraphicSimple&) = default;

  ccPtrHandle<ccGraphic> map(const ccXform<2>& x) const override;
  ccPtrHandle<ccGraphic> clone() const override;

  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccGraphicSimple; }

 protected:
  using ccGraphic::draw;
  void draw(ccUITablet& tablet, ccUITablet::Layers layer) const override;
};

// The graphic of a closed shape that can be filled (the fill flag of the props). Mapping gives a
// ccGraphicWithFill<U, U> when the mapped shape is a U, else a ccGraphicWithFill<T, U> when it is
// still a T; any other result throws ccShapesError::DegenerateShape.
template <class T, class U>
class ccGraphicWithFill : public ccGraphicBuiltin<T> {
 public:
  ccGraphicWithFill() = default;
  ccGraphicWithFill(const T& s, const ccGraphicProps& p) : ccGraphicBuiltin<T>(s, p) {}
  // Props ccGraphicProps(c, 1, solid, fill).
  ccGraphicWithFill(const T& s, const ccColor& c, bool fill) : ccGraphicBuiltin<T>(s, c) {
    this->props().fill(fill);
  }
  ccGraphicWithFill(const ccGraphicWithFill&) = default;
  ccGraphicWithFill& operator=(const ccGraphicWithFill&) = default;

  bool fill() const { return this->ccGraphic::props().fill(); }
  void fill(bool f) { this->props().fill(f); }

  ccPtrHandle<ccGraphic> map(const ccXform<2>& x) const override;
  ccPtrHandle<ccGraphic> clone() const override;

  // Version 1 written; a version-0 record carries the fill flag after the builtin record.
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccGraphicWithFill; }

 protected:
  using ccGraphic::draw;
  void draw(ccUITablet& tablet, ccUITablet::Layers layer) const override;
};

// The shapes T of every ccGraphicSimple<T>, and the pairs (T, U) of every ccGraphicWithFill<T,
// U>. Registration for loading by name, the explicit instantiations and the tests run over these
// lists.
// clang-format off
#define DISPC_SIMPLE_GRAPHIC_SHAPES(X)                                                     \
  X(cc2Point) X(ccPoint) X(ccPointSet) X(ccLineSeg) X(ccLineSegSet) X(ccLine) X(ccFLine)   \
  X(ccPolyline) X(ccPolygon) X(ccAffineRectangle) X(ccCoordAxes) X(ccEllipseArc)           \
  X(ccEllipseArc2) X(ccGenAnnulus) X(ccBezierCurve) X(ccDeBoorSpline) X(ccInterpSpline)    \
  X(ccHermiteSpline) X(ccGenPoly) X(cc2Wireframe)
#define DISPC_FILL_GRAPHIC_SHAPES(X)                                                       \
  X(ccRect, ccGenRect) X(ccCircle, ccEllipse2) X(ccCircle, ccEllipse)                      \
  X(ccAnnulus, ccGenAnnulus) X(ccEllipse, ccEllipse) X(ccEllipse2, ccEllipse2)             \
  X(ccGenRect, ccGenRect) X(ccEllipseAnnulus, ccEllipseAnnulus) X(ccGenAnnulus, ccGenAnnulus)
// clang-format on

// Instantiated once, in the library.
#define DISPC_EXTERN_SIMPLE_GRAPHIC(T) extern template class ccGraphicSimple<T>;
#define DISPC_EXTERN_FILL_GRAPHIC(T, U) extern template class ccGraphicWithFill<T, U>;
DISPC_SIMPLE_GRAPHIC_SHAPES(DISPC_EXTERN_SIMPLE_GRAPHIC)
DISPC_FILL_GRAPHIC_SHAPES(DISPC_EXTERN_FILL_GRAPHIC)
#undef DISPC_EXTERN_SIMPLE_GRAPHIC
#undef DISPC_EXTERN_FILL_GRAPHIC
