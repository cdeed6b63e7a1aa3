// A synthetic SMD board drawn into an 8-bit pel buffer and shown 1:1 through the Cairo scope:
// rounded pads, arc-ended lands, a fiducial circle, a turned chip body with rounded corners,
// and a pad drawn through a lens distortion (the sampled path). The golden image is the
// gallery's picture of synthetic drawing.
#include "golden.h"

#include <dispc/smd/poly.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using V2 = ccVector<2>;

ccSMDGDPolyVertex vtx(const V2& p, double radius = 0, double span = 0) {
  return ccSMDGDPolyVertex(p, radius, ccDegree(span), 0.5, 0.5, -1,
                           ccDimTol(-1, -1, -1, ccDimTol::eLimits));
}

ccSMDGDPoly closed(const std::vector<ccSMDGDPolyVertex>& v, unsigned char grey) {
  ccSMDGDPoly poly;
  poly.vertices(v);
  poly.close();
  poly.colors(
      ccSMDColors(ccColor::greenColor(), ccColor(grey, grey, grey), ccColor::dkGreyColor()));
  return poly;
}

ccXform<2> placed(const V2& at, double degrees = 0) {
  const ccRadian turn(ccDegree{degrees});
  return ccXform<2>(at, turn, turn, 1, 1);
}

}  // namespace

TEST(CairoSMDSynthetic, BoardOfRoundedPolygonsArcsAndACircle) {
  ccPelBuffer<unsigned char> board(240, 160);
  cfPelSet(board, ccSMDColors::colorToGrayScale(ccColor::dkGreyColor()));

  // A chip body with rounded corners, turned by 20 degrees.
  closed({vtx(V2(-45, -24), 8), vtx(V2(45, -24), 8), vtx(V2(45, 24), 8), vtx(V2(-45, 24), 8)}, 90)
      .drawSynthetic(placed(V2(120, 80), 20), board);
  // Pads with rounded corners above and below it.
  const ccSMDGDPoly pad =
      closed({vtx(V2(-7, -11), 3), vtx(V2(7, -11), 3), vtx(V2(7, 11), 3), vtx(V2(-7, 11), 3)}, 220);
  for (int i = 0; i < 4; ++i) {
    pad.drawSynthetic(placed(V2(52 + 45 * i, 18)), board);
    pad.drawSynthetic(placed(V2(52 + 45 * i, 142)), board);
  }
  // Arc-ended lands: two lines and two half circles.
  const ccSMDGDPoly land = closed(
      {vtx(V2(14, -7)), vtx(V2(14, 7), 0, 180), vtx(V2(-14, 7)), vtx(V2(-14, -7), 0, 180)}, 200);
  land.drawSynthetic(placed(V2(30, 80), 90), board);
  land.drawSynthetic(placed(V2(210, 80), 60), board);
  // A fiducial circle and an L-shaped land with rounded corners.
  ccSMDGDPoly fiducial = ccSMDGDPoly::circle(9, V2(18, 18));
  fiducial.colors(
      ccSMDColors(ccColor::greenColor(), ccColor(255, 255, 255), ccColor::dkGreyColor()));
  fiducial.drawSynthetic(ccXform<2>(), board);
  closed({vtx(V2(0, 0)), vtx(V2(26, 0), 4), vtx(V2(26, 9), 2), vtx(V2(9, 9), 3), vtx(V2(9, 24), 2),
          vtx(V2(0, 24))},
         170)
      .drawSynthetic(placed(V2(206, 108)), board);
  // A pad seen through a lens: the outline is sampled through the distortion.
  pad.drawSynthetic(ccPtrHandle_const<cc2XformBase>(
                        new cc2XformRadialDistortion(placed(V2(222, 30)), V2(-6, -6), 2e-3)),
                    board);

  ccCairoImageScope scope(240, 160);
  scope.antialias(false);
  scope.drawImage(board, ccPoint(0, 0), false, 0, false);
  EXPECT_TRUE(matchesGolden(scope, "smd_synthetic"));
}
