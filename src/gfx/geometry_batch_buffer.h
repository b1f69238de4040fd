// The geometry batch buffer: one interleaved float vertex block and one block of 16-bit
// triangle indices holding all the geometry the scene draws from vertex arrays (every item of
// the world and the cloud puff meshes), with the water boxes the clip passes test against and
// the seam weld table. Producers append during a render session's scene build; the render
// preparation moves the content once into its final memory, and from then on the CPU passes
// rewrite vertices in place and the draw code reads ranges of it.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/vm_array.h"
#include "gfx/mesh_builder.h"
#include "gfx/weld_table.h"

namespace veskor {

// Vertex formats 1 to 8. The position is always the first three floats; formats 1 to 3 have
// the normal at float 3. Texture coordinates are a prefix of the mesh's (s, t, r, q):
//   1 P N (6 floats)      2 P N s t (8)      3 P N s t r q (10)     4 P s t (5)
//   5 P s t r (6)         6 P s t r q (7)    7 P s t s t r (8)      8 P + 12 floats (15)
inline constexpr std::uint32_t kVertexFormatCount = 8;
// Floats of a vertex of format `code`, 0 for a code outside 1..8.
std::uint32_t VertexFormatFloats(std::uint32_t code);

// Where the vertex block lives after finalisation.
enum : std::uint32_t {
  kBatchMemoryOrdinary = 1,  // one MemBlock: the vertices, then the indices
  kBatchMemoryVarLow = 2,    // vertex-array-range memory of priority 0.5
  kBatchMemoryVarHigh = 3,   // vertex-array-range memory of priority 1.0
};

inline constexpr std::uint32_t kBatchStagingVertexBytes = 33554432;
// The final vertex block is followed by this many more bytes of its own memory, zeroed (in
// ordinary memory after the index block): a range read as three floats from byte 20 of each
// 24-byte vertex (format 5 for the puff passes) reaches 8 bytes past its last vertex.
inline constexpr std::uint32_t kBatchVertexTailBytes = 8;
inline constexpr std::uint32_t kBatchStagingIndexBytes = 8388608;
inline constexpr std::int32_t kWaterBoxCapacity = 32;
inline constexpr std::uint32_t kNoWaterBox = 0xFFFFFFFF;
// Indices are 16-bit and count from an item's first vertex.
inline constexpr std::uint32_t kItemVertexLimit = 65536;

// A water plane's rectangle (x0, y0)-(x1, y1) in the horizontal plane and its height. Box k is
// the rectangle of water mirror k.
struct WaterBox {
  float x0, y0, x1, y1, level;
};

// One piece of batched geometry. Index values count from the first vertex of the item the
// range belongs to (the first float of its main range 0).
struct BatchRange {
  std::uint32_t firstFloat;  // from the start of the vertex block
  std::uint32_t floatCount;
  std::uint32_t firstIndex;  // from the start of the index block
  std::uint32_t indexCount;  // 3 x triangles
  std::uint32_t waterBox;    // the water box the range crosses, or kNoWaterBox
  std::uint32_t above;       // triangles above the water, first in the range after clipping
  std::uint32_t below;       // then those below
  std::uint32_t straddling;  // then those crossing it that were not cut
};

// Per item: its ranges and vertex format. Owned by the scene build's item table, which may
// keep further fields after these.
struct ItemDrawRecord {
  BatchRange mainRanges[4];  // 0 the body; 1 to 3 further ranges the scene build may add
  std::uint32_t rangeCount;
  BatchRange capA;
  BatchRange capB;
  std::uint32_t format;
  // The room reserved behind the item at batching for the water clip pass to cut into; the
  // pass uses it up and never cuts beyond it.
  std::uint32_t clipRoomVertices;
  std::uint32_t clipRoomTriangles;
};

struct GeometryBatchBuffer {
  MemBlock finalBlock;  // after finalisation: the indices (kinds 2, 3) or vertices + indices
  std::uint32_t format;
  std::uint32_t floatsPerVertex;
  std::uint32_t stride;
  std::uint32_t memoryKind;  // 0 before the first session
  std::uint32_t finalised;
  float* vertices;
  std::uint32_t vertexCount;
  std::uint32_t floatCount;
  std::uint32_t vertexBytes;  // the staging capacity, then the final size
  std::uint16_t* indices;
  std::uint32_t triangleCount;
  std::uint32_t indexCount;
  std::uint32_t indexBytes;  // the staging capacity, then the final size
  // The main plane's extension word (bit numbering of ExtensionMask): bit 9 set means the
  // vertex array range is in use. Null before the first session.
  const std::uint32_t* extensionWord;
  WeldTable weldTable;
  WaterBox waterBoxes[kWaterBoxCapacity];
  std::int32_t waterBoxCount;
  std::int32_t currentWaterBox;  // the box whose mirrored view is being drawn, or -1
  VmArray clipClasses;           // the clip pass's triangle classes, sized per range
};

// The program's buffer, and mirrors of its vertex and index block for the draw code.
extern GeometryBatchBuffer gGeometryBatchBuffer;
extern float* BatchVertexBase;
extern std::uint16_t* BatchIndexBase;
// The item record a surface pass is working on.
extern const ItemDrawRecord* CurrentDrawRecord;

// Construction: no blocks, format 4, counts 0, memory kind 0, no water boxes.
void GeometryBatchBufferInit(GeometryBatchBuffer& buffer);
// At exit: gives back the vertex-array-range memory, the staging blocks, the weld table's
// blocks and the final block.
void GeometryBatchBufferRelease(GeometryBatchBuffer& buffer);
// Empties the buffer (first step of a session start); see the .cpp for what goes where.
void GeometryBatchBufferClear(GeometryBatchBuffer& buffer);

// A render session's start: clears the buffer, keeps the extension word, sizes the weld table
// once, takes the staging blocks (failure: "Error : can not allocate geometry buffer", exit
// code 1) and resets the counters.
void GeometryBatchBufferStartSession(GeometryBatchBuffer& buffer,
                                     const std::uint32_t* extensionWord);
// The render statistics reset's share: counters and water boxes 0, current box -1, weld
// table emptied.
void GeometryBatchReset(GeometryBatchBuffer& buffer);
// The start of the render preparation: moves the content into its final memory, trying
// vertex-array-range memory of priority 1.0, then 0.5, then ordinary memory. A second call
// without a session start between, or a failed allocation, is fatal ("Error : can not
// allocate geometry buffer").
void GeometryBatchBufferFinalize(GeometryBatchBuffer& buffer);

// 1 when bit 9 of the extension word says the vertex array range is in use.
bool BatchVarInUse(const GeometryBatchBuffer& buffer);

// Makes `code` the current format and disables the vertex, normal and texture-coordinate
// client arrays; a code outside 1..8 leaves floats per vertex and stride as they were.
void SetVertexFormat(GeometryBatchBuffer& buffer, std::uint32_t code);

// Appends the mesh's vertices [first, last) in the current format (format 8 and codes outside
// 1..8 append nothing). Passing the vertex block's capacity is fatal.
void BatchAppendVertices(GeometryBatchBuffer& buffer, const MeshBuilder& mesh, std::uint32_t first,
                         std::uint32_t last);
// Appends the mesh's triangles [first, last), each vertex number cut to its low 16 bits,
// without any offset. Passing the index block's capacity is fatal.
void BatchAppendTriangles(GeometryBatchBuffer& buffer, const MeshBuilder& mesh, std::uint32_t first,
                          std::uint32_t last);
// Whether `vertices` more vertices of the current format and `triangles` more triangles fit.
bool BatchHasRoom(const GeometryBatchBuffer& buffer, std::uint64_t vertices,
                  std::uint64_t triangles);
// Counts `vertices` more vertices of the current format and `triangles` triangles without writing
// them: room for the clip pass. Passing a capacity is fatal.
void BatchReserveRoom(GeometryBatchBuffer& buffer, std::uint32_t vertices, std::uint32_t triangles);

// Adds a water box at the end of the list and returns 1; a 33rd is refused, the list left as
// it is, and gives 0: the producer reports it.
std::uint32_t BatchAddWaterBox(GeometryBatchBuffer& buffer, float x0, float y0, float x1, float y1,
                               float level);
// The first water box whose rectangle and level lie strictly inside the box: 1 and its index;
// else 0, the index left at the box count - 1.
std::uint32_t BatchFindBox(const GeometryBatchBuffer& buffer, float minX, float minY, float minZ,
                           float maxX, float maxY, float maxZ, std::int32_t* index);

}  // namespace veskor
