#include <backends/qt/qtscope.h>

#include <backends/common/argb32.h>
#include <core/lines.h>
#include <core/visiblesample.h>
#include <dispc/errors.h>
#include <dispc/tolerance.h>

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numeric>
#include <tuple>
#include <utility>

// ---- The canvas: what a scope tree shares

class cc_QtCanvas : public ccSurfaceSettings<ccQtScope, ccQtFont> {
 public:
  cc_QtCanvas(QPaintDevice* device, std::unique_ptr<QImage> image)
      : image(std::move(image)), device(this->image ? this->image.get() : device) {
    if (!this->device) throw ccUIError::BadParams();
    width = this->device->width();
    height = this->device->height();
    palette = cc_detail::defaultPalette();
  }
  ~cc_QtCanvas() { end(); }
  cc_QtCanvas(const cc_QtCanvas&) = delete;
  cc_QtCanvas& operator=(const cc_QtCanvas&) = delete;

  // The painter, begun when needed; its state is then unknown to the caches below.
  QPainter& begin() {
    if (!painter.isActive() && painter.begin(device)) stateKnown = false;
    return painter;
  }
  void end() {
    flushStroke();
    if (painter.isActive()) painter.end();
  }

  // Draws the pending strokes: one-pixel pen strokes of one pen under a screen lock, drawn
  // in one call (a rectangle's four sides cost Qt one call instead of four); each is its own
  // line, so the pixels are those of separate calls. The painter still holds their pen: any
  // other drawing flushes them first.
  void flushStroke() {
    if (stroke.empty()) return;
    prepare(strokeClip, QPointF());
    painter.drawLines(stroke.data(), static_cast<int>(stroke.size()));
    stroke.clear();
  }

  // Prepares the painter for one operation: clip (device pixels), antialiasing, the
  // translation of the geometry and source-over drawing. Settings already in place are not
  // set again (a tablet drawing thousands of segments pays for them once).
  void prepare(const ccUIRect& clip, const QPointF& translation) {
    QPainter& p = painter;
    if (!stateKnown) {
      p.setRenderHint(QPainter::Antialiasing, antialias);
      p.setRenderHint(QPainter::TextAntialiasing, antialias);
      p.setRenderHint(QPainter::SmoothPixmapTransform, false);
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      p.setTransform(QTransform());
      p.setClipping(false);
      appliedAA = antialias;
      appliedClip = ccUIRect(0, 0, width, height);
      appliedTranslation = QPointF();
      penKnown = false;
      noBrush = false;
      stateKnown = true;
    }
    if (appliedAA != antialias) {
      p.setRenderHint(QPainter::Antialiasing, antialias);
      p.setRenderHint(QPainter::TextAntialiasing, antialias);
      appliedAA = antialias;
    }
    if (clip != appliedClip) {
      // The clip is given in device pixels: set it under the identity.
      p.setTransform(QTransform());
      appliedTranslation = QPointF();
      if (clip == ccUIRect(0, 0, width, height)) {
        p.setClipping(false);
      } else {
        p.setClipRect(
            QRect(int(clip.left()), int(clip.top()), int(clip.width()), int(clip.height())));
      }
      appliedClip = clip;
    }
    if (translation != appliedTranslation) {
      p.setTransform(QTransform::fromTranslate(translation.x(), translation.y()));
      appliedTranslation = translation;
    }
    if (composition != QPainter::CompositionMode_SourceOver) {
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      composition = QPainter::CompositionMode_SourceOver;
    }
  }
  void compose(QPainter::CompositionMode mode) {
    if (composition != mode) {
      painter.setCompositionMode(mode);
      composition = mode;
    }
  }

  std::unique_ptr<QImage> image;  // the image drawn on, when the canvas owns it
  QPaintDevice* device;
  QPainter painter;
  ccQtScope::DamageHook damageHook;

  // What the painter is known to be set to.
  bool stateKnown = false;
  bool appliedAA = true;
  ccUIRect appliedClip;
  QPointF appliedTranslation;
  QPainter::CompositionMode composition = QPainter::CompositionMode_SourceOver;
  bool penKnown = false;
  ccGraphicProps appliedProps;
  bool appliedEraser = false;
  bool noBrush = false;

  std::vector<QLine> stroke;  // device pixels
  ccGraphicProps strokeProps;
  ccUIRect strokeClip;

  // Zoom buffers kept between calls (pelScale writes into them again when it can).
  std::tuple<ccPelBuffer<unsigned char>, ccPelBuffer<unsigned short>, ccPelBuffer<ccPackedRGB16Pel>,
             ccPelBuffer<ccPackedRGB32Pel>>
      zoomed;
};

namespace {

constexpr double kPi = 3.14159265358979323846;

// Where a whole coordinate lies in its pixel: half a pixel right and down, less a hair. Qt's
// aliased rasteriser lights a pixel whose centre lies on a span's edge at the span's end,
// Cairo's at its start; moving the edges a hair off the centres makes both light the same
// pixels (a one-pixel segment from x = 10 to 60 lights 10 to 59 on both).
constexpr double kCentre = 0.49;
// Pen positions within this distance of the device origin fit Qt's int line path.
constexpr long kIntStrokeRange = 1L << 30;

// A stroke with an end beyond kIntStrokeRange (a sketch's relative moves can take the pen
// anywhere) is cut to the clip widened by ccSurfaceCutMargin, its direction kept. The cut ends
// are whole pixels on the same line where the line's lattice points lie close together (every
// line between nearby pixels), else the nearest whole pixels: the pixels that show stay those
// of the uncut stroke. Crossings are measured from the nearer end, whose coordinates the far
// end's would swallow. False when nothing of the stroke comes near the clip.
bool cutFarStroke(long& ax, long& ay, long& bx, long& by, const ccUIRect& clip) {
  const bool fromA = std::fabs(double(ax)) + std::fabs(double(ay)) <=
                     std::fabs(double(bx)) + std::fabs(double(by));
  const long nx = fromA ? ax : bx, ny = fromA ? ay : by, fx = fromA ? bx : ax, fy = fromA ? by : ay;
  const ccVector<2> n{double(nx), double(ny)}, f{double(fx), double(fy)};
  const ccVector<2> lo(double(clip.left()) - ccSurfaceCutMargin,
                       double(clip.top()) - ccSurfaceCutMargin);
  const ccVector<2> hi(double(clip.right()) + ccSurfaceCutMargin,
                       double(clip.bottom()) + ccSurfaceCutMargin);
  double t0, t1;
  if (!clipSegmentToBox(n, f, lo, hi, t0, t1)) return false;
  // The lattice step: the direction in lowest terms (differences cannot overflow below 2^61).
  constexpr long kExactRange = 1L << 61, kLatticeStep = 1L << 12;
  long g = 0, sx = 0, sy = 0;
  if (std::max({nx, ny, fx, fy}) <= kExactRange && std::min({nx, ny, fx, fy}) >= -kExactRange) {
    g = std::gcd(fx - nx, fy - ny);
    sx = g > 0 ? (fx - nx) / g : 0;
    sy = g > 0 ? (fy - ny) / g : 0;
  }
  auto at = [&](double t, bool outward, long& x, long& y) {
    if (t <= 0 || t >= 1) {
      x = t <= 0 ? nx : fx;
      y = t <= 0 ? ny : fy;
    } else if (g > 0 && std::labs(sx) + std::labs(sy) <= kLatticeStep) {
      const long k =
          static_cast<long>(outward ? std::ceil(t * double(g)) : std::floor(t * double(g)));
      x = nx + k * sx;
      y = ny + k * sy;
    } else {
      const ccVector<2> p = n + (f - n) * t;
      x = std::lround(p.x());
      y = std::lround(p.y());
    }
  };
  long px, py, qx, qy;
  at(t0, false, px, py);
  at(t1, true, qx, qy);
  if (fromA) {
    ax = px, ay = py, bx = qx, by = qy;
  } else {
    bx = px, by = py, ax = qx, ay = qy;
  }
  return true;
}

// Device extents as a whole-pixel rectangle.
ccUIRect pixelRect(double x1, double y1, double x2, double y2) {
  if (!(x2 > x1) || !(y2 > y1)) return ccUIRect::null;
  const double lim = 1e9;
  x1 = std::clamp(x1, -lim, lim);
  y1 = std::clamp(y1, -lim, lim);
  x2 = std::clamp(x2, -lim, lim);
  y2 = std::clamp(y2, -lim, lim);
  const long l = static_cast<long>(std::floor(x1)), t = static_cast<long>(std::floor(y1));
  const long r = static_cast<long>(std::ceil(x2)), b = static_cast<long>(std::ceil(y2));
  return ccUIRect(l, t, r - l, b - t);
}

QPointF qp(const ccVector<2>& v) { return QPointF(v.x(), v.y()); }

QRect qrect(const ccUIRect& r) {
  return QRect(int(r.left()), int(r.top()), int(r.width()), int(r.height()));
}

void lineTo(QPainterPath& path, const QPointF& p) {
  if (path.elementCount() == 0) {
    path.moveTo(p);
  } else {
    path.lineTo(p);
  }
}

// Adds the arc u(c + diag(r) (cos t, sin t)) for t from t0 to t1 (backwards when t1 < t0) to
// the path, joined by a line to the path's current point when there is one. A singular map is
// sampled into short segments.
void unitArc(QPainterPath& path, const ccXform<2>& u, const ccVector<2>& c, const ccVector<2>& r,
             double t0, double t1) {
  const ccMatrix<2>& m = u.matrix();
  const double a = m.element(0, 0) * r.x(), b = m.element(0, 1) * r.y();
  const double cc = m.element(1, 0) * r.x(), d = m.element(1, 1) * r.y();
  const double size = std::max({std::fabs(a), std::fabs(b), std::fabs(cc), std::fabs(d)});
  const double det = a * d - b * cc;
  if (std::isfinite(det) && std::fabs(det) > 1e-12 * size * size) {
    // Qt's angles are in degrees and turn the other way (y grows downwards).
    const QRectF box(c.x() - r.x(), c.y() - r.y(), 2 * r.x(), 2 * r.y());
    const double a0 = -t0 * 180 / kPi, sweep = -(t1 - t0) * 180 / kPi;
    QPainterPath local;
    local.arcMoveTo(box, a0);
    local.arcTo(box, a0, sweep);
    const QTransform map(m.element(0, 0), m.element(1, 0), m.element(0, 1), m.element(1, 1),
                         u.trans().x(), u.trans().y());
    const QPainterPath mapped = map.map(local);
    if (path.elementCount() == 0) {
      path = mapped;
    } else {
      path.connectPath(mapped);
    }
    return;
  }
  const long n = std::max(8L, static_cast<long>(std::ceil(std::fabs(t1 - t0) / (2 * kPi) * 256)));
  for (long i = 0; i <= n; ++i) {
    const double t = t0 + (t1 - t0) * static_cast<double>(i) / static_cast<double>(n);
    lineTo(path, qp(u * (c + ccVector<2>(r.x() * std::cos(t), r.y() * std::sin(t)))));
  }
}

QPainterPath fullEllipse(const ccXform<2>& u) {
  QPainterPath path;
  unitArc(path, u, ccVector<2>(0, 0), ccVector<2>(1, 1), 0, 2 * kPi);
  path.closeSubpath();
  return path;
}

QFont qtFont(const ccQtFont& f, bool antialias) {
  QFont font(QString::fromStdString(f.face));
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(f.size))));
  font.setBold(f.bold);
  font.setItalic(f.italic);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(antialias ? QFont::PreferAntialias : QFont::NoAntialias);
  return font;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out(1);
  for (char ch : text) {
    if (ch == '\n') {
      out.emplace_back();
    } else {
      out.back() += ch;
    }
  }
  return out;
}

// Pels through a 256-entry table of pixels.
struct Lookup {
  const std::array<std::uint32_t, 256>* table;
  std::uint32_t operator()(unsigned char v) const { return (*table)[v]; }
};

// The pels [x0, x0 + w) x [y0, y0 + h) of the window as a premultiplied ARGB image.
template <class T, class Convert>
QImage argbImage(const ccPelBuffer_const<T>& image, long x0, long y0, long w, long h,
                 Convert convert) {
  QImage out(static_cast<int>(w), static_cast<int>(h), QImage::Format_ARGB32_Premultiplied);
  if (out.isNull()) throw ccUIError::InitFailed();
  for (long y = 0; y < h; ++y) {
    const T* src = image.pointToPel(x0, y0 + y);
    auto* dst = reinterpret_cast<std::uint32_t*>(out.scanLine(static_cast<int>(y)));
    for (long x = 0; x < w; ++x) dst[x] = convert(src[x]);
  }
  return out;
}

}  // namespace

// ---- One drawing operation

// Prepares the shared painter (clip, antialiasing, composition) and turns extents into a
// change of the scope. Geometry is given in the tablet's pixels (tablet()) or device pixels.
class ccQtScope::Draw {
 public:
  Draw(ccQtScope& s, bool tablet) : s_(s), c_(*s.canvas_) {
    clip_ = s.surfaceClip();
    origin_ = s.surfaceOrigin();
    if (clip_.isNull() || c_.offScreen) return;
    if (!c_.begin().isActive()) return;
    c_.flushStroke();
    if (tablet) {
      shift_ = QPointF(double(s.tabletOffset().first) + kCentre,
                       double(s.tabletOffset().second) + kCentre);
    }
    c_.prepare(clip_, shift_);
    ok_ = true;
  }
  Draw(const Draw&) = delete;
  Draw& operator=(const Draw&) = delete;

  bool ok() const { return ok_; }
  QPainter& p() const { return c_.painter; }
  const ccPair<long>& origin() const { return origin_; }
  const ccUIRect& clip() const { return clip_; }

  // Draws in color from now on (the pass colour clears when passErases is on).
  QColor color(const ccColor& c) {
    if (s_.isEraser(c)) {
      c_.compose(QPainter::CompositionMode_Clear);
      return QColor(0, 0, 0, 0);
    }
    const ccRGB t = s_.rgbOf(c);
    return QColor(t.r(), t.g(), t.b());
  }

  // The pen of props, no brush; false when the style draws no outline. The painter keeps the
  // pen of the last props, so drawing with the same props again sets nothing.
  bool pen(const ccGraphicProps& props) {
    const bool eraser = s_.isEraser(props.penColor());
    if (eraser) c_.compose(QPainter::CompositionMode_Clear);
    if (!c_.noBrush) {
      p().setBrush(Qt::NoBrush);
      c_.noBrush = true;
    }
    const bool outline = props.penStyle() != ccGraphicProps::eNull;
    if (c_.penKnown && c_.appliedEraser == eraser && c_.appliedProps == props) return outline;
    c_.penKnown = true;
    c_.appliedEraser = eraser;
    c_.appliedProps = props;
    if (!outline) {
      p().setPen(Qt::NoPen);
      return false;
    }
    const double w = strokeWidth(props);
    QPen pen(eraser ? QColor(0, 0, 0, 0) : color(props.penColor()), w);
    static const Qt::PenJoinStyle joins[] = {Qt::MiterJoin, Qt::RoundJoin, Qt::BevelJoin};
    static const Qt::PenCapStyle caps[] = {Qt::FlatCap, Qt::RoundCap, Qt::SquareCap};
    auto pick = [](long v, long n) { return v >= 0 && v < n ? v : 0; };
    pen.setJoinStyle(joins[pick(props.penJoin(), 3)]);
    pen.setCapStyle(caps[pick(props.penEndCap(), 3)]);
    // Qt measures the miter from the join point, Cairo from the inner corner: 5 here is
    // Cairo's 10.
    pen.setMiterLimit(5);
    // Dash patterns in pen widths (Qt's unit): dash, dot, dash-dot, dash-dot-dot.
    static const QList<qreal> dashes[] = {{}, {6, 3}, {2, 2}, {6, 3, 2, 3}, {6, 3, 2, 3, 2, 3}};
    const long style = pick(props.penStyle(), 5);
    if (style != ccGraphicProps::eSolid) pen.setDashPattern(dashes[style]);
    p().setPen(pen);
    return true;
  }
  // The brush for a fill in the pen colour.
  void fillWithPen(const ccGraphicProps& props) {
    p().setBrush(s_.isEraser(props.penColor()) ? QColor(0, 0, 0, 0) : color(props.penColor()));
    c_.noBrush = false;
  }

  // Notes the device extents of geometry bounded by r (in the painter's current coordinates),
  // grown by how far a pen of props may reach past it (joins when joined).
  void noteStroke(const QRectF& r, const ccGraphicProps& props, bool joined) {
    const double w = strokeWidth(props);
    double reach = w / 2;
    if (props.penEndCap() == ccGraphicProps::eSquareCap) reach *= 1.5;
    if (joined && props.penJoin() == ccGraphicProps::eMiterJoin) reach = 5 * w;
    const double e = reach + 1;
    note(pixelRect(r.left() + shift_.x() - e, r.top() + shift_.y() - e, r.right() + shift_.x() + e,
                   r.bottom() + shift_.y() + e));
  }
  // A rectangle of device pixels.
  void note(const ccUIRect& deviceRect, bool checkOpaque = false) {
    s_.noteDevice(deviceRect & clip_, checkOpaque);
  }

 private:
  ccQtScope& s_;
  cc_QtCanvas& c_;
  ccUIRect clip_;
  ccPair<long> origin_;
  QPointF shift_;
  bool ok_ = false;
};

// ---- ccQtScope

ccQtScope::ccQtScope(QPaintDevice* device)
    : ccQtScope(std::make_shared<cc_QtCanvas>(device, nullptr)) {}

ccQtScope::ccQtScope(std::shared_ptr<cc_QtCanvas> canvas, const ccPair<long>& clipOffset)
    : ccSurfaceScope(canvas.get(), clipOffset), canvas_(std::move(canvas)) {}

ccQtScope::~ccQtScope() = default;

std::shared_ptr<cc_QtCanvas> ccQtScope::makeImageCanvas(long width, long height, bool opaque) {
  if (width < 0 || height < 0 || width > 32767 || height > 32767) throw ccUIError::BadParams();
  auto image =
      std::make_unique<QImage>(static_cast<int>(width), static_cast<int>(height),
                               opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
  if (width > 0 && height > 0 && image->isNull()) throw ccUIError::InitFailed();
  image->fill(opaque ? Qt::black : Qt::transparent);
  return std::make_shared<cc_QtCanvas>(nullptr, std::move(image));
}

QImage* ccQtScope::canvasImage() const { return canvas_->image.get(); }
void ccQtScope::endPainter() const { canvas_->end(); }

// ---- Settings

QPaintDevice* ccQtScope::device() const { return canvas_->device; }
QPainter& ccQtScope::painter() const {
  QPainter& p = canvas_->begin();
  if (p.isActive()) canvas_->flushStroke();
  return p;
}

void ccQtScope::flush() {
  // An image holds every pixel drawn as soon as it is drawn: its painter may go on.
  if (!canvas_->image) canvas_->end();
  runOutputHook();
}

long ccQtScope::deviceWidth() const { return canvas_->width; }
long ccQtScope::deviceHeight() const { return canvas_->height; }
const std::array<ccRGB, 256>& ccQtScope::defaultPalette() { return cc_detail::defaultPalette(); }

void ccQtScope::paletteChanged() { canvas_->penKnown = false; }

void ccQtScope::damageHook(DamageHook hook) { canvas_->damageHook = std::move(hook); }

// ---- Geometry of the tree

ccQtScope* ccQtScope::newSubScope(const ccUIRect& rect, bool /*temporary*/) {
  auto* sub = new ccQtScope(canvas_);
  sub->unplaced();
  sub->move(*this, rect);
  return sub;
}

// ---- Drags

void ccQtScope::dragStart() {
  dragging(true);
  dragSaved_.reset();
  if (!canvas_->image) return;
  canvas_->end();
  // A shared copy: the canvas detaches from it when it is drawn on again.
  dragSaved_ = std::make_unique<QImage>(*canvas_->image);
}

void ccQtScope::dragStop() {
  dragging(false);
  dragSaved_.reset();
}

void ccQtScope::dragErase() {
  if (!dragSaved_) return;
  Draw d(*this, false);
  if (!d.ok()) return;
  canvas_->compose(QPainter::CompositionMode_Source);
  const ccUIRect& c = d.clip();
  const QRect r = qrect(c);
  d.p().drawImage(r, *dragSaved_, r);
  d.note(c);
}

// ---- Screen updates

bool ccQtScope::lockScreenUpdatesPop() {
  if (canvas_->painter.isActive()) canvas_->flushStroke();
  return ccSurfaceScope::lockScreenUpdatesPop();
}

void ccQtScope::invalidateScreen(const ccUIRect& rect) {
  change(rect, false);
  const ccUIRect r = (rect + surfaceOrigin()) & surfaceClip();
  if (canvas_->damageHook && !r.isNull()) canvas_->damageHook(qrect(r));
}

void ccQtScope::noteDevice(const ccUIRect& r, bool checkOpaque) {
  if (r.isNull()) return;
  change(r - surfaceOrigin(), checkOpaque);
  if (canvas_->damageHook) canvas_->damageHook(qrect(r));
}

// ---- Shapes

void ccQtScope::draw(const ccGenShape& shape, const ccColor& color) {
  Draw d(*this, true);
  if (!d.ok()) return;
  ccShape::ccSampleResult samples;
  try {
    // A curve far larger than the scope costs the points of its visible part.
    cfSampleVisible(shape, ccShape::ccSampleParams(0, 0.25), tabletView(2), samples);
  } catch (const std::exception&) {
    return;  // nothing drawable
  }
  if (samples.positions().empty()) return;
  QPolygonF poly;
  poly.reserve(static_cast<int>(samples.positions().size()));
  for (const ccVector<2>& p : samples.positions()) poly << qp(p);
  const ccGraphicProps props(color, 1);
  d.pen(props);
  if (shape.isRegion()) {
    d.p().drawPolygon(poly);
  } else {
    d.p().drawPolyline(poly);
  }
  d.noteStroke(poly.boundingRect(), props, true);
}

namespace {

// Strokes (and fills, with the brush set) a path, noting its extents.
template <class DrawT>
void strokePath(DrawT& d, const QPainterPath& path, const ccGraphicProps& props, bool fill) {
  const bool outline = d.pen(props);
  if (fill) d.fillWithPen(props);
  if (!outline && !fill) return;
  d.p().drawPath(path);
  d.noteStroke(path.controlPointRect(), props, true);
}

}  // namespace

void ccQtScope::drawEllipseArc(const ccEllipseArc& arc, const ccGraphicProps& props) {
  Draw d(*this, true);
  if (!d.ok()) return;
  QPainterPath path;
  const double t0 = arc.phi1().toDouble();
  unitArc(path, arc.ellipse().unit(), ccVector<2>(0, 0), ccVector<2>(1, 1), t0,
          t0 + arc.angleSpan().toDouble());
  if (arc.isFull()) path.closeSubpath();
  strokePath(d, path, props, false);
}

// An ellipse through its unit map u: axis-aligned ones through Qt's own ellipse drawing (much
// faster than a stroked path), others as a path.
template <class DrawT>
void drawUnitEllipse(DrawT& d, const ccXform<2>& u, const ccGraphicProps& props) {
  const ccMatrix<2>& m = u.matrix();
  const double a = m.element(0, 0), b = m.element(0, 1), c = m.element(1, 0), e = m.element(1, 1);
  const double size = std::max({std::fabs(a), std::fabs(b), std::fabs(c), std::fabs(e)});
  if (!(std::fabs(b) <= 1e-12 * size && std::fabs(c) <= 1e-12 * size)) {
    strokePath(d, fullEllipse(u), props, props.fill());
    return;
  }
  const bool outline = d.pen(props);
  if (props.fill()) d.fillWithPen(props);
  if (!outline && !props.fill()) return;
  const QRectF box(u.trans().x() - std::fabs(a), u.trans().y() - std::fabs(e), 2 * std::fabs(a),
                   2 * std::fabs(e));
  d.p().drawEllipse(box);
  d.noteStroke(box, props, true);
}

void ccQtScope::drawEllipse(const ccEllipse& ellipse, const ccGraphicProps& props) {
  Draw d(*this, true);
  if (!d.ok()) return;
  drawUnitEllipse(d, ellipse.unit(), props);
}

void ccQtScope::drawEllipseArc2(const ccEllipseArc2& arc, const ccGraphicProps& props) {
  Draw d(*this, true);
  if (!d.ok()) return;
  const double t0 = arc.phiStart().toDouble();
  double span = arc.phiSpan().toDouble();
  if (arc.isFull()) span = span < 0 ? -2 * kPi : 2 * kPi;
  QPainterPath path;
  unitArc(path, arc.ellipse().ellFromUnitCirc(), ccVector<2>(0, 0), ccVector<2>(1, 1), t0,
          t0 + span);
  if (arc.isFull()) path.closeSubpath();
  strokePath(d, path, props, false);
}

void ccQtScope::drawEllipse2(const ccEllipse2& ellipse, const ccGraphicProps& props) {
  Draw d(*this, true);
  if (!d.ok()) return;
  drawUnitEllipse(d, ellipse.ellFromUnitCirc(), props);
}

void ccQtScope::drawPolygon(const std::vector<ccVector<2>>& vertices,
                            ccPolygon::PolyFillMode fillMode, const ccGraphicProps& props) {
  if (vertices.empty()) return;
  Draw d(*this, true);
  if (!d.ok()) return;
  QPolygonF poly;
  poly.reserve(static_cast<int>(vertices.size()));
  for (const ccVector<2>& v : vertices) poly << qp(v);
  const bool fill = fillMode != ccPolygon::eNoFill || props.fill();
  const bool outline = d.pen(props);
  if (fill) d.fillWithPen(props);
  if (!outline && !fill) return;
  d.p().drawPolygon(poly, fillMode == ccPolygon::eFillWinding ? Qt::WindingFill : Qt::OddEvenFill);
  d.noteStroke(poly.boundingRect(), props, true);
}

void ccQtScope::drawPolyline(const ccPolyline& polyline, const ccGraphicProps& props) {
  if (polyline.numVertices() == 0) return;
  Draw d(*this, true);
  if (!d.ok() || !d.pen(props)) return;
  QPolygonF poly;
  poly.reserve(static_cast<int>(polyline.numVertices()));
  for (const ccVector<2>& v : polyline.vertices()) poly << qp(v);
  if (polyline.isClosed()) {
    d.p().drawPolygon(poly);
  } else {
    d.p().drawPolyline(poly);
  }
  d.noteStroke(poly.boundingRect(), props, true);
}

void ccQtScope::drawRoundedRect(const ccGenRect& rect, const ccGraphicProps& props) {
  Draw d(*this, true);
  if (!d.ok()) return;
  const ccXform<2> u(rect.U(), rect.center());
  double ux = rect.uround().x(), uy = rect.uround().y();
  if (ux == 0 || uy == 0) ux = uy = 0;  // a zero component leaves the corners sharp
  const double ax = 1 - ux, ay = 1 - uy;
  const ccVector<2> r(ux, uy);
  QPainterPath path;
  auto at = [&](double x, double y) { lineTo(path, qp(u * ccVector<2>(x, y))); };
  // The contour of the rounded square, from the side y = -1, mapped by u.
  at(-ax, -1);
  at(ax, -1);
  if (ux > 0) unitArc(path, u, ccVector<2>(ax, -ay), r, -kPi / 2, 0);
  at(1, ay);
  if (ux > 0) unitArc(path, u, ccVector<2>(ax, ay), r, 0, kPi / 2);
  at(-ax, 1);
  if (ux > 0) unitArc(path, u, ccVector<2>(-ax, ay), r, kPi / 2, kPi);
  at(-1, -ay);
  if (ux > 0) unitArc(path, u, ccVector<2>(-ax, -ay), r, kPi, 3 * kPi / 2);
  path.closeSubpath();
  strokePath(d, path, props, props.fill());
}

void ccQtScope::drawLineSeg(const ccLineSeg& seg, const ccGraphicProps& props) {
  Draw d(*this, true);
  if (!d.ok() || !d.pen(props)) return;
  const QPointF a = qp(seg.p1()), b = qp(seg.p2());
  d.p().drawLine(a, b);
  d.noteStroke(QRectF(a, b).normalized(), props, false);
}

void ccQtScope::plotPoint(const ccPoint& p, const ccGraphicProps& props) {
  Draw d(*this, false);
  if (!d.ok()) return;
  const long w = std::max(props.penWidth(), 1L);
  const long x = d.origin().first + xCoord(p) - (w - 1) / 2;
  const long y = d.origin().second + yCoord(p) - (w - 1) / 2;
  const QColor c = d.color(props.penColor());
  d.p().fillRect(QRect(int(x), int(y), int(w), int(w)), c);
  d.note(ccUIRect(x, y, w, w));
}

// ---- Pen strokes

void ccQtScope::strokePixels(long x0, long y0, long x1, long y1, const ccGraphicProps& props) {
  cc_QtCanvas& c = *canvas_;
  const ccPair<long> o = surfaceOrigin();
  long ax = o.first + x0, ay = o.second + y0, bx = o.first + x1, by = o.second + y1;
  if (std::max({ax, ay, bx, by}) > kIntStrokeRange ||
      std::min({ax, ay, bx, by}) < -kIntStrokeRange) {
    if (!cutFarStroke(ax, ay, bx, by, surfaceClip())) return;
  }
  const QPoint a{int(ax), int(ay)}, b{int(bx), int(by)};
  // One-pixel solid strokes under a screen lock join the pending strokes of the same pen.
  const bool joinable = !c.antialias && props.penWidth() <= 1 &&
                        props.penStyle() == ccGraphicProps::eSolid && !isEraser(props.penColor()) &&
                        screenUpdatesLocked();
  auto noteStroke = [&] {
    noteDevice(ccUIRect(std::min(a.x(), b.x()) - 1, std::min(a.y(), b.y()) - 1,
                        std::abs(b.x() - a.x()) + 3, std::abs(b.y() - a.y()) + 3) &
                   c.strokeClip,
               false);
  };
  if (joinable && !c.stroke.empty() && c.strokeProps == props && c.strokeClip == surfaceClip() &&
      !c.offScreen) {
    c.stroke.emplace_back(a, b);
    noteStroke();
    return;
  }
  Draw d(*this, false);
  if (!d.ok() || !d.pen(props)) return;
  if (joinable) {
    c.stroke.emplace_back(a, b);
    c.strokeProps = props;
    c.strokeClip = d.clip();
    noteStroke();
    return;
  }
  if (!c.antialias) {
    // Qt's integer line path lights the same pixels as the shifted geometry, and faster.
    d.p().drawLine(a, b);
    d.noteStroke(QRectF(a, b).normalized(), props, false);
    return;
  }
  const QPointF fa(double(a.x()) + kCentre, double(a.y()) + kCentre);
  const QPointF fb(double(b.x()) + kCentre, double(b.y()) + kCentre);
  d.p().drawLine(fa, fb);
  d.noteStroke(QRectF(fa, fb).normalized(), props, false);
}

void ccQtScope::drawTo(const ccPoint& p, const ccGraphicProps& props) {
  const long x0 = drawX(), y0 = drawY();
  strokePixels(x0, y0, xCoord(p), yCoord(p), props);
  drawStart(p);
}

void ccQtScope::drawToRel(long dx, long dy, const ccGraphicProps& props) {
  const long x0 = drawX(), y0 = drawY();
  strokePixels(x0, y0, x0 + dx, y0 + dy, props);
  moveToRel(dx, dy);
}

// ---- Text

ccPair<long> ccQtScope::textSize(const std::string& text, long fontId, double* ascent) const {
  // Qt's fonts need the application object.
  if (!QGuiApplication::instance()) throw ccUIError::NotAvailable();
  const QFontMetricsF fm(qtFont(font(fontId), canvas_->antialias));
  double width = 0;
  const std::vector<std::string> ls = lines(text);
  for (const std::string& l : ls) {
    width = std::max(width, fm.horizontalAdvance(QString::fromStdString(l)));
  }
  if (ascent) *ascent = fm.ascent();
  const long lineHeight = static_cast<long>(std::ceil(fm.ascent() + fm.descent()));
  return ccPair<long>(static_cast<long>(std::ceil(width)), lineHeight * long(ls.size()));
}

ccUIRect ccQtScope::textRect(const std::string& text, const ccPoint& at, const ccUIFormat& format) {
  const ccPair<long> size = textSize(text, format.fontId(), nullptr);
  return format.alignRect(ccUIRect(ccPair<long>(xCoord(at), yCoord(at)), size));
}

void ccQtScope::drawText(const std::string& text, const ccPoint& at, const ccColor& color,
                         const ccColor& color2, const ccUIFormat& format) {
  Draw d(*this, false);
  if (!d.ok()) return;
  double ascent = 0;
  const ccPair<long> size = textSize(text, format.fontId(), &ascent);
  const ccUIRect r = format.alignRect(ccUIRect(ccPair<long>(xCoord(at), yCoord(at)), size));
  if (r.isNull()) return;
  const ccUIRect onDevice = r + d.origin();
  QPainter& p = d.p();
  if (canvas_->textBackground &&
      !(color2.isIndexColor() && color2.index() == ccColor::passColor().index())) {
    p.fillRect(qrect(onDevice), d.color(color2));
  }
  p.setFont(qtFont(font(format.fontId()), canvas_->antialias));
  p.setPen(d.color(color));
  canvas_->penKnown = false;
  const std::vector<std::string> ls = lines(text);
  const double lineHeight = double(size.second) / double(ls.size());
  for (std::size_t i = 0; i < ls.size(); ++i) {
    p.drawText(
        QPointF(double(onDevice.left()), double(onDevice.top()) + lineHeight * double(i) + ascent),
        QString::fromStdString(ls[i]));
  }
  d.note(onDevice);
}

// ---- Images and icons: every slot ends in drawConverted

template <class T, class Convert>
void ccQtScope::drawConverted(const ccPelBuffer_const<T>& image, const ccPair<long>& corner,
                              const ccPair<double>* scale, InterpolationModes mode,
                              Convert convert) {
  if (!image.isBound() || image.width() == 0 || image.height() == 0 || canvas_->offScreen) return;
  if (scale && (!(scale->first > 0) || !(scale->second > 0))) return;
  const ccUIRect clip = surfaceClip() - surfaceOrigin();  // scope pixels
  if (clip.isNull()) return;
  ccPelBuffer_const<T> pels = image;
  ccPair<long> at = corner;
  if (scale && std::fabs(scale->first - scale->second) > ccZoomFactorTolerance * scale->first) {
    // Different scales per direction: Qt scales the whole image, nearest pel.
    Draw d(*this, false);
    if (!d.ok()) return;
    const QImage whole = argbImage(image, 0, 0, image.width(), image.height(), convert);
    const QRectF target(double(d.origin().first + at.first), double(d.origin().second + at.second),
                        double(image.width()) * scale->first,
                        double(image.height()) * scale->second);
    d.p().drawImage(target, whole);
    d.note(pixelRect(target.left(), target.top(), target.right(), target.bottom()));
    return;
  }
  if (scale) {
    ccUIRect written = clip;
    ccPelBuffer<T>& zoomed = std::get<ccPelBuffer<T>>(canvas_->zoomed);
    pelScale(image, zoomed, scale->first, written, corner, mode);
    if (written.isNull()) return;
    pels = zoomed;
    at = written.ul();
  }
  const ccUIRect visible = ccUIRect(at, ccPair<long>(pels.width(), pels.height())) & clip;
  if (visible.isNull()) return;
  Draw d(*this, false);
  if (!d.ok()) return;
  const long x0 = visible.left() - at.first, y0 = visible.top() - at.second;
  const QPoint where(int(d.origin().first + visible.left()),
                     int(d.origin().second + visible.top()));
  if constexpr (std::is_same_v<T, unsigned char> && std::is_same_v<Convert, cc_detail::Grey8>) {
    if (!convert.pass) {
      // Qt reads the pels where they are.
      const QImage grey(pels.pointToPel(x0, y0), int(visible.width()), int(visible.height()),
                        int(pels.rowUpdate()), QImage::Format_Grayscale8);
      d.p().drawImage(where, grey);
      d.note(visible + d.origin());
      return;
    }
  }
  d.p().drawImage(where, argbImage(pels, x0, y0, visible.width(), visible.height(), convert));
  d.note(visible + d.origin());
}

void ccQtScope::drawIcon(const ccRLEBuffer& icon, const ccPoint& corner,
                         const std::vector<ccColor>& colors, bool passThrough,
                         unsigned char passValue) {
  if (icon.degenerate()) return;
  ccPelBuffer<unsigned char> pels;
  icon.decode(pels);
  std::array<std::uint32_t, 256> lut;
  for (std::size_t i = 0; i < 256; ++i) {
    lut[i] = cc_detail::argb(i < colors.size() ? rgbOf(colors[i]) : canvas_->palette[i]);
  }
  if (passThrough) lut[passValue] = 0;
  drawConverted(ccPelBuffer_const<unsigned char>(pels),
                ccPair<long>(xCoord(corner), yCoord(corner)), nullptr, eNoInterpolation,
                Lookup{&lut});
}

void ccQtScope::drawRLEImage(const ccRLEBuffer& image, const ccPoint& at,
                             const std::vector<unsigned char>& colorMap, bool pass,
                             unsigned char passValue, bool /*flag*/) {
  if (image.degenerate() || canvas_->offScreen) return;
  ccPelBuffer<unsigned char> pels;
  const ccUIRect visible = cc_detail::decodeVisible(image, xCoord(at), yCoord(at),
                                                    surfaceClip() - surfaceOrigin(), pels);
  if (visible.isNull()) return;
  const std::array<std::uint32_t, 256> lut = cc_detail::rleGreys(colorMap, pass, passValue);
  drawConverted(ccPelBuffer_const<unsigned char>(pels), visible.ul(), nullptr, eNoInterpolation,
                Lookup{&lut});
}

template <class T>
void ccQtScope::drawPels(const ccImageSlotCall<T>& image) {
  drawConverted(image.image, ccPair<long>(xCoord(image.at), yCoord(image.at)), image.scale,
                image.mode, cc_detail::converterOf(image, canvas_->grey16Shift));
}
DISPC_PEL_SCOPE_HOOK(ccQtScope)

// ---- Areas

void ccQtScope::setRect(const ccUIRect& rect, const ccColor& color) {
  if (rect.isNull()) return;
  Draw d(*this, false);
  if (!d.ok()) return;
  const ccUIRect r = rect + d.origin();
  const QColor c = d.color(color);
  if (!isEraser(color)) canvas_->compose(QPainter::CompositionMode_Source);
  d.p().fillRect(qrect(r), c);
  d.note(r, true);
}

void ccQtScope::setAll(const ccColor& color) {
  setRect(ccUIRect(ccPair<long>(), scopeBounds().sz()), color);
}

void ccQtScope::floodFill(const ccPair<long>& pixel, const ccColor& color, const ccColor& color2,
                          bool bounded) {
  QImage* image = canvas_->image.get();
  if (!image || canvas_->offScreen) return;
  const ccUIRect clip = surfaceClip();
  const ccPair<long> o = surfaceOrigin();
  const long sx = pixel.first + o.first, sy = pixel.second + o.second;
  if (!clip.within(ccPair<long>(sx, sy))) return;
  canvas_->end();  // the pixels are written directly
  const std::uint32_t fill = isEraser(color) ? 0u : cc_detail::argb(rgbOf(color));
  const ccUIRect filled =
      cc_detail::floodFill(image->bits(), image->bytesPerLine(), clip, sx, sy, fill,
                           cc_detail::argb(rgbOf(color2)), 0xFFFFFFFFu, bounded);
  noteDevice(filled, false);
}
