// The entry points of NV register combiners 1 and 2: they set and read the layer's combiner
// state, from which the fragment programs are generated at draw time.
#include <algorithm>
#include <cstring>

#include "platform/gl_compat/compat_state.h"

namespace veskor::gl_compat {

RegisterCombiners::RegisterCombiners() {
  for (GeneralCombiner& s : stage) {
    for (CombinerPortion* p : {&s.rgb, &s.alpha}) {
      const GLenum usage = p == &s.rgb ? GL_RGB : GL_ALPHA;
      p->variable[0] = {GL_PRIMARY_COLOR_NV, GL_UNSIGNED_IDENTITY_NV, usage};
      p->variable[1] = {GL_ZERO, GL_UNSIGNED_INVERT_NV, usage};
      p->variable[2] = {GL_ZERO, GL_UNSIGNED_IDENTITY_NV, usage};
      p->variable[3] = {GL_ZERO, GL_UNSIGNED_IDENTITY_NV, usage};
    }
  }
  finalInput[0] = {GL_FOG, GL_UNSIGNED_IDENTITY_NV, GL_ALPHA};
  finalInput[1] = {GL_SPARE0_PLUS_SECONDARY_COLOR_NV, GL_UNSIGNED_IDENTITY_NV, GL_RGB};
  finalInput[2] = {GL_FOG, GL_UNSIGNED_IDENTITY_NV, GL_RGB};
  for (int v = 3; v < 6; ++v) finalInput[v] = {GL_ZERO, GL_UNSIGNED_IDENTITY_NV, GL_RGB};
  finalInput[6] = {GL_SPARE0_NV, GL_UNSIGNED_IDENTITY_NV, GL_ALPHA};
}

namespace {

RegisterCombiners& Combiners() { return State().combiners; }

// The general combiner of a COMBINERi_NV token, or null.
GeneralCombiner* Stage(GLenum stage) {
  const GLint i = static_cast<GLint>(stage) - GL_COMBINER0_NV;
  return i >= 0 && i < kGeneralCombiners ? &Combiners().stage[i] : nullptr;
}

CombinerPortion* Portion(GLenum stage, GLenum portion) {
  GeneralCombiner* s = Stage(stage);
  if (s == nullptr) return nullptr;
  return portion == GL_RGB ? &s->rgb : portion == GL_ALPHA ? &s->alpha : nullptr;
}

// VARIABLE_A_NV .. VARIABLE_D_NV (general) or .. VARIABLE_G_NV (final): 0 based, or -1.
int VariableIndex(GLenum variable, int count) {
  const int i = static_cast<int>(variable) - GL_VARIABLE_A_NV;
  return i >= 0 && i < count ? i : -1;
}

void SetColour(GLfloat (&colour)[4], const GLfloat* value) {
  for (int i = 0; i < 4; ++i) colour[i] = std::clamp(value[i], 0.0f, 1.0f);
  ++State().constantsVersion;
}

void SetParameter(GLenum pname, const GLfloat* value) {
  RegisterCombiners& rc = Combiners();
  switch (pname) {
    case GL_CONSTANT_COLOR0_NV: SetColour(rc.constant[0], value); break;
    case GL_CONSTANT_COLOR1_NV: SetColour(rc.constant[1], value); break;
    case GL_NUM_GENERAL_COMBINERS_NV: {
      const GLint n = static_cast<GLint>(value[0]);
      if (n >= 1 && n <= kGeneralCombiners) rc.generalCount = n;
      break;
    }
    case GL_COLOR_SUM_CLAMP_NV: rc.colorSumClamp = value[0] != 0; break;
    default: break;
  }
}

bool IsColour(GLenum pname) {
  return pname == GL_CONSTANT_COLOR0_NV || pname == GL_CONSTANT_COLOR1_NV;
}

void APIENTRY CombinerParameterfv(GLenum pname, const GLfloat* params) {
  SetParameter(pname, params);
}

void APIENTRY CombinerParameterf(GLenum pname, GLfloat param) {
  if (!IsColour(pname)) SetParameter(pname, &param);
}

void APIENTRY CombinerParameteriv(GLenum pname, const GLint* params) {
  GLfloat values[4] = {};
  if (IsColour(pname)) {
    // Signed integers map onto [-1, 1] (then clamped to [0, 1] like every colour).
    for (int i = 0; i < 4; ++i) values[i] = static_cast<GLfloat>(params[i] / 2147483647.0);
  } else {
    values[0] = static_cast<GLfloat>(params[0]);
  }
  SetParameter(pname, values);
}

void APIENTRY CombinerParameteri(GLenum pname, GLint param) {
  if (!IsColour(pname)) CombinerParameteriv(pname, &param);
}

void APIENTRY SetCombinerInput(GLenum stage, GLenum portion, GLenum variable, GLenum input,
                            GLenum mapping, GLenum usage) {
  CombinerPortion* p = Portion(stage, portion);
  const int v = VariableIndex(variable, 4);
  if (p == nullptr || v < 0) return;
  p->variable[v] = {input, mapping, usage};
}

void APIENTRY CombinerOutput(GLenum stage, GLenum portion, GLenum abOutput, GLenum cdOutput,
                             GLenum sumOutput, GLenum scale, GLenum bias, GLboolean abDotProduct,
                             GLboolean cdDotProduct, GLboolean muxSum) {
  CombinerPortion* p = Portion(stage, portion);
  if (p == nullptr) return;
  p->abOutput = abOutput;
  p->cdOutput = cdOutput;
  p->sumOutput = sumOutput;
  p->scale = scale;
  p->bias = bias;
  p->abDotProduct = abDotProduct != GL_FALSE && portion == GL_RGB;
  p->cdDotProduct = cdDotProduct != GL_FALSE && portion == GL_RGB;
  p->muxSum = muxSum != GL_FALSE;
}

void APIENTRY FinalCombinerInput(GLenum variable, GLenum input, GLenum mapping, GLenum usage) {
  const int v = VariableIndex(variable, 7);
  if (v >= 0) Combiners().finalInput[v] = {input, mapping, usage};
}

GLint InputParameter(const CombinerInput& in, GLenum pname) {
  switch (pname) {
    case GL_COMBINER_INPUT_NV: return static_cast<GLint>(in.input);
    case GL_COMBINER_MAPPING_NV: return static_cast<GLint>(in.mapping);
    case GL_COMBINER_COMPONENT_USAGE_NV: return static_cast<GLint>(in.usage);
    default: return 0;
  }
}

void APIENTRY GetCombinerInputParameteriv(GLenum stage, GLenum portion, GLenum variable,
                                          GLenum pname, GLint* params) {
  const CombinerPortion* p = Portion(stage, portion);
  const int v = VariableIndex(variable, 4);
  if (p != nullptr && v >= 0) *params = InputParameter(p->variable[v], pname);
}

void APIENTRY GetCombinerInputParameterfv(GLenum stage, GLenum portion, GLenum variable,
                                          GLenum pname, GLfloat* params) {
  GLint value = 0;
  GetCombinerInputParameteriv(stage, portion, variable, pname, &value);
  *params = static_cast<GLfloat>(value);
}

void APIENTRY GetCombinerOutputParameteriv(GLenum stage, GLenum portion, GLenum pname,
                                           GLint* params) {
  const CombinerPortion* p = Portion(stage, portion);
  if (p == nullptr) return;
  switch (pname) {
    case GL_COMBINER_AB_DOT_PRODUCT_NV: *params = p->abDotProduct; break;
    case GL_COMBINER_CD_DOT_PRODUCT_NV: *params = p->cdDotProduct; break;
    case GL_COMBINER_MUX_SUM_NV: *params = p->muxSum; break;
    case GL_COMBINER_SCALE_NV: *params = static_cast<GLint>(p->scale); break;
    case GL_COMBINER_BIAS_NV: *params = static_cast<GLint>(p->bias); break;
    case GL_COMBINER_AB_OUTPUT_NV: *params = static_cast<GLint>(p->abOutput); break;
    case GL_COMBINER_CD_OUTPUT_NV: *params = static_cast<GLint>(p->cdOutput); break;
    case GL_COMBINER_SUM_OUTPUT_NV: *params = static_cast<GLint>(p->sumOutput); break;
    default: break;
  }
}

void APIENTRY GetCombinerOutputParameterfv(GLenum stage, GLenum portion, GLenum pname,
                                           GLfloat* params) {
  GLint value = 0;
  GetCombinerOutputParameteriv(stage, portion, pname, &value);
  *params = static_cast<GLfloat>(value);
}

void APIENTRY GetFinalCombinerInputParameteriv(GLenum variable, GLenum pname, GLint* params) {
  const int v = VariableIndex(variable, 7);
  if (v >= 0) *params = InputParameter(Combiners().finalInput[v], pname);
}

void APIENTRY GetFinalCombinerInputParameterfv(GLenum variable, GLenum pname,
                                               GLfloat* params) {
  GLint value = 0;
  GetFinalCombinerInputParameteriv(variable, pname, &value);
  *params = static_cast<GLfloat>(value);
}

void APIENTRY CombinerStageParameterfv(GLenum stage, GLenum pname, const GLfloat* params) {
  GeneralCombiner* s = Stage(stage);
  if (s != nullptr && IsColour(pname))
    SetColour(s->constant[pname - GL_CONSTANT_COLOR0_NV], params);
}

void APIENTRY GetCombinerStageParameterfv(GLenum stage, GLenum pname, GLfloat* params) {
  const GeneralCombiner* s = Stage(stage);
  if (s != nullptr && IsColour(pname))
    std::memcpy(params, s->constant[pname - GL_CONSTANT_COLOR0_NV], 4 * sizeof(GLfloat));
}

struct NamedProc {
  const char* name;
  GlProc proc;
};

template <typename F>
GlProc Proc(F* f) {
  return reinterpret_cast<GlProc>(f);
}

}  // namespace

GlProc CombinerProc(const char* name) {
  static const NamedProc procs[] = {
      {"glCombinerParameterfvNV", Proc(&CombinerParameterfv)},
      {"glCombinerParameterfNV", Proc(&CombinerParameterf)},
      {"glCombinerParameterivNV", Proc(&CombinerParameteriv)},
      {"glCombinerParameteriNV", Proc(&CombinerParameteri)},
      {"glCombinerInputNV", Proc(&SetCombinerInput)},
      {"glCombinerOutputNV", Proc(&CombinerOutput)},
      {"glFinalCombinerInputNV", Proc(&FinalCombinerInput)},
      {"glGetCombinerInputParameterfvNV", Proc(&GetCombinerInputParameterfv)},
      {"glGetCombinerInputParameterivNV", Proc(&GetCombinerInputParameteriv)},
      {"glGetCombinerOutputParameterfvNV", Proc(&GetCombinerOutputParameterfv)},
      {"glGetCombinerOutputParameterivNV", Proc(&GetCombinerOutputParameteriv)},
      {"glGetFinalCombinerInputParameterfvNV", Proc(&GetFinalCombinerInputParameterfv)},
      {"glGetFinalCombinerInputParameterivNV", Proc(&GetFinalCombinerInputParameteriv)},
      {"glCombinerStageParameterfvNV", Proc(&CombinerStageParameterfv)},
      {"glGetCombinerStageParameterfvNV", Proc(&GetCombinerStageParameterfv)},
  };
  for (const NamedProc& p : procs)
    if (std::strcmp(p.name, name) == 0) return p.proc;
  return nullptr;
}

bool CombinerInteger(GLenum pname, GLint* result) {
  if (!ServesShading()) return false;
  const ContextState& state = State();
  switch (pname) {
    case GL_MAX_GENERAL_COMBINERS_NV: *result = kGeneralCombiners; return true;
    case GL_NUM_GENERAL_COMBINERS_NV: *result = state.combiners.generalCount; return true;
    case GL_COLOR_SUM_CLAMP_NV: *result = state.combiners.colorSumClamp; return true;
    case GL_REGISTER_COMBINERS_NV: *result = state.combiners.enabled; return true;
    case GL_PER_STAGE_CONSTANTS_NV: *result = state.combiners.perStageConstants; return true;
    case GL_TEXTURE_SHADER_NV: *result = state.shaders.enabled; return true;
    default: return false;
  }
}

}  // namespace veskor::gl_compat
