// Programs that the platform layer shows its boxes and dialogs through (zenity), run as
// children of its own: started without a shell, waited for, and never left behind. Used by
// message_box and file_dialog.
#pragma once

#include <cstddef>
#include <string>

namespace veskor {

// What RunChild returns when the child gave no exit status of its own.
inline constexpr int kChildNotStarted = -1;  // no fork, or no such program to run
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

}  // namespace veskor
