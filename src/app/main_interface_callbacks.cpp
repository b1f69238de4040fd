#include "app/main_interface_callbacks.h"

#include <cmath>

#include "app/automation.h"
#include "app/camera_bookmarks.h"
#include "app/display_modes.h"
#include "app/error_boxes.h"
#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/settings.h"
#include "app/window_proc.h"
#include "gfx/texture_names.h"
#include "mapengine/kernel_table.h"
#include "platform/process.h"

namespace veskor {

std::uint32_t ViewListHeld = 0;
std::uint32_t ViewListClock = 0;
std::uint32_t ViewListLeftAt = 0;

namespace {

// Moves a widget so that its left and top edges become the ones given, keeping its size: each
// part of the right (bottom) edge keeps its distance from the same part of the left (top).
void MoveWidget(GuiWidget& widget, const WidgetEdge& left, const WidgetEdge& top) {
  const WidgetEdge oldLeft = GetLeftEdge(widget), oldTop = GetTopEdge(widget);
  const WidgetEdge right = GetWidgetEdge(widget, kEdgeRight);
  const WidgetEdge bottom = GetWidgetEdge(widget, kEdgeBottom);
  auto moved = [](const WidgetEdge& far, const WidgetEdge& near, const WidgetEdge& to) {
    return WidgetEdge{far.offset - near.offset + to.offset,
                      far.fraction - near.fraction + to.fraction,
                      far.pixels - near.pixels + to.pixels, far.design - near.design + to.design};
  };
  SetRightEdge(widget, moved(right, oldLeft, left));
  SetBottomEdge(widget, moved(bottom, oldTop, top));
  SetLeftEdge(widget, left);
  SetTopEdge(widget, top);
}

// The pointer in screen units, `pixels` away.
WidgetEdge AtPointer(float pointer, float pixels) { return {pointer, 0.0f, pixels, 0.0f}; }

// Size and quality of a multisample level 2, 3 or 4; false for any other value.
bool MultiSampleEntry(float level, std::uint32_t* size, std::uint32_t* quality) {
  static const struct {
    float level;
    std::uint32_t size, quality;
  } kLevels[] = {{2.0f, 2, 0}, {3.0f, 2, 1}, {4.0f, 4, 0}};
  for (const auto& entry : kLevels) {
    if (std::fabs(level - entry.level) < kMultiSampleLevelTolerance) {
      *size = entry.size;
      *quality = entry.quality;
      return true;
    }
  }
  return false;
}

std::uint32_t ShowWith(GuiPlane& plane, std::uint32_t& flag, std::uint32_t value) {
  flag = value;
  if (value != 0)
    ShowPlane(plane);
  else
    HidePlane(plane);
  return 1;
}

}  // namespace

void OpenMainMenu() {
  WorldButton.muted = 1;
  MoveWidget(MainMenuList, AtPointer(MouseX, -kMenuPointerGap),
             AtPointer(MouseY, -kMenuPointerGap));
  ShowPlane(MainMenuList);
}

void CloseMainMenu() {
  HidePlane(MainMenuList);
  WorldButton.muted = 0;
}

std::int32_t OnMainMenuChoice(std::int32_t index) {
  if (index == -1) return 0;
  HidePlane(MainMenuList);
  if (index == 0) {
    CompileRequest = 1;
  } else if (index == 1) {
    // The run ends from here: the bookmarks' and the settings' writes keep the end's time.
    NormalExitDecided(AutomationExitCode(0));
    WriteCameraBookmarks();  // a failure is warned of there; the quit goes on
    QuitRequest = 1;
    TextureNamePool.initialised = 0;
  }
  WorldButton.muted = 0;
  if (WriteRenderLod() == 0) WarnSettingsNotSaved(index == 1 ? kPlaceShutdown : kPlaceSettings);
  HidePlane(ResolutionDropList);
  HidePlane(InfoPanel);
  return 0;
}

void OpenProductMenu() {
  ProductButton.muted = 1;
  // Its right edge 16 pixels right of the pointer: the left edge one width further left.
  const WidgetEdge left = GetLeftEdge(ProductMenuList);
  const WidgetEdge right = GetWidgetEdge(ProductMenuList, kEdgeRight);
  const WidgetEdge to{MouseX - (right.offset - left.offset), -(right.fraction - left.fraction),
                      kMenuPointerGap - (right.pixels - left.pixels),
                      -(right.design - left.design)};
  MoveWidget(ProductMenuList, to, AtPointer(MouseY, -kMenuPointerGap));
  ShowPlane(ProductMenuList);
}

void CloseProductMenu() {
  HidePlane(ProductMenuList);
  ProductButton.muted = 0;
}

void OpenSetupPanel() {
  ShowPlane(SetupPanel);
  ShowPlane(ResolutionDropList);
}

void HideSetupPanel() { HidePlane(SetupPanel); }

void CloseInfoPanel() { HidePlane(InfoPanel); }

void CloseStatusPanel() { HidePlane(StatusPanel); }

void EmptyCallback() {}

void OpenViewList() {
  if (WorldReady == 0) return;
  ShowPlane(ViewList);
  ViewListHeld = 1;
}

void ReleaseViewList() {
  if (WorldReady == 0) return;
  ViewListHeld = 0;
  ViewListLeftAt = ViewListClock;
}

void ViewListAutoClose() {
  if (ViewListHeld == 0 && ViewListClock - ViewListLeftAt == kViewListCloseTicks &&
      ViewList.hidden == 0)
    HidePlane(ViewList);
  ++ViewListClock;
}

std::uint32_t ChooseView(std::int32_t index) {
  if (WorldReady == 0) return 0;
  HidePlane(ViewList);
  ViewListHeld = 0;
  const std::int32_t cameras = gWorld.cameraCount, examines = gWorld.examineCount;
  const std::int32_t views = cameras + examines + gWorld.snapshotCount;
  std::int32_t entry = SelectedView;
  if (index >= 0 && index < views) {
    entry = index;
    SelectedView = index;
    SelectedViewTransition = kTransitionStart;
  }
  if (entry >= cameras && entry < cameras + examines) {
    ExamineMode = 1;
    DragOffsetX = DragOffsetY = 0.0f;
    ExamineIndex = static_cast<std::uint16_t>(entry - cameras);
    SetCheckValue(ExamineCheck, 1);
    return 1;
  }
  ExamineMode = 0;
  SetCheckValue(ExamineCheck, 0);
  return 0;
}

void ShowHint(std::int32_t index) {
  if (index == -1) return;
  HintLine.currentLine = index;
  MoveWidget(HintLine, AtPointer(MouseX, 0.0f), AtPointer(MouseY, 0.0f));
  ShowPlane(HintLine);
}

std::uint32_t ToggleExamine() {
  if (ExamineMode != 0) {
    SelectedView = -1;
    ExamineMode = 0;
    return 1;
  }
  DragOffsetX = DragOffsetY = 0.0f;
  if (gWorld.examineCount == 0) {
    ExamineIndex = kNoExamine;
    return 1;
  }
  const float* from = ViewCamera->position;
  std::uint16_t nearest = 0;
  float nearestDistance = 0.0f;
  for (std::uint16_t i = 0; i < gWorld.examineCount; ++i) {
    const float* p = gWorld.examines[i].position;
    float d[3] = {p[0] - from[0], p[1] - from[1], p[2] - from[2]};
    const float distance = gKernelTable.KernelLength3(d);
    if (i == 0 || distance < nearestDistance) {  // a tie keeps the lower index
      nearest = i;
      nearestDistance = distance;
    }
  }
  ExamineIndex = nearest;
  SelectedView = gWorld.cameraCount + nearest;
  SelectedViewTransition = kTransitionStart;
  ExamineMode = 1;
  return 1;
}

std::uint32_t RequestSaveView() {
  // One tick adds at most one snapshot: a request already counting is left to run out.
  if (SaveViewRequest == 0) SaveViewRequest = 1;
  return 1;
}

std::uint32_t ShowLodCover() { return ShowWith(LodCoverPanel, IsLangCtrlLOD, 1); }
std::uint32_t HideLodCover() { return ShowWith(LodCoverPanel, IsLangCtrlLOD, 0); }
std::uint32_t ShowFps() { return ShowWith(FpsLabel, gMainPlane.fpsFlag, 1); }
std::uint32_t HideFps() { return ShowWith(FpsLabel, gMainPlane.fpsFlag, 0); }
std::uint32_t ShowPps() { return ShowWith(PpsLabel, gMainPlane.ppsFlag, 1); }
std::uint32_t HidePps() { return ShowWith(PpsLabel, gMainPlane.ppsFlag, 0); }

std::uint32_t ToggleMultiSample() {
  std::uint32_t size, quality;
  if (MultiSampleEntry(MultiSampleLevel, &size, &quality)) {
    MultiSampleMode = MultiSampleMode == 0 ? 1 : 0;
    MultiSampleSize = size;
    MultiSampleQuality = quality;
  }
  return 1;
}

void OnMultiSampleLevel(float value) {
  std::uint32_t size, quality;
  if (!MultiSampleEntry(value, &size, &quality)) return;
  // While multisampling is off the size follows only together with the quality.
  const bool differs =
      quality != MultiSampleQuality || (MultiSampleMode != 0 && size != MultiSampleSize);
  if (!differs) return;
  MultiSampleSize = size;
  MultiSampleQuality = quality;
}

void ChooseFullScreenSize(std::int32_t line) { SelectFullScreenSize(line); }

void SetExamineBox(std::uint32_t value) { SetCheckValue(ExamineCheck, value); }

void ClearSaveViewBox() { SetCheckValue(SaveViewCheck, 0); }

}  // namespace veskor
