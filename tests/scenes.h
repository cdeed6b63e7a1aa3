// Scenes that exercise the drawing slots of a scope, each on a white 160 x 120 scope without
// antialiasing. The Cairo and Qt tests draw each against their golden images, and the Qt tests
// compare both back ends.
#pragma once

#include <core/genshape.h>
#include <dispc/scope.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace scenes {

using V = ccVector<2>;
using U8 = unsigned char;

inline ccGraphicProps pen(const ccColor& c, long width,
                          ccGraphicProps::cePenStyle style = ccGraphicProps::eSolid,
                          bool fill = false) {
  return ccGraphicProps(c, width, style, fill);
}

// A w x h image: pel (x, y) = f(x, y).
template <class T, class F>
ccPelBuffer<T> ramp(long w, long h, F f) {
  ccPelBuffer<T> b(w, h);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) b.set(x, y, f(x, y));
  return b;
}

inline ccPelBuffer<unsigned char> grey8(long w, long h) {
  return ramp<unsigned char>(w, h, [](long x, long y) {
    return static_cast<unsigned char>(x == y ? 0 : (23 * x + 11 * y) % 256);
  });
}

struct Scene {
  std::string name;
  std::function<void(ccUIScope&)> draw;
};

inline const std::vector<Scene>& scenes() {
  static const std::vector<Scene> all = {
      {"segments",
       [](ccUIScope& s) {
         s.drawLineSeg(ccLineSeg(V(10, 10), V(60, 10)), pen(ccColor::redColor(), 1));
         s.drawLineSeg(ccLineSeg(V(10, 30), V(60, 30)), pen(ccColor::blueColor(), 5));
         ccGraphicProps capped = pen(ccColor::dkGreenColor(), 7);
         capped.penEndCap(ccGraphicProps::eRoundCap);
         s.drawLineSeg(ccLineSeg(V(20, 60), V(140, 100)), capped);
         capped.penEndCap(ccGraphicProps::eSquareCap);
         capped.penColor(ccColor::orangeColor());
         s.drawLineSeg(ccLineSeg(V(20, 100), V(140, 60)), capped);
         s.drawLineSeg(ccLineSeg(V(100, 5), V(150, 45)), pen(ccColor(128, 0, 255), 2));
       }},
      {"polylines",
       [](ccUIScope& s) {
         const std::vector<V> zigzag = {V(10, 100), V(30, 20), V(50, 100), V(70, 20)};
         ccGraphicProps p = pen(ccColor::blueColor(), 6);
         s.drawPolyline(ccPolyline(zigzag), p);
         p.penJoin(ccGraphicProps::eRoundJoin);
         p.penColor(ccColor::redColor());
         s.drawPolyline(ccPolyline({V(90, 100), V(110, 20), V(130, 100), V(150, 20)}, true), p);
       }},
      {"polygons",
       [](ccUIScope& s) {
         auto star = [](double cx, double cy) {
           std::vector<V> v;
           for (int i = 0; i < 5; ++i) {
             const double a = -3.14159265358979 / 2 + i * 4 * 3.14159265358979 / 5;
             v.push_back(V(cx + 24 * std::cos(a), cy + 24 * std::sin(a)));
           }
           return v;
         };
         const ccGraphicProps p = pen(ccColor::blueColor(), 1);
         s.drawPolygon(star(30, 40), ccPolygon::eNoFill, p);
         s.drawPolygon(star(80, 40), ccPolygon::eFillAlternate, p);
         s.drawPolygon(star(130, 40), ccPolygon::eFillWinding, p);
         s.drawPolygon({V(20, 80), V(70, 80), V(45, 110)}, ccPolygon::eFillWinding,
                       pen(ccColor::redColor(), 3, ccGraphicProps::eNull));
         ccGraphicProps bevel = pen(ccColor::purpleColor(), 4);
         bevel.penJoin(ccGraphicProps::eBevelJoin);
         s.drawPolygon({V(90, 80), V(150, 85), V(110, 112)}, ccPolygon::eNoFill, bevel);
       }},
      {"ellipses",
       [](ccUIScope& s) {
         s.drawEllipse(ccEllipse(V(30, 30), V(20, 20)), pen(ccColor::redColor(), 1));
         s.drawEllipse(ccEllipse(V(80, 30), V(25, 12), ccRadian(0.5)),
                       pen(ccColor::blueColor(), 2, ccGraphicProps::eSolid, true));
         s.drawEllipseArc(
             ccEllipseArc(ccEllipse(V(135, 30), V(18, 18)), ccRadian(0), ccRadian(1.5708)),
             pen(ccColor::dkGreenColor(), 3));
         s.drawEllipse2(ccEllipse2(V(30, 12), ccRadian(-0.3), V(40, 90), false, ccRadian(1)),
                        pen(ccColor::purpleColor(), 1));
         s.drawEllipseArc2(ccEllipseArc2(ccEllipse2(V(25, 20), ccRadian(0), V(115, 90)),
                                         ccRadian(0), ccRadian(-4)),
                           pen(ccColor::orangeColor(), 4));
       }},
      {"roundedrects",
       [](ccUIScope& s) {
         s.drawRoundedRect(ccGenRect(V(40, 40), V(30, 25), ccRadian(0), V(0.3, 0.4)),
                           pen(ccColor::redColor(), 2));
         s.drawRoundedRect(ccGenRect(V(115, 40), V(30, 20), ccRadian(0.4), V(0.5, 0.5)),
                           pen(ccColor::blueColor(), 1, ccGraphicProps::eSolid, true));
         s.drawRoundedRect(ccGenRect(V(40, 95), V(25, 15), ccRadian(0), V(0, 0)),
                           pen(ccColor::dkGreenColor(), 1));
       }},
      {"penstyles",
       [](ccUIScope& s) {
         // The six styles in their order: solid, dash, dot, dash-dot, dash-dot-dot, null.
         for (int i = 0; i < 6; ++i) {
           s.drawLineSeg(
               ccLineSeg(V(10, 10 + 12 * i), V(150, 10 + 12 * i)),
               pen(ccColor::blackColor(), 1 + i % 3, static_cast<ccGraphicProps::cePenStyle>(i)));
         }
         s.plotPoint(ccPoint(20.7, 100.2), pen(ccColor::redColor(), 1));
         s.plotPoint(ccPoint(40, 100), pen(ccColor::redColor(), 5));
       }},
      {"strokes",
       [](ccUIScope& s) {
         // Pen strokes in whole pixels, a rubber-band box (under a screen lock, as a tablet
         // draws it) and a 3-pixel L.
         s.lockScreenUpdatesPush(true);
         s.drawStart(ccPoint(10, 10));
         s.drawTo(ccPoint(70, 10), pen(ccColor::redColor(), 1));
         s.drawToRel(0, 40, pen(ccColor::blueColor(), 1));
         s.drawToRel(-60, 0, pen(ccColor::dkGreenColor(), 1));
         s.drawTo(ccPoint(10, 10), pen(ccColor::magentaColor(), 1));
         s.drawStart(ccPoint(20, 20));
         for (int i = 0; i < 4; ++i)
           s.drawToRel(i % 2 ? 0 : 30 - 60 * (i / 2), i % 2 ? 20 - 40 * (i / 2) : 0,
                       pen(ccColor::redColor(), 1));
         s.lockScreenUpdatesPop();
         s.drawStart(ccPoint(90, 20));
         s.drawToRel(50, 0, pen(ccColor::blackColor(), 3));
         s.drawToRel(0, 70, pen(ccColor::blackColor(), 3));
       }},
      {"images",
       [](ccUIScope& s) {
         const auto g16 = ramp<unsigned short>(20, 20, [](long x, long y) {
           return static_cast<unsigned short>(y == 10 ? 0 : 3000 * x);
         });
         const auto rgb16 = ramp<ccPackedRGB16Pel>(20, 20, [](long x, long y) {
           return x < 5 ? ccPackedRGB16Pel(0) : ccPackedRGB16Pel(255, U8(12 * y), 0);
         });
         const auto rgb32 = ramp<ccPackedRGB32Pel>(20, 20, [](long x, long y) {
           return (x + y) % 7 ? ccPackedRGB32Pel(U8(12 * x), 0, U8(12 * y))
                              : ccPackedRGB32Pel(1, 2, 3, 99);
         });
         // Pel value 0 is the pass value of every image: those pels leave the background.
         s.drawImage(grey8(20, 20), ccPoint(5, 5), true, 0, false);
         s.drawImage(g16, ccPoint(30, 5), true, 0);
         s.drawImage(rgb16, ccPoint(55, 5), true, 0);
         s.drawImage(rgb32, ccPoint(80, 5), true, 0x010203);
         s.drawImage(grey8(30, 30), ccPoint(140, 100), false, 0, false);  // cut at the edge
         // An icon (0 passed, 1 and 2 through the colours) and a run-length image.
         const auto cross = ramp<unsigned char>(7, 7, [](long x, long y) {
           return static_cast<unsigned char>(x == 3 && y == 3 ? 2 : (x == 3 || y == 3 ? 1 : 0));
         });
         s.drawIcon(ccRLEBuffer(cross), ccPoint(10, 40),
                    {ccColor::blackColor(), ccColor::redColor(), ccColor::blueColor()}, true, 0);
         s.drawRLEImage(ccRLEBuffer(grey8(25, 25)), ccPoint(30, 40), {255, 128}, true, 7, false);
         // A window of a larger run-length image, cut at the left and bottom edges.
         s.drawRLEImage(ccRLEBuffer(grey8(50, 40)).subWindow(10, 5, 30, 25), ccPoint(-12, 104), {},
                        false, 0, false);
       }},
      {"zoom",
       [](ccUIScope& s) {
         const auto g = grey8(12, 12);
         s.expandImage(g, ccPoint(5, 5), ccPair<double>(3, 3), false, 0, false,
                       ccUIScope::eNoInterpolation);
         s.expandImage(g, ccPoint(45, 5), ccPair<double>(2.5, 2.5), true, 0, false,
                       ccUIScope::eBilinearInterpolation);
         s.sampleImage(grey8(60, 60), ccPoint(85, 5), ccPair<double>(0.5, 0.5), false, 0, false);
         s.expandImage(g, ccPoint(120, 5), ccPair<double>(2, 4), false, 0, false,
                       ccUIScope::eNoInterpolation);
         const auto g16 = ramp<unsigned short>(
             10, 10, [](long x, long y) { return static_cast<unsigned short>(6000 * (x ^ y)); });
         const auto rgb32 = ramp<ccPackedRGB32Pel>(
             40, 40, [](long x, long y) { return ccPackedRGB32Pel(U8(6 * x), U8(6 * y), 90); });
         const auto rgb16 = ramp<ccPackedRGB16Pel>(
             8, 8, [](long x, long y) { return ccPackedRGB16Pel(U8(30 * x), 0, U8(30 * y)); });
         s.expandImage(g16, ccPoint(5, 60), ccPair<double>(4, 4), false, 0);
         s.sampleImage(rgb32, ccPoint(60, 60), ccPair<double>(0.75, 0.75), false, 0);
         s.expandImage(rgb16, ccPoint(100, 60), ccPair<double>(5, 5), false, 0);
       }},
      {"areas",
       [](ccUIScope& s) {
         s.setRect(ccUIRect(10, 10, 60, 40), ccColor::blueColor());
         s.setRect(ccUIRect(20, 20, 20, 20), ccColor(200, 200, 0));
         // A box outline, then a fill of its inside up to the border, and one of a surface.
         const ccGraphicProps border = pen(ccColor::redColor(), 1);
         s.drawPolygon({V(90, 10), V(150, 10), V(150, 60), V(90, 60)}, ccPolygon::eNoFill, border);
         s.floodFill(ccPair<long>(120, 30), ccColor::greenColor(), ccColor::redColor(), true);
         s.floodFill(ccPair<long>(15, 15), ccColor::orangeColor(), ccColor::blackColor(), false);
         s.setRect(ccUIRect(-10, 100, 40, 40), ccColor::purpleColor());  // cut at the edges
       }},
      // The general-shape slot: the scope draws the outline the shape samples, one pixel wide.
      {"genshape",
       [](ccUIScope& s) {
         const std::vector<V> pentagon = {V(0, -30), V(28, -9), V(18, 24), V(-18, 24), V(-28, -9)};
         s.draw(ccGenShapeRoundedPolygon(pentagon, 8, ccXform<2>(ccMatrix<2>(), V(45, 60))),
                ccColor::blueColor());
         // Placed turned by 30 degrees and stretched: the corners become elliptical.
         const ccRadian turn(ccDegree(30));
         s.draw(
             ccGenShapeRoundedPolygon(pentagon, 10, ccXform<2>(V(115, 60), turn, turn, 1.2, 0.8)),
             ccColor::redColor());
       }},
  };
  return all;
}

inline void PrintTo(const Scene& scene, std::ostream* os) { *os << scene.name; }

}  // namespace scenes
