// The batch buffer's CPU passes: the position and normal passes over items of 65 x 65
// vertices (plain and SSE kernel members side by side), the weld table's inserts and finds at
// 16k and 64k entries, and the water clip pass cutting and sorting an item across the level.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "gfx/geometry_batch_buffer.h"
#include "gfx/item_batching.h"
#include "gfx/surface_passes.h"
#include "gfx/water_clip.h"
#include "gfx/weld_table.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

constexpr int kSide = 64;  // cells of an item and of its grids

// A 64 x 64-cell grid of value(s, t) + offset.
struct Grid {
  std::vector<float> values = std::vector<float>((kSide + 1) * (kSide + 1));
  VertexGrid grid;
  Grid(float (*value)(float, float), float offset) {
    VertexGridInit(grid);
    grid.log2Width = grid.log2Height = 6;
    grid.data = values.data();
    grid.offsetValue = offset;
    for (int j = 0; j <= kSide; ++j)
      for (int i = 0; i <= kSide; ++i) values[j * (kSide + 1) + i] = value(i / 64.0f, j / 64.0f);
  }
};

// A sheet of 65 x 65 vertices with s, t over the unit square, heights from `height`.
struct Sheet {
  std::vector<float> positions, normals, texCoords;
  std::vector<std::uint32_t> indices;
  explicit Sheet(float (*height)(float, float)) {
    for (int j = 0; j <= kSide; ++j) {
      for (int i = 0; i <= kSide; ++i) {
        const float s = i / 64.0f, t = j / 64.0f;
        positions.insert(positions.end(), {100 * s, 100 * t, height(s, t)});
        normals.insert(normals.end(), {0, 0, 1});
        texCoords.insert(texCoords.end(), {s, t, 0, 1});
      }
    }
    for (std::uint32_t j = 0; j < kSide; ++j) {
      for (std::uint32_t i = 0; i < kSide; ++i) {
        const std::uint32_t v = j * (kSide + 1) + i;
        indices.insert(indices.end(), {v, v + 1, v + kSide + 2, v, v + kSide + 2, v + kSide + 1});
      }
    }
  }
  MeshBuilder View() const {
    return {static_cast<std::uint32_t>(positions.size() / 3),
            positions.data(),
            normals.data(),
            texCoords.data(),
            static_cast<std::uint32_t>(indices.size() / 3),
            indices.data(),
            0,
            0,
            0,
            0,
            {0, 0, -20},
            {100, 100, 20}};
  }
};

float SheetX(float s, float) { return 100 * s; }
float SheetY(float, float t) { return 100 * t; }
float Hills(float s, float t) { return 10 * std::sin(6 * s) * std::cos(5 * t); }
float Diagonal(float s, float t) { return (s + t - 1) * 32; }
float Zero(float, float) { return 0; }
float One(float, float) { return 1; }

// Arguments: SSE members.
void PositionAndNormalPasses(benchmark::State& state) {
  FillKernelTable(gKernelTable, state.range(0) != 0);
  GeometryBatchBuffer buffer;
  GeometryBatchBufferInit(buffer);
  const std::uint32_t word = 0;
  GeometryBatchBufferStartSession(buffer, &word);
  const Sheet sheet(Hills);
  constexpr int kItems = 100;
  std::vector<ItemDrawRecord> records(kItems);
  std::vector<Grid> grids;
  grids.reserve(3 * kItems);
  for (int k = 0; k < kItems; ++k) {
    BatchAppendItem(buffer, sheet.View(), 2, records[k], nullptr);
    grids.emplace_back(SheetX, 100.0f * (k % 10));  // a 10 x 10 field of patches
    grids.emplace_back(SheetY, 100.0f * (k / 10));
    grids.emplace_back(Hills, 0.0f);
  }
  const Grid nx(Zero, 0), ny(Zero, 0), nz(One, 0);
  const SurfaceGrids normal{&nx.grid, &ny.grid, &nz.grid};
  for (auto _ : state) {
    WeldTableReset(buffer.weldTable);
    for (int k = 0; k < kItems; ++k) {
      const SurfaceGrids g{&grids[3 * k].grid, &grids[3 * k + 1].grid, &grids[3 * k + 2].grid};
      float box[6] = {0, 0, 0, 0, 0, 0};
      BatchPositionPass(buffer, records[k], g, g, g, nullptr, box);
      BatchNormalPass(buffer, records[k], normal, normal, normal, nullptr, 0.2f, box);
    }
  }
  state.SetItemsProcessed(state.iterations() * kItems * (kSide + 1) * (kSide + 1));
  GeometryBatchBufferRelease(buffer);
}
BENCHMARK(PositionAndNormalPasses)->ArgName("sse")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Arguments: entries; 0 inserts, 1 finds.
void WeldInsertsAndFinds(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  WeldTable table;
  WeldTableInit(table);
  WeldTableSize(table);
  WeldTolerance = 32.0f;
  // Border keys of a field of patches: 64 apart, so none match another.
  std::vector<WeldKey> keys(n);
  for (std::uint32_t k = 0; k < n; ++k)
    keys[k] = {64.0f * (k % 256), 64.0f * (k / 256), 0, (k % 3) * 0.25f, -1, nullptr};
  std::uint32_t bucket;
  WeldEntry* entry;
  const bool finds = state.range(1) != 0;
  if (finds)
    for (const WeldKey& key : keys) WeldTableInsert(table, key, &bucket, &entry);
  for (auto _ : state) {
    if (finds) {
      for (const WeldKey& key : keys)
        benchmark::DoNotOptimize(WeldTableFind(table, key, &bucket, &entry));
    } else {
      WeldTableReset(table);
      for (const WeldKey& key : keys) WeldTableInsert(table, key, &bucket, &entry);
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
  WeldTableRelease(table);
}
BENCHMARK(WeldInsertsAndFinds)->ArgNames({"entries", "find"})->ArgsProduct({{16384, 65536}, {0, 1}});

// Arguments: cutting allowed (else sorting only). The item crosses the level along a diagonal.
void ClipPass(benchmark::State& state) {
  const std::uint32_t split = static_cast<std::uint32_t>(state.range(0));
  GeometryBatchBuffer buffer;
  GeometryBatchBufferInit(buffer);
  const std::uint32_t word = 0;
  GeometryBatchBufferStartSession(buffer, &word);
  BatchAddWaterBox(buffer, -1000, -1000, 1000, 1000, 0.3f);
  const Sheet sheet(Diagonal);
  ItemDrawRecord record{};
  BatchAppendItem(buffer, sheet.View(), 4, record, nullptr);
  const ItemDrawRecord batched = record;
  const std::vector<float> vertices(buffer.vertices, buffer.vertices + buffer.floatCount);
  const std::vector<std::uint16_t> indices(buffer.indices, buffer.indices + buffer.indexCount);
  for (auto _ : state) {
    state.PauseTiming();
    record = batched;
    std::memcpy(buffer.vertices, vertices.data(), vertices.size() * sizeof(float));
    std::memcpy(buffer.indices, indices.data(), indices.size() * sizeof(std::uint16_t));
    state.ResumeTiming();
    BatchClipPass(buffer, record, record.mainRanges[0], 0, 0, -32, 100, 100, 32, nullptr, nullptr,
                  split);
  }
  state.SetItemsProcessed(state.iterations() * sheet.View().triangleCount);
  state.counters["straddling"] = record.mainRanges[0].straddling;
  GeometryBatchBufferRelease(buffer);
}
BENCHMARK(ClipPass)->ArgName("cut")->Arg(0)->Arg(1);

}  // namespace
}  // namespace veskor
