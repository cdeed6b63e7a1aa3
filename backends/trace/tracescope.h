// ccTraceScope: a display back end that draws nothing and records every scope call.
//
// Each call of a slot becomes a ccTraceCall in a ccTraceLog: the slot name, the id of the scope
// called and the arguments as named values with their exact values (points, rectangles,
// colours, props, numbers, strings, vertex lists, image pels). Shapes are also kept as copies.
// Sub-scopes made by newSubScope log into the same log under their own ids, so a whole tablet
// tree can be traced as one sequence. The log prints one call per line, e.g.
//   drawLineSeg p1=(1,2) p2=(3,4) color=rgb(255,0,0) width=1
// (sub-scope calls start with "#id "; props print their colour and width, and any other field
// that differs from the default props).
//
// Behaving like a real back end, the trace scope moves the pen after drawTo and drawToRel and,
// unless switched off with noteChanges(false), notes what each drawing slot covers with
// change() (setAll and setRect with checkOpaque). Queries (offScreen, scopeBounds,
// screenUpdatesLocked) are logged only after logQueries(true), since the library asks them all
// the time. Screen-update locks nest: the screen is locked while any open push locked it.
#pragma once

#include <dispc/pelscope.h>

#include <iosfwd>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

// A fixed word among the arguments (such as the pel type of an image); it prints unquoted.
struct ccTraceWord {
  std::string word;
  friend bool operator==(const ccTraceWord& a, const ccTraceWord& b) { return a.word == b.word; }
  friend bool operator!=(const ccTraceWord& a, const ccTraceWord& b) { return !(a == b); }
};

// One argument value. Strings print quoted, words bare. Points are ccVector<2>; pixels and sizes
// ccPair<long>; scale factors ccPair<double>; image pels, run bytes and colour maps
// std::vector<long>; matrices std::vector<double> (row by row).
using ccTraceValue =
    std::variant<bool, long, double, std::string, ccTraceWord, ccVector<2>, ccPair<long>,
                 ccPair<double>, ccUIRect, ccColor, ccGraphicProps, ccUIFormat, std::vector<long>,
                 std::vector<double>, std::vector<ccVector<2>>, std::vector<ccColor>,
                 std::vector<ccRGB>>;

struct ccTraceCall {
  std::string name;  // the slot's name ("destroy" for the destructor)
  long scope = 0;    // id of the scope called
  std::vector<std::pair<std::string, ccTraceValue>> args;
  ccShapePtrh shape;  // a copy of the shape drawn, for the shape slots

  bool has(const std::string& key) const;
  // The argument named key; std::out_of_range when there is none.
  const ccTraceValue& arg(const std::string& key) const;
  // The argument as T; std::bad_variant_access when it holds another type.
  template <class T>
  const T& get(const std::string& key) const {
    return std::get<T>(arg(key));
  }
  long integer(const std::string& key) const { return get<long>(key); }
  // A long or double argument as double.
  double number(const std::string& key) const;
  bool flag(const std::string& key) const { return get<bool>(key); }
  // A string or word argument.
  const std::string& text(const std::string& key) const;
  const ccVector<2>& point(const std::string& key) const { return get<ccVector<2>>(key); }
  const ccPair<long>& pixel(const std::string& key) const { return get<ccPair<long>>(key); }
  const ccUIRect& rect(const std::string& key) const { return get<ccUIRect>(key); }
  const ccColor& color(const std::string& key = "color") const { return get<ccColor>(key); }
  const ccGraphicProps& props() const { return get<ccGraphicProps>("props"); }
  // The copy of the shape as S; std::bad_cast when there is none of that class.
  template <class S>
  const S& shapeAs() const {
    const S* s = shape.isNull() ? nullptr : dynamic_cast<const S*>(shape.rep());
    if (!s) throw std::bad_cast();
    return *s;
  }

  // The printed line (without the newline).
  std::string str() const;
};

// The calls of one or more trace scopes, in order.
class ccTraceLog {
 public:
  const std::vector<ccTraceCall>& calls() const { return calls_; }
  std::vector<std::string> names() const;
  // Calls of that name.
  long count(const std::string& name) const;
  bool empty() const { return calls_.empty(); }
  long size() const { return static_cast<long>(calls_.size()); }
  // Forgets the calls (scope ids keep counting).
  void clear() { calls_.clear(); }
  // The latest call; std::out_of_range when there is none.
  const ccTraceCall& last() const;
  // One call per line.
  void print(std::ostream& os) const;
  std::string str() const;

  void add(ccTraceCall call) { calls_.push_back(std::move(call)); }
  // Ids for new scopes: 0, 1, 2 ...
  long newScopeId() { return nextId_++; }

 private:
  std::vector<ccTraceCall> calls_;
  long nextId_ = 0;
};

class ccTraceScope : public ccPelScope<ccTraceScope> {
 public:
  // A root scope over a new log; bounds is what scopeBounds() reports.
  explicit ccTraceScope(const ccUIRect& bounds = ccUIRect(0, 0, 640, 480));
  // A root scope logging into log (a new log when null).
  ccTraceScope(const ccUIRect& bounds, std::shared_ptr<ccTraceLog> log,
               const ccPair<long>& clipOffset = ccPair<long>());
  ~ccTraceScope() override;

  // ---- The log (shared with the sub-scopes)

  long id() const { return id_; }
  const std::shared_ptr<ccTraceLog>& log() const { return log_; }
  const std::vector<ccTraceCall>& calls() const { return log_->calls(); }
  std::vector<std::string> names() const { return log_->names(); }
  long count(const std::string& name) const { return log_->count(name); }
  void clear() { log_->clear(); }
  const ccTraceCall& last() const { return log_->last(); }
  void print(std::ostream& os) const { log_->print(os); }
  std::string str() const { return log_->str(); }

  // ---- Configuration (sub-scopes take the settings of the scope that made them)

  // The bounds of a sub-scope are set by attach: its rectangle clipped to the parent's area.
  void scopeBounds(const ccUIRect& bounds) { bounds_ = bounds; }
  // A sub-scope is off screen also while its parent is.
  void offScreen(bool off) { offScreen_ = off; }
  bool logQueries() const { return logQueries_; }
  void logQueries(bool on) { logQueries_ = on; }
  bool noteChanges() const { return noteChanges_; }
  void noteChanges(bool on) { noteChanges_ = on; }
  // Size of one character for textRect (default 8 x 16).
  const ccPair<long>& charSize() const { return charSize_; }
  void charSize(const ccPair<long>& size) { charSize_ = size; }

  // ---- State

  // Open lockScreenUpdatesPush brackets, and those of them that locked.
  long lockDepth() const { return static_cast<long>(locks_.size()); }
  long lockCount() const { return lockCount_; }
  bool dragging() const { return dragging_; }
  bool animating() const { return animating_; }

  // The base class's protected readers, for tests and tools.
  using ccUIScope::children;
  using ccUIScope::drawPoint;
  using ccUIScope::drawX;
  using ccUIScope::drawY;
  using ccUIScope::rootDeleted;
  using ccUIScope::trackChanges;
  using ccUIScope::xCoord;
  using ccUIScope::yCoord;

  // ---- Slots

  void attach(const ccUIScope& parent, const ccUIRect& rect) override;
  ccTraceScope* newSubScope(const ccUIRect& rect, bool temporary) override;
  void dragStart() override;
  void dragStop() override;
  void dragErase() override;
  void dragAnimate(bool on) override;
  void lockScreenUpdatesPush(bool lock) override;
  // Whether the screen is still locked after the pop.
  bool lockScreenUpdatesPop() override;
  bool screenUpdatesLocked() const override;
  void invalidateScreen(const ccUIRect& rect) override;
  void updateScreen() override;
  void optimizeDrawing(bool on) override;
  void draw(const ccGenShape& shape, const ccColor& color) override;
  void drawEllipseArc(const ccEllipseArc& arc, const ccGraphicProps& props) override;
  void drawEllipse(const ccEllipse& ellipse, const ccGraphicProps& props) override;
  void drawPolygon(const std::vector<ccVector<2>>& vertices, ccPolygon::PolyFillMode fillMode,
                   const ccGraphicProps& props) override;
  void drawIcon(const ccRLEBuffer& icon, const ccPoint& corner, const std::vector<ccColor>& colors,
                bool passThrough, unsigned char passValue) override;
  void drawRLEImage(const ccRLEBuffer& image, const ccPoint& at,
                    const std::vector<unsigned char>& colorMap, bool pass, unsigned char passValue,
                    bool flag) override;
  // drawImage, sampleImage and expandImage (ccPelScope) log through drawPels.
  void drawText(const std::string& text, const ccPoint& at, const ccColor& color,
                const ccColor& color2, const ccUIFormat& format) override;
  void reserved25(long value) override;
  void drawPolyline(const ccPolyline& polyline, const ccGraphicProps& props) override;
  void drawRoundedRect(const ccGenRect& rect, const ccGraphicProps& props) override;
  void drawEllipseArc2(const ccEllipseArc2& arc, const ccGraphicProps& props) override;
  void drawEllipse2(const ccEllipse2& ellipse, const ccGraphicProps& props) override;
  void drawLineSeg(const ccLineSeg& seg, const ccGraphicProps& props) override;
  void plotPoint(const ccPoint& p, const ccGraphicProps& props) override;
  // The text's cells (charSize per character, one row) placed by the format at `at`.
  ccUIRect textRect(const std::string& text, const ccPoint& at, const ccUIFormat& format) override;
  void setRect(const ccUIRect& rect, const ccColor& color) override;
  void setAll(const ccColor& color) override;
  void floodFill(const ccPair<long>& pixel, const ccColor& color, const ccColor& color2,
                 bool bounded) override;
  void drawTo(const ccPoint& p, const ccGraphicProps& props) override;
  void drawToRel(long dx, long dy, const ccGraphicProps& props) override;
  bool offScreen() const override;
  ccUIRect scopeBounds() const override;
  void colorMap(const std::vector<ccRGB>& map) override;
  void reserved61(long value) override;
  void displayClipChanged(const ccUIRect& rect) override;

 private:
  // A new call of this scope, to be filled and logged.
  ccTraceCall call(const char* name) const;
  void add(ccTraceCall&& c) const { log_->add(std::move(c)); }
  // Notes the scope pixels from (x0, y0) to (x1, y1), both included, grown by half the pen
  // width, as changed.
  void notePixels(long x0, long y0, long x1, long y1, long penWidth);
  // Notes a shape's bounding box (tablet pixels).
  void noteShape(const ccShape& shape, long penWidth);
  // The hook of the twelve image slots (ccPelScope).
  friend class ccPelScope<ccTraceScope>;
  template <class T>
  void drawPels(const ccImageSlotCall<T>& image);
  // Notes an image of width x height pels drawn at `at`, scaled.
  void noteImage(const ccPoint& at, long width, long height, const ccPair<double>& scale);

  std::shared_ptr<ccTraceLog> log_;
  long id_;
  ccUIRect bounds_;
  bool offScreen_ = false;
  bool logQueries_ = false;
  bool noteChanges_ = true;
  ccPair<long> charSize_{8, 16};
  std::vector<bool> locks_;
  long lockCount_ = 0;
  bool dragging_ = false;
  bool animating_ = false;
};
