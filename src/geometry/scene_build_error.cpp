#include "geometry/scene_build_error.h"

#include <cstdio>

namespace veskor {

SceneBuildError gSceneBuildError{};
SceneBuildSkips gSceneBuildSkips{};

void SceneBuildErrorReset() {
  gSceneBuildError = SceneBuildError{};
  gSceneBuildSkips = SceneBuildSkips{};
}

void SceneBuildSetObject(const char* name) { gSceneBuildSkips.building = name; }

void SceneBuildSkipItem(std::uint32_t vertices) {
  SceneBuildSkips& s = gSceneBuildSkips;
  if (s.count++ != 0) return;
  s.vertices = vertices;
  std::snprintf(s.name, kSceneBuildNameBytes, "%s", s.building != nullptr ? s.building : "");
}

void SceneBuildFail(const char* message) {
  if (gSceneBuildError.failed != 0) return;
  gSceneBuildError.failed = 1;
  std::snprintf(gSceneBuildError.message, kSceneBuildMessageBytes, "%s", message);
}

}  // namespace veskor
