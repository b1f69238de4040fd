// Low-cloud layers made by hand for the bake, ray-query and drift tests: clusters of puffs
// whose shape cubes hold one scale everywhere, so that a puff is an ellipsoid of known size.
#pragma once

#include <algorithm>
#include <cstdint>

#include "environment/environment_state.h"
#include "environment/puff_field.h"

namespace veskor::test {

// Appends a cluster of one puff centred at `centre` with the radius, half height and a shape
// cube of `scale` everywhere (faces of 2^level); returns the puff.
inline CloudPuff& AddConstantPuff(CloudLowLayer& layer, const float* centre, float radius,
                                  float halfHeight, float scale, std::uint32_t level = 4,
                                  float opacityFactor = 1.0f) {
  CloudCluster& cluster = layer.clusters[layer.clusterCount++];
  CloudPuff& puff = layer.puffs[layer.puffCount++];
  puff.cubes = &layer.puffCubes[layer.puffCubeCount++];
  cluster.puffs[0] = &puff;
  cluster.puffCount = 1;
  cluster.opacityFactor = puff.opacityFactor = opacityFactor;
  for (int a = 0; a < 3; ++a) puff.base[a] = puff.centre[a] = centre[a];
  puff.radius = radius;
  puff.halfHeight = halfHeight;
  puff.invRadius = 1.0f / radius;
  puff.invHalfHeight = 1.0f / halfHeight;
  InitPuffCubes(*puff.cubes, radius, halfHeight, level);
  for (TexturePixels& face : puff.cubes->shapeCube.faces) {
    auto* t = static_cast<float*>(face.data);
    for (std::uint32_t i = 0; i < (1u << (2 * level)); ++i) t[2 * i] = scale, t[2 * i + 1] = 1.0f;
  }
  ClusterBounds(cluster);
  return puff;
}

// The layer's extent (x0, x1, y0, y1) and its bottom and top from the clusters.
inline void SetLayerBox(CloudLowLayer& layer, float x0, float x1, float y0, float y1) {
  layer.extent[0] = x0, layer.extent[1] = x1, layer.extent[2] = y0, layer.extent[3] = y1;
  layer.bottom = layer.clusters[0].bounds[4];
  layer.top = layer.clusters[0].bounds[5];
  for (std::uint32_t c = 1; c < layer.clusterCount; ++c) {
    layer.bottom = std::min(layer.bottom, layer.clusters[c].bounds[4]);
    layer.top = std::max(layer.top, layer.clusters[c].bounds[5]);
  }
}

}  // namespace veskor::test
