// The puff cubes made ready for drawing and uploaded, read back from the GL: the shape cube
// keeps its faces, the light cube lands joined and smoothed, without mip levels, and its faces
// go back to the memory manager; and the whole low-cloud stage run to its end in an off-screen
// buffer of the preparation's size.
#include "environment/puff_cube_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "environment/cloud_low.h"
#include "environment/environment_params.h"
#include "environment/puff_field.h"
#include "environment_gl_base.h"
#include "foundation/heap_areas.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_cube_blur.h"
#include "gfx/texture_memory.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "platform/offscreen.h"
#include "platform/random.h"
#include "puff_layer.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

constexpr float kNoWind[2] = {0, 0};

class PuffCubeUploadTest : public test::EnvironmentGlBase {
 protected:
  void TearDown() override {
    EnvironmentResetCloudLow(*state, 0.0f, kNoWind);
    GlTest::TearDown();
  }
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
};

std::uint32_t ParkedBlocks() {
  std::uint32_t n = 0;
  for (const SizeClassList& list : TheHeapAreas().sizeClassLists)
    for (const FreeBlockNode* node = list.head; node != nullptr; node = node->next) ++n;
  return n;
}

// GL's face order is +X, -X, +Y, -Y, +Z, -Z; ours -X, +X, -Y, +Y, -Z, +Z.
GLenum GlFace(std::uint32_t face) {
  return GL_TEXTURE_CUBE_MAP_POSITIVE_X + (face % 2 == 0 ? face + 1 : face - 1);
}

GLint LevelWidth(GLenum target, GLint level) {
  GLint width = -1;
  glGetTexLevelParameteriv(target, level, GL_TEXTURE_WIDTH, &width);
  return width;
}

TEST_F(PuffCubeUploadTest, ShapeCubeStaysAndLightCubeIsSmoothedUploadedAndFreed) {
  const float centre[3] = {0, 0, 1500};
  CloudPuff& puff = test::AddConstantPuff(state->cloudLow, centre, 600, 400, 0.7f, 4);
  PuffCubePair& pair = *puff.cubes;
  // A light cube with sharp steps, and what joining and four smoothing passes make of it.
  TextureCube expected;
  TextureCubeResize(expected, 3, 4);
  for (std::uint32_t f = 0; f < 6; ++f) {
    auto* light = static_cast<float*>(pair.lightCube.faces[f].data);
    for (std::uint32_t i = 0; i < 3 * 256; ++i)
      light[i] = (i / 3 + f + i % 3) % 5 == 0 ? 0.9f : 0.1f + 0.05f * static_cast<float>(f);
    std::copy(light, light + 3 * 256, static_cast<float*>(expected.faces[f].data));
  }
  CubeEdgeAverage(expected);
  for (int pass = 0; pass < 4; ++pass) TextureCubeSmoothPass(expected);
  // Six parked blocks of a light face's size serve the smoothing's work faces.
  TextureCube scratch;
  TextureCubeResize(scratch, 3, 4);
  TextureCubeRelease(scratch);
  const std::uint32_t parked = ParkedBlocks();
  const std::uint32_t texels = TextureMemory.texels;

  SetupPuffPasses(state->cloudLow);
  EXPECT_EQ(ParkedBlocks(), parked + 6);                  // the light cube's faces
  EXPECT_EQ(TextureMemory.texels, texels + 2 * 6 * 256);  // both cubes, no mip levels
  for (std::uint32_t f = 0; f < 6; ++f) {
    EXPECT_NE(pair.shapeCube.faces[f].data, nullptr);
    EXPECT_EQ(pair.lightCube.faces[f].data, nullptr);
  }
  for (const TextureCube* cube : {&pair.shapeCube, &pair.lightCube}) {
    EXPECT_EQ(cube->state.dirty, 0u);
    EXPECT_EQ(cube->state.stamp, ContextStamp);
    glBindTexture(GL_TEXTURE_CUBE_MAP, TextureNameTable[cube->state.slot]);
    GLint filter = 0, wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, &filter);
    glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(filter, GL_LINEAR);
    EXPECT_EQ(wrap, static_cast<GLint>(TextureClampMode));
    EXPECT_EQ(LevelWidth(GlFace(3), 0), 16);
    EXPECT_EQ(LevelWidth(GlFace(3), 1), 0);
  }
  for (std::uint32_t f = 0; f < 6; ++f) {
    std::vector<float> gl(3 * 256);
    glGetTexImage(GlFace(f), 0, GL_RGB, GL_FLOAT, gl.data());
    const auto* want = static_cast<const float*>(expected.faces[f].data);
    for (std::size_t i = 0; i < gl.size(); ++i)
      ASSERT_NEAR(gl[i], want[i], 0.6f / 255) << f << " " << i;
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PuffCubeUploadTest, TheLowCloudStageRunsToItsEnd) {
  OffscreenBuffer* buffer = OffscreenCreate(1024, 800);
  ASSERT_NE(buffer, nullptr);
  OffscreenMakeCurrent(buffer);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glClearDepth(1.0);
  const float area[4] = {-16384, -16384, 16384, 16384};
  CloudLowDetail = 0.0f;
  const float sun[3] = {0.3f, 0.2f, -0.93273791f};
  RandomSeed(1);
  GenerateCloudLow(*state, area, 1500, kNoWind, kCloudCumulus, kAspectIso, 0.3f, 0.5f, 0.3f, sun);
  CloudLowDetail = 1.0f;
  glDisable(GL_DEPTH_TEST);
  OffscreenRestoreWindow();
  OffscreenDestroy(buffer);

  const CloudLowLayer& layer = state->cloudLow;
  ASSERT_GT(layer.puffCount, 0u);
  for (std::uint32_t i = 0; i < layer.puffCount; ++i) {
    const CloudPuff& puff = layer.puffs[i];
    SCOPED_TRACE(testing::Message() << "puff " << i);
    EXPECT_NE(puff.cubes->shapeCube.faces[0].data, nullptr);
    EXPECT_EQ(puff.cubes->lightCube.faces[0].data, nullptr);
    EXPECT_EQ(puff.cubes->lightCube.state.stamp, ContextStamp);
    EXPECT_EQ(puff.cubes->lightCube.state.dirty, 0u);
    // Both CloudLow colours are brighter than 1: every puff's rim gives sources.
    EXPECT_GT(puff.shaftSegments.count, 0u);
    EXPECT_EQ(puff.shaftSegments.count % 10, 0u);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace veskor
