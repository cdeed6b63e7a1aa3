// Fixed-size encodings of core shapes inside sketch payloads.
//
// Some sketch payloads hold a whole shape value of a fixed byte count (an ellipse geometry
// record of 48 bytes, a ccRect of 60, a ccGenRect of 124 ...). Each shape is written as its
// defining fields, little-endian and unpadded, followed by zero bytes up to the fixed size;
// readers decode the fields and ignore the padding. The tablet writes these payloads when it
// records and the sketch operations read them back, through the one pair of functions below per
// shape, so the two sides cannot disagree.
//
// Store functions write exactly k...Size bytes at p (the caller reserved them). Load functions
// read exactly that many bytes at p (the caller checked they are there) and build the shape
// through its checking constructor, so a non-finite or otherwise impossible field throws the
// shape's ccShapesError.
#pragma once

#include <core/affinerect.h>
#include <core/ellipse.h>
#include <core/genrect.h>
#include <core/points.h>
#include <core/rect.h>
#include <core/splines.h>
#include <dispc/sketchformat.h>

#include <cstddef>

constexpr std::size_t kSketchEllipseArcSize = 192;       // geometry, derived data, two angles
constexpr std::size_t kSketchEllipseArcAnglesAt = 176;   // first angle; the second at 184
constexpr std::size_t kSketchAnnSectImageSize = 500;     // a ccEllipseAnnulusSection
constexpr std::size_t kSketchGenRectImageSize = 124;     // a ccGenRect
constexpr std::size_t kSketchGenAnnImageSize = 284;      // a ccGenAnnulus
constexpr std::size_t kSketchAffineRectImageSize = 204;  // a ccAffineRectangle
constexpr std::size_t kSketchCrossSize = 32;             // centre, rotation, arm length, reserved

// Ellipse geometry record: centre, radii, rotation (radians), circle flag, reflected flag, six
// reserved bytes.
void cfSketchStoreEllipseGeom(unsigned char* p, const ccEllipse& e);
ccEllipse cfSketchLoadEllipseGeom(const unsigned char* p);

// ccEllipseArc: the geometry record, 128 reserved bytes, phi1 and phi2 (radians).
void cfSketchStoreEllipseArc(unsigned char* p, const ccEllipseArc& a);
ccEllipseArc cfSketchLoadEllipseArc(const unsigned char* p);

// ccRect (60 bytes): ul, size, padding.
void cfSketchStoreRectImage(unsigned char* p, const ccRect& r);
ccRect cfSketchLoadRectImage(const unsigned char* p);

// ccGenRect (124 bytes): centre, U (e11, e12, e21, e22), uround, padding.
void cfSketchStoreGenRectImage(unsigned char* p, const ccGenRect& r);
ccGenRect cfSketchLoadGenRectImage(const unsigned char* p);

// ccGenAnnulus (284 bytes): the inner rectangle's image, the outer's, padding.
void cfSketchStoreGenAnnImage(unsigned char* p, const ccGenAnnulus& a);
ccGenAnnulus cfSketchLoadGenAnnImage(const unsigned char* p);

// ccAffineRectangle (204 bytes): Po, Px, Py, padding.
void cfSketchStoreAffineRectImage(unsigned char* p, const ccAffineRectangle& r);
ccAffineRectangle cfSketchLoadAffineRectImage(const unsigned char* p);

// ccEllipseAnnulusSection (500 bytes): the outer ellipse's geometry record, the inner scale,
// phi1, phi2 (radians), reversed, inward, padding.
void cfSketchStoreAnnSectImage(unsigned char* p, const ccEllipseAnnulusSection& s);
ccEllipseAnnulusSection cfSketchLoadAnnSectImage(const unsigned char* p);

// ccCross (32 bytes): centre, rotation (radians), arm length (int32), four reserved bytes.
void cfSketchStoreCross(unsigned char* p, const ccCross& c);
ccCross cfSketchLoadCross(const unsigned char* p);

// ccXform<2> (56 bytes): e11, e12, e21, e22, tx, ty, padding.
void cfSketchStoreXformImage(unsigned char* p, const ccXform<2>& x);
ccXform<2> cfSketchLoadXformImage(const unsigned char* p);

// ccBezierCurve (96 bytes): four control points, four weights.
void cfSketchStoreBezier(unsigned char* p, const ccBezierCurve& b);
ccBezierCurve cfSketchLoadBezier(const unsigned char* p);

// General polygon and wireframe payload (opcodes 34, 38, 41), 68 + 104 n bytes for n vertices:
// a 56-byte block (the map as a ccXform<2> image, whose padding byte 48 holds the
// direction-reversed flag, which the drawing's direction marks follow), the mutable flag
// (long, 1 or 0), n (long), per vertex its point, rounding radius, segment span (radians) and
// segment length tolerance (nominal, min, max, type as int32, 4 reserved bytes), the rounding
// caches (n starts, n ends, n spans in degrees), then the closed flag (long, 1 or 0).
// Readers take the flags as set exactly when they are 1, ignore the caches (the polygon
// recomputes them) and give every vertex percentages 0.5 and no label.
class ccGenPoly;
std::size_t cfSketchGenPolySize(const ccGenPoly& g);
void cfSketchStoreGenPoly(unsigned char* p, const ccGenPoly& g);
// Reads the payload at p (at most `available` bytes) into out, which changes only when the
// whole payload was read and forms a valid polygon; returns the bytes read. Throws
// ccUIError::InvalidUISketch for a truncated payload, a non-finite or singular map, a
// non-finite value, an unknown tolerance type and vertices the SMD polygon refuses.
std::size_t cfSketchLoadGenPoly(const unsigned char* p, std::size_t available, ccGenPoly& out);
