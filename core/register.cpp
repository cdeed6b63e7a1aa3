// Registration of the core library's persistent classes for loading from archives.
//
// Every header that declares a persistent class refers to ccCoreClassesRegistered (see
// persistent.h), so a static link that uses the library always keeps this file and its
// registrations.
#include <core/affinerect.h>
#include <core/archive.h>
#include <core/ellipse.h>
#include <core/errors.h>
#include <core/exception.h>
#include <core/genrect.h>
#include <core/genshape.h>
#include <core/lines.h>
#include <core/mappedshape.h>
#include <core/matherror.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/rlebuffer.h>
#include <core/shapetree.h>
#include <core/splines.h>

extern const int ccCoreClassesRegistered = 1;

namespace {

template <class T>
cc_Instantiator registerClass() {
  return cc_Instantiator(typeid(T), &T::make);
}

const cc_Instantiator registrations[] = {
    registerClass<ccException>(),
    registerClass<ccExceptionWithString>(),
    registerClass<ccStatusError>(),
    registerClass<ccArchive::UnknownVersion>(),
    registerClass<ccArchive::EndOfData>(),
    registerClass<ccArchive::BadData>(),
    registerClass<ccArchive::UnknownClass>(),
    registerClass<ccArchive::FileError>(),
    registerClass<ccArchive::WrongDirection>(),
    registerClass<ccMathError::Singular>(),
    registerClass<ccMathError::OutOfDomain>(),
    registerClass<ccShapesError::BadGeom>(),
    registerClass<ccShapesError::DegenerateShape>(),
    registerClass<ccShapesError::EmptyShape>(),
    registerClass<ccShapesError::BadParams>(),
    registerClass<ccShapesError::BadRadius>(),
    registerClass<ccShapesError::BadCoef>(),
    registerClass<ccShapesError::NotOpenContour>(),
    registerClass<ccShapesError::NoTangent>(),
    registerClass<ccShapesError::NotRegion>(),
    registerClass<ccPel::UnboundWindow>(),
    registerClass<ccRLEBuffer>(),
    // Points, lines, polylines, polygons, affine rectangles and coordinate axes.
    registerClass<ccRect>(),
    registerClass<ccPoint>(),
    registerClass<cc2Point>(),
    registerClass<ccPointSet>(),
    registerClass<ccCross>(),
    registerClass<ccLineSeg>(),
    registerClass<ccLineSegSet>(),
    registerClass<ccLine>(),
    registerClass<ccFLine>(),
    registerClass<ccPolyline>(),
    registerClass<ccPolygon>(),
    registerClass<ccAffineRectangle>(),
    registerClass<ccCoordAxes>(),
    // Circles, ellipses, arcs, annuli and general rectangles.
    registerClass<ccCircle>(),
    registerClass<ccAnnulus>(),
    registerClass<ccEllipse>(),
    registerClass<ccEllipseArc>(),
    registerClass<ccEllipse2>(),
    registerClass<ccEllipseArc2>(),
    registerClass<ccEllipseAnnulus>(),
    registerClass<ccEllipseAnnulusSection>(),
    registerClass<ccGenRect>(),
    registerClass<ccGenAnnulus>(),
    // Bezier curves and splines, shape trees, mapped shapes and generic shapes.
    registerClass<ccBezierCurve>(),
    registerClass<ccCubicSpline>(),
    registerClass<ccDeBoorSpline>(),
    registerClass<ccInterpSpline>(),
    registerClass<ccHermiteSpline>(),
    registerClass<ccShapeTree>(),
    registerClass<ccContourTree>(),
    registerClass<ccRegionTree>(),
    registerClass<ccMappedShape>(),
    registerClass<ccGenShapeRoundedPolygon>(),
};

}  // namespace
