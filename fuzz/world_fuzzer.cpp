// Parses arbitrary bytes as a world file, through the compile session's order of calls, in a
// directory that holds a small fixed set of files to include (one in a sub-directory, one that
// includes itself, names the input may write in another case) and two height-field layer
// images. The fx programs of a parsed world are then marked, bound and run as the render
// preparation runs them, every definition on a small item of its own, and the world is built
// as the render session builds it (in a GL context of SDL's offscreen driver, made once). Any
// crash, hang, sanitizer report or leak, and a scene box that is not finite, is a fault of the
// world parser, the fx runtime or the scene build.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "compile_driver.h"
#include "geometry/build_progress.h"
#include "geometry/item_geometry.h"
#include "geometry/item_images.h"
#include "geometry/path_set.h"
#include "geometry/portal.h"
#include "geometry/region_borders.h"
#include "geometry/scene_build.h"
#include "geometry/scene_build_error.h"
#include "geometry/subdivision_settings.h"
#include "gfx/geometry_batch_buffer.h"
#include "gfx/scene_grid.h"
#include "platform/gl_context.h"
#include "support/png_test_images.h"
#include "language/fx_call_lists.h"
#include "mapengine/kernel_table.h"
#include "mapengine/noise_generator.h"
#include "mapengine/noise_tables.h"
#include "support/sound_files.h"

namespace {

std::string gDir;

void RemoveDirectory() {
  std::error_code error;
  std::filesystem::remove_all(gDir, error);
}

void WriteFile(const std::string& relative, const std::string& text) {
  std::FILE* file = std::fopen((gDir + relative).c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

// The item every definition runs on: 5 x 5 positions on a slope, normals straight up.
veskor::VertexGrid gItem[6];

void RunFxPrograms() {
  using namespace veskor;
  ParseStore& store = gParseStore;
  // `load` reads the file its text names; a name the input makes up could be a device.
  if (store.stringConstantCount != 0) return;
  for (std::uint32_t d = 0; d < store.fxRecords.count; ++d)
    for (std::uint32_t s = 2; s <= 6; ++s) MarkUsedFx(store, d, s);
  FxExecContext shared, item;
  if (!BindFxTables(shared, store)) return;
  ResetFxFrames(shared);
  if (!RunFxCalls(shared)) return;
  for (std::uint32_t d = 0; d < store.fxRecords.count; ++d) {
    if (!FxOutputMasks(item, store, d)) continue;
    ResetFxFrames(item);
    for (std::uint32_t slot : {0u, 1u}) {
      if (!FxMaskBitA(item, slot)) continue;
      FxFrame* frame = FxFrameAt(item, slot);
      frame->count = 3;
      for (std::uint32_t c = 0; c < 3; ++c) frame->grids[c] = &gItem[slot * 3 + c];
    }
    const std::uint16_t counts[7] = {0, 0, 0, 3, 3, 1, 1};
    for (std::uint32_t slot = 3; slot <= 6; ++slot)
      if (FxMaskBitB(item, slot)) FxFrameAt(item, slot)->count = counts[slot];
    const std::uint32_t ok = RunFxCalls(item);
    for (std::uint32_t slot = 0; slot <= 6 && ok; ++slot) ReleaseFrameMaps(item, slot);
    ReleaseFxTemporaries(item);
  }
  ReleaseFxTemporaries(shared);
}

void MakeItem() {
  using namespace veskor;
  for (std::uint32_t g = 0; g < 6; ++g) {
    VertexGridInit(gItem[g]);
    VertexGridAlloc(gItem[g], 2, 2);
    for (std::uint32_t j = 0; j < 5; ++j)
      for (std::uint32_t i = 0; i < 5; ++i)
        gItem[g].data[j * 5 + i] = g == 0 ? i * 0.25f : g == 1 ? j * 0.25f : g == 2 ? 0.1f * i * j
                                   : g == 5 ? 1.0f : 0.0f;
  }
}

veskor::GlProbe gContext;
std::uint32_t gExtensionWord = 0;

// The scene build of a parsed world, from the render set-up's resets on; its boxes are finite.
void BuildScene() {
  using namespace veskor;
  if (gContext.context == nullptr) return;
  for (std::uint32_t i = 0; i < gItemCount; ++i) PathSetFree(gItemPathSets.sets[i]);
  WorldSetExtent(gWorld, -800, -800, -400, 800, 800, 400, 0.5f, 0.5f, 0.5f, 0.5f);
  // The levels of detail the render session's set-up gives the refinement: terrain and object
  // geometry and textures over the World's four lists, with their scales and level ranges.
  const auto range = [](SubdivisionSettings& s, const LodBoxList& list, float scale,
                        std::uint32_t top) {
    s.range = LodRange{&list, scale, 0, top, 0.002f};
  };
  range(gTerrainGeometryLod, gWorld.lod.lists[2], 0.2f, 6);
  range(gTerrainTextureLod, gWorld.lod.lists[3], 1.0f, 10);
  range(gObjectGeometryLod, gWorld.lod.lists[0], 8.0f, 6);
  range(gObjectTextureLod, gWorld.lod.lists[1], 8.0f, 10);
  GeometryBatchBufferStartSession(gGeometryBatchBuffer, &gExtensionWord);
  SceneGridSessionReset(gSceneGrid);
  ItemTablesReset();
  ItemImagesReset();
  SceneBoxReset();
  gBuildProgress = BuildProgress{};
  gRegionBorders.Clear();
  gPortalCount = 0;
  const std::uint32_t built = SceneBuild(gWorld);
  if (built == 0 && !SceneBuildFailed()) std::abort();  // nothing asked it to stop
  for (int a = 0; a < 3; ++a)
    if (gSceneBox.min[a] <= gSceneBox.max[a] &&
        (!std::isfinite(gSceneBox.min[a]) || !std::isfinite(gSceneBox.max[a])))
      std::abort();
  for (std::uint32_t r = 1; r <= gWorld.sceneInstanceCount; ++r)
    for (float v : gWorld.sceneInstances[r].grid.box)
      if (std::isnan(v)) std::abort();
  GeometryBatchBufferClear(gGeometryBatchBuffer);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/veskor_world_fuzz_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  gDir = pattern + "/";
  std::atexit(RemoveDirectory);
  std::filesystem::create_directories(gDir + "Sub");
  // Samples for Sound blocks (sound stays off: the loaders read and check them only).
  veskor::test::WavDesc wav;
  wav.data = veskor::test::ConstantPcm16(32, 1, 100);
  const auto wavBytes = veskor::test::EncodeWav(wav);
  WriteFile("s.wav", std::string(wavBytes.begin(), wavBytes.end()));
  veskor::test::OggDesc ogg;
  ogg.samples = veskor::test::Sine(256, 1, 22050, 440, 0.5);
  const auto oggBytes = veskor::test::EncodeOgg(ogg);
  WriteFile("s.ogg", std::string(oggBytes.begin(), oggBytes.end()));
  WriteFile("a.wld", "#version \"1.2\" // a\n");
  WriteFile("Sub/b.wld", "/* b */ #include \"..\\a.wld\"\r\n#version \"3\"");
  WriteFile("c.wld", "#include \"c.wld\"\n");
  WriteFile("d.wld", "#include \"sub\\B.WLD\" #include \"A.wld\" Model");
  WriteFile("fx.wld", "Surface lib(x, k = [1 2 3]) { =(diffuse, *(x, k)) }\n");
  // A height-field layer image of 5 x 5 pixels, and one of a size no layer takes.
  const auto ramp = [](std::uint32_t x, std::uint32_t y, std::uint32_t) {
    return static_cast<std::uint8_t>(60 * x + 3 * y);
  };
  const auto h = veskor::test::EncodePng(5, 5, 1, ramp);
  WriteFile("h.png", std::string(h.begin(), h.end()));
  const auto odd = veskor::test::EncodePng(4, 6, 3, ramp);
  WriteFile("odd.png", std::string(odd.begin(), odd.end()));
  // What the render preparation has in place before the fx programs run.
  veskor::InitKernelTable();
  veskor::BuildNoiseTable1D(veskor::gNoiseGenerator.noise1D);
  veskor::BuildNoiseTable2D(veskor::gNoiseGenerator.noise2D);
  veskor::BuildNoiseVolume3D(veskor::gNoiseGenerator.noise3D);
  MakeItem();
  // The portals' reflection textures and the planets' need a context.
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  if (!veskor::GlProbeOpen(gContext)) {
    std::fprintf(stderr, "world fuzzer: no GL context (%s): worlds are not built\n",
                 veskor::GlLastError());
  } else {
    veskor::SpatialGridInit(veskor::gSceneGrid, nullptr, 1024, 1024, -16384, -16384, -2048, 16384,
                            16384, 2048);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WriteFile("root.wld", std::string(reinterpret_cast<const char*>(data), size));
  if (veskor::test::RunCompileSession(gDir + "root.wld").result == 1) {
    RunFxPrograms();
    BuildScene();
  }
  return 0;
}
