// Archives: the byte form of primitive values, strings and vectors, bounds-checked loading,
// the direction rules and file archives.
#include <core/archive.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

template <class T>
Bytes store(T v) {
  ccArchive ar;
  ar || v;
  EXPECT_EQ(ar.position(), ar.data().size());
  return ar.data();
}

// Loads one T from exactly these bytes and checks that all of them were used.
template <class T>
T load(const Bytes& bytes) {
  ccArchive ar(bytes);
  T v{};
  ar || v;
  EXPECT_TRUE(ar.atEnd());
  return v;
}

template <class T>
void expectBytes(T v, const Bytes& expected) {
  EXPECT_EQ(store(v), expected) << ::testing::PrintToString(v);
  EXPECT_EQ(load<T>(expected), v);
}

template <class T>
std::uint64_t bitsOf(T v) {
  std::uint64_t b = 0;
  std::memcpy(&b, &v, sizeof v);
  return b;
}

template <class T, class Bits>
T fromBits(Bits bits) {
  T v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// Loading any proper prefix of a value's bytes throws EndOfData (exactly that class) and
// reads no further than the cut.
template <class T>
void expectEveryCutIsEndOfData(T v) {
  const Bytes full = store(v);
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    ccArchive ar(Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
    T out{};
    try {
      ar || out;
      ADD_FAILURE() << "no exception at cut " << cut;
    } catch (const ccArchive::EndOfData& e) {
      EXPECT_EQ(typeid(e), typeid(ccArchive::EndOfData)) << "cut " << cut;
    }
    EXPECT_LE(ar.position(), cut);
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
  }
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
  ccArchive old(Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, ccArchive::eFormat1);
  long v = 0;
  old || v;
  EXPECT_EQ(v, -2L);
}

TEST(ArchiveBytes, FloatingBitPatternsSurviveExactly) {
  EXPECT_TRUE(std::signbit(load<float>({0, 0, 0, 0x80})));
  for (std::uint64_t bits : {0x7FF8000000000123ULL, 0xFFF0000000000001ULL, 0x0000000000000001ULL})
    EXPECT_EQ(bitsOf(load<double>(store(fromBits<double>(bits)))), bits);
  EXPECT_EQ(bitsOf(load<float>({0x01, 0x00, 0xC0, 0x7F})), 0x7FC00001u);
}

// A long beyond 32 bits fails to load into a 32-bit long and loads exactly into a 64-bit one.
TEST(ArchiveBytes, WideLongValueLoadsExactlyOrFailsWhereLongIsNarrow) {
  ccArchive out;
  out.putLong(1LL << 40);
  out.putLong(-(1LL << 40));
  ccArchive in(out.data());
  long a = 0, b = 0;
  if constexpr (sizeof(long) >= 8) {
    in || a || b;
    EXPECT_EQ(a, 1L << 40);
    EXPECT_EQ(b, -(1L << 40));
  } else {
    EXPECT_THROW(in || a, ccArchive::BadData);
  }
}

TEST(ArchiveTruncation, EveryCutOfEveryPrimitiveIsEndOfData) {
  expectEveryCutIsEndOfData(true);
  expectEveryCutIsEndOfData(static_cast<unsigned short>(300));
  expectEveryCutIsEndOfData(-70000);
  expectEveryCutIsEndOfData(1UL << 20);
  expectEveryCutIsEndOfData(-5LL);
  expectEveryCutIsEndOfData(1.5f);
  expectEveryCutIsEndOfData(-1.5);
}

// A cut in the count is EndOfData, a count larger than the bytes left BadData; the target
// keeps its content either way.
TEST(ArchiveTruncation, CutCountedValuesFailAndLeaveTheTargetUnchanged) {
  auto check = [](auto value, auto keep) {
    const Bytes full = store(value);
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
      ccArchive ar(Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
      auto v = keep;
      if (cut < 4) {
        EXPECT_THROW(ar || v, ccArchive::EndOfData) << cut;
      } else if (sizeof(value[0]) == 1) {
        EXPECT_THROW(ar || v, ccArchive::BadData) << cut;
      } else {
        EXPECT_THROW(ar || v, ccArchive::Errors) << cut;
      }
      EXPECT_EQ(v, keep) << cut;
    }
  };
  check(std::string("hello"), std::string("keep"));
  check(std::vector<int>{1, 2}, std::vector<int>{42});
  ccArchive ar(Bytes{0x01, 0, 0, 0, 0x2A, 0, 0, 0});
  std::vector<int> v{5, 6, 7};
  ar || v;
  EXPECT_EQ(v, std::vector<int>{42});  // loading replaces the content
}

TEST(ArchiveMalformed, BadBytesAreBadDataBeforeAnythingIsAllocated) {
  auto bad = [](const Bytes& b, auto target) {
    ccArchive ar(b);
    const auto before = target;
    EXPECT_THROW(ar || target, ccArchive::BadData) << ::testing::PrintToString(b);
    EXPECT_EQ(target, before);
  };
  for (unsigned char byte : {0x02, 0x7F, 0xFF}) bad({byte}, false);
  bad({0x80, 0x00}, 7UL);                                                  // overlong
  bad({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02}, 7UL);  // beyond 64 bits
  bad({0x04, 0, 0, 0, 'a', 'b', 'c'}, std::string());
  bad({0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3}, std::vector<double>());
  bad({0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3}, std::vector<std::string>());
}

TEST(ArchiveMalformed, CheckCountComparesAgainstBytesLeft) {
  ccArchive ar(Bytes(10, 0));
  EXPECT_NO_THROW(ar.checkCount(5, 2));
  EXPECT_THROW(ar.checkCount(3, 4), ccArchive::BadData);
  EXPECT_THROW(ar.checkCount(0xFFFFFFFFFFFFFFFFULL, 8), ccArchive::BadData);
  int skip = 0;
  ar || skip;
  EXPECT_NO_THROW(ar.checkCount(6, 1));
  EXPECT_THROW(ar.checkCount(7, 1), ccArchive::BadData);
}

TEST(ArchiveDirection, EachArchiveGoesOneWay) {
  ccArchive in(Bytes{1, 2, 3, 4});
  const unsigned char b = 0;
  EXPECT_THROW(in.writeBytes(&b, 1), ccArchive::WrongDirection);
  EXPECT_EQ(in.data(), (Bytes{1, 2, 3, 4}));
  ccArchive out;
  EXPECT_THROW(out.loadObject(), ccArchive::WrongDirection);
}

// ---- File archives

class FileArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("dispc_archive_" + std::to_string(::getpid()) + "_" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string path(const char* name) const { return (dir_ / name).string(); }
  static void writeFile(const std::string& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  static Bytes readFile(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static Bytes header(unsigned char format = 2) {
    return {'D', 'I', 'S', 'P', 'C', 'A', 'R', 'C', format, 0, 0, 0};
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir_),
                                                  std::filesystem::directory_iterator()));
  }

  std::filesystem::path dir_;
};

// The file appears, whole, at close() (or destruction): a 12-byte header, then the payload.
TEST_F(FileArchiveTest, StoreWritesHeaderThenPayloadOnClose) {
  const std::string p = path("a.arc");
  writeFile(p, Bytes(100, 0xEE));
  {
    ccFileArchive ar(p, ccArchive::eStoring);
    int v = 0x01020304;
    std::string s = "hi";
    ar || v || s;
    EXPECT_EQ(readFile(p), Bytes(100, 0xEE)) << "the old file stays until close()";
    ar.close();
    ar.close();  // a second close does nothing
  }
  Bytes expected = header();
  for (unsigned char c : {0x04, 0x03, 0x02, 0x01, 0x02, 0x00, 0x00, 0x00, 0x68, 0x69})
    expected.push_back(c);
  EXPECT_EQ(readFile(p), expected);
  EXPECT_EQ(entries(), 1u);  // nothing else is left
}

TEST_F(FileArchiveTest, LoadingCountsOffsetsFromTheStartOfTheFile) {
  const std::string p = path("b.arc");
  {
    ccFileArchive ar(p, ccArchive::eStoring);
    double d = -0.25;
    std::vector<short> v{1, -2, 3};
    ar || d || v;
  }
  ccFileArchive in(p, ccArchive::eLoading);
  EXPECT_EQ(in.position(), 12u);
  double d = 0;
  std::vector<short> v;
  in || d || v;
  EXPECT_EQ(d, -0.25);
  EXPECT_EQ(v, (std::vector<short>{1, -2, 3}));
  int more = 0;
  try {
    in || more;
    ADD_FAILURE() << "read past the end";
  } catch (const ccArchive::EndOfData& e) {
    EXPECT_EQ(e.message(), "needed 4 bytes at byte 30, 0 bytes left");
  }
  // Format 1 files still load.
  writeFile(path("old.arc"), header(1));
  EXPECT_EQ(ccFileArchive(path("old.arc"), ccArchive::eLoading).format(), ccArchive::eFormat1);
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
  EXPECT_EQ(entries(), 0u);
}

TEST_F(FileArchiveTest, WhatIsNotAnArchiveFileIsFileError) {
  std::vector<Bytes> bad;
  const Bytes full = header();
  for (long n = 0; n < 12; ++n) bad.emplace_back(full.begin(), full.begin() + n);
  Bytes magic = header();
  magic[7] = 'X';
  bad.push_back(magic);
  for (std::uint32_t version : {0u, 3u, 0x01000000u}) {
    Bytes b = header();
    for (int i = 0; i < 4; ++i) b[8 + i] = static_cast<unsigned char>(version >> (8 * i));
    bad.push_back(b);
  }
  std::vector<std::string> paths = {path("missing.arc"), dir_.string()};
  for (std::size_t i = 0; i < bad.size(); ++i) {
    paths.push_back(path(("bad" + std::to_string(i)).c_str()));
    writeFile(paths.back(), bad[i]);
  }
  for (const std::string& p : paths) {
    try {
      ccFileArchive ar(p, ccArchive::eLoading);
      ADD_FAILURE() << "opened " << p;
    } catch (const ccArchive::FileError& e) {
      EXPECT_EQ(typeid(e), typeid(ccArchive::FileError));
    }
  }
  ccFileArchive(path("empty.arc"), ccArchive::eStoring).close();
  EXPECT_TRUE(ccFileArchive(path("empty.arc"), ccArchive::eLoading).atEnd());
}

}  // namespace
