// ccMappedShape: a shape seen through a general (possibly non-linear) transform, and the
// definition of ccShape::map(const ccPtrHandle_const<cc2XformBase>&).
//
// A mapped shape is the set of points x(q) for q on the underlying shape. The transform is
// assumed continuous and one-to-one on the shape (as a lens distortion within its branch
// is), so that open contours stay open contours and regions stay regions.
//
// What is exact and what is sampled:
//   - startPoint, endPoint: the mapped end points; startAngle, endAngle: the end directions
//     mapped by the transform's linear approximation there (exact).
//   - within: the underlying shape's test at the inverse-mapped point when the transform
//     has an inverse there; otherwise the sampled contour's even-odd test.
//   - boundingBox, nearestPoint, distanceToPoint, perimeter, nearestPerimPos, windingAngle:
//     computed on the underlying shape's sampling mapped point by point. The underlying
//     shape is sampled with a tolerance of ccDenseSamplingTolerance of its bounding box's
//     diagonal divided by the transform's largest stretch (estimated at the box's corners and
//     centre), at most 200000 points; the results are accurate to about that fraction of the
//     mapped shape's size (plus the bending of the transform over one sampling step).
//   - sample: the underlying shape sampled with the tolerance and spacing divided by that
//     largest stretch, each point mapped.
//
// Mapping: an affine map (mapShape) and a general transform (map) compose with the carried
// transform: the result is the underlying shape mapped by the affine map when the
// composition is linear, else a ccMappedShape of the same underlying shape.
//
// Archive form: version byte 0, the ccShape base record, the underlying shape (persistent
// pointer), then the transform: a kind byte (0 cc2XformLinear: its ccXform<2>;
// 1 cc2XformRadialDistortion: affine, centre, k1, k2; 2 cc2XformRadialDistortionInverse: the
// forward distortion's fields; 3 cc2XformComposed: outer, then inner, each again in this
// form, nested at most 64 deep). Storing another transform class throws BadParams; loading an
// unknown kind throws ccArchive::BadData.
#pragma once

#include <core/rect.h>
#include <core/shape.h>

class ccMappedShape : public ccShape {
  CC_SHAPE_CLASS(ccMappedShape)

 public:
  // An empty ccShapeTree under the identity.
  ccMappedShape();
  // The shape under x. A shape that is itself a ccMappedShape is unwrapped: the result
  // carries its underlying shape and x after its transform. Throws BadParams for a null
  // shape or transform.
  ccMappedShape(const ccShapePtrh_const& shape, const ccPtrHandle_const<cc2XformBase>& x);

  const ccShapePtrh_const& underlyingShape() const { return shape_; }
  const ccPtrHandle_const<cc2XformBase>& overallMapXform() const { return xform_; }

  using ccShape::map;
  ccShapePtrh map(const ccPtrHandle_const<cc2XformBase>& x) const override;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return shape_->isOpenContour(); }
  bool isRegion() const override { return shape_->isRegion(); }
  bool isFinite() const override { return shape_->isFinite(); }
  bool isEmpty() const override { return shape_->isEmpty(); }
  bool hasTangent() const override { return shape_->hasTangent(); }
  bool isDecomposed() const override { return shape_->isDecomposed(); }
  bool isReversible() const override { return shape_->isReversible(); }
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  ccVector<2> startPoint() const override;
  ccVector<2> endPoint() const override;
  ccRadian startAngle() const override;
  ccRadian endAngle() const override;
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // The underlying shape's orientation, reversed when the transform reflects (the sign of
  // the Jacobian's determinant at the centre of the underlying bounding box).
  bool isRightHanded() const override;
  bool within(const ccVector<2>& p) const override;
  // The reversed underlying shape under the same transform.
  ccShapePtrh reverse() const override;
  // The underlying shape's decomposition with every leaf carried by a ccMappedShape of the
  // same transform (a tree keeps its structure).
  ccShapePtrh decompose() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  // Same underlying geometry (equal shapes) and the same transform: the same object, or
  // transforms of the same class with equal parameters.
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  // The transform's largest stretch over the underlying shape (see the file comment).
  double maxStretch() const;
  // The mapped sampling used by the sampled operations.
  std::vector<ccVector<2>> denseSamples() const;
  // The underlying shape sampled with sourceParams, mapped, and each chord split until its
  // mapped midpoint lies within tolerance of the mapped chord (a non-linear map bends straight
  // pieces), up to maxPoints points in all.
  void mappedSamples(const ccSampleParams& sourceParams, double tolerance,
                     std::vector<ccVector<2>>& out) const;

  ccShapePtrh_const shape_;
  ccPtrHandle_const<cc2XformBase> xform_;
};

// True when two transforms are the same object or of the same known class with equal
// parameters (cc2XformLinear, the radial distortion and its inverse, compositions of these).
bool cfXformEqual(const ccPtrHandle_const<cc2XformBase>& a,
                  const ccPtrHandle_const<cc2XformBase>& b);
