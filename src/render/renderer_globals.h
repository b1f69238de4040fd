// The renderer's own global objects and the function-local statics of the render preparation.
// The order in which every global of the renderer's block is built before the entry point
// (these and the ones other folders own) is the one list of foundation/static_order.h.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "gfx/camera.h"
#include "gfx/ortho_pass.h"
#include "gfx/texture_object.h"
#include "mapengine/vertex_grid.h"

namespace veskor {

// The mesh builder's vertex weld hash: two tables of 65537 entries of six words (ping-pong),
// a generation stamp and a seed. The mesh builder does not weld yet, so nothing reads them; the
// tables are zero-filled static storage, touched only when used.
inline constexpr std::uint32_t kVertexHashEntries = 65537;
struct VertexHashEntry {
  std::uint32_t words[6];
};
struct VertexHash {
  VertexHashEntry tables[2][kVertexHashEntries];
  std::uint32_t generation;
  std::uint32_t seed;
};
extern VertexHash gVertexHash;
extern std::uint32_t MeshBuilderSwitch;  // 1 from construction

// The height-contour image of object mode 3. Built before the entry point; released once at
// normal exit, and ContourTextureRelease does nothing more when called again.
Texture2D& ContourTexture();
void ContourTextureRelease();

// Built by RenderPreparePrepareStatics on the first render preparation, in this order, each
// followed by the registration of its release, so a normal exit releases them (in reverse)
// before every object of the construction list.
struct PixelRecord {
  MemBlock block;
  float* data;
  std::uint16_t log2Width;
  std::uint16_t log2Height;
};
struct RenderPrepareStatics {
  OrthoPass* shadowCamera;
  Camera* environmentCamera;
  OrthoPass* waterCamera;
  VertexGrid* shadeGridA;
  VertexGrid* shadeGridB;
  PixelRecord* lightScratchTexture;
};

// Builds what is not yet built (one bit of RenderPrepareGuard each) and returns the objects.
RenderPrepareStatics RenderPrepareBuildStatics();
// The guard byte: bit k set once object k (in the order above) is built.
std::uint8_t RenderPrepareGuard();

}  // namespace veskor
