// The pixel-format choice against a driver stood in by the two WGL entry points: the attribute
// lists asked for, the relaxed retries, the warning and the failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings.h"
#include "app/window_init.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

std::vector<std::vector<int>> gCalls;
std::vector<unsigned> gFound;  // formats each call finds; a missing entry fails the call
int gBits[4];                  // colour, alpha, stencil, depth of the format
bool gQueryFails = false;

int Choose(void*, const int* attributes, const float*, unsigned max, int* formats,
           unsigned* count) {
  std::vector<int> list;
  for (const int* a = attributes; a[0] != 0; a += 2) list.insert(list.end(), {a[0], a[1]});
  gCalls.push_back(list);
  if (gCalls.size() > gFound.size() || max != 32) return 0;
  *count = gFound[gCalls.size() - 1];
  for (unsigned i = 0; i < *count; ++i) formats[i] = 7 + static_cast<int>(i);
  return 1;
}

int Query(void*, int format, int layer, unsigned n, const int* attributes, int* values) {
  const int expected[4] = {0x2014, 0x201B, 0x2023, 0x2022};
  if (gQueryFails || format != 7 || layer != 0 || n != 4) return 0;
  for (unsigned i = 0; i < n; ++i) values[i] = attributes[i] == expected[i] ? gBits[i] : -1;
  return 1;
}

// A call's asked sample attributes and bit counts, e.g. "s1/4 24 8 24 8" ("-" for absent).
std::string Asked(const std::vector<int>& list) {
  auto value = [&](int attribute) {
    for (std::size_t i = 0; i < list.size(); i += 2)
      if (list[i] == attribute) return std::to_string(list[i + 1]);
    return std::string("-");
  };
  return "s" + value(0x2041) + "/" + value(0x2042) + " " + value(0x2014) + " " + value(0x201B) +
         " " + value(0x2022) + " " + value(0x2023);
}

class PixelFormatTest : public testing::Test {
 protected:
  void SetUp() override {
    gCalls.clear();
    gFound = {1};
    gQueryFails = false;
    int bits[4] = {24, 8, 8, 24};
    std::copy(bits, bits + 4, gBits);
    wglChoosePixelFormatARB = Choose;
    wglGetPixelFormatAttribivARB = Query;
    ExtensionMask = 0;
    MultiSampleMode = 0;
    MultiSampleSize = 2;
    DepthBits = 24;
    FullScreenMode = 0;
    plane_.colourBits = 32;
    plane_.alphaBits = 8;
  }
  MainPlane plane_;
};

TEST_F(PixelFormatTest, AsksForTheSettingsFormatInTheFixedOrder) {
  test::MessageCapture capture;
  EXPECT_EQ(ChooseWindowPixelFormat(plane_), 7);
  ASSERT_EQ(gCalls.size(), 1u);
  EXPECT_EQ(gCalls[0], (std::vector<int>{0x2010, 1, 0x2003, 0x2027, 0x2001, 1, 0x2013, 0x202B,
                                         0x2011, 1, 0x2012, 0, 0x2002, 0, 0x2024, 0, 0x2014, 24,
                                         0x201B, 8, 0x2022, 24, 0x2023, 8}));
  EXPECT_EQ(ChosenPixelFormat.colour * 1000000 + ChosenPixelFormat.alpha * 10000 +
                ChosenPixelFormat.depth * 100 + ChosenPixelFormat.stencil,
            24082408);
  EXPECT_EQ(capture.Text(), "");
}

TEST_F(PixelFormatTest, SampleAttributesOnlyWithTheMultisampleExtension) {
  const struct {
    std::uint32_t extensions, mode, size, colour, alpha;
    std::string asked;
  } cases[] = {
      {0, 1, 4, 32, 8, "s-/- 24 8 24 8"},
      {kExtMultisample, 0, 4, 24, 0, "s0/- 24 0 24 8"},
      {kExtMultisample, 1, 4, 16, 0, "s1/4 16 0 24 8"},
      {kExtMultisample, 1, 2, 32, 8, "s1/2 24 8 24 8"},
  };
  for (const auto& c : cases) {
    SetUp();
    ExtensionMask = c.extensions;
    MultiSampleMode = c.mode;
    MultiSampleSize = c.size;
    plane_.colourBits = static_cast<std::uint8_t>(c.colour);
    plane_.alphaBits = static_cast<std::uint8_t>(c.alpha);
    test::MessageCapture capture;  // a format short of the asked colour warns; not looked at
    ChooseWindowPixelFormat(plane_);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(Asked(gCalls[0]), c.asked);
  }
}

TEST_F(PixelFormatTest, RelaxesTheCountsAndKeepsTheSamples) {
  ExtensionMask = kExtMultisample;
  MultiSampleMode = 1;
  MultiSampleSize = 4;
  gFound = {0, 0, 0, 0, 3};
  test::MessageCapture capture;
  EXPECT_EQ(ChooseWindowPixelFormat(plane_), 7);
  std::vector<std::string> asked;
  for (const auto& call : gCalls) asked.push_back(Asked(call));
  EXPECT_EQ(asked, (std::vector<std::string>{"s1/4 24 8 24 8", "s1/4 1 1 1 1", "s1/4 1 0 1 1",
                                             "s1/4 1 1 1 0", "s1/4 1 0 1 0"}));
}

TEST_F(PixelFormatTest, AFormatShortOfColourAlphaOrStencilIsWarnedOf) {
  const std::string head = "Warning : Init. Main Plane [exclamation] Colors [";
  const std::string tail = "\n\nVisual artefacts may occur ! \n";
  const struct {
    int bits[4];
    std::string text;
  } cases[] = {
      {{24, 8, 8, 24}, ""},
      {{32, 8, 8, 16}, ""},
      {{23, 8, 8, 24}, head + "23 bits], Alpha [8 bits], Depth [24 bits], Stencil [8 bits]\n\n You "
                              "should use this software in 24 bits color mode ! " + tail},
      {{16, 0, 0, 16}, head + "16 bits], Alpha [0 bits], Depth [16 bits], Stencil [0 bits]\n\n You "
                              "should use this software in 24 bits color mode ! \n Your current "
                              "config. does not support alpha channel ! \n Your current config. "
                              "does not support stencil buffer ! " + tail},
  };
  for (const auto& c : cases) {
    SetUp();
    std::copy(c.bits, c.bits + 4, gBits);
    test::MessageCapture capture;
    ChooseWindowPixelFormat(plane_);
    EXPECT_EQ(capture.Text(), c.text);
    EXPECT_EQ(ChosenPixelFormat.depth, c.bits[3]);
  }
}

TEST_F(PixelFormatTest, NoFormatOrAFailingCallEndsTheStart) {
  gFound = {0, 0, 0, 0, 0};
  EXPECT_EXIT(ChooseWindowPixelFormat(plane_), testing::ExitedWithCode(1),
              "^Error : Init. Main Plane \\[stop\\] No Required Buffer Format Available !\n$");
  gFound = {0, 0};
  EXPECT_EXIT(ChooseWindowPixelFormat(plane_), testing::ExitedWithCode(1),
              "^Error : Init. Main Plane \\[stop\\] Pixel Format Selection Failed !\n$");
  gFound = {1};
  gQueryFails = true;
  EXPECT_EXIT(ChooseWindowPixelFormat(plane_), testing::ExitedWithCode(1),
              "^Error : Init. Main Plane \\[stop\\] Pixel Format Selection Failed !\n$");
}

}  // namespace
}  // namespace veskor
