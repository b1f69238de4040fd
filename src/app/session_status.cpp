#include "app/session_status.h"

#include <cstdio>
#include <cstring>

#include "app/main_plane.h"
#include "app/automation.h"
#include "app/main_interface.h"
#include "app/window_proc.h"
#include "foundation/frame_clock.h"
#include "gfx/texture_format.h"
#include "gfx/viewport_rect.h"
#include "gui/interface_frame.h"
#include "gui/screen_planes.h"
#include "gui/text_bitmap.h"
#include "platform/gl.h"

namespace veskor {

std::uint32_t LogPenLine = kLogFirstLine;
char LastStageLabel[kStageLabelBytes] = {};
double StageStartSeconds = 0.0;
ShellPorts gSessionPorts = DefaultShellPorts();

namespace {

constexpr std::uint32_t kTextPoints = 10;
constexpr std::uint32_t kEscapeCode = 27;
// The stage name's place in the progress panel's image, below the world's name.
constexpr std::uint32_t kStageX = 20, kStageY = 80, kStageRight = 255, kStageBottom = 98;

void SetPen(TextBitmap& bitmap, const char* face, std::uint32_t style, float level) {
  SetTextSize(bitmap, kTextPoints);
  SetTextFont(bitmap, face);
  SetTextStyle(bitmap, style);
  bitmap.textLevel = level;
}

void DrawStageLabel(const char* label) {
  TextBitmap& bitmap = ProgressPanel.textBitmap;
  ResetTextFont(bitmap);
  EraseTextRect(bitmap, kStageX, kStageY, kStageRight, kStageBottom);
  SetTextFont(bitmap, "times new roman");
  SetTextStyle(bitmap, kTextItalic);  // in the size the compile session left
  bitmap.textLevel = 1.0f;
  DrawMarkupTextAt(bitmap, kStageX, kStageY, label);
  UploadBitmapTexture(bitmap);
  if (ProgressPanel.hidden == 0) DrawPlaneTree(ProgressPanel);
}

}  // namespace

void ShowStatusLine(const char* text, std::int32_t mode) {
  RecordStatusLine(text, mode);
  if (mode != 0) {
    TextBitmap& bitmap = StatusPanel.textBitmap;
    ResetTextFont(bitmap);
    SetPen(bitmap, "arial", 0, 1.0f);
    DrawMarkupTextAt(bitmap, 100, 12, text);
    UploadBitmapTexture(bitmap);
    StatusPanel.blink = 1;
    return;
  }
  TextBitmap& bitmap = StatusText.textBitmap;
  SetPen(bitmap, "times new roman", 0, 0.7f);
  // Lines below the image are clipped away; the extent still grows, so the view scrolls on.
  DrawMarkupTextAt(bitmap, 10, LogPenLine, text);
  LogPenLine += kLogLineStep;
  const auto imageHeight = static_cast<float>(1u << StatusText.textTexture.pixels.log2Height);
  StatusText.contentWidth = 0.0f;
  StatusText.contentHeight = static_cast<float>(LogPenLine + 8) / imageHeight;
  StatusText.scrollX = 0.0f;
  StatusText.scrollY = 100.0f;  // the view clamps it: the newest lines stay in view
}

std::int32_t ProgressOverlay(const char* label, float stageFraction, float totalFraction) {
  WindowMessage message;
  if (gSessionPorts.peekMessage(&message)) {
    // The window was closed: the preparation stops as by Escape and the loop ends after it.
    if (message.message == kWmQuit) {
      QuitRequest = 1;
      return 0;
    }
    MainWindowProc(message);
  }
  if (MultiSampleMode != 0) glDisable(GL_MULTISAMPLE_ARB);
  if (KeyDownTable[KeyCodeMap[kEscapeCode] & 0xFF] != 0) return 0;

  glDrawBuffer(GL_FRONT);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glViewport(0, 0, static_cast<GLsizei>(ViewPlaneWidth(gMainPlane)),
             static_cast<GLsizei>(ViewPlaneHeight(gMainPlane)));
  BeginGuiUnits();
  if (std::strcmp(label, LastStageLabel) != 0) {
    const double now = NowSeconds();
    if (LastStageLabel[0] != '\0') RecordStageTime(LastStageLabel, now - StageStartSeconds);
    StageStartSeconds = now;
    if (std::strstr(label, "Shader") != nullptr) DrawSessionHeader("\\bexecute");
    DrawStageLabel(label);
  }
  StageProgressBar.fraction = stageFraction;
  TotalProgressBar.fraction = totalFraction;
  DrawPlaneTree(StageProgressBar);
  DrawPlaneTree(TotalProgressBar);
  EndGuiUnits();
  std::snprintf(LastStageLabel, sizeof LastStageLabel, "%s", label);

  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glDrawBuffer(GL_BACK);
  if (MultiSampleMode != 0) glEnable(GL_MULTISAMPLE_ARB);
  glFlush();
  return 1;
}

void BeginStageReports() {
  LastStageLabel[0] = '\0';
  StageStartSeconds = NowSeconds();
}

void EndStageReports() {
  if (LastStageLabel[0] != '\0') RecordStageTime(LastStageLabel, NowSeconds() - StageStartSeconds);
}

void ResetTextImage(GuiTextView& view) {
  ClearTextBitmap(view.textBitmap, 1);
  CreateTextBitmap(view.textBitmap, &view.textTexture);
  ResetTextFont(view.textBitmap);
  EraseTextBitmap(view.textBitmap);
}

void DrawSessionHeader(const char* word) {
  TextBitmap& bitmap = StatusPanel.textBitmap;
  ResetTextFont(bitmap);
  SetPen(bitmap, "arial", kTextBold, 1.0f);
  DrawMarkupTextAt(bitmap, 20, 12, word);
  UploadBitmapTexture(bitmap);
}

void UploadSessionLog() {
  UploadBitmapTexture(StatusText.textBitmap);
  ResetTextFont(StatusText.textBitmap);
}

void DrawSessionScreen() {
  BeginGuiUnits();
  DrawScreenPlanes();
  EndGuiUnits();
}

}  // namespace veskor
