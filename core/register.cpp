// Registration of the core library's persistent classes for loading from archives.
//
// Every header that declares a persistent class refers to ccCoreClassesRegistered (see
// persistent.h), so a static link that uses the library always keeps this file and its
// registrations.
#include <core/archive.h>
#include <core/errors.h>
#include <core/exception.h>
#include <core/matherror.h>

extern const int ccCoreClassesRegistered = 1;

namespace {

template <class T>
cc_Instantiator registerClass() {
  return cc_Instantiator(typeid(T), &T::make);
}

const cc_Instantiator registrations[] = {
    registerClass<ccException>(),
    registerClass<ccExceptionWithString>(),
    registerClass<ccStatusError>(),
    registerClass<ccArchive::UnknownVersion>(),
    registerClass<ccArchive::EndOfData>(),
    registerClass<ccArchive::BadData>(),
    registerClass<ccArchive::UnknownClass>(),
    registerClass<ccArchive::FileError>(),
    registerClass<ccArchive::WrongDirection>(),
    registerClass<ccMathError::Singular>(),
    registerClass<ccMathError::OutOfDomain>(),
    registerClass<ccShapesError::BadGeom>(),
    registerClass<ccShapesError::DegenerateShape>(),
    registerClass<ccShapesError::EmptyShape>(),
    registerClass<ccShapesError::BadParams>(),
    registerClass<ccShapesError::BadRadius>(),
    registerClass<ccShapesError::BadCoef>(),
    registerClass<ccShapesError::NotOpenContour>(),
    registerClass<ccShapesError::NoTangent>(),
    registerClass<ccShapesError::NotRegion>(),
    registerClass<ccPel::UnboundWindow>(),
};

}  // namespace
