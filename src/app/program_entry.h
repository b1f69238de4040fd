// The program's entry: the start-up in its fixed order, the first-launch board warning, and
// the message and frame loop that runs every frame until the window is closed or the quit
// choice is taken.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/main_plane.h"
#include "environment/lens_flare.h"
#include "platform/window.h"

namespace veskor {

// The world to compile once the welcome screen closes: the whole command line, or empty.
inline constexpr std::size_t kWorldPathBytes = 512;
extern char WorldPath[kWorldPathBytes];
// The length of a command line that did not fit WorldPath (kWorldPathBytes or more), else 0:
// it is kept neither cut (a cut path would open another file) nor at all, and the compile
// session reports it, with its length, as a file it cannot open.
extern std::uint32_t WorldPathTooLong;
// Set by the quit choice and by the quit message: the loop ends after the current pass.
extern std::uint32_t QuitRequest;

// The lens-flare table the render session hands to the flare loader, and its count.
extern const LensFlareElement* LensFlareTable;
extern std::uint32_t LensFlareCount;

// What start-up and the loop take of the window: the window half of MainPlaneInit, the
// messages one at a time, and the buffer swap. Tests put doubles in.
struct ShellPorts {
  MainPlaneWindowInit initWindow;
  bool (*peekMessage)(WindowMessage* message);
  void (*swapBuffers)(MainPlane& plane);
};
ShellPorts DefaultShellPorts();

// Start-up steps 1 to 11 on gMainPlane, then the main loop; returns the exit code.
int WinMain(const char* commandLine, const ShellPorts& ports);

// Copies the command line into WorldPath, or marks it too long with its length (UINT32_MAX at
// most).
void SetWorldPath(const char* commandLine);

// On a first launch with a board of a family other than GeForce (2) and Radeon (4): the Yes/No
// warning naming the driver's vendor and renderer; any answer but Yes ends the program
// normally, as a window close before the loop would (AutomationExitCode(0)), with the settings
// saved on the way out. A question closed without an answer (a quit signal) leaves the store's
// FirstLaunch TRUE (FirstLaunchUnanswered), whenever the settings are saved; so does one that
// could not be shown (its text and the reason on stderr), which ends the program normally with
// kQuestionUnshownExitStatus.
void FirstLaunchWarning(const MainPlane& plane);
inline constexpr int kQuestionUnshownExitStatus = 6;

// The message and frame loop; returns the exit code: the quit message's, or 0 when QuitRequest
// ended it.
int RunMainLoop(MainPlane& plane, const ShellPorts& ports);

}  // namespace veskor
