// Texture-memory counters: the texels and bytes of the textures uploaded since the last
// renewal of the texture names, as the information screen reports them. Also the sizes of
// the vertex memory blocks.
#pragma once

#include <cstdint>

namespace veskor {

struct TextureMemoryCounters {
  std::uint32_t texels;
  std::uint32_t bytes;
  std::uint32_t varBytes;     // the vertex-array-range block
  std::uint32_t vertexBytes;  // vertex memory
};
extern TextureMemoryCounters TextureMemory;

// Adds a 2-D texture of the given upload mode, format code and log2 sizes (with its mip chain
// when `mip` is non-zero) and returns the bytes added. Mode 1 takes only RGB and RGBA layouts,
// modes 2 and 3 only RGB; any other layout is fatal, as in the upload.
std::uint32_t TextureMemoryAdd2D(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                                 std::uint32_t log2Height, std::uint32_t mip);
// The same for the six faces of a cube.
std::uint32_t TextureMemoryAddCube(std::uint32_t mode, std::uint32_t format,
                                   std::uint32_t log2Width, std::uint32_t log2Height,
                                   std::uint32_t mip);
// Subtract what the add operations would add.
void TextureMemoryRemove2D(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                           std::uint32_t log2Height, std::uint32_t mip);
void TextureMemoryRemoveCube(std::uint32_t mode, std::uint32_t format, std::uint32_t log2Width,
                             std::uint32_t log2Height, std::uint32_t mip);
void TextureMemorySub(std::uint32_t texels, std::uint32_t bytes);
void TextureMemoryReset();

void SetVarMemorySize(std::uint32_t bytes);
void SetVertexMemory(std::uint32_t a, std::uint32_t b);  // a x b x 12 bytes

}  // namespace veskor
