#include "foundation/fatal_error.h"

#ifdef VESKOR_FATAL_ERROR_ABORTS
#include <cstdio>
#include <cstdlib>
#endif

#include "platform/message_box.h"
#include "platform/process.h"

namespace veskor {

void FatalError(const char* text) {
#ifdef VESKOR_FATAL_ERROR_ABORTS
  // The fuzz build: an abort is a crash to libFuzzer, which keeps the input that led here.
  std::fprintf(stderr, "Fatal error: %s\n", text);
  std::abort();
#else
  QuickExitDecided(1);  // its record keeps the end's time
  ShowMessageBox("Error", text, MessageIcon::kStop, MessageButtons::kOk);
  QuickExit(1);
#endif
}

}  // namespace veskor
