// The animation tracks against values worked out by hand, with a step of 0.25 s (exact in
// binary): holds, linear and cubic moves, zero durations, stop and remove, callbacks that
// change the list, stale handles, and the pool's and key array's limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/animation_tracks.h"
#include "foundation/frame_clock.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

constexpr float kStep = 0.25f;

struct Key {
  float value, duration;
  AnimationCallback callback = nullptr;
};

void Start(float* target, std::int32_t mode, const std::vector<Key>& keys,
           AnimationHandle* handle = nullptr) {
  AnimationStart(target, keys[0].value, keys[0].duration, handle, mode);
  for (std::size_t i = 1; i < keys.size(); ++i)
    AnimationAddKey(keys[i].value, keys[i].duration, keys[i].callback);
  AnimationRestartLast();
}

// The target after each of `frames` steps.
std::vector<float> Steps(float* target, int frames) {
  std::vector<float> values;
  for (int i = 0; i < frames; ++i) {
    AnimationUpdateBy(kStep);
    values.push_back(*target);
  }
  return values;
}

class AnimationTracksTest : public testing::Test {
 protected:
  // Every track runs to its end: the next test finds the list empty.
  void TearDown() override {
    for (int i = 0; i < 1000 && AnimationPool.count != 0; ++i) AnimationUpdateBy(1000.0f);
    EXPECT_EQ(AnimationPool.count, 0u);
  }
};

TEST_F(AnimationTracksTest, KeysHoldMoveAndEndAsWorkedOut) {
  const struct {
    const char* what;
    std::int32_t mode;
    std::vector<Key> keys;
    std::vector<float> want;  // after each step, from a target of 5; then on to the end
  } cases[] = {
      // Held through the first key's 1 s (the overshoot is dropped), 0 to 10 over 2 s, ended.
      {"linear", 0, {{0, 1}, {10, 2}},
       {5, 5, 5, 5, 0, 1.25f, 2.5f, 3.75f, 5, 6.25f, 7.5f, 8.75f, 10, 10}},
      {"cubic of equal keys", 1, {{3, 0.5f}, {3, 1}, {3, 1}}, {5, 5, 3, 3, 3, 3, 3, 3, 3, 3, 3}},
      // At t = 0 and 1 the keys themselves; between them the cubic through keys 0, 0, 1, 2
      // (1, 1, 4, 9) with the weights at t: at 0.5 -1/16 + 9/16 + 4 x 9/16 - 9 x 1/16.
      {"cubic", 1, {{1, 0}, {4, 1}, {9, 1}, {2, 1}}, {1, 1.5078125f, 2.1875f, 3.0234375f, 4, 4}},
      {"first key of duration 0", 0, {{7, 0}, {9, 1}}, {7, 7.5f, 8, 8.5f, 9, 9}},
      {"one key", 0, {{4, 0.5f}}, {5, 5, 4}},
      // A later key of duration 0 is reached at once.
      {"later key of duration 0", 0, {{0, 0}, {6, 0}, {10, 1}}, {6, 6, 7, 8, 9, 10, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    float target = 5;
    Start(&target, c.mode, c.keys);
    const std::vector<float> got = Steps(&target, static_cast<int>(c.want.size()));
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.want[i], 1e-5f) << i;
    for (int i = 0; i < 100 && AnimationPool.count != 0; ++i) AnimationUpdateBy(kStep);
    EXPECT_EQ(target, c.keys.back().value);  // exactly
  }
}

TEST_F(AnimationTracksTest, StopKeepsTheValueRemoveSnapsToTheCurrentKey) {
  for (const bool remove : {false, true}) {
    float target = 5;
    AnimationHandle handle;
    Start(&target, 0, {{0, 0}, {8, 1}, {20, 1}}, &handle);
    EXPECT_EQ(handle.active, 1);
    Steps(&target, 3);  // 0, 2, 4
    remove ? AnimationRemove(&handle) : AnimationStop(&handle);
    EXPECT_EQ(target, remove ? 8.0f : 4.0f);
    EXPECT_EQ(handle.track, nullptr);
    EXPECT_EQ(handle.active, 0);
    EXPECT_EQ(AnimationPool.count, 0u);
    Steps(&target, 2);
    EXPECT_EQ(target, remove ? 8.0f : 4.0f);
  }
  AnimationHandle empty;
  AnimationStop(nullptr);
  AnimationStop(&empty);
  AnimationRemove(&empty);
}

TEST_F(AnimationTracksTest, UpdateAllStepsBySmoothedFrameTime) {
  FrameClockStartAt(0);
  FrameClockTickAt(500'000'000);  // 0.5 s: far from the fresh ring's 0.125, so it is taken
  ASSERT_EQ(SmoothedFrameTime(), 0.5f);
  float target = 0;
  Start(&target, 0, {{0, 0}, {4, 2}});
  AnimationUpdateAll();
  AnimationUpdateAll();
  EXPECT_EQ(target, 1.0f);
}

// Callbacks that change the list. The record of a stopped track goes back to the free list
// and the next start takes it again.
float gA, gB, gC;
AnimationHandle gHandleA, gHandleB;
std::string gCalls;

TEST_F(AnimationTracksTest, ACallbackThatStartsATrackMovesItInTheSameFrame) {
  gA = 0;
  gB = -1;
  Start(&gA, 0, {{0, 0}, {1, 0.5f, [] { Start(&gB, 0, {{3, 0}, {5, 1}}); }}, {2, 1}});
  Steps(&gA, 3);
  EXPECT_EQ(gB, -1.0f);
  Steps(&gA, 1);        // the callback's frame
  EXPECT_EQ(gB, 3.0f);  // its first key of 0 s passed in the frame that started it
  Steps(&gA, 1);
  EXPECT_EQ(gB, 3.5f);
}

TEST_F(AnimationTracksTest, ACallbackThatStopsItsOwnTrackLeavesTheWalkOnRunningTracks) {
  const struct {
    const char* what;
    AnimationCallback callback;
    std::string calls;
    float c;  // gC after the frames
  } cases[] = {
      {"stop at a middle key", [] { gCalls += "s"; AnimationStop(&gHandleA); }, "s", 5},
      {"remove at a middle key", [] { gCalls += "r"; AnimationRemove(&gHandleA); }, "r", 5},
      // The record is taken again at once by a track of another owner.
      {"stop and restart in the record",
       [] {
         gCalls += "x";
         AnimationStop(&gHandleA);
         Start(&gC, 0, {{100, 0}, {200, 4}});
       },
       "x", 106.25f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    gA = gB = gC = 0;
    gCalls.clear();
    Start(&gB, 0, {{0, 0}, {8, 2}}, &gHandleB);  // before it in the list
    Start(&gA, 0, {{0, 0}, {1, 0.25f}, {9, 0.25f, c.callback}, {50, 1}}, &gHandleA);
    Start(&gC, 0, {{0, 0}, {8, 2}});  // after it
    const std::vector<float> b = Steps(&gB, 6);  // the callback runs in the fifth frame
    EXPECT_EQ(gCalls, c.calls);
    EXPECT_EQ(gA, 9.0f);
    EXPECT_EQ(b, (std::vector<float>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(gHandleA.track, nullptr);
    EXPECT_EQ(gHandleB.active, 1);
    EXPECT_EQ(gC, c.c);
    AnimationStop(&gHandleB);
  }
}

TEST_F(AnimationTracksTest, AStaleHandleNeverReachesAnotherOwnersTrack) {
  float a = 0, b = 0;
  AnimationHandle ha, hb;
  Start(&a, 0, {{1, 0.25f}}, &ha);
  Steps(&a, 2);  // ended by itself: its handle keeps the record, inactive
  EXPECT_EQ(ha.active, 0);
  AnimationTrack* record = ha.track;
  EXPECT_NE(record, nullptr);
  Start(&b, 0, {{0, 0}, {10, 1}}, &hb);  // the same record, another owner
  EXPECT_EQ(hb.track, record);
  Steps(&b, 2);
  AnimationStop(&ha);
  AnimationRemove(&ha);
  EXPECT_EQ(b, 2.5f);
  EXPECT_EQ(hb.active, 1);
  EXPECT_EQ(AnimationPool.count, 1u);
  EXPECT_EQ(ha.track, nullptr);
  AnimationStop(&hb);
}

TEST_F(AnimationTracksTest, RecordsAreReusedBeforeThePoolGrows) {
  float target = 0;
  AnimationHandle handle;
  Start(&target, 0, {{0, 0}, {1, 1}}, &handle);
  AnimationStop(&handle);
  const std::uint32_t carved = AnimationPool.block.usedBytes;
  for (int i = 0; i < 100; ++i) {
    Start(&target, 0, {{0, 0}, {1, 1}}, &handle);
    AnimationStop(&handle);
  }
  EXPECT_EQ(AnimationPool.block.usedBytes, carved);
}

TEST(AnimationTracksDeathTest, TheKeysAndTracksPastTheirCapacityAreFatal) {
  EXPECT_FATAL(
      {
        float target = 0;
        AnimationStart(&target, 0, 0, nullptr, 0);
        for (std::uint32_t i = 1; i < kAnimationKeyCapacity; ++i) AnimationAddKey(1, 1, nullptr);
        AnimationAddKey(1, 1, nullptr);  // the 342nd
      },
      "Virtual Memory Error : Required Memory > Reserved Memory (4092+12>(1<<12))");
  EXPECT_FATAL(
      {
        float target = 0;
        for (std::uint32_t i = 0; i < kAnimationTrackCapacity; ++i)
          AnimationStart(&target, 0, 1, nullptr, 0);
        AnimationStart(&target, 0, 1, nullptr, 0);  // the 274th
      },
      "Virtual Memory Error : Required Memory > Reserved Memory (16380+60>(1<<14))");
}

}  // namespace
}  // namespace veskor
