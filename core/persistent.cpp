#include <core/archive.h>
#include <core/assert.h>
#include <core/persistent.h>

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <typeindex>
#include <unordered_map>

// The persistent base itself stores nothing; derived classes call it for symmetry.
void ccPersistent::dispatchSerialize(ccArchive&) {}

void ccPersistent::loadSimple(ccArchive& ar) {
  if (ar.isStoring()) {
    cstd_assert_(__LINE__, "core/persistent");
    return;
  }
  reInit();
  dispatchSerialize(ar);
}

bool ccPersistent::haveVisited(const ccArchive& ar) const { return ar.haveVisited(this); }
void ccPersistent::setVisited(ccArchive& ar) const { ar.setVisited(this); }

namespace {

// The class registry. Built on first use (thread-safe), guarded by its own mutex so that
// libraries registering from several threads at once cannot race.
struct Registry {
  std::mutex mutex;
  struct Entry {
    cc_Instantiator::MakeFunction make = nullptr;
    const std::type_info* type = nullptr;
  };
  std::map<std::string, Entry> byName;
  std::unordered_map<std::type_index, std::string> nameByType;

  static Registry& instance() {
    static Registry* r = new Registry;  // never destroyed: usable from any static destructor
    return *r;
  }
};

std::string demangle(const char* mangled) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> d(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                           std::free);
  return status == 0 && d ? std::string(d.get()) : std::string(mangled);
}

}  // namespace

cc_Instantiator::cc_Instantiator(const std::type_info& type, MakeFunction make, const char* name) {
  Registry& r = Registry::instance();
  std::string n = name ? std::string(name) : demangle(type.name());
  std::lock_guard<std::mutex> lock(r.mutex);
  r.byName[n] = Registry::Entry{make, &type};
  r.nameByType[std::type_index(type)] = n;
}

ccPersistent* cc_Instantiator::make(const std::string& name) {
  const MakeFunction f = find(name);
  return f ? f() : nullptr;
}

cc_Instantiator::MakeFunction cc_Instantiator::find(const std::string& name,
                                                    const std::type_info** type) {
  Registry& r = Registry::instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.byName.find(name);
  if (type) *type = it == r.byName.end() ? nullptr : it->second.type;
  return it == r.byName.end() ? nullptr : it->second.make;
}

bool cc_Instantiator::isRegistered(const std::string& name) {
  Registry& r = Registry::instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.byName.count(name) != 0;
}

const std::string* cc_Instantiator::nameOf(const std::type_info& type) {
  Registry& r = Registry::instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.nameByType.find(std::type_index(type));
  // Entries are never removed, so the pointer stays valid.
  return it == r.nameByType.end() ? nullptr : &it->second;
}

std::vector<std::string> cc_Instantiator::registeredNames() {
  Registry& r = Registry::instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::vector<std::string> names;
  for (const auto& e : r.byName) names.push_back(e.first);
  return names;
}

std::string cfClassName(const std::type_info& type) {
  if (const std::string* n = cc_Instantiator::nameOf(type)) return *n;
  return demangle(type.name());
}
