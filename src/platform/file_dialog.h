// The open-file dialog: zenity's file picker, started as a child process (fork and exec, no
// shell) with a title, one filter and a start directory; the path it prints is the choice.
// The program waits for it, as for a modal dialog; it ends with the run, and a quit signal
// closes it as a cancel (child_process.h).
//
// Headless mode (VESKOR_MESSAGES set, see message_box.h): zenity is never started; the dialog
// answers with the path in VESKOR_OPEN_FILE, or cancels when that is unset or empty.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veskor {

struct OpenFileRequest {
  const char* title;           // "Open Korvane world"
  const char* filter;          // zenity's form: "Korvane world | *.wld *.vsk"
  const char* startDirectory;  // ends with '/'
};

// 1 with the chosen full path in `path` (`pathBytes` long, terminated); 0 for a cancel (exit
// code 1), a failure (no zenity, no display, any other exit, nothing printed) or a path that
// does not fit the buffer, with `path` empty.
std::uint32_t RunOpenFileDialog(const OpenFileRequest& request, char* path, std::size_t pathBytes);

}  // namespace veskor
