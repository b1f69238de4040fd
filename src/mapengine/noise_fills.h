// The noise fills: grids of point coordinates (one VertexGrid per coordinate) turned into a
// grid of noise values, one per vertex. Plain fills, fractal sums (weighted octaves at rising
// frequencies) and turbulence sums (the same with the absolute value of each octave), in one,
// two and three dimensions. The fx functions noise, noiseFrac and noiseTurb run on them.
//
// Every fill walks the (2^w+1)(2^h+1) vertices of the first source grid in index order (the
// other sources have the same sizes) and sizes the destination to them as VertexGridAlloc
// does. The 1-D fills average the noise over each vertex's footprint and need the 1-D noise
// table (BuildNoiseTable1D); the 2-D and 3-D fills sample the noise at the vertex's point.
// Fills keep nothing between calls and must not be entered twice at once.
#pragma once

#include <cstdint>

#include "mapengine/noise_generator.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

inline constexpr std::uint32_t kNoiseMaxOctaves = 32;

// The per-octave frequencies and amplitudes of one fractal or turbulence fill.
struct NoiseOctaves {
  std::uint32_t count;
  float frequency[kNoiseMaxOctaves];
  float amplitude[kNoiseMaxOctaves];
};

// With r = 1 / ratio: frequency[0] = f0, amplitude[0] = (1 - r) / (1 - r^n) (r^n in extended
// precision), then each octave L times the frequency and r times the amplitude of the one
// before; the amplitudes add up to 1. The octave count and the ratio come from world files:
// returns false, and fills nothing, for n outside 1..32, a ratio of 0 or 1 or not finite, or
// any other ratio for which amplitude[0] is not finite (a ratio of -1 with an even n).
bool NoiseOctaveTables(std::uint32_t n, float f0, float ratio, NoiseOctaves& octaves);

// The average of the 1-D table over [a, b] in table units (one period = 1.0), from its running
// sums: whole periods count through the period sum, so long and negative intervals work.
float NoiseIntervalAverage(const NoiseGenerator1D& generator, float a, float b);
// The 1-D noise over the source interval [u0, u1] through the generator's transform: the point
// value at the middle when the interval is narrower than half a table cell, else the average.
float NoiseSpan1D(const NoiseGenerator1D& generator, float u0, float u1);

// The fills. The 1-D fills give the source its cell-centre companion first (kept, valid flag
// 1, for later users). The fractal and turbulence fills return false and write nothing when
// NoiseOctaveTables refuses their octave parameters.
void NoiseFill1D(NoiseGenerator1D& generator, VertexGrid& sourceX, VertexGrid& destination);
bool NoiseFractal1D(NoiseGenerator1D& generator, std::uint32_t n, float f0, float ratio,
                    VertexGrid& sourceX, VertexGrid& destination);
bool NoiseTurbulence1D(NoiseGenerator1D& generator, std::uint32_t n, float f0, float ratio,
                       VertexGrid& sourceX, VertexGrid& destination);

void NoiseFill2D(NoiseGenerator2D& generator, const VertexGrid& sourceX,
                 const VertexGrid& sourceY, VertexGrid& destination);
bool NoiseFractal2D(NoiseGenerator2D& generator, std::uint32_t n, float f0, float ratio,
                    const VertexGrid& sourceX, const VertexGrid& sourceY,
                    VertexGrid& destination);
bool NoiseTurbulence2D(NoiseGenerator2D& generator, std::uint32_t n, float f0, float ratio,
                       const VertexGrid& sourceX, const VertexGrid& sourceY,
                       VertexGrid& destination);

// The 3-D plain and fractal fills take the SSE member when HasSse() says so, else the plain
// one; the turbulence fill has one member.
void NoiseFill3D(NoiseGenerator3D& generator, const VertexGrid& sourceX,
                 const VertexGrid& sourceY, const VertexGrid& sourceZ, VertexGrid& destination);
bool NoiseFractal3D(NoiseGenerator3D& generator, std::uint32_t n, float f0, float ratio,
                    const VertexGrid& sourceX, const VertexGrid& sourceY,
                    const VertexGrid& sourceZ, VertexGrid& destination);
bool NoiseTurbulence3D(NoiseGenerator3D& generator, std::uint32_t n, float f0, float ratio,
                       const VertexGrid& sourceX, const VertexGrid& sourceY,
                       const VertexGrid& sourceZ, VertexGrid& destination);

// The two members of the 3-D plain and fractal fills. The fractal members take octave tables
// that NoiseOctaveTables accepted. Each vertex gets the sum over the octaves of
// v_i * (amplitude[i] * value scale) + value offset, v_i the noise at
// ((frequency[i] * scale x) * x + offset x, ...), octave 0 stored and the others added.
// The SSE members take the vertices in blocks of 8 (two groups of 4 through the four-point
// evaluation, rounding toward minus infinity) and the remaining (count mod 8) one by one as the
// plain members do, with the same results.
namespace plain {
void NoiseFill3D(const NoiseGenerator3D& generator, const VertexGrid& sourceX,
                 const VertexGrid& sourceY, const VertexGrid& sourceZ, VertexGrid& destination);
void NoiseFractal3D(const NoiseGenerator3D& generator, const NoiseOctaves& octaves,
                    const VertexGrid& sourceX, const VertexGrid& sourceY,
                    const VertexGrid& sourceZ, VertexGrid& destination);
}  // namespace plain

namespace sse {
void NoiseFill3D(const NoiseGenerator3D& generator, const VertexGrid& sourceX,
                 const VertexGrid& sourceY, const VertexGrid& sourceZ, VertexGrid& destination);
void NoiseFractal3D(const NoiseGenerator3D& generator, const NoiseOctaves& octaves,
                    const VertexGrid& sourceX, const VertexGrid& sourceY,
                    const VertexGrid& sourceZ, VertexGrid& destination);
}  // namespace sse

}  // namespace veskor
