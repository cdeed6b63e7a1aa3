// Catches the library's assertion reports (cstd_assert_) while alive: counts them, keeps the
// file of each, checks each has a line, and restores the previous handler at the end.
#pragma once

#include <core/assert.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

class AssertCounter {
 public:
  AssertCounter() : previous_(cstd_setAssertHandler(&count)) {
    reports_ = 0;
    files_.clear();
  }
  ~AssertCounter() { cstd_setAssertHandler(previous_); }
  AssertCounter(const AssertCounter&) = delete;
  AssertCounter& operator=(const AssertCounter&) = delete;

  int reports() const { return reports_; }
  const std::vector<std::string>& files() const { return files_; }

 private:
  static void count(int line, const char* file) {
    EXPECT_GT(line, 0);
    ++reports_;
    files_.push_back(file ? file : "");
  }
  static inline int reports_ = 0;
  static inline std::vector<std::string> files_;
  cstd_AssertHandler previous_;
};
