#include "render/object_passes.h"

#include <algorithm>
#include <cmath>

#include "environment/batch_range_arrays.h"
#include "environment/environment_params.h"
#include "environment/environment_state.h"
#include "environment/sky_passes.h"
#include "gfx/gl_capabilities.h"
#include "gfx/gl_entry_points.h"
#include "gfx/texture_combine.h"
#include "gfx/texture_format.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "render/fog_texture.h"

namespace veskor {

SkinPass ObjectPassList[kObjectPassCapacity];
std::uint32_t ObjectPassCount = 0;

void ObjectPassListFill(const SkinSlot& slot, std::uint32_t drawFlags) {
  const std::uint32_t count = std::min(slot.passCount, kObjectPassCapacity);
  ObjectPassCount = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    SkinPass entry = slot.passes[i];
    if ((drawFlags & kDrawTimeFrozen) != 0) {
      if (entry.code == 5 || entry.code == 6) continue;
      if (entry.code == 4) entry.code = 3;
    }
    ObjectPassList[ObjectPassCount++] = entry;
  }
}

namespace {

constexpr float kDegrees = 57.29578f;

void Unit(std::uint32_t unit) { glActiveTextureARB(GL_TEXTURE0_ARB + unit); }

void TexCoords(const BatchRange& range, std::uint32_t unit, std::uint32_t source) {
  const PuffSliceRange slice{range.firstFloat, range.floatCount, range.firstIndex,
                             range.indexCount};
  BindTexCoordArrays(gGeometryBatchBuffer, slice, unit, source);
}

// Unit `unit` on with a 2-D texture of the item, read with the unit's own coordinates.
void TexturedUnit(std::uint32_t unit, FloatTexture2D& texture, const BatchRange& range) {
  Unit(unit);
  glEnable(GL_TEXTURE_2D);
  FloatTexture2DBind(texture, kModeKeepEnvironment, 0);
  TexCoords(range, unit, 0);
}

void EnvCombine() { glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB); }

// The RGB combiner of the active unit: `function` of sources 0 and 1 (source colour operands).
void CombineRgb(GLenum function, GLenum source0, GLenum source1) {
  EnvCombine();
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, static_cast<GLint>(function));
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, static_cast<GLint>(source0));
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, static_cast<GLint>(source1));
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
}

// Alpha REPLACE of operand 0; source 0 of the alpha stays what it was.
void AlphaOperand(GLenum operand) {
  EnvCombine();
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, static_cast<GLint>(operand));
}

// Alpha REPLACE of the primary colour's alpha (1 here): the pixel is marked as standing in
// front of the sky. The sky dome, drawn after the objects, shows in proportion to one minus
// the destination alpha; one minus the alpha of a one-channel light texture or of the fog
// texture at the range's own coordinates would leave 0 there, and the dome would paint over
// every object drawn without the register combiners.
void OpaqueAlpha() {
  EnvCombine();
  glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_REPLACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_PRIMARY_COLOR_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GL_SRC_ALPHA);
}

void Blend(GLenum source, GLenum destination) {
  glEnable(GL_BLEND);
  glBlendFunc(source, destination);
}

const float* Colour1(const TextureObject2D& t) { return t.state.colour0; }
const float* Colour2(const TextureObject2D& t) { return t.state.colour1; }

bool CombineExtensions() {
  return HasExtension(kExtTextureEnvCombine4 | kExtTextureEnvCombine3) != 0;
}

void FogCoordinates(const float* matrix) {
  if (SessionCamera == nullptr) return;
  const FogParameters& f = FogParams;
  SetPlanarTexGen(*SessionCamera, f.exp, f.intensity, f.zstart, f.zdistance, f.zintensity,
                  matrix);
}

void Reflection(const SkinSlot& slot) {
  if (SessionCamera == nullptr) return;
  const float* centre = slot.itemData + 6;
  SetupTexGenRotation(*SessionCamera, centre[0], centre[1], centre[2]);
}

// Register-combiner helpers: an input of a general combiner, its sum written to `spare`.
constexpr GLenum kIdentity = GL_UNSIGNED_IDENTITY_NV;
constexpr GLenum kInvert = GL_UNSIGNED_INVERT_NV;

bool HaveCombiners() { return HasExtension(kExtRegisterCombiners) != 0; }

void Input(GLenum stage, GLenum portion, GLenum variable, GLenum input, GLenum mapping,
           GLenum component) {
  glCombinerInputNV(stage, portion, variable, input, mapping, component);
}

// A x B + C x D of the stage's RGB into `spare`, inputs as (register, mapping, component).
struct In {
  GLenum input, mapping, component;
};
constexpr In kOne{GL_ZERO, kInvert, GL_RGB};

void RgbSum(GLenum stage, In a, In b, In c, In d, GLenum spare) {
  Input(stage, GL_RGB, GL_VARIABLE_A_NV, a.input, a.mapping, a.component);
  Input(stage, GL_RGB, GL_VARIABLE_B_NV, b.input, b.mapping, b.component);
  Input(stage, GL_RGB, GL_VARIABLE_C_NV, c.input, c.mapping, c.component);
  Input(stage, GL_RGB, GL_VARIABLE_D_NV, d.input, d.mapping, d.component);
  glCombinerOutputNV(stage, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, spare, GL_NONE, GL_NONE,
                     GL_FALSE, GL_FALSE, GL_FALSE);
}

// A x B of the stage's alpha into spare 0's alpha.
void AlphaProduct(GLenum stage, In a, In b) {
  Input(stage, GL_ALPHA, GL_VARIABLE_A_NV, a.input, a.mapping, a.component);
  Input(stage, GL_ALPHA, GL_VARIABLE_B_NV, b.input, b.mapping, b.component);
  glCombinerOutputNV(stage, GL_ALPHA, GL_SPARE0_NV, GL_DISCARD_NV, GL_DISCARD_NV, GL_NONE,
                     GL_NONE, GL_FALSE, GL_FALSE, GL_FALSE);
}

void Final(GLenum variable, GLenum input, GLenum mapping, GLenum component) {
  glFinalCombinerInputNV(variable, input, mapping, component);
}

void CombinersOn(GLint generalCount) {
  glEnable(GL_REGISTER_COMBINERS_NV);
  glEnable(GL_PER_STAGE_CONSTANTS_NV);
  glCombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, generalCount);
}

void CombinersOff() {
  glDisable(GL_REGISTER_COMBINERS_NV);
  glDisable(GL_PER_STAGE_CONSTANTS_NV);
}

constexpr In kAlphaOne{GL_ZERO, kInvert, GL_ALPHA};

void SinglePassCombiners(const SkinTextureSet& t, std::uint32_t code, bool mirrored) {
  if (!HaveCombiners()) return;
  const bool fog = (code & kPassFog) != 0 && !mirrored;
  const bool shadow = (code & kPassCloudShadow) != 0;
  CombinersOn(2);
  // Combiner 0: spare0 = diffuse + diffuse alpha x colour 2; spare0 alpha = light x cloud.
  glCombinerStageParameterfvNV(GL_COMBINER0_NV, GL_CONSTANT_COLOR0_NV, Colour2(t.diffuse));
  RgbSum(GL_COMBINER0_NV, {GL_TEXTURE1_ARB, kIdentity, GL_ALPHA},
         {GL_CONSTANT_COLOR0_NV, kIdentity, GL_RGB}, {GL_TEXTURE1_ARB, kIdentity, GL_RGB}, kOne,
         GL_SPARE0_NV);
  const In cloud = !shadow    ? kAlphaOne
                   : mirrored ? In{GL_TEXTURE2_ARB, kIdentity, GL_ALPHA}
                              : In{GL_TEXTURE2_ARB, kIdentity, GL_BLUE};
  AlphaProduct(GL_COMBINER0_NV, {GL_TEXTURE0_ARB, kIdentity, GL_BLUE}, cloud);
  // Combiner 1: spare1 = light x cloud x colour A + colour B; spare0 alpha = fog alpha.
  glCombinerStageParameterfvNV(GL_COMBINER1_NV, GL_CONSTANT_COLOR0_NV, t.sunColour);
  glCombinerStageParameterfvNV(GL_COMBINER1_NV, GL_CONSTANT_COLOR1_NV, t.skyColour);
  RgbSum(GL_COMBINER1_NV, {GL_SPARE0_NV, kIdentity, GL_ALPHA},
         {GL_CONSTANT_COLOR0_NV, kIdentity, GL_RGB}, {GL_CONSTANT_COLOR1_NV, kIdentity, GL_RGB},
         kOne, GL_SPARE1_NV);
  AlphaProduct(GL_COMBINER1_NV, fog ? In{GL_TEXTURE3_ARB, kIdentity, GL_ALPHA} : kAlphaOne,
               kAlphaOne);
  // Final: spare1 (x fog RGB) x (spare0 + diffuse colour 1), alpha spare0's.
  if (mirrored) {
    Final(GL_VARIABLE_A_NV, GL_SPARE1_NV, kIdentity, GL_RGB);
  } else {
    Final(GL_VARIABLE_E_NV, GL_SPARE1_NV, kIdentity, GL_RGB);
    Final(GL_VARIABLE_F_NV, GL_TEXTURE3_ARB, kIdentity, GL_RGB);
    Final(GL_VARIABLE_A_NV, GL_E_TIMES_F_NV, kIdentity, GL_RGB);
  }
  Final(GL_VARIABLE_B_NV, GL_SPARE0_PLUS_SECONDARY_COLOR_NV, kIdentity, GL_RGB);
  Final(GL_VARIABLE_C_NV, GL_ZERO, kIdentity, GL_RGB);
  Final(GL_VARIABLE_D_NV, GL_ZERO, kIdentity, GL_RGB);
  Final(GL_VARIABLE_G_NV, GL_SPARE0_NV, kIdentity, GL_ALPHA);
}

void ReflectionCombiners(const SkinSlot& slot, const SkinTextureSet& t) {
  if (!HaveCombiners()) return;
  CombinersOn(3);
  // spare0 = reflection (cube alpha x its colour 2 + cube RGB).
  glCombinerStageParameterfvNV(GL_COMBINER0_NV, GL_CONSTANT_COLOR0_NV, slot.cube.state.colour1);
  RgbSum(GL_COMBINER0_NV, {GL_TEXTURE0_ARB, kIdentity, GL_ALPHA},
         {GL_CONSTANT_COLOR0_NV, kIdentity, GL_RGB}, {GL_TEXTURE0_ARB, kIdentity, GL_RGB}, kOne,
         GL_SPARE0_NV);
  // spare1 = emissive alpha x emissive colour 2 + emissive RGB.
  glCombinerStageParameterfvNV(GL_COMBINER1_NV, GL_CONSTANT_COLOR0_NV, Colour2(t.emissive));
  RgbSum(GL_COMBINER1_NV, {GL_TEXTURE2_ARB, kIdentity, GL_ALPHA},
         {GL_CONSTANT_COLOR0_NV, kIdentity, GL_RGB}, {GL_TEXTURE2_ARB, kIdentity, GL_RGB}, kOne,
         GL_SPARE1_NV);
  // spare0 = reflection x (1 - specular) + spare1.
  RgbSum(GL_COMBINER2_NV, {GL_SPARE0_NV, kIdentity, GL_RGB}, {GL_TEXTURE1_ARB, kInvert, GL_RGB},
         {GL_SPARE1_NV, kIdentity, GL_RGB}, kOne, GL_SPARE0_NV);
  // Final: spare0 + emissive colour 1, alpha 0.
  glCombinerParameterfvNV(GL_CONSTANT_COLOR0_NV, Colour1(t.emissive));
  Final(GL_VARIABLE_A_NV, GL_SPARE0_NV, kIdentity, GL_RGB);
  Final(GL_VARIABLE_B_NV, GL_ZERO, kInvert, GL_RGB);
  Final(GL_VARIABLE_C_NV, GL_ZERO, kIdentity, GL_RGB);
  Final(GL_VARIABLE_D_NV, GL_CONSTANT_COLOR0_NV, kIdentity, GL_RGB);
  Final(GL_VARIABLE_G_NV, GL_ZERO, kIdentity, GL_ALPHA);
}

void LightPass(SkinTextureSet& t, const BatchRange& range) {
  TexturedUnit(0, t.light, range);
  CombineRgb(GL_MODULATE, GL_TEXTURE, GL_CONSTANT_ARB);
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, t.sunColour);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  Unit(1);
  glEnable(GL_TEXTURE_2D);
  FloatTexture2DBind(t.light, kModeKeepEnvironment, 0);
  CombineRgb(GL_ADD, GL_PREVIOUS_ARB, GL_CONSTANT_ARB);
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, t.skyColour);
  OpaqueAlpha();
}

void DiffusePass(SkinTextureSet& t, std::uint32_t code, const float* matrix,
                 const BatchRange& range) {
  Blend(GL_DST_COLOR, GL_ZERO);
  for (std::uint32_t unit = 3; unit >= 1; --unit) {
    Unit(unit);
    glDisable(GL_TEXTURE_CUBE_MAP_ARB);
    glDisable(GL_TEXTURE_2D);
  }
  const bool combine = CombineExtensions();
  Unit(0);
  glDisable(GL_TEXTURE_CUBE_MAP_ARB);
  glEnable(GL_TEXTURE_2D);
  FloatTexture2DBind(t.diffuse, combine ? kModeSplitOnBasis : kModeCompressed, 0);
  TexCoords(range, 0, 0);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  Unit(1);
  glEnable(GL_TEXTURE_2D);
  TexCoords(range, 1, 0);
  FloatTexture2DBind(FogTexture, kModeKeepEnvironment, 0);
  if (combine) {
    SetTextureCombine(kModeSplitOnBasis, 1, Colour1(t.diffuse), Colour2(t.diffuse));
  } else {
    // Without the combine extensions the diffuse colour passes through unchanged; leaving the
    // unit's environment alone would keep whatever an earlier pass programmed there.
    EnvCombine();
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PREVIOUS_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
  }
  if ((code & kPassFog) != 0) {
    EnvCombine();
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA_ARB, GL_SRC_ALPHA);
    FogCoordinates(matrix);
    SkyDrawnOpaque = 0;  // the fog's alpha lets the sky through
  } else {
    OpaqueAlpha();  // the multiply keeps the light pass's alpha
  }
}

void SinglePass(SkinSlot& slot, SkinTextureSet& t, std::uint32_t code, const float* matrix,
                const BatchRange& range, bool mirrored) {
  if ((code & kPassFog) != 0 && !mirrored) SkyDrawnOpaque = 0;  // the fog's alpha
  glDisable(GL_COLOR_SUM_EXT);
  if (HasExtension(kExtSecondaryColor) != 0) {
    const float* c = Colour1(t.diffuse);
    glSecondaryColor3fEXT(c[0], c[1], c[2]);
  }
  TexturedUnit(0, t.light, range);
  TexturedUnit(1, t.diffuse, range);
  Unit(2);
  glEnable(GL_TEXTURE_2D);
  EnvironmentState& env = gEnvironmentState;
  FloatTexture2DBind(env.cloudLow.shadowTexture, kModeKeepEnvironment, 0);
  TexCoords(range, 2, 4);
  if ((code & kPassCloudShadow) != 0) {
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadMatrixf(env.cloudLow.shadowMatrix);
    glTranslatef(-env.lowOffset[0], -env.lowOffset[1], 0.0f);
    if (slot.matrix != nullptr) glMultMatrixf(slot.matrix);
    glMatrixMode(GL_MODELVIEW);
  }
  if (!mirrored) {
    Unit(3);
    glEnable(GL_TEXTURE_2D);
    FloatTexture2DBind(FogTexture, kModeKeepEnvironment, 0);
    if ((code & kPassFog) != 0) FogCoordinates(matrix);
  }
  SinglePassCombiners(t, code, mirrored);
}

void EmissivePass(SkinTextureSet& t, const BatchRange& range, bool mirrored) {
  Blend(GL_ONE, GL_ONE);
  Unit(0);
  glEnable(GL_TEXTURE_2D);
  TexCoords(range, 0, 0);
  FloatTexture2DBind(t.emissive, kModeSplitOnBasis, 0);
  if (mirrored) return;
  Unit(1);
  glEnable(GL_TEXTURE_2D);
  FloatTexture2DBind(t.emissive, kModeSplitOnBasis, 1);
  AlphaOperand(GL_SRC_ALPHA);
}

void EmissiveReflectionPass(SkinSlot& slot, SkinTextureSet& t, const BatchRange& range) {
  Blend(GL_ONE, GL_ONE);
  Unit(0);
  glEnable(GL_TEXTURE_CUBE_MAP_ARB);
  TextureCubeBind(slot.cube, kModeKeepEnvironment, 0);
  Reflection(slot);
  TexturedUnit(1, t.specular, range);
  TexturedUnit(2, t.emissive, range);
  ReflectionCombiners(slot, t);
}

void ReflectionPass(SkinSlot& slot, SkinTextureSet& t, const BatchRange& range, bool unitZeroOnly) {
  Blend(GL_ONE, GL_ONE);
  Unit(0);
  glEnable(GL_TEXTURE_CUBE_MAP_ARB);
  TextureCubeBind(slot.cube, kModeSplit, 0);
  Reflection(slot);
  if (unitZeroOnly) return;
  TexturedUnit(1, t.specular, range);
  CombineRgb(GL_MODULATE, GL_PREVIOUS_ARB, GL_TEXTURE);
  AlphaOperand(GL_SRC_ALPHA);
}

void SetUp(SkinSlot& slot, SkinTextureSet& t, std::uint32_t p, const BatchRange& range,
           bool mirrored) {
  if (p >= ObjectPassCount) return;
  const SkinPass& entry = ObjectPassList[p];
  switch (entry.code & kPassCodeMask) {
    case 0: LightPass(t, range); break;
    case 1: DiffusePass(t, entry.code, entry.argument, range); break;
    case 2: SinglePass(slot, t, entry.code, entry.argument, range, mirrored); break;
    case 3: EmissivePass(t, range, mirrored); break;
    case 4: EmissiveReflectionPass(slot, t, range); break;
    case 5: ReflectionPass(slot, t, range, mirrored); break;
    case 6: ReflectionPass(slot, t, range, false); break;
    default: break;
  }
}

void PopTextureMatrix() {
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

void CubeOff() {
  Unit(0);
  PopTextureMatrix();
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_TEXTURE_GEN_R);
  glDisable(GL_TEXTURE_CUBE_MAP_ARB);
}

void TwoDOff(std::uint32_t unit) {
  Unit(unit);
  glDisable(GL_TEXTURE_2D);
}

void FogGenerationOff(std::uint32_t code) {
  if ((code & kPassFog) == 0) return;
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
}

void Restore(std::uint32_t p, bool mirrored) {
  if (p >= ObjectPassCount) return;
  const std::uint32_t code = ObjectPassList[p].code;
  switch (code & kPassCodeMask) {
    case 0:
      TwoDOff(0);
      TwoDOff(1);
      break;
    case 1:
      TwoDOff(0);
      Unit(1);
      FogGenerationOff(code);
      glDisable(GL_TEXTURE_2D);
      glDisable(GL_BLEND);
      break;
    case 2:
      if (HasExtension(kExtSecondaryColor) != 0) glSecondaryColor3fEXT(0.0f, 0.0f, 0.0f);
      if (HaveCombiners()) CombinersOff();
      TwoDOff(0);
      TwoDOff(1);
      Unit(2);
      if ((code & kPassCloudShadow) != 0) PopTextureMatrix();
      glDisable(GL_TEXTURE_2D);
      Unit(3);
      FogGenerationOff(code);
      glDisable(GL_TEXTURE_2D);
      break;
    case 3:
      TwoDOff(0);
      TwoDOff(1);
      glDisable(GL_BLEND);
      break;
    case 4:
      if (HaveCombiners()) CombinersOff();
      CubeOff();
      TwoDOff(1);
      TwoDOff(2);
      glDisable(GL_BLEND);
      break;
    case 5:
      CubeOff();
      if (!mirrored) TwoDOff(1);
      glDisable(GL_BLEND);
      break;
    case 6:
      CubeOff();
      TwoDOff(1);
      glDisable(GL_BLEND);
      break;
    default:
      break;
  }
}

}  // namespace

void ObjectTexturePass(SkinSlot& slot, SkinTextureSet& textures, std::uint32_t p,
                       const BatchRange& range) {
  SetUp(slot, textures, p, range, false);
}

void ObjectTexturePassMirrored(SkinSlot& slot, SkinTextureSet& textures, std::uint32_t p,
                               const BatchRange& range) {
  SetUp(slot, textures, p, range, true);
}

void RestoreObjectState(std::uint32_t p) { Restore(p, false); }
void RestoreObjectStateMirrored(std::uint32_t p) { Restore(p, true); }

void RestoreObjectPass(std::uint32_t p, std::uint32_t mirrored) {
  if (mirrored == 0)
    RestoreObjectState(p);
  else
    RestoreObjectStateMirrored(p);
}

void SetupTexGenRotation(const Camera& camera, float x, float y, float z) {
  for (GLenum coordinate : {GL_S, GL_T, GL_R})
    glTexGeni(coordinate, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP_ARB);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glEnable(GL_TEXTURE_GEN_R);
  float d[3] = {camera.position[0] - x, camera.position[1] - y, camera.position[2] - z};
  if (d[0] * d[0] + d[1] * d[1] + d[2] * d[2] > 0.0f) gKernelTable.KernelNormalize3(d);
  for (float& v : d)
    if (!std::isfinite(v)) v = 0.0f;
  // The angles are taken in double from the normalised vector divided by its own length: the
  // SSE member's rounding (about 1e-4) would otherwise move the arc sine near the poles by
  // almost a degree. The arguments are still held to [-1, 1].
  const double dx = d[0], dy = d[1], dz = d[2];
  const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
  const double r = std::sqrt(dx * dx + dy * dy);
  double azimuth = 0.0;
  if (r >= 1e-6 * length && r > 0.0) {
    azimuth = std::acos(std::clamp(dx / r, -1.0, 1.0));
    if (dy < 0.0) azimuth = -azimuth;
  }
  const double elevation = length > 0.0 ? std::asin(std::clamp(dz / length, -1.0, 1.0)) : 0.0;
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glLoadIdentity();
  glRotatef(static_cast<float>(azimuth * kDegrees + 90.0), 0.0f, 0.0f, 1.0f);
  glRotatef(static_cast<float>(90.0 - elevation * kDegrees), 1.0f, 0.0f, 0.0f);
  const std::uint32_t board =
      camera.owner != nullptr ? camera.owner->boardClass : BoardClass;
  if (board != kBoardClassNoRollA && board != kBoardClassNoRollB)
    glRotatef(camera.roll * -kDegrees, 0.0f, 0.0f, 1.0f);
  glMatrixMode(GL_MODELVIEW);
}

}  // namespace veskor
