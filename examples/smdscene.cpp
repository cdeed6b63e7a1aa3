// The demo's second scene: an SMD model of rounded polygons (a chip outline with rounded
// corners, two rows of rounded pads, two circular fiducials) drawn synthetically into an 8-bit
// image, then shown through a tablet with the model overlaid: each polygon's rounded outline,
// its negative wireframe (the corner extensions the model keeps clear of other segments) and
// an arrow per segment showing the direction of travel.
#include "smdscene.h"

#include <backends/cairo/cairoimage.h>
#include <backends/cairo/cairolayers.h>
#include <dispc/smd/model.h>
#include <dispc/tablet.h>

#include <cstdio>

namespace {

using V = ccVector<2>;
constexpr ccUITablet::Layers kImage = ccUITablet::eImageLayer;
constexpr ccUITablet::Layers kOverlay = ccUITablet::eOverlayLayer;
constexpr long kWidth = 640, kHeight = 440;
constexpr long kTitleFont = 1, kSmallFont = 2;

// A closed rectangle of w x h about c with every corner rounded by r.
ccSMDGDPoly roundedRect(double w, double h, const V& c, double r, const ccColor& grey) {
  ccSMDGDPoly p = ccSMDGDPoly::rectangle(w, h, c);
  std::vector<ccSMDGDPolyVertex> v = p.vertices();
  for (ccSMDGDPolyVertex& corner : v) corner.vertexRadius(r);
  p.vertices(v);
  p.colors(ccSMDColors(ccColor::greenColor(), grey, ccColor::dkGreyColor()));
  return p;
}

// The part in millimetres: body 24 x 14, ten pads 2.4 x 3.6 on a 5 mm pitch whose outer pads
// sit just beside the body's corners, fiducials of radius 1.5.
ccSMDGDModel makeModel() {
  ccSMDGDModel model("SO-10");
  model << roundedRect(24, 14, V(0, 0), 1.5, ccColor(70, 70, 70));
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < 5; ++i)
      model << roundedRect(2.4, 3.6, V(-10 + 5 * i, row ? -9.6 : 9.6), 0.5, ccColor::whiteColor());
  for (const V& c : {V(-17, 12), V(17, -12)}) {
    ccSMDGDPoly fiducial = ccSMDGDPoly::circle(1.5, c);
    fiducial.colors(
        ccSMDColors(ccColor::greenColor(), ccColor::ltGreyColor(), ccColor::dkGreyColor()));
    model << fiducial;
  }
  ccSMDGDModelPrivate::setExtensions(model, 0.15, 0.3);
  return model;
}

// Millimetres to image pixels: 12 px/mm, y up, the part's centre below the title.
ccXform<2> clientToImage() {
  return ccXform<2>(ccMatrix<2>(12, 0, 0, -12), V(kWidth / 2.0, kHeight / 2.0 + 10));
}

ccPelBuffer<unsigned char> syntheticImage(const ccSMDGDModel& model) {
  ccPelBuffer<unsigned char> image(kWidth, kHeight);
  for (long y = 0; y < kHeight; ++y)
    for (long x = 0; x < kWidth; ++x) image.set(x, y, 30);
  model.drawSynthetic(clientToImage(), image);
  return image;
}

void drawScene(ccCairoLayers& layers, const ccPelBuffer<unsigned char>& image,
               const ccSMDGDModel& model) {
  for (int l = 0; l < 2; ++l) {
    ccCairoScope& s = layers.scope(l);
    s.font(kTitleFont, ccCairoFont{"DejaVu Sans", 17, true, false});
    s.font(kSmallFont, ccCairoFont{"DejaVu Sans", 11, false, false});
  }
  ccUITablet t(&layers.image(), &layers.overlay());
  t.visible(true);
  t.draw(image, ccPoint(0, 0), false, 0, false, kImage);
  // The overlays draw on the image layer, over the image: outlines in their wireframe colour,
  // extensions in red, and arrows larger than the model's own (size 2) to read at this scale.
  const ccXform<2> x = clientToImage();
  model.drawWireframe(x, t);
  ccSMDGDModelPrivate::drawNegWireframe(model, x, t);
  for (const ccSMDGDPoly& p : model.polys()) p.drawDirectionArrows(x, t, 5);
  t.draw("dispc - SMD model " + model.name() + ", drawn synthetically", ccPoint(V(12, 8)),
         ccColor::whiteColor(), ccColor::passColor(), ccUIFormat(kTitleFont, ccUIFormat::eTopLeft),
         kOverlay);
  char caption[96];
  std::snprintf(caption, sizeof caption,
                "%ld polygons, %ld vertices; wireframe green, negative wireframe red",
                model.numPolys(), model.numVertices());
  t.draw(caption, ccPoint(V(12, kHeight - 10)), ccColor::ltGreyColor(), ccColor::passColor(),
         ccUIFormat(kSmallFont, ccUIFormat::eBottomLeft), kOverlay);
}

}  // namespace

void writeSmdScene(const std::filesystem::path& dir) {
  const ccSMDGDModel model = makeModel();
  const ccPelBuffer<unsigned char> image = syntheticImage(model);
  cfCairoWritePng(image, (dir / "smd-image.png").string());
  ccCairoLayers raster(kWidth, kHeight);
  drawScene(raster, image, model);
  raster.writePng((dir / "smd.png").string());
  ccCairoLayers vector(kWidth, kHeight, ccCairoScope::eVector);
  drawScene(vector, image, model);
  vector.writeSvg((dir / "smd.svg").string());
  vector.writePdf((dir / "smd.pdf").string());
}
