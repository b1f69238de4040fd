// The compile session: the first half of opening a world. It finds the root world file (the
// command line's path, or the one chosen in the open-file dialog), resets the language layer,
// parses the root file and its includes into the World and the ParseStore and runs the compile
// step, reporting on the session panels as it goes (session_status.h). The root plane's frame
// runs it when CompileRequest is set and, on success, runs the render session.
#pragma once

#include <cstdint>

namespace veskor {

// The session log's file in BinaryDir: open from the session's start to its end; after a
// failure it stays open until the next session opens it again. One that cannot be written is
// said on stderr ("veskor: cannot write the session log <path>: <reason> ..."), once a run for
// the path, and the sessions go on without it.
inline constexpr const char* kSessionLogName = "session.log";

// The open-file dialog's title, filter and the size of the path it may choose.
inline constexpr const char* kOpenWorldTitle = "Open Korvane world";
inline constexpr const char* kOpenWorldFilter = "Korvane world | *.wld *.vsk";
inline constexpr std::uint32_t kOpenWorldPathBytes = 1024;

// `path`: the command line's world path (WorldPath), or empty for the dialog (unless the
// command line was refused for its length, WorldPathTooLong). 1 when the world was parsed and
// compiled, with CompileRequest still set; 0 on any failure, with CompileRequest clear and the
// reason in the session header, blinking. A failure after the language layer was reset also
// clears WorldReady (its world is gone); one before leaves the previous world as it was.
std::uint32_t CompileSession(const char* path);

}  // namespace veskor
