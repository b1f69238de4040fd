// Layered textures: a FloatTexture2D of three channels packed from the components of an fx
// value, each a float, a Map or a VertexGrid. The render preparation builds them.
#pragma once

#include "gfx/texture_object.h"
#include "mapengine/fx_frame.h"

namespace veskor {

// Resizes `texture` to three float channels and resets it for a new image (as
// FloatTexture2DRealloc does), then fills channel i from component i of the frame, for the
// components 0 to 2; further components are ignored, and channels without a component are 0.
//
// The size is that of the first of those components holding a VertexGrid (its log2 sizes;
// a grid wins over a map) or else a Map; without either, 1 x 1. A grid of that size gives
// each texel the mean of the four grid values around it, a map of that size its value at the
// texel; any other component fills its channel with its float value.
void BuildTextureFromLayers(FloatTexture2D& texture, const FxFrame& frame);

}  // namespace veskor
