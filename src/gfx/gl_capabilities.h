// OpenGL capabilities: the extensions found (ExtensionMask, one bit each), the board family
// read from the renderer string (BoardClass), the driver strings, and the values the texture
// code reads at every upload. Loaded once at start while the probe context is current; every
// other part of the program asks for an extension through HasExtension.
#pragma once

#include <cstdint>

#include "platform/gl_procs.h"

namespace veskor {

// Bits of ExtensionMask. Bit i below 26 stands for entry i of ExtensionNameTable.
enum : std::uint32_t {
  kExtMultitexture = 1u << 0,
  kExtTextureCompression = 1u << 1,
  kExtTextureCompressionS3tc = 1u << 2,
  kExtTextureCubeMap = 1u << 3,
  kExtTextureLod = 1u << 4,
  kExtTextureLodBias = 1u << 5,
  kExtTextureEdgeClamp = 1u << 6,
  kExtTextureFilterAnisotropic = 1u << 7,
  kExtCompiledVertexArray = 1u << 8,
  kExtVertexArrayRange = 1u << 9,
  kExtTextureEnvCombine = 1u << 10,
  kExtTextureEnvDot3 = 1u << 11,
  kExtMultisample = 1u << 12,
  kExtMultisampleFilterHint = 1u << 13,
  kExtFogDistance = 1u << 14,
  kExtTextureEnvCombine4 = 1u << 15,
  kExtTextureEnvCombine3 = 1u << 16,
  kExtRegisterCombiners = 1u << 17,
  kExtRegisterCombiners2 = 1u << 18,
  kExtSecondaryColor = 1u << 19,
  kExtTextureShader = 1u << 20,
  kExtVertexProgram = 1u << 21,
  kExtPbuffer = 1u << 22,  // on this platform: framebuffer objects, which stand in for pbuffers
  kExtVertexArrayObject = 1u << 23,
  kExtElementArray = 1u << 24,
  kExtFragmentShader = 1u << 25,
  kExtMakeCurrentRead = 1u << 26,  // never set on this platform
};

// The extensions the program cannot run without: multitexture, compression, S3TC, cube maps,
// texture-environment combine and dot3.
inline constexpr std::uint32_t kRequiredExtensions = 0xC0F;

inline constexpr int kExtensionNameCount = 26;
inline constexpr int kExtensionNameSlot = 64;
// Names of bits 0 to 25, for the required-extension message.
extern const char ExtensionNameTable[kExtensionNameCount][kExtensionNameSlot];

// Board families (low nibble of BoardClass) and the codes the classifier gives.
enum : std::uint32_t {
  kBoardTnt = 0x1,
  kBoardGeForce = 0x2,
  kBoardQuadro = 0x3,
  kBoardRadeon = 0x4,
  kBoardUnknown = 0xF,
};

inline constexpr int kDriverStringSize = 256;

extern std::uint32_t ExtensionMask;
extern std::uint32_t BoardClass;
extern char GlVendorString[kDriverStringSize];
extern char GlRendererString[kDriverStringSize];
extern char GlVersionString[kDriverStringSize];
extern std::uint32_t TextureUnitCount;      // GL_MAX_TEXTURE_UNITS_ARB; 0 without multitexture
extern std::uint32_t TextureClampMode;      // GL_CLAMP_TO_EDGE_EXT with edge clamp, else GL_CLAMP
// DXT1 and DXT5 with S3TC, else GL_RGB and GL_RGBA. On a software rasterizer GL_RGB8 and
// GL_RGBA8 even with S3TC: the driver would compress every level on the CPU as it is uploaded
// and decode the blocks again in every fragment that samples them.
extern std::uint32_t CompressedRgbFormat;
extern std::uint32_t CompressedRgbaFormat;
// 1 when the renderer string names a software rasterizer (SoftwareRenderer).
extern std::uint32_t SoftwareRasterizer;

// What the loader reads from the driver. LoadGlExtensions fills it from the current context;
// tests pass made-up drivers.
struct GlDriverInfo {
  const char* vendor;
  const char* renderer;
  const char* version;
  const char* extensions;
  std::uint32_t maxTextureUnits;  // read only when GL_ARB_multitexture is listed
  GlProc (*getProcAddress)(const char* name);
};

// Clears ExtensionMask and loads the pixel-format entry points (the platform answers them),
// then sets bit 22 and loads the pbuffer entry points when framebuffer objects
// (GL_ARB_framebuffer_object) are listed: they serve where the program asks for pbuffers. Make-current-read stays absent
// and wglMakeContextCurrentARB stays the substitute that does nothing and returns 1.
void LoadWglExtensions();
void LoadWglExtensionsFrom(const char* glExtensions);

// Copies the driver strings, classifies the board, loads the entry points and adds the bits
// of the extensions found (only adds: LoadWglExtensions runs first). Returns ExtensionMask.
std::uint32_t LoadGlExtensions();
std::uint32_t LoadGlExtensionsFrom(const GlDriverInfo& driver);

// The board code of a renderer string, editing the string as the information screen shows
// it: "GeForce2 MX" becomes "GeForce  MX", "Quadro4" becomes "Quadro2", "TNT2/" loses the
// character after the digit. Edits stay inside the string.
std::uint32_t ClassifyRenderer(char* renderer);

// 1 when the renderer string names one of Mesa's software rasterizers: llvmpipe, softpipe or
// swrast.
std::uint32_t SoftwareRenderer(const char* renderer);

// One line in the session log: the internal formats of compressed uploads (those of the skin
// textures) and why they are those.
void LogTextureFormats();

// ExtensionMask AND bits: non-zero when any of them is present.
inline std::uint32_t HasExtension(std::uint32_t bits) { return ExtensionMask & bits; }
// 1 when the low nibble of BoardClass is `family`.
std::uint32_t BoardClassLow(std::uint32_t family);
// 1 when BoardClass AND 0xF0 is `generation` (given shifted, e.g. 0x30).
std::uint32_t BoardClassHigh(std::uint32_t generation);

// Returns when every required bit is in ExtensionMask; otherwise shows the missing ones (of
// bits 0 to 18) in the "Error" box and ends the process with exit code 1.
void CheckRequiredExtensions(std::uint32_t required);

}  // namespace veskor
