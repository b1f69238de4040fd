#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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
