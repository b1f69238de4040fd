#include "app/pending_shell.h"

#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/settings.h"
#include "app/text_resources.h"

namespace veskor {

void AddViewSnapshot(World&, Camera&) {}

void CaptureViewSnapshots(World&) {}

void LanguageScreen() { LanguageScreenPending = 0; }

GuiTextView LanguagePanel;
GuiDropList StartLanguageDropList;

void SelectLanguage(std::int32_t index) {
  LanguageIndex = index >= 1 && index < kLanguageCount ? index : 0;
  ShowMainWidgets();
  FirstLaunch = 0;
}

}  // namespace veskor
