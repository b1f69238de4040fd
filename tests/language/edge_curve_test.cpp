#include "language/edge_curve.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/fatal_test.h"

namespace veskor {
namespace {

using test::ScopedHeapAreas;

std::vector<float> Floats(const float* p, std::uint32_t n) { return {p, p + n}; }

// Blocks of class k parked with the memory manager.
std::uint32_t Parked(const HeapAreas& heap, std::uint32_t k) {
  std::uint32_t n = 0;
  for (const FreeBlockNode* node = heap.sizeClassLists[k].head; node != nullptr;
       node = node->next) {
    ++n;
  }
  return n;
}

TEST(EdgeCurve, ResizeKeepsTheBlockWhileThePointsFitAndEmptiesTheCurve) {
  ScopedHeapAreas heap;
  EdgeCurve c{};
  EdgeCurveInit(c);
  EdgeCurveResize(c, 3);  // 102 bytes: a 128-byte block
  EXPECT_EQ(c.block.sizeClass, 7u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(AppendCurvePoint(c, i, 2.0f * i, 1, 0.5f, 0.25f, 28, 7));
  EXPECT_FALSE(AppendCurvePoint(c, 9, 9, 9, 0, 0, 28, 0));  // full: nothing written
  EXPECT_EQ(c.count, 3u);
  EXPECT_EQ(Floats(c.param, 3), (std::vector<float>{0, 1, 2}));
  EXPECT_EQ(Floats(c.y, 3), (std::vector<float>{0, 2, 4}));
  EXPECT_EQ(c.flag[2], 7);
  EXPECT_EQ(c.skipDepth[2], 0);
  // The arrays lie in their fixed order, 4 n bytes apart, the two byte arrays last.
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(c.levels), c.block.base + 7 * 12);
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(c.flag), c.block.base + 8 * 12 + 3);

  std::uint8_t* const base = c.block.base;
  float* const x = c.x;
  EdgeCurveResize(c, 3);  // same count: arrays and values stay, the curve is empty
  EXPECT_EQ(c.x, x);
  EXPECT_EQ(c.x[2], 2.0f);
  EXPECT_EQ(c.count, 0u);
  EdgeCurveResize(c, 1);  // 34 bytes fit: same block, arrays carved again
  EXPECT_EQ(c.block.base, base);
  EXPECT_EQ(c.y, c.x + 1);
  EXPECT_EQ(c.capacity, 1u);
  EdgeCurveResize(c, 4);  // 136 bytes do not fit 128: a new block, the old one parked
  EXPECT_EQ(c.block.sizeClass, 8u);
  EdgeCurve d{};
  EdgeCurveResize(d, 3);
  EXPECT_EQ(d.block.base, base);  // the parked block is the one handed out next
  EdgeCurveRelease(c);
  EXPECT_EQ(c.block.base, nullptr);
  EXPECT_EQ(c.x, nullptr);
  EXPECT_EQ(c.capacity, 0u);
  EdgeCurveRelease(d);
}

TEST(EdgeCurve, MetricsMeasureTheClosedPolygonAndItsBox) {
  EdgeCurve c{};
  EdgeCurveResize(c, 3);
  AppendCurvePoint(c, 5, -1, 2, 0, 0, 28, 0);
  EdgeCurveMetrics(c);  // one point: no length, the point's box
  EXPECT_EQ(c.arcLength[0], 0.0f);
  EXPECT_EQ(c.length, 0.0f);
  EXPECT_EQ(Floats(c.box, 6), (std::vector<float>{5, 5, -1, -1, 2, 2}));
  AppendCurvePoint(c, 8, 3, 2, 0, 0, 28, 0);   // 3-4-5 from the first
  AppendCurvePoint(c, 8, 3, 14, 0, 0, 28, 0);  // 12 up; back to the first: 13
  EdgeCurveMetrics(c);
  EXPECT_EQ(Floats(c.arcLength, 3), (std::vector<float>{0, 5, 17}));
  EXPECT_EQ(c.length, 30.0f);
  EXPECT_EQ(Floats(c.box, 6), (std::vector<float>{5, 8, -1, 3, 2, 14}));

  EdgeCurve copy{};
  c.extra = 4;
  EdgeCurveCopy(copy, c);
  EXPECT_EQ(copy.capacity, 3u);
  EXPECT_EQ(copy.count, 3u);
  EXPECT_EQ(copy.extra, 4u);
  EXPECT_EQ(copy.length, 30.0f);
  EXPECT_EQ(Floats(copy.height, 3), Floats(c.height, 3));
  EXPECT_EQ(Floats(copy.arcLength, 3), Floats(c.arcLength, 3));
  EXPECT_EQ(Floats(copy.box, 6), Floats(c.box, 6));
  EdgeCurveRelease(copy);
  EdgeCurveRelease(c);
}

TEST(EdgeCurveList, ResizeAppendClearAndFree) {
  ScopedHeapAreas heap;
  EdgeCurveList list{};
  EdgeCurveListInit(list);
  ModelCurveMetrics(list);  // no curves: a zero box
  EXPECT_EQ(Floats(list.box, 6), std::vector<float>(6, 0.0f));
  EdgeCurveListResize(list, 2, kEdgeCurveListCurveSet);
  EXPECT_EQ(list.kind, kEdgeCurveListCurveSet);
  EdgeCurve* curves = EdgeCurveListAppend(list, 2);
  ASSERT_EQ(curves, list.curves);
  EXPECT_EQ(list.count, 2u);
  const float points[2][2][3] = {{{0, 0, -1}, {0, 0, 1}}, {{-3, 4, 0}, {2, 1, 5}}};
  for (int i = 0; i < 2; ++i) {
    EdgeCurveResize(curves[i], 2);
    for (const auto& p : points[i]) AppendCurvePoint(curves[i], p[0], p[1], p[2], 0, 0, 28, 0);
  }
  ModelCurveMetrics(list);
  EXPECT_EQ(Floats(curves[0].box, 6), (std::vector<float>{0, 0, 0, 0, -1, 1}));
  EXPECT_EQ(Floats(list.box, 6), (std::vector<float>{-3, 2, 0, 4, -1, 5}));

  std::uint8_t* const firstCurveBlock = curves[0].block.base;
  EdgeCurveListResize(list, 2, kEdgeCurveListModel);  // room enough: curves parked, block kept
  EXPECT_EQ(list.curves, curves);
  EXPECT_EQ(list.count, 0u);
  EdgeCurve probe{};
  EdgeCurveResize(probe, 2);
  EXPECT_EQ(probe.block.base, firstCurveBlock);  // the oldest parked block of its class
  EdgeCurveRelease(probe);
  EXPECT_EQ(EdgeCurveListAppend(list, 1), curves);  // appends start again at the first record
  EXPECT_EQ(curves[0].block.base, nullptr);
  EdgeCurveResize(curves[0], 2);
  const std::uint32_t parked = Parked(heap.heap(), curves[0].block.sizeClass);
  EdgeCurveListClear(list);
  EXPECT_EQ(Parked(heap.heap(), 7), parked + 1);
  EXPECT_EQ(list.count, 0u);
  EXPECT_EQ(list.block.usedBytes, 0u);
  EdgeCurveListResize(list, 3, kEdgeCurveListModel);  // more than it holds: a new block
  EXPECT_EQ(list.capacity, 3u);
  EdgeCurveListAppend(list, 3);
  EdgeCurveListFree(list);
  EXPECT_EQ(list.block.base, nullptr);
  EXPECT_EQ(list.curves, nullptr);
  EXPECT_EQ(list.capacity, 0u);
}

TEST(EdgeCurveList, AppendedCurvesAreClearedWhateverTheBlockHeld) {
  ScopedHeapAreas heap;
  MemBlock junk{};
  MemBlockReserve(junk, 512);
  std::memset(MemBlockAppend(junk, 512), 0xAB, 512);
  MemBlockRelease(junk);
  EdgeCurveList list{};
  EdgeCurveListResize(list, 2, kEdgeCurveListModel);  // takes the parked block back
  const EdgeCurve* c = EdgeCurveListAppend(list, 2);
  EXPECT_EQ(c[1].block.base, nullptr);
  EXPECT_EQ(c[1].x, nullptr);
  EXPECT_EQ(c[1].count + c[1].capacity, 0u);
  EXPECT_EQ(Floats(c[1].box, 6), std::vector<float>(6, 0.0f));
  EdgeCurveListFree(list);
}

TEST(EdgeCurveListDeath, AppendingPastTheListBlockIsFatal) {
  EdgeCurveList list{};
  EdgeCurveListInit(list);
  EXPECT_FATAL(EdgeCurveListAppend(list, 1),
               "Virtual Memory Error : Required Memory > Reserved Memory (0+" +
                   std::to_string(sizeof(EdgeCurve)) + ">(1<<0))");
}

}  // namespace
}  // namespace veskor
