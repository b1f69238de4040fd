#include "geometry/build_progress.h"

#include <algorithm>

namespace veskor {

BuildProgress gBuildProgress{};
SceneBox gSceneBox{};

std::int32_t ReportBuildProgress(const char* label) {
  const BuildProgress& p = gBuildProgress;
  if (p.callback == nullptr) return 1;
  return p.callback(label, p.fraction, p.start + (p.end - p.start) * p.fraction) != 0 ? 1 : 0;
}

void SceneBoxReset() {
  for (int a = 0; a < 3; ++a) gSceneBox.min[a] = kSceneBoxEmpty, gSceneBox.max[a] = -kSceneBoxEmpty;
  for (std::uint32_t& w : gSceneBox.words) w = 0;
}

void SceneBoxWiden(const float* box) {
  for (int a = 0; a < 3; ++a) {
    gSceneBox.min[a] = std::min(gSceneBox.min[a], box[2 * a]);
    gSceneBox.max[a] = std::max(gSceneBox.max[a], box[2 * a + 1]);
  }
}

}  // namespace veskor
