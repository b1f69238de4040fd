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

namespace veskor::plain {

void GridCopy(std::uint8_t a, std::uint8_t b, const float* source, float* destination);
void GridFromBordered(std::uint8_t a, std::uint8_t b, const float* net, float* destination);
void GridToNet(std::uint8_t a, std::uint8_t b, std::uint32_t wrapX, std::uint32_t wrapY,
               const float* source, float* net);
void MapChannelToBordered(std::uint8_t step, std::uint8_t a, std::uint8_t b,
                          const float* source, float* cells);
void GridCellCentres(std::uint8_t a, std::uint8_t b, const float* source, float* cells);
void GridNetToCells(std::uint8_t a, std::uint8_t b, const float* net, float* cells);
void GridAverage2x2(std::uint8_t a, std::uint8_t b, const float* source, std::uint8_t ch,
                    float* destination);
void GridSubdivide2x(std::uint8_t a, std::uint8_t b, const float* source, float* destination);
void GridSummedArea(std::uint8_t a, std::uint8_t b, const float* source, float* destination);
void VolumeSummedTable(std::uint8_t a, std::uint8_t b, std::uint8_t c, const float* source,
                       float* destination);

// Bilinear lookups of tables at per-vertex coordinates (U, V) clamped to [0, 0.999]. Tables
// one value wide or high take their one column or row as the neighbour too.
void GridSampleBilinear(std::uint8_t w, std::uint8_t h, const float* t1, std::uint8_t a,
                        std::uint8_t b, const float* u, const float* v, float* d1);
void GridSampleBilinear2(std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,
                         std::uint8_t a, std::uint8_t b, const float* u, const float* v,
                         float* d1, float* d2);
void GridSampleBilinear3(std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,
                         const float* t3, std::uint8_t a, std::uint8_t b, const float* u,
                         const float* v, float* d1, float* d2, float* d3);
void GridSampleBilinear4(std::uint8_t w, std::uint8_t h, const float* t1, std::uint8_t a,
                         std::uint8_t b, const float* u, const float* v, float* d1);
void GridSampleBilinear5(std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,
                         std::uint8_t a, std::uint8_t b, const float* u, const float* v,
                         float* d1, float* d2);
void GridSampleBilinear6(std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,
                         const float* t3, std::uint8_t a, std::uint8_t b, const float* u,
                         const float* v, float* d1, float* d2, float* d3);
void GridSampleBilinear7(std::uint32_t width, std::uint32_t height, const float* t1,
                         std::uint8_t a, std::uint8_t b, const float* u, const float* v,
                         float* d1);

void NetStitchColumns(std::uint8_t a, std::uint8_t hA, float* netA, std::uint8_t b,
                      std::uint8_t hB, float* netB);
void NetStitchRows(std::uint8_t a, std::uint8_t hA, float* netA, std::uint8_t b,
                   std::uint8_t hB, float* netB);
void NetStitchCorner(std::uint8_t a, std::uint8_t hA, float* netA, std::uint8_t b,
                     std::uint8_t hB, float* netB);
void NetStitchCorner2(std::uint8_t a, std::uint8_t hA, float* netA, std::uint8_t b,
                      std::uint8_t hB, float* netB);
void NetStitchColumnsAt(std::uint8_t a, std::uint8_t hA, std::uint8_t la, std::uint8_t lhA,
                        std::uint32_t tx, std::uint32_t ty, float* netA, std::uint8_t b,
                        std::uint8_t hB, std::uint8_t lb, std::uint8_t lhB, std::uint32_t txB,
                        std::uint32_t tyB, float* netB);
void NetStitchRowsAt(std::uint8_t a, std::uint8_t hA, std::uint8_t la, std::uint8_t lhA,
                     std::uint32_t tx, std::uint32_t ty, float* netA, std::uint8_t b,
                     std::uint8_t hB, std::uint8_t lb, std::uint8_t lhB, std::uint32_t txB,
                     std::uint32_t tyB, float* netB);
void NetStitchCornerAt(std::uint8_t a, std::uint8_t hA, std::uint8_t la, std::uint8_t lhA,
                       std::uint32_t tx, std::uint32_t ty, float* netA, std::uint8_t b,
                       std::uint8_t hB, std::uint8_t lb, std::uint8_t lhB, std::uint32_t txB,
                       std::uint32_t tyB, float* netB);
void NetStitchCornerAt2(std::uint8_t a, std::uint8_t hA, std::uint8_t la, std::uint8_t lhA,
                        std::uint32_t tx, std::uint32_t ty, float* netA, std::uint8_t b,
                        std::uint8_t hB, std::uint8_t lb, std::uint8_t lhB, std::uint32_t txB,
                        std::uint32_t tyB, float* netB);

}  // namespace veskor::plain

// SSE members: four values at a time in single precision with the plain members' formulas.
namespace veskor::sse {

void GridCellCentres(std::uint8_t a, std::uint8_t b, const float* source, float* cells);
void GridNetToCells(std::uint8_t a, std::uint8_t b, const float* net, float* cells);
void GridAverage2x2(std::uint8_t a, std::uint8_t b, const float* source, std::uint8_t ch,
                    float* destination);
void GridSubdivide2x(std::uint8_t a, std::uint8_t b, const float* source, float* destination);
void GridSampleBilinear7(std::uint32_t width, std::uint32_t height, const float* t1,
                         std::uint8_t a, std::uint8_t b, const float* u, const float* v,
                         float* d1);

}  // namespace veskor::sse
