// Polygonal kernels that every straight-edged shape of the core library shares (polylines,
// polygons, rectangles, affine rectangles, lines and points): measures, inside tests,
// sampling, pieces and clipping of chains of vertices. Private to the core library: not
// installed.
#pragma once

#include <core/angle.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/shape.h>

#include <cstddef>
#include <vector>

// Algorithms on a chain of vertices v, open (edges v[i] to v[i+1]) or closed (plus the edge
// from the last vertex to the first). Arc-length positions run from 0 at v[0].
namespace cc_detail {

using Points = std::vector<ccVector<2>>;

// Throws BadGeom when a coordinate is not finite.
void checkFinite(const Points& v);
void checkFinite(const ccVector<2>& p);

std::size_t edgeCount(const Points& v, bool closed);
// Edge i runs from v[i] to v[(i + 1) % n].
inline const ccVector<2>& edgeEnd(const Points& v, std::size_t i) { return v[(i + 1) % v.size()]; }

// EmptyShape when v is empty.
ccRect boundingBox(const Points& v);
double perimeter(const Points& v, bool closed);
// The point of the chain nearest to p, and its arc-length position. EmptyShape when empty.
ccVector<2> nearestPoint(const Points& v, bool closed, const ccVector<2>& p,
                         double* perimPos = nullptr);
// The point at arc-length position pos, clamped to [0, perimeter].
ccVector<2> pointAt(const Points& v, bool closed, double pos);
// Twice the signed area enclosed (positive counter-clockwise in a y-up frame).
double signedArea2(const Points& v);
// Inside test of the closed chain: even-odd, or non-zero winding. Points within a few units
// of rounding of an edge count as inside.
bool within(const Points& v, const ccVector<2>& p, bool nonZero = false);
// Distance from p to the closed or open chain (infinity when empty).
double distance(const Points& v, bool closed, const ccVector<2>& p);
// Sum of the angles subtended at p by the edges.
ccRadian windingAngle(const Points& v, bool closed, const ccVector<2>& p);
// Directions of the first and last edges of non-zero length; NoTangent when there is none.
ccRadian startAngle(const Points& v, bool closed);
ccRadian endAngle(const Points& v, bool closed);
// Turning between consecutive edges of non-zero length (for closed chains including the
// turns at the closing edge and back at v[0]).
ccRadian tangentRotation(const Points& v, bool closed);
bool hasTangent(const Points& v);

// Sampling (see ccShape::ccSampleParams). Replaces the result's points. The vertices are
// kept; each edge is divided into the fewest equal parts no longer than spacing (spacing 0:
// not divided). Open chains give v[0] first and the last vertex last; closed chains give
// v[0] first and stop before coming back to it. With duplicateCorners every vertex where two
// edges meet appears twice (for closed chains also v[0], which then ends the sampling too).
// With uniform, the contour is divided into the fewest equal arc-length parts no longer than
// spacing and the corners are not kept. When more than maxPoints points would be needed, the
// contour is divided uniformly into exactly maxPoints points. An empty chain gives no
// points. BadParams for a negative spacing or tolerance, maxPoints < 1, or uniform with
// spacing 0.
void sample(const Points& v, bool closed, const ccShape::ccSampleParams& params,
            ccShape::ccSampleResult& result);

// The piece of the chain between arc-length positions s and e, as an open ccPolyline.
// Open chains: both positions are clamped to [0, perimeter]; BadParams when s > e.
// Closed chains: the piece starts at s (taken modulo the perimeter) and runs forward for
// e - s; when e < s it wraps through v[0] (running e - s taken modulo the perimeter), and a
// run of a perimeter or more gives the whole contour from s as an open polyline.
// A piece of length 0 is a polyline of the one point twice.
// EmptyShape when the chain is empty. BadParams for non-finite positions.
ccPolyline subShape(const Points& v, bool closed, double s, double e);

// Reverses the chain; a closed one keeps v[0] first.
Points reversed(const Points& v, bool closed);

// Clips the chain by the closed polyline clipper (see core/clip.cpp). Each piece is an open
// chain of points; a piece of a closed chain that passes v[0] is joined across it.
// Returns the result code of ccClipInfo. BadParams when the clipper is open, DegenerateShape
// when it has fewer than 3 vertices.
long clip(const Points& v, bool closed, const ccPolyline& clipper, std::vector<Points>& pieces);

// Several shapes as one: a ccShapeTree holding the parts in order.
ccShapePtrh group(const std::vector<ccShapePtrh>& parts);

}  // namespace cc_detail
