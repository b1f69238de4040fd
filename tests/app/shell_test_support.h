// What the shell's tests share: a complete settings store they can edit before writing it,
// the resource files start-up needs, a double for the window half of start-up, and a way to
// run the program's start-up in a child process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/program_entry.h"
#include "app/settings.h"
#include "app/text_resources.h"
#include "app/window_proc.h"
#include "foundation/search_dirs.h"
#include "gfx/view_plane.h"
#include "support/kept_global.h"
#include "support/temp_dir.h"

namespace veskor::test {

// One value of the store: key path, value name, text.
struct StoreValue {
  std::string key;
  std::string name;
  std::string value;
};

// A store with every key and value the program reads, in accepted forms, its directories all
// under `dir`; and the environment pointing at its file. Edit `values`, then Write().
class TestStore {
 public:
  explicit TestStore(const TempDir& dir);
  ~TestStore();
  void Set(const std::string& name, const std::string& value);  // the first value so named
  void Remove(const std::string& name);
  // Writes the store file (keys in their first order) and returns its text.
  std::string Write() const;
  std::string Text() const { return ReadFileText(path_); }
  const std::string& path() const { return path_; }
  // The text resources and the intro music in the store's resource directory, and the product
  // tree's interface pictures as its image directory.
  void WriteResources(bool text = true, bool music = true) const;
  std::string TextResourcePath() const;

  std::vector<StoreValue> values;

 private:
  const TempDir& dir_;
  std::string path_;
  std::string savedPath_;
  bool wasSet_ = false;
};

// The globals that reading the settings (MainPlaneReadSettings, ReadRenderLod) and saving them
// set, put back at the end of the scope: the directories, the display settings, the factors,
// and the once-a-run warning of a failed save.
struct KeptSettings {
  Kept<char[kSearchDirBytes]> product{ProductDir}, binary{BinaryDir}, system{SystemDir},
      resource{ResourceDir}, working{WorkingDir}, img{ImgDir}, snd{SndDir};
  Kept<std::uint32_t> first{FirstLaunch}, unanswered{FirstLaunchUnanswered},
      width{WindowedWidth}, height{WindowedHeight}, fullScreen{FullScreenMode},
      multiSample{MultiSampleMode}, quality{MultiSampleQuality}, samples{MultiSampleSize},
      depth{DepthBits}, langLod{IsLangCtrlLOD}, warned{SettingsWarningShown};
  Kept<std::int32_t> x{WindowedX}, y{WindowedY}, language{LanguageIndex};
  Kept<float> objectGeo{ObjectGeo}, objectTex{ObjectTex}, terrainGeo{TerrainGeo},
      terrainTex{TerrainTex}, portal{Portal}, cloudLow{CloudLow}, overall{Overall};
};

// The window half of start-up, stood in: it reports the board and driver strings chosen here
// and ExtensionMask = extensions, and returns `result`.
struct WindowHalfDouble {
  std::uint32_t boardClass = 0x32;  // a GeForce
  std::uint32_t extensions = 0xC0F;
  std::uint32_t result = 1;
};
extern WindowHalfDouble gWindowHalf;

// Ports with the double, scripted messages (each taken once, then those the window procedure
// posted) and a swap that does nothing. After `maxIdlePasses` passes without a message the
// script ends with a quit of code 99, so a loop that fails to end still does.
ShellPorts ScriptedPorts(std::vector<WindowMessage> script, int maxIdlePasses = 8);

// A scripted message that comes after `idleBefore` passes without any other message (frames)
// and, when `ready` is set, once it answers true (checked at each pass): a step that waits on
// the program's state rather than on a number of frames.
struct ScriptStep {
  WindowMessage message;
  int idleBefore;
  bool (*ready)() = nullptr;
};
// The real window half and buffer swap, with the steps given among the window's own messages,
// for a child process (RunInChild) of a test binary that never starts the video system itself:
// a child forked after a GL context was made in its parent would wait for the driver's threads,
// which the child does not have, for ever. Such a child ends at once with status 97, saying why.
// The script is the only pointer: the window's own pointer messages (the X server's pointer
// entering, crossing or leaving the window, at whatever time the server sends them) are
// dropped. After `maxIdlePasses` passes without a message the run ends with a quit of code 99,
// also while a step still waits for its state.
ShellPorts WindowPorts(std::vector<ScriptStep> steps, int maxIdlePasses = 200);
// Buffer swaps since the ports were made.
int SwapCount();

// Runs `body` in a child process and returns its exit code (-1 when it did not exit).
int RunInChild(const std::function<void()>& body);

}  // namespace veskor::test
