#include "app/pending_shell.h"

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

const LensFlareRecord kLensFlarePresets[kLensFlarePresetCount] = {
    {0, 0.0f, 0.2f, 0.8f, 0.8f, 0.5f, 0.8f, 0.1f, 0.0f},
    {1, 0.0f, 0.5f, 0.8f, 0.8f, 0.7f, 0.7f, 0.4f, -0.05f},
    {1, 0.0f, 0.7f, 0.8f, 0.8f, 0.7f, 0.6f, 0.5f, 0.25f},
    {2, 0.78f, 0.2f, 0.9f, 0.9f, 0.9f, 0.06f, 0.1f, 0.0f},
    {2, 1.38f, 0.1f, 0.9f, 0.9f, 0.9f, 0.08f, 0.1f, 0.0f},
    {2, 1.48f, 0.11f, 0.9f, 0.9f, 0.9f, 0.06f, 0.1f, 0.0f},
    {2, 2.2f, 0.3f, 0.9f, 0.9f, 0.9f, 0.05f, 0.1f, 0.0f},
    {2, 2.25f, 0.3f, 0.9f, 0.9f, 0.9f, 0.06f, 0.1f, 0.0f},
    {2, 0.95f, 0.05f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
    {2, 1.05f, 0.05f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
    {2, 1.15f, 0.03f, 0.9f, 0.9f, 0.9f, 0.1f, 0.1f, 0.0f},
    {2, 1.25f, 0.04f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
    {2, 0.25f, 0.05f, 0.9f, 0.9f, 0.9f, 0.07f, 0.1f, 0.0f},
    {2, 0.35f, 0.04f, 0.9f, 0.9f, 0.9f, 0.1f, 0.1f, 0.0f},
    {2, 0.4f, 0.02f, 0.9f, 0.9f, 0.9f, 0.12f, 0.1f, 0.0f},
    {2, 1.55f, 0.05f, 0.9f, 0.9f, 0.9f, 0.1f, 0.1f, 0.0f},
};

}  // namespace veskor
