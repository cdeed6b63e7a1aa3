// A scope that draws nothing: every slot returns at once. Measures what the library itself
// costs on a drawing path (mapping, dispatch, recording) without any back-end work.
#pragma once

#include <dispc/scope.h>

class ccNullScope : public ccUIScope {
 public:
  explicit ccNullScope(const ccUIRect& bounds = ccUIRect(0, 0, 1024, 1024))
      : ccUIScope(ccPair<long>(0, 0)), bounds_(bounds) {}

  void attach(const ccUIScope&, const ccUIRect& rect) override { bounds_ = rect; }
  ccUIScope* newSubScope(const ccUIRect& rect, bool) override {
    auto* s = new ccNullScope(rect);
    s->move(*this, rect);
    return s;
  }
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
  void drawImage(const ccPelBuffer_const<ccPackedRGB32Pel>&, const ccPoint&, bool,
                 unsigned long) override {}
  void drawImage(const ccPelBuffer_const<ccPackedRGB16Pel>&, const ccPoint&, bool,
                 unsigned short) override {}
  void drawImage(const ccPelBuffer_const<unsigned short>&, const ccPoint&, bool,
                 unsigned short) override {}
  void drawImage(const ccPelBuffer_const<unsigned char>&, const ccPoint&, bool, unsigned char,
                 bool) override {}
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
  void sampleImage(const ccPelBuffer_const<ccPackedRGB32Pel>&, const ccPoint&,
                   const ccPair<double>&, bool, unsigned long) override {}
  void sampleImage(const ccPelBuffer_const<ccPackedRGB16Pel>&, const ccPoint&,
                   const ccPair<double>&, bool, unsigned short) override {}
  void sampleImage(const ccPelBuffer_const<unsigned short>&, const ccPoint&, const ccPair<double>&,
                   bool, unsigned short) override {}
  void sampleImage(const ccPelBuffer_const<unsigned char>&, const ccPoint&, const ccPair<double>&,
                   bool, unsigned char, bool) override {}
  void expandImage(const ccPelBuffer_const<ccPackedRGB32Pel>&, const ccPoint&,
                   const ccPair<double>&, bool, unsigned long, InterpolationModes) override {}
  void expandImage(const ccPelBuffer_const<ccPackedRGB16Pel>&, const ccPoint&,
                   const ccPair<double>&, bool, unsigned short) override {}
  void expandImage(const ccPelBuffer_const<unsigned short>&, const ccPoint&, const ccPair<double>&,
                   bool, unsigned short) override {}
  void expandImage(const ccPelBuffer_const<unsigned char>&, const ccPoint&, const ccPair<double>&,
                   bool, unsigned char, bool, InterpolationModes) override {}
  void setRect(const ccUIRect&, const ccColor&) override {}
  void setAll(const ccColor&) override {}
  void floodFill(const ccPair<long>&, const ccColor&, const ccColor&, bool) override {}
  void drawTo(const ccPoint& p, const ccGraphicProps&) override { drawStart(p); }
  void drawToRel(long dx, long dy, const ccGraphicProps&) override { moveToRel(dx, dy); }
  bool offScreen() const override { return false; }
  ccUIRect scopeBounds() const override { return bounds_; }

 private:
  ccUIRect bounds_;
};
