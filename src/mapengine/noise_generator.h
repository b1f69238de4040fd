// The noise generator: gradient noise in one, two and three dimensions on a lattice of 64 cells
// that repeats, built once at static construction from one fixed permutation and fixed tables
// of unit gradients. The fills, the tileable noise tables, the height-field layers and the
// cloud generation evaluate it.
//
// The lattice records are read directly by the low-cloud puff field (the three 3-D planes,
// their log2 size and NoiseCorners3D): their layout below is an interface.
#pragma once

#include <cstdint>

#include "mapengine/vertex_grid.h"
#include "mapengine/vertex_line.h"
#include "mapengine/vertex_volume.h"

namespace veskor {

// The lattice: 2^6 = 64 cells in each direction, stored with one wrap-around entry per
// direction (65 values per row, 65 rows, row after row).
inline constexpr std::uint32_t kNoiseLatticeLog2 = 6;
inline constexpr std::uint32_t kNoiseLatticeCells = 1u << kNoiseLatticeLog2;  // 64
inline constexpr std::uint32_t kNoiseLatticeMask = kNoiseLatticeCells - 1;    // 63
inline constexpr std::uint32_t kNoiseLatticeRow = kNoiseLatticeCells + 1;     // 65

// P[n] below is gNoisePermutation[n & 255], a fixed permutation of 0..255.
extern const std::uint8_t gNoisePermutation[256];
// 256 fixed unit vectors in the plane (x and y components) and in space (x, y and z).
extern const float gNoiseGradients2DX[256];
extern const float gNoiseGradients2DY[256];
extern const float gNoiseGradients3DX[256];
extern const float gNoiseGradients3DY[256];
extern const float gNoiseGradients3DZ[256];

// The lattices, each a record of its own, built once at static construction:
// - 1-D: 65 gradients L1[i] = G2x[P[i]] (log2 size 6), L1[64] = L1[0];
// - 2-D: LX and LY, the gradient components at (i, j): h = P[P[j] + i], value 65 j + i;
// - 3-D: GX, GY and GZ, one plane of 3-D gradients laid out as the 2-D lattice. The third
//   direction comes from shifting this plane per slice (see NoiseValue3D).
// Column 64 repeats column 0, row 64 repeats row 0.
extern VertexLine gNoiseLattice1D;
extern VertexGrid gNoiseLattice2DX, gNoiseLattice2DY;
extern VertexGrid gNoiseLattice3DX, gNoiseLattice3DY, gNoiseLattice3DZ;
// Per slice k of the 3-D noise, the plane shifts of slices k and k + 1 packed into bytes 0-3:
// P[k] >> 1, P[2k] >> 1, P[k+1] >> 1, P[2k+2] >> 1. Built with the 3-D lattice; the four-point
// evaluator reads it.
extern std::uint32_t gNoiseSliceShifts[256];
// 1 once the lattice is built; never reset.
extern std::uint32_t gNoiseLattice1DBuilt, gNoiseLattice2DBuilt, gNoiseLattice3DBuilt;

// One generator per dimension: its noise table (empty until the tileable tables are built),
// then its sampling transform. A point p maps to p * scale + offset per coordinate, a noise
// value v to v * scaleValue + offsetValue. Scales 1/64 (one input unit per period, since the
// evaluators multiply by 64), value scale 1, offsets 0.
struct NoiseGenerator1D {
  VertexLine table;
  float scaleX, scaleValue;
  float offsetX, offsetValue;
};

struct NoiseGenerator2D {
  VertexGrid table;
  float scaleX, scaleY, scaleValue;
  float offsetX, offsetY, offsetValue;
};

// The scales and the offsets each lie as one 4-vector (x, y, z, value).
struct NoiseGenerator3D {
  VertexVolume volume;
  float scaleX, scaleY, scaleZ, scaleValue;
  float offsetX, offsetY, offsetZ, offsetValue;
};

struct NoiseGenerator {
  NoiseGenerator1D noise1D;
  NoiseGenerator2D noise2D;
  NoiseGenerator3D noise3D;
};

// The program's generator, constructed (with the lattices) before the program starts and
// released at normal exit.
extern NoiseGenerator gNoiseGenerator;

// Builds each lattice whose built flag is 0 and sets the flag; inits the three table records
// and sets the transforms (and the tables' coordinate scales) to 1/64, 1 and 0.
void NoiseGeneratorInit(NoiseGenerator& generator);
// Gives the blocks of the three table records back and clears their pointers.
void NoiseGeneratorRelease(NoiseGenerator& generator);

// Lattice builders; a record of other sizes gives its block back first.
void NoiseLattice1D();
void NoiseLattice2D();
void NoiseLattice3D();

// The lattice floor: n = s truncated toward zero; when s < 0 and n - s > 1e-5, n - 1. So a
// negative s within 1e-5 below an integer keeps that integer (fraction s - n down to -1e-5).
// Coordinates beyond the 32-bit range give the integer 0x80000000 (the noise is then
// meaningless but every lattice index stays masked).
std::int32_t NoiseFloorTol(float s);

// Noise at lattice coordinates 64 x (and 64 y, 64 z). Zero at every lattice point; within
// +-0.5, +-sqrt(2)/2 and +-sqrt(3)/2; period 64 cells in x and y, 256 cells in z.
float NoiseValue1D(float x);
float NoiseValue2D(float x, float y);
float NoiseValue3D(float x, float y, float z);

// NoiseValue3D at four points (x, y, z 16-byte aligned), with a plain floor instead of the
// tolerant one and the arithmetic rounded toward minus infinity (it holds the rounding guard).
void NoiseValue3DQuad(const float* x, const float* y, const float* z, float* out);

// The lattice index of cell (i, j): (i & 63) + 65 (j & 63). Its corners (i, j), (i+1, j),
// (i, j+1), (i+1, j+1) lie at that index + 0, 1, 65 and 66.
inline std::uint32_t NoiseCellBase(std::int32_t i, std::int32_t j) {
  return (static_cast<std::uint32_t>(i) & kNoiseLatticeMask) +
         kNoiseLatticeRow * (static_cast<std::uint32_t>(j) & kNoiseLatticeMask);
}
// The four corner values of one lattice plane from a cell's index, in the corner order above.
inline void NoiseCellCorners(const float* plane, std::uint32_t base, float* out) {
  const float* p = plane + base;
  out[0] = p[0];
  out[1] = p[1];
  out[2] = p[kNoiseLatticeRow];
  out[3] = p[kNoiseLatticeRow + 1];
}
// The gradients at the corners of cell (i, j) of the 2-D lattice (LX and LY). Every evaluator
// reads its corners here; inline, so the inner loops keep them in registers.
inline void NoiseCorners2D(std::int32_t i, std::int32_t j, float* gx, float* gy) {
  const std::uint32_t base = NoiseCellBase(i, j);
  NoiseCellCorners(gNoiseLattice2DX.data, base, gx);
  NoiseCellCorners(gNoiseLattice2DY.data, base, gy);
}
// The same on the 3-D plane, without slice shift (the caller adds its slice's shift).
inline void NoiseCorners3D(std::int32_t i, std::int32_t j, float* gx, float* gy, float* gz) {
  const std::uint32_t base = NoiseCellBase(i, j);
  NoiseCellCorners(gNoiseLattice3DX.data, base, gx);
  NoiseCellCorners(gNoiseLattice3DY.data, base, gy);
  NoiseCellCorners(gNoiseLattice3DZ.data, base, gz);
}

}  // namespace veskor
