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

// The values of a Map (`grid` false) or VertexGrid (one more value each way), owned by the
// test: 0.01 apart, from `base`.
struct OwnedValues {
  OwnedValues(std::uint16_t w, std::uint16_t h, float base, bool grid)
      : values(((std::size_t{1} << w) + grid) * ((std::size_t{1} << h) + grid)) {
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = base + 0.01f * i;
    map.data = vertices.data = values.data();
    map.log2Width = vertices.log2Width = w;
    map.log2Height = vertices.log2Height = h;
  }
  std::vector<float> values;
  Map map{};
  VertexGrid vertices{};
};

float Channel(const FloatTexture2D& t, std::uint32_t x, std::uint32_t y, std::uint32_t c) {
  const auto* texels = static_cast<const float*>(TextureData(t));
  return texels[((std::size_t{y} << TextureLog2Width(t)) + x) * 3 + c];
}

TEST(TextureLayers, FloatComponentsGiveOneTexelAndZeroChannelsBeyondThem) {
  FloatTexture2D t;
  Texture2DSetWrap(t, kWrapRepeatS);
  Texture2DSetFilter(t, kFilterTrilinear);
  FxFrame one = Floats({0.5f});
  one.floats[1] = one.floats[2] = 9.0f;  // past the count: no components
  BuildTextureFromLayers(t, one);
  EXPECT_EQ(t.pixels.block.usedBytes, 3 * sizeof(float));
  EXPECT_EQ(std::vector<float>(static_cast<float*>(TextureData(t)),
                               static_cast<float*>(TextureData(t)) + 3),
            (std::vector<float>{0.5f, 0.0f, 0.0f}));
  EXPECT_EQ(t.state.formatCode, kLayoutRgb);  // float RGB
  EXPECT_EQ(t.state.hasSlot & t.state.dirty & t.state.needsCounting, 1u);
  EXPECT_EQ(t.state.wrap | t.state.filter, 0u);

  const std::uint32_t slot = t.state.slot;
  BuildTextureFromLayers(t, Floats({}));  // no components: black
  EXPECT_EQ(t.state.slot, slot);
  EXPECT_EQ(Channel(t, 0, 0, 0), 0.0f);
}

TEST(TextureLayers, MapsAndGridsOfTheTextureSizeFillTheirChannels) {
  // A float, then a 64 x 64 map: red constant, green the map.
  OwnedValues map(6, 6, 0.25f, false);
  FxFrame frame = Floats({0.75f, 0.0f});
  frame.maps[1] = &map.map;
  FloatTexture2D t;
  BuildTextureFromLayers(t, frame);
  ASSERT_EQ(TextureLog2Width(t) + TextureLog2Height(t), 12u);
  for (const auto& [x, y] : {std::pair{0u, 0u}, {63u, 0u}, {5u, 40u}, {63u, 63u}}) {
    EXPECT_EQ(Channel(t, x, y, 0), 0.75f);
    EXPECT_EQ(Channel(t, x, y, 1), map.values[y * 64 + x]);
    EXPECT_EQ(Channel(t, x, y, 2), 0.0f);
  }

  // A component's grid wins over its map, and sizes the texture (8 x 4); a map of another
  // size gives its component's float value.
  OwnedValues grid(3, 2, 0.0f, true);
  OwnedValues small(1, 1, 0.5f, false);
  FxFrame layered = Floats({0.0f, 0.125f, 0.375f});
  layered.maps[0] = &small.map;
  layered.grids[0] = &grid.vertices;
  layered.maps[1] = &small.map;
  layered.grids[2] = &grid.vertices;
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
  OwnedValues map(2, 2, 0.5f, false);
  FxFrame frame = Floats({0.1f, 0.2f, 0.3f, 0.4f, 0.5f});
  frame.maps[3] = &map.map;
  FloatTexture2D t;
  BuildTextureFromLayers(t, frame);
  EXPECT_EQ(t.pixels.block.usedBytes, 3 * sizeof(float));
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
