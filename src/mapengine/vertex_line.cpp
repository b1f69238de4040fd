#include "mapengine/vertex_line.h"

#include "foundation/fatal_error.h"
#include "foundation/heap_areas.h"

namespace veskor {

void VertexLineInit(VertexLine& line) {
  MemBlockInit(line.block);
  line.data = nullptr;
  line.log2Size = 0;
  line.scaleX = line.scaleValue = 1.0f;
  line.offsetX = line.offsetValue = 0.0f;
}

void VertexLineAlloc(VertexLine& line, std::uint16_t n) {
  if (line.data != nullptr) {
    if (line.log2Size == n) return;
    MemBlockRelease(line.block);
  }
  if (n > 28) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  const std::uint32_t valueBytes = 4u * ((1u << n) + 1u);
  MemBlockReserve(line.block, 2 * valueBytes);
  line.data = static_cast<float*>(MemBlockAppendFit(line.block, valueBytes));
  line.sums = nullptr;
  line.log2Size = n;
  line.halfStep = 0.5f / static_cast<float>(1u << n);
  line.scaleX = line.scaleValue = 1.0f;
  line.offsetX = line.offsetValue = 0.0f;
}

void VertexLineRelease(VertexLine& line) {
  if (HeapActive()) MemBlockRelease(line.block);
  line.data = nullptr;
  line.sums = nullptr;
}

}  // namespace veskor
