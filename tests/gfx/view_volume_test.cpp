#include "gfx/view_volume.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "gfx/fog_floor.h"

namespace veskor {
namespace {

// The default camera at (0, -4, 0) looking along +y, 80 degrees, far plane at y = 996.
Camera DefaultView(float aspect = 1) {
  static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  Camera camera;
  camera.direction[1] = 1;  // exactly: the SSE normalisation is approximate
  camera.aspect = aspect;
  CameraFrustumFromMatrices(camera, identity, identity);
  return camera;
}

// Which of the five planes have the point on their inner side, through a rectangle shrunk to
// the point.
std::uint32_t InsideMask(const Camera& camera, float x, float y, float z) {
  std::uint32_t mask = 0;
  for (std::uint32_t plane = kFrustumLeft; plane <= kFrustumFar; ++plane) {
    mask |= PlaneRectTest(camera, kFaceY, static_cast<FrustumPlane>(plane), y, x, z, x, z) << plane;
  }
  return mask;
}

TEST(ViewVolume, PlanesBoundTheFieldOfView) {
  const float half = 10 * std::tan(40 * std::numbers::pi_v<float> / 180);  // 10 ahead: 8.39
  const struct {
    float aspect, x, y, z;
    std::uint32_t inside;  // bits: left, right, bottom, top, far
  } cases[] = {
      {1, 0, 6, 0, 0x1F},
      {1, -(half - 0.05f), 6, 0, 0x1F},
      {1, -(half + 0.05f), 6, 0, 0x1E},  // just outside the left plane
      {1, half + 0.05f, 6, 0, 0x1D},
      {1, 0, 6, -(half + 0.05f), 0x1B},
      {1, 0, 6, half + 0.05f, 0x17},
      {2, 2 * half - 0.05f, 6, 0, 0x1F},  // twice as wide
      {2, 2 * half + 0.05f, 6, 0, 0x1D},
      {1, 0, 996, 0, 0x1F},  // on the far plane: inside
      {1, 0, 996.01f, 0, 0x0F},
      {1, 0, -14, 0, 0x10},  // straight behind the eye: outside every side plane
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InsideMask(DefaultView(c.aspect), c.x, c.y, c.z), c.inside)
        << c.aspect << " " << c.x << " " << c.y << " " << c.z;
  }
  Camera unknown = DefaultView();
  EXPECT_EQ(InsideMask(unknown, NAN, 6, 0), 0u);  // a NaN is outside
}

TEST(ViewVolume, BoxesAreDecidedFaceByFace) {
  const Camera camera = DefaultView();
  const struct {
    float box[6];
    std::uint32_t visible;
    const char* what;
  } cases[] = {
      {{-1, 10, -1, 1, 12, 1}, 1, "in front"},
      {{-1, -12, -1, 1, -10, 1}, 0, "small box behind the eye"},
      {{-1000, -12, -1000, 1000, -10, 1000}, 1, "wide wall behind the eye"},
      {{-1, 1100, -1, 1, 1110, 1}, 0, "beyond the far plane"},
      {{-1, 996, -1, 1, 1000, 1}, 1, "front face on the far plane"},
      {{-1, 996.01f, -1, 1, 1000, 1}, 0, "front face just beyond it"},
      // Around the eye, from 3000 behind to 1500 ahead (past the far plane): each face lies
      // wholly outside one plane while the sides are further out than the view is wide
      // 1500 ahead (1259) and less than it is wide 3000 behind (2517).
      {{-1600, -3004, -1600, 1600, 1496, 1600}, 0, "around the eye, wide"},
      {{-1200, -3004, -1200, 1200, 1496, 1200}, 1, "around the eye, narrow"},
      {{-50, -50, -50, 50, 50, 50}, 1, "around the eye, within the far plane"},
      {{100, 10, -1, 120, 12, 1}, 0, "off to the right"},
  };
  for (const auto& c : cases) {
    const float* b = c.box;
    EXPECT_EQ(ViewVolumeTestBox(camera, b[0], b[1], b[2], b[3], b[4], b[5]), c.visible) << c.what;
    EXPECT_EQ(ViewVolumeTestBox2(camera, b[0], b[1], b[2], b[3], b[4], b[5]), c.visible) << c.what;
  }
  // Each face of a box that reaches into the view from one side is accepted alone.
  EXPECT_EQ(CellFrustumTest(camera, 0, 10, -1, 12, 1), 1u);
  EXPECT_EQ(CellFrustumTest(camera, 50, 10, -1, 12, 1), 0u);
  EXPECT_EQ(CellFrustumTest2(camera, 10, -1, -1, 1, 1), 1u);
  EXPECT_EQ(CellFrustumTest2(camera, -10, -1, -1, 1, 1), 0u);
  EXPECT_EQ(CellFrustumTest3(camera, 0, -1, 10, 1, 12), 1u);
  EXPECT_EQ(CellFrustumTest3(camera, 50, -1, 10, 1, 12), 0u);
}

TEST(ViewVolume, BoxesBelowTheFogFloorAreHidden) {
  const Camera camera = DefaultView();
  EXPECT_EQ(FogFloorHeight, -250.0f);
  FogFloorHeight = -1;
  EXPECT_EQ(ViewVolumeTestBox(camera, -1, 10, -3, 1, 12, -1), 0u);
  EXPECT_EQ(ViewVolumeTestBox(camera, -1, 10, -3, 1, 12, -0.99f), 1u);
  EXPECT_EQ(ViewVolumeTestBox(camera, -1, -12, -3, 1, -10, -0.99f), 0u);  // planes still decide
  FogFloorHeight = kFogFloorHeightDefault;
}

}  // namespace
}  // namespace veskor
