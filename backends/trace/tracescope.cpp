#include <backends/trace/tracescope.h>

#include <dispc/tolfloor.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace {

// ---- Printing

// Vectors print at most this many elements.
constexpr std::size_t kMaxPrinted = 64;

std::string fmtDouble(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  char buf[40];
  if (v == 0) return "0";  // -0 too
  if (v == std::trunc(v) && std::fabs(v) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", v);  // whole numbers without an exponent
    return buf;
  }
  // The shortest form that reads back exactly.
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, v);
    if (std::strtod(buf, nullptr) == v) break;
  }
  return buf;
}

std::string fmtColor(const ccColor& c) {
  const ccRGB& t = c.rgbStruct();
  const std::string triple =
      std::to_string(t.r()) + "," + std::to_string(t.g()) + "," + std::to_string(t.b());
  if (c.isStockColor()) return "stock(" + std::to_string(c.index()) + "," + triple + ")";
  if (c.isRGBColor()) return "rgb(" + triple + ")";
  return "idx(" + std::to_string(c.index()) + ")";
}

std::string fmtString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char ch : s) {
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += static_cast<char>(ch);
    } else if (ch == '\n') {
      out += "\\n";
    } else if (ch < 0x20 || ch == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", ch);
      out += buf;
    } else {
      out += static_cast<char>(ch);
    }
  }
  return out + "\"";
}

std::string fmtPoint(const ccVector<2>& p) {
  return "(" + fmtDouble(p.x()) + "," + fmtDouble(p.y()) + ")";
}

std::string fmtRect(const ccUIRect& r) {
  if (r.isNull()) return "null";
  return "(" + std::to_string(r.left()) + "," + std::to_string(r.top()) + " " +
         std::to_string(r.width()) + "x" + std::to_string(r.height()) + ")";
}

std::string fmtProps(const ccGraphicProps& p) {
  static const ccGraphicProps defaults;
  std::string s = "color=" + fmtColor(p.penColor()) + " width=" + std::to_string(p.penWidth());
  if (p.penStyle() != defaults.penStyle()) s += " style=" + std::to_string(p.penStyle());
  if (p.fill() != defaults.fill()) s += p.fill() ? " fill=true" : " fill=false";
  if (p.penJoin() != defaults.penJoin()) s += " join=" + std::to_string(p.penJoin());
  if (p.penEndCap() != defaults.penEndCap()) s += " cap=" + std::to_string(p.penEndCap());
  if (p.arrowHead() != defaults.arrowHead()) {
    s += p.arrowHead() ? " arrowHead=true" : " arrowHead=false";
  }
  if (p.arrowHeadForward() != defaults.arrowHeadForward()) {
    s += p.arrowHeadForward() ? " arrowHeadForward=true" : " arrowHeadForward=false";
  }
  if (p.showVertex() != defaults.showVertex()) {
    s += p.showVertex() ? " showVertex=true" : " showVertex=false";
  }
  return s;
}

template <class T, class F>
std::string fmtList(const std::vector<T>& v, F fmt) {
  std::string s = "[";
  for (std::size_t i = 0; i < v.size() && i < kMaxPrinted; ++i) {
    if (i) s += ",";
    s += fmt(v[i]);
  }
  if (v.size() > kMaxPrinted) s += ",...(+" + std::to_string(v.size() - kMaxPrinted) + ")";
  return s + "]";
}

struct ValuePrinter {
  std::string operator()(bool v) const { return v ? "true" : "false"; }
  std::string operator()(long v) const { return std::to_string(v); }
  std::string operator()(double v) const { return fmtDouble(v); }
  std::string operator()(const std::string& v) const { return fmtString(v); }
  std::string operator()(const ccTraceWord& v) const { return v.word; }
  std::string operator()(const ccVector<2>& v) const { return fmtPoint(v); }
  std::string operator()(const ccPair<long>& v) const {
    return "(" + std::to_string(v.first) + "," + std::to_string(v.second) + ")";
  }
  std::string operator()(const ccPair<double>& v) const {
    return "(" + fmtDouble(v.first) + "," + fmtDouble(v.second) + ")";
  }
  std::string operator()(const ccUIRect& v) const { return fmtRect(v); }
  std::string operator()(const ccColor& v) const { return fmtColor(v); }
  std::string operator()(const ccGraphicProps& v) const { return fmtProps(v); }
  std::string operator()(const ccUIFormat& v) const {
    return "font=" + std::to_string(v.fontId()) + " align=" + std::to_string(v.alignment());
  }
  std::string operator()(const std::vector<long>& v) const {
    return fmtList(v, [](long x) { return std::to_string(x); });
  }
  std::string operator()(const std::vector<double>& v) const { return fmtList(v, fmtDouble); }
  std::string operator()(const std::vector<ccVector<2>>& v) const { return fmtList(v, fmtPoint); }
  std::string operator()(const std::vector<ccColor>& v) const { return fmtList(v, fmtColor); }
  std::string operator()(const std::vector<ccRGB>& v) const {
    return fmtList(v, [](const ccRGB& c) {
      return "rgb(" + std::to_string(c.r()) + "," + std::to_string(c.g()) + "," +
             std::to_string(c.b()) + ")";
    });
  }
};

// ---- Argument building

// Appends named values to a call.
class Args {
 public:
  explicit Args(ccTraceCall& c) : c_(c) {}
  Args& operator()(const char* key, ccTraceValue v) {
    c_.args.emplace_back(key, std::move(v));
    return *this;
  }

 private:
  ccTraceCall& c_;
};

Args with(ccTraceCall& c) { return Args(c); }

ccVector<2> pt(const ccVector<2>& p) { return p; }
ccTraceValue num(long v) { return ccTraceValue(v); }
ccTraceValue flag(bool v) { return ccTraceValue(v); }
ccTraceValue text(const std::string& s) { return ccTraceValue(s); }
ccTraceValue angle(const ccRadian& a) { return ccTraceValue(a.toDouble()); }

long pelValue(unsigned char v) { return v; }
long pelValue(unsigned short v) { return v; }
long pelValue(ccPackedRGB16Pel v) { return v.packed(); }
long pelValue(ccPackedRGB32Pel v) { return static_cast<long>(v.packed()); }

const char* pelWord(unsigned char) { return "grey8"; }
const char* pelWord(unsigned short) { return "grey16"; }
const char* pelWord(ccPackedRGB16Pel) { return "rgb16"; }
const char* pelWord(ccPackedRGB32Pel) { return "rgb32"; }

template <class T>
std::vector<long> pelsOf(const ccPelBuffer_const<T>& image) {
  std::vector<long> out;
  if (!image.isBound() || image.width() == 0) return out;
  out.reserve(static_cast<std::size_t>(image.width() * image.height()));
  for (long y = 0; y < image.height(); ++y) {
    const T* row = image.pointToRow(y);
    for (long x = 0; x < image.width(); ++x) out.push_back(pelValue(row[x]));
  }
  return out;
}

// Size, offset and pels of an image.
template <class T>
void imageArgs(Args& a, const char* pel, const ccPelBuffer_const<T>& image) {
  a("pel", ccTraceWord{pel})("size", ccPair<long>(image.width(), image.height()))(
      "offset", image.offset())("pels", pelsOf(image));
}

// Size, offset and run bytes of every row (each ending with its zero-length run).
void rleArgs(Args& a, const ccRLEBuffer& image) {
  std::vector<long> runs;
  for (long y = 0; y < image.height(); ++y) {
    const unsigned char* row = image.pointToRow(y);
    const std::size_t n = image.rowBytes(y);
    runs.insert(runs.end(), row, row + n);
  }
  a("size", ccPair<long>(image.width(), image.height()))("offset", image.offset())("runs", runs);
}

void ellipseArgs(Args& a, const ccEllipse& e) {
  a("center", pt(e.center()))("radii", pt(e.radii()))("rotation", angle(e.rotation()))(
      "reflected", flag(e.reflected()));
}

void ellipse2Args(Args& a, const ccEllipse2& e) {
  a("center", pt(e.center()))("radii", pt(e.radii()))("rotation", angle(e.rotation()))(
      "reflected", flag(e.reflected()))("phase", angle(e.phase()));
}

}  // namespace

// ---- ccTraceCall

bool ccTraceCall::has(const std::string& key) const {
  for (const auto& a : args) {
    if (a.first == key) return true;
  }
  return false;
}

const ccTraceValue& ccTraceCall::arg(const std::string& key) const {
  for (const auto& a : args) {
    if (a.first == key) return a.second;
  }
  throw std::out_of_range("no argument " + key + " in " + name);
}

const std::string& ccTraceCall::text(const std::string& key) const {
  const ccTraceValue& v = arg(key);
  if (const ccTraceWord* w = std::get_if<ccTraceWord>(&v)) return w->word;
  return std::get<std::string>(v);
}

double ccTraceCall::number(const std::string& key) const {
  const ccTraceValue& v = arg(key);
  if (const long* l = std::get_if<long>(&v)) return static_cast<double>(*l);
  return std::get<double>(v);
}

std::string ccTraceCall::str() const {
  std::string s;
  if (scope != 0) s = "#" + std::to_string(scope) + " ";
  s += name;
  for (const auto& a : args) {
    s += " ";
    // Props and formats print as their fields.
    const bool flat = std::holds_alternative<ccGraphicProps>(a.second) ||
                      std::holds_alternative<ccUIFormat>(a.second);
    if (!flat) s += a.first + "=";
    s += std::visit(ValuePrinter(), a.second);
  }
  return s;
}

// ---- ccTraceLog

std::vector<std::string> ccTraceLog::names() const {
  std::vector<std::string> out;
  out.reserve(calls_.size());
  for (const ccTraceCall& c : calls_) out.push_back(c.name);
  return out;
}

long ccTraceLog::count(const std::string& name) const {
  return static_cast<long>(std::count_if(calls_.begin(), calls_.end(),
                                         [&](const ccTraceCall& c) { return c.name == name; }));
}

const ccTraceCall& ccTraceLog::last() const {
  if (calls_.empty()) throw std::out_of_range("the trace log is empty");
  return calls_.back();
}

void ccTraceLog::print(std::ostream& os) const {
  for (const ccTraceCall& c : calls_) os << c.str() << '\n';
}

std::string ccTraceLog::str() const {
  std::ostringstream os;
  print(os);
  return os.str();
}

// ---- ccTraceScope

ccTraceScope::ccTraceScope(const ccUIRect& bounds)
    : ccTraceScope(bounds, std::make_shared<ccTraceLog>()) {}

ccTraceScope::ccTraceScope(const ccUIRect& bounds, std::shared_ptr<ccTraceLog> log,
                           const ccPair<long>& clipOffset)
    : ccPelScope(clipOffset),
      log_(log ? std::move(log) : std::make_shared<ccTraceLog>()),
      id_(log_->newScopeId()),
      bounds_(bounds) {}

ccTraceScope::~ccTraceScope() { add(call("destroy")); }

ccTraceCall ccTraceScope::call(const char* name) const {
  ccTraceCall c;
  c.name = name;
  c.scope = id_;
  return c;
}

void ccTraceScope::notePixels(long x0, long y0, long x1, long y1, long penWidth) {
  if (!noteChanges_) return;
  const long grow = std::max(penWidth, 0L) / 2;
  const long left = std::min(x0, x1) - grow, right = std::max(x0, x1) + grow;
  const long top = std::min(y0, y1) - grow, bottom = std::max(y0, y1) + grow;
  change(ccUIRect(left, top, right - left + 1, bottom - top + 1), false);
}

void ccTraceScope::noteShape(const ccShape& shape, long penWidth) {
  if (!noteChanges_) return;
  ccRect box;
  try {
    box = shape.boundingBox();
  } catch (const std::exception&) {
    return;  // no box, nothing noted
  }
  notePixels(xCoord(ccPoint(box.ul())), yCoord(ccPoint(box.ul())), xCoord(ccPoint(box.lr())),
             yCoord(ccPoint(box.lr())), penWidth);
}

void ccTraceScope::noteImage(const ccPoint& at, long width, long height,
                             const ccPair<double>& scale) {
  if (!noteChanges_) return;
  const long w = static_cast<long>(std::ceil(width * scale.first));
  const long h = static_cast<long>(std::ceil(height * scale.second));
  if (w > 0 && h > 0) change(ccUIRect(xCoord(at), yCoord(at), w, h), false);
}

void ccTraceScope::attach(const ccUIScope& parent, const ccUIRect& rect) {
  const auto* traced = dynamic_cast<const ccTraceScope*>(&parent);
  ccTraceCall c = call("attach");
  with(c)("parent", num(traced ? traced->id_ : -1))("rect", rect);
  add(std::move(c));
  bounds_ = rect & ccUIRect(ccPair<long>(), parent.scopeBounds().sz());
}

ccTraceScope* ccTraceScope::newSubScope(const ccUIRect& rect, bool temporary) {
  auto* sub = new ccTraceScope(ccUIRect::null, log_);
  sub->logQueries_ = logQueries_;
  sub->noteChanges_ = noteChanges_;
  sub->charSize_ = charSize_;
  ccTraceCall c = call("newSubScope");
  with(c)("rect", rect)("temporary", flag(temporary))("id", num(sub->id_));
  add(std::move(c));
  sub->move(*this, rect);
  return sub;
}

void ccTraceScope::dragStart() {
  dragging_ = true;
  add(call("dragStart"));
}

void ccTraceScope::dragStop() {
  dragging_ = false;
  add(call("dragStop"));
}

void ccTraceScope::dragErase() { add(call("dragErase")); }

void ccTraceScope::dragAnimate(bool on) {
  animating_ = on;
  ccTraceCall c = call("dragAnimate");
  with(c)("on", flag(on));
  add(std::move(c));
}

void ccTraceScope::lockScreenUpdatesPush(bool lock) {
  locks_.push_back(lock);
  if (lock) ++lockCount_;
  ccTraceCall c = call("lockScreenUpdatesPush");
  with(c)("lock", flag(lock));
  add(std::move(c));
}

bool ccTraceScope::lockScreenUpdatesPop() {
  add(call("lockScreenUpdatesPop"));
  if (!locks_.empty()) {
    if (locks_.back()) --lockCount_;
    locks_.pop_back();
  }
  return lockCount_ > 0;
}

bool ccTraceScope::screenUpdatesLocked() const {
  if (logQueries_) add(call("screenUpdatesLocked"));
  return lockCount_ > 0;
}

void ccTraceScope::invalidateScreen(const ccUIRect& rect) {
  ccTraceCall c = call("invalidateScreen");
  with(c)("rect", rect);
  add(std::move(c));
}

void ccTraceScope::updateScreen() { add(call("updateScreen")); }

void ccTraceScope::optimizeDrawing(bool on) {
  ccTraceCall c = call("optimizeDrawing");
  with(c)("on", flag(on));
  add(std::move(c));
}

void ccTraceScope::draw(const ccGenShape& shape, const ccColor& color) {
  ccTraceCall c = call("draw");
  with(c)("tag", text(shape.tag().toString()))("color", color);
  c.shape = shape.clone();
  add(std::move(c));
  noteShape(shape, 1);
}

void ccTraceScope::drawEllipseArc(const ccEllipseArc& arc, const ccGraphicProps& props) {
  ccTraceCall c = call("drawEllipseArc");
  Args a(c);
  ellipseArgs(a, arc.ellipse());
  a("phi1", angle(arc.phi1()))("phi2", angle(arc.phi2()))("props", props);
  c.shape = arc.clone();
  add(std::move(c));
  noteShape(arc, props.penWidth());
}

void ccTraceScope::drawEllipse(const ccEllipse& ellipse, const ccGraphicProps& props) {
  ccTraceCall c = call("drawEllipse");
  Args a(c);
  ellipseArgs(a, ellipse);
  a("props", props);
  c.shape = ellipse.clone();
  add(std::move(c));
  noteShape(ellipse, props.penWidth());
}

void ccTraceScope::drawPolygon(const std::vector<ccVector<2>>& vertices,
                               ccPolygon::PolyFillMode fillMode, const ccGraphicProps& props) {
  ccTraceCall c = call("drawPolygon");
  with(c)("vertices", vertices)("fillMode", num(fillMode))("props", props);
  add(std::move(c));
  if (!vertices.empty() && noteChanges_) {
    ccVector<2> lo = vertices[0], hi = vertices[0];
    for (const ccVector<2>& v : vertices) {
      lo = ccVector<2>(std::min(lo.x(), v.x()), std::min(lo.y(), v.y()));
      hi = ccVector<2>(std::max(hi.x(), v.x()), std::max(hi.y(), v.y()));
    }
    notePixels(xCoord(ccPoint(lo)), yCoord(ccPoint(lo)), xCoord(ccPoint(hi)), yCoord(ccPoint(hi)),
               props.penWidth());
  }
}

void ccTraceScope::drawIcon(const ccRLEBuffer& icon, const ccPoint& corner,
                            const std::vector<ccColor>& colors, bool passThrough,
                            unsigned char passValue) {
  ccTraceCall c = call("drawIcon");
  Args a(c);
  rleArgs(a, icon);
  a("corner", pt(corner))("colors", colors)("pass", flag(passThrough))("passValue", num(passValue));
  add(std::move(c));
  noteImage(corner, icon.width(), icon.height(), ccPair<double>(1, 1));
}

void ccTraceScope::drawRLEImage(const ccRLEBuffer& image, const ccPoint& at,
                                const std::vector<unsigned char>& colorMap, bool pass,
                                unsigned char passValue, bool flagValue) {
  ccTraceCall c = call("drawRLEImage");
  Args a(c);
  rleArgs(a, image);
  a("at", pt(at))("colorMap", std::vector<long>(colorMap.begin(), colorMap.end()))(
      "pass", flag(pass))("passValue", num(passValue))("flag", flag(flagValue));
  add(std::move(c));
  noteImage(at, image.width(), image.height(), ccPair<double>(1, 1));
}

// Every image slot: the image, its corner, the scale (none at 1:1), the pass arguments, the
// flag of 8-bit pels and the mode of the slots that take one; logged, then the covered pixels
// noted.
template <class T>
void ccTraceScope::drawPels(const ccImageSlotCall<T>& image) {
  ccTraceCall c = call(image.slotName());
  Args a(c);
  imageArgs(a, pelWord(T()), image.image);
  a("at", pt(image.at));
  if (image.scale) a("scale", *image.scale);
  a("pass", flag(image.pass))("passValue", num(static_cast<long>(image.passValue)));
  if (image.kHasFlag) a("flag", flag(image.flag));
  if (image.hasMode()) a("mode", num(image.mode));
  add(std::move(c));
  noteImage(image.at, image.image.width(), image.image.height(), image.scaleOrOne());
}
DISPC_PEL_SCOPE_HOOK(ccTraceScope)

void ccTraceScope::drawText(const std::string& s, const ccPoint& at, const ccColor& color,
                            const ccColor& color2, const ccUIFormat& format) {
  ccTraceCall c = call("drawText");
  with(c)("text", text(s))("at", pt(at))("color", color)("color2", color2)("format", format);
  add(std::move(c));
  if (!noteChanges_) return;
  const ccUIRect r = format.alignRect(
      ccUIRect(xCoord(at), yCoord(at), charSize_.first * long(s.size()), charSize_.second));
  change(r, false);
}

void ccTraceScope::reserved25(long value) {
  ccTraceCall c = call("reserved25");
  with(c)("value", num(value));
  add(std::move(c));
}

void ccTraceScope::drawPolyline(const ccPolyline& polyline, const ccGraphicProps& props) {
  ccTraceCall c = call("drawPolyline");
  with(c)("vertices", polyline.vertices())("closed", flag(polyline.isClosed()))("props", props);
  c.shape = polyline.clone();
  add(std::move(c));
  if (polyline.numVertices() > 0) noteShape(polyline, props.penWidth());
}

void ccTraceScope::drawRoundedRect(const ccGenRect& rect, const ccGraphicProps& props) {
  ccTraceCall c = call("drawRoundedRect");
  const ccMatrix<2>& u = rect.U();
  with(c)("center", pt(rect.center()))(
      "U", std::vector<double>{u.element(0, 0), u.element(0, 1), u.element(1, 0), u.element(1, 1)})(
      "uround", pt(rect.uround()))("props", props);
  c.shape = rect.clone();
  add(std::move(c));
  noteShape(rect, props.penWidth());
}

void ccTraceScope::drawEllipseArc2(const ccEllipseArc2& arc, const ccGraphicProps& props) {
  ccTraceCall c = call("drawEllipseArc2");
  Args a(c);
  ellipse2Args(a, arc.ellipse());
  a("phiStart", angle(arc.phiStart()))("phiSpan", angle(arc.phiSpan()))("props", props);
  c.shape = arc.clone();
  add(std::move(c));
  noteShape(arc, props.penWidth());
}

void ccTraceScope::drawEllipse2(const ccEllipse2& ellipse, const ccGraphicProps& props) {
  ccTraceCall c = call("drawEllipse2");
  Args a(c);
  ellipse2Args(a, ellipse);
  a("props", props);
  c.shape = ellipse.clone();
  add(std::move(c));
  noteShape(ellipse, props.penWidth());
}

void ccTraceScope::drawLineSeg(const ccLineSeg& seg, const ccGraphicProps& props) {
  ccTraceCall c = call("drawLineSeg");
  with(c)("p1", pt(seg.p1()))("p2", pt(seg.p2()))("props", props);
  c.shape = seg.clone();
  add(std::move(c));
  notePixels(xCoord(ccPoint(seg.p1())), yCoord(ccPoint(seg.p1())), xCoord(ccPoint(seg.p2())),
             yCoord(ccPoint(seg.p2())), props.penWidth());
}

void ccTraceScope::plotPoint(const ccPoint& p, const ccGraphicProps& props) {
  ccTraceCall c = call("plotPoint");
  with(c)("p", pt(p))("props", props);
  add(std::move(c));
  const long x = xCoord(p), y = yCoord(p);
  notePixels(x, y, x, y, props.penWidth());
}

ccUIRect ccTraceScope::textRect(const std::string& s, const ccPoint& at, const ccUIFormat& format) {
  const ccUIRect r = format.alignRect(
      ccUIRect(xCoord(at), yCoord(at), charSize_.first * long(s.size()), charSize_.second));
  ccTraceCall c = call("textRect");
  with(c)("text", text(s))("at", pt(at))("format", format)("result", r);
  add(std::move(c));
  return r;
}

void ccTraceScope::setRect(const ccUIRect& rect, const ccColor& color) {
  ccTraceCall c = call("setRect");
  with(c)("rect", rect)("color", color);
  add(std::move(c));
  if (noteChanges_) change(rect, true);
}

void ccTraceScope::setAll(const ccColor& color) {
  ccTraceCall c = call("setAll");
  with(c)("color", color);
  add(std::move(c));
  if (noteChanges_) change(ccUIRect(ccPair<long>(), bounds_.sz()), true);
}

void ccTraceScope::floodFill(const ccPair<long>& pixel, const ccColor& color, const ccColor& color2,
                             bool bounded) {
  ccTraceCall c = call("floodFill");
  with(c)("pixel", pixel)("color", color)("color2", color2)("bounded", flag(bounded));
  add(std::move(c));
  if (noteChanges_) change(ccUIRect(ccPair<long>(), bounds_.sz()), false);
}

void ccTraceScope::drawTo(const ccPoint& p, const ccGraphicProps& props) {
  const long x0 = drawX(), y0 = drawY();
  const long x1 = xCoord(p), y1 = yCoord(p);
  ccTraceCall c = call("drawTo");
  with(c)("from", ccPair<long>(x0, y0))("p", pt(p))("props", props);
  add(std::move(c));
  drawStart(p);
  notePixels(x0, y0, x1, y1, props.penWidth());
}

void ccTraceScope::drawToRel(long dx, long dy, const ccGraphicProps& props) {
  const long x0 = drawX(), y0 = drawY();
  ccTraceCall c = call("drawToRel");
  with(c)("from", ccPair<long>(x0, y0))("d", ccPair<long>(dx, dy))("props", props);
  add(std::move(c));
  moveToRel(dx, dy);
  notePixels(x0, y0, x0 + dx, y0 + dy, props.penWidth());
}

bool ccTraceScope::offScreen() const {
  if (logQueries_) add(call("offScreen"));
  return offScreen_ || (parent() && parent()->offScreen());
}

ccUIRect ccTraceScope::scopeBounds() const {
  if (logQueries_) add(call("scopeBounds"));
  return bounds_;
}

void ccTraceScope::colorMap(const std::vector<ccRGB>& map) {
  ccTraceCall c = call("colorMap");
  with(c)("map", map);
  add(std::move(c));
}

void ccTraceScope::reserved61(long value) {
  ccTraceCall c = call("reserved61");
  with(c)("value", num(value));
  add(std::move(c));
}

void ccTraceScope::displayClipChanged(const ccUIRect& rect) {
  ccTraceCall c = call("displayClipChanged");
  with(c)("rect", rect);
  add(std::move(c));
}
