#include "app/pending_shell.h"

#include <initializer_list>

#include "app/main_plane.h"
#include "app/program_entry.h"

namespace veskor {

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

void AddViewSnapshot(World&, Camera&) {}

void ViewListAutoClose() {}

void LanguageScreen() { LanguageScreenPending = 0; }

void BuildMainInterface() { MainInterfacePending = 0; }

std::uint32_t ExamineBoxState = 0;
std::uint32_t SaveViewBoxState = 0;

void SetExamineBox(std::uint32_t value) { ExamineBoxState = value; }

void ClearSaveViewBox() { SaveViewBoxState = 0; }

GuiImagePanel MenuBar;
GuiImageButton WorldButton;
GuiImageButton ViewButton;
GuiImageButton SetupButton;
GuiImageButton ProductButton;
GuiImagePanel MenuBarBorder;
GuiCheckBox ExamineCheck;
GuiCheckBox SaveViewCheck;
GuiImagePanel FocalPanel;
GuiTextLabel FpsLabel;
GuiTextLabel PpsLabel;
GuiTextLabel FocalLabel;
GuiPickList ProductMenuList;
GuiTextList InfoPanel;
GuiTextView StatusPanel;
GuiTextView LanguagePanel;
GuiDropList StartLanguageDropList;

void ShowMainWidgets() {
  for (GuiPlane* p : {static_cast<GuiPlane*>(&MenuBar), static_cast<GuiPlane*>(&WorldButton),
                      static_cast<GuiPlane*>(&ViewButton), static_cast<GuiPlane*>(&SetupButton),
                      static_cast<GuiPlane*>(&ProductButton), static_cast<GuiPlane*>(&MenuBarBorder),
                      static_cast<GuiPlane*>(&ExamineCheck), static_cast<GuiPlane*>(&SaveViewCheck),
                      static_cast<GuiPlane*>(&FocalPanel)})
    ShowPlane(*p);
  if (gMainPlane.fpsFlag != 0) ShowPlane(FpsLabel);
  if (gMainPlane.ppsFlag != 0) ShowPlane(PpsLabel);
  ShowPlane(FocalLabel);
}

std::int32_t OnMainMenuChoice(std::int32_t index) {
  if (index == 1) QuitRequest = 1;
  return index;
}

float RenderSessionTime = 0.0f;
float EnvironmentStageTime = 0.0f;
float ShaderStageTime = 0.0f;
std::uint32_t GeometryCount = 0;

}  // namespace veskor
