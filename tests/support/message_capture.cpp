#include "support/message_capture.h"

#include <stdlib.h>

namespace veskor::test {

MessageCapture::MessageCapture() : path_(dir_.Path("messages.txt")) {
  setenv("VESKOR_MESSAGES", path_.c_str(), 1);
}

MessageCapture::~MessageCapture() {
  setenv("VESKOR_MESSAGES", "-", 1);
  Answer("yes");
}

void MessageCapture::Answer(const char* answer) {
  if (answer != nullptr) {
    setenv("VESKOR_ANSWER", answer, 1);
  } else {
    unsetenv("VESKOR_ANSWER");
  }
}

}  // namespace veskor::test
