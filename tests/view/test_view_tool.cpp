// dispc-view run as a user runs it: --screenshot of an image with a sketch, one-line errors
// with the tools' exit codes, and a real window under Xvfb whose screen pixels equal the
// screenshot of the same files. With the demo built, the window shows the demo's board with
// its inspection sketch; DISPC_UPDATE_DOCS=1 copies that picture to docs/dispc-view.png.
#include "toolsupport.h"

#include <dispc/glist.h>
#include <dispc/graphic.h>
#include <dispc/tablet.h>

#include <QImage>

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using V = ccVector<2>;

struct Result {
  int code = -1;
  std::string err;
};

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs a command line through the shell, standard error kept.
Result run(const std::string& cmd, const fs::path& dir) {
  const fs::path err = dir / "stderr.txt";
  const int status = std::system((cmd + " 2>" + quote(err.string())).c_str());
  std::ifstream in(err);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
          std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
}

// A shell command line run in the background (its program started with exec, so that it is the
// child), ended (SIGTERM, then waited for) when this goes.
class Child {
 public:
  explicit Child(const std::string& cmd) {
    const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
    if (posix_spawn(&pid_, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
  }
  ~Child() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  pid_t pid_ = -1;
};

// A 120 x 90 grey ramp, a sketch with a red segment and a blue box on the overlay, and a
// graphic list.
void writeFiles(const fs::path& dir) {
  std::ofstream pgm(dir / "ramp.pgm", std::ios::binary);
  pgm << "P5\n120 90\n255\n";
  for (long i = 0; i < 120 * 90; ++i) pgm.put(static_cast<char>(2 * (i % 120)));
  ccUITablet rec;
  rec.draw(ccLineSeg(V(10, 20), V(60, 20)), ccColor::redColor(), ccUITablet::eOverlayLayer);
  rec.draw(ccRect(V(70, 40), V(30, 30)), ccColor::blueColor(), ccUITablet::eOverlayLayer, true);
  cfToolStoreSketch(rec.sketch(), (dir / "marks.dca").string());
  // And a graphic list with a filled green box.
  ccGraphicList list;
  list.append(ccPtrHandle<ccGraphic>(new ccGraphicWithFill<ccRect, ccGenRect>(
                  ccRect(V(20, 50), V(20, 20)), ccColor::greenColor(), true)),
              false);
  ccFileArchive out((dir / "box.dcg").string(), ccArchive::eStoring);
  out || list;
  out.close();
}

struct ViewTool : ::testing::Test {
  ViewTool() {
    dir = fs::path(DISPC_VIEW_SCRATCH) /
          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
    writeFiles(dir);
  }
  std::string view(const std::string& args) { return std::string(DISPC_VIEW) + " " + args; }
  // The tool run in the files' directory.
  Result inDir(const std::string& args) {
    return run("cd " + quote(dir.string()) + " && " + view(args), dir);
  }
  fs::path dir;
};

}  // namespace

// --screenshot pictures (the window: the image area and a 20-pel status line) and their pels,
// and failures with one line and the tools' exit codes, which write no screenshot.
TEST_F(ViewTool, ScreenshotsAndFailures) {
  struct Probe {
    int x, y;
    QRgb rgb;
  };
  const QRgb red = qRgb(255, 0, 0), ramp5 = qRgb(10, 10, 10);
  const struct {
    std::string args;
    std::vector<Probe> probes;
  } shots[] = {
      {"--screenshot shot.png ramp.pgm marks.dca box.dcg",
       {{5, 50, ramp5}, {30, 20, red}, {85, 55, qRgb(0, 0, 255)}, {30, 60, qRgb(0, 255, 0)}}},
      // Zoomed twice about the image's corner: the segment lies twice as far.
      {"--zoom 2 --screenshot shot.png ramp.pgm marks.dca", {{60, 40, red}, {11, 60, ramp5}}},
  };
  for (const auto& shot : shots) {
    SCOPED_TRACE(shot.args);
    const Result r = inDir(shot.args);
    ASSERT_EQ(r.code, 0) << r.err;
    const QImage q(QString::fromStdString((dir / "shot.png").string()));
    ASSERT_EQ(q.size(), QSize(120, 90 + 20));
    for (const Probe& p : shot.probes) EXPECT_EQ(q.pixel(p.x, p.y), p.rgb) << p.x << "," << p.y;
  }
  const struct {
    std::string args;
    int code;
    std::string err;
  } failures[] = {
      {"", 2, "dispc-view: an image file is needed (see dispc-view --help)\n"},
      {"--zoom 0 x.png", 2,
       "dispc-view: bad zoom \"0\" (expected 1/64 to 64) (see dispc-view --help)\n"},
      {"--screenshot out.jpg x.png", 2,
       "dispc-view: the screenshot \"out.jpg\" must be a .png file (see dispc-view --help)\n"},
      {"none.png", 1, "dispc-view: none.png: no such file\n"},
      {"ramp.pgm ramp.pgm --screenshot s.png", 1,
       "dispc-view: ramp.pgm: not a sketch or graphic-list archive (no DISPCARC header)\n"},
  };
  for (const auto& f : failures) {
    const Result r = inDir(f.args);
    EXPECT_TRUE(r.code == f.code && r.err == f.err) << f.args << ": " << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "s.png"));
}

TEST_F(ViewTool, ARealWindowUnderXvfbShowsWhatTheScreenshotShows) {
  if (std::system("command -v Xvfb >/dev/null && command -v import >/dev/null") != 0)
    GTEST_SKIP() << "Xvfb or ImageMagick's import is not installed: the real window is not tested";
  fs::path image = dir / "ramp.pgm", sketch = dir / "marks.dca";
#ifdef DISPC_DEMO
  // The demo's board with its inspection sketch, the README's picture.
  ASSERT_EQ(run(DISPC_DEMO " " + quote((dir / "demo").string()) + " >/dev/null", dir).code, 0);
  image = dir / "demo" / "board.pgm";
  sketch = dir / "demo" / "inspection.dca";
#endif
  const std::string files = quote(image.string()) + " " + quote(sketch.string());
  const fs::path shot = dir / "screenshot.png";
  const std::string screenshot =
      "QT_QPA_PLATFORM=offscreen " + view("--screenshot " + quote(shot.string()) + " " + files);
  ASSERT_EQ(run(screenshot, dir).code, 0);
  const QImage expected =
      QImage(QString::fromStdString(shot.string())).convertToFormat(QImage::Format_RGB32);

  // A free display number: no lock file and no socket.
  int display = 90;
  while (fs::exists("/tmp/.X" + std::to_string(display) + "-lock") ||
         fs::exists("/tmp/.X11-unix/X" + std::to_string(display)))
    ++display;
  const std::string name = ":" + std::to_string(display);
  Child xvfb("exec Xvfb " + name + " -screen 0 1024x768x24 -nolisten tcp");
  for (int i = 0; i < 100 && !fs::exists("/tmp/.X11-unix/X" + std::to_string(display)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(xvfb.running()) << "Xvfb " << name << " did not start";
  Child window("exec env DISPLAY=" + name + " QT_QPA_PLATFORM=xcb " + view(files));

  // The window appears at the screen's corner once drawn: poll the screen until it matches.
  const fs::path screen = dir / "screen.png";
  QImage shown;
  long differing = -1;
  for (int attempt = 0; attempt < 60 && differing != 0; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    ASSERT_TRUE(window.running()) << "dispc-view exited";
    if (run("DISPLAY=" + name + " import -window root " + quote(screen.string()), dir).code != 0)
      continue;
    shown = QImage(QString::fromStdString(screen.string()))
                .copy(QRect(QPoint(0, 0), expected.size()))
                .convertToFormat(QImage::Format_RGB32);
    differing = 0;
    for (int y = 0; y < expected.height(); ++y)
      for (int x = 0; x < expected.width(); ++x)
        differing += shown.pixel(x, y) != expected.pixel(x, y);
  }
  EXPECT_EQ(differing, 0) << "the window differs from " << shot << " (see " << screen << ")";
  const fs::path windowShot = fs::path(DISPC_VIEW_SCRATCH) / "dispc-view-window.png";
  shown.save(QString::fromStdString(windowShot.string()));
  const char* update = std::getenv("DISPC_UPDATE_DOCS");
  if (update && std::string(update) == "1")
    fs::copy_file(windowShot, fs::path(DISPC_DOCS_DIR) / "dispc-view.png",
                  fs::copy_options::overwrite_existing);
}
