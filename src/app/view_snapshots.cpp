#include "app/view_snapshots.h"

#include <algorithm>

#include "app/main_plane.h"
#include "geometry/direction_from_angles.h"
#include "mapengine/clamp_float.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr float kDegreesPerRadian = 57.29578f;

}  // namespace

std::uint32_t ThumbnailLog2(std::int32_t pixels) {
  if (pixels >= (1 << kThumbnailLog2Max)) return kThumbnailLog2Max;
  std::uint32_t log2 = 0;
  while (log2 < kThumbnailLog2Max && (std::int32_t{2} << log2) <= pixels) ++log2;
  return log2;
}

void MakeViewThumbnail(Camera& camera, Texture2D& thumbnail) {
  // A viewport below a pixel counts as one: the thumbnail is then of that one pixel.
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const bool widened = viewport[2] < 1 || viewport[3] < 1;
  if (widened) glViewport(viewport[0], viewport[1], std::max(viewport[2], 1), std::max(viewport[3], 1));

  CameraSetFullViewport(camera);
  const std::int32_t width = camera.pixelRect[2], height = camera.pixelRect[3];
  const std::uint32_t w = ThumbnailLog2(width), h = ThumbnailLog2(height);
  const std::int32_t side[2] = {std::int32_t{1} << w, std::int32_t{1} << h};
  const float marginX = (1.0f - static_cast<float>(side[0]) / static_cast<float>(width)) * 0.5f;
  const float marginY = (1.0f - static_cast<float>(side[1]) / static_cast<float>(height)) * 0.5f;
  CameraSetViewport(camera, marginX, marginY, 1.0f - marginX, 1.0f - marginY);
  camera.thumbLog2Width = w;
  camera.thumbLog2Height = h;
  CameraApply(camera);
  Texture2DResize(thumbnail, 3, w, h);

  constexpr GLbitfield kAll = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;
  glClear(kAll);
  std::uint32_t polygons = 0;
  gFrameServices.sceneDraw(camera, 0, &polygons);
  // Rows of 3 x 2^w bytes: packed without padding, or a narrow thumbnail overruns its pixels.
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(camera.pixelRect[0], camera.pixelRect[1], side[0], side[1], GL_RGB,
               GL_UNSIGNED_BYTE, thumbnail.pixels.data);
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  glClear(kAll);

  CameraRestore(camera);
  CameraSetFullViewport(camera);
  if (widened) glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  thumbnail.state.dirty = 1;
  Texture2DBind(thumbnail, 0, 0);
}

void CaptureViewSnapshots(World& world) {
  Camera& current = world.currentCamera;
  for (std::uint32_t i = 0; i < world.examineCount; ++i) {
    const ExamineRecord& e = world.examines[i];
    float d[3];
    DirectionFromAngles(e.yaw, e.pitch, d);
    CameraSetPosition(current, e.position[0] + e.radius * d[0], e.position[1] + e.radius * d[1],
                      e.position[2] + e.radius * d[2]);
    CameraSetLookAt(current, e.position[0], e.position[1], e.position[2]);
    current.focalAngle = current.fovy = e.focalAngle;
    current.roll = 0.0f;
    CameraApplyRoll(current);
    current.depth = ClampFloat(kExamineViewDepth, kBookmarkDepthMin, kBookmarkDepthMax);
    MakeViewThumbnail(current, world.examineImages[i]);
  }
  for (std::uint32_t i = 0; i < world.cameraCount; ++i) {
    current = world.cameras[i];
    MakeViewThumbnail(current, world.cameraThumbnails[i]);
    world.cameras[i].thumbLog2Width = current.thumbLog2Width;
    world.cameras[i].thumbLog2Height = current.thumbLog2Height;
  }
  // Without a camera the view stays at the last examine point.
  if (world.cameraCount != 0) {
    current = world.cameras[0];
    CameraApply(current);
    CameraRestore(current);
  }
  world.transitionTarget = -1;
  world.transitionStep = 0.0f;
}

void AddViewSnapshot(World& world, Camera& camera) {
  if (world.snapshotCount >= kWorldSnapshotMax) return;
  for (std::uint32_t i = 0; i < world.cameraCount; ++i)
    if (CameraEquals(camera, world.cameras[i])) return;
  for (std::uint32_t i = 0; i < world.snapshotCount; ++i)
    if (CameraEquals(camera, world.snapshots[i])) return;
  const std::uint32_t index = world.snapshotCount;
  Camera& b = world.snapshots[index];
  CameraSetFullViewport(b);
  b.mode = kCameraLookAt;
  CameraSetPosition(b, camera.position[0], camera.position[1], camera.position[2]);
  CameraSetDirection(b, camera.direction[0], camera.direction[1], camera.direction[2]);
  b.focalAngle = b.fovy = camera.focalAngle;
  // The roll as the bookmark file will hold it, in degrees.
  b.roll = camera.roll * kDegreesPerRadian / kDegreesPerRadian;
  CameraApplyRoll(b);
  b.depth = ClampFloat(camera.depth, kBookmarkDepthMin, kBookmarkDepthMax);
  ++world.snapshotCount;
  MakeViewThumbnail(b, world.snapshotImages[index]);
}

}  // namespace veskor
