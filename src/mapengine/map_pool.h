// The pools of Map and VertexGrid records from which the fx executors take their temporaries,
// and the MapList through which a run of fx calls takes them and gives them all back at once.
// A record going back gives its block to the memory manager (parked); the next record of the
// same size class takes that block again without committing new pages.
#pragma once

#include <cstdint>

#include "foundation/vm_array.h"
#include "mapengine/map.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

inline constexpr std::uint32_t kMapPoolRecords = 256;
inline constexpr std::uint32_t kMapPoolFreeStackBytes = 1024;  // 256 indices
inline constexpr std::uint32_t kMapListIndexBytes = 512;       // 128 indices per kind

struct MapPool {
  Map records[kMapPoolRecords];
  std::uint32_t highWater;  // records ever handed out
  VmArray freeStack;        // indices of records given back, last pushed on top
};

struct VertexGridPool {
  VertexGrid records[kMapPoolRecords];
  std::uint32_t highWater;
  VmArray freeStack;
};

struct MapPools {
  MapPool maps;
  VertexGridPool grids;
  std::uint32_t ready;  // set by the first MapPoolInit
};

// The program's pools. Every operation takes the pools as its last argument, defaulting to
// these, so tests can run pools of their own.
extern MapPools gMapPools;

// The records taken through one fx execution context since its last MapPoolReleaseAll.
struct MapList {
  VmArray mapIndices;         // MapPool indices, at most 128
  VmArray gridIndices;        // VertexGridPool indices, at most 128
  std::uint32_t gridsHeld;    // raised by each take, lowered by each single release
  std::uint32_t mapsHeld;
};

// The list through which the executors take their temporaries; null outside a run.
extern MapList* CurrentMapList;

// Both index lists empty with their blocks reserved, counts 0.
void MapListInit(MapList& list);

// Sets the pools up on the first call; on every call makes `list` the CurrentMapList.
void MapPoolInit(MapList& list, MapPools& pools = gMapPools);

// A Map of 2^w x 2^h texels, noted in `list`; the texels hold whatever they held. The record
// on top of the free stack is taken first, else the next never-used one. Fatal when all 256
// records are in use, or (through the memory manager) at the 129th take through one list.
Map* MapPoolAcquire(MapList& list, std::uint16_t w, std::uint16_t h,
                    MapPools& pools = gMapPools);

// The same for a VertexGrid of (2^w+1) x (2^h+1) values, flag word cleared, scales 1.0,
// offsets 0.0, no companion.
VertexGrid* TakeVertexGridSlot(MapList& list, std::uint16_t w, std::uint16_t h,
                               MapPools& pools = gMapPools);

// When *slot designates a pool record that is handed out, gives it back and sets *slot to
// null; any other pointer (an embedded record, null, a record already given back) is left
// alone. The index stays in the list's index list.
void ReleaseMapSlot(MapList& list, Map** slot, MapPools& pools = gMapPools);
void ReleaseVertexGridSlot(MapList& list, VertexGrid** slot, MapPools& pools = gMapPools);

// Gives back every record noted in `list` that still holds data, empties both index lists
// (keeping their blocks) and clears CurrentMapList. The held counts stay.
void MapPoolReleaseAll(MapList& list, MapPools& pools = gMapPools);

}  // namespace veskor
