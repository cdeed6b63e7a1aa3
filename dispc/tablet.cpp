// ccUITablet: construction, tree, scopes, mapping, draw permission and update control.
#include <dispc/tablet.h>

#include <core/assert.h>
#include <core/math.h>
#include <dispc/errors.h>
#include <dispc/tolerance.h>
#include <dispc/tolfloor.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
constexpr const char* kFile = "dispc/tablet";

// Layers 0 and 1, or the one given.
struct LayerRange {
  int first;
  int last;
};
LayerRange layersOf(ccUITablet::Layers l) {
  return l == ccUITablet::eBothLayers ? LayerRange{0, 1} : LayerRange{l, l};
}
}  // namespace

const ccPoint ccUITablet::drawPointArg_(ccVector<2>(1.234567e89, 9.876543e21));
// Starts ahead of the stamps of new tablets (0), so that their first draw takes a new stamp.
std::uint32_t ccUITablet::timeStamp_ = 1;
ccUITablet ccUITablet::scratchPad;

// ---- Construction and tree

ccUITablet::ccUITablet() = default;

ccUITablet::ccUITablet(ccUITablet& parent, const ccUIRect& rect)
    : drawOn_(true), recordOn_(false), drawOnOverlay_(true), parent_(&parent) {
  for (int l = 0; l < 2; ++l) {
    if (!parent.ownScope_[l]) continue;
    ownScope_[l] = activeScope_[l] = parent.ownScope_[l]->newSubScope(rect, false);
    ownsScope_[l] = true;
  }
  placeInParent_ = parent.kids_.insert(parent.kids_.end(), this);
  scopeRect(rect);
}

ccUITablet::ccUITablet(ccUIScope* image, ccUIScope* overlay)
    : drawOn_(true), recordOn_(false), drawOnOverlay_(true) {
  activeScope_[0] = ownScope_[0] = image;
  activeScope_[1] = ownScope_[1] = overlay;
  scopeRect_ = rectFromScopes();
}

ccUITablet::ccUITablet(const ccUITablet& t)
    : baseMap_(t.baseMap_),
      scaleMode_(t.scaleMode_),
      scaledMap_(t.scaledMap_),
      scaleExact_(t.scaleExact_),
      scopeRect_(t.scopeRect_),
      scopeOrg_(t.scopeOrg_),
      dragDel_(t.dragDel_),
      drawOn_(t.drawOn_),
      recordOn_(t.recordOn_),
      drawOnOverlay_(t.drawOnOverlay_),
      updateLayers_(t.updateLayers_),
      interpolation_(t.interpolation_),
      sketch_(t.sketch_),
      hideCount_(t.hideCount_),
      drawStamp_(t.drawStamp_),
      redrawStamp_(t.redrawStamp_),
      clipRects_{t.clipRects_[0], t.clipRects_[1]} {}

ccUITablet& ccUITablet::operator=(const ccUITablet& t) {
  if (this == &t) return *this;
  ccUISketch sketch(t.sketch_);  // the only step that can fail: nothing changed yet
  baseMap_ = t.baseMap_;
  scaleMode_ = t.scaleMode_;
  scaledMap_ = t.scaledMap_;
  scaleExact_ = t.scaleExact_;
  dragDel_ = t.dragDel_;
  drawOn_ = t.drawOn_;
  recordOn_ = t.recordOn_;
  drawOnOverlay_ = t.drawOnOverlay_;
  updateLayers_ = t.updateLayers_;
  interpolation_ = t.interpolation_;
  sketch_ = std::move(sketch);
  clipRects_[0] = t.clipRects_[0];
  clipRects_[1] = t.clipRects_[1];
  return *this;
}

ccUITablet::~ccUITablet() {
  try {
    visible(false);
  } catch (...) {
    // A derived tablet's hooks have already gone; nothing here may escape a destructor.
  }
  unlinkFromParent();
  for (ccUITablet* kid : kids_) kid->parentDeleted();
  for (int l = 0; l < 2; ++l) dropScope(l);
}

void ccUITablet::unlinkFromParent() {
  if (!parent_) return;
  parent_->kids_.erase(placeInParent_);
  parent_ = nullptr;
}

void ccUITablet::dropScope(int l) {
  if (ownsScope_[l]) delete ownScope_[l];
  ownScope_[l] = activeScope_[l] = nullptr;
  ownsScope_[l] = false;
}

void ccUITablet::parentDeleted() {
  parent_ = nullptr;
  parentScopesDeleted(0);
  parentScopesDeleted(1);
}

void ccUITablet::parentScopesDeleted(int l) {
  for (ccUITablet* kid : kids_) kid->parentScopesDeleted(l);
  dropScope(l);
}

ccUITablet* ccUITablet::nextSib() const {
  if (!parent_) return nullptr;
  auto it = std::next(placeInParent_);
  return it == parent_->kids_.end() ? nullptr : *it;
}

ccUITablet* ccUITablet::prevSib() const {
  if (!parent_ || placeInParent_ == parent_->kids_.begin()) return nullptr;
  return *std::prev(placeInParent_);
}

bool ccUITablet::isSelfOrDescendant(const ccUITablet* t) const {
  for (; t; t = t->parent_)
    if (t == this) return true;
  return false;
}

void ccUITablet::setScope(ccUIScope* image, ccUIScope* overlay, bool own) {
  ccUITablet* root = this;
  while (root->parent_) root = root->parent_;
  root->setScopeLayer(0, image, own);
  root->setScopeLayer(1, overlay, own);
  if (!image && !overlay) return;
  const ccUIRect r = root->rectFromScopes();
  if (r == root->scopeRect_)
    root->newScope(true);
  else
    root->scopeRect(r);
}

void ccUITablet::setScope(Layers l, ccUIScope* scope, bool own) {
  checkLayer(l);
  ccUITablet* root = this;
  while (root->parent_) root = root->parent_;
  root->setScopeLayer(l, scope, own);
  if (!scope) return;
  const ccUIRect r = root->rectFromScopes();
  if (r == root->scopeRect_)
    root->newScope(true);
  else
    root->scopeRect(r);
}

void ccUITablet::setScopeLayer(int l, ccUIScope* scope, bool own) {
  ccUIScope* old = ownScope_[l];
  if (old != scope && (ownsScope_[l] || !scope)) {
    for (ccUITablet* kid : kids_) kid->parentScopesDeleted(l);
    if (ownsScope_[l]) delete old;
  }
  ownScope_[l] = activeScope_[l] = scope;
  ownsScope_[l] = scope != nullptr && own;
}

ccUIRect ccUITablet::rectFromScopes() const {
  long w = 0, h = 0;
  for (int l = 0; l < 2; ++l) {
    if (!ownScope_[l]) continue;
    const ccUIRect b = ownScope_[l]->scopeBounds();
    w = std::max(w, b.width());
    h = std::max(h, b.height());
  }
  return ccUIRect(0, 0, w, h);
}

void ccUITablet::setParent(ccUITablet& newParent, const ccUIRect& rect) {
  if (isSelfOrDescendant(&newParent)) {
    cstd_assert_(__LINE__, kFile);
    return;
  }
  visible(false);
  ccUITablet* oldParent = parent_;
  unlinkFromParent();
  for (int l = 0; l < 2; ++l) {
    dropScope(l);
    if (!newParent.ownScope_[l]) continue;
    ownScope_[l] = activeScope_[l] = newParent.ownScope_[l]->newSubScope(rect, false);
    ownsScope_[l] = true;
  }
  parent_ = &newParent;
  placeInParent_ = newParent.kids_.insert(newParent.kids_.end(), this);
  newParentTablet(oldParent);
  const std::list<ccUITablet*> kids = kids_;
  for (ccUITablet* kid : kids) kid->setParent(*this, kid->scopeRect_);
  if (rect == scopeRect_)
    newScope(true);
  else
    scopeRect(rect);
  visible(true);
}

// ---- Mapping

ccUITablet& ccUITablet::baseMap(const ccXform<2>& m) {
  baseMap_ = m;
  newMap();
  return *this;
}

ccUITablet& ccUITablet::scaleMode(ScaleModes m) {
  scaleMode_ = m;
  newMap();
  return *this;
}

ccUITablet& ccUITablet::scaleExact(const ccPair<double>& s) {
  scaleExact_ = s;
  if (cfRealEq(1.0, s.first, ccZoomFactorTolerance))
    scaleMode_ = eNoScale;
  else
    scaleMode_ = s.first <= 1.0 ? eReduce : eMagnify;
  newMap();
  return *this;
}

ccUITablet& ccUITablet::scale(const ccPair<long>& s) {
  scaleExact_ = ccPair<double>(static_cast<double>(s.first), static_cast<double>(s.second));
  newMap();
  return *this;
}

ccPair<long> ccUITablet::scale() const {
  auto whole = [](double f) {
    return static_cast<long>(f >= 1.0 ? std::trunc(f) : std::trunc(1.0 / f));
  };
  return ccPair<long>(whole(scaleExact_.first), whole(scaleExact_.second));
}

void ccUITablet::setMap() {
  const double x = scaleExact_.first, y = scaleExact_.second;
  if (scaleMode_ == eNoScale) {
    scaledMap_ = baseMap_;
  } else if (scaleMode_ == eReduce && x > 1.0 && y > 1.0) {
    scaledMap_ = ccXform<2>(ccMatrix<2>(1.0 / x, 0, 0, 1.0 / y), ccVector<2>()) * baseMap_;
  } else {
    scaledMap_ = ccXform<2>(ccMatrix<2>(x, 0, 0, y), ccVector<2>()) * baseMap_;
  }
  dragDel_ = ccPair<long>(0, 0);
}

void ccUITablet::newMap() {
  setMap();
  for (ccUITablet* kid : kids_) kid->parentMapChanged();
  redraw(eBothLayers);
}

ccUITablet& ccUITablet::dragDel(const ccPair<long>& d) {
  setMap();
  scaledMap_.trans(scaledMap_.trans() +
                   ccVector<2>(static_cast<double>(d.first), static_cast<double>(d.second)));
  dragDel_ = d;
  return *this;
}

ccUITablet& ccUITablet::scopeRect(const ccUIRect& r) {
  if (r == scopeRect_) return *this;
  const bool moved = r.ul() != scopeRect_.ul();
  const bool resized = r.sz() != scopeRect_.sz();
  const bool clipped = (r & scopeRect_).sz() != scopeRect_.sz();
  if (clipped) visible(false);
  scopeRect_ = r;
  newScope(true);
  if (moved) move_();
  if (resized) resize_();
  if (clipped)
    visible(true);
  else
    redraw(eBothLayers);
  return *this;
}

ccUITablet& ccUITablet::moveRel(const ccPair<long>& d) {
  return scopeRect(ccUIRect(scopeRect_.ul() + d, scopeRect_.sz()));
}

ccUITablet& ccUITablet::moveAbs(const ccPair<long>& p) {
  return scopeRect(ccUIRect(p, scopeRect_.sz()));
}

ccUITablet& ccUITablet::size(const ccPair<long>& s) {
  return scopeRect(ccUIRect(scopeRect_.ul(), s));
}

void ccUITablet::newScope(bool self) {
  if (!parent_) {
    for (ccUITablet* kid : kids_) kid->newScope(false);
    return;
  }
  ccUIRect before[2];
  if (!self) {
    before[0] = currentScope(eImageLayer);
    before[1] = currentScope(eOverlayLayer);
  }
  scopeOrg_ = parent_->scopeOrg_ + scopeRect_.ul();
  for (int l = 0; l < 2; ++l) {
    ccUIScope* parentScope = parent_->ownScope_[l];
    if (!parentScope) continue;
    if (ownScope_[l]) {
      ownScope_[l]->move(*parentScope, scopeRect_);
    } else {
      ownScope_[l] = parentScope->newSubScope(scopeRect_, false);
      ownsScope_[l] = true;
    }
    activeScope_[l] = ownScope_[l];
  }
  for (ccUITablet* kid : kids_) kid->newScope(false);
  if (!self && (currentScope(eImageLayer) != before[0] || currentScope(eOverlayLayer) != before[1]))
    clipped_();
}

ccUIRect ccUITablet::activeScope(Layers l) const {
  checkLayer(l);
  if (!activeScope_[l]) return ccUIRect();
  return ccUIRect(ccPair<long>(0, 0), activeScope_[l]->scopeBounds().sz());
}

ccUIRect ccUITablet::currentScope(Layers l) const {
  checkLayer(l);
  if (!ownScope_[l]) return ccUIRect();
  return ccUIRect(ccPair<long>(0, 0), ownScope_[l]->scopeBounds().sz());
}

ccPair<long> ccUITablet::scopeCoords(const ccPoint& p) const {
  const ccVector<2> m = scaledMap_ * p.vector();
  return ccPair<long>(cfTolerantFloor(m.x()), cfTolerantFloor(m.y()));
}

ccPoint ccUITablet::tabletCoords(const ccPair<long>& pixel) const {
  return ccPoint(scaledMap_.inverse() *
                 ccVector<2>(static_cast<double>(pixel.first), static_cast<double>(pixel.second)));
}

void ccUITablet::interpolation(InterpolationModes m) {
  if (m == interpolation_) return;
  interpolation_ = m;
  fullDraw(eBothLayers);
}

bool ccUITablet::visible(bool show) {
  if (!show) {
    if (hideCount_++ != 0) return false;
    erase(eBothLayers);
    return true;
  }
  if (hideCount_ == 0 || --hideCount_ != 0) return false;
  fullDraw(eBothLayers);
  return true;
}

bool ccUITablet::opaque(Layers l) const {
  checkLayer(l);
  return ownScope_[l] && ownScope_[l]->opaque();
}

void ccUITablet::opaque(Layers l, bool on) {
  checkLayer(l);
  if (ownScope_[l]) ownScope_[l]->opaque(on);
}

bool ccUITablet::anyChanged(Layers l) const {
  checkLayer(l);
  return ownScope_[l] && ownScope_[l]->anyChanged();
}

void ccUITablet::clearAnyChanged(Layers l) {
  checkLayer(l);
  if (ownScope_[l]) ownScope_[l]->clearAnyChanged();
}

ccUITablet::Layers ccUITablet::updateLayers(Layers l) {
  const Layers old = updateLayers_;
  updateLayers_ = l;
  return old;
}

void ccUITablet::stampDraw() {
  if (drawStamp_ != timeStamp_) drawStamp_ = ++timeStamp_;
}

bool ccUITablet::okToDrawScope(Layers l) {
  if (l < 0) return false;
  if (l == eOverlayLayer && !drawOnOverlay_) return false;
  if (l >= eBothLayers || !activeScope_[l]) return false;
  ccUIScope* scope = activeScope_[l];
  if (scope->offScreen() && !scope->clientChangeEnable()) return false;
  if (!updating_) stampDraw();
  return true;
}

const ccPoint& ccUITablet::mapPoint(const ccPoint& p, Layers l, ccPoint& out) const {
  checkLayer(l);
  if (activeScope_[l] &&
      (&p == &drawPointArg_ || (p.x() == drawPointArg_.x() && p.y() == drawPointArg_.y())))
    return activeScope_[l]->drawPoint();
  out = ccPoint(scaledMap_ * p.vector());
  return out;
}

void ccUITablet::throwBadLayer() { throw ccUIError::BadLayer(); }

// ---- Update control

namespace {
// lockScreenUpdatesPush / Pop of a tablet on every path.
class TabletLock {
 public:
  TabletLock(ccUITablet& t, ccUITablet::Layers l) : t_(t), l_(l) {
    t_.lockScreenUpdatesPush(true, l_);
  }
  ~TabletLock() { t_.lockScreenUpdatesPop(l_); }
  TabletLock(const TabletLock&) = delete;
  TabletLock& operator=(const TabletLock&) = delete;

 private:
  ccUITablet& t_;
  ccUITablet::Layers l_;
};
}  // namespace

void ccUITablet::lockScreenUpdatesPush(bool lock, Layers l) {
  checkAnyLayer(l);
  const LayerRange r = layersOf(l);
  for (int i = r.first; i <= r.last; ++i)
    if (activeScope_[i]) activeScope_[i]->lockScreenUpdatesPush(lock);
}

void ccUITablet::lockScreenUpdatesPop(Layers l) {
  checkAnyLayer(l);
  const LayerRange r = layersOf(l);
  for (int i = r.first; i <= r.last; ++i)
    if (activeScope_[i]) activeScope_[i]->lockScreenUpdatesPop();
}

bool ccUITablet::screenUpdatesLocked(Layers l) const {
  checkLayer(l);
  const ccUIScope* s = activeScope_[l];
  return s && !s->offScreen() && s->screenUpdatesLocked();
}

void ccUITablet::optimizeDrawing(bool on, Layers l) {
  checkLayer(l);
  if (activeScope_[l]) activeScope_[l]->optimizeDrawing(on);
}

void ccUITablet::dragStart(Layers l) {
  checkLayer(l);
  if (activeScope_[l] && !activeScope_[l]->offScreen()) activeScope_[l]->dragStart();
}

void ccUITablet::dragStop(Layers l) {
  checkLayer(l);
  if (activeScope_[l] && !activeScope_[l]->offScreen()) activeScope_[l]->dragStop();
}

void ccUITablet::dragErase(Layers l) {
  checkLayer(l);
  if (activeScope_[l] && !activeScope_[l]->offScreen()) activeScope_[l]->dragErase();
}

void ccUITablet::dragAnimate(bool on, Layers l) {
  checkLayer(l);
  if (activeScope_[l] && !activeScope_[l]->offScreen()) activeScope_[l]->dragAnimate(on);
}

void ccUITablet::recordChanges(bool on) {
  for (ccUIScope* s : activeScope_)
    if (s && s->clientChangeEnable() != on) s->clientChangeEnable(on);
}

bool ccUITablet::recordChanges() const {
  for (const ccUIScope* s : activeScope_)
    if (s && s->clientChangeEnable()) return true;
  return false;
}

void ccUITablet::getChanges(ccUIRect* rects, bool keep) {
  for (int l = 0; l < 2; ++l) {
    ccUIScope* s = activeScope_[l];
    rects[l] = s && s->clientChangeEnable() ? s->clientChangedRect(keep) : ccUIRect();
    // The scope reports in this tablet's pixels; "everything" stays everything.
    if (!rects[l].isNull() && rects[l] != ccUIRect::inf) rects[l] += scopeOrg_;
  }
}

bool ccUITablet::modified(Layers l) const {
  checkLayer(l);
  if (!ownScope_[l]) return false;
  if (ownScope_[l]->modified()) return true;
  for (const ccUITablet* kid : kids_)
    if (kid->modified(l)) return true;
  return false;
}

void ccUITablet::modified(Layers l, bool on) {
  checkLayer(l);
  if (activeScope_[l]) activeScope_[l]->modified(on);
}

void ccUITablet::redraw(Layers l) {
  checkAnyLayer(l);
  if (!visible() || !drawOn_) return;
  {
    FlagPush noRecording(recordOn_, false);
    TabletLock lock(*this, l);
    struct RestoreLayers {
      ccUITablet& t;
      Layers old;
      ~RestoreLayers() { t.updateLayers_ = old; }
    } restore{*this, updateLayers(l)};
    redraw_();
  }
  if (!updating_ && redrawStamp_ != timeStamp_) redrawStamp_ = ++timeStamp_;
}

void ccUITablet::fullDraw(Layers l) {
  checkAnyLayer(l);
  TabletLock lock(*this, l);
  redraw(l);
  const std::list<ccUITablet*> kids = kids_;
  for (ccUITablet* kid : kids) kid->fullDraw(l);
}

void ccUITablet::update(const ccUIRect& r, Layers l, bool self) {
  checkAnyLayer(l);
  const LayerRange range = layersOf(l);
  for (int i = range.first; i <= range.last; ++i) updateRectLayer(r, i, self);
}

void ccUITablet::updateRectLayer(const ccUIRect& r, int l, bool self) {
  ccUIScope* own = ownScope_[l];
  if (!own) return;
  const Layers layer = static_cast<Layers>(l);
  TabletLock lock(*this, layer);
  const ccUIRect local = r - scopeOrg_;
  std::unique_ptr<ccUIScope> temporary(own->newSubScope(local, true));
  struct Restore {
    ccUITablet& t;
    int l;
    ~Restore() {
      t.activeScope_[l] = t.ownScope_[l];
      t.updating_ = false;
    }
  } restore{*this, l};
  updating_ = true;
  activeScope_[l] = temporary.get();
  if (!okToDraw(layer)) return;
  if (self) {
    redraw(layer);
    const ccUIRect changed = temporary->changeRect();
    if (!changed.isNull()) own->change(changed - own->clipOffset(), temporary->opaque());
    drawStamp_ = ++timeStamp_;
  } else {
    temporary->allChange();
    redraw(layer);
    const ccUIRect ownChanges = own->changeRect();
    if (!ownChanges.isNull() && ownChanges.within(local)) own->noChange();
    const std::list<ccUITablet*> kids = kids_;
    for (ccUITablet* kid : kids) kid->updateRectLayer(r, l, false);
  }
}

void ccUITablet::update(Layers l) {
  checkAnyLayer(l);
  const LayerRange range = layersOf(l);
  for (int i = range.first; i <= range.last; ++i) updateLayer(i);
}

void ccUITablet::updateKidsAbove(const ccUITablet* tablet, const ccUIRect& area, int l,
                                 std::uint32_t& stamp) const {
  // The later siblings of `tablet` (null: every kid of this tablet), in stacking order.
  auto it = tablet ? std::next(tablet->placeInParent_) : kids_.begin();
  for (; it != kids_.end(); ++it) {
    if ((*it)->redrawStamp_ > stamp) continue;
    (*it)->updateRectLayer(area, l, false);
    stamp = timeStamp_;
  }
}

void ccUITablet::updateLayer(int l) {
  ccUIScope* own = ownScope_[l];
  if (!visible() || !own) return;
  const Layers layer = static_cast<Layers>(l);
  TabletLock lock(*this, layer);
  if (own->someChanged()) {
    std::uint32_t stamp = drawStamp_;
    const ccUIRect area = own->changeRect() + scopeOrg_;
    updateKidsAbove(nullptr, area, l, stamp);
    for (const ccUITablet* t = this; t->parent_; t = t->parent_)
      t->parent_->updateKidsAbove(t, area, l, stamp);
    own->noChange();
  }
  const std::list<ccUITablet*> kids = kids_;
  for (ccUITablet* kid : kids) kid->updateLayer(l);
}

void ccUITablet::erase(Layers l) {
  checkAnyLayer(l);
  erase(ccUIRect(ccPair<long>(0, 0), scopeRect_.sz()), l);
  if (recordOn_) sketch_.erase();
}

void ccUITablet::erase(const ccUIRect& r, Layers l) {
  checkAnyLayer(l);
  TabletLock lock(*this, eBothLayers);
  ++hideCount_;
  struct Restore {
    std::uint32_t& count;
    ~Restore() { --count; }
  } restore{hideCount_};
  for (int i = 0; i < 2; ++i) {
    const Layers layer = static_cast<Layers>(i);
    if (!shouldUpdate(layer, l) || !modified(layer)) continue;
    for (ccUITablet* a = parent_; a; a = a->parent_) {
      if (a->ownScope_[i] && a->ownScope_[i]->opaque()) {
        a->updateRectLayer(r + scopeOrg_, i, true);
        break;
      }
    }
    if (r == ccUIRect(ccPair<long>(0, 0), scopeRect_.sz())) ownScope_[i]->modified(false);
  }
}

void ccUITablet::front() {
  if (!parent_ || parent_->kids_.back() == this) return;
  std::vector<ccUITablet*> above(std::next(placeInParent_), parent_->kids_.end());
  parent_->kids_.splice(parent_->kids_.end(), parent_->kids_, placeInParent_);
  const ccUIRect mine = absRect();
  for (ccUITablet* sib : above) {
    if (!sib->visible()) continue;
    const ccUIRect overlap = sib->absRect() & mine;
    if (overlap.isNull()) continue;
    for (int l = 0; l < 2; ++l) {
      if (!ownScope_[l]) continue;
      updateRectLayer(overlap, l, true);
      ownScope_[l]->change(overlap - scopeOrg_ - ownScope_[l]->clipOffset(), false);
    }
    drawStamp_ = ++timeStamp_;
    if (overlap == mine) break;
  }
}

void ccUITablet::back() {
  if (!parent_ || parent_->kids_.front() == this) return;
  parent_->kids_.splice(parent_->kids_.begin(), parent_->kids_, placeInParent_);
  for (ccUIScope* s : ownScope_)
    if (s) s->allChange();
  drawStamp_ = ++timeStamp_;
}
