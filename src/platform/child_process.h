// Programs that the platform layer shows its boxes and dialogs through (zenity), run as
// children of its own: started without a shell, waited for, and never left behind. Used by
// message_box and file_dialog.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace veskor {

// What RunChild returns when the child gave no exit status of its own.
inline constexpr int kChildNotStarted = -1;  // no fork, or no such program to run: errno says
inline constexpr int kChildKilled = -2;      // ended by a signal that we did not send
inline constexpr int kChildClosed = -3;      // closed because the run was asked to end
inline constexpr int kChildLost = -4;        // no longer ours to wait for

// The longest time between two asks of the check below while a child runs (a signal that
// interrupts the waiting thread has it asked at once).
inline constexpr int kChildPollMs = 50;

// The check made while a child runs (null: none): true when the run has been asked to end (a
// quit signal not yet taken), and the child is then closed. It may also end the process (a
// display that has gone). Set by the layer above that watches the run's end.
void SetChildWaitCheck(bool (*check)());

// Runs argv[0], looked up along PATH, with `argv` (null-terminated) and waits for its end: no
// time limit, since a person may take their time over a box, but the check above is asked at
// least every kChildPollMs, and when it answers true the child is killed, reaped and
// kChildClosed returned; so it is for a child ended by a signal when the check, asked once more,
// answers true (the signal reached the run too). A signal that interrupts the wait is no
// answer. The child's standard output goes into `out` (kept up to `limit` bytes, one more
// telling that it did not fit), or to /dev/null when `out` is null (never into the program's
// own, which may carry a capture); its standard error goes to /dev/null. The child's
// environment is `envp` (null-terminated, made before the call) when given, else the process's
// own.
//
// The kernel ends the child (SIGKILL) when the thread that started it ends, so with the
// process however it ends (an exit, a fatal signal, SIGKILL): the starting thread waits here
// for the child's whole life.
//
// Returns the child's exit status (0-255), or one of the values above; for kChildKilled the
// signal that ended the child goes into `endSignal` when one is given.
int RunChild(char* const argv[], std::string* out = nullptr, std::size_t limit = 0,
             char* const envp[] = nullptr, int* endSignal = nullptr);

// What RunForkingCall saw of the processes that its call forked.
struct CallForkCounts {
  unsigned forked = 0;  // processes started (any that a copy forked in turn included)
  unsigned stuck = 0;   // copies of the run ended for waiting on a lock that nothing can release
};

// How long a process of the call that runs no program of its own (a copy of the run, as SDL's
// X11 box is) may wait on a lock while it is the only thread of its process: a lock that
// another thread of the run held at the fork was copied held, and no thread there can ever
// release it (the address checker's allocator, the locale's lock). Past it the copy is killed,
// and the call goes on as after that process's failure. A copy that waits on anything else (a
// person at its window) is never ended by it.
inline constexpr int kStuckCopyMs = 2000;

// Runs `call`, a library's call that starts processes of its own by fork and waits for them
// (SDL's message box shows itself in one, and may run a zenity of its own), so that those
// processes end with the run as RunChild's children do. Each process that the calling thread
// forks meanwhile starts with the default action of every signal that the program handles (a
// copy of the run's quit handlers, without the threads that answer them, would take SIGTERM
// and never end; the ignored ones stay ignored) and none blocked, and the kernel kills it when
// the calling thread ends, which waits inside the call. The check of SetChildWaitCheck is asked
// meanwhile from a thread of its own, at once and then at least every kChildPollMs: once it
// answers true, those processes are killed, any that the call forks after ends at once, and
// the call is left to return. That thread also kills a stuck copy (kStuckCopyMs). Processes of
// the call still there when it returns are killed and reaped. `call` returns whether it gave an
// answer; when it did not, the check is asked once more (a signal that reached the run and the
// call's process alike may show only now). What was forked goes into `counts` when given.
//
// Returns kChildClosed when the run's end closed the call's processes, kChildNotStarted (errno
// set) when they could not be watched and the call was not made, else 0.
int RunForkingCall(const std::function<bool()>& call, CallForkCounts* counts = nullptr);

// Whether this process is one that a RunForkingCall forked (before any exec): a copy of the
// run's memory that is no run, and must never end one (write its lines, save its settings).
bool InForkOfACall();

}  // namespace veskor
