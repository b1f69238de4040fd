// Stand-ins for what the entry point, the main loop, the root plane, the settings and the
// compile session call of parts of the program still to come: the render session, the screens
// and their widgets, the scene renderer's draw and camera motion, and the animation tracks.
// Each is replaced, here, when its part lands.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gui/clip_panel.h"
#include "gui/progress_bar.h"
#include "gui/text_list.h"
#include "gui/text_view.h"
#include "language/world.h"
#include "platform/gl_context.h"

namespace veskor {

// The animation tracks: none yet; their pool takes no block.
void ReserveAnimationPool();
void AnimationUpdateAll();
// The setup panel: none yet.
void HideSetupPanel();

// The render session: it prepares nothing.
void RenderSession();
// The session panels of the main interface, not configured: the session header and log, the
// progress panel with its two bars; and the information panel.
extern GuiTextView StatusPanel;
extern GuiTextView StatusText;
extern GuiTextView ProgressPanel;
extern GuiProgressBar StageProgressBar;
extern GuiProgressBar TotalProgressBar;
extern GuiTextList InfoPanel;
// The scene renderer: the camera motion and the draw do nothing; no polygons are drawn.
void CameraStepWrapper(World& world);
void SceneDraw(Camera& camera, std::uint32_t mode, std::uint32_t* polygons);
// View snapshots and the view list: nothing to add or close.
void AddViewSnapshot(World& world, Camera& camera);
void ViewListAutoClose();
// The screens: each builder clears its pending flag; the welcome screen also starts the
// welcome delay.
void LanguageScreen();
void BuildMainInterface();
void WelcomeScreen();
// The welcome sequence and help page: their panel and state.
extern GuiClipPanel WelcomePanel;
extern std::uint32_t WelcomeRunning;
extern std::uint32_t HelpShown;
void SkipWelcomeSequence();
// What a compile session does to the welcome sequence: it ends at once, hidden.
void StopWelcomeAnimations();
void CloseHelpPage();
// The examine and save-view check boxes of the menu bar: their state, written with their
// bound values.
extern std::uint32_t ExamineBoxState;
extern std::uint32_t SaveViewBoxState;
void SetExamineBox(std::uint32_t value);
void ClearSaveViewBox();

}  // namespace veskor
