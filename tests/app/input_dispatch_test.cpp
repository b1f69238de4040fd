#include <gtest/gtest.h>

#include <string>

#include "gui/gui_plane.h"
#include "gui/interface_frame.h"

namespace veskor {
namespace {

// Planes that cover the whole window and log the presses and releases they get.
struct LoggingPlane : GuiPlane {
  LoggingPlane(const char* n, std::string* l) : name(n), log(l) {}
  void OnMouseButton(std::uint32_t buttons, std::uint32_t, float, float, std::uint32_t) override {
    *log += name + std::to_string(buttons) + " ";
  }
  std::string name;
  std::string* log;
};

// The frame's press and release routing as the main loop runs it on the main plane.
TEST(DispatchInput, PressesGoInReverseDrawingOrderAndSkipHiddenPlanes) {
  std::string log;
  LoggingPlane root("root", &log), back("back", &log), list("list", &log), front("front", &log),
      inner("inner", &log);
  root.root = &root;
  root.enabled = 1;
  back.style = kPlaneBack;
  front.style = kPlaneFront;
  for (GuiPlane* p : {&back, &list, &front}) AddChildPlane(root, *p);
  AddChildPlane(list, inner);
  auto click = [&] {
    DispatchInput(root, 1, 1, 0, 0.5f, 0.5f, 0);
    DispatchInput(root, 1, 0, 0, 0.5f, 0.5f, 0);
  };
  click();
  HidePlane(front);
  click();
  HidePlane(inner);
  click();
  HidePlane(list);
  click();
  HidePlane(back);
  HidePlane(root);  // the root itself takes presses even when hidden
  click();
  EXPECT_EQ(log, "front1 front0 inner1 inner0 list1 list0 back1 back0 root1 root0 ");
  MouseCapture = nullptr;
}

}  // namespace
}  // namespace veskor
