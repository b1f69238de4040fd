// The 1-D and 2-D fills, the 3-D turbulence sum, the octave tables and the choice between the
// members of the 3-D plain and fractal fills.
#include "mapengine/noise_fills.h"

#include <cmath>

#include "foundation/mem_block.h"
#include "mapengine/kernel_table.h"
#include "mapengine/noise_fills_scalar.h"

namespace veskor {

bool NoiseOctaveTables(std::uint32_t n, float f0, float ratio, NoiseOctaves& octaves) {
  if (n < 1 || n > kNoiseMaxOctaves) return false;
  if (!std::isfinite(ratio) || ratio == 0.0f || ratio == 1.0f) return false;
  const float r = 1.0f / ratio;
  const long double rn = std::pow(static_cast<long double>(r), static_cast<int>(n));
  const float first = static_cast<float>((1.0L - r) / (1.0L - rn));
  if (!std::isfinite(first)) return false;
  octaves.count = n;
  octaves.frequency[0] = f0;
  octaves.amplitude[0] = first;
  for (std::uint32_t i = 1; i < n; ++i) {
    octaves.frequency[i] = ratio * octaves.frequency[i - 1];
    octaves.amplitude[i] = r * octaves.amplitude[i - 1];
  }
  return true;
}

namespace {

// The running sum of the 1-D table up to t (table units): whole periods through the period
// sum R[M], the rest through R[k]. k is kept inside the table whatever t is (coordinates far
// beyond the 32-bit range would otherwise index past the sums).
float RunningSum(const VertexLine& table, float t) {
  const std::uint32_t m = 1u << table.log2Size;
  const std::int32_t n = NoiseFloorTol(t);
  const float scaled = (t - static_cast<float>(n)) * static_cast<float>(m);
  std::uint32_t k = 0;
  if (scaled >= static_cast<float>(m)) k = m;
  else if (scaled > 0.0f) k = static_cast<std::uint32_t>(scaled);
  const float* r = table.sums;
  return n == 0 ? r[k] : static_cast<float>(n) * r[m] + r[k];
}

// The 1-D noise over [a, b] in table units.
float Footprint(const NoiseGenerator1D& generator, float a, float b) {
  if (b - a < generator.table.halfStep) return NoiseValue1D((a + b) * 0.5f);
  return NoiseIntervalAverage(generator, a, b);
}

// Gives the source its cell-centre companion in its second companion pointer: the storage of
// the first pointer moves there, or the companion follows the values in the grid's block; it
// is (re)computed unless it holds a current copy.
const float* CellCentres(VertexGrid& grid) {
  VertexGridTakeCompanion(grid, 1);
  if (grid.companionValid == 0) {
    gKernelTable.GridCellCentres(static_cast<std::uint8_t>(grid.log2Width),
                                 static_cast<std::uint8_t>(grid.log2Height), grid.data,
                                 grid.companion[1]);
    grid.companionValid = 1;
  }
  return grid.companion[1];
}

// Walks the vertices of `source` with the bounds lo, hi of each vertex's footprint: the least
// and greatest of the four surrounding cell centres, compared in the order vertex, right,
// below, below right.
template <class PerVertex>
void WalkFootprints(VertexGrid& source, VertexGrid& destination, PerVertex perVertex) {
  const float* cells = CellCentres(source);
  VertexGridAlloc(destination, source.log2Width, source.log2Height);
  const std::uint32_t w = 1u << source.log2Width, h = 1u << source.log2Height;
  const std::uint32_t cellRow = w + 2;
  float* d = destination.data;
  for (std::uint32_t j = 0; j <= h; ++j) {
    for (std::uint32_t i = 0; i <= w; ++i) {
      const float* c = cells + cellRow * j + i;
      const float around[4] = {c[0], c[1], c[cellRow], c[cellRow + 1]};
      float lo = around[0], hi = around[0];
      for (int n = 1; n < 4; ++n) {
        if (around[n] < lo) lo = around[n];
        if (around[n] > hi) hi = around[n];
      }
      *d++ = perVertex(lo, hi);
    }
  }
}

// The 1-D fractal and turbulence sums; `term` turns an octave's amplitude and noise value
// into its contribution.
template <class Term>
bool Octaves1D(NoiseGenerator1D& g, std::uint32_t n, float f0, float ratio, VertexGrid& sourceX,
               VertexGrid& destination, Term term) {
  NoiseOctaves o;
  if (!NoiseOctaveTables(n, f0, ratio, o)) return false;
  WalkFootprints(sourceX, destination, [&](float lo, float hi) {
    const float a = o.frequency[0] * lo * g.scaleX + g.offsetX;
    const float b = o.frequency[0] * hi * g.scaleX + g.offsetX;
    float sum = term(o.amplitude[0], Footprint(g, a, b) * g.scaleValue + g.offsetValue);
    for (std::uint32_t i = 1; i < o.count; ++i)
      sum += term(o.amplitude[i], NoiseSpan1D(g, o.frequency[i] * lo, o.frequency[i] * hi));
    return sum;
  });
  return true;
}

// The fractal and turbulence sums: per vertex, term(amplitude, noise) of each octave summed in
// octave order, noise(v, frequency) the generator's value for vertex v at that frequency.
template <class Term, class Noise>
bool OctaveSums(std::uint32_t n, float f0, float ratio, const VertexGrid& sourceX,
                VertexGrid& destination, Term term, Noise noise) {
  NoiseOctaves o;
  if (!NoiseOctaveTables(n, f0, ratio, o)) return false;
  VertexGridAlloc(destination, sourceX.log2Width, sourceX.log2Height);
  const std::uint32_t count = plain::NoiseVertexCount(sourceX);
  float* d = destination.data;
  for (std::uint32_t v = 0; v < count; ++v) {
    float sum = 0.0f;
    for (std::uint32_t i = 0; i < o.count; ++i) {
      const float t = term(o.amplitude[i], noise(v, o.frequency[i]));
      sum = i == 0 ? t : sum + t;
    }
    d[v] = sum;
  }
  return true;
}

// The 2-D fractal and turbulence sums.
template <class Term>
bool Octaves2D(NoiseGenerator2D& g, std::uint32_t n, float f0, float ratio,
               const VertexGrid& sourceX, const VertexGrid& sourceY, VertexGrid& destination,
               Term term) {
  return OctaveSums(n, f0, ratio, sourceX, destination, term, [&](std::uint32_t v, float f) {
    const float value = NoiseValue2D(f * sourceX.data[v] * g.scaleX + g.offsetX,
                                     f * sourceY.data[v] * g.scaleY + g.offsetY);
    return value * g.scaleValue + g.offsetValue;
  });
}

float Signed(float amplitude, float value) { return amplitude * value; }
float Absolute(float amplitude, float value) { return std::fabs(amplitude * value); }

}  // namespace

float NoiseIntervalAverage(const NoiseGenerator1D& generator, float a, float b) {
  const VertexLine& table = generator.table;
  const float m = static_cast<float>(1u << table.log2Size);
  const float count = std::trunc((b - a) * m + 1.0f);
  const float end = b + 2.0f * table.halfStep;
  return (RunningSum(table, end) - RunningSum(table, a)) / count;
}

float NoiseSpan1D(const NoiseGenerator1D& generator, float u0, float u1) {
  const float a = u0 * generator.scaleX + generator.offsetX;
  const float b = u1 * generator.scaleX + generator.offsetX;
  return Footprint(generator, a, b) * generator.scaleValue + generator.offsetValue;
}

void NoiseFill1D(NoiseGenerator1D& g, VertexGrid& sourceX, VertexGrid& destination) {
  WalkFootprints(sourceX, destination, [&](float lo, float hi) {
    const float a = lo * g.scaleX + g.offsetX, b = hi * g.scaleX + g.offsetX;
    return Footprint(g, a, b) * g.scaleValue + g.offsetValue;
  });
}

bool NoiseFractal1D(NoiseGenerator1D& g, std::uint32_t n, float f0, float ratio,
                    VertexGrid& sourceX, VertexGrid& destination) {
  return Octaves1D(g, n, f0, ratio, sourceX, destination, Signed);
}

bool NoiseTurbulence1D(NoiseGenerator1D& g, std::uint32_t n, float f0, float ratio,
                       VertexGrid& sourceX, VertexGrid& destination) {
  return Octaves1D(g, n, f0, ratio, sourceX, destination, Absolute);
}

void NoiseFill2D(NoiseGenerator2D& g, const VertexGrid& sourceX, const VertexGrid& sourceY,
                 VertexGrid& destination) {
  VertexGridAlloc(destination, sourceX.log2Width, sourceX.log2Height);
  const std::uint32_t count = plain::NoiseVertexCount(sourceX);
  const float* x = sourceX.data;
  const float* y = sourceY.data;
  float* d = destination.data;
  for (std::uint32_t v = 0; v < count; ++v) {
    const float value = NoiseValue2D(x[v] * g.scaleX + g.offsetX, y[v] * g.scaleY + g.offsetY);
    d[v] = value * g.scaleValue + g.offsetValue;
  }
}

bool NoiseFractal2D(NoiseGenerator2D& g, std::uint32_t n, float f0, float ratio,
                    const VertexGrid& sourceX, const VertexGrid& sourceY,
                    VertexGrid& destination) {
  return Octaves2D(g, n, f0, ratio, sourceX, sourceY, destination, Signed);
}

bool NoiseTurbulence2D(NoiseGenerator2D& g, std::uint32_t n, float f0, float ratio,
                       const VertexGrid& sourceX, const VertexGrid& sourceY,
                       VertexGrid& destination) {
  return Octaves2D(g, n, f0, ratio, sourceX, sourceY, destination, Absolute);
}

void NoiseFill3D(NoiseGenerator3D& g, const VertexGrid& sourceX, const VertexGrid& sourceY,
                 const VertexGrid& sourceZ, VertexGrid& destination) {
  if (HasSse() != 0) sse::NoiseFill3D(g, sourceX, sourceY, sourceZ, destination);
  else plain::NoiseFill3D(g, sourceX, sourceY, sourceZ, destination);
}

bool NoiseFractal3D(NoiseGenerator3D& g, std::uint32_t n, float f0, float ratio,
                    const VertexGrid& sourceX, const VertexGrid& sourceY,
                    const VertexGrid& sourceZ, VertexGrid& destination) {
  NoiseOctaves o;
  if (!NoiseOctaveTables(n, f0, ratio, o)) return false;
  if (HasSse() != 0) sse::NoiseFractal3D(g, o, sourceX, sourceY, sourceZ, destination);
  else plain::NoiseFractal3D(g, o, sourceX, sourceY, sourceZ, destination);
  return true;
}

bool NoiseTurbulence3D(NoiseGenerator3D& g, std::uint32_t n, float f0, float ratio,
                       const VertexGrid& sourceX, const VertexGrid& sourceY,
                       const VertexGrid& sourceZ, VertexGrid& destination) {
  return OctaveSums(n, f0, ratio, sourceX, destination, Absolute, [&](std::uint32_t v, float f) {
    const float value = NoiseValue3D(f * g.scaleX * sourceX.data[v] + g.offsetX,
                                     f * g.scaleY * sourceY.data[v] + g.offsetY,
                                     f * g.scaleZ * sourceZ.data[v] + g.offsetZ);
    return value * g.scaleValue + g.offsetValue;
  });
}

}  // namespace veskor
