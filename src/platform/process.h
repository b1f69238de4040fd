// Ending the process: at once (fatal errors, no exit handlers) or normally.
#pragma once

namespace veskor {

// Ends the process immediately with `code`: no exit handler and no static destructor runs,
// and stdio buffers are not flushed (stderr is unbuffered).
[[noreturn]] void QuickExit(int code);

// Ends the process normally: exit handlers and static destructors run. The watch set below is
// told the code first.
[[noreturn]] void NormalExit(int code);

// What NormalExit calls with its code before the exit handlers run (null: nothing). The end of
// a run that started a window system sets it (display_loss.h), so that an exit whose handlers
// wait on a display that stopped answering still ends, with that code.
void SetNormalExitWatch(void (*watch)(int code));

}  // namespace veskor
