#include "render/shader_stages.h"

#include "geometry/build_progress.h"
#include "geometry/item_tables.h"
#include "geometry/portal.h"
#include "render/render_prepare.h"

namespace veskor {

std::uint32_t SkinCounter = 0;

bool PrepareReport(const char* label, float stageFraction, float overallFraction) {
  const ProgressCallback callback = gBuildProgress.callback;
  return callback == nullptr || callback(label, stageFraction, overallFraction) != 0;
}

float StageFraction(std::uint32_t done, std::uint32_t units) {
  if (units == 0) return 1.0f;
  return static_cast<float>(done) / static_cast<float>(units);
}

namespace {

// The reports of a stage over `units` units: after units 0, 32, 64 ... (every unit when
// `every` is 1), and once after the last when `final` is set (also for a stage without units).
bool UnitReports(const char* label, float start, float span, std::uint32_t units,
                 std::uint32_t every, bool final) {
  for (std::uint32_t k = 0; k < units; ++k) {
    if (k % every != 0) continue;
    const float f = StageFraction(k + 1, units);
    if (!PrepareReport(label, f, start + span * f)) return false;
  }
  return !final || PrepareReport(label, 1.0f, start + span);
}

}  // namespace

std::uint32_t ShadersWaterStage() {
  if (!PrepareReport(kStageWater, 0.0f, 0.9f)) return 0;
  const std::uint32_t portals = gPortalCount < kPortalMax ? gPortalCount : kPortalMax;
  return UnitReports(kStageWater, 0.9f, 0.05f, portals, 1, false) ? 1 : 0;
}

std::uint32_t ShadersEnvironmentStage() {
  if (!PrepareReport(kStageEnvironment, 0.0f, 0.95f)) return 0;
  return UnitReports(kStageEnvironment, 0.95f, 0.05f, gItemCount, kStageReportEvery, false) ? 1
                                                                                            : 0;
}

}  // namespace veskor
