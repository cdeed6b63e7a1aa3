// ccQtView: a widget that shows an image with overlays, for vision programs.
//
// The view holds a root tablet over the two layers of a ccQtLayers as large as its image area
// (the widget less the status line at the bottom). Its map takes image coordinates to widget
// pixels: the image's pel (0, 0) lies at offset() and the tablet's scale is zoom(). The image
// (8-bit, 16-bit or packed RGB) is held by the view; overlays are drawn by the caller through
// tablet() in image coordinates, on the overlay layer. The tablet records what the caller
// draws (recordOn is set), and whenever the view needs drawing again (a new image, zoom, pan,
// resize) the tablet's update control runs its redraw_ hook, which draws the image and
// replays the recorded overlays at the new map. clearOverlays() forgets them.
//
// What is drawn reaches the screen through the scopes' change tracking: each drawing
// operation reports the device rectangle it touched, which becomes a widget update region, so
// a small overlay drawn over a large image repaints only its rectangle. paintEvent composes
// the two layers for the region asked and paints the status line. The view keeps the
// rectangle and the 32 x 32 tiles the overlay layer was drawn on since it was last cleared:
// clearing stays within the rectangle, composing within the tiles, and the background is set
// only where the image does not cover.
//
// Interaction: the mouse wheel zooms about the cursor (by 1.25 per notch, between 1/64 and
// 64), dragging with the left button pans, the F key (or Home) fits the image to the window.
// The status line shows the image pel under the cursor and its value: "x 12  y 40  value 187"
// (16-bit pels likewise, colour pels as "rgb 12 200 3"), then the zoom ("zoom 1.25");
// outside the image only the zoom.
//
// Threads: a widget belongs to the GUI thread, and so do its tablet and scopes.
#pragma once

#include <backends/qt/qtimage.h>
#include <dispc/tablet.h>

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

class ccQtView : public QWidget {
 public:
  explicit ccQtView(QWidget* parent = nullptr);
  ~ccQtView() override;

  // ---- The image (drawn again through the tablet's update control)

  void setImage(const ccPelBuffer_const<unsigned char>& image);
  void setImage(const ccPelBuffer_const<unsigned short>& image);
  void setImage(const ccPelBuffer_const<ccPackedRGB32Pel>& image);
  // Width and height of the image; (0, 0) without one.
  ccPair<long> imageSize() const;

  // ---- Overlays

  // The root tablet: draw overlays on it in image coordinates (eOverlayLayer). What is drawn
  // is recorded and replayed whenever the view is drawn again.
  ccUITablet& tablet();
  // Forgets the recorded overlays and clears the overlay layer.
  void clearOverlays();

  // ---- View geometry

  double zoom() const { return zoom_; }
  // Widget pixel of the image's pel (0, 0).
  QPoint offset() const { return offset_; }
  // Sets zoom and offset (one redraw). The zoom is kept within 1/64 to 64.
  void setView(double zoom, const QPoint& offset);
  // Multiplies the zoom by factor, keeping the image point under widget pixel `at` in place.
  void zoomAbout(double factor, const QPoint& at);
  void pan(const QPoint& delta);
  // The largest zoom that shows the whole image, centred.
  void fitToWindow();
  // The widget pixels the image covers (null without an image).
  ccUIRect imageRect() const;
  // The image pel shown at a widget pixel (it may lie outside the image).
  ccPair<long> pelAt(const QPoint& widgetPixel) const;

  // ---- Status line

  // The text for a widget pixel, as the status line shows it.
  std::string statusFor(const QPoint& widgetPixel) const;
  // The text shown now.
  const std::string& statusText() const { return status_; }
  // Height of the status line in pixels.
  static int statusHeight();

  // ---- For tests and tools

  ccQtLayers& layers() const;
  // The union of the regions the paint events since the last call asked for.
  QRegion takePaintedRegion();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class Tablet;  // redraws the view in redraw_
  friend class Tablet;

  void redraw();
  // New layers of the image area's size, given to the tablet.
  void makeLayers();
  // makeLayers() when the widget's size changed.
  void syncLayers() const;
  void updateMap();
  void showStatus(const QPoint& widgetPixel);

  using Image =
      std::variant<std::monostate, ccPelBuffer_const<unsigned char>,
                   ccPelBuffer_const<unsigned short>, ccPelBuffer_const<ccPackedRGB32Pel>>;
  Image image_;
  std::unique_ptr<ccQtLayers> layers_;
  std::unique_ptr<Tablet> tablet_;
  double zoom_ = 1;
  QPoint offset_;
  bool dragging_ = false;
  QPoint dragFrom_;
  QPoint cursor_{-1, -1};
  std::string status_;
  QRegion painted_;
  // What the overlay layer was drawn on since it was cleared: the bounding rectangle, and
  // tiles of kTile x kTile pixels, row by row.
  static constexpr int kTile = 32;
  void markOverlay(const QRect& r);
  QRect overlayDrawn_;
  std::vector<bool> overlayTiles_;
  int tilesAcross_ = 0;
  QRect pendingUpdate_;  // damage under a screen lock, shown when the lock is popped
};
