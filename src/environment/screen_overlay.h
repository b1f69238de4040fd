// The GL state of the sky decorations drawn over the frame in clip units (the planets and the
// sun's lens flare): both matrices identity, blending on, depth writes and GL fog off, 2D
// texturing on unit 0. GL fog is not the renderer's fog (that is the fog texture), so the end
// puts it back as the begin found it.
#pragma once

namespace veskor {

// Pushes both matrices and sets the state above; returns whether GL fog was on.
bool BeginScreenOverlay();
// Pops both matrices (the modelview stays current), switches blending and 2D texturing off,
// depth writes on, and GL fog on again when `fogWasOn`.
void EndScreenOverlay(bool fogWasOn);

}  // namespace veskor
