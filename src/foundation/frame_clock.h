// The frame clock: wall-clock time over the performance counter, the time of the current
// frame, the last frame's duration, the average of the last 128 frames and a smoothed frame
// time. The main loop starts it once and ticks it at the end of every frame; camera motion,
// animation, sound and the render stages read it.
//
// There is one clock per process and all its state is static.
#pragma once

#include <cstdint>

namespace veskor {

inline constexpr std::uint32_t kFrameRingSize = 128;
inline constexpr float kFrameRingInitialTime = 0.125f;  // seconds, in every slot of a fresh ring
inline constexpr float kFrameRingInitialSum = 16.0f;     // 128 x 0.125

// 1 / counter frequency (computed in double precision); 0 if the counter reports no frequency.
float SecondsPerTick();

// A fresh counter reading in seconds since the counter's own origin (not since the start).
double NowSeconds();

// Busy-waits until `seconds` of counter time have passed; 0 or less returns at once.
void WaitSeconds(float seconds);

// Starts (or restarts) the clock from zero with a fresh ring.
void FrameClockStart();
// Closes one frame: the current time moves on and the frame's duration enters the ring.
void FrameClockTick();

// The same two operations on a given counter reading; the ones above read the counter.
void FrameClockStartAt(std::uint64_t count);
void FrameClockTickAt(std::uint64_t count);

// Seconds from the start to the last tick.
float CurrentFrameTime();
// The current time before the last tick.
float PreviousFrameTime();
// Duration of the last frame; 0 before the first tick after a start.
float LastFrameTime();
// Mean of the last 128 frame times (0.125 s each in a fresh ring).
float AverageFrameTime();
// The average while the last frame is within 20 percent of it, the last frame otherwise.
float SmoothedFrameTime();

float ScaleBySmoothedFrameTime(float factor);
float ScaleByLastFrameTime(float factor);
float ScaleByAverageFrameTime(float factor);

// Writes 0.125 into every ring slot and returns the sum of the fresh ring (16.0); leaves the
// kept sum and the ring index alone.
float ResetFrameRing();

// The clock's state, for inspection.
struct FrameClockState {
  std::uint64_t startCount;  // counter reading of the start
  std::uint64_t lastCount;   // counter reading of the last start or tick
  float currentTime;
  float previousTime;
  float lastFrameTime;
  float ring[kFrameRingSize];
  double ringSum;
  std::uint32_t ringIndex;  // slot the next tick overwrites
};
const FrameClockState& FrameClockView();

}  // namespace veskor
