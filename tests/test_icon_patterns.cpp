// Icon patterns and their hit tests. (How a tablet draws and records images and the point icon
// is among the cases of test_tablet_drawing.)
#include <dispc/tablet.h>

#include <gtest/gtest.h>

namespace {

TEST(IconPatterns, IconPatterns) {
  const ccRLEBuffer plain = ccUITablet::makeIcon("/12/34/", {});
  ccPelBuffer<unsigned char> pels;
  plain.decode(pels);
  ASSERT_EQ(pels.height(), 2);
  EXPECT_EQ(pels.get(1, 0), 2);
  EXPECT_EQ(pels.get(0, 1), 3);

  ccPelBuffer<unsigned char> mapped;
  ccUITablet::makeIcon("|10|.+", {9, 8}).decode(mapped);
  EXPECT_EQ(mapped.get(0, 0), 8);
  EXPECT_EQ(mapped.get(1, 0), 9);
  EXPECT_EQ(mapped.get(0, 1), ccColor::passIndex());
  EXPECT_EQ(mapped.get(1, 1), ccColor::passIndex());

  for (const char* bad : {"/12/3/", "/1x/", "", "//", "/12/345"})
    EXPECT_THROW(ccUITablet::makeIcon(bad, {}), ccUIError::BadIconPattern) << bad;
  EXPECT_THROW(ccUITablet::makeIcon(nullptr, {}), ccUIError::BadIconPattern);
}

TEST(IconPatterns, IconHitTests) {
  EXPECT_TRUE(ccUITablet::pointIconTouched(ccPair<long>(0, 0)));
  EXPECT_FALSE(ccUITablet::pointIconTouched(ccPair<long>(-6, -6)));
  EXPECT_FALSE(ccUITablet::pointIconTouched(ccPair<long>(7, 0)));
  EXPECT_TRUE(ccUITablet::pointIconTouched(ccPair<long>(-6, 0)));
  EXPECT_TRUE(ccUITablet::pointIconTouched(ccPair<long>(0, -5)));  // a '+': inside
  EXPECT_FALSE(ccUITablet::pointIconTouched(ccPair<long>(0, 7)));  // below the last row
  EXPECT_FALSE(ccUITablet::iconTouched(nullptr, ccPair<long>(0, 0)));
  EXPECT_TRUE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(0, 1)));
  EXPECT_FALSE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(1, 0)));
  EXPECT_FALSE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(1, 1)));  // '.' is transparent
  EXPECT_FALSE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(2, 0)));  // the separator
  EXPECT_FALSE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(-1, 0)));
  EXPECT_FALSE(ccUITablet::iconTouched("/1 /+./", ccPair<long>(0, -1)));

  EXPECT_EQ(ccUITablet::pointIcon().width(), 13);
}

}  // namespace
