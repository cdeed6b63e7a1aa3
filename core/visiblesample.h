// Sampling a shape for drawing, where only what falls in a view shows.
#pragma once

#include <core/rect.h>
#include <core/shape.h>

// Samples shape as shape.sample(params, result) does, except that a curve piece whose
// control points all lie on one side outside view is taken as its chord: the chord lies in
// the curve's hull, so it misses the view too. A shape far larger than the view then costs the
// points of its visible part, not the sampling limit's worth of costly equal-length points.
// Generic shapes are decomposed and contour trees walked child by child (maxPoints applies to
// each child); other shapes, and uniform sampling, are sampled as they are.
void cfSampleVisible(const ccShape& shape, const ccShape::ccSampleParams& params,
                     const ccRect& view, ccShape::ccSampleResult& result);
