// The main interface over the world view: every widget of the menu bar, its menus, the view
// list, the session panels, the setup panel, the information panel, the number labels and the
// hint line, as global objects that BuildMainInterface configures and links into the plane
// tree once, at the first frame, all of it hidden. The callbacks that drive them are in
// main_interface_callbacks.h; the sessions, the language change and the welcome sequence
// reach the same objects by these names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gui/check_box.h"
#include "gui/image_button.h"
#include "gui/image_panel.h"
#include "gui/number_label.h"
#include "gui/pick_list.h"
#include "gui/progress_bar.h"
#include "gui/slider.h"
#include "gui/text_choice.h"
#include "gui/text_list.h"
#include "gui/text_view.h"
#include "gui/view_list.h"

namespace veskor {

// Every widget of the interface takes this style: a back child that stays enabled, outside
// the toolkit's modal stacking.
inline constexpr std::uint32_t kInterfaceStyle = kPlaneBack | kPlaneAlwaysEnabled;

// The menu bar.
extern GuiImagePanel MenuBar;
extern GuiImageButton WorldButton;
extern GuiImageButton ViewButton;
extern GuiImageButton SetupButton;
extern GuiImageButton ProductButton;
extern GuiImagePanel MenuBarBorder;
extern GuiCheckBox ExamineCheck;
extern GuiCheckBox SaveViewCheck;
extern GuiImagePanel FocalPanel;
// The menus, the view strip, the information panel and the hint line.
extern GuiPickList MainMenuList;
extern GuiPickList ProductMenuList;
extern GuiViewList ViewList;
extern GuiImagePanel ViewListBorder;
extern GuiTextList InfoPanel;
extern GuiImageButton InfoCloseButton;
extern GuiTextChoice HintLine;
// The panels of the compile and render sessions.
extern GuiTextView ProgressPanel;
extern GuiImagePanel ProgressPanelBorder;
extern GuiProgressBar StageProgressBar;
extern GuiProgressBar TotalProgressBar;
extern GuiTextView StatusPanel;
extern GuiImagePanel StatusPanelBorder;
extern GuiTextView StatusText;
extern GuiImageButton StatusCloseButton;
// The setup panel. The drop lists hold their pick lists.
extern GuiTextView SetupPanel;
extern GuiImagePanel SetupPanelBorder;
extern GuiDropList LanguageDropList;
inline GuiPickList& LanguagePickList = LanguageDropList.list;
extern GuiSlider OverallSlider;
extern GuiCheckBox LodControlCheck;
extern GuiSlider TerrainGeoSlider;
extern GuiSlider ObjectGeoSlider;
extern GuiSlider TerrainTexSlider;
extern GuiSlider ObjectTexSlider;
extern GuiSlider PortalSlider;
extern GuiSlider CloudLowSlider;
extern GuiDropList ResolutionDropList;
inline GuiPickList& ResolutionPickList = ResolutionDropList.list;
extern GuiSlider MultiSampleSlider;
extern GuiCheckBox MultiSampleCheck;
extern GuiCheckBox FullScreenCheck;
extern GuiCheckBox FpsCheck;
extern GuiCheckBox PpsCheck;
extern GuiImageButton SetupCloseButton;
extern GuiImagePanel LodCoverPanel;
// The number labels and their digit images.
extern GdiTextImage LargeDigits;
extern GdiTextImage SmallDigits;
extern GuiTextLabel FpsLabel;
extern GuiTextLabel FocalLabel;
extern GuiTextLabel PpsLabel;

// The value of MultiSampleSlider: MultiSampleSize + MultiSampleQuality (2, 3 or 4; 5 for four
// samples with the nicest quality, which the slider cannot reach).
extern float MultiSampleLevel;

// The shared line table the lists take their lines from: the builder copies a list's texts
// into the buffers, in order, before the list is set up. Texts are cut to fit a buffer.
inline constexpr std::uint32_t kSharedLineCount = 12;
inline constexpr std::size_t kSharedLineBytes = 256;
extern char SharedLines[kSharedLineCount][kSharedLineBytes];
extern const char* const SharedLineTable[kSharedLineCount];
// Copies `text` into buffer `line` (ignored past the table), cut to 255 characters.
void SetSharedLine(std::uint32_t line, const char* text);
// Lines 0.. from the text resources of the given indices; returns `count`.
std::uint32_t SetSharedLinesFromTexts(const std::uint32_t* indices, std::uint32_t count);

// The text resources the menus and the hint line show, line by line; the hint lines that end
// at their anchor instead of starting there. The build and a change of language use them.
inline constexpr std::uint32_t kMainMenuLineCount = 2;
inline constexpr std::uint32_t kMainMenuTexts[kMainMenuLineCount] = {1, 2};
inline constexpr std::uint32_t kProductMenuLineCount = 11;
inline constexpr std::uint32_t kProductMenuTexts[kProductMenuLineCount] = {22, 47, 48, 49, 50, 51,
                                                                           52, 53, 54, 55, 56};
inline constexpr std::uint32_t kHintLineCount = 10;
inline constexpr std::uint32_t kHintTexts[kHintLineCount] = {66, 67, 68, 69, 70,
                                                             71, 72, 73, 74, 75};
inline constexpr std::uint32_t kHintEndsAtAnchor[kHintLineCount] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0};

// Configures every widget, links the tree into gMainPlane, reads the RenderLOD values the
// setup panel's sliders are bound to, registers the screen planes and hides everything; clears
// MainInterfacePending. Returns 1. A picture that cannot be found or loaded ends the program
// with a message naming it.
std::uint32_t BuildMainInterface();

// Draws the setup panel's fixed texts and section frames onto its text surface (made afresh)
// and uploads it: the first build's drawing, and a change of language's.
void DrawSetupPanelTexts();
// A text view's one-channel surface of 2^log2Width x 2^log2Height texels, clamped and nearest;
// `erase` as ClearTextBitmap takes it.
void MakeTextSurface(GuiTextView& view, std::uint32_t log2Width, std::uint32_t log2Height,
                     std::uint32_t erase);

// Shows the main widgets the build leaves hidden: the menu bar with its buttons, border, check
// boxes and focal panel; FpsLabel and PpsLabel only when the main plane's flags ask for them;
// FocalLabel. What the language choice and the end of the welcome sequence show.
void ShowMainWidgets();

}  // namespace veskor
