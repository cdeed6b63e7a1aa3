// Reference-counted sharing of heap objects.
//
// ccRepBase carries an atomic reference count; ccPtrHandle<T> and ccPtrHandle_const<T>
// share one object through it. Copying a handle never copies the object; the last handle
// to let go deletes it.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>

class ccRepBase {
 public:
  ccRepBase() noexcept : refCount_(0) {}
  // A copy is a new object: it starts unshared.
  ccRepBase(const ccRepBase&) noexcept : refCount_(0) {}
  ccRepBase& operator=(const ccRepBase&) noexcept { return *this; }
  virtual ~ccRepBase() = default;

  long refCount() const noexcept { return refCount_.load(std::memory_order_relaxed); }
  void incRef() const noexcept { refCount_.fetch_add(1, std::memory_order_relaxed); }
  // Deletes the object when the count reaches zero.
  void decRef() const noexcept {
    if (refCount_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

 private:
  mutable std::atomic<long> refCount_;
};

template <class T>
class ccPtrHandle_const;

// A shared handle to a mutable T (T derives from ccRepBase).
template <class T>
class ccPtrHandle {
 public:
  ccPtrHandle() noexcept = default;
  ccPtrHandle(std::nullptr_t) noexcept {}
  // Takes a share of p (which may already be shared by other handles).
  explicit ccPtrHandle(T* p) noexcept : p_(p) { acquire(); }
  ccPtrHandle(const ccPtrHandle& h) noexcept : p_(h.p_) { acquire(); }
  ccPtrHandle(ccPtrHandle&& h) noexcept : p_(h.p_) { h.p_ = nullptr; }
  template <class U>
  ccPtrHandle(const ccPtrHandle<U>& h) noexcept : p_(h.rep()) {
    acquire();
  }
  ~ccPtrHandle() { release(); }

  ccPtrHandle& operator=(const ccPtrHandle& h) noexcept {
    ccPtrHandle(h).swap(*this);
    return *this;
  }
  ccPtrHandle& operator=(ccPtrHandle&& h) noexcept {
    ccPtrHandle(std::move(h)).swap(*this);
    return *this;
  }
  void swap(ccPtrHandle& h) noexcept { std::swap(p_, h.p_); }
  void reset() noexcept { ccPtrHandle().swap(*this); }

  T* rep() const noexcept { return p_; }
  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  bool isNull() const noexcept { return p_ == nullptr; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  friend bool operator==(const ccPtrHandle& a, const ccPtrHandle& b) { return a.p_ == b.p_; }
  friend bool operator!=(const ccPtrHandle& a, const ccPtrHandle& b) { return a.p_ != b.p_; }

 private:
  void acquire() noexcept {
    if (p_) p_->incRef();
  }
  void release() noexcept {
    if (p_) p_->decRef();
    p_ = nullptr;
  }
  T* p_ = nullptr;
};

// A shared handle to a const T. Converts from ccPtrHandle<T>.
template <class T>
class ccPtrHandle_const {
 public:
  ccPtrHandle_const() noexcept = default;
  ccPtrHandle_const(std::nullptr_t) noexcept {}
  explicit ccPtrHandle_const(const T* p) noexcept : p_(p) { acquire(); }
  ccPtrHandle_const(const ccPtrHandle_const& h) noexcept : p_(h.p_) { acquire(); }
  ccPtrHandle_const(ccPtrHandle_const&& h) noexcept : p_(h.p_) { h.p_ = nullptr; }
  template <class U>
  ccPtrHandle_const(const ccPtrHandle<U>& h) noexcept : p_(h.rep()) {
    acquire();
  }
  template <class U>
  ccPtrHandle_const(const ccPtrHandle_const<U>& h) noexcept : p_(h.rep()) {
    acquire();
  }
  ~ccPtrHandle_const() { release(); }

  ccPtrHandle_const& operator=(const ccPtrHandle_const& h) noexcept {
    ccPtrHandle_const(h).swap(*this);
    return *this;
  }
  ccPtrHandle_const& operator=(ccPtrHandle_const&& h) noexcept {
    ccPtrHandle_const(std::move(h)).swap(*this);
    return *this;
  }
  void swap(ccPtrHandle_const& h) noexcept { std::swap(p_, h.p_); }
  void reset() noexcept { ccPtrHandle_const().swap(*this); }

  const T* rep() const noexcept { return p_; }
  const T* get() const noexcept { return p_; }
  const T* operator->() const noexcept { return p_; }
  const T& operator*() const noexcept { return *p_; }
  bool isNull() const noexcept { return p_ == nullptr; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  friend bool operator==(const ccPtrHandle_const& a, const ccPtrHandle_const& b) {
    return a.p_ == b.p_;
  }
  friend bool operator!=(const ccPtrHandle_const& a, const ccPtrHandle_const& b) {
    return a.p_ != b.p_;
  }

 private:
  void acquire() noexcept {
    if (p_) p_->incRef();
  }
  void release() noexcept {
    if (p_) p_->decRef();
    p_ = nullptr;
  }
  const T* p_ = nullptr;
};
