// The thumbnails of the view list: the world's cameras and examine points, drawn once per
// render session, and the view bookmarks the user saves with the save-view box, each drawn
// into a small RGB texture through the frame's scene draw.
#pragma once

#include <cstdint>

#include "gfx/camera.h"
#include "language/world.h"

namespace veskor {

// Thumbnails are 2^w x 2^h texels, w and h at most this.
inline constexpr std::uint32_t kThumbnailLog2Max = 7;
// The depth of an examine point's view, and the bounds of every bookmark's depth.
inline constexpr float kExamineViewDepth = 5000.0f;
inline constexpr float kBookmarkDepthMin = 1.0f;
inline constexpr float kBookmarkDepthMax = 12000.0f;

// The exponent of a thumbnail side for a viewport side of `pixels`: 7 from 128 pixels on,
// else the largest whose power of two fits; a side below 1 pixel counts as 1.
std::uint32_t ThumbnailLog2(std::int32_t pixels);

// Draws the view of `camera` into `thumbnail`, centred in the current viewport, and uploads
// it; the camera gets back its full viewport.
void MakeViewThumbnail(Camera& camera, Texture2D& thumbnail);

// The thumbnails of every examine point (seen from position + radius x direction) and every
// camera of the world, through the current camera; then the first camera is the current
// one again, and no view is selected.
void CaptureViewSnapshots(World& world);

// Adds `camera` as a bookmark with its thumbnail, unless 32 exist or one of them or one of
// the world's cameras shows the same view.
void AddViewSnapshot(World& world, Camera& camera);

}  // namespace veskor
