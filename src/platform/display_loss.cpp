#include "platform/display_loss.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/gl_window_internal.h"

namespace veskor {

namespace {

std::atomic<void (*)()> gHook{nullptr};
std::atomic<bool> gEnding{false};
thread_local bool tEnding = false;

// Xlib calls exit() when its handler returns: this one never does.
int OnConnectionLost(Display*) { EndForLostDisplay(); }

void OnHookOverrun(int) { _exit(kDisplayLostExitStatus); }

}  // namespace

void SetDisplayLostHook(void (*hook)()) { gHook.store(hook); }

void EndForLostDisplay() {
  if (tEnding) _exit(kDisplayLostExitStatus);  // the hook met the lost display again
  tEnding = true;
  if (gEnding.exchange(true)) {
    for (;;) pause();  // another thread is ending the process
  }
  std::fprintf(stderr, "%s\n", kDisplayLostMessage);
  if (void (*hook)() = gHook.load(); hook != nullptr) {
    struct sigaction overrun {};
    overrun.sa_handler = OnHookOverrun;
    sigaction(SIGALRM, &overrun, nullptr);
    alarm(kDisplayLostHookSeconds);
    hook();
  }
  _exit(kDisplayLostExitStatus);
}

void WatchDisplayConnection() {
  // SDL leaves Xlib's default handler in place; other drivers have no X connection to watch.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && std::strcmp(driver, "x11") == 0) XSetIOErrorHandler(OnConnectionLost);
}

}  // namespace veskor
