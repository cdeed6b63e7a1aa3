// Pictures drawn through a tablet onto the Cairo raster scope, one per shape family, also on a
// zoomed tablet and through a child tablet, compared with golden images (antialiasing off:
// tolerance 0, no differing pixel; text with its own looser tolerance). Each picture is drawn
// three ways against the same golden image: directly, by replaying its recording, and by
// replaying its recording after a trip through an archive.
#include "golden.h"

#include <backends/cairo/cairolayers.h>
#include <core/archive.h>
#include <dispc/smd/poly.h>
#include <dispc/tablet.h>
#include <dispc/wrfm/wirefrm.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using V = ccVector<2>;
constexpr ccUITablet::Layers kImage = ccUITablet::eImageLayer;
constexpr ccUITablet::Layers kOverlay = ccUITablet::eOverlayLayer;

// A visible root tablet over a white 200 x 150 raster scope (image layer only), and the child
// tablets a picture places on it.
struct Canvas {
  ccCairoImageScope scope{200, 150};
  ccUITablet tablet{&scope, nullptr};
  std::vector<std::unique_ptr<ccUITablet>> children;
  Canvas() {
    scope.antialias(false);
    scope.setAll(ccColor::whiteColor());
    tablet.visible(true);
  }
  ccUITablet& addChild(const ccUIRect& rect) {
    children.push_back(std::make_unique<ccUITablet>(tablet, rect));
    children.back()->visible(true);
    return *children.back();
  }
  // The root first, then the children in the order they were placed.
  std::vector<ccUITablet*> tablets() {
    std::vector<ccUITablet*> all{&tablet};
    for (const auto& c : children) all.push_back(c.get());
    return all;
  }
};

ccGraphicProps pen(const ccColor& c, long width = 1, bool fill = false) {
  return ccGraphicProps(c, width, ccGraphicProps::eSolid, fill);
}

// An SMD land: rounded corners, a bulging arc on its top side, extensions at both ends of its
// bottom side and beyond the arc's end; wireframe dark green, arrows green and red.
ccSMDGDPoly smdLand() {
  auto vtx = [](double x, double y, double radius, double span) {
    return ccSMDGDPolyVertex(V(x, y), radius, ccDegree(span), 0.5, 0.5, -1,
                             ccDimTol(-1, -1, -1, ccDimTol::eLimits));
  };
  ccSMDGDPoly p;
  p.vertices({vtx(0, 0, 6, 0), vtx(60, 0, 6, 0), vtx(60, 40, 0, 0), vtx(0, 40, 0, 60)});
  p.close();
  p.colors(ccSMDColors(ccColor::dkGreenColor()));
  p.positiveArrowColor(ccColor::greenColor());
  p.negativeArrowColor(ccColor::redColor());
  p.forwardPercExtension_(2, 0.3);
  p.backwardPercExtension_(2, 0.3);
  p.forwardPercExtension_(3, 0.4);
  return p;
}

// The land's wireframe, negative wireframe (red) and direction arrows under xf.
void overlaySMDLand(ccUITablet& t, const ccXform<2>& xf) {
  const ccSMDGDPoly land = smdLand();
  land.drawWireframe(xf, t);
  ccSMDGDPolyPrivate::drawNegWireframe(land, xf, t, ccColor::redColor(), kImage);
  land.drawDirectionArrows(xf, t, 5);
}

// A golden picture: how the canvas is set up (maps and child tablets, which a recording does
// not hold) and what is drawn on it, with the comparison's tolerance (see matchesGolden).
struct Picture {
  const char* name;
  void (*setup)(Canvas&);
  void (*draw)(Canvas&);
  int tolerance = 0;
  long maxBad = 0;
};

void noSetup(Canvas&) {}

const Picture kPictures[] = {
    {"tablet_lines", noSetup,
     [](Canvas& c) {
       ccUITablet& t = c.tablet;
       t.draw(ccLineSeg(V(10, 10), V(90, 40)), pen(ccColor::redColor(), 2), kImage);
       t.draw(ccLine(V(1, 0), V(0, 60)), ccColor::blueColor(), kImage);
       t.draw(ccCross(V(150, 30), ccRadian(ccPi / 4), 12), ccColor::dkGreenColor(), kImage);
       t.arrowHead(ccPoint(V(180, 100)), V(1, 0), 10.0f, pen(ccColor::magentaColor()), kImage);
       t.draw(ccCoordAxes(V(20, 140), V(80, 140), V(20, 80)), ccColor::blackColor(), kImage);
       ccGraphicProps dashed = pen(ccColor::orangeColor(), 1);
       dashed.penStyle(ccGraphicProps::eDash);
       t.draw(ccLineSeg(V(100, 80), V(190, 140)), dashed, kImage);
     }},
    {"tablet_closed", noSetup,
     [](Canvas& c) {
       ccUITablet& t = c.tablet;
       t.draw(ccRect(V(10, 10), V(50, 30)), ccColor::redColor(), kImage);
       t.draw(ccRect(V(70, 10), V(50, 30)), ccColor::blueColor(), kImage, true);
       t.draw(ccCircle(V(160, 30), 20), ccColor::dkGreenColor(), kImage);
       t.draw(ccEllipse(V(40, 80), V(30, 15), ccRadian(0.3)), pen(ccColor::magentaColor(), 1, true),
              kImage);
       t.draw(ccGenRect(V(110, 80), V(25, 15), ccRadian(0.2), V(0.4, 0.4)), ccColor::blackColor(),
              kImage);
       t.draw(ccAffineRectangle(V(150, 60), V(190, 70), V(145, 100)), ccColor::orangeColor(),
              kImage);
       t.draw(ccAnnulus(V(40, 125), 8, 18), ccColor::blueColor(), kImage);
       t.draw(ccPolygon({{90, 110}, {130, 145}, {70, 145}}, ccPolygon::eFillAlternate),
              ccColor::redColor(), kImage);
       t.draw(ccEllipseAnnulusSection(ccEllipseAnnulus(ccEllipse(V(165, 125), V(30, 20)), 0.5),
                                      ccRadian(0.2), ccRadian(2.5)),
              ccColor::dkGreenColor(), kImage);
     }},
    {"tablet_curves", noSetup,
     [](Canvas& c) {
       ccUITablet& t = c.tablet;
       t.draw(ccPolyline({{10, 10}, {40, 40}, {70, 15}, {100, 45}}, false), ccColor::redColor(),
              kImage);
       t.draw(ccBezierCurve(V(10, 140), V(40, 60), V(90, 60), V(120, 140)),
              pen(ccColor::blueColor(), 2), kImage);
       t.draw(ccEllipseArc(ccEllipse(V(160, 40), V(30, 20)), ccRadian(0), ccRadian(3)),
              ccColor::magentaColor(), kImage);
       t.draw(ccPointSet({{150, 100}, {160, 110}, {170, 95}}), ccColor::blackColor(), kImage);
       for (int i = 0; i < 5; ++i)
         t.drawPixel(ccPair<double>(130 + 3 * i, 140), ccColor::redColor(), kImage);
     }},
    // Shapes and an image on a zoomed tablet.
    {"tablet_zoomed",
     [](Canvas& c) {
       c.tablet.baseMap(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(5, 5)));
       c.tablet.scaleExact(ccPair<double>(4.0, 4.0));
     },
     [](Canvas& c) {
       ccUITablet& t = c.tablet;
       ccPelBuffer<unsigned char> img(6, 4);
       for (long y = 0; y < 4; ++y)
         for (long x = 0; x < 6; ++x) img.set(x, y, static_cast<unsigned char>(40 * x + 20 * y));
       t.draw(img, ccPoint(V(0, 0)), false, 0, false, kImage);
       t.draw(ccCircle(V(30, 20), 8), ccColor::redColor(), kImage);
       t.draw(ccLineSeg(V(0, 30), V(40, 30)), ccColor::blueColor(), kImage);
     }},
    // A zoomed child tablet draws inside its rectangle: the circle runs past it and is clipped.
    {"tablet_child",
     [](Canvas& c) { c.addChild(ccUIRect(100, 50, 80, 60)).scaleExact(ccPair<double>(2.0, 2.0)); },
     [](Canvas& c) {
       c.tablet.draw(ccRect(V(100, 50), V(79, 59)), ccColor::blackColor(), kImage);
       ccUITablet& child = *c.children[0];
       child.draw(ccCircle(V(20, 15), 18), ccColor::redColor(), kImage);
       child.draw(ccLineSeg(V(0, 0), V(100, 100)), ccColor::blueColor(), kImage);
     }},
    // A general polygon with rounded corners and an arc segment, with and without its vertices
    // shown (the whole segments between the vertex points), and the same mapped by an ellipse's
    // skew.
    {"tablet_genpoly_rounded", noSetup,
     [](Canvas& c) {
       ccUITablet& t = c.tablet;
       ccGenPoly g;
       g.insertVertex(V(10, 10), 0, ccRadian(0));
       g.insertVertex(V(80, 10), 8, ccRadian(0));
       g.insertVertex(V(80, 60), 0, ccRadian(ccPi / 2));
       g.insertVertex(V(10, 60), 6, ccRadian(0));
       g.close(ccRadian(0));
       g.vertexRoundingSize(0, 5);
       t.draw(g, ccColor::redColor(), kImage);
       t.draw(g.map(cc2Rigid(ccRadian(0), V(100, 0)), 1.0), ccColor::blueColor(), kImage, true);
       t.draw(g.map(ccXform<2>(ccMatrix<2>(1, 0.3, 0, 0.8), V(40, 80))),
              pen(ccColor::dkGreenColor(), 2), kImage);
     }},
    // Wireframes with direction marks: one as drawn, one reversed, one mirrored (its signs swap
    // sides), all on a tablet zoomed by 2.
    {"tablet_wireframe_marks", [](Canvas& c) { c.tablet.scaleExact(ccPair<double>(2.0, 2.0)); },
     [](Canvas& c) {
       ccUITablet& t = c.tablet;
       ccGenPoly g;
       g.insertVertex(V(5, 5), 0, ccRadian(0));
       g.insertVertex(V(40, 5), 0, ccRadian(0));
       g.insertVertex(V(40, 30), 4, ccRadian(0));
       g.insertVertex(V(20, 30), 0, ccRadian(ccPi / 3));
       g.close(ccRadian(0));
       const cc2Wireframe w(g);
       t.draw(w, pen(ccColor::redColor()), kImage);
       cc2Wireframe reversed(w.map(cc2Rigid(ccRadian(0), V(50, 0)), 1.0));
       reversed.polarity(true);
       t.draw(reversed, pen(ccColor::blueColor()), kImage);
       t.draw(w.map(ccXform<2>(ccMatrix<2>(1, 0, 0, -1), V(20, 70))), pen(ccColor::blackColor()),
              kImage);
     }},
    {"tablet_text", noSetup,
     [](Canvas& c) {
       ccUITablet& t = c.tablet;
       t.draw(std::string("dispc 42"), ccPoint(V(10, 10)), ccColor::blackColor(),
              ccColor::whiteColor(), ccUIFormat(-1, ccUIFormat::eTopLeft), kImage);
       t.draw(std::string("centre"), ccPoint(V(100, 75)), ccColor::blueColor(),
              ccColor::whiteColor(), ccUIFormat(-1, ccUIFormat::eCenter), kImage);
       t.drawPointIcon(ccPoint(V(40, 120)), ccColor::redColor(), kImage);
       t.drawPointIcon(ccPoint(V(160, 120)), ccColor::dkGreenColor(), kImage);
     },
     64, 600},
    // An SMD land as drawn, and mirrored left to right: the arrows keep their colours on the
    // same sides of the outline.
    {"smd_overlay", noSetup,
     [](Canvas& c) {
       overlaySMDLand(c.tablet, ccXform<2>(ccMatrix<2>(), V(20, 70)));
       overlaySMDLand(c.tablet, ccXform<2>(ccMatrix<2>(-1, 0, 0, 1), V(180, 70)));
     }},
};

void PrintTo(const Picture& p, std::ostream* os) { *os << p.name; }

const Picture& picture(const char* name) {
  for (const Picture& p : kPictures)
    if (std::string(p.name) == name) return p;
  throw std::out_of_range(name);
}

// How a picture is drawn: directly, by replaying the recording that drawing it made, or by
// replaying that recording after a trip through an archive. All three match one golden image.
enum class Via { eDirect, eReplay, eArchive };

const char* nameOf(Via via) {
  const char* const names[] = {"direct", "replay", "archive"};
  return names[static_cast<int>(via)];
}
void PrintTo(Via via, std::ostream* os) { *os << nameOf(via); }

ccUISketch throughArchive(ccUISketch sketch) {
  ccArchive out;
  out || sketch;
  ccArchive in(out.data());
  ccUISketch loaded;
  in || loaded;
  return loaded;
}

void drawPicture(const Picture& p, Via via, Canvas& c) {
  p.setup(c);
  if (via == Via::eDirect) {
    p.draw(c);
    return;
  }
  Canvas recorded;
  p.setup(recorded);
  for (ccUITablet* t : recorded.tablets()) t->recordOn().push(true);
  p.draw(recorded);
  const std::vector<ccUITablet*> from = recorded.tablets(), to = c.tablets();
  for (std::size_t i = 0; i < to.size(); ++i) {
    const ccUISketch& s = from[i]->sketch();
    to[i]->draw(via == Via::eArchive ? throughArchive(s) : s, ccPoint(V(0, 0)),
                ccUITablet::eBothLayers);
  }
}

struct CairoGolden : ::testing::TestWithParam<std::tuple<Picture, Via>> {};

TEST_P(CairoGolden, MatchesItsGoldenImage) {
  const auto& [p, via] = GetParam();
  Canvas c;
  drawPicture(p, via, c);
  EXPECT_TRUE(matchesGolden(c.scope, p.name, p.tolerance, p.maxBad));
}

std::string testName(const ::testing::TestParamInfo<std::tuple<Picture, Via>>& info) {
  return std::string(std::get<0>(info.param).name) + "_" + nameOf(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(All, CairoGolden,
                         ::testing::Combine(::testing::ValuesIn(kPictures),
                                            ::testing::Values(Via::eDirect, Via::eReplay,
                                                              Via::eArchive)),
                         testName);

TEST(CairoTablet, ChildTabletDrawsOnlyInsideItsRectangle) {
  Canvas c;
  drawPicture(picture("tablet_child"), Via::eDirect, c);
  EXPECT_EQ(c.scope.pel(10, 10), opaque(ccColor::whiteColor()));
}

TEST(CairoTablet, TextInkReachesPastItsTextRectangle) {
  Canvas c;
  drawPicture(picture("tablet_text"), Via::eDirect, c);
  ccUIRect r;
  c.tablet.textRect("centre", ccPoint(V(100, 75)), ccUIFormat(-1, ccUIFormat::eCenter), r, kImage);
  EXPECT_TRUE(inkBox(c.scope, opaque(ccColor::whiteColor())).width() > r.width());
}

TEST(CairoTablet, OverlayIsComposedOverTheImage) {
  ccCairoLayers layers(40, 30);
  layers.antialias(false);
  ccUITablet t(&layers.image(), &layers.overlay());
  t.visible(true);
  t.set(ccColor::blueColor(), kImage);
  t.draw(ccRect(V(5, 5), V(10, 10)), ccColor::redColor(), kOverlay, true);
  const ccPelBuffer<ccPackedRGB32Pel> pels = layers.composed();
  EXPECT_EQ(pels.get(10, 10), opaque(ccColor::redColor()));
  EXPECT_EQ(pels.get(30, 20), opaque(ccColor::blueColor()));
}

}  // namespace
