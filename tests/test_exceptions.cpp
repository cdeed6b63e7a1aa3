// Error classes of the core and display libraries: numbers, registration, archive form,
// re-throwing; status errors; the assertion hook; text conversion; the global mutex.
#include <core/archive.h>
#include <core/assert.h>
#include <core/errors.h>
#include <core/exception.h>
#include <core/matherror.h>
#include <core/mutex.h>
#include <core/unicode.h>
#include <dispc/dispprop.h>
#include <dispc/errors.h>
#include <dispc/graphic.h>
#include <dispc/smd/model.h>
#include <dispc/smd/poly.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "archivebytes.h"

namespace {

// Tag 1 and the class name: the start of a new object in a persistent pointer.
Bytes objectStart(const std::string& name) {
  Bytes b{0x01};
  putString(b, name);
  return b;
}

std::string hex8(std::uint32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(n));
  return buf;
}

// Stores an error through a handle to the exception base and loads it back.
ccPtrHandle<ccException> roundTrip(const ccPtrHandle<ccException>& h, Bytes* stored = nullptr) {
  ccArchive out;
  ccPtrHandle<ccException> copy = h;
  out || copy;
  if (stored) *stored = out.data();
  ccArchive in(out.data());
  ccPtrHandle<ccException> back;
  in || back;
  EXPECT_TRUE(in.atEnd());
  return back;
}

// ---------------------------------------------------------------------------------------
// Every error class with a fixed number

// Version 1 at byte `at` of the version bytes after the class name is refused, naming `source`.
void expectUnknownVersion(const std::string& name, std::size_t at, const std::string& source) {
  Bytes bytes = objectStart(name);
  bytes.resize(bytes.size() + 7, 0x00);
  bytes[bytes.size() - 7 + at] = 0x01;
  ccArchive in(bytes);
  ccPtrHandle<ccException> h;
  long line = -1;
  EXPECT_EQ(unknownVersionSource([&] { in || h; }, &line), source);
  EXPECT_EQ(line, 0);
  EXPECT_TRUE(h.isNull());
}

struct ErrorClass {
  const char* name;
  std::uint32_t number;
  const char* message;  // of a default-made error
  ccException* (*make)();
  bool (*rethrowsItself)(ccException*);  // deletes the object
  bool uiError;
};

// clang-format off
#define DISPC_ERROR_ROW(Class, Number, ...)                                        \
  {#Class, Number, "" __VA_ARGS__, []() -> ccException* { return new Class; },     \
   [](ccException* p) {                                                            \
     try {                                                                         \
       p->suicideAndRethrow();                                                     \
     } catch (const Class&) {                                                      \
       return true;                                                                \
     } catch (...) {                                                               \
     }                                                                             \
     return false;                                                                 \
   },                                                                              \
   std::is_base_of_v<ccUIError::Errors, Class>}
// clang-format on

const ErrorClass kErrorClasses[] = {
    DISPC_ERROR_ROW(ccArchive::UnknownVersion, 0x10001A00),
    DISPC_ERROR_ROW(ccArchive::EndOfData, 0x10001A01),
    DISPC_ERROR_ROW(ccArchive::BadData, 0x10001A02),
    DISPC_ERROR_ROW(ccArchive::UnknownClass, 0x10001A03),
    DISPC_ERROR_ROW(ccArchive::FileError, 0x10001A04),
    DISPC_ERROR_ROW(ccArchive::WrongDirection, 0x10001A05),
    DISPC_ERROR_ROW(ccShapesError::BadGeom, 0x10003100),
    DISPC_ERROR_ROW(ccShapesError::DegenerateShape, 0x10003101),
    DISPC_ERROR_ROW(ccShapesError::EmptyShape, 0x10003102),
    DISPC_ERROR_ROW(ccShapesError::BadParams, 0x10003103),
    DISPC_ERROR_ROW(ccShapesError::BadRadius, 0x10003104),
    DISPC_ERROR_ROW(ccShapesError::BadCoef, 0x10003105),
    DISPC_ERROR_ROW(ccShapesError::NotOpenContour, 0x10003106),
    DISPC_ERROR_ROW(ccShapesError::NoTangent, 0x10003107),
    DISPC_ERROR_ROW(ccShapesError::NotRegion, 0x10003108),
    DISPC_ERROR_ROW(ccPel::UnboundWindow, 0x10003300),
    DISPC_ERROR_ROW(ccUIError::BadLayer, 0x10002B00),
    DISPC_ERROR_ROW(ccUIError::BadIconPattern, 0x10002B01),
    DISPC_ERROR_ROW(ccUIError::FlagStackUnderflow, 0x10002B02),
    DISPC_ERROR_ROW(ccUIError::FlagStackOverflow, 0x10002B03),
    DISPC_ERROR_ROW(ccUIError::FlagStackOutOfRange, 0x10002B04),
    DISPC_ERROR_ROW(ccUIError::NotAvailable, 0x10002B06),
    DISPC_ERROR_ROW(ccUIError::NotEnabled, 0x10002B07),
    DISPC_ERROR_ROW(ccUIError::BadKeyValue, 0x10002B08),
    DISPC_ERROR_ROW(ccUIError::InvalidColorMapSize, 0x10002B09),
    DISPC_ERROR_ROW(ccUIError::NotImplemented, 0x10002B12),
    DISPC_ERROR_ROW(ccUIError::BadParams, 0x10002B13),
    DISPC_ERROR_ROW(ccUIError::NotRGBColor, 0x10002B14),
    DISPC_ERROR_ROW(ccUIError::NotIndexColor, 0x10002B15),
    DISPC_ERROR_ROW(ccUIError::NoLongerSupported, 0x10002B16),
    DISPC_ERROR_ROW(ccUIError::InvalidUISketch, 0x10002B17),
    DISPC_ERROR_ROW(ccUIError::InitFailed, 0x10002B18),
    DISPC_ERROR_ROW(ccGraphic::BadParams, 0x10009600),
    DISPC_ERROR_ROW(ccGraphic::NoGraphicForShape, 0x10009601),
    DISPC_ERROR_ROW(ccMathError::Singular, 0x10003200),
    DISPC_ERROR_ROW(ccMathError::OutOfDomain, 0x10003201),
    DISPC_ERROR_ROW(ccGraphicProps::BadParams, 0x10004513),
    DISPC_ERROR_ROW(ccSMDDimension::badDimensionValue, 0x11000B00),
    DISPC_ERROR_ROW(ccSMDGDPolyVertex::invalidSegmentLength, 0x11000350,
                    "Invalid poly segment length specified at vertex."),
    DISPC_ERROR_ROW(ccSMDGDPoly::invalidVertices, 0x11000360, "Invalid poly vertices."),
    DISPC_ERROR_ROW(ccSMDGDPoly::crossingSegments, 0x11000361, "Two or more poly segments cross."),
    DISPC_ERROR_ROW(ccSMDGDPoly::invalidIndex, 0x11000362,
                    "Invalid index for poly vertex or segment."),
    DISPC_ERROR_ROW(ccSMDGDPoly::invalidRounding, 0x11000363,
                    "Invalid radius for poly vertex rounding."),
    DISPC_ERROR_ROW(ccSMDGDPoly::noPelBuffer, 0x11000364, "No pel buffer to draw on."),
    DISPC_ERROR_ROW(ccSMDGDPoly::badSubModel, 0x11000365, "The specified sub-model is not 2D"),
    DISPC_ERROR_ROW(ccSMDGDPoly::notClosed, 0x11000366,
                    "An operation was performed which requires a closed poly."),
    DISPC_ERROR_ROW(ccSMDGDModel::invalidIndex, 0x11000370, "Invalid poly index specified."),
    DISPC_ERROR_ROW(ccSMDGDModel::crossingPolys, 0x11000371, "At least two polys intersect."),
    DISPC_ERROR_ROW(ccSMDGDModel::nestedPolys, 0x11000372, "At least one of the polys is nested."),
};
#undef DISPC_ERROR_ROW

// Each class: its number, message and name in what(), registered under its qualified name, archived
// as tag 1, the name and version 0 (a UI error: the versions of the class, of
// ccUIError::Errors and of ccException, then the empty message), loaded back as itself,
// re-thrown as itself.
TEST(ErrorClasses, NumberNameArchiveFormAndRethrow) {
  for (const ErrorClass& c : kErrorClasses) {
    SCOPED_TRACE(c.name);
    ccPtrHandle<ccException> h(c.make());
    EXPECT_EQ(h->errorNumber(), c.number);
    EXPECT_EQ(h->message(), c.message);
    const std::string what = h->what();
    EXPECT_NE(what.find(c.name), std::string::npos) << what;
    EXPECT_NE(what.find(hex8(c.number)), std::string::npos) << what;
    // Stored under its name and loaded back as itself: registered under that name.
    Bytes stored;
    ccPtrHandle<ccException> back = roundTrip(h, &stored);
    ASSERT_TRUE(back);
    EXPECT_EQ(typeid(*back), typeid(*h));
    Bytes exact = objectStart(c.name);
    exact.push_back(0x00);  // version 0
    EXPECT_EQ(Bytes(stored.begin(), stored.begin() + std::min(stored.size(), exact.size())), exact);
    expectUnknownVersion(c.name, 0, c.name);
    if (c.uiError) {
      exact.insert(exact.end(), {0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
      EXPECT_EQ(stored, exact);
      expectUnknownVersion(c.name, 1, "ccUIError::Errors");
      expectUnknownVersion(c.name, 2, "ccException");
    }
    EXPECT_TRUE(c.rethrowsItself(c.make()));
  }
}

// Errors that carry data keep it through archiving and re-throwing: a message (the graphic
// errors archived under their family base, exactly), the source and line of an unknown
// version, the status of a status error.
TEST(ErrorsWithData, KeepItThroughArchivingAndRethrowing) {
  ccPtrHandle<ccException> h(new ccGraphic::BadParams("Item index out of range"));
  Bytes stored;
  ccPtrHandle<ccException> back = roundTrip(h, &stored);
  Bytes expected = objectStart("ccGraphic::BadParams");
  // Version of the class, of ccGraphic::Errors, of ccExceptionWithString, of ccException.
  expected.insert(expected.end(), {0x00, 0x00, 0x00, 0x00});
  putString(expected, "Item index out of range");
  EXPECT_EQ(stored, expected);
  ASSERT_NE(dynamic_cast<const ccGraphic::Errors*>(back.get()), nullptr);
  EXPECT_EQ(back->message(), "Item index out of range");
  expectUnknownVersion("ccGraphic::BadParams", 1, "ccGraphic::Errors");

  back = roundTrip(ccPtrHandle<ccException>(new ccShapesError::BadRadius("radius -1")));
  EXPECT_EQ(typeid(*back), typeid(ccShapesError::BadRadius));
  EXPECT_NE(std::string(back->what()).find("radius -1"), std::string::npos);
  const std::string msg("a\0\xC3\xA9", 4);
  EXPECT_EQ(roundTrip(ccPtrHandle<ccException>(new ccArchive::BadData(msg)))->message(), msg);
  EXPECT_EQ(thrownBy<ccPel::UnboundWindow>(
                [] { (new ccPel::UnboundWindow("no pels"))->suicideAndRethrow(); }),
            "10003300: no pels");
  EXPECT_THROW((new ccException)->suicideAndRethrow(), ccException);

  const ccArchive::UnknownVersion e("dispc/somewhere", 321);
  back = roundTrip(ccPtrHandle<ccException>(new ccArchive::UnknownVersion(e)));
  auto* uv = dynamic_cast<ccArchive::UnknownVersion*>(back.rep());
  ASSERT_NE(uv, nullptr);
  EXPECT_EQ(uv->source(), "dispc/somewhere");
  EXPECT_EQ(uv->line(), 321);
  EXPECT_EQ(uv->message(), e.message());

  EXPECT_NO_THROW(cfThrowExceptionOnFailure(0));
  for (const std::int32_t status : {5, -1, 0x2A}) {
    try {
      cfThrowExceptionOnFailure(status);
      ADD_FAILURE() << "no exception for " << status;
    } catch (const ccStatusError& s) {
      EXPECT_EQ(s.errorNumber(), static_cast<std::uint32_t>(status));
      EXPECT_EQ(s.status(), status);
    }
  }
  EXPECT_NE(std::string(ccStatusError(0x2A).what()).find("0x0000002A"), std::string::npos);
  back = roundTrip(ccPtrHandle<ccException>(new ccStatusError(0x10002B00)));
  EXPECT_EQ(typeid(*back), typeid(ccStatusError));
  EXPECT_EQ(back->errorNumber(), 0x10002B00u);
}

// ---------------------------------------------------------------------------------------
// Assertion reports

int gLastLine = -1;
std::string gLastFile;
void recordingHandler(int line, const char* file) {
  gLastLine = line;
  gLastFile = file;
}

// The handler receives the line and file; setting one returns the one it replaces; null restores
// the default, which reports on stderr.
TEST(AssertHook, InstalledHandlerReceivesLineAndFileUntilReplaced) {
  const cstd_AssertHandler previous = cstd_setAssertHandler(&recordingHandler);
  ASSERT_NE(previous, nullptr);
  const long countBefore = cstd_assertCount();
  cstd_assert_(123, "dispc/here");
  EXPECT_EQ(std::to_string(gLastLine) + gLastFile, "123dispc/here");
  EXPECT_EQ(cstd_assertCount(), countBefore + 1);
  EXPECT_EQ(cstd_setAssertHandler(nullptr), &recordingHandler);
  testing::internal::CaptureStderr();
  cstd_assert_(7, "dispc/there");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "assertion failed: dispc/there line 7\n");
  EXPECT_EQ(cstd_setAssertHandler(previous), previous);
}

// ---------------------------------------------------------------------------------------
// Text conversion

// The UTF-8 form of code point c.
std::string utf8Of(char32_t c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  const int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  std::string s(static_cast<std::size_t>(n), 0);
  for (int i = n - 1; i > 0; --i, c >>= 6)
    s[static_cast<std::size_t>(i)] = static_cast<char>(0x80 | (c & 0x3F));
  s[0] = static_cast<char>((0xF00 >> n) | c);
  return s;
}

// UTF-16 to UTF-8 by the book: pairs combine, an unpaired surrogate becomes U+FFFD.
std::string referenceUtf8(const std::u16string& u) {
  std::string out;
  for (std::size_t i = 0; i < u.size(); ++i) {
    char32_t c = u[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (u[++i] - 0xDC00);
    else if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD;
    out += utf8Of(c);
  }
  return out;
}

// Random units (the ends of every range and of the surrogates, paired or not, 0 units) convert as
// by the book, up to `count` units or the first 0; any bytes made well-formed (one U+FFFD per
// maximal ill-formed subpart) stay so, and well-formed text comes back unchanged.
TEST(TextConversion, Utf16AndIllFormedUtf8MatchTheReference) {
  EXPECT_EQ(referenceUtf8({'a', 0xD83D, 0xDE00, 0x20AC}), "a\xF0\x9F\x98\x80\xE2\x82\xAC");
  const char16_t ends[] = {0,      0x7F,   0x80,   0x7FF,  0x800,  0xD7FF,
                           0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFF};
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::u16string units(random() % 8, u'a');
    for (char16_t& u : units)
      u = random() % 2 ? ends[random() % 12]
                       : static_cast<char16_t>(random() % 3 ? random() % 0x800 : random());
    const std::size_t count = random() % 2 ? std::string::npos : random() % (units.size() + 1);
    const std::u16string terminated = units + u'\0';
    const std::size_t used = count == std::string::npos ? units.find(u'\0') : count;
    EXPECT_EQ(cfConvertString(terminated.data(), count), referenceUtf8(units.substr(0, used)));
    const std::string utf8 = cfConvertString(units);
    EXPECT_EQ(utf8, referenceUtf8(units));
    EXPECT_EQ(cfValidUtf8(utf8), utf8);
    std::string bytes(random() % 8, 'a');
    for (char& b : bytes) b = static_cast<char>(random() % 2 ? 0x80 + random() % 0x80 : random());
    const std::string valid = cfValidUtf8(bytes);
    EXPECT_EQ(cfValidUtf8(valid), valid) << round;
  }
  EXPECT_EQ(cfConvertString(static_cast<const char16_t*>(nullptr)), "");
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(cfValidUtf8("a\xFFz"), "a" + fffd + "z");
  EXPECT_EQ(cfValidUtf8("\xC0\xAF"), fffd + fffd);             // overlong lead
  EXPECT_EQ(cfValidUtf8("\xE0\x80\x80"), fffd + fffd + fffd);  // overlong second byte
  EXPECT_EQ(cfValidUtf8("\xED\xA0\x80"), fffd + fffd + fffd);  // surrogate
  EXPECT_EQ(cfValidUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);
  EXPECT_EQ(cfValidUtf8("\xF0\x9F\x98x"), fffd + "x");  // truncated: one subpart
  EXPECT_EQ(cfValidUtf8("\xE2\x82"), fffd);
}

// ---------------------------------------------------------------------------------------
// The global mutex

TEST(GlobalMutex, IsOneObjectThatExcludesOtherThreads) {
  long counter = 0;  // guarded by the global mutex only
  std::vector<std::thread> threads;
  std::vector<ccMutex*> seen(4, nullptr);
  for (ccMutex*& m : seen)
    threads.emplace_back([&] {
      m = &ccMutex::global();
      for (int i = 0; i < 2000; ++i) {
        ccLock lock(ccMutex::global());
        const long read = counter;
        if (i % 64 == 0) std::this_thread::yield();
        counter = read + 1;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(seen, std::vector<ccMutex*>(4, &ccMutex::global()));
  EXPECT_EQ(counter, 4 * 2000);
}

}  // namespace
