#include "foundation/frame_clock.h"

#include <cmath>

#include "platform/clock.h"

namespace veskor {
namespace {

constexpr FrameClockState FreshClockState() {
  FrameClockState s{};
  for (float& slot : s.ring) slot = kFrameRingInitialTime;
  s.ringSum = kFrameRingInitialSum;
  return s;
}

// Constant-initialised, so the clock is valid before any static constructor runs.
constinit FrameClockState gClock = FreshClockState();

// Counter differences go to seconds whole, in double precision. Frame durations come from the
// difference of two readings, never from the difference of two float times: a float time
// of a day's length has a resolution of about 8 ms.
double CountsToSeconds(std::int64_t counts) {
  const std::uint64_t frequency = ClockFrequency();
  if (frequency == 0) return 0.0;
  return static_cast<double>(counts) / static_cast<double>(frequency);
}

double AverageOfRing() { return gClock.ringSum * (1.0 / kFrameRingSize); }

}  // namespace

float SecondsPerTick() {
  const std::uint64_t frequency = ClockFrequency();
  if (frequency == 0) return 0.0f;
  return static_cast<float>(1.0 / static_cast<double>(frequency));
}

double NowSeconds() { return CountsToSeconds(static_cast<std::int64_t>(ClockCounter())); }

void WaitSeconds(float seconds) {
  const double t0 = NowSeconds();
  while (NowSeconds() - t0 < seconds) {
  }
}

float ResetFrameRing() {
  for (float& slot : gClock.ring) slot = kFrameRingInitialTime;
  return kFrameRingInitialSum;
}

void FrameClockStartAt(std::uint64_t count) {
  gClock.startCount = count;
  gClock.lastCount = count;
  gClock.currentTime = 0.0f;
  gClock.previousTime = 0.0f;
  gClock.lastFrameTime = 0.0f;
  gClock.ringIndex = 0;
  gClock.ringSum = ResetFrameRing();
}

void FrameClockStart() { FrameClockStartAt(ClockCounter()); }

void FrameClockTickAt(std::uint64_t count) {
  const std::uint64_t previousCount = gClock.lastCount;
  gClock.previousTime = gClock.currentTime;
  gClock.lastCount = count;
  gClock.currentTime = static_cast<float>(
      CountsToSeconds(static_cast<std::int64_t>(count - gClock.startCount)));
  const float frameTime = static_cast<float>(
      CountsToSeconds(static_cast<std::int64_t>(count - previousCount)));
  gClock.lastFrameTime = frameTime;

  float& slot = gClock.ring[gClock.ringIndex];
  gClock.ringSum = (gClock.ringSum - slot) + frameTime;
  slot = frameTime;
  if (++gClock.ringIndex == kFrameRingSize) {
    gClock.ringIndex = 0;
    // Once per turn of the ring the kept sum starts again from the entries, so the rounding
    // of the incremental updates cannot build up over a long run.
    double sum = 0.0;
    for (float entry : gClock.ring) sum += entry;
    gClock.ringSum = sum;
  }
}

void FrameClockTick() { FrameClockTickAt(ClockCounter()); }

float CurrentFrameTime() { return gClock.currentTime; }
float PreviousFrameTime() { return gClock.previousTime; }
float LastFrameTime() { return gClock.lastFrameTime; }
float AverageFrameTime() { return static_cast<float>(AverageOfRing()); }

float SmoothedFrameTime() {
  const float last = gClock.lastFrameTime;
  const float average = static_cast<float>(AverageOfRing());
  if (std::fabs(last - average) > 0.2f * average) return last;
  return average;
}

float ScaleBySmoothedFrameTime(float factor) { return SmoothedFrameTime() * factor; }
float ScaleByLastFrameTime(float factor) { return LastFrameTime() * factor; }
float ScaleByAverageFrameTime(float factor) { return AverageFrameTime() * factor; }

const FrameClockState& FrameClockView() { return gClock; }

}  // namespace veskor
