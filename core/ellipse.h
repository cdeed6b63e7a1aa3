// Circles, ellipses, elliptical arcs and annuli.
//
// ccCircle, ccAnnulus        a circle (centre, radius) and the ring between two concentric
//                            circles.
// ccEllipse, ccEllipseArc    an ellipse given by centre, semi-axes, rotation and a reflection
//                            flag (ccEllipse::ccEllipseGeom), and the arc of it between two
//                            parametric angles phi1 and phi2.
// ccEllipse2, ccEllipseArc2  an ellipse with a phase: the image of the unit circle under any
//                            affine map (ellFromUnitCirc()), and a signed arc of it.
// ccEllipseAnnulus           the ring between an ellipse and a copy of it scaled about its
//                            centre.
// ccEllipseAnnulusSection    the part of an elliptical annulus between two parametric angles.
//
// Parametric angles. Every ellipse is the image of the unit circle under an affine map U
// (ccEllipse::unit(), ccEllipse2::ellFromUnitCirc()); its point at parametric angle phi is
// U (cos phi, sin phi). Arcs run the way phi increases (ccEllipseArc2: the way of its span's
// sign). On the ellipse that is counter-clockwise in a y-up frame (from the x axis towards the
// y axis) unless the ellipse is reflected (U has a negative determinant), when it is clockwise.
// Closed contours start at phi = 0.
//
// Mapping. map() is the non-virtual value form; mapShape() the virtual form giving the
// tightest class. Every result is exact (to rounding):
//
//   class                    map(ccXform<2>)          mapShape(ccXform<2>)
//   ccCircle                 ccEllipse2               ccCircle under a similarity, else ccEllipse2
//   ccAnnulus                ccGenAnnulus             ccAnnulus under a similarity, else
//                                                     ccGenAnnulus
//   ccEllipse                ccEllipse                ccEllipse
//   ccEllipseArc             ccEllipseArc             ccEllipseArc
//   ccEllipse2               ccEllipse2               ccEllipse2
//   ccEllipseArc2            ccEllipseArc2            ccEllipseArc2
//   ccEllipseAnnulus         ccEllipseAnnulus         ccEllipseAnnulus
//   ccEllipseAnnulusSection  ccEllipseAnnulusSection  ccEllipseAnnulusSection
//
// A similarity is a matrix s R or s R F (R a rotation, F = diag(1, -1) a reflection, s >= 0)
// to ccMatrixFormTolerance of its largest element. A similarity keeps the form of an ellipse (radii
// scaled, rotation turned, reflection flag toggled by a reflecting map, phase kept). Any other map
// is split by the singular value decomposition of the mapped unit map: the major semi-axis comes
// first and the parametric shift it splits off is carried by the phase (ccEllipse2), or added
// to the arc's angles (ccEllipseArc, sections), so that an arc keeps its end points and its
// direction; a reflecting map toggles the reflection flag.
//
// Archive forms: each class stores a version byte (0), the ccShape base record, then the
// fields listed with its class. Loading validates like the constructors and leaves the object
// unchanged when it throws.
#pragma once

#include <core/matrix.h>
#include <core/rect.h>
#include <core/shape.h>

#include <vector>

class ccEllipse;
class ccEllipse2;
class ccEllipseArc;
class ccGenAnnulus;

// ---- ccCircle

// A circle: its contour runs counter-clockwise from centre + (radius, 0).
// Archive fields: centre, radius.
class ccCircle : public ccShape {
  CC_SHAPE_CLASS(ccCircle)

 public:
  // Centre (0, 0), radius 0.
  ccCircle() = default;
  // Throws BadGeom for a non-finite value, BadRadius for a negative radius.
  ccCircle(const ccVector<2>& center, double radius);

  const ccVector<2>& center() const { return center_; }
  double radius() const { return radius_; }
  // Validate like the constructor.
  void center(const ccVector<2>& c);
  void radius(double r);

  // The same circle as an ellipse (radii (r, r), rotation 0).
  ccEllipse ellipse() const;

  bool operator==(const ccCircle& o) const { return center_ == o.center_ && radius_ == o.radius_; }
  bool operator!=(const ccCircle& o) const { return !(*this == o); }

  ccEllipse2 map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool isReversible() const override { return true; }
  bool hasTangent() const override { return radius_ > 0; }
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  bool within(const ccVector<2>& p) const override;
  bool isRightHanded() const override { return true; }
  // The circle traversed clockwise: a reflected ccEllipse with the same start point.
  ccShapePtrh reverse() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // A ccEllipseArc; positions within [0, perimeter()], start < end (else BadParams).
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> center_;
  double radius_ = 0;
};

// ---- ccAnnulus

// The ring between two concentric circles, boundaries included. Its two contours (outer,
// then inner) both run counter-clockwise.
// Archive fields: centre, inner radius, outer radius.
class ccAnnulus : public ccShape {
  CC_SHAPE_CLASS(ccAnnulus)

 public:
  // Centre (0, 0), both radii 0.
  ccAnnulus() = default;
  // Throws BadGeom for a non-finite value, BadRadius unless 0 <= innerRadius <= outerRadius.
  ccAnnulus(const ccVector<2>& center, double innerRadius, double outerRadius);

  const ccVector<2>& center() const { return center_; }
  double innerRadius() const { return inner_; }
  double outerRadius() const { return outer_; }
  ccCircle innerCircle() const { return ccCircle(center_, inner_); }
  ccCircle outerCircle() const { return ccCircle(center_, outer_); }
  // Validate like the constructor.
  void center(const ccVector<2>& c);
  void radii(double innerRadius, double outerRadius);

  bool operator==(const ccAnnulus& o) const {
    return center_ == o.center_ && inner_ == o.inner_ && outer_ == o.outer_;
  }
  bool operator!=(const ccAnnulus& o) const { return !(*this == o); }

  // Two general rectangles with full corner rounding (ellipses).
  ccGenAnnulus map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool hasTangent() const override { return outer_ > 0; }
  ccRect boundingBox() const override;
  // The nearer point of the two circles (the outer one on a tie).
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  bool within(const ccVector<2>& p) const override;
  bool isRightHanded() const override { return true; }
  bool isDecomposed() const override { return false; }
  // A solid ccRegionTree bounded by the outer circle (a full ccEllipseArc) with a hole
  // bounded by the inner one.
  ccShapePtrh decompose() const override;
  // The outer circle's samples, then the inner circle's.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // Both circumferences.
  double perimeter() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> center_;
  double inner_ = 0;
  double outer_ = 0;
};

// ---- ccEllipse

// An ellipse: unit() = translation(center) R(rotation) diag(radii) F^reflected, with R a
// rotation and F = diag(1, -1). The radii need not be ordered. Its contour starts at
// center + R (radii.x, 0).
// Archive fields: centre, radii, rotation, reflected.
class ccEllipse : public ccShape {
  CC_SHAPE_CLASS(ccEllipse)

 public:
  // The defining values as one 48-byte record.
  struct ccEllipseGeom {
    ccVector<2> center;
    ccVector<2> radii;
    ccRadian rotation;
    // First flag: the radii are equal. Derived: ccEllipse sets it, and ignores it on input.
    bool circle = true;
    // Second flag: unit() reflects (applies F first), so the parametric angle runs clockwise
    // on the ellipse. The arc from -a to -b on a reflected copy of an ellipse is the arc from
    // a back to b (clockwise) on the ellipse.
    bool reflected = false;

    friend bool operator==(const ccEllipseGeom& a, const ccEllipseGeom& b) {
      return a.center == b.center && a.radii == b.radii && a.rotation == b.rotation &&
             a.circle == b.circle && a.reflected == b.reflected;
    }
    friend bool operator!=(const ccEllipseGeom& a, const ccEllipseGeom& b) { return !(a == b); }
  };

  // Centre (0, 0), radii (0, 0), rotation 0.
  ccEllipse() = default;
  // Throws BadGeom for a non-finite value, BadRadius for a negative radius.
  ccEllipse(const ccEllipseGeom& geom);
  ccEllipse(const ccVector<2>& center, const ccVector<2>& radii,
            const ccRadian& rotation = ccRadian(0), bool reflected = false);

  const ccEllipseGeom& geom() const { return geom_; }
  const ccVector<2>& center() const { return geom_.center; }
  const ccVector<2>& radii() const { return geom_.radii; }
  const ccRadian& rotation() const { return geom_.rotation; }
  bool isCircle() const { return geom_.circle; }
  bool reflected() const { return geom_.reflected; }
  // True when a radius is 0 (the ellipse is a segment or a point).
  bool isDegenerate() const { return geom_.radii.x() == 0 || geom_.radii.y() == 0; }
  // The map from the unit circle onto the ellipse (see the class comment).
  ccXform<2> unit() const;
  // The point at parametric angle phi.
  ccVector<2> point(const ccRadian& phi) const;
  // Validate like the constructor.
  void geom(const ccEllipseGeom& g);
  void center(const ccVector<2>& c);
  void radii(const ccVector<2>& r);
  void rotation(const ccRadian& r);
  void reflected(bool r);

  bool operator==(const ccEllipse& o) const { return geom_ == o.geom_; }
  bool operator!=(const ccEllipse& o) const { return !(*this == o); }

  ccEllipse map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool isReversible() const override { return true; }
  bool hasTangent() const override;
  // Exact: centre +- (hypot(U11, U12), hypot(U21, U22)) for the unit map's matrix U.
  ccRect boundingBox() const override;
  // Robust bisection on the normal equation (Eberly), to rounding.
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  bool within(const ccVector<2>& p) const override;
  bool isRightHanded() const override { return !geom_.reflected; }
  // The same ellipse with the reflection flag toggled: same start point, other direction.
  ccShapePtrh reverse() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // Complete elliptic integral (Carlson's symmetric forms), to a few units of rounding.
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // A ccEllipseArc; positions within [0, perimeter()], start < end (else BadParams).
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

  // This ellipse mapped by x; *shift receives the parametric shift: the point at angle phi
  // maps to the result's point at phi + *shift.
  ccEllipse mapWithShift(const ccXform<2>& x, double* shift) const;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  static ccEllipseGeom validated(const ccEllipseGeom& g);

  ccEllipseGeom geom_;
};

// ---- ccEllipseArc

// The arc of an ellipse from parametric angle phi1 the way phi increases to phi2. The angles
// are kept as given (any finite values); the covered span is (phi2 - phi1) reduced to
// [0, 2pi), and a span of 0 (phi1 == phi2 modulo 2pi) means the whole ellipse.
// Archive fields: the ellipse's geometry record, phi1, phi2.
class ccEllipseArc : public ccShape {
  CC_SHAPE_CLASS(ccEllipseArc)

 public:
  // On the default ellipse, phi1 = phi2 = 0.
  ccEllipseArc() = default;
  // Throws BadGeom for a non-finite angle.
  ccEllipseArc(const ccEllipse& ellipse, const ccRadian& phi1, const ccRadian& phi2);

  const ccEllipse& ellipse() const { return ellipse_; }
  const ccRadian& phi1() const { return phi1_; }
  const ccRadian& phi2() const { return phi2_; }
  // The covered parametric span, in (0, 2pi].
  ccRadian angleSpan() const;
  bool isFull() const;
  // Validate like the constructor.
  void ellipse(const ccEllipse& e);
  void angles(const ccRadian& phi1, const ccRadian& phi2);

  bool operator==(const ccEllipseArc& o) const {
    return ellipse_ == o.ellipse_ && phi1_ == o.phi1_ && phi2_ == o.phi2_;
  }
  bool operator!=(const ccEllipseArc& o) const { return !(*this == o); }

  ccEllipseArc map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return true; }
  bool isRegion() const override { return false; }
  bool isReversible() const override { return true; }
  bool hasTangent() const override { return ellipse_.hasTangent(); }
  // Exact: the end points and the axis extremes the arc passes.
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  ccVector<2> startPoint() const override;
  ccVector<2> endPoint() const override;
  // Directions of travel at the ends; NoTangent where the ellipse's speed is 0.
  ccRadian startAngle() const override;
  ccRadian endAngle() const override;
  ccRadian tangentRotation() const override;
  // The arc from phi2 back to phi1: -phi2 to -phi1 on the reflected ellipse.
  ccShapePtrh reverse() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // A ccEllipseArc; positions within [0, perimeter()], start < end (else BadParams).
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccEllipse ellipse_;
  ccRadian phi1_;
  ccRadian phi2_;
};

// ---- ccEllipse2

// An ellipse with a parametrisation: ellFromUnitCirc() = translation(center) R(rotation)
// diag(radii) F^reflected R(phase). Every affine image of the unit circle has this form, so
// the class is closed under affine maps, arcs included. As a set the ellipse does not depend
// on the phase or the reflection flag.
// Archive fields: centre, radii, rotation, reflected, phase.
class ccEllipse2 : public ccShape {
  CC_SHAPE_CLASS(ccEllipse2)

 public:
  // Centre (0, 0), radii (0, 0), rotation and phase 0.
  ccEllipse2() = default;
  // Throws BadGeom for a non-finite value, BadRadius for a negative radius.
  ccEllipse2(const ccVector<2>& radii, const ccRadian& rotation, const ccVector<2>& center,
             bool reflected = false, const ccRadian& phase = ccRadian(0));
  // The skewed form: the unit circle's x axis goes to radii.x (cos rotation, sin rotation),
  // its y axis to radii.y (-sin(rotation + skew), cos(rotation + skew)), i.e. the map
  // ccXform<2>(center, rotation, rotation + skew, radii.x, radii.y). Stored in the canonical
  // form above (radii and rotation then differ from the arguments when skew != 0). Errors
  // as above.
  ccEllipse2(const ccVector<2>& radii, const ccRadian& rotation, const ccRadian& skew,
             const ccVector<2>& center);
  // The image of the unit circle under x (BadGeom when x is not finite).
  explicit ccEllipse2(const ccXform<2>& ellFromUnitCirc);

  const ccVector<2>& radii() const { return radii_; }
  const ccRadian& rotation() const { return rotation_; }
  const ccVector<2>& center() const { return center_; }
  bool reflected() const { return reflected_; }
  const ccRadian& phase() const { return phase_; }
  bool isDegenerate() const { return radii_.x() == 0 || radii_.y() == 0; }
  ccXform<2> ellFromUnitCirc() const;
  // The point at parametric angle phi.
  ccVector<2> point(const ccRadian& phi) const;
  // The same set as a ccEllipse (without the phase).
  ccEllipse ellipse() const;
  void center(const ccVector<2>& c);

  bool operator==(const ccEllipse2& o) const {
    return radii_ == o.radii_ && rotation_ == o.rotation_ && center_ == o.center_ &&
           reflected_ == o.reflected_ && phase_ == o.phase_;
  }
  bool operator!=(const ccEllipse2& o) const { return !(*this == o); }

  ccEllipse2 map(const ccXform<2>& x) const;
  ccEllipse2 map(const cc2XformLinear& x) const { return map(x.xform()); }
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool isReversible() const override { return true; }
  bool hasTangent() const override;
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  bool within(const ccVector<2>& p) const override;
  bool isRightHanded() const override { return !reflected_; }
  // Same start point, other direction: reflection toggled, phase negated.
  ccShapePtrh reverse() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // A ccEllipseArc2; positions within [0, perimeter()], start <= end (else BadParams).
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> radii_;
  ccRadian rotation_;
  ccVector<2> center_;
  bool reflected_ = false;
  ccRadian phase_;
};

// ---- ccEllipseArc2

// The arc of a ccEllipse2 from phiStart over the signed span phiSpan (positive: the way phi
// increases). |phiSpan| >= 2pi is the whole ellipse; a span of 0 is a single point.
// Archive fields: the ellipse's fields, phiStart, phiSpan.
class ccEllipseArc2 : public ccShape {
  CC_SHAPE_CLASS(ccEllipseArc2)

 public:
  // On the default ellipse, start 0, span 0.
  ccEllipseArc2() = default;
  // Throws BadGeom for a non-finite angle.
  ccEllipseArc2(const ccEllipse2& ellipse, const ccRadian& phiStart, const ccRadian& phiSpan);

  const ccEllipse2& ellipse() const { return ellipse_; }
  const ccRadian& phiStart() const { return phiStart_; }
  const ccRadian& phiSpan() const { return phiSpan_; }
  ccRadian phiEnd() const { return phiStart_ + phiSpan_; }
  bool isFull() const;
  void ellipse(const ccEllipse2& e);
  void angles(const ccRadian& phiStart, const ccRadian& phiSpan);

  bool operator==(const ccEllipseArc2& o) const {
    return ellipse_ == o.ellipse_ && phiStart_ == o.phiStart_ && phiSpan_ == o.phiSpan_;
  }
  bool operator!=(const ccEllipseArc2& o) const { return !(*this == o); }

  // The ellipse mapped, the angles kept.
  ccEllipseArc2 map(const ccXform<2>& x) const;
  ccEllipseArc2 map(const cc2XformLinear& x) const { return map(x.xform()); }
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return true; }
  bool isRegion() const override { return false; }
  bool isReversible() const override { return true; }
  bool hasTangent() const override { return ellipse_.hasTangent(); }
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  ccVector<2> startPoint() const override;
  ccVector<2> endPoint() const override;
  ccRadian startAngle() const override;
  ccRadian endAngle() const override;
  ccRadian tangentRotation() const override;
  // From phiEnd over -phiSpan.
  ccShapePtrh reverse() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // A ccEllipseArc2; positions within [0, perimeter()], start <= end (else BadParams).
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccEllipse2 ellipse_;
  ccRadian phiStart_;
  ccRadian phiSpan_;
};

// ---- ccEllipseAnnulus

// The ring between an ellipse (outer) and its copy scaled by scale() in [0, 1] about the
// centre (inner), boundaries included. Both share the outer ellipse's parametrisation, so a
// parametric angle names one ray from the centre. Contours: outer, then inner, both in the
// ellipse's direction.
// Archive fields: the outer ellipse's geometry record, scale.
class ccEllipseAnnulus : public ccShape {
  CC_SHAPE_CLASS(ccEllipseAnnulus)

 public:
  // The default ellipse, scale 1.
  ccEllipseAnnulus() = default;
  // From two concentric, similarly shaped and oriented ellipses in either order (the
  // smaller becomes the inner one; the outer one keeps its parametrisation). Throws BadGeom
  // unless the centres agree and one is the other scaled about the centre, both to
  // ccRoundingTolerance of the outer ellipse's size.
  ccEllipseAnnulus(const ccEllipse& a, const ccEllipse& b);
  // Throws BadParams unless 0 <= scale <= 1.
  ccEllipseAnnulus(const ccEllipse& outer, double scale);

  const ccEllipse& outer() const { return outer_; }
  ccEllipse inner() const;
  double scale() const { return scale_; }
  const ccVector<2>& center() const { return outer_.center(); }
  // The outer ellipse is degenerate or the ring has no width.
  bool isDegenerate() const { return outer_.isDegenerate() || scale_ == 1; }

  bool operator==(const ccEllipseAnnulus& o) const {
    return outer_ == o.outer_ && scale_ == o.scale_;
  }
  bool operator!=(const ccEllipseAnnulus& o) const { return !(*this == o); }

  ccEllipseAnnulus map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;
  // Mapped by x; *shift receives the parametric shift (see ccEllipse::mapWithShift).
  ccEllipseAnnulus mapWithShift(const ccXform<2>& x, double* shift) const;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool hasTangent() const override { return outer_.hasTangent(); }
  ccRect boundingBox() const override { return outer_.boundingBox(); }
  // The nearer point of the two ellipses (the outer one on a tie).
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  bool within(const ccVector<2>& p) const override;
  bool isRightHanded() const override { return !outer_.reflected(); }
  bool isDecomposed() const override { return false; }
  // A solid ccRegionTree bounded by the outer ellipse (a full ccEllipseArc) with a hole
  // bounded by the inner one.
  ccShapePtrh decompose() const override;
  // The outer ellipse's samples, then the inner ellipse's.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // Both perimeters.
  double perimeter() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccEllipse outer_;
  double scale_ = 1;
};

// ---- ccEllipseAnnulusSection

// The part of an elliptical annulus between the rays at parametric angles phi1 and phi2
// (the way phi increases; span as ccEllipseArc: (phi2 - phi1) reduced to [0, 2pi), 0 for a
// full turn). Its closed contour: the outer arc from phi1 to phi2, the radial segment in to
// the inner arc, the inner arc back from phi2 to phi1, the radial segment out.
// Two direction labels travel with the section (mapping and archives keep them; they do not
// change the covered region): reversed() -- the section's angular direction runs from phi2
// back to phi1; inward() -- its radial direction runs from the outer to the inner ellipse.
// Drawing uses them for arrowheads.
// Archive fields: the annulus's fields, phi1, phi2, reversed, inward.
class ccEllipseAnnulusSection : public ccShape {
  CC_SHAPE_CLASS(ccEllipseAnnulusSection)

 public:
  // On the default annulus, phi1 = phi2 = 0.
  ccEllipseAnnulusSection() = default;
  // parametric false: phi1 and phi2 are directions from the centre in world coordinates,
  // turned into parametric angles here (DegenerateShape when the annulus's ellipse is
  // degenerate). Throws BadGeom for a non-finite angle.
  ccEllipseAnnulusSection(const ccEllipseAnnulus& annulus, const ccRadian& phi1,
                          const ccRadian& phi2, bool reversed = false, bool inward = false,
                          bool parametric = true);

  const ccEllipseAnnulus& annulus() const { return annulus_; }
  const ccRadian& phi1() const { return phi1_; }
  const ccRadian& phi2() const { return phi2_; }
  // In (0, 2pi].
  ccRadian angleSpan() const;
  bool reversed() const { return reversed_; }
  bool inward() const { return inward_; }
  ccEllipse inner() const { return annulus_.inner(); }
  const ccEllipse& outer() const { return annulus_.outer(); }
  // The arcs of the section, both from phi1 to phi2.
  ccEllipseArc innerArc() const;
  ccEllipseArc outerArc() const;
  bool isDegenerate() const { return annulus_.isDegenerate(); }
  void directions(bool reversed, bool inward);

  bool operator==(const ccEllipseAnnulusSection& o) const {
    return annulus_ == o.annulus_ && phi1_ == o.phi1_ && phi2_ == o.phi2_ &&
           reversed_ == o.reversed_ && inward_ == o.inward_;
  }
  bool operator!=(const ccEllipseAnnulusSection& o) const { return !(*this == o); }

  ccEllipseAnnulusSection map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool hasTangent() const override { return annulus_.hasTangent(); }
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  bool within(const ccVector<2>& p) const override;
  bool isRightHanded() const override { return !annulus_.outer().reflected(); }
  bool isDecomposed() const override { return false; }
  // A closed ccContourTree: the outer ccEllipseArc, a ccLineSeg, the inner arc reversed, a
  // ccLineSeg.
  ccShapePtrh decompose() const override;
  // Corners where the arcs meet the radial segments (see ccSampleParams).
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccEllipseAnnulus annulus_;
  ccRadian phi1_;
  ccRadian phi2_;
  bool reversed_ = false;
  bool inward_ = false;
};
