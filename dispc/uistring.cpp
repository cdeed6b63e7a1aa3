#include <dispc/uistring.h>

#include <core/mutex.h>

#include <atomic>

namespace {

// The default font id, created on first use under the global mutex. Reads and writes after
// that take no lock.
std::atomic<long>* defaultFont() {
  static std::atomic<std::atomic<long>*> created{nullptr};
  std::atomic<long>* p = created.load(std::memory_order_acquire);
  if (!p) {
    ccLock lock(ccMutex::global());
    p = created.load(std::memory_order_relaxed);
    if (!p) {
      p = new std::atomic<long>(-1);  // lives for the whole process
      created.store(p, std::memory_order_release);
    }
  }
  return p;
}

}  // namespace

long ccUIFormat::defaultFontId() { return defaultFont()->load(std::memory_order_relaxed); }
void ccUIFormat::defaultFontId(long id) { defaultFont()->store(id, std::memory_order_relaxed); }

ccUIRect ccUIFormat::alignRect(const ccUIRect& r) const {
  long dx = 0, dy = 0;
  switch (alignment_ % 3) {
    case 1:
      dx = r.width() / 2;
      break;
    case 2:
      dx = r.width();
      break;
  }
  switch (alignment_ / 3) {
    case 1:
      dy = r.height() / 2;
      break;
    case 2:
      dy = r.height();
      break;
  }
  return r - ccPair<long>(dx, dy);
}

ccArchive& operator||(ccArchive& ar, ccUIFormat& f) {
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion("dispc/uistring", __LINE__);
  long fontId = f.fontId_;
  unsigned long alignment = static_cast<unsigned long>(f.alignment_);
  ar || fontId || alignment;
  if (ar.isLoading()) {
    if (alignment > ccUIFormat::eBottomRight)
      throw ccArchive::BadData("text alignment " + std::to_string(alignment) + " out of range");
    f.fontId_ = fontId;
    f.alignment_ = static_cast<ccUIFormat::Alignment>(alignment);
  }
  return ar;
}
