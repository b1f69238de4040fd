// The fx executors: one function per operation of the fx language, called one after the
// other by the call-list runner. Each reads its frames through FxArgs (entry 0 the result,
// then the arguments in call order), copies its message "Execution error : '<name>'" into
// FxErrorText first, takes the rasters and grids of its result through CurrentMapList, and
// returns 1, or 0 on failure. On failure the arguments are not released and the components
// taken so far stay with the result (the context's sweep gives them back).
#pragma once

#include <cstdint>

namespace veskor {

// '=' (destination, source): the source's components are copied into the destination, whose
// old pool rasters and grids go back first; the result becomes a view of the destination
// (kind 0). Never fails.
std::uint32_t FxAssign();

// select (source, indices): one copy of the source's component per index below its count,
// indices being the index value's floats truncated toward zero. Fails ("[]") only when the
// copies would not fit a value: more than 16 components, or a raster or grid past the 8th.
std::uint32_t FxSelect();

// group2 .. group4: the arguments' components one after the other, copied. Fail only when
// they would not fit a value, as select does.
std::uint32_t FxGroup2();
std::uint32_t FxGroup3();
std::uint32_t FxGroup4();

// access (table, coordinates): bilinear lookups of a 1- to 3-component table at per-vertex
// coordinates.
std::uint32_t FxAccess();

// load (file name): an image file found along the search directories, one component per
// channel.
std::uint32_t FxLoad();

// Element-wise operators on two values; the result has the smaller count. Components pair as
// grid-grid or raster-raster of equal sizes, or with a float on either side (float - raster,
// float / grid and float / raster fail), or both floats.
std::uint32_t FxAdd();
std::uint32_t FxSub();
std::uint32_t FxMul();
std::uint32_t FxDiv();
std::uint32_t FxMin();
std::uint32_t FxMax();

// dot, cross (a, b): products of 3-component values, three grids or three floats each.
std::uint32_t FxDot();
std::uint32_t FxCross();

// abs (value): the absolute value of every grid or float component; a raster fails.
std::uint32_t FxAbs();

// repeat, clamp (range, value): every component wrapped into, or clamped to, [lo, hi]; the
// range holds one (lo, hi) pair for all components or one per component. A raster fails.
std::uint32_t FxRepeat();
std::uint32_t FxClamp();

// step, stepLinear, stepSmooth (edges, value): every component of the value must be a grid.
std::uint32_t FxStep();
std::uint32_t FxStepLinear();
std::uint32_t FxStepSmooth();

// noise (points); noiseFrac, noiseTurb (octave count, base frequency, ratio; points): one grid
// of noise over point grids of 1 to 3 coordinates.
std::uint32_t FxNoise();
std::uint32_t FxNoiseFrac();
std::uint32_t FxNoiseTurb();

// transform (value, matrix): three equal grids through a 16-float matrix.
std::uint32_t FxTransform();

// displace (first, amount, positions, normals): moves the positions along the normals by the
// amount and recomputes the normals, in place.
std::uint32_t FxDisplace();

}  // namespace veskor
