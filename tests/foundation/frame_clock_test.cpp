#include "foundation/frame_clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/clock.h"

namespace veskor {
namespace {

// Counter readings are nanoseconds (the platform clock's frequency).
constexpr std::uint64_t kSecond = 1000000000;
constexpr std::uint64_t kFrame64 = kSecond / 64;  // 1/64 s: exact in binary

double RingTotal() {
  double sum = 0.0;
  for (float entry : FrameClockView().ring) sum += entry;
  return sum;
}

// Current, previous, last, average and smoothed frame times.
std::vector<float> Times() {
  return {CurrentFrameTime(), PreviousFrameTime(), LastFrameTime(), AverageFrameTime(),
          SmoothedFrameTime()};
}

// Starts the clock at 0 and ticks a full turn of the ring, frame i lasting frame(i).
template <class Frame>
std::uint64_t TickATurn(Frame frame) {
  FrameClockStartAt(0);
  std::uint64_t count = 0;
  for (std::uint32_t i = 0; i < kFrameRingSize; ++i) FrameClockTickAt(count += frame(i));
  return count;
}

TEST(FrameClock, StartsAndTicksAdvanceTheTimesAndTheRing) {
  ASSERT_EQ(ClockFrequency(), kSecond);
  for (const std::uint64_t start : {5 * kSecond, 6 * kSecond}) {  // a restart starts afresh
    // Zero times and the initial ring; |0 - 0.125| exceeds 20 percent of 0.125: the last
    // frame wins the smoothing.
    FrameClockStartAt(start);
    EXPECT_EQ(Times(), (std::vector<float>{0, 0, 0, 0.125f, 0}));
    EXPECT_EQ(ScaleByAverageFrameTime(2.0f), 0.25f);
    EXPECT_EQ(ScaleByLastFrameTime(2.0f), 0.0f);
    EXPECT_TRUE(FrameClockView().ringIndex == 0 && FrameClockView().ringSum == 16.0);
    EXPECT_EQ(FrameClockView().ring[0], 0.125f);

    FrameClockTickAt(start + kFrame64);
    EXPECT_EQ(FrameClockView().ring[0], 0.015625f);
    EXPECT_EQ(FrameClockView().ringIndex, 1u);
    EXPECT_EQ(FrameClockView().ringSum, 16.0 - 0.125 + 0.015625);
    FrameClockTickAt(start + 3 * kFrame64);
    std::vector<float> times = Times();
    times.resize(3);
    EXPECT_EQ(times, (std::vector<float>{0.046875f, 0.015625f, 0.03125f}));
    EXPECT_EQ(ScaleByLastFrameTime(4.0f), 0.125f);
  }
}

TEST(FrameClock, SmoothedTimeFollowsTheAverageWithinTwentyPercent) {
  const std::pair<double, bool> cases[] = {{1.0, true},   {0.81, true}, {1.19, true},
                                           {0.79, false}, {1.21, false}, {0.0, false},
                                           {3.0, false}};
  for (const auto& [lastOverAverage, average] : cases) {
    SCOPED_TRACE(lastOverAverage);
    const std::uint64_t count = TickATurn([](std::uint32_t) { return kFrame64; });
    ASSERT_EQ(AverageFrameTime(), 0.015625f);
    // The ring now holds one frame of the tested length: the average barely moves.
    FrameClockTickAt(count + static_cast<std::uint64_t>(lastOverAverage * kFrame64));
    const float expected = average ? AverageFrameTime() : LastFrameTime();
    EXPECT_EQ(SmoothedFrameTime(), expected);
    EXPECT_EQ(ScaleBySmoothedFrameTime(3.0f), expected * 3.0f);
  }
}

// The bounds themselves, where the arithmetic is exact: a ring of 127 frames of f and a last
// one of l, in 1/512 s, has the average (127 f + l) / 128 and l exactly 1.2 times it for f =
// 317, l = 381 (average 635/1024 s), exactly 0.8 times it for f = 159, l = 127 (average
// 635/2048 s): both give the average; a microsecond further out gives the last frame.
TEST(FrameClock, SmoothedTimeKeepsTheAverageAtExactlyTwentyPercent) {
  constexpr std::uint64_t kUnit = kSecond / 512;
  const struct {
    std::uint64_t frame, last;
    std::int64_t nudge;  // nanoseconds added to the last frame
    float average;       // 0: the last frame is taken
  } cases[] = {{317, 381, 0, 635 / 1024.0f}, {317, 381, 1000, 0},  {317, 381, -1000, 635 / 1024.0f},
               {159, 127, 0, 635 / 2048.0f}, {159, 127, -1000, 0}, {159, 127, 1000, 635 / 2048.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.frame << " " << c.last << " " << c.nudge);
    const std::uint64_t count = TickATurn([&](std::uint32_t) { return c.frame * kUnit; });
    FrameClockTickAt(count + c.last * kUnit + c.nudge);
    const float last = static_cast<float>((c.last * kUnit + c.nudge) / double(kSecond));
    EXPECT_EQ(LastFrameTime(), last);
    EXPECT_EQ(SmoothedFrameTime(), c.average != 0 ? c.average : last);
  }
}

TEST(FrameClock, FrameTimesKeepMillisecondsAfterADay) {
  // A float time of a day's length moves in steps of about 8 ms; the frame times do not.
  const std::uint64_t day = 86400 * kSecond;
  FrameClockStartAt(1000);
  FrameClockTickAt(1000 + day);
  FrameClockTickAt(1000 + day + kSecond / 1000);
  EXPECT_FLOAT_EQ(LastFrameTime(), 0.001f);
  FrameClockTickAt(1000 + day + kSecond / 1000 + 16666667);
  EXPECT_FLOAT_EQ(LastFrameTime(), 0.016666667f);
  EXPECT_FLOAT_EQ(CurrentFrameTime(), 86400.0176f);
}

TEST(FrameClock, TheRingTurnsWithoutDrift) {
  // Frames of 1 to 17 ms between ones of a few nanoseconds: updates of a running sum of
  // about a second drop the small frames' low bits.
  std::uint32_t seed = 12345;
  const auto frame = [&](std::uint32_t i) {
    seed = seed * 1664525u + 1013904223u;
    return i % 3 ? 1000000 + (seed >> 8) % 16000000 : 1 + (seed >> 8) % 100;
  };
  std::uint64_t count = TickATurn(frame);
  EXPECT_EQ(FrameClockView().ringIndex, 0u);
  for (float entry : FrameClockView().ring) EXPECT_NE(entry, 0.125f);
  for (std::uint32_t i = kFrameRingSize; i < 64 * kFrameRingSize; ++i)
    FrameClockTickAt(count += frame(i));
  EXPECT_EQ(FrameClockView().ringIndex, 0u);
  EXPECT_EQ(FrameClockView().ringSum, RingTotal());
  EXPECT_FLOAT_EQ(AverageFrameTime(), static_cast<float>(RingTotal() / kFrameRingSize));
}

TEST(FrameClock, RealTicksAndWaitsFollowTheCounter) {
  EXPECT_FLOAT_EQ(SecondsPerTick(), 1e-9f);
  const double t0 = NowSeconds();
  WaitSeconds(0.1f);
  EXPECT_GE(NowSeconds() - t0, 0.1);
  const double t1 = NowSeconds();
  WaitSeconds(0.0f);
  WaitSeconds(-1.0f);
  EXPECT_LT(NowSeconds() - t1, 0.5);  // at once: not a second's wait

  FrameClockStart();
  WaitSeconds(0.01f);
  FrameClockTick();
  EXPECT_GE(LastFrameTime(), 0.01f);
  EXPECT_EQ(LastFrameTime(), CurrentFrameTime());
}

}  // namespace
}  // namespace veskor
