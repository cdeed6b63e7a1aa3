// Curves built of cubic pieces: the rational cubic Bézier curve, chains of them
// (ccCubicSpline) and three ways of defining such a chain: by B-spline control points and
// knots (ccDeBoorSpline), by points to pass through (ccInterpSpline) and by points with
// tangents (ccHermiteSpline).
//
// All of them are open contours. A ccCubicSpline is the union of its curves in order: its
// contour runs through the curves one after the other, and where a curve does not end where
// the next one starts the spline has a gap (nothing joins them; a sampling shows the gap as
// one straight step). The three defining classes derive from ccCubicSpline: they keep
// their defining values and the exact chain of Bézier curves those values give, so every
// ccCubicSpline operation (curves(), sampling, drawing) applies to them too.
//
// Mapping table (affine maps; every one is exact):
//   ccBezierCurve   -> ccBezierCurve   control points mapped, weights kept
//   ccCubicSpline   -> ccCubicSpline   every curve mapped
//   ccDeBoorSpline  -> ccDeBoorSpline  control points mapped, knots kept
//   ccInterpSpline  -> ccInterpSpline  points and end tangents mapped, parameters kept
//   ccHermiteSpline -> ccHermiteSpline points and tangents mapped
// map() and mapShape() give the same class.
#pragma once

#include <core/rect.h>
#include <core/shape.h>

#include <array>
#include <functional>
#include <vector>

// A rational cubic Bézier curve: four control points P0..P3 with weights w0..w3 > 0,
//   C(t) = sum_i B_i(t) w_i P_i / sum_i B_i(t) w_i,  B_i the cubic Bernstein polynomials,
// for t in [0, 1], from P0 (t = 0) to P3 (t = 1). Equal weights give the ordinary
// (polynomial) cubic Bézier curve. With positive weights the curve lies in the convex hull of
// its control points, and a rational cubic can express conic arcs exactly (see
// quadraticArc()).
class ccBezierCurve : public ccShape {
  CC_SHAPE_CLASS(ccBezierCurve)

 public:
  using Points = std::array<ccVector<2>, 4>;
  using Weights = std::array<double, 4>;

  // All four control points at (0, 0), weights 1: a curve of length 0.
  ccBezierCurve();
  // A polynomial curve (weights 1). Throws BadGeom for a non-finite coordinate.
  ccBezierCurve(const ccVector<2>& p0, const ccVector<2>& p1, const ccVector<2>& p2,
                const ccVector<2>& p3);
  // Throws BadGeom for a non-finite coordinate and BadCoef for a weight that is not finite
  // and positive.
  explicit ccBezierCurve(const Points& points, const Weights& weights = {1, 1, 1, 1});
  // The rational quadratic curve p0, p1, p2 with weights 1, w, 1 raised to a cubic (the same
  // curve). With w = cos(a / 2) it is the circular arc of angle a (< pi) tangent to p0p1 at
  // p0 and to p1p2 at p2 when |p1 - p0| = |p2 - p1|. Errors as the constructor above.
  static ccBezierCurve quadraticArc(const ccVector<2>& p0, const ccVector<2>& p1,
                                    const ccVector<2>& p2, double w);

  const Points& controlPoints() const { return p_; }
  const Weights& weights() const { return w_; }
  // Control point and weight i (0 to 3; BadParams otherwise).
  const ccVector<2>& controlPoint(int i) const;
  double weight(int i) const;
  // Setters check like the constructor; on error the curve is unchanged.
  void controlPoint(int i, const ccVector<2>& p);
  void weight(int i, double w);
  void controlPoints(const Points& points);
  void weights(const Weights& weights);

  // True when the weights differ (a curve with equal weights is polynomial).
  bool isRational() const;

  // The point at parameter t (meaningful in [0, 1]).
  ccVector<2> point(double t) const;
  // The derivative dC/dt at t.
  ccVector<2> derivative(double t) const;
  // The curve split at t (in [0, 1]; BadParams otherwise) into the pieces over [0, t] and
  // [t, 1], each exactly the same points, reparameterised to [0, 1].
  void split(double t, ccBezierCurve& first, ccBezierCurve& second) const;
  // The piece over [t0, t1] (0 <= t0 <= t1 <= 1; BadParams otherwise), reparameterised.
  ccBezierCurve piece(double t0, double t1) const;
  // The parameter of the point nearest to p (the smaller one on ties).
  double nearestParam(const ccVector<2>& p) const;
  // Arc length from parameter 0 to t (adaptive Gauss-Legendre quadrature to a relative
  // tolerance of ccArcLengthTolerance).
  double lengthTo(double t) const;
  // The parameter at arc length s from the start (s clamped to [0, perimeter()]).
  double paramAtLength(double s) const;

  bool operator==(const ccBezierCurve& o) const { return p_ == o.p_ && w_ == o.w_; }
  bool operator!=(const ccBezierCurve& o) const { return !(*this == o); }

  ccBezierCurve map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return true; }
  bool isRegion() const override { return false; }
  // False when all four control points coincide.
  bool hasTangent() const override;
  bool isReversible() const override { return true; }
  // Exact: the end points and the points where dx/dt or dy/dt is 0 (found as the roots of a
  // polynomial of degree 4 in [0, 1], to rounding).
  ccRect boundingBox() const override;
  // Exact to rounding: the roots in [0, 1] of the derivative of the squared distance (a
  // polynomial of degree 5, or 7 for a rational curve) and the end points are compared.
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  ccVector<2> startPoint() const override { return p_[0]; }
  ccVector<2> endPoint() const override { return p_[3]; }
  // Direction of the curve leaving P0 (entering P3): towards the first control point that
  // differs from the end point. NoTangent when all coincide.
  ccRadian startAngle() const override;
  ccRadian endAngle() const override;
  // Exact: the curve is split until the bounding box of each piece's control points leaves
  // p outside; each piece then subtends less than pi at p.
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // The curve with its control points and weights in reverse order.
  ccShapePtrh reverse() const override;
  // Adaptive subdivision: a piece is accepted when its control points lie within
  // params.tolerance of its chord (the curve lies in their convex hull, so the polyline is
  // then within the tolerance of the curve, both ways) and, with a spacing, when its control
  // polygon (longer than the piece) is no longer than the spacing. Tolerance and spacing 0
  // give the two end points. Uniform sampling places the points at equal arc lengths. When
  // more than maxPoints would be needed, exactly maxPoints points are placed at equal arc
  // lengths. P0 comes first and P3 last. BadParams for a negative spacing or tolerance,
  // maxPoints < 2, or uniform with spacing 0.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // The adaptive sampling above (params.uniform is ignored), where a piece for which
  // skip(piece) is true is taken as its chord without being split: a caller drawing the curve
  // skips pieces that cannot show, so that a curve mostly off the screen costs only the points
  // of the part that shows. False, with result cleared, when more than params.maxPoints points
  // would be needed. Errors as sample().
  bool sampleAdaptive(const ccSampleParams& params,
                      const std::function<bool(const ccBezierCurve&)>& skip,
                      ccSampleResult& result) const;
  double perimeter() const override { return lengthTo(1); }
  double nearestPerimPos(const ccVector<2>& p) const override;
  // The exact piece between two arc-length positions (clamped to [0, perimeter()]); BadParams
  // when startPos > endPos or a position is not finite.
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  static void check(const Points& points, const Weights& weights);

  Points p_;
  Weights w_;
};

// Archive form of the value: version byte 0, the four control points, the four weights.
ccArchive& operator||(ccArchive& ar, ccBezierCurve& c);

// A chain of Bézier curves in order (see the file comment). Continuity is not required.
// A spline without curves is empty.
class ccCubicSpline : public ccShape {
  CC_SHAPE_CLASS(ccCubicSpline)

 public:
  ccCubicSpline() = default;
  explicit ccCubicSpline(const std::vector<ccBezierCurve>& curves);

  const std::vector<ccBezierCurve>& curves() const { return curves_; }
  long numSegments() const { return static_cast<long>(curves_.size()); }
  // Curve i (BadParams outside 0 to numSegments() - 1).
  const ccBezierCurve& curve(long i) const;

  // The spline's pieces as a plain chain: a ccCubicSpline (this is its own chain; the
  // derived classes give theirs).
  ccCubicSpline cubicSpline() const { return ccCubicSpline(curves_); }

  bool operator==(const ccCubicSpline& o) const { return curves_ == o.curves_; }
  bool operator!=(const ccCubicSpline& o) const { return !(*this == o); }

  ccCubicSpline map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return !curves_.empty(); }
  bool isRegion() const override { return false; }
  bool isEmpty() const override { return curves_.empty(); }
  bool hasTangent() const override;
  bool isReversible() const override { return !curves_.empty(); }
  bool isDecomposed() const override { return false; }
  // EmptyShape when empty (also for the operations below that need a point).
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  ccVector<2> startPoint() const override;
  ccVector<2> endPoint() const override;
  // Of the first (last) curve that has a tangent; NoTangent when none has.
  ccRadian startAngle() const override;
  ccRadian endAngle() const override;
  // Sum over the curves (the gaps add nothing).
  ccRadian windingAngle(const ccVector<2>& p) const override;
  // A ccCubicSpline of the reversed curves in reverse order.
  ccShapePtrh reverse() const override;
  // An open ccContourTree of the curves.
  ccShapePtrh decompose() const override;
  // The curves' samplings (see ccBezierCurve::sample) one after the other. Where a curve
  // ends on the next one's start the shared point appears once, or twice with
  // duplicateCorners. Uniform sampling divides each curve into the fewest equal arc-length
  // parts no longer than spacing. Past maxPoints, exactly maxPoints points are spread over
  // the curves in proportion to their lengths, at least 2 on each curve (BadParams when
  // maxPoints is too small for that). Other errors as ccBezierCurve::sample.
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  // Sum of the curves' lengths; positions run through the curves in order.
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  // A ccCubicSpline of the exact pieces between the positions (clamped to [0, perimeter()]);
  // BadParams when startPos > endPos.
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);
  // For the derived classes: replaces the chain.
  void setCurves_(std::vector<ccBezierCurve> curves) { curves_.swap(curves); }

 private:
  std::vector<ccBezierCurve> curves_;
};

// A cubic B-spline: control points d_0..d_{n-1} (n >= 4) and a non-decreasing knot vector
// u_0..u_{n+3}; the curve is sum_i N_i(u) d_i over the domain [u_3, u_n], with N_i the cubic
// B-spline basis. Every non-empty knot interval of the domain gives one Bézier curve of the
// chain. Two standard knot vectors:
//   eClamped: 0, 0, 0, 0, 1, 2, ..., n-4, n-3, n-3, n-3, n-3 (domain [0, n-3]); the curve
//             starts at d_0 and ends at d_{n-1}, tangent to the control polygon there.
//   eUniform: 0, 1, ..., n+3 (domain [3, n]); the curve is C2 everywhere and starts and ends
//             near (not at) the first and last control points.
// An empty spline has no control points and no knots.
class ccDeBoorSpline : public ccCubicSpline {
  CC_SHAPE_CLASS(ccDeBoorSpline)

 public:
  enum KnotType { eClamped = 0, eUniform = 1 };

  ccDeBoorSpline() = default;
  // Throws BadParams for fewer than 4 points, BadGeom for a non-finite coordinate.
  ccDeBoorSpline(const std::vector<ccVector<2>>& controlPoints, KnotType knots);
  // Throws as above, and BadCoef unless there are n + 4 finite, non-decreasing knots with
  // u_3 < u_n.
  ccDeBoorSpline(const std::vector<ccVector<2>>& controlPoints, const std::vector<double>& knots);

  const std::vector<ccVector<2>>& controlPoints() const { return d_; }
  const std::vector<double>& knots() const { return u_; }
  // Setters check like the constructors; on error the spline is unchanged.
  void set(const std::vector<ccVector<2>>& controlPoints, const std::vector<double>& knots);
  void set(const std::vector<ccVector<2>>& controlPoints, KnotType knots);

  // The parameter domain [u_3, u_n].
  double domainStart() const;
  double domainEnd() const;
  // The point at parameter u (clamped to the domain) by de Boor's algorithm. EmptyShape when
  // empty.
  ccVector<2> point(double u) const;

  bool operator==(const ccDeBoorSpline& o) const { return d_ == o.d_ && u_ == o.u_; }
  bool operator!=(const ccDeBoorSpline& o) const { return !(*this == o); }

  ccDeBoorSpline map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;
  // Reversed control points, knots reflected (u -> u_0 + u_{n+3} - u).
  ccShapePtrh reverse() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  static std::vector<double> makeKnots(std::size_t n, KnotType type);
  static void check(const std::vector<ccVector<2>>& d, const std::vector<double>& u);
  void rebuild();

  std::vector<ccVector<2>> d_;
  std::vector<double> u_;
};

// The C2 cubic spline through points P_0..P_{n-1} (n >= 2) at parameters s_0 < ... < s_{n-1}.
// By default the parameters are the cumulative chord lengths (s_0 = 0, s_{i+1} = s_i +
// |P_{i+1} - P_i|); they are kept as data, so that an affine map of the spline is exact.
// Each interval [s_i, s_{i+1}] gives one Bézier curve. End conditions:
//   eNatural: the second derivative is 0 at both ends;
//   eClamped: the first derivatives dP/ds at the ends are the given tangents (for chord-length
//             parameters a unit vector means unit speed).
// An empty spline has no points.
class ccInterpSpline : public ccCubicSpline {
  CC_SHAPE_CLASS(ccInterpSpline)

 public:
  enum EndCondition { eNatural = 0, eClamped = 1 };

  ccInterpSpline() = default;
  // Natural ends, chord-length parameters. Throws BadParams for fewer than 2 points, BadGeom
  // for a non-finite coordinate or two consecutive equal points.
  explicit ccInterpSpline(const std::vector<ccVector<2>>& points);
  // Clamped ends with the given tangents (BadGeom when not finite), chord-length parameters.
  ccInterpSpline(const std::vector<ccVector<2>>& points, const ccVector<2>& startTangent,
                 const ccVector<2>& endTangent);
  // Given parameters: BadCoef unless there is one finite parameter per point, strictly
  // increasing. For eNatural the tangents are ignored (and kept as (0, 0)).
  ccInterpSpline(const std::vector<ccVector<2>>& points, const std::vector<double>& params,
                 EndCondition ends, const ccVector<2>& startTangent = ccVector<2>(),
                 const ccVector<2>& endTangent = ccVector<2>());

  const std::vector<ccVector<2>>& points() const { return p_; }
  const std::vector<double>& params() const { return s_; }
  EndCondition endCondition() const { return ends_; }
  const ccVector<2>& startTangent() const { return t0_; }
  const ccVector<2>& endTangent() const { return t1_; }
  // The chord-length parameters of the points (BadGeom as the constructor).
  static std::vector<double> chordLengthParams(const std::vector<ccVector<2>>& points);

  bool operator==(const ccInterpSpline& o) const {
    return p_ == o.p_ && s_ == o.s_ && ends_ == o.ends_ && t0_ == o.t0_ && t1_ == o.t1_;
  }
  bool operator!=(const ccInterpSpline& o) const { return !(*this == o); }

  ccInterpSpline map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;
  // Reversed points, parameters reflected, tangents reversed and swapped.
  ccShapePtrh reverse() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  static void check(const std::vector<ccVector<2>>& p, const std::vector<double>& s,
                    const ccVector<2>& t0, const ccVector<2>& t1);
  void rebuild();

  std::vector<ccVector<2>> p_;
  std::vector<double> s_;
  EndCondition ends_ = eNatural;
  ccVector<2> t0_;
  ccVector<2> t1_;
};

// The cubic Hermite spline through points P_i with tangents T_i (n >= 2 of each): piece i
// runs from P_i to P_{i+1} over a local parameter t in [0, 1] with dC/dt = T_i at its start
// and T_{i+1} at its end; it is the Bézier curve P_i, P_i + T_i / 3, P_{i+1} - T_{i+1} / 3,
// P_{i+1}. The spline is C1 (in the local parameters). An empty spline has no points.
class ccHermiteSpline : public ccCubicSpline {
  CC_SHAPE_CLASS(ccHermiteSpline)

 public:
  ccHermiteSpline() = default;
  // Throws BadParams for fewer than 2 points or unequal counts, BadGeom for a non-finite
  // coordinate.
  ccHermiteSpline(const std::vector<ccVector<2>>& points, const std::vector<ccVector<2>>& tangents);

  const std::vector<ccVector<2>>& points() const { return p_; }
  const std::vector<ccVector<2>>& tangents() const { return t_; }
  // Checks like the constructor; on error the spline is unchanged.
  void set(const std::vector<ccVector<2>>& points, const std::vector<ccVector<2>>& tangents);

  bool operator==(const ccHermiteSpline& o) const { return p_ == o.p_ && t_ == o.t_; }
  bool operator!=(const ccHermiteSpline& o) const { return !(*this == o); }

  ccHermiteSpline map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;
  // Reversed points and negated tangents in reverse order.
  ccShapePtrh reverse() const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  static void check(const std::vector<ccVector<2>>& p, const std::vector<ccVector<2>>& t);
  void rebuild();

  std::vector<ccVector<2>> p_;
  std::vector<ccVector<2>> t_;
};
