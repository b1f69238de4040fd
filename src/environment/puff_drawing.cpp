#include "environment/puff_drawing.h"

#include <algorithm>
#include <cmath>

#include "environment/fog_curve.h"
#include "gfx/fog_floor.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "gfx/view_volume.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"

namespace veskor {

namespace {

constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kSliceAlpha = 0.2f;
constexpr float kRampSlope = 0.6f;
constexpr std::uint32_t kShaderUnits = 4;
// Texture-coordinate kinds of the slice vertices: the normal, and three floats from byte 20
// (the normal's z, then two floats of the next vertex that the unit's matrix cancels).
constexpr std::uint32_t kNormalKind = 0;
constexpr std::uint32_t kNormalZKind = 6;

// What the texture units hold for one slice.
constexpr GLenum kUnitTarget[kShaderUnits] = {GL_TEXTURE_CUBE_MAP_ARB, 0, GL_TEXTURE_2D,
                                              GL_TEXTURE_CUBE_MAP_ARB};
constexpr GLenum kUnitOperation[kShaderUnits] = {GL_TEXTURE_CUBE_MAP_ARB, GL_DOT_PRODUCT_NV,
                                                 GL_DOT_PRODUCT_TEXTURE_2D_NV,
                                                 GL_TEXTURE_CUBE_MAP_ARB};
constexpr std::uint32_t kUnitKind[kShaderUnits] = {kNormalKind, kNormalZKind, kNormalZKind,
                                                   kNormalKind};

// Colour: the unit's texture. Alpha: the texture's, or the previous unit's times the primary
// colour's.
void SetCombine(bool modulateAlpha) {
  if (modulateAlpha)
    veskor::SetCombine({GL_REPLACE, GL_TEXTURE, GL_SRC_COLOR, 0, GL_MODULATE, GL_PREVIOUS_ARB,
                        GL_SRC_ALPHA, GL_PRIMARY_COLOR_ARB});
  else
    veskor::SetCombine(
        {GL_REPLACE, GL_TEXTURE, GL_SRC_COLOR, 0, GL_REPLACE, GL_TEXTURE, GL_SRC_ALPHA, 0});
}

// The units of a slice at `pos`; `nearHalf` picks the signs of the two dot-product matrices.
void SetupUnits(PuffCubePair& pair, const float* axis, float angle, float pos, float sunViewScale,
                bool nearHalf) {
  glEnable(GL_TEXTURE_SHADER_NV);
  const float sign = nearHalf ? 1.0f : -1.0f;
  for (std::uint32_t unit = 0; unit < kShaderUnits; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    if (kUnitTarget[unit] != 0) glEnable(kUnitTarget[unit]);
    glTexEnvi(GL_TEXTURE_SHADER_NV, GL_SHADER_OPERATION_NV,
              static_cast<GLint>(kUnitOperation[unit]));
    if (unit == 1 || unit == 2)
      glTexEnvi(GL_TEXTURE_SHADER_NV, GL_PREVIOUS_TEXTURE_INPUT_NV, GL_TEXTURE0_ARB);
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    float m[16] = {};
    m[15] = 1.0f;
    switch (unit) {
      case 0:
        TextureCubeBind(pair.shapeCube, kModeKeepEnvironment, 0);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_NONE);
        glLoadIdentity();
        glRotatef(angle, axis[0], axis[1], axis[2]);
        break;
      case 1:
        // s' = -+ s (the normal's z), t' = pos + 0.5 (far) or 0.5 - pos (near).
        m[0] = sign;
        m[13] = 0.5f - sign * pos;
        glLoadMatrixf(m);
        break;
      case 2:
        FloatTexture2DBind(PuffRampTexture, kModeKeepEnvironment, 0);
        SetCombine(false);
        m[1] = sign * kRampSlope * (1.0f - sunViewScale);
        glLoadMatrixf(m);
        break;
      default:
        TextureCubeBind(pair.lightCube, kModeKeepEnvironment, 0);
        SetCombine(true);
        glLoadIdentity();
        glRotatef(angle, axis[0], axis[1], axis[2]);
        break;
    }
  }
  glMatrixMode(GL_MODELVIEW);
}

// Adds the slice's counts to the draw counters.
void CountSlice(EnvironmentState& state, const PuffSliceRange& range) {
  state.puffStatA += range.indexCount;
  state.puffStatB += range.floatCount;
}

// The blended pass over the list; `mirror` takes the fade from the fog curve.
std::uint32_t DrawBlended(EnvironmentState& state, const Camera& camera, bool mirror) {
  CloudLowLayer& layer = state.cloudLow;
  const float invFar = 1.0f / camera.depth;
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthMask(GL_FALSE);
  std::uint32_t count = 0;
  for (const PuffListNode* node = layer.visibleList.head; node != nullptr; node = node->next) {
    CloudPuff& puff = layer.puffs[node->puffIndex];
    const float fade =
        mirror ? MirrorPuffFade(node->sortKey, camera.depth) : 1.0f - node->sortKey * invFar;
    DrawPuffSlice(puff, node->slice, fade);
    CountSlice(state, gPuffMeshSet.slices[puff.meshLod][node->slice]);
    ++count;
  }
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  return count;
}

void StartPuffDraw(EnvironmentState& state, const Camera& camera) {
  state.puffStatA = state.puffStatB = 0;
  BuildVisiblePuffList(state.cloudLow, camera);
  SetVertexFormat(gGeometryBatchBuffer, kPuffMeshFormat);
}

// The slices point the texture-coordinate arrays of all four units into the batch buffer; the
// next draw would read them there (after the next world's preparation, from memory given
// back), so they are switched off again, and the first client unit is left selected.
std::uint32_t EndPuffDraw(std::uint32_t count) {
  const bool units = HasExtension(kExtMultitexture) != 0;
  for (std::uint32_t unit = kShaderUnits; unit-- > 0;) {
    if (units) glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  return count;
}

}  // namespace

std::uint32_t PuffVisibility(CloudPuff& puff, const Camera& camera, float* depth, float* distance,
                             float* extent) {
  const float* b = puff.bounds;
  if (b[5] <= FogFloorHeight) return 0;
  const bool seen = CellFrustumTest(camera, b[0], b[2], b[4], b[3], b[5]) != 0 ||
                    CellFrustumTest(camera, b[1], b[2], b[4], b[3], b[5]) != 0 ||
                    CellFrustumTest2(camera, b[2], b[0], b[4], b[1], b[5]) != 0 ||
                    CellFrustumTest2(camera, b[3], b[0], b[4], b[1], b[5]) != 0 ||
                    CellFrustumTest3(camera, b[4], b[0], b[2], b[1], b[3]) != 0 ||
                    CellFrustumTest3(camera, b[5], b[0], b[2], b[1], b[3]) != 0;
  if (!seen) return 0;
  const KernelTable& k = gKernelTable;
  const float v[3] = {camera.position[0] - puff.centre[0], camera.position[1] - puff.centre[1],
                      camera.position[2] - puff.centre[2]};
  *depth = -(v[0] * camera.direction[0] + v[1] * camera.direction[1] + v[2] * camera.direction[2]);
  *distance = k.KernelLength3(v);
  puff.viewDepth = *depth;
  puff.viewDistance = *distance;
  // The unit vector towards the camera; a camera at the centre looks from above.
  float u[3] = {0.0f, 0.0f, 1.0f};
  if (*distance > 0.0f)
    for (int a = 0; a < 3; ++a) u[a] = v[a] / *distance;
  const float horizontal = puff.radius * k.KernelSqrt(u[0] * u[0] + u[1] * u[1]);
  const float vertical = puff.halfHeight * u[2];
  *extent = k.KernelSqrt(horizontal * horizontal + vertical * vertical);
  puff.meshLod = kPuffDrawLevel;
  puff.viewAxis[0] = -u[1];
  puff.viewAxis[1] = u[0];
  puff.viewAxis[2] = 0.0f;
  // Rounding can carry |u.z| a little past 1.
  puff.viewAngle = std::acos(std::clamp(u[2], -1.0f, 1.0f)) * kDegreesPerRadian;
  puff.viewOpacity = puff.opacityFactor * *extent;
  return 1;
}

std::uint32_t BuildVisiblePuffList(CloudLowLayer& layer, const Camera& camera) {
  PuffList& list = layer.visibleList;
  PuffListReset(list);
  const PuffMeshSet& set = gPuffMeshSet;
  for (std::uint32_t i = 0; i < layer.puffCount; ++i) {
    CloudPuff& puff = layer.puffs[i];
    float depth, distance, extent;
    if (PuffVisibility(puff, camera, &depth, &distance, &extent) == 0) continue;
    const std::uint32_t n = set.sliceCount[puff.meshLod];
    const float r = puff.radius;
    // Search from the head until one slice lands at the tail; the puff's later slices, whose
    // keys fall, follow it there.
    PuffListNode* position = list.head;
    bool tailMode = false;
    for (std::uint32_t j = 0; j < n; ++j) {
      const float p = set.slicePos[puff.meshLod][j];
      const float sliceDepth = depth - p * r;
      const float key = distance - p * extent;
      if (sliceDepth < kPuffNearestSlice) continue;
      const auto puffIndex = static_cast<std::uint16_t>(i);
      const auto slice = static_cast<std::uint16_t>(j);
      if (tailMode) {
        PuffListAppend(list, puffIndex, slice, sliceDepth, key);
        continue;
      }
      while (position != nullptr && key < position->sortKey) position = position->next;
      if (position == nullptr) {
        PuffListAppend(list, puffIndex, slice, sliceDepth, key);
        tailMode = true;
      } else {
        PuffListInsertBefore(list, position, puffIndex, slice, sliceDepth, key);
      }
    }
  }
  return list.count;
}

float MirrorPuffFade(float sortKey, float far) {
  const std::uint32_t n = std::min(FogCurveLength, kFogCurveCapacity);
  if (n == 0) return 1.0f;
  // The curve spans a quarter of the far distance; the index is held within it.
  const float x = static_cast<float>(n - 1) * sortKey * 4.0f / far;
  std::uint32_t index = 0;
  if (x >= static_cast<float>(n - 1))
    index = n - 1;
  else if (x > 0.0f)
    index = static_cast<std::uint32_t>(x);
  return 1.0f - FogCurve[index];
}

std::uint32_t DrawCloudPuffs(EnvironmentState& state, const Camera& camera, std::uint32_t flags) {
  StartPuffDraw(state, camera);
  if ((flags & 7) != kPuffLineView) return EndPuffDraw(DrawBlended(state, camera, false));
  CloudLowLayer& layer = state.cloudLow;
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  std::uint32_t count = 0;
  for (const PuffListNode* node = layer.visibleList.head; node != nullptr; node = node->next) {
    const CloudPuff& puff = layer.puffs[node->puffIndex];
    DrawPuffMesh(gPuffMeshSet, puff.meshLod, node->slice, puff.centre, puff.viewOpacity,
                 puff.radius, puff.halfHeight, puff.viewAxis, puff.viewAngle);
    CountSlice(state, gPuffMeshSet.slices[puff.meshLod][node->slice]);
    ++count;
  }
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  return EndPuffDraw(count);
}

std::uint32_t DrawCloudPuffsSecondary(EnvironmentState& state, const Camera& camera,
                                      float /*factor*/, std::uint32_t /*flags*/) {
  StartPuffDraw(state, camera);
  return EndPuffDraw(DrawBlended(state, camera, true));
}

void DrawPuffSlice(CloudPuff& puff, std::uint32_t slice, float fade) {
  const PuffMeshSet& set = gPuffMeshSet;
  const std::uint32_t level = puff.meshLod;
  const float pos = set.slicePos[level][slice];
  const bool nearHalf = slice >= set.sliceCount[level] / 2;
  if (nearHalf)
    PuffStageSetup(*puff.cubes, puff.viewAxis, puff.viewAngle, pos, puff.sunViewScale);
  else
    SetupUnits(*puff.cubes, puff.viewAxis, puff.viewAngle, pos, puff.sunViewScale, false);
  DrawPuffMesh(set, level, slice, puff.centre, fade * puff.viewOpacity, puff.radius,
               puff.halfHeight, puff.viewAxis, puff.viewAngle);
  PuffStageRestore();
}

void PuffStageSetup(PuffCubePair& pair, const float* axis, float angle, float pos,
                    float sunViewScale) {
  SetupUnits(pair, axis, angle, pos, sunViewScale, true);
}

void PuffStageRestore() {
  glDisable(GL_TEXTURE_SHADER_NV);
  constexpr GLenum kRestoreTarget[kShaderUnits] = {GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_2D,
                                                   GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP_ARB};
  glMatrixMode(GL_TEXTURE);
  for (std::uint32_t unit = 0; unit < kShaderUnits; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glDisable(kRestoreTarget[unit]);
    glPopMatrix();
  }
  glMatrixMode(GL_MODELVIEW);
}

void DrawPuffMesh(const PuffMeshSet& set, std::uint32_t level, std::uint32_t slice,
                  const float* translation, float alpha, float sxy, float sz, const float* axis,
                  float angle) {
  const GeometryBatchBuffer& buffer = gGeometryBatchBuffer;
  const PuffSliceRange& range = set.slices[level][slice];
  glPushMatrix();
  glTranslatef(translation[0], translation[1], translation[2]);
  glScalef(sxy, sxy, sz);
  glRotatef(angle, axis[0], axis[1], axis[2]);
  glColor4f(1.0f, 1.0f, 1.0f, alpha * kSliceAlpha);
  for (std::uint32_t unit = 0; unit < kShaderUnits; ++unit)
    BindTexCoordArrays(buffer, range, unit, kUnitKind[unit]);
  DrawBatchRange(buffer, range, 1);
  glPopMatrix();
}

}  // namespace veskor
