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

// bytes with the first run of n bytes equal to `from` replaced by `to`.
inline Bytes replaced(Bytes bytes, const void* from, const void* to, std::size_t n) {
  for (std::size_t i = 0; i + n <= bytes.size(); ++i) {
    if (std::memcmp(&bytes[i], from, n) == 0) {
      std::memcpy(&bytes[i], to, n);
      return bytes;
    }
  }
  ADD_FAILURE() << "value not found in the stored bytes";
  return bytes;
}

// The stored bytes of shape s with the first stored double equal to `from` replaced by `to`.
inline Bytes storedWith(ccShape& s, double from, double to) {
  return replaced(bytesOf(s), &from, &to, 8);
}

// The positions of the sampling of s by p.
inline std::vector<ccVector<2>> samplePositions(const ccShape& s,
                                                const ccShape::ccSampleParams& p) {
  ccShape::ccSampleResult r;
  s.sample(p, r);
  return r.positions();
}
