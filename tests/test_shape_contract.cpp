// The shared interface of every shape class. A seeded randomised check compares each class's
// answers with brute-force oracles built from a dense sampling; one row per class gives its
// archive form: the shape loads back equal through a persistent pointer, a stored field the
// constructor refuses is refused on loading with the same error (the target keeps its value),
// and a version byte 1 names the class's source.
#include <core/affinerect.h>
#include <core/archive.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/genshape.h>
#include <core/lines.h>
#include <core/mappedshape.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/shapetree.h>
#include <core/splines.h>
#include <core/visiblesample.h>
#include <dispc/wrfm/genpoly.h>

#include "archivebytes.h"
#include "genpolysample.h"
#include "shapetesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
using V = ccVector<2>;
using M = ccMatrix<2>;

constexpr std::uint32_t kBadGeom = 0x10003100, kDegenerate = 0x10003101, kBadParams = 0x10003103,
                        kBadRadius = 0x10003104, kBadCoef = 0x10003105;

ccEllipse2 ellipse2(double ry) {
  return ccEllipse2(V(3, ry), ccRadian(0.5), V(1, 2), true, ccRadian(0.25));
}

// ---- The randomised contract check

using Rng = std::mt19937;
using Kids = std::vector<ccShapePtrh>;

double uniform(Rng& rng, double lo, double hi) {
  return std::uniform_real_distribution<double>(lo, hi)(rng);
}
V point(Rng& rng, double r = 5) { return V(uniform(rng, -r, r), uniform(rng, -r, r)); }
ccRadian angle(Rng& rng) { return ccRadian(uniform(rng, -4, 4)); }
std::vector<V> points(Rng& rng, int n) {
  std::vector<V> p;
  for (int i = 0; i < n; ++i) p.push_back(point(rng));
  return p;
}
// A convex polygon: n points on a circle at increasing angles, counter-clockwise when ccw.
std::vector<V> convex(Rng& rng, int n, bool ccw) {
  std::vector<V> p;
  const V c = point(rng, 2);
  const double r = uniform(rng, 1, 4), t0 = uniform(rng, 0, 6);
  for (int i = 0; i < n; ++i) {
    const double t = t0 + (ccw ? 1 : -1) * (2 * ccPi * (i + uniform(rng, 0.1, 0.6)) / n);
    p.push_back(c + V(r * std::cos(t), r * std::sin(t)));
  }
  return p;
}
// The polyline p as a contour tree of segments; with joins, of every other edge only, the
// tree joining each piece's end to the next one's start.
ccShapePtrh polylineTree(const std::vector<V>& p, bool closed, bool joins = false) {
  Kids kids;
  for (std::size_t i = 0; i + 1 < p.size(); i += joins ? 2 : 1)
    kids.emplace_back(new ccLineSeg(p[i], p[i + 1]));
  return ccShapePtrh(new ccContourTree(kids, closed));
}
ccEllipse ellipse(Rng& rng, bool reflected = false) {
  return ccEllipse(point(rng, 2), V(uniform(rng, 1, 4), uniform(rng, 0.3, 3)), angle(rng),
                   reflected);
}
ccEllipse2 ellipse2(Rng& rng) {
  return ccEllipse2(V(uniform(rng, 1, 4), uniform(rng, 0.3, 3)), angle(rng), point(rng, 2),
                    rng() % 2 == 1, angle(rng));
}
ccBezierCurve bezier(Rng& rng) {
  return ccBezierCurve(point(rng), point(rng), point(rng), point(rng));
}
ccPtrHandle_const<cc2XformBase> distortion(Rng& rng, bool mirror) {
  return ccPtrHandle_const<cc2XformBase>(new cc2XformRadialDistortion(
      ccXform<2>(M(1, 0, 0, mirror ? -1 : 1), V()), point(rng, 1), uniform(rng, 0.001, 0.005)));
}

// One random instance of a class, and what it is: 'o' an open contour, 'r' a region with one
// boundary, 'R' a region with several, '-' neither.
struct Kind {
  char is;
  std::function<ccShapePtrh(Rng&)> make;
};

template <class S, class... A>
ccShapePtrh make(A&&... a) {
  return ccShapePtrh(new S(std::forward<A>(a)...));
}

const Kind kKinds[] = {
    {'-', [](Rng& r) { return make<ccPoint>(point(r)); }},
    {'-', [](Rng& r) { return make<cc2Point>(point(r)); }},
    {'-', [](Rng& r) { return make<ccPointSet>(points(r, 4)); }},
    {'-', [](Rng& r) { return make<ccCross>(point(r), angle(r), static_cast<int>(r() % 9)); }},
    {'-', [](Rng& r) { return make<ccCoordAxes>(point(r), point(r), point(r)); }},

    {'o', [](Rng& r) { return make<ccLineSeg>(point(r), point(r)); }},
    {'-',
     [](Rng& r) {
       return make<ccLineSegSet>(
           std::vector<ccLineSeg>{ccLineSeg(point(r), point(r)), ccLineSeg(point(r), point(r))});
     }},
    {'-', [](Rng& r) { return make<ccLine>(point(r), point(r)); }},
    {'-', [](Rng& r) { return make<ccFLine>(point(r), point(r)); }},
    {'o', [](Rng& r) { return make<ccPolyline>(points(r, 5), false); }},
    {'r', [](Rng& r) { return make<ccPolyline>(convex(r, 5, r() % 2), true); }},
    {'r', [](Rng& r) { return make<ccPolygon>(convex(r, 6, r() % 2), ccPolygon::eFillWinding); }},
    {'r', [](Rng& r) { return make<ccRect>(point(r), V(uniform(r, 0.5, 6), 3)); }},
    {'r', [](Rng& r) { return make<ccAffineRectangle>(point(r), point(r), point(r)); }},
    {'r', [](Rng& r) { return make<ccCircle>(point(r, 2), uniform(r, 0.5, 4)); }},
    {'R',
     [](Rng& r) { return make<ccAnnulus>(point(r, 2), uniform(r, 0.5, 1.5), uniform(r, 2, 4)); }},
    {'r', [](Rng& r) { return make<ccEllipse>(ellipse(r, r() % 2)); }},
    {'o', [](Rng& r) { return make<ccEllipseArc>(ellipse(r, r() % 2), angle(r), angle(r)); }},
    {'r', [](Rng& r) { return make<ccEllipse2>(ellipse2(r)); }},
    {'o', [](Rng& r) { return make<ccEllipseArc2>(ellipse2(r), angle(r), angle(r)); }},
    {'R', [](Rng& r) { return make<ccEllipseAnnulus>(ellipse(r), uniform(r, 0.2, 0.8)); }},
    {'r',
     [](Rng& r) {
       return make<ccEllipseAnnulusSection>(
           ccEllipseAnnulus(ellipse(r), uniform(r, 0.2, 0.8)), ccRadian(uniform(r, -3, 0)),
           ccRadian(uniform(r, 0.5, 3)), r() % 2 == 1, r() % 2 == 1);
     }},
    {'r',
     [](Rng& r) {
       return make<ccGenRect>(point(r, 2), V(uniform(r, 0.5, 3), uniform(r, 0.5, 3)), angle(r),
                              V(uniform(r, 0, 1), uniform(r, 0, 1)));
     }},
    {'R',
     [](Rng& r) {
       const V c = point(r, 2);
       const ccRadian a = angle(r);
       return make<ccGenAnnulus>(ccGenRect(c, V(1, 0.5), a, V(0.5, 0.5)),
                                 ccGenRect(c, V(3, 2), a, V(uniform(r, 0, 1), 0.3)));
     }},
    {'r',
     [](Rng& r) {
       return make<ccGenShapeRoundedPolygon>(
           convex(r, 5, true), uniform(r, 0, 1),
           ccXform<2>(M(1, uniform(r, -1, 1), 0, 1), point(r, 1)));
     }},
    {'o', [](Rng& r) { return make<ccBezierCurve>(bezier(r)); }},
    {'o',
     [](Rng& r) {
       return make<ccBezierCurve>(ccBezierCurve::Points{point(r), point(r), point(r), point(r)},
                                  ccBezierCurve::Weights{1, uniform(r, 0.2, 3), 0.5, 2});
     }},
    {'o',
     [](Rng& r) {
       const ccBezierCurve a = bezier(r);
       return make<ccCubicSpline>(std::vector<ccBezierCurve>{
           a, ccBezierCurve(a.endPoint(), point(r), point(r), point(r))});
     }},
    {'o', [](Rng& r) { return make<ccDeBoorSpline>(points(r, 6), ccDeBoorSpline::eUniform); }},
    {'o', [](Rng& r) { return make<ccInterpSpline>(points(r, 4)); }},
    {'o',
     [](Rng& r) {
       // Tangents along the neighbouring chords: no cusps, which the turn oracle cannot follow.
       const std::vector<V> p = points(r, 3);
       return make<ccHermiteSpline>(p, std::vector<V>{p[1] - p[0], (p[2] - p[0]) / 2, p[2] - p[1]});
     }},
    {'-',
     [](Rng& r) {
       return make<ccShapeTree>(Kids{make<ccLineSeg>(point(r), point(r)), make<ccPoint>(point(r)),
                                     make<ccCircle>(point(r), 1.0)});
     }},
    {'o', [](Rng& r) { return polylineTree(points(r, 4), false); }},
    {'o', [](Rng& r) { return polylineTree(points(r, 6), false, true); }},
    {'r', [](Rng& r) { return polylineTree(convex(r, 6, r() % 2), true, true); }},
    {'R',
     [](Rng& r) {
       const V c = point(r, 1);
       ccRegionTree outer(dynamic_cast<const ccContourTree&>(
           *polylineTree({c + V(-4, -4), c + V(4, -4), c + V(4, 4), c + V(-4, 4)}, true)));
       outer.add(ccRegionTree(dynamic_cast<const ccContourTree&>(*polylineTree(
                                  {c + V(-1, -1), c + V(2, -1), c + V(2, 1), c + V(-1, 1)}, true)),
                              true));
       return make<ccRegionTree>(outer);
     }},
    {'o', [](Rng& r) { return bezier(r).map(distortion(r, r() % 2)); }},
    {'r',
     [](Rng& r) { return ccCircle(point(r, 2), uniform(r, 1, 4)).map(distortion(r, r() % 2)); }},
    // Straight pieces that the distortion bends.
    {'r',
     [](Rng& r) { return ccPolyline(convex(r, 4, r() % 2), true).map(distortion(r, r() % 2)); }},
    {'r', [](Rng&) { return roundedGenPoly().clone(); }},
    {'o',
     [](Rng& r) {
       // An arc, then a line on the other side: the two cannot cross.
       const V c = point(r, 1);
       ccGenPoly g;
       g.insertVertex(c + V(-4, uniform(r, -3, 3)), 0, ccRadian(0));
       g.insertVertex(c, 0, ccRadian(uniform(r, -1.5, 1.5)));
       g.insertVertex(c + V(4, uniform(r, -3, 3)), 0, ccRadian(0));
       return g.clone();
     }},
};

// The dense samples of s (spacing 0.02, on the shape), or none when s cannot be sampled.
std::vector<V> dense(const ccShape& s) {
  ccShape::ccSampleResult r;
  try {
    s.sample(ccShape::ccSampleParams(0.02, 1e-4, 1000000), r);
  } catch (const ccShapesError::BadParams&) {
  }
  return r.positions();
}
double nearestSample(const std::vector<V>& pts, const V& p) {
  double d = kInf;
  for (const V& q : pts) d = std::min(d, (q - p).length());
  return d;
}
double length(const std::vector<V>& pts) {
  double l = 0;
  for (std::size_t i = 1; i < pts.size(); ++i) l += (pts[i] - pts[i - 1]).length();
  return l;
}
// The distance from p to the polyline pts (closed back to its start when closed).
double toPolyline(const std::vector<V>& pts, const V& p, bool closed) {
  double d = (pts[0] - p).length();
  for (std::size_t i = 0; i + (closed ? 0 : 1) < pts.size(); ++i) {
    const V a = pts[i], ab = pts[(i + 1) % pts.size()] - a;
    const double t = ab.lengthSq() > 0 ? std::clamp((p - a).dot(ab) / ab.lengthSq(), 0.0, 1.0) : 0;
    d = std::min(d, (a + ab * t - p).length());
  }
  return d;
}
// Twice the signed area of the closed polygon pts.
double area(const std::vector<V>& pts) {
  double a = 0;
  for (std::size_t i = 0; i < pts.size(); ++i) a += pts[i].cross(pts[(i + 1) % pts.size()]);
  return a;
}
// The angle pts sweep round p, back to their start when closed.
double sweep(const std::vector<V>& pts, const V& p, bool closed) {
  double sweep = 0;
  for (std::size_t i = 0; i + (closed ? 0 : 1) < pts.size(); ++i) {
    const V a = pts[i] - p, b = pts[(i + 1) % pts.size()] - p;
    sweep += std::atan2(a.cross(b), a.dot(b));
  }
  return sweep;
}

// Every class, ten random instances each, against oracles from a dense sampling (points at
// most 0.02 apart on the shape): the bounding box is the samples' box; the distance to a
// random point is the least sample distance and the nearest point lies on the shape; a region
// holds the points its boundary winds round and has the handedness and length of its sampled
// outline; the winding angle is the samples' sweep; an
// open contour starts and ends at the samples' ends, is as long as they are, and its reverse,
// sub-shapes and perimeter positions agree with that. A clone, an archived copy, the
// decomposition, a reversed region and a map followed by its inverse answer as the shape does;
// a mirror and a reversal turn the handedness; a class that is no contour or no region refuses
// those queries.

TEST(ShapeContract, EveryClassAnswersAsItsDenseSamplingDoes) {
  Rng rng(31);
  const ccXform<2> mirror(M(-1, 0.3, 0.2, 1.2), V(1, -2));
  for (const Kind& kind : kKinds) {
    for (int instance = 0; instance < 10; ++instance) {
      const ccShapePtrh s = kind.make(rng);
      SCOPED_TRACE(testing::Message() << typeid(*s).name() << " " << kind.is << " #" << instance);
      EXPECT_EQ(s->isOpenContour(), kind.is == 'o');
      EXPECT_EQ(s->isRegion(), kind.is == 'r' || kind.is == 'R');
      EXPECT_TRUE(*s->clone() == *s);
      EXPECT_TRUE(*roundTrip(s) == *s);
      if (!s->isOpenContour()) {
        EXPECT_THROW(s->startPoint(), ccShapesError::NotOpenContour);
        EXPECT_THROW(s->endPoint(), ccShapesError::NotOpenContour);
        EXPECT_THROW(s->startAngle(), ccShapesError::NotOpenContour);
        EXPECT_THROW(s->endAngle(), ccShapesError::NotOpenContour);

        EXPECT_THROW(s->tangentRotation(), ccShapesError::NotOpenContour);
      }
      if (!s->isRegion()) {
        EXPECT_THROW(s->within(V()), ccShapesError::NotRegion);
        EXPECT_THROW(s->isRightHanded(), ccShapesError::NotRegion);
      }
      if (!s->isReversible()) {
        EXPECT_ANY_THROW(s->reverse());
      }

      const ccShapePtrh decomposed = s->decompose();
      // Random instances are not degenerate: contours and regions have a direction.
      if (s->isOpenContour() || s->isRegion()) {
        EXPECT_TRUE(s->hasTangent());
      }
      if (s->isDecomposed()) {
        EXPECT_TRUE(*decomposed == *s);
      }
      const ccShapePtrh there = s->mapShape(mirror);
      const ccShapePtrh back = there->mapShape(mirror.inverse());
      if (s->isRegion()) {
        EXPECT_NE(there->isRightHanded(), s->isRightHanded());
      }
      const ccShapePtrh rev = s->isReversible() ? s->reverse() : s;
      if (s->isRegion() && s->isReversible()) {
        EXPECT_NE(rev->isRightHanded(), s->isRightHanded());
      }
      const std::vector<V> pts = dense(*s);
      if (!s->isFinite()) {
        EXPECT_THROW(s->boundingBox(), ccShapesError::BadGeom);
      } else if (!pts.empty()) {
        const ccRect box = s->boundingBox();
        EXPECT_EQ(s->encloseRect(), box);

        V lo = pts[0], hi = pts[0];
        for (const V& q : pts) {
          lo = V(std::min(lo.x(), q.x()), std::min(lo.y(), q.y()));
          hi = V(std::max(hi.x(), q.x()), std::max(hi.y(), q.y()));
        }
        EXPECT_TRUE(cfRealEq(box.ul(), lo, 0.011) && cfRealEq(box.lr(), hi, 0.011))
            << box.ul() << box.lr() << " against " << lo << hi;
      }
      for (int k = 0; k < 8; ++k) {
        const V p = point(rng, 7);
        const double d = s->distanceToPoint(p);
        EXPECT_NEAR(d, (s->nearestPoint(p) - p).length(), 1e-9);
        // A mapped shape's pieces are each sampled densely for their own size.
        EXPECT_NEAR(decomposed->distanceToPoint(p), d,
                    dynamic_cast<const ccMappedShape*>(s.get()) ? 1e-5 : 1e-9);
        EXPECT_NEAR(back->distanceToPoint(p), d, 1e-7);
        if (!pts.empty()) {
          const double brute = nearestSample(pts, p);
          EXPECT_LE(d, brute + 1e-4) << p;
          EXPECT_GE(d, brute - 0.011) << p;
          EXPECT_LE(nearestSample(pts, s->nearestPoint(p)), 0.011) << p;
        }
        // A closed general polygon has no winding angle of its own.
        if (d > 0.1 && (kind.is == 'o' || kind.is == 'r') && !dynamic_cast<ccGenPoly*>(s.get())) {
          EXPECT_NEAR(s->windingAngle(p).toDouble(), sweep(pts, p, kind.is == 'r'), 1e-3) << p;
        }
        if (!s->isRegion() || d < 0.02) continue;
        EXPECT_EQ(decomposed->within(p), s->within(p)) << p;
        EXPECT_EQ(there->within(mirror * p), s->within(p)) << p;
        EXPECT_EQ(back->within(p), s->within(p)) << p;
        EXPECT_EQ(rev->within(p), s->within(p)) << p;
        if (kind.is == 'r') {
          EXPECT_EQ(s->within(p), std::lround(sweep(pts, p, true) / (2 * ccPi)) != 0) << p;
        }
      }
      if (kind.is == 'o' || kind.is == 'r') {
        // A sampling to a tolerance lies on the shape, repeats no point and keeps the shape
        // within it.
        const std::vector<V> c = samplePositions(*s, ccShape::ccSampleParams(0, 0.05));
        for (const V& q : c) EXPECT_LE(nearestSample(pts, q), 0.011) << q;
        for (std::size_t i = 1; i < c.size(); ++i) EXPECT_NE(c[i], c[i - 1]) << i;  // no repeats
        double worst = 0;
        for (const V& q : pts) worst = std::max(worst, toPolyline(c, q, kind.is == 'r'));
        EXPECT_LE(worst, 0.05 * (1 + 1e-6));
        // Sampling for drawing, in a view that holds the whole shape, samples the same.
        ccShape::ccSampleResult visible;
        cfSampleVisible(*s, ccShape::ccSampleParams(0, 0.05), ccRect(V(-1e3, -1e3), V(2e3, 2e3)),
                        visible);
        EXPECT_EQ(visible.positions(), c);
        const double len = s->perimeter();
        // A sub-shape from a to b: as long as that, ending at position b.
        const double a = len * uniform(rng, 0, 0.5);
        const double b =
            len * uniform(rng, 0.5, kind.is == 'o' ? 1 : 0.95);  // 'r': not wrapping to 0
        try {
          const ccShapePtrh sub = s->subShape(a, b);
          EXPECT_NEAR(sub->perimeter(), b - a, 1e-6 * len);
          EXPECT_NEAR(s->nearestPerimPos(sub->endPoint()), b, 1e-3 * len);
          EXPECT_LE(nearestSample(pts, sub->startPoint()), 0.011);
        } catch (const ccShapesError::BadParams&) {
          // A mapped shape has no sub-shapes, nor have some regions.
          EXPECT_TRUE(kind.is == 'r' || dynamic_cast<const ccMappedShape*>(s.get()));
        }
      }
      if (kind.is == 'r') {
        EXPECT_EQ(s->isRightHanded(), area(pts) > 0);
        const double closed = length(pts) + (pts.back() - pts.front()).length();
        EXPECT_NEAR(s->perimeter(), closed, 1e-3 * closed);
      }

      if (!s->isOpenContour()) continue;

      const double len = length(pts);
      EXPECT_TRUE(cfRealEq(s->startPoint(), pts.front(), 1e-9));
      EXPECT_TRUE(cfRealEq(s->endPoint(), pts.back(), 1e-9));
      // A tolerance needing more points than allowed: exactly the maximum, ends kept.
      const std::vector<V> fine = samplePositions(*s, ccShape::ccSampleParams(0, 1e-9, 1000000));
      const std::vector<V> seven = samplePositions(*s, ccShape::ccSampleParams(0, 1e-9, 7));
      if (fine.size() <= 7) {
        EXPECT_EQ(seven, fine);
      } else {
        EXPECT_EQ(seven.size(), 7u);
        EXPECT_TRUE(cfRealEq(seven.back(), s->endPoint(), 1e-9));
      }
      // The end directions are those of the end chords (to the curvature over one chord).
      const auto along = [](const ccRadian& a, const V& chord) {
        return (V(cos(a), sin(a)) - chord / chord.length()).length();
      };
      EXPECT_LT(along(s->startAngle(), pts[1] - pts[0]), 0.15);
      EXPECT_LT(along(s->endAngle(), pts.back() - pts[pts.size() - 2]), 0.15);

      EXPECT_NEAR(s->perimeter(), len, 1e-3 * len + 1e-9);
      EXPECT_NEAR(s->nearestPerimPos(s->endPoint()), s->perimeter(), 1e-3 * len + 1e-9);
      EXPECT_TRUE(cfRealEq(rev->startPoint(), s->endPoint(), 1e-9));

      EXPECT_NEAR(rev->perimeter(), s->perimeter(), 1e-9 * len);
      // The turn of the tangent: from the start tangent along the chords of the samples to the
      // end tangent.
      const auto turnTo = [](double a, double b) { return std::remainder(b - a, 2 * ccPi); };
      double turn = 0, heading = s->startAngle().toDouble();
      for (std::size_t i = 1; i < pts.size(); ++i) {
        const V v = pts[i] - pts[i - 1];
        if (v.length() <= 1e-9) continue;
        turn += turnTo(heading, v.angle().toDouble());
        heading = v.angle().toDouble();
      }
      turn += turnTo(heading, s->endAngle().toDouble());
      EXPECT_NEAR(s->tangentRotation().toDouble(), turn, 2e-3);
    }
  }
  // An empty shape encloses the null rectangle; its bounding box is an error.
  EXPECT_EQ(ccShapeTree().encloseRect(), ccRect());
  EXPECT_EQ(ccPointSet().encloseRect(), ccRect());
}

TEST(ShapeArchive, EveryShapeClassRoundTripsRefusesBadFieldsAndUnknownVersions) {
  using S = ccShapePtrh;
  const ccEllipseAnnulus ring(ccEllipse(V(1, 1), V(2, 1), ccRadian(0.3)), 0.40625);
  const ccEllipse e(V(1, 2), V(3, 0.5), ccRadian(-0.3), true);
  // Each shape holds the marker value once among its stored doubles (no marker: 0, 0).
  const struct {
    S shape;
    double marker, bad;
    std::uint32_t error;
    const char* source;
  } kRows[] = {
      {S(new ccPoint(12345.5, 2)), 12345.5, kNaN, kBadGeom, "core/points"},
      {S(new cc2Point(12345.5, 2)), 12345.5, kNaN, kBadGeom, "core/points"},
      {S(new ccPointSet({V(1, 2), V(777.25, 0)})), 777.25, kInf, kBadGeom, "core/points"},
      {S(new ccCross(V(1, 1), ccRadian(4321.5), 4)), 4321.5, kNaN, kBadGeom, "core/points"},
      {S(new ccLineSeg(V(1, 2), V(3, 888.5))), 888.5, kInf, kBadGeom, "core/lines"},
      {S(new ccLineSegSet({ccLineSeg(V(0, 0), V(2, 0)), ccLineSeg(V(5, 5), V(5, 999.5))})), 999.5,
       kNaN, kBadGeom, "core/lines"},
      {S(new ccLine(V(1357.5, 0), V(3, 4))), 1357.5, 0, kDegenerate, "core/lines"},
      {S(new ccFLine(1.0, 0.0, 5555.5)), 5555.5, kInf, kBadGeom, "core/lines"},
      {S(new ccPolyline({V(1, 2), V(3, 1212.5)}, true)), 1212.5, kNaN, kBadGeom, "core/polyline"},
      {S(new ccPolygon({V(1, 2), V(3, 4), V(5, 7)}, ccPolygon::eFillWinding)), 0, 0, 0,
       "core/polyline"},
      {S(new ccRect(V(-1e300, 3), V(4.9e-324, 0.1))), 0.1, kNaN, kBadGeom, "core/rect"},
      {S(new ccAffineRectangle(V(1, 2), V(3, 4), V(3131.5, 5))), 3131.5, kNaN, kBadGeom,
       "core/affinerect"},
      {S(new ccCoordAxes(V(1, 1), V(4, 1), V(1, 4747.5))), 4747.5, kNaN, kBadGeom,
       "core/affinerect"},
      {S(new ccCircle(V(1.5, -2), 2468.5)), 2468.5, -2, kBadRadius, "core/ellipse"},
      {S(new ccAnnulus(V(1, 1), 0.5, 2468.5)), 2468.5, 0.25, kBadRadius, "core/ellipse"},
      {S(new ccEllipse(V(1, 2), V(3, 2468.5), ccRadian(-0.3), true)), 2468.5, -1, kBadRadius,
       "core/ellipse"},
      {S(new ccEllipseArc(e, ccRadian(-1), ccRadian(2468.5))), 2468.5, kInf, kBadGeom,
       "core/ellipse"},
      {S(new ccEllipse2(ellipse2(2468.5))), 2468.5, -1, kBadRadius, "core/ellipse"},
      {S(new ccEllipseArc2(ellipse2(1), ccRadian(-1), ccRadian(-2.5))), 0, 0, 0, "core/ellipse"},
      {S(new ccEllipseAnnulus(ccEllipse(V(0, 0), V(4, 2)), 0.40625)), 0.40625, 2, kBadParams,
       "core/ellipse"},
      {S(new ccEllipseAnnulusSection(ring, ccRadian(-0.5), ccRadian(2), true, true)), 0.40625, 2,
       kBadParams, "core/ellipse"},
      {S(new ccGenRect(V(1, 1), M(2, 0.5, 0, 1), V(0.3, 0.625))), 0.625, 2, kBadParams,
       "core/genrect"},
      {S(new ccGenAnnulus(ccGenRect(V(0, 0), M()), ccGenRect(V(0, 0), M(3, 0, 0, 2), V(0.5, 0.5)))),
       0, 0, 0, "core/genrect"},
      {S(new ccBezierCurve(ccBezierCurve::Points{V(1, 2), V(3, 4), V(5, 6), V(7, 8)},
                           {1, 2, 3, 4321.5})),
       4321.5, 0, kBadCoef, "core/splines"},
      {S(new ccDeBoorSpline({V(0, 0), V(1, 3), V(3, 4), V(5, 1), V(6, -2)},
                            ccDeBoorSpline::eUniform)),
       0, 0, 0, "core/splines"},
      {S(new ccInterpSpline({V(0, 0), V(1, 2), V(3, 1), V(4, 4)})), 0, 0, 0, "core/splines"},
      {S(new ccHermiteSpline({V(0, 0), V(1, 1)}, {V(1, 0), V(0, 1)})), 0, 0, 0, "core/splines"},
  };
  // Two classes no test loads by name: registered all the same.
  for (const char* name : {"ccCubicSpline", "ccRLEBuffer"})
    EXPECT_TRUE(cc_Instantiator::isRegistered(name)) << name;
  for (const auto& row : kRows) {
    SCOPED_TRACE(typeid(*row.shape).name());
    const ccShapePtrh& shape = row.shape;
    EXPECT_TRUE(*roundTrip(shape) == *shape);

    Bytes future = bytesOf(*shape);
    future[0] = 1;
    ccArchive in(future);
    EXPECT_EQ(unknownVersionSource([&] { shape->clone()->dispatchSerialize(in); }), row.source);

    if (row.error == 0) continue;
    ccArchive bad(storedWith(*shape->clone(), row.marker, row.bad));
    const ccShapePtrh kept = shape->clone();
    EXPECT_EQ(errorOf([&] { kept->dispatchSerialize(bad); }), row.error);
    EXPECT_TRUE(*kept == *shape);
  }
}

// Uniform sampling of a single curve or polygon: the fewest equal parts no longer than the
// spacing, at equal arc lengths; a uniform sampling needs a spacing.
TEST(ShapeSampling, UniformSamplingTakesTheFewestEqualPartsAtEqualArcLengths) {
  const ccEllipse e(V(1, 1), V(5, 0.5), ccRadian(0.3));
  const ccShapePtrh shapes[] = {ccEllipseArc(e, ccRadian(-0.5), ccRadian(2.5)).clone(), e.clone(),
                                ccBezierCurve(V(0, 0), V(1, 3), V(2, -3), V(3, 0)).clone(),
                                ccPolyline({V(0, 0), V(4, 0), V(4, 3)}, true).clone()};
  for (const ccShapePtrh& s : shapes) {
    const double len = s->perimeter();
    ccShape::ccSampleResult r;
    s->sample(ccShape::ccSampleParams(len / 9.5, 0, 10000, false, true), r);
    ASSERT_EQ(r.size(), s->isOpenContour() ? 11u : 10u) << typeid(*s).name();
    for (std::size_t i = 0; i < r.size(); ++i)
      EXPECT_NEAR(s->nearestPerimPos(r.positions()[i]), len * i / 10, 1e-9 * len) << i;
    EXPECT_THROW(s->sample(ccShape::ccSampleParams(0, 0.1, 100, false, true), r),
                 ccShapesError::BadParams);
  }
}

// A shape far larger than the view costs the points of its visible part: curve pieces outside
// the view become chords, while what shows keeps the tolerance.
TEST(VisibleSampling, AShapeFarLargerThanTheViewCostsItsVisiblePart) {
  // A rounded square 1e9 across; the 320 x 240 view sits on the middle of a corner arc.
  const double h = 5e8, r = 4e8;
  const ccGenShapeRoundedPolygon shape({V(-h, -h), V(h, -h), V(h, h), V(-h, h)}, r);
  const V centre(h - r, h - r);
  const V onArc = centre + V(r, r) * std::sqrt(0.5);
  const ccRect view(onArc - V(160, 120), V(320, 240));
  ccShape::ccSampleResult result;
  cfSampleVisible(shape, ccShape::ccSampleParams(0, 0.25), view, result);
  const std::vector<V>& pts = result.positions();
  EXPECT_LT(pts.size(), 1000u);  // sample() needs its 10,000 maximum
  // Every point of the arc in the view lies within the tolerance of the polyline.
  int checked = 0;
  for (int i = -1000; i <= 1000; ++i) {
    const double a = 0.7853981633974483 + i * 1e-9;  // 0.4 pel apart
    const V p = centre + V(r * std::cos(a), r * std::sin(a));
    if (!view.within(p)) continue;
    ++checked;
    ASSERT_LE(toPolyline(pts, p, false), 0.25 + 1e-3) << i;
  }
  EXPECT_GT(checked, 800);
}

}  // namespace
