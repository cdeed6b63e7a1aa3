// Affine resampling of 8-bit images: the pels of an affine rectangle of a source image
// resampled onto a destination grid, with nearest, bilinear or bicubic interpolation.
//
// Coordinates. Source points are in the source buffer's image coordinates (see pelbuffer.h):
// the source pel at window position (x, y) covers the unit square from (ox + x, oy + y) to
// (ox + x + 1, oy + y + 1), (ox, oy) = src.offset(), and its value belongs to its centre
// (ox + x + 0.5, oy + y + 0.5).
//
// The affine rectangle is given by three corners in source coordinates: origin Po (the
// destination's upper-left corner), xCorner Px (the end of the destination's top edge) and
// yCorner Py (the end of its left edge). The destination is a width x height grid laid over
// the rectangle; its pel (i, j) (window-relative) takes the source value at its centre
//   Po + (i + 0.5) / width * (Px - Po) + (j + 0.5) / height * (Py - Po).
// Po = (0, 0), Px = (W, 0), Py = (0, H) with a W x H destination reproduces a W x H source
// at offset (0, 0) exactly.
//
// Interpolation, with (u, v) the sample point in source pel coordinates (pel centres at
// integers: u = x - ox - 0.5 for a source point x) and positions rounded to 1/128 pel:
//   eNearest  the pel that contains the point: floor(u + 0.5), floor(v + 0.5);
//   eBilinear the 2 x 2 pels around the point, weights linear in the fraction;
//   eBicubic  the 4 x 4 pels around it, Catmull-Rom (Keys, a = -0.5) weights; clamped to
//             0..255.
// Results are rounded to the nearest integer (weights are fixed point: 7 bits of position,
// exact products for bilinear, 11-bit weights for bicubic).
//
// Coverage. A destination pel is computed when every source pel with a non-zero weight lies
// in the source window: for eNearest when 0 <= floor(u + 0.5) < W, for eBilinear when
// 0 <= u <= W - 1, for eBicubic when 1 <= u <= W - 2 (likewise v with H). Other destination
// pels get the fill value. The returned rectangle bounds the computed pels; for rectangles
// whose sides are parallel to the source axes (scaling and translation only) it holds
// exactly the computed pels, so the caller may treat the strips around it as uncomputed.
#pragma once

#include <core/affinerect.h>
#include <core/pelbuffer.h>
#include <core/vector.h>

class ccAffineSamplingParams {
 public:
  // Fixed underlying type: a caller may hand in any int, which the setter then refuses.
  enum Interpolation : int { eNearest = 1, eBilinear = 2, eBicubic = 3 };

  // An empty (0 x 0) bilinear sampling of the point (0, 0).
  ccAffineSamplingParams() = default;
  // Throws ccShapesError::BadParams for a negative size, a corner that is not finite or an
  // interpolation value that is not one of the above.
  ccAffineSamplingParams(const ccVector<2>& origin, const ccVector<2>& xCorner,
                         const ccVector<2>& yCorner, long width, long height,
                         Interpolation interpolation = eBilinear);
  // The affine rectangle's corners Po, Px and Py as origin, x corner and y corner.
  ccAffineSamplingParams(const ccAffineRectangle& rect, long width, long height,
                         Interpolation interpolation = eBilinear)
      : ccAffineSamplingParams(rect.cornerPo(), rect.cornerPx(), rect.cornerPy(), width, height,
                               interpolation) {}

  const ccVector<2>& origin() const { return origin_; }
  const ccVector<2>& xCorner() const { return xCorner_; }
  const ccVector<2>& yCorner() const { return yCorner_; }
  long width() const { return width_; }
  long height() const { return height_; }
  Interpolation interpolation() const { return interpolation_; }

  // Setters check like the constructor.
  void corners(const ccVector<2>& origin, const ccVector<2>& xCorner, const ccVector<2>& yCorner);
  void size(long width, long height);
  void interpolation(Interpolation interpolation);

 private:
  ccVector<2> origin_;
  ccVector<2> xCorner_;
  ccVector<2> yCorner_;
  long width_ = 0;
  long height_ = 0;
  Interpolation interpolation_ = eBilinear;
};

// A rectangle of destination pels, window-relative: [x, x + width) x [y, y + height).
struct ccAffineSampledRect {
  long x = 0;
  long y = 0;
  long width = 0;
  long height = 0;

  bool isEmpty() const { return width <= 0 || height <= 0; }
  friend bool operator==(const ccAffineSampledRect& a, const ccAffineSampledRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
  }
  friend bool operator!=(const ccAffineSampledRect& a, const ccAffineSampledRect& b) {
    return !(a == b);
  }
};

// Resamples src into dst (see the file comment) and returns the rectangle of computed pels
// (empty when none). An unbound dst first becomes a new width x height buffer; a bound one
// must have a window of exactly that size (else ccShapesError::BadParams) and must not share
// pels with src. An unbound src throws ccPel::UnboundWindow; a source window of 2^28 pels or
// more in width or height, or a rectangle so large that its steps overflow, throws BadParams.
ccAffineSampledRect cfAffineTransformImage(const ccPelBuffer_const<unsigned char>& src,
                                           const ccAffineSamplingParams& params,
                                           ccPelBuffer<unsigned char>& dst, unsigned char fill = 0);
