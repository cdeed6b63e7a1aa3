// The shape graphics: ccGraphicSimple<T> and ccGraphicWithFill<T, U>, their instantiations, and
// ccGraphic::makeShapeGraphic.
#include <core/errors.h>
#include <core/shapetree.h>
#include <dispc/graphic.h>
#include <dispc/graphicgroup.h>

#include <type_traits>
#include <vector>

namespace {

// The tablet's draw for the shape class.
template <class T>
void drawShape(ccUITablet& tablet, const T& s, const ccGraphicProps& p, ccUITablet::Layers l) {
  tablet.draw(s, p, l);
}
// The tablet has no operation for a line in implicit form (the general shape dispatch would
// draw nothing): it is the same infinite line as the ccLine through its point along its
// direction, and is drawn (and recorded) as that.
void drawShape(ccUITablet& tablet, const ccFLine& s, const ccGraphicProps& p,
               ccUITablet::Layers l) {
  tablet.draw(ccLine(s.dir(), s.point()), p, l);
}

}  // namespace

// ---- ccGraphicSimple<T>

template <class T>
ccPtrHandle<ccGraphic> ccGraphicSimple<T>::map(const ccXform<2>& x) const {
  return ccPtrHandle<ccGraphic>(new ccGraphicSimple(this->shape().map(x), this->props()));
}

template <class T>
ccPtrHandle<ccGraphic> ccGraphicSimple<T>::clone() const {
  return ccPtrHandle<ccGraphic>(new ccGraphicSimple(this->shape(), this->props()));
}

template <class T>
void ccGraphicSimple<T>::draw(ccUITablet& tablet, ccUITablet::Layers layer) const {
  drawShape(tablet, this->shape(), this->props(), layer);
}

template <class T>
void ccGraphicSimple<T>::dispatchSerialize(ccArchive& ar) {
  if (this->haveVisited(ar)) return;
  unsigned char version = 0;
  ar || version;
  if (version != 0) throw ccArchive::UnknownVersion(cfClassName(typeid(*this)), 0);
  ccGraphicProps p;
  T s;
  this->archiveBuiltinRecord(ar, p, s);
  if (ar.isLoading()) this->take(p, s);
  this->setVisited(ar);
}

// ---- ccGraphicWithFill<T, U>

template <class T, class U>
ccPtrHandle<ccGraphic> ccGraphicWithFill<T, U>::map(const ccXform<2>& x) const {
  const ccShapePtrh mapped = this->shape().mapShape(x);
  if (const auto* u = dynamic_cast<const U*>(mapped.get()))
    return ccPtrHandle<ccGraphic>(new ccGraphicWithFill<U, U>(*u, this->props()));
  if (const auto* t = dynamic_cast<const T*>(mapped.get()))
    return ccPtrHandle<ccGraphic>(new ccGraphicWithFill(*t, this->props()));
  // A circle that a map does not keep circular becomes a ccEllipse2, which the ellipse graphic
  // cannot hold; its ccEllipse form, mapped, is the same figure.
  if constexpr (std::is_same_v<T, ccCircle> && std::is_same_v<U, ccEllipse>)
    return ccPtrHandle<ccGraphic>(
        new ccGraphicWithFill<U, U>(this->shape().ellipse().map(x), this->props()));
  throw ccShapesError::DegenerateShape("the mapped shape is neither a " + cfClassName(typeid(U)) +
                                       " nor a " + cfClassName(typeid(T)));
}

template <class T, class U>
ccPtrHandle<ccGraphic> ccGraphicWithFill<T, U>::clone() const {
  return ccPtrHandle<ccGraphic>(new ccGraphicWithFill(this->shape(), this->props()));
}

template <class T, class U>
void ccGraphicWithFill<T, U>::draw(ccUITablet& tablet, ccUITablet::Layers layer) const {
  // The fill flag is in the props: the tablet chooses the outline or the filled form.
  drawShape(tablet, this->shape(), this->props(), layer);
}

template <class T, class U>
void ccGraphicWithFill<T, U>::dispatchSerialize(ccArchive& ar) {
  if (this->haveVisited(ar)) return;
  unsigned char version = 1;
  ar || version;
  if (version > 1) throw ccArchive::UnknownVersion(cfClassName(typeid(*this)), 0);
  ccGraphicProps p;
  T s;
  this->archiveBuiltinRecord(ar, p, s);
  if (ar.isLoading()) {
    if (version == 0) {
      bool fill = false;
      ar || fill;
      p.fill(fill);
    }
    this->take(p, s);
  }
  this->setVisited(ar);
}

#define DISPC_INSTANTIATE_SIMPLE_GRAPHIC(T) template class ccGraphicSimple<T>;
#define DISPC_INSTANTIATE_FILL_GRAPHIC(T, U) template class ccGraphicWithFill<T, U>;
DISPC_SIMPLE_GRAPHIC_SHAPES(DISPC_INSTANTIATE_SIMPLE_GRAPHIC)
DISPC_FILL_GRAPHIC_SHAPES(DISPC_INSTANTIATE_FILL_GRAPHIC)
#undef DISPC_INSTANTIATE_SIMPLE_GRAPHIC
#undef DISPC_INSTANTIATE_FILL_GRAPHIC

// ---- makeShapeGraphic

namespace {

using GraphicMaker = ccGraphic* (*)(const ccShape&, const ccGraphicProps&);

// A new G of the shape when the shape is an S, else nullptr.
template <class S, class G>
ccGraphic* makeIf(const ccShape& shape, const ccGraphicProps& props) {
  const auto* s = dynamic_cast<const S*>(&shape);
  return s ? new G(*s, props) : nullptr;
}
template <class S>
constexpr GraphicMaker simple = makeIf<S, ccGraphicSimple<S>>;
template <class S, class U>
constexpr GraphicMaker withFill = makeIf<S, ccGraphicWithFill<S, U>>;

// The order in which a shape's class is tested: the first class the shape is decides (it
// matters where shape classes derive from one another).
const GraphicMaker kMakers[] = {
    simple<cc2Point>,
    simple<ccLineSeg>,
    simple<ccLine>,
    simple<ccFLine>,
    withFill<ccRect, ccGenRect>,
    withFill<ccCircle, ccEllipse2>,
    withFill<ccAnnulus, ccGenAnnulus>,
    simple<ccEllipseArc2>,
    withFill<ccEllipse2, ccEllipse2>,
    withFill<ccGenRect, ccGenRect>,
    simple<ccGenAnnulus>,
    simple<ccPolyline>,
    // A wireframe is a general polygon too: tested first, it keeps its class (and its direction
    // marks) instead of becoming a general polygon graphic.
    simple<cc2Wireframe>,
    simple<ccGenPoly>,
    simple<ccAffineRectangle>,
    simple<ccBezierCurve>,
    simple<ccDeBoorSpline>,
    simple<ccInterpSpline>,
    simple<ccHermiteSpline>,
    withFill<ccEllipseAnnulus, ccEllipseAnnulus>,
    makeIf<ccEllipseAnnulusSection, ccGraphicEllipseAnnulusSection>,
    simple<ccLineSegSet>,
};

}  // namespace

ccPtrHandle<ccGraphic> ccGraphic::makeShapeGraphic(const ccShape* shape,
                                                   const ccGraphicProps& props) {
  if (!shape) return ccPtrHandle<ccGraphic>();
  if (const auto* tree = dynamic_cast<const ccShapeTree*>(shape)) {
    ccPtrHandle<ccGraphicGroup> group(new ccGraphicGroup);
    group->props(props);
    std::vector<ccPtrHandle<ccGraphic>> items;
    items.reserve(tree->children().size());
    for (const ccShapePtrh& child : tree->children())
      items.push_back(makeShapeGraphic(child.get(), props));
    group->items(items, false);
    return group;
  }
  for (GraphicMaker make : kMakers)
    if (ccGraphic* g = make(*shape, props)) return ccPtrHandle<ccGraphic>(g);
  throw NoGraphicForShape();
}
