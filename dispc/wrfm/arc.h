// The circular wireframe segment, cc2SegmentArc: a circular arc carried by an affine map, so
// elliptical in the world. Its straight twin is cc2SegmentLine (dispc/wrfm/lineseg.h).
//
// Angles are ccDegree throughout. Approximate tests use cfRealEq with the tolerances of
// dispc/tolerance.h: ccRealEqEpsilon (absolute) for "equal" and "zero", ccLineLengthTolerance of
// a line's length and ccArcSpanTolerance of an arc's |span|.
//
// Fraction arguments t must lie in [0, 1] (within ccRealEqEpsilon of either end passes); another
// value is reported through cstd_assert_ and the computation goes on with the given t.
#pragma once

#include <core/angle.h>
#include <core/archive.h>
#include <core/ellipse.h>
#include <core/lines.h>
#include <core/rect.h>
#include <core/vector.h>
#include <core/xform.h>
#include <dispc/tolerance.h>
#include <dispc/wrfm/lineseg.h>

#include <iosfwd>
#include <vector>

// A circular arc in a local frame, carried into the world by an affine map (so in the world it
// may be elliptical). The local arc runs from startAngle over the signed angleSpan: positive
// counter-clockwise, negative clockwise, |span| >= 360 the whole circle.
//
// Every public query works in world coordinates; world directions are turned into local ones
// with the map's invMapAngle and back with mapAngle. The private twins ending in _ work in the
// local frame.
class cc2SegmentArc {
 public:
  // The unit circle: centre (0, 0), radius 1, start 0, span 360, identity map.
  cc2SegmentArc() = default;
  // Identity map. Throws ccShapesError::DegenerateShape when radius <= 0.
  cc2SegmentArc(const ccVector<2>& center, double radius, const ccDegree& startAngle,
                const ccDegree& angleSpan);
  // The arc from p1 to p2 sweeping the signed span. Throws DegenerateShape when the span is 0
  // (within ccRealEqEpsilon) or beyond +-360, or when the points are equal.
  cc2SegmentArc(const ccVector<2>& p1, const ccVector<2>& p2, const ccDegree& angleSpan);
  // The unit-circle arc of the ellipse's parametric angles, carried by the map from the unit
  // circle onto the ellipse. A ccEllipseArc gives a span in [0, 360) (a full ellipse gives 0);
  // a ccEllipseArc2 keeps its signed span. Both throw DegenerateShape for an ellipse with a
  // zero radius: its map could not be inverted, and every world query needs the inverse.
  explicit cc2SegmentArc(const ccEllipseArc& e);
  explicit cc2SegmentArc(const ccEllipseArc2& e);

  ccVector<2> center() const { return map_ * center_; }
  ccDegree startAngle() const { return mapAngle(startAngle_); }
  ccDegree endAngle() const { return mapAngle(endAngle_()); }
  ccDegree midAngle() const { return mapAngle(midAngle_()); }
  // The world direction from the centre at fraction t of the local span.
  ccDegree angle(double t) const { return mapAngle(angle_(t)); }
  ccVector<2> p1() const { return map_ * point_(startAngle_); }
  ccVector<2> p2() const { return map_ * point_(endAngle_()); }
  ccVector<2> midPoint() const { return map_ * point_(midAngle_()); }
  ccVector<2> segPoint(double t) const { return map_ * segPoint_(t); }

  // Directions of travel.
  ccDegree startDirection() const { return mapAngle(travel_(startAngle_)); }
  ccDegree endDirection() const { return mapAngle(travel_(endAngle_())); }
  ccDegree midDirection() const { return mapAngle(travel_(midAngle_())); }
  ccDegree direction(double t) const { return mapAngle(travel_(angle_(t))); }

  ccVector<2> centerOfMass() const { return map_ * centerOfMass_(); }
  // The point of the arc's circle (ellipse) in world direction a from the centre.
  ccVector<2> arcPoint(const ccDegree& a) const { return map_ * point_(invMapAngle(a)); }
  // The tangent line at the point in world direction a.
  ccFLine tangent(const ccDegree& a) const;
  ccFLine tangent(double t) const { return tangent(angle(t)); }

  // The world radius in world direction a.
  double radius(const ccDegree& a) const { return (arcPoint(a) - center()).length(); }
  // The signed world span: negative when the arc runs clockwise in the world.
  ccDegree angleSpan() const;
  // The circular length in the world: radius(0) times the span.
  double length() const;
  // The chord |p2 - p1|.
  double segmentLength() const { return (p2() - p1()).length(); }
  ccRect boundingBox() const { return ellipseArc().encloseRect(); }

  ccEllipseArc ellipseArc() const;
  ccEllipseArc2 ellipseArc2() const;

  // Whether world direction a from the centre falls within the arc; the ends count (within
  // ccArcSpanTolerance of the span) only when inclusive.
  bool validAngle(const ccDegree& a, bool inclusive) const {
    return validAngle_(invMapAngle(a), inclusive);
  }
  // p lies on the arc (locally within ccRealEqEpsilon of the radius). The flag is not used.
  bool validPoint(const ccVector<2>& p, bool inclusive) const;
  // Whether the direction of p from the centre falls within the arc; never the centre.
  bool inRange(const ccVector<2>& p, bool inclusive) const;
  ccVector<2> closestPoint(const ccVector<2>& p) const;
  double distToPoint(const ccVector<2>& p) const { return p.distance(closestPoint(p)); }

  // The crossings with a line, a segment or another arc, in order; excludeEnds drops those at
  // the ends. Arcs are intersected with the world radii read along the line of centres, so
  // arcs under maps other than uniform scalings are intersected approximately.
  std::vector<ccVector<2>> intersection(const ccFLine& line, bool excludeEnds) const;
  std::vector<ccVector<2>> intersection(const cc2SegmentLine& seg, bool excludeEnds) const;
  std::vector<ccVector<2>> intersection(const cc2SegmentArc& other, bool excludeEnds) const;

  // World start angle, span, centre and the radii at both ends agree within ccRealEqEpsilon.
  bool operator==(const cc2SegmentArc& o) const;
  bool operator!=(const cc2SegmentArc& o) const { return !(*this == o); }

  friend std::ostream& operator<<(std::ostream& os, const cc2SegmentArc& a) {
    a.print_(os);
    return os;
  }
  // Archive form: version byte 1, centre, radius, start angle and span (degrees, doubles),
  // map. Version 0 has no map and loads with the identity.
  friend ccArchive& operator||(ccArchive& ar, cc2SegmentArc& a);

  // The map is applied after the arc's own.
  friend cc2SegmentArc operator*(const ccXform<2>& x, const cc2SegmentArc& a);

 private:
  ccDegree mapAngle(const ccDegree& a) const { return ccDegree(map_.mapAngle(a)); }
  ccDegree invMapAngle(const ccDegree& a) const { return ccDegree(map_.invMapAngle(a)); }

  // Local frame.
  ccDegree endAngle_() const { return startAngle_ + angleSpan_; }
  ccDegree midAngle_() const { return startAngle_ + angleSpan_ / 2; }
  ccDegree angle_(double t) const;
  // The direction of travel at local angle a.
  ccDegree travel_(const ccDegree& a) const;
  ccVector<2> point_(const ccDegree& a) const;
  ccVector<2> segPoint_(double t) const;
  ccVector<2> centerOfMass_() const;
  double length_() const;
  bool validAngle_(const ccDegree& a, bool inclusive) const;
  ccVector<2> closestPoint_(const ccVector<2>& q) const;
  ccRect boundingBox_() const;

  void print_(std::ostream& os) const;

  ccVector<2> center_;
  double radius_ = 1;
  ccDegree startAngle_;
  ccDegree angleSpan_{360};
  ccXform<2> map_;
};

inline ccArchive& operator>>(ccArchive& ar, cc2SegmentArc& a) { return ar || a; }

cc2SegmentArc operator*(const cc2Rigid& r, const cc2SegmentArc& a);
