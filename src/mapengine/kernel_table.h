// The kernel table: every numeric kernel of the program (scalar and vector math, colour and
// point-set reductions, Map raster and VertexGrid kernels) is called through one entry of it.
// It is filled once at start with the plain floating-point or the SSE member of each entry.
//
// Conventions of all entries: log2 sizes and channel counts are unsigned 8-bit, scalars 32-bit
// floats, arrays pointers to floats (or bytes where the signature says so), the destination
// last; kernels return nothing unless the signature says so, allocate nothing and check
// nothing. Matrices are 16 floats in column-major order, the translation in elements 12-14.
#pragma once

#include <cstdint>

namespace veskor {

// One pointer per entry, in table order (entries 0-133). The math block (0-9) holds the plain
// members from static initialisation on; the rest is null until the table is filled. Entries
// 45, 46 and 108 are reserved: nothing fills or calls them.
struct KernelTable {
  // --- Math block --------------------------------------------------------------------------
  float (*KernelMin)(float a, float b);                                          // 0
  float (*KernelMax)(float a, float b);                                          // 1
  float (*KernelClamp01)(float x);                                               // 2
  float (*KernelSqrt)(float x);                                                  // 3
  float (*KernelInvSqrt)(float x);                                               // 4
  float (*KernelLength3)(const float* v);                                        // 5
  void (*KernelNormalize3)(float* v);                                            // 6
  void (*KernelMat4Vec4)(float* destination, const float* m, const float* source);     // 7
  void (*KernelTransformPoint)(float* destination, const float* m, const float* point);  // 8
  void (*KernelTransformNormal)(float* destination, const float* m, const float* direction);  // 9

  // --- Colour splits and point-set reductions ----------------------------------------------
  // n pixels of 3 components; the channel index q and the channel order are 32-bit words.
  void (*MapKeyColourSplit)(std::uint32_t n, const std::uint8_t* source, const float* origin,
                            const float* key, const std::uint32_t* channel,
                            std::uint8_t* destination);  // 10
  void (*MapKeyColourSplit2)(std::uint32_t n, const float* source, const float* origin,
                             const float* key, const std::uint32_t* channel,
                             float* destination);  // 11
  void (*MapKeyColourSplit3)(std::uint32_t n, const std::uint8_t* source, const float* key,
                             const std::uint32_t* channel, std::uint8_t* destination);  // 12
  void (*MapKeyColourSplit4)(std::uint32_t n, const float* source, const float* key,
                             const std::uint32_t* channel, float* destination);  // 13
  void (*MapMaxChannelSplit)(std::uint32_t n, const std::uint8_t* source,
                             std::uint8_t* destination);                       // 14
  void (*MapMaxChannelSplit2)(std::uint32_t n, const float* source, float* destination);  // 15
  void (*PointArrayMinMax)(std::uint32_t n, const std::uint8_t* points, float* out);     // 16
  void (*PointArrayMinMax2)(std::uint32_t n, const float* points, float* out);           // 17
  void (*PointArrayMinMax3)(std::uint32_t n, const std::uint8_t* points, const float* base,
                            float* out);  // 18
  void (*PointArrayMinMax4)(std::uint32_t n, const float* points, const float* base,
                            float* out);  // 19
  void (*PointArrayMinMax5)(std::uint32_t n, const std::uint8_t* points, const float* base,
                            const float* mean, float* out);  // 20
  void (*PointArrayMinMax6)(std::uint32_t n, const float* points, const float* base,
                            const float* mean, float* out);  // 21
  void (*PointArrayMinMax7)(std::uint32_t n, const std::uint8_t* points, const float* base,
                            const std::uint32_t* order, float* ratios);  // 22
  void (*PointArrayMinMax8)(std::uint32_t n, const float* points, const float* base,
                            const std::uint32_t* order, float* ratios);  // 23
  void (*MapPrincipalAxes)(std::uint32_t n, const std::uint8_t* source, const float* base,
                           float* key, std::uint32_t* order);  // 24
  void (*MapPrincipalAxes2)(std::uint32_t n, const float* source, const float* base,
                            float* key, std::uint32_t* order);  // 25
  // The six-source members take the six faces of a cube map, n pixels each.
  void (*MapPrincipalAxes3)(std::uint32_t n, const std::uint8_t* const* sources,
                            const float* base, float* key, std::uint32_t* order);  // 26
  void (*MapPrincipalAxes4)(std::uint32_t n, const float* const* sources, const float* base,
                            float* key, std::uint32_t* order);  // 27

  // --- Raster kernels, two shared grid entries ---------------------------------------------
  void (*MapPrefixSum)(std::uint8_t n, const float* source, float* destination);  // 28
  float* (*KernelDot2)(const float* p, const float* q, float* out);               // 29
  void (*KernelLerp)(std::uint8_t n, float t, const float* a, const float* b,
                     float* destination);  // 30
  void (*MapFillBytesVector)(std::uint8_t ch, std::uint8_t w, std::uint8_t h,
                             std::uint8_t* destination, const std::uint8_t* vector);  // 31
  void (*MapCopyBytes)(std::uint8_t ch, std::uint8_t w, std::uint8_t h,
                       const std::uint8_t* source, std::uint8_t* destination);  // 32
  void (*MapCopyBytes2)(std::uint8_t ch, std::uint8_t w, std::uint8_t h,
                        const std::uint8_t* source, std::uint8_t* destination);  // 33
  void (*MapBytesDownsample)(std::uint8_t ch, std::uint8_t w, std::uint8_t h,
                             std::uint32_t halveWidth, std::uint32_t halveHeight,
                             const std::uint8_t* source, std::uint8_t* destination);  // 34
  void (*MapBytesDownsample2)(std::uint8_t ch, std::uint8_t w, std::uint8_t h,
                              std::uint32_t halveWidth, std::uint32_t halveHeight,
                              const std::int8_t* source, std::int8_t* destination);  // 35
  void (*GridCopyBytes)(std::uint8_t a, std::uint8_t b, const std::uint8_t* source,
                        std::uint8_t* destination);  // 36
  void (*MapCopy)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* source,
                  float* destination);  // 37
  void (*MapWriteChannel)(std::uint8_t ch, std::uint8_t k, std::uint8_t w, std::uint8_t h,
                          const float* source, float* destination);  // 38
  void (*MapWriteChannelFromBordered)(std::uint8_t ch, std::uint8_t k, std::uint8_t w,
                                      std::uint8_t h, const float* source,
                                      float* destination);  // 39
  void (*MapFill)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* destination,
                  float value);  // 40
  void (*MapFillVector)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* destination,
                        const float* vector);  // 41
  void (*MapToBordered)(std::uint8_t w, std::uint8_t h, const float* source,
                        std::uint8_t sourceStep, float* destination);  // 42
  void (*MapClamp01)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* data);  // 43
  void (*MapDownsample)(std::uint8_t ch, std::uint8_t w, std::uint8_t h,
                        std::uint32_t halveWidth, std::uint32_t halveHeight,
                        const float* source, float* destination);  // 44
  void* reserved45;                                                  // 45
  void* reserved46;                                                  // 46
  void (*MapNeighbourTest)(std::uint8_t ch, std::uint8_t w, std::uint8_t h,
                           const float* source, float level, float* destination);  // 47
  void (*MapScalarMinusTimes)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float lo,
                              float hi, const float* a, float* destination);  // 48
  void (*MapCentreWeight)(std::uint8_t w, std::uint8_t h, const float* source,
                          float* destination);  // 49
  // count lines of 2^length elements; line i starts at startA + i in A and startB + i in B.
  void (*MapPropagate)(std::uint32_t count, std::uint8_t length, std::uint32_t startA,
                       std::uint32_t startB, std::int32_t stepA, std::int32_t stepB,
                       const float* sourceA, const float* sourceB, float* destinationA,
                       float* destinationB);  // 50
  void (*MapPropagate2)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* source,
                        float* destination);  // 51
  void (*MapPropagate3)(std::uint8_t w, std::uint8_t h, const float* source,
                        float* destination);  // 52
  void (*MapMul)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                 const float* b, float* destination);  // 53
  void (*MapMulScalar)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                       float s, float* destination);  // 54
  void (*MapDiv)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                 const float* b, float* destination);  // 55
  void (*MapDivScalar)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                       float s, float* destination);  // 56
  void (*MapAdd)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                 const float* b, float* destination);  // 57
  void (*MapAddScalar)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                       float s, float* destination);  // 58
  void (*MapSub)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                 const float* b, float* destination);  // 59
  void (*MapSubScalar)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                       float s, float* destination);  // 60
  void (*MapMin)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                 const float* b, float* destination);  // 61
  void (*MapMax)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                 const float* b, float* destination);  // 62
  void (*MapMinScalar)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                       float s, float* destination);  // 63
  void (*MapMaxScalar)(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,
                       float s, float* destination);  // 64

  // --- Grid kernels ------------------------------------------------------------------------
  // a, b: the grid's log2 sizes. Vertex layout (2^a+1)(2^b+1), cell layout (2^a+2)(2^b+2),
  // net layout (2^a+3)(2^b+3), row by row.
  void (*GridCopy)(std::uint8_t a, std::uint8_t b, const float* source,
                   float* destination);  // 65
  void (*GridAverage2x2)(std::uint8_t a, std::uint8_t b, const float* source, std::uint8_t ch,
                         float* destination);  // 66
  void (*GridFromBordered)(std::uint8_t a, std::uint8_t b, const float* net,
                           float* destination);  // 67
  void (*GridSubdivide2x)(std::uint8_t a, std::uint8_t b, const float* source,
                          float* destination);  // 68
  void (*GridSummedArea)(std::uint8_t a, std::uint8_t b, const float* source,
                         float* destination);  // 69
  void (*GridBSplineEval)(std::uint8_t a, std::uint8_t b, std::uint8_t p, std::uint8_t q,
                          const float* net, float* destination);  // 70
  void (*GridHeightNormals)(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                            const float* z, float* nx, float* ny, float* nz);  // 71
  void (*GridDiagonalNormals)(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                              const float* z, float* nx, float* ny, float* nz);  // 72
  void (*FieldLightTerms)(std::uint8_t a, std::uint8_t b, const float* fa, const float* fb,
                          const float* fc, float s0, float s1, float s2, float s3,
                          float* destination1, float* destination2);  // 73
  void (*GridMul)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                  float* destination);  // 74
  void (*GridMulScalar)(std::uint8_t a, std::uint8_t b, const float* ga, float s,
                        float* destination);  // 75
  void (*GridDiv)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                  float* destination);  // 76
  void (*GridDivScalar)(std::uint8_t a, std::uint8_t b, const float* ga, float s,
                        float* destination);  // 77
  void (*GridAdd)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                  float* destination);  // 78
  void (*GridAddScalar)(std::uint8_t a, std::uint8_t b, const float* ga, float s,
                        float* destination);  // 79
  void (*GridSub)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                  float* destination);  // 80
  void (*GridSubScalar)(std::uint8_t a, std::uint8_t b, const float* ga, float s,
                        float* destination);  // 81
  void (*GridScalarMinus)(std::uint8_t a, std::uint8_t b, float s, const float* ga,
                          float* destination);  // 82
  void (*GridMulAdd)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                     const float* gc, float* destination);  // 83
  void (*GridScaleAdd)(std::uint8_t a, std::uint8_t b, const float* ga, float s,
                       const float* gc, float* destination);  // 84
  void (*GridStep)(std::uint8_t a, std::uint8_t b, const float* ga, float edge,
                   float* destination);  // 85
  void (*GridStepLinear)(std::uint8_t a, std::uint8_t b, const float* ga, float lo, float hi,
                         float* destination);  // 86
  void (*GridStepSmooth)(std::uint8_t a, std::uint8_t b, const float* ga, float lo, float hi,
                         float* destination);  // 87
  void (*FieldDot)(std::uint8_t a, std::uint8_t b, const float* x1, const float* y1,
                   const float* z1, const float* x2, const float* y2, const float* z2,
                   float* destination);  // 88
  void (*FieldDotConst)(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                        const float* z, float c0, float c1, float c2,
                        float* destination);  // 89
  void (*FieldCross)(std::uint8_t a, std::uint8_t b, const float* x1, const float* y1,
                     const float* z1, const float* x2, const float* y2, const float* z2,
                     float* dx, float* dy, float* dz);  // 90
  void (*FieldCrossConst)(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                          const float* z, float c0, float c1, float c2, float* dx, float* dy,
                          float* dz);  // 91
  void (*GridTransform)(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                        const float* y, const float* z, float* dx, float* dy,
                        float* dz);  // 92
  void (*FieldNormalize3)(std::uint8_t a, std::uint8_t b, const float* x, const float* y,
                          const float* z, float* dx, float* dy, float* dz);  // 93
  void (*GridAbs)(std::uint8_t a, std::uint8_t b, const float* ga, float* destination);  // 94
  void (*GridOneMinus)(std::uint8_t a, std::uint8_t b, const float* ga,
                       float* destination);  // 95
  void (*GridMin)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                  float* destination);  // 96
  void (*GridMin3)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                   const float* gc, float* destination);  // 97
  void (*GridMax)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                  float* destination);  // 98
  void (*GridMax3)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                   const float* gc, float* destination);  // 99
  void (*GridMinScalar)(std::uint8_t a, std::uint8_t b, const float* ga, float s,
                        float* destination);  // 100
  void (*GridMaxScalar)(std::uint8_t a, std::uint8_t b, const float* ga, float s,
                        float* destination);  // 101
  void (*GridCompare)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                      float* destination);  // 102
  void (*GridCompare2)(std::uint8_t a, std::uint8_t b, const float* ga, const float* gb,
                       float* destination);  // 103
  void (*GridClampRange)(std::uint8_t a, std::uint8_t b, float* grid, float lo,
                         float hi);  // 104
  void (*GridRepeat)(std::uint8_t a, std::uint8_t b, const float* ga, float lo, float hi,
                     float* destination);  // 105
  void (*GridClamp01)(std::uint8_t a, std::uint8_t b, float* grid);  // 106
  void (*GridFrac)(std::uint8_t a, std::uint8_t b, const float* ga, float* destination);  // 107
  void* reserved108;                                                                       // 108

  // --- Sampling, layouts and seams -----------------------------------------------------------
  // Tables T at coordinates (U, V) of a vertex-layout grid (a, b); see the layout kernels.
  void (*GridSampleBilinear)(std::uint8_t w, std::uint8_t h, const float* t1, std::uint8_t a,
                             std::uint8_t b, const float* u, const float* v,
                             float* d1);  // 109
  void (*GridSampleBilinear2)(std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,
                              std::uint8_t a, std::uint8_t b, const float* u, const float* v,
                              float* d1, float* d2);  // 110
  void (*GridSampleBilinear3)(std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,
                              const float* t3, std::uint8_t a, std::uint8_t b, const float* u,
                              const float* v, float* d1, float* d2, float* d3);  // 111
  void (*GridSampleBilinear4)(std::uint8_t w, std::uint8_t h, const float* t1, std::uint8_t a,
                              std::uint8_t b, const float* u, const float* v,
                              float* d1);  // 112
  void (*GridSampleBilinear5)(std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,
                              std::uint8_t a, std::uint8_t b, const float* u, const float* v,
                              float* d1, float* d2);  // 113
  void (*GridSampleBilinear6)(std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,
                              const float* t3, std::uint8_t a, std::uint8_t b, const float* u,
                              const float* v, float* d1, float* d2, float* d3);  // 114
  // W and H are counts of values, not log2 sizes.
  void (*GridSampleBilinear7)(std::uint32_t width, std::uint32_t height, const float* t1,
                              std::uint8_t a, std::uint8_t b, const float* u, const float* v,
                              float* d1);  // 115
  void (*MapChannelToBordered)(std::uint8_t step, std::uint8_t a, std::uint8_t b,
                               const float* source, float* cells);  // 116
  void (*GridCellCentres)(std::uint8_t a, std::uint8_t b, const float* source,
                          float* cells);  // 117
  void (*GridNetToCells)(std::uint8_t a, std::uint8_t b, const float* net, float* cells);  // 118
  void (*GridThreshold)(float s, std::uint8_t a, std::uint8_t b, const float* cellsA,
                        float* cellsD);  // 119
  void (*GridThreshold2)(float s, std::uint8_t a, std::uint8_t b, const float* cellsA,
                         float* cellsD);  // 120
  void (*GridTransformVectors)(std::uint8_t a, std::uint8_t b, const float* m, const float* x,
                               const float* y, const float* z, float* dx, float* dy,
                               float* dz);  // 121
  void (*GridToNet)(std::uint8_t a, std::uint8_t b, std::uint32_t wrapX, std::uint32_t wrapY,
                    const float* source, float* net);  // 122
  // Seams between net A (log2 sizes a, hA) and net B (b, hB), B lying before A.
  void (*NetStitchColumns)(std::uint8_t a, std::uint8_t hA, float* netA, std::uint8_t b,
                           std::uint8_t hB, float* netB);  // 123
  void (*NetStitchRows)(std::uint8_t a, std::uint8_t hA, float* netA, std::uint8_t b,
                        std::uint8_t hB, float* netB);  // 124
  void (*NetStitchCorner)(std::uint8_t a, std::uint8_t hA, float* netA, std::uint8_t b,
                          std::uint8_t hB, float* netB);  // 125
  void (*NetStitchCorner2)(std::uint8_t a, std::uint8_t hA, float* netA, std::uint8_t b,
                           std::uint8_t hB, float* netB);  // 126
  // The same seams between tile (tx, ty) of a net cut into 2^la x 2^lhA tiles and tile
  // (txB, tyB) of a net cut into 2^lb x 2^lhB tiles.
  void (*NetStitchColumnsAt)(std::uint8_t a, std::uint8_t hA, std::uint8_t la,
                             std::uint8_t lhA, std::uint32_t tx, std::uint32_t ty, float* netA,
                             std::uint8_t b, std::uint8_t hB, std::uint8_t lb,
                             std::uint8_t lhB, std::uint32_t txB, std::uint32_t tyB,
                             float* netB);  // 127
  void (*NetStitchRowsAt)(std::uint8_t a, std::uint8_t hA, std::uint8_t la, std::uint8_t lhA,
                          std::uint32_t tx, std::uint32_t ty, float* netA, std::uint8_t b,
                          std::uint8_t hB, std::uint8_t lb, std::uint8_t lhB,
                          std::uint32_t txB, std::uint32_t tyB, float* netB);  // 128
  void (*NetStitchCornerAt)(std::uint8_t a, std::uint8_t hA, std::uint8_t la,
                            std::uint8_t lhA, std::uint32_t tx, std::uint32_t ty, float* netA,
                            std::uint8_t b, std::uint8_t hB, std::uint8_t lb, std::uint8_t lhB,
                            std::uint32_t txB, std::uint32_t tyB, float* netB);  // 129
  void (*NetStitchCornerAt2)(std::uint8_t a, std::uint8_t hA, std::uint8_t la,
                             std::uint8_t lhA, std::uint32_t tx, std::uint32_t ty, float* netA,
                             std::uint8_t b, std::uint8_t hB, std::uint8_t lb,
                             std::uint8_t lhB, std::uint32_t txB, std::uint32_t tyB,
                             float* netB);  // 130
  void (*MapBSplineUpsampleAlt)(std::uint8_t a, std::uint8_t b, std::uint8_t p, std::uint8_t q,
                                const float* net, float* destinationNet);  // 131
  void (*MapBSplineUpsample)(std::uint8_t a, std::uint8_t b, std::uint8_t p, std::uint8_t q,
                             const float* net, float* destinationNet);  // 132
  // A volume of 2^c+1 planes of (2^b+1) rows of (2^a+1) values.
  void (*VolumeSummedTable)(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                            const float* source, float* destination);  // 133
};

inline constexpr std::uint32_t kKernelTableEntries = 134;
static_assert(sizeof(KernelTable) == kKernelTableEntries * sizeof(void*),
              "one pointer per entry, no padding");

// The program's table. Callers in every subsystem call kernels through it, never directly.
extern KernelTable gKernelTable;

// 1 when the SSE members are to be used (the processor has SSE and VESKOR_PLAIN_KERNELS=1 does
// not force the plain members), else 0. Tested at the first call, cached after. The noise
// fills and a few other routines choose code paths of their own with it.
std::uint32_t HasSse();

// Fills gKernelTable with the members HasSse chooses. Called once, first thing at start.
void InitKernelTable();

// Fills `table` with the SSE members (sse) or the plain ones, each family registering its own
// entries; also builds the B-spline weight tables (and their SSE copy and the SSE constants
// on the SSE path). InitKernelTable uses it; tests fill tables of both kinds side by side.
void FillKernelTable(KernelTable& table, bool sse);

// Constant vectors of the SSE members, 16-byte aligned; stored on the SSE path.
struct alignas(16) SseConstants {
  float zero[4];
  float quarter[4];
  float half[4];
  float one[4];
  float two[4];
  float three[4];
  std::uint32_t absMask[4];  // 0x7FFFFFFF
};
extern SseConstants gSseConstants;

}  // namespace veskor
