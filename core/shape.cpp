#include <core/rect.h>
#include <core/shape.h>

#include <cmath>

double ccShape::distanceToPoint(const ccVector<2>& p) const {
  return (p - nearestPoint(p)).length();
}

ccVector<2> ccShape::startPoint() const { throw ccShapesError::NotOpenContour(); }
ccVector<2> ccShape::endPoint() const { throw ccShapesError::NotOpenContour(); }
ccRadian ccShape::startAngle() const { throw ccShapesError::NotOpenContour(); }
ccRadian ccShape::endAngle() const { throw ccShapesError::NotOpenContour(); }

ccRadian ccShape::tangentRotation() const {
  if (!isOpenContour()) throw ccShapesError::NotOpenContour();
  // The turns between consecutive chords of a fine sampling, plus those from the start tangent
  // to the first chord and from the last chord to the end tangent: a chord turns half as much
  // as the arc it spans, so without the ends a curve loses half its end chords' turn.
  // Chords far shorter than the tolerance (a corner met twice by rounding) point anywhere.
  const double tolerance = 1e-4 * std::max(1.0, perimeter()), tiny = 1e-6 * tolerance;
  ccSampleResult r;
  sample(ccSampleParams(0, tolerance), r);
  const auto& p = r.positions();
  double turn = 0, first = 0, last = 0;
  bool any = false;
  for (std::size_t i = 1; i < p.size(); ++i) {
    const ccVector<2> b = p[i] - p[i - 1];
    if (!(b.length() > tiny)) continue;
    const double angle = std::atan2(b.y(), b.x());
    if (any) {
      turn += std::remainder(angle - last, 2 * M_PI);
    } else {
      first = angle;
      any = true;
    }
    last = angle;
  }
  if (!any) return ccRadian(endAngle().toDouble() - startAngle().toDouble());
  turn += std::remainder(first - startAngle().toDouble(), 2 * M_PI) +
          std::remainder(endAngle().toDouble() - last, 2 * M_PI);
  return ccRadian(turn);
}

ccRadian ccShape::windingAngle(const ccVector<2>& q) const {
  // Sum of the angles subtended at q by the chords of a fine sampling.
  ccSampleResult r;
  sample(ccSampleParams(0, ccDenseSamplingTolerance * std::max(1.0, perimeter())), r);
  auto p = r.positions();
  if (isRegion() && !p.empty()) p.push_back(p.front());
  double sweep = 0;
  for (std::size_t i = 1; i < p.size(); ++i) {
    const ccVector<2> a = p[i - 1] - q, b = p[i] - q;
    sweep += std::atan2(a.cross(b), a.dot(b));
  }
  return ccRadian(sweep);
}

bool ccShape::isRightHanded() const { throw ccShapesError::NotRegion(); }
bool ccShape::within(const ccVector<2>&) const { throw ccShapesError::NotRegion(); }

ccShapePtrh ccShape::reverse() const { throw ccShapesError::NotOpenContour(); }
ccShapePtrh ccShape::decompose() const { return clone(); }

ccShapePtrh ccShape::clip(const ccPolyline& clipper, ccClipInfo& info) const {
  return clip_(clipper, info);
}

void ccShape::sample(const ccSampleParams&, ccSampleResult&) const {
  throw ccShapesError::BadParams("this shape cannot be sampled");
}

double ccShape::perimeter() const { throw ccShapesError::BadParams("this shape has no perimeter"); }

double ccShape::nearestPerimPos(const ccVector<2>&) const {
  throw ccShapesError::BadParams("this shape has no perimeter positions");
}

ccShapePtrh ccShape::subShape(double, double) const {
  throw ccShapesError::BadParams("this shape has no sub-shapes");
}

void ccShape::remapAndThrowError_(ccException&) const {}

ccRect ccShape::encloseRect() const {
  try {
    return boundingBox();
  } catch (const ccShapesError::DegenerateShape&) {
    return ccRect();
  } catch (const ccShapesError::EmptyShape&) {
    return ccRect();
  }
}

void ccShape::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccShape::serialize_(ar, version);
  setVisited(ar);
}

void ccShape::serialize_(ccArchive&, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion("core/shape", __LINE__);
}
