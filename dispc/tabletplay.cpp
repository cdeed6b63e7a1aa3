// ccUITablet: replay of sketches and the bounds of a replay.
//
// A replay decodes each operation of the stream into its operation objects (sketchop.h) and
// repeats it through the tablet's own drawing operations, with the recorded client coordinates
// shifted by the offset. The replayed operations are not recorded one by one; a tablet that
// records while it replays records the replay itself as one nested-sketch operation.
#include <dispc/tablet.h>

#include <dispc/errors.h>
#include <dispc/nullscope.h>
#include <dispc/sketchop.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// A scope that draws nothing and notes what each drawing slot covers, for encloseRect. Its
// scope pixels are those of the scope it measures for (same bounds and clip offset), so its
// client rectangle is in that tablet's pixels. Text is measured by that scope, which knows
// the font.
class MeasureScope : public ccPelScope<MeasureScope, ccNullScope> {
 public:
  explicit MeasureScope(ccUIScope& measured)
      : ccPelScope(measured.scopeBounds(), measured.clipOffset()), measured_(measured) {}

  void attach(const ccUIScope&, const ccUIRect&) override {}
  ccUIScope* newSubScope(const ccUIRect& rect, bool) override {
    auto* sub = new MeasureScope(measured_);
    sub->move(*this, rect);
    return sub;
  }

  void draw(const ccGenShape& shape, const ccColor&) override { noteShape(shape, 1); }
  void drawEllipseArc(const ccEllipseArc& arc, const ccGraphicProps& props) override {
    noteShape(arc, props.penWidth());
  }
  void drawEllipse(const ccEllipse& ellipse, const ccGraphicProps& props) override {
    noteShape(ellipse, props.penWidth());
  }
  void drawPolygon(const std::vector<ccVector<2>>& vertices, ccPolygon::PolyFillMode,
                   const ccGraphicProps& props) override {
    for (const ccVector<2>& v : vertices) notePoint(v, props.penWidth());
  }
  void drawIcon(const ccRLEBuffer& icon, const ccPoint& corner, const std::vector<ccColor>&, bool,
                unsigned char) override {
    noteImage(corner, icon.width(), icon.height(), ccPair<double>(1, 1));
  }
  void drawRLEImage(const ccRLEBuffer& image, const ccPoint& at, const std::vector<unsigned char>&,
                    bool, unsigned char, bool) override {
    noteImage(at, image.width(), image.height(), ccPair<double>(1, 1));
  }
  void drawText(const std::string& text, const ccPoint& at, const ccColor&, const ccColor&,
                const ccUIFormat& format) override {
    change(textRect(text, at, format), false);
  }
  void drawPolyline(const ccPolyline& polyline, const ccGraphicProps& props) override {
    for (const ccVector<2>& v : polyline.vertices()) notePoint(v, props.penWidth());
  }
  void drawRoundedRect(const ccGenRect& rect, const ccGraphicProps& props) override {
    noteShape(rect, props.penWidth());
  }
  void drawEllipseArc2(const ccEllipseArc2& arc, const ccGraphicProps& props) override {
    noteShape(arc, props.penWidth());
  }
  void drawEllipse2(const ccEllipse2& ellipse, const ccGraphicProps& props) override {
    noteShape(ellipse, props.penWidth());
  }
  void drawLineSeg(const ccLineSeg& seg, const ccGraphicProps& props) override {
    notePixels(xCoord(ccPoint(seg.p1())), yCoord(ccPoint(seg.p1())), xCoord(ccPoint(seg.p2())),
               yCoord(ccPoint(seg.p2())), props.penWidth());
  }
  void plotPoint(const ccPoint& p, const ccGraphicProps& props) override {
    notePixels(xCoord(p), yCoord(p), xCoord(p), yCoord(p), props.penWidth());
  }
  ccUIRect textRect(const std::string& text, const ccPoint& at, const ccUIFormat& format) override {
    return measured_.textRect(text, at, format);
  }
  void setRect(const ccUIRect& rect, const ccColor&) override { change(rect, false); }
  void setAll(const ccColor&) override { change(wholeScope(), false); }
  // How far a flood fill spreads depends on the pixels: it may reach the whole scope.
  void floodFill(const ccPair<long>&, const ccColor&, const ccColor&, bool) override {
    change(wholeScope(), false);
  }
  void drawTo(const ccPoint& p, const ccGraphicProps& props) override {
    notePixels(drawX(), drawY(), xCoord(p), yCoord(p), props.penWidth());
    drawStart(p);
  }
  void drawToRel(long dx, long dy, const ccGraphicProps& props) override {
    notePixels(drawX(), drawY(), drawX() + dx, drawY() + dy, props.penWidth());
    moveToRel(dx, dy);
  }

 private:
  friend class ccPelScope<MeasureScope, ccNullScope>;

  // The twelve image slots.
  template <class T>
  void drawPels(const ccImageSlotCall<T>& call) {
    noteImage(call.at, call.image.width(), call.image.height(), call.scaleOrOne());
  }

  ccUIRect wholeScope() const { return ccUIRect(ccPair<long>(), scopeBounds().sz()); }

  // The pixels from (x0, y0) to (x1, y1) inclusive, widened by half the pen width.
  void notePixels(long x0, long y0, long x1, long y1, long penWidth) {
    const long grow = std::max(penWidth, 0L) / 2;
    const long left = std::min(x0, x1) - grow, right = std::max(x0, x1) + grow;
    const long top = std::min(y0, y1) - grow, bottom = std::max(y0, y1) + grow;
    change(ccUIRect(left, top, right - left + 1, bottom - top + 1), false);
  }
  void notePoint(const ccVector<2>& v, long penWidth) {
    const ccPoint p(v);
    notePixels(xCoord(p), yCoord(p), xCoord(p), yCoord(p), penWidth);
  }
  void noteShape(const ccShape& shape, long penWidth) {
    ccRect box;
    try {
      box = shape.boundingBox();
    } catch (const ccException&) {
      return;  // an empty or infinite shape covers no countable pixels
    }
    notePixels(xCoord(ccPoint(box.ul())), yCoord(ccPoint(box.ul())), xCoord(ccPoint(box.lr())),
               yCoord(ccPoint(box.lr())), penWidth);
  }
  void noteImage(const ccPoint& at, long width, long height, const ccPair<double>& scale) {
    const double w = std::ceil(static_cast<double>(width) * scale.first);
    const double h = std::ceil(static_cast<double>(height) * scale.second);
    if (w > 0 && h > 0 && w < 2147483647.0 && h < 2147483647.0)
      change(ccUIRect(xCoord(at), yCoord(at), static_cast<long>(w), static_cast<long>(h)), false);
  }

  ccUIScope& measured_;
};

}  // namespace

void ccUITablet::draw(const ccUISketch& sketch, const ccPoint& offset, Layers l) {
  checkAnyLayer(l);
  if (sketch.isNull()) return;

  if (drawOn_) {
    // Puts the tablet back as it was, in the reverse order of the changes, on every path.
    class Replay {
     public:
      Replay(ccUITablet& t, Layers l) : t_(t), l_(l), savedMap_(t.scaledMap_) {}
      // Each step is noted as it is taken, so that a failing step undoes only the ones before.
      void begin(const ccPoint& offset) {
        t_.recordOn_.push(false);
        recordPushed_ = true;
        t_.lockScreenUpdatesPush(true, l_);
        locked_ = true;
        for (int i = first(); i <= last(); ++i) {
          t_.optimizeDrawing(true, static_cast<Layers>(i));
          ++optimized_;
        }
        // The offset shifts the recorded client coordinates before the tablet's own map.
        t_.scaledMap_ = t_.scaledMap_ * ccXform<2>(ccMatrix<2>(1, 0, 0, 1), offset.vector());
      }
      ~Replay() {
        t_.scaledMap_ = savedMap_;
        for (int i = first(); i < first() + optimized_; ++i)
          t_.optimizeDrawing(false, static_cast<Layers>(i));
        if (locked_) t_.lockScreenUpdatesPop(l_);
        if (recordPushed_) t_.recordOn_.pop();
      }
      Replay(const Replay&) = delete;
      Replay& operator=(const Replay&) = delete;

     private:
      int first() const { return l_ == eBothLayers ? 0 : l_; }
      int last() const { return l_ == eBothLayers ? 1 : l_; }

      ccUITablet& t_;
      Layers l_;
      ccXform<2> savedMap_;
      bool recordPushed_ = false;
      bool locked_ = false;
      int optimized_ = 0;
    };

    Replay restore(*this, l);
    restore.begin(offset);
    const bool filter = l != eBothLayers;
    // Operations of other layers are parsed too, to stay in step with the stream.
    cfForEachSketchOp(
        sketch.data(), static_cast<std::size_t>(sketch.length()),
        [&](cc_UISketchOpHeader& header, cc_UISketchOpData& op, const ccSketchOperation&) {
          if (header.layer() == eBothLayers) header.layer(l);
          // An operation of a layer that is neither 0, 1 nor 2 would draw nothing; skipping it
          // also spares a clip rectangle or nested sketch on it from the layer check.
          if (header.layer() < eImageLayer || header.layer() > eBothLayers) return;
          if (!filter || header.layer() == l) op.draw(*this, header);
        });
  }

  if (recordOn_) {
    // The nested stream is read before anything is appended: the sketch may be this tablet's.
    const long n = sketch.length();
    sketch_.opcode(kSketchPropsOpcode, defaultProps());
    unsigned char* p =
        sketch_.opcode(static_cast<signed char>(ccSketchOp::eSketch), static_cast<signed char>(l),
                       ccColor(0), static_cast<long>(kSketchPointFieldSize + 4));
    cfSketchStorePoint(p, offset);
    cfSketchStoreI32(p + kSketchPointFieldSize, cfSketchCheckedI32(n));
    sketch_.append(sketch.data(), n);
  }
}

ccUIRect ccUITablet::encloseRect(const ccUISketch& sketch, const ccPoint& offset, Layers l) {
  checkAnyLayer(l);
  // Both layers together have no scope of their own to measure in: nothing.
  if (l == eBothLayers || !ownScope_[l]) return ccUIRect();
  MeasureScope scope(*ownScope_[l]);
  ccUITablet measuring;  // destroyed before the scope it draws on
  measuring.recordOn_ = false;
  measuring.drawOn_ = true;
  measuring.drawOnOverlay_ = true;
  measuring.setScope(l, &scope, false);
  if (!scaledMap_.isIdentity()) {
    measuring.baseMap_ = baseMap_;
    measuring.scaleMode_ = scaleMode_;
    measuring.scaleExact_ = scaleExact_;
    measuring.setMap();
    // The drag displacement too: the answer is in this tablet's current pixels.
    measuring.scaledMap_ = scaledMap_;
    measuring.dragDel_ = dragDel_;
  }
  measuring.visible(true);
  scope.clientChangeEnable(true);
  measuring.draw(sketch, offset, l);
  return scope.clientChangedRect(false);
}
