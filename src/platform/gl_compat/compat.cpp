// The layer's switch, its extension names and entry points, its per-context state, and the
// wrappers of platform/gl.h.
#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/gl_compat/compat_state.h"
#include "platform/gl_context.h"

namespace veskor {

namespace gl_compat {
namespace {

int gEnabled = -1;  // -1: not yet read from the environment

struct ContextEntry {
  ContextState state;
  int servesShading = -1;  // the driver's answers, asked once per context
  int servesObjectBuffers = -1;
};

std::unordered_map<const GlContext*, ContextEntry>& Contexts() {
  static auto* contexts = new std::unordered_map<const GlContext*, ContextEntry>;
  return *contexts;
}

// The entry of the current context; a null key holds the state of "no context". Entries stay
// where they are while others are added, so the last one found is kept at hand.
const GlContext* gLastContext = nullptr;
ContextEntry* gLastEntry = nullptr;

ContextEntry& CurrentEntry() {
  const GlContext* context = GlCurrentContext();
  if (gLastEntry == nullptr || context != gLastContext) {
    gLastEntry = &Contexts()[context];
    gLastContext = context;
  }
  return *gLastEntry;
}

bool DriverLists(const char* name) {
  const GLubyte* list = ::glGetString(GL_EXTENSIONS);
  return list != nullptr && GlExtensionInList(reinterpret_cast<const char*>(list), name);
}

bool Serves(int& answer, const char* driverExtension) {
  if (!GlCompatEnabled()) return false;
  if (answer < 0) {
    if (::glGetString(GL_EXTENSIONS) == nullptr) return false;  // no context yet
    answer = DriverLists(driverExtension) ? 1 : 0;
  }
  return answer == 1;
}

template <typename T>
T Load(const char* name) {
  return reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
}

void APIENTRY SetFragmentShaderConstantFixed(GLuint dst, const GLfloat* value) {
  // Mesa 22 keeps the first value of these constants after the first draw unless the
  // fragment program parameters are touched after each update.
  Driver().setFragmentShaderConstantATI(dst, value);
  Driver().programEnvParameter4f(GL_FRAGMENT_PROGRAM_ARB, 0, 0, 0, 0, 0);
}

// How many values the vector forms of TexEnv carry for a texture-shader parameter.
int ShaderEnvCount(GLenum pname) {
  switch (pname) {
    case GL_CULL_MODES_NV:
    case GL_OFFSET_TEXTURE_MATRIX_NV: return 4;
    case GL_CONST_EYE_NV: return 3;
    default: return 1;
  }
}

int ActiveUnit() {
  GLint unit = GL_TEXTURE0;
  ::glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
  return unit - GL_TEXTURE0;
}

// TexEnv with the TEXTURE_SHADER_NV target; values as floats, `count` of them given.
void ShaderEnv(GLenum pname, const GLfloat* v, int count) {
  const int unit = ActiveUnit();
  if (unit < 0 || unit >= kUnits) return;
  ContextState& state = State();
  ShaderStage& stage = state.shaders.stage[unit];
  const auto asEnum = [](GLfloat f) { return static_cast<GLenum>(f); };
  switch (pname) {
    case GL_SHADER_OPERATION_NV: stage.operation = asEnum(v[0]); break;
    case GL_PREVIOUS_TEXTURE_INPUT_NV: stage.previousInput = asEnum(v[0]); break;
    case GL_RGBA_UNSIGNED_DOT_PRODUCT_MAPPING_NV: stage.dotMapping = asEnum(v[0]); break;
    case GL_CULL_MODES_NV:
      if (count >= 4)
        for (int i = 0; i < 4; ++i) stage.cullMode[i] = asEnum(v[i]);
      break;
    case GL_OFFSET_TEXTURE_MATRIX_NV:
      if (count >= 4) std::memcpy(stage.offsetMatrix, v, sizeof stage.offsetMatrix);
      ++state.constantsVersion;
      break;
    case GL_OFFSET_TEXTURE_SCALE_NV:
      stage.offsetScale = v[0];
      ++state.constantsVersion;
      break;
    case GL_OFFSET_TEXTURE_BIAS_NV:
      stage.offsetBias = v[0];
      ++state.constantsVersion;
      break;
    default: break;
  }
}

// TEXTURE_ENV_MODE: NONE is kept by the layer (the driver does not know it); true when taken.
bool EnvMode(GLenum target, GLenum pname, GLenum mode) {
  if (target != GL_TEXTURE_ENV || pname != GL_TEXTURE_ENV_MODE || !ServesShading()) return false;
  const int unit = ActiveUnit();
  if (unit < 0 || unit >= kUnits) return false;
  ContextState& state = State();
  state.envNone[unit] = mode == GL_NONE;
  if (mode != GL_NONE) {
    ReleaseProgramIfIdle();
    return false;
  }
  return true;
}

// The formats Mesa has for the texture-shader formats; 0 for other formats.
GLint MesaInternalFormat(GLint format) {
  switch (format) {
    case GL_HILO_NV:
    case GL_HILO16_NV: return GL_RG16;
    case GL_SIGNED_HILO_NV:
    case GL_SIGNED_HILO16_NV: return GL_RG16_SNORM;
    case GL_DSDT_NV:
    case GL_DSDT8_NV: return GL_RG8_SNORM;
    // The magnitude is unsigned; kept in a signed channel it loses one bit.
    case GL_DSDT_MAG_NV:
    case GL_DSDT8_MAG8_NV: return GL_RGB16_SNORM;
    case GL_DSDT_MAG_INTENSITY_NV:
    case GL_DSDT8_MAG8_INTENSITY8_NV: return GL_RGBA16_SNORM;
    case GL_SIGNED_RGBA_NV:
    case GL_SIGNED_RGBA8_NV:
    case GL_SIGNED_RGB_UNSIGNED_ALPHA_NV:
    case GL_SIGNED_RGB8_UNSIGNED_ALPHA8_NV: return GL_RGBA8_SNORM;
    case GL_SIGNED_RGB_NV:
    case GL_SIGNED_RGB8_NV: return GL_RGB8_SNORM;
    case GL_SIGNED_LUMINANCE_NV:
    case GL_SIGNED_LUMINANCE8_NV: return GL_LUMINANCE8_SNORM;
    case GL_SIGNED_LUMINANCE_ALPHA_NV:
    case GL_SIGNED_LUMINANCE8_ALPHA8_NV: return GL_LUMINANCE8_ALPHA8_SNORM;
    case GL_SIGNED_ALPHA_NV:
    case GL_SIGNED_ALPHA8_NV: return GL_ALPHA8_SNORM;
    case GL_SIGNED_INTENSITY_NV:
    case GL_SIGNED_INTENSITY8_NV: return GL_INTENSITY8_SNORM;
    default: return 0;
  }
}

GLenum MesaExternalFormat(GLenum format) {
  switch (format) {
    case GL_HILO_NV:
    case GL_DSDT_NV: return GL_RG;
    case GL_DSDT_MAG_NV: return GL_RGB;
    case GL_DSDT_MAG_VIB_NV: return GL_RGBA;
    default: return format;
  }
}

}  // namespace

ContextState& State() { return CurrentEntry().state; }

bool ServesShading() { return Serves(CurrentEntry().servesShading, "GL_ARB_fragment_program"); }

bool ServesObjectBuffers() {
  return Serves(CurrentEntry().servesObjectBuffers, "GL_ARB_vertex_buffer_object");
}

const DriverProcs& Driver() {
  static const DriverProcs procs{
      Load<PFNGLGENPROGRAMSARBPROC>("glGenProgramsARB"),
      Load<PFNGLDELETEPROGRAMSARBPROC>("glDeleteProgramsARB"),
      Load<PFNGLBINDPROGRAMARBPROC>("glBindProgramARB"),
      Load<PFNGLPROGRAMSTRINGARBPROC>("glProgramStringARB"),
      Load<PFNGLPROGRAMLOCALPARAMETER4FVARBPROC>("glProgramLocalParameter4fvARB"),
      Load<PFNGLPROGRAMENVPARAMETER4FARBPROC>("glProgramEnvParameter4fARB"),
      Load<PFNGLGENBUFFERSPROC>("glGenBuffers"),
      Load<PFNGLDELETEBUFFERSPROC>("glDeleteBuffers"),
      Load<PFNGLBINDBUFFERPROC>("glBindBuffer"),
      Load<PFNGLBUFFERDATAPROC>("glBufferData"),
      Load<PFNGLBUFFERSUBDATAPROC>("glBufferSubData"),
      Load<PFNGLISBUFFERPROC>("glIsBuffer"),
      Load<PFNGLGETBUFFERPARAMETERIVPROC>("glGetBufferParameteriv"),
      Load<PFNGLSECONDARYCOLORPOINTERPROC>("glSecondaryColorPointer"),
      Load<PFNGLFOGCOORDPOINTERPROC>("glFogCoordPointer"),
      Load<PFNGLSETFRAGMENTSHADERCONSTANTATIPROC>("glSetFragmentShaderConstantATI"),
  };
  return procs;
}

}  // namespace gl_compat

using namespace gl_compat;

bool GlCompatEnabled() {
  if (gEnabled < 0) {
    const char* value = std::getenv("VESKOR_GL_COMPAT");
    gEnabled = value != nullptr && std::strcmp(value, "0") == 0 ? 0 : 1;
  }
  return gEnabled == 1;
}

void GlCompatSetEnabled(bool on) {
  if (!on && GlCurrentContext() != nullptr && State().programOn) {
    ::glDisable(GL_FRAGMENT_PROGRAM_ARB);
    State().programOn = false;
  }
  gEnabled = on ? 1 : 0;
}

std::string GlCompatExtraExtensions(const char* driverExtensions) {
  std::string extra;
  if (!GlCompatEnabled()) return extra;
  const auto lists = [driverExtensions](const char* name) {
    return GlExtensionInList(driverExtensions, name);
  };
  const auto add = [&](const char* name, bool served) {
    if (served && !lists(name)) extra.append(" ").append(name);
  };
  const bool programs = lists("GL_ARB_fragment_program");
  const bool buffers = lists("GL_ARB_vertex_buffer_object");
  add("GL_NV_register_combiners", programs);
  add("GL_NV_register_combiners2", programs);
  add("GL_NV_texture_shader", programs);
  add("GL_NV_vertex_array_range", true);
  add("GL_ATI_vertex_array_object", buffers);
  add("GL_ATI_element_array", buffers);
  add("GL_ATIX_texture_env_combine3", lists("GL_ATI_texture_env_combine3"));
  return extra;
}

GlProc GlCompatProcAddress(const char* name) {
  if (std::strcmp(name, "glSetFragmentShaderConstantATI") == 0)
    return reinterpret_cast<GlProc>(&SetFragmentShaderConstantFixed);
  if (!GlCompatEnabled()) return nullptr;
  if (GlProc proc = CombinerProc(name)) return proc;
  return VertexArrayProc(name);
}

void GlCompatForgetContext(const GlContext* context) {
  Contexts().erase(context);
  gLastEntry = nullptr;
}

int GlCompatProgramCount() { return static_cast<int>(State().programs.size()); }

// The wrappers of gl.h.

void glEnable(GLenum cap) {
  if (GlCompatEnabled() && ServesShading()) {
    ContextState& state = State();
    switch (cap) {
      case GL_REGISTER_COMBINERS_NV: state.combiners.enabled = true; return;
      case GL_PER_STAGE_CONSTANTS_NV: state.combiners.perStageConstants = true; return;
      case GL_TEXTURE_SHADER_NV: state.shaders.enabled = true; return;
      default: break;
    }
  }
  ::glEnable(cap);
}

void glDisable(GLenum cap) {
  if (GlCompatEnabled() && ServesShading()) {
    ContextState& state = State();
    bool* flag = cap == GL_REGISTER_COMBINERS_NV    ? &state.combiners.enabled
                 : cap == GL_PER_STAGE_CONSTANTS_NV ? &state.combiners.perStageConstants
                 : cap == GL_TEXTURE_SHADER_NV      ? &state.shaders.enabled
                                                    : nullptr;
    if (flag != nullptr) {
      *flag = false;
      ReleaseProgramIfIdle();
      return;
    }
  }
  ::glDisable(cap);
}

GLboolean glIsEnabled(GLenum cap) {
  if (GlCompatEnabled()) {
    GLboolean result = GL_FALSE;
    if (VertexArrayIsEnabled(cap, &result)) return result;
    if (ServesShading()) {
      const ContextState& state = State();
      switch (cap) {
        case GL_REGISTER_COMBINERS_NV: return state.combiners.enabled;
        case GL_PER_STAGE_CONSTANTS_NV: return state.combiners.perStageConstants;
        case GL_TEXTURE_SHADER_NV: return state.shaders.enabled;
        default: break;
      }
    }
  }
  return ::glIsEnabled(cap);
}

void glEnableClientState(GLenum array) {
  if (!GlCompatEnabled() || !VertexArrayEnable(array, true)) ::glEnableClientState(array);
}

void glDisableClientState(GLenum array) {
  if (!GlCompatEnabled() || !VertexArrayEnable(array, false)) ::glDisableClientState(array);
}

void glGetIntegerv(GLenum pname, GLint* params) {
  if (GlCompatEnabled()) {
    if (pname == GL_MAX_TEXTURE_UNITS) {
      ::glGetIntegerv(pname, params);
      if (*params > kUnits) *params = kUnits;
      return;
    }
    if (VertexArrayInteger(pname, params) || CombinerInteger(pname, params)) return;
  }
  ::glGetIntegerv(pname, params);
}

void glTexEnvi(GLenum target, GLenum pname, GLint param) {
  if (GlCompatEnabled()) {
    if (target == GL_TEXTURE_SHADER_NV && ServesShading()) {
      const GLfloat value = static_cast<GLfloat>(param);
      ShaderEnv(pname, &value, 1);
      return;
    }
    if (EnvMode(target, pname, static_cast<GLenum>(param))) return;
  }
  ::glTexEnvi(target, pname, param);
}

void glTexEnvf(GLenum target, GLenum pname, GLfloat param) {
  if (GlCompatEnabled()) {
    if (target == GL_TEXTURE_SHADER_NV && ServesShading()) {
      ShaderEnv(pname, &param, 1);
      return;
    }
    if (EnvMode(target, pname, static_cast<GLenum>(param))) return;
  }
  ::glTexEnvf(target, pname, param);
}

void glTexEnviv(GLenum target, GLenum pname, const GLint* params) {
  if (GlCompatEnabled()) {
    if (target == GL_TEXTURE_SHADER_NV && ServesShading()) {
      const int count = ShaderEnvCount(pname);
      GLfloat values[4];
      for (int i = 0; i < count; ++i) values[i] = static_cast<GLfloat>(params[i]);
      ShaderEnv(pname, values, count);
      return;
    }
    if (EnvMode(target, pname, static_cast<GLenum>(params[0]))) return;
  }
  ::glTexEnviv(target, pname, params);
}

void glTexEnvfv(GLenum target, GLenum pname, const GLfloat* params) {
  if (GlCompatEnabled()) {
    if (target == GL_TEXTURE_SHADER_NV && ServesShading()) {
      ShaderEnv(pname, params, ShaderEnvCount(pname));
      return;
    }
    if (EnvMode(target, pname, static_cast<GLenum>(params[0]))) return;
  }
  ::glTexEnvfv(target, pname, params);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type,
                  const void* pixels) {
  if (GlCompatEnabled() && ServesShading()) {
    if (const GLint mesa = MesaInternalFormat(internalFormat)) internalFormat = mesa;
    format = MesaExternalFormat(format);
  }
  ::glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

void glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width,
                     GLsizei height, GLenum format, GLenum type, const void* pixels) {
  if (GlCompatEnabled() && ServesShading()) format = MesaExternalFormat(format);
  ::glTexSubImage2D(target, level, x, y, width, height, format, type, pixels);
}

void glBegin(GLenum mode) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glBegin(mode);
}

void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glDrawArrays(mode, first, count);
}

void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glDrawElements(mode, count, type, indices);
}

void glDrawRangeElements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type,
                         const void* indices) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glDrawRangeElements(mode, start, end, count, type, indices);
}

}  // namespace veskor
