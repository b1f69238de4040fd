// Ending the process: at once (fatal errors, no exit handlers) or normally; and what the
// program's start sets up for the whole process.
#pragma once

namespace veskor {

// Ends the process immediately with `code`: no exit handler and no static destructor runs,
// and stdio buffers are not flushed (stderr is unbuffered).
[[noreturn]] void QuickExit(int code);

// Ends the process normally: exit handlers and static destructors run. The watch set below is
// told the code first.
[[noreturn]] void NormalExit(int code);

// What NormalExit calls with its code before the exit handlers run (null: nothing). The end of
// a run that started a window system sets it (display_loss.h), so that an exit whose handlers
// wait on a display that stopped answering still ends, with that code.
void SetNormalExitWatch(void (*watch)(int code));

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
