// Stand-ins for what the entry point, the main loop, the root plane and the main interface call
// of parts of the program still to come: the sessions with their status line, the language
// and welcome screens, the information panel and web links, the scene renderer's draw and
// camera motion, view snapshots and the animation tracks. Each is replaced, here, when its part
// lands.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gui/clip_panel.h"
#include "language/world.h"
#include "platform/gl_context.h"

namespace veskor {

// The animation tracks: none yet; their pool takes no block.
void ReserveAnimationPool();
void AnimationUpdateAll();

// The sessions: a compile that compiles nothing (it clears CompileRequest and returns 0) and a
// render session that prepares nothing.
std::uint32_t CompileSession(const char* path);
void RenderSession();
// The scene renderer: the camera motion and the draw do nothing; no polygons are drawn.
void CameraStepWrapper(World& world);
void SceneDraw(Camera& camera, std::uint32_t mode, std::uint32_t* polygons);
// The session status line: nothing is shown.
void ShowStatusLine(const char* text, std::int32_t mode);
// View snapshots: nothing to add.
void AddViewSnapshot(World& world, Camera& camera);
// The screens: each builder clears its pending flag; the welcome screen also starts the
// welcome delay, at whose end the main widgets are shown.
void LanguageScreen();
void WelcomeScreen();
// The language choice: the index is kept (it takes effect at the next start), the main
// widgets are shown and the first launch is over; nothing is reloaded.
void SelectLanguage(std::int32_t index);
// The information panel: the labels alone, at its place.
void ShowInfoPanel();
// The product menu's choice: the menu closes and its button answers again.
void OpenWebLink(std::int32_t choice);
// The welcome sequence and help page: their panel and state.
extern GuiClipPanel WelcomePanel;
extern std::uint32_t WelcomeRunning;
extern std::uint32_t HelpShown;
void SkipWelcomeSequence();
void CloseHelpPage();

}  // namespace veskor
