#include "app/error_boxes.h"

#include <cstdio>

#include "platform/process.h"

namespace veskor {

namespace {

MessageAnswer ShowReport(const char* kind, const char* place, const char* message,
                         MessageIcon icon) {
  char caption[kCaptionBytes];
  std::snprintf(caption, sizeof caption, "%s%s", kind, place != nullptr ? place : "");
  return ShowMessageBox(caption, message, icon, MessageButtons::kOk);
}

}  // namespace

void ReportError(const char* place, const char* message) {
  QuickExitDecided(1);  // its record keeps the end's time
  ShowReport("Error : ", place, message, MessageIcon::kStop);
  QuickExit(1);
}

MessageAnswer ReportWarning(const char* place, const char* message) {
  return ShowReport("Warning : ", place, message, MessageIcon::kExclamation);
}

}  // namespace veskor
