#include "mapengine/map_pool.h"

#include <cstdint>
#include <functional>

#include "foundation/fatal_error.h"

namespace veskor {

MapPools gMapPools;
MapList* CurrentMapList = nullptr;

namespace {

// The candidate record: the index on top of the free stack, else the high-water count. The
// pools hold 256 records; a 257th would lie past them.
std::uint32_t NextIndex(std::uint32_t highWater, const VmArray& freeStack, const char* fullText) {
  if (freeStack.count != 0) return VmArrayData<std::uint32_t>(freeStack)[freeStack.count - 1];
  if (highWater >= kMapPoolRecords) FatalError(fullText);
  return highWater;
}

// Takes the candidate's index off the free stack, or raises the high-water count.
void TakeIndex(std::uint32_t& highWater, VmArray& freeStack) {
  if (freeStack.count != 0) {
    VmArrayPop(freeStack, 1, sizeof(std::uint32_t));
  } else {
    ++highWater;
  }
}

// Index of the handed-out record `p` points at, or -1 when it points at none.
template <class Record>
std::int64_t HandedOutIndex(const Record* p, const Record* records, std::uint32_t highWater) {
  std::less<const Record*> before;
  if (p == nullptr || before(p, records) || !before(p, records + highWater)) return -1;
  return p - records;
}

void GiveBackMap(Map& map, std::uint32_t index, MapPool& pool) {
  VmArrayPush(pool.freeStack, index);
  MemBlockRelease(map.block);
  map.data = nullptr;
}

void GiveBackGrid(VertexGrid& grid, std::uint32_t index, VertexGridPool& pool) {
  VmArrayPush(pool.freeStack, index);
  MemBlockRelease(grid.block);
  grid.data = nullptr;
  grid.companion[0] = grid.companion[1] = nullptr;
  grid.companionValid = 0;
  grid.flags = 0;
}

}  // namespace

void MapListInit(MapList& list) {
  VmArrayInit(list.mapIndices);
  VmArrayInit(list.gridIndices);
  VmArrayReserve(list.mapIndices, kMapListIndexBytes);
  VmArrayReserve(list.gridIndices, kMapListIndexBytes);
  list.gridsHeld = 0;
  list.mapsHeld = 0;
}

void MapPoolInit(MapList& list, MapPools& pools) {
  if (pools.ready == 0) {
    VmArrayReserve(pools.maps.freeStack, kMapPoolFreeStackBytes);
    VmArrayReserve(pools.grids.freeStack, kMapPoolFreeStackBytes);
    pools.maps.highWater = 0;
    pools.grids.highWater = 0;
    pools.ready = 1;
  }
  CurrentMapList = &list;
}

Map* MapPoolAcquire(MapList& list, std::uint16_t w, std::uint16_t h, MapPools& pools) {
  MapPool& pool = pools.maps;
  const std::uint32_t index =
      NextIndex(pool.highWater, pool.freeStack, "Map Pool Error : all 256 Map records are in use");
  Map& map = pool.records[index];
  map.log2Width = w;
  map.log2Height = h;
  const std::uint32_t n = MapBytes(w, h);
  MemBlockReserve(map.block, n);
  MemBlockAppendFit(map.block, n);
  map.data = reinterpret_cast<float*>(map.block.base);
  TakeIndex(pool.highWater, pool.freeStack);
  VmArrayPush(list.mapIndices, index);
  ++list.mapsHeld;
  return &map;
}

VertexGrid* TakeVertexGridSlot(MapList& list, std::uint16_t w, std::uint16_t h,
                               MapPools& pools) {
  VertexGridPool& pool = pools.grids;
  const std::uint32_t index = NextIndex(pool.highWater, pool.freeStack,
                                        "Map Pool Error : all 256 VertexGrid records are in use");
  VertexGrid& grid = pool.records[index];
  grid.flags = 0;
  MemBlockReserve(grid.block, VertexGridReserveBytes(w, h));
  grid.data = static_cast<float*>(MemBlockAppendFit(grid.block, VertexGridValueBytes(w, h)));
  VertexGridResetShape(grid, w, h);
  TakeIndex(pool.highWater, pool.freeStack);
  VmArrayPush(list.gridIndices, index);
  ++list.gridsHeld;
  return &grid;
}

void ReleaseMapSlot(MapList& list, Map** slot, MapPools& pools) {
  MapPool& pool = pools.maps;
  const std::int64_t index = HandedOutIndex<Map>(*slot, pool.records, pool.highWater);
  // A record already back on the free stack has no data: pushing its index a second time
  // would hand the same record out twice.
  if (index < 0 || pool.records[index].data == nullptr) return;
  GiveBackMap(pool.records[index], static_cast<std::uint32_t>(index), pool);
  --list.mapsHeld;
  *slot = nullptr;
}

void ReleaseVertexGridSlot(MapList& list, VertexGrid** slot, MapPools& pools) {
  VertexGridPool& pool = pools.grids;
  const std::int64_t index = HandedOutIndex<VertexGrid>(*slot, pool.records, pool.highWater);
  if (index < 0 || pool.records[index].data == nullptr) return;
  GiveBackGrid(pool.records[index], static_cast<std::uint32_t>(index), pool);
  --list.gridsHeld;
  *slot = nullptr;
}

void MapPoolReleaseAll(MapList& list, MapPools& pools) {
  if (list.mapsHeld != 0) {
    const auto* indices = VmArrayData<std::uint32_t>(list.mapIndices);
    for (std::uint32_t i = 0; i < list.mapIndices.count; ++i) {
      Map& map = pools.maps.records[indices[i]];
      if (map.data != nullptr) GiveBackMap(map, indices[i], pools.maps);
    }
  }
  if (list.gridsHeld != 0) {
    const auto* indices = VmArrayData<std::uint32_t>(list.gridIndices);
    for (std::uint32_t i = 0; i < list.gridIndices.count; ++i) {
      VertexGrid& grid = pools.grids.records[indices[i]];
      if (grid.data != nullptr) GiveBackGrid(grid, indices[i], pools.grids);
    }
  }
  CurrentMapList = nullptr;
  VmArrayClear(list.mapIndices);
  VmArrayClear(list.gridIndices);
}

}  // namespace veskor
