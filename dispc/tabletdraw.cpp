// ccUITablet: drawing and recording of shapes, pen moves, fills and text.
//
// Each operation first draws (when okToDraw allows it) and then records (when recordOn is set),
// so recording happens whether or not anything was drawn. Payload sizes come from the opcode
// table, and shape payloads go through the encoders of sketchshapes.h that the sketch readers
// use too.
#include <dispc/tablet.h>

#include <core/mappedshape.h>
#include <core/math.h>
#include <core/shapetree.h>
#include <dispc/errors.h>
#include <dispc/sketchshapes.h>
#include <dispc/wrfm/genpoly.h>
#include <dispc/wrfm/wirefrm.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr signed char opcodeOf(ccSketchOp op) { return static_cast<signed char>(op); }

// The payload size of an opcode with a fixed payload, from the opcode table.
constexpr std::size_t fixedSize(ccSketchOp op) {
  return kSketchOpTable[static_cast<int>(op)].rule.bytes;
}

// Payload sizes of the variable forms, from their fixed parts.
constexpr std::size_t kRectKindPixels = 1 + kSketchUIRectFieldSize;  // 17
constexpr std::size_t kRectKindClient = 1 + kSketchRectImageSize;    // 61
static_assert(kRectKindPixels == 17 && kRectKindClient == 61, "set payloads are 17 or 61");

// Constants of the drawing steps themselves (not comparison tolerances):
// a mapped infinite line whose direction has an x or y component at most this is clipped as
// vertical or horizontal;
constexpr double kAxisComponent = 1e-12;
// an arrowhead whose direction is shorter than this is not drawn;
constexpr double kShortestArrowDirection = 1e-10;
// an annulus section whose |span| reaches this (a full turn less a millionth of a radian) is
// drawn as two closed ellipses.
constexpr double kFullTurnSpan = 6.283184307179586;

ccVector<2> perpendicular(const ccVector<2>& v) { return ccVector<2>(-v.y(), v.x()); }

// Truncation toward zero of a pixel quantity, kept in the 32-bit range.
long truncPixels(double v) {
  if (!(v == v)) return 0;
  return static_cast<long>(std::max(-2147483648.0, std::min(2147483647.0, std::trunc(v))));
}

// The rings of a 3-D outline that can show. Ring i (0 = outermost) is the border of the
// rectangle from (x + i, y + i) to (x + w - i, y + h - i) in scope pixels; there are `count`
// of them (width rings while the sides stay at least 1). Those before `first` enclose the
// scope's area and those from `end` on lie wholly outside it, each with a pixel to spare for
// the pen: rings shrink toward their centre, so both sets are runs from the outside in, found
// in closed form whatever the width asks for.
struct OutlineRings {
  long count, first, end;
};

OutlineRings outlineRings(long x, long y, long w, long h, long width,
                          const ccPair<long>& scopeSize) {
  OutlineRings rings{0, 0, 0};
  if (w < 1 || h < 1 || width < 1) return rings;
  rings.count = std::min(width, (std::min(w, h) - 1) / 2 + 1);
  const long left = -1, top = -1, right = scopeSize.first, bottom = scopeSize.second;
  // Ring i overlaps the area while i <= each of these.
  const long overlaps = std::min({right - x, x + w - left, bottom - y, y + h - top});
  rings.end = std::max(0L, std::min(rings.count, overlaps + 1));
  // Ring i encloses it while i < each of these.
  const long encloses = std::min({left - x, x + w - right, top - y, y + h - bottom});
  rings.first = std::max(0L, std::min(rings.end, encloses));
  return rings;
}

}  // namespace

const ccGraphicProps& ccUITablet::defaultProps() {
  static const ccGraphicProps props;
  return props;
}

// ---- Points, lines, crosses

template <class Pen>
void ccUITablet::drawWith(const ccPoint& p, const Pen& pen, Layers l) {
  if (okToDraw(l)) {
    ccPoint mapped;
    activeScope_[l]->plotPoint(mapPoint(p, l, mapped), propsOf(pen));
  }
  if (recordOn_) cfSketchStorePoint(record(opcodeOf(ccSketchOp::ePoint), l, pen, 16), p);
}

void ccUITablet::draw(const ccPoint& p, const ccGraphicProps& props, Layers l) {
  drawWith(p, props, l);
}

void ccUITablet::draw(const cc2Point& p, const ccGraphicProps& props, Layers l) {
  draw(ccPoint(p.vector()), props, l);
}

template <class Pen>
void ccUITablet::drawWith(const ccLineSeg& s, const Pen& pen, Layers l) {
  if (okToDraw(l)) activeScope_[l]->drawLineSeg(s.map(scaledMap_), propsOf(pen));
  if (recordOn_) {
    unsigned char* p =
        record(opcodeOf(ccSketchOp::eLineSeg), l, pen, fixedSize(ccSketchOp::eLineSeg));
    cfSketchStorePoint(p, s.p1());
    cfSketchStorePoint(p + 16, s.p2());
  }
}

void ccUITablet::draw(const ccLineSeg& s, const ccGraphicProps& props, Layers l) {
  drawWith(s, props, l);
}

void ccUITablet::draw(const ccLine& line, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    ccUIScope* scope = activeScope_[l];
    const ccLine m = line.map(scaledMap_);
    const ccVector<2> p = m.pos(), d = m.dir();
    const ccUIRect b = scope->scopeBounds();
    const double x0 = 0.5, x1 = static_cast<double>(b.width()) + 0.5;
    const double y0 = 0.5, y1 = static_cast<double>(b.height()) + 0.5;
    double t0, t1;
    if (std::fabs(d.x()) <= kAxisComponent) {
      t0 = (y0 - p.y()) / d.y();
      t1 = (y1 - p.y()) / d.y();
    } else if (std::fabs(d.y()) <= kAxisComponent) {
      t0 = (x0 - p.x()) / d.x();
      t1 = (x1 - p.x()) / d.x();
    } else {
      double tx0 = (x0 - p.x()) / d.x(), tx1 = (x1 - p.x()) / d.x();
      double ty0 = (y0 - p.y()) / d.y(), ty1 = (y1 - p.y()) / d.y();
      if (tx0 > tx1) std::swap(tx0, tx1);
      if (ty0 > ty1) std::swap(ty0, ty1);
      t0 = std::max(tx0, ty0);
      t1 = std::min(tx1, ty1);
    }
    scope->drawStart(ccPoint(p + d * t0));
    scope->drawTo(ccPoint(p + d * t1), props);
  }
  if (recordOn_) {
    unsigned char* p = record(opcodeOf(ccSketchOp::eLine), l, props, fixedSize(ccSketchOp::eLine));
    cfSketchStorePoint(p, line.dir());
    cfSketchStorePoint(p + 16, line.pos());
  }
}

void ccUITablet::draw(const ccCross& c, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    ccUIScope* scope = activeScope_[l];
    const ccCross m = c.map(scaledMap_);
    const double arm = static_cast<double>(m.armlength());
    const double theta = m.angle().norm().toDouble();
    const long a = truncPixels(arm * std::cos(theta));
    const long b = truncPixels(arm * std::sin(theta));
    const ccVector<2>& o = m.origin();
    scope->drawStart(ccPoint(o + ccVector<2>(static_cast<double>(a), static_cast<double>(b))));
    scope->drawToRel(-2 * a, -2 * b, props);
    scope->drawStart(ccPoint(o + ccVector<2>(static_cast<double>(-b), static_cast<double>(a))));
    scope->drawToRel(2 * b, -2 * a, props);
  }
  if (recordOn_) {
    cfSketchStoreCross(record(opcodeOf(ccSketchOp::eCross), l, props, kSketchCrossSize), c);
  }
}

// ---- Rectangles, circles, ellipses

void ccUITablet::strokeQuad(ccUIScope* scope, const ccVector<2> (&corners)[4], bool fill,
                            const ccGraphicProps& props) {
  if (fill) {
    scope->drawPolygon(std::vector<ccVector<2>>(corners, corners + 4), ccPolygon::eFillAlternate,
                       props);
    return;
  }
  ScopeLock lock(scope);
  scope->drawStart(ccPoint(corners[0]));
  for (int i = 1; i <= 4; ++i) scope->drawTo(ccPoint(corners[i % 4]), props);
}

void ccUITablet::draw(const ccRect& r, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    const ccVector<2> corners[4] = {scaledMap_ * r.ul(), scaledMap_ * r.ur(), scaledMap_ * r.lr(),
                                    scaledMap_ * r.ll()};
    strokeQuad(activeScope_[l], corners, props.fill(), props);
  }
  if (recordOn_) {
    unsigned char* p = record(opcodeOf(ccSketchOp::eRect), l, props, fixedSize(ccSketchOp::eRect));
    cfSketchStorePoint(p, r.ul());
    cfSketchStorePoint(p + 16, r.sz());
  }
}

template <class Pen>
void ccUITablet::drawWith(const ccCircle& c, const Pen& pen, Layers l) {
  if (okToDraw(l)) {
    FlagPush noRecording(recordOn_, false);
    draw(c.ellipse(), propsOf(pen), l);
  }
  if (recordOn_) {
    const ccSketchOp op = fillOf(pen) ? ccSketchOp::eCircleFilled : ccSketchOp::eCircle;
    unsigned char* p = record(opcodeOf(op), l, pen, fixedSize(op));
    cfSketchStorePoint(p, c.center());
    cfSketchStoreDouble(p + 16, c.radius());
  }
}

void ccUITablet::draw(const ccCircle& c, const ccGraphicProps& props, Layers l) {
  drawWith(c, props, l);
}

void ccUITablet::draw(const ccAnnulus& a, const ccGraphicProps& props, Layers l) {
  draw(ccCircle(a.center(), a.outerRadius()), props, l);
  draw(ccCircle(a.center(), a.innerRadius()), props, l);
}

void ccUITablet::draw(const ccEllipse& e, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) activeScope_[l]->drawEllipse(e.map(scaledMap_), props);
  if (recordOn_) {
    const ccSketchOp op = props.fill() ? ccSketchOp::eEllipseFilled : ccSketchOp::eEllipse;
    cfSketchStoreEllipseGeom(record(opcodeOf(op), l, props, kSketchEllipseGeomSize), e);
  }
}

void ccUITablet::draw(const ccEllipseArc& a, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) activeScope_[l]->drawEllipseArc(a.map(scaledMap_), props);
  if (recordOn_) {
    cfSketchStoreEllipseArc(
        record(opcodeOf(ccSketchOp::eEllipseArc), l, props, kSketchEllipseArcSize), a);
  }
}

void ccUITablet::draw(const ccEllipse2& e, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) activeScope_[l]->drawEllipse2(e.map(cc2XformLinear(scaledMap_)), props);
  if (recordOn_) {
    unsigned char* p =
        record(opcodeOf(ccSketchOp::eEllipse2), l, props, fixedSize(ccSketchOp::eEllipse2));
    cfSketchStorePoint(p, e.radii());
    cfSketchStoreDouble(p + 16, e.rotation().toDouble());
    cfSketchStorePoint(p + 24, e.center());
  }
}

void ccUITablet::draw(const ccEllipseArc2& a, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) activeScope_[l]->drawEllipseArc2(a.map(cc2XformLinear(scaledMap_)), props);
  if (recordOn_) {
    unsigned char* p =
        record(opcodeOf(ccSketchOp::eEllipseArc2), l, props, fixedSize(ccSketchOp::eEllipseArc2));
    const ccEllipse2& e = a.ellipse();
    cfSketchStorePoint(p, e.radii());
    cfSketchStoreDouble(p + 16, e.rotation().toDouble());
    cfSketchStorePoint(p + 24, e.center());
    p[40] = e.reflected() ? 1 : 0;
    cfSketchStoreDouble(p + 41, e.phase().toDouble());
    cfSketchStoreDouble(p + 49, a.phiStart().toDouble());
    cfSketchStoreDouble(p + 57, a.phiSpan().toDouble());
  }
}

void ccUITablet::draw(const ccGenRect& r, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    ccUIScope* scope = activeScope_[l];
    const ccGenRect m = r.map(scaledMap_);
    const ccVector<2>& u = m.uround();
    ScopeLock lock(scope);
    if (u.x() == 0 && u.y() == 0) {
      const ccVector<2> corners[4] = {m.corner(0), m.corner(1), m.corner(2), m.corner(3)};
      strokeQuad(scope, corners, props.fill(), props);
    } else if (u.x() == 1 && u.y() == 1) {
      scope->drawEllipse(ccEllipse2(ccXform<2>(m.U(), m.center())).ellipse(), props);
    } else {
      scope->drawRoundedRect(m, props);
    }
  }
  if (recordOn_) {
    const ccSketchOp op = props.fill() ? ccSketchOp::eGenRectFilled : ccSketchOp::eGenRect;
    cfSketchStoreGenRectImage(record(opcodeOf(op), l, props, kSketchGenRectImageSize), r);
  }
}

void ccUITablet::draw(const ccGenAnnulus& a, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    ScopeLock lock(activeScope_[l]);
    FlagPush noRecording(recordOn_, false);
    draw(a.inner(), props, l);
    draw(a.outer(), props, l);
  }
  if (recordOn_) {
    cfSketchStoreGenAnnImage(
        record(opcodeOf(ccSketchOp::eGenAnn), l, props, kSketchGenAnnImageSize), a);
  }
}

void ccUITablet::draw(const ccCoordAxes& a, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    ScopeLock lock(activeScope_[l]);
    FlagPush noRecording(recordOn_, false);
    draw(a.xAxis(), props, l);
    draw(a.yAxis(), props, l);
    if (!a.degen()) {
      const float arm = arrowArmLength(props);
      arrowHead(ccPoint(a.xEnd()), a.xEnd() - a.origin(), arm, props, l);
      arrowHead(ccPoint(a.yEnd()), a.yEnd() - a.origin(), arm, props, l);
    }
  }
  if (recordOn_) {
    unsigned char* p =
        record(opcodeOf(ccSketchOp::eCoordAxes), l, props, fixedSize(ccSketchOp::eCoordAxes));
    cfSketchStorePoint(p, a.origin());
    cfSketchStorePoint(p + 16, a.xEnd());
    cfSketchStorePoint(p + 32, a.yEnd());
  }
}

void ccUITablet::draw(const ccPointSet& s, const ccGraphicProps& props, Layers l) {
  if (s.size() > 1) {
    const ccVector<2>& p0 = s.point(0);
    const ccVector<2>& p1 = s.point(1);
    draw(ccCircle(p0, p0.distance(p1)), props, l);
    draw(ccLineSeg(p0, p1), props, l);
  }
  ccGraphicProps pointProps(defaultProps());
  pointProps.penColor(props.penColor());
  pointProps.arrowHead(props.arrowHead());
  pointProps.arrowHeadForward(props.arrowHeadForward());
  for (const ccVector<2>& v : s.points()) draw(ccPoint(v), pointProps, l);
}

void ccUITablet::draw(const ccAffineRectangle& r, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    const ccAffineRectangle m = r.map(scaledMap_);
    const std::vector<ccVector<2>> v = {m.cornerPo(), m.cornerPx(), m.cornerOpposite(),
                                        m.cornerPy(), m.cornerPo()};
    activeScope_[l]->drawPolygon(v, props.fill() ? ccPolygon::eFillAlternate : ccPolygon::eNoFill,
                                 props);
  }
  if (recordOn_) {
    cfSketchStoreAffineRectImage(
        record(opcodeOf(ccSketchOp::eAffineRect), l, props, kSketchAffineRectImageSize), r);
  }
}

// ---- Polylines, polygons, segment sets, curves

void ccUITablet::draw(const ccPolyline& pl, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) activeScope_[l]->drawPolyline(pl.map(scaledMap_), props);
  if (recordOn_) {
    const std::vector<ccVector<2>>& v = pl.vertices();
    const std::int32_t n = cfSketchCheckedI32(static_cast<long>(v.size()));
    unsigned char* p =
        record(opcodeOf(ccSketchOp::ePolyline), l, props, 5 + 16 * static_cast<std::size_t>(n));
    cfSketchStoreI32(p, n);
    cfSketchStorePoints(p + 4, v.data(), v.size());
    p[4 + 16 * v.size()] = pl.isClosed() ? 1 : 0;
  }
}

// ---- General polygons and wireframes

void ccUITablet::drawGenPoly(const ccGenPoly& g, const ccGraphicProps& props, Layers l,
                             signed char op) {
  if (okToDraw(l)) {
    ccUIScope* scope = activeScope_[l];
    const ccGenPoly mapped = g.map(scaledMap_);
    ScopeLock lock(scope);
    mapped.drawToScope(props, *scope);
  }
  if (recordOn_) cfSketchStoreGenPoly(record(op, l, props, cfSketchGenPolySize(g)), g);
}

void ccUITablet::draw(const ccGenPoly& g, const ccGraphicProps& props, Layers l) {
  ccGraphicProps noArrows(props);
  noArrows.arrowHead(false);
  drawGenPoly(g, noArrows, l,
              opcodeOf(props.showVertex() ? ccSketchOp::eGenPolyVertices : ccSketchOp::eGenPoly));
}

void ccUITablet::draw(const cc2Wireframe& w, const ccGraphicProps& props, Layers l) {
  drawGenPoly(w, props, l, opcodeOf(ccSketchOp::eWireframe));
}

template <class Pen>
void ccUITablet::drawWith(const ccPolygon& pg, const Pen& pen, Layers l) {
  if (okToDraw(l)) {
    const ccPolygon m = pg.map(scaledMap_);
    activeScope_[l]->drawPolygon(m.vertices(), m.fillMode(), propsOf(pen));
  }
  if (recordOn_) {
    const std::vector<ccVector<2>>& v = pg.vertices();
    const std::int32_t n = cfSketchCheckedI32(static_cast<long>(v.size()));
    unsigned char* p =
        record(opcodeOf(ccSketchOp::ePolygon), l, pen, 8 + 16 * static_cast<std::size_t>(n));
    cfSketchStoreI32(p, static_cast<std::int32_t>(pg.fillMode()));
    cfSketchStoreI32(p + 4, n);
    cfSketchStorePoints(p + 8, v.data(), v.size());
  }
}

void ccUITablet::draw(const ccPolygon& pg, const ccGraphicProps& props, Layers l) {
  drawWith(pg, props, l);
}

void ccUITablet::draw(const ccLineSegSet& s, const ccGraphicProps& props, Layers l) {
  for (const ccLineSeg& seg : s.segments()) draw(seg, props, l);
}

void ccUITablet::draw(const ccBezierCurve& b, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l) && hullReachesScope(b, props, activeScope_[l])) {
    const ccUIScope* scope = activeScope_[l];
    const double s = scaledMap_.scale();
    ccShape::ccSampleParams params(0.0, s == 0 ? 0.0 : 1.0 / s, 5000, false);
    ccShape::ccSampleResult samples(500);
    // Pieces that cannot show are drawn as their chord, which cannot show either (it lies in
    // their hull): the points go to the part of the curve on the scope.
    const auto hidden = [&](const ccBezierCurve& piece) {
      return !hullReachesScope(piece, props, scope);
    };
    if (!b.sampleAdaptive(params, hidden, samples)) b.sample(params, samples);
    FlagPush noRecording(recordOn_, false);
    draw(ccPolyline(samples.positions(), false), props, l);
  }
  if (recordOn_) {
    cfSketchStoreBezier(record(opcodeOf(ccSketchOp::eBezierCurve), l, props, kSketchBezierSize), b);
  }
}

// Whether a curve can show on the scope: it lies in the hull of its control points (its
// weights are positive), so when their box, widened by the pen, misses the scope's area
// nothing of it shows, and its costly sampling is skipped.
bool ccUITablet::hullReachesScope(const ccBezierCurve& b, const ccGraphicProps& props,
                                  const ccUIScope* scope) const {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const ccVector<2> p = scaledMap_ * b.controlPoints()[i];
    x0 = i == 0 ? p.x() : std::min(x0, p.x());
    y0 = i == 0 ? p.y() : std::min(y0, p.y());
    x1 = i == 0 ? p.x() : std::max(x1, p.x());
    y1 = i == 0 ? p.y() : std::max(y1, p.y());
  }
  const double margin = static_cast<double>(props.penWidth()) / 2 + 2;
  const ccPair<long>& o = scope->clipOffset();
  const ccPair<long> size = scope->scopeBounds().sz();
  return !(x1 + margin < double(o.first) || y1 + margin < double(o.second) ||
           x0 - margin > double(o.first + size.first) ||
           y0 - margin > double(o.second + size.second));
}

void ccUITablet::draw(const ccCubicSpline& s, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    FlagPush noRecording(recordOn_, false);
    for (const ccBezierCurve& b : s.curves()) draw(b, props, l);
  }
  if (recordOn_) {
    const std::vector<ccBezierCurve>& curves = s.curves();
    const std::int32_t n = cfSketchCheckedI32(static_cast<long>(curves.size()));
    unsigned char* p = record(opcodeOf(ccSketchOp::eCubicSpline), l, props,
                              4 + kSketchBezierSize * static_cast<std::size_t>(n));
    cfSketchStoreI32(p, n);
    for (std::size_t i = 0; i < curves.size(); ++i)
      cfSketchStoreBezier(p + 4 + kSketchBezierSize * i, curves[i]);
  }
}

void ccUITablet::draw(const ccEllipseAnnulus& a, const ccGraphicProps& props, Layers l) {
  draw(a.inner(), props, l);
  draw(a.outer(), props, l);
}

// The arrowhead of an annulus section's arc: at its end pointing along the arc, or with
// arrowHeadForward clear at its start pointing back.
void ccUITablet::annulusSectionArrow(const ccEllipseArc& arc, const ccGraphicProps& props,
                                     Layers l) {
  const bool forward = props.arrowHeadForward();
  const ccRadian a = forward ? arc.endAngle() : arc.startAngle();
  ccVector<2> dir(std::cos(a.toDouble()), std::sin(a.toDouble()));
  if (!forward) dir = dir * -1.0;
  if (dir.length() < kShortestArrowDirection) return;
  arrowHead(ccPoint(forward ? arc.endPoint() : arc.startPoint()), dir, arrowArmLength(props), props,
            l);
}

void ccUITablet::draw(const ccEllipseAnnulusSection& s, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    ScopeLock lock(activeScope_[l]);
    FlagPush noRecording(recordOn_, false);
    const ccEllipseArc inner = s.innerArc(), outer = s.outerArc();
    // A full turn draws two closed ellipses and no radial sides.
    const bool fullTurn = std::fabs(s.angleSpan().toDouble()) >= kFullTurnSpan;
    if (fullTurn) {
      draw(s.inner(), props, l);
      draw(s.outer(), props, l);
    } else {
      draw(inner, props, l);
      draw(outer, props, l);
      draw(ccLineSeg(inner.startPoint(), outer.startPoint()), props, l);
      draw(ccLineSeg(inner.endPoint(), outer.endPoint()), props, l);
    }
    if (props.arrowHead() && !s.isDegenerate()) {
      annulusSectionArrow(inner, props, l);
      annulusSectionArrow(outer, props, l);
    }
  }
  if (recordOn_) {
    if (props.arrowHead() && props.arrowHeadForward()) {
      cfSketchStoreAnnSectImage(
          record(opcodeOf(ccSketchOp::eEllipseAnnSect), l, props, kSketchAnnSectImageSize), s);
    } else {
      unsigned char* p = record(opcodeOf(ccSketchOp::eEllipseAnnSectArrowheadFlag), l, props,
                                kSketchAnnSectImageSize + 2);
      cfSketchStoreAnnSectImage(p, s);
      p[kSketchAnnSectImageSize] = props.arrowHead() ? 1 : 0;
      p[kSketchAnnSectImageSize + 1] = props.arrowHeadForward() ? 1 : 0;
    }
  }
}

// ---- The general shape dispatch

namespace {
// Where a non-linear transform is replaced by its linear approximation: the centre of the
// shape's bounding box (a line's position, the origin for a shape without a box).
ccVector<2> approximationCenter(const ccShape& s) {
  if (const ccLine* line = dynamic_cast<const ccLine*>(&s)) return line->pos();
  if (s.isEmpty() || !s.isFinite()) return ccVector<2>();
  const ccRect box = s.boundingBox();
  return (box.ul() + box.lr()) * 0.5;
}

template <class T>
const T* as(const ccShape& s) {
  return dynamic_cast<const T*>(&s);
}
}  // namespace

void ccUITablet::draw(const ccShape& s, const ccGraphicProps& props, Layers l) {
  dispatch(s, props, l, nullptr);
}

void ccUITablet::dispatch(const ccShape& s, const ccGraphicProps& props, Layers l,
                          const cc2XformBase* carried) {
  if (const ccMappedShape* m = as<ccMappedShape>(s)) {
    const ccPtrHandle_const<cc2XformBase>& x = m->overallMapXform();
    if (carried) {
      // A mapped shape inside a mapped shape: both transforms apply, the inner one first.
      const ccPtrHandle<cc2XformBase> both = carried->compose(x);
      dispatch(*m->underlyingShape(), props, l, both.rep());
    } else {
      dispatch(*m->underlyingShape(), props, l, x.rep());
    }
    return;
  }
  if (const ccShapeTree* tree = as<ccShapeTree>(s)) {
    if (const ccRegionTree* region = as<ccRegionTree>(s)) {
      // A root stands for its children; any other region (solid or hole) draws its boundary.
      if (!region->isRoot()) dispatch(region->boundary(), props, l, carried);
      for (const ccShapePtrh& kid : tree->children()) dispatch(*kid, props, l, carried);
      return;
    }
    const ccContourTree* contour = as<ccContourTree>(s);
    const ccShape* previous = nullptr;
    const ccShape* first = nullptr;
    for (const ccShapePtrh& kid : tree->children()) {
      if (contour && !kid->isEmpty()) {
        if (previous && previous->endPoint() != kid->startPoint())
          dispatch(ccLineSeg(previous->endPoint(), kid->startPoint()), props, l, carried);
        previous = kid.rep();
        if (!first) first = kid.rep();
      }
      dispatch(*kid, props, l, carried);
    }
    if (contour && contour->isClosed() && previous && previous->endPoint() != first->startPoint())
      dispatch(ccLineSeg(previous->endPoint(), first->startPoint()), props, l, carried);
    return;
  }
  if (!drawsThroughDispatch(s)) return;
  if (carried) {
    const ccXform<2> linear = carried->isLinear()
                                  ? carried->linearApprox(ccVector<2>()).xform()
                                  : carried->linearApprox(approximationCenter(s)).xform();
    // General polygons map onto general polygons (their mapShape gives the decomposition).
    if (const cc2Wireframe* w = as<cc2Wireframe>(s)) return draw(w->map(linear), props, l);
    if (const ccGenPoly* g = as<ccGenPoly>(s)) return draw(g->map(linear), props, l);
    const ccShapePtrh mapped = s.mapShape(linear);
    drawOwnOverload(*mapped, props, l);
    return;
  }
  drawOwnOverload(s, props, l);
}

// The classes the general dispatch draws; any other draws nothing, even though it may have
// an overload of its own.
bool ccUITablet::drawsThroughDispatch(const ccShape& s) {
  return as<cc2Point>(s) || as<ccLineSeg>(s) || as<ccLine>(s) || as<ccRect>(s) || as<ccCircle>(s) ||
         as<ccAnnulus>(s) || as<ccEllipseArc2>(s) || as<ccEllipse2>(s) || as<ccGenRect>(s) ||
         as<ccGenAnnulus>(s) || as<ccPolyline>(s) || as<ccGenPoly>(s) || as<ccAffineRectangle>(s) ||
         as<ccBezierCurve>(s) || as<ccCubicSpline>(s) || as<ccEllipseAnnulus>(s) ||
         as<ccLineSegSet>(s);
}

// A shape by the overload of its class. Mapping one of the dispatched classes can give a
// class outside that list (a circle under a skew is an ellipse): it is drawn by its own
// overload too.
void ccUITablet::drawOwnOverload(const ccShape& s, const ccGraphicProps& props, Layers l) {
  if (const cc2Point* p = as<cc2Point>(s)) return draw(*p, props, l);
  if (const ccLineSeg* x = as<ccLineSeg>(s)) return draw(*x, props, l);
  if (const ccLine* x = as<ccLine>(s)) return draw(*x, props, l);
  if (const ccRect* x = as<ccRect>(s)) return draw(*x, props, l);
  if (const ccCircle* x = as<ccCircle>(s)) return draw(*x, props, l);
  if (const ccAnnulus* x = as<ccAnnulus>(s)) return draw(*x, props, l);
  if (const ccEllipseArc2* x = as<ccEllipseArc2>(s)) return draw(*x, props, l);
  if (const ccEllipse2* x = as<ccEllipse2>(s)) return draw(*x, props, l);
  if (const ccGenRect* x = as<ccGenRect>(s)) return draw(*x, props, l);
  if (const ccGenAnnulus* x = as<ccGenAnnulus>(s)) return draw(*x, props, l);
  if (const ccPolyline* x = as<ccPolyline>(s)) return draw(*x, props, l);
  if (const cc2Wireframe* x = as<cc2Wireframe>(s)) return draw(*x, props, l);
  if (const ccGenPoly* x = as<ccGenPoly>(s)) return draw(*x, props, l);
  if (const ccAffineRectangle* x = as<ccAffineRectangle>(s)) return draw(*x, props, l);
  if (const ccBezierCurve* x = as<ccBezierCurve>(s)) return draw(*x, props, l);
  if (const ccCubicSpline* x = as<ccCubicSpline>(s)) return draw(*x, props, l);
  if (const ccEllipseAnnulus* x = as<ccEllipseAnnulus>(s)) return draw(*x, props, l);
  if (const ccLineSegSet* x = as<ccLineSegSet>(s)) return draw(*x, props, l);
  if (const ccPoint* p = as<ccPoint>(s)) return draw(*p, props, l);
  if (const ccEllipse* x = as<ccEllipse>(s)) return draw(*x, props, l);
  if (const ccEllipseArc* x = as<ccEllipseArc>(s)) return draw(*x, props, l);
  if (const ccPolygon* x = as<ccPolygon>(s)) return draw(*x, props, l);
}

// ---- Colour forms

void ccUITablet::draw(const ccPoint& p, const ccColor& c, Layers l) {
  drawWith(p, ColorPen{c, false}, l);
}
void ccUITablet::draw(const cc2Point& p, const ccColor& c, Layers l) { draw(p, colorProps(c), l); }
void ccUITablet::draw(const ccLineSeg& s, const ccColor& c, Layers l) {
  drawWith(s, ColorPen{c, false}, l);
}
void ccUITablet::draw(const ccLine& line, const ccColor& c, Layers l) {
  draw(line, colorProps(c), l);
}
void ccUITablet::draw(const ccCross& x, const ccColor& c, Layers l) { draw(x, colorProps(c), l); }
void ccUITablet::draw(const ccRect& r, const ccColor& c, Layers l, bool fill) {
  draw(r, colorProps(c, fill), l);
}
void ccUITablet::draw(const ccCircle& x, const ccColor& c, Layers l, bool fill) {
  drawWith(x, ColorPen{c, fill}, l);
}
void ccUITablet::draw(const ccAnnulus& a, const ccColor& c, Layers l) {
  const ccMatrix<2> inner(a.innerRadius(), 0, 0, a.innerRadius());
  const ccMatrix<2> outer(a.outerRadius(), 0, 0, a.outerRadius());
  const ccVector<2> round(1, 1);
  draw(ccGenAnnulus(ccGenRect(a.center(), inner, round), ccGenRect(a.center(), outer, round)), c,
       l);
}
void ccUITablet::draw(const ccEllipse& e, const ccColor& c, Layers l, bool fill) {
  draw(e, colorProps(c, fill), l);
}
void ccUITablet::draw(const ccEllipseArc& a, const ccColor& c, Layers l) {
  draw(a, colorProps(c), l);
}
void ccUITablet::draw(const ccEllipse2& e, const ccColor& c, Layers l, bool fill) {
  draw(e, colorProps(c, fill), l);
}
void ccUITablet::draw(const ccEllipseArc2& a, const ccColor& c, Layers l) {
  draw(a, colorProps(c), l);
}
void ccUITablet::draw(const ccGenRect& r, const ccColor& c, Layers l, bool fill) {
  draw(r, colorProps(c, fill), l);
}
void ccUITablet::draw(const ccGenAnnulus& a, const ccColor& c, Layers l) {
  draw(a, colorProps(c), l);
}
void ccUITablet::draw(const ccCoordAxes& a, const ccColor& c, Layers l) {
  draw(a, colorProps(c), l);
}
void ccUITablet::draw(const ccPointSet& s, const ccColor& c, Layers l) {
  draw(s, colorProps(c), l);
}
void ccUITablet::draw(const ccAffineRectangle& r, const ccColor& c, Layers l, bool fill) {
  draw(r, colorProps(c, fill), l);
}
void ccUITablet::draw(const ccPolyline& p, const ccColor& c, Layers l) {
  draw(p, colorProps(c), l);
}
void ccUITablet::draw(const ccPolygon& p, const ccColor& c, Layers l) {
  drawWith(p, ColorPen{c, false}, l);
}
void ccUITablet::draw(const ccLineSegSet& s, const ccColor& c, Layers l) {
  draw(s, colorProps(c), l);
}
void ccUITablet::draw(const ccBezierCurve& b, const ccColor& c, Layers l) {
  draw(b, colorProps(c), l);
}
void ccUITablet::draw(const ccCubicSpline& s, const ccColor& c, Layers l) {
  draw(s, colorProps(c), l);
}
void ccUITablet::draw(const ccEllipseAnnulus& a, const ccColor& c, Layers l) {
  draw(a, colorProps(c), l);
}
void ccUITablet::draw(const ccEllipseAnnulusSection& s, const ccColor& c, Layers l, bool arrowHead,
                      bool arrowHeadForward) {
  ccGraphicProps p = colorProps(c);
  p.arrowHead(arrowHead);
  p.arrowHeadForward(arrowHeadForward);
  draw(s, p, l);
}
void ccUITablet::draw(const ccShape& s, const ccColor& c, Layers l, bool fill) {
  draw(s, colorProps(c, fill), l);
}

namespace {
ccGraphicProps genPolyProps(const ccColor& c, bool showVertex) {
  ccGraphicProps p(c, 1, ccGraphicProps::eSolid, false);
  p.showVertex(showVertex);
  p.arrowHead(false);
  return p;
}
}  // namespace

void ccUITablet::draw(const ccGenPoly& g, const ccColor& c, Layers l, bool showVertex) {
  draw(g, genPolyProps(c, showVertex), l);
}
void ccUITablet::draw(const cc2Wireframe& w, const ccColor& c, Layers l, bool showVertex) {
  draw(w, genPolyProps(c, showVertex), l);
}

void ccUITablet::draw(const ccGenShape& s, const ccColor& c, Layers l) {
  if (okToDraw(l)) {
    const ccPtrHandle<ccGenShape> mapped = s.map(scaledMap_);
    if (!mapped.isNull()) activeScope_[l]->draw(*mapped, c);
  }
  if (recordOn_) {
    std::vector<unsigned char> data;
    s.saveData(data);
    const std::int32_t n = cfSketchCheckedI32(static_cast<long>(data.size()));
    unsigned char* p = record(opcodeOf(ccSketchOp::eGenShape), l, colorProps(c),
                              kSketchColorFieldSize + kSketchGenShapeTagSize + 4 + data.size());
    cfSketchStoreColor(p, c);
    s.tag().toBytes(p + kSketchColorFieldSize);
    cfSketchStoreI32(p + kSketchColorFieldSize + kSketchGenShapeTagSize, n);
    if (!data.empty())
      std::memcpy(p + kSketchColorFieldSize + kSketchGenShapeTagSize + 4, data.data(), data.size());
  }
}

// ---- Primitive forms

void ccUITablet::drawPixel(const ccPair<double>& p, const ccColor& c, Layers l) {
  draw(ccPoint(ccVector<2>(p.first, p.second)), c, l);
}
void ccUITablet::drawLineSeg(const ccVector<2>& p1, const ccVector<2>& p2, const ccColor& c,
                             Layers l) {
  draw(ccLineSeg(p1, p2), c, l);
}
void ccUITablet::drawLine(const ccVector<2>& p, const ccRadian& angle, const ccColor& c, Layers l) {
  draw(ccLine(angle, p), c, l);
}
void ccUITablet::drawCross(const ccVector<2>& p, const ccRadian& angle, const ccColor& c, Layers l,
                           int armLength) {
  draw(ccCross(p, angle, armLength), c, l);
}
void ccUITablet::drawRect(const ccVector<2>& ul, const ccVector<2>& size, const ccColor& c,
                          Layers l, bool fill) {
  draw(ccRect(ul, size), c, l, fill);
}
void ccUITablet::drawCircle(const ccVector<2>& center, double radius, const ccColor& c, Layers l,
                            bool fill) {
  draw(ccCircle(center, radius), c, l, fill);
}
void ccUITablet::drawEllipse(const ccVector<2>& center, const ccVector<2>& radii,
                             const ccRadian& rotation, const ccColor& c, Layers l, bool fill) {
  draw(ccEllipse(center, radii, rotation), c, l, fill);
}
void ccUITablet::drawEllipseArc(const ccVector<2>& center, const ccVector<2>& radii,
                                const ccRadian& rotation, const ccRadian& start,
                                const ccRadian& span, const ccColor& c, Layers l) {
  draw(ccEllipseArc(ccEllipse(center, radii, rotation), start, start + span), c, l);
}
void ccUITablet::drawPolygon(const std::vector<ccVector<2>>& vertices, ccPolygon::PolyFillMode mode,
                             const ccColor& c, Layers l) {
  draw(ccPolygon(vertices, mode), c, l);
}
void ccUITablet::drawGenRect(const ccVector<2>& center, const ccVector<2>& halfSize,
                             const ccRadian& rotation, const ccVector<2>& uround, const ccColor& c,
                             Layers l, bool fill) {
  draw(ccGenRect(center, halfSize, rotation, uround), c, l, fill);
}
void ccUITablet::drawAffineRect(const ccVector<2>& po, const ccVector<2>& px, const ccVector<2>& py,
                                const ccColor& c, Layers l, bool fill) {
  draw(ccAffineRectangle(po, px, py), c, l, fill);
}

// ---- Pen moves

void ccUITablet::drawStart(const ccPoint& p, Layers l) {
  if (okToDraw(l)) {
    ccPoint mapped;
    activeScope_[l]->drawStart(ccPoint(mapPoint(p, l, mapped)));
  }
  if (recordOn_) {
    sketch_.opcode(kSketchPropsOpcode, defaultProps());
    cfSketchStorePoint(sketch_.opcode(opcodeOf(ccSketchOp::eDrawStart), static_cast<signed char>(l),
                                      ccColor(), 16),
                       p);
  }
}

void ccUITablet::drawTo(const ccPoint& p, const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    ccPoint mapped;
    activeScope_[l]->drawTo(mapPoint(p, l, mapped), props);
  }
  if (recordOn_) cfSketchStorePoint(record(opcodeOf(ccSketchOp::eDrawTo), l, props, 16), p);
}

void ccUITablet::drawTo(const ccPoint& p, const ccColor& c, Layers l) {
  drawTo(p, colorProps(c), l);
}

void ccUITablet::drawToRelPels(long dx, long dy, const ccGraphicProps& props, Layers l) {
  const std::int32_t x = cfSketchCheckedI32(dx), y = cfSketchCheckedI32(dy);
  if (okToDraw(l)) activeScope_[l]->drawToRel(dx, dy, props);
  if (recordOn_) {
    unsigned char* p = record(opcodeOf(ccSketchOp::eDrawToRelPels), l, props, 8);
    cfSketchStoreI32(p, x);
    cfSketchStoreI32(p + 4, y);
  }
}

void ccUITablet::drawToRelPels(long dx, long dy, const ccColor& c, Layers l) {
  drawToRelPels(dx, dy, colorProps(c), l);
}

namespace {
// v through the linear part of m, scaled to `length` pixels, truncated toward zero.
ccPair<long> relPixels(const ccXform<2>& m, const ccVector<2>& v, float length) {
  const ccVector<2> w = m.mapVector(v);
  const double n = w.length();
  if (!(n > 0)) return ccPair<long>(0, 0);
  return ccPair<long>(truncPixels(w.x() / n * length), truncPixels(w.y() / n * length));
}
}  // namespace

void ccUITablet::drawToRelPels(const ccVector<2>& v, float length, const ccGraphicProps& props,
                               Layers l) {
  const ccPair<long> d = relPixels(scaledMap_, v, length);
  drawToRelPels(d.first, d.second, props, l);
}

void ccUITablet::drawToRelPels(const ccVector<2>& v, float length, const ccColor& c, Layers l) {
  drawToRelPels(v, length, colorProps(c), l);
}

void ccUITablet::moveToRelPels(const ccVector<2>& v, float length, Layers l) {
  const ccPair<long> d = relPixels(scaledMap_, v, length);
  moveToRelPels(d.first, d.second, l);
}

void ccUITablet::moveToRelPels(long dx, long dy, Layers l) {
  const std::int32_t x = cfSketchCheckedI32(dx), y = cfSketchCheckedI32(dy);
  if (okToDraw(l)) activeScope_[l]->moveToRel(dx, dy);
  if (recordOn_) {
    sketch_.opcode(kSketchPropsOpcode, defaultProps());
    unsigned char* p = sketch_.opcode(opcodeOf(ccSketchOp::eMoveToRelPels),
                                      static_cast<signed char>(l), ccColor(), 8);
    cfSketchStoreI32(p, x);
    cfSketchStoreI32(p + 4, y);
  }
}

ccPoint ccUITablet::drawingPoint(Layers l) const {
  checkLayer(l);
  if (!activeScope_[l]) return ccPoint(ccVector<2>());
  return ccPoint(scaledMap_.inverse() * activeScope_[l]->drawPoint().vector());
}

void ccUITablet::arrowHead(const ccPoint& tip, const ccVector<2>& dir, float armLength,
                           const ccGraphicProps& props, Layers l) {
  if (okToDraw(l)) {
    FlagPush noRecording(recordOn_, false);
    ccUIScope* scope = activeScope_[l];
    const ccVector<2> side = perpendicular(dir) * 0.5;
    drawStart(tip, l);
    const ccPoint pen = scope->drawPoint();
    ScopeLock lock(scope);
    drawToRelPels(dir + side, -armLength, props, l);
    scope->drawStart(pen);
    drawToRelPels(dir - side, -armLength, props, l);
    scope->drawStart(pen);
  }
  if (recordOn_) {
    unsigned char* p =
        record(opcodeOf(ccSketchOp::eArrow), l, props, fixedSize(ccSketchOp::eArrow));
    cfSketchStorePoint(p, tip);
    cfSketchStorePoint(p + 16, dir);
    cfSketchStoreFloat(p + 32, armLength);
  }
}

float ccUITablet::arrowArmLength(const ccGraphicProps& props) const {
  const double f = scaleMode_ == eReduce ? scaleExact_.first : 1.0;
  return static_cast<float>(static_cast<double>(props.penWidth()) * 1.5 + 6.0 * f);
}

// ---- Fills and rectangles in pixels

ccUIRect ccUITablet::pixelRect(const ccRect& r) const {
  long x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (int i = 0; i < 4; ++i) {
    const ccPair<long> c = scopeCoords(ccPoint(r.corner(i)));
    if (i == 0 || c.first < x0) x0 = c.first;
    if (i == 0 || c.second < y0) y0 = c.second;
    if (i == 0 || c.first > x1) x1 = c.first;
    if (i == 0 || c.second > y1) y1 = c.second;
  }
  return ccUIRect::fromEdges(x0, y0, x1, y1);
}

// Records op with the kind byte and rectangle of opcodes 16, 18 and 25 (pixels when pix is
// given, else the client rectangle), reserving `extra` more payload bytes at *tail.
void ccUITablet::recordRectKind(signed char op, Layers l, const ccGraphicProps& props,
                                const ccUIRect* pix, const ccRect* client, std::size_t extra,
                                unsigned char** tail) {
  if (pix) {
    const std::int32_t v[4] = {cfSketchCheckedI32(pix->left()), cfSketchCheckedI32(pix->top()),
                               cfSketchCheckedI32(pix->width()), cfSketchCheckedI32(pix->height())};
    unsigned char* p = record(op, l, props, kRectKindPixels + extra);
    p[0] = 1;
    for (int i = 0; i < 4; ++i) cfSketchStoreI32(p + 1 + 4 * i, v[i]);
    *tail = p + kRectKindPixels;
  } else {
    unsigned char* p = record(op, l, props, kRectKindClient + extra);
    p[0] = 0;
    cfSketchStoreRectImage(p + 1, *client);
    *tail = p + kRectKindClient;
  }
}

void ccUITablet::recordClipRect(const ccRect& r, Layers l) {
  sketch_.opcode(kSketchPropsOpcode, defaultProps());
  unsigned char* p = sketch_.opcode(opcodeOf(ccSketchOp::eClipRect), static_cast<signed char>(l),
                                    defaultProps().penColor(),
                                    static_cast<long>(fixedSize(ccSketchOp::eClipRect)));
  cfSketchStorePoint(p, r.ul());
  cfSketchStorePoint(p + 16, r.sz());
}

void ccUITablet::set(const ccColor& c, Layers l) {
  if (okToDraw(l)) activeScope_[l]->setAll(c);
  if (recordOn_) {
    sketch_.erase();
    if (l == eImageLayer || l == eOverlayLayer) {
      const ccRect& clip = clipRects_[l];
      if (clip.sz().x() != 0 || clip.sz().y() != 0) recordClipRect(clip, l);
    }
    record(opcodeOf(ccSketchOp::eSetAll), l, colorProps(c), 0);
  }
}

void ccUITablet::set(const ccUIRect& r, const ccColor& c, Layers l) {
  if (okToDraw(l)) activeScope_[l]->setRect(r, c);
  if (recordOn_) {
    unsigned char* tail;
    recordRectKind(opcodeOf(ccSketchOp::eSet), l, colorProps(c), &r, nullptr, 0, &tail);
  }
}

void ccUITablet::set(const ccRect& r, const ccColor& c, Layers l) {
  if (okToDraw(l)) activeScope_[l]->setRect(pixelRect(r), c);
  if (recordOn_) {
    unsigned char* tail;
    recordRectKind(opcodeOf(ccSketchOp::eSet), l, colorProps(c), nullptr, &r, 0, &tail);
  }
}

void ccUITablet::setComplement(const ccUIRect& r, const ccColor& c, Layers l) {
  if (okToDraw(l)) {
    ccUIScope* scope = activeScope_[l];
    const ccUIRect area(ccPair<long>(0, 0), scopeRect_.sz());
    const long w = area.width(), h = area.height();
    const ccUIRect parts[4] = {
        ccUIRect::fromEdges(0, 0, w, r.top()),                   // above
        ccUIRect::fromEdges(0, r.bottom(), w, h),                // below
        ccUIRect::fromEdges(0, r.top(), r.left(), r.bottom()),   // left
        ccUIRect::fromEdges(r.right(), r.top(), w, r.bottom()),  // right
    };
    ScopeLock lock(scope);
    for (const ccUIRect& part : parts) {
      const ccUIRect clipped = part & area;
      if (!clipped.isNull() && clipped.height() > 0) scope->setRect(clipped, c);
    }
  }
  if (recordOn_) {
    unsigned char* tail;
    recordRectKind(opcodeOf(ccSketchOp::eSetComp), l, colorProps(c), &r, nullptr, 0, &tail);
  }
}

void ccUITablet::setComplement(const ccRect& r, const ccColor& c, Layers l) {
  {
    FlagPush noRecording(recordOn_, false);
    setComplement(pixelRect(r), c, l);
  }
  if (recordOn_) {
    unsigned char* tail;
    recordRectKind(opcodeOf(ccSketchOp::eSetComp), l, colorProps(c), nullptr, &r, 0, &tail);
  }
}

void ccUITablet::fill(const ccPair<long>& pixel, const ccColor& c1, const ccColor& c2, FillType t,
                      Layers l) {
  const std::int32_t x = cfSketchCheckedI32(pixel.first), y = cfSketchCheckedI32(pixel.second);
  if (okToDraw(l)) activeScope_[l]->floodFill(pixel, c1, c2, t == eFillToBorder);
  if (recordOn_) {
    unsigned char* p = record(opcodeOf(ccSketchOp::eFill), l, colorProps(c1, true), 19);
    p[0] = 1;
    cfSketchStoreI32(p + 1, x);
    cfSketchStoreI32(p + 5, y);
    cfSketchStoreColor(p + 9, c2);
    cfSketchStoreI32(p + 15, static_cast<std::int32_t>(t));
  }
}

void ccUITablet::fill(const ccPoint& pt, const ccColor& c1, const ccColor& c2, FillType t,
                      Layers l) {
  if (okToDraw(l)) activeScope_[l]->floodFill(scopeCoords(pt), c1, c2, t == eFillToBorder);
  if (recordOn_) {
    unsigned char* p = record(opcodeOf(ccSketchOp::eFill), l, colorProps(c1, true), 27);
    p[0] = 0;
    cfSketchStorePoint(p + 1, pt);
    cfSketchStoreColor(p + 17, c2);
    cfSketchStoreI32(p + 23, static_cast<std::int32_t>(t));
  }
}

void ccUITablet::outline3D(const ccUIRect& r, const ccColor& light, const ccColor& dark, long width,
                           Layers l) {
  const std::int32_t rings = cfSketchCheckedI32(width);
  if (okToDraw(l)) {
    ccUIScope* scope = activeScope_[l];
    const ccGraphicProps lightPen = colorProps(light), darkPen = colorProps(dark);
    const long w = r.width() - 1, h = r.height() - 1;
    const OutlineRings rings3d =
        outlineRings(r.left() - scope->clipOffset().first, r.top() - scope->clipOffset().second, w,
                     h, width, scope->scopeBounds().sz());
    ScopeLock lock(scope);
    scope->drawStart(
        ccPoint(ccVector<2>(static_cast<double>(r.left()), static_cast<double>(r.top()))));
    // The rings before `first` enclose the scope and those from `end` on miss it: the pen
    // jumps over them as their strokes would have moved it.
    if (rings3d.first > 0) scope->moveToRel(rings3d.first, rings3d.first);
    for (long i = rings3d.first; i < rings3d.end; ++i) {
      const long wi = w - 2 * i, hi = h - 2 * i;
      scope->drawToRel(wi, 0, lightPen);
      scope->drawToRel(0, hi, darkPen);
      scope->drawToRel(-wi, 0, darkPen);
      scope->drawToRel(0, -hi, lightPen);
      scope->moveToRel(1, 1);
    }
    const long after = rings3d.count - std::max(rings3d.first, rings3d.end);
    if (after > 0) scope->moveToRel(after, after);
  }
  if (recordOn_) {
    unsigned char* tail;
    recordRectKind(opcodeOf(ccSketchOp::eOutline3d), l, colorProps(light), &r, nullptr, 16, &tail);
    cfSketchStoreColor(tail, light);
    cfSketchStoreColor(tail + 6, dark);
    cfSketchStoreI32(tail + 12, rings);
  }
}

void ccUITablet::outline3D(const ccRect& r, const ccColor& light, const ccColor& dark, long width,
                           Layers l) {
  const std::int32_t rings = cfSketchCheckedI32(width);
  {
    FlagPush noRecording(recordOn_, false);
    outline3D(pixelRect(r), light, dark, width, l);
  }
  if (recordOn_) {
    unsigned char* tail;
    recordRectKind(opcodeOf(ccSketchOp::eOutline3d), l, colorProps(light), nullptr, &r, 16, &tail);
    cfSketchStoreColor(tail, light);
    cfSketchStoreColor(tail + 6, dark);
    cfSketchStoreI32(tail + 12, rings);
  }
}

void ccUITablet::outline(const ccUIRect& r, const ccColor& c, long width, Layers l) {
  outline3D(r, c, c, width, l);
}

void ccUITablet::outline(const ccRect& r, const ccColor& c, long width, Layers l) {
  outline3D(r, c, c, width, l);
}

void ccUITablet::drawClipRect(const ccRect& r, Layers l) {
  checkAnyLayer(l);
  const int first = l == eBothLayers ? 0 : l, last = l == eBothLayers ? 1 : l;
  for (int i = first; i <= last; ++i) clipRects_[i] = r;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (int i = 0; i < 4; ++i) {
    const ccVector<2> c = scaledMap_ * r.corner(i);
    x0 = i == 0 ? c.x() : std::min(x0, c.x());
    y0 = i == 0 ? c.y() : std::min(y0, c.y());
    x1 = i == 0 ? c.x() : std::max(x1, c.x());
    y1 = i == 0 ? c.y() : std::max(y1, c.y());
  }
  const ccUIRect pixels = ccUIRect::fromEdges(cfIFloor(x0), cfIFloor(y0), cfICeil(x1), cfICeil(y1));
  for (int i = first; i <= last; ++i)
    if (okToDraw(static_cast<Layers>(i))) activeScope_[i]->setDisplayClipRect(pixels);
  if (recordOn_) recordClipRect(r, l);
}

const ccRect& ccUITablet::clipRect(Layers l) const {
  checkLayer(l);
  return clipRects_[l];
}

// ---- Text

void ccUITablet::draw(const std::string& s, const ccPoint& p, const ccColor& c1, const ccColor& c2,
                      const ccUIFormat& f, Layers l) {
  if (okToDraw(l)) {
    ccPoint mapped;
    activeScope_[l]->drawText(s, mapPoint(p, l, mapped), c1, c2, f);
  }
  if (recordOn_) {
    const std::size_t n = std::strlen(s.c_str());
    const std::int32_t font = cfSketchCheckedI32(f.fontId());
    unsigned char* q = record(opcodeOf(ccSketchOp::eString), l, colorProps(c1), 30 + n + 1);
    cfSketchStorePoint(q, p);
    cfSketchStoreColor(q + 16, c2);
    cfSketchStoreI32(q + 22, font);
    cfSketchStoreI32(q + 26, static_cast<std::int32_t>(f.alignment()));
    std::memcpy(q + 30, s.c_str(), n + 1);
  }
}

void ccUITablet::textRect(const std::string& s, const ccPoint& p, const ccUIFormat& f, ccUIRect& r,
                          Layers l) {
  checkLayer(l);
  if (!activeScope_[l]) {
    r = ccUIRect();
    return;
  }
  ccPoint mapped;
  r = activeScope_[l]->textRect(s, mapPoint(p, l, mapped), f);
}
