// The sketch payload of general polygons and wireframes, written by the tablet and read by the
// operation objects through the same pair of functions.
#include <dispc/sketchop_p.h>
#include <dispc/sketchshapes.h>
#include <dispc/wrfm/genpoly.h>

#include <cmath>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kReversedAt = 48;  // the padding byte of the map's image
constexpr std::size_t kVertexSize = 64;  // point, radius, span, tolerance
constexpr std::size_t kCacheSize = 2 * kSketchPointFieldSize + 8;
constexpr std::size_t kFixedSize = kSketchGenPolyBlockSize + 4 + 4 + 4;
static_assert(kFixedSize == 68 && kVertexSize + kCacheSize == 104, "68 + 104n");

double spanRadians(const ccDegree& d) { return ccRadian(d).toDouble(); }

// The degree value whose radians are r, so that a span read and written again keeps its bytes;
// the nearest degrees when no value within a few steps of it converts back exactly.
ccDegree spanDegrees(double r) {
  const double d = ccDegree(ccRadian(r)).toDouble();
  double up = d, down = d;
  for (int i = 0; i < 4; ++i) {
    if (spanRadians(ccDegree(up)) == r) return ccDegree(up);
    if (spanRadians(ccDegree(down)) == r) return ccDegree(down);
    up = std::nextafter(up, HUGE_VAL);
    down = std::nextafter(down, -HUGE_VAL);
  }
  return ccDegree(d);
}

}  // namespace

struct cc_GenPolySketchCodec {
  static void store(unsigned char* p, const ccGenPoly& g) {
    const ccSMDGDPoly& poly = *g.poly_;
    const long n = poly.numVertices();
    cfSketchStoreXformImage(p, g.map_);
    p[kReversedAt] = poly.isDirectionReversed() ? 1 : 0;
    p += kSketchGenPolyBlockSize;
    cfSketchStoreI32(p, g.mutable_ ? 1 : 0);
    cfSketchStoreI32(p + 4, static_cast<std::int32_t>(n));
    p += 8;
    for (long i = 0; i < n; ++i, p += kVertexSize) {
      const ccSMDGDPolyVertex& v = poly.vertex(i);
      const ccDimTol& t = v.segmentLengthTol();
      cfSketchStorePoint(p, v.point());
      cfSketchStoreDouble(p + 16, v.vertexRadius());
      cfSketchStoreDouble(p + 24, spanRadians(v.segmentAngleSpan()));
      cfSketchStoreDouble(p + 32, t.nomDim());
      cfSketchStoreDouble(p + 40, t.minTol());
      cfSketchStoreDouble(p + 48, t.maxTol());
      cfSketchStoreU32(p + 56, static_cast<std::uint32_t>(t.tolType()));
      cfSketchStoreU32(p + 60, 0);
    }
    for (long i = 0; i < n; ++i, p += kSketchPointFieldSize)
      cfSketchStorePoint(p, poly.roundStart_(i));
    for (long i = 0; i < n; ++i, p += kSketchPointFieldSize)
      cfSketchStorePoint(p, poly.roundEnd_(i));
    for (long i = 0; i < n; ++i, p += 8) cfSketchStoreDouble(p, poly.roundSpan_(i).toDouble());
    cfSketchStoreI32(p, poly.isClosed() ? 1 : 0);
  }

  static std::size_t load(const unsigned char* p, std::size_t available, ccGenPoly& out) {
    using cc_detail::decoded;
    using cc_detail::invalid;
    ccSketchReader r(p, available);
    const unsigned char* block = r.bytes(kSketchGenPolyBlockSize);
    const ccXform<2> map = cfSketchLoadXformImage(block);
    if (!cfIsFinite(map) || map.matrix().isSingular())
      invalid("the general polygon's map is not finite or singular");
    const bool reversed = block[kReversedAt] == 1;
    const bool isMutable = r.readLong() == 1;
    const std::size_t n = cc_detail::readCount(r);
    if (n > r.remaining() / (kVertexSize + kCacheSize)) invalid("the vertices run past the end");
    std::vector<ccSMDGDPolyVertex> vertices;
    vertices.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      const ccVector<2> point = r.readPoint();
      const double radius = r.readDouble();
      const ccDegree span = spanDegrees(r.readDouble());
      const double nom = r.readDouble(), minTol = r.readDouble(), maxTol = r.readDouble();
      const unsigned long type = r.readULong();
      r.skip(4);
      if (type > ccDimTol::ePercentages) invalid("unknown tolerance type");
      vertices.push_back(decoded([&] {
        return ccSMDGDPolyVertex(
            point, radius, span, 0.5, 0.5, -1,
            ccDimTol(nom, minTol, maxTol, static_cast<ccDimTol::TolType>(type)));
      }));
    }
    r.skip(kCacheSize * n);
    const bool closed = r.readLong() == 1;
    ccSMDGDPoly poly =
        decoded([&] { return ccSMDGDPolyPrivate::rebuilt(vertices, closed, reversed); });
    out.poly_->swap(poly);
    out.map_ = map;
    out.mutable_ = isMutable;
    return r.position();
  }
};

std::size_t cfSketchGenPolySize(const ccGenPoly& g) {
  return kFixedSize + (kVertexSize + kCacheSize) * static_cast<std::size_t>(g.numVertices());
}

void cfSketchStoreGenPoly(unsigned char* p, const ccGenPoly& g) {
  cc_GenPolySketchCodec::store(p, g);
}

std::size_t cfSketchLoadGenPoly(const unsigned char* p, std::size_t available, ccGenPoly& out) {
  return cc_GenPolySketchCodec::load(p, available, out);
}
