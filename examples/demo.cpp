// The demo: a synthetic inspection scene drawn through a tablet onto the Cairo back end.
//
//   dispc-demo [output-directory]        (default ./demo-out)
//
// It generates an 8-bit image of a circuit board (pads, a chip, vias, fiducials, traces,
// gradients and noise) and draws over it, on the overlay layer, what an inspection would show:
// every shape kind in several colours, pen styles and widths, text labels and point icons, kept
// as a graphic list of retained graphics that is archived to a file and drawn as loaded back. The
// inspection of one small part is recorded into a sketch, archived to a file, loaded back and
// replayed at an offset over a second, identical part; a zoomed child tablet shows that part
// enlarged, with the same sketch replayed in it. The picture is written as PNG (raster) and as
// SVG and PDF (vector), beside the board image (PGM and PNG), the overlay's graphic-list file and
// the sketch file. A second scene (examples/smdscene.cpp) draws an SMD model synthetically and
// overlays its wireframe: smd.png, smd.svg, smd.pdf and smd-image.png.
#include <backends/cairo/cairoimage.h>
#include <backends/cairo/cairolayers.h>
#include <backends/cairo/imagefiles.h>
#include <core/archive.h>
#include <core/genshape.h>
#include <dispc/glist.h>
#include <dispc/graphicgroup.h>
#include <dispc/tablet.h>
#include <dispc/uisketch.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "smdscene.h"

namespace {

using V = ccVector<2>;
constexpr ccUITablet::Layers kImage = ccUITablet::eImageLayer;
constexpr ccUITablet::Layers kOverlay = ccUITablet::eOverlayLayer;

constexpr long kWidth = 800;
constexpr long kHeight = 600;

// ---------------------------------------------------------------------------------------------
// The board image.

// Parts of the board, shared by the image and the overlays.
struct Layout {
  // The chip: body and two rows of pads.
  static constexpr double kBodyX = 150, kBodyY = 150, kBodyW = 240, kBodyH = 120;
  static constexpr int kPadsPerRow = 10;
  static constexpr double kPadX0 = 163, kPadStep = 22, kPadW = 14, kPadH = 30;
  static constexpr double kTopPadY = 112, kBottomPadY = 278;
  static constexpr int kShiftedPad = 6;  // on the bottom row
  static constexpr double kShift = 4;
  // The small three-pad part, and where its twin lies.
  static constexpr double kPartX = 462, kPartY = 112;
  static constexpr int kPartPads = 3;
  static constexpr double kTwinDX = 126, kTwinDY = 226;
  // Vias, the blob, the chip resistor, the mounting hole and the fiducials.
  static constexpr double kViaY = 400, kViaX0 = 70, kViaStep = 40;
  static constexpr int kVias = 7;
  static constexpr double kBlobX = 392, kBlobY = 445;
  static constexpr double kResX = 462, kResY = 470;
  static V resistorCentre() { return V(kResX + 37, kResY + 13); }
  // The intensity profile along the vias, from x0 to x1.
  static constexpr double kProfileX0 = 40, kProfileX1 = 330;
  static constexpr int kResPads = 2;
  static constexpr double kHoleX = 712, kHoleY = 290, kHoleR0 = 28, kHoleR1 = 42;

  // The line through the fiducials passes below the title and clear of every label.
  static V fiducial(int i) { return i == 0 ? V(52, 100) : V(760, 560); }
  static ccRect pad(int row, int i) {
    const double shift = row == 1 && i == kShiftedPad ? kShift : 0;
    return ccRect(V(kPadX0 + kPadStep * i + shift, row == 0 ? kTopPadY : kBottomPadY),
                  V(kPadW, kPadH));
  }
  static V via(int i) { return V(kViaX0 + kViaStep * i, kViaY); }
  // The pads of the small part, relative to kPartX, kPartY.
  static ccRect partPad(int i) {
    return i < 2 ? ccRect(V(6 + 28 * i, 0), V(10, 12)) : ccRect(V(20, 40), V(10, 12));
  }
};

class BoardImage {
 public:
  BoardImage() : v_(static_cast<std::size_t>(kWidth * kHeight)) {
    for (long y = 0; y < kHeight; ++y)
      for (long x = 0; x < kWidth; ++x)
        at(x, y) = 48 + 30.0 * x / kWidth + 18.0 * y / kHeight +
                   6 * std::sin(x * 0.021) * std::cos(y * 0.017);  // solder-mask sheen
  }

  // Coverage-weighted painting: a pixel at distance d inside an edge gets min(d + 0.5, 1).
  void rect(double x0, double y0, double x1, double y1, double value) {
    for (long y = clampY(y0 - 1); y <= clampY(y1 + 1); ++y)
      for (long x = clampX(x0 - 1); x <= clampX(x1 + 1); ++x) {
        const double cx = x + 0.5, cy = y + 0.5;
        const double d = std::min(std::min(cx - x0, x1 - cx), std::min(cy - y0, y1 - cy));
        paint(x, y, value, d);
      }
  }
  void ring(V c, double r0, double r1, double value) {
    for (long y = clampY(c.y() - r1 - 1); y <= clampY(c.y() + r1 + 1); ++y)
      for (long x = clampX(c.x() - r1 - 1); x <= clampX(c.x() + r1 + 1); ++x) {
        const double r = std::hypot(x + 0.5 - c.x(), y + 0.5 - c.y());
        paint(x, y, value, std::min(r1 - r, r0 > 0 ? r - r0 : 1e9));
      }
  }
  void disc(V c, double r, double value) { ring(c, 0, r, value); }
  void ellipse(V c, double rx, double ry, double angle, double value) {
    const double ca = std::cos(angle), sa = std::sin(angle), r = std::max(rx, ry);
    for (long y = clampY(c.y() - r - 1); y <= clampY(c.y() + r + 1); ++y)
      for (long x = clampX(c.x() - r - 1); x <= clampX(c.x() + r + 1); ++x) {
        const double dx = x + 0.5 - c.x(), dy = y + 0.5 - c.y();
        const double u = (dx * ca + dy * sa) / rx, w = (-dx * sa + dy * ca) / ry;
        const double k = std::sqrt(u * u + w * w);
        paint(x, y, value * (1.08 - 0.25 * k), (1 - k) * std::min(rx, ry));  // domed
      }
  }
  void segment(V a, V b, double width, double value) {
    const V d = b - a;
    const double len2 = d.x() * d.x() + d.y() * d.y();
    const double h = width / 2 + 1;
    for (long y = clampY(std::min(a.y(), b.y()) - h); y <= clampY(std::max(a.y(), b.y()) + h); ++y)
      for (long x = clampX(std::min(a.x(), b.x()) - h); x <= clampX(std::max(a.x(), b.x()) + h);
           ++x) {
        const V p(x + 0.5, y + 0.5);
        double t = ((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2;
        t = std::clamp(t, 0.0, 1.0);
        const double dist = std::hypot(p.x() - a.x() - t * d.x(), p.y() - a.y() - t * d.y());
        paint(x, y, value, width / 2 - dist);
      }
  }
  void path(const std::vector<V>& points, double width, double value) {
    for (std::size_t i = 1; i < points.size(); ++i) segment(points[i - 1], points[i], width, value);
  }

  // Sensor noise, then 8-bit pels.
  ccPelBuffer<unsigned char> pels() const {
    ccPelBuffer<unsigned char> out(kWidth, kHeight);
    std::uint32_t seed = 12345;
    auto uniform = [&seed] {
      seed = seed * 1664525u + 1013904223u;
      return (seed >> 8) / 16777216.0;
    };
    for (long y = 0; y < kHeight; ++y) {
      unsigned char* row = out.pointToRow(y);
      for (long x = 0; x < kWidth; ++x) {
        const double noise = (uniform() + uniform() + uniform() - 1.5) * 7;
        row[x] = static_cast<unsigned char>(std::clamp(v_[x + y * kWidth] + noise, 0.0, 255.0));
      }
    }
    return out;
  }

 private:
  double& at(long x, long y) { return v_[static_cast<std::size_t>(x + y * kWidth)]; }
  static long clampX(double x) {
    return std::clamp(static_cast<long>(std::floor(x)), 0L, kWidth - 1);
  }
  static long clampY(double y) {
    return std::clamp(static_cast<long>(std::floor(y)), 0L, kHeight - 1);
  }
  void paint(long x, long y, double value, double inside) {
    const double a = std::clamp(inside + 0.5, 0.0, 1.0);
    if (a > 0) at(x, y) += (value - at(x, y)) * a;
  }

  std::vector<double> v_;
};

ccPelBuffer<unsigned char> makeBoard() {
  using L = Layout;
  BoardImage b;
  // Traces from the bottom pads to the vias, and from the top pads to the small part.
  for (int i = 0; i < L::kVias; ++i) {
    const ccRect pad = L::pad(1, i + 1);
    const V from = pad.center() + V(0, L::kPadH / 2);
    b.path({from, V(from.x(), 345), V(L::via(i).x(), 372), L::via(i)}, 5, 112);
  }
  for (int i = 7; i < 10; ++i) {
    const V from = L::pad(0, i).center() - V(0, L::kPadH / 2);
    b.path({from, V(from.x(), 90 - 6 * (i - 7)), V(L::kPartX + 11 + 14 * (i - 7), 90 - 6 * (i - 7)),
            V(L::kPartX + 11 + 14 * (i - 7), L::kPartY + 4)},
           4, 112);
  }
  b.path({V(20, 520), V(300, 520), V(340, 480), V(L::kResX + 8, 480)}, 6, 108);
  // The chip: pads, body, pin-1 mark, a moulding line.
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < L::kPadsPerRow; ++i) {
      const ccRect p = L::pad(row, i);
      b.rect(p.ul().x(), p.ul().y(), p.lr().x(), p.lr().y(), 212);
    }
  b.rect(L::kBodyX, L::kBodyY, L::kBodyX + L::kBodyW, L::kBodyY + L::kBodyH, 30);
  b.rect(L::kBodyX + 6, L::kBodyY + 6, L::kBodyX + L::kBodyW - 6, L::kBodyY + L::kBodyH - 6, 38);
  b.disc(V(L::kBodyX + 18, L::kBodyY + 18), 6, 85);
  // The small part and its twin.
  for (int twin = 0; twin < 2; ++twin) {
    const V o(L::kPartX + twin * L::kTwinDX, L::kPartY + twin * L::kTwinDY);
    for (int i = 0; i < L::kPartPads; ++i) {
      const ccRect p = L::partPad(i);
      b.rect(o.x() + p.ul().x(), o.y() + p.ul().y(), o.x() + p.lr().x(), o.y() + p.lr().y(), 215);
    }
    b.rect(o.x() + 2, o.y() + 12, o.x() + 48, o.y() + 40, 34);
  }
  // Vias, fiducials, the mounting hole, the solder blob, the chip resistor.
  for (int i = 0; i < L::kVias; ++i) {
    b.ring(L::via(i), 4, 9, 190);
    b.disc(L::via(i), 4, 12);
  }
  for (int i = 0; i < 2; ++i) {
    b.disc(L::fiducial(i), 22, 22);
    b.disc(L::fiducial(i), 11, 238);
  }
  b.ring(V(L::kHoleX, L::kHoleY), L::kHoleR0, L::kHoleR1, 175);
  b.disc(V(L::kHoleX, L::kHoleY), L::kHoleR0, 8);
  b.ellipse(V(L::kBlobX, L::kBlobY), 30, 17, 0.35, 200);
  b.rect(L::kResX, L::kResY, L::kResX + 16, L::kResY + 26, 210);
  b.rect(L::kResX + 58, L::kResY, L::kResX + 74, L::kResY + 26, 210);
  b.rect(L::kResX + 16, L::kResY + 3, L::kResX + 58, L::kResY + 23, 95);
  // A grey ramp for calibration.
  for (int i = 0; i < 64; ++i) b.rect(40 + 6 * i, 548, 46 + 6 * i, 580, 4 * i + 2);
  return b.pels();
}

// ---------------------------------------------------------------------------------------------
// The overlays.

ccGraphicProps pen(const ccColor& c, long width = 1,
                   ccGraphicProps::cePenStyle style = ccGraphicProps::eSolid, bool fill = false) {
  return ccGraphicProps(c, width, style, fill);
}

const ccColor kLightBlue(90, 170, 255);
const ccColor kViolet(200, 130, 255);
const ccColor kLime(140, 255, 90);
const ccColor kPanel(28, 32, 40);

enum Font : long { eTitleFont = 1, eSmallFont = 2 };

// A label; with a background colour other than the pass colour it sits on a box of that colour.
void text(ccUITablet& t, const std::string& s, V at, const ccColor& c,
          ccUIFormat::Alignment a = ccUIFormat::eTopLeft, long font = -1,
          const ccColor& background = ccColor::passColor()) {
  t.draw(s, ccPoint(at), c, background, ccUIFormat(font, a), kOverlay);
}

// The inspection of the small part at o: recorded into the tablet's sketch by the caller.
void inspectPart(ccUITablet& t, V o) {
  using L = Layout;
  for (int i = 0; i < L::kPartPads; ++i) {
    const ccRect p = L::partPad(i);
    t.draw(ccRect(o + p.ul() - V(2, 2), p.sz() + V(4, 4)), pen(ccColor::greenColor()), kOverlay);
    t.drawPointIcon(ccPoint(o + p.center()), ccColor::yellowColor(), kOverlay);
  }
  t.draw(ccAffineRectangle(o + V(1, 11), o + V(49, 12), o + V(0, 40)),
         pen(ccColor::magentaColor(), 2), kOverlay);
  text(t, "Q ok", o + V(54, 26), kLime, ccUIFormat::eCenterLeft);
}

void drawLegend(ccUITablet& t) {
  const V ul(548, 424);
  t.draw(ccRect(ul, V(190, 168)), pen(kPanel, 1, ccGraphicProps::eSolid, true), kOverlay);
  t.draw(ccRect(ul, V(190, 168)), pen(ccColor::greyColor()), kOverlay);
  text(t, "pen styles", ul + V(8, 6), ccColor::whiteColor(), ccUIFormat::eTopLeft, eSmallFont);
  const char* names[] = {"solid", "dash", "dot", "dash-dot", "dash-dot-dot"};
  const ccColor* colors[] = {&ccColor::cyanColor(), &ccColor::yellowColor(),
                             &ccColor::orangeColor(), &ccColor::greenColor(),
                             &ccColor::magentaColor()};
  for (int i = 0; i < 5; ++i) {
    const double y = ul.y() + 30 + 14 * i;
    t.draw(ccLineSeg(V(ul.x() + 10, y), V(ul.x() + 80, y)),
           pen(*colors[i], 2, static_cast<ccGraphicProps::cePenStyle>(i)), kOverlay);
    text(t, names[i], V(ul.x() + 88, y), ccColor::ltGreyColor(), ccUIFormat::eCenterLeft,
         eSmallFont);
  }
  text(t, "widths", ul + V(8, 102), ccColor::whiteColor(), ccUIFormat::eTopLeft, eSmallFont);
  const long widths[] = {1, 2, 3, 5, 8};
  for (int i = 0; i < 5; ++i) {
    const double x = ul.x() + 16 + 20 * i;
    t.draw(ccLineSeg(V(x, ul.y() + 124), V(x, ul.y() + 158)), pen(kLightBlue, widths[i]), kOverlay);
  }
  // Colour swatches, filled.
  const ccColor* swatches[] = {&ccColor::redColor(),    &ccColor::orangeColor(),
                               &ccColor::yellowColor(), &ccColor::greenColor(),
                               &ccColor::cyanColor(),   &ccColor::blueColor(),
                               &ccColor::purpleColor(), &ccColor::magentaColor()};
  for (int i = 0; i < 8; ++i) {
    const V at(ul.x() + 124 + 16 * (i % 4), ul.y() + 124 + 18 * (i / 4));
    t.draw(ccRect(at, V(12, 12)), *swatches[i], kOverlay, true);
  }
}

// The inspection overlay as retained graphics, in drawing order.

template <class G, class... Args>
ccPtrHandle<ccGraphic> graphic(Args&&... args) {
  return ccPtrHandle<ccGraphic>(new G(std::forward<Args>(args)...));
}

// A label graphic; with a background colour other than the pass colour it sits on a box of that
// colour.
ccPtrHandle<ccGraphic> label(const std::string& s, V at, const ccColor& c,
                             ccUIFormat::Alignment a = ccUIFormat::eTopLeft, long font = -1,
                             const ccColor& background = ccColor::passColor()) {
  return graphic<ccGraphicText>(s, ccPoint(at), c, background, ccUIFormat(font, a), V(0, 0));
}

ccGraphicList inspectionGraphics(const ccPelBuffer<unsigned char>& board) {
  using L = Layout;
  ccGraphicList g;
  auto add = [&g](const ccPtrHandle<ccGraphic>& h) { g.append(h, false); };

  // Board alignment: the line through both fiducials, crosses and circles on them.
  add(graphic<ccGraphicSimple<ccLine>>(ccLine(L::fiducial(1) - L::fiducial(0), L::fiducial(0)),
                                       pen(ccColor::ltGreyColor(), 1, ccGraphicProps::eDot)));
  for (int i = 0; i < 2; ++i) {
    const V f = L::fiducial(i);
    const ccCircle ring(f, 22);  // a shape turned into its graphic
    add(ccGraphic::makeShapeGraphic(&ring, pen(ccColor::cyanColor(), 1, ccGraphicProps::eDash)));
    add(graphic<ccGraphicCross>(ccCross(f, ccRadian(ccDegree(45)), 16),
                                pen(ccColor::cyanColor(), 2)));
  }
  char fid1[48];
  std::snprintf(fid1, sizeof fid1, "FID1 (%.1f, %.1f)", L::fiducial(0).x(), L::fiducial(0).y());
  add(label(fid1, L::fiducial(0) + V(28, -28), ccColor::cyanColor(), ccUIFormat::eCenterLeft));
  add(label("FID2", L::fiducial(1) + V(0, -36), ccColor::cyanColor(), ccUIFormat::eBottomCenter));

  // The chip: a search region, every pad, the shifted one flagged, the body's pose.
  add(graphic<ccGraphicSimple<ccPolygon>>(
      ccPolygon({{140, 100}, {400, 100}, {412, 112}, {412, 318}, {128, 318}, {128, 112}}),
      pen(ccColor::ltGreyColor(), 1, ccGraphicProps::eDashDot)));
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < L::kPadsPerRow; ++i) {
      const ccRect p = L::pad(row, i);
      const bool bad = row == 1 && i == L::kShiftedPad;
      add(graphic<ccGraphicWithFill<ccRect, ccGenRect>>(
          ccRect(p.ul() - V(2, 2), p.sz() + V(4, 4)),
          bad ? pen(ccColor::redColor(), 3) : pen(ccColor::greenColor())));
    }
  const V bodyCentre(L::kBodyX + L::kBodyW / 2, L::kBodyY + L::kBodyH / 2);
  add(graphic<ccGraphicWithFill<ccGenRect, ccGenRect>>(
      ccGenRect(bodyCentre, V(L::kBodyW / 2, L::kBodyH / 2), ccRadian(ccDegree(0.8)),
                V(0.08, 0.16)),
      pen(ccColor::magentaColor(), 2)));
  add(graphic<ccGraphicSimple<ccCoordAxes>>(
      ccCoordAxes(bodyCentre, bodyCentre + V(60, 0.8), bodyCentre + V(-0.8, 45)),
      pen(ccColor::yellowColor(), 2)));
  add(label("U1  0.8 deg", bodyCentre + V(8, -6), ccColor::yellowColor(), ccUIFormat::eBottomLeft));
  const V pin1(L::kBodyX + 18, L::kBodyY + 18);
  add(graphic<ccGraphicWithFill<ccEllipseAnnulus, ccEllipseAnnulus>>(
      ccEllipseAnnulus(ccEllipse(pin1, V(11, 11)), 0.7), ccColor::orangeColor(), false));
  add(graphic<ccGraphicPointIcon>(ccPoint(pin1), ccColor::orangeColor()));
  add(label("pin 1", V(L::kBodyX + 32, L::kBodyY + 18), ccColor::orangeColor(),
            ccUIFormat::eCenterLeft, eSmallFont));

  // Vias: rings found, traces checked, and the intensity profile through them.
  for (int i = 0; i < L::kVias; ++i)
    add(graphic<ccGraphicWithFill<ccAnnulus, ccGenAnnulus>>(ccAnnulus(L::via(i), 4, 10),
                                                            pen(ccColor::yellowColor())));
  std::vector<ccLineSeg> traces;
  for (int i = 0; i < 3; ++i) {
    const V from = L::pad(1, i + 1).center() + V(0, L::kPadH / 2);
    traces.emplace_back(from, V(from.x(), 345));
  }
  add(graphic<ccGraphicSimple<ccLineSegSet>>(ccLineSegSet(traces),
                                             pen(kLime, 1, ccGraphicProps::eDash)));
  // After the traces, so that its box covers them.
  const ccRect bad = L::pad(1, L::kShiftedPad);
  add(label(" pad 17: shifted +4.0 px ", V(bad.center().x(), bad.lr().y() + 8), ccColor::redColor(),
            ccUIFormat::eTopCenter, -1, kPanel));
  const double py = L::kViaY, px0 = L::kProfileX0, px1 = L::kProfileX1;
  add(graphic<ccGraphicSimple<ccLineSeg>>(ccLineSeg(V(px0, py), V(px1, py)),
                                          pen(ccColor::orangeColor(), 1, ccGraphicProps::eDash)));
  std::vector<V> profile;
  for (long x = static_cast<long>(px0); x <= static_cast<long>(px1); ++x)
    profile.emplace_back(x, 500 - 0.25 * board.get(x, static_cast<long>(py)));
  add(graphic<ccGraphicWithFill<ccRect, ccGenRect>>(ccRect(V(px0, 430), V(px1 - px0, 72)),
                                                    pen(ccColor::dkGreyColor())));
  add(graphic<ccGraphicSimple<ccPolyline>>(ccPolyline(profile), pen(ccColor::orangeColor())));
  add(label("profile y = 400", V(px0 + 4, 432), ccColor::orangeColor(), ccUIFormat::eTopLeft,
            eSmallFont));

  // The solder blob: fitted ellipse, edge points, a spline contour and a leader.
  const V blob(L::kBlobX, L::kBlobY);
  add(graphic<ccGraphicWithFill<ccEllipse, ccEllipse>>(ccEllipse(blob, V(32, 19), ccRadian(0.35)),
                                                       pen(kLightBlue, 2)));
  std::vector<V> edge, contour;
  for (int i = 0; i < 16; ++i) {
    const double a = 2 * ccPi * i / 16;
    const V e(30 * std::cos(a), 17 * std::sin(a));
    const V r(e.x() * std::cos(0.35) - e.y() * std::sin(0.35),
              e.x() * std::sin(0.35) + e.y() * std::cos(0.35));
    edge.push_back(blob + r);
    contour.push_back(blob + r * (1.35 + 0.08 * std::sin(3 * a)));
  }
  contour.push_back(contour.front());
  add(graphic<ccGraphicSimple<ccPointSet>>(ccPointSet(edge), pen(ccColor::redColor())));
  add(graphic<ccGraphicSimple<ccPoint>>(ccPoint(blob), pen(ccColor::redColor(), 5)));
  add(graphic<ccGraphicSimple<ccInterpSpline>>(ccInterpSpline(contour),
                                               pen(kViolet, 1, ccGraphicProps::eDot)));
  add(graphic<ccGraphicSimple<ccBezierCurve>>(
      ccBezierCurve(V(404, 388), V(412, 398), V(398, 406), blob + V(4, -21)), pen(kLightBlue)));
  add(label("blob 1,602 px2", V(350, 380), kLightBlue, ccUIFormat::eCenterLeft));

  // The chip resistor: a rounded box, the gap between its pads, a search frame.
  const V res = L::resistorCentre();
  add(graphic<ccGraphicWithFill<ccGenRect, ccGenRect>>(
      ccGenRect(res, V(41, 17), ccRadian(0), V(0.3, 0.5)), pen(ccColor::orangeColor(), 2)));
  add(graphic<ccGraphicSimple<ccGenAnnulus>>(
      ccGenAnnulus(ccGenRect(res, V(46, 22), ccRadian(0), V(0, 0)),
                   ccGenRect(res, V(54, 30), ccRadian(0), V(0, 0))),
      pen(ccColor::greyColor(), 1, ccGraphicProps::eDot)));
  add(graphic<ccGraphicSimple<ccLineSeg>>(
      ccLineSeg(V(L::kResX + 16, res.y()), V(L::kResX + 58, res.y())), pen(ccColor::whiteColor())));
  add(label("R1 gap 42 px", V(res.x(), L::kResY - 20), ccColor::whiteColor(),
            ccUIFormat::eBottomCenter));

  // The mounting hole: circle and ellipse fits, an arc gauge, and the ring's inspection band.
  const V hole(L::kHoleX, L::kHoleY);
  add(graphic<ccGraphicWithFill<ccCircle, ccEllipse2>>(ccCircle(hole, L::kHoleR0),
                                                       pen(ccColor::greenColor(), 2)));
  add(graphic<ccGraphicWithFill<ccEllipse2, ccEllipse2>>(
      ccEllipse2(V(L::kHoleR1 + 1, L::kHoleR1 - 1), ccRadian(ccDegree(30)), hole),
      pen(kLightBlue)));
  add(graphic<ccGraphicEllipseAnnulusSection>(
      ccEllipseAnnulusSection(ccEllipseAnnulus(ccEllipse(hole, V(56, 56)), 0.82),
                              ccRadian(ccDegree(200)), ccRadian(ccDegree(340))),
      pen(kViolet, 1)));
  add(graphic<ccGraphicSimple<ccEllipseArc>>(
      ccEllipseArc(ccEllipse(hole, V(64, 64)), ccRadian(ccDegree(-60)), ccRadian(ccDegree(60))),
      pen(ccColor::yellowColor(), 2, ccGraphicProps::eDash)));
  add(graphic<ccGraphicSimple<ccEllipseArc2>>(
      ccEllipseArc2(ccEllipse2(V(70, 70), ccRadian(0), hole), ccRadian(ccDegree(100)),
                    ccRadian(ccDegree(80))),
      pen(ccColor::orangeColor(), 1)));
  add(label("H1  d = 56.0", hole + V(0, -76), kViolet, ccUIFormat::eBottomCenter));

  // Grey ramp: measured levels.
  add(graphic<ccGraphicWithFill<ccRect, ccGenRect>>(
      ccRect(V(38, 546), V(388, 36)), pen(ccColor::whiteColor(), 1, ccGraphicProps::eDot)));
  add(label("0", V(40, 586), ccColor::ltGreyColor(), ccUIFormat::eTopLeft, eSmallFont));
  add(label("255", V(424, 586), ccColor::ltGreyColor(), ccUIFormat::eTopRight, eSmallFont));
  for (int i = 0; i <= 4; ++i)
    add(graphic<ccGraphicSimple<ccPoint>>(ccPoint(40 + 96 * i, 543), ccColor::whiteColor()));
  return g;
}

// The whole scene on a root tablet over the layers, with the inspection overlay's graphics.
// roundTrip receives the recorded sketch of the small part's inspection and returns the sketch to
// replay over its twin.
void drawScene(ccCairoLayers& layers, const ccPelBuffer<unsigned char>& board,
               const ccGraphicList& overlay,
               const std::function<ccUISketch(const ccUISketch&)>& roundTrip) {
  using L = Layout;
  for (int l = 0; l < 2; ++l) {
    ccCairoScope& s = layers.scope(l);
    s.font(eTitleFont, ccCairoFont{"DejaVu Sans", 19, true, false});
    s.font(eSmallFont, ccCairoFont{"DejaVu Sans", 11, false, false});
    s.font(-1, ccCairoFont{"DejaVu Sans Mono", 12, false, false});
  }
  layers.overlay().textBackground(true);

  ccUITablet t(&layers.image(), &layers.overlay());
  t.visible(true);
  t.draw(board, ccPoint(0, 0), false, 0, false, kImage);

  // The inspection overlay, kept as a graphic list; then what is drawn directly on the tablet: a
  // generic shape and the arrowheads of the gauges.
  overlay.draw(t, kOverlay);
  // A rounded hexagon keeps other parts away from the second fiducial.
  std::vector<V> hexagon;
  for (int i = 0; i < 6; ++i)
    hexagon.push_back(L::fiducial(1) + V(31 * std::cos(ccPi / 3 * i), 31 * std::sin(ccPi / 3 * i)));
  t.draw(ccGenShapeRoundedPolygon(hexagon, 6), ccColor::ltGreyColor(), kOverlay);
  t.arrowHead(ccPoint(V(L::kProfileX1, L::kViaY)), V(1, 0), 8.0f, pen(ccColor::orangeColor()),
              kOverlay);
  const ccGraphicProps gauge = pen(ccColor::whiteColor());
  const V res = L::resistorCentre();
  t.arrowHead(ccPoint(V(L::kResX + 16, res.y())), V(-1, 0), 6.0f, gauge, kOverlay);
  t.arrowHead(ccPoint(V(L::kResX + 58, res.y())), V(1, 0), 6.0f, gauge, kOverlay);

  // The small part: its inspection recorded, archived and loaded back, replayed over its twin.
  t.recordOn().push(true);
  t.sketch().erase();
  const V part(L::kPartX, L::kPartY);
  inspectPart(t, part);
  const ccUISketch recorded = t.sketch();
  t.recordOn().pop();
  const ccUISketch replay = roundTrip(recorded);
  t.draw(replay, ccPoint(V(L::kTwinDX, L::kTwinDY)), ccUITablet::eBothLayers);
  text(t, "replayed sketch", part + V(L::kTwinDX + 25, L::kTwinDY + 58), ccColor::ltGreyColor(),
       ccUIFormat::eTopCenter, eSmallFont);

  drawLegend(t);

  // The loupe: a child tablet showing the small part and its label enlarged, the sketch replayed
  // in it; on the parent, the region it shows and its frame.
  const double zoom = 2;
  const ccUIRect loupe(578, 14, 210, 180);
  const V region = part + V(-4, -4);
  {
    ccUITablet child(t, loupe);
    child.visible(true);
    child.baseMap(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(0, 0) - region));
    child.scaleExact(ccPair<double>(zoom, zoom));
    child.draw(board, ccPoint(0, 0), false, 0, false, kImage);
    child.set(ccColor::passColor(), kOverlay);
    child.draw(replay, ccPoint(0, 0), ccUITablet::eBothLayers);
  }
  const V regionSize(loupe.width() / zoom, loupe.height() / zoom);
  t.draw(ccRect(region, regionSize), pen(ccColor::whiteColor(), 1, ccGraphicProps::eDash),
         kOverlay);
  t.draw(ccLineSeg(region + V(regionSize.x(), 0), V(loupe.left() - 2, loupe.top())),
         pen(ccColor::whiteColor(), 1, ccGraphicProps::eDot), kOverlay);
  t.draw(ccLineSeg(region + regionSize, V(loupe.left() - 2, loupe.top() + loupe.height())),
         pen(ccColor::whiteColor(), 1, ccGraphicProps::eDot), kOverlay);
  t.draw(ccRect(V(loupe.left() - 2, loupe.top() - 2), V(loupe.width() + 3, loupe.height() + 3)),
         pen(ccColor::whiteColor(), 2), kOverlay);
  text(t, std::to_string(static_cast<int>(zoom)) + "x",
       V(loupe.left() + loupe.width() - 6, loupe.top() + loupe.height() - 4), ccColor::whiteColor(),
       ccUIFormat::eBottomRight, eTitleFont);

  // Title.
  text(t, "dispc - synthetic board inspection", V(12, 8), ccColor::whiteColor(),
       ccUIFormat::eTopLeft, eTitleFont);
  const int pads = 2 * L::kPadsPerRow + 2 * L::kPartPads + L::kResPads;  // the part and its twin
  text(
      t,
      std::to_string(pads) + " pads, 1 shifted; " + std::to_string(L::kVias) + " vias; 2 fiducials",
      V(12, 32), ccColor::ltGreyColor(), ccUIFormat::eTopLeft, eSmallFont);
}

// ---------------------------------------------------------------------------------------------
// Files.

void report(const std::filesystem::path& path, const std::string& what) {
  std::printf("  %-16s %9ju bytes  %s\n", path.filename().string().c_str(),
              static_cast<std::uintmax_t>(std::filesystem::file_size(path)), what.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 ||
      (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
    std::fprintf(argc > 2 ? stderr : stdout,
                 "Usage: dispc-demo [output-directory]   (default ./demo-out)\n");
    return argc > 2 ? 2 : 0;
  }
  const std::filesystem::path dir = argc > 1 ? argv[1] : "demo-out";
  try {
    std::filesystem::create_directories(dir);
    const ccPelBuffer<unsigned char> board = makeBoard();
    cfWritePgm(board, (dir / "board.pgm").string());
    cfCairoWritePng(board, (dir / "board.png").string());

    // The inspection overlay is kept as a graphic list: archived, and drawn as loaded back.
    const std::string overlayPath = (dir / "overlay.dcg").string();
    {
      ccGraphicList graphics = inspectionGraphics(board);
      ccFileArchive out(overlayPath, ccArchive::eStoring);
      out || graphics;
      out.close();
    }
    ccGraphicList overlay;
    {
      ccFileArchive in(overlayPath, ccArchive::eLoading);
      in || overlay;
    }

    // The raster picture; the part's inspection goes through a sketch file on the way.
    const std::string sketchPath = (dir / "inspection.dca").string();
    long operations = 0;
    ccUISketch loaded;
    ccCairoLayers raster(kWidth, kHeight);
    drawScene(raster, board, overlay, [&](const ccUISketch& recorded) {
      {
        ccFileArchive out(sketchPath, ccArchive::eStoring);
        out || const_cast<ccUISketch&>(recorded);
        out.close();
      }
      ccFileArchive in(sketchPath, ccArchive::eLoading);
      in || loaded;
      operations = static_cast<long>(
          cfSketchCountOperations(loaded.data(), static_cast<std::size_t>(loaded.length())));
      return loaded;
    });
    raster.writePng((dir / "demo.png").string());

    // The same scene as vectors, replaying the sketch loaded above.
    ccCairoLayers vector(kWidth, kHeight, ccCairoScope::eVector);
    drawScene(vector, board, overlay, [&](const ccUISketch&) { return loaded; });
    vector.writeSvg((dir / "demo.svg").string());
    vector.writePdf((dir / "demo.pdf").string());

    // The second scene: an SMD model drawn synthetically, with its wireframe overlaid.
    writeSmdScene(dir);

    std::printf("dispc-demo wrote to %s:\n", std::filesystem::absolute(dir).string().c_str());
    report(dir / "demo.png", "the inspection scene (raster, 800 x 600)");
    report(dir / "demo.svg", "the same scene as vectors (SVG)");
    report(dir / "demo.pdf", "the same scene as vectors (PDF)");
    report(dir / "inspection.dca",
           "the recorded sketch of one part (" + std::to_string(operations) + " operations)");
    report(dir / "overlay.dcg", "the inspection overlay as a graphic list (" +
                                    std::to_string(overlay.size()) + " graphics)");
    report(dir / "board.pgm", "the generated board image (8-bit PGM)");
    report(dir / "board.png", "the generated board image (PNG)");
    report(dir / "smd.png", "the SMD model scene: synthetic image and wireframe (raster)");
    report(dir / "smd.svg", "the same SMD scene as vectors (SVG)");
    report(dir / "smd.pdf", "the same SMD scene as vectors (PDF)");
    report(dir / "smd-image.png", "the SMD model drawn synthetically (8-bit PNG)");
    const std::string boardPath = (dir / "board.pgm").string();
    std::printf(
        "Try: dispc-sketch %s\n     dispc-render -i %s --offset 126,226 %s replay.png\n"
        "     dispc-render -i %s %s overlay.png\n",
        sketchPath.c_str(), boardPath.c_str(), sketchPath.c_str(), boardPath.c_str(),
        overlayPath.c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dispc-demo: %s\n", e.what());
    return 1;
  }
}
