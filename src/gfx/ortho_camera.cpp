#include "gfx/ortho_camera.h"

#include "gfx/camera.h"

namespace veskor {

OrthoCamera::OrthoCamera() { OrthoCameraFrameSteps(*this); }

void OrthoCameraAttach(OrthoCamera& camera, ViewPlane* window) {
  camera.owner = window;
  OrthoCameraDrawingSize(camera, &camera.ownerWidth, &camera.ownerHeight);
  camera.aspect = ((camera.windowX1 - camera.windowX0) * static_cast<float>(camera.ownerWidth)) /
                  ((camera.windowY1 - camera.windowY0) * static_cast<float>(camera.ownerHeight));
}

void OrthoCameraDrawingSize(const OrthoCamera& camera, std::uint32_t* width,
                            std::uint32_t* height) {
  if (FullScreenMode != 0 && camera.owner != nullptr) {
    *width = camera.owner->fullScreenWidth;
    *height = camera.owner->fullScreenHeight;
  } else {
    *width = WindowedWidth;
    *height = WindowedHeight;
  }
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
