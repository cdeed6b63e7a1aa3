// 2x2 matrices.
#pragma once

#include <core/assert.h>
#include <core/math.h>
#include <core/matherror.h>
#include <core/vector.h>

#include <iosfwd>

class ccArchive;

template <int N>
class ccMatrix;

template <>
class ccMatrix<2> {
 public:
  // Relative tolerance of the singularity test: a matrix is singular when its determinant
  // is at most this fraction of |e11 e22| + |e12 e21|, i.e. when the determinant is lost in
  // the rounding of its two products (a few units in the last place).
  static constexpr double kSingularTolerance = 1e-15;

  // The identity.
  constexpr ccMatrix() = default;
  // Row by row.
  constexpr ccMatrix(double e11, double e12, double e21, double e22) : e_{{e11, e12}, {e21, e22}} {}

  // Row and column are 0 or 1; another index is reported through cstd_assert_ and means 1.
  double element(int row, int col) const { return e_[index(row)][index(col)]; }
  void element(int row, int col, double v) { e_[index(row)][index(col)] = v; }

  constexpr ccMatrix transpose() const { return ccMatrix(e_[0][0], e_[1][0], e_[0][1], e_[1][1]); }
  constexpr double determinant() const { return e_[0][0] * e_[1][1] - e_[0][1] * e_[1][0]; }
  // True when the matrix has no representable inverse: it is zero or not finite, or its
  // determinant is lost in rounding (see kSingularTolerance; tested on the matrix scaled by
  // a power of two so that its largest element lies in [1, 2), which makes the test
  // independent of magnitude and free of overflow).
  bool isSingular() const;
  // The inverse. Throws ccMathError::Singular when isSingular() or when an element of the
  // inverse would overflow.
  ccMatrix inverse() const;

  friend constexpr ccMatrix operator*(const ccMatrix& a, const ccMatrix& b) {
    return ccMatrix(a.e_[0][0] * b.e_[0][0] + a.e_[0][1] * b.e_[1][0],
                    a.e_[0][0] * b.e_[0][1] + a.e_[0][1] * b.e_[1][1],
                    a.e_[1][0] * b.e_[0][0] + a.e_[1][1] * b.e_[1][0],
                    a.e_[1][0] * b.e_[0][1] + a.e_[1][1] * b.e_[1][1]);
  }
  friend constexpr ccVector<2> operator*(const ccMatrix& a, const ccVector<2>& v) {
    return ccVector<2>(a.e_[0][0] * v.x() + a.e_[0][1] * v.y(),
                       a.e_[1][0] * v.x() + a.e_[1][1] * v.y());
  }
  friend constexpr ccMatrix operator*(const ccMatrix& a, double s) {
    return ccMatrix(a.e_[0][0] * s, a.e_[0][1] * s, a.e_[1][0] * s, a.e_[1][1] * s);
  }
  friend constexpr ccMatrix operator*(double s, const ccMatrix& a) { return a * s; }
  friend constexpr ccMatrix operator+(const ccMatrix& a, const ccMatrix& b) {
    return ccMatrix(a.e_[0][0] + b.e_[0][0], a.e_[0][1] + b.e_[0][1], a.e_[1][0] + b.e_[1][0],
                    a.e_[1][1] + b.e_[1][1]);
  }
  friend constexpr ccMatrix operator-(const ccMatrix& a, const ccMatrix& b) {
    return ccMatrix(a.e_[0][0] - b.e_[0][0], a.e_[0][1] - b.e_[0][1], a.e_[1][0] - b.e_[1][0],
                    a.e_[1][1] - b.e_[1][1]);
  }
  constexpr ccMatrix& operator*=(const ccMatrix& b) { return *this = *this * b; }
  constexpr ccMatrix& operator*=(double s) { return *this = *this * s; }

  // Exact comparison.
  friend constexpr bool operator==(const ccMatrix& a, const ccMatrix& b) {
    return a.e_[0][0] == b.e_[0][0] && a.e_[0][1] == b.e_[0][1] && a.e_[1][0] == b.e_[1][0] &&
           a.e_[1][1] == b.e_[1][1];
  }
  friend constexpr bool operator!=(const ccMatrix& a, const ccMatrix& b) { return !(a == b); }

 private:
  static int index(int i) {
    if (i != 0 && i != 1) {
      cstd_assert_(__LINE__, "core/matrix.h");
      return 1;
    }
    return i;
  }

  double e_[2][2] = {{1, 0}, {0, 1}};
};

// All four elements differ by at most eps.
bool cfRealEq(const ccMatrix<2>& a, const ccMatrix<2>& b, double eps = ccRealEqEpsilon);

// "[[e11, e12], [e21, e22]]".
std::ostream& operator<<(std::ostream& os, const ccMatrix<2>& m);

// Archive form: e11, e12, e21, e22 as doubles (32 bytes).
ccArchive& operator||(ccArchive& ar, ccMatrix<2>& m);
