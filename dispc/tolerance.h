// The tolerances of the display library's geometric comparisons, each defined once.
//
// Absolute comparisons of coordinates and angles use the core's ccRealEqEpsilon
// (core/tolerance.h). Geometry code takes these as values (parameters or members) rather than
// spelling literals, so that a caller or a test can see and vary the tolerance a result depends
// on.
#pragma once

#include <core/tolerance.h>

// A point lies on a wireframe line segment when its distance is within this fraction of the
// segment's length.
constexpr double ccLineLengthTolerance = 1e-14;

// An angle lies within a wireframe arc when it is within this fraction of the arc's span.
constexpr double ccArcSpanTolerance = 1e-13;

// SMD polygon vertices, spans and percentages compare equal within this absolute tolerance.
constexpr double ccSMDVertexTolerance = 1e-11;

// Zoom factors closer than this to a whole number (or its inverse) count as that number.
constexpr double ccZoomFactorTolerance = 1e-6;

// The tolerant pixel floor: a mapped coordinate is scaled by 1 + this (with its sign) before
// it is floored, so values a hair below a whole number land on it.
constexpr double ccPixelFloorTolerance = 1e-11;

// Pieces of an SMD polygon's outline closer than this fraction of their size and position
// count as touching: their bounding boxes are widened by it before they are compared, and a
// ray that passes a piece's end this closely is not trusted to count crossings.
constexpr double ccSMDPieceMargin = 1e-9;

// The fast fill of synthetic drawing decides a row itself only where each crossing lies
// farther than this fraction of the coordinates' magnitude from a pel boundary, from the ends
// of its piece and from the other crossings; closer rows are decided by the literal scan line.
constexpr double ccSyntheticCrossingTolerance = 1e-9;
