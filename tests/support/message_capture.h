// Headless message boxes recorded for a test to read: while a MessageCapture lives, every box
// (and whatever else the platform layer records for unattended runs) is appended to a file of
// its own instead of stderr. Afterwards records go to stderr again and questions are answered
// "yes", as the test main sets up.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace veskor::test {

class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  // Everything recorded so far, one "<caption> [<icon>] <text>" line a box.
  std::string Text() const { return ReadFileText(path_); }
  // Answers the following questions with `answer` ("yes", "no"); null leaves it unset.
  static void Answer(const char* answer);

 private:
  TempDir dir_{"veskor_messages"};
  std::string path_;
};

}  // namespace veskor::test
