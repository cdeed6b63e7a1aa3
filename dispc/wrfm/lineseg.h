// The straight wireframe segment, cc2SegmentLine; its circular twin is cc2SegmentArc
// (dispc/wrfm/arc.h). Both are plain values with the same family of queries.
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
#include <core/lines.h>
#include <core/rect.h>
#include <core/vector.h>
#include <core/xform.h>
#include <dispc/tolerance.h>

#include <iosfwd>
#include <vector>

// A straight segment from p1 to p2 (two different points).
class cc2SegmentLine {
 public:
  // Both end points at the origin.
  cc2SegmentLine() = default;
  // Throw ccShapesError::DegenerateShape when the points are equal.
  cc2SegmentLine(const ccVector<2>& p1, const ccVector<2>& p2);
  explicit cc2SegmentLine(const ccLineSeg& seg);

  const ccVector<2>& p1() const { return p1_; }
  const ccVector<2>& p2() const { return p2_; }
  ccVector<2> midPoint() const { return (p1_ + p2_) / 2; }
  // p1 + t (p2 - p1).
  ccVector<2> segPoint(double t) const;

  ccLineSeg lineSeg() const { return ccLineSeg(p1_, p2_); }
  // The infinite line through p1 and p2, running from p1 towards p2.
  ccFLine line() const { return ccFLine(p1_, p2_); }
  // The line itself, whatever t.
  ccFLine tangent(double) const { return line(); }

  // The direction of p2 - p1.
  ccDegree angle() const { return ccDegree((p2_ - p1_).angle()); }
  ccDegree endDirection() const { return angle(); }
  ccDegree direction(double t) const;
  double length() const { return (p2_ - p1_).length(); }
  ccRect boundingBox() const;

  // The foot of p on the segment's line when it is within range, else the nearer end point
  // (p1 on a tie).
  ccVector<2> closestPoint(const ccVector<2>& p) const;
  double distToPoint(const ccVector<2>& p) const { return p.distance(closestPoint(p)); }
  // Whether the projection of p along the segment falls between the ends; the ends count
  // (within ccLineLengthTolerance of the length) only when inclusive. The distance from the line is
  // ignored.
  bool inRange(const ccVector<2>& p, bool inclusive) const;
  // p lies on the segment (within ccLineLengthTolerance of the length). The flag is not used.
  bool validPoint(const ccVector<2>& p, bool inclusive) const;

  // The crossings with a line or another segment, in order; excludeEnds drops those at the
  // ends of the segments. Parallel and coincident lines give none.
  std::vector<ccVector<2>> intersection(const ccFLine& line, bool excludeEnds) const;
  std::vector<ccVector<2>> intersection(const cc2SegmentLine& other, bool excludeEnds) const;

  // The coordinates agree within ccRealEqEpsilon.
  bool operator==(const cc2SegmentLine& o) const;
  bool operator!=(const cc2SegmentLine& o) const { return !(*this == o); }

  friend std::ostream& operator<<(std::ostream& os, const cc2SegmentLine& s) {
    s.print_(os);
    return os;
  }
  // Archive form: version byte 0, p1, p2.
  friend ccArchive& operator||(ccArchive& ar, cc2SegmentLine& s);

 private:
  void print_(std::ostream& os) const;

  ccVector<2> p1_;
  ccVector<2> p2_;
};

inline ccArchive& operator>>(ccArchive& ar, cc2SegmentLine& s) { return ar || s; }

// Both end points mapped; a map that collapses them throws DegenerateShape.
cc2SegmentLine operator*(const cc2Rigid& r, const cc2SegmentLine& s);
cc2SegmentLine operator*(const ccXform<2>& x, const cc2SegmentLine& s);
