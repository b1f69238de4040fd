#include "mapengine/vertex_volume.h"

#include "foundation/fatal_error.h"

namespace veskor {

void VertexVolumeInit(VertexVolume& volume) {
  MemBlockInit(volume.block);
  volume.data = nullptr;
  volume.sums = nullptr;
  volume.log2X = volume.log2Y = volume.log2Z = 0;
  volume.scaleX = volume.scaleY = volume.scaleZ = volume.scaleValue = 1.0f;
  volume.offsetX = volume.offsetY = volume.offsetZ = volume.offsetValue = 0.0f;
}

std::uint32_t GridVolumeSize(const VertexVolume& volume) {
  const std::uint32_t a = volume.log2X, b = volume.log2Y, c = volume.log2Z;
  return (1u << (a + b + c)) + (1u << (a + b)) + (1u << (a + c)) + (1u << a) +
         (1u << (b + c)) + (1u << b) + (1u << c) + 1u;
}

std::uint32_t GridVolumeIndex(const VertexVolume& volume, std::int32_t x, std::uint32_t y,
                              std::uint32_t z) {
  const std::uint32_t row = (1u << volume.log2X) + 1u;
  const std::uint32_t plane = row * ((1u << volume.log2Y) + 1u);
  return static_cast<std::uint32_t>(x) + y * row + z * plane;
}

void VertexVolumeAlloc(VertexVolume& volume, std::uint16_t a, std::uint16_t b, std::uint16_t c) {
  if (volume.data != nullptr) {
    if (volume.log2X == a && volume.log2Y == b && volume.log2Z == c) return;
    MemBlockRelease(volume.block);
  }
  // Two volumes must fit a 32-bit byte count.
  const std::uint64_t values = ((std::uint64_t{1} << a) + 1) * ((std::uint64_t{1} << b) + 1) *
                               ((std::uint64_t{1} << c) + 1);
  if (a > 28 || b > 28 || c > 28 || values > (std::uint64_t{1} << 28))
    FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  volume.log2X = a;
  volume.log2Y = b;
  volume.log2Z = c;
  const std::uint32_t valueBytes = 4u * GridVolumeSize(volume);
  MemBlockReserve(volume.block, 2 * valueBytes);
  volume.data = static_cast<float*>(MemBlockAppendFit(volume.block, valueBytes));
  volume.sums = nullptr;
  volume.halfStepX = 0.5f / static_cast<float>(1u << a);
  volume.halfStepY = 0.5f / static_cast<float>(1u << b);
  volume.halfStepZ = 0.5f / static_cast<float>(1u << c);
  volume.scaleX = volume.scaleY = volume.scaleZ = volume.scaleValue = 1.0f;
  volume.offsetX = volume.offsetY = volume.offsetZ = volume.offsetValue = 0.0f;
}

}  // namespace veskor
