// The hold a save keeps on the process's signals, and the turn saves take between the threads of
// a run. The replace by name (file_replace.h) and the whole write through a descriptor
// (descriptor_write.h) take both, so that a save once begun ends whole.
//
// A signal that would end the process by its default action (SIGHUP, SIGQUIT, SIGUSR1, SIGALRM,
// SIGPIPE, real-time signals, a SIGSEGV sent by kill, ...) waits while a save is under way, then
// ends the process as it would have. A signal with a handler of the program's own, or ignored,
// is left as it is; a fault that the kernel raises ends the process at once, as SIGKILL does.
//
// One save at a time in a run: a record lock does not tell the threads of one process apart,
// and the signals are held for one save at a time. A save waits for its turn up to
// kReplaceHoldSeconds, then fails.
#pragma once

#include <limits.h>
#include <signal.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace veskor {

// How long a save waits for another thread's save, or for another process's hold on its file.
inline constexpr int kReplaceHoldSeconds = 3;

// The turn of one save, taken for as long as the object lives. The lock behind it is never
// destroyed: the settings saved at the process's end may come after the statics are gone.
class SaveTurn {
 public:
  SaveTurn();
  // False with `*reason` set when another thread's save kept the turn past the wait.
  bool Taken(std::string* reason) const;

 private:
  std::unique_lock<std::timed_mutex> turn_;
};

// Holds off, while the object lives, every signal that would end the process by its default
// action; each that came is then sent to the process again, and ends it as it would have. A
// process-directed signal goes to any thread that does not block it: so this thread blocks every
// signal, and each whose action is the default gets a handler that notes it for the time,
// wherever it lands. In this blocking thread, a fault takes its default action from the kernel.
// One at a time: taken within a SaveTurn.
class SignalsDeferred {
 public:
  SignalsDeferred();
  SignalsDeferred(const SignalsDeferred&) = delete;
  SignalsDeferred& operator=(const SignalsDeferred&) = delete;
  ~SignalsDeferred();

 private:
  sigset_t mask_;
};

// For a handler of the program's own that would end the process at a signal sent to it (si_code
// 0 or below), such as the display watch's at SIGSEGV or SIGABRT: true when a save is under way
// (a whole write through a descriptor, or a replace by name between its temporary's making and
// its rename), the signal then noted and sent to the process again once the save is whole, so
// that the handler returns at once; false otherwise. Safe in a signal handler.
bool DeferSentSignalDuringSave(int signal);

// The longest file name that SaveUnderWay keeps whole: a longer one is kept cut, its first bytes
// then "...".
inline constexpr std::size_t kSaveNameMax = PATH_MAX;

// How many writes SaveUnderWay names at once.
inline constexpr std::size_t kSavesNamedMax = 8;

// Names, while the object lives, the write of a file that may hold its thread in a wait that no
// signal's handler breaks (a file on a file system whose server has stopped): the settings'
// store, the bookmarks, the capture, the session log, a record of the messages file; from the
// first look at the file to the last call on it. A run's end, or a quit signal, that runs over
// its time meanwhile says which write did not answer (display_loss.h). `what` tells what is
// written, as "the write of <what> to <file>" reads ("the settings"), and lasts as long as the
// process (a literal). Of writes under way at once, in one thread or in several, the last begun
// of those that have not ended is named; up to kSavesNamedMax at once, a write begun past them
// going unnamed.
//
// While it lives, its thread also blocks SIGTERM and SIGINT where the process has handlers of
// its own for them: a thread held in such a wait never runs a handler, and a quit signal sent
// to the process then goes to a thread that does (the watch of the quit signals runs one).
// A signal that ends the process by default is left unblocked: it ends it from the wait.
class SaveUnderWay {
 public:
  SaveUnderWay(std::string_view file, const char* what);
  SaveUnderWay(const SaveUnderWay&) = delete;
  SaveUnderWay& operator=(const SaveUnderWay&) = delete;
  ~SaveUnderWay();

 private:
  std::size_t slot_;
  sigset_t mask_;
};

// The write that SaveUnderWay names now: what it writes, with its file's name copied into `file`
// (`size` bytes at most with the ending zero, cut as above when it is longer); null when none is
// under way, or when `size` is under 4. Safe while the saving thread is held in a call of its
// own: it allocates nothing, and waits on no other thread (null when one is naming a save at
// that very moment).
// With `heldFor`, only a write under way for that long at least is named: one that a file system
// which answers takes less (a log's line written as the run's time ran out) is not taken for
// one that holds the run.
const char* SaveUnderWayNow(char* file, std::size_t size,
                            std::chrono::nanoseconds heldFor = std::chrono::nanoseconds(0));

}  // namespace veskor
