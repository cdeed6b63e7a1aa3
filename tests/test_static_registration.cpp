// Class registration must survive a static link: error classes that nothing in this file
// constructs are still made by name when an archive names them. The objects are built only
// from hand-written bytes; their types are looked at only after loading.
#include <core/archive.h>
#include <core/errors.h>
#include <core/exception.h>
#include <dispc/errors.h>
#include <dispc/smd/dimension.h>
#include <dispc/smd/polyvertex.h>
#include <dispc/wrfm/colors.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <typeinfo>
#include <vector>

#include "archivebytes.h"

namespace {

ccPtrHandle<ccException> loadError(const Bytes& bytes) {
  ccArchive in(bytes);
  ccPtrHandle<ccException> h;
  in || h;
  EXPECT_TRUE(in.atEnd());
  return h;
}

// Error classes of each family, loaded from hand-written records: tag 1, the class name, the
// version bytes of the class and its bases, the message.
TEST(StaticRegistration, ErrorsOfEveryFamilyAreMadeByName) {
  const struct {
    const char* name;
    Bytes versions;
    const char* message;
    std::uint32_t number;
  } rows[] = {
      {"ccUIError::InitFailed", {0, 0, 0}, "", 0x10002B18u},
      {"ccShapesError::NotRegion", {0, 0, 0}, "open contour", 0x10003108u},
      {"ccSMDDimension::badDimensionValue", {0, 0}, "Nominal must be >= minimum", 0x11000B00u},
      {"ccSMDGDPolyVertex::invalidSegmentLength",
       {0, 0},
       "Invalid poly segment length",
       0x11000350u},
  };
  for (const auto& row : rows) {
    Bytes bytes{0x01};
    putString(bytes, row.name);
    bytes.insert(bytes.end(), row.versions.begin(), row.versions.end());
    putString(bytes, row.message);
    const ccPtrHandle<ccException> h = loadError(bytes);
    ASSERT_TRUE(h) << row.name;
    EXPECT_EQ(cfClassName(typeid(*h)), row.name);
    EXPECT_EQ(h->errorNumber(), row.number);
    EXPECT_EQ(h->message(), row.message);
  }
}

TEST(StaticRegistration, SMDDescriptionsAreMadeByName) {
  Bytes bytes{0x01};
  putString(bytes, "ccSMDGDPolyVertex");
  bytes.insert(bytes.end(), {0x00,    // the vertex's version: no tolerance
                             0x00});  // the description's version
  putString(bytes, "");
  bytes.insert(bytes.end(), 6 * 8, 0x00);               // point, radius, span, percentages
  bytes.insert(bytes.end(), {0x05, 0x00, 0x00, 0x00});  // label
  ccArchive in(bytes);
  ccPtrHandle<ccSMDGeometricDescription> d;
  in || d;
  EXPECT_TRUE(in.atEnd());
  ASSERT_TRUE(d);
  EXPECT_EQ(typeid(*d), typeid(ccSMDGDPolyVertex));
  EXPECT_EQ(static_cast<const ccSMDGDPolyVertex&>(*d).subModelLabel(), 5);

  Bytes colors{0x01};
  putString(colors, "ccSMDColors");
  colors.push_back(0x00);  // version 0: no colours
  ccArchive colorsIn(colors);
  ccPtrHandle<ccSMDColors> c;
  colorsIn || c;
  ASSERT_TRUE(c);
  EXPECT_EQ(*c, ccSMDColors());
}

// The group and special graphics, and the SMD models, are made by name (the shape graphics are
// checked, over the library's own lists, with the other graphic tests).
TEST(StaticRegistration, GraphicAndModelClassesAreMadeByName) {
  const char* const kNames[] = {"ccGraphicGroup",
                                "ccGraphicText",
                                "ccGraphicPointIcon",
                                "ccGraphicCross",
                                "ccGraphicEllipseAnnulusSection",
                                "ccGraphicSimple<ccFLine>",
                                "ccGraphicWithFill<ccCircle, ccEllipse>",
                                "ccSMDGDModel",
                                "ccSMDGDModelPrivate",
                                "ccSMDGDModel::nestedPolys"};
  for (const char* name : kNames) {
    ccPersistent* made = cc_Instantiator::make(name);
    ASSERT_NE(made, nullptr) << name;
    EXPECT_EQ(cfClassName(typeid(*made)), name);
    delete made;
  }
}

}  // namespace
