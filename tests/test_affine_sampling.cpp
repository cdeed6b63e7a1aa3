// The affine image sampler against a double-precision reference: identity, nearest sampling,
// coverage of rectangles hanging off the source, rotated sampling, extreme geometry, and
// argument checking.
#include <core/affinesample.h>
#include <core/errors.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using Params = ccAffineSamplingParams;
using V = ccVector<2>;

ccPelBuffer<unsigned char> randomImage(long w, long h, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(0, 255);
  ccPelBuffer<unsigned char> b(w, h, 32);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x) b.set(x, y, static_cast<unsigned char>(d(rng)));
  return b;
}

// A smooth image (gradients of at most ~12 grey levels per pel).
ccPelBuffer<unsigned char> smoothImage(long w, long h) {
  ccPelBuffer<unsigned char> b(w, h);
  for (long y = 0; y < h; ++y)
    for (long x = 0; x < w; ++x)
      b.set(x, y, static_cast<unsigned char>(128 + 100 * std::sin(x * 0.11) * std::cos(y * 0.07)));
  return b;
}

// Double-precision reference: the value at source pel coordinates (u, v) (centres at
// integers), or -1 when the footprint leaves the source; -2 when (u, v) lies within 1/64 pel
// of the coverage border (either answer is right there).
double reference(const ccPelBuffer_const<unsigned char>& s, double u, double v,
                 Params::Interpolation m) {
  const double W = static_cast<double>(s.width()), H = static_cast<double>(s.height());
  double lo = 0, hiX = W - 1, hiY = H - 1;
  if (m == Params::eNearest) lo = -0.5, hiX = W - 0.5, hiY = H - 0.5;
  if (m == Params::eBicubic) lo = 1, hiX = W - 2, hiY = H - 2;
  const double e = 1.0 / 64;
  auto near = [e](double a, double b) { return std::fabs(a - b) < e; };
  if (near(u, lo) || near(u, hiX) || near(v, lo) || near(v, hiY)) return -2;
  if (u < lo || v < lo || u > hiX || v > hiY) return -1;
  auto px = [&](long x, long y) {
    x = std::clamp(x, 0L, s.width() - 1);
    y = std::clamp(y, 0L, s.height() - 1);
    return static_cast<double>(s.get(x, y));
  };
  // Nearest: a point on a pel edge may go either way.
  auto onEdge = [e](double a) { return std::fabs(a + 0.5 - std::round(a + 0.5)) < e; };
  if (m == Params::eNearest && (onEdge(u) || onEdge(v))) return -2;
  if (m == Params::eNearest)
    return px(std::lround(std::floor(u + 0.5)), std::lround(std::floor(v + 0.5)));
  const long x0 = static_cast<long>(std::floor(u)), y0 = static_cast<long>(std::floor(v));
  const double fx = u - x0, fy = v - y0;
  if (m == Params::eBilinear) {
    const double top = px(x0, y0) * (1 - fx) + px(x0 + 1, y0) * fx;
    const double bot = px(x0, y0 + 1) * (1 - fx) + px(x0 + 1, y0 + 1) * fx;
    return top * (1 - fy) + bot * fy;
  }
  auto cr = [](double t, int k) {
    const double t2 = t * t, t3 = t2 * t;
    const double w[] = {(-t3 + 2 * t2 - t) / 2, (3 * t3 - 5 * t2 + 2) / 2,
                        (-3 * t3 + 4 * t2 + t) / 2, (t3 - t2) / 2};
    return w[k];
  };
  double sum = 0;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) sum += px(x0 - 1 + c, y0 - 1 + r) * cr(fx, c) * cr(fy, r);
  return std::clamp(sum, 0.0, 255.0);
}

// Compares dst with the reference for every pel; checks the coverage rectangle bounds the
// computed pels and that pels outside it hold the fill value.
void expectMatchesReference(const ccPelBuffer_const<unsigned char>& src, const Params& p,
                            const ccPelBuffer_const<unsigned char>& dst,
                            const ccAffineSampledRect& rect, unsigned char fill, double tol) {
  const V o = p.origin(), ex = p.xCorner() - o, ey = p.yCorner() - o;
  const V off(static_cast<double>(src.offset().first) + 0.5,
              static_cast<double>(src.offset().second) + 0.5);
  for (long j = 0; j < p.height(); ++j) {
    for (long i = 0; i < p.width(); ++i) {
      const V q = o + ((i + 0.5) / p.width()) * ex + ((j + 0.5) / p.height()) * ey - off;
      const double r = reference(src, q.x(), q.y(), p.interpolation());
      const bool inRect =
          i >= rect.x && i < rect.x + rect.width && j >= rect.y && j < rect.y + rect.height;
      if (r == -2) continue;
      if (r == -1 || !inRect) {
        EXPECT_EQ(dst.get(i, j), fill) << i << "," << j;
      }
      if (r >= 0) {
        EXPECT_TRUE(inRect) << i << "," << j;
        EXPECT_NEAR(dst.get(i, j), r, tol) << i << "," << j;
      }
    }
  }
}

// A window of a larger image, placed by its offset: the parameters are in source coordinates.
TEST(AffineSamplingIdentity, ReproducesTheSourceInItsOwnCoordinates) {
  const ccPelBuffer<unsigned char> big = randomImage(30, 30, 1);
  ccPelBuffer<unsigned char> src = big;
  src.window(5, 7, 23, 17);
  src.offset(100, 200);  // the window's pel (0, 0) covers [100, 101) x [200, 201)
  for (auto m : {Params::eNearest, Params::eBilinear, Params::eBicubic}) {
    const Params p(V(100, 200), V(123, 200), V(100, 217), 23, 17, m);
    ccPelBuffer<unsigned char> dst;
    const ccAffineSampledRect r = cfAffineTransformImage(src, p, dst, 3);
    ASSERT_EQ(dst.width(), 23);
    ASSERT_EQ(dst.height(), 17);
    EXPECT_EQ(r, (m == Params::eBicubic ? ccAffineSampledRect{1, 1, 21, 15}
                                        : ccAffineSampledRect{0, 0, 23, 17}));
    expectMatchesReference(src, p, dst, r, 3, 0.5);  // integers: exact
    EXPECT_EQ(dst.get(10, 8), big.get(15, 15));
  }
}

TEST(AffineSamplingNearest, PicksThePelContainingTheSamplePoint) {
  ccPelBuffer<unsigned char> src(4, 4);
  for (long y = 0; y < 4; ++y)
    for (long x = 0; x < 4; ++x) src.set(x, y, static_cast<unsigned char>(10 * y + x));
  // Doubled, and a quarter turn (general path), exactly.
  for (const Params& p : {Params(V(0, 0), V(4, 0), V(0, 4), 8, 8, Params::eNearest),
                          Params(V(4, 0), V(4, 4), V(0, 0), 4, 4, Params::eNearest),
                          Params(V(4, 0), V(4, 4), V(0, 0), 4, 4, Params::eBilinear)}) {
    ccPelBuffer<unsigned char> dst;
    const ccAffineSampledRect r = cfAffineTransformImage(src, p, dst);
    EXPECT_EQ(r, (ccAffineSampledRect{0, 0, p.width(), p.height()}));
    expectMatchesReference(src, p, dst, r, 0, 0);
  }
  ccPelBuffer<unsigned char> down;
  cfAffineTransformImage(src, Params(V(0, 0), V(4, 0), V(0, 4), 2, 2, Params::eNearest), down);
  EXPECT_EQ(down.get(0, 0), 11);  // centre (1, 1) lies on a pel corner: the pel below-right
}

TEST(AffineSamplingCoverage, RectangleHangingOffTheSource) {
  const ccPelBuffer<unsigned char> src = randomImage(10, 10, 4);
  const struct {
    V po;
    Params::Interpolation m;
    ccAffineSampledRect expect;
  } cases[] = {
      {V(5, 5), Params::eBilinear, {0, 0, 5, 5}},  {V(5, 5), Params::eNearest, {0, 0, 5, 5}},
      {V(5, 5), Params::eBicubic, {0, 0, 4, 4}},   {V(-3, -2), Params::eBilinear, {3, 2, 7, 8}},
      {V(-3, -2), Params::eBicubic, {4, 3, 6, 7}}, {V(30, 0), Params::eBilinear, {0, 0, 0, 0}}};
  for (const auto& c : cases) {
    const Params p(c.po, c.po + V(10, 0), c.po + V(0, 10), 10, 10, c.m);
    ccPelBuffer<unsigned char> dst;
    const ccAffineSampledRect r = cfAffineTransformImage(src, p, dst, 77);
    if (c.expect.isEmpty()) {
      EXPECT_TRUE(r.isEmpty());
    } else {
      EXPECT_EQ(r, c.expect) << c.po.x() << " " << c.m;
    }
    expectMatchesReference(src, p, dst, r, 77, 0.5);
  }
}

TEST(AffineSamplingGeneral, RotatedRectanglesMatchTheReference) {
  const ccPelBuffer<unsigned char> src = smoothImage(40, 30);
  const ccPelBuffer<unsigned char> noisy = randomImage(40, 30, 5);
  for (double deg : {17.0, -65.0, 180.0, 243.0}) {
    const double a = deg * 3.14159265358979 / 180, c = std::cos(a), s = std::sin(a);
    const V centre(20, 15), hx = V(c, s) * 14.0, hy = V(-s, c) * 11.0;
    const V o = centre - hx - hy;
    for (auto m : {Params::eNearest, Params::eBilinear, Params::eBicubic}) {
      // Hanging off every side for these sizes, so all three span parts are exercised.
      const Params p(o, o + 2.0 * hx, o + 2.0 * hy, 37, 29, m);
      ccPelBuffer<unsigned char> dst;
      const ccAffineSampledRect r = cfAffineTransformImage(src, p, dst, 9);
      expectMatchesReference(src, p, dst, r, 9, m == Params::eNearest ? 0 : 1.0);
      ccPelBuffer<unsigned char> dn;
      const ccAffineSampledRect rn = cfAffineTransformImage(noisy, p, dn, 9);
      // Random pels: rounding positions to 1/128 pel moves values by a few grey levels.
      expectMatchesReference(noisy, p, dn, rn, 9,
                             m == Params::eNearest ? 0 : (m == Params::eBilinear ? 3 : 4));
    }
  }
}

TEST(AffineSamplingEdges, TinyAndExtremeGeometry) {
  ccPelBuffer<unsigned char> one(1, 1);
  one.set(0, 0, 200);
  ccPelBuffer<unsigned char> d;
  // 1 x 1 identity: covered by every kernel but bicubic.
  EXPECT_EQ(cfAffineTransformImage(one, Params(V(0, 0), V(1, 0), V(0, 1), 1, 1), d),
            (ccAffineSampledRect{0, 0, 1, 1}));
  EXPECT_EQ(d.get(0, 0), 200);
  ccPelBuffer<unsigned char> b;
  EXPECT_TRUE(cfAffineTransformImage(one, Params(V(0, 0), V(1, 0), V(0, 1), 4, 4), b, 5).isEmpty());
  EXPECT_EQ(b.get(1, 2), 5);

  const ccPelBuffer<unsigned char> src = randomImage(8, 8, 7);
  // Enormous steps, far-away rectangles and collapsed rectangles.
  const Params extreme[] = {
      Params(V(0, 0), V(1e12, 0), V(0, 1e12), 3, 3),
      Params(V(0, 0), V(1e12, 3e11), V(-2e11, 1e12), 3, 3, Params::eBicubic),
      Params(V(-1e15, 4), V(1e15, 4), V(-1e15, 5), 7, 2),
      Params(V(3.5, 3.5), V(3.5, 3.5), V(3.5, 3.5), 5, 5),
      Params(V(2, 1), V(2, 7), V(2, 1), 6, 6, Params::eNearest),
  };
  for (const Params& p : extreme) {
    ccPelBuffer<unsigned char> out;
    const ccAffineSampledRect r = cfAffineTransformImage(src, p, out, 11);
    expectMatchesReference(src, p, out, r, 11, p.interpolation() == Params::eNearest ? 0 : 1);
  }
  // Steps of 2^25 pels, slightly turned: only pel (0, 0) lands on the source, at (3.5, 4.25).
  const double big = 33554432, o = big / 2;
  const Params sparse(V(3.5 - o, 4.25 - o), V(3.5 - o + 3 * big, 4.25 - o + 0.003),
                      V(3.5 - o, 4.25 - o + 3 * big), 3, 3);
  ccPelBuffer<unsigned char> out;
  EXPECT_EQ(cfAffineTransformImage(src, sparse, out, 11), (ccAffineSampledRect{0, 0, 1, 1}));
  EXPECT_NEAR(out.get(0, 0), reference(src, 3.0, 3.7505, Params::eBilinear), 1.0);
}

TEST(AffineSamplingArgs, DestinationAndParameterChecks) {
  const ccPelBuffer<unsigned char> src = randomImage(8, 8, 8);
  const Params p(V(0, 0), V(8, 0), V(0, 8), 8, 8);
  // A bound destination of the right size: only its window is written.
  ccPelBuffer<unsigned char> big(10, 10);
  cfPelSet(big, 1);
  ccPelBuffer<unsigned char> win = big;
  win.window(1, 1, 8, 8);
  cfAffineTransformImage(src, p, win);
  EXPECT_EQ(win.get(7, 7), src.get(7, 7));
  EXPECT_EQ(big.get(9, 9), 1);
  ccPelBuffer<unsigned char> wrong(7, 8);
  EXPECT_THROW(cfAffineTransformImage(src, p, wrong), ccShapesError::BadParams);
  // An empty source window: everything is fill.
  ccPelBuffer<unsigned char> empty = src;
  empty.window(0, 0, 0, 8);
  ccPelBuffer<unsigned char> f;
  EXPECT_TRUE(cfAffineTransformImage(empty, p, f, 4).isEmpty());
  EXPECT_EQ(f.get(3, 3), 4);

  EXPECT_THROW(Params(V(0, 0), V(1, 0), V(0, 1), -1, 1), ccShapesError::BadParams);
  EXPECT_THROW(Params(V(NAN, 0), V(1, 0), V(0, 1), 1, 1), ccShapesError::BadParams);
  EXPECT_THROW(Params(V(0, 0), V(1, 0), V(0, 1), 1, 1, static_cast<Params::Interpolation>(0)),
               ccShapesError::BadParams);
  EXPECT_EQ(Params().interpolation(), Params::eBilinear);
  // Corners whose difference overflows.
  const Params huge(V(-1.7e308, 0), V(1.7e308, 0), V(-1.7e308, 1), 2, 2);
  ccPelBuffer<unsigned char> hd;
  EXPECT_THROW(cfAffineTransformImage(src, huge, hd), ccShapesError::BadParams);
}

}  // namespace
