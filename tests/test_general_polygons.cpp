// General polygons: what each source shape becomes, the shape interface compared with the
// source shapes on random instances, the decomposition's piece order, edits that must fail
// leaving the archive bytes unchanged, error remapping, and the archive forms.
#include <core/archive.h>
#include <core/errors.h>
#include <core/matherror.h>
#include <core/shapetree.h>
#include <dispc/wrfm/genpoly.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <utility>

#include "archivebytes.h"
#include "assertcounter.h"
#include "shapetesting.h"

namespace {

using V2 = ccVector<2>;
using Private = ccSMDGDPolyPrivate;

ccGenPoly polyline(const std::vector<V2>& points, bool closed, double rounding = 0) {
  ccGenPoly g;
  for (const V2& p : points) g.insertVertex(p, rounding, ccRadian(0));
  if (closed) g.close(ccRadian(0));
  return g;
}

}  // namespace

TEST(GenPolyConstruction, EachSourceGivesItsVerticesClosednessMapAndMutability) {
  const ccEllipse e(V2(1, 2), V2(3, 1), ccRadian(0.5), true);
  const ccEllipse2 e2(V2(3, 1), ccRadian(0.5), ccRadian(0.2), V2(1, 2));
  const ccEllipseAnnulus ring(ccEllipse(V2(0, 0), V2(2, 1)), 0.5);
  const ccGenRect sharp(V2(1, 1), ccMatrix<2>(2, 1, 0, 3));
  const ccRadian one(1);
  const struct {
    const char* what;
    ccGenPoly g;
    long n;
    bool open, isMutable;
    V2 first;
  } kRows[] = {
      {"segment", ccGenPoly(ccLineSeg(V2(1, 2), V2(3, 4))), 2, true, true, V2(1, 2)},
      {"closing polygon", ccGenPoly(ccPolygon({{1, 0}, {4, 0}, {0, 3}, {1, 0}})), 3, false, true,
       V2(1, 0)},
      {"rect", ccGenPoly(ccRect(V2(1, 2), V2(4, 3))), 4, false, true, V2(5, 2)},  // upper right
      {"circle", ccGenPoly(ccCircle(V2(1, 1), 2)), 2, false, true, V2(-1, 1)},
      {"ellipse", ccGenPoly(e), 2, false, false, e.unit() * V2(-1, 0)},
      {"arc", ccGenPoly(ccEllipseArc(e, one, ccRadian(-2))), 2, true, false, e.point(one)},
      {"arc2", ccGenPoly(ccEllipseArc2(e2, one, ccRadian(-2))), 2, true, false, e2.point(one)},
      {"arc2 past a turn", ccGenPoly(ccEllipseArc2(e2, one, ccRadian(-7))), 2, false, false,
       e2.ellFromUnitCirc() * V2(-1, 0)},
      {"flat arc", ccGenPoly(ccEllipseArc(ccEllipse(V2(0, 0), V2(1, 0)), one, ccRadian(2))), 0,
       true, true, V2()},
      {"general rectangle", ccGenPoly(sharp), 4, false, false, sharp.corner(2)},
      {"section", ccGenPoly(ccEllipseAnnulusSection(ring, ccRadian(0), one)), 4, false, false,
       V2(2, 0)},
      {"pie",
       ccGenPoly(ccEllipseAnnulusSection(ccEllipseAnnulus(ring.outer(), 0), one, ccRadian(2))), 3,
       false, false, ring.outer().point(one)},
  };
  for (const auto& r : kRows) {
    EXPECT_EQ(r.g.numVertices(), r.n) << r.what;
    EXPECT_EQ(r.g.isOpen(), r.open) << r.what;
    EXPECT_EQ(r.g.isMutable(), r.isMutable) << r.what;
    if (r.n) {
      EXPECT_LT(r.g.vertexPoint(0).distance(r.first), 1e-14) << r.what;
    }
  }
  // Ellipses are the unit circle carried by their own unit maps, exactly.
  EXPECT_EQ(Private::poly(ccGenPoly(e)), ccSMDGDPoly::circle(1, V2(0, 0)));
  EXPECT_EQ(Private::wireframeXform(ccGenPoly(e)), e.unit());
  EXPECT_EQ(Private::wireframeXform(ccGenPoly(e2)), e2.ellFromUnitCirc());
  EXPECT_NEAR(kRows[5].g.segmentAngleSpan(0).toDouble(), 2 * ccPi - 3, 1e-15);
  EXPECT_DOUBLE_EQ(kRows[6].g.segmentAngleSpan(0).toDouble(), -2);
  EXPECT_EQ(errorOf([&] { ccGenPoly(ccEllipseAnnulusSection(ring, one, one)); }),
            ccShapesError::BadGeom::kErrorNumber);  // a full turn is a ring
  const std::vector<ccGenPoly> two = ccGenPoly::convert(ccAnnulus(V2(1, 1), 1, 2));
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].vertexPoint(1), V2(2, 1));  // inner first
  EXPECT_EQ(two[1].vertexPoint(1), V2(3, 1));
}

namespace {

// A random source shape of one kind, its coordinates of about the given size, with the
// general polygon built from it.
std::pair<ccShapePtrh, ccGenPoly> randomShape(int kind, std::mt19937& rng, double size) {
  std::uniform_real_distribution<double> u(-1, 1), pos(0.2, 1), turn(-ccPi, ccPi);
  const V2 c(size * u(rng), size * u(rng)), radii(size * pos(rng), size * pos(rng));
  const ccEllipse e(c, radii, ccRadian(turn(rng)), rng() % 2);
  const ccEllipse2 e2(radii, ccRadian(turn(rng)), ccRadian(0.9 * u(rng)), c);
  const ccRadian a(turn(rng)), b(turn(rng));
  auto both = [](const auto& s) { return std::make_pair(s.clone(), ccGenPoly(s)); };
  const V2 tip = c + V2(size * u(rng), size * u(rng));
  const double skew = size * u(rng);
  const V2 round(pos(rng), pos(rng));
  const double scale = 0.9 * pos(rng);
  std::pair<ccShapePtrh, ccGenPoly> all[] = {
      both(ccLineSeg(c, tip)),
      both(ccRect(c, radii)),
      both(ccCircle(c, radii.x())),
      both(e),
      both(e2),
      both(ccEllipseArc(e, a, b)),
      both(ccEllipseArc2(e2, a, b * 2)),
      both(ccGenRect(c, ccMatrix<2>(radii.x(), skew, 0, radii.y()))),
      both(ccGenRect(c, radii, a, round)),
      both(ccEllipseAnnulusSection(ccEllipseAnnulus(e, scale), a, b))};
  return all[kind];
}

// An arc keeps its end points, so an arc short of a full turn by delta carries their rounding
// errors magnified by 1 / delta: its deviations are taken relative to that.
double conditioning(const ccShape& s) {
  double span = 0;
  if (auto* a = dynamic_cast<const ccEllipseArc*>(&s)) span = a->angleSpan().toDouble();
  if (auto* a = dynamic_cast<const ccEllipseArc2*>(&s)) span = std::fabs(a->phiSpan().toDouble());
  if (auto* a = dynamic_cast<const ccEllipseAnnulusSection*>(&s)) span = a->angleSpan().toDouble();
  return span < 2 * ccPi ? std::max(1.0, 1 / (2 * ccPi - span)) : 1.0;
}

double angleGap(const ccRadian& a, const ccRadian& b) {
  return std::fabs(ccRadian(a - b).signedNorm().toDouble());
}

}  // namespace

// The shape interface of a general polygon answers as the shape it was built from, to within
// a few dozen units in the last place of the shape's size (arcs: over the turn they leave).
// The worst deviations are printed, so that a tolerance-driven difference shows.
TEST(GenPolyShapeInterface, AnswersAsTheSourceShapeOnRandomInstances) {
  const char* kinds[] = {"line", "rect", "circle",        "ellipse",       "ellipse2",
                         "arc",  "arc2", "genrect sharp", "genrect round", "section"};
  constexpr int kKinds = 10;
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<double> u(-1, 1);
  double worst[kKinds][5] = {};  // box, nearest, perimeter, angle, inside mismatches
  for (int round = 0; round < 400; ++round) {
    const int kind = round % kKinds;
    const double size = std::pow(10.0, 4 * u(rng));
    const auto [src, g] = randomShape(kind, rng, size);
    const double scale = size * conditioning(*src);
    double* w = worst[kind];
    const ccRect a = src->boundingBox(), b = g.boundingBox();
    w[0] = std::max({w[0], a.ul().distance(b.ul()) / scale, a.lr().distance(b.lr()) / scale});
    w[2] = std::max(w[2], std::fabs(src->perimeter() - g.perimeter()) / scale);
    for (int k = 0; k < 20; ++k) {
      const V2 p = src->boundingBox().center() + V2(2 * size * u(rng), 2 * size * u(rng));
      const double d = src->distanceToPoint(p);
      w[1] = std::max(w[1], std::fabs(d - g.distanceToPoint(p)) / scale);
      if (src->isRegion() && d > 1e-6 * size && src->within(p) != g.within(p)) w[4] += 1;
    }
    if (src->isRegion()) {
      EXPECT_EQ(src->isRightHanded(), g.isRightHanded()) << kinds[kind] << " round " << round;
    } else {
      EXPECT_EQ(src->startPoint(), g.startPoint());
      w[3] = std::max({w[3], angleGap(src->startAngle(), g.startAngle()) * size / scale,
                       angleGap(src->endAngle(), g.endAngle()) * size / scale});
    }
  }
  const double kLimits[] = {2e-14, 2e-14, 5e-14, 1e-14, 0};
  for (int kind = 0; kind < kKinds; ++kind) {
    std::printf("%-14s box %.1e nearest %.1e perimeter %.1e angle %.1e inside mismatches %.0f\n",
                kinds[kind], worst[kind][0], worst[kind][1], worst[kind][2], worst[kind][3],
                worst[kind][4]);
    for (int q = 0; q < 5; ++q) EXPECT_LE(worst[kind][q], kLimits[q]) << kinds[kind] << " " << q;
  }
}

namespace {

// Counts the pieces handed to negCornerArc_ (uncertain roundings).
class MarkingPoly : public ccGenPoly {
 public:
  explicit MarkingPoly(const ccGenPoly& g) : ccGenPoly(g) {}
  mutable int marked = 0;

 protected:
  ccShapePtrh negCornerArc_(const ccEllipseArc2& arc) const override {
    ++marked;
    return ccGenPoly::negCornerArc_(arc);
  }
};

// "a" for an arc piece, "l" for a line, in order.
std::string pieces(const ccShape& decomposed) {
  std::string out;
  for (const ccShapePtrh& c : dynamic_cast<const ccContourTree&>(decomposed).children())
    out += dynamic_cast<const ccEllipseArc2*>(c.rep()) ? "a" : "l";
  return out;
}

}  // namespace

TEST(GenPolyDecomposition, PiecesFollowVertexRoundingThenSegment) {
  const std::vector<V2> square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  ccGenPoly closed = polyline(square, true, 2);
  ccShapePtrh d = closed.decompose();
  EXPECT_EQ(pieces(*d), "alalalal");
  const auto& first =
      dynamic_cast<const ccEllipseArc2&>(*dynamic_cast<const ccContourTree&>(*d).child(0));
  EXPECT_NEAR((first.startPoint() - V2(0, 2)).length(), 0, 1e-14);  // the rounding of vertex 0
  EXPECT_NEAR(d->perimeter(), 4 * 6 + 2 * ccPi * 2, 1e-12);

  // Open: segment 0 first (end vertices stay sharp), the last piece is segment n - 2.
  ccGenPoly open = polyline(square, false, 2);
  EXPECT_EQ(pieces(*open.decompose()), "lalal");
  EXPECT_EQ(open.decompose()->endPoint(), V2(0, 10));

  // Uncertain roundings go through the hook.
  MarkingPoly marking(closed);
  marking.vertexRoundingSize(2, -2);
  EXPECT_EQ(pieces(*marking.decompose()), "alalalal");
  EXPECT_EQ(marking.marked, 1);
  EXPECT_EQ(marking.vertexRoundingSize(2), -2);

  EXPECT_FALSE(dynamic_cast<const ccContourTree&>(*ccGenPoly().decompose()).isClosed());
  const ccShapePtrh single = polyline({{1, 2}}, false).decompose();
  EXPECT_EQ(dynamic_cast<const ccLineSeg&>(*single), ccLineSeg(V2(1, 2), V2(1, 2)));
}

TEST(GenPolyEditing, RefusedEditsThrowTheirErrorAndChangeNothing) {
  ccGenPoly mutableSquare = polyline({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, false);
  ccGenPoly immutable = mutableSquare.map(ccXform<2>(ccMatrix<2>(2, 0, 0, 1), V2(0, 0)));
  EXPECT_FALSE(immutable.isMutable());
  const struct {
    const char* what;
    ccGenPoly* g;
    std::function<void(ccGenPoly&)> edit;
    std::uint32_t error;
  } kCases[] = {
      {"insert, not mutable", &immutable,
       [](ccGenPoly& g) { g.insertVertex(V2(5, 5), 0, ccRadian(0)); },
       ccShapesError::BadGeom::kErrorNumber},
      {"close, not mutable", &immutable, [](ccGenPoly& g) { g.close(ccRadian(0)); },
       ccShapesError::BadGeom::kErrorNumber},
      {"insert index", &mutableSquare,
       [](ccGenPoly& g) { g.insertVertex(4, V2(5, 5), 0, ccRadian(0)); },
       ccShapesError::BadCoef::kErrorNumber},
      {"delete index", &mutableSquare, [](ccGenPoly& g) { g.deleteVertex(-1); },
       ccShapesError::BadCoef::kErrorNumber},
      {"span index", &mutableSquare, [](ccGenPoly& g) { g.segmentAngleSpan(3, ccRadian(1)); },
       ccShapesError::BadCoef::kErrorNumber},
      {"rounded end", &mutableSquare, [](ccGenPoly& g) { g.replaceVertex(0, V2(0, 0), 2.0); },
       ccShapesError::BadGeom::kErrorNumber},
      {"crossing", &mutableSquare, [](ccGenPoly& g) { g.vertexPoint(3, V2(5, -5)); },
       ccSMDGDPoly::crossingSegments::kErrorNumber},
      {"rounding too large", &mutableSquare, [](ccGenPoly& g) { g.vertexRoundingSize(1, 6); },
       ccSMDGDPoly::invalidRounding::kErrorNumber},
      {"closing crosses", &mutableSquare, [](ccGenPoly& g) { g.close(ccRadian(ccDegree(-270))); },
       ccSMDGDPoly::crossingSegments::kErrorNumber},
      {"all roundings too large", &mutableSquare, [](ccGenPoly& g) { g.vertexRoundingSizes(7); },
       ccSMDGDPoly::invalidRounding::kErrorNumber},
  };
  for (const auto& c : kCases) {
    const Bytes before = bytesOf(*c.g);
    EXPECT_EQ(errorOf([&] { c.edit(*c.g); }), c.error) << c.what;
    EXPECT_EQ(bytesOf(*c.g), before) << c.what;
  }
  mutableSquare.vertexRoundingSizes(2);
  EXPECT_EQ(mutableSquare.vertexRoundingSize(0), 0);  // the ends stay sharp
  EXPECT_NEAR(mutableSquare.vertexRoundingSize(1), 2, 1e-14);
  mutableSquare.close(ccRadian(ccDegree(90)));
  EXPECT_TRUE(mutableSquare.isArcSegment(3));
}

namespace {

// The error number that comes out of the error remapping when e is thrown inside it.
struct Remapper : ccGenPoly {
  template <class E>
  std::uint32_t operator()(const E& e) const {
    return errorOf([&] { remapErrors_([&] { throw e; }); });
  }
};

}  // namespace

// Constructors report the SMD polygon's errors as shape errors; queries the shape errors.
TEST(GenPolyErrors, ConstructorsRemapTheSMDErrorsQueriesThrowShapeErrors) {
  const std::uint32_t badGeom = ccShapesError::BadGeom::kErrorNumber;
  EXPECT_EQ(errorOf([] {
              ccGenPoly(ccPolygon({{0, 0}, {4, 4}, {4, 0}, {0, 4}, {0, 0}}));
            }),
            badGeom);                                                          // a bow tie crosses
  EXPECT_EQ(errorOf([] { ccGenPoly(ccRect(V2(1, 1), V2(0, 2))); }), badGeom);  // a side of 0
  const Remapper remapped;
  EXPECT_EQ(remapped(ccSMDGDPoly::notClosed()), badGeom);
  EXPECT_EQ(remapped(ccShapesError::DegenerateShape()), badGeom);
  EXPECT_EQ(remapped(ccSMDGDPoly::invalidRounding()), ccShapesError::BadRadius::kErrorNumber);
  EXPECT_EQ(remapped(ccSMDGDPoly::invalidIndex()), ccShapesError::BadCoef::kErrorNumber);
  EXPECT_EQ(remapped(ccSMDGDPoly::noPelBuffer()), ccSMDGDPoly::noPelBuffer::kErrorNumber);

  const ccGenPoly one = polyline({{1, 1}}, false);
  const ccGenPoly closed(ccCircle(V2(0, 0), 1));
  ccShape::ccSampleResult r;
  EXPECT_EQ(errorOf([&] { one.startAngle(); }), ccShapesError::NoTangent::kErrorNumber);
  EXPECT_EQ(errorOf([&] { ccGenPoly().boundingBox(); }), ccShapesError::EmptyShape::kErrorNumber);
  EXPECT_EQ(errorOf([&] { closed.vertexPoint(2); }), ccShapesError::BadCoef::kErrorNumber);
  EXPECT_EQ(errorOf([&] { closed.lineSegment(0, true); }), badGeom);
  EXPECT_EQ(errorOf([&] { closed.sample(ccShape::ccSampleParams(1, 0, 9, false, true), r); }),
            ccShapesError::BadParams::kErrorNumber);
}

TEST(GenPolyArchive, RoundTripsAndRefusesBadBytesUnchanged) {
  ccGenPoly arc(
      ccEllipseArc(ccEllipse(V2(1, 2), V2(3, 1), ccRadian(0.5)), ccRadian(1), ccRadian(2)));
  EXPECT_TRUE(roundTrip(arc)->equal(arc));

  const Bytes good = bytesOf(arc);
  ccGenPoly target = polyline({{0, 0}, {1, 0}}, false);
  const Bytes before = bytesOf(target);
  for (std::size_t n = 0; n < good.size(); ++n) {  // every truncation
    ccArchive in(good.data(), n);
    const std::uint32_t e = errorOf([&] { target.dispatchSerialize(in); });
    EXPECT_TRUE(e == ccArchive::EndOfData::kErrorNumber || e == ccArchive::BadData::kErrorNumber)
        << n;
    ASSERT_EQ(bytesOf(target), before) << n;
  }
  Bytes bad = good;
  bad[0] = 1;
  ccArchive version1(bad);
  EXPECT_EQ(unknownVersionSource([&] { target.dispatchSerialize(version1); }),
            "dispc/wrfm/genpoly");
  bad = good;
  for (int i = 0; i < 8; ++i) {  // the map's first column: singular
    bad[bad.size() - 1 - 48 + i] = 0;
    bad[bad.size() - 1 - 32 + i] = 0;
  }
  ccArchive in(bad);
  EXPECT_EQ(errorOf([&] { target.dispatchSerialize(in); }), ccArchive::BadData::kErrorNumber);
  EXPECT_EQ(bytesOf(target), before);

  // The simple load reads the common part without the shape record.
  Bytes simple{0};
  simple.insert(simple.end(), good.begin() + 2, good.end());
  ccArchive simpleIn(simple);
  target.loadSimple(simpleIn);
  EXPECT_EQ(target, arc);
  AssertCounter asserts;
  ccArchive storing;
  target.loadSimple(storing);
  EXPECT_EQ(asserts.reports(), 1);
}
