// Built with the flags pkg-config gives for dispc alone, through the header that includes
// every other:
//   g++ -std=c++17 pkgconfig.cpp $(pkg-config --cflags --libs dispc)
#include <dispc/dispc.h>

#include <cstdio>

int main() {
  ccUITablet recorder;  // records, draws nothing
  recorder.draw(ccCircle(ccVector<2>(10, 10), 5), ccColor::blueColor(), ccUITablet::eOverlayLayer);
  if (recorder.sketch().isNull()) return 1;
  // The graphics-list records (dispc-cgr) drawn through the bridge.
  cgr_list list;
  cgr_list_init(&list);
  if (cgr_list_appendLineSeg(&list, 3, 0, 0, 20, 10) != cgr_eOk) return 1;
  const long before = recorder.sketch().length();
  cfUITabletDraw(recorder, &list, ccUITablet::eOverlayLayer);
  cgr_list_free(&list);
  if (recorder.sketch().length() == before) return 1;
  std::printf("dispc via pkg-config: blue is #%06X, sketch of %ld bytes\n",
              static_cast<unsigned>(ccColor::blueColor().rgb()), recorder.sketch().length());
  return 0;
}
