// OpenGL extension entry points by name, and the extensions string of the current context.
// Used by the capability loader of the graphics core.
#pragma once

namespace veskor {

using GlProc = void (*)();

// The entry point of that name: the off-screen buffers' WGL stand-ins, the compatibility
// layer's, else the current GL library's. The driver may answer non-null even for names it
// does not have (Mesa does): presence of an extension is decided from the extensions string,
// never from this address.
GlProc GlGetProcAddress(const char* name);

// The GL_EXTENSIONS string of the current context with the compatibility layer's names added
// (valid until the next call); "" when there is none.
const char* GlExtensionsString();

// True when `name` is one of the blank-separated tokens of `list`, exactly: a name that only
// begins a longer token does not match.
bool GlExtensionInList(const char* list, const char* name);

}  // namespace veskor
