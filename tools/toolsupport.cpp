#include "toolsupport.h"

#include <core/archive.h>
#include <dispc/errors.h>
#include <dispc/glist.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <new>

namespace fs = std::filesystem;

namespace {

// s as one printable line: line breaks and tabs become spaces, other control characters and
// bytes that are not UTF-8 become '?'.
std::string oneLine(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      out += c == '\n' || c == '\r' || c == '\t' ? ' ' : (c < 0x20 || c == 0x7F) ? '?' : char(c);
      ++i;
      continue;
    }
    // A well-formed multi-byte sequence is kept whole.
    const std::size_t len = c >= 0xC2 && c <= 0xDF   ? 2
                            : c >= 0xE0 && c <= 0xEF ? 3
                            : c >= 0xF0 && c <= 0xF4 ? 4
                                                     : 0;
    bool ok = len != 0 && i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) ok = (p[i + k] & 0xC0) == 0x80;
    if (ok) {
      out.append(s, i, len);
      i += len;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw ccToolError(oneLine(path + ": " + what));
}

// Why a sketch could not be loaded from its archive (or stored in one).
std::string describeArchiveError(const std::exception& e, bool storing = false) {
  if (auto* x = dynamic_cast<const ccArchive::EndOfData*>(&e))
    return "truncated archive (" + x->message() + ")";
  if (auto* x = dynamic_cast<const ccArchive::BadData*>(&e)) {
    // A count larger than the bytes left is what a cut-off file gives.
    const bool cut = x->message().find("bytes left") != std::string::npos;
    return std::string(cut ? "truncated" : "malformed") + " archive (" + x->message() + ")";
  }
  if (auto* x = dynamic_cast<const ccArchive::UnknownClass*>(&e))
    return "malformed archive (" + x->message() + ")";
  if (auto* x = dynamic_cast<const ccArchive::UnknownVersion*>(&e))
    return "unsupported version of " + x->source() + " data";
  if (auto* x = dynamic_cast<const ccUIError::InvalidUISketch*>(&e))
    return "malformed sketch" + (x->message().empty()
                                     ? std::string(" (its operations do not parse)")
                                     : ": " + x->message());
  if (auto* x = dynamic_cast<const ccUIError::NotImplemented*>(&e))
    return std::string("it holds an operation that cannot be ") +
           (storing ? "archived" : "loaded") +
           (x->message().empty() ? " (a nested sketch, general polygon or wireframe)"
                                 : ": " + x->message());
  return cfToolErrorText(e);
}

}  // namespace

std::string cfToolErrorText(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "out of memory";
  if (auto* x = dynamic_cast<const ccException*>(&e))
    return oneLine(x->message().empty() ? std::string(x->what()) : x->message());
  return oneLine(e.what());
}

std::vector<unsigned char> cfToolReadFile(const std::string& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (!fs::exists(st)) fail(path, "no such file");
  if (fs::is_directory(st)) fail(path, "is a directory");
  std::ifstream in(path, std::ios::binary);
  if (!in) fail(path, std::string("cannot open: ") + std::strerror(errno));
  std::vector<unsigned char> bytes;
  try {
    // A regular file is read at once into a buffer of its size; anything else as it comes.
    if (fs::is_regular_file(st)) {
      bytes.resize(static_cast<std::size_t>(fs::file_size(path)));
      in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      bytes.resize(static_cast<std::size_t>(in.gcount()));
      if (in.peek() != std::char_traits<char>::eof()) fail(path, "changed while it was read");
      in.clear();
    } else {
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  } catch (const ccToolError&) {
    throw;
  } catch (const std::exception&) {
    fail(path, "cannot read");
  }
  if (in.bad()) fail(path, "cannot read");
  return bytes;
}

namespace {

// Checks the file archive's header with messages that say what the file is (the file archive
// checks it again as it loads).
void checkHeader(const std::string& path, const std::vector<unsigned char>& bytes) {
  const std::size_t magicSize = 8, headerSize = ccFileArchive::kHeaderSize;
  const auto* magic = reinterpret_cast<const unsigned char*>(ccFileArchive::kMagic);
  if (bytes.empty()) fail(path, "empty file, not a sketch or graphic-list archive");
  const std::size_t n = std::min(bytes.size(), magicSize);
  if (std::memcmp(bytes.data(), magic, n) != 0)
    fail(path, "not a sketch or graphic-list archive (no DISPCARC header)");
  if (bytes.size() < headerSize)
    fail(path, "truncated archive (" + std::to_string(bytes.size()) + " bytes, shorter than the " +
                   std::to_string(headerSize) + "-byte header)");
  const std::uint32_t format =
      static_cast<std::uint32_t>(bytes[8]) | static_cast<std::uint32_t>(bytes[9]) << 8 |
      static_cast<std::uint32_t>(bytes[10]) << 16 | static_cast<std::uint32_t>(bytes[11]) << 24;
  if (format != ccArchive::eFormat1 && format != ccArchive::eFormat2)
    fail(path, "archive format " + std::to_string(format) + " is not supported (expected 1 or 2)");
  if (bytes.size() == headerSize) fail(path, "truncated archive (nothing after the header)");
}

// Loads the file's one value (a sketch or a graphic list, `what`). Returns "" when it loaded to
// the end of the file; else what is wrong, with the offset where reading stopped in failedAt.
template <class T>
std::string tryLoad(std::vector<unsigned char> bytes, const std::string& path, T& value,
                    const char* what, std::size_t& failedAt) {
  failedAt = 0;
  try {
    ccFileArchive ar(std::move(bytes), path);
    try {
      ar || value;
    } catch (const std::exception& e) {
      failedAt = ar.position();
      return describeArchiveError(e);
    }
    if (ar.atEnd()) return "";
    failedAt = ar.position();
    return "malformed archive (" + std::to_string(ar.remaining()) +
           (ar.remaining() == 1 ? " byte" : " bytes") + " after the " + what + ")";
  } catch (const std::exception& e) {
    return describeArchiveError(e);
  }
}

}  // namespace

ccToolDrawing cfToolLoadDrawing(const std::string& path, ccUITablet::Layers listLayer) {
  std::vector<unsigned char> bytes = cfToolReadFile(path);
  checkHeader(path, bytes);
  // A sketch starts with its version, 1 (or 0 in older files); a graphic list with its version
  // 0 and its count. A file that starts with 0 is read both ways: the reading that goes further
  // before it fails is what the file was meant as.
  const unsigned char version = bytes[ccFileArchive::kHeaderSize];
  if (version > 1)
    fail(path,
         "neither a sketch nor a graphic list (unknown version " + std::to_string(version) + ")");
  ccToolDrawing d;
  std::size_t sketchAt = 0, listAt = 0;
  std::string listError;
  if (version == 0) {
    ccGraphicList list;
    listError = tryLoad(bytes, path, list, "graphic list", listAt);
    if (listError.empty()) {
      for (const auto& g : list)
        d.graphicClasses.push_back(g ? cfClassName(typeid(*g)) : std::string("null"));
      try {
        d.sketch = list.sketch(listLayer);
      } catch (const std::exception& e) {
        fail(path, "cannot draw the graphic list: " + cfToolErrorText(e));
      }
      d.graphicList = true;
      return d;
    }
  }
  const std::string sketchError = tryLoad(std::move(bytes), path, d.sketch, "sketch", sketchAt);
  if (sketchError.empty()) return d;
  if (version == 0 && listAt > sketchAt) fail(path, listError + " (read as a graphic list)");
  fail(path, sketchError + (version == 0 ? " (read as a sketch)" : ""));
}

ccUISketch cfToolLoadSketch(const std::string& path) {
  return cfToolLoadDrawing(path, ccUITablet::eOverlayLayer).sketch;
}

ccToolError cfToolSketchError(const std::string& path, const std::exception& e) {
  return ccToolError(oneLine(path + ": " + describeArchiveError(e)));
}

void cfToolStoreSketch(const ccUISketch& s, const std::string& path) {
  ccToolOutputFile out(path);
  try {
    ccFileArchive f(out.tempPath(), ccArchive::eStoring);
    try {
      f || const_cast<ccUISketch&>(s);  // storing does not change the sketch
    } catch (const std::exception& e) {
      fail(path, "cannot archive the sketch: " + describeArchiveError(e, true));
    }
    f.close();
  } catch (const ccToolError&) {
    throw;
  } catch (const std::exception& e) {
    throw out.writeError(e);
  }
  out.commit();
}

// ---- Output files

namespace {

// The file a path names: symbolic links followed to their target (which need not exist).
std::string linkTarget(const std::string& path) {
  fs::path p(path);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p.string();
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) fail(path, "cannot read the symbolic link: " + ec.message());
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  fail(path, "too many levels of symbolic links");
}

}  // namespace

ccToolOutputFile::ccToolOutputFile(const std::string& path) : path_(path) {
  if (fs::path(path).filename().empty()) fail(path, "not a file name");
  target_ = linkTarget(path);
  struct stat st;
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) fail(path, "is a directory");
  // A device, pipe or socket is written to, never replaced; the temporary file goes to the
  // temporary directory then.
  writeThrough_ = exists && !S_ISREG(st.st_mode);
  if (exists && !writeThrough_ && ::access(target_.c_str(), W_OK) != 0)
    fail(path,
         std::string("will not replace a file you cannot write (") + std::strerror(errno) + ")");
  std::error_code ec;
  const fs::path target(target_);
  const fs::path dir = writeThrough_              ? fs::temp_directory_path(ec)
                       : target.has_parent_path() ? target.parent_path()
                                                  : fs::path(".");
  std::string pattern = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const int fd = ::mkstemp(buf.data());
  if (fd < 0) fail(path, std::string("cannot create the file: ") + std::strerror(errno));
  ::close(fd);
  temp_ = buf.data();
  if (exists && !writeThrough_) {
    replaced_ = true;
    mode_ = st.st_mode & 07777;
    owner_ = st.st_uid;
    group_ = st.st_gid;
  } else {
    // mkstemp makes the file private; a new file gets the permissions the umask leaves.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode_ = 0666 & ~mask;
  }
}

ccToolOutputFile::~ccToolOutputFile() {
  if (!committed_ && !temp_.empty()) std::remove(temp_.c_str());
}

void ccToolOutputFile::commit() {
  if (!writeThrough_) {
    // Set here, as writers may have replaced the temporary file: the replacement keeps the
    // owner (where allowed) and the permissions of the file it replaces.
    if (replaced_ && ::chown(temp_.c_str(), owner_, group_) != 0) {
      // Only root may give a file away: others' replacements are their own.
    }
    ::chmod(temp_.c_str(), mode_);
  }
  if (writeThrough_) {
    copyToTarget();
  } else if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
    fail(path_, std::string("cannot write: ") + std::strerror(errno));
  }
  committed_ = true;
}

void ccToolOutputFile::copyToTarget() {
  const std::vector<unsigned char> bytes = cfToolReadFile(temp_);
  const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) fail(path_, std::string("cannot open for writing: ") + std::strerror(errno));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = errno;
      ::close(fd);
      fail(path_, std::string("cannot write: ") + std::strerror(error));
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) fail(path_, std::string("cannot write: ") + std::strerror(errno));
  std::remove(temp_.c_str());
}

ccToolError ccToolOutputFile::writeError(const std::exception& e) const {
  std::string text = cfToolErrorText(e);
  bool named = false;
  for (std::size_t at; (at = text.find(temp_)) != std::string::npos; named = true)
    text.replace(at, temp_.size(), path_);
  return ccToolError(named ? text : path_ + ": cannot write: " + text);
}

// ---- Formatting

std::string cfToolNumber(double v) {
  if (v == 0) return "0";  // also -0
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

std::string cfToolPoint(double x, double y) {
  return "(" + cfToolNumber(x) + ", " + cfToolNumber(y) + ")";
}

std::string cfToolColorName(const ccColor& c) {
  struct Named {
    const char* name;
    const ccColor& (*get)();
  };
  static const Named kStock[] = {
      {"black", &ccColor::blackColor},     {"dkGrey", &ccColor::dkGreyColor},
      {"grey", &ccColor::greyColor},       {"ltGrey", &ccColor::ltGreyColor},
      {"white", &ccColor::whiteColor},     {"red", &ccColor::redColor},
      {"dkRed", &ccColor::dkRedColor},     {"orange", &ccColor::orangeColor},
      {"yellow", &ccColor::yellowColor},   {"green", &ccColor::greenColor},
      {"dkGreen", &ccColor::dkGreenColor}, {"cyan", &ccColor::cyanColor},
      {"blue", &ccColor::blueColor},       {"purple", &ccColor::purpleColor},
      {"magenta", &ccColor::magentaColor}, {"pass", &ccColor::passColor},
  };
  if (c.isStockColor() || c.isIndexColor())
    for (const Named& n : kStock)
      if (c == n.get()) return n.name;
  char buf[32];
  if (c.isRGBColor()) {
    std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(c.rgb()));
    return buf;
  }
  if (c.isIndexColor()) return "index " + std::to_string(c.index());
  std::snprintf(buf, sizeof buf, "kind 0x%02X", c.kind());
  return buf;
}

std::string cfToolPropsChanges(const ccGraphicProps& a, const ccGraphicProps& b) {
  static const char* const kStyles[] = {"solid", "dash", "dot", "dashdot", "dashdotdot", "null"};
  static const char* const kJoins[] = {"miter", "round", "bevel"};
  static const char* const kCaps[] = {"flat", "round", "square"};
  auto name = [](const char* const* names, int n, long v) {
    return v >= 0 && v < n ? std::string(names[v]) : std::to_string(v);
  };
  auto onOff = [](bool v) { return std::string(v ? "on" : "off"); };
  std::string out;
  auto add = [&](const std::string& s) { out += (out.empty() ? "" : ", ") + s; };
  if (a.penWidth() != b.penWidth()) add("width " + std::to_string(b.penWidth()));
  if (a.penStyle() != b.penStyle()) add("style " + name(kStyles, 6, b.penStyle()));
  if (a.fill() != b.fill()) add("fill " + onOff(b.fill()));
  if (a.penJoin() != b.penJoin()) add("join " + name(kJoins, 3, b.penJoin()));
  if (a.penEndCap() != b.penEndCap()) add("cap " + name(kCaps, 3, b.penEndCap()));
  if (a.arrowHead() != b.arrowHead()) add("arrowhead " + onOff(b.arrowHead()));
  if (a.arrowHeadForward() != b.arrowHeadForward())
    add(std::string("arrowhead ") + (b.arrowHeadForward() ? "forward" : "backward"));
  if (a.showVertex() != b.showVertex()) add("vertices " + onOff(b.showVertex()));
  return out;
}

// ---- Parsing

bool cfToolParseLong(const std::string& s, long& v) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long r = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  v = r;
  return true;
}

bool cfToolParseDouble(const std::string& s, double& v) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double r = std::strtod(s.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(r)) return false;
  v = r;
  return true;
}

bool cfToolParsePair(const std::string& s, double& x, double& y, bool allowSingle) {
  const std::size_t comma = s.find(',');
  if (comma == std::string::npos) {
    if (!allowSingle || !cfToolParseDouble(s, x)) return false;
    y = x;
    return true;
  }
  return cfToolParseDouble(s.substr(0, comma), x) && cfToolParseDouble(s.substr(comma + 1), y);
}

bool cfToolParseSize(const std::string& s, long& w, long& h) {
  const std::size_t x = s.find_first_of("xX");
  if (x == std::string::npos) return false;
  long a = 0, b = 0;
  if (!cfToolParseLong(s.substr(0, x), a) || !cfToolParseLong(s.substr(x + 1), b)) return false;
  if (a <= 0 || b <= 0) return false;
  w = a;
  h = b;
  return true;
}

std::string cfToolExtension(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

int cfToolMain(const char* program, int (*run)(int, char**), int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const ccToolUsageError& e) {
    std::fprintf(stderr, "%s: %s (see %s --help)\n", program, cfToolErrorText(e).c_str(), program);
    return 2;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program, cfToolErrorText(e).c_str());
    return 1;
  }
}
