// The error and warning boxes of the application shell's start-up, sessions and shut-down.
// Each caption is the kind ("Error : ", "Warning : ") followed by the place: "Init.", "Init.
// Main Plane", "Init. Sounds", "Render", "Shutdown", or empty.
#pragma once

#include "platform/message_box.h"

namespace veskor {

inline constexpr const char* kPlaceInit = "Init.";
inline constexpr const char* kPlaceMainPlane = "Init. Main Plane";
inline constexpr const char* kPlaceSounds = "Init. Sounds";
inline constexpr const char* kPlaceRender = "Render";
inline constexpr const char* kPlaceShutdown = "Shutdown";
inline constexpr const char* kPlaceSettings = "Settings";  // a save while the program runs
// Captions are built in this many bytes; a longer place is cut.
inline constexpr int kCaptionBytes = 256;

// Shows `message` with the stop icon, then ends the process at once, running no exit handler
// and no destructor (nothing is saved), with exit code 1: a failure must not look like success.
[[noreturn]] void ReportError(const char* place, const char* message);

// Shows `message` with the exclamation icon and returns the box's answer; the program goes on.
MessageAnswer ReportWarning(const char* place, const char* message);

}  // namespace veskor
