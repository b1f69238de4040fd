#include "app/settings.h"

#include <locale.h>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "app/error_boxes.h"
#include "app/main_interface_callbacks.h"
#include "app/main_plane.h"
#include "app/registry.h"
#include "app/text_resources.h"
#include "app/window_proc.h"
#include "foundation/search_dirs.h"

namespace veskor {

const FullScreenSize FullScreenSizeTable[kFullScreenSizeCount + 1] = {
    {"", 0, 0},
    {"640x480", 640, 480},
    {"800x600", 800, 600},
    {"1024x768", 1024, 768},
    {"1152x864", 1152, 864},
    {"1280x1024", 1280, 1024},
    {"1400x1050", 1400, 1050},
    {"1600x1200", 1600, 1200},
    {"2048x1536", 2048, 1536},
};

std::uint32_t FirstLaunch = 1;
std::uint32_t MultiSampleSize = 2;
float ObjectGeo = 0.5f;
float ObjectTex = 0.25f;
float TerrainGeo = 0.5f;
float TerrainTex = 0.125f;
float Portal = 0.75f;
float CloudLow = 0.0f;
float Overall = 0.5f;
std::uint32_t IsLangCtrlLOD = 0;

namespace {

constexpr const char* kDirectoriesUnreadable = "Registry -> Directories !";
constexpr const char* kSettingsUnreadable = "Registry -> Settings !";

locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return locale;
}

bool Is(const char* text, const char* expected) { return std::strcmp(text, expected) == 0; }

const char* TrueFalse(std::uint32_t flag) { return flag != 0 ? "TRUE" : "FALSE"; }

// "TRUE" 1, "FALSE" 0, else -1.
int ParseTrueFalse(const char* text) {
  if (Is(text, "TRUE")) return 1;
  if (Is(text, "FALSE")) return 0;
  return -1;
}

// A TRUE/FALSE setting, or the end of the program with `message`.
std::uint32_t RequireTrueFalse(const char* text, const char* message) {
  const int v = ParseTrueFalse(text);
  if (v < 0) ReportError(kPlaceInit, message);
  return static_cast<std::uint32_t>(v);
}

// Reads `name` of the Settings or root key, or ends the program with "Registry -> Settings !".
const char* RequireValue(const char* key, const char* name, char* buffer) {
  if (RegReadValue(kHkeyCurrentUser, key, name, buffer) == 0)
    ReportError(kPlaceMainPlane, kSettingsUnreadable);
  return buffer;
}

void ReadDirectories() {
  static const char* const kNames[] = {"VeskorDir", "BinaryDir", "SystemDir", "ResourceDir",
                                       "WorkingDir"};
  char values[5][kRegValueBytes];
  for (int i = 0; i < 5; ++i) {
    if (RegReadValue(kHkeyCurrentUser, kRegPathsKey, kNames[i], values[i]) == 0)
      ReportError(kPlaceMainPlane, kDirectoriesUnreadable);
  }
  // A directory that does not fit its buffer with its '/' counts as unreadable.
  if (!SetSearchDirs(values[0], values[1], values[2], values[3], values[4]))
    ReportError(kPlaceMainPlane, kDirectoriesUnreadable);
}

void ReadDisplaySettings(MainPlane& plane) {
  char v[kRegValueBytes];
  const char* key = kRegSettingsKey;
  WindowedWidth = static_cast<std::uint32_t>(DecimalToInt(RequireValue(key, "XSize", v)));
  WindowedHeight = static_cast<std::uint32_t>(DecimalToInt(RequireValue(key, "YSize", v)));
  WindowedX = DecimalToInt(RequireValue(key, "XPos", v));
  WindowedY = DecimalToInt(RequireValue(key, "YPos", v));

  RequireValue(key, "ColorBits", v);
  if (Is(v, "16")) {
    plane.colourBits = 16;
  } else if (Is(v, "24")) {
    plane.colourBits = 24;
    plane.alphaBits = 0;
  } else if (Is(v, "32")) {
    plane.colourBits = 32;
    plane.alphaBits = 8;
  } else {
    ReportError(kPlaceInit, "Unknown Nb. Bits Per Color !");
  }
  RequireValue(key, "DepthBits", v);
  if (!Is(v, "16") && !Is(v, "24") && !Is(v, "32"))
    ReportError(kPlaceInit, "Unknown Nb. Bits Per Depth !");
  DepthBits = static_cast<std::uint32_t>(DecimalToInt(v));
  RequireValue(key, "StencilBits", v);
  if (!Is(v, "8")) ReportError(kPlaceInit, "Unknown Nb. Bits Per Stencil !");
  plane.stencilBits = 8;

  FullScreenMode =
      RequireTrueFalse(RequireValue(key, "FullScreenMode", v), "Unknown Full Screen Mode !");
  RequireValue(key, "FullScreenSize", v);
  std::uint32_t index = 1;
  while (index <= kFullScreenSizeCount && !Is(v, FullScreenSizeTable[index].text)) ++index;
  if (index > kFullScreenSizeCount) ReportError("", "Unknown Full Screen Resolution !");
  plane.fullScreenSizeIndex = index;
  plane.fullScreenWidth = FullScreenSizeTable[index].width;
  plane.fullScreenHeight = FullScreenSizeTable[index].height;

  MultiSampleMode =
      RequireTrueFalse(RequireValue(key, "MultiSampleMode", v), "Unknown Multisample Mode !");
  MultiSampleQuality = Is(RequireValue(key, "MultiSampleQuality", v), "NICEST") ? 1 : 0;
  RequireValue(key, "MultiSampleSize", v);
  if (!Is(v, "2") && !Is(v, "4")) ReportError(kPlaceInit, "Unknown Multisample Mode !");
  MultiSampleSize = static_cast<std::uint32_t>(v[0] - '0');
  plane.fpsFlag = RequireTrueFalse(RequireValue(key, "FPS", v), "Unknown Frame Per Second Mode !");
  plane.ppsFlag = RequireTrueFalse(RequireValue(key, "PPS", v), "Unknown Frame Per Second Mode !");
}

bool WriteValue(const char* key, const char* name, const char* text) {
  return RegWriteString(kHkeyCurrentUser, key, name, text) != 0;
}

bool WriteInt(const char* key, const char* name, std::int64_t value) {
  char text[24];
  *std::to_chars(text, text + sizeof text - 1, value).ptr = '\0';
  return WriteValue(key, name, text);
}

bool WriteFraction(const char* name, float value) {
  char text[64];
  const auto r = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed, 3);
  if (r.ec != std::errc{}) return false;
  *r.ptr = '\0';
  return WriteValue(kRegRenderLodKey, name, text);
}

}  // namespace

std::int32_t DecimalToInt(const char* text) {
  const long v = strtol_l(text, nullptr, 10, CLocale());
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

float DecimalToFloat(const char* text) {
  return static_cast<float>(strtod_l(text, nullptr, CLocale()));
}

void MainPlaneReadSettings(MainPlane& plane) {
  ReadDirectories();
  char v[kRegValueBytes];
  const int first = ParseTrueFalse(RequireValue(kRegRootKey, "FirstLaunch", v));
  if (first >= 0) FirstLaunch = static_cast<std::uint32_t>(first);
  LanguageIndex = DecimalToInt(RequireValue(kRegRootKey, "IDL", v));
  ReadDisplaySettings(plane);
  plane.settingsRead = 1;
}

void ReadRenderLod() {
  static const struct {
    const char* name;
    float* value;
  } kFactors[] = {{"ObjectGeo", &ObjectGeo},   {"ObjectTex", &ObjectTex},
                  {"TerrainGeo", &TerrainGeo}, {"TerrainTex", &TerrainTex},
                  {"Portal", &Portal},         {"CloudLow", &CloudLow},
                  {"Overall", &Overall}};
  char v[kRegValueBytes];
  for (const auto& f : kFactors) {
    if (RegReadValue(kHkeyCurrentUser, kRegRenderLodKey, f.name, v) == 0) return;
    *f.value = DecimalToFloat(v);
  }
  if (RegReadValue(kHkeyCurrentUser, kRegRenderLodKey, "IsLangCtrlLOD", v) == 0) return;
  const int flag = ParseTrueFalse(v);
  if (flag >= 0) IsLangCtrlLOD = static_cast<std::uint32_t>(flag);
}

std::uint32_t SaveSettings(const MainPlane& plane) {
  const char* key = kRegSettingsKey;
  char size[32];
  char* end = std::to_chars(size, size + 12, plane.fullScreenWidth).ptr;
  *end++ = 'x';
  *std::to_chars(end, size + 31, plane.fullScreenHeight).ptr = '\0';
  const bool ok =
      WriteValue(kRegRootKey, "FirstLaunch", "FALSE") &&
      WriteInt(kRegRootKey, "IDL", LanguageIndex) &&
      WriteInt(key, "XSize", static_cast<std::int32_t>(WindowedWidth)) &&
      WriteInt(key, "YSize", static_cast<std::int32_t>(WindowedHeight)) &&
      WriteInt(key, "XPos", WindowedX) && WriteInt(key, "YPos", WindowedY) &&
      WriteValue(key, "FullScreenMode", TrueFalse(FullScreenMode)) &&
      WriteValue(key, "FullScreenSize", size) &&
      WriteValue(key, "MultiSampleMode", TrueFalse(MultiSampleMode)) &&
      WriteValue(key, "MultiSampleQuality", MultiSampleQuality == 1 ? "NICEST" : "FASTEST") &&
      WriteInt(key, "MultiSampleSize", MultiSampleSize) &&
      WriteInt(key, "ColorBits", plane.colourBits) && WriteInt(key, "DepthBits", DepthBits) &&
      WriteInt(key, "StencilBits", plane.stencilBits) &&
      WriteValue(key, "FPS", TrueFalse(plane.fpsFlag)) &&
      WriteValue(key, "PPS", TrueFalse(plane.ppsFlag));
  return ok ? 1 : 0;
}

void SaveRenderLod() {
  HideSetupPanel();
  WriteRenderLod();
}

std::uint32_t WriteRenderLod() {
  const bool written = WriteFraction("ObjectGeo", ObjectGeo) &&
                       WriteFraction("ObjectTex", ObjectTex) &&
                       WriteFraction("TerrainGeo", TerrainGeo) &&
                       WriteFraction("TerrainTex", TerrainTex) && WriteFraction("Portal", Portal) &&
                       WriteFraction("CloudLow", CloudLow) && WriteFraction("Overall", Overall) &&
                       WriteValue(kRegRenderLodKey, "IsLangCtrlLOD", TrueFalse(IsLangCtrlLOD));
  return written ? 1 : 0;
}

}  // namespace veskor
