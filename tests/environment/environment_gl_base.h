// The base fixture of the environment GL tests: the shared context, with this driver's
// capabilities loaded afresh for every test and the texture names made.
#pragma once

#include <cstdint>

#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "support/gl_test_fixture.h"

namespace veskor::test {

class EnvironmentGlBase : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    LoadWglExtensions();
    extensionWord = LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
  }
  std::uint32_t extensionWord = 0;  // what LoadGlExtensions returned
};

}  // namespace veskor::test
