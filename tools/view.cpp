// dispc-view: shows an image in a window and replays sketch files (or draws graphic-list files)
// over it as overlays.
//
//   dispc-view [options] IMAGE [SKETCH]...
//
// The window is a ccQtView: the mouse wheel zooms about the cursor, dragging pans, F fits the
// image to the window, and the status line shows the pel under the cursor. --screenshot
// renders one frame offscreen into a PNG file and exits, for tests and scripts.
#include "toolsupport.h"

#include <backends/qt/qtview.h>
#ifdef DISPC_VIEW_WITH_OPENCV
#include <backends/opencv/cvpels.h>
#endif

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

namespace {

const char* const kProgram = "dispc-view";

const char* const kUsage =
    "Usage: dispc-view [options] IMAGE [SKETCH]...\n"
    "\n"
    "Shows IMAGE in a window and replays each sketch file over it, in image coordinates.\n"
    "A SKETCH may also be an archived graphic list, drawn on the overlay layer.\n"
    "The mouse wheel zooms about the cursor, dragging with the left button pans, F fits the\n"
    "image to the window; the status line shows the pel under the cursor and its value.\n"
    "\n"
    "Options:\n"
    "  -s, --size WxH         size of the image area (default: the image's, at most\n"
    "                         1024x768, fitted when larger)\n"
    "  -z, --zoom F           initial zoom, 1/64 to 64 (default 1, or fitted)\n"
    "      --offset X,Y       window pixel of the image's upper-left pel (default 0,0)\n"
    "      --screenshot FILE  render one frame offscreen into the PNG file FILE and exit\n"
    "  -h, --help             show this help\n"
    "\n"
    "Images: "
#ifdef DISPC_VIEW_WITH_OPENCV
    "any format OpenCV reads (8 or 16 bits, grey or colour).\n"
#else
    "any format Qt reads (PNG, PGM, BMP, JPEG ...; 8 or 16 bits, grey or colour).\n"
#endif
    "Exit status: 0 on success, 1 when a file is missing, truncated or malformed or cannot be\n"
    "written (one line on standard error names the file and what is wrong), 2 for bad usage.\n";

struct Options {
  std::string image, screenshot;
  std::vector<std::string> sketches;
  long width = 0, height = 0;
  double zoom = 0;  // 0: not given
  double offsetX = 0, offsetY = 0;
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
    } else if (a == "-s" || a == "--size") {
      const std::string v = next();
      if (!cfToolParseSize(v, o.width, o.height) || o.width > 8192 || o.height > 8192)
        throw ccToolUsageError("bad size \"" + v + "\" (expected WxH, 1 to 8192 each)");
    } else if (a == "-z" || a == "--zoom") {
      const std::string v = next();
      if (!cfToolParseDouble(v, o.zoom) || o.zoom < 1.0 / 64 || o.zoom > 64)
        throw ccToolUsageError("bad zoom \"" + v + "\" (expected 1/64 to 64)");
    } else if (a == "--offset") {
      const std::string v = next();
      if (!cfToolParsePair(v, o.offsetX, o.offsetY, false) || o.offsetX < -1e6 || o.offsetX > 1e6 ||
          o.offsetY < -1e6 || o.offsetY > 1e6)
        throw ccToolUsageError("bad offset \"" + v + "\" (expected X,Y)");
    } else if (a == "--screenshot") {
      o.screenshot = next();
      if (cfToolExtension(o.screenshot) != "png")
        throw ccToolUsageError("the screenshot \"" + o.screenshot + "\" must be a .png file");
    } else {
      throw ccToolUsageError("unknown option " + a);
    }
  }
  if (positional.empty()) throw ccToolUsageError("an image file is needed");
  o.image = positional[0];
  o.sketches.assign(positional.begin() + 1, positional.end());
  return o;
}

using Image = std::variant<ccPelBuffer<unsigned char>, ccPelBuffer<unsigned short>,
                           ccPelBuffer<ccPackedRGB32Pel>>;

#ifdef DISPC_VIEW_WITH_OPENCV
// Any format OpenCV reads, 16-bit pels kept.
Image readImage(const std::string& path) {
  cfToolReadFile(path);  // missing or unreadable files say so in the tools' words
  try {
    return std::visit([](auto&& pels) -> Image { return pels; }, cfCvReadImage(path));
  } catch (const ccException& e) {
    throw ccToolError(cfToolErrorText(e));  // the message names the file
  }
}
#else
// Any format Qt reads (PNG, PGM, BMP, JPEG ...): 8-bit and 16-bit grey kept, others as colour.
Image readImage(const std::string& path) {
  const std::vector<unsigned char> bytes = cfToolReadFile(path);
  QImage q;
  if (!q.loadFromData(bytes.data(), static_cast<int>(bytes.size())))
    throw ccToolError(path + ": not an image Qt can read");
  const long w = q.width(), h = q.height();
  if (q.format() == QImage::Format_Grayscale8 || q.format() == QImage::Format_Grayscale16) {
    const bool deep = q.format() == QImage::Format_Grayscale16;
    auto copy = [&](auto pels) -> Image {
      using T = std::remove_reference_t<decltype(*pels.pointToRow(0))>;
      for (long y = 0; y < h; ++y)
        std::memcpy(pels.pointToRow(y), q.constScanLine(int(y)), sizeof(T) * std::size_t(w));
      return pels;
    };
    return deep ? copy(ccPelBuffer<unsigned short>(w, h)) : copy(ccPelBuffer<unsigned char>(w, h));
  }
  const QImage rgb = q.convertToFormat(QImage::Format_RGB32);
  ccPelBuffer<ccPackedRGB32Pel> pels(w, h);
  for (long y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(int(y)));
    ccPelBuffer<ccPackedRGB32Pel>::value_type* dst = pels.pointToRow(y);
    for (long x = 0; x < w; ++x) dst[x] = ccPackedRGB32Pel(src[x] & 0xFFFFFFu);
  }
  return pels;
}
#endif

long widthOf(const Image& im) {
  return std::visit([](const auto& p) { return p.width(); }, im);
}
long heightOf(const Image& im) {
  return std::visit([](const auto& p) { return p.height(); }, im);
}

int run(int argc, char** argv) {
  const Options o = parse(argc, argv);
  if (o.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const Image image = readImage(o.image);
  std::vector<ccUISketch> sketches;
  for (const std::string& s : o.sketches) sketches.push_back(cfToolLoadSketch(s));

  // A screenshot needs no display: without one, Qt draws offscreen.
  const bool noDisplay = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
  if (!o.screenshot.empty() && noDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);

  const long iw = widthOf(image), ih = heightOf(image);
  const bool sized = o.width > 0;
  const long w = sized ? o.width : std::min(iw, 1024L), h = sized ? o.height : std::min(ih, 768L);
  ccQtView view;
  view.setWindowTitle(QString::fromStdString("dispc-view: " + o.image));
  view.resize(int(w), int(h) + ccQtView::statusHeight());
  std::visit([&](const auto& pels) { view.setImage(pels); }, image);
  for (std::size_t i = 0; i < sketches.size(); ++i) {
    try {
      view.tablet().draw(sketches[i], ccPoint(0, 0), ccUITablet::eBothLayers);
    } catch (const std::exception& e) {
      throw ccToolError(o.sketches[i] + ": cannot replay the sketch: " + cfToolErrorText(e));
    }
  }
  if (o.zoom > 0) {
    view.setView(o.zoom, QPoint(int(o.offsetX), int(o.offsetY)));
  } else if (!sized && (iw > w || ih > h)) {
    view.fitToWindow();
  } else {
    view.setView(1, QPoint(int(o.offsetX), int(o.offsetY)));
  }

  if (!o.screenshot.empty()) {
    ccToolOutputFile out(o.screenshot);
    if (!view.grab().toImage().save(QString::fromStdString(out.tempPath()), "PNG"))
      throw ccToolError(o.screenshot + ": cannot write the PNG file");
    out.commit();
    return 0;
  }
  view.move(0, 0);
  view.show();
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) { return cfToolMain(kProgram, run, argc, argv); }
