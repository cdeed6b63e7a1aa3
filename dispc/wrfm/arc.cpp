#include <dispc/wrfm/arc.h>

#include <core/assert.h>
#include <core/errors.h>
#include <dispc/tolerance.h>
#include <dispc/wrfm/fraction_p.h>

#include <algorithm>
#include <cmath>
#include <ostream>

namespace {

constexpr const char* kSource = "dispc/wrfm/arc";

// Whether the map reverses orientation: its y rotation lies more than a quarter turn from its
// x rotation.
bool reflects(const ccXform<2>& x) {
  return std::fabs(ccDegree(x.yRot() - x.xRot()).toDouble()) > 90;
}

}  // namespace

cc2SegmentArc::cc2SegmentArc(const ccVector<2>& center, double radius, const ccDegree& startAngle,
                             const ccDegree& angleSpan)
    : center_(center), radius_(radius), startAngle_(startAngle), angleSpan_(angleSpan) {
  if (radius <= 0) throw ccShapesError::DegenerateShape("arc radius not positive");
}

cc2SegmentArc::cc2SegmentArc(const ccVector<2>& p1, const ccVector<2>& p2,
                             const ccDegree& angleSpan) {
  const double span = angleSpan.toDouble();
  if (cfRealEq(span, 0, ccRealEqEpsilon) || span < -360 || span > 360)
    throw ccShapesError::DegenerateShape("arc span 0 or beyond a full turn");
  if (p1 == p2) throw ccShapesError::DegenerateShape("arc with equal end points");

  // The centre lies on the chord's perpendicular bisector, on the side that gives the span.
  const bool left = (span > 0 && span < 180) || (span > -360 && span < -180);
  const ccDegree side(left ? 90 : -90);
  const ccVector<2> m = (p1 + p2) / 2;
  const double d = (m - p1).length();
  const double h = std::fabs(d / tan(ccRadian(angleSpan / 2)));
  center_ = m + ccVector<2>::polar(h, ccDegree((p2 - p1).angle()) + side);
  startAngle_ = ccDegree((p1 - center_).angle());
  radius_ = (p1 - center_).length();
  angleSpan_ = angleSpan;
}

// In the frame where the ellipse is the unit circle, the arc's ends lie at its parametric
// angles (unit() carries the unit circle onto the ellipse), so they are read directly.
cc2SegmentArc::cc2SegmentArc(const ccEllipseArc& e) {
  if (e.ellipse().isDegenerate()) throw ccShapesError::DegenerateShape("degenerate ellipse");
  startAngle_ = ccDegree(e.phi1());
  angleSpan_ = ccDegree((e.phi2() - e.phi1()).norm());
  map_ = e.ellipse().unit();
}

cc2SegmentArc::cc2SegmentArc(const ccEllipseArc2& e) {
  if (e.ellipse().isDegenerate()) throw ccShapesError::DegenerateShape("degenerate ellipse");
  startAngle_ = ccDegree(e.phiStart());
  angleSpan_ = ccDegree(e.phiSpan());
  map_ = e.ellipse().ellFromUnitCirc();
}

ccFLine cc2SegmentArc::tangent(const ccDegree& a) const {
  const ccDegree local = invMapAngle(a);
  return ccFLine(point_(local), local + ccDegree(90)).map(map_);
}

ccDegree cc2SegmentArc::angleSpan() const {
  // The world span is congruent to the world end angle less the world start angle and lies
  // within half a turn of the local span (reversed by a reflecting map).
  const ccDegree e = (endAngle() - startAngle()).norm();
  const ccDegree s = reflects(map_) ? -angleSpan_ : angleSpan_;
  return s - (s - e).signedNorm();
}

double cc2SegmentArc::length() const {
  return std::fabs(radius(ccDegree(0)) * ccRadian(angleSpan()).toDouble());
}

ccEllipseArc cc2SegmentArc::ellipseArc() const {
  const ccEllipse circle(center_, ccVector<2>(radius_, radius_));
  // Equal angles make the core arc the whole ellipse; computing the end angle of a full
  // circle could leave a sliver instead.
  const bool full = std::fabs(angleSpan_.toDouble()) >= 360;
  const ccDegree end = full ? startAngle_ : endAngle_();
  if (angleSpan_.toDouble() >= 0) return ccEllipseArc(circle, startAngle_, end).map(map_);
  // Clockwise: the reflected circle runs its parametric angle the other way.
  ccEllipse::ccEllipseGeom geom = circle.geom();
  geom.reflected = true;
  return ccEllipseArc(ccEllipse(geom), -startAngle_, -end).map(map_);
}

ccEllipseArc2 cc2SegmentArc::ellipseArc2() const {
  const ccEllipse2 circle(ccVector<2>(radius_, radius_), ccRadian(0), ccRadian(0), center_);
  return ccEllipseArc2(circle, startAngle_, angleSpan_).map(cc2XformLinear(map_));
}

bool cc2SegmentArc::validPoint(const ccVector<2>& p, bool) const {
  const ccVector<2> q = map_.inverse() * p;
  return cfRealEq(q.distance(closestPoint_(q)), 0, radius_ * ccRealEqEpsilon);
}

bool cc2SegmentArc::inRange(const ccVector<2>& p, bool inclusive) const {
  const ccVector<2> c = center();
  if (p == c) return false;
  return validAngle(ccDegree((p - c).angle()), inclusive);
}

ccVector<2> cc2SegmentArc::closestPoint(const ccVector<2>& p) const {
  return map_ * closestPoint_(map_.inverse() * p);
}

std::vector<ccVector<2>> cc2SegmentArc::intersection(const ccFLine& line, bool excludeEnds) const {
  const bool inclusive = !excludeEnds;
  std::vector<ccVector<2>> out;
  const ccFLine local = line.map(map_.inverse());
  const ccVector<2> q = local.closestPoint(center_);
  const ccVector<2> v = q - center_;
  const double dist = v.length();
  const double r = std::fabs(radius_);
  if (dist > r) return out;
  if (cfRealEq(dist, r, ccRealEqEpsilon)) {
    if (validAngle_(ccDegree(v.angle()), inclusive)) out.push_back(map_ * q);
    return out;
  }
  const ccVector<2> w =
      std::sqrt(radius_ * radius_ - dist * dist) * ccVector<2>(local.cosAngle(), local.sinAngle());
  for (const ccVector<2>& c : {q + w, q - w})
    if (validAngle_(ccDegree((c - center_).angle()), inclusive)) out.push_back(map_ * c);
  return out;
}

std::vector<ccVector<2>> cc2SegmentArc::intersection(const cc2SegmentLine& seg,
                                                     bool excludeEnds) const {
  std::vector<ccVector<2>> out;
  for (const ccVector<2>& p : intersection(seg.line(), excludeEnds))
    if (seg.inRange(p, !excludeEnds)) out.push_back(p);
  return out;
}

std::vector<ccVector<2>> cc2SegmentArc::intersection(const cc2SegmentArc& other,
                                                     bool excludeEnds) const {
  const bool inclusive = !excludeEnds;
  std::vector<ccVector<2>> out;
  const ccVector<2> centers = center() - other.center();
  const double d = centers.length();
  if (cfRealEq(d, 0, ccRealEqEpsilon)) return out;  // concentric

  // The triangle of the two centres and a crossing, with the radii read along the line of
  // centres; alpha is its angle at the other arc's centre.
  const ccDegree theta(centers.angle());
  const double ro = other.radius(theta);
  const double rt = radius(theta + ccDegree(180));
  std::vector<ccVector<2>> candidates;
  if (cfRealEq(ro, 0, ccRealEqEpsilon)) {
    candidates.push_back(other.center());
  } else {
    const double c = (ro * ro + d * d - rt * rt) / (2 * ro * d);
    ccDegree alpha;
    if (std::fabs(c) <= 1)
      alpha = ccDegree(ccRadian(std::acos(c)));
    else if (excludeEnds)
      return out;
    else if (cfRealEq(c, 1, ccRealEqEpsilon))
      alpha = ccDegree(0);
    else if (cfRealEq(c, -1, ccRealEqEpsilon))
      alpha = ccDegree(180);
    else
      return out;
    if (other.validAngle(theta + alpha, inclusive))
      candidates.push_back(other.arcPoint(theta + alpha));
    if (!cfRealEq(std::fabs(c), 1, ccRealEqEpsilon) && other.validAngle(theta - alpha, inclusive))
      candidates.push_back(other.arcPoint(theta - alpha));
  }
  const ccVector<2> c = center();
  for (const ccVector<2>& p : candidates)
    if (validAngle(ccDegree((p - c).angle()), inclusive)) out.push_back(p);
  return out;
}

bool cc2SegmentArc::operator==(const cc2SegmentArc& o) const {
  const ccVector<2> c = center(), oc = o.center();
  return cfRealEq(startAngle().toDouble(), o.startAngle().toDouble(), ccRealEqEpsilon) &&
         cfRealEq(angleSpan().toDouble(), o.angleSpan().toDouble(), ccRealEqEpsilon) &&
         cfRealEq(c.x(), oc.x(), ccRealEqEpsilon) && cfRealEq(c.y(), oc.y(), ccRealEqEpsilon) &&
         cfRealEq(radius(startAngle()), o.radius(o.startAngle()), ccRealEqEpsilon) &&
         cfRealEq(radius(endAngle()), o.radius(o.endAngle()), ccRealEqEpsilon);
}

ccDegree cc2SegmentArc::angle_(double t) const {
  if (!cc_detail::isFraction(t)) cstd_assert_(__LINE__, kSource);
  return startAngle_ + t * angleSpan_;
}

ccDegree cc2SegmentArc::travel_(const ccDegree& a) const {
  return angleSpan_.toDouble() >= 0 ? a + ccDegree(90) : a - ccDegree(90);
}

ccVector<2> cc2SegmentArc::point_(const ccDegree& a) const {
  return center_ + ccVector<2>::polar(radius_, a);
}

ccVector<2> cc2SegmentArc::segPoint_(double t) const {
  if (!cc_detail::isFraction(t)) cstd_assert_(__LINE__, kSource);
  return point_(startAngle_ + t * angleSpan_);
}

ccVector<2> cc2SegmentArc::centerOfMass_() const {
  const double delta = ccRadian(angleSpan_).toDouble();
  // A span of 0 shrinks the arc to its start point (the limit of the formula).
  if (delta == 0) return point_(startAngle_);
  const ccRadian s = startAngle_, e = endAngle_();
  return center_ + radius_ / delta * ccVector<2>(sin(e) - sin(s), cos(s) - cos(e));
}

double cc2SegmentArc::length_() const {
  return std::fabs(ccRadian(angleSpan_).toDouble() * radius_);
}

bool cc2SegmentArc::validAngle_(const ccDegree& a, bool inclusive) const {
  const double absSpan = std::fabs(angleSpan_.toDouble());
  if (absSpan >= 360) return true;
  const double tol = absSpan * ccArcSpanTolerance;
  const double diff =
      (angleSpan_.toDouble() < 0 ? startAngle_ - a : a - startAngle_).norm().toDouble();
  const bool near =
      cfRealEq(diff, absSpan, tol) || cfRealEq(diff, 0, tol) || cfRealEq(diff, 360, tol);
  if (inclusive) return diff <= absSpan || near;
  return diff < absSpan && !near;
}

ccVector<2> cc2SegmentArc::closestPoint_(const ccVector<2>& q) const {
  if (q == center_) return point_(ccDegree(0));
  const ccDegree a((q - center_).angle());
  if (validAngle_(a, true)) return point_(a);
  const ccVector<2> s = point_(startAngle_), e = point_(endAngle_());
  return q.distance(s) <= q.distance(e) ? s : e;
}

ccRect cc2SegmentArc::boundingBox_() const {
  const ccVector<2> s = point_(startAngle_), e = point_(endAngle_());
  const double xmin =
      validAngle_(ccDegree(180), true) ? center_.x() - radius_ : std::min(s.x(), e.x());
  const double ymin =
      validAngle_(ccDegree(-90), true) ? center_.y() - radius_ : std::min(s.y(), e.y());
  const double xmax =
      validAngle_(ccDegree(0), true) ? center_.x() + radius_ : std::max(s.x(), e.x());
  const double ymax =
      validAngle_(ccDegree(90), true) ? center_.y() + radius_ : std::max(s.y(), e.y());
  return ccRect(ccVector<2>(xmin, ymin), ccVector<2>(xmax - xmin, ymax - ymin));
}

void cc2SegmentArc::print_(std::ostream& os) const {
  const ccVector<2> c = center();
  os << "center=" << c.x() << " " << c.y() << std::endl;
  os << "radius=" << radius(ccDegree(0)) << std::endl;
  os << "startAngle=" << startAngle().toDouble() << std::endl;
  os << "angleSpan=" << angleSpan().toDouble() << std::endl;
  os << std::endl;
}

ccArchive& operator||(ccArchive& ar, cc2SegmentArc& a) {
  unsigned char version = 1;
  ar || version;
  if (version > 1) throw ccArchive::UnknownVersion(kSource, __LINE__);
  // Read into temporaries so that a failure part way leaves the arc as it was.
  ccVector<2> center = a.center_;
  double radius = a.radius_;
  double start = a.startAngle_.toDouble();
  double span = a.angleSpan_.toDouble();
  ccXform<2> map = a.map_;
  ar || center || radius || start || span;
  if (version >= 1)
    ar || map;
  else
    map = ccXform<2>();
  a.center_ = center;
  a.radius_ = radius;
  a.startAngle_ = ccDegree(start);
  a.angleSpan_ = ccDegree(span);
  a.map_ = map;
  return ar;
}

cc2SegmentArc operator*(const ccXform<2>& x, const cc2SegmentArc& a) {
  cc2SegmentArc mapped(a);
  mapped.map_ = x * a.map_;
  return mapped;
}

cc2SegmentArc operator*(const cc2Rigid& r, const cc2SegmentArc& a) { return r.xform() * a; }
