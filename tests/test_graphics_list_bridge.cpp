// Graphics-list records drawn on tablets, turned into graphic lists and written back: every
// record type draws as its tablet calls; list -> graphic list -> list keeps the records; unknown
// and malformed record areas.
#include <dispc/bridge.h>
#include <dispc/graphicgroup.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "assertcounter.h"
#include "graphictesting.h"

namespace {

using V = ccVector<2>;
constexpr ccUITablet::Layers kOverlay = ccUITablet::eOverlayLayer;
constexpr std::uint32_t kGraphicBadParams = 0x10009600;

// A record area built byte by byte, read through a cgr_list that points at an exact-size copy
// (so that the address sanitizer sees any read past it).
struct RawList {
  std::vector<unsigned char> bytes;
  std::int32_t count = 0;
  mutable std::vector<unsigned char> area;

  RawList& raw(const void* p, std::size_t n) {
    bytes.insert(bytes.end(), static_cast<const unsigned char*>(p),
                 static_cast<const unsigned char*>(p) + n);
    return *this;
  }
  RawList& i32(std::int32_t v) { return raw(&v, 4); }
  RawList& real(double v) { return raw(&v, 8); }
  RawList& record(std::int32_t type, cgr_color colour) {
    ++count;
    return i32(type).i32(static_cast<std::int32_t>(colour));
  }
  // The first `size` bytes of the area under the whole count.
  cgr_list list(std::size_t size) const {
    area.assign(bytes.begin(), bytes.begin() + static_cast<long>(size));
    return cgr_list{count, size, 0, area.empty() ? nullptr : area.data()};
  }
  cgr_list list() const { return list(bytes.size()); }
};

// A list of every record type, each in its own colour: the writable ones through the append
// functions, the circle and the ellipse (which have none) as raw records.
struct EveryRecord {
  cgr_list written;
  RawList all;
  cmath_shapeEllipse ellipse;
  EveryRecord() {
    cgr_list_init(&written);
    const cmath_vect poly[] = {{0, 0}, {10, 5}, {20, 0}},
                     ends[] = {{1, 2}, {3, 4}, {5, 6}, {70, 8}};
    cmath_shapeAffineRect affine;
    EXPECT_EQ(cmath_shapeAffineRect_initPoints(&affine, {10, 10}, {40, 15}, {5, 30}), 0);
    EXPECT_EQ(cmath_shapeEllipse_init(&ellipse, {70, 50}, {25, 9}, -0.4), 0);
    EXPECT_EQ(cgr_list_appendPoint(&written, 1, 7, -2), 0);
    EXPECT_EQ(cgr_list_appendLineSeg(&written, 2, 1, 2, 30, 40), 0);
    EXPECT_EQ(cgr_list_appendLineDirPoint(&written, 3, {1, 2}, {10, 20}), 0);
    EXPECT_EQ(cgr_list_appendRect(&written, 4, 10, 20, {30, 15}), 0);
    EXPECT_EQ(cgr_list_appendGenRect(&written, 5, {50, 60}, {15, 7.5}, 0, {0.25, 0.5}), 0);
    const std::size_t split = written.size;  // the circle and the ellipse go here in `all`
    EXPECT_EQ(cgr_list_appendPolyline(&written, 7, 3, poly, true), 0);
    EXPECT_EQ(cgr_list_appendShapeAffineRect(&written, 8, &affine), 0);
    EXPECT_EQ(cgr_list_appendTextEx(&written, 9, {30, 40}, "label", 10, 4, {2.7, -1.5}), 0);
    EXPECT_EQ(cgr_list_appendLineSegSet(&written, 11, 2, ends), 0);
    all.raw(written.records, split).count = 5;
    all.record(cgr_eCircle, 6).real(40).real(30).real(12);
    all.record(cgr_eEllipse, 0x10203080).raw(&ellipse, sizeof ellipse);
    all.raw(written.records + split, written.size - split).count += 4;
  }
  ~EveryRecord() { cgr_list_free(&written); }

  // What drawing `all` stands for, as tablet calls.
  void drawDirect(ccUITablet& t) const {
    const auto props = [](const ccColor& c) {
      return ccGraphicProps(c, 1, ccGraphicProps::eSolid, false);
    };
    t.drawPointIcon(ccPoint(7, -2), cfColor(1), kOverlay);
    t.draw(ccLineSeg(V(1, 2), V(30, 40)), cfColor(2), kOverlay);
    t.draw(ccLine(V(1, 2), V(10, 20)), cfColor(3), kOverlay);
    t.draw(ccRect(V(10, 20), V(30, 15)), cfColor(4), kOverlay, false);
    t.draw(ccGenRect(V(50, 60), V(15, 7.5), ccRadian(0), V(0.25, 0.5)), cfColor(5), kOverlay,
           false);
    t.draw(ccEllipse2(V(12, 12), ccRadian(0), V(40, 30)), props(cfColor(6)), kOverlay);
    const cmath_xform& m = ellipse.unitCircleMap;
    t.draw(ccEllipse2(ccXform<2>(ccMatrix<2>(m.m[0][0], m.m[0][1], m.m[1][0], m.m[1][1]),
                                 V(m.t.x, m.t.y))),
           props(cfColor(0x10203080)), kOverlay);
    t.draw(ccPolyline({V(0, 0), V(10, 5), V(20, 0)}, true), props(cfColor(7)), kOverlay);
    t.draw(ccAffineRectangle(V(10, 10), V(40, 15), V(5, 30)), cfColor(8), kOverlay);
    t.drawStart(ccPoint(30, 40), kOverlay);
    t.moveToRelPels(3, -2, kOverlay);
    t.draw("label", ccUITablet::drawPointArg(), cfColor(9), cfColor(10),
           ccUIFormat(ccUIFormat::eCenter), kOverlay);
    t.draw(ccLineSegSet({ccLineSeg(V(1, 2), V(3, 4)), ccLineSeg(V(5, 6), V(70, 8))}),
           props(cfColor(11)), kOverlay);
  }
};

using Board = graphic_testing::TracedTablet;

std::string bytesOf(const cgr_list& l) {
  return std::string(reinterpret_cast<const char*>(l.records), l.size);
}

}  // namespace

TEST(GraphicsListBridge, EveryRecordTypeDrawsAsItsTabletCalls) {
  const EveryRecord every;
  Board bridged, direct;
  for (Board* b : {&bridged, &direct})
    b->tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0.5, 0, 1.5), V(7, -3)));
  const cgr_list list = every.all.list();
  cfUITabletDraw(bridged.tablet, &list, kOverlay);
  every.drawDirect(direct.tablet);
  EXPECT_EQ(bridged.calls(), direct.calls());
  EXPECT_EQ(bridged.sketchBytes(), direct.sketchBytes());
}

TEST(GraphicsListBridge, ListToGraphicListToListKeepsEveryRecordThatHasAWriter) {
  const EveryRecord every;
  const cgr_list list = every.all.list();
  ccGraphicList graphics;
  cfGraphicListAppend(graphics, &list);
  ASSERT_EQ(graphics.size(), 11u);
  cgr_list back;
  cgr_list_init(&back);
  AssertCounter asserts;
  cfGraphicListAppend(&back, graphics);
  EXPECT_EQ(asserts.reports(), 2);  // the circle and the ellipse have no append function
  EXPECT_EQ(back.count, 9);
  EXPECT_EQ(bytesOf(back), bytesOf(every.written));
  cgr_list_free(&back);
}

TEST(GraphicsListBridge, TextRecordWithEmptyStringOccupies49BytesAfterTypeAndColour) {
  cgr_list list;
  cgr_list_init(&list);
  ASSERT_EQ(cgr_list_appendTextEx(&list, 2, {1, 2}, "", 3, 8, {0, 0}), 0);
  EXPECT_EQ(list.size, 8u + 49u);
  ASSERT_EQ(cgr_list_appendPoint(&list, 4, 5, 6), 0);  // read right after the text
  ccGraphicList graphics;
  cfGraphicListAppend(graphics, &list);
  ASSERT_EQ(graphics.size(), 2u);
  const auto& text = dynamic_cast<const ccGraphicText&>(**graphics.begin());
  EXPECT_EQ(text.text(), "");
  EXPECT_EQ(text.format().alignment(), ccUIFormat::eBottomRight);
  EXPECT_EQ(dynamic_cast<const ccGraphicPointIcon&>(**std::next(graphics.begin())).point(),
            ccPoint(5, 6));
  cgr_list_free(&list);
}

TEST(GraphicsListBridge, UnknownTypeIsReadAsAPointAfterAnAssertion) {
  for (std::int32_t type : {11, -1, 0x7fffffff}) {
    RawList raw;
    raw.record(type, 3).real(4).real(5).record(cgr_ePoint, 6).real(7).real(8);
    const cgr_list list = raw.list();
    Board bridged, direct;
    AssertCounter asserts;
    cfUITabletDraw(bridged.tablet, &list, kOverlay);
    EXPECT_EQ(asserts.reports(), 1) << type;
    direct.tablet.drawPointIcon(ccPoint(4, 5), cfColor(3), kOverlay);
    direct.tablet.drawPointIcon(ccPoint(7, 8), cfColor(6), kOverlay);
    EXPECT_EQ(bridged.calls(), direct.calls()) << type;
  }
}

TEST(GraphicsListBridge, MalformedRecordAreaIsRefusedAndChangesNothing) {
  const EveryRecord every;
  cmath_shapeEllipse broken = every.ellipse;
  broken.unitCircleMap.t.x = std::nan("");
  RawList negativeCount, hugeCount, brokenEllipse, noNul;
  negativeCount.record(cgr_ePolyline, 1).i32(-1).i32(0);
  hugeCount.record(cgr_eLineSegSet, 1).i32(0x7fffffff).real(1).real(2).real(3).real(4);
  brokenEllipse.record(cgr_eEllipse, 1).raw(&broken, sizeof broken);
  noNul.record(cgr_eText, 1).raw(std::string(48, '\0').data(), 48).raw("abc", 3);
  struct Case {
    std::string name;
    cgr_list list;
    std::uint32_t error;
  };
  std::vector<Case> cases = {
      {"negative point count", negativeCount.list(), kGraphicBadParams},
      {"segments past the end", hugeCount.list(), kGraphicBadParams},
      {"no NUL", noNul.list(), kGraphicBadParams},
      {"shape-math status", brokenEllipse.list(), cmath_eBadShape},
      {"negative record count", cgr_list{-1, 0, 0, nullptr}, kGraphicBadParams},
      {"no record area", cgr_list{1, 24, 0, nullptr}, kGraphicBadParams}};
  // Every area shorter than the count claims, one byte at a time.
  std::vector<RawList> shorter(every.all.bytes.size(), every.all);
  for (std::size_t size = 0; size < shorter.size(); ++size)
    cases.push_back({"area of " + std::to_string(size) + " bytes", shorter[size].list(size),
                     kGraphicBadParams});
  for (const Case& c : cases) {
    Board board;
    ccGraphicList graphics;
    graphics.append(ccGraphicPtrh(new ccGraphicPointIcon(ccPoint(1, 1), ccColor::redColor())),
                    false);
    for (int path = 0; path < 2; ++path) {
      try {
        path ? cfGraphicListAppend(graphics, &c.list)
             : cfUITabletDraw(board.tablet, &c.list, kOverlay);
        ADD_FAILURE() << c.name << " accepted";
      } catch (const ccException& e) {
        EXPECT_EQ(e.errorNumber(), c.error) << c.name << ": " << e.what();
      }
    }
    EXPECT_TRUE(board.log->empty()) << c.name;
    EXPECT_EQ(graphics.size(), 1u) << c.name;
  }
  // The message names the record that runs short.
  const cgr_list cut = every.all.list(8 + 16 + 8 + 31);
  try {
    cfUITabletDraw(*std::make_unique<ccUITablet>(), &cut, kOverlay);
    ADD_FAILURE() << "a cut record accepted";
  } catch (const ccGraphic::BadParams& e) {
    EXPECT_EQ(e.message(),
              "cgr_list record 1 (type 1) at byte 24: the payload runs past the end (the record "
              "area holds 63 bytes)");
  }
}

TEST(GraphicsListBridge, WritingSkipsGraphicsWithoutRecordsAndTakesBackAFailedCall) {
  ccGraphicList graphics;
  graphics.append(
      ccGraphicPtrh(new ccGraphicCross(ccCross(V(1, 2), ccRadian(0), 3), ccGraphicProps())), false);
  for (int i = 0; i < 2; ++i)
    graphics.append(ccGraphicPtrh(new ccGraphicPointIcon(ccPoint(i, 2), ccColor::redColor())),
                    false);
  // One record short of the largest count: the first point fits, the second does not.
  cgr_list list;
  cgr_list_init(&list);
  ASSERT_EQ(cgr_list_appendPoint(&list, 1, 0, 0), 0);
  list.count = 0x7ffffffe;
  AssertCounter asserts;
  try {
    cfGraphicListAppend(&list, graphics);
    ADD_FAILURE() << "appended past the largest count";
  } catch (const ccStatusError& e) {
    EXPECT_EQ(e.status(), cgr_eNoMemory);
  }
  EXPECT_EQ(asserts.reports(), 1);  // the cross
  EXPECT_EQ(list.count, 0x7ffffffe);
  EXPECT_EQ(list.size, 24u);
  cgr_list_free(&list);
}
