#include <dispc/scope.h>

#include <core/assert.h>
#include <dispc/tolfloor.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

constexpr const char* kFile = "dispc/scope";

// Integer zoom factors must be at least 1 in both directions.
bool checkFactor(const ccPair<long>& f, int line) {
  if (f.first >= 1 && f.second >= 1) return true;
  cstd_assert_(line, kFile);
  return false;
}

ccPair<double> reduction(const ccPair<long>& f) {
  return ccPair<double>(1.0 / static_cast<double>(f.first), 1.0 / static_cast<double>(f.second));
}

ccPair<double> enlargement(const ccPair<long>& f) {
  return ccPair<double>(static_cast<double>(f.first), static_cast<double>(f.second));
}

}  // namespace

ccUIScope::ccUIScope(const ccPair<long>& clipOffset) : clipOffset_(clipOffset), root_(this) {
  noChange();
}

ccUIScope::~ccUIScope() {
  if (parent_) parent_->children_.remove(this);
  for (ccUIScope* kid : children_) {
    kid->parent_ = nullptr;
    kid->rootDeleted();
  }
}

// ---- Zoom forms with integer factors

void ccUIScope::sample(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned long passValue) {
  if (checkFactor(factor, __LINE__)) sampleImage(image, at, reduction(factor), pass, passValue);
}

void ccUIScope::sample(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned short passValue) {
  if (checkFactor(factor, __LINE__)) sampleImage(image, at, reduction(factor), pass, passValue);
}

void ccUIScope::sample(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned short passValue) {
  if (checkFactor(factor, __LINE__)) sampleImage(image, at, reduction(factor), pass, passValue);
}

void ccUIScope::sample(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned char passValue, bool flag) {
  if (checkFactor(factor, __LINE__)) {
    sampleImage(image, at, reduction(factor), pass, passValue, flag);
  }
}

void ccUIScope::expand(const ccPelBuffer_const<ccPackedRGB32Pel>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned long passValue,
                       InterpolationModes mode) {
  if (checkFactor(factor, __LINE__)) {
    expandImage(image, at, enlargement(factor), pass, passValue, mode);
  }
}

void ccUIScope::expand(const ccPelBuffer_const<ccPackedRGB16Pel>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned short passValue) {
  if (checkFactor(factor, __LINE__)) expandImage(image, at, enlargement(factor), pass, passValue);
}

void ccUIScope::expand(const ccPelBuffer_const<unsigned short>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned short passValue) {
  if (checkFactor(factor, __LINE__)) expandImage(image, at, enlargement(factor), pass, passValue);
}

void ccUIScope::expand(const ccPelBuffer_const<unsigned char>& image, const ccPoint& at,
                       const ccPair<long>& factor, bool pass, unsigned char passValue, bool flag,
                       InterpolationModes mode) {
  if (checkFactor(factor, __LINE__)) {
    expandImage(image, at, enlargement(factor), pass, passValue, flag, mode);
  }
}

// ---- Tree

void ccUIScope::move(const ccUIScope& parent, const ccUIRect& rect) {
  for (const ccUIScope* s = &parent; s; s = s->parent_) {
    if (s == this) {
      cstd_assert_(__LINE__, kFile);
      return;
    }
  }
  const ccPair<long> d(rect.left() - parent.clipOffset_.first,
                       rect.top() - parent.clipOffset_.second);
  clipOffset_ = ccPair<long>(std::max(-d.first, 0L), std::max(-d.second, 0L));
  if (parent_) parent_->children_.remove(this);
  // The parent is linked to, not changed as a value: its list of sub-scopes grows.
  ccUIScope& p = const_cast<ccUIScope&>(parent);
  parent_ = &p;
  p.children_.push_back(this);
  setRoot(p.root_);
  attach(parent, ccUIRect(d, rect.sz()));
  noChange();
}

void ccUIScope::subset(const ccUIScope& parent, const ccUIRect& rect) {
  move(parent, rect);
  if (parent_ != &parent) return;  // refused
  clipOffset_ = ccPair<long>(std::max(rect.left(), parent.clipOffset_.first),
                             std::max(rect.top(), parent.clipOffset_.second));
}

void ccUIScope::setRoot(ccUIScope* root) {
  root_ = root;
  for (ccUIScope* kid : children_) kid->setRoot(root);
}

void ccUIScope::rootDeleted() { setRoot(nullptr); }

// ---- Pen

void ccUIScope::drawStart(const ccPoint& p) {
  // Pixels first: p may be the pen position itself.
  const long x = xCoord(p), y = yCoord(p);
  if (&p != &drawPoint_) drawPoint_ = p;
  drawX_ = x;
  drawY_ = y;
}

void ccUIScope::moveToRel(long dx, long dy) {
  drawPoint_ += ccVector<2>(static_cast<double>(dx), static_cast<double>(dy));
  drawX_ += dx;
  drawY_ += dy;
}

long ccUIScope::xCoord(const ccPoint& p) const {
  if (&p == &drawPoint_) return drawX_;
  return cfTolerantFloor(p.x()) - clipOffset_.first;
}

long ccUIScope::yCoord(const ccPoint& p) const {
  if (&p == &drawPoint_) return drawY_;
  return cfTolerantFloor(p.y()) - clipOffset_.second;
}

// ---- Change tracking

void ccUIScope::noChange() {
  setFlag(eAllChanged, false);
  changed_ = ccUIRect::null;
}

void ccUIScope::allChange() {
  setFlag(eAllChanged, true);
  changed_ = offScreen() ? ccUIRect::null : ccUIRect(ccPair<long>(), scopeBounds().sz());
  clientChanged_ = ccUIRect::inf;
  if (root_) root_->anyChanged_ = true;
}

void ccUIScope::change(ccUIRect r, bool checkOpaque) {
  if (clientChangeEnable()) clientChanged_ |= r;
  const ccPair<long> size = scopeBounds().sz();
  r &= ccUIRect(ccPair<long>(), size);
  if (r.isNull()) return;
  if (checkOpaque && r.sz() == size) setFlag(eOpaque, true);
  changed_ |= r;
  setFlag(eAllChanged, changed_.sz() == size);
  if (root_) root_->anyChanged_ = true;
}

ccUIRect ccUIScope::shifted(const ccUIRect& r) const {
  return r.isNull() ? ccUIRect::null : r + clipOffset_;
}

ccUIRect ccUIScope::changeRect() const { return shifted(changed_); }

void ccUIScope::clientChangeEnable(bool on) {
  if (!on) {
    setFlag(eClientChangeEnable, false);
    return;
  }
  if (clientChangeEnable()) cstd_assert_(__LINE__, kFile);
  setFlag(eClientChangeEnable, true);
  clientChanged_ = ccUIRect::null;
}

ccUIRect ccUIScope::clientChangedRect(bool keep) {
  if (!clientChangeEnable()) cstd_assert_(__LINE__, kFile);
  const ccUIRect r = shifted(clientChanged_);
  if (!keep) setFlag(eClientChangeEnable, false);
  return r;
}

bool ccUIScope::anyChanged() const { return root_ && root_->anyChanged_; }

void ccUIScope::clearAnyChanged() {
  if (root_) root_->anyChanged_ = false;
}

bool ccUIScope::trackChanges() const { return !allChanged() || clientChangeEnable(); }

// ---- Display clip

void ccUIScope::setDisplayClipRect(const ccUIRect& r) {
  displayClipRect_ = r;
  displayClipChanged(displayClipRect_);
}

// ---- Colours

ccColor ccUIScope::nearestColor(const ccColor& c, const std::vector<ccRGB>& map) {
  const ccRGB& t = c.rgbStruct();
  double best = HUGE_VAL;
  std::size_t bestIndex = 0;
  for (std::size_t i = 0; i < map.size(); ++i) {
    const double dr = double(map[i].r()) - t.r();
    const double dg = double(map[i].g()) - t.g();
    const double db = double(map[i].b()) - t.b();
    const double d = std::sqrt(dr * dr + dg * dg + db * db);
    if (d < best) {
      best = d;
      bestIndex = i;
      if (d == 0) break;
    }
  }
  return ccColor(static_cast<unsigned char>(bestIndex));
}
