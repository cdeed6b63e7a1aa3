// Every shape class is registered for loading, and loads back as its own class.
#include <core/shapes.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

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

TEST(ShapeRegistration, RectangleRejectsNonFiniteGeometryAndKeepsItsValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(ccRect(ccVector<2>(nan, 0), ccVector<2>(1, 1)), ccShapesError::BadGeom);
  EXPECT_THROW(ccRect(ccVector<2>(0, 0), ccVector<2>(1, HUGE_VAL)), ccShapesError::BadGeom);
  // A stored rectangle whose size is NaN fails to load and leaves the target as it was.
  ccRect r(ccVector<2>(1, 2), ccVector<2>(3, 4));
  ccArchive out;
  r.dispatchSerialize(out);
  std::vector<unsigned char> bytes = out.data();
  ASSERT_EQ(bytes.size(), 34u);
  for (std::size_t i = 18; i < 26; ++i) bytes.at(i) = 0xFF;  // size.x := NaN
  ccArchive in(bytes);
  ccRect kept(ccVector<2>(5, 6), ccVector<2>(7, 8));
  EXPECT_THROW(kept.dispatchSerialize(in), ccShapesError::BadGeom);
  EXPECT_EQ(kept, ccRect(ccVector<2>(5, 6), ccVector<2>(7, 8)));
}
