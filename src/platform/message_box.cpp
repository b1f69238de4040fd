#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/child_process.h"

namespace veskor {

namespace {

MessageAnswer HeadlessAnswer(MessageButtons buttons) {
  if (buttons == MessageButtons::kOk) return MessageAnswer::kOk;
  const char* a = std::getenv("VESKOR_ANSWER");
  return (a != nullptr && std::strcmp(a, "no") == 0) ? MessageAnswer::kNo : MessageAnswer::kYes;
}

void WriteRecord(std::FILE* f, const char* caption, const char* text, MessageIcon icon) {
  std::fprintf(f, "%s [%s] %s\n", caption ? caption : "", MessageIconName(icon), text ? text : "");
  std::fflush(f);
}

Uint32 SdlFlags(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kStop: return SDL_MESSAGEBOX_ERROR;
    case MessageIcon::kExclamation: return SDL_MESSAGEBOX_WARNING;
    default: return SDL_MESSAGEBOX_INFORMATION;
  }
}

// Appends the record where VESKOR_MESSAGES says; false when it is not set.
bool RecordIfHeadless(const char* caption, const char* text, MessageIcon icon) {
  const char* sink = std::getenv("VESKOR_MESSAGES");
  if (sink == nullptr || sink[0] == '\0') return false;
  if (std::strcmp(sink, "-") == 0) {
    WriteRecord(stderr, caption, text, icon);
  } else if (std::FILE* f = std::fopen(sink, "a")) {
    WriteRecord(f, caption, text, icon);
    std::fclose(f);
  } else {
    WriteRecord(stderr, caption, text, icon);
  }
  return true;
}

bool DisplayNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* value = std::getenv(name); value != nullptr && value[0] != '\0') return true;
  return false;
}

// The box as a zenity of our own; nothing when there is no display to show it on (zenity would
// take its failure for a No) or zenity cannot be started. The button texts are those of SDL's
// box, whatever the desktop's language; --no-markup shows "<" and "&" as they are.
std::optional<MessageAnswer> ShowZenityBox(const char* caption, const char* text,
                                           MessageIcon icon, MessageButtons buttons) {
  if (!DisplayNamed()) return std::nullopt;
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
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  switch (RunChild(argv.data())) {
    case kChildNotStarted: return std::nullopt;
    case kChildClosed:  // the run ends: what the box said must not be lost unread
    case kChildKilled:
      WriteRecord(stderr, caption, text, icon);
      return MessageAnswer::kNone;
    case 0: return question ? MessageAnswer::kYes : MessageAnswer::kOk;
    case 1: return question ? MessageAnswer::kNo : MessageAnswer::kOk;  // or Escape, or closed
    default:  // zenity could not show it: the text must not be lost
      WriteRecord(stderr, caption, text, icon);
      return question ? MessageAnswer::kNo : MessageAnswer::kOk;
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
  if (const auto answer = ShowZenityBox(caption, text, icon, buttons)) return *answer;

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
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) {
    // No display to show it on: the text must not be lost.
    WriteRecord(stderr, caption, text, icon);
    return buttons == MessageButtons::kOk ? MessageAnswer::kOk : MessageAnswer::kNo;
  }
  if (buttons == MessageButtons::kOk) return MessageAnswer::kOk;
  return pressed == 1 ? MessageAnswer::kYes : MessageAnswer::kNo;
}

}  // namespace veskor
