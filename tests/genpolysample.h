// A general polygon that the sketch tests record, replay and archive.
#pragma once

#include <dispc/wrfm/genpoly.h>

// Closed, with a rounded corner and an arc segment.
inline ccGenPoly roundedGenPoly() {
  ccGenPoly g;
  g.insertVertex(ccVector<2>(10, 10), 0, ccRadian(0));
  g.insertVertex(ccVector<2>(60, 10), 5, ccRadian(0));
  g.insertVertex(ccVector<2>(60, 40), 0, ccRadian(1.0));
  g.close(ccRadian(0));
  return g;
}
