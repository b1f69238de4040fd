// Drawing one scene object of the prepared world: its world matrix, its batch records' vertex
// bindings and every index range of them, textured through the object passes (object mode 0)
// or as coloured lines (1), flat colours (2) or height contours from "contour.png" (3). The
// per-frame scene draw and the scene-grid walks call it for every object they find visible
// and add up the triangle counts it returns.
#pragma once

#include <cstdint>

#include "gfx/geometry_batch_buffer.h"
#include "gfx/geometry_batch_draw.h"
#include "language/world.h"

namespace veskor {

// Bits of the flag word of DrawSceneObject (the low three bits are the object mode).
inline constexpr std::uint32_t kObjectModeMask = 7;
inline constexpr std::uint32_t kObjectModeTextured = 0;
inline constexpr std::uint32_t kObjectModeLines = 1;
inline constexpr std::uint32_t kObjectModeFlat = 2;
inline constexpr std::uint32_t kObjectModeContour = 3;
inline constexpr std::uint32_t kDrawMirrored = 0x20;  // a portal's mirrored view

// Polygon modes of DrawIndexedFill; any other value draws nothing.
inline constexpr std::uint32_t kPolygonFill = 1;
inline constexpr std::uint32_t kPolygonLines = 2;

inline constexpr const char* kContourImageName = "contour.png";

// The portal whose mirrored view is being drawn, -1 outside mirror views. It is the batch
// buffer's current water box (box k is the rectangle of portal k), so the batch's own item
// draw and the object drawing cut the same ranges down to their reduced prefix.
inline std::int32_t& CurrentPortalIndex = gGeometryBatchBuffer.currentWaterBox;

// ContextStamp + 1 at the last load of ContourTexture; 0 before the first.
extern std::uint32_t ContourStamp;

// Submits the range's triangles (16-bit indices from its first index) filled (kPolygonFill)
// or as lines (kPolygonLines, polygon mode back to fill afterwards). In the mirrored view of
// the range's portal only its first `above` triangles (the reduced prefix) go.
void DrawIndexedFill(const GeometryBatchBuffer& buffer, const BatchRange& range,
                     std::uint32_t polygonMode);
// The four cases without the tests: all indices or the reduced prefix, filled or as lines.
void DrawRangeFull(const GeometryBatchBuffer& buffer, const BatchRange& range);
void DrawRangeReduced(const GeometryBatchBuffer& buffer, const BatchRange& range);
void DrawRangeFullLines(const GeometryBatchBuffer& buffer, const BatchRange& range);
void DrawRangeReducedLines(const GeometryBatchBuffer& buffer, const BatchRange& range);

// The object's visible word: 1 (drawn) and 0 (skipped by DrawSceneObject).
inline void DrawItemMark(SceneObject& object) { object.visible = 1; }
inline void DrawItemUnmark(SceneObject& object) { object.visible = 0; }

// Draws the object in the object mode of flags & 7 (4 to 7 draw nothing); flag 0x10 is a
// time-frozen view, 0x20 a mirrored one. Returns its triangle count: every range once, the
// second and third together as (a + b) / 3. An object whose visible word is 0 returns 0 and
// makes no GL call. Leaves the vertex, normal and texture-coordinate arrays (client units 0 to
// 3) disabled, client unit 0 active and the modelview stack as it was.
std::uint32_t DrawSceneObject(SceneObject& object, std::uint32_t flags);

// Loads "contour.png" into ContourTexture when ContourStamp is not ContextStamp + 1. A file
// that is missing or does not load is reported (session log and a warning box, naming the
// file and where it was looked for) and replaced by bands made in memory; the next attempt is
// the load of the next rendering-context generation.
void ContourTextureLoad();

}  // namespace veskor
