// Extensions of SMD polygon segments for the negative wireframe: set at corners, then
// shortened so that no extension piece runs into another segment.
#include <dispc/smd/poly.h>
#include <dispc/smd/polyindex_p.h>

#include <algorithm>
#include <cmath>

void ccSMDGDPoly::setExtensions_(double e) {
  // A vertex extends its segments when its turn is 45 degrees or more from straight.
  auto corner = [this](long v) {
    if (isEndVertex(v)) return false;
    const double turn = ccSMDGDPolyPrivate::vertexAngle(*this, v).norm().toDouble();
    return std::fabs(turn - 180.0) >= 45.0;
  };
  for (long k = 0; k < numVertices(); ++k) {
    if (!segmentExists_(k)) continue;
    backwardPercExtension_(k, corner(previousVertexIndex_(k)) ? e : 0.0);
    forwardPercExtension_(k, corner(k) ? e : 0.0);
  }
}

namespace {

// Where two outline pieces meet (ends included).
std::vector<ccVector<2>> meet(const cc2SegmentLine& a, const cc2SegmentLine& b) {
  return a.intersection(b, false);
}
std::vector<ccVector<2>> meet(const cc2SegmentLine& a, const cc2SegmentArc& b) {
  return b.intersection(a, false);
}
std::vector<ccVector<2>> meet(const cc2SegmentArc& a, const cc2SegmentLine& b) {
  return a.intersection(b, false);
}
std::vector<ccVector<2>> meet(const cc2SegmentArc& a, const cc2SegmentArc& b) {
  return a.intersection(b, false);
}

// The closest point of a piece to p and the piece's direction there.
ccVector<2> closest(const cc_SMDGDPolyPiece& piece, const ccVector<2>& p, ccDegree& direction) {
  if (piece.kind == cc_SMDGDPolyPiece::eLine) {
    direction = piece.line.angle();
    return piece.line.closestPoint(p);
  }
  const ccVector<2> q = piece.arc.closestPoint(p);
  direction = ccDegree((q - piece.arc.center()).angle()) + ccDegree(90);
  return q;
}

// Directions that agree within tol, either way round.
bool alongside(const ccDegree& a, const ccDegree& b, const ccDegree& tol) {
  const double diff = std::fabs(ccDegree(a - b).signedNorm().toDouble());
  return std::min(diff, 180.0 - diff) <= tol.toDouble();
}

struct ExtensionCheck {
  double checkDist;
  ccDegree angleTol;
  double d;
};

// The fraction of the extension piece ext at which it first comes too near the outline piece:
// it meets the piece, or comes within d of it, or within checkDist where it runs alongside it
// (the nearest point inside the piece, directions within angleTol). 1 when never.
template <class Ext>
double firstContact(const Ext& ext, const cc_SMDGDPolyPiece& piece, const ExtensionCheck& c) {
  double first = 1.0;
  const std::vector<ccVector<2>> points =
      piece.kind == cc_SMDGDPolyPiece::eLine ? meet(ext, piece.line) : meet(ext, piece.arc);
  for (const ccVector<2>& q : points) first = std::min(first, cfFractionAlong(ext, q));

  const double length = ext.length();
  const double ends = ccSMDPieceMargin * std::max(1.0, length);
  auto tooNear = [&](double t) {
    const ccVector<2> p = ext.segPoint(t);
    ccDegree direction;
    const ccVector<2> q = closest(piece, p, direction);
    const double dist = p.distance(q);
    if (dist <= c.d) return true;
    if (dist > c.checkDist) return false;
    const ccVector<2> a = piece.kind == cc_SMDGDPolyPiece::eLine ? piece.line.p1() : piece.arc.p1();
    const ccVector<2> b = piece.kind == cc_SMDGDPolyPiece::eLine ? piece.line.p2() : piece.arc.p2();
    const bool inside = q.distance(a) > ends && q.distance(b) > ends;
    return inside && alongside(direction, ext.direction(t), c.angleTol);
  };
  // Steps of at most half the clearance (so a contact zone is not stepped over), within bounds
  // that keep the cost small; the step where the contact starts is then bisected.
  const double clearance = std::max(c.d, ends);
  const double wanted = std::ceil(2 * length / clearance);
  const int steps = wanted > 16 ? static_cast<int>(std::min(wanted, 1024.0)) : 16;  // NaN: 16
  double before = 0;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    if (t >= first) break;
    if (!tooNear(t)) {
      before = t;
      continue;
    }
    if (i == 0) return 0.0;
    double lo = before, hi = t;
    while (hi - lo > ccRoundingTolerance) {
      const double mid = (lo + hi) / 2;
      (tooNear(mid) ? hi : lo) = mid;
    }
    return std::min(first, lo);
  }
  return first;
}

}  // namespace

void ccSMDGDPoly::checkExtensions_(const ccSMDGDPoly& other, double checkDist,
                                   const ccDegree& angleTol, double d, bool same) {
  const ExtensionCheck check{checkDist, angleTol, d};
  std::vector<cc_SMDGDPolyPiece> pieces;
  for (long id = 0; id < 2 * other.numVertices(); ++id) {
    cc_SMDGDPolyPiece piece = cc_SMDGDPolyPiece::make(other, id);
    if (piece.present()) pieces.push_back(std::move(piece));
  }
  // Shortens one extension of segment k at vertex v (the far side of the vertex is segment
  // beyond); ext is the full extension piece.
  const double reach = std::max(checkDist, d);
  auto shorten = [&](const auto& ext, long k, long v, long beyond, bool forward) {
    // Pieces whose boxes lie farther than either clearance from the extension's are skipped.
    const ccRect r = ext.boundingBox();
    const cc_SMDGDPolyBox near{r.ul().x() - reach, r.ul().y() - reach, r.lr().x() + reach,
                               r.lr().y() + reach};
    double keep = 1.0;
    for (const cc_SMDGDPolyPiece& piece : pieces) {
      if (same && (piece.id == 2 * k || piece.id == 2 * v + 1 || piece.id == 2 * beyond)) continue;
      if (!near.empty() && !near.meets(piece.box())) continue;
      keep = std::min(keep, firstContact(ext, piece, check));
      if (keep <= 0) break;
    }
    if (keep >= 1.0) return;
    if (forward)
      forwardPercExtension_(k, forwardPercExtension_(k) * keep);
    else
      backwardPercExtension_(k, backwardPercExtension_(k) * keep);
  };
  for (long k = 0; k < numVertices(); ++k) {
    if (!segmentExists_(k)) continue;
    const long start = previousVertexIndex_(k);
    const double ef = forwardPercExtension_(k), eb = backwardPercExtension_(k);
    const ccVector<2> a = vertices_[idx(start)].point(), b = vertices_[idx(k)].point();
    if (a == b) continue;
    if (isLineSegment_(k)) {
      if (ef > 0) shorten(cc2SegmentLine(b, b + (b - a) * ef), k, k, nextSegmentIndex_(k), true);
      if (eb > 0)
        shorten(cc2SegmentLine(a, a + (a - b) * eb), k, start, previousSegmentIndex_(start), false);
      continue;
    }
    const cc2SegmentArc arc = ccSMDGDPolyPrivate::arcSegment_(*this, k);
    const double span = arc.angleSpan().toDouble();
    const ccVector<2> c = arc.center();
    const double r = arc.radius(ccDegree(0));
    // Extensions continue the circle; a turn beyond a full one adds nothing to check.
    auto clampSpan = [](double s) { return std::clamp(s, -360.0, 360.0); };
    if (ef > 0)
      shorten(cc2SegmentArc(c, r, arc.endAngle(), ccDegree(clampSpan(span * ef))), k, k,
              nextSegmentIndex_(k), true);
    if (eb > 0)
      shorten(cc2SegmentArc(c, r, arc.startAngle(), ccDegree(clampSpan(-span * eb))), k, start,
              previousSegmentIndex_(start), false);
  }
}
