// Image files as pel buffers: PNG (read through Cairo) and binary PGM.
//
// cfReadImageFile is the one entry point for reading an image a user names: it tells the
// format by the file's first bytes and gives 8-bit grey pels or packed RGB pels. Every failure
// throws ccUIError::InitFailed whose message reads "<path>: <what is wrong>" (missing file,
// neither format, truncated or malformed content).
#pragma once

#include <core/pelbuffer.h>

#include <string>
#include <vector>

// An image read from a file: exactly one of grey and rgb is bound.
struct ccImageFile {
  ccPelBuffer<unsigned char> grey;
  ccPelBuffer<ccPackedRGB32Pel> rgb;

  bool isColor() const { return rgb.isBound(); }
  long width() const { return isColor() ? rgb.width() : grey.width(); }
  long height() const { return isColor() ? rgb.height() : grey.height(); }
};

// A PNG or binary PGM file. PGM gives grey pels (16-bit samples scaled to 8 bits); PNG gives
// grey pels when every pixel is grey, packed RGB pels (alpha dropped) otherwise.
ccImageFile cfReadImageFile(const std::string& path);

// A binary PGM (P5; maximum value 1 to 65535, 16-bit samples scaled to 8 bits) from bytes
// already read, every header field checked against the size; name is used in messages.
ccPelBuffer<unsigned char> cfParsePgm(const std::vector<unsigned char>& bytes,
                                      const std::string& name);
// Writes 8-bit pels as a binary PGM file (ccUIError::InitFailed naming the file when it
// cannot).
void cfWritePgm(const ccPelBuffer_const<unsigned char>& image, const std::string& path);
