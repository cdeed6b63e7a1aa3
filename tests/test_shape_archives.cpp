// Archive forms of every shape class, one row each: the shape loads back equal through a
// persistent pointer; a stored field the constructor refuses is refused on loading with the
// same error, and the target keeps its value; a version byte 1 names the class's source.
#include <core/affinerect.h>
#include <core/archive.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/lines.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/splines.h>

#include "shapetesting.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
using V = ccVector<2>;
using M = ccMatrix<2>;

constexpr std::uint32_t kBadGeom = 0x10003100, kDegenerate = 0x10003101, kBadParams = 0x10003103,
                        kBadRadius = 0x10003104, kBadCoef = 0x10003105;

struct Row {
  const char* name;
  std::function<ccShapePtrh()> make;  // holds the marker value once among its stored doubles
  double marker, bad;                 // no marker: 0, 0
  std::uint32_t error;
  const char* source;
};

ccEllipse2 ellipse2(double ry) {
  return ccEllipse2(V(3, ry), ccRadian(0.5), V(1, 2), true, ccRadian(0.25));
}

const Row kRows[] = {
    {"ccPoint", [] { return ccShapePtrh(new ccPoint(12345.5, 2)); }, 12345.5, kNaN, kBadGeom,
     "core/points"},
    {"cc2Point", [] { return ccShapePtrh(new cc2Point(12345.5, 2)); }, 12345.5, kNaN, kBadGeom,
     "core/points"},
    {"ccPointSet",
     [] {
       return ccShapePtrh(new ccPointSet({V(1, 2), V(777.25, 0)}));
     },
     777.25, kInf, kBadGeom, "core/points"},
    {"ccCross", [] { return ccShapePtrh(new ccCross(V(1, 1), ccRadian(4321.5), 4)); }, 4321.5, kNaN,
     kBadGeom, "core/points"},
    {"ccLineSeg", [] { return ccShapePtrh(new ccLineSeg(V(1, 2), V(3, 888.5))); }, 888.5, kInf,
     kBadGeom, "core/lines"},
    {"ccLineSegSet",
     [] {
       return ccShapePtrh(
           new ccLineSegSet({ccLineSeg(V(0, 0), V(2, 0)), ccLineSeg(V(5, 5), V(5, 999.5))}));
     },
     999.5, kNaN, kBadGeom, "core/lines"},
    {"ccLine", [] { return ccShapePtrh(new ccLine(V(1357.5, 0), V(3, 4))); }, 1357.5, 0,
     kDegenerate, "core/lines"},
    {"ccFLine", [] { return ccShapePtrh(new ccFLine(1.0, 0.0, 5555.5)); }, 5555.5, kInf, kBadGeom,
     "core/lines"},
    {"ccPolyline",
     [] {
       return ccShapePtrh(new ccPolyline({V(1, 2), V(3, 1212.5)}, true));
     },
     1212.5, kNaN, kBadGeom, "core/polyline"},
    {"ccPolygon",
     [] {
       return ccShapePtrh(new ccPolygon({V(1, 2), V(3, 4), V(5, 7)}, ccPolygon::eFillWinding));
     },
     0, 0, 0, "core/polyline"},
    {"ccRect", [] { return ccShapePtrh(new ccRect(V(-1e300, 3), V(4.9e-324, 0.1))); }, 0.1, kNaN,
     kBadGeom, "core/rect"},
    {"ccAffineRectangle",
     [] { return ccShapePtrh(new ccAffineRectangle(V(1, 2), V(3, 4), V(3131.5, 5))); }, 3131.5,
     kNaN, kBadGeom, "core/affinerect"},
    {"ccCoordAxes", [] { return ccShapePtrh(new ccCoordAxes(V(1, 1), V(4, 1), V(1, 4747.5))); },
     4747.5, kNaN, kBadGeom, "core/affinerect"},
    {"ccCircle", [] { return ccShapePtrh(new ccCircle(V(1.5, -2), 2468.5)); }, 2468.5, -2,
     kBadRadius, "core/ellipse"},
    {"ccAnnulus", [] { return ccShapePtrh(new ccAnnulus(V(1, 1), 0.5, 2468.5)); }, 2468.5, 0.25,
     kBadRadius, "core/ellipse"},
    {"ccEllipse",
     [] { return ccShapePtrh(new ccEllipse(V(1, 2), V(3, 2468.5), ccRadian(-0.3), true)); }, 2468.5,
     -1, kBadRadius, "core/ellipse"},
    {"ccEllipseArc",
     [] {
       return ccShapePtrh(new ccEllipseArc(ccEllipse(V(1, 2), V(3, 0.5), ccRadian(-0.3), true),
                                           ccRadian(-1), ccRadian(2468.5)));
     },
     2468.5, kInf, kBadGeom, "core/ellipse"},
    {"ccEllipse2", [] { return ccShapePtrh(new ccEllipse2(ellipse2(2468.5))); }, 2468.5, -1,
     kBadRadius, "core/ellipse"},
    {"ccEllipseArc2",
     [] { return ccShapePtrh(new ccEllipseArc2(ellipse2(1), ccRadian(-1), ccRadian(-2.5))); }, 0, 0,
     0, "core/ellipse"},
    {"ccEllipseAnnulus",
     [] { return ccShapePtrh(new ccEllipseAnnulus(ccEllipse(V(0, 0), V(4, 2)), 0.40625)); },
     0.40625, 2, kBadParams, "core/ellipse"},
    {"ccEllipseAnnulusSection",
     [] {
       const ccEllipseAnnulus ring(ccEllipse(V(1, 1), V(2, 1), ccRadian(0.3)), 0.40625);
       return ccShapePtrh(
           new ccEllipseAnnulusSection(ring, ccRadian(-0.5), ccRadian(2), true, true));
     },
     0.40625, 2, kBadParams, "core/ellipse"},
    {"ccGenRect",
     [] { return ccShapePtrh(new ccGenRect(V(1, 1), M(2, 0.5, 0, 1), V(0.3, 0.625))); }, 0.625, 2,
     kBadParams, "core/genrect"},
    {"ccGenAnnulus",
     [] {
       return ccShapePtrh(new ccGenAnnulus(ccGenRect(V(0, 0), M()),
                                           ccGenRect(V(0, 0), M(3, 0, 0, 2), V(0.5, 0.5))));
     },
     0, 0, 0, "core/genrect"},
    {"ccBezierCurve",
     [] {
       return ccShapePtrh(new ccBezierCurve(
           ccBezierCurve::Points{V(1, 2), V(3, 4), V(5, 6), V(7, 8)}, {1, 2, 3, 4321.5}));
     },
     4321.5, 0, kBadCoef, "core/splines"},
    {"ccDeBoorSpline",
     [] {
       return ccShapePtrh(new ccDeBoorSpline({V(0, 0), V(1, 3), V(3, 4), V(5, 1), V(6, -2)},
                                             ccDeBoorSpline::eUniform));
     },
     0, 0, 0, "core/splines"},
    {"ccInterpSpline",
     [] {
       return ccShapePtrh(new ccInterpSpline({V(0, 0), V(1, 2), V(3, 1), V(4, 4)}));
     },
     0, 0, 0, "core/splines"},
    {"ccHermiteSpline",
     [] {
       return ccShapePtrh(new ccHermiteSpline({V(0, 0), V(1, 1)}, {V(1, 0), V(0, 1)}));
     },
     0, 0, 0, "core/splines"},
};

// The classes the round trips below and the shape-tree tests do not load by name.
TEST(ShapeArchive, ClassesLoadedNowhereElseAreRegistered) {
  for (const char* name : {"ccCubicSpline", "ccRLEBuffer"})
    EXPECT_TRUE(cc_Instantiator::isRegistered(name)) << name;
}

TEST(ShapeArchive, EveryShapeClassRoundTripsRefusesBadFieldsAndUnknownVersions) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const ccShapePtrh shape = row.make();
    const ccShapePtrh back = roundTrip(shape);
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == *shape);

    ccArchive out;
    row.make()->dispatchSerialize(out);
    std::vector<unsigned char> future = out.data();
    future[0] = 1;
    ccArchive in(future);
    const ccShapePtrh target = row.make();
    try {
      target->dispatchSerialize(in);
      ADD_FAILURE() << "loaded version 1";
    } catch (const ccArchive::UnknownVersion& e) {
      EXPECT_EQ(e.source(), row.source);
    }

    if (row.error == 0) continue;
    ccArchive bad(storedWith(*row.make(), row.marker, row.bad));
    // The target is another value of the class: the marker's neighbour.
    const ccShapePtrh kept = row.make();
    try {
      kept->dispatchSerialize(bad);
      ADD_FAILURE() << "loaded a bad field";
    } catch (const ccException& e) {
      EXPECT_EQ(e.errorNumber(), row.error) << e.what();
    }
    EXPECT_TRUE(*kept == *shape);
  }
}

}  // namespace
