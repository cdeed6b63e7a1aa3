// ccPolyline and ccPolygon: figures made of straight edges between vertices. The polygonal
// algorithms that every straight-edged shape of the core library shares are in polyline_p.h.
#pragma once

#include <core/rect.h>
#include <core/shape.h>

#include <vector>

// A chain of straight edges through its vertices, open or closed. A closed polyline is a
// region bounded by its edges and the closing edge from the last vertex back to the first;
// its inside follows the even-odd rule. An open polyline is an open contour from the first
// vertex to the last. A polyline without vertices is empty.
//
// Mapping: an affine map gives a ccPolyline (map() and mapShape() alike), vertex by vertex.
class ccPolyline : public ccShape {
  CC_SHAPE_CLASS(ccPolyline)

 public:
  // Empty and open.
  ccPolyline() = default;
  // Throws BadGeom when a vertex has a non-finite coordinate.
  explicit ccPolyline(const std::vector<ccVector<2>>& vertices, bool closed = false);

  const std::vector<ccVector<2>>& vertices() const { return vertices_; }
  // Throws BadGeom like the constructor; the polyline is then unchanged.
  void vertices(const std::vector<ccVector<2>>& v);
  // Vertex i; BadParams outside 0 to numVertices() - 1.
  const ccVector<2>& vertex(long i) const;
  long numVertices() const { return static_cast<long>(vertices_.size()); }
  // Appends a vertex; BadGeom for a non-finite one.
  void addVertex(const ccVector<2>& p);
  bool isClosed() const { return closed_; }
  void isClosed(bool closed) {
    mutating();
    closed_ = closed;
  }

  bool operator==(const ccPolyline& o) const {
    return closed_ == o.closed_ && vertices_ == o.vertices_;
  }
  bool operator!=(const ccPolyline& o) const { return !(*this == o); }

  ccPolyline map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return !closed_ && !vertices_.empty(); }
  bool isRegion() const override { return closed_ && !vertices_.empty(); }
  bool isEmpty() const override { return vertices_.empty(); }
  // True when two vertices differ (there is an edge of non-zero length).
  bool hasTangent() const override;
  bool isReversible() const override { return !vertices_.empty(); }
  // EmptyShape when empty.
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  // Open polylines: the first and the last vertex; the directions of the first and the last
  // edge of non-zero length (NoTangent when there is none).
  ccVector<2> startPoint() const override;
  ccVector<2> endPoint() const override;
  ccRadian startAngle() const override;
  ccRadian endAngle() const override;
  // Sum of the signed turns at the vertices between consecutive edges of non-zero length.
  ccRadian tangentRotation() const override;
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // Closed polylines: positive signed area; within by the even-odd rule, the edges included.
  bool isRightHanded() const override;
  bool within(const ccVector<2>& p) const override;
  // The same vertices in reverse order (a closed one keeps its first vertex).
  ccShapePtrh reverse() const override;
  // A ccContourTree (closed like the polyline) of one ccLineSeg per edge, the closing edge
  // last; a single vertex gives one segment of length 0, no vertex an empty tree.
  bool isDecomposed() const override { return false; }
  ccShapePtrh decompose() const override;
  // The vertices, plus points dividing each edge into the fewest equal parts no longer than
  // spacing (spacing 0: not divided). Open polylines give the first vertex first and the last
  // last; closed ones give the first vertex first and stop before coming back to it. With
  // duplicateCorners every vertex where two edges meet appears twice (for closed polylines
  // also the first vertex, which then ends the sampling too). With uniform, the contour is
  // divided into the fewest equal arc-length parts no longer than spacing and the corners are
  // not kept. When more than maxPoints points would be needed, the contour is divided
  // uniformly into exactly maxPoints points. No vertex gives no points. BadParams for a
  // negative spacing or tolerance, maxPoints < 1, or uniform with spacing 0.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // The piece between the arc-length positions (0 at the first vertex), as an open
  // ccPolyline. Open polylines: both positions are clamped to [0, perimeter]; BadParams when
  // start > end. Closed polylines: the piece starts at startPos (taken modulo the perimeter)
  // and runs forward for end - start; when end < start it wraps through the first vertex
  // (running end - start taken modulo the perimeter), and a run of a perimeter or more gives
  // the whole contour from startPos. A piece of length 0 is a polyline of the one point
  // twice. EmptyShape without vertices; BadParams for non-finite positions.
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // Exact: the pieces of the polyline inside the clipper (see core/clip.cpp).
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  std::vector<ccVector<2>> vertices_;
  bool closed_ = false;
};

// Archive form of the value: version byte 0, closed (bool), vertices (count and points).
ccArchive& operator||(ccArchive& ar, ccPolyline& p);

// A polygon: a region bounded by its vertices, always closed by the edge from the last
// vertex back to the first (a last vertex equal to the first just adds an edge of length 0,
// as callers that list the first vertex again expect). The fill mode says how a tablet draws
// it and which rule decides its inside:
//   eNoFill (0)        drawn as an outline; inside by the even-odd rule;
//   eFillAlternate (1) filled by the even-odd (alternate) rule;
//   eFillWinding (2)   filled by the non-zero winding rule.
// The tablet draws unfilled rectangles with 0 and filled ones with 1; for a simple polygon
// (no self-crossing) the two rules agree.
//
// Mapping: an affine map gives a ccPolygon with the same fill mode (map() and mapShape()).
class ccPolygon : public ccShape {
  CC_SHAPE_CLASS(ccPolygon)

 public:
  enum PolyFillMode : long { eNoFill = 0, eFillAlternate = 1, eFillWinding = 2 };

  // No vertices, eNoFill.
  ccPolygon() = default;
  // Throws BadGeom when a vertex has a non-finite coordinate, BadParams for a fill mode
  // outside 0 to 2.
  explicit ccPolygon(const std::vector<ccVector<2>>& vertices, PolyFillMode mode = eNoFill);

  const std::vector<ccVector<2>>& vertices() const { return vertices_; }
  void vertices(const std::vector<ccVector<2>>& v);
  const ccVector<2>& vertex(long i) const;
  long numVertices() const { return static_cast<long>(vertices_.size()); }
  void addVertex(const ccVector<2>& p);
  PolyFillMode fillMode() const { return fillMode_; }
  void fillMode(PolyFillMode mode);

  bool operator==(const ccPolygon& o) const {
    return fillMode_ == o.fillMode_ && vertices_ == o.vertices_;
  }
  bool operator!=(const ccPolygon& o) const { return !(*this == o); }

  // The boundary as a closed ccPolyline.
  ccPolyline boundary() const { return ccPolyline(vertices_, true); }

  ccPolygon map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return !vertices_.empty(); }
  bool isEmpty() const override { return vertices_.empty(); }
  bool hasTangent() const override;
  bool isReversible() const override { return !vertices_.empty(); }
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // Positive signed area.
  bool isRightHanded() const override;
  // Even-odd rule, or non-zero winding for eFillWinding; the edges are inside.
  bool within(const ccVector<2>& p) const override;
  // The polygon with its vertices in reverse order (the first kept first).
  ccShapePtrh reverse() const override;
  bool isDecomposed() const override { return false; }
  // As the boundary polyline's: a closed ccContourTree of ccLineSegs.
  ccShapePtrh decompose() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // Exact: the pieces of the boundary inside the clipper, as ccPolylines.
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  std::vector<ccVector<2>> vertices_;
  PolyFillMode fillMode_ = eNoFill;
};

// Archive form of the value: version byte 0, fill mode (long), vertices (count and points).
ccArchive& operator||(ccArchive& ar, ccPolygon& p);
