// Image files read by the back end (PNG and PGM into grey or colour pels), the picture of an
// image plus a sketch in one call, and the messages of the back end's errors: each names the
// file or the size and gives the reason.
#include "../scenes.h"
#include "golden.h"

#include <backends/cairo/cairorender.h>
#include <backends/cairo/imagefiles.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace {

using V = ccVector<2>;

// PGM and PNG files read back the pels written, as grey when every pel is grey; a colour PNG
// read as grey gives the luminance.
TEST(CairoFiles, ImagesLoadAsGreyOrColourPels) {
  using U8 = unsigned char;
  const auto grey = scenes::ramp<U8>(5, 3, [](long x, long y) { return U8(40 * x + y); });
  const auto colour = scenes::ramp<ccPackedRGB32Pel>(
      5, 3, [](long x, long y) { return ccPackedRGB32Pel(U8(50 * x), U8(60 * y), 7); });
  cfWritePgm(grey, outputPath("grey.pgm"));
  cfCairoWritePng(grey, outputPath("grey.png"));
  cfCairoWritePng(colour, outputPath("colour.png"));

  const ccPelBuffer<unsigned char> greys[] = {cfReadImageFile(outputPath("grey.pgm")).grey,
                                              cfReadImageFile(outputPath("grey.png")).grey,
                                              cfCairoReadPngGrey8(outputPath("grey.png"))};
  const ccImageFile image = cfReadImageFile(outputPath("colour.png"));
  ASSERT_TRUE(image.isColor());
  ASSERT_TRUE(image.rgb.width() == 5 && image.rgb.height() == 3);
  for (const auto& g : greys) ASSERT_TRUE(g.width() == 5 && g.height() == 3);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 5; ++x) {
      for (const auto& g : greys) ASSERT_EQ(g.get(x, y), grey.get(x, y)) << x << "," << y;
      ASSERT_EQ(image.rgb.get(x, y), colour.get(x, y)) << x << "," << y;
    }
  EXPECT_FALSE(cfReadImageFile(outputPath("grey.png")).isColor());
  EXPECT_EQ(cfCairoReadPngGrey8(outputPath("colour.png")).get(1, 2),
            (299 * 50 + 587 * 120 + 114 * 7 + 500) / 1000);
}

TEST(CairoFiles, ErrorsNameTheFileAndTheReason) {
  std::ofstream(outputPath("text.png")) << "P5\n1 1\n255\n";
  const std::string missing = outputPath("missing.png"), text = outputPath("text.png");
  const std::string noFolder = outputPath("no-such-folder") + "/out";
  const ccPelBuffer<unsigned char> pels(4, 4);
  const ccCairoLayers layers(4, 4, ccCairoScope::eVector);
  const struct {
    const char* what;
    std::function<void()> call;
    std::string message;
  } cases[] = {
      {"missing PNG", [&] { cfCairoReadPngRGB32(missing); },
       missing + ": cannot read the PNG file: file not found"},
      {"PGM read as PNG", [&] { cfCairoReadPngGrey8(text); },
       text + ": cannot read the PNG file: not a PNG file"},
      {"missing image", [&] { cfReadImageFile(missing); }, missing + ": no such file"},
      {"PNG into a missing folder", [&] { cfCairoWritePng(pels, noFolder + ".png"); },
       noFolder + ".png: cannot write the PNG file: error while writing to output stream (No "
                  "such file or directory)"},
      {"SVG into a missing folder", [&] { layers.writeSvg(noFolder + ".svg"); },
       noFolder + ".svg: cannot write the SVG file: error while writing to output stream (No "
                  "such file or directory)"},
      {"oversized surface", [] { ccCairoImageScope(40000, 40000); },
       "cannot make a 40000x40000 image surface: invalid value (typically too big) for the size "
       "of the input (surface, pattern, etc.)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.call();
      ADD_FAILURE() << "no error";
    } catch (const ccUIError::InitFailed& e) {
      EXPECT_EQ(e.message(), c.message);
      EXPECT_EQ(std::string(e.what()), "ccUIError::InitFailed (0x10002B18): " + c.message);
    }
  }
}

TEST(CairoFiles, RenderingSaysWhereTheSketchLands) {
  ccUITablet recorder;
  recorder.draw(ccRect(V(10, 10), V(10, 10)), ccColor::redColor(), ccUITablet::eOverlayLayer, true);
  ccCairoRenderOptions o;
  o.width = 60;
  o.height = 40;
  o.zoom = ccPair<double>(2, 2);
  o.antialias = false;
  const std::string path = outputPath("rendered.png");
  EXPECT_EQ(cfCairoRenderSketchToPng(ccImageFile(), recorder.sketch(), path, o),
            ccUIRect(20, 20, 21, 21));
  const ccPelBuffer<ccPackedRGB32Pel> png = cfCairoReadPngRGB32(path);
  EXPECT_EQ(png.width(), 120);
  EXPECT_EQ(png.get(30, 30), ccPackedRGB32Pel(255, 0, 0));
  o.offset = V(100, 0);
  EXPECT_TRUE(cfCairoRenderSketch(ccImageFile(), recorder.sketch(), o).sketchRect.isNull());
}

}  // namespace
