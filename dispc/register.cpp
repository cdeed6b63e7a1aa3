// Registration of the display library's persistent classes for loading from archives.
//
// Every display header refers to ccDispcClassesRegistered (see errors.h), so a static link that
// uses the library always keeps this file and its registrations.
#include <dispc/dispprop.h>
#include <dispc/errors.h>
#include <dispc/graphic.h>
#include <dispc/graphicgroup.h>
#include <dispc/sketchop.h>
#include <dispc/smd/dimension.h>
#include <dispc/smd/model.h>
#include <dispc/smd/poly.h>
#include <dispc/smd/polyvertex.h>
#include <dispc/wrfm/colors.h>
#include <dispc/wrfm/genpoly.h>
#include <dispc/wrfm/wirefrm.h>

extern const int ccDispcClassesRegistered = 1;

namespace {

template <class T>
cc_Instantiator registerClass() {
  return cc_Instantiator(typeid(T), &T::make);
}

const cc_Instantiator registrations[] = {
    registerClass<ccUIError::BadLayer>(),
    registerClass<ccUIError::BadIconPattern>(),
    registerClass<ccUIError::FlagStackUnderflow>(),
    registerClass<ccUIError::FlagStackOverflow>(),
    registerClass<ccUIError::FlagStackOutOfRange>(),
    registerClass<ccUIError::NotAvailable>(),
    registerClass<ccUIError::NotEnabled>(),
    registerClass<ccUIError::BadKeyValue>(),
    registerClass<ccUIError::InvalidColorMapSize>(),
    registerClass<ccUIError::NotImplemented>(),
    registerClass<ccUIError::BadParams>(),
    registerClass<ccUIError::NotRGBColor>(),
    registerClass<ccUIError::NotIndexColor>(),
    registerClass<ccUIError::NoLongerSupported>(),
    registerClass<ccUIError::InvalidUISketch>(),
    registerClass<ccUIError::InitFailed>(),
    registerClass<ccGraphicProps::BadParams>(),
    registerClass<ccSMDDimension::badDimensionValue>(),
    registerClass<ccSMDGDPolyVertex::invalidSegmentLength>(),
    registerClass<ccSMDGDPoly::invalidVertices>(),
    registerClass<ccSMDGDPoly::crossingSegments>(),
    registerClass<ccSMDGDPoly::invalidIndex>(),
    registerClass<ccSMDGDPoly::invalidRounding>(),
    registerClass<ccSMDGDPoly::noPelBuffer>(),
    registerClass<ccSMDGDPoly::badSubModel>(),
    registerClass<ccSMDGDPoly::notClosed>(),
    registerClass<ccSMDGDModel::invalidIndex>(),
    registerClass<ccSMDGDModel::crossingPolys>(),
    registerClass<ccSMDGDModel::nestedPolys>(),
    registerClass<ccGraphic::BadParams>(),
    registerClass<ccGraphic::NoGraphicForShape>(),
    registerClass<ccGraphicProps>(),
// Graphics: one class per shape graphic, then the group and the special graphics.
#define DISPC_REGISTER_SIMPLE_GRAPHIC(T) registerClass<ccGraphicSimple<T>>(),
#define DISPC_REGISTER_FILL_GRAPHIC(T, U) registerClass<ccGraphicWithFill<T, U>>(),
    DISPC_SIMPLE_GRAPHIC_SHAPES(DISPC_REGISTER_SIMPLE_GRAPHIC)
        DISPC_FILL_GRAPHIC_SHAPES(DISPC_REGISTER_FILL_GRAPHIC)
#undef DISPC_REGISTER_SIMPLE_GRAPHIC
#undef DISPC_REGISTER_FILL_GRAPHIC
            registerClass<ccGraphicGroup>(),
    registerClass<ccGraphicText>(),
    registerClass<ccGraphicPointIcon>(),
    registerClass<ccGraphicCross>(),
    registerClass<ccGraphicEllipseAnnulusSection>(),
    // SMD descriptions (the abstract ccSMDGeometricDescription is never made by name).
    registerClass<ccSMDColors>(),
    registerClass<ccSMDGDPolyVertex>(),
    registerClass<ccSMDGDPoly>(),
    registerClass<ccSMDGDPolyPrivate>(),
    registerClass<ccSMDGDModel>(),
    registerClass<ccSMDGDModelPrivate>(),
    // Wireframe geometry shapes.
    registerClass<ccGenPoly>(),
    registerClass<cc2Wireframe>(),
    // Sketch operation objects (the general polygon and wireframe operations are not built yet).
    registerClass<cc_UISketchOpHeader>(),
    registerClass<cc_UISketchOpPoint>(),
    registerClass<cc_UISketchOpPointIcon>(),
    registerClass<cc_UISketchOpLineSeg>(),
    registerClass<cc_UISketchOpLine>(),
    registerClass<cc_UISketchOpCircle>(),
    registerClass<cc_UISketchOpEllipse>(),
    registerClass<cc_UISketchOpEllipseArc>(),
    registerClass<cc_UISketchOpEllipseAnnSect>(),
    registerClass<cc_UISketchOpGenRect>(),
    registerClass<cc_UISketchOpGenAnn>(),
    registerClass<cc_UISketchOpCoordAxes>(),
    registerClass<cc_UISketchOpString>(),
    registerClass<cc_UISketchOpPelBuf8>(),
    registerClass<cc_UISketchOpRleBuf>(),
    registerClass<cc_UISketchOpSketch>(),
    registerClass<cc_UISketchOpSet>(),
    registerClass<cc_UISketchOpSetAll>(),
    registerClass<cc_UISketchOpSetComp>(),
    registerClass<cc_UISketchOpFill>(),
    registerClass<cc_UISketchOpDrawStart>(),
    registerClass<cc_UISketchOpDrawTo>(),
    registerClass<cc_UISketchOpDrawToRelPels>(),
    registerClass<cc_UISketchOpMoveToRelPels>(),
    registerClass<cc_UISketchOpOutline3d>(),
    registerClass<cc_UISketchOpArrow>(),
    registerClass<cc_UISketchOpAffineRect>(),
    registerClass<cc_UISketchOpPolygon>(),
    registerClass<cc_UISketchOpRect>(),
    registerClass<cc_UISketchOpGenShape>(),
    registerClass<cc_UISketchOpUnicodeString>(),
    registerClass<cc_UISketchOpCross>(),
    registerClass<cc_UISketchOpEllipseAnnSectArrowheadFlag>(),
    registerClass<cc_UISketchOpBezierCurve>(),
    registerClass<cc_UISketchOpCubicSpline>(),
    registerClass<cc_UISketchOpPolyline>(),
    registerClass<cc_UISketchOpEllipse2>(),
    registerClass<cc_UISketchOpEllipseArc2>(),
    registerClass<cc_UISketchOpClipRect>(),
    registerClass<cc_UISketchOpGenPoly>(),
    registerClass<cc_UISketchOpWireframe>(),
};

}  // namespace
