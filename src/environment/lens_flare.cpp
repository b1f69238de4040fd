#include "environment/lens_flare.h"

#include <initializer_list>
#include <string>

#include "environment/environment_params.h"
#include "foundation/data_file_search.h"
#include "foundation/search_dirs.h"
#include "gfx/png_texture.h"
#include "gfx/texture_format.h"
#include "platform/gl.h"
#include "platform/message_box.h"
#include "foundation/static_order.h"

namespace veskor {

VESKOR_STATIC_STEP(kStaticStepLensFlareImages) FloatTexture2D LensFlareImages[kLensFlareImageCount];
LensFlareTable LensFlareElements{};
VESKOR_STATIC_STEP(kStaticStepLightRayTexture) FloatTexture2D LightRayTexture;

namespace {

constexpr float kLightShaftThreshold = 0.01f;
constexpr float kLightShaftIntensityScale = 0.1f;

// The directories FindDataFile searches, in its order.
std::string SearchedDirectories() {
  std::string list;
  auto add = [&](std::uint32_t index) {
    const char* dir = SearchPath(index);
    list += list.empty() ? "" : ", ";
    list += dir[0] != '\0' ? dir : "./";
  };
  for (std::uint32_t i = ExtraSearchDirs.count; i-- > 0;) add(kSearchFirstExtraDir + i);
  for (std::uint32_t index : {kSearchWorkingDir, kSearchResourceDir, kSearchImgDir, kSearchSndDir,
                              kSearchBinaryDir, kSearchProductDir})
    add(index);
  return list;
}

// Reads the image into the texture (one channel); on failure shows why, ending with `effect`.
bool ReadImage(const char* name, FloatTexture2D& texture, const char* effect) {
  char path[kSearchDirBytes];
  DataFileFailure failure;
  const std::uint32_t index = FindDataFile(name, &failure);
  std::string text;
  if (!failure.path.empty()) {
    text = "Cannot Open Image \"" + failure.path + "\" : " + failure.reason + ". " + effect;
  } else if (index == 0 || !BuildDirPath(index, name, path)) {
    text = std::string("Cannot Find Image \"") + name +
           "\" In The Search Directories : " + SearchedDirectories() + ". " + effect;
  } else {
    std::uint32_t exact = 0;
    float uScale = 0.0f, vScale = 0.0f;
    if (LoadPngFloatTexture(path, texture, 1, exact, uScale, vScale, nullptr) != 0) return true;
    text = std::string("Cannot Read Image \"") + path + "\". " + effect;
  }
  ShowMessageBox("Warning", text.c_str(), MessageIcon::kExclamation, MessageButtons::kOk);
  return false;
}

// Clamped and linear, uploaded now; only the GL copy is kept.
void UploadAndRelease(FloatTexture2D& texture) {
  Texture2DSetWrap(texture, 0);
  Texture2DSetFilter(texture, kFilterBilinear);
  FloatTexture2DBind(texture, kModeKeepEnvironment, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  MemBlockRelease(texture.pixels.block);
  texture.pixels.block = MemBlock{};
  texture.pixels.data = nullptr;
}

}  // namespace

void LoadLensFlare(const char* name0, const char* name1, const char* name2,
                   const LensFlareElement* elements, std::uint32_t count) {
  LensFlareElements.count = 0;
  LensFlareElements.imageCount = 0;
  const char* names[kLensFlareImageCount] = {name0, name1, name2};
  for (std::uint32_t i = 0; i < kLensFlareImageCount; ++i)
    if (!ReadImage(names[i], LensFlareImages[i], "Lens Flares Off !")) return;
  for (FloatTexture2D& image : LensFlareImages) UploadAndRelease(image);
  LensFlareElements.imageCount = kLensFlareImageCount;
  for (std::uint32_t i = 0; i < count && LensFlareElements.count < kLensFlareCapacity; ++i)
    if (elements[i].image < kLensFlareImageCount)
      LensFlareElements.elements[LensFlareElements.count++] = elements[i];
}

void LoadLightRays(const char* name) {
  const LightShaftParameters& p = LightShaftParams;
  LoadLightRaysWith(name, p.intensity, p.horizonCoverage, p.length);
}

void LoadLightRaysWith(const char* name, float intensity, float horizonCoverage, float length) {
  if (intensity <= kLightShaftThreshold) return;
  LightShaftParams.intensity = intensity * kLightShaftIntensityScale;
  LightShaftParams.horizonCoverage = 1.0f - horizonCoverage;
  LightShaftParams.length = length;
  LightShaftsEnabled = 1;
  if (!ReadImage(name, LightRayTexture, "Light Shafts Off !")) {
    LightShaftsEnabled = 0;
    return;
  }
  UploadAndRelease(LightRayTexture);
}

}  // namespace veskor
