// Error families of shapes and images.
#pragma once

#include <core/exception.h>

// Invalid geometry.
class ccShapesError {
 public:
  class Errors : public ccExceptionWithString {
   public:
    using ccExceptionWithString::ccExceptionWithString;
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;
  };
  // Geometry that does not describe a shape (for example a non-finite coordinate).
  class BadGeom : public ccErrorClass<BadGeom, Errors, 0x10003100> {
    using ccErrorClass::ccErrorClass;
  };
  // The shape collapsed (zero length, zero area) where the operation needs extent.
  class DegenerateShape : public ccErrorClass<DegenerateShape, Errors, 0x10003101> {
    using ccErrorClass::ccErrorClass;
  };
  // The shape has no points.
  class EmptyShape : public ccErrorClass<EmptyShape, Errors, 0x10003102> {
    using ccErrorClass::ccErrorClass;
  };
  // An argument outside its range.
  class BadParams : public ccErrorClass<BadParams, Errors, 0x10003103> {
    using ccErrorClass::ccErrorClass;
  };
  // A negative or otherwise invalid radius.
  class BadRadius : public ccErrorClass<BadRadius, Errors, 0x10003104> {
    using ccErrorClass::ccErrorClass;
  };
  // An invalid coefficient (weight, knot, spline parameter).
  class BadCoef : public ccErrorClass<BadCoef, Errors, 0x10003105> {
    using ccErrorClass::ccErrorClass;
  };
  // The operation needs an open contour.
  class NotOpenContour : public ccErrorClass<NotOpenContour, Errors, 0x10003106> {
    using ccErrorClass::ccErrorClass;
  };
  // The shape has no tangent where one was asked for.
  class NoTangent : public ccErrorClass<NoTangent, Errors, 0x10003107> {
    using ccErrorClass::ccErrorClass;
  };
  // The operation needs a region.
  class NotRegion : public ccErrorClass<NotRegion, Errors, 0x10003108> {
    using ccErrorClass::ccErrorClass;
  };
};

// Errors of pel buffers.
class ccPel {
 public:
  class Errors : public ccExceptionWithString {
   public:
    using ccExceptionWithString::ccExceptionWithString;
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;
  };
  // Pels were touched through a buffer that is bound to no pels.
  class UnboundWindow : public ccErrorClass<UnboundWindow, Errors, 0x10003300> {
    using ccErrorClass::ccErrorClass;
  };
};
