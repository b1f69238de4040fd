#include "app/main_plane.h"

#include <cstring>
#include <initializer_list>

#include "app/pending_shell.h"
#include "app/settings.h"
#include "app/window_proc.h"
#include "foundation/search_dirs.h"

namespace veskor {

MainPlane gMainPlane;

MainPlane::MainPlane() : ViewPlane{nullptr, 640, 480, 0} {
  root = this;
  std::memset(KeyDownTable, 0, sizeof KeyDownTable);
  std::memset(KeyCodeMap, 0, sizeof KeyCodeMap);
  LastKey = 0;
  for (char* dir : {ProductDir, BinaryDir, WorkingDir, ResourceDir, ImgDir, SndDir, SystemDir})
    dir[0] = '\0';
  ExtraSearchDirsClear();
}

MainPlane::~MainPlane() { MainPlaneShutdown(*this); }

void MainPlane::Draw() { MainPlaneFrame(*this); }

std::uint32_t MainPlaneInit(MainPlane& plane, const char* title, const char* iconFile,
                            std::uint32_t popup, MainPlaneWindowInit windowHalf) {
  MainPlaneReadSettings(plane);
  return windowHalf(plane, title, iconFile, popup);
}

}  // namespace veskor
