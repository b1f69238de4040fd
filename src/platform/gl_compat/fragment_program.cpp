// Register combiners and texture shaders as ARB fragment programs. Before each draw the layer
// reads its own state and the driver's (enabled targets, bound texture formats, texture
// environments, fog) into a key, makes the program of that key once (the equations of the
// published extension texts, written out instruction by instruction, less the instructions
// whose results nothing reads), binds it and hands it the constants it reads that changed,
// as program local parameters.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gl_compat/compat_state.h"

namespace veskor::gl_compat {
namespace {

// What a texture unit's texels or shader result are, as the extensions sort them.
enum Kind : std::uint8_t {
  kInvalid,  // no result
  kUnsignedRgba,
  kSignedRgba,
  kHiloUnsigned,
  kHiloSigned,
  kDsdt,
  kDsdtMag,
  kDsdtMagIntensity,
  kFloat,  // a dot product
};

enum Base : std::uint8_t { kBaseRgba, kBaseRgb, kBaseAlpha, kBaseLuminance, kBaseLumAlpha,
                           kBaseIntensity };

enum Fetch : std::uint8_t { kNoFetch, kFetch1D, kFetch2D, kFetch3D, kFetchCube, kFetchRect };

enum EnvKind : std::uint8_t { kEnvNone, kEnvClassic, kEnvCombine, kEnvCombine4 };

bool IsOffsetGroup(std::uint8_t k) { return k == kDsdt || k == kDsdtMag || k == kDsdtMagIntensity; }
bool IsHilo(std::uint8_t k) { return k == kHiloUnsigned || k == kHiloSigned; }

// The key of a generated program: every field the text depends on, nothing else. Built in
// zeroed storage so that its bytes compare.
struct UnitKey {
  std::uint16_t op;  // texture shader operation (resolved), 0 without texture shaders
  std::uint8_t fetch;
  std::uint8_t projective;  // TXP rather than TEX
  std::uint8_t kind;        // of the texels fetched
  std::uint8_t base;
  std::uint8_t result;  // Kind of the unit's shader result, kInvalid when none
  std::uint8_t prev;    // previous texture input unit
  std::uint8_t prevKind;
  std::uint8_t expandDot;  // unsigned RGBA dot products expand to [-1, 1]
  std::uint8_t cullLess;   // bit c: the cull comparison of coordinate c is LESS
  std::uint8_t env;
  std::uint16_t mode;
  std::uint16_t combine[2];     // RGB, alpha
  std::uint16_t source[2][4];   // [RGB or alpha][argument]
  std::uint16_t operand[2][4];
  std::uint8_t scale[2];
};

struct PortionKey {
  std::uint16_t input[4], mapping[4], usage[4];
  std::uint16_t output[3];  // AB, CD, sum
  std::uint16_t scale, bias;
  std::uint8_t abDot, cdDot, mux;
};

struct FragmentKey {
  std::uint8_t shaders;
  std::uint8_t combiners;
  std::uint8_t generalCount;
  std::uint8_t perStageConstants;
  std::uint8_t colorSumClamp;
  std::uint8_t colorSum;
  std::uint16_t fogMode;  // 0 when fog is off
  UnitKey unit[kUnits];
  PortionKey portion[kGeneralCombiners][2];
  std::uint16_t finalInput[7][3];
};

// ---- Reading the state ----------------------------------------------------------------

// Kind and base of the texture bound to `target` on the active unit; false when it has no
// image. The texture-shader formats are known by the driver formats they are kept in
// (two 16-bit channels: HILO, two signed bytes: DSDT, ...; see the wrapper of glTexImage2D).
bool InspectTexture(GLenum target, UnitKey& unit) {
  const TextureLevel& level = BoundTextureLevel(TextureTargetIndex(target));
  if (level.width <= 0) return false;
  switch (level.internalFormat) {
    case GL_RG16: unit.kind = kHiloUnsigned; break;
    case GL_RG16_SNORM: unit.kind = kHiloSigned; break;
    case GL_RG8_SNORM: unit.kind = kDsdt; break;
    case GL_RGB16_SNORM: unit.kind = kDsdtMag; break;
    case GL_RGBA16_SNORM: unit.kind = kDsdtMagIntensity; break;
    case GL_RGBA8_SNORM:
    case GL_RGB8_SNORM:
    case GL_LUMINANCE8_SNORM:
    case GL_LUMINANCE8_ALPHA8_SNORM:
    case GL_ALPHA8_SNORM:
    case GL_INTENSITY8_SNORM: unit.kind = kSignedRgba; break;
    default: unit.kind = kUnsignedRgba; break;
  }
  const bool alpha = level.alphaSize > 0;
  if (level.intensitySize > 0)
    unit.base = kBaseIntensity;
  else if (level.luminanceSize > 0)
    unit.base = alpha ? kBaseLumAlpha : kBaseLuminance;
  else if (level.redSize > 0)
    unit.base = alpha ? kBaseRgba : kBaseRgb;
  else
    unit.base = kBaseAlpha;
  return true;
}

// Conventional texturing: the enabled target of highest precedence.
void ConventionalUnit(UnitKey& unit) {
  static const struct {
    GLenum target;
    Fetch fetch;
  } targets[] = {{GL_TEXTURE_CUBE_MAP, kFetchCube},
                 {GL_TEXTURE_3D, kFetch3D},
                 {GL_TEXTURE_RECTANGLE, kFetchRect},
                 {GL_TEXTURE_2D, kFetch2D},
                 {GL_TEXTURE_1D, kFetch1D}};
  for (const auto& t : targets) {
    if (!::glIsEnabled(t.target)) continue;
    if (InspectTexture(t.target, unit)) {
      unit.fetch = t.fetch;
      unit.projective = t.fetch != kFetchCube;
      unit.result = unit.kind;
    }
    return;
  }
}

// Texture shader stage i, after the stages before it: the operation it runs (GL_NONE when it
// is not consistent) and what it fetches.
void ShaderUnit(const TextureShaders& shaders, FragmentKey& key, int i) {
  const ShaderStage& stage = shaders.stage[i];
  UnitKey& unit = key.unit[i];
  const int prev = static_cast<int>(stage.previousInput) - GL_TEXTURE0;
  const bool prevValid = prev >= 0 && prev < i && key.unit[prev].result != kInvalid &&
                         key.unit[prev].result != kFloat;
  const std::uint8_t prevKind = prevValid ? key.unit[prev].result : std::uint8_t{kInvalid};
  const auto fetch = [&](GLenum target, Fetch f) {
    if (!InspectTexture(target, unit)) return false;
    unit.fetch = f;
    unit.result = unit.kind;
    return true;
  };
  const bool dotInput = prevKind == kUnsignedRgba || prevKind == kSignedRgba || IsHilo(prevKind);
  bool consistent = false;
  switch (stage.operation) {
    case GL_TEXTURE_1D:
      consistent = fetch(GL_TEXTURE_1D, kFetch1D);
      unit.projective = 1;
      break;
    case GL_TEXTURE_2D:
      consistent = fetch(GL_TEXTURE_2D, kFetch2D);
      unit.projective = 1;
      break;
    case GL_TEXTURE_CUBE_MAP: consistent = fetch(GL_TEXTURE_CUBE_MAP, kFetchCube); break;
    case GL_PASS_THROUGH_NV:
      consistent = true;
      unit.result = kUnsignedRgba;
      unit.base = kBaseRgba;
      break;
    case GL_CULL_FRAGMENT_NV:
      consistent = true;
      for (int c = 0; c < 4; ++c)
        if (stage.cullMode[c] == GL_LESS) unit.cullLess |= static_cast<std::uint8_t>(1 << c);
      break;
    case GL_OFFSET_TEXTURE_2D_NV:
      consistent = IsOffsetGroup(prevKind) && fetch(GL_TEXTURE_2D, kFetch2D);
      break;
    case GL_OFFSET_TEXTURE_2D_SCALE_NV:
      consistent = (prevKind == kDsdtMag || prevKind == kDsdtMagIntensity) &&
                   fetch(GL_TEXTURE_2D, kFetch2D) && unit.kind == kUnsignedRgba;
      break;
    case GL_DOT_PRODUCT_NV:
      consistent = dotInput;
      if (consistent) unit.result = kFloat;
      break;
    case GL_DOT_PRODUCT_TEXTURE_2D_NV:
      consistent = dotInput && i > 1 && key.unit[i - 1].op == GL_DOT_PRODUCT_NV &&
                   fetch(GL_TEXTURE_2D, kFetch2D);
      break;
    default: break;  // operations the program never uses act as NONE
  }
  if (!consistent) {
    const UnitKey none{};
    unit = none;
    unit.op = GL_NONE;
    return;
  }
  unit.op = static_cast<std::uint16_t>(stage.operation);
  unit.prev = static_cast<std::uint8_t>(prev > 0 ? prev : 0);
  unit.prevKind = prevKind;
  unit.expandDot = stage.dotMapping == GL_EXPAND_NORMAL_NV;
}

GLint EnvInteger(GLenum pname) {
  GLint value = 0;
  ::glGetTexEnviv(GL_TEXTURE_ENV, pname, &value);
  return value;
}

std::uint8_t EnvScale(GLenum pname) {
  GLfloat value = 1;
  ::glGetTexEnvfv(GL_TEXTURE_ENV, pname, &value);
  return static_cast<std::uint8_t>(value);
}

void TextureEnvironment(UnitKey& unit) {
  const GLint mode = EnvInteger(GL_TEXTURE_ENV_MODE);
  unit.mode = static_cast<std::uint16_t>(mode);
  if (mode != GL_COMBINE && mode != GL_COMBINE4_NV) {
    unit.env = kEnvClassic;
    return;
  }
  unit.env = mode == GL_COMBINE ? kEnvCombine : kEnvCombine4;
  const int args = unit.env == kEnvCombine4 ? 4 : 3;
  unit.combine[0] = static_cast<std::uint16_t>(EnvInteger(GL_COMBINE_RGB));
  unit.combine[1] = static_cast<std::uint16_t>(EnvInteger(GL_COMBINE_ALPHA));
  for (int n = 0; n < args; ++n) {
    unit.source[0][n] = static_cast<std::uint16_t>(EnvInteger(GL_SRC0_RGB + n));
    unit.source[1][n] = static_cast<std::uint16_t>(EnvInteger(GL_SRC0_ALPHA + n));
    unit.operand[0][n] = static_cast<std::uint16_t>(EnvInteger(GL_OPERAND0_RGB + n));
    unit.operand[1][n] = static_cast<std::uint16_t>(EnvInteger(GL_OPERAND0_ALPHA + n));
  }
  unit.scale[0] = EnvScale(GL_RGB_SCALE);
  unit.scale[1] = EnvScale(GL_ALPHA_SCALE);
}

void CopyPortion(const CombinerPortion& from, PortionKey& to) {
  for (int v = 0; v < 4; ++v) {
    to.input[v] = static_cast<std::uint16_t>(from.variable[v].input);
    to.mapping[v] = static_cast<std::uint16_t>(from.variable[v].mapping);
    to.usage[v] = static_cast<std::uint16_t>(from.variable[v].usage);
  }
  to.output[0] = static_cast<std::uint16_t>(from.abOutput);
  to.output[1] = static_cast<std::uint16_t>(from.cdOutput);
  to.output[2] = static_cast<std::uint16_t>(from.sumOutput);
  to.scale = static_cast<std::uint16_t>(from.scale);
  to.bias = static_cast<std::uint16_t>(from.bias);
  to.abDot = from.abDotProduct;
  to.cdDot = from.cdDotProduct;
  to.mux = from.muxSum;
}

void BuildKey(ContextState& state, FragmentKey& key) {
  std::memset(&key, 0, sizeof key);
  const int active = ActiveUnit();
  key.shaders = state.shaders.enabled;
  for (int i = 0; i < kUnits; ++i) {
    ::glActiveTexture(GL_TEXTURE0 + i);
    state.activeUnit = i;
    UnitKey& unit = key.unit[i];
    if (state.shaders.enabled)
      ShaderUnit(state.shaders, key, i);
    else
      ConventionalUnit(unit);
    // The environment applies to results that are colours; HILO and texture offset texels,
    // the operations without a colour and the NONE mode leave the fragment colour as it is.
    const bool colour = unit.result == kUnsignedRgba || unit.result == kSignedRgba ||
                        unit.result == kDsdtMagIntensity;
    if (!state.combiners.enabled && colour && !state.envNone[i]) TextureEnvironment(unit);
  }
  ::glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + active));
  state.activeUnit = active;

  if (::glIsEnabled(GL_FOG)) {
    GLint mode = GL_EXP;
    ::glGetIntegerv(GL_FOG_MODE, &mode);
    key.fogMode = static_cast<std::uint16_t>(mode);
  }
  const RegisterCombiners& rc = state.combiners;
  if (rc.enabled) {
    key.combiners = 1;
    key.generalCount = static_cast<std::uint8_t>(rc.generalCount);
    key.perStageConstants = rc.perStageConstants;
    key.colorSumClamp = rc.colorSumClamp;
    for (int s = 0; s < rc.generalCount; ++s) {
      CopyPortion(rc.stage[s].rgb, key.portion[s][0]);
      CopyPortion(rc.stage[s].alpha, key.portion[s][1]);
    }
    for (int v = 0; v < 7; ++v) {
      key.finalInput[v][0] = static_cast<std::uint16_t>(rc.finalInput[v].input);
      key.finalInput[v][1] = static_cast<std::uint16_t>(rc.finalInput[v].mapping);
      key.finalInput[v][2] = static_cast<std::uint16_t>(rc.finalInput[v].usage);
    }
  } else {
    GLint control = GL_SINGLE_COLOR;
    ::glGetIntegerv(GL_LIGHT_MODEL_COLOR_CONTROL, &control);
    key.colorSum = ::glIsEnabled(GL_COLOR_SUM) ||
                   (::glIsEnabled(GL_LIGHTING) && control == GL_SEPARATE_SPECULAR_COLOR);
  }
}

// ---- Writing the program ----------------------------------------------------------------

class ProgramText {
 public:
  void Line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    text_.append(line).append("\n");
  }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

const char* const kTarget[] = {"", "1D", "2D", "3D", "CUBE", "RECT"};
const char* const kComponent = "xyzw";

// The register combiners' registers by name; "zero" for registers that read as zero.
const char* Register(GLenum input, bool writing) {
  static const char* const textures[] = {"t0", "t1", "t2", "t3"};
  switch (input) {
    case GL_PRIMARY_COLOR_NV: return "pri";
    case GL_SECONDARY_COLOR_NV: return "sec";
    case GL_SPARE0_NV: return "sp0";
    case GL_SPARE1_NV: return "sp1";
    case GL_FOG: return writing ? nullptr : "fog";
    case GL_CONSTANT_COLOR0_NV: return writing ? nullptr : "cc0";
    case GL_CONSTANT_COLOR1_NV: return writing ? nullptr : "cc1";
    default: break;
  }
  const int t = static_cast<int>(input) - GL_TEXTURE0;
  if (t >= 0 && t < kUnits) return textures[t];
  return writing ? nullptr : "zero";
}

// Applies a register combiner input mapping to the masked components of v.
void Mapping(ProgramText& p, const char* v, const char* mask, GLenum mapping) {
  switch (mapping) {
    case GL_SIGNED_IDENTITY_NV: return;
    case GL_SIGNED_NEGATE_NV: p.Line("MOV %s%s, -%s;", v, mask, v); return;
    case GL_UNSIGNED_INVERT_NV:
      p.Line("MOV_SAT %s%s, %s;", v, mask, v);
      p.Line("SUB %s%s, 1.0, %s;", v, mask, v);
      return;
    default: break;
  }
  p.Line("MAX %s%s, %s, 0.0;", v, mask, v);
  switch (mapping) {
    case GL_EXPAND_NORMAL_NV: p.Line("MAD %s%s, %s, 2.0, -1.0;", v, mask, v); break;
    case GL_EXPAND_NEGATE_NV: p.Line("MAD %s%s, %s, -2.0, 1.0;", v, mask, v); break;
    case GL_HALF_BIAS_NORMAL_NV: p.Line("SUB %s%s, %s, 0.5;", v, mask, v); break;
    case GL_HALF_BIAS_NEGATE_NV: p.Line("SUB %s%s, 0.5, %s;", v, mask, v); break;
    default: break;  // UNSIGNED_IDENTITY_NV
  }
}

// A combiner variable from a register: its value through the input mapping, in the masked
// components. A register that reads as zero gives a constant, written as one.
void Variable(ProgramText& p, const char* v, const char* mask, const char* reg,
              const char* swizzle, GLenum mapping) {
  if (std::strcmp(reg, "zero") == 0) {
    float value = 0;  // the mapping of zero
    switch (mapping) {
      case GL_UNSIGNED_INVERT_NV:
      case GL_EXPAND_NEGATE_NV: value = 1; break;
      case GL_EXPAND_NORMAL_NV: value = -1; break;
      case GL_HALF_BIAS_NORMAL_NV: value = -0.5f; break;
      case GL_HALF_BIAS_NEGATE_NV: value = 0.5f; break;
      default: break;
    }
    p.Line("MOV %s%s, %.1f;", v, mask, value);
    return;
  }
  p.Line("MOV %s%s, %s%s;", v, mask, reg, swizzle);
  Mapping(p, v, mask, mapping);
}

void GeneralCombinerStage(ProgramText& p, const FragmentKey& key, int s) {
  static const char* const vars[] = {"vA", "vB", "vC", "vD"};
  static const char* const masks[] = {".xyz", ".w"};
  if (key.perStageConstants) {
    p.Line("MOV cc0, L[%d];", kLocalStageConstants + 2 * s);
    p.Line("MOV cc1, L[%d];", kLocalStageConstants + 2 * s + 1);
  }
  for (int portion = 0; portion < 2; ++portion) {
    const PortionKey& k = key.portion[s][portion];
    const char* mask = masks[portion];
    for (int v = 0; v < 4; ++v) {
      const char* reg = Register(k.input[v], false);
      const char* swizzle = k.usage[v] == GL_ALPHA ? ".w" : k.usage[v] == GL_BLUE ? ".z" : "";
      if (portion == 1 && swizzle[0] == '\0') swizzle = ".w";
      Variable(p, vars[v], mask, reg, swizzle, k.mapping[v]);
    }
  }
  p.Line("MUL p1, vA, vB;");
  p.Line("MUL p2, vC, vD;");
  p.Line("ADD m, sp0.w, -0.5;");
  for (int portion = 0; portion < 2; ++portion) {
    const PortionKey& k = key.portion[s][portion];
    const char* mask = masks[portion];
    // The mux picks AB while spare0 alpha is below one half, else CD.
    if (k.mux)
      p.Line("CMP o3%s, m, p1, p2;", mask);
    else
      p.Line("ADD o3%s, p1, p2;", mask);
    if (k.abDot) p.Line("DP3 o1%s, vA, vB;", mask);
    else p.Line("MOV o1%s, p1;", mask);
    if (k.cdDot) p.Line("DP3 o2%s, vC, vD;", mask);
    else p.Line("MOV o2%s, p2;", mask);
    const char* scale = k.scale == GL_SCALE_BY_TWO_NV         ? "2.0"
                        : k.scale == GL_SCALE_BY_FOUR_NV      ? "4.0"
                        : k.scale == GL_SCALE_BY_ONE_HALF_NV  ? "0.5"
                                                              : nullptr;
    for (const char* o : {"o1", "o2", "o3"}) {
      if (k.bias == GL_BIAS_BY_NEGATIVE_ONE_HALF_NV) p.Line("ADD %s%s, %s, -0.5;", o, mask, o);
      if (scale != nullptr) p.Line("MUL %s%s, %s, %s;", o, mask, o, scale);
      p.Line("MIN %s%s, %s, 1.0;", o, mask, o);
      p.Line("MAX %s%s, %s, -1.0;", o, mask, o);
    }
  }
  // Every output is computed from the registers as they came in; then they are written.
  for (int portion = 0; portion < 2; ++portion) {
    const PortionKey& k = key.portion[s][portion];
    static const char* const outputs[] = {"o1", "o2", "o3"};
    for (int o = 0; o < 3; ++o)
      if (const char* reg = Register(k.output[o], true))
        p.Line("MOV %s%s, %s;", reg, masks[portion], outputs[o]);
  }
}

void FinalCombiner(ProgramText& p, const FragmentKey& key) {
  static const char* const vars[] = {"vA", "vB", "vC", "vD", "vE", "vF", "vG"};
  if (key.perStageConstants) {  // the final combiner reads the global constants
    p.Line("MOV cc0, L[%d];", kLocalGlobalConstants);
    p.Line("MOV cc1, L[%d];", kLocalGlobalConstants + 1);
  }
  p.Line("MAX p1, sp0, 0.0;");
  p.Line("MAX p2, sec, 0.0;");
  p.Line("ADD%s ssum, p1, p2;", key.colorSumClamp ? "_SAT" : "");
  // E and F first: A to D may read their product.
  for (int v : {4, 5, 0, 1, 2, 3, 6}) {
    const GLenum input = key.finalInput[v][0];
    const GLenum usage = key.finalInput[v][2];
    const char* reg = input == GL_E_TIMES_F_NV                     ? "ef"
                      : input == GL_SPARE0_PLUS_SECONDARY_COLOR_NV ? "ssum"
                                                                   : Register(input, false);
    const bool g = v == 6;
    const char* mask = g ? ".w" : ".xyz";
    const char* swizzle = usage == GL_ALPHA ? ".w" : usage == GL_BLUE ? ".z" : "";
    if (g && swizzle[0] == '\0') swizzle = ".w";
    Variable(p, vars[v], mask, reg, swizzle, key.finalInput[v][1]);
    if (v == 5) p.Line("MUL ef, vE, vF;");
  }
  p.Line("LRP r.xyz, vA, vB, vC;");
  p.Line("ADD r.xyz, r, vD;");
  p.Line("MIN r.xyz, r, 1.0;");
  p.Line("MOV r.w, vG.w;");
}

// The fog factor (f.x) of the fog mode in force.
void FogFactor(ProgramText& p, GLenum mode) {
  p.Line("ABS f.x, fc.x;");
  switch (mode) {
    case GL_LINEAR:
      p.Line("SUB f.x, fogp.z, f.x;");
      p.Line("MUL_SAT f.x, f.x, fogp.w;");
      break;
    case GL_EXP2:
      p.Line("MUL f.x, f.x, fogp.x;");
      p.Line("MUL f.x, f.x, f.x;");
      p.Line("MUL f.x, f.x, 1.442695;");
      p.Line("EX2_SAT f.x, -f.x;");
      break;
    default:  // GL_EXP
      p.Line("MUL f.x, f.x, fogp.x;");
      p.Line("MUL f.x, f.x, 1.442695;");
      p.Line("EX2_SAT f.x, -f.x;");
      break;
  }
}

// Texture shader stage or conventional fetch of unit i into s<i> (the shader result) and
// t<i> (the texture unit's RGBA result).
void TextureUnit(ProgramText& p, const FragmentKey& key, int i) {
  const UnitKey& u = key.unit[i];
  const int pv = u.prev;
  const std::string tc = "tc" + std::to_string(i);
  auto fetch = [&](const char* coord, bool projective) {
    p.Line("%s s%d, %s, texture[%d], %s;", projective ? "TXP" : "TEX", i, coord, i,
           kTarget[u.fetch]);
  };
  // The dot product of the unit's (s, t, r) with the previous input's result, into dst.
  auto dot = [&](const char* dst) {
    switch (u.prevKind) {
      case kHiloUnsigned:
        p.Line("MOV q.xy, s%d;", pv);
        p.Line("MOV q.z, 1.0;");
        break;
      case kHiloSigned:
        p.Line("MOV q.xy, s%d;", pv);
        p.Line("MUL q.z, q.x, q.x;");
        p.Line("MAD q.z, q.y, q.y, q.z;");
        p.Line("SUB q.z, 1.0, q.z;");
        p.Line("MAX q.z, q.z, 0.0;");
        p.Line("RSQ q.w, q.z;");
        p.Line("MUL q.z, q.z, q.w;");
        break;
      case kUnsignedRgba:
        if (u.expandDot) p.Line("MAD q, s%d, 2.0, -1.0;", pv);
        else p.Line("MOV q, s%d;", pv);
        break;
      default: p.Line("MOV q, s%d;", pv); break;
    }
    p.Line("DP3 %s, %s, q;", dst, tc.c_str());
  };
  p.Line("MOV t%d, zero;", i);
  p.Line("MOV s%d, zero;", i);
  if (!key.shaders) {
    if (u.fetch == kNoFetch) return;
    fetch(tc.c_str(), u.projective);
  } else {
    switch (u.op) {
      case GL_TEXTURE_1D:
      case GL_TEXTURE_2D:
      case GL_TEXTURE_CUBE_MAP: fetch(tc.c_str(), u.projective); break;
      case GL_PASS_THROUGH_NV: p.Line("MOV_SAT s%d, %s;", i, tc.c_str()); break;
      case GL_CULL_FRAGMENT_NV:
        p.Line("SGE q, %s, 0.0;", tc.c_str());
        p.Line("SLT r, %s, 0.0;", tc.c_str());
        for (int c = 0; c < 4; ++c)
          if (u.cullLess & (1 << c)) p.Line("MOV q.%c, r.%c;", kComponent[c], kComponent[c]);
        p.Line("SUB q, q, 0.5;");
        p.Line("KIL q;");
        return;
      case GL_OFFSET_TEXTURE_2D_NV:
      case GL_OFFSET_TEXTURE_2D_SCALE_NV:
        // s' = s + a1 ds + a3 dt, t' = t + a2 ds + a4 dt (the matrix is column-major).
        p.Line("MAD q.xy, L[%d], s%d.x, %s;", kLocalOffsetMatrix + i, pv, tc.c_str());
        p.Line("MAD q.xy, L[%d].zwzw, s%d.y, q;", kLocalOffsetMatrix + i, pv);
        fetch("q", false);
        break;
      case GL_DOT_PRODUCT_NV: {
        const std::string dst = std::string("dp.") + kComponent[i];
        dot(dst.c_str());
        return;
      }
      case GL_DOT_PRODUCT_TEXTURE_2D_NV:
        dot("r.y");
        p.Line("MOV r.x, dp.%c;", kComponent[i - 1]);
        p.Line("TEX s%d, r, texture[%d], 2D;", i, i);
        break;
      default: return;  // NONE
    }
  }
  // The texture unit RGBA result from the shader result: HILO and texture offset texels give
  // none, except the intensity (vibrance) of DSDT_MAG_INTENSITY.
  switch (u.kind) {
    case kHiloUnsigned:
    case kHiloSigned:
    case kDsdt:
    case kDsdtMag: return;
    case kDsdtMagIntensity:
      if (key.combiners) p.Line("MOV t%d.w, s%d.w;", i, i);
      else p.Line("MOV t%d, s%d.w;", i, i);
      return;
    default: break;
  }
  p.Line("MOV t%d, s%d;", i, i);
  // Texture shaders see alpha textures as (1, 1, 1, A); conventional texturing as (0, 0, 0, A).
  if (key.shaders && u.base == kBaseAlpha) p.Line("MOV t%d.xyz, 1.0;", i);
  if (u.op == GL_OFFSET_TEXTURE_2D_SCALE_NV) {
    p.Line("MAD q.x, s%d.z, L[%d].x, L[%d].y;", pv, kLocalOffsetScale + i, kLocalOffsetScale + i);
    p.Line("MOV_SAT q.x, q.x;");
    p.Line("MUL t%d.xyz, t%d, q.x;", i, i);
  }
}

// The value of a texture environment source for unit i; the texture of another unit without
// a result reads as 1.
std::string EnvSource(const FragmentKey& key, int i, GLenum source) {
  switch (source) {
    case GL_TEXTURE: return "t" + std::to_string(i);
    case GL_CONSTANT: return "env" + std::to_string(i);
    case GL_PRIMARY_COLOR: return "col0";
    case GL_PREVIOUS: return "cp";
    case GL_ZERO: return "zero";
    case GL_ONE: return "one";
    default: break;
  }
  const int t = static_cast<int>(source) - GL_TEXTURE0;
  if (t >= 0 && t < kUnits && key.unit[t].result != kInvalid) return "t" + std::to_string(t);
  return "one";
}

// One texture environment of the conventional modes (the tables of the texture shader
// text, which keep signed colours within [-1, 1]).
void ClassicEnvironment(ProgramText& p, const UnitKey& u, int i) {
  const Base b = static_cast<Base>(u.base);
  const bool hasColour = b != kBaseAlpha && b != kBaseIntensity;
  const bool hasAlpha = b == kBaseRgba || b == kBaseLumAlpha || b == kBaseAlpha;
  p.Line("MOV r, cp;");
  switch (u.mode) {
    case GL_REPLACE:
      if (b == kBaseIntensity) p.Line("MOV r, t%d;", i);
      if (hasColour) p.Line("MOV r.xyz, t%d;", i);
      if (hasAlpha) p.Line("MOV r.w, t%d.w;", i);
      break;
    case GL_MODULATE:
      if (b == kBaseIntensity) p.Line("MUL r, cp, t%d;", i);
      if (hasColour) p.Line("MUL r.xyz, cp, t%d;", i);
      if (hasAlpha) p.Line("MUL r.w, cp.w, t%d.w;", i);
      break;
    case GL_DECAL:
      if (b == kBaseRgb) p.Line("MOV r.xyz, t%d;", i);
      if (b == kBaseRgba) {
        p.Line("MAX q, t%d.w, 0.0;", i);
        p.Line("LRP r.xyz, q, t%d, cp;", i);
      }
      break;
    case GL_BLEND:
      p.Line("MAX q, t%d, 0.0;", i);
      if (b == kBaseIntensity) p.Line("LRP r, q, env%d, cp;", i);
      if (hasColour) p.Line("LRP r.xyz, q, env%d, cp;", i);
      if (hasAlpha) p.Line("MUL r.w, cp.w, t%d.w;", i);
      break;
    case GL_ADD:
      if (b == kBaseIntensity) p.Line("ADD r, cp, t%d;", i);
      if (hasColour) p.Line("ADD r.xyz, cp, t%d;", i);
      p.Line("MIN r, r, 1.0;");
      p.Line("MAX r, r, -1.0;");
      if (hasAlpha) p.Line("MUL r.w, cp.w, t%d.w;", i);
      break;
    default: break;
  }
}

void CombineEnvironment(ProgramText& p, const FragmentKey& key, int i) {
  const UnitKey& u = key.unit[i];
  const int args = u.env == kEnvCombine4 ? 4 : 3;
  static const char* const masks[] = {".xyz", ".w"};
  for (int n = 0; n < args; ++n) {
    for (int part = 0; part < 2; ++part) {
      const std::string src = EnvSource(key, i, u.source[part][n]);
      const GLenum operand = u.operand[part][n];
      const bool alpha = part == 1 || operand == GL_SRC_ALPHA ||
                         operand == GL_ONE_MINUS_SRC_ALPHA;
      // Arguments are clamped to [0, 1] first (the texture shader text's tables).
      p.Line("MOV_SAT a%d%s, %s%s;", n, masks[part], src.c_str(), alpha ? ".w" : "");
      if (operand == GL_ONE_MINUS_SRC_COLOR || operand == GL_ONE_MINUS_SRC_ALPHA)
        p.Line("SUB a%d%s, 1.0, a%d;", n, masks[part], n);
    }
  }
  for (int part = 0; part < 2; ++part) {
    const char* m = masks[part];
    switch (u.combine[part]) {
      case GL_REPLACE: p.Line("MOV r%s, a0;", m); break;
      case GL_MODULATE: p.Line("MUL r%s, a0, a1;", m); break;
      case GL_ADD:
        if (u.env == kEnvCombine4) {
          p.Line("MUL r%s, a0, a1;", m);
          p.Line("MAD r%s, a2, a3, r;", m);
        } else {
          p.Line("ADD r%s, a0, a1;", m);
        }
        break;
      case GL_ADD_SIGNED:
        if (u.env == kEnvCombine4) {
          p.Line("MUL r%s, a0, a1;", m);
          p.Line("MAD r%s, a2, a3, r;", m);
          p.Line("SUB r%s, r, 0.5;", m);
        } else {
          p.Line("ADD r%s, a0, a1;", m);
          p.Line("SUB r%s, r, 0.5;", m);
        }
        break;
      case GL_INTERPOLATE: p.Line("LRP r%s, a2, a0, a1;", m); break;
      case GL_SUBTRACT: p.Line("SUB r%s, a0, a1;", m); break;
      case GL_MODULATE_ADD_ATI: p.Line("MAD r%s, a0, a2, a1;", m); break;
      case GL_MODULATE_SIGNED_ADD_ATI:
        p.Line("MAD r%s, a0, a2, a1;", m);
        p.Line("SUB r%s, r, 0.5;", m);
        break;
      case GL_MODULATE_SUBTRACT_ATI:
        p.Line("MAD r%s, a0, a2, -a1;", m);
        break;
      case GL_DOT3_RGB:
      case GL_DOT3_RGBA:
        if (part == 1) break;
        p.Line("MAD q, a0, 2.0, -1.0;");
        p.Line("MAD p1, a1, 2.0, -1.0;");
        p.Line("DP3 r.xyz, q, p1;");
        break;
      default: p.Line("MOV r%s, cp;", m); break;
    }
    if (u.scale[part] > 1) p.Line("MUL r%s, r, %d.0;", m, u.scale[part]);
    // DOT3_RGBA puts the scaled dot product in alpha too; the alpha function is unused.
    if (part == 0 && u.combine[0] == GL_DOT3_RGBA) {
      p.Line("MOV r.w, r.x;");
      break;
    }
  }
  p.Line("MOV_SAT r, r;");
}

// ---- Dropping what nothing reads ---------------------------------------------------------

// The components (bit c: component c) of a source operand that `components` of the result
// read, through the operand's swizzle.
unsigned SourceComponents(const std::string& operand, unsigned components) {
  const std::size_t dot = operand.rfind('.');
  const std::string swizzle = dot == std::string::npos ? "" : operand.substr(dot + 1);
  const bool valid = (swizzle.size() == 1 || swizzle.size() == 4) &&
                     swizzle.find_first_not_of("xyzw") == std::string::npos;
  unsigned read = 0;
  for (int c = 0; c < 4; ++c) {
    if ((components & (1u << c)) == 0) continue;
    if (!valid) read |= 1u << c;
    else read |= 1u << (std::strchr(kComponent, swizzle[swizzle.size() == 1 ? 0 : c]) - kComponent);
  }
  return read;
}

// The register an operand names (sign and swizzle taken off).
std::string RegisterOf(const std::string& operand) {
  std::size_t begin = operand.find_first_not_of(" -");
  if (begin == std::string::npos) return "";
  const std::size_t dot = operand.find('.', begin);
  return operand.substr(begin, dot == std::string::npos ? std::string::npos : dot - begin);
}

// The program without the instructions whose results nothing reads: the units and stages
// that are off or whose results go unused (their texture reads with them), the arguments
// and outputs a function does not take. A backward pass over the temporaries' components.
std::string DropDeadInstructions(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
  }
  std::unordered_map<std::string, unsigned> live;  // temporaries: components still to be read
  for (const std::string& line : lines) {
    if (line.rfind("TEMP ", 0) != 0) continue;
    for (std::size_t at = 5, end; at < line.size(); at = end + 1) {
      end = line.find_first_of(",;", at);
      if (end == std::string::npos) end = line.size();
      live[RegisterOf(line.substr(at, end - at))] = 0;
    }
  }
  std::vector<bool> keep(lines.size(), true);
  for (std::size_t i = lines.size(); i-- > 0;) {
    const std::string& line = lines[i];
    const std::size_t space = line.find(' ');
    if (space == std::string::npos || line.back() != ';') continue;  // END and the like
    std::string op = line.substr(0, space);
    if (op == "PARAM" || op == "ATTRIB" || op == "TEMP" || op == "OUTPUT") continue;
    if (op.size() > 4 && op.compare(op.size() - 4, 4, "_SAT") == 0) op.resize(op.size() - 4);
    std::vector<std::string> operands;
    for (std::size_t at = space + 1, end; at < line.size(); at = end + 1) {
      end = line.find_first_of(",;", at);
      operands.push_back(line.substr(at, end - at));
    }
    // What the instruction's sources are read for: the result components that are needed.
    unsigned needed = 0xF;
    std::size_t firstSource = 1;
    if (op == "KIL") {
      firstSource = 0;
    } else {
      const std::string dst = RegisterOf(operands[0]);
      auto it = live.find(dst);
      if (it != live.end()) {
        const std::size_t dot = operands[0].find('.');
        unsigned written = 0;
        if (dot == std::string::npos) written = 0xF;
        for (std::size_t c = dot + 1; dot != std::string::npos && c < operands[0].size(); ++c)
          if (const char* at = std::strchr(kComponent, operands[0][c]))
            written |= 1u << (at - kComponent);
        needed = written & it->second;
        if (needed == 0) {
          keep[i] = false;
          continue;
        }
        it->second &= ~written;
      }
    }
    const bool texture = op == "TEX" || op == "TXP" || op == "TXB";
    const bool scalar = op == "RSQ" || op == "RCP" || op == "EX2" || op == "LG2" ||
                        op == "POW" || op == "EXP" || op == "LOG" || op == "COS" || op == "SIN";
    const std::size_t sources = texture ? 2 : operands.size();
    for (std::size_t n = firstSource; n < sources; ++n) {
      auto it = live.find(RegisterOf(operands[n]));
      if (it == live.end()) continue;
      const unsigned components = op == "DP3" ? 0x7u
                                  : texture || op == "KIL" || op == "DP4" ? 0xFu
                                  : scalar ? 0x1u
                                           : needed;
      it->second |= SourceComponents(operands[n], components);
    }
  }
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (keep[i] && !lines[i].empty()) out.append(lines[i]).append("\n");
  return out;
}

std::string GenerateProgram(const FragmentKey& key) {
  ProgramText p;
  p.Line("!!ARBfp1.0");
  p.Line("PARAM L[%d] = { program.local[0..%d] };", kLocalCount, kLocalCount - 1);
  p.Line("PARAM zero = {0, 0, 0, 0};");
  p.Line("PARAM one = {1, 1, 1, 1};");
  p.Line("PARAM fogc = state.fog.color;");
  p.Line("PARAM fogp = state.fog.params;");
  p.Line("ATTRIB col0 = fragment.color.primary;");
  p.Line("ATTRIB col1 = fragment.color.secondary;");
  p.Line("ATTRIB fc = fragment.fogcoord;");
  for (int i = 0; i < kUnits; ++i) {
    p.Line("ATTRIB tc%d = fragment.texcoord[%d];", i, i);
    p.Line("PARAM env%d = state.texenv[%d].color;", i, i);
  }
  p.Line("TEMP s0, s1, s2, s3, t0, t1, t2, t3, dp, q, r, f;");
  for (int i = 0; i < kUnits; ++i) TextureUnit(p, key, i);
  if (key.fogMode != 0) FogFactor(p, key.fogMode);
  if (key.combiners) {
    p.Line("TEMP pri, sec, sp0, sp1, fog, cc0, cc1, vA, vB, vC, vD, vE, vF, vG;");
    p.Line("TEMP p1, p2, m, o1, o2, o3, ef, ssum;");
    p.Line("MOV pri, col0;");
    p.Line("MOV sec, col1;");
    p.Line("MOV sp0, zero;");
    p.Line("MOV sp0.w, t0.w;");
    p.Line("MOV sp1, zero;");
    p.Line("MOV fog, fogc;");
    // The fog register's alpha is the fog factor, one while fog is off.
    if (key.fogMode != 0) p.Line("MOV fog.w, f.x;");
    else p.Line("MOV fog.w, 1.0;");
    p.Line("MOV cc0, L[%d];", kLocalGlobalConstants);
    p.Line("MOV cc1, L[%d];", kLocalGlobalConstants + 1);
    for (int s = 0; s < key.generalCount; ++s) GeneralCombinerStage(p, key, s);
    FinalCombiner(p, key);
  } else {
    p.Line("TEMP cp, a0, a1, a2, a3, p1;");
    p.Line("MOV cp, col0;");
    for (int i = 0; i < kUnits; ++i) {
      const UnitKey& u = key.unit[i];
      if (u.env == kEnvNone) continue;
      if (u.env == kEnvClassic) ClassicEnvironment(p, u, i);
      else CombineEnvironment(p, key, i);
      p.Line("MOV cp, r;");
    }
    // Colour sum: both colours clamped to [0, 1], then summed and clamped.
    if (key.colorSum) {
      p.Line("MOV_SAT cp, cp;");
      p.Line("MOV_SAT q, col1;");
      p.Line("ADD_SAT cp.xyz, cp, q;");
    }
    if (key.fogMode != 0) p.Line("LRP cp.xyz, f.x, cp, fogc;");
    p.Line("MOV r, cp;");
  }
  p.Line("MOV result.color, r;");
  p.Line("END");
  return DropDeadInstructions(p.Text());
}

GLuint CompileProgram(const std::string& text) {
  const DriverProcs& d = Driver();
  GLuint name = 0;
  d.genPrograms(1, &name);
  d.bindProgram(GL_FRAGMENT_PROGRAM_ARB, name);
  d.programString(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_FORMAT_ASCII_ARB,
                  static_cast<GLsizei>(text.size()), text.data());
  GLint errorAt = -1;
  ::glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorAt);
  if (errorAt >= 0) {
    const GLubyte* message = ::glGetString(GL_PROGRAM_ERROR_STRING_ARB);
    std::fprintf(stderr, "fragment program rejected at %d: %s\n%s", errorAt,
                 message != nullptr ? reinterpret_cast<const char*>(message) : "",
                 text.c_str());
    d.deletePrograms(1, &name);
    return 0;
  }
  return name;
}

// The bound program's local parameters from the state: those it reads and whose values it
// has not got already.
void UploadConstants(const ContextState& state, ContextState::Program& program) {
  const auto set = [&program](int index, const GLfloat* value) {
    if ((program.localsRead & (1u << index)) == 0) return;
    GLfloat* last = program.local[index];
    if (std::memcmp(last, value, sizeof program.local[index]) == 0) return;
    std::memcpy(last, value, sizeof program.local[index]);
    Driver().programLocalParameter4fv(GL_FRAGMENT_PROGRAM_ARB, static_cast<GLuint>(index),
                                      value);
  };
  const RegisterCombiners& rc = state.combiners;
  for (int c = 0; c < 2; ++c) set(kLocalGlobalConstants + c, rc.constant[c]);
  for (int s = 0; s < kGeneralCombiners; ++s)
    for (int c = 0; c < 2; ++c) set(kLocalStageConstants + 2 * s + c, rc.stage[s].constant[c]);
  for (int i = 0; i < kUnits; ++i) {
    const ShaderStage& stage = state.shaders.stage[i];
    set(kLocalOffsetMatrix + i, stage.offsetMatrix);
    const GLfloat scaleBias[4] = {stage.offsetScale, stage.offsetBias, 0, 0};
    set(kLocalOffsetScale + i, scaleBias);
  }
}

// The local parameters a program text reads (bit i: L[i]).
std::uint32_t LocalsRead(const std::string& text) {
  std::uint32_t read = 0;
  for (std::size_t at = text.find("L["); at != std::string::npos; at = text.find("L[", at + 2)) {
    const int index = std::atoi(text.c_str() + at + 2);
    if (index >= 0 && index < kLocalCount) read |= 1u << index;
  }
  return read;
}

void ProgramOff(ContextState& state) {
  if (!state.programOn) return;
  ::glDisable(GL_FRAGMENT_PROGRAM_ARB);
  state.programOn = false;
}

}  // namespace

bool NeedsProgram(const ContextState& state) {
  if (state.combiners.enabled || state.shaders.enabled) return true;
  for (bool none : state.envNone)
    if (none) return true;
  return false;
}

void PrepareDraw() {
  ContextState& state = State();
  if (!NeedsProgram(state)) {
    ProgramOff(state);
    return;
  }
  if (!ServesShading()) return;
  FragmentKey key;
  BuildKey(state, key);
  std::string bytes(reinterpret_cast<const char*>(&key), sizeof key);
  auto [it, made] = state.programs.try_emplace(std::move(bytes));
  ContextState::Program& program = it->second;
  if (made) {
    const std::string text = GenerateProgram(key);
    program.name = CompileProgram(text);
    program.localsRead = LocalsRead(text);
  }
  if (program.name == 0) {
    ProgramOff(state);
    return;
  }
  if (made || state.boundProgram != program.name) {
    Driver().bindProgram(GL_FRAGMENT_PROGRAM_ARB, program.name);
    state.boundProgram = program.name;
  }
  if (program.constantsVersion != state.constantsVersion) {
    UploadConstants(state, program);
    program.constantsVersion = state.constantsVersion;
  }
  if (!state.programOn) {
    ::glEnable(GL_FRAGMENT_PROGRAM_ARB);
    state.programOn = true;
  }
}

}  // namespace veskor::gl_compat
