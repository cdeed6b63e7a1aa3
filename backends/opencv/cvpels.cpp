#include <backends/opencv/cvpels.h>

#include <opencv2/imgcodecs.hpp>

#include <cstdint>
#include <cstring>

namespace {

// Pels borrowed from a Mat, whose reference keeps them alive as long as the root lives.
template <class T>
class cc_MatPelRoot : public ccPelRoot<T> {
 public:
  explicit cc_MatPelRoot(const cv::Mat& mat)
      : ccPelRoot<T>(reinterpret_cast<T*>(mat.data), mat.cols, mat.rows,
                     static_cast<long>(mat.step[0] / sizeof(T))),
        mat_(mat) {}

 private:
  cv::Mat mat_;
};

[[noreturn]] void refuse(const cv::Mat& mat, const char* wanted) {
  throw ccUIError::BadParams("a cv::Mat of type " + cfCvTypeName(mat.type()) + " cannot be " +
                             wanted);
}

template <class T>
bool shareable(const cv::Mat& mat) {
  return mat.step[0] % sizeof(T) == 0 &&
         reinterpret_cast<std::uintptr_t>(mat.data) % alignof(T) == 0;
}

// The Mat's pels shared when they can be, else copied row by row.
template <class T>
ccPelBuffer<T> sharedOrCopied(const cv::Mat& mat) {
  if (mat.empty()) return ccPelBuffer<T>(0, 0);
  if (mat.dims != 2) {
    throw ccUIError::BadParams("a cv::Mat of " + std::to_string(mat.dims) +
                               " dimensions cannot be a pel buffer (2 are needed)");
  }
  if (shareable<T>(mat))
    return ccPelBuffer<T>(ccPtrHandle<ccPelRoot<T>>(new cc_MatPelRoot<T>(mat)));
  ccPelBuffer<T> out(mat.cols, mat.rows);
  for (int y = 0; y < mat.rows; ++y) {
    std::memcpy(out.pointToRow(y), mat.ptr(y), sizeof(T) * static_cast<std::size_t>(mat.cols));
  }
  return out;
}

template <class T>
cv::Mat viewOf(const ccPelBuffer_const<T>& buf, int type) {
  if (!buf.isBound() || buf.width() == 0 || buf.height() == 0) return cv::Mat();
  return cv::Mat(static_cast<int>(buf.height()), static_cast<int>(buf.width()), type,
                 const_cast<T*>(buf.pointToRow(0)),
                 static_cast<std::size_t>(buf.rowUpdate()) * sizeof(T));
}

}  // namespace

std::string cfCvTypeName(int type) {
  static const char* const kDepths[] = {"8U", "8S", "16U", "16S", "32S", "32F", "64F", "16F"};
  return std::string("CV_") + kDepths[CV_MAT_DEPTH(type)] + "C" + std::to_string(CV_MAT_CN(type));
}

ccPelBuffer<unsigned char> cfPelsFromMat8(const cv::Mat& mat) {
  if (mat.type() != CV_8UC1) refuse(mat, "an 8-bit pel buffer (CV_8UC1 is)");
  return sharedOrCopied<unsigned char>(mat);
}

ccPelBuffer<unsigned short> cfPelsFromMat16(const cv::Mat& mat) {
  if (mat.type() != CV_16UC1) refuse(mat, "a 16-bit pel buffer (CV_16UC1 is)");
  return sharedOrCopied<unsigned short>(mat);
}

ccPelBuffer<ccPackedRGB32Pel> cfPelsFromMatRGB(const cv::Mat& mat) {
  if (mat.type() == CV_8UC4) return sharedOrCopied<ccPackedRGB32Pel>(mat);
  if (mat.type() != CV_8UC3) refuse(mat, "a packed RGB pel buffer (CV_8UC3 and CV_8UC4 are)");
  ccPelBuffer<ccPackedRGB32Pel> out(mat.cols, mat.rows);
  for (int y = 0; y < mat.rows; ++y) {
    const unsigned char* src = mat.ptr(y);
    ccPackedRGB32Pel* dst = out.pointToRow(y);
    for (int x = 0; x < mat.cols; ++x, src += 3) dst[x] = ccPackedRGB32Pel(src[2], src[1], src[0]);
  }
  return out;
}

template <>
ccPelBuffer<unsigned char> cfPelsFromMat<unsigned char>(const cv::Mat& mat) {
  return cfPelsFromMat8(mat);
}
template <>
ccPelBuffer<unsigned short> cfPelsFromMat<unsigned short>(const cv::Mat& mat) {
  return cfPelsFromMat16(mat);
}
template <>
ccPelBuffer<ccPackedRGB32Pel> cfPelsFromMat<ccPackedRGB32Pel>(const cv::Mat& mat) {
  return cfPelsFromMatRGB(mat);
}

cv::Mat cfMatViewOfPels(const ccPelBuffer_const<unsigned char>& buf) {
  return viewOf(buf, CV_8UC1);
}
cv::Mat cfMatViewOfPels(const ccPelBuffer_const<unsigned short>& buf) {
  return viewOf(buf, CV_16UC1);
}
cv::Mat cfMatViewOfPels(const ccPelBuffer_const<ccPackedRGB32Pel>& buf) {
  return viewOf(buf, CV_8UC4);
}

cv::Mat cfMatFromPels(const ccPelBuffer_const<unsigned char>& buf) {
  return cfMatViewOfPels(buf).clone();
}
cv::Mat cfMatFromPels(const ccPelBuffer_const<unsigned short>& buf) {
  return cfMatViewOfPels(buf).clone();
}
cv::Mat cfMatFromPels(const ccPelBuffer_const<ccPackedRGB32Pel>& buf, int channels) {
  if (channels != 3 && channels != 4) {
    throw ccUIError::BadParams("packed RGB pels become 3 or 4 channels, not " +
                               std::to_string(channels));
  }
  const cv::Mat view = cfMatViewOfPels(buf);
  if (channels == 4 || view.empty()) return view.clone();
  cv::Mat out(view.rows, view.cols, CV_8UC3);
  for (int y = 0; y < view.rows; ++y) {
    const unsigned char* src = view.ptr(y);
    unsigned char* dst = out.ptr(y);
    for (int x = 0; x < view.cols; ++x, src += 4, dst += 3) std::memcpy(dst, src, 3);
  }
  return out;
}

ccCvImage cfCvReadImage(const std::string& path) {
  cv::Mat mat;
  try {
    mat = cv::imread(path, cv::IMREAD_ANYDEPTH | cv::IMREAD_ANYCOLOR);
  } catch (const cv::Exception& e) {
    throw ccUIError::InitFailed(path + ": cannot read the image (" + e.msg + ")");
  }
  if (mat.empty()) throw ccUIError::InitFailed(path + ": not an image OpenCV can read");
  if (mat.channels() == 3 && mat.depth() == CV_16U) mat.convertTo(mat, CV_8U, 1.0 / 257);
  switch (mat.type()) {
    case CV_8UC1:
      return cfPelsFromMat8(mat);
    case CV_16UC1:
      return cfPelsFromMat16(mat);
    case CV_8UC3:
    case CV_8UC4:
      return cfPelsFromMatRGB(mat);
    default:
      throw ccUIError::InitFailed(path + ": images of type " + cfCvTypeName(mat.type()) +
                                  " are not supported (8 or 16 bits per channel are)");
  }
}
