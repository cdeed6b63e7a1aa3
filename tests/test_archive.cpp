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
#include <iterator>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr std::uint32_t kEndOfData = 0x10001A01;
constexpr std::uint32_t kBadData = 0x10001A02;
constexpr std::uint32_t kFileError = 0x10001A04;
constexpr std::uint32_t kWrongDirection = 0x10001A05;

template <class T>
Bytes store(T v) {
  ccArchive ar;
  ar || v;
  EXPECT_TRUE(ar.isStoring());
  EXPECT_EQ(ar.position(), ar.data().size());
  return ar.data();
}

// Loads one T from exactly these bytes and checks that all of them were used.
template <class T>
T load(const Bytes& bytes) {
  ccArchive ar(bytes);
  EXPECT_TRUE(ar.isLoading());
  T v{};
  ar || v;
  EXPECT_TRUE(ar.atEnd());
  EXPECT_EQ(ar.position(), bytes.size());
  return v;
}

template <class T>
void expectBytes(T v, const Bytes& expected) {
  EXPECT_EQ(store(v), expected);
  EXPECT_EQ(load<T>(expected), v);
}

// Loading any proper prefix of a value's bytes throws exactly EndOfData.
template <class T>
void expectEveryCutIsEndOfData(T v) {
  const Bytes full = store(v);
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    ccArchive ar(Bytes(full.begin(), full.begin() + cut));
    T out{};
    try {
      ar || out;
      ADD_FAILURE() << "no exception at cut " << cut;
    } catch (const ccArchive::EndOfData& e) {
      EXPECT_EQ(typeid(e), typeid(ccArchive::EndOfData)) << "cut " << cut;
      EXPECT_EQ(e.errorNumber(), kEndOfData);
    } catch (...) {
      ADD_FAILURE() << "wrong exception at cut " << cut;
    }
    EXPECT_LE(ar.position(), cut);
  }
}

template <class T>
std::uint64_t bitsOf(T v) {
  static_assert(sizeof(T) <= 8, "narrow");
  std::uint64_t b = 0;
  std::memcpy(&b, &v, sizeof v);
  return b;
}

template <class T, class Bits>
T fromBits(Bits bits) {
  static_assert(sizeof(T) == sizeof(Bits), "width");
  T v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// ---------------------------------------------------------------------------------------
// Exact byte forms

TEST(ArchiveBytes, BoolIsOneByte) {
  expectBytes(true, {0x01});
  expectBytes(false, {0x00});
}

TEST(ArchiveBytes, CharTypesAreOneByte) {
  expectBytes('A', {0x41});
  expectBytes(static_cast<char>(0x80), {0x80});
  expectBytes(static_cast<signed char>(-2), {0xFE});
  expectBytes(static_cast<signed char>(-128), {0x80});
  expectBytes(static_cast<unsigned char>(255), {0xFF});
}

TEST(ArchiveBytes, ShortsAreTwoBytesLittleEndian) {
  expectBytes(static_cast<short>(0x1234), {0x34, 0x12});
  expectBytes(static_cast<short>(-2), {0xFE, 0xFF});
  expectBytes(std::numeric_limits<short>::min(), {0x00, 0x80});
  expectBytes(static_cast<unsigned short>(0xBEEF), {0xEF, 0xBE});
  expectBytes(std::numeric_limits<unsigned short>::max(), {0xFF, 0xFF});
}

TEST(ArchiveBytes, IntsAreFourBytesLittleEndian) {
  expectBytes(0x01020304, {0x04, 0x03, 0x02, 0x01});
  expectBytes(-1, {0xFF, 0xFF, 0xFF, 0xFF});
  expectBytes(std::numeric_limits<int>::min(), {0x00, 0x00, 0x00, 0x80});
  expectBytes(std::numeric_limits<int>::max(), {0xFF, 0xFF, 0xFF, 0x7F});
  expectBytes(0xDEADBEEFu, {0xEF, 0xBE, 0xAD, 0xDE});
}

// Longs have a variable length: 7 bits a byte from the lowest, the high bit on every byte but
// the last, signed values zig-zag mapped; format 1 had 8 bytes on every platform.
TEST(ArchiveBytes, LongsHaveAVariableLength) {
  expectBytes(0L, {0x00});
  expectBytes(-1L, {0x01});
  expectBytes(5L, {0x0A});
  expectBytes(-64L, {0x7F});
  expectBytes(64L, {0x80, 0x01});
  expectBytes(0x80000000UL, {0x80, 0x80, 0x80, 0x80, 0x08});
  expectBytes(300UL, {0xAC, 0x02});
  if constexpr (sizeof(long) == 8) {
    expectBytes(std::numeric_limits<unsigned long>::max(),
                {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01});
    expectBytes(std::numeric_limits<long>::min(),
                {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01});
  }
  auto loadsAsFormat1 = [](const Bytes& b) {
    ccArchive ar(b, ccArchive::eFormat1);
    long v = 0;
    ar || v;
    EXPECT_TRUE(ar.atEnd());
    return v;
  };
  EXPECT_EQ(loadsAsFormat1({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), -2L);
  EXPECT_EQ(loadsAsFormat1({0x05, 0, 0, 0, 0, 0, 0, 0}), 5L);
}

TEST(ArchiveMalformed, OverlongOrOversizedLongIsBadData) {
  for (const Bytes& bad :
       {Bytes{0x80, 0x00}, Bytes{0x81, 0x80, 0x00},
        Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02},
        Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x00}}) {
    ccArchive ar(bad);
    unsigned long v = 7;
    EXPECT_THROW(ar || v, ccArchive::BadData);
    EXPECT_EQ(v, 7u);
  }
  ccArchive cut(Bytes{0x80, 0x80});
  long v = 0;
  EXPECT_THROW(cut || v, ccArchive::EndOfData);
}

// A long that does not fit a 32-bit long fails to load there; where long has 64 bits it loads
// exactly.
TEST(ArchiveBytes, WideLongValueLoadsExactlyOrFailsWhereLongIsNarrow) {
  ccArchive out;
  long long big = 1LL << 40, negBig = -(1LL << 40);
  out.putLong(big);
  out.putLong(negBig);
  out.putUnsignedLong(static_cast<unsigned long long>(big));
  ccArchive in(out.data());
  long a = 0, b = 0;
  unsigned long c = 0;
  if constexpr (sizeof(long) >= 8) {
    in || a || b || c;
    EXPECT_EQ(a, static_cast<long>(big));
    EXPECT_EQ(b, static_cast<long>(negBig));
    EXPECT_EQ(c, static_cast<unsigned long>(big));
  } else {
    EXPECT_THROW(in || a, ccArchive::BadData);
  }
}

TEST(ArchiveBytes, FloatsAreIeeeLittleEndian) {
  expectBytes(1.0f, {0x00, 0x00, 0x80, 0x3F});
  expectBytes(-2.5f, {0x00, 0x00, 0x20, 0xC0});
  expectBytes(1.0, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
  expectBytes(-2.0, {0, 0, 0, 0, 0, 0, 0x00, 0xC0});
  expectBytes(std::numeric_limits<double>::infinity(), {0, 0, 0, 0, 0, 0, 0xF0, 0x7F});
  expectBytes(-std::numeric_limits<double>::infinity(), {0, 0, 0, 0, 0, 0, 0xF0, 0xFF});
  expectBytes(std::numeric_limits<float>::infinity(), {0x00, 0x00, 0x80, 0x7F});
}

TEST(ArchiveBytes, NegativeZeroKeepsItsSign) {
  EXPECT_EQ(store(-0.0), (Bytes{0, 0, 0, 0, 0, 0, 0, 0x80}));
  EXPECT_EQ(store(-0.0f), (Bytes{0, 0, 0, 0x80}));
  const double d = load<double>({0, 0, 0, 0, 0, 0, 0, 0x80});
  EXPECT_EQ(d, 0.0);
  EXPECT_TRUE(std::signbit(d));
  const float f = load<float>({0, 0, 0, 0x80});
  EXPECT_TRUE(std::signbit(f));
}

TEST(ArchiveBytes, NaNBitPatternsSurviveExactly) {
  const std::uint64_t dbits = 0x7FF8000000000123ULL;  // quiet NaN with a payload
  const double dnan = fromBits<double>(dbits);
  const Bytes db = store(dnan);
  EXPECT_EQ(db, (Bytes{0x23, 0x01, 0, 0, 0, 0, 0xF8, 0x7F}));
  const double dback = load<double>(db);
  EXPECT_TRUE(std::isnan(dback));
  EXPECT_EQ(bitsOf(dback), dbits);

  const std::uint64_t negNan = 0xFFF0000000000001ULL;  // signalling NaN, sign set
  EXPECT_EQ(bitsOf(load<double>(store(fromBits<double>(negNan)))), negNan);

  const std::uint32_t fbits = 0x7FC00001u;
  const float fnan = fromBits<float>(fbits);
  const Bytes fb = store(fnan);
  EXPECT_EQ(fb, (Bytes{0x01, 0x00, 0xC0, 0x7F}));
  EXPECT_EQ(static_cast<std::uint32_t>(bitsOf(load<float>(fb))), fbits);
}

TEST(ArchiveBytes, DenormalsAndExtremesRoundTrip) {
  for (double d : {std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::lowest(), 0.1, -1e-300}) {
    EXPECT_EQ(bitsOf(load<double>(store(d))), bitsOf(d));
  }
  for (float f :
       {std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::max(), 0.1f}) {
    EXPECT_EQ(bitsOf(load<float>(store(f))), bitsOf(f));
  }
}

TEST(ArchiveBytes, StringIsCountThenBytes) {
  expectBytes(std::string(), {0x00, 0x00, 0x00, 0x00});
  expectBytes(std::string("ab"), {0x02, 0x00, 0x00, 0x00, 'a', 'b'});
  const std::string withNuls("a\0b\0", 4);
  EXPECT_EQ(store(withNuls), (Bytes{0x04, 0, 0, 0, 'a', 0x00, 'b', 0x00}));
  const std::string back = load<std::string>(store(withNuls));
  EXPECT_EQ(back.size(), 4u);
  EXPECT_EQ(back, withNuls);
}

TEST(ArchiveBytes, LongStringCountUsesAllFourBytes) {
  const std::string s(0x10203, 'x');
  const Bytes b = store(s);
  ASSERT_EQ(b.size(), 4u + 0x10203u);
  EXPECT_EQ(b[0], 0x03);
  EXPECT_EQ(b[1], 0x02);
  EXPECT_EQ(b[2], 0x01);
  EXPECT_EQ(b[3], 0x00);
  EXPECT_EQ(load<std::string>(b), s);
}

TEST(ArchiveBytes, VectorIsCountThenElements) {
  expectBytes(std::vector<int>{}, {0, 0, 0, 0});
  expectBytes(std::vector<int>{1, -1}, {0x02, 0, 0, 0, 0x01, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
  expectBytes(std::vector<std::string>{"", "x"}, {0x02, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 'x'});
  expectBytes(std::vector<unsigned char>{7, 8, 9}, {0x03, 0, 0, 0, 7, 8, 9});
  expectBytes(std::vector<std::vector<short>>{{1}, {}},
              {0x02, 0, 0, 0, 0x01, 0, 0, 0, 0x01, 0x00, 0, 0, 0, 0});
}

TEST(ArchiveBytes, LoadingAVectorReplacesItsContent) {
  ccArchive ar(Bytes{0x01, 0, 0, 0, 0x2A, 0, 0, 0});
  std::vector<int> v{5, 6, 7};
  ar || v;
  EXPECT_EQ(v, std::vector<int>{42});
}

TEST(ArchiveBytes, SequenceOfValuesIsConcatenated) {
  ccArchive ar;
  bool b = true;
  short s = -1;
  std::string str = "z";
  double d = 0.5;
  ar || b || s || str || d;
  const Bytes expected = {0x01, 0xFF, 0xFF, 0x01, 0, 0, 0, 'z', 0, 0, 0, 0, 0, 0, 0xE0, 0x3F};
  EXPECT_EQ(ar.data(), expected);

  ccArchive in(expected);
  bool b2 = false;
  short s2 = 0;
  std::string str2;
  double d2 = 0;
  in || b2 || s2 || str2 || d2;
  EXPECT_TRUE(b2);
  EXPECT_EQ(s2, -1);
  EXPECT_EQ(str2, "z");
  EXPECT_EQ(d2, 0.5);
  EXPECT_TRUE(in.atEnd());
}

TEST(ArchiveBytes, RawBytesHaveNoPrefix) {
  ccArchive ar;
  unsigned char raw[3] = {9, 8, 7};
  ar.serializeBytes(raw, 3);
  ar.writeBytes(raw, 0);
  EXPECT_EQ(ar.data(), (Bytes{9, 8, 7}));
  ccArchive in(ar.data().data(), ar.data().size());
  unsigned char back[3] = {};
  in.serializeBytes(back, 3);
  EXPECT_EQ(back[0], 9);
  EXPECT_EQ(back[2], 7);
  EXPECT_TRUE(in.atEnd());
}

TEST(ArchiveBytes, EmptyLoadingArchiveIsAtEnd) {
  ccArchive ar(nullptr, 0);
  EXPECT_TRUE(ar.isLoading());
  EXPECT_TRUE(ar.atEnd());
  EXPECT_EQ(ar.remaining(), 0u);
  int v = 0;
  EXPECT_THROW(ar || v, ccArchive::EndOfData);
}

// ---------------------------------------------------------------------------------------
// Truncated and malformed data

TEST(ArchiveTruncation, EveryCutOfEveryPrimitiveIsEndOfData) {
  expectEveryCutIsEndOfData(true);
  expectEveryCutIsEndOfData('c');
  expectEveryCutIsEndOfData(static_cast<signed char>(-3));
  expectEveryCutIsEndOfData(static_cast<unsigned char>(3));
  expectEveryCutIsEndOfData(static_cast<short>(-300));
  expectEveryCutIsEndOfData(static_cast<unsigned short>(300));
  expectEveryCutIsEndOfData(-70000);
  expectEveryCutIsEndOfData(70000u);
  expectEveryCutIsEndOfData(-1L);
  expectEveryCutIsEndOfData(1UL);
  expectEveryCutIsEndOfData(-5LL);
  expectEveryCutIsEndOfData(5ULL);
  expectEveryCutIsEndOfData(1.5f);
  expectEveryCutIsEndOfData(-1.5);
}

TEST(ArchiveTruncation, CutInStringCountIsEndOfDataCutInBytesIsBadData) {
  const Bytes full = store(std::string("hello"));
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    ccArchive ar(Bytes(full.begin(), full.begin() + cut));
    std::string s = "keep";
    if (cut < 4) {
      EXPECT_THROW(ar || s, ccArchive::EndOfData) << "cut " << cut;
    } else {
      // The count is larger than the bytes left.
      EXPECT_THROW(ar || s, ccArchive::BadData) << "cut " << cut;
    }
    EXPECT_EQ(s, "keep") << "cut " << cut;
  }
}

TEST(ArchiveTruncation, CutVectorOfBytesIsEndOfDataOrBadData) {
  const Bytes full = store(std::vector<unsigned char>{1, 2, 3});
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    ccArchive ar(Bytes(full.begin(), full.begin() + cut));
    std::vector<unsigned char> v{42};
    if (cut < 4) {
      EXPECT_THROW(ar || v, ccArchive::EndOfData) << "cut " << cut;
    } else {
      EXPECT_THROW(ar || v, ccArchive::BadData) << "cut " << cut;
    }
    EXPECT_EQ(v, std::vector<unsigned char>{42}) << "cut " << cut;
  }
}

TEST(ArchiveTruncation, CutVectorOfIntsFailsAndLeavesItUnchanged) {
  const Bytes full = store(std::vector<int>{1, 2});
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    ccArchive ar(Bytes(full.begin(), full.begin() + cut));
    std::vector<int> v{42};
    try {
      ar || v;
      ADD_FAILURE() << "no exception at cut " << cut;
    } catch (const ccArchive::Errors& e) {
      const bool endOrBad = e.errorNumber() == kEndOfData || e.errorNumber() == kBadData;
      EXPECT_TRUE(endOrBad) << e.what();
      if (cut < 4) {
        EXPECT_EQ(e.errorNumber(), kEndOfData);
      }
    }
    EXPECT_EQ(v, std::vector<int>{42}) << "cut " << cut;
  }
}

TEST(ArchiveMalformed, BoolByteOtherThanZeroOrOneIsBadData) {
  for (unsigned char byte : {0x02, 0x7F, 0xFF}) {
    ccArchive ar(Bytes{byte});
    bool b = false;
    try {
      ar || b;
      ADD_FAILURE() << "accepted " << int(byte);
    } catch (const ccArchive::BadData& e) {
      EXPECT_EQ(e.errorNumber(), kBadData);
    }
  }
}

TEST(ArchiveMalformed, HugeStringCountIsBadDataBeforeAllocating) {
  ccArchive ar(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'});
  std::string s;
  EXPECT_THROW(ar || s, ccArchive::BadData);
  EXPECT_TRUE(s.empty());
}

TEST(ArchiveMalformed, StringCountOneMoreThanLeftIsBadData) {
  ccArchive ar(Bytes{0x04, 0, 0, 0, 'a', 'b', 'c'});
  std::string s;
  EXPECT_THROW(ar || s, ccArchive::BadData);
  ccArchive ok(Bytes{0x03, 0, 0, 0, 'a', 'b', 'c'});
  ok || s;
  EXPECT_EQ(s, "abc");
}

TEST(ArchiveMalformed, HugeVectorCountIsBadDataBeforeAllocating) {
  {
    ccArchive ar(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3});
    std::vector<double> v;
    EXPECT_THROW(ar || v, ccArchive::BadData);
  }
  {
    ccArchive ar(Bytes{0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
    std::vector<std::string> v;
    EXPECT_THROW(ar || v, ccArchive::BadData);
  }
}

TEST(ArchiveMalformed, CheckCountComparesAgainstBytesLeft) {
  ccArchive ar(Bytes(10, 0));
  EXPECT_NO_THROW(ar.checkCount(10, 1));
  EXPECT_NO_THROW(ar.checkCount(5, 2));
  EXPECT_THROW(ar.checkCount(11, 1), ccArchive::BadData);
  EXPECT_THROW(ar.checkCount(3, 4), ccArchive::BadData);
  EXPECT_THROW(ar.checkCount(0xFFFFFFFFFFFFFFFFULL, 8), ccArchive::BadData);
  int skip = 0;
  ar || skip;
  EXPECT_NO_THROW(ar.checkCount(6, 1));
  EXPECT_THROW(ar.checkCount(7, 1), ccArchive::BadData);
}

// ---------------------------------------------------------------------------------------
// Direction

TEST(ArchiveDirection, WritingToALoadingArchiveIsWrongDirection) {
  ccArchive ar(Bytes{1, 2, 3, 4});
  const unsigned char b = 0;
  try {
    ar.writeBytes(&b, 1);
    ADD_FAILURE() << "wrote to a loading archive";
  } catch (const ccArchive::WrongDirection& e) {
    EXPECT_EQ(e.errorNumber(), kWrongDirection);
  }
  EXPECT_EQ(ar.data(), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(ar.position(), 0u);
  EXPECT_THROW(ar.storeObject(nullptr), ccArchive::WrongDirection);
}

TEST(ArchiveDirection, ReadingFromAStoringArchiveIsWrongDirection) {
  ccArchive ar;
  unsigned char b = 0;
  EXPECT_THROW(ar.readBytes(&b, 1), ccArchive::WrongDirection);
  EXPECT_THROW(ar.loadObject(), ccArchive::WrongDirection);
  EXPECT_TRUE(ar.data().empty());
  EXPECT_EQ(ar.remaining(), 0u);
}

// ---------------------------------------------------------------------------------------
// File archives

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
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  static Bytes readFile(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  static void expectFileError(const std::string& p) {
    try {
      ccFileArchive ar(p, ccArchive::eLoading);
      ADD_FAILURE() << "opened " << p;
    } catch (const ccArchive::FileError& e) {
      EXPECT_EQ(typeid(e), typeid(ccArchive::FileError));
      EXPECT_EQ(e.errorNumber(), kFileError);
    }
  }

  static Bytes header(unsigned char format = 2) {
    return {'D', 'I', 'S', 'P', 'C', 'A', 'R', 'C', format, 0, 0, 0};
  }

  std::filesystem::path dir_;
};

TEST_F(FileArchiveTest, StoreWritesHeaderThenPayloadOnClose) {
  const std::string p = path("a.arc");
  {
    ccFileArchive ar(p, ccArchive::eStoring);
    EXPECT_TRUE(ar.isStoring());
    int v = 0x01020304;
    std::string s = "hi";
    ar || v || s;
    EXPECT_FALSE(std::filesystem::exists(p)) << "file must appear only on close()";
    ar.close();
    EXPECT_TRUE(std::filesystem::exists(p));
    EXPECT_FALSE(std::filesystem::exists(p + ".partial"));
  }
  Bytes expected = header();
  const Bytes payload = {0x04, 0x03, 0x02, 0x01, 0x02, 0x00, 0x00, 0x00, 'h', 'i'};
  expected.insert(expected.end(), payload.begin(), payload.end());
  EXPECT_EQ(std::filesystem::file_size(p), 22u);
  EXPECT_EQ(readFile(p), expected);

  // Nothing else is left in the directory.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir_)) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(FileArchiveTest, RoundTripCountsOffsetsFromTheStartOfTheFile) {
  const std::string p = path("b.arc");
  {
    ccFileArchive ar(p, ccArchive::eStoring);
    double d = -0.25;
    std::vector<short> v{1, -2, 3};
    bool b = true;
    ar || d || v || b;
    ar.close();
  }
  ccFileArchive in(p, ccArchive::eLoading);
  EXPECT_TRUE(in.isLoading());
  EXPECT_EQ(in.format(), ccArchive::eFormat2);
  EXPECT_EQ(in.position(), 12u);
  EXPECT_EQ(in.remaining(), 8u + 4u + 6u + 1u);
  double d = 0;
  std::vector<short> v;
  bool b = false;
  in || d || v || b;
  EXPECT_EQ(d, -0.25);
  EXPECT_EQ(v, (std::vector<short>{1, -2, 3}));
  EXPECT_TRUE(b);
  EXPECT_TRUE(in.atEnd());
  int more = 0;
  try {
    in || more;
    ADD_FAILURE() << "read past the end";
  } catch (const ccArchive::EndOfData& e) {
    EXPECT_EQ(e.message(), "needed 4 bytes at byte 31, 0 bytes left");
  }
  ccArchive cut(Bytes{1, 2, 3, 4});
  cut.readBytes(&more, 3);
  EXPECT_THROW(cut || more, ccArchive::EndOfData);
  try {
    cut || more;
  } catch (const ccArchive::EndOfData& e) {
    EXPECT_EQ(e.message(), "needed 4 bytes at byte 3, 1 byte left");
  }
}

// Format 1 files (fixed-width longs, every object named) still load.
TEST_F(FileArchiveTest, Format1FilesLoad) {
  Bytes b = header(1);
  for (unsigned char c : {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) b.push_back(c);
  writeFile(path("old.arc"), b);
  ccFileArchive in(path("old.arc"), ccArchive::eLoading);
  EXPECT_EQ(in.format(), ccArchive::eFormat1);
  long v = 0;
  in || v;
  EXPECT_EQ(v, -2);
  EXPECT_TRUE(in.atEnd());
}

// A failed store writes no file: neither when the exception leaves the archive's scope, nor
// when it is caught and the archive closed or destroyed.
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
  EXPECT_FALSE(std::filesystem::exists(p));
  {
    ccFileArchive ar(p, ccArchive::eStoring);
    EXPECT_THROW(ar.storeObject(&unregistered), ccArchive::UnknownClass);
  }
  EXPECT_FALSE(std::filesystem::exists(p));
  ccFileArchive ar(p, ccArchive::eStoring);
  EXPECT_THROW(ar.storeObject(&unregistered), ccArchive::UnknownClass);
  EXPECT_THROW(ar.close(), ccArchive::FileError);
  EXPECT_FALSE(std::filesystem::exists(p));
  EXPECT_FALSE(std::filesystem::exists(p + ".partial"));
}

TEST_F(FileArchiveTest, DestructorClosesAStoringArchive) {
  const std::string p = path("c.arc");
  {
    ccFileArchive ar(p, ccArchive::eStoring);
    unsigned char c = 0x5A;
    ar || c;
  }
  Bytes expected = header();
  expected.push_back(0x5A);
  EXPECT_EQ(readFile(p), expected);
  EXPECT_FALSE(std::filesystem::exists(p + ".partial"));
}

TEST_F(FileArchiveTest, EmptyPayloadIsJustTheHeader) {
  const std::string p = path("empty.arc");
  {
    ccFileArchive ar(p, ccArchive::eStoring);
    ar.close();
    ar.close();  // a second close does nothing
  }
  EXPECT_EQ(readFile(p), header());
  ccFileArchive in(p, ccArchive::eLoading);
  EXPECT_TRUE(in.atEnd());
}

TEST_F(FileArchiveTest, StoringReplacesAnExistingFileWhole) {
  const std::string p = path("d.arc");
  writeFile(p, Bytes(100, 0xEE));
  {
    ccFileArchive ar(p, ccArchive::eStoring);
    int v = 1;
    ar || v;
    EXPECT_EQ(std::filesystem::file_size(p), 100u) << "old file untouched until close()";
    ar.close();
  }
  EXPECT_EQ(std::filesystem::file_size(p), 16u);
}

TEST_F(FileArchiveTest, UnwritableDestinationIsFileErrorAndLeavesNothing) {
  const std::string p = path("no/such/dir/e.arc");
  try {
    ccFileArchive ar(p, ccArchive::eStoring);
    ADD_FAILURE() << "wrote into a missing directory";
  } catch (const ccArchive::FileError& e) {
    EXPECT_EQ(e.errorNumber(), kFileError);
  }
  EXPECT_FALSE(std::filesystem::exists(p));
  EXPECT_FALSE(std::filesystem::exists(p + ".partial"));
}

TEST_F(FileArchiveTest, MissingFileIsFileError) { expectFileError(path("missing.arc")); }

TEST_F(FileArchiveTest, BadMagicIsFileError) {
  Bytes b = header();
  b[7] = 'X';
  b.push_back(0);
  writeFile(path("magic.arc"), b);
  expectFileError(path("magic.arc"));
}

TEST_F(FileArchiveTest, WrongFormatVersionIsFileError) {
  for (std::uint32_t version : {0u, 3u, 0x01000000u}) {
    Bytes b = header();
    b[8] = static_cast<unsigned char>(version);
    b[9] = static_cast<unsigned char>(version >> 8);
    b[10] = static_cast<unsigned char>(version >> 16);
    b[11] = static_cast<unsigned char>(version >> 24);
    writeFile(path("version.arc"), b);
    expectFileError(path("version.arc"));
  }
}

TEST_F(FileArchiveTest, ShortFileIsFileErrorAtEveryLength) {
  const Bytes full = header();
  for (std::size_t n = 0; n < full.size(); ++n) {
    writeFile(path("short.arc"), Bytes(full.begin(), full.begin() + n));
    expectFileError(path("short.arc"));
  }
}

TEST_F(FileArchiveTest, DirectoryIsNotAnArchive) { expectFileError(dir_.string()); }

}  // namespace
