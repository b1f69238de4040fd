// The program's settings in the store: the directories and display settings read once at start
// (the first half of MainPlaneInit), the level-of-detail factors read again at each compile
// and by the main interface, and their writing back (SaveSettings at normal exit, SaveRenderLod
// when the setup panel closes). Numbers are read and written in the C locale.
#pragma once

#include <cstdint>

namespace veskor {

class MainPlane;

// The full-screen sizes, index 1 to 8, with their stored texts ("640x480" .. "2048x1536").
struct FullScreenSize {
  const char* text;
  std::uint32_t width;
  std::uint32_t height;
};
inline constexpr std::uint32_t kFullScreenSizeCount = 8;
extern const FullScreenSize FullScreenSizeTable[kFullScreenSizeCount + 1];  // entry 0 unused

// 1 until the first normal exit (value FirstLaunch).
extern std::uint32_t FirstLaunch;
// 1 while the first launch's question is open, and after it was closed without an answer (a
// quit signal): SaveSettings then keeps FirstLaunch TRUE, so that the next launch asks again.
extern std::uint32_t FirstLaunchUnanswered;
// Samples per pixel when multisampling (2 or 4).
extern std::uint32_t MultiSampleSize;
// The level-of-detail factors and the flag that lets a world's keys rule them. Each factor is a
// fraction in [0, 1], the sliders' range; the defaults are what the program starts with.
inline constexpr float kDefaultObjectGeo = 0.5f;
inline constexpr float kDefaultObjectTex = 0.25f;
inline constexpr float kDefaultTerrainGeo = 0.5f;
inline constexpr float kDefaultTerrainTex = 0.125f;
inline constexpr float kDefaultPortal = 0.75f;
inline constexpr float kDefaultCloudLow = 0.0f;
inline constexpr float kDefaultOverall = 0.5f;
extern float ObjectGeo;
extern float ObjectTex;
extern float TerrainGeo;
extern float TerrainTex;
extern float Portal;
extern float CloudLow;
extern float Overall;
extern std::uint32_t IsLangCtrlLOD;

// Reads the directories (into the search directories) and the settings in their order. The
// first value that cannot be read or is not accepted ends the program through ReportError
// with its message, saying on stderr which value of which store it was; nothing is written.
// An empty directory counts as missing; one longer than its buffer holds with its final '/'
// (kSearchDirLongest; kResourceDirLongest for ResourceDir) is refused. IDL, XPos and YPos must
// be whole integers, XSize and YSize whole integers of 1 or more: anything else counts as
// unreadable.
void MainPlaneReadSettings(MainPlane& plane);

// The RenderLOD values in order, then IsLangCtrlLOD. The first factor that cannot be read, is
// not wholly a number or lies outside [0, 1] ("1e30", "-0.001") stops the reading, and it and
// the following keep their values (the defaults, until a value was read or a slider moved,
// both within [0, 1]). An IsLangCtrlLOD other than TRUE or FALSE keeps the flag. A value that
// is there but damaged is said on stderr as a refused setting is ("... which is not a number
// from 0 to 1"); one that is missing or too long for its buffer is not.
void ReadRenderLod();

// Writes every setting, each in its own open of its key; 0 at the first that fails (the rest
// keep their stored values), else 1. FirstLaunch is written FALSE, or TRUE while
// FirstLaunchUnanswered.
std::uint32_t SaveSettings(const MainPlane& plane);

// Hides the setup panel when shown, then writes the RenderLOD values (WriteRenderLod); a
// failure is warned of (WarnSettingsNotSaved).
void SaveRenderLod();
// Writes the RenderLOD values, each as "%.3f" in the C locale (a factor outside [0, 1] as its
// default: none is ever written damaged), then IsLangCtrlLOD; the first failing write ends the
// writing (0).
std::uint32_t WriteRenderLod();

// After a failed SaveSettings or WriteRenderLod: a Warning box at `place` that names the
// store's file and the reason of the failure. Shown once a run (SettingsWarningShown): one
// unwritable store would otherwise be told of at every save (the menu's choices, the setup
// panel, the exit).
void WarnSettingsNotSaved(const char* place);
extern std::uint32_t SettingsWarningShown;

// The numbers of the store, in the C locale. The whole text, blanks and tabs around it aside,
// must be the number: a decimal integer of 32 bits (a minus sign, digits), or a finite decimal
// fraction ("0.500", "1e-1"). Any other text (empty, "abc", "768px", out of range) gives false
// and leaves `value`, and its key then counts as missing.
bool ParseWholeInt(const char* text, std::int32_t* value);
bool ParseWholeFloat(const char* text, float* value);

}  // namespace veskor
