// The scope side of the Cairo back end: the surface-scope contract (with exact change
// rectangles), the layer pair, and SVG/PDF output.
#include "../surfacescopecontract.h"
#include "golden.h"

#include <backends/cairo/cairolayers.h>
#include <backends/cairo/cairovector.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

using V = ccVector<2>;

const ccGraphicProps kRedPen(ccColor::redColor(), 1);

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// Change rectangles are the pixels drawn, within sub-scopes and display clips.
template <>
constexpr bool kExactChanges<ccCairoImageScope> = true;
INSTANTIATE_TYPED_TEST_SUITE_P(Cairo, SurfaceScopeContract, ccCairoImageScope);

TEST(CairoLayers, OverlayComposesOverTheImage) {
  ccCairoLayers layers(64, 48);
  layers.antialias(false);
  EXPECT_EQ(&layers.scope(0), &layers.image());
  EXPECT_THROW(layers.scope(2), ccUIError::BadLayer);
  layers.image().setAll(ccColor(90, 90, 90));
  layers.overlay().drawLineSeg(ccLineSeg(V(0, 10), V(63, 10)), kRedPen);
  layers.overlay().setRect(ccUIRect(0, 30, 64, 10), ccColor::greenColor());
  layers.overlay().setRect(ccUIRect(0, 30, 10, 10), ccColor::passColor());  // clears
  const ccPelBuffer<ccPackedRGB32Pel> out = layers.composed();
  EXPECT_EQ(out.get(5, 5), ccPackedRGB32Pel(90, 90, 90, 255));
  EXPECT_EQ(out.get(5, 10), opaque(ccColor::redColor()));
  EXPECT_EQ(out.get(20, 35), opaque(ccColor::greenColor()));
  EXPECT_EQ(out.get(5, 35), ccPackedRGB32Pel(90, 90, 90, 255));
  const std::string png = outputPath("layers.png");
  layers.writePng(png);
  EXPECT_EQ(cfCairoReadPngRGB32(png).get(5, 10), ccPackedRGB32Pel(255, 0, 0));
}

// Both kinds of layers write SVG and PDF files (vector ones draw paths); a vector scope ignores
// flood fills and writes all three formats.
TEST(CairoVector, SvgAndPdfFilesAreWritten) {
  for (ccCairoScope::SurfaceKind kind : {ccCairoScope::eRaster, ccCairoScope::eVector}) {
    ccCairoLayers layers(80, 60, kind);
    layers.overlay().drawEllipse(ccEllipse(V(40, 30), V(20, 10)), kRedPen);
    layers.overlay().drawText("svg", ccPoint(2, 2), ccColor::blueColor(), ccColor(),
                              ccUIFormat(-1, ccUIFormat::eTopLeft));
    const std::string name = outputPath(kind == ccCairoScope::eVector ? "vector" : "raster");
    layers.writeSvg(name + ".svg");
    layers.writePdf(name + ".pdf");
    const std::string svg = readFile(name + ".svg"), pdf = readFile(name + ".pdf");
    EXPECT_TRUE(svg.rfind("<?xml", 0) == 0 && svg.find("<svg") != std::string::npos) << name;
    EXPECT_TRUE(kind == ccCairoScope::eRaster || svg.find("<path") != std::string::npos);
    EXPECT_TRUE(pdf.rfind("%PDF-", 0) == 0 && pdf.size() > 200u) << name;
  }
  ccCairoVectorScope v(50, 40);
  v.drawLineSeg(ccLineSeg(V(0, 0), V(49, 39)), kRedPen);
  EXPECT_TRUE(v.someChanged());
  v.floodFill(ccPair<long>(10, 30), ccColor::greenColor(), ccColor(), false);  // ignored
  v.writeSvg(outputPath("scope.svg"));
  v.writePdf(outputPath("scope.pdf"));
  v.writePng(outputPath("scope.png"));
  EXPECT_EQ(cfCairoReadPngRGB32(outputPath("scope.png")).get(10, 30), ccPackedRGB32Pel(0));
  EXPECT_EQ(readFile(outputPath("scope.pdf")).rfind("%PDF-", 0), 0u);
  EXPECT_THROW(v.writeSvg("/nonexistent-dir/x.svg"), ccUIError::InitFailed);
}
