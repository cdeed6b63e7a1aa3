// Archives: the byte form of primitive values, strings and vectors, bounds-checked loading,
// the direction rules and file archives. Persistent objects held by reference-counted handles:
// storing each object once, loading shared references as one object, the registry, failed
// loads, and the handles themselves.
#include <core/archive.h>
#include <core/exception.h>
#include <core/handle.h>
#include <core/persistent.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "archivebytes.h"
#include "assertcounter.h"

namespace {

template <class T>
Bytes store(T v) {
  ccArchive ar;
  ar || v;
  EXPECT_EQ(ar.position(), ar.data().size());
  return ar.data();
}

// Loads one T from exactly these bytes and checks that all of them were used.
template <class T>
T load(const Bytes& bytes, ccArchive::Format format = ccArchive::kCurrentFormat) {
  ccArchive ar(bytes, format);
  T v{};
  ar || v;
  EXPECT_TRUE(ar.atEnd());
  return v;
}

// v stores as `expected` and loads back from it; for a value without a count, loading any
// proper prefix throws EndOfData (exactly that class) and reads no further than the cut.
template <class T>
void expectBytes(T v, const Bytes& expected) {
  EXPECT_EQ(store(v), expected) << ::testing::PrintToString(v);
  EXPECT_EQ(load<T>(expected), v);
  if constexpr (std::is_arithmetic_v<T>) {
    for (std::size_t cut = 0; cut < expected.size(); ++cut) {
      ccArchive ar(Bytes(expected.begin(), expected.begin() + static_cast<long>(cut)));
      T out{};
      EXPECT_EQ(errorOf([&] { ar || out; }), ccArchive::EndOfData::kErrorNumber) << "cut " << cut;
      EXPECT_LE(ar.position(), cut);
    }
  }
}

// Integers little-endian at their width; longs 7 bits a byte from the lowest, the high bit on
// every byte but the last, signed ones zig-zag mapped; floating values as their IEEE bits;
// strings and vectors a 32-bit count, then the elements.
TEST(ArchiveBytes, EveryTypeHasItsByteForm) {
  expectBytes(true, {1});
  expectBytes(false, {0});
  expectBytes('A', {0x41});
  expectBytes(static_cast<signed char>(-128), {0x80});
  expectBytes(static_cast<unsigned char>(255), {0xFF});
  expectBytes(static_cast<unsigned short>(0xBEEF), {0xEF, 0xBE});
  expectBytes(std::numeric_limits<int>::min() + 0x01020304, {0x04, 0x03, 0x02, 0x81});
  expectBytes(0xDEADBEEFu, {0xEF, 0xBE, 0xAD, 0xDE});
  expectBytes(0L, {0x00});
  expectBytes(-1L, {0x01});
  expectBytes(64L, {0x80, 0x01});
  expectBytes(0x80000000UL, {0x80, 0x80, 0x80, 0x80, 0x08});
  if constexpr (sizeof(long) == 8) {
    const Bytes widest = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01};
    expectBytes(std::numeric_limits<unsigned long>::max(), widest);
    expectBytes(std::numeric_limits<long>::min(), widest);
    expectBytes(-(1L << 40), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x3F});  // beyond 32 bits
  }
  expectBytes(-5LL, {0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  expectBytes(-2.5f, {0x00, 0x00, 0x20, 0xC0});
  expectBytes(-std::numeric_limits<double>::infinity(), {0, 0, 0, 0, 0, 0, 0xF0, 0xFF});
  expectBytes(std::string("a\0b", 3), {0x03, 0, 0, 0, 'a', 0, 'b'});
  expectBytes(std::vector<std::vector<short>>{{1}, {}},
              {0x02, 0, 0, 0, 0x01, 0, 0, 0, 0x01, 0x00, 0, 0, 0, 0});
  // All four bytes of a long string's count.
  const Bytes b = store(std::string(0x10203, 'x'));
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{0x03, 0x02, 0x01, 0x00}));
  // Raw bytes have no count.
  ccArchive ar;
  unsigned char raw[2] = {9, 8};
  ar.serializeBytes(raw, 2);
  EXPECT_EQ(ar.data(), (Bytes{9, 8}));
  // Format 1 had longs of 8 bytes.
  EXPECT_EQ(load<long>({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, ccArchive::eFormat1), -2L);
}

TEST(ArchiveBytes, FloatingBitPatternsSurviveExactly) {
  EXPECT_TRUE(std::signbit(load<float>({0, 0, 0, 0x80})));
  for (const Bytes& b : {Bytes{0x23, 0x01, 0, 0, 0, 0, 0xF8, 0x7F},
                         Bytes{1, 0, 0, 0, 0, 0, 0xF0, 0xFF}, Bytes{1, 0, 0, 0, 0, 0, 0, 0}})
    EXPECT_EQ(store(load<double>(b)), b);  // NaN payloads (quiet, signalling), the least subnormal
  EXPECT_EQ(store(load<float>({0x01, 0x00, 0xC0, 0x7F})), (Bytes{0x01, 0x00, 0xC0, 0x7F}));
}

// A cut in a count is EndOfData; bad bytes, and a count larger than the bytes left, are BadData
// before anything is allocated. The target keeps its content either way; a load replaces it.
TEST(ArchiveMalformed, CutAndBadBytesFailAndEachArchiveGoesOneWay) {
  // Loading b into target fails with the error `number` and leaves the target as it was.
  auto fails = [](const Bytes& b, auto target, std::uint32_t number = 0x10001A02) {
    const auto before = target;
    ccArchive ar(b);
    EXPECT_EQ(errorOf([&] { ar || target; }), number) << ::testing::PrintToString(b);
    EXPECT_EQ(target, before);
  };
  const Bytes hello = store(std::string("hello")), ints = store(std::vector<int>{1, 2});
  for (long cut = 0; cut < 12; ++cut) {
    const std::uint32_t number = cut < 4 ? 0x10001A01 : 0x10001A02;
    if (cut < 9) fails(Bytes(hello.begin(), hello.begin() + cut), std::string("keep"), number);
    fails(Bytes(ints.begin(), ints.begin() + cut), std::vector<int>{42}, number);
  }
  ccArchive whole(ints);
  std::vector<int> v{5, 6, 7};
  whole || v;
  EXPECT_EQ(v, (std::vector<int>{1, 2}));
  for (unsigned char byte : {0x02, 0x7F, 0xFF}) fails({byte}, false);
  fails({0x80, 0x00}, 7UL);                                                  // overlong
  fails({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02}, 7UL);  // beyond 64 bits
  fails({0x04, 0, 0, 0, 'a', 'b', 'c'}, std::string("keep"));
  fails({0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}, std::vector<double>{1.5});
  fails({0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3}, std::vector<std::string>());
  // checkCount compares against the bytes left.
  ccArchive ar(Bytes(10, 0));
  EXPECT_NO_THROW(ar.checkCount(5, 2));
  EXPECT_THROW(ar.checkCount(3, 4), ccArchive::BadData);
  EXPECT_THROW(ar.checkCount(0xFFFFFFFFFFFFFFFFULL, 8), ccArchive::BadData);
  int skip = 0;
  ar || skip;
  EXPECT_NO_THROW(ar.checkCount(6, 1));
  EXPECT_THROW(ar.checkCount(7, 1), ccArchive::BadData);
  // Each archive goes one way.
  ccArchive in(Bytes{1, 2, 3, 4});
  const unsigned char b = 0;
  EXPECT_THROW(in.writeBytes(&b, 1), ccArchive::WrongDirection);
  EXPECT_EQ(in.data(), (Bytes{1, 2, 3, 4}));
  ccArchive out;
  EXPECT_THROW(out.loadObject(), ccArchive::WrongDirection);
}

// ---- File archives

namespace fs = std::filesystem;

// A fresh directory for each test, removed after it.
class FileArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_, ec_); }

  std::string path(const char* name) const { return (dir_ / name).string(); }
  static void writeFile(const std::string& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  static Bytes readFile(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  static Bytes header() { return {'D', 'I', 'S', 'P', 'C', 'A', 'R', 'C', 2, 0, 0, 0}; }
  long entries() const { return std::distance(fs::directory_iterator(dir_), {}); }

  const fs::path dir_ =
      fs::temp_directory_path() / ("dispc_archive_" + std::to_string(::getpid()) + "_" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::error_code ec_;
};

// The file appears, whole, at close() (or destruction): a 12-byte header, then the payload.
// Loading counts offsets from the start of the file. (Files of format 1 load in the sketch tests.)
TEST_F(FileArchiveTest, StoreWritesHeaderThenPayloadOnCloseAndLoadsBack) {
  const std::string p = path("a.arc");
  writeFile(p, Bytes(100, 0xEE));
  {
    ccFileArchive ar(p, ccArchive::eStoring);
    int v = 0x01020304;
    std::vector<short> s{0x6968};
    ar || v || s;
    EXPECT_EQ(readFile(p), Bytes(100, 0xEE)) << "the old file stays until close()";
    ar.close();
    ar.close();  // a second close does nothing
  }
  Bytes expected = header();
  expected.insert(expected.end(), {0x04, 0x03, 0x02, 0x01, 0x01, 0x00, 0x00, 0x00, 0x68, 0x69});
  EXPECT_EQ(readFile(p), expected);
  EXPECT_EQ(entries(), 1);  // nothing else is left

  ccFileArchive in(p, ccArchive::eLoading);
  EXPECT_EQ(in.position(), 12u);
  int v = 0;
  std::vector<short> s;
  in || v || s;
  EXPECT_EQ(s, std::vector<short>{0x6968});
  EXPECT_EQ(thrownBy<ccArchive::EndOfData>([&] { in || v; }),
            "10001a01: needed 4 bytes at byte 22, 0 bytes left");
}

// A failed store writes no file: neither when the exception leaves the archive's scope, nor
// when it is caught and the archive closed or destroyed, nor into a missing directory.
TEST_F(FileArchiveTest, FailedStoreLeavesNoFile) {
  const std::string p = path("failed.arc");
  struct Unregistered : ccPersistent {
    void dispatchSerialize(ccArchive&) override {}
  } unregistered;
  try {
    ccFileArchive ar(p, ccArchive::eStoring);
    int v = 1;
    ar || v;
    throw std::runtime_error("caller fails part way");
  } catch (const std::runtime_error&) {
  }
  ccFileArchive ar(p, ccArchive::eStoring);
  EXPECT_THROW(ar.storeObject(&unregistered), ccArchive::UnknownClass);
  EXPECT_THROW(ar.close(), ccArchive::FileError);
  EXPECT_THROW(ccFileArchive(path("no/such/dir/e.arc"), ccArchive::eStoring), ccArchive::FileError);
  EXPECT_EQ(entries(), 0);
}

TEST_F(FileArchiveTest, WhatIsNotAnArchiveFileIsFileError) {
  // Every cut of the header, a bad magic, versions 0, 3 and 0x01000002.
  std::vector<Bytes> bad;
  const Bytes full = header();
  for (long n = 0; n < 12; ++n) bad.emplace_back(full.begin(), full.begin() + n);
  for (const auto& [at, byte] :
       std::vector<std::pair<int, int>>{{7, 'X'}, {8, 0}, {8, 3}, {11, 1}}) {
    bad.push_back(full);
    bad.back()[at] = static_cast<unsigned char>(byte);
  }
  std::vector<std::string> paths = {path("missing.arc"), dir_.string()};
  for (std::size_t i = 0; i < bad.size(); ++i) {
    paths.push_back(path(("bad" + std::to_string(i)).c_str()));
    writeFile(paths.back(), bad[i]);
  }
  for (const std::string& p : paths)
    EXPECT_THROW(ccFileArchive(p, ccArchive::eLoading), ccArchive::FileError) << p;
  ccFileArchive(path("empty.arc"), ccArchive::eStoring).close();
  EXPECT_TRUE(ccFileArchive(path("empty.arc"), ccArchive::eLoading).atEnd());
}

}  // namespace

namespace persistence_test {

// Live-object bookkeeping of the test classes.
struct Counts {
  static inline int constructed = 0;
  static inline int destroyed = 0;
  static int live() { return constructed - destroyed; }
};

// A small persistent node: a value and two optional children.
class Node : public virtual ccPersistent, public virtual ccRepBase {
 public:
  Node() { ++Counts::constructed; }
  explicit Node(int v) : value_(v) { ++Counts::constructed; }
  Node(const Node& o) : ccPersistent(o), ccRepBase(o), value_(o.value_) { ++Counts::constructed; }
  Node& operator=(const Node&) = default;
  ~Node() override { ++Counts::destroyed; }

  int value() const { return value_; }
  void value(int v) {
    mutating();
    value_ = v;
  }
  ccPtrHandle<Node> left, right;

  CC_PERSISTENT_DISPATCH(Node, 0)
  static ccPersistent* make() { return new Node; }

 private:
  void serialize_(ccArchive& ar, unsigned char version) {
    if (version != 0) throw ccArchive::UnknownVersion("test/thing", __LINE__);
    ar || value_ || left || right;
  }
  int value_ = 0;
};

// Another persistent class, unrelated to Node.
class Other : public virtual ccPersistent, public virtual ccRepBase {
 public:
  Other() { ++Counts::constructed; }
  ~Other() override { ++Counts::destroyed; }
  CC_PERSISTENT_DISPATCH(Other, 0)
  static ccPersistent* make() { return new Other; }
  short tag = 0;

 private:
  void serialize_(ccArchive& ar, unsigned char version) {
    if (version != 0) throw ccArchive::UnknownVersion("test/other", __LINE__);
    ar || tag;
  }
};

// Persistent but without a share count (as ccGraphicProps): it archives inside its owner, and
// cannot be loaded through a handle.
class Unshared : public virtual ccPersistent {
 public:
  Unshared() { ++Counts::constructed; }
  ~Unshared() override { ++Counts::destroyed; }
  CC_PERSISTENT_DISPATCH(Unshared, 0)
  static ccPersistent* make() { return new Unshared; }

 private:
  void serialize_(ccArchive&, unsigned char) {}
};

const cc_Instantiator registerNode(typeid(Node), &Node::make);
const cc_Instantiator registerOther(typeid(Other), &Other::make);
const cc_Instantiator registerUnshared(typeid(Unshared), &Unshared::make);

const std::string kNodeName = "persistence_test::Node";
const std::string kOtherName = "persistence_test::Other";

// Tag 1, the class name, then a Node of version 0 with the given value; children follow.
Bytes newNode(int value) {
  Bytes b{0x01};
  putString(b, kNodeName);
  b.push_back(0x00);
  putU32(b, static_cast<std::uint32_t>(value));
  return b;
}
// A later Node: its class, met first, has class tag 0 (the byte 4 + 0).
Bytes laterNode(int value) {
  Bytes b{0x04, 0x00};
  putU32(b, static_cast<std::uint32_t>(value));
  return b;
}
Bytes backRef(std::uint32_t index) {
  Bytes b{0x02};
  putU32(b, index);
  return b;
}
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
const Bytes kNull{0x00};

class PersistenceTest : public ::testing::Test {
 protected:
  void SetUp() override { liveAtStart_ = Counts::live(); }
  void TearDown() override {
    EXPECT_EQ(Counts::live(), liveAtStart_) << "test objects leaked or were deleted twice";
  }
  int liveAtStart_ = 0;
};

// ---------------------------------------------------------------------------------------
// Registry

// The library's classes too, those no test constructs among them (a static link keeps them).
TEST_F(PersistenceTest, ClassesRegisterUnderTheirQualifiedNames) {
  for (const char* name :
       {"ccGraphicGroup", "ccGraphicText", "ccGraphicPointIcon", "ccGraphicCross",
        "ccGraphicEllipseAnnulusSection", "ccGraphicSimple<ccFLine>",
        "ccGraphicWithFill<ccCircle, ccEllipse>", "ccSMDGDModel", "ccSMDGDModelPrivate",
        "ccSMDGDPolyVertex", "ccSMDColors", "ccUIError::InitFailed", "ccSMDGDModel::nestedPolys"}) {
    std::unique_ptr<ccPersistent> made(cc_Instantiator::make(name));
    ASSERT_NE(made, nullptr) << name;
    EXPECT_EQ(cfClassName(typeid(*made)), name);
  }
  // The test classes store and load under theirs in the tests below.
  EXPECT_EQ(cc_Instantiator::make("persistence_test::Nobody"), nullptr);

  const auto names = cc_Instantiator::registeredNames();
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_NE(std::find(names.begin(), names.end(), kOtherName), names.end());
}

// ---------------------------------------------------------------------------------------
// Storing and loading pointers

// Loads the handles from bytes, checking that every byte was used.
template <class... H>
void loadAll(const Bytes& bytes, H&... handles) {
  ccArchive in(bytes);
  (in || ... || handles);
  EXPECT_TRUE(in.atEnd());
}

// A null handle is tag 0; an object its tag, class (named the first time), version and fields;
// the same object again a reference to its index in store order, loaded as one object; equal
// but distinct objects stay distinct; const handles take part like handles. In a diamond
// root -> (b, c), b -> d, c -> d the shared node is stored once, where it is first met.
TEST_F(PersistenceTest, ObjectsAreStoredOnceAndSharedReferencesLoadAsOne) {
  ccPtrHandle<Node> null, h(new Node(7)), alias = h, root(new Node(1)), d(new Node(7));
  ccPtrHandle_const<Node> ch = h;
  root->left = ccPtrHandle<Node>(new Node(2));
  root->right = ccPtrHandle<Node>(new Node(3));
  root->left->left = root->right->left = d;
  ccArchive out;
  out || null || h || alias || ch || root;
  // Store order: h 0, root 1, b 2, d 3, c 4.
  const Bytes expected = cat({kNull, newNode(7), kNull, kNull, backRef(0), backRef(0),  //
                              laterNode(1), laterNode(2), laterNode(7), kNull, kNull,   // b, d
                              kNull, laterNode(3), backRef(3), kNull});  // b.right, c, c.left
  EXPECT_EQ(out.data(), expected);
  ccArchive again;  // another archive stores the object in full again
  again || h;
  EXPECT_EQ(again.data(), cat({newNode(7), kNull, kNull}));

  ccPtrHandle<Node> n(new Node(3)), a, b, e;
  const int before = Counts::constructed;
  ccPtrHandle_const<Node> c;
  loadAll(expected, n, a, b, c, e);
  EXPECT_EQ(Counts::constructed - before, 5);
  EXPECT_TRUE(n.isNull());
  ASSERT_TRUE(a && e && e->left && e->right && e->left->left);
  EXPECT_TRUE(a.rep() == b.rep() && c.rep() == a.rep());
  EXPECT_EQ(a->value(), 7);
  EXPECT_EQ(a->refCount(), 3);
  EXPECT_EQ(e->left->left.rep(), e->right->left.rep());
  EXPECT_EQ(e->left->left->refCount(), 2);
}

// ---------------------------------------------------------------------------------------
// Malformed object data: each fails with its error, leaves the handle as it was and frees what
// it made. Class tags: a class is named once per archive; a tag never defined, a class defined
// twice and the long form of a short tag are malformed.

Bytes named(const std::string& cls, Bytes fields) {
  Bytes b{0x01};
  putString(b, cls);
  b.push_back(0x00);
  return cat({b, fields});
}

TEST_F(PersistenceTest, MalformedObjectsFailWithTheirError) {
  const Bytes one = cat({newNode(1), kNull, kNull});
  Bytes version1 = newNode(1);
  version1[1 + 4 + kNodeName.size()] = 1;
  const struct {
    const char* id;
    Bytes bytes;
    std::uint32_t error;
    const char* what;  // a part of the message, or ""
  } kBad[] = {
      {"unknown class", named("no::SuchClass", {}), 0x10001A03, "no::SuchClass"},
      {"class without a share count", named("persistence_test::Unshared", {}), 0x10001A02,
       "cannot be shared"},
      {"tag 0x80", Bytes{0x80, 0, 0, 0, 0}, 0x10001A02, ""},
      {"reference with nothing loaded", backRef(0), 0x10001A02, ""},
      {"reference past the last loaded", cat({one, backRef(1)}), 0x10001A02, ""},
      {"cut reference", cat({one, Bytes{0x02, 0x00, 0x00}}), 0x10001A01, ""},
      {"reference to another class", cat({named(kOtherName, {0x05, 0x00}), backRef(0)}), 0x10001A02,
       ""},
      {"object of another class", named(kOtherName, {0x05, 0x00}), 0x10001A02, ""},
      {"tag never defined", cat({one, Bytes{0x05, 0x00}}), 0x10001A02, ""},
      {"long tag never defined", Bytes{0x03, 0x00, 0x01, 0, 0}, 0x10001A02, ""},
      {"short tag before any class", Bytes{0x04, 0x00}, 0x10001A02, ""},
      {"class defined twice", cat({one, one}), 0x10001A02, ""},
      {"short tag in long form", cat({one, Bytes{0x03, 0, 0, 0, 0, 0}, kNull, kNull}), 0x10001A02,
       ""},
      {"unknown version", cat({version1, kNull, kNull}), 0x10001A00, "test/thing"},
  };
  for (const auto& c : kBad) {
    SCOPED_TRACE(c.id);
    const int live = Counts::live();
    ccPtrHandle<Node> first;
    {
      ccArchive in(c.bytes);
      ccPtrHandle<Node> h(new Node(9));
      Node* const kept = h.rep();
      ccPtrHandle<Other> other;
      try {
        // An object before the bad one loads into a handle of its own and stays valid.
        const bool otherFirst = std::string(c.id) == "reference to another class";
        if (otherFirst) in || other;
        if (c.bytes.size() > one.size() && !otherFirst && c.bytes[0] == 0x01) in || first;
        in || h;
        ADD_FAILURE() << "loaded";
      } catch (const ccArchive::Errors& e) {
        EXPECT_EQ(e.errorNumber(), c.error);
        EXPECT_NE(std::string(e.what()).find(c.what), std::string::npos) << e.what();
      }
      EXPECT_EQ(h.rep(), kept);
    }
    if (first) {
      EXPECT_EQ(first->refCount(), 1);
      EXPECT_EQ(first->value(), 1);
      first.reset();
    }
    EXPECT_EQ(Counts::live(), live);
  }
  // Format 1 names the class of every object.
  ccArchive format1(cat({one, newNode(2), kNull, kNull}), ccArchive::eFormat1);
  ccPtrHandle<Node> a, b;
  format1 || a || b;
  ASSERT_TRUE(a && b);
  EXPECT_EQ(b->value(), 2);
}

TEST_F(PersistenceTest, FailedLoadFreesEverythingItMade) {
  const Bytes full = cat({newNode(1), newNode(2), kNull, kNull, newNode(3), kNull, kNull});
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    const int live = Counts::live();
    {
      ccArchive in(Bytes(full.begin(), full.begin() + cut));
      ccPtrHandle<Node> h;
      EXPECT_ANY_THROW(in || h) << "cut " << cut;
      EXPECT_TRUE(h.isNull());
    }
    EXPECT_EQ(Counts::live(), live) << "cut " << cut;
  }
}

// ---------------------------------------------------------------------------------------
// Handles

// Copies share one object by count; the last handle to let go deletes it; a move transfers
// the share; self-assignment keeps the object. A copied object starts unshared; assigning an
// object copies its fields, not its count.
TEST_F(PersistenceTest, HandlesShareOneObjectUntilTheLastLetsGo) {
  const int destroyed = Counts::destroyed;
  ccPtrHandle<Node> a(new Node(1)), b = a, c;
  c = b;
  EXPECT_EQ(a->refCount(), 3);
  a.reset();
  b = ccPtrHandle<Node>();
  EXPECT_TRUE(a.isNull() && b.isNull());
  EXPECT_EQ(c->refCount(), 1);
  c = ccPtrHandle<Node>(new Node(2));  // assigning over the last handle releases the object
  EXPECT_EQ(Counts::destroyed, destroyed + 1);
  Node* p = c.rep();
  ccPtrHandle<Node> moved(std::move(c));
  EXPECT_TRUE(c.isNull());  // NOLINT(bugprone-use-after-move): a moved handle is null
  a = std::move(moved);
  ccPtrHandle<Node>& same = a;
  a = same;
  ccPtrHandle<ccRepBase> base = a;  // from a derived handle
  EXPECT_EQ(base.rep(), static_cast<ccRepBase*>(p));
  EXPECT_EQ(p->refCount(), 2);
  EXPECT_EQ(Node(*p).refCount(), 0);
  *a = Node(5);
  EXPECT_EQ(p->refCount(), 2);
  EXPECT_EQ(a->value(), 5);
}

// A simple load reads an object's own record (no class name) and is refused on a storing
// archive; a vector of objects that have only the persistent form stores each in place.
TEST_F(PersistenceTest, SimpleLoadAndVectorsOfPersistentValues) {
  Node n(7);
  ccArchive out;
  n.dispatchSerialize(out);
  Node m(3);
  ccArchive in(out.data());
  m.loadSimple(in);
  EXPECT_EQ(m.value(), 7);
  {
    AssertCounter asserts;
    ccArchive storing;
    m.loadSimple(storing);
    EXPECT_EQ(asserts.reports(), 1);
    EXPECT_TRUE(storing.data().empty());
  }

  std::vector<Node> nodes{Node(1), Node(2), Node(3)};
  ccArchive vout;
  vout || nodes;
  EXPECT_EQ(vout.data().size(), 4u + 3 * (1 + 4 + 2));  // count, then version, value, two nulls
  std::vector<Node> back;
  ccArchive vin(vout.data());
  vin || back;
  EXPECT_EQ(back.size() == 3 ? back[2].value() : -1, 3);
}

}  // namespace persistence_test
