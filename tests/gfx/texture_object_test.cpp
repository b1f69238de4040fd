// Texture objects without a GL context: sizes, blocks, slots and flags. Binding is tested in
// texture_object_gl_test.cpp.
#include "gfx/texture_object.h"

#include <gtest/gtest.h>

#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "gfx/texture_names.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

// Every test starts from renewed names (without a GL context the GL calls do nothing).
class TextureObject : public ::testing::Test {
 protected:
  void SetUp() override { RenewTextureNames(); }
  void TearDown() override { RenewTextureNames(); }  // the names taken, the last ones too, back
};

TEST_F(TextureObject, ResizeSetsSizesAndFormatFromTheChannels) {
  const struct {
    std::uint32_t channels, byteFormat, floatFormat;
  } cases[] = {{1, 8, 0}, {2, 13, 5}, {3, 11, 3}, {4, 12, 4}};
  for (const auto& c : cases) {
    Texture2D bytes;
    FloatTexture2D floats;
    Texture2DResize(bytes, c.channels, 5, 3);
    FloatTexture2DRealloc(floats, c.channels, 3, 5);
    EXPECT_EQ(bytes.state.formatCode, c.byteFormat);
    EXPECT_EQ(floats.state.formatCode, c.floatFormat);
    EXPECT_EQ(bytes.pixels.block.usedBytes, c.channels * 256);
    EXPECT_EQ(floats.pixels.block.usedBytes, c.channels * 256 * 4);
    EXPECT_EQ(TextureLog2Width(bytes) + TextureLog2Height(floats), 10u);
    EXPECT_FLOAT_EQ(bytes.pixels.halfTexelWidth, 0.5f / 32);
    EXPECT_FLOAT_EQ(bytes.pixels.halfTexelHeight, 0.5f / 8);
  }
}

TEST_F(TextureObject, ResizeKeepsTheBlockOnlyForTheSameByteSize) {
  Texture2D t;
  Texture2DResize(t, 3, 8, 8);
  void* first = TextureData(t);
  static_cast<std::uint8_t*>(first)[0] = 77;
  Texture2DResize(t, 3, 9, 7);
  EXPECT_EQ(TextureData(t), first);
  EXPECT_EQ(static_cast<std::uint8_t*>(TextureData(t))[0], 77);
  Texture2DResize(t, 3, 9, 9);
  EXPECT_NE(TextureData(t), first);
  EXPECT_EQ(t.pixels.block.usedBytes, 3u * 512 * 512);

  // Four bytes a texel: a block of three bytes a texel of the same sizes is not kept.
  Texture2DResize(t, 3, 6, 6);
  Texture2DResizeWH2(t, 6, 6);
  EXPECT_EQ(t.pixels.block.usedBytes, 4u * 64 * 64);
  EXPECT_EQ(t.pixels.channels, 3);  // left as it was
  void* kept = TextureData(t);
  Texture2DResizeWH2(t, 7, 5);
  EXPECT_EQ(TextureData(t), kept);
}

TEST_F(TextureObject, SlotsAreKeptByResizesAndComeBackLastFreedFirst) {
  Texture2D a, b, c;
  Texture2DResize(a, 3, 2, 2);
  Texture2DResize(a, 4, 3, 3);
  Texture2DResize(b, 3, 2, 2);
  EXPECT_EQ(a.state.slot, 0u);
  EXPECT_EQ(b.state.slot, 1u);
  TextureFree(a);
  TextureFree(b);
  EXPECT_EQ(a.state.hasSlot, 0u);
  EXPECT_EQ(TextureData(a), nullptr);
  Texture2DResize(c, 3, 2, 2);
  EXPECT_EQ(c.state.slot, 1u);
  Texture2DResize(a, 3, 2, 2);
  EXPECT_EQ(a.state.slot, 0u);
  {
    Texture2D d;  // its destructor gives its fresh slot back
    Texture2DResize(d, 1, 0, 0);
    EXPECT_EQ(d.state.slot, 2u);
  }
  Texture2DResize(b, 3, 2, 2);
  EXPECT_EQ(b.state.slot, 2u);
  EXPECT_EQ(NextFreshName, 3u);

  TextureCube cube;
  TextureCubeResize(cube, 3, 2);
  TextureCubeRelease(cube);
  EXPECT_EQ(cube.faces[5].data, nullptr);
  EXPECT_EQ(TextureNamePool.freed.count, 1u);
}

TEST_F(TextureObject, StaleSlotsAreNeverGivenBackNorShared) {
  Texture2D a, b;
  Texture2DResize(a, 3, 2, 2);  // slot 0
  RenewTextureNames();
  Texture2DResize(b, 3, 2, 2);  // the fresh slot 0 again
  EXPECT_EQ(b.state.slot, 0u);
  Texture2DResize(a, 3, 2, 2);  // drops its stale slot 0
  EXPECT_EQ(a.state.slot, 1u);

  Texture2D c;
  Texture2DResize(c, 3, 2, 2);  // slot 2
  RenewTextureNames();
  TextureFree(c);  // stale: not pushed
  EXPECT_EQ(TextureNamePool.freed.count, 0u);
  Texture2D d;
  Texture2DResize(d, 3, 2, 2);
  EXPECT_EQ(d.state.slot, 0u);
  // Nor after the memory manager's exit release.
  {
    test::ScopedHeapAreas scoped;
    HeapAreasRelease();
    TextureFree(d);
  }
  EXPECT_EQ(TextureNamePool.freed.count, 0u);
}

TEST_F(TextureObject, PixelsOfMoreThanTwoGigabytesAreFatal) {
  // 2 GB pass the texture's own limit and fail only for want of address space.
  Texture2D t;
  EXPECT_FATAL(Texture2DResize(t, 1, 16, 15), "Virtual Memory Error : Large Area is Full");
  EXPECT_FATAL(Texture2DResize(t, 3, 15, 15),
               "Virtual Memory Error : Required Memory > Reserved Memory");
}

TEST_F(TextureObject, WrapFilterAndLodMarkDirtyOnlyOnChange) {
  Texture2D t;
  TextureCube cube;
  TextureCubeResize(cube, 3, 4);
  t.state.dirty = cube.state.dirty = 0;
  Texture2DSetWrap(t, 0);
  Texture2DSetFilter(t, 0);
  TextureCubeSetWrap(cube, 0);
  TextureCubeSetFilter(cube, 0);
  ExtensionMask = 0;
  TextureCubeSetLod(cube, 2.0f);  // needs the texture LOD extension
  EXPECT_EQ(t.state.dirty + cube.state.dirty + cube.state.maxLodFlag, 0u);
  Texture2DSetFilter(t, kFilterTrilinear);
  TextureCubeSetWrap(cube, kWrapRepeatS);
  EXPECT_EQ(t.state.dirty + cube.state.dirty, 2u);
  ExtensionMask = kExtTextureLod;
  TextureCubeSetLod(cube, 2.0f);
  EXPECT_EQ(cube.state.maxLodFlag, 1u);
  TextureCubeResize(cube, 3, 4);
  EXPECT_EQ(cube.state.maxLodFlag, 0u);
  ExtensionMask = 0;
}

TEST_F(TextureObject, MoreSlotsThanNamesIsFatal) {
  NextFreshName = kTextureNameCount - 1;
  Texture2D last;
  Texture2DResize(last, 1, 0, 0);
  EXPECT_EQ(last.state.slot, kTextureNameCount - 1);
  Texture2D past;
  EXPECT_FATAL(Texture2DResize(past, 1, 0, 0), "Texture Name Table Overflow !");
}

TEST_F(TextureObject, PoolHoldsAtMost2048FreedSlots) {
  Texture2D t;
  Texture2DResize(t, 1, 0, 0);  // the pool is set up at the first take
  for (std::uint32_t i = 0; i < 2048; ++i) GiveBackTextureSlot(i, ContextStamp);
  EXPECT_FATAL(GiveBackTextureSlot(2048, ContextStamp),
               "Virtual Memory Error : Required Memory > Reserved Memory (8192+4>(1<<13))");
  RenewTextureNames();  // so that t's slot, now stale, is not pushed onto the full pool
}

}  // namespace
}  // namespace veskor
