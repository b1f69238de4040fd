#include "platform/gl_procs.h"

#include <SDL.h>

#include <cstring>
#include <string>

#include "platform/gl.h"
#include "platform/gl_compat/gl_compat.h"
#include "platform/offscreen.h"

namespace veskor {

GlProc GlGetProcAddress(const char* name) {
  if (GlProc proc = OffscreenProcAddress(name)) return proc;
  if (GlProc proc = GlCompatProcAddress(name)) return proc;
  return reinterpret_cast<GlProc>(SDL_GL_GetProcAddress(name));
}

const char* GlExtensionsString() {
  const GLubyte* s = glGetString(GL_EXTENSIONS);
  if (s == nullptr) return "";
  // The driver's list, then the names the compatibility layer adds.
  static std::string list;
  list = reinterpret_cast<const char*>(s);
  list += GlCompatExtraExtensions(list.c_str());
  return list.c_str();
}

bool GlExtensionInList(const char* list, const char* name) {
  if (list == nullptr || name == nullptr) return false;
  const std::size_t n = std::strlen(name);
  if (n == 0) return false;
  const char* p = list;
  while (*p != '\0') {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    if (static_cast<std::size_t>(end - p) == n && std::memcmp(p, name, n) == 0) return true;
    p = end;
  }
  return false;
}

}  // namespace veskor
