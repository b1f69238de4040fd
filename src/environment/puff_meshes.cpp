#include "environment/puff_meshes.h"

#include <cmath>

#include "gfx/lod_boxes.h"
#include "mapengine/kernel_table.h"

namespace veskor {

PuffMeshSet gPuffMeshSet{};

namespace {

constexpr float kTwoPi = 6.28318530718f;
// The rings of one slice. The builder's finest step (0.65 / 16 for the middle slices of level
// 0) gives at most 39 over a quarter turn.
constexpr std::uint32_t kMaxRings = 64;
constexpr std::uint32_t kRimOnlyLevel = 2;

// The ring count: x rounded to the nearest integer, a fraction of exactly 0.5 down; at least 1
// and at most the ring capacity.
std::uint32_t RingCount(float x) {
  if (!(x >= 1.0f)) return 1;
  if (x >= static_cast<float>(kMaxRings)) return kMaxRings;
  auto m = static_cast<std::uint32_t>(x);
  if (x - static_cast<float>(m) > 0.5f) ++m;
  return m;
}

void AppendTriangle(PuffMeshSet& set, GeometryBatchBuffer& buffer, std::uint32_t a, std::uint32_t b,
                    std::uint32_t c) {
  const std::uint32_t at = buffer.indexCount;
  BatchReserveRoom(buffer, 0, 1);  // checks the room and counts the triangle
  std::uint16_t* out = buffer.indices + at;
  out[0] = static_cast<std::uint16_t>(a);
  out[1] = static_cast<std::uint16_t>(b);
  out[2] = static_cast<std::uint16_t>(c);
  ++set.triangleCounter;
}

}  // namespace

void EmitPuffMesh(PuffMeshSet& set, GeometryBatchBuffer& buffer, float pos, float step,
                  float sagitta) {
  const KernelTable& k = gKernelTable;
  const float height = std::fabs(pos);
  const float rimAngle = std::acos(height);
  const std::uint32_t rings = RingCount(rimAngle / step);
  const float ringAngle = rimAngle / static_cast<float>(rings);

  float radius[kMaxRings];
  std::uint32_t level[kMaxRings] = {};
  for (std::uint32_t r = 0; r < rings; ++r) {
    radius[r] = height * std::tan(static_cast<float>(r + 1) * ringAngle);
    const float c = 1.0f - sagitta / radius[r];
    if (!(c > 0.0f)) {
      level[r] = kRimOnlyLevel;
      continue;
    }
    level[r] = LodLevelFromSize(kTwoPi / std::acos(c));
    // Inner rings rise to within one level of this one.
    for (std::uint32_t j = r; j-- > 0;) {
      const std::int64_t rise = std::int64_t{level[j + 1]} - std::int64_t{level[j]};
      if (rise == 0 || rise == 1) break;
      level[j] = level[j + 1] - 1;
    }
  }

  // The centre's normal is the slice axis, by the sign of pos.
  const float centre[3] = {0.0f, 0.0f, pos};
  const float normal[3] = {0.0f, 0.0f, pos > 0.0f ? 1.0f : -1.0f};
  const std::uint32_t centreIndex = set.vertexCounter++;
  AppendStreamVertex(buffer, centre, normal, nullptr, nullptr, nullptr);
  std::uint32_t ringStart[kMaxRings];
  for (std::uint32_t r = 0; r < rings; ++r) {
    ringStart[r] = set.vertexCounter;
    const std::uint32_t segments = 1u << level[r];
    const float dphi = kTwoPi / static_cast<float>(segments);
    float phi = 0.0f;
    for (std::uint32_t j = 0; j < segments; ++j, phi += dphi) {
      const float p[3] = {radius[r] * std::cos(phi), radius[r] * std::sin(phi), pos};
      float n[3] = {p[0], p[1], p[2]};
      k.KernelNormalize3(n);
      AppendStreamVertex(buffer, p, n, nullptr, nullptr, nullptr);
      ++set.vertexCounter;
    }
  }

  const std::uint32_t inner = 1u << level[0];
  for (std::uint32_t j = 0; j < inner; ++j)
    AppendTriangle(set, buffer, ringStart[0] + j, centreIndex, ringStart[0] + (j + 1) % inner);
  for (std::uint32_t r = 1; r < rings; ++r) {
    const std::uint32_t s = 1u << level[r], sp = 1u << level[r - 1];
    const auto q = [&](std::uint32_t j) { return ringStart[r] + j % s; };
    const auto p = [&](std::uint32_t j) { return ringStart[r - 1] + j % sp; };
    if (s == sp) {
      for (std::uint32_t j = 0; j < s; ++j) {
        AppendTriangle(set, buffer, q(j), p(j + 1), q(j + 1));
        AppendTriangle(set, buffer, q(j), p(j), p(j + 1));
      }
    } else {  // one level more: two outer segments to each inner one
      for (std::uint32_t j = 0; j < sp; ++j) {
        AppendTriangle(set, buffer, q(2 * j), p(j), q(2 * j + 1));
        AppendTriangle(set, buffer, q(2 * j + 1), p(j), p(j + 1));
        AppendTriangle(set, buffer, q(2 * j + 1), p(j + 1), q(2 * j + 2));
      }
    }
  }
}

void BuildPuffMeshes(PuffMeshSet& set, GeometryBatchBuffer& buffer) {
  for (std::uint32_t lod = 0; lod < kPuffMeshLevels; ++lod) {
    const std::uint32_t n = 16 - 2 * lod;
    set.sliceCount[lod] = n;
    const float slices = static_cast<float>(n);
    const float angularStep = 0.65f * 16.0f / slices;
    const float sagitta = 0.02f * 16.0f / slices;
    const std::uint32_t half = n / 2;
    for (std::uint32_t i = 0; i < n; ++i) {
      set.vertexCounter = 0;
      set.triangleCounter = 0;
      SetVertexFormat(buffer, kPuffMeshFormat);
      PuffSliceRange& range = set.slices[lod][i];
      range.floatStart = buffer.floatCount;
      range.indexStart = buffer.indexCount;
      const float pos = -1.0f + static_cast<float>(2 * i + 1) / slices;
      const bool middle = i + 1 == half || i == half;
      EmitPuffMesh(set, buffer, pos, middle ? angularStep * 0.0625f : angularStep, sagitta);
      range.floatCount = buffer.floatCount - range.floatStart;
      range.indexCount = buffer.indexCount - range.indexStart;
      set.slicePos[lod][i] = pos;
    }
  }
  const float zero[3] = {0.0f, 0.0f, 0.0f};
  AppendStreamVertex(buffer, zero, zero, zero, zero, zero);
}

}  // namespace veskor
