// The scene build's error state: a stage that would write past one of the build's fixed tables
// sets it (with the first message) instead, every later stage of the build checks it and does
// nothing once it is set, and the scene build turns it into its result 0 with that message.
// Beside it, what the build left out and went on without: the items whose mesh was too large
// to batch, for the render session to tell the user.
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

// Room for an object's name from the World; a longer one is cut.
inline constexpr std::uint32_t kSceneBuildNameBytes = 256;

struct SceneBuildSkips {
  std::uint32_t count;     // items left out
  std::uint32_t vertices;  // the first one's vertex count
  char name[kSceneBuildNameBytes];  // the name of the first one's object in the World
  const char* building;             // the name of the object being built, null between objects
};

extern SceneBuildSkips gSceneBuildSkips;

// Clears both states; the scene build does it before its first pass.
void SceneBuildErrorReset();
// The name (in the World) of the object whose items the build makes next; null for none.
void SceneBuildSetObject(const char* name);
// Counts an item whose mesh of `vertices` vertices was left out; the first one's vertex count
// and object name ("" when none is set) are kept.
void SceneBuildSkipItem(std::uint32_t vertices);
// Records a failure. The first message is kept: it names what stopped the build.
void SceneBuildFail(const char* message);
inline bool SceneBuildFailed() { return gSceneBuildError.failed != 0; }

}  // namespace veskor
