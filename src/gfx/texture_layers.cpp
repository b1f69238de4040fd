#include "gfx/texture_layers.h"

#include <algorithm>
#include <cstdint>

#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

constexpr std::uint32_t kLayerChannels = 3;

const VertexGrid* GridOf(const FxFrame& frame, std::uint32_t i) {
  const VertexGrid* grid = frame.grids[i];
  return grid != nullptr && grid->data != nullptr ? grid : nullptr;
}

const Map* MapOf(const FxFrame& frame, std::uint32_t i) {
  const Map* map = frame.maps[i];
  return map != nullptr && map->data != nullptr ? map : nullptr;
}

}  // namespace

void BuildTextureFromLayers(FloatTexture2D& texture, const FxFrame& frame) {
  const std::uint32_t layers = std::min<std::uint32_t>(frame.count, kLayerChannels);
  std::uint32_t log2Width = 0;
  std::uint32_t log2Height = 0;
  for (std::uint32_t i = 0; i < layers; ++i) {
    if (const VertexGrid* grid = GridOf(frame, i)) {
      log2Width = grid->log2Width;
      log2Height = grid->log2Height;
      break;
    }
    if (const Map* map = MapOf(frame, i)) {
      log2Width = map->log2Width;
      log2Height = map->log2Height;
      break;
    }
  }
  FloatTexture2DRealloc(texture, kLayerChannels, log2Width, log2Height);

  auto* texels = static_cast<float*>(TextureData(texture));
  const std::uint32_t width = std::uint32_t{1} << log2Width;
  const std::uint32_t height = std::uint32_t{1} << log2Height;
  const std::size_t texelCount = std::size_t{width} * height;
  const auto w = static_cast<std::uint8_t>(log2Width);
  const auto h = static_cast<std::uint8_t>(log2Height);
  for (std::uint32_t i = 0; i < kLayerChannels; ++i) {
    const VertexGrid* grid = i < layers ? GridOf(frame, i) : nullptr;
    const Map* map = i < layers ? MapOf(frame, i) : nullptr;
    if (grid != nullptr && grid->log2Width == log2Width && grid->log2Height == log2Height) {
      // The vertex layout: (2^w + 1) values a row.
      const std::size_t row = std::size_t{width} + 1;
      for (std::uint32_t y = 0; y < height; ++y) {
        const float* g0 = grid->data + y * row;
        const float* g1 = g0 + row;
        float* out = texels + std::size_t{y} * width * kLayerChannels + i;
        for (std::uint32_t x = 0; x < width; ++x, out += kLayerChannels)
          *out = (g0[x] + g0[x + 1] + g1[x] + g1[x + 1]) * 0.25f;
      }
    } else if (map != nullptr && map->log2Width == log2Width && map->log2Height == log2Height) {
      gKernelTable.MapWriteChannel(kLayerChannels, static_cast<std::uint8_t>(i), w, h, map->data,
                                   texels);
    } else {
      const float value = i < layers ? frame.floats[i] : 0.0f;
      for (std::size_t t = 0; t < texelCount; ++t) texels[t * kLayerChannels + i] = value;
    }
  }
}

}  // namespace veskor
