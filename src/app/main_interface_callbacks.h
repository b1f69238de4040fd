// The callbacks of the main interface's widgets: the menus opened at the pointer, the main
// menu's choices, the view list and the view choice, the setup panel, the close buttons, the
// hints, the check boxes (examine, save view, detail cover, frame and polygon rates,
// multisampling) and the multisample slider. Each changes a few flags and shows, hides or
// moves widgets; the frame code acts on the flags.
#pragma once

#include <cstdint>

namespace veskor {

// The view list's hold: the pointer is on ViewButton or ViewList; the tick count of
// ViewListAutoClose and the tick at which the pointer left.
extern std::uint32_t ViewListHeld;
extern std::uint32_t ViewListClock;
extern std::uint32_t ViewListLeftAt;
// The list closes at the check that finds this many ticks since the pointer left.
inline constexpr std::uint32_t kViewListCloseTicks = 5;
// Menus open this many pixels from the pointer.
inline constexpr float kMenuPointerGap = 16.0f;
// A multisample level counts as 2, 3 or 4 within this distance.
inline constexpr float kMultiSampleLevelTolerance = 0.0005f;

// Menu bar buttons.
void OpenMainMenu();
void CloseMainMenu();
// The main menu's choice: -1 nothing; 0 compile; 1 quit (the bookmarks are written first).
// Then the RenderLOD values are saved and the resolution list and information panel hidden.
std::int32_t OnMainMenuChoice(std::int32_t index);
void OpenProductMenu();
void CloseProductMenu();
void OpenSetupPanel();
// Hides the setup panel when it is shown.
void HideSetupPanel();
void CloseInfoPanel();
void CloseStatusPanel();
void EmptyCallback();

// The view list, only while a world is ready.
void OpenViewList();
void ReleaseViewList();
// Once a frame: closes the list kViewListCloseTicks ticks after the pointer left, then ticks.
void ViewListAutoClose();
// The entry of the list (cameras, examine points, snapshots); any other index keeps the
// selection. 1 when the chosen view is an examine point, else 0 (also without a world).
std::uint32_t ChooseView(std::int32_t index);

// The hint callback: line `index` of HintLine at the pointer, its size kept; -1 nothing.
void ShowHint(std::int32_t index);

// Check boxes; each returns 1 (the box changes state).
// Into the orbit of the examine point nearest the world camera (the lower index on a tie),
// or out of it.
std::uint32_t ToggleExamine();
std::uint32_t RequestSaveView();
std::uint32_t ShowLodCover();
std::uint32_t HideLodCover();
std::uint32_t ShowFps();
std::uint32_t HideFps();
std::uint32_t ShowPps();
std::uint32_t HidePps();
std::uint32_t ToggleMultiSample();
void OnMultiSampleLevel(float value);
// The resolution list's choice, its flag dropped.
void ChooseFullScreenSize(std::int32_t line);

// The examine and save-view boxes' values (their bound variables, if any, follow).
void SetExamineBox(std::uint32_t value);
void ClearSaveViewBox();

}  // namespace veskor
