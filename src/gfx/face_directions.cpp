#include "gfx/face_directions.h"

#include "mapengine/kernel_table.h"

namespace veskor {

TexturePixels FaceDirectionTexels[kFaceDirectionLevels];
FaceCornerTable FaceDirectionCorners[kFaceDirectionLevels];

namespace {

// The unit direction through the point (u, v) of the face z = 1.
void Direction(float u, float v, float* out) {
  const float r = gKernelTable.KernelInvSqrt(u * u + v * v + 1.0f);
  out[0] = u * r;
  out[1] = v * r;
  out[2] = r;
}

}  // namespace

void BuildFaceDirectionTables() {
  for (std::uint32_t level = 0; level < kFaceDirectionLevels; ++level) {
    TexturePixels& texels = FaceDirectionTexels[level];
    if (texels.data != nullptr) continue;
    const std::uint32_t n = 1u << level;
    const float step = 2.0f / static_cast<float>(n);
    TexturePixelsResizeFloat(texels, 3, level, level);
    auto* t = static_cast<float*>(texels.data);
    for (std::uint32_t j = 0; j < n; ++j) {
      for (std::uint32_t i = 0; i < n; ++i) {
        Direction(-1.0f + (static_cast<float>(i) + 0.5f) * step,
                  -1.0f + (static_cast<float>(j) + 0.5f) * step, t + (j * n + i) * 3);
      }
    }

    FaceCornerTable& corners = FaceDirectionCorners[level];
    const std::uint32_t bytes = (n + 1) * (n + 1) * 3 * sizeof(float);
    MemBlockReserve(corners.block, bytes);
    corners.block.usedBytes = 0;
    corners.data = static_cast<float*>(MemBlockAppendFit(corners.block, bytes));
    corners.log2Width = corners.log2Height = static_cast<std::uint16_t>(level);
    corners.channels = 3;
    for (std::uint32_t j = 0; j <= n; ++j) {
      for (std::uint32_t i = 0; i <= n; ++i) {
        Direction(-1.0f + static_cast<float>(i) * step, -1.0f + static_cast<float>(j) * step,
                  corners.data + (j * (n + 1) + i) * 3);
      }
    }
  }
}

}  // namespace veskor
