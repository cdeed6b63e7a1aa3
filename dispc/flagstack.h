// ccFlagStack: a stack of 1 to 32 booleans. Nested code pushes a value and pops it to restore
// the previous state (the tablet's drawOn, recordOn and drawOnOverlay are flag stacks).
#pragma once

#include <dispc/errors.h>

#include <cstdint>

class ccFlagStack {
 public:
  static constexpr long kMaxDepth = 32;

  explicit ccFlagStack(bool initial = true) : bits_(initial ? 1u : 0u), depth_(1) {}

  // The top entry.
  operator bool() const { return (bits_ & 1u) != 0; }
  // Replaces the top entry.
  ccFlagStack& operator=(bool v) {
    bits_ = (bits_ & ~1u) | (v ? 1u : 0u);
    return *this;
  }

  // ccUIError::FlagStackOverflow at depth 32.
  void push(bool v) {
    if (depth_ >= kMaxDepth) throw ccUIError::FlagStackOverflow();
    bits_ = (bits_ << 1) | (v ? 1u : 0u);
    ++depth_;
  }
  // Returns the top entry; ccUIError::FlagStackUnderflow at depth 1.
  bool pop() {
    if (depth_ < 2) throw ccUIError::FlagStackUnderflow();
    const bool top = (bits_ & 1u) != 0;
    bits_ >>= 1;
    --depth_;
    return top;
  }
  // Entry i, 0 being the top; ccUIError::FlagStackOutOfRange unless 0 <= i < depth.
  bool operator[](long i) const {
    if (i < 0 || i >= depth_) throw ccUIError::FlagStackOutOfRange();
    return ((bits_ >> i) & 1u) != 0;
  }
  long depth() const { return depth_; }

 private:
  std::uint32_t bits_;
  long depth_;
};
