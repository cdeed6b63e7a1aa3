// Registration of the display library's persistent classes for loading from archives.
//
// Every display header refers to ccDispcClassesRegistered (see errors.h), so a static link that
// uses the library always keeps this file and its registrations.
#include <dispc/dispprop.h>
#include <dispc/errors.h>

extern const int ccDispcClassesRegistered = 1;

namespace {

template <class T>
cc_Instantiator registerClass() {
  return cc_Instantiator(typeid(T), &T::make);
}

const cc_Instantiator registrations[] = {
    registerClass<ccUIError::BadLayer>(),
    registerClass<ccUIError::BadIconPattern>(),
    registerClass<ccUIError::FlagStackUnderflow>(),
    registerClass<ccUIError::FlagStackOverflow>(),
    registerClass<ccUIError::FlagStackOutOfRange>(),
    registerClass<ccUIError::NotAvailable>(),
    registerClass<ccUIError::NotEnabled>(),
    registerClass<ccUIError::BadKeyValue>(),
    registerClass<ccUIError::InvalidColorMapSize>(),
    registerClass<ccUIError::NotImplemented>(),
    registerClass<ccUIError::BadParams>(),
    registerClass<ccUIError::NotRGBColor>(),
    registerClass<ccUIError::NotIndexColor>(),
    registerClass<ccUIError::NoLongerSupported>(),
    registerClass<ccUIError::InvalidUISketch>(),
    registerClass<ccUIError::InitFailed>(),
    registerClass<ccGraphicProps::BadParams>(),
    registerClass<ccGraphicProps>(),
};

}  // namespace
