#include "app/animation_tracks.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/fatal_error.h"
#include "foundation/frame_clock.h"

namespace veskor {

BlockPool AnimationPool;

namespace {

std::uint32_t gUpdatePass = 0;
std::uint32_t gStartSerial = 0;
std::uint32_t gPoolReleased = 0;

// The block the record counts above fit in, with our record sizes.
constexpr std::uint32_t kKeyArrayBytes = kAnimationKeyCapacity * sizeof(AnimationKey);
constexpr std::uint32_t kPoolBytes = kAnimationTrackCapacity * sizeof(AnimationTrack);

[[noreturn]] void ReservedMemoryExceeded(std::uint32_t count, std::uint32_t recordBytes,
                                         std::uint32_t sizeClass) {
  char text[128];
  std::snprintf(text, sizeof text,
                "Virtual Memory Error : Required Memory > Reserved Memory (%u+%u>(1<<%u))",
                count * recordBytes, recordBytes, sizeClass);
  FatalError(text);
}

AnimationTrack* Track(BlockPoolNode* node) { return reinterpret_cast<AnimationTrack*>(node); }

AnimationKey* Keys(const AnimationTrack& track) {
  return VmArrayData<AnimationKey>(track.keys);
}

void ReleaseAnimationPool() {
  if (gPoolReleased != 0) return;
  gPoolReleased = 1;
  // Every record ever carved holds its own key block.
  const std::uint32_t carved = AnimationPool.block.usedBytes / sizeof(AnimationTrack);
  auto* records = reinterpret_cast<AnimationTrack*>(AnimationPool.block.base);
  for (std::uint32_t i = 0; i < carved; ++i) VmArrayRelease(records[i].keys);
  BlockPoolRelease(AnimationPool);
}

// Set up before the entry point; released once at normal exit.
struct AnimationPoolSetup {
  AnimationPoolSetup() {
    BlockPoolInitFor<AnimationTrack>(AnimationPool);
    std::atexit(ReleaseAnimationPool);
  }
} gAnimationPoolSetup;

void AppendKey(AnimationTrack& track, float value, float duration, AnimationCallback callback) {
  if (track.keys.count >= kAnimationKeyCapacity)
    ReservedMemoryExceeded(track.keys.count, kAnimationKeyRecordBytes, kAnimationKeyBlockClass);
  auto* key = static_cast<AnimationKey*>(VmArrayAppend(track.keys, 1, sizeof(AnimationKey)));
  *key = AnimationKey{value, duration, callback};
}

// Ends a running track: the handle that names it goes inactive, and its record returns to the
// free list. `snap` writes the current key's value to the target first.
void EndTrack(AnimationTrack& track, bool snap) {
  if (snap && track.target != nullptr) *track.target = Keys(track)[track.keyIndex].value;
  if (track.handle != nullptr && track.handle->track == &track) track.handle->active = 0;
  track.target = nullptr;
  track.keyIndex = 0;
  track.time = 0.0f;
  VmArrayClear(track.keys);
  track.running = 0;
  BlockPoolGiveBack(AnimationPool, &track.links);
}

// The handle's track, when the record still runs the track the handle started; a stale handle
// is emptied instead.
AnimationTrack* OwnedTrack(AnimationHandle& handle) {
  AnimationTrack* track = handle.track;
  if (track->running != 0 && track->handle == &handle) return track;
  handle.track = nullptr;
  handle.active = 0;
  return nullptr;
}

float CubicAt(const AnimationKey* keys, std::uint32_t count, std::uint32_t k, float t) {
  const float a = keys[k >= 2 ? k - 2 : 0].value;
  const float b = keys[k - 1].value;
  const float c = keys[k].value;
  const float d = keys[k + 1 < count ? k + 1 : count - 1].value;
  const float half = 1.0f - 0.5f * t;
  return a * (t * t - t) * half / 3.0f + b * (1.0f - t * t) * half + c * (t * t + t) * half +
         d * (t * t * t - t) / 6.0f;
}

void WriteValue(AnimationTrack& track) {
  const std::uint32_t k = track.keyIndex;
  const AnimationKey* keys = Keys(track);
  // A key of duration 0 is reached at once.
  const float duration = keys[k].duration;
  const float t = duration > 0.0f ? track.time / duration : 1.0f;
  *track.target = track.mode == 0 ? (1.0f - t) * keys[k - 1].value + t * keys[k].value
                                  : CubicAt(keys, track.keys.count, k, t);
}

// Runs a key's callback; false when the track no longer runs as the one it was (the callback
// stopped or removed it, and may have started another in its record).
bool RunCallback(AnimationTrack& track, AnimationCallback callback) {
  const std::uint32_t serial = track.serial;
  callback();
  return track.running != 0 && track.serial == serial;
}

// One track's step; returns 1 when a callback ran, since a callback may change the list.
bool Advance(AnimationTrack& track, float seconds) {
  bool calledBack = false;
  track.time += seconds;
  AnimationKey key = Keys(track)[track.keyIndex];
  if (track.keyIndex + 1 < track.keys.count && track.time > key.duration) {
    track.time = 0.0f;
    if (key.callback != nullptr) {
      calledBack = true;
      if (!RunCallback(track, key.callback)) return true;
    }
    ++track.keyIndex;
  }
  if (track.keyIndex > 0 && track.target != nullptr) WriteValue(track);
  key = Keys(track)[track.keyIndex];
  if (track.keyIndex + 1 == track.keys.count && track.time > key.duration) {
    if (key.callback != nullptr) {
      calledBack = true;
      if (!RunCallback(track, key.callback)) return true;
    }
    EndTrack(track, true);
  }
  return calledBack;
}

}  // namespace

void ReserveAnimationPool() {
  if (AnimationPool.block.base == nullptr) MemBlockReserve(AnimationPool.block, kPoolBytes);
}

void AnimationStart(float* target, float value, float duration, AnimationHandle* handle,
                    std::int32_t mode) {
  ReserveAnimationPool();
  if (AnimationPool.freeList == nullptr &&
      AnimationPool.block.usedBytes / sizeof(AnimationTrack) >= kAnimationTrackCapacity)
    ReservedMemoryExceeded(kAnimationTrackCapacity, kAnimationTrackRecordBytes,
                           kAnimationTrackBlockClass);
  const bool fresh = AnimationPool.freeList == nullptr;
  AnimationTrack& track = *Track(BlockPoolTake(AnimationPool));
  if (fresh) track.keysReserved = 0;
  if (track.keysReserved == 0) {
    VmArrayInit(track.keys);
    VmArrayReserve(track.keys, kKeyArrayBytes);
    track.keysReserved = 1;
  }
  VmArrayClear(track.keys);
  track.target = target;
  track.mode = mode;
  track.handle = handle;
  track.keyIndex = 0;
  track.time = 0.0f;
  track.running = 1;
  track.serial = ++gStartSerial;
  track.updatePass = 0;
  AppendKey(track, value, duration, nullptr);
  if (handle != nullptr) {
    handle->track = &track;
    handle->active = 1;
  }
}

void AnimationAddKey(float value, float duration, AnimationCallback callback) {
  if (AnimationPool.last != nullptr) AppendKey(*Track(AnimationPool.last), value, duration, callback);
}

void AnimationRestartLast() {
  if (AnimationPool.last == nullptr) return;
  AnimationTrack& track = *Track(AnimationPool.last);
  track.keyIndex = 0;
  track.time = 0.0f;
  if (track.handle != nullptr) track.handle->active = 1;
}

void AnimationStop(AnimationHandle* handle) {
  if (handle == nullptr || handle->track == nullptr || handle->active == 0) return;
  if (AnimationTrack* track = OwnedTrack(*handle)) EndTrack(*track, false);
  handle->track = nullptr;
}

void AnimationRemove(AnimationHandle* handle) {
  if (handle == nullptr || handle->track == nullptr) return;
  if (AnimationTrack* track = OwnedTrack(*handle)) EndTrack(*track, true);
  handle->track = nullptr;
}

void AnimationUpdateBy(float seconds) {
  if (++gUpdatePass == 0) ++gUpdatePass;
  const std::uint32_t pass = gUpdatePass;
  BlockPoolNode* node = AnimationPool.first;
  while (node != nullptr) {
    AnimationTrack& track = *Track(node);
    BlockPoolNode* next = node->next;  // taken before the track may end
    if (track.updatePass == pass) {
      node = next;
      continue;
    }
    track.updatePass = pass;
    // After a callback the list may have changed anywhere: walk again from the first track,
    // passing over those advanced already.
    node = Advance(track, seconds) ? AnimationPool.first : next;
  }
}

void AnimationUpdateAll() { AnimationUpdateBy(SmoothedFrameTime()); }

}  // namespace veskor
