#include "platform/message_box.h"

#include <SDL.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/descriptor_write.h"
#include "platform/file_links.h"
#include "platform/given_descriptors.h"
#include "platform/process.h"
#include "platform/save_signals.h"

namespace veskor {

namespace {

// Whether `value` is `word` (lower case) in any ASCII case, whatever the locale.
bool IsWord(const char* value, const char* word) {
  for (; *word != '\0'; ++value, ++word)
    if (*value == '\0' || (*value | 0x20) != *word) return false;
  return *value == '\0';
}

// A headless Yes/No box's answer: VESKOR_ANSWER "yes" or "no" in any case, yes when it is unset
// or empty. Any other value ("n", "true") is said on stderr and is no answer, as a box that
// could not be shown: a question that the script meant to decline is not taken as Yes.
MessageAnswer HeadlessAnswer(MessageButtons buttons) {
  if (buttons == MessageButtons::kOk) return MessageAnswer::kOk;
  const char* a = std::getenv("VESKOR_ANSWER");
  if (a == nullptr || a[0] == '\0' || IsWord(a, "yes")) return MessageAnswer::kYes;
  if (IsWord(a, "no")) return MessageAnswer::kNo;
  std::fprintf(stderr,
               "veskor: VESKOR_ANSWER=\"%s\" is not an answer: it may be yes or no, in any case "
               "(unset or empty: yes); the question has none\n",
               a);
  return MessageAnswer::kUnshown;
}

std::string RecordText(const char* caption, const char* text, MessageIcon icon) {
  return std::string(caption ? caption : "") + " [" + MessageIconName(icon) + "] " +
         (text ? text : "") + "\n";
}

// The longest that a record waits for room in a pipe or FIFO whose reader takes nothing (a
// reader stopped, or one that holds the pipe open and never reads): past it the messages file
// is one that cannot be written, and the run's records go to stderr, so that the run never
// waits on its messages for longer than this once.
constexpr int kMessagesWaitSeconds = 2;

// Writes `record` into `fd`, opened without waiting: "" when it went in, else why not. A pipe
// or FIFO takes it in pieces of PIPE_BUF bytes, each whole or not at all (none is half in when
// the wait runs out), waiting up to kMessagesWaitSeconds in all for room; a reader that has
// gone fails it (EPIPE), never the process. Any other file is written as it waits (a disk, a
// terminal held by Ctrl-S), as the process's own stderr is.
std::string WriteRecord(int fd, std::string_view record) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::strerror(errno);
  if (!S_ISFIFO(st.st_mode)) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return std::strerror(errno);
    return WriteWhole(fd, record) ? "" : std::strerror(errno);
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kMessagesWaitSeconds);
  while (!record.empty()) {
    const std::string_view piece = record.substr(0, PIPE_BUF);
    if (WriteWholeHoldingPipe(fd, piece)) {
      record.remove_prefix(piece.size());
      continue;
    }
    if (errno != EAGAIN) return std::strerror(errno);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd room{fd, POLLOUT, 0};
    if (left.count() <= 0 || ::poll(&room, 1, static_cast<int>(left.count())) == 0)
      return "its reader did not take the record within " +
             std::to_string(kMessagesWaitSeconds) + " seconds";
  }
  return "";
}

// Appends `record` to the file `path`: "" when it went in, else the reason of the call that
// failed (the open, a write, or the close). The open never waits: a FIFO without a reader fails
// (ENXIO), as a pipe whose reader has gone does. Another user's link on the way to the file is
// not followed, nor is a file with another name written in a folder that another user may
// change (OwnLinksPath, file_links.h): its refusal is the reason. A file that this open makes
// is given to its folder's owner where that is another user's, or taken away again. A name of
// one of the process's own descriptors (/dev/stdout, /dev/fd/N, /proc/self/fd/N) reaches the file
// only where the descriptor was given at the start and open for writing, as a shell's `>&N`
// writes: any other ("< file", one the process opened itself) is refused with "Bad file
// descriptor", so that a file given for reading is never written.
std::string AppendToFile(const char* path, const std::string& record) {
  OwnLinksPath own;
  std::string refused;
  if (!own.Follow(path, &refused)) return refused;
  if (const long long given = OwnDescriptor(path); given >= 0) {
    const int mode = WasGiven(given) ? ::fcntl(static_cast<int>(given), F_GETFL) : -1;
    if (mode < 0 || (mode & O_ACCMODE) == O_RDONLY) return std::strerror(EBADF);
  }
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK;
  int fd = ::open(own.held().c_str(), kFlags | O_CREAT | O_EXCL | own.NoFollow(), 0666);
  const bool made = fd != -1;
  if (!made && errno == EEXIST) fd = ::open(own.held().c_str(), kFlags | own.NoFollow());
  if (fd == -1) return std::strerror(errno);
  if (!own.MayWrite(fd, &refused) || (made && !own.GiveMade(fd, &refused))) {
    struct stat st {};
    if (made && ::fstat(fd, &st) == 0) RemoveIfStill(own.held(), st);
    ::close(fd);
    return refused;
  }
  std::string why = WriteRecord(fd, record);
  if (::close(fd) != 0 && why.empty()) why = std::strerror(errno);
  return why;
}

Uint32 SdlFlags(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kStop: return SDL_MESSAGEBOX_ERROR;
    case MessageIcon::kExclamation: return SDL_MESSAGEBOX_WARNING;
    default: return SDL_MESSAGEBOX_INFORMATION;
  }
}

// Set once the messages file has failed a record, after the line that says so: the run's
// records go to stderr from then on. The lock keeps a record that failed at the same time from
// reaching stderr before that line.
std::atomic<bool> gMessagesFileFailed{false};
std::mutex gMessagesFileFailing;

// Appends the record where VESKOR_MESSAGES says; false when it is not set.
bool RecordIfHeadless(const char* caption, const char* text, MessageIcon icon) {
  const char* sink = std::getenv("VESKOR_MESSAGES");
  if (sink == nullptr || sink[0] == '\0') return false;
  const std::string record = RecordText(caption, text, icon);
  if (std::strcmp(sink, "-") != 0 && !gMessagesFileFailed.load()) {
    std::string why;
    {
      const SaveUnderWay underWay(sink, "a record");
      why = AppendToFile(sink, record);
    }
    if (why.empty()) return true;
    const std::lock_guard<std::mutex> failing(gMessagesFileFailing);
    if (!gMessagesFileFailed.load()) {
      std::fprintf(stderr,
                   "veskor: cannot write the messages file %s: %s (the records go to stderr)\n",
                   sink, why.c_str());
      gMessagesFileFailed.store(true);
    }
  }
  WriteWhole(STDERR_FILENO, record);
  return true;
}

bool DisplayNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = std::getenv(name); value != nullptr && value[0] != '\0') return true;
  return false;
}

// The statuses that our zenity answers with, set in its environment: zenity ends 1 when it
// cannot open its display (and 0 when its window is destroyed under it), whatever answer codes
// it was given, so that neither of its default codes (0 OK, 1 Cancel, Escape or closed) tells
// an answer from a failure. Any status but these is no answer.
constexpr int kZenityYes = 40;  // OK
constexpr int kZenityNo = 41;   // Cancel; Escape and the window closed by its manager (ZENITY_ESC)

// Our zenity's environment: the process's own, with its answer codes ours (and those that we do
// not use at zenity's defaults).
std::vector<std::string> ZenityEnvironment() {
  std::vector<std::string> env = {"ZENITY_OK=" + std::to_string(kZenityYes),
                                  "ZENITY_CANCEL=" + std::to_string(kZenityNo),
                                  "ZENITY_ESC=" + std::to_string(kZenityNo)};
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "ZENITY_", 7) != 0) env.emplace_back(*e);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The box as a zenity of our own; nothing when zenity cannot be started. The button texts are
// those of SDL's box, whatever the desktop's language; --no-markup shows "<" and "&" as they
// are. kUnshown comes with its reason in `why`.
std::optional<MessageAnswer> ShowZenityBox(const char* caption, const char* text,
                                           MessageIcon icon, MessageButtons buttons,
                                           std::string& why) {
  const bool question = buttons == MessageButtons::kYesNo;
  std::vector<std::string> args = {"zenity"};
  if (question) {
    args.push_back("--question");
  } else {
    args.push_back(icon == MessageIcon::kStop          ? "--error"
                   : icon == MessageIcon::kExclamation ? "--warning"
                                                       : "--info");
  }
  args.push_back(std::string("--title=") + (caption ? caption : ""));
  args.push_back(std::string("--text=") + (text ? text : ""));
  args.push_back("--no-markup");
  if (question) {
    switch (icon) {
      case MessageIcon::kStop: args.push_back("--icon-name=dialog-error"); break;
      case MessageIcon::kExclamation: args.push_back("--icon-name=dialog-warning"); break;
      case MessageIcon::kInformation: args.push_back("--icon-name=dialog-information"); break;
      default: break;  // zenity's own question icon
    }
    args.push_back("--ok-label=Yes");
    args.push_back("--cancel-label=No");
  } else {
    args.push_back("--ok-label=OK");
  }
  std::vector<std::string> env = ZenityEnvironment();
  int endSignal = 0;
  const int status =
      RunChild(Pointers(args).data(), nullptr, 0, Pointers(env).data(), &endSignal);
  switch (status) {
    case kChildNotStarted:  // SDL's box is tried next; one not installed is no failure to say
      if (errno != ENOENT) SayNotStarted("zenity", errno);
      return std::nullopt;
    case kChildClosed:  // the run ends
    case kChildLost:  // another waiter of the run took its status: its answer is not known
      return MessageAnswer::kNone;
    case kChildKilled: {  // a fault of its own, or a kill from outside, before any answer
      const char* name = sigdescr_np(endSignal);
      why = "zenity was ended by signal " + std::to_string(endSignal) +
            (name != nullptr ? std::string(" (") + name + ")" : std::string());
      return MessageAnswer::kUnshown;
    }
    case kZenityYes: return question ? MessageAnswer::kYes : MessageAnswer::kOk;
    case kZenityNo: return question ? MessageAnswer::kNo : MessageAnswer::kOk;
    default:
      why = "zenity ended with status " + std::to_string(status) + ", which is none of its answers";
      return MessageAnswer::kUnshown;
  }
}

// The box shown, by our zenity when there is a display to show it on (zenity would not say
// that there is none), else by SDL's; kUnshown comes with its reason in `why`. With no display
// named no box can be shown, SDL's no more than ours: its answer is known before any process is
// forked for it (a copy of the run forked while another thread holds a lock may never get past
// that lock).
MessageAnswer ShowBox(const char* caption, const char* text, MessageIcon icon,
                      MessageButtons buttons, std::string& why) {
  if (!DisplayNamed()) {
    why = "no display is named (DISPLAY, WAYLAND_DISPLAY), and SDL's box gave no answer";
    return MessageAnswer::kUnshown;
  }
  if (const auto answer = ShowZenityBox(caption, text, icon, buttons, why)) return *answer;
  const char* const noZenity = "zenity could not be started";
  SDL_MessageBoxButtonData okButton{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "OK"};
  SDL_MessageBoxButtonData yesNo[2] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
  };
  SDL_MessageBoxData data{};
  data.flags = SdlFlags(icon);
  data.title = caption ? caption : "";
  data.message = text ? text : "";
  if (buttons == MessageButtons::kYesNo) {
    data.numbuttons = 2;
    data.buttons = yesNo;
  } else {
    data.numbuttons = 1;
    data.buttons = &okButton;
  }
  // SDL shows its box in processes of its own, forked from the run: they end with it.
  int pressed = -1;
  bool failed = false;
  CallForkCounts forks;
  const int run = RunForkingCall(
      [&] {
        failed = SDL_ShowMessageBox(&data, &pressed) != 0;
        return !failed && (pressed == 1 || pressed == 0);
      },
      &forks);
  if (run == kChildClosed) return MessageAnswer::kNone;  // the run ends
  if (run == kChildNotStarted) {
    why = std::string(noZenity) + ", and SDL's box could not be started: " + std::strerror(errno);
    return MessageAnswer::kUnshown;
  }
  // SDL tries its X11 box first, in a copy of the run that it forks, then a zenity of its own
  // in a second process. Its X11 box answers -1 when its window was closed by the window
  // manager (WM_DELETE_WINDOW), as zenity's Escape code says, and so is a No; Escape presses its
  // button of SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, No, itself.
  const bool x11BoxOnly = forks.forked == 1 && forks.stuck == 0;
  if (!failed && pressed == -1 && x11BoxOnly)
    return buttons == MessageButtons::kOk ? MessageAnswer::kOk : MessageAnswer::kNo;
  if (failed) {
    why = std::string(noZenity) + ", and SDL's box failed: " +
          (forks.stuck != 0 ? "its process, a copy of the run, waited on a lock held at its fork "
                              "that nothing could release, and was ended"
                            : SDL_GetError());
    return MessageAnswer::kUnshown;
  }
  // SDL's zenity "succeeds" without a button of ours when it could not show the box (no
  // display: it ends 1, as its Cancel would): nobody saw it.
  if (pressed != 1 && pressed != 0) {  // the ids of our buttons
    why = std::string(noZenity) + ", and SDL's box gave no answer";
    return MessageAnswer::kUnshown;
  }
  if (buttons == MessageButtons::kOk) return MessageAnswer::kOk;
  return pressed == 1 ? MessageAnswer::kYes : MessageAnswer::kNo;
}

// The records of the boxes open now, for an end of the process that does not wait for them: a
// slot holds one from its box's start to its close.
constexpr std::size_t kOpenBoxSlots = 16;
std::atomic<const std::string*> gOpenBoxes[kOpenBoxSlots];

// The slot of `record`, or kOpenBoxSlots when every slot is taken.
std::size_t NoteOpenBox(const std::string* record) {
  for (std::size_t i = 0; i < kOpenBoxSlots; ++i) {
    const std::string* none = nullptr;
    if (gOpenBoxes[i].compare_exchange_strong(none, record)) return i;
  }
  return kOpenBoxSlots;
}

// A note that the process's end took: the end wrote the record, and the process is ending.
void ForgetOpenBox(std::size_t slot) {
  if (slot < kOpenBoxSlots && gOpenBoxes[slot].exchange(nullptr) == nullptr) {
    for (;;) ::pause();
  }
}

}  // namespace

const char* MessageIconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kStop: return "stop";
    case MessageIcon::kExclamation: return "exclamation";
    case MessageIcon::kInformation: return "information";
    case MessageIcon::kQuestion: return "question";
    case MessageIcon::kNone: break;
  }
  return "none";
}

bool HeadlessRecord(const char* caption, const char* text) {
  return RecordIfHeadless(caption, text, MessageIcon::kNone);
}

MessageAnswer ShowMessageBox(const char* caption, const char* text, MessageIcon icon,
                             MessageButtons buttons) {
  if (RecordIfHeadless(caption, text, icon)) return HeadlessAnswer(buttons);
  const std::string record = RecordText(caption, text, icon);
  const std::size_t slot = NoteOpenBox(&record);
  std::string why;
  MessageAnswer answer;
  {
    const PersonWait person;  // the run's end does not count a person's time
    answer = ShowBox(caption, text, icon, buttons, why);
  }
  ForgetOpenBox(slot);
  // Closed without an answer, or not shown: what the box said must not be lost unread.
  if (answer == MessageAnswer::kUnshown)
    std::fprintf(stderr, "veskor: cannot show the box \"%s\": %s\n", caption ? caption : "",
                 why.c_str());
  if (answer == MessageAnswer::kNone || answer == MessageAnswer::kUnshown)
    WriteWhole(STDERR_FILENO, record);
  return answer;
}

void WriteOpenBoxRecords() {
  for (std::atomic<const std::string*>& slot : gOpenBoxes)
    if (const std::string* record = slot.exchange(nullptr)) WriteWhole(STDERR_FILENO, *record);
}

}  // namespace veskor
