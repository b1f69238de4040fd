// Members of the vector-field and normal entries of the kernel table (71-73, 88-93, 121):
// products, normalisation and transforms of three-component fields held as three grid value
// arrays, surface normals from position grids, and two shading terms. Callers use the table.
//
// A vector whose squared length is 0 is left unchanged by FieldNormalize3, and a degenerate
// cell (coincident or collinear neighbours) gives the zero normal in both normal kernels,
// instead of the infinities or non-numbers a plain division would give.
#pragma once

#include <cstdint>

#include "mapengine/kernel_members.h"

// Members, declared from the list of entries (mapengine/kernel_members.h). The SSE
// GridDiagonalNormals scales by the processor's reciprocal square-root estimate: normals of
// length 1 within about 4e-4; cells whose squared normal length is below the smallest normal
// float give the zero normal. The SSE FieldLightTerms scales s0..s3 by 1 / (s3 + 1) before the
// loop and limits the difference with a maximum: the same D1 as the plain member for s3 > -1.
