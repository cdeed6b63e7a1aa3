#!/usr/bin/env python3
"""Mutation check: plants realistic faults one at a time and tells which the tests catch.

Each fault is a unique snippet of a source file under core/, dispc/ or backends/, its
replacement and a line saying why it is a fault. For each fault the script writes the changed
file, builds incrementally in its own build directory (ccache, -j2), runs the test binaries
(time-limited) and notes every test that fails, then puts the file back, on every path:
after each fault, on an error, on Ctrl-C or SIGTERM, and, should the script itself be killed,
at the start of the next run (the original is kept in a journal in the build directory).

Not part of CI: it takes a good while. Typical use:
    scripts/mutate.py                      # every fault, summary on stdout
    scripts/mutate.py --only rect          # the faults whose id contains "rect"
    scripts/mutate.py --check              # snippets found and unique; builds nothing
    scripts/mutate.py --json out.json      # results for a later --compare
    scripts/mutate.py --compare before.json after.json
    scripts/mutate.py --fail-fast --only smd  # quicker: each run stops at its first failure
"""

import argparse
import atexit
import json
import os
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


@dataclass(frozen=True)
class Fault:
    id: str
    path: str
    find: str
    replace: str
    why: str


F = Fault
FAULTS = [
    # ---- core: rectangles, lines, points, polylines
    F("rect-within-right-edge", "core/rect.cpp",
      "p.x() <= ul_.x() + sz_.x()", "p.x() < ul_.x() + sz_.x()",
      "within() must hold the right edge: the rectangle is closed"),
    F("rect-nearest-inside-left", "core/rect.cpp",
      "if (m == dl) return ccVector<2>(x0, p.y());", "if (m == dl) return ccVector<2>(x1, p.y());",
      "a point inside near the left side has its nearest point on the left side"),
    F("rect-sz-no-mutating", "core/rect.cpp",
      "void ccRect::sz(const ccVector<2>& v) {\n  mutating();",
      "void ccRect::sz(const ccVector<2>& v) {",
      "every setter advances the change count"),
    F("rect-enclose-min", "core/rect.cpp",
      "std::max(lr().x(), r.lr().x())", "std::min(lr().x(), r.lr().x())",
      "enclose() grows to the larger right edge"),
    F("rect-negative-width-kept", "core/rect.cpp",
      "size.x() >= 0 ? ul.x() : far.x()", "size.x() >= 0 ? ul.x() : ul.x()",
      "a negative width flips the rectangle onto the other side of ul"),
    F("lineseg-sub-end", "core/lines.cpp",
      "if (pos >= len) return p2_;", "if (pos >= len) return p1_;",
      "a sub-segment reaching past the end ends at p2"),
    F("pointset-nearest-farthest", "core/points.cpp",
      "if ((q - p).lengthSq() < (*best - p).lengthSq()) best = &q;",
      "if ((q - p).lengthSq() > (*best - p).lengthSq()) best = &q;",
      "the nearest point of a set is the closest one"),
    F("cross-zero-arm-refused", "core/points.cpp",
      "if (armlength < 0) throw", "if (armlength <= 0) throw",
      "a cross with arm length 0 is valid; only negative lengths are refused"),
    F("polyline-closed-no-closing-edge", "core/polyline.cpp",
      "return closed ? v.size() : v.size() - 1;", "return v.size() - 1;",
      "a closed polyline has an edge from its last vertex back to its first"),
    F("genrect-uround-one-refused", "core/genrect.cpp",
      "uround.x() > 1 ||", "uround.x() >= 1 ||",
      "a rounding of 1 (fully round) is valid"),
    F("ellipse-zero-radius-refused", "core/ellipse.cpp",
      "if (r < 0) throw ccShapesError::BadRadius(\"negative radius\");",
      "if (r <= 0) throw ccShapesError::BadRadius(\"negative radius\");",
      "radius 0 is valid (a degenerate ellipse); only negative radii are refused"),
    F("bezier-ignores-weights", "core/splines.cpp",
      "return ccVector<2>(h.x / h.w, h.y / h.w);", "return ccVector<2>(h.x, h.y);",
      "a rational curve's point divides by the weight"),
    F("shapetree-insert-at-end-refused", "core/shapetree.cpp",
      "if (i < 0 || i > numChildren()) throw", "if (i < 0 || i >= numChildren()) throw",
      "inserting at position numChildren() appends"),
    F("shapetree-cycle-unchecked", "core/shapetree.cpp",
      "if (static_cast<const ccShape*>(this) == child.get() || holdsIn(child.get(), this))",
      "if (static_cast<const ccShape*>(this) == child.get())",
      "a tree that holds this tree further down would make a cycle"),
    F("mapped-handedness-ignores-reflection", "core/mappedshape.cpp",
      "return det < 0 ? !underlying : underlying;", "return underlying;",
      "a reflecting map swaps the handedness"),
    F("rle-row-width-unchecked", "core/rlebuffer.cpp",
      "if (len == 0) return sum == width ? i + 2 : 0;", "if (len == 0) return i + 2;",
      "a row whose runs do not sum to the width is malformed"),

    # ---- dispc: colours, props, rectangles, text format
    F("color-stock-orange", "dispc/color.cpp",
      "ccColor(245, 250, 125, 50),   // orange", "ccColor(245, 250, 128, 50),   // orange",
      "the stock orange is (250, 125, 50)"),
    F("color-rgb16-unchecked", "dispc/color.cpp",
      "std::uint16_t ccColor::rgb16() const {\n  if (!isRGBColor()) throw ccUIError::NotRGBColor();",
      "std::uint16_t ccColor::rgb16() const {",
      "rgb16 of an index colour throws NotRGBColor"),
    F("color-equal-rgb-one-sided", "dispc/color.cpp",
      "if (isRGBColor() && o.isRGBColor() && rgb_.rgb() == o.rgb_.rgb()) return true;",
      "if (isRGBColor() && rgb_.rgb() == o.rgb_.rgb()) return true;",
      "an index colour is not equal to an RGB colour because of stale RGB bytes"),
    F("color-pass-copy-index", "dispc/color.cpp",
      "constexpr int kPassCopy = 11;", "constexpr int kPassCopy = 10;",
      "the pass index is that of the pass colour (243), not magenta's"),
    F("props-width-no-mutating", "dispc/dispprop.cpp",
      "const std::int32_t checked = checkedWidth(w);\n  mutating();",
      "const std::int32_t checked = checkedWidth(w);",
      "setting the pen width advances the change count"),
    F("props-equal-ignores-vertex", "dispc/dispprop.cpp",
      "arrowHeadForward_ == o.arrowHeadForward_ &&\n         showVertex_ == o.showVertex_;",
      "arrowHeadForward_ == o.arrowHeadForward_;",
      "props that differ in vertex display differ (recording writes a new props record)"),
    F("props-sketch-join-cap-swapped", "dispc/dispprop.cpp",
      "put32(out + 10, penJoin_);\n  put32(out + 14, penEndCap_);",
      "put32(out + 10, penEndCap_);\n  put32(out + 14, penJoin_);",
      "the props record has the join at offset 10 and the cap at 14"),
    F("uirect-touching-intersect", "dispc/uirect.cpp",
      "left() >= r.right()", "left() > r.right()",
      "rectangles that only touch (right edge exclusive) do not intersect"),
    F("uirect-and-right-edge", "dispc/uirect.cpp",
      "std::min(right(), r.right())", "std::max(right(), r.right())",
      "the intersection ends at the smaller right edge"),
    F("format-align-centre-height", "dispc/uistring.cpp",
      "dx = r.width() / 2;", "dx = r.height() / 2;",
      "centring across moves by half the width"),

    # ---- dispc: tablet tree, update control, drawing
    F("tablet-show-visible-underflow", "dispc/tablet.cpp",
      "if (hideCount_ == 0 || --hideCount_ != 0) return false;",
      "if (--hideCount_ != 0) return false;",
      "showing a visible tablet leaves it visible, not hidden by a wrapped count"),
    F("tablet-reduce-y-uses-x", "dispc/tablet.cpp",
      "ccMatrix<2>(1.0 / x, 0, 0, 1.0 / y)", "ccMatrix<2>(1.0 / x, 0, 0, 1.0 / x)",
      "reduction divides y by the y factor"),
    F("tablet-overlay-flag-ignored", "dispc/tablet.cpp",
      "if (l == eOverlayLayer && !drawOnOverlay_) return false;", "",
      "drawOnOverlay off keeps the overlay layer from drawing"),
    F("tablet-offscreen-change-collection", "dispc/tablet.cpp",
      "if (scope->offScreen() && !scope->clientChangeEnable()) return false;",
      "if (scope->offScreen()) return false;",
      "an off-screen scope draws while client change collection is on"),
    F("tablet-back-no-allchange", "dispc/tablet.cpp",
      "if (s) s->allChange();", "(void)s;",
      "sending a tablet to the back marks its scopes wholly changed"),
    F("tablet-erase-keeps-recording", "dispc/tablet.cpp",
      "if (recordOn_) sketch_.erase();", "",
      "erasing a recording tablet erases its sketch"),
    F("tablet-redraw-ignores-drawon", "dispc/tablet.cpp",
      "if (!visible() || !drawOn_) return;", "if (!visible()) return;",
      "a tablet with drawOn off does not redraw"),
    F("tablet-getchanges-keep-ignored", "dispc/tablet.cpp",
      "s->clientChangedRect(keep) : ccUIRect();", "s->clientChangedRect(true) : ccUIRect();",
      "getChanges(keep = false) ends change collection"),
    F("tablet-modified-ignores-kids", "dispc/tablet.cpp",
      "if (kid->modified(l)) return true;", "if (kid->modified(l)) break;",
      "a tablet is modified when a kid is"),
    F("draw-line-clip-unsorted", "dispc/tabletdraw.cpp",
      "if (tx0 > tx1) std::swap(tx0, tx1);", "",
      "an infinite line running leftwards is clipped to the scope like any other"),
    F("draw-rect-outline-open", "dispc/tabletdraw.cpp",
      "for (int i = 1; i <= 4; ++i) scope->drawTo", "for (int i = 1; i < 4; ++i) scope->drawTo",
      "a rectangle's outline closes with its fourth side"),
    F("draw-annsect-backward-record", "dispc/tabletdraw.cpp",
      "if (props.arrowHead() && props.arrowHeadForward()) {", "if (props.arrowHead()) {",
      "a backward arrowhead is recorded with the flag form of the operation"),
    F("icon-zero-width-pattern", "dispc/tabletimage.cpp",
      "if (width <= 0 || height == 0) throw ccUIError::BadIconPattern();",
      "if (height == 0) throw ccUIError::BadIconPattern();",
      "a pattern of empty rows is malformed"),
    F("icon-touch-dot", "dispc/tabletimage.cpp",
      "return c != ' ' && c != '.';", "return c != ' ';",
      "'.' is a transparent icon pel and is not touched"),
    F("zoom-double-tail", "dispc/pelzoom.cpp",
      "store(d + 2 * i, static_cast<std::uint16_t>(s[i] * 0x0101u));",
      "store(d + 2 * i, static_cast<std::uint16_t>(s[i] * 0x0100u));",
      "doubling writes each pel twice, also in the tail after the 16-pel blocks"),
    F("scope-rle-reduce-width", "dispc/scope.cpp",
      "if (sum < width) rows.lengthen(sum == 0 ? image.pointToRow(k * m)[0] : last, width - sum);",
      "",
      "each reduced row keeps the image's width"),
    F("scope-rle-expand-last-pel", "dispc/scope.cpp",
      "const long sw = (rx + vw + fx - 1) / fx", "const long sw = (rx + vw) / fx",
      "the last partly visible source pel is enlarged too"),
    F("scope-opaque-partial", "dispc/scope.cpp",
      "if (checkOpaque && r.sz() == size) setFlag(eOpaque, true);",
      "if (checkOpaque) setFlag(eOpaque, true);",
      "only a change of the whole scope makes it opaque"),
    F("scope-client-change-stale", "dispc/scope.cpp",
      "setFlag(eClientChangeEnable, true);\n  clientChanged_ = ccUIRect::null;",
      "setFlag(eClientChangeEnable, true);",
      "enabling change collection starts from an empty rectangle"),

    # ---- dispc: sketches
    F("sketch-props-version-unchecked", "dispc/sketchformat.cpp",
      "if (props[0] != 0) bad(\"props version \" + std::to_string(props[0]) + \", not 0\");", "",
      "a props record of another version is malformed"),
    F("sketch-polyline-closed-byte", "dispc/sketchformat.cpp",
      "return 4 + kSketchPointFieldSize * countAt(p, available, 0) + 1;",
      "return 4 + kSketchPointFieldSize * countAt(p, available, 0);",
      "a polyline payload ends with its closed byte"),
    F("replay-both-layers-kept", "dispc/tabletplay.cpp",
      "if (header.layer() == eBothLayers) header.layer(l);", "",
      "an operation recorded for both layers takes the layer it is replayed on"),
    F("sketch-erase-keeps-props", "dispc/uisketch.cpp",
      "length_ = 0;\n  props_ = ccGraphicProps();", "length_ = 0;",
      "an erased sketch starts again from default props"),
    F("sketch-self-insert-tail", "dispc/uisketch.cpp",
      "std::memcpy(data_ + 2 * m, data_ + m + n, static_cast<std::size_t>(tail));",
      "std::memcpy(data_ + 2 * m, data_ + m, static_cast<std::size_t>(tail));",
      "inserting a sketch into itself copies its moved tail"),
    F("replay-both-layer-ops", "dispc/tabletplay.cpp",
      "if (header.layer() == eBothLayers) header.layer(l);", "",
      "an operation recorded for both layers replays on the layer asked for"),
    F("replay-layer-filter", "dispc/tabletplay.cpp",
      "if (!filter || header.layer() == l) op.draw(*this, header);", "op.draw(*this, header);",
      "a replay onto one layer skips the other layer's operations"),
    F("bounds-ignore-pen-width", "dispc/tabletplay.cpp",
      "const long grow = std::max(penWidth, 0L) / 2;", "const long grow = 0;",
      "a wide pen reaches beyond the path's pixels"),

    # ---- dispc: wireframe segments and SMD values
    F("lineseg-exclusive-near-end", "dispc/wrfm/lineseg.cpp",
      "return s > 0 && s < len && !nearEnd;", "return s > 0 && s < len;",
      "with ends excluded, a meeting at an end point (to rounding) does not count"),
    F("lineseg-other-ends-included", "dispc/wrfm/lineseg.cpp",
      "other.intersection(line(), excludeEnds))\n    if (inRange(p, !excludeEnds))",
      "other.intersection(line(), excludeEnds))\n    if (inRange(p, true))",
      "with ends excluded, a crossing at this segment's own end point does not count"),
    F("lineseg-closest-end-swapped", "dispc/wrfm/lineseg.cpp",
      "return p.distance(p1_) <= p.distance(p2_) ? p1_ : p2_;",
      "return p.distance(p1_) <= p.distance(p2_) ? p2_ : p1_;",
      "beyond the segment the nearer end point is the closest point"),
    F("arc-inclusive-end", "dispc/wrfm/arc.cpp",
      "if (inclusive) return diff <= absSpan || near;", "if (inclusive) return diff < absSpan;",
      "with ends included, the arc's end angle is on the arc"),
    F("arc-tangent-twice", "dispc/wrfm/arc.cpp",
      "if (!cfRealEq(std::fabs(c), 1, ccRealEqEpsilon) && other.validAngle(theta - alpha, inclusive))",
      "if (other.validAngle(theta - alpha, inclusive))",
      "tangent circles meet once, not twice at the same point"),
    F("arc-closest-end-swapped", "dispc/wrfm/arc.cpp",
      "return q.distance(s) <= q.distance(e) ? s : e;",
      "return q.distance(s) <= q.distance(e) ? e : s;",
      "off the arc the nearer end point is the closest point"),
    F("dimtol-within-max", "dispc/dimtol.cpp",
      "if (maxTol_ >= 0 && v > maxDim()) return false;", "if (maxTol_ >= 0 && v >= maxDim()) return false;",
      "the maximum dimension itself is within tolerance"),
    F("smd-dimension-nominal-equal-min", "dispc/smd/dimension.cpp",
      "if (nomDim < minDim) throw", "if (nomDim <= minDim) throw",
      "a nominal equal to the minimum is valid"),
    F("smd-colors-grey-rounding", "dispc/wrfm/colors.cpp",
      "return static_cast<unsigned char>(mean + 0.5);", "return static_cast<unsigned char>(mean);",
      "the grey of an RGB colour is its rounded mean"),

    # ---- dispc: SMD polygons
    F("smd-cyclic-negative", "dispc/smd/poly.cpp",
      "return ((i % n) + n) % n;", "return i % n;",
      "a wrapped index below -n lands on a vertex, not a negative index"),
    F("smd-open-ends-rounded", "dispc/smd/poly.cpp",
      "return previousSegmentIndex_(v) != -1 && nextSegmentIndex_(v) != -1;", "return true;",
      "the end vertices of an open polygon stay sharp"),
    F("smd-label-share-exact", "dispc/smd/poly.cpp",
      "end.percentPrevSegment() + start.percentNextSegment() > 1.0)",
      "end.percentPrevSegment() + start.percentNextSegment() >= 1.0)",
      "two parts of a sub-model may share a side exactly"),
    F("smd-whole-check-last-crossing", "dispc/smd/poly.cpp",
      "if (k >= firstCrossing) throw crossingSegments();",
      "if (k > firstCrossing) throw crossingSegments();",
      "a crossing met at the last vertex is a crossing too"),
    F("smd-edit-far-roundings-unchecked", "dispc/smd/poly.cpp",
      "if (k != v && k != cyclic_(v - 1) && k != cyclic_(v + 1) && vertexIntersectsPoly_(k))",
      "if (false)",
      "a rounding recomputed further away can cross the polygon after an edit"),
    F("smd-journal-short-reach", "dispc/smd/poly.cpp",
      "const long n = p.numVertices(), reach = 4;", "const long n = p.numVertices(), reach = 1;",
      "a failed edit puts back every rounding the revalidation recomputed"),
    F("smd-grid-update-short", "dispc/smd/poly.cpp",
      "for (long v = first; v <= last; ++v) index_->update(*this, cyclic_(v));",
      "for (long v = first; v < last; ++v) index_->update(*this, cyclic_(v));",
      "the piece grid follows every piece an edit moved"),
    F("smd-archive-future-version", "dispc/smd/poly.cpp",
      "if (version > 1) throw ccArchive::UnknownVersion(std::string(), 0);",
      "if (version > 2) throw ccArchive::UnknownVersion(std::string(), 0);",
      "a version this code does not know is refused"),
    F("smd-archive-cache-count-unchecked", "dispc/smd/poly.cpp",
      "if (starts.size() != n || ends.size() != n || spans.size() != n)", "if (false)",
      "caches shorter than the vertex list would be read past their end"),
    F("smd-direction-ignores-flag", "dispc/smd/poly.cpp",
      "return (ccSMDGDPolyPrivate::signedArea2_(*this) > 0) != directionReversed_;",
      "return ccSMDGDPolyPrivate::signedArea2_(*this) > 0;",
      "a reversed direction flag inverts the direction"),
    F("smd-half-side-rounding", "dispc/smd/polygeometry.cpp",
      "const bool whole = isEndSegment(s);", "const bool whole = true;",
      "an inner side lends each rounding only its half, so roundings cannot overlap"),
    F("smd-rounding-far-centre", "dispc/smd/polygeometry.cpp",
      "return p.distance(points[0]) < p.distance(points[1]) ? points[0] : points[1];",
      "return p.distance(points[0]) < p.distance(points[1]) ? points[1] : points[0];",
      "of two candidate centres the rounding takes the one nearer its vertex"),
    F("smd-ray-through-vertex", "dispc/smd/polygeometry.cpp",
      "    if (endAtRay(a, tol) || endAtRay(b, tol)) return false;\n    if ((ya > 0) == (yb > 0)) continue;",
      "    if ((ya > 0) == (yb > 0)) continue;",
      "a ray through a vertex counts its sides unreliably; another direction is taken"),
    F("smd-area-arc-segment", "dispc/smd/polygeometry.cpp",
      "r * r * (theta - std::sin(theta));", "r * r * theta;",
      "an arc adds the circular segment between chord and arc, not a whole sector"),
    F("smd-bbox-rounded-corner", "dispc/smd/polygeometry.cpp",
      "if (!vertexIsRounded_(v)) box.add(x * vertices_[idx(v)].point());",
      "box.add(x * vertices_[idx(v)].point());",
      "a rounded corner's vertex lies outside the rounded outline"),
    F("smd-reverse-percentages", "dispc/smd/polygeometry.cpp",
      "r.percentPrevSegment(src.percentNextSegment());",
      "r.percentPrevSegment(src.percentPrevSegment());",
      "run the other way, a vertex's share of its two sides is exchanged"),
    F("smd-adjacent-roundings-touch", "dispc/smd/polyindex.cpp",
      "adjacent = (poly.segmentExists_(b) && poly.previousVertexIndex_(b) == a) ||",
      "adjacent = false && (poly.segmentExists_(b) && poly.previousVertexIndex_(b) == a) ||",
      "the roundings at both ends of a side may meet where their arcs end"),
    F("smd-vertex-percent-range", "dispc/smd/polyvertex.cpp",
      "if (p < kMinPercent || p > kMaxPercent) throw invalidSegmentLength();\n  mutating();\n  percentPrevSegment_",
      "if (p < 0 || p > kMaxPercent) throw invalidSegmentLength();\n  mutating();\n  percentPrevSegment_",
      "a share of a side below 1% is refused"),

    # ---- backends
    F("cairo-zero-width-pen", "dispc/surfacescope.h",
      "std::clamp(props.penWidth(), 1L, ccSurfaceMaxPenWidth)",
      "std::clamp(props.penWidth(), 0L, ccSurfaceMaxPenWidth)",
      "a pen of width 0 draws one pel wide"),
    F("cairo-range-cross-from-far-end", "backends/cairo/cairoscope.cpp",
      "    if (!inside(k, a)) std::swap(a, b);\n", "",
      "a crossing measured from a far end loses the near end's coordinates"),
    F("cairo-range-no-closing-edge", "backends/cairo/cairoscope.cpp",
      "if (s.started && s.prevInside != inside(k, s.first))",
      "if (false && s.started && s.prevInside != inside(k, s.first))",
      "a closed path cut by the range box must cross back on its closing edge"),
    F("cairo-pixel-centres", "backends/cairo/cairoscope.cpp",
      "cairo_translate(cr_, t.first + 0.5, t.second + 0.5);", "cairo_translate(cr_, t.first, t.second);",
      "strokes of odd widths are centred on pel centres"),
    F("cairo-display-clip-offset", "dispc/surfacescope.h",
      "r &= this->displayClipRect() + surfaceOrigin();", "r &= this->displayClipRect();",
      "a sub-scope's display clip is in its own pixels"),
    F("cairo-parent-clip", "dispc/surfacescope.h",
      "if (const Backend* p = surfaceParent()) r &= p->surfaceClip();", "",
      "a child scope draws only inside its parent's clip"),
    F("cairo-even-point-centre", "backends/cairo/cairoscope.cpp",
      "const long x = d.origin().first + xCoord(p) - (w - 1) / 2;",
      "const long x = d.origin().first + xCoord(p) - w / 2;",
      "an even-width point extends one pel more right than left"),
    F("cairo-fill-rule-swapped", "backends/cairo/cairoscope.cpp",
      "fillMode == ccPolygon::eFillWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD",
      "fillMode == ccPolygon::eFillWinding ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING",
      "winding fill fills a doubly wound region"),
    F("qt-far-stroke-uncut", "backends/qt/qtscope.cpp",
      "constexpr long kIntStrokeRange = 1L << 30;", "constexpr long kIntStrokeRange = 1L << 62;",
      "a stroke reaching beyond int coordinates wraps in Qt's line path"),
    F("clip-box-axis-reversed", "core/lines.cpp",
      "    if (a > b) std::swap(a, b);\n    t0 = std::max(t0, a);",
      "    t0 = std::max(t0, a);",
      "a segment running against an axis is cut to nothing"),
]


# ---- Restoring files on every path

class Journal:
    """Keeps the original of the file being changed, so that it is put back even after the
    script was killed (the next run restores it first). A file that no longer holds the
    planted fault (edited or checked out since) is left alone and the run stops."""

    def __init__(self, build_dir: Path):
        self.path = build_dir / "mutate-journal.json"

    def restore_leftover(self):
        if not self.path.exists():
            return
        entry = json.loads(self.path.read_text())
        target = ROOT / entry["path"]
        current = target.read_text() if target.exists() else None
        if current == entry.get("changed"):
            target.write_text(entry["original"])
            print(f"restored {entry['path']} left changed by an interrupted run", flush=True)
        elif current != entry["original"]:
            sys.exit(f"{entry['path']} differs both from its original and from the fault an "
                     f"interrupted run planted; check it, then delete {self.path}")
        self.path.unlink()

    def change(self, rel: str, original: str, changed: str):
        self.path.write_text(json.dumps({"path": rel, "original": original, "changed": changed}))
        (ROOT / rel).write_text(changed)

    def restore(self, rel: str, original: str):
        (ROOT / rel).write_text(original)
        if self.path.exists():
            self.path.unlink()


def raise_interrupt(signum, _frame):
    raise KeyboardInterrupt(f"signal {signum}")


# ---- Build and test

# The test programs, fastest first, each run in its own build directory; a program whose
# directory was not configured (its back end was not found) is left out. dispc-view's tests,
# which start a display server, are not run.
TEST_BINARIES = [
    ("tests/dispc_tests", "tests"),
    ("tests/cairo/dispc_cairo_tests", "tests/cairo"),
    ("tests/opencv/dispc_opencv_tests", "tests/opencv"),
    ("tests/qt/dispc_qt_tests", "tests/qt"),
    ("tests/tools/dispc_tool_tests", "tests/tools"),
]


def targets(build_dir: Path):
    return [Path(b).name for b, cwd in TEST_BINARIES if (build_dir / cwd / "Makefile").exists()]


def run(cmd, cwd, timeout, env=None):
    """Runs cmd in its own process group; returns (exit code or None on time-out, output)."""
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, errors="replace",
                            start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        return None, out
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        raise


def configure(build_dir: Path):
    if (build_dir / "CMakeCache.txt").exists():
        return
    cmd = ["cmake", "-S", str(ROOT), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
           "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DDISPC_BUILD_BENCH=OFF",
           # A changed library does not relink the test programs that load it.
           "-DCMAKE_LINK_DEPENDS_NO_SHARED=ON"]
    code, out = run(cmd, ROOT, 600)
    if code != 0:
        sys.exit("configure failed:\n" + out)


def build(build_dir: Path, timeout: float):
    cmd = ["cmake", "--build", str(build_dir), "-j2", "--target", *targets(build_dir)]
    return run(cmd, ROOT, timeout)


def failed_tests(out: str):
    """The distinct tests that failed, parameter and type indices dropped (one test, however
    many instances failed)."""
    names = []
    for line in out.splitlines():
        if line.startswith("[  FAILED  ]") and "." in line:
            name = re.sub(r"/\d+", "", line[len("[  FAILED  ]"):].strip().split(" ")[0])
            name = name.rstrip(",")
            if name not in names:
                names.append(name)
    return names


def run_tests(build_dir: Path, timeout: float, fail_fast: bool):
    """The failing tests, empty when every binary passes. A binary that times out or dies
    without naming a failed test (a crash, a sanitizer report) counts as one failing test."""
    failing = []
    for binary, cwd in TEST_BINARIES:
        path = build_dir / binary
        if not path.exists():
            continue
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        cmd = [str(path), "--gtest_brief=1"] + (["--gtest_fail_fast"] if fail_fast else [])
        code, out = run(cmd, build_dir / cwd, timeout, env)
        name = Path(binary).name
        named = [f"{name}: {t}" for t in failed_tests(out)]
        failing += named
        if code is None:
            failing.append(f"{name}: time-out")
        elif code != 0 and not named:
            failing.append(f"{name}: crash")
        if failing and fail_fast:
            break
    return failing


# ---- The check

def locate(fault: Fault):
    text = (ROOT / fault.path).read_text()
    return text, text.count(fault.find)


def check_snippets():
    bad = 0
    ids = set()
    for f in FAULTS:
        if f.id in ids:
            print(f"duplicate id {f.id}")
            bad += 1
        ids.add(f.id)
        _, n = locate(f)
        if n != 1:
            print(f"{f.id}: snippet found {n} times in {f.path}")
            bad += 1
    print(f"{len(FAULTS)} faults, {bad} problems")
    return bad == 0


def mutate_all(args):
    build_dir = Path(args.build_dir).resolve()
    build_dir.mkdir(parents=True, exist_ok=True)
    journal = Journal(build_dir)
    journal.restore_leftover()
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        # A run started under nohup keeps ignoring hang-ups.
        if signal.getsignal(sig) != signal.SIG_IGN:
            signal.signal(sig, raise_interrupt)
    pending = {}  # the file changed right now: path -> original
    # Also on paths that bypass the try blocks below (sys.exit, an uncaught error).
    atexit.register(lambda: [journal.restore(r, o) for r, o in pending.items()])

    faults = [f for f in FAULTS if not args.only or any(o in f.id for o in args.only)]
    if not faults:
        sys.exit(f"no fault id contains any of {args.only} (ids are separated by spaces; --list)")
    configure(build_dir)
    started = time.time()
    code, out = build(build_dir, 3600)
    if code != 0:
        sys.exit("the unchanged checkout does not build:\n" + out[-4000:])
    t0 = time.time()
    failing = run_tests(build_dir, 900, args.fail_fast)
    baseline = time.time() - t0
    if failing:
        sys.exit(f"the unchanged checkout fails its tests: {failing}")
    timeout = max(60.0, 10 * baseline)
    print(f"baseline: tests pass in {baseline:.1f} s; each run is limited to {timeout:.0f} s",
          flush=True)

    results = []
    try:
        for i, f in enumerate(faults, 1):
            t = time.time()
            original, n = locate(f)
            failing = []
            if n != 1:
                result, detail = "not found", f"snippet found {n} times"
            else:
                try:
                    pending[f.path] = original
                    journal.change(f.path, original, original.replace(f.find, f.replace))
                    code, out = build(build_dir, args.build_timeout)
                    if code != 0:
                        result, detail = "not compiled", "time-out" if code is None else ""
                    else:
                        failing = run_tests(build_dir, timeout, args.fail_fast)
                        result = "caught" if failing else "missed"
                        detail = (f"{len(failing)} tests, first " if len(failing) > 1 else "") + \
                            (failing[0] if failing else "")
                finally:
                    journal.restore(f.path, original)
                    pending.pop(f.path, None)
            results.append({"id": f.id, "path": f.path, "why": f.why, "result": result,
                            "detail": detail, "tests": failing,
                            "seconds": round(time.time() - t, 1)})
            print(f"[{i}/{len(faults)}] {result:12} {f.id:40} {detail}", flush=True)
    except KeyboardInterrupt as e:
        print(f"interrupted ({e or 'Ctrl-C'}): the changed file is restored", flush=True)
    finally:
        # Leave the build directory matching the checkout.
        if results:
            build(build_dir, 3600)

    summary(results, time.time() - started, not args.fail_fast)
    if args.json:
        Path(args.json).write_text(json.dumps(results, indent=1) + "\n")


def summary(results, seconds=None, counted=True):
    counts = {}
    for r in results:
        counts[r["result"]] = counts.get(r["result"], 0) + 1
    total = len(results)
    caught = counts.get("caught", 0)
    print()
    for r in results:
        if r["result"] != "caught":
            print(f"{r['result']:12} {r['id']:40} {r['path']}: {r['why']}")
    print()
    print(f"{total} faults: " + ", ".join(f"{counts.get(k, 0)} {k}" for k in
                                          ("caught", "missed", "not compiled", "not found")))
    if total:
        print(f"caught {100.0 * caught / total:.1f}%")
    if counted:
        single = [r["id"] for r in results if r["result"] == "caught" and len(r["tests"]) == 1]
        print(f"caught by a single test: {len(single)} of {caught}")
    if seconds is not None:
        print(f"run time {seconds / 60:.1f} min")


def compare(before_path, after_path):
    before = {r["id"]: r for r in json.loads(Path(before_path).read_text())}
    after = {r["id"]: r for r in json.loads(Path(after_path).read_text())}
    lost = [i for i, r in before.items() if r["result"] == "caught" and
            after.get(i, {}).get("result") not in ("caught", None)]
    gained = [i for i, r in after.items() if r["result"] == "caught" and
              before.get(i, {}).get("result") != "caught"]
    print("caught before, not after: " + (", ".join(lost) or "none"))
    print("caught after, not before: " + (", ".join(gained) or "none"))
    return not lost


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("--build-dir", default=str(ROOT / "build-mutate"))
    p.add_argument("--only", nargs="*", help="run the faults whose id contains one of these")
    p.add_argument("--check", action="store_true", help="check the snippets and stop")
    p.add_argument("--list", action="store_true", help="list the faults and stop")
    p.add_argument("--json", help="write the results to this file")
    p.add_argument("--compare", nargs=2, metavar=("BEFORE", "AFTER"))
    p.add_argument("--build-timeout", type=float, default=900)
    p.add_argument("--fail-fast", action="store_true",
                   help="stop each run at the first failing test (quicker; no test counts)")
    p.add_argument("--summary", nargs="+", metavar="JSON",
                   help="print the summary of earlier runs (merged; with --json, write it)")
    args = p.parse_args()
    # Paths below the base directory hash alike, so checkouts share ccache hits.
    os.environ.setdefault("CCACHE_BASEDIR", str(ROOT.parent))
    if args.list:
        for f in FAULTS:
            print(f"{f.id:40} {f.path:32} {f.why}")
        return
    if args.check:
        sys.exit(0 if check_snippets() else 1)
    if args.compare:
        sys.exit(0 if compare(*args.compare) else 1)
    if args.summary:
        # Several files (runs of parts of the list) merge; a later file's result for a fault wins.
        merged = {}
        for path in args.summary:
            for r in json.loads(Path(path).read_text()):
                merged[r["id"]] = r
        order = {f.id: i for i, f in enumerate(FAULTS)}
        results = sorted(merged.values(), key=lambda r: order.get(r["id"], len(order)))
        summary(results, None, all("tests" in r for r in results))
        if args.json:
            Path(args.json).write_text(json.dumps(results, indent=1) + "\n")
        return
    mutate_all(args)


if __name__ == "__main__":
    main()
