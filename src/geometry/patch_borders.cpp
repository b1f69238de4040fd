#include "geometry/patch_borders.h"

#include <cstring>

#include "foundation/fatal_error.h"
#include "foundation/session_log.h"

namespace veskor {

namespace {

constexpr std::uint32_t kOpposite[kPatchSides] = {kPatchRow0, kPatchRowN, kPatchColN, kPatchCol0};

bool IsColumn(std::uint32_t side) { return side == kPatchCol0 || side == kPatchColN; }

void LogRefused(const char* operation, std::uint32_t i, const char* why) {
  SessionLog& log = LogStream();
  LogWriteText(log, operation);
  LogWriteText(log, " : item ");
  LogWriteUnsigned(log, i);
  LogWriteText(log, " ");
  LogWriteText(log, why);
  LogWriteText(log, ", the border is left as it is\n");
}

// The six grids hold data of one size.
bool GridsUsable(VertexGrid* const* grids) {
  for (std::uint32_t c = 0; c < kPatchChannels; ++c) {
    if (grids[c] == nullptr || grids[c]->data == nullptr ||
        grids[c]->log2Width != grids[0]->log2Width || grids[c]->log2Height != grids[0]->log2Height)
      return false;
  }
  return true;
}

// The edge cell t of a side.
float* EdgeCell(const VertexGrid& grid, std::uint32_t side, std::uint32_t t) {
  const std::uint32_t lastX = 1u << grid.log2Width, lastY = 1u << grid.log2Height;
  switch (side) {
    case kPatchCol0: return VertexGridCell(grid, 0, t);
    case kPatchColN: return VertexGridCell(grid, lastX, t);
    case kPatchRow0: return VertexGridCell(grid, t, 0);
    default: return VertexGridCell(grid, t, lastY);
  }
}

std::uint32_t Store(PatchBorderList& list, std::uint32_t i, VertexGrid* const* grids,
                    std::uint32_t side) {
  constexpr const char* kName = "Patch border";
  if (i >= list.entryCount) {
    LogRefused(kName, i, "has no entry");
    return 0;
  }
  if (!GridsUsable(grids)) {
    LogRefused(kName, i, "has no grids of one size");
    return 0;
  }
  const std::uint32_t k = IsColumn(side) ? grids[0]->log2Height : grids[0]->log2Width;
  const std::uint32_t samples = (1u << k) + 1;
  const std::uint64_t need = std::uint64_t{kPatchChannels} * samples;
  if (list.used + need > list.capacity) {
    LogRefused(kName, i, "does not fit the pool");
    return 0;
  }
  PatchBorderEntry& entry = list.entries[i];
  entry.side[side] = list.used;
  if (IsColumn(side))
    entry.log2Height = static_cast<std::uint16_t>(k);
  else
    entry.log2Width = static_cast<std::uint16_t>(k);
  entry.stored |= 1u << side;
  float* out = list.pool + list.used;
  list.used += static_cast<std::uint32_t>(need);
  for (std::uint32_t t = 0; t < samples; ++t) {
    for (std::uint32_t c = 0; c < kPatchChannels; ++c) *out++ = *EdgeCell(*grids[c], side, t);
  }
  return 1;
}

std::uint32_t Stitch(const PatchBorderList& list, std::uint32_t i, VertexGrid* const* grids,
                     std::uint32_t side) {
  constexpr const char* kName = "Patch stitch";
  if (i >= list.entryCount) {
    LogRefused(kName, i, "has no entry");
    return 0;
  }
  if (!GridsUsable(grids)) {
    LogRefused(kName, i, "has no grids of one size");
    return 0;
  }
  const PatchBorderEntry& entry = list.entries[i];
  const std::uint32_t from = kOpposite[side];
  // A neighbour that stored nothing on that side (it was never shaded) leaves the edge alone.
  if ((entry.stored & (1u << from)) == 0) return 0;
  const std::uint32_t n = IsColumn(side) ? grids[0]->log2Height : grids[0]->log2Width;
  const std::uint32_t m = IsColumn(side) ? entry.log2Height : entry.log2Width;
  const float* stored = list.pool + entry.side[from];
  const std::uint32_t samples = (1u << n) + 1;
  for (std::uint32_t j = 0; j < samples; ++j) {
    float value[kPatchChannels];
    if (m >= n) {
      const float* s = stored + std::size_t{kPatchChannels} * (j << (m - n));
      for (std::uint32_t c = 0; c < kPatchChannels; ++c) value[c] = s[c];
    } else {  // the neighbour is coarser: its edge interpolated
      const std::uint32_t step = 1u << (n - m), k = j / step;
      const float f = float(j % step) / float(step);
      const float* s = stored + std::size_t{kPatchChannels} * k;
      for (std::uint32_t c = 0; c < kPatchChannels; ++c)
        value[c] = f == 0.0f ? s[c] : (1.0f - f) * s[c] + f * s[c + kPatchChannels];
    }
    for (std::uint32_t c = 0; c < kPatchChannels; ++c) *EdgeCell(*grids[c], side, j) = value[c];
  }
  return 1;
}

}  // namespace

std::uint32_t PatchBorderFloats(std::uint32_t w, std::uint32_t h) {
  return kPatchChannels * 2 * (((1u << w) + 1) + ((1u << h) + 1));
}

void PatchBorderListInit(PatchBorderList& list) { list = PatchBorderList{}; }

void PatchBorderListReserve(PatchBorderList& list, std::uint32_t entries,
                            std::uint32_t poolFloats) {
  PatchBorderListRelease(list);
  const std::uint64_t entryBytes = std::uint64_t{entries} * sizeof(PatchBorderEntry);
  const std::uint64_t bytes = entryBytes + std::uint64_t{poolFloats} * 4;
  if (bytes > (std::uint64_t{1} << 31))
    FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  if (bytes == 0) return;
  MemBlockReserve(list.block, static_cast<std::uint32_t>(bytes));
  auto* base =
      static_cast<std::uint8_t*>(MemBlockAppend(list.block, static_cast<std::uint32_t>(bytes)));
  list.entries = reinterpret_cast<PatchBorderEntry*>(base);
  std::memset(list.entries, 0, entryBytes);
  list.entryCount = entries;
  list.pool = reinterpret_cast<float*>(base + entryBytes);
  list.used = 0;
  list.capacity = poolFloats;
}

void PatchBorderListRelease(PatchBorderList& list) {
  MemBlockRelease(list.block);
  list = PatchBorderList{};
}

std::uint32_t CopyPatchBorderCol0(PatchBorderList& list, std::uint32_t i,
                                  VertexGrid* const* grids) {
  return Store(list, i, grids, kPatchCol0);
}
std::uint32_t CopyPatchBorderColN(PatchBorderList& list, std::uint32_t i,
                                  VertexGrid* const* grids) {
  return Store(list, i, grids, kPatchColN);
}
std::uint32_t CopyPatchBorderRow0(PatchBorderList& list, std::uint32_t i,
                                  VertexGrid* const* grids) {
  return Store(list, i, grids, kPatchRow0);
}
std::uint32_t CopyPatchBorderRowN(PatchBorderList& list, std::uint32_t i,
                                  VertexGrid* const* grids) {
  return Store(list, i, grids, kPatchRowN);
}

std::uint32_t StitchPatchCol0(const PatchBorderList& list, std::uint32_t i,
                              VertexGrid* const* grids) {
  return Stitch(list, i, grids, kPatchCol0);
}
std::uint32_t StitchPatchColN(const PatchBorderList& list, std::uint32_t i,
                              VertexGrid* const* grids) {
  return Stitch(list, i, grids, kPatchColN);
}
std::uint32_t StitchPatchRow0(const PatchBorderList& list, std::uint32_t i,
                              VertexGrid* const* grids) {
  return Stitch(list, i, grids, kPatchRow0);
}
std::uint32_t StitchPatchRowN(const PatchBorderList& list, std::uint32_t i,
                              VertexGrid* const* grids) {
  return Stitch(list, i, grids, kPatchRowN);
}

}  // namespace veskor
