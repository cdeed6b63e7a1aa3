// End-to-end tests of the command-line tools: dispc-sketch and dispc-render are run as a user
// would run them, on sketch files made here with the library (and on the demo's files), and
// on missing, empty, truncated, garbage and corrupted files. Checked: exit codes, that every
// failure prints exactly one line naming the file, that no output (or temporary) file is left
// behind by a failure, and what the outputs hold.
#include "../cairo/golden.h"
#include "toolsupport.h"

#include <backends/cairo/cairoimage.h>
#include <core/archive.h>
#include <dispc/glist.h>
#include <dispc/graphicgroup.h>
#include <dispc/sketchformat.h>
#include <dispc/tablet.h>
#include <dispc/uisketch.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using V = ccVector<2>;
constexpr ccUITablet::Layers kImage = ccUITablet::eImageLayer;
constexpr ccUITablet::Layers kOverlay = ccUITablet::eOverlayLayer;

struct Result {
  int code = -1;
  std::string out, err;
};

// Files as bytes in a string.
std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeText(const fs::path& p, const std::string& s) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << s;
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// A sketch of several operations in two layers, with props changes.
ccUISketch sampleSketch() {
  ccUITablet rec;  // a detached recording tablet
  ccGraphicProps thick(ccColor::redColor(), 3, ccGraphicProps::eDash);
  rec.draw(ccLineSeg(V(5, 5), V(50, 20)), thick, kOverlay);
  rec.draw(ccCircle(V(30, 30), 12), thick, kOverlay);
  rec.draw(ccRect(V(10, 10), V(20, 15)), ccColor::blueColor(), kImage, true);
  rec.draw(std::string("label"), ccPoint(V(4, 40)), ccColor::yellowColor(), ccColor::blackColor(),
           ccUIFormat(ccUIFormat::eTopLeft), kOverlay);
  rec.drawPointIcon(ccPoint(V(40, 10)), ccColor::greenColor(), kOverlay);
  rec.draw(ccPolyline({{1, 1}, {20, 5}, {9, 30}}, false), ccColor(10, 200, 30), kOverlay);
  return rec.sketch();
}

// Filled rectangles: red on the overlay, blue on the image layer.
ccUISketch squaresSketch() {
  ccUITablet rec;
  rec.draw(ccRect(V(10, 10), V(10, 10)), ccColor::redColor(), kOverlay, true);
  rec.draw(ccRect(V(40, 10), V(10, 10)), ccColor::blueColor(), kImage, true);
  return rec.sketch();
}

void storeSketch(const ccUISketch& s, const fs::path& p) { cfToolStoreSketch(s, p.string()); }

std::size_t operations(const ccUISketch& s) {
  return cfSketchCountOperations(s.data(), static_cast<std::size_t>(s.length()));
}

// A binary PGM of a horizontal ramp.
std::string pgm(long w, long h) {
  std::string bytes = "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) bytes.push_back(static_cast<char>(x * 255 / w));
  return bytes;
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ =
        fs::path(DISPC_TOOL_SCRATCH) / (std::string(info->test_suite_name()) + "." + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }

  fs::path file(const std::string& name) const { return dir_ / name; }

  // Runs "sketch ARGS...", "render ARGS..." or "PROGRAM ARGS..." in the scratch directory;
  // shell, when given, is run before it in the same shell (background jobs are waited for).
  Result tool(const std::string& line, const std::string& shell = "") {
    const std::string name = line.substr(0, line.find(' '));
    const std::string program = name == "sketch"   ? DISPC_SKETCH
                                : name == "render" ? DISPC_RENDER
                                                   : name;
    const fs::path out = dir_ / ".stdout", err = dir_ / ".stderr";
    const int status = std::system(("cd " + quote(dir_.string()) + " && " + shell + " " + program +
                                    line.substr(name.size()) + " >" + quote(out.string()) + " 2>" +
                                    quote(err.string()) + "; rc=$?; wait; exit $rc")
                                       .c_str());
    Result r{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readText(out),
             readText(err)};
    fs::remove(out);
    fs::remove(err);
    return r;
  }

  // The names in the scratch directory (hidden temporary files included).
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
    return names;
  }

  // A failure: the code, one line on standard error that starts with the program's name and
  // names `what`, nothing on standard output.
  static void expectOneLineError(const Result& r, int code, const std::string& program,
                                 const std::string& what) {
    EXPECT_EQ(r.code, code) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind(program + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(what), std::string::npos) << "expected \"" << what << "\" in: " << r.err;
    EXPECT_EQ(r.out, "");
  }

  fs::path dir_;
};

// ---- dispc-sketch

// One line per operation (index, opcode, class, layer, colour, props that change, payload
// summary and size) and the totals, for a file of every operation the tablet records: frozen in
// tests/data/every-operation.list (DISPC_UPDATE_GOLDEN=1 rewrites it). "list" is the default.
TEST_F(ToolTest, SketchListPrintsOneLinePerOperationAndTotals) {
  const std::string data = DISPC_TEST_DATA_DIR;
  fs::copy_file(data + "/every-operation.dca", file("every-operation.dca"));
  const Result r = tool("sketch every-operation.dca");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const char* update = std::getenv("DISPC_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") writeText(data + "/every-operation.list", r.out);
  EXPECT_EQ(r.out, readText(data + "/every-operation.list"));
  EXPECT_EQ(tool("sketch list every-operation.dca").out, r.out);
}

// The operations of a sketch file, one "opcode/layer" each, "+wN" where the operation carries
// its props (pen width N).
std::string summary(const fs::path& p) {
  const ccUISketch sketch = cfToolLoadSketch(p.string());
  ccSketchWalker w(sketch.data(), static_cast<std::size_t>(sketch.length()));
  std::string s;
  for (ccSketchOperation op; w.next(op);) {
    s += (s.empty() ? "" : " ") + std::to_string(op.opcode) + "/" + std::to_string(op.layer);
    ccGraphicProps props;
    if (op.hasProps()) ccSketchReader(op.props, kSketchPropsRecordSize).readProps(props);
    if (op.hasProps()) s += "+w" + std::to_string(props.penWidth());
  }
  return s;
}

// cat joins in order and cut takes a range; each part's first operation says the props in
// force again, which its own stream may have left implicit. The output replaces an existing
// file whole, a failing run leaves it as it was, and a file joined onto itself is read first.
TEST_F(ToolTest, SketchCatAndCutKeepThePropsInForce) {
  ccUITablet a, b, t;
  a.draw(ccLineSeg(V(0, 0), V(10, 10)), ccGraphicProps(ccColor::redColor(), 4), kOverlay);
  b.draw(ccLineSeg(V(5, 5), V(20, 5)), ccColor::cyanColor(), kOverlay);
  b.draw(ccCircle(V(5, 5), 3), ccColor::cyanColor(), kOverlay);
  const ccGraphicProps thick(ccColor::redColor(), 3);
  t.draw(ccLineSeg(V(0, 0), V(10, 10)), thick, kOverlay);
  t.draw(ccLineSeg(V(0, 5), V(10, 15)), thick, kOverlay);
  t.draw(ccCircle(V(5, 5), 2), thick, kOverlay);
  t.draw(ccCircle(V(9, 9), 2), ccColor::blueColor(), kImage);
  storeSketch(a.sketch(), file("a.dca"));
  storeSketch(b.sketch(), file("b.dca"));
  storeSketch(t.sketch(), file("s.dca"));
  // Implicit props: the first operation of b and the second of s carry none.
  ASSERT_EQ(summary(file("b.dca")) + " " + summary(file("s.dca")), "2/1 4/1 2/1+w3 2/1 4/1 4/0+w1");
  writeText(file("out.dca"), "old contents");
  const struct {
    std::string line, output, operations;
  } rows[] = {
      {"sketch cat -o ab.dca a.dca b.dca a.dca", "ab.dca", "2/1+w4 2/1+w1 4/1 2/1+w4"},
      {"sketch cut s.dca 1:3 -o mid.dca", "mid.dca", "2/1+w3 4/1"},
      {"sketch cut --output=last.dca s.dca 3", "last.dca", "4/0+w1"},
      {"sketch cut s.dca :2 -o head.dca", "head.dca", "2/1+w3 2/1"},
      {"sketch cut s.dca 2: -o tail.dca", "tail.dca", "4/1+w3 4/0+w1"},
      {"sketch cut -o out.dca s.dca 0:2", "out.dca", "2/1+w3 2/1"},
  };
  for (const auto& row : rows) {
    const Result r = tool(row.line);
    ASSERT_EQ(r.code, 0) << row.line << ": " << r.err;
    EXPECT_EQ(summary(file(row.output)), row.operations) << row.line;
  }
  const std::string before = readText(file("out.dca"));
  writeText(file("bad.dca"), "garbage");
  EXPECT_EQ(tool("sketch cat -o out.dca s.dca bad.dca").code, 1);
  EXPECT_EQ(readText(file("out.dca")), before);
  ASSERT_EQ(tool("sketch cat -o s.dca s.dca s.dca").code, 0);
  EXPECT_EQ(operations(cfToolLoadSketch(file("s.dca").string())), 8u);
}

// Bad files fail both tools with one line naming the file (and what is wrong), writing nothing.
TEST_F(ToolTest, BadSketchFilesFailWithOneLine) {
  writeText(file("ramp.pgm"), pgm(20, 10));
  storeSketch(sampleSketch(), file("good.dca"));
  const std::string bytes = readText(file("good.dca"));
  // Each file with the words its message must hold.
  auto expectRefused = [&](const std::string& name, const std::string& b, const std::string& what) {
    SCOPED_TRACE(name);
    writeText(file(name), b);
    for (const std::string& line :
         {"sketch " + name, "sketch cat -o joined.dca good.dca " + name,
          "sketch cut -o part.dca " + name + " 0:1", "render " + name + " out.png",
          "render -i ramp.pgm " + name + " out.svg"}) {
      const Result r = tool(line);
      expectOneLineError(r, 1, "dispc-" + line.substr(0, 6), name);
      EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
    }
  };
  expectRefused("empty.dca", {}, "empty file");
  expectRefused("garbage.dca", "not an archive", "not a sketch or graphic-list archive");
  expectRefused("header-only.dca", bytes.substr(0, 12), "truncated");
  expectRefused("short-header.dca", bytes.substr(0, 10), "truncated");
  for (std::size_t n : {13ul, 40ul, bytes.size() / 2, bytes.size() - 1})
    expectRefused("cut-" + std::to_string(n) + ".dca", bytes.substr(0, n), "truncated");
  std::string changed = bytes;
  changed[8] = 7;
  expectRefused("format.dca", changed, "archive format 7");
  expectRefused("trailing.dca", bytes + '\0', "after the sketch");
  changed = bytes;
  changed[12] = 9;  // the sketch's version byte
  expectRefused("version.dca", changed, "version");
  changed = bytes;
  for (std::size_t i = 30; i < changed.size(); i += 7) changed[i] ^= 0x5A;
  expectRefused("scrambled.dca", changed, "scrambled.dca");
  // Nothing was written, and no temporary file is left.
  for (const std::string& e : entries()) {
    EXPECT_TRUE(e != "joined.dca" && e != "part.dca" && e != "out.dca") << e;
    EXPECT_EQ(e.find("out."), std::string::npos) << e;
    EXPECT_NE(e[0], '.') << e;
  }
}

// Usage errors (code 2) and failures (code 1) of both tools: one line that starts with the
// tool's name and says what is wrong, and no file written or replaced. --help prints the usage.
TEST_F(ToolTest, BadInvocationsFailWithOneLineAndWriteNothing) {
  storeSketch(sampleSketch(), file("s.dca"));
  writeText(file("bad.dca"), "garbage");
  writeText(file("out.png"), "previous picture");
  fs::create_directory(file("folder"));
  // Bad images.
  const std::string good = pgm(40, 30);
  writeText(file("cut.pgm"), good.substr(0, 200));
  writeText(file("header.pgm"), good.substr(0, 6));
  writeText(file("plain.pgm"), "P2\n2 2\n255\n0 1 2 3\n");
  writeText(file("zero.pgm"), "P5\n0 4\n255\n");
  writeText(file("huge.pgm"), "P5\n99999999999 4\n255\n");
  writeText(file("maxval.pgm"), "P5\n4 4\n0\n");
  writeText(file("text.pgm"), "just text");
  cfCairoWritePng(ccPelBuffer<unsigned char>(40, 30), file("cut.png").string());
  writeText(file("cut.png"), readText(file("cut.png")).substr(0, 40));
  const std::set<std::string> before = entries();
  const struct {
    std::string line;  // the tool (sketch or render) and its arguments
    int code;
    std::string what;
  } rows[] = {
      {"sketch", 2, "no sketch file"},
      {"sketch --frobnicate s.dca", 2, "--frobnicate"},
      {"sketch cat s.dca", 2, "-o"},
      {"sketch cut -o x.dca s.dca", 2, "range"},
      {"sketch cat -o", 2, "-o"},
      {"sketch list -o x.dca s.dca", 2, "-o"},
      {"sketch frobnicate s.dca", 2, "unknown command \"frobnicate\" (commands: list, cat, cut)"},
      {"sketch cat -o x.dca --output=y.dca s.dca", 2, "-o given twice"},
      {"sketch cut s.dca 5:2 -o out.dca", 2, "bad range \"5:2\""},
      {"sketch cut s.dca a:b -o out.dca", 2, "bad range"},
      {"sketch cut s.dca -3 -o out.dca", 2, "unknown option"},
      {"sketch missing.dca", 1, "missing.dca: no such file"},
      {"sketch folder", 1, "folder: is a directory"},
      {"sketch cut s.dca 4:9 -o out.dca", 1, "s.dca"},
      {"render missing.dca out.png", 1, "missing.dca: no such file"},
      {"render bad.dca out.png", 1, "bad.dca"},
      {"render s.dca folder", 2, "folder"},
      {"render s.dca no-such-dir/out.png", 1, "no-such-dir/out.png"},
      {"render -f png s.dca folder", 1, "folder"},
      {"render -i missing.pgm s.dca out.png", 1, "missing.pgm: no such file"},
      {"render -i cut.pgm s.dca out.png", 1, "cut.pgm: truncated PGM"},
      {"render -i header.pgm s.dca out.png", 1, "header.pgm: truncated PGM"},
      {"render -i plain.pgm s.dca out.png", 1,
       "plain.pgm: plain (P2) PGM is not supported, only binary (P5)"},
      {"render -i zero.pgm s.dca out.png", 1, "zero.pgm: PGM image of size 0"},
      {"render -i huge.pgm s.dca out.png", 1, "huge.pgm: PGM width too large"},
      {"render -i maxval.pgm s.dca out.png", 1,
       "maxval.pgm: malformed PGM header (maximum value 0)"},
#ifdef DISPC_TOOLS_WITH_OPENCV
      {"render -i text.pgm s.dca out.png", 1, "text.pgm: not an image OpenCV can read"},
#else
      {"render -i text.pgm s.dca out.png", 1, "text.pgm: not a PNG or PGM"},
#endif
      {"render -i cut.png s.dca out.png", 1,
       "cut.png: cannot read the PNG file: error while reading from input stream"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    expectOneLineError(tool(row.line), row.code, "dispc-" + row.line.substr(0, 6), row.what);
  }
  // Bad usage of dispc-render: code 2, one line that points at --help.
  for (const char* line :
       {"render s.dca", "render s.dca a.png b.png", "render --nope s.dca o.png",
        "render -z 0 s.dca o.png", "render -z abc s.dca o.png", "render -s 10 s.dca o.png",
        "render -s 0x5 s.dca o.png", "render -l 3 s.dca o.png", "render -b 300 s.dca o.png",
        "render --offset 1 s.dca o.png", "render -f gif s.dca o.png", "render s.dca o.gif",
        "render -s 30000x30000 -z 2 s.dca o.png", "render -i x.pgm -s 4x4 s.dca o.png",
        "render s.dca o.png --size", "render --quiet=yes s.dca o.png"}) {
    SCOPED_TRACE(line);
    expectOneLineError(tool(line), 2, "dispc-render", "--help");
  }
  EXPECT_EQ(entries(), before);
  EXPECT_EQ(readText(file("out.png")), "previous picture");
  EXPECT_TRUE(fs::is_empty(file("folder")));
  for (const char* help : {"--help", "-h"}) {
    const Result s = tool(std::string("sketch ") + help), r = tool(std::string("render ") + help);
    EXPECT_EQ(s.code + r.code, 0);
    EXPECT_EQ(s.out.rfind("Usage: dispc-sketch", 0), 0u);
    EXPECT_EQ(r.out.rfind("Usage: dispc-render", 0), 0u);
  }
}

// ---- Output files

// Both tools' outputs: a device node, a named pipe and a symbolic link are written through and
// stay what they were; an existing file keeps its permissions; a file the user could not write
// is refused and left alone.
TEST_F(ToolTest, OutputsNeverDamageWhatTheyWriteTo) {
  storeSketch(sampleSketch(), file("s.dca"));
  // Without the right to override file permissions, root is refused as others are.
  const std::string asUser =
      ::geteuid() == 0 ? "setpriv --bounding-set -dac_override,-dac_read_search" : "";
  for (const auto& [name, command] : std::vector<std::pair<std::string, std::string>>{
           {"dispc-sketch", "sketch cut s.dca 0:2 -o "},
           {"dispc-render", "render -q -s 40x30 -f png s.dca "}}) {
    SCOPED_TRACE(name);
    // (a structured binding is captured by copy: C++17 lambdas cannot name one)
    auto write = [&, command = command](const std::string& out, const std::string& shell = "") {
      return tool(command + out, shell);
    };
    for (const char* f : {"plain", "null", "pipe", "piped", "link", "real", "kept", "locked"})
      fs::remove_all(file(f));
    ASSERT_EQ(write("plain").code, 0);
    const std::string expected = readText(file("plain"));
    // A character device with /dev/null's numbers, made here (needs root).
    EXPECT_TRUE(::mknod(file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
                (write("null").code == 0 && fs::is_character_file(file("null"))));
    ASSERT_EQ(::mkfifo(file("pipe").c_str(), 0644), 0);
    EXPECT_EQ(write("pipe", "{ timeout 20 cat pipe >piped & } ;").code, 0);
    EXPECT_TRUE(fs::is_fifo(file("pipe")) && readText(file("piped")) == expected);
    fs::create_directory(file("real"));
    writeText(file("real/target"), "old");
    fs::create_symlink("real/target", file("link"));
    EXPECT_EQ(write("link").code, 0);
    EXPECT_TRUE(fs::is_symlink(file("link")) && readText(file("real/target")) == expected);
    writeText(file("kept"), "old");
    fs::permissions(file("kept"), fs::perms(0640));
    EXPECT_EQ(write("kept").code, 0);
    EXPECT_TRUE(fs::status(file("kept")).permissions() == fs::perms(0640) &&
                readText(file("kept")) == expected);
    writeText(file("locked"), "old");
    fs::permissions(file("locked"), fs::perms(0444));
    expectOneLineError(write("locked", asUser), 1, name,
                       "locked: will not replace a file you cannot write (Permission denied)");
    EXPECT_EQ(readText(file("locked")), "old");
    for (const std::string& e : entries()) EXPECT_NE(e[0], '.') << e;  // no temporary file left
  }
}

// ---- dispc-render

// What dispc-render writes, one invocation a row: exit code 0, standard error exactly (a warning
// when nothing lands inside the picture), the output file named on standard output unless -q,
// and the picture's size and pels at chosen points (or, for SVG and PDF, the file's start).
// squares.dca: a red square (10, 10)-(20, 20) on the overlay, a blue one (40, 10)-(50, 20) on
// the image layer.
TEST_F(ToolTest, RenderDrawsWhatItIsAskedFor) {
  storeSketch(sampleSketch(), file("s.dca"));
  storeSketch(squaresSketch(), file("squares.dca"));
  storeSketch(ccUISketch(), file("empty.dca"));
  writeText(file("ramp.pgm"), pgm(64, 48));
  // Comments in the header and 16-bit samples.
  std::string wide = "P5 # a comment\n# another\n30 20\n65535\n";
  wide.resize(wide.size() + 30 * 20 * 2, '\xFF');
  writeText(file("white16.pgm"), wide);
  cfCairoWritePng(ccPelBuffer<unsigned char>(70, 30), file("black.png").string());
#ifdef DISPC_TOOLS_WITH_OPENCV
  // A 24-bit BMP of 8 x 4 pels: rows from the bottom, blue-green-red, each row 24 bytes.
  std::vector<unsigned char> bmp = {'B', 'M', 150, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                                    0,   0,   0,   8, 0, 0, 0, 4, 0, 0, 0,  1, 0, 24, 0};
  bmp.resize(54, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) bmp.insert(bmp.end(), {10, 20, static_cast<unsigned char>(30 * x)});
  writeText(file("pels.bmp"), std::string(bmp.begin(), bmp.end()));
#endif
  using Pel = ccPackedRGB32Pel;
  const Pel red(255, 0, 0), blue(0, 0, 255);
  auto grey = [](unsigned char g) { return Pel(g, g, g); };
  auto nothingInside = [](const std::string& file, const std::string& size, bool empty) {
    return "dispc-render: warning: " + file + " draws nothing inside the " + size + " picture (" +
           (empty ? "the sketch is empty" : "check --offset, --zoom and --layer") + ")\n";
  };
  const std::string outside = nothingInside("squares.dca", "60x40", false);
  struct Probe {
    long x, y;
    Pel pel;
  };
  using Probes = std::vector<Probe>;
  const struct {
    std::string line;    // the output last
    long width, height;  // 0 for SVG and PDF
    Probes probes = {};
    std::string expected = {};  // the start of an SVG or PDF file, or standard error
  } rows[] = {
      {"render s.dca out.png", 640, 480},
      {"render --size 120x80 s.dca out.png", 120, 80},
      {"render -s 120x80 --zoom 2 s.dca out.png", 240, 160},
      {"render -s 120x80 -z 1.5,0.5 s.dca out.png", 180, 40},
      {"render -s 99x51 -z 0.5 s.dca out.png", 50, 26},
      {"render -s 100x60 -f PNG s.dca o.raster", 100, 60},
      {"render -s 100x60 s.dca o.svg", 0, 0, {}, "<?xml"},
      {"render -s 100x60 s.dca o.PDF", 0, 0, {}, "%PDF-"},
      {"render -s 100x60 --format pdf s.dca o.out", 0, 0, {}, "%PDF-"},
      // Over an image, at its size: the ramp's pel, white 16-bit samples zoomed, black PNG.
      {"render -i ramp.pgm -q squares.dca ramp.png", 64, 48, {{15, 15, red}, {62, 40, grey(247)}}},
      {"render --image white16.pgm -z 2 squares.dca white.png", 60, 40, {{2, 38, grey(255)}}},
      {"render -i black.png squares.dca black-out.png", 70, 30, {{45, 15, blue}}},
#ifdef DISPC_TOOLS_WITH_OPENCV
      {"render -i pels.bmp -q squares.dca bmp.png", 8, 4, Probes{{7, 3, Pel(210, 20, 10)}},
       nothingInside("squares.dca", "8x4", false)},
#endif
      // Canvas (35, 20) and (65, 20) zoomed; where they were recorded stays black.
      {"render -s 80x40 --offset 20,5 -z 2 -A squares.dca o.png", 160, 80,
       Probes{
           {70, 40, red}, {30, 30, grey(0)}, {130, 40, blue}, {90, 30, grey(0)}, {2, 2, grey(0)}}},
      {"render -s 60x40 --layer overlay -b 128 squares.dca overlay.png", 60, 40,
       Probes{{15, 15, red}, {45, 15, grey(128)}}},
      {"render -s 60x40 -l 0 squares.dca image.png", 60, 40, {{15, 15, grey(0)}, {45, 15, blue}}},
      {"render -q -s 60x40 --offset 100,0 squares.dca w1.png", 60, 40, {}, outside},
      // The overlay's red square moves off the picture; the image layer's blue one is left out.
      {"render -q -s 60x40 --layer overlay --offset -25,0 squares.dca w2.png", 60, 40, {}, outside},
      {"render -q -s 60x40 empty.dca w3.png", 60, 40, Probes(),
       nothingInside("empty.dca", "60x40", true)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const Result r = tool(row.line);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, row.width ? row.expected : "");
    const std::string output = row.line.substr(row.line.rfind(' ') + 1);
    const bool quiet = row.line.find(" -q ") != std::string::npos;
    EXPECT_EQ(r.out.find(output) != std::string::npos, !quiet) << r.out;
    if (!row.width) {
      EXPECT_EQ(readText(file(output)).rfind(row.expected, 0), 0u);
      continue;
    }
    const ccPelBuffer<Pel> png = cfCairoReadPngRGB32(file(output).string());
    EXPECT_TRUE(png.width() == row.width && png.height() == row.height) << png.width();
    for (const Probe& p : row.probes) EXPECT_EQ(png.get(p.x, p.y), p.pel) << p.x << "," << p.y;
  }
  EXPECT_NE(readText(file("o.svg")).find("width=\"100"), std::string::npos);
}

// A graphic-list file stands for the sketch of its drawing: rendered, listed and joined as that.
TEST_F(ToolTest, GraphicListFilesActAsTheSketchOfTheirDrawing) {
  ccGraphicList list;
  list.append(ccPtrHandle<ccGraphic>(new ccGraphicWithFill<ccRect, ccGenRect>(
                  ccRect(V(10, 10), V(10, 10)), ccColor::redColor(), true)),
              false);
  list.append(
      ccPtrHandle<ccGraphic>(new ccGraphicText("g", ccPoint(30, 5), ccColor::greenColor(),
                                               ccColor::passColor(), ccUIFormat(), V(1.5, 2))),
      false);
  ccFileArchive out(file("g.dcg").string(), ccArchive::eStoring);
  out || list;
  out.close();
  for (const char* layer : {"both", "image"}) {
    SCOPED_TRACE(layer);
    // On the overlay layer, or with --layer image on the image layer.
    storeSketch(list.sketch(std::string(layer) == "image" ? kImage : kOverlay), file("s.dca"));
    for (const char* in : {"g.dcg", "s.dca"})
      ASSERT_EQ(
          tool(std::string("render -s 60x40 -A -l ") + layer + " " + in + " " + in + ".png").code,
          0);
    EXPECT_EQ(readText(file("g.dcg.png")), readText(file("s.dca.png")));
    EXPECT_EQ(cfCairoReadPngRGB32(file("g.dcg.png").string()).get(15, 15),
              ccPackedRGB32Pel(255, 0, 0));
  }

  const Result listed = tool("sketch g.dcg");
  ASSERT_EQ(listed.code, 0) << listed.err;
  EXPECT_NE(listed.out.find("graphic list of 2 graphics: ccGraphicWithFill<ccRect, ccGenRect> 1, "
                            "ccGraphicText 1"),
            std::string::npos)
      << listed.out;
  EXPECT_NE(listed.out.find("cc_UISketchOpString"), std::string::npos) << listed.out;
  ASSERT_EQ(tool("sketch cat -o joined.dca g.dcg").code, 0);
  const ccUISketch joined = cfToolLoadSketch(file("joined.dca").string()),
                   drawn = list.sketch(kOverlay);
  EXPECT_TRUE(joined.length() == drawn.length() &&
              std::equal(joined.data(), joined.data() + joined.length(), drawn.data()));

  // Neither a sketch nor a graphic list; a cut graphic list is reported as one.
  std::string bytes = readText(file("g.dcg"));
  std::string other = bytes;
  other[12] = 5;
  writeText(file("other.dcg"), other);
  expectOneLineError(tool("render other.dcg o.png"), 1, "dispc-render",
                     "other.dcg: neither a sketch nor a graphic list (unknown version 5)");
  writeText(file("cut.dcg"), bytes.substr(0, bytes.size() - 9));
  expectOneLineError(tool("sketch cut.dcg"), 1, "dispc-sketch", "(read as a graphic list)");
  EXPECT_FALSE(fs::exists(file("o.png")));
}

// ---- The demo's files through the tools

#ifdef DISPC_DEMO
TEST_F(ToolTest, DemoFilesGoThroughTheTools) {
  const Result demo = tool(DISPC_DEMO " demo");
  ASSERT_EQ(demo.code, 0) << demo.err;
  for (const char* name : {"demo.png", "demo.svg", "demo.pdf", "inspection.dca", "overlay.dcg",
                           "board.pgm", "board.png"}) {
    EXPECT_TRUE(fs::is_regular_file(file("demo") / name)) << name;
    EXPECT_NE(demo.out.find(name), std::string::npos) << name;
  }
  EXPECT_EQ(cfCairoReadPngRGB32(file("demo/demo.png").string()).width(), 800);
  const struct {
    std::string line, out;  // the output holds out
  } rows[] = {
      {"sketch demo/inspection.dca", "cc_UISketchOpPointIcon"},
      {"sketch demo/overlay.dcg", "graphic list of "},
      {"render -i demo/board.pgm --offset 126,226 -z 0.5 demo/inspection.dca r.png", "r.png"},
      {"render -i demo/board.pgm demo/overlay.dcg o.png", "o.png"},
  };
  for (const auto& row : rows) {
    const Result r = tool(row.line);
    EXPECT_TRUE(r.code == 0 && r.err.empty()) << row.line << ": " << r.err;
    EXPECT_NE(r.out.find(row.out), std::string::npos) << row.line;
  }
  EXPECT_EQ(cfCairoReadPngRGB32(file("r.png").string()).width(), 400);
}
#endif

#ifdef DISPC_QUICKSTART
TEST_F(ToolTest, QuickstartDrawsItsGoldenPicture) {
  const Result r = tool(DISPC_QUICKSTART);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(operations(cfToolLoadSketch(file("quickstart.dca").string())), 3u);
  cairo_surface_t* png = cairo_image_surface_create_from_png(file("quickstart.png").c_str());
  const ccCairoImageScope picture(png);
  cairo_surface_destroy(png);
  EXPECT_TRUE(matchesGolden(picture, "quickstart", 8, 20));
}
#endif

}  // namespace
