// The scan converter behind synthetic drawing: an outline of y-monotone edges in pixel-centre
// coordinates (pel column i and row j of the target at (i, j)), filled row by row through an
// edge table and an active-edge list. Internal to the SMD drawing code.
//
// A row y meets an edge when ya <= y < yb (a vertex on the row counts once, a horizontal edge
// never). A crossing at x becomes the pel boundary round(x), halves away from zero, and a span
// covers the pels from one boundary up to, not including, the next.
//
// Crossings are ranked as the polygon's literal scan line ranks them (by boundary; among equal
// boundaries the one found later, by piece and then by x, first), and the span between two
// neighbours is filled when their midpoint is inside. Two ways of deciding that:
// - Parity (no reference given): the midpoint is inside when an odd number of the row's
//   crossings lie left of it. This is the scan converter of sampled outlines; for a straight
//   outline it sets the pels the reference way sets, up to midpoints on the outline itself.
// - Reference (the polygon's literal scan line): the midpoint is inside when the polygon's
//   inside test says so. The converter decides that itself, by parity, where its own arithmetic
//   cannot differ from the literal one: each crossing farther than `margin` from a pel boundary and
//   from the row's vertices, and the midpoint farther than `margin` from the outline. Anything
//   closer is handed to the reference: the literal crossings of the pieces concerned, and the
//   inside test of the midpoint.
#pragma once

#include <core/pelbuffer.h>
#include <core/vector.h>

#include <vector>

// One y-monotone edge: a straight segment or a part of an ellipse
// c + u cos t + v sin t over which y only grows or only falls.
struct cc_ScanEdge {
  bool arc = false;
  long piece = 0;  // the outline piece it belongs to: the literal scan line's order
  double ya = 0;   // lower and upper y; ya <= yb
  double yb = 0;
  double xLo = 0;  // x at ya and at yb
  double xHi = 0;
  double dxdy = 0;                                        // lines: slope (0 when horizontal)
  double cx = 0, cy = 0, ux = 0, uy = 0, vx = 0, vy = 0;  // arcs: the ellipse
  double base = 0, sign = 0, ry = 0;  // arcs: t(y) = base + sign acos((y - cy) / ry)

  // x where the edge is at height y (y clamped to [ya, yb]); slope receives |dx/dy| there
  // (infinite where the edge turns horizontal).
  double xAt(double y, double& slope) const;
};

// The edges of one outline.
class cc_ScanOutline {
 public:
  void addLine(const ccVector<2>& a, const ccVector<2>& b, long piece);
  // The ellipse c + u cos t + v sin t for t from t0 up to t1 (t0 < t1), whose ends are
  // exactly `start` and `end` (the points the neighbouring pieces end at), cut where y turns.
  void addArc(const ccVector<2>& c, const ccVector<2>& u, const ccVector<2>& v, double t0,
              double t1, const ccVector<2>& start, const ccVector<2>& end, long piece);
  const std::vector<cc_ScanEdge>& edges() const { return edges_; }
  bool empty() const { return edges_.empty(); }

 private:
  std::vector<cc_ScanEdge> edges_;
};

// Where the literal scan line decides a row.
class cc_ScanReference {
 public:
  virtual ~cc_ScanReference() = default;
  // The crossings of row y with one piece, in the order the literal scan line finds them:
  // client points and their x in pel-centre coordinates.
  virtual void crossings(long piece, long y, std::vector<ccVector<2>>& client,
                         std::vector<double>& x) = 0;
  virtual bool inside(const ccVector<2>& clientPoint) = 0;
};

// The pels a fill may write: rows [top, bottom) and columns [left, right) of the target's
// pel-centre coordinates; target's window starts at (left, top).
struct cc_ScanTarget {
  ccPelBuffer<unsigned char> pels;
  long left = 0, top = 0, right = 0, bottom = 0;
  unsigned char grey = 0;
};

// Fills the outline into the target (see the file comment). margin only matters with a
// reference.
void cfScanFill(const cc_ScanOutline& outline, const cc_ScanTarget& target,
                cc_ScanReference* reference, double margin);
