// The textured passes of an object drawn in the textured mode: for each entry of the pass list
// that the render preparation built for the item's skins, a set-up of texture units 0 to 3
// (texture environments or register combiners, blending, coordinate generation, texture
// matrices) for one lighting term, then the range is drawn, then the matching restore. Pass
// codes: 0 light map x sun colour + sky colour; 1 the diffuse skin multiplied in (with the fog
// texture's alpha); 2 both in one pass through the register combiners, with cloud shadow and
// fog; 3 the emissive skin added; 4 emissive plus the environment reflection weighted by the
// specular skin; 5 and 6 the reflection alone. Mirrored views (the water portals) have their
// own set-ups, which leave out the fog unit of code 2 and some units of codes 3 and 5.
//
// A restore switches off only what its set-up switched on and pops only the texture matrices
// it pushed; texture environments, blend functions, the primary colour and the active client
// unit stay as they are, so every set-up programs all that it uses.
#pragma once

#include <cstdint>

#include "geometry/skin_slot.h"
#include "gfx/camera.h"
#include "gfx/geometry_batch_buffer.h"

namespace veskor {

// Entry bits: the pass code in bits 0-2 (7 sets up nothing), 8 apply the fog texture, 0x10
// apply the low-cloud shadow.
inline constexpr std::uint32_t kPassCodeMask = 7;
inline constexpr std::uint32_t kPassFog = 0x8;
inline constexpr std::uint32_t kPassCloudShadow = 0x10;
inline constexpr std::uint32_t kObjectPassCapacity = kSkinPassMax;  // 8
// The scene-draw flag of time-frozen views (the environment capture among them).
inline constexpr std::uint32_t kDrawTimeFrozen = 0x10;
// SetupTexGenRotation leaves out the camera's roll on these board classes.
inline constexpr std::uint32_t kBoardClassNoRollA = 0x12;
inline constexpr std::uint32_t kBoardClassNoRollB = 0x22;

// The passes of the render record being drawn; each entry's matrix is the item's world-to-
// object matrix (or null), handed to the fog coordinate generation.
extern SkinPass ObjectPassList[kObjectPassCapacity];
extern std::uint32_t ObjectPassCount;

// The camera of the render session, read by the passes for the fog planes and the reflection.
inline Camera* SessionCamera = nullptr;

// Fills ObjectPassList from the slot's pass list. With kDrawTimeFrozen in `drawFlags` an entry
// whose whole code is 4 becomes code 3 (matrix kept) and entries whose code is 5 or 6 are
// dropped. A slot count above the capacity is taken as the capacity.
void ObjectPassListFill(const SkinSlot& slot, std::uint32_t drawFlags);
// After a record is drawn.
inline void ObjectPassListClear() { ObjectPassCount = 0; }

// The set-up of pass p of ObjectPassList for one range of the object (its vertices bound in
// the batch buffer's current format), direct and for mirrored views.
void ObjectTexturePass(SkinSlot& slot, SkinTextureSet& textures, std::uint32_t p,
                       const BatchRange& range);
void ObjectTexturePassMirrored(SkinSlot& slot, SkinTextureSet& textures, std::uint32_t p,
                               const BatchRange& range);
// Undo the set-up of pass p; the last unit touched stays active.
void RestoreObjectState(std::uint32_t p);
void RestoreObjectStateMirrored(std::uint32_t p);
void RestoreObjectPass(std::uint32_t p, std::uint32_t mirrored);

// Reflection-map generation of S, T and R on the active unit, with the texture matrix pushed
// and set to turn the reflection towards the camera's side of the point (x, y, z); the pass's
// restore pops it. A camera straight above or below the point takes azimuth 0.
void SetupTexGenRotation(const Camera& camera, float x, float y, float z);

}  // namespace veskor
