// Stand-ins for what the entry point, the main loop and the settings call of parts of the
// program still to come: the window half of MainPlaneInit and the shutdown, the root plane's
// frame, the animation tracks, the setup panel and the preset lens-flare table. Each is
// replaced, here, when its part lands.
#pragma once

#include <cstdint>

namespace veskor {

class MainPlane;

// Window half of MainPlaneInit: nothing yet; returns 1. Once it opens the window it also starts
// the window's messages (WindowMessagesStart).
std::uint32_t MainPlaneInitWindow(MainPlane& plane, const char* title, const char* iconFile,
                                  std::uint32_t popup);
// Static destruction of the main plane: saves the settings it read.
void MainPlaneShutdown(MainPlane& plane);
// The root plane's frame: nothing yet.
void MainPlaneFrame(MainPlane& plane);
// The animation tracks: none yet.
void AnimationUpdateAll();
// The setup panel: none yet.
void HideSetupPanel();

// One lens flare: image index, place on the flare axis, size, colour factors, centre fade, spin.
struct LensFlareRecord {
  std::int32_t image;
  float position, size, red, green, blue, alpha, centreFade, spin;
};
inline constexpr std::uint32_t kLensFlarePresetCount = 16;
extern const LensFlareRecord kLensFlarePresets[kLensFlarePresetCount];

}  // namespace veskor
