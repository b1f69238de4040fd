#include "app/automation.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_interface_callbacks.h"
#include "app/main_plane.h"
#include "foundation/frame_clock.h"
#include "foundation/png_writer.h"
#include "gfx/viewport_rect.h"
#include "gui/text_markup.h"
#include "platform/gl.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/save_signals.h"

namespace veskor {

AutomationState Automation{-1, {}, 0.0, 0, 0, 0, 0, 0, 0, 0};

namespace {

constexpr std::int32_t kQuitChoice = 1;  // the main menu's quit line

void RecordTiming(const char* format, const char* name, double seconds) {
  char text[512];
  std::snprintf(text, sizeof text, format, name, seconds);
  HeadlessRecord("Timing", text);
}

void Arm(std::uint32_t at) {
  if (Automation.armed != 0) return;
  Automation.armed = 1;
  Automation.armedAt = at;
}

}  // namespace

void AutomationInit() {
  Automation = AutomationState{-1, {}, NowSeconds(), 0, 0, 0, 0, 0, 0, 0};
  if (const char* quit = std::getenv("VESKOR_AUTOQUIT"); quit != nullptr && quit[0] != '\0') {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(quit, &end, 10);
    if (*end != '\0' || errno != 0 || n < 1 || n > 1000000000) {
      std::fprintf(stderr, "veskor: VESKOR_AUTOQUIT=%s is not a number of frames: ignored\n", quit);
    } else {
      Automation.quitFrames = static_cast<std::int32_t>(n);
    }
  }
  if (const char* file = std::getenv("VESKOR_CAPTURE"); file != nullptr && file[0] != '\0') {
    Automation.captureMissing = 1;
    if (std::strlen(file) >= kCapturePathBytes) {
      std::fprintf(stderr, "veskor: VESKOR_CAPTURE is too long a path: ignored\n");
    } else {
      std::snprintf(Automation.capturePath, kCapturePathBytes, "%s", file);
    }
  }
}

void AutomationArm() { Arm(Automation.framesDone); }

void AutomationArmInFrame() { Arm(Automation.framesDone + 1); }

void AutomationSessionsEnded(double renderStartSeconds) {
  const bool ready = renderStartSeconds >= 0.0 && WorldReady != 0;
  if (ready) {
    RecordTiming("%s %.3f s", "render session", NowSeconds() - renderStartSeconds);
    Automation.firstFramePending = 1;
  }
  Automation.sessionFailed = ready ? 0 : 1;
  AutomationArmInFrame();
}

int AutomationExitCode(int loopResult) {
  if (Automation.captureMissing != 0) return kCaptureMissingExitStatus;
  return Automation.quitFrames >= 0 && Automation.sessionFailed != 0 ? 2 : loopResult;
}

void AutomationFrameDone(MainPlane& plane) {
  ++Automation.framesDone;
  if (Automation.firstFramePending != 0 && WorldReady != 0) {
    Automation.firstFramePending = 0;
    RecordTiming("%s %.3f s", "first frame", NowSeconds() - Automation.startSeconds);
  }
  if (Automation.quitFrames < 0 || Automation.armed == 0 || Automation.quitTaken != 0) return;
  if (Automation.framesDone - Automation.armedAt < static_cast<std::uint32_t>(Automation.quitFrames))
    return;
  // The run ends from here, with the status it has without the capture: the capture's write
  // keeps the end's time, and one that does not answer leaves the capture missing.
  NormalExitDecided(AutomationExitCode(0));
  if (Automation.capturePath[0] != '\0') {
    std::string reason;
    if (CaptureBackBuffer(Automation.capturePath, ViewPlaneWidth(plane), ViewPlaneHeight(plane),
                          &reason) != 0) {
      Automation.captureMissing = 0;
    } else {
      // A headless run records "Capture [none] cannot write <file>: <reason>"; any other says
      // it on stderr.
      const std::string text =
          "cannot write " + std::string(Automation.capturePath) + ": " + reason;
      if (!HeadlessRecord("Capture", text.c_str()))
        std::fprintf(stderr, "veskor: Capture: %s\n", text.c_str());
    }
  }
  Automation.quitTaken = 1;
  OnMainMenuChoice(kQuitChoice);
}

std::uint32_t CaptureBackBuffer(const char* path, std::uint32_t width, std::uint32_t height,
                                std::string* reason) {
  if (width == 0 || height == 0) {
    if (reason != nullptr) *reason = "no image to write";
    return 0;
  }
  const std::size_t row = std::size_t{width} * 3;
  std::vector<std::uint8_t> pixels(row * height), image(row * height);
  GLint readBuffer = GL_BACK, alignment = 4;
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGB,
               GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  glReadBuffer(static_cast<GLenum>(readBuffer));
  // GL's rows go up from the bottom; the file's go down from the top.
  for (std::uint32_t y = 0; y < height; ++y)
    std::memcpy(&image[row * y], &pixels[row * (height - 1 - y)], row);
  const SaveUnderWay underWay(path, "the capture");
  return SavePngFile(path, image.data(), width, height, 3, reason);
}

void RecordStatusLine(const char* text, std::int32_t mode) {
  // A name or a reason from a world or the system comes behind the markup's literal mark, at
  // the line's start or after the program's words; the record gives the line as shown.
  HeadlessRecord(mode == 0 ? "Log" : "Status",
                 MarkupShownText(text != nullptr ? text : "").c_str());
}

void RecordStageTime(const char* stage, double seconds) {
  RecordTiming("stage '%s' %.3f s", stage != nullptr ? stage : "", seconds);
}

}  // namespace veskor
