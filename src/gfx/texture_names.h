// Texture names: the table of GL names made at GL set-up, the pool of slots (indices into the
// table) that texture objects take and give back, and the context stamp that rises when the
// names are renewed after a world compile, so that every texture uploads again.
#pragma once

#include <cstdint>

#include "foundation/vm_array.h"

namespace veskor {

inline constexpr std::uint32_t kTextureNameCount = 10000;
inline constexpr std::uint32_t kTextureNamePoolBytes = 8192;  // 2048 freed slots at most

extern std::uint32_t TextureNameTable[kTextureNameCount];
extern std::uint32_t TextureNameTableCount;  // names made, to delete at the renewal
extern std::uint32_t ContextStamp;

// The stack of freed slots, and the next slot never handed out since the last renewal.
struct TextureNamePoolState {
  VmArray freed;  // of std::uint32_t slot indices
  std::uint32_t initialised;
};
extern TextureNamePoolState TextureNamePool;
extern std::uint32_t NextFreshName;

// At GL set-up: makes the 10000 names with glGenTextures.
void InitTextureNames();

// After a successful world compile: raises ContextStamp, empties the pool, starts the fresh
// slots at 0 again, deletes the names and makes 10000 new ones, and clears the texture-memory
// counters. Slots taken before are stale from then on.
void RenewTextureNames();

// A slot for a texture: the last freed one, else the next fresh one. More slots in use than
// the table has names is fatal.
std::uint32_t TakeTextureSlot();

// Gives a slot back, only when it was taken under the current ContextStamp (`slotStamp`) and
// the memory manager is still active: a stale slot is dropped, since the pool was emptied.
// The slot's GL texture is deleted and the slot gets a new, unbound name.
void GiveBackTextureSlot(std::uint32_t slot, std::uint32_t slotStamp);

}  // namespace veskor
