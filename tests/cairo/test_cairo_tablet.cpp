// Pictures drawn through a tablet onto the Cairo raster scope (every operation, zoomed and
// child tablets, SMD overlays, general polygons, wireframes), compared with golden images
// (antialiasing off: tolerance 0, no differing pixel; text with its own looser tolerance).
#include "../drawingsamples.h"
#include "golden.h"

#include <backends/cairo/cairolayers.h>
#include <dispc/smd/poly.h>
#include <dispc/tablet.h>
#include <dispc/wrfm/wirefrm.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace {

using V = ccVector<2>;

// A visible root tablet over a white 200 x 150 raster scope (image layer only).
struct Canvas {
  ccCairoImageScope scope{200, 150};
  ccUITablet tablet{&scope, nullptr};
  Canvas() {
    scope.antialias(false);
    scope.setAll(ccColor::whiteColor());
    tablet.visible(true);
  }
};

// One drawing of every archivable operation a tablet records, on both layers of a tablet over
// Cairo, composed (text with a looser tolerance). That its recording, replayed and replayed
// after an archive trip, makes the same scope calls is the playback and archive tests' check.
TEST(CairoTablet, EveryOperationOnBothLayers) {
  ccCairoLayers layers(320, 240);
  layers.antialias(false);
  ccUITablet t(&layers.image(), &layers.overlay());
  t.visible(true);
  t.set(ccColor::whiteColor(), kImage);
  drawEveryOperation(t, false);
  ccCairoImageScope picture(320, 240);
  picture.drawImage(layers.composed(), ccPoint(0, 0), false, 0);
  EXPECT_TRUE(matchesGolden(picture, "tablet_every_operation", 64, 200));
}

// A picture drawn directly and by replaying the recordings that drawing it made: one golden
// image both times (an archive trip gives back the recording's very bytes, which the sketch
// archive tests check). `setup` places what a recording does not hold (maps, child tablets);
// `draw` draws on the tablets.
using Tablets = std::vector<std::unique_ptr<ccUITablet>>;
struct TabletPicture {
  std::string name;
  std::function<void(Canvas&, Tablets&)> setup, draw;
};
void PrintTo(const TabletPicture& p, std::ostream* os) { *os << p.name; }

ccSMDGDPolyVertex vtx(double x, double y, double radius = 0, double span = 0) {
  return ccSMDGDPolyVertex(V(x, y), radius, ccDegree(span), 0.5, 0.5, -1,
                           ccDimTol(-1, -1, -1, ccDimTol::eLimits));
}

// An SMD land's wireframe (dark green), negative wireframe (red) and direction arrows (green and
// red) under xf: rounded corners, a bulging arc on its top side, extensions at both ends of its
// bottom side and beyond the arc's end.
void overlaySMDLand(ccUITablet& t, const ccXform<2>& xf) {
  ccSMDGDPoly p;
  p.vertices({vtx(0, 0, 6), vtx(60, 0, 6), vtx(60, 40), vtx(0, 40, 0, 60)});
  p.close();
  p.colors(ccSMDColors(ccColor::dkGreenColor()));
  p.positiveArrowColor(ccColor::greenColor());
  p.negativeArrowColor(ccColor::redColor());
  p.forwardPercExtension_(2, 0.3);
  p.backwardPercExtension_(2, 0.3);
  p.forwardPercExtension_(3, 0.4);
  p.drawWireframe(xf, t);
  ccSMDGDPolyPrivate::drawNegWireframe(p, xf, t, ccColor::redColor(), kImage);
  p.drawDirectionArrows(xf, t, 5);
}

const auto noSetup = [](Canvas&, Tablets&) {};

const TabletPicture kTabletPictures[] = {
    // A zoomed tablet scales shapes and images.
    {"tablet_zoomed",
     [](Canvas& c, Tablets&) {
       c.tablet.baseMap(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(5, 5)));
       c.tablet.scaleExact(ccPair<double>(4.0, 4.0));
     },
     [](Canvas& c, Tablets&) {
       ccPelBuffer<unsigned char> img(6, 4);
       for (long y = 0; y < 4; ++y)
         for (long x = 0; x < 6; ++x) img.set(x, y, static_cast<unsigned char>(40 * x + 20 * y));
       c.tablet.draw(img, ccPoint(V(0, 0)), false, 0, false, kImage);
       c.tablet.draw(ccCircle(V(30, 20), 8), ccColor::redColor(), kImage);
       c.tablet.draw(ccLineSeg(V(0, 30), V(40, 30)), ccColor::blueColor(), kImage);
     }},
    // A zoomed child tablet draws inside its rectangle: the circle runs past it and is clipped.
    {"tablet_child",
     [](Canvas& c, Tablets& kids) {
       kids.push_back(std::make_unique<ccUITablet>(c.tablet, ccUIRect(100, 50, 80, 60)));
       kids[0]->visible(true);
       kids[0]->scaleExact(ccPair<double>(2.0, 2.0));
     },
     [](Canvas& c, Tablets& kids) {
       c.tablet.draw(ccRect(V(100, 50), V(79, 59)), ccColor::blackColor(), kImage);
       kids[0]->draw(ccCircle(V(20, 15), 18), ccColor::redColor(), kImage);
       kids[0]->draw(ccLineSeg(V(0, 0), V(100, 100)), ccColor::blueColor(), kImage);
     }},
    // An SMD land as drawn, and mirrored left to right: the arrows keep their colours on the
    // same sides of the outline.
    {"smd_overlay", noSetup,
     [](Canvas& c, Tablets&) {
       overlaySMDLand(c.tablet, ccXform<2>(ccMatrix<2>(), V(20, 70)));
       overlaySMDLand(c.tablet, ccXform<2>(ccMatrix<2>(-1, 0, 0, 1), V(180, 70)));
     }},
    // A general polygon with rounded corners and an arc segment, filled and not, and mapped by
    // an ellipse's skew.
    {"tablet_genpoly_rounded", noSetup,
     [](Canvas& c, Tablets&) {
       ccGenPoly g;
       g.insertVertex(V(10, 10), 0, ccRadian(0));
       g.insertVertex(V(80, 10), 8, ccRadian(0));
       g.insertVertex(V(80, 60), 0, ccRadian(ccPi / 2));
       g.insertVertex(V(10, 60), 6, ccRadian(0));
       g.close(ccRadian(0));
       g.vertexRoundingSize(0, 5);
       c.tablet.draw(g, ccColor::redColor(), kImage);
       c.tablet.draw(g.map(cc2Rigid(ccRadian(0), V(100, 0)), 1.0), ccColor::blueColor(), kImage,
                     true);
       c.tablet.draw(g.map(ccXform<2>(ccMatrix<2>(1, 0.3, 0, 0.8), V(40, 80))),
                     ccGraphicProps(ccColor::dkGreenColor(), 2), kImage);
     }},
    // Wireframes with direction marks: one as drawn, one reversed, one mirrored (its signs swap
    // sides), all on a tablet zoomed by 2.
    {"tablet_wireframe_marks",
     [](Canvas& c, Tablets&) { c.tablet.scaleExact(ccPair<double>(2.0, 2.0)); },
     [](Canvas& c, Tablets&) {
       ccGenPoly g;
       g.insertVertex(V(5, 5), 0, ccRadian(0));
       g.insertVertex(V(40, 5), 0, ccRadian(0));
       g.insertVertex(V(40, 30), 4, ccRadian(0));
       g.insertVertex(V(20, 30), 0, ccRadian(ccPi / 3));
       g.close(ccRadian(0));
       const cc2Wireframe w(g);
       c.tablet.draw(w, ccGraphicProps(ccColor::redColor(), 1), kImage);
       cc2Wireframe reversed(w.map(cc2Rigid(ccRadian(0), V(50, 0)), 1.0));
       reversed.polarity(true);
       c.tablet.draw(reversed, ccGraphicProps(ccColor::blueColor(), 1), kImage);
       c.tablet.draw(w.map(ccXform<2>(ccMatrix<2>(1, 0, 0, -1), V(20, 70))),
                     ccGraphicProps(ccColor::blackColor(), 1), kImage);
     }},
};

struct CairoTabletPicture : ::testing::TestWithParam<TabletPicture> {};

TEST_P(CairoTabletPicture, DirectAndReplayedMatchItsGolden) {
  const TabletPicture& p = GetParam();
  Canvas recorded, replayed;
  Tablets recordedKids, replayedKids;
  p.setup(recorded, recordedKids);
  p.setup(replayed, replayedKids);
  recorded.tablet.recordOn().push(true);
  for (auto& k : recordedKids) k->recordOn().push(true);
  p.draw(recorded, recordedKids);
  EXPECT_TRUE(matchesGolden(recorded.scope, p.name)) << "direct";
  EXPECT_EQ(recorded.scope.pel(199, 0), opaque(ccColor::whiteColor()));  // nothing beyond
  replayed.tablet.draw(recorded.tablet.sketch(), ccPoint(V(0, 0)), ccUITablet::eBothLayers);
  for (std::size_t i = 0; i < replayedKids.size(); ++i)
    replayedKids[i]->draw(recordedKids[i]->sketch(), ccPoint(V(0, 0)), ccUITablet::eBothLayers);
  EXPECT_TRUE(matchesGolden(replayed.scope, p.name)) << "replayed";
}

INSTANTIATE_TEST_SUITE_P(Pictures, CairoTabletPicture, ::testing::ValuesIn(kTabletPictures),
                         [](const auto& info) { return info.param.name; });

}  // namespace
