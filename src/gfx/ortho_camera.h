// OrthoCamera: the orthographic view of the off-screen read-back passes (sun shadows, water).
// It looks along a unit direction with a roll like the Camera, but projects a box of a given
// height and aspect. Its fields lead the pass object of those passes, which reads them.
#pragma once

#include <cstdint>

#include "gfx/view_plane.h"

namespace veskor {

struct OrthoCamera {
  float position[3] = {0, -4, 0};
  float direction[3] = {0, 1, 0};
  float right[3] = {};
  float up[3] = {};
  float rolledRight[3] = {};
  float rolledUp[3] = {};  // the look-at up vector
  float roll = 0;
  float aspect = 1;
  float depth = 1000;    // far distance of the box; the passes put the near plane at 1
  float viewHeight = 1;  // height of the box in world units; its width is viewHeight aspect
  float windowX0 = 0, windowX1 = 1, windowY0 = 0, windowY1 = 1;
  std::uint32_t wholeWindow = 1;  // 1: the pass leaves the GL viewport alone
  std::int32_t pixelRect[4] = {};
  std::int32_t savedViewport[4] = {};
  ViewPlane* owner = nullptr;
  // Drawing size taken at attachment; the pass set-up replaces it by the GL viewport size.
  std::uint32_t ownerWidth = 0, ownerHeight = 0;

  OrthoCamera();
};

// Attaches to the window: its drawing size (OrthoCameraDrawingSize), and the aspect from that
// size and the window fractions.
void OrthoCameraAttach(OrthoCamera& camera, ViewPlane* window);
// The owner's full-screen size while full screen, else (and without an owner) the client size.
void OrthoCameraDrawingSize(const OrthoCamera& camera, std::uint32_t* width,
                            std::uint32_t* height);

// The frame steps, in this order, after every new direction. A direction of zero length
// becomes the default (0, 1, 0).
void OrthoCameraNormalize(OrthoCamera& camera);
void OrthoCameraComputeRight(OrthoCamera& camera);
void OrthoCameraComputeUp(OrthoCamera& camera);
void OrthoCameraApplyRoll(OrthoCamera& camera);
void OrthoCameraFrameSteps(OrthoCamera& camera);

}  // namespace veskor
