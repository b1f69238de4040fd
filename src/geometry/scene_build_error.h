// The scene build's error state: a stage that would write past one of the build's fixed tables
// sets it (with the first message) instead, every later stage of the build checks it and does
// nothing once it is set, and the scene build turns it into its result 0 with that message.
#pragma once

#include <cstdint>

namespace veskor {

// Room for a missing file's name with the directories searched for it.
inline constexpr std::uint32_t kSceneBuildMessageBytes = 4096;

struct SceneBuildError {
  std::uint32_t failed;  // 1 once a stage has failed
  char message[kSceneBuildMessageBytes];
};

extern SceneBuildError gSceneBuildError;

// Clears the state; the scene build does it before its first pass.
void SceneBuildErrorReset();
// Records a failure. The first message is kept: it names what stopped the build.
void SceneBuildFail(const char* message);
inline bool SceneBuildFailed() { return gSceneBuildError.failed != 0; }

}  // namespace veskor
