// The water surface passes: after the main view's terrain and objects, each visible Portal's
// water is marked in the stencil buffer and destination alpha, its reflection is blended over
// the marked pixels (displaced by the wave texture WaterPassTexture on boards with texture
// shaders), and the fog amount is written to destination alpha while the marks are removed.
#pragma once

#include <cstdint>

#include "geometry/portal.h"
#include "gfx/camera.h"
#include "gfx/texture_object.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

// The offset of the wave coordinates, written by the scene draw before the water passes.
inline float WaterPhase[2] = {0, 0};

// The wave texture: 512 x 512 signed (ds, dt) texels, built once per render session on boards
// with texture shaders by the first DrawWaterSurface; its CPU pixels are freed after the
// upload. The render session releases it (TextureFree) and clears WaterPassBuilt.
// A Texture2D in every respect but its format table (WaterPassFormatCode).
struct WaterPassTextureObject : Texture2D {
  WaterPassTextureObject();
};
extern WaterPassTextureObject WaterPassTexture;
extern std::uint32_t WaterPassBuilt;

inline constexpr float kWaveScale = 0.04f;  // wave coordinates per world unit
inline constexpr std::uint32_t kWaterPassLog2Size = 9;
inline constexpr std::uint32_t kWaterPassOctaves = 3;
inline constexpr std::uint32_t kWaterPassLog2Period = 4;
inline constexpr float kWaterPassMaxLod = 8.0f;

// WaterPassTexture's format table: 2 channels -> 22 (signed DSDT), 3 -> 19, 4 -> 20, else 16.
std::uint32_t WaterPassFormatCode(std::uint32_t channels);
// Gives WaterPassTexture a pixel block of channels x 2^(w + h) bytes and its half-texel sizes.
void WaterPassTextureResize(std::uint32_t channels, std::uint32_t log2Width,
                            std::uint32_t log2Height);
// The (ds, dt) texels of a height grid of (2^w + 1) x (2^h + 1) values: texel (r, c) from the
// normal of the cell with corners at rows r, r + 1 and columns c, c + 1, times 127, truncated.
void WaterPassTexels(const VertexGrid& heights, std::int8_t* texels);
// Builds WaterPassTexture (resize, texels from FractalNoiseGrid, upload, pixels freed) and
// sets WaterPassBuilt.
void WaterPassTextureBuild();

// The four GL_OFFSET_TEXTURE_MATRIX_NV values for the view direction and bumpScale. A view
// straight up or down takes azimuth 0.
void WaterOffsetMatrix(const float* direction, float bumpScale, float* matrix);

// The homogeneous wave coordinate of the water plane at height z seen through the point
// (a, b) of the camera's view window (0..1 across its bounds): ((H.x - phase.x) scale.x / t,
// (H.y - phase.y) scale.y / t, 0, 1 / t) with H = E + t D the plane point on the ray.
void WaterPlaneTexCoord(const Camera& camera, float z, const float* window, const float* phase,
                        const float* scale, float* out);

// The full pass of one Portal, with the main view's matrices current; nothing for a Portal
// that is not visible (WaterPassTexture may still be built). Leaves the GL state as it was.
void DrawWaterSurface(Portal& portal);
// The reduced pass of time-frozen views: the lit water colour instead of the reflection.
void DrawWaterSurfaceSimple(Portal& portal);

// Tileable fractal noise of n octaves over the grids U and V (values in [0, 1]) into `out`:
// octave k has 2^(px + k sx) x 2^(py + k sy) cells across the unit square and the weight
// r^k (1 - r) / (1 - r^n), r = 2^-sx.
void FractalNoiseGrid(std::uint32_t n, std::uint32_t px, std::uint32_t py, std::uint32_t sx,
                      std::uint32_t sy, const VertexGrid& U, const VertexGrid& V,
                      VertexGrid& out);
// The gradients (x components gx, y components gy) of the corners 00, 10, 01, 11 of the cell
// (ix, iy), the indices wrapped by the periods 2^lx and 2^ly.
void NoiseCellGradients(std::uint32_t lx, std::uint32_t ly, std::int32_t ix, std::int32_t iy,
                        float* gx, float* gy);
// The inline octave: periodic gradient noise of 2^lx x 2^ly cells at (u, v).
float WaterNoise(std::uint32_t lx, std::uint32_t ly, float u, float v);

}  // namespace veskor
