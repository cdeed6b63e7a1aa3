// Retained graphics: every shape-graphic instantiation against its shape (drawing, measures,
// archive, registration), makeShapeGraphic's choices, mapping, archive versions, groups, text
// placement and the tablet's refusal of graphics that are not built in.
#include <core/archive.h>
#include <core/shapetree.h>
#include <dispc/graphic.h>
#include <dispc/graphicgroup.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <typeinfo>
#include <vector>

#include "assertcounter.h"
#include "graphictesting.h"

namespace {

using namespace graphic_testing;

// The shape's enclosing rectangle as the graphic defines it, or the error it throws, as text.
template <class F>
std::string rectOrError(F f) {
  try {
    const ccRect r = f();
    return "rect " + std::to_string(r.ul().x()) + "," + std::to_string(r.ul().y()) + " " +
           std::to_string(r.width()) + "x" + std::to_string(r.height());
  } catch (const ccException& e) {
    return cfClassName(typeid(e));
  }
}

std::string className(const ccPtrHandle<ccGraphic>& g) { return cfClassName(typeid(*g)); }

TEST(ShapeGraphics, EveryInstantiationDrawsMeasuresAndArchivesLikeItsShape) {
  const std::vector<GraphicCase> cases = everyShapeGraphic();
  EXPECT_EQ(cases.size(), 29u);
  const V probe(17, -3);
  for (const GraphicCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(className(c.graphic), c.name);
    EXPECT_FALSE(c.graphic->isNull());

    // Drawn through the tablet: the same scope calls and sketch bytes as the shape drawn directly.
    TracedTablet direct, viaGraphic;
    c.direct(direct.tablet, sampleProps(), ccUITablet::eOverlayLayer);
    viaGraphic.tablet.draw(*c.graphic, ccUITablet::eOverlayLayer);
    EXPECT_FALSE(direct.log->empty());
    EXPECT_EQ(viaGraphic.calls(), direct.calls());
    EXPECT_EQ(viaGraphic.sketchBytes(), direct.sketchBytes());

    EXPECT_EQ(rectOrError([&] { return c.graphic->encloseRect(); }), rectOrError([&] {
                try {
                  return c.shape->boundingBox();
                } catch (const ccShapesError::DegenerateShape&) {
                  return ccRect();
                }
              }));
    EXPECT_EQ(c.graphic->distToPoint(probe), c.shape->distanceToPoint(probe));

    const ccPtrHandle<ccGraphic> copy = c.graphic->clone();
    EXPECT_NE(copy.get(), c.graphic.get());
    EXPECT_EQ(storedBytes(copy), storedBytes(c.graphic));

    // Archived (with the class name) and loaded through the class registry: stored again, the
    // same bytes.
    const std::vector<unsigned char> bytes = storedBytes(c.graphic);
    const ccPtrHandle<ccGraphic> back = loadedFrom(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->props(), sampleProps());
    EXPECT_EQ(storedBytes(back), bytes);
  }
}

TEST(ShapeGraphics, MakeShapeGraphicFollowsTheClassOrder) {
  const ccGraphicProps p = sampleProps();
  ccShapePtrh spline = ccShapePtrh(new ccInterpSpline(sample<ccInterpSpline>()));
  const struct {
    ccShapePtrh shape;
    const char* made;  // "" for NoGraphicForShape
  } kRows[] = {
      {sample<cc2Point>().clone(), "ccGraphicSimple<cc2Point>"},
      {sample<ccLineSeg>().clone(), "ccGraphicSimple<ccLineSeg>"},
      {sample<ccLineSegSet>().clone(), "ccGraphicSimple<ccLineSegSet>"},
      {sample<ccLine>().clone(), "ccGraphicSimple<ccLine>"},
      {sample<ccFLine>().clone(), "ccGraphicSimple<ccFLine>"},
      {sample<ccPolyline>().clone(), "ccGraphicSimple<ccPolyline>"},
      {sample<ccGenPoly>().clone(), "ccGraphicSimple<ccGenPoly>"},
      {sample<cc2Wireframe>().clone(), "ccGraphicSimple<cc2Wireframe>"},
      {sample<ccAffineRectangle>().clone(), "ccGraphicSimple<ccAffineRectangle>"},
      {sample<ccEllipseArc2>().clone(), "ccGraphicSimple<ccEllipseArc2>"},
      {sample<ccGenAnnulus>().clone(), "ccGraphicSimple<ccGenAnnulus>"},
      {sample<ccBezierCurve>().clone(), "ccGraphicSimple<ccBezierCurve>"},
      {sample<ccDeBoorSpline>().clone(), "ccGraphicSimple<ccDeBoorSpline>"},
      {spline, "ccGraphicSimple<ccInterpSpline>"},
      {sample<ccHermiteSpline>().clone(), "ccGraphicSimple<ccHermiteSpline>"},
      {sample<ccRect>().clone(), "ccGraphicWithFill<ccRect, ccGenRect>"},
      {sample<ccCircle>().clone(), "ccGraphicWithFill<ccCircle, ccEllipse2>"},
      {sample<ccAnnulus>().clone(), "ccGraphicWithFill<ccAnnulus, ccGenAnnulus>"},
      {sample<ccEllipse2>().clone(), "ccGraphicWithFill<ccEllipse2, ccEllipse2>"},
      {sample<ccGenRect>().clone(), "ccGraphicWithFill<ccGenRect, ccGenRect>"},
      {sample<ccEllipseAnnulus>().clone(), "ccGraphicWithFill<ccEllipseAnnulus, ccEllipseAnnulus>"},
      {sample<ccEllipseAnnulusSection>().clone(), "ccGraphicEllipseAnnulusSection"},
      {sample<ccPoint>().clone(), ""},
      {sample<ccPolygon>().clone(), ""},
      {sample<ccEllipse>().clone(), ""},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(cfClassName(typeid(*row.shape)));
    if (*row.made) {
      const ccPtrHandle<ccGraphic> g = ccGraphic::makeShapeGraphic(row.shape, p);
      ASSERT_TRUE(g);
      EXPECT_EQ(className(g), row.made);
      EXPECT_EQ(g->props(), p);
      continue;
    }
    try {
      ccGraphic::makeShapeGraphic(row.shape, p);
      ADD_FAILURE() << "made a graphic";
    } catch (const ccGraphic::NoGraphicForShape& e) {
      EXPECT_EQ(e.errorNumber(), 0x10009601u);
      EXPECT_EQ(e.message(), "");
    }
  }
  EXPECT_TRUE(ccGraphic::makeShapeGraphic(static_cast<const ccShape*>(nullptr), p).isNull());

  // A shape tree becomes a group of its children's graphics, in order; an unsupported child fails.
  ccShapeTree tree({sample<ccCircle>().clone(), sample<ccLineSeg>().clone()});
  const ccPtrHandle<ccGraphic> g = ccGraphic::makeShapeGraphic(&tree, p);
  const auto* group = dynamic_cast<const ccGraphicGroup*>(g.get());
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->numItems(), 2);
  EXPECT_EQ(cfClassName(typeid(*group->item(0))), "ccGraphicWithFill<ccCircle, ccEllipse2>");
  EXPECT_EQ(cfClassName(typeid(*group->item(1))), "ccGraphicSimple<ccLineSeg>");
  EXPECT_EQ(group->props(), p);
  tree.add(sample<ccPoint>().clone());
  EXPECT_THROW(ccGraphic::makeShapeGraphic(&tree, p), ccGraphic::NoGraphicForShape);
}

TEST(ShapeGraphics, MappingChoosesTheClassThatHoldsTheMappedShape) {
  const ccXform<2> shift(ccMatrix<2>(1, 0, 0, 1), V(5, -3));
  const ccXform<2> stretch(ccMatrix<2>(2, 0, 0, 1), V(0, 0));
  const ccXform<2> turn(ccMatrix<2>(std::cos(0.3), -std::sin(0.3), std::sin(0.3), std::cos(0.3)),
                        V(1, 1));
  const ccGraphicProps p = sampleProps();
  using CircleToEllipse = ccGraphicWithFill<ccCircle, ccEllipse>;
  const struct {
    ccPtrHandle<ccGraphic> g;
    ccXform<2> x;
    const char* result;
  } kRows[] = {
      {ccGraphic::makeShapeGraphic(sample<ccCircle>().clone(), p), shift,
       "ccGraphicWithFill<ccCircle, ccEllipse2>"},
      {ccGraphic::makeShapeGraphic(sample<ccCircle>().clone(), p), stretch,
       "ccGraphicWithFill<ccEllipse2, ccEllipse2>"},
      {ccPtrHandle<ccGraphic>(new CircleToEllipse(sample<ccCircle>(), p)), shift,
       "ccGraphicWithFill<ccCircle, ccEllipse>"},
      {ccPtrHandle<ccGraphic>(new CircleToEllipse(sample<ccCircle>(), p)), stretch,
       "ccGraphicWithFill<ccEllipse, ccEllipse>"},
      {ccGraphic::makeShapeGraphic(sample<ccRect>().clone(), p), turn,
       "ccGraphicWithFill<ccGenRect, ccGenRect>"},
      {ccGraphic::makeShapeGraphic(sample<ccAnnulus>().clone(), p), stretch,
       "ccGraphicWithFill<ccGenAnnulus, ccGenAnnulus>"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.result);
    const ccPtrHandle<ccGraphic> m = row.g->map(row.x);
    EXPECT_EQ(className(m), row.result);
    EXPECT_EQ(m->props(), p);
  }
  const ccPtrHandle<ccGraphic> stretched = kRows[3].g->map(stretch);
  const auto* ell = dynamic_cast<const ccGraphicWithFill<ccEllipse, ccEllipse>*>(stretched.get());
  ASSERT_NE(ell, nullptr);
  EXPECT_EQ(ell->shape(), sample<ccCircle>().ellipse().map(stretch));
}

// The stored record of a graphic (no persistent-pointer tag), loaded into a fresh object.
template <class G>
std::vector<unsigned char> recordOf(G& g) {
  ccArchive out;
  g.dispatchSerialize(out);
  return out.data();
}

template <class G>
void loadRecord(G& g, const std::vector<unsigned char>& bytes) {
  ccArchive in(bytes);
  g.dispatchSerialize(in);
  EXPECT_TRUE(in.atEnd());
}

TEST(ShapeGraphics, OlderArchiveVersionsLoad) {
  using Circle = ccGraphicWithFill<ccCircle, ccEllipse2>;
  Circle circle(sample<ccCircle>(), ccColor::greenColor(), false);
  const std::vector<unsigned char> v1 = recordOf(circle);
  ASSERT_EQ(v1[0], 1);  // ccGraphicWithFill's version, then ccGraphicBuiltin's and ccGraphic's
  ASSERT_EQ(v1[1], 0);
  ASSERT_EQ(v1[2], 1);

  // Version 0 of ccGraphicWithFill: the fill flag follows.
  std::vector<unsigned char> v0 = v1;
  v0[0] = 0;
  v0.push_back(1);
  Circle loaded;
  loadRecord(loaded, v0);
  EXPECT_TRUE(loaded.fill());
  EXPECT_EQ(loaded.shape(), sample<ccCircle>());

  // Version 0 of ccGraphic: a colour instead of the props.
  ccGraphicProps props = circle.props();
  ccArchive propsOut, colourOut;
  props.dispatchSerialize(propsOut);
  ccColor colour = ccColor::orangeColor();
  colourOut || colour;
  std::vector<unsigned char> g0(v1.begin(), v1.begin() + 2);
  g0.push_back(0);
  g0.insert(g0.end(), colourOut.data().begin(), colourOut.data().end());
  g0.insert(g0.end(), v1.begin() + 3 + static_cast<long>(propsOut.data().size()), v1.end());
  loadRecord(loaded, g0);
  EXPECT_EQ(loaded.props(), ccGraphicProps(colour, 1, ccGraphicProps::eSolid, false));

  // Version 0 of the annulus section: the two arrowhead flags follow.
  ccGraphicEllipseAnnulusSection section(sample<ccEllipseAnnulusSection>(), ccColor::redColor(),
                                         false, true);
  std::vector<unsigned char> s0 = recordOf(section);
  ASSERT_EQ(s0[0], 1);
  s0[0] = 0;
  s0.insert(s0.end(), {1, 0});
  ccGraphicEllipseAnnulusSection sectionLoaded;
  loadRecord(sectionLoaded, s0);
  EXPECT_TRUE(sectionLoaded.drawArrowHead());
  EXPECT_FALSE(sectionLoaded.drawArrowHeadForward());
}

TEST(ShapeGraphics, UnknownVersionsNameTheirSourceAndLeaveTheGraphicAsItWas) {
  ccGraphicWithFill<ccCircle, ccEllipse2> circle(sample<ccCircle>(), ccColor::greenColor(), true);
  ccGraphicGroup group;
  group.items({ccPtrHandle<ccGraphic>(new ccGraphicPointIcon(ccPoint(1, 2), ccColor::redColor()))},
              false);
  const std::vector<unsigned char> circleBytes = recordOf(circle), groupBytes = recordOf(group);
  ccGraphicProps groupProps = group.props();
  ccArchive propsOut;
  groupProps.dispatchSerialize(propsOut);
  const std::size_t itemsVector = 2 + propsOut.data().size();  // after the group's record start
  const struct {
    ccGraphic* g;
    std::vector<unsigned char> bytes;
    std::size_t at;
    const char* source;  // line 0 expected where the source is a class name or empty
  } kRows[] = {
      {&circle, circleBytes, 0, "ccGraphicWithFill<ccCircle, ccEllipse2>"},
      {&circle, circleBytes, 1, "ccGraphicWithFill<ccCircle, ccEllipse2>"},
      {&circle, circleBytes, 2, "dispc/glist"},
      {&group, groupBytes, 0, "dispc/glist"},
      {&group, groupBytes, 1, "dispc/glist"},
      {&group, groupBytes, itemsVector, ""},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.source) + " at " + std::to_string(row.at));
    std::vector<unsigned char> bad = row.bytes;
    bad[row.at] = 2;
    const std::vector<unsigned char> before = recordOf(*row.g);
    try {
      ccArchive in(bad);
      row.g->dispatchSerialize(in);
      ADD_FAILURE() << "loaded";
    } catch (const ccArchive::UnknownVersion& e) {
      EXPECT_EQ(e.source(), row.source);
      EXPECT_EQ(e.line() == 0, std::string(row.source) != "dispc/glist");
    }
    EXPECT_EQ(recordOf(*row.g), before);
  }
}

TEST(GraphicGroups, ItemsKeepTheNullAndPropsInvariant) {
  const ccPtrHandle<ccGraphic> emptyText(new ccGraphicText);
  emptyText->color(ccColor::blueColor());
  const ccPtrHandle<ccGraphic> icon(new ccGraphicPointIcon(ccPoint(3, 4), ccColor::redColor()));
  const ccPtrHandle<ccGraphic> none;

  ccGraphicGroup g;
  EXPECT_TRUE(g.isNull());
  g.items({none, emptyText, icon}, false);
  EXPECT_FALSE(g.isNull());
  EXPECT_EQ(g.props(), icon->props());
  EXPECT_EQ(g.item(2).get(), icon.get());  // shared, not copied
  EXPECT_EQ(g.distToPoint(V(6, 8)), 5);
  EXPECT_EQ(g.encloseRect(), ccRect(V(3, 4), V(1, 1)));

  g.items({none, emptyText, ccPtrHandle<ccGraphic>(new ccGraphicText)}, true);
  EXPECT_TRUE(g.isNull());
  EXPECT_NE(g.item(1).get(), emptyText.get());  // a clone

  try {
    g.item(g.numItems());
    ADD_FAILURE() << "no error";
  } catch (const ccGraphic::BadParams& e) {
    EXPECT_EQ(e.errorNumber(), 0x10009600u);
    EXPECT_EQ(e.message(), "Item index out of range");
  }

  // The group's colour recolours every item; the group takes part in its items' graphics.
  ccPtrHandle<ccGraphicGroup> outer(new ccGraphicGroup);
  ccPtrHandle<ccGraphicGroup> inner(new ccGraphicGroup);
  inner->items({icon}, false);
  outer->items({inner, emptyText}, false);
  outer->color(ccColor::yellowColor());
  EXPECT_EQ(icon->color(), ccColor::yellowColor());
  EXPECT_EQ(emptyText->color(), ccColor::yellowColor());

  // A group cannot hold itself, directly or through another group.
  EXPECT_THROW(inner->items({icon, outer}, false), ccGraphic::BadParams);
  EXPECT_EQ(inner->numItems(), 1);
  EXPECT_THROW(outer->items({outer}, false), ccGraphic::BadParams);

  // Mapping maps each item; the copy shares nothing.
  const ccXform<2> shift(ccMatrix<2>(1, 0, 0, 1), V(10, 0));
  const ccPtrHandle<ccGraphic> m = outer->map(shift);
  EXPECT_EQ(m->encloseRect(), ccRect(V(13, 4), V(1, 1)));
  EXPECT_EQ(outer->encloseRect(), ccRect(V(3, 4), V(1, 1)));
}

TEST(SpecialGraphics, TextIsPlacedAtTheTruncatedPixelOffset) {
  ccGraphicText text("pad 3", ccPoint(10.25, 20.5), ccColor::greenColor(), ccColor::blueColor(),
                     ccUIFormat(ccUIFormat::eCenter), V(2.7, -1.5));
  TracedTablet t;
  t.tablet.baseMap(ccXform<2>(ccMatrix<2>(2, 0, 0, 2), V(5, 5)));
  t.tablet.draw(text, ccUITablet::eOverlayLayer);
  ASSERT_EQ(t.log->count("drawText"), 1);
  const ccTraceCall& call = t.log->last();
  EXPECT_EQ(call.point("at"), V(25.5 + 2, 46 - 1));
  EXPECT_EQ(call.text("text"), "pad 3");
  EXPECT_EQ(call.color("color2"), ccColor::blueColor());
  const ccPtrHandle<ccGraphic> m = text.map(ccXform<2>(ccMatrix<2>(1, 0, 0, 1), V(1, 1)));
  const auto& mt = dynamic_cast<const ccGraphicText&>(*m);
  EXPECT_EQ(mt.location(), ccPoint(11.25, 21.5));
  EXPECT_EQ(mt.offset(), V(2.7, -1.5));
}

// A graphic drawn by other means than the tablet's.
// A graphic class of the user's own, drawn by other means than a tablet.
class ForeignGraphic : public ccGraphic {
 public:
  ForeignGraphic()
      : ccGraphic(ccGraphicProps(ccColor::redColor(), 3, ccGraphicProps::eDash, true)) {
    builtin(false);
  }
  ccPtrHandle<ccGraphic> map(const ccXform<2>&) const override { return clone(); }
  ccPtrHandle<ccGraphic> clone() const override {
    return ccPtrHandle<ccGraphic>(new ForeignGraphic(*this));
  }
  ccRect encloseRect() const override { return ccRect(); }
  double distToPoint(const ccVector<2>&) const override { return 0; }
  void drawOnContext() const { ccGraphic::draw(static_cast<void*>(nullptr)); }

 private:
  void draw(ccUITablet&, ccUITablet::Layers) const override { ADD_FAILURE() << "drawn"; }
};

// The tablet refuses it and the untyped draw reports an assertion; the base archives its props.
TEST(SpecialGraphics, AForeignGraphicDrawsNowhereButArchivesItsProps) {
  TracedTablet t;
  ForeignGraphic g;
  try {
    t.tablet.draw(g, ccUITablet::eOverlayLayer);
    ADD_FAILURE() << "drew";
  } catch (const ccUIError::NotImplemented& e) {
    EXPECT_EQ(e.errorNumber(), 0x10002B12u);
  }
  EXPECT_TRUE(t.log->empty());
  EXPECT_EQ(t.tablet.sketch().length(), 0);
  {
    AssertCounter asserts;
    g.drawOnContext();
    EXPECT_EQ(asserts.reports(), 1);
  }
  ccArchive out;
  g.dispatchSerialize(out);
  ForeignGraphic back;
  back.props(ccGraphicProps());
  ccArchive in(out.data());
  back.dispatchSerialize(in);
  EXPECT_TRUE(back.props() == g.props());
  EXPECT_TRUE(in.atEnd());
}

}  // namespace
