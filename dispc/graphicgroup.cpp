#include <core/math.h>
#include <dispc/graphicgroup.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <typeinfo>
#include <unordered_set>

namespace {

const char* const kSource = "dispc/glist";

// Reads a class's version byte (written as `current`); UnknownVersion above `newest`.
unsigned char archiveVersion(ccArchive& ar, unsigned char current, unsigned char newest,
                             long line) {
  unsigned char version = current;
  ar || version;
  if (version > newest) throw ccArchive::UnknownVersion(kSource, line);
  return version;
}

}  // namespace

// ---- ccGraphicGroup

namespace {

// The result for item h: the one already made for the same graphic, else group(g) for a
// plain group g, else other(*h), remembered.
template <class T, class Group, class Other>
T once(const ccGraphic& h, std::unordered_map<const ccGraphic*, T>& memo,
       const ccGraphicGroup* asGroup, Group&& group, Other&& other) {
  const auto found = memo.find(&h);
  if (found != memo.end()) return found->second;
  T result = asGroup ? group(*asGroup) : other(h);
  memo.emplace(&h, result);
  return result;
}

}  // namespace

const ccGraphicGroup* ccGraphicGroup::plainGroup(const ccGraphic* g) {
  return g && typeid(*g) == typeid(ccGraphicGroup) ? static_cast<const ccGraphicGroup*>(g)
                                                   : nullptr;
}

ccGraphicGroup::ccGraphicGroup(const ccGraphicGroup& g)
    : ccPersistent(g), ccRepBase(g), ccGraphic(g) {
  CloneMemo memo;
  copyItems_(g, memo);
}

void ccGraphicGroup::copyItems_(const ccGraphicGroup& g, CloneMemo& memo) {
  items_.reserve(g.items_.size());
  for (const auto& h : g.items_) items_.push_back(cloneShared(h.get(), memo));
  null_ = g.null_;
}

ccPtrHandle<ccGraphic> ccGraphicGroup::cloneShared(const ccGraphic* g, CloneMemo& memo) {
  if (!g) return ccPtrHandle<ccGraphic>();
  return once(
      *g, memo, plainGroup(g),
      [&memo](const ccGraphicGroup& group) {
        ccPtrHandle<ccGraphicGroup> copy(new ccGraphicGroup);
        copy->ccGraphic::operator=(group);
        copy->copyItems_(group, memo);
        return ccPtrHandle<ccGraphic>(copy);
      },
      [](const ccGraphic& other) { return other.clone(); });
}

ccGraphicGroup& ccGraphicGroup::operator=(const ccGraphicGroup& g) {
  if (this == &g) return *this;
  ccGraphicGroup copy(g);
  mutating();
  ccGraphic::operator=(g);
  items_.swap(copy.items_);
  null_ = g.null_;
  return *this;
}

ccPtrHandle_const<ccGraphic> ccGraphicGroup::item(long i) const {
  if (i < 0 || i >= numItems()) throw BadParams("Item index out of range");
  return items_[static_cast<std::size_t>(i)];
}

void ccGraphicGroup::getItems(std::vector<ccPtrHandle_const<ccGraphic>>& out) const {
  out.assign(items_.begin(), items_.end());
}

void ccGraphicGroup::items(const std::vector<ccPtrHandle<ccGraphic>>& v, bool copy) {
  std::vector<ccPtrHandle<ccGraphic>> next;
  next.reserve(v.size());
  if (copy) {
    CloneMemo memo;
    for (const auto& h : v) next.push_back(cloneShared(h.get(), memo));
  } else {
    std::vector<const ccGraphic*> held;
    held.reserve(v.size());
    for (const auto& h : v) held.push_back(h.get());
    if (heldBy(held)) throw BadParams("A group cannot hold itself");
    next = v;
  }
  mutating();
  items_.swap(next);
  itemsChanged_();
}

void ccGraphicGroup::items(const std::vector<ccPtrHandle_const<ccGraphic>>& v) {
  std::vector<ccPtrHandle<ccGraphic>> next;
  next.reserve(v.size());
  CloneMemo memo;
  for (const auto& h : v) next.push_back(cloneShared(h.get(), memo));
  mutating();
  items_.swap(next);
  itemsChanged_();
}

void ccGraphicGroup::itemsChanged_() {
  null_ = true;
  bool propsTaken = false;
  for (const auto& h : items_) {
    if (!h) continue;
    if (!h->isNull()) {
      takeProps(h->props());
      null_ = false;
      return;
    }
    if (!propsTaken) {
      takeProps(h->props());
      propsTaken = true;
    }
  }
}

bool ccGraphicGroup::heldBy(const std::vector<const ccGraphic*>& graphics) const {
  // Iterative, so that deep nesting cannot exhaust the stack; each group is looked into once.
  std::vector<const ccGraphic*> pending(graphics);
  std::unordered_set<const ccGraphic*> seen;
  while (!pending.empty()) {
    const ccGraphic* x = pending.back();
    pending.pop_back();
    if (x == this) return true;
    const auto* group = dynamic_cast<const ccGraphicGroup*>(x);
    if (!group || !seen.insert(group).second) continue;
    for (const auto& h : group->items_) pending.push_back(h.get());
  }
  return false;
}

void ccGraphicGroup::setProps_(const ccGraphicProps& p) {
  std::unordered_set<const ccGraphic*> done;
  setProps_(p, done);
}

void ccGraphicGroup::setProps_(const ccGraphicProps& p,
                               std::unordered_set<const ccGraphic*>& done) {
  for (const auto& h : items_) {
    if (!h || !done.insert(h.get()).second) continue;
    if (plainGroup(h.get())) {
      h->props() = p;  // what props(p) does, with this walk's record of the graphics done
      static_cast<ccGraphicGroup&>(*h).setProps_(p, done);
    } else {
      h->props(p);
    }
  }
}

ccPtrHandle<ccGraphic> ccGraphicGroup::map(const ccXform<2>& x) const {
  Memo<ccPtrHandle<ccGraphic>> memo;
  return map_(x, memo);
}

ccPtrHandle<ccGraphic> ccGraphicGroup::map_(const ccXform<2>& x,
                                            Memo<ccPtrHandle<ccGraphic>>& memo) const {
  ccPtrHandle<ccGraphicGroup> m(new ccGraphicGroup);
  m->ccGraphic::operator=(*this);
  m->items_.reserve(items_.size());
  for (const auto& h : items_) {
    if (!h) {
      m->items_.emplace_back();
      continue;
    }
    m->items_.push_back(once(
        *h, memo, plainGroup(h.get()), [&](const ccGraphicGroup& g) { return g.map_(x, memo); },
        [&x](const ccGraphic& g) { return g.map(x); }));
  }
  m->null_ = null_;
  return m;
}

ccPtrHandle<ccGraphic> ccGraphicGroup::clone() const {
  return ccPtrHandle<ccGraphic>(new ccGraphicGroup(*this));
}

ccRect ccGraphicGroup::encloseRect() const {
  Memo<ccRect> memo;
  return encloseRect_(memo);
}

ccRect ccGraphicGroup::encloseRect_(Memo<ccRect>& memo) const {
  ccRect r;
  if (null_) return r;
  for (const auto& h : items_)
    if (h)
      r.enclose(once(
          *h, memo, plainGroup(h.get()),
          [&memo](const ccGraphicGroup& g) { return g.encloseRect_(memo); },
          [](const ccGraphic& g) { return g.encloseRect(); }));
  return r;
}

double ccGraphicGroup::distToPoint(const ccVector<2>& p) const {
  Memo<double> memo;
  return distToPoint_(p, memo);
}

double ccGraphicGroup::distToPoint_(const ccVector<2>& p, Memo<double>& memo) const {
  double best = HUGE_VAL;
  if (null_) return best;
  for (const auto& h : items_) {
    if (!h) continue;
    const double d = once(
        *h, memo, plainGroup(h.get()),
        [&](const ccGraphicGroup& g) { return g.distToPoint_(p, memo); },
        [&p](const ccGraphic& g) { return g.distToPoint(p); });
    if (d < best) best = d;
  }
  return best;
}

void ccGraphicGroup::draw(ccUITablet& tablet, ccUITablet::Layers layer) const {
  if (null_) return;
  for (const auto& h : items_)
    if (h) drawGraphic(*h, tablet, layer);
}

void ccGraphicGroup::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  archiveVersion(ar, 0, 0, __LINE__);
  ccGraphicProps p;
  archiveGraphicRecord(ar, p);
  // The items as a vector: its own version byte, the count, the handles.
  unsigned char vectorVersion = 0;
  ar || vectorVersion;
  if (vectorVersion != 0) throw ccArchive::UnknownVersion("", 0);
  if (ar.isStoring()) {
    unsigned long n = items_.size();
    ar || n;
    for (auto& h : items_) ar || h;
    ar || null_;
  } else {
    unsigned long n = 0;
    ar || n;
    ar.checkCount(n, 1);
    std::vector<ccPtrHandle<ccGraphic>> loaded;
    loaded.reserve(std::min<unsigned long>(n, 1024));  // grown as items are read
    // Groups load depth first, so the groups still loading are this one and the groups that
    // will hold it: a reference to one of them closes a cycle. Checking the flag costs nothing
    // per item, where a walk from each item would cost as much as the graphics below it.
    struct Loading {
      bool& flag;
      explicit Loading(bool& f) : flag(f) { flag = true; }
      ~Loading() { flag = false; }
    } loading(loading_);
    for (unsigned long i = 0; i < n; ++i) {
      ccPtrHandle<ccGraphic> h;
      ar || h;
      const auto* group = dynamic_cast<const ccGraphicGroup*>(h.get());
      if (group && group->loading_)
        throw ccArchive::BadData("graphic group holds itself (item " + std::to_string(i) +
                                 ", before byte " + std::to_string(ar.position()) + ")");
      loaded.push_back(std::move(h));
    }
    bool null = true;
    ar || null;
    takeProps(p);
    items_.swap(loaded);
    null_ = null;
  }
  setVisited(ar);
}

// ---- ccGraphicText

ccGraphicText::ccGraphicText(const std::string& text, const ccPoint& location,
                             const ccColor& colour, const ccColor& backgroundColor,
                             const ccUIFormat& format, const ccVector<2>& offset)
    : ccGraphic(colour),
      text_(text),
      location_(location),
      backgroundColor_(backgroundColor),
      format_(format),
      offset_(offset) {}

ccPtrHandle<ccGraphic> ccGraphicText::map(const ccXform<2>& x) const {
  ccPtrHandle<ccGraphicText> m(new ccGraphicText(*this));
  m->location_ = location_.map(x);
  return m;
}

ccPtrHandle<ccGraphic> ccGraphicText::clone() const {
  return ccPtrHandle<ccGraphic>(new ccGraphicText(*this));
}

void ccGraphicText::draw(ccUITablet& tablet, ccUITablet::Layers layer) const {
  tablet.drawStart(location_, layer);
  tablet.moveToRelPels(cc_detail::clampToLong(std::trunc(offset_.x())),
                       cc_detail::clampToLong(std::trunc(offset_.y())), layer);
  tablet.draw(text_, ccUITablet::drawPointArg(), props().penColor(), backgroundColor_, format_,
              layer);
}

void ccGraphicText::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  archiveVersion(ar, 0, 0, __LINE__);
  ccGraphicProps p;
  archiveGraphicRecord(ar, p);
  std::string text = text_;
  ccPoint location = location_;
  ccColor background = backgroundColor_;
  ccUIFormat format = format_;
  ccVector<2> offset = offset_;
  ar || text || location || background || format || offset;
  if (ar.isLoading()) {
    takeProps(p);
    text_.swap(text);
    location_ = location;
    backgroundColor_ = background;
    format_ = format;
    offset_ = offset;
  }
  setVisited(ar);
}

// ---- ccGraphicPointIcon

ccPtrHandle<ccGraphic> ccGraphicPointIcon::map(const ccXform<2>& x) const {
  return ccPtrHandle<ccGraphic>(new ccGraphicPointIcon(point_.map(x), props()));
}

ccPtrHandle<ccGraphic> ccGraphicPointIcon::clone() const {
  return ccPtrHandle<ccGraphic>(new ccGraphicPointIcon(*this));
}

void ccGraphicPointIcon::draw(ccUITablet& tablet, ccUITablet::Layers layer) const {
  tablet.drawPointIcon(point_, props(), layer);
}

void ccGraphicPointIcon::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  archiveVersion(ar, 0, 0, __LINE__);
  ccGraphicProps p;
  archiveGraphicRecord(ar, p);
  ccPoint point = point_;
  ar || point;
  if (ar.isLoading()) {
    takeProps(p);
    point_ = point;
  }
  setVisited(ar);
}

// ---- ccGraphicCross

ccPtrHandle<ccGraphic> ccGraphicCross::map(const ccXform<2>& x) const {
  return ccPtrHandle<ccGraphic>(new ccGraphicCross(cross_.map(x), props()));
}

ccPtrHandle<ccGraphic> ccGraphicCross::clone() const {
  return ccPtrHandle<ccGraphic>(new ccGraphicCross(*this));
}

void ccGraphicCross::draw(ccUITablet& tablet, ccUITablet::Layers layer) const {
  tablet.draw(cross_, props(), layer);
}

void ccGraphicCross::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  archiveVersion(ar, 0, 0, __LINE__);
  ccGraphicProps p;
  archiveGraphicRecord(ar, p);
  ccCross cross = cross_;
  ar || cross;
  if (ar.isLoading()) {
    takeProps(p);
    cross_ = cross;
  }
  setVisited(ar);
}

// ---- ccGraphicEllipseAnnulusSection

ccGraphicEllipseAnnulusSection::ccGraphicEllipseAnnulusSection(const ccEllipseAnnulusSection& s,
                                                               const ccColor& c, bool arrowHead,
                                                               bool arrowHeadForward)
    : ccGraphic(c), section_(s) {
  props().arrowHead(arrowHead);
  props().arrowHeadForward(arrowHeadForward);
}

void ccGraphicEllipseAnnulusSection::drawArrowHead(bool arrowHead, bool arrowHeadForward) {
  ccGraphicProps& p = props();  // marks changed
  p.arrowHead(arrowHead);
  p.arrowHeadForward(arrowHeadForward);
}

ccPtrHandle<ccGraphic> ccGraphicEllipseAnnulusSection::map(const ccXform<2>& x) const {
  return ccPtrHandle<ccGraphic>(new ccGraphicEllipseAnnulusSection(section_.map(x), props()));
}

ccPtrHandle<ccGraphic> ccGraphicEllipseAnnulusSection::clone() const {
  return ccPtrHandle<ccGraphic>(new ccGraphicEllipseAnnulusSection(*this));
}

ccRect ccGraphicEllipseAnnulusSection::encloseRect() const { return shapeRect(section_); }

void ccGraphicEllipseAnnulusSection::draw(ccUITablet& tablet, ccUITablet::Layers layer) const {
  tablet.draw(section_, props(), layer);
}

void ccGraphicEllipseAnnulusSection::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  const unsigned char version = archiveVersion(ar, 1, 1, __LINE__);
  ccGraphicProps p;
  archiveGraphicRecord(ar, p);
  if (ar.isStoring()) {
    section_.dispatchSerialize(ar);
  } else {
    ccEllipseAnnulusSection section;
    {
      const ccArchive::VisitScope scope(ar);  // section is a local
      section.dispatchSerialize(ar);
    }
    if (version == 0) {
      bool arrowHead = true, arrowHeadForward = true;
      ar || arrowHead || arrowHeadForward;
      p.arrowHead(arrowHead);
      p.arrowHeadForward(arrowHeadForward);
    }
    takeProps(p);
    section_ = section;
  }
  setVisited(ar);
}
