// Members of the grid layout entries of the kernel table: copies and conversions between the
// vertex, cell and net layouts, 2x2 averages, subdivision, summed tables, bilinear lookups and
// the seams between neighbouring control nets. Callers use the table.
//
// For a grid of log2 sizes a (columns) and b (rows), row by row:
//   vertex layout (2^a+1) x (2^b+1): V[j][i] is vertex (i, j);
//   cell layout   (2^a+2) x (2^b+2): [j+1][i+1] is the centre of cell (i, j), one-wide border;
//   net layout    (2^a+3) x (2^b+3): [j+1][i+1] is vertex (i, j), one-wide border (the control
//                 net of the grid's cubic B-spline surface).
#pragma once

#include <cstdint>

#include "mapengine/kernel_members.h"

// Members, declared from the list of entries (mapengine/kernel_members.h). The bilinear lookups
// read tables at per-vertex coordinates (U, V) clamped to [0, 0.999]; tables one value wide or
// high take their one column or row as the neighbour too. SSE members compute four values at a
// time in single precision with the plain members' formulas.
