// ccSMDGDPoly: the polygon of an SMD geometric description, and ccSMDGDPolyPrivate, the static
// geometry helpers that the general polygon, synthetic drawing, overlays, models and filters
// share.
//
// A polygon is an open or closed chain of vertices (ccSMDGDPolyVertex) joined by straight or
// circular segments; every inner vertex may be rounded by a circle tangent to both of its
// segments. The polygon is valid at all times: every edit recomputes the roundings it touches
// and checks that no two segments or roundings cross. A failed edit throws and leaves the
// polygon exactly as it was (the same archive bytes).
//
// Indices. Vertices are 0 to n-1. Segment i ends at vertex i and starts at vertex i-1; in a
// closed polygon segment 0 runs from vertex n-1 to vertex 0, an open polygon has no segment 0.
//
// Cost. An edit revalidates locally: appending or replacing a vertex costs time independent of
// the number of vertices (a grid over the outline's pieces finds the few that can cross);
// vertices(...) validates the whole polygon in one sweep over the same grid. Copies are deep.
// A polygon is a value used by one thread at a time.
#pragma once

#include <core/angle.h>
#include <core/archive.h>
#include <core/exception.h>
#include <core/polyline.h>
#include <core/range.h>
#include <core/rect.h>
#include <core/vector.h>
#include <core/xform.h>
#include <dispc/color.h>
#include <dispc/errors.h>
#include <dispc/smd/description.h>
#include <dispc/smd/dimension.h>
#include <dispc/smd/polyvertex.h>
#include <dispc/tablet.h>
#include <dispc/tolerance.h>
#include <dispc/wrfm/arc.h>
#include <dispc/wrfm/colors.h>
#include <dispc/wrfm/lineseg.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

class cc_SMDGDPolyIndex;
class ccGenPoly;
class ccSMDGDModel;
class cc2Wireframe;
class ccGraphicList;

class ccSMDGDPoly : public ccSMDGeometricDescription {
 public:
  class Errors : public ccException {
   public:
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;

   protected:
    Errors() = default;
    explicit Errors(const std::string& message) : ccException(message) {}
  };
  class invalidVertices : public ccErrorClass<invalidVertices, Errors, 0x11000360> {
   public:
    invalidVertices() : ccErrorClass("Invalid poly vertices.") {}
  };
  class crossingSegments : public ccErrorClass<crossingSegments, Errors, 0x11000361> {
   public:
    crossingSegments() : ccErrorClass("Two or more poly segments cross.") {}
  };
  class invalidIndex : public ccErrorClass<invalidIndex, Errors, 0x11000362> {
   public:
    invalidIndex() : ccErrorClass("Invalid index for poly vertex or segment.") {}
  };
  class invalidRounding : public ccErrorClass<invalidRounding, Errors, 0x11000363> {
   public:
    invalidRounding() : ccErrorClass("Invalid radius for poly vertex rounding.") {}
  };
  class noPelBuffer : public ccErrorClass<noPelBuffer, Errors, 0x11000364> {
   public:
    noPelBuffer() : ccErrorClass("No pel buffer to draw on.") {}
  };
  class badSubModel : public ccErrorClass<badSubModel, Errors, 0x11000365> {
   public:
    badSubModel() : ccErrorClass("The specified sub-model is not 2D") {}
  };
  class notClosed : public ccErrorClass<notClosed, Errors, 0x11000366> {
   public:
    notClosed() : ccErrorClass("An operation was performed which requires a closed poly.") {}
  };

  // An empty open polygon: green wireframe, light grey on dark grey, green arrows, weight 1.
  explicit ccSMDGDPoly(const std::string& name = "poly");
  // The wireframe's polygon, its name included (so the name given is replaced), without the
  // wireframe's map; ccShapesError::BadGeom when that polygon is not valid as a whole.
  explicit ccSMDGDPoly(const cc2Wireframe& wireframe, const std::string& name = "poly");
  ccSMDGDPoly(const ccSMDGDPoly& other);
  ccSMDGDPoly& operator=(const ccSMDGDPoly& other);
  ~ccSMDGDPoly() override;
  // Exchanges every field and the name; cannot throw.
  void swap(ccSMDGDPoly& other) noexcept;
  // A fresh default polygon named "poly".
  void reset();
  void reInit() override { reset(); }

  // Closed polygons named "poly", every vertex sharp with percentages 0.5. circle: two
  // half-circle arcs from c + (-r, 0) and c + (r, 0), both labelled 0. rectangle: corners
  // counter-clockwise from c + (w/2, h/2), labels 0 to 3. triangle: c + (0, 2h/3),
  // c + (-w/2, -h/3), c + (w/2, -h/3) (c is the centroid), labels 0 to 2.
  static ccSMDGDPoly circle(double r, const ccVector<2>& c);
  static ccSMDGDPoly rectangle(double w, double h, const ccVector<2>& c);
  static ccSMDGDPoly triangle(double w, double h, const ccVector<2>& c);
  // True for the layout circle() builds: closed, two sharp vertices, two arcs of 180 degrees
  // turning the same way.
  static bool isCircle(const ccSMDGDPoly& poly);

  // Editing. Each edit is a transaction: on any failure it throws and changes nothing.
  // Appends (insertVertex(numVertices() - 1, v)).
  ccSMDGDPoly& operator<<(const ccSMDGDPolyVertex& v);
  // Inserts v after vertex i; i = -1 inserts at the front. invalidIndex outside -1..n-1.
  void insertVertex(long i, const ccSMDGDPolyVertex& v);
  // invalidIndex outside 0..n-1.
  void replaceVertex(long i, const ccSMDGDPolyVertex& v);
  void deleteVertex(long i);
  // As vertices({}): a closed polygon cannot become empty (invalidVertices).
  void deleteAllVertices();
  // Replaces every vertex and validates the whole polygon.
  void vertices(const std::vector<ccSMDGDPolyVertex>& v);
  const std::vector<ccSMDGDPolyVertex>& vertices() const { return vertices_; }
  // close() needs at least two vertices (invalidVertices).
  void close();
  void open();

  long numVertices() const { return static_cast<long>(vertices_.size()); }
  long numSegments() const;
  // Vertex i; with wrap, i is taken cyclically. invalidIndex when there is no such vertex.
  const ccSMDGDPolyVertex& vertex(long i, bool wrap = false) const {
    return vertices_[static_cast<std::size_t>(vertexIndex_(i, wrap))];
  }
  bool isOpen() const { return open_; }
  bool isClosed() const { return !open_; }
  // An end vertex of an open polygon: never rounded.
  bool isEndVertex(long v) const;
  // The distinct labels of the vertices in order of first appearance; -1 is never listed.
  const std::vector<std::int32_t>& subModelLabels() const { return subModelLabels_; }

  double weight() const { return weight_; }
  void weight(double w);
  const ccSMDColors& colors() const { return colors_; }
  void colors(const ccSMDColors& c);
  const ccColor& positiveArrowColor() const { return positiveArrowColor_; }
  void positiveArrowColor(const ccColor& c);
  const ccColor& negativeArrowColor() const { return negativeArrowColor_; }
  void negativeArrowColor(const ccColor& c);

  bool isDirectionReversed() const { return directionReversed_; }
  void toggleDirection();
  // Closed polygons only (notClosed): true when the rounded outline runs counter-clockwise in
  // a y-up frame (positive signed area), inverted when the direction is reversed.
  bool isDirectionPositive() const;
  bool isDirectionNegative() const { return !isDirectionPositive(); }

  // The tolerance of segment s with its nominal set to the segment's length. Any failure
  // becomes ccSMDGDPolyVertex::invalidSegmentLength.
  ccSMDDimension segmentDimension(long s) const;
  // The bounding box of the rounded outline mapped by x; a null rectangle at (0, 0) when
  // there are no vertices.
  ccRect boundingBox(const ccXform<2>& x = ccXform<2>()) const;
  // The segments, in order, whose lengths mapped by x1 and x2 fall outside their tolerance.
  std::vector<long> segmentsOutOfTolerance(const ccXform<2>& x1, const ccXform<2>& x2) const;

  // The rounded outline in the colours' wireframe default colour on layer 0, through
  // ccSMDGDPolyPrivate::drawWireframe (overlay.cpp).
  void drawWireframe(const ccXform<2>& xform, ccUITablet& tablet) const override;
  // One glyph per segment at the middle of its rounded part, pointing along the travel
  // (backwards when the direction is reversed), drawn on layer 0 in the two arrow colours: the
  // positive colour on the left of travel, the negative one on the right, kept on the same
  // sides of the outline under a mirroring xform. size is the glyph's half-width in tablet
  // image units; the graphic-list form appends the same line segments as graphics.
  void drawDirectionArrows(const ccXform<2>& xform, ccUITablet& tablet, double size) const;
  void drawDirectionArrows(const ccXform<2>& xform, ccGraphicList& list, double size) const;
  // Synthetic drawing (synthetic.cpp) in the grey of the synthetic default colour: the
  // affine form fills and outlines (ccSMDGDPolyPrivate::drawSynthetic with both flags); the
  // handle form samples the outline through a non-linear transform and fills it. A null
  // handle stands for the identity.
  void drawSynthetic(const ccXform<2>& xform, ccPelBuffer<unsigned char>& image) const override;
  void drawSynthetic(const ccPtrHandle_const<cc2XformBase>& xform,
                     ccPelBuffer<unsigned char>& image) const override;

  // Same count and closedness, equal vertices, direction flag, colours and arrow colours, and
  // weights within ccRealEqEpsilon. Neither the name nor the caches are compared.
  bool operator==(const ccSMDGDPoly& o) const;
  bool operator!=(const ccSMDGDPoly& o) const { return !(*this == o); }

  // Archive: version byte (1), the description record, vertices, labels, roundStart,
  // roundEnd, roundSpan, open, direction flag, colours, arrow colours, then (version 1) the
  // weight; version 0 loads weight 1. A later version throws ccArchive::UnknownVersion with
  // no source. Loading keeps the stored caches; it refuses caches whose lengths differ from
  // the vertex count (ccArchive::BadData). A failed load leaves the polygon's fields as they
  // were (the name may already have changed).
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccSMDGDPoly; }
  // The shortest record (version 0, empty name, no vertices, colours of version 0).
  static constexpr std::size_t kArchiveMinBytes = 1 + 5 + 5 * 4 + 2 + 1;

  // Index conventions (see the header comment). Those returning -1 mean "no such segment".
  long firstVertexIndex_() const { return 0; }
  long lastVertexIndex_() const { return numVertices() - 1; }
  long firstSegmentIndex_() const { return nextSegmentIndex_(0); }
  long lastSegmentIndex_() const;
  long previousSegmentIndex_(long v) const;
  long nextSegmentIndex_(long v) const;
  long previousVertexIndex_(long s) const { return cyclic_(s - 1); }
  long nextVertexIndex_(long s) const { return s; }
  void getSegmentIndices_(long& prev, long& next, long v) const;
  void getVertexIndices_(long& prev, long& next, long s) const;
  // i checked (invalidIndex) or, with wrap, reduced cyclically.
  long vertexIndex_(long i, bool wrap) const;
  // As vertexIndex_, and segment 0 of an open polygon is refused.
  long segmentIndex_(long i, bool wrap) const;
  bool segmentExists_(long s) const { return s >= 0 && s < numVertices() && (s > 0 || !open_); }

  bool vertexIsRounded_(long v) const;
  bool roundingIsUncertain_(long v) const { return vertices_[idx(v)].vertexRadius() < 0; }
  double vertexRadius_(long v) const;
  bool isLineSegment_(long s) const;
  bool isArcSegment_(long s) const { return !isLineSegment_(s); }
  double segmentLength_(long s) const;
  // The rounding caches: start and end of vertex v's rounding arc and its signed span; the
  // vertex point and 0 when v is not rounded.
  const ccVector<2>& roundStart_(long v) const { return roundStarts_[idx(v)]; }
  const ccVector<2>& roundEnd_(long v) const { return roundEnds_[idx(v)]; }
  const ccDegree& roundSpan_(long v) const { return roundSpans_[idx(v)]; }
  // Extension fractions of segment s (held by its end and start vertex).
  double forwardPercExtension_(long s) const;
  void forwardPercExtension_(long s, double e);
  double backwardPercExtension_(long s) const;
  void backwardPercExtension_(long s, double e);
  // Extension fractions for the negative wireframe: every segment is extended by e (a
  // fraction of its length or span) beyond each end vertex whose turn is 45 degrees or more
  // from straight; other ends, and the free ends of an open polygon, get 0.
  void setExtensions_(double e);
  void setDefaultExtensions_() { setExtensions_(0.5); }
  // Shortens this polygon's extensions so that no extension piece comes nearer than d to a
  // piece of other's outline, or nearer than checkDist to a piece it runs alongside (the
  // piece's direction within angleTol of the extension's, the nearest point inside the
  // piece). same says that other is this polygon: the segment itself and the pieces meeting
  // it at the extended vertex are then left out. An extension only ever gets shorter.
  void checkExtensions_(const ccSMDGDPoly& other, double checkDist, const ccDegree& angleTol,
                        double d, bool same);

  // Crossing tests on the rounded geometry (last = -1: every index).
  bool vertexIntersectsVertex_(long a, long b) const;
  bool segmentIntersectsVertex_(long s, long v) const;
  std::vector<ccVector<2>> segmentIntersection_(long s1, long s2) const;
  bool segmentIntersectsPoly_(long s, long last = -1) const;
  bool vertexIntersectsPoly_(long v, long last = -1) const;
  // Point inside a closed polygon (notClosed otherwise).
  bool inside_(const ccVector<2>& p) const;

 protected:
  // Rounding of vertex v (no wrap), and of the vertices a change at v affects (returned).
  void computeVertexRounding_(long v);
  std::vector<long> computeVertexRoundings_(long v);
  ccVector<2> roundPoint_(long v) const;
  void addVertexLabel_(std::int32_t label);
  void rebuildLabels_();

  void validate_();
  void validateReplacement_(long v);
  void validateInsertion_(long i) { validateReplacement_(i + 1); }
  void validateIncremental_() { validateInsertion_(numVertices() - 1); }
  void validateClose_();
  void validateDeletion_(long i);

  void serialize_(ccArchive& ar, unsigned char version);

 private:
  friend class ccSMDGDPolyPrivate;
  friend class cc_SMDGDPolyIndex;
  class Journal;

  std::size_t idx(long v) const { return static_cast<std::size_t>(v); }
  long cyclic_(long i) const;
  // The label and percentage rule and the tolerance of segment s (both vertices exist).
  void checkSegmentRules_(long s) const;
  // Counts the crossings of the ray from p towards +x with the rounded outline; false when
  // the ray passes a piece's end or grazes a piece too closely to trust the count.
  bool rayCrossings_(const ccVector<2>& p, long& count) const;
  // The grid over the pieces when the polygon is large enough to use one, else null.
  cc_SMDGDPolyIndex* pieceIndex_() const;
  void piecesChanged_(long firstVertex, long lastVertex) const;

  std::vector<ccSMDGDPolyVertex> vertices_;
  std::vector<std::int32_t> subModelLabels_;
  std::vector<ccVector<2>> roundStarts_;
  std::vector<ccVector<2>> roundEnds_;
  std::vector<ccDegree> roundSpans_;
  bool open_ = true;
  bool directionReversed_ = false;
  ccSMDColors colors_{ccColor::greenColor(), ccColor::ltGreyColor(), ccColor::dkGreyColor()};
  ccColor positiveArrowColor_ = ccColor::greenColor();
  ccColor negativeArrowColor_ = ccColor::greenColor();
  double weight_ = 1.0;
  // Spatial grid over the rounded pieces; a cache, neither copied nor archived.
  mutable std::unique_ptr<cc_SMDGDPolyIndex> index_;
};

// Copies with every vertex scaled (point, radius, tolerance) or moved, then revalidated.
ccSMDGDPoly operator*(double s, const ccSMDGDPoly& poly);
ccSMDGDPoly operator*(const cc2Rigid& r, const ccSMDGDPoly& poly);
// As operator== with the vertex points, radii and weight compared within tol.
bool cfRealEq(const ccSMDGDPoly& a, const ccSMDGDPoly& b, double tol);
bool cfRealEq(const ccSMDGDPolyVertex& a, const ccSMDGDPolyVertex& b, double tol);

// The static geometry of SMD polygons. Adds no data; archived like ccSMDGDPoly under its own
// class name.
class ccSMDGDPolyPrivate : public ccSMDGDPoly {
 public:
  using ccSMDGDPoly::ccSMDGDPoly;
  explicit ccSMDGDPolyPrivate(const ccSMDGDPoly& poly) : ccSMDGDPoly(poly) {}
  static ccPersistent* make() { return new ccSMDGDPolyPrivate; }

  // Signed turn at vertex v (cyclic): 180 for a straight pass, positive for a left turn,
  // negative for a right turn, in (-180, 180]. invalidIndex unless both segments exist.
  static ccDegree vertexAngle(const ccSMDGDPoly& poly, long v);

  // Segment s between the two vertex points, and its part left between the roundings.
  static cc2SegmentLine lineSegment_(const ccSMDGDPoly& poly, long s);
  static cc2SegmentArc arcSegment_(const ccSMDGDPoly& poly, long s);
  static cc2SegmentLine roundedLineSegment_(const ccSMDGDPoly& poly, long s);
  static cc2SegmentArc roundedArcSegment_(const ccSMDGDPoly& poly, long s);
  // As roundedArcSegment_, false where that throws ccShapesError::DegenerateShape (nothing of
  // the arc left, or equal vertex points): outline walks over loaded polygons, whose caches
  // are not checked, stay free of exceptions.
  static bool roundedArcSegment_(const ccSMDGDPoly& poly, long s, cc2SegmentArc& out);
  // The rounding arc of vertex v.
  static cc2SegmentArc roundedArcVertex_(const ccSMDGDPoly& poly, long v);
  // Segment s moved sideways by d (to the right of travel for d > 0 in a y-up frame), whole
  // or one half. An arc keeps its centre and changes its radius; a radius below 0 throws
  // invalidRounding.
  static cc2SegmentLine slideLineSegment_(const ccSMDGDPoly& poly, long s, double d);
  static cc2SegmentLine firstHalfSlideLineSegment_(const ccSMDGDPoly& poly, long s, double d);
  static cc2SegmentLine secondHalfSlideLineSegment_(const ccSMDGDPoly& poly, long s, double d);
  static cc2SegmentArc slideArc_(const ccSMDGDPoly& poly, long s, double d);
  static cc2SegmentArc firstHalfSlideArc_(const ccSMDGDPoly& poly, long s, double d);
  static cc2SegmentArc secondHalfSlideArc_(const ccSMDGDPoly& poly, long s, double d);
  // The point of the whole segment s nearest to p.
  static ccVector<2> closestSegmentPoint_(const ccSMDGDPoly& poly, long s, const ccVector<2>& p);

  // Point inside a closed polygon (notClosed otherwise).
  static bool inside(const ccSMDGDPoly& poly, const ccVector<2>& p);
  // The directions from p, as arcs of directions (centre p, radius 1), under which a ray
  // meets a rounded segment or rounding of vertices 0..last (-1: all).
  static std::vector<cc2SegmentArc> ranges_(const ccSMDGDPoly& poly, const ccVector<2>& p,
                                            long last = -1);
  // The ranges of one arc: one per stretch over which the direction from p turns one way.
  static std::vector<cc2SegmentArc> arcRanges_(const cc2SegmentArc& arc, const ccVector<2>& p);
  // A direction in [from, from + span) as far as possible from every range end: the middle of
  // the widest gap between ends.
  static ccDegree safestDirection_(const std::vector<cc2SegmentArc>& ranges,
                                   const ccDegree& from = ccDegree(0),
                                   const ccDegree& span = ccDegree(360));
  // The points where the rounded outlines of a and b meet, ends included.
  static std::vector<ccVector<2>> intersection_(const ccSMDGDPoly& a, const ccSMDGDPoly& b);
  // Twice the signed area of the rounded outline of a closed polygon (positive
  // counter-clockwise in a y-up frame); 0 for an open one.
  static double signedArea2_(const ccSMDGDPoly& poly);
  // Length of the rounded outline; scale multiplies it.
  static double perimeter(const ccSMDGDPoly& poly, double scale = 1.0);
  // Distance from p to the rounded outline (to the vertex of a one-vertex polygon).
  // invalidVertices when there are no vertices.
  static double distToPoint(const ccSMDGDPoly& poly, const ccVector<2>& p);
  // The polygon's pose: the mean of its vertex points ((0, 0) without vertices), turned by the
  // direction from vertex 0 to vertex 1 (0 with fewer than two vertices).
  static cc2Rigid position(const ccSMDGDPoly& poly);

  // Synthetic drawing (synthetic.cpp). The affine form maps client coordinates through
  // pb.imageFromClientXform() * clientXform and sets the pels whose row crossings enclose
  // them to grey (fill, closed polygons only: an open one draws nothing), then draws the
  // rounded outline with the edge rasterisers (drawOutline, or whenever fill is not set).
  // Only pels of the outline's bounding box widened by 5 pels are written; the caller's window
  // is kept. The handle form draws nothing for an open polygon, uses the affine form (fill and
  // outline) for a transform that reports itself linear, and otherwise fills the outline
  // sampled through the transform. Throws ccPel::UnboundWindow for an unbound buffer,
  // ccShapesError::BadGeom for a transform or outline that maps to non-finite coordinates and
  // ccMathError::Singular for a singular one, before any pel is written.
  using ccSMDGDPoly::drawSynthetic;
  static void drawSynthetic(const ccSMDGDPoly& poly, const ccXform<2>& clientXform,
                            ccPelBuffer<unsigned char>& pb, unsigned char grey, bool drawOutline,
                            bool fill);
  static void drawSynthetic(const ccSMDGDPoly& poly, const ccPtrHandle_const<cc2XformBase>& xform,
                            ccPelBuffer<unsigned char>& pb, unsigned char grey);

  // Wireframe overlays (overlay.cpp). Everything goes through the tablet's drawing calls, so it
  // is clipped, mapped to the screen and recorded like any drawing; xf maps polygon
  // coordinates to the tablet's image coordinates.
  // A wireframe holding a copy of poly, mapped by xf, drawn in c without vertex marks.
  static void drawWireframe(const ccSMDGDPoly& poly, const ccXform<2>& xf, ccUITablet& t,
                            const ccColor& c, ccUITablet::Layers layer);
  // The extension pieces of every segment, in vertex order: forward then backward, each only
  // when its fraction is above 0.
  static void drawNegWireframe(const ccSMDGDPoly& poly, const ccXform<2>& xf, ccUITablet& t,
                               const ccColor& c, ccUITablet::Layers layer);
  // The segment's end points mapped by xf, joined by one tablet line segment.
  static void overlayLineSegment_(ccUITablet& t, const cc2SegmentLine& s, const ccXform<2>& xf,
                                  const ccColor& c, ccUITablet::Layers layer);
  // The arc as N chords: steps of 5 degrees, or fewer degrees when the arc mapped by xf has a
  // radius (at angle 0) above 0.05, so that no chord strays more than 0.05 from it.
  static void overlayArc_(ccUITablet& t, const cc2SegmentArc& a, const ccXform<2>& xf,
                          const ccColor& c, ccUITablet::Layers layer);
  // The number of chords overlayArc_ draws for a (mapped by xf).
  static long overlayArcChords_(const cc2SegmentArc& a, const ccXform<2>& xf);
  // Extension pieces of segment s (A its start vertex point, B its end, ef and eb its forward
  // and backward fractions): the line from B to B + (B - A) ef, or from A to A + (A - B) eb;
  // the arc on the segment's circle beyond its end over span ef, or before its start over
  // span eb, running the segment's way.
  static cc2SegmentLine forwardLineSegmentExtension_(const ccSMDGDPoly& poly, long s);
  static cc2SegmentLine backwardLineSegmentExtension_(const ccSMDGDPoly& poly, long s);
  static cc2SegmentArc forwardArcSegmentExtension_(const ccSMDGDPoly& poly, long s);
  static cc2SegmentArc backwardArcSegmentExtension_(const ccSMDGDPoly& poly, long s);

  // A closed polygon named "poly" with one sharp, unlabelled vertex per corner of p.
  static ccSMDGDPoly convert(const ccPolygon& p);
  // A polygon named "poly" with the vertices, open or closed, validated as a whole (the SMD
  // errors); direction reversed when asked.
  static ccSMDGDPoly rebuilt(const std::vector<ccSMDGDPolyVertex>& v, bool closed,
                             bool directionReversed);
  // A mutable wireframe, with the identity map, holding a copy of poly.
  static cc2Wireframe wireframe(const ccSMDGDPoly& poly);
  // The polygon a general polygon (or wireframe) holds, and the map that carries it.
  static const ccSMDGDPoly& poly(const ccGenPoly& g);
  static ccXform<2> wireframeXform(const ccGenPoly& g);
  // A dimension as a tolerance: its nominal, minimum and maximum as limits, read in the type
  // that corresponds to its scale type (eFixed limits, eScaleNominal offsets, eScaleAll
  // percentages), so that a tolerance turned into a dimension comes back as it was.
  static ccDimTol dimTol(const ccSMDDimension& d);
  // The same outline run the other way: segment spans negated and carried with their
  // tolerances, percentages and extensions exchanged, closedness and direction flag kept.
  static void reversePoly(const ccSMDGDPoly& in, ccSMDGDPoly& out);
  // out becomes a joined to b by a straight segment: a's end (its last vertex when aAtEnd,
  // else its first) to b's end (its last when bAtEnd, else its first), with a and b reversed
  // as needed. Both must be open (invalidVertices); a join that crosses throws the polygon's
  // error and leaves out as it was.
  static void connectPolys(const ccSMDGDPoly& a, bool aAtEnd, const ccSMDGDPoly& b, bool bAtEnd,
                           ccSMDGDPoly& out);
  // The dominant edge direction in [-45, 45) degrees: the directions of the edges between
  // consecutive vertex points, folded by multiples of 90 degrees towards the first edge's and
  // averaged by length-weighted sines and cosines. 0 with fewer than two vertices.
  static ccDegree dominantAngle(const ccSMDGDPoly& poly);
  // Length of the rounded outline mapped by x (arcs mapped by an affine map are elliptical).
  static double perimeter(const ccSMDGDPoly& poly, const ccXform<2>& x);
  // The polygon mirrored in the x axis: y and spans negated, the direction flag toggled so
  // that the polarity stays.
  static ccSMDGDPoly flip(const ccSMDGDPoly& poly);

  // Parts of polygons. A place on the polygon is a segment s and a fraction t in [0, 1] of
  // its way (of its length for a line, of its span for an arc). subPoly is the open polygon
  // running forward from (s0, t0) to (s1, t1), through every vertex between (kept as stored);
  // a cut end is a new sharp, unlabelled vertex, and a cut segment keeps its bulge but loses
  // its tolerance (its length changed). s1 == s0 with t1 <= t0 of a closed polygon runs all
  // the way round. invalidIndex for a segment that does not exist.
  static ccSMDGDPoly subPoly(const ccSMDGDPoly& poly, long s0, double t0, long s1, double t1);
  // The corner at vertex v: the share percentPrevSegment of the segment before v, v, and the
  // share percentNextSegment of the segment after it. invalidIndex unless both exist.
  static ccSMDGDPoly corner(const ccSMDGDPoly& poly, long v);
  // out becomes the parts of poly that carry the label: the closed polygon itself when every
  // vertex carries it and the corners all meet, otherwise one open polygon per run of
  // labelled vertices whose corners meet (percentages adding up to 1 on the shared segment).
  static void subModel(const ccSMDGDPoly& poly, long label, ccSMDGDModel& out);
  // pieces becomes the parts of poly inside the region (the inside of any of its polygons,
  // which must be closed: notClosed): poly itself when no segment crosses the border and it
  // lies inside, nothing when it lies outside, else the open runs between border crossings
  // (subPoly). A kept vertex whose rounding no longer fits a cut segment becomes sharp.
  static void crop(const ccSMDGDPoly& poly, const std::vector<ccSMDGDPoly>& region,
                   std::vector<ccSMDGDPoly>& pieces);

  // Filters of a working list of polygons. Each edits the list in place and keeps the order
  // of what remains. Perimeters are outline lengths (perimeter(poly)).
  // Removes the polygons whose perimeter is not within r.
  static void perimeterFilter(std::list<ccSMDGDPoly>& polys, const ccRange& r);
  // With exactly one flag set keeps only the polygons of that kind; otherwise does nothing.
  static void closureFilter(std::list<ccSMDGDPoly>& polys, bool keepOpen, bool keepClosed);
  // The segment-removing filters replace each polygon, at its place, by the pieces
  // deleteSegments leaves; a polygon that loses nothing stays as it is. They remove the
  // segments whose length (segmentLength_) is not within r; whose absolute angle span exceeds
  // abs(limit); and, at every vertex that is not an end vertex, both segments of the vertex
  // when abs(vertexAngle) is not within r. A failure leaves the list as far as it had come.
  static void segmentLengthFilter(std::list<ccSMDGDPoly>& polys, const ccRange& r);
  static void segmentAngleSpanFilter(std::list<ccSMDGDPoly>& polys, const ccDegree& limit);
  static void vertexAngleFilter(std::list<ccSMDGDPoly>& polys, const ccAngleRange& r);
  // out becomes the polygons of in, in order, without those that cross a longer one: a
  // polygon is dropped when it crosses an already kept polygon at least as long; otherwise
  // it is appended and the kept polygons it crosses are erased. So of two crossing polygons
  // of equal perimeter the earlier stays. Crossing means a non-empty intersection_.
  static void crossingPolysResolve(std::list<ccSMDGDPoly>& out, const std::list<ccSMDGDPoly>& in);
  // Cuts poly at the listed segments: pieces becomes one open polygon named "poly" per
  // maximal run of kept segments, holding the vertices (as stored) from the start of the
  // run's first segment to the end of its last. Runs of a closed polygon wrap past the last
  // vertex; pieces come in walk order, starting after the lowest removed segment that is
  // followed by a kept one. No vertices give no pieces; no segments listed give one piece, a
  // copy of poly. invalidIndex for a listed index that is not a segment of poly.
  static void deleteSegments(const ccSMDGDPoly& poly, const std::vector<long>& segments,
                             std::vector<ccSMDGDPoly>& pieces);
};
