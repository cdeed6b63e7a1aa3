// End-to-end tests of the command-line tools: dispc-sketch and dispc-render are run as a user
// would run them, on sketch files made here with the library (and on the demo's files), and
// on missing, empty, truncated, garbage and corrupted files. Checked: exit codes, that every
// failure prints exactly one line naming the file, that no output (or temporary) file is left
// behind by a failure, and what the outputs hold.
#include "../cairo/golden.h"

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

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<unsigned char> readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& p, const std::vector<unsigned char>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
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

int lineCount(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
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

void storeSketch(const ccUISketch& s, const fs::path& p) {
  ccFileArchive out(p.string(), ccArchive::eStoring);
  out || const_cast<ccUISketch&>(s);
  out.close();
}

ccUISketch loadSketch(const fs::path& p) {
  ccFileArchive in(p.string(), ccArchive::eLoading);
  ccUISketch s;
  in || s;
  return s;
}

std::size_t operations(const ccUISketch& s) {
  return cfSketchCountOperations(s.data(), static_cast<std::size_t>(s.length()));
}

// The operations of a sketch as the walker splits them (pointing into the sketch).
std::vector<ccSketchOperation> walk(const ccUISketch& s) {
  std::vector<ccSketchOperation> ops;
  ccSketchWalker w(s.data(), static_cast<std::size_t>(s.length()));
  ccSketchOperation op;
  while (w.next(op)) ops.push_back(op);
  return ops;
}

ccGraphicProps propsOf(const ccSketchOperation& op) {
  ccGraphicProps p;
  ccSketchReader r(op.props, kSketchPropsRecordSize);
  r.readProps(p);
  return p;
}

// A binary PGM of a horizontal ramp.
std::vector<unsigned char> pgm(long w, long h, const std::string& header = "") {
  std::string head =
      header.empty() ? "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n" : header;
  std::vector<unsigned char> bytes(head.begin(), head.end());
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) bytes.push_back(static_cast<unsigned char>(x * 255 / w));
  return bytes;
}

bool isRed(const ccPackedRGB32Pel& p) { return p.r() > 200 && p.g() < 50 && p.b() < 50; }
bool isBlue(const ccPackedRGB32Pel& p) { return p.r() < 50 && p.g() < 50 && p.b() > 200; }

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

  // Runs a tool with the arguments (each quoted) in the scratch directory; shell, when given,
  // is run before the tool in the same shell (background jobs are waited for).
  Result run(const std::string& tool, const std::vector<std::string>& args,
             const std::string& shell = "") {
    std::string cmd = "cd " + quote(dir_.string()) + " && " + shell + " " + quote(tool);
    for (const std::string& a : args) cmd += " " + quote(a);
    const fs::path out = dir_ / ".stdout", err = dir_ / ".stderr";
    cmd += " >" + quote(out.string()) + " 2>" + quote(err.string()) + "; rc=$?; wait; exit $rc";
    const int status = std::system(cmd.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readText(out);
    r.err = readText(err);
    fs::remove(out);
    fs::remove(err);
    return r;
  }
  Result sketchTool(const std::vector<std::string>& args, const std::string& shell = "") {
    return run(DISPC_SKETCH, args, shell);
  }
  Result renderTool(const std::vector<std::string>& args, const std::string& shell = "") {
    return run(DISPC_RENDER, args, shell);
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
    EXPECT_EQ(lineCount(r.err), 1) << r.err;
    EXPECT_EQ(r.err.rfind(program + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(what), std::string::npos) << "expected \"" << what << "\" in: " << r.err;
    EXPECT_EQ(r.out, "");
  }

  // Bad sketch files, each with the words its message must hold.
  std::vector<std::pair<std::string, std::string>> makeBadSketches() {
    const fs::path good = file("good.dca");
    storeSketch(sampleSketch(), good);
    const std::vector<unsigned char> bytes = readBytes(good);
    std::vector<std::pair<std::string, std::string>> bad;
    auto add = [&](const std::string& name, const std::vector<unsigned char>& b,
                   const std::string& what) {
      writeBytes(file(name), b);
      bad.emplace_back(name, what);
    };
    add("empty.dca", {}, "empty file");
    add("garbage.dca", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'a', 'r', 'c', 'h', 'i', 'v', 'e'},
        "not a sketch or graphic-list archive");
    add("header-only.dca", std::vector<unsigned char>(bytes.begin(), bytes.begin() + 12),
        "truncated");
    add("short-header.dca", std::vector<unsigned char>(bytes.begin(), bytes.begin() + 10),
        "truncated");
    for (std::size_t n : {13ul, 40ul, bytes.size() / 2, bytes.size() - 1}) {
      add("cut-" + std::to_string(n) + ".dca",
          std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(n)),
          "truncated");
    }
    std::vector<unsigned char> format = bytes;
    format[8] = 7;
    add("format.dca", format, "archive format 7");
    std::vector<unsigned char> trailing = bytes;
    trailing.push_back(0);
    add("trailing.dca", trailing, "after the sketch");
    std::vector<unsigned char> version = bytes;
    version[12] = 9;  // the sketch's version byte
    add("version.dca", version, "version");
    std::vector<unsigned char> scrambled = bytes;
    for (std::size_t i = 30; i < scrambled.size(); i += 7) scrambled[i] ^= 0x5A;
    add("scrambled.dca", scrambled, "scrambled.dca");
    return bad;
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
  const Result r = sketchTool({"every-operation.dca"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const char* update = std::getenv("DISPC_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") writeText(data + "/every-operation.list", r.out);
  EXPECT_EQ(r.out, readText(data + "/every-operation.list"));
  EXPECT_EQ(sketchTool({"list", "every-operation.dca"}).out, r.out);
}

TEST_F(ToolTest, SketchCatJoinsInOrderAndKeepsEachPartsProps) {
  // The first part ends with a thick dashed pen; the second starts with the default props,
  // which its stream leaves implicit.
  ccUITablet a;
  a.draw(ccLineSeg(V(0, 0), V(10, 10)), ccGraphicProps(ccColor::redColor(), 4), kOverlay);
  ccUITablet b;
  b.draw(ccLineSeg(V(5, 5), V(20, 5)), ccColor::cyanColor(), kOverlay);
  b.draw(ccCircle(V(5, 5), 3), ccColor::cyanColor(), kOverlay);
  storeSketch(a.sketch(), file("a.dca"));
  storeSketch(b.sketch(), file("b.dca"));
  ASSERT_FALSE(walk(b.sketch())[0].hasProps());

  const Result r = sketchTool({"cat", "-o", "ab.dca", "a.dca", "b.dca", "a.dca"});
  ASSERT_EQ(r.code, 0) << r.err;
  const ccUISketch ab = loadSketch(file("ab.dca"));
  const std::vector<ccSketchOperation> ops = walk(ab);
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[0].opcode, 2);
  EXPECT_EQ(ops[1].opcode, 2);
  EXPECT_EQ(ops[2].opcode, 4);
  EXPECT_EQ(ops[3].opcode, 2);
  // The second part's first operation says its props again.
  ASSERT_TRUE(ops[1].hasProps());
  EXPECT_EQ(propsOf(ops[1]).penWidth(), 1);
  ASSERT_TRUE(ops[3].hasProps());
  EXPECT_EQ(propsOf(ops[3]).penWidth(), 4);
}

TEST_F(ToolTest, SketchCutTakesARangeWithThePropsInForce) {
  ccUITablet t;
  t.draw(ccLineSeg(V(0, 0), V(10, 10)), ccGraphicProps(ccColor::redColor(), 3), kOverlay);
  t.draw(ccLineSeg(V(0, 5), V(10, 15)), ccGraphicProps(ccColor::redColor(), 3), kOverlay);
  t.draw(ccCircle(V(5, 5), 2), ccGraphicProps(ccColor::redColor(), 3), kOverlay);
  t.draw(ccCircle(V(9, 9), 2), ccColor::blueColor(), kImage);
  storeSketch(t.sketch(), file("s.dca"));
  ASSERT_FALSE(walk(t.sketch())[1].hasProps());

  Result r = sketchTool({"cut", "s.dca", "1:3", "-o", "mid.dca"});
  ASSERT_EQ(r.code, 0) << r.err;
  const ccUISketch mid = loadSketch(file("mid.dca"));
  std::vector<ccSketchOperation> ops = walk(mid);  // points into mid
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0].opcode, 2);
  EXPECT_EQ(ops[1].opcode, 4);
  ASSERT_TRUE(ops[0].hasProps());
  EXPECT_EQ(propsOf(ops[0]).penWidth(), 3);

  r = sketchTool({"cut", "--output=last.dca", "s.dca", "3"});
  ASSERT_EQ(r.code, 0) << r.err;
  const ccUISketch last = loadSketch(file("last.dca"));
  ops = walk(last);
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].layer, 0);

  EXPECT_EQ(operations(loadSketch(file("s.dca"))), 4u);
  r = sketchTool({"cut", "s.dca", ":2", "-o", "head.dca"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(operations(loadSketch(file("head.dca"))), 2u);
  r = sketchTool({"cut", "s.dca", "2:", "-o", "tail.dca"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(operations(loadSketch(file("tail.dca"))), 2u);
}

// Bad files fail both tools with one line naming the file (and what is wrong), writing nothing.
TEST_F(ToolTest, BadSketchFilesFailWithOneLine) {
  writeBytes(file("ramp.pgm"), pgm(20, 10));
  for (const auto& [name, what] : makeBadSketches()) {
    SCOPED_TRACE(name);
    const Result list = sketchTool({name});
    expectOneLineError(list, 1, "dispc-sketch", name);
    EXPECT_NE(list.err.find(what), std::string::npos) << list.err;
    expectOneLineError(sketchTool({"cat", "-o", "joined.dca", "good.dca", name}), 1, "dispc-sketch",
                       name);
    expectOneLineError(sketchTool({"cut", "-o", "part.dca", name, "0:1"}), 1, "dispc-sketch", name);
    const Result render = renderTool({name, "out.png"});
    expectOneLineError(render, 1, "dispc-render", name);
    EXPECT_NE(render.err.find(what), std::string::npos) << render.err;
    expectOneLineError(renderTool({"-i", "ramp.pgm", name, "out.svg"}), 1, "dispc-render", name);
  }
  expectOneLineError(sketchTool({"missing.dca"}), 1, "dispc-sketch", "missing.dca: no such file");
  expectOneLineError(renderTool({"missing.dca", "out.png"}), 1, "dispc-render",
                     "missing.dca: no such file");
  fs::create_directory(file("folder"));
  expectOneLineError(sketchTool({"folder"}), 1, "dispc-sketch", "folder: is a directory");
  storeSketch(sampleSketch(), file("s.dca"));
  expectOneLineError(sketchTool({"cut", "s.dca", "4:9", "-o", "out.dca"}), 1, "dispc-sketch",
                     "s.dca");
  // Nothing was written, and no temporary file is left.
  for (const std::string& e : entries()) {
    EXPECT_TRUE(e != "joined.dca" && e != "part.dca" && e != "out.dca") << e;
    EXPECT_EQ(e.find("out."), std::string::npos) << e;
    EXPECT_NE(e[0], '.') << e;
  }
}

TEST_F(ToolTest, SketchToolRejectsBadUsage) {
  storeSketch(sampleSketch(), file("s.dca"));
  const std::pair<std::vector<std::string>, std::string> kBad[] = {
      {{}, "no sketch file"},
      {{"--frobnicate", "s.dca"}, "--frobnicate"},
      {{"cat", "s.dca"}, "-o"},
      {{"cut", "-o", "x.dca", "s.dca"}, "range"},
      {{"cat", "-o"}, "-o"},
      {{"list", "-o", "x.dca", "s.dca"}, "-o"},
      {{"frobnicate", "s.dca"}, "unknown command \"frobnicate\" (commands: list, cat, cut)"},
      {{"cat", "-o", "x.dca", "--output=y.dca", "s.dca"}, "-o given twice"},
      {{"cut", "s.dca", "5:2", "-o", "out.dca"}, "bad range \"5:2\""},
      {{"cut", "s.dca", "a:b", "-o", "out.dca"}, "bad range"},
      {{"cut", "s.dca", "-3", "-o", "out.dca"}, "unknown option"},
  };
  for (const auto& [args, what] : kBad)
    expectOneLineError(sketchTool(args), 2, "dispc-sketch", what);
  const Result help = sketchTool({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: dispc-sketch", 0), 0u);
  EXPECT_EQ(entries(), (std::set<std::string>{"s.dca"}));
}

TEST_F(ToolTest, SketchOutputReplacesAnExistingFileWhole) {
  storeSketch(sampleSketch(), file("s.dca"));
  writeText(file("out.dca"), "old contents");
  ASSERT_EQ(sketchTool({"cut", "-o", "out.dca", "s.dca", "0:2"}).code, 0);
  EXPECT_EQ(operations(loadSketch(file("out.dca"))), 2u);
  // A failing run leaves it as it was.
  const std::vector<unsigned char> before = readBytes(file("out.dca"));
  writeText(file("bad.dca"), "garbage");
  EXPECT_EQ(sketchTool({"cat", "-o", "out.dca", "s.dca", "bad.dca"}).code, 1);
  EXPECT_EQ(readBytes(file("out.dca")), before);
  // Joining a file onto itself reads it before writing.
  ASSERT_EQ(sketchTool({"cat", "-o", "s.dca", "s.dca", "s.dca"}).code, 0);
  EXPECT_EQ(operations(loadSketch(file("s.dca"))), 12u);
}

// ---- Output files

// Both tools' outputs: a device node, a named pipe and a symbolic link are written through and
// stay what they were; an existing file keeps its permissions; a file the user could not write
// is refused and left alone.
TEST_F(ToolTest, OutputsNeverDamageWhatTheyWriteTo) {
  storeSketch(sampleSketch(), file("s.dca"));
  using Tool = std::function<Result(const std::string& out, const std::string& shell)>;
  const std::vector<std::pair<std::string, Tool>> tools = {
      {"dispc-sketch",
       [&](const std::string& out, const std::string& shell) {
         return sketchTool({"cut", "-o", out, "s.dca", "0:2"}, shell);
       }},
      {"dispc-render", [&](const std::string& out, const std::string& shell) {
         return renderTool({"-q", "-s", "40x30", "-f", "png", "s.dca", out}, shell);
       }}};
  // Without the right to override file permissions, root is refused as others are.
  const std::string asUser =
      ::geteuid() == 0 ? "setpriv --bounding-set -dac_override,-dac_read_search" : "";
  for (const auto& [name, tool] : tools) {
    SCOPED_TRACE(name);
    for (const char* f : {"plain", "null", "pipe", "piped", "link", "real", "kept", "locked"})
      fs::remove_all(file(f));
    ASSERT_EQ(tool("plain", "").code, 0);
    const std::vector<unsigned char> expected = readBytes(file("plain"));

    // A character device with /dev/null's numbers, made here (needs root).
    if (::mknod(file("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
      const Result r = tool("null", "");
      EXPECT_EQ(r.code, 0) << r.err;
      EXPECT_TRUE(fs::is_character_file(file("null")));
    }
    ASSERT_EQ(::mkfifo(file("pipe").c_str(), 0644), 0);
    Result r = tool("pipe", "{ timeout 20 cat pipe >piped & } ;");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::is_fifo(file("pipe")));
    EXPECT_EQ(readBytes(file("piped")), expected);

    fs::create_directory(file("real"));
    writeText(file("real/target"), "old");
    fs::create_symlink("real/target", file("link"));
    r = tool("link", "");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(file("link")));
    EXPECT_EQ(readBytes(file("real/target")), expected);

    writeText(file("kept"), "old");
    fs::permissions(file("kept"), fs::perms(0640));
    EXPECT_EQ(tool("kept", "").code, 0);
    EXPECT_EQ(fs::status(file("kept")).permissions(), fs::perms(0640));
    EXPECT_EQ(readBytes(file("kept")), expected);

    writeText(file("locked"), "old");
    fs::permissions(file("locked"), fs::perms(0444));
    expectOneLineError(tool("locked", asUser), 1, name,
                       "locked: will not replace a file you cannot write (Permission denied)");
    EXPECT_EQ(readText(file("locked")), "old");
    for (const std::string& e : entries()) EXPECT_NE(e[0], '.') << e;  // no temporary file left
  }
}

// ---- dispc-render

TEST_F(ToolTest, RenderWritesAPngOfTheCanvasSizeTimesTheZoom) {
  storeSketch(sampleSketch(), file("s.dca"));
  struct Case {
    std::vector<std::string> args;
    long width, height;
  };
  const std::vector<Case> cases = {
      {{}, 640, 480},
      {{"--size", "120x80"}, 120, 80},
      {{"-s", "120x80", "--zoom", "2"}, 240, 160},
      {{"-s", "120x80", "-z", "1.5,0.5"}, 180, 40},
      {{"-s", "99x51", "-z", "0.5"}, 50, 26},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"s.dca", "out.png"});
    const Result r = renderTool(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("out.png"), std::string::npos);
    const ccPelBuffer<ccPackedRGB32Pel> png = cfCairoReadPngRGB32(file("out.png").string());
    EXPECT_EQ(png.width(), c.width);
    EXPECT_EQ(png.height(), c.height);
  }
}

TEST_F(ToolTest, RenderDrawsOverAnImageWithItsSize) {
  storeSketch(squaresSketch(), file("s.dca"));
  writeBytes(file("ramp.pgm"), pgm(64, 48));
  // Comments in the header and 16-bit samples.
  std::vector<unsigned char> wide;
  const std::string head = "P5 # a comment\n# another\n30 20\n65535\n";
  wide.assign(head.begin(), head.end());
  for (int i = 0; i < 30 * 20; ++i) wide.insert(wide.end(), {0xFF, 0xFF});
  writeBytes(file("white16.pgm"), wide);
  cfCairoWritePng(ccPelBuffer<unsigned char>(70, 30), file("black.png").string());

  Result r = renderTool({"-i", "ramp.pgm", "-q", "s.dca", "ramp.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  ccPelBuffer<ccPackedRGB32Pel> png = cfCairoReadPngRGB32(file("ramp.png").string());
  EXPECT_EQ(png.width(), 64);
  EXPECT_EQ(png.height(), 48);
  EXPECT_TRUE(isRed(png.get(15, 15)));
  EXPECT_EQ(png.get(62, 40).r(), 62 * 255 / 64);  // the ramp's pel

  r = renderTool({"--image", "white16.pgm", "-z", "2", "s.dca", "white.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  png = cfCairoReadPngRGB32(file("white.png").string());
  EXPECT_EQ(png.width(), 60);
  EXPECT_EQ(png.height(), 40);
  EXPECT_EQ(png.get(2, 38).r(), 255);

  r = renderTool({"-i", "black.png", "s.dca", "black-out.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  png = cfCairoReadPngRGB32(file("black-out.png").string());
  EXPECT_EQ(png.width(), 70);
  EXPECT_EQ(png.height(), 30);
  EXPECT_TRUE(isBlue(png.get(45, 15)));
}

TEST_F(ToolTest, RenderAppliesOffsetZoomAndLayer) {
  storeSketch(squaresSketch(), file("s.dca"));
  // Red square (10, 10)-(20, 20) on the overlay, blue (40, 10)-(50, 20) on the image layer.
  Result r = renderTool({"-s", "80x40", "--offset", "20,5", "-z", "2", "-A", "s.dca", "o.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  ccPelBuffer<ccPackedRGB32Pel> png = cfCairoReadPngRGB32(file("o.png").string());
  ASSERT_EQ(png.width(), 160);
  ASSERT_EQ(png.height(), 80);
  EXPECT_TRUE(isRed(png.get(70, 40)));    // (35, 20) of the canvas
  EXPECT_FALSE(isRed(png.get(30, 30)));   // where it was recorded
  EXPECT_TRUE(isBlue(png.get(130, 40)));  // (65, 20) of the canvas
  EXPECT_FALSE(isBlue(png.get(90, 30)));
  EXPECT_EQ(png.get(2, 2).r(), 0);  // the black canvas

  r = renderTool({"-s", "60x40", "--layer", "overlay", "-b", "128", "s.dca", "overlay.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  png = cfCairoReadPngRGB32(file("overlay.png").string());
  EXPECT_TRUE(isRed(png.get(15, 15)));
  EXPECT_EQ(png.get(45, 15).b(), 128);  // no blue square: the grey canvas
  r = renderTool({"-s", "60x40", "-l", "0", "s.dca", "image.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  png = cfCairoReadPngRGB32(file("image.png").string());
  EXPECT_FALSE(isRed(png.get(15, 15)));
  EXPECT_TRUE(isBlue(png.get(45, 15)));
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
  {
    ccFileArchive out(file("g.dcg").string(), ccArchive::eStoring);
    out || list;
    out.close();
  }
  for (const char* layer : {"both", "image"}) {
    SCOPED_TRACE(layer);
    // On the overlay layer, or with --layer image on the image layer.
    storeSketch(list.sketch(std::string(layer) == "image" ? kImage : kOverlay), file("s.dca"));
    ASSERT_EQ(renderTool({"-s", "60x40", "-l", layer, "-A", "g.dcg", "g.png"}).code, 0);
    ASSERT_EQ(renderTool({"-s", "60x40", "-l", layer, "-A", "s.dca", "s.png"}).code, 0);
    EXPECT_EQ(readBytes(file("g.png")), readBytes(file("s.png")));
    EXPECT_TRUE(isRed(cfCairoReadPngRGB32(file("g.png").string()).get(15, 15)));
  }

  const Result listed = sketchTool({"g.dcg"});
  ASSERT_EQ(listed.code, 0) << listed.err;
  EXPECT_NE(listed.out.find("graphic list of 2 graphics: ccGraphicWithFill<ccRect, ccGenRect> 1, "
                            "ccGraphicText 1"),
            std::string::npos)
      << listed.out;
  EXPECT_NE(listed.out.find("cc_UISketchOpString"), std::string::npos) << listed.out;
  ASSERT_EQ(sketchTool({"cat", "-o", "joined.dca", "g.dcg"}).code, 0);
  const ccUISketch joined = loadSketch(file("joined.dca")), drawn = list.sketch(kOverlay);
  EXPECT_EQ(std::vector<unsigned char>(joined.data(), joined.data() + joined.length()),
            std::vector<unsigned char>(drawn.data(), drawn.data() + drawn.length()));

  // Neither a sketch nor a graphic list; a cut graphic list is reported as one.
  std::vector<unsigned char> bytes = readBytes(file("g.dcg"));
  std::vector<unsigned char> other = bytes;
  other[12] = 5;
  writeBytes(file("other.dcg"), other);
  expectOneLineError(renderTool({"other.dcg", "o.png"}), 1, "dispc-render",
                     "other.dcg: neither a sketch nor a graphic list (unknown version 5)");
  writeBytes(file("cut.dcg"), std::vector<unsigned char>(bytes.begin(), bytes.end() - 9));
  expectOneLineError(sketchTool({"cut.dcg"}), 1, "dispc-sketch", "(read as a graphic list)");
  EXPECT_FALSE(fs::exists(file("o.png")));
}

TEST_F(ToolTest, RenderWarnsWhenNothingLandsInsideThePicture) {
  storeSketch(squaresSketch(), file("s.dca"));
  storeSketch(ccUISketch(), file("empty.dca"));
  const std::string outside =
      "dispc-render: warning: s.dca draws nothing inside the 60x40 picture (check --offset, "
      "--zoom and --layer)\n";
  const struct {
    std::vector<std::string> args;
    std::string warning;
  } cases[] = {
      {{"s.dca"}, ""},
      {{"--offset", "100,0", "s.dca"}, outside},
      // The overlay's red square moves off the picture; the image layer's blue one is left out.
      {{"--layer", "overlay", "--offset", "-25,0", "s.dca"}, outside},
      {{"empty.dca"},
       "dispc-render: warning: empty.dca draws nothing inside the 60x40 picture (the sketch is "
       "empty)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    std::vector<std::string> args = {"-q", "-s", "60x40"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back("out.png");
    fs::remove(file("out.png"));
    const Result r = renderTool(args);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, c.warning);
    EXPECT_TRUE(fs::exists(file("out.png")));
  }
}

TEST_F(ToolTest, RenderWritesSvgAndPdf) {
  storeSketch(sampleSketch(), file("s.dca"));
  ASSERT_EQ(renderTool({"-s", "100x60", "s.dca", "o.svg"}).code, 0);
  ASSERT_EQ(renderTool({"-s", "100x60", "s.dca", "o.PDF"}).code, 0);
  ASSERT_EQ(renderTool({"-s", "100x60", "--format", "pdf", "s.dca", "o.out"}).code, 0);
  ASSERT_EQ(renderTool({"-s", "100x60", "-f", "PNG", "s.dca", "o.raster"}).code, 0);
  const std::string svg = readText(file("o.svg"));
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("width=\"100"), std::string::npos);
  EXPECT_EQ(readText(file("o.PDF")).rfind("%PDF", 0), 0u);
  EXPECT_EQ(readText(file("o.out")).rfind("%PDF", 0), 0u);
  EXPECT_EQ(cfCairoReadPngRGB32(file("o.raster").string()).width(), 100);
}

TEST_F(ToolTest, RenderRejectsBadImagesWithOneLine) {
  storeSketch(sampleSketch(), file("s.dca"));
  const std::vector<unsigned char> good = pgm(40, 30);
  writeBytes(file("cut.pgm"), std::vector<unsigned char>(good.begin(), good.begin() + 200));
  writeBytes(file("header.pgm"), std::vector<unsigned char>(good.begin(), good.begin() + 6));
  writeText(file("plain.pgm"), "P2\n2 2\n255\n0 1 2 3\n");
  writeBytes(file("zero.pgm"), pgm(0, 0, "P5\n0 4\n255\n"));
  writeBytes(file("huge.pgm"), pgm(0, 0, "P5\n99999999999 4\n255\n"));
  writeBytes(file("maxval.pgm"), pgm(0, 0, "P5\n4 4\n0\n"));
  writeText(file("text.pgm"), "just text");
  cfCairoWritePng(ccPelBuffer<unsigned char>(40, 30), file("good.png").string());
  const std::vector<unsigned char> png = readBytes(file("good.png"));
  writeBytes(file("cut.png"), std::vector<unsigned char>(png.begin(), png.begin() + 40));
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"missing.pgm", "no such file"},
      {"cut.pgm", "truncated PGM"},
      {"header.pgm", "truncated PGM"},
      {"plain.pgm", "P2"},
      {"zero.pgm", "size 0"},
      {"huge.pgm", "too large"},
      {"maxval.pgm", "maximum value"},
#ifdef DISPC_TOOLS_WITH_OPENCV
      {"text.pgm", "not an image OpenCV can read"},
#else
      {"text.pgm", "not a PNG or PGM"},
#endif
      {"cut.png", "PNG"},
  };
  for (const auto& [name, what] : bad) {
    SCOPED_TRACE(name);
    const Result r = renderTool({"-i", name, "s.dca", "out.png"});
    expectOneLineError(r, 1, "dispc-render", name + ": ");
    EXPECT_NE(r.err.find(what), std::string::npos) << r.err;
  }
  EXPECT_EQ(entries().count("out.png"), 0u);
}

#ifdef DISPC_TOOLS_WITH_OPENCV
TEST_F(ToolTest, RenderReadsOtherImageFormatsThroughOpenCV) {
  // A 24-bit BMP of 8 x 4 pels: rows from the bottom, blue-green-red, each row 24 bytes.
  std::vector<unsigned char> bmp = {'B', 'M', 150, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  40,
                                    0,   0,   0,   8, 0, 0, 0, 4, 0, 0, 0,  1, 0, 24, 0};
  bmp.resize(54, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) bmp.insert(bmp.end(), {10, 20, static_cast<unsigned char>(30 * x)});
  writeBytes(file("pels.bmp"), bmp);
  storeSketch(squaresSketch(), file("s.dca"));
  const Result r = renderTool({"-i", "pels.bmp", "-q", "s.dca", "out.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  const ccPelBuffer<ccPackedRGB32Pel> png = cfCairoReadPngRGB32(file("out.png").string());
  EXPECT_EQ(png.width(), 8);
  EXPECT_EQ(png.height(), 4);
  EXPECT_EQ(png.get(7, 3), ccPackedRGB32Pel(210, 20, 10));
}
#endif

TEST_F(ToolTest, RenderRejectsBadOptionsWithOneLine) {
  storeSketch(sampleSketch(), file("s.dca"));
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"s.dca"},
      {"s.dca", "a.png", "b.png"},
      {"--nope", "s.dca", "o.png"},
      {"-z", "0", "s.dca", "o.png"},
      {"-z", "-2", "s.dca", "o.png"},
      {"-z", "abc", "s.dca", "o.png"},
      {"-s", "10", "s.dca", "o.png"},
      {"-s", "0x5", "s.dca", "o.png"},
      {"-l", "3", "s.dca", "o.png"},
      {"-b", "300", "s.dca", "o.png"},
      {"--offset", "1", "s.dca", "o.png"},
      {"-f", "gif", "s.dca", "o.png"},
      {"s.dca", "o.gif"},
      {"-s", "30000x30000", "-z", "2", "s.dca", "o.png"},
      {"-i", "x.pgm", "-s", "4x4", "s.dca", "o.png"},
      {"s.dca", "o.png", "--size"},
      {"--quiet=yes", "s.dca", "o.png"},
  };
  for (const auto& args : bad) {
    SCOPED_TRACE(::testing::PrintToString(args));
    expectOneLineError(renderTool(args), 2, "dispc-render", "--help");
  }
  const Result help = renderTool({"-h"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: dispc-render", 0), 0u);
  EXPECT_EQ(entries(), (std::set<std::string>{"s.dca"}));
}

TEST_F(ToolTest, RenderFailureLeavesAnExistingOutputAsItWas) {
  writeText(file("out.png"), "previous picture");
  writeText(file("bad.dca"), "garbage");
  EXPECT_EQ(renderTool({"bad.dca", "out.png"}).code, 1);
  EXPECT_EQ(readText(file("out.png")), "previous picture");
  fs::create_directory(file("sub"));
  storeSketch(sampleSketch(), file("s.dca"));
  expectOneLineError(renderTool({"s.dca", "sub"}), 2, "dispc-render", "sub");
  expectOneLineError(renderTool({"s.dca", "no-such-dir/out.png"}), 1, "dispc-render",
                     "no-such-dir/out.png");
  expectOneLineError(renderTool({"-f", "png", "s.dca", "sub"}), 1, "dispc-render", "sub");
}

// ---- The demo's files through the tools

#ifdef DISPC_DEMO
TEST_F(ToolTest, DemoFilesGoThroughTheTools) {
  const Result demo = run(DISPC_DEMO, {"demo"});
  ASSERT_EQ(demo.code, 0) << demo.err;
  for (const char* name : {"demo.png", "demo.svg", "demo.pdf", "inspection.dca", "overlay.dcg",
                           "board.pgm", "board.png"}) {
    EXPECT_TRUE(fs::is_regular_file(file("demo") / name)) << name;
    EXPECT_NE(demo.out.find(name), std::string::npos) << name;
  }
  const ccPelBuffer<ccPackedRGB32Pel> picture = cfCairoReadPngRGB32(file("demo/demo.png").string());
  EXPECT_EQ(picture.width(), 800);
  EXPECT_EQ(picture.height(), 600);

  const Result list = sketchTool({"demo/inspection.dca"});
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_NE(list.out.find("cc_UISketchOpPointIcon"), std::string::npos);

  const Result render = renderTool(
      {"-i", "demo/board.pgm", "--offset", "126,226", "-z", "0.5", "demo/inspection.dca", "r.png"});
  ASSERT_EQ(render.code, 0) << render.err;
  const ccPelBuffer<ccPackedRGB32Pel> r = cfCairoReadPngRGB32(file("r.png").string());
  EXPECT_EQ(r.width(), 400);
  EXPECT_EQ(r.height(), 300);

  // The overlay's graphic list, drawn over the board.
  const Result overlay = renderTool({"-i", "demo/board.pgm", "demo/overlay.dcg", "o.png"});
  ASSERT_EQ(overlay.code, 0) << overlay.err;
  EXPECT_EQ(overlay.err, "");
  const Result graphics = sketchTool({"demo/overlay.dcg"});
  ASSERT_EQ(graphics.code, 0) << graphics.err;
  EXPECT_NE(graphics.out.find("graphic list of "), std::string::npos);
}
#endif

#ifdef DISPC_QUICKSTART
TEST_F(ToolTest, QuickstartDrawsItsGoldenPicture) {
  const Result r = run(DISPC_QUICKSTART, {});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(operations(loadSketch(file("quickstart.dca"))), 3u);
  cairo_surface_t* png = cairo_image_surface_create_from_png(file("quickstart.png").c_str());
  const ccCairoImageScope picture(png);
  cairo_surface_destroy(png);
  EXPECT_TRUE(matchesGolden(picture, "quickstart", 8, 20));
}
#endif

}  // namespace
