// The sky and high-cloud stages as the render preparation runs them, through the upload: the
// sky cube and the cloud cube land on their GL faces, the coverage texture tiles with its
// mip chain, and the GL copies stay after the CPU copies are released.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "environment/cloud_high.h"
#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/puff_field.h"
#include "environment/sky_model.h"
#include "environment_gl_base.h"
#include "foundation/heap_areas.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"
#include "support/kept_global.h"

namespace veskor {
namespace {

class EnvironmentGlTest : public test::EnvironmentGlBase {
 protected:
  void SetUp() override {
    EnvironmentGlBase::SetUp();
    EnvironmentBindings bindings{};
    EnvironmentDefaults(bindings);
    NormalizeSunDirection();
    UpdateSkyTurbidity();
  }
};

// GL's face order is +X, -X, +Y, -Y, +Z, -Z; ours -X, +X, -Y, +Y, -Z, +Z.
GLenum GlFace(std::uint32_t face) {
  return GL_TEXTURE_CUBE_MAP_POSITIVE_X + (face % 2 == 0 ? face + 1 : face - 1);
}

GLint Parameter(GLenum target, GLenum name) {
  GLint v = -1;
  glGetTexParameteriv(target, name, &v);
  return v;
}

std::vector<float> ReadLevel(GLenum target, GLint level, GLenum format, std::size_t values) {
  std::vector<float> out(values);
  glGetTexImage(target, level, format, GL_FLOAT, out.data());
  return out;
}

std::vector<float> CubeFace(const TextureCube& cube, std::uint32_t face) {
  const auto* t = static_cast<const float*>(cube.faces[face].data);
  return std::vector<float>(t, t + (cube.faces[face].channels << (2 * cube.faces[face].log2Width)));
}

// Every value of the GL image is the CPU value clamped to [0, 1], to 8 bits.
void ExpectUploaded(const std::vector<float>& gl, const std::vector<float>& cpu, const char* what) {
  ASSERT_EQ(gl.size(), cpu.size());
  for (std::size_t i = 0; i < cpu.size(); ++i)
    ASSERT_NEAR(gl[i], std::clamp(cpu[i], 0.0f, 1.0f), 0.6f / 255) << what << " value " << i;
}

TEST_F(EnvironmentGlTest, SkyCubeUploadsEachFaceToItsGlFace) {
  const test::Kept<float> sunScale{SunLightScale}, ambientScale{SkyAmbientScale};
  const test::Kept<float[3]> sun{SunLightColour}, ambient{SkyAmbientColour};
  TextureCubeResize(gSkyModel.cube, 3, 7);
  BuildSkyMap(
      gSkyModel, SunDirection, SkyModelTurbidity, RotationCacheGet(SkyParams.domeColorCorrection),
      RotationCacheGet(SkyParams.illuColorCorrection), RotationCacheGet(SunIlluColorCorrection));
  std::vector<float> faces[6];
  for (std::uint32_t f = 0; f < 6; ++f) faces[f] = CubeFace(gSkyModel.cube, f);
  glEnable(GL_TEXTURE_CUBE_MAP);
  TextureCubeBind(gSkyModel.cube, kModePlain, 0);
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  for (std::uint32_t f = 0; f < 6; ++f)
    ExpectUploaded(ReadLevel(GlFace(f), 0, GL_RGB, faces[f].size()), faces[f], "sky face");
  glDisable(GL_TEXTURE_CUBE_MAP);
}

TEST_F(EnvironmentGlTest, HighCloudTexturesUploadWithTheirFilterAndWrap) {
  EnvironmentState& state = gEnvironmentState;
  const CloudHighParameters& c = CloudHighParams;
  GenerateCloudHigh(state, 10, 7, c.altitude, c.velocity, c.cloudClass, c.aspect, c.coverage,
                    SunDirection);
  const auto* t = static_cast<const float*>(state.highCloudTexture.pixels.data);
  const std::vector<float> texels(t, t + 4 * 1024 * 1024);
  std::vector<float> faces[6];
  for (std::uint32_t f = 0; f < 6; ++f) faces[f] = CubeFace(state.cloudCube, f);
  Texture2DSetFilter(state.highCloudTexture, kFilterTrilinear);
  Texture2DSetWrap(state.highCloudTexture, kWrapRepeatS | kWrapRepeatT);
  TextureCubeSetFilter(state.cloudCube, kFilterTrilinear);
  TextureCubeSetWrap(state.cloudCube, 0);

  glEnable(GL_TEXTURE_2D);
  FloatTexture2DBind(state.highCloudTexture, kModePlain, 0);
  ExpectUploaded(ReadLevel(GL_TEXTURE_2D, 0, GL_RGBA, texels.size()), texels, "coverage");
  EXPECT_EQ(Parameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(Parameter(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(Parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(Parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_REPEAT);
  GLint smallest = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 10, GL_TEXTURE_WIDTH, &smallest);
  EXPECT_EQ(smallest, 1);  // the whole mip chain

  glEnable(GL_TEXTURE_CUBE_MAP);
  TextureCubeBind(state.cloudCube, kModePlain, 0);
  for (std::uint32_t f = 0; f < 6; ++f)
    ExpectUploaded(ReadLevel(GlFace(f), 0, GL_RGBA, faces[f].size()), faces[f], "cloud face");
  EXPECT_EQ(Parameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(Parameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S),
            static_cast<GLint>(TextureClampMode));
  // Below the horizon and on face 4, no cloud: the mip levels average only defined texels.
  const std::vector<float> bottom = ReadLevel(GlFace(4), 3, GL_RGBA, 4 * 16 * 16);
  for (std::size_t i = 0; i < bottom.size(); ++i) ASSERT_EQ(bottom[i], i % 4 == 3 ? 1.0f : 0.0f);

  // The CPU copies go; the GL copies stay.
  TexturePixelsRelease(state.highCloudTexture.pixels);
  TextureCubeFreeFaces(state.cloudCube);
  FloatTexture2DBind(state.highCloudTexture, kModePlain, 0);
  ExpectUploaded(ReadLevel(GL_TEXTURE_2D, 0, GL_RGBA, texels.size()), texels, "kept");
  TextureCubeBind(state.cloudCube, kModePlain, 0);
  ExpectUploaded(ReadLevel(GlFace(5), 0, GL_RGBA, faces[5].size()), faces[5], "kept face");
  glDisable(GL_TEXTURE_CUBE_MAP);
  glDisable(GL_TEXTURE_2D);
  ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

std::uint32_t ParkedBlocks() {
  std::uint32_t n = 0;
  for (const SizeClassList& list : TheHeapAreas().sizeClassLists)
    for (const FreeBlockNode* node = list.head; node != nullptr; node = node->next) ++n;
  return n;
}

TEST_F(EnvironmentGlTest, PuffRampUploadsOnceAndDropsItsPixels) {
  EnvironmentResetCloudLow(gEnvironmentState, 0.0f, gEnvironmentState.lowWind);
  // A parked block of the ramp's size, which the ramp takes and gives back.
  FloatTexture2DRealloc(PuffRampTexture, 4, 8, 6);
  TextureFree(PuffRampTexture);
  const std::uint32_t parked = ParkedBlocks();
  BuildPuffRamp();
  EXPECT_EQ(PuffRampTexture.pixels.data, nullptr);
  EXPECT_EQ(ParkedBlocks(), parked);
  EXPECT_EQ(PuffRampBuilt, 1u);
  glBindTexture(GL_TEXTURE_2D, TextureNameTable[PuffRampTexture.state.slot]);
  const std::vector<float> gl = ReadLevel(GL_TEXTURE_2D, 0, GL_RGBA, 4 * 256 * 64);
  // White; alpha 0 up to s = e, the cosine rise to s = 0.5, then 1.
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 256; ++x) {
      const double s = (x + 0.5) / 256, e = 0.5 - 0.5 * y / 64;
      const double a = s <= e ? 0 : s >= 0.5 ? 1 : 1 - std::cos((s - e) / (0.5 - e) * M_PI / 2);
      const float* t = &gl[(y * 256 + x) * 4];
      ASSERT_NEAR(t[3], a, 0.6 / 255) << x << " " << y;
      ASSERT_EQ(t[0] + t[1] + t[2], 3.0f);
    }
  EXPECT_EQ(Parameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(Parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), static_cast<GLint>(TextureClampMode));
  glBindTexture(GL_TEXTURE_2D, 0);
  EnvironmentResetCloudLow(gEnvironmentState, 0.0f, gEnvironmentState.lowWind);
}

}  // namespace
}  // namespace veskor
