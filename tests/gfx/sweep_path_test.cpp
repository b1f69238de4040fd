#include "gfx/sweep_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "foundation/heap_areas.h"
#include "gfx/packed_value.h"
#include "support/fatal_test.h"

namespace veskor {
namespace {

TEST(PackedValue, SignAndMagnitudeInThousandTwentyFourths) {
  const struct {
    float value;
    std::uint16_t packed;
  } cases[] = {
      {0.5f, 512},         {-0.5f, 0x8000 + 512},
      {28.0f, 28672},      {1.0f / 3, 341},
      {0.0004f, 0},        {1e-12f, 0},
      {-0.0004f, 0x8000},  {0.0f, 0},
      {31.999f, 32766},    {32.0f, 0x7FFF},
      {-40.0f, 0xFFFF},    {INFINITY, 0x7FFF},
      {-INFINITY, 0xFFFF}, {NAN, 0},
      {-NAN, 0},           {-31.999f, 0x8000 + 32766},
      {-32.0f, 0xFFFF},    {1.0f / 1024, 1},
      {0.0009765f, 0},     {1e-10f, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToHalf(c.value), c.packed) << c.value;
  const std::vector<float> unpacked = {HalfToFloat(1024), HalfToFloat(0x8001), HalfToFloat(341),
                                       HalfToFloat(28672)};
  EXPECT_EQ(unpacked, (std::vector<float>{1, -1.0f / 1024, 0.3330078125f, 28}));
}

// The first four values of a point array.
template <class T>
std::vector<T> Four(const T* values) {
  return std::vector<T>(values, values + 4);
}

// A ring of four points A, B, C, D: x = 1..4, y = 10..40, u = 0.25 i, t = i / 4, w = 28,
// edge values 100..103 and kinds 1..4, point flags 7 i, arc positions 0, 1, 3, 6 of a ring 10
// long, and every field set.
void FillRing(SweepPath& path) {
  SweepPathInit(path);
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
  FillRing(path);
  EXPECT_EQ(path.block.usedBytes, 4 * kSweepPathPointBytes);
  EXPECT_EQ(Four(path.packedU), (std::vector<std::uint16_t>{0, 256, 512, 768}));
  EXPECT_EQ(Four(path.packedTCopy), Four(path.packedT));
  EXPECT_EQ(path.packedT[1], 256);
  EXPECT_EQ(path.packedW[0], 28672);
  EXPECT_EQ(*SweepPathX(path, 2) + *SweepPathY(path, 3) + *SweepPathValue(path, 1), 3 + 40 + 101);
  EXPECT_EQ(Four(path.edgeKind), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(SweepPathAppend(path, 9, 9, 0, 0, 0, 9, 9), 0u);
  EXPECT_EQ(SweepPathCount(path), 4u);
  EXPECT_EQ(path.edgeKind[3], 4);
  SweepPathRelease(path);
}

TEST(SweepPath, ReverseRunsTheRingTheOtherWayFromTheSameStart) {
  SweepPath ring;
  SweepPath reversed;
  FillRing(ring);
  SweepPathInit(reversed);
  reversed.thirdWord = 77, reversed.fourthWord = 78;
  SweepPathReverseCopy(reversed, ring);
  ASSERT_EQ(reversed.count, 4u);
  EXPECT_EQ(Four(reversed.x), (std::vector<float>{1, 4, 3, 2}));  // A, D, C, B
  EXPECT_EQ(Four(reversed.y), (std::vector<float>{10, 40, 30, 20}));
  EXPECT_EQ(Four(reversed.edgeValue), (std::vector<float>{103, 102, 101, 100}));
  EXPECT_EQ(Four(reversed.edgeKind), (std::vector<std::uint8_t>{4, 3, 2, 1}));
  EXPECT_EQ(Four(reversed.arcPosition), (std::vector<float>{0, 4, 7, 9}));
  EXPECT_EQ(Four(reversed.packedT), (std::vector<std::uint16_t>{0, 256, 512, 768}));  // 1 - t
  EXPECT_EQ(Four(reversed.packedTCopy), Four(reversed.packedT));
  EXPECT_EQ(Four(reversed.packedU), (std::vector<std::uint16_t>{0, 768, 512, 256}));
  EXPECT_EQ(Four(reversed.pointFlag), (std::vector<std::uint8_t>{0, 21, 14, 7}));
  EXPECT_EQ(reversed.packedW[2], 28672);
  EXPECT_EQ((std::vector<float>{reversed.totalLength, reversed.secondLength, reversed.bounds[3],
                                reversed.height, reversed.p, reversed.q}),
            (std::vector<float>{10, 4, 3, 2.5f, 3.5f, 3.5f}));  // P and Q both take P
  EXPECT_EQ((std::vector<std::uint32_t>{reversed.firstWord, reversed.secondWord, reversed.thirdWord,
                                        reversed.fourthWord}),
            (std::vector<std::uint32_t>{11, 12, 77, 78}));
  SweepPath empty;
  SweepPathInit(empty);
  SweepPathReverseCopy(reversed, empty);
  EXPECT_EQ(reversed.count, 0u);
  SweepPathRelease(ring);
  SweepPathRelease(reversed);
}

TEST(SweepPath, SizingReusesTheBlockWhereItCan) {
  test::ScopedHeapAreas scoped;  // pages counted from a manager that no other test has used
  SweepPath ring;
  SweepPath copy;
  FillRing(ring);
  SweepPathInit(copy);
  SweepPathResize(copy, 4);
  float* const arrays = copy.x;
  SweepPathAssign(copy, ring);  // the same capacity: the arrays stay
  EXPECT_EQ(copy.x, arrays);
  EXPECT_EQ(Four(copy.y), Four(ring.y));
  EXPECT_EQ(Four(copy.arcPosition), Four(ring.arcPosition));
  EXPECT_EQ(Four(copy.pointFlag), Four(ring.pointFlag));
  EXPECT_EQ(copy.packedW[3] + copy.edgeKind[2], 28672 + 3);
  EXPECT_EQ(copy.q + copy.fourthWord, 4.5f + 14);

  SweepPathResize(copy, 4);  // the same capacity again: kept and emptied, the bounds stay
  EXPECT_EQ(copy.x, arrays);
  EXPECT_EQ(copy.count + copy.totalLength + copy.p, 0);
  EXPECT_EQ(copy.bounds[2], 2);
  SweepPathResize(copy, 2);  // fits the committed block: reused, carved for 2
  EXPECT_EQ(copy.x, arrays);
  EXPECT_EQ(copy.edgeKind, reinterpret_cast<std::uint8_t*>(arrays) + 25 * 2);
  SweepPathResize(copy, 1000);  // 26000 bytes: another block
  EXPECT_EQ(copy.block.sizeClass, 15u);
  EXPECT_EQ(copy.block.usedBytes, 26000u);

  const std::uint32_t inUse = HeapAreasBytesInUse();
  SweepPathRelease(copy);
  EXPECT_EQ(HeapAreasBytesInUse(), inUse - 7 * kPageBytes);  // its committed pages
  EXPECT_EQ(copy.x, nullptr);
  SweepPathResize(copy, 3);  // sized afresh after the release
  EXPECT_EQ(SweepPathAppend(copy, 1, 2, 0, 0, 0, 0, 0), 1u);
  SweepPathRelease(copy);
  SweepPathRelease(ring);
}

}  // namespace
}  // namespace veskor
