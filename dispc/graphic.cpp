#include <core/assert.h>
#include <dispc/graphic.h>

namespace {
const char* const kSource = "dispc/glist";
}

// Version 0: the ccExceptionWithString part.
void ccGraphic::Errors::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion("ccGraphic::Errors", 0);
  ccExceptionWithString::dispatchSerialize(ar);
  setVisited(ar);
}

void ccGraphic::props(const ccGraphicProps& p) {
  mutating();
  props_ = p;
  setProps_(props_);
}

void ccGraphic::color(const ccColor& c) {
  mutating();
  props_.penColor(c);
  setProps_(props_);
}

void ccGraphic::draw(void*) const { cstd_assert_(__LINE__, kSource); }

void ccGraphic::setProps_(const ccGraphicProps&) {}

ccRect ccGraphic::shapeRect(const ccShape& s) {
  try {
    return s.boundingBox();
  } catch (const ccShapesError::DegenerateShape&) {
    return ccRect();
  }
}

void ccGraphic::archiveGraphicRecord(ccArchive& ar, ccGraphicProps& loaded) {
  unsigned char version = 1;
  ar || version;
  if (version > 1) throw ccArchive::UnknownVersion(kSource, __LINE__);
  ccPersistent::dispatchSerialize(ar);
  if (ar.isStoring()) {
    props_.dispatchSerialize(ar);
  } else if (version == 1) {
    const ccArchive::VisitScope scope(ar);  // loaded is the caller's local
    loaded.dispatchSerialize(ar);
  } else {
    ccColor c;
    ar || c;
    loaded = ccGraphicProps(c, 1, ccGraphicProps::eSolid, false);
  }
}

void ccGraphic::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  ccGraphicProps p;
  archiveGraphicRecord(ar, p);
  if (ar.isLoading()) takeProps(p);
  setVisited(ar);
}

// Defined here rather than beside the other draw operations: only graphics know how to draw
// themselves, and the tablet reaches their protected draw as a friend.
void ccUITablet::draw(const ccGraphic& g, Layers l) {
  if (!g.builtin()) throw ccUIError::NotImplemented("the graphic is not built in");
  g.draw(*this, l);
}
