#include "app/pending_shell.h"

#include "app/main_plane.h"

namespace veskor {

void ReserveAnimationPool() {}

void AnimationUpdateAll() {}

void HideSetupPanel() {}

void RenderSession() {}

GuiTextView StatusPanel;
GuiTextView StatusText;
GuiTextView ProgressPanel;
GuiProgressBar StageProgressBar;
GuiProgressBar TotalProgressBar;
GuiTextList InfoPanel;

void CameraStepWrapper(World&) {}

void SceneDraw(Camera&, std::uint32_t, std::uint32_t* polygons) {
  if (polygons != nullptr) *polygons = 0;
}

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

void StopWelcomeAnimations() {
  WelcomeRunning = 0;
  if (WelcomePanel.hidden == 0) HidePlane(WelcomePanel);
}

void CloseHelpPage() { HelpShown = 0; }

std::uint32_t ExamineBoxState = 0;
std::uint32_t SaveViewBoxState = 0;

void SetExamineBox(std::uint32_t value) { ExamineBoxState = value; }

void ClearSaveViewBox() { SaveViewBoxState = 0; }

}  // namespace veskor
