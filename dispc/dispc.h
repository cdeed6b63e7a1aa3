// Every public header of the display library and of the core and graphics-list libraries it builds
// on, for programs that would rather include one file. The back ends have headers of their own.
#pragma once

// Core: geometry values, transforms, shapes, pel buffers, archives, exceptions.
#include <core/affinerect.h>
#include <core/affinesample.h>
#include <core/angle.h>
#include <core/archive.h>
#include <core/assert.h>
#include <core/ellipse.h>
#include <core/errors.h>
#include <core/exception.h>
#include <core/genrect.h>
#include <core/genshape.h>
#include <core/handle.h>
#include <core/lines.h>
#include <core/mappedshape.h>
#include <core/math.h>
#include <core/matherror.h>
#include <core/matrix.h>
#include <core/mutex.h>
#include <core/pair.h>
#include <core/pelbuffer.h>
#include <core/persistent.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/range.h>
#include <core/rect.h>
#include <core/rlebuffer.h>
#include <core/shape.h>
#include <core/shapes.h>
#include <core/shapetree.h>
#include <core/splines.h>
#include <core/tolerance.h>
#include <core/unicode.h>
#include <core/vector.h>
#include <core/visiblesample.h>
#include <core/xform.h>

// Graphics-list and shape-math records.
#include <cgr/grlist.h>
#include <cgr/shapemath.h>

// Display: colours, props, scopes, tablets, sketches, graphics and lists, the graphics-list bridge;
// wireframe geometry; SMD descriptions.
#include <dispc/bridge.h>
#include <dispc/color.h>
#include <dispc/dimtol.h>
#include <dispc/dispprop.h>
#include <dispc/errors.h>
#include <dispc/flagstack.h>
#include <dispc/glist.h>
#include <dispc/graphic.h>
#include <dispc/graphicgroup.h>
#include <dispc/nullscope.h>
#include <dispc/pelscope.h>
#include <dispc/scope.h>
#include <dispc/sketchformat.h>
#include <dispc/sketchop.h>
#include <dispc/sketchshapes.h>
#include <dispc/smd/description.h>
#include <dispc/smd/dimension.h>
#include <dispc/smd/model.h>
#include <dispc/smd/poly.h>
#include <dispc/smd/polyvertex.h>
#include <dispc/smd/scanfill.h>
#include <dispc/smd/synthetic.h>
#include <dispc/surfacescope.h>
#include <dispc/tablet.h>
#include <dispc/tolerance.h>
#include <dispc/tolfloor.h>
#include <dispc/uirect.h>
#include <dispc/uisketch.h>
#include <dispc/uistring.h>
#include <dispc/wrfm/arc.h>
#include <dispc/wrfm/colors.h>
#include <dispc/wrfm/genpoly.h>
#include <dispc/wrfm/lineseg.h>
#include <dispc/wrfm/wirefrm.h>
