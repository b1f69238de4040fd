// Ending the process: at once (fatal errors, no exit handlers) or normally; and what the
// program's start sets up for the whole process.
#pragma once

namespace veskor {

// Ends the process immediately with `code`: no exit handler and no static destructor runs,
// and stdio buffers are not flushed (stderr is unbuffered).
[[noreturn]] void QuickExit(int code);

// Ends the process normally: exit handlers and static destructors run. The watch set below is
// told the code first (RunEndNote::kExiting).
[[noreturn]] void NormalExit(int code);

// The run has decided to end, with `code`, before what it writes on the way (a close's or the
// quit's bookmarks and settings, a capture): the watch set below is told, and the run's end
// takes its time from now (display_loss.h). A later call, NormalExit's among them, sets the
// code alone.
void NormalExitDecided(int code);

// The run will end at once with `code` after a last box or record, saving nothing (an Error
// box, then QuickExit): the watch set below is told, so that a record that does not answer
// still ends the run, with `code`.
void QuickExitDecided(int code);

// Registers `handler` for the process's exit, as std::atexit does, with the watch set below told
// the exit's status just before it runs (RunEndNote::kExiting), whoever called exit(): a
// library's exit() (Xlib's at an error that it has no handler for) keeps the run end's time and
// its status as NormalExit does. False when it could not be registered.
bool AtExitWatched(void (*handler)());

// Stands, while it lives, for a box that waits on a person: the watch set below is told of its
// opening and of its close, and the run end's time does not count the person's.
class PersonWait {
 public:
  PersonWait();
  PersonWait(const PersonWait&) = delete;
  PersonWait& operator=(const PersonWait&) = delete;
  ~PersonWait();
};

// What the watch set below is told, with the code that goes with it (0 for a box).
enum class RunEndNote {
  kDecided,         // NormalExitDecided
  kDecidedAtOnce,   // QuickExitDecided
  kExiting,         // NormalExit, or an exit() before a handler of AtExitWatched
  kPersonWaits,     // a PersonWait begun
  kPersonAnswered,  // a PersonWait ended
};

// What watches the run's end (null: nothing). The end of a run that started a window system
// sets it (display_loss.h), so that an end whose writes or exit handlers wait on a file or a
// display that stopped answering still ends, with its code.
void SetRunEndWatch(void (*watch)(RunEndNote note, int code));

// Makes a write that would take a file past the process's file size limit (RLIMIT_FSIZE, a
// shell's `ulimit -f`) fail as any failed write does, with EFBIG ("File too large"), for its
// caller to say, instead of ending the process: SIGXFSZ, which the kernel sends with that
// failure, gets a handler that does nothing. A process started with SIGXFSZ ignored keeps it
// so (the write fails the same way). A handler, unlike an ignored signal, goes back to the
// default at an exec: the programs that the process starts are started as it was. Called
// first thing by the program's and the store writer's main.
void FailWritesPastFileSizeLimit();

// Says on stderr that a thread or a process of the run could not be started, with the
// system's reason `error` (an errno: EAGAIN "Resource temporarily unavailable" when the
// user's limit of processes, RLIMIT_NPROC, is reached): "veskor: cannot start <what>:
// <reason>". The caller goes on without it, or ends the run.
void SayNotStarted(const char* what, int error);

// How many of `wanted` threads the process could have running at once beside those it has,
// found by starting them: each waits until the count is made, then ends, and all are gone
// (the kernel no longer counts them against the limit) when this returns. Less than `wanted`
// when the user's limit of processes (RLIMIT_NPROC, which counts threads too) binds, with
// `*refusal` set to the errno of the start that failed. Without such a limit: `wanted`, and
// nothing is started.
unsigned ThreadsThatCanStart(unsigned wanted, int* refusal);

}  // namespace veskor
