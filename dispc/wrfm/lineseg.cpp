#include <dispc/wrfm/lineseg.h>

#include <core/assert.h>
#include <core/errors.h>
#include <dispc/tolerance.h>
#include <dispc/wrfm/fraction_p.h>

#include <algorithm>
#include <cmath>
#include <ostream>

namespace {

constexpr const char* kSource = "dispc/wrfm/lineseg";

}  // namespace

cc2SegmentLine::cc2SegmentLine(const ccVector<2>& p1, const ccVector<2>& p2) : p1_(p1), p2_(p2) {
  if (p1 == p2) throw ccShapesError::DegenerateShape("line segment with equal end points");
}

cc2SegmentLine::cc2SegmentLine(const ccLineSeg& seg) : cc2SegmentLine(seg.p1(), seg.p2()) {}

ccVector<2> cc2SegmentLine::segPoint(double t) const {
  if (!cc_detail::isFraction(t)) cstd_assert_(__LINE__, kSource);
  return p1_ + t * (p2_ - p1_);
}

ccDegree cc2SegmentLine::direction(double t) const {
  if (!cc_detail::isFraction(t)) cstd_assert_(__LINE__, kSource);
  return angle();
}

ccRect cc2SegmentLine::boundingBox() const {
  return ccRect(ccVector<2>(std::min(p1_.x(), p2_.x()), std::min(p1_.y(), p2_.y())),
                ccVector<2>(std::fabs(p1_.x() - p2_.x()), std::fabs(p1_.y() - p2_.y())));
}

bool cc2SegmentLine::inRange(const ccVector<2>& p, bool inclusive) const {
  const ccRadian a = angle();
  const ccVector<2> u(cos(a), sin(a));
  const double len = (p2_ - p1_).dot(u);
  const double s = (p - p1_).dot(u);
  const double tol = len * ccLineLengthTolerance;
  const bool nearEnd = cfRealEq(s, 0, tol) || cfRealEq(s, len, tol);
  if (inclusive) return (s >= 0 && s <= len) || nearEnd;
  return s > 0 && s < len && !nearEnd;
}

ccVector<2> cc2SegmentLine::closestPoint(const ccVector<2>& p) const {
  const ccVector<2> foot = line().closestPoint(p);
  if (inRange(foot, true)) return foot;
  return p.distance(p1_) <= p.distance(p2_) ? p1_ : p2_;
}

bool cc2SegmentLine::validPoint(const ccVector<2>& p, bool) const {
  return cfRealEq(distToPoint(p), 0, length() * ccLineLengthTolerance);
}

std::vector<ccVector<2>> cc2SegmentLine::intersection(const ccFLine& l, bool excludeEnds) const {
  std::vector<ccVector<2>> out;
  for (const ccVector<2>& p : l.intersection(line()))
    if (inRange(p, !excludeEnds)) out.push_back(p);
  return out;
}

std::vector<ccVector<2>> cc2SegmentLine::intersection(const cc2SegmentLine& other,
                                                      bool excludeEnds) const {
  std::vector<ccVector<2>> out;
  for (const ccVector<2>& p : other.intersection(line(), excludeEnds))
    if (inRange(p, !excludeEnds)) out.push_back(p);
  return out;
}

bool cc2SegmentLine::operator==(const cc2SegmentLine& o) const {
  return cfRealEq(p1_.x(), o.p1_.x(), ccRealEqEpsilon) &&
         cfRealEq(p1_.y(), o.p1_.y(), ccRealEqEpsilon) &&
         cfRealEq(p2_.x(), o.p2_.x(), ccRealEqEpsilon) &&
         cfRealEq(p2_.y(), o.p2_.y(), ccRealEqEpsilon);
}

void cc2SegmentLine::print_(std::ostream& os) const {
  os << "p1_=" << p1_.x() << p1_.y() << std::endl;
  os << "p2_=" << p2_.x() << p2_.y() << std::endl;
  os << std::endl;
}

ccArchive& operator||(ccArchive& ar, cc2SegmentLine& s) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  // Read into temporaries so that a failure part way leaves the segment as it was.
  ccVector<2> p1 = s.p1_, p2 = s.p2_;
  ar || p1 || p2;
  s.p1_ = p1;
  s.p2_ = p2;
  return ar;
}

cc2SegmentLine operator*(const cc2Rigid& r, const cc2SegmentLine& s) {
  return cc2SegmentLine(r * s.p1(), r * s.p2());
}

cc2SegmentLine operator*(const ccXform<2>& x, const cc2SegmentLine& s) {
  return cc2SegmentLine(x * s.p1(), x * s.p2());
}
