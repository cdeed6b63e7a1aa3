// ccPolyline and ccPolygon: figures made of straight edges between vertices, and the
// polygonal algorithms (cc_poly) that every straight-edged shape of the core library shares.
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
  // The vertices, plus points dividing each edge into equal parts no longer than spacing;
  // see cc_poly::sample.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // See cc_poly::subShape: an open ccPolyline.
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

// Algorithms on a chain of vertices v, open (edges v[i] to v[i+1]) or closed (plus the edge
// from the last vertex to the first). Arc-length positions run from 0 at v[0].
namespace cc_poly {

using Points = std::vector<ccVector<2>>;

// Throws BadGeom when a coordinate is not finite.
void checkFinite(const Points& v);
void checkFinite(const ccVector<2>& p);

std::size_t edgeCount(const Points& v, bool closed);
// Edge i runs from v[i] to v[(i + 1) % n].
inline const ccVector<2>& edgeEnd(const Points& v, std::size_t i) { return v[(i + 1) % v.size()]; }

// EmptyShape when v is empty.
ccRect boundingBox(const Points& v);
double perimeter(const Points& v, bool closed);
// The point of the chain nearest to p, and its arc-length position. EmptyShape when empty.
ccVector<2> nearestPoint(const Points& v, bool closed, const ccVector<2>& p,
                         double* perimPos = nullptr);
// The point at arc-length position pos, clamped to [0, perimeter].
ccVector<2> pointAt(const Points& v, bool closed, double pos);
// Twice the signed area enclosed (positive counter-clockwise in a y-up frame).
double signedArea2(const Points& v);
// Inside test of the closed chain: even-odd, or non-zero winding. Points within a few units
// of rounding of an edge count as inside.
bool within(const Points& v, const ccVector<2>& p, bool nonZero = false);
// Distance from p to the closed or open chain (infinity when empty).
double distance(const Points& v, bool closed, const ccVector<2>& p);
// Sum of the angles subtended at p by the edges.
ccRadian windingAngle(const Points& v, bool closed, const ccVector<2>& p);
// Directions of the first and last edges of non-zero length; NoTangent when there is none.
ccRadian startAngle(const Points& v, bool closed);
ccRadian endAngle(const Points& v, bool closed);
// Turning between consecutive edges of non-zero length (for closed chains including the
// turns at the closing edge and back at v[0]).
ccRadian tangentRotation(const Points& v, bool closed);
bool hasTangent(const Points& v);

// Sampling (see ccShape::ccSampleParams). Replaces the result's points. The vertices are
// kept; each edge is divided into the fewest equal parts no longer than spacing (spacing 0:
// not divided). Open chains give v[0] first and the last vertex last; closed chains give
// v[0] first and stop before coming back to it. With duplicateCorners every vertex where two
// edges meet appears twice (for closed chains also v[0], which then ends the sampling too).
// With uniform, the contour is divided into the fewest equal arc-length parts no longer than
// spacing and the corners are not kept. When more than maxPoints points would be needed, the
// contour is divided uniformly into exactly maxPoints points. An empty chain gives no
// points. BadParams for a negative spacing or tolerance, maxPoints < 1, or uniform with
// spacing 0.
void sample(const Points& v, bool closed, const ccShape::ccSampleParams& params,
            ccShape::ccSampleResult& result);

// The piece of the chain between arc-length positions s and e, as an open ccPolyline.
// Open chains: both positions are clamped to [0, perimeter]; BadParams when s > e.
// Closed chains: the piece starts at s (taken modulo the perimeter) and runs forward for
// e - s; when e < s it wraps through v[0] (running e - s taken modulo the perimeter), and a
// run of a perimeter or more gives the whole contour from s as an open polyline.
// A piece of length 0 is a polyline of the one point twice.
// EmptyShape when the chain is empty. BadParams for non-finite positions.
ccPolyline subShape(const Points& v, bool closed, double s, double e);

// Reverses the chain; a closed one keeps v[0] first.
Points reversed(const Points& v, bool closed);

// Clips the chain by the closed polyline clipper (see core/clip.cpp). Each piece is an open
// chain of points; a piece of a closed chain that passes v[0] is joined across it.
// Returns the result code of ccClipInfo. BadParams when the clipper is open, DegenerateShape
// when it has fewer than 3 vertices.
long clip(const Points& v, bool closed, const ccPolyline& clipper, std::vector<Points>& pieces);

// Several shapes as one: a ccShapeTree holding the parts in order.
ccShapePtrh group(const std::vector<ccShapePtrh>& parts);

}  // namespace cc_poly
