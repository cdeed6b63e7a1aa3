// Graphic groups and the special graphics: ccGraphicGroup (graphics that behave as one),
// ccGraphicText (a label), ccGraphicPointIcon, ccGraphicCross and
// ccGraphicEllipseAnnulusSection (an annulus section that can carry arrowheads). Each derives
// from ccGraphic (dispc/graphic.h).
//
// Archive forms, each after the ccGraphic record (unknown versions throw
// ccArchive::UnknownVersion("dispc/glist", line); loading leaves the graphic unchanged when it
// throws):
//   ccGraphicGroup                  version 0: the items as a vector (a version byte 0, the
//                                   count as unsigned long, each handle as a persistent pointer,
//                                   null allowed), then null (bool). A vector version other
//                                   than 0 throws UnknownVersion with no source and line 0; a
//                                   group whose items hold it throws ccArchive::BadData.
//   ccGraphicText                   version 0: text, location (ccPoint), background colour,
//                                   format (ccUIFormat), offset (ccVector<2>).
//   ccGraphicPointIcon              version 0: the point (ccPoint).
//   ccGraphicCross                  version 0: the cross (ccCross).
//   ccGraphicEllipseAnnulusSection  version 1 (0 and 1 load): the section (persistent form); a
//                                   version-0 record adds arrowHead and arrowHeadForward (bools).
#pragma once

#include <core/ellipse.h>
#include <core/points.h>
#include <dispc/graphic.h>
#include <dispc/uistring.h>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Graphics that draw, map and measure as one. An item handle may be null (it is skipped).
//
// Invariant, restored after every change of the items: the group is null unless one of its items
// is a graphic that is not null; its props are those of the first item that is not null, or,
// when there is none, of the first set item.
//
// Shared graphics. A group may hold one graphic several times, directly or through nested
// groups (its graphics form a directed acyclic graph, as an archive restores them). Copying,
// cloning, mapping, measuring and setting props handle each distinct graphic once: copies and
// maps share their results where the original shares, so their cost follows the number of
// distinct graphics and handles, not the number of paths through them (which nested sharing
// makes exponential). Drawing visits every path: a graphic held twice draws twice.
class ccGraphicGroup : public ccGraphic {
 public:
  // Each distinct graphic's clone, by original, during one copy.
  using CloneMemo = std::unordered_map<const ccGraphic*, ccPtrHandle<ccGraphic>>;

  // No items; null.
  ccGraphicGroup() = default;
  // Copies hold clones of the set items (null handles stay null), shared as in g.
  ccGraphicGroup(const ccGraphicGroup& g);
  ccGraphicGroup& operator=(const ccGraphicGroup& g);

  // The clone of g (null for null) made once per distinct graphic of one copy: a graphic
  // cloned before under memo gives the same clone, and the groups it holds are copied with
  // the same memo.
  static ccPtrHandle<ccGraphic> cloneShared(const ccGraphic* g, CloneMemo& memo);

  long numItems() const { return static_cast<long>(items_.size()); }
  // Item i; ccGraphic::BadParams("Item index out of range") outside 0 to numItems() - 1.
  ccPtrHandle_const<ccGraphic> item(long i) const;
  void getItems(std::vector<ccPtrHandle_const<ccGraphic>>& out) const;
  // Marks changed and stores clones of the set handles (copy) or the handles themselves (shared
  // graphics). ccGraphic::BadParams, leaving the group as it was, when a shared item holds this
  // group.
  void items(const std::vector<ccPtrHandle<ccGraphic>>& v, bool copy);
  // Always stores clones.
  void items(const std::vector<ccPtrHandle_const<ccGraphic>>& v);

  bool isNull() const override { return null_; }
  // A copy whose set items are each replaced by their own map(x).
  ccPtrHandle<ccGraphic> map(const ccXform<2>& x) const override;
  ccPtrHandle<ccGraphic> clone() const override;
  // A default ccRect when null; else the set items' rectangles enclosed in item order.
  ccRect encloseRect() const override;
  // +infinity when null; else the smallest distance of a set item.
  double distToPoint(const ccVector<2>& p) const override;

  // Loading refuses (ccArchive::BadData) an item that refers back to a group still being
  // loaded: a group that would hold itself.
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccGraphicGroup; }

 protected:
  using ccGraphic::draw;
  // Nothing when null; else each set item in order.
  void draw(ccUITablet& tablet, ccUITablet::Layers layer) const override;
  // Gives every set item the props.
  void setProps_(const ccGraphicProps& p) override;
  // Restores the invariant.
  void itemsChanged_();

 private:
  template <class T>
  using Memo = std::unordered_map<const ccGraphic*, T>;
  // g as a group whose walks share this one's memo: only ccGraphicGroup itself (a derived
  // class may override what it does); null otherwise.
  static const ccGraphicGroup* plainGroup(const ccGraphic* g);
  // Clones of g's items made under memo, and g's null flag.
  void copyItems_(const ccGraphicGroup& g, CloneMemo& memo);
  // The walks behind map, encloseRect, distToPoint and setProps_, one result per distinct
  // graphic.
  ccPtrHandle<ccGraphic> map_(const ccXform<2>& x, Memo<ccPtrHandle<ccGraphic>>& memo) const;
  ccRect encloseRect_(Memo<ccRect>& memo) const;
  double distToPoint_(const ccVector<2>& p, Memo<double>& memo) const;
  void setProps_(const ccGraphicProps& p, std::unordered_set<const ccGraphic*>& done);
  // True when one of the graphics is this group or holds it through groups.
  bool heldBy(const std::vector<const ccGraphic*>& graphics) const;

  std::vector<ccPtrHandle<ccGraphic>> items_;
  bool null_ = true;
  // Set while dispatchSerialize loads the group: an item referring to it closes a cycle.
  bool loading_ = false;
};

// A text label: drawn at the location's pixel moved by offset pixels (each truncated toward
// zero), in the pen colour of the props on the background colour (the pass colour: none).
class ccGraphicText : public ccGraphic {
 public:
  // Empty text at (0, 0), default props, pass-colour background, default format, no offset.
  ccGraphicText() : backgroundColor_(ccColor::passColor()) {}
  // colour becomes the props' pen colour.
  ccGraphicText(const std::string& text, const ccPoint& location, const ccColor& colour,
                const ccColor& backgroundColor, const ccUIFormat& format,
                const ccVector<2>& offset);

  const std::string& text() const { return text_; }
  void text(const std::string& t) {
    mutating();
    text_ = t;
  }
  const ccPoint& location() const { return location_; }
  void location(const ccPoint& p) {
    mutating();
    location_ = p;
  }
  const ccVector<2>& offset() const { return offset_; }
  void offset(const ccVector<2>& v) {
    mutating();
    offset_ = v;
  }
  const ccColor& backgroundColor() const { return backgroundColor_; }
  void backgroundColor(const ccColor& c) {
    mutating();
    backgroundColor_ = c;
  }
  const ccUIFormat& format() const { return format_; }
  void format(const ccUIFormat& f) {
    mutating();
    format_ = f;
  }

  // The text is empty.
  bool isNull() const override { return text_.empty(); }
  // The location mapped; the offset stays in pixels.
  ccPtrHandle<ccGraphic> map(const ccXform<2>& x) const override;
  ccPtrHandle<ccGraphic> clone() const override;
  // A default ccRect: the text's extent is known only to a scope.
  ccRect encloseRect() const override { return ccRect(); }
  // 1e308, always: a label is never the nearest graphic.
  double distToPoint(const ccVector<2>&) const override { return 1e308; }

  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccGraphicText; }

 protected:
  using ccGraphic::draw;
  // drawStart at the location, moveToRelPels by the truncated offset, then the text at the pen.
  void draw(ccUITablet& tablet, ccUITablet::Layers layer) const override;

 private:
  std::string text_;
  ccPoint location_;
  ccColor backgroundColor_;
  ccUIFormat format_;
  ccVector<2> offset_;
};

// The point icon (ccUITablet::pointIcon()) centred at a point, in the pen colour.
class ccGraphicPointIcon : public ccGraphic {
 public:
  ccGraphicPointIcon() = default;
  ccGraphicPointIcon(const ccPoint& p, const ccColor& c) : ccGraphic(c), point_(p) {}
  ccGraphicPointIcon(const ccPoint& p, const ccGraphicProps& props) : ccGraphic(props), point_(p) {}

  const ccPoint& point() const { return point_; }
  void point(const ccPoint& p) {
    mutating();
    point_ = p;
  }

  ccPtrHandle<ccGraphic> map(const ccXform<2>& x) const override;
  ccPtrHandle<ccGraphic> clone() const override;
  // The rectangle of size (1, 1) at the point.
  ccRect encloseRect() const override { return ccRect(point_, ccVector<2>(1.0, 1.0)); }
  double distToPoint(const ccVector<2>& p) const override { return point_.distanceToPoint(p); }

  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccGraphicPointIcon; }

 protected:
  using ccGraphic::draw;
  void draw(ccUITablet& tablet, ccUITablet::Layers layer) const override;

 private:
  ccPoint point_;
};

// A cross marker (arms sized in pixels).
class ccGraphicCross : public ccGraphic {
 public:
  ccGraphicCross() = default;
  ccGraphicCross(const ccCross& x, const ccColor& c) : ccGraphic(c), cross_(x) {}
  ccGraphicCross(const ccCross& x, const ccGraphicProps& props) : ccGraphic(props), cross_(x) {}

  const ccCross& cross() const { return cross_; }
  void cross(const ccCross& x) {
    mutating();
    cross_ = x;
  }

  ccPtrHandle<ccGraphic> map(const ccXform<2>& x) const override;
  ccPtrHandle<ccGraphic> clone() const override;
  // A default ccRect: the arms have no extent in the caller's coordinates.
  ccRect encloseRect() const override { return ccRect(); }
  // From the cross's origin.
  double distToPoint(const ccVector<2>& p) const override { return (p - cross_.origin()).length(); }

  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccGraphicCross; }

 protected:
  using ccGraphic::draw;
  void draw(ccUITablet& tablet, ccUITablet::Layers layer) const override;

 private:
  ccCross cross_;
};

// An elliptical annulus section; the props' arrowHead and arrowHeadForward flags put arrowheads
// on its arcs (see ccUITablet::draw(const ccEllipseAnnulusSection&, ...)).
class ccGraphicEllipseAnnulusSection : public ccGraphic {
 public:
  ccGraphicEllipseAnnulusSection() = default;
  ccGraphicEllipseAnnulusSection(const ccEllipseAnnulusSection& s, const ccGraphicProps& props)
      : ccGraphic(props), section_(s) {}
  ccGraphicEllipseAnnulusSection(const ccEllipseAnnulusSection& s, const ccColor& c, bool arrowHead,
                                 bool arrowHeadForward);

  const ccEllipseAnnulusSection& section() const { return section_; }
  void section(const ccEllipseAnnulusSection& s) {
    mutating();
    section_ = s;
  }
  bool drawArrowHead() const { return props().arrowHead(); }
  bool drawArrowHeadForward() const { return props().arrowHeadForward(); }
  void drawArrowHead(bool arrowHead, bool arrowHeadForward);

  ccPtrHandle<ccGraphic> map(const ccXform<2>& x) const override;
  ccPtrHandle<ccGraphic> clone() const override;
  // The section's bounding box; a default ccRect when it is degenerate.
  ccRect encloseRect() const override;
  double distToPoint(const ccVector<2>& p) const override { return section_.distanceToPoint(p); }

  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccGraphicEllipseAnnulusSection; }

 protected:
  using ccGraphic::draw;
  void draw(ccUITablet& tablet, ccUITablet::Layers layer) const override;

 private:
  ccEllipseAnnulusSection section_;
};
