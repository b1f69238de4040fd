// The one OpenGL header of the program: GL, GLU and the extension tokens. All code includes
// this instead of the system GL headers.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
