// "Shaders / Skins Connect": the seams of neighbouring patch skins, the neighbour links of
// their scene objects and the scene's shared fx calls.
#include "geometry/skin_work_maps.h"
#include "render/render_prepare.h"
#include "render/render_session.h"
#include "render/shader_stages.h"
#include "render/skin_stages.h"

namespace veskor {

namespace {

// The neighbour words of a scene object, in their order.
enum : std::uint32_t { kFirstColumn = 0, kLastColumn = 1, kFirstRow = 2, kLastRow = 3 };

void Link(std::uint32_t item, std::uint32_t side, std::uint32_t neighbour) {
  SceneObject* d = gItemTargets[item];
  if (d != nullptr) d->neighbours[side] = static_cast<std::int32_t>(neighbour);
}

}  // namespace

void ConnectItemSkins(const SkinConnection& c) {
  if (c.region >= gItemCount || c.neighbourRegion >= gItemCount) return;
  SkinsConnect(gSkinWork.records[c.region], c.side, gSkinWork.records[c.neighbourRegion],
               SkinTile{c.levelX, c.levelY, c.x, c.y},
               SkinTile{c.neighbourLevelX, c.neighbourLevelY, c.neighbourX, c.neighbourY});
  if (c.side == kBorderLeft) {
    Link(c.region, kFirstColumn, c.neighbourRegion);
    Link(c.neighbourRegion, kLastColumn, c.region);
  } else if (c.side == kBorderUp) {
    Link(c.region, kFirstRow, c.neighbourRegion);
    Link(c.neighbourRegion, kLastRow, c.region);
  }
}

std::uint32_t RunSharedFxCalls(FxExecContext& context, ParseStore& store) {
  if (BindFxTables(context, store) == 0) return 0;
  ResetFxFrames(context);
  return RunFxCalls(context);
}

std::uint32_t SkinsConnectStage(FxExecContext& global) {
  if (!PrepareReport(kStageSkinsConnect, 0.0f, 0.3f)) return 0;
  const auto n = static_cast<std::uint32_t>(gRegionBorders.size());
  for (std::uint32_t k = 0; k < n; ++k) ConnectItemSkins(gRegionBorders[k]);
  // Every connection done (f = 1): the stage's share ends where "Shaders / Render" opens.
  if (!PrepareReport(kStageSkinsConnect, StageFraction(n, n), 0.35f)) return 0;
  // A session without a store has no fx tables: nothing to run.
  if (RenderParseStore != nullptr && RunSharedFxCalls(global, *RenderParseStore) == 0) {
    FxFailed = 1;
    return 0;
  }
  return 1;
}

}  // namespace veskor
