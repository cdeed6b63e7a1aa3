// cv::Mat images as pel buffers: every supported type round trips, shared where the layout
// allows and copied where it does not; other types are refused with a message naming them.
#include "../archivebytes.h"

#include <backends/opencv/cvpels.h>

#include <opencv2/imgcodecs.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <type_traits>
#include <vector>

namespace {

// A Mat of the type with seeded random pels.
cv::Mat randomMat(int rows, int cols, int type, unsigned seed) {
  cv::Mat m(rows, cols, type);
  cv::RNG rng(seed);
  rng.fill(m, cv::RNG::UNIFORM, 0, CV_MAT_DEPTH(type) == CV_16U ? 65536 : 256);
  return m;
}

bool same(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

}  // namespace

TEST(CvPels, EverySupportedTypeRoundTripsSharedWhereItCan) {
  auto roundTrip = [](auto pel, int type, bool shared) {
    using T = decltype(pel);
    SCOPED_TRACE(cfCvTypeName(type));
    const cv::Mat m = randomMat(17, 23, type, 7);
    const auto p = cfPelsFromMat<T>(m);
    EXPECT_EQ(cfSharesPels(p, m), shared);
    if constexpr (std::is_same_v<T, ccPackedRGB32Pel>) {
      const unsigned char* bgr = m.ptr(3) + 5 * m.channels();
      const ccPackedRGB32Pel q = p.get(5, 3);
      EXPECT_TRUE(q.r() == bgr[2] && q.g() == bgr[1] && q.b() == bgr[0]);
      EXPECT_TRUE(same(cfMatFromPels(p, m.channels()), m));
    } else {
      EXPECT_EQ(p.get(5, 3), m.at<T>(3, 5));
      EXPECT_TRUE(same(cfMatFromPels(p), m));
    }
  };
  roundTrip(static_cast<unsigned char>(0), CV_8UC1, true);
  roundTrip(static_cast<unsigned short>(0), CV_16UC1, true);
  roundTrip(ccPackedRGB32Pel(), CV_8UC4, true);
  roundTrip(ccPackedRGB32Pel(), CV_8UC3, false);
}

TEST(CvPels, SharedPelsStayAliveAndSeeWritesBothWays) {
  ccPelBuffer<unsigned char> p;
  cv::Mat kept;
  {
    cv::Mat m = randomMat(8, 8, CV_8UC1, 3);
    kept = m;
    p = cfPelsFromMat8(m);
  }
  kept.release();  // the buffer holds the last reference
  p.set(2, 1, 200);
  cv::Mat view = cfMatViewOfPels(p);
  EXPECT_EQ(view.at<unsigned char>(1, 2), 200);
  view.at<unsigned char>(4, 4) = 9;
  EXPECT_EQ(p.get(4, 4), 9);
  // A region of interest is shared too, rows a whole step apart.
  const cv::Mat big = randomMat(20, 30, CV_16UC1, 5);
  const cv::Mat roi = big(cv::Rect(3, 4, 10, 6));
  const auto q = cfPelsFromMat16(roi);
  EXPECT_TRUE(cfSharesPels(q, roi));
  EXPECT_EQ(q.get(9, 5), big.at<unsigned short>(9, 12));
  // Pels at an odd address cannot be shared: copied.
  std::vector<unsigned char> bytes(64, 7);
  const cv::Mat odd(3, 4, CV_16UC1, bytes.data() + 1, 10);
  const auto copied = cfPelsFromMat16(odd);
  EXPECT_FALSE(cfSharesPels(copied, odd));
  EXPECT_TRUE(same(cfMatFromPels(copied), odd));
  EXPECT_EQ(cfPelsFromMat8(cv::Mat()).width(), 0);
}

TEST(CvPels, OtherTypesAreRefusedNamingTheType) {
  const cv::Mat f(4, 4, CV_32FC1, cv::Scalar(0));
  EXPECT_EQ(thrownBy<ccUIError::BadParams>([&] { cfPelsFromMat8(f); }),
            "10002b13: a cv::Mat of type CV_32FC1 cannot be an 8-bit pel buffer (CV_8UC1 is)");
  EXPECT_THROW(cfPelsFromMat16(cv::Mat(2, 2, CV_8UC1)), ccUIError::BadParams);
  EXPECT_THROW(cfPelsFromMatRGB(cv::Mat(2, 2, CV_16UC3)), ccUIError::BadParams);
  const int dims[] = {2, 2, 2};
  EXPECT_THROW(cfPelsFromMat8(cv::Mat(3, dims, CV_8UC1)), ccUIError::BadParams);
  EXPECT_THROW(cfMatFromPels(ccPelBuffer<ccPackedRGB32Pel>(2, 2), 2), ccUIError::BadParams);
}

TEST(CvPels, ImageFilesAreReadAtTheirDepth) {
  const std::filesystem::path dir(DISPC_OPENCV_TEST_OUT);
  std::filesystem::create_directories(dir);
  auto readBack = [&](const char* name, const cv::Mat& m) {
    EXPECT_TRUE(cv::imwrite((dir / name).string(), m));
    return cfCvReadImage((dir / name).string());
  };
  const cv::Mat grey = randomMat(9, 11, CV_8UC1, 1), deep = randomMat(9, 11, CV_16UC1, 2);
  const cv::Mat colour = randomMat(9, 11, CV_8UC3, 3), deepColour = randomMat(9, 11, CV_16UC3, 4);
  EXPECT_TRUE(same(cfMatFromPels(std::get<0>(readBack("grey.png", grey))), grey));
  EXPECT_TRUE(same(cfMatFromPels(std::get<1>(readBack("deep.png", deep))), deep));
  EXPECT_TRUE(same(cfMatFromPels(std::get<2>(readBack("colour.png", colour)), 3), colour));
  // 16-bit colour is read as 8-bit colour.
  cv::Mat reduced;
  deepColour.convertTo(reduced, CV_8U, 1.0 / 257);
  EXPECT_TRUE(same(cfMatFromPels(std::get<2>(readBack("deepcolour.png", deepColour)), 3), reduced));
  EXPECT_EQ(thrownBy<ccUIError::InitFailed>([&] { cfCvReadImage((dir / "missing.png").string()); }),
            "10002b18: " + (dir / "missing.png").string() + ": not an image OpenCV can read");
}
