#include "environment/shaft_segments.h"

#include <algorithm>
#include <cmath>

#include "environment/cube_sampling.h"
#include "environment/puff_field.h"
#include "environment/sky_model.h"
#include "gfx/face_directions.h"
#include "mapengine/kernel_table.h"
#include "platform/random.h"

namespace veskor {

ShaftCandidateList ShaftCandidates;
ShaftKeptList ShaftKept;

namespace {

constexpr std::uint32_t kShaftFloats = 10;
static_assert(sizeof(ShaftSegment) == kShaftFloats * sizeof(float));

// The surface points over the texel corners of one face.
float gCornerPoints[((1u << kPuffCubeMaxLevel) + 1) * ((1u << kPuffCubeMaxLevel) + 1) * 3];

float Draw() { return static_cast<float>(RandomNext()) * (1.0f / 32767.0f); }

void CollectCandidates(const CloudPuff& puff, const float* s) {
  const PuffCubePair& pair = *puff.cubes;
  const std::uint32_t level = pair.shapeCube.faces[0].log2Width;
  if (level > kPuffCubeMaxLevel) return;
  const float r = pair.radius, h = pair.halfHeight;
  const auto* directions = static_cast<const float*>(FaceDirectionTexels[level].data);
  for (std::uint32_t face = 0; face < 6; ++face) {
    const TexturePixels& shapeFace = pair.shapeCube.faces[face];
    const TexturePixels& lightFace = pair.lightCube.faces[face];
    const auto* shape = static_cast<const float*>(shapeFace.data);
    const auto* light = static_cast<const float*>(lightFace.data);
    if (shape == nullptr || light == nullptr || shapeFace.log2Width != level ||
        lightFace.log2Width != level)
      continue;
    CubeCornerPoints(pair, face, gCornerPoints);
    for (std::uint32_t t = 0; t < (1u << (2 * level)); ++t) {
      float n[3];
      CornerPointsNormal(gCornerPoints, level, t, n);
      if (!(std::fabs(n[0] * s[0] + n[1] * s[1] + n[2] * s[2]) < kShaftRimCosine)) continue;
      const float* colour = light + 3 * t;
      const float brightness = colour[0] + colour[1] + colour[2];
      if (!(brightness > 1.0f)) continue;
      if (ShaftCandidateCount == kShaftListCapacity) return;  // the first ones found are kept
      const std::uint32_t c = ShaftCandidateCount++;
      float d[3];
      CubeFaceDirection(face, directions + 3 * t, d);
      const float sv = shape[2 * t];
      float* p = ShaftCandidates.positions[c];
      p[0] = puff.centre[0] + sv * d[0] * r;
      p[1] = puff.centre[1] + sv * d[1] * r;
      p[2] = puff.centre[2] + sv * d[2] * h;
      std::copy(n, n + 3, ShaftCandidates.normals[c]);
      ShaftCandidates.weights[c] = (brightness - 1.0f) * 0.33333334f;
    }
  }
}

void KeepSpacedCandidates(const float* s) {
  const KernelTable& k = gKernelTable;
  ShaftKept.count = 0;
  for (std::uint32_t c = 0; c < ShaftCandidateCount; ++c) {
    const float* p = ShaftCandidates.positions[c];
    bool spaced = true;
    for (std::uint32_t j = 0; j < ShaftKept.count && spaced; ++j) {
      const float* q = ShaftKept.positions[j];
      const float dx = p[0] - q[0], dy = p[1] - q[1], dz = p[2] - q[2];
      spaced = k.KernelSqrt(dx * dx + dy * dy + dz * dz) > kShaftSpacing;
    }
    if (!spaced) continue;
    const std::uint32_t kept = ShaftKept.count++;
    const float* n = ShaftCandidates.normals[c];
    const float length = 40.0f + 60.0f * Draw();
    Draw();  // a draw the segment does not use, kept so the random sequence stays the same
    const float w[3] = {n[1] * s[2] - n[2] * s[1], n[2] * s[0] - n[0] * s[2],
                        n[0] * s[1] - n[1] * s[0]};
    std::copy(p, p + 3, ShaftKept.positions[kept]);
    std::copy(n, n + 3, ShaftKept.normals[kept]);
    ShaftKept.weights[kept] = ShaftCandidates.weights[c];
    for (int a = 0; a < 3; ++a) {
      ShaftKept.starts[kept][a] = p[a] - w[a] * length;
      ShaftKept.ends[kept][a] = p[a] + w[a] * length;
    }
  }
}

}  // namespace

void BuildShaftSegments(CloudPuff& puff, const float* sunDirection) {
  ShaftCandidateCount = 0;
  ShaftKept.count = 0;
  if (puff.cubes == nullptr) return;
  CollectCandidates(puff, sunDirection);
  KeepSpacedCandidates(sunDirection);
  const std::uint32_t kept = ShaftKept.count;
  if (kept == 0) return;
  VmArray& segments = puff.shaftSegments;
  if (segments.count != kShaftFloats * kept) {
    VmArrayRelease(segments);
    VmArrayReserve(segments, kShaftFloats * kept * static_cast<std::uint32_t>(sizeof(float)));
    VmArrayAppend(segments, kShaftFloats * kept, sizeof(float));
  }
  auto* out = VmArrayData<ShaftSegment>(segments);
  for (std::uint32_t i = 0; i < kept; ++i) {
    ShaftSegment& segment = out[i];
    std::copy(ShaftKept.starts[i], ShaftKept.starts[i] + 3, segment.start);
    std::copy(ShaftKept.ends[i], ShaftKept.ends[i] + 3, segment.end);
    segment.weight = ShaftKept.weights[i];
    std::copy(ShaftKept.normals[i], ShaftKept.normals[i] + 3, segment.normal);
  }
}

}  // namespace veskor
