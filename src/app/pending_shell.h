// Stand-ins for what the entry point, the main loop, the root plane and the settings call of
// parts of the program still to come: the sessions, the screens and their widgets, the scene
// renderer's draw and camera motion, and the counters of the render preparation. Each is
// replaced, here, when its part lands.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gui/check_box.h"
#include "gui/image_button.h"
#include "gui/image_panel.h"
#include "gui/number_label.h"
#include "gui/pick_list.h"
#include "gui/text_list.h"
#include "gui/text_view.h"
#include "language/world.h"
#include "platform/gl_context.h"

namespace veskor {

// The setup panel: none yet.
void HideSetupPanel();

// The sessions: a compile that compiles nothing (it clears CompileRequest and returns 0) and a
// render session that prepares nothing.
std::uint32_t CompileSession(const char* path);
void RenderSession();
// The scene renderer: the camera motion and the draw do nothing; no polygons are drawn.
void CameraStepWrapper(World& world);
void SceneDraw(Camera& camera, std::uint32_t mode, std::uint32_t* polygons);
// View snapshots and the view list: nothing to add or close.
void AddViewSnapshot(World& world, Camera& camera);
void ViewListAutoClose();
// The screens: each builder clears its pending flag.
void LanguageScreen();
void BuildMainInterface();
// The examine and save-view check boxes of the menu bar: their state, written with their
// bound values.
extern std::uint32_t ExamineBoxState;
extern std::uint32_t SaveViewBoxState;
void SetExamineBox(std::uint32_t value);
void ClearSaveViewBox();

// The main interface's widgets that the welcome, help and information screens and the web
// links reach, not configured: the menu bar's widgets, the menus, the information and status
// panels. ShowMainWidgets shows the menu bar's widgets (the rate labels by the main plane's
// flags); the main menu's choice 1 quits.
extern GuiImagePanel MenuBar;
extern GuiImageButton WorldButton;
extern GuiImageButton ViewButton;
extern GuiImageButton SetupButton;
extern GuiImageButton ProductButton;
extern GuiImagePanel MenuBarBorder;
extern GuiCheckBox ExamineCheck;
extern GuiCheckBox SaveViewCheck;
extern GuiImagePanel FocalPanel;
extern GuiTextLabel FpsLabel;
extern GuiTextLabel PpsLabel;
extern GuiTextLabel FocalLabel;
extern GuiPickList ProductMenuList;
extern GuiTextList InfoPanel;
extern GuiTextView StatusPanel;
void ShowMainWidgets();
std::int32_t OnMainMenuChoice(std::int32_t index);
// The language choice screen, not configured.
extern GuiTextView LanguagePanel;
extern GuiDropList StartLanguageDropList;

// What the render session and its preparation measure and count for the information panel:
// the session's time, the environment and shader stages' times (seconds), and the geometry
// generated. All 0.
extern float RenderSessionTime;
extern float EnvironmentStageTime;
extern float ShaderStageTime;
extern std::uint32_t GeometryCount;

}  // namespace veskor
