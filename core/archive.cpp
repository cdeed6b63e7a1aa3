#include <core/archive.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <type_traits>

namespace {

// Little-endian fixed-width codec for integers and IEEE floats.
template <class U>
void putLE(std::vector<unsigned char>& out, U v) {
  static_assert(std::is_unsigned<U>::value, "unsigned only");
  for (std::size_t i = 0; i < sizeof(U); ++i)
    out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

template <class U>
U getLE(const unsigned char* p) {
  U v = 0;
  for (std::size_t i = 0; i < sizeof(U); ++i) v |= static_cast<U>(p[i]) << (8 * i);
  return v;
}

// Archives an integer of type T in Width bytes (two's complement for signed types).
template <class Wire, class T>
ccArchive& integer(ccArchive& ar, T& v) {
  static_assert(std::is_unsigned<Wire>::value, "wire type is unsigned");
  unsigned char buf[sizeof(Wire)];
  if (ar.isStoring()) {
    Wire w = static_cast<Wire>(v);
    for (std::size_t i = 0; i < sizeof(Wire); ++i)
      buf[i] = static_cast<unsigned char>(w >> (8 * i));
    ar.writeBytes(buf, sizeof buf);
    return ar;
  }
  ar.readBytes(buf, sizeof buf);
  Wire w = getLE<Wire>(buf);
  if constexpr (std::is_signed<T>::value) {
    using S = std::make_signed_t<Wire>;
    S s;
    std::memcpy(&s, &w, sizeof s);  // two's complement reinterpretation without UB
    if (s < static_cast<S>(std::numeric_limits<T>::min()) ||
        s > static_cast<S>(std::numeric_limits<T>::max()))
      throw ccArchive::BadData("integer out of range");
    v = static_cast<T>(s);
  } else {
    if (w > static_cast<Wire>(std::numeric_limits<T>::max()))
      throw ccArchive::BadData("integer out of range");
    v = static_cast<T>(w);
  }
  return ar;
}

template <class Wire, class F>
ccArchive& floating(ccArchive& ar, F& v) {
  static_assert(sizeof(Wire) == sizeof(F), "IEEE width");
  Wire w;
  if (ar.isStoring()) std::memcpy(&w, &v, sizeof w);
  integer<Wire>(ar, w);
  if (ar.isLoading()) std::memcpy(&v, &w, sizeof v);
  return ar;
}

}  // namespace

ccArchive::UnknownVersion::UnknownVersion(const std::string& source, long line)
    : source_(source), line_(line) {
  message_ = "unknown version in " + source + " line " + std::to_string(line);
}

void ccArchive::UnknownVersion::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  ccErrorClass::dispatchSerialize(ar);
  ar || source_ || line_;
}

ccArchive::ccArchive() : mode_(eStoring) {}

ccArchive::ccArchive(const void* data, std::size_t size) : mode_(eLoading) {
  const auto* p = static_cast<const unsigned char*>(data);
  if (size) data_.assign(p, p + size);
}

ccArchive::ccArchive(std::vector<unsigned char> data) : data_(std::move(data)), mode_(eLoading) {}

ccArchive::~ccArchive() = default;

void ccArchive::requireStoring() const {
  if (!isStoring()) throw WrongDirection("archive is loading, not storing");
}

void ccArchive::requireLoading() const {
  if (!isLoading()) throw WrongDirection("archive is storing, not loading");
}

void ccArchive::writeBytes(const void* p, std::size_t n) {
  requireStoring();
  const auto* b = static_cast<const unsigned char*>(p);
  if (n) data_.insert(data_.end(), b, b + n);
}

void ccArchive::readBytes(void* p, std::size_t n) {
  requireLoading();
  if (n > data_.size() - pos_)
    throw EndOfData("needed " + std::to_string(n) + " bytes at offset " + std::to_string(pos_) +
                    ", " + std::to_string(data_.size() - pos_) + " left");
  if (n) std::memcpy(p, data_.data() + pos_, n);
  pos_ += n;
}

void ccArchive::serializeBytes(void* p, std::size_t n) {
  if (isStoring())
    writeBytes(p, n);
  else
    readBytes(p, n);
}

void ccArchive::checkCount(std::uint64_t count, std::size_t minBytesEach) const {
  if (!isLoading()) return;
  const std::uint64_t left = data_.size() - pos_;
  const std::uint64_t each = minBytesEach ? minBytesEach : 1;
  if (count > left / each)
    throw BadData("count " + std::to_string(count) + " exceeds the " + std::to_string(left) +
                  " bytes left");
}

void ccArchive::storeObject(const ccPersistent* object) {
  requireStoring();
  unsigned char tag = 0;
  if (!object) {
    *this || tag;
    return;
  }
  auto found = storedIndex_.find(object);
  if (found != storedIndex_.end()) {
    tag = 2;
    std::uint32_t index = found->second;
    *this || tag || index;
    return;
  }
  const std::string* name = cc_Instantiator::nameOf(typeid(*object));
  if (!name) throw UnknownClass("class " + cfClassName(typeid(*object)) + " is not registered");
  tag = 1;
  std::string n = *name;
  *this || tag || n;
  storedIndex_.emplace(object, static_cast<std::uint32_t>(storedIndex_.size()));
  const_cast<ccPersistent*>(object)->dispatchSerialize(*this);
}

ccPersistent* ccArchive::loadObject() {
  requireLoading();
  unsigned char tag = 0;
  *this || tag;
  switch (tag) {
    case 0:
      return nullptr;
    case 2: {
      std::uint32_t index = 0;
      *this || index;
      if (index >= loaded_.size())
        throw BadData("reference to object " + std::to_string(index) + " of " +
                      std::to_string(loaded_.size()));
      return loaded_[index];
    }
    case 1:
      break;
    default:
      throw BadData("bad object tag " + std::to_string(tag));
  }
  std::string name;
  *this || name;
  ccPersistent* object = cc_Instantiator::make(name);
  if (!object) throw UnknownClass("class \"" + name + "\" is not registered");
  // Keep a share while loading, so a failure part way through frees what was made.
  auto* rep = dynamic_cast<ccRepBase*>(object);
  if (!rep) {
    // A class that is archived only inside its owner (ccGraphicProps, say).
    delete object;
    throw BadData("class \"" + name + "\" cannot be shared");
  }
  keepAlive_.emplace_back(rep);
  loaded_.push_back(object);
  object->dispatchSerialize(*this);
  return object;
}

ccArchive& operator||(ccArchive& ar, bool& v) {
  unsigned char b = v ? 1 : 0;
  ar || b;
  if (ar.isLoading()) {
    if (b > 1) throw ccArchive::BadData("bool is neither 0 nor 1");
    v = b != 0;
  }
  return ar;
}
ccArchive& operator||(ccArchive& ar, char& v) { return integer<std::uint8_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, signed char& v) { return integer<std::uint8_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, unsigned char& v) { return integer<std::uint8_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, short& v) { return integer<std::uint16_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, unsigned short& v) { return integer<std::uint16_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, int& v) { return integer<std::uint32_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, unsigned int& v) { return integer<std::uint32_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, long& v) { return integer<std::uint64_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, unsigned long& v) { return integer<std::uint64_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, long long& v) { return integer<std::uint64_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, unsigned long long& v) {
  return integer<std::uint64_t>(ar, v);
}
ccArchive& operator||(ccArchive& ar, float& v) { return floating<std::uint32_t>(ar, v); }
ccArchive& operator||(ccArchive& ar, double& v) { return floating<std::uint64_t>(ar, v); }

ccArchive& operator||(ccArchive& ar, std::string& v) {
  if (ar.isStoring()) {
    if (v.size() > std::numeric_limits<std::uint32_t>::max())
      throw ccArchive::BadData("string too long to archive");
    std::uint32_t n = static_cast<std::uint32_t>(v.size());
    ar || n;
    ar.writeBytes(v.data(), v.size());
    return ar;
  }
  std::uint32_t n = 0;
  ar || n;
  ar.checkCount(n, 1);
  std::string s(n, '\0');
  ar.readBytes(s.data(), n);
  v.swap(s);
  return ar;
}

constexpr char ccFileArchive::kMagic[9];

ccFileArchive::ccFileArchive(const std::string& path, Mode mode)
    : ccArchive(), path_(path), open_(mode == eStoring) {
  if (mode == eStoring) {
    writeBytes(kMagic, 8);
    std::uint32_t version = kFormatVersion;
    *this || version;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("cannot open \"" + path + "\" for reading");
  std::vector<unsigned char> bytes;
  try {
    // The stream buffer throws on a read error (for example when path is a directory).
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    throw FileError("cannot read \"" + path + "\"");
  }
  if (in.bad()) throw FileError("cannot read \"" + path + "\"");
  // Re-seat this archive as a loading archive over the file's bytes.
  ccArchive loader(std::move(bytes));
  char magic[8];
  std::uint32_t version = 0;
  try {
    loader.readBytes(magic, 8);
    loader || version;
  } catch (const EndOfData&) {
    throw FileError("\"" + path + "\" is too short to be an archive");
  }
  if (std::memcmp(magic, kMagic, 8) != 0) throw FileError("\"" + path + "\" is not an archive");
  if (version != kFormatVersion)
    throw FileError("\"" + path + "\" has archive format " + std::to_string(version) + ", not " +
                    std::to_string(kFormatVersion));
  data_.assign(loader.data().begin() + 12, loader.data().end());
  setLoading();
}

ccFileArchive::~ccFileArchive() {
  try {
    close();
  } catch (...) {
  }
}

void ccFileArchive::close() {
  if (!open_) return;
  open_ = false;
  const std::string tmp = path_ + ".partial";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(data_.data()), data_.size());
    if (!out) {
      std::remove(tmp.c_str());
      throw FileError("cannot write \"" + path_ + "\"");
    }
  }
  if (std::rename(tmp.c_str(), path_.c_str()) != 0) {
    std::remove(tmp.c_str());
    throw FileError("cannot write \"" + path_ + "\"");
  }
}
