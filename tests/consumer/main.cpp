// Uses the three installed libraries: core (shapes and archives), dispc (a recording tablet
// and its sketch) and the Cairo back end (the sketch replayed into a PNG file).
//
//   dispc-consumer OUTPUT.png
#include <backends/cairo/cairoimage.h>
#include <backends/cairo/cairolayers.h>
#include <core/affinerect.h>
#include <core/archive.h>
#include <core/ellipse.h>
#include <dispc/tablet.h>
#include <dispc/uisketch.h>

#include <cstdio>
#include <exception>
#include <stdexcept>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dispc-consumer OUTPUT.png\n");
    return 2;
  }
  try {
    // dispc: drawing recorded by a detached tablet, the sketch through a (core) archive.
    ccUITablet recorder;
    recorder.draw(ccAffineRectangle(ccVector<2>(10, 10), ccVector<2>(60, 20), ccVector<2>(5, 40)),
                  ccColor::redColor(), ccUITablet::eOverlayLayer);
    recorder.draw(ccCircle(ccVector<2>(40, 30), 20), ccColor::blueColor(), ccUITablet::eImageLayer);
    ccArchive sketchOut;
    sketchOut || recorder.sketch();
    ccArchive sketchIn(sketchOut.data());
    ccUISketch sketch;
    sketchIn || sketch;

    // cairo: the sketch replayed over a grey image layer, written and read back.
    ccCairoLayers layers(80, 60);
    ccUITablet tablet(&layers.image(), &layers.overlay());
    tablet.visible(true);
    tablet.set(ccColor::greyColor(), ccUITablet::eImageLayer);
    tablet.draw(sketch, ccPoint(0, 0), ccUITablet::eBothLayers);
    layers.writePng(argv[1]);
    const ccPelBuffer<ccPackedRGB32Pel> png = cfCairoReadPngRGB32(argv[1]);
    if (png.width() != 80 || png.height() != 60) throw std::runtime_error("wrong picture size");
    std::printf("dispc-consumer: %ld bytes of sketch, wrote %s\n", sketch.length(), argv[1]);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dispc-consumer: %s\n", e.what());
    return 1;
  }
}
