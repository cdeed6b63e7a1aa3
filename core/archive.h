// Archives: the byte form in which values and persistent objects are stored and loaded.
//
// A ccArchive either stores (appends bytes to its buffer) or loads (reads them back). The same
// operator|| call reads or writes, by the archive's direction, so one function serves both.
//
// Byte form, the same on every platform: little-endian, fixed widths.
//   bool, char, signed/unsigned char   1 byte (a bool must load as 0 or 1)
//   short, unsigned short               2 bytes
//   int, unsigned int                   4 bytes
//   long, unsigned long                 8 bytes (also where long is 32 bits wide; a value
//                                       that does not fit then fails to load)
//   float, double                       IEEE 754, 4 and 8 bytes
//   std::string                         4-byte byte count, then the bytes
//   persistent pointer                  1-byte tag: 0 null; 1 new object (class name as a
//                                       string, then the object); 2 an object stored before
//                                       in the same archive (4-byte index, in store order)
//
// Loading is bounds-checked: reading past the end throws EndOfData, malformed content
// (a bad bool, tag, reference or a count larger than the bytes left) throws BadData, an
// unregistered class name UnknownClass. Nothing reads past the buffer or allocates from an
// unchecked count.
//
// A file archive (ccFileArchive) is a memory archive with a header: the magic "DISPCARC" and a
// 4-byte format version (1).
#pragma once

#include <core/exception.h>
#include <core/handle.h>
#include <core/persistent.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class ccArchive {
 public:
  enum Mode { eLoading, eStoring };

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

  // An empty archive for storing.
  ccArchive();
  // An archive loading from a copy of the given bytes.
  ccArchive(const void* data, std::size_t size);
  explicit ccArchive(std::vector<unsigned char> data);
  virtual ~ccArchive();

  ccArchive(const ccArchive&) = delete;
  ccArchive& operator=(const ccArchive&) = delete;

  bool isLoading() const { return mode_ == eLoading; }
  bool isStoring() const { return mode_ == eStoring; }

  // The stored bytes (storing) or the bytes being read (loading).
  const std::vector<unsigned char>& data() const { return data_; }
  // Read position (loading) or bytes written (storing).
  std::size_t position() const { return isLoading() ? pos_ : data_.size(); }
  std::size_t remaining() const { return isLoading() ? data_.size() - pos_ : 0; }
  bool atEnd() const { return remaining() == 0; }

  // Raw bytes, no length prefix: written from or read into p.
  void serializeBytes(void* p, std::size_t n);
  void writeBytes(const void* p, std::size_t n);
  void readBytes(void* p, std::size_t n);

  // When loading: throws BadData unless count elements of at least minBytesEach bytes each
  // could still be read. Call before allocating from a count read from the archive.
  void checkCount(std::uint64_t count, std::size_t minBytesEach) const;

  // The visited-object protocol of ccPersistent.
  bool haveVisited(const void* object) const { return visited_.count(object) != 0; }
  void setVisited(const void* object) { visited_.insert(object); }

  // Persistent pointers. Storing writes the object once and refers back to it afterwards;
  // loading makes each object once and hands the same object to every reference.
  void storeObject(const ccPersistent* object);
  // The loaded object (nullptr for a null pointer). The archive keeps a share of every
  // object it made until it is destroyed; take your own with a handle.
  ccPersistent* loadObject();

 protected:
  void requireStoring() const;
  void requireLoading() const;
  // Turns a fresh archive into one that loads data_ from its start.
  void setLoading() {
    mode_ = eLoading;
    pos_ = 0;
  }

  std::vector<unsigned char> data_;

 private:
  Mode mode_;
  std::size_t pos_ = 0;
  std::unordered_set<const void*> visited_;
  std::unordered_map<const ccPersistent*, std::uint32_t> storedIndex_;
  std::vector<ccPersistent*> loaded_;
  std::vector<ccPtrHandle<ccRepBase>> keepAlive_;
};

// A memory archive read from or written to a file. Loading reads and checks the whole file
// at construction. Storing writes at close() (also called by the destructor, which cannot
// report errors: call close() to see them); the file appears whole or not at all.
class ccFileArchive : public ccArchive {
 public:
  static constexpr char kMagic[9] = "DISPCARC";
  static constexpr std::uint32_t kFormatVersion = 1;

  ccFileArchive(const std::string& path, Mode mode);
  ~ccFileArchive() override;
  void close();

 private:
  std::string path_;
  bool open_ = false;
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

// A vector of archivable values: a 4-byte count, then the elements.
template <class T>
ccArchive& operator||(ccArchive& ar, std::vector<T>& v) {
  std::uint32_t n = static_cast<std::uint32_t>(v.size());
  ar || n;
  if (ar.isLoading()) {
    ar.checkCount(n, 1);
    std::vector<T> loaded(n);
    for (auto& e : loaded) ar || e;
    v.swap(loaded);
  } else {
    for (auto& e : v) ar || e;
  }
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
