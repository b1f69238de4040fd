#include "gfx/gl_capabilities.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/fatal_test.h"

namespace veskor {
namespace {

TEST(ClassifyRenderer, GivesEveryBoardFamilyAndEditsTheShownString) {
  const struct {
    const char* renderer;
    const char* shown;
    std::uint32_t code;
  } cases[] = {
      {"RIVA TNT2/AGP/SSE", "RIVA TNT2 AGP/SSE", 0x11},
      {"TNT", "TNT", 0x11},  // edits past the end of the string are not made
      {"GeForce2 MX/AGP/SSE2", "GeForce  MX/AGP/SSE2", 0x12},
      {"GeForce", "GeForce", 0x12},
      {"Quadro4 900 XGL/AGP/SSE2", "Quadro2 900 XGL/AGP/SSE2", 0x23},
      {"Quadro", "Quadro", 0x23},
      {"Quadro DCC", "Quadro DCC", 0x33},
      {"Radeon 7000 DDR x86/SSE2", "Radeon 7000 DDR x86/SSE2", 0x14},
      {"RADEON 7500", "RADEON 7500", 0xFF},  // the search is case-sensitive
      {"Radeon 7500", "Radeon 7500", 0x24},
      {"Radeon 8500", "Radeon 8500", 0x34},
      {"Radeon 9000 Pro", "Radeon 9000 Pro", 0x34},
      {"Radeon 9500", "Radeon 9500", 0x34},
      {"Radeon 9700 Pro", "Radeon 9700 Pro", 0x44},
      {"Radeon 9600", "Radeon 9600", 0xF4},
      {"7000 Radeon", "7000 Radeon", 0xF4},  // numbers count only after the word
      {"", "", 0xFF},
  };
  for (const auto& c : cases) {
    char buffer[kDriverStringSize];
    std::strcpy(buffer, c.renderer);
    EXPECT_EQ(ClassifyRenderer(buffer), c.code) << c.renderer;
    EXPECT_STREQ(buffer, c.shown);
  }
  BoardClass = 0x34;
  EXPECT_EQ(BoardClassLow(kBoardRadeon) + BoardClassHigh(0x30), 2u);
  EXPECT_EQ(BoardClassLow(kBoardGeForce) + BoardClassHigh(0x40), 0u);
}

TEST(CheckRequiredExtensions, ReturnsWhenTheRequiredBitsArePresent) {
  ExtensionMask = 0xC0F;
  CheckRequiredExtensions(kRequiredExtensions);
  ExtensionMask = 0xFFFFFFFF & ~kExtSecondaryColor;
  CheckRequiredExtensions(kRequiredExtensions);
  EXPECT_EQ(HasExtension(kExtSecondaryColor | kExtMultitexture), kExtMultitexture);
}

TEST(CheckRequiredExtensionsDeathTest, ListsTheMissingExtensionsInOrder) {
  ExtensionMask = kRequiredExtensions & ~(kExtTextureCompression | kExtTextureEnvDot3);
  EXPECT_FATAL(CheckRequiredExtensions(kRequiredExtensions),
               "Veskor needs OpenGL drivers with (minimum) support for these extensions :\n\n"
               "  GL_ARB_texture_compression\n  GL_ARB_texture_env_dot3\n  ");
}

TEST(CheckRequiredExtensionsDeathTest, ListsOnlyTheFirstNineteenNames) {
  ExtensionMask = 0;
  EXPECT_FATAL(CheckRequiredExtensions(kExtMultitexture | kExtSecondaryColor),
               "Veskor needs OpenGL drivers with (minimum) support for these extensions :\n\n"
               "  GL_ARB_multitexture\n  ");
}

}  // namespace
}  // namespace veskor
