// Generic shapes: shape types identified by a 16-byte tag and carried as opaque data bytes,
// so that code which does not know a type (a sketch, a display back end) can store, copy
// and replay it, and a registry can make it again from its tag.
//
// ccGenShape is the abstract base. A generic shape type
//   - derives from ccGenShape, gives its tag (tag()), its geometry as primitives
//     (decompose()), a virtual map and the two data hooks (saveData_, loadData_);
//   - registers a factory under its tag with a static ccGenShape::Registrar<T> object
//     (T needs `static const tagShapeID& shapeTag()` and a default constructor), and with
//     the archive class registry (core/register.cpp) to load as a persistent object.
// Everything else of the ccShape interface is answered by the decomposition.
//
// Archive form of every generic shape: version byte 0, the ccShape base record, the tag
// (see operator|| below), then the data bytes (a 4-byte count and the bytes). Loading checks
// that the tag is the object's own (ccArchive::BadData otherwise) and loads the data with
// loadData().
//
// The generic shape types of the core library:
//   ccGenShapeRoundedPolygon  a polygon whose corners are rounded by circular arcs, placed by
//                             an affine transform.
#pragma once

#include <core/rect.h>
#include <core/shape.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ccGenShape : public ccShape {
 public:
  // The type tag: a 128-bit identifier laid out as a GUID.
  struct tagShapeID {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    unsigned char data4[8] = {};

    static constexpr std::size_t kBytes = 16;
    // The 16-byte form (data1, data2, data3 little-endian, then data4), as byte streams carry
    // the tag; fromBytes reads the 16 bytes at `in`.
    void toBytes(unsigned char* out) const;
    static tagShapeID fromBytes(const unsigned char* in);
    // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower-case hexadecimal.
    std::string toString() const;

    friend bool operator==(const tagShapeID& a, const tagShapeID& b);
    friend bool operator!=(const tagShapeID& a, const tagShapeID& b) { return !(a == b); }
    // An arbitrary strict order (for maps).
    friend bool operator<(const tagShapeID& a, const tagShapeID& b);
  };

  using Factory = ccGenShape* (*)();

  // A new default object of the type registered under tag; a null handle when no type is.
  static ccShapePtrh newGenShape(const tagShapeID& tag);
  static bool isRegistered(const tagShapeID& tag);
  // Registers a type (thread-safe). A tag already registered keeps its first factory and
  // the call returns false. BadParams for a null factory.
  static bool registerType(const tagShapeID& tag, Factory make);

  // A static object of this class registers T at start-up.
  template <class T>
  class Registrar {
   public:
    Registrar() {
      registerType(T::shapeTag(), []() -> ccGenShape* { return new T; });
    }
  };

  virtual tagShapeID tag() const = 0;

  // Replaces the shape's data by the given bytes (as saveData wrote them). Bounds-checked:
  // data that ends early or is malformed throws a ccArchive error (EndOfData, BadData,
  // UnknownVersion), bytes left over or invalid values throw BadParams (or the type's own
  // geometry error). On error the shape is unchanged.
  void loadData(const unsigned char* data, std::size_t size);
  // The shape's data bytes (replaces the vector's content).
  void saveData(std::vector<unsigned char>& data) const;

  // The shape mapped by an affine transform, as a generic shape (of the same type for the
  // types of the core library, which carry a placement transform).
  virtual ccPtrHandle<ccGenShape> map(const ccXform<2>& x) const = 0;
  using ccShape::map;
  ccShapePtrh mapShape(const ccXform<2>& x) const final;

  // The geometry as primitives (a contour tree, usually).
  ccShapePtrh decompose() const override = 0;
  bool isDecomposed() const override { return false; }
  bool isEmpty() const override;
  bool hasTangent() const override;
  // As the decomposition's.
  ccRect boundingBox() const override;
  ccVector<2> nearestPoint(const ccVector<2>& p) const override;
  ccVector<2> startPoint() const override;
  ccVector<2> endPoint() const override;
  ccRadian startAngle() const override;
  ccRadian endAngle() const override;
  ccRadian windingAngle(const ccVector<2>& p) const override;
  bool isRightHanded() const override;
  bool within(const ccVector<2>& p) const override;
  ccShapePtrh reverse() const override;
  void sample(const ccSampleParams& params, ccSampleResult& result) const override;
  double perimeter() const override;
  double nearestPerimPos(const ccVector<2>& p) const override;
  ccShapePtrh subShape(double startPos, double endPos) const override;

  void dispatchSerialize(ccArchive& ar) final;

 protected:
  ccGenShape() = default;
  ccGenShape(const ccGenShape&) = default;
  ccGenShape& operator=(const ccGenShape&) = default;

  // Writes the type's data (its own version byte first).
  virtual void saveData_(ccArchive& out) const = 0;
  // Reads the data written by saveData_ into locals, checks them, calls requireEnd(in), and
  // only then changes the object (calling mutating()).
  virtual void loadData_(ccArchive& in) = 0;
  // BadParams when bytes are left in the archive.
  static void requireEnd(const ccArchive& in);

 private:
  void serialize_(ccArchive& ar, unsigned char version);
};

// Archive form of the tag: data1 as unsigned long (8 bytes; a value above 32 bits fails to
// load with BadData), data2 and data3 as unsigned short, then the eight bytes of data4.
ccArchive& operator||(ccArchive& ar, ccGenShape::tagShapeID& tag);

// A closed polygon whose corners are rounded by circular arcs, placed by an affine transform.
// In its own frame the polygon has the vertices v_0..v_{n-1} (n >= 3; consecutive vertices,
// also the last and the first, must differ) and each corner is rounded with radius r: the
// arc is tangent to both edges, and where the edges are too short for r the radius is
// reduced so that each arc uses at most half of each edge (cornerRadius(i)). Straight corners
// and reversals stay sharp. The shape is the placement transform's image of that figure.
//
// decompose() gives a closed ccContourTree: for each vertex i the corner arc (a rational
// ccBezierCurve, exactly circular in the own frame) when the corner is rounded, then the
// straight ccLineSeg of edge i to the next corner (when not of length 0), all mapped by the
// placement.
//
// Mapping: map() and mapShape() give a ccGenShapeRoundedPolygon with the transform composed
// into the placement (exact).
//
// Data bytes: version byte 0, the placement (ccXform<2>), r (double), the vertices (4-byte
// count, then x, y doubles).
class ccGenShapeRoundedPolygon : public ccGenShape {
  CC_SHAPE_CLASS(ccGenShapeRoundedPolygon)

 public:
  // The type's tag: {5d3c1a27-8e41-4b6f-9a13-2c7740e51b08}.
  static const tagShapeID& shapeTag();

  // No vertices: an empty shape.
  ccGenShapeRoundedPolygon() = default;
  // Throws BadParams for fewer than 3 vertices, BadGeom for a non-finite coordinate, a
  // non-finite placement or two consecutive equal vertices, BadRadius for a negative or
  // non-finite radius.
  ccGenShapeRoundedPolygon(const std::vector<ccVector<2>>& vertices, double radius,
                           const ccXform<2>& placement = ccXform<2>());

  const std::vector<ccVector<2>>& vertices() const { return v_; }
  double radius() const { return r_; }
  const ccXform<2>& placement() const { return x_; }
  // Setters check like the constructor; on error the shape is unchanged.
  void vertices(const std::vector<ccVector<2>>& v);
  void radius(double r);
  void placement(const ccXform<2>& x);

  // The radius used at vertex i in the own frame (0 for a sharp corner); BadParams outside
  // 0 to n - 1.
  double cornerRadius(long i) const;
  // The area enclosed (exact: the polygon's area with the corner cuts, times the placement's
  // |determinant|). 0 when empty.
  double area() const;

  tagShapeID tag() const override { return shapeTag(); }
  ccPtrHandle<ccGenShape> map(const ccXform<2>& x) const override;
  using ccGenShape::map;

  bool operator==(const ccGenShapeRoundedPolygon& o) const {
    return v_ == o.v_ && r_ == o.r_ && x_ == o.x_;
  }
  bool operator!=(const ccGenShapeRoundedPolygon& o) const { return !(*this == o); }

  bool isOpenContour() const override { return false; }
  bool isRegion() const override { return !v_.empty(); }
  bool isEmpty() const override { return v_.empty(); }
  bool isReversible() const override { return !v_.empty(); }
  // Exact: the sign of the own-frame area times the placement's determinant.
  bool isRightHanded() const override;
  // The vertices in reverse order (the first kept first), same radius and placement.
  ccShapePtrh reverse() const override;
  ccShapePtrh decompose() const override;

 protected:
  bool equal_(const ccShape& other) const override;
  void saveData_(ccArchive& out) const override;
  void loadData_(ccArchive& in) override;

 private:
  static void check(const std::vector<ccVector<2>>& v, double r, const ccXform<2>& x);
  // Own-frame area with the corner cuts (signed: positive counter-clockwise).
  double ownSignedArea() const;

  std::vector<ccVector<2>> v_;
  double r_ = 0;
  ccXform<2> x_;
};
