#include <backends/qt/qtimage.h>

#include <dispc/errors.h>

#include <QPainter>

ccQtImageScope::ccQtImageScope(long width, long height, bool opaque)
    : ccQtScope(makeImageCanvas(width, height, opaque)) {}

const QImage& ccQtImageScope::image() const {
  endPainter();
  return *canvasImage();
}

void ccQtImageScope::writePng(const std::string& path) const {
  if (!image().save(QString::fromStdString(path), "PNG")) throw ccUIError::InitFailed();
}

ccPackedRGB32Pel ccQtImageScope::pel(long x, long y) const {
  if (x < 0 || y < 0 || x >= deviceWidth() || y >= deviceHeight()) throw ccUIError::BadParams();
  const QRgb v = image().pixel(static_cast<int>(x), static_cast<int>(y));  // un-premultiplied
  if (qAlpha(v) == 0) return ccPackedRGB32Pel(0);
  return ccPackedRGB32Pel(
      static_cast<unsigned char>(qRed(v)), static_cast<unsigned char>(qGreen(v)),
      static_cast<unsigned char>(qBlue(v)), static_cast<unsigned char>(qAlpha(v)));
}

void ccQtImageScope::clear() {
  image();
  canvasImage()->fill(canvasImage()->hasAlphaChannel() ? Qt::transparent : Qt::black);
  change(ccUIRect(ccPair<long>(), scopeBounds().sz()), false);
}

// ---- Layers

ccQtLayers::ccQtLayers(long width, long height)
    : width_(width),
      height_(height),
      image_(std::make_unique<ccQtImageScope>(width, height, true)),
      overlay_(std::make_unique<ccQtImageScope>(width, height)) {
  overlay_->passErases(true);
}

ccQtImageScope& ccQtLayers::scope(int layer) const {
  if (layer == 0) return *image_;
  if (layer == 1) return *overlay_;
  throw ccUIError::BadLayer();
}

void ccQtLayers::antialias(bool on) {
  image_->antialias(on);
  overlay_->antialias(on);
}

void ccQtLayers::compose(QPainter& target, const QRect& source, const QPoint& targetCorner) const {
  target.drawImage(targetCorner, image_->image(), source);
  target.drawImage(targetCorner, overlay_->image(), source);
}

QImage ccQtLayers::composed() const {
  QImage out(static_cast<int>(width_), static_cast<int>(height_),
             QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QPainter p(&out);
  compose(p, out.rect(), QPoint(0, 0));
  p.end();
  return out;
}

void ccQtLayers::writePng(const std::string& path) const {
  if (!composed().save(QString::fromStdString(path), "PNG")) throw ccUIError::InitFailed();
}
