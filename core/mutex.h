// The process-wide mutex and a scoped lock on it.
#pragma once

#include <mutex>

class ccMutex {
 public:
  ccMutex() = default;
  ccMutex(const ccMutex&) = delete;
  ccMutex& operator=(const ccMutex&) = delete;

  void lock() { m_.lock(); }
  void unlock() { m_.unlock(); }

  // The process-wide mutex, built on first use (thread-safe). Recursive, so nested
  // first-use initialisations under it cannot deadlock.
  static ccMutex& global();

 private:
  std::recursive_mutex m_;
};

// Holds a mutex for its lifetime.
class ccLock {
 public:
  explicit ccLock(ccMutex& m) : m_(m) { m_.lock(); }
  ~ccLock() { m_.unlock(); }
  ccLock(const ccLock&) = delete;
  ccLock& operator=(const ccLock&) = delete;

 private:
  ccMutex& m_;
};
