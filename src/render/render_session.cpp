#include "render/render_session.h"

#include <algorithm>

#include "environment/cloud_low.h"
#include "environment/environment_params.h"
#include "geometry/item_tables.h"
#include "geometry/portal.h"
#include "geometry/region_borders.h"
#include "geometry/subdivision_settings.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/viewport_rect.h"
#include "gui/screen_planes.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "render/object_passes.h"
#include "geometry/item_images.h"
#include "render/render_prepare.h"
#include "render/scene_draw.h"
#include "render/shader_stages.h"
#include "render/water_mirror.h"

namespace veskor {

namespace {

void FillRange(SubdivisionSettings& settings, const LodBoxList* list, float scale,
               std::int32_t minimum, std::int32_t maximum, float factor) {
  settings.range.list = list;
  settings.range.scale = scale;
  settings.range.minLevel = static_cast<std::uint32_t>(minimum);
  settings.range.maxLevel = static_cast<std::uint32_t>(maximum);
  settings.range.distanceFactor = factor;
}

GLsizei Size(std::uint32_t v) { return static_cast<GLsizei>(std::min<std::uint32_t>(v, 1u << 30)); }

}  // namespace

void RenderClientSize(std::uint32_t* width, std::uint32_t* height) {
  if (RenderViewPlane != nullptr) {
    *width = ViewPlaneWidth(*RenderViewPlane);
    *height = ViewPlaneHeight(*RenderViewPlane);
  } else {
    *width = WindowedWidth;
    *height = WindowedHeight;
  }
}

void SetLoadingViewport() {
  std::uint32_t w, h;
  RenderClientSize(&w, &h);
  // A window no taller than the menu bar gets an empty view rather than a refused viewport.
  const std::uint32_t rows = h > static_cast<std::uint32_t>(kMenuBarRows) ? h - kMenuBarRows : 0;
  glViewport(0, 0, Size(w), Size(rows));
}

void SetWholeWindowViewport() {
  std::uint32_t w, h;
  RenderClientSize(&w, &h);
  glViewport(0, 0, Size(w), Size(h));
}

void SwapWindowBuffers() {
  if (RenderViewPlane != nullptr && RenderViewPlane->deviceContext != nullptr)
    GlSwapBuffers(static_cast<GlWindow*>(RenderViewPlane->deviceContext));
}

std::int32_t RenderSessionInit(const LodBoxList* terrainGeometry, float terrainGeometryFactor,
                               const LodBoxList* terrainTexture, float terrainTextureFactor,
                               const LodBoxList* objectGeometry, float objectGeometryFactor,
                               const LodBoxList* objectTexture, float objectTextureFactor,
                               ParseStore* store, Camera* camera, float portalDetail,
                               float cloudLowDetail, ProgressCallback callback,
                               std::int32_t geometryMin, std::int32_t geometryMax,
                               std::int32_t textureMin, std::int32_t textureMax) {
  SessionCamera = camera;
  RenderParseStore = store;
  gBuildProgress.callback = callback;
  // Releases the previous session's blocks and takes the heap staging blocks (a failed
  // allocation is fatal with its message); publishes them to the drawing code.
  GeometryBatchBufferStartSession(gGeometryBatchBuffer, &MainPlaneExtensionWord);

  FillRange(gTerrainGeometryLod, terrainGeometry, kTerrainGeometryScale, geometryMin, geometryMax,
            terrainGeometryFactor);
  FillRange(gTerrainTextureLod, terrainTexture, kTerrainTextureScale, textureMin, textureMax,
            terrainTextureFactor);
  FillRange(gObjectGeometryLod, objectGeometry, kObjectGeometryScale, geometryMin, geometryMax,
            objectGeometryFactor);
  FillRange(gObjectTextureLod, objectTexture, kObjectTextureScale, textureMin, textureMax,
            objectTextureFactor);
  PortalDetail = portalDetail;
  CloudLowDetail = cloudLowDetail;

  ItemTablesReset();
  SkinCounter = 0;
  gRegionBorders.Clear();
  gPortalCount = 0;
  ItemImagesReset();
  LightShaftsEnabled = 0;
  RenderStatsReset();
  SceneBoxReset();

  SetWholeWindowViewport();
  glClearColor(0.1f, 0.1f, 0.1f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  DrawScreenPlanes();
  SetLoadingViewport();
  SwapWindowBuffers();
  return 1;
}

}  // namespace veskor
