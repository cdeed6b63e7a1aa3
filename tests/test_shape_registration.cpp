// Every shape class is registered for loading, and loads back as its own class.
#include <core/shapes.h>

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

TEST(ShapeRegistration, EveryShapeClassIsRegistered) {
  for (const char* name : {"ccRect",          "ccPoint",          "cc2Point",
                           "ccPointSet",      "ccCross",          "ccLineSeg",
                           "ccLineSegSet",    "ccLine",           "ccFLine",
                           "ccPolyline",      "ccPolygon",        "ccAffineRectangle",
                           "ccCoordAxes",     "ccCircle",         "ccAnnulus",
                           "ccEllipse",       "ccEllipseArc",     "ccEllipse2",
                           "ccEllipseArc2",   "ccEllipseAnnulus", "ccEllipseAnnulusSection",
                           "ccGenRect",       "ccGenAnnulus",     "ccBezierCurve",
                           "ccCubicSpline",   "ccDeBoorSpline",   "ccInterpSpline",
                           "ccHermiteSpline", "ccShapeTree",      "ccContourTree",
                           "ccRegionTree",    "ccMappedShape",    "ccRLEBuffer"})
    EXPECT_TRUE(cc_Instantiator::isRegistered(name)) << name;
}

TEST(ShapeRegistration, RectangleLoadsThroughAHandle) {
  ccPtrHandle<ccShape> h(new ccRect(ccVector<2>(1, 2), ccVector<2>(3, 4)));
  ccArchive out;
  out || h;
  ccArchive in(out.data());
  ccPtrHandle<ccShape> back;
  in || back;
  ASSERT_TRUE(back);
  EXPECT_EQ(typeid(*back), typeid(ccRect));
  EXPECT_TRUE(back->equal(*h));
  EXPECT_TRUE(in.atEnd());
}
