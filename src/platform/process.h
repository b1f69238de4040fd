// Ending the process: at once (fatal errors, no exit handlers) or normally.
#pragma once

namespace veskor {

// Ends the process immediately with `code`: no exit handler and no static destructor runs,
// and stdio buffers are not flushed (stderr is unbuffered).
[[noreturn]] void QuickExit(int code);

// Ends the process normally: exit handlers and static destructors run.
[[noreturn]] void NormalExit(int code);

}  // namespace veskor
