// The low-cloud layer from frame to frame: the puffs drift with the wind over the layer, which
// repeats with its extent, and one query walks a ray through them, to tell how much cloud lies
// between the viewer and the sun (the sun glare and the lens flares dim by it).
#pragma once

#include <cstdint>

#include "environment/environment_state.h"
#include "gfx/camera.h"

namespace veskor {

// The ray query looks at most this far along the ray, in steps of one world unit inside a
// puff's box.
inline constexpr float kPuffRayReach = 10000.0f;
inline constexpr float kPuffRayStep = 1.0f;

// Stores the drift of the puffs (x, y, z), added to every puff's base by UpdatePuffBounds.
void SetCloudLowParams(CloudLowLayer& layer, float x, float y, float z);

// Moves every puff to base + drift, wrapped per axis into the layer's box [x0, x1) x [y0, y1) x
// [bottom, top), then recomputes the bounds of the clustered puffs and of the clusters and the
// clusters' centres. Positions come from base every call, so they never gather error. A centre
// less than 0.00001 box widths below a bound stays there.
void UpdatePuffBounds(CloudLowLayer& layer);

// The puff's bounds from its centre: +- radius in x and y, +- half height in z.
void SetPuffBounds(CloudPuff& puff);

// Cloud between the camera and the light: for every cluster whose box the ray towards the
// light (-light, a unit vector) meets within [0, 10000], the span from the first entry to the
// last exit over its puffs times the cluster's opacity factor; the sum of those, times 0.25.
// 0 when the ray meets no puff.
float RayQueryPuffs(const CloudLowLayer& layer, const Camera& camera, const float* light);

// The first point of the walk over the ray's part within the puff's box and [tMin, tMax], by
// `step` from its start (PuffRayEntry) or from its end back (PuffRayExit), that lies inside
// the puff's surface (its shape cube's scale at least the point's distance in radius units).
// True with that parameter in `t`; false when the walk leaves the part first.
bool PuffRayEntry(const CloudPuff& puff, float step, const float* origin, const float* direction,
                  float tMin, float tMax, float* t);
bool PuffRayExit(const CloudPuff& puff, float step, const float* origin, const float* direction,
                 float tMin, float tMax, float* t);

// The ray's parameters [tLo, tHi] within the slab lo..hi of one axis. A ray within 0.0005 of
// parallel to the slab gets (-1e35, 1e35) when its origin lies in the slab (result 1), else
// result 0.
std::uint32_t RaySlabX(const float* origin, const float* direction, float lo, float hi, float* tLo,
                       float* tHi);
std::uint32_t RaySlabY(const float* origin, const float* direction, float lo, float hi, float* tLo,
                       float* tHi);
std::uint32_t RaySlabZ(const float* origin, const float* direction, float lo, float hi, float* tLo,
                       float* tHi);

// 1 when the closed intervals [a0, a1] and [b0, b1] meet.
std::uint32_t IntervalOverlap(float a0, float a1, float b0, float b1);
// [max(a0, b0), min(a1, b1)].
void ClipInterval(float a0, float a1, float b0, float b1, float* c0, float* c1);

}  // namespace veskor
