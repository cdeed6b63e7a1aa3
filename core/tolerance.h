// The tolerances of the core library's comparisons, each defined once.
//
// Code takes these by name rather than spelling literals, so that a caller or a test can see
// which tolerance a result depends on. Relative tolerances are fractions of the magnitude
// their comment names. The display library adds its own in dispc/tolerance.h.
#pragma once

// Absolute: coordinates and angles that differ by at most this are equal (cfRealEq's default).
constexpr double ccRealEqEpsilon = 1e-15;

// Relative to a matrix's largest entry: a matrix has a special form (a rotation or reflection
// times a uniform scale, or one that keeps rectangles axis-aligned) when the entries that form
// wants equal, opposite or zero are so within this.
constexpr double ccMatrixFormTolerance = 1e-15;

// Lines are parallel when the sine of the angle between them is at most this.
constexpr double ccParallelLinesTolerance = 1e-15;

// Coordinate axes do not span the plane when |x cross y| is at most this fraction of |x| |y|.
constexpr double ccParallelAxesTolerance = 1e-14;

// Relative: values that a few roundings may have moved agree within this fraction of their
// magnitude. Parallel lines coincide, a point lies on a polygon's edge, a position lies on a
// contour, two ellipses are concentric scaled copies.
constexpr double ccRoundingTolerance = 1e-12;

// Measures taken on a sampled contour (winding angles of general shapes, the measures of
// mapped shapes) sample it within this fraction of its size.
constexpr double ccDenseSamplingTolerance = 1e-6;

// The orientation of a contour tree is the sign of the area of a sampling within this fraction
// of its bounding box's diagonal.
constexpr double ccOrientationSamplingTolerance = 1e-7;

// Arc lengths of curves are integrated to this fraction of the length.
constexpr double ccArcLengthTolerance = 1e-14;

// The parameter at an arc length along a curve is solved until the length there is within
// this fraction of the curve's whole length.
constexpr double ccArcPositionTolerance = 1e-13;
