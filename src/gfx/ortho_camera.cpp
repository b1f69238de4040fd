#include "gfx/ortho_camera.h"

#include "gfx/camera.h"

namespace veskor {

OrthoCamera::OrthoCamera() { OrthoCameraFrameSteps(*this); }

void OrthoCameraAttach(OrthoCamera& camera, ViewPlane* window) {
  camera.owner = window;
  if (FullScreenMode != 0) {
    camera.ownerWidth = window->fullScreenWidth;
    camera.ownerHeight = window->fullScreenHeight;
  } else {
    camera.ownerWidth = WindowedWidth;
    camera.ownerHeight = WindowedHeight;
  }
  camera.aspect = ((camera.windowX1 - camera.windowX0) * static_cast<float>(camera.ownerWidth)) /
                  ((camera.windowY1 - camera.windowY0) * static_cast<float>(camera.ownerHeight));
}

void OrthoCameraNormalize(OrthoCamera& camera) { NormalizeViewDirection(camera.direction); }

void OrthoCameraComputeRight(OrthoCamera& camera) {
  RightAxisFromDirection(camera.direction, camera.right);
}

void OrthoCameraComputeUp(OrthoCamera& camera) {
  UpAxis(camera.right, camera.direction, camera.up);
}

void OrthoCameraApplyRoll(OrthoCamera& camera) {
  RollAxes(camera.right, camera.up, camera.roll, camera.rolledRight, camera.rolledUp);
}

void OrthoCameraFrameSteps(OrthoCamera& camera) { ViewFrameSteps(camera); }

}  // namespace veskor
