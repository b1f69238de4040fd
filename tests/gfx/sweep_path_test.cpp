#include "gfx/sweep_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "foundation/heap_areas.h"
#include "gfx/packed_value.h"

namespace veskor {
namespace {

TEST(PackedValue, SignAndMagnitudeInThousandTwentyFourths) {
  const struct {
    float value;
    std::uint16_t packed;
  } cases[] = {
      {0.5f, 512},         {-0.5f, 0x8000 + 512}, {28.0f, 28672},    {1.0f / 3, 341},
      {0.0004f, 0},        {1e-12f, 0},           {-0.0004f, 0x8000}, {0.0f, 0},
      {31.999f, 32766},    {32.0f, 0x7FFF},       {-40.0f, 0xFFFF},  {INFINITY, 0x7FFF},
      {-INFINITY, 0xFFFF}, {NAN, 0},              {-NAN, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToHalf(c.value), c.packed) << c.value;
  EXPECT_EQ(HalfToFloat(1024), 1.0f);
  EXPECT_EQ(HalfToFloat(0x8001), -1.0f / 1024);
  EXPECT_EQ(HalfToFloat(341), 0.3330078125f);
  EXPECT_EQ(HalfToFloat(28672), 28.0f);
}

// A ring of four points A, B, C, D: x = 1..4, y = 10..40, u = 0.25 i, t = i / 4, w = 28,
// edge values 100..103 and kinds 1..4, arc positions 0, 1, 3, 6 of a ring 10 long.
void FillRing(SweepPath& path) {
  SweepPathResize(path, 4);
  for (std::uint8_t i = 0; i < 4; ++i) {
    const float f = i;
    ASSERT_EQ(SweepPathAppend(path, f + 1, 10 * (f + 1), 0.25f * f, f / 4, 28, 100 + f,
                              static_cast<std::uint8_t>(i + 1)),
              1u);
    path.arcPosition[i] = f * (f + 1) / 2;
    path.pointFlag[i] = static_cast<std::uint8_t>(7 * i);
  }
  path.totalLength = 10, path.secondLength = 4, path.firstWord = 11, path.secondWord = 12;
  path.height = 2.5f, path.p = 3.5f, path.q = 4.5f, path.thirdWord = 13, path.fourthWord = 14;
  for (int i = 0; i < 4; ++i) path.bounds[i] = static_cast<float>(i);
}

TEST(SweepPath, AppendPacksAndRefusesPastTheCapacity) {
  SweepPath path;
  SweepPathInit(path);
  FillRing(path);
  EXPECT_EQ(path.block.usedBytes, 4 * kSweepPathPointBytes);
  EXPECT_EQ(SweepPathCount(path), 4u);
  EXPECT_EQ(path.packedU[3], 768);
  EXPECT_EQ(path.packedT[1], 256);
  EXPECT_EQ(path.packedTCopy[2], 512);
  EXPECT_EQ(path.packedW[0], 28672);
  EXPECT_EQ(*SweepPathX(path, 2), 3);
  EXPECT_EQ(*SweepPathY(path, 3), 40);
  EXPECT_EQ(*SweepPathValue(path, 1), 101);
  EXPECT_EQ(path.edgeKind[3], 4);

  const std::uint8_t kindBefore = path.edgeKind[3];
  EXPECT_EQ(SweepPathAppend(path, 9, 9, 0, 0, 0, 9, 9), 0u);
  EXPECT_EQ(path.count, 4u);
  EXPECT_EQ(path.edgeKind[3], kindBefore);
  SweepPathRelease(path);
}

TEST(SweepPath, ReverseRunsTheRingTheOtherWayFromTheSameStart) {
  SweepPath ring;
  SweepPath reversed;
  SweepPathInit(ring);
  SweepPathInit(reversed);
  FillRing(ring);
  reversed.thirdWord = 77, reversed.fourthWord = 78;
  SweepPathReverseCopy(reversed, ring);
  ASSERT_EQ(reversed.count, 4u);
  const std::vector<float> x(reversed.x, reversed.x + 4);
  EXPECT_EQ(x, (std::vector<float>{1, 4, 3, 2}));  // A, D, C, B
  const std::vector<float> y(reversed.y, reversed.y + 4);
  EXPECT_EQ(y, (std::vector<float>{10, 40, 30, 20}));
  const std::vector<float> edges(reversed.edgeValue, reversed.edgeValue + 4);
  EXPECT_EQ(edges, (std::vector<float>{103, 102, 101, 100}));
  const std::vector<std::uint8_t> kinds(reversed.edgeKind, reversed.edgeKind + 4);
  EXPECT_EQ(kinds, (std::vector<std::uint8_t>{4, 3, 2, 1}));
  const std::vector<float> arcs(reversed.arcPosition, reversed.arcPosition + 4);
  EXPECT_EQ(arcs, (std::vector<float>{0, 4, 7, 9}));
  const std::vector<std::uint16_t> t(reversed.packedT, reversed.packedT + 4);
  EXPECT_EQ(t, (std::vector<std::uint16_t>{0, 256, 512, 768}));  // 0, 1 - 0.75, ...
  EXPECT_EQ(reversed.packedTCopy[1], 256);
  const std::vector<std::uint16_t> u(reversed.packedU, reversed.packedU + 4);
  EXPECT_EQ(u, (std::vector<std::uint16_t>{0, 768, 512, 256}));
  const std::vector<std::uint8_t> flags(reversed.pointFlag, reversed.pointFlag + 4);
  EXPECT_EQ(flags, (std::vector<std::uint8_t>{0, 21, 14, 7}));
  EXPECT_EQ(reversed.packedW[2], 28672);
  EXPECT_EQ(reversed.totalLength, 10);
  EXPECT_EQ(reversed.secondLength, 4);
  EXPECT_EQ(reversed.firstWord, 11u);
  EXPECT_EQ(reversed.secondWord, 12u);
  EXPECT_EQ(reversed.bounds[3], 3);
  EXPECT_EQ(reversed.height, 2.5f);
  EXPECT_EQ(reversed.p, 3.5f);
  EXPECT_EQ(reversed.q, 3.5f);  // both take the source's P
  EXPECT_EQ(reversed.thirdWord, 77u);
  EXPECT_EQ(reversed.fourthWord, 78u);

  SweepPath empty;
  SweepPathInit(empty);
  SweepPathResize(empty, 0);
  SweepPathReverseCopy(reversed, empty);
  EXPECT_EQ(reversed.count, 0u);
  SweepPathRelease(ring);
  SweepPathRelease(reversed);
  SweepPathRelease(empty);
}

TEST(SweepPath, SizingReusesTheBlockWhereItCan) {
  SweepPath ring;
  SweepPath copy;
  SweepPathInit(ring);
  SweepPathInit(copy);
  FillRing(ring);
  SweepPathResize(copy, 4);
  float* const arrays = copy.x;
  SweepPathAssign(copy, ring);  // the same capacity: the arrays stay
  EXPECT_EQ(copy.x, arrays);
  EXPECT_EQ(copy.count, 4u);
  EXPECT_EQ(std::vector<float>(copy.y, copy.y + 4), std::vector<float>(ring.y, ring.y + 4));
  EXPECT_EQ(copy.packedW[3], 28672);
  EXPECT_EQ(copy.pointFlag[3], 21);
  EXPECT_EQ(copy.arcPosition[3], 6);
  EXPECT_EQ(copy.edgeKind[2], 3);
  EXPECT_EQ(copy.q, 4.5f);
  EXPECT_EQ(copy.thirdWord, 13u);
  EXPECT_EQ(copy.fourthWord, 14u);

  SweepPathResize(copy, 4);  // the same capacity again: kept and emptied
  EXPECT_EQ(copy.x, arrays);
  EXPECT_EQ(copy.count, 0u);
  EXPECT_EQ(copy.totalLength, 0);
  EXPECT_EQ(copy.p, 0);
  EXPECT_EQ(copy.bounds[2], 2);  // the bounds stay

  SweepPathResize(copy, 2);  // fits the committed block: reused, carved for 2
  EXPECT_EQ(copy.x, arrays);
  EXPECT_EQ(copy.capacity, 2u);
  EXPECT_EQ(copy.edgeKind, reinterpret_cast<std::uint8_t*>(arrays) + 25 * 2);
  SweepPathResize(copy, 1000);  // 26000 bytes: another block
  EXPECT_EQ(copy.block.sizeClass, 15u);
  EXPECT_EQ(copy.block.usedBytes, 26000u);
  EXPECT_EQ(copy.capacity, 1000u);

  const std::uint32_t inUse = HeapAreasBytesInUse();
  SweepPathRelease(copy);
  EXPECT_EQ(HeapAreasBytesInUse(), inUse - 7 * kPageBytes);  // its committed pages
  EXPECT_EQ(copy.x, nullptr);
  EXPECT_EQ(copy.capacity, 0u);
  SweepPathResize(copy, 3);  // sized afresh after the release
  EXPECT_EQ(copy.capacity, 3u);
  EXPECT_EQ(SweepPathAppend(copy, 1, 2, 0, 0, 0, 0, 0), 1u);
  SweepPathRelease(copy);
  SweepPathRelease(ring);
}

}  // namespace
}  // namespace veskor
