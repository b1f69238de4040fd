#include "platform/save_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

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

// The writes that SaveUnderWay names, under gSaveNaming, which each holder keeps for a copy of
// a name alone: in each slot a file, what is written, and the mark of its beginning (0: a free
// slot), the latest the highest. The run's end only tries it (SaveUnderWayNow): the watch that
// ends a held run must never wait on another thread.
constexpr char kCut[] = "...";
std::mutex& gSaveNaming = *new std::mutex;  // never destroyed: saves come at the process's end
struct NamedSave {
  std::uint64_t mark = 0;
  const char* what = nullptr;
  std::chrono::steady_clock::time_point since;
  char name[kSaveNameMax + 1];
};
NamedSave gNamedSaves[kSavesNamedMax];
std::uint64_t gSaveMarks = 0;

// Copies `name` into `to` of `size` bytes (at least 4) with its ending zero: cut, "..." at its
// end, when it is longer.
void CopyName(std::string_view name, char* to, std::size_t size) {
  const bool cut = name.size() >= size;
  const std::size_t kept = cut ? size - sizeof kCut : name.size();
  std::memcpy(to, name.data(), kept);
  if (cut) std::memcpy(to + kept, kCut, sizeof kCut - 1);
  to[cut ? size - 1 : kept] = '\0';
}

// Whether the process has a handler of its own for `signal`.
bool Handled(int signal) {
  struct sigaction now {};
  return ::sigaction(signal, nullptr, &now) == 0 && now.sa_handler != SIG_DFL &&
         now.sa_handler != SIG_IGN;
}

}  // namespace

SaveUnderWay::SaveUnderWay(std::string_view file, const char* what) : slot_(kSavesNamedMax) {
  sigset_t quits;
  sigemptyset(&quits);
  for (const int signal : {SIGTERM, SIGINT})
    if (Handled(signal)) sigaddset(&quits, signal);
  ::pthread_sigmask(SIG_BLOCK, &quits, &mask_);
  const std::lock_guard<std::mutex> naming(gSaveNaming);
  for (std::size_t i = 0; i < kSavesNamedMax; ++i) {
    if (gNamedSaves[i].mark != 0) continue;
    slot_ = i;
    gNamedSaves[i].mark = ++gSaveMarks;
    gNamedSaves[i].what = what;
    gNamedSaves[i].since = std::chrono::steady_clock::now();
    CopyName(file, gNamedSaves[i].name, sizeof gNamedSaves[i].name);
    break;
  }
}

SaveUnderWay::~SaveUnderWay() {
  {
    const std::lock_guard<std::mutex> naming(gSaveNaming);
    if (slot_ < kSavesNamedMax) gNamedSaves[slot_].mark = 0;
  }
  ::pthread_sigmask(SIG_SETMASK, &mask_, nullptr);
}

const char* SaveUnderWayNow(char* file, std::size_t size, std::chrono::nanoseconds heldFor) {
  const std::unique_lock<std::mutex> naming(gSaveNaming, std::try_to_lock);
  if (!naming.owns_lock() || size < sizeof kCut) return nullptr;
  const auto begunBy = std::chrono::steady_clock::now() - heldFor;
  const NamedSave* latest = nullptr;
  for (const NamedSave& save : gNamedSaves)
    if (save.mark != 0 && save.since <= begunBy && (latest == nullptr || save.mark > latest->mark))
      latest = &save;
  if (latest == nullptr) return nullptr;
  CopyName(latest->name, file, size);
  return latest->what;
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
