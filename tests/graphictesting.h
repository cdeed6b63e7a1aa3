// What the graphic tests share: a sample shape of every shape-graphic class, a graphic of every
// instantiation, and a board that records its sketch.
#pragma once

#include "drawingsamples.h"

#include <dispc/graphic.h>
#include <dispc/graphicgroup.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace graphic_testing {

using V = ccVector<2>;
using L = ccUITablet::Layers;

// A sample of each shape class.
template <class T>
T sample();
inline ccGenRect sampleGenRect(double half) {
  return ccGenRect(V(50, 60), V(half, half / 2), ccRadian(0.25), V(0.2, 0.4));
}
// clang-format off
template <> inline ccEllipse sample() { return ccEllipse(V(60, 40), V(20, 10), ccRadian(0.3)); }
template <> inline cc2Point sample() { return cc2Point(3.5, 4.25); }
template <> inline ccPoint sample() { return ccPoint(7, -2); }
template <> inline ccPointSet sample() { return ccPointSet({V(1, 2), V(4, 6), V(9, 1)}); }
template <> inline ccLineSeg sample() { return ccLineSeg(V(1, 2), V(30, 40)); }
template <> inline ccLineSegSet sample() {
  return ccLineSegSet({ccLineSeg(V(1, 2), V(3, 4)), ccLineSeg(V(5, 6), V(70, 8))});
}
template <> inline ccLine sample() { return ccLine(V(1, 2), V(10, 20)); }
template <> inline ccFLine sample() { return ccFLine(V(10, 20), V(40, 30)); }
template <> inline ccPolyline sample() { return ccPolyline({V(0, 0), V(10, 5), V(20, 0)}); }
template <> inline ccPolygon sample() { return ccPolygon({V(0, 0), V(10, 5), V(20, 0)}); }
template <> inline ccAffineRectangle sample() {
  return ccAffineRectangle(V(10, 10), V(40, 15), V(5, 30));
}
template <> inline ccCoordAxes sample() { return ccCoordAxes(V(20, 20), V(60, 20), V(20, 50)); }
template <> inline ccEllipseArc sample() {
  return ccEllipseArc(sample<ccEllipse>(), ccRadian(0.5), ccRadian(2.5));
}
template <> inline ccEllipseArc2 sample() {
  return ccEllipseArc2(ccEllipse2(V(30, 12), ccRadian(0.2), V(80, 60)), ccRadian(0.1), ccRadian(2));
}
template <> inline ccGenAnnulus sample() {
  return ccGenAnnulus(sampleGenRect(10), sampleGenRect(20));
}
template <> inline ccBezierCurve sample() {
  return ccBezierCurve(V(0, 0), V(10, 30), V(40, 30), V(50, 0));
}
template <> inline ccDeBoorSpline sample() {
  return ccDeBoorSpline({V(0, 0), V(10, 20), V(30, 25), V(50, 0), V(60, 10)},
                        ccDeBoorSpline::eClamped);
}
template <> inline ccInterpSpline sample() {
  return ccInterpSpline({V(0, 0), V(10, 20), V(30, 25), V(50, 0)});
}
template <> inline ccHermiteSpline sample() {
  return ccHermiteSpline({V(0, 0), V(30, 20)}, {V(10, 0), V(0, 10)});
}
template <> inline ccGenPoly sample() {
  ccGenPoly g(ccRect(V(10, 20), V(30, 15)));
  g.vertexRoundingSize(1, 4);
  return g.map(ccXform<2>(ccMatrix<2>(1, 0.2, 0, 1.5), V(5, -3)));
}
template <> inline cc2Wireframe sample() {
  cc2Wireframe w(ccGenPoly(ccCircle(V(40, 30), 12)));
  w.polarity(true);
  return w;
}
template <> inline ccRect sample() { return ccRect(V(10, 20), V(30, 15)); }
template <> inline ccCircle sample() { return ccCircle(V(40, 30), 12); }
template <> inline ccAnnulus sample() { return ccAnnulus(V(40, 30), 6, 12); }
template <> inline ccEllipse2 sample() { return ccEllipse2(V(25, 9), ccRadian(-0.4), V(70, 50)); }
template <> inline ccGenRect sample() { return sampleGenRect(15); }
template <> inline ccEllipseAnnulus sample() { return ccEllipseAnnulus(sample<ccEllipse>(), 0.6); }
template <> inline ccEllipseAnnulusSection sample() {
  return ccEllipseAnnulusSection(ccEllipseAnnulus(sample<ccEllipse>(), 0.6), ccRadian(0.3),
                                 ccRadian(2.0));
}
// clang-format on

// Props that differ from the default ones in several fields, with fill on.
inline ccGraphicProps sampleProps() {
  ccGraphicProps p(ccColor::redColor(), 2, ccGraphicProps::eDash, true);
  p.arrowHeadForward(false);
  return p;
}

// The tablet operation that a shape graphic's drawing stands for.
template <class T>
void drawDirect(ccUITablet& t, const T& s, const ccGraphicProps& p, L l) {
  t.draw(s, p, l);
}
// A line in implicit form draws as the ccLine through its point along its direction.
inline void drawDirect(ccUITablet& t, const ccFLine& s, const ccGraphicProps& p, L l) {
  t.draw(ccLine(s.dir(), s.point()), p, l);
}

// A graphic of one instantiation, its class name, its shape, and the direct drawing of the shape.
struct GraphicCase {
  std::string name;
  ccGraphicPtrh graphic;
  ccShapePtrh shape;
  std::function<void(ccUITablet&, const ccGraphicProps&, L)> direct;
};

template <class G>
GraphicCase graphicCase(const std::string& name) {
  const auto s = sample<typename G::Shape>();
  return {name, ccGraphicPtrh(new G(s, sampleProps())), s.clone(),
          [s](ccUITablet& t, const ccGraphicProps& p, L l) { drawDirect(t, s, p, l); }};
}

// One case per instantiation of the shape-graphic templates, from the library's own lists.
inline std::vector<GraphicCase> everyShapeGraphic() {
  std::vector<GraphicCase> v;
#define DISPC_SIMPLE_CASE(T) \
  v.push_back(graphicCase<ccGraphicSimple<T>>("ccGraphicSimple<" #T ">"));
#define DISPC_FILL_CASE(T, U) \
  v.push_back(graphicCase<ccGraphicWithFill<T, U>>("ccGraphicWithFill<" #T ", " #U ">"));
  DISPC_SIMPLE_GRAPHIC_SHAPES(DISPC_SIMPLE_CASE)
  DISPC_FILL_GRAPHIC_SHAPES(DISPC_FILL_CASE)
#undef DISPC_SIMPLE_CASE
#undef DISPC_FILL_CASE
  return v;
}

// The special graphics, one of each.
inline std::vector<ccGraphicPtrh> everySpecialGraphic() {
  const ccGraphicProps p = sampleProps();
  ccPtrHandle<ccGraphicGroup> group(new ccGraphicGroup);
  group->items({ccGraphicPtrh(new ccGraphicPointIcon(ccPoint(5, 6), p)), ccGraphicPtrh(),
                ccGraphicPtrh(new ccGraphicSimple<ccLineSeg>(sample<ccLineSeg>(), p))},
               false);
  return {group,
          ccGraphicPtrh(new ccGraphicText("label", ccPoint(30, 40), ccColor::greenColor(),
                                          ccColor::blueColor(), ccUIFormat(ccUIFormat::eCenter),
                                          V(2.7, -1.5))),
          ccGraphicPtrh(new ccGraphicPointIcon(ccPoint(12, 13), p)),
          ccGraphicPtrh(new ccGraphicCross(ccCross(V(20, 30), ccRadian(0.4), 7), p)),
          ccGraphicPtrh(new ccGraphicEllipseAnnulusSection(sample<ccEllipseAnnulusSection>(), p))};
}

// A board of 320 x 240 pels that starts with an empty sketch.
struct TracedTablet : Board {
  TracedTablet() : Board(true, ccUIRect(0, 0, 320, 240)) { tablet.sketch().erase(); }
  std::string calls() const { return log->str(); }
  Bytes sketchBytes() const { return bytesOf(tablet.sketch()); }
};

// The bytes `out || x` writes: of a graphic handle (a persistent pointer), a graphic list, a
// colour.
template <class T>
std::vector<unsigned char> stored(T&& x) {
  ccArchive out;
  out || x;
  return out.data();
}

}  // namespace graphic_testing
