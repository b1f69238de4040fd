// SweepPath: one closed cross-section ring of a generated object, its points kept in per-point
// arrays carved from one MemBlock, three of them in the packed 16-bit form of packed_value.h.
// The geometry code cuts, refines, measures and skins these rings; this file holds the record
// and its storage operations. A SweepPath is a plain record: tables of them are copied whole,
// so construction and release are explicit (SweepPathInit, SweepPathRelease).
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

namespace veskor {

// Bytes a point takes in the block: x, y, arc position and edge value (4 each), the four
// packed arrays (2 each), point flag and edge kind (1 each), carved in that order.
inline constexpr std::uint32_t kSweepPathPointBytes = 26;

struct SweepPath {
  MemBlock block;
  float* x;
  float* y;
  std::uint16_t* packedU;      // first packed value: the corner crease of the point
  float* arcPosition;          // distance along the ring from point 0, filled by measuring
  std::uint16_t* packedT;      // path parameter, 0 at point 0 rising toward 1
  std::uint16_t* packedTCopy;  // a second copy of the path parameter
  std::uint16_t* packedW;      // third packed value: the levels still allowed at the point
  float* edgeValue;            // value of the edge from point i to i + 1 (the last closes)
  std::uint8_t* pointFlag;     // per point, 0 when appended
  std::uint8_t* edgeKind;      // per edge; bit 0 set: the edge is left out of secondLength
  std::uint32_t capacity;      // points the arrays hold
  std::uint32_t count;         // points in use
  std::uint32_t firstWord;     // kept and copied, not interpreted here
  float totalLength;
  float secondLength;  // summed length of the edges whose kind has bit 0 clear
  std::uint32_t secondWord;
  float bounds[4];  // x minimum, x maximum, y minimum, y maximum
  float height;     // height of the cut
  float p;
  float q;
  std::uint32_t thirdWord;
  std::uint32_t fourthWord;
};

// Construction: every field 0 but the bounds and the third and fourth words.
void SweepPathInit(SweepPath& path);
// Returns the block to the memory manager (while it is active) and forgets the arrays, so the
// record can only be sized afresh.
void SweepPathRelease(SweepPath& path);
// As SweepPathInit, forgetting the block without returning it (for records copied whole).
void SweepPathClear(SweepPath& path);

// Arrays for n points, contents not kept; count, first word, both lengths, height, P and Q
// become 0. Arrays already of capacity n are kept; a block that holds n points in its
// committed pages is reused; otherwise the block is returned and a new one reserved.
void SweepPathResize(SweepPath& path, std::uint32_t n);
// Sizes for the source's count and copies every point and every field.
void SweepPathAssign(SweepPath& path, const SweepPath& source);
// Sizes for the source's count and copies it running the other way round from the same point
// 0: arc positions and path parameters are measured again from point 0 in the new direction,
// and every edge keeps its own value and kind. An empty source gives an empty path.
void SweepPathReverseCopy(SweepPath& path, const SweepPath& source);

// Appends one point (u, t and w packed, t into both parameter arrays, point flag 0). A full
// path (count equal to capacity) refuses the point and returns 0; else returns 1.
std::uint32_t SweepPathAppend(SweepPath& path, float x, float y, float u, float t, float w,
                              float edgeValue, std::uint8_t edgeKind);

inline std::uint32_t SweepPathCount(const SweepPath& path) { return path.count; }
inline float* SweepPathX(SweepPath& path, std::uint32_t i) { return path.x + i; }
inline float* SweepPathY(SweepPath& path, std::uint32_t i) { return path.y + i; }
inline float* SweepPathValue(SweepPath& path, std::uint32_t i) { return path.edgeValue + i; }
inline float* SweepPathTotalLength(SweepPath& path) { return &path.totalLength; }
inline std::uint32_t* SweepPathParamA(SweepPath& path) { return &path.secondWord; }
inline float* SweepPathParamB(SweepPath& path) { return &path.height; }
inline std::uint32_t* SweepPathParamC(SweepPath& path) { return &path.fourthWord; }
inline float* SweepPathParamD(SweepPath& path) { return &path.p; }
inline float* SweepPathParamE(SweepPath& path) { return &path.q; }

}  // namespace veskor
