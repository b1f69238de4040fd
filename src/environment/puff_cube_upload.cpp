#include "environment/puff_cube_upload.h"

#include "environment/puff_field.h"
#include "gfx/texture_cube_blur.h"
#include "gfx/texture_format.h"
#include "platform/gl.h"
#include "platform/gl_context.h"

namespace veskor {

namespace {

// The light cube is smoothed this many times; it is uploaded without mip levels.
constexpr int kLightSmoothPasses = 4;

void Prepare(TextureCube& cube, bool upload) {
  TextureCubeSetFilter(cube, kFilterBilinear);
  TextureCubeSetWrap(cube, 0);
  if (upload) TextureCubeBind(cube, kModeKeepEnvironment, 0);
}

}  // namespace

void SetupPuffPasses(CloudLowLayer& layer) {
  const bool gl = GlCurrentContext() != nullptr;
  for (std::uint32_t c = 0; c < layer.clusterCount; ++c) {
    const CloudCluster& cluster = layer.clusters[c];
    for (std::uint32_t m = 0; m < cluster.puffCount; ++m) {
      PuffCubePair& pair = *cluster.puffs[m]->cubes;
      Prepare(pair.shapeCube, gl);
      CubeEdgeAverage(pair.lightCube);
      for (int pass = 0; pass < kLightSmoothPasses; ++pass) TextureCubeSmoothPass(pair.lightCube);
      Prepare(pair.lightCube, gl);
      if (gl) TextureCubeFreeFaces(pair.lightCube);
    }
  }
  if (gl) glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, 0);
}

}  // namespace veskor
