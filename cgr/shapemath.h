// The shape-math library (our stand-in): plain records of vectors, affine maps, ellipses and
// affine rectangles, and the few functions on them that the display library's bridge calls.
//
// Records are plain doubles with no padding, so a record can be copied byte for byte into and
// out of a graphics-list record (cgr/grlist.h). Functions return a status: cmath_eOk (0) or
// cmath_eBadShape; they leave their outputs untouched when they fail.
#pragma once

#include <cstdint>

typedef std::int32_t cmath_status;
enum : cmath_status {
  cmath_eOk = 0,
  // A record holds a non-finite value (or a null pointer was passed).
  cmath_eBadShape = 0x10007F01,
};

struct cmath_vect {
  double x, y;
};

// The affine map p -> m p + t (m row by row).
struct cmath_xform {
  double m[2][2];
  cmath_vect t;
};

// An elliptical arc: the unit circle's arc from start over span (radians), mapped by
// unitCircleMap = translation(center) rotation(rotation) diag(radii). The map is kept in the
// record so that readers need no trigonometry; cmath_shapeEllipse_init fills it.
struct cmath_shapeEllipse {
  cmath_vect center;
  cmath_vect radii;
  double rotation;
  double start;
  double span;
  cmath_xform unitCircleMap;
};

// The parallelogram with corners po, px, py and px + py - po.
struct cmath_shapeAffineRect {
  cmath_vect po, px, py;
};

static_assert(sizeof(cmath_vect) == 16 && sizeof(cmath_xform) == 48, "records are plain doubles");
static_assert(sizeof(cmath_shapeEllipse) == 104, "an ellipse record is 104 bytes");
static_assert(sizeof(cmath_shapeAffineRect) == 48, "an affine-rectangle record is 48 bytes");

// The whole ellipse (start 0, span 2 pi) of the given centre, semi-axes and rotation. Fails for
// a non-finite value or a negative radius.
cmath_status cmath_shapeEllipse_init(cmath_shapeEllipse* e, cmath_vect center, cmath_vect radii,
                                     double rotation);
// The ellipse's unit-circle map. Fails when the record's map is not finite.
cmath_status cmath_shapeEllipse_getXform(const cmath_shapeEllipse* e, cmath_xform* map);

// Fills the record from the three corners. Fails for a non-finite coordinate.
cmath_status cmath_shapeAffineRect_initPoints(cmath_shapeAffineRect* r, cmath_vect po,
                                              cmath_vect px, cmath_vect py);
// The three corners of the record. Fails for a non-finite coordinate.
cmath_status cmath_shapeAffineRect_getPoints(const cmath_shapeAffineRect* r, cmath_vect* po,
                                             cmath_vect* px, cmath_vect* py);
