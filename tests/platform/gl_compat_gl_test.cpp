// The compatibility layer's switch: its names in the extensions string, its entry points in
// the look-up and its texture-unit count while on; the driver's own answers while off.
#include "platform/gl_compat/gl_compat.h"

#include <gtest/gtest.h>

#include "gl_compat_gl_test.h"

namespace veskor {
namespace {

using test::GlTest;

const char* const kLayerNames[] = {
    "GL_NV_register_combiners",   "GL_NV_register_combiners2", "GL_NV_texture_shader",
    "GL_NV_vertex_array_range",   "GL_ATI_vertex_array_object", "GL_ATI_element_array",
    "GL_ATIX_texture_env_combine3"};
const char* const kLayerProcs[] = {"glCombinerInputNV", "glCombinerStageParameterfvNV",
                                   "wglAllocateMemoryNV", "glNewObjectBufferATI",
                                   "glDrawElementArrayATI"};

class GlCompatSwitchTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    was_ = GlCompatEnabled();
  }
  void TearDown() override {
    GlCompatSetEnabled(was_);
    GlTest::TearDown();
  }
  bool was_ = true;
};

TEST_F(GlCompatSwitchTest, OnAddsNamesEntryPointsAndFourUnitsOffLeavesTheDriver) {
  for (const bool on : {true, false}) {
    GlCompatSetEnabled(on);
    const char* list = GlExtensionsString();
    for (const char* name : kLayerNames)
      EXPECT_EQ(GlExtensionInList(list, name), on) << name;
    // Names the driver has are not repeated.
    const std::string extra = GlCompatExtraExtensions(list);
    EXPECT_EQ(extra.find("GL_ARB_multitexture"), std::string::npos);
    for (const char* name : kLayerProcs) {
      EXPECT_EQ(GlCompatProcAddress(name) != nullptr, on) << name;
      if (on) {
        EXPECT_EQ(GlGetProcAddress(name), GlCompatProcAddress(name)) << name;
      }
    }
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    EXPECT_EQ(units, on ? 4 : 8);
  }
  // Off, the vendor tokens reach the driver, which refuses them.
  glEnable(GL_REGISTER_COMBINERS_NV);
  EXPECT_EQ(glGetError(), GLenum{GL_INVALID_ENUM});
  const GLshort hilo[2] = {0, 0};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_HILO16_NV, 1, 1, 0, GL_HILO_NV, GL_SHORT, hilo);
  EXPECT_NE(glGetError(), GLenum{GL_NO_ERROR});
  // A driver without the base extensions gets only the names that need nothing.
  GlCompatSetEnabled(true);
  EXPECT_EQ(GlCompatExtraExtensions("GL_ARB_multitexture"), " GL_NV_vertex_array_range");
  EXPECT_EQ(GlCompatExtraExtensions(
                "GL_ARB_fragment_program GL_NV_register_combiners GL_NV_texture_shader"),
            " GL_NV_register_combiners2 GL_NV_vertex_array_range");
}

// Mesa keeps the first value of an ATI fragment shader constant after the first draw; the
// look-up serves a fixed entry point, with the layer on or off.
TEST_F(GlCompatSwitchTest, FragmentShaderConstantsTakeEffectAtEveryDraw) {
  for (const bool on : {true, false}) {
    GlCompatSetEnabled(on);
    using test::Proc;
    auto gen = Proc<PFNGLGENFRAGMENTSHADERSATIPROC>("glGenFragmentShadersATI");
    auto bind = Proc<PFNGLBINDFRAGMENTSHADERATIPROC>("glBindFragmentShaderATI");
    auto begin = Proc<PFNGLBEGINFRAGMENTSHADERATIPROC>("glBeginFragmentShaderATI");
    auto end = Proc<PFNGLENDFRAGMENTSHADERATIPROC>("glEndFragmentShaderATI");
    auto op1 = Proc<PFNGLCOLORFRAGMENTOP1ATIPROC>("glColorFragmentOp1ATI");
    auto alphaOp1 = Proc<PFNGLALPHAFRAGMENTOP1ATIPROC>("glAlphaFragmentOp1ATI");
    auto constant = Proc<PFNGLSETFRAGMENTSHADERCONSTANTATIPROC>("glSetFragmentShaderConstantATI");
    auto free = Proc<PFNGLDELETEFRAGMENTSHADERATIPROC>("glDeleteFragmentShaderATI");
    const GLuint shader = gen(1);
    bind(shader);
    begin();
    op1(GL_MOV_ATI, GL_REG_0_ATI, GL_NONE, GL_NONE, GL_CON_0_ATI, GL_NONE, GL_NONE);
    alphaOp1(GL_MOV_ATI, GL_REG_0_ATI, GL_NONE, GL_CON_0_ATI, GL_NONE, GL_NONE);
    end();
    glEnable(GL_FRAGMENT_SHADER_ATI);
    // Red into the left half, green into the right, with no other call between the draws.
    const GLfloat red[4] = {1, 0, 0, 1};
    const GLfloat green[4] = {0, 1, 0, 1};
    constant(GL_CON_0_ATI, red);
    glRectf(-1, -1, 0, 1);
    constant(GL_CON_0_ATI, green);
    glRectf(0, -1, 1, 1);
    const test::Rgba left = test::ReadPixel(8, 8);
    const test::Rgba right = test::ReadPixel(56, 8);
    EXPECT_TRUE(left.r == 255 && left.g == 0) << "layer " << on;
    EXPECT_TRUE(right.r == 0 && right.g == 255) << "layer " << on;
    glDisable(GL_FRAGMENT_SHADER_ATI);
    free(shader);
  }
}

}  // namespace
}  // namespace veskor
