// The GL context of the GL tests: one hidden window with a compatibility context per test
// binary, created at first use and current for every test of the GlTest fixture. Tests read
// back what they draw from its 64 x 64 back buffer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/gl_context.h"

namespace veskor::test {

inline constexpr int kGlTestWindowSize = 64;

// The shared window and context, created on the first call (the test fails when they cannot
// be had). Without an X display SDL's offscreen driver serves the same context.
GlProbe& GlTestContext();

class GlTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  bool pushed_ = false;  // the state of the context as the test found it, to put back
};

// RGBA bytes of one pixel of the back buffer.
struct Rgba {
  std::uint8_t r, g, b, a;
};
Rgba ReadPixel(int x, int y);

}  // namespace veskor::test
