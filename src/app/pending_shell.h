// Stand-ins for what the entry point, the main loop, the root plane, the main interface and the
// render session call of parts of the program still to come: the language screen and choice,
// and view snapshots. Each is replaced, here, when its part lands.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "gui/pick_list.h"
#include "gui/text_view.h"
#include "language/world.h"
#include "platform/gl_context.h"

namespace veskor {

// View snapshots: nothing to add, nothing to capture.
void AddViewSnapshot(World& world, Camera& camera);
void CaptureViewSnapshots(World& world);
// The language screen: its builder clears its pending flag; its panel and drop list, not
// configured.
void LanguageScreen();
extern GuiTextView LanguagePanel;
extern GuiDropList StartLanguageDropList;
// The language choice: the index is kept (it takes effect at the next start), the main
// widgets are shown and the first launch is over; nothing is reloaded.
void SelectLanguage(std::int32_t index);

}  // namespace veskor
