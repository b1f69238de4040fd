#include "gfx/water_pass.h"

#include <cmath>

#include "gfx/texture_format.h"
#include "gfx/viewport_rect.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr float kEyeHeight = 150.0f;
constexpr float kWaterDepth = 400.0f;
constexpr float kImageOffset = 0.03125f;  // the image's place in the window, both ways
constexpr float kWholeWindow = 0.999f;
constexpr float kSlopeScale = -0.0125f;
constexpr float kDepthValueScale = 1.6f;
constexpr std::uint32_t kLargestExponent = 30;
// Scratch slots of the read-back: the depths, and the depths with a wrapped border.
enum { kDepths, kBordered };

// log2(ratio) rounded up, with a tolerance of 0.00001 above a whole number; 0 for ratios up
// to 1 (and for ones that are not numbers).
std::uint32_t RoundedUpLog2(float ratio) {
  if (!(ratio > 1.0f)) return 0;
  if (!(ratio < std::ldexp(1.0f, kLargestExponent))) return kLargestExponent;
  const double l = std::log2(static_cast<double>(ratio));
  auto e = static_cast<std::uint32_t>(l);
  if (l - e > 0.00001) ++e;
  return e;
}

float Pow2(std::uint32_t e) { return std::ldexp(1.0f, static_cast<int>(e)); }

// A 2^w x 2^h map with a one-value border taken from the opposite edge, (2^w + 2) wide.
void ToBorderedWrap(std::uint32_t w, std::uint32_t h, const float* map, float* bordered) {
  const std::uint32_t width = 1u << w, height = 1u << h, stride = width + 2;
  for (std::uint32_t y = 0; y < height + 2; ++y) {
    const std::uint32_t sy = (y + height - 1) % height;
    for (std::uint32_t x = 0; x < width + 2; ++x)
      bordered[y * stride + x] = map[sy * width + (x + width - 1) % width];
  }
}

void UploadAndDropTexels(FloatTexture2D& texture, std::uint32_t filter) {
  Texture2DSetFilter(texture, filter);
  Texture2DSetWrap(texture, 0);
  FloatTexture2DBind(texture, kModePlain, 0);
  MemBlockRelease(texture.pixels.block);
  texture.pixels.block = MemBlock{};
  texture.pixels.data = nullptr;
}

// The image's exponents for a portal of sx x sy world units at `texelSize` units a texel:
// log2(sy / texelSize) rounded up, then the width's exponent at the texel size that makes
// the height fit exactly. Both drop together while the image does not fit the window from
// its offset of 1/32 of the window (or, filling the window, the window itself); neither goes
// below 0, so a portal narrower than one texel gets a single row or column.
void WaterPassExponents(float sx, float sy, float texelSize, std::uint32_t windowWidth,
                        std::uint32_t windowHeight, std::uint32_t viewportWidth,
                        std::uint32_t viewportHeight, std::uint32_t* log2Width,
                        std::uint32_t* log2Height) {
  std::uint32_t lh = RoundedUpLog2(sy / texelSize);
  std::uint32_t lw = RoundedUpLog2(sx / (sy / Pow2(lh)));
  const auto offsetX = static_cast<std::uint64_t>(RoundPixel(windowWidth * kImageOffset));
  const auto offsetY = static_cast<std::uint64_t>(RoundPixel(windowHeight * kImageOffset));
  const auto fits = [&] {
    const std::uint64_t w = std::uint64_t{1} << lw, h = std::uint64_t{1} << lh;
    if (w > windowWidth || h > windowHeight) return false;
    // An image that fills the window is drawn at its corner; any other at its offset, where
    // the part beyond the window's edge would read back undefined values.
    const bool whole = Pow2(lw) / static_cast<float>(viewportWidth) > kWholeWindow &&
                       Pow2(lh) / static_cast<float>(viewportHeight) > kWholeWindow;
    return whole || (w + offsetX <= windowWidth && h + offsetY <= windowHeight);
  };
  while (!fits() && (lw > 0 || lh > 0)) {
    if (lw > 0) --lw;
    if (lh > 0) --lh;
  }
  *log2Width = lw;
  *log2Height = lh;
}

}  // namespace

void BeginWaterPass(OrthoPass& pass, const float* box, float texelSize, float* marginX,
                    float* marginY) {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const auto wv = static_cast<float>(viewport[2]);
  const auto hv = static_cast<float>(viewport[3]);
  const float sx = box[3] - box[0];
  const float sy = box[4] - box[1];

  pass.position[0] = (box[0] + box[3]) * 0.5f;
  pass.position[1] = (box[1] + box[4]) * 0.5f;
  pass.position[2] = box[2] + kEyeHeight;
  pass.direction[0] = 0;
  pass.direction[1] = 0.00001f;  // not quite straight down, which keeps up along +y
  pass.direction[2] = -1;
  OrthoCameraFrameSteps(pass);
  pass.viewHeight = sy;
  pass.depth = kWaterDepth;
  pass.roll = 0;
  OrthoCameraApplyRoll(pass);

  std::uint32_t lw, lh;
  WaterPassExponents(sx, sy, texelSize, pass.ownerWidth, pass.ownerHeight,
                     static_cast<std::uint32_t>(viewport[2]),
                     static_cast<std::uint32_t>(viewport[3]), &lw, &lh);
  pass.waterLog2Width = static_cast<std::uint8_t>(lw);
  pass.waterLog2Height = static_cast<std::uint8_t>(lh);
  const float texel = sy / Pow2(lh);

  const float fx = Pow2(lw) / wv;
  const float fy = Pow2(lh) / hv;
  pass.windowX0 = kImageOffset;
  pass.windowY0 = kImageOffset;
  pass.windowX1 = fx + kImageOffset;
  pass.windowY1 = fy + kImageOffset;
  OrthoCameraDrawingSize(pass, &pass.ownerWidth, &pass.ownerHeight);
  const auto ow = static_cast<float>(pass.ownerWidth);
  const auto oh = static_cast<float>(pass.ownerHeight);
  pass.aspect = (ow * fx) / (oh * fy);
  pass.wholeWindow = fx > kWholeWindow && fy > kWholeWindow ? 1 : 0;
  pass.pixelRect[0] = RoundPixel(ow * kImageOffset);
  pass.pixelRect[1] = RoundPixel(oh * kImageOffset);
  pass.pixelRect[2] = RoundPixel(ow * fx);
  pass.pixelRect[3] = RoundPixel(oh * fy);
  *marginX = (1.0f - sx / (Pow2(lw) * texel)) * 0.5f;
  *marginY = 0;

  OrthoPassViewVolume(pass);
  OrthoPassRefreshAspect(pass);

  OrthoPassLoadView(pass);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void WaterReadback(OrthoPass& pass, float lo, float hi, FloatTexture2D& colour,
                   FloatTexture2D& slope) {
  const KernelTable& k = gKernelTable;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const std::uint8_t lw = pass.waterLog2Width, lh = pass.waterLog2Height;
  const std::uint32_t width = 1u << lw, height = 1u << lh;

  // Exactly the image's texels are read from the viewport's corner, whatever the viewport's
  // size: the textures hold no more.
  FloatTexture2DRealloc(colour, 4, lw, lh);
  auto* colourTexels = static_cast<float*>(TextureData(colour));
  float* depths = FloatScratchSize(pass.scratch[kDepths], std::uint64_t{width} * height);
  ReadFloatPixels(viewport[0], viewport[1], width, height, GL_RGBA, colourTexels);
  ReadFloatPixels(viewport[0], viewport[1], width, height, GL_DEPTH_COMPONENT, depths);
  float* bordered =
      FloatScratchSize(pass.scratch[kBordered], std::uint64_t{width + 2} * (height + 2));
  ToBorderedWrap(lw, lh, depths, bordered);

  FloatTexture2DRealloc(slope, 4, lw, lh);
  auto* slopeTexels = static_cast<float*>(TextureData(slope));
  const std::uint32_t stride = width + 2;
  for (std::uint32_t y = 1; y <= height; ++y) {
    for (std::uint32_t x = 1; x <= width; ++x) {
      const float* b = bordered + y * stride + x;
      const float a = kSlopeScale * (b[1] - b[-1]);
      const float c = kSlopeScale * (b[stride] - b[-static_cast<std::ptrdiff_t>(stride)]);
      const float length = std::sqrt(a * a + c * c);
      const float s = length >= 0.00001f ? 1.0f / length : 1.0f;
      float* texel = slopeTexels + 4 * ((y - 1) * width + (x - 1));
      texel[0] = (a * s + 1.0f) * 0.5f;
      texel[1] = (c * s + 1.0f) * 0.5f;
      texel[2] = 0;
      texel[3] = 0;
    }
  }

  k.GridThreshold2(kWaterDepthThreshold, lw, lh, bordered, bordered);
  k.MapWriteChannelFromBordered(4, 3, lw, lh, bordered, colourTexels);
  k.MapSubScalar(1, lw, lh, depths, kWaterDepthThreshold, depths);
  k.MapMulScalar(1, lw, lh, depths, kDepthValueScale, depths);
  k.MapClamp01(1, lw, lh, depths);
  k.MapScalarMinusTimes(1, lw, lh, lo, hi, depths, depths);
  k.MapWriteChannel(4, 3, lw, lh, depths, slopeTexels);

  UploadAndDropTexels(colour, kFilterTrilinear);
  UploadAndDropTexels(slope, kFilterBilinear);
}

void EndWaterPass(OrthoPass& pass) {
  OrthoPassRestoreView(pass);
  pass.windowX0 = 0;
  pass.windowX1 = 1;
  pass.windowY0 = 0;
  pass.windowY1 = 1;
  OrthoCameraAttach(pass, pass.owner);
  pass.wholeWindow = 1;
  glFinish();
}

}  // namespace veskor
