// The vendor OpenGL extensions the program knows and Mesa lacks, served by a layer of our own:
// NV register combiners 1 and 2 and NV texture shaders (as ARB fragment programs generated
// from their state), the HILO, DSDT and signed texture formats (as SNORM and 16-bit formats),
// NV vertex array range (plain memory), ATI vertex array objects and element arrays (buffer
// objects) and the ATIX name of texture_env_combine3. The entry-point look-up and the
// extensions string of platform/gl_procs consult it; platform/gl.h routes the calls it must
// see. VESKOR_GL_COMPAT=0 turns it off, so that the program's own fallback paths run.
#pragma once

#include <string>

#include "platform/gl_procs.h"

namespace veskor {

struct GlContext;

// Whether the layer serves its extensions: on unless VESKOR_GL_COMPAT is "0" at the first
// question. Tests switch it with GlCompatSetEnabled.
bool GlCompatEnabled();
void GlCompatSetEnabled(bool on);

// The texture units the layer reports (GL_MAX_TEXTURE_UNITS) and shades: the number the
// program's combiner and shader paths were written for.
inline constexpr int kGlCompatTextureUnits = 4;

// The names the layer adds to a driver's extensions string: those it provides and the driver
// does not list, each preceded by a blank; "" when the layer is off.
std::string GlCompatExtraExtensions(const char* driverExtensions);

// The layer's entry point of that name (with the layer on), else null. The fix of Mesa's
// stale ATI fragment shader constants is served in either case.
GlProc GlCompatProcAddress(const char* name);

// The new context shares its objects (texture names) with `with`: what the layer keeps of
// those is kept once for both.
void GlCompatShareObjects(const GlContext* context, const GlContext* with);

// Forgets what the layer kept for a context that is being deleted.
void GlCompatForgetContext(const GlContext* context);

// How many fragment programs the layer has made for the current context (tests check the
// cache with it).
int GlCompatProgramCount();

}  // namespace veskor
