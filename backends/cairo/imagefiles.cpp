#include <backends/cairo/imagefiles.h>

#include <backends/cairo/cairoimage.h>
#include <dispc/errors.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw ccUIError::InitFailed(path + ": " + what);
}

std::vector<unsigned char> readFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) fail(path, "is a directory");
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    fail(path, errno == ENOENT ? std::string("no such file")
                               : std::string("cannot open: ") + std::strerror(errno));
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  if (in.bad()) fail(path, "cannot read");
  return bytes;
}

bool allGrey(const ccPelBuffer_const<ccPackedRGB32Pel>& image) {
  for (long y = 0; y < image.height(); ++y) {
    const ccPackedRGB32Pel* row = image.pointToRow(y);
    for (long x = 0; x < image.width(); ++x)
      if (row[x].r() != row[x].g() || row[x].g() != row[x].b()) return false;
  }
  return true;
}

}  // namespace

ccImageFile cfReadImageFile(const std::string& path) {
  const std::vector<unsigned char> bytes = readFile(path);
  static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  ccImageFile image;
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0) {
    ccPelBuffer<ccPackedRGB32Pel> rgb = cfCairoReadPngRGB32(path);
    if (!allGrey(rgb)) {
      image.rgb = rgb;
      return image;
    }
    image.grey = ccPelBuffer<unsigned char>(rgb.width(), rgb.height());
    for (long y = 0; y < rgb.height(); ++y) {
      const ccPackedRGB32Pel* src = rgb.pointToRow(y);
      unsigned char* dst = image.grey.pointToRow(y);
      for (long x = 0; x < rgb.width(); ++x) dst[x] = src[x].r();
    }
  } else if (bytes.size() >= 2 && bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '2')) {
    image.grey = cfParsePgm(bytes, path);
  } else {
    fail(path, "not a PNG or PGM image");
  }
  return image;
}

ccPelBuffer<unsigned char> cfParsePgm(const std::vector<unsigned char>& bytes,
                                      const std::string& name) {
  std::size_t pos = 0;
  const std::size_t size = bytes.size();
  auto isSpace = [](unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  };
  // Whitespace and comments (from '#' to the end of the line) before a header field.
  auto skipSpace = [&] {
    while (pos < size) {
      if (isSpace(bytes[pos])) {
        ++pos;
      } else if (bytes[pos] == '#') {
        while (pos < size && bytes[pos] != '\n' && bytes[pos] != '\r') ++pos;
      } else {
        break;
      }
    }
  };
  auto field = [&](const char* what, unsigned long max) {
    skipSpace();
    if (pos >= size) fail(name, std::string("truncated PGM header (no ") + what + ")");
    if (bytes[pos] < '0' || bytes[pos] > '9')
      fail(name, std::string("malformed PGM header (bad ") + what + ")");
    unsigned long v = 0;
    while (pos < size && bytes[pos] >= '0' && bytes[pos] <= '9') {
      v = v * 10 + (bytes[pos] - '0');
      if (v > max) fail(name, std::string("PGM ") + what + " too large");
      ++pos;
    }
    if (pos < size && !isSpace(bytes[pos]) && bytes[pos] != '#')
      fail(name, std::string("malformed PGM header (bad ") + what + ")");
    return v;
  };

  if (size < 2 || bytes[0] != 'P') fail(name, "not a PGM image");
  if (bytes[1] == '2') fail(name, "plain (P2) PGM is not supported, only binary (P5)");
  if (bytes[1] != '5') fail(name, "not a PGM image");
  pos = 2;
  if (pos < size && !isSpace(bytes[pos]) && bytes[pos] != '#') fail(name, "not a PGM image");
  const unsigned long kMaxSide = 1ul << 16;
  const unsigned long width = field("width", kMaxSide);
  const unsigned long height = field("height", kMaxSide);
  const unsigned long maxValue = field("maximum value", 65535);
  if (width == 0 || height == 0) fail(name, "PGM image of size 0");
  if (maxValue == 0) fail(name, "malformed PGM header (maximum value 0)");
  if (width * height > (1ul << 28)) fail(name, "PGM image too large");
  // Exactly one whitespace character ends the header.
  if (pos >= size) fail(name, "truncated PGM (no pixels)");
  ++pos;
  const std::size_t sampleBytes = maxValue > 255 ? 2 : 1;
  const std::size_t need = width * height * sampleBytes;
  if (size - pos < need)
    fail(name, "truncated PGM (" + std::to_string(size - pos) + " of " + std::to_string(need) +
                   " pixel bytes)");

  ccPelBuffer<unsigned char> image(static_cast<long>(width), static_cast<long>(height));
  const unsigned char* p = bytes.data() + pos;
  for (unsigned long y = 0; y < height; ++y) {
    unsigned char* row = image.pointToRow(static_cast<long>(y));
    for (unsigned long x = 0; x < width; ++x) {
      unsigned long v = *p++;
      if (sampleBytes == 2) v = (v << 8) | *p++;
      if (v > maxValue) v = maxValue;
      row[x] = maxValue == 255 ? static_cast<unsigned char>(v)
                               : static_cast<unsigned char>((v * 255 + maxValue / 2) / maxValue);
    }
  }
  return image;
}

void cfWritePgm(const ccPelBuffer_const<unsigned char>& image, const std::string& path) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << "P5\n" << image.width() << ' ' << image.height() << "\n255\n";
  for (long y = 0; y < image.height(); ++y)
    f.write(reinterpret_cast<const char*>(image.pointToRow(y)), image.width());
  f.close();
  if (!f) fail(path, std::string("cannot write the PGM file: ") + std::strerror(errno));
}
