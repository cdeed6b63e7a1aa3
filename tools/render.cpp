// dispc-render: replays a sketch file, or draws a graphic-list file, onto an image (or a blank
// canvas) and writes the picture as PNG, SVG or PDF.
//
//   dispc-render [options] SKETCH OUTPUT
//
// A graphic list is drawn through the sketch of its drawing, on the overlay layer (the image layer
// with --layer image).
// The picture is drawn by cfCairoRenderSketch (backends/cairo/cairorender.h): the image (or
// the blank canvas) on the image layer, then the sketch replayed with its operations on their
// own layers. PNG output is rasterised, SVG and PDF stay vectors. A sketch that draws nothing
// inside the picture is reported on standard error (a warning; the picture is still written).
#include "toolimage.h"
#include "toolsupport.h"

#include <backends/cairo/cairorender.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const kProgram = "dispc-render";

const char* const kUsage =
    "Usage: dispc-render [options] SKETCH OUTPUT\n"
    "\n"
    "Replays the sketch file SKETCH onto an image or a blank canvas and writes the picture to\n"
    "OUTPUT as PNG, SVG or PDF (chosen by OUTPUT's extension unless --format says). SKETCH may\n"
    "also be an archived graphic list, which is drawn on the overlay layer (on the image layer\n"
    "with --layer image).\n"
    "\n"
    "Options:\n"
#ifdef DISPC_TOOLS_WITH_OPENCV
    "  -i, --image FILE      draw over this image (PNG, binary PGM, or any other format OpenCV\n"
    "                        reads); the canvas takes its size\n"
#else
    "  -i, --image FILE      draw over this image (PNG, or binary PGM); the canvas takes its\n"
    "                        size\n"
#endif
    "  -s, --size WxH        a blank canvas of W x H pixels (default 640x480 without --image)\n"
    "  -b, --background V    grey level 0 to 255 of the blank canvas (default 0)\n"
    "      --offset X,Y      shift the sketch by (X, Y) in image coordinates (default 0,0)\n"
    "  -l, --layer L         replay the operations of layer L only: image (0), overlay (1) or\n"
    "                        both (2, the default)\n"
    "  -z, --zoom F[,FY]     zoom the canvas and the sketch by F (F across, FY down); the\n"
    "                        output is the canvas size times the zoom (default 1)\n"
    "  -a, --antialias       smooth edges (the default)\n"
    "  -A, --no-antialias    pixel-exact edges\n"
    "  -f, --format F        png, svg or pdf\n"
    "  -q, --quiet           print nothing on success but warnings\n"
    "  -h, --help            show this help\n"
    "\n"
    "The output is written whole or not at all; a symbolic link's target is replaced, a\n"
    "device or named pipe is written to. A sketch that draws nothing inside the picture gets\n"
    "a warning on standard error. Exit status: 0 on success, 1 when a file is missing,\n"
    "truncated or malformed or cannot be written (one line on standard error names the file\n"
    "and what is wrong), 2 for bad usage.\n";

struct Options {
  std::string sketch, output, image, format;
  long width = 640, height = 480;
  bool sizeGiven = false;
  long background = 0;
  double offsetX = 0, offsetY = 0;
  ccUITablet::Layers layer = ccUITablet::eBothLayers;
  double zoomX = 1, zoomY = 1;
  bool antialias = true;
  bool quiet = false;
  bool help = false;
};

Options parse(int argc, char** argv) {
  Options o;
  std::vector<std::string> positional;
  bool optionsDone = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    std::string value;
    bool hasValue = false;
    // --name=value
    if (!optionsDone && a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
      value = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
      hasValue = true;
    }
    auto next = [&]() -> std::string {
      if (hasValue) return value;
      if (i + 1 >= argc) throw ccToolUsageError(a + " needs a value");
      return argv[++i];
    };
    if (optionsDone || a.empty() || a[0] != '-' || a == "-") {
      positional.push_back(a);
    } else if (a == "--") {
      optionsDone = true;
    } else if (a == "-h" || a == "--help") {
      o.help = true;
      return o;
    } else if (a == "-i" || a == "--image") {
      o.image = next();
    } else if (a == "-s" || a == "--size") {
      const std::string v = next();
      if (!cfToolParseSize(v, o.width, o.height) || o.width > 32767 || o.height > 32767)
        throw ccToolUsageError("bad size \"" + v + "\" (expected WxH, 1 to 32767 each)");
      o.sizeGiven = true;
    } else if (a == "-b" || a == "--background") {
      const std::string v = next();
      if (!cfToolParseLong(v, o.background) || o.background < 0 || o.background > 255)
        throw ccToolUsageError("bad background \"" + v + "\" (expected 0 to 255)");
    } else if (a == "--offset") {
      const std::string v = next();
      if (!cfToolParsePair(v, o.offsetX, o.offsetY, false))
        throw ccToolUsageError("bad offset \"" + v + "\" (expected X,Y)");
    } else if (a == "-l" || a == "--layer") {
      const std::string v = next();
      if (v == "image" || v == "0")
        o.layer = ccUITablet::eImageLayer;
      else if (v == "overlay" || v == "1")
        o.layer = ccUITablet::eOverlayLayer;
      else if (v == "both" || v == "2")
        o.layer = ccUITablet::eBothLayers;
      else
        throw ccToolUsageError("bad layer \"" + v + "\" (expected image, overlay or both)");
    } else if (a == "-z" || a == "--zoom") {
      const std::string v = next();
      if (!cfToolParsePair(v, o.zoomX, o.zoomY, true) || !(o.zoomX > 0) || !(o.zoomY > 0) ||
          o.zoomX > 64 || o.zoomY > 64)
        throw ccToolUsageError("bad zoom \"" + v +
                               "\" (expected F or FX,FY, above 0 and up to 64)");
    } else if (a == "-a" || a == "--antialias") {
      o.antialias = true;
    } else if (a == "-A" || a == "--no-antialias") {
      o.antialias = false;
    } else if (a == "-f" || a == "--format") {
      o.format = next();
      for (char& c : o.format)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (o.format != "png" && o.format != "svg" && o.format != "pdf")
        throw ccToolUsageError("bad format \"" + o.format + "\" (expected png, svg or pdf)");
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else {
      throw ccToolUsageError("unknown option " + a);
    }
    if (hasValue && (a == "--antialias" || a == "--no-antialias" || a == "--quiet"))
      throw ccToolUsageError(a + " takes no value");
  }
  if (positional.size() != 2)
    throw ccToolUsageError(positional.size() < 2 ? "a sketch file and an output file are needed"
                                                 : "too many arguments");
  o.sketch = positional[0];
  o.output = positional[1];
  if (o.format.empty()) {
    o.format = cfToolExtension(o.output);
    if (o.format != "png" && o.format != "svg" && o.format != "pdf")
      throw ccToolUsageError("cannot tell the format of \"" + o.output +
                             "\" from its extension; use --format");
  }
  if (!o.image.empty() && o.sizeGiven)
    throw ccToolUsageError("--image and --size exclude each other");
  return o;
}

int run(int argc, char** argv) {
  const Options o = parse(argc, argv);
  if (o.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }

  // A graphic list draws on the overlay layer unless only the image layer is asked for.
  const ccUISketch sketch =
      cfToolLoadDrawing(o.sketch, o.layer == ccUITablet::eImageLayer ? ccUITablet::eImageLayer
                                                                     : ccUITablet::eOverlayLayer)
          .sketch;
  ccImageFile image;
  if (!o.image.empty()) {
    image = cfToolReadImage(o.image);
  }
  const long width = o.image.empty() ? o.width : image.width();
  const long height = o.image.empty() ? o.height : image.height();
  const double outW = std::ceil(static_cast<double>(width) * o.zoomX - 1e-9);
  const double outH = std::ceil(static_cast<double>(height) * o.zoomY - 1e-9);
  if (outW < 1 || outH < 1 || outW > kCairoMaxPictureSide || outH > kCairoMaxPictureSide) {
    const std::string size = cfToolNumber(outW) + "x" + cfToolNumber(outH);
    if (o.image.empty() || (o.zoomX != 1 || o.zoomY != 1))
      throw ccToolUsageError("the zoomed picture would be " + size + " pixels (1 to 32767 each)");
    throw ccToolError(o.image + ": image too large (" + size + ")");
  }

  ccCairoRenderOptions options;
  options.width = o.width;
  options.height = o.height;
  options.background = static_cast<unsigned char>(o.background);
  options.offset = ccVector<2>(o.offsetX, o.offsetY);
  options.layer = o.layer;
  options.zoom = ccPair<double>(o.zoomX, o.zoomY);
  options.antialias = o.antialias;
  options.kind = o.format == "png" ? ccCairoScope::eRaster : ccCairoScope::eVector;
  ccCairoRendering picture;
  try {
    picture = cfCairoRenderSketch(image, sketch, options);
  } catch (const std::exception& e) {
    throw ccToolError(o.sketch + ": cannot replay the sketch: " + cfToolErrorText(e));
  }

  ccToolOutputFile out(o.output);
  try {
    if (o.format == "png")
      picture.layers->writePng(out.tempPath());
    else if (o.format == "svg")
      picture.layers->writeSvg(out.tempPath());
    else
      picture.layers->writePdf(out.tempPath());
  } catch (const std::exception& e) {
    throw out.writeError(e);
  }
  out.commit();
  if (picture.sketchRect.isNull())
    std::fprintf(
        stderr, "%s: warning: %s draws nothing inside the %ldx%ld picture%s\n", kProgram,
        o.sketch.c_str(), picture.layers->width(), picture.layers->height(),
        sketch.length() == 0 ? " (the sketch is empty)" : " (check --offset, --zoom and --layer)");
  if (!o.quiet)
    std::printf("wrote %s (%s, %ldx%ld)\n", o.output.c_str(), o.format.c_str(),
                picture.layers->width(), picture.layers->height());
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return cfToolMain(kProgram, run, argc, argv); }
