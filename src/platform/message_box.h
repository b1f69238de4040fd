// Message boxes for errors, warnings and questions.
//
// A box is a zenity of the program's own (child_process.h); SDL's box only when zenity cannot
// be started. With no display named none is shown (kUnshown), and nothing is started for it.
// Either ends with the run however the run ends: SDL's is shown by processes that SDL forks
// (its own window's, or a zenity of its own), which are the run's children as our zenity is
// (RunForkingCall). On either, Escape and the window closed by the window manager are a No. A
// quit signal (SIGTERM, SIGINT) that comes while a box is open closes it: the box answers kNone
// and the signal stays for the message loop, which ends the run as at a window close. Callers
// that wait for kYes take kNone and kUnshown as No. A box whose text may still be unread when
// the process ends (the display lost while it is open) leaves its record on stderr
// (WriteOpenBoxRecords).
//
// Headless mode, for tests and automated runs: when VESKOR_MESSAGES names a file (or "-" for
// stderr), each box is appended there as one record "<caption> [<icon>] <text>" instead of
// being shown, and a Yes/No box is answered from VESKOR_ANSWER ("yes" or "no" in any case, yes
// when unset or empty; any other value is said on stderr, and the box answers kUnshown). A
// messages file that cannot be opened or written is said once on stderr ("veskor: cannot write
// the messages file <file>: <reason> (the records go to stderr)"), and that record and all that
// follow in the run go to stderr. The file is never waited on for long: a FIFO without a reader
// fails at its open, and a pipe or FIFO whose reader takes nothing after 2 seconds.
#pragma once

namespace veskor {

enum class MessageIcon { kNone, kStop, kExclamation, kInformation, kQuestion };
enum class MessageButtons { kOk, kYesNo };
// kNone: the box was closed without an answer (a quit signal, its process reaped by another
// waiter); its record is then left on stderr, so that what it said is not lost unread.
// kUnshown: the box could not be shown (no display named, none that zenity or SDL could open,
// zenity ended by a signal before any answer, no zenity and no SDL box, SDL's zenity ended
// without a button): no answer either, its record and a line with the reason ("veskor: cannot
// show the box "<caption>": <reason>") on stderr.
enum class MessageAnswer { kOk, kYes, kNo, kNone, kUnshown };

// Shows the box with no owner window and returns when it is closed. An Ok box answers kOk
// (kNone or kUnshown as above).
MessageAnswer ShowMessageBox(const char* caption, const char* text, MessageIcon icon,
                             MessageButtons buttons);

// Writes the record of each box open now on stderr, for an end of the process that does not
// wait for the boxes (the display lost): the thread that shows one never goes on past its box.
// Safe in a signal handler.
void WriteOpenBoxRecords();

// The icon's word in headless records: "stop", "exclamation", "information", "question", "none".
const char* MessageIconName(MessageIcon icon);

// In headless mode, appends the record "<caption> [none] <text>" where the boxes go and
// returns true; otherwise does nothing and returns false. Unattended runs record with it what
// a person would have seen (status lines, timings, the addresses a link would open).
bool HeadlessRecord(const char* caption, const char* text);

}  // namespace veskor
