// Synthetic drawing of SMD polygons: the affine scan conversion and the sampled path for
// non-linear transforms. The rows are filled by the edge-table converter of scanfill.cpp; the
// rows it cannot decide with certainty are decided here as the literal scan line decides them.
//
// Where a row samples a pel. Pel-centre coordinates put the centre of pel (i, j) at (i, j).
// Rows are sampled along their centres (y = j). Along a row, a crossing at x becomes the
// boundary round(x), halves away from zero, and the pels from one boundary up to, not
// including, the next are set. Pel i therefore lies in a span exactly when its right edge,
// i + 0.5, lies in the span (x_left, x_right] between two crossings: the row is sampled at the
// right edges of the pels, not at their centres. Crossings that fall exactly on a pel edge go to
// the side away from zero (at x < 0 the span is [x_left, x_right) instead). So a filled shape
// lies up to half a pel left of the shape whose pel centres are inside. Where two crossings
// round to one boundary (a spike thinner than a pel) the ranking of equal boundaries and the
// midpoint test decide, and the pel may stay unset although its right edge is inside.
#include <dispc/smd/poly.h>
#include <dispc/smd/polyindex_p.h>
#include <dispc/smd/scanfill.h>
#include <dispc/smd/synthetic.h>

#include <core/errors.h>
#include <dispc/tolerance.h>
#include <dispc/tolfloor.h>
#include <dispc/wrfm/colors.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The widened bounding box keeps this many pels around the outline.
constexpr double kBoxMargin = 5;
// Sample fractions above this are taken as the end of the piece.
constexpr double kLastSampleFraction = 0.999999;
// More samples than this for a whole outline draw nothing a pel buffer could show; each
// piece gets its share (and at least the five an arc takes).
constexpr double kMaxSamples = 1 << 20;
// Window coordinates are kept within this range (pel buffers are far smaller).
constexpr double kMaxWindowCoordinate = 4.0e18;

bool finite(const ccVector<2>& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

double norm(const ccXform<2>& x) {
  const ccMatrix<2>& m = x.matrix();
  return std::max(std::fabs(m.element(0, 0)) + std::fabs(m.element(0, 1)),
                  std::fabs(m.element(1, 0)) + std::fabs(m.element(1, 1)));
}

// floor((1 + copysign(e, v)) v) and ceil((1 - copysign(e, v)) v), as whole doubles, moved by
// at most one pel from floor(v) and ceil(v). The tolerance always moves inwards, by e |v|:
// beyond about 5e11 pels that is more than the box's margin and would cut the outline off.
double floorTol(double v) {
  return std::min(std::floor((1 + std::copysign(ccPixelFloorTolerance, v)) * v), std::floor(v) + 1);
}
double ceilTol(double v) {
  return std::max(std::ceil((1 - std::copysign(ccPixelFloorTolerance, v)) * v), std::ceil(v) - 1);
}

long windowCoordinate(double v) {
  return static_cast<long>(std::clamp(v, -kMaxWindowCoordinate, kMaxWindowCoordinate));
}

// The pieces of the rounded outline by id (absent ones included), and the exact points where
// each piece meets its neighbours.
struct Pieces {
  explicit Pieces(const ccSMDGDPoly& poly) {
    const long n = poly.numVertices();
    all.reserve(static_cast<std::size_t>(2 * n));
    for (long id = 0; id < 2 * n; ++id) {
      all.push_back(cc_SMDGDPolyPiece::make(poly, id));
      if (all.back().present()) any = true;
    }
  }
  std::vector<cc_SMDGDPolyPiece> all;
  bool any = false;
};

void ends(const ccSMDGDPoly& poly, long id, ccVector<2>& start, ccVector<2>& end) {
  const long k = id / 2;
  start = id % 2 ? poly.roundStart_(k) : poly.roundEnd_(poly.previousVertexIndex_(k));
  end = id % 2 ? poly.roundEnd_(k) : poly.roundStart_(k);
}

// The outline mapped by m into pel-centre coordinates: lines, and arcs as ellipses.
cc_ScanOutline mappedOutline(const ccSMDGDPoly& poly, const Pieces& pieces, const ccXform<2>& m) {
  cc_ScanOutline out;
  const ccMatrix<2>& a = m.matrix();
  for (const cc_SMDGDPolyPiece& piece : pieces.all) {
    if (!piece.present()) continue;
    ccVector<2> start, end;
    ends(poly, piece.id, start, end);
    if (piece.kind == cc_SMDGDPolyPiece::eLine) {
      out.addLine(m * start, m * end, piece.id);
      continue;
    }
    const cc2SegmentArc& arc = piece.arc;
    const double r = arc.radius(ccDegree(0));
    const ccVector<2> u(r * a.element(0, 0), r * a.element(1, 0));
    const ccVector<2> v(r * a.element(0, 1), r * a.element(1, 1));
    const double t0 = ccRadian(arc.startAngle()).toDouble();
    const double span = ccRadian(arc.angleSpan()).toDouble();
    if (span >= 0)
      out.addArc(m * arc.center(), u, v, t0, t0 + span, m * start, m * end, piece.id);
    else
      out.addArc(m * arc.center(), u, v, t0 + span, t0, m * end, m * start, piece.id);
  }
  return out;
}

// The literal scan line of one row: the two-vertex line from Minv (x1, y) to Minv (x0, y)
// intersected with the polygon's pieces as the outline intersection does it, and the inside
// test of the polygon.
class LiteralRows : public cc_ScanReference {
 public:
  LiteralRows(const ccSMDGDPoly& poly, const Pieces& pieces, const ccXform<2>& m,
              const ccXform<2>& mInv, double x0, double x1)
      : poly_(poly), pieces_(pieces), m_(m), mInv_(mInv), x0_(x0), x1_(x1) {}

  void crossings(long piece, long y, std::vector<ccVector<2>>& client,
                 std::vector<double>& x) override {
    client.clear();
    x.clear();
    if (!scanAt(y)) return;
    const cc_SMDGDPolyPiece& p = pieces_.all[static_cast<std::size_t>(piece)];
    if (!p.present() || !scanBox_.meets(p.box())) return;
    client = p.kind == cc_SMDGDPolyPiece::eLine ? scan_.line.intersection(p.line, false)
                                                : p.arc.intersection(scan_.line, false);
    for (const ccVector<2>& c : client) x.push_back((m_ * c).x());
  }

  bool inside(const ccVector<2>& p) override { return ccSMDGDPolyPrivate::inside(poly_, p); }

 private:
  bool scanAt(long y) {
    if (y == y_ && made_) return valid_;
    y_ = y;
    made_ = true;
    const double yd = static_cast<double>(y);
    const ccVector<2> a = mInv_ * ccVector<2>(x1_, yd), b = mInv_ * ccVector<2>(x0_, yd);
    valid_ = a != b;
    if (!valid_) return false;
    scan_.id = 2;
    scan_.kind = cc_SMDGDPolyPiece::eLine;
    scan_.line = cc2SegmentLine(a, b);
    scanBox_ = scan_.box();
    return true;
  }

  const ccSMDGDPoly& poly_;
  const Pieces& pieces_;
  ccXform<2> m_, mInv_;
  double x0_, x1_;
  long y_ = 0;
  bool made_ = false, valid_ = false;
  cc_SMDGDPolyPiece scan_;
  cc_SMDGDPolyBox scanBox_;
};

unsigned char greyOf(const ccSMDGDPoly& poly) {
  return ccSMDColors::colorToGrayScale(poly.colors().syntheticDefaultColor());
}

// The sampled path: the outline sampled through t, paired row by row.
void drawSampled(const ccSMDGDPoly& poly, const ccPtrHandle_const<cc2XformBase>& xform,
                 ccPelBuffer<unsigned char>& pb, unsigned char grey) {
  if (!pb.isBound()) cc_detail::throwUnbound();
  const ccPtrHandle<cc2XformBase> t = pb.imageFromClientXformBase()->compose(xform);
  const double scale = t->linearApprox(ccVector<2>()).scale();
  const Pieces pieces(poly);
  const double share = std::max(5.0, kMaxSamples / static_cast<double>(pieces.all.size()));
  std::vector<ccVector<2>> points;
  auto sample = [&](const auto& piece, double count) {
    const long n = static_cast<long>(std::clamp(count, 2.0, share));
    const double step = 1.0 / static_cast<double>(n - 1);
    for (long i = 0; i < n; ++i) {
      double f = static_cast<double>(i) * step;
      if (f > kLastSampleFraction) f = 1.0;
      const ccVector<2> p = t->mapPoint(piece.segPoint(f));
      if (!finite(p)) throw ccShapesError::BadGeom("non-finite transform");
      if (!points.empty() && cfRealEq(p.x(), points.back().x(), ccRealEqEpsilon) &&
          cfRealEq(p.y(), points.back().y(), ccRealEqEpsilon))
        continue;
      points.push_back(p);
    }
  };
  for (const cc_SMDGDPolyPiece& piece : pieces.all) {
    if (piece.kind == cc_SMDGDPolyPiece::eLine) {
      const double n = std::trunc(piece.line.length() * scale / 3.0);
      sample(piece.line, std::isnan(n) ? share : std::max(2.0, n));
    } else if (piece.kind == cc_SMDGDPolyPiece::eArc) {
      // The signed span, as the sampling rule has it: a clockwise arc gets the minimum.
      sample(piece.arc, std::max(5.0, std::round(piece.arc.angleSpan().toDouble() / 2.0)));
    }
  }
  // Parity does not depend on the direction the outline runs, so the samples are filled in
  // the order taken; each chord ranks by its place in the outline.
  cc_ScanOutline outline;
  const ccVector<2> half(0.5, 0.5);
  for (std::size_t i = 0; i < points.size(); ++i)
    outline.addLine(points[i] - half, points[(i + 1) % points.size()] - half, static_cast<long>(i));
  cc_ScanTarget target{pb,
                       pb.offset().first,
                       pb.offset().second,
                       pb.offset().first + pb.width(),
                       pb.offset().second + pb.height(),
                       grey};
  cfScanFill(outline, target, nullptr, 0);
}

}  // namespace

void ccSMDGDPoly::drawSynthetic(const ccXform<2>& xform, ccPelBuffer<unsigned char>& image) const {
  ccSMDGDPolyPrivate::drawSynthetic(*this, xform, image, greyOf(*this), true, true);
}

void ccSMDGDPoly::drawSynthetic(const ccPtrHandle_const<cc2XformBase>& xform,
                                ccPelBuffer<unsigned char>& image) const {
  ccSMDGDPolyPrivate::drawSynthetic(*this, xform, image, greyOf(*this));
}

void ccSMDGDPolyPrivate::drawSynthetic(const ccSMDGDPoly& poly,
                                       const ccPtrHandle_const<cc2XformBase>& xform,
                                       ccPelBuffer<unsigned char>& pb, unsigned char grey) {
  if (poly.isOpen()) return;
  if (xform && !xform->isLinear()) {
    drawSampled(poly, xform, pb, grey);
    return;
  }
  const ccXform<2> linear = xform ? xform->linearApprox(ccVector<2>()).xform() : ccXform<2>();
  drawSynthetic(poly, linear, pb, grey, true, true);
}

void ccSMDGDPolyPrivate::drawSynthetic(const ccSMDGDPoly& poly, const ccXform<2>& clientXform,
                                       ccPelBuffer<unsigned char>& pb, unsigned char grey,
                                       bool drawOutline, bool fill) {
  if (fill && poly.isOpen()) return;
  if (!pb.isBound()) cc_detail::throwUnbound();
  // Client to pel-centre coordinates.
  ccXform<2> m = pb.imageFromClientXform() * clientXform;
  m.trans(m.trans() - ccVector<2>(0.5, 0.5));
  if (!cfIsFinite(m)) throw ccShapesError::BadGeom("non-finite transform");
  const ccXform<2> mInv = m.inverse();
  const Pieces pieces(poly);
  if (!pieces.any) return;

  const ccRect box = poly.boundingBox(m);
  const double x0 = floorTol(box.ul().x()) - kBoxMargin, x1 = ceilTol(box.lr().x()) + kBoxMargin;
  const double y0 = floorTol(box.ul().y()) - kBoxMargin, y1 = ceilTol(box.lr().y()) + kBoxMargin;
  if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1))
    throw ccShapesError::BadGeom("outline beyond the range of pel coordinates");
  // The box clipped to the caller's window (a buffer's window() would clip to its root).
  const long ox = pb.offset().first, oy = pb.offset().second;
  const long wx0 = windowCoordinate(x0), wx1 = windowCoordinate(x1);
  const long wy0 = windowCoordinate(y0), wy1 = windowCoordinate(y1);
  const long cx0 = std::clamp(wx0, ox, ox + pb.width()),
             cx1 = std::clamp(wx1, cx0, ox + pb.width());
  const long cy0 = std::clamp(wy0, oy, oy + pb.height()),
             cy1 = std::clamp(wy1, cy0, oy + pb.height());
  const bool clipped = cx0 != wx0 || cx1 != wx1 || cy0 != wy0 || cy1 != wy1;
  if (clipped && (cx1 == cx0 || cy1 == cy0)) return;
  ccPelBuffer<unsigned char> window = pb;
  window.window(cx0, cy0, cx1 - cx0, cy1 - cy0);

  if (fill) {
    // The fast converter trusts its own arithmetic a margin away from every decision the
    // literal scan line could take differently; the margin grows with the coordinates.
    const ccRect clientBox = poly.boundingBox();
    const double client = std::max({std::fabs(clientBox.ul().x()), std::fabs(clientBox.ul().y()),
                                    std::fabs(clientBox.lr().x()), std::fabs(clientBox.lr().y())});
    const double size = std::max({std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1)}) +
                        norm(m) * client + std::fabs(m.trans().x()) + std::fabs(m.trans().y());
    const double margin =
        ccSyntheticCrossingTolerance * (1 + size) * std::max(1.0, norm(m) * norm(mInv));
    const cc_ScanOutline outline = mappedOutline(poly, pieces, m);
    LiteralRows literal(poly, pieces, m, mInv, x0, x1);
    const long left = window.offset().first, top = window.offset().second;
    const cc_ScanTarget target{window, left, top, left + window.width(), top + window.height(),
                               grey};
    cfScanFill(outline, target, &literal, margin);
  }
  if (drawOutline || !fill) {
    const auto g = static_cast<signed char>(grey), f = static_cast<signed char>(fill);
    for (const cc_SMDGDPolyPiece& piece : pieces.all) {
      if (piece.kind == cc_SMDGDPolyPiece::eLine) drawLinePelBuf(window, piece.line, m, g, f);
      if (piece.kind == cc_SMDGDPolyPiece::eArc) drawArcPelBuf(window, piece.arc, m, g, f);
    }
  }
}
