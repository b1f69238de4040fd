// The help page: a picture over the scene with a thin border strip on its top edge and an
// online-help button that opens the manual. It fades in when the product menu asks for it and
// fades out at a click on it or Escape; the animation tracks move it.
#pragma once

#include <cstdint>

#include "app/animation_tracks.h"
#include "gui/image_button.h"
#include "gui/image_panel.h"

namespace veskor {

extern GuiImagePanel HelpPanel;         // over the root plane
extern GuiImagePanel HelpBorder;        // on HelpPanel, showing the menu bar border's texture
extern GuiImageButton OnlineHelpButton; // on HelpPanel, set up at its first showing

// 1 while the page is up, until its fade-out has finished.
extern std::uint32_t HelpShown;
// 1 until OnlineHelpButton has been set up.
extern std::uint32_t OnlineHelpPending;

// The page's size in pixels and where it lies: centred across the window, its top
// kHelpPageTop pixels below M = (H - kHelpPageHeightSpan) / 2 for a window H pixels high (M
// is negative in a window lower than the span).
inline constexpr std::int32_t kHelpPageHalfLeft = 468;
inline constexpr std::int32_t kHelpPageHalfRight = 469;
inline constexpr std::int32_t kHelpPageTop = 110;
inline constexpr std::int32_t kHelpPageHeightSpan = 624;

// The page's fade tracks: the panel's and the border's, in and out. The fade-in's are stopped
// when the page closes, and the page closes once while its fade-out runs.
enum : std::uint32_t { kHelpPanelIn, kHelpBorderIn, kHelpPanelOut, kHelpBorderOut, kHelpTrackCount };
extern AnimationHandle HelpHandles[kHelpTrackCount];

// The window height the page is placed in: the full-screen height in full-screen mode, else
// the windowed height.
std::int32_t HelpWindowHeight();

// The product menu's help entry: loads, places and shows the page and starts its fade-in;
// nothing while HelpShown is set. The panel and its border are attached to the tree once.
void ShowHelpPage();
// At the end of the border's fade-in: OnlineHelpButton, set up the first time, is shown.
void ShowOnlineHelp();
// HelpPanel's press callback, and Escape's while the page is up: hides the button and starts
// the fade-out.
void CloseHelpPage();
// At the end of the border's fade-out: hidden and released; HelpShown cleared.
void ReleaseHelpPage();

}  // namespace veskor
