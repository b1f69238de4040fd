#include <gtest/gtest.h>

#include <vector>

#include "app/program_entry.h"
#include "app/stencil_rect.h"
#include "app/window_proc.h"
#include "platform/gl.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

struct Counts {
  int draw = 0, layout = 0, key = 0, button = 0, drag = 0;
};

// A plane that counts what the loop calls on it; as a top-level plane it may add a stencil
// rectangle while drawn.
struct CountingPlane : GuiPlane {
  void Draw() override {
    ++counts.draw;
    if (stencil) StencilRectAdd(0.25f, 0.25f, 0.5f, 0.5f);
  }
  void UpdateLayout() override { ++counts.layout; }
  void OnKey(const std::uint32_t*) override { ++counts.key; }
  void OnMouseButton(std::uint32_t, std::uint32_t, float, float, std::uint32_t) override {
    ++counts.button;
  }
  void OnMouseDrag(std::uint32_t, std::uint32_t, float, float, float, float,
                   std::uint32_t) override {
    ++counts.drag;
  }
  Counts counts;
  bool stencil = false;
};

struct LoopRoot : MainPlane {
  void Draw() override { ++counts.draw; }
  void UpdateLayout() override { ++counts.layout; }
  void OnKey(const std::uint32_t*) override { ++counts.key; }
  Counts counts;
};

int gSwaps = 0;
int gSwapsBeforeQuit = 0;
void CountingSwap(MainPlane&) {
  if (++gSwaps == gSwapsBeforeQuit) QuitRequest = 1;
}

// The script, then what the window procedure posted; a loop still running after 50 passes
// without a message is ended with code 99.
std::vector<WindowMessage> gScript;
std::size_t gNext = 0;
int gIdle = 0;
bool ScriptThenPosted(WindowMessage* m) {
  if (gNext < gScript.size()) {
    *m = gScript[gNext++];
    return true;
  }
  if (PeekWindowMessage(m)) return true;
  if (++gIdle > 50) *m = {kWmQuit, 99, 0};
  return gIdle > 50;
}

class MainLoopTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    root_.enabled = 1;
    back_.style = kPlaneBack;
    front_.style = kPlaneFront;
    for (GuiPlane* p : {&back_, &list_, &front_}) AddChildPlane(root_, *p);
    DrawEnabled = LayoutDirty = QuitRequest = FullScreenMode = 0;
    KeyEvent = MouseEvent = MouseButtons = HeldButtons = 0;
    MouseCapture = nullptr;
    ResetWindowMessages();
  }
  void TearDown() override {
    MouseCapture = nullptr;
    FullScreenMode = 1;
    test::GlTest::TearDown();
  }
  // Runs the loop over the script until the given number of passes without a message.
  int Loop(std::vector<WindowMessage> script, int passes) {
    gScript = std::move(script);
    gNext = 0;
    gIdle = 0;
    gSwaps = 0;
    gSwapsBeforeQuit = passes;
    return RunMainLoop(root_, {nullptr, ScriptThenPosted, CountingSwap});
  }
  LoopRoot root_;
  CountingPlane back_, list_, front_;
};

constexpr WindowMessage kActivate{kWmActivate, 1, 0};

TEST_F(MainLoopTest, MessagesAreDrainedBeforeEachFrame) {
  EXPECT_EQ(Loop({kActivate, {kWmKeyDown, 'A', 0}, {kWmLButtonDown, kMkLButton, 0}}, 2), 0);
  EXPECT_EQ(root_.counts.draw, 2);
  EXPECT_EQ(front_.counts.draw + list_.counts.draw + back_.counts.draw, 6);
  // Only the first frame had the key and the press; the second finds them reset.
  EXPECT_EQ(root_.counts.key + back_.counts.key + list_.counts.key + front_.counts.key, 4);
  EXPECT_EQ(front_.counts.button, 1);  // the press goes to the front plane first
  EXPECT_EQ(MouseCapture, &front_);
  // Drags go by the buttons held at the end of the previous frame: from the second frame on.
  EXPECT_EQ(front_.counts.drag, 1);
  EXPECT_EQ(HeldButtons * 100 + MouseEvent * 10 + KeyEvent, 100u);
}

TEST_F(MainLoopTest, AMinimisedWindowIsNotDrawnButStillSwapsAndDispatches) {
  EXPECT_EQ(Loop({{kWmLButtonDown, kMkLButton, 0}}, 3), 0);  // 3 swaps end it
  EXPECT_EQ(gSwaps, 3);
  EXPECT_EQ(root_.counts.draw + front_.counts.draw, 0);
  EXPECT_EQ(front_.counts.button, 1);
  EXPECT_EQ(HeldButtons * 10 + MouseEvent, 10u);
}

TEST_F(MainLoopTest, AResizeLaysOutEveryTopLevelPlaneOnce) {
  Loop({kActivate, {kWmSize, 0, MakeLParam(64, 64)}}, 3);
  for (const Counts* c : {&root_.counts, &back_.counts, &list_.counts, &front_.counts})
    EXPECT_EQ(c->layout * 10 + c->draw, 13);
  EXPECT_EQ(LayoutDirty, 0u);
}

TEST_F(MainLoopTest, AHiddenMainPlaneTakesNoKey) {
  HidePlane(root_);
  Loop({kActivate, {kWmChar, 'a', 0}}, 1);
  EXPECT_EQ(root_.counts.draw, 1);
  EXPECT_EQ(root_.counts.key + front_.counts.key + list_.counts.key + back_.counts.key, 0);
}

TEST_F(MainLoopTest, ClosingTheWindowOrAskingToQuitEndsTheLoop) {
  EXPECT_EQ(Loop({{kWmClose, 0, 0}}, 100), 0);
  EXPECT_EQ(QuitRequest * 10 + static_cast<std::uint32_t>(gSwaps), 10u);
  EXPECT_EQ(Loop({{kWmQuit, 5, 0}}, 100), 5);
  QuitRequest = 0;
  EXPECT_EQ(Loop({}, 4), 0);  // the quit request ends the pass that found it
  EXPECT_EQ(gSwaps, 4);
}

TEST_F(MainLoopTest, TheStencilRectangleIsFlushedAfterEachTopLevelPlane) {
  list_.stencil = true;
  glClearStencil(0x55);
  glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
  Loop({kActivate}, 1);
  glClearStencil(0);
  glClearColor(0, 0, 0, 0);
  auto stencil = [](int x, int y) {
    GLubyte s = 0;
    glReadPixels(x, y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &s);
    return s;
  };
  // Interface (0.25..0.5) is pixels 16..31 of the 64-pixel test window, y from the top.
  EXPECT_EQ(stencil(16, 47), 0);
  EXPECT_EQ(stencil(31, 32), 0);
  EXPECT_EQ(stencil(15, 40), 0x55);
  EXPECT_EQ(stencil(32, 40), 0x55);
  EXPECT_EQ(stencil(20, 48), 0x55);
  for (int x : {20, 40}) {
    const test::Rgba p = test::ReadPixel(x, 40);
    EXPECT_NEAR(p.r + p.g + p.b, 51 + 102 + 153, 3) << x;
  }
  EXPECT_EQ(PendingStencilRect.pending, 0u);
}

TEST(StencilRect, AddedRectanglesJoinIntoTheirUnion) {
  PendingStencilRect = {};
  StencilRectAdd(0.5f, 0.25f, 0.75f, 0.5f);
  StencilRectAdd(0.25f, 0.375f, 0.625f, 0.875f);
  StencilRectAdd(0.3f, 0.3f, 0.4f, 0.4f);
  const StencilRect r = PendingStencilRect;
  EXPECT_EQ(r.x0 * 1000 + r.y0 * 100 + r.x1 * 10 + r.y1, 250 + 25 + 7.5f + 0.875f);
  EXPECT_EQ(r.pending, 1u);
  PendingStencilRect = {};
}

}  // namespace
}  // namespace veskor
