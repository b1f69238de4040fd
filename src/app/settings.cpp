#include "app/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

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
std::uint32_t FirstLaunchUnanswered = 0;
std::uint32_t MultiSampleSize = 2;
float ObjectGeo = kDefaultObjectGeo;
float ObjectTex = kDefaultObjectTex;
float TerrainGeo = kDefaultTerrainGeo;
float TerrainTex = kDefaultTerrainTex;
float Portal = kDefaultPortal;
float CloudLow = kDefaultCloudLow;
float Overall = kDefaultOverall;
std::uint32_t IsLangCtrlLOD = 0;
std::uint32_t SettingsWarningShown = 0;

namespace {

// The RenderLOD values in the store's order, each with its default.
struct LodFactor {
  const char* name;
  float* value;
  float fallback;
};
constexpr LodFactor kLodFactors[] = {{"ObjectGeo", &ObjectGeo, kDefaultObjectGeo},
                                     {"ObjectTex", &ObjectTex, kDefaultObjectTex},
                                     {"TerrainGeo", &TerrainGeo, kDefaultTerrainGeo},
                                     {"TerrainTex", &TerrainTex, kDefaultTerrainTex},
                                     {"Portal", &Portal, kDefaultPortal},
                                     {"CloudLow", &CloudLow, kDefaultCloudLow},
                                     {"Overall", &Overall, kDefaultOverall}};

// The sliders' range, both ends included; NaN is outside it.
bool IsLodFraction(float value) { return value >= 0.0f && value <= 1.0f; }

constexpr const char* kDirectoriesUnreadable = "Registry -> Directories !";
constexpr const char* kSettingsUnreadable = "Registry -> Settings !";

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool Is(const char* text, const char* expected) { return std::strcmp(text, expected) == 0; }

const char* TrueFalse(std::uint32_t flag) { return flag != 0 ? "TRUE" : "FALSE"; }

// "TRUE" 1, "FALSE" 0, else -1.
int ParseTrueFalse(const char* text) {
  if (Is(text, "TRUE")) return 1;
  if (Is(text, "FALSE")) return 0;
  return -1;
}

// `text` quoted as the store quotes it ("\\" for a backslash, "\"" for a quote), with control
// bytes as \xNN, so that no value of the store steers the terminal that shows stderr.
std::string StoreQuoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      quoted += hex;
    } else {
      if (c == '\\' || c == '"') quoted += '\\';
      quoted += c;
    }
  }
  return quoted + '"';
}

// Says on stderr which value of which store was refused and what it may be.
void SayRefused(const char* key, const char* name, const char* value, const std::string& wanted) {
  std::fprintf(stderr, "veskor: the settings store %s has \"%s\"=%s of [%s], which is not %s\n",
               SettingsStorePath().c_str(), name, StoreQuoted(value).c_str(), key, wanted.c_str());
}

// The box that ends the start over a refused setting names neither the store nor the value:
// stderr does.
[[noreturn]] void Refused(const char* key, const char* name, const char* value,
                          const std::string& wanted, const char* place, const char* message) {
  SayRefused(key, name, value, wanted);
  ReportError(place, message);
}

// Says on stderr why the value `name` of `key` was not read: the store is missing, is not a
// regular file, could not be read (another process held it, say), is empty or too large, or has
// no such value that reads (a line that breaks the store's rules is not there), none that fits
// its buffer, or (`emptyIsMissing`) an empty one. The file is looked at by stat alone: the open
// of a FIFO would wait for a writer.
void SayUnread(const char* key, const char* name, bool emptyIsMissing) {
  const std::string path = SettingsStorePath();
  struct stat st {};
  const bool known = ::stat(path.c_str(), &st) == 0;
  const int statFailure = errno;
  const char* kind = known ? SettingsFileKind(path) : nullptr;
  const std::string& failure = SettingsReadFailure();
  const bool tooLarge = static_cast<std::uintmax_t>(st.st_size) > kSettingsFileMax;
  if (path.empty()) {
    std::fprintf(stderr, "veskor: no settings store: neither $VESKOR_REGISTRY nor $HOME is set\n");
  } else if (!known) {
    std::fprintf(stderr, "veskor: cannot read the settings store %s: %s\n", path.c_str(),
                 std::strerror(statFailure));
  } else if (S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "veskor: the settings store %s is a directory\n", path.c_str());
  } else if (kind != nullptr) {
    // Read and written many times a run, the store must give back what was written to it.
    std::fprintf(stderr, "veskor: the settings store %s is %s, not a regular file\n", path.c_str(),
                 kind);
  } else if (!failure.empty() && !tooLarge) {
    std::fprintf(stderr, "veskor: cannot read the settings store %s: %s\n", path.c_str(),
                 failure.c_str());
  } else if (st.st_size == 0) {
    std::fprintf(stderr, "veskor: the settings store %s is empty\n", path.c_str());
  } else if (tooLarge) {
    std::fprintf(stderr,
                 "veskor: the settings store %s is too large to read: %jd bytes, over its limit "
                 "of %zu\n",
                 path.c_str(), static_cast<std::intmax_t>(st.st_size), kSettingsFileMax);
  } else {
    std::fprintf(stderr, "veskor: the settings store %s has no %svalue \"%s\" of [%s], %s\n",
                 path.c_str(), emptyIsMissing ? "" : "readable ", name, key,
                 emptyIsMissing ? "an empty one or too long a one" : "or too long a one");
  }
}

// Reads `name` of the Settings or root key, or ends the program with "Registry -> Settings !",
// saying why on stderr.
const char* RequireValue(const char* key, const char* name, char* buffer) {
  if (RegReadValue(kHkeyCurrentUser, key, name, buffer) != 0) return buffer;
  SayUnread(key, name, false);
  ReportError(kPlaceMainPlane, kSettingsUnreadable);
}

// A TRUE/FALSE setting, or the end of the program with `message`.
std::uint32_t RequireTrueFalse(const char* key, const char* name, const char* message) {
  char text[kRegValueBytes];
  const int v = ParseTrueFalse(RequireValue(key, name, text));
  if (v < 0) Refused(key, name, text, "TRUE or FALSE", kPlaceInit, message);
  return static_cast<std::uint32_t>(v);
}

// The box names neither the store nor a way to make one: stderr says which file was read,
// what it lacks, and how a store is written.
[[noreturn]] void DirectoriesUnreadable(const char* name) {
  SayUnread(kRegPathsKey, name, true);
  std::fputs(
      "veskor: the store is $VESKOR_REGISTRY, else $XDG_CONFIG_HOME/veskor/registry when\n"
      "veskor: $XDG_CONFIG_HOME is absolute, else ~/.config/veskor/registry. To write one where\n"
      "veskor: none exists or into an empty one, run scripts/run [world], which then starts the\n"
      "veskor: program, or the write_settings_store tool:\n"
      "veskor:   cmake --build <build dir> --target veskor_settings_store\n",
      stderr);
  ReportError(kPlaceMainPlane, kDirectoriesUnreadable);
}

void ReadDirectories() {
  static const char* const kNames[] = {"VeskorDir", "BinaryDir", "SystemDir", "ResourceDir",
                                       "WorkingDir"};
  char values[5][kRegValueBytes];
  for (int i = 0; i < 5; ++i) {
    // An empty value would become "/", the root: it counts as missing.
    if (RegReadValue(kHkeyCurrentUser, kRegPathsKey, kNames[i], values[i]) == 0 ||
        values[i][0] == '\0')
      DirectoriesUnreadable(kNames[i]);
  }
  // A directory that does not fit its buffer with its '/' (and the resource directory's "Img/")
  // is refused.
  int refused = 0;
  if (!SetSearchDirs(values[0], values[1], values[2], values[3], values[4], &refused)) {
    const std::size_t longest = refused == 3 ? kResourceDirLongest : kSearchDirLongest;
    Refused(kRegPathsKey, kNames[refused], values[refused],
            "a directory of at most " + std::to_string(longest) + " characters, its '/' included",
            kPlaceMainPlane, kDirectoriesUnreadable);
  }
}

// Reads the integer `name` of the Settings or root key, at least `least`; a value that is
// missing or not such a number ends the program with "Registry -> Settings !".
std::int32_t RequireInt(const char* key, const char* name, std::int32_t least) {
  char v[kRegValueBytes];
  std::int32_t n = 0;
  if (!ParseWholeInt(RequireValue(key, name, v), &n) || n < least) {
    Refused(key, name, v,
            "a whole number from " + std::to_string(least) + " to " + std::to_string(INT32_MAX),
            kPlaceMainPlane, kSettingsUnreadable);
  }
  return n;
}

void ReadDisplaySettings(MainPlane& plane) {
  char v[kRegValueBytes];
  const char* key = kRegSettingsKey;
  WindowedWidth = static_cast<std::uint32_t>(RequireInt(key, "XSize", 1));
  WindowedHeight = static_cast<std::uint32_t>(RequireInt(key, "YSize", 1));
  WindowedX = RequireInt(key, "XPos", INT32_MIN);
  WindowedY = RequireInt(key, "YPos", INT32_MIN);

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
    Refused(key, "ColorBits", v, "16, 24 or 32", kPlaceInit, "Unknown Nb. Bits Per Color !");
  }
  RequireValue(key, "DepthBits", v);
  if (!Is(v, "16") && !Is(v, "24") && !Is(v, "32"))
    Refused(key, "DepthBits", v, "16, 24 or 32", kPlaceInit, "Unknown Nb. Bits Per Depth !");
  std::int32_t depth = 0;
  ParseWholeInt(v, &depth);  // one of the three texts above
  DepthBits = static_cast<std::uint32_t>(depth);
  RequireValue(key, "StencilBits", v);
  if (!Is(v, "8"))
    Refused(key, "StencilBits", v, "8", kPlaceInit, "Unknown Nb. Bits Per Stencil !");
  plane.stencilBits = 8;

  FullScreenMode = RequireTrueFalse(key, "FullScreenMode", "Unknown Full Screen Mode !");
  RequireValue(key, "FullScreenSize", v);
  std::uint32_t index = 1;
  while (index <= kFullScreenSizeCount && !Is(v, FullScreenSizeTable[index].text)) ++index;
  if (index > kFullScreenSizeCount) {
    std::string sizes = "one of ";
    for (std::uint32_t i = 1; i <= kFullScreenSizeCount; ++i)
      sizes += FullScreenSizeTable[i].text + std::string(i < kFullScreenSizeCount ? ", " : "");
    Refused(key, "FullScreenSize", v, sizes, "", "Unknown Full Screen Resolution !");
  }
  plane.fullScreenSizeIndex = index;
  plane.fullScreenWidth = FullScreenSizeTable[index].width;
  plane.fullScreenHeight = FullScreenSizeTable[index].height;

  MultiSampleMode = RequireTrueFalse(key, "MultiSampleMode", "Unknown Multisample Mode !");
  MultiSampleQuality = Is(RequireValue(key, "MultiSampleQuality", v), "NICEST") ? 1 : 0;
  RequireValue(key, "MultiSampleSize", v);
  if (!Is(v, "2") && !Is(v, "4"))
    Refused(key, "MultiSampleSize", v, "2 or 4", kPlaceInit, "Unknown Multisample Mode !");
  MultiSampleSize = static_cast<std::uint32_t>(v[0] - '0');
  plane.fpsFlag = RequireTrueFalse(key, "FPS", "Unknown Frame Per Second Mode !");
  plane.ppsFlag = RequireTrueFalse(key, "PPS", "Unknown Frame Per Second Mode !");
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

bool ParseWholeInt(const char* text, std::int32_t* value) {
  const std::string_view t = TrimBlanks(text);
  std::int32_t n = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), n);
  if (t.empty() || r.ec != std::errc{} || r.ptr != t.data() + t.size()) return false;
  *value = n;
  return true;
}

bool ParseWholeFloat(const char* text, float* value) {
  const std::string_view t = TrimBlanks(text);
  float f = 0.0f;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), f);
  if (t.empty() || r.ec != std::errc{} || r.ptr != t.data() + t.size() || !std::isfinite(f))
    return false;
  *value = f;
  return true;
}

void MainPlaneReadSettings(MainPlane& plane) {
  ReadDirectories();
  char v[kRegValueBytes];
  const int first = ParseTrueFalse(RequireValue(kRegRootKey, "FirstLaunch", v));
  if (first >= 0) FirstLaunch = static_cast<std::uint32_t>(first);
  LanguageIndex = RequireInt(kRegRootKey, "IDL", INT32_MIN);
  ReadDisplaySettings(plane);
  plane.settingsRead = 1;
}

void ReadRenderLod() {
  char v[kRegValueBytes];
  for (const LodFactor& f : kLodFactors) {
    float value = 0.0f;
    if (RegReadValue(kHkeyCurrentUser, kRegRenderLodKey, f.name, v) == 0) return;
    if (!ParseWholeFloat(v, &value) || !IsLodFraction(value)) {
      SayRefused(kRegRenderLodKey, f.name, v, "a number from 0 to 1");
      return;
    }
    *f.value = value;
  }
  if (RegReadValue(kHkeyCurrentUser, kRegRenderLodKey, "IsLangCtrlLOD", v) == 0) return;
  const int flag = ParseTrueFalse(v);
  if (flag < 0) {
    SayRefused(kRegRenderLodKey, "IsLangCtrlLOD", v, "TRUE or FALSE");
  } else {
    IsLangCtrlLOD = static_cast<std::uint32_t>(flag);
  }
}

std::uint32_t SaveSettings(const MainPlane& plane) {
  const char* key = kRegSettingsKey;
  char size[32];
  char* end = std::to_chars(size, size + 12, plane.fullScreenWidth).ptr;
  *end++ = 'x';
  *std::to_chars(end, size + 31, plane.fullScreenHeight).ptr = '\0';
  const bool ok =
      WriteValue(kRegRootKey, "FirstLaunch", FirstLaunchUnanswered != 0 ? "TRUE" : "FALSE") &&
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
  if (WriteRenderLod() == 0) WarnSettingsNotSaved(kPlaceSettings);
}

void WarnSettingsNotSaved(const char* place) {
  if (SettingsWarningShown != 0) return;
  SettingsWarningShown = 1;
  const std::string message = "Settings not saved !\n\nCannot write " + SettingsStorePath() +
                              " :\n" + SettingsWriteFailure();
  ReportWarning(place, message.c_str());
}

std::uint32_t WriteRenderLod() {
  for (const LodFactor& f : kLodFactors) {
    // fabs: a -0 read from the store is written "0.000".
    if (!WriteFraction(f.name, IsLodFraction(*f.value) ? std::fabs(*f.value) : f.fallback))
      return 0;
  }
  return WriteValue(kRegRenderLodKey, "IsLangCtrlLOD", TrueFalse(IsLangCtrlLOD)) ? 1 : 0;
}

}  // namespace veskor
