// ccGenPoly: the shape form of the SMD polygon. A chain of straight and circular segments whose
// inner corners may be rounded, held by an owned ccSMDGDPoly, carried into the world by an
// affine map. Mapping a circle or a rectangle by that map represents ellipses, elliptical arcs
// and general rectangles exactly.
//
// Indices. Vertices 0 to n-1 as in the SMD polygon. Segment s runs from vertex s to vertex
// s + 1; in a closed polygon segment n - 1 runs from vertex n - 1 back to vertex 0. Segment s
// is the SMD polygon's segment (s + 1) mod n, so its span and tolerance live in that vertex.
// A vertex or segment index out of range throws ccShapesError::BadCoef.
//
// Editing works only while the polygon is mutable (ccShapesError::BadGeom otherwise): new
// polygons are, except those built from ellipses, their arcs and annulus sections and from
// general rectangles, and those mapped by a general affine map. Each edit is a transaction: an edit
// the SMD polygon rejects throws that polygon's error and changes nothing. Constructors report the
// SMD errors as shape errors (remapAndThrowError_).
//
// Geometry. vertexPoint, the segments, roundings and the whole ccShape interface apply the
// map (the end points and directions, orientation, inside test and distance too, so that a
// polygon answers as the shape it was built from). The contour is the decomposition (decompose):
// for each vertex its rounding arc, then the segment leaving it, each as a mapped ccEllipseArc2 or
// ccLineSeg; bounding box, nearest point, perimeter, sampling and mapShape go through it. Every
// source shape's extent-less form (a degenerate ellipse, arc, general rectangle or annulus section)
// gives an empty polygon, so the map is never singular.
//
// A polygon is a value used by one thread at a time; copies are deep.
#pragma once

#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/handle.h>
#include <core/lines.h>
#include <core/pelbuffer.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/shape.h>
#include <core/xform.h>
#include <dispc/dimtol.h>
#include <dispc/smd/poly.h>

#include <memory>
#include <vector>

class ccGraphicProps;
class ccUIScope;
class ccUITablet;

class ccGenPoly : public ccShape {
  CC_SHAPE_CLASS(ccGenPoly)

 public:
  // Empty and open.
  ccGenPoly();
  // Open: p1, then p2.
  explicit ccGenPoly(const ccLineSeg& seg);
  // Points 0 to k-2; then, for k > 3 points whose last equals the first, closed by a straight
  // segment, otherwise the last point appended and left open.
  explicit ccGenPoly(const ccPolygon& polygon);
  // Closed: upper-right, lower-right, lower-left, upper-left.
  explicit ccGenPoly(const ccRect& rect);
  // ccSMDGDPoly::circle(radius, centre): two half-circle arcs.
  explicit ccGenPoly(const ccCircle& circle);
  // Not mutable: the unit circle mapped onto the ellipse.
  explicit ccGenPoly(const ccEllipse& ellipse);
  explicit ccGenPoly(const ccEllipse2& ellipse);
  // Not mutable. A full arc gives the whole ellipse; otherwise open, from the unit-circle
  // point at the start angle to the one at the end angle over the arc's span.
  explicit ccGenPoly(const ccEllipseArc& arc);
  explicit ccGenPoly(const ccEllipseArc2& arc);
  // Not mutable: the square of side 2 mapped by the rectangle's transform; with rounding, a
  // rectangle scaled so that the corner roundings become circles of radius 1, every corner
  // rounded by 1, carried back by the inverse scaling. A rounding component of 0 (within
  // 1e-15) keeps the corners sharp.
  explicit ccGenPoly(const ccGenRect& rect);
  // Not mutable, closed: outer arc from phi1 to phi2, straight in to the inner arc, inner arc
  // back, straight out; mapped like the ellipse. An inner scale of 0 gives the pie slice. A
  // full turn is a ring, which one contour cannot bound: ccShapesError::BadGeom.
  explicit ccGenPoly(const ccEllipseAnnulusSection& section);
  ccGenPoly(const ccGenPoly& other);
  ccGenPoly& operator=(const ccGenPoly& other);
  ~ccGenPoly() override;
  // Exchanges polygon, map and mutable flag; cannot throw.
  void swap(ccGenPoly& other) noexcept;
  void reInit() override;

  // The two contours of a ring, inner first.
  static std::vector<ccGenPoly> convert(const ccAnnulus& annulus);
  static std::vector<ccGenPoly> convert(const ccEllipseAnnulus& annulus);
  static std::vector<ccGenPoly> convert(const ccGenAnnulus& annulus);

  bool isMutable() const { return mutable_; }
  long numVertices() const { return poly_->numVertices(); }
  long numSegments() const { return poly_->numSegments(); }
  // Start and end vertex of segment s.
  long previousVertexIndex(long s) const { return s; }
  long nextVertexIndex(long s) const;
  // The segment ending at v (-1 for vertex 0 of an open polygon) and the one starting at v
  // (-1 for the last vertex of an open polygon).
  long previousSegmentIndex(long v) const;
  long nextSegmentIndex(long v) const;

  // Editing. roundingSize is the corner radius (negative: a rounding of uncertain size);
  // segmentAngleSpan describes the segment that ends at the vertex (0: a line).
  // Inserts after vertex i (-1: at the front).
  void insertVertex(long i, const ccVector<2>& p, double roundingSize,
                    const ccRadian& segmentAngleSpan);
  // Appends.
  void insertVertex(const ccVector<2>& p, double roundingSize, const ccRadian& segmentAngleSpan);
  // A new vertex in place of vertex i; a rounding on an end vertex of an open polygon throws
  // BadGeom.
  void replaceVertex(long i, const ccVector<2>& p, double roundingSize,
                     const ccRadian& segmentAngleSpan);
  // As above, keeping every other field of vertex i (span, percentages, label, tolerance).
  void replaceVertex(long i, const ccVector<2>& p, double roundingSize);
  void deleteVertex(long i);
  void vertexPoint(long i, const ccVector<2>& p);
  void vertexRoundingSize(long i, double roundingSize);
  // Every vertex that can be rounded (not the ends of an open polygon) gets the size, in one
  // transaction.
  void vertexRoundingSizes(double roundingSize);
  void segmentAngleSpan(long s, const ccRadian& span);
  void open();
  // Sets the closing segment's span (held by vertex 0) and closes.
  void close(const ccRadian& closingSpan);

  // Queries, in the world (mapped).
  ccVector<2> vertexPoint(long i) const;
  // 0 for a sharp vertex or an end vertex of an open polygon; otherwise the x radius of the
  // mapped rounding arc, negative for a rounding of uncertain size.
  double vertexRoundingSize(long i) const;
  // The rounding arc of vertex i (DegenerateShape for a sharp vertex).
  ccEllipseArc roundedVertex(long i) const;
  ccEllipseArc2 roundedVertexArc(long i) const;
  ccRadian segmentAngleSpan(long s) const;
  bool isLineSegment(long s) const;
  bool isArcSegment(long s) const { return !isLineSegment(s); }
  // Segment s whole (full) or the part left between the roundings of its ends. lineSegment
  // throws BadGeom for an arc; the arc forms throw DegenerateShape for a line or for an arc
  // that its roundings consume.
  ccLineSeg lineSegment(long s, bool full) const;
  ccEllipseArc arcSegment(long s, bool full) const;
  ccEllipseArc2 ellipseSegment(long s, bool full) const;
  bool isOpen() const { return poly_->isOpen(); }
  // No vertices.
  bool degen() const { return poly_->numVertices() == 0; }
  // vertexPoint(0); (0, 0) without vertices.
  ccVector<2> pos() const;
  // The mapped mean of the vertex points; (0, 0) without vertices.
  ccVector<2> center() const;
  // The bounding box of the rounded outline mapped by x after the polygon's map; a null
  // rectangle at (0, 0) without vertices.
  ccRect encloseRect() const { return encloseRect(ccXform<2>()); }
  ccRect encloseRect(const ccXform<2>& x) const;
  // Distance from p to the outline (to the vertex of a one-vertex polygon); the SMD
  // polygon's invalidVertices without vertices.
  double distToPoint(const ccVector<2>& p) const;

  // Mapped copies. An identity x gives a plain copy, a singular x throws ccMathError::Singular,
  // any other a copy carried by x after the map, not mutable.
  ccGenPoly map(const ccXform<2>& x) const;
  // Rigid motion after scaling (scale within 1e-15 of 0: Singular). A mutable polygon stays
  // mutable: its vertices move; otherwise as map(ccXform<2>).
  ccGenPoly map(const cc2Rigid& r, double scale) const;
  using ccShape::map;

  // Equal SMD polygons, maps and mutable flags; cfRealEq compares within a tolerance.
  bool operator==(const ccGenPoly& o) const;
  bool operator!=(const ccGenPoly& o) const { return !(*this == o); }
  friend bool cfRealEq(const ccGenPoly& a, const ccGenPoly& b, double tol);

  // ccShape.
  bool isOpenContour() const override { return isOpen() && !degen(); }
  bool isRegion() const override { return !isOpen() && !degen(); }
  bool isEmpty() const override { return degen(); }
  // Some vertex differs from vertex 0.
  bool hasTangent() const override;
  bool isDecomposed() const override { return false; }
  bool isReversible() const override { return true; }
  // EmptyShape without vertices.
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  // Open contours only (NotOpenContour): the first and last vertex, and the directions of
  // travel leaving the first and entering the last (NoTangent with fewer than two vertices).
  ccVector<2> startPoint() const override;
  ccVector<2> endPoint() const override;
  ccRadian startAngle() const override;
  ccRadian endAngle() const override;
  // Open contours only (NotOpenContour), through the decomposition.
  ccRadian tangentRotation() const override;
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // Regions only (NotRegion): counter-clockwise in a y-up frame (the signed area of the
  // rounded outline), inverted by a reflecting map.
  bool isRightHanded() const override;
  bool within(const ccVector<2>& p) const override;
  // The decomposition mapped (a contour tree).
  ccShapePtrh mapShape(const ccXform<2>& x) const override;
  // A copy run the other way (the SMD polygon reversed).
  ccShapePtrh reverse() const override;
  // A ccContourTree: for each vertex i its rounding arc (negCornerArc_ for an uncertain one),
  // then segment i, the part between the roundings; an open polygon stops after the rounding
  // of its last vertex. Pieces with nothing left between roundings are left out. One vertex:
  // a ccLineSeg of length 0 at it.
  ccShapePtrh decompose() const override;
  // The decomposition's; uniform sampling throws BadParams.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  ccShapePtrh subShape(double startPos, double endPos) const override;

  // Archive: version byte 0, the ccShape record, then the common part: the SMD polygon's own
  // record (owned, so written in place), the map and the mutable flag. Another version throws
  // ccArchive::UnknownVersion with "dispc/wrfm/genpoly". A singular or non-finite map is
  // refused (ccArchive::BadData). A failed load leaves the polygon as it was.
  void dispatchSerialize(ccArchive& ar) override;
  // Loading only: version byte 0 and the common part, without the ccShape record.
  void loadSimple(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // The decomposition clipped; a clone of this polygon when the clip left it whole.
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  // Strokes the polygon on the scope, every stroke through the scope's line-segment slot with
  // props. Lines whole between the vertex points with props.showVertex(), else between the
  // roundings; arcs as chords (steps of at most 5 degrees, a chord at most 0.05 scope units
  // from its arc, at most 3600 chords). With props.arrowHead() a direction mark (an
  // arrowhead with a plus sign on its left and a minus sign on its right, swapped under a
  // reflecting map) at the middle of every segment whose chord is at least a fifth of the
  // longest, turned round when the direction is reversed. Then the rounding arcs.
  void drawToScope(const ccGraphicProps& props, ccUIScope& scope) const;
  // SMD errors become shape errors: invalid vertices, crossing segments, an open polygon, an
  // invalid segment length and a degenerate shape BadGeom; an invalid rounding BadRadius; an
  // invalid index BadCoef. Others pass.
  void remapAndThrowError_(ccException& e) const override;
  // The decomposition's piece for a rounding of uncertain size: a copy of the arc here;
  // derived classes may mark such corners.
  virtual ccShapePtrh negCornerArc_(const ccEllipseArc2& arc) const;

  // A vertex as the edits make it: percentages 0.5, no label, the given tolerance.
  static ccSMDGDPolyVertex newVertex_(const ccVector<2>& p, double roundingSize,
                                      const ccRadian& segmentAngleSpan,
                                      const ccDimTol& tol = ccDimTol());
  // Closes with the closing segment's span and, when given, its tolerance.
  void close_(const ccRadian& closingSpan, const ccDimTol* tol);
  const ccSMDGDPoly& smdPoly_() const { return *poly_; }
  const ccXform<2>& polyMap_() const { return map_; }
  // Changes the SMD polygon through f on a copy, kept only when f returns.
  template <class F>
  void editCopy_(F&& f) {
    auto draft = std::make_unique<ccSMDGDPoly>(*poly_);
    f(*draft);
    poly_.swap(draft);
  }
  // Reads or writes the version byte 0; another version throws ccArchive::UnknownVersion with
  // the source and line given.
  static void version0_(ccArchive& ar, const char* source, long line);
  // The start of a simple load: false, after an assertion report, for a storing archive; else
  // the version byte, as version0_.
  static bool startSimpleLoad_(ccArchive& ar, const char* source, long line);
  // BadGeom unless mutable.
  void checkMutable_() const;
  // BadCoef unless i lies in -1 to n - 1 (insertion after vertex i).
  void checkInsertion_(long i) const;
  // The SMD polygon's segment number of segment s (BadCoef when there is no segment s).
  long smdSegment_(long s) const;
  void checkVertex_(long i) const;
  ccSMDGDPoly& editablePoly_() { return *poly_; }
  void setMutable_(bool m) { mutable_ = m; }

 private:
  friend class ccSMDGDPolyPrivate;
  friend class ccUITablet;              // draws mapped polygons with drawToScope
  friend struct cc_GenPolySketchCodec;  // the sketch payload of general polygons

  // Builds through f inside the error remapping.
  template <class F>
  void build_(F&& f) {
    remapErrors_([&] { f(); });
  }
  void fromUnitCircle_(const ccXform<2>& unit);
  void loadCommon_(ccArchive& ar);
  void storeCommon_(ccArchive& ar);
  // The direction of travel of segment s at its start or end.
  ccRadian segmentDirection_(long s, bool atEnd) const;

  std::unique_ptr<ccSMDGDPoly> poly_;
  bool mutable_ = true;
  ccXform<2> map_;
};

bool cfRealEq(const ccGenPoly& a, const ccGenPoly& b, double tol);

// Fills the closed polygon g, carried by its map and then by xform, into image with value
// (ccSMDGDPolyPrivate::drawSynthetic). A null handle stands for the identity. An open polygon
// throws ccShapesError::BadGeom and leaves the image untouched.
void cfDrawSynthetic(const ccGenPoly& g, const ccPtrHandle_const<cc2XformBase>& xform,
                     ccPelBuffer<unsigned char>& image, unsigned char value);
void cfDrawSynthetic(const ccGenPoly& g, const ccXform<2>& xform, ccPelBuffer<unsigned char>& image,
                     unsigned char value);
