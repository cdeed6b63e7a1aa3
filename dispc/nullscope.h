// ccNullScope: a scope whose drawing slots do nothing.
//
// The base of scopes that need only a few slots (a scope that measures what a replay covers,
// the benchmarks' scope that costs nothing): every pure virtual slot of ccUIScope is defined
// here as doing nothing (the image slots through ccPelScope), except that the pen moves after
// drawTo and drawToRel as on every back end. textRect is null, offScreen false. Sub-scopes made by
// newSubScope are null scopes too; a scope's bounds are those given at construction, or the
// rectangle attach() places it at.
#pragma once

#include <dispc/pelscope.h>

#include <string>
#include <vector>

class ccNullScope : public ccPelScope<ccNullScope> {
 public:
  // A root scope with the given bounds (what scopeBounds() reports) and clip offset.
  explicit ccNullScope(const ccUIRect& bounds = ccUIRect(0, 0, 1024, 1024),
                       const ccPair<long>& clipOffset = ccPair<long>())
      : ccPelScope(clipOffset), bounds_(bounds) {}
  ~ccNullScope() override;

  void attach(const ccUIScope&, const ccUIRect& rect) override { bounds_ = rect; }
  // A null scope placed with move(*this, rect), owned by the caller.
  ccUIScope* newSubScope(const ccUIRect& rect, bool temporary) override;
  void dragStart() override {}
  void dragStop() override {}
  void dragErase() override {}
  void dragAnimate(bool) override {}
  void drawEllipseArc(const ccEllipseArc&, const ccGraphicProps&) override {}
  void drawEllipse(const ccEllipse&, const ccGraphicProps&) override {}
  void drawPolygon(const std::vector<ccVector<2>>&, ccPolygon::PolyFillMode,
                   const ccGraphicProps&) override {}
  void drawIcon(const ccRLEBuffer&, const ccPoint&, const std::vector<ccColor>&, bool,
                unsigned char) override {}
  void drawRLEImage(const ccRLEBuffer&, const ccPoint&, const std::vector<unsigned char>&, bool,
                    unsigned char, bool) override {}
  void drawText(const std::string&, const ccPoint&, const ccColor&, const ccColor&,
                const ccUIFormat&) override {}
  void drawPolyline(const ccPolyline&, const ccGraphicProps&) override {}
  void drawRoundedRect(const ccGenRect&, const ccGraphicProps&) override {}
  void drawEllipseArc2(const ccEllipseArc2&, const ccGraphicProps&) override {}
  void drawEllipse2(const ccEllipse2&, const ccGraphicProps&) override {}
  void drawLineSeg(const ccLineSeg&, const ccGraphicProps&) override {}
  void plotPoint(const ccPoint&, const ccGraphicProps&) override {}
  ccUIRect textRect(const std::string&, const ccPoint&, const ccUIFormat&) override {
    return ccUIRect();
  }
  void setRect(const ccUIRect&, const ccColor&) override {}
  void setAll(const ccColor&) override {}
  void floodFill(const ccPair<long>&, const ccColor&, const ccColor&, bool) override {}
  void drawTo(const ccPoint& p, const ccGraphicProps&) override { drawStart(p); }
  void drawToRel(long dx, long dy, const ccGraphicProps&) override { moveToRel(dx, dy); }
  bool offScreen() const override { return false; }
  ccUIRect scopeBounds() const override { return bounds_; }

 private:
  friend class ccPelScope<ccNullScope>;
  // The twelve image slots.
  template <class T>
  void drawPels(const ccImageSlotCall<T>&) {}

  ccUIRect bounds_;
};
