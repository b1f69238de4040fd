// NV vertex array range over ordinary memory, and ATI vertex array objects and element
// arrays over buffer objects.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/gl_compat/compat_state.h"

namespace veskor::gl_compat {
namespace {

constexpr std::size_t kRangeAlignment = 4096;
constexpr GLint kMaxRangeElement = 65535;

// ---- NV vertex array range: the memory is ordinary memory, the range a note --------------

void* AllocateMemory(GLsizei size, GLfloat, GLfloat, GLfloat) {
  if (size <= 0) return nullptr;
  const std::size_t bytes =
      (static_cast<std::size_t>(size) + kRangeAlignment - 1) / kRangeAlignment * kRangeAlignment;
  return std::aligned_alloc(kRangeAlignment, bytes);
}

void FreeMemory(void* pointer) { std::free(pointer); }

void APIENTRY VertexArrayRange(GLsizei length, const void* pointer) {
  ContextState& state = State();
  state.rangeLength = length;
  state.rangePointer = pointer;
}

void APIENTRY FlushVertexArrayRange() { ::glFlush(); }

// ---- ATI object buffers ------------------------------------------------------------------

// Runs f with `buffer` bound to `target`, then binds back what was bound.
template <typename F>
void WithBuffer(GLenum target, GLenum binding, GLuint buffer, F f) {
  GLint previous = 0;
  ::glGetIntegerv(binding, &previous);
  Driver().bindBuffer(target, buffer);
  f();
  Driver().bindBuffer(target, static_cast<GLuint>(previous));
}

GLint BufferParameter(GLuint buffer, GLenum pname) {
  GLint value = 0;
  WithBuffer(GL_ARRAY_BUFFER, GL_ARRAY_BUFFER_BINDING, buffer,
             [&] { Driver().getBufferParameteriv(GL_ARRAY_BUFFER, pname, &value); });
  return value;
}

GLuint APIENTRY NewObjectBuffer(GLsizei size, const void* pointer, GLenum usage) {
  if (usage != GL_STATIC_ATI && usage != GL_DYNAMIC_ATI) return 0;
  GLuint buffer = 0;
  Driver().genBuffers(1, &buffer);
  WithBuffer(GL_ARRAY_BUFFER, GL_ARRAY_BUFFER_BINDING, buffer, [&] {
    Driver().bufferData(GL_ARRAY_BUFFER, size, pointer,
                        usage == GL_STATIC_ATI ? GL_STATIC_DRAW : GL_DYNAMIC_DRAW);
  });
  return buffer;
}

GLboolean APIENTRY IsObjectBuffer(GLuint buffer) {
  return buffer != 0 && Driver().isBuffer(buffer) ? GL_TRUE : GL_FALSE;
}

void APIENTRY UpdateObjectBuffer(GLuint buffer, GLuint offset, GLsizei size,
                                 const void* pointer, GLenum) {
  if (!IsObjectBuffer(buffer) || size < 0) return;
  // A range beyond the buffer is refused, as the extension's INVALID_VALUE.
  const GLint bufferSize = BufferParameter(buffer, GL_BUFFER_SIZE);
  if (std::uint64_t{offset} + static_cast<std::uint64_t>(size) >
      static_cast<std::uint64_t>(bufferSize))
    return;
  WithBuffer(GL_ARRAY_BUFFER, GL_ARRAY_BUFFER_BINDING, buffer, [&] {
    Driver().bufferSubData(GL_ARRAY_BUFFER, offset, size, pointer);
  });
}

void APIENTRY GetObjectBufferiv(GLuint buffer, GLenum pname, GLint* params) {
  if (!IsObjectBuffer(buffer)) return;
  if (pname == GL_OBJECT_BUFFER_SIZE_ATI) {
    *params = BufferParameter(buffer, GL_BUFFER_SIZE);
  } else if (pname == GL_OBJECT_BUFFER_USAGE_ATI) {
    *params = BufferParameter(buffer, GL_BUFFER_USAGE) == GL_STATIC_DRAW ? GL_STATIC_ATI
                                                                         : GL_DYNAMIC_ATI;
  }
}

void APIENTRY GetObjectBufferfv(GLuint buffer, GLenum pname, GLfloat* params) {
  GLint value = 0;
  GetObjectBufferiv(buffer, pname, &value);
  *params = static_cast<GLfloat>(value);
}

void APIENTRY FreeObjectBuffer(GLuint buffer) {
  if (IsObjectBuffer(buffer)) Driver().deleteBuffers(1, &buffer);
}

// The buffer-binding and pointer queries of a client array.
struct ArrayNames {
  GLenum array, binding, pointer;
};
constexpr ArrayNames kArrays[] = {
    {GL_VERTEX_ARRAY, GL_VERTEX_ARRAY_BUFFER_BINDING, GL_VERTEX_ARRAY_POINTER},
    {GL_NORMAL_ARRAY, GL_NORMAL_ARRAY_BUFFER_BINDING, GL_NORMAL_ARRAY_POINTER},
    {GL_COLOR_ARRAY, GL_COLOR_ARRAY_BUFFER_BINDING, GL_COLOR_ARRAY_POINTER},
    {GL_INDEX_ARRAY, GL_INDEX_ARRAY_BUFFER_BINDING, GL_INDEX_ARRAY_POINTER},
    {GL_TEXTURE_COORD_ARRAY, GL_TEXTURE_COORD_ARRAY_BUFFER_BINDING,
     GL_TEXTURE_COORD_ARRAY_POINTER},
    {GL_EDGE_FLAG_ARRAY, GL_EDGE_FLAG_ARRAY_BUFFER_BINDING, GL_EDGE_FLAG_ARRAY_POINTER},
    {GL_SECONDARY_COLOR_ARRAY, GL_SECONDARY_COLOR_ARRAY_BUFFER_BINDING,
     GL_SECONDARY_COLOR_ARRAY_POINTER},
    {GL_FOG_COORD_ARRAY, GL_FOG_COORD_ARRAY_BUFFER_BINDING, GL_FOG_COORD_ARRAY_POINTER},
};

void APIENTRY ArrayObject(GLenum array, GLint size, GLenum type, GLsizei stride, GLuint buffer,
                          GLuint offset) {
  if (!IsObjectBuffer(buffer)) return;
  if (array == GL_ELEMENT_ARRAY_ATI) {
    if (size != 1 || stride != 0) return;
    ElementArray& elements = State().elements;
    elements.type = type;
    elements.pointer = nullptr;
    elements.buffer = buffer;
    elements.offset = offset;
    return;
  }
  const void* at = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offset));
  const DriverProcs& d = Driver();
  WithBuffer(GL_ARRAY_BUFFER, GL_ARRAY_BUFFER_BINDING, buffer, [&] {
    switch (array) {
      case GL_VERTEX_ARRAY: ::glVertexPointer(size, type, stride, at); break;
      case GL_NORMAL_ARRAY: ::glNormalPointer(type, stride, at); break;
      case GL_COLOR_ARRAY: ::glColorPointer(size, type, stride, at); break;
      case GL_INDEX_ARRAY: ::glIndexPointer(type, stride, at); break;
      case GL_TEXTURE_COORD_ARRAY: ::glTexCoordPointer(size, type, stride, at); break;
      case GL_EDGE_FLAG_ARRAY: ::glEdgeFlagPointer(stride, at); break;
      case GL_SECONDARY_COLOR_ARRAY: d.secondaryColorPointer(size, type, stride, at); break;
      case GL_FOG_COORD_ARRAY: d.fogCoordPointer(type, stride, at); break;
      default: break;
    }
  });
}

void APIENTRY GetArrayObjectiv(GLenum array, GLenum pname, GLint* params) {
  GLint buffer = 0;
  GLint offset = 0;
  if (array == GL_ELEMENT_ARRAY_ATI) {
    const ElementArray& elements = State().elements;
    buffer = static_cast<GLint>(elements.buffer);
    offset = buffer != 0 ? static_cast<GLint>(elements.offset) : 0;
  } else {
    for (const ArrayNames& names : kArrays) {
      if (names.array != array) continue;
      ::glGetIntegerv(names.binding, &buffer);
      if (buffer != 0) {
        void* pointer = nullptr;
        ::glGetPointerv(names.pointer, &pointer);
        offset = static_cast<GLint>(reinterpret_cast<std::uintptr_t>(pointer));
      }
    }
  }
  if (pname == GL_ARRAY_OBJECT_BUFFER_ATI) *params = buffer;
  if (pname == GL_ARRAY_OBJECT_OFFSET_ATI) *params = offset;
}

void APIENTRY GetArrayObjectfv(GLenum array, GLenum pname, GLfloat* params) {
  GLint value = 0;
  GetArrayObjectiv(array, pname, &value);
  *params = static_cast<GLfloat>(value);
}

// Variant arrays belong to EXT_vertex_shader, which this driver lacks: nothing is defined.
void APIENTRY VariantArrayObject(GLuint, GLenum, GLsizei, GLuint, GLuint) {}
void APIENTRY GetVariantArrayObjectiv(GLuint, GLenum, GLint* params) { *params = 0; }
void APIENTRY GetVariantArrayObjectfv(GLuint, GLenum, GLfloat* params) { *params = 0; }

// ---- ATI element arrays ------------------------------------------------------------------

void APIENTRY ElementPointer(GLenum type, const void* pointer) {
  ElementArray& elements = State().elements;
  elements.type = type;
  elements.pointer = pointer;
  elements.buffer = 0;
  elements.offset = 0;
}

// Draws with the element array: from its object buffer, or from client memory with no
// element buffer bound. Nothing is drawn while the array is disabled.
template <typename Draw>
void DrawWithElements(Draw draw) {
  const ElementArray& elements = State().elements;
  if (!elements.enabled) return;
  const GLuint buffer = elements.buffer;
  const void* at = buffer != 0
                       ? reinterpret_cast<const void*>(std::uintptr_t{elements.offset})
                       : elements.pointer;
  if (buffer == 0 && at == nullptr) return;
  WithBuffer(GL_ELEMENT_ARRAY_BUFFER, GL_ELEMENT_ARRAY_BUFFER_BINDING, buffer,
             [&] { draw(elements.type, at); });
}

void APIENTRY DrawElementArray(GLenum mode, GLsizei count) {
  DrawWithElements([&](GLenum type, const void* at) { veskor::glDrawElements(mode, count, type, at); });
}

void APIENTRY DrawRangeElementArray(GLenum mode, GLuint start, GLuint end, GLsizei count) {
  DrawWithElements([&](GLenum type, const void* at) {
    veskor::glDrawRangeElements(mode, start, end, count, type, at);
  });
}

struct NamedProc {
  const char* name;
  GlProc proc;
  bool objectBuffers;  // needs the driver's buffer objects
};

template <typename F>
GlProc Proc(F* f) {
  return reinterpret_cast<GlProc>(f);
}

}  // namespace

GlProc VertexArrayProc(const char* name) {
  static const NamedProc procs[] = {
      {"wglAllocateMemoryNV", Proc(&AllocateMemory), false},
      {"wglFreeMemoryNV", Proc(&FreeMemory), false},
      {"glVertexArrayRangeNV", Proc(&VertexArrayRange), false},
      {"glFlushVertexArrayRangeNV", Proc(&FlushVertexArrayRange), false},
      {"glNewObjectBufferATI", Proc(&NewObjectBuffer), true},
      {"glIsObjectBufferATI", Proc(&IsObjectBuffer), true},
      {"glUpdateObjectBufferATI", Proc(&UpdateObjectBuffer), true},
      {"glGetObjectBufferfvATI", Proc(&GetObjectBufferfv), true},
      {"glGetObjectBufferivATI", Proc(&GetObjectBufferiv), true},
      {"glFreeObjectBufferATI", Proc(&FreeObjectBuffer), true},
      {"glArrayObjectATI", Proc(&ArrayObject), true},
      {"glGetArrayObjectfvATI", Proc(&GetArrayObjectfv), true},
      {"glGetArrayObjectivATI", Proc(&GetArrayObjectiv), true},
      {"glVariantArrayObjectATI", Proc(&VariantArrayObject), true},
      {"glGetVariantArrayObjectfvATI", Proc(&GetVariantArrayObjectfv), true},
      {"glGetVariantArrayObjectivATI", Proc(&GetVariantArrayObjectiv), true},
      {"glElementPointerATI", Proc(&ElementPointer), true},
      {"glDrawElementArrayATI", Proc(&DrawElementArray), true},
      {"glDrawRangeElementArrayATI", Proc(&DrawRangeElementArray), true},
  };
  for (const NamedProc& p : procs)
    if (std::strcmp(p.name, name) == 0) return p.proc;
  return nullptr;
}

bool VertexArrayEnable(GLenum array, bool on) {
  if (array == GL_VERTEX_ARRAY_RANGE_NV) {
    State().vertexArrayRange = on;
    return true;
  }
  if (array == GL_ELEMENT_ARRAY_ATI && ServesObjectBuffers()) {
    State().elements.enabled = on;
    return true;
  }
  return false;
}

bool VertexArrayIsEnabled(GLenum array, GLboolean* result) {
  if (array == GL_VERTEX_ARRAY_RANGE_NV) {
    *result = State().vertexArrayRange;
    return true;
  }
  if (array == GL_ELEMENT_ARRAY_ATI && ServesObjectBuffers()) {
    *result = State().elements.enabled;
    return true;
  }
  return false;
}

bool VertexArrayInteger(GLenum pname, GLint* result) {
  const ContextState& state = State();
  switch (pname) {
    case GL_VERTEX_ARRAY_RANGE_NV: *result = state.vertexArrayRange; return true;
    case GL_VERTEX_ARRAY_RANGE_LENGTH_NV: *result = state.rangeLength; return true;
    case GL_VERTEX_ARRAY_RANGE_VALID_NV:
      *result = state.vertexArrayRange && state.rangeLength > 0 && state.rangePointer != nullptr;
      return true;
    case GL_MAX_VERTEX_ARRAY_RANGE_ELEMENT_NV: *result = kMaxRangeElement; return true;
    case GL_ELEMENT_ARRAY_TYPE_ATI:
      if (!ServesObjectBuffers()) return false;
      *result = static_cast<GLint>(state.elements.type);
      return true;
    default: return false;
  }
}

}  // namespace veskor::gl_compat
