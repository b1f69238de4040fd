// Message boxes for errors, warnings and questions.
//
// Headless mode, for tests and automated runs: when VESKOR_MESSAGES names a file (or "-" for
// stderr), each box is appended there as one record "<caption> [<icon>] <text>" instead of
// being shown, and a Yes/No box is answered from VESKOR_ANSWER ("yes" or "no", default yes).
#pragma once

namespace veskor {

enum class MessageIcon { kNone, kStop, kExclamation, kInformation, kQuestion };
enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo };

// Shows the box with no owner window and returns when it is closed. An Ok box answers kOk.
MessageAnswer ShowMessageBox(const char* caption, const char* text, MessageIcon icon,
                             MessageButtons buttons);

// The icon's word in headless records: "stop", "exclamation", "information", "question", "none".
const char* MessageIconName(MessageIcon icon);

// In headless mode, appends the record "<caption> [none] <text>" where the boxes go and
// returns true; otherwise does nothing and returns false. Unattended runs record with it what
// a person would have seen (status lines, timings, the addresses a link would open).
bool HeadlessRecord(const char* caption, const char* text);

}  // namespace veskor
