#include "geometry/path_set.h"

#include <algorithm>

#include "geometry/cross_section.h"
#include "mapengine/kernel_table.h"
#include "foundation/static_order.h"

namespace veskor {

VESKOR_STATIC_STEP(kStaticStepObjectPathSets) PathSetTable gObjectPathSets;
VESKOR_STATIC_STEP(kStaticStepItemPathSets) PathSetTable gItemPathSets;

PathSetTable::~PathSetTable() {
  for (PathSet& set : sets) PathSetRelease(set);
}

namespace {

// Releases the section's block and clears what a new section starts without; its bounds and
// profileArc keep their values.
void EmptySection(SweepPath& s) {
  SweepPathRelease(s);
  s.firstWord = 0;
  s.totalLength = s.secondLength = 0;
  SectionKind(s) = 0;
  s.height = 0;
  ProfileV(s) = ProfileVCapped(s) = 0;
}

void EmptySections(PathSet& set) {
  for (std::uint32_t i = 0; i < set.count; ++i) EmptySection(set.paths[i]);
  set.block.usedBytes = 0;
  set.count = 0;
}

float Reciprocal(float x) { return x != 0 ? 1.0f / x : 0.0f; }

// The largest squared distance from (x, y, h) to the points of a ring at its height.
float FarthestSquared(const SweepPath& ring, float x, float y, float h) {
  const float dh = ring.height - h;
  float d = 0;
  for (std::uint32_t k = 0; k < ring.count; ++k) {
    const float dx = ring.x[k] - x, dy = ring.y[k] - y;
    d = std::max(d, dx * dx + dy * dy + dh * dh);
  }
  return d;
}

// The largest planar distance from a ring's centroid to its points.
float CapRadius(const SweepPath& ring) {
  float cx, cy, h;
  SweepPathCentroid(ring, &cx, &cy, &h);
  return gKernelTable.KernelSqrt(FarthestSquared(ring, cx, cy, ring.height));
}

bool IsApex(const SweepPath& ring) { return ring.count > 0 && ring.totalLength < kApexRingLength; }

// The largest squared distance from the points of A to the points of B at the same parameter,
// B walked forward only.
float ClosedStep(const SweepPath& a, const SweepPath& b) {
  if (a.count == 0 || b.count == 0) return 0;
  const float dh = a.height - b.height;
  std::uint32_t j = 0;
  float d = 0;
  for (std::uint32_t k = 0; k < a.count; ++k) {
    float f;
    SkinRowStep(b, j, b.count - 1, HalfToFloat(a.packedT[k]), &j, &f);
    const float dx = a.x[k] - SweepPathLerpX(b, j, f), dy = a.y[k] - SweepPathLerpY(b, j, f);
    d = std::max(d, dx * dx + dy * dy + dh * dh);
  }
  return d;
}

// The same for open polylines: points 1 to count - 2 of A (point 1 at least) against B's
// points from 1 on, the search never past B's point count - 2.
float OpenStep(const SweepPath& a, const SweepPath& b) {
  if (a.count < 2 || b.count < 2) return 0;
  const float dh = a.height - b.height;
  const std::int64_t bound = std::int64_t{b.count} - 2;
  const std::uint32_t lastK = a.count > 3 ? a.count - 2 : 1;
  std::uint32_t j = 1;
  float d = 0;
  for (std::uint32_t k = 1; k <= lastK; ++k) {
    const float t = HalfToFloat(a.packedT[k]);
    while (j < bound && SweepPathParamOfIndex(b, j + 1) < t) ++j;
    const float pj = SweepPathParamOfIndex(b, j), pn = SweepPathParamOfIndex(b, j + 1);
    const float f = pn != pj ? (t - pj) / (pn - pj) : 0.0f;
    const float dx = a.x[k] - SweepPathLerpX(b, j, f), dy = a.y[k] - SweepPathLerpY(b, j, f);
    d = std::max(d, dx * dx + dy * dy + dh * dh);
  }
  return d;
}

void ProfileClosed(PathSet& set) {
  const KernelTable& kt = gKernelTable;
  const std::uint32_t n = set.count;
  SweepPath& r0 = set.paths[0];
  SweepPath& last = set.paths[n - 1];
  std::uint32_t first = 0, end = n;  // a one-ring set has no apex cap: no ring to measure it by
  set.bottomCapLength = set.topCapLength = 0;
  if (n > 1 && IsApex(r0)) {
    set.bottomCapLength = kt.KernelSqrt(FarthestSquared(set.paths[1], r0.x[0], r0.y[0], r0.height));
    ProfileV(r0) = 0;
    first = 1;
  } else if ((SectionKind(r0) & kSectionKindMask) == kSectionCappedBottom) {
    set.bottomCapLength = CapRadius(r0);
  }
  if (n > 1 && IsApex(last)) {
    set.topCapLength =
        kt.KernelSqrt(FarthestSquared(set.paths[n - 2], last.x[0], last.y[0], last.height));
    ProfileV(last) = 1.0f;
    end = n - 1;
  } else if ((SectionKind(last) & kSectionKindMask) == kSectionCappedTop) {
    set.topCapLength = CapRadius(last);
  }

  set.maxRingLength = set.firstRingLength = set.paths[first < n ? first : 0].totalLength;
  set.lastRingLength = set.paths[end - 1].totalLength;
  set.firstProfileRing = first;
  set.profileRingEnd = end;
  if (first < n) ProfileV(set.paths[first]) = 0;
  for (std::uint32_t b = first + 1; b < end; ++b) {
    SweepPath& ring = set.paths[b];
    const SweepPath& below = set.paths[b - 1];
    ProfileV(ring) = kt.KernelSqrt(ClosedStep(below, ring)) + kProfileStepExtra + ProfileV(below);
    set.maxRingLength = kt.KernelMax(set.maxRingLength, ring.totalLength);
  }
  set.profileLength = ProfileV(set.paths[end - 1]);
  const float scale = Reciprocal(set.profileLength);
  for (std::uint32_t r = first; r < end; ++r) {
    SetProfileArc(set.paths[r], ProfileV(set.paths[r]));
    ProfileV(set.paths[r]) *= scale;
  }
}

void ProfileOpen(PathSet& set) {
  const KernelTable& kt = gKernelTable;
  set.firstRingLength = set.lastRingLength = 0;
  set.bottomCapLength = set.topCapLength = 0;
  set.maxRingLength = set.paths[0].totalLength;
  set.firstProfileRing = 0;
  set.profileRingEnd = set.count;
  set.profileLength = 0;
  for (std::uint32_t b = 1; b < set.count; ++b) {
    set.profileLength +=
        kt.KernelSqrt(OpenStep(set.paths[b - 1], set.paths[b])) + kProfileStepExtra;
    set.maxRingLength = kt.KernelMax(set.maxRingLength, set.paths[b].totalLength);
  }
}

}  // namespace

void PathSetInit(PathSet& set) { set = PathSet{}; }

void PathSetRelease(PathSet& set) {
  for (std::uint32_t i = 0; i < set.count; ++i) SweepPathRelease(set.paths[i]);
  set.paths = nullptr;
  set.count = 0;
  MemBlockRelease(set.block);
  set.block = MemBlock{};
  set.capacity = 0;
}

void PathSetResize(PathSet& set, std::uint32_t n, std::uint32_t kind) {
  EmptySections(set);
  if (set.capacity >= n) return;
  MemBlockRelease(set.block);
  set.block = MemBlock{};
  const std::uint64_t bytes = std::uint64_t{n} * sizeof(SweepPath);
  MemBlockReserve(set.block, bytes > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(bytes));
  set.paths = reinterpret_cast<SweepPath*>(set.block.base);
  set.capacity = n;
  set.kind = kind;
}

void PathSetFree(PathSet& set) {
  PathSetRelease(set);
  set.kind = 0;
}

void PathSetClear(PathSet& set) { EmptySections(set); }

SweepPath* PathSetAppendEmpty(PathSet& set, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) {
    auto* s = static_cast<SweepPath*>(MemBlockAppend(set.block, sizeof(SweepPath)));
    *s = SweepPath{};
    set.paths = reinterpret_cast<SweepPath*>(set.block.base);
    ++set.count;
  }
  return set.paths + (set.count - n);
}

void PathSetMeasure(PathSet& set) {
  if (set.count == 0) return;
  const KernelTable& kt = gKernelTable;
  const SweepPath& r0 = set.paths[0];
  set.minX = SectionMinX(r0);
  set.minY = SectionMinY(r0);
  set.maxX = SectionMaxX(r0);
  set.maxY = SectionMaxY(r0);
  set.minZ = r0.height;
  set.maxZ = set.paths[set.count - 1].height;
  for (std::uint32_t i = 1; i < set.count; ++i) {
    const SweepPath& r = set.paths[i];
    set.minX = kt.KernelMin(set.minX, SectionMinX(r));
    set.minY = kt.KernelMin(set.minY, SectionMinY(r));
    set.maxX = kt.KernelMax(set.maxX, SectionMaxX(r));
    set.maxY = kt.KernelMax(set.maxY, SectionMaxY(r));
  }
  PathSetProfile(set);
}

void PathSetProfile(PathSet& set) {
  if (set.count == 0) return;
  if (set.kind == kPathSetClosed) {
    ProfileClosed(set);
  } else {
    ProfileOpen(set);
  }
}

void PathSetNormalise(PathSet& set) {
  if (set.count == 0) return;
  ProfileVCapped(set.paths[0]) = 0;
  ProfileVCapped(set.paths[set.count - 1]) = 1.0f;
  if (set.kind == kPathSetClosed) {
    const float s = Reciprocal(set.topCapLength + set.profileLength + set.bottomCapLength);
    const std::uint32_t end = std::min(set.profileRingEnd, set.count);
    for (std::uint32_t i = set.firstProfileRing; i < end; ++i) {
      ProfileVCapped(set.paths[i]) = (ProfileArc(set.paths[i]) + set.bottomCapLength) * s;
    }
  }
  for (std::uint32_t i = 0; i < set.count; ++i) {
    SweepPath& r = set.paths[i];
    for (std::uint32_t k = 0; k < r.count; ++k) r.packedTCopy[k] = r.packedT[k];
  }
}

}  // namespace veskor
