#include <dispc/sketchshapes.h>

#include <cstring>

namespace {

void storeMatrix(unsigned char* p, const ccMatrix<2>& m) {
  for (int i = 0; i < 4; ++i) cfSketchStoreDouble(p + 8 * i, m.element(i / 2, i % 2));
}

ccMatrix<2> loadMatrix(const unsigned char* p) {
  return ccMatrix<2>(cfSketchLoadDouble(p), cfSketchLoadDouble(p + 8), cfSketchLoadDouble(p + 16),
                     cfSketchLoadDouble(p + 24));
}

// Zeroes the bytes from `used` up to `size`.
void pad(unsigned char* p, std::size_t used, std::size_t size) {
  std::memset(p + used, 0, size - used);
}

ccRadian loadAngle(const unsigned char* p) { return ccRadian(cfSketchLoadDouble(p)); }

}  // namespace

void cfSketchStoreEllipseGeom(unsigned char* p, const ccEllipse& e) {
  const ccEllipse::ccEllipseGeom& g = e.geom();
  cfSketchStorePoint(p, g.center);
  cfSketchStorePoint(p + 16, g.radii);
  cfSketchStoreDouble(p + 32, g.rotation.toDouble());
  p[40] = g.circle ? 1 : 0;
  p[41] = g.reflected ? 1 : 0;
  pad(p, 42, kSketchEllipseGeomSize);
}

ccEllipse cfSketchLoadEllipseGeom(const unsigned char* p) {
  ccEllipse::ccEllipseGeom g;
  g.center = cfSketchLoadPoint(p);
  g.radii = cfSketchLoadPoint(p + 16);
  g.rotation = loadAngle(p + 32);
  g.circle = p[40] != 0;
  g.reflected = p[41] != 0;
  return ccEllipse(g);
}

void cfSketchStoreEllipseArc(unsigned char* p, const ccEllipseArc& a) {
  cfSketchStoreEllipseGeom(p, a.ellipse());
  pad(p, kSketchEllipseGeomSize, kSketchEllipseArcAnglesAt);
  cfSketchStoreDouble(p + kSketchEllipseArcAnglesAt, a.phi1().toDouble());
  cfSketchStoreDouble(p + kSketchEllipseArcAnglesAt + 8, a.phi2().toDouble());
}

ccEllipseArc cfSketchLoadEllipseArc(const unsigned char* p) {
  return ccEllipseArc(cfSketchLoadEllipseGeom(p), loadAngle(p + kSketchEllipseArcAnglesAt),
                      loadAngle(p + kSketchEllipseArcAnglesAt + 8));
}

void cfSketchStoreRectImage(unsigned char* p, const ccRect& r) {
  cfSketchStorePoint(p, r.ul());
  cfSketchStorePoint(p + 16, r.sz());
  pad(p, 32, kSketchRectImageSize);
}

ccRect cfSketchLoadRectImage(const unsigned char* p) {
  return ccRect(cfSketchLoadPoint(p), cfSketchLoadPoint(p + 16));
}

void cfSketchStoreGenRectImage(unsigned char* p, const ccGenRect& r) {
  cfSketchStorePoint(p, r.center());
  storeMatrix(p + 16, r.U());
  cfSketchStorePoint(p + 48, r.uround());
  pad(p, 64, kSketchGenRectImageSize);
}

ccGenRect cfSketchLoadGenRectImage(const unsigned char* p) {
  return ccGenRect(cfSketchLoadPoint(p), loadMatrix(p + 16), cfSketchLoadPoint(p + 48));
}

void cfSketchStoreGenAnnImage(unsigned char* p, const ccGenAnnulus& a) {
  cfSketchStoreGenRectImage(p, a.inner());
  cfSketchStoreGenRectImage(p + kSketchGenRectImageSize, a.outer());
  pad(p, 2 * kSketchGenRectImageSize, kSketchGenAnnImageSize);
}

ccGenAnnulus cfSketchLoadGenAnnImage(const unsigned char* p) {
  return ccGenAnnulus(cfSketchLoadGenRectImage(p),
                      cfSketchLoadGenRectImage(p + kSketchGenRectImageSize));
}

void cfSketchStoreAffineRectImage(unsigned char* p, const ccAffineRectangle& r) {
  cfSketchStorePoint(p, r.cornerPo());
  cfSketchStorePoint(p + 16, r.cornerPx());
  cfSketchStorePoint(p + 32, r.cornerPy());
  pad(p, 48, kSketchAffineRectImageSize);
}

ccAffineRectangle cfSketchLoadAffineRectImage(const unsigned char* p) {
  return ccAffineRectangle(cfSketchLoadPoint(p), cfSketchLoadPoint(p + 16),
                           cfSketchLoadPoint(p + 32));
}

void cfSketchStoreAnnSectImage(unsigned char* p, const ccEllipseAnnulusSection& s) {
  cfSketchStoreEllipseGeom(p, s.outer());
  cfSketchStoreDouble(p + 48, s.annulus().scale());
  cfSketchStoreDouble(p + 56, s.phi1().toDouble());
  cfSketchStoreDouble(p + 64, s.phi2().toDouble());
  p[72] = s.reversed() ? 1 : 0;
  p[73] = s.inward() ? 1 : 0;
  pad(p, 74, kSketchAnnSectImageSize);
}

ccEllipseAnnulusSection cfSketchLoadAnnSectImage(const unsigned char* p) {
  const ccEllipseAnnulus annulus(cfSketchLoadEllipseGeom(p), cfSketchLoadDouble(p + 48));
  return ccEllipseAnnulusSection(annulus, loadAngle(p + 56), loadAngle(p + 64), p[72] != 0,
                                 p[73] != 0);
}

void cfSketchStoreCross(unsigned char* p, const ccCross& c) {
  cfSketchStorePoint(p, c.origin());
  cfSketchStoreDouble(p + 16, c.angle().toDouble());
  cfSketchStoreI32(p + 24, c.armlength());
  pad(p, 28, kSketchCrossSize);
}

ccCross cfSketchLoadCross(const unsigned char* p) {
  return ccCross(cfSketchLoadPoint(p), loadAngle(p + 16), cfSketchLoadI32(p + 24));
}

void cfSketchStoreBezier(unsigned char* p, const ccBezierCurve& b) {
  for (int i = 0; i < 4; ++i) cfSketchStorePoint(p + 16 * i, b.controlPoints()[i]);
  for (int i = 0; i < 4; ++i) cfSketchStoreDouble(p + 64 + 8 * i, b.weights()[i]);
}

ccBezierCurve cfSketchLoadBezier(const unsigned char* p) {
  ccBezierCurve::Points points;
  ccBezierCurve::Weights weights;
  for (int i = 0; i < 4; ++i) points[i] = cfSketchLoadPoint(p + 16 * i);
  for (int i = 0; i < 4; ++i) weights[i] = cfSketchLoadDouble(p + 64 + 8 * i);
  return ccBezierCurve(points, weights);
}

void cfSketchStoreXformImage(unsigned char* p, const ccXform<2>& x) {
  storeMatrix(p, x.matrix());
  cfSketchStorePoint(p + 32, x.trans());
  pad(p, 48, kSketchXformImageSize);
}

ccXform<2> cfSketchLoadXformImage(const unsigned char* p) {
  return ccXform<2>(loadMatrix(p), cfSketchLoadPoint(p + 32));
}
