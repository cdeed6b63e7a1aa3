// The exception base of the class library.
//
// Every error is a class with a fixed 32-bit error number. Errors are persistent (they can be
// archived and loaded back as the same class) and can re-throw a copy of themselves
// (suicideAndRethrow), which carries a heap-held error across a boundary.
#pragma once

#include <core/handle.h>
#include <core/persistent.h>

#include <cstdint>
#include <exception>
#include <string>

class ccException : public std::exception, public virtual ccPersistent, public virtual ccRepBase {
 public:
  ccException() = default;
  ccException(const ccException&) = default;
  ccException& operator=(const ccException&) = default;
  ~ccException() override = default;

  virtual std::uint32_t errorNumber() const { return 0; }
  // Copies this error, deletes this (heap) object and throws the copy.
  [[noreturn]] virtual void suicideAndRethrow();

  const std::string& message() const { return message_; }
  // "<class name> (0x<number>)", followed by ": <message>" when there is one.
  const char* what() const noexcept override;

  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccException; }

 protected:
  explicit ccException(std::string message) : message_(std::move(message)) {}
  void serialize_(ccArchive& ar, unsigned char version);

  std::string message_;

 private:
  mutable std::string what_;
};

// An exception that carries a message string.
class ccExceptionWithString : public ccException {
 public:
  ccExceptionWithString() = default;
  explicit ccExceptionWithString(const std::string& message) : ccException(message) {}
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccExceptionWithString; }

 protected:
  void serialize_(ccArchive& ar, unsigned char version);
};

// A concrete error class with a fixed number. Self is the error class, Base its family base.
// Archive form: a version byte (0), then the base's own archive form; another version
// throws ccArchive::UnknownVersion naming the class, with line 0.
template <class Self, class Base, std::uint32_t Number>
class ccErrorClass : public Base {
 public:
  using Base::Base;
  static constexpr std::uint32_t kErrorNumber = Number;

  std::uint32_t errorNumber() const override { return Number; }
  [[noreturn]] void suicideAndRethrow() override {
    Self copy(static_cast<const Self&>(*this));
    delete this;
    throw copy;
  }
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new Self; }
};

// A failing status (non-zero) of a library call becomes an exception carrying the status as
// its error number.
class ccStatusError : public ccException {
 public:
  ccStatusError() = default;
  explicit ccStatusError(std::int32_t status);
  std::uint32_t errorNumber() const override { return static_cast<std::uint32_t>(status_); }
  [[noreturn]] void suicideAndRethrow() override;
  std::int32_t status() const { return status_; }
  void dispatchSerialize(ccArchive& ar) override;
  static ccPersistent* make() { return new ccStatusError; }

 protected:
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  std::int32_t status_ = 0;
};

// Throws ccStatusError(status) when status is not 0.
void cfThrowExceptionOnFailure(std::int32_t status);

// ccErrorClass::dispatchSerialize is defined in archive.h, after ccArchive.
#include <core/archive.h>
