// The fixture of the compatibility layer's GL tests: the shared context with the layer on
// (the tests are skipped when VESKOR_GL_COMPAT=0), its entry points by name, and helpers that
// make small textures, draw one quad over the window and read its centre.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "platform/gl.h"
#include "platform/gl_compat/gl_compat.h"
#include "platform/gl_procs.h"
#include "support/gl_test_fixture.h"

namespace veskor::test {

// An entry point by name, as the program's loader finds it.
template <typename T>
T Proc(const char* name) {
  return reinterpret_cast<T>(GlGetProcAddress(name));
}

struct CompatProcs {
  PFNGLCOMBINERPARAMETERFVNVPROC parameterfv;
  PFNGLCOMBINERPARAMETERINVPROC parameteri;
  PFNGLCOMBINERINPUTNVPROC input;
  PFNGLCOMBINEROUTPUTNVPROC output;
  PFNGLFINALCOMBINERINPUTNVPROC finalInput;
  PFNGLCOMBINERSTAGEPARAMETERFVNVPROC stageParameterfv;
  PFNGLGETCOMBINERINPUTPARAMETERIVNVPROC getInputiv;
  PFNGLGETCOMBINEROUTPUTPARAMETERIVNVPROC getOutputiv;
  PFNGLGETFINALCOMBINERINPUTPARAMETERIVNVPROC getFinalInputiv;
  PFNGLSECONDARYCOLOR3FEXTPROC secondaryColor3f;
  PFNGLFOGCOORDFEXTPROC fogCoordf;
};
const CompatProcs& Procs();

class CompatGlTest : public GlTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A texture of w x h texels on unit `unit` (nearest filtering, clamped), left bound there.
  GLuint Texture(int unit, GLenum target, int w, int h, GLint internalFormat, GLenum format,
                 GLenum type, const void* texels);
  std::vector<GLuint> textures_;
};

struct Vec4 {
  float x, y, z, w;
};

// One quad over the whole window: primary and secondary colours, and per unit 0 to 3 the
// texture coordinates, the same at every corner.
struct QuadInputs {
  Vec4 primary{1, 1, 1, 1};
  Vec4 secondary{0, 0, 0, 0};
  float fogCoord = 0;  // used when the fog coordinate source is GL_FOG_COORD
  Vec4 texcoord[4] = {{0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1},
                      {0.5f, 0.5f, 0.5f, 1}};
};
void DrawQuad(const QuadInputs& in);

// The centre pixel as four floats in [0, 1].
Vec4 CentrePixel();

// Expects the centre pixel to be `want` (components clamped to [0, 1]) within `tolerance`
// steps of 1/255.
void ExpectCentre(const Vec4& want, const char* what, float tolerance = 2.5f);

inline float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

}  // namespace veskor::test
