// Opening a web page in the user's browser: SDL's URL opener (xdg-open), else xdg-open started
// by us. The address always reaches the opener as one argument, never through a shell.
//
// Headless mode (VESKOR_MESSAGES set, see message_box.h): no browser starts; the address is
// recorded as "Web page [none] <address>" and the page counts as opened.
#pragma once

#include <cstdint>

namespace veskor {

// 1 when a browser was started (or the address recorded headless), else 0: no xdg-open on
// the PATH, or neither way could start it.
std::uint32_t OpenInBrowser(const char* address);

// Starts `program` (looked up on the PATH) with `argument` as its one argument, detached: the
// program is not waited for and leaves no child behind. 1 when it started (its exec
// succeeded), else 0, said on stderr with the reason of the call that failed (a fork refused
// at the user's limit of processes: "veskor: cannot start xdg-open: Resource temporarily
// unavailable").
std::uint32_t StartDetached(const char* program, const char* argument);

// 1 when `program` names an executable file in a directory of the PATH.
std::uint32_t FindOnPath(const char* program);

}  // namespace veskor
