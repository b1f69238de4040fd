// The noise executors: noise, noiseFrac and noiseTurb. The point value holds 1, 2 or 3 grids
// of coordinates, which choose the generator's dimension; the result is one grid of noise.
#include "mapengine/fx_executor_support.h"
#include "mapengine/fx_executors.h"
#include "mapengine/noise_fills.h"
#include "mapengine/noise_generator.h"

namespace veskor {

using namespace fx;

namespace {

enum class NoiseKind { kPlain, kFractal, kTurbulence };

struct Octaves {
  std::uint32_t n;
  float f0, ratio;
};

std::uint32_t NoiseOperator(NoiseKind kind, const char* name) {
  SetFxExecutorError(name);
  FxFrame& result = Result();
  FxFrame& points = Arg(kind == NoiseKind::kPlain ? 1 : 2);
  MapList& list = Temporaries();

  // The fills walk the first grid's vertices in every coordinate grid: all of one size.
  const std::uint32_t dimension = points.count;
  if (dimension < 1 || dimension > 3 || !GridsOfOneSize(points, dimension)) return 0;
  // The 1-D fills average over the 1-D noise table, which the render preparation builds.
  if (dimension == 1 && gNoiseGenerator.noise1D.table.data == nullptr) return 0;

  Octaves o{};
  if (kind != NoiseKind::kPlain) {
    // Octave count, base frequency and ratio come from the world: refuse what the octave
    // tables cannot hold (a count outside 1..32, a ratio of 0 or 1 or not finite).
    const FxFrame& parameters = Arg(1);
    if (parameters.count < 3) return 0;
    o = {TruncatedWord(parameters.floats[0]), parameters.floats[1], parameters.floats[2]};
    NoiseOctaves check;
    if (!NoiseOctaveTables(o.n, o.f0, o.ratio, check)) return 0;
  }

  FxMakeLive(result, 1);
  FxTakeLike(list, result, 0, points, 0);
  VertexGrid& d = *result.grids[0];
  VertexGrid& x = *points.grids[0];
  NoiseGenerator& g = gNoiseGenerator;
  bool ok = true;
  if (dimension == 1) {
    switch (kind) {
      case NoiseKind::kPlain: NoiseFill1D(g.noise1D, x, d); break;
      case NoiseKind::kFractal: ok = NoiseFractal1D(g.noise1D, o.n, o.f0, o.ratio, x, d); break;
      case NoiseKind::kTurbulence:
        ok = NoiseTurbulence1D(g.noise1D, o.n, o.f0, o.ratio, x, d);
        break;
    }
  } else if (dimension == 2) {
    const VertexGrid& y = *points.grids[1];
    switch (kind) {
      case NoiseKind::kPlain: NoiseFill2D(g.noise2D, x, y, d); break;
      case NoiseKind::kFractal:
        ok = NoiseFractal2D(g.noise2D, o.n, o.f0, o.ratio, x, y, d);
        break;
      case NoiseKind::kTurbulence:
        ok = NoiseTurbulence2D(g.noise2D, o.n, o.f0, o.ratio, x, y, d);
        break;
    }
  } else {
    const VertexGrid& y = *points.grids[1];
    const VertexGrid& z = *points.grids[2];
    switch (kind) {
      case NoiseKind::kPlain: NoiseFill3D(g.noise3D, x, y, z, d); break;
      case NoiseKind::kFractal:
        ok = NoiseFractal3D(g.noise3D, o.n, o.f0, o.ratio, x, y, z, d);
        break;
      case NoiseKind::kTurbulence:
        ok = NoiseTurbulence3D(g.noise3D, o.n, o.f0, o.ratio, x, y, z, d);
        break;
    }
  }
  if (!ok) return 0;
  ReleaseFxFrame(list, points);
  return 1;
}

}  // namespace

std::uint32_t FxNoise() { return NoiseOperator(NoiseKind::kPlain, "noise"); }
std::uint32_t FxNoiseFrac() { return NoiseOperator(NoiseKind::kFractal, "noiseFrac"); }
std::uint32_t FxNoiseTurb() { return NoiseOperator(NoiseKind::kTurbulence, "noiseTurb"); }

}  // namespace veskor
