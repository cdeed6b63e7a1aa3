// Trees of shapes: ccShapeTree (any collection of shapes), ccContourTree (the pieces of one
// contour, in order) and ccRegionTree (a region with nested holes and islands).
//
// A tree holds its children by handle. Copying a tree (also clone()) shares the children
// with the copy; the operations that make new geometry (mapShape, reverse, decompose,
// subShape) make new children. A tree never contains itself: adding a shape that holds the
// tree (directly, through other trees or through mapped shapes) throws BadParams.
//
// Archive form: version byte 0, the ccShape base record, the children as persistent pointers
// (a child shared by several trees or positions is stored once and loads as one object),
// then each class's own fields.
//
// Mapping table (affine maps; exact as far as the children's own mappings are): a tree maps
// to a tree of the same class and flags whose children are the children's mapShape() (for a
// ccRegionTree also the boundary). map() and mapShape() give the same class.
#pragma once

#include <core/rect.h>
#include <core/shape.h>

#include <functional>
#include <vector>

// A collection of shapes in order, with no geometric relation between them. Its geometry is
// the union of the children's: the bounding box encloses theirs, the nearest point is the
// nearest of theirs, the perimeter is the sum of theirs. It is neither an open contour nor
// a region. A tree without children, or whose children are all empty, is empty.
class ccShapeTree : public ccShape {
  CC_SHAPE_CLASS(ccShapeTree)

 public:
  ccShapeTree() = default;
  // Throws BadParams for a null child (and for a child that holds this tree).
  explicit ccShapeTree(const std::vector<ccShapePtrh>& children);

  const std::vector<ccShapePtrh>& children() const { return children_; }
  long numChildren() const { return static_cast<long>(children_.size()); }
  // Child i; BadParams outside 0 to numChildren() - 1.
  const ccShapePtrh& child(long i) const;
  // Replace, add, insert and remove children. Each checks its children as the constructor
  // does (the derived classes add their own rules); on error the tree is unchanged.
  void children(const std::vector<ccShapePtrh>& children);
  void add(const ccShapePtrh& child);
  // Adds a clone of the shape.
  void add(const ccShape& child) { add(child.clone()); }
  // Inserts before position i (0 to numChildren()).
  void insert(long i, const ccShapePtrh& child);
  void remove(long i);
  void clear();

  // True when s is this tree or lies somewhere inside it (through child trees, region
  // boundaries and the underlying shapes of mapped shapes).
  bool holds(const ccShape* s) const;
  // True when `from` is `target` or holds it (as above, for any shape).
  static bool holdsIn(const ccShape* from, const ccShape* target);

  // The same tree (class and flags) with every leaf (a child that is not a tree, and the
  // leaves of a region's boundary) replaced by f(leaf). Child trees are rebuilt the same way.
  ccShapePtrh mapLeaves(const std::function<ccShapePtrh(const ccShape&)>& f) const;

  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return false; }
  bool isEmpty() const override;
  bool isFinite() const override;
  bool hasTangent() const override;
  bool isReversible() const override { return false; }
  // True when every child is a decomposed primitive (no child is a tree).
  bool isDecomposed() const override;
  // Encloses the non-empty children's boxes; EmptyShape when empty.
  ccRect boundingBox() const override;
  // The nearest of the non-empty children's nearest points; EmptyShape when empty.
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  // Sum over the children.
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // The same tree with every child decomposed.
  ccShapePtrh decompose() const override;
  // The children's samplings one after the other.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // Sum over the children.
  double perimeter() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // Each non-empty child clipped on its own: wholly inside when every child is (the result
  // is then a clone of the tree), wholly outside when every child is (an empty open
  // ccPolyline); otherwise the pieces (a child inside as a clone of itself, the pieces of a
  // child clipped into several), one piece by itself, several in a ccShapeTree.
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);
  // Checks one child for this kind of tree (BadParams when it does not fit); the base
  // rejects null children and children that hold this tree.
  virtual void checkChild_(const ccShapePtrh& child) const;
  // Stores or loads the base record and the children; returns the children (on loading
  // checked with checkChild_ but not yet set, so that a failing load changes nothing).
  std::vector<ccShapePtrh> serializeChildren_(ccArchive& ar);
  // Sets the children without checking them.
  void setChildren_(std::vector<ccShapePtrh> children);

  // Leaves replaced in the class's own parts (the base: nothing beyond the children).
  virtual void mapOwnLeaves_(const std::function<ccShapePtrh(const ccShape&)>& f);

 private:
  std::vector<ccShapePtrh> children_;
};

// The pieces of one contour, in order. Each child is an open contour (or empty, then it is
// skipped). The contour runs through the children from the first one's start point to the
// last one's end point; where a child's end point differs from the next child's start point
// the contour joins them with a straight segment, and a closed contour also joins the last
// end point to the first start point. The joins are part of the contour: its perimeter,
// nearest points, positions, samplings and winding angles include them.
//
// An open contour tree is an open contour; a closed one is a region bounded by the contour,
// its inside decided by the winding angle (|winding angle| > pi, i.e. non-zero winding).
// A contour tree without non-empty children is empty.
class ccContourTree : public ccShapeTree {
  CC_SHAPE_CLASS(ccContourTree)

 public:
  // Empty and open.
  ccContourTree() = default;
  // Throws BadParams for a null child, a child that is neither an open contour nor empty, or
  // a child that holds this tree.
  explicit ccContourTree(const std::vector<ccShapePtrh>& children, bool closed = false);

  bool isClosed() const { return closed_; }
  void isClosed(bool closed) {
    mutating();
    closed_ = closed;
  }

  bool isOpenContour() const override { return !closed_ && !isEmpty(); }
  bool isRegion() const override { return closed_ && !isEmpty(); }
  bool hasTangent() const override;
  // True when every non-empty child is reversible.
  bool isReversible() const override;
  // True when no child is a tree or needs decomposing.
  bool isDecomposed() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  // Open contour trees only: the first non-empty child's start point, the last one's end
  // point, and the directions leaving the start and entering the end: of the first (last)
  // piece, child or join, that has a direction (NoTangent when none has). NotOpenContour for
  // closed trees, EmptyShape for empty ones.
  ccVector<2> startPoint() const override;
  ccVector<2> endPoint() const override;
  ccRadian startAngle() const override;
  ccRadian endAngle() const override;
  // The children's winding angles plus the exact angles of the joins.
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // Closed trees: |windingAngle(p)| > pi. NotRegion for open ones.
  bool within(const ccVector<2>& p) const override;
  // Closed trees: the sign of the area of a sampling within ccOrientationSamplingTolerance of
  // the bounding box's diagonal (positive: counter-clockwise in a y-up frame). NotRegion for
  // open ones.
  bool isRightHanded() const override;
  // The reversed children in reverse order, same closed flag. NotOpenContour when empty or a
  // child is not reversible.
  ccShapePtrh reverse() const override;
  // A contour tree of the children's decompositions; a child that decomposes into a
  // contour tree gives its pieces in its place (joins stay implicit).
  ccShapePtrh decompose() const override;
  // The children's samplings in order; the joins are straight steps between them, divided
  // by the spacing like polyline edges. A child's end point equal to the next child's start
  // point appears once, or twice with duplicateCorners; a closed tree stops before coming
  // back to its first point (with duplicateCorners it ends on it). Uniform sampling divides
  // each child and each join into the fewest equal arc-length parts no longer than spacing.
  // When more than maxPoints points would be needed, exactly maxPoints points are placed at
  // equal arc lengths along that sampling. BadParams for a negative spacing or tolerance,
  // maxPoints < 2, or uniform with spacing 0.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // The children's perimeters plus the joins' lengths.
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // The open contour tree of the pieces between two positions: partial children through
  // their own subShape(), joins as ccLineSeg. Open trees: both positions are clamped to
  // [0, perimeter()], BadParams when startPos > endPos. Closed trees: the piece starts at
  // startPos (modulo the perimeter) and runs forward to endPos, wrapping past the start
  // point when endPos < startPos. BadParams for non-finite positions, EmptyShape when empty.
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // One contour: clipped as ccShape's default does (its sampling).
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);
  void checkChild_(const ccShapePtrh& child) const override;

 private:
  bool closed_ = false;
};

// A region with nested regions. A region tree is either
//   - a root (isRoot()): no boundary of its own (boundary() is an empty closed contour tree);
//     it stands for the union of its children; or
//   - a region bounded by boundary(), a closed non-empty contour tree, which is either solid
//     or a hole (isHole()).
// The children are region trees (never roots) nested inside this one, expected disjoint:
// the holes of a solid region, the islands inside a hole, and so on.
//
// Inside: a point outside a non-root region's boundary is outside. Otherwise the first child
// whose boundary holds the point decides (recursively); when none does, the point is inside
// exactly when this region is solid (a root has no area of its own). So a solid region with
// a hole child holds the points inside its boundary but not inside the hole, unless they lie
// on an island inside the hole.
class ccRegionTree : public ccShapeTree {
  CC_SHAPE_CLASS(ccRegionTree)

 public:
  // An empty root.
  ccRegionTree();
  // A solid region or a hole bounded by the contour tree (a copy of it). Throws BadParams
  // unless the boundary is closed and not empty.
  explicit ccRegionTree(const ccContourTree& boundary, bool isHole = false);

  bool isRoot() const { return boundary_->isEmpty(); }
  bool isHole() const { return hole_; }
  const ccContourTree& boundary() const { return *boundary_; }
  // Throws like the constructor.
  void boundary(const ccContourTree& b);
  // A root cannot be a hole: BadParams.
  void isHole(bool hole);

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return !isEmpty(); }
  // A root without (non-empty) children; a bounded region is never empty.
  bool isEmpty() const override;
  bool hasTangent() const override { return !isEmpty(); }
  bool isReversible() const override;
  bool isDecomposed() const override;
  // Encloses the boundary and the children.
  ccRect boundingBox() const override;
  // The nearest point of any boundary in the tree.
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  // The boundary's winding angle (a root: the sum of its children's).
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // The rule of the class comment.
  bool within(const ccVector<2>& p) const override;
  // The boundary's orientation; a root takes its first child's. EmptyShape when empty.
  bool isRightHanded() const override;
  // Every boundary reversed, flags kept.
  ccShapePtrh reverse() const override;
  // Every boundary decomposed, flags kept.
  ccShapePtrh decompose() const override;
  // The boundary's sampling followed by the children's, one after the other.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // The length of every boundary in the tree.
  double perimeter() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // The boundary and each child region clipped on their own, as ccShapeTree's.
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);
  // Children must be non-root region trees.
  void checkChild_(const ccShapePtrh& child) const override;
  void mapOwnLeaves_(const std::function<ccShapePtrh(const ccShape&)>& f) override;

 private:
  friend class ccShapeTree;
  static void checkBoundary(const ccContourTree& b);
  // The fill state for a point known to lie inside this region's boundary.
  bool fillAt(const ccVector<2>& p) const;

  ccPtrHandle<ccContourTree> boundary_;
  bool hole_ = false;
};
