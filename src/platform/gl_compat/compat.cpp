// The layer's switch, its extension names and entry points, its per-context state, and the
// wrappers of platform/gl.h.
#include <SDL.h>

#include <algorithm>
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
  std::shared_ptr<SharedObjects> shared = std::make_shared<SharedObjects>();
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

void APIENTRY ActiveTextureEntry(GLenum unit) { veskor::glActiveTexture(unit); }

// How many values the vector forms of TexEnv carry for a texture-shader parameter.
int ShaderEnvCount(GLenum pname) {
  switch (pname) {
    case GL_CULL_MODES_NV:
    case GL_OFFSET_TEXTURE_MATRIX_NV: return 4;
    case GL_CONST_EYE_NV: return 3;
    default: return 1;
  }
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
  State().envNone[unit] = mode == GL_NONE;
  return mode == GL_NONE;
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

GLenum BindingQuery(int t) {
  static const GLenum queries[kTextureTargets] = {
      GL_TEXTURE_BINDING_1D, GL_TEXTURE_BINDING_2D, GL_TEXTURE_BINDING_3D,
      GL_TEXTURE_BINDING_CUBE_MAP, GL_TEXTURE_BINDING_RECTANGLE};
  return queries[t];
}

// The layer's record of the name bound to target `t` on the active unit, or null when the
// unit is past the ones it follows.
std::int64_t* BindingSlot(int t) {
  const int unit = ActiveUnit();
  return unit >= 0 && unit < kTrackedUnits ? &State().bound[unit][t] : nullptr;
}

// The image of the texture bound to `target` on the active unit is given anew: what the
// layer kept of it goes.
void ImageRespecified(GLenum target) {
  const bool face =
      target >= GL_TEXTURE_CUBE_MAP_POSITIVE_X && target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z;
  const int t = TextureTargetIndex(face ? GL_TEXTURE_CUBE_MAP : target);
  if (t >= 0) Shared().textures.erase(BoundTexture(t));
}

// The names are deleted (`deleted`) or newly made: their images go, and so do the bindings
// of deleted names (to 0 in this context, as GL does; unknown in the contexts sharing them).
void NamesRenewed(GLsizei n, const GLuint* names, bool deleted) {
  if (n <= 0 || names == nullptr) return;
  SharedObjects& shared = Shared();
  for (GLsizei i = 0; i < n; ++i) shared.textures.erase(names[i]);
  if (!deleted) return;
  const ContextEntry& current = CurrentEntry();
  for (auto& [context, entry] : Contexts()) {
    if (entry.shared.get() != &shared) continue;
    const std::int64_t replacement = &entry == &current ? 0 : -1;
    for (auto& unit : entry.state.bound)
      for (std::int64_t& name : unit)
        if (name > 0 && std::find(names, names + n, static_cast<GLuint>(name)) != names + n)
          name = replacement;
  }
}

}  // namespace

ContextState& State() { return CurrentEntry().state; }

SharedObjects& Shared() { return *CurrentEntry().shared; }

int TextureTargetIndex(GLenum target) {
  switch (target) {
    case GL_TEXTURE_1D: return 0;
    case GL_TEXTURE_2D: return 1;
    case GL_TEXTURE_3D: return 2;
    case GL_TEXTURE_CUBE_MAP: return 3;
    case GL_TEXTURE_RECTANGLE: return 4;
    default: return -1;
  }
}

int ActiveUnit() {
  ContextState& state = State();
  if (state.activeUnit < 0) {
    GLint unit = GL_TEXTURE0;
    ::glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    state.activeUnit = unit - GL_TEXTURE0;
  }
  return state.activeUnit;
}

GLuint BoundTexture(int t) {
  std::int64_t* slot = BindingSlot(t);
  if (slot != nullptr && *slot >= 0) return static_cast<GLuint>(*slot);
  GLint name = 0;
  ::glGetIntegerv(BindingQuery(t), &name);
  if (slot != nullptr) *slot = name;
  return static_cast<GLuint>(name);
}

const TextureLevel& BoundTextureLevel(int t) {
  const GLuint name = BoundTexture(t);
  TextureImages& images = Shared().textures[name];
  TextureLevel& level = images.level[t];
  const auto bit = static_cast<std::uint8_t>(1u << t);
  if ((images.known & bit) == 0) {
    static const GLenum targets[kTextureTargets] = {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D,
                                                    GL_TEXTURE_CUBE_MAP_POSITIVE_X,
                                                    GL_TEXTURE_RECTANGLE};
    const auto ask = [&](GLenum pname, GLint& value) {
      value = 0;
      ::glGetTexLevelParameteriv(targets[t], 0, pname, &value);
    };
    ask(GL_TEXTURE_WIDTH, level.width);
    ask(GL_TEXTURE_INTERNAL_FORMAT, level.internalFormat);
    ask(GL_TEXTURE_ALPHA_SIZE, level.alphaSize);
    ask(GL_TEXTURE_INTENSITY_SIZE, level.intensitySize);
    ask(GL_TEXTURE_LUMINANCE_SIZE, level.luminanceSize);
    ask(GL_TEXTURE_RED_SIZE, level.redSize);
    images.known |= bit;
  }
  return level;
}

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
  // Off, the layer sees no binds and no images: on again, it asks the driver anew.
  if (on && gEnabled == 0) {
    for (auto& [context, entry] : Contexts()) {
      entry.state.ForgetBindings();
      entry.shared->textures.clear();
    }
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
  // The layer follows the active unit whichever way the program sets it (and passes the
  // call on while it is off).
  if (std::strcmp(name, "glActiveTextureARB") == 0 || std::strcmp(name, "glActiveTexture") == 0)
    return reinterpret_cast<GlProc>(&ActiveTextureEntry);
  if (!GlCompatEnabled()) return nullptr;
  if (GlProc proc = CombinerProc(name)) return proc;
  return VertexArrayProc(name);
}

void GlCompatShareObjects(const GlContext* context, const GlContext* with) {
  std::shared_ptr<SharedObjects> shared = Contexts()[with].shared;
  Contexts()[context].shared = std::move(shared);
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
        // The layer's program counts as on while the state needs it.
        case GL_FRAGMENT_PROGRAM_ARB:
          if (state.programOn) return NeedsProgram(state);
          break;
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

void glActiveTexture(GLenum unit) {
  if (GlCompatEnabled()) {
    const int u = static_cast<int>(unit) - GL_TEXTURE0;
    State().activeUnit = u >= 0 && u < kTrackedUnits ? u : -1;
  }
  ::glActiveTexture(unit);
}

void glBindTexture(GLenum target, GLuint texture) {
  if (GlCompatEnabled()) {
    const int t = TextureTargetIndex(target);
    std::int64_t* slot = t >= 0 ? BindingSlot(t) : nullptr;
    if (slot != nullptr) {
      if (*slot == texture) return;
      *slot = texture;
    }
  }
  ::glBindTexture(target, texture);
}

void glGenTextures(GLsizei n, GLuint* textures) {
  ::glGenTextures(n, textures);
  if (GlCompatEnabled()) NamesRenewed(n, textures, false);
}

void glDeleteTextures(GLsizei n, const GLuint* textures) {
  if (GlCompatEnabled()) NamesRenewed(n, textures, true);
  ::glDeleteTextures(n, textures);
}

void glPopAttrib() {
  ::glPopAttrib();
  // The texture bit brings back bindings and the active unit, the enable bit the program's
  // switch: the layer asks the driver again.
  if (GlCompatEnabled() && GlCurrentContext() != nullptr) {
    ContextState& state = State();
    state.ForgetBindings();
    state.programOn = ::glIsEnabled(GL_FRAGMENT_PROGRAM_ARB) != GL_FALSE;
  }
}

void glTexImage1D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLint border,
                  GLenum format, GLenum type, const void* pixels) {
  if (GlCompatEnabled()) ImageRespecified(target);
  ::glTexImage1D(target, level, internalFormat, width, border, format, type, pixels);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type,
                  const void* pixels) {
  if (GlCompatEnabled()) {
    ImageRespecified(target);
    if (ServesShading()) {
      if (const GLint mesa = MesaInternalFormat(internalFormat)) internalFormat = mesa;
      format = MesaExternalFormat(format);
    }
  }
  ::glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

void glTexImage3D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                  GLsizei height, GLsizei depth, GLint border, GLenum format, GLenum type,
                  const void* pixels) {
  if (GlCompatEnabled()) ImageRespecified(target);
  ::glTexImage3D(target, level, internalFormat, width, height, depth, border, format, type,
                 pixels);
}

void glCopyTexImage1D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y,
                      GLsizei width, GLint border) {
  if (GlCompatEnabled()) ImageRespecified(target);
  ::glCopyTexImage1D(target, level, internalFormat, x, y, width, border);
}

void glCopyTexImage2D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y,
                      GLsizei width, GLsizei height, GLint border) {
  if (GlCompatEnabled()) ImageRespecified(target);
  ::glCopyTexImage2D(target, level, internalFormat, x, y, width, height, border);
}

void glCompressedTexImage1D(GLenum target, GLint level, GLenum internalFormat, GLsizei width,
                            GLint border, GLsizei size, const void* data) {
  if (GlCompatEnabled()) ImageRespecified(target);
  ::glCompressedTexImage1D(target, level, internalFormat, width, border, size, data);
}

void glCompressedTexImage2D(GLenum target, GLint level, GLenum internalFormat, GLsizei width,
                            GLsizei height, GLint border, GLsizei size, const void* data) {
  if (GlCompatEnabled()) ImageRespecified(target);
  ::glCompressedTexImage2D(target, level, internalFormat, width, height, border, size, data);
}

void glCompressedTexImage3D(GLenum target, GLint level, GLenum internalFormat, GLsizei width,
                            GLsizei height, GLsizei depth, GLint border, GLsizei size,
                            const void* data) {
  if (GlCompatEnabled()) ImageRespecified(target);
  ::glCompressedTexImage3D(target, level, internalFormat, width, height, depth, border, size,
                           data);
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

// Rectangles and pixel rectangles are drawn with the fragment state too.
void glRectd(GLdouble x1, GLdouble y1, GLdouble x2, GLdouble y2) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glRectd(x1, y1, x2, y2);
}

void glRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glRectf(x1, y1, x2, y2);
}

void glRecti(GLint x1, GLint y1, GLint x2, GLint y2) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glRecti(x1, y1, x2, y2);
}

void glRects(GLshort x1, GLshort y1, GLshort x2, GLshort y2) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glRects(x1, y1, x2, y2);
}

void glRectdv(const GLdouble* v1, const GLdouble* v2) { glRectd(v1[0], v1[1], v2[0], v2[1]); }
void glRectfv(const GLfloat* v1, const GLfloat* v2) { glRectf(v1[0], v1[1], v2[0], v2[1]); }
void glRectiv(const GLint* v1, const GLint* v2) { glRecti(v1[0], v1[1], v2[0], v2[1]); }
void glRectsv(const GLshort* v1, const GLshort* v2) { glRects(v1[0], v1[1], v2[0], v2[1]); }

void glDrawPixels(GLsizei width, GLsizei height, GLenum format, GLenum type,
                  const void* pixels) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glDrawPixels(width, height, format, type, pixels);
}

void glCopyPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum type) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glCopyPixels(x, y, width, height, type);
}

void glBitmap(GLsizei width, GLsizei height, GLfloat xOrigin, GLfloat yOrigin, GLfloat xMove,
              GLfloat yMove, const GLubyte* bitmap) {
  if (GlCompatEnabled()) PrepareDraw();
  ::glBitmap(width, height, xOrigin, yOrigin, xMove, yMove, bitmap);
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
