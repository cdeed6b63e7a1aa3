// Every shape class of the core library.
#pragma once

#include <core/affinerect.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/genshape.h>
#include <core/lines.h>
#include <core/mappedshape.h>
#include <core/points.h>
#include <core/polyline.h>
#include <core/rect.h>
#include <core/shape.h>
#include <core/shapetree.h>
#include <core/splines.h>
