#include "platform/display_loss.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <errno.h>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/child_process.h"
#include "platform/descriptor_write.h"
#include "platform/gl_window_internal.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/save_signals.h"

namespace veskor {

namespace {

std::atomic<void (*)()> gHook{nullptr};
std::atomic<bool> gEnding{false};
thread_local bool tEnding = false;
// What the run ends by: a signal (as that signal ends a process), else the exit status.
std::atomic<int> gEndSignal{0};
std::atomic<int> gEndStatus{kDisplayLostExitStatus};

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

// The run's end once the hook is done, or over its time: by the signal that ended it, as that
// signal ends a process (a shell shows 128 + its number), else with its status. Safe in a
// signal handler.
[[noreturn]] void Finish() {
  if (const int signal = gEndSignal.load(); signal != 0) {
    ::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);
  }
  _exit(gEndStatus.load());
}

// A line on stderr that names the write under way (SaveUnderWay) for a second at least, which
// has not answered: "veskor: <lead>the write of <what> to <file> did not answer[ within
// <seconds> s]; the program ends, ...", the write maybe taken up by the file system before it
// stopped. False when none is.
constexpr std::size_t kLineBytes = kSaveNameMax + 256;
constexpr std::chrono::seconds kHeldWrite{1};
bool HeldWriteLine(const char* lead, unsigned seconds, char* line, std::size_t size) {
  char file[kSaveNameMax + 1];
  const char* what = SaveUnderWayNow(file, sizeof file, kHeldWrite);
  if (what == nullptr) return false;
  char within[32] = "";
  if (seconds != 0) std::snprintf(within, sizeof within, " within %u s", seconds);
  std::snprintf(line, size,
                "veskor: %sthe write of %s to %s did not answer%s; the program ends, and the "
                "write may still land if its file system answers later",
                lead, what, file, within);
  return true;
}

// The line that EndRun wrote, so that the hook's time, running out on the same write, does not
// say it again.
char gEndLine[kLineBytes];

// The end over the hook's time: a write under way then (the hook's, or the one that held the
// run before it) is named, once, unless the run's line named it already. Both keepers of the
// time (SIGALRM's handler, the timer's thread) come here: the first says the line, the other
// waits for that line kOverrunLineGraceMs at most, then ends the process even when the first
// is still held in its write (a stderr that nobody reads). Safe in a signal handler, as Finish.
constexpr int kOverrunLineGraceMs = 500;
[[noreturn]] void FinishOverHookTime() {
  static std::atomic<bool> said{false};
  static std::atomic<bool> written{false};
  if (said.exchange(true)) {
    const timespec step{0, 10 * 1000 * 1000};
    for (int waited = 0; waited < kOverrunLineGraceMs && !written.load(); waited += 10)
      nanosleep(&step, nullptr);
    Finish();
  }
  char line[kLineBytes];
  if (HeldWriteLine("", kDisplayLostHookSeconds, line, sizeof line) &&
      std::strcmp(line, gEndLine) != 0) {
    std::strcat(line, "\n");
    WriteWhole(STDERR_FILENO, line);
  }
  written.store(true);
  Finish();
}

void OnHookOverrun(int) { FinishOverHookTime(); }

// The hook's time from now, kept by a thread of its own beside SIGALRM: the run it ends may be
// held in a call that no handler can interrupt (a file on a file system whose server has
// stopped holds its caller until a signal ends the process), and the kernel may give SIGALRM to
// that thread and leave it there, or the hook meet the same file system. Without the thread
// (none could be started), SIGALRM alone keeps the time; were the thread's start itself held
// (the hook run in a signal's handler that broke into it), SIGALRM ends that wait too.
timespec gHookDue{};
void StartHookTimer() {
  clock_gettime(CLOCK_MONOTONIC, &gHookDue);
  gHookDue.tv_sec += kDisplayLostHookSeconds;
  pthread_t timer;
  const auto keep = [](void*) -> void* {
    sigset_t alarmOnly;  // so that SIGALRM's handler never breaks into this thread's own end
    sigemptyset(&alarmOnly);
    sigaddset(&alarmOnly, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarmOnly, nullptr);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &gHookDue, nullptr) != 0) {
    }
    FinishOverHookTime();
  };
  if (pthread_create(&timer, nullptr, keep, nullptr) == 0) pthread_detach(timer);
}

// The run's end with `line` on stderr (after the records of the boxes still open), before the
// hook (after it when stderr takes nothing now) when one is set and `saving`, by `signal` (0: none) or else with `status`, the writes and
// the hook within the hook's time; once for the process: a call from inside the hook ends it at
// once, a call from another thread meanwhile waits for that end.
[[noreturn]] void EndRun(const char* line, int signal, int status, bool saving = true) {
  // A process that a library forked from the run (SDL's box, whose own connection's end calls
  // Xlib's handler, ours) holds a copy of the run: it ends alone, the run saying and saving.
  if (InForkOfACall()) _exit(status);
  if (tEnding) Finish();  // the hook met the end again
  tEnding = true;
  if (gEnding.exchange(true)) {
    for (;;) pause();  // another thread is ending the process
  }
  gEndSignal.store(signal);
  gEndStatus.store(status);
  // The time is kept from before the first write: stderr or the messages file may not take
  // what is written (a pipe that nobody reads, a terminal stopped with Ctrl-S).
  std::snprintf(gEndLine, sizeof gEndLine, "%s", line);
  struct sigaction overrun {};
  overrun.sa_handler = OnHookOverrun;
  sigaction(SIGALRM, &overrun, nullptr);
  alarm(kDisplayLostHookSeconds);
  StartHookTimer();
  // A stderr that takes nothing now (a pipe that nobody reads) is written after the hook, so
  // that its wait holds no save; both are within the time kept above.
  pollfd err{STDERR_FILENO, POLLOUT, 0};
  const bool saidFirst = poll(&err, 1, 0) != 0;
  const auto say = [line] {
    WriteOpenBoxRecords();  // a box that is open ends unanswered, its text maybe unread
    std::fprintf(stderr, "%s\n", line);
  };
  if (saidFirst) say();
  if (void (*hook)() = gHook.load(); hook != nullptr && saving) hook();
  if (!saidFirst) say();
  Finish();
}

constexpr std::int64_t kNsPerSecond = 1000000000;

std::int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * kNsPerSecond + now.tv_nsec;
}

// SIGTERM and SIGINT, counted as raised and as taken by the message pump (which takes all that
// came), so that one raised after another was taken is given its own time. The watch takes the
// raises in turn, each with the signal it was, from a ring that the handler fills before its
// post. (A slot found empty, when two threads took signals at the same moment, or more came at
// once than the ring holds, stands for the signal raised last.) The semaphore is also posted to
// wake the watch when the run's end begins: gWakes counts those posts.
std::atomic<int> gQuitSignal{0};
std::atomic<std::uint64_t> gQuitsRaised{0};
std::atomic<std::uint64_t> gQuitsTaken{0};
constexpr std::size_t kQuitRing = 64;
std::atomic<int> gQuitRing[kQuitRing];
std::atomic<std::uint64_t> gWakes{0};
sem_t gQuitRaised;

void OnQuitSignal(int signal) {
  const int savedErrno = errno;
  gQuitSignal.store(signal);
  gQuitRing[gQuitsRaised.fetch_add(1) % kQuitRing].store(signal);
  sem_post(&gQuitRaised);
  errno = savedErrno;
}

// The run's end, once begun (a quit signal taken, the run's decision to end, its exit): the time
// by which it must be over, on the monotonic clock, and what it ends by past that time. Not
// begun yet: 0; torn down (nothing left that waits on the display): never; while a box waits on
// a person: stopped, the time that was left kept aside.
constexpr std::int64_t kEndNotBegun = 0;
constexpr std::int64_t kEndTornDown = INT64_MAX;
constexpr std::int64_t kEndStopped = INT64_MAX - 1;
std::atomic<bool> gRunEndBegun{false};
std::atomic<std::int64_t> gRunEndDue{kEndNotBegun};
std::atomic<std::int64_t> gRunEndLeft{0};
std::atomic<int> gPersonWaits{0};
std::atomic<int> gRunEndSignal{0};
std::atomic<int> gRunEndStatus{0};
std::atomic<bool> gRunEndSaves{true};  // false for an end that saves nothing (an Error box)

bool Running(std::int64_t due) {
  return due != kEndNotBegun && due != kEndTornDown && due != kEndStopped;
}

// Wakes the watch to wait for the end's time as it is now.
void WakeTheWatch() {
  gWakes.fetch_add(1);
  sem_post(&gQuitRaised);
}

// The first call starts the end's time (stopped while a box waits on a person); the watch is
// woken to wait for it. A later one, until the end is torn down, gives the signal that the end
// goes by when it had none, or else the status.
void BeginRunEnd(int signal, int status) {
  if (gRunEndBegun.exchange(true)) {
    if (gRunEndDue.load() == kEndTornDown) return;
    int none = 0;
    if (signal == 0) {
      gRunEndStatus.store(status);
    } else {
      gRunEndSignal.compare_exchange_strong(none, signal);
    }
    return;
  }
  gRunEndSignal.store(signal);
  gRunEndStatus.store(status);
  if (gPersonWaits.load() > 0) {
    gRunEndLeft.store(kRunEndSeconds * kNsPerSecond);
    gRunEndDue.store(kEndStopped);
  } else {
    gRunEndDue.store(MonotonicNs() + kRunEndSeconds * kNsPerSecond);
  }
  WakeTheWatch();
}

// A box waits on a person: the end's time stops with the first, and goes on, with what was
// left of it, once the last has closed.
void StopRunEndTime() {
  if (gPersonWaits.fetch_add(1) != 0) return;
  std::int64_t due = gRunEndDue.load();
  if (!Running(due)) return;
  gRunEndLeft.store(std::max<std::int64_t>(due - MonotonicNs(), 0));
  gRunEndDue.compare_exchange_strong(due, kEndStopped);
}
void GoOnWithRunEndTime() {
  if (gPersonWaits.fetch_sub(1) != 1) return;
  std::int64_t stopped = kEndStopped;
  if (gRunEndDue.compare_exchange_strong(stopped, MonotonicNs() + gRunEndLeft.load()))
    WakeTheWatch();
}

bool RunEndOverdue(std::int64_t now) {
  const std::int64_t due = gRunEndDue.load();
  return Running(due) && now >= due;
}

const char* QuitSignalName(int signal) { return signal == SIGINT ? "SIGINT" : "SIGTERM"; }

// The run's end over its time: a write under way then, which did not answer (a file system
// whose server stopped); else its window closing, when the exit had begun; else the run held
// after it took its quit signal, or after it decided to end, by what is not known. The hook
// saves what the end had not, unless it was an end that saves nothing.
std::atomic<bool> gExitBegun{false};
[[noreturn]] void EndOverdueRun() {
  const int signal = gRunEndSignal.load(), status = gRunEndStatus.load();
  const bool saves = gRunEndSaves.load();
  char line[kLineBytes];
  if (HeldWriteLine("", kRunEndSeconds, line, sizeof line)) EndRun(line, signal, status, saves);
  if (gExitBegun.load()) EndRun(kRunEndOverrunMessage, signal, status, saves);
  if (signal == 0) EndRun(kRunEndHeldMessage, 0, status, saves);
  std::snprintf(line, sizeof line,
                "veskor: %s was answered, but the run did not end within %u s; the program ends",
                QuitSignalName(signal), kRunEndSeconds);
  EndRun(line, signal, status, saves);
}

// Waits for a post of the semaphore; ends the run when its end runs over its time meanwhile.
void AwaitPost() {
  for (;;) {
    const std::int64_t due = gRunEndDue.load();
    int waited;
    if (!Running(due)) {
      waited = sem_wait(&gQuitRaised);
    } else {
      if (MonotonicNs() >= due) EndOverdueRun();
      const timespec at{static_cast<time_t>(due / kNsPerSecond),
                        static_cast<long>(due % kNsPerSecond)};
      waited = sem_clockwait(&gQuitRaised, CLOCK_MONOTONIC, &at);
    }
    if (waited == 0) return;
    // EINTR (a signal handled on this thread) or the end's time: looked at again.
  }
}

// Waits for each quit signal to be taken; the first that is not taken within its time ends the
// run, by that signal, naming the write that held the run when one did. Ends the run too when
// its end, once begun, runs over its time.
[[noreturn]] void WatchQuits() {
  std::uint64_t wakesSeen = 0;
  for (std::uint64_t raise = 0;;) {
    AwaitPost();
    if (wakesSeen < gWakes.load()) {  // the end's time has changed: it is waited for above
      ++wakesSeen;
      continue;
    }
    const std::int64_t due = MonotonicNs() + kQuitSignalSeconds * kNsPerSecond;
    const int own = gQuitRing[raise % kQuitRing].exchange(0);
    const int signal = own != 0 ? own : gQuitSignal.load();
    while (gQuitsTaken.load() <= raise) {
      const std::int64_t now = MonotonicNs();
      if (now >= due) {
        char lead[64], line[kLineBytes];
        std::snprintf(lead, sizeof lead, "%s was not answered within %u s: ",
                      QuitSignalName(signal), kQuitSignalSeconds);
        if (!HeldWriteLine(lead, 0, line, sizeof line))
          std::snprintf(line, sizeof line,
                        "veskor: %s was not answered within %u s; the program ends",
                        QuitSignalName(signal), kQuitSignalSeconds);
        EndRun(line, signal, 0);
      }
      if (RunEndOverdue(now)) EndOverdueRun();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ++raise;
  }
}

// Whether the watched connection has ended, waiting up to `waitMs` for the end to show there.
// Safe in a signal handler. The server's going reaches the connections a moment apart:
// kServerGoingMs is the moment given.
constexpr int kServerGoingMs = 500;
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
  // Sent while a save through a descriptor is under way: it comes again once the save is whole.
  if (info->si_code <= 0 && DeferSentSignalDuringSave(signal)) return;
  if (WatchedConnectionEnded(kServerGoingMs)) EndForLostDisplay();
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

// Connects a stream socket of `family` to `address` within a few seconds: 0, else the errno of
// the failure.
int ProbeConnect(int family, const sockaddr* address, socklen_t length) {
  const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return errno;
  int error = 0;
  if (connect(fd, address, length) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      pollfd done{fd, POLLOUT, 0};
      socklen_t size = sizeof error;
      if (poll(&done, 1, 5000) != 1) {
        error = ETIMEDOUT;
      } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
      }
    }
  }
  close(fd);
  return error;
}

int ProbeUnixSocket(const char* path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t n = std::strlen(path);
  if (n + 1 >= sizeof address.sun_path) return ENAMETOOLONG;
  std::memcpy(address.sun_path + (abstract ? 1 : 0), path, n);  // abstract: a leading zero byte
  const socklen_t length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + n + (abstract ? 1 : 0));
  return ProbeConnect(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length);
}

// Why the port 6000 + `display` of `host` cannot be reached; null when it can.
const char* ProbeTcp(const char* host, int display) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(6000 + display);
  if (const int failed = getaddrinfo(host, port.c_str(), &hints, &found); failed != 0)
    return gai_strerror(failed);
  int error = ECONNREFUSED;
  for (const addrinfo* a = found; a != nullptr && error != 0; a = a->ai_next)
    error = ProbeConnect(a->ai_family, a->ai_addr, a->ai_addrlen);
  freeaddrinfo(found);
  return error != 0 ? std::strerror(error) : nullptr;
}

// Why the X server of `name` cannot be reached as xcb reaches it (a host's TCP port 6000 + n,
// else the local socket of display n, abstract then in /tmp/.X11-unix/, else the local TCP
// port): the host's failure, or the local socket's; null when one connects.
const char* ProbeDisplay(const char* name) {
  char* host = nullptr;
  int display = 0, screen = 0;
  if (xcb_parse_display(name, &host, &display, &screen) == 0) return "the connection failed";
  const std::string hostName = host != nullptr ? host : "";
  std::free(host);
  if (!hostName.empty() && hostName != "unix") return ProbeTcp(hostName.c_str(), display);
  const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
  if (ProbeUnixSocket(path.c_str(), true) == 0) return nullptr;
  const int error = ProbeUnixSocket(path.c_str(), false);
  if (error == 0 || ProbeTcp("localhost", display) == nullptr) return nullptr;
  return std::strerror(error);
}

// Why xcb could not connect: its own error; for a failed connection, what a probe of the
// display's socket finds once xcb has failed: the server reached (it refused the client, for
// want of authorisation say: xcb has written the server's reason on stderr already), or why the
// socket could not be reached. Never errno as xcb left it: a file that it failed to read on the
// way (a missing authority file) leaves a stale one.
const char* ConnectFailure(int error, const char* name) {
  if (error == XCB_CONN_CLOSED_PARSE_ERR) return "not a display name";
  if (error == XCB_CONN_CLOSED_INVALID_SCREEN) return "the X server has no such screen";
  if (error != XCB_CONN_ERROR) return "the connection failed";
  const char* unreachable = ProbeDisplay(name);
  return unreachable != nullptr ? unreachable : "the X server refused the connection";
}

// The check of a box's or dialog's wait: a display that has gone ends the run (the box's child
// with it); a quit signal that no pump has taken yet closes the box and stays for the pump.
bool RunEndAsked() {
  EndIfDisplayLost(0);
  return gQuitsTaken.load() < gQuitsRaised.load();
}

}  // namespace

void SetDisplayLostHook(void (*hook)()) { gHook.store(hook); }

void EndForLostDisplay() { EndRun(kDisplayLostMessage, 0, kDisplayLostExitStatus); }

void EndForLostWindow() {
  // A server that stops destroys every window before it drops its connections: the run's own
  // window gone then is the display's loss, which reaches the watched connection a moment later.
  if (WatchedConnectionEnded(kServerGoingMs)) EndForLostDisplay();
  EndRun(kWindowLostMessage, 0, kDisplayLostExitStatus);
}

void WatchRunEnd() {
  static bool watching = false;
  if (watching) return;
  watching = true;
  sem_init(&gQuitRaised, 0, 0);
  // The start goes on once the watch runs: a thread still starting may hold a lock (the address
  // checker's runtime takes one to record the thread's first allocation), and a fork meanwhile
  // (SDL's D-Bus start runs a helper) would copy it held, the copy then waiting for ever.
  static sem_t running;
  sem_init(&running, 0, 0);
  // A thread that cannot be started (the user's limit of processes reached) is said, and the
  // run goes on without the watch: the loop still takes the quit signals, but nothing ends a
  // run that does not take one, or whose end runs over its time.
  pthread_t watch;
  const int refused = pthread_create(
      &watch, nullptr,
      [](void*) -> void* {
        sem_post(&running);
        WatchQuits();
      },
      nullptr);
  if (refused != 0) {
    SayNotStarted("the watch of the quit signals", refused);
  } else {
    pthread_detach(watch);
    while (sem_wait(&running) != 0) {
    }
  }
  SetChildWaitCheck(RunEndAsked);
  // A normal exit answers the quit signals that came before it (a box that one closed, and the
  // run then ending as at a close): its end has a time of its own.
  SetRunEndWatch([](RunEndNote note, int code) {
    switch (note) {
      case RunEndNote::kDecidedAtOnce:
        gRunEndSaves.store(false);
        BeginRunEnd(0, code);
        break;
      case RunEndNote::kDecided: BeginRunEnd(0, code); break;
      case RunEndNote::kExiting:
        gExitBegun.store(true);
        BeginRunEnd(0, code);
        gQuitsTaken.store(gQuitsRaised.load());
        break;
      case RunEndNote::kPersonWaits: StopRunEndTime(); break;
      case RunEndNote::kPersonAnswered: GoOnWithRunEndTime(); break;
    }
  });
}

void WatchQuitSignals() {
  static bool watching = false;
  if (watching) return;
  watching = true;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // SDL's would wait for the loop for ever
  WatchRunEnd();
  for (const int signal : {SIGTERM, SIGINT}) {
    struct sigaction old {};
    sigaction(signal, nullptr, &old);
    if (old.sa_handler != SIG_DFL || (old.sa_flags & SA_SIGINFO) != 0) continue;  // kept: ignored
    struct sigaction quit {};
    quit.sa_handler = OnQuitSignal;
    sigemptyset(&quit.sa_mask);
    sigaction(signal, &quit, nullptr);
  }
}

int TakeQuitSignal() {
  const std::uint64_t raised = gQuitsRaised.load();
  if (gQuitsTaken.load() == raised) return 0;
  const int signal = gQuitSignal.load();
  BeginRunEnd(signal, 0);
  gQuitsTaken.store(raised);
  return signal;
}

void RunEndTornDown() {
  gRunEndBegun.store(true);
  gRunEndDue.store(kEndTornDown);
}

void WatchDisplayConnection() {
  // Xlib's handler is the process's, for every connection: SDL 2.26 keeps it, and sets only a
  // protocol-error handler of its own that hands on to the one it found.
  XSetIOErrorHandler(OnConnectionLost);
  // x11 named is the run's own driver, chosen or not; another driver named needs no X server.
  const char* chosen = std::getenv("SDL_VIDEODRIVER");
  const bool driverChosen = chosen != nullptr && chosen[0] != '\0';
  if (driverChosen && strcasecmp(chosen, "x11") != 0) return;  // no X connection to watch
  const char* name = std::getenv("DISPLAY");
  int screen = 0;  // asked for, so that a screen the server lacks is found here
  xcb_connection_t* connection = xcb_connect(nullptr, &screen);
  if (const int error = xcb_connection_has_error(connection); error != 0) {
    xcb_disconnect(connection);
    EndForNoDisplay(name, ConnectFailure(error, name));
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
