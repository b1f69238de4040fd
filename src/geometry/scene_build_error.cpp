#include "geometry/scene_build_error.h"

#include <cstdio>

namespace veskor {

SceneBuildError gSceneBuildError{};

void SceneBuildErrorReset() { gSceneBuildError = SceneBuildError{}; }

void SceneBuildFail(const char* message) {
  if (gSceneBuildError.failed != 0) return;
  gSceneBuildError.failed = 1;
  std::snprintf(gSceneBuildError.message, kSceneBuildMessageBytes, "%s", message);
}

}  // namespace veskor
