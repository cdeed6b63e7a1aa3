#include <core/assert.h>

#include <atomic>
#include <cstdio>

namespace {

void defaultHandler(int line, const char* file) {
  std::fprintf(stderr, "assertion failed: %s line %d\n", file ? file : "(unknown)", line);
}

std::atomic<cstd_AssertHandler> handler{&defaultHandler};
std::atomic<long> reports{0};

}  // namespace

void cstd_assert_(int line, const char* file) {
  reports.fetch_add(1, std::memory_order_relaxed);
  handler.load()(line, file);
}

cstd_AssertHandler cstd_setAssertHandler(cstd_AssertHandler h) {
  return handler.exchange(h ? h : &defaultHandler);
}

long cstd_assertCount() { return reports.load(std::memory_order_relaxed); }
