// Fuzz target: arbitrary bytes loaded as archives of colours, dimensions, wireframe segments,
// SMD polygons, general polygons and wireframes, graphic lists and persistent objects (errors,
// graphics and every other registered class, shapes among them), in either archive format.
// Loading must either succeed or throw a ccException; whatever loads must store again (in the
// current format) and load back to the same bytes. A loaded SMD polygon, which keeps whatever
// caches and vertices it was given, must also survive its queries and edits (they may throw
// ccException but never crash). The first byte chooses what is loaded (selectors 200 to 239: SMD
// polygons; from 240: general polygons and wireframes, stored in place or loaded simply, which
// must also survive their shape queries and edits; 100 to 199: graphics, a graphic list for odd
// ones, which is then measured, mapped, copied (the copy must store as the list) and drawn; 64 to
// 99: SMD models, which must also survive their queries, tools and edits; below 64: its low three
// bits) and the format (bit 3 set: format 1, the fixed longs and the class named at every object;
// clear: format 2, the class tags). Two objects are loaded, so that the second can refer to the
// first's class or to the first itself.
#include <backends/trace/tracescope.h>
#include <core/shapes.h>
#include <dispc/color.h>
#include <dispc/dimtol.h>
#include <dispc/errors.h>
#include <dispc/glist.h>
#include <dispc/graphicgroup.h>
#include <dispc/smd/dimension.h>
#include <dispc/smd/model.h>
#include <dispc/smd/poly.h>
#include <dispc/wrfm/arc.h>
#include <dispc/wrfm/lineseg.h>
#include <dispc/wrfm/wirefrm.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

// Loads a T, stores it, and checks that loading and storing that again gives the same bytes.
template <class T>
void roundTripValue(const std::uint8_t* data, std::size_t size, ccArchive::Format format) {
  std::vector<unsigned char> first;
  bool two = false;
  try {
    ccArchive in(data, size, format);
    T value, second;
    in || value;
    two = !in.atEnd();
    if (two) in || second;
    ccArchive out;
    out || value;
    if (two) out || second;
    first = out.data();
  } catch (const ccException&) {
    return;  // malformed input is expected to throw a documented error
  }
  ccArchive again(first);
  T value, second;
  again || value;
  if (two) again || second;
  if (!again.atEnd()) std::abort();
  ccArchive out2;
  out2 || value;
  if (two) out2 || second;
  if (out2.data() != first) std::abort();
}

// Bytes of one object's record (what its dispatchSerialize writes).
template <class T>
std::vector<unsigned char> bytesOf(T& x) {
  ccArchive out;
  x.dispatchSerialize(out);
  return out.data();
}

// Every query and a few edits of a loaded polygon; only documented errors may come out.
void exercise(ccSMDGDPoly& p) {
  auto tryIt = [](auto&& f) {
    try {
      f();
    } catch (const ccException&) {
    }
  };
  const ccVector<2> probe(0.5, 0.25);
  tryIt([&] { ccSMDGDPolyPrivate::inside(p, probe); });
  tryIt([&] { p.isDirectionPositive(); });
  tryIt([&] { p.boundingBox(); });
  tryIt([&] { p.segmentsOutOfTolerance(ccXform<2>(), ccXform<2>()); });
  tryIt([&] { ccSMDGDPolyPrivate::perimeter(p); });
  tryIt([&] { ccSMDGDPolyPrivate::intersection_(p, ccSMDGDPoly::rectangle(1, 1, probe)); });
  for (long v = 0; v < p.numVertices() && v < 8; ++v) {
    tryIt([&] { ccSMDGDPolyPrivate::vertexAngle(p, v); });
    tryIt([&] { p.segmentDimension(v); });
  }
  // Edits are transactions: one that fails leaves the same bytes.
  const std::vector<unsigned char> before = bytesOf(p);
  bool failed = false;
  try {
    p << ccSMDGDPolyVertex(probe, 0.5, 0.5, -1);
  } catch (const ccException&) {
    failed = true;
  }
  if (failed && bytesOf(p) != before) std::abort();
  tryIt([&] { p.vertices(p.vertices()); });
  tryIt([&] { p.close(); });
  tryIt([&] { p.open(); });
  if (p.numVertices() > 0) tryIt([&] { p.deleteVertex(0); });
}

// The queries and tools of a loaded model; only documented errors may come out, and a tool
// that fails leaves its output as it was.
void exercise(ccSMDGDModel& m) {
  // The extension and crop tools are quadratic in the pieces: big loads are only round-tripped.
  if (m.numVertices() > 24) return;
  auto tryIt = [](auto&& f) {
    try {
      f();
    } catch (const ccException&) {
    }
  };
  tryIt([&] { m.boundingBox(); });
  tryIt([&] { m.polysOutOfTolerance(ccXform<2>(), ccXform<2>(ccMatrix<2>(2, 0, 0, 2), {})); });
  tryIt([&] { ccSMDGDModelPrivate::dominantAngle(m); });
  tryIt([&] { ccSMDGDModelPrivate::perimeter(m); });
  tryIt([&] { m.flip(); });
  tryIt([&] { 2.0 * m; });
  for (std::int32_t label : m.subModelLabels()) {
    ccSMDGDModel sub;
    tryIt([&] { m.subModel(label, sub); });
    break;
  }
  ccSMDGDModel out;
  out << ccSMDGDPoly::circle(1, ccVector<2>(3, 3));
  const std::vector<unsigned char> before = bytesOf(out);
  bool failed = false;
  try {
    ccSMDGDModelPrivate::crop(m, ccSMDGDPoly::rectangle(4, 3, ccVector<2>(0.5, 0.25)), out);
  } catch (const ccException&) {
    failed = true;
  }
  if (failed && bytesOf(out) != before) std::abort();
  tryIt([&] { ccSMDGDModelPrivate::crop(ccSMDGDModel() << ccSMDGDPoly::circle(2, {}), m, out); });
  tryIt([&] { ccSMDGDModelPrivate::setExtensions(m, 0.1, -1); });
  tryIt([&] { ccSMDGDModelPrivate::boundingBoxNeg(m); });
  tryIt([&] { ccSMDGDModelPrivate::numPosProbesRequired(m, 0.5); });
}

// Loads an SMD polygon or model in place; stored and loaded again it gives the same bytes;
// then it is exercised.
template <class T>
void roundTripDescription(const std::uint8_t* data, std::size_t size, ccArchive::Format format) {
  T value;
  try {
    ccArchive in(data, size, format);
    value.dispatchSerialize(in);
  } catch (const ccException&) {
    return;
  }
  const std::vector<unsigned char> first = bytesOf(value);
  ccArchive again(first);
  T copy;
  copy.dispatchSerialize(again);
  if (bytesOf(copy) != first) std::abort();
  exercise(copy);
}

// Every shape query and a few edits of a loaded general polygon or wireframe.
template <class G>
void exerciseShape(G& g) {
  auto tryIt = [](auto&& f) {
    try {
      f();
    } catch (const ccException&) {
    }
  };
  const ccVector<2> probe(0.5, 0.25);
  tryIt([&] { g.boundingBox(); });
  tryIt([&] { g.nearestPoint(probe); });
  tryIt([&] { g.perimeter(); });
  tryIt([&] { g.within(probe); });
  tryIt([&] { g.isRightHanded(); });
  tryIt([&] { g.startAngle(); });
  tryIt([&] { g.endAngle(); });
  tryIt([&] { g.distToPoint(probe); });
  tryIt([&] { g.encloseRect(); });
  tryIt([&] { g.center(); });
  tryIt([&] { g.reverse(); });
  tryIt([&] { g.map(ccXform<2>(ccMatrix<2>(1, 2, 0, -1), probe)); });
  tryIt([&] {
    ccShape::ccSampleResult r;
    g.sample(ccShape::ccSampleParams(0, 0.1, 50), r);
  });
  for (long i = 0; i < g.numVertices() && i < 8; ++i) {
    tryIt([&] { g.vertexRoundingSize(i); });
    tryIt([&] { g.lineSegment(i, false); });
    tryIt([&] { g.ellipseSegment(i, false); });
  }
  if constexpr (std::is_same_v<G, cc2Wireframe>) {
    tryIt([&] { g.isInsidePositive(); });
    tryIt([&] { g.segmentLengthTol(0); });
    tryIt([&] { ccSMDGDPoly p(g); });
  }
  // Edits are transactions: one that fails leaves the same bytes.
  auto edit = [&](auto&& f) {
    const std::vector<unsigned char> before = bytesOf(g);
    bool failed = false;
    try {
      f();
    } catch (const ccException&) {
      failed = true;
    }
    if (failed && bytesOf(g) != before) std::abort();
  };
  edit([&] { g.insertVertex(probe, 0.1, ccRadian(0.5)); });
  edit([&] { g.vertexRoundingSizes(0.05); });
  edit([&] { g.close(ccRadian(0)); });
  edit([&] { g.deleteVertex(0); });
}

// Loads a general polygon or wireframe in place (dispatchSerialize) or simply (loadSimple),
// checks that its bytes survive a second round, then exercises it.
template <class G>
void roundTripShape(const std::uint8_t* data, std::size_t size, ccArchive::Format format,
                    bool simple) {
  G value;
  try {
    ccArchive in(data, size, format);
    if (simple)
      value.loadSimple(in);
    else
      value.dispatchSerialize(in);
  } catch (const ccException&) {
    return;
  }
  const std::vector<unsigned char> first = bytesOf(value);
  ccArchive again(first);
  G copy;
  copy.dispatchSerialize(again);
  if (bytesOf(copy) != first) std::abort();
  exerciseShape(copy);
}

// How many graphics drawing g visits (shared ones each time), up to limit: graphics shared
// through nested groups can make that exponential in the archive's size.
std::size_t drawnGraphics(const ccGraphic* g, std::size_t limit) {
  const auto* group = dynamic_cast<const ccGraphicGroup*>(g);
  if (!group) return 1;
  std::size_t n = 1;
  for (long i = 0; i < group->numItems() && n < limit; ++i)
    n += drawnGraphics(group->item(i).get(), limit - n);
  return n;
}

std::vector<unsigned char> storedList(ccGraphicList& list) {
  ccArchive out;
  out || list;
  return out.data();
}

// Measures, maps, clones, copies and draws a loaded list; only documented errors may come out.
// All but drawing cost in proportion to the distinct graphics, so they run on every list; a
// copy keeps the sharing and stores as the list does.
void exercise(ccGraphicList& list) {
  auto tryIt = [](auto&& f) {
    try {
      f();
    } catch (const ccException&) {
    }
  };
  const ccXform<2> x(ccMatrix<2>(1.5, 0.25, -0.5, 2), ccVector<2>(3, -4));
  std::vector<ccPtrHandle<ccGraphic>> clones;
  for (const auto& g : list) {
    if (!g) continue;
    tryIt([&] { g->encloseRect(); });
    tryIt([&] { g->distToPoint(ccVector<2>(0.5, -7)); });
    tryIt([&] { g->map(x)->encloseRect(); });
    tryIt([&] { clones.push_back(g->clone()); });
  }
  try {
    ccGraphicList copy(list);
    if (storedList(copy) != storedList(list)) std::abort();
  } catch (const ccException&) {
  }

  // Drawing visits every path through shared groups, so only lists that draw few graphics are
  // drawn.
  constexpr std::size_t kMaxDrawn = 4096;
  std::size_t drawn = 0;
  for (const auto& g : list) {
    if (drawn >= kMaxDrawn) return;
    drawn += drawnGraphics(g.get(), kMaxDrawn - drawn);
  }
  if (drawn >= kMaxDrawn) return;
  auto log = std::make_shared<ccTraceLog>();
  ccTraceScope image(ccUIRect(0, 0, 64, 48), log), overlay(ccUIRect(0, 0, 64, 48), log);
  ccUITablet tablet(&image, &overlay);
  tablet.visible(true);
  tablet.recordOn() = true;
  tryIt([&] { list.draw(tablet, ccUITablet::eOverlayLayer); });
  tryIt([&] {
    tablet.draw(list.sketch(ccUITablet::eImageLayer), ccPoint(1, 2), ccUITablet::eBothLayers);
  });
  for (const auto& c : clones) tryIt([&] { tablet.draw(*c, ccUITablet::eImageLayer); });
}

// Loads a graphic list; stored and loaded again it gives the same bytes; then exercises it.
void roundTripGraphicList(const std::uint8_t* data, std::size_t size, ccArchive::Format format) {
  ccGraphicList list;
  try {
    ccArchive in(data, size, format);
    in || list;
  } catch (const ccException&) {
    return;
  }
  ccArchive out;
  out || list;
  ccArchive again(out.data());
  ccGraphicList back;
  again || back;
  ccArchive out2;
  out2 || back;
  if (!again.atEnd() || out2.data() != out.data()) std::abort();
  exercise(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const ccArchive::Format format = selector & 8 ? ccArchive::eFormat1 : ccArchive::eFormat2;
  ++data;
  --size;
  // Selectors from 200 on load SMD polygons; the others keep the meaning the corpus has.
  if (selector >= 240) {
    const bool simple = selector & 2;
    if (selector % 2)
      roundTripShape<cc2Wireframe>(data, size, format, simple);
    else
      roundTripShape<ccGenPoly>(data, size, format, simple);
    return 0;
  }
  if (selector >= 200) {
    if (selector % 2)
      roundTripValue<ccPtrHandle<ccSMDGeometricDescription>>(data, size, format);
    else
      roundTripDescription<ccSMDGDPoly>(data, size, format);
    return 0;
  }
  if (selector >= 100) {
    if (selector % 2)
      roundTripGraphicList(data, size, format);
    else
      roundTripValue<ccPtrHandle<ccGraphic>>(data, size, format);
    return 0;
  }
  if (selector >= 64) {
    if (selector % 2)
      roundTripValue<ccPtrHandle<ccSMDGeometricDescription>>(data, size, format);
    else
      roundTripDescription<ccSMDGDModel>(data, size, format);
    return 0;
  }
  switch (selector % 8) {
    case 0:
      roundTripValue<ccColor>(data, size, format);
      break;
    case 1:
      roundTripValue<ccRGB>(data, size, format);
      break;
    case 2:
      roundTripValue<ccPtrHandle<ccException>>(data, size, format);
      break;
    case 3:
      roundTripValue<ccPtrHandle<ccShape>>(data, size, format);
      break;
    case 4:
      roundTripValue<ccDimTol>(data, size, format);
      break;
    case 5:
      roundTripValue<ccSMDDimension>(data, size, format);
      break;
    case 6:
      roundTripValue<cc2SegmentLine>(data, size, format);
      break;
    default:
      roundTripValue<cc2SegmentArc>(data, size, format);
      break;
  }
  return 0;
}
