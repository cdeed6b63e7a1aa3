// Archives: the byte form in which values and persistent objects are stored and loaded.
//
// A ccArchive either stores (appends bytes) or loads (reads them back). The same operator||
// call reads or writes, by the archive's direction, so one function serves both.
//
// Byte form, the same on every platform, in two formats. Format 2 is written; format 1 (the
// files of earlier versions) still loads.
//   bool, char, signed/unsigned char   1 byte (a bool must load as 0 or 1)
//   short, int, long long and their   2, 4 and 8 bytes, little-endian (two's complement)
//   unsigned forms
//   long, unsigned long                format 2: variable length, 7 bits a byte from the lowest,
//                                      the high bit set on every byte but the last; long values
//                                      zig-zag mapped (0, -1, 1, -2 ... to 0, 1, 2, 3 ...); no
//                                      superfluous bytes. Format 1: 8 bytes little-endian. (The
//                                      same on every platform, where long is 32 or 64 bits wide;
//                                      the values it holds are mostly small.)
//                                      A value that does not fit the type fails to load.
//   float, double                      IEEE 754, 4 and 8 bytes, little-endian
//   std::string, std::vector           a count (4 bytes), then the elements
//   persistent pointer                 a 1-byte tag:
//                                        0  null
//                                        1  a new object of a class not met before in this
//                                           archive: the class name (a string), then the object;
//                                           the class gets the next class tag, from 0
//                                        2  an object stored before in the same archive: its
//                                           index in store order (4 bytes)
//                                        3  a new object of a class met before: its class tag
//                                           (4 bytes)
//                                        4-255  a new object of class tag (byte - 4)
//                                      Writers use 4-255 for class tags up to 251, 3 beyond.
//                                      Format 1 has tags 0 to 2 only, and tag 1 names the
//                                      class of every new object.
//
// Loading is bounds-checked: reading past the end throws EndOfData, malformed content (a bad
// bool, tag, class tag or reference, a class defined twice, an integer that is too long or out
// of range, a count larger than the bytes left) throws BadData, an unregistered class name
// UnknownClass. Nothing reads past the buffer or allocates from an unchecked count. Offsets in
// messages count from the start of the loaded bytes (for a file archive, of the file).
//
// Bytes are written through a buffer that a storing archive hands on when it fills (a memory
// archive keeps them, a file archive writes them to its file), and read from memory; whole
// fields are copied at once.
//
// A file archive (ccFileArchive) has a 12-byte header: the magic "DISPCARC" and the format
// (a 4-byte little-endian unsigned, 2 written).
#pragma once

#include <core/exception.h>
#include <core/handle.h>
#include <core/persistent.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

class ccArchive {
 public:
  enum Mode { eLoading, eStoring };
  // The byte forms (see above).
  enum Format : std::uint32_t { eFormat1 = 1, eFormat2 = 2 };
  static constexpr Format kCurrentFormat = eFormat2;

  // Errors of archives.
  class Errors : public ccExceptionWithString {
   public:
    using ccExceptionWithString::ccExceptionWithString;
    std::uint32_t errorNumber() const override = 0;
    [[noreturn]] void suicideAndRethrow() override = 0;
  };
  // A stored version the reader does not know; carries the source name and line.
  class UnknownVersion : public ccErrorClass<UnknownVersion, Errors, 0x10001A00> {
   public:
    UnknownVersion() = default;
    UnknownVersion(const std::string& source, long line);
    const std::string& source() const { return source_; }
    long line() const { return line_; }
    void dispatchSerialize(ccArchive& ar) override;

   private:
    std::string source_;
    long line_ = 0;
  };
  // The data ended before the value being read.
  class EndOfData : public ccErrorClass<EndOfData, Errors, 0x10001A01> {
    using ccErrorClass::ccErrorClass;
  };
  // Malformed content: a bad bool, tag, reference, string or count.
  class BadData : public ccErrorClass<BadData, Errors, 0x10001A02> {
    using ccErrorClass::ccErrorClass;
  };
  // A persistent pointer names a class that is not registered.
  class UnknownClass : public ccErrorClass<UnknownClass, Errors, 0x10001A03> {
    using ccErrorClass::ccErrorClass;
  };
  // A file could not be opened, read or written, or is not an archive of this format.
  class FileError : public ccErrorClass<FileError, Errors, 0x10001A04> {
    using ccErrorClass::ccErrorClass;
  };
  // An operation that does not fit the archive's direction.
  class WrongDirection : public ccErrorClass<WrongDirection, Errors, 0x10001A05> {
    using ccErrorClass::ccErrorClass;
  };

  // An empty archive for storing, in the current format.
  ccArchive();
  // An archive loading from a copy of the given bytes, or from the bytes handed over.
  ccArchive(const void* data, std::size_t size, Format format = kCurrentFormat);
  explicit ccArchive(std::vector<unsigned char> data, Format format = kCurrentFormat);
  virtual ~ccArchive();

  ccArchive(const ccArchive&) = delete;
  ccArchive& operator=(const ccArchive&) = delete;

  bool isLoading() const { return mode_ == eLoading; }
  bool isStoring() const { return mode_ == eStoring; }
  Format format() const { return format_; }

  // Loading: the bytes being read. Storing a memory archive: the bytes stored.
  const std::vector<unsigned char>& data() const;
  // Read position (loading) or bytes written (storing).
  std::size_t position() const {
    return isLoading() ? static_cast<std::size_t>(rcur_ - data_.data())
                       : handedOn_ + static_cast<std::size_t>(wcur_ - data_.data());
  }
  std::size_t remaining() const {
    return isLoading() ? static_cast<std::size_t>(rend_ - rcur_) : 0;
  }
  bool atEnd() const { return remaining() == 0; }

  // Raw bytes, no length prefix: written from or read into p.
  void serializeBytes(void* p, std::size_t n) {
    if (isStoring())
      writeBytes(p, n);
    else
      readBytes(p, n);
  }
  void writeBytes(const void* p, std::size_t n) {
    if (n == 0) return;
    if (n > static_cast<std::size_t>(wend_ - wcur_)) makeRoom(n);
    std::memcpy(wcur_, p, n);
    wcur_ += n;
  }
  void readBytes(void* p, std::size_t n) {
    if (n == 0) return;
    std::memcpy(p, readInPlace(n), n);
  }
  // Loading: the next n bytes where they lie; the position moves past them.
  const unsigned char* readInPlace(std::size_t n) {
    if (n > static_cast<std::size_t>(rend_ - rcur_)) endOfData(n);
    const unsigned char* p = rcur_;
    rcur_ += n;
    return p;
  }

  // Storing: room for n bytes, to be written in place from the pointer returned; then
  // commitSpace(end) with the end of what was written (at most n bytes).
  unsigned char* space(std::size_t n) {
    if (n > static_cast<std::size_t>(wend_ - wcur_)) makeRoom(n);
    return wcur_;
  }
  void commitSpace(unsigned char* end) { wcur_ = end; }
  // Writes a long in the current format's form at p (at most 10 bytes); returns its end.
  static unsigned char* encodeLong(unsigned char* p, std::int64_t v) {
    auto u = (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
    while (u >= 0x80) {
      *p++ = static_cast<unsigned char>(u | 0x80);
      u >>= 7;
    }
    *p++ = static_cast<unsigned char>(u);
    return p;
  }

  // Primitive fields in the archive's format (what operator|| of the primitives uses).
  void putByte(unsigned char b) {
    if (wcur_ == wend_) makeRoom(1);
    *wcur_++ = b;
  }
  unsigned char getByte() { return *readInPlace(1); }
  // A long in the archive's form (variable length in format 2).
  void putLong(std::int64_t v) { commitSpace(encodeLong(space(kMaxIntegerBytes), v)); }
  void putUnsignedLong(std::uint64_t v) { putVarUnsigned(v); }
  std::int64_t getLong() {
    if (format_ != eFormat2) return static_cast<std::int64_t>(getFixed(8));
    const std::uint64_t u = getVarUnsigned();
    return static_cast<std::int64_t>(u >> 1) ^ -static_cast<std::int64_t>(u & 1);
  }
  std::uint64_t getUnsignedLong() { return format_ != eFormat2 ? getFixed(8) : getVarUnsigned(); }
  void putDouble(double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    putFixed(u, 8);
  }
  double getDouble() {
    const std::uint64_t u = getFixed(8);
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
  }
  void putFixed(std::uint64_t v, unsigned width) {
    if (static_cast<std::size_t>(wend_ - wcur_) < width) makeRoom(width);
    for (unsigned i = 0; i < width; ++i) wcur_[i] = static_cast<unsigned char>(v >> (8 * i));
    wcur_ += width;
  }
  std::uint64_t getFixed(unsigned width) {
    const unsigned char* p = readInPlace(width);
    std::uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
    return v;
  }
  // A count of elements (of strings, vectors, ...): 4 bytes.
  void putCount(std::uint64_t n);
  std::uint32_t getCount() { return static_cast<std::uint32_t>(getFixed(4)); }

  // When loading: throws BadData unless count elements of at least minBytesEach bytes each
  // could still be read. Call before allocating from a count read from the archive.
  void checkCount(std::uint64_t count, std::size_t minBytesEach) const {
    if (isLoading() && count > (rend_ - rcur_) / (minBytesEach ? minBytesEach : 1))
      countTooLarge(count);
  }

  // The visited-object protocol of ccPersistent: an object noted as visited is not archived
  // again by the same archive.
  bool haveVisited(const void* object) const;
  void setVisited(const void* object);
  // Visits noted while a scope lives are forgotten when it ends, so that values archived one
  // after the other from the same memory (a reused object, a local) are each written.
  class VisitScope {
   public:
    explicit VisitScope(ccArchive& ar);
    ~VisitScope();
    VisitScope(const VisitScope&) = delete;
    VisitScope& operator=(const VisitScope&) = delete;

   private:
    ccArchive& ar_;
  };

  // Persistent pointers. Storing writes the object once and refers back to it afterwards;
  // loading makes each object once and hands the same object to every reference.
  void storeObject(const ccPersistent* object);
  // The loaded object (nullptr for a null pointer). The archive keeps a share of every
  // object it made until it is destroyed; take your own with a handle. Objects nested (loaded
  // while loading another) deeper than kMaxObjectNesting raise BadData: loading recurses, and
  // a hostile file must not exhaust the stack.
  ccPersistent* loadObject();
  static constexpr int kMaxObjectNesting = 1000;

  // Objects written and read field by field by a bulk codec, without an object in memory
  // (sketch operations). Such an object counts in the store order but cannot be referred to
  // again.
  // Storing: writes the start of a new object of class `type` (its class tag, or its name
  // where the archive meets the class first) and returns the class tag, which the next
  // objects of the class can pass to the faster form.
  std::uint32_t beginObject(const std::type_info& type);
  void beginObject(std::uint32_t classTag) {
    if (classTag < kShortClassTags && wcur_ != wend_) {
      *wcur_++ = static_cast<unsigned char>(kFirstShortTag + classTag);
      ++objectCount_;
    } else {
      beginObjectSlow(classTag);
    }
  }
  // Loading: reads the start of a new object and returns its class tag (BadData for a null
  // pointer or a reference); classType tells the registered class of a tag read before.
  std::uint32_t beginLoadedObject();
  const std::type_info* classType(std::uint32_t classTag) const;
  const std::string& className(std::uint32_t classTag) const;

  // Notes that storing failed part way: what was written is incomplete (a file archive then
  // writes no file).
  void storingFailed() { failed_ = true; }
  bool hasFailed() const { return failed_; }

 protected:
  // A storing archive that hands its bytes on through a buffer of bufferSize bytes (a file
  // archive).
  explicit ccArchive(std::size_t bufferSize);
  // Loads data_ from `start` on, in the given format.
  void beginLoading(std::size_t start, Format format);
  // Hands the buffered bytes on; called when the buffer is full and before closing. A memory
  // archive keeps them (the default).
  virtual void handOn(const unsigned char* bytes, std::size_t n);
  void flushBuffer();
  std::size_t bufferedBytes() const { return static_cast<std::size_t>(wcur_ - data_.data()); }

  // Storing: the buffer, [data_, wcur_) written, [wcur_, wend_) free; handedOn_ bytes were
  // handed on before it. Loading: the bytes, read from rcur_ to rend_.
  mutable std::vector<unsigned char> data_;

 private:
  static constexpr std::ptrdiff_t kMaxIntegerBytes = 10;
  static constexpr std::uint32_t kShortClassTags = 252;
  static constexpr unsigned char kFirstShortTag = 4;

  void makeRoom(std::size_t n);
  void beginObjectSlow(std::uint32_t classTag);
  void putVarUnsigned(std::uint64_t v) {
    if (wend_ - wcur_ < kMaxIntegerBytes) makeRoom(kMaxIntegerBytes);
    while (v >= 0x80) {
      *wcur_++ = static_cast<unsigned char>(v | 0x80);
      v >>= 7;
    }
    *wcur_++ = static_cast<unsigned char>(v);
  }
  std::uint64_t getVarUnsigned() {
    if (rcur_ != rend_ && *rcur_ < 0x80) return *rcur_++;
    return getVarUnsignedSlow();
  }
  std::uint64_t getVarUnsignedSlow();
  [[noreturn]] void endOfData(std::size_t n) const;
  [[noreturn]] void countTooLarge(std::uint64_t count) const;
  std::uint32_t readClassTag(unsigned char tag);
  ccPersistent* lookUpLoaded(std::uint64_t index) const;

  Mode mode_;
  Format format_ = kCurrentFormat;
  bool keepsBytes_ = true;  // a memory archive (storing)
  bool failed_ = false;
  mutable unsigned char* wcur_ = nullptr;
  mutable unsigned char* wend_ = nullptr;
  std::size_t handedOn_ = 0;
  const unsigned char* rcur_ = nullptr;
  const unsigned char* rend_ = nullptr;
  std::uint64_t objectCount_ = 0;  // objects stored or loaded so far (their store order)
  struct Book;                     // classes, stored and loaded objects, visits
  std::unique_ptr<Book> book_;
  Book& book() const;
};

// A file archive. Loading reads and checks the whole file at construction (format 1 or 2);
// storing writes format 2 into "<path>.partial" through the archive's buffer and puts it in
// place at close(). A store that failed (an exception left one of the archive's store
// operations, or the archive is destroyed while an exception unwinds) writes no file.
class ccFileArchive : public ccArchive {
 public:
  static constexpr char kMagic[9] = "DISPCARC";
  static constexpr std::uint32_t kFormatVersion = kCurrentFormat;
  static constexpr std::size_t kHeaderSize = 12;

  // Throws FileError when the file cannot be read, is not an archive or has another format
  // (loading), or "<path>.partial" cannot be created (storing).
  ccFileArchive(const std::string& path, Mode mode);
  // Loads the bytes of a file already read (name appears in messages).
  ccFileArchive(std::vector<unsigned char> fileBytes, const std::string& name);
  ~ccFileArchive() override;
  // Storing: writes what is buffered and renames the file into place. Throws FileError when
  // that fails or storing failed before (the partial file is removed either way). Once closed,
  // nothing more happens.
  void close();

 protected:
  void handOn(const unsigned char* bytes, std::size_t n) override;

 private:
  void checkHeader();
  void discard() noexcept;

  std::string path_;
  std::FILE* file_ = nullptr;
  int uncaughtAtStart_ = 0;
};

// Primitive values.
ccArchive& operator||(ccArchive& ar, bool& v);
ccArchive& operator||(ccArchive& ar, char& v);
ccArchive& operator||(ccArchive& ar, signed char& v);
ccArchive& operator||(ccArchive& ar, unsigned char& v);
ccArchive& operator||(ccArchive& ar, short& v);
ccArchive& operator||(ccArchive& ar, unsigned short& v);
ccArchive& operator||(ccArchive& ar, int& v);
ccArchive& operator||(ccArchive& ar, unsigned int& v);
ccArchive& operator||(ccArchive& ar, long& v);
ccArchive& operator||(ccArchive& ar, unsigned long& v);
ccArchive& operator||(ccArchive& ar, long long& v);
ccArchive& operator||(ccArchive& ar, unsigned long long& v);
ccArchive& operator||(ccArchive& ar, float& v);
ccArchive& operator||(ccArchive& ar, double& v);
ccArchive& operator||(ccArchive& ar, std::string& v);

// Persistent pointers held by handles.
template <class T>
ccArchive& operator||(ccArchive& ar, ccPtrHandle<T>& h) {
  if (ar.isStoring()) {
    ar.storeObject(h.rep());
  } else {
    ccPersistent* p = ar.loadObject();
    T* t = p ? dynamic_cast<T*>(p) : nullptr;
    if (p && !t)
      throw ccArchive::BadData("object of class " + cfClassName(typeid(*p)) + " where " +
                               cfClassName(typeid(T)) + " expected");
    h = ccPtrHandle<T>(t);
  }
  return ar;
}

template <class T>
ccArchive& operator||(ccArchive& ar, ccPtrHandle_const<T>& h) {
  if (ar.isStoring()) {
    ar.storeObject(h.rep());
  } else {
    ccPtrHandle<T> loaded;
    ar || loaded;
    h = loaded;
  }
  return ar;
}

namespace cc_archive {

// Whether T has a value form, operator||(ccArchive&, T&).
template <class T, class = void>
struct HasValueForm : std::false_type {};
template <class T>
struct HasValueForm<T, std::void_t<decltype(std::declval<ccArchive&>() || std::declval<T&>())>>
    : std::true_type {};

// The fewest bytes one stored T can take: its width for fixed-width numbers (a long may take
// one byte), T::kArchiveMinBytes where a class declares it, else 1. Loading checks counts
// against it before allocating.
template <class T>
constexpr std::size_t kFixedWidth =
    std::is_arithmetic_v<T> && !std::is_same_v<T, long> && !std::is_same_v<T, unsigned long>
        ? sizeof(T)
        : 1;
template <class T, class = void>
struct MinBytes : std::integral_constant<std::size_t, kFixedWidth<T>> {};
template <class T>
struct MinBytes<T, std::void_t<decltype(T::kArchiveMinBytes)>>
    : std::integral_constant<std::size_t, T::kArchiveMinBytes> {};

// One element of a vector: its value form, or, for a persistent class that has only the
// persistent form, its own dispatchSerialize (stored in place, not through a pointer).
template <class T>
void element(ccArchive& ar, T& e) {
  if constexpr (HasValueForm<T>::value) {
    ar || e;
  } else {
    static_assert(std::is_base_of_v<ccPersistent, T>, "no archive form for this element type");
    e.dispatchSerialize(ar);
  }
}

}  // namespace cc_archive

// A vector of archivable values: a count, then the elements. Loading builds a new vector and
// swaps it in, so a failure part way leaves v as it was.
template <class T>
ccArchive& operator||(ccArchive& ar, std::vector<T>& v) {
  if (ar.isStoring()) {
    ar.putCount(v.size());
    for (auto& e : v) cc_archive::element(ar, e);
    return ar;
  }
  const std::uint32_t n = ar.getCount();
  ar.checkCount(n, cc_archive::MinBytes<T>::value);
  // Grown as elements are read: an element may take far more memory than its fewest stored
  // bytes, so a claimed count costs no more than the elements the archive really holds.
  std::vector<T> loaded;
  loaded.reserve(std::min<std::uint32_t>(n, 1024));
  for (std::uint32_t i = 0; i < n; ++i) cc_archive::element(ar, loaded.emplace_back());
  v.swap(loaded);
  return ar;
}

// Defined here because it needs ccArchive complete (see exception.h).
template <class Self, class Base, std::uint32_t Number>
void ccErrorClass<Self, Base, Number>::dispatchSerialize(ccArchive& ar) {
  if (this->haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(cfClassName(typeid(Self)), 0);
  Base::dispatchSerialize(ar);
  this->setVisited(ar);
}
