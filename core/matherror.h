// Errors of the geometry values and transforms.
#pragma once

#include <core/exception.h>

class ccMathError {
 public:
  class Errors : public ccExceptionWithString {
   public:
    using ccExceptionWithString::ccExceptionWithString;
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;
  };
  // A singular (or numerically singular) matrix or transform was inverted, or a zero vector
  // was made a unit vector.
  class Singular : public ccErrorClass<Singular, Errors, 0x10003200> {
    using ccErrorClass::ccErrorClass;
  };
  // A point outside the domain where an inverse transform is defined.
  class OutOfDomain : public ccErrorClass<OutOfDomain, Errors, 0x10003201> {
    using ccErrorClass::ccErrorClass;
  };
};
