#include "gfx/gl_capabilities.h"

#include <cstdio>
#include <cstring>

#include "foundation/fatal_error.h"
#include "foundation/session_log.h"
#include "gfx/gl_entry_points.h"
#include "platform/gl.h"

namespace veskor {

const char ExtensionNameTable[kExtensionNameCount][kExtensionNameSlot] = {
    "GL_ARB_multitexture",
    "GL_ARB_texture_compression",
    "GL_EXT_texture_compression_s3tc",
    "GL_ARB_texture_cube_map",
    "GL_EXT_texture_lod",
    "GL_EXT_texture_lod_bias",
    "GL_EXT_texture_edge_clamp",
    "GL_EXT_texture_filter_anisotropic",
    "GL_EXT_compiled_vertex_array",
    "GL_NV_vertex_array_range",
    "GL_ARB_texture_env_combine",
    "GL_ARB_texture_env_dot3",
    "GL_ARB_multisample",
    "GL_NV_multisample_filter_hint",
    "GL_NV_fog_distance",
    "GL_NV_texture_env_combine4",
    "GL_ATIX_texture_env_combine3",
    "GL_NV_register_combiners",
    "GL_NV_register_combiners2",
    "GL_EXT_secondary_color",
    "GL_NV_texture_shader",
    "GL_ARB_vertex_program",
    "WGL_ARB_pbuffer",
    "GL_ATI_vertex_array_object",
    "GL_ATI_element_array",
    "GL_ATI_fragment_shader",
};

std::uint32_t ExtensionMask = 0;
std::uint32_t BoardClass = 0;
char GlVendorString[kDriverStringSize];
char GlRendererString[kDriverStringSize];
char GlVersionString[kDriverStringSize];
std::uint32_t TextureUnitCount = 0;
std::uint32_t TextureClampMode = GL_CLAMP;
std::uint32_t CompressedRgbFormat = GL_RGB;
std::uint32_t CompressedRgbaFormat = GL_RGBA;
std::uint32_t SoftwareRasterizer = 0;

namespace {

// Substitutes stored in place of entry points whose extension is absent.
void APIENTRY LockArraysStub(GLint, GLsizei) {}
void APIENTRY UnlockArraysStub() {}
void* AllocateMemoryStub(GLsizei, GLfloat, GLfloat, GLfloat) { return nullptr; }
void FreeMemoryStub(void*) {}
void APIENTRY VertexArrayRangeStub(GLsizei, const void*) {}
int MakeContextCurrentStub(void*, void*, void*) { return 1; }

}  // namespace

#define VESKOR_DEFINE_PROC(type, name) type name = nullptr;
VESKOR_MULTITEXTURE_PROCS(VESKOR_DEFINE_PROC)
VESKOR_COMPILED_VERTEX_ARRAY_PROCS(VESKOR_DEFINE_PROC)
VESKOR_VERTEX_ARRAY_RANGE_PROCS(VESKOR_DEFINE_PROC)
VESKOR_REGISTER_COMBINERS_PROCS(VESKOR_DEFINE_PROC)
VESKOR_REGISTER_COMBINERS2_PROCS(VESKOR_DEFINE_PROC)
VESKOR_SECONDARY_COLOR_PROCS(VESKOR_DEFINE_PROC)
VESKOR_BLEND_MINMAX_PROCS(VESKOR_DEFINE_PROC)
VESKOR_VERTEX_PROGRAM_PROCS(VESKOR_DEFINE_PROC)
VESKOR_VERTEX_ARRAY_OBJECT_PROCS(VESKOR_DEFINE_PROC)
VESKOR_ELEMENT_ARRAY_PROCS(VESKOR_DEFINE_PROC)
VESKOR_FRAGMENT_SHADER_PROCS(VESKOR_DEFINE_PROC)
VESKOR_PIXEL_FORMAT_PROCS(VESKOR_DEFINE_PROC)
VESKOR_PBUFFER_PROCS(VESKOR_DEFINE_PROC)
#undef VESKOR_DEFINE_PROC
PFNWGLMAKECONTEXTCURRENTARBPROC wglMakeContextCurrentARB = MakeContextCurrentStub;
PFNWGLGETCURRENTREADDCARBPROC wglGetCurrentReadDCARB = nullptr;

namespace {

#define VESKOR_LOAD_PROC(type, name) name = reinterpret_cast<type>(get(#name));
#define VESKOR_CLEAR_PROC(type, name) name = nullptr;
#define VESKOR_PROC_LOADED(type, name) &&name != nullptr

// Copies a driver string into its buffer, cut to fit and always terminated.
void CopyDriverString(char (&buffer)[kDriverStringSize], const char* text) {
  std::snprintf(buffer, sizeof buffer, "%s", text != nullptr ? text : "");
}

const char* GlString(GLenum name) {
  const GLubyte* s = glGetString(name);
  return s != nullptr ? reinterpret_cast<const char*>(s) : "";
}

}  // namespace

void LoadWglExtensionsFrom(const char* glExtensions) {
  ExtensionMask = 0;
  // The platform answers the pixel-format calls itself, and the pbuffer calls over
  // framebuffer objects.
  const auto get = &GlGetProcAddress;
  VESKOR_PIXEL_FORMAT_PROCS(VESKOR_LOAD_PROC)
  if (GlExtensionInList(glExtensions, "GL_ARB_framebuffer_object")) {
    ExtensionMask |= kExtPbuffer;
    VESKOR_PBUFFER_PROCS(VESKOR_LOAD_PROC)
  } else {
    VESKOR_PBUFFER_PROCS(VESKOR_CLEAR_PROC)
  }
  wglMakeContextCurrentARB = MakeContextCurrentStub;
  wglGetCurrentReadDCARB = nullptr;
}

void LoadWglExtensions() { LoadWglExtensionsFrom(GlExtensionsString()); }

std::uint32_t ClassifyRenderer(char* renderer) {
  const std::size_t length = std::strlen(renderer);
  // Edits fall on the character `offset` places after the start of the word, when the
  // string reaches that far.
  auto edit = [&](const char* word, std::size_t offset, char c) {
    const std::size_t at = static_cast<std::size_t>(word - renderer) + offset;
    if (at < length) renderer[at] = c;
  };
  if (const char* p = std::strstr(renderer, "GeForce")) {
    edit(p, 7, ' ');
    return 0x12;
  }
  if (const char* p = std::strstr(renderer, "Radeon")) {
    const char* after = p + 6;
    if (std::strstr(after, "7000")) return 0x14;
    if (std::strstr(after, "7500")) return 0x24;
    if (std::strstr(after, "8500") || std::strstr(after, "9000") || std::strstr(after, "9500"))
      return 0x34;
    if (std::strstr(after, "9700")) return 0x44;
    return 0xF4;
  }
  if (const char* p = std::strstr(renderer, "Quadro")) {
    if (std::strstr(p + 6, " DCC")) return 0x33;
    edit(p, 6, '2');
    return 0x23;
  }
  if (const char* p = std::strstr(renderer, "TNT")) {
    edit(p, 4, ' ');
    return 0x11;
  }
  return 0xFF;
}

std::uint32_t SoftwareRenderer(const char* renderer) {
  for (const char* name : {"llvmpipe", "softpipe", "swrast"})
    if (std::strstr(renderer, name) != nullptr) return 1;
  return 0;
}

std::uint32_t LoadGlExtensionsFrom(const GlDriverInfo& driver) {
  const char* extensions = driver.extensions != nullptr ? driver.extensions : "";
  auto listed = [extensions](const char* name) { return GlExtensionInList(extensions, name); };
  auto get = driver.getProcAddress;

  CopyDriverString(GlVendorString, driver.vendor);
  CopyDriverString(GlRendererString, driver.renderer);
  CopyDriverString(GlVersionString, driver.version);
  SoftwareRasterizer = SoftwareRenderer(GlRendererString);
  BoardClass = ClassifyRenderer(GlRendererString);

  std::uint32_t mask = ExtensionMask;

  TextureUnitCount = 0;
  if (listed("GL_ARB_multitexture")) {
    TextureUnitCount = driver.maxTextureUnits;
    VESKOR_MULTITEXTURE_PROCS(VESKOR_LOAD_PROC)
    if (glActiveTextureARB && glClientActiveTextureARB && glMultiTexCoord1fARB &&
        glMultiTexCoord1fvARB && glMultiTexCoord2fARB && glMultiTexCoord2fvARB &&
        TextureUnitCount >= 2)
      mask |= kExtMultitexture;
  } else {
    VESKOR_MULTITEXTURE_PROCS(VESKOR_CLEAR_PROC)
  }

  if (listed("GL_ARB_multisample")) mask |= kExtMultisample;
  if (listed("GL_NV_multisample_filter_hint")) mask |= kExtMultisampleFilterHint;

  if (listed("GL_ARB_texture_compression")) {
    mask |= kExtTextureCompression;
    glHint(GL_TEXTURE_COMPRESSION_HINT_ARB, GL_NICEST);
  }

  if (listed("GL_ARB_texture_cube_map") || listed("GL_EXT_texture_cube_map"))
    mask |= kExtTextureCubeMap;
  if (listed("GL_ARB_texture_env_combine") || listed("GL_EXT_texture_env_combine"))
    mask |= kExtTextureEnvCombine;
  if (listed("GL_ARB_texture_env_dot3") || listed("GL_EXT_texture_env_dot3"))
    mask |= kExtTextureEnvDot3;
  if (listed("GL_NV_texture_env_combine4")) mask |= kExtTextureEnvCombine4;
  if (listed("GL_ATIX_texture_env_combine3")) mask |= kExtTextureEnvCombine3;

  // The texture LOD extension is left unused on Radeon boards.
  if (listed("GL_SGIS_texture_lod") && BoardClassLow(kBoardRadeon) == 0) mask |= kExtTextureLod;
  if (listed("GL_EXT_texture_lod_bias")) mask |= kExtTextureLodBias;
  if (listed("GL_EXT_texture_filter_anisotropic")) mask |= kExtTextureFilterAnisotropic;
  if (listed("GL_NV_fog_distance")) mask |= kExtFogDistance;

  if (listed("GL_EXT_texture_edge_clamp")) {
    mask |= kExtTextureEdgeClamp;
    TextureClampMode = GL_CLAMP_TO_EDGE;  // GL_CLAMP_TO_EDGE_EXT, 0x812F
  } else {
    TextureClampMode = GL_CLAMP;
  }

  if (listed("GL_EXT_texture_compression_s3tc")) {
    mask |= kExtTextureCompressionS3tc;
    CompressedRgbFormat = SoftwareRasterizer != 0 ? GL_RGB8 : GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
    CompressedRgbaFormat = SoftwareRasterizer != 0 ? GL_RGBA8 : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
  } else {
    CompressedRgbFormat = GL_RGB;
    CompressedRgbaFormat = GL_RGBA;
  }

  if (listed("GL_EXT_compiled_vertex_array")) {
    VESKOR_COMPILED_VERTEX_ARRAY_PROCS(VESKOR_LOAD_PROC)
    if (true VESKOR_COMPILED_VERTEX_ARRAY_PROCS(VESKOR_PROC_LOADED))
      mask |= kExtCompiledVertexArray;
  } else {
    glLockArraysEXT = LockArraysStub;
    glUnlockArraysEXT = UnlockArraysStub;
  }

  if (listed("GL_NV_vertex_array_range")) {
    VESKOR_VERTEX_ARRAY_RANGE_PROCS(VESKOR_LOAD_PROC)
    if (true VESKOR_VERTEX_ARRAY_RANGE_PROCS(VESKOR_PROC_LOADED)) mask |= kExtVertexArrayRange;
  } else {
    wglAllocateMemoryNV = AllocateMemoryStub;
    wglFreeMemoryNV = FreeMemoryStub;
    glVertexArrayRangeNV = VertexArrayRangeStub;
    glFlushVertexArrayRangeNV = ::glFlush;
  }

  // The remaining extensions: bit set when listed and every entry point resolves.
#define VESKOR_LOAD_GROUP(procs, name, bit)                 \
  if (listed(name)) {                                       \
    procs(VESKOR_LOAD_PROC) if (true procs(VESKOR_PROC_LOADED)) mask |= (bit); \
  } else {                                                  \
    procs(VESKOR_CLEAR_PROC)                                \
  }
  VESKOR_LOAD_GROUP(VESKOR_REGISTER_COMBINERS_PROCS, "GL_NV_register_combiners",
                    kExtRegisterCombiners)
  VESKOR_LOAD_GROUP(VESKOR_REGISTER_COMBINERS2_PROCS, "GL_NV_register_combiners2",
                    kExtRegisterCombiners2)
  VESKOR_LOAD_GROUP(VESKOR_SECONDARY_COLOR_PROCS, "GL_EXT_secondary_color", kExtSecondaryColor)
  if (listed("GL_NV_texture_shader")) mask |= kExtTextureShader;
  VESKOR_LOAD_GROUP(VESKOR_BLEND_MINMAX_PROCS, "GL_EXT_blend_minmax", 0u)
  VESKOR_LOAD_GROUP(VESKOR_VERTEX_PROGRAM_PROCS, "GL_ARB_vertex_program", kExtVertexProgram)
  VESKOR_LOAD_GROUP(VESKOR_VERTEX_ARRAY_OBJECT_PROCS, "GL_ATI_vertex_array_object",
                    kExtVertexArrayObject)
  VESKOR_LOAD_GROUP(VESKOR_ELEMENT_ARRAY_PROCS, "GL_ATI_element_array", kExtElementArray)
  VESKOR_LOAD_GROUP(VESKOR_FRAGMENT_SHADER_PROCS, "GL_ATI_fragment_shader", kExtFragmentShader)
#undef VESKOR_LOAD_GROUP

  ExtensionMask = mask;
  return ExtensionMask;
}

std::uint32_t LoadGlExtensions() {
  GlDriverInfo driver{GlString(GL_VENDOR), GlString(GL_RENDERER), GlString(GL_VERSION),
                      GlExtensionsString(), 0, &GlGetProcAddress};
  if (GlExtensionInList(driver.extensions, "GL_ARB_multitexture")) {
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    driver.maxTextureUnits = units > 0 ? static_cast<std::uint32_t>(units) : 0;
  }
  return LoadGlExtensionsFrom(driver);
}

namespace {

const char* FormatName(std::uint32_t format) {
  switch (format) {
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT: return "DXT1";
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT: return "DXT5";
    case GL_RGB8: return "RGB8";
    case GL_RGBA8: return "RGBA8";
    case GL_RGB: return "RGB";
    case GL_RGBA: return "RGBA";
    default: return "unknown";
  }
}

}  // namespace

void LogTextureFormats() {
  SessionLog& log = LogStream();
  LogWriteText(log, "Skin textures: ");
  LogWriteText(log, FormatName(CompressedRgbFormat));
  LogWriteText(log, " and ");
  LogWriteText(log, FormatName(CompressedRgbaFormat));
  if (HasExtension(kExtTextureCompressionS3tc) == 0) {
    LogWriteText(log, " (no S3TC)\n");
    return;
  }
  LogWriteText(log, SoftwareRasterizer != 0 ? " (uncompressed on the software rasterizer \""
                                            : " (S3TC on \"");
  LogWriteText(log, GlRendererString);
  LogWriteText(log, "\")\n");
}

std::uint32_t BoardClassLow(std::uint32_t family) { return (BoardClass & 0xF) == family ? 1 : 0; }

std::uint32_t BoardClassHigh(std::uint32_t generation) {
  return (BoardClass & 0xF0) == generation ? 1 : 0;
}

void CheckRequiredExtensions(std::uint32_t required) {
  if ((ExtensionMask | required) == ExtensionMask) return;
  // The header, then at most 19 names of at most 63 characters, each with "\n  ".
  char text[128 + 19 * (kExtensionNameSlot + 3)];
  std::size_t used = static_cast<std::size_t>(std::snprintf(
      text, sizeof text,
      "Veskor needs OpenGL drivers with (minimum) support for these extensions :\n\n  "));
  for (int i = 0; i < 19; ++i) {
    const std::uint32_t bit = 1u << i;
    if ((required & bit) != 0 && (ExtensionMask & bit) == 0)
      used += static_cast<std::size_t>(
          std::snprintf(text + used, sizeof text - used, "%s\n  ", ExtensionNameTable[i]));
  }
  FatalError(text);
}

}  // namespace veskor
