#include "app/pending_shell.h"

#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/settings.h"
#include "app/text_resources.h"

namespace veskor {

void RenderSession() {}

void CameraStepWrapper(World&) {}

void SceneDraw(Camera&, std::uint32_t, std::uint32_t* polygons) {
  if (polygons != nullptr) *polygons = 0;
}

float RenderSessionTime = 0.0f;
float EnvironmentStageTime = 0.0f;
float ShaderStageTime = 0.0f;
std::uint32_t GeometryCount = 0;

}  // namespace veskor
