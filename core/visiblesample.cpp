#include <core/visiblesample.h>

#include <core/genshape.h>
#include <core/shapetree.h>
#include <core/splines.h>

#include <algorithm>
#include <vector>

namespace {

// Whether the control points of a curve piece all lie beyond one side of view.
bool outside(const ccBezierCurve& piece, const ccRect& view) {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const ccVector<2>& p = piece.controlPoints()[i];
    x0 = i == 0 ? p.x() : std::min(x0, p.x());
    y0 = i == 0 ? p.y() : std::min(y0, p.y());
    x1 = i == 0 ? p.x() : std::max(x1, p.x());
    y1 = i == 0 ? p.y() : std::max(y1, p.y());
  }
  return x1 < view.ul().x() || y1 < view.ul().y() || x0 > view.lr().x() || y0 > view.lr().y();
}

void sampleChild(const ccShape& child, const ccShape::ccSampleParams& params, const ccRect& view,
                 ccShape::ccSampleResult& result) {
  const auto* curve = dynamic_cast<const ccBezierCurve*>(&child);
  const auto hidden = [&](const ccBezierCurve& piece) { return outside(piece, view); };
  if (!curve || !curve->sampleAdaptive(params, hidden, result)) child.sample(params, result);
}

}  // namespace

void cfSampleVisible(const ccShape& shape, const ccShape::ccSampleParams& params,
                     const ccRect& view, ccShape::ccSampleResult& result) {
  ccShapePtrh decomposed;
  const ccShape* s = &shape;
  if (dynamic_cast<const ccGenShape*>(s)) {
    decomposed = shape.decompose();
    s = decomposed.get();
  }
  const auto* contour = dynamic_cast<const ccContourTree*>(s);
  if (params.uniform || !contour) {
    sampleChild(*s, params, view, result);
    return;
  }
  // As ccContourTree::sample: pieces in order, a point shared by neighbours given once.
  std::vector<ccVector<2>> out;
  for (const ccShapePtrh& child : contour->children()) {
    if (child->isEmpty()) continue;
    ccShape::ccSampleResult piece;
    sampleChild(*child, params, view, piece);
    const std::vector<ccVector<2>>& pts = piece.positions();
    if (pts.empty()) continue;
    const bool skipFirst = !out.empty() && out.back() == pts.front() && !params.duplicateCorners;
    out.insert(out.end(), pts.begin() + (skipFirst ? 1 : 0), pts.end());
  }
  if (contour->isClosed() && out.size() > 1 && out.back() == out.front() &&
      !params.duplicateCorners)
    out.pop_back();
  result.positions().swap(out);
}
