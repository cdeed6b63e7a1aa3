// ccRect: an axis-aligned rectangle given by its upper-left corner and size.
#pragma once

#include <core/shape.h>

class ccGenRect;

class ccRect : public ccShape {
  CC_SHAPE_CLASS(ccRect)

 public:
  // At (0, 0) with size (0, 0): the empty rectangle that enclose() grows from.
  ccRect() = default;
  // Upper-left corner and size, both kept exactly. A negative size component flips the
  // rectangle onto the other side of ul, so that the stored size is never negative. A corner
  // that is not finite throws ccShapesError::BadGeom.
  ccRect(const ccVector<2>& ul, const ccVector<2>& size);
  // The rectangle spanned by two opposite corners.
  static ccRect fromCorners(const ccVector<2>& a, const ccVector<2>& b);

  const ccVector<2>& ul() const { return ul_; }
  const ccVector<2>& sz() const { return sz_; }
  double width() const { return sz_.x(); }
  double height() const { return sz_.y(); }
  ccVector<2> ur() const { return ul_ + ccVector<2>(sz_.x(), 0); }
  ccVector<2> lr() const { return ul_ + sz_; }
  ccVector<2> ll() const { return ul_ + ccVector<2>(0, sz_.y()); }
  ccVector<2> center() const { return ul_ + sz_ * 0.5; }
  // Corner i: 0 upper-left, 1 upper-right, 2 lower-right, 3 lower-left.
  ccVector<2> corner(int i) const;
  void ul(const ccVector<2>& v) {
    mutating();
    ul_ = v;
  }
  void sz(const ccVector<2>& v);

  // True when both size components are 0.
  bool isNull() const { return sz_.x() == 0 && sz_.y() == 0; }
  // Grows this rectangle to hold r too. A null rectangle (size 0, 0) holds nothing: enclosing
  // into it gives r, and enclosing a null r changes nothing.
  ccRect& enclose(const ccRect& r);

  bool operator==(const ccRect& o) const { return ul_ == o.ul_ && sz_ == o.sz_; }
  bool operator!=(const ccRect& o) const { return !(*this == o); }

  // Mapping: an affine map that keeps the sides axis-aligned (no rotation or skew beyond
  // multiples of 90 degrees) gives a ccRect; any other a ccGenRect. map() always gives the
  // general rectangle.
  ccGenRect map(const ccXform<2>& x) const;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const override;

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return true; }
  bool isReversible() const override { return true; }
  bool isDecomposed() const override { return false; }
  ccRect boundingBox() const override { return *this; }
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  double distanceToPoint(const ccVector<2>& p) const override;
  bool within(const ccVector<2>& p) const override;
  bool isRightHanded() const override { return true; }
  ccRadian windingAngle(const ccVector<2>& p) const override;
  double perimeter() const override { return 2 * (sz_.x() + sz_.y()); }
  // The closed polyline ul, ur, lr, ll.
  ccShapePtrh decompose() const override;
  ccShapePtrh reverse() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) override;

 protected:
  bool equal_(const ccShape& other) const override;
  void serialize_(ccArchive& ar, unsigned char version);

 private:
  ccVector<2> ul_;
  ccVector<2> sz_;
};

// Archive form of the value: version byte 0, ul, size (doubles).
ccArchive& operator||(ccArchive& ar, ccRect& r);
