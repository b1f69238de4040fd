// The small blocks that fill the descriptive tables of the World: named viewpoints (`Camera`),
// named examine positions (`Examine`), focus boxes (`Focus`), the level-of-detail key sets
// (`LOD`), information strings (`Info`) and planets (`Planet`). Each is the keyword (with a
// name for `Camera` and `Examine`), then `{` key ( value ) ... `}`. The directive loop hands
// them to their parsers (scene_blocks.h).
#pragma once

#include <cstdint>

namespace veskor {

inline constexpr const char* kCameraSyntaxError = "Camera syntax error";
inline constexpr const char* kExamineSyntaxError = "Examine syntax error";
inline constexpr const char* kFocusSyntaxError = "Focus syntax error";
inline constexpr const char* kLodSyntaxError = "LOD syntax error";
inline constexpr const char* kInfoSyntaxError = "Info syntax error";
inline constexpr const char* kPlanetSyntaxError = "Planet syntax error";

// The tables hold 32 records each; a block beyond them is refused rather than written past
// the table. The scene build draws at most eight planets (its planet textures and groups), so
// a ninth is refused here, where the world file can still name the place.
inline constexpr std::uint32_t kWorldPlanetParseMax = 8;
inline constexpr const char* kTooManyCamerasMessage = "Too many cameras";
inline constexpr const char* kTooManyExaminesMessage = "Too many examine points";
inline constexpr const char* kTooManyInfosMessage = "Too many Info blocks";
inline constexpr const char* kTooManyPlanetsMessage = "Too many planets";

// `depth` is held in [1, 12000]; `rollAngle` is turned from degrees into radians with this.
inline constexpr float kCameraDepthMin = 1.0f;
inline constexpr float kCameraDepthMax = 12000.0f;
inline constexpr float kDegreesToRadians = 0.017453292f;

// The focal angle of a `Camera` or `Examine`, in degrees.
inline constexpr float kFocalAngleMin = 1.0f;
inline constexpr float kFocalAngleMax = 179.0f;

// An examine view sets the camera `radius` away from the point, on the bearing of its yaw and
// pitch, looking at the point: any radius above the near plane keeps the point in the middle
// of the picture, and the radius sets how much around it shows (at the default focal angle
// of 80 degrees the picture is about 1.7 radii high at the point). A point without `radius`
// is seen from this far; one without `focalAngle` takes a new camera's focal angle.
inline constexpr float kExamineRadiusDefault = 50.0f;

// A new planet's ring size (its other values start at 0).
inline constexpr float kPlanetRingSizeDefault = 0.2f;

}  // namespace veskor
