// cv::Mat images as pel buffers, pel buffers as cv::Mat, and image files read with cv::imread.
//
// Types. A cv::Mat maps to the pel buffer of its type:
//   CV_8UC1   unsigned char
//   CV_16UC1  unsigned short
//   CV_8UC4   ccPackedRGB32Pel: OpenCV's B, G, R, A bytes are the packed pel 0xAARRGGBB in
//             memory (little-endian), the alpha in the pel's unused top byte
//   CV_8UC3   ccPackedRGB32Pel, always copied (three bytes a pel), top byte 0
// Any other type is refused with ccUIError::BadParams whose message names it.
//
// Sharing. cfPelsFromMat shares the Mat's pels when their layout allows it (the pel type above
// without conversion, rows a whole number of pels apart, the first pel aligned for the type):
// the buffer keeps a reference to the Mat's data, so it stays valid after the Mat is gone, and
// a write through either is seen by the other. A Mat whose layout does not allow it (CV_8UC3,
// or rows or data not aligned to the pel) is copied. sharesPels() tells which happened.
//
// Back: cfMatFromPels copies the buffer's window into a new Mat (CV_8UC1, CV_16UC1, and CV_8UC4
// or, with channels 3, CV_8UC3 for packed RGB). cfMatViewOfPels makes a Mat header over the
// window's pels without copying; it is valid only as long as the buffer's root lives.
#pragma once

#include <core/pelbuffer.h>
#include <dispc/errors.h>

#include <opencv2/core.hpp>

#include <string>
#include <variant>

// "CV_8UC3", "CV_32FC1" ...
std::string cfCvTypeName(int type);

ccPelBuffer<unsigned char> cfPelsFromMat8(const cv::Mat& mat);
ccPelBuffer<unsigned short> cfPelsFromMat16(const cv::Mat& mat);
ccPelBuffer<ccPackedRGB32Pel> cfPelsFromMatRGB(const cv::Mat& mat);
// The pel buffer type for T.
template <class T>
ccPelBuffer<T> cfPelsFromMat(const cv::Mat& mat);

// Whether buf's pels are mat's (no copy was made).
template <class T>
bool cfSharesPels(const ccPelBuffer_const<T>& buf, const cv::Mat& mat) {
  return buf.isBound() && buf.width() > 0 && buf.height() > 0 && !mat.empty() &&
         static_cast<const void*>(buf.pointToRow(0)) >= static_cast<const void*>(mat.datastart) &&
         static_cast<const void*>(buf.pointToRow(0)) < static_cast<const void*>(mat.dataend);
}

cv::Mat cfMatFromPels(const ccPelBuffer_const<unsigned char>& buf);
cv::Mat cfMatFromPels(const ccPelBuffer_const<unsigned short>& buf);
// channels 4 (CV_8UC4, the top byte as alpha) or 3 (CV_8UC3); BadParams otherwise.
cv::Mat cfMatFromPels(const ccPelBuffer_const<ccPackedRGB32Pel>& buf, int channels = 4);
cv::Mat cfMatViewOfPels(const ccPelBuffer_const<unsigned char>& buf);
cv::Mat cfMatViewOfPels(const ccPelBuffer_const<unsigned short>& buf);
cv::Mat cfMatViewOfPels(const ccPelBuffer_const<ccPackedRGB32Pel>& buf);

// An image file as cv::imread reads it (any format it knows), kept at its depth: one 8-bit or
// 16-bit channel gives grey pels, colour gives packed RGB pels (16-bit colour scaled to 8 bits,
// alpha dropped). ccUIError::InitFailed("<path>: <what>") when the file cannot be read or its
// depth is not 8 or 16 bits.
using ccCvImage = std::variant<ccPelBuffer<unsigned char>, ccPelBuffer<unsigned short>,
                               ccPelBuffer<ccPackedRGB32Pel>>;
ccCvImage cfCvReadImage(const std::string& path);
