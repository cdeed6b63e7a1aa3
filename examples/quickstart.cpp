// The README's "First program": an image with overlays at zoom 2, recorded, saved, loaded and
// replayed at an offset, written as quickstart.png (and quickstart.dca) in the current folder.
#include <backends/cairo/cairolayers.h>
#include <core/archive.h>
#include <dispc/tablet.h>

#include <string>

int main() {
  using V = ccVector<2>;
  const auto overlay = ccUITablet::eOverlayLayer;
  ccPelBuffer<unsigned char> image(160, 120);  // 8-bit grey: a dark board with two bright parts
  for (long y = 0; y < 120; ++y)
    for (long x = 0; x < 160; ++x) {
      const bool part =
          (x >= 40 && x < 70 && y >= 30 && y < 70) || (x >= 110 && x < 140 && y >= 70 && y < 110);
      image.set(x, y, part ? 200 : 40);
    }

  ccCairoLayers layers(320, 240);  // an image scope and an overlay scope, twice the image's size
  ccUITablet tablet(&layers.image(), &layers.overlay());  // a root tablet over the two
  tablet.visible(true);                                   // tablets start hidden
  tablet.scaleExact(ccPair<double>(2, 2));                // zoom: image coordinates times 2
  tablet.draw(image, ccPoint(0, 0), false, 0, false, ccUITablet::eImageLayer);

  tablet.recordOn().push(true);  // from here on, drawing is also recorded in tablet.sketch()
  tablet.draw(ccRect(V(38, 28), V(34, 44)), ccColor::greenColor(), overlay);
  tablet.draw(ccCircle(V(55, 50), 8), ccGraphicProps(ccColor::redColor(), 2), overlay);
  tablet.draw(std::string("part"), ccPoint(38, 26), ccColor::yellowColor(), ccColor::passColor(),
              ccUIFormat(ccUIFormat::eBottomLeft), overlay);
  tablet.recordOn().pop();

  ccFileArchive out("quickstart.dca", ccArchive::eStoring);  // save the sketch
  out || tablet.sketch();
  out.close();
  ccUISketch loaded;  // load it back and replay it over the second part
  ccFileArchive in("quickstart.dca", ccArchive::eLoading);
  in || loaded;
  tablet.draw(loaded, ccPoint(70, 40), overlay);
  layers.writePng("quickstart.png");
}
