#include "app/pending_shell.h"

#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/settings.h"
#include "app/text_resources.h"

namespace veskor {

void ReserveAnimationPool() {}

void AnimationUpdateAll() {}

std::uint32_t CompileSession(const char*) {
  CompileRequest = 0;
  return 0;
}

void RenderSession() {}

void CameraStepWrapper(World&) {}

void SceneDraw(Camera&, std::uint32_t, std::uint32_t* polygons) {
  if (polygons != nullptr) *polygons = 0;
}

void ShowStatusLine(const char*, std::int32_t) {}

void AddViewSnapshot(World&, Camera&) {}

void LanguageScreen() { LanguageScreenPending = 0; }

void WelcomeScreen() {
  WelcomeScreenPending = 0;
  WelcomeCountdown = 1;
  WelcomePanel.ownerCallback = ShowMainWidgets;
}

void SelectLanguage(std::int32_t index) {
  LanguageIndex = index >= 1 && index < kLanguageCount ? index : 0;
  ShowMainWidgets();
  FirstLaunch = 0;
}

void ShowInfoPanel() {
  const char* labels[24];
  for (std::uint32_t i = 0; i < 24; ++i) labels[i] = TextResources[23 + i].text;
  if (WorldReady != 0) {
    SetTextLinesTable(InfoPanel, labels, 24);
    return;
  }
  const TextListColours colours{{90 / 255.0f, 90 / 255.0f, 110 / 255.0f, 0.8f},
                                {1.0f, 1.0f, 1.0f},
                                {1.0f, 0.6f, 0.05f}};
  SetTextLines(InfoPanel, &gMainPlane, {0.0f, 0.0f, 40.0f, 0.0f}, {0.0f, 0.0f, 150.0f, 0.0f},
               labels, 24, colours);
}

void OpenWebLink(std::int32_t choice) {
  if (choice != -1) HidePlane(ProductMenuList);
  ProductButton.muted = 0;
}

GuiClipPanel WelcomePanel;
std::uint32_t WelcomeRunning = 0;
std::uint32_t HelpShown = 0;

void SkipWelcomeSequence() { WelcomeRunning = 0; }

void CloseHelpPage() { HelpShown = 0; }


}  // namespace veskor
