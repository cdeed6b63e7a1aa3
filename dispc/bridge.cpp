// Conversions between graphics-list records and tablets and graphic lists (see bridge.h).
#include <cgr/shapemath.h>
#include <core/assert.h>
#include <core/exception.h>
#include <dispc/bridge.h>
#include <dispc/graphicgroup.h>
#include <dispc/sketchformat.h>

#include <cmath>
#include <limits>
#include <string>
#include <variant>
#include <vector>

namespace {

constexpr const char* kSource = "dispc/bridge";

// ---- Reading

struct TextRecord {
  ccPoint position;
  ccColor background;
  ccUIFormat format;
  ccVector<2> offset;
  std::string text;
};

// The shape of one record (types 5 and 6 both give a ccEllipse2).
using RecordShape = std::variant<ccPoint, ccLineSeg, ccLine, ccRect, ccGenRect, ccEllipse2,
                                 ccPolyline, ccAffineRectangle, TextRecord, ccLineSegSet>;

struct Record {
  ccColor colour;
  RecordShape shape;
};

cmath_vect toCmath(const ccVector<2>& v) { return {v.x(), v.y()}; }
ccVector<2> fromCmath(const cmath_vect& v) { return ccVector<2>(v.x, v.y); }

// A count field (a negative count is refused).
std::size_t readCount(ccSketchReader& in) {
  const long n = in.readLong();
  if (n < 0) throw ccUIError::InvalidUISketch("negative count " + std::to_string(n));
  return static_cast<std::size_t>(n);
}

// Refuses n items of itemBytes that the area does not hold, before anything is allocated for
// them.
void requireItems(const ccSketchReader& in, std::size_t n, std::size_t itemBytes) {
  if (n > in.remaining() / itemBytes)
    throw ccUIError::InvalidUISketch(std::to_string(n) + " items of " + std::to_string(itemBytes) +
                                     " bytes run past the end");
}

std::vector<ccVector<2>> readPoints(ccSketchReader& in, std::size_t n) {
  std::vector<ccVector<2>> points(n);
  for (ccVector<2>& p : points) p = in.readPoint();
  return points;
}

cmath_vect readVect(ccSketchReader& in) { return toCmath(in.readPoint()); }

ccLineSeg readSegment(ccSketchReader& in) {
  const ccVector<2> p1 = in.readPoint();
  return ccLineSeg(p1, in.readPoint());
}

// The payload of a record of the given type (0-10), read from `in`.
RecordShape readShape(std::int32_t type, ccSketchReader& in) {
  switch (type) {
    case cgr_eLineSeg:
      return readSegment(in);
    case cgr_eLine: {
      const ccVector<2> direction = in.readPoint();
      return ccLine(direction, in.readPoint());
    }
    case cgr_eRect: {
      const ccVector<2> ul = in.readPoint();
      return ccRect(ul, in.readPoint());
    }
    case cgr_eGenRect: {
      const ccVector<2> center = in.readPoint(), halfSize = in.readPoint();
      const ccRadian rotation(in.readDouble());
      return ccGenRect(center, halfSize, rotation, in.readPoint());
    }
    case cgr_eCircle: {
      const ccVector<2> center = in.readPoint();
      const double r = in.readDouble();
      return ccEllipse2(ccVector<2>(r, r), ccRadian(0), center);
    }
    case cgr_eEllipse: {
      cmath_shapeEllipse e;
      e.center = readVect(in);
      e.radii = readVect(in);
      e.rotation = in.readDouble();
      e.start = in.readDouble();
      e.span = in.readDouble();
      for (auto& row : e.unitCircleMap.m)
        for (double& v : row) v = in.readDouble();
      e.unitCircleMap.t = readVect(in);
      cmath_xform x;
      cfThrowExceptionOnFailure(cmath_shapeEllipse_getXform(&e, &x));
      return ccEllipse2(
          ccXform<2>(ccMatrix<2>(x.m[0][0], x.m[0][1], x.m[1][0], x.m[1][1]), fromCmath(x.t)));
    }
    case cgr_ePolyline: {
      const std::size_t n = readCount(in);
      const bool closed = in.readLong() != 0;
      requireItems(in, n, 16);
      return ccPolyline(readPoints(in, n), closed);
    }
    case cgr_eAffineRect: {
      cmath_shapeAffineRect r;
      r.po = readVect(in);
      r.px = readVect(in);
      r.py = readVect(in);
      cmath_vect po, px, py;
      cfThrowExceptionOnFailure(cmath_shapeAffineRect_getPoints(&r, &po, &px, &py));
      return ccAffineRectangle(fromCmath(po), fromCmath(px), fromCmath(py));
    }
    case cgr_eText: {
      TextRecord t;
      t.position = ccPoint(in.readPoint());
      t.background = cfColor(static_cast<cgr_color>(in.readULong()));
      t.format = ccUIFormat(cfUIFormatAlignment(static_cast<std::int32_t>(in.readLong())));
      t.offset = in.readPoint();
      if (!std::isfinite(t.offset.x()) || !std::isfinite(t.offset.y()))
        throw ccUIError::InvalidUISketch("the text offset is not finite");
      in.skip(8);
      t.text = in.readString();
      return t;
    }
    case cgr_eLineSegSet: {
      const std::size_t n = readCount(in);
      requireItems(in, n, 32);
      std::vector<ccLineSeg> segments;
      segments.reserve(n);
      for (std::size_t i = 0; i < n; ++i) segments.push_back(readSegment(in));
      return ccLineSegSet(segments);
    }
    default:  // cgr_ePoint, and unknown types read as points
      return ccPoint(in.readPoint());
  }
}

// Every record of the list, read before anything is drawn or appended. A malformed record area
// throws ccGraphic::BadParams naming the record.
std::vector<Record> readList(const cgr_list* list) {
  std::vector<Record> records;
  if (!list) {
    cstd_assert_(__LINE__, kSource);
    return records;
  }
  if (list->count < 0)
    throw ccGraphic::BadParams("cgr_list: negative record count " + std::to_string(list->count));
  if (list->count > 0 && !list->records)
    throw ccGraphic::BadParams("cgr_list: " + std::to_string(list->count) +
                               " records but no record area");
  // The bounded cursor of the sketch reader: a read past `size` throws before touching memory.
  ccSketchReader in(list->records, list->records ? list->size : 0);
  for (std::int32_t index = 0; index < list->count; ++index) {
    const std::size_t at = in.position();
    std::string typeText;  // known once the header has been read
    try {
      in.require(8);
      const auto type = static_cast<std::int32_t>(in.readLong());
      typeText = " (type " + std::to_string(type) + ")";
      const ccColor colour = cfColor(static_cast<cgr_color>(in.readULong()));
      if (type < cgr_ePoint || type > cgr_eLineSegSet) cstd_assert_(__LINE__, kSource);
      records.push_back({colour, readShape(type, in)});
    } catch (const ccUIError::InvalidUISketch& e) {
      throw ccGraphic::BadParams(
          "cgr_list record " + std::to_string(index) + typeText + " at byte " + std::to_string(at) +
          ": " + e.message() + " (the record area holds " + std::to_string(in.size()) + " bytes)");
    }
  }
  return records;
}

ccGraphicProps lineProps(const ccColor& c) {
  return ccGraphicProps(c, 1, ccGraphicProps::eSolid, false);
}

// A pixel offset rounded to the nearest whole pixel, kept within the range of long.
long roundedPels(double v) {
  constexpr double kLimit = 1e15;
  return std::lround(v < -kLimit ? -kLimit : v > kLimit ? kLimit : v);
}

struct TabletDraw {
  ccUITablet& tablet;
  const ccColor& colour;
  ccUITablet::Layers layer;

  void operator()(const ccPoint& p) const { tablet.drawPointIcon(p, colour, layer); }
  void operator()(const ccLineSeg& s) const { tablet.draw(s, colour, layer); }
  void operator()(const ccLine& s) const { tablet.draw(s, colour, layer); }
  void operator()(const ccRect& r) const { tablet.draw(r, colour, layer, false); }
  void operator()(const ccGenRect& r) const { tablet.draw(r, colour, layer, false); }
  void operator()(const ccAffineRectangle& r) const { tablet.draw(r, colour, layer); }
  void operator()(const ccEllipse2& e) const { tablet.draw(e, lineProps(colour), layer); }
  void operator()(const ccPolyline& p) const { tablet.draw(p, lineProps(colour), layer); }
  void operator()(const ccLineSegSet& s) const { tablet.draw(s, lineProps(colour), layer); }
  void operator()(const TextRecord& t) const {
    tablet.drawStart(t.position, layer);
    tablet.moveToRelPels(roundedPels(t.offset.x()), roundedPels(t.offset.y()), layer);
    tablet.draw(t.text, ccUITablet::drawPointArg(), colour, t.background, t.format, layer);
  }
};

struct GraphicOf {
  const ccColor& colour;

  template <class T>
  ccGraphicPtrh simple(const T& s) const {
    return ccGraphicPtrh(new ccGraphicSimple<T>(s, colour));
  }
  template <class T, class U>
  ccGraphicPtrh unfilled(const T& s) const {
    return ccGraphicPtrh(new ccGraphicWithFill<T, U>(s, colour, false));
  }

  ccGraphicPtrh operator()(const ccPoint& p) const {
    return ccGraphicPtrh(new ccGraphicPointIcon(p, colour));
  }
  ccGraphicPtrh operator()(const ccLineSeg& s) const { return simple(s); }
  ccGraphicPtrh operator()(const ccLine& s) const { return simple(s); }
  ccGraphicPtrh operator()(const ccPolyline& s) const { return simple(s); }
  ccGraphicPtrh operator()(const ccAffineRectangle& s) const { return simple(s); }
  ccGraphicPtrh operator()(const ccLineSegSet& s) const { return simple(s); }
  ccGraphicPtrh operator()(const ccRect& r) const { return unfilled<ccRect, ccGenRect>(r); }
  ccGraphicPtrh operator()(const ccGenRect& r) const { return unfilled<ccGenRect, ccGenRect>(r); }
  ccGraphicPtrh operator()(const ccEllipse2& e) const {
    return unfilled<ccEllipse2, ccEllipse2>(e);
  }
  ccGraphicPtrh operator()(const TextRecord& t) const {
    return ccGraphicPtrh(
        new ccGraphicText(t.text, t.position, colour, t.background, t.format, t.offset));
  }
};

// ---- Writing

// Appends the record of g to list when g is of a type with a record form; false otherwise.
bool appendRecord(cgr_list* list, const ccGraphic& g) {
  const cgr_color colour = cfColor(g.color());
  cgr_status status = cgr_eOk;
  if (const auto* p = dynamic_cast<const ccGraphicPointIcon*>(&g)) {
    status = cgr_list_appendPoint(list, colour, p->point().x(), p->point().y());
  } else if (const auto* s = dynamic_cast<const ccGraphicSimple<ccLineSeg>*>(&g)) {
    const ccLineSeg& seg = s->shape();
    status = cgr_list_appendLineSeg(list, colour, seg.p1().x(), seg.p1().y(), seg.p2().x(),
                                    seg.p2().y());
  } else if (const auto* l = dynamic_cast<const ccGraphicSimple<ccLine>*>(&g)) {
    status = cgr_list_appendLineDirPoint(list, colour, toCmath(l->shape().dir()),
                                         toCmath(l->shape().pos()));
  } else if (const auto* r = dynamic_cast<const ccGraphicWithFill<ccRect, ccGenRect>*>(&g)) {
    const ccRect& rect = r->shape();
    status = cgr_list_appendRect(list, colour, rect.ul().x(), rect.ul().y(), toCmath(rect.sz()));
  } else if (const auto* gr = dynamic_cast<const ccGraphicWithFill<ccGenRect, ccGenRect>*>(&g)) {
    // The record holds U = R(rotation) diag(halfSize): the rotation is the first axis's angle
    // (the second's when the first is zero), the half-sizes are the axes' lengths. A skewed or
    // mirrored rectangle has no record form and is written as the rectangle of its axis lengths.
    const ccGenRect& rect = gr->shape();
    const ccMatrix<2>& u = rect.U();
    const double u11 = u.element(0, 0), u12 = u.element(0, 1);
    const double u21 = u.element(1, 0), u22 = u.element(1, 1);
    const double rotation = (u11 != 0 || u21 != 0) ? std::atan2(u21, u11) : std::atan2(-u12, u22);
    status = cgr_list_appendGenRect(list, colour, toCmath(rect.center()),
                                    {std::hypot(u11, u21), std::hypot(u12, u22)}, rotation,
                                    toCmath(rect.uround()));
  } else if (const auto* a = dynamic_cast<const ccGraphicSimple<ccAffineRectangle>*>(&g)) {
    const ccAffineRectangle& rect = a->shape();
    cmath_shapeAffineRect record;
    cfThrowExceptionOnFailure(cmath_shapeAffineRect_initPoints(
        &record, toCmath(rect.cornerPo()), toCmath(rect.cornerPx()), toCmath(rect.cornerPy())));
    status = cgr_list_appendShapeAffineRect(list, colour, &record);
  } else if (const auto* pl = dynamic_cast<const ccGraphicSimple<ccPolyline>*>(&g)) {
    const ccPolyline& poly = pl->shape();
    std::vector<cmath_vect> vertices;
    for (const ccVector<2>& v : poly.vertices()) vertices.push_back(toCmath(v));
    status = vertices.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
                 ? cgr_eNoMemory
                 : cgr_list_appendPolyline(list, colour, static_cast<std::int32_t>(vertices.size()),
                                           vertices.data(), poly.isClosed());
  } else if (const auto* ss = dynamic_cast<const ccGraphicSimple<ccLineSegSet>*>(&g)) {
    const std::vector<ccLineSeg>& segments = ss->shape().segments();
    std::vector<cmath_vect> ends;
    for (const ccLineSeg& seg : segments) {
      ends.push_back(toCmath(seg.p1()));
      ends.push_back(toCmath(seg.p2()));
    }
    status = segments.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
                 ? cgr_eNoMemory
                 : cgr_list_appendLineSegSet(
                       list, colour, static_cast<std::int32_t>(segments.size()), ends.data());
  } else if (const auto* t = dynamic_cast<const ccGraphicText*>(&g)) {
    status = cgr_list_appendTextEx(list, colour, toCmath(t->location().vector()), t->text().c_str(),
                                   cfColor(t->backgroundColor()),
                                   cfCgrAlignment(t->format().alignment()), toCmath(t->offset()));
  } else {
    return false;
  }
  cfThrowExceptionOnFailure(status);
  return true;
}

}  // namespace

void cfUITabletDraw(ccUITablet& tablet, const cgr_list* list, ccUITablet::Layers layer) {
  for (const Record& r : readList(list)) std::visit(TabletDraw{tablet, r.colour, layer}, r.shape);
}

void cfGraphicListAppend(ccGraphicList& graphics, const cgr_list* list) {
  std::vector<ccGraphicPtrh> made;
  for (const Record& r : readList(list)) made.push_back(std::visit(GraphicOf{r.colour}, r.shape));
  for (const ccGraphicPtrh& g : made) graphics.append(g, false);
}

void cfGraphicListAppend(cgr_list* list, const ccGraphicList& graphics) {
  if (!list) {
    cstd_assert_(__LINE__, kSource);
    return;
  }
  // A failure takes back the records this call appended: the area keeps its bytes, the count
  // and size return to where they were.
  const std::int32_t count = list->count;
  const std::size_t size = list->size;
  try {
    for (const ccGraphicPtrh& g : graphics)
      if (!g.isNull() && !appendRecord(list, *g)) cstd_assert_(__LINE__, kSource);
  } catch (...) {
    list->count = count;
    list->size = size;
    throw;
  }
}

ccUIFormat::Alignment cfUIFormatAlignment(std::int32_t cgrAlignment) {
  if (cgrAlignment < ccUIFormat::eTopLeft || cgrAlignment > ccUIFormat::eBottomRight) {
    cstd_assert_(__LINE__, kSource);
    return ccUIFormat::eTopLeft;
  }
  return static_cast<ccUIFormat::Alignment>(cgrAlignment);
}

std::int32_t cfCgrAlignment(ccUIFormat::Alignment alignment) {
  return cfUIFormatAlignment(static_cast<std::int32_t>(alignment));
}
