#include "environment/cloud_low.h"

#include <algorithm>

#include "environment/environment_params.h"
#include "environment/puff_cube_upload.h"
#include "environment/puff_field.h"
#include "environment/puff_ray_query.h"
#include "environment/shaft_segments.h"
#include "environment/sun_view_bake.h"
#include "mapengine/kernel_table.h"
#include "platform/random.h"

namespace veskor {

float CloudLowDetail = 1.0f;

namespace {

constexpr float kLayerExtentScale = 1.2f;
// A layer is never narrower than the widest spread of a cluster (2 x 1400) on either axis: a
// narrower one would fold a cluster's puffs onto each other, and a scene without width would
// give the drift's wrap a width of 0.
constexpr float kMinLayerHalfWidth = 1400.0f;

// int(v) within [1, top]; a value below 1 (or not a number) gives 1.
std::uint32_t GridCount(float v, std::uint32_t top) {
  if (!(v >= 1.0f)) return 1;
  if (v >= static_cast<float>(top)) return top;
  return static_cast<std::uint32_t>(v);
}

float Draw() { return static_cast<float>(RandomNext()) * (1.0f / 32767.0f); }

}  // namespace

void GenerateCloudLow(EnvironmentState& state, const float* area, float altitude,
                      const float* velocity, std::uint32_t cloudClass, std::uint32_t /*aspect*/,
                      float coverage, float opacity, float granularity,
                      const float* sunDirection) {
  EnvironmentResetCloudLow(state, altitude, velocity);
  CloudLowLayer& layer = state.cloudLow;
  layer.detail = CloudLowDetail;
  layer.detailSixteenth = layer.detail * 0.0625f;

  // The scene's ground plan widened about its middle, to one cluster's spread at least.
  const float halfX =
      std::max((area[2] - area[0]) * 0.5f * kLayerExtentScale, kMinLayerHalfWidth);
  const float halfY =
      std::max((area[3] - area[1]) * 0.5f * kLayerExtentScale, kMinLayerHalfWidth);
  const float midX = (area[0] + area[2]) * 0.5f, midY = (area[1] + area[3]) * 0.5f;
  const float x0 = midX - halfX, x1 = midX + halfX;
  const float y0 = midY - halfY, y1 = midY + halfY;

  const float h = (cloudClass & kCloudStratus) != 0 ? opacity * 20.0f : opacity * 800.0f;
  const float thickness = 0.75f * opacity + 0.25f;
  const float spreadZ = 2.0f * h * thickness;

  const std::uint32_t n = GridCount(coverage * 8.0f, 7);
  const std::uint32_t m = GridCount(coverage * 16.0f, 8);
  const float dx = (x1 - x0) / static_cast<float>(n);
  const float dy = (y1 - y0) / static_cast<float>(n);
  const float opacityFactor = 0.012f * opacity + 0.008f;
  const float rootHalfHeight = 350.0f * opacity + 25.0f;

  // Row by row; once no puff is left no further cluster is made (nor drawn for).
  const auto puffsLeft = [&layer] { return layer.puffCount < kMaxCloudPuffs; };
  for (std::uint32_t j = 0; j < n && puffsLeft(); ++j)
    for (std::uint32_t i = 0; i < n && puffsLeft(); ++i) {
      const std::uint32_t count = m + 4u * static_cast<std::uint32_t>(RandomNext()) / 32767u;
      const float r = 1000.0f + 400.0f * Draw();
      const float cx =
          x0 + (static_cast<float>(i) + 0.5f) * dx + (2.0f * Draw() - 1.0f) * dx * 0.2f;
      const float cy =
          y0 + (static_cast<float>(j) + 0.5f) * dy + (2.0f * Draw() - 1.0f) * dy * 0.2f;
      const float cz = altitude + (2.0f * Draw() - 1.0f) * spreadZ * 0.25f;
      const float centre[3] = {cx, cy, cz};
      const float size[3] = {r, r, spreadZ};
      const float radii[2] = {0.75f * r, rootHalfHeight};
      BuildPuffField(layer, count, centre, size, radii, opacityFactor, granularity);
    }

  layer.extent[0] = x0;
  layer.extent[1] = x1;
  layer.extent[2] = y0;
  layer.extent[3] = y1;
  if (layer.clusterCount > 0) {
    layer.bottom = layer.clusters[0].bounds[4];
    layer.top = layer.clusters[0].bounds[5];
    for (std::uint32_t k = 1; k < layer.clusterCount; ++k) {
      layer.bottom = gKernelTable.KernelMin(layer.bottom, layer.clusters[k].bounds[4]);
      layer.top = gKernelTable.KernelMax(layer.top, layer.clusters[k].bounds[5]);
    }
  }
  // Every puff starts inside the layer, where the drift keeps it and the sun view sees it.
  SetCloudLowParams(layer, 0.0f, 0.0f, 0.0f);
  UpdatePuffBounds(layer);
  for (std::uint32_t i = 0; i < layer.puffCount; ++i)
    for (int a = 0; a < 3; ++a) layer.puffs[i].base[a] = layer.puffs[i].centre[a];
  BakePuffViews(layer, sunDirection, CloudLowParams.colorLight, CloudLowParams.colorDark);
  for (std::uint32_t i = 0; i < layer.puffCount; ++i)
    BuildShaftSegments(layer.puffs[i], sunDirection);
  SetupPuffPasses(layer);
}

}  // namespace veskor
