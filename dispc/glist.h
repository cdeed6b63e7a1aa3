// ccGraphicList: an ordered list of graphics (dispc/graphic.h, dispc/graphicgroup.h) that draws as
// a whole onto a tablet, turns into the sketch of its drawing, copies and archives.
//
// The list holds handles: graphics are shared with whoever else holds handles to them
// (append(g, false) shares, append(g, true) clones). Null handles may be held; they draw nothing.
//
// Archive form (operator||): a version byte (0), the number of items (int), then each handle as
// a persistent pointer, so a graphic that two entries share is stored once and loads as one
// object. Another version throws ccArchive::UnknownVersion("dispc/glist", line). Loading
// replaces the list's items only when the whole list has loaded.
#pragma once

#include <core/archive.h>
#include <core/handle.h>
#include <dispc/graphic.h>
#include <dispc/tablet.h>
#include <dispc/uisketch.h>

#include <cstddef>
#include <list>

class ccGraphicList {
 public:
  using Items = std::list<ccPtrHandle<ccGraphic>>;
  using const_iterator = Items::const_iterator;

  ccGraphicList() = default;
  // The copy holds clones of the graphics, shared as in other (see append(other)).
  ccGraphicList(const ccGraphicList& other) { append(other); }
  // Nothing on self-assignment; else reset(), then append(other).
  ccGraphicList& operator=(const ccGraphicList& other);
  ~ccGraphicList() = default;

  // Removes every item (a graphic dies with its last handle).
  void reset() { items_.clear(); }
  // Appends a clone of g (copy) or g itself.
  void append(const ccPtrHandle<ccGraphic>& g, bool copy);
  // append(other, true); other is left unchanged. Each distinct graphic of other is cloned
  // once: where other holds one graphic in several entries or groups, the appended clones
  // share its clone, so copying costs what other's archive does, however much it shares.
  void append(const ccGraphicList& other);
  // Appends every item of other in order: clones (copy), or the handles themselves, moved over
  // so that other is left empty. A failing clone leaves the items appended before it.
  void append(ccGraphicList& other, bool copy);

  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }
  const Items& items() const { return items_; }

  // Each graphic's draw on the tablet's layer, in list order.
  void draw(ccUITablet& tablet, ccUITablet::Layers layer) const;
  // What drawing the list on layer records: the list drawn on a detached recording tablet
  // (nothing reaches a screen). Null for an empty list.
  ccUISketch sketch(ccUITablet::Layers layer) const;

  friend ccArchive& operator||(ccArchive& ar, ccGraphicList& list);

 private:
  Items items_;
};
