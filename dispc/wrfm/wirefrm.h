// cc2Wireframe: a general polygon with a length tolerance on every segment and a polarity.
//
// It adds no data: the tolerance of segment s is the segmentLengthTol of its end vertex,
// vertex (s + 1) mod n, of the SMD polygon the general polygon owns, and the polarity is that
// polygon's direction-reversed flag. A segment made without a tolerance has none
// (ccDimTol(-1, -1, -1)). Edits follow ccGenPoly's rules (BadGeom when not mutable, the SMD
// polygon's error and no change when it rejects the edit).
#pragma once

#include <dispc/dimtol.h>
#include <dispc/wrfm/genpoly.h>

class cc2Wireframe : public ccGenPoly {
  CC_SHAPE_CLASS(cc2Wireframe)

 public:
  // Empty and open.
  cc2Wireframe() = default;
  cc2Wireframe(const cc2Wireframe& other);
  explicit cc2Wireframe(const ccGenPoly& poly);
  // A copy of poly whose every segment, the closing one included, has tolerance tol; made
  // also from a polygon that is not mutable, whose flag the copy keeps.
  cc2Wireframe(const ccGenPoly& poly, const ccDimTol& tol);
  cc2Wireframe& operator=(const cc2Wireframe& other);
  ~cc2Wireframe() override = default;

  // Inserts after vertex i (-1: at the front); the segment that then ends at the new vertex
  // gets tol, and the second half of a split segment has no tolerance. A front insertion
  // sets no tolerance.
  void insertVertex(long i, const ccVector<2>& p, double roundingSize,
                    const ccRadian& segmentAngleSpan, const ccDimTol& tol);
  // Appends.
  void insertVertex(const ccVector<2>& p, double roundingSize, const ccRadian& segmentAngleSpan,
                    const ccDimTol& tol);
  using ccGenPoly::insertVertex;
  // Closes an open wireframe with a closing segment of the span and tolerance; a closed one
  // is left as it is.
  void close(const ccRadian& segmentAngleSpan, const ccDimTol& tol);
  using ccGenPoly::close;

  // Sets the tolerance of segment s (BadGeom when not mutable, BadCoef without segment s).
  void segmentLengthTol(long s, const ccDimTol& tol);
  // The tolerance of segment s with its nominal set to the segment's current length.
  ccDimTol segmentLengthTol(long s) const;

  bool isPolarityReversed() const { return smdPoly_().isDirectionReversed(); }
  // Toggles the direction when it differs, then calls polarity_.
  void polarity(bool reversed);
  // Closed wireframes only (BadGeom): the SMD polygon's positive direction, inverted when the
  // map reflects (its determinant is negative).
  bool isInsidePositive() const;
  // Toggles the direction when isInsidePositive() differs (no polarity_ call).
  void insidePolarity(bool positive);

  cc2Wireframe map(const ccXform<2>& x) const { return cc2Wireframe(ccGenPoly::map(x)); }
  cc2Wireframe map(const cc2Rigid& r, double scale) const {
    return cc2Wireframe(ccGenPoly::map(r, scale));
  }
  using ccShape::map;

  bool operator==(const cc2Wireframe& o) const { return ccGenPoly::operator==(o); }
  bool operator!=(const cc2Wireframe& o) const { return !(*this == o); }

  // Archive: version byte 0, then the whole ccGenPoly record. Another version throws
  // ccArchive::UnknownVersion with "dispc/wrfm/wirefrm".
  void dispatchSerialize(ccArchive& ar) override;
  // Loading only: version byte 0, then ccGenPoly::loadSimple.
  void loadSimple(ccArchive& ar) override;

 protected:
  // An invalid segment length becomes BadGeom; anything else as ccGenPoly does.
  void remapAndThrowError_(ccException& e) const override;
  // Called after polarity() changed the direction; does nothing here.
  virtual void polarity_(bool reversed);

 private:
  void setTol_(ccSMDGDPoly& poly, long s, const ccDimTol& tol) const;
};
