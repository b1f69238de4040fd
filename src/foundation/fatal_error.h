// The fatal error box: every failure of the memory manager, and other failures the program
// cannot go on from, end here.
#pragma once

namespace veskor {

// Shows `text` in a box captioned "Error" with the stop icon, then ends the process at once
// with exit code 1. No exit handler and no static destructor runs, so nothing is saved. In the
// fuzz build it writes `text` to stderr and aborts instead.
[[noreturn]] void FatalError(const char* text);

}  // namespace veskor
