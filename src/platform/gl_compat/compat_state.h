// What the compatibility layer keeps per rendering context for the extensions it provides,
// and the driver entry points it calls itself. Internal to platform/gl_compat.
#pragma once

#include <cstdint>
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

struct ContextState {
  RegisterCombiners combiners;
  TextureShaders shaders;
  bool envNone[kUnits] = {};  // TEXTURE_ENV_MODE NONE, which the driver does not take
  bool vertexArrayRange = false;
  GLsizei rangeLength = 0;
  const void* rangePointer = nullptr;
  ElementArray elements;
  std::uint32_t constantsVersion = 1;  // raised whenever a program constant changes
  // The fragment programs made so far, by key, with the constants version they last got.
  struct Program {
    GLuint name;
    std::uint32_t constantsVersion;
  };
  std::unordered_map<std::string, Program> programs;
  GLuint boundProgram = 0;
  bool programOn = false;  // GL_FRAGMENT_PROGRAM_ARB enabled by the layer
};

// The state of the current context (a default one when no context is current).
ContextState& State();

// True when the layer is on and the driver has what it is built on.
bool ServesShading();  // register combiners and texture shaders: ARB fragment programs
bool ServesObjectBuffers();

// Whether any emulated state asks for a generated fragment program at the next draw.
bool NeedsProgram(const ContextState& state);
// Binds the fragment program of the current state before a draw, or takes it away.
void PrepareDraw();
// Switches the layer's fragment program off when the state no longer needs it.
void ReleaseProgramIfIdle();

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
