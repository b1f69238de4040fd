#include "gfx/texture_layers.h"

#include <gtest/gtest.h>

#include <vector>

#include "gfx/texture_format.h"

namespace veskor {
namespace {

FxFrame Floats(std::initializer_list<float> values) {
  FxFrame frame{};
  for (float v : values) frame.floats[frame.count++] = v;
  return frame;
}

// A Map or VertexGrid record over values the test owns.
struct OwnedMap {
  OwnedMap(std::uint16_t w, std::uint16_t h, float base) : values(std::size_t{1} << (w + h)) {
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = base + 0.001f * i;
    map.data = values.data();
    map.log2Width = w;
    map.log2Height = h;
  }
  std::vector<float> values;
  Map map{};
};

struct OwnedGrid {
  OwnedGrid(std::uint16_t w, std::uint16_t h)
      : values(((std::size_t{1} << w) + 1) * ((std::size_t{1} << h) + 1)) {
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = 0.01f * i;
    grid.data = values.data();
    grid.log2Width = w;
    grid.log2Height = h;
  }
  std::vector<float> values;
  VertexGrid grid{};
};

float Channel(const FloatTexture2D& t, std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  const auto* texels = static_cast<const float*>(TextureData(t));
  return texels[((std::size_t{y} << TextureLog2Width(t)) + x) * 3 + c];
}

TEST(TextureLayers, FloatComponentsGiveOneTexelAndZeroChannelsBeyondThem) {
  FloatTexture2D t;
  Texture2DSetWrap(t, kWrapRepeatS);
  Texture2DSetFilter(t, kFilterTrilinear);
  BuildTextureFromLayers(t, Floats({0.5f}));
  EXPECT_EQ(TextureLog2Width(t), 0u);
  EXPECT_EQ(TextureLog2Height(t), 0u);
  EXPECT_EQ(t.pixels.block.usedBytes, 3 * sizeof(float));
  EXPECT_EQ(Channel(t, 0, 0, 0), 0.5f);
  EXPECT_EQ(Channel(t, 0, 0, 1), 0.0f);
  EXPECT_EQ(Channel(t, 0, 0, 2), 0.0f);
  EXPECT_EQ(t.state.channels, 3u);
  EXPECT_EQ(t.state.formatCode, kLayoutRgb);  // float RGB
  EXPECT_EQ(t.state.hasSlot, 1u);
  EXPECT_EQ(t.state.dirty, 1u);
  EXPECT_EQ(t.state.needsCounting, 1u);
  EXPECT_EQ(t.state.wrap, 0u);
  EXPECT_EQ(t.state.filter, 0u);

  const std::uint32_t slot = t.state.slot;
  BuildTextureFromLayers(t, Floats({}));  // no components: black
  EXPECT_EQ(t.state.slot, slot);
  EXPECT_EQ(Channel(t, 0, 0, 0), 0.0f);
}

TEST(TextureLayers, MapsAndGridsOfTheTextureSizeFillTheirChannels) {
  // A float, then a 64 x 64 map: red constant, green the map.
  OwnedMap map(6, 6, 0.25f);
  FxFrame frame = Floats({0.75f, 0.0f});
  frame.maps[1] = &map.map;
  FloatTexture2D t;
  BuildTextureFromLayers(t, frame);
  ASSERT_EQ(TextureLog2Width(t), 6u);
  ASSERT_EQ(TextureLog2Height(t), 6u);
  for (const auto& [x, y] : {std::pair{0u, 0u}, {63u, 0u}, {5u, 40u}, {63u, 63u}}) {
    EXPECT_EQ(Channel(t, x, y, 0), 0.75f);
    EXPECT_EQ(Channel(t, x, y, 1), map.values[y * 64 + x]);
    EXPECT_EQ(Channel(t, x, y, 2), 0.0f);
  }

  // A component's grid wins over its map, and sizes the texture (8 x 4); a map of another
  // size gives its component's float value.
  OwnedGrid grid(3, 2);
  OwnedMap small(1, 1, 0.5f);
  FxFrame layered = Floats({0.0f, 0.125f, 0.375f});
  layered.maps[0] = &small.map;
  layered.grids[0] = &grid.grid;
  layered.maps[1] = &small.map;
  layered.grids[2] = &grid.grid;
  BuildTextureFromLayers(t, layered);
  ASSERT_EQ(TextureLog2Width(t), 3u);
  ASSERT_EQ(TextureLog2Height(t), 2u);
  auto g = [&](std::uint32_t x, std::uint32_t y) { return grid.values[y * 9 + x]; };
  for (const auto& [x, y] : {std::pair{0u, 0u}, {7u, 0u}, {3u, 2u}, {7u, 3u}}) {
    const float mean = (g(x, y) + g(x + 1, y) + g(x, y + 1) + g(x + 1, y + 1)) * 0.25f;
    EXPECT_FLOAT_EQ(Channel(t, x, y, 0), mean);
    EXPECT_EQ(Channel(t, x, y, 1), 0.125f);
    EXPECT_FLOAT_EQ(Channel(t, x, y, 2), mean);
  }
}

TEST(TextureLayers, ComponentsPastTheThirdAreIgnored) {
  // They neither size the texture nor write past its three channels.
  OwnedMap map(2, 2, 0.5f);
  FxFrame frame = Floats({0.1f, 0.2f, 0.3f, 0.4f, 0.5f});
  frame.maps[3] = &map.map;
  FloatTexture2D t;
  BuildTextureFromLayers(t, frame);
  EXPECT_EQ(TextureLog2Width(t), 0u);
  EXPECT_EQ(t.pixels.block.usedBytes, 3 * sizeof(float));
  EXPECT_EQ(Channel(t, 0, 0, 0), 0.1f);
  EXPECT_EQ(Channel(t, 0, 0, 1), 0.2f);
  EXPECT_EQ(Channel(t, 0, 0, 2), 0.3f);

  frame.maps[1] = &map.map;  // a 4 x 4 texture: every texel keeps to its three channels
  BuildTextureFromLayers(t, frame);
  ASSERT_EQ(TextureLog2Width(t), 2u);
  for (std::uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(Channel(t, i % 4, i / 4, 0), 0.1f);
    EXPECT_EQ(Channel(t, i % 4, i / 4, 1), map.values[i]);
    EXPECT_EQ(Channel(t, i % 4, i / 4, 2), 0.3f);
  }
}

}  // namespace
}  // namespace veskor
