// Test planes for the interface tests: a widget that logs what the walks call on it, placed
// by offsets in GUI units, and the window values the tests start from.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "gui/gui_globals.h"
#include "gui/gui_plane.h"
#include "gui/gui_widget.h"

namespace veskor::test {

struct Probe : GuiWidget {
  Probe(const char* n, std::string* l) : name(n), log(l) {}
  void Log(const std::string& what) {
    if (log != nullptr) *log += name + ":" + what + " ";
  }
  void Draw() override { Log("draw"); }
  void EndDraw() override { Log("end"); }
  void OnKey(const std::uint32_t*) override { Log("key"); }
  void OnMouseButton(std::uint32_t b, std::uint32_t f, float x, float y, std::uint32_t e) override {
    GuiWidget::OnMouseButton(b, f, x, y, e);
    Log("button" + std::to_string(b));
  }
  void OnMouseOver(std::uint32_t b, std::uint32_t f, float x, float y, float lx,
                   float ly) override {
    GuiWidget::OnMouseOver(b, f, x, y, lx, ly);
    Log("over");
  }
  void OnMouseLeave(std::uint32_t b, std::uint32_t f, float x, float y, float lx,
                    float ly) override {
    GuiWidget::OnMouseLeave(b, f, x, y, lx, ly);
    Log("leave");
  }
  void OnStateChange(std::uint32_t, std::uint32_t) override { ++stateChanges; }
  std::string name;
  std::string* log;
  int stateChanges = 0;
};

// The rectangle (left, top)-(right, bottom) in GUI units from the parent's origin.
inline void Place(GuiWidget& w, float left, float top, float right, float bottom,
                  std::uint32_t style = 0) {
  ConfigureWidget(w, style, {left, 0, 0, 0}, {top, 0, 0, 0}, {right, 0, 0, 0}, {bottom, 0, 0, 0});
}

// A root as the application's main plane is: enabled, its own root.
inline void MakeRoot(GuiPlane& root) {
  root.root = &root;
  root.enabled = 1;
}

// A 1024 x 512 window (exact pixel sizes), no capture.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PixelSize = {1.0f / 1024, 1.0f / 512};
    DesignScale = {1.0f, 1.0f};
    ViewAspect = {1.0f, 1.0f};
    MousePoint = {0.5f, 0.5f};
    MouseCapture = nullptr;
    LayoutDirty = 1;
  }
  void TearDown() override { MouseCapture = nullptr; }
};

}  // namespace veskor::test
