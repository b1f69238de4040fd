#include "app/welcome_screen.h"

#include "app/automation.h"
#include "app/language_screen.h"
#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/settings.h"
#include "foundation/frame_clock.h"
#include "sound/sample_slot.h"

namespace veskor {

GuiClipPanel WelcomePanel;
GuiImagePanel WelcomeImage5;
GuiImagePanel WelcomeImage1;
GuiImagePanel WelcomeImage41;
GuiImagePanel WelcomeImage40;
GuiImagePanel WelcomeImage3;
GuiImagePanel WelcomeImage2;

std::uint32_t WelcomeRunning = 0;
std::uint32_t FirstWelcome = 1;
AnimationHandle WelcomeHandles[kWelcomeHandleCount];
AnimationHandle WelcomeFadeHandles[kWelcomeFadeCount];

namespace {

constexpr std::int32_t kCubic = 1;
constexpr float kSlideDown = 1.57f;  // radians: a slide distance moves the panel downwards
constexpr float kAutoCloseWait = 0.1f;

// Edges: offset in window units, fraction of the parent, pixels, design pixels.
struct ImageSpec {
  GuiImagePanel* panel;
  WidgetEdge left, top;
  const char* colour;
  const char* mask;
};

// In their order of attachment (and drawing). Image 2 starts on page 2.
const ImageSpec kImages[] = {
    {&WelcomeImage5, {0, 1, -85, 0}, {0, 0, 30, 0}, "inter_welcome_5.png",
     "inter_welcome_mask_5.png"},
    {&WelcomeImage1, {0, 0, 30, 0}, {0, 0, 40, 0}, "inter_welcome_1.png",
     "inter_welcome_mask_1.png"},
    {&WelcomeImage41, {0, 0, 30, 0}, {0, 0, 30, 0}, "inter_welcome_41.png",
     "inter_welcome_mask_41.png"},
    {&WelcomeImage40, {0, 0, 30, 0}, {0, 0, 30, 0}, "inter_welcome_40.png",
     "inter_welcome_mask_40.png"},
    {&WelcomeImage3, {0, 1, -280, 0}, {0, 0, 35, 0}, "inter_welcome_3.png",
     "inter_welcome_mask_3.png"},
    {&WelcomeImage2, {0, 0, 30, 0}, {0, 1, -100, 0}, "inter_welcome_2.png",
     "inter_welcome_mask_2.png"},
};
constexpr std::uint32_t kImageCount = sizeof kImages / sizeof kImages[0];

void LoadImage(std::uint32_t i) {
  const ImageSpec& s = kImages[i];
  LoadPanelImageWithMask(*s.panel, &gMainPlane, s.left, s.top, s.colour, s.mask);
}

void ReleaseImages() {
  for (const ImageSpec& s : kImages) ReleasePanelTextures(*s.panel);
}

void StopHandles(AnimationHandle* handles, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) AnimationStop(&handles[i]);
}

// A track of one key after its hold: value, hold; then `to` over `duration`.
void Track(float* target, float value, float hold, AnimationHandle* handle, float to,
           float duration, AnimationCallback callback) {
  AnimationStart(target, value, hold, handle, kCubic);
  AnimationAddKey(to, duration, callback);
  AnimationRestartLast();
}

void ShowPage(const char* colour, const char* mask) {
  ReleasePanelTextures(WelcomeImage2);
  const ImageSpec& s = kImages[kImageCount - 1];
  LoadPanelImageWithMask(WelcomeImage2, &gMainPlane, s.left, s.top, colour, mask);
  WelcomeImage2.color[3] = 0.0f;
}

}  // namespace

void WelcomeScreen() {
  LoadPanelImage(WelcomePanel, &gMainPlane, {0, 0.5f, -250, 0}, {0, 0.5f, -170, 0},
                 "inter_welcome_0.png");
  WelcomePanel.ownerCallback = StartWelcomeSequence;
  WelcomePanel.onLeftPress = SkipWelcomeSequence;
  AddChildPlane(gMainPlane, WelcomePanel);
  WelcomePanel.color[3] = 0.95f;
  WelcomePanel.polarAngle = 0.0f;
  WelcomePanel.polarRadius = -1000.0f;
  HidePlane(WelcomePanel);
  for (std::uint32_t i = 0; i < kImageCount; ++i) {
    LoadImage(i);
    AddChildPlane(WelcomePanel, *kImages[i].panel);
  }
  ReleaseImages();
  WelcomeScreenPending = 0;
  WelcomeCountdown = 1;
}

void StartWelcomeSequence() {
  AnimationHandle* h = WelcomeHandles;
  LoadImage(0);
  WelcomeImage5.polarAngle = kSlideDown;
  Track(&WelcomeImage5.polarRadius, 400, 0.125f, &h[kWelcomeSlide5], 0, 1.5f, nullptr);
  WelcomeImage5.color[3] = 0.0f;
  Track(&WelcomeImage5.color[3], 0, 0.125f, &h[kWelcomeAlpha5], 1, 1.5f, nullptr);
  LoadImage(1);
  Track(&WelcomeImage1.polarRadius, -600, 0.125f, &h[kWelcomeSlide1], 0, 1.5f, nullptr);
  WelcomeImage1.color[3] = 0.0f;
  Track(&WelcomeImage1.color[3], 0, 0.125f, &h[kWelcomeAlpha1], 1, 1.5f, nullptr);
  LoadImage(2);
  LoadImage(3);
  WelcomeImage40.color[3] = 0.0f;
  Track(&WelcomeImage40.color[3], 0, 1.5f, &h[kWelcomeAlpha40], 1, 1.0f, nullptr);
  WelcomeImage41.color[3] = 0.0f;
  Track(&WelcomeImage41.color[3], 0, 1.5f, &h[kWelcomeAlpha41], 0.5f, 1.0f, AutoCloseWelcome);
  LoadImage(4);
  Track(&WelcomeImage3.inset, -40, 0.125f, &h[kWelcomeGrow3], 0, 1.0f, nullptr);
  WelcomeImage3.color[3] = 0.0f;
  Track(&WelcomeImage3.color[3], 0, 0.125f, &h[kWelcomeAlpha3], 0.5f, 1.0f, nullptr);
  LoadImage(5);
  WelcomeImage2.color[3] = 0.0f;
  if (FirstWelcome != 0) {
    AnimationStart(&WelcomeImage2.color[3], 0, 1.0f, &h[kWelcomeAlpha2], kCubic);
    AnimationAddKey(0.6f, 1.2f, nullptr);
    AnimationAddKey(0.6f, 1.0f, nullptr);
    AnimationAddKey(0.0f, 1.2f, nullptr);
    AnimationRestartLast();
  } else {
    Track(&WelcomeImage2.color[3], 0, 1.0f, &h[kWelcomeAlpha2], 0.6f, 1.2f, StartIntroPages);
  }
  Track(&WelcomePanel.polarRadius, -1000, 0, &h[kWelcomePanelSlide], 0, 0.8f, nullptr);
  Track(&WelcomePanel.color[3], 0, 0, &h[kWelcomePanelAlpha], 0.98f, 0.8f, nullptr);
  WelcomeRunning = 1;
}

void AutoCloseWelcome() {
  if (FirstWelcome != 0) {
    WaitSeconds(kAutoCloseWait);
    SkipWelcomeSequence();
  }
  FirstWelcome = 0;
}

void SkipWelcomeSequence() {
  // The fade-out of an earlier skip runs (a second click, Escape held): it closes the screen
  // once, as it is.
  for (const AnimationHandle& fade : WelcomeFadeHandles)
    if (fade.active != 0) return;
  StopHandles(WelcomeHandles, kWelcomeHandleCount);
  WelcomeImage5.polarAngle = kSlideDown;
  AnimationHandle* f = WelcomeFadeHandles;
  auto fade = [&](float* target, float hold, float to, float duration, AnimationCallback done) {
    Track(target, *target, hold, f++, to, duration, done);
  };
  fade(&WelcomeImage5.polarRadius, 0.2f, -400, 1.5f, nullptr);
  fade(&WelcomeImage5.color[3], 0.2f, 0, 1.5f, nullptr);
  fade(&WelcomeImage1.polarRadius, 0.2f, 600, 1.5f, nullptr);
  fade(&WelcomeImage1.color[3], 0.2f, 0, 1.5f, nullptr);
  fade(&WelcomeImage40.color[3], 0.1f, 0, 0.5f, nullptr);
  fade(&WelcomeImage41.color[3], 0.1f, 0, 0.5f, nullptr);
  fade(&WelcomeImage3.inset, 0.5f, -40, 1.0f, nullptr);
  fade(&WelcomeImage3.color[3], 0.2f, 0, 1.0f, nullptr);
  fade(&WelcomePanel.color[3], 0.2f, 0, 1.9f, CloseWelcomeScreen);
}

void CloseWelcomeScreen() {
  WelcomeRunning = 0;
  HidePlane(WelcomePanel);
  ReleaseImages();
  if (FirstLaunch == 0) {
    ShowMainWidgets();
  } else {
    ShowPlane(LanguagePanel);
    ShowPlane(StartLanguageDropList);
  }
  // A command line too long to be kept is compiled too: the session says so, and fails.
  if (WorldPath[0] != '\0' || WorldPathTooLong != 0) {
    CompileRequest = 1;
  } else {
    AutomationArm();
  }
}

void StopWelcomeAnimations() {
  StopHandles(WelcomeHandles, kWelcomeHandleCount);
  StopHandles(WelcomeFadeHandles, kWelcomeFadeCount);
  WelcomeRunning = 0;
  HidePlane(WelcomePanel);
  ReleaseImages();
}

void StartIntroPages() {
  PlaySample(IntroMusicSlot);  // only with sound on; once unless the slot loops
  static constexpr struct {
    float value, duration;
    AnimationCallback page;
  } kPass[kIntroPageKeys] = {
      {0.0f, 1.0f, ShowWelcomePage60}, {0.6f, 1.0f, nullptr}, {0.6f, 1.7f, nullptr},
      {0.0f, 1.0f, ShowWelcomePage61}, {0.6f, 1.0f, nullptr}, {0.6f, 1.7f, nullptr},
      {0.0f, 1.0f, ShowWelcomePage62}, {0.6f, 1.0f, nullptr}, {0.6f, 2.0f, nullptr},
      {0.0f, 1.0f, ShowWelcomePage2},  {0.6f, 1.0f, nullptr}, {0.6f, 1.2f, nullptr},
  };
  AnimationStart(&WelcomeImage2.color[3], 0.6f, 0.0f, &WelcomeHandles[kWelcomePages], kCubic);
  for (std::uint32_t pass = 0; pass < kIntroPagePasses; ++pass)
    for (const auto& key : kPass) AnimationAddKey(key.value, key.duration, key.page);
  AnimationRestartLast();
}

void ShowWelcomePage2() { ShowPage("inter_welcome_2.png", "inter_welcome_mask_2.png"); }
void ShowWelcomePage60() { ShowPage("inter_welcome_61.png", "inter_welcome_mask_60.png"); }
void ShowWelcomePage61() { ShowPage("inter_welcome_61.png", "inter_welcome_mask_61.png"); }
void ShowWelcomePage62() { ShowPage("inter_welcome_61.png", "inter_welcome_mask_62.png"); }

}  // namespace veskor
