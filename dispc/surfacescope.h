// ccSurfaceScope: the base of the back ends whose whole scope tree draws on one surface (the
// Cairo and Qt scopes).
//
// The tree shares one ccSurfaceSettings (held by the back end's canvas): the surface's size,
// antialiasing, the palette of index colours, the eraser rule of the pass colour, a font table,
// text backgrounds, the 16-bit grey shift, the off-screen flag, the output hook and the
// screen-update locks. Each scope keeps its own place on the surface: a root covers the whole
// surface; a sub-scope (attached under a parent of the same back end) covers its rectangle cut
// by the parent's area, and is held to the parent's clip.
//
// The back end derives as class Backend : public ccSurfaceScope<Backend, BackendFont> and
// provides:
//   static const std::array<ccRGB, 256>& defaultPalette();  // the palette a tree starts with
//   void flush();             // pushes the drawing out, then runs the output hook
//   void paletteChanged();    // told when the palette or the eraser rule changed (may do
//                             // nothing; a back end that caches pens forgets them)
// both reachable from the base (public, or with the base as a friend).
//
// Screen-update locks nest. The output hook runs from updateScreen() while nothing is locked,
// and when the last lock that locked is popped.
#pragma once

#include <core/rect.h>
#include <dispc/color.h>
#include <dispc/errors.h>
#include <dispc/pelscope.h>
#include <dispc/uirect.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The widest pen a surface scope strokes with: far wider than any surface, so that a
// stroke's reach (times the miter limit) keeps its geometry within the coordinate range the
// back ends rasterise true, and their cost bounded.
inline constexpr long ccSurfaceMaxPenWidth = 2048;
// How far beyond the clip a back end may cut a path without changing a pixel: well beyond
// the reach of the widest pen.
inline constexpr double ccSurfaceCutMargin = 32768.0;

// What a scope tree on one surface shares. Font is the back end's font-table entry.
template <class Backend, class Font>
struct ccSurfaceSettings {
  using OutputHook = std::function<void(Backend&)>;

  long width = 0, height = 0;  // surface pixels
  bool antialias = true;
  std::array<ccRGB, 256> palette;
  bool passErases = false;
  std::map<long, Font> fonts{{-1, Font()}};  // -1: the default entry, always present
  bool textBackground = false;
  int grey16Shift = 8;
  bool offScreen = false;
  OutputHook hook;
  std::vector<bool> locks;  // open lock brackets: whether each locked
  long lockCount = 0;       // how many of them locked
};

template <class Backend, class Font>
class ccSurfaceScope : public ccPelScope<Backend> {
 public:
  using Settings = ccSurfaceSettings<Backend, Font>;
  using OutputHook = typename Settings::OutputHook;

  // ---- Settings, shared by the whole scope tree

  // Antialiasing of shapes and text (on by default). Off gives pixel-exact overlays.
  bool antialias() const { return settings_->antialias; }
  void antialias(bool on) { settings_->antialias = on; }

  // The palette for index colours (stock colours at their indices, greys elsewhere).
  const ccRGB& palette(unsigned char index) const { return settings_->palette[index]; }
  void palette(unsigned char index, const ccRGB& rgb) {
    settings_->palette[index] = rgb;
    backend().paletteChanged();
  }
  // Restores the back end's Backend::defaultPalette().
  void resetPalette() {
    settings_->palette = Backend::defaultPalette();
    backend().paletteChanged();
  }
  // The triple a colour draws with.
  ccRGB rgbOf(const ccColor& color) const {
    return color.isRGBColor() ? color.rgbStruct() : settings_->palette[color.index()];
  }

  // Drawing in the pass colour's index clears to transparent (off by default).
  bool passErases() const { return settings_->passErases; }
  void passErases(bool on) {
    settings_->passErases = on;
    backend().paletteChanged();
  }

  // The font table. font(id) is the entry for id, or the default entry (id -1) when id has
  // none; font(id, f) sets an entry (id -1: the default); eraseFont removes one (the default
  // entry stays).
  const Font& font(long id) const {
    const auto it = settings_->fonts.find(id);
    return it != settings_->fonts.end() ? it->second : settings_->fonts.at(-1);
  }
  void font(long id, const Font& f) { settings_->fonts[id] = f; }
  void eraseFont(long id) {
    if (id != -1) settings_->fonts.erase(id);
  }

  // The second colour of drawText fills the text rectangle (off by default).
  bool textBackground() const { return settings_->textBackground; }
  void textBackground(bool on) { settings_->textBackground = on; }

  // 16-bit grey pels are shown as (pel >> shift) clamped to 255; shift 0 to 15 (BadParams
  // otherwise), default 8.
  int grey16Shift() const { return settings_->grey16Shift; }
  void grey16Shift(int shift) {
    if (shift < 0 || shift > 15)
      throw ccUIError::BadParams("grey16Shift " + std::to_string(shift) + " is outside 0 to 15");
    settings_->grey16Shift = shift;
  }

  // While set, offScreen() reports true (sub-scopes follow their parent).
  void offScreen(bool off) { settings_->offScreen = off; }

  // Runs when the screen is to be updated (see the file comment); none by default.
  void outputHook(OutputHook hook) { settings_->hook = std::move(hook); }

  // ---- State

  // Where scope pixel (0, 0) lies on the surface.
  ccPair<long> surfaceOrigin() const {
    return ccPair<long>(tabletOffset_.first + this->clipOffset().first,
                        tabletOffset_.second + this->clipOffset().second);
  }
  // The surface pixels this scope may draw on (its area and display clips); may be null.
  ccUIRect surfaceClip() const {
    ccUIRect r = ccUIRect(surfaceOrigin(), bounds_.sz()) &
                 ccUIRect(0, 0, settings_->width, settings_->height);
    if (const Backend* p = surfaceParent()) r &= p->surfaceClip();
    if (!this->displayClipRect().isNull()) r &= this->displayClipRect() + surfaceOrigin();
    return r;
  }
  // The tablet pixels that can show (surfaceClip() moved back by tabletOffset()), widened by
  // margin on every side: what lies wholly outside need not be computed. Null clip: null.
  ccRect tabletView(double margin) const {
    const ccUIRect clip = surfaceClip();
    if (clip.isNull()) return ccRect();
    return ccRect(
        ccVector<2>(double(clip.left() - tabletOffset_.first) - margin,
                    double(clip.top() - tabletOffset_.second) - margin),
        ccVector<2>(double(clip.width()) + 2 * margin, double(clip.height()) + 2 * margin));
  }
  // Open lockScreenUpdatesPush brackets, and how many of them locked.
  long lockDepth() const { return static_cast<long>(settings_->locks.size()); }
  long lockCount() const { return settings_->lockCount; }
  bool dragging() const { return dragging_; }
  bool animating() const { return animating_; }

  // ---- Slots

  // Placed under a parent of the same back end: its rectangle (cut by the parent's area) at
  // the parent's origin. Under any other parent there is nothing to draw through.
  void attach(const ccUIScope& parent, const ccUIRect& rect) override {
    const auto* p = dynamic_cast<const Backend*>(&parent);
    isSub_ = p != nullptr;
    if (!p) {
      bounds_ = ccUIRect::null;
      return;
    }
    const ccPair<long> o = p->surfaceOrigin();
    tabletOffset_ = ccPair<long>(o.first + rect.left(), o.second + rect.top());
    bounds_ = rect & ccUIRect(ccPair<long>(), p->scopeBounds().sz());
  }
  // A root scope: the whole surface at (0, 0). A sub-scope: its rectangle cut by its parent's
  // area, in the parent's scope pixels.
  ccUIRect scopeBounds() const override { return bounds_; }
  bool offScreen() const override { return settings_->offScreen; }
  // The map replaces the palette's first map.size() entries (at most 256).
  void colorMap(const std::vector<ccRGB>& map) override {
    const std::size_t n = std::min<std::size_t>(map.size(), 256);
    std::copy(map.begin(), map.begin() + static_cast<std::ptrdiff_t>(n),
              settings_->palette.begin());
    backend().paletteChanged();
  }
  // surfaceClip() reads the stored rectangle on every drawing operation.
  void displayClipChanged(const ccUIRect& /*rect*/) override {}
  void dragAnimate(bool on) override { animating_ = on; }
  void lockScreenUpdatesPush(bool lock) override {
    settings_->locks.push_back(lock);
    if (lock) ++settings_->lockCount;
  }
  // Whether the screen is still locked after the pop.
  bool lockScreenUpdatesPop() override {
    if (settings_->locks.empty()) return settings_->lockCount > 0;
    const bool locked = settings_->locks.back();
    settings_->locks.pop_back();
    if (locked && --settings_->lockCount == 0) backend().flush();
    return settings_->lockCount > 0;
  }
  bool screenUpdatesLocked() const override { return settings_->lockCount > 0; }
  // Flushes (output hook included) unless the screen is locked.
  void updateScreen() override {
    if (!screenUpdatesLocked()) backend().flush();
  }

 protected:
  // A root scope over the settings' whole surface; settings outlive it (the canvas that holds
  // them is shared by the tree).
  ccSurfaceScope(Settings* settings, const ccPair<long>& clipOffset)
      : ccPelScope<Backend>(clipOffset),
        settings_(settings),
        bounds_(0, 0, settings->width, settings->height),
        tabletOffset_(-clipOffset.first, -clipOffset.second) {}

  Settings& settings() const { return *settings_; }
  // The parent this scope draws through, when it is a sub-scope of the same back end.
  const Backend* surfaceParent() const {
    return isSub_ ? dynamic_cast<const Backend*>(this->parent()) : nullptr;
  }
  // Drawing in color clears (the pass colour with passErases()).
  bool isEraser(const ccColor& color) const {
    return settings_->passErases && color.isIndexColor() &&
           color.index() == ccColor::passColor().index();
  }
  // The width a pen strokes with: at least 1, at most ccSurfaceMaxPenWidth pixels.
  static double strokeWidth(const ccGraphicProps& props) {
    return static_cast<double>(std::clamp(props.penWidth(), 1L, ccSurfaceMaxPenWidth));
  }
  // Runs the output hook, if any.
  void runOutputHook() {
    if (settings_->hook) settings_->hook(backend());
  }
  // Sub-scopes start with no area until they are placed.
  void unplaced() { bounds_ = ccUIRect::null; }
  void dragging(bool on) {
    dragging_ = on;
    if (!on) animating_ = false;
  }
  // Surface position of the tablet's pixel (0, 0).
  const ccPair<long>& tabletOffset() const { return tabletOffset_; }

 private:
  Backend& backend() { return static_cast<Backend&>(*this); }

  Settings* settings_;
  // A root: the whole surface. A sub-scope: set by attach().
  ccUIRect bounds_;
  ccPair<long> tabletOffset_;
  bool isSub_ = false;
  bool dragging_ = false;
  bool animating_ = false;
};
