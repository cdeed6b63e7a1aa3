// Point figures: the points ccPoint and cc2Point, the point set ccPointSet and the cross
// marker ccCross.
#pragma once

#include <core/rect.h>
#include <core/shape.h>

#include <vector>

// What the two point classes share. A point is a shape and also a ccVector<2> (a public
// base), so it works wherever a vector does: p.x(), p1 - p2, 2.0 * p, x * p for a transform
// and every function taking a const ccVector<2>& accept it directly, with the vector
// operators' results being ccVector<2>. Points compare by their coordinates, with each other
// and with vectors; ccShape::equal() also compares the class.
//
// As a shape a point is neither a contour nor a region and has no tangent. Its bounding box
// is the rectangle of size (0, 0) at the point, its sampling is the point, its perimeter 0.
class cc_PointShape : public ccShape, public ccVector<2> {
 public:
  const ccVector<2>& vector() const { return *this; }

  // The coordinate accessors of ccVector<2>; the setters note the change for persistence.
  double x() const { return ccVector<2>::x(); }
  double y() const { return ccVector<2>::y(); }
  void x(double v) {
    mutating();
    ccVector<2>::x(v);
  }
  void y(double v) {
    mutating();
    ccVector<2>::y(v);
  }
  double operator[](int i) const { return ccVector<2>::operator[](i); }
  cc_PointShape& operator+=(const ccVector<2>& v) {
    mutating();
    ccVector<2>::operator+=(v);
    return *this;
  }
  cc_PointShape& operator-=(const ccVector<2>& v) {
    mutating();
    ccVector<2>::operator-=(v);
    return *this;
  }
  cc_PointShape& operator*=(double s) {
    mutating();
    ccVector<2>::operator*=(s);
    return *this;
  }
  cc_PointShape& operator/=(double s) {
    mutating();
    ccVector<2>::operator/=(s);
    return *this;
  }

  // Coordinates compared exactly.
  friend bool operator==(const cc_PointShape& a, const cc_PointShape& b) {
    return a.vector() == b.vector();
  }
  friend bool operator!=(const cc_PointShape& a, const cc_PointShape& b) { return !(a == b); }
  friend bool operator==(const cc_PointShape& a, const ccVector<2>& b) { return a.vector() == b; }
  friend bool operator!=(const cc_PointShape& a, const ccVector<2>& b) { return !(a == b); }
  friend bool operator==(const ccVector<2>& a, const cc_PointShape& b) { return a == b.vector(); }
  friend bool operator!=(const ccVector<2>& a, const cc_PointShape& b) { return !(a == b); }

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return false; }
  bool hasTangent() const override { return false; }
  ccRect boundingBox() const override { return ccRect(*this, ccVector<2>()); }
  ccVector<2> nearestPoint(const ccVector<2>&) const override { return *this; }
  double distanceToPoint(const ccVector<2>& p) const override { return distance(p); }
  // One position: the point.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override { return 0; }
  double nearestPerimPos(const ccVector<2>&) const override { return 0; }

 protected:
  cc_PointShape() = default;
  // Throws BadGeom for a non-finite coordinate.
  explicit cc_PointShape(const ccVector<2>& p);
  void serializePoint(ccArchive& ar, unsigned char version);
};

// A point. Converts implicitly from ccVector<2> and from (x, y), and to const ccVector<2>&
// (its base).
//
// Mapping: an affine map gives a ccPoint (map() and mapShape()).
class ccPoint : public cc_PointShape {
  CC_SHAPE_CLASS(ccPoint)

 public:
  // (0, 0).
  ccPoint() = default;
  // Throw BadGeom for a non-finite coordinate.
  ccPoint(const ccVector<2>& p) : cc_PointShape(p) {}
  ccPoint(double x, double y) : cc_PointShape(ccVector<2>(x, y)) {}

  ccPoint map(const ccXform<2>& x) const { return ccPoint(x * vector()); }
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
};

// A second point class, drawn by tablets as the ccPoint of the same coordinates (a cc2Point
// converts implicitly to ccPoint). Its constructors are explicit, so that a vector or a
// braced pair passed where both a ccPoint and a cc2Point overload exist chooses ccPoint
// without ambiguity.
//
// Mapping: an affine map gives a cc2Point (map() and mapShape()).
class cc2Point : public cc_PointShape {
  CC_SHAPE_CLASS(cc2Point)

 public:
  cc2Point() = default;
  // Throw BadGeom for a non-finite coordinate.
  explicit cc2Point(const ccVector<2>& p) : cc_PointShape(p) {}
  cc2Point(double x, double y) : cc_PointShape(ccVector<2>(x, y)) {}

  cc2Point map(const ccXform<2>& x) const { return cc2Point(x * vector()); }
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
};

// Archive form of the values: version byte 0, x, y.
ccArchive& operator||(ccArchive& ar, ccPoint& p);
ccArchive& operator||(ccArchive& ar, cc2Point& p);

// A set of points, in order: neither a contour nor a region; empty without points. Its
// sampling is its points; clipping keeps the points inside the clipper (as a ccPointSet).
//
// Mapping: an affine map gives a ccPointSet (map() and mapShape()).
class ccPointSet : public ccShape {
  CC_SHAPE_CLASS(ccPointSet)

 public:
  ccPointSet() = default;
  // Throws BadGeom for a non-finite coordinate.
  explicit ccPointSet(const std::vector<ccVector<2>>& points);

  const std::vector<ccVector<2>>& points() const { return points_; }
  // Setters check like the constructor and leave the set unchanged on error.
  void points(const std::vector<ccVector<2>>& p);
  void add(const ccVector<2>& p);
  long size() const { return static_cast<long>(points_.size()); }
  // Point i; BadParams outside 0 to size() - 1.
  const ccVector<2>& point(long i) const;
  const ccVector<2>& operator[](long i) const { return point(i); }

  bool operator==(const ccPointSet& o) const { return points_ == o.points_; }
  bool operator!=(const ccPointSet& o) const { return !(*this == o); }

  ccPointSet map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return false; }
  bool isEmpty() const override { return points_.empty(); }
  bool hasTangent() const override { return false; }
  // EmptyShape when empty.
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  std::vector<ccVector<2>> points_;
};

// Archive form of the value: version byte 0, the points (count, then x, y each).
ccArchive& operator||(ccArchive& ar, ccPointSet& s);

// A cross marker: two perpendicular strokes through origin, the first in the direction
// angle, each arm armlength() whole pixels long on the display. Only the origin has a place
// in client coordinates (the arms are sized in pixels), so as a shape the cross behaves like
// a point at its origin.
//
// Mapping: map(x) gives a ccCross with the origin mapped, the angle x.mapAngle(angle) and the
// arm length unchanged (map() and mapShape()).
class ccCross : public ccShape {
  CC_SHAPE_CLASS(ccCross)

 public:
  // At (0, 0), angle 0, arms of 5 pixels.
  ccCross() = default;
  // Throws BadGeom for a non-finite origin or angle, BadParams for a negative arm length.
  ccCross(const ccVector<2>& origin, const ccRadian& angle, int armlength);

  const ccVector<2>& origin() const { return origin_; }
  // The same point as origin(): the centre of the cross.
  const ccVector<2>& center() const { return origin_; }
  const ccRadian& angle() const { return angle_; }
  int armlength() const { return armlength_; }
  // Setters check like the constructor and leave the cross unchanged on error.
  void origin(const ccVector<2>& p);
  void angle(const ccRadian& a);
  void armlength(int pixels);

  bool operator==(const ccCross& o) const {
    return origin_ == o.origin_ && angle_ == o.angle_ && armlength_ == o.armlength_;
  }
  bool operator!=(const ccCross& o) const { return !(*this == o); }

  ccCross map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return false; }
  bool hasTangent() const override { return false; }
  // The size (0, 0) rectangle at the origin.
  ccRect boundingBox() const override { return ccRect(origin_, ccVector<2>()); }
  ccVector<2> nearestPoint(const ccVector<2>&) const override { return origin_; }
  // One position: the origin.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> origin_;
  ccRadian angle_;
  int armlength_ = 5;
};

// Archive form of the value: version byte 0, origin, angle (double, radians), arm length
// (int).
ccArchive& operator||(ccArchive& ar, ccCross& c);
