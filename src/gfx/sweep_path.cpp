#include "gfx/sweep_path.h"

#include <algorithm>
#include <cstring>

#include "foundation/heap_areas.h"
#include "gfx/packed_value.h"

namespace veskor {

namespace {

void ZeroFields(SweepPath& path) {
  path.block = MemBlock{};
  path.x = path.y = path.arcPosition = path.edgeValue = nullptr;
  path.packedU = path.packedT = path.packedTCopy = path.packedW = nullptr;
  path.pointFlag = path.edgeKind = nullptr;
  path.capacity = path.count = path.firstWord = path.secondWord = 0;
  path.totalLength = path.secondLength = path.height = path.p = path.q = 0;
}

void Carve(SweepPath& path, std::uint32_t n) {
  auto* base = static_cast<std::uint8_t*>(MemBlockAppendFit(path.block, kSweepPathPointBytes * n));
  auto floats = [&](std::uint32_t slot) { return reinterpret_cast<float*>(base + 4 * slot * n); };
  auto halves = [&](std::uint32_t slot) {
    return reinterpret_cast<std::uint16_t*>(base + 16 * n + 2 * slot * n);
  };
  path.x = floats(0);
  path.y = floats(1);
  path.arcPosition = floats(2);
  path.edgeValue = floats(3);
  path.packedT = halves(0);
  path.packedTCopy = halves(1);
  path.packedU = halves(2);
  path.packedW = halves(3);
  path.pointFlag = base + 24 * n;
  path.edgeKind = base + 25 * n;
  path.capacity = n;
}

void Prepare(SweepPath& path, std::uint32_t n) {
  if (path.block.base == nullptr) {
    MemBlockReserve(path.block, kSweepPathPointBytes * n);
    Carve(path, n);
    return;
  }
  if (path.capacity == n) return;
  const std::uint64_t reserved = std::uint64_t{1} << path.block.sizeClass;
  const std::uint64_t committed = std::uint64_t{path.block.committedPages} * kPageBytes;
  if (std::uint64_t{kSweepPathPointBytes} * n <= std::min(reserved, committed)) {
    path.block.usedBytes = 0;
  } else {
    MemBlockRelease(path.block);
    path.block = MemBlock{};
    MemBlockReserve(path.block, kSweepPathPointBytes * n);
  }
  Carve(path, n);
}

void ResetTotals(SweepPath& path) {
  path.count = path.firstWord = 0;
  path.totalLength = path.secondLength = path.height = path.p = path.q = 0;
}

// The source's count, words, lengths, bounds, height and p.
void CopyHeader(SweepPath& path, const SweepPath& source) {
  path.count = source.count;
  path.firstWord = source.firstWord;
  path.totalLength = source.totalLength;
  path.secondLength = source.secondLength;
  path.secondWord = source.secondWord;
  std::memcpy(path.bounds, source.bounds, sizeof path.bounds);
  path.height = source.height;
  path.p = source.p;
}

}  // namespace

void SweepPathInit(SweepPath& path) { ZeroFields(path); }

void SweepPathRelease(SweepPath& path) {
  MemBlockRelease(path.block);
  path.block = MemBlock{};
  // Forgetting the arrays too keeps a later resize from reusing memory no longer held.
  path.x = path.y = path.arcPosition = path.edgeValue = nullptr;
  path.packedU = path.packedT = path.packedTCopy = path.packedW = nullptr;
  path.pointFlag = path.edgeKind = nullptr;
  path.capacity = path.count = 0;
}

void SweepPathClear(SweepPath& path) { ZeroFields(path); }

void SweepPathResize(SweepPath& path, std::uint32_t n) {
  Prepare(path, n);
  ResetTotals(path);
}

void SweepPathAssign(SweepPath& path, const SweepPath& source) {
  const std::uint32_t n = source.count;
  Prepare(path, n);
  if (n != 0) {
    std::memcpy(path.x, source.x, n * sizeof(float));
    std::memcpy(path.y, source.y, n * sizeof(float));
    std::memcpy(path.arcPosition, source.arcPosition, n * sizeof(float));
    std::memcpy(path.edgeValue, source.edgeValue, n * sizeof(float));
    std::memcpy(path.packedU, source.packedU, n * sizeof(std::uint16_t));
    std::memcpy(path.packedT, source.packedT, n * sizeof(std::uint16_t));
    std::memcpy(path.packedTCopy, source.packedTCopy, n * sizeof(std::uint16_t));
    std::memcpy(path.packedW, source.packedW, n * sizeof(std::uint16_t));
    std::memcpy(path.pointFlag, source.pointFlag, n);
    std::memcpy(path.edgeKind, source.edgeKind, n);
  }
  CopyHeader(path, source);
  path.q = source.q;
  path.thirdWord = source.thirdWord;
  path.fourthWord = source.fourthWord;
}

void SweepPathReverseCopy(SweepPath& path, const SweepPath& source) {
  const std::uint32_t n = source.count;
  Prepare(path, n);
  ResetTotals(path);
  CopyHeader(path, source);
  path.q = source.p;
  if (n == 0) return;

  // Point 0 stays where it is; its outgoing edge is now the source's closing edge.
  path.x[0] = source.x[0];
  path.y[0] = source.y[0];
  path.packedU[0] = source.packedU[0];
  path.arcPosition[0] = source.arcPosition[0];
  path.packedT[0] = source.packedT[0];
  path.packedTCopy[0] = source.packedTCopy[0];
  path.packedW[0] = source.packedW[0];
  path.pointFlag[0] = source.pointFlag[0];
  path.edgeValue[0] = source.edgeValue[n - 1];
  path.edgeKind[0] = source.edgeKind[n - 1];
  for (std::uint32_t i = 1; i < n; ++i) {
    const std::uint32_t j = n - i;
    path.x[i] = source.x[j];
    path.y[i] = source.y[j];
    path.packedU[i] = source.packedU[j];
    path.packedW[i] = source.packedW[j];
    path.pointFlag[i] = source.pointFlag[j];
    path.arcPosition[i] = source.totalLength - source.arcPosition[j];
    path.packedT[i] = FloatToHalf(1.0f - HalfToFloat(source.packedT[j]));
    path.packedTCopy[i] = FloatToHalf(1.0f - HalfToFloat(source.packedTCopy[j]));
    path.edgeValue[i] = source.edgeValue[j - 1];
    path.edgeKind[i] = source.edgeKind[j - 1];
  }
}

std::uint32_t SweepPathAppend(SweepPath& path, float x, float y, float u, float t, float w,
                              float edgeValue, std::uint8_t edgeKind) {
  if (path.count >= path.capacity) return 0;
  const std::uint32_t i = path.count++;
  path.x[i] = x;
  path.y[i] = y;
  path.packedU[i] = FloatToHalf(u);
  path.packedT[i] = path.packedTCopy[i] = FloatToHalf(t);
  path.packedW[i] = FloatToHalf(w);
  path.edgeValue[i] = edgeValue;
  path.edgeKind[i] = edgeKind;
  path.pointFlag[i] = 0;
  return 1;
}

}  // namespace veskor
