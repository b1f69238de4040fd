#include "environment/puff_field.h"

#include <algorithm>
#include <cmath>

#include "environment/noise_at.h"
#include "environment/sky_model.h"
#include "foundation/mem_block.h"
#include "gfx/face_directions.h"
#include "gfx/lod_boxes.h"
#include "gfx/texture_cube_blur.h"
#include "gfx/texture_format.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/random.h"

namespace veskor {

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kChildSizeSpread = 0.15f;
constexpr float kRootSunViewScale = 0.1f;

// The next value of the program's generator as a fraction 0..1.
float Draw() { return static_cast<float>(RandomNext()) * (1.0f / 32767.0f); }

// Radius, half height, their reciprocals, the centres and the bounds of a new puff.
void PlacePuff(CloudPuff& puff, const float* position, float radius, float halfHeight) {
  for (int a = 0; a < 3; ++a) puff.base[a] = puff.centre[a] = position[a];
  puff.radius = radius;
  puff.halfHeight = halfHeight;
  puff.invRadius = 1.0f / radius;
  puff.invHalfHeight = 1.0f / halfHeight;
  const float extent[3] = {radius, radius, halfHeight};
  for (int a = 0; a < 3; ++a) {
    puff.bounds[2 * a] = position[a] - extent[a];
    puff.bounds[2 * a + 1] = position[a] + extent[a];
  }
}

// The point at fraction rho of the ellipsoid (rx, ry, rz) around `centre`, in the direction of
// azimuth theta and elevation phi.
void EllipsoidPoint(const float* centre, float rho, float phi, float theta, float rx, float ry,
                    float rz, float* out) {
  const float c = std::cos(phi);
  out[0] = centre[0] + rho * (std::cos(theta) * c * rx);
  out[1] = centre[1] + rho * (std::sin(theta) * c * ry);
  out[2] = centre[2] + rho * (std::sin(phi) * rz);
}

}  // namespace

std::uint32_t PuffCubeLevel(float radius, float detailSixteenth) {
  const std::uint32_t level = LodLevelFromSize(2.0f * radius * detailSixteenth);
  return std::clamp(level, kPuffCubeMinLevel, kPuffCubeMaxLevel);
}

void BuildPuffField(CloudLowLayer& layer, std::uint32_t count, const float* centre,
                    const float* size, const float* radii, float opacityFactor, float granularity) {
  count = std::min({count, kMaxCloudPuffs - layer.puffCount, kMaxClusterPuffs});
  if (count == 0 || layer.clusterCount >= kMaxCloudClusters) return;
  CloudCluster& cluster = layer.clusters[layer.clusterCount];
  cluster.detailSixteenth = layer.detailSixteenth;
  cluster.puffCount = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    CloudPuff& puff = layer.puffs[layer.puffCount++];
    puff.cubes = &layer.puffCubes[layer.puffCubeCount++];
    cluster.puffs[cluster.puffCount++] = &puff;
  }
  cluster.opacityFactor = opacityFactor;
  const float a = 0.9f * std::atan(size[2] / ((size[0] + size[1]) / 2.0f));

  const float rho = 0.3f * Draw();
  const float phi = -a + 2.0f * a * Draw();
  const float theta = kTwoPi * Draw();
  float position[3];
  EllipsoidPoint(centre, rho, phi, theta, size[0], size[1], size[2], position);
  const float radius = 0.7f * radii[0] + Draw() * 0.1f * radii[0];
  const float halfHeight = 0.7f * radii[1] + Draw() * 0.1f * radii[1];

  CloudPuff& root = *cluster.puffs[0];
  root.opacityFactor = opacityFactor;
  root.sunViewScale = kRootSunViewScale;
  PlacePuff(root, position, radius, halfHeight);
  InitPuffCubes(*root.cubes, radius, halfHeight, PuffCubeLevel(radius, cluster.detailSixteenth));
  FillShapeCube(*root.cubes, position, granularity);

  if (count > 1) AddChildPuff(cluster, 1, 0, -a, a, granularity, 0.85f);
  for (std::uint32_t i = 2; i < count; ++i) {
    const std::uint32_t parent = static_cast<std::uint32_t>(RandomNext()) * (i - 1) / 32767u;
    AddChildPuff(cluster, i, parent, -a, a, granularity, 0.85f);
  }
  ClusterBounds(cluster);
  ++layer.clusterCount;
}

void AddChildPuff(CloudCluster& cluster, std::uint32_t index, std::uint32_t parent, float low,
                  float high, float granularity, float sizeFactor) {
  const CloudPuff& p = *cluster.puffs[parent];
  CloudPuff& k = *cluster.puffs[index];
  const float rho = 0.8f + 0.19999999f * Draw();
  const float phi = low + (high - low) * Draw();
  const float theta = kTwoPi * Draw();
  float position[3];
  EllipsoidPoint(p.centre, rho, phi, theta, p.radius, p.radius, p.halfHeight, position);
  const float radius = sizeFactor * p.radius + Draw() * kChildSizeSpread * p.radius;
  const float h = sizeFactor * p.halfHeight + Draw() * kChildSizeSpread * p.halfHeight;
  const float halfHeight = gKernelTable.KernelMin(radius, h);

  k.opacityFactor = p.opacityFactor;
  k.sunViewScale = p.sunViewScale;
  PlacePuff(k, position, radius, halfHeight);
  InitPuffCubes(*k.cubes, radius, halfHeight, PuffCubeLevel(radius, cluster.detailSixteenth));
  FillShapeCube(*k.cubes, position, granularity);
}

void InitPuffCubes(PuffCubePair& pair, float radius, float halfHeight, std::uint32_t level) {
  pair.radius = radius;
  pair.halfHeight = halfHeight;
  pair.invRadius = 1.0f / radius;
  pair.invHalfHeight = 1.0f / halfHeight;
  TextureCubeResize(pair.shapeCube, 2, level);
  TextureCubeResize(pair.lightCube, 3, level);
  if (PuffRampBuilt == 0) BuildPuffRamp();
}

void FillShapeCube(PuffCubePair& pair, const float* position, float granularity) {
  const float k = (granularity + 1.0f) * 0.00256f;
  const std::uint32_t level = pair.shapeCube.faces[0].log2Width;
  const std::uint32_t texels = 1u << (2 * level);
  const auto* directions = static_cast<const float*>(FaceDirectionTexels[level].data);
  for (std::uint32_t face = 0; face < 6; ++face) {
    auto* out = static_cast<float*>(pair.shapeCube.faces[face].data);
    for (std::uint32_t t = 0; t < texels; ++t, out += 2) {
      float w[3];
      CubeFaceDirection(face, directions + 3 * t, w);
      const float p[3] = {position[0] + w[0] * pair.radius, position[1] + w[1] * pair.radius,
                          position[2] + w[2] * pair.halfHeight};
      const float p1[3] = {k * p[0], k * p[1], k * p[2]};
      const float p2[3] = {2.0f * p1[0], 2.0f * p1[1], 2.0f * p1[2]};
      out[0] = 0.6f + 0.22f * (NoiseAt(p1) + NoiseAt(p2));
      out[1] = 1.0f;
    }
  }
  CubeEdgeAverage(pair.shapeCube);
}

void CubeEdgeAverage(TextureCube& cube) {
  const std::uint32_t level = cube.faces[0].log2Width;
  const std::uint32_t channels = cube.faces[0].channels;
  for (const TexturePixels& face : cube.faces)
    if (face.data == nullptr) return;
  for (std::uint32_t step = 0; step < (1u << level); ++step)
    for (const CubeEdge& e : CubeEdgeTable) {
      float* a = static_cast<float*>(cube.faces[e.faceA].data) +
                 std::size_t{CubeWalkTexel(e.walkA, level, step)} * channels;
      float* b = static_cast<float*>(cube.faces[e.faceB].data) +
                 std::size_t{CubeWalkTexel(e.walkB, level, step)} * channels;
      for (std::uint32_t c = 0; c < channels; ++c) a[c] = b[c] = (a[c] + b[c]) / 2.0f;
    }
}

void ClusterBounds(CloudCluster& cluster) {
  const KernelTable& k = gKernelTable;
  for (std::uint32_t i = 0; i < cluster.puffCount; ++i) {
    CloudPuff& puff = *cluster.puffs[i];
    const float extent[3] = {puff.radius, puff.radius, puff.halfHeight};
    for (int a = 0; a < 3; ++a) {
      puff.bounds[2 * a] = puff.centre[a] - extent[a];
      puff.bounds[2 * a + 1] = puff.centre[a] + extent[a];
      if (i == 0) {
        cluster.bounds[2 * a] = puff.bounds[2 * a];
        cluster.bounds[2 * a + 1] = puff.bounds[2 * a + 1];
      } else {
        cluster.bounds[2 * a] = k.KernelMin(cluster.bounds[2 * a], puff.bounds[2 * a]);
        cluster.bounds[2 * a + 1] = k.KernelMax(cluster.bounds[2 * a + 1], puff.bounds[2 * a + 1]);
      }
    }
  }
  for (int a = 0; a < 3; ++a)
    cluster.centre[a] = 0.5f * (cluster.bounds[2 * a] + cluster.bounds[2 * a + 1]);
}

void BuildPuffRamp() {
  FloatTexture2D& ramp = PuffRampTexture;
  FloatTexture2DRealloc(ramp, 4, 8, 6);
  auto* texel = static_cast<float*>(ramp.pixels.data);
  for (std::uint32_t y = 0; y < 64; ++y) {
    const float e = 0.5f - 0.5f * (static_cast<float>(y) / 64.0f);
    for (std::uint32_t x = 0; x < 256; ++x, texel += 4) {
      const float s = (static_cast<float>(x) + 0.5f) / 256.0f;
      texel[0] = texel[1] = texel[2] = 1.0f;
      if (s <= e)
        texel[3] = 0.0f;
      else if (s < 0.5f)
        texel[3] = 1.0f - std::cos(((s - e) / (0.5f - e)) * kHalfPi);
      else
        texel[3] = 1.0f;
    }
  }
  Texture2DSetFilter(ramp, kFilterBilinear);
  Texture2DSetWrap(ramp, 0);
  if (GlCurrentContext() != nullptr) {
    FloatTexture2DBind(ramp, kModeKeepEnvironment, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    MemBlockRelease(ramp.pixels.block);
    ramp.pixels.block = MemBlock{};
    ramp.pixels.data = nullptr;
  }
  PuffRampBuilt = 1;
}

}  // namespace veskor
