// The preparation's CPU parts: the items' order along the sun against a plain stable sort, the
// stage fraction at its limits, and the in-place transform of a surface's grids.
#include "render/render_prepare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "geometry/item_tables.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/transform_node.h"
#include "language/world.h"
#include "mapengine/vertex_grid.h"
#include "render/shader_stages.h"

namespace veskor {
namespace {

TEST(SortItemsAlongSun, MatchesStableSortWithLaterItemsFirstAmongTies) {
  std::mt19937 random(7);
  constexpr std::uint32_t n = 300;
  std::vector<float> vertices;
  std::vector<SceneInstance> instances(n);
  std::vector<float> keys(n), shifts(n, 0.0f);
  const float sun[3] = {0.0f, 0.6f, -0.8f};
  float* saved = gGeometryBatchBuffer.vertices;
  vertices.reserve(n * 3 * 8);
  for (std::uint32_t k = 0; k < n; ++k) {
    ItemDrawRecord& r = gBatchItemRecords[k];
    r = ItemDrawRecord{};
    gItemBatchIndex[k] = k;
    TransformNodeInit(instances[k].transform);
    gItemTargets[k] = &instances[k];
    const float shift = float(random() % 3);
    if (k % 2 == 1) {
      TransformNodeSetTranslation(instances[k].transform, 0, shift, 0);
      shifts[k] = shift;
    }
    r.format = k % 3 == 0 ? 4 : 2;  // 5 or 8 floats a vertex
    const std::uint32_t stride = r.format == 4 ? 5 : 8;
    const std::uint32_t count = k % 7 == 6 ? 0 : 1 + random() % 3;  // some items have none
    r.rangeCount = 1;
    r.mainRanges[0].firstFloat = std::uint32_t(vertices.size());
    r.mainRanges[0].floatCount = count * stride;
    float key = std::numeric_limits<float>::max();
    for (std::uint32_t v = 0; v < count; ++v) {
      // Small integer coordinates: many exact ties.
      const float p[3] = {float(random() % 4), float(random() % 4), float(random() % 4)};
      for (std::uint32_t f = 0; f < stride; ++f) vertices.push_back(f < 3 ? p[f] : 99.0f);
      const float y = p[1] + shifts[k];
      key = std::min(key, 0.6f * y - 0.8f * p[2]);
    }
    keys[k] = key;
  }
  // A cap range counts as well.
  gBatchItemRecords[1].capA = {std::uint32_t(vertices.size()), 8, 0, 0, 0, 0, 0, 0};
  for (float f : {0.0f, -90.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}) vertices.push_back(f);
  keys[1] = std::min(keys[1], 0.6f * (-90.0f + shifts[1]));
  gGeometryBatchBuffer.vertices = vertices.data();
  gItemCount = n;

  std::vector<std::uint32_t> out(n, 12345), reference(n);
  SortItemsAlongSun(sun, out.data());
  for (std::uint32_t k = 0; k < n; ++k) reference[k] = n - 1 - k;
  std::stable_sort(reference.begin(), reference.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
  EXPECT_EQ(out, reference);
  EXPECT_EQ(out.front(), 1u);
  // Items without vertices come last, the later ones first: item 6 ends the order.
  EXPECT_EQ(out.back(), 6u);

  gItemCount = 0;
  out.assign(n, 12345);
  SortItemsAlongSun(sun, out.data());
  EXPECT_EQ(out[0], 12345u);
  gGeometryBatchBuffer.vertices = saved;
  for (std::uint32_t k = 0; k < n; ++k) gItemTargets[k] = nullptr;
}

TEST(StageFraction, StaysWithinZeroAndOne) {
  const struct {
    std::uint32_t done, units;
    float f;
  } cases[] = {{0, 0, 1.0f}, {0, 1, 0.0f}, {1, 1, 1.0f}, {1, 3, 1.0f / 3},
               {32, 33, 32.0f / 33}, {33, 33, 1.0f}, {4294967295u, 4294967295u, 1.0f}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(StageFraction(c.done, c.units), c.f) << c.done;
}

TEST(TransformVertexGrids, MovesSamplesAndBorderedCopies) {
  VertexGrid x, y, z;
  for (VertexGrid* g : {&x, &y, &z}) {
    VertexGridInit(*g);
    VertexGridAlloc(*g, 2, 1);
  }
  const std::uint32_t samples = 5 * 3, bordered = 6 * 4;
  std::vector<float> bx(bordered), by(bordered), bz(bordered);
  for (std::uint32_t i = 0; i < samples; ++i) x.data[i] = float(i), y.data[i] = 2.0f, z.data[i] = -float(i);
  for (std::uint32_t i = 0; i < bordered; ++i) bx[i] = 1.0f, by[i] = float(i), bz[i] = 0.5f;
  // (x, y, z) -> (y + 10, -x, 2 z + 1): column-major.
  const float m[16] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 2, 0, 10, 0, 1, 1};
  TransformVertexGrids(x, y, z, m);  // no bordered copy yet: only the samples
  for (std::uint32_t i = 0; i < samples; ++i) {
    EXPECT_FLOAT_EQ(x.data[i], 12.0f);
    EXPECT_FLOAT_EQ(y.data[i], -float(i));
    EXPECT_FLOAT_EQ(z.data[i], 1.0f - 2.0f * float(i));
  }
  x.companion[1] = bx.data(), y.companion[1] = by.data(), z.companion[1] = bz.data();
  TransformVertexGrids(x, y, z, m);
  for (std::uint32_t i = 0; i < bordered; ++i) {
    EXPECT_FLOAT_EQ(bx[i], float(i) + 10.0f);
    EXPECT_FLOAT_EQ(by[i], -1.0f);
    EXPECT_FLOAT_EQ(bz[i], 2.0f);
  }
  for (std::uint32_t i = 0; i < samples; ++i) EXPECT_FLOAT_EQ(x.data[i], 10.0f - float(i));
  for (VertexGrid* g : {&x, &y, &z}) {
    g->companion[1] = nullptr;
    VertexGridRelease(*g);
  }
}

}  // namespace
}  // namespace veskor
