#include "gfx/texture_names.h"

#include "foundation/fatal_error.h"
#include "foundation/heap_areas.h"
#include "gfx/texture_memory.h"
#include "platform/gl.h"

namespace veskor {

std::uint32_t TextureNameTable[kTextureNameCount];
std::uint32_t TextureNameTableCount = 0;
std::uint32_t ContextStamp = 0;
TextureNamePoolState TextureNamePool{};
std::uint32_t NextFreshName = 0;

void InitTextureNames() {
  glGenTextures(kTextureNameCount, TextureNameTable);
  TextureNameTableCount = kTextureNameCount;
}

void RenewTextureNames() {
  ++ContextStamp;
  VmArrayClear(TextureNamePool.freed);
  NextFreshName = 0;
  glDeleteTextures(static_cast<GLsizei>(TextureNameTableCount), TextureNameTable);
  glGenTextures(kTextureNameCount, TextureNameTable);
  TextureNameTableCount = kTextureNameCount;
  TextureMemoryReset();
}

std::uint32_t TakeTextureSlot() {
  VmArray& freed = TextureNamePool.freed;
  if (TextureNamePool.initialised == 0) {
    VmArrayReserve(freed, kTextureNamePoolBytes);
    TextureNamePool.initialised = 1;
  }
  if (freed.count > 0) {
    const std::uint32_t slot = VmArrayData<std::uint32_t>(freed)[freed.count - 1];
    VmArrayPop(freed, 1, sizeof slot);
    return slot;
  }
  if (NextFreshName >= kTextureNameCount) FatalError("Texture Name Table Overflow !");
  return NextFreshName++;
}

void GiveBackTextureSlot(std::uint32_t slot, std::uint32_t slotStamp) {
  if (!HeapActive() || TextureNamePool.initialised == 0 || slotStamp != ContextStamp) return;
  VmArrayPush(TextureNamePool.freed, slot);
  // The slot's name goes back to GL with its image, and the slot gets an unused name: a GL
  // name keeps the target it was first bound to, and the next holder may be a cube.
  if (slot < TextureNameTableCount) {
    glDeleteTextures(1, &TextureNameTable[slot]);
    glGenTextures(1, &TextureNameTable[slot]);
  }
}

}  // namespace veskor
