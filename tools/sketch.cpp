// dispc-sketch: lists, joins and cuts sketch files.
//
// Wherever a sketch file is read, a graphic-list file may stand: it is taken as the sketch of its
// drawing on the overlay layer (so "cat -o OUT LIST" turns a graphic list into a sketch file).
//
//   dispc-sketch [list] FILE...            one line per operation, then totals
//   dispc-sketch cat -o OUT FILE...        the operations of every FILE in order, into OUT
//   dispc-sketch cut -o OUT FILE RANGE     operations RANGE of FILE (A:B, A:, :B or N) into OUT
//
// Joining and cutting keep each operation's look: where an operation taken over relied on
// props set by an operation left behind (or by another file), the props are written before it.
#include "toolsupport.h"

#include <dispc/sketchformat.h>
#include <dispc/sketchop.h>
#include <dispc/uisketch.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

const char* const kProgram = "dispc-sketch";

const char* const kUsage =
    "Usage: dispc-sketch [list] FILE...\n"
    "       dispc-sketch cat -o OUT FILE...\n"
    "       dispc-sketch cut -o OUT FILE RANGE\n"
    "\n"
    "Lists, joins and cuts sketch files (file archives holding one recorded sketch). A FILE\n"
    "may also be an archived graphic list: it stands for the sketch of its drawing on the\n"
    "overlay layer, and list names its graphics first.\n"
    "\n"
    "Commands:\n"
    "  list   print each operation on one line: index, opcode, operation class, layer,\n"
    "         pen colour, props that change there, payload summary and size; then totals\n"
    "         (the default when the first argument is not a command)\n"
    "  cat    write the operations of every FILE, in order, as one sketch to OUT\n"
    "  cut    write operations RANGE of FILE to OUT; RANGE is A:B (A to B - 1), A: (A to the\n"
    "         end), :B (0 to B - 1) or N (operation N alone), indices as list prints them\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT   the sketch file to write (cat, cut); written whole or not at all\n"
    "  -h, --help         show this help\n"
    "\n"
    "Exit status: 0 on success, 1 when a file is missing, truncated or malformed (one line on\n"
    "standard error names the file and what is wrong), 2 for bad usage.\n";

// ---- The props in force along a stream

using PropsRecord = std::array<unsigned char, kSketchPropsRecordSize>;

PropsRecord recordOf(const ccGraphicProps& p) {
  std::vector<unsigned char> v;
  cfSketchPutProps(v, p);
  PropsRecord r;
  std::memcpy(r.data(), v.data(), r.size());
  return r;
}

const PropsRecord& defaultRecord() {
  static const PropsRecord r = recordOf(ccGraphicProps());
  return r;
}

ccGraphicProps propsOf(const unsigned char* record) {
  ccGraphicProps p;
  ccSketchReader r(record, kSketchPropsRecordSize);
  r.readProps(p);
  return p;
}

// Appends operations [first, last) of src to out. outProps is the props record in force at the
// end of out, and is kept up to date: an operation without a props prefix whose props in src
// differ from outProps gets a prefix with its props.
void appendOperations(std::vector<unsigned char>& out, PropsRecord& outProps, const ccUISketch& src,
                      std::size_t first, std::size_t last) {
  PropsRecord srcProps = defaultRecord();
  ccSketchWalker walker(src.data(), static_cast<std::size_t>(src.length()));
  ccSketchOperation op;
  for (std::size_t i = 0; i < last && walker.next(op); ++i) {
    if (op.hasProps()) std::memcpy(srcProps.data(), op.props, srcProps.size());
    if (i < first) continue;
    if (!op.hasProps() && srcProps != outProps) {
      out.push_back(static_cast<unsigned char>(kSketchPropsOpcode));
      out.insert(out.end(), srcProps.begin(), srcProps.end());
    }
    out.insert(out.end(), src.data() + op.offset, src.data() + op.offset + op.size);
    outProps = srcProps;
  }
}

ccUISketch sketchOf(const std::vector<unsigned char>& bytes) {
  ccUISketch s;
  s.append(bytes.data(), static_cast<long>(bytes.size()));
  return s;
}

// ---- Listing

const char* layerName(int l) {
  switch (l) {
    case 0:
      return "image";
    case 1:
      return "overlay";
    case 2:
      return "both";
    default:
      return "?";
  }
}

std::string pt(const ccVector<2>& v) { return cfToolPoint(v.x(), v.y()); }
std::string num(double v) { return cfToolNumber(v); }
std::string deg(const ccRadian& a) { return num(ccDegree(a).toDouble()) + " deg"; }
std::string uiRect(const ccUIRect& r) {
  return std::to_string(r.width()) + "x" + std::to_string(r.height()) + " px at (" +
         std::to_string(r.left()) + ", " + std::to_string(r.top()) + ")";
}
std::string rect(const ccRect& r) {
  return num(r.width()) + "x" + num(r.height()) + " at " + pt(r.ul());
}
std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  if (out.size() > 42) out = out.substr(0, 38) + "...";
  return out + "\"";
}

// "4 vertices, closed, 2 rounded, mapped".
std::string genPoly(const ccGenPoly& g) {
  long rounded = 0;
  for (long i = 0; i < g.numVertices(); ++i) rounded += g.vertexRoundingSize(i) != 0;
  std::string out =
      std::to_string(g.numVertices()) + " vertices, " + (g.isOpen() ? "open" : "closed");
  if (rounded) out += ", " + std::to_string(rounded) + " rounded";
  return g.isMutable() ? out : out + ", mapped";
}

// "1 operation", "2 operations".
std::string count(std::size_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

template <class T>
const T* as(const cc_UISketchOpData& d) {
  return dynamic_cast<const T*>(&d);
}

// A short description of what the operation draws.
std::string describe(long opcode, const cc_UISketchOpData& d) {
  if (auto* x = as<cc_UISketchOpPointBase>(d)) {
    if (opcode == 20) return "pen to " + pt(x->point());
    if (opcode == 21) return "stroke to " + pt(x->point());
    return "at " + pt(x->point());
  }
  if (auto* x = as<cc_UISketchOpLineSeg>(d))
    return pt(x->lineSeg().p1()) + " to " + pt(x->lineSeg().p2());
  if (auto* x = as<cc_UISketchOpLine>(d))
    return "through " + pt(x->line().pos()) + " at " + deg(x->line().angle());
  if (auto* x = as<cc_UISketchOpCircle>(d))
    return "centre " + pt(x->circle().center()) + " radius " + num(x->circle().radius());
  if (auto* x = as<cc_UISketchOpEllipse>(d))
    return "centre " + pt(x->ellipse().center()) + " radii " + pt(x->ellipse().radii()) +
           " rotated " + deg(x->ellipse().rotation());
  if (auto* x = as<cc_UISketchOpEllipseArc>(d))
    return "centre " + pt(x->arc().ellipse().center()) + " radii " +
           pt(x->arc().ellipse().radii()) + " from " + deg(x->arc().phi1()) + " to " +
           deg(x->arc().phi2());
  if (auto* x = as<cc_UISketchOpEllipseAnnSect>(d))
    return "centre " + pt(x->section().outer().center()) + " span " + deg(x->section().angleSpan());
  if (auto* x = as<cc_UISketchOpGenRect>(d)) return "centre " + pt(x->genRect().center());
  if (auto* x = as<cc_UISketchOpGenAnn>(d)) return "centre " + pt(x->genAnnulus().outer().center());
  if (auto* x = as<cc_UISketchOpCoordAxes>(d))
    return "origin " + pt(x->axes().origin()) + ", x to " + pt(x->axes().xEnd()) + ", y to " +
           pt(x->axes().yEnd());
  if (auto* x = as<cc_UISketchOpString>(d))
    return quoted(x->text()) + " at " + pt(x->position()) + " align " +
           std::to_string(static_cast<int>(x->format().alignment()));
  if (auto* x = as<cc_UISketchOpPelBuf8>(d))
    return std::to_string(x->image().width()) + "x" + std::to_string(x->image().height()) +
           " 8-bit image at " + pt(x->position());
  if (auto* x = as<cc_UISketchOpRleBuf>(d))
    return std::to_string(x->image().width()) + "x" + std::to_string(x->image().height()) +
           " run-length image at " + pt(x->position());
  if (auto* x = as<cc_UISketchOpSketch>(d)) {
    std::string s = "nested sketch at offset " + pt(x->offset()) + ", ";
    try {
      s += count(cfSketchCountOperations(x->sketch().data(),
                                         static_cast<std::size_t>(x->sketch().length())),
                 "operation");
    } catch (const std::exception&) {
      s += "malformed";
    }
    return s;
  }
  if (auto* x = as<cc_UISketchOpRectKind>(d)) {
    std::string s = x->kind() ? uiRect(x->uiRect()) : rect(x->rect());
    if (auto* o = as<cc_UISketchOpOutline3d>(d))
      s += ", " + std::to_string(o->width()) + " px, dark " + cfToolColorName(o->color2());
    return s;
  }
  if (as<cc_UISketchOpSetAll>(d)) return "whole layer";
  if (auto* x = as<cc_UISketchOpFill>(d))
    return "from " +
           (x->kind() ? cfToolPoint(x->pixel().x(), x->pixel().y()) + " px" : pt(x->point())) +
           (x->fillType() == 0 ? " up to " : " over ") + cfToolColorName(x->color2());
  if (auto* x = as<cc_UISketchOpRelPelsBase>(d))
    return "by (" + std::to_string(x->dx()) + ", " + std::to_string(x->dy()) + ") px";
  if (auto* x = as<cc_UISketchOpArrow>(d))
    return "tip " + pt(x->tip()) + " direction " + pt(x->direction()) + " arms " + num(x->size());
  if (auto* x = as<cc_UISketchOpAffineRect>(d))
    return "corner " + pt(x->affineRect().cornerPo()) + " sides " + pt(x->affineRect().sideX()) +
           " and " + pt(x->affineRect().sideY());
  if (auto* x = as<cc_UISketchOpPolygon>(d))
    return std::to_string(x->polygon().numVertices()) + " vertices, fill mode " +
           std::to_string(static_cast<long>(x->polygon().fillMode()));
  if (auto* x = as<cc_UISketchOpRectBase>(d)) return rect(x->rect());
  if (auto* x = as<cc_UISketchOpGenShape>(d))
    return std::to_string(x->dataSize()) + " bytes of shape data, " + cfToolColorName(x->color());
  if (auto* x = as<cc_UISketchOpUnicodeString>(d))
    return std::to_string(x->text().size()) + " UTF-16 units at " + pt(x->position());
  if (auto* x = as<cc_UISketchOpCross>(d))
    return "at " + pt(x->cross().center()) + " arms " + std::to_string(x->cross().armlength()) +
           " at " + deg(x->cross().angle());
  if (auto* x = as<cc_UISketchOpBezierCurve>(d))
    return pt(x->curve().controlPoint(0)) + " to " + pt(x->curve().controlPoint(3));
  if (auto* x = as<cc_UISketchOpCubicSpline>(d))
    return std::to_string(x->curves().size()) + " curves";
  if (auto* x = as<cc_UISketchOpPolyline>(d))
    return std::to_string(x->polyline().numVertices()) + " vertices, " +
           (x->closed() ? "closed" : "open");
  if (auto* x = as<cc_UISketchOpGenPoly>(d)) return genPoly(x->genPoly());
  if (auto* x = as<cc_UISketchOpWireframe>(d))
    return genPoly(x->wireframe()) + (x->wireframe().isPolarityReversed() ? ", reversed" : "");
  if (auto* x = as<cc_UISketchOpEllipse2>(d))
    return "centre " + pt(x->ellipse().center()) + " radii " + pt(x->ellipse().radii());
  if (auto* x = as<cc_UISketchOpEllipseArc2>(d))
    return "from " + deg(x->arc().phiStart()) + " over " + deg(x->arc().phiSpan());
  return "";
}

// The payload summary: the description (when the payload was decoded) and the payload's size.
std::string payloadSummary(const ccSketchOperation& op, const std::string& description) {
  const std::string size = std::to_string(op.payloadSize) + " bytes";
  return description.empty() ? size : description + "; " + size;
}

void list(const std::string& path, bool title) {
  const ccToolDrawing drawing = cfToolLoadDrawing(path, ccUITablet::eOverlayLayer);
  const ccUISketch& s = drawing.sketch;
  const std::size_t size = static_cast<std::size_t>(s.length());
  // Walk everything before printing, so that a malformed stream prints nothing but the error.
  // A payload that does not decode is listed all the same.
  std::vector<ccSketchOperation> ops;
  std::vector<std::string> summaries;
  try {
    cfForEachSketchOp(
        s.data(), size,
        [&](cc_UISketchOpHeader&, cc_UISketchOpData& d, const ccSketchOperation& op) {
          std::string description;
          try {
            description = describe(op.opcode, d);
          } catch (const std::exception&) {
            description = "(not decoded)";
          }
          ops.push_back(op);
          summaries.push_back(payloadSummary(op, description));
        },
        ccSketchForm::eCurrent,
        [&](const ccSketchOperation& op, const std::exception&) {
          ops.push_back(op);
          summaries.push_back(payloadSummary(op, "(not decoded)"));
        });
  } catch (const std::exception& e) {
    throw cfToolSketchError(path, e);
  }

  if (title) std::printf("%s:\n", path.c_str());
  if (drawing.graphicList) {
    // The graphics by class, in the order they first appear; then their drawing's operations.
    std::vector<std::pair<std::string, std::size_t>> classes;
    for (const std::string& c : drawing.graphicClasses) {
      auto it =
          std::find_if(classes.begin(), classes.end(), [&](const auto& e) { return e.first == c; });
      if (it == classes.end())
        classes.emplace_back(c, 1);
      else
        ++it->second;
    }
    std::string line = "graphic list of " + count(drawing.graphicClasses.size(), "graphic");
    for (std::size_t i = 0; i < classes.size(); ++i)
      line += (i ? ", " : ": ") + classes[i].first + " " + std::to_string(classes[i].second);
    std::printf("%s; drawn on the overlay layer as:\n", line.c_str());
  }
  std::printf("%5s %3s  %-40s  %-7s  %-9s  %s\n", "index", "op", "class", "layer", "colour",
              "props / payload");
  ccGraphicProps inForce;
  std::size_t withProps = 0, layerCount[3] = {0, 0, 0};
  std::map<int, std::size_t> byOpcode;
  for (std::size_t i = 0; i < ops.size(); ++i) {
    const ccSketchOperation& op = ops[i];
    std::string props;
    if (op.hasProps()) {
      ++withProps;
      const ccGraphicProps p = propsOf(op.props);
      props = cfToolPropsChanges(inForce, p);
      if (!props.empty()) props = "props {" + props + "}  ";
      inForce = p;
    }
    const int layer = op.layer >= 0 && op.layer <= 2 ? op.layer : 2;
    ++layerCount[layer];
    ++byOpcode[op.opcode];
    std::printf("%5zu %3d  %-40s  %-7s  %-9s  %s%s\n", i, static_cast<int>(op.opcode),
                cfSketchOpName(op.opcode), layerName(op.layer),
                cfToolColorName(op.penColor()).c_str(), props.c_str(), summaries[i].c_str());
  }

  std::printf("%s, %s, %zu with props; image layer %zu, overlay %zu",
              count(ops.size(), "operation").c_str(), count(size, "byte").c_str(), withProps,
              layerCount[0], layerCount[1]);
  if (layerCount[2]) std::printf(", both %zu", layerCount[2]);
  std::printf("\n");
  if (!byOpcode.empty()) {
    std::string line = "by opcode:";
    for (const auto& [code, count] : byOpcode)
      line += " " + std::string(kSketchOpTable[code].name) + " " + std::to_string(count) + ",";
    line.pop_back();
    std::printf("%s\n", line.c_str());
  }
}

// ---- Commands

std::size_t countOperations(const ccUISketch& s, const std::string& path) {
  try {
    return cfSketchCountOperations(s.data(), static_cast<std::size_t>(s.length()));
  } catch (const std::exception& e) {
    throw cfToolSketchError(path, e);
  }
}

void cat(const std::vector<std::string>& inputs, const std::string& output) {
  std::vector<unsigned char> bytes;
  PropsRecord props = defaultRecord();
  std::size_t total = 0;
  for (const std::string& in : inputs) {
    const ccUISketch s = cfToolLoadSketch(in);
    const std::size_t n = countOperations(s, in);
    appendOperations(bytes, props, s, 0, n);
    total += n;
  }
  cfToolStoreSketch(sketchOf(bytes), output);
  std::printf("wrote %s: %s from %s\n", output.c_str(), count(total, "operation").c_str(),
              count(inputs.size(), "file").c_str());
}

// "A:B", "A:", ":B" or "N" into [first, last); false when malformed or reversed.
bool parseRange(const std::string& s, std::size_t count, std::size_t& first, std::size_t& last) {
  const std::size_t colon = s.find(':');
  long a = 0, b = static_cast<long>(count);
  if (colon == std::string::npos) {
    if (!cfToolParseLong(s, a)) return false;
    b = a + 1;
  } else {
    const std::string left = s.substr(0, colon), right = s.substr(colon + 1);
    if (!left.empty() && !cfToolParseLong(left, a)) return false;
    if (!right.empty() && !cfToolParseLong(right, b)) return false;
  }
  if (a < 0 || b < 0 || a > b) return false;
  first = static_cast<std::size_t>(a);
  last = static_cast<std::size_t>(b);
  return true;
}

void cut(const std::string& input, const std::string& range, const std::string& output) {
  const ccUISketch s = cfToolLoadSketch(input);
  const std::size_t n = countOperations(s, input);
  std::size_t first = 0, last = 0;
  if (!parseRange(range, n, first, last))
    throw ccToolUsageError("bad range \"" + range +
                           "\" (expected A:B with A <= B, A:, :B or N; indices from 0)");
  if (last > n)
    throw ccToolError(input + ": range " + range + " is outside its " + std::to_string(n) +
                      " operations");
  std::vector<unsigned char> bytes;
  PropsRecord props = defaultRecord();
  appendOperations(bytes, props, s, first, last);
  cfToolStoreSketch(sketchOf(bytes), output);
  std::printf("wrote %s: operations %zu:%zu of %s (%s)\n", output.c_str(), first, last,
              input.c_str(), count(last - first, "operation").c_str());
}

// A first argument that is no command and no file, and reads like a word rather than a file
// name, is taken for a mistyped command.
bool looksLikeCommand(const std::string& a) {
  std::error_code ec;
  if (a.empty() || std::filesystem::exists(a, ec)) return false;
  for (char c : a)
    if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && c != '-' && c != '_') return false;
  return a[0] != '-';
}

int run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string command = "list";
  if (!args.empty() && (args[0] == "list" || args[0] == "cat" || args[0] == "cut")) {
    command = args[0];
    args.erase(args.begin());
  } else if (!args.empty() && looksLikeCommand(args[0])) {
    throw ccToolUsageError("unknown command \"" + args[0] + "\" (commands: list, cat, cut)");
  }
  std::string output;
  bool outputGiven = false;
  auto setOutput = [&](const std::string& path) {
    if (outputGiven) throw ccToolUsageError("-o given twice (one output file per run)");
    if (path.empty()) throw ccToolUsageError("-o needs a file name");
    output = path;
    outputGiven = true;
  };
  std::vector<std::string> files;
  bool optionsDone = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsDone && (a == "-h" || a == "--help")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!optionsDone && (a == "-o" || a == "--output")) {
      if (i + 1 >= args.size()) throw ccToolUsageError(a + " needs a file name");
      setOutput(args[++i]);
    } else if (!optionsDone && a.rfind("--output=", 0) == 0) {
      setOutput(a.substr(9));
    } else if (!optionsDone && a == "--") {
      optionsDone = true;
    } else if (!optionsDone && a.size() > 1 && a[0] == '-') {
      throw ccToolUsageError("unknown option " + a);
    } else {
      files.push_back(a);
    }
  }

  if (command == "list") {
    if (outputGiven) throw ccToolUsageError("list writes no file: -o is for cat and cut");
    if (files.empty()) throw ccToolUsageError("no sketch file given");
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (i) std::printf("\n");
      list(files[i], files.size() > 1);
    }
  } else if (command == "cat") {
    if (!outputGiven) throw ccToolUsageError("cat needs -o OUT");
    if (files.empty()) throw ccToolUsageError("cat needs at least one sketch file");
    cat(files, output);
  } else {
    if (!outputGiven) throw ccToolUsageError("cut needs -o OUT");
    if (files.size() != 2) throw ccToolUsageError("cut needs a sketch file and a range");
    cut(files[0], files[1], output);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return cfToolMain(kProgram, run, argc, argv); }
