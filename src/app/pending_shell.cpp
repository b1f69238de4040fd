#include "app/pending_shell.h"

#include <cstdio>

#include "app/main_plane.h"
#include "app/settings.h"

namespace veskor {

std::uint32_t MainPlaneInitWindow(MainPlane&, const char*, const char*, std::uint32_t) { return 1; }

void MainPlaneShutdown(MainPlane& plane) {
  if (plane.settingsRead != 0) SaveSettings(plane);
}

void MainPlaneFrame(MainPlane&) {}

void AnimationUpdateAll() {}

void HideSetupPanel() {}

SampleSlot IntroMusicSlot;

std::uint32_t LoadOggSound(const char* path, SampleSlot&) {
  std::FILE* f = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (f == nullptr) return 0;
  std::fclose(f);
  return 1;
}

}  // namespace veskor
