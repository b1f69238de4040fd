#include "environment/puff_ray_query.h"

#include <cmath>

#include "environment/cube_sampling.h"
#include "mapengine/kernel_table.h"

namespace veskor {

namespace {

constexpr float kParallel = 0.0005f;
constexpr float kUnbounded = 1.0e35f;
constexpr float kWrapTolerance = 0.00001f;

std::uint32_t RaySlab(int axis, const float* o, const float* d, float lo, float hi, float* tLo,
                      float* tHi) {
  if (std::fabs(d[axis]) > kParallel) {
    const float inverse = 1.0f / d[axis];
    float a = (lo - o[axis]) * inverse, b = (hi - o[axis]) * inverse;
    if (b < a) std::swap(a, b);
    *tLo = a;
    *tHi = b;
    return 1;
  }
  *tLo = -kUnbounded;
  *tHi = kUnbounded;
  return lo <= o[axis] && o[axis] <= hi ? 1 : 0;
}

// v wrapped into [lo, lo + width).
float Wrap(float v, float lo, float width) {
  if (!(width > 0.0f)) return v;
  const float u = (v - lo) * (1.0f / width);
  if (!(std::fabs(u) < 1e18f)) return v;
  auto k = static_cast<float>(static_cast<std::int64_t>(u));
  if (u < 0.0f && k - u > kWrapTolerance) k -= 1.0f;
  return (u - k) * width + lo;
}

// The ray's part [a, b] within the puff's box and [tMin, tMax]; false when there is none.
bool PuffSpan(const CloudPuff& puff, const float* o, const float* d, float tMin, float tMax,
              float* a, float* b) {
  float lo[3], hi[3];
  for (int axis = 0; axis < 3; ++axis)
    if (RaySlab(axis, o, d, puff.bounds[2 * axis], puff.bounds[2 * axis + 1], &lo[axis],
                &hi[axis]) == 0)
      return false;
  float s0, s1;
  ClipInterval(lo[0], hi[0], lo[1], hi[1], &s0, &s1);
  ClipInterval(s0, s1, lo[2], hi[2], &s0, &s1);
  if (!(s0 <= s1) || IntervalOverlap(s0, s1, tMin, tMax) == 0) return false;
  ClipInterval(s0, s1, tMin, tMax, a, b);
  return true;
}

// Whether the point at t lies inside the puff's surface.
bool InsidePuff(const CloudPuff& puff, const float* o, const float* d, float t) {
  const float q[3] = {(o[0] + t * d[0] - puff.centre[0]) * puff.invRadius,
                      (o[1] + t * d[1] - puff.centre[1]) * puff.invRadius,
                      (o[2] + t * d[2] - puff.centre[2]) * puff.invHalfHeight};
  float sample[4];
  CubeSample(puff.cubes->shapeCube, q, sample);
  return sample[0] >= gKernelTable.KernelLength3(q);
}

// The walk from `from` towards `to` by `step` (negative backwards): the first inside point.
// A step too small to move the parameter ends the walk.
bool Walk(const CloudPuff& puff, const float* o, const float* d, float from, float to, float step,
          float* t) {
  for (float s = from;;) {
    if (InsidePuff(puff, o, d, s)) {
      *t = s;
      return true;
    }
    const float next = s + step;
    if (next == s || (step > 0.0f ? !(next <= to) : !(next >= to))) return false;
    s = next;
  }
}

}  // namespace

void SetCloudLowParams(CloudLowLayer& layer, float x, float y, float z) {
  layer.puffDrift[0] = x;
  layer.puffDrift[1] = y;
  layer.puffDrift[2] = z;
}

void SetPuffBounds(CloudPuff& puff) {
  const float extent[3] = {puff.radius, puff.radius, puff.halfHeight};
  for (int a = 0; a < 3; ++a) {
    puff.bounds[2 * a] = puff.centre[a] - extent[a];
    puff.bounds[2 * a + 1] = puff.centre[a] + extent[a];
  }
}

void UpdatePuffBounds(CloudLowLayer& layer) {
  const float lo[3] = {layer.extent[0], layer.extent[2], layer.bottom};
  const float width[3] = {layer.extent[1] - layer.extent[0], layer.extent[3] - layer.extent[2],
                          layer.top - layer.bottom};
  for (std::uint32_t i = 0; i < layer.puffCount; ++i) {
    CloudPuff& puff = layer.puffs[i];
    for (int a = 0; a < 3; ++a)
      puff.centre[a] = Wrap(puff.base[a] + layer.puffDrift[a], lo[a], width[a]);
  }
  const KernelTable& k = gKernelTable;
  for (std::uint32_t c = 0; c < layer.clusterCount; ++c) {
    CloudCluster& cluster = layer.clusters[c];
    for (std::uint32_t m = 0; m < cluster.puffCount; ++m) {
      CloudPuff& puff = *cluster.puffs[m];
      SetPuffBounds(puff);
      for (int a = 0; a < 3; ++a) {
        float& low = cluster.bounds[2 * a];
        float& high = cluster.bounds[2 * a + 1];
        low = m == 0 ? puff.bounds[2 * a] : k.KernelMin(low, puff.bounds[2 * a]);
        high = m == 0 ? puff.bounds[2 * a + 1] : k.KernelMax(high, puff.bounds[2 * a + 1]);
      }
    }
    for (int a = 0; a < 3; ++a)
      cluster.centre[a] = 0.5f * (cluster.bounds[2 * a] + cluster.bounds[2 * a + 1]);
  }
}

std::uint32_t RaySlabX(const float* origin, const float* direction, float lo, float hi, float* tLo,
                       float* tHi) {
  return RaySlab(0, origin, direction, lo, hi, tLo, tHi);
}
std::uint32_t RaySlabY(const float* origin, const float* direction, float lo, float hi, float* tLo,
                       float* tHi) {
  return RaySlab(1, origin, direction, lo, hi, tLo, tHi);
}
std::uint32_t RaySlabZ(const float* origin, const float* direction, float lo, float hi, float* tLo,
                       float* tHi) {
  return RaySlab(2, origin, direction, lo, hi, tLo, tHi);
}

std::uint32_t IntervalOverlap(float a0, float a1, float b0, float b1) {
  const auto in = [](float x, float lo, float hi) { return lo <= x && x <= hi; };
  return in(a1, b0, b1) || in(a0, b0, b1) || in(b0, a0, a1) || in(b1, a0, a1) ? 1 : 0;
}

void ClipInterval(float a0, float a1, float b0, float b1, float* c0, float* c1) {
  *c0 = gKernelTable.KernelMax(a0, b0);
  *c1 = gKernelTable.KernelMin(a1, b1);
}

bool PuffRayEntry(const CloudPuff& puff, float step, const float* origin, const float* direction,
                  float tMin, float tMax, float* t) {
  float a, b;
  if (!(step > 0.0f) || !PuffSpan(puff, origin, direction, tMin, tMax, &a, &b)) return false;
  return Walk(puff, origin, direction, a, b, step, t);
}

bool PuffRayExit(const CloudPuff& puff, float step, const float* origin, const float* direction,
                 float tMin, float tMax, float* t) {
  float a, b;
  if (!(step > 0.0f) || !PuffSpan(puff, origin, direction, tMin, tMax, &a, &b)) return false;
  return Walk(puff, origin, direction, b, a, -step, t);
}

float RayQueryPuffs(const CloudLowLayer& layer, const Camera& camera, const float* light) {
  const float* o = camera.position;
  const float d[3] = {-light[0], -light[1], -light[2]};
  const KernelTable& k = gKernelTable;
  float sum = 0.0f;
  for (std::uint32_t c = 0; c < layer.clusterCount; ++c) {
    const CloudCluster& cluster = layer.clusters[c];
    const float* box = cluster.bounds;
    float lo[3], hi[3];
    if (RaySlabX(o, d, box[0], box[1], &lo[0], &hi[0]) == 0 ||
        RaySlabY(o, d, box[2], box[3], &lo[1], &hi[1]) == 0 ||
        RaySlabZ(o, d, box[4], box[5], &lo[2], &hi[2]) == 0)
      continue;
    float t0 = k.KernelMax(k.KernelMax(lo[0], lo[1]), lo[2]);
    float t1 = k.KernelMin(k.KernelMin(hi[0], hi[1]), hi[2]);
    if (!(t0 <= t1) || IntervalOverlap(t0, t1, 0.0f, kPuffRayReach) == 0) continue;
    ClipInterval(t0, t1, 0.0f, kPuffRayReach, &t0, &t1);
    bool found = false;
    float enter = 0.0f, leave = 0.0f;
    for (std::uint32_t m = 0; m < cluster.puffCount; ++m) {
      const CloudPuff& puff = *cluster.puffs[m];
      float in, out;
      if (!PuffRayEntry(puff, kPuffRayStep, o, d, t0, t1, &in) ||
          !PuffRayExit(puff, kPuffRayStep, o, d, t0, t1, &out))
        continue;
      enter = found ? k.KernelMin(enter, in) : in;
      leave = found ? k.KernelMax(leave, out) : out;
      found = true;
    }
    if (found) sum += (leave - enter) * cluster.opacityFactor;
  }
  return 0.25f * sum;
}

}  // namespace veskor
