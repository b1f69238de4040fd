// The welcome sequence: a framed picture that slides in over the scene with six images sliding,
// growing and fading in inside it. At start it is short and silent and fades out by itself;
// replayed from the product menu once a short one has run its course, it stays and cycles its
// pages to the intro music. A click on it or Escape closes it; its end shows the main widgets
// (the language choice on a first launch) and asks for the compile of a world named on the
// command line. Everything moves on animation tracks.
#pragma once

#include <cstdint>

#include "app/animation_tracks.h"
#include "gui/clip_panel.h"
#include "gui/image_panel.h"

namespace veskor {

// The panel (over the root plane) and its six images, drawn in the order 5, 1, 41, 40, 3, 2.
extern GuiClipPanel WelcomePanel;
extern GuiImagePanel WelcomeImage5;
extern GuiImagePanel WelcomeImage1;
extern GuiImagePanel WelcomeImage41;
extern GuiImagePanel WelcomeImage40;
extern GuiImagePanel WelcomeImage3;
extern GuiImagePanel WelcomeImage2;

// 1 from the start of a sequence until the screen is closed or stopped.
extern std::uint32_t WelcomeRunning;
// 1 until the first sequence's images have all faded in (AutoCloseWelcome).
extern std::uint32_t FirstWelcome;

// The sequence's tracks, one handle per animated value, in this order; the last of the group
// is stopped with the others and never started.
enum : std::uint32_t {
  kWelcomeSlide5,
  kWelcomeAlpha5,
  kWelcomeSlide1,
  kWelcomeAlpha1,
  kWelcomeAlpha40,
  kWelcomeAlpha41,
  kWelcomeGrow3,
  kWelcomeAlpha3,
  kWelcomeAlpha2,
  kWelcomePanelSlide,
  kWelcomePanelAlpha,
  kWelcomePages,
  kWelcomeSpare,
  kWelcomeHandleCount
};
extern AnimationHandle WelcomeHandles[kWelcomeHandleCount];
// The fade-out of a skip, one handle per track: a second skip while it runs does nothing, and a
// compile stops it with the sequence (so it neither closes the screen again nor asks for
// another compile).
inline constexpr std::uint32_t kWelcomeFadeCount = 9;
extern AnimationHandle WelcomeFadeHandles[kWelcomeFadeCount];

// The one-shot builder of the first frame: the hidden panel with its images attached and
// released; the sixteen-frame countdown starts. Clears WelcomeScreenPending.
void WelcomeScreen();
// The panel's start callback: loads the images again and starts the tracks.
void StartWelcomeSequence();
// At the end of WelcomeImage41's fade-in: on the first showing, waits 0.1 s and skips; clears
// FirstWelcome either way.
void AutoCloseWelcome();
// The panel's press callback, and Escape's while the sequence runs: stops the sequence's
// tracks and fades everything out but WelcomeImage2 (nothing while a fade-out runs).
void SkipWelcomeSequence();
// The end of the fade-out.
void CloseWelcomeScreen();
// Before a compile parses: stops everything, hides the panel, releases the images.
void StopWelcomeAnimations();
// At the end of WelcomeImage2's first fade-in on a replay: the intro music and the page cycle.
void StartIntroPages();
// The page cycle's callbacks: WelcomeImage2 shows page 2, 60, 61 or 62, faded out.
void ShowWelcomePage2();
void ShowWelcomePage60();
void ShowWelcomePage61();
void ShowWelcomePage62();

// The page cycle: keys per pass and passes.
inline constexpr std::uint32_t kIntroPageKeys = 12;
inline constexpr std::uint32_t kIntroPagePasses = 6;

}  // namespace veskor
