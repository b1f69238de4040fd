#include "gfx/gl_capabilities.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "foundation/session_log.h"
#include "gfx/gl_entry_points.h"
#include "gfx_gl_test.h"
#include "platform/gl_compat/gl_compat.h"

namespace veskor {
namespace {

using test::GfxGlTest;

// What Mesa 22.3 llvmpipe offers under its compatibility context: every bit but vertex array
// range, the multisample filter hint, the ATIX combiner, the register combiners, the texture
// shader and the ATI vertex array objects; bit 22 from its framebuffer objects.
constexpr std::uint32_t kMesaMask = 0x268DDFF;
// What the compatibility layer adds: vertex array range, the ATIX combiner, register
// combiners 1 and 2, the texture shader, ATI vertex array objects and element arrays.
constexpr std::uint32_t kLayerMask = kExtVertexArrayRange | kExtTextureEnvCombine3 |
                                     kExtRegisterCombiners | kExtRegisterCombiners2 |
                                     kExtTextureShader | kExtVertexArrayObject |
                                     kExtElementArray;

TEST_F(GfxGlTest, CapabilitiesOfThisDriver) {
  const bool layer = GlCompatEnabled();
  for (const bool on : {false, true}) {
    GlCompatSetEnabled(on);
    LoadWglExtensions();
    EXPECT_EQ(LoadGlExtensions(), on ? kMesaMask | kLayerMask : kMesaMask)
        << std::hex << ExtensionMask << " with the layer " << on;
    EXPECT_EQ(TextureUnitCount, on ? 4u : 8u);
    // The layer's vertex array range hands out ordinary memory; without it the substitutes
    // stand in.
    void* memory = wglAllocateMemoryNV(1024, 0, 0, 0.5f);
    EXPECT_EQ(memory != nullptr, on);
    wglFreeMemoryNV(memory);
    glVertexArrayRangeNV(0, nullptr);
    EXPECT_EQ(glFlushVertexArrayRangeNV == &::glFlush, !on);
  }
  GlCompatSetEnabled(layer);
  LoadWglExtensions();
  LoadGlExtensions();
  EXPECT_EQ(TextureClampMode, 0x812Fu);
  // S3TC is listed, but llvmpipe would compress on the CPU: plain 8-bit formats.
  EXPECT_EQ(SoftwareRasterizer, 1u);
  EXPECT_EQ(CompressedRgbFormat, 0x8051u);   // GL_RGB8
  EXPECT_EQ(CompressedRgbaFormat, 0x8058u);  // GL_RGBA8
  EXPECT_EQ(BoardClass, 0xFFu);
  EXPECT_EQ(std::strncmp(GlRendererString, "llvmpipe", 8), 0) << GlRendererString;
  EXPECT_EQ(std::strncmp(GlVendorString, "Mesa", 4), 0) << GlVendorString;
  EXPECT_NE(std::string(GlVersionString).find("Mesa"), std::string::npos);
  EXPECT_EQ(test::GlInteger(GL_TEXTURE_COMPRESSION_HINT_ARB), GL_NICEST);
  CheckRequiredExtensions(kRequiredExtensions);

  // Loaded entry points work with the current context.
  ASSERT_NE(glActiveTextureARB, nullptr);
  glActiveTextureARB(GL_TEXTURE2_ARB);
  EXPECT_EQ(test::GlInteger(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE2_ARB);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  EXPECT_EQ(wglMakeContextCurrentARB(nullptr, nullptr, nullptr), 1);
}

// Made-up drivers resolve every name, none, or all but one.
void Procedure() {}
GlProc AllProcedures(const char*) { return Procedure; }
GlProc NoProcedures(const char*) { return nullptr; }
GlProc AllButIsProgram(const char* name) {
  return std::strcmp(name, "glIsProgramARB") == 0 ? nullptr : Procedure;
}

TEST_F(GfxGlTest, MadeUpDriversSetBitsFromExactTokensOnly) {
  const struct {
    const char* extensions;
    std::uint32_t mask;
    std::uint32_t units = 0;
    GlProc (*procs)(const char*) = AllProcedures;
    const char* renderer = "GeForce2 MX";
  } cases[] = {
      {"GL_ARB_multitexture", 0, 1},
      {"GL_ARB_multitexture", kExtMultitexture, 2},
      {"GL_ARB_multitexture", 0, 4, NoProcedures},
      {"GL_EXT_texture_cube_map", kExtTextureCubeMap},
      {"GL_EXT_texture_env_combine GL_EXT_texture_env_dot3",
       kExtTextureEnvCombine | kExtTextureEnvDot3},
      {"GL_SGIS_texture_lod", 0, 0, AllProcedures, "Radeon 9700"},
      {"GL_SGIS_texture_lod", kExtTextureLod},
      {"GL_NV_register_combiners2", kExtRegisterCombiners2},
      {"GL_NV_register_combiners2 GL_NV_register_combiners",
       kExtRegisterCombiners | kExtRegisterCombiners2},
      {"GL_ARB_vertex_program", 0, 0, AllButIsProgram},
      {"GL_ARB_vertex_program", kExtVertexProgram},
      {"GL_EXT_compiled_vertex_array GL_NV_vertex_array_range",
       kExtCompiledVertexArray | kExtVertexArrayRange},
      {"GL_ARB_texture_compression GL_EXT_texture_compression_s3tc",
       kExtTextureCompression | kExtTextureCompressionS3tc},
      {"GL_ARB_multisample GL_NV_multisample_filter_hint GL_NV_fog_distance "
       "GL_NV_texture_env_combine4 GL_ATIX_texture_env_combine3 GL_EXT_texture_lod_bias "
       "GL_EXT_texture_filter_anisotropic GL_EXT_texture_edge_clamp GL_NV_texture_shader",
       kExtMultisample | kExtMultisampleFilterHint | kExtFogDistance | kExtTextureEnvCombine4 |
           kExtTextureEnvCombine3 | kExtTextureLodBias | kExtTextureFilterAnisotropic |
           kExtTextureEdgeClamp | kExtTextureShader},
      {"GL_EXT_secondary_color GL_ATI_vertex_array_object GL_ATI_element_array "
       "GL_ATI_fragment_shader WGL_ARB_pbuffer GL_ARB_texture_cube_map",
       kExtSecondaryColor | kExtVertexArrayObject | kExtElementArray | kExtFragmentShader |
           kExtTextureCubeMap},
      {"GL_ARB_multitextures GL_XGL_ARB_texture_cube_map GL_EXT_secondary_colo", 0, 4},
  };
  for (const auto& c : cases) {
    ExtensionMask = 0;
    const GlDriverInfo driver{"Vendor", c.renderer, "1.4", c.extensions, c.units, c.procs};
    EXPECT_EQ(LoadGlExtensionsFrom(driver), c.mask) << c.extensions << " / " << c.renderer;
    EXPECT_EQ(ExtensionMask, c.mask);
  }
}

TEST_F(GfxGlTest, MadeUpDriverWithoutOptionalExtensionsGetsFallbacks) {
  ExtensionMask = 0;
  LoadGlExtensionsFrom(
      {"Vendor", "Quadro4 900 XGL", "1.2", "GL_ARB_texture_env_combine", 4, AllProcedures});
  EXPECT_EQ(ExtensionMask, kExtTextureEnvCombine);
  EXPECT_EQ(TextureUnitCount, 0u);
  EXPECT_EQ(TextureClampMode, static_cast<std::uint32_t>(GL_CLAMP));
  EXPECT_EQ(CompressedRgbFormat, static_cast<std::uint32_t>(GL_RGB));
  EXPECT_EQ(CompressedRgbaFormat, static_cast<std::uint32_t>(GL_RGBA));
  EXPECT_EQ(BoardClass, 0x23u);
  EXPECT_STREQ(GlRendererString, "Quadro2 900 XGL");
  EXPECT_EQ(glActiveTextureARB, nullptr);
  EXPECT_EQ(glCombinerParameterfvNV, nullptr);
  glLockArraysEXT(0, 4);  // do-nothing substitutes
  glUnlockArraysEXT();
}

TEST_F(GfxGlTest, CompressedFormatsFollowTheRendererString) {
  constexpr const char* kS3tc = "GL_EXT_texture_compression_s3tc";
  const struct {
    const char* renderer;
    const char* extensions;
    std::uint32_t software, rgb, rgba;
    const char* log;
  } cases[] = {
      {"llvmpipe (LLVM 15.0.6, 256 bits)", kS3tc, 1, 0x8051, 0x8058,
       "Skin textures: RGB8 and RGBA8 (uncompressed on the software rasterizer \"llvmpipe "
       "(LLVM 15.0.6, 256 bits)\")\n"},
      {"Gallium 0.4 on softpipe", kS3tc, 1, 0x8051, 0x8058, nullptr},
      {"Mesa DRI swrast", kS3tc, 1, 0x8051, 0x8058, nullptr},
      {"GeForce2 MX/AGP/SSE2", kS3tc, 0, 0x83F0, 0x83F3,
       "Skin textures: DXT1 and DXT5 (S3TC on \"GeForce  MX/AGP/SSE2\")\n"},
      {"LLVMPIPE", kS3tc, 0, 0x83F0, 0x83F3, nullptr},  // the names are matched as Mesa writes them
      {"llvmpip", kS3tc, 0, 0x83F0, 0x83F3, nullptr},
      {"swras", kS3tc, 0, 0x83F0, 0x83F3, nullptr},
      {"llvmpipe", "", 1, GL_RGB, GL_RGBA, "Skin textures: RGB and RGBA (no S3TC)\n"},
      {"Radeon 9700", "", 0, GL_RGB, GL_RGBA, nullptr},
  };
  for (const auto& c : cases) {
    ExtensionMask = 0;
    LoadGlExtensionsFrom({"Vendor", c.renderer, "1.4", c.extensions, 0, AllProcedures});
    EXPECT_EQ(SoftwareRasterizer, c.software) << c.renderer;
    EXPECT_EQ(CompressedRgbFormat, c.rgb) << c.renderer;
    EXPECT_EQ(CompressedRgbaFormat, c.rgba) << c.renderer;
    if (c.log == nullptr) continue;
    std::ostringstream log;
    SessionLogSetStream(&log);
    LogTextureFormats();
    SessionLogClose();
    EXPECT_EQ(log.str(), c.log);
  }
  LoadWglExtensions();
  LoadGlExtensions();
}

TEST_F(GfxGlTest, DriverStringsAreCutToTheirBuffers) {
  const std::string longName(400, 'x');
  const std::string renderer = std::string(250, ' ') + "GeForce2";
  LoadGlExtensionsFrom({longName.c_str(), renderer.c_str(), nullptr, "", 0, AllProcedures});
  EXPECT_EQ(std::strlen(GlVendorString), 255u);
  EXPECT_EQ(std::strlen(GlRendererString), 255u);  // "GeFor": the word is cut, no match
  EXPECT_EQ(BoardClass, 0xFFu);
  EXPECT_STREQ(GlVersionString, "");
}

TEST_F(GfxGlTest, FramebufferObjectsStandInForPbuffers) {
  ExtensionMask = 0xFFFFFFFF;
  LoadWglExtensionsFrom("GL_EXT_framebuffer_object");
  EXPECT_EQ(ExtensionMask, 0u);
  EXPECT_NE(wglChoosePixelFormatARB, nullptr);
  EXPECT_EQ(wglCreatePbufferARB, nullptr);
  LoadWglExtensionsFrom("GL_ARB_framebuffer_object WGL_ARB_make_current_read");
  EXPECT_EQ(ExtensionMask, kExtPbuffer);
  EXPECT_NE(wglCreatePbufferARB, nullptr);
  EXPECT_NE(wglQueryPbufferARB, nullptr);
  LoadGlExtensionsFrom({"", "", "", "GL_ARB_texture_cube_map", 0, AllProcedures});
  EXPECT_EQ(ExtensionMask, kExtPbuffer | kExtTextureCubeMap);  // the GL loader only adds
}

}  // namespace
}  // namespace veskor
