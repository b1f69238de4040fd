// The end of a run whose display has gone away (its X server stopped, a forwarded connection
// dropped). Xlib's own handler would call exit(), and exit handlers that close windows then wait
// forever on the dead connection; the platform layer ends the process itself instead, once a
// hook that the program registered has saved what needs no display. Also the end of a run that
// finds no display to open at all, of one whose SIGTERM or SIGINT its loop does not take, and of
// one whose end (its window torn down) waits on a display that stopped answering.
#pragma once

namespace veskor {

// The exit status of a run that lost its display, and the line it leaves on stderr.
inline constexpr int kDisplayLostExitStatus = 3;
inline constexpr const char* kDisplayLostMessage = "veskor: the display was lost; the program ends";

// The exit status of a run that cannot open its display, before anything was written, and the
// start of its line on stderr: "<start>: DISPLAY is not set", "<start> <name>: <reason>".
inline constexpr int kNoDisplayExitStatus = 4;
inline constexpr const char* kNoDisplayMessage = "veskor: cannot open the display";

// The time the hook is given: past it the process ends all the same, naming the write under way
// then (SaveUnderWay, save_signals.h) as the run's end does (below), unless its line named it.
inline constexpr unsigned kDisplayLostHookSeconds = 5;

// The hook run when the display is lost, before the process ends (null: none); also when a quit
// signal not taken or a run's end over its time (below) ends the run, but for an end that saves
// nothing (QuickExitDecided, process.h). It must make no call into the window system: such a
// call may wait forever on the dead connection (the time limit above ends it) or meet the loss
// again (which ends the process at once). A program that has saved by itself at its end clears
// it. The time limit ends it also when it is held in a call that no signal's handler interrupts
// (a file on a file system whose server has stopped).
void SetDisplayLostHook(void (*hook)());

// The time a SIGTERM or SIGINT is given to reach the message loop.
inline constexpr unsigned kQuitSignalSeconds = 3;

// SIGTERM and SIGINT ask the run to end: the message pump takes each as a window close
// (TakeQuitSignal), and the run ends as at a close. One that no pump has taken within
// kQuitSignalSeconds (the loop held in a window-system call, a server that stopped answering,
// a long preparation) ends the run all the same, as a lost display ends it: a line on stderr,
// the hook above within its time, then the end that the signal gives a process (a shell shows
// 128 + its number); of several, the first that waited its time. A write under way then for a
// second at least (SaveUnderWay), whose thread has not answered, is named: "veskor: SIGTERM was not answered
// within 3 s: the write of <what> to <file> did not answer; the program ends, and the write may
// still land if its file system answers later". NormalExit answers those that came before it
// (a box that one closed): the run's end then has its own time. Installed by the program
// first thing, so that a box shown before the window closes at one too, and as SDL's video
// starts, in place of SDL's own handlers; a signal that the run was started ignoring (a
// script's background job ignores SIGINT) stays ignored. Once for the process. Starts the watch
// of the run's end below, when it has not started yet.
void WatchQuitSignals();

// Watches the run's end (below), from a quit signal taken or from what process.h tells of it,
// in a thread of its own that WatchQuitSignals then shares; once for the process. The program
// starts it first thing, so that an end before the window system starts (an Error box over an
// unreadable store) keeps its time too. From then on a message box or dialog that is open
// (child_process.h) closes at a quit signal, leaving it to the pump, and ends the run at the
// display's loss.
void WatchRunEnd();

// The quit signal that came since the last call, now taken: its number, or 0 when none came.
// The run's end begins with the first signal taken.
int TakeQuitSignal();

// The time the run's end is given once it has begun, with the first quit signal taken or as
// process.h tells of it (NormalExitDecided, QuickExitDecided, NormalExit, an exit() before a
// handler of AtExitWatched), whichever comes first: what the run writes on the way (the
// bookmarks, the settings, a capture, an Error box's record) and its window's close, which
// waits on the display. A box that waits on a person meanwhile (PersonWait) stops that time
// until it closes. Past it, unless RunEndTornDown came first, the run ends all the same: a line
// on stderr, the hook within its own time when it is still set (the end had not saved yet) and
// the end saves, then by the signal taken, or else with the last code told. The line names a
// write under way then for a second at least (SaveUnderWay, save_signals.h), which has not
// answered: "veskor: the
// write of the settings to <file> did not answer within 5 s; the program ends, and the write
// may still land if its file system answers later"; with none, kRunEndOverrunMessage once the
// exit has begun, else kRunEndHeldMessage, or "veskor: SIGTERM was answered, but the run did
// not end within 5 s; the program ends" after a signal taken.
inline constexpr unsigned kRunEndSeconds = kDisplayLostHookSeconds;
inline constexpr const char* kRunEndOverrunMessage =
    "veskor: the display did not answer while the window closed; the program ends";
inline constexpr const char* kRunEndHeldMessage =
    "veskor: the run did not end within 5 s of its quit; the program ends";

// The run's window, context and devices are released: nothing of its end waits on the display
// any more, so the time above no longer applies (the exit handlers and static destructors that
// follow take theirs) and nothing that process.h tells of later starts it again.
void RunEndTornDown();

// What the loss of the display sets off (GlVideoStart makes every X connection's I/O failures
// call it, and a fault or a failed window-system call once the display has gone): the records
// of the message boxes still open (WriteOpenBoxRecords) and kDisplayLostMessage on stderr, the
// hook once, then the end of the process with kDisplayLostExitStatus, without exit handlers or
// static destructors. A call from inside the hook ends the process at once; a call from
// another thread meanwhile waits for that end.
[[noreturn]] void EndForLostDisplay();

// The line of a run whose window another client destroyed (its frame destroyed by a client of
// the window manager's, say): the display is still there, but the window and its GL drawable
// are not, and a GL call that draws into them may corrupt the process's memory.
inline constexpr const char* kWindowLostMessage =
    "veskor: the window was destroyed by another program; the program ends";

// The end of a run whose window has gone (WatchOwnWindow, gl_window_internal.h): as
// EndForLostDisplay, with kWindowLostMessage, the hook saving, and kDisplayLostExitStatus.
[[noreturn]] void EndForLostWindow();

}  // namespace veskor
