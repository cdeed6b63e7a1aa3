// The scan conversion of SMD polygons read literally, one row at a time: a two-vertex scan line
// across the widened bounding box, its intersection with the rounded outline, crossings rounded
// (halves away from zero) and ranked, and every pair whose midpoint is inside filled. Slow on
// purpose (every row meets every piece): the tests compare the fast fill with it, the benchmark
// shows its cost.
#pragma once

#include <dispc/smd/poly.h>
#include <dispc/tolerance.h>

#include <algorithm>
#include <cmath>
#include <vector>

inline void literalSMDFill(const ccSMDGDPoly& poly, const ccXform<2>& clientXform,
                           ccPelBuffer<unsigned char> pb, unsigned char grey) {
  using V2 = ccVector<2>;
  ccXform<2> m = pb.imageFromClientXform() * clientXform;
  m.trans(m.trans() - V2(0.5, 0.5));
  const ccXform<2> inv = m.inverse();
  const ccRect box = poly.boundingBox(m);
  // The tolerant floor and ceiling, kept within a pel of the plain ones (far from the origin
  // the tolerance would move the box inside the outline).
  auto floorTol = [](double v) {
    return std::min(std::floor((1 + std::copysign(ccPixelFloorTolerance, v)) * v),
                    std::floor(v) + 1);
  };
  auto ceilTol = [](double v) {
    return std::max(std::ceil((1 - std::copysign(ccPixelFloorTolerance, v)) * v), std::ceil(v) - 1);
  };
  const double x0 = floorTol(box.ul().x()) - 5, x1 = ceilTol(box.lr().x()) + 5;
  const double y0 = floorTol(box.ul().y()) - 5, y1 = ceilTol(box.lr().y()) + 5;
  // Clipped to the buffer's window.
  const double cx0 =
      std::clamp(x0, double(pb.offset().first), double(pb.offset().first + pb.width()));
  const double cx1 = std::clamp(x1, cx0, double(pb.offset().first + pb.width()));
  const double cy0 =
      std::clamp(y0, double(pb.offset().second), double(pb.offset().second + pb.height()));
  const double cy1 = std::clamp(y1, cy0, double(pb.offset().second + pb.height()));
  if ((cx0 != x0 || cx1 != x1 || cy0 != y0 || cy1 != y1) && (cx0 == cx1 || cy0 == cy1)) return;
  pb.window(static_cast<long>(cx0), static_cast<long>(cy0), static_cast<long>(cx1 - cx0),
            static_cast<long>(cy1 - cy0));
  const long left = pb.offset().first, top = pb.offset().second;
  const double right = static_cast<double>(left + pb.width());
  for (long y = top; y < top + pb.height(); ++y) {
    const double yd = static_cast<double>(y);
    auto vertex = [](const V2& p) {
      return ccSMDGDPolyVertex(p, 0, ccDegree(0), 0.5, 0.5, -1,
                               ccDimTol(-1, -1, -1, ccDimTol::eLimits));
    };
    ccSMDGDPoly scan;
    scan.vertices({vertex(inv * V2(x1, yd)), vertex(inv * V2(x0, yd))});
    const std::vector<V2> p = ccSMDGDPolyPrivate::intersection_(scan, poly);
    std::vector<double> xs;
    for (const V2& q : p) xs.push_back(std::round((m * q).x()));
    std::vector<std::size_t> rank(p.size(), 0), at(p.size());
    for (std::size_t i = 0; i < p.size(); ++i)
      for (std::size_t j = i + 1; j < p.size(); ++j) ++rank[xs[i] >= xs[j] ? i : j];
    for (std::size_t i = 0; i < p.size(); ++i) at[rank[i]] = i;
    for (std::size_t k = 0; k + 1 < p.size(); ++k) {
      const std::size_t a = at[k], b = at[k + 1];
      if (xs[a] < right && xs[b] > static_cast<double>(left) &&
          ccSMDGDPolyPrivate::inside(poly, (p[a] + p[b]) / 2.0)) {
        unsigned char* row = pb.pointToRow(y - top);
        for (double x = std::max(xs[a], static_cast<double>(left)); x < std::min(xs[b], right); ++x)
          row[static_cast<long>(x) - left] = grey;
      }
    }
  }
}
