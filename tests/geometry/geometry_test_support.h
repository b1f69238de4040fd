// What the geometry tests and benchmarks share: the kernel table of one path, curves and lists
// built by hand, and the level-of-detail settings filled as the render session fills them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "geometry/subdivision_settings.h"
#include "language/edge_curve.h"
#include "language/world.h"
#include "support/kernel_tables.h"

namespace veskor::test {

// Puts the plain or SSE table into gKernelTable for the scope.
class ScopedKernels {
 public:
  explicit ScopedKernels(bool sse) : saved_(gKernelTable) { gKernelTable = Tables(sse); }
  ~ScopedKernels() { gKernelTable = saved_; }
  ScopedKernels(const ScopedKernels&) = delete;
  ScopedKernels& operator=(const ScopedKernels&) = delete;

 private:
  KernelTable saved_;
};

// One point as a producer writes it, with its skip depth.
struct CurvePoint {
  float x, y, height, edgeSharpness = 0, sectionSharpness = 0, levels = 28;
  std::int8_t skipDepth = 0;
};

inline void FillCurve(EdgeCurve& c, const std::vector<CurvePoint>& points) {
  EdgeCurveResize(c, static_cast<std::uint32_t>(points.size()));
  for (const CurvePoint& p : points) {
    AppendCurvePoint(c, p.x, p.y, p.height, p.edgeSharpness, p.sectionSharpness, p.levels, 0);
    c.skipDepth[c.count - 1] = p.skipDepth;
  }
}

// A list of the given kind, one curve per point run, with its metrics.
inline void FillList(EdgeCurveList& list, std::uint32_t kind,
                     const std::vector<std::vector<CurvePoint>>& curves) {
  const auto n = static_cast<std::uint32_t>(curves.size());
  EdgeCurveListResize(list, n, kind);
  if (n > 0) EdgeCurveListAppend(list, n);
  for (std::uint32_t c = 0; c < n; ++c) FillCurve(list.curves[c], curves[c]);
  ModelCurveMetrics(list);
}

// The ranges as the render session sets them up: terrain geometry from LOD list 3 with scale
// 0.2, object geometry from list 1 with scale 8.0, levels 0 to 6, distance factor 0.002
// (texture ranges: lists 4 and 2, levels 0 to 10). The nodes are left as they are.
inline void FillSessionRanges(const World& world) {
  auto set = [](SubdivisionSettings& s, const LodBoxList& list, float scale, std::uint32_t top) {
    s.range = LodRange{&list, scale, 0, top, 0.002f};
  };
  set(gTerrainGeometryLod, world.lod.lists[2], 0.2f, 6);
  set(gTerrainTextureLod, world.lod.lists[3], 1.0f, 10);
  set(gObjectGeometryLod, world.lod.lists[0], 8.0f, 6);
  set(gObjectTextureLod, world.lod.lists[1], 8.0f, 10);
}

}  // namespace veskor::test
