// Texel format codes and upload modes shared by the texture objects, the uploads, the
// texture-memory counters and the texture environment.
#pragma once

#include <cstdint>

namespace veskor {

// Format code: the texel layout in the low three bits, the storage in bits 3 and 4 (bit 3
// unsigned bytes, bit 4 alone signed bytes, neither floats).
enum : std::uint32_t {
  kLayoutLuminance = 0,
  kLayoutIntensity = 1,
  kLayoutAlpha = 2,
  kLayoutRgb = 3,
  kLayoutRgba = 4,
  kLayoutHilo = 5,
  kLayoutDsdt = 6,
  kFormatUnsignedBytes = 8,
  kFormatSignedBytes = 16,
};

inline std::uint32_t FormatLayout(std::uint32_t format) { return format & 7; }

// Upload and combine modes. Bind operations take kModeKeepEnvironment to leave the texture
// environment as it is; it is not an upload mode.
enum : std::uint32_t {
  kModePlain = 0,
  kModeCompressed = 1,
  kModeSplit = 2,
  kModeSplitOnBasis = 3,
  kModeKeepEnvironment = 5,
};

inline constexpr const char* kCompressedLayoutMessage =
    "MvSetTexture : Format != MV_TEXTURE_RGB | MV_TEXTURE_RGBA";
inline constexpr const char* kSplitLayoutMessage = "MvSetTexture [1] : Format != MV_TEXTURE_RGB";

}  // namespace veskor
