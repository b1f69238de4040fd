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

}  // namespace veskor
