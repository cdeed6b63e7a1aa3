// The abstract shape: the common interface of every geometric figure of the core library.
//
// Shapes are persistent (archived through persistent pointers, each beginning with the
// ccShape base record) and shared through handles (ccShapePtrh). Contours have a direction:
// open contours run from startPoint() to endPoint(); regions are closed contours whose
// interior is defined (within()).
//
// Mapping. mapShape(x) returns the figure mapped by an affine transform, as the tightest
// class that expresses it exactly (each class documents its table). map(cc2XformBase) maps
// by a general transform: a linear one goes through mapShape, a non-linear one gives a
// ccMappedShape that carries the transform.
#pragma once

#include <core/angle.h>
#include <core/archive.h>
#include <core/errors.h>
#include <core/handle.h>
#include <core/persistent.h>
#include <core/vector.h>
#include <core/xform.h>

#include <vector>

class ccShape;
class ccRect;
class ccPolyline;

using ccShapePtrh = ccPtrHandle<ccShape>;
using ccShapePtrh_const = ccPtrHandle_const<ccShape>;

// What clipping did. result is 0 when the shape lay wholly inside the clipper (the clipped
// shape is then the whole shape).
struct ccClipInfo {
  enum Result : long { eInside = 0, ePartial = 1, eOutside = 2 };
  long result = eInside;
  // Number of pieces the clipped shape consists of.
  long pieces = 0;
};

class ccShape : public virtual ccPersistent, public virtual ccRepBase {
 public:
  // How a curve is sampled into points.
  struct ccSampleParams {
    // Greatest distance between consecutive samples along the curve; 0 for no limit.
    double spacing = 0;
    // Greatest distance of the sampled polyline from the curve; 0 for no limit.
    double tolerance = 0;
    // Most points a sampling may produce; a curve that would need more is sampled with
    // exactly this many (coarser than asked).
    long maxPoints = 10000;
    // Where a contour has a corner (the pieces of a composite shape meet), the corner point
    // appears twice: once ending one piece and once starting the next.
    bool duplicateCorners = false;
    // Samples equally spaced in arc length (spacing must then be > 0).
    bool uniform = false;

    ccSampleParams() = default;
    ccSampleParams(double spacing_, double tolerance_, long maxPoints_ = 10000,
                   bool duplicateCorners_ = false, bool uniform_ = false)
        : spacing(spacing_),
          tolerance(tolerance_),
          maxPoints(maxPoints_),
          duplicateCorners(duplicateCorners_),
          uniform(uniform_) {}
  };

  // The points of a sampling, in contour order.
  class ccSampleResult {
   public:
    explicit ccSampleResult(std::size_t capacity = 0) { positions_.reserve(capacity); }
    const std::vector<ccVector<2>>& positions() const { return positions_; }
    std::vector<ccVector<2>>& positions() { return positions_; }
    std::size_t size() const { return positions_.size(); }
    void clear() { positions_.clear(); }

   private:
    std::vector<ccVector<2>> positions_;
  };

  ~ccShape() override = default;

  virtual ccShapePtrh clone() const = 0;

  virtual bool isOpenContour() const = 0;
  virtual bool isRegion() const = 0;
  virtual bool isFinite() const { return true; }
  virtual bool isEmpty() const { return false; }
  // True when the shape has a defined direction along it (not a single point).
  virtual bool hasTangent() const { return isOpenContour() || isRegion(); }
  // True when the shape is a primitive that decompose() returns unchanged.
  virtual bool isDecomposed() const { return true; }
  virtual bool isReversible() const { return false; }

  // The smallest axis-aligned rectangle holding the shape. Throws EmptyShape for an empty
  // shape and BadGeom for an infinite one.
  virtual ccRect boundingBox() const = 0;
  // The point of the shape (of its contour, for regions its boundary) nearest to p.
  virtual ccVector<2> nearestPoint(const ccVector<2>& p) const = 0;
  virtual double distanceToPoint(const ccVector<2>& p) const;

  // End points and end directions of open contours; NotOpenContour otherwise, NoTangent
  // where the direction is undefined.
  virtual ccVector<2> startPoint() const;
  virtual ccVector<2> endPoint() const;
  virtual ccRadian startAngle() const;
  virtual ccRadian endAngle() const;
  // Total turning of the tangent from start to end of an open contour (signed).
  virtual ccRadian tangentRotation() const;
  // Signed angle the contour sweeps as seen from p (a closed contour around p: ±2π).
  virtual ccRadian windingAngle(const ccVector<2>& p) const;
  // Regions: true when the boundary runs counter-clockwise (in a y-up frame: positive area).
  virtual bool isRightHanded() const;
  // Regions: true when p lies inside; NotRegion otherwise.
  virtual bool within(const ccVector<2>& p) const;

  virtual ccShapePtrh mapShape(const ccXform<2>& x) const = 0;
  virtual ccShapePtrh map(const ccPtrHandle_const<cc2XformBase>& x) const;

  // The same figure traversed the other way; NotOpenContour unless reversible.
  virtual ccShapePtrh reverse() const;
  // The shape as primitives (segments, arcs, curves) in a shape tree; primitives return a
  // clone of themselves.
  virtual ccShapePtrh decompose() const;

  // The part of the shape inside the closed polyline clipper.
  ccShapePtrh clip(const ccPolyline& clipper, ccClipInfo& info) const;

  // Points along the shape's contour; see ccSampleParams.
  virtual void sample(const ccSampleParams& params, ccSampleResult& result) const;

  // Length of the contour (for regions of the boundary).
  virtual double perimeter() const;
  // Arc-length position along the contour of the point nearest to p.
  virtual double nearestPerimPos(const ccVector<2>& p) const;
  // The piece of the contour between two arc-length positions.
  virtual ccShapePtrh subShape(double startPos, double endPos) const;

  // Same class and same geometry.
  bool equal(const ccShape& other) const { return equal_(other); }
  friend bool operator==(const ccShape& a, const ccShape& b) { return a.equal_(b); }
  friend bool operator!=(const ccShape& a, const ccShape& b) { return !a.equal_(b); }

  // The bounding box, or a default rectangle for a degenerate or empty shape.
  ccRect encloseRect() const;

  // The ccShape base record: a version byte (0).
  void dispatchSerialize(ccArchive& ar) override;

 protected:
  ccShape() = default;
  ccShape(const ccShape&) = default;
  ccShape& operator=(const ccShape&) = default;

  virtual bool equal_(const ccShape& other) const = 0;
  // Shapes built on other geometry translate that geometry's errors into shape errors here, by
  // throwing the shape error instead; returning lets the error pass unchanged (the default).
  virtual void remapAndThrowError_(ccException& e) const;
  // Runs f; a ccException that leaves it goes through remapAndThrowError_ and, when that
  // returns, is rethrown unchanged.
  template <class F>
  void remapErrors_(F&& f) const {
    try {
      f();
    } catch (ccException& e) {
      remapAndThrowError_(e);
      throw;
    }
  }
  // Default: clips the sampled contour (tolerance 1e-3 of the bounding box's diagonal).
  virtual ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const;
  void serialize_(ccArchive& ar, unsigned char version);
};

// Declares the persistence and clone plumbing of a concrete shape class.
#define CC_SHAPE_CLASS(Class)                                                  \
 public:                                                                       \
  ccShapePtrh clone() const override { return ccShapePtrh(new Class(*this)); } \
  static ccPersistent* make() { return new Class; }
