// Error families of the display library.
//
// Every error is a class with a fixed number; errors are persistent and re-throw copies of
// themselves (see core/exception.h). Each class archives as a version byte (0) followed by
// its base's archive form; the identification string of a class is its qualified name.
#pragma once

#include <core/archive.h>
#include <core/exception.h>

#include <string>
#include <utility>

// Defined beside the display library's class registrations. Referring to it from every
// translation unit that sees a display class keeps those registrations in static links.
extern const int ccDispcClassesRegistered;
namespace {
[[maybe_unused]] __attribute__((used)) const int* const ccDispcRegistrationLink_ =
    &ccDispcClassesRegistered;
}

class ccUIError {
 public:
  class Errors : public ccException {
   public:
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;
    void dispatchSerialize(ccArchive& ar) override;

   protected:
    Errors() = default;
    explicit Errors(std::string message) : ccException(std::move(message)) {}
    void serialize_(ccArchive& ar, unsigned char version);
  };

// Each error can carry a message that says what went wrong (the file, the size asked for,
// the back end's own status text); what() then reads "<class> (<number>): <message>".
#define CC_UI_ERROR(Name, number)                                                                  \
  class Name : public ccErrorClass<Name, Errors, number> {                                         \
   public:                                                                                         \
    Name() = default;                                                                              \
    explicit Name(std::string message) : ccErrorClass<Name, Errors, number>(std::move(message)) {} \
  }

  CC_UI_ERROR(BadLayer, 0x10002B00);             // a layer outside the accepted range
  CC_UI_ERROR(BadIconPattern, 0x10002B01);       // makeIcon on a malformed pattern
  CC_UI_ERROR(FlagStackUnderflow, 0x10002B02);   // pop at depth 1
  CC_UI_ERROR(FlagStackOverflow, 0x10002B03);    // push at depth 32
  CC_UI_ERROR(FlagStackOutOfRange, 0x10002B04);  // index outside 0 to depth - 1
  CC_UI_ERROR(NotAvailable, 0x10002B06);         // for back ends and callers
  CC_UI_ERROR(NotEnabled, 0x10002B07);           // for back ends and callers
  CC_UI_ERROR(BadKeyValue, 0x10002B08);          // for back ends and callers
  CC_UI_ERROR(InvalidColorMapSize, 0x10002B09);  // for back ends and callers
  CC_UI_ERROR(NotImplemented, 0x10002B12);       // an operation this library does not offer
  CC_UI_ERROR(BadParams, 0x10002B13);            // for back ends and callers
  CC_UI_ERROR(NotRGBColor, 0x10002B14);          // RGB packing of a colour without RGB value
  CC_UI_ERROR(NotIndexColor, 0x10002B15);        // index of a colour without palette index
  CC_UI_ERROR(NoLongerSupported, 0x10002B16);    // for back ends and callers
  CC_UI_ERROR(InvalidUISketch, 0x10002B17);      // a malformed sketch byte stream
  CC_UI_ERROR(InitFailed, 0x10002B18);           // for back ends and callers
#undef CC_UI_ERROR
};
