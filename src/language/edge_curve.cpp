#include "language/edge_curve.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "foundation/fatal_error.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

constexpr std::uint32_t kEdgeCurveRecordBytes = sizeof(EdgeCurve);

std::uint32_t PointBytes(std::uint32_t n) {
  const std::uint64_t bytes = std::uint64_t{n} * kEdgeCurvePointBytes;
  if (bytes > UINT32_MAX) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  return static_cast<std::uint32_t>(bytes);
}

float* CarveFloats(MemBlock& block, std::uint32_t n) {
  return static_cast<float*>(MemBlockAppend(block, n * static_cast<std::uint32_t>(sizeof(float))));
}

// The ten arrays in their fixed order, from the start of the block.
void CarveArrays(EdgeCurve& curve, std::uint32_t n) {
  MemBlock& block = curve.block;
  curve.x = CarveFloats(block, n);
  curve.y = CarveFloats(block, n);
  curve.height = CarveFloats(block, n);
  curve.edgeSharpness = CarveFloats(block, n);
  curve.sectionSharpness = CarveFloats(block, n);
  curve.param = CarveFloats(block, n);
  curve.arcLength = CarveFloats(block, n);
  curve.levels = CarveFloats(block, n);
  curve.skipDepth = static_cast<std::int8_t*>(MemBlockAppend(block, n));
  curve.flag = static_cast<std::uint8_t*>(MemBlockAppend(block, n));
}

void ParkCurves(EdgeCurveList& list) {
  for (std::uint32_t i = 0; i < list.count; ++i) EdgeCurveRelease(list.curves[i]);
}

float Distance(const EdgeCurve& c, std::uint32_t i, std::uint32_t j) {
  const float dx = c.x[j] - c.x[i];
  const float dy = c.y[j] - c.y[i];
  const float dz = c.height[j] - c.height[i];
  return gKernelTable.KernelSqrt(dx * dx + dy * dy + dz * dz);
}

// Widens a (min x, max x, min y, max y, min h, max h) box by another.
void WidenBox(float* box, const float* other) {
  for (int axis = 0; axis < 3; ++axis) {
    box[2 * axis] = gKernelTable.KernelMin(box[2 * axis], other[2 * axis]);
    box[2 * axis + 1] = gKernelTable.KernelMax(box[2 * axis + 1], other[2 * axis + 1]);
  }
}

}  // namespace

void EdgeCurveInit(EdgeCurve& curve) {
  float box[6];
  std::memcpy(box, curve.box, sizeof box);
  curve = EdgeCurve{};
  std::memcpy(curve.box, box, sizeof box);
}

void EdgeCurveResize(EdgeCurve& curve, std::uint32_t n) {
  if (curve.block.base == nullptr) {
    if (n > 0) {
      MemBlockReserve(curve.block, PointBytes(n));
      CarveArrays(curve, n);
    }
    curve.capacity = n;
  } else if (curve.capacity != n) {
    const std::uint64_t reserved = std::uint64_t{1} << curve.block.sizeClass;
    const std::uint64_t committed = std::uint64_t{curve.block.committedPages} * 4096;
    const std::uint32_t bytes = PointBytes(n);
    if (bytes > std::min(reserved, committed)) {
      MemBlockRelease(curve.block);
      curve.block = MemBlock{};
      MemBlockReserve(curve.block, bytes);
    } else {
      curve.block.usedBytes = 0;
    }
    CarveArrays(curve, n);
    curve.capacity = n;
  }
  curve.count = 0;
  curve.extra = 0;
  curve.length = 0;
}

void EdgeCurveCopy(EdgeCurve& destination, const EdgeCurve& source) {
  const std::uint32_t n = source.count;
  EdgeCurveResize(destination, n);
  if (n > 0) {
    const std::size_t floats = n * sizeof(float);
    std::memcpy(destination.x, source.x, floats);
    std::memcpy(destination.y, source.y, floats);
    std::memcpy(destination.height, source.height, floats);
    std::memcpy(destination.edgeSharpness, source.edgeSharpness, floats);
    std::memcpy(destination.sectionSharpness, source.sectionSharpness, floats);
    std::memcpy(destination.param, source.param, floats);
    std::memcpy(destination.arcLength, source.arcLength, floats);
    std::memcpy(destination.levels, source.levels, floats);
    std::memcpy(destination.skipDepth, source.skipDepth, n);
    std::memcpy(destination.flag, source.flag, n);
  }
  destination.count = n;
  destination.extra = source.extra;
  destination.length = source.length;
  std::memcpy(destination.box, source.box, sizeof destination.box);
}

bool AppendCurvePoint(EdgeCurve& curve, float x, float y, float height, float edgeSharpness,
                      float sectionSharpness, float levels, std::uint8_t flag) {
  const std::uint32_t i = curve.count;
  if (i >= curve.capacity) return false;
  curve.x[i] = x;
  curve.y[i] = y;
  curve.height[i] = height;
  curve.edgeSharpness[i] = edgeSharpness;
  curve.sectionSharpness[i] = sectionSharpness;
  curve.param[i] = static_cast<float>(i);
  curve.levels[i] = levels;
  curve.skipDepth[i] = 0;
  curve.flag[i] = flag;
  curve.count = i + 1;
  return true;
}

void EdgeCurveMetrics(EdgeCurve& curve) {
  const std::uint32_t n = curve.count;
  if (n == 0) {
    curve.length = 0;
    std::fill(std::begin(curve.box), std::end(curve.box), 0.0f);
    return;
  }
  curve.arcLength[0] = 0;
  const float first[6] = {curve.x[0], curve.x[0],      curve.y[0],
                          curve.y[0], curve.height[0], curve.height[0]};
  std::memcpy(curve.box, first, sizeof first);
  for (std::uint32_t i = 1; i < n; ++i) {
    curve.arcLength[i] = curve.arcLength[i - 1] + Distance(curve, i - 1, i);
    const float point[6] = {curve.x[i], curve.x[i],      curve.y[i],
                            curve.y[i], curve.height[i], curve.height[i]};
    WidenBox(curve.box, point);
  }
  curve.length = curve.arcLength[n - 1] + Distance(curve, n - 1, 0);
}

void EdgeCurveRelease(EdgeCurve& curve) {
  if (curve.block.base != nullptr) MemBlockRelease(curve.block);
  EdgeCurveInit(curve);
}

void EdgeCurveListInit(EdgeCurveList& list) {
  list.block = MemBlock{};
  list.curves = nullptr;
  list.count = 0;
  list.kind = 0;
  list.capacity = 0;
}

void EdgeCurveListResize(EdgeCurveList& list, std::uint32_t n, std::uint32_t kind) {
  list.kind = kind;
  ParkCurves(list);
  if (list.capacity < n) {
    if (list.block.base != nullptr) MemBlockRelease(list.block);
    list.block = MemBlock{};
    MemBlockReserve(list.block, n * kEdgeCurveRecordBytes);
    list.curves = reinterpret_cast<EdgeCurve*>(list.block.base);
    list.capacity = n;
  }
  // Appends start again from the first record.
  list.block.usedBytes = 0;
  list.count = 0;
}

EdgeCurve* EdgeCurveListAppend(EdgeCurveList& list, std::uint32_t n) {
  const std::uint64_t bytes = std::uint64_t{n} * kEdgeCurveRecordBytes;
  if (bytes > UINT32_MAX) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  auto* first =
      static_cast<EdgeCurve*>(MemBlockAppend(list.block, static_cast<std::uint32_t>(bytes)));
  // Cleared, and with a zero box: the bytes may come from a parked block.
  for (std::uint32_t i = 0; i < n; ++i) first[i] = EdgeCurve{};
  list.count += n;
  return first;
}

void EdgeCurveListClear(EdgeCurveList& list) {
  ParkCurves(list);
  list.count = 0;
  list.block.usedBytes = 0;
}

void EdgeCurveListFree(EdgeCurveList& list) {
  ParkCurves(list);
  if (list.block.base != nullptr) MemBlockRelease(list.block);
  EdgeCurveListInit(list);
}

void EdgeCurveListReserve(EdgeCurveList& list, std::uint32_t bytes) {
  ParkCurves(list);
  MemBlockReserve(list.block, bytes);
  list.curves = reinterpret_cast<EdgeCurve*>(list.block.base);
  list.capacity = list.block.base == nullptr
                      ? 0
                      : static_cast<std::uint32_t>((std::uint64_t{1} << list.block.sizeClass) /
                                                   kEdgeCurveRecordBytes);
  list.block.usedBytes = 0;
  list.count = 0;
}

void ModelCurveMetrics(EdgeCurveList& list) {
  if (list.count == 0) {
    std::fill(std::begin(list.box), std::end(list.box), 0.0f);
    return;
  }
  for (std::uint32_t i = 0; i < list.count; ++i) EdgeCurveMetrics(list.curves[i]);
  std::memcpy(list.box, list.curves[0].box, sizeof list.box);
  for (std::uint32_t i = 1; i < list.count; ++i) WidenBox(list.box, list.curves[i].box);
}

}  // namespace veskor
