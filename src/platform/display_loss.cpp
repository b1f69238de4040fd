#include "platform/display_loss.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gl_window_internal.h"

namespace veskor {

namespace {

std::atomic<void (*)()> gHook{nullptr};
std::atomic<bool> gEnding{false};
thread_local bool tEnding = false;

// The run's own connection to the X server, made before SDL's and never used for requests: its
// socket ends when the server goes or the connection drops, as every other X connection of the
// process (SDL's two, its message boxes', GLX's requests on SDL's) then does.
xcb_connection_t* gWatched = nullptr;
int gWatchedSocket = -1;

// The signals that SDL, Mesa's GLX and Xlib meet on a dead connection (a request written to it,
// a reply that never came, a broken request queue), with the actions they had before.
constexpr int kFaultSignals[] = {SIGPIPE, SIGSEGV, SIGBUS, SIGABRT};
struct sigaction gFaultActions[std::size(kFaultSignals)];

// Xlib calls exit() when its handler returns: this one never does.
int OnConnectionLost(Display*) { EndForLostDisplay(); }

void OnHookOverrun(int) { _exit(kDisplayLostExitStatus); }

// Whether the watched connection has ended, waiting up to `waitMs` for the end to show there.
// Safe in a signal handler.
bool WatchedConnectionEnded(int waitMs) {
  if (gWatchedSocket < 0) return false;
  const int savedErrno = errno;
  pollfd watched{gWatchedSocket, POLLIN, 0};
  bool ended = false;
  if (poll(&watched, 1, waitMs) == 1) {
    char c;
    const ssize_t n = recv(gWatchedSocket, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    ended = n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
  }
  errno = savedErrno;
  return ended;
}

// A fault once the display has gone is the loss's (the server's going reaches the connections
// a moment apart: the watched one is given a little time); any other is the program's own,
// and goes on as it would have: a faulting instruction runs again under the old action, a
// signal sent (a write to a closed pipe, abort()) is sent again.
void OnFault(int signal, siginfo_t* info, void*) {
  if (WatchedConnectionEnded(500)) EndForLostDisplay();
  for (std::size_t i = 0; i < std::size(kFaultSignals); ++i)
    if (kFaultSignals[i] == signal) sigaction(signal, &gFaultActions[i], nullptr);
  if (info->si_code <= 0) raise(signal);
}

void WatchFaults() {
  struct sigaction fault {};
  fault.sa_sigaction = OnFault;
  fault.sa_flags = SA_SIGINFO;
  sigemptyset(&fault.sa_mask);
  for (std::size_t i = 0; i < std::size(kFaultSignals); ++i)
    sigaction(kFaultSignals[i], &fault, &gFaultActions[i]);
}

[[noreturn]] void EndForNoDisplay(const char* name, const char* reason) {
  if (name == nullptr || name[0] == '\0') {
    std::fprintf(stderr, "%s: DISPLAY is not set\n", kNoDisplayMessage);
  } else {
    std::fprintf(stderr, "%s %s: %s\n", kNoDisplayMessage, name, reason);
  }
  _exit(kNoDisplayExitStatus);
}

// Why xcb could not connect: its own error, else the system's, else a plain word (the server's
// refusal, such as a missing authorisation, is on stderr already: xcb writes it there).
const char* ConnectFailure(int error, int connectErrno) {
  if (error == XCB_CONN_CLOSED_PARSE_ERR) return "not a display name";
  if (error == XCB_CONN_CLOSED_INVALID_SCREEN) return "the X server has no such screen";
  if (connectErrno != 0 && connectErrno != EAGAIN) return std::strerror(connectErrno);
  return "the connection failed";
}

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
  // Xlib's handler is the process's, for every connection: SDL 2.26 keeps it, and sets only a
  // protocol-error handler of its own that hands on to the one it found.
  XSetIOErrorHandler(OnConnectionLost);
  const char* chosen = std::getenv("SDL_VIDEODRIVER");
  const bool driverChosen = chosen != nullptr && chosen[0] != '\0';
  if (driverChosen && strcasecmp(chosen, "x11") != 0) return;  // no X connection to watch
  const char* name = std::getenv("DISPLAY");
  errno = 0;
  int screen = 0;  // asked for, so that a screen the server lacks is found here
  xcb_connection_t* connection = xcb_connect(nullptr, &screen);
  const int connectErrno = errno;
  if (const int error = xcb_connection_has_error(connection); error != 0) {
    xcb_disconnect(connection);
    if (driverChosen) return;  // SDL says why it cannot start
    EndForNoDisplay(name, ConnectFailure(error, connectErrno));
  }
  gWatched = connection;  // open for the whole run
  gWatchedSocket = xcb_get_file_descriptor(connection);
  WatchFaults();
  // Else SDL would go on to drivers that show nothing when its own connection fails.
  if (!driverChosen) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
}

void EndIfDisplayLost(int waitMs) {
  if (WatchedConnectionEnded(waitMs)) EndForLostDisplay();
}

}  // namespace veskor
