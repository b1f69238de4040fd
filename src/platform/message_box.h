// Message boxes for errors, warnings and questions.
//
// A box is a zenity of the program's own (child_process.h), which ends with the run however
// the run ends; SDL's box, whose zenity the run could not end, only when zenity cannot be
// started. A quit signal (SIGTERM, SIGINT) that comes while a box is open closes it: the box
// answers kNone and the signal stays for the message loop, which ends the run as at a window
// close. Callers that wait for kYes take kNone as No.
//
// Headless mode, for tests and automated runs: when VESKOR_MESSAGES names a file (or "-" for
// stderr), each box is appended there as one record "<caption> [<icon>] <text>" instead of
// being shown, and a Yes/No box is answered from VESKOR_ANSWER ("yes" or "no", default yes).
#pragma once

namespace veskor {

enum class MessageIcon { kNone, kStop, kExclamation, kInformation, kQuestion };
enum class MessageButtons { kOk, kYesNo };
// kNone: the box was closed without an answer (a quit signal, its process killed); its record
// is then left on stderr, so that what it said is not lost unread.
enum class MessageAnswer { kOk, kYes, kNo, kNone };

// Shows the box with no owner window and returns when it is closed. An Ok box answers kOk
// (kNone when closed as above). A box that cannot be shown leaves its record on stderr and
// answers kOk or kNo.
MessageAnswer ShowMessageBox(const char* caption, const char* text, MessageIcon icon,
                             MessageButtons buttons);

// The icon's word in headless records: "stop", "exclamation", "information", "question", "none".
const char* MessageIconName(MessageIcon icon);

// In headless mode, appends the record "<caption> [none] <text>" where the boxes go and
// returns true; otherwise does nothing and returns false. Unattended runs record with it what
// a person would have seen (status lines, timings, the addresses a link would open).
bool HeadlessRecord(const char* caption, const char* text);

}  // namespace veskor
