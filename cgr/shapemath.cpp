#include <cgr/shapemath.h>

#include <cmath>
#include <initializer_list>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

bool finite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}
bool finite(const cmath_vect& v) { return finite({v.x, v.y}); }
bool finite(const cmath_xform& x) {
  return finite({x.m[0][0], x.m[0][1], x.m[1][0], x.m[1][1], x.t.x, x.t.y});
}

}  // namespace

cmath_status cmath_shapeEllipse_init(cmath_shapeEllipse* e, cmath_vect center, cmath_vect radii,
                                     double rotation) {
  if (!e || !finite(center) || !finite(radii) || !std::isfinite(rotation) || radii.x < 0 ||
      radii.y < 0)
    return cmath_eBadShape;
  const double c = std::cos(rotation), s = std::sin(rotation);
  e->center = center;
  e->radii = radii;
  e->rotation = rotation;
  e->start = 0;
  e->span = kTwoPi;
  e->unitCircleMap = {{{c * radii.x, -s * radii.y}, {s * radii.x, c * radii.y}}, center};
  return cmath_eOk;
}

cmath_status cmath_shapeEllipse_getXform(const cmath_shapeEllipse* e, cmath_xform* map) {
  if (!e || !map || !finite(e->unitCircleMap)) return cmath_eBadShape;
  *map = e->unitCircleMap;
  return cmath_eOk;
}

cmath_status cmath_shapeAffineRect_initPoints(cmath_shapeAffineRect* r, cmath_vect po,
                                              cmath_vect px, cmath_vect py) {
  if (!r || !finite(po) || !finite(px) || !finite(py)) return cmath_eBadShape;
  *r = {po, px, py};
  return cmath_eOk;
}

cmath_status cmath_shapeAffineRect_getPoints(const cmath_shapeAffineRect* r, cmath_vect* po,
                                             cmath_vect* px, cmath_vect* py) {
  if (!r || !po || !px || !py || !finite(r->po) || !finite(r->px) || !finite(r->py))
    return cmath_eBadShape;
  *po = r->po;
  *px = r->px;
  *py = r->py;
  return cmath_eOk;
}
