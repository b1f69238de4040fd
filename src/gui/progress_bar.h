// GuiProgressBar: a fraction from 0 to 1 shown as a bar whose filled part repeats a pattern
// texture (100 repetitions across a full bar, each keeping its width as the bar fills) and
// whose rest is a flat colour. The application loads the pattern into `pattern`, sets it to
// repeat, and writes `fraction` at every progress report; the drawing clamps it.
#pragma once

#include "gfx/texture_object.h"
#include "gui/gui_widget.h"

namespace veskor {

inline constexpr float kProgressRepetitions = 100.0f;  // across a full bar

class GuiProgressBar : public GuiWidget {
 public:
  GuiProgressBar() = default;

  void Draw() override;

  Texture2D pattern;
  float color[3] = {1.0f, 1.0f, 1.0f};  // of the unfilled part
  float fraction = 0.0f;                // clamped to [0, 1] when drawn (NaN gives 0)
};

void DrawProgressBar(GuiProgressBar& bar);

}  // namespace veskor
