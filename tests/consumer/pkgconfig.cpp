// Built with the flags pkg-config gives for dispc alone, through the header that includes
// every other:
//   g++ -std=c++17 pkgconfig.cpp $(pkg-config --cflags --libs dispc)
#include <dispc/dispc.h>

#include <cstdio>

int main() {
  ccUITablet recorder;  // records, draws nothing
  recorder.draw(ccCircle(ccVector<2>(10, 10), 5), ccColor::blueColor(), ccUITablet::eOverlayLayer);
  if (recorder.sketch().isNull()) return 1;
  std::printf("dispc via pkg-config: blue is #%06X, sketch of %ld bytes\n",
              static_cast<unsigned>(ccColor::blueColor().rgb()), recorder.sketch().length());
  return 0;
}
