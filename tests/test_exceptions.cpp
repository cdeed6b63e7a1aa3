// Error classes of the core and display libraries: numbers, registration, archive form,
// re-throwing; status errors; the assertion hook; text conversion; the global mutex.
#include <core/archive.h>
#include <core/assert.h>
#include <core/errors.h>
#include <core/exception.h>
#include <core/mutex.h>
#include <core/unicode.h>
#include <dispc/errors.h>
#include <dispc/graphic.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <typeinfo>
#include <utility>
#include <vector>

#include "archivebytes.h"

namespace {

// Expected identity of every error class: its qualified name and its number.
template <class E>
struct Expected;

#define DISPC_EXPECTED_ERROR(Class, Number)         \
  template <>                                       \
  struct Expected<Class> {                          \
    static constexpr const char* name = #Class;     \
    static constexpr std::uint32_t number = Number; \
  }

DISPC_EXPECTED_ERROR(ccArchive::UnknownVersion, 0x10001A00);
DISPC_EXPECTED_ERROR(ccArchive::EndOfData, 0x10001A01);
DISPC_EXPECTED_ERROR(ccArchive::BadData, 0x10001A02);
DISPC_EXPECTED_ERROR(ccArchive::UnknownClass, 0x10001A03);
DISPC_EXPECTED_ERROR(ccArchive::FileError, 0x10001A04);
DISPC_EXPECTED_ERROR(ccArchive::WrongDirection, 0x10001A05);
DISPC_EXPECTED_ERROR(ccShapesError::BadGeom, 0x10003100);
DISPC_EXPECTED_ERROR(ccShapesError::DegenerateShape, 0x10003101);
DISPC_EXPECTED_ERROR(ccShapesError::EmptyShape, 0x10003102);
DISPC_EXPECTED_ERROR(ccShapesError::BadParams, 0x10003103);
DISPC_EXPECTED_ERROR(ccShapesError::BadRadius, 0x10003104);
DISPC_EXPECTED_ERROR(ccShapesError::BadCoef, 0x10003105);
DISPC_EXPECTED_ERROR(ccShapesError::NotOpenContour, 0x10003106);
DISPC_EXPECTED_ERROR(ccShapesError::NoTangent, 0x10003107);
DISPC_EXPECTED_ERROR(ccShapesError::NotRegion, 0x10003108);
DISPC_EXPECTED_ERROR(ccPel::UnboundWindow, 0x10003300);
DISPC_EXPECTED_ERROR(ccUIError::BadLayer, 0x10002B00);
DISPC_EXPECTED_ERROR(ccUIError::BadIconPattern, 0x10002B01);
DISPC_EXPECTED_ERROR(ccUIError::FlagStackUnderflow, 0x10002B02);
DISPC_EXPECTED_ERROR(ccUIError::FlagStackOverflow, 0x10002B03);
DISPC_EXPECTED_ERROR(ccUIError::FlagStackOutOfRange, 0x10002B04);
DISPC_EXPECTED_ERROR(ccUIError::NotAvailable, 0x10002B06);
DISPC_EXPECTED_ERROR(ccUIError::NotEnabled, 0x10002B07);
DISPC_EXPECTED_ERROR(ccUIError::BadKeyValue, 0x10002B08);
DISPC_EXPECTED_ERROR(ccUIError::InvalidColorMapSize, 0x10002B09);
DISPC_EXPECTED_ERROR(ccUIError::NotImplemented, 0x10002B12);
DISPC_EXPECTED_ERROR(ccUIError::BadParams, 0x10002B13);
DISPC_EXPECTED_ERROR(ccUIError::NotRGBColor, 0x10002B14);
DISPC_EXPECTED_ERROR(ccUIError::NotIndexColor, 0x10002B15);
DISPC_EXPECTED_ERROR(ccUIError::NoLongerSupported, 0x10002B16);
DISPC_EXPECTED_ERROR(ccUIError::InvalidUISketch, 0x10002B17);
DISPC_EXPECTED_ERROR(ccUIError::InitFailed, 0x10002B18);
DISPC_EXPECTED_ERROR(ccGraphic::BadParams, 0x10009600);
DISPC_EXPECTED_ERROR(ccGraphic::NoGraphicForShape, 0x10009601);
#undef DISPC_EXPECTED_ERROR

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

template <class E>
class ErrorClassTest : public ::testing::Test {};

using AllErrorClasses = ::testing::Types<
    ccArchive::UnknownVersion, ccArchive::EndOfData, ccArchive::BadData, ccArchive::UnknownClass,
    ccArchive::FileError, ccArchive::WrongDirection, ccShapesError::BadGeom,
    ccShapesError::DegenerateShape, ccShapesError::EmptyShape, ccShapesError::BadParams,
    ccShapesError::BadRadius, ccShapesError::BadCoef, ccShapesError::NotOpenContour,
    ccShapesError::NoTangent, ccShapesError::NotRegion, ccPel::UnboundWindow, ccUIError::BadLayer,
    ccUIError::BadIconPattern, ccUIError::FlagStackUnderflow, ccUIError::FlagStackOverflow,
    ccUIError::FlagStackOutOfRange, ccUIError::NotAvailable, ccUIError::NotEnabled,
    ccUIError::BadKeyValue, ccUIError::InvalidColorMapSize, ccUIError::NotImplemented,
    ccUIError::BadParams, ccUIError::NotRGBColor, ccUIError::NotIndexColor,
    ccUIError::NoLongerSupported, ccUIError::InvalidUISketch, ccUIError::InitFailed,
    ccGraphic::BadParams, ccGraphic::NoGraphicForShape>;

class ErrorClassNames {
 public:
  template <class E>
  static std::string GetName(int) {
    std::string n = Expected<E>::name;
    std::replace(n.begin(), n.end(), ':', '_');
    return n;
  }
};

TYPED_TEST_SUITE(ErrorClassTest, AllErrorClasses, ErrorClassNames);

TYPED_TEST(ErrorClassTest, HasItsFixedNumber) {
  const TypeParam e;
  EXPECT_EQ(e.errorNumber(), Expected<TypeParam>::number);
  const ccException& base = e;
  EXPECT_EQ(base.errorNumber(), Expected<TypeParam>::number);
  EXPECT_TRUE(e.message().empty());
}

TYPED_TEST(ErrorClassTest, IsRegisteredUnderItsQualifiedName) {
  const std::string name = Expected<TypeParam>::name;
  EXPECT_TRUE(cc_Instantiator::isRegistered(name)) << name;
  const std::string* registered = cc_Instantiator::nameOf(typeid(TypeParam));
  ASSERT_NE(registered, nullptr) << name;
  EXPECT_EQ(*registered, name);
  EXPECT_EQ(cfClassName(typeid(TypeParam)), name);

  ccPersistent* made = cc_Instantiator::make(name);
  ASSERT_NE(made, nullptr);
  ccPtrHandle<ccException> h(dynamic_cast<ccException*>(made));
  ASSERT_TRUE(h);
  EXPECT_EQ(typeid(*h), typeid(TypeParam));
}

TYPED_TEST(ErrorClassTest, LoadsBackAsTheSameClass) {
  ccPtrHandle<ccException> h(new TypeParam);
  Bytes stored;
  ccPtrHandle<ccException> back = roundTrip(h, &stored);
  ASSERT_TRUE(back);
  EXPECT_NE(back.rep(), h.rep());
  EXPECT_EQ(typeid(*back), typeid(TypeParam));
  EXPECT_EQ(back->errorNumber(), Expected<TypeParam>::number);
  EXPECT_EQ(back->message(), h->message());

  // The stored form starts with tag 1 and the class name, then a version byte 0.
  const Bytes start = objectStart(Expected<TypeParam>::name);
  ASSERT_GT(stored.size(), start.size());
  EXPECT_TRUE(std::equal(start.begin(), start.end(), stored.begin()));
  EXPECT_EQ(stored[start.size()], 0x00);
}

TYPED_TEST(ErrorClassTest, FirstVersionByteOneIsUnknownVersionNamingTheClass) {
  Bytes bytes = objectStart(Expected<TypeParam>::name);
  bytes.insert(bytes.end(), {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  ccArchive in(bytes);
  ccPtrHandle<ccException> h;
  try {
    in || h;
    ADD_FAILURE() << "loaded version 1";
  } catch (const ccArchive::UnknownVersion& e) {
    EXPECT_EQ(e.source(), Expected<TypeParam>::name);
    EXPECT_EQ(e.line(), 0);
  }
  EXPECT_TRUE(h.isNull());
}

TYPED_TEST(ErrorClassTest, SuicideAndRethrowThrowsACopyOfTheSameClass) {
  ccException* p = new TypeParam;
  try {
    p->suicideAndRethrow();
  } catch (const TypeParam& e) {
    EXPECT_EQ(typeid(e), typeid(TypeParam));
    EXPECT_EQ(e.errorNumber(), Expected<TypeParam>::number);
    return;
  } catch (...) {
    ADD_FAILURE() << "threw another class";
    return;
  }
}

TYPED_TEST(ErrorClassTest, WhatNamesTheClassAndTheNumberInHex) {
  const TypeParam e;
  const std::string what = e.what();
  EXPECT_NE(what.find(Expected<TypeParam>::name), std::string::npos) << what;
  EXPECT_NE(lower(what).find(hex8(Expected<TypeParam>::number)), std::string::npos) << what;
  const std::exception& asStd = e;
  EXPECT_EQ(std::string(asStd.what()), what);
}

// ---------------------------------------------------------------------------------------
// The display library's errors in detail

template <class E>
class UIErrorTest : public ::testing::Test {};

using UIErrorClasses =
    ::testing::Types<ccUIError::BadLayer, ccUIError::BadIconPattern, ccUIError::FlagStackUnderflow,
                     ccUIError::FlagStackOverflow, ccUIError::FlagStackOutOfRange,
                     ccUIError::NotAvailable, ccUIError::NotEnabled, ccUIError::BadKeyValue,
                     ccUIError::InvalidColorMapSize, ccUIError::NotImplemented,
                     ccUIError::BadParams, ccUIError::NotRGBColor, ccUIError::NotIndexColor,
                     ccUIError::NoLongerSupported, ccUIError::InvalidUISketch,
                     ccUIError::InitFailed>;
TYPED_TEST_SUITE(UIErrorTest, UIErrorClasses, ErrorClassNames);

TYPED_TEST(UIErrorTest, DerivesFromTheFamilyBase) {
  const TypeParam e;
  EXPECT_NE(dynamic_cast<const ccUIError::Errors*>(&e), nullptr);
  try {
    throw TypeParam();
  } catch (const ccUIError::Errors& caught) {
    EXPECT_EQ(caught.errorNumber(), Expected<TypeParam>::number);
  }
}

TYPED_TEST(UIErrorTest, ExactArchiveForm) {
  ccPtrHandle<ccException> h(new TypeParam);
  ccArchive out;
  out || h;
  Bytes expected = objectStart(Expected<TypeParam>::name);
  // Version of the class, of ccUIError::Errors, of ccException; the empty message.
  expected.insert(expected.end(), {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  EXPECT_EQ(out.data(), expected);
}

// Version byte 1 of the family base (second byte) or of ccException (third) names that base.
TYPED_TEST(UIErrorTest, LaterVersionByteOneNamesItsBase) {
  for (const auto& [at, base] : {std::pair<int, const char*>{1, "ccUIError::Errors"},
                                 std::pair<int, const char*>{2, "ccException"}}) {
    Bytes bytes = objectStart(Expected<TypeParam>::name);
    const std::size_t versions = bytes.size();
    bytes.insert(bytes.end(), {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    bytes[versions + at] = 0x01;
    ccArchive in(bytes);
    ccPtrHandle<ccException> h;
    try {
      in || h;
      ADD_FAILURE() << "loaded version 1 of " << base;
    } catch (const ccArchive::UnknownVersion& e) {
      EXPECT_EQ(e.source(), base);
      EXPECT_EQ(e.line(), 0);
    }
  }
}

TYPED_TEST(UIErrorTest, EveryTruncationIsEndOfData) {
  ccPtrHandle<ccException> h(new TypeParam);
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

TEST(UIError, SuicideThroughTheFamilyBaseRethrowsTheConcreteClass) {
  ccUIError::Errors* p = new ccUIError::NotRGBColor;
  EXPECT_THROW(p->suicideAndRethrow(), ccUIError::NotRGBColor);
}

TEST(UIError, SharedErrorIsArchivedOnce) {
  ccPtrHandle<ccException> h(new ccUIError::BadLayer);
  ccPtrHandle<ccException> alias = h;
  ccArchive out;
  out || h || alias;
  Bytes expected = objectStart("ccUIError::BadLayer");
  expected.insert(expected.end(), {0, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0});
  EXPECT_EQ(out.data(), expected);
  ccArchive in(out.data());
  ccPtrHandle<ccException> a, b;
  in || a || b;
  EXPECT_EQ(a.rep(), b.rep());
  EXPECT_EQ(typeid(*a), typeid(ccUIError::BadLayer));
}

// ---------------------------------------------------------------------------------------
// Core errors that carry data

// The graphic errors carry a message, archived under their family base.
TEST(GraphicErrors, ExactArchiveFormWithTheMessage) {
  ccPtrHandle<ccException> h(new ccGraphic::BadParams("Item index out of range"));
  ccArchive out;
  out || h;
  Bytes expected = objectStart("ccGraphic::BadParams");
  const std::size_t versions = expected.size();
  // Version of the class, of ccGraphic::Errors, of ccExceptionWithString, of ccException.
  expected.insert(expected.end(), {0x00, 0x00, 0x00, 0x00});
  putString(expected, "Item index out of range");
  EXPECT_EQ(out.data(), expected);
  const ccPtrHandle<ccException> back = roundTrip(h);
  ASSERT_NE(dynamic_cast<const ccGraphic::Errors*>(back.get()), nullptr);
  EXPECT_EQ(back->message(), "Item index out of range");

  expected[versions + 1] = 0x01;
  ccArchive in(expected);
  ccPtrHandle<ccException> none;
  try {
    in || none;
    ADD_FAILURE() << "loaded version 1";
  } catch (const ccArchive::UnknownVersion& e) {
    EXPECT_EQ(e.source(), "ccGraphic::Errors");
    EXPECT_EQ(e.line(), 0);
  }
}

TEST(CoreErrors, MessageSurvivesArchiving) {
  ccPtrHandle<ccException> h(new ccShapesError::BadRadius("radius -1"));
  EXPECT_EQ(h->message(), "radius -1");
  ccPtrHandle<ccException> back = roundTrip(h);
  ASSERT_TRUE(back);
  EXPECT_EQ(typeid(*back), typeid(ccShapesError::BadRadius));
  EXPECT_EQ(back->message(), "radius -1");
  const std::string what = back->what();
  EXPECT_NE(what.find("ccShapesError::BadRadius"), std::string::npos);
  EXPECT_NE(what.find("radius -1"), std::string::npos);
}

TEST(CoreErrors, MessageWithNulsAndHighBytesSurvives) {
  const std::string msg("a\0\xC3\xA9", 4);
  ccPtrHandle<ccException> h(new ccArchive::BadData(msg));
  ccPtrHandle<ccException> back = roundTrip(h);
  EXPECT_EQ(back->message(), msg);
}

TEST(CoreErrors, RethrownCopyKeepsTheMessage) {
  ccException* p = new ccPel::UnboundWindow("no pels");
  try {
    p->suicideAndRethrow();
  } catch (const ccPel::UnboundWindow& e) {
    EXPECT_EQ(e.message(), "no pels");
    EXPECT_EQ(e.errorNumber(), 0x10003300u);
  }
}

TEST(CoreErrors, UnknownVersionCarriesSourceAndLine) {
  const ccArchive::UnknownVersion e("dispc/somewhere", 321);
  EXPECT_EQ(e.source(), "dispc/somewhere");
  EXPECT_EQ(e.line(), 321);
  EXPECT_NE(e.message().find("dispc/somewhere"), std::string::npos);
  EXPECT_NE(e.message().find("321"), std::string::npos);

  ccPtrHandle<ccException> h(new ccArchive::UnknownVersion(e));
  ccPtrHandle<ccException> back = roundTrip(h);
  auto* uv = dynamic_cast<ccArchive::UnknownVersion*>(back.rep());
  ASSERT_NE(uv, nullptr);
  EXPECT_EQ(uv->source(), "dispc/somewhere");
  EXPECT_EQ(uv->line(), 321);
  EXPECT_EQ(uv->message(), e.message());

  ccException* heap = new ccArchive::UnknownVersion(e);
  try {
    heap->suicideAndRethrow();
  } catch (const ccArchive::UnknownVersion& c) {
    EXPECT_EQ(c.source(), "dispc/somewhere");
    EXPECT_EQ(c.line(), 321);
  }
}

TEST(CoreErrors, PlainExceptionHasNumberZeroAndRoundTrips) {
  const ccException e;
  EXPECT_EQ(e.errorNumber(), 0u);
  EXPECT_TRUE(cc_Instantiator::isRegistered("ccException"));
  EXPECT_TRUE(cc_Instantiator::isRegistered("ccExceptionWithString"));
  ccPtrHandle<ccException> h(new ccExceptionWithString("text"));
  ccPtrHandle<ccException> back = roundTrip(h);
  EXPECT_EQ(typeid(*back), typeid(ccExceptionWithString));
  EXPECT_EQ(back->message(), "text");
  ccException* heap = new ccException;
  EXPECT_THROW(heap->suicideAndRethrow(), ccException);
}

// ---------------------------------------------------------------------------------------
// Status errors

TEST(StatusError, ZeroStatusDoesNothing) { EXPECT_NO_THROW(cfThrowExceptionOnFailure(0)); }

TEST(StatusError, NonZeroStatusThrowsStatusError) {
  try {
    cfThrowExceptionOnFailure(5);
    ADD_FAILURE() << "no exception";
  } catch (const ccStatusError& e) {
    EXPECT_EQ(typeid(e), typeid(ccStatusError));
    EXPECT_EQ(e.errorNumber(), 5u);
    EXPECT_EQ(e.status(), 5);
  }
  try {
    cfThrowExceptionOnFailure(-1);
    ADD_FAILURE() << "no exception";
  } catch (const ccStatusError& e) {
    EXPECT_EQ(e.errorNumber(), 0xFFFFFFFFu);
    EXPECT_EQ(e.status(), -1);
  }
}

TEST(StatusError, IsRegisteredArchivedAndRethrownWithItsStatus) {
  EXPECT_TRUE(cc_Instantiator::isRegistered("ccStatusError"));
  ccPtrHandle<ccException> h(new ccStatusError(0x10002B00));
  ccPtrHandle<ccException> back = roundTrip(h);
  ASSERT_TRUE(back);
  EXPECT_EQ(typeid(*back), typeid(ccStatusError));
  EXPECT_EQ(back->errorNumber(), 0x10002B00u);
  EXPECT_EQ(back->message(), h->message());

  ccException* heap = new ccStatusError(77);
  try {
    heap->suicideAndRethrow();
  } catch (const ccStatusError& e) {
    EXPECT_EQ(e.status(), 77);
  }
}

TEST(StatusError, WhatHasTheStatusInHex) {
  const ccStatusError e(0x2A);
  const std::string what = e.what();
  EXPECT_NE(what.find("ccStatusError"), std::string::npos);
  EXPECT_NE(lower(what).find("0x0000002a"), std::string::npos) << what;
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

TEST(AssertHook, InstalledHandlerReceivesLineAndFile) {
  gReports = 0;
  const cstd_AssertHandler previous = cstd_setAssertHandler(&recordingHandler);
  ASSERT_NE(previous, nullptr);
  const long countBefore = cstd_assertCount();
  cstd_assert_(123, "dispc/here");
  EXPECT_EQ(gReports, 1);
  EXPECT_EQ(gLastLine, 123);
  EXPECT_EQ(gLastFile, "dispc/here");
  cstd_assert_(7);
  EXPECT_EQ(gReports, 2);
  EXPECT_EQ(gLastLine, 7);
  EXPECT_EQ(gLastFile, "<null>");
  EXPECT_EQ(cstd_assertCount(), countBefore + 2);

  // Setting returns the handler it replaces.
  EXPECT_EQ(cstd_setAssertHandler(&otherHandler), &recordingHandler);
  cstd_assert_(9, "x");
  EXPECT_EQ(gReports, 2);
  EXPECT_EQ(cstd_setAssertHandler(previous), &otherHandler);
}

TEST(AssertHook, NullRestoresTheDefaultHandler) {
  const cstd_AssertHandler original = cstd_setAssertHandler(&recordingHandler);
  EXPECT_EQ(cstd_setAssertHandler(nullptr), &recordingHandler);
  // The default is back: installing again hands it out.
  const cstd_AssertHandler defaultHandler = cstd_setAssertHandler(original);
  EXPECT_NE(defaultHandler, nullptr);
  EXPECT_NE(defaultHandler, &recordingHandler);
  EXPECT_EQ(defaultHandler, original);
}

// ---------------------------------------------------------------------------------------
// UTF-16 to UTF-8

TEST(ConvertString, AsciiPassesThrough) {
  EXPECT_EQ(cfConvertString(u"Hello, 1!"), "Hello, 1!");
  EXPECT_EQ(cfConvertString(u""), "");
  EXPECT_EQ(cfConvertString(static_cast<const char16_t*>(nullptr)), "");
}

// One unit at each end of the one-, two- and three-byte ranges and around the surrogates.
TEST(ConvertString, OneToThreeByteSequencesAtTheirBounds) {
  const struct {
    char16_t unit;
    const char* utf8;
  } cases[] = {{0x007F, "\x7F"},         {0x0080, "\xC2\x80"},     {0x00E9, "\xC3\xA9"},
               {0x07FF, "\xDF\xBF"},     {0x0800, "\xE0\xA0\x80"}, {0x20AC, "\xE2\x82\xAC"},
               {0xD7FF, "\xED\x9F\xBF"}, {0xE000, "\xEE\x80\x80"}, {0xFFFF, "\xEF\xBF\xBF"}};
  for (const auto& c : cases) {
    const char16_t units[] = {c.unit, 0};
    EXPECT_EQ(cfConvertString(units), c.utf8) << static_cast<int>(c.unit);
  }
}

TEST(ConvertString, SurrogatePairIsFourBytes) {
  const char16_t smile[] = {0xD83D, 0xDE00, 0};  // U+1F600
  EXPECT_EQ(cfConvertString(smile), "\xF0\x9F\x98\x80");
  const char16_t first[] = {0xD800, 0xDC00, 0};  // U+10000
  EXPECT_EQ(cfConvertString(first), "\xF0\x90\x80\x80");
  const char16_t last[] = {0xDBFF, 0xDFFF, 0};  // U+10FFFF
  EXPECT_EQ(cfConvertString(last), "\xF4\x8F\xBF\xBF");
  const char16_t mixed[] = {'a', 0xD83D, 0xDE00, 'b', 0};
  EXPECT_EQ(cfConvertString(mixed),
            "a\xF0\x9F\x98\x80"
            "b");
}

TEST(ConvertString, UnpairedSurrogatesBecomeReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  const char16_t loneHighAtEnd[] = {'a', 0xD83D, 0};
  EXPECT_EQ(cfConvertString(loneHighAtEnd), "a" + fffd);
  const char16_t highThenLetter[] = {0xD83D, 'x', 0};
  EXPECT_EQ(cfConvertString(highThenLetter), fffd + "x");
  const char16_t twoHighs[] = {0xD800, 0xD800, 0xDC00, 0};
  EXPECT_EQ(cfConvertString(twoHighs), fffd + "\xF0\x90\x80\x80");
  const char16_t loneLow[] = {0xDC00, 'y', 0};
  EXPECT_EQ(cfConvertString(loneLow), fffd + "y");
  const char16_t lowThenHigh[] = {0xDE00, 0xD83D, 0};
  EXPECT_EQ(cfConvertString(lowThenHigh), fffd + fffd);
}

TEST(ConvertString, CountLimitsTheUnitsRead) {
  const char16_t units[] = {'a', 'b', 0, 'c', 'd', 0};
  EXPECT_EQ(cfConvertString(units), "ab");
  EXPECT_EQ(cfConvertString(units, 5), std::string("ab\0cd", 5));
  EXPECT_EQ(cfConvertString(units, 1), "a");
  EXPECT_EQ(cfConvertString(units, 0), "");
  const std::u16string withNul(u"x\0y", 3);
  EXPECT_EQ(cfConvertString(withNul), std::string("x\0y", 3));
}

TEST(ConvertString, CountEndingInsideAPairGivesReplacement) {
  const char16_t smile[] = {0xD83D, 0xDE00, 0};
  EXPECT_EQ(cfConvertString(smile, 1), "\xEF\xBF\xBD");
  EXPECT_EQ(cfConvertString(smile, 2), "\xF0\x9F\x98\x80");
}

// ---------------------------------------------------------------------------------------
// The global mutex

TEST(GlobalMutex, IsOneObjectAcrossThreads) {
  ccMutex* const here = &ccMutex::global();
  EXPECT_EQ(&ccMutex::global(), here);
  std::vector<ccMutex*> seen(4, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back([&seen, i] { seen[i] = &ccMutex::global(); });
  for (auto& t : threads) t.join();
  for (ccMutex* m : seen) EXPECT_EQ(m, here);
}

TEST(GlobalMutex, LockExcludesOtherThreads) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  long counter = 0;  // guarded by the global mutex only
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
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
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}

}  // namespace
