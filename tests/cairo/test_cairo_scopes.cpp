// The scope side of the Cairo back end: sub-scopes, display clips, locks and the output hook,
// drags, palette and pass colour, the layer pair, and SVG/PDF output.
#include "golden.h"

#include <backends/cairo/cairolayers.h>
#include <backends/cairo/cairovector.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

using V = ccVector<2>;

const ccPackedRGB32Pel kWhite = opaque(ccColor::whiteColor());
const ccPackedRGB32Pel kRed = opaque(ccColor::redColor());
const ccGraphicProps kRedPen(ccColor::redColor(), 1);

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ccCairoImageScope* whiteScope(long w, long h) {
  auto* s = new ccCairoImageScope(w, h);
  s->antialias(false);
  s->setAll(ccColor::whiteColor());
  s->noChange();
  return s;
}

// Row y of s is red from pel first to pel last and white just outside.
void expectRedRun(const ccCairoImageScope& s, long y, long first, long last) {
  EXPECT_EQ(s.pel(first - 1, y), kWhite) << "row " << y;
  EXPECT_EQ(s.pel(first, y), kRed) << "row " << y;
  EXPECT_EQ(s.pel(last, y), kRed) << "row " << y;
  EXPECT_EQ(s.pel(last + 1, y), kWhite) << "row " << y;
}

}  // namespace

TEST(CairoScopes, SubScopesTranslateAndClip) {
  std::unique_ptr<ccCairoImageScope> root(whiteScope(100, 80));
  std::unique_ptr<ccCairoScope> sub(root->newSubScope(ccUIRect(20, 10, 30, 20), false));
  EXPECT_EQ(sub->scopeBounds(), ccUIRect(20, 10, 30, 20));
  EXPECT_EQ(sub->surfaceOrigin(), ccPair<long>(20, 10));
  // Tablet pixel (5, 5) of the sub-tablet is surface pixel (25, 15).
  sub->plotPoint(ccPoint(5, 5), kRedPen);
  EXPECT_EQ(root->pel(25, 15), kRed);
  // A line across everything stays inside the sub-scope.
  sub->drawLineSeg(ccLineSeg(V(-50, 8), V(200, 8)), kRedPen);
  expectRedRun(*root, 18, 20, 49);
  EXPECT_EQ(sub->changeRect(), ccUIRect(0, 5, 30, 4));

  // A sub-scope hanging off the top-left: its visible area starts at the surface corner.
  std::unique_ptr<ccCairoScope> off(root->newSubScope(ccUIRect(-10, -5, 30, 20), false));
  EXPECT_EQ(off->clipOffset(), ccPair<long>(10, 5));
  EXPECT_EQ(off->scopeBounds(), ccUIRect(0, 0, 20, 15));
  off->plotPoint(ccPoint(12, 7), kRedPen);  // tablet pixel (12, 7) -> surface (2, 2)
  EXPECT_EQ(root->pel(2, 2), kRed);
  off->setAll(ccColor::blueColor());
  EXPECT_EQ(root->pel(19, 14), opaque(ccColor::blueColor()));
  EXPECT_EQ(root->pel(20, 14), kWhite);
  EXPECT_TRUE(off->opaque());
}

TEST(CairoScopes, DisplayClipLimitsDrawing) {
  std::unique_ptr<ccCairoImageScope> s(whiteScope(60, 40));
  s->setDisplayClipRect(ccUIRect(10, 10, 20, 10));
  s->drawLineSeg(ccLineSeg(V(0, 15), V(59, 15)), kRedPen);
  expectRedRun(*s, 15, 10, 29);
  EXPECT_EQ(s->changeRect(), ccUIRect(10, 15, 20, 1));
  s->setDisplayClipRect(ccUIRect::null);
  s->drawLineSeg(ccLineSeg(V(0, 16), V(59, 16)), kRedPen);
  EXPECT_EQ(s->pel(0, 16), kRed);

  // A sub-scope's display clip is in its own pixels, and scopes inside it draw only within it
  // and within the sub-scope.
  std::unique_ptr<ccCairoImageScope> root(whiteScope(60, 40));
  std::unique_ptr<ccCairoScope> sub(root->newSubScope(ccUIRect(20, 10, 30, 20), false));
  sub->setDisplayClipRect(ccUIRect(5, 5, 10, 10));
  sub->drawLineSeg(ccLineSeg(V(0, 8), V(29, 8)), kRedPen);
  expectRedRun(*root, 18, 25, 34);
  std::unique_ptr<ccCairoScope> whole(sub->newSubScope(ccUIRect(0, 0, 30, 20), false));
  whole->drawLineSeg(ccLineSeg(V(0, 12), V(29, 12)), kRedPen);
  expectRedRun(*root, 22, 25, 34);
  sub->setDisplayClipRect(ccUIRect::null);
  std::unique_ptr<ccCairoScope> inner(sub->newSubScope(ccUIRect(20, 0, 30, 10), false));
  inner->drawLineSeg(ccLineSeg(V(0, 2), V(29, 2)), kRedPen);
  EXPECT_EQ(root->pel(49, 12), kRed);
  EXPECT_EQ(root->pel(50, 12), kWhite);
}

TEST(CairoScopes, OutputHookRunsWhenTheLastLockPops) {
  ccCairoImageScope s(10, 10);
  int outputs = 0;
  s.outputHook([&](ccCairoScope&) { ++outputs; });
  s.updateScreen();
  EXPECT_EQ(outputs, 1);
  s.lockScreenUpdatesPush(true);
  s.lockScreenUpdatesPush(false);
  s.lockScreenUpdatesPush(true);
  EXPECT_TRUE(s.screenUpdatesLocked());
  s.updateScreen();
  EXPECT_TRUE(s.lockScreenUpdatesPop());
  EXPECT_TRUE(s.lockScreenUpdatesPop());
  EXPECT_EQ(outputs, 1);
  EXPECT_FALSE(s.lockScreenUpdatesPop());
  EXPECT_EQ(outputs, 2);
  EXPECT_EQ(s.lockDepth(), 0);
  // Sub-scopes share the screen and its locks.
  std::unique_ptr<ccCairoScope> sub(s.newSubScope(ccUIRect(0, 0, 5, 5), false));
  sub->lockScreenUpdatesPush(true);
  EXPECT_TRUE(s.screenUpdatesLocked());
  sub->lockScreenUpdatesPop();
  EXPECT_EQ(outputs, 3);
}

TEST(CairoScopes, DragEraseRestoresThePixelsOfDragStart) {
  std::unique_ptr<ccCairoImageScope> s(whiteScope(40, 40));
  s->drawLineSeg(ccLineSeg(V(0, 5), V(39, 5)), kRedPen);
  s->dragStart();
  EXPECT_TRUE(s->dragging());
  s->drawLineSeg(ccLineSeg(V(0, 20), V(39, 20)), kRedPen);
  EXPECT_EQ(s->pel(10, 20), kRed);
  s->dragErase();
  EXPECT_EQ(s->pel(10, 20), kWhite);
  EXPECT_EQ(s->pel(10, 5), kRed);
  s->dragStop();
  EXPECT_FALSE(s->dragging());
}

TEST(CairoScopes, PaletteStockColoursAndPassColour) {
  std::unique_ptr<ccCairoImageScope> s(whiteScope(20, 20));
  EXPECT_EQ(s->rgbOf(ccColor(250)), ccColor::greenColor().rgbStruct());
  EXPECT_EQ(s->rgbOf(ccColor(100)), ccRGB(100, 100, 100));
  s->colorMap({ccRGB(1, 2, 3), ccRGB(4, 5, 6)});
  EXPECT_EQ(s->rgbOf(ccColor(1)), ccRGB(4, 5, 6));
  s->resetPalette();
  EXPECT_EQ(s->rgbOf(ccColor(1)), ccColor::dkRedColor().rgbStruct());
  s->setRect(ccUIRect(0, 0, 5, 5), ccColor(7));
  EXPECT_EQ(s->pel(0, 0), opaque(ccColor::ltGreyColor()));
  // The pass colour draws grey 243 until passErases is on; then it clears.
  s->plotPoint(ccPoint(10, 10), ccGraphicProps(ccColor::passColor(), 1));
  EXPECT_EQ(s->pel(10, 10), ccPackedRGB32Pel(243, 243, 243, 255));
  s->passErases(true);
  s->plotPoint(ccPoint(10, 10), ccGraphicProps(ccColor::passColor(), 1));
  EXPECT_EQ(s->pel(10, 10), ccPackedRGB32Pel(0));
}

TEST(CairoScopes, NothingIsDrawnOffScreenOrOutside) {
  std::unique_ptr<ccCairoImageScope> s(whiteScope(20, 20));
  s->offScreen(true);
  EXPECT_TRUE(s->offScreen());
  s->drawLineSeg(ccLineSeg(V(0, 5), V(19, 5)), kRedPen);
  EXPECT_EQ(s->pel(5, 5), kWhite);
  EXPECT_FALSE(s->someChanged());
  s->offScreen(false);
  s->drawLineSeg(ccLineSeg(V(30, 5), V(40, 5)), kRedPen);
  EXPECT_FALSE(s->someChanged());
}

TEST(CairoLayers, OverlayComposesOverTheImage) {
  ccCairoLayers layers(64, 48);
  layers.antialias(false);
  EXPECT_EQ(&layers.scope(0), &layers.image());
  EXPECT_THROW(layers.scope(2), ccUIError::BadLayer);
  ccPelBuffer<unsigned char> img(64, 48);
  cfPelSet(img, 90);
  layers.image().drawImage(img, ccPoint(0, 0), false, 0, false);
  layers.overlay().drawLineSeg(ccLineSeg(V(0, 10), V(63, 10)), kRedPen);
  layers.overlay().setRect(ccUIRect(0, 30, 64, 10), ccColor::greenColor());
  layers.overlay().setRect(ccUIRect(0, 30, 10, 10), ccColor::passColor());  // clears
  const ccPelBuffer<ccPackedRGB32Pel> out = layers.composed();
  EXPECT_EQ(out.get(5, 5), ccPackedRGB32Pel(90, 90, 90, 255));
  EXPECT_EQ(out.get(5, 10), kRed);
  EXPECT_EQ(out.get(20, 35), opaque(ccColor::greenColor()));
  EXPECT_EQ(out.get(5, 35), ccPackedRGB32Pel(90, 90, 90, 255));
  const std::string png = outputPath("layers.png");
  layers.writePng(png);
  EXPECT_EQ(cfCairoReadPngRGB32(png).get(5, 10), ccPackedRGB32Pel(255, 0, 0));
}

TEST(CairoVector, SvgAndPdfFilesAreWritten) {
  for (ccCairoScope::SurfaceKind kind : {ccCairoScope::eRaster, ccCairoScope::eVector}) {
    ccCairoLayers layers(80, 60, kind);
    layers.overlay().drawEllipse(ccEllipse(V(40, 30), V(20, 10)), kRedPen);
    layers.overlay().drawText("svg", ccPoint(2, 2), ccColor::blueColor(), ccColor(),
                              ccUIFormat(-1, ccUIFormat::eTopLeft));
    const std::string name = kind == ccCairoScope::eVector ? "vector" : "raster";
    layers.writeSvg(outputPath(name + ".svg"));
    layers.writePdf(outputPath(name + ".pdf"));
    const std::string svg = readFile(outputPath(name + ".svg"));
    EXPECT_EQ(svg.compare(0, 5, "<?xml"), 0) << name;
    EXPECT_NE(svg.find("<svg"), std::string::npos) << name;
    const std::string pdf = readFile(outputPath(name + ".pdf"));
    EXPECT_GT(pdf.size(), 200u);
    EXPECT_EQ(pdf.compare(0, 5, "%PDF-"), 0) << name;
    if (kind == ccCairoScope::eVector) {
      EXPECT_NE(svg.find("<path"), std::string::npos);
    }
  }

  ccCairoVectorScope v(50, 40);
  v.drawLineSeg(ccLineSeg(V(0, 0), V(49, 39)), kRedPen);
  EXPECT_TRUE(v.someChanged());
  v.floodFill(ccPair<long>(10, 30), ccColor::greenColor(), ccColor(), false);  // ignored
  v.writeSvg(outputPath("scope.svg"));
  v.writePdf(outputPath("scope.pdf"));
  v.writePng(outputPath("scope.png"));
  EXPECT_EQ(cfCairoReadPngRGB32(outputPath("scope.png")).get(10, 30), ccPackedRGB32Pel(0));
  EXPECT_EQ(readFile(outputPath("scope.pdf")).compare(0, 5, "%PDF-"), 0);
  EXPECT_THROW(v.writeSvg("/nonexistent-dir/x.svg"), ccUIError::InitFailed);
}
