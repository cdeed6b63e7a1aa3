// Model building: models from weighted wireframes and core polygons, polygons joined end to
// end and mirrored, dominant edge directions, perimeters, and cropping of models.
#include <core/errors.h>
#include <dispc/smd/model.h>
#include <dispc/smd/polyindex_p.h>
#include <dispc/wrfm/wirefrm.h>

#include <cmath>

namespace {

// Folds a direction in degrees into [-45, 45) by a multiple of 90 degrees: the dominant edge
// direction of a rectilinear layout.
ccDegree foldQuarter(double degrees) {
  const double theta = ccDegree(degrees).norm().toDouble();
  return ccDegree(theta - 90.0 * std::trunc(theta / 90.0 + 0.5));
}

// Length-weighted mean direction of (direction, weight) pairs, by sines and cosines.
double meanDirection(const std::vector<std::pair<ccDegree, double>>& weighted) {
  double sinSum = 0, cosSum = 0;
  for (const auto& [direction, weight] : weighted) {
    const double a = ccRadian(direction).toDouble();
    sinSum += weight * std::sin(a);
    cosSum += weight * std::cos(a);
  }
  return ccDegree(ccRadian(std::atan2(sinSum, cosSum))).toDouble();
}

// The polygons of the wireframes whose weights are not 0, after checking the lists.
template <class Each>
void forEachWeighted(const std::vector<cc2Wireframe>& wireframes,
                     const std::vector<double>& weights, Each&& each) {
  if (wireframes.empty() || wireframes.size() != weights.size()) throw ccSMDGDModel::invalidIndex();
  for (double w : weights)
    if (!(w >= -1.0 && w <= 1.0)) throw ccSMDGDModel::invalidIndex();
  for (std::size_t i = 0; i < wireframes.size(); ++i)
    if (weights[i] != 0.0) each(wireframes[i], weights[i]);
}

// Calls f(length) with the length, mapped by x, of each piece of the rounded outline.
template <class F>
void forEachPieceLength(const ccSMDGDPoly& poly, const ccXform<2>& x, F&& f) {
  for (long id = 0; id < 2 * poly.numVertices(); ++id) {
    const cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(poly, id);
    if (piece.kind == cc_SMDGDPolyPiece::eLine)
      f((x * piece.line.p2() - x * piece.line.p1()).length());
    if (piece.kind == cc_SMDGDPolyPiece::eArc) f((x * piece.arc).length());
  }
}

}  // namespace

// ---- polygons -----------------------------------------------------------------------------

void ccSMDGDPolyPrivate::connectPolys(const ccSMDGDPoly& a, bool aAtEnd, const ccSMDGDPoly& b,
                                      bool bAtEnd, ccSMDGDPoly& out) {
  if (a.isClosed() || b.isClosed()) throw invalidVertices();
  ccSMDGDPoly joined;
  if (aAtEnd)
    joined = a;
  else
    reversePoly(a, joined);
  ccSMDGDPoly tail;
  if (bAtEnd)
    reversePoly(b, tail);
  else
    tail = b;
  // Built apart and assigned at the end, so a join that fails leaves out as it was.
  for (long k = 0; k < tail.numVertices(); ++k) {
    ccSMDGDPolyVertex v = tail.vertices_[tail.idx(k)];
    if (k == 0) {
      v.segmentAngleSpan(ccDegree(0));
      v.vertexRadius(0);
    }
    joined << v;
  }
  out = joined;
}

ccDegree ccSMDGDPolyPrivate::dominantAngle(const ccSMDGDPoly& poly) {
  const long n = poly.numVertices();
  if (n < 2) return ccDegree(0);
  auto point = [&poly](long v) { return poly.vertices_[poly.idx(v)].point(); };
  const ccDegree reference((point(1) - point(0)).angle());
  std::vector<std::pair<ccDegree, double>> edges;
  const long last = poly.isClosed() ? n : n - 1;
  for (long k = 0; k < last; ++k) {
    const ccVector<2> edge = point(k + 1 == n ? 0 : k + 1) - point(k);
    const double length = edge.length();
    if (length == 0) continue;
    // The edge's direction relative to the first edge's, folded by 90 degrees towards 0.
    edges.emplace_back(foldQuarter((ccDegree(edge.angle()) - reference).toDouble()), length);
  }
  return foldQuarter(reference.toDouble() + meanDirection(edges));
}

double ccSMDGDPolyPrivate::perimeter(const ccSMDGDPoly& poly, const ccXform<2>& x) {
  double sum = 0;
  forEachPieceLength(poly, x, [&sum](double length) { sum += length; });
  return sum;
}

ccSMDGDPoly ccSMDGDPolyPrivate::flip(const ccSMDGDPoly& poly) {
  std::vector<ccSMDGDPolyVertex> v(poly.vertices_);
  for (ccSMDGDPolyVertex& vertex : v) {
    vertex.point(ccVector<2>(vertex.point().x(), -vertex.point().y()));
    vertex.segmentAngleSpan(-vertex.segmentAngleSpan());
  }
  ccSMDGDPoly out(poly);
  out.vertices(v);
  out.toggleDirection();
  return out;
}

// ---- models -------------------------------------------------------------------------------

ccSMDGDModel ccSMDGDModelPrivate::weightedWireframesToModel(std::vector<cc2Wireframe> wireframes,
                                                            std::vector<double> weights) {
  ccSMDGDModel model;
  forEachWeighted(wireframes, weights, [&model](const cc2Wireframe& w, double weight) {
    ccSMDGDPoly poly(ccSMDGDPolyPrivate::poly(w));
    poly.toggleDirection();
    poly.weight(weight);
    model << poly;
  });
  return model;
}

std::vector<ccXform<2>> ccSMDGDModelPrivate::wireframeXforms(std::vector<cc2Wireframe> wireframes,
                                                             std::vector<double> weights) {
  std::vector<ccXform<2>> xforms;
  forEachWeighted(wireframes, weights, [&xforms](const cc2Wireframe& w, double) {
    xforms.push_back(ccSMDGDPolyPrivate::wireframeXform(w));
  });
  return xforms;
}

ccSMDGDModel ccSMDGDModelPrivate::convert(const std::vector<ccPolygon>& polygons) {
  ccSMDGDModel model;
  for (const ccPolygon& p : polygons) model << ccSMDGDPolyPrivate::convert(p);
  return model;
}

ccDegree ccSMDGDModelPrivate::dominantAngle(const ccSMDGDModel& model) {
  // Each polygon weighs by its outline length. (A scale of 0 in perimeter's second argument
  // would weigh every polygon by 0 and leave no direction at all, so the length is unscaled.)
  std::vector<std::pair<ccDegree, double>> weighted;
  for (const ccSMDGDPoly& p : model.polys())
    weighted.emplace_back(ccSMDGDPolyPrivate::dominantAngle(p), ccSMDGDPolyPrivate::perimeter(p));
  return dominantAngle(weighted);
}

ccDegree ccSMDGDModelPrivate::dominantAngle(
    const std::vector<std::pair<ccDegree, double>>& weighted) {
  if (weighted.empty()) return ccDegree(0);
  return foldQuarter(meanDirection(weighted));
}

double ccSMDGDModelPrivate::perimeter(const ccSMDGDModel& model, double scale) {
  double sum = 0;
  for (const ccSMDGDPoly& p : model.polys()) sum += ccSMDGDPolyPrivate::perimeter(p);
  return sum * scale;
}

long ccSMDGDModelPrivate::numPosProbesRequired(const ccSMDGDModel& model, double spacing,
                                               const ccXform<2>& x) {
  if (!(spacing > 0 && std::isfinite(spacing)))
    throw ccShapesError::BadParams("probe spacing must be positive and finite");
  // Counted in double, so that a count beyond a long is refused rather than wrapped.
  constexpr double kMostProbes = 1e15;
  double count = 0;
  for (const ccSMDGDPoly& p : model.polys())
    forEachPieceLength(p, x, [&](double length) {
      if (length > 0) count += std::ceil(length / spacing);
    });
  if (!(count <= kMostProbes))
    throw ccShapesError::BadParams("more than 1e15 probes: the probe spacing is too small");
  return static_cast<long>(count);
}

// ---- cropping -----------------------------------------------------------------------------

void ccSMDGDModelPrivate::crop(const ccSMDGDModel& model, const ccSMDGDPoly& region,
                               ccSMDGDModel& out) {
  crop(model, ccSMDGDModel() << region, out);
}

void ccSMDGDModelPrivate::crop(const ccSMDGDModel& model, const ccPolygon& region,
                               ccSMDGDModel& out) {
  crop(model, std::vector<ccPolygon>{region}, out);
}

void ccSMDGDModelPrivate::crop(const ccSMDGDModel& model, const std::vector<ccPolygon>& region,
                               ccSMDGDModel& out) {
  crop(model, convert(region), out);
}

void ccSMDGDModelPrivate::crop(const ccSMDGDModel& model, const ccSMDGDModel& region,
                               ccSMDGDModel& out) {
  const std::vector<ccSMDGDPoly>& r = region.polys();
  for (const ccSMDGDPoly& p : r)
    if (p.isOpen()) throw ccSMDGDPoly::notClosed();
  // The region is the inside of any of its polygons; one inside another would make that
  // ambiguous (a hole or a second layer), so nesting is refused. Polygons that do not cross
  // nest when a point of one's outline lies inside the other.
  for (std::size_t i = 0; i < r.size(); ++i)
    for (std::size_t j = 0; j < r.size(); ++j) {
      if (i == j || r[i].numVertices() == 0) continue;
      if (!ccSMDGDPolyPrivate::intersection_(r[i], r[j]).empty()) continue;
      if (ccSMDGDPolyPrivate::inside(r[j], r[i].roundEnd_(0))) throw nestedPolys();
    }
  ccSMDGDModel result;
  std::vector<ccSMDGDPoly> pieces;
  for (const ccSMDGDPoly& p : model.polys()) {
    ccSMDGDPolyPrivate::crop(p, r, pieces);
    for (const ccSMDGDPoly& piece : pieces) result << piece;
  }
  result.position(model.position());
  out = result;
}
