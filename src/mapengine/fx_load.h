// The image loading of the fx builtin load: a PNG file becomes one component per channel, a
// raster when the image is 2^n x 2^m pixels, a grid when it is (2^n+1) x (2^m+1).
#pragma once

#include <cstdint>

#include "mapengine/fx_frame.h"

namespace veskor {

// The scale of a channel byte: the float nearest to 1/255.
inline constexpr float kFxByteScale = 1.0f / 255.0f;

// Decodes the PNG file at `path` into `result` (made live with one component per channel,
// values byte x 1/255). Returns 0 with "Execution error : 'load image file'" in FxErrorText
// when the file does not decode, has more than 4 channels, or has sizes that are neither both
// powers of two nor both one more than powers of two; the result is then not touched.
std::uint32_t FxLoadImageFile(const char* path, FxFrame& result);

}  // namespace veskor
