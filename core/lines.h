// Straight figures: the line segment ccLineSeg, the set of segments ccLineSegSet, and the two
// infinite lines ccLine (direction and position) and ccFLine (implicit form).
#pragma once

#include <core/rect.h>
#include <core/shape.h>

#include <vector>

// The part [t0, t1] of the segment p + t (q - p), t in [0, 1], that lies in the closed box
// [lo, hi] (Liang-Barsky); false when no part does. The back ends cut far strokes with it
// before their fixed-point rasterisers see them.
bool clipSegmentToBox(const ccVector<2>& p, const ccVector<2>& q, const ccVector<2>& lo,
                      const ccVector<2>& hi, double& t0, double& t1);

// The segment from p1 to p2: an open contour. The two points may be equal (a segment of
// length 0, which has no tangent).
//
// Mapping: an affine map gives a ccLineSeg (map() and mapShape()).
class ccLineSeg : public ccShape {
  CC_SHAPE_CLASS(ccLineSeg)

 public:
  // From (0, 0) to (0, 0).
  ccLineSeg() = default;
  // Throws BadGeom for a non-finite coordinate.
  ccLineSeg(const ccVector<2>& p1, const ccVector<2>& p2);

  const ccVector<2>& p1() const { return p1_; }
  const ccVector<2>& p2() const { return p2_; }
  // BadGeom for a non-finite coordinate; the segment is then unchanged.
  void p1(const ccVector<2>& p);
  void p2(const ccVector<2>& p);
  double length() const { return p1_.distance(p2_); }
  ccVector<2> midPoint() const { return (p1_ + p2_) * 0.5; }
  // The point p1 + t (p2 - p1).
  ccVector<2> point(double t) const { return p1_ + (p2_ - p1_) * t; }

  bool operator==(const ccLineSeg& o) const { return p1_ == o.p1_ && p2_ == o.p2_; }
  bool operator!=(const ccLineSeg& o) const { return !(*this == o); }

  ccLineSeg map(const ccXform<2>& x) const { return ccLineSeg(x * p1_, x * p2_); }
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return true; }
  bool isRegion() const override { return false; }
  bool hasTangent() const override { return p1_ != p2_; }
  bool isReversible() const override { return true; }
  ccRect boundingBox() const override { return ccRect::fromCorners(p1_, p2_); }
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  ccVector<2> startPoint() const override { return p1_; }
  ccVector<2> endPoint() const override { return p2_; }
  // The direction of p2 - p1; NoTangent when the points are equal.
  ccRadian startAngle() const override;
  ccRadian endAngle() const override { return startAngle(); }
  ccRadian tangentRotation() const override { return ccRadian(0); }
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // The segment from p2 to p1.
  ccShapePtrh reverse() const override;
  // p1, points dividing the segment into equal parts no longer than spacing, p2.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override { return length(); }
  double nearestPerimPos(const ccVector<2>& p) const override;
  // The segment between the two positions (clamped to [0, length]); BadParams when
  // startPos > endPos.
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // Exact: the pieces of the segment inside the clipper, as ccLineSegs.
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> p1_;
  ccVector<2> p2_;
};

// Archive form of the value: version byte 0, p1, p2.
ccArchive& operator||(ccArchive& ar, ccLineSeg& s);

// A set of line segments, in order. Neither a contour nor a region; empty without segments.
//
// Mapping: an affine map gives a ccLineSegSet (map() and mapShape()).
class ccLineSegSet : public ccShape {
  CC_SHAPE_CLASS(ccLineSegSet)

 public:
  ccLineSegSet() = default;
  explicit ccLineSegSet(const std::vector<ccLineSeg>& segments) : segments_(segments) {}

  const std::vector<ccLineSeg>& segments() const { return segments_; }
  void segments(const std::vector<ccLineSeg>& s) {
    mutating();
    segments_ = s;
  }
  // Segment i; BadParams outside 0 to size() - 1.
  const ccLineSeg& segment(long i) const;
  long size() const { return static_cast<long>(segments_.size()); }
  void add(const ccLineSeg& s) {
    mutating();
    segments_.push_back(s);
  }

  bool operator==(const ccLineSegSet& o) const { return segments_ == o.segments_; }
  bool operator!=(const ccLineSegSet& o) const { return !(*this == o); }

  ccLineSegSet map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return false; }
  bool isEmpty() const override { return segments_.empty(); }
  bool hasTangent() const override { return false; }
  // EmptyShape when empty.
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  // A shape tree of the segments.
  bool isDecomposed() const override { return false; }
  ccShapePtrh decompose() const override;
  // The samplings of the segments one after the other.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // The total length of the segments.
  double perimeter() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // Exact: a ccLineSegSet of the pieces of every segment inside the clipper (also when there
  // is one piece or none).
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  std::vector<ccLineSeg> segments_;
};

// Archive form of the value: version byte 0, segment count, each segment's value form.
ccArchive& operator||(ccArchive& ar, ccLineSegSet& s);

// An infinite line through pos with direction dir. The direction is kept as given (not made
// a unit vector) and is never the zero vector. Infinite: isFinite() is false and
// boundingBox() throws BadGeom; it is neither an open contour nor a region, has a tangent
// and can be reversed.
//
// Mapping: an affine map gives a ccLine (position and direction mapped); a map that sends the
// direction to the zero vector throws DegenerateShape.
class ccLine : public ccShape {
  CC_SHAPE_CLASS(ccLine)

 public:
  // The x axis: direction (1, 0) through (0, 0).
  ccLine() = default;
  // Throws BadGeom for a non-finite coordinate, DegenerateShape for a zero direction.
  ccLine(const ccVector<2>& dir, const ccVector<2>& pos);
  // The line through pos in the direction angle (a unit direction).
  ccLine(const ccRadian& angle, const ccVector<2>& pos);

  const ccVector<2>& dir() const { return dir_; }
  const ccVector<2>& pos() const { return pos_; }
  // Setters check like the constructor and leave the line unchanged on error.
  void dir(const ccVector<2>& d);
  void pos(const ccVector<2>& p);
  // The direction angle, in (-pi, pi].
  ccRadian angle() const { return dir_.angle(); }

  bool operator==(const ccLine& o) const { return dir_ == o.dir_ && pos_ == o.pos_; }
  bool operator!=(const ccLine& o) const { return !(*this == o); }

  ccLine map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return false; }
  bool isFinite() const override { return false; }
  bool hasTangent() const override { return true; }
  bool isReversible() const override { return true; }
  // Throws BadGeom: the line is infinite.
  ccRect boundingBox() const override;
  // The foot of p on the line.
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  // The line with the opposite direction through the same position.
  ccShapePtrh reverse() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // Exact: the ccLineSeg pieces of the line inside the clipper (never wholly inside).
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> dir_{1, 0};
  ccVector<2> pos_;
};

// Archive form of the value: version byte 0, dir, pos.
ccArchive& operator||(ccArchive& ar, ccLine& l);

// An infinite line in implicit form: the points p with a p.x + b p.y + c = 0, where (a, b) is
// a unit normal. The line runs in the direction (b, -a) = (cos angle, sin angle), so that the
// normal points to its left (in a y-up frame). Infinite like ccLine.
//
// Mapping: an affine map gives a ccFLine; a map that sends the direction to the zero vector
// throws DegenerateShape.
class ccFLine : public ccShape {
  CC_SHAPE_CLASS(ccFLine)

 public:
  // How two lines meet.
  enum Intersect { eNone = 0, ePoint = 1, eCoincident = 2 };

  // The x axis, running in +x.
  ccFLine() = default;
  // The line through p1 and p2, running from p1 towards p2. BadGeom for a non-finite
  // coordinate, DegenerateShape when the points are equal.
  ccFLine(const ccVector<2>& p1, const ccVector<2>& p2);
  // The line through p running in the direction angle. BadGeom when not finite.
  ccFLine(const ccVector<2>& p, const ccRadian& angle);
  // The line a x + b y + c = 0, running in the direction (b, -a). The coefficients are
  // scaled so that (a, b) is a unit vector. BadGeom when not finite or when a = b = 0.
  ccFLine(double a, double b, double c);

  double a() const { return a_; }
  double b() const { return b_; }
  double c() const { return c_; }
  // Cosine and sine of the direction angle: the unit direction is (cosAngle, sinAngle).
  double cosAngle() const { return b_; }
  double sinAngle() const { return -a_; }
  ccRadian angle() const { return cfAtan2(-a_, b_); }
  ccVector<2> dir() const { return ccVector<2>(b_, -a_); }
  ccVector<2> normal() const { return ccVector<2>(a_, b_); }
  // The point of the line nearest to the origin.
  ccVector<2> point() const { return ccVector<2>(-c_ * a_, -c_ * b_); }

  // a p.x + b p.y + c: the distance of p from the line, positive left of it.
  double signedDistance(const ccVector<2>& p) const { return a_ * p.x() + b_ * p.y() + c_; }
  // The foot of p on the line.
  ccVector<2> closestPoint(const ccVector<2>& p) const;
  // How this line meets other. Lines are parallel when the sine of the angle between them is
  // at most ccParallelLinesTolerance in magnitude; parallel lines are coincident when other's
  // point() lies within ccRoundingTolerance (relative to its distance from the origin, at
  // least 1) of this line.
  //   ePoint:      point is the crossing;
  //   eCoincident: point is this line's point() (the foot of the origin);
  //   eNone:       parallel and apart; point is left unchanged.
  Intersect intersect(const ccFLine& other, ccVector<2>& point) const;
  // The crossing as a list: one point for lines that cross, none for parallel or coincident
  // lines (coincident lines have no single crossing; ask intersect() to tell them apart).
  std::vector<ccVector<2>> intersection(const ccFLine& other) const;

  // Exact comparison of the coefficients.
  bool operator==(const ccFLine& o) const { return a_ == o.a_ && b_ == o.b_ && c_ == o.c_; }
  bool operator!=(const ccFLine& o) const { return !(*this == o); }

  ccFLine map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return false; }
  bool isFinite() const override { return false; }
  bool hasTangent() const override { return true; }
  bool isReversible() const override { return true; }
  // Throws BadGeom: the line is infinite.
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override { return closestPoint(p); }
  double distanceToPoint(const ccVector<2>& p) const override;
  // The same points running the other way: (-a, -b, -c).
  ccShapePtrh reverse() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  // Exact: the ccLineSeg pieces of the line inside the clipper (never wholly inside).
  ccShapePtrh clip_(const ccPolyline& clipper, ccClipInfo& info) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  // Sets the normalised coefficients; throws like the coefficient constructor.
  void set(double a, double b, double c);

  double a_ = 0;
  double b_ = 1;
  double c_ = 0;
};

// Archive form of the value: version byte 0, a, b, c.
ccArchive& operator||(ccArchive& ar, ccFLine& l);
