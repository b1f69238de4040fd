// The last two shader stages of the render preparation (shader_stages.h): "Shaders / Water"
// draws each water portal's scene from straight above into the back buffer and reads it back
// into the portal's two float textures; "Shaders / Environment" sets every item's box and
// centre in its skin slot and captures the environment cube of every item that asks for one.
#include <algorithm>
#include <cmath>

#include "geometry/item_tables.h"
#include "geometry/path_set.h"
#include "geometry/portal.h"
#include "geometry/skin_slot.h"
#include "geometry/subdivision_settings.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_cube_blur.h"
#include "gfx/viewport_rect.h"
#include "gfx/water_pass.h"
#include "platform/gl.h"
#include "render/environment_capture.h"
#include "render/object_draw.h"
#include "render/object_passes.h"
#include "render/renderer_globals.h"
#include "render/scene_draw.h"
#include "render/scene_grid_walks.h"
#include "render/shader_stages.h"
#include "render/skin_stages.h"
#include "render/water_mirror.h"

namespace veskor {

namespace {

// The water view's walk: items reaching below the water's altitude + 1, time frozen.
constexpr std::uint32_t kWaterWalkFlags = 0x90;
// Item flag bit 2: the item gets an environment cube.
constexpr std::uint32_t kItemEnvironmentCube = 4;
// Board class bit 2: the boards whose environment faces are drawn as secondary views.
constexpr std::uint32_t kBoardSecondaryFaces = 4;
constexpr float kCubeBlurPerDullness = 9.0f;
constexpr float kCubeMaxLod = 3.0f;
constexpr std::uint32_t kCubeUploadMode = 2;

// The stages draw the scene as the frames do, with the depth test passing equal depths: an
// object drawn in several passes (boards without register combiners) lays its later passes
// over its first at the same depth, which GL's default GL_LESS would reject. The caller's
// function comes back at the end.
class FrameDepthFunc {
 public:
  FrameDepthFunc() {
    glGetIntegerv(GL_DEPTH_FUNC, &saved_);
    glDepthFunc(GL_LEQUAL);
  }
  ~FrameDepthFunc() { glDepthFunc(static_cast<GLenum>(saved_)); }
  FrameDepthFunc(const FrameDepthFunc&) = delete;
  FrameDepthFunc& operator=(const FrameDepthFunc&) = delete;

 private:
  GLint saved_ = GL_LESS;
};

void RestoreMainView() {
  if (RenderViewPlane != nullptr) RestoreViewport(*RenderViewPlane);
}

// The window the session camera draws into.
ViewPlane* SessionWindow() {
  return SessionCamera != nullptr ? CameraTag(*SessionCamera) : RenderViewPlane;
}

// A portal whose rectangle has no area (or is not finite) has no view to draw: its
// orthographic volume would be empty, which GL rejects.
bool PortalHasArea(const Portal& q) {
  const float sx = q.corner1[0] - q.corner0[0], sy = q.corner1[1] - q.corner0[1];
  return sx > 0 && sy > 0 && std::isfinite(sx) && std::isfinite(sy) &&
         std::isfinite(q.corner0[2]);
}

void RenderPortalReadback(Portal& q, OrthoPass& pass) {
  WaterAltitude = q.corner0[2];
  OrthoCameraAttach(pass, SessionWindow());
  const float box[6] = {q.corner0[0], q.corner0[1], q.corner0[2],
                        q.corner1[0], q.corner1[1], q.corner1[2]};
  BeginWaterPass(pass, box, (1.0f - PortalDetail) * 16.0f + 4.0f, PortalAccessors::UInset(q),
                 PortalAccessors::VInset(q));
  SceneGridDrawView(&pass, kWaterWalkFlags);
  WaterReadback(pass, *PortalAccessors::OpacityA2(q), *PortalAccessors::OpacityB2(q),
                *PortalAccessors::FirstReadBack(q), *PortalAccessors::SecondReadBack(q));
  EndWaterPass(pass);
}

void SetItemBox(SkinSlot& s, const PathSet& p) {
  const float box[6] = {p.minX, p.minY, p.minZ, p.maxX, p.maxY, p.maxZ};
  std::copy(box, box + 6, s.itemData);
  for (int a = 0; a < 3; ++a) s.itemData[6 + a] = (box[a] + box[3 + a]) * 0.5f;
}

void CaptureItemCube(SceneObject& d, SkinSlot& s, const PathSet& p, bool patch, Camera& camera,
                     std::uint32_t drawFlags) {
  for (SkinTextureSet& set : s.textureSets) set.word = 0;
  DrawItemUnmark(d);
  CameraInit(camera, SessionWindow());
  const LodRange& range = patch ? gTerrainTextureLod.range : gObjectTextureLod.range;
  TextureCube& cube = SkinSlotCube(s);
  CaptureEnvironment(camera, range, cube, p.minX, p.minY, p.minZ, p.maxX, p.maxY, p.maxZ);
  for (std::uint32_t face = 0; face < 6; ++face) {
    BeginEnvironmentFace(camera, face);
    SceneDraw(&camera, drawFlags, nullptr);
    ReadEnvironmentFace(camera, cube, face);
    EndEnvironmentFace(camera);
  }
  TextureCubeBlurToLevel(cube, (1.0f - d.shininess) * kCubeBlurPerDullness);
  TextureCubeSetFilter(cube, kFilterTrilinear);
  TextureCubeSetWrap(cube, 0);
  TextureCubeSetLod(cube, kCubeMaxLod);
  TextureCubeBind(cube, kCubeUploadMode, 0);
  EndEnvironmentCapture(camera);
  DrawItemMark(d);
}

}  // namespace

std::uint32_t ShadersWaterStage() {
  if (!PrepareReport(kStageWater, 0.0f, 0.9f)) return 0;
  const FrameDepthFunc depth;
  RestoreMainView();
  OrthoPass& pass = *RenderPrepareBuildStatics().waterCamera;
  const std::uint32_t portals = std::min(gPortalCount, kPortalMax);
  for (std::uint32_t k = 0; k < portals; ++k) {
    if (PortalHasArea(gPortals[k])) RenderPortalReadback(gPortals[k], pass);
    const float f = StageFraction(k + 1, portals);
    if (!PrepareReport(kStageWater, f, 0.9f + 0.05f * f)) return 0;
    RestoreMainView();
  }
  return 1;
}

std::uint32_t ShadersEnvironmentStage() {
  if (!PrepareReport(kStageEnvironment, 0.0f, 0.95f)) return 0;
  const FrameDepthFunc depth;
  RestoreMainView();
  Camera& camera = *RenderPrepareBuildStatics().environmentCamera;
  const std::uint32_t board = RenderViewPlane != nullptr ? RenderViewPlane->boardClass : BoardClass;
  const std::uint32_t drawFlags = (((board & kBoardSecondaryFaces) | 1) * 16);
  const std::uint32_t items = std::min(gItemCount, kItemMax);
  for (std::uint32_t i = 0; i < items; ++i) {
    SkinSlot& s = gSkinSlots[i];
    const PathSet& p = gItemPathSets.sets[i];
    SetItemBox(s, p);
    SceneObject* d = gItemTargets[i];
    if (d != nullptr && (d->flags & kItemEnvironmentCube) != 0)
      CaptureItemCube(*d, s, p, ItemKind[i] != 0, camera, drawFlags);
    const float f = StageFraction(i + 1, items);
    if (i % kStageReportEvery == 0 && !PrepareReport(kStageEnvironment, f, 0.95f + 0.05f * f))
      return 0;
    RestoreMainView();
  }
  return 1;
}

}  // namespace veskor
