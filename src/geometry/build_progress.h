// What the render session hands the scene build and reads back from it: the progress callback
// with the range of the stage the build reports in, and the running box of everything the
// build generated. The render session set-up empties both before every scene build.
//
// The renderer owns these records, but it is built on the geometry folder, which writes them:
// they live here so both can reach them.
#pragma once

#include <cstdint>

namespace veskor {

// (label, fraction within the stage, fraction of the whole preparation) -> 0 to stop. A null
// callback skips every report and cannot stop anything.
using ProgressCallback = std::int32_t (*)(const char* label, float stageFraction,
                                          float overallFraction);

inline constexpr const char* kGenerateStageLabel = "Geometry / Generate";

// The stage range [start, end] of the overall fraction, the fraction done and the step each
// generated draw item adds to it. Between terrain passes the range is collapsed to its end and
// the step is 0.
struct BuildProgress {
  ProgressCallback callback;
  float start, end;
  float step;
  float fraction;
};
extern BuildProgress gBuildProgress;

// Calls the callback, when there is one, with the label, the fraction and the overall
// fraction start + (end - start) x fraction; 0 when it asks to stop, else 1.
std::int32_t ReportBuildProgress(const char* label);

// Minimum and maximum corner, and four words the render session clears beside them.
struct SceneBox {
  float min[3];
  float max[3];
  std::uint32_t words[4];
};
extern SceneBox gSceneBox;

inline constexpr float kSceneBoxEmpty = 1e6f;

// Minimum (1e6, 1e6, 1e6), maximum (-1e6, -1e6, -1e6), the words 0.
void SceneBoxReset();
// Per axis the smaller minimum and the larger maximum with a box in the per-axis order
// (x min, x max, y min, y max, z min, z max).
void SceneBoxWiden(const float* box);

}  // namespace veskor
