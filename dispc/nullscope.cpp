#include <dispc/nullscope.h>

ccNullScope::~ccNullScope() = default;

ccUIScope* ccNullScope::newSubScope(const ccUIRect& rect, bool) {
  auto* sub = new ccNullScope(rect);
  sub->move(*this, rect);
  return sub;
}
