// Persistent objects: the base of every class stored in archives, and the class registry
// through which archived objects are made again when they are loaded.
#pragma once

#include <string>
#include <typeinfo>
#include <vector>

class ccArchive;

class ccPersistent {
 public:
  virtual ~ccPersistent() = default;

  // Stores or loads this object, by the archive's direction. An object already visited in
  // this archive operation is not stored again.
  virtual void dispatchSerialize(ccArchive& ar) = 0;

  // Returns the object to the state make() gives it; the simple load starts from there. Does
  // nothing by default.
  virtual void reInit() {}
  // Loads this object from its own record, without the class identification that a persistent
  // pointer carries: reInit(), then dispatchSerialize(). For loading only: a storing archive
  // is reported through cstd_assert_ and nothing is written.
  virtual void loadSimple(ccArchive& ar);

  // Counts calls of mutating(): lets caches notice that the object changed.
  unsigned long changeCount() const { return changeCount_; }

 protected:
  ccPersistent() = default;
  ccPersistent(const ccPersistent&) = default;
  ccPersistent& operator=(const ccPersistent&) = default;

  // Setters call this before they change a field.
  void mutating() { ++changeCount_; }

  bool haveVisited(const ccArchive& ar) const;
  void setVisited(ccArchive& ar) const;

 private:
  unsigned long changeCount_ = 0;
};

// Registers a persistent class for loading: the make function builds an empty object of the
// class, which then loads itself. The name is what archives carry; by default it is the
// class's own qualified C++ name (for example "ccUIError::BadLayer").
class cc_Instantiator {
 public:
  using MakeFunction = ccPersistent* (*)();

  cc_Instantiator(const std::type_info& type, MakeFunction make, const char* name = nullptr);

  // A new object of the class registered under name, or nullptr when none is.
  static ccPersistent* make(const std::string& name);
  // The make function of the class registered under name (nullptr when none is), and through
  // type, when given, its type.
  static MakeFunction find(const std::string& name, const std::type_info** type = nullptr);
  // True when a class is registered under name.
  static bool isRegistered(const std::string& name);
  // The archive name of a registered type, or nullptr.
  static const std::string* nameOf(const std::type_info& type);
  // Every registered name, sorted.
  static std::vector<std::string> registeredNames();
};

// The readable name of a type: its registered name, else its demangled C++ name.
std::string cfClassName(const std::type_info& type);

// Defined beside the core library's class registrations. Referring to it from every
// translation unit that sees a persistent class keeps those registrations in static links,
// where the linker would otherwise drop an object file nobody calls into.
extern const int ccCoreClassesRegistered;
namespace {
[[maybe_unused]] __attribute__((used)) const int* const ccCoreRegistrationLink_ =
    &ccCoreClassesRegistered;
}

// Declares dispatchSerialize for a persistent class that stores a version byte and then
// calls its own serialize_(ar, version). Use inside the class body.
#define CC_PERSISTENT_DISPATCH(Class, currentVersion) \
  void dispatchSerialize(ccArchive& ar) override {    \
    if (haveVisited(ar)) return;                      \
    unsigned char version_ = (currentVersion);        \
    ar || version_;                                   \
    Class::serialize_(ar, version_);                  \
    setVisited(ar);                                   \
  }
