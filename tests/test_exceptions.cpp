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
#include <atomic>
#include <cctype>
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

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string hex8(std::uint32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", static_cast<unsigned>(n));
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
  const std::size_t versions = bytes.size();
  bytes.insert(bytes.end(), {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  bytes[versions + at] = 0x01;
  ccArchive in(bytes);
  ccPtrHandle<ccException> h;
  try {
    in || h;
    ADD_FAILURE() << "loaded version 1 of " << source;
  } catch (const ccArchive::UnknownVersion& e) {
    EXPECT_EQ(e.source(), source);
    EXPECT_EQ(e.line(), 0);
  }
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
    EXPECT_NE(lower(what).find(hex8(c.number)), std::string::npos) << what;
    EXPECT_EQ(cfClassName(typeid(*h)), c.name);
    ccPtrHandle<ccException> made(dynamic_cast<ccException*>(cc_Instantiator::make(c.name)));
    ASSERT_TRUE(made);
    EXPECT_EQ(typeid(*made), typeid(*h));

    Bytes stored;
    ccPtrHandle<ccException> back = roundTrip(h, &stored);
    ASSERT_TRUE(back);
    EXPECT_EQ(typeid(*back), typeid(*h));
    const Bytes start = objectStart(c.name);
    ASSERT_GT(stored.size(), start.size());
    EXPECT_TRUE(std::equal(start.begin(), start.end(), stored.begin()));
    EXPECT_EQ(stored[start.size()], 0x00);
    expectUnknownVersion(c.name, 0, c.name);
    if (c.uiError) {
      Bytes exact = start;
      exact.insert(exact.end(), {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
      EXPECT_EQ(stored, exact);
      expectUnknownVersion(c.name, 1, "ccUIError::Errors");
      expectUnknownVersion(c.name, 2, "ccException");
    }
    EXPECT_TRUE(c.rethrowsItself(c.make()));
  }
}

TEST(UIError, EveryTruncationIsEndOfDataOrBadCount) {
  ccPtrHandle<ccException> h(new ccUIError::BadLayer);
  ccArchive out;
  out || h;
  const Bytes& full = out.data();
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    ccArchive in(Bytes(full.begin(), full.begin() + cut));
    ccPtrHandle<ccException> back;
    if (cut >= 5 && cut < full.size() - 7) {
      // Inside the class name: its count exceeds the bytes left.
      EXPECT_THROW(in || back, ccArchive::BadData) << "cut " << cut;
    } else {
      EXPECT_THROW(in || back, ccArchive::EndOfData) << "cut " << cut;
    }
    EXPECT_TRUE(back.isNull());
  }
}

// ---------------------------------------------------------------------------------------
// Core errors that carry data

// The graphic errors carry a message, archived under their family base.
TEST(GraphicErrors, ExactArchiveFormWithTheMessage) {
  ccPtrHandle<ccException> h(new ccGraphic::BadParams("Item index out of range"));
  ccArchive out;
  out || h;
  Bytes expected = objectStart("ccGraphic::BadParams");
  // Version of the class, of ccGraphic::Errors, of ccExceptionWithString, of ccException.
  expected.insert(expected.end(), {0x00, 0x00, 0x00, 0x00});
  putString(expected, "Item index out of range");
  EXPECT_EQ(out.data(), expected);
  const ccPtrHandle<ccException> back = roundTrip(h);
  ASSERT_NE(dynamic_cast<const ccGraphic::Errors*>(back.get()), nullptr);
  EXPECT_EQ(back->message(), "Item index out of range");
  expectUnknownVersion("ccGraphic::BadParams", 1, "ccGraphic::Errors");
}

TEST(CoreErrors, MessagesSurviveArchivingAndRethrowing) {
  ccPtrHandle<ccException> h(new ccShapesError::BadRadius("radius -1"));
  ccPtrHandle<ccException> back = roundTrip(h);
  ASSERT_TRUE(back);
  EXPECT_EQ(typeid(*back), typeid(ccShapesError::BadRadius));
  EXPECT_NE(std::string(back->what()).find("radius -1"), std::string::npos);

  const std::string msg("a\0\xC3\xA9", 4);
  EXPECT_EQ(roundTrip(ccPtrHandle<ccException>(new ccArchive::BadData(msg)))->message(), msg);

  ccException* p = new ccPel::UnboundWindow("no pels");
  try {
    p->suicideAndRethrow();
  } catch (const ccPel::UnboundWindow& e) {
    EXPECT_EQ(e.message(), "no pels");
  }
  EXPECT_THROW((new ccException)->suicideAndRethrow(), ccException);
}

TEST(CoreErrors, UnknownVersionCarriesSourceAndLine) {
  const ccArchive::UnknownVersion e("dispc/somewhere", 321);
  ccPtrHandle<ccException> back =
      roundTrip(ccPtrHandle<ccException>(new ccArchive::UnknownVersion(e)));
  auto* uv = dynamic_cast<ccArchive::UnknownVersion*>(back.rep());
  ASSERT_NE(uv, nullptr);
  EXPECT_EQ(uv->source(), "dispc/somewhere");
  EXPECT_EQ(uv->line(), 321);
  EXPECT_EQ(uv->message(), e.message());
}

// ---------------------------------------------------------------------------------------
// Status errors

TEST(StatusError, ThrownForNonZeroStatusArchivedAndRethrownWithIt) {
  EXPECT_NO_THROW(cfThrowExceptionOnFailure(0));
  for (const std::int32_t status : {5, -1, 0x2A}) {
    try {
      cfThrowExceptionOnFailure(status);
      ADD_FAILURE() << "no exception for " << status;
    } catch (const ccStatusError& e) {
      EXPECT_EQ(e.errorNumber(), static_cast<std::uint32_t>(status));
      EXPECT_EQ(e.status(), status);
    }
  }
  EXPECT_NE(lower(ccStatusError(0x2A).what()).find("0x0000002a"), std::string::npos);
  ccPtrHandle<ccException> back =
      roundTrip(ccPtrHandle<ccException>(new ccStatusError(0x10002B00)));
  ASSERT_TRUE(back);
  EXPECT_EQ(typeid(*back), typeid(ccStatusError));
  EXPECT_EQ(back->errorNumber(), 0x10002B00u);
}

// ---------------------------------------------------------------------------------------
// Assertion reports

int gLastLine = -1;
std::string gLastFile;
int gReports = 0;
void recordingHandler(int line, const char* file) {
  gLastLine = line;
  gLastFile = file ? file : "<null>";
  ++gReports;
}
void otherHandler(int, const char*) {}

TEST(AssertHook, InstalledHandlerReceivesLineAndFileUntilReplaced) {
  gReports = 0;
  const cstd_AssertHandler previous = cstd_setAssertHandler(&recordingHandler);
  ASSERT_NE(previous, nullptr);
  const long countBefore = cstd_assertCount();
  cstd_assert_(123, "dispc/here");
  EXPECT_EQ(gLastLine, 123);
  EXPECT_EQ(gLastFile, "dispc/here");
  EXPECT_EQ(cstd_assertCount(), countBefore + 1);
  // Setting returns the handler it replaces; null restores the default.
  EXPECT_EQ(cstd_setAssertHandler(&otherHandler), &recordingHandler);
  cstd_assert_(9, "x");
  EXPECT_EQ(gReports, 1);
  EXPECT_EQ(cstd_setAssertHandler(nullptr), &otherHandler);
  // The default handler reports on stderr.
  testing::internal::CaptureStderr();
  cstd_assert_(7, "dispc/there");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "assertion failed: dispc/there line 7\n");
  EXPECT_EQ(cstd_setAssertHandler(previous), previous);
}

// ---------------------------------------------------------------------------------------
// UTF-16 to UTF-8: each end of the one-, two- and three-byte ranges, around the surrogates,
// pairs, unpaired surrogates (U+FFFD) and counts.

TEST(ConvertString, Table) {
  const std::string fffd = "\xEF\xBF\xBD";
  const struct {
    std::u16string units;
    std::size_t count;
    std::string utf8;
  } cases[] = {
      {u"Hello, 1!", std::string::npos, "Hello, 1!"},
      {u"", std::string::npos, ""},
      {u"\u007F", std::string::npos, "\x7F"},
      {u"\u0080", std::string::npos, "\xC2\x80"},
      {u"\u07FF", std::string::npos, "\xDF\xBF"},
      {u"\u0800", std::string::npos, "\xE0\xA0\x80"},
      {u"\u20AC", std::string::npos, "\xE2\x82\xAC"},
      {u"\uD7FF", std::string::npos, "\xED\x9F\xBF"},
      {u"\uE000", std::string::npos, "\xEE\x80\x80"},
      {u"\uFFFF", std::string::npos, "\xEF\xBF\xBF"},
      {{0xD800, 0xDC00}, std::string::npos, "\xF0\x90\x80\x80"},
      {{0xDBFF, 0xDFFF}, std::string::npos, "\xF4\x8F\xBF\xBF"},
      {{'a', 0xD83D, 0xDE00, 'b'},
       std::string::npos,
       "a\xF0\x9F\x98\x80"
       "b"},
      {{'a', 0xD83D}, std::string::npos, "a" + fffd},
      {{0xD83D, 'x'}, std::string::npos, fffd + "x"},
      {{0xD800, 0xD800, 0xDC00}, std::string::npos, fffd + "\xF0\x90\x80\x80"},
      {{0xDC00, 'y'}, std::string::npos, fffd + "y"},
      {{0xDE00, 0xD83D}, std::string::npos, fffd + fffd},
      {{'a', 'b', 0, 'c', 'd', 0}, std::string::npos, "ab"},
      {{'a', 'b', 0, 'c', 'd', 0}, 5, std::string("ab\0cd", 5)},
      {{'a', 'b'}, 1, "a"},
      {{'a', 'b'}, 0, ""},
      {{0xD83D, 0xDE00}, 1, fffd},
  };
  for (const auto& c : cases) {
    std::u16string terminated = c.units;
    terminated.push_back(0);
    EXPECT_EQ(cfConvertString(terminated.data(), c.count), c.utf8) << "case " << &c - cases;
  }
  EXPECT_EQ(cfConvertString(std::u16string(u"x\0y", 3)), std::string("x\0y", 3));
  EXPECT_EQ(cfConvertString(static_cast<const char16_t*>(nullptr)), "");
}

TEST(Unicode, IllFormedUtf8BecomesOneReplacementPerMaximalSubpart) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(cfValidUtf8("a\xFF"
                        "b"),
            "a" + fffd + "b");
  EXPECT_EQ(cfValidUtf8("\xC0\xAF"), fffd + fffd);             // overlong lead
  EXPECT_EQ(cfValidUtf8("\xE0\x80\x80"), fffd + fffd + fffd);  // overlong second byte
  EXPECT_EQ(cfValidUtf8("\xED\xA0\x80"), fffd + fffd + fffd);  // surrogate
  EXPECT_EQ(cfValidUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);
  EXPECT_EQ(cfValidUtf8("\xF0\x9F\x98"
                        "x"),
            fffd + "x");  // truncated: one subpart
  EXPECT_EQ(cfValidUtf8("\xE2\x82"), fffd);
  // Well-formed text (any UTF-16 converted) comes back unchanged; any bytes come out
  // well-formed, so a second pass changes nothing.
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::u16string units(random() % 8, u'a');
    for (char16_t& u : units) u = static_cast<char16_t>(random() % 3 ? random() % 0x800 : random());
    const std::string utf8 = cfConvertString(units);
    EXPECT_EQ(cfValidUtf8(utf8), utf8);
    std::string bytes(random() % 8, 'a');
    for (char& b : bytes) b = static_cast<char>(random() % 2 ? 0x80 + random() % 0x80 : random());
    const std::string valid = cfValidUtf8(bytes);
    EXPECT_EQ(cfValidUtf8(valid), valid) << round;
  }
}

// ---------------------------------------------------------------------------------------
// The global mutex

TEST(GlobalMutex, IsOneObjectThatExcludesOtherThreads) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  long counter = 0;  // guarded by the global mutex only
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::vector<std::thread> threads;
  std::vector<ccMutex*> seen(kThreads, nullptr);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      seen[t] = &ccMutex::global();
      for (int i = 0; i < kRounds; ++i) {
        ccLock lock(ccMutex::global());
        if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
        const long read = counter;
        if (i % 64 == 0) std::this_thread::yield();
        counter = read + 1;
        inside.fetch_sub(1);
      }
    });
  }
  for (auto& t : threads) t.join();
  for (ccMutex* m : seen) EXPECT_EQ(m, &ccMutex::global());
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}

}  // namespace
