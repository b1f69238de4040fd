// The session panels as the compile and render sessions write them: ShowStatusLine puts the
// status text beside the session header's word or one more line into the session log, and
// ProgressOverlay, the render preparation's progress callback, keeps the window answering,
// names the stage and draws the two bars straight into the front buffer. With them, what both
// sessions share: the log's pen line, the last stage label, the header word and the screen
// drawn while the main loop is busy.
//
// The panels are the main interface's StatusPanel (header), StatusText (log), ProgressPanel
// (world and stage names), StageProgressBar and TotalProgressBar.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/program_entry.h"
#include "gui/text_view.h"

namespace veskor {

// The log's lines in its text image: the first at y 10, each 16 pixels below the previous.
inline constexpr std::uint32_t kLogFirstLine = 10;
inline constexpr std::uint32_t kLogLineStep = 16;
// y of the next log line.
extern std::uint32_t LogPenLine;

// The label of the previous progress report ("" before the first), cut to 255 characters.
inline constexpr std::size_t kStageLabelBytes = 256;
extern char LastStageLabel[kStageLabelBytes];
// When the last stage label first came (NowSeconds): each new label ends the previous stage,
// whose time headless runs record (RecordStageTime).
extern double StageStartSeconds;

// A new preparation: no label yet, so the first report draws its label.
void BeginStageReports();
// The preparation ran to its end: the time of its last stage is recorded.
void EndStageReports();

// What the sessions take of the window: one waiting message at a time and the buffer swap.
// WinMain hands them the ports it runs with; tests put doubles in.
extern ShellPorts gSessionPorts;

// Mode 0: the text as the log's next line (times new roman 10, level 0.7, at x 10); the log
// scrolls to its end; the image is not uploaded. Any other mode: the text at (100, 12) of the
// header (arial 10, level 1.0), not erased first, uploaded, and the header blinks.
// Headless runs also record the line (RecordStatusLine).
void ShowStatusLine(const char* text, std::int32_t mode);

// One progress report of the render preparation: 1 to go on, 0 to stop. It handles at most
// one waiting message: the quit message (the window was closed) sets QuitRequest and stops;
// so does the Escape key held down, before anything is drawn. A label other than the last one
// is drawn in the progress panel (the first containing "Shader" turns the header word to
// "execute"); both bars are drawn at every report.
std::int32_t ProgressOverlay(const char* label, float stageFraction, float totalFraction);

// Clears the view's text image to its background, makes its surface afresh over its texture,
// drops its font and erases it.
void ResetTextImage(GuiTextView& view);
// Draws the header word (with its markup, "\\bcompile") at (20, 12) of StatusPanel's image in
// arial bold 10, level 1.0, and uploads the image.
void DrawSessionHeader(const char* word);
// Uploads the log's text image and drops its font.
void UploadSessionLog();
// The top-level screen planes (DrawScreenPlanes) drawn over the current viewport as the
// interface is drawn.
void DrawSessionScreen();

}  // namespace veskor
