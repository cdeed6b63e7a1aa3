#include <backends/cairo/cairoscope.h>

#include <backends/common/argb32.h>

#include <core/lines.h>
#include <core/unicode.h>
#include <core/visiblesample.h>
#include <dispc/errors.h>
#include <dispc/tolerance.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

void cfCairoFail(const std::string& what, cairo_status_t status) {
  std::string message = what + ": " + cairo_status_to_string(status);
  const int error = errno;
  if (error != 0 && (status == CAIRO_STATUS_READ_ERROR || status == CAIRO_STATUS_WRITE_ERROR))
    message += std::string(" (") + std::strerror(error) + ")";
  throw ccUIError::InitFailed(message);
}

// ---- The canvas: what a scope tree shares

class cc_CairoCanvas : public ccSurfaceSettings<ccCairoScope, ccCairoFont> {
 public:
  cc_CairoCanvas(cairo_surface_t* surface, ccCairoScope::SurfaceKind kind, long width, long height)
      : surface(surface), kind(kind) {
    this->width = width;
    this->height = height;
    cr = cairo_create(surface);
    if (const cairo_status_t status = cairo_status(cr); status != CAIRO_STATUS_SUCCESS) {
      cairo_destroy(cr);
      cairo_surface_destroy(surface);
      cfCairoFail("cannot make a drawing context", status);
    }
    palette = ccCairoScope::defaultPalette();
  }
  ~cc_CairoCanvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  // A cairo context that met an error (ill-formed text, a singular matrix) refuses every later
  // request; one bad request must not blank the scope for good, so the context is made again on
  // the same surface. Called where a request starts, before it takes the context.
  void recover() {
    if (cairo_status(cr) == CAIRO_STATUS_SUCCESS) return;
    cairo_t* fresh = cairo_create(surface);
    if (cairo_status(fresh) != CAIRO_STATUS_SUCCESS) {
      cairo_destroy(fresh);
      return;
    }
    cairo_destroy(cr);
    cr = fresh;
  }
  cc_CairoCanvas(const cc_CairoCanvas&) = delete;
  cc_CairoCanvas& operator=(const cc_CairoCanvas&) = delete;

  cairo_surface_t* surface;
  cairo_t* cr = nullptr;
  ccCairoScope::SurfaceKind kind;
};

namespace {

constexpr double kPi = 3.14159265358979323846;

using cc_detail::argb;

// Surface pixels (double extents) as a whole-pixel rectangle.
ccUIRect pixelRect(double x1, double y1, double x2, double y2) {
  if (!(x2 > x1) || !(y2 > y1)) return ccUIRect::null;
  const long l = static_cast<long>(std::floor(x1)), t = static_cast<long>(std::floor(y1));
  const long r = static_cast<long>(std::ceil(x2)), b = static_cast<long>(std::ceil(y2));
  return ccUIRect(l, t, r - l, b - t);
}

// Cairo keeps path coordinates in 24.8 fixed point, which wraps beyond 2^23 pixels (its stroker
// can then fault), and its antialiased rasteriser already goes wrong on edges reaching some 2^17
// pixels up or left. A path is therefore cut to a box ccSurfaceCutMargin wider than the clip on
// each side (Sutherland-Hodgman, one stage per side, fed point by point). The edges the cut adds
// run along the box, farther from the clip than any pen reaches (strokeWidth() is at most
// ccSurfaceMaxPenWidth), and every point inside the box keeps its winding number, so strokes and
// fills show the same pixels. A dashed path reaching beyond the box is dashed from where it enters
// it. Points that are not finite are left out.
class RangedPath {
 public:
  // The box around the clip in the context's current user space (a translation of the
  // surface's pixels).
  explicit RangedPath(cairo_t* cr) : cr_(cr) {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    lo_[0] = x1 - ccSurfaceCutMargin;
    lo_[1] = y1 - ccSurfaceCutMargin;
    hi_[0] = x2 + ccSurfaceCutMargin;
    hi_[1] = y2 + ccSurfaceCutMargin;
  }
  ~RangedPath() = default;
  RangedPath(const RangedPath&) = delete;
  RangedPath& operator=(const RangedPath&) = delete;

  cairo_t* cr() const { return cr_; }

  // Starts a new subpath at p.
  void moveTo(const ccVector<2>& p) {
    restart();
    lineTo(p);
  }
  // A line from the current point to p, or the first point of a subpath.
  void lineTo(const ccVector<2>& p) {
    if (std::isfinite(p.x()) && std::isfinite(p.y())) push(0, p);
  }
  // Closes the current subpath (the cut's closing edges first); the next point starts anew.
  void close() {
    for (int k = 0; k < 4; ++k) {
      const Stage& s = stages_[k];
      if (s.started && s.prevInside != inside(k, s.first)) push(k + 1, cross(k, s.prev, s.first));
    }
    if (emitted_) cairo_close_path(cr_);
    restart();
  }
  // Whether the box x0 <= x <= x1, y0 <= y <= y1 lies inside the cut.
  bool holds(double x0, double y0, double x1, double y1) const {
    return x0 >= lo_[0] && y0 >= lo_[1] && x1 <= hi_[0] && y1 <= hi_[1];
  }
  // After a curve added straight to Cairo's path (inside the cut), from the current point to
  // end.
  void curvedTo(const ccVector<2>& end) {
    for (Stage& s : stages_) {
      s.prev = end;
      s.prevInside = true;
    }
  }

 private:
  struct Stage {
    bool started = false;
    bool prevInside = false;
    ccVector<2> first, prev;
  };
  // Stage k keeps the side x >= lo (0), x <= hi (1), y >= lo (2), y <= hi (3).
  bool inside(int k, const ccVector<2>& p) const {
    const double v = k < 2 ? p.x() : p.y();
    return k % 2 == 0 ? v >= lo_[k / 2] : v <= hi_[k / 2];
  }
  // Where segment ab crosses stage k's edge, one end inside. Measured from the inside end: from
  // the far end, its huge coordinates would swallow the near end's.
  ccVector<2> cross(int k, ccVector<2> a, ccVector<2> b) const {
    if (!inside(k, a)) std::swap(a, b);
    const double edge = k % 2 == 0 ? lo_[k / 2] : hi_[k / 2];
    if (k < 2) return ccVector<2>(edge, a.y() + (edge - a.x()) / (b.x() - a.x()) * (b.y() - a.y()));
    return ccVector<2>(a.x() + (edge - a.y()) / (b.y() - a.y()) * (b.x() - a.x()), edge);
  }
  void push(int k, const ccVector<2>& p) {
    if (k == 4) {
      if (emitted_) {
        cairo_line_to(cr_, p.x(), p.y());
      } else {
        cairo_move_to(cr_, p.x(), p.y());
        emitted_ = true;
      }
      return;
    }
    Stage& s = stages_[k];
    const bool in = inside(k, p);
    if (!s.started) {
      s.started = true;
      s.first = p;
    } else if (in != s.prevInside) {
      push(k + 1, cross(k, s.prev, p));
    }
    if (in) push(k + 1, p);
    s.prev = p;
    s.prevInside = in;
  }
  void restart() {
    for (Stage& s : stages_) s = Stage();
    emitted_ = false;
  }

  cairo_t* cr_;
  double lo_[2], hi_[2];
  Stage stages_[4];
  bool emitted_ = false;
};

// Where an ellipse u(c + diag(r) (cos t, sin t)) lies against the clip, widened by the pen
// (the line width set) and a pixel. Cairo's cost grows with the ellipse's size, whatever the
// clip: a huge ellipse would hang it, though little or none of it shows.
enum class ArcReach { eOutside, eEnclosing, eCrossing };

ArcReach arcReach(cairo_t* cr, const ccVector<2>& o, const ccMatrix<2>& m) {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
  const double margin = cairo_get_line_width(cr) / 2 + 2;
  x1 -= margin;
  y1 -= margin;
  x2 += margin;
  y2 += margin;
  const double a = m.element(0, 0), b = m.element(0, 1), c = m.element(1, 0), d = m.element(1, 1);
  // The ellipse's bounding box: x = o.x + a cos t + b sin t reaches hypot(a, b) either side.
  const double hx = std::hypot(a, b), hy = std::hypot(c, d);
  if (o.x() + hx < x1 || o.x() - hx > x2 || o.y() + hy < y1 || o.y() - hy > y2)
    return ArcReach::eOutside;
  // Each corner of the box inside the ellipse by more than the margin: the ellipse's
  // outline misses the box (the points that far inside form a convex set). A point o + m v
  // lies at least (1 - |v|) times the smaller semi-axis inside.
  const double det = a * d - b * c, frobenius = std::hypot(hx, hy);
  if (!(std::fabs(det) > 0) || !std::isfinite(det) || !std::isfinite(frobenius))
    return ArcReach::eCrossing;
  const double minAxis = std::fabs(det) / frobenius;
  for (const ccVector<2>& p :
       {ccVector<2>(x1, y1), ccVector<2>(x2, y1), ccVector<2>(x1, y2), ccVector<2>(x2, y2)}) {
    const ccVector<2> q = p - o;
    const ccVector<2> v((d * q.x() - b * q.y()) / det, (a * q.y() - c * q.x()) / det);
    if (!((1 - v.length()) * minAxis > margin)) return ArcReach::eCrossing;
  }
  return ArcReach::eEnclosing;
}

// Adds the arc u(c + diag(r) (cos t, sin t)) for t from t0 to t1 (backwards when t1 < t0) to
// the path, joined by a line to the current point when there is one. A singular map is
// sampled into short segments (Cairo cannot draw through it), as is an arc reaching beyond the
// path's box. An arc wholly outside the clip becomes its chord, which lies outside too; an
// open arc whose outline misses a clip it encloses only moves to its end (callers set the pen
// first).
void unitArc(RangedPath& path, const ccXform<2>& u, const ccVector<2>& c, const ccVector<2>& r,
             double t0, double t1, bool open = false) {
  cairo_t* cr = path.cr();
  // The map of the unit circle: u's matrix times diag(r).
  const ccMatrix<2>& m = u.matrix();
  const double a = m.element(0, 0) * r.x(), b = m.element(0, 1) * r.y();
  const double cc = m.element(1, 0) * r.x(), d = m.element(1, 1) * r.y();
  const ccVector<2> o = u * c;
  auto point = [&](double t) {
    return o + ccVector<2>(a * std::cos(t) + b * std::sin(t), cc * std::cos(t) + d * std::sin(t));
  };
  const ArcReach reach = arcReach(cr, o, ccMatrix<2>(a, b, cc, d));
  if (reach == ArcReach::eOutside) {
    path.lineTo(point(t0));
    path.lineTo(point(t1));
    return;
  }
  if (reach == ArcReach::eEnclosing && open) {
    path.moveTo(point(t1));
    return;
  }
  const double size = std::max({std::fabs(a), std::fabs(b), std::fabs(cc), std::fabs(d)});
  const double det = a * d - b * cc;
  const double hx = std::hypot(a, b), hy = std::hypot(cc, d);
  if (std::isfinite(det) && std::fabs(det) > 1e-12 * size * size &&
      path.holds(o.x() - hx, o.y() - hy, o.x() + hx, o.y() + hy)) {
    path.lineTo(point(t0));
    cairo_matrix_t saved, um;
    cairo_get_matrix(cr, &saved);
    cairo_matrix_init(&um, m.element(0, 0), m.element(1, 0), m.element(0, 1), m.element(1, 1),
                      u.trans().x(), u.trans().y());
    cairo_transform(cr, &um);
    cairo_translate(cr, c.x(), c.y());
    cairo_scale(cr, r.x(), r.y());
    if (t1 >= t0) {
      cairo_arc(cr, 0, 0, 1, t0, t1);
    } else {
      cairo_arc_negative(cr, 0, 0, 1, t0, t1);
    }
    cairo_set_matrix(cr, &saved);
    path.curvedTo(point(t1));
    return;
  }
  // Chords within a quarter pixel of the ellipse (at most 2^16 of them): 2 pi sqrt(size / 2)
  // a turn keeps size (1 - cos(pi / n)) below 0.25.
  const double turns = std::min(std::fabs(t1 - t0) / (2 * kPi), 1e6);
  const double perTurn = std::max(256.0, 2 * kPi * std::sqrt(std::min(size, 1e30) / 2));
  const long n = static_cast<long>(std::clamp(std::ceil(turns * perTurn), 8.0, 65536.0));
  for (long i = 0; i <= n; ++i) {
    const double t = t0 + (t1 - t0) * static_cast<double>(i) / static_cast<double>(n);
    path.lineTo(u * (c + ccVector<2>(r.x() * std::cos(t), r.y() * std::sin(t))));
  }
}

// A closed ellipse. One that encloses the clip with its outline outside is the rectangle
// around the widened clip: the same pixels stroked (none) and filled (all).
void fullEllipse(RangedPath& path, const ccXform<2>& u) {
  cairo_t* cr = path.cr();
  const ccMatrix<2>& m = u.matrix();
  if (arcReach(cr, u.trans(), m) == ArcReach::eEnclosing) {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    const double margin = cairo_get_line_width(cr) / 2 + 2;
    cairo_rectangle(cr, x1 - margin, y1 - margin, x2 - x1 + 2 * margin, y2 - y1 + 2 * margin);
    return;
  }
  unitArc(path, u, ccVector<2>(0, 0), ccVector<2>(1, 1), 0, 2 * kPi);
  path.close();
}

// Font options and face for an entry of the font table.
void applyFont(cairo_t* cr, const ccCairoFont& f, bool antialias) {
  cairo_select_font_face(cr, f.face.c_str(),
                         f.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         f.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, f.size);
  cairo_font_options_t* o = cairo_font_options_create();
  cairo_font_options_set_antialias(o, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, o);
  cairo_font_options_destroy(o);
}

// The lines of text, made well-formed UTF-8 (cairo refuses anything else).
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out(1);
  for (char ch : cfValidUtf8(text)) {
    if (ch == '\n') {
      out.emplace_back();
    } else {
      out.back() += ch;
    }
  }
  return out;
}

// Premultiplied ARGB32 surface for w x h pels.
cairo_surface_t* newPelSurface(long w, long h) {
  cairo_surface_t* s =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(w), static_cast<int>(h));
  if (const cairo_status_t status = cairo_surface_status(s); status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    cfCairoFail("cannot make a " + std::to_string(w) + "x" + std::to_string(h) + " image surface",
                status);
  }
  return s;
}

// The pels [x0, x0 + w) x [y0, y0 + h) of the window as a new surface; convert gives the
// premultiplied pixel of a pel (0 for a transparent one).
template <class T, class Convert>
cairo_surface_t* pelSurface(const ccPelBuffer_const<T>& image, long x0, long y0, long w, long h,
                            Convert convert) {
  cairo_surface_t* s = newPelSurface(w, h);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (long y = 0; y < h; ++y) {
    const T* src = image.pointToPel(x0, y0 + y);
    auto* dst = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (long x = 0; x < w; ++x) dst[x] = convert(src[x]);
  }
  cairo_surface_mark_dirty(s);
  return s;
}

// ---- Dashed strokes of long paths

// Cairo walks a dashed stroke dash by dash along the whole path, on the surface or not: a path
// millions of pixels long (a huge arc or line from a sketch) costs seconds. Such a path is
// stroked as its runs inside the clip widened by the pen's reach, each run with the dash offset
// it has along the whole path, so that the pixels that show are the same.
struct DashRun {
  std::vector<ccVector<2>> points;
  double phase = 0;  // length along the subpath before the run's first point
  bool closed = false;
};

// The runs of the current (flattened) path inside box; false when the path is short enough
// (at most `limit` long) to be stroked as it is, or holds a point that is not finite.
bool dashRuns(cairo_t* cr, double x0, double y0, double x1, double y1, double limit,
              std::vector<DashRun>& runs) {
  cairo_path_t* path = cairo_copy_path_flat(cr);
  double total = 0;
  ccVector<2> start, at;
  for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t& h = path->data[i];
    if (h.header.type == CAIRO_PATH_MOVE_TO) {
      start = at = ccVector<2>(path->data[i + 1].point.x, path->data[i + 1].point.y);
    } else {
      const ccVector<2> q = h.header.type == CAIRO_PATH_LINE_TO
                                ? ccVector<2>(path->data[i + 1].point.x, path->data[i + 1].point.y)
                                : start;
      total += (q - at).length();
      at = q;
    }
  }
  if (!(total > limit) || !std::isfinite(total)) {
    cairo_path_destroy(path);
    return false;
  }
  double along = 0;
  bool inRun = false, cut = false;
  std::size_t subpathFirstRun = 0;
  for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t& h = path->data[i];
    if (h.header.type == CAIRO_PATH_MOVE_TO) {
      start = at = ccVector<2>(path->data[i + 1].point.x, path->data[i + 1].point.y);
      along = 0;
      inRun = cut = false;
      subpathFirstRun = runs.size();
      continue;
    }
    const bool closing = h.header.type == CAIRO_PATH_CLOSE_PATH;
    const ccVector<2> q =
        closing ? start : ccVector<2>(path->data[i + 1].point.x, path->data[i + 1].point.y);
    const ccVector<2> d = q - at;
    double t0 = 0, t1 = 0;
    if (clipSegmentToBox(at, q, ccVector<2>(x0, y0), ccVector<2>(x1, y1), t0, t1)) {
      if (!inRun || t0 > 0) {
        runs.push_back(DashRun{{at + d * t0}, along + d.length() * t0, false});
        cut = cut || t0 > 0 || along > 0;
      }
      runs.back().points.push_back(at + d * t1);
      inRun = t1 >= 1;
      cut = cut || t1 < 1;
    } else {
      inRun = false;
      cut = true;
    }
    along += d.length();
    at = q;
    if (closing) {
      // A subpath wholly inside stays closed, its last join kept.
      if (!cut && runs.size() == subpathFirstRun + 1) runs.back().closed = true;
      along = 0;
      inRun = cut = false;
      subpathFirstRun = runs.size();
    }
  }
  cairo_path_destroy(path);
  return true;
}

}  // namespace

// ---- One drawing operation

// Saves the context, clips to what the scope may draw on and sets antialiasing; restores on
// destruction. Paths are built in the tablet's pixels (toTablet) or surface pixels
// (toSurface); note() turns surface extents into a change of the scope.
class ccCairoScope::Draw {
 public:
  explicit Draw(ccCairoScope& s) : s_(s), cr_((s.canvas_->recover(), s.canvas_->cr)) {
    clip_ = s.surfaceClip();
    origin_ = s.surfaceOrigin();
    cairo_save(cr_);
    cairo_new_path(cr_);
    cairo_identity_matrix(cr_);
    cairo_reset_clip(cr_);
    // The surface clips to itself: a clip is set only when the scope may draw on less.
    if (clip_ != ccUIRect(0, 0, s.canvas_->width, s.canvas_->height)) {
      cairo_rectangle(cr_, double(clip_.left()), double(clip_.top()), double(clip_.width()),
                      double(clip_.height()));
      cairo_clip(cr_);
    }
    cairo_set_antialias(cr_, s.canvas_->antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
  }
  ~Draw() {
    cairo_new_path(cr_);
    cairo_restore(cr_);
  }
  Draw(const Draw&) = delete;
  Draw& operator=(const Draw&) = delete;

  // There is something to draw on.
  bool ok() const { return !clip_.isNull() && !s_.canvas_->offScreen; }
  // The part of a rectangle of surface pixels that may be drawn on: Cairo is given no more,
  // as coordinates far off the surface are beyond its range.
  ccUIRect visible(const ccUIRect& surfaceRect) const { return surfaceRect & clip_; }
  cairo_t* cr() const { return cr_; }
  const ccPair<long>& origin() const { return origin_; }

  // Whole tablet coordinates at pixel centres.
  void toTablet() {
    cairo_identity_matrix(cr_);
    const ccPair<double> t = s_.tabletOrigin();
    cairo_translate(cr_, t.first + 0.5, t.second + 0.5);
  }
  void toSurface() { cairo_identity_matrix(cr_); }

  // Draws in color from now on; the pass colour clears when passErases is on.
  void color(const ccColor& c) {
    if (s_.isEraser(c)) {
      cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    } else {
      const ccRGB t = s_.rgbOf(c);
      cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
      cairo_set_source_rgb(cr_, t.r() / 255.0, t.g() / 255.0, t.b() / 255.0);
    }
  }
  // Replacing (alpha included) rather than blending.
  void replace(const ccColor& c) {
    color(c);
    if (!s_.isEraser(c)) cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  }

  // Colour and line settings of props; false when the style draws no outline.
  bool pen(const ccGraphicProps& p) {
    color(p.penColor());
    if (p.penStyle() == ccGraphicProps::eNull) return false;
    const double w = strokeWidth(p);
    cairo_set_line_width(cr_, w);
    // Indexed by the props' enumerations; unknown values take the default (index 0).
    static const cairo_line_join_t joins[] = {CAIRO_LINE_JOIN_MITER, CAIRO_LINE_JOIN_ROUND,
                                              CAIRO_LINE_JOIN_BEVEL};
    static const cairo_line_cap_t caps[] = {CAIRO_LINE_CAP_BUTT, CAIRO_LINE_CAP_ROUND,
                                            CAIRO_LINE_CAP_SQUARE};
    // Dash patterns in pen widths: solid, dash, dot, dash-dot, dash-dot-dot.
    struct Dashes {
      int count;
      double lengths[6];
    };
    static const Dashes dashes[] = {
        {0, {}}, {2, {6, 3}}, {2, {2, 2}}, {4, {6, 3, 2, 3}}, {6, {6, 3, 2, 3, 2, 3}}};
    auto pick = [](long v, long n) { return v >= 0 && v < n ? v : 0; };
    cairo_set_line_join(cr_, joins[pick(p.penJoin(), 3)]);
    cairo_set_line_cap(cr_, caps[pick(p.penEndCap(), 3)]);
    const Dashes& pattern = dashes[pick(p.penStyle(), 5)];
    double dash[6];
    for (int i = 0; i < pattern.count; ++i) dash[i] = pattern.lengths[i] * w;
    cairo_set_dash(cr_, dash, pattern.count, 0);
    return true;
  }

  // Fills (with the rule given) and/or strokes the current path, noting the change.
  void finish(bool stroke, bool fill, cairo_fill_rule_t rule = CAIRO_FILL_RULE_WINDING) {
    cairo_set_fill_rule(cr_, rule);
    if (stroke && cairo_get_dash_count(cr_) > 0 && strokeDashRuns(fill)) return;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (stroke) {
      cairo_stroke_extents(cr_, &x1, &y1, &x2, &y2);
    } else if (fill) {
      cairo_fill_extents(cr_, &x1, &y1, &x2, &y2);
    }
    if (stroke || fill) noteUser(x1, y1, x2, y2);
    if (fill) cairo_fill_preserve(cr_);
    if (stroke) cairo_stroke_preserve(cr_);
    cairo_new_path(cr_);
  }

  // A dashed stroke of a path far longer than the clip's reach, as its runs inside the clip
  // widened by the pen (see DashRun); the fill, if any, first. False, with nothing done, for a
  // shorter path.
  bool strokeDashRuns(bool fill) {
    const double w = cairo_get_line_width(cr_);
    const double reach = w * std::max(1.0, cairo_get_miter_limit(cr_)) + 2;
    double x0 = double(clip_.left()) - reach, y0 = double(clip_.top()) - reach;
    double x1 = double(clip_.left() + clip_.width()) + reach;
    double y1 = double(clip_.top() + clip_.height()) + reach;
    cairo_device_to_user(cr_, &x0, &y0);
    cairo_device_to_user(cr_, &x1, &y1);  // the Draw maps by translation only
    const double limit = 16 * ((x1 - x0) + (y1 - y0)) + 4096;
    std::vector<DashRun> runs;
    if (!dashRuns(cr_, x0, y0, x1, y1, limit, runs)) return false;
    if (fill) {
      double a = 0, b = 0, c = 0, e = 0;
      cairo_fill_extents(cr_, &a, &b, &c, &e);
      noteUser(a, b, c, e);
      cairo_fill(cr_);
    }
    const int count = cairo_get_dash_count(cr_);
    std::vector<double> dashes(static_cast<std::size_t>(count));
    double offset = 0;
    cairo_get_dash(cr_, dashes.data(), &offset);
    double period = 0;
    for (double v : dashes) period += 2 * v;  // an odd count repeats with swapped on and off
    for (const DashRun& run : runs) {
      cairo_new_path(cr_);
      cairo_move_to(cr_, run.points[0].x(), run.points[0].y());
      for (std::size_t k = 1; k < run.points.size(); ++k)
        cairo_line_to(cr_, run.points[k].x(), run.points[k].y());
      if (run.closed) cairo_close_path(cr_);
      cairo_set_dash(cr_, dashes.data(), count,
                     period > 0 ? std::fmod(offset + run.phase, period) : 0);
      double a = 0, b = 0, c = 0, e = 0;
      cairo_stroke_extents(cr_, &a, &b, &c, &e);
      noteUser(a, b, c, e);
      cairo_stroke(cr_);
    }
    cairo_new_path(cr_);
    return true;
  }

  // Extents in the current user space.
  void noteUser(double x1, double y1, double x2, double y2) {
    cairo_user_to_device(cr_, &x1, &y1);
    cairo_user_to_device(cr_, &x2, &y2);
    note(pixelRect(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)));
  }
  // A rectangle of surface pixels.
  void note(const ccUIRect& surfaceRect, bool checkOpaque = false) {
    const ccUIRect r = surfaceRect & clip_;
    if (!r.isNull()) s_.change(r - origin_, checkOpaque);
  }

 private:
  ccCairoScope& s_;
  cairo_t* cr_;
  ccUIRect clip_;
  ccPair<long> origin_;
};

// ---- ccCairoScope

ccCairoScope::ccCairoScope(std::shared_ptr<cc_CairoCanvas> canvas, const ccPair<long>& clipOffset)
    : ccSurfaceScope(canvas.get(), clipOffset), canvas_(std::move(canvas)) {}

ccCairoScope::~ccCairoScope() {
  if (dragSaved_) cairo_surface_destroy(dragSaved_);
}

std::shared_ptr<cc_CairoCanvas> ccCairoScope::makeCanvas(cairo_surface_t* surface, SurfaceKind kind,
                                                         long width, long height) {
  if (const cairo_status_t status = cairo_surface_status(surface); status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    cfCairoFail("cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                    (kind == eVector ? " vector" : " image") + " surface",
                status);
  }
  return std::make_shared<cc_CairoCanvas>(surface, kind, width, height);
}

// ---- Settings

ccCairoScope::SurfaceKind ccCairoScope::surfaceKind() const { return canvas_->kind; }
cairo_surface_t* ccCairoScope::surface() const { return canvas_->surface; }
cairo_t* ccCairoScope::context() const { return canvas_->cr; }
long ccCairoScope::surfaceWidth() const { return canvas_->width; }
long ccCairoScope::surfaceHeight() const { return canvas_->height; }
const std::array<ccRGB, 256>& ccCairoScope::defaultPalette() { return cc_detail::defaultPalette(); }

void ccCairoScope::flush() {
  cairo_surface_flush(canvas_->surface);
  runOutputHook();
}

// ---- Geometry of the tree

ccPair<double> ccCairoScope::tabletOrigin() const {
  return ccPair<double>(static_cast<double>(tabletOffset().first),
                        static_cast<double>(tabletOffset().second));
}

ccCairoScope* ccCairoScope::newSubScope(const ccUIRect& rect, bool /*temporary*/) {
  auto* sub = new ccCairoScope(canvas_);
  sub->unplaced();
  sub->move(*this, rect);
  return sub;
}

// ---- Drags

void ccCairoScope::dragStart() {
  dragging(true);
  if (dragSaved_) cairo_surface_destroy(dragSaved_);
  dragSaved_ = nullptr;
  if (canvas_->kind != eRaster) return;
  cairo_surface_flush(canvas_->surface);
  dragSaved_ = cairo_surface_create_similar_image(canvas_->surface, CAIRO_FORMAT_ARGB32,
                                                  static_cast<int>(canvas_->width),
                                                  static_cast<int>(canvas_->height));
  cairo_t* cr = cairo_create(dragSaved_);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, canvas_->surface, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
}

void ccCairoScope::dragStop() {
  dragging(false);
  if (dragSaved_) cairo_surface_destroy(dragSaved_);
  dragSaved_ = nullptr;
}

void ccCairoScope::dragErase() {
  if (!dragSaved_) return;
  Draw d(*this);
  if (!d.ok()) return;
  cairo_set_operator(d.cr(), CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(d.cr(), dragSaved_, 0, 0);
  cairo_paint(d.cr());
  d.note(surfaceClip());
}

// ---- Screen updates

void ccCairoScope::invalidateScreen(const ccUIRect& rect) { change(rect, false); }

// ---- Shapes

void ccCairoScope::draw(const ccGenShape& shape, const ccColor& color) {
  Draw d(*this);
  if (!d.ok()) return;
  ccShape::ccSampleResult samples;
  try {
    // A curve far larger than the scope costs the points of its visible part.
    cfSampleVisible(shape, ccShape::ccSampleParams(0, 0.25), tabletView(2), samples);
  } catch (const std::exception&) {
    return;  // nothing drawable
  }
  d.toTablet();
  RangedPath path(d.cr());
  for (const ccVector<2>& p : samples.positions()) path.lineTo(p);
  if (shape.isRegion()) path.close();
  d.pen(ccGraphicProps(color, 1));
  d.finish(true, false);
}

void ccCairoScope::drawEllipseArc(const ccEllipseArc& arc, const ccGraphicProps& props) {
  Draw d(*this);
  if (!d.ok()) return;
  d.toTablet();
  const bool stroke = d.pen(props);
  const double t0 = arc.phi1().toDouble();
  RangedPath path(d.cr());
  unitArc(path, arc.ellipse().unit(), ccVector<2>(0, 0), ccVector<2>(1, 1), t0,
          t0 + arc.angleSpan().toDouble(), !arc.isFull());
  if (arc.isFull()) path.close();
  d.finish(stroke, false);
}

void ccCairoScope::drawEllipse(const ccEllipse& ellipse, const ccGraphicProps& props) {
  Draw d(*this);
  if (!d.ok()) return;
  d.toTablet();
  const bool stroke = d.pen(props);
  RangedPath path(d.cr());
  fullEllipse(path, ellipse.unit());
  d.finish(stroke, props.fill());
}

void ccCairoScope::drawEllipseArc2(const ccEllipseArc2& arc, const ccGraphicProps& props) {
  Draw d(*this);
  if (!d.ok()) return;
  d.toTablet();
  const double t0 = arc.phiStart().toDouble();
  double span = arc.phiSpan().toDouble();
  if (arc.isFull()) span = span < 0 ? -2 * kPi : 2 * kPi;
  const bool stroke = d.pen(props);
  RangedPath path(d.cr());
  unitArc(path, arc.ellipse().ellFromUnitCirc(), ccVector<2>(0, 0), ccVector<2>(1, 1), t0,
          t0 + span, !arc.isFull());
  if (arc.isFull()) path.close();
  d.finish(stroke, false);
}

void ccCairoScope::drawEllipse2(const ccEllipse2& ellipse, const ccGraphicProps& props) {
  Draw d(*this);
  if (!d.ok()) return;
  d.toTablet();
  const bool stroke = d.pen(props);
  RangedPath path(d.cr());
  fullEllipse(path, ellipse.ellFromUnitCirc());
  d.finish(stroke, props.fill());
}

void ccCairoScope::drawPolygon(const std::vector<ccVector<2>>& vertices,
                               ccPolygon::PolyFillMode fillMode, const ccGraphicProps& props) {
  if (vertices.empty()) return;
  Draw d(*this);
  if (!d.ok()) return;
  d.toTablet();
  RangedPath path(d.cr());
  for (const ccVector<2>& v : vertices) path.lineTo(v);
  path.close();
  const bool fill = fillMode != ccPolygon::eNoFill || props.fill();
  d.finish(
      d.pen(props), fill,
      fillMode == ccPolygon::eFillWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
}

void ccCairoScope::drawPolyline(const ccPolyline& polyline, const ccGraphicProps& props) {
  if (polyline.numVertices() == 0) return;
  Draw d(*this);
  if (!d.ok()) return;
  d.toTablet();
  RangedPath path(d.cr());
  for (const ccVector<2>& v : polyline.vertices()) path.lineTo(v);
  if (polyline.isClosed()) path.close();
  d.finish(d.pen(props), false);
}

void ccCairoScope::drawRoundedRect(const ccGenRect& rect, const ccGraphicProps& props) {
  Draw d(*this);
  if (!d.ok()) return;
  d.toTablet();
  const bool stroke = d.pen(props);
  RangedPath path(d.cr());
  const ccXform<2> u(rect.U(), rect.center());
  double ux = rect.uround().x(), uy = rect.uround().y();
  if (ux == 0 || uy == 0) ux = uy = 0;  // a zero component leaves the corners sharp
  const double ax = 1 - ux, ay = 1 - uy;
  const ccVector<2> r(ux, uy);
  auto at = [&](double x, double y) { path.lineTo(u * ccVector<2>(x, y)); };
  // The contour of the rounded square, from the side y = -1, mapped by u.
  at(-ax, -1);
  at(ax, -1);
  if (ux > 0) unitArc(path, u, ccVector<2>(ax, -ay), r, -kPi / 2, 0);
  at(1, ay);
  if (ux > 0) unitArc(path, u, ccVector<2>(ax, ay), r, 0, kPi / 2);
  at(-ax, 1);
  if (ux > 0) unitArc(path, u, ccVector<2>(-ax, ay), r, kPi / 2, kPi);
  at(-1, -ay);
  if (ux > 0) unitArc(path, u, ccVector<2>(-ax, -ay), r, kPi, 3 * kPi / 2);
  path.close();
  d.finish(stroke, props.fill());
}

void ccCairoScope::drawLineSeg(const ccLineSeg& seg, const ccGraphicProps& props) {
  Draw d(*this);
  if (!d.ok()) return;
  d.toTablet();
  RangedPath path(d.cr());
  path.moveTo(seg.p1());
  path.lineTo(seg.p2());
  d.finish(d.pen(props), false);
}

void ccCairoScope::plotPoint(const ccPoint& p, const ccGraphicProps& props) {
  Draw d(*this);
  if (!d.ok()) return;
  const long w = std::max(props.penWidth(), 1L);
  const long x = d.origin().first + xCoord(p) - (w - 1) / 2;
  const long y = d.origin().second + yCoord(p) - (w - 1) / 2;
  const ccUIRect r = d.visible(ccUIRect(x, y, w, w));
  if (r.isNull()) return;
  d.toSurface();
  d.color(props.penColor());
  cairo_rectangle(d.cr(), double(r.left()), double(r.top()), double(r.width()), double(r.height()));
  cairo_fill(d.cr());
  d.note(r);
}

// ---- Pen strokes

void ccCairoScope::strokePixels(long x0, long y0, long x1, long y1, const ccGraphicProps& props) {
  Draw d(*this);
  if (!d.ok()) return;
  d.toSurface();
  const double ox = double(d.origin().first) + 0.5, oy = double(d.origin().second) + 0.5;
  RangedPath path(d.cr());
  path.moveTo(ccVector<2>(ox + double(x0), oy + double(y0)));
  path.lineTo(ccVector<2>(ox + double(x1), oy + double(y1)));
  d.finish(d.pen(props), false);
}

void ccCairoScope::drawTo(const ccPoint& p, const ccGraphicProps& props) {
  const long x0 = drawX(), y0 = drawY();
  const long x1 = xCoord(p), y1 = yCoord(p);
  strokePixels(x0, y0, x1, y1, props);
  drawStart(p);
}

void ccCairoScope::drawToRel(long dx, long dy, const ccGraphicProps& props) {
  const long x0 = drawX(), y0 = drawY();
  strokePixels(x0, y0, x0 + dx, y0 + dy, props);
  moveToRel(dx, dy);
}

// ---- Text

ccPair<long> ccCairoScope::textSize(const std::string& text, long fontId, double* ascent) const {
  // Inside drawText the Draw has just recovered the context, so this never replaces it there.
  canvas_->recover();
  cairo_t* cr = canvas_->cr;
  cairo_save(cr);
  cairo_identity_matrix(cr);
  applyFont(cr, font(fontId), canvas_->antialias);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  double width = 0;
  const std::vector<std::string> ls = lines(text);
  for (const std::string& l : ls) {
    cairo_text_extents_t te;
    cairo_text_extents(cr, l.c_str(), &te);
    width = std::max(width, te.x_advance);
  }
  cairo_restore(cr);
  if (ascent) *ascent = fe.ascent;
  const long lineHeight = static_cast<long>(std::ceil(fe.ascent + fe.descent));
  return ccPair<long>(static_cast<long>(std::ceil(width)), lineHeight * long(ls.size()));
}

ccUIRect ccCairoScope::textRect(const std::string& text, const ccPoint& at,
                                const ccUIFormat& format) {
  const ccPair<long> size = textSize(text, format.fontId(), nullptr);
  return format.alignRect(ccUIRect(ccPair<long>(xCoord(at), yCoord(at)), size));
}

void ccCairoScope::drawText(const std::string& text, const ccPoint& at, const ccColor& color,
                            const ccColor& color2, const ccUIFormat& format) {
  Draw d(*this);
  if (!d.ok()) return;
  double ascent = 0;
  const ccPair<long> size = textSize(text, format.fontId(), &ascent);
  const ccUIRect r = format.alignRect(ccUIRect(ccPair<long>(xCoord(at), yCoord(at)), size));
  if (r.isNull()) return;
  const ccUIRect onSurface = r + d.origin();
  // Glyphs may stray past the text's rectangle, by less than a line.
  const long stray = size.second;
  if (d.visible(ccUIRect(onSurface.left() - stray, onSurface.top() - stray,
                         onSurface.width() + 2 * stray, onSurface.height() + 2 * stray))
          .isNull())
    return;
  d.toSurface();
  cairo_t* cr = d.cr();
  if (const ccUIRect back = d.visible(onSurface);
      canvas_->textBackground && !back.isNull() &&
      !(color2.isIndexColor() && color2.index() == ccColor::passColor().index())) {
    d.color(color2);
    cairo_rectangle(cr, double(back.left()), double(back.top()), double(back.width()),
                    double(back.height()));
    cairo_fill(cr);
  }
  applyFont(cr, font(format.fontId()), canvas_->antialias);
  d.color(color);
  const std::vector<std::string> ls = lines(text);
  const double lineHeight = double(size.second) / double(ls.size());
  for (std::size_t i = 0; i < ls.size(); ++i) {
    cairo_move_to(cr, double(onSurface.left()),
                  double(onSurface.top()) + lineHeight * double(i) + ascent);
    cairo_show_text(cr, ls[i].c_str());
  }
  d.note(onSurface);
}

// ---- Images at 1:1 and icons

void ccCairoScope::paintPels(cairo_surface_t* pels, long x, long y, double sx, double sy,
                             cairo_filter_t filter) {
  Draw d(*this);
  if (!d.ok()) return;
  const long w = cairo_image_surface_get_width(pels), h = cairo_image_surface_get_height(pels);
  const double left = double(d.origin().first + x), top = double(d.origin().second + y);
  const ccUIRect dest = d.visible(ccUIRect(d.origin().first + x, d.origin().second + y,
                                           static_cast<long>(std::ceil(double(w) * sx)),
                                           static_cast<long>(std::ceil(double(h) * sy))));
  if (dest.isNull()) return;
  cairo_t* cr = d.cr();
  d.toSurface();
  cairo_translate(cr, left, top);
  cairo_scale(cr, sx, sy);
  cairo_set_source_surface(cr, pels, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), filter);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  // The image's exact extent, cut to the visible pixels.
  d.toSurface();
  const double x0 = std::max(left, double(dest.left()));
  const double y0 = std::max(top, double(dest.top()));
  const double x1 = std::min(left + double(w) * sx, double(dest.left() + dest.width()));
  const double y1 = std::min(top + double(h) * sy, double(dest.top() + dest.height()));
  cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
  cairo_fill(cr);
  d.note(dest);
}

template <class T, class Convert>
void ccCairoScope::drawConverted(const ccPelBuffer_const<T>& image, long x, long y,
                                 Convert convert) {
  if (!image.isBound() || image.width() == 0 || image.height() == 0) return;
  // Only the pels that can show are converted.
  const ccUIRect visible =
      ccUIRect(x, y, image.width(), image.height()) & (surfaceClip() - surfaceOrigin());
  if (visible.isNull() || canvas_->offScreen) return;
  cairo_surface_t* s = pelSurface(image, visible.left() - x, visible.top() - y, visible.width(),
                                  visible.height(), convert);
  paintPels(s, visible.left(), visible.top(), 1, 1, CAIRO_FILTER_NEAREST);
  cairo_surface_destroy(s);
}

void ccCairoScope::drawIcon(const ccRLEBuffer& icon, const ccPoint& corner,
                            const std::vector<ccColor>& colors, bool passThrough,
                            unsigned char passValue) {
  if (icon.degenerate()) return;
  ccPelBuffer<unsigned char> pels;
  icon.decode(pels);
  std::array<std::uint32_t, 256> lut;
  for (int v = 0; v < 256; ++v) {
    const std::size_t i = static_cast<std::size_t>(v);
    lut[i] = argb(i < colors.size() ? rgbOf(colors[i]) : canvas_->palette[i]);
  }
  if (passThrough) lut[passValue] = 0;
  drawConverted(ccPelBuffer_const<unsigned char>(pels), xCoord(corner), yCoord(corner),
                [&](unsigned char v) { return lut[v]; });
}

void ccCairoScope::drawRLEImage(const ccRLEBuffer& image, const ccPoint& at,
                                const std::vector<unsigned char>& colorMap, bool pass,
                                unsigned char passValue, bool /*flag*/) {
  if (image.degenerate() || canvas_->offScreen) return;
  ccPelBuffer<unsigned char> pels;
  const ccUIRect visible = cc_detail::decodeVisible(image, xCoord(at), yCoord(at),
                                                    surfaceClip() - surfaceOrigin(), pels);
  if (visible.isNull()) return;
  const std::array<std::uint32_t, 256> lut = cc_detail::rleGreys(colorMap, pass, passValue);
  drawConverted(ccPelBuffer_const<unsigned char>(pels), visible.left(), visible.top(),
                [&](unsigned char v) { return lut[v]; });
}

// ---- Reduced and enlarged images

// One scale for both directions: the base class's zoom worker makes just the visible part of
// the zoomed image, which is drawn at 1:1. Different scales per direction: Cairo scales the
// whole image with its nearest-pel filter, whatever the interpolation mode.
template <class T, class Convert>
void ccCairoScope::drawScaled(const ccPelBuffer_const<T>& image, const ccPoint& at,
                              const ccPair<double>& scale, InterpolationModes mode,
                              Convert convert) {
  if (!image.isBound() || image.width() == 0 || image.height() == 0) return;
  if (!(scale.first > 0) || !(scale.second > 0) || canvas_->offScreen) return;
  const ccPair<long> corner(xCoord(at), yCoord(at));
  if (std::fabs(scale.first - scale.second) <= ccZoomFactorTolerance * scale.first) {
    ccUIRect clip = surfaceClip() - surfaceOrigin();
    if (clip.isNull()) return;
    ccPelBuffer<T> zoomed;
    pelScale(image, zoomed, scale.first, clip, corner, mode);
    if (!clip.isNull())
      drawConverted(ccPelBuffer_const<T>(zoomed), clip.left(), clip.top(), convert);
    return;
  }
  cairo_surface_t* s = pelSurface(image, 0, 0, image.width(), image.height(), convert);
  paintPels(s, corner.first, corner.second, scale.first, scale.second, CAIRO_FILTER_NEAREST);
  cairo_surface_destroy(s);
}

// The twelve image slots: at 1:1 (drawImage) the visible pels are copied; sampleImage and
// expandImage go through drawScaled.
template <class T>
void ccCairoScope::drawPels(const ccImageSlotCall<T>& image) {
  const auto convert = cc_detail::converterOf(image, canvas_->grey16Shift);
  if (image.scale)
    drawScaled(image.image, image.at, *image.scale, image.mode, convert);
  else
    drawConverted(image.image, xCoord(image.at), yCoord(image.at), convert);
}
DISPC_PEL_SCOPE_HOOK(ccCairoScope)

// ---- Areas

void ccCairoScope::setRect(const ccUIRect& rect, const ccColor& color) {
  Draw d(*this);
  if (!d.ok() || rect.isNull()) return;
  const ccUIRect r = d.visible(rect + d.origin());
  if (r.isNull()) return;
  d.toSurface();
  d.replace(color);
  cairo_rectangle(d.cr(), double(r.left()), double(r.top()), double(r.width()), double(r.height()));
  cairo_fill(d.cr());
  d.note(r, true);
}

void ccCairoScope::setAll(const ccColor& color) {
  setRect(ccUIRect(ccPair<long>(), scopeBounds().sz()), color);
}

void ccCairoScope::floodFill(const ccPair<long>& pixel, const ccColor& color, const ccColor& color2,
                             bool bounded) {
  if (canvas_->kind != eRaster || canvas_->offScreen) return;
  const ccUIRect clip = surfaceClip();
  const ccPair<long> o = surfaceOrigin();
  const long sx = pixel.first + o.first, sy = pixel.second + o.second;
  if (!clip.within(ccPair<long>(sx, sy))) return;

  cairo_surface_t* s = canvas_->surface;
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  const bool rgb24 = cairo_image_surface_get_format(s) == CAIRO_FORMAT_RGB24;
  if (!data) return;
  // RGB24 surfaces leave the top byte undefined: compare colours only there.
  const std::uint32_t mask = rgb24 ? 0x00FFFFFFu : 0xFFFFFFFFu;
  const std::uint32_t fill = isEraser(color) ? 0u : argb(rgbOf(color));
  const ccUIRect filled =
      cc_detail::floodFill(data, stride, clip, sx, sy, fill, argb(rgbOf(color2)), mask, bounded);
  if (filled.isNull()) return;
  cairo_surface_mark_dirty_rectangle(
      s, static_cast<int>(filled.left()), static_cast<int>(filled.top()),
      static_cast<int>(filled.width()), static_cast<int>(filled.height()));
  change(filled - o, false);
}
