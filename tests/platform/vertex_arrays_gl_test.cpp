// NV vertex array range and ATI vertex array objects and element arrays through the
// compatibility layer: memory, queries, and triangles drawn from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "gl_compat_gl_test.h"

namespace veskor {
namespace {

using test::CompatGlTest;
using test::Proc;
using test::ReadPixel;

// Two triangles over the window: x, y and an RGBA colour per vertex (floats), the lower-left
// triangle red, the upper-right one green.
constexpr float kVertices[] = {-1, -1, 1, 0, 0, 1,  1, -1, 1, 0, 0, 1,  -1, 1, 1, 0, 0, 1,
                               1,  -1, 0, 1, 0, 1,  1, 1,  0, 1, 0, 1,  -1, 1, 0, 1, 0, 1};
constexpr int kStride = 6 * sizeof(float);
constexpr GLushort kIndices[] = {0, 1, 2, 3, 4, 5};

// Lower-left and upper-right corner pixels.
bool LowerLeftIs(GLubyte r, GLubyte g) {
  const test::Rgba p = ReadPixel(4, 4);
  return p.r == r && p.g == g;
}
bool UpperRightIs(GLubyte r, GLubyte g) {
  const test::Rgba p = ReadPixel(60, 60);
  return p.r == r && p.g == g;
}

using VertexArraysTest = CompatGlTest;

TEST_F(VertexArraysTest, RangeMemoryIsOrdinaryAlignedMemoryAndDraws) {
  auto allocate = Proc<void* (*)(GLsizei, GLfloat, GLfloat, GLfloat)>("wglAllocateMemoryNV");
  auto release = Proc<void (*)(void*)>("wglFreeMemoryNV");
  auto range = Proc<PFNGLVERTEXARRAYRANGENVPROC>("glVertexArrayRangeNV");
  auto flush = Proc<PFNGLFLUSHVERTEXARRAYRANGENVPROC>("glFlushVertexArrayRangeNV");
  EXPECT_EQ(allocate(0, 0, 0, 1), nullptr);
  EXPECT_EQ(allocate(-4, 0, 0, 1), nullptr);
  void* memory = allocate(sizeof kVertices, 0, 0, 1.0f);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(memory) % 4096, 0u);
  std::memcpy(memory, kVertices, sizeof kVertices);
  range(sizeof kVertices, memory);
  glEnableClientState(GL_VERTEX_ARRAY_RANGE_NV);
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY_RANGE_NV));
  GLint value = 0;
  glGetIntegerv(GL_VERTEX_ARRAY_RANGE_LENGTH_NV, &value);
  EXPECT_EQ(value, static_cast<GLint>(sizeof kVertices));
  glGetIntegerv(GL_VERTEX_ARRAY_RANGE_VALID_NV, &value);
  EXPECT_EQ(value, 1);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, kStride, memory);
  glColorPointer(4, GL_FLOAT, kStride, static_cast<float*>(memory) + 2);
  glDrawArrays(GL_TRIANGLES, 0, 6);
  flush();
  EXPECT_TRUE(LowerLeftIs(255, 0));
  EXPECT_TRUE(UpperRightIs(0, 255));
  glDisableClientState(GL_VERTEX_ARRAY_RANGE_NV);
  glGetIntegerv(GL_VERTEX_ARRAY_RANGE_VALID_NV, &value);
  EXPECT_EQ(value, 0);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  release(memory);
}

TEST_F(VertexArraysTest, ObjectBuffersHoldArraysAndElements) {
  auto newBuffer = Proc<PFNGLNEWOBJECTBUFFERATIPROC>("glNewObjectBufferATI");
  auto isBuffer = Proc<PFNGLISOBJECTBUFFERATIPROC>("glIsObjectBufferATI");
  auto update = Proc<PFNGLUPDATEOBJECTBUFFERATIPROC>("glUpdateObjectBufferATI");
  auto bufferiv = Proc<PFNGLGETOBJECTBUFFERIVATIPROC>("glGetObjectBufferivATI");
  auto freeBuffer = Proc<PFNGLFREEOBJECTBUFFERATIPROC>("glFreeObjectBufferATI");
  auto arrayObject = Proc<PFNGLARRAYOBJECTATIPROC>("glArrayObjectATI");
  auto arrayiv = Proc<PFNGLGETARRAYOBJECTIVATIPROC>("glGetArrayObjectivATI");
  auto elementPointer = Proc<PFNGLELEMENTPOINTERATIPROC>("glElementPointerATI");
  auto drawElements = Proc<PFNGLDRAWELEMENTARRAYATIPROC>("glDrawElementArrayATI");
  auto drawRange = Proc<PFNGLDRAWRANGEELEMENTARRAYATIPROC>("glDrawRangeElementArrayATI");

  EXPECT_EQ(newBuffer(16, nullptr, GL_STATIC_DRAW), 0u);  // not an ATI usage
  const GLuint vertices = newBuffer(sizeof kVertices, kVertices, GL_STATIC_ATI);
  const GLuint indices = newBuffer(sizeof kIndices, kIndices, GL_DYNAMIC_ATI);
  ASSERT_NE(vertices, 0u);
  EXPECT_TRUE(isBuffer(vertices));
  EXPECT_FALSE(isBuffer(0));
  GLint value = 0;
  bufferiv(vertices, GL_OBJECT_BUFFER_SIZE_ATI, &value);
  EXPECT_EQ(value, static_cast<GLint>(sizeof kVertices));
  bufferiv(vertices, GL_OBJECT_BUFFER_USAGE_ATI, &value);
  EXPECT_EQ(value, GL_STATIC_ATI);
  bufferiv(indices, GL_OBJECT_BUFFER_USAGE_ATI, &value);
  EXPECT_EQ(value, GL_DYNAMIC_ATI);

  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  arrayObject(GL_VERTEX_ARRAY, 2, GL_FLOAT, kStride, vertices, 0);
  arrayObject(GL_COLOR_ARRAY, 4, GL_FLOAT, kStride, vertices, 8);
  arrayiv(GL_COLOR_ARRAY, GL_ARRAY_OBJECT_BUFFER_ATI, &value);
  EXPECT_EQ(static_cast<GLuint>(value), vertices);
  arrayiv(GL_COLOR_ARRAY, GL_ARRAY_OBJECT_OFFSET_ATI, &value);
  EXPECT_EQ(value, 8);
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &value);
  EXPECT_EQ(value, 0);  // plain pointers keep working afterwards

  // Elements from an object buffer; the range form draws the first triangle only.
  arrayObject(GL_ELEMENT_ARRAY_ATI, 1, GL_UNSIGNED_SHORT, 0, indices, 0);
  arrayiv(GL_ELEMENT_ARRAY_ATI, GL_ARRAY_OBJECT_BUFFER_ATI, &value);
  EXPECT_EQ(static_cast<GLuint>(value), indices);
  drawElements(GL_TRIANGLES, 6);  // disabled: draws nothing
  EXPECT_TRUE(LowerLeftIs(0, 0));
  glEnableClientState(GL_ELEMENT_ARRAY_ATI);
  EXPECT_TRUE(glIsEnabled(GL_ELEMENT_ARRAY_ATI));
  drawRange(GL_TRIANGLES, 0, 2, 3);
  EXPECT_TRUE(LowerLeftIs(255, 0));
  EXPECT_TRUE(UpperRightIs(0, 0));
  drawElements(GL_TRIANGLES, 6);
  EXPECT_TRUE(UpperRightIs(0, 255));

  // New colours for the second triangle; an update past the end is refused.
  const float blue[4] = {0, 0, 1, 1};
  for (int v = 3; v < 6; ++v) update(vertices, v * kStride + 8, sizeof blue, blue, GL_PRESERVE_ATI);
  update(vertices, sizeof kVertices - 8, sizeof blue, kVertices, GL_PRESERVE_ATI);
  // Elements from client memory: the second triangle only.
  elementPointer(GL_UNSIGNED_SHORT, kIndices + 3);
  arrayiv(GL_ELEMENT_ARRAY_ATI, GL_ARRAY_OBJECT_BUFFER_ATI, &value);
  EXPECT_EQ(value, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  drawElements(GL_TRIANGLES, 3);
  EXPECT_TRUE(LowerLeftIs(0, 0));
  EXPECT_EQ(ReadPixel(60, 60).b, 255);
  EXPECT_EQ(ReadPixel(63, 63).g, 0);

  // A pointer call takes an array out of its buffer.
  glColorPointer(4, GL_FLOAT, kStride, kVertices + 2);
  arrayiv(GL_COLOR_ARRAY, GL_ARRAY_OBJECT_BUFFER_ATI, &value);
  EXPECT_EQ(value, 0);
  glDisableClientState(GL_ELEMENT_ARRAY_ATI);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glGetIntegerv(GL_ELEMENT_ARRAY_TYPE_ATI, &value);
  EXPECT_EQ(value, GL_UNSIGNED_SHORT);
  freeBuffer(vertices);
  freeBuffer(indices);
  EXPECT_FALSE(isBuffer(vertices));
}

}  // namespace
}  // namespace veskor
