// Contour kernels shared by the ellipse and general-rectangle classes: the singular value
// split of ellipse matrices, and contours made of segments and elliptical arcs (bounding box,
// length, nearest point, sampling). Private to the core library: not installed.
#pragma once

#include <core/matrix.h>
#include <core/rect.h>
#include <core/shape.h>

#include <cstddef>
#include <vector>

namespace cc_detail {

// m = R(rotation) diag(r1, r2) F^reflected R(phase), r1 >= r2 >= 0, F = diag(1, -1).
struct Svd {
  double rotation = 0;
  double r1 = 0;
  double r2 = 0;
  bool reflected = false;
  double phase = 0;
};
Svd svd(const ccMatrix<2>& m);
// R(rotation) diag(rx, ry) F^reflected R(phase).
ccMatrix<2> ellipseMatrix(double rotation, double rx, double ry, bool reflected, double phase);
// True when m is a rotation or a reflection times a uniform scale (see the header comment);
// then m = s R(angle) F^reflects.
bool isSimilarity(const ccMatrix<2>& m, double* s, double* angle, bool* reflects);

// A contour piece: the segment a -> b, or the elliptical arc c + m (cos t, sin t) for t from
// t0 over the signed span (|span| >= 2pi: one full turn).
struct Piece {
  bool isArc = false;
  ccVector<2> a, b;
  ccVector<2> c;
  ccMatrix<2> m;
  double t0 = 0;
  double span = 0;

  static Piece segment(const ccVector<2>& a, const ccVector<2>& b);
  static Piece arc(const ccVector<2>& c, const ccMatrix<2>& m, double t0, double span);
  // The span limited to one turn.
  double turn() const;
  ccVector<2> start() const;
  ccVector<2> end() const;
  double length() const;
};

// Points on a contour: where it is nearest to a query point.
struct Nearest {
  ccVector<2> point;
  double distSq = 0;
  std::size_t piece = 0;
  // Arc-length position along the piece.
  double pos = 0;
};

ccRect boundingBox(const std::vector<Piece>& pieces);
double length(const std::vector<Piece>& pieces);
Nearest nearest(const std::vector<Piece>& pieces, const ccVector<2>& p);
// Arc-length position along the whole contour of a nearest point.
double position(const std::vector<Piece>& pieces, const Nearest& n);
// The parameter of a piece at arc-length position s (0 <= s <= piece length); for a
// segment the fraction of the way from a to b.
double paramAt(const Piece& piece, double s);
// The point of an arc piece at parameter t.
ccVector<2> arcPoint(const Piece& piece, double t);
// Whether parameter t lies on an arc piece; *tau receives how far along the arc (in
// parameter, reduced to [0, 2pi)) it lies from t0.
bool onArc(const Piece& piece, double t, double* tau);
// Samples a contour (one or more pieces; closed: the last piece ends where the first starts).
// Without any limit the tolerance is 1e-3 of the bounding box's diagonal. A piece is cut into
// equal parameter steps of at most a quarter turn; with uniform, into equal arc lengths.
// When more points than maxPoints would be needed, exactly maxPoints points equally spaced
// in arc length along the whole contour are given. Throws BadParams for negative or
// non-finite limits, uniform without spacing, or maxPoints < 2.
void sample(const std::vector<Piece>& pieces, bool closed, const ccShape::ccSampleParams& params,
            ccShape::ccSampleResult& result);

}  // namespace cc_detail
