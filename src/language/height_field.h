// The height raster of a `HeightField` and its water planes: the record's set-up, the layers
// that add image files and fractal noise into its heights, the final clamp, and the water
// plane records of the World with their attachment to a height field. The HeightField parser
// builds every raster with these while it reads the block.
#pragma once

#include <cstdint>

#include "language/world.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

// The raster's level L ((2^L + 1)^2 heights) for the largest extent s of the box: 5 below
// 1000, 6 below 3000, else 7 (also for an s that is not a number).
inline constexpr std::uint32_t kHeightFieldMaxLevel = 7;
std::uint32_t HeightFieldLevel(float extent);

// Water planes reach this far beyond their height field's box on every side.
inline constexpr float kWaterPlaneMargin = 150.0f;

// Sizes the record's grid to level L in both directions (keeping its block when the size is
// unchanged), with scales 1 and offsets 0; stores the box in the order (x min, z min, y min,
// x max, z max, y max), z being the height, the cell sizes (x max - x min) / 2^L and
// (y max - y min) / 2^L and the height span z min - z max. The heights are not touched.
void HeightFieldSetup(HeightFieldRecord& record, std::uint32_t level, float xMin, float zMin,
                      float yMin, float xMax, float zMax, float yMax);
// Every height 0, and no layer added yet.
void HeightFieldClear(HeightFieldRecord& record);
// Every height into [0, 1]; a height that is not a number becomes 0.
void HeightFieldClamp(HeightFieldRecord& record);

// Noise layers. At every node (x, y) of the box, h its height, the octaves k = 0 .. n-1 run a
// cascade: v_k = noise(x a b^k, y a b^k, 0) x 1.6 x (b^k)^-e x w_k, where noise is the 3-D
// gradient noise of the program's generator with its input and output scaling, w_0 is h (1
// while no layer has put heights into the grid since it was cleared) and w_k+1 is v_k, each
// clamped to [-1, 1]. The fractal layer adds scale x (h + sum(v_k)) to the height, the
// turbulence layer scale x |h + sum(v_k)|. An octave of frequency 0 (b = 0) adds nothing.
void AddFractalLayer(HeightFieldRecord& record, std::uint32_t octaves, float a, float b, float e,
                     float scale);
void AddTurbulenceLayer(HeightFieldRecord& record, std::uint32_t octaves, float a, float b, float e,
                        float scale);

// Image layers: `image` holds (2^i + 1) x (2^j + 1) values. An image finer than the raster
// (i or j above L) adds nothing; otherwise it is resampled up to the raster by the cubic
// B-spline through its values (edges repeated outward) and scale x value is added; even an
// image of zeros counts as a layer that put heights into the grid.
void AddImageLayer(HeightFieldRecord& record, const VertexGrid& image, float scale);
// The same after every image value v became clamp(v - cut, 0, 1) / (1 - cut). A cut of 1 is
// the limit of that ramp, a hard threshold: 1 where v >= 1, else 0.
void AddCutImageLayer(HeightFieldRecord& record, const VertexGrid& image, float cut, float scale);

// Reads a PNG file whose width is 2^i + 1 and height 2^j + 1 for whole i, j, taking one 8-bit
// channel of each pixel divided by 255 (the top row first). 0 when the file cannot be read or
// has another size. An image with i or j above maxLevel is accepted but not converted: the
// grid is then left empty (no data), as a layer of it would add nothing.
int LoadLayerImage(const char* path, VertexGrid& grid, std::uint32_t channel,
                   std::uint32_t maxLevel);

// Appends a water plane record with those values (the rectangle and the altitude are set when
// it is attached) and returns its index; -1, appending nothing, when the World holds
// kWorldWaterPlaneMax.
std::int32_t AddWaterPlane(World& world, float altitude, float bumpScale, float opacityP,
                           float opacityQ, float r, float g, float b);
// Appends water plane `index` to the newest height field's list and sets the plane's rectangle
// to that field's box widened by kWaterPlaneMargin, its altitude clamped into the field's
// height range. An index of -1 or beyond the table attaches nothing and succeeds; false when
// the field's list is full.
bool AttachWaterPlane(World& world, std::int32_t index);

}  // namespace veskor
