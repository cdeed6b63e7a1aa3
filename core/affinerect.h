// ccAffineRectangle (a parallelogram given by three corners) and ccCoordAxes (a pair of
// coordinate axes from a common origin).
#pragma once

#include <core/lines.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/shape.h>

#include <array>

// The parallelogram with corners Po (origin), Px, Py and the opposite corner Px + Py - Po:
// the image of the unit square under the map that sends (0, 0), (1, 0), (0, 1) to Po, Px,
// Py. A region whose boundary runs Po, Px, opposite, Py and back to Po; right-handed when
// (Px - Po) x (Py - Po) > 0. Collinear corners give a degenerate rectangle of area 0, which
// is allowed.
//
// Mapping: an affine map gives a ccAffineRectangle of the three mapped corners (map() and
// mapShape()).
class ccAffineRectangle : public ccShape {
  CC_SHAPE_CLASS(ccAffineRectangle)

 public:
  // The unit square: Po (0, 0), Px (1, 0), Py (0, 1).
  ccAffineRectangle() = default;
  // Throws BadGeom for a non-finite coordinate.
  ccAffineRectangle(const ccVector<2>& po, const ccVector<2>& px, const ccVector<2>& py);
  // The image of the unit square under x: Po = x(0, 0), Px = x(1, 0), Py = x(0, 1).
  explicit ccAffineRectangle(const ccXform<2>& x);
  // Centred at center, with the x side of length xLength in the direction xRot and the y
  // side of length yLength in the direction yRot + pi/2, as in the parameter form of
  // ccXform<2>: yRot = xRot gives a true rectangle, yRot - xRot is the skew. BadGeom for
  // non-finite values, BadParams for a negative length.
  static ccAffineRectangle fromCenter(const ccVector<2>& center, double xLength, double yLength,
                                      const ccRadian& xRot, const ccRadian& yRot);

  const ccVector<2>& cornerPo() const { return po_; }
  const ccVector<2>& cornerPx() const { return px_; }
  const ccVector<2>& cornerPy() const { return py_; }
  ccVector<2> cornerOpposite() const { return px_ + py_ - po_; }
  // The corners in boundary order: Po, Px, opposite, Py.
  std::array<ccVector<2>, 4> corners() const { return {po_, px_, cornerOpposite(), py_}; }
  // Throws BadGeom for a non-finite coordinate; the rectangle is then unchanged.
  void corners(const ccVector<2>& po, const ccVector<2>& px, const ccVector<2>& py);
  ccVector<2> center() const { return (px_ + py_) * 0.5; }
  ccVector<2> sideX() const { return px_ - po_; }
  ccVector<2> sideY() const { return py_ - po_; }
  double xLength() const { return po_.distance(px_); }
  double yLength() const { return po_.distance(py_); }
  // Signed area: (Px - Po) x (Py - Po).
  double area() const { return sideX().cross(sideY()); }
  // The map of the unit square onto this rectangle.
  ccXform<2> xform() const;
  // The boundary as a closed polyline Po, Px, opposite, Py.
  ccPolyline boundary() const;

  bool operator==(const ccAffineRectangle& o) const {
    return po_ == o.po_ && px_ == o.px_ && py_ == o.py_;
  }
  bool operator!=(const ccAffineRectangle& o) const { return !(*this == o); }

  ccAffineRectangle map(const ccXform<2>& x) const {
    return ccAffineRectangle(x * po_, x * px_, x * py_);
  }
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool isReversible() const override { return true; }
  bool hasTangent() const override { return px_ != po_ || py_ != po_; }
  bool isDecomposed() const override { return false; }
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  ccRadian windingAngle(const ccVector<2>& p) const override;
  bool isRightHanded() const override { return area() > 0; }
  // The boundary included.
  bool within(const ccVector<2>& p) const override;
  double perimeter() const override { return 2 * (xLength() + yLength()); }
  // The boundary polyline.
  ccShapePtrh decompose() const override;
  // The same parallelogram traversed the other way: corners Po, Py, Px.
  ccShapePtrh reverse() const override;
  // Along the boundary from Po, as ccPolyline::sample samples the closed boundary.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // An open ccPolyline, as ccPolyline::subShape cuts the closed boundary from Po.
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> po_;
  ccVector<2> px_{1, 0};
  ccVector<2> py_{0, 1};
};

// Archive form of the value: version byte 0, Po, Px, Py.
ccArchive& operator||(ccArchive& ar, ccAffineRectangle& r);

// Coordinate axes: an x axis from origin to xEnd and a y axis from origin to yEnd. Neither a
// contour nor a region: a figure of two segments.
//
// Mapping: an affine map gives a ccCoordAxes of the three mapped points (map() and
// mapShape()).
class ccCoordAxes : public ccShape {
  CC_SHAPE_CLASS(ccCoordAxes)

 public:
  // Origin (0, 0), xEnd (1, 0), yEnd (0, 1).
  ccCoordAxes() = default;
  // Throws BadGeom for a non-finite coordinate.
  ccCoordAxes(const ccVector<2>& origin, const ccVector<2>& xEnd, const ccVector<2>& yEnd);

  const ccVector<2>& origin() const { return origin_; }
  const ccVector<2>& xEnd() const { return xEnd_; }
  const ccVector<2>& yEnd() const { return yEnd_; }
  // Setters check like the constructor and leave the axes unchanged on error.
  void origin(const ccVector<2>& p);
  void xEnd(const ccVector<2>& p);
  void yEnd(const ccVector<2>& p);
  ccLineSeg xAxis() const { return ccLineSeg(origin_, xEnd_); }
  ccLineSeg yAxis() const { return ccLineSeg(origin_, yEnd_); }
  // True when the axes do not span the plane: an axis of length 0, or axes parallel to
  // rounding (|x cross y| <= ccParallelAxesTolerance |x| |y|).
  bool degen() const;

  bool operator==(const ccCoordAxes& o) const {
    return origin_ == o.origin_ && xEnd_ == o.xEnd_ && yEnd_ == o.yEnd_;
  }
  bool operator!=(const ccCoordAxes& o) const { return !(*this == o); }

  ccCoordAxes map(const ccXform<2>& x) const {
    return ccCoordAxes(x * origin_, x * xEnd_, x * yEnd_);
  }
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return false; }
  bool hasTangent() const override { return false; }
  bool isDecomposed() const override { return false; }
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  // A shape tree of the x axis and the y axis (ccLineSegs from the origin).
  ccShapePtrh decompose() const override;
  // The sampling of the x axis followed by that of the y axis.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // The total length of the two axes.
  double perimeter() const override { return xAxis().length() + yAxis().length(); }

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // Exact: the ccLineSeg pieces of both axes inside the clipper.
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> origin_;
  ccVector<2> xEnd_{1, 0};
  ccVector<2> yEnd_{0, 1};
};

// Archive form of the value: version byte 0, origin, xEnd, yEnd.
ccArchive& operator||(ccArchive& ar, ccCoordAxes& a);
