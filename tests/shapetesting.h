// Archive and sampling helpers shared by the shape tests.
#pragma once

#include <core/archive.h>
#include <core/shape.h>

#include <gtest/gtest.h>

#include "archivebytes.h"

#include <cstring>
#include <vector>

// Stores h as a persistent pointer and loads it back through a fresh archive, which must be
// read to its end.
inline ccShapePtrh roundTrip(const ccShapePtrh& h) {
  ccArchive out;
  ccShapePtrh copy = h;
  out || copy;
  ccArchive in(out.data());
  ccShapePtrh back;
  in || back;
  EXPECT_TRUE(in.atEnd());
  return back;
}

// The same for a copy of s.
inline ccShapePtrh roundTrip(const ccShape& s) { return roundTrip(s.clone()); }

// The stored bytes of shape s with the first stored double equal to `from` replaced by `to`.
inline Bytes storedWith(ccShape& s, double from, double to) {
  Bytes bytes = bytesOf(s);
  unsigned char f[8], t[8];
  std::memcpy(f, &from, 8);
  std::memcpy(t, &to, 8);
  for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) {
    if (std::memcmp(&bytes[i], f, 8) == 0) {
      std::memcpy(&bytes[i], t, 8);
      return bytes;
    }
  }
  ADD_FAILURE() << "value not found in the stored bytes";
  return bytes;
}

// The positions of the sampling of s by p.
inline std::vector<ccVector<2>> samplePositions(const ccShape& s,
                                                const ccShape::ccSampleParams& p) {
  ccShape::ccSampleResult r;
  s.sample(p, r);
  return r.positions();
}
