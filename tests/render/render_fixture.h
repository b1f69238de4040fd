// A render session as the shell runs it, for the renderer's GL tests: the capabilities of the
// test context, a 64-pixel window whose loading view (all but 112 rows) is the whole back
// buffer, the grid sized, the environment at its defaults, and a progress callback that
// records every report and can answer 0 at a chosen one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/camera.h"
#include "gfx/lod_boxes.h"
#include "gfx/view_plane.h"
#include "support/gl_test_fixture.h"

namespace veskor::test {

struct Report {
  std::string label;
  float stage, overall;
  bool operator==(const Report&) const = default;
};

class RenderSessionTest : public GlTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // RenderSessionInit with the shell's values and the recording callback (or none).
  void StartSession(Camera* camera, bool withCallback = true);

  static std::vector<Report> reports;
  static int stopAt;  // the report (from 0) answered with 0; -1 answers 1 to every one
  static std::int32_t Record(const char* label, float stage, float overall);

  ViewPlane plane{};
  LodBoxList lists[4]{};
  Camera camera;
  bool textureShaders = false;
};

}  // namespace veskor::test
