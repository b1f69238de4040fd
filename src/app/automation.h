// Unattended runs of the whole program (tests, scripts, benchmarks), in the spirit of the
// headless message boxes. Read once at start:
//   VESKOR_AUTOQUIT=<n>   takes the main menu's quit choice in the n-th frame after the first
//                         compile and render attempt ends (or after the welcome closes when
//                         the command line named no world); the exit status is then 2 when
//                         the last compile or render session failed;
//   VESKOR_CAPTURE=<file> writes that last frame as PNG, read from the back buffer before the
//                         swap (the scene and the interface over it); the exit status is 5
//                         when no image was written, whatever the sessions did.
// With VESKOR_MESSAGES set, the status and log lines, and after each render session its time,
// each preparation stage's time and the time from the start to the first frame drawn, are
// recorded with the messages (see HeadlessRecord).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veskor {

class MainPlane;

inline constexpr std::size_t kCapturePathBytes = 1024;
inline constexpr int kCaptureMissingExitStatus = 5;

struct AutomationState {
  std::int32_t quitFrames;  // -1: no automatic quit
  char capturePath[kCapturePathBytes];  // empty: no capture
  double startSeconds;      // the counter when the program started
  std::uint32_t framesDone; // frames passed through AutomationFrameDone
  std::uint32_t armed;
  std::uint32_t armedAt;    // framesDone of the frame the count starts after
  std::uint32_t quitTaken;
  std::uint32_t firstFramePending;  // a render session ended; its first frame is timed
  std::uint32_t sessionFailed;      // the last compile or render session failed
  std::uint32_t captureMissing;     // VESKOR_CAPTURE asked for an image not written yet
};
extern AutomationState Automation;

// Reads the variables (an AUTOQUIT that is not a number of 1 or more, or a capture path too
// long, is reported on stderr and ignored) and notes the start time.
void AutomationInit();

// The count starts: after the frame in progress (the compile and render sessions end within a
// frame), or after the last frame done (the welcome closes after its frame). Only the first
// arming counts.
void AutomationArm();
void AutomationArmInFrame();

// After the frame's drawing, before the buffers are swapped: times the first frame after a
// render session, and in the n-th frame after the arming writes the capture and takes the quit
// choice.
void AutomationFrameDone(MainPlane& plane);

// The root plane's frame after a compile request was handled, with the counter at the render
// session's start (negative when the compile failed): records the session's time when a world
// became ready, else the failure, and starts the count.
void AutomationSessionsEnded(double renderStartSeconds);

// The program's exit status for the main loop's `loopResult` (or for an end before it):
// kCaptureMissingExitStatus when VESKOR_CAPTURE asked for an image and none was written, the
// missing image weighing more than a failed session; else 2 under VESKOR_AUTOQUIT when the last
// compile or render session failed; else `loopResult`.
int AutomationExitCode(int loopResult);

// The back buffer's `width` x `height` pixels as a PNG file; 1 on success, else 0 with the
// reason in `*reason` when it is given.
std::uint32_t CaptureBackBuffer(const char* path, std::uint32_t width, std::uint32_t height,
                                std::string* reason = nullptr);

// The records: a status line (mode other than 0) or a log line (mode 0), and the time of a
// preparation stage. Nothing unless VESKOR_MESSAGES is set.
void RecordStatusLine(const char* text, std::int32_t mode);
void RecordStageTime(const char* stage, double seconds);

}  // namespace veskor
