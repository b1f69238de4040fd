#include <cmath>
#include <cstdint>

#include "environment/noise_lattice_lookup.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "mapengine/kernel_table.h"
#include "mapengine/noise_generator.h"
#include "render/water_surface.h"

namespace veskor {

namespace {

// The texel normal of a height difference pair: (-k (d1 + d2), k (d2 - d1), z) normalised.
constexpr float kTexelSlope = 0.0125f;
constexpr float kTexelNormalZ = 0.0003125f;
constexpr float kTexelScale = 127.0f;

}  // namespace

// Empty, its format code from the water pass table (16 while it has no channels).
WaterPassTextureObject::WaterPassTextureObject() {
  state.formatCode = WaterPassFormatCode(state.channels);
}

WaterPassTextureObject WaterPassTexture;
std::uint32_t WaterPassBuilt = 0;

std::uint32_t WaterPassFormatCode(std::uint32_t channels) {
  switch (channels) {
    case 2: return kFormatSignedBytes | kLayoutDsdt;
    case 3: return kFormatSignedBytes | kLayoutRgb;
    case 4: return kFormatSignedBytes | kLayoutRgba;
    default: return kFormatSignedBytes | kLayoutLuminance;
  }
}

void WaterPassTextureResize(std::uint32_t channels, std::uint32_t log2Width,
                            std::uint32_t log2Height) {
  Texture2DResizeWH(WaterPassTexture, channels, log2Width, log2Height);
}

void NoiseCellGradients(std::uint32_t lx, std::uint32_t ly, std::int32_t ix, std::int32_t iy,
                        float* gx, float* gy) {
  const std::uint32_t mx = (1u << lx) - 1, my = (1u << ly) - 1;
  const auto ux = static_cast<std::uint32_t>(ix), uy = static_cast<std::uint32_t>(iy);
  const std::uint32_t x0 = ux & mx, x1 = (ux + 1) & mx;
  const std::uint32_t y0 = uy & my, y1 = (uy + 1) & my;
  const std::uint8_t* P = gNoisePermutation;
  const std::uint32_t h[4] = {P[(x0 + P[y0 & 255]) & 255], P[(x1 + P[y0 & 255]) & 255],
                              P[(x0 + P[y1 & 255]) & 255], P[(x1 + P[y1 & 255]) & 255]};
  for (int i = 0; i < 4; ++i) {
    gx[i] = gNoiseGradients2DX[h[i]];
    gy[i] = gNoiseGradients2DY[h[i]];
  }
}

float WaterNoise(std::uint32_t lx, std::uint32_t ly, float u, float v) {
  const float x = u * static_cast<float>(1u << lx);
  const float y = v * static_cast<float>(1u << ly);
  const std::int32_t ix = NoiseFloorTol(x);
  const std::int32_t iy = NoiseFloorTol(y);
  const float fx = x - static_cast<float>(ix), fy = y - static_cast<float>(iy);
  float gx[4], gy[4];
  NoiseCellGradients(lx, ly, ix, iy, gx, gy);
  const float d00 = gx[0] * fx + gy[0] * fy;
  const float d10 = gx[1] * (fx - 1) + gy[1] * fy;
  const float d01 = gx[2] * fx + gy[2] * (fy - 1);
  const float d11 = gx[3] * (fx - 1) + gy[3] * (fy - 1);
  const float sx = (3 - 2 * fx) * fx * fx;
  const float sy = (3 - 2 * fy) * fy * fy;
  const float a = d00 + sx * (d10 - d00);
  const float b = d01 + sx * (d11 - d01);
  return a + sy * (b - a);
}

void FractalNoiseGrid(std::uint32_t n, std::uint32_t px, std::uint32_t py, std::uint32_t sx,
                      std::uint32_t sy, const VertexGrid& U, const VertexGrid& V,
                      VertexGrid& out) {
  if (out.data == nullptr || out.log2Width != U.log2Width || out.log2Height != U.log2Height)
    VertexGridAlloc(out, U.log2Width, U.log2Height);
  const double r = 1.0 / static_cast<double>(1u << sx);
  float weight[32] = {};
  if (n > 32) n = 32;
  for (std::uint32_t k = 0; k < n; ++k)
    weight[k] = static_cast<float>(std::pow(r, k) * (1 - r) / (1 - std::pow(r, n)));
  const std::uint32_t count = VertexGridSideX(U) * VertexGridSideY(U);
  for (std::uint32_t i = 0; i < count; ++i) {
    const float u = U.data[i], v = V.data[i];
    float sum = n > 0 ? weight[0] * WaterNoise(px, py, u, v) : 0.0f;
    for (std::uint32_t k = 1; k < n; ++k)
      sum += weight[k] * NoiseLatticeLookup(px + k * sx, py + k * sy, u, v);
    out.data[i] = sum;
  }
}

void WaterPassTexels(const VertexGrid& C, std::int8_t* texels) {
  const std::uint32_t side = 1u << C.log2Width;
  const std::uint32_t stride = side + 1;
  const std::uint32_t rows = 1u << C.log2Height;
  for (std::uint32_t r = 0; r < rows; ++r) {
    const float* row0 = C.data + r * stride;
    const float* row1 = row0 + stride;
    for (std::uint32_t c = 0; c < side; ++c) {
      const float d1 = row1[c + 1] - row0[c];
      const float d2 = row0[c + 1] - row1[c];
      float N[3] = {-kTexelSlope * (d1 + d2), kTexelSlope * (d2 - d1), kTexelNormalZ};
      gKernelTable.KernelNormalize3(N);
      texels[2 * (r * side + c)] = static_cast<std::int8_t>(kTexelScale * N[0]);
      texels[2 * (r * side + c) + 1] = static_cast<std::int8_t>(kTexelScale * N[1]);
    }
  }
}

void WaterPassTextureBuild() {
  constexpr std::uint32_t kLog2 = kWaterPassLog2Size;
  constexpr std::uint32_t kSide = (1u << kLog2) + 1;
  VertexGrid U{}, V{}, C{};
  VertexGridInit(U);
  VertexGridInit(V);
  VertexGridInit(C);
  VertexGridAlloc(U, kLog2, kLog2);
  VertexGridAlloc(V, kLog2, kLog2);
  const float step = 1.0f / static_cast<float>(1u << kLog2);
  float v = 0;
  for (std::uint32_t r = 0; r < kSide; ++r, v += step) {
    float u = 0;
    for (std::uint32_t c = 0; c < kSide; ++c, u += step) {
      U.data[r * kSide + c] = u;
      V.data[r * kSide + c] = v;
    }
  }
  FractalNoiseGrid(kWaterPassOctaves, kWaterPassLog2Period, kWaterPassLog2Period, 1, 1, U, V, C);
  VertexGridRelease(U);
  VertexGridRelease(V);

  // A fresh upload: the resize resets the state (stale slot dropped, counted bytes returned,
  // a slot taken); the format follows the water pass table.
  Texture2D& t = WaterPassTexture;
  Texture2DResize(t, 2, kLog2, kLog2);
  t.state.formatCode = WaterPassFormatCode(2);
  WaterPassTexels(C, static_cast<std::int8_t*>(t.pixels.data));
  VertexGridRelease(C);

  Texture2DSetFilter(t, kFilterTrilinear);
  Texture2DSetWrap(t, kWrapRepeatS | kWrapRepeatT);
  if (HasExtension(kExtTextureLod) != 0) {
    t.state.maxLodFlag = 1;
    t.state.maxLod = kWaterPassMaxLod;
  }
  Texture2DBind(t, kModePlain, 0);
  MemBlockRelease(t.pixels.block);
  t.pixels.block = MemBlock{};
  t.pixels.data = nullptr;
  WaterPassBuilt = 1;
}

}  // namespace veskor
