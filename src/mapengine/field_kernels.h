// Members of the vector-field and normal entries of the kernel table (71-73, 88-93, 121):
// products, normalisation and transforms of three-component fields held as three grid value
// arrays, surface normals from position grids, and two shading terms. Callers use the table.
//
// A vector whose squared length is 0 is left unchanged by FieldNormalize3, and a degenerate
// cell (coincident or collinear neighbours) gives the zero normal in both normal kernels,
// instead of the infinities or non-numbers a plain division would give.
#pragma once

#include <cstdint>

namespace veskor::plain {
void FieldDot(std::uint8_t a, std::uint8_t b, const float* x1, const float* y1,
              const float* z1, const float* x2, const float* y2, const float* z2,
              float* destination);
void FieldDotConst(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                   const float* z, float c0, float c1, float c2, float* destination);
void FieldCross(std::uint8_t a, std::uint8_t b, const float* x1, const float* y1,
                const float* z1, const float* x2, const float* y2, const float* z2, float* dx,
                float* dy, float* dz);
void FieldCrossConst(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                     const float* z, float c0, float c1, float c2, float* dx, float* dy,
                     float* dz);
void FieldNormalize3(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                     const float* z, float* dx, float* dy, float* dz);
void GridTransform(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                   const float* y, const float* z, float* dx, float* dy, float* dz);
void GridTransformVectors(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                          const float* y, const float* z, float* dx, float* dy, float* dz);
void GridHeightNormals(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                       const float* z, float* nx, float* ny, float* nz);
void GridDiagonalNormals(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                         const float* z, float* nx, float* ny, float* nz);
void FieldLightTerms(std::uint8_t a, std::uint8_t b, const float* fa, const float* fb,
                     const float* fc, float s0, float s1, float s2, float s3,
                     float* destination1, float* destination2);
}  // namespace veskor::plain

namespace veskor::sse {
void GridTransform(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                   const float* y, const float* z, float* dx, float* dy, float* dz);
void GridTransformVectors(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                          const float* y, const float* z, float* dx, float* dy, float* dz);
// Scales by the processor's reciprocal square-root estimate: normals of length 1 within
// about 4e-4. Cells whose squared normal length is below the smallest normal float give the
// zero normal.
void GridDiagonalNormals(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                         const float* z, float* nx, float* ny, float* nz);
// s0..s3 are scaled by 1 / (s3 + 1) before the loop and the difference limited with a
// maximum: the same D1 as the plain member for s3 > -1.
void FieldLightTerms(std::uint8_t a, std::uint8_t b, const float* fa, const float* fb,
                     const float* fc, float s0, float s1, float s2, float s3,
                     float* destination1, float* destination2);
}  // namespace veskor::sse
