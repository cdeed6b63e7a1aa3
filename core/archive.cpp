#include <core/archive.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <type_traits>
#include <unordered_map>

namespace {

constexpr std::size_t kFirstBufferSize = 256;
constexpr std::size_t kFileBufferSize = 1 << 16;

std::string bytes(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }
std::string at(std::size_t offset) { return " at byte " + std::to_string(offset); }

// An open-addressing table from object addresses to values, for the bookkeeping of one archive:
// O(1) insertion and lookup without an allocation per entry. clear() costs the entries made.
template <class Value>
class PointerTable {
 public:
  // The value of key, or nullptr.
  const Value* find(const void* key) const {
    if (count_ == 0) return nullptr;
    const auto k = reinterpret_cast<std::uintptr_t>(key);
    for (std::size_t i = slotOf(k);; i = (i + 1) & mask_) {
      if (keys_[i] == k) return &values_[i];
      if (keys_[i] == 0) return nullptr;
    }
  }
  // Adds key (not present yet) with its value.
  void insert(const void* key, const Value& value) {
    if (2 * (count_ + 1) > keys_.size()) grow();
    const auto k = reinterpret_cast<std::uintptr_t>(key);
    std::size_t i = slotOf(k);
    while (keys_[i] != 0) i = (i + 1) & mask_;
    keys_[i] = k;
    values_[i] = value;
    used_.push_back(i);
    ++count_;
  }
  void clear() {
    for (std::size_t i : used_) keys_[i] = 0;
    used_.clear();
    count_ = 0;
  }

 private:
  std::size_t slotOf(std::uintptr_t k) const {
    return static_cast<std::size_t>(((k >> 3) * 0x9E3779B97F4A7C15ULL) >> shift_) & mask_;
  }
  void grow() {
    const std::size_t size = keys_.empty() ? 16 : 2 * keys_.size();
    std::vector<std::uintptr_t> keys(size, 0);
    std::vector<Value> values(size);
    std::vector<std::size_t> used;
    used.reserve(count_ + 1);
    mask_ = size - 1;
    shift_ = 64;
    for (std::size_t s = size; s > 1; s >>= 1) --shift_;
    for (std::size_t old : used_) {
      std::size_t i = slotOf(keys_[old]);
      while (keys[i] != 0) i = (i + 1) & mask_;
      keys[i] = keys_[old];
      values[i] = values_[old];
      used.push_back(i);
    }
    keys_.swap(keys);
    values_.swap(values);
    used_.swap(used);
  }

  std::vector<std::uintptr_t> keys_;
  std::vector<Value> values_;
  std::vector<std::size_t> used_;
  std::size_t count_ = 0;
  std::size_t mask_ = 0;
  unsigned shift_ = 64;
};

// Archives an integer of type T: long and unsigned long in the archive's long form, the others
// in sizeof(T) bytes (long long: 8).
template <class T>
ccArchive& integer(ccArchive& ar, T& v) {
  constexpr bool isLong = std::is_same<T, long>::value || std::is_same<T, unsigned long>::value;
  constexpr unsigned width = sizeof(T);
  if (ar.isStoring()) {
    if constexpr (isLong && std::is_signed<T>::value)
      ar.putLong(v);
    else if constexpr (isLong)
      ar.putUnsignedLong(v);
    else
      ar.putFixed(static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<T>>(v)), width);
    return ar;
  }
  const std::size_t offset = ar.position();
  if constexpr (std::is_signed<T>::value) {
    std::int64_t s;
    if constexpr (isLong) {
      s = ar.getLong();
    } else {
      const std::uint64_t u = ar.getFixed(width);
      s = static_cast<std::int64_t>(
          width < 8 && (u >> (8 * width - 1)) != 0 ? u | ~0ULL << (8 * width % 64) : u);
    }
    if (s < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
        s > static_cast<std::int64_t>(std::numeric_limits<T>::max()))
      throw ccArchive::BadData("integer out of range" + at(offset));
    v = static_cast<T>(s);
  } else {
    const std::uint64_t u = isLong ? ar.getUnsignedLong() : ar.getFixed(width);
    if (u > static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
      throw ccArchive::BadData("integer out of range" + at(offset));
    v = static_cast<T>(u);
  }
  return ar;
}

}  // namespace

// The bookkeeping of one archive: classes met, objects stored or made, visits.
struct ccArchive::Book {
  // Storing: the class tag of each class met, by type.
  std::vector<std::pair<const std::type_info*, std::uint32_t>> storedClasses;
  PointerTable<std::uint32_t> storedIndex;  // stored object -> its index
  // Loading: the classes met, by tag, and their tags by name.
  struct LoadedClass {
    std::string name;
    cc_Instantiator::MakeFunction make = nullptr;
    const std::type_info* type = nullptr;
  };
  std::vector<LoadedClass> loadedClasses;
  std::unordered_map<std::string, std::uint32_t> loadedTagByName;
  // Objects made by loadObject, by index (in increasing order), with a share of each.
  std::vector<std::pair<std::uint64_t, ccPersistent*>> loaded;
  std::vector<ccPtrHandle<ccRepBase>> keepAlive;
  // Visits: those of the whole operation, and those of the open scopes.
  PointerTable<char> visited;
  PointerTable<char> scopedVisits;
  int scopeDepth = 0;
  int loadDepth = 0;  // objects being loaded, one inside the next

  std::uint32_t storedClassTag(const std::type_info& type, bool& isNew) {
    for (const auto& c : storedClasses)
      if (c.first == &type || *c.first == type) return c.second;
    isNew = true;
    const auto tag = static_cast<std::uint32_t>(storedClasses.size());
    storedClasses.emplace_back(&type, tag);
    return tag;
  }
};

ccArchive::Book& ccArchive::book() const {
  if (!book_) const_cast<ccArchive*>(this)->book_.reset(new Book);
  return *book_;
}

ccArchive::UnknownVersion::UnknownVersion(const std::string& source, long line)
    : source_(source), line_(line) {
  message_ = "unknown version in " + source + " line " + std::to_string(line);
}

void ccArchive::UnknownVersion::dispatchSerialize(ccArchive& ar) {
  if (haveVisited(ar)) return;
  ccErrorClass::dispatchSerialize(ar);
  ar || source_ || line_;
}

ccArchive::ccArchive() : ccArchive(kFirstBufferSize) { keepsBytes_ = true; }

ccArchive::ccArchive(std::size_t bufferSize) : mode_(eStoring), keepsBytes_(false) {
  data_.resize(bufferSize);
  wcur_ = data_.data();
  wend_ = wcur_ + data_.size();
}

ccArchive::ccArchive(const void* data, std::size_t size, Format format) : mode_(eLoading) {
  const auto* p = static_cast<const unsigned char*>(data);
  if (size) data_.assign(p, p + size);
  beginLoading(0, format);
}

ccArchive::ccArchive(std::vector<unsigned char> data, Format format)
    : data_(std::move(data)), mode_(eLoading) {
  beginLoading(0, format);
}

ccArchive::~ccArchive() = default;

void ccArchive::beginLoading(std::size_t start, Format format) {
  if (format != eFormat1 && format != eFormat2)
    throw BadData("archive format " + std::to_string(format) + " is not 1 or 2");
  mode_ = eLoading;
  format_ = format;
  wcur_ = wend_ = nullptr;
  rcur_ = data_.data() + std::min(start, data_.size());
  rend_ = data_.data() + data_.size();
}

const std::vector<unsigned char>& ccArchive::data() const {
  // A storing memory archive's buffer holds every byte: trim it to those written (the next
  // write grows it again).
  if (isStoring() && keepsBytes_ && wcur_ != data_.data() + data_.size()) {
    data_.resize(bufferedBytes());
    wcur_ = wend_ = data_.data() + data_.size();
  }
  return data_;
}

void ccArchive::makeRoom(std::size_t n) {
  if (!isStoring()) throw WrongDirection("archive is loading, not storing");
  if (!keepsBytes_) {
    flushBuffer();
    if (n <= data_.size()) return;
  }
  const std::size_t used = bufferedBytes();
  std::size_t size = std::max<std::size_t>(data_.size(), kFirstBufferSize);
  while (size - used < n) size *= 2;
  data_.resize(size);
  wcur_ = data_.data() + used;
  wend_ = data_.data() + data_.size();
}

void ccArchive::flushBuffer() {
  const std::size_t n = bufferedBytes();
  if (keepsBytes_ || n == 0) return;
  handOn(data_.data(), n);
  handedOn_ += n;
  wcur_ = data_.data();
}

void ccArchive::handOn(const unsigned char*, std::size_t) {}

void ccArchive::endOfData(std::size_t n) const {
  if (!isLoading()) throw WrongDirection("archive is storing, not loading");
  throw EndOfData("needed " + bytes(n) + at(position()) + ", " + bytes(remaining()) + " left");
}

void ccArchive::countTooLarge(std::uint64_t count) const {
  throw BadData("count " + std::to_string(count) + at(position()) + " exceeds the " +
                bytes(remaining()) + " left");
}

std::uint64_t ccArchive::getVarUnsignedSlow() {
  const std::size_t offset = position();
  std::uint64_t v = 0;
  for (unsigned shift = 0;; shift += 7) {
    const unsigned char b = getByte();
    const std::uint64_t bits = b & 0x7F;
    // The tenth byte carries the 64th bit only and ends the integer; a last byte 0 after
    // others is superfluous.
    if (shift == 63 && b > 1) throw BadData("integer too long" + at(offset));
    v |= bits << shift;
    if (b < 0x80) {
      if (b == 0 && shift > 0) throw BadData("integer with superfluous bytes" + at(offset));
      return v;
    }
  }
}

void ccArchive::putCount(std::uint64_t n) {
  if (n > std::numeric_limits<std::uint32_t>::max()) {
    storingFailed();
    throw BadData("count " + std::to_string(n) + " too large to archive");
  }
  putFixed(n, 4);
}

bool ccArchive::haveVisited(const void* object) const {
  if (!book_) return false;
  return book_->visited.find(object) || (book_->scopeDepth > 0 && book_->scopedVisits.find(object));
}

void ccArchive::setVisited(const void* object) {
  if (haveVisited(object)) return;
  Book& b = book();
  (b.scopeDepth > 0 ? b.scopedVisits : b.visited).insert(object, 1);
}

ccArchive::VisitScope::VisitScope(ccArchive& ar) : ar_(ar) { ++ar.book().scopeDepth; }

ccArchive::VisitScope::~VisitScope() {
  Book& b = ar_.book();
  if (--b.scopeDepth == 0) b.scopedVisits.clear();
}

void ccArchive::storeObject(const ccPersistent* object) {
  if (!isStoring()) throw WrongDirection("archive is loading, not storing");
  if (!object) {
    putByte(0);
    return;
  }
  Book& b = book();
  if (const std::uint32_t* index = b.storedIndex.find(object)) {
    putByte(2);
    putFixed(*index, 4);
    return;
  }
  if (objectCount_ >= std::numeric_limits<std::uint32_t>::max()) {
    storingFailed();
    throw BadData("too many objects to archive");
  }
  b.storedIndex.insert(object, static_cast<std::uint32_t>(objectCount_));
  try {
    beginObject(typeid(*object));
    const_cast<ccPersistent*>(object)->dispatchSerialize(*this);
  } catch (...) {
    storingFailed();
    throw;
  }
}

std::uint32_t ccArchive::beginObject(const std::type_info& type) {
  bool isNew = false;
  const std::uint32_t tag = book().storedClassTag(type, isNew);
  if (!isNew) {
    beginObject(tag);
    return tag;
  }
  const std::string* name = cc_Instantiator::nameOf(type);
  if (!name) {
    book().storedClasses.pop_back();
    storingFailed();
    throw UnknownClass("class " + cfClassName(type) + " is not registered");
  }
  putByte(1);
  std::string n = *name;
  *this || n;
  ++objectCount_;
  return tag;
}

void ccArchive::beginObjectSlow(std::uint32_t classTag) {
  if (classTag < kShortClassTags) {
    putByte(static_cast<unsigned char>(kFirstShortTag + classTag));
  } else {
    putByte(3);
    putFixed(classTag, 4);
  }
  ++objectCount_;
}

// The class of a new object whose tag byte was just read (1, or a class tag in format 2).
std::uint32_t ccArchive::readClassTag(unsigned char tag) {
  Book& b = book();
  const std::size_t offset = position() - 1;
  if (tag != 1) {
    std::uint64_t classTag = tag - kFirstShortTag;
    if (tag == 3) {
      classTag = getFixed(4);
      if (classTag < kShortClassTags)
        throw BadData("class tag " + std::to_string(classTag) + " in long form" + at(offset));
    }
    if (classTag >= b.loadedClasses.size())
      throw BadData("class tag " + std::to_string(classTag) + at(offset) + " was never defined");
    return static_cast<std::uint32_t>(classTag);
  }
  std::string name;
  *this || name;
  const auto known = b.loadedTagByName.find(name);
  if (known != b.loadedTagByName.end()) {
    // Format 1 names the class of every object; format 2 only once.
    if (format_ == eFormat2)
      throw BadData("class \"" + name + "\" defined twice (tag " + std::to_string(known->second) +
                    ")" + at(offset));
    return known->second;
  }
  Book::LoadedClass c;
  c.make = cc_Instantiator::find(name, &c.type);
  if (!c.make) throw UnknownClass("class \"" + name + "\" is not registered" + at(offset));
  c.name = std::move(name);
  const auto classTag = static_cast<std::uint32_t>(b.loadedClasses.size());
  b.loadedTagByName.emplace(c.name, classTag);
  b.loadedClasses.push_back(std::move(c));
  return classTag;
}

ccPersistent* ccArchive::lookUpLoaded(std::uint64_t index) const {
  if (index >= objectCount_)
    throw BadData("reference to object " + std::to_string(index) + " of " +
                  std::to_string(objectCount_) + at(position()));
  const auto& loaded = book().loaded;
  const auto it = std::lower_bound(loaded.begin(), loaded.end(), index,
                                   [](const std::pair<std::uint64_t, ccPersistent*>& e,
                                      std::uint64_t i) { return e.first < i; });
  if (it == loaded.end() || it->first != index)
    throw BadData("reference to object " + std::to_string(index) + ", which cannot be shared" +
                  at(position()));
  return it->second;
}

ccPersistent* ccArchive::loadObject() {
  if (!isLoading()) throw WrongDirection("archive is storing, not loading");
  const std::size_t offset = position();
  const unsigned char tag = getByte();
  if (tag == 0) return nullptr;
  if (tag == 2) return lookUpLoaded(getFixed(4));
  if (format_ == eFormat1 && tag != 1)
    throw BadData("bad object tag " + std::to_string(tag) + at(offset));
  const std::uint32_t classTag = readClassTag(tag);
  Book& b = book();
  if (b.loadDepth >= kMaxObjectNesting)
    throw BadData("objects nested deeper than " + std::to_string(kMaxObjectNesting) + at(offset));
  const Book::LoadedClass& c = b.loadedClasses[classTag];
  ccPersistent* object = c.make();
  // Keep a share while loading, so a failure part way through frees what was made.
  auto* rep = dynamic_cast<ccRepBase*>(object);
  if (!rep) {
    // A class that is archived only inside its owner (ccGraphicProps, say).
    delete object;
    throw BadData("class \"" + c.name + "\" cannot be shared" + at(offset));
  }
  b.keepAlive.emplace_back(rep);
  b.loaded.emplace_back(objectCount_++, object);
  struct Nesting {
    int& depth;
    explicit Nesting(int& d) : depth(++d) {}
    ~Nesting() { --depth; }
  } nesting(b.loadDepth);
  object->dispatchSerialize(*this);
  return object;
}

std::uint32_t ccArchive::beginLoadedObject() {
  if (!isLoading()) throw WrongDirection("archive is storing, not loading");
  const std::size_t offset = position();
  const unsigned char tag = getByte();
  if (tag == 0) throw BadData("null object" + at(offset));
  if (tag == 2)
    throw BadData("reference to an earlier object where a new one belongs" + at(offset));
  if (format_ == eFormat1 && tag != 1)
    throw BadData("bad object tag " + std::to_string(tag) + at(offset));
  const std::uint32_t classTag = readClassTag(tag);
  ++objectCount_;
  return classTag;
}

const std::type_info* ccArchive::classType(std::uint32_t classTag) const {
  const auto& classes = book().loadedClasses;
  return classTag < classes.size() ? classes[classTag].type : nullptr;
}

const std::string& ccArchive::className(std::uint32_t classTag) const {
  static const std::string none;
  const auto& classes = book().loadedClasses;
  return classTag < classes.size() ? classes[classTag].name : none;
}

ccArchive& operator||(ccArchive& ar, bool& v) {
  if (ar.isStoring()) {
    ar.putByte(v ? 1 : 0);
    return ar;
  }
  const unsigned char b = ar.getByte();
  if (b > 1) throw ccArchive::BadData("bool is neither 0 nor 1" + at(ar.position() - 1));
  v = b != 0;
  return ar;
}
ccArchive& operator||(ccArchive& ar, char& v) {
  if (ar.isStoring())
    ar.putByte(static_cast<unsigned char>(v));
  else
    v = static_cast<char>(ar.getByte());
  return ar;
}
ccArchive& operator||(ccArchive& ar, signed char& v) {
  if (ar.isStoring())
    ar.putByte(static_cast<unsigned char>(v));
  else
    v = static_cast<signed char>(ar.getByte());
  return ar;
}
ccArchive& operator||(ccArchive& ar, unsigned char& v) {
  if (ar.isStoring())
    ar.putByte(v);
  else
    v = ar.getByte();
  return ar;
}
ccArchive& operator||(ccArchive& ar, short& v) { return integer(ar, v); }
ccArchive& operator||(ccArchive& ar, unsigned short& v) { return integer(ar, v); }
ccArchive& operator||(ccArchive& ar, int& v) { return integer(ar, v); }
ccArchive& operator||(ccArchive& ar, unsigned int& v) { return integer(ar, v); }
ccArchive& operator||(ccArchive& ar, long& v) { return integer(ar, v); }
ccArchive& operator||(ccArchive& ar, unsigned long& v) { return integer(ar, v); }
ccArchive& operator||(ccArchive& ar, long long& v) { return integer(ar, v); }
ccArchive& operator||(ccArchive& ar, unsigned long long& v) { return integer(ar, v); }
ccArchive& operator||(ccArchive& ar, float& v) {
  if (ar.isStoring()) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    ar.putFixed(u, 4);
  } else {
    const auto u = static_cast<std::uint32_t>(ar.getFixed(4));
    std::memcpy(&v, &u, sizeof v);
  }
  return ar;
}
ccArchive& operator||(ccArchive& ar, double& v) {
  if (ar.isStoring())
    ar.putDouble(v);
  else
    v = ar.getDouble();
  return ar;
}

ccArchive& operator||(ccArchive& ar, std::string& v) {
  if (ar.isStoring()) {
    ar.putCount(v.size());
    ar.writeBytes(v.data(), v.size());
    return ar;
  }
  const std::uint32_t n = ar.getCount();
  ar.checkCount(n, 1);
  const unsigned char* p = ar.readInPlace(n);
  v.assign(reinterpret_cast<const char*>(p), n);
  return ar;
}

// ---- File archives

constexpr char ccFileArchive::kMagic[9];

ccFileArchive::ccFileArchive(const std::string& path, Mode mode)
    : ccArchive(kFileBufferSize), path_(path) {
  if (mode == eStoring) {
    const std::string partial = path_ + ".partial";
    file_ = std::fopen(partial.c_str(), "wb");
    if (!file_) throw FileError("cannot write \"" + path_ + "\"");
    uncaughtAtStart_ = std::uncaught_exceptions();
    writeBytes(kMagic, 8);
    putFixed(kFormatVersion, 4);
    return;
  }
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) throw FileError("cannot open \"" + path + "\" for reading");
  std::vector<unsigned char> bytes;
  struct stat st;
  bool ok = true;
  if (::fstat(fileno(in), &st) == 0 && S_ISREG(st.st_mode)) {
    // One allocation of the file's size, one read.
    bytes.resize(static_cast<std::size_t>(st.st_size));
    ok = bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), in) == bytes.size();
    ok = ok && std::fgetc(in) == EOF && !std::ferror(in);
  } else {
    unsigned char chunk[1 << 14];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0)
      bytes.insert(bytes.end(), chunk, chunk + n);
    ok = !std::ferror(in);
  }
  std::fclose(in);
  if (!ok) throw FileError("cannot read \"" + path + "\"");
  data_ = std::move(bytes);
  checkHeader();
}

ccFileArchive::ccFileArchive(std::vector<unsigned char> fileBytes, const std::string& name)
    : ccArchive(std::move(fileBytes)), path_(name) {
  checkHeader();
}

void ccFileArchive::checkHeader() {
  const std::vector<unsigned char>& b = data_;
  if (b.size() < kHeaderSize)
    throw FileError("\"" + path_ + "\" is too short to be an archive (" + bytes(b.size()) + ")");
  if (std::memcmp(b.data(), kMagic, 8) != 0) throw FileError("\"" + path_ + "\" is not an archive");
  const std::uint32_t version =
      static_cast<std::uint32_t>(b[8]) | static_cast<std::uint32_t>(b[9]) << 8 |
      static_cast<std::uint32_t>(b[10]) << 16 | static_cast<std::uint32_t>(b[11]) << 24;
  if (version != eFormat1 && version != eFormat2)
    throw FileError("\"" + path_ + "\" has archive format " + std::to_string(version) +
                    ", not 1 or 2");
  beginLoading(kHeaderSize, static_cast<Format>(version));
}

ccFileArchive::~ccFileArchive() {
  if (!file_) return;
  if (hasFailed() || std::uncaught_exceptions() > uncaughtAtStart_) {
    discard();
    return;
  }
  try {
    close();
  } catch (...) {
  }
}

void ccFileArchive::handOn(const unsigned char* p, std::size_t n) {
  if (!file_) throw FileError("\"" + path_ + "\" is closed");
  if (std::fwrite(p, 1, n, file_) != n) {
    storingFailed();
    throw FileError("cannot write \"" + path_ + "\"");
  }
}

void ccFileArchive::discard() noexcept {
  if (!file_) return;
  std::fclose(file_);
  file_ = nullptr;
  std::remove((path_ + ".partial").c_str());
}

void ccFileArchive::close() {
  if (!file_) return;
  if (hasFailed()) {
    discard();
    throw FileError("storing \"" + path_ + "\" failed part way: nothing written");
  }
  try {
    flushBuffer();
  } catch (...) {
    discard();
    throw;
  }
  const bool written = std::fflush(file_) == 0 && !std::ferror(file_);
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  const std::string partial = path_ + ".partial";
  if (!written || !closed || std::rename(partial.c_str(), path_.c_str()) != 0) {
    std::remove(partial.c_str());
    throw FileError("cannot write \"" + path_ + "\"");
  }
}
