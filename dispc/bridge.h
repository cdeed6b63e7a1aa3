// The bridge to the graphics-list library (cgr/grlist.h): draws a cgr_list on a tablet, turns
// one into graphics appended to a ccGraphicList, writes a ccGraphicList as records, and converts
// text alignments. Free functions only; no state.
//
// Reading (cfUITabletDraw, cfGraphicListAppend(ccGraphicList&, ...)): each record, in list
// order, becomes a shape in the record's colour (cfColor of its code); then the tablet call, or
// the graphic appended:
//   0  ccPoint: drawPointIcon(p, colour); ccGraphicPointIcon
//   1  ccLineSeg: draw(s, colour); ccGraphicSimple<ccLineSeg>
//   2  ccLine(direction, position): draw(s, colour); ccGraphicSimple<ccLine>
//   3  ccRect(upper-left, size): draw(r, colour, fill false); ccGraphicWithFill<ccRect, ccGenRect>
//   4  ccGenRect(centre, half-size, rotation, rounding): draw(r, colour, fill false);
//      ccGraphicWithFill<ccGenRect, ccGenRect>
//   5  ccEllipse2 of centre and both radii r: draw(e, props);
//      ccGraphicWithFill<ccEllipse2, ccEllipse2>
//   6  ccEllipse2 of the record's unit-circle map (cmath_shapeEllipse_getXform): as type 5
//   7  ccPolyline(points, closed): draw(p, props); ccGraphicSimple<ccPolyline>
//   8  ccAffineRectangle of the corners (cmath_shapeAffineRect_getPoints): draw(r, colour);
//      ccGraphicSimple<ccAffineRectangle>
//   9  text: drawStart(position), moveToRelPels(offset rounded to whole pixels), then
//      draw(text, drawPointArg(), colour, background, format); ccGraphicText
//   10 ccLineSegSet: draw(s, props); ccGraphicSimple<ccLineSegSet>
// where props is ccGraphicProps(colour, 1, solid, no fill); graphics built from a colour get the
// same props, with fill off.
//
// Reports through cstd_assert_, after which reading goes on: a null list (nothing happens), a
// type outside 0-10 (the record is read as a point), a text alignment outside 0-8 (top-left).
//
// Refusals: the whole list is read and its shapes built before anything is drawn or appended, so
// on any of these the tablet and the graphic list are left as they were:
//   - ccGraphic::BadParams, naming the record, its type and its byte offset: a negative record
//     count, a record area that is null or shorter than its records claim (the reader never
//     reads past `size` bytes), a negative point or segment count, a text without its NUL within
//     the area, a text offset that is not finite;
//   - ccStatusError (cfThrowExceptionOnFailure) with the shape-math library's failing status;
//   - the core library's ccShapesError for values a shape refuses (a negative radius, a
//     zero line direction, a non-finite coordinate ...).
//
// Writing (cfGraphicListAppend(cgr_list*, ...)): for each graphic in list order, the first of
// these types that it is appends one record in its pen colour (cfColor):
//   ccGraphicPointIcon                      cgr_list_appendPoint
//   ccGraphicSimple<ccLineSeg>              cgr_list_appendLineSeg
//   ccGraphicSimple<ccLine>                 cgr_list_appendLineDirPoint
//   ccGraphicWithFill<ccRect, ccGenRect>    cgr_list_appendRect
//   ccGraphicWithFill<ccGenRect, ccGenRect> cgr_list_appendGenRect
//   ccGraphicSimple<ccAffineRectangle>      cgr_list_appendShapeAffineRect
//   ccGraphicSimple<ccPolyline>             cgr_list_appendPolyline
//   ccGraphicSimple<ccLineSegSet>           cgr_list_appendLineSegSet
//   ccGraphicText                           cgr_list_appendTextEx
// A graphic of any other type (circles and ellipses included: records of types 5 and 6 have no
// append function) is reported through cstd_assert_ and skipped; null handles are skipped. Fill
// flags, props other than the pen colour and the text's font id have no record form. A failing
// append throws ccStatusError with its status and removes the records this call appended.
#pragma once

#include <cgr/grlist.h>
#include <dispc/glist.h>
#include <dispc/tablet.h>
#include <dispc/uistring.h>

#include <cstdint>

void cfUITabletDraw(ccUITablet& tablet, const cgr_list* list, ccUITablet::Layers layer);
void cfGraphicListAppend(ccGraphicList& graphics, const cgr_list* list);
void cfGraphicListAppend(cgr_list* list, const ccGraphicList& graphics);

// A graphics-list text alignment 0-8 is the ccUIFormat alignment of the same number (top-left
// to bottom-right, row by row). Another value is reported through cstd_assert_ and means
// top-left.
ccUIFormat::Alignment cfUIFormatAlignment(std::int32_t cgrAlignment);
std::int32_t cfCgrAlignment(ccUIFormat::Alignment alignment);
