// The interface's language: the language choice shown at a first launch (a small panel with a
// drop list of the four languages), the choice callback both language lists share, and the
// rebuild that refreshes, in place, every text and language picture of the main interface
// after a change.
#pragma once

#include <cstdint>

#include "gui/image_panel.h"
#include "gui/pick_list.h"
#include "gui/text_view.h"

namespace veskor {

// The language screen's widgets, configured by LanguageScreen.
extern GuiTextView LanguagePanel;
extern GuiImagePanel LanguagePanelBorder;
extern GuiDropList StartLanguageDropList;
inline GuiPickList& StartLanguagePickList = StartLanguageDropList.list;

// The four language names, the program's own texts in code page 1252, in LanguageIndex order.
inline constexpr const char* kLanguageNames[4] = {"English", "Espa\361ol", "Fran\347ais",
                                                  "Deutsch"};

// Builds the language screen over the root plane, hidden: a 300 x 60 panel at the centre
// with its prompt and top border, and the drop list of the languages. Clears
// LanguageScreenPending; returns 1.
std::uint32_t LanguageScreen();

// The choice callback of both language lists: `index` 1 to 3, else 0, becomes the language;
// the main widgets show, the language screen hides, the first launch is over; the interface
// is rebuilt only when the language changed.
void SelectLanguage(std::int32_t index);

// Reads the texts of LanguageIndex and refreshes in place, without moving or reconfiguring
// any widget: the language pictures of the menu bar, focal panel and close buttons (into the
// same textures), the two menus, the setup panel's texts, the hint line and the information
// panel. A picture found in no search directory ends the program with a message naming it
// and the directories searched.
void RebuildInterface();

}  // namespace veskor
