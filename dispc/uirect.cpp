#include <dispc/uirect.h>

#include <algorithm>

const ccUIRect ccUIRect::null;
const ccUIRect ccUIRect::inf(-1073741823L, -1073741823L, 2147483647L, 2147483647L);

bool ccUIRect::nullIntersection(const ccUIRect& r) const {
  return isNull() || r.isNull() || left() >= r.right() || right() <= r.left() ||
         top() >= r.bottom() || bottom() <= r.top();
}

ccUIRect ccUIRect::operator&(const ccUIRect& r) const {
  if (isNull() || r.isNull()) return null;
  return fromEdges(std::max(left(), r.left()), std::max(top(), r.top()),
                   std::min(right(), r.right()), std::min(bottom(), r.bottom()));
}

ccUIRect ccUIRect::operator|(const ccUIRect& r) const {
  if (isNull()) return r;
  if (r.isNull()) return *this;
  return fromEdges(std::min(left(), r.left()), std::min(top(), r.top()),
                   std::max(right(), r.right()), std::max(bottom(), r.bottom()));
}

ccArchive& operator||(ccArchive& ar, ccUIRect& r) {
  signed char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion("dispc/uirect", __LINE__);
  ccPair<long> ul = r.ul_, sz = r.sz_;
  ar || ul || sz;
  r.ul_ = ul;
  r.sz_ = sz;
  return ar;
}
