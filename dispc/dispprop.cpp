#include <dispc/dispprop.h>

#include <cstring>

namespace {

void put32(unsigned char* p, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(u >> (8 * i));
}

std::int32_t get32(const unsigned char* p) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  std::int32_t v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}

}  // namespace

ccGraphicProps::ccGraphicProps() : penColor_(ccColor::cyanColor()) {}

void ccGraphicProps::penWidth(long w) {
  const std::int32_t checked = checkedWidth(w);
  mutating();
  penWidth_ = checked;
}

bool ccGraphicProps::operator==(const ccGraphicProps& o) const {
  return penColor_ == o.penColor_ && penWidth_ == o.penWidth_ && penStyle_ == o.penStyle_ &&
         fill_ == o.fill_ && penJoin_ == o.penJoin_ && penEndCap_ == o.penEndCap_ &&
         arrowHead_ == o.arrowHead_ && arrowHeadForward_ == o.arrowHeadForward_ &&
         showVertex_ == o.showVertex_;
}

void ccGraphicProps::writeSketchForm(unsigned char out[kSketchFormSize]) const {
  out[0] = 0;
  out[1] = fill_ ? 1 : 0;
  put32(out + 2, penWidth_);
  put32(out + 6, penStyle_);
  put32(out + 10, penJoin_);
  put32(out + 14, penEndCap_);
  out[18] = arrowHead_ ? 1 : 0;
  out[19] = arrowHeadForward_ ? 1 : 0;
  out[20] = showVertex_ ? 1 : 0;
}

void ccGraphicProps::readSketchForm(const unsigned char in[kSketchReadSize]) {
  // Validate before changing anything, so a bad width leaves the object as it was.
  const std::int32_t width = get32(in + 1);
  if (width < 0) throw BadParams();
  fill(in[0] != 0);
  penWidth(width);
  penStyle(static_cast<cePenStyle>(get32(in + 5)));
  penJoin(static_cast<cePenJoin>(get32(in + 9)));
  penEndCap(static_cast<cePenEndCap>(get32(in + 13)));
  arrowHead(in[17] != 0);
  arrowHeadForward(in[18] != 0);
  showVertex(in[19] != 0);
}

std::size_t ccGraphicProps::opcode(ccGraphicProps* target, const unsigned char* bytes) const {
  if (!target || !bytes) return 0;
  target->readSketchForm(bytes);
  return kSketchReadSize;
}

void ccGraphicProps::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  ccGraphicProps::serialize_(ar, version);
  setVisited(ar);
}

void ccGraphicProps::serialize_(ccArchive& ar, unsigned char version) {
  if (version != 0) throw ccArchive::UnknownVersion("dispc/dispprop", __LINE__);
  // Load into a copy, so that a failure part way leaves this object unchanged.
  ccPersistent::dispatchSerialize(ar);
  ccColor color = penColor_;
  long width = penWidth_;
  int style = penStyle_, join = penJoin_, cap = penEndCap_;
  bool fill = fill_, arrow = arrowHead_, forward = arrowHeadForward_, vertex = showVertex_;
  ar || color || width || style || fill || join || cap || arrow || forward || vertex;
  if (ar.isLoading()) {
    const std::int32_t checked = checkedWidth(width);
    mutating();
    penColor_ = color;
    penWidth_ = checked;
    penStyle_ = static_cast<cePenStyle>(style);
    fill_ = fill;
    penJoin_ = static_cast<cePenJoin>(join);
    penEndCap_ = static_cast<cePenEndCap>(cap);
    arrowHead_ = arrow;
    arrowHeadForward_ = forward;
    showVertex_ = vertex;
  }
}
