// ccSMDGDModel: the geometric description of a whole device, an ordered set of SMD polygons
// placed by a pose; and ccSMDGDModelPrivate, the static model tools (extensions, building from
// wireframes, dominant angles, perimeters, conversions, cropping).
//
// A model owns its polygons by value. Editing rebuilds the model by appending its polygons
// again, so the label list always holds the distinct sub-model labels of the polygons in order
// of first appearance. No crossing or nesting test is made when polygons are added: each
// polygon keeps itself valid, the model only gathers them. A model is a value used by one
// thread at a time.
#pragma once

#include <core/angle.h>
#include <core/archive.h>
#include <core/exception.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/xform.h>
#include <dispc/errors.h>
#include <dispc/smd/description.h>
#include <dispc/smd/poly.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class cc2Wireframe;

class ccSMDGDModel : public ccSMDGeometricDescription {
 public:
  class Errors : public ccException {
   public:
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;

   protected:
    Errors() = default;
    explicit Errors(const std::string& message) : ccException(message) {}
  };
  class invalidIndex : public ccErrorClass<invalidIndex, Errors, 0x11000370> {
   public:
    invalidIndex() : ccErrorClass("Invalid poly index specified.") {}
  };
  // Defined and persistent; no operation of the model raises it.
  class crossingPolys : public ccErrorClass<crossingPolys, Errors, 0x11000371> {
   public:
    crossingPolys() : ccErrorClass("At least two polys intersect.") {}
  };
  class nestedPolys : public ccErrorClass<nestedPolys, Errors, 0x11000372> {
   public:
    nestedPolys() : ccErrorClass("At least one of the polys is nested.") {}
  };

  // An empty model at the identity position.
  explicit ccSMDGDModel(const std::string& name = std::string());
  ccSMDGDModel(const ccSMDGDModel&) = default;
  ccSMDGDModel& operator=(const ccSMDGDModel&) = default;
  ~ccSMDGDModel() override = default;
  void swap(ccSMDGDModel& other) noexcept;
  void reInit() override { reset(); }

  // Appends a copy of the polygon and the labels it adds.
  ccSMDGDModel& operator<<(const ccSMDGDPoly& poly);
  // Appends every polygon of the other model in order.
  ccSMDGDModel& operator<<(const ccSMDGDModel& model);
  // Appends one polygon per wireframe (the wireframe's polygon without its map);
  // ccShapesError::BadGeom, and nothing appended, when one of them is not a valid polygon.
  ccSMDGDModel& operator<<(const std::vector<cc2Wireframe>& wireframes);
  // Replaces every polygon.
  void polys(const std::vector<ccSMDGDPoly>& polys);
  const std::vector<ccSMDGDPoly>& polys() const { return polys_; }
  // invalidIndex outside 0..numPolys()-1.
  const ccSMDGDPoly& poly(long i) const;
  long numPolys() const { return static_cast<long>(polys_.size()); }
  long numVertices() const;
  const std::vector<std::int32_t>& subModelLabels() const { return subModelLabels_; }
  const cc2Rigid& position() const { return position_; }
  void position(const cc2Rigid& p);

  // True when any polygon is open; an empty model is closed.
  bool isOpen() const;
  bool isClosed() const { return !isOpen(); }
  // Set the value on every polygon.
  void colors(const ccSMDColors& c);
  void positiveArrowColor(const ccColor& c);
  void negativeArrowColor(const ccColor& c);

  // Same polygon count, polygon k equal to polygon k, equal positions. Names are not compared.
  bool operator==(const ccSMDGDModel& o) const;
  bool operator!=(const ccSMDGDModel& o) const { return !(*this == o); }

  // The union of the polygons' boxes mapped by x; a null rectangle for an empty model.
  ccRect boundingBox(const ccXform<2>& x = ccXform<2>()) const;
  // The polygons, in order, with at least one segment out of tolerance.
  std::vector<long> polysOutOfTolerance(const ccXform<2>& x1, const ccXform<2>& x2) const;

  // out becomes the model of the parts of every polygon that carry the label (each labelled
  // vertex with the shares of its two segments its percentages give), moved so that its
  // normalised position is the origin; out's position is that normalised position. A label no
  // vertex carries gives an empty model at the identity. ccSMDGDPoly::badSubModel, out
  // unchanged, when the parts are not 2D: no arc, no rounding, every vertex point on one line.
  void subModel(long label, ccSMDGDModel& out) const;
  // Every polygon mirrored in the x axis (y negated, spans negated, direction flag toggled so
  // that polarity stays); position (-angle, -translation).
  ccSMDGDModel flip() const;

  // Each polygon's wireframe, and each polygon's direction arrows (size 2), in index order
  // (overlay.cpp).
  void drawWireframe(const ccXform<2>& xform, ccUITablet& tablet) const override;
  void drawDirectionArrows(const ccXform<2>& xform, ccUITablet& tablet) const;
  // Each polygon drawn synthetically in index order (the handle form of the polygon); the
  // affine form wraps its transform in a cc2XformLinear handle.
  void drawSynthetic(const ccXform<2>& xform, ccPelBuffer<unsigned char>& image) const override;
  void drawSynthetic(const ccPtrHandle_const<cc2XformBase>& xform,
                     ccPelBuffer<unsigned char>& image) const override;

  // Extensions: every polygon gets setExtensions_(e) (e >= 0) or its default extensions
  // (e < 0), then for every ordered pair of polygons (i, j), i == j included, polygon i's
  // extensions are shortened against polygon j (ccSMDGDPoly::checkExtensions_).
  void setExtensions_(double checkDist, const ccDegree& angleTol, double d, double e);

  // Archive: version byte (0), the description record, the polygons, the labels, the
  // position. Another version throws ccArchive::UnknownVersion with no source. A failed load
  // leaves the polygons, labels and position as they were.
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccSMDGDModel; }

 protected:
  // Rebuild the model by appending (the name becomes empty, the position stays). An index
  // outside 0..numPolys()-1 leaves the polygons as they are.
  void replacePoly(long i, const ccSMDGDPoly& poly);
  void deletePoly(long i);
  void deleteAllPolys();
  void reset();
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  friend class ccSMDGDModelPrivate;
  void addLabels_(const ccSMDGDPoly& poly);
  // Assigns the model of the given polygons with this position and the given name.
  void rebuild_(const std::vector<ccSMDGDPoly>& polys, const std::string& name = std::string());

  std::vector<ccSMDGDPoly> polys_;
  std::vector<std::int32_t> subModelLabels_;
  cc2Rigid position_;
};

// A new model (empty name, identity position) of every polygon moved by r.
ccSMDGDModel operator*(const cc2Rigid& r, const ccSMDGDModel& model);
// A new model (empty name) of every polygon scaled by s; position (angle, s * translation).
ccSMDGDModel operator*(double s, const ccSMDGDModel& model);

// The static model tools. Adds no data; archived like ccSMDGDModel under its own class name.
class ccSMDGDModelPrivate : public ccSMDGDModel {
 public:
  using ccSMDGDModel::ccSMDGDModel;
  explicit ccSMDGDModelPrivate(const ccSMDGDModel& model) : ccSMDGDModel(model) {}
  static ccPersistent* make() { return new ccSMDGDModelPrivate; }

  // The editing protected in ccSMDGDModel, for the model tools.
  static void replacePoly(ccSMDGDModel& model, long i, const ccSMDGDPoly& poly);
  static void deletePoly(ccSMDGDModel& model, long i);
  static void deleteAllPolys(ccSMDGDModel& model);
  // Every polygon's negative wireframe in index order, red on layer 0 whatever the polygons'
  // colours (overlay.cpp).
  static void drawNegWireframe(const ccSMDGDModel& model, const ccXform<2>& xf, ccUITablet& t);

  static bool equivalent(const ccSMDGDPoly& a, const ccSMDGDPoly& b) { return a == b; }
  static const cc2Rigid& position(const ccSMDGDModel& model) { return model.position(); }
  // The mean of the polygons' centres weighted by their vertex counts; (0, 0) when empty.
  static ccVector<2> centerOfMass(const ccSMDGDModel& model);
  // The angle of polygon 0's position; 0 when empty.
  static ccRadian orientation(const ccSMDGDModel& model);
  // (orientation, point of vertex 1) for a model of one three-vertex polygon (a corner),
  // otherwise (orientation, centre of mass).
  static cc2Rigid normalizedPosition(const ccSMDGDModel& model);

  // setExtensions_(8 d, 10 degrees, d, e): extensions of fraction e at corners, kept at least
  // d (8 d alongside a segment within 10 degrees of their direction) from other segments.
  static void setExtensions(ccSMDGDModel& model, double d, double e);

  // Model building from weighted wireframes. The lists must be as long as each other and not
  // empty, every weight within [-1, 1] (invalidIndex otherwise). A weight of 0 drops its
  // wireframe; every other gives a copy of the wireframe's polygon with its direction toggled
  // and the weight set. wireframeXforms returns the maps of the same wireframes, parallel to
  // the model's polygons.
  static ccSMDGDModel weightedWireframesToModel(std::vector<cc2Wireframe> wireframes,
                                                std::vector<double> weights);
  static std::vector<ccXform<2>> wireframeXforms(std::vector<cc2Wireframe> wireframes,
                                                 std::vector<double> weights);
  // One polygon per core polygon (ccSMDGDPolyPrivate::convert).
  static ccSMDGDModel convert(const std::vector<ccPolygon>& polygons);

  // The dominant edge direction of the polygons, in [-45, 45) degrees: their dominant angles
  // averaged by sines and cosines weighted by perimeter, then folded by a multiple of 90
  // degrees. 0 for an empty model.
  static ccDegree dominantAngle(const ccSMDGDModel& model);
  // The averaging and folding step on its own: directions with their weights.
  static ccDegree dominantAngle(const std::vector<std::pair<ccDegree, double>>& weighted);
  // The sum of the polygons' outline lengths, times scale.
  static double perimeter(const ccSMDGDModel& model, double scale = 1.0);

  // The boxes of the model's two wireframes mapped by xf; a null rectangle when there is
  // nothing to draw. Positive: the rounded outlines (drawWireframe), as boundingBox. Negative:
  // the extension pieces (drawNegWireframe), each arc at most one turn (overlay.cpp).
  static ccRect boundingBoxPositive(const ccSMDGDModel& model, const ccXform<2>& xf = ccXform<2>());
  static ccRect boundingBoxNeg(const ccSMDGDModel& model, const ccXform<2>& xf = ccXform<2>());
  // The edge probes an inspection needs along the positive wireframe mapped by x, with probes
  // at most spacing apart: each piece of the rounded outlines (the rounded part of a segment,
  // the rounding of a vertex) of mapped length L > 0 takes ceil(L / spacing) of them.
  // ccShapesError::BadParams unless spacing is positive and finite, or beyond 1e15 probes.
  static long numPosProbesRequired(const ccSMDGDModel& model, double spacing,
                                   const ccXform<2>& x = ccXform<2>());

  // Cropping. out becomes the parts of the model's polygons that lie inside the region: a
  // polygon wholly inside is kept as it is, one wholly outside is dropped, and one that
  // crosses the region's border is cut into open pieces whose cut segments end on the border
  // (ccSMDGDPolyPrivate::crop). Out keeps the model's position. The region of a polygon is its
  // inside; of several polygons, the inside of any of them. Cropping polygons must be closed
  // (ccSMDGDPoly::notClosed); a cropping model whose polygons nest throws nestedPolys. out is
  // unchanged when anything throws.
  static void crop(const ccSMDGDModel& model, const ccSMDGDPoly& region, ccSMDGDModel& out);
  static void crop(const ccSMDGDModel& model, const ccPolygon& region, ccSMDGDModel& out);
  static void crop(const ccSMDGDModel& model, const std::vector<ccPolygon>& region,
                   ccSMDGDModel& out);
  static void crop(const ccSMDGDModel& model, const ccSMDGDModel& region, ccSMDGDModel& out);
};
