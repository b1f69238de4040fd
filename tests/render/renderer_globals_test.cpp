// The renderer's globals in a child process: a normal exit after the preparation statics were
// built releases them before the construction list's objects, while the memory manager still
// runs; a run that never prepares builds none; the contour texture is released at most once.
#include "render/renderer_globals.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "foundation/heap_areas.h"

namespace veskor {
namespace {

RenderPrepareStatics gProbe{};

void CheckAtExit() {
  const bool released = gProbe.shadeGridA->data == nullptr && gProbe.shadeGridB->data == nullptr &&
                        gProbe.lightScratchTexture->block.base == nullptr;
  const bool tableAlive = ContourTexture().pixels.block.base != nullptr && HeapActive();
  std::fprintf(stderr, "%s\n", released && tableAlive ? "statics first" : "wrong order");
}

TEST(RendererGlobals, ConstructionStateAndExitOrder) {
  EXPECT_EQ(gVertexHash.generation, 1u);
  EXPECT_EQ(gVertexHash.seed, 0u);
  EXPECT_EQ(MeshBuilderSwitch, 1u);
  EXPECT_EQ(gVertexHash.tables[1][kVertexHashEntries - 1].words[5], 0u);
  EXPECT_EXIT(
      {
        if (RenderPrepareGuard() != 0) std::_Exit(2);  // nothing built before a preparation
        std::atexit(CheckAtExit);  // runs after the handlers registered below
        gProbe = RenderPrepareBuildStatics();
        if (RenderPrepareGuard() != 63 || gProbe.environmentCamera->rolledUp[2] != 1.0f ||
            gProbe.shadowCamera->right[0] != 1.0f || gProbe.shadeGridA->scaleX != 1.0f)
          std::_Exit(3);
        VertexGridAlloc(*gProbe.shadeGridA, 2, 2);
        VertexGridAlloc(*gProbe.shadeGridB, 1, 3);
        MemBlockReserve(gProbe.lightScratchTexture->block, 4096);
        Texture2DResize(ContourTexture(), 4, 2, 2);
        // A second call builds nothing again: the grid keeps its values.
        const float* data = gProbe.shadeGridA->data;
        if (RenderPrepareBuildStatics().shadeGridA->data != data) std::_Exit(4);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "statics first");
}

TEST(RendererGlobals, ContourTextureIsReleasedOnce) {
  EXPECT_EXIT(
      {
        Texture2DResize(ContourTexture(), 4, 2, 2);
        ContourTextureRelease();
        if (ContourTexture().pixels.block.base != nullptr) std::_Exit(2);
        Texture2DResize(ContourTexture(), 4, 2, 2);
        ContourTextureRelease();  // the guard bit is clear: nothing happens
        std::fprintf(stderr, "%s\n", ContourTexture().pixels.block.base != nullptr ? "once" : "twice");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "once");
}

}  // namespace
}  // namespace veskor
