// The one OpenGL header of the program: GL, GLU and the extension tokens. All code includes
// this instead of the system GL headers.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

// Thin wrappers for the few calls the vendor-extension compatibility layer must see (its
// capabilities, texture-shader environments and formats, its queries, the draw calls). Inside
// namespace veskor they hide the system prototypes; each passes straight to the driver unless
// the call concerns the layer (platform/gl_compat/gl_compat.h).
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
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type, const void* pixels);
void glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width,
                     GLsizei height, GLenum format, GLenum type, const void* pixels);

void glBegin(GLenum mode);
void glDrawArrays(GLenum mode, GLint first, GLsizei count);
void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices);
void glDrawRangeElements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type,
                         const void* indices);

}  // namespace veskor
