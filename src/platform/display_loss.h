// The end of a run whose display has gone away (its X server stopped, a forwarded connection
// dropped). Xlib's own handler would call exit(), and exit handlers that close windows then wait
// forever on the dead connection; the platform layer ends the process itself instead, once a
// hook that the program registered has saved what needs no display. Also the end of a run that
// finds no display to open at all.
#pragma once

namespace veskor {

// The exit status of a run that lost its display, and the line it leaves on stderr.
inline constexpr int kDisplayLostExitStatus = 3;
inline constexpr const char* kDisplayLostMessage = "veskor: the display was lost; the program ends";

// The exit status of a run that cannot open its display, before anything was written, and the
// start of its line on stderr: "<start>: DISPLAY is not set", "<start> <name>: <reason>".
inline constexpr int kNoDisplayExitStatus = 4;
inline constexpr const char* kNoDisplayMessage = "veskor: cannot open the display";

// The time the hook is given: past it the process ends all the same.
inline constexpr unsigned kDisplayLostHookSeconds = 5;

// The hook run when the display is lost, before the process ends (null: none). It must make no
// call into the window system: such a call may wait forever on the dead connection (the time
// limit above ends it) or meet the loss again (which ends the process at once).
void SetDisplayLostHook(void (*hook)());

// What the loss of the display sets off (GlVideoStart makes every X connection's I/O failures
// call it, and a fault or a failed window-system call once the display has gone):
// kDisplayLostMessage on stderr, the hook once, then the end of the process with
// kDisplayLostExitStatus, without exit handlers or static destructors. A call from inside the
// hook ends the process at once; a call from another thread meanwhile waits for that end.
[[noreturn]] void EndForLostDisplay();

}  // namespace veskor
