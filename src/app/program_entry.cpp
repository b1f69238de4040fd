#include "app/program_entry.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/animation_tracks.h"
#include "app/automation.h"
#include "app/session_status.h"
#include "app/settings.h"
#include "app/stencil_rect.h"
#include "app/text_resources.h"
#include "app/window_init.h"
#include "app/window_proc.h"
#include "foundation/frame_clock.h"
#include "foundation/search_dirs.h"
#include "gfx/gl_capabilities.h"
#include "gfx/scene_grid.h"
#include "gui/interface_frame.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/random.h"
#include "sound/sample_loader.h"

namespace veskor {

char WorldPath[kWorldPathBytes];
std::uint32_t WorldPathTooLong = 0;
std::uint32_t QuitRequest = 0;
const LensFlareElement* LensFlareTable = nullptr;
std::uint32_t LensFlareCount = 0;

namespace {

void SwapPlaneBuffers(MainPlane& plane) {
  if (plane.window != nullptr) GlSwapBuffers(plane.window);
}

[[noreturn]] void StartFailure(const char* text) {
  QuickExitDecided(1);  // its record keeps the end's time
  ShowMessageBox("Error", text, MessageIcon::kStop, MessageButtons::kOk);
  QuickExit(1);
}

bool HasChildren(const GuiPlane& plane) {
  return plane.children.count != 0 || plane.frontChildren.count != 0 ||
         plane.backChildren.count != 0;
}

void DrawFrame(MainPlane& plane) {
  LayOutInterface(plane);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glDepthFunc(GL_ALWAYS);
  glCullFace(GL_BACK);
  glFrontFace(GL_CW);
  plane.BeginDraw();
  if (MultiSampleMode != 0) glEnable(GL_MULTISAMPLE_ARB);
  plane.Draw();
  if (HasChildren(plane)) {
    if (MultiSampleMode != 0) glDisable(GL_MULTISAMPLE_ARB);
    DrawInterface(plane, StencilRectFlush);
  }
  plane.EndDraw();
  glCullFace(GL_FRONT);
  glFrontFace(GL_CW);
}

}  // namespace

ShellPorts DefaultShellPorts() {
  return {MainPlaneInitWindow, PeekWindowMessage, SwapPlaneBuffers};
}

void SetWorldPath(const char* commandLine) {
  const std::size_t n = commandLine != nullptr ? std::strlen(commandLine) : 0;
  WorldPathTooLong =
      n < kWorldPathBytes ? 0 : static_cast<std::uint32_t>(std::min<std::size_t>(n, UINT32_MAX));
  if (WorldPathTooLong != 0) {
    WorldPath[0] = '\0';
  } else {
    std::memcpy(WorldPath, n != 0 ? commandLine : "", n + 1);
  }
}

void FirstLaunchWarning(const MainPlane& plane) {
  const std::uint32_t family = plane.boardClass & 0xF;
  if (FirstLaunch == 0 || family == kBoardGeForce || family == kBoardRadeon) return;
  char text[1024];
  std::snprintf(text, sizeof text,
                "veskor was not tested on your 3D board:\n\n     - %.255s, %.255s\n\n"
                "veskor was successfully tested on:\n\n     - NVIDIA GeForce family boards\n"
                "     - ATI Radeon 7500 and 8500\n\nWould you like to continue ?",
                plane.vendor, plane.renderer);
  FirstLaunchUnanswered = 1;  // also for a save while the box is open (a lost display)
  const MessageAnswer answer = ShowMessageBox("Warning, Errors or visual failures can occur !",
                                              text, MessageIcon::kExclamation,
                                              MessageButtons::kYesNo);
  const bool answered = answer == MessageAnswer::kYes || answer == MessageAnswer::kNo;
  FirstLaunchUnanswered = answered ? 0 : 1;
  if (answer == MessageAnswer::kUnshown) NormalExit(kQuestionUnshownExitStatus);
  if (answer != MessageAnswer::kYes) NormalExit(AutomationExitCode(0));  // no frame was captured
}

int WinMain(const char* commandLine, const ShellPorts& ports) {
  AutomationInit();
  InitKernelTable();
  RandomSeed(1);
  SetWorldPath(commandLine);
  gSessionPorts = ports;
  if (MainPlaneInit(gMainPlane, "  v.e.s.k.o.r", "wld Final.ico", 0, ports.initWindow) == 0)
    StartFailure("can't init P !");
  FirstLaunchWarning(gMainPlane);
  CheckRequiredExtensions(kRequiredExtensions);
  LoadTextResources();
  SpatialGridInit(gSceneGrid, &gMainPlane, 1024.0f, 1024.0f, -16384.0f, -16384.0f, -2048.0f,
                  16384.0f, 16384.0f, 2048.0f);
  LensFlareTable = kLensFlareTable;
  LensFlareCount = kLensFlareTableCount;
  const std::string music = std::string(SndDir) + "introveskor.ogg";
  std::string why;  // for a file that is there but did not open
  if (LoadOggSound(music.c_str(), IntroMusicSlot, &why) == 0) {
    StartFailure(why.empty() ? "cannot find intro music"
                             : ("cannot open intro music " + music + ": " + why).c_str());
  }
  QuitRequest = 0;
  FrameClockStart();
  return AutomationExitCode(RunMainLoop(gMainPlane, ports));
}

int RunMainLoop(MainPlane& plane, const ShellPorts& ports) {
  for (;;) {
    WindowMessage message;
    if (ports.peekMessage(&message)) {
      if (message.message == kWmQuit) {
        QuitRequest = 1;
        return static_cast<int>(message.wParam);
      }
      // No frame in a pass that handled a message: all waiting messages go first.
      MainWindowProc(message);
    } else {
      if (DrawEnabled != 0) DrawFrame(plane);
      AutomationFrameDone(plane);
      ports.swapBuffers(plane);
      DispatchInterfaceKeys(plane, KeyEvent, KeyDownTable);
      DispatchInterfaceMouse(plane, MouseEvent, MouseButtons, HeldButtons, MouseModifiers, MouseX,
                             MouseY, MouseWheel);
      AnimationUpdateAll();
      HeldButtons = MouseButtons & kMouseButtonBits;
      MouseEvent = 0;
      KeyEvent = 0;
      MouseWheel = 0;
      FrameClockTick();
    }
    if (QuitRequest != 0) return 0;
  }
}

}  // namespace veskor
