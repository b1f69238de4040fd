#include "shell_test_support.h"

#include <SDL.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/registry.h"
#include "gfx/gl_capabilities.h"
#include "support/sound_files.h"

namespace veskor::test {

namespace {

std::vector<ScriptStep> gScript;
std::size_t gScriptNext = 0;
int gIdlePasses = 0;
int gMaxIdlePasses = 0;
int gSwaps = 0;
bool gScriptedPointer = false;

// The messages of the window's own pointer: the X server's pointer entering, leaving or
// crossing the window (as other windows come and go over it), whenever they arrive.
bool RealPointerMessage(const WindowMessage& m) {
  return m.message == kWmNull || m.message == kWmNcHitTest || m.message == kWmMouseLeave ||
         (m.message >= kWmMouseMove && m.message <= kWmMButtonUp);
}

bool ScriptedPeek(WindowMessage* message) {
  if (gScriptNext < gScript.size() && gIdlePasses >= gScript[gScriptNext].idleBefore &&
      (gScript[gScriptNext].ready == nullptr || gScript[gScriptNext].ready())) {
    *message = gScript[gScriptNext++].message;
    gIdlePasses = 0;
    return true;
  }
  while (PeekWindowMessage(message))
    if (!gScriptedPointer || !RealPointerMessage(*message)) return true;
  // The script's end, or a step whose state never comes.
  if (++gIdlePasses > gMaxIdlePasses) {
    *message = {kWmQuit, 99, 0};
    return true;
  }
  return false;
}

std::uint32_t DoubleWindowHalf(MainPlane& plane, const char*, const char*, std::uint32_t) {
  ExtensionMask = gWindowHalf.extensions;
  plane.boardClass = gWindowHalf.boardClass;
  std::snprintf(plane.vendor, sizeof plane.vendor, "Acme Graphics");
  std::snprintf(plane.renderer, sizeof plane.renderer, "Pixel Mill 3");
  return gWindowHalf.result;
}

void NoSwap(MainPlane&) {}

void CountingSwap(MainPlane& plane) {
  ++gSwaps;
  DefaultShellPorts().swapBuffers(plane);
}

void StartScript(std::vector<ScriptStep> steps, int maxIdlePasses) {
  gScript = std::move(steps);
  gScriptNext = 0;
  gIdlePasses = 0;
  gMaxIdlePasses = maxIdlePasses;
  gSwaps = 0;
}

}  // namespace

WindowHalfDouble gWindowHalf;

TestStore::TestStore(const TempDir& dir) : dir_(dir), path_(dir.Path("registry")) {
  const char* saved = getenv("VESKOR_REGISTRY");
  wasSet_ = saved != nullptr;
  savedPath_ = wasSet_ ? saved : "";
  setenv("VESKOR_REGISTRY", path_.c_str(), 1);
  const std::string d = dir.path();
  const std::string root = kRegRootKey, paths = kRegPathsKey, settings = kRegSettingsKey,
                    lod = kRegRenderLodKey;
  values = {{root, "FirstLaunch", "TRUE"},
            {root, "IDL", "0"},
            {paths, "VeskorDir", d + "product/"},
            {paths, "BinaryDir", d + "binary/"},
            {paths, "SystemDir", d + "system/"},
            {paths, "ResourceDir", d + "resources/"},
            {paths, "WorkingDir", d + "work/"},
            {settings, "XSize", "1024"},
            {settings, "YSize", "768"},
            {settings, "XPos", "50"},
            {settings, "YPos", "50"},
            {settings, "ColorBits", "32"},
            {settings, "DepthBits", "24"},
            {settings, "StencilBits", "8"},
            {settings, "FullScreenMode", "FALSE"},
            {settings, "FullScreenSize", "1024x768"},
            {settings, "MultiSampleMode", "FALSE"},
            {settings, "MultiSampleQuality", "FASTEST"},
            {settings, "MultiSampleSize", "2"},
            {settings, "FPS", "FALSE"},
            {settings, "PPS", "FALSE"},
            {lod, "ObjectGeo", "0.500"},
            {lod, "ObjectTex", "0.250"},
            {lod, "TerrainGeo", "0.500"},
            {lod, "TerrainTex", "0.125"},
            {lod, "Portal", "0.750"},
            {lod, "CloudLow", "0.000"},
            {lod, "Overall", "0.500"},
            {lod, "IsLangCtrlLOD", "FALSE"}};
}

TestStore::~TestStore() {
  wasSet_ ? setenv("VESKOR_REGISTRY", savedPath_.c_str(), 1) : unsetenv("VESKOR_REGISTRY");
}

void TestStore::Set(const std::string& name, const std::string& value) {
  for (StoreValue& v : values) {
    if (v.name == name) {
      v.value = value;
      return;
    }
  }
  ADD_FAILURE() << "no value " << name;
}

void TestStore::Remove(const std::string& name) {
  std::erase_if(values, [&](const StoreValue& v) { return v.name == name; });
}

std::string TestStore::Write() const {
  std::vector<std::string> keys;
  for (const StoreValue& v : values)
    if (std::find(keys.begin(), keys.end(), v.key) == keys.end()) keys.push_back(v.key);
  std::string text = "Windows Registry Editor Version 5.00\n";
  for (const std::string& key : keys) {
    text += "\n[" + key + "]\n";
    for (const StoreValue& v : values) {
      if (v.key != key) continue;
      text += '"' + v.name + "\"=\"";
      for (char c : v.value)
        text += (c == '\\' || c == '"') ? std::string{'\\', c} : std::string{c};
      text += "\"\n";
    }
  }
  dir_.Write("registry", text);
  return text;
}

std::string TestStore::TextResourcePath() const { return dir_.Path("resources/Txt/en/txtres.txt"); }

void TestStore::WriteResources(bool text, bool music) const {
  std::filesystem::create_directories(dir_.Path("resources/Txt/en"));
  std::filesystem::create_directories(dir_.Path("resources/Snd"));
  if (text) {
    std::string lines;
    for (int i = 0; i < 79; ++i) lines += "text " + std::to_string(i) + "\n";
    dir_.Write("resources/Txt/en/txtres.txt", lines);
  }
  if (music) {
    const OggDesc ogg{1, 22050, Sine(2205, 1, 22050, 440, 0.5)};
    dir_.Write("resources/Snd/introveskor.ogg", EncodeOgg(ogg));
  }
#ifdef VESKOR_PRODUCT_DIR
  // The interface pictures the first frame's builder loads: the product tree's.
  std::error_code present;  // written once for the store's directory
  std::filesystem::create_directory_symlink(VESKOR_PRODUCT_DIR "resources/Img",
                                            dir_.Path("resources/Img"), present);
#endif
}

ShellPorts ScriptedPorts(std::vector<WindowMessage> script, int maxIdlePasses) {
  std::vector<ScriptStep> steps;
  for (const WindowMessage& m : script) steps.push_back({m, 0});
  StartScript(std::move(steps), maxIdlePasses);
  gScriptedPointer = false;
  return {DoubleWindowHalf, ScriptedPeek, NoSwap};
}

ShellPorts WindowPorts(std::vector<ScriptStep> steps, int maxIdlePasses) {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "WindowPorts: this process's parent had the video system up: the "
                         "window would wait for driver threads it does not have\n");
    _exit(97);
  }
  StartScript(std::move(steps), maxIdlePasses);
  gScriptedPointer = true;
  return {DefaultShellPorts().initWindow, ScriptedPeek, CountingSwap};
}

int SwapCount() { return gSwaps; }

int RunInChild(const std::function<void()>& body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(98);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace veskor::test
