// "Shaders / Render", one item: the skin maps back into the grids, the grids into the world,
// the fx shading into the skin textures, the patch borders, the batch passes, the light maps
// and the skin passes.
#include <algorithm>

#include "environment/environment_state.h"
#include "environment/environment_params.h"
#include "environment/sky_model.h"
#include "environment/sky_passes.h"
#include "geometry/build_progress.h"
#include "geometry/skin_passes.h"
#include "geometry/skin_sampling.h"
#include "geometry/skin_work_maps.h"
#include "geometry/subdivision_settings.h"
#include "gfx/geometry_batch_draw.h"
#include "gfx/ortho_camera.h"
#include "gfx/view_plane.h"
#include "gfx/weld_table.h"
#include "gfx/scene_grid.h"
#include "gfx/surface_passes.h"
#include "gfx/texture_layers.h"
#include "gfx/water_clip.h"
#include "gui/screen_planes.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "render/object_passes.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/renderer_globals.h"
#include "render/scene_draw.h"
#include "render/scene_grid_walks.h"
#include "render/shader_stages.h"
#include "render/skin_stages.h"

namespace veskor {

namespace {

using u8 = std::uint8_t;

// The walk of the sun's depth view: object mode 2, sun-lit objects offset in depth.
constexpr std::uint32_t kDepthViewWalk = kWalkDepthOffset | 2;
// A scene object without a Surface definition.
constexpr std::uint16_t kNoSurface = 0xFFFF;

u8 W(const VertexGrid& g) { return static_cast<u8>(g.log2Width); }
u8 H(const VertexGrid& g) { return static_cast<u8>(g.log2Height); }
bool HasData(const SkinGridSet& set) { return set.grids[0].data != nullptr; }

// A 3-channel texture of one black texel: an output the definition does not write.
void BlackTexture(FloatTexture2D& texture) {
  FloatTexture2DRealloc(texture, 3, 0, 0);
  const float black[3] = {0, 0, 0};
  gKernelTable.MapFillVector(3, 0, 0, static_cast<float*>(texture.pixels.data), black);
}

// World positions and unit normals (grids 3 to 5) of one grid set.
void PlaceGridSet(SkinGridSet& set, const float* matrix) {
  VertexGrid* g = set.grids;
  TransformVertexGrids(g[0], g[1], g[2], matrix);
  for (std::uint32_t k = 3; k < 6; ++k) VertexGridAlloc(g[k], g[0].log2Width, g[0].log2Height);
  const KernelTable& k = gKernelTable;
  if (g[0].companion[1] != nullptr && g[1].companion[1] != nullptr &&
      g[2].companion[1] != nullptr)
    k.GridDiagonalNormals(W(g[0]), H(g[0]), g[0].companion[1], g[1].companion[1],
                          g[2].companion[1], g[3].data, g[4].data, g[5].data);
  else  // grids that were not refined from maps have no bordered copies
    k.GridHeightNormals(W(g[0]), H(g[0]), g[0].data, g[1].data, g[2].data, g[3].data,
                        g[4].data, g[5].data);
}

void BindGrids(FxExecContext& fx, std::uint32_t slot, SkinGridSet& set, std::uint32_t first) {
  FxFrame* frame = FxFrameAt(fx, slot);
  frame->count = 3;
  frame->kind = kFxFrameKept;
  for (std::uint32_t c = 0; c < 3; ++c) {
    frame->maps[c] = nullptr;
    frame->grids[c] = &set.grids[first + c];
  }
}

void Output(FxExecContext& fx, std::uint32_t slot, std::uint16_t components) {
  FxFrame* frame = FxFrameAt(fx, slot);
  frame->count = components;
  frame->kind = kFxFrameKept;
}

void TakeTexture(FxExecContext& fx, std::uint32_t slot, FloatTexture2D& texture) {
  BuildTextureFromLayers(texture, *FxFrameAt(fx, slot));
  ReleaseFrameMaps(fx, slot);
}

// The fx run of grid set L (first: grid set 1) into its texture set.
std::uint32_t ShadeGridSet(FxExecContext& fx, SkinGridSet& set, SkinTextureSet& t, SceneObject& d,
                           bool first) {
  ResetFxFrames(fx);
  if (FxMaskBitA(fx, kFxSlotPoint) != 0) BindGrids(fx, kFxSlotPoint, set, 0);
  if (FxMaskBitA(fx, kFxSlotNormal) != 0) BindGrids(fx, kFxSlotNormal, set, 3);
  const bool diffuse = FxMaskBitB(fx, kFxSlotDiffuse) != 0;
  const bool specular = FxMaskBitB(fx, kFxSlotSpecular) != 0;
  const bool shininess = FxMaskBitB(fx, kFxSlotShininess) != 0;
  const bool emissive = FxMaskBitB(fx, kFxSlotEmissive) != 0;
  if (diffuse)
    Output(fx, kFxSlotDiffuse, 3);
  else
    BlackTexture(t.diffuse);
  if (specular)
    Output(fx, kFxSlotSpecular, 3);
  else if (!first)
    BlackTexture(t.specular);
  if (emissive)
    Output(fx, kFxSlotEmissive, 1);
  else if (!first)
    BlackTexture(t.emissive);
  if (shininess) {
    Output(fx, kFxSlotShininess, 1);
    FxFrameAt(fx, kFxSlotShininess)->floats[0] = 0;
  } else {
    d.shininess = 0;
    d.spare = 0;
  }
  if (RunFxCalls(fx) == 0) return 0;
  if (diffuse) TakeTexture(fx, kFxSlotDiffuse, t.diffuse);
  if (specular) TakeTexture(fx, kFxSlotSpecular, t.specular);
  if (shininess) {
    d.shininess = FxFrameAt(fx, kFxSlotShininess)->floats[0];
    d.spare = 0;
    ReleaseFrameMaps(fx, kFxSlotShininess);
  }
  if (emissive) TakeTexture(fx, kFxSlotEmissive, t.emissive);
  ReleaseFxTemporaries(fx);
  return 1;
}

using StitchSide = std::uint32_t (*)(const PatchBorderList&, std::uint32_t, VertexGrid* const*);
using CopySide = std::uint32_t (*)(PatchBorderList&, std::uint32_t, VertexGrid* const*);

// Each side with a neighbour: stitched to the neighbour's stored border once the neighbour is
// finished, else stored for it.
void JoinPatchBorders(std::uint32_t i, SceneObject& d, SkinGridSet& set, PatchBorderList& list) {
  VertexGrid* grids[kPatchChannels];
  for (std::uint32_t c = 0; c < kPatchChannels; ++c) grids[c] = &set.grids[c];
  // First column, first row, last column, last row, with their neighbour words.
  const std::uint32_t word[4] = {0, 2, 1, 3};
  const StitchSide stitch[4] = {StitchPatchCol0, StitchPatchRow0, StitchPatchColN,
                                StitchPatchRowN};
  const CopySide copy[4] = {CopyPatchBorderCol0, CopyPatchBorderRow0, CopyPatchBorderColN,
                            CopyPatchBorderRowN};
  for (std::uint32_t side = 0; side < 4; ++side) {
    const std::int32_t n = d.neighbours[word[side]];
    if (n < 0 || static_cast<std::uint32_t>(n) >= gItemCount) continue;
    const SceneObject* other = gItemTargets[n];
    if (other != nullptr && other->connected != 0)
      stitch[side](list, static_cast<std::uint32_t>(n), grids);
    else
      copy[side](list, i, grids);
  }
}

SurfaceGrids Surface(const SkinGridSet& set, std::uint32_t first) {
  return {&set.grids[first], &set.grids[first + 1], &set.grids[first + 2]};
}

void DrawDepthView(OrthoPass& view, void*) { SceneGridDrawView(&view, kDepthViewWalk); }

// The light maps of every grid set with data from the sun's depth view of the item.
void LightMaps(SkinSlot& s, const float* box, bool patch, RenderItemContext& context) {
  OrthoPass& view = *context.shadowCamera;
  OrthoCameraAttach(view, context.window);
  const LodRange& range = patch ? gTerrainTextureLod.range : gObjectTextureLod.range;
  const float scene[6] = {gSceneBox.min[0], gSceneBox.min[1], gSceneBox.min[2],
                          gSceneBox.max[0], gSceneBox.max[1], gSceneBox.max[2]};
  SunShadowPass(*context.pbuffer, view, range, SunDirection, box, scene, DrawDepthView, nullptr);

  SkinTextureSet& first = s.textureSets[0];
  for (std::uint32_t c = 0; c < 3; ++c) {
    first.sunColour[c] = SunLightColour[c] * 0.8f;
    first.skyColour[c] = SkyAmbientColour[c] * 0.2f;
  }
  first.sunColour[3] = first.skyColour[3] = 1.0f;
  for (std::uint32_t k = 1; k < kSkinSetCount; ++k) {
    std::copy(first.sunColour, first.sunColour + 4, s.textureSets[k].sunColour);
    std::copy(first.skyColour, first.skyColour + 4, s.textureSets[k].skyColour);
  }

  const RenderPrepareStatics statics = RenderPrepareBuildStatics();
  VertexGrid& sunTerm = *statics.shadeGridA;
  VertexGrid& skyTerm = *statics.shadeGridB;
  PixelRecord& sky = *statics.lightScratchTexture;
  const KernelTable& k = gKernelTable;
  for (std::uint32_t L = 0; L < kSkinSetCount; ++L) {
    SkinGridSet& set = s.gridSets[L];
    if (!HasData(set)) continue;
    const VertexGrid* g = set.grids;
    const u8 w = W(g[0]), h = H(g[0]);
    VertexGridAlloc(sunTerm, w, h);
    VertexGridAlloc(skyTerm, w, h);
    k.FieldLightTerms(w, h, g[3].data, g[4].data, g[5].data, SunDirection[0], SunDirection[1],
                      SunDirection[2], 0.0f, sunTerm.data, skyTerm.data);
    FloatTexture2D& light = s.textureSets[L].light;
    FloatTexture2DRealloc(light, 1, w, h);
    const std::uint32_t bytes = MapBytes(w, h);
    MemBlockRelease(sky.block);
    MemBlockReserve(sky.block, bytes);
    sky.data = static_cast<float*>(MemBlockAppend(sky.block, bytes));
    sky.log2Width = w, sky.log2Height = h;
    float* texels = static_cast<float*>(light.pixels.data);
    k.GridAverage2x2(w, h, sunTerm.data, 1, texels);
    k.GridAverage2x2(w, h, skyTerm.data, 1, sky.data);
    VertexGridRelease(sunTerm);
    VertexGridRelease(skyTerm);
    Map shade{light.pixels.block, texels, w, h};
    ProcessDepthReadback(view, g[0], g[1], g[2], shade);
    k.MapAdd(1, w, h, sky.data, texels, texels);
    MemBlockRelease(sky.block);
    sky.data = nullptr;
  }
  FloatScratchRelease(view.depthImage);
}

}  // namespace

std::uint32_t RenderItem(std::uint32_t i, RenderItemContext& context) {
  SceneObject& d = *gItemTargets[i];
  SkinSlot& s = gSkinSlots[i];
  SkinWork& w = gSkinWork.records[i];
  PathSet& p = gItemPathSets.sets[i];
  const bool patch = ItemKind[i] != 0;

  SizeSkinArrays(s, w, w.levelOffsetW, w.levelOffsetH);
  FilterSkinTextures(s, w);
  ReleaseSkinMapSet(w);
  const float* b = d.grid.box;  // x0, x1, y0, y1, z0, z1
  float box[6] = {b[0], b[2], b[4], b[1], b[3], b[5]};  // min x, y, z, max x, y, z

  // Every grid set with data goes into the world with its normals: the batch passes, the light
  // maps and the depth test read them so, whether or not the item has an fx definition.
  const float* toWorld = TransformNodeMatrix(d.transform);
  for (SkinGridSet& set : s.gridSets)
    if (HasData(set)) PlaceGridSet(set, toWorld);

  if (d.fxIndex != kNoSurface && context.store != nullptr) {
    FxExecContext& fx = *context.fx;
    if (FxOutputMasks(fx, *context.store, d.fxIndex) == 0) return 0;
    for (std::uint32_t L = 0; L < kSkinSetCount; ++L) {
      SkinGridSet& set = s.gridSets[L];
      if (!HasData(set)) continue;
      if (ShadeGridSet(fx, set, s.textureSets[L], d, L == 0) == 0) return 0;
      if (L == 0 && patch) JoinPatchBorders(i, d, set, *context.borders);
    }
  }

  ItemDrawRecord& r = gBatchItemRecords[gItemBatchIndex[i]];
  const float* toLocal = TransformNodeFlag(d.transform) != 0 ? nullptr : TransformNodeMatrix2(d.transform);
  BatchPositionPass(gGeometryBatchBuffer, r, Surface(s.gridSets[1], 0), Surface(s.gridSets[0], 0),
                    Surface(s.gridSets[2], 0), toLocal, box);
  d.connected = 1;
  const float itemBox[6] = {box[0], box[3], box[1], box[4], box[2], box[5]};
  std::copy(itemBox, itemBox + 6, d.grid.box);
  SceneGridExtendCells(gSceneGrid, &d.grid);
  p.minX = box[0], p.minY = box[1], p.minZ = box[2];
  p.maxX = box[3], p.maxY = box[4], p.maxZ = box[5];
  const float* m1 = TransformNodeMatrix(d.transform);
  const float* m2 = TransformNodeMatrix2(d.transform);
  GeometryBatchBuffer& buffer = gGeometryBatchBuffer;
  if (r.capA.indexCount != 0)
    BatchClipPassB(buffer, r, box[0], box[1], box[2], box[3], box[4], box[5], m1, m2);
  if (r.capB.indexCount != 0)
    BatchClipPassC(buffer, r, box[0], box[1], box[2], box[3], box[4], box[5], m1, m2);
  BatchClipPassA(buffer, r, box[0], box[1], box[2], box[3], box[4], box[5], m1, m2);
  if ((d.flags & kItemNormals) != 0)
    BatchNormalPass(buffer, r, Surface(s.gridSets[1], 3), Surface(s.gridSets[0], 3),
                    Surface(s.gridSets[2], 3), toLocal, 0.2f, box);

  if ((d.flags & kItemSunLit) != 0) {
    LightMaps(s, box, patch, context);
  } else {
    for (std::uint32_t L = 0; L < kSkinSetCount; ++L) {
      if (!HasData(s.gridSets[L])) continue;
      FloatTexture2D& light = s.textureSets[L].light;
      FloatTexture2DRealloc(light, 1, 1, 1);
      gKernelTable.MapFill(1, 1, 1, static_cast<float*>(light.pixels.data), 0.0f);
    }
  }

  ReleaseSkinGrids(s);
  if ((d.flags & kItemCloudShadow) != 0) context.skyFlags |= kSkyFlagCloudLayer;
  s.matrix = m1;
  s.passArgument = m2;
  std::uint32_t passFlags = d.flags;
  if (gEnvironmentState.cloudLow.puffCount == 0) passFlags &= ~kItemCloudShadow;
  passFlags |= 0x20;
  BuildSkinPassList(s, passFlags);
  SetSkinTextureModes(s, ItemKind[i] == 1 ? kSkinModesFirstSetOnly : 0);
  ReleaseSkinArrays(s);
  if ((d.flags & kItemNormals) == 0) d.drawMode = 0;
  return 1;
}

namespace {

// The scene as far as it is finished, under the progress planes.
void DrawPreview(Camera& camera) { DrawProgressScene(camera, kSceneModePreview, false); }

// Multisampling made the off-screen buffer: the passes after this stage draw in the window.
void DropOffscreenBuffer() {
  const std::uint32_t offscreen = PbufferMakeCurrent(PrepPbuffer);
  DisableVertexArrays(gGeometryBatchBuffer);
  if (offscreen != 0) PbufferRestoreWindow(PrepPbuffer);
  PbufferDestroy(PrepPbuffer);
  EnableVertexArrays(gGeometryBatchBuffer);
}

}  // namespace

std::uint32_t ShadersRenderStage(Camera* camera, FxExecContext& item, FxExecContext& global) {
  if (!PrepareReport(kStageRender, 0.0f, 0.35f)) return 0;
  const std::uint32_t n = std::min(gItemCount, kItemMax);
  RenderItemContext context{&item,
                            RenderParseStore,
                            &ScratchBlock,
                            &PrepPbuffer,
                            RenderPrepareBuildStatics().shadowCamera,
                            SessionCamera != nullptr ? CameraTag(*SessionCamera) : RenderViewPlane,
                            0};
  for (std::uint32_t k = 0; k < n; ++k) {
    const std::uint32_t i = ItemSunOrder[k];
    // An item without a scene object has nothing to finish.
    if (i < n && gItemTargets[i] != nullptr && RenderItem(i, context) == 0) {
      FxFailed = 1;
      return 0;
    }
    if (k % kStageReportEvery != 0 || gBuildProgress.callback == nullptr) continue;
    if (camera != nullptr && k % kPreviewEvery == 0) DrawPreview(*camera);
    const float f = StageFraction(k + 1, n);
    if (!PrepareReport(kStageRender, f, 0.35f + 0.55f * f)) return 0;
  }
  ReleaseFxTemporaries(global);
  if (MultiSampleMode != 0) DropOffscreenBuffer();
  WeldTableReset(gGeometryBatchBuffer.weldTable);
  PatchBorderListRelease(ScratchBlock);
  BuildSkyPassList(context.skyFlags | HighCloudSkyFlag() | kSkyFlagDome | kSkyFlag2);
  return 1;
}

}  // namespace veskor
