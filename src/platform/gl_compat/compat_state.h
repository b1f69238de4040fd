// What the compatibility layer keeps per rendering context for the extensions it provides,
// and the driver entry points it calls itself. Internal to platform/gl_compat.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/gl.h"
#include "platform/gl_compat/gl_compat.h"

namespace veskor::gl_compat {

inline constexpr int kUnits = kGlCompatTextureUnits;
inline constexpr int kGeneralCombiners = 8;  // MAX_GENERAL_COMBINERS_NV

// Program local parameters of the generated fragment programs.
inline constexpr int kLocalGlobalConstants = 0;  // 0, 1: CONSTANT_COLOR0/1_NV
inline constexpr int kLocalStageConstants = 2;   // 2 + 2 s, 3 + 2 s: per-stage constants
inline constexpr int kLocalOffsetMatrix = 18;    // 18 + unit: offset texture matrix
inline constexpr int kLocalOffsetScale = 22;     // 22 + unit: (scale, bias) of the offset
inline constexpr int kLocalCount = 26;

struct CombinerInput {
  GLenum input;
  GLenum mapping;
  GLenum usage;
};

struct CombinerPortion {
  CombinerInput variable[4];  // A, B, C, D
  GLenum abOutput = GL_DISCARD_NV;
  GLenum cdOutput = GL_DISCARD_NV;
  GLenum sumOutput = GL_SPARE0_NV;
  GLenum scale = GL_NONE;
  GLenum bias = GL_NONE;
  bool abDotProduct = false;
  bool cdDotProduct = false;
  bool muxSum = false;
};

struct GeneralCombiner {
  CombinerPortion rgb;
  CombinerPortion alpha;
  GLfloat constant[2][4] = {};  // per-stage constants (register combiners 2)
};

struct RegisterCombiners {
  RegisterCombiners();
  bool enabled = false;
  bool perStageConstants = false;
  GLint generalCount = 1;
  bool colorSumClamp = true;
  GLfloat constant[2][4] = {};
  GeneralCombiner stage[kGeneralCombiners];
  CombinerInput finalInput[7];  // A to G
};

struct ShaderStage {
  GLenum operation = GL_NONE;
  GLenum cullMode[4] = {GL_GEQUAL, GL_GEQUAL, GL_GEQUAL, GL_GEQUAL};
  GLenum previousInput = GL_TEXTURE0;
  GLenum dotMapping = GL_UNSIGNED_IDENTITY_NV;
  GLfloat offsetMatrix[4] = {1, 0, 0, 1};
  GLfloat offsetScale = 1;
  GLfloat offsetBias = 0;
};

struct TextureShaders {
  bool enabled = false;
  ShaderStage stage[kUnits];
};

// An ATI element array: client memory or a range of an object buffer.
struct ElementArray {
  bool enabled = false;
  GLenum type = GL_UNSIGNED_INT;
  const void* pointer = nullptr;
  GLuint buffer = 0;
  GLuint offset = 0;
};

// The texture targets whose bindings and images the layer follows, by index: 1D, 2D, 3D,
// cube map, rectangle.
inline constexpr int kTextureTargets = 5;
// The texture units whose bindings the layer follows; binds on units past them go to the
// driver every time.
inline constexpr int kTrackedUnits = 16;

// The index of a texture binding target; -1 for the others (cube map faces and proxies
// among them).
int TextureTargetIndex(GLenum target);

// What the driver answered about level 0 of a texture image: the questions a draw asks to
// sort the texture. Kept by texture name until the name is given a new image or deleted.
struct TextureLevel {
  GLint width = 0;
  GLint internalFormat = 0;
  GLint alphaSize = 0;
  GLint intensitySize = 0;
  GLint luminanceSize = 0;
  GLint redSize = 0;
};

struct TextureImages {
  std::uint8_t known = 0;  // bit t: level[t] holds the driver's answers for target t
  TextureLevel level[kTextureTargets];
};

// What contexts sharing their objects share: the images of the texture names.
struct SharedObjects {
  std::unordered_map<GLuint, TextureImages> textures;
};

struct ContextState {
  RegisterCombiners combiners;
  TextureShaders shaders;
  bool envNone[kUnits] = {};  // TEXTURE_ENV_MODE NONE, which the driver does not take
  bool vertexArrayRange = false;
  GLsizei rangeLength = 0;
  const void* rangePointer = nullptr;
  ElementArray elements;
  std::uint32_t constantsVersion = 1;  // raised whenever a program constant changes
  // The fragment programs made so far, by key: the constants version they last got, the
  // local parameters they read (bit i: L[i]) and the values those were last given (the
  // parameters of a new program are zero).
  struct Program {
    GLuint name = 0;
    std::uint32_t constantsVersion = 0;
    std::uint32_t localsRead = 0;
    GLfloat local[kLocalCount][4] = {};
  };
  std::unordered_map<std::string, Program> programs;
  GLuint boundProgram = 0;
  // GL_FRAGMENT_PROGRAM_ARB enabled by the layer. It stays on after the state stops needing
  // it until the next draw that needs none, so that draws with and without the emulated
  // extensions in turn do not switch it each time.
  bool programOn = false;
  // The active texture unit (0 based) and the names bound per unit and target, as the layer
  // last set or saw them; -1 where it does not know (it asks the driver then).
  int activeUnit = -1;
  std::int64_t bound[kTrackedUnits][kTextureTargets];
  ContextState() { ForgetBindings(); }
  void ForgetBindings() {
    activeUnit = -1;
    for (auto& unit : bound)
      for (std::int64_t& name : unit) name = -1;
  }
};

// The state of the current context (a default one when no context is current).
ContextState& State();
// The objects the current context shares with others.
SharedObjects& Shared();

// The active texture unit, 0 based (from the driver when the layer does not know it).
int ActiveUnit();
// The name bound to target `t` (an index) on the active unit.
GLuint BoundTexture(int t);
// The driver's answers about level 0 of the texture bound to target `t` on the active unit,
// from the shared objects when they have them.
const TextureLevel& BoundTextureLevel(int t);

// True when the layer is on and the driver has what it is built on.
bool ServesShading();  // register combiners and texture shaders: ARB fragment programs
bool ServesObjectBuffers();

// Whether any emulated state asks for a generated fragment program at the next draw.
bool NeedsProgram(const ContextState& state);
// Binds the fragment program of the current state before a draw, or takes it away.
void PrepareDraw();

// Driver entry points the layer calls that gl.h does not declare.
struct DriverProcs {
  PFNGLGENPROGRAMSARBPROC genPrograms;
  PFNGLDELETEPROGRAMSARBPROC deletePrograms;
  PFNGLBINDPROGRAMARBPROC bindProgram;
  PFNGLPROGRAMSTRINGARBPROC programString;
  PFNGLPROGRAMLOCALPARAMETER4FVARBPROC programLocalParameter4fv;
  PFNGLPROGRAMENVPARAMETER4FARBPROC programEnvParameter4f;
  PFNGLGENBUFFERSPROC genBuffers;
  PFNGLDELETEBUFFERSPROC deleteBuffers;
  PFNGLBINDBUFFERPROC bindBuffer;
  PFNGLBUFFERDATAPROC bufferData;
  PFNGLBUFFERSUBDATAPROC bufferSubData;
  PFNGLISBUFFERPROC isBuffer;
  PFNGLGETBUFFERPARAMETERIVPROC getBufferParameteriv;
  PFNGLSECONDARYCOLORPOINTERPROC secondaryColorPointer;
  PFNGLFOGCOORDPOINTERPROC fogCoordPointer;
  PFNGLSETFRAGMENTSHADERCONSTANTATIPROC setFragmentShaderConstantATI;
};
const DriverProcs& Driver();

// Entry points of the emulated extensions, by name (register combiners, vertex array range,
// ATI object buffers and element arrays); null for other names.
GlProc CombinerProc(const char* name);
GlProc VertexArrayProc(const char* name);

// The handling of one token by the wrappers: true when the layer took the call.
bool VertexArrayEnable(GLenum array, bool on);
bool VertexArrayIsEnabled(GLenum array, GLboolean* result);
bool VertexArrayInteger(GLenum pname, GLint* result);
bool CombinerInteger(GLenum pname, GLint* result);

}  // namespace veskor::gl_compat
