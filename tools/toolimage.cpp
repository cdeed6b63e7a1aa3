#include "toolimage.h"

#include "toolsupport.h"

#ifdef DISPC_TOOLS_WITH_OPENCV
#include <backends/opencv/cvpels.h>
#endif

#include <cstring>
#include <fstream>
#include <variant>

namespace {

// The file starts like a PNG or PGM file.
bool pngOrPgm(const std::string& path) {
  unsigned char head[8] = {};
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(head), sizeof head);
  static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return std::memcmp(head, kPngSignature, 8) == 0 ||
         (head[0] == 'P' && (head[1] == '5' || head[1] == '2'));
}

}  // namespace

ccImageFile cfToolReadImage(const std::string& path) {
  try {
#ifdef DISPC_TOOLS_WITH_OPENCV
    if (!pngOrPgm(path)) {
      cfToolReadFile(path);  // missing or unreadable files say so in the tools' words
      ccImageFile image;
      std::visit(
          [&](const auto& pels) {
            using T = std::decay_t<decltype(*pels.pointToRow(0))>;
            if constexpr (std::is_same_v<T, unsigned short>) {
              image.grey = ccPelBuffer<unsigned char>(pels.width(), pels.height());
              for (long y = 0; y < pels.height(); ++y)
                for (long x = 0; x < pels.width(); ++x)
                  image.grey.pointToRow(y)[x] =
                      static_cast<unsigned char>(pels.pointToRow(y)[x] >> 8);
            } else if constexpr (std::is_same_v<T, unsigned char>) {
              image.grey = pels;
            } else {
              image.rgb = pels;
            }
          },
          cfCvReadImage(path));
      return image;
    }
#else
    (void)pngOrPgm;
#endif
    return cfReadImageFile(path);
  } catch (const ccToolError&) {
    throw;
  } catch (const ccException& e) {
    throw ccToolError(cfToolErrorText(e));  // the message names the file
  }
}
