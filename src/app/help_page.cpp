#include "app/help_page.h"

#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/web_links.h"
#include "gfx/view_plane.h"

namespace veskor {

GuiImagePanel HelpPanel;
GuiImagePanel HelpBorder;
GuiImageButton OnlineHelpButton;
std::uint32_t HelpShown = 0;
std::uint32_t OnlineHelpPending = 1;
AnimationHandle HelpHandles[kHelpTrackCount];

namespace {

constexpr std::int32_t kCubic = 1;

void Fade(float* target, float from, AnimationHandle* handle, float to, float duration,
          AnimationCallback done) {
  AnimationStart(target, from, 0.0f, handle, kCubic);
  AnimationAddKey(to, duration, done);
  AnimationRestartLast();
}

}  // namespace

std::int32_t HelpWindowHeight() {
  return static_cast<std::int32_t>(FullScreenMode != 0 ? gMainPlane.fullScreenHeight
                                                       : WindowedHeight);
}

void ShowHelpPage() {
  if (HelpShown != 0) return;
  const float m = static_cast<float>((HelpWindowHeight() - kHelpPageHeightSpan) / 2);
  LoadPanelImageAlt(HelpPanel, &gMainPlane, {0.5f, 0, -kHelpPageHalfLeft, 0},
                    {0, 0, m + kHelpPageTop, 0}, {0.5f, 0, kHelpPageHalfRight, 0},
                    {0, 0, m + kHelpPageHeightSpan, 0}, "inter_help_0.png");
  // Attached once: a plane twice in its group would be drawn and hit twice.
  if (HelpPanel.parent == nullptr) AddChildPlane(gMainPlane, HelpPanel);
  // The border shows the menu bar border's texture, which it never owns (style 24).
  ConfigurePanel(HelpBorder, &gMainPlane, {0, 0, 0, 0}, {0, 0, -3, 0}, {0, 1, 0, 0},
                 {0, 0, 0, 0}, MenuBarBorder.texture, 1.0f, 1.0f);
  if (HelpBorder.parent == nullptr) AddChildPlane(HelpPanel, HelpBorder);
  HelpPanel.onPress = CloseHelpPage;
  HelpPanel.color[3] = 0.0f;
  ShowPlane(HelpPanel);
  HelpShown = 1;
  Fade(&HelpPanel.color[3], 0, &HelpHandles[kHelpPanelIn], 1, 1.0f, nullptr);
  Fade(&HelpBorder.color[3], 0, &HelpHandles[kHelpBorderIn], 1, 1.1f, ShowOnlineHelp);
}

void ShowOnlineHelp() {
  if (OnlineHelpPending != 0) {
    ButtonCallbacks callbacks;
    callbacks.release = OpenDocsLink;
    SetButtonImages(OnlineHelpButton, &gMainPlane, {0, 1, -340, 0}, {0, 1, -100, 0},
                    "inter_help_online_1.png", "inter_help_online_2.png",
                    "inter_help_online_0.png", "inter_help_online_2.png", callbacks);
    AddChildPlane(HelpPanel, OnlineHelpButton);
    OnlineHelpPending = 0;
  }
  ShowPlane(OnlineHelpButton);
}

void CloseHelpPage() {
  // A second close (Escape held) leaves the running fade-out alone.
  if (HelpHandles[kHelpBorderOut].active != 0) return;
  HidePlane(OnlineHelpButton);
  AnimationStop(&HelpHandles[kHelpPanelIn]);
  AnimationStop(&HelpHandles[kHelpBorderIn]);
  Fade(&HelpPanel.color[3], 1, &HelpHandles[kHelpPanelOut], 0, 0.5f, nullptr);
  Fade(&HelpBorder.color[3], 1, &HelpHandles[kHelpBorderOut], 0, 0.51f, ReleaseHelpPage);
}

void ReleaseHelpPage() {
  HidePlane(HelpPanel);
  ReleasePanelTextures(HelpPanel);
  ReleasePanelTextures(HelpBorder);
  HelpShown = 0;
}

}  // namespace veskor
