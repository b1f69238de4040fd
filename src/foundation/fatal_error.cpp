#include "foundation/fatal_error.h"

#include "platform/message_box.h"
#include "platform/process.h"

namespace veskor {

void FatalError(const char* text) {
  ShowMessageBox("Error", text, MessageIcon::kStop, MessageButtons::kOk);
  QuickExit(1);
}

}  // namespace veskor
