// Plain members of the layout conversions, averages, subdivision and summed tables, and the
// registration of the whole layout family. Sums are kept in double and rounded once.
#include <cstring>

#include "mapengine/grid_arithmetic_kernels.h"
#include "mapengine/grid_layout_kernels.h"

namespace veskor {

namespace plain {

namespace {

using u8 = std::uint8_t;
using u32 = std::uint32_t;

float Average4(float s00, float s01, float s10, float s11) {
  return static_cast<float>(0.25 * (double{s00} + s01 + s10 + s11));
}

// 0.75 (n0 + n1) - 0.25 (f0 + f1): the value half a cell beyond the near pair n.
float Extrapolate(float n0, float n1, float f0, float f1) {
  return static_cast<float>(0.75 * (double{n0} + n1) - 0.25 * (double{f0} + f1));
}

}  // namespace

void GridCopy(u8 a, u8 b, const float* source, float* destination) {
  std::memcpy(destination, source, sizeof(float) * GridValueCount(a, b));
}

void GridFromBordered(u8 a, u8 b, const float* net, float* destination) {
  const u32 w = (1u << a) + 1, netStride = w + 2;
  for (u32 j = 0; j <= (1u << b); ++j)
    std::memcpy(destination + j * w, net + (j + 1) * netStride + 1, sizeof(float) * w);
}

void GridToNet(u8 a, u8 b, u32 wrapX, u32 wrapY, const float* source, float* net) {
  const u32 W = 1u << a, H = 1u << b, sw = W + 1, nw = W + 3;
  auto S = [&](u32 j, u32 i) { return source[j * sw + i]; };
  auto D = [&](u32 j, u32 i) -> float& { return net[j * nw + i]; };
  for (u32 j = 0; j <= H; ++j) std::memcpy(&D(j + 1, 1), source + j * sw, sizeof(float) * sw);
  D(0, 0) = S(0, 0);
  D(0, W + 2) = S(0, W);
  D(H + 2, 0) = S(H, 0);
  D(H + 2, W + 2) = S(H, W);
  const u32 top = wrapY ? H - 1 : 0, bottom = wrapY ? 1 : H;
  std::memcpy(&D(0, 1), source + top * sw, sizeof(float) * sw);
  std::memcpy(&D(H + 2, 1), source + bottom * sw, sizeof(float) * sw);
  const u32 left = wrapX ? W - 1 : 0, right = wrapX ? 1 : W;
  for (u32 j = 0; j <= H; ++j) {
    D(j + 1, 0) = S(j, left);
    D(j + 1, W + 2) = S(j, right);
  }
}

void MapChannelToBordered(u8 step, u8 a, u8 b, const float* source, float* cells) {
  const u32 W = 1u << a, H = 1u << b, cw = W + 2;
  for (u32 j = 0; j < H; ++j)
    for (u32 i = 0; i < W; ++i) cells[(j + 1) * cw + i + 1] = source[(j * W + i) * step];
  std::memcpy(cells + 1, cells + cw + 1, sizeof(float) * W);
  std::memcpy(cells + (H + 1) * cw + 1, cells + H * cw + 1, sizeof(float) * W);
  for (u32 j = 0; j <= H + 1; ++j) {
    cells[j * cw] = cells[j * cw + 1];
    cells[j * cw + W + 1] = cells[j * cw + W];
  }
}

void GridCellCentres(u8 a, u8 b, const float* source, float* cells) {
  const u32 W = 1u << a, H = 1u << b, sw = W + 1, cw = W + 2;
  auto S = [&](u32 j, u32 i) { return source[j * sw + i]; };
  auto D = [&](u32 j, u32 i) -> float& { return cells[j * cw + i]; };
  for (u32 j = 0; j < H; ++j)
    for (u32 i = 0; i < W; ++i) D(j + 1, i + 1) = Average4(S(j, i), S(j, i + 1), S(j + 1, i), S(j + 1, i + 1));
  for (u32 i = 0; i < W; ++i) {
    D(0, i + 1) = Extrapolate(S(0, i), S(0, i + 1), S(1, i), S(1, i + 1));
    D(H + 1, i + 1) = Extrapolate(S(H, i), S(H, i + 1), S(H - 1, i), S(H - 1, i + 1));
  }
  for (u32 j = 0; j < H; ++j) {
    D(j + 1, 0) = Extrapolate(S(j, 0), S(j + 1, 0), S(j, 1), S(j + 1, 1));
    D(j + 1, W + 1) = Extrapolate(S(j, W), S(j + 1, W), S(j, W - 1), S(j + 1, W - 1));
  }
  auto corner = [](float near, float far) { return static_cast<float>(1.5 * near - 0.5 * far); };
  D(0, 0) = corner(S(0, 0), S(1, 1));
  D(0, W + 1) = corner(S(0, W), S(1, W - 1));
  D(H + 1, 0) = corner(S(H, 0), S(H - 1, 1));
  D(H + 1, W + 1) = corner(S(H, W), S(H - 1, W - 1));
}

void GridNetToCells(u8 a, u8 b, const float* net, float* cells) {
  const u32 W = 1u << a, H = 1u << b, nw = W + 3, cw = W + 2;
  for (u32 j = 0; j <= H + 1; ++j) {
    const float* s0 = net + j * nw;
    const float* s1 = s0 + nw;
    for (u32 i = 0; i <= W + 1; ++i) cells[j * cw + i] = Average4(s0[i], s0[i + 1], s1[i], s1[i + 1]);
  }
}

void GridAverage2x2(u8 a, u8 b, const float* source, u8 ch, float* destination) {
  const u32 W = 1u << a, H = 1u << b, sw = W + 1;
  const u32 copies = ch > 1 ? ch : 1;
  for (u32 j = 0; j < H; ++j) {
    const float* s0 = source + j * sw;
    const float* s1 = s0 + sw;
    for (u32 i = 0; i < W; ++i) {
      const float v = Average4(s0[i], s0[i + 1], s1[i], s1[i + 1]);
      float* d = destination + (j * W + i) * copies;
      for (u32 c = 0; c < copies; ++c) d[c] = v;
    }
  }
}

void GridSubdivide2x(u8 a, u8 b, const float* source, float* destination) {
  const u32 W = 1u << a, H = 1u << b, sw = W + 1, dw = 2 * W + 1;
  for (u32 j = 0; j <= H; ++j) {
    const float* s0 = source + j * sw;
    float* even = destination + 2 * j * dw;
    for (u32 i = 0; i < W; ++i) {
      even[2 * i] = s0[i];
      even[2 * i + 1] = static_cast<float>(0.5 * (double{s0[i]} + s0[i + 1]));
    }
    even[2 * W] = s0[W];
    if (j == H) break;
    const float* s1 = s0 + sw;
    float* odd = even + dw;
    for (u32 i = 0; i < W; ++i) {
      odd[2 * i] = static_cast<float>(0.5 * (double{s0[i]} + s1[i]));
      odd[2 * i + 1] = Average4(s0[i], s0[i + 1], s1[i], s1[i + 1]);
    }
    odd[2 * W] = static_cast<float>(0.5 * (double{s0[W]} + s1[W]));
  }
}

void GridSummedArea(u8 a, u8 b, const float* source, float* destination) {
  const u32 W = 1u << a, H = 1u << b, w = W + 1;
  for (u32 i = 0; i <= W; ++i) destination[i] = 0.0f;
  for (u32 j = 1; j <= H; ++j) {
    float* d = destination + j * w;
    const float* up = d - w;
    const float* s = source + (j - 1) * w;
    d[0] = 0.0f;
    for (u32 i = 1; i <= W; ++i)
      d[i] = static_cast<float>(double{d[i - 1]} + s[i - 1] + up[i] - up[i - 1]);
  }
}

void VolumeSummedTable(u8 a, u8 b, u8 c, const float* source, float* destination) {
  const u32 W = 1u << a, H = 1u << b, w = W + 1;
  // The plane holds (2^a+1)(2^b+1) values; clearing (2^a+1)^2 would run past a plane that is
  // wider than high.
  const u32 plane = w * (H + 1);
  for (u32 n = 0; n < plane; ++n) destination[n] = 0.0f;
  for (u32 k = 1; k <= (1u << c); ++k) {
    float* D = destination + k * plane;
    const float* P = D - plane;                        // previous plane of D
    const float* S = source + (k - 1) * plane;         // previous plane of S
    for (u32 i = 0; i <= W; ++i) D[i] = 0.0f;
    for (u32 j = 1; j <= H; ++j) {
      D[j * w] = 0.0f;
      for (u32 i = 1; i <= W; ++i) {
        const u32 x = j * w + i;
        D[x] = static_cast<float>(double{D[x - 1]} + S[x - w - 1] + D[x - w] - D[x - w - 1] +
                                  P[x] - P[x - 1] - P[x - w] + P[x - w - 1]);
      }
    }
  }
}

}  // namespace plain

}  // namespace veskor
