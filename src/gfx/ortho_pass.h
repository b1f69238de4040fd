// OrthoPass: the orthographic read-back passes of render preparation. The sun-shadow pass
// draws the scene into the pbuffer as seen from the sun, framed on one item, reads the depth
// buffer back and darkens the item's shade map where the item lies behind what the sun sees
// first; the water pass (water_pass.h) uses a second pass object. Everything here runs on the
// GL thread during render preparation, never per frame.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "gfx/lod_boxes.h"
#include "gfx/ortho_camera.h"
#include "gfx/pbuffer.h"
#include "mapengine/map.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

// A float array kept between passes. Sizing keeps it when it holds that many floats already,
// reserves anew when they do not fit its block, else reuses the block from its start.
struct FloatScratch {
  MemBlock block{};
  float* data = nullptr;
  std::uint32_t count = 0;
};
float* FloatScratchSize(FloatScratch& scratch, std::uint64_t count);
void FloatScratchRelease(FloatScratch& scratch);

// Added to the read-back depth before the shadow comparison.
inline constexpr float kShadowDepthBias = 0.001f;
// Light a fully shadowed cell keeps.
inline constexpr float kShadowAmbient = 0.35f;

struct OrthoPass : OrthoCamera {
  // The box of the view: outward normals of its left, right, top and bottom faces, of its
  // near and far faces (-direction, direction), the mid-points of the near rectangle's edges
  // in the same order, the far and near centres and the near rectangle's corners.
  float sideNormals[4][3] = {};
  float nearNormal[3] = {}, farNormal[3] = {};
  float sideMidPoints[4][3] = {};
  float farPoint[3] = {}, nearPoint[3] = {};
  float nearCorners[4][3] = {};
  std::uint32_t active = 0;                     // 1 between BeginOrthoPass and EndOrthoPass
  std::uint32_t passWidth = 0, passHeight = 0;  // the rendered image in pixels
  // The read-back depth values, rows from the bottom, and their size. depthValid is 1 only
  // after a read-back from a pass that had its pbuffer; ProcessDepthReadback needs it.
  FloatScratch depthImage;
  std::uint32_t depthWidth = 0, depthHeight = 0;
  std::uint32_t depthValid = 0;
  float clipMatrix[16] = {};  // projection x modelview at set-up, column-major
  float depthBias = 0;
  // glPolygonOffset units for what the draw walk draws with an offset into the pass:
  // 2^DepthBits x 0.0234375.
  float polygonOffset = 0;
  std::uint8_t waterLog2Width = 0, waterLog2Height = 0;
  // Scratch arrays of the shadow test and of the water read-back.
  FloatScratch scratch[5];

  OrthoPass() = default;
  ~OrthoPass();
  OrthoPass(const OrthoPass&) = delete;
  OrthoPass& operator=(const OrthoPass&) = delete;
};

// Frames the item box as seen along the sun direction (boxes in min-max layout, six floats):
// the eye backs off against the light to the face of the scene box, the view is as high as
// the item's projection, the image size follows the item's detail level (2^(level + 3),
// within the current viewport). Pushes both GL matrices, sets the viewport to the image,
// captures the clip matrix and clears the depth buffer inside the image's rectangle only (the
// scissor state as it was).
void BeginOrthoPass(OrthoPass& pass, const LodRange& range, const float* sun, const float* itemBox,
                    const float* sceneBox);
// Pops both matrices (the modelview stays current) and puts the viewport back.
void EndOrthoPass(OrthoPass& pass);
// Reads the pass's image from the depth buffer into the depth image.
void DepthReadback(OrthoPass& pass);
// The shadow test of every vertex of the item's grids (X, Y, Z world positions, equal sizes)
// against the depth image; the lit fraction of each cell's corners, plus 0.35 and clamped to
// 1, multiplies the cell's value in the shade map (one value per cell). Returns 1; returns 0
// and leaves the shade map alone when there is no valid depth image or the sizes disagree.
std::uint32_t ProcessDepthReadback(OrthoPass& pass, const VertexGrid& x, const VertexGrid& y,
                                   const VertexGrid& z, Map& shade);

// Pushes both GL matrices and loads the pass's box (near plane at 1, far plane at its depth)
// and its look-at frame; off the whole window, keeps the GL viewport in savedViewport and
// sets it to pixelRect. The depth range is [0, 1].
void OrthoPassLoadView(OrthoPass& pass);
// Pops both matrices (the modelview stays current) and, off the whole window, puts the
// viewport back.
void OrthoPassRestoreView(OrthoPass& pass);

// Rebuilds the view-volume fields from the frame, height, aspect and depth.
void OrthoPassViewVolume(OrthoPass& pass);
// The product of GL_PROJECTION_MATRIX and GL_MODELVIEW_MATRIX into `destination`.
void OrthoPassCaptureMatrix(float* destination);
// u = point . right, v = point . up.
void OrthoProject(const OrthoPass& pass, const float* point, float* u, float* v);
// Takes the current GL viewport as the owner size when it differs, and the aspect with it.
void OrthoPassRefreshAspect(OrthoCamera& camera);

// The sun-shadow sequence of one item: the pbuffer current, the pass framed, `draw` draws
// the scene into it with face culling off, the depth read back, the window current again.
// The depth image is then ready for ProcessDepthReadback. Without a valid pbuffer the pass
// draws in the window's back buffer; the result is 1 when it drew in the pbuffer, else 0.
using OrthoPassDraw = void (*)(OrthoPass& pass, void* context);
std::uint32_t SunShadowPass(Pbuffer& pbuffer, OrthoPass& pass, const LodRange& range,
                            const float* sun, const float* itemBox, const float* sceneBox,
                            OrthoPassDraw draw, void* context);

// Reads a width x height rectangle of the current read buffer as floats, rows packed.
void ReadFloatPixels(std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height,
                     std::uint32_t format, float* out);

}  // namespace veskor
