// The one list of the kernel table's entries, in table order: the table's fields, the
// declarations of the plain and SSE members, the filling of a table on either path and the
// tests' view of the entries are all generated from it. Adding a kernel means one line here
// and its members in the family files.
//
// X(index, name, members, result, (parameters)), one per entry, where members is
//   SSE       a member plain::name and a member sse::name of its own;
//   PLAIN     one member plain::name on both paths;
//   RESERVED  nothing: the slot keeps its place and stays null (the field is a void*).
// index is the entry's slot; the table checks that every entry sits at its index.
#pragma once

#include <cstdint>

// clang-format off
// Parameter lists that several entries share.
#define VESKOR_ARGS_MAP_BYTES (std::uint8_t ch, std::uint8_t w, std::uint8_t h,                    \
    const std::uint8_t* source, std::uint8_t* destination)
#define VESKOR_ARGS_MAP_UNARY (std::uint8_t ch, std::uint8_t w, std::uint8_t h,                    \
    const float* source, float* destination)
#define VESKOR_ARGS_MAP_CHANNEL (std::uint8_t ch, std::uint8_t k, std::uint8_t w, std::uint8_t h,  \
    const float* source, float* destination)
#define VESKOR_ARGS_MAP_ONE_CHANNEL (std::uint8_t w, std::uint8_t h, const float* source,          \
    float* destination)
#define VESKOR_ARGS_MAP_BINARY (std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,   \
    const float* b, float* destination)
#define VESKOR_ARGS_MAP_SCALAR (std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a,   \
    float s, float* destination)
#define VESKOR_ARGS_GRID_SOURCE (std::uint8_t a, std::uint8_t b, const float* source,              \
    float* destination)
#define VESKOR_ARGS_GRID_NORMALS (std::uint8_t a, std::uint8_t b, const float* x, const float* y,  \
    const float* z, float* nx, float* ny, float* nz)
#define VESKOR_ARGS_GRID_BINARY (std::uint8_t a, std::uint8_t b, const float* ga,                  \
    const float* gb, float* destination)
#define VESKOR_ARGS_GRID_SCALAR (std::uint8_t a, std::uint8_t b, const float* ga, float s,         \
    float* destination)
#define VESKOR_ARGS_GRID_TERNARY (std::uint8_t a, std::uint8_t b, const float* ga,                 \
    const float* gb, const float* gc, float* destination)
#define VESKOR_ARGS_GRID_RANGE (std::uint8_t a, std::uint8_t b, const float* ga, float lo,         \
    float hi, float* destination)
#define VESKOR_ARGS_GRID_TRANSFORM (std::uint8_t a, std::uint8_t b, const float* m,                \
    const float* x, const float* y, const float* z, float* dx, float* dy, float* dz)
#define VESKOR_ARGS_GRID_UNARY (std::uint8_t a, std::uint8_t b, const float* ga, float* destination)
#define VESKOR_ARGS_SAMPLE_1 (std::uint8_t w, std::uint8_t h, const float* t1, std::uint8_t a,     \
    std::uint8_t b, const float* u, const float* v, float* d1)
#define VESKOR_ARGS_SAMPLE_2 (std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,    \
    std::uint8_t a, std::uint8_t b, const float* u, const float* v, float* d1, float* d2)
#define VESKOR_ARGS_SAMPLE_3 (std::uint8_t w, std::uint8_t h, const float* t1, const float* t2,    \
    const float* t3, std::uint8_t a, std::uint8_t b, const float* u, const float* v, float* d1,    \
    float* d2, float* d3)
#define VESKOR_ARGS_THRESHOLD (float s, std::uint8_t a, std::uint8_t b, const float* cellsA,       \
    float* cellsD)
#define VESKOR_ARGS_SEAM (std::uint8_t a, std::uint8_t hA, float* netA, std::uint8_t b,            \
    std::uint8_t hB, float* netB)
#define VESKOR_ARGS_SEAM_AT (std::uint8_t a, std::uint8_t hA, std::uint8_t la, std::uint8_t lhA,   \
    std::uint32_t tx, std::uint32_t ty, float* netA, std::uint8_t b, std::uint8_t hB,              \
    std::uint8_t lb, std::uint8_t lhB, std::uint32_t txB, std::uint32_t tyB, float* netB)
#define VESKOR_ARGS_BSPLINE_UPSAMPLE (std::uint8_t a, std::uint8_t b, std::uint8_t p,              \
    std::uint8_t q, const float* net, float* destinationNet)

// Math block
#define VESKOR_KERNELS_MATH(X) \
  X(0, KernelMin, SSE, float, (float a, float b))                                                  \
  X(1, KernelMax, SSE, float, (float a, float b))                                                  \
  X(2, KernelClamp01, SSE, float, (float x))                                                       \
  X(3, KernelSqrt, SSE, float, (float x))                                                          \
  X(4, KernelInvSqrt, SSE, float, (float x))                                                       \
  X(5, KernelLength3, SSE, float, (const float* v))                                                \
  X(6, KernelNormalize3, SSE, void, (float* v))                                                    \
  X(7, KernelMat4Vec4, SSE, void, (float* destination, const float* m, const float* source))       \
  X(8, KernelTransformPoint, SSE, void, (float* destination, const float* m, const float* point))  \
  X(9, KernelTransformNormal, SSE, void, (float* destination, const float* m,                      \
                                          const float* direction))

// Colour splits and point-set reductions
#define VESKOR_KERNELS_COLOUR(X) \
  /* n pixels of 3 components; the channel index q and the channel order are 32-bit words. */      \
  X(10, MapKeyColourSplit, PLAIN, void, (std::uint32_t n, const std::uint8_t* source,              \
                                         const float* origin, const float* key,                    \
                                         const std::uint32_t* channel, std::uint8_t* destination)) \
  X(11, MapKeyColourSplit2, PLAIN, void, (std::uint32_t n, const float* source,                    \
                                          const float* origin, const float* key,                   \
                                          const std::uint32_t* channel, float* destination))       \
  X(12, MapKeyColourSplit3, PLAIN, void, (std::uint32_t n, const std::uint8_t* source,             \
                                          const float* key, const std::uint32_t* channel,          \
                                          std::uint8_t* destination))                              \
  X(13, MapKeyColourSplit4, PLAIN, void, (std::uint32_t n, const float* source, const float* key,  \
                                          const std::uint32_t* channel, float* destination))       \
  X(14, MapMaxChannelSplit, PLAIN, void, (std::uint32_t n, const std::uint8_t* source,             \
                                          std::uint8_t* destination))                              \
  X(15, MapMaxChannelSplit2, PLAIN, void, (std::uint32_t n, const float* source,                   \
                                           float* destination))                                    \
  X(16, PointArrayMinMax, SSE, void, (std::uint32_t n, const std::uint8_t* points, float* out))    \
  X(17, PointArrayMinMax2, SSE, void, (std::uint32_t n, const float* points, float* out))          \
  X(18, PointArrayMinMax3, PLAIN, void, (std::uint32_t n, const std::uint8_t* points,              \
                                         const float* base, float* out))                           \
  X(19, PointArrayMinMax4, SSE, void, (std::uint32_t n, const float* points, const float* base,    \
                                       float* out))                                                \
  X(20, PointArrayMinMax5, PLAIN, void, (std::uint32_t n, const std::uint8_t* points,              \
                                         const float* base, const float* mean, float* out))        \
  X(21, PointArrayMinMax6, SSE, void, (std::uint32_t n, const float* points, const float* base,    \
                                       const float* mean, float* out))                             \
  X(22, PointArrayMinMax7, SSE, void, (std::uint32_t n, const std::uint8_t* points,                \
                                       const float* base, const std::uint32_t* order,              \
                                       float* ratios))                                             \
  X(23, PointArrayMinMax8, SSE, void, (std::uint32_t n, const float* points, const float* base,    \
                                       const std::uint32_t* order, float* ratios))                 \
  X(24, MapPrincipalAxes, SSE, void, (std::uint32_t n, const std::uint8_t* source,                 \
                                      const float* base, float* key, std::uint32_t* order))        \
  X(25, MapPrincipalAxes2, SSE, void, (std::uint32_t n, const float* source, const float* base,    \
                                       float* key, std::uint32_t* order))                          \
  /* The six-source members take the six faces of a cube map, n pixels each. */                    \
  X(26, MapPrincipalAxes3, SSE, void, (std::uint32_t n, const std::uint8_t* const* sources,        \
                                       const float* base, float* key, std::uint32_t* order))       \
  X(27, MapPrincipalAxes4, SSE, void, (std::uint32_t n, const float* const* sources,               \
                                       const float* base, float* key, std::uint32_t* order))

// Raster kernels, two shared grid entries
#define VESKOR_KERNELS_RASTER(X) \
  X(28, MapPrefixSum, PLAIN, void, (std::uint8_t n, const float* source, float* destination))      \
  X(29, KernelDot2, PLAIN, float*, (const float* p, const float* q, float* out))                   \
  X(30, KernelLerp, PLAIN, void, (std::uint8_t n, float t, const float* a, const float* b,         \
                                  float* destination))                                             \
  X(31, MapFillBytesVector, PLAIN, void, (std::uint8_t ch, std::uint8_t w, std::uint8_t h,         \
                                          std::uint8_t* destination, const std::uint8_t* vector))  \
  X(32, MapCopyBytes, PLAIN, void, VESKOR_ARGS_MAP_BYTES)                                          \
  X(33, MapCopyBytes2, PLAIN, void, VESKOR_ARGS_MAP_BYTES)                                         \
  X(34, MapBytesDownsample, PLAIN, void, (std::uint8_t ch, std::uint8_t w, std::uint8_t h,         \
                                          std::uint32_t halveWidth, std::uint32_t halveHeight,     \
                                          const std::uint8_t* source, std::uint8_t* destination))  \
  X(35, MapBytesDownsample2, PLAIN, void, (std::uint8_t ch, std::uint8_t w, std::uint8_t h,        \
                                           std::uint32_t halveWidth, std::uint32_t halveHeight,    \
                                           const std::int8_t* source, std::int8_t* destination))   \
  X(36, GridCopyBytes, PLAIN, void, (std::uint8_t a, std::uint8_t b, const std::uint8_t* source,   \
                                     std::uint8_t* destination))                                   \
  X(37, MapCopy, PLAIN, void, VESKOR_ARGS_MAP_UNARY)                                               \
  X(38, MapWriteChannel, PLAIN, void, VESKOR_ARGS_MAP_CHANNEL)                                     \
  X(39, MapWriteChannelFromBordered, PLAIN, void, VESKOR_ARGS_MAP_CHANNEL)                         \
  X(40, MapFill, PLAIN, void, (std::uint8_t ch, std::uint8_t w, std::uint8_t h,                    \
                               float* destination, float value))                                   \
  X(41, MapFillVector, PLAIN, void, (std::uint8_t ch, std::uint8_t w, std::uint8_t h,              \
                                     float* destination, const float* vector))                     \
  X(42, MapToBordered, PLAIN, void, (std::uint8_t w, std::uint8_t h, const float* source,          \
                                     std::uint8_t sourceStep, float* destination))                 \
  X(43, MapClamp01, SSE, void, (std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* data))     \
  X(44, MapDownsample, SSE, void, (std::uint8_t ch, std::uint8_t w, std::uint8_t h,                \
                                   std::uint32_t halveWidth, std::uint32_t halveHeight,            \
                                   const float* source, float* destination))                       \
  X(45, reserved45, RESERVED, void, ())                                                            \
  X(46, reserved46, RESERVED, void, ())                                                            \
  X(47, MapNeighbourTest, PLAIN, void, (std::uint8_t ch, std::uint8_t w, std::uint8_t h,           \
                                        const float* source, float level, float* destination))     \
  X(48, MapScalarMinusTimes, PLAIN, void, (std::uint8_t ch, std::uint8_t w, std::uint8_t h,        \
                                           float lo, float hi, const float* a,                     \
                                           float* destination))                                    \
  X(49, MapCentreWeight, PLAIN, void, VESKOR_ARGS_MAP_ONE_CHANNEL)                                 \
  /* count lines of 2^length elements; line i starts at startA + i in A and startB + i in B. */    \
  X(50, MapPropagate, PLAIN, void, (std::uint32_t count, std::uint8_t length,                      \
                                    std::uint32_t startA, std::uint32_t startB,                    \
                                    std::int32_t stepA, std::int32_t stepB, const float* sourceA,  \
                                    const float* sourceB, float* destinationA,                     \
                                    float* destinationB))                                          \
  X(51, MapPropagate2, PLAIN, void, VESKOR_ARGS_MAP_UNARY)                                         \
  X(52, MapPropagate3, PLAIN, void, VESKOR_ARGS_MAP_ONE_CHANNEL)                                   \
  X(53, MapMul, SSE, void, VESKOR_ARGS_MAP_BINARY)                                                 \
  X(54, MapMulScalar, SSE, void, VESKOR_ARGS_MAP_SCALAR)                                           \
  X(55, MapDiv, SSE, void, VESKOR_ARGS_MAP_BINARY)                                                 \
  X(56, MapDivScalar, SSE, void, VESKOR_ARGS_MAP_SCALAR)                                           \
  X(57, MapAdd, SSE, void, VESKOR_ARGS_MAP_BINARY)                                                 \
  X(58, MapAddScalar, SSE, void, VESKOR_ARGS_MAP_SCALAR)                                           \
  X(59, MapSub, SSE, void, VESKOR_ARGS_MAP_BINARY)                                                 \
  X(60, MapSubScalar, SSE, void, VESKOR_ARGS_MAP_SCALAR)                                           \
  X(61, MapMin, PLAIN, void, VESKOR_ARGS_MAP_BINARY)                                               \
  X(62, MapMax, PLAIN, void, VESKOR_ARGS_MAP_BINARY)                                               \
  X(63, MapMinScalar, PLAIN, void, VESKOR_ARGS_MAP_SCALAR)                                         \
  X(64, MapMaxScalar, PLAIN, void, VESKOR_ARGS_MAP_SCALAR)

// Grid kernels
#define VESKOR_KERNELS_GRID(X) \
  /* a, b: the grid's log2 sizes. Vertex layout (2^a+1)(2^b+1), cell layout (2^a+2)(2^b+2), */     \
  /* net layout (2^a+3)(2^b+3), row by row. */                                                     \
  X(65, GridCopy, PLAIN, void, VESKOR_ARGS_GRID_SOURCE)                                            \
  X(66, GridAverage2x2, SSE, void, (std::uint8_t a, std::uint8_t b, const float* source,           \
                                    std::uint8_t ch, float* destination))                          \
  X(67, GridFromBordered, PLAIN, void, (std::uint8_t a, std::uint8_t b, const float* net,          \
                                        float* destination))                                       \
  X(68, GridSubdivide2x, SSE, void, VESKOR_ARGS_GRID_SOURCE)                                       \
  X(69, GridSummedArea, PLAIN, void, VESKOR_ARGS_GRID_SOURCE)                                      \
  X(70, GridBSplineEval, SSE, void, (std::uint8_t a, std::uint8_t b, std::uint8_t p,               \
                                     std::uint8_t q, const float* net, float* destination))        \
  X(71, GridHeightNormals, PLAIN, void, VESKOR_ARGS_GRID_NORMALS)                                  \
  X(72, GridDiagonalNormals, SSE, void, VESKOR_ARGS_GRID_NORMALS)                                  \
  X(73, FieldLightTerms, SSE, void, (std::uint8_t a, std::uint8_t b, const float* fa,              \
                                     const float* fb, const float* fc, float s0, float s1,         \
                                     float s2, float s3, float* destination1,                      \
                                     float* destination2))                                         \
  X(74, GridMul, SSE, void, VESKOR_ARGS_GRID_BINARY)                                               \
  X(75, GridMulScalar, SSE, void, VESKOR_ARGS_GRID_SCALAR)                                         \
  X(76, GridDiv, SSE, void, VESKOR_ARGS_GRID_BINARY)                                               \
  X(77, GridDivScalar, SSE, void, VESKOR_ARGS_GRID_SCALAR)                                         \
  X(78, GridAdd, SSE, void, VESKOR_ARGS_GRID_BINARY)                                               \
  X(79, GridAddScalar, SSE, void, VESKOR_ARGS_GRID_SCALAR)                                         \
  X(80, GridSub, SSE, void, VESKOR_ARGS_GRID_BINARY)                                               \
  X(81, GridSubScalar, SSE, void, VESKOR_ARGS_GRID_SCALAR)                                         \
  X(82, GridScalarMinus, SSE, void, (std::uint8_t a, std::uint8_t b, float s, const float* ga,     \
                                     float* destination))                                          \
  X(83, GridMulAdd, SSE, void, VESKOR_ARGS_GRID_TERNARY)                                           \
  X(84, GridScaleAdd, SSE, void, (std::uint8_t a, std::uint8_t b, const float* ga, float s,        \
                                  const float* gc, float* destination))                            \
  X(85, GridStep, PLAIN, void, (std::uint8_t a, std::uint8_t b, const float* ga, float edge,       \
                                float* destination))                                               \
  X(86, GridStepLinear, PLAIN, void, VESKOR_ARGS_GRID_RANGE)                                       \
  X(87, GridStepSmooth, PLAIN, void, VESKOR_ARGS_GRID_RANGE)                                       \
  X(88, FieldDot, PLAIN, void, (std::uint8_t a, std::uint8_t b, const float* x1, const float* y1,  \
                                const float* z1, const float* x2, const float* y2,                 \
                                const float* z2, float* destination))                              \
  X(89, FieldDotConst, PLAIN, void, (std::uint8_t a, std::uint8_t b, const float* x,               \
                                     const float* y, const float* z, float c0, float c1, float c2, \
                                     float* destination))                                          \
  X(90, FieldCross, PLAIN, void, (std::uint8_t a, std::uint8_t b, const float* x1,                 \
                                  const float* y1, const float* z1, const float* x2,               \
                                  const float* y2, const float* z2, float* dx, float* dy,          \
                                  float* dz))                                                      \
  X(91, FieldCrossConst, PLAIN, void, (std::uint8_t a, std::uint8_t b, const float* x,             \
                                       const float* y, const float* z, float c0, float c1,         \
                                       float c2, float* dx, float* dy, float* dz))                 \
  X(92, GridTransform, SSE, void, VESKOR_ARGS_GRID_TRANSFORM)                                      \
  X(93, FieldNormalize3, PLAIN, void, (std::uint8_t a, std::uint8_t b, const float* x,             \
                                       const float* y, const float* z, float* dx, float* dy,       \
                                       float* dz))                                                 \
  X(94, GridAbs, PLAIN, void, VESKOR_ARGS_GRID_UNARY)                                              \
  X(95, GridOneMinus, PLAIN, void, VESKOR_ARGS_GRID_UNARY)                                         \
  X(96, GridMin, PLAIN, void, VESKOR_ARGS_GRID_BINARY)                                             \
  X(97, GridMin3, PLAIN, void, VESKOR_ARGS_GRID_TERNARY)                                           \
  X(98, GridMax, PLAIN, void, VESKOR_ARGS_GRID_BINARY)                                             \
  X(99, GridMax3, PLAIN, void, VESKOR_ARGS_GRID_TERNARY)                                           \
  X(100, GridMinScalar, PLAIN, void, VESKOR_ARGS_GRID_SCALAR)                                      \
  X(101, GridMaxScalar, PLAIN, void, VESKOR_ARGS_GRID_SCALAR)                                      \
  X(102, GridCompare, SSE, void, VESKOR_ARGS_GRID_BINARY)                                          \
  X(103, GridCompare2, SSE, void, VESKOR_ARGS_GRID_BINARY)                                         \
  X(104, GridClampRange, PLAIN, void, (std::uint8_t a, std::uint8_t b, float* grid, float lo,      \
                                       float hi))                                                  \
  X(105, GridRepeat, PLAIN, void, VESKOR_ARGS_GRID_RANGE)                                          \
  X(106, GridClamp01, PLAIN, void, (std::uint8_t a, std::uint8_t b, float* grid))                  \
  X(107, GridFrac, PLAIN, void, VESKOR_ARGS_GRID_UNARY)                                            \
  X(108, reserved108, RESERVED, void, ())

// Sampling, layouts and seams
#define VESKOR_KERNELS_SAMPLING(X) \
  /* Tables T at coordinates (U, V) of a vertex-layout grid (a, b); see the layout kernels. */     \
  X(109, GridSampleBilinear, PLAIN, void, VESKOR_ARGS_SAMPLE_1)                                    \
  X(110, GridSampleBilinear2, PLAIN, void, VESKOR_ARGS_SAMPLE_2)                                   \
  X(111, GridSampleBilinear3, PLAIN, void, VESKOR_ARGS_SAMPLE_3)                                   \
  X(112, GridSampleBilinear4, PLAIN, void, VESKOR_ARGS_SAMPLE_1)                                   \
  X(113, GridSampleBilinear5, PLAIN, void, VESKOR_ARGS_SAMPLE_2)                                   \
  X(114, GridSampleBilinear6, PLAIN, void, VESKOR_ARGS_SAMPLE_3)                                   \
  /* W and H are counts of values, not log2 sizes. */                                              \
  X(115, GridSampleBilinear7, SSE, void, (std::uint32_t width, std::uint32_t height,               \
                                          const float* t1, std::uint8_t a, std::uint8_t b,         \
                                          const float* u, const float* v, float* d1))              \
  X(116, MapChannelToBordered, PLAIN, void, (std::uint8_t step, std::uint8_t a, std::uint8_t b,    \
                                             const float* source, float* cells))                   \
  X(117, GridCellCentres, SSE, void, (std::uint8_t a, std::uint8_t b, const float* source,         \
                                      float* cells))                                               \
  X(118, GridNetToCells, SSE, void, (std::uint8_t a, std::uint8_t b, const float* net,             \
                                     float* cells))                                                \
  X(119, GridThreshold, PLAIN, void, VESKOR_ARGS_THRESHOLD)                                        \
  X(120, GridThreshold2, PLAIN, void, VESKOR_ARGS_THRESHOLD)                                       \
  X(121, GridTransformVectors, SSE, void, VESKOR_ARGS_GRID_TRANSFORM)                              \
  X(122, GridToNet, PLAIN, void, (std::uint8_t a, std::uint8_t b, std::uint32_t wrapX,             \
                                  std::uint32_t wrapY, const float* source, float* net))           \
  /* Seams between net A (log2 sizes a, hA) and net B (b, hB), B lying before A. */                \
  X(123, NetStitchColumns, PLAIN, void, VESKOR_ARGS_SEAM)                                          \
  X(124, NetStitchRows, PLAIN, void, VESKOR_ARGS_SEAM)                                             \
  X(125, NetStitchCorner, PLAIN, void, VESKOR_ARGS_SEAM)                                           \
  X(126, NetStitchCorner2, PLAIN, void, VESKOR_ARGS_SEAM)                                          \
  /* The same seams between tile (tx, ty) of a net cut into 2^la x 2^lhA tiles and tile */         \
  /* (txB, tyB) of a net cut into 2^lb x 2^lhB tiles. */                                           \
  X(127, NetStitchColumnsAt, PLAIN, void, VESKOR_ARGS_SEAM_AT)                                     \
  X(128, NetStitchRowsAt, PLAIN, void, VESKOR_ARGS_SEAM_AT)                                        \
  X(129, NetStitchCornerAt, PLAIN, void, VESKOR_ARGS_SEAM_AT)                                      \
  X(130, NetStitchCornerAt2, PLAIN, void, VESKOR_ARGS_SEAM_AT)                                     \
  X(131, MapBSplineUpsampleAlt, PLAIN, void, VESKOR_ARGS_BSPLINE_UPSAMPLE)                         \
  X(132, MapBSplineUpsample, SSE, void, VESKOR_ARGS_BSPLINE_UPSAMPLE)                              \
  /* A volume of 2^c+1 planes of (2^b+1) rows of (2^a+1) values. */                                \
  X(133, VolumeSummedTable, PLAIN, void, (std::uint8_t a, std::uint8_t b, std::uint8_t c,          \
                                          const float* source, float* destination))

#define VESKOR_KERNEL_ENTRIES(X) \
  VESKOR_KERNELS_MATH(X)         \
  VESKOR_KERNELS_COLOUR(X)       \
  VESKOR_KERNELS_RASTER(X)       \
  VESKOR_KERNELS_GRID(X)         \
  VESKOR_KERNELS_SAMPLING(X)
// clang-format on

namespace veskor {

// What fills each entry, by index: for tests and checks.
enum class KernelMembers : std::uint8_t { kReserved, kPlain, kSse };

#define VESKOR_KERNEL_MEMBERS_RESERVED KernelMembers::kReserved
#define VESKOR_KERNEL_MEMBERS_PLAIN KernelMembers::kPlain
#define VESKOR_KERNEL_MEMBERS_SSE KernelMembers::kSse
#define VESKOR_KERNEL_MEMBERS(index, name, members, result, parameters) \
  VESKOR_KERNEL_MEMBERS_##members,
inline constexpr KernelMembers kKernelEntryMembers[] = {
    VESKOR_KERNEL_ENTRIES(VESKOR_KERNEL_MEMBERS)};
#undef VESKOR_KERNEL_MEMBERS
#undef VESKOR_KERNEL_MEMBERS_RESERVED
#undef VESKOR_KERNEL_MEMBERS_PLAIN
#undef VESKOR_KERNEL_MEMBERS_SSE

}  // namespace veskor
