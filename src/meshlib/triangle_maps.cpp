#include "meshlib/triangle_maps.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "mapengine/kernel_table.h"
#include "meshlib/render_arrays.h"

namespace veskor {

namespace {

// Texture u and the six attributes (position, normal) of a point of the triangle.
struct MapPoint {
  float u;
  float a[6];
};

MapPoint PointOf(const RenderVertex& p) { return {p.u, {p.x, p.y, p.z, p.nx, p.ny, p.nz}}; }

// The point of edge p-q at texture v, held to the edge (a row's v may lie a little above the
// first vertex of the row).
MapPoint EdgeAt(const RenderVertex& p, const RenderVertex& q, float v) {
  const float dv = q.v - p.v;
  const float t = dv != 0 ? std::clamp((v - p.v) / dv, 0.0f, 1.0f) : 0.0f;
  const MapPoint a = PointOf(p), b = PointOf(q);
  MapPoint r;
  r.u = a.u + t * (b.u - a.u);
  for (int i = 0; i < 6; ++i) r.a[i] = a.a[i] + t * (b.a[i] - a.a[i]);
  return r;
}

// The row or column of a coordinate on a side of 2^log2 texels, truncated; values far off the
// map are held just outside it.
long Cell(float c, std::uint32_t log2) {
  const double side = static_cast<double>(1L << log2);
  return static_cast<long>(std::clamp(static_cast<double>(c) * side, -2.0, side + 1.0));
}

void PutTexel(const TriangleMaps& maps, long column, long row, const float* a) {
  const std::size_t i =
      (static_cast<std::size_t>(row) << maps.log2Width) + static_cast<std::size_t>(column);
  for (int k = 0; k < 3; ++k) maps.planes[k][i] = a[k];
  float n[3] = {a[3], a[4], a[5]};
  gKernelTable.KernelNormalize3(n);
  for (int k = 0; k < 3; ++k) maps.planes[3 + k][i] = n[k];
}

}  // namespace

void RasterizeTriangleMaps(const RenderVertex& a, const RenderVertex& b, const RenderVertex& c,
                           const TriangleMaps& maps) {
  if (maps.log2Width > kMaxMapLog2 || maps.log2Height > kMaxMapLog2) return;
  const RenderVertex* p[3] = {&a, &b, &c};
  for (const RenderVertex* q : p)
    if (!std::isfinite(q->u) || !std::isfinite(q->v)) return;
  if (p[1]->v < p[0]->v) std::swap(p[0], p[1]);
  if (p[2]->v < p[1]->v) std::swap(p[1], p[2]);
  if (p[1]->v < p[0]->v) std::swap(p[0], p[1]);

  const long width = 1L << maps.log2Width, height = 1L << maps.log2Height;
  const long r0 = Cell(p[0]->v, maps.log2Height), r1 = Cell(p[1]->v, maps.log2Height),
             r2 = Cell(p[2]->v, maps.log2Height);
  for (long row = std::max(r0, 0L); row <= std::min(r2, height - 1); ++row) {
    const float v = static_cast<float>(row) / static_cast<float>(height);
    MapPoint left, right;
    if (r0 == r2) {  // one row: from the leftmost vertex to the rightmost
      left = right = PointOf(*p[0]);
      for (const RenderVertex* q : p) {
        if (q->u < left.u) left = PointOf(*q);
        if (q->u > right.u) right = PointOf(*q);
      }
    } else if (r1 == r0) {
      left = EdgeAt(*p[0], *p[2], v), right = EdgeAt(*p[1], *p[2], v);
    } else if (r1 == r2 || row < r1) {
      left = EdgeAt(*p[0], *p[2], v), right = EdgeAt(*p[0], *p[1], v);
    } else {
      left = EdgeAt(*p[0], *p[2], v), right = EdgeAt(*p[1], *p[2], v);
    }
    if (right.u < left.u) std::swap(left, right);

    const long first = Cell(std::max(0.0f, left.u), maps.log2Width);
    const long last = Cell(std::max(0.0f, right.u), maps.log2Width);
    const float du = right.u - left.u;
    for (long column = first; column <= std::min(last, width - 1); ++column) {
      if (column == first) {
        PutTexel(maps, column, row, left.a);
      } else if (column == last) {
        PutTexel(maps, column, row, right.a);
      } else {
        const float s =
            std::fabs(du) < 0.0005f
                ? 0.0f
                : (static_cast<float>(column) / static_cast<float>(width) - left.u) / du;
        float values[6];
        for (int i = 0; i < 6; ++i) values[i] = left.a[i] + s * (right.a[i] - left.a[i]);
        PutTexel(maps, column, row, values);
      }
    }
  }
}

void ForEachGroupTriangle(const MeshNetwork& network, std::uint8_t group,
                          const RenderVertex* vertices, const void* indices, std::uint32_t width,
                          const TriangleMaps& maps) {
  if (group >= network.groupCount) return;
  const NetworkGroup& g = network.groups[group];
  auto index = [&](std::uint32_t i) {
    return g.vertexBase + (width == kIndex16 ? static_cast<const std::uint16_t*>(indices)[i]
                                             : static_cast<const std::uint32_t*>(indices)[i]);
  };
  for (std::uint32_t t = g.firstTriangle; t < g.endTriangle; ++t)
    RasterizeTriangleMaps(vertices[index(3 * t)], vertices[index(3 * t + 1)],
                          vertices[index(3 * t + 2)], maps);
}

}  // namespace veskor
