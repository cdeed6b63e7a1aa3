// The demo: archives the sixteen stock colours to a file, loads them back and prints them
// with their packings and graphics-list codes.
//
//   dispc-demo [output-directory]
#include <dispc/color.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct NamedColor {
  const char* name;
  const ccColor& (*get)();
};

const NamedColor kStock[] = {
    {"black", &ccColor::blackColor},     {"dkGrey", &ccColor::dkGreyColor},
    {"grey", &ccColor::greyColor},       {"ltGrey", &ccColor::ltGreyColor},
    {"white", &ccColor::whiteColor},     {"red", &ccColor::redColor},
    {"dkRed", &ccColor::dkRedColor},     {"orange", &ccColor::orangeColor},
    {"yellow", &ccColor::yellowColor},   {"green", &ccColor::greenColor},
    {"dkGreen", &ccColor::dkGreenColor}, {"cyan", &ccColor::cyanColor},
    {"blue", &ccColor::blueColor},       {"purple", &ccColor::purpleColor},
    {"magenta", &ccColor::magentaColor}, {"pass", &ccColor::passColor},
};

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : "out";
  try {
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "stock-colors.dca").string();
    {
      ccFileArchive out(path, ccArchive::eStoring);
      unsigned int count = sizeof kStock / sizeof kStock[0];
      out || count;
      for (const auto& s : kStock) {
        ccColor c = s.get();
        out || c;
      }
      out.close();
    }
    std::printf("wrote %s (%ju bytes)\n", path.c_str(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)));

    ccFileArchive in(path, ccArchive::eLoading);
    unsigned int count = 0;
    in || count;
    in.checkCount(count, 7);
    std::printf("%-8s %5s %8s %6s %6s %10s  %s\n", "name", "index", "rgb", "rgb15", "rgb16", "code",
                "matches stock");
    for (unsigned int i = 0; i < count; ++i) {
      ccColor c;
      in || c;
      const bool known = i < sizeof kStock / sizeof kStock[0];
      std::printf("%-8s %5u  #%06X 0x%04X 0x%04X 0x%08X  %s\n", known ? kStock[i].name : "?",
                  c.index(), c.rgb(), c.rgb15(), c.rgb16(), cfColor(c),
                  known && c == kStock[i].get() ? "yes" : "no");
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dispc-demo: %s\n", e.what());
    return 1;
  }
}
