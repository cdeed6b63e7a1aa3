#include <dispc/glist.h>

#include <dispc/graphicgroup.h>

#include <limits>
#include <string>

namespace {
const char* const kSource = "dispc/glist";
}

ccGraphicList& ccGraphicList::operator=(const ccGraphicList& other) {
  if (this == &other) return *this;
  reset();
  append(other);
  return *this;
}

void ccGraphicList::append(const ccPtrHandle<ccGraphic>& g, bool copy) {
  items_.push_back(copy && g ? g->clone() : g);
}

void ccGraphicList::append(const ccGraphicList& other) {
  // One clone per distinct graphic, shared where other shares it (entries and nested groups).
  // Counted, so that appending a list to itself copies what it held before.
  ccGraphicGroup::CloneMemo memo;
  auto it = other.items_.begin();
  for (std::size_t n = other.items_.size(); n > 0; --n, ++it)
    items_.push_back(ccGraphicGroup::cloneShared(it->get(), memo));
}

void ccGraphicList::append(ccGraphicList& other, bool copy) {
  if (copy) {
    append(static_cast<const ccGraphicList&>(other));
  } else if (&other != this) {
    items_.splice(items_.end(), other.items_);
    other.reset();
  }
}

void ccGraphicList::draw(ccUITablet& tablet, ccUITablet::Layers layer) const {
  for (const auto& g : items_)
    if (g) g->draw(tablet, layer);
}

ccUISketch ccGraphicList::sketch(ccUITablet::Layers layer) const {
  ccUITablet recorder;  // detached: no scopes, recording on
  draw(recorder, layer);
  return recorder.sketch();
}

ccArchive& operator||(ccArchive& ar, ccGraphicList& list) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(kSource, __LINE__);
  if (ar.isStoring()) {
    if (list.items_.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
      ar.storingFailed();
      throw ccArchive::BadData("too many graphics in the list to archive");
    }
    int n = static_cast<int>(list.items_.size());
    ar || n;
    for (auto& g : list.items_) ar || g;
    return ar;
  }
  int n = 0;
  ar || n;
  if (n < 0)
    throw ccArchive::BadData("negative graphic count " + std::to_string(n) + " before byte " +
                             std::to_string(ar.position()));
  ar.checkCount(static_cast<std::uint64_t>(n), 1);
  ccGraphicList::Items loaded;
  for (int i = 0; i < n; ++i) {
    ccPtrHandle<ccGraphic> g;
    ar || g;
    loaded.push_back(std::move(g));
  }
  list.items_.swap(loaded);
  return ar;
}
