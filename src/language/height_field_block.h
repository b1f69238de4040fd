// The `HeightField` block: `HeightField` name `{` entry ... `}` with the entries `BBox`, `Layer`
// and `WaterPlane`. The parser reads the block and builds the height raster at once into the
// World's height-field table (height_field.h), under the block's name for compositions and
// objects. The directive loop hands the block to ParseHeightField (scene_blocks.h).
#pragma once

#include <cstdint>

#include "language/scene_parser.h"
#include "language/world.h"

namespace veskor {

inline constexpr std::uint32_t kHeightFieldLayerMax = 64;  // layers of one block

// Layer entry bounds.
inline constexpr float kLayerOctavesMin = 1.0f;
inline constexpr float kLayerOctavesMax = 32.0f;
inline constexpr float kLayerScaleLimit = 512.0f;  // scale in [-512, 512]

inline constexpr const char* kHeightFieldSyntaxError = "HeightField syntax error";
inline constexpr const char* kLayerSyntaxError = "HeightField Layer syntax error";
inline constexpr const char* kWaterPlaneSyntaxError = "HeightField WaterPlane syntax error";
inline constexpr const char* kHeightFieldTooManyLayers = "Too many layers in HeightField";
inline constexpr const char* kHeightFieldTableFull = "Too many height fields";
inline constexpr const char* kWaterPlaneTableFull = "Too many water planes";
inline constexpr const char* kCannotLoadFile = "Cannot load file";

// `WaterPlane` `{` entry ... `}` into `plane` (its altitude, bumpScale, colour and opacity; a
// key left out is 0). 1, or 0 with the error text composed.
int ParseWaterPlane(SceneParser& parser, WaterPlane& plane);

}  // namespace veskor
