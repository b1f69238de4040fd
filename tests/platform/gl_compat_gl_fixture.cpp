#include "gl_compat_gl_test.h"

namespace veskor::test {

const CompatProcs& Procs() {
  static const CompatProcs procs{
      Proc<PFNGLCOMBINERPARAMETERFVNVPROC>("glCombinerParameterfvNV"),
      Proc<PFNGLCOMBINERPARAMETERINVPROC>("glCombinerParameteriNV"),
      Proc<PFNGLCOMBINERINPUTNVPROC>("glCombinerInputNV"),
      Proc<PFNGLCOMBINEROUTPUTNVPROC>("glCombinerOutputNV"),
      Proc<PFNGLFINALCOMBINERINPUTNVPROC>("glFinalCombinerInputNV"),
      Proc<PFNGLCOMBINERSTAGEPARAMETERFVNVPROC>("glCombinerStageParameterfvNV"),
      Proc<PFNGLGETCOMBINERINPUTPARAMETERIVNVPROC>("glGetCombinerInputParameterivNV"),
      Proc<PFNGLGETCOMBINEROUTPUTPARAMETERIVNVPROC>("glGetCombinerOutputParameterivNV"),
      Proc<PFNGLGETFINALCOMBINERINPUTPARAMETERIVNVPROC>("glGetFinalCombinerInputParameterivNV"),
      Proc<PFNGLSECONDARYCOLOR3FEXTPROC>("glSecondaryColor3fEXT"),
      Proc<PFNGLFOGCOORDFEXTPROC>("glFogCoordfEXT"),
  };
  return procs;
}

void CompatGlTest::SetUp() {
  GlTest::SetUp();
  if (!GlCompatEnabled()) GTEST_SKIP() << "the compatibility layer is off";
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
}

void CompatGlTest::TearDown() {
  if (GlCompatEnabled()) {
    glDisable(GL_REGISTER_COMBINERS_NV);
    glDisable(GL_PER_STAGE_CONSTANTS_NV);
    glDisable(GL_TEXTURE_SHADER_NV);
    glDisable(GL_FOG);
    glDisable(GL_COLOR_SUM);
    for (int u = 3; u >= 0; --u) {
      glActiveTexture(GL_TEXTURE0 + u);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      glTexEnvi(GL_TEXTURE_SHADER_NV, GL_SHADER_OPERATION_NV, GL_NONE);
      glDisable(GL_TEXTURE_2D);
      glDisable(GL_TEXTURE_CUBE_MAP);
    }
    glDeleteTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
  }
  GlTest::TearDown();
}

GLuint CompatGlTest::Texture(int unit, GLenum target, int w, int h, GLint internalFormat,
                             GLenum format, GLenum type, const void* texels) {
  GLuint name = 0;
  glActiveTexture(GL_TEXTURE0 + unit);
  glGenTextures(1, &name);
  glBindTexture(target, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (target == GL_TEXTURE_CUBE_MAP) {
    for (int face = 0; face < 6; ++face)
      glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, internalFormat, w, h, 0, format,
                   type, texels);
  } else {
    glTexImage2D(target, 0, internalFormat, w, h, 0, format, type, texels);
  }
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  textures_.push_back(name);
  return name;
}

void DrawQuad(const QuadInputs& in) {
  glColor4f(in.primary.x, in.primary.y, in.primary.z, in.primary.w);
  Procs().secondaryColor3f(in.secondary.x, in.secondary.y, in.secondary.z);
  Procs().fogCoordf(in.fogCoord);
  glBegin(GL_QUADS);
  for (const auto& c : {Vec4{-1, -1, 0, 0}, Vec4{1, -1, 0, 0}, Vec4{1, 1, 0, 0},
                        Vec4{-1, 1, 0, 0}}) {
    for (int u = 0; u < 4; ++u) {
      const Vec4& t = in.texcoord[u];
      glMultiTexCoord4f(GL_TEXTURE0 + u, t.x, t.y, t.z, t.w);
    }
    glVertex2f(c.x, c.y);
  }
  glEnd();
}

Vec4 CentrePixel() {
  const Rgba p = ReadPixel(kGlTestWindowSize / 2, kGlTestWindowSize / 2);
  return {p.r / 255.0f, p.g / 255.0f, p.b / 255.0f, p.a / 255.0f};
}

void ExpectCentre(const Vec4& want, const char* what, float tolerance) {
  const Vec4 got = CentrePixel();
  const float t = tolerance / 255.0f;
  EXPECT_NEAR(got.x, Clamp01(want.x), t) << what << " red";
  EXPECT_NEAR(got.y, Clamp01(want.y), t) << what << " green";
  EXPECT_NEAR(got.z, Clamp01(want.z), t) << what << " blue";
  EXPECT_NEAR(got.w, Clamp01(want.w), t) << what << " alpha";
}

}  // namespace veskor::test
