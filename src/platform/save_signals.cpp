#include "platform/save_signals.h"

#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>

namespace veskor {

namespace {

std::timed_mutex& SaveLock() {
  static std::timed_mutex& lock = *new std::timed_mutex;
  return lock;
}

// Whether `signal` ends a process by default (terminates it, or dumps its core): all but those
// that stop it or are ignored, and SIGKILL, which nothing can hold.
bool EndsByDefault(int signal) {
  switch (signal) {
    case SIGKILL:
    case SIGSTOP:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
    case SIGCHLD:
    case SIGCONT:
    case SIGURG:
    case SIGWINCH: return false;
    default: return true;
  }
}

// Whether `signal` is one that the kernel raises in a thread for a fault of its own (si_code
// above 0), which no handler can put off: the faulting instruction cannot go on.
bool IsFault(int signal) {
  return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL ||
         signal == SIGTRAP || signal == SIGSYS;
}

// The signals held off by SignalsDeferred: whether the hold is on, which came meanwhile, and
// the actions (SIG_DFL) that it stood in for.
std::atomic<bool> gDeferring{false};
std::atomic<bool> gDeferredCame[_NSIG];
struct sigaction gDeferredWere[_NSIG];
bool gDeferred[_NSIG];

// Stands in for the default action of a signal while SignalsDeferred holds: it notes the signal,
// to be sent again once the save is whole. A fault that the kernel raised, or a signal that
// comes as the hold ends, takes its default action at once. Safe in a signal handler.
void OnDeferredSignal(int signal, siginfo_t* info, void*) {
  if ((!IsFault(signal) || info->si_code <= 0) && DeferSentSignalDuringSave(signal)) return;
  struct sigaction end {};
  end.sa_handler = SIG_DFL;
  ::sigaction(signal, &end, nullptr);
  ::raise(signal);  // taken, with its default action, as the handler returns: the end
}

// The save that SaveUnderWay names, written by one thread at a time (gSaveWriting) as a sequence
// lock: gSaveSequence is odd while the name and `what` change, and tells a reader that a copy
// it took meanwhile is torn. A save named has the even count that its naming left as its mark.
constexpr char kCut[] = "...";
std::atomic<char> gSaveName[kSaveNameMax + 1];
std::atomic<const char*> gSaveWhat{nullptr};
std::atomic<std::uint64_t> gSaveSequence{0};
std::atomic<bool> gSaveWriting{false};

// The tries at the writer's turn, or at a copy that no writer tore, before they are given up: a
// writer holds either for a few bytes' copy, unless a signal's handler stopped it there.
constexpr int kSaveNameTries = 1000;

// Takes the writer's turn; false when it was held for all the tries.
bool TakeSaveWriting() {
  for (int i = 0; i < kSaveNameTries; ++i) {
    if (!gSaveWriting.exchange(true, std::memory_order_acquire)) return true;
    ::sched_yield();
  }
  return false;
}

// Names `what` (null: none) saving `file`, within the writer's turn; returns the save's mark.
std::uint64_t NameSave(std::string_view file, const char* what) {
  const std::uint64_t sequence = gSaveSequence.load(std::memory_order_relaxed);
  gSaveSequence.store(sequence + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  const bool cut = file.size() > kSaveNameMax;
  const std::size_t kept = cut ? kSaveNameMax - (sizeof kCut - 1) : file.size();
  for (std::size_t i = 0; i < kept; ++i) gSaveName[i].store(file[i], std::memory_order_relaxed);
  std::size_t end = kept;
  if (cut)
    for (const char c : std::string_view(kCut))
      gSaveName[end++].store(c, std::memory_order_relaxed);
  gSaveName[end].store('\0', std::memory_order_relaxed);
  gSaveWhat.store(what, std::memory_order_relaxed);
  gSaveSequence.store(sequence + 2, std::memory_order_release);
  return sequence + 2;
}

}  // namespace

SaveUnderWay::SaveUnderWay(std::string_view file, const char* what) : mark_(0) {
  if (!TakeSaveWriting()) return;  // left unnamed
  mark_ = NameSave(file, what);
  gSaveWriting.store(false, std::memory_order_release);
}

SaveUnderWay::~SaveUnderWay() {
  if (mark_ == 0 || !TakeSaveWriting()) return;
  if (gSaveSequence.load(std::memory_order_relaxed) == mark_) NameSave("", nullptr);  // still ours
  gSaveWriting.store(false, std::memory_order_release);
}

const char* SaveUnderWayNow(char* file, std::size_t size) {
  if (size == 0) return nullptr;
  for (int i = 0; i < kSaveNameTries; ++i) {
    const std::uint64_t sequence = gSaveSequence.load(std::memory_order_acquire);
    if (sequence % 2 == 0) {
      const char* what = gSaveWhat.load(std::memory_order_relaxed);
      std::size_t n = 0;
      while (n < kSaveNameMax && n + 1 < size &&
             (file[n] = gSaveName[n].load(std::memory_order_relaxed)) != '\0')
        ++n;
      const bool cut =
          n + 1 == size && n < kSaveNameMax && gSaveName[n].load(std::memory_order_relaxed) != '\0';
      file[n] = '\0';
      if (cut && n >= sizeof kCut - 1)
        std::memcpy(file + n - (sizeof kCut - 1), kCut, sizeof kCut - 1);
      std::atomic_thread_fence(std::memory_order_acquire);
      if (gSaveSequence.load(std::memory_order_relaxed) == sequence) return what;
    }
    ::sched_yield();
  }
  return nullptr;  // a writer held: none named
}

SaveTurn::SaveTurn() : turn_(SaveLock(), std::chrono::seconds(kReplaceHoldSeconds)) {}

bool SaveTurn::Taken(std::string* reason) const {
  if (turn_.owns_lock()) return true;
  *reason = "another thread's save has gone on for more than " +
            std::to_string(kReplaceHoldSeconds) + " seconds";
  return false;
}

SignalsDeferred::SignalsDeferred() {
  sigset_t all{};
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &mask_);
  for (auto& came : gDeferredCame) came.store(false);
  gDeferring.store(true);
  struct sigaction note {};
  note.sa_sigaction = OnDeferredSignal;
  note.sa_flags = SA_SIGINFO | SA_RESTART;  // other threads' calls go on as they would have
  for (int signal = 1; signal <= SIGRTMAX; ++signal)
    gDeferred[signal] =
        EndsByDefault(signal) && ::sigaction(signal, nullptr, &gDeferredWere[signal]) == 0 &&
        gDeferredWere[signal].sa_handler == SIG_DFL && ::sigaction(signal, &note, nullptr) == 0;
}

SignalsDeferred::~SignalsDeferred() {
  gDeferring.store(false);
  for (int signal = 1; signal <= SIGRTMAX; ++signal) {
    struct sigaction now {};
    if (gDeferred[signal] && ::sigaction(signal, nullptr, &now) == 0 &&
        now.sa_sigaction == OnDeferredSignal)  // not one the program has set since
      ::sigaction(signal, &gDeferredWere[signal], nullptr);
  }
  ::pthread_sigmask(SIG_SETMASK, &mask_, nullptr);  // those sent to this thread come now
  for (int signal = 1; signal <= SIGRTMAX; ++signal)
    if (gDeferredCame[signal].load()) ::kill(::getpid(), signal);
}

bool DeferSentSignalDuringSave(int signal) {
  if (signal <= 0 || signal >= _NSIG || !gDeferring.load()) return false;
  // Noted before the hold is looked at again: either the hold's end sees the note, or this
  // sees the hold ended, and the caller ends the process itself.
  gDeferredCame[signal].store(true);
  return gDeferring.load();
}

}  // namespace veskor
