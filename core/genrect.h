// General rectangles: parallelograms with rounded corners, and the ring between two of them.
//
// Mapping (map() the value form, mapShape() the virtual form; both exact):
//   ccGenRect    -> ccGenRect     centre mapped, U multiplied by the map's matrix, rounding kept
//   ccGenAnnulus -> ccGenAnnulus  both rectangles mapped
// (ccRect::map gives a ccGenRect; ccRect::mapShape a ccRect when the map keeps the sides
// axis-aligned, see core/rect.h.)
//
// Archive forms: a version byte (0), the ccShape base record, then the fields listed with the
// class. Loading validates like the constructors and leaves the object unchanged when it
// throws.
#pragma once

#include <core/matrix.h>
#include <core/rect.h>
#include <core/shape.h>

#include <vector>

// The image of the square [-1, 1]^2 with rounded corners under p -> center + U p.
//
// Rounding uround() = (ux, uy) in [0, 1]^2: in the square's frame each corner is replaced by a
// quarter of the ellipse with semi-axes (ux, uy) centred at (+-(1 - ux), +-(1 - uy)); the
// figure is the rectangle of half-extents (1 - ux, 1 - uy) grown by that ellipse. (0, 0) is
// the parallelogram of corners(), (1, 1) the ellipse center + U (cos t, sin t); a zero
// component leaves the corners sharp.
//
// Contour: in the square's frame counter-clockwise (from -x towards +y via +x), starting at
// (-(1 - ux), -1) on the side y = -1; without rounding it runs through corner(0) to (3). For
// a ccRect mapped by the identity (U = diag(width / 2, height / 2)) that is ul, ur, lr, ll.
// Pieces are the straight sides and the corner arcs; corners (ccSampleParams) are where they
// meet.
// Archive fields: centre, U, uround.
class ccGenRect : public ccShape {
  CC_SHAPE_CLASS(ccGenRect)

 public:
  // Centre (0, 0), U = 0, no rounding: a point.
  ccGenRect() : u_(0, 0, 0, 0) {}
  // Throws BadGeom for a non-finite value, BadParams for a rounding outside [0, 1]^2.
  ccGenRect(const ccVector<2>& center, const ccMatrix<2>& U,
            const ccVector<2>& uround = ccVector<2>(0, 0));
  // Half-extents along the rectangle's own axes, turned by rotation: U = R(rotation)
  // diag(halfSize). Errors as above, and BadParams for a negative half-extent.
  ccGenRect(const ccVector<2>& center, const ccVector<2>& halfSize, const ccRadian& rotation,
            const ccVector<2>& uround);
  // The same rectangle (U = diag(width / 2, height / 2)); no rounding.
  explicit ccGenRect(const ccRect& r);

  const ccVector<2>& center() const { return center_; }
  const ccMatrix<2>& U() const { return u_; }
  const ccVector<2>& uround() const { return uround_; }
  // Corner i of the parallelogram (without rounding): center + U (-1, -1), (1, -1), (1, 1),
  // (-1, 1) for i = 0 to 3 (i taken modulo 4).
  ccVector<2> corner(int i) const;
  std::vector<ccVector<2>> corners() const;
  // U is singular (see ccMatrix<2>::isSingular): the figure has no area.
  bool isDegenerate() const { return u_.isSingular(); }
  // Validate like the constructor.
  void center(const ccVector<2>& c);
  void U(const ccMatrix<2>& u);
  void uround(const ccVector<2>& r);

  bool operator==(const ccGenRect& o) const {
    return center_ == o.center_ && u_ == o.u_ && uround_ == o.uround_;
  }
  bool operator!=(const ccGenRect& o) const { return !(*this == o); }

  ccGenRect map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool isReversible() const override { return true; }
  bool hasTangent() const override;
  // Exact, from the support function of the parallelogram grown by the corner ellipse.
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  bool within(const ccVector<2>& p) const override;
  // det U >= 0.
  bool isRightHanded() const override;
  bool isDecomposed() const override { return false; }
  // A closed ccContourTree of the pieces: ccLineSeg sides and ccEllipseArc2 corners.
  ccShapePtrh decompose() const override;
  // The same outline traversed the other way: the columns of U and the components of
  // uround swapped (from the same corner when there is no rounding).
  ccShapePtrh reverse() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> center_;
  ccMatrix<2> u_;
  ccVector<2> uround_;
};

// The region between two general rectangles: the points of outer() not strictly inside
// inner(). Normally inner lies inside outer; that is not checked. Contours: outer, then inner.
// Archive fields: the inner rectangle's fields, then the outer's.
class ccGenAnnulus : public ccShape {
  CC_SHAPE_CLASS(ccGenAnnulus)

 public:
  // Two default (point) rectangles.
  ccGenAnnulus() = default;
  ccGenAnnulus(const ccGenRect& inner, const ccGenRect& outer);

  const ccGenRect& inner() const { return inner_; }
  const ccGenRect& outer() const { return outer_; }
  void inner(const ccGenRect& r);
  void outer(const ccGenRect& r);

  bool operator==(const ccGenAnnulus& o) const { return inner_ == o.inner_ && outer_ == o.outer_; }
  bool operator!=(const ccGenAnnulus& o) const { return !(*this == o); }

  ccGenAnnulus map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool hasTangent() const override { return outer_.hasTangent(); }
  // Holds both contours.
  ccRect boundingBox() const override;
  // The nearer point of the two contours (the outer one on a tie).
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  bool within(const ccVector<2>& p) const override;
  bool isRightHanded() const override { return outer_.isRightHanded(); }
  bool isDecomposed() const override { return false; }
  // A solid ccRegionTree bounded by the outer rectangle's contour with a hole bounded by the
  // inner one's.
  ccShapePtrh decompose() const override;
  // The outer contour's samples, then the inner one's.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // Both contours.
  double perimeter() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccGenRect inner_;
  ccGenRect outer_;
};
