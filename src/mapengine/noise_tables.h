// The tileable noise tables of the three generators: the noise sampled at the centres of the
// 64 lattice cells of one period (65, 65 x 65 and 65 x 65 x 65 values, the last entry in each
// direction repeating the first), each with its running sums, summed areas or summed volumes
// so that the average over any interval, rectangle or box costs a few reads. The render
// preparation builds them once per run (each only while its data pointer is null); the 1-D
// fills read the 1-D table.
#pragma once

#include "mapengine/noise_generator.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

// T[k] = the 1-D noise at lattice coordinate k + 0.5, T[64] = T[0]; running sums R[0] = 0,
// R[k] = T[0] + ... + T[k-1] (from MapPrefixSum), after the values in the same block.
void BuildNoiseTable1D(NoiseGenerator1D& generator);

// Value (i, j) = the 2-D noise at (i + 0.5, j + 0.5), row 64 and column 64 repeating row and
// column 0; its summed-area table in the first companion pointer.
void BuildNoiseTable2D(NoiseGenerator2D& generator);

// Value (x, y, z) = the 3-D noise at (x + 0.5, y + 0.5, z + 0.5), the planes 64 repeating the
// planes 0; its summed-volume table (VolumeSummedTable) after the values in the same block.
void BuildNoiseVolume3D(NoiseGenerator3D& generator);

// Gives the grid its summed-area table in the first companion pointer, once: the storage of
// the second pointer moves there, or the table follows the values in the grid's block.
// Entry (i, j) is the sum of the values (x, y) with x < i and y < j (GridSummedArea).
void VertexGridSummedArea(VertexGrid& grid);

}  // namespace veskor
