// The one OpenGL header of the program: GL, GLU and the extension tokens. All code includes
// this instead of the system GL headers.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

// Thin wrappers for the few calls the vendor-extension compatibility layer must see (its
// capabilities, texture-shader environments and formats, its queries, texture units, binds
// and images, the calls that draw). Inside namespace veskor they hide the system prototypes;
// each passes straight to the driver unless the call concerns the layer
// (platform/gl_compat/gl_compat.h). Binds and images go through them only: a bind the layer
// has seen already is not repeated.
namespace veskor {

void glEnable(GLenum cap);
void glDisable(GLenum cap);
GLboolean glIsEnabled(GLenum cap);
void glEnableClientState(GLenum array);
void glDisableClientState(GLenum array);
void glGetIntegerv(GLenum pname, GLint* params);

void glTexEnvi(GLenum target, GLenum pname, GLint param);
void glTexEnvf(GLenum target, GLenum pname, GLfloat param);
void glTexEnviv(GLenum target, GLenum pname, const GLint* params);
void glTexEnvfv(GLenum target, GLenum pname, const GLfloat* params);
void glActiveTexture(GLenum unit);
void glBindTexture(GLenum target, GLuint texture);
void glGenTextures(GLsizei n, GLuint* textures);
void glDeleteTextures(GLsizei n, const GLuint* textures);
void glPopAttrib();
void glTexImage1D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLint border,
                  GLenum format, GLenum type, const void* pixels);
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type, const void* pixels);
void glTexImage3D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                  GLsizei height, GLsizei depth, GLint border, GLenum format, GLenum type,
                  const void* pixels);
void glCopyTexImage1D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y,
                      GLsizei width, GLint border);
void glCopyTexImage2D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y,
                      GLsizei width, GLsizei height, GLint border);
void glCompressedTexImage1D(GLenum target, GLint level, GLenum internalFormat, GLsizei width,
                            GLint border, GLsizei size, const void* data);
void glCompressedTexImage2D(GLenum target, GLint level, GLenum internalFormat, GLsizei width,
                            GLsizei height, GLint border, GLsizei size, const void* data);
void glCompressedTexImage3D(GLenum target, GLint level, GLenum internalFormat, GLsizei width,
                            GLsizei height, GLsizei depth, GLint border, GLsizei size,
                            const void* data);
void glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width,
                     GLsizei height, GLenum format, GLenum type, const void* pixels);

void glBegin(GLenum mode);
void glDrawArrays(GLenum mode, GLint first, GLsizei count);
void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices);
void glDrawRangeElements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type,
                         const void* indices);
void glRectd(GLdouble x1, GLdouble y1, GLdouble x2, GLdouble y2);
void glRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2);
void glRecti(GLint x1, GLint y1, GLint x2, GLint y2);
void glRects(GLshort x1, GLshort y1, GLshort x2, GLshort y2);
void glRectdv(const GLdouble* v1, const GLdouble* v2);
void glRectfv(const GLfloat* v1, const GLfloat* v2);
void glRectiv(const GLint* v1, const GLint* v2);
void glRectsv(const GLshort* v1, const GLshort* v2);
void glDrawPixels(GLsizei width, GLsizei height, GLenum format, GLenum type, const void* pixels);
void glCopyPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum type);
void glBitmap(GLsizei width, GLsizei height, GLfloat xOrigin, GLfloat yOrigin, GLfloat xMove,
              GLfloat yMove, const GLubyte* bitmap);

}  // namespace veskor
