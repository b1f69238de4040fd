// The help page on the product tree's pictures: its place for window heights above and below
// its own, its fades and the online-help button, and repeated showings and closings.
#include <gtest/gtest.h>

#include <string>

#include "app/help_page.h"
#include "app/main_plane.h"
#include "app/web_links.h"
#include "foundation/search_dirs.h"
#include "gui/gui_globals.h"
#include "gui/interface_frame.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

constexpr float kDt = 1.0f / 64;

std::string gOpened;

class HelpPageTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    const std::string product = VESKOR_PRODUCT_DIR;
    ASSERT_TRUE(SetSearchDirs(product.c_str(), product.c_str(), product.c_str(),
                              (product + "resources/").c_str(), product.c_str()));
    MainPlaneActivate(gMainPlane);
    FullScreenMode = 0;
    Window(768);
    WebPageOpener = [](const char* address) -> std::uint32_t {
      gOpened = address;
      return 1;
    };
  }
  void TearDown() override {
    WebPageOpener = DefaultWebPageOpener;
    test::GlTest::TearDown();
  }
  static void Window(std::uint32_t height) {
    WindowedWidth = 1024;
    WindowedHeight = height;
    PixelSize = {1.0f / 1024, 1.0f / static_cast<float>(height)};
  }
  // Seconds until `done` holds.
  template <class Done>
  static float Until(Done done) {
    int frames = 0;
    while (!done() && frames < 1000) {
      AnimationUpdateBy(kDt);
      ++frames;
    }
    return static_cast<float>(frames) * kDt;
  }
  static bool ButtonShown() {
    return OnlineHelpButton.parent == &HelpPanel && OnlineHelpButton.hidden == 0;
  }
  static void CloseFully() {
    CloseHelpPage();
    Until([] { return HelpShown == 0; });
  }
  static int Count(const GuiPlane& parent, const GuiPlane& child) {
    int n = 0;
    ForEachArray(parent.backChildren, false, [&](GuiPlane& p) { n += &p == &child ? 1 : 0; });
    return n;
  }
  static std::uint32_t (*const DefaultWebPageOpener)(const char*);
};
std::uint32_t (*const HelpPageTest::DefaultWebPageOpener)(const char*) = WebPageOpener;

TEST_F(HelpPageTest, ThePageIsCentredAcrossAndPlacedByTheWindowHeight) {
  const struct {
    std::uint32_t fullScreen, height;
    float top;  // pixels; the page is 937 x 514 from 44 across
  } cases[] = {
      {0, 768, 182}, {0, 624, 110}, {0, 601, 99}, {0, 600, 98}, {0, 200, -102}, {1, 1024, 310},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.height);
    FullScreenMode = c.fullScreen;
    gMainPlane.fullScreenHeight = c.height;
    Window(c.fullScreen != 0 ? 400 : c.height);
    PixelSize.y = 1.0f / static_cast<float>(c.height);
    ShowHelpPage();
    const WidgetRect r = WidgetSnappedRect(HelpPanel);
    const float h = static_cast<float>(c.height);
    EXPECT_FLOAT_EQ(r.left * 1024, 44);
    EXPECT_FLOAT_EQ(r.right * 1024, 981);
    EXPECT_NEAR(r.top * h, c.top, 1e-3);
    EXPECT_NEAR(r.bottom * h, c.top + 514, 1e-3);
    // The border: a strip 3 pixels high on the page's top edge, as wide as the page.
    const WidgetRect b = WidgetSnappedRect(HelpBorder);
    EXPECT_NEAR((r.top - b.top) * h, 3, 1e-3);
    EXPECT_EQ(b.bottom, r.top);
    EXPECT_EQ(b.left * 1024 + b.right * 1024, 44 + 981);
    CloseFully();
  }
}

TEST_F(HelpPageTest, ThePageFadesInShowsItsButtonAndFadesOutOnce) {
  for (int showing = 0; showing < 3; ++showing) {
    SCOPED_TRACE(showing);
    if (showing == 1) {
      OpenWebLink(kProductMenuHelp);  // the product menu's way
    } else {
      ShowHelpPage();
    }
    EXPECT_EQ(HelpShown, 1u);
    EXPECT_EQ(HelpPanel.hidden, 0u);
    EXPECT_EQ(HelpPanel.color[3], 0.0f);
    // The panel in 1.0 s, the border in 1.1 s; then the button (a frame a key later at most).
    const float in = Until([] { return HelpPanel.color[3] == 1.0f; });
    EXPECT_GE(in, 1.0f);
    EXPECT_LE(in, 1.0f + 2 * kDt);
    EXPECT_FALSE(ButtonShown());
    EXPECT_EQ(OnlineHelpPending, showing == 0 ? 1u : 0u);
    const float button = in + Until(ButtonShown);
    EXPECT_GE(button, 1.1f);
    EXPECT_LE(button, 1.1f + 2 * kDt);
    EXPECT_EQ(HelpBorder.color[3], 1.0f);
    // A click on the page, away from its button, closes it; again during the fade-out (Escape
    // held) it changes nothing, and neither does a showing.
    const float x = 0.5f, y = (182.0f + 20) / 768;
    DispatchInput(gMainPlane, 1, kButtonLeft, 0, x, y, 0);
    DispatchInput(gMainPlane, 1, 0, 0, x, y, 0);
    EXPECT_FALSE(ButtonShown());
    for (int i = 0; i < 16; ++i) AnimationUpdateBy(kDt);
    const float alpha = HelpPanel.color[3];
    EXPECT_LT(alpha, 1.0f);
    CloseHelpPage();
    ShowHelpPage();
    EXPECT_EQ(HelpPanel.color[3], alpha);
    const float out = 0.25f + Until([] { return HelpShown == 0; });
    EXPECT_GE(out, 0.51f);
    EXPECT_LE(out, 0.51f + 2 * kDt);
    EXPECT_EQ(HelpPanel.hidden, 1u);
    EXPECT_EQ(HelpPanel.texture, nullptr);
    EXPECT_EQ(AnimationPool.count, 0u);
    // Attached once (the button with them, as it is set up once), whatever the showings.
    EXPECT_EQ(Count(gMainPlane, HelpPanel) + Count(HelpPanel, HelpBorder) +
                  Count(HelpPanel, OnlineHelpButton),
              3);
  }
  // Its release opens the manual.
  OnlineHelpButton.onRelease();
  EXPECT_EQ(gOpened.substr(gOpened.size() - 17), "/docs/manual.html");
}

}  // namespace
}  // namespace veskor
