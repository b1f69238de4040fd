#include "app/pending_shell.h"

#include <cstdio>

#include "app/main_plane.h"

namespace veskor {

void ReserveAnimationPool() {}

void AnimationUpdateAll() {}

void HideSetupPanel() {}

std::uint32_t CompileSession(const char*) {
  CompileRequest = 0;
  return 0;
}

void RenderSession() {}

void CameraStepWrapper(World&) {}

void SceneDraw(Camera&, std::uint32_t, std::uint32_t* polygons) {
  if (polygons != nullptr) *polygons = 0;
}

void UpdateEmitterAttenuation(Camera&, World&) {}

void AddViewSnapshot(World&, Camera&) {}

void ViewListAutoClose() {}

void LanguageScreen() { LanguageScreenPending = 0; }

void BuildMainInterface() { MainInterfacePending = 0; }

void WelcomeScreen() {
  WelcomeScreenPending = 0;
  WelcomeCountdown = 1;
}

GuiClipPanel WelcomePanel;
std::uint32_t WelcomeRunning = 0;
std::uint32_t HelpShown = 0;

void SkipWelcomeSequence() { WelcomeRunning = 0; }

void CloseHelpPage() { HelpShown = 0; }

std::uint32_t ExamineBoxState = 0;
std::uint32_t SaveViewBoxState = 0;

void SetExamineBox(std::uint32_t value) { ExamineBoxState = value; }

void ClearSaveViewBox() { SaveViewBoxState = 0; }

std::uint32_t SoundEnabled = 0;

std::uint32_t InitDirectSound(GlWindow*) {
  SoundEnabled = 0;
  return 0;
}

void ReleaseSoundDevice() {}

SampleSlot IntroMusicSlot;

std::uint32_t LoadOggSound(const char* path, SampleSlot&) {
  std::FILE* f = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (f == nullptr) return 0;
  std::fclose(f);
  return 1;
}

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
