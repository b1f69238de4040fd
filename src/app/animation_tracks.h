// Animation tracks: timed moves of single float values of the interface (a panel's alpha, its
// slide or grow margin). A track holds a list of keys, each a value reached at the end of its
// duration, with an optional callback run at that moment; the main loop advances every track
// once a frame by the smoothed frame time. The welcome sequence and the help page run on them.
//
// The records live in one pool, set up before the entry point and released by an exit
// handler; the root plane's start gives it its block (ReserveAnimationPool).
#pragma once

#include <cstdint>

#include "foundation/block_pool.h"
#include "foundation/vm_array.h"

namespace veskor {

using AnimationCallback = void (*)();

struct AnimationKey {
  float value;
  float duration;  // seconds from the previous key's value; the first key's is a delay
  AnimationCallback callback;
};

struct AnimationHandle;

struct AnimationTrack {
  BlockPoolNode links;  // the running list; the free list while unused
  std::int32_t mode;    // 0 linear, any other value cubic
  float* target;        // null once the track ended
  VmArray keys;         // of AnimationKey, reserved once at the record's first use
  std::uint32_t keysReserved;
  std::uint32_t keyIndex;  // the key the track moves towards
  float time;              // seconds since that key began
  AnimationHandle* handle;
  // Ours: 1 while the record runs a track, and a number raised at every start, so that the
  // update and the handles can tell a record that a callback stopped (and maybe reused).
  std::uint32_t running;
  std::uint32_t serial;
  std::uint32_t updatePass;  // the last update that advanced it
};

// Owned by the caller: the track (null when none) and whether it still runs.
struct AnimationHandle {
  AnimationTrack* track = nullptr;
  std::int32_t active = 0;
};

// The capacities, counted in records as the original 12-byte keys and 60-byte tracks gave them
// in their blocks of 4096 and 16384 bytes. Going past either is the memory manager's fatal
// "Required Memory > Reserved Memory" message, with the figures of those blocks.
inline constexpr std::uint32_t kAnimationKeyCapacity = 341;
inline constexpr std::uint32_t kAnimationKeyRecordBytes = 12;
inline constexpr std::uint32_t kAnimationKeyBlockClass = 12;
inline constexpr std::uint32_t kAnimationTrackCapacity = 273;
inline constexpr std::uint32_t kAnimationTrackRecordBytes = 60;
inline constexpr std::uint32_t kAnimationTrackBlockClass = 14;

// The pool of track records: `first`..`last` are the running tracks, the most recent last.
extern BlockPool AnimationPool;

// Gives the pool its block (done at the root plane's start; a first start does it otherwise).
void ReserveAnimationPool();

// Starts a track on `target` with its first key (value, hold time); with a handle, the handle
// names the track and is active. Then AnimationAddKey any number of times, then
// AnimationRestartLast.
void AnimationStart(float* target, float value, float duration, AnimationHandle* handle,
                    std::int32_t mode);
// Appends a key to the most recently started track.
void AnimationAddKey(float value, float duration, AnimationCallback callback);
// Rewinds the most recently started track and marks its handle active.
void AnimationRestartLast();
// Ends the handle's track where its target stands; nothing for a null, empty or inactive
// handle, or one whose track ended by itself (its record may run another owner's track now).
void AnimationStop(AnimationHandle* handle);
// The same, writing the current key's value to the target first; the active flag is not
// needed.
void AnimationRemove(AnimationHandle* handle);
// Advances every running track by the smoothed frame time, first to last; a track started by a
// callback moves in the same frame. A later key of duration 0 is reached at once, and a
// callback that stops or removes tracks (its own among them) leaves the walk on running ones.
void AnimationUpdateAll();

// The same walk by a given time step (the frame clock's for AnimationUpdateAll).
void AnimationUpdateBy(float seconds);

}  // namespace veskor
