#include <backends/qt/qtview.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kMinZoom = 1.0 / 64, kMaxZoom = 64;
constexpr double kWheelStep = 1.25;
const ccColor kBackground(48, 48, 48);

}  // namespace

// ---- The view's tablet: its redraw_ draws the image and replays the recorded overlays.

class ccQtView::Tablet : public ccUITablet {
 public:
  explicit Tablet(ccQtView& view) : ccUITablet(nullptr, nullptr), view_(view) { recordOn() = true; }

 protected:
  void redraw_() override {
    const Layers l = updateLayers();
    if (shouldUpdateImage(l)) {
      // The background only where the image does not cover.
      const ccUIRect shown = view_.imageRect();
      if (shown.isNull()) {
        set(kBackground, eImageLayer);
      } else {
        setComplement(shown, kBackground, eImageLayer);
      }
      const ccPoint corner(0, 0);
      std::visit(
          [&](const auto& image) {
            using T = std::decay_t<decltype(image)>;
            if constexpr (std::is_same_v<T, ccPelBuffer_const<unsigned char>>) {
              draw(image, corner, false, 0, false, eImageLayer);
            } else if constexpr (std::is_same_v<T, ccPelBuffer_const<unsigned short>>) {
              draw(image, corner, false, static_cast<unsigned short>(0), eImageLayer);
            } else if constexpr (std::is_same_v<T, ccPelBuffer_const<ccPackedRGB32Pel>>) {
              draw(image, corner, false, 0ul, eImageLayer);
            }
          },
          view_.image_);
    }
    if (shouldUpdateOverlay(l)) {
      // The overlay is transparent but where it was drawn on since it was last cleared.
      const QRect& d = view_.overlayDrawn_;
      if (!d.isEmpty())
        set(ccUIRect(d.x(), d.y(), d.width(), d.height()), ccColor::passColor(), eOverlayLayer);
      view_.overlayDrawn_ = QRect();
      std::fill(view_.overlayTiles_.begin(), view_.overlayTiles_.end(), false);
    }
    if (!sketch().isNull()) {
      const ccUISketch recorded = sketch();  // replayed from a copy: drawing may record again
      draw(recorded, ccPoint(0, 0), l);
    }
  }

 private:
  ccQtView& view_;
};

// ---- ccQtView

ccQtView::ccQtView(QWidget* parent) : QWidget(parent), tablet_(std::make_unique<Tablet>(*this)) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  tablet_->visible(true);
  makeLayers();
  status_ = statusFor(QPoint(-1, -1));
}

ccQtView::~ccQtView() {
  // The tablet goes before the scopes it draws on.
  tablet_.reset();
}

int ccQtView::statusHeight() { return 20; }

void ccQtView::makeLayers() {
  const long w = std::max(1, width()), h = std::max(1, height() - statusHeight());
  auto layers = std::make_unique<ccQtLayers>(w, h);
  layers->antialias(false);
  // Damage becomes widget updates: at once, or once when the last screen lock is popped.
  for (int l = 0; l < 2; ++l) {
    ccQtImageScope& scope = layers->scope(l);
    scope.damageHook([this, &scope, l](const QRect& r) {
      if (l == 1) markOverlay(r);
      if (scope.screenUpdatesLocked()) {
        pendingUpdate_ |= r;
      } else {
        update(r);
      }
    });
    scope.outputHook([this](ccQtScope&) {
      if (pendingUpdate_.isEmpty()) return;
      update(pendingUpdate_);
      pendingUpdate_ = QRect();
    });
  }
  overlayDrawn_ = QRect();
  tilesAcross_ = int((layers->width() + kTile - 1) / kTile);
  overlayTiles_.assign(
      std::size_t(tilesAcross_) * std::size_t((layers->height() + kTile - 1) / kTile), false);
  // The tablet takes the new scopes (and redraws onto them) before the old ones go.
  tablet_->setScope(&layers->image(), &layers->overlay(), false);
  layers_ = std::move(layers);
  update();
}

void ccQtView::syncLayers() const {
  // A hidden widget gets its resize event only when shown: the size is checked here too.
  const long w = std::max(1, width()), h = std::max(1, height() - statusHeight());
  if (layers_->width() != w || layers_->height() != h) const_cast<ccQtView*>(this)->makeLayers();
}

ccUITablet& ccQtView::tablet() {
  syncLayers();
  return *tablet_;
}

ccQtLayers& ccQtView::layers() const {
  syncLayers();
  return *layers_;
}

void ccQtView::redraw() { tablet_->redraw(ccUITablet::eBothLayers); }

void ccQtView::clearOverlays() {
  tablet_->sketch().erase();
  redraw();
}

ccPair<long> ccQtView::imageSize() const {
  return std::visit(
      [](const auto& image) -> ccPair<long> {
        if constexpr (std::is_same_v<std::decay_t<decltype(image)>, std::monostate>) {
          return ccPair<long>(0, 0);
        } else {
          return ccPair<long>(image.width(), image.height());
        }
      },
      image_);
}

void ccQtView::setImage(const ccPelBuffer_const<unsigned char>& image) {
  syncLayers();
  image_ = image;
  tablet_->redraw(ccUITablet::eImageLayer);
  showStatus(cursor_);
}

void ccQtView::setImage(const ccPelBuffer_const<unsigned short>& image) {
  syncLayers();
  image_ = image;
  tablet_->redraw(ccUITablet::eImageLayer);
  showStatus(cursor_);
}

void ccQtView::setImage(const ccPelBuffer_const<ccPackedRGB32Pel>& image) {
  syncLayers();
  image_ = image;
  tablet_->redraw(ccUITablet::eImageLayer);
  showStatus(cursor_);
}

// ---- View geometry

void ccQtView::updateMap() {
  syncLayers();
  // The base map puts the image's pel (0, 0) at offset once the scale multiplies it; the
  // base map is set with drawing off so that only the scale's newMap redraws.
  const ccVector<2> shift(double(offset_.x()) / zoom_, double(offset_.y()) / zoom_);
  tablet_->drawOn().push(false);
  tablet_->baseMap(ccXform<2>(ccMatrix<2>(), shift));
  tablet_->drawOn().pop();
  tablet_->scaleExact(ccPair<double>(zoom_, zoom_));
  showStatus(cursor_);
}

void ccQtView::setView(double zoom, const QPoint& offset) {
  zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
  offset_ = offset;
  updateMap();
}

void ccQtView::zoomAbout(double factor, const QPoint& at) {
  const double z = std::clamp(zoom_ * factor, kMinZoom, kMaxZoom);
  // The image point under `at` stays there.
  const double ix = (at.x() - offset_.x()) / zoom_, iy = (at.y() - offset_.y()) / zoom_;
  setView(z, QPoint(static_cast<int>(std::lround(at.x() - ix * z)),
                    static_cast<int>(std::lround(at.y() - iy * z))));
}

void ccQtView::pan(const QPoint& delta) { setView(zoom_, offset_ + delta); }

void ccQtView::fitToWindow() {
  const ccPair<long> size = imageSize();
  if (size.first == 0 || size.second == 0) return;
  syncLayers();
  const double w = double(layers_->width()), h = double(layers_->height());
  const double z = std::min(w / double(size.first), h / double(size.second));
  setView(z, QPoint(static_cast<int>(std::lround((w - double(size.first) * z) / 2)),
                    static_cast<int>(std::lround((h - double(size.second) * z) / 2))));
}

ccUIRect ccQtView::imageRect() const {
  const ccPair<long> size = imageSize();
  if (size.first == 0 || size.second == 0) return ccUIRect::null;
  // The zoomed image covers the pixels d from its corner with trunc(d / zoom) inside it.
  return ccUIRect(offset_.x(), offset_.y(),
                  static_cast<long>(std::ceil(double(size.first) * zoom_ - 1e-9)),
                  static_cast<long>(std::ceil(double(size.second) * zoom_ - 1e-9)));
}

ccPair<long> ccQtView::pelAt(const QPoint& p) const {
  // Pel i covers widget pixels from offset + i * zoom (the zoom slots sample pel
  // trunc(d / zoom) at distance d from the corner).
  return ccPair<long>(static_cast<long>(std::floor((p.x() - offset_.x()) / zoom_)),
                      static_cast<long>(std::floor((p.y() - offset_.y()) / zoom_)));
}

// ---- Status line

std::string ccQtView::statusFor(const QPoint& p) const {
  char zoom[48];
  std::snprintf(zoom, sizeof zoom, "zoom %g", zoom_);
  const ccPair<long> pel = pelAt(p);
  const ccPair<long> size = imageSize();
  const bool inside = p.x() >= 0 && p.y() >= 0 && p.x() < layers_->width() &&
                      p.y() < layers_->height() && pel.first >= 0 && pel.second >= 0 &&
                      pel.first < size.first && pel.second < size.second;
  if (!inside) return zoom;
  std::string value = std::visit(
      [&](const auto& image) -> std::string {
        using T = std::decay_t<decltype(image)>;
        char buf[48] = "";
        if constexpr (std::is_same_v<T, ccPelBuffer_const<ccPackedRGB32Pel>>) {
          const ccPackedRGB32Pel v = image.get(pel.first, pel.second);
          std::snprintf(buf, sizeof buf, "rgb %d %d %d", v.r(), v.g(), v.b());
        } else if constexpr (!std::is_same_v<T, std::monostate>) {
          std::snprintf(buf, sizeof buf, "value %ld",
                        static_cast<long>(image.get(pel.first, pel.second)));
        }
        return buf;
      },
      image_);
  return "x " + std::to_string(pel.first) + "  y " + std::to_string(pel.second) + "  " + value +
         "  " + zoom;
}

void ccQtView::showStatus(const QPoint& p) {
  std::string s = statusFor(p);
  if (s == status_) return;
  status_ = std::move(s);
  update(0, height() - statusHeight(), width(), statusHeight());
}

void ccQtView::markOverlay(const QRect& r) {
  overlayDrawn_ |= r;
  const QRect in = r & QRect(0, 0, int(layers_->width()), int(layers_->height()));
  if (in.isEmpty()) return;
  for (int ty = in.top() / kTile; ty <= in.bottom() / kTile; ++ty)
    for (int tx = in.left() / kTile; tx <= in.right() / kTile; ++tx)
      overlayTiles_[std::size_t(ty * tilesAcross_ + tx)] = true;
}

QRegion ccQtView::takePaintedRegion() {
  QRegion r = painted_;
  painted_ = QRegion();
  return r;
}

// ---- Events

void ccQtView::paintEvent(QPaintEvent* event) {
  syncLayers();
  painted_ += event->region();
  QPainter p(this);
  const QRect area(0, 0, int(layers_->width()), int(layers_->height()));
  const QImage& image = layers_->image().image();
  const QImage& overlay = layers_->overlay().image();
  for (const QRect& r : event->region()) {
    const QRect inside = r & area;
    if (inside.isEmpty()) continue;
    p.drawImage(inside.topLeft(), image, inside);
    // The overlay only over the tiles it was drawn on, a run of tiles at a time.
    const QRect drawn = inside & overlayDrawn_;
    if (drawn.isEmpty()) continue;
    for (int ty = drawn.top() / kTile; ty <= drawn.bottom() / kTile; ++ty) {
      const int last = drawn.right() / kTile;
      for (int tx = drawn.left() / kTile; tx <= last; ++tx) {
        if (!overlayTiles_[std::size_t(ty * tilesAcross_ + tx)]) continue;
        const int from = tx;
        while (tx + 1 <= last && overlayTiles_[std::size_t(ty * tilesAcross_ + tx + 1)]) ++tx;
        const QRect run = drawn & QRect(from * kTile, ty * kTile, (tx - from + 1) * kTile, kTile);
        p.drawImage(run.topLeft(), overlay, run);
      }
    }
  }
  const QRect bar(0, height() - statusHeight(), width(), statusHeight());
  if (event->region().intersects(bar)) {
    p.fillRect(bar, QColor(32, 32, 32));
    p.setPen(QColor(230, 230, 230));
    QFont f("DejaVu Sans Mono");
    f.setPixelSize(12);
    p.setFont(f);
    p.drawText(bar.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromStdString(status_));
  }
}

void ccQtView::resizeEvent(QResizeEvent* /*event*/) {
  syncLayers();
  showStatus(cursor_);
}

void ccQtView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches != 0) zoomAbout(std::pow(kWheelStep, notches), event->position().toPoint());
  event->accept();
}

void ccQtView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragFrom_ = event->position().toPoint();
  }
}

void ccQtView::mouseMoveEvent(QMouseEvent* event) {
  cursor_ = event->position().toPoint();
  if (dragging_) {
    const QPoint delta = cursor_ - dragFrom_;
    dragFrom_ = cursor_;
    if (!delta.isNull()) pan(delta);
  }
  showStatus(cursor_);
}

void ccQtView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
}

void ccQtView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F || event->key() == Qt::Key_Home) {
    fitToWindow();
  } else {
    QWidget::keyPressEvent(event);
  }
}
